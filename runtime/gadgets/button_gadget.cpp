// SPDX-License-Identifier: MIT
// Button gadget: a push or toggle button placed directly; its child label shows the text.
#include "runtime/gadgets/button_gadget.h"

#include <gtk/gtk.h>

#include "runtime/gui/color.h"

namespace {

GtkLabel* label_of(GadgetRecord* record) { return GTK_LABEL(gtk_bin_get_child(GTK_BIN(record->widget))); }

bool is_toggle(GadgetRecord* record) {
  return g_type_check_instance_is_a(static_cast<GTypeInstance*>(record->widget), GTK_TYPE_TOGGLE_BUTTON);
}

int64_t button_get_state(GadgetRecord* record) {
  if (!is_toggle(record)) return 0;
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(record->widget)) ? 1 : 0;
}

void button_set_state(GadgetRecord* record, int64_t state) {
  if (is_toggle(record)) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(record->widget), state != 0);
}

void button_get_text(GadgetRecord* record, int64_t position) {
  ustr_push_utf8(gtk_label_get_text(label_of(record)), position);
}

void button_set_text(GadgetRecord* record, const char* text) { gtk_label_set_text(label_of(record), text); }

void button_set_font(GadgetRecord* record, void* font) { gadget_widget_set_font(record->widget, font); }

void* button_get_font(GadgetRecord* record) { return gadget_widget_get_font(record->widget); }

// An unfocused window's buttons keep the text colour of the focused state: the themes fade
// it ("backdrop") below a readable contrast with the button. Set again whenever the button
// is restyled; "kt_backdrop_color" keeps the colour set last (as a colour word), so setting
// it, which restyles the button, ends there.
void keep_text_in_backdrop(GtkWidget* button, gpointer) {
  GdkRGBA focused{};
  gtk_style_context_get_color(gtk_widget_get_style_context(button), GTK_STATE_FLAG_NORMAL, &focused);
  const int64_t word = color_word(color_from_components(focused.red, focused.green, focused.blue));
  if (gadget_data_value(g_object_get_data(G_OBJECT(button), "kt_backdrop_color")) == word) return;
  g_object_set_data(G_OBJECT(button), "kt_backdrop_color", gadget_value_data(word));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_widget_override_color(button, GTK_STATE_FLAG_BACKDROP, &focused);
#pragma GCC diagnostic pop
}

const GadgetOps& button_ops() {
  static const GadgetOps ops = [] {
    GadgetOps o{};
    o.type = GADGET_BUTTON;
    o.get_state = button_get_state;
    o.set_state = button_set_state;
    o.get_text = button_get_text;
    o.set_text = button_set_text;
    o.set_font = button_set_font;
    o.get_font = button_get_font;
    return o;
  }();
  return ops;
}

}  // namespace

int64_t button_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text,
                             int32_t flags) {
  const GadgetOps& ops = button_ops();
  if (!gadget_list_ready()) return 0;
  GtkWidget* button = (flags & BUTTON_TOGGLE) ? gtk_toggle_button_new_with_label("") : gtk_button_new_with_label("");
  if (!button) return 0;
  ObjectValue value = 0;
  GadgetRecord* record = gadget_allocate(gadget, &value);
  if (!record) {
    gadget_discard(button);
    return 0;
  }
  gadget_set_size(button, w, h);
  gadget_place(button, x, y);
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (flags & BUTTON_RIGHT)
    gtk_misc_set_alignment(GTK_MISC(label), 1.0f, 0.5f);
  else if (flags & BUTTON_LEFT)
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
#pragma GCC diagnostic pop
  if (flags & BUTTON_WRAP) gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  g_signal_connect(button, "clicked", G_CALLBACK(gadget_post_click), gadget_value_data(value));
  g_signal_connect(button, "style-updated", G_CALLBACK(keep_text_in_backdrop), nullptr);
  record->widget = button;
  record->ops = &ops;
  if (text) {
    GadgetUtf8 copy(text);
    ops.set_text(record, copy.get());
  }
  gadget_register(record, value);
  gtk_widget_show(button);
  return gadget_creation_result(gadget, record, value);
}

int64_t button_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text) {
  return button_gadget_create(gadget, x, y, w, h, text, 0);
}

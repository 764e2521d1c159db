// SPDX-License-Identifier: MIT
// Text gadget: horizontal box > event box (colour target) > [frame] > label.
#include "runtime/gadgets/text_gadget.h"

#include <gtk/gtk.h>

namespace {

// Word D of a text gadget's record: the event box between its box and its label, which paints
// the background colour. Words A and B hold its colours.
GtkWidget* label_of(GadgetRecord* record) { return GTK_WIDGET(record->widget); }
GtkWidget* event_box_of(GadgetRecord* record) {
  return GTK_WIDGET(reinterpret_cast<void*>(static_cast<intptr_t>(record->d)));
}
void set_event_box(GadgetRecord* record, GtkWidget* event_box) {
  record->d = static_cast<int64_t>(reinterpret_cast<intptr_t>(event_box));
}

void text_get_text(GadgetRecord* record, int64_t position) {
  ustr_push_utf8(gtk_label_get_text(GTK_LABEL(label_of(record))), position);
}

void text_set_text(GadgetRecord* record, const char* text) { gtk_label_set_text(GTK_LABEL(label_of(record)), text); }

void text_set_font(GadgetRecord* record, void* font) { gadget_widget_set_font(record->widget, font); }

void* text_get_font(GadgetRecord* record) { return gadget_widget_get_font(record->widget); }

void text_set_color(GadgetRecord* record, int32_t kind, int32_t color) {
  // The event box paints a background only while a background colour is set.
  if (kind == COLOR_BACK) gtk_event_box_set_visible_window(GTK_EVENT_BOX(event_box_of(record)), color != -1);
  gadget_apply_color(record, kind, color, event_box_of(record));
}

const GadgetOps& text_ops() {
  static const GadgetOps ops = [] {
    GadgetOps o{};
    o.type = GADGET_TEXT;
    o.get_text = text_get_text;
    o.set_text = text_set_text;
    o.set_font = text_set_font;
    o.set_color = text_set_color;
    o.get_color = gadget_get_color_words;
    o.get_font = text_get_font;
    return o;
  }();
  return ops;
}

}  // namespace

int64_t text_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text,
                           int32_t flags) {
  const GadgetOps& ops = text_ops();
  if (!gadget_list_ready()) return 0;
  GtkWidget* label = gtk_label_new("");
  if (!label) return 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GtkWidget* box = gtk_hbox_new(FALSE, 0);
#pragma GCC diagnostic pop
  if (!box) {
    gadget_discard(label);
    return 0;
  }
  ObjectValue value = 0;
  GadgetRecord* record = gadget_allocate(gadget, &value);
  if (!record) {
    gadget_discard(label);
    gadget_discard(box);
    return 0;
  }
  GtkWidget* event_box = gtk_event_box_new();
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_event_box_set_visible_window(GTK_EVENT_BOX(event_box), FALSE);
  gtk_container_add(GTK_CONTAINER(box), event_box);
  if (flags & TEXT_BORDER) {
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(event_box), frame);
    gtk_container_add(GTK_CONTAINER(frame), label);
  } else {
    gtk_container_add(GTK_CONTAINER(event_box), label);
  }
  gadget_place(box, x, y);
  gadget_set_size(box, w, h);
  float xalign = 0.0f;
  if (flags & TEXT_RIGHT)
    xalign = 1.0f;
  else if (flags & TEXT_CENTER)
    xalign = 0.5f;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_misc_set_alignment(GTK_MISC(label), xalign, 0.0f);
#pragma GCC diagnostic pop
  record->widget = label;
  record->outer = box;
  set_event_box(record, event_box);
  record->ops = &ops;
  if (text) {
    GadgetUtf8 copy(text);
    ops.set_text(record, copy.get());
  }
  gtk_widget_show_all(box);
  gadget_register(record, value);
  return gadget_creation_result(gadget, record, value);
}

int64_t text_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text) {
  return text_gadget_create(gadget, x, y, w, h, text, 0);
}

// Editor gadget: scrolled window > text view; the buffer's lines are its items.
#include "runtime/gadgets/editor_gadget.h"

#include <gtk/gtk.h>

#include "runtime/gui/event.h"

namespace {

GtkTextView* view_of(GadgetRecord* record) { return GTK_TEXT_VIEW(record->widget); }
GtkTextBuffer* buffer_of(GadgetRecord* record) { return gtk_text_view_get_buffer(view_of(record)); }

// The text between two iterators (hidden characters included) as a string result.
void push_range(GtkTextBuffer* buffer, const GtkTextIter* start, const GtkTextIter* end, int64_t position) {
  gchar* text = gtk_text_buffer_get_text(buffer, start, end, TRUE);
  ustr_push_utf8(text, position);
  g_free(text);
}

// Iterators around line n's text, without its line break.
void line_range(GtkTextBuffer* buffer, int32_t n, GtkTextIter* start, GtkTextIter* end) {
  gtk_text_buffer_get_iter_at_line(buffer, start, n);
  *end = *start;
  if (!gtk_text_iter_ends_line(end)) gtk_text_iter_forward_to_line_end(end);
}

bool has_line(GtkTextBuffer* buffer, int32_t n) { return n >= 0 && n < gtk_text_buffer_get_line_count(buffer); }

void editor_get_text(GadgetRecord* record, int64_t position) {
  GtkTextBuffer* buffer = buffer_of(record);
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  push_range(buffer, &start, &end, position);
}

void editor_set_text(GadgetRecord* record, const char* text) { gtk_text_buffer_set_text(buffer_of(record), text, -1); }

int64_t editor_add_item(GadgetRecord* record, int32_t position, const char* text, void*) {
  GtkTextBuffer* buffer = buffer_of(record);
  const gint lines = gtk_text_buffer_get_line_count(buffer);
  GtkTextIter iter;
  if (lines == 1 && gtk_text_buffer_get_char_count(buffer) == 0) {
    // The first item of an empty editor carries no line break.
    gtk_text_buffer_get_start_iter(buffer, &iter);
    gtk_text_buffer_insert(buffer, &iter, text, -1);
    return 0;
  }
  const gint last = lines == 1 ? 1 : lines - 1;
  if (position == -1 || position >= last) {
    gtk_text_buffer_get_end_iter(buffer, &iter);
    gtk_text_buffer_insert(buffer, &iter, "\n", -1);
    gtk_text_buffer_insert(buffer, &iter, text, -1);
  } else {
    // The new line takes the number of the line it is inserted before; a position below -1
    // is the start of the last line, as the toolkit's line positioning has it.
    gtk_text_buffer_get_start_iter(buffer, &iter);
    gtk_text_iter_set_line(&iter, position);
    gtk_text_buffer_insert(buffer, &iter, text, -1);
    gtk_text_buffer_insert(buffer, &iter, "\n", -1);
  }
  return 0;
}

void editor_remove_item(GadgetRecord* record, int32_t n) {
  GtkTextBuffer* buffer = buffer_of(record);
  if (!has_line(buffer, n)) return;
  GtkTextIter start, end;
  gtk_text_buffer_get_iter_at_line(buffer, &start, n);
  if (n + 1 == gtk_text_buffer_get_line_count(buffer)) {
    // The last line goes together with the line break before it.
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_text_iter_backward_char(&start);
  } else {
    gtk_text_buffer_get_iter_at_line(buffer, &end, n + 1);
  }
  gtk_text_buffer_delete(buffer, &start, &end);
}

void editor_clear_items(GadgetRecord* record) { editor_set_text(record, ""); }

int32_t editor_count_items(GadgetRecord* record) {
  GtkTextBuffer* buffer = buffer_of(record);
  if (gtk_text_buffer_get_char_count(buffer) == 0) return 0;
  return gtk_text_buffer_get_line_count(buffer);
}

void editor_get_item_text(GadgetRecord* record, int32_t n, int32_t, int64_t position) {
  GtkTextBuffer* buffer = buffer_of(record);
  if (!has_line(buffer, n)) {
    ustr_push_utf8("", position);
    return;
  }
  GtkTextIter start, end;
  line_range(buffer, n, &start, &end);
  push_range(buffer, &start, &end, position);
}

void editor_set_item_text(GadgetRecord* record, int32_t n, const char* text, int32_t) {
  GtkTextBuffer* buffer = buffer_of(record);
  if (!has_line(buffer, n)) return;
  GtkTextIter start, end;
  line_range(buffer, n, &start, &end);
  gtk_text_buffer_delete(buffer, &start, &end);
  gtk_text_buffer_insert(buffer, &start, text, -1);
}

void editor_set_font(GadgetRecord* record, void* font) { gadget_widget_set_font(record->widget, font); }

void* editor_get_font(GadgetRecord* record) { return gadget_widget_get_font(record->widget); }

int64_t editor_get_attribute(GadgetRecord* record, int32_t attribute) {
  if (attribute == EDITOR_ATTRIBUTE_READ_ONLY) return !gtk_text_view_get_editable(view_of(record));
  if (attribute == EDITOR_ATTRIBUTE_WORD_WRAP) return gtk_text_view_get_wrap_mode(view_of(record)) == GTK_WRAP_WORD;
  return 0;
}

void editor_set_attribute(GadgetRecord* record, int32_t attribute, int64_t value) {
  if (attribute == EDITOR_ATTRIBUTE_READ_ONLY) gtk_text_view_set_editable(view_of(record), value == 0);
  if (attribute == EDITOR_ATTRIBUTE_WORD_WRAP)
    gtk_text_view_set_wrap_mode(view_of(record), value ? GTK_WRAP_WORD : GTK_WRAP_NONE);
}

void editor_set_color(GadgetRecord* record, int32_t kind, int32_t color) {
  gadget_apply_color(record, kind, color, record->widget);
}

// The buffer's "changed": one change event per user edit, unless a close request waits.
void editor_changed(GtkTextBuffer*, gpointer view) {
  if (event_peek_type() == EVENT_CLOSE_WINDOW) return;
  void* id = g_object_get_data(G_OBJECT(view), "kt_id");
  if (!id) return;
  event_post(EVENT_GADGET, gadget_data_value(id) - 1, gadget_window_of(view), GADGET_EVENT_CHANGE);
}

const GadgetOps& editor_ops() {
  static const GadgetOps ops = [] {
    GadgetOps o{};
    o.type = GADGET_EDITOR;
    o.get_text = editor_get_text;
    o.set_text = editor_set_text;
    o.add_item = editor_add_item;
    o.remove_item = editor_remove_item;
    o.clear_items = editor_clear_items;
    o.count_items = editor_count_items;
    o.get_item_text = editor_get_item_text;
    o.set_item_text = editor_set_item_text;
    o.set_font = editor_set_font;
    o.get_attribute = editor_get_attribute;
    o.set_attribute = editor_set_attribute;
    o.set_color = editor_set_color;
    o.get_color = gadget_get_color_words;
    o.get_font = editor_get_font;
    return o;
  }();
  return ops;
}

}  // namespace

int64_t editor_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, int32_t flags) {
  const GadgetOps& ops = editor_ops();
  if (!gadget_list_ready()) return 0;
  GtkWidget* view = gtk_text_view_new();
  if (!view) return 0;
  ObjectValue value = 0;
  GadgetRecord* record = gadget_allocate(gadget, &value);
  if (!record) {
    gadget_discard(view);
    return 0;
  }
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_ETCHED_IN);
  gtk_container_add(GTK_CONTAINER(scrolled), view);
  gtk_widget_set_size_request(scrolled, w, h);
  gadget_place(scrolled, x, y);
  gtk_widget_show_all(scrolled);
  record->widget = view;
  record->outer = scrolled;
  record->ops = &ops;
  gadget_register(record, value);
  if (flags & EDITOR_READ_ONLY) ops.set_attribute(record, EDITOR_ATTRIBUTE_READ_ONLY, 1);
  if (flags & EDITOR_WORD_WRAP) ops.set_attribute(record, EDITOR_ATTRIBUTE_WORD_WRAP, 1);
  g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), "changed", G_CALLBACK(editor_changed), view);
  g_signal_connect(view, "focus-in-event", G_CALLBACK(gadget_post_focus), gadget_value_data(value));
  g_signal_connect(view, "focus-out-event", G_CALLBACK(gadget_post_lost_focus), gadget_value_data(value));
  return gadget_creation_result(gadget, record, value);
}

int64_t editor_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h) {
  return editor_gadget_create(gadget, x, y, w, h, 0);
}

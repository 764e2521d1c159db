// SPDX-License-Identifier: MIT
// Editor gadget: scrolled window > text view; the buffer's lines are its items.
#include "runtime/gadgets/editor_gadget.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "runtime/gui/color.h"
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

// --- One-line editors -------------------------------------------------------------
// The user's edits (typing, pasting, dropping) run inside the buffer's user actions; the
// program's set_text and add_item do not, and keep every line they are given.

constexpr const char* USER_ACTION_KEY = "kt_user_action";  // nesting depth of user actions
constexpr const char* CUT_KEY = "kt_line_cut";             // this user action met a line break

int data_int(gpointer object, const char* key) { return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(object), key)); }
void set_data_int(gpointer object, const char* key, int value) {
  g_object_set_data(G_OBJECT(object), key, GINT_TO_POINTER(value));
}

void begin_user_action(GtkTextBuffer* buffer, gpointer) {
  const int depth = data_int(buffer, USER_ACTION_KEY);
  if (depth == 0) set_data_int(buffer, CUT_KEY, 0);
  set_data_int(buffer, USER_ACTION_KEY, depth + 1);
}

void end_user_action(GtkTextBuffer* buffer, gpointer) {
  set_data_int(buffer, USER_ACTION_KEY, std::max(0, data_int(buffer, USER_ACTION_KEY) - 1));
}

// The length in bytes of the text's first line: up to the first character after which
// Unicode always breaks the line (LF, CR, NEL, and VT, FF, LS, PS), or the whole text.
gint first_line_length(const gchar* text, gint length) {
  for (const gchar* p = text; p < text + length; p = g_utf8_next_char(p)) {
    switch (g_unichar_break_type(g_utf8_get_char(p))) {
      case G_UNICODE_BREAK_LINE_FEED:
      case G_UNICODE_BREAK_CARRIAGE_RETURN:
      case G_UNICODE_BREAK_NEXT_LINE:
      case G_UNICODE_BREAK_MANDATORY:
        return gint(p - text);
      default:
        break;
    }
  }
  return length;
}

// Text the user adds keeps what comes before its first line break, as an entry keeps the
// first line of a multi-line paste; once a break was met, the rest of the same action (a
// paste may arrive in pieces) is dropped as well.
void keep_first_line(GtkTextBuffer* buffer, GtkTextIter* location, const gchar* text, gint length, gpointer) {
  if (data_int(buffer, USER_ACTION_KEY) == 0) return;
  const bool cut = data_int(buffer, CUT_KEY);
  const gint keep = cut ? 0 : first_line_length(text, length);
  if (!cut && keep == length) return;
  g_signal_stop_emission_by_name(buffer, "insert-text");
  if (keep > 0) gtk_text_buffer_insert(buffer, location, text, keep);
  set_data_int(buffer, CUT_KEY, 1);
}

// Word C of an editor's record: the gadget value of the button that Return activates, plus 1,
// so that the zero-filled record of a new editor links no button. Words A and B hold its colours.
const GadgetRecord* linked_button(const GadgetRecord* record) {
  return record->c ? gadget_lookup(record->c - 1) : nullptr;
}
void set_linked_button(GadgetRecord* record, ObjectValue button) { record->c = int64_t{button} + 1; }

GadgetRecord* record_of_view(GtkWidget* view) {
  void* id = g_object_get_data(G_OBJECT(view), "kt_id");
  return id ? gadget_lookup(gadget_data_value(id) - 1) : nullptr;
}

gboolean end_press_look(gpointer button) {
  gtk_widget_unset_state_flags(GTK_WIDGET(button), GTK_STATE_FLAG_ACTIVE);
  return G_SOURCE_REMOVE;
}

// Presses a button for the keyboard, if it is sensitive and shown: its click, and its pressed
// look for a moment. Not gtk_widget_activate: its pressed look holds a grab for a quarter of a
// second, which takes a click or keys meant for another control.
void press_button(GtkWidget* button) {
  if (!GTK_IS_BUTTON(button) || !gtk_widget_is_sensitive(button) || !gtk_widget_is_visible(button)) return;
  gtk_widget_set_state_flags(button, GTK_STATE_FLAG_ACTIVE, FALSE);
  g_timeout_add_full(G_PRIORITY_DEFAULT, 150, end_press_look, g_object_ref(button), g_object_unref);
  gtk_button_clicked(GTK_BUTTON(button));
}

// Return and Enter type no line break. The input method sees them first, as it would in the
// view's own handler, and keeps them while it composes (many confirm a composition with
// Return); otherwise they press the linked button.
gboolean return_activates(GtkWidget* view, GdkEventKey* event, gpointer) {
  if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter && event->keyval != GDK_KEY_ISO_Enter)
    return FALSE;
  if (gtk_text_view_im_context_filter_keypress(GTK_TEXT_VIEW(view), event)) return TRUE;
  const GadgetRecord* record = record_of_view(view);
  const GadgetRecord* button = record ? linked_button(record) : nullptr;
  if (button) press_button(GTK_WIDGET(button->widget));
  return TRUE;
}

// Focus that comes by the keyboard (or from the program) selects the whole text, so that
// typing replaces it; a click or touch leaves the caret where it lands.
void select_on_focus(GtkWidget* view, gpointer) {
  if (GdkEvent* event = gtk_get_current_event()) {
    const GdkEventType type = gdk_event_get_event_type(event);
    gdk_event_free(event);
    if (type == GDK_BUTTON_PRESS || type == GDK_2BUTTON_PRESS || type == GDK_3BUTTON_PRESS ||
        type == GDK_BUTTON_RELEASE || type == GDK_TOUCH_BEGIN || type == GDK_TOUCH_END)
      return;
  }
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  gtk_text_buffer_select_range(buffer, &end, &start);
}

// --- Full-width digits -----------------------------------------------------------

// The ASCII character that the UTF-8 sequence at p stands for when it is a full-width digit
// (U+FF10..U+FF19 = EF BC 90..99), "＄" (EF BC 84) or "％" (EF BC 85), each 0xFEE0 above it;
// else 0. Three bytes must be readable at p.
char ascii_of_full_width(const unsigned char* p) {
  if (p[0] != 0xEF || p[1] != 0xBC) return 0;
  if ((p[2] >= 0x90 && p[2] <= 0x99) || p[2] == 0x84 || p[2] == 0x85) return static_cast<char>(p[2] - 0x60);
  return 0;
}

// Text the user adds comes in again with those characters in their ASCII forms.
void fold_full_width_digits(GtkTextBuffer* buffer, GtkTextIter* location, const gchar* text, gint length, gpointer) {
  if (data_int(buffer, USER_ACTION_KEY) == 0) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  GString* folded = nullptr;  // made at the first character that changes
  for (gint i = 0; i < length; ++i) {
    const char ascii = i + 2 < length ? ascii_of_full_width(bytes + i) : 0;
    if (ascii && !folded) folded = g_string_new_len(text, i);
    if (ascii) {
      g_string_append_c(folded, ascii);
      i += 2;
    } else if (folded) {
      g_string_append_c(folded, text[i]);
    }
  }
  if (!folded) return;
  g_signal_stop_emission_by_name(buffer, "insert-text");
  gtk_text_buffer_insert(buffer, location, folded->str, static_cast<gint>(folded->len));
  g_string_free(folded, TRUE);
}

void make_ascii_digits(GtkWidget* view) {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
  // The user's actions are counted once, by whichever of the flags needs them first.
  if (!g_signal_handler_find(buffer, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, reinterpret_cast<gpointer>(begin_user_action),
                             nullptr)) {
    g_signal_connect(buffer, "begin-user-action", G_CALLBACK(begin_user_action), nullptr);
    g_signal_connect(buffer, "end-user-action", G_CALLBACK(end_user_action), nullptr);
  }
  g_signal_connect(buffer, "insert-text", G_CALLBACK(fold_full_width_digits), nullptr);
}

// The theme's entry border plus padding, left and right. Measuring them takes a style probe
// of its own, the dearest step of a field's start, so the last measurement is kept for as
// long as the theme it was made under (every field and every restyle asks).
struct EntryInset {
  GdkScreen* screen;
  gchar* theme;
  gboolean dark;
  gint left, right;
};

const EntryInset& entry_inset(GtkWidget* scrolled) {
  static EntryInset cached{};
  GdkScreen* screen = gtk_widget_get_screen(scrolled);
  gchar* theme = nullptr;
  gboolean dark = FALSE;
  g_object_get(gtk_settings_get_for_screen(screen), "gtk-theme-name", &theme, "gtk-application-prefer-dark-theme",
               &dark, nullptr);
  if (cached.theme && cached.screen == screen && cached.dark == dark && g_strcmp0(cached.theme, theme) == 0) {
    g_free(theme);
    return cached;
  }
  GtkWidgetPath* path = gtk_widget_path_copy(gtk_widget_get_path(gtk_widget_get_parent(scrolled)));
  gtk_widget_path_iter_set_object_name(path, gtk_widget_path_append_type(path, GTK_TYPE_ENTRY), "entry");
  GtkStyleContext* probe = gtk_style_context_new();
  gtk_style_context_set_path(probe, path);
  gtk_style_context_set_screen(probe, screen);
  gtk_widget_path_unref(path);
  GtkBorder padding{}, border{};
  gtk_style_context_get_padding(probe, GTK_STATE_FLAG_NORMAL, &padding);
  gtk_style_context_get_border(probe, GTK_STATE_FLAG_NORMAL, &border);
  g_object_unref(probe);
  g_free(cached.theme);
  cached = EntryInset{screen, theme, dark, padding.left + border.left, padding.right + border.right};
  return cached;
}

// The text keeps the inset of the theme's entry fields from the field's outer edge (the
// entry's border and padding, less the frame of the scrolled window around the view).
void fit_inset(GtkWidget* view) {
  GtkWidget* scrolled = gtk_widget_get_parent(view);
  const EntryInset& entry = entry_inset(scrolled);
  GtkBorder frame{};
  GtkStyleContext* outer = gtk_widget_get_style_context(scrolled);
  gtk_style_context_get_border(outer, gtk_style_context_get_state(outer), &frame);
  GtkTextView* text = GTK_TEXT_VIEW(view);
  const gint left = std::max(0, entry.left - frame.left);
  const gint right = std::max(0, entry.right - frame.right);
  if (gtk_text_view_get_left_margin(text) != left) gtk_text_view_set_left_margin(text, left);
  if (gtk_text_view_get_right_margin(text) != right) gtk_text_view_set_right_margin(text, right);
}

// The first line sits in the middle of the field's height.
void centre_first_line(GtkWidget* view, GdkRectangle* allocation, gpointer) {
  GtkTextView* text = GTK_TEXT_VIEW(view);
  GtkTextIter start;
  gtk_text_buffer_get_start_iter(gtk_text_view_get_buffer(text), &start);
  gint y = 0;
  gint height = 0;
  gtk_text_view_get_line_yrange(text, &start, &y, &height);
  const gint top = height > 0 ? std::max(0, (allocation->height - height) / 2) : 0;
  if (gtk_text_view_get_top_margin(text) != top) gtk_text_view_set_top_margin(text, top);
}

void make_single_line(GtkWidget* view) {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
  g_object_set_data(G_OBJECT(view), "kt_single_line", GINT_TO_POINTER(1));
  g_signal_connect(buffer, "begin-user-action", G_CALLBACK(begin_user_action), nullptr);
  g_signal_connect(buffer, "end-user-action", G_CALLBACK(end_user_action), nullptr);
  g_signal_connect(buffer, "insert-text", G_CALLBACK(keep_first_line), nullptr);
  g_signal_connect(view, "key-press-event", G_CALLBACK(return_activates), nullptr);
  g_signal_connect_after(view, "grab-focus", G_CALLBACK(select_on_focus), nullptr);
  g_signal_connect_after(view, "size-allocate", G_CALLBACK(centre_first_line), nullptr);
  fit_inset(view);
}

// The theme's background of a widget, without the colours this layer overrode on it.
int32_t theme_background(GtkWidget* widget) {
  GtkStyleContext* probe = gtk_style_context_new();
  gtk_style_context_set_path(probe, gtk_widget_get_path(widget));
  gtk_style_context_set_screen(probe, gtk_widget_get_screen(widget));
  GdkRGBA* rgba = nullptr;
  gtk_style_context_get(probe, GTK_STATE_FLAG_NORMAL, GTK_STYLE_PROPERTY_BACKGROUND_COLOR, &rgba, nullptr);
  g_object_unref(probe);
  if (!rgba) return -1;
  const int32_t color = color_from_components(rgba->red, rgba->green, rgba->blue);
  gdk_rgba_free(rgba);
  return color;
}

// The caret takes the colour of the text: a theme's caret is made for the theme's background.
GtkStyleProvider* caret_like_text() {
  static GtkCssProvider* const provider = [] {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "* { caret-color: currentColor; }", -1, nullptr);
    return css;
  }();
  return GTK_STYLE_PROVIDER(provider);
}

// A field whose text colour is fixed and whose background is the theme's: when the two
// do not stand out from each other (dark text in a dark theme's field), the field takes a
// background fitted to the text colour, and its caret the text colour. "kt_fitted_color"
// keeps that background as a colour word, so the widget is changed only when it changes.
void fit_background(GadgetRecord* record) {
  GtkWidget* view = GTK_WIDGET(record->widget);
  const int32_t front = gadget_get_color_words(record, COLOR_FRONT);
  const bool own_background = gadget_get_color_words(record, COLOR_BACK) != COLOR_NONE;
  const int32_t wanted =
      front == COLOR_NONE || own_background ? COLOR_NONE : color_fit(front, theme_background(view));
  const int32_t fitted = color_from_word(gadget_data_value(g_object_get_data(G_OBJECT(view), "kt_fitted_color")));
  if (wanted == fitted) return;
  g_object_set_data(G_OBJECT(view), "kt_fitted_color", gadget_value_data(color_word(wanted)));
  GtkStyleContext* context = gtk_widget_get_style_context(view);
  if (fitted == COLOR_NONE)
    gtk_style_context_add_provider(context, caret_like_text(), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  if (wanted == COLOR_NONE) gtk_style_context_remove_provider(context, caret_like_text());
  if (own_background) return;  // the gadget's own background has replaced the fitted one
  const ColorRgba c = color_unpack(wanted);
  const GdkRGBA back{c.red, c.green, c.blue, c.alpha};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_widget_override_background_color(view, GTK_STATE_FLAG_NORMAL, wanted == COLOR_NONE ? nullptr : &back);
#pragma GCC diagnostic pop
}

void editor_set_color(GadgetRecord* record, int32_t kind, int32_t color) {
  gadget_apply_color(record, kind, color, record->widget);
  fit_background(record);
}

// A scrolled window that may show a vertical scrollbar is never shorter than that
// scrollbar's minimum length (about 47 px), so a one-line field of 30 px would grow over
// the gadgets below it. A field shorter than that scrolls vertically without a scrollbar
// instead: the view still follows the cursor. Chosen again whenever the requested height
// or the style (a theme's scrollbar length) changes; a hidden widget measures 0, so it waits.
void fit_vertical_scrolling(GtkWidget* scrolled) {
  if (!gtk_widget_get_visible(scrolled)) return;
  GtkScrolledWindow* window = GTK_SCROLLED_WINDOW(scrolled);
  gint height = -1, minimum = 0;
  gtk_widget_get_size_request(scrolled, nullptr, &height);
  gtk_scrolled_window_set_policy(window, GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_widget_get_preferred_height(scrolled, &minimum, nullptr);  // at least the requested height
  if (height > 0 && height < minimum)
    gtk_scrolled_window_set_policy(window, GTK_POLICY_AUTOMATIC, GTK_POLICY_EXTERNAL);
}

void editor_height_changed(GtkWidget* scrolled, GParamSpec*, gpointer) { fit_vertical_scrolling(scrolled); }

// A theme change restyles the view; its fitted background and its scrolling are chosen again.
void editor_style_updated(GtkWidget* view, gpointer) {
  GadgetRecord* record = record_of_view(view);
  if (!record) return;
  fit_background(record);
  fit_vertical_scrolling(GTK_WIDGET(record->outer));
  if (g_object_get_data(G_OBJECT(view), "kt_single_line")) fit_inset(view);
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
  gadget_place(scrolled, x, y);
  gtk_widget_show_all(scrolled);
  g_signal_connect(scrolled, "notify::height-request", G_CALLBACK(editor_height_changed), nullptr);
  gadget_set_size(scrolled, w, h);
  record->widget = view;
  record->outer = scrolled;
  record->ops = &ops;
  gadget_register(record, value);
  if (flags & EDITOR_READ_ONLY) ops.set_attribute(record, EDITOR_ATTRIBUTE_READ_ONLY, 1);
  if (flags & EDITOR_WORD_WRAP) ops.set_attribute(record, EDITOR_ATTRIBUTE_WORD_WRAP, 1);
  if (flags & EDITOR_TAB_MOVES_FOCUS) gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(view), FALSE);
  if (flags & EDITOR_SINGLE_LINE) make_single_line(view);
  if (flags & EDITOR_ASCII_DIGITS) make_ascii_digits(view);
  g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), "changed", G_CALLBACK(editor_changed), view);
  g_signal_connect(view, "focus-in-event", G_CALLBACK(gadget_post_focus), gadget_value_data(value));
  g_signal_connect(view, "focus-out-event", G_CALLBACK(gadget_post_lost_focus), gadget_value_data(value));
  g_signal_connect(view, "style-updated", G_CALLBACK(editor_style_updated), nullptr);
  return gadget_creation_result(gadget, record, value);
}

int64_t editor_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h) {
  return editor_gadget_create(gadget, x, y, w, h, 0);
}

void editor_gadget_set_return_button(ObjectValue editor, ObjectValue button) {
  GadgetRecord* record = gadget_lookup(editor);
  if (record && record->ops->type == GADGET_EDITOR) set_linked_button(record, button);
}

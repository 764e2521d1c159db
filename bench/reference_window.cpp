// SPDX-License-Identifier: MIT
// zvd-reference-window: the calculator's main window built directly with GTK 3, without the
// runtime layer. It is the peer of the start-up benchmark (bench/startup): the same twenty
// widgets at the same positions and sizes, with the same texts, fonts, colours, item lists
// and pictures, in a window with the same size, title, flags and background, and the year,
// month and day fields filled from the calendar. It has no actions; closing the window
// through the window manager ends it with status 0.
//
// Widget trees follow what each gadget needs to look the same: a text view inside an
// etched scrolled window for an editor, a label in an event box in a box for a text, an
// editable combo box in an event box for a chooser, a framed picture in a window-less
// event box for an image. Fonts and colours come from one style sheet for the screen.
#include <gtk/gtk.h>

#include <cstdio>

#include "app/main_window.h"

#ifndef ZVD_BENCH_IMAGE_DIR
#error "ZVD_BENCH_IMAGE_DIR must name the directory of the two pictures"
#endif

namespace {

// Fonts 0, 1 and 2 of the calculator are "Sans" 10, 9 and 8; colours are the packed ones of
// the window table. A colour given to an editor is its text colour, so it also names the
// view's text node. "@background" is the calculator's background colour.
constexpr char kStyleSheet[] =
    "@define-color background rgb(%d, %d, %d);\n"
    "#main { background-color: @background; }\n"
    "#year-field, #after-count, #month-chooser, #before-push, #after-push { font: 10pt Sans; }\n"
    "#days-after, #valid-period, #day-label, #month-label, #calendar { font: 9pt Sans; }\n"
    "#days-before { font: 8pt Sans; }\n"
    "#after-count, #after-count text { color: rgb(27, 15, 13); }\n"
    "#after-result, #after-result text, #before-result, #before-result text { color: rgb(0, 0, 0); }\n"
    "#days-after-box { color: rgb(70, 70, 70); background-color: @background; }\n";

enum Align { kLeft, kRight, kCenter };

GtkLayout* g_area = nullptr;

void put(GtkWidget* widget, int x, int y, int width, int height) {
  gtk_widget_set_size_request(widget, width, height);
  gtk_layout_put(g_area, widget, x, y);
}

GtkTextView* editor(const char* name, int x, int y, int width, int height) {
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_ETCHED_IN);
  GtkWidget* view = gtk_text_view_new();
  gtk_widget_set_name(view, name);
  gtk_container_add(GTK_CONTAINER(scrolled), view);
  put(scrolled, x, y, width, height);
  return GTK_TEXT_VIEW(view);
}

// A label with its left edge, right edge or centre at the box's, wrapping long lines.
GtkWidget* text(const char* name, int x, int y, int width, int height, const char* label_text, Align align,
                bool painted_background = false) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  GtkWidget* event_box = gtk_event_box_new();
  gtk_event_box_set_visible_window(GTK_EVENT_BOX(event_box), painted_background);
  GtkWidget* label = gtk_label_new(label_text);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_xalign(GTK_LABEL(label), align == kRight ? 1.0f : align == kCenter ? 0.5f : 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  if (name) gtk_widget_set_name(label, name);
  gtk_container_add(GTK_CONTAINER(event_box), label);
  gtk_box_pack_start(GTK_BOX(box), event_box, TRUE, TRUE, 0);
  put(box, x, y, width, height);
  return event_box;
}

GtkComboBoxText* chooser(const char* name, int x, int y, int width, int height, int last_item) {
  GtkWidget* event_box = gtk_event_box_new();
  GtkWidget* combo = gtk_combo_box_text_new_with_entry();
  gtk_widget_set_name(combo, name);
  gtk_entry_set_width_chars(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(combo))), 0);
  for (int n = 1; n <= last_item; ++n) {
    char item[12];
    std::snprintf(item, sizeof item, "%d", n);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), item);
  }
  gtk_widget_set_size_request(combo, width, height);
  gtk_container_add(GTK_CONTAINER(event_box), combo);
  gtk_layout_put(g_area, event_box, x, y);
  return GTK_COMBO_BOX_TEXT(combo);
}

void push_button(const char* name, int x, int y) {
  GtkWidget* button = gtk_button_new_with_label("push");
  gtk_widget_set_name(button, name);
  put(button, x, y, 100, 40);
}

// A framed picture aligned to the top left; with a picture the box takes the picture's
// size, without one the given size.
void picture(const char* file, int x, int y, int width, int height) {
  GtkWidget* box = gtk_event_box_new();
  gtk_widget_set_has_window(box, FALSE);
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file, nullptr);
  GtkWidget* image = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
  gtk_widget_set_halign(image, GTK_ALIGN_START);
  gtk_widget_set_valign(image, GTK_ALIGN_START);
  GtkWidget* frame = gtk_frame_new(nullptr);
  gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(frame), image);
  gtk_container_add(GTK_CONTAINER(box), frame);
  if (pixbuf) {
    width = gdk_pixbuf_get_width(pixbuf);
    height = gdk_pixbuf_get_height(pixbuf);
    g_object_unref(pixbuf);
  }
  put(box, x, y, width, height);
}

// The chooser shows the item equal to the text when there is one, otherwise the text.
void set_chooser_text(GtkComboBoxText* combo, const char* value) {
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  GtkTreeIter iter;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more; more = gtk_tree_model_iter_next(model, &iter)) {
    gchar* item = nullptr;
    gtk_tree_model_get(model, &iter, 0, &item, -1);
    const bool same = item && g_strcmp0(item, value) == 0;
    g_free(item);
    if (same) {
      gtk_combo_box_set_active_iter(GTK_COMBO_BOX(combo), &iter);
      return;
    }
  }
  gtk_entry_set_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(combo))), value);
}

void load_style() {
  GtkCssProvider* css = gtk_css_provider_new();
  char* sheet = g_strdup_printf(kStyleSheet, APP_BACKGROUND_RED, APP_BACKGROUND_GREEN, APP_BACKGROUND_BLUE);
  gtk_css_provider_load_from_data(css, sheet, -1, nullptr);
  g_free(sheet);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  load_style();

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_set_name(window, "main");
  gtk_window_set_title(GTK_WINDOW(window), "ZoriviVudiDider");
  gtk_window_set_default_size(GTK_WINDOW(window), APP_WINDOW_WIDTH, APP_WINDOW_HEIGHT);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_widget_set_size_request(window, APP_WINDOW_WIDTH, APP_WINDOW_HEIGHT);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  g_signal_connect(window, "delete-event", G_CALLBACK(gtk_main_quit), nullptr);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), column);
  GtkWidget* area = gtk_layout_new(nullptr, nullptr);
  gtk_box_pack_start(GTK_BOX(column), area, TRUE, TRUE, 0);
  g_area = GTK_LAYOUT(area);

  // The calculator's creation order.
  GtkTextView* year = editor("year-field", 40, 70, 100, 30);
  gtk_text_buffer_set_text(gtk_text_view_get_buffer(year), "year", -1);
  editor("after-count", 30, 160, 100, 35);
  editor("after-result", 260, 160, 160, 35);
  text(nullptr, 240, 165, 10, 20, "=", kCenter);
  gtk_widget_set_name(text("days-after", 150, 170, 80, 25, "days after", kRight, true), "days-after-box");
  text("valid-period", 40, 110, 380, 25, "valid period: 1970-01-01 <--> 2038-01-19", kCenter);
  text("day-label", 320, 40, 40, 25, "Day", kLeft);
  text("month-label", 180, 40, 60, 25, "Month", kLeft);
  GtkComboBoxText* day = chooser("day-chooser", 320, 70, 100, 30, 31);
  push_button("before-push", 430, 220);
  editor("before-count", 30, 220, 100, 35);
  text("days-before", 140, 230, 90, 25, "days before", kRight);
  text(nullptr, 240, 225, 10, 20, "=", kCenter);
  editor("before-result", 260, 220, 160, 35);
  GtkWidget* calendar = gtk_calendar_new();  // opens on today
  gtk_widget_set_name(calendar, "calendar");
  put(calendar, 560, 10, 200, 170);
  push_button("after-push", 430, 160);
  GtkComboBoxText* month = chooser("month-chooser", 180, 70, 100, 30, 12);
  picture(ZVD_BENCH_IMAGE_DIR "/ZuveduDereduRARuruDezov.png", 30, 310, 600, 50);
  picture(ZVD_BENCH_IMAGE_DIR "/DovezuVevuDuze100v49.png", 660, 310, 100, 49);
  text(nullptr, 40, 40, 40, 25, "Year", kLeft);

  // Year, month and day fields from the calendar's date, as "yyyy", "mm" and "dd".
  guint y = 0, m = 0, d = 0;
  gtk_calendar_get_date(GTK_CALENDAR(calendar), &y, &m, &d);
  char field[8];
  std::snprintf(field, sizeof field, "%04u", y % 10000u);
  gtk_text_buffer_set_text(gtk_text_view_get_buffer(year), field, -1);
  std::snprintf(field, sizeof field, "%02u", (m + 1) % 100u);
  set_chooser_text(month, field);
  std::snprintf(field, sizeof field, "%02u", d % 100u);
  set_chooser_text(day, field);

  // A fixed-size window with a title bar, border, window menu, minimise and close.
  gtk_widget_realize(window);
  GdkWindow* gdk = gtk_widget_get_window(window);
  gdk_window_set_decorations(gdk, static_cast<GdkWMDecoration>(GDK_DECOR_TITLE | GDK_DECOR_BORDER | GDK_DECOR_MENU |
                                                               GDK_DECOR_MINIMIZE));
  gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE | GDK_FUNC_MINIMIZE));
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}

// Drives the calculator's real main window inside the test process: start-up with the
// application's own code, real pointer and keyboard input sent through the X server,
// the application's event procedure fed from the runtime's event queue, and readers for
// gadget texts, widgets and window pixels.
#pragma once

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/actions.h"
#include "app/app.h"
#include "app/main_window.h"
#include "runtime/gadgets/gadget.h"
#include "runtime/gui/event.h"
#include "runtime/gui/registry.h"
#include "runtime/gui/window.h"
#include "runtime/strings/ustring.h"
#include "tests/support/gui_pump.h"

// start_app: the application's start-up steps 1-17, once per process.
// text_of: a gadget's text (gadget_get_text) as UTF-8.
// set_text_of: replace a gadget's text from the program side (no events).
// widget_of / outer_of: a gadget's primary and top widget.
// handle_events: fetch every queued event and hand it to app_event_procedure.
// handled: the gadget events handle_events has passed on so far.
// focus_main_window: give the main window the input focus (no window manager does it).
// click: move the pointer over a widget and press and release a button there (XTest).
// type_into: click into a field, select everything, delete it and type the text (xdotool).
// window_pixel: the colour of one pixel of the main window as 0xRRGGBB, or -1.
// DialogWatcher: notes every message box that opens, reads it and clicks its OK button.

namespace zvd_app_test {

constexpr int TIMEOUT_MS = 20000;  // generous: the sanitizer build is slow

struct HandledEvent {
  int64_t gadget;
  int64_t subtype;
};

inline std::vector<HandledEvent>& handled() {
  static std::vector<HandledEvent> events;
  return events;
}

inline void start_app() {
  static bool started = false;
  if (started) return;
  started = true;
  static char name[] = "zorivivudidider-test";
  static char* argv[] = {name, nullptr};
  app_startup(1, argv);
}

inline std::string text_of(int64_t gadget) {
  const int64_t mark = ustr_stack_top();
  gadget_get_text(gadget, mark);
  char* utf8 = ustr_to_utf8(ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  std::string text(utf8);
  g_free(utf8);
  return text;
}

inline void set_text_of(int64_t gadget, const char* utf8) {
  const int64_t mark = ustr_stack_top();
  ustr_push_utf8(utf8, mark);
  ustr_stack_close();
  gadget_set_text(gadget, ustr_stack_string(mark));
  ustr_stack_set_top(mark);
}

inline GadgetRecord* record_of(int64_t gadget) {
  return static_cast<GadgetRecord*>(obj_get(gadget_registry(), gadget));
}
inline GtkWidget* widget_of(int64_t gadget) {
  GadgetRecord* record = record_of(gadget);
  return record ? GTK_WIDGET(record->widget) : nullptr;
}
inline GtkWidget* outer_of(int64_t gadget) {
  GadgetRecord* record = record_of(gadget);
  if (!record) return nullptr;
  return GTK_WIDGET(record->outer ? record->outer : record->widget);
}
inline GtkWidget* main_toplevel() {
  return GTK_WIDGET(win_widget(app_main_window));
}

inline void handle_events() {
  // event_wait(0) runs the toolkit once when it has work, like the main loop's wait,
  // but never blocks; 0 means nothing pending and nothing queued.
  for (int guard = 0; guard < 1000; ++guard) {
    const int64_t type = event_wait(0);
    if (type == 0) return;
    if (type == EVENT_GADGET) handled().push_back({event_gadget(), event_subtype()});
    if (type > 0) app_event_procedure(type);
  }
}

inline bool widget_ready(GtkWidget* widget) {
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  GdkWindow* window = gtk_widget_get_window(widget);
  return gtk_widget_get_mapped(widget) && window && gdk_window_is_viewable(window) && allocation.width > 1;
}

inline void settle() {
  zvd_test::pump_pending();
  gdk_display_sync(gdk_display_get_default());
  zvd_test::pump_pending();
}

// Real pointer input through the X server's XTest extension: the pointer moves over the
// centre of the widget, then the button goes down and up there.
inline void click_at(GtkWidget* widget, guint button) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  gint x = 0, y = 0, origin_x = 0, origin_y = 0;
  gtk_widget_translate_coordinates(widget, top, allocation.width / 2, allocation.height / 2, &x, &y);
  gdk_window_get_origin(gtk_widget_get_window(top), &origin_x, &origin_y);
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  XTestFakeMotionEvent(display, -1, origin_x + x, origin_y + y, CurrentTime);
  XTestFakeButtonEvent(display, button, True, CurrentTime);
  XTestFakeButtonEvent(display, button, False, CurrentTime);
  XFlush(display);
}

inline void click(GtkWidget* widget, guint button = 1) {
  ASSERT_NE(widget, nullptr);
  ASSERT_TRUE(zvd_test::pump_until([&] { return widget_ready(widget); }, TIMEOUT_MS));
  click_at(widget, button);
}

inline void focus_main_window() {
  GtkWidget* top = main_toplevel();
  gdk_window_focus(gtk_widget_get_window(top), GDK_CURRENT_TIME);
  ASSERT_TRUE(zvd_test::pump_until([&] { return gtk_window_is_active(GTK_WINDOW(top)); }, TIMEOUT_MS))
      << "the main window never became active";
}

// Runs xdotool (XTest keyboard input to the focused window) and waits for it to finish.
inline bool xdotool(std::vector<std::string> args) {
  std::vector<char*> argv;
  std::string program = "xdotool";
  argv.push_back(program.data());
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  gint status = -1;
  if (!g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr, &status,
                    nullptr)) {
    return false;
  }
  return g_spawn_check_wait_status(status, nullptr);
}

// The widget that takes the typing: an editor's text view or an editable chooser's entry.
inline GtkWidget* typing_widget(int64_t gadget) {
  GtkWidget* widget = widget_of(gadget);
  if (widget && GTK_IS_COMBO_BOX(widget)) return gtk_bin_get_child(GTK_BIN(widget));
  return widget;
}

// Types ASCII text into a field the way a user does and waits until the field shows it.
inline void type_into(int64_t gadget, const std::string& text) {
  GtkWidget* target = typing_widget(gadget);
  ASSERT_NE(target, nullptr);
  click(target);
  ASSERT_TRUE(zvd_test::pump_until([&] { return gtk_widget_has_focus(target); }, TIMEOUT_MS))
      << "the field never took the keyboard focus";
  ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "ctrl+a", "BackSpace"}));
  ASSERT_TRUE(zvd_test::pump_until(
      [&] {
        handle_events();
        return text_of(gadget).empty();
      },
      TIMEOUT_MS))
      << "the field was not emptied";
  if (!text.empty()) {
    ASSERT_TRUE(xdotool({"type", "--delay", "5", "--", text}));
  }
  ASSERT_TRUE(zvd_test::pump_until(
      [&] {
        handle_events();
        return text_of(gadget) == text;
      },
      TIMEOUT_MS))
      << "typed \"" << text << "\" but the field shows \"" << text_of(gadget) << "\"";
}

// One pixel of the main window's gadget area as drawn on the screen.
inline long window_pixel(int x, int y) {
  GdkWindow* window = gtk_widget_get_window(main_toplevel());
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(window, x, y, 1, 1);
  if (!pixbuf) return -1;
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf);
  const long rgb = (long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]};
  g_object_unref(pixbuf);
  return rgb;
}

constexpr long BACKGROUND_RGB = (long{APP_BACKGROUND_RED} << 16) | (long{APP_BACKGROUND_GREEN} << 8) |
                                long{APP_BACKGROUND_BLUE};

// Watches for message boxes while the application runs a modal one: each one that appears
// is read (title and text) and closed with a real click on its OK button.
class DialogWatcher {
 public:
  DialogWatcher() { source_ = g_timeout_add(10, &DialogWatcher::tick, this); }
  ~DialogWatcher() {
    if (source_) g_source_remove(source_);
  }
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  struct Seen {
    std::string title;
    std::string text;
    bool closed_by_ok = false;
  };
  const std::vector<Seen>& seen() const { return seen_; }
  // True when no box it clicked is still open.
  bool settled() const { return closing_ == nullptr; }

 private:
  static gboolean tick(gpointer data) {
    auto* self = static_cast<DialogWatcher*>(data);
    GList* toplevels = gtk_window_list_toplevels();
    bool closing_still_open = false;
    for (GList* l = toplevels; l; l = l->next) {
      GtkWidget* w = GTK_WIDGET(l->data);
      if (!GTK_IS_MESSAGE_DIALOG(w) || !gtk_widget_get_visible(w)) continue;
      if (w == self->closing_) {
        closing_still_open = true;
        continue;
      }
      GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(w), GTK_RESPONSE_OK);
      if (self->closing_ || !widget_ready(w) || !ok || !widget_ready(ok)) continue;
      gchar* text = nullptr;
      g_object_get(w, "text", &text, nullptr);
      const char* title = gtk_window_get_title(GTK_WINDOW(w));
      self->seen_.push_back({title ? title : "", text ? text : "", false});
      g_free(text);
      self->closing_ = w;
      self->closing_since_ = g_get_monotonic_time();
      closing_still_open = true;
      click_at(ok, 1);
    }
    g_list_free(toplevels);
    if (self->closing_ && !closing_still_open) {
      self->seen_.back().closed_by_ok = true;  // the click on OK closed it
      self->closing_ = nullptr;
    } else if (self->closing_ && g_get_monotonic_time() - self->closing_since_ > int64_t{TIMEOUT_MS} * 1000) {
      // The click was lost: close it anyway so that the test fails instead of hanging.
      gtk_dialog_response(GTK_DIALOG(self->closing_), GTK_RESPONSE_DELETE_EVENT);
      self->closing_ = nullptr;
    }
    return G_SOURCE_CONTINUE;
  }

  guint source_ = 0;
  GtkWidget* closing_ = nullptr;
  int64_t closing_since_ = 0;
  std::vector<Seen> seen_;
};

}  // namespace zvd_app_test

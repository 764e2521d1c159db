// Shared set-up for the GUI frame tests: the runtime started in the application's
// order, a recorder of queued events and real X input helpers.
#pragma once

// gtest comes before Xlib, whose macros (None, Bool, ...) would clash with it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <vector>

#include "runtime/gui/event.h"
#include "runtime/gui/font.h"
#include "runtime/gui/registry.h"
#include "runtime/gui/toolkit.h"
#include "runtime/gui/window.h"
#include "runtime/strings/ustring.h"
#include "tests/support/gui_pump.h"

// start_frame: locale, string stack, toolkit, fonts, events, windows (once per process).
// EventLog: fetches queued events into a list and waits for one to arrive.
// send_wm_delete: a WM_DELETE_WINDOW client message, as a window manager sends it.
// click: press and release a mouse button at a point of a widget (XTest: real pointer input).

namespace zvd_test {

inline void start_frame() {
  static bool started = false;
  if (started) return;
  started = true;
  static char name[] = "gui-frame-test";
  static char* argv[] = {name, nullptr};
  toolkit_set_args(1, argv);
  runtime_set_locale();
  ustr_stack_startup();
  toolkit_init();
  font_library_init();
  event_queue_init();
  win_library_init();
}

struct Event {
  int64_t type;
  int64_t gadget;
  int64_t window;
  int64_t subtype;
  bool operator==(const Event&) const = default;
};

class EventLog {
 public:
  // Moves every queued event into the log.
  void collect() {
    while (event_fetch() != 0) events.push_back({event_type(), event_gadget(), event_window(), event_subtype()});
  }
  bool has(int64_t type, int64_t window) {
    collect();
    return std::any_of(events.begin(), events.end(),
                       [&](const Event& e) { return e.type == type && e.window == window; });
  }
  bool wait_for(int64_t type, int64_t window, int timeout_ms = 5000) {
    return pump_until([&] { return has(type, window); }, timeout_ms);
  }
  int count(int64_t type, int64_t window) {
    collect();
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [&](const Event& e) { return e.type == type && e.window == window; }));
  }
  void clear() {
    pump_pending();
    collect();
    events.clear();
  }
  std::vector<Event> events;
};

inline void send_wm_delete(GtkWidget* window) {
  GdkWindow* gdk = gtk_widget_get_window(window);
  Display* display = GDK_WINDOW_XDISPLAY(gdk);
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = GDK_WINDOW_XID(gdk);
  ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, GDK_WINDOW_XID(gdk), False, NoEventMask, &ev);
  XFlush(display);
}

inline void click(GtkWidget* widget, int x, int y, unsigned button) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  int tx = 0, ty = 0, ox = 0, oy = 0;
  gtk_widget_translate_coordinates(widget, top, x, y, &tx, &ty);
  gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  XTestFakeMotionEvent(display, -1, ox + tx, oy + ty, CurrentTime);
  XTestFakeButtonEvent(display, button, True, CurrentTime);
  XTestFakeButtonEvent(display, button, False, CurrentTime);
  XFlush(display);
}

}  // namespace zvd_test

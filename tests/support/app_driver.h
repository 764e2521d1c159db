// SPDX-License-Identifier: MIT
// Drives the calculator's real main window inside the test process: start-up with the
// application's own code, its event procedure fed from the runtime's event queue, typing
// into its fields.
#pragma once

#include "app/actions.h"
#include "app/app.h"
#include "app/main_window.h"
#include "tests/support/gui.h"

namespace zvd_test {

// The gadget events (gadget, subtype) that handle_events has passed on so far.
inline std::vector<std::pair<int64_t, int64_t>> handled;

// The application's start-up steps, once per process, and its window on the screen.
inline void start_app() {
  static bool started = false;
  if (started) return;
  started = true;
  static char name[] = "zorivivudidider-test", *argv[] = {name, nullptr};
  app_startup(1, argv);
  GtkWidget* window = GTK_WIDGET(win_widget(app_main_window));
  pump_until([&] { return widget_ready(window); });
  // Mapped is not yet laid out: two frames more, and every gadget has its place (on a loaded
  // machine the first frame may come well after the map).
  GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
  pump_until([&, frame = gdk_frame_clock_get_frame_counter(clock)] {
    gtk_widget_queue_draw(window);
    return gdk_frame_clock_get_frame_counter(clock) > frame + 1;
  });
  settle();
}

inline GtkWidget* main_toplevel() { return GTK_WIDGET(win_widget(app_main_window)); }

// Hands every queued event to the event procedure, as the main loop does, without blocking.
inline void handle_events() {
  for (int guard = 0; guard < 1000; ++guard) {
    const int64_t type = event_wait(0);
    if (type == 0) return;
    if (type == EVENT_GADGET) handled.emplace_back(event_gadget(), event_subtype());
    if (type > 0) app_event_procedure(type);
  }
}

// Types ASCII text into a field the way a user does and waits until the field shows it.
inline void type_into(int64_t gadget, const std::string& text) {
  GtkWidget* target = widget_of(gadget);
  if (target && GTK_IS_COMBO_BOX(target)) target = gtk_bin_get_child(GTK_BIN(target));
  click(target);
  ASSERT_TRUE(pump_until([&] { return gtk_widget_has_focus(target); })) << "the field never took the focus";
  std::vector<std::string> keys = {"key", "--clearmodifiers", "ctrl+a", "BackSpace"};
  if (!text.empty()) keys.insert(keys.end(), {"type", "--delay", "5", "--", text});
  ASSERT_TRUE(xdotool(keys));
  ASSERT_TRUE(pump_until([&] {
    handle_events();
    return text_of(gadget) == text;
  })) << "typed \"" << text << "\" but the field shows \"" << text_of(gadget) << "\"";
}

}  // namespace zvd_test

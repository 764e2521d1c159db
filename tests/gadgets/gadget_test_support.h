// Shared set-up for the gadget tests: the runtime started as the application
// starts it, one window per test, real pointer and keyboard input through XTest,
// and readers for gadget texts and queued events.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <sys/wait.h>
#include <vector>

#include "runtime/gadgets/gadget.h"
#include "runtime/gui/event.h"
#include "runtime/gui/font.h"
#include "runtime/gui/registry.h"
#include "runtime/gui/toolkit.h"
#include "runtime/gui/window.h"
#include "runtime/strings/ustring.h"
#include "tests/support/gui_pump.h"

// start_runtime: the application's start-up order, once per process.
// text_of: a gadget's text through gadget_get_text.
// drain_events / gadget_events: fetch every queued event / keep the gadget events.
// record_of: the live record of a gadget, or null.
// widget_of / outer_of: the primary and the top widget of a gadget.
// xdotool: run xdotool (XTest input) with arguments.
// click_widget: move the pointer over a widget and click a mouse button.
// press_key: press and release a key in the focused window.
// settle: let the toolkit finish its pending work.

namespace zvd_test {

struct QueuedEvent {
  int64_t type;
  int64_t gadget;
  int64_t window;
  int64_t subtype;
  bool operator==(const QueuedEvent&) const = default;
};

inline void start_runtime() {
  static bool started = false;
  if (started) return;
  started = true;
  static char name[] = "gadget-test";
  static char* argv[] = {name, nullptr};
  runtime_set_locale();
  ustr_stack_startup();
  toolkit_set_args(1, argv);
  toolkit_init();
  font_library_init();
  event_queue_init();
  win_library_init();
  gadget_init();
}

inline std::u16string text_of(ObjectValue gadget) {
  const int64_t mark = ustr_stack_top();
  gadget_get_text(gadget, mark);
  std::u16string text(ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  return text;
}

inline std::vector<QueuedEvent> drain_events() {
  std::vector<QueuedEvent> events;
  while (event_fetch() != 0) events.push_back({event_type(), event_gadget(), event_window(), event_subtype()});
  return events;
}

inline std::vector<QueuedEvent> gadget_events(const std::vector<QueuedEvent>& events) {
  std::vector<QueuedEvent> result;
  for (const QueuedEvent& e : events)
    if (e.type == EVENT_GADGET) result.push_back(e);
  return result;
}

inline GadgetRecord* record_of(ObjectValue gadget) {
  return static_cast<GadgetRecord*>(obj_get(gadget_registry(), gadget));
}
inline GtkWidget* widget_of(ObjectValue gadget) {
  GadgetRecord* record = record_of(gadget);
  return record ? GTK_WIDGET(record->widget) : nullptr;
}
inline GtkWidget* outer_of(ObjectValue gadget) {
  GadgetRecord* record = record_of(gadget);
  if (!record) return nullptr;
  return GTK_WIDGET(record->outer ? record->outer : record->widget);
}

inline void settle() {
  pump_pending();
  gdk_display_sync(gdk_display_get_default());
  pump_pending();
}

inline bool widget_ready(GtkWidget* widget) {
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  GdkWindow* window = gtk_widget_get_window(widget);
  return gtk_widget_get_mapped(widget) && window && gdk_window_is_viewable(window) && allocation.width > 1;
}

// Runs xdotool, which feeds input through the X server's XTest extension; true on success.
inline bool xdotool(std::vector<std::string> args) {
  std::vector<char*> argv;
  static char program[] = "xdotool";
  argv.push_back(program);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  gint status = -1;
  const gboolean spawned = g_spawn_sync(nullptr, argv.data(), nullptr,
                                        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                                    G_SPAWN_STDERR_TO_DEV_NULL),
                                        nullptr, nullptr, nullptr, nullptr, &status, nullptr);
  return spawned && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Moves the pointer over a widget (centre plus dx, dy) and clicks count times.
inline void click_widget(GtkWidget* widget, guint button = 1, int dx = 0, int dy = 0, int count = 1) {
  ASSERT_TRUE(pump_until([&] { return widget_ready(widget); }));
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  gint x = 0, y = 0, origin_x = 0, origin_y = 0;
  ASSERT_TRUE(gtk_widget_translate_coordinates(widget, top, allocation.width / 2 + dx, allocation.height / 2 + dy,
                                               &x, &y));
  gdk_window_get_origin(gtk_widget_get_window(top), &origin_x, &origin_y);
  ASSERT_TRUE(xdotool({"mousemove", std::to_string(origin_x + x), std::to_string(origin_y + y), "click", "--repeat",
                       std::to_string(count), "--delay", "1", std::to_string(button)}));
}

// Presses and releases a key (an X keysym name such as "a", "Q" or "adiaeresis")
// in the window that holds the input focus.
inline void press_key(const char* keysym) { ASSERT_TRUE(xdotool({"key", keysym})); }

// Every test gets a fresh window that is the current gadget list; it is closed,
// with everything in it, at the end of the test.
class GadgetWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_runtime();
    window_ = win_open(ANY_NUMBER, 0, 0, 640, 480, u"gadgets", 0, nullptr);
    ASSERT_NE(window_, 0);
    toplevel_ = GTK_WIDGET(win_widget(window_));
    ASSERT_TRUE(pump_until([&] { return widget_ready(toplevel_); }));
    settle();
    drain_events();
  }
  void TearDown() override {
    gadget_set_font(ANY_NUMBER, 0);
    if (window_) win_close(window_);
    settle();
    drain_events();
  }

  int64_t window_ = 0;
  GtkWidget* toplevel_ = nullptr;
};

}  // namespace zvd_test

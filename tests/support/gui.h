// SPDX-License-Identifier: MIT
// What tests of real windows share: the runtime started in the program's order, bounded pumping,
// the queued events, gadget texts and widgets, real X input and a watcher that answers message boxes.
#pragma once

// gtest comes before Xlib, whose macros (None, Bool, ...) would clash with it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "runtime/gadgets/gadget.h"
#include "runtime/gui/color.h"
#include "runtime/gui/event.h"
#include "runtime/gui/font.h"
#include "runtime/gui/registry.h"
#include "runtime/gui/toolkit.h"
#include "runtime/gui/window.h"
#include "runtime/image/bmp_decoder.h"
#include "runtime/image/image.h"
#include "runtime/image/png_decoder.h"
#include "runtime/strings/ustring.h"

namespace zvd_test {

constexpr int TIMEOUT_MS = 20000;  // generous: the sanitizer build is slow

// Start-up steps 1 to 12 of the program, once per process.
inline void start_runtime() {
  static bool started = false;
  if (started) return;
  started = true;
  static char name[] = "zvd-test", *argv[] = {name, nullptr};
  toolkit_set_args(1, argv);
  for (void (*step)() : {runtime_set_locale, ustr_stack_startup, decode_context_init, toolkit_init, font_library_init,
                         event_queue_init, bmp_decoder_register, image_init, win_library_init, gadget_init,
                         png_decoder_register})
    step();
}

// Iterates the main loop until cond() holds or timeout_ms pass; returns cond().
inline bool pump_until(const std::function<bool()>& cond, int timeout_ms = TIMEOUT_MS) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= deadline) return cond();
    // Wake at least every 10 ms so the deadline is checked even when nothing happens.
    guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, tick)) g_source_destroy(source);
  }
  return true;
}

inline void pump_pending() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}
inline void settle() {  // the toolkit's pending work, including what the X server still owes us
  pump_pending();
  gdk_display_sync(gdk_display_get_default());
  pump_pending();
}

inline bool widget_ready(GtkWidget* widget) {
  GdkWindow* window = gtk_widget_get_window(widget);
  return gtk_widget_get_mapped(widget) && window && gdk_window_is_viewable(window) &&
         gtk_widget_get_allocated_width(widget) > 1;
}

struct Event {
  int64_t type, gadget, window, subtype;
  bool operator==(const Event&) const = default;
};

// Fetches every queued event; with only_gadgets, keeps the gadget events.
inline std::vector<Event> drain_events(bool only_gadgets = false) {
  std::vector<Event> events;
  while (event_fetch() != 0) {
    if (!only_gadgets || event_type() == EVENT_GADGET)
      events.push_back({event_type(), event_gadget(), event_window(), event_subtype()});
  }
  return events;
}

inline std::string text_of(ObjectValue gadget) {
  const int64_t mark = ustr_stack_top();
  gadget_get_text(gadget, mark);
  char* utf8 = ustr_to_utf8(ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  std::string text(utf8);
  g_free(utf8);
  return text;
}

// Replaces a gadget's text from the program side (no events).
inline void set_text(ObjectValue gadget, const std::string& utf8) {
  const int64_t mark = ustr_stack_top();
  ustr_push_utf8(utf8.c_str(), mark);
  ustr_stack_close();
  gadget_set_text(gadget, ustr_stack_string(mark));
  ustr_stack_set_top(mark);
}

// A gadget's record, primary widget and the widget placed into the window (null when not found).
inline GadgetRecord* record_of(ObjectValue g) { return static_cast<GadgetRecord*>(obj_get(gadget_registry(), g)); }
inline GtkWidget* widget_of(ObjectValue g) { return record_of(g) ? GTK_WIDGET(record_of(g)->widget) : nullptr; }
inline GtkWidget* outer_of(ObjectValue g) {
  GadgetRecord* record = record_of(g);
  return record ? GTK_WIDGET(record->outer ? record->outer : record->widget) : nullptr;
}

// A style colour of a widget in a state, as a colour value.
inline int64_t style_rgb(GtkWidget* widget, GtkStateFlags state, const char* property) {
  g_autoptr(GdkRGBA) c = nullptr;
  GtkStyleContext* context = gtk_widget_get_style_context(widget);
  gtk_style_context_save(context);
  gtk_style_context_set_state(context, state);
  gtk_style_context_get(context, state, property, &c, nullptr);
  gtk_style_context_restore(context);
  return color_from_components(c->red, c->green, c->blue);
}

inline Display* x_display() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

// Moves the pointer to a point of a widget (its centre for a negative coordinate).
inline void pointer_to(GtkWidget* widget, int x = -1, int y = -1) {
  int tx = 0, ty = 0, ox = 0, oy = 0;
  gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget),
                                   x < 0 ? gtk_widget_get_allocated_width(widget) / 2 : x,
                                   y < 0 ? gtk_widget_get_allocated_height(widget) / 2 : y, &tx, &ty);
  gdk_window_get_origin(gtk_widget_get_window(gtk_widget_get_toplevel(widget)), &ox, &oy);
  XTestFakeMotionEvent(x_display(), -1, ox + tx, oy + ty, CurrentTime);
}
inline void pointer_button(unsigned button, bool down) {
  XTestFakeButtonEvent(x_display(), button, down, CurrentTime);
  XFlush(x_display());
}

// Presses and releases a button count times at a point of the widget (its centre by default).
inline void click(GtkWidget* widget, unsigned button = 1, int count = 1, int x = -1, int y = -1) {
  ASSERT_NE(widget, nullptr);
  ASSERT_TRUE(pump_until([&] { return widget_ready(widget); }));
  pointer_to(widget, x, y);
  for (int i = 0; i < count; ++i) {
    pointer_button(button, true);
    pointer_button(button, false);
  }
}

// Runs xdotool (keyboard input through XTest to the focused window); true on success.
inline bool xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  gint status = -1;
  return g_spawn_sync(nullptr, argv.data(), nullptr,
                      GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                      nullptr, nullptr, nullptr, nullptr, &status, nullptr) &&
         g_spawn_check_wait_status(status, nullptr);
}

// No window manager runs under the test server: the test gives its window the focus.
inline void focus_window(GtkWidget* toplevel) {
  gdk_window_focus(gtk_widget_get_window(toplevel), GDK_CURRENT_TIME);
  ASSERT_TRUE(pump_until([&] { return gtk_window_is_active(GTK_WINDOW(toplevel)); }));
}

// While code under test runs a modal message box, reads each box that appears and answers
// it with the given response (for response 0, by closing it as the window manager does).
class DialogWatcher {
 public:
  struct Seen {
    std::string title, text, buttons;  // buttons: "ok", "yes", "no", "cancel" as the box has them
    gboolean markup = TRUE;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    GtkWindow* parent = nullptr;  // the window the box is transient for
  };
  explicit DialogWatcher(int response = GTK_RESPONSE_OK)
      : response_(response), source_(g_timeout_add(10, tick, this)) {}
  ~DialogWatcher() { g_source_remove(source_); }
  std::vector<Seen> seen;

 private:
  static gboolean tick(gpointer data) {
    auto* self = static_cast<DialogWatcher*>(data);
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* l = toplevels; l; l = l->next) {
      GtkWidget* box = GTK_WIDGET(l->data);
      if (!GTK_IS_MESSAGE_DIALOG(box) || !widget_ready(box) || g_object_get_data(G_OBJECT(box), "zvd-seen")) continue;
      g_object_set_data(G_OBJECT(box), "zvd-seen", box);
      Seen s;
      gchar* text = nullptr;
      g_object_get(box, "text", &text, "use-markup", &s.markup, "message-type", &s.type, nullptr);
      s.text = text ? text : "";
      g_free(text);
      s.parent = gtk_window_get_transient_for(GTK_WINDOW(box));
      s.title = gtk_window_get_title(GTK_WINDOW(box)) ? gtk_window_get_title(GTK_WINDOW(box)) : "";
      for (auto [response, name] : {std::pair{GTK_RESPONSE_OK, " ok"}, {GTK_RESPONSE_YES, " yes"},
                                    {GTK_RESPONSE_NO, " no"}, {GTK_RESPONSE_CANCEL, " cancel"}})
        if (gtk_dialog_get_widget_for_response(GTK_DIALOG(box), response))
          s.buttons += s.buttons.empty() ? name + 1 : name;
      self->seen.push_back(s);
      GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), self->response_);
      if (self->response_ == 0) gtk_window_close(GTK_WINDOW(box));
      else if (button) gtk_button_clicked(GTK_BUTTON(button));
      else gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_NONE);
    }
    g_list_free(toplevels);
    return G_SOURCE_CONTINUE;
  }

  int response_;
  guint source_;
};

}  // namespace zvd_test

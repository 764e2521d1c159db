// Test helpers for window tests: pump the toolkit until a condition holds.
#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <functional>

// pump_until: iterate the GTK main loop until cond() is true or timeout_ms passes; returns cond().
// pump_pending: run every pending toolkit event.

namespace zvd_test {

inline bool pump_until(const std::function<bool()>& cond, int timeout_ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= deadline) return cond();
    // Wake at least every 10 ms so the deadline is checked even when nothing happens.
    guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    GSource* source = g_main_context_find_source_by_id(nullptr, tick);
    if (source) g_source_destroy(source);
  }
  return true;
}

inline void pump_pending() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

}  // namespace zvd_test

// SPDX-License-Identifier: MIT
// Toolkit start-up and shutdown: the locale, GTK, and GDK's thread lock as one
// process-wide recursive mutex that the main thread holds for the whole run.

#include "runtime/gui/toolkit.h"

#include <gtk/gtk.h>

#include <clocale>

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
GStaticRecMutex g_toolkit_lock;  // set up by g_static_rec_mutex_init in toolkit_init
#pragma GCC diagnostic pop

int g_argc = 0;
char** g_argv = nullptr;
bool g_args_set = false;
bool g_initialised = false;
bool g_lock_held = false;  // the main thread's hold taken in toolkit_init

void toolkit_lock() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  g_static_rec_mutex_lock(&g_toolkit_lock);
#pragma GCC diagnostic pop
}

void toolkit_unlock() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  g_static_rec_mutex_unlock(&g_toolkit_lock);
#pragma GCC diagnostic pop
}

}  // namespace

void runtime_set_locale() { std::setlocale(LC_ALL, ""); }

void toolkit_set_args(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
  g_args_set = true;
}

void toolkit_init() {
  if (g_initialised) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  g_static_rec_mutex_init(&g_toolkit_lock);
  gdk_threads_set_lock_functions(toolkit_lock, toolkit_unlock);
  gdk_threads_init();
#pragma GCC diagnostic pop
  // Without saved arguments GTK gets none (it accepts null for both).
  if (g_args_set) gtk_init(&g_argc, &g_argv);
  else gtk_init(nullptr, nullptr);
  // The windows' texts are English and their gadgets sit at fixed places: a right-to-left
  // locale must not mirror half of them. Names the toolkit translates stay translated.
  gtk_widget_set_default_direction(GTK_TEXT_DIR_LTR);
  g_initialised = true;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gdk_threads_enter();
#pragma GCC diagnostic pop
  g_lock_held = true;
}

void toolkit_end() {
  // Leaves the hold taken by toolkit_init once; a second call would unlock a mutex
  // this thread no longer holds.
  if (!g_initialised || !g_lock_held) return;
  g_lock_held = false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gdk_threads_leave();
#pragma GCC diagnostic pop
}

int toolkit_argc() { return g_argc; }
char** toolkit_argv() { return g_argv; }
bool toolkit_is_initialised() { return g_initialised; }

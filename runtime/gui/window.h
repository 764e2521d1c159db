// SPDX-License-Identifier: MIT
// Windows: toplevel GTK windows with a gadget area, named by number or handle.
#pragma once

#include <cstdint>
#include "runtime/gui/registry.h"
#include "runtime/strings/ustring.h"

// win_library_init: create the window registry.
// win_open: open a window; toolkit window for a number, handle for ANY_NUMBER, 0 on failure.
// win_center: centre on the screen or the parent as the flags say.
// win_close: destroy a window (ANY_NUMBER: all).
// win_close_all: close every open window.
// win_width/win_height: inner (WINDOW_INNER_SIZE) or frame size; 0 if not open.
// win_set_state: maximise, minimise or restore.
// win_set_color: background colour of the gadget area.
// win_widget: the toolkit window of an open window, or null.
// win_add_close_keys: Ctrl+W and Ctrl+Q ask to close the window as the window manager's close does.
// win_text_factor: the desktop's text scale factor (screen resolution over 96 dpi; 1 when unknown
//   or below 1).
// win_scaled: a coordinate in design units as pixels at the text factor (rounded to nearest,
//   clamped to the int32_t range).
// win_scaled_span: the pixel length from design coordinate start to start + length, so that
//   neighbours that touch in design units touch, and never overlap, in pixels (clamped likewise).
// win_unscaled: a pixel length back in design units.
// win_registry: the window registry (null before win_library_init).

enum WindowFlags : int32_t {
  WINDOW_INVISIBLE = 0x1,
  WINDOW_SIZE_GADGET = 0x2,
  WINDOW_SYSTEM_MENU = 0x4,
  WINDOW_MAXIMIZE_GADGET = 0x10,
  WINDOW_MINIMIZE_GADGET = 0x20,
  WINDOW_SCREEN_CENTERED = 0x40,
  WINDOW_BORDERLESS = 0x80,
  WINDOW_PARENT_CENTERED = 0x100,
  WINDOW_MAXIMIZE = 0x200,
  WINDOW_MINIMIZE = 0x400,
  WINDOW_TOOL = 0x800,
  WINDOW_NO_GADGET_LIST = 0x1000,
  WINDOW_NO_ACTIVATE = 0x2000,
};

constexpr int32_t IGNORE_POSITION = -65535;
constexpr int32_t WINDOW_INNER_SIZE = 1;

struct WindowRecord {
  void* window;  // GtkWidget* toplevel; the record's liveness field
};

void win_library_init();
int64_t win_open(ObjectValue value, int32_t x, int32_t y, int32_t width, int32_t height,
                 UString title, int32_t flags, void* parent);
void win_center(void* window, int32_t flags, void* parent);
void win_close(ObjectValue value);
void win_close_all();
int64_t win_width(ObjectValue value, int32_t mode);
int64_t win_height(ObjectValue value, int32_t mode);
void win_set_state(ObjectValue value, int32_t state);
void win_set_color(ObjectValue value, int32_t color);
void* win_widget(ObjectValue value);
void win_add_close_keys(ObjectValue value);
double win_text_factor();
int32_t win_scaled(int32_t design);
int32_t win_scaled_span(int32_t start, int32_t length);
int32_t win_unscaled(int32_t pixels);
ObjectRegistry* win_registry();

// SPDX-License-Identifier: MIT
// The main window and its twenty gadgets.
#pragma once

#include <cstdint>

// app_create_main_window: open the main window at the given place and size and build its gadgets.

void app_create_main_window(int32_t x, int32_t y, int32_t width, int32_t height);

// The days-before "push" button is created under this fixed gadget number.
constexpr int64_t APP_BEFORE_BUTTON = 0;

// The main window's background colour as red, green, blue.
constexpr int32_t APP_BACKGROUND_RED = 188;
constexpr int32_t APP_BACKGROUND_GREEN = 216;
constexpr int32_t APP_BACKGROUND_BLUE = 215;

extern int64_t app_main_window;
extern int64_t app_year_field;
extern int64_t app_month_chooser;
extern int64_t app_day_chooser;
extern int64_t app_after_count_field;
extern int64_t app_after_result_field;
extern int64_t app_before_count_field;
extern int64_t app_before_result_field;
extern int64_t app_calendar;
extern int64_t app_after_button;
extern int64_t app_logo_gadget;
extern int64_t app_banner_gadget;

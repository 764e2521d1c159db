// SPDX-License-Identifier: MIT
// The main window and its twenty gadgets.
#pragma once

#include <cstdint>

// app_create_main_window: open the main window at the given place and size and build its gadgets.

void app_create_main_window(int32_t x, int32_t y, int32_t width, int32_t height);

// The days-before "push" button is created under this fixed gadget number instead of
// ANY_NUMBER; its handle is not kept, its events carry the gadget value 0.
constexpr int64_t APP_BEFORE_BUTTON = 0;

// The window's look and the places of its gadgets are defined here once. The start-up
// benchmark's reference window includes this header; the scripts and tests that look at or
// click into the running window read the lines below through scripts/window-constants, so
// keep each on one line in this form.

// The main window's background colour as red, green, blue.
constexpr int32_t APP_BACKGROUND_RED = 188;
constexpr int32_t APP_BACKGROUND_GREEN = 216;
constexpr int32_t APP_BACKGROUND_BLUE = 215;

// The window's gadget area in design units (pixels at text factor 1 on a scale-1 screen).
constexpr int32_t APP_WINDOW_WIDTH = 790;
constexpr int32_t APP_WINDOW_HEIGHT = 400;

// A gadget's place in the gadget area: left, top, width, height in design units.
struct AppPlace {
  int32_t x, y, width, height;
};
constexpr AppPlace APP_YEAR_FIELD_PLACE{40, 70, 100, 30};
constexpr AppPlace APP_MONTH_CHOOSER_PLACE{180, 70, 100, 30};
constexpr AppPlace APP_DAY_CHOOSER_PLACE{320, 70, 100, 30};
constexpr AppPlace APP_AFTER_COUNT_PLACE{30, 160, 100, 35};
constexpr AppPlace APP_AFTER_RESULT_PLACE{260, 160, 160, 35};
constexpr AppPlace APP_AFTER_BUTTON_PLACE{430, 160, 100, 40};
constexpr AppPlace APP_BEFORE_COUNT_PLACE{30, 220, 100, 35};
constexpr AppPlace APP_BEFORE_RESULT_PLACE{260, 220, 160, 35};
constexpr AppPlace APP_BEFORE_BUTTON_PLACE{430, 220, 100, 40};
constexpr AppPlace APP_BANNER_PLACE{30, 310, 600, 50};  // the size when the picture is missing
constexpr AppPlace APP_LOGO_PLACE{660, 310, 100, 49};   // likewise

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

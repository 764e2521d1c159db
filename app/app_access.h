// SPDX-License-Identifier: MIT
// What screen readers learn about the main window: names, descriptions, which label
// belongs to which field, and which picture is only decoration; and how the keyboard
// walks it.
#pragma once

#include <cstdint>

// app_describe_main_window: give the main window's gadgets their accessible names, descriptions and labels.

// app_set_keyboard_order: Tab order of the main window in reading order; the days-after count takes the focus.

void app_describe_main_window();
void app_set_keyboard_order();

// The labels whose handles the window keeps so that they can be linked to their fields
// (0 when a creation failed; the link is then left out).
extern int64_t app_year_label;
extern int64_t app_month_label;
extern int64_t app_day_label;
extern int64_t app_after_label;
extern int64_t app_before_label;

// SPDX-License-Identifier: MIT
// The event procedure and what the window does: the two date actions, the calendar copy,
// the resize handler and the about box.
#pragma once

#include <cstdint>

// app_event_procedure: handle one event type; 0 ends the main loop, 1 goes on.
// app_days_after: write start date + count days into the days-after result field.
// app_days_before: write start date - count days into the days-before result field.
// app_sync_fields_from_calendar: copy the calendar's day into the year, month and day fields.
// app_on_resize: make the days-after result field follow the window's inner width.
// app_show_about: on a left click, show the maker's about box until it is closed.

int64_t app_event_procedure(int64_t type);
int64_t app_days_after(int64_t subtype);
int64_t app_days_before(int64_t subtype);
int64_t app_sync_fields_from_calendar();
int64_t app_on_resize();
int64_t app_show_about(int64_t subtype);

// The one date format of the program: ten characters, yyyy/mm/dd.
inline constexpr char16_t APP_DATE_MASK[] = u"%yyyy/%mm/%dd";

// SPDX-License-Identifier: MIT
// Dates as signed seconds since 1970-01-01 00:00:00 in UTC arithmetic.
#pragma once

#include <cstdint>
#include "runtime/strings/ustring.h"

// date_make: the date of the given fields, or DATE_INVALID outside 1970-01-01 .. 2038-01-19 03:14:07.
// date_now: the current local wall-clock time as a date value.
// date_add: date moved by amount units (DateUnit).
// date_year .. date_second: one field of the date; 0 for DATE_INVALID.
// date_format: the date through a %-token mask as a string result at position.

typedef int64_t DateSeconds;
constexpr DateSeconds DATE_INVALID = -1;

enum DateUnit : int32_t {
  DATE_UNIT_YEAR = 0,
  DATE_UNIT_MONTH = 1,
  DATE_UNIT_WEEK = 2,
  DATE_UNIT_DAY = 3,
  DATE_UNIT_HOUR = 4,
  DATE_UNIT_MINUTE = 5,
  DATE_UNIT_SECOND = 6,
};

DateSeconds date_make(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);
DateSeconds date_now();
DateSeconds date_add(DateSeconds date, int32_t unit, int32_t amount);
int32_t date_year(DateSeconds date);
int32_t date_month(DateSeconds date);
int32_t date_day(DateSeconds date);
int32_t date_hour(DateSeconds date);
int32_t date_minute(DateSeconds date);
int32_t date_second(DateSeconds date);
void date_format(UString mask, DateSeconds date, int64_t position);

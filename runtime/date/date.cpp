// SPDX-License-Identifier: MIT
// Dates as signed seconds since the epoch, computed in UTC through libc.
//
// The reentrant forms gmtime_r and localtime_r are used so that callers on
// different threads cannot see each other's broken-down times.
#include "runtime/date/date.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <iterator>

namespace {

constexpr int64_t UNIT_SECONDS[7] = {0, 0, 604800, 86400, 3600, 60, 1};
constexpr int32_t FIRST_YEAR = 1970;
constexpr int32_t LAST_YEAR = 2038;
// Years the formatter shows; anything else formats like DATE_INVALID.
constexpr int64_t FORMAT_FIRST_YEAR = 1;
constexpr int64_t FORMAT_LAST_YEAR = 9999;
constexpr int64_t MASK_INLINE_UNITS = 64;
constexpr int64_t FORMAT_CHUNK = 4096;
// Most units one step of the formatter writes ("0000" is the widest).
constexpr int64_t FORMAT_STEP_MAX = 8;

constexpr bool is_leap_year(int32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

bool break_down(DateSeconds date, struct tm* out) {
  time_t t = static_cast<time_t>(date);
  return gmtime_r(&t, out) != nullptr;
}

struct DateFields {
  int32_t year, month, day, hour, minute, second;
};

DateFields fields_of(DateSeconds date) {
  DateFields f{};
  struct tm tm {};
  if (date == DATE_INVALID || !break_down(date, &tm)) return f;
  // gmtime can give a tm_year just below INT_MAX; a year beyond 32 bits cannot be returned.
  const int64_t year = int64_t{tm.tm_year} + 1900;
  if (year > INT32_MAX) return f;
  f.year = static_cast<int32_t>(year);
  f.month = tm.tm_mon + 1;
  f.day = tm.tm_mday;
  f.hour = tm.tm_hour;
  f.minute = tm.tm_min;
  f.second = tm.tm_sec;
  return f;
}

DateSeconds add_months(DateSeconds date, int64_t months) {
  struct tm tm {};
  if (!break_down(date, &tm)) return date;
  // Floor division carries whole years; the result is what stepping month by
  // month would give, without a loop as long as the amount.
  int64_t month0 = static_cast<int64_t>(tm.tm_mon) + months;
  int64_t years = month0 >= 0 ? month0 / 12 : -((-month0 + 11) / 12);
  month0 -= years * 12;
  int64_t year = static_cast<int64_t>(tm.tm_year) + 1900 + years;
  // Outside the supported years every clamping attempt fails.
  if (year < FIRST_YEAR || year > LAST_YEAR) return DATE_INVALID;
  for (int32_t day = tm.tm_mday;; --day) {
    DateSeconds r = date_make(static_cast<int32_t>(year), static_cast<int32_t>(month0) + 1, day,
                              tm.tm_hour, tm.tm_min, tm.tm_sec);
    if (r != DATE_INVALID) return r;
    if (day - 1 <= 27) return DATE_INVALID;
  }
}

// Writes value with at least width digits (leading zeros) at dest; returns
// the number of units written.
int64_t write_padded(int32_t value, int width, UChar* dest) {
  UChar digits[16];
  ustr_from_int(value, digits);
  int64_t n = ustr_length(digits);
  int64_t written = 0;
  for (; n + written < width; ++written) dest[written] = u'0';
  for (int64_t i = 0; i < n; ++i) dest[written++] = digits[i];
  return written;
}

struct FormatToken {
  const UChar* body;
  int64_t length;
};

constexpr FormatToken TOKENS[] = {
    {u"yyyy", 4}, {u"yy", 2}, {u"mm", 2}, {u"dd", 2}, {u"hh", 2}, {u"ii", 2}, {u"ss", 2},
};

// Units of token t for the given fields at dest.
int64_t write_token(size_t t, const DateFields& f, UChar* dest) {
  switch (t) {
    case 0:
      return write_padded(f.year, 4, dest);
    case 1:
      return write_padded(f.year % 100, 2, dest);
    case 2:
      return write_padded(f.month, 2, dest);
    case 3:
      return write_padded(f.day, 2, dest);
    case 4:
      return write_padded(f.hour, 2, dest);
    case 5:
      return write_padded(f.minute, 2, dest);
    default:
      return write_padded(f.second, 2, dest);
  }
}

}  // namespace

DateSeconds date_make(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second) {
  if (year == LAST_YEAR) {
    if (month > 1 || day > 19) return DATE_INVALID;
    if (day == 19 &&
        (hour > 3 || (hour == 3 && (minute > 14 || (minute == 14 && second > 7))))) {
      return DATE_INVALID;
    }
  } else if (year < FIRST_YEAR || year > LAST_YEAR - 1) {
    return DATE_INVALID;
  }
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return DATE_INVALID;
  if (month == 2 && (day > 29 || (day == 29 && !is_leap_year(year)))) return DATE_INVALID;
  if (static_cast<uint32_t>(second) > 59 || static_cast<uint32_t>(minute) > 59 ||
      static_cast<uint32_t>(hour) > 23 || static_cast<uint32_t>(day) - 1u > 30u ||
      static_cast<uint32_t>(month) - 1u > 11u) {
    return DATE_INVALID;
  }
  struct tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<DateSeconds>(static_cast<int32_t>(timegm(&tm)));
}

DateSeconds date_now() {
  time_t now = time(nullptr);
  struct tm tm {};
  if (localtime_r(&now, &tm) == nullptr) return DATE_INVALID;
  return date_make(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

DateSeconds date_add(DateSeconds date, int32_t unit, int32_t amount) {
  if (date == DATE_INVALID) return DATE_INVALID;
  if (static_cast<uint32_t>(unit) > DATE_UNIT_SECOND) return date;
  // Every product is formed in 64 bits: |amount| * 604800 stays far below 2^63.
  if (unit == DATE_UNIT_YEAR) return add_months(date, static_cast<int64_t>(amount) * 12);
  if (unit == DATE_UNIT_MONTH) return add_months(date, amount);
  DateSeconds result;
  if (__builtin_add_overflow(date, static_cast<int64_t>(amount) * UNIT_SECONDS[unit], &result)) {
    return DATE_INVALID;
  }
  return result;
}

int32_t date_year(DateSeconds date) { return fields_of(date).year; }
int32_t date_month(DateSeconds date) { return fields_of(date).month; }
int32_t date_day(DateSeconds date) { return fields_of(date).day; }
int32_t date_hour(DateSeconds date) { return fields_of(date).hour; }
int32_t date_minute(DateSeconds date) { return fields_of(date).minute; }
int32_t date_second(DateSeconds date) { return fields_of(date).second; }

void date_format(UString mask, DateSeconds date, int64_t position) {
  DateFields fields = fields_of(date);
  if (fields.year < FORMAT_FIRST_YEAR || fields.year > FORMAT_LAST_YEAR) fields = DateFields{};

  // The formatter reads its own copy of the mask: a mask on the stack would
  // move (or be overwritten) while the result grows. Short masks are copied
  // into a local buffer so that formatting costs no heap allocation.
  int64_t mask_length = ustr_length(mask);
  UChar inline_copy[MASK_INLINE_UNITS + 1];
  UChar* copy = inline_copy;
  if (mask_length > MASK_INLINE_UNITS) {
    copy = static_cast<UChar*>(std::malloc(static_cast<size_t>(mask_length + 1) * 2));
    if (copy == nullptr) std::abort();
  }
  if (mask_length > 0) std::memcpy(copy, mask, static_cast<size_t>(mask_length) * 2);
  copy[mask_length] = 0;

  int64_t start = position < 0 ? ustr_stack_top() : position;
  int64_t reserved = FORMAT_CHUNK;
  UChar* dest = ustr_stack_reserve(reserved, start);
  int64_t written = 0;
  for (int64_t i = 0; i < mask_length;) {
    if (written + FORMAT_STEP_MAX > reserved - 5) {
      reserved += FORMAT_CHUNK;
      dest = ustr_stack_reserve(reserved, start);
    }
    if (copy[i] != u'%') {
      dest[written++] = copy[i++];
      continue;
    }
    // Token bodies are lower-case ASCII, so only those whose first unit equals
    // the lowered unit after "%" can match; lowering that unit once saves the
    // comparisons a locale lookup per unit.
    UChar next = copy[i + 1];
    auto lowered = static_cast<uint32_t>(
        next >= u'a' && next <= u'z' ? next : std::towlower(static_cast<wint_t>(static_cast<int16_t>(next))));
    size_t t = 0;
    while (t < std::size(TOKENS) &&
           (TOKENS[t].body[0] != lowered ||
            ustr_compare_nocase_n(copy + i + 1, TOKENS[t].body, TOKENS[t].length) != 0)) {
      ++t;
    }
    if (t == std::size(TOKENS)) {
      dest[written++] = copy[i++];
      continue;
    }
    written += write_token(t, fields, dest + written);
    i += 1 + TOKENS[t].length;
  }
  dest[written] = 0;
  ustr_stack_release(reserved - written);
  if (copy != inline_copy) std::free(copy);
}

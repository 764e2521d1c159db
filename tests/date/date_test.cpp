// SPDX-License-Identifier: MIT
// The date library against an independent calendar (<chrono>): every day of the period, random day, month
// and year counts; then the edges no calendar walk reaches and the formatter's tokens.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>

#include "runtime/date/date.h"

namespace {

using namespace std::chrono;
using U = std::u16string;

constexpr int64_t DAY = 86400;
constexpr int64_t LAST_DAY = 24855;       // 2038-01-19
constexpr DateSeconds LAST = 2147483647;  // 2038-01-19 03:14:07

// The formatter's result at the top of the stack (the fuzz replay checks where it ends).
U format(UString mask, DateSeconds d) {
  const int64_t mark = ustr_stack_top();
  date_format(mask, d, mark);
  const U r(ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  return r;
}
U ymd(DateSeconds d) { return format(u"%yyyy/%mm/%dd", d); }

// What ymd should give for day number n (days since 1970-01-01): 0000/00/00 outside the years 1 .. 9999.
U expected_text(int64_t n) {
  if (n < sys_days(year{1} / 1 / 1).time_since_epoch().count() ||
      n >= sys_days(year{10000} / 1 / 1).time_since_epoch().count())
    return u"0000/00/00";
  const year_month_day date{sys_days(days(n))};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d/%02u/%02u", int(date.year()), unsigned(date.month()), unsigned(date.day()));
  return U(buf, buf + 10);
}

struct DateTest : ::testing::Test {
  void SetUp() override { ustr_stack_startup(); }
};

TEST_F(DateTest, EveryDayOfThePeriodMatchesTheCalendar) {
  for (int64_t n = 0; n <= LAST_DAY; ++n) {
    const year_month_day date{sys_days(days(n))};
    const int32_t y = int(date.year()), m = int32_t(unsigned(date.month())), d = int32_t(unsigned(date.day()));
    const DateSeconds midnight = date_make(y, m, d, 0, 0, 0);
    ASSERT_EQ(midnight, n * DAY) << y << "-" << m << "-" << d;
    ASSERT_EQ(std::tuple(date_year(midnight), date_month(midnight), date_day(midnight)), std::tuple(y, m, d));
    ASSERT_EQ(ymd(midnight), expected_text(n));
    if (date.day() == year_month_day_last{date.year(), month_day_last{date.month()}}.day()) {
      ASSERT_EQ(date_make(y, m, d + 1, 0, 0, 0), DATE_INVALID) << "the day after the month's last";
    }
    if (n < LAST_DAY) {
      const DateSeconds late = date_make(y, m, d, 23, 59, 59);
      ASSERT_EQ(late, n * DAY + DAY - 1);
      ASSERT_EQ(std::tuple(date_hour(late), date_minute(late), date_second(late)), std::tuple(23, 59, 59));
    }
  }
}

// Day counts form their product in 64 bits and format past 2038; month and year steps
// clamp to the month's last day, keep the time of day and fail outside the period.
TEST_F(DateTest, RandomCountsMatchTheCalendar) {
  std::mt19937_64 rng(19700101);
  std::uniform_int_distribution<int64_t> start_day(0, LAST_DAY - 1), second_of_day(0, DAY - 1);
  std::uniform_int_distribution<int32_t> near(-60000, 60000), any(INT32_MIN, INT32_MAX), month_count(-900, 900);
  for (int i = 0; i < 20000; ++i) {
    const int64_t s = start_day(rng), t = second_of_day(rng);
    const DateSeconds start = s * DAY + t;
    const int32_t count = i % 8 == 0 ? any(rng) : near(rng);
    ASSERT_EQ(date_add(start, DATE_UNIT_DAY, count), start + count * DAY) << s << " + " << count;
    ASSERT_EQ(ymd(start + count * DAY), expected_text(s + count)) << s << " + " << count;
    const bool in_years = i % 4 == 0;
    const int32_t amount = in_years ? month_count(rng) / 12 : month_count(rng);
    year_month_day to = year_month_day{sys_days(days(s))} + months(in_years ? amount * 12 : amount);
    if (!to.ok()) to = year_month_day_last{to.year(), month_day_last{to.month()}};
    const int64_t target = sys_days(to).time_since_epoch().count() * DAY + t;
    const DateSeconds expected = to.year() >= year{1970} && target <= LAST ? target : DATE_INVALID;
    ASSERT_EQ(date_add(start, in_years ? DATE_UNIT_YEAR : DATE_UNIT_MONTH, amount), expected)
        << start << " + " << amount << (in_years ? " years" : " months");
  }
}

TEST_F(DateTest, EdgesNoCalendarWalkReaches) {
  const int32_t N = INT32_MIN;
  // Fields out of range, also in 2038 where negative fields pass the period test.
  for (const auto& f : std::initializer_list<std::array<int32_t, 6>>{
           {2038, 1, 19, 3, 14, 8}, {2038, 1, 19, 3, 15, 0}, {2038, 1, 19, 4, 0, 0}, {2038, 2, 1, 0, 0, 0},
           {2038, 0, 5, 0, 0, 0}, {2038, 1, 19, -1, 0, 0}, {N, N, N, N, N, N}, {2024, 13, 1, 0, 0, 0},
           {2024, 1, 0, 0, 0, 0}, {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60}})
    EXPECT_EQ(date_make(f[0], f[1], f[2], f[3], f[4], f[5]), DATE_INVALID) << f[0] << "-" << f[1] << "-" << f[2];
  EXPECT_EQ(date_make(2038, 1, 19, 3, 14, 7), LAST);
  const DateSeconds d = 1709640000;  // 2024-03-05 12:00:00
  for (const auto& [date, unit, amount, expected] :
       std::initializer_list<std::tuple<DateSeconds, int32_t, int32_t, DateSeconds>>{
           {d, DATE_UNIT_WEEK, N, d + int64_t{N} * 604800}, {d, DATE_UNIT_HOUR, -7, d - 7 * 3600},
           {d, DATE_UNIT_MINUTE, 7, d + 420}, {d, DATE_UNIT_SECOND, -1, d - 1}, {d, 7, 1, d}, {d, -1, 1, d},
           {DATE_INVALID, DATE_UNIT_DAY, 1, DATE_INVALID}, {DATE_INVALID, DATE_UNIT_MONTH, 1, DATE_INVALID},
           {INT64_MAX - 10, DATE_UNIT_SECOND, 11, DATE_INVALID}, {INT64_MIN + 5, DATE_UNIT_DAY, -1, DATE_INVALID},
           {d, DATE_UNIT_YEAR, INT32_MAX, DATE_INVALID}, {d, DATE_UNIT_YEAR, N, DATE_INVALID},
           {d, DATE_UNIT_MONTH, N, DATE_INVALID}, {LAST, DATE_UNIT_YEAR, 0, LAST},
           {-DAY, DATE_UNIT_MONTH, 1, 30 * DAY}})  // a date before 1970 can come back
    EXPECT_EQ(date_add(date, unit, amount), expected) << date << " unit " << unit << " + " << amount;
  // The first and last days the formatter shows; gmtime cannot break down the extremes.
  for (const auto& [value, text] : std::initializer_list<std::pair<DateSeconds, U>>{
           {-62135596800, u"0001/01/01"}, {-62135596801, u"0000/00/00"}, {253402300799, u"9999/12/31"},
           {253402300800, u"0000/00/00"}, {INT64_MAX, u"0000/00/00"}, {INT64_MIN, u"0000/00/00"},
           {67768036191676799, u"0000/00/00"}})  // gmtime's last second: a year beyond 32 bits
    EXPECT_EQ(ymd(value), text) << value;
  EXPECT_EQ(std::tuple(date_year(67768036191676799), date_day(INT64_MAX), date_month(DATE_INVALID)),
            std::tuple(0, 0, 0));
}

TEST_F(DateTest, FormatTokensAndALongMaskOnTheStack) {
  const DateSeconds d = date_make(2005, 3, 7, 8, 9, 4);
  for (const auto& [mask, text] : std::initializer_list<std::pair<UString, U>>{
           {u"%yyyy|%yy|%mm|%dd|%hh|%ii|%ss", u"2005|05|03|07|08|09|04"},
           {u"%YYYY-%Mm-%DD %HH:%II:%SS", u"2005-03-07 08:09:04"}, {u"%yyy", u"05y"}, {u"%x %% 100%", u"%x %% 100%"},
           {u"date: \u65e5 %dd.", u"date: \u65e5 07."}, {nullptr, u""}})
    EXPECT_EQ(format(mask, d), text);
  EXPECT_EQ(format(u"%hh%ii%ss", DATE_INVALID), u"000000");
  // The result outgrows several reservations while its mask lies on the stack below it.
  U mask, expected;
  for (int i = 0; i < 3000; ++i) mask += u"%yyyy/", expected += u"2005/";
  const int64_t mark = ustr_stack_top();
  ustr_stack_push(mask.c_str());
  ustr_stack_close();
  EXPECT_EQ(format(ustr_stack_string(mark), d), expected);
}

}  // namespace

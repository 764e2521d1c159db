// The date library against an independent calendar: C++20 <chrono>.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>

#include "runtime/date/date.h"

namespace {

using namespace std::chrono;

constexpr int64_t SECONDS_PER_DAY = 86400;
constexpr int64_t LAST_DAY = 24855;  // 2038-01-19

// "%yyyy/%mm/%dd" as the formatter should write day number n (days since
// 1970-01-01), or 0000/00/00 outside the years 1 .. 9999.
std::u16string expected_text(int64_t n) {
  static const int64_t first = sys_days(year{1} / January / 1).time_since_epoch().count();
  static const int64_t past_last = sys_days(year{10000} / January / 1).time_since_epoch().count();
  if (n < first || n >= past_last) return u"0000/00/00";
  year_month_day ymd{sys_days(days(n))};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d/%02u/%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return std::u16string(buf, buf + 10);
}

std::u16string formatted(DateSeconds d) {
  int64_t mark = ustr_stack_top();
  date_format(u"%yyyy/%mm/%dd", d, mark);
  std::u16string r(ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  return r;
}

class CalendarTest : public ::testing::Test {
 protected:
  void SetUp() override { ustr_stack_startup(); }
};

TEST_F(CalendarTest, EveryDayOfThePeriod) {
  for (int64_t n = 0; n <= LAST_DAY; ++n) {
    year_month_day ymd{sys_days(days(n))};
    auto y = static_cast<int32_t>(static_cast<int>(ymd.year()));
    auto m = static_cast<int32_t>(static_cast<unsigned>(ymd.month()));
    auto d = static_cast<int32_t>(static_cast<unsigned>(ymd.day()));
    DateSeconds date = date_make(y, m, d, 0, 0, 0);
    ASSERT_EQ(date, n * SECONDS_PER_DAY) << y << "-" << m << "-" << d;
    ASSERT_EQ(std::tuple(date_year(date), date_month(date), date_day(date)), std::tuple(y, m, d));
    ASSERT_EQ(formatted(date), expected_text(n));
    // The day after the last of its month does not exist.
    year_month_day_last last{ymd.year(), month_day_last{ymd.month()}};
    if (ymd.day() == last.day()) {
      ASSERT_EQ(date_make(y, m, d + 1, 0, 0, 0), DATE_INVALID);
    }
    // The last second of the day, where the period allows it.
    if (n < LAST_DAY) {
      DateSeconds late = date_make(y, m, d, 23, 59, 59);
      ASSERT_EQ(late, n * SECONDS_PER_DAY + 86399);
      ASSERT_EQ(std::tuple(date_hour(late), date_minute(late), date_second(late)), std::tuple(23, 59, 59));
    }
  }
}

TEST_F(CalendarTest, RandomDayCounts) {
  std::mt19937_64 rng(19700101);
  std::uniform_int_distribution<int64_t> start_day(0, LAST_DAY);
  std::uniform_int_distribution<int32_t> near(-60000, 60000);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  for (int i = 0; i < 20000; ++i) {
    int64_t s = start_day(rng);
    // Mostly counts that stay within a few centuries, some anywhere in 32 bits.
    int32_t count = i % 8 == 0 ? any(rng) : near(rng);
    DateSeconds start = s * SECONDS_PER_DAY;
    DateSeconds result = date_add(start, DATE_UNIT_DAY, count);
    ASSERT_EQ(result, (s + count) * SECONDS_PER_DAY) << s << " + " << count;
    ASSERT_EQ(formatted(result), expected_text(s + count)) << s << " + " << count;
  }
}

TEST_F(CalendarTest, RandomMonthCounts) {
  std::mt19937_64 rng(20380119);
  std::uniform_int_distribution<int64_t> start_day(0, LAST_DAY);
  std::uniform_int_distribution<int32_t> months_dist(-900, 900);
  const sys_seconds last_second = sys_days(year{2038} / January / 19) + hours(3) + minutes(14) + seconds(7);
  for (int i = 0; i < 5000; ++i) {
    int64_t s = start_day(rng);
    int32_t count = months_dist(rng);
    year_month_day from{sys_days(days(s))};
    year_month_day to = from + months(count);
    if (!to.ok()) to = year_month_day_last{to.year(), month_day_last{to.month()}};
    sys_days target{to};
    int64_t expected = DATE_INVALID;
    if (to.year() >= year{1970} && target <= last_second) expected = target.time_since_epoch().count() * SECONDS_PER_DAY;
    ASSERT_EQ(date_add(s * SECONDS_PER_DAY, DATE_UNIT_MONTH, count), expected) << s << " + " << count << " months";
  }
}

}  // namespace

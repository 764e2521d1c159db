// The date library: the supported period, month arithmetic, fixed units and
// the formatter's tokens.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "runtime/date/date.h"

namespace {

constexpr DateSeconds LAST = 2147483647;  // 2038-01-19 03:14:07

class DateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ustr_stack_startup();
    mark_ = ustr_stack_top();
  }
  void TearDown() override { EXPECT_EQ(ustr_stack_top(), mark_); }

  // Formats through a string variable, as the application does.
  static std::u16string format(UString mask, DateSeconds d) {
    UStringVar var = nullptr;
    const int64_t mark = ustr_stack_top();
    date_format(mask, d, mark);
    ustr_assign_from_stack(&var, mark);
    std::u16string r(var);
    ustr_free(var);
    return r;
  }
  static std::u16string ymd(DateSeconds d) { return format(u"%yyyy/%mm/%dd", d); }
  int64_t mark_ = 0;
};

// Month lengths and leap years are checked day by day against <chrono> in
// date_calendar_test; here the period's edges and the field ranges.
TEST_F(DateTest, MakeAcceptsExactlyTheSupportedPeriodAndFieldRanges) {
  const struct {
    int32_t f[6];
    DateSeconds expected;
  } cases[] = {
      {{1970, 1, 1, 0, 0, 0}, 0}, {{2038, 1, 19, 3, 14, 7}, LAST}, {{2038, 1, 19, 0, 0, 0}, 2147472000},
      {{2037, 12, 31, 23, 59, 59}, 2145916799}, {{1969, 12, 31, 23, 59, 59}, DATE_INVALID},
      {{2038, 1, 19, 3, 14, 8}, DATE_INVALID}, {{2038, 1, 19, 3, 15, 0}, DATE_INVALID},
      {{2038, 1, 19, 4, 0, 0}, DATE_INVALID}, {{2038, 1, 20, 0, 0, 0}, DATE_INVALID},
      {{2038, 2, 1, 0, 0, 0}, DATE_INVALID}, {{2039, 1, 1, 0, 0, 0}, DATE_INVALID},
      // Negative fields in 2038 pass the signed period test but fail the ranges.
      {{2038, 0, 5, 0, 0, 0}, DATE_INVALID}, {{2038, 1, 19, -1, 0, 0}, DATE_INVALID},
      {{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}, DATE_INVALID},
      {{2024, 0, 1, 0, 0, 0}, DATE_INVALID}, {{2024, 13, 1, 0, 0, 0}, DATE_INVALID},
      {{2024, -1, 1, 0, 0, 0}, DATE_INVALID}, {{2024, 1, 0, 0, 0, 0}, DATE_INVALID},
      {{2024, 1, 32, 0, 0, 0}, DATE_INVALID}, {{2024, 1, 1, 24, 0, 0}, DATE_INVALID},
      {{2024, 1, 1, 0, 60, 0}, DATE_INVALID}, {{2024, 1, 1, 0, 0, 60}, DATE_INVALID},
      {{2024, 1, 1, -1, 0, 0}, DATE_INVALID}, {{2024, 2, 30, 0, 0, 0}, DATE_INVALID},
      {{2023, 2, 29, 0, 0, 0}, DATE_INVALID}, {{2024, 4, 31, 0, 0, 0}, DATE_INVALID},
  };
  for (const auto& [f, expected] : cases) {
    EXPECT_EQ(date_make(f[0], f[1], f[2], f[3], f[4], f[5]), expected)
        << f[0] << "-" << f[1] << "-" << f[2] << " " << f[3] << ":" << f[4] << ":" << f[5];
  }
}

TEST_F(DateTest, MonthArithmeticClampsToTheMonthsLastDayWithinThePeriod) {
  struct Case {
    int32_t y, m, d, unit, amount;
    const char16_t* expected;
  };
  const Case cases[] = {
      {2024, 1, 31, DATE_UNIT_MONTH, 1, u"2024/02/29"},   {2023, 1, 31, DATE_UNIT_MONTH, 1, u"2023/02/28"},
      {2024, 3, 31, DATE_UNIT_MONTH, -1, u"2024/02/29"},  {2024, 12, 15, DATE_UNIT_MONTH, 1, u"2025/01/15"},
      {2024, 1, 15, DATE_UNIT_MONTH, -1, u"2023/12/15"},  {2024, 2, 29, DATE_UNIT_YEAR, 1, u"2025/02/28"},
      {2024, 5, 31, DATE_UNIT_MONTH, 1, u"2024/06/30"},   {2024, 1, 31, DATE_UNIT_MONTH, 25, u"2026/02/28"},
      {2024, 1, 31, DATE_UNIT_MONTH, -23, u"2022/02/28"}, {2000, 2, 29, DATE_UNIT_YEAR, 4, u"2004/02/29"},
      {1970, 1, 1, DATE_UNIT_YEAR, 68, u"2038/01/01"},    {2037, 12, 19, DATE_UNIT_MONTH, 1, u"2038/01/19"},
      // Leaving the period, or amounts whose month count exceeds 32 bits, are invalid.
      {2038, 1, 10, DATE_UNIT_MONTH, 1, u"0000/00/00"},   {1970, 1, 5, DATE_UNIT_MONTH, -1, u"0000/00/00"},
      {2024, 1, 31, DATE_UNIT_YEAR, INT32_MAX, u"0000/00/00"},
      {2024, 1, 31, DATE_UNIT_YEAR, INT32_MIN, u"0000/00/00"},
      {2024, 1, 31, DATE_UNIT_MONTH, INT32_MIN, u"0000/00/00"},
  };
  for (const Case& c : cases) {
    const DateSeconds r = date_add(date_make(c.y, c.m, c.d, 0, 0, 0), c.unit, c.amount);
    EXPECT_EQ(ymd(r), c.expected) << c.y << "-" << c.m << "-" << c.d << " + " << c.amount;
    if (c.expected[0] == u'0') {
      EXPECT_EQ(r, DATE_INVALID);
    }
  }
  EXPECT_EQ(format(u"%hh:%ii:%ss", date_add(date_make(2024, 1, 31, 13, 45, 10), DATE_UNIT_MONTH, 1)), u"13:45:10");
  EXPECT_EQ(date_add(LAST, DATE_UNIT_YEAR, 0), LAST);
  // The month step breaks down any value: a date before 1970 can come back.
  EXPECT_EQ(ymd(date_add(-86400, DATE_UNIT_MONTH, 1)), u"1970/01/31");
}

// Mended: every product is formed in sixty-four bits, and the formatter reads the full
// 64-bit value, so results past 2038-01-19 show their true date.
TEST_F(DateTest, FixedUnitsFormProductsInSixtyFourBits) {
  const DateSeconds d = date_make(2024, 3, 5, 12, 0, 0);
  EXPECT_EQ(date_add(d, DATE_UNIT_WEEK, 2), d + 2 * 604800);
  EXPECT_EQ(date_add(d, DATE_UNIT_MINUTE, -7), d - 7 * 60);
  EXPECT_EQ(date_add(DATE_INVALID, DATE_UNIT_DAY, 1), DATE_INVALID);
  EXPECT_EQ(date_add(DATE_INVALID, DATE_UNIT_MONTH, 1), DATE_INVALID);
  EXPECT_EQ(date_add(d, 7, 1), d);  // an unknown unit changes nothing
  EXPECT_EQ(date_add(0, DATE_UNIT_DAY, -1), -86400);
  for (int32_t days : {24855, 24856, INT32_MAX, INT32_MIN})
    EXPECT_EQ(date_add(d, DATE_UNIT_DAY, days), d + int64_t{days} * 86400) << days;
  EXPECT_EQ(date_add(d, DATE_UNIT_WEEK, INT32_MIN), d + int64_t{INT32_MIN} * 604800);
  // A sum beyond the 64-bit range is refused rather than wrapped.
  EXPECT_EQ(date_add(INT64_MAX - 10, DATE_UNIT_SECOND, 11), DATE_INVALID);
  EXPECT_EQ(date_add(INT64_MIN + 5, DATE_UNIT_DAY, -1), DATE_INVALID);
}

TEST_F(DateTest, FormatReadsTheFullSixtyFourBitValue) {
  const DateSeconds next = date_add(date_make(2038, 1, 19, 0, 0, 0), DATE_UNIT_DAY, 1);
  EXPECT_EQ(next, 2147558400);
  EXPECT_EQ(date_year(next), 2038);
  const std::pair<DateSeconds, std::u16string> cases[] = {
      {next, u"2038/01/20"}, {-86400, u"1969/12/31"}, {DATE_INVALID, u"0000/00/00"},
      {-62135596800, u"0001/01/01"}, {-62135596801, u"0000/00/00"},  // first day of year 1, year 0
      {253402300799, u"9999/12/31"}, {253402300800, u"0000/00/00"},  // last second of 9999, year 10000
      {INT64_MAX, u"0000/00/00"}, {INT64_MIN, u"0000/00/00"},        // gmtime cannot break them down
      {67768036191676799, u"0000/00/00"},  // gmtime's last second: year 2147485547, beyond 32 bits
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(ymd(value), text) << value;
  EXPECT_EQ(date_day(INT64_MAX), 0);
  EXPECT_EQ(date_year(67768036191676799), 0);
  EXPECT_EQ(date_month(DATE_INVALID), 0);
}

TEST_F(DateTest, EveryFormatToken) {
  const DateSeconds d = date_make(2005, 3, 7, 8, 9, 4);
  const std::pair<const char16_t*, std::u16string> cases[] = {
      {u"%yyyy|%yy|%mm|%dd|%hh|%ii|%ss", u"2005|05|03|07|08|09|04"},
      {u"%YYYY-%Mm-%DD %HH:%II:%SS", u"2005-03-07 08:09:04"},
      {u"%yyy", u"05y"},  // "yyyy" is tried first
      {u"%x %% 100%", u"%x %% 100%"}, {u"%yyyy%", u"2005%"}, {u"date: \u65e5 %dd.", u"date: \u65e5 07."},
      {nullptr, u""}, {u"", u""},
  };
  for (const auto& [mask, text] : cases) EXPECT_EQ(format(mask, d), text);
  EXPECT_EQ(format(u"%hh:%ii:%ss", date_make(2024, 3, 5, 0, 0, 0)), u"00:00:00");
  EXPECT_EQ(format(u"%hh%ii%ss", DATE_INVALID), u"000000");
}

TEST_F(DateTest, LongMasksGrowTheResultAndMayLieOnTheStack) {
  std::u16string mask, expected;
  for (int i = 0; i < 3000; ++i) {
    mask += u"%yyyy/";
    expected += u"2024/";
  }
  EXPECT_EQ(format(mask.c_str(), date_make(2024, 1, 1, 0, 0, 0)), expected);
  ustr_stack_push((std::u16string(5000, u'.') + u"%dd").c_str());
  ustr_stack_close();
  const int64_t at = ustr_stack_top();
  date_format(ustr_stack_string(mark_), date_make(2024, 3, 5, 0, 0, 0), at);
  const std::u16string r(ustr_stack_string(at));
  EXPECT_EQ(r, std::u16string(5000, u'.') + u"05");
  EXPECT_EQ(ustr_stack_top(), at + 2 * static_cast<int64_t>(r.size()));
  ustr_stack_set_top(mark_);
}

}  // namespace

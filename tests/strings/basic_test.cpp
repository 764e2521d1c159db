// Elementary routines and heap blocks with a size word.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "runtime/strings/ustring.h"

namespace {

std::u16string from_int(int32_t v) {
  UChar buf[16];
  ustr_from_int(v, buf);
  return buf;
}

TEST(ElementaryTest, FromIntWritesMinimalDecimal) {
  EXPECT_EQ(from_int(0), u"0");
  EXPECT_EQ(from_int(-7), u"-7");
  EXPECT_EQ(from_int(2024), u"2024");
  EXPECT_EQ(from_int(INT32_MAX), u"2147483647");
  EXPECT_EQ(from_int(INT32_MIN), u"-2147483648");
}

TEST(ElementaryTest, LengthAndCopy) {
  EXPECT_EQ(ustr_length(u""), 0);
  EXPECT_EQ(ustr_length(u"a\u20ac\U0001F600"), 4);  // units, not characters
  UChar buf[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
  EXPECT_EQ(ustr_copy(buf, u"abc"), buf);
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(buf[4], u'#');
  ustr_copy(buf, nullptr);
  EXPECT_EQ(buf[0], 0);
}

TEST(ElementaryTest, CompareNocaseN) {
  EXPECT_EQ(ustr_compare_nocase_n(u"YYYY", u"yyyy", 4), 0);
  EXPECT_EQ(ustr_compare_nocase_n(u"yyyy", u"yy", 2), 0);
  EXPECT_NE(ustr_compare_nocase_n(u"yy", u"yyyy", 4), 0);
  EXPECT_EQ(ustr_compare_nocase_n(u"ab", u"ab", 10), 0);  // shared terminator
  EXPECT_EQ(ustr_compare_nocase_n(u"abc", u"xyz", 0), 0);
  EXPECT_LT(ustr_compare_nocase_n(u"a", u"B", 1), 0);
  EXPECT_GT(ustr_compare_nocase_n(u"c", u"B", 1), 0);
  EXPECT_EQ(ustr_compare_nocase_n(nullptr, u"", 3), 0);
  // Units from 0x8000 up are read as signed: they sort below ASCII.
  const UChar high[] = {0xFF21, 0};
  EXPECT_LT(ustr_compare_nocase_n(high, u"a", 1), 0);
  EXPECT_EQ(ustr_compare_nocase_n(high, high, 1), 0);
}

TEST(HeapBlockTest, AllocZeroesAndResizeZeroesTheGrowth) {
  auto* p = static_cast<unsigned char*>(mem_alloc(24));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(p[i], 0);
  std::memset(p, 0xAB, 24);
  p = static_cast<unsigned char*>(mem_resize(p, 100000));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[23], 0xAB);
  for (int i = 24; i < 100000; ++i) ASSERT_EQ(p[i], 0) << i;
  p = static_cast<unsigned char*>(mem_resize(p, 4));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[3], 0xAB);
  p = static_cast<unsigned char*>(mem_resize(p, 8));  // regrowth zeroes again
  EXPECT_EQ(p[4], 0);
  EXPECT_EQ(mem_resize(p, SIZE_MAX - 4), nullptr);   // failure keeps the block
  EXPECT_EQ(p[3], 0xAB);
  mem_free(p);
  EXPECT_EQ(mem_alloc(SIZE_MAX - 4), nullptr);
}

}  // namespace

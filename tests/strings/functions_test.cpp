// Elementary routines, heap blocks with a size word, the number parser and the substring
// function.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

namespace {

std::string narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(ElementaryTest, FromIntLengthAndCopy) {
  for (auto [v, text] : {std::pair<int32_t, std::u16string>{0, u"0"}, {-7, u"-7"}, {2024, u"2024"},
                         {INT32_MAX, u"2147483647"}, {INT32_MIN, u"-2147483648"}}) {
    UChar buf[16];
    ustr_from_int(v, buf);
    EXPECT_EQ(std::u16string(buf), text);
  }
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
  const UChar high[] = {0xFF21, 0};
  struct Case {
    const UChar *a, *b;
    int32_t n;
    int sign;
  };
  for (const Case& c : {Case{u"YYYY", u"yyyy", 4, 0}, {u"yyyy", u"yy", 2, 0}, {u"yy", u"yyyy", 4, -1},
                        {u"ab", u"ab", 10, 0} /* shared terminator */, {u"abc", u"xyz", 0, 0}, {u"a", u"B", 1, -1},
                        {u"c", u"B", 1, 1}, {nullptr, u"", 3, 0},
                        // Units from 0x8000 up are read as signed: they sort below ASCII.
                        {high, u"a", 1, -1}, {high, high, 1, 0}}) {
    const int r = ustr_compare_nocase_n(c.a, c.b, c.n);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << (c.a ? narrow(c.a) : "null") << " " << narrow(c.b) << " " << c.n;
  }
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
  p = static_cast<unsigned char*>(mem_resize(p, 8));  // regrowth zeroes again
  EXPECT_EQ(p[3], 0xAB);
  EXPECT_EQ(p[4], 0);
  EXPECT_EQ(mem_resize(p, SIZE_MAX - 4), nullptr);  // failure keeps the block
  EXPECT_EQ(p[3], 0xAB);
  mem_free(p);
  EXPECT_EQ(mem_alloc(SIZE_MAX - 4), nullptr);
}

// Bases, signs and blanks; the value wraps in sixty-four bits.
TEST(ValTest, BasesSignsBlanksAndSixtyFourBitWrapAround) {
  const std::pair<std::u16string, int64_t> cases[] = {
      {u"10", 10}, {u"-10", -10}, {u"+10", 10}, {u"\t  42", 42}, {u"12abc", 12}, {u"1e3", 1}, {u"3.9", 3},
      {u"$1F", 31}, {u"$ff", 255}, {u"-$10", -16}, {u"%101", 5}, {u"%2", 0}, {u"--5", 0}, {u"- 5", 0},
      {u"", 0}, {u"$", 0}, {u"+", 0}, {u"$fG", 15}, {u"007", 7}, {u" \t-%11", -3},
      {u"\u0665", 0},  // only ASCII digits count
      {u"9223372036854775807", INT64_MAX}, {u"9223372036854775808", INT64_MIN},
      {u"-9223372036854775808", INT64_MIN}, {u"18446744073709551615", -1}, {u"18446744073709551616", 0},
      {u"18446744073709551627", 11}, {u"$FFFFFFFFFFFFFFFF", -1}, {u"$10000000000000001", 1},
      {u"-$8000000000000000", INT64_MIN}, {u"%" + std::u16string(70, u'1'), -1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ustr_val(text.c_str()), value) << narrow(text);
  EXPECT_EQ(ustr_val(nullptr), 0);
}

class MidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ustr_stack_startup();
    mark_ = ustr_stack_top();
  }
  void TearDown() override { ustr_stack_set_top(mark_); }
  int64_t mark_ = 0;
};

TEST_F(MidTest, CutsByStartAndLengthWithoutGrowingForHugeLengths) {
  struct Case {
    const UChar* s;
    int32_t start, length;
    std::u16string expected;
  };
  const UChar* d = u"2024/03/05";
  unsigned char* base = ustr_stack_base();
  for (const Case& c : {Case{d, 1, 4, u"2024"}, {d, 6, 2, u"03"}, {d, 9, 2, u"05"}, {d, 0, 3, u"202"},
                        {d, -5, 3, u"202"}, {d, 10, 5, u"5"}, {d, 11, 1, u""}, {d, 12, 1, u""}, {d, 1, -1, u""},
                        {d, 9, 100, u"05"}, {d, INT32_MAX, 3, u""}, {nullptr, 1, 4, u""},
                        {u"abc", 2, INT32_MAX, u"bc"}}) {
    ustr_mid(c.s, c.start, c.length, mark_);
    EXPECT_EQ(std::u16string(ustr_stack_string(mark_)), c.expected) << c.start << "," << c.length;
    EXPECT_EQ(ustr_stack_top(), mark_ + 2 * int64_t(c.expected.size()));
    ustr_stack_set_top(mark_);
  }
  EXPECT_EQ(ustr_stack_base(), base);
}

TEST_F(MidTest, ArgumentOnTheStackSurvivesAMovingReservation) {
  bool moved = false;
  // Larger texts until the reservation has moved the buffer at least once
  // (once the block is big enough to need its own mapping, it always moves).
  for (size_t n = 20000; n <= 2000000 && !moved; n *= 4) {
    ustr_stack_set_top(mark_);
    const std::u16string text = std::u16string(n, u'a') + u"tail";
    ustr_stack_push(text.c_str());
    ustr_stack_close();
    const int64_t at = ustr_stack_top();
    unsigned char* before = ustr_stack_base();
    ustr_mid(ustr_stack_string(mark_), 2, static_cast<int32_t>(n + 10), at);
    moved = ustr_stack_base() != before;
    EXPECT_EQ(std::u16string(ustr_stack_string(at)), text.substr(1));
  }
  EXPECT_TRUE(moved);
  // A result whose terminator is the top itself, cut at the top: the source is
  // measured before anything is written over its terminator.
  ustr_stack_set_top(mark_);
  ustr_stack_push(u"2024/03/05");
  const int64_t at = ustr_stack_top();
  ustr_mid(ustr_stack_string(mark_), 6, 2, at);
  EXPECT_EQ(std::u16string(ustr_stack_string(at)), u"03");
}

}  // namespace

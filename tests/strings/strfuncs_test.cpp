// The number parser and the substring function.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "runtime/strings/strfuncs.h"

namespace {

TEST(ValTest, BasesSignsAndBlanks) {
  struct Case {
    const char16_t* text;
    int64_t value;
  };
  const Case cases[] = {
      {u"10", 10},     {u"-10", -10},  {u"+10", 10},   {u"\t  42", 42}, {u"12abc", 12},
      {u"1e3", 1},     {u"3.9", 3},    {u"$1F", 31},   {u"$ff", 255},   {u"-$10", -16},
      {u"%101", 5},    {u"%2", 0},     {u"--5", 0},    {u"- 5", 0},     {u"", 0},
      {u"$", 0},       {u"+", 0},      {u"$fG", 15},   {u"007", 7},     {u" \t-%11", -3},
      {u"\u0665", 0},  // only ASCII digits count
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ustr_val(c.text), c.value) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
  }
  EXPECT_EQ(ustr_val(nullptr), 0);
}

TEST(ValTest, WrapsInSixtyFourBits) {
  EXPECT_EQ(ustr_val(u"9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ustr_val(u"9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ustr_val(u"-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ustr_val(u"18446744073709551615"), -1);
  EXPECT_EQ(ustr_val(u"18446744073709551616"), 0);
  EXPECT_EQ(ustr_val(u"18446744073709551627"), 11);
  EXPECT_EQ(ustr_val(u"$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(ustr_val(u"$10000000000000001"), 1);
  EXPECT_EQ(ustr_val(u"-$8000000000000000"), INT64_MIN);
  std::u16string ones = u"%" + std::u16string(70, u'1');
  EXPECT_EQ(ustr_val(ones.c_str()), -1);
}

class MidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ustr_stack_startup();
    mark_ = ustr_stack_top();
  }
  void TearDown() override { ustr_stack_set_top(mark_); }
  std::u16string mid(UString s, int32_t start, int32_t length) {
    int64_t at = ustr_stack_top();
    ustr_mid(s, start, length, at);
    std::u16string r(ustr_stack_string(at));
    EXPECT_EQ(ustr_stack_top(), at + 2 * static_cast<int64_t>(r.size()));
    ustr_stack_set_top(at);
    return r;
  }
  int64_t mark_ = 0;
};

TEST_F(MidTest, CutsByStartAndLength) {
  const char16_t* d = u"2024/03/05";
  EXPECT_EQ(mid(d, 1, 4), u"2024");
  EXPECT_EQ(mid(d, 6, 2), u"03");
  EXPECT_EQ(mid(d, 9, 2), u"05");
  EXPECT_EQ(mid(d, 0, 3), u"202");
  EXPECT_EQ(mid(d, -5, 3), u"202");
  EXPECT_EQ(mid(d, 10, 5), u"5");
  EXPECT_EQ(mid(d, 11, 1), u"");
  EXPECT_EQ(mid(d, 12, 1), u"");
  EXPECT_EQ(mid(d, 1, -1), u"");
  EXPECT_EQ(mid(d, 9, 100), u"05");
  EXPECT_EQ(mid(d, INT32_MAX, 3), u"");
  EXPECT_EQ(mid(nullptr, 1, 4), u"");
}

TEST_F(MidTest, HugeLengthDoesNotGrowTheStack) {
  unsigned char* base = ustr_stack_base();
  EXPECT_EQ(mid(u"abc", 2, INT32_MAX), u"bc");
  EXPECT_EQ(ustr_stack_base(), base);
}

TEST_F(MidTest, ArgumentOnTheStackSurvivesAMovingReservation) {
  bool moved = false;
  // Larger texts until the reservation has moved the buffer at least once
  // (once the block is big enough to need its own mapping, it always moves).
  for (size_t n = 20000; n <= 2000000 && !moved; n *= 4) {
    ustr_stack_set_top(mark_);
    std::u16string text(n, u'a');
    text += u"tail";
    ustr_stack_push(text.c_str());
    ustr_stack_close();
    int64_t at = ustr_stack_top();
    unsigned char* before = ustr_stack_base();
    ustr_mid(ustr_stack_string(mark_), 2, static_cast<int32_t>(n + 10), at);
    moved = ustr_stack_base() != before;
    std::u16string r(ustr_stack_string(at));
    ASSERT_EQ(r.size(), text.size() - 1);
    EXPECT_EQ(r.substr(r.size() - 4), u"tail");
  }
  EXPECT_TRUE(moved);
}

TEST_F(MidTest, UnclosedResultAsArgumentAtTheTop) {
  // A result whose terminator is the top itself, cut at the top: the source is
  // measured before anything is written over its terminator.
  ustr_stack_push(u"2024/03/05");
  int64_t at = ustr_stack_top();
  ustr_mid(ustr_stack_string(mark_), 6, 2, at);
  EXPECT_EQ(std::u16string(ustr_stack_string(at)), u"03");
}

}  // namespace

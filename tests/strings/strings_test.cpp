// SPDX-License-Identifier: MIT
// The temporary-string stack and variables, UTF-16 <-> UTF-8 with surrogates and malformed input, the number
// parser and substrings; tests/fuzz replays the corpora of ustr_mid, ustr_val and both conversions.
#include <glib.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

namespace {

using U = std::u16string;
U at(int64_t mark) { return U(ustr_stack_string(mark)); }

struct Strings : ::testing::Test {
  void SetUp() override {
    ustr_stack_startup();
    mark_ = ustr_stack_top();
  }
  void TearDown() override { ustr_stack_set_top(mark_); }
  int64_t mark_ = 0;
};

// Strings on the stack are named by offset: a push or a cut whose source lies on the stack
// itself must survive the buffer moving while the result grows.
TEST_F(Strings, StackMovesUnderValuesInUse) {
  mallopt(M_PERTURB, 0xA5);  // freed blocks are overwritten, so reading a moved-away string shows
  ustr_stack_push(u"-");
  ustr_stack_push(u"10");
  ustr_stack_push(nullptr);
  EXPECT_EQ(at(mark_), u"-10");
  EXPECT_EQ(ustr_stack_top(), mark_ + 6);  // on the terminator until closed
  ustr_stack_close();
  const int64_t source = ustr_stack_top();
  bool push_moved = false, mid_moved = false;
  for (size_t n = 9000; n <= 4000000 && !(push_moved && mid_moved); n *= 4) {
    ustr_stack_set_top(source);
    const U text = U(n, u'a') + u"tail";
    ustr_stack_push(text.c_str());
    ustr_stack_close();
    const int64_t copy = ustr_stack_top();
    unsigned char* before = ustr_stack_base();
    ustr_stack_push(ustr_stack_string(source));
    ustr_stack_close();
    push_moved |= ustr_stack_base() != before;
    const int64_t cut = ustr_stack_top();
    before = ustr_stack_base();
    ustr_mid(ustr_stack_string(source), 2, INT32_MAX, cut);
    mid_moved |= ustr_stack_base() != before;
    ASSERT_EQ(at(copy), text);
    ASSERT_EQ(at(cut), text.substr(1));
  }
  EXPECT_TRUE(push_moved && mid_moved);
  EXPECT_EQ(at(mark_), u"-10");
  // Every reservation and the terminator above it stay inside the block (sanitizer build).
  for (int64_t count = 0; count < 20000; count += 7) ustr_stack_reserve(count, mark_)[count] = 0;
  ustr_stack_release(int64_t{1} << 62);  // never below the bottom
  EXPECT_EQ(ustr_stack_top(), 0);
}

TEST_F(Strings, VariablesCopyFromThemselvesAndFromTheStack) {
  UStringVar var = nullptr;
  EXPECT_EQ(ustr_assign(&var, u"a fairly long text to shrink"), 58);
  ustr_assign(&var, var + 19);  // its own tail
  EXPECT_EQ(U(var), u"to shrink");
  EXPECT_EQ(ustr_assign(&var, nullptr), 2);
  EXPECT_EQ(var, nullptr);
  ustr_stack_push(u"2024");
  ustr_stack_push(u"/03");
  ustr_assign_from_stack(&var, mark_);
  EXPECT_EQ(U(var), u"2024/03");
  EXPECT_EQ(ustr_stack_top(), mark_);
  ustr_assign_from_stack(&var, mark_);  // an empty result is an empty, not a null, variable
  EXPECT_TRUE(var && !var[0]);
  ustr_free(var);
}

// Each thread has its own stack, freed when it ends; clean-ups run newest first, and one
// registered before the stack still gets a (fresh, freed again) stack for its strings.
TEST_F(Strings, ThreadsHaveTheirOwnStacks) {
  const int64_t live_before = ustr_stack_live_count();
  ustr_stack_push(u"main");
  static std::vector<int> order;
  static U seen, late;
  std::thread([] {
    thread_cleanup_add([](void*) {
      const int64_t mark = ustr_stack_top();
      ustr_stack_push(u"late");
      late = at(mark);
      order.push_back(0);
    }, nullptr);
    ustr_stack_enter();
    const int64_t mark = ustr_stack_top();
    ustr_stack_push(u"worker");
    ustr_stack_reserve(50000, -1);
    seen = at(mark);
    for (intptr_t i = 1; i <= 2; ++i)
      thread_cleanup_add([](void* arg) { order.push_back(int(reinterpret_cast<intptr_t>(arg))); },
                         reinterpret_cast<void*>(i));
  }).join();
  EXPECT_EQ(std::tuple(seen, late), std::tuple(u"worker", u"late"));
  EXPECT_EQ(order, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(ustr_stack_live_count(), live_before);
  EXPECT_EQ(at(mark_), u"main");
}

std::string to_utf8(const U& s) {
  std::unique_ptr<char, decltype(&g_free)> p(ustr_to_utf8(s.c_str()), g_free);
  return p.get();
}

// Decodes exactly these bytes from a block of their size (reads past them are caught by the
// sanitizer build), measuring first as callers do.
U decode_exact(const std::string& bytes) {
  const std::vector<char> block(bytes.begin(), bytes.end());
  const auto size = int32_t(bytes.size());
  U out(size_t(ustr_decode(CODEPAGE_UTF8, block.data(), size, nullptr, 0)), u'?');
  const int32_t n = int32_t(out.size());
  EXPECT_EQ(n ? ustr_decode(CODEPAGE_UTF8, block.data(), size, out.data(), n) : 0, n);
  return out;
}

TEST_F(Strings, Utf8RoundTripsSurrogatesAndMalformedInput) {
  const char16_t R = 0xFFFD, H = 0xD800, L = 0xDC00;
  // Both directions: every encoded length, pairs, and a lone low surrogate in 3-byte form.
  for (const auto& [units, utf8] : {std::pair<U, std::string>{u"", ""}, {u"a\u00e4\u07ff", "a\xc3\xa4\xdf\xbf"},
                                    {u"\u20ac\uffff", "\xe2\x82\xac\xef\xbf\xbf"},
                                    {u"\U0001F600\U0010FFFF", "\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"},
                                    {U(u"a") + L + u"b", "a\xed\xb0\x80" "b"}}) {
    EXPECT_EQ(to_utf8(units), utf8);
    const int64_t mark = ustr_stack_top();
    ustr_push_utf8(utf8.c_str(), mark);
    EXPECT_EQ(at(mark), units);
  }
  // An unpaired high surrogate ends the text.
  for (const U& s : {U(u"ab") + H + u"cd", U(u"ab") + H}) EXPECT_EQ(to_utf8(s), "ab");
  EXPECT_EQ(to_utf8(U(1, H) + u"\U0001F600"), "");
  // Encoding measures up to it, never writes past the destination nor half a character.
  char buf[8] = "#######";
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, (U(u"a") + H + u"x").c_str(), -1, nullptr, 0), 1);
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, (U(u"a") + H + u"x").c_str(), -1, buf, 8), 0);
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, u"a\u20ac", 2, buf, 2), 1);
  EXPECT_EQ(buf[1], '#');
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, u"\U0001F600", 2, buf, 3), 0);
  EXPECT_EQ(ustr_encode(1252, u"abc", -1, nullptr, 0), 0);
  UChar out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(ustr_decode(CODEPAGE_UTF8, "a\xf0\x9f\x98\x80", 5, out, 2), 1);  // no half pair
  EXPECT_EQ(out[1], u'#');
  EXPECT_EQ(ustr_decode(CODEPAGE_UTF8, "abc", -1, nullptr, 0), 4);  // through the NUL
  // Malformed bytes: a replacement per ill-formed part; above U+10FFFF decoding ends.
  for (const auto& [bytes, units] : std::initializer_list<std::pair<std::string, U>>{
           {"\x80", {R}}, {"a\xc3", {u'a', R}}, {"\xc3x", {R, u'x'}}, {"\xc0\xaf", {R, R}}, {"\xe0\x80\x80", {R, R, R}},
           {"\xf0\x80\x80\x80", {R, R, R, R}}, {"\xe2\x82x", {R, u'x'}}, {"\xf0\x9f\x98", {R}}, {"\xfe\xff", {R, R}},
           {"\xed\xa0\x80", {H}}, {"a\xf4\x90\x80\x80z", {u'a'}}, {"a\xf5\x80\x80\x80z", {u'a'}},
           {"a\xf4\x90z", {u'a', R, u'z'}}})
    EXPECT_EQ(decode_exact(bytes), units) << bytes.size() << " bytes";
}

TEST_F(Strings, ValParsesBasesSignsAndWrapsInSixtyFourBits) {
  for (const auto& [text, value] : std::initializer_list<std::pair<U, int64_t>>{
           {u"\t  42", 42}, {u"12abc", 12}, {u"3.9", 3}, {u"$1F", 31}, {u"$fG", 15}, {u"-$10", -16}, {u"%101", 5},
           {u" \t-%11", -3}, {u"%2", 0}, {u"--5", 0}, {u"- 5", 0}, {u"+10", 10}, {u"$", 0}, {u"\u0665", 0},
           {u"9223372036854775808", INT64_MIN}, {u"18446744073709551627", 11}, {u"$10000000000000001", 1},
           {u"%" + U(70, u'1'), -1}})
    EXPECT_EQ(ustr_val(text.c_str()), value) << std::string(text.begin(), text.end());
}

// The fuzz replay checks cuts against their definition; here what it cannot see.
TEST_F(Strings, MidReservesOnlyWhatItCopiesAndReadsBeforeWriting) {
  unsigned char* base = ustr_stack_base();
  ustr_mid(u"2024/03/05", 9, INT32_MAX, mark_);
  EXPECT_EQ(at(mark_), u"05");
  EXPECT_EQ(ustr_stack_base(), base) << "a huge length reserves only what is copied";
  // The result's first unit overwrites the source's terminator: measured before writing.
  ustr_stack_set_top(mark_);
  ustr_stack_push(u"2024/03/05");
  ustr_mid(ustr_stack_string(mark_), 6, 2, ustr_stack_top());
  EXPECT_EQ(at(mark_ + 20), u"03");
}

// Blocks come zeroed, growth zeroes what it adds, and a failed resize keeps the block.
TEST_F(Strings, HeapBlocksZeroWhatTheyAdd) {
  auto* p = static_cast<unsigned char*>(mem_resize(mem_alloc(4), 100000));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(p[i], 0) << i;
  p[3] = 0xAB;
  EXPECT_EQ(mem_resize(p, SIZE_MAX - 4), nullptr);
  EXPECT_EQ(p[3], 0xAB);
  mem_free(p);
  EXPECT_EQ(mem_alloc(SIZE_MAX - 4), nullptr);
}

}  // namespace

// UTF-16 <-> UTF-8 conversion, including unpaired surrogates and malformed input.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "runtime/strings/ustring.h"

namespace {

struct GFree {
  void operator()(char* p) const { g_free(p); }
};
struct Free {
  void operator()(char* p) const { std::free(p); }
};

std::string to_utf8(UString s) { return std::unique_ptr<char, GFree>(ustr_to_utf8(s)).get(); }

// Decodes text through the stack and returns the units found at the mark.
std::u16string from_utf8(const char* text) {
  int64_t mark = ustr_stack_top();
  ustr_push_utf8(text, mark);
  std::u16string result(ustr_stack_string(mark));
  EXPECT_EQ(ustr_stack_top(), mark + 2 * static_cast<int64_t>(result.size()));
  ustr_stack_set_top(mark);
  return result;
}

// Decodes exactly these bytes from a heap block of their size, so that any
// read past the input is caught by the sanitizer build.
std::u16string decode_exact(const std::string& bytes) {
  auto size = static_cast<int32_t>(bytes.size());
  std::unique_ptr<char[]> block(new char[bytes.size() + 1]);
  std::memcpy(block.get(), bytes.data(), bytes.size());
  int32_t measured = ustr_decode(CODEPAGE_UTF8, block.get(), size, nullptr, 0);
  std::u16string out(static_cast<size_t>(measured), u'?');
  int32_t written = measured == 0 ? 0 : ustr_decode(CODEPAGE_UTF8, block.get(), size, out.data(), measured);
  EXPECT_EQ(written, measured);
  return out;
}

class Utf8Test : public ::testing::Test {
 protected:
  void SetUp() override { ustr_stack_startup(); }
};

TEST_F(Utf8Test, RoundTripsEveryEncodedLength) {
  struct Case {
    std::u16string units;
    std::string utf8;
  };
  const Case cases[] = {
      {u"", ""},
      {u"abc", "abc"},
      {u"\u00e4\u07ff", "\xc3\xa4\xdf\xbf"},
      {u"\u20ac\uffff", "\xe2\x82\xac\xef\xbf\xbf"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
      {u"\U0010FFFF", "\xf4\x8f\xbf\xbf"},
      {u"a\u00e4\u20ac\U0001F600z", "a\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80z"},
      // A lone low surrogate is written in the 3-byte form and reads back.
      {std::u16string(u"a") + char16_t(0xDC00) + u"b", "a\xed\xb0\x80" "b"},
  };
  EXPECT_EQ(to_utf8(nullptr), "");
  EXPECT_EQ(from_utf8(nullptr), u"");
  for (const Case& c : cases) {
    EXPECT_EQ(to_utf8(c.units.c_str()), c.utf8);
    EXPECT_EQ(std::string(std::unique_ptr<char, Free>(ustr_to_utf8_malloc(c.units.c_str())).get()), c.utf8);
    EXPECT_EQ(from_utf8(c.utf8.c_str()), c.units);
  }
}

TEST_F(Utf8Test, UnpairedHighSurrogateCutsTheText) {
  const char16_t high = 0xD800;
  EXPECT_EQ(to_utf8((std::u16string(u"ab") + high + u"cd").c_str()), "ab");
  EXPECT_EQ(to_utf8((std::u16string(u"ab") + high).c_str()), "ab");
  EXPECT_EQ(to_utf8((std::u16string(1, high) + u"x").c_str()), "");
  // Measuring stops at it; writing past it fails as a whole.
  std::u16string s = std::u16string(u"a") + high + u"x";
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, s.c_str(), -1, nullptr, 0), 1);
  char buf[16];
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, s.c_str(), -1, buf, sizeof buf), 0);
}

TEST_F(Utf8Test, EncodeNeverWritesPastTheDestination) {
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  // "€" needs three bytes: with room for two nothing of it is written.
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, u"a\u20ac", 2, buf, 2), 1);
  EXPECT_EQ(buf[1], '#');
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, u"\U0001F600", 2, buf, 3), 0);
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, u"abc", 3, buf, 2), 2);
  EXPECT_EQ(ustr_encode(CODEPAGE_UTF8, u"abc", -1, buf, 0), 0);
  EXPECT_EQ(ustr_encode(1252, u"abc", -1, nullptr, 0), 0);
}

TEST_F(Utf8Test, DecodeStopsWhenDestinationFullWithoutHalfPairs) {
  UChar out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(ustr_decode(CODEPAGE_UTF8, "a\xf0\x9f\x98\x80", 5, out, 2), 1);
  EXPECT_EQ(out[1], u'#');
  EXPECT_EQ(ustr_decode(CODEPAGE_UTF8, "abc", -1, nullptr, 0), 4);  // through the NUL
  EXPECT_EQ(ustr_decode(CODEPAGE_UTF8, nullptr, -1, nullptr, 0), 0);
}

TEST_F(Utf8Test, MalformedInputBecomesReplacementCharacters) {
  const char16_t R = 0xFFFD;
  struct Case {
    std::string bytes;
    std::u16string units;
  };
  const Case cases[] = {
      {"\x80", {R}},                                  // stray continuation
      {"a\xc3", {u'a', R}},                           // truncated at the end
      {"\xc3x", {R, u'x'}},                           // truncated before ASCII
      {"\xc0\xaf", {R, R}},                           // overlong 2-byte
      {"\xe0\x80\x80", {R, R, R}},                    // overlong 3-byte
      {"\xf0\x80\x80\x80", {R, R, R, R}},             // overlong 4-byte
      {"\xe2\x82x", {R, u'x'}},                       // one ill-formed part
      {"\xf0\x9f\x98", {R}},                          // truncated 4-byte
      {"\xfe\xff", {R, R}},                           // bytes that start nothing
      {"\xed\xa0\x80", {char16_t(0xD800)}},           // encoded surrogate
      {"a\xf4\x90\x80\x80z", {u'a'}},                 // above U+10FFFF ends decoding
      {"a\xf5\x80\x80\x80z", {u'a'}},
      {"a\xf4\x90z", {u'a', R, u'z'}},                // truncated, not complete
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decode_exact(c.bytes), c.units) << "input of " << c.bytes.size() << " bytes";
  }
}

TEST_F(Utf8Test, RandomBytesDecodeWithinBoundsAndReencodeAsValidUtf8) {
  std::mt19937 rng(20240229);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> len(0, 24);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(static_cast<size_t>(len(rng)), '\0');
    for (char& b : bytes) b = static_cast<char>(byte(rng) | (round % 3 == 0 ? 0x80 : 0));
    std::u16string units = decode_exact(bytes);
    // Whatever came in, what goes back out is text GLib accepts, apart from
    // surrogates, which are passed through as units.
    std::string out = to_utf8(units.c_str());
    bool has_surrogate = false;
    for (char16_t u : units) has_surrogate |= (u >= 0xD800 && u <= 0xDFFF);
    if (!has_surrogate && out.find('\0') == std::string::npos) {
      EXPECT_TRUE(g_utf8_validate(out.data(), static_cast<gssize>(out.size()), nullptr));
    }
  }
}

}  // namespace

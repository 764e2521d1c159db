// SPDX-License-Identifier: MIT
// Fuzz target: arbitrary 16-bit strings (two bytes per unit, little-endian) into
// ustr_to_utf8 and ustr_to_utf8_malloc.
//
// Checked: both give the same text, and decoding it again gives back the units up to the
// first high surrogate without its low partner (where the text ends); a lone low
// surrogate travels in its 3-byte form.
#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "runtime/strings/ustring.h"

namespace {

bool is_high(UChar u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low(UChar u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ustr_stack_startup(), true);
  (void)started;
  // Units up to the first zero unit, then the terminator, in a block of exactly that size
  // so that a read past the terminator is caught.
  std::vector<UChar> units = fuzz_units(data, size);
  units.push_back(0);
  auto* s = static_cast<UChar*>(std::malloc(units.size() * sizeof(UChar)));
  fuzz_check(s != nullptr);
  std::memcpy(s, units.data(), units.size() * sizeof(UChar));

  char* text = ustr_to_utf8(s);
  char* text_malloc = ustr_to_utf8_malloc(s);
  fuzz_check(text != nullptr && text_malloc != nullptr);
  fuzz_check(std::strcmp(text, text_malloc) == 0);

  size_t kept = 0;
  while (units[kept] != 0) {
    if (is_high(units[kept])) {
      if (!is_low(units[kept + 1])) break;
      ++kept;
    }
    ++kept;
  }

  const int64_t mark = ustr_stack_top();
  ustr_push_utf8(text, mark);
  const UString back = ustr_stack_string(mark);
  fuzz_check(ustr_length(back) == static_cast<int64_t>(kept));
  fuzz_check(std::memcmp(back, s, kept * sizeof(UChar)) == 0);
  ustr_stack_set_top(mark);

  // A string that converts whole measures as its text and terminator with ustr_encode.
  if (kept + 1 == units.size()) {
    fuzz_check(ustr_encode(CODEPAGE_UTF8, s, -1, nullptr, 0) == static_cast<int32_t>(std::strlen(text)) + 1);
  }

  g_free(text);
  std::free(text_malloc);
  std::free(s);
  return 0;
}

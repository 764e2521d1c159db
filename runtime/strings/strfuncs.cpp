// SPDX-License-Identifier: MIT
// The number parser and the substring function.
#include "runtime/strings/strfuncs.h"

#include <cstring>

namespace {

// Value of unit u as a digit of base, or -1.
constexpr int digit_value(UChar u, int base) {
  int d = -1;
  if (u >= u'0' && u <= u'9') d = u - u'0';
  else if (u >= u'a' && u <= u'f') d = u - u'a' + 10;
  else if (u >= u'A' && u <= u'F') d = u - u'A' + 10;
  return d < base ? d : -1;
}

}  // namespace

int64_t ustr_val(UString s) {
  if (s == nullptr) return 0;
  while (*s == u' ' || *s == u'\t') ++s;
  bool negative = false;
  if (*s == u'-') {
    negative = true;
    ++s;
  } else if (*s == u'+') {
    ++s;
  }
  int base = 10;
  if (*s == u'$') {
    base = 16;
    ++s;
  } else if (*s == u'%') {
    base = 2;
    ++s;
  }
  // Unsigned accumulation wraps modulo 2^64 as the parser promises, without
  // signed overflow; the conversion back to int64_t is two's complement.
  uint64_t value = 0;
  for (int d = digit_value(*s, base); d >= 0; d = digit_value(*++s, base)) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
  }
  if (negative) value = 0 - value;
  return static_cast<int64_t>(value);
}

void ustr_mid(UString s, int32_t start, int32_t length, int64_t position) {
  int64_t wanted = length < 0 ? 0 : length;
  // Find the units to copy before reserving: the reservation then needs only
  // what is copied, and a huge length does not grow the stack.
  int64_t skip = 0;
  int64_t available = 0;
  if (s != nullptr) {
    if (start >= 2) {
      while (skip < static_cast<int64_t>(start) - 1 && s[skip] != 0) ++skip;
      if (skip < static_cast<int64_t>(start) - 1) wanted = 0;
    }
    while (available < wanted && s[skip + available] != 0) ++available;
  }
  // s may lie on the stack, which the reservation may move: keep its offset.
  int32_t offset = ustr_stack_offset_of(s);
  UChar* dest = ustr_stack_reserve(available, position);
  if (offset != 0) s = ustr_stack_address_of(offset);
  if (available > 0) std::memmove(dest, s + skip, static_cast<size_t>(available) * 2);
  dest[available] = 0;
}

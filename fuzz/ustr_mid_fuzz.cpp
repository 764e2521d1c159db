// SPDX-License-Identifier: MIT
// Fuzz target: ustr_mid on arbitrary texts, starts and lengths. The first eight bytes give
// the start and the length (two little-endian 32-bit values), the rest the text's 16-bit
// units.
//
// Checked against the plain definition (units start .. start+length-1, 1-based; a start
// below 1 counts from the first unit; nothing past the end), for a text on the heap and
// for the same text lying on the temporary-string stack, which the result may move.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ustr_stack_startup(), true);
  (void)started;
  if (size < 8) return 0;
  const int32_t start = fuzz_read_int32(data);
  const int32_t length = fuzz_read_int32(data + 4);
  std::vector<UChar> units = fuzz_units(data + 8, size - 8);
  const auto n = static_cast<int64_t>(units.size());
  UChar* s = fuzz_exact_copy(units);

  const int64_t from = start < 1 ? 0 : static_cast<int64_t>(start) - 1;
  int64_t count = length < 0 ? 0 : length;
  if (from >= n) count = 0;
  else if (count > n - from) count = n - from;

  const int64_t base = ustr_stack_top();

  // Text on the heap, result at the top; the result ends on its terminator.
  ustr_mid(s, start, length, base);
  fuzz_check(ustr_stack_top() == base + 2 * count);
  fuzz_check(ustr_length(ustr_stack_string(base)) == count);
  fuzz_check(count == 0 || std::memcmp(ustr_stack_string(base), s + from, static_cast<size_t>(count) * 2) == 0);
  ustr_stack_set_top(base);

  // Text on the stack, result above it.
  ustr_stack_push(s);
  ustr_stack_close();
  const int64_t mark = ustr_stack_top();
  ustr_mid(ustr_stack_string(base), start, length, mark);
  fuzz_check(ustr_length(ustr_stack_string(mark)) == count);
  fuzz_check(count == 0 || std::memcmp(ustr_stack_string(mark), s + from, static_cast<size_t>(count) * 2) == 0);
  fuzz_check(std::memcmp(ustr_stack_string(base), s, static_cast<size_t>(n + 1) * 2) == 0);
  ustr_stack_set_top(base);

  // Text on the stack, result written over it from its own first unit.
  ustr_stack_push(s);
  ustr_stack_close();
  ustr_mid(ustr_stack_string(base), start, length, base);
  fuzz_check(ustr_length(ustr_stack_string(base)) == count);
  fuzz_check(count == 0 || std::memcmp(ustr_stack_string(base), s + from, static_cast<size_t>(count) * 2) == 0);
  ustr_stack_set_top(base);

  std::free(s);
  return 0;
}

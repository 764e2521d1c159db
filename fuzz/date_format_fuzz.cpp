// SPDX-License-Identifier: MIT
// Fuzz target: date_format with arbitrary masks and dates. The first eight bytes give the
// date (little-endian signed seconds), the rest the mask's 16-bit units.
//
// Checked: the result is written at the given mark and ends on its terminator, a string
// below the mark is left intact, a mask without "%" comes out unchanged, the result of a
// mask lying on the stack equals that of the same mask on the heap, and no token is
// longer than its own text, so the result is never longer than the mask.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "runtime/date/date.h"
#include "runtime/strings/ustring.h"

namespace {

constexpr UChar PREFIX[] = u"prefix";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ustr_stack_startup(), true);
  (void)started;
  if (size < 8) return 0;
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | data[i];
  DateSeconds date;
  std::memcpy(&date, &bits, sizeof date);
  std::vector<UChar> units = fuzz_units(data + 8, size - 8);
  const auto n = static_cast<int64_t>(units.size());
  UChar* mask = fuzz_exact_copy(units);
  bool has_percent = false;
  for (UChar u : units) has_percent = has_percent || u == u'%';

  const int64_t base = ustr_stack_top();
  ustr_stack_push(PREFIX);
  ustr_stack_close();
  const int64_t mark = ustr_stack_top();

  date_format(mask, date, mark);
  const int64_t length = ustr_length(ustr_stack_string(mark));
  fuzz_check(ustr_stack_top() == mark + 2 * length);
  fuzz_check(length <= n);
  fuzz_check(has_percent || (length == n && std::memcmp(ustr_stack_string(mark), mask, static_cast<size_t>(n) * 2) == 0));
  fuzz_check(std::memcmp(ustr_stack_string(base), PREFIX, sizeof PREFIX) == 0);
  std::vector<UChar> from_heap(ustr_stack_string(mark), ustr_stack_string(mark) + length);

  // The same mask on the stack, formatted above it; the growing result moves the stack.
  ustr_stack_close();
  const int64_t mask_mark = ustr_stack_top();
  ustr_stack_push(mask);
  ustr_stack_close();
  const int64_t result_mark = ustr_stack_top();
  date_format(ustr_stack_string(mask_mark), date, result_mark);
  fuzz_check(ustr_length(ustr_stack_string(result_mark)) == length);
  fuzz_check(length == 0 || std::memcmp(ustr_stack_string(result_mark), from_heap.data(), static_cast<size_t>(length) * 2) == 0);

  // Formatting at the top (position -1) gives the same again.
  ustr_stack_set_top(result_mark);
  date_format(mask, date, -1);
  fuzz_check(ustr_length(ustr_stack_string(result_mark)) == length);

  ustr_stack_set_top(base);
  std::free(mask);
  return 0;
}

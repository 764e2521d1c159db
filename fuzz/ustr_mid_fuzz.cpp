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

#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

int32_t read_int32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  int32_t out;
  std::memcpy(&out, &v, sizeof out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ustr_stack_startup(), true);
  (void)started;
  if (size < 8) return 0;
  const int32_t start = read_int32(data);
  const int32_t length = read_int32(data + 4);
  std::vector<UChar> units;
  for (size_t i = 8; i + 1 < size; i += 2) {
    const auto u = static_cast<UChar>(data[i] | (data[i + 1] << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  const auto n = static_cast<int64_t>(units.size());
  auto* s = static_cast<UChar*>(std::malloc((units.size() + 1) * sizeof(UChar)));
  check(s != nullptr);
  if (n > 0) std::memcpy(s, units.data(), units.size() * sizeof(UChar));
  s[n] = 0;

  const int64_t from = start < 1 ? 0 : static_cast<int64_t>(start) - 1;
  int64_t count = length < 0 ? 0 : length;
  if (from >= n) count = 0;
  else if (count > n - from) count = n - from;

  const int64_t base = ustr_stack_top();

  // Text on the heap, result at the top; the result ends on its terminator.
  ustr_mid(s, start, length, base);
  check(ustr_stack_top() == base + 2 * count);
  check(ustr_length(ustr_stack_string(base)) == count);
  check(count == 0 || std::memcmp(ustr_stack_string(base), s + from, static_cast<size_t>(count) * 2) == 0);
  ustr_stack_set_top(base);

  // Text on the stack, result above it.
  ustr_stack_push(s);
  ustr_stack_close();
  const int64_t mark = ustr_stack_top();
  ustr_mid(ustr_stack_string(base), start, length, mark);
  check(ustr_length(ustr_stack_string(mark)) == count);
  check(count == 0 || std::memcmp(ustr_stack_string(mark), s + from, static_cast<size_t>(count) * 2) == 0);
  check(std::memcmp(ustr_stack_string(base), s, static_cast<size_t>(n + 1) * 2) == 0);
  ustr_stack_set_top(base);

  // Text on the stack, result written over it from its own first unit.
  ustr_stack_push(s);
  ustr_stack_close();
  ustr_mid(ustr_stack_string(base), start, length, base);
  check(ustr_length(ustr_stack_string(base)) == count);
  check(count == 0 || std::memcmp(ustr_stack_string(base), s + from, static_cast<size_t>(count) * 2) == 0);
  ustr_stack_set_top(base);

  std::free(s);
  return 0;
}

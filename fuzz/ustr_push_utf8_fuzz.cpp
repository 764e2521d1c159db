// SPDX-License-Identifier: MIT
// Fuzz target: arbitrary bytes as UTF-8 text into ustr_push_utf8, once at the top of the
// temporary-string stack and once at a mark above an earlier string.
//
// Checked: the result is never longer than the text in bytes, a string below the mark is
// left intact, and text that is well-formed UTF-8 converts back to the same bytes.
#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "runtime/strings/ustring.h"

namespace {

constexpr UChar PREFIX[] = u"prefix";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ustr_stack_startup(), true);
  (void)started;
  // The text ends at its first NUL, as a C string does.
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  const int64_t base = ustr_stack_top();

  // At the top.
  ustr_push_utf8(text.c_str(), -1);
  const int64_t units = ustr_length(ustr_stack_string(base));
  fuzz_check(units <= static_cast<int64_t>(text.size()));
  fuzz_check(ustr_stack_top() == base + 2 * units);
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    char* back = ustr_to_utf8(ustr_stack_string(base));
    fuzz_check(back != nullptr && text == back);
    g_free(back);
  }
  ustr_stack_set_top(base);

  // Above an earlier string, which the push may move (the stack grows) but never change.
  ustr_stack_push(PREFIX);
  ustr_stack_close();
  const int64_t mark = ustr_stack_top();
  ustr_push_utf8(text.c_str(), mark);
  fuzz_check(ustr_length(ustr_stack_string(mark)) == units);
  fuzz_check(std::memcmp(ustr_stack_string(base), PREFIX, sizeof PREFIX) == 0);
  ustr_stack_set_top(base);
  return 0;
}

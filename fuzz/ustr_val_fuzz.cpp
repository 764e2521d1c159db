// SPDX-License-Identifier: MIT
// Fuzz target: arbitrary 16-bit texts (two bytes per unit, little-endian) into ustr_val.
//
// Checked: the parser reads nothing past the terminator (the text sits in a block of
// exactly its size), a leading "-" before a text that starts with neither blank nor sign
// negates the value modulo 2^64, and units after the text change nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<UChar> units = fuzz_units(data, size);
  UChar* s = fuzz_exact_copy(units);
  const int64_t value = ustr_val(s);

  const bool starts_plain =
      units.empty() || (units[0] != u' ' && units[0] != u'\t' && units[0] != u'-' && units[0] != u'+');
  if (starts_plain) {
    std::vector<UChar> negated(units);
    negated.insert(negated.begin(), u'-');
    UChar* n = fuzz_exact_copy(negated);
    fuzz_check(static_cast<uint64_t>(ustr_val(n)) == 0 - static_cast<uint64_t>(value));
    std::free(n);
  }

  // The number ends at the terminator or before it, so units after the text ("x" is a
  // digit of no base) change nothing, and parsing is deterministic.
  std::vector<UChar> extended(units);
  extended.push_back(u'x');
  extended.push_back(u'7');
  UChar* e = fuzz_exact_copy(extended);
  fuzz_check(ustr_val(e) == value);
  std::free(e);
  fuzz_check(ustr_val(s) == value);

  fuzz_check(ustr_val(nullptr) == 0);
  std::free(s);
  return 0;
}

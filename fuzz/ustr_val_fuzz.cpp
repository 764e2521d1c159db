// Fuzz target: arbitrary 16-bit texts (two bytes per unit, little-endian) into ustr_val.
//
// Checked: the parser reads nothing past the terminator (the text sits in a block of
// exactly its size), a leading "-" before a text that starts with neither blank nor sign
// negates the value modulo 2^64, and units after the text change nothing.
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

// A heap block holding exactly units and their terminator.
UChar* exact_copy(const std::vector<UChar>& units) {
  auto* s = static_cast<UChar*>(std::malloc((units.size() + 1) * sizeof(UChar)));
  check(s != nullptr);
  if (!units.empty()) std::memcpy(s, units.data(), units.size() * sizeof(UChar));
  s[units.size()] = 0;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<UChar> units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto u = static_cast<UChar>(data[i] | (data[i + 1] << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  UChar* s = exact_copy(units);
  const int64_t value = ustr_val(s);

  const bool starts_plain =
      units.empty() || (units[0] != u' ' && units[0] != u'\t' && units[0] != u'-' && units[0] != u'+');
  if (starts_plain) {
    std::vector<UChar> negated(units);
    negated.insert(negated.begin(), u'-');
    UChar* n = exact_copy(negated);
    check(static_cast<uint64_t>(ustr_val(n)) == 0 - static_cast<uint64_t>(value));
    std::free(n);
  }

  // The number ends at the terminator or before it, so units after the text ("x" is a
  // digit of no base) change nothing, and parsing is deterministic.
  std::vector<UChar> extended(units);
  extended.push_back(u'x');
  extended.push_back(u'7');
  UChar* e = exact_copy(extended);
  check(ustr_val(e) == value);
  std::free(e);
  check(ustr_val(s) == value);

  check(ustr_val(nullptr) == 0);
  std::free(s);
  return 0;
}

// SPDX-License-Identifier: MIT
// Helpers shared by the string and date fuzz targets.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/strings/ustring.h"

// fuzz_check: abort (a finding) when a property does not hold.
// fuzz_units: the 16-bit little-endian units of bytes, up to the first 0 unit.
// fuzz_exact_copy: a malloc'ed block holding exactly the units and a terminator.
// fuzz_read_int32: a little-endian signed 32-bit value.

inline void fuzz_check(bool condition) {
  if (!condition) std::abort();
}

inline std::vector<UChar> fuzz_units(const uint8_t* data, size_t size) {
  std::vector<UChar> units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto u = static_cast<UChar>(data[i] | (data[i + 1] << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  return units;
}

// Exactly sized, so a read past the terminator is caught by the address sanitizer.
inline UChar* fuzz_exact_copy(const std::vector<UChar>& units) {
  auto* s = static_cast<UChar*>(std::malloc((units.size() + 1) * sizeof(UChar)));
  fuzz_check(s != nullptr);
  if (!units.empty()) std::memcpy(s, units.data(), units.size() * sizeof(UChar));
  s[units.size()] = 0;
  return s;
}

inline int32_t fuzz_read_int32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  int32_t out;
  std::memcpy(&out, &v, sizeof out);
  return out;
}

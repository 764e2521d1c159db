// SPDX-License-Identifier: MIT
// The number parser and the substring function.
#pragma once

#include "runtime/strings/ustring.h"

// ustr_val: parse blanks, one sign, then "$" hex, "%" binary or decimal digits; wraps.
// ustr_mid: units start (1-based) .. start+length-1 of s as a string result at position.

int64_t ustr_val(UString s);
void ustr_mid(UString s, int32_t start, int32_t length, int64_t position);

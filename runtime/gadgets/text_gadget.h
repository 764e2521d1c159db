// SPDX-License-Identifier: MIT
// Text gadget: a read-only, word-wrapped label inside a horizontal box.
#pragma once

#include <cstdint>

#include "runtime/gadgets/gadget.h"

// text_gadget_create: a label gadget; widget address for a number, handle for ANY_NUMBER, 0 on failure.
// text_gadget_create (short form): flags 0.

enum TextGadgetFlags : int32_t {
  TEXT_RIGHT = 1,   // right-aligned (wins over TEXT_CENTER)
  TEXT_CENTER = 2,  // centred
  TEXT_BORDER = 4,  // sunken frame around the label
};

int64_t text_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text,
                           int32_t flags);
int64_t text_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text);

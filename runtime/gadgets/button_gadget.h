// SPDX-License-Identifier: MIT
// Button gadget: a push button or a toggle button with a text label.
#pragma once

#include <cstdint>

#include "runtime/gadgets/gadget.h"

// button_gadget_create: a button gadget; widget address for a number, handle for ANY_NUMBER, 0 on failure.
// button_gadget_create (short form): flags 0.

enum ButtonGadgetFlags : int32_t {
  BUTTON_RIGHT = 1,   // label right-aligned (wins over BUTTON_LEFT)
  BUTTON_LEFT = 2,    // label left-aligned
  BUTTON_TOGGLE = 4,  // toggle button that stays pressed
  BUTTON_WRAP = 16,   // the label wraps
};

int64_t button_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text,
                             int32_t flags);
int64_t button_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, UString text);

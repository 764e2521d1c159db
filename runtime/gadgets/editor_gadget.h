// SPDX-License-Identifier: MIT
// Editor gadget: a text view inside a scrolled window; items are lines. It holds many lines
// unless EDITOR_SINGLE_LINE keeps it to one, as in an entry field (the calculator's fields).
#pragma once

#include <cstdint>

#include "runtime/gadgets/gadget.h"

// editor_gadget_create: an editor gadget; widget address for a number, handle for ANY_NUMBER, 0 on failure.
// editor_gadget_create (short form): flags 0.
// editor_gadget_set_return_button: Return in a one-line editor activates this button gadget.

enum EditorGadgetFlags : int32_t {
  EDITOR_READ_ONLY = 1,
  EDITOR_WORD_WRAP = 2,
  EDITOR_TAB_MOVES_FOCUS = 4,  // Tab and Shift+Tab move the focus instead of typing a tab
  // What the user types, pastes or drops keeps its first line, Return types nothing, and
  // focus that comes by the keyboard selects the whole text, as in an entry field.
  EDITOR_SINGLE_LINE = 8,
  // Full-width digits and full-width "$" and "%" that the user types, pastes or drops (what an
  // input method for Japanese gives) become ASCII; text set by the program is kept as given.
  EDITOR_ASCII_DIGITS = 16,
};

// Attributes for the get_attribute / set_attribute slots.
constexpr int32_t EDITOR_ATTRIBUTE_READ_ONLY = 1;
constexpr int32_t EDITOR_ATTRIBUTE_WORD_WRAP = 2;

int64_t editor_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, int32_t flags);
int64_t editor_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h);
void editor_gadget_set_return_button(ObjectValue editor, ObjectValue button);

// SPDX-License-Identifier: MIT
// ComboBox gadget: a drop-down list of text items, optionally editable and with pictures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/gadgets/gadget.h"

// combobox_gadget_create: a combo box gadget; widget address for a number, handle for ANY_NUMBER, 0 on failure.
// combobox_gadget_create (short form): flags 0.
// combobox_case_map: map the ASCII letters of length bytes in place as the case flags say.

enum ComboBoxGadgetFlags : int32_t {
  COMBOBOX_EDITABLE = 1,
  COMBOBOX_LOWER_CASE = 2,
  COMBOBOX_UPPER_CASE = 4,
  COMBOBOX_PICTURES = 8,
};

// One per ComboBox: the store and how gadget columns map onto store columns.
struct ItemListState {
  void* store;          // GtkListStore*
  int32_t data_column;  // store column of the item data
  int32_t text_columns; // number of text columns the gadget offers
  void* column_map;     // GList* of store column numbers, one per text column
};

int64_t combobox_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, int32_t flags);
int64_t combobox_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h);
void combobox_case_map(int64_t flags, char* bytes, size_t length);

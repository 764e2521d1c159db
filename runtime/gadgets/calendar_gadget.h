// SPDX-License-Identifier: MIT
// Calendar gadget: a month calendar whose state is the selected day as a date.
#pragma once

#include <cstdint>

#include "runtime/date/date.h"
#include "runtime/gadgets/gadget.h"

// calendar_gadget_create: a calendar showing date (0 = today); widget address or handle, 0 on failure.
// calendar_gadget_create (short form): date 0 (today).

int64_t calendar_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, DateSeconds date);
int64_t calendar_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h);

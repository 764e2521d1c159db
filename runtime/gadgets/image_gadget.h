// SPDX-License-Identifier: MIT
// Image gadget: a picture (a GdkPixbuf the caller keeps alive) that reports mouse clicks
// and drag starts as gadget events.
#pragma once

#include <cstdint>

#include "runtime/gadgets/gadget.h"

// image_gadget_create: an image gadget showing image (null: empty at width x height); widget
//   address for a number, handle for ANY_NUMBER, 0 on failure. With an image, its size wins.
// image_gadget_create (short form): flags 0.

enum ImageGadgetFlags : int32_t {
  IMAGE_BORDER = 1,         // sunken frame
  IMAGE_RAISED_BORDER = 2,  // raised frame; wins over IMAGE_BORDER
  IMAGE_KEYBOARD = 4,       // takes the keyboard focus; Enter, Space and the accessible "click" post a left click
};

// Pending click kinds kept on the event box under "kt_gadget_eventtype".
enum ImageClickKind : int32_t {
  IMAGE_CLICK_NONE = 0,
  IMAGE_CLICK_LEFT = 1,
  IMAGE_CLICK_RIGHT = 2,
  IMAGE_CLICK_LEFT_DOUBLE = 3,
  IMAGE_CLICK_RIGHT_DOUBLE = 4,
};

int64_t image_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, void* image,
                            int32_t flags);
int64_t image_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, void* image);

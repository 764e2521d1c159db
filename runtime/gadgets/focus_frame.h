// SPDX-License-Identifier: MIT
// Focus frame: while a window shows keyboard focus, its gadget area draws a frame around the
// gadget that holds the focus, in colours that stand out from the area and from the gadget.
#pragma once

// focus_frame_attach: draw the focus frame on this gadget area (a GtkLayout); once per area.

void focus_frame_attach(void* area);

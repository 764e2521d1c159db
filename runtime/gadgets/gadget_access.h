// SPDX-License-Identifier: MIT
// Accessibility of gadgets: names, descriptions, label relations and decorations that
// screen readers see through ATK (and AT-SPI), and the order in which the keyboard
// visits them. Nothing here changes which events a gadget posts.
#pragma once

#include "runtime/gadgets/gadget.h"

// gadget_set_accessible: set the accessible name and description (null keeps the current one).
// gadget_set_label_for: make a Text gadget the label of another gadget (label-for / labelled-by).
// gadget_set_decorative: mark a gadget as decoration that assistive technology passes over.
// gadget_set_focus_order: Tab visits these gadgets of one window in this order (and no others).
// gadget_set_focus: give a gadget the keyboard focus within its window.

void gadget_set_accessible(ObjectValue gadget, UString name, UString description);
void gadget_set_label_for(ObjectValue label, ObjectValue target);
void gadget_set_decorative(ObjectValue gadget);
void gadget_set_focus_order(const ObjectValue* gadgets, int32_t count);
void gadget_set_focus(ObjectValue gadget);

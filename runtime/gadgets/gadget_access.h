// Accessibility of gadgets: names, descriptions, label relations and decorations that
// screen readers see through ATK (and AT-SPI). Nothing here changes what is drawn or
// which events a gadget posts.
#pragma once

#include "runtime/gadgets/gadget.h"

// gadget_set_accessible: set the accessible name and description (null keeps the current one).
// gadget_set_label_for: make a Text gadget the label of another gadget (label-for / labelled-by).
// gadget_set_decorative: mark a gadget as decoration that assistive technology passes over.

void gadget_set_accessible(ObjectValue gadget, UString name, UString description);
void gadget_set_label_for(ObjectValue label, ObjectValue target);
void gadget_set_decorative(ObjectValue gadget);

// Gadget accessibility through ATK. The accessible objects belong to the toolkit's
// widgets; this unit only sets their name, description, role and relations, which
// raise ATK notifications but no toolkit signal that the gadgets turn into events.
#include "runtime/gadgets/gadget_access.h"

#include <gtk/gtk.h>

namespace {

GadgetRecord* lookup(ObjectValue gadget) { return gadget_lookup(gadget); }

using ToolkitLock = GadgetToolkitLock;

// The accessibles a screen reader meets for a gadget: the primary widget's, and for an
// editable ComboBox also its entry's, which is where the keyboard focus goes.
struct GadgetAccessibles {
  AtkObject* primary;
  AtkObject* entry;  // null unless the gadget is an editable ComboBox
};

GadgetAccessibles accessibles_of(const GadgetRecord* record) {
  GtkWidget* widget = GTK_WIDGET(record->widget);
  GadgetAccessibles result{gtk_widget_get_accessible(widget), nullptr};
  if (GTK_IS_COMBO_BOX(widget) && gtk_combo_box_get_has_entry(GTK_COMBO_BOX(widget))) {
    if (GtkWidget* entry = gtk_bin_get_child(GTK_BIN(widget))) result.entry = gtk_widget_get_accessible(entry);
  }
  return result;
}

void set_texts(AtkObject* accessible, const char* name, const char* description) {
  if (!accessible) return;
  if (name) atk_object_set_name(accessible, name);
  if (description) atk_object_set_description(accessible, description);
}

// Both directions of the pair; ATK keeps each target once, so a repeated call adds nothing.
void link_label(AtkObject* label, AtkObject* target) {
  if (!label || !target) return;
  atk_object_add_relationship(label, ATK_RELATION_LABEL_FOR, target);
  atk_object_add_relationship(target, ATK_RELATION_LABELLED_BY, label);
}

}  // namespace

void gadget_set_accessible(ObjectValue gadget, UString name, UString description) {
  ustr_stack_enter();
  GadgetRecord* record = lookup(gadget);
  if (!record) return;
  ToolkitLock lock;
  // A null text keeps what the toolkit shows, such as a button's name taken from its label.
  char* name_copy = name ? ustr_to_utf8(name) : nullptr;
  char* description_copy = description ? ustr_to_utf8(description) : nullptr;
  const GadgetAccessibles accessibles = accessibles_of(record);
  set_texts(accessibles.primary, name_copy, description_copy);
  set_texts(accessibles.entry, name_copy, description_copy);
  g_free(name_copy);
  g_free(description_copy);
}

void gadget_set_label_for(ObjectValue label, ObjectValue target) {
  GadgetRecord* label_record = lookup(label);
  if (!label_record || label_record->ops->type != GADGET_TEXT) return;
  GadgetRecord* target_record = lookup(target);
  if (!target_record || target_record == label_record) return;
  ToolkitLock lock;
  AtkObject* label_accessible = gtk_widget_get_accessible(GTK_WIDGET(label_record->widget));
  const GadgetAccessibles targets = accessibles_of(target_record);
  link_label(label_accessible, targets.primary);
  link_label(label_accessible, targets.entry);
}

void gadget_set_decorative(ObjectValue gadget) {
  GadgetRecord* record = lookup(gadget);
  if (!record) return;
  ToolkitLock lock;
  // Every level of the gadget's widget tree, from the primary widget up to the widget placed
  // into the window, so that no empty panel or frame around a decoration is announced either.
  // The redundant-object role is the one that screen readers skip without announcing it.
  GtkWidget* top = GTK_WIDGET(record->outer ? record->outer : record->widget);
  for (GtkWidget* w = GTK_WIDGET(record->widget); w; w = gtk_widget_get_parent(w)) {
    atk_object_set_role(gtk_widget_get_accessible(w), ATK_ROLE_REDUNDANT_OBJECT);
    if (w == top) break;
  }
}

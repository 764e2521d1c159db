// SPDX-License-Identifier: MIT
// Gadget accessibility through ATK. The accessible objects belong to the toolkit's
// widgets; this unit only sets their name, description, role and relations, which
// raise ATK notifications but no toolkit signal that the gadgets turn into events.
// The keyboard order is the focus chain of the window's gadget area.
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

// The entry of an editable ComboBox; null for every other gadget.
GtkWidget* entry_of(const GadgetRecord* record) {
  GtkWidget* widget = GTK_WIDGET(record->widget);
  if (!GTK_IS_COMBO_BOX(widget) || !gtk_combo_box_get_has_entry(GTK_COMBO_BOX(widget))) return nullptr;
  return gtk_bin_get_child(GTK_BIN(widget));
}

GadgetAccessibles accessibles_of(const GadgetRecord* record) {
  GtkWidget* entry = entry_of(record);
  return {gtk_widget_get_accessible(GTK_WIDGET(record->widget)), entry ? gtk_widget_get_accessible(entry) : nullptr};
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

void set_focus_chain(GtkWidget* container, GList* chain) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_container_set_focus_chain(GTK_CONTAINER(container), chain);
#pragma GCC diagnostic pop
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

void gadget_set_focus_order(const ObjectValue* gadgets, int32_t count) {
  ToolkitLock lock;
  GtkWidget* area = nullptr;
  GList* chain = nullptr;
  for (int32_t i = 0; i < count; ++i) {
    GadgetRecord* record = lookup(gadgets[i]);
    if (!record) continue;
    // The widget placed into the gadget area; the focus then goes down into it.
    GtkWidget* top = GTK_WIDGET(record->outer ? record->outer : record->widget);
    GtkWidget* parent = gtk_widget_get_parent(top);
    if (!parent || (area && parent != area) || g_list_find(chain, top)) continue;
    area = parent;
    chain = g_list_append(chain, top);
    // An editable chooser is one stop, its entry: the arrow beside it is for the pointer,
    // and the keyboard opens the list from the entry.
    if (GtkWidget* entry = entry_of(record)) {
      GList only{entry, nullptr, nullptr};
      set_focus_chain(GTK_WIDGET(record->widget), &only);
    }
  }
  if (area) set_focus_chain(area, chain);
  g_list_free(chain);
}

void gadget_set_focus(ObjectValue gadget) {
  GadgetRecord* record = lookup(gadget);
  if (!record) return;
  ToolkitLock lock;
  if (record->ops->activate) {
    record->ops->activate(record);  // an editable ComboBox gives its entry the focus
  } else {
    gtk_widget_grab_focus(GTK_WIDGET(record->widget));
  }
}

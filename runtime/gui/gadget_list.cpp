// SPDX-License-Identifier: MIT
// The per-thread current gadget list: which container receives the next gadget.
//
// Each owner widget keeps its own saved list state under "kt_gadgetstack", so that
// switching between windows restores each window's current list.

#include "runtime/gui/registry.h"

#include <gtk/gtk.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

struct SavedGadgetList {
  void* owner;
  void* current;
  void* stack[GADGET_LIST_STACK_SIZE];
  int32_t depth;
};

std::atomic<int64_t> g_segment_offset{-1};

// Used when the gadget layer has not registered its segment (e.g. in window tests).
thread_local GadgetListState t_fallback_state{};

GadgetListState* thread_state() {
  const int64_t offset = g_segment_offset.load(std::memory_order_acquire);
  if (offset >= 0) {
    if (void* segment = tls_segment(offset)) return static_cast<GadgetListState*>(segment);
  }
  return &t_fallback_state;
}

int32_t clamp_depth(int32_t depth) {
  if (depth < 0) return 0;
  return depth > GADGET_LIST_STACK_SIZE ? GADGET_LIST_STACK_SIZE : depth;
}

void saved_list_destroyed(gpointer data) {
  auto* saved = static_cast<SavedGadgetList*>(data);
  GadgetListState* state = thread_state();
  if (state->owner == saved->owner) {
    state->current = nullptr;
    state->depth = 0;
    state->owner = nullptr;
  }
  std::free(saved);
}

// The gadget area of a window: its "kt_gadgetlist", created and packed if missing.
void* window_gadget_list(GtkWidget* window) {
  if (void* list = g_object_get_data(G_OBJECT(window), "kt_gadgetlist")) return list;
  GtkWidget* box = nullptr;
  gtk_container_foreach(
      GTK_CONTAINER(window), [](GtkWidget* child, gpointer out) { *static_cast<GtkWidget**>(out) = child; },
      &box);
  if (!box) {
    box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show(box);
  }
  // A window whose child is not a box has nowhere to put a gadget area.
  if (!GTK_IS_BOX(box)) return nullptr;
  GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
  gtk_widget_show(layout);
  gtk_box_pack_start(GTK_BOX(box), layout, TRUE, TRUE, 0);
  // Unowned: the layout lives inside the window, which keeps it alive as long as the key.
  g_object_set_data(G_OBJECT(window), "kt_gadgetlist", layout);
  return layout;
}

}  // namespace

void gadget_list_set_segment(int64_t offset) { g_segment_offset.store(offset, std::memory_order_release); }

void* gadget_list_use(void* widget) {
  GadgetListState* state = thread_state();
  void* previous = state->owner;
  if (!widget) return previous;

  if (previous) {
    auto* saved = static_cast<SavedGadgetList*>(g_object_get_data(G_OBJECT(previous), "kt_gadgetstack"));
    if (saved) {
      saved->current = state->current;
      saved->depth = clamp_depth(state->depth);
      std::memcpy(saved->stack, state->stack, sizeof(void*) * static_cast<size_t>(saved->depth));
    }
  }

  void* list = widget;
  if (g_type_check_instance_is_a(static_cast<GTypeInstance*>(widget), gtk_window_get_type())) {
    list = window_gadget_list(static_cast<GtkWidget*>(widget));
  }

  auto* saved = static_cast<SavedGadgetList*>(g_object_get_data(G_OBJECT(widget), "kt_gadgetstack"));
  if (saved) {
    state->current = saved->current;
    state->depth = clamp_depth(saved->depth);
    std::memcpy(state->stack, saved->stack, sizeof(void*) * static_cast<size_t>(state->depth));
  } else {
    state->current = list;
    state->depth = 0;
    saved = static_cast<SavedGadgetList*>(std::calloc(1, sizeof(SavedGadgetList)));
    if (saved) {
      saved->owner = widget;
      g_object_set_data_full(G_OBJECT(widget), "kt_gadgetstack", saved, saved_list_destroyed);
    }
  }
  state->owner = widget;
  return previous;
}

GadgetListState* gadget_list_state() { return thread_state(); }

// SPDX-License-Identifier: MIT
// Gadget core: the gadget record, the per-type operation tables, the common
// operations that dispatch through them, fonts, colours and the posting handlers.
#pragma once

#include <cstdint>

#include "runtime/gui/registry.h"
#include "runtime/strings/ustring.h"

// --- Common operations (gadget = number or handle) --------------------------------
// gadget_init: create the gadget registry, the per-thread segment and the CSS provider.
// gadget_get_state: the type's get_state, or 0.
// gadget_set_text: set the text (null = empty) with events suppressed.
// gadget_get_text: the text as a string result at position ("" when not found).
// gadget_add_item: add an item at position (-1 appends) with events suppressed.
// gadget_set_color: set (or with -1 remove) the front or back colour.
// gadget_set_font: set a gadget's font (font_id value; 0/-1 none); ANY_NUMBER sets the thread default.
// gadget_resize: move and/or resize; KEEP_VALUE keeps a coordinate or size.
// gadget_width/gadget_height: requested size, or 0 when not found.
// gadget_free: destroy a gadget's widgets (ANY_NUMBER: every gadget).
// --- Shared operations used by the gadget types -------------------------------------
// gadget_registry: the gadget registry (null before gadget_init).
// gadget_lookup: the live record of a gadget, or null.
// gadget_state: the calling thread's GadgetListState.
// gadget_place: put a widget into the current gadget list at (x, y) in design units.
// gadget_set_size: request a placed widget's size in design units (pixels at the text factor).
// gadget_relayout: place and size every gadget again at the current text factor.
// gadget_register: the finishing steps of every creation.
// gadget_widget_set_font: remember and apply a font override on a widget.
// gadget_widget_get_font: the widget's remembered font, else its style font, else null.
// gadget_apply_color: remember a colour in words A/B and apply it to target (and outer).
// gadget_get_color_words: a Text/Editor get_color reading words A and B.
// gadget_window_of: the window value of the widget's toplevel, or -1.
// gadget_post_click: "clicked"/"day-selected" handler (nothing while a close waits).
// gadget_post_change: "changed" handler of a ComboBox.
// gadget_post_focus/gadget_post_lost_focus: focus handlers, post 256 / 512.
// gadget_on_destroy: "destroy" handler of every primary widget; releases the record.
// gadget_list_ready: true when the calling thread has a gadget list to place into.
// gadget_allocate: the record for a creation under value; sets the gadget value; null on failure.
// gadget_creation_result: the handle for ANY_NUMBER, else the primary widget's address.
// gadget_discard: destroy a widget of a creation that failed before it was placed.
// gadget_value_data/gadget_data_value: an object value as signal user data and back.

struct GadgetRecord;

// Per-type operation table; slots a type does not fill stay null.
struct GadgetOps {
  int32_t type;
  void (*activate)(GadgetRecord* record);
  void (*free)(GadgetRecord* record);
  int64_t (*get_state)(GadgetRecord* record);
  void (*set_state)(GadgetRecord* record, int64_t state);
  void (*get_text)(GadgetRecord* record, int64_t position);
  void (*set_text)(GadgetRecord* record, const char* text);
  int64_t (*add_item)(GadgetRecord* record, int32_t position, const char* text, void* image);
  void (*remove_item)(GadgetRecord* record, int32_t position);
  void (*clear_items)(GadgetRecord* record);
  int32_t (*count_items)(GadgetRecord* record);
  void (*get_item_text)(GadgetRecord* record, int32_t position, int32_t column, int64_t stack_position);
  void (*set_item_text)(GadgetRecord* record, int32_t position, const char* text, int32_t column);
  void (*set_font)(GadgetRecord* record, void* font);
  int64_t (*get_attribute)(GadgetRecord* record, int32_t attribute);
  void (*set_attribute)(GadgetRecord* record, int32_t attribute, int64_t value);
  void (*set_color)(GadgetRecord* record, int32_t kind, int32_t color);
  int32_t (*get_color)(GadgetRecord* record, int32_t kind);
  void (*set_item_data)(GadgetRecord* record, int32_t position, void* data);
  void* (*get_item_data)(GadgetRecord* record, int32_t position);
  void* (*get_font)(GadgetRecord* record);
  void (*set_item_image)(GadgetRecord* record, int32_t position, void* pixbuf);
};

// One gadget; owned by the gadget registry, zero-filled at creation.
struct GadgetRecord {
  void* widget;      // GtkWidget*: primary widget; the record's liveness field
  void* outer;       // GtkWidget*: top widget placed into the window, or null
  const GadgetOps* ops;
  int64_t a, b, c, d;  // per-type words
};

enum GadgetType : int32_t {
  GADGET_BUTTON = 1,
  GADGET_TEXT = 3,
  GADGET_COMBOBOX = 8,
  GADGET_IMAGE = 9,
  GADGET_CALENDAR = 20,
  GADGET_EDITOR = 22,
};

enum GadgetEvent : int64_t {
  GADGET_EVENT_LEFT_CLICK = 0,
  GADGET_EVENT_RIGHT_CLICK = 1,
  GADGET_EVENT_LEFT_DOUBLE_CLICK = 2,
  GADGET_EVENT_RIGHT_DOUBLE_CLICK = 3,
  GADGET_EVENT_FOCUS = 256,
  GADGET_EVENT_LOST_FOCUS = 512,
  GADGET_EVENT_CHANGE = 768,
  GADGET_EVENT_DRAG_START = 2048,
};

constexpr int32_t KEEP_VALUE = -65535;
constexpr int32_t COLOR_FRONT = 1;
constexpr int32_t COLOR_BACK = 2;

void gadget_init();
int64_t gadget_get_state(ObjectValue gadget);
void gadget_set_text(ObjectValue gadget, UString text);
void gadget_get_text(ObjectValue gadget, int64_t position);
int64_t gadget_add_item(ObjectValue gadget, int32_t position, UString text, void* image);
int64_t gadget_add_item(ObjectValue gadget, int32_t position, UString text);
void gadget_set_color(ObjectValue gadget, int32_t kind, int32_t color);
void gadget_set_font(ObjectValue gadget, int64_t font);
void gadget_resize(ObjectValue gadget, int32_t x, int32_t y, int32_t width, int32_t height);
int64_t gadget_width(ObjectValue gadget);
int64_t gadget_height(ObjectValue gadget);
void gadget_free(ObjectValue gadget);

ObjectRegistry* gadget_registry();
GadgetRecord* gadget_lookup(ObjectValue gadget);
GadgetListState* gadget_state();
void gadget_place(void* widget, int32_t x, int32_t y);
void gadget_set_size(void* widget, int32_t width, int32_t height);
void gadget_relayout();
void gadget_register(GadgetRecord* record, ObjectValue value);
void gadget_widget_set_font(void* widget, void* font);
void* gadget_widget_get_font(void* widget);
void gadget_apply_color(GadgetRecord* record, int32_t kind, int32_t color, void* target);
int32_t gadget_get_color_words(GadgetRecord* record, int32_t kind);
int64_t gadget_window_of(void* widget);
void gadget_post_click(void* widget, void* value);
void gadget_post_change(void* widget, void* value);
int gadget_post_focus(void* widget, void* event, void* value);
int gadget_post_lost_focus(void* widget, void* event, void* value);
void gadget_on_destroy(void* widget, void* value);
bool gadget_list_ready();
void gadget_discard(void* widget);
GadgetRecord* gadget_allocate(ObjectValue value, ObjectValue* gadget_value);
int64_t gadget_creation_result(ObjectValue requested, const GadgetRecord* record, ObjectValue gadget_value);

inline void* gadget_value_data(ObjectValue value) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(value));
}
inline ObjectValue gadget_data_value(const void* data) {
  return static_cast<ObjectValue>(reinterpret_cast<intptr_t>(data));
}

// The toolkit's global lock around a common operation's widget work; pending
// drawing requests are flushed before the lock is left.
class GadgetToolkitLock {
 public:
  GadgetToolkitLock();
  ~GadgetToolkitLock();
  GadgetToolkitLock(const GadgetToolkitLock&) = delete;
  GadgetToolkitLock& operator=(const GadgetToolkitLock&) = delete;
};

// Owns the g_malloc'ed UTF-8 copy of a string (null reads as "") and frees it with g_free.
class GadgetUtf8 {
 public:
  explicit GadgetUtf8(UString s);
  ~GadgetUtf8();
  GadgetUtf8(const GadgetUtf8&) = delete;
  GadgetUtf8& operator=(const GadgetUtf8&) = delete;
  const char* get() const { return text_ ? text_ : ""; }

 private:
  char* text_;
};

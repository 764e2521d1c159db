// SPDX-License-Identifier: MIT
// ComboBox gadget: event box > combo box over a 3-column list store
// (0 item data, 1 text, 2 picture); an editable one has an entry child.
#include "runtime/gadgets/combobox_gadget.h"

#include <gtk/gtk.h>

#include <cstring>

#include "runtime/gadgets/gadget.h"

namespace {

constexpr gint DATA_COLUMN = 0;
constexpr gint TEXT_COLUMN = 1;
constexpr gint PIXBUF_COLUMN = 2;

GtkComboBox* combo_of(GadgetRecord* record) { return GTK_COMBO_BOX(record->widget); }
// The words of a chooser's record: A its creation flags, B its entry (editable choosers
// only, else 0), C its item list state, D the cell that draws the items' texts.
int64_t flags_of(GadgetRecord* record) { return record->a; }
GtkEntry* entry_of(GadgetRecord* record) {
  return record->b ? GTK_ENTRY(reinterpret_cast<void*>(static_cast<intptr_t>(record->b))) : nullptr;
}
ItemListState* items_of(GadgetRecord* record) {
  return reinterpret_cast<ItemListState*>(static_cast<intptr_t>(record->c));
}
GObject* text_cell_of(GadgetRecord* record) {
  return G_OBJECT(reinterpret_cast<void*>(static_cast<intptr_t>(record->d)));
}
void set_flags(GadgetRecord* record, int64_t flags) { record->a = flags; }
void set_entry(GadgetRecord* record, GtkWidget* entry) { record->b = reinterpret_cast<intptr_t>(entry); }
void set_items(GadgetRecord* record, ItemListState* items) { record->c = reinterpret_cast<intptr_t>(items); }
void set_text_cell(GadgetRecord* record, GtkCellRenderer* cell) { record->d = reinterpret_cast<intptr_t>(cell); }
GtkTreeModel* model_of(GadgetRecord* record) { return GTK_TREE_MODEL(items_of(record)->store); }
GtkListStore* store_of(GadgetRecord* record) { return GTK_LIST_STORE(items_of(record)->store); }

bool row(GadgetRecord* record, int32_t n, GtkTreeIter* iter) {
  return n >= 0 && gtk_tree_model_iter_nth_child(model_of(record), iter, nullptr, n);
}

// A text with the gadget's case flags applied: the text itself when no case
// flag is set, otherwise a mapped copy that this object frees.
class CaseText {
 public:
  CaseText(int64_t flags, const char* text) : text_(text) {
    if (!(flags & (COMBOBOX_LOWER_CASE | COMBOBOX_UPPER_CASE))) return;
    copy_ = g_strdup(text);
    combobox_case_map(flags, copy_, std::strlen(copy_));
    text_ = copy_;
  }
  ~CaseText() { g_free(copy_); }
  CaseText(const CaseText&) = delete;
  CaseText& operator=(const CaseText&) = delete;
  const char* get() const { return text_; }

 private:
  const char* text_;
  char* copy_ = nullptr;
};

void combo_activate(GadgetRecord* record) {
  if (GtkEntry* entry = entry_of(record))
    gtk_widget_grab_focus(GTK_WIDGET(entry));
  else
    gtk_widget_grab_focus(GTK_WIDGET(record->widget));
}

void combo_free(GadgetRecord* record) {
  ItemListState* items = items_of(record);
  if (!items) return;
  g_list_free(static_cast<GList*>(items->column_map));
  mem_free(items);
  set_items(record, nullptr);
}

int64_t combo_get_state(GadgetRecord* record) { return gtk_combo_box_get_active(combo_of(record)); }

void combo_set_state(GadgetRecord* record, int64_t state) {
  gtk_combo_box_set_active(combo_of(record), static_cast<gint>(state));
}

void combo_get_text(GadgetRecord* record, int64_t position) {
  if (GtkEntry* entry = entry_of(record)) {
    ustr_push_utf8(gtk_entry_get_text(entry), position);
    return;
  }
  GtkTreeIter iter;
  gchar* text = nullptr;
  if (gtk_combo_box_get_active_iter(combo_of(record), &iter))
    gtk_tree_model_get(model_of(record), &iter, TEXT_COLUMN, &text, -1);
  ustr_push_utf8(text ? text : "", position);
  g_free(text);
}

void combo_set_text(GadgetRecord* record, const char* text) {
  CaseText mapped(flags_of(record), text);
  GtkTreeModel* model = model_of(record);
  const gint rows = gtk_tree_model_iter_n_children(model, nullptr);
  for (gint n = 0; n < rows; ++n) {
    GtkTreeIter iter;
    if (!gtk_tree_model_iter_nth_child(model, &iter, nullptr, n)) continue;
    gchar* item = nullptr;
    gtk_tree_model_get(model, &iter, TEXT_COLUMN, &item, -1);
    const bool match = item && std::strcmp(item, mapped.get()) == 0;
    g_free(item);
    if (match) {
      gtk_combo_box_set_active(combo_of(record), n);
      return;
    }
  }
  if (GtkEntry* entry = entry_of(record))
    gtk_entry_set_text(entry, mapped.get());
  else
    gtk_combo_box_set_active(combo_of(record), -1);
}

int64_t combo_add_item(GadgetRecord* record, int32_t position, const char* text, void* image) {
  CaseText mapped(flags_of(record), text);
  GtkListStore* store = store_of(record);
  gint at = position;
  if (at < 0) at = gtk_tree_model_iter_n_children(model_of(record), nullptr);
  GtkTreeIter iter;
  gtk_list_store_insert(store, &iter, at);
  gtk_list_store_set(store, &iter, TEXT_COLUMN, mapped.get(), DATA_COLUMN, nullptr, -1);
  if (image && (flags_of(record) & COMBOBOX_PICTURES)) gtk_list_store_set(store, &iter, PIXBUF_COLUMN, image, -1);
  return 1;
}

void combo_remove_item(GadgetRecord* record, int32_t n) {
  GtkTreeIter iter;
  if (row(record, n, &iter)) gtk_list_store_remove(store_of(record), &iter);
}

void combo_clear_items(GadgetRecord* record) {
  gtk_list_store_clear(store_of(record));
  if (GtkEntry* entry = entry_of(record)) gtk_entry_set_text(entry, "");
}

int32_t combo_count_items(GadgetRecord* record) { return gtk_tree_model_iter_n_children(model_of(record), nullptr); }

void combo_get_item_text(GadgetRecord* record, int32_t n, int32_t column, int64_t position) {
  ItemListState* items = items_of(record);
  GtkTreeIter iter;
  gchar* text = nullptr;
  if (column >= 0 && column < items->text_columns && row(record, n, &iter)) {
    const gint store_column =
        GPOINTER_TO_INT(g_list_nth_data(static_cast<GList*>(items->column_map), static_cast<guint>(column)));
    gtk_tree_model_get(model_of(record), &iter, store_column, &text, -1);
  }
  ustr_push_utf8(text ? text : "", position);
  g_free(text);
}

void combo_set_item_text(GadgetRecord* record, int32_t n, const char* text, int32_t column) {
  CaseText mapped(flags_of(record), text);
  GtkTreeIter iter;
  if (column != 0 || !row(record, n, &iter)) return;
  gtk_list_store_set(store_of(record), &iter, TEXT_COLUMN, mapped.get(), -1);
}

void combo_set_font(GadgetRecord* record, void* font) {
  gadget_widget_set_font(record->widget, font);
  g_object_set(text_cell_of(record), "font-desc", font, nullptr);
  if (GtkEntry* entry = entry_of(record)) gadget_widget_set_font(entry, font);
}

void* combo_get_font(GadgetRecord* record) { return gadget_widget_get_font(record->widget); }

void combo_set_item_data(GadgetRecord* record, int32_t n, void* data) {
  GtkTreeIter iter;
  if (row(record, n, &iter)) gtk_list_store_set(store_of(record), &iter, DATA_COLUMN, data, -1);
}

void* combo_get_item_data(GadgetRecord* record, int32_t n) {
  GtkTreeIter iter;
  void* data = nullptr;
  if (row(record, n, &iter)) gtk_tree_model_get(model_of(record), &iter, DATA_COLUMN, &data, -1);
  return data;
}

void combo_set_item_image(GadgetRecord* record, int32_t n, void* pixbuf) {
  GtkTreeIter iter;
  if ((flags_of(record) & COMBOBOX_PICTURES) && row(record, n, &iter))
    gtk_list_store_set(store_of(record), &iter, PIXBUF_COLUMN, pixbuf, -1);
}

// The entry's "insert-text": insert the case-mapped text instead of the typed one.
void case_filter(GtkEditable* editable, const gchar* text, gint length, gint* position, int64_t flags,
                 gpointer handler) {
  const size_t size = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  char* mapped = static_cast<char*>(g_malloc(size + 1));
  std::memcpy(mapped, text, size);
  mapped[size] = '\0';
  combobox_case_map(flags, mapped, size);
  const auto match = static_cast<GSignalMatchType>(G_SIGNAL_MATCH_FUNC | G_SIGNAL_MATCH_DATA);
  g_signal_handlers_block_matched(editable, match, 0, 0, nullptr, handler, nullptr);
  gtk_editable_insert_text(editable, mapped, static_cast<gint>(size), position);
  g_signal_handlers_unblock_matched(editable, match, 0, 0, nullptr, handler, nullptr);
  g_signal_stop_emission_by_name(editable, "insert_text");
  g_free(mapped);
}

void lower_case_filter(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer);
void upper_case_filter(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer);

void lower_case_filter(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer) {
  case_filter(editable, text, length, position, COMBOBOX_LOWER_CASE, reinterpret_cast<gpointer>(lower_case_filter));
}

void upper_case_filter(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer) {
  case_filter(editable, text, length, position, COMBOBOX_UPPER_CASE, reinterpret_cast<gpointer>(upper_case_filter));
}

const GadgetOps& combo_ops() {
  static const GadgetOps ops = [] {
    GadgetOps o{};
    o.type = GADGET_COMBOBOX;
    o.activate = combo_activate;
    o.free = combo_free;
    o.get_state = combo_get_state;
    o.set_state = combo_set_state;
    o.get_text = combo_get_text;
    o.set_text = combo_set_text;
    o.add_item = combo_add_item;
    o.remove_item = combo_remove_item;
    o.clear_items = combo_clear_items;
    o.count_items = combo_count_items;
    o.get_item_text = combo_get_item_text;
    o.set_item_text = combo_set_item_text;
    o.set_font = combo_set_font;
    o.set_item_data = combo_set_item_data;
    o.get_item_data = combo_get_item_data;
    o.get_font = combo_get_font;
    o.set_item_image = combo_set_item_image;
    return o;
  }();
  return ops;
}

}  // namespace

void combobox_case_map(int64_t flags, char* bytes, size_t length) {
  // Only ASCII letters are mapped: every byte of a multi-byte UTF-8 character
  // is >= 0x80 and passes unchanged, whatever the process locale says about it.
  if (flags & COMBOBOX_LOWER_CASE) {
    for (size_t i = 0; i < length; ++i)
      if (bytes[i] >= 'A' && bytes[i] <= 'Z') bytes[i] = static_cast<char>(bytes[i] - 'A' + 'a');
  } else if (flags & COMBOBOX_UPPER_CASE) {
    for (size_t i = 0; i < length; ++i)
      if (bytes[i] >= 'a' && bytes[i] <= 'z') bytes[i] = static_cast<char>(bytes[i] - 'a' + 'A');
  }
}

int64_t combobox_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, int32_t flags) {
  const GadgetOps& ops = combo_ops();
  if (!gadget_list_ready()) return 0;
  GtkWidget* event_box = gtk_event_box_new();
  if (!event_box) return 0;
  auto* items = static_cast<ItemListState*>(mem_alloc(sizeof(ItemListState)));
  GtkListStore* store = items ? gtk_list_store_new(3, G_TYPE_POINTER, G_TYPE_STRING, gdk_pixbuf_get_type()) : nullptr;
  const bool editable = flags & COMBOBOX_EDITABLE;
  GtkWidget* combo = nullptr;
  if (store) {
    combo = editable ? gtk_combo_box_new_with_model_and_entry(GTK_TREE_MODEL(store))
                     : gtk_combo_box_new_with_model(GTK_TREE_MODEL(store));
    // The combo box holds the only reference to the store from here on.
    g_object_unref(store);
  }
  if (!combo) {
    if (items) mem_free(items);
    gadget_discard(event_box);
    return 0;
  }
  if (editable) {
    gtk_combo_box_set_entry_text_column(GTK_COMBO_BOX(combo), TEXT_COLUMN);
    gtk_cell_layout_clear(GTK_CELL_LAYOUT(combo));
  }
  GtkCellRenderer* pixbuf_cell = gtk_cell_renderer_pixbuf_new();
  gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(combo), pixbuf_cell, FALSE);
  gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(combo), pixbuf_cell, "pixbuf", PIXBUF_COLUMN);
  GtkCellRenderer* text_cell = gtk_cell_renderer_text_new();
  gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(combo), text_cell, TRUE);
  gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(combo), text_cell, "text", TEXT_COLUMN);

  ObjectValue value = 0;
  GadgetRecord* record = gadget_allocate(gadget, &value);
  if (!record) {
    mem_free(items);
    gadget_discard(combo);
    gadget_discard(event_box);
    return 0;
  }
  g_signal_connect(combo, "changed", G_CALLBACK(gadget_post_change), gadget_value_data(value));
  gtk_container_add(GTK_CONTAINER(event_box), combo);
  gadget_place(event_box, x, y);
  gadget_set_size(combo, w, h);
  gtk_widget_show_all(event_box);

  record->outer = event_box;
  record->widget = combo;
  set_items(record, items);
  set_text_cell(record, text_cell);
  record->ops = &ops;
  set_flags(record, flags);
  set_entry(record, nullptr);
  if (editable) {
    GtkWidget* entry = gtk_bin_get_child(GTK_BIN(combo));
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 0);
    set_entry(record, entry);
    g_object_set_data(G_OBJECT(entry), "kt_id", gadget_value_data(value + 1));
    if (flags & COMBOBOX_LOWER_CASE) g_signal_connect(entry, "insert-text", G_CALLBACK(lower_case_filter), nullptr);
    if (flags & COMBOBOX_UPPER_CASE) g_signal_connect(entry, "insert-text", G_CALLBACK(upper_case_filter), nullptr);
    g_signal_connect(entry, "focus-in-event", G_CALLBACK(gadget_post_focus), gadget_value_data(value));
    g_signal_connect(entry, "focus-out-event", G_CALLBACK(gadget_post_lost_focus), gadget_value_data(value));
  }
  items->store = store;
  items->data_column = DATA_COLUMN;
  items->text_columns = 1;
  items->column_map = g_list_append(nullptr, GINT_TO_POINTER(TEXT_COLUMN));
  gadget_register(record, value);
  return gadget_creation_result(gadget, record, value);
}

int64_t combobox_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h) {
  return combobox_gadget_create(gadget, x, y, w, h, 0);
}

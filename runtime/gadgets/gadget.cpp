// SPDX-License-Identifier: MIT
// Gadget core: registry, per-thread state, creation support, the common operations
// that dispatch through a type's GadgetOps, fonts, colours and the posting handlers.
#include "runtime/gadgets/gadget.h"

#include "runtime/gadgets/focus_frame.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "runtime/gui/color.h"
#include "runtime/gui/event.h"
#include "runtime/gui/window.h"

namespace {

ObjectRegistry* g_registry = nullptr;
int64_t g_segment = -1;
GtkCssProvider* g_css_provider = nullptr;

GadgetRecord* lookup(ObjectValue gadget) { return gadget_lookup(gadget); }

using ToolkitLock = GadgetToolkitLock;

// Program-made changes raise signals that must not become events.
class SuppressEvents {
 public:
  SuppressEvents() { event_suppress_begin(); }
  ~SuppressEvents() { event_suppress_end(); }
  SuppressEvents(const SuppressEvents&) = delete;
  SuppressEvents& operator=(const SuppressEvents&) = delete;
};

void segment_init(void* segment) {
  auto* state = static_cast<GadgetListState*>(segment);
  state->current = nullptr;
  state->depth = 0;
  state->default_font = nullptr;
}

GdkRGBA to_gdk(const ColorRgba& c) { return GdkRGBA{c.red, c.green, c.blue, c.alpha}; }

GtkWidget* top_widget(const GadgetRecord* record) {
  return GTK_WIDGET(record->outer ? record->outer : record->widget);
}

// Where a gadget's top widget sits and how big its sized widget (the top one or one inside
// it) is, in design units. The toolkit gets pixels at the desktop's text factor; each edge is
// scaled on its own, so gadgets that touch in design units touch in pixels and never overlap.
struct DesignGeometry {
  int32_t x, y, width, height;
  bool sized;
};

DesignGeometry* find_geometry(GtkWidget* widget) {
  return static_cast<DesignGeometry*>(g_object_get_data(G_OBJECT(widget), "kt_design_geometry"));
}

DesignGeometry* design_geometry(GtkWidget* widget) {
  DesignGeometry* geometry = find_geometry(widget);
  if (!geometry) {
    geometry = g_new0(DesignGeometry, 1);
    g_object_set_data_full(G_OBJECT(widget), "kt_design_geometry", geometry, g_free);
  }
  return geometry;
}

// The design size a gadget was given: its top widget's, else its primary widget's; null for none.
const DesignGeometry* stored_size(const GadgetRecord* record) {
  const DesignGeometry* g = find_geometry(top_widget(record));
  if (!(g && g->sized)) g = find_geometry(GTK_WIDGET(record->widget));
  return g && g->sized ? g : nullptr;
}

void apply_geometry(GtkWidget* widget) {
  GtkWidget* placed = widget;
  while (placed && gtk_widget_get_parent(placed) && !GTK_IS_LAYOUT(gtk_widget_get_parent(placed)))
    placed = gtk_widget_get_parent(placed);
  GtkWidget* layout = placed ? gtk_widget_get_parent(placed) : nullptr;
  const DesignGeometry* origin = layout ? design_geometry(placed) : nullptr;
  const int32_t x = origin ? origin->x : 0, y = origin ? origin->y : 0;
  if (layout && placed == widget) gtk_layout_move(GTK_LAYOUT(layout), widget, win_scaled(x), win_scaled(y));
  const DesignGeometry* g = design_geometry(widget);
  if (g->sized)
    gtk_widget_set_size_request(widget, g->width > 0 ? win_scaled_span(x, g->width) : g->width,
                                g->height > 0 ? win_scaled_span(y, g->height) : g->height);
}

// Sizes in points become other pixel sizes: every widget of a gadget computes its style (its
// fonts above all) again, which the toolkit leaves undone for fonts a gadget was given. Its text
// context drops the font measures it keeps from the old resolution (a GtkEntry would keep
// the height it once asked for), as a fresh start at the new factor has none.
void restyle(GtkWidget* widget, gpointer) {
  pango_context_changed(gtk_widget_get_pango_context(widget));
  if (auto* font = static_cast<PangoFontDescription*>(g_object_get_data(G_OBJECT(widget), "kt_gadget_font"))) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gtk_widget_override_font(widget, nullptr);
    gtk_widget_override_font(widget, font);
#pragma GCC diagnostic pop
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), restyle, nullptr);
}

void on_resolution_changed(GdkScreen*, GParamSpec*, gpointer) { gadget_relayout(); }

}  // namespace

GadgetUtf8::GadgetUtf8(UString s) : text_(ustr_to_utf8(s ? s : u"")) {}
GadgetUtf8::~GadgetUtf8() { g_free(text_); }

void gadget_init() {
  if (g_registry) return;
  g_registry = obj_registry_new(static_cast<int32_t>(sizeof(GadgetRecord)), 16, gadget_free);
  g_segment = tls_register_segment(static_cast<int64_t>(sizeof(GadgetListState)), segment_init, nullptr);
  gadget_list_set_segment(g_segment);
  GdkDisplay* display = gdk_display_get_default();
  if (display) {
    g_css_provider = gtk_css_provider_new();
    GdkScreen* screen = gdk_display_get_default_screen(display);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(g_css_provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_signal_connect(screen, "notify::resolution", G_CALLBACK(on_resolution_changed), nullptr);
  }
}

ObjectRegistry* gadget_registry() { return g_registry; }

GadgetListState* gadget_state() {
  if (g_segment < 0) return nullptr;
  return static_cast<GadgetListState*>(tls_segment(g_segment));
}

int64_t gadget_get_state(ObjectValue gadget) {
  GadgetRecord* record = lookup(gadget);
  if (!record || !record->ops->get_state) return 0;
  return record->ops->get_state(record);
}

void gadget_set_text(ObjectValue gadget, UString text) {
  ustr_stack_enter();
  GadgetRecord* record = lookup(gadget);
  if (!record || !record->ops->set_text) return;
  ToolkitLock lock;
  GadgetUtf8 copy(text);
  SuppressEvents quiet;
  record->ops->set_text(record, copy.get());
}

void gadget_get_text(ObjectValue gadget, int64_t position) {
  ustr_stack_enter();
  GadgetRecord* record = lookup(gadget);
  if (!record || !record->ops->get_text) {
    ustr_push_utf8("", position);
    return;
  }
  ToolkitLock lock;
  record->ops->get_text(record, position);
}

int64_t gadget_add_item(ObjectValue gadget, int32_t position, UString text, void* image) {
  ustr_stack_enter();
  GadgetRecord* record = lookup(gadget);
  if (!record || !record->ops->add_item) return 0;
  ToolkitLock lock;
  GadgetUtf8 copy(text);
  SuppressEvents quiet;
  return record->ops->add_item(record, position, copy.get(), image);
}

int64_t gadget_add_item(ObjectValue gadget, int32_t position, UString text) {
  return gadget_add_item(gadget, position, text, nullptr);
}

void gadget_set_color(ObjectValue gadget, int32_t kind, int32_t color) {
  GadgetRecord* record = lookup(gadget);
  if (!record || !record->ops->set_color) return;
  ToolkitLock lock;
  record->ops->set_color(record, kind, color);
}

void gadget_set_font(ObjectValue gadget, int64_t font) {
  void* description = font == -1 ? nullptr : reinterpret_cast<void*>(static_cast<intptr_t>(font));
  if (gadget == ANY_NUMBER) {
    if (GadgetListState* state = gadget_state()) state->default_font = description;
    return;
  }
  GadgetRecord* record = lookup(gadget);
  if (!record || !record->ops->set_font) return;
  ToolkitLock lock;
  record->ops->set_font(record, description);
}

void gadget_resize(ObjectValue gadget, int32_t x, int32_t y, int32_t width, int32_t height) {
  GadgetRecord* record = lookup(gadget);
  if (!record) return;
  ToolkitLock lock;
  GtkWidget* w = top_widget(record);
  const bool was_hidden = !gtk_widget_get_visible(w);
  if (was_hidden) gtk_widget_show(w);
  DesignGeometry* g = design_geometry(w);
  if (x != KEEP_VALUE) g->x = x;
  if (y != KEEP_VALUE) g->y = y;
  if (width != KEEP_VALUE || height != KEEP_VALUE) {
    // A kept size is the stored design size; only a gadget without one takes its least size.
    const DesignGeometry* kept = stored_size(record);
    GtkRequisition minimum{0, 0};
    if (!kept) gtk_widget_get_preferred_size(w, &minimum, nullptr);
    const int32_t new_width = width != KEEP_VALUE ? width : kept ? kept->width : win_unscaled(minimum.width);
    const int32_t new_height = height != KEEP_VALUE ? height : kept ? kept->height : win_unscaled(minimum.height);
    if (new_width > 0 && new_height > 0) {
      g->width = new_width;
      g->height = new_height;
      g->sized = true;
    }
  }
  apply_geometry(w);
  if (was_hidden) gtk_widget_hide(w);
}

// The requested size of the gadget's top widget; when that has no request at all,
// the primary widget's. Not found gives 0 x 0.
static void requested_size(ObjectValue gadget, gint* width, gint* height) {
  *width = *height = 0;
  GadgetRecord* record = lookup(gadget);
  if (!record) return;
  GtkWidget* w = top_widget(record);
  if (const DesignGeometry* g = stored_size(record)) {
    *width = g->width;
    *height = g->height;
    return;
  }
  gtk_widget_get_size_request(w, width, height);
  if (*width == -1 && *height == -1 && w != record->widget)
    gtk_widget_get_size_request(GTK_WIDGET(record->widget), width, height);
}

int64_t gadget_width(ObjectValue gadget) {
  gint width, height;
  requested_size(gadget, &width, &height);
  return width;
}

int64_t gadget_height(ObjectValue gadget) {
  gint width, height;
  requested_size(gadget, &width, &height);
  return height;
}

void gadget_free(ObjectValue gadget) {
  if (!g_registry) return;
  if (gadget == ANY_NUMBER) {
    obj_free_all(g_registry);
    return;
  }
  GadgetRecord* record = lookup(gadget);
  if (!record) return;
  // The primary widget's "destroy" handler releases the record.
  gtk_widget_destroy(top_widget(record));
}

bool gadget_list_ready() {
  GadgetListState* state = gadget_state();
  return g_registry && state && state->current && GTK_IS_LAYOUT(state->current);
}

void gadget_place(void* widget, int32_t x, int32_t y) {
  GadgetListState* state = gadget_state();
  if (!state || !state->current || !GTK_IS_LAYOUT(state->current)) return;
  DesignGeometry* g = design_geometry(GTK_WIDGET(widget));
  g->x = x;
  g->y = y;
  gtk_layout_put(GTK_LAYOUT(state->current), GTK_WIDGET(widget), win_scaled(x), win_scaled(y));
  apply_geometry(GTK_WIDGET(widget));
  focus_frame_attach(state->current);
}

void gadget_set_size(void* widget, int32_t width, int32_t height) {
  DesignGeometry* g = design_geometry(GTK_WIDGET(widget));
  g->width = width;
  g->height = height;
  g->sized = true;
  apply_geometry(GTK_WIDGET(widget));
}

void gadget_relayout() {
  if (!g_registry) return;
  ToolkitLock lock;
  obj_enum_begin(g_registry);
  ObjectValue value = 0;
  while (auto* record = static_cast<GadgetRecord*>(obj_enum_next(g_registry, &value))) {
    if (!record->widget) continue;
    apply_geometry(top_widget(record));
    restyle(top_widget(record), nullptr);
    if (record->outer && find_geometry(GTK_WIDGET(record->widget))) apply_geometry(GTK_WIDGET(record->widget));
  }
}

void gadget_discard(void* widget) {
  if (!widget) return;
  g_object_ref_sink(widget);
  gtk_widget_destroy(GTK_WIDGET(widget));
  g_object_unref(widget);
}

GadgetRecord* gadget_allocate(ObjectValue value, ObjectValue* gadget_value) {
  if (!g_registry) return nullptr;
  auto* record = static_cast<GadgetRecord*>(obj_allocate(g_registry, value));
  if (record) *gadget_value = value == ANY_NUMBER ? static_cast<ObjectValue>(reinterpret_cast<intptr_t>(record)) : value;
  return record;
}

int64_t gadget_creation_result(ObjectValue requested, const GadgetRecord* record, ObjectValue gadget_value) {
  if (requested == ANY_NUMBER) return gadget_value;
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(record->widget));
}

void gadget_register(GadgetRecord* record, ObjectValue value) {
  GtkWidget* widget = GTK_WIDGET(record->widget);
  gtk_widget_realize(widget);
  GadgetListState* state = gadget_state();
  if (state && state->default_font && record->ops->set_font) record->ops->set_font(record, state->default_font);
  g_signal_connect(widget, "destroy", G_CALLBACK(gadget_on_destroy), gadget_value_data(value));
  g_object_set_data(G_OBJECT(widget), "kt_id", gadget_value_data(value + 1));
  events_flush();
}

void gadget_on_destroy(void* widget, void* value) {
  // "kt_id" is cleared below, so a second "destroy" of the same widget never
  // looks at a record that has already been released.
  if (!g_object_get_data(G_OBJECT(widget), "kt_id")) return;
  g_object_set_data(G_OBJECT(widget), "kt_id", nullptr);
  const ObjectValue gadget = gadget_data_value(value);
  GadgetRecord* record = lookup(gadget);
  if (!record || record->widget != widget) return;
  if (record->ops && record->ops->free) record->ops->free(record);
  obj_release(g_registry, gadget);
}

// The widget keeps its own copy of the font description: a font freed while the gadget lives
// must not be read when a change of text factor restyles it, or when its font is asked for.
void gadget_widget_set_font(void* widget, void* font) {
  if (font)
    g_object_set_data_full(G_OBJECT(widget), "kt_gadget_font",
                           pango_font_description_copy(static_cast<PangoFontDescription*>(font)),
                           +[](gpointer copy) { pango_font_description_free(static_cast<PangoFontDescription*>(copy)); });
  else g_object_set_data(G_OBJECT(widget), "kt_gadget_font", nullptr);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_widget_override_font(GTK_WIDGET(widget), static_cast<PangoFontDescription*>(font));
#pragma GCC diagnostic pop
}

void* gadget_widget_get_font(void* widget) {
  if (void* font = g_object_get_data(G_OBJECT(widget), "kt_gadget_font")) return font;
  GtkStyleContext* context = gtk_widget_get_style_context(GTK_WIDGET(widget));
  if (!context) return nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const PangoFontDescription* font = gtk_style_context_get_font(context, GTK_STATE_FLAG_NORMAL);
#pragma GCC diagnostic pop
  return const_cast<PangoFontDescription*>(font);
}

namespace {
// Words A and B of a Text or Editor record: its own front and back colours, as colour words.
int64_t& front_color_word(GadgetRecord* record) { return record->a; }
int64_t& back_color_word(GadgetRecord* record) { return record->b; }
}  // namespace

void gadget_apply_color(GadgetRecord* record, int32_t kind, int32_t color, void* target) {
  if (kind == COLOR_FRONT) front_color_word(record) = color_word(color);
  if (kind == COLOR_BACK) back_color_word(record) = color_word(color);
  if (kind != COLOR_FRONT && kind != COLOR_BACK) return;
  const GdkRGBA normal = to_gdk(color_unpack(color));
  const GdkRGBA contrast = to_gdk(color_unpack(color_contrast(color)));
  const bool reset = color == COLOR_NONE;
  const GdkRGBA* normal_ptr = reset ? nullptr : &normal;
  const GdkRGBA* contrast_ptr = reset ? nullptr : &contrast;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (kind == COLOR_FRONT) {
    gtk_widget_override_color(GTK_WIDGET(target), GTK_STATE_FLAG_NORMAL, normal_ptr);
    return;
  }
  GtkWidget* widgets[2] = {GTK_WIDGET(target), record->outer ? GTK_WIDGET(record->outer) : nullptr};
  for (GtkWidget* w : widgets) {
    if (!w) continue;
    gtk_widget_override_background_color(w, GTK_STATE_FLAG_NORMAL, normal_ptr);
    gtk_widget_override_background_color(w, GTK_STATE_FLAG_SELECTED, contrast_ptr);
    gtk_widget_override_color(w, GTK_STATE_FLAG_SELECTED, normal_ptr);
  }
#pragma GCC diagnostic pop
}

int32_t gadget_get_color_words(GadgetRecord* record, int32_t kind) {
  if (kind == COLOR_FRONT) return color_from_word(front_color_word(record));
  if (kind == COLOR_BACK) return color_from_word(back_color_word(record));
  return COLOR_NONE;
}

int64_t gadget_window_of(void* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(widget));
  if (!top || !gtk_widget_is_toplevel(top)) return -1;
  return gadget_data_value(g_object_get_data(G_OBJECT(top), "kt_id"));
}

void gadget_post_click(void* widget, void* value) {
  if (event_peek_type() == EVENT_CLOSE_WINDOW) return;
  event_post(EVENT_GADGET, gadget_data_value(value), gadget_window_of(widget), GADGET_EVENT_LEFT_CLICK);
}

void gadget_post_change(void* widget, void* value) {
  event_post(EVENT_GADGET, gadget_data_value(value), gadget_window_of(widget), GADGET_EVENT_CHANGE);
}

int gadget_post_focus(void* widget, void*, void* value) {
  event_post(EVENT_GADGET, gadget_data_value(value), gadget_window_of(widget), GADGET_EVENT_FOCUS);
  return FALSE;
}

int gadget_post_lost_focus(void* widget, void*, void* value) {
  event_post(EVENT_GADGET, gadget_data_value(value), gadget_window_of(widget), GADGET_EVENT_LOST_FOCUS);
  return FALSE;
}

GadgetRecord* gadget_lookup(ObjectValue gadget) {
  if (!g_registry) return nullptr;
  return static_cast<GadgetRecord*>(obj_get(g_registry, gadget));
}

GadgetToolkitLock::GadgetToolkitLock() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gdk_threads_enter();
#pragma GCC diagnostic pop
}

namespace {

// On X11 gdk_flush waits until the server has handled every request sent so far (a round
// trip). When the server has already answered the last request made, the wait has nothing
// to wait for; a window's construction makes dozens of such operations in a row.
bool toolkit_requests_outstanding() {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gdk_display_get_default();
  if (display && GDK_IS_X11_DISPLAY(display)) {
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    return NextRequest(x) - 1 != LastKnownRequestProcessed(x);
  }
#endif
  return true;
}

}  // namespace

GadgetToolkitLock::~GadgetToolkitLock() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (toolkit_requests_outstanding()) gdk_flush();
  gdk_threads_leave();
#pragma GCC diagnostic pop
}

// SPDX-License-Identifier: MIT
// Windows: a toplevel GtkWindow holding a vertical box with one GtkLayout, the
// window's gadget area. Every toolkit signal of interest becomes a queued event.

#include "runtime/gui/window.h"

#include "runtime/gui/color.h"
#include "runtime/gui/event.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct GFreeDeleter {
  void operator()(char* p) const { g_free(p); }
};
using Utf8 = std::unique_ptr<char, GFreeDeleter>;

ObjectRegistry* g_windows = nullptr;

gpointer value_to_pointer(ObjectValue value) { return reinterpret_cast<gpointer>(static_cast<intptr_t>(value)); }
ObjectValue pointer_to_value(gpointer p) { return static_cast<ObjectValue>(reinterpret_cast<intptr_t>(p)); }

void set_int(GtkWidget* w, const char* key, int64_t v) { g_object_set_data(G_OBJECT(w), key, value_to_pointer(v)); }
int64_t get_int(GtkWidget* w, const char* key) { return pointer_to_value(g_object_get_data(G_OBJECT(w), key)); }

WindowRecord* open_record(ObjectValue value) { return static_cast<WindowRecord*>(obj_get(g_windows, value)); }
GtkWidget* toolkit_window(ObjectValue value) {
  WindowRecord* r = open_record(value);
  return r ? static_cast<GtkWidget*>(r->window) : nullptr;
}

void post(int32_t type, gpointer value) { event_post(type, 0, pointer_to_value(value), 0); }

// --- Signal handlers on the toplevel window -------------------------------------

void on_style_updated(GtkWidget* window, gpointer);

void on_destroy(GtkWidget* widget, gpointer data) {
  // The gadget area is destroyed before the window is: a style change arriving meanwhile
  // must not reach the area through the window.
  g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(on_style_updated), nullptr);
  const ObjectValue value = pointer_to_value(data);
  // Only the record that still names this very widget is released: a stale handler
  // must not take a record that meanwhile belongs to another window.
  WindowRecord* r = open_record(value);
  if (!r || r->window != widget) return;
  event_purge_window(value);
  obj_release(g_windows, value);
}

gboolean on_configure(GtkWidget* widget, GdkEventConfigure* ev, gpointer data) {
  // The inner size: the event's size without the title bar and shadow that the toolkit
  // draws itself on Wayland (without them, as on X11, it is the event's size).
  // Reported in design units, as the window was opened: the same numbers at every text factor.
  // Only a new size in pixels is looked at: a configure that still has the old pixels after a
  // change of text factor is not a size in the new factor's units.
  int width = ev->width, height = ev->height;
  gtk_window_get_size(GTK_WINDOW(widget), &width, &height);
  if (width != get_int(widget, "kt_pixel_width") || height != get_int(widget, "kt_pixel_height")) {
    set_int(widget, "kt_pixel_width", width);
    set_int(widget, "kt_pixel_height", height);
    width = win_unscaled(width);
    height = win_unscaled(height);
    if (width != get_int(widget, "kt_previous_width") || height != get_int(widget, "kt_previous_height")) {
      set_int(widget, "kt_previous_width", width);
      set_int(widget, "kt_previous_height", height);
      post(EVENT_SIZE_WINDOW, data);
    }
  }
  if (ev->x != get_int(widget, "kt_previous_x") || ev->y != get_int(widget, "kt_previous_y")) {
    set_int(widget, "kt_previous_x", ev->x);
    set_int(widget, "kt_previous_y", ev->y);
    post(EVENT_MOVE_WINDOW, data);
  }
  return FALSE;
}

gboolean on_window_state(GtkWidget*, GdkEventWindowState* ev, gpointer data) {
  const bool iconified = ev->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
  const bool maximized = ev->new_window_state & GDK_WINDOW_STATE_MAXIMIZED;
  if (ev->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    post(iconified ? EVENT_MINIMIZE_WINDOW : maximized ? EVENT_MAXIMIZE_WINDOW : EVENT_RESTORE_WINDOW, data);
  } else if (ev->changed_mask & GDK_WINDOW_STATE_MAXIMIZED) {
    post(maximized ? EVENT_MAXIMIZE_WINDOW : EVENT_RESTORE_WINDOW, data);
  }
  return FALSE;
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
  post(EVENT_CLOSE_WINDOW, data);
  return TRUE;  // the program decides whether to close
}

gboolean on_focus_in(GtkWidget*, GdkEventFocus*, gpointer data) {
  post(EVENT_ACTIVATE_WINDOW, data);
  return FALSE;
}

gboolean on_focus_out(GtkWidget*, GdkEventFocus*, gpointer data) {
  post(EVENT_DEACTIVATE_WINDOW, data);
  return FALSE;
}

// Ctrl+W and Ctrl+Q (with nothing else held) send the window the same close request the
// window manager sends, so the program sees its usual close event.
gboolean on_close_key(GtkWidget* window, GdkEventKey* event, gpointer) {
  const guint key = gdk_keyval_to_lower(event->keyval);
  if ((event->state & gtk_accelerator_get_default_mod_mask()) != GDK_CONTROL_MASK) return FALSE;
  if (key != GDK_KEY_w && key != GDK_KEY_q) return FALSE;
  gtk_window_close(GTK_WINDOW(window));
  return TRUE;
}

gboolean on_motion(GtkWidget*, GdkEventMotion*, gpointer data) {
  post(EVENT_MOUSE_MOVE, data);
  return FALSE;
}

// --- Signal handlers on the gadget area -------------------------------------------

gboolean restore_focus(gpointer window) {
  gtk_window_set_accept_focus(GTK_WINDOW(window), TRUE);
  return G_SOURCE_REMOVE;
}

gboolean on_draw(GtkWidget* area, cairo_t* cr, gpointer data) {
  // A GtkLayout does not paint its own background, so the colour given with
  // gtk_widget_modify_bg would never show; paint it here, below the gadgets.
  gtk_render_background(gtk_widget_get_style_context(area), cr, 0, 0, gtk_widget_get_allocated_width(area),
                        gtk_widget_get_allocated_height(area));
  post(EVENT_REPAINT, data);
  GtkWidget* top = gtk_widget_get_toplevel(area);
  if (GTK_IS_WINDOW(top) && g_object_get_data(G_OBJECT(top), "kt_restore_focus")) {
    g_object_set_data(G_OBJECT(top), "kt_restore_focus", nullptr);
    // The timeout keeps its own reference, so a window closed within the 50 ms is
    // not touched after it is gone.
    g_timeout_add_full(G_PRIORITY_DEFAULT, 50, restore_focus, g_object_ref(top), g_object_unref);
  }
  return FALSE;
}

gboolean on_button(GtkWidget*, GdkEventButton* ev, gpointer data) {
  if (ev->type == GDK_2BUTTON_PRESS && ev->button == 1) post(EVENT_LEFT_DOUBLE_CLICK, data);
  else if (ev->type == GDK_BUTTON_RELEASE && ev->button == 1) post(EVENT_LEFT_CLICK, data);
  else if (ev->type == GDK_BUTTON_RELEASE && ev->button == 3) post(EVENT_RIGHT_CLICK, data);
  return FALSE;
}

// Text without a colour of its own inherits the gadget area's. Under a theme whose text
// does not stand out from the colour win_set_color gave the area (light text of a dark
// theme on a light colour, or the faded text of an unfocused window), the area's text takes
// a colour fitted to it, by one rule for the focused and the unfocused ("backdrop") state.
// "kt_color" keeps the colour the area shows as a colour word (0: win_set_color was never called).
void fit_area_text_color(GtkWidget* window) {
  const int64_t shown = get_int(window, "kt_color");
  auto* area = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "kt_gadgetlist"));
  if (!shown || !area) return;
  for (GtkStateFlags state : {GTK_STATE_FLAG_NORMAL, GTK_STATE_FLAG_BACKDROP}) {
    GdkRGBA theme{};
    gtk_style_context_get_color(gtk_widget_get_style_context(window), state, &theme);
    const int32_t fitted =
        color_fit(color_from_word(shown), color_from_components(theme.red, theme.green, theme.blue));
    const ColorRgba c = color_unpack(fitted);
    const GdkRGBA text{c.red, c.green, c.blue, c.alpha};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gtk_widget_override_color(area, state, fitted == COLOR_NONE ? nullptr : &text);
#pragma GCC diagnostic pop
  }
}

// A theme change restyles the toplevel; the area's text colour is chosen again for it.
void on_style_updated(GtkWidget* window, gpointer) { fit_area_text_color(window); }

// The gadget area of a window; a fixed-size window's area requests that size itself.
GtkWidget* build_gadget_area(GtkWidget* window, int32_t fixed_width, int32_t fixed_height) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  GtkWidget* area = gtk_layout_new(nullptr, nullptr);
  if (fixed_width >= 0 || fixed_height >= 0) gtk_widget_set_size_request(area, fixed_width, fixed_height);
  gtk_box_pack_start(GTK_BOX(box), area, TRUE, TRUE, 0);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GtkStyle* style = gtk_widget_get_style(window)) gtk_widget_modify_bg(area, GTK_STATE_NORMAL, &style->bg[GTK_STATE_NORMAL]);
#pragma GCC diagnostic pop
  gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  return area;
}

void apply_decorations(GtkWidget* window, int32_t flags, bool resizable) {
  int decorations = GDK_DECOR_TITLE | GDK_DECOR_BORDER;
  int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
  if (resizable) {
    decorations |= GDK_DECOR_RESIZEH | GDK_DECOR_BORDER;
    functions |= GDK_FUNC_RESIZE;
  }
  if (flags & WINDOW_MINIMIZE_GADGET) {
    decorations |= GDK_DECOR_MINIMIZE | GDK_DECOR_TITLE | GDK_DECOR_BORDER;
    functions |= GDK_FUNC_MINIMIZE;
  }
  if (flags & WINDOW_MAXIMIZE_GADGET) {
    decorations |= GDK_DECOR_MAXIMIZE | GDK_DECOR_TITLE | GDK_DECOR_BORDER;
    functions |= GDK_FUNC_MAXIMIZE;
  }
  if (flags & WINDOW_SYSTEM_MENU) decorations |= GDK_DECOR_MENU | GDK_DECOR_TITLE | GDK_DECOR_BORDER;
  if (flags & WINDOW_BORDERLESS) decorations = 0;
  GdkWindow* gdk = gtk_widget_get_window(window);
  if (!gdk) return;
  gdk_window_set_decorations(gdk, static_cast<GdkWMDecoration>(decorations));
  gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(functions));
}

// The window's size in pixels at the current text factor: a fixed-size window's gadget area
// requests it, a resizable one is resized to it.
void apply_text_factor(GtkWidget* window) {
  auto* area = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "kt_gadgetlist"));
  auto size = [&](const char* key) { return static_cast<int32_t>(get_int(window, key)); };
  if (gtk_window_get_resizable(GTK_WINDOW(window))) {
    const int32_t width = size("kt_previous_width"), height = size("kt_previous_height");
    if (width > 0 && height > 0) gtk_window_resize(GTK_WINDOW(window), win_scaled(width), win_scaled(height));
  } else if (area) {
    const int32_t width = size("kt_design_width"), height = size("kt_design_height");
    gtk_widget_set_size_request(area, width < 0 ? -1 : win_scaled(width), height < 0 ? -1 : win_scaled(height));
    // A fixed-size window grows with its area by itself, but shrinks only when told, and
    // never below its default size.
    gtk_window_set_default_size(GTK_WINDOW(window), width < 0 ? -1 : win_scaled(width),
                                height < 0 ? -1 : win_scaled(height));
    gtk_window_resize(GTK_WINDOW(window), 1, 1);
  }
}

// The desktop's text size changed (Large Text, Xft.dpi): every window takes its new size;
// the gadget layer places the gadgets again through its own handler of the same change.
void on_resolution_changed(GdkScreen*, GParamSpec*, gpointer) {
  if (!g_windows) return;
  obj_enum_begin(g_windows);
  ObjectValue value = 0;
  while (auto* record = static_cast<WindowRecord*>(obj_enum_next(g_windows, &value)))
    if (record->window) apply_text_factor(static_cast<GtkWidget*>(record->window));
}

}  // namespace

void win_library_init() {
  if (g_windows) return;
  g_windows = obj_registry_new(sizeof(WindowRecord), 16, win_close);
  if (GdkScreen* screen = gdk_screen_get_default())
    g_signal_connect(screen, "notify::resolution", G_CALLBACK(on_resolution_changed), nullptr);
}

double win_text_factor() {
  GdkScreen* screen = gdk_screen_get_default();
  const double dpi = screen ? gdk_screen_get_resolution(screen) : -1;
  // In steps of 1/1024, as the toolkit's own dpi setting: a resolution a rounding away from
  // 96 dpi (GDK_DPI_SCALE times an integer setting) is factor 1, not a hair beside it.
  // Never below 1: the theme's controls do not shrink with smaller text, so neither does the layout.
  return dpi > 0 ? std::max(1.0, std::round(dpi / 96.0 * 1024) / 1024) : 1.0;
}

namespace {

// A design coordinate as pixels in 64 bits, where every int32_t coordinate and edge fits.
int64_t scaled_wide(int64_t design) {
  const double factor = win_text_factor();
  return factor == 1.0 ? design : std::llround(static_cast<double>(design) * factor);
}

int32_t clamped(int64_t pixels) { return static_cast<int32_t>(std::clamp<int64_t>(pixels, INT32_MIN, INT32_MAX)); }

}  // namespace

int32_t win_scaled(int32_t design) { return clamped(scaled_wide(design)); }

int32_t win_scaled_span(int32_t start, int32_t length) {
  return clamped(scaled_wide(int64_t{start} + length) - scaled_wide(start));
}

int32_t win_unscaled(int32_t pixels) {
  const double factor = win_text_factor();
  return factor == 1.0 ? pixels : static_cast<int32_t>(std::lround(pixels / factor));
}

int64_t win_open(ObjectValue value, int32_t x, int32_t y, int32_t width, int32_t height, UString title,
                 int32_t flags, void* parent_ptr) {
  if (x == IGNORE_POSITION || y == IGNORE_POSITION) flags |= WINDOW_SCREEN_CENTERED;
  // A negative size is passed on as the toolkit's "unset" (-1): GTK refuses anything below -1
  // with a warning and ignores the call, which leaves the size unset all the same. The size is
  // stored as given, in design units; the toolkit gets it in pixels at the text factor.
  const gint toolkit_width = width < 0 ? -1 : win_scaled(width);
  const gint toolkit_height = height < 0 ? -1 : win_scaled(height);
  GtkWidget* parent = parent_ptr && GTK_IS_WINDOW(parent_ptr) ? static_cast<GtkWidget*>(parent_ptr) : nullptr;

  auto* record = static_cast<WindowRecord*>(obj_allocate(g_windows, value));
  if (!record) return 0;
  const ObjectValue wv = value == ANY_NUMBER ? static_cast<ObjectValue>(reinterpret_cast<intptr_t>(record)) : value;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (!window) {
    obj_release(g_windows, wv);
    return 0;
  }
  GtkWindow* gw = GTK_WINDOW(window);
  {
    Utf8 text(ustr_to_utf8(title));
    gtk_window_set_title(gw, text ? text.get() : "");
  }
  gtk_window_set_default_size(gw, toolkit_width, toolkit_height);
  set_int(window, "kt_previous_width", width);
  set_int(window, "kt_previous_height", height);
  set_int(window, "kt_design_width", width);
  set_int(window, "kt_design_height", height);
  if (!(flags & (WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED))) gtk_window_move(gw, x, y);

  // A fixed size is requested on the gadget area, not on the toplevel: where the toolkit
  // draws the title bar and shadow itself (Wayland), a toplevel's request includes them and
  // would cut the gadget area short. The default size is the inner size everywhere.
  const bool resizable = flags & (WINDOW_SIZE_GADGET | WINDOW_MAXIMIZE_GADGET);
  if (resizable) {
    gtk_widget_set_size_request(window, 30, 30);
  } else {
    gtk_window_set_resizable(gw, FALSE);
  }
  gtk_widget_realize(window);
  if (flags & WINDOW_TOOL) {
    gtk_window_set_type_hint(gw, GDK_WINDOW_TYPE_HINT_UTILITY);
    gtk_window_set_skip_taskbar_hint(gw, FALSE);
    gtk_window_set_skip_pager_hint(gw, FALSE);
    flags &= ~(WINDOW_MAXIMIZE_GADGET | WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE | WINDOW_MINIMIZE);
  }
  apply_decorations(window, flags, resizable);
  if (flags & (WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED)) win_center(window, flags, parent);

  GtkWidget* area = resizable ? build_gadget_area(window, -1, -1)
                              : build_gadget_area(window, toolkit_width, toolkit_height);
  g_object_set_data(G_OBJECT(window), "kt_gadgetlist", area);  // unowned: the window holds the area
  gpointer data = value_to_pointer(wv);
  g_signal_connect(area, "draw", G_CALLBACK(on_draw), data);
  g_signal_connect(area, "button-press-event", G_CALLBACK(on_button), data);
  g_signal_connect(area, "button-release-event", G_CALLBACK(on_button), data);
  gtk_widget_show_all(gtk_bin_get_child(GTK_BIN(window)));
  if (parent) gtk_window_set_transient_for(gw, GTK_WINDOW(parent));

  g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), data);
  g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), data);
  g_signal_connect(window, "window-state-event", G_CALLBACK(on_window_state), data);
  set_int(window, "kt_id", wv);
  g_signal_connect(window, "delete-event", G_CALLBACK(on_delete), data);
  g_signal_connect(window, "focus-in-event", G_CALLBACK(on_focus_in), data);
  g_signal_connect(window, "focus-out-event", G_CALLBACK(on_focus_out), data);
  g_signal_connect(window, "motion-notify-event", G_CALLBACK(on_motion), data);
  g_signal_connect(window, "style-updated", G_CALLBACK(on_style_updated), nullptr);
  record->window = window;

  if (flags & WINDOW_MAXIMIZE) win_set_state(wv, WINDOW_MAXIMIZE);
  else if (flags & WINDOW_MINIMIZE) win_set_state(wv, WINDOW_MINIMIZE);
  if (!(flags & WINDOW_INVISIBLE)) {
    if (flags & WINDOW_NO_ACTIVATE) {
      gtk_window_set_accept_focus(gw, FALSE);
      set_int(window, "kt_restore_focus", 1);
    }
    gtk_widget_show_now(window);
  }
  events_flush();
  if (!(flags & WINDOW_NO_GADGET_LIST)) gadget_list_use(window);
  return value == ANY_NUMBER ? wv : static_cast<int64_t>(reinterpret_cast<intptr_t>(window));
}

void win_center(void* window_ptr, int32_t flags, void* parent_ptr) {
  if (!window_ptr || !GTK_IS_WINDOW(window_ptr)) return;
  GtkWidget* window = static_cast<GtkWidget*>(window_ptr);
  GdkRectangle area{};
  if (flags & WINDOW_SCREEN_CENTERED) {
    GdkScreen* screen = gtk_window_get_screen(GTK_WINDOW(window));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    area.width = gdk_screen_get_width(screen);
    area.height = gdk_screen_get_height(screen);
#pragma GCC diagnostic pop
  } else if ((flags & WINDOW_PARENT_CENTERED) && parent_ptr && GTK_IS_WIDGET(parent_ptr)) {
    GdkWindow* parent_gdk = gtk_widget_get_window(static_cast<GtkWidget*>(parent_ptr));
    if (!parent_gdk) return;
    gdk_window_get_frame_extents(parent_gdk, &area);
  } else {
    return;
  }
  GdkRectangle own{};
  if (GdkWindow* gdk = gtk_widget_get_window(window)) gdk_window_get_frame_extents(gdk, &own);
  if (const int64_t w = get_int(window, "kt_previous_width")) own.width = win_scaled(static_cast<int32_t>(w));
  if (const int64_t h = get_int(window, "kt_previous_height")) own.height = win_scaled(static_cast<int32_t>(h));
  const int x = area.x + area.width / 2 - own.width / 2;
  const int y = area.y + area.height / 2 - own.height / 2;
  gtk_window_move(GTK_WINDOW(window), x, y);
}

void win_close(ObjectValue value) {
  if (value == ANY_NUMBER) {
    obj_free_all(g_windows);
    return;
  }
  GtkWidget* window = toolkit_window(value);
  if (!window) return;
  gtk_widget_destroy(window);
  events_flush();
  event_purge_window(value);
}

void win_add_close_keys(ObjectValue value) {
  if (GtkWidget* window = toolkit_window(value)) g_signal_connect(window, "key-press-event", G_CALLBACK(on_close_key), nullptr);
}

void win_close_all() {
  if (!g_windows) return;
  obj_enum_begin(g_windows);
  ObjectValue value = 0;
  while (obj_enum_next(g_windows, &value)) win_close(value);
}

static int64_t window_size(ObjectValue value, int32_t mode, bool want_width) {
  GtkWidget* window = toolkit_window(value);
  if (!window) return 0;
  if (mode == WINDOW_INNER_SIZE) {
    if (const int64_t stored = get_int(window, want_width ? "kt_previous_width" : "kt_previous_height")) return stored;
    int w = 0, h = 0;
    gtk_window_get_size(GTK_WINDOW(window), &w, &h);
    return want_width ? w : h;
  }
  auto* area = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "kt_gadgetlist"));
  GdkWindow* holder = area ? gtk_widget_get_parent_window(area) : nullptr;
  if (!holder) return 0;
  GdkRectangle frame{};
  gdk_window_get_frame_extents(holder, &frame);
  return win_unscaled(want_width ? frame.width : frame.height);
}

int64_t win_width(ObjectValue value, int32_t mode) { return window_size(value, mode, true); }
int64_t win_height(ObjectValue value, int32_t mode) { return window_size(value, mode, false); }

void win_set_state(ObjectValue value, int32_t state) {
  GtkWidget* window = toolkit_window(value);
  if (!window) return;
  GtkWindow* gw = GTK_WINDOW(window);
  if (state == WINDOW_MAXIMIZE) {
    gtk_window_maximize(gw);
    gtk_window_deiconify(gw);
  } else if (state == WINDOW_MINIMIZE) {
    gtk_window_iconify(gw);
  } else {
    gtk_window_unmaximize(gw);
    gtk_window_deiconify(gw);
  }
}

void win_set_color(ObjectValue value, int32_t color) {
  GtkWidget* window = toolkit_window(value);
  if (!window) return;
  auto* target = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "kt_gadgetlist"));
  if (!target) target = window;
  GdkColor c{};
  c.red = static_cast<guint16>((color & 0xFF) * 256);
  c.green = static_cast<guint16>(color & 0xFF00);
  c.blue = static_cast<guint16>(((color >> 16) & 0xFF) * 256);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_widget_modify_bg(target, GTK_STATE_NORMAL, &c);
#pragma GCC diagnostic pop
  // The area shows the low 24 bits (-1 shows white); the text is fitted to what it shows.
  set_int(window, "kt_color", color_word(color & 0xFFFFFF));
  fit_area_text_color(window);
  gtk_widget_queue_draw(target);
}

void* win_widget(ObjectValue value) { return toolkit_window(value); }

ObjectRegistry* win_registry() { return g_windows; }

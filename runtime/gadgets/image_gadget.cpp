// SPDX-License-Identifier: MIT
// Image gadget: a GtkImage (aligned top left) in an optional frame inside a window-less
// event box. The event box receives the pointer: presses remember a pending click kind,
// releases inside the gadget post it, and motion with button 1 held past the toolkit's
// drag threshold posts one drag start per press. With IMAGE_KEYBOARD the picture also
// takes the keyboard focus and answers Enter, Space and the accessible "click" action.
#include "runtime/gadgets/image_gadget.h"

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include "runtime/gui/event.h"
#include "runtime/gui/window.h"
#include "runtime/image/image.h"

namespace {

constexpr const char* EVENTTYPE_KEY = "kt_gadget_eventtype";
constexpr guint BUTTON_MASKS = 0x1F00;  // GDK_BUTTON1_MASK ... GDK_BUTTON5_MASK

// One per gadget; freed by the toolkit when the event box goes.
struct DragTracking {
  int64_t gadget;
  int32_t pressed;   // button 1 is down since a press on the gadget
  int32_t dragging;  // a drag start was already posted for this press
  int32_t start_x;
  int32_t start_y;
};

// Word A of an image gadget's record: the pixel buffer it was last given (its state), or 0.
int64_t given_pixbuf(const GadgetRecord* record) { return record->a; }
void set_given_pixbuf(GadgetRecord* record, int64_t pixbuf) { record->a = pixbuf; }

int64_t image_get_state(GadgetRecord* record) { return given_pixbuf(record); }

// Shows the gadget's picture at the scale it is drawn at: the screen's device scale times the
// desktop's text factor. At 1 it is the picture itself; above 1 it is drawn from the image's
// twice-size variant where there is one; either is scaled smoothly to the gadget's size in
// pixels unless it has that size already.
void show_picture(GtkWidget* picture) {
  auto* pixbuf = static_cast<GdkPixbuf*>(g_object_get_data(G_OBJECT(picture), "kt_design_pixbuf"));
  const int device = gtk_widget_get_scale_factor(picture);
  if (!pixbuf || (device == 1 && win_text_factor() == 1.0)) {
    gtk_image_set_from_pixbuf(GTK_IMAGE(picture), pixbuf);
    return;
  }
  auto* larger = device * win_text_factor() > 1 ? static_cast<GdkPixbuf*>(image_larger_pixbuf(pixbuf)) : nullptr;
  GdkPixbuf* source = larger ? larger : pixbuf;
  const int width = win_scaled(gdk_pixbuf_get_width(pixbuf)) * device;
  const int height = win_scaled(gdk_pixbuf_get_height(pixbuf)) * device;
  GdkPixbuf* sized = gdk_pixbuf_get_width(source) == width && gdk_pixbuf_get_height(source) == height
                         ? GDK_PIXBUF(g_object_ref(source))
                         : gdk_pixbuf_scale_simple(source, width, height, GDK_INTERP_BILINEAR);
  if (!sized) return;
  cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(sized, device, nullptr);
  gtk_image_set_from_surface(GTK_IMAGE(picture), surface);
  cairo_surface_destroy(surface);
  g_object_unref(sized);
}

// "notify::scale-factor" of the picture, and (swapped) "notify::resolution" of the screen.
void on_scale_changed(GtkWidget* picture, GParamSpec*, gpointer) { show_picture(picture); }

// The picture holds its own reference to the design picture for as long as it shows it: at
// any scale but 1 the GtkImage keeps only a surface drawn from it, and a later change of
// scale draws it again, after its image may have been freed.
void set_picture(GtkWidget* picture, GdkPixbuf* pixbuf) {
  if (pixbuf) g_object_set_data_full(G_OBJECT(picture), "kt_design_pixbuf", g_object_ref(pixbuf), g_object_unref);
  else g_object_set_data(G_OBJECT(picture), "kt_design_pixbuf", nullptr);
  show_picture(picture);
}

void image_set_state(GadgetRecord* record, int64_t state) {
  auto* pixbuf = reinterpret_cast<GdkPixbuf*>(state);
  GtkWidget* box = GTK_WIDGET(record->outer);
  set_given_pixbuf(record, state);
  if (pixbuf) {
    set_picture(GTK_WIDGET(record->widget), pixbuf);
    gadget_set_size(box, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
  } else {
    // The emptied gadget keeps the size it has now.
    set_picture(GTK_WIDGET(record->widget), nullptr);
  }
  gtk_widget_queue_draw(GTK_WIDGET(record->widget));
}

const GadgetOps& image_ops() {
  static const GadgetOps ops = [] {
    GadgetOps o{};
    o.type = GADGET_IMAGE;
    o.get_state = image_get_state;
    o.set_state = image_set_state;
    return o;
  }();
  return ops;
}

int32_t pending_click(GtkWidget* box) {
  return static_cast<int32_t>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(box), EVENTTYPE_KEY)));
}

void set_pending_click(GtkWidget* box, int32_t kind) {
  g_object_set_data(G_OBJECT(box), EVENTTYPE_KEY, GINT_TO_POINTER(kind));
}

// Clicks are reported on release, inside the gadget, and only for the button that pressed.
gboolean on_click(GtkWidget* box, GdkEventButton* event, gpointer data) {
  const ObjectValue gadget = gadget_data_value(data);
  switch (event->type) {
    case GDK_BUTTON_PRESS:
      if (event->button == 1) set_pending_click(box, IMAGE_CLICK_LEFT);
      if (event->button == 3) set_pending_click(box, IMAGE_CLICK_RIGHT);
      break;
    case GDK_2BUTTON_PRESS:
      if (event->button == 1) set_pending_click(box, IMAGE_CLICK_LEFT_DOUBLE);
      if (event->button == 3) set_pending_click(box, IMAGE_CLICK_RIGHT_DOUBLE);
      break;
    case GDK_BUTTON_RELEASE: {
      const int32_t kind = pending_click(box);
      // Where the release happened, in the box's coordinates. Taken from the event, not
      // from a pointer query: by the time a busy main loop handles the release the pointer
      // may be back on the gadget, and a release outside would count as a click.
      GtkAllocation allocation;
      gtk_widget_get_allocation(box, &allocation);
      gint origin_x = 0;
      gint origin_y = 0;
      gdk_window_get_origin(gtk_widget_get_window(box), &origin_x, &origin_y);
      const double px = event->x_root - (origin_x + allocation.x);
      const double py = event->y_root - (origin_y + allocation.y);
      const int32_t width = win_scaled(int32_t(gadget_width(gadget)));
      const int32_t height = win_scaled(int32_t(gadget_height(gadget)));
      if (px >= 0 && px < width && py >= 0 && py < height) {
        const bool left = event->button == 1 && (kind == IMAGE_CLICK_LEFT || kind == IMAGE_CLICK_LEFT_DOUBLE);
        const bool right = event->button == 3 && (kind == IMAGE_CLICK_RIGHT || kind == IMAGE_CLICK_RIGHT_DOUBLE);
        if (left || right) event_post(EVENT_GADGET, gadget, gadget_window_of(box), kind - 1);
      }
      set_pending_click(box, IMAGE_CLICK_NONE);
      break;
    }
    default:
      break;
  }
  return FALSE;
}

gboolean on_drag_press(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* drag = static_cast<DragTracking*>(data);
  if (event->button == 1) {
    drag->pressed = 1;
    drag->dragging = 0;
    drag->start_x = static_cast<int32_t>(event->x);
    drag->start_y = static_cast<int32_t>(event->y);
  }
  return FALSE;
}

gboolean on_drag_release(GtkWidget*, GdkEventButton*, gpointer data) {
  static_cast<DragTracking*>(data)->pressed = 0;
  return FALSE;
}

gboolean on_drag_motion(GtkWidget* box, GdkEventMotion* event, gpointer data) {
  auto* drag = static_cast<DragTracking*>(data);
  if (drag->pressed && !drag->dragging && (event->state & BUTTON_MASKS) == GDK_BUTTON1_MASK &&
      gtk_drag_check_threshold(box, drag->start_x, drag->start_y, static_cast<gint>(event->x),
                               static_cast<gint>(event->y))) {
    event_post(EVENT_GADGET, drag->gadget, gadget_window_of(box), GADGET_EVENT_DRAG_START);
    drag->dragging = 1;
  }
  return FALSE;
}

// --- The picture that the keyboard can click -----------------------------------------
// A GtkImage that can take the focus: it draws the theme's focus ring while the focus is
// visible on it, and Enter or Space post the same left click as the pointer does. Its
// accessible object keeps the picture's role and adds the action "click" doing the same.

struct KtKeyImage {
  GtkImage parent;
};
struct KtKeyImageClass {
  GtkImageClass parent_class;
};
struct KtKeyImageAccessible {
  GtkImageAccessible parent;
};
struct KtKeyImageAccessibleClass {
  GtkImageAccessibleClass parent_class;
};

// The event a left click on the picture posts, for the gadget whose primary widget it is.
void post_key_click(GtkWidget* picture) {
  void* id = g_object_get_data(G_OBJECT(picture), "kt_id");
  if (!id) return;
  event_post(EVENT_GADGET, gadget_data_value(id) - 1, gadget_window_of(picture), GADGET_EVENT_LEFT_CLICK);
}

gboolean key_image_action_do(AtkAction* action, gint i) {
  GtkWidget* picture = gtk_accessible_get_widget(GTK_ACCESSIBLE(action));
  if (i != 0 || !picture || !gtk_widget_is_sensitive(picture)) return FALSE;
  post_key_click(picture);
  return TRUE;
}

gint key_image_action_count(AtkAction*) { return 1; }

const gchar* key_image_action_name(AtkAction*, gint i) { return i == 0 ? "click" : nullptr; }

void key_image_action_init(AtkActionIface* iface) {
  iface->do_action = key_image_action_do;
  iface->get_n_actions = key_image_action_count;
  iface->get_name = key_image_action_name;
}

G_DEFINE_TYPE_WITH_CODE(KtKeyImageAccessible, key_image_accessible, GTK_TYPE_IMAGE_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, key_image_action_init))

void key_image_accessible_init(KtKeyImageAccessible*) {}
void key_image_accessible_class_init(KtKeyImageAccessibleClass*) {}

G_DEFINE_TYPE(KtKeyImage, key_image, GTK_TYPE_IMAGE)

void key_image_init(KtKeyImage* picture) { gtk_widget_set_can_focus(GTK_WIDGET(picture), TRUE); }

gboolean key_image_draw(GtkWidget* picture, cairo_t* cr) {
  GTK_WIDGET_CLASS(key_image_parent_class)->draw(picture, cr);
  if (gtk_widget_has_visible_focus(picture))
    gtk_render_focus(gtk_widget_get_style_context(picture), cr, 0, 0, gtk_widget_get_allocated_width(picture),
                     gtk_widget_get_allocated_height(picture));
  return FALSE;
}

gboolean key_image_key_press(GtkWidget* picture, GdkEventKey* event) {
  const bool modified = event->state & gtk_accelerator_get_default_mod_mask();
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
      if (modified) break;
      post_key_click(picture);
      return TRUE;
    default:
      break;
  }
  return GTK_WIDGET_CLASS(key_image_parent_class)->key_press_event(picture, event);
}

void key_image_class_init(KtKeyImageClass* klass) {
  GtkWidgetClass* widget_class = GTK_WIDGET_CLASS(klass);
  widget_class->draw = key_image_draw;
  widget_class->key_press_event = key_image_key_press;
  gtk_widget_class_set_accessible_type(widget_class, key_image_accessible_get_type());
}

GtkWidget* picture_new(GdkPixbuf* pixbuf, bool keyboard) {
  GtkWidget* picture = keyboard ? GTK_WIDGET(g_object_new(key_image_get_type(), nullptr)) : gtk_image_new();
  if (!picture) return nullptr;
  if (pixbuf) set_picture(picture, pixbuf);
  if (GdkScreen* screen = gdk_screen_get_default())
    g_signal_connect_object(screen, "notify::resolution", G_CALLBACK(on_scale_changed), picture, G_CONNECT_SWAPPED);
  g_signal_connect(picture, "notify::scale-factor", G_CALLBACK(on_scale_changed), nullptr);
  return picture;
}

void setup_drag_detection(GtkWidget* box, ObjectValue gadget) {
  auto* drag = static_cast<DragTracking*>(g_malloc0(sizeof(DragTracking)));
  drag->gadget = gadget;
  gtk_widget_add_events(box, gtk_widget_get_events(box) | GDK_BUTTON_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                 GDK_BUTTON_RELEASE_MASK);
  g_signal_connect(box, "button-press-event", G_CALLBACK(on_drag_press), drag);
  g_signal_connect(box, "button-release-event", G_CALLBACK(on_drag_release), drag);
  g_signal_connect_data(box, "motion-notify-event", G_CALLBACK(on_drag_motion), drag,
                        reinterpret_cast<GClosureNotify>(+[](gpointer p, GClosure*) { g_free(p); }),
                        GConnectFlags(0));
}

}  // namespace

int64_t image_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, void* image,
                            int32_t flags) {
  const GadgetOps& ops = image_ops();
  if (!gadget_list_ready()) return 0;
  GtkWidget* box = gtk_event_box_new();
  if (!box) return 0;
  gtk_widget_set_has_window(box, FALSE);
  auto* pixbuf = static_cast<GdkPixbuf*>(image);
  GtkWidget* picture = picture_new(pixbuf, flags & IMAGE_KEYBOARD);
  if (!picture) {
    gadget_discard(box);
    return 0;
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_misc_set_alignment(GTK_MISC(picture), 0.0f, 0.0f);
#pragma GCC diagnostic pop
  ObjectValue value = 0;
  GadgetRecord* record = gadget_allocate(gadget, &value);
  if (!record) {
    gadget_discard(picture);
    gadget_discard(box);
    return 0;
  }
  GtkWidget* frame = (flags & (IMAGE_BORDER | IMAGE_RAISED_BORDER)) ? gtk_frame_new(nullptr) : nullptr;
  if (frame) {
    gtk_frame_set_shadow_type(GTK_FRAME(frame), (flags & IMAGE_RAISED_BORDER) ? GTK_SHADOW_OUT : GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(frame), picture);
    gtk_container_add(GTK_CONTAINER(box), frame);
  } else {
    gtk_container_add(GTK_CONTAINER(box), picture);
  }
  if (pixbuf) {
    gadget_set_size(box, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
  } else {
    gadget_set_size(box, w, h);
  }
  setup_drag_detection(box, value);
  g_signal_connect(box, "button-press-event", G_CALLBACK(on_click), gadget_value_data(value));
  g_signal_connect(box, "button-release-event", G_CALLBACK(on_click), gadget_value_data(value));
  gadget_place(box, x, y);
  gtk_widget_show_all(box);
  record->widget = picture;
  record->outer = box;
  set_given_pixbuf(record, reinterpret_cast<int64_t>(pixbuf));
  record->ops = &ops;
  gadget_register(record, value);
  return gadget_creation_result(gadget, record, value);
}

int64_t image_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, void* image) {
  return image_gadget_create(gadget, x, y, w, h, image, 0);
}

// Image gadget: widget tree, flags, state, and clicks and drags made with real pointer
// input (XTest) on a window under Xvfb.
#include <gtk/gtk.h>

#include "runtime/gadgets/image_gadget.h"
#include "tests/gadgets/gadget_test_support.h"

using namespace zvd_test;

namespace {

GdkPixbuf* make_pixbuf(int w, int h) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
  gdk_pixbuf_fill(pixbuf, 0x3366CCFF);
  return pixbuf;
}

class ImageGadget : public GadgetWindowTest {
 protected:
  void SetUp() override {
    GadgetWindowTest::SetUp();
    logo_ = make_pixbuf(100, 49);
  }
  void TearDown() override {
    GadgetWindowTest::TearDown();
    g_object_unref(logo_);
  }

  // Screen position of a point of the gadget's event box, in box coordinates.
  std::pair<std::string, std::string> screen_point(ObjectValue gadget, int x, int y) {
    GtkWidget* box = outer_of(gadget);
    EXPECT_TRUE(pump_until([&] { return widget_ready(box); }));
    GtkWidget* top = gtk_widget_get_toplevel(box);
    gint tx = 0, ty = 0, ox = 0, oy = 0;
    gtk_widget_translate_coordinates(box, top, x, y, &tx, &ty);
    gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
    return {std::to_string(ox + tx), std::to_string(oy + ty)};
  }

  // Pumps until at least count gadget events arrived; returns their subtypes.
  std::vector<int64_t> gadget_subtypes(size_t count, ObjectValue gadget) {
    pump_until([&] {
      for (const QueuedEvent& e : gadget_events(drain_events())) {
        EXPECT_EQ(e.gadget, gadget);
        EXPECT_EQ(e.window, window_);
        subtypes_.push_back(e.subtype);
      }
      return subtypes_.size() >= count;
    });
    settle();
    for (const QueuedEvent& e : gadget_events(drain_events())) subtypes_.push_back(e.subtype);
    return std::exchange(subtypes_, {});
  }

  // A right click that ends a sequence which should post nothing: its event is the proof
  // that every earlier input was handled.
  void right_click_marker(ObjectValue gadget) {
    const auto [x, y] = screen_point(gadget, 50, 20);
    ASSERT_TRUE(xdotool({"mousemove", x, y, "click", "3"}));
  }

  GdkPixbuf* logo_ = nullptr;
  std::vector<int64_t> subtypes_;
};

TEST_F(ImageGadget, WidgetTreeFlagsAndSize) {
  const int64_t handle = image_gadget_create(ANY_NUMBER, 20, 20, 600, 50, logo_, IMAGE_BORDER);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(gadget_width(handle), 100) << "the picture's size wins over the requested one";
  EXPECT_EQ(gadget_height(handle), 49);
  EXPECT_EQ(gadget_get_state(handle), reinterpret_cast<int64_t>(logo_));
  GtkWidget* box = outer_of(handle);
  ASSERT_TRUE(GTK_IS_EVENT_BOX(box));
  EXPECT_FALSE(gtk_widget_get_has_window(box));
  GtkWidget* frame = gtk_bin_get_child(GTK_BIN(box));
  ASSERT_TRUE(GTK_IS_FRAME(frame));
  EXPECT_EQ(gtk_frame_get_shadow_type(GTK_FRAME(frame)), GTK_SHADOW_IN);
  EXPECT_EQ(gtk_bin_get_child(GTK_BIN(frame)), widget_of(handle));
  ASSERT_TRUE(GTK_IS_IMAGE(widget_of(handle)));
  EXPECT_EQ(gtk_image_get_pixbuf(GTK_IMAGE(widget_of(handle))), logo_);
  gfloat ax = 1, ay = 1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_misc_get_alignment(GTK_MISC(widget_of(handle)), &ax, &ay);
#pragma GCC diagnostic pop
  EXPECT_EQ(ax, 0.0f);
  EXPECT_EQ(ay, 0.0f);

  const int64_t raised = image_gadget_create(3, 200, 20, 10, 10, logo_, IMAGE_BORDER | IMAGE_RAISED_BORDER);
  EXPECT_EQ(raised, reinterpret_cast<int64_t>(widget_of(3)));
  EXPECT_EQ(gtk_frame_get_shadow_type(GTK_FRAME(gtk_bin_get_child(GTK_BIN(outer_of(3))))), GTK_SHADOW_OUT);

  ASSERT_NE(image_gadget_create(4, 300, 20, 70, 30, nullptr), 0);
  EXPECT_EQ(gtk_bin_get_child(GTK_BIN(outer_of(4))), widget_of(4)) << "no frame without flags";
  EXPECT_EQ(gadget_width(4), 70) << "without a picture the requested size is used";
  EXPECT_EQ(gadget_height(4), 30);
  EXPECT_EQ(gadget_get_state(4), 0);
}

TEST_F(ImageGadget, SetStateReplacesOrEmptiesThePicture) {
  const int64_t handle = image_gadget_create(ANY_NUMBER, 20, 20, 600, 50, logo_, IMAGE_BORDER);
  GdkPixbuf* small = make_pixbuf(30, 20);
  GadgetRecord* record = record_of(handle);
  record->ops->set_state(record, reinterpret_cast<int64_t>(small));
  EXPECT_EQ(gadget_width(handle), 30);
  EXPECT_EQ(gadget_get_state(handle), reinterpret_cast<int64_t>(small));
  record->ops->set_state(record, reinterpret_cast<int64_t>(logo_));
  GtkRequisition before{};
  gtk_widget_get_preferred_size(outer_of(handle), &before, nullptr);
  record->ops->set_state(record, 0);
  EXPECT_EQ(gadget_get_state(handle), 0);
  EXPECT_EQ(gtk_image_get_pixbuf(GTK_IMAGE(widget_of(handle))), nullptr);
  EXPECT_EQ(gadget_width(handle), before.width) << "the emptied gadget keeps its size";
  EXPECT_EQ(gadget_height(handle), before.height);
  EXPECT_GE(gadget_width(handle), 100);
  g_object_unref(small);
}

TEST_F(ImageGadget, ClicksArePostedOnReleaseByButton) {
  const int64_t handle = image_gadget_create(ANY_NUMBER, 20, 20, 0, 0, logo_);
  click_widget(outer_of(handle), 1);
  EXPECT_EQ(gadget_subtypes(1, handle), (std::vector<int64_t>{GADGET_EVENT_LEFT_CLICK}));
  click_widget(outer_of(handle), 3);
  EXPECT_EQ(gadget_subtypes(1, handle), (std::vector<int64_t>{GADGET_EVENT_RIGHT_CLICK}));
  click_widget(outer_of(handle), 1, 0, 0, 2);
  EXPECT_EQ(gadget_subtypes(2, handle),
            (std::vector<int64_t>{GADGET_EVENT_LEFT_CLICK, GADGET_EVENT_LEFT_DOUBLE_CLICK}));
  click_widget(outer_of(handle), 3, 0, 0, 2);
  EXPECT_EQ(gadget_subtypes(2, handle),
            (std::vector<int64_t>{GADGET_EVENT_RIGHT_CLICK, GADGET_EVENT_RIGHT_DOUBLE_CLICK}));
  click_widget(outer_of(handle), 2);
  right_click_marker(handle);
  EXPECT_EQ(gadget_subtypes(1, handle), (std::vector<int64_t>{GADGET_EVENT_RIGHT_CLICK}))
      << "a middle click posts nothing";
  EXPECT_EQ(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(outer_of(handle)), "kt_gadget_eventtype")), 0);
}

TEST_F(ImageGadget, PressAndReleaseMustBothBeOnTheGadget) {
  const int64_t handle = image_gadget_create(ANY_NUMBER, 20, 20, 0, 0, logo_);
  const auto [ix, iy] = screen_point(handle, 50, 20);
  const auto [ox, oy] = screen_point(handle, 50, 250);  // on the window, below the gadget
  ASSERT_TRUE(xdotool({"mousemove", ix, iy, "mousedown", "1", "mousemove", ox, oy, "mouseup", "1"}));
  ASSERT_TRUE(xdotool({"mousemove", ox, oy, "mousedown", "1", "mousemove", ix, iy, "mouseup", "1"}));
  right_click_marker(handle);
  EXPECT_EQ(gadget_subtypes(2, handle), (std::vector<int64_t>{GADGET_EVENT_DRAG_START, GADGET_EVENT_RIGHT_CLICK}))
      << "leaving the gadget with the button held is a drag, but no click";
}

TEST_F(ImageGadget, DragPastTheThresholdPostsOneDragStart) {
  const int64_t handle = image_gadget_create(ANY_NUMBER, 20, 20, 0, 0, logo_);
  gint threshold = 0;
  g_object_get(gtk_settings_get_default(), "gtk-dnd-drag-threshold", &threshold, nullptr);
  ASSERT_LT(threshold + 30, 100);
  const auto [sx, sy] = screen_point(handle, 10, 20);
  const auto [mx, my] = screen_point(handle, 10 + threshold + 10, 20);
  const auto [ex, ey] = screen_point(handle, 10 + threshold + 25, 22);
  ASSERT_TRUE(xdotool({"mousemove", sx, sy, "mousedown", "1", "mousemove", mx, my, "mousemove", ex, ey, "mouseup",
                       "1"}));
  EXPECT_EQ(gadget_subtypes(2, handle), (std::vector<int64_t>{GADGET_EVENT_DRAG_START, GADGET_EVENT_LEFT_CLICK}))
      << "one drag start per press; the release inside is still a click";
  // A move that stays within the threshold is no drag (on a second gadget, so that the
  // press does not count as the second half of a double click).
  const int64_t other = image_gadget_create(ANY_NUMBER, 20, 100, 0, 0, logo_);
  const auto [ax, ay] = screen_point(other, 10, 20);
  const auto [nx, ny] = screen_point(other, 11, 20);
  ASSERT_TRUE(xdotool({"mousemove", ax, ay, "mousedown", "1", "mousemove", nx, ny, "mouseup", "1"}));
  EXPECT_EQ(gadget_subtypes(1, other), (std::vector<int64_t>{GADGET_EVENT_LEFT_CLICK}));
}

}  // namespace

// The calculator started with a picture directory that does not exist: both loads fail,
// the two picture gadgets become empty framed areas of their table size, and every other
// gadget is there and works.
#include "runtime/image/image.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = "/nonexistent/zorivivudidider-test-pictures";

namespace {

using namespace zvd_test;

TEST(AppWithoutPictures, PictureGadgetsAreEmptyAndEveryOtherGadgetWorks) {
  start_app();
  focus_window(main_toplevel());
  EXPECT_EQ(app_logo_image, 0);
  EXPECT_EQ(app_banner_image, 0);
  struct Expected { int64_t gadget; int x, y, width, height; };
  for (const Expected& e : {Expected{app_banner_gadget, 30, 310, 600, 50}, Expected{app_logo_gadget, 660, 310, 100, 49}}) {
    EXPECT_EQ(gtk_image_get_pixbuf(GTK_IMAGE(widget_of(e.gadget))), nullptr);
    EXPECT_EQ(gadget_width(e.gadget), e.width);
    EXPECT_EQ(gadget_height(e.gadget), e.height);
    // Inside the frame the window's own background shows.
    EXPECT_TRUE(pump_until([&] { return window_pixel(e.x + e.width / 2, e.y + e.height / 2) == BACKGROUND_RGB; }));
  }
  GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(outer_of(app_year_field))));
  EXPECT_EQ(g_list_length(children), 20u);
  g_list_free(children);
  // The fields were filled from the calendar and both buttons work: empty counts keep that date.
  const std::string date = text_of(app_year_field) + "/" + text_of(app_month_chooser) + "/" + text_of(app_day_chooser);
  EXPECT_EQ(date.size(), 10u) << date;
  click(widget_of(app_after_button));
  click(widget_of(APP_BEFORE_BUTTON));
  EXPECT_TRUE(pump_until([&] {
    handle_events();
    return text_of(app_after_result_field) == date && text_of(app_before_result_field) == date;
  })) << text_of(app_after_result_field) << " " << text_of(app_before_result_field);
  app_shutdown();
}

}  // namespace

// The calculator's real main window, built by the application's start-up and driven with
// real pointer and keyboard input: the calendar copy at start-up, the pictures, the two
// date actions, the about box and closing the window.
#include <ctime>

#include "runtime/date/date.h"
#include "runtime/image/image.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using namespace zvd_test;

// The date fields right after start-up and the local day around it (they differ only
// across midnight).
struct StartState {
  std::string year, month, day, counts_and_results;
  std::string before, after;
};
StartState start_state;
bool window_closed = false;

std::string local_day(const char* format) {
  const time_t t = time(nullptr);
  struct tm local {};
  localtime_r(&t, &local);
  char buf[32];
  strftime(buf, sizeof buf, format, &local);
  return buf;
}

class AppWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    start_state.before = local_day("%Y|%m|%d");
    start_app();
    start_state.after = local_day("%Y|%m|%d");
    start_state.year = text_of(app_year_field);
    start_state.month = text_of(app_month_chooser);
    start_state.day = text_of(app_day_chooser);
    for (int64_t g : {app_after_count_field, app_after_result_field, app_before_count_field, app_before_result_field})
      start_state.counts_and_results += text_of(g);
  }
  static void TearDownTestSuite() { app_shutdown(); }
  void SetUp() override {
    if (window_closed) GTEST_SKIP() << "the main window is closed";
    focus_window(main_toplevel());
  }
};

// At start-up "year" is replaced, month and day keep their leading zeros, counts and
// results are empty. Later copies: "03" matches no chooser item and stays in the entry,
// "11" selects the item "11"; the calendar showing 1970-01-01 (date 0) changes nothing.
TEST_F(AppWindow, CalendarCopyFillsTheDateFieldsKeepingLeadingZeros) {
  const std::string fields = start_state.year + "|" + start_state.month + "|" + start_state.day;
  EXPECT_TRUE(fields == start_state.before || fields == start_state.after) << fields;
  EXPECT_EQ(start_state.counts_and_results, "");
  GadgetRecord* calendar = record_of(app_calendar);
  auto active = [](int64_t chooser) { return gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(chooser))); };
  calendar->ops->set_state(calendar, date_make(2024, 3, 5, 12, 0, 0));
  app_sync_fields_from_calendar();
  EXPECT_EQ(text_of(app_year_field) + text_of(app_month_chooser) + text_of(app_day_chooser), "20240305");
  EXPECT_EQ(active(app_month_chooser), -1);
  EXPECT_EQ(active(app_day_chooser), -1);
  calendar->ops->set_state(calendar, date_make(2037, 11, 25, 0, 0, 0));
  app_sync_fields_from_calendar();
  EXPECT_EQ(text_of(app_month_chooser) + text_of(app_day_chooser), "1125");
  EXPECT_EQ(active(app_month_chooser), 10);
  EXPECT_EQ(active(app_day_chooser), 24);
  gtk_calendar_select_month(GTK_CALENDAR(widget_of(app_calendar)), 0, 1970);
  gtk_calendar_select_day(GTK_CALENDAR(widget_of(app_calendar)), 1);
  ASSERT_EQ(gadget_get_state(app_calendar), 0);
  app_sync_fields_from_calendar();
  EXPECT_EQ(text_of(app_year_field), "2037");
  handle_events();  // the day selection above posted a calendar event, which is ignored
}

TEST_F(AppWindow, FixedSizeWindowWithBothPicturesShownWhole) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main_toplevel())), "ZoriviVudiDider");
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(main_toplevel())));
  EXPECT_EQ(win_width(app_main_window, WINDOW_INNER_SIZE), 790);
  EXPECT_EQ(win_height(app_main_window, WINDOW_INNER_SIZE), 400);
  ASSERT_TRUE(pump_until([] { return window_pixel(5, 5) == BACKGROUND_RGB; })) << std::hex << window_pixel(5, 5);
  // Each picture has its designed size, and its corner pixels and its centre appear on the
  // screen where its widget starts.
  struct Picture { int64_t gadget, image; int w, h; };
  for (auto [gadget, loaded, w, h] : {Picture{app_banner_gadget, app_banner_image, 600, 50},
                                      Picture{app_logo_gadget, app_logo_image, 100, 49}}) {
    EXPECT_EQ(image_width(loaded), w);
    EXPECT_EQ(image_height(loaded), h);
    GtkWidget* image = widget_of(gadget);
    GdkPixbuf* picture = gtk_image_get_pixbuf(GTK_IMAGE(image));
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(gdk_pixbuf_get_width(picture), w);
    ASSERT_EQ(gdk_pixbuf_get_height(picture), h);
    ASSERT_TRUE(pump_until([&] {
      GtkAllocation a;
      gtk_widget_get_allocation(image, &a);
      return widget_ready(image) && a.width >= w && a.height >= h;
    })) << "the picture never got its full size";
    gint ox = 0, oy = 0;
    ASSERT_TRUE(gtk_widget_translate_coordinates(image, main_toplevel(), 0, 0, &ox, &oy));
    const int stride = gdk_pixbuf_get_rowstride(picture), channels = gdk_pixbuf_get_n_channels(picture);
    for (auto [px, py] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}}) {
      const guchar* p = gdk_pixbuf_read_pixels(picture) + py * stride + px * channels;
      const long expected = (long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]};
      EXPECT_TRUE(pump_until([&] { return window_pixel(ox + px, oy + py) == expected; }))
          << "picture pixel " << px << "," << py << " shows " << std::hex << window_pixel(ox + px, oy + py);
    }
  }
}

// Mended: every Editor is exactly as tall as the layout gives it (a scrolled window with a
// vertical scrollbar used to stretch them to 47 px), and no two gadgets overlap.
TEST_F(AppWindow, FieldsHaveTheirLayoutSizesAndNoGadgetsOverlap) {
  struct Field { int64_t gadget; int x, y, w, h; };
  for (auto [gadget, x, y, w, h] : {Field{app_year_field, 40, 70, 100, 30}, {app_after_count_field, 30, 160, 100, 35},
                                    {app_after_result_field, 260, 160, 160, 35}, {app_before_count_field, 30, 220, 100, 35},
                                    {app_before_result_field, 260, 220, 160, 35}}) {
    GtkAllocation a;
    ASSERT_TRUE(pump_until([&] {
      gtk_widget_get_allocation(outer_of(gadget), &a);
      return a.x == x && a.y == y && a.width == w && a.height == h;
    })) << "field at " << x << "," << y << " is " << a.width << "x" << a.height << " at " << a.x << "," << a.y;
    EXPECT_EQ(gadget_width(gadget), w);
    EXPECT_EQ(gadget_height(gadget), h);
  }
  // The 30 px year field still scrolls to a line below its height, as typing there does.
  const std::string year = text_of(app_year_field);
  set_text(app_year_field, "1\n2\n3\n4");
  GtkTextView* view = GTK_TEXT_VIEW(widget_of(app_year_field));
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
  GtkTextIter end;
  gtk_text_buffer_get_end_iter(buffer, &end);
  gtk_text_buffer_place_cursor(buffer, &end);
  gtk_text_view_scroll_mark_onscreen(view, gtk_text_buffer_get_insert(buffer));
  GtkAdjustment* vertical = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(view));
  EXPECT_TRUE(pump_until([&] { return gtk_adjustment_get_value(vertical) > 0; })) << "the field did not scroll";
  set_text(app_year_field, year);
  GtkWidget* area = gtk_widget_get_parent(outer_of(app_year_field));
  GList* children = gtk_container_get_children(GTK_CONTAINER(area));
  ASSERT_EQ(g_list_length(children), 20u);
  for (GList* i = children; i; i = i->next) {
    for (GList* j = i->next; j; j = j->next) {
      GtkAllocation a, b;
      gtk_widget_get_allocation(GTK_WIDGET(i->data), &a);
      gtk_widget_get_allocation(GTK_WIDGET(j->data), &b);
      EXPECT_FALSE(gdk_rectangle_intersect(&a, &b, nullptr))
          << a.width << "x" << a.height << "+" << a.x << "+" << a.y << " overlaps " << b.width << "x" << b.height << "+"
          << b.x << "+" << b.y;
    }
  }
  g_list_free(children);
}

// One use of a push button: the texts typed into the four fields and the expected result.
struct DateCase {
  const char *year, *month, *day, *count;
  bool after;  // the upper (days after) or the lower (days before) button
  const char* expected;
};

void run_case(const DateCase& c) {
  SCOPED_TRACE(std::string(c.after ? "after: " : "before: ") + c.year + "|" + c.month + "|" + c.day + "|" + c.count);
  const int64_t result_field = c.after ? app_after_result_field : app_before_result_field;
  type_into(app_year_field, c.year);
  type_into(app_month_chooser, c.month);
  type_into(app_day_chooser, c.day);
  type_into(c.after ? app_after_count_field : app_before_count_field, c.count);
  set_text(result_field, "");
  click(widget_of(c.after ? app_after_button : APP_BEFORE_BUTTON));
  ASSERT_TRUE(pump_until([&] {
    handle_events();
    return !text_of(result_field).empty();
  })) << "the push button wrote nothing";
  EXPECT_EQ(text_of(result_field), c.expected);
}

TEST_F(AppWindow, PushButtonsMoveTheStartDate) {
  const DateCase cases[] = {
      {"2024", "1", "31", "29", true, "2024/02/29"}, {"2024", "1", "31", "1", false, "2024/01/30"},
      {"2024", "1", "31", "-5", true, "2024/01/26"}, {"2024", "1", "31", "5abc", true, "2024/02/05"},
      {"2024", "1", "31", "$10", true, "2024/02/16"}, {"2024", "1", "31", "%11", true, "2024/02/03"},
      {"2024", "1", "31", "", true, "2024/01/31"}, {"2024", "1", "31", "", false, "2024/01/31"},
      {"1970", "1", "1", "1", false, "1969/12/31"},
      // Leap days and month ends.
      {"2023", "2", "28", "1", true, "2023/03/01"}, {"2000", "2", "28", "1", true, "2000/02/29"},
      {"2024", "3", "1", "1", false, "2024/02/29"}, {"2024", "2", "29", "365", true, "2025/02/28"},
      // Zeros and blanks before month and day.
      {"2024", "03", "05", "0", true, "2024/03/05"}, {"2024", "3", "  5", "0", false, "2024/03/05"},
      // Invalid start dates.
      {"2024", "13", "1", "1", true, "0000/00/00"}, {"2024", "4", "31", "1", true, "0000/00/00"},
      {"2023", "2", "29", "1", false, "0000/00/00"}, {"1969", "12", "31", "1", true, "0000/00/00"},
      {"2038", "1", "20", "0", true, "0000/00/00"}, {"", "1", "1", "1", true, "0000/00/00"},
      {"year", "1", "1", "1", false, "0000/00/00"},
  };
  for (const DateCase& c : cases) run_case(c);
}

// Mended: the days-before count is parsed like the days-after count and then negated, so a
// sign or a blank before it no longer leaves the date unchanged.
TEST_F(AppWindow, DaysBeforeCountIsParsedThenNegated) {
  const DateCase cases[] = {
      {"2024", "1", "31", " 10", false, "2024/01/21"}, {"2024", "1", "31", "+10", false, "2024/01/21"},
      {"2024", "1", "31", "-5", false, "2024/02/05"},  {"2024", "1", "31", "$10", false, "2024/01/15"},
      {"2024", "1", "31", "%11", false, "2024/01/28"}, {"2024", "1", "31", "5abc", false, "2024/01/26"},
  };
  for (const DateCase& c : cases) run_case(c);
}

// Mended: numbers that do not fit the date library's 32-bit arguments are not cut down to
// their low 32 bits (2^32 + 1 days is no longer one day).
TEST_F(AppWindow, NumbersBeyondThirtyTwoBitsGiveZeros) {
  const DateCase cases[] = {
      {"2024", "1", "31", "4294967297", true, "0000/00/00"},
      {"2024", "1", "31", "4294967297", false, "0000/00/00"},
      {"2024", "1", "31", "2147483648", true, "0000/00/00"},
      {"2024", "1", "31", "-2147483648", false, "0000/00/00"},  // negated, it does not fit
      {"4294969320", "1", "31", "0", true, "0000/00/00"},       // 2^32 + 2024
      {"2024", "1", "4294967327", "0", false, "0000/00/00"},    // 2^32 + 31
  };
  for (const DateCase& c : cases) run_case(c);
}

// Mended: results past 2038-01-19 show their true date.
TEST_F(AppWindow, ResultsPast2038ShowTheirTrueDate) {
  const DateCase cases[] = {
      {"2038", "1", "19", "1", true, "2038/01/20"},
      {"2038", "1", "19", "-1", false, "2038/01/20"},
      {"2024", "1", "31", "30000", true, "2106/03/22"},
  };
  for (const DateCase& c : cases) run_case(c);
}

TEST_F(AppWindow, LeftClickOnTheLogoShowsTheAboutBox) {
  DialogWatcher watcher;
  click(widget_of(app_logo_gadget), 1);
  ASSERT_TRUE(pump_until([&] {
    handle_events();
    return !watcher.seen().empty() && watcher.settled();
  })) << "no about box, or it did not close";
  ASSERT_EQ(watcher.seen().size(), 1u);
  EXPECT_EQ(watcher.seen()[0].title, "合同会社Zephra Corporation");
  EXPECT_EQ(watcher.seen()[0].text,
            "\n合同会社Zephra Corporation\n"
            "\u3000\u3000〒000-0000 見本県架空市例町1丁目2番3号\n"
            "https://zephra.example/");
  EXPECT_TRUE(watcher.seen()[0].closed);
  EXPECT_FALSE(watcher.gave_up);
  run_case({"2024", "1", "31", "29", true, "2024/02/29"});  // the main window still works
}

TEST_F(AppWindow, RightClicksAndBannerClicksOpenNothing) {
  DialogWatcher watcher;
  handled().clear();
  click(widget_of(app_logo_gadget), 3);
  click(widget_of(app_banner_gadget), 1);
  click(widget_of(app_banner_gadget), 3);
  // A push afterwards marks the end: once its result shows, the clicks before it were handled.
  run_case({"2024", "1", "31", "1", false, "2024/01/30"});
  EXPECT_TRUE(watcher.seen().empty());
  for (auto [gadget, subtype] : {std::pair{app_logo_gadget, GADGET_EVENT_RIGHT_CLICK},
                                 {app_banner_gadget, GADGET_EVENT_LEFT_CLICK}, {app_banner_gadget, GADGET_EVENT_RIGHT_CLICK}})
    EXPECT_TRUE(std::any_of(handled().begin(), handled().end(),
                            [&](const HandledEvent& e) { return e.gadget == gadget && e.subtype == subtype; }))
        << gadget << " " << subtype;
}

// Last: the window-manager close request ends the main loop with exit status 0.
TEST_F(AppWindow, WindowManagerCloseEndsTheMainLoop) {
  EXPECT_EQ(app_event_procedure(EVENT_REPAINT), 1);
  EXPECT_EQ(app_event_procedure(EVENT_SIZE_WINDOW), 1);
  send_wm_delete(main_toplevel());
  // Should the request be lost, this ends the loop after the time-out and fails the test.
  static bool fallback_used = false;
  const guint fallback = g_timeout_add(TIMEOUT_MS, [](gpointer) -> gboolean {
    fallback_used = true;
    event_post(EVENT_CLOSE_WINDOW, app_main_window, app_main_window, 0);
    return G_SOURCE_REMOVE;
  }, nullptr);
  app_run_loop();
  window_closed = true;
  if (!fallback_used) g_source_remove(fallback);
  EXPECT_FALSE(fallback_used) << "the close request never arrived";
  EXPECT_EQ(app_last_event, EVENT_CLOSE_WINDOW);
  EXPECT_EQ(app_exit_code, 0);
}

}  // namespace

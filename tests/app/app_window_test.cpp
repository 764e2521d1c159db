// The calculator's real main window, built by the application's start-up and driven with
// real pointer and keyboard input: the calendar copy at start-up, the layout, the pictures,
// the two date actions, the about box and closing the window.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "runtime/date/date.h"
#include "runtime/gui/font.h"
#include "runtime/image/image.h"
#include "tests/app/app_driver.h"

const char app_image_dir[] = ZVD_TEST_IMAGE_DIR;

namespace {

using namespace zvd_app_test;

// Texts of the date fields right after start-up, before any input, and the local date
// just before and just after start-up (they differ only across midnight).
struct StartState {
  std::string year, month, day, after_count, after_result, before_count, before_result;
  guint calendar_year = 0, calendar_month = 0, calendar_day = 0;
  struct tm before {}, after {};
};
StartState start_state;
bool window_closed = false;

class AppWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    struct tm before {};
    const time_t t0 = time(nullptr);
    localtime_r(&t0, &before);
    start_app();
    const time_t t1 = time(nullptr);
    struct tm after {};
    localtime_r(&t1, &after);
    start_state = {text_of(app_year_field),        text_of(app_month_chooser),     text_of(app_day_chooser),
                   text_of(app_after_count_field), text_of(app_after_result_field), text_of(app_before_count_field),
                   text_of(app_before_result_field)};
    start_state.before = before;
    start_state.after = after;
    GtkWidget* calendar = widget_of(app_calendar);
    if (calendar) {
      gtk_calendar_get_date(GTK_CALENDAR(calendar), &start_state.calendar_year, &start_state.calendar_month,
                            &start_state.calendar_day);
    }
    zvd_test::pump_until([] { return widget_ready(main_toplevel()); }, TIMEOUT_MS);
    settle();
  }
  static void TearDownTestSuite() { app_shutdown(); }

  void SetUp() override {
    if (window_closed) GTEST_SKIP() << "the main window is closed";
    focus_main_window();
  }
};

std::string two_digits(guint n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

TEST_F(AppWindow, StartUpCopiesTheCalendarDayIntoTheDateFields) {
  // The calendar shows today; its day is copied with the month and day zero-padded, and
  // the initial "year" text is replaced.
  auto is_calendar_day = [](const struct tm& t) {
    return start_state.calendar_year == guint(t.tm_year + 1900) && start_state.calendar_month == guint(t.tm_mon) &&
           start_state.calendar_day == guint(t.tm_mday);
  };
  EXPECT_TRUE(is_calendar_day(start_state.before) || is_calendar_day(start_state.after));
  EXPECT_EQ(start_state.year, std::to_string(start_state.calendar_year));
  EXPECT_EQ(start_state.month, two_digits(start_state.calendar_month + 1));
  EXPECT_EQ(start_state.day, two_digits(start_state.calendar_day));
  EXPECT_NE(start_state.year, "year");
  // Both counts and both results start empty.
  EXPECT_EQ(start_state.after_count, "");
  EXPECT_EQ(start_state.after_result, "");
  EXPECT_EQ(start_state.before_count, "");
  EXPECT_EQ(start_state.before_result, "");
}

// The copy cuts the formatted calendar day into year, month and day and keeps the zeros:
// "03" matches no chooser item and stays in the entry, "11" selects the item "11".
// The calendar showing 1970-01-01 (date 0) changes nothing.
TEST_F(AppWindow, CalendarCopyKeepsLeadingZeros) {
  GadgetRecord* calendar = record_of(app_calendar);
  ASSERT_NE(calendar, nullptr);
  calendar->ops->set_state(calendar, date_make(2024, 3, 5, 12, 0, 0));
  app_sync_fields_from_calendar();
  EXPECT_EQ(text_of(app_year_field), "2024");
  EXPECT_EQ(text_of(app_month_chooser), "03");
  EXPECT_EQ(text_of(app_day_chooser), "05");
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(app_month_chooser))), -1);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(app_day_chooser))), -1);

  calendar->ops->set_state(calendar, date_make(2037, 11, 25, 0, 0, 0));
  app_sync_fields_from_calendar();
  EXPECT_EQ(text_of(app_year_field), "2037");
  EXPECT_EQ(text_of(app_month_chooser), "11");
  EXPECT_EQ(text_of(app_day_chooser), "25");
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(app_month_chooser))), 10);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(widget_of(app_day_chooser))), 24);

  gtk_calendar_select_month(GTK_CALENDAR(widget_of(app_calendar)), 0, 1970);
  gtk_calendar_select_day(GTK_CALENDAR(widget_of(app_calendar)), 1);
  ASSERT_EQ(gadget_get_state(app_calendar), 0);
  app_sync_fields_from_calendar();
  EXPECT_EQ(text_of(app_year_field), "2037");
  handle_events();  // the day selection above posted a calendar event, which is ignored
}

TEST_F(AppWindow, WindowIsAFixedSizeTitledWindowOnItsBackgroundColour) {
  GtkWidget* top = main_toplevel();
  ASSERT_NE(top, nullptr);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(top)), "ZoriviVudiDider");
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(top)));
  EXPECT_EQ(win_width(app_main_window, WINDOW_INNER_SIZE), 790);
  EXPECT_EQ(win_height(app_main_window, WINDOW_INNER_SIZE), 400);
  GtkAllocation allocation;
  gtk_widget_get_allocation(top, &allocation);
  EXPECT_EQ(allocation.width, 790);
  EXPECT_EQ(allocation.height, 400);
  // Centred on the 1280 x 1024 screen of the test server, not placed at 40, 40.
  gint x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(top), &x, &y);
  EXPECT_EQ(x, (1280 - 790) / 2);
  EXPECT_EQ(y, (1024 - 400) / 2);
  ASSERT_TRUE(zvd_test::pump_until([] { return window_pixel(5, 5) == BACKGROUND_RGB; }, TIMEOUT_MS))
      << std::hex << window_pixel(5, 5);
  EXPECT_EQ(window_pixel(785, 395), BACKGROUND_RGB);
  EXPECT_EQ(window_pixel(545, 290), BACKGROUND_RGB);
}

// One row of the layout: where the gadget's top widget sits and the size it asks for.
struct Placed {
  const char* role;
  GType type;
  int x, y, width, height;
  const char* text;  // label or button text, or null
};

TEST_F(AppWindow, GadgetsSitInTheirOrderAtTheirPlaces) {
  // The gadget area's children in creation order, each the top widget of one gadget.
  const std::vector<Placed> expected = {
      {"year field", GTK_TYPE_SCROLLED_WINDOW, 40, 70, 100, 30, nullptr},
      {"days-after count", GTK_TYPE_SCROLLED_WINDOW, 30, 160, 100, 35, nullptr},
      {"days-after result", GTK_TYPE_SCROLLED_WINDOW, 260, 160, 160, 35, nullptr},
      {"= (after)", GTK_TYPE_BOX, 240, 165, 10, 20, "="},
      {"days after", GTK_TYPE_BOX, 150, 170, 80, 25, "days after"},
      {"valid period", GTK_TYPE_BOX, 40, 110, 380, 25, "valid period: 1970-01-01 <--> 2038-01-19"},
      {"Day", GTK_TYPE_BOX, 320, 40, 40, 25, "Day"},
      {"Month", GTK_TYPE_BOX, 180, 40, 60, 25, "Month"},
      {"day chooser", GTK_TYPE_EVENT_BOX, 320, 70, -1, -1, nullptr},
      {"days-before push", GTK_TYPE_BUTTON, 430, 220, 100, 40, "push"},
      {"days-before count", GTK_TYPE_SCROLLED_WINDOW, 30, 220, 100, 35, nullptr},
      {"days before", GTK_TYPE_BOX, 140, 230, 90, 25, "days before"},
      {"= (before)", GTK_TYPE_BOX, 240, 225, 10, 20, "="},
      {"days-before result", GTK_TYPE_SCROLLED_WINDOW, 260, 220, 160, 35, nullptr},
      {"calendar", GTK_TYPE_CALENDAR, 560, 10, 200, 170, nullptr},
      {"days-after push", GTK_TYPE_BUTTON, 430, 160, 100, 40, "push"},
      {"month chooser", GTK_TYPE_EVENT_BOX, 180, 70, -1, -1, nullptr},
      {"banner", GTK_TYPE_EVENT_BOX, 30, 310, 600, 50, nullptr},
      {"logo", GTK_TYPE_EVENT_BOX, 660, 310, 100, 49, nullptr},
      {"Year", GTK_TYPE_BOX, 40, 40, 40, 25, "Year"},
  };
  GtkWidget* layout = gtk_widget_get_parent(outer_of(app_year_field));
  ASSERT_TRUE(GTK_IS_LAYOUT(layout));
  GList* children = gtk_container_get_children(GTK_CONTAINER(layout));
  ASSERT_EQ(g_list_length(children), expected.size());
  size_t i = 0;
  for (GList* l = children; l; l = l->next, ++i) {
    GtkWidget* w = GTK_WIDGET(l->data);
    const Placed& e = expected[i];
    SCOPED_TRACE(e.role);
    EXPECT_TRUE(G_TYPE_CHECK_INSTANCE_TYPE(w, e.type)) << G_OBJECT_TYPE_NAME(w);
    gint x = 0, y = 0;
    gtk_container_child_get(GTK_CONTAINER(layout), w, "x", &x, "y", &y, nullptr);
    EXPECT_EQ(x, e.x);
    EXPECT_EQ(y, e.y);
    gint width = 0, height = 0;
    gtk_widget_get_size_request(w, &width, &height);
    if (e.width >= 0) {
      EXPECT_EQ(width, e.width);
      EXPECT_EQ(height, e.height);
    }
    // Nothing reaches past the window's edges.
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    EXPECT_LE(a.x + a.width, 790);
    EXPECT_LE(a.y + a.height, 400);
  }
  g_list_free(children);
  // The choosers' combo boxes carry their size; the labels and buttons their texts.
  for (int64_t chooser : {app_day_chooser, app_month_chooser}) {
    gint width = 0, height = 0;
    gtk_widget_get_size_request(widget_of(chooser), &width, &height);
    EXPECT_EQ(width, 100);
    EXPECT_EQ(height, 30);
  }
  EXPECT_EQ(text_of(APP_BEFORE_BUTTON), "push");
  EXPECT_EQ(text_of(app_after_button), "push");
}

// The choosers offer 1-12 and 1-31 without leading zeros, whatever the month; the calendar
// copy's "03" or "05" therefore matches no item and stays in the entry.
TEST_F(AppWindow, ChoosersOfferMonthsAndDaysWithoutLeadingZeros) {
  auto items = [](int64_t gadget) {
    GadgetRecord* r = record_of(gadget);
    std::vector<std::string> texts;
    for (int32_t i = 0; i < r->ops->count_items(r); ++i) {
      const int64_t mark = ustr_stack_top();
      r->ops->get_item_text(r, i, 0, mark);
      char* utf8 = ustr_to_utf8(ustr_stack_string(mark));
      ustr_stack_set_top(mark);
      texts.emplace_back(utf8);
      g_free(utf8);
    }
    return texts;
  };
  std::vector<std::string> months, days;
  for (int i = 1; i <= 12; ++i) months.push_back(std::to_string(i));
  for (int i = 1; i <= 31; ++i) days.push_back(std::to_string(i));
  EXPECT_EQ(items(app_month_chooser), months);
  EXPECT_EQ(items(app_day_chooser), days);
}

TEST_F(AppWindow, BothPicturesAreShownWholeInTheirFrames) {
  ASSERT_NE(app_logo_image, 0);
  ASSERT_NE(app_banner_image, 0);
  EXPECT_EQ(image_width(app_logo_image), 100);
  EXPECT_EQ(image_height(app_logo_image), 49);
  EXPECT_EQ(image_width(app_banner_image), 600);
  EXPECT_EQ(image_height(app_banner_image), 50);
  // Each picture's every corner pixel and its centre appear on the screen, at the place
  // where the gadget's picture widget starts.
  for (int64_t gadget : {app_banner_gadget, app_logo_gadget}) {
    GtkWidget* image = widget_of(gadget);
    ASSERT_TRUE(GTK_IS_IMAGE(image));
    GdkPixbuf* picture = gtk_image_get_pixbuf(GTK_IMAGE(image));
    ASSERT_NE(picture, nullptr);
    const int w = gdk_pixbuf_get_width(picture), h = gdk_pixbuf_get_height(picture);
    ASSERT_TRUE(zvd_test::pump_until(
        [&] {
          GtkAllocation a;
          gtk_widget_get_allocation(image, &a);
          return widget_ready(image) && a.width >= w && a.height >= h;
        },
        TIMEOUT_MS))
        << "the picture never got its full size";
    gint ox = 0, oy = 0;
    ASSERT_TRUE(gtk_widget_translate_coordinates(image, main_toplevel(), 0, 0, &ox, &oy));
    const int stride = gdk_pixbuf_get_rowstride(picture), channels = gdk_pixbuf_get_n_channels(picture);
    const guchar* pixels = gdk_pixbuf_get_pixels(picture);
    for (auto [px, py] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}}) {
      const guchar* p = pixels + py * stride + px * channels;
      const long expected = (long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]};
      EXPECT_TRUE(zvd_test::pump_until([&] { return window_pixel(ox + px, oy + py) == expected; }, TIMEOUT_MS))
          << "picture pixel " << px << "," << py << " shows " << std::hex << window_pixel(ox + px, oy + py)
          << " instead of " << expected;
    }
  }
}

// One use of a push button: the texts typed into the four fields and the expected result.
struct DateCase {
  const char* year;
  const char* month;
  const char* day;
  const char* count;
  bool after;  // the upper (days after) or the lower (days before) button
  const char* expected;
};

void run_case(const DateCase& c) {
  SCOPED_TRACE(std::string(c.after ? "after: " : "before: ") + c.year + "|" + c.month + "|" + c.day + "|" +
               c.count);
  const int64_t count_field = c.after ? app_after_count_field : app_before_count_field;
  const int64_t result_field = c.after ? app_after_result_field : app_before_result_field;
  type_into(app_year_field, c.year);
  type_into(app_month_chooser, c.month);
  type_into(app_day_chooser, c.day);
  type_into(count_field, c.count);
  set_text_of(result_field, "");
  click(c.after ? widget_of(app_after_button) : widget_of(APP_BEFORE_BUTTON));
  ASSERT_TRUE(zvd_test::pump_until(
      [&] {
        handle_events();
        return !text_of(result_field).empty();
      },
      TIMEOUT_MS))
      << "the push button wrote nothing";
  EXPECT_EQ(text_of(result_field), c.expected);
}

TEST_F(AppWindow, PushButtonsMoveTheStartDate) {
  const DateCase cases[] = {
      {"2024", "1", "31", "29", true, "2024/02/29"},
      {"2024", "1", "31", "1", false, "2024/01/30"},
      {"2024", "1", "31", "-5", true, "2024/01/26"},
      {"2024", "1", "31", "5abc", true, "2024/02/05"},
      {"2024", "1", "31", "$10", true, "2024/02/16"},
      {"2024", "1", "31", "%11", true, "2024/02/03"},
      {"2024", "1", "31", "", true, "2024/01/31"},
      {"2024", "1", "31", "", false, "2024/01/31"},
      {"2024", "1", "31", "30000", true, "2106/03/22"},
      {"1970", "1", "1", "1", false, "1969/12/31"},
  };
  for (const DateCase& c : cases) run_case(c);
}

TEST_F(AppWindow, LeapDaysAndMonthEnds) {
  const DateCase cases[] = {
      {"2024", "2", "28", "1", true, "2024/02/29"},
      {"2023", "2", "28", "1", true, "2023/03/01"},
      {"2000", "2", "28", "1", true, "2000/02/29"},
      {"2024", "3", "1", "1", false, "2024/02/29"},
      {"2024", "2", "29", "365", true, "2025/02/28"},
      {"2023", "12", "31", "1", true, "2024/01/01"},
  };
  for (const DateCase& c : cases) run_case(c);
}

TEST_F(AppWindow, InvalidStartDatesGiveZeros) {
  const DateCase cases[] = {
      {"2024", "13", "1", "1", true, "0000/00/00"},   // month 13
      {"2024", "4", "31", "1", true, "0000/00/00"},   // 31 in a 30-day month
      {"2023", "2", "29", "1", false, "0000/00/00"},  // no leap day
      {"1969", "12", "31", "1", true, "0000/00/00"},  // before the period
      {"2038", "1", "20", "0", true, "0000/00/00"},   // after the period
      {"", "1", "1", "1", true, "0000/00/00"},        // empty year
      {"year", "1", "1", "1", false, "0000/00/00"},   // the initial text
      {"2024", "0", "1", "1", true, "0000/00/00"},
      {"2024", "1", "", "1", true, "0000/00/00"},
  };
  for (const DateCase& c : cases) run_case(c);
}

TEST_F(AppWindow, MonthAndDayTextsWithZerosOrBlanksGiveTheSameDate) {
  const DateCase cases[] = {
      {"2024", "03", "05", "0", true, "2024/03/05"},
      {"2024", "3", "5", "0", true, "2024/03/05"},
      {"2024", "3", "  5", "0", true, "2024/03/05"},
      {"2024", "03", " 05", "0", false, "2024/03/05"},
  };
  for (const DateCase& c : cases) run_case(c);
}

// The days-before count is parsed like the days-after count and then negated: a sign or a
// blank before it no longer turns it into 0.
TEST_F(AppWindow, DaysBeforeCountIsParsedThenNegated) {
  const DateCase cases[] = {
      {"2024", "1", "31", " 10", false, "2024/01/21"},
      {"2024", "1", "31", "+10", false, "2024/01/21"},
      {"2024", "1", "31", "-5", false, "2024/02/05"},
      {"2024", "1", "31", "$10", false, "2024/01/15"},
      {"2024", "1", "31", "%11", false, "2024/01/28"},
      {"2024", "1", "31", "5abc", false, "2024/01/26"},
  };
  for (const DateCase& c : cases) run_case(c);
}

// Numbers that do not fit the date library's 32-bit arguments are not cut down to their low
// 32 bits: 4294967297 (2^32 + 1) days is no longer one day.
TEST_F(AppWindow, NumbersBeyondThirtyTwoBitsGiveZeros) {
  const DateCase cases[] = {
      {"2024", "1", "31", "4294967297", true, "0000/00/00"},
      {"2024", "1", "31", "4294967297", false, "0000/00/00"},
      {"2024", "1", "31", "2147483648", true, "0000/00/00"},
      {"2024", "1", "31", "-2147483649", true, "0000/00/00"},
      {"2024", "1", "31", "-2147483648", false, "0000/00/00"},  // negated, it does not fit
      {"4294969320", "1", "31", "0", true, "0000/00/00"},       // 2^32 + 2024
      {"2024", "4294967297", "31", "0", true, "0000/00/00"},    // 2^32 + 1
      {"2024", "1", "4294967327", "0", false, "0000/00/00"},    // 2^32 + 31
  };
  for (const DateCase& c : cases) run_case(c);
}

TEST_F(AppWindow, ResultsPast2038ShowTheirTrueDate) {
  const DateCase cases[] = {
      {"2038", "1", "19", "1", true, "2038/01/20"},
      {"2038", "1", "19", "-1", false, "2038/01/20"},
      {"2037", "12", "31", "366", true, "2039/01/01"},
  };
  for (const DateCase& c : cases) run_case(c);
}

TEST_F(AppWindow, LeftClickOnTheLogoShowsTheAboutBox) {
  DialogWatcher watcher;
  handled().clear();
  click(widget_of(app_logo_gadget), 1);
  ASSERT_TRUE(zvd_test::pump_until(
      [&] {
        handle_events();
        return !watcher.seen().empty() && watcher.settled();
      },
      TIMEOUT_MS))
      << "no about box, or it did not close";
  ASSERT_EQ(watcher.seen().size(), 1u);
  EXPECT_EQ(watcher.seen()[0].title, "合同会社Zephra Corporation");
  EXPECT_EQ(watcher.seen()[0].text,
            "\n合同会社Zephra Corporation\n"
            "\u3000\u3000〒000-0000 見本県架空市例町1丁目2番3号\n"
            "https://zephra.example/");
  EXPECT_TRUE(watcher.seen()[0].closed_by_ok);
  // Back in the main window, which still works.
  run_case({"2024", "1", "31", "29", true, "2024/02/29"});
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
  auto saw = [](int64_t gadget, int64_t subtype) {
    for (const HandledEvent& e : handled())
      if (e.gadget == gadget && e.subtype == subtype) return true;
    return false;
  };
  EXPECT_TRUE(saw(app_logo_gadget, GADGET_EVENT_RIGHT_CLICK));
  EXPECT_TRUE(saw(app_banner_gadget, GADGET_EVENT_LEFT_CLICK));
  EXPECT_TRUE(saw(app_banner_gadget, GADGET_EVENT_RIGHT_CLICK));
}

TEST_F(AppWindow, EventProcedureGoesOnForEverythingButClose) {
  EXPECT_EQ(app_event_procedure(-1), 1);
  EXPECT_EQ(app_event_procedure(EVENT_MENU), 1);
  EXPECT_EQ(app_event_procedure(EVENT_REPAINT), 1);
  EXPECT_EQ(app_event_procedure(EVENT_SIZE_WINDOW), 1);
  // At the window's fixed width the resize handler keeps the result field at 160.
  gint width = 0, height = 0;
  gtk_widget_get_size_request(outer_of(app_after_result_field), &width, &height);
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 35);
  EXPECT_EQ(app_event_procedure(EVENT_CLOSE_WINDOW), 0);
}

// Last: the window-manager close request ends the main loop.
TEST_F(AppWindow, WindowManagerCloseEndsTheMainLoop) {
  GdkWindow* window = gtk_widget_get_window(main_toplevel());
  Display* display = GDK_WINDOW_XDISPLAY(window);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = GDK_WINDOW_XID(window);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  ASSERT_NE(XSendEvent(display, GDK_WINDOW_XID(window), False, NoEventMask, &event), 0);
  XFlush(display);
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

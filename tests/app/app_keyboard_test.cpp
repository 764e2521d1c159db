// The calculator's real main window worked with the keyboard alone, with real key presses:
// the focus at start-up, the Tab order both ways with its wrap, fields that never take a
// tab character, the logo clicked by Enter and Space, and its focus ring.
#include <ctime>

#include "runtime/gadgets/gadget_access.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using namespace zvd_test;

// The controls in the order Tab visits them, wrapping after the last.
struct Stop {
  const char* name;
  const int64_t* gadget;  // null: the days-before button, known by its number
};
const Stop STOPS[] = {{"year", &app_year_field},
                      {"month", &app_month_chooser},
                      {"day", &app_day_chooser},
                      {"calendar", &app_calendar},
                      {"days-after count", &app_after_count_field},
                      {"days-after result", &app_after_result_field},
                      {"upper push", &app_after_button},
                      {"days-before count", &app_before_count_field},
                      {"days-before result", &app_before_result_field},
                      {"lower push", nullptr},
                      {"logo", &app_logo_gadget}};
constexpr int N_STOPS = int(std::size(STOPS));
constexpr int LOGO_STOP = 10;

int64_t gadget_at(int stop) { return STOPS[stop].gadget ? *STOPS[stop].gadget : APP_BEFORE_BUTTON; }

// The stop holding the keyboard focus, or -1 (nothing, or something that is no stop).
int focused_stop() {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(main_toplevel()));
  for (int i = 0; focus && i < N_STOPS; ++i) {
    GtkWidget* top = outer_of(gadget_at(i));
    if (focus == top || gtk_widget_is_ancestor(focus, top)) return i;
  }
  return -1;
}
const char* stop_name(int stop) { return stop < 0 ? "nothing" : STOPS[stop].name; }

bool key(const char* keys) { return xdotool({"key", "--clearmodifiers", keys}); }

// Every text the user can edit, joined.
std::string field_texts() {
  std::string texts;
  for (int64_t g : {app_year_field, app_month_chooser, app_day_chooser, app_after_count_field, app_after_result_field,
                    app_before_count_field, app_before_result_field})
    texts += text_of(g) + "|";
  return texts;
}

// The window's pixels once drawing has come to rest (two pictures in a row agree).
struct Picture {
  int width = 0, stride = 0, channels = 0;
  std::vector<guchar> bytes;
  bool operator==(const Picture&) const = default;
};
Picture window_picture() {
  GdkWindow* window = gtk_widget_get_window(main_toplevel());
  auto take = [&] {
    settle();
    Picture picture;
    if (GdkPixbuf* p = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                  gdk_window_get_height(window))) {
      picture = {gdk_pixbuf_get_width(p), gdk_pixbuf_get_rowstride(p), gdk_pixbuf_get_n_channels(p),
                 {gdk_pixbuf_read_pixels(p), gdk_pixbuf_read_pixels(p) + gdk_pixbuf_get_byte_length(p)}};
      g_object_unref(p);
    }
    return picture;
  };
  Picture previous = take();
  for (int attempt = 0; attempt < 50; ++attempt) {
    pump_until([] { return false; }, 20);
    Picture current = take();
    if (current == previous) break;
    previous = std::move(current);
  }
  return previous;
}

class AppKeyboard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    start_app();
    // A blinking caret would make two pictures of the same window differ.
    g_object_set(gtk_settings_get_default(), "gtk-cursor-blink", FALSE, nullptr);
  }
  static void TearDownTestSuite() { app_shutdown(); }
  void SetUp() override { focus_window(main_toplevel()); }
};

// First, while nothing has been touched: the count field has the keyboard, and the common
// use, "90", Tab, Tab, Space, writes today + 90 days into the upper result.
TEST_F(AppKeyboard, NinetyTabTabSpaceGivesTheDateNinetyDaysFromToday) {
  EXPECT_STREQ(stop_name(focused_stop()), "days-after count");
  ASSERT_TRUE(xdotool({"type", "--delay", "5", "90"}));
  ASSERT_TRUE(pump_until([] { return text_of(app_after_count_field) == "90"; }))
      << "typed 90, the count field shows \"" << text_of(app_after_count_field) << "\"";
  ASSERT_TRUE(key("Tab") && key("Tab") && key("space"));
  ASSERT_TRUE(pump_until([] {
    handle_events();
    return !text_of(app_after_result_field).empty();
  })) << "Space on the upper push computed nothing; the focus is on " << stop_name(focused_stop());
  struct tm day {};
  day.tm_year = std::stoi(text_of(app_year_field)) - 1900;
  day.tm_mon = std::stoi(text_of(app_month_chooser)) - 1;
  day.tm_mday = std::stoi(text_of(app_day_chooser)) + 90;
  day.tm_hour = 12;
  mktime(&day);
  char expected[16];
  strftime(expected, sizeof expected, "%Y/%m/%d", &day);
  EXPECT_EQ(text_of(app_after_result_field), expected);
}

// Tab, Shift+Tab and Ctrl+Tab each walk the whole window round, one stop per press, and
// take no text with them: not from the year field, nor any other.
TEST_F(AppKeyboard, TabWalksTheWindowInReadingOrderBothWaysAndWraps) {
  struct Walk {
    const char* keys;
    int step;
  };
  for (const Walk& walk : {Walk{"Tab", 1}, Walk{"shift+Tab", -1}, Walk{"ctrl+Tab", 1}}) {
    gadget_set_focus(app_year_field);
    ASSERT_TRUE(pump_until([] { return focused_stop() == 0; }));
    const std::string texts = field_texts();
    int at = 0;
    for (int press = 0; press < N_STOPS; ++press) {
      const int next = (at + walk.step + N_STOPS) % N_STOPS;
      ASSERT_TRUE(key(walk.keys));
      ASSERT_TRUE(pump_until([&] { return focused_stop() == next; }))
          << walk.keys << " from the " << STOPS[at].name << " went to " << stop_name(focused_stop()) << ", not the "
          << STOPS[next].name;
      at = next;
    }
    handle_events();
    EXPECT_EQ(field_texts(), texts) << walk.keys;
  }
}

// Enter and Space on the focused logo post exactly the left click a pointer click posts,
// and each opens the about box once.
TEST_F(AppKeyboard, EnterAndSpaceOnTheLogoOpenTheAboutBoxAsAClickDoes) {
  for (const char* keys : {"Return", "space", "KP_Enter", "pointer"}) {
    SCOPED_TRACE(keys);
    focus_window(main_toplevel());
    DialogWatcher watcher;
    handled().clear();
    if (std::string(keys) == "pointer") {
      click(widget_of(app_logo_gadget), 1);
    } else {
      gadget_set_focus(app_logo_gadget);
      ASSERT_TRUE(pump_until([] { return focused_stop() == LOGO_STOP; }));
      ASSERT_TRUE(key(keys));
    }
    ASSERT_TRUE(pump_until([&] {
      handle_events();
      return !watcher.seen().empty() && watcher.settled();
    })) << "no about box, or it did not close";
    handle_events();
    EXPECT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].title, "合同会社Zephra Corporation");
    EXPECT_FALSE(watcher.gave_up);
    std::vector<int64_t> logo_events;
    for (const HandledEvent& e : handled())
      if (e.gadget == app_logo_gadget) logo_events.push_back(e.subtype);
    EXPECT_EQ(logo_events, std::vector<int64_t>{GADGET_EVENT_LEFT_CLICK});
  }
}

// The logo shows the theme's focus ring while it has the focus, inside its own area only,
// and the window looks as before once no control has the focus.
TEST_F(AppKeyboard, OnlyTheFocusedLogoShowsAFocusRing) {
  GtkWindow* window = GTK_WINDOW(main_toplevel());
  gtk_window_set_focus(window, nullptr);
  const Picture unfocused = window_picture();
  gadget_set_focus(app_logo_gadget);
  ASSERT_TRUE(key("shift+Tab") && key("Tab"));  // focus that came by the keyboard is visible
  ASSERT_TRUE(pump_until([] { return focused_stop() == LOGO_STOP; }));
  const Picture focused = window_picture();
  gtk_window_set_focus(window, nullptr);
  EXPECT_TRUE(window_picture() == unfocused) << "the window looks different after the focus left";

  ASSERT_EQ(focused.bytes.size(), unfocused.bytes.size());
  GtkWidget* logo = outer_of(app_logo_gadget);
  int left = 0, top = 0;
  ASSERT_TRUE(gtk_widget_translate_coordinates(logo, main_toplevel(), 0, 0, &left, &top));
  const int right = left + gtk_widget_get_allocated_width(logo), bottom = top + gtk_widget_get_allocated_height(logo);
  int inside = 0, outside = 0;
  for (size_t i = 0; i < focused.bytes.size(); ++i) {
    if (focused.bytes[i] == unfocused.bytes[i]) continue;
    const int x = int(i % focused.stride) / focused.channels, y = int(i / focused.stride);
    ++(x >= left && x < right && y >= top && y < bottom ? inside : outside);
  }
  EXPECT_GT(inside, 0) << "no focus ring on the logo";
  EXPECT_EQ(outside, 0) << "the logo's focus changed pixels elsewhere";
}

}  // namespace

// Windows on a real X server: flags, geometry, window events from real X traffic,
// closing, and the per-thread current gadget list.
#include "tests/support/gui.h"

namespace {

using namespace zvd_test;

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    start_runtime();
    settle();
    drain_events();
  }
  void TearDown() override {
    win_close_all();
    pump_pending();
    event_queue_clear();
  }
  static GtkWidget* open(ObjectValue value, int32_t flags, int x = 20, int y = 30, int w = 200, int h = 150,
                         void* parent = nullptr) {
    const int64_t result = win_open(value, x, y, w, h, u"Test window", flags, parent);
    // Opened under a number, the window's widget address comes back.
    if (value != ANY_NUMBER) {
      EXPECT_EQ(reinterpret_cast<void*>(result), win_widget(value));
    }
    return GTK_WIDGET(win_widget(value == ANY_NUMBER ? result : value));
  }
  static GtkWidget* area_of(GtkWidget* window) {
    return static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "kt_gadgetlist"));
  }
  static int64_t value_of(GtkWidget* window) {
    return reinterpret_cast<intptr_t>(g_object_get_data(G_OBJECT(window), "kt_id"));
  }
  static bool origin_is(GtkWidget* window, int x, int y) {
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &ox, &oy);
    return ox == x && oy == y;
  }
  static GdkWMDecoration decorations(GtkWidget* window) {
    GdkWMDecoration d{};
    EXPECT_TRUE(gdk_window_get_decorations(gtk_widget_get_window(window), &d));
    return d;
  }
  std::vector<Event> log_;
};

TEST_F(Windows, SizeRightAfterOpeningAndReopeningALiveNumber) {
  GtkWidget* window = open(2, 0);
  EXPECT_EQ(win_width(2, WINDOW_INNER_SIZE), 200);
  EXPECT_EQ(win_height(2, WINDOW_INNER_SIZE), 150);
  EXPECT_TRUE(GTK_IS_LAYOUT(area_of(window)));
  g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
  open(2, WINDOW_INVISIBLE, 20, 30, 120, 90);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(win_width(2, WINDOW_INNER_SIZE), 120);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(win_widget(2))));
  // Negative sizes reach the toolkit as "unset" and are stored as given.
  open(3, WINDOW_INVISIBLE, 20, 30, -1, -5);
  EXPECT_EQ(win_width(3, WINDOW_INNER_SIZE), -1);
  EXPECT_EQ(win_height(3, WINDOW_INNER_SIZE), -5);
}

TEST_F(Windows, FixedSizeWindowHasExactlyTheRequestedSize) {
  GtkWidget* window = open(ANY_NUMBER, WINDOW_SYSTEM_MENU);
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
  ASSERT_TRUE(pump_until([&] {
    return gdk_window_get_width(gtk_widget_get_window(window)) == 200 &&
           gdk_window_get_height(gtk_widget_get_window(window)) == 150;
  }));
  EXPECT_TRUE(origin_is(window, 20, 30));
}

// The gadget area is exactly the requested size whatever the flags, also where the toolkit
// draws the title bar and shadow itself (this case runs on Wayland too).
TEST_F(Windows, GadgetAreaHasTheRequestedSizeWhateverTheFlags) {
  for (int32_t flags : std::initializer_list<int32_t>{0, WINDOW_SYSTEM_MENU | WINDOW_MINIMIZE_GADGET, 0x16C, WINDOW_SIZE_GADGET,
                        WINDOW_MAXIMIZE_GADGET | WINDOW_SYSTEM_MENU, WINDOW_BORDERLESS, WINDOW_TOOL | WINDOW_SYSTEM_MENU,
                        WINDOW_TOOL | WINDOW_SIZE_GADGET, WINDOW_NO_ACTIVATE | WINDOW_PARENT_CENTERED}) {
    GtkWidget* window = open(ANY_NUMBER, flags, 40, 40, 310, 190);
    GtkWidget* area = area_of(window);
    EXPECT_TRUE(pump_until([&] {
      return gtk_widget_get_mapped(area) && gtk_widget_get_allocated_width(area) == 310 &&
             gtk_widget_get_allocated_height(area) == 190;
    })) << "flags " << flags << ": " << gtk_widget_get_allocated_width(area) << "x" << gtk_widget_get_allocated_height(area);
    EXPECT_EQ(win_width(value_of(window), WINDOW_INNER_SIZE), 310) << flags;
    EXPECT_EQ(win_height(value_of(window), WINDOW_INNER_SIZE), 190) << flags;
    win_close(value_of(window));
  }
}

TEST_F(Windows, CentringOnTheScreenAndOnTheParent) {
  // 1280 x 1024 screen: (640 - 150, 512 - 100).
  GtkWidget* screen = open(ANY_NUMBER, WINDOW_SCREEN_CENTERED, 5, 5, 300, 200);
  GtkWidget* ignored = open(ANY_NUMBER, 0, IGNORE_POSITION, 5, 300, 200);
  // Both centring flags: the screen wins even with a parent.
  GtkWidget* both = open(ANY_NUMBER, WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED, 5, 5, 300, 200, screen);
  for (GtkWidget* w : {screen, ignored, both}) EXPECT_TRUE(pump_until([&] { return origin_is(w, 490, 412); }));
  GtkWidget* parent = open(ANY_NUMBER, 0, 100, 100, 400, 300);
  ASSERT_TRUE(pump_until([&] { return origin_is(parent, 100, 100); }));
  GtkWidget* child = open(ANY_NUMBER, WINDOW_PARENT_CENTERED, 0, 0, 200, 100, parent);
  EXPECT_TRUE(pump_until([&] { return origin_is(child, 200, 200); }));
}

TEST_F(Windows, DecorationsFollowTheFlags) {
  GtkWidget* plain = open(ANY_NUMBER, WINDOW_SYSTEM_MENU | WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE_GADGET);
  EXPECT_EQ(decorations(plain), GDK_DECOR_TITLE | GDK_DECOR_BORDER | GDK_DECOR_RESIZEH | GDK_DECOR_MINIMIZE |
                                    GDK_DECOR_MAXIMIZE | GDK_DECOR_MENU);
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(plain)));
  EXPECT_EQ(decorations(open(ANY_NUMBER, WINDOW_BORDERLESS | WINDOW_SYSTEM_MENU)), 0);
  GtkWidget* tool = open(ANY_NUMBER, WINDOW_TOOL | WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE_GADGET | WINDOW_SYSTEM_MENU);
  EXPECT_EQ(decorations(tool) & (GDK_DECOR_MINIMIZE | GDK_DECOR_MAXIMIZE), 0);
  EXPECT_TRUE(decorations(tool) & GDK_DECOR_MENU);
  EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(tool)), GDK_WINDOW_TYPE_HINT_UTILITY);
  // The resizable decision made before the tool flag stripped MAXIMIZE_GADGET stays.
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(tool)));
}

TEST_F(Windows, RealResizeMoveAndCloseRequestsPostTheirEvents) {
  GtkWidget* window = open(ANY_NUMBER, WINDOW_SIZE_GADGET, 0, 0, 200, 150);
  const int64_t w = value_of(window);
  ASSERT_TRUE(pump_until([&] { return origin_is(window, 0, 0); }));
  drain_events();
  // Another X client's requests, the way a window manager moves and resizes a window.
  GdkWindow* gdk = gtk_widget_get_window(window);
  XMoveWindow(x_display(), GDK_WINDOW_XID(gdk), 60, 70);
  XFlush(x_display());
  ASSERT_TRUE(wait_for_event(&log_, EVENT_MOVE_WINDOW, w));
  EXPECT_EQ(count_events(log_, EVENT_SIZE_WINDOW, w), 0);
  log_.clear();
  XResizeWindow(x_display(), GDK_WINDOW_XID(gdk), 320, 240);
  XFlush(x_display());
  ASSERT_TRUE(wait_for_event(&log_, EVENT_SIZE_WINDOW, w));
  EXPECT_EQ(count_events(log_, EVENT_MOVE_WINDOW, w), 0);
  EXPECT_EQ(win_width(w, WINDOW_INNER_SIZE), 320);
  EXPECT_EQ(win_height(w, WINDOW_INNER_SIZE), 240);
  // Closing through the window manager protocol or the toolkit posts a request only.
  send_wm_delete(window);
  ASSERT_TRUE(wait_for_event(&log_, EVENT_CLOSE_WINDOW, w));
  log_.clear();
  gtk_window_close(GTK_WINDOW(window));
  ASSERT_TRUE(wait_for_event(&log_, EVENT_CLOSE_WINDOW, w));
  EXPECT_EQ(win_widget(w), window);
}

TEST_F(Windows, ClicksOnTheGadgetAreaPostClickEvents) {
  GtkWidget* area = area_of(open(ANY_NUMBER, 0));
  const int64_t w = value_of(gtk_widget_get_toplevel(area));
  for (auto [button, count, type] : {std::tuple{1u, 1, EVENT_LEFT_CLICK}, {3u, 1, EVENT_RIGHT_CLICK},
                                     {1u, 2, EVENT_LEFT_DOUBLE_CLICK}}) {
    click(area, button, count, 10 + 10 * count, 10 + 10 * count);
    ASSERT_TRUE(wait_for_event(&log_, type, w)) << button << " x" << count;
  }
}

TEST_F(Windows, NoActivateWindowClosedBeforeItsFocusTimeout) {
  GtkWidget* window = open(ANY_NUMBER, WINDOW_NO_ACTIVATE);
  ASSERT_TRUE(wait_for_event(&log_, EVENT_REPAINT, value_of(window)));
  win_close(value_of(window));
  // The 50 ms timeout fires on a closed window; the sanitizer build checks it.
  bool fired = false;
  g_timeout_add(80, [](gpointer f) -> gboolean { *static_cast<bool*>(f) = true; return G_SOURCE_REMOVE; }, &fired);
  EXPECT_TRUE(pump_until([&] { return fired; }));
}

TEST_F(Windows, ClosingPurgesItsEventsAndReleasesItsRecord) {
  const int64_t a = value_of(open(ANY_NUMBER, 0));
  open(5, 0);
  settle();
  drain_events();
  event_post(EVENT_GADGET, 1, a, 0);
  event_post(EVENT_GADGET, 2, 5, 0);
  event_post(EVENT_GADGET, 3, a, 0);
  event_post(EVENT_GADGET, 4, 5, 0);
  win_close(a);
  EXPECT_EQ(win_widget(a), nullptr);
  EXPECT_EQ(obj_is_object(win_registry(), a), 0);
  EXPECT_EQ(drain_events(true), (std::vector<Event>{{EVENT_GADGET, 2, 5, 0}, {EVENT_GADGET, 4, 5, 0}}));
  // Operations on a closed window or a bogus value do nothing.
  win_set_color(a, 0);
  win_set_state(a, WINDOW_MAXIMIZE);
  win_close(a);
  EXPECT_EQ(win_width(a, WINDOW_INNER_SIZE), 0);
  EXPECT_EQ(win_width(-2, WINDOW_INNER_SIZE), 0);
}

TEST_F(Windows, BackgroundColourReachesTheScreen) {
  EXPECT_EQ(color_rgb(188, 216, 215), 188 + 216 * 256 + 215 * 65536);
  EXPECT_EQ(color_rgb(0, 0, 0x10000), 0);  // wraps in 32 bits
  GtkWidget* window = open(ANY_NUMBER, 0);
  win_set_color(value_of(window), static_cast<int32_t>(color_rgb(188, 216, 215)));
  EXPECT_TRUE(pump_until([&] {
    GdkPixbuf* p = gdk_pixbuf_get_from_window(gtk_widget_get_window(window), 10, 10, 1, 1);
    const bool same = p && memcmp(gdk_pixbuf_read_pixels(p), "\xbc\xd8\xd7", 3) == 0;  // 188, 216, 215
    if (p) g_object_unref(p);
    return same;
  }));
}

TEST_F(Windows, GadgetListFollowsTheCurrentWindow) {
  GtkWidget* wa = open(ANY_NUMBER, 0);
  EXPECT_EQ(gadget_list_use(nullptr), wa);
  EXPECT_EQ(gadget_list_state()->current, area_of(wa));
  open(ANY_NUMBER, WINDOW_NO_GADGET_LIST);
  EXPECT_EQ(gadget_list_use(nullptr), wa);  // unchanged
  GtkWidget* wb = open(ANY_NUMBER, 0);
  // A container inside b is made current by hand, as a nested gadget list would.
  GtkWidget* inner = gtk_layout_new(nullptr, nullptr);
  g_object_ref_sink(inner);
  gadget_list_state()->current = inner;
  EXPECT_EQ(gadget_list_use(wa), wb);
  EXPECT_EQ(gadget_list_state()->current, area_of(wa));
  EXPECT_EQ(gadget_list_use(wb), wa);
  EXPECT_EQ(gadget_list_state()->current, inner);  // b's own list restored
  // Destroying the current owner clears the thread's state.
  EXPECT_EQ(gadget_list_use(inner), wb);
  g_object_unref(inner);
  EXPECT_EQ(gadget_list_use(nullptr), nullptr);
  EXPECT_EQ(gadget_list_state()->current, nullptr);
}

}  // namespace

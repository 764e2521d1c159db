// Windows on a real X server: flags, geometry, the widget tree, window events from
// real X traffic, closing, and the per-thread current gadget list.

#include "tests/gui/gui_frame_support.h"

namespace {

using zvd_test::pump_until;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zvd_test::start_frame();
    log.clear();
  }
  void TearDown() override {
    win_close_all();
    zvd_test::pump_pending();
    event_queue_clear();
  }

  static int64_t open(ObjectValue value, int32_t flags, int x = 20, int y = 30, int w = 200, int h = 150,
                      void* parent = nullptr) {
    return win_open(value, x, y, w, h, u"Test window", flags, parent);
  }
  static GtkWidget* area_of(GtkWidget* window) {
    return static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), "kt_gadgetlist"));
  }
  static bool origin_is(GtkWidget* window, int x, int y) {
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &ox, &oy);
    return ox == x && oy == y;
  }

  zvd_test::EventLog log;
};

TEST_F(WindowTest, HandleAndNumberFormsAndTheWidgetTree) {
  const int64_t handle = open(ANY_NUMBER, 0);
  ASSERT_NE(handle, 0);
  auto* window = static_cast<GtkWidget*>(win_widget(handle));
  ASSERT_TRUE(GTK_IS_WINDOW(window));
  EXPECT_EQ(win_width(handle, WINDOW_INNER_SIZE), 200);
  EXPECT_EQ(win_height(handle, WINDOW_INNER_SIZE), 150);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Test window");
  EXPECT_EQ(reinterpret_cast<intptr_t>(g_object_get_data(G_OBJECT(window), "kt_id")), handle);

  GtkWidget* box = gtk_bin_get_child(GTK_BIN(window));
  ASSERT_TRUE(GTK_IS_BOX(box));
  EXPECT_EQ(gtk_orientable_get_orientation(GTK_ORIENTABLE(box)), GTK_ORIENTATION_VERTICAL);
  GList* children = gtk_container_get_children(GTK_CONTAINER(box));
  ASSERT_EQ(g_list_length(children), 1u);
  EXPECT_TRUE(GTK_IS_LAYOUT(children->data));
  EXPECT_EQ(children->data, area_of(window));
  g_list_free(children);
  EXPECT_TRUE(gtk_widget_get_events(area_of(window)) & GDK_BUTTON_RELEASE_MASK);
  EXPECT_GT(win_width(handle, 0), 0);  // frame size

  const int64_t toolkit = open(3, WINDOW_INVISIBLE);
  EXPECT_EQ(reinterpret_cast<void*>(toolkit), win_widget(3));
  EXPECT_FALSE(gtk_widget_get_visible(static_cast<GtkWidget*>(win_widget(3))));
  EXPECT_EQ(win_width(3, WINDOW_INNER_SIZE), 200);
}

TEST_F(WindowTest, ReopeningALiveNumberDestroysTheOldWindow) {
  open(2, 0);
  GtkWidget* first = static_cast<GtkWidget*>(win_widget(2));
  g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
  open(2, 0, 20, 30, 120, 90);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(win_width(2, WINDOW_INNER_SIZE), 120);
}

TEST_F(WindowTest, FixedSizeWindowHasExactlyTheRequestedSize) {
  const int64_t w = open(ANY_NUMBER, WINDOW_SYSTEM_MENU);
  auto* window = static_cast<GtkWidget*>(win_widget(w));
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
  ASSERT_TRUE(pump_until([&] {
    return gdk_window_get_width(gtk_widget_get_window(window)) == 200 &&
           gdk_window_get_height(gtk_widget_get_window(window)) == 150;
  }));
  EXPECT_TRUE(origin_is(window, 20, 30));
  int w_now = 0, h_now = 0;
  gtk_window_get_size(GTK_WINDOW(window), &w_now, &h_now);
  EXPECT_EQ(w_now, 200);
  EXPECT_EQ(h_now, 150);
}

TEST_F(WindowTest, ScreenCentringAndIgnorePosition) {
  // 1280 x 1024 screen: (640 - 150, 512 - 100).
  const int64_t a = open(ANY_NUMBER, WINDOW_SCREEN_CENTERED, 5, 5, 300, 200);
  EXPECT_TRUE(pump_until([&] { return origin_is(static_cast<GtkWidget*>(win_widget(a)), 490, 412); }));
  const int64_t b = open(ANY_NUMBER, 0, IGNORE_POSITION, 5, 300, 200);
  EXPECT_TRUE(pump_until([&] { return origin_is(static_cast<GtkWidget*>(win_widget(b)), 490, 412); }));
  // Both centring flags: the screen wins even with a parent.
  const int64_t c = open(ANY_NUMBER, WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED, 5, 5, 300, 200,
                         win_widget(a));
  EXPECT_TRUE(pump_until([&] { return origin_is(static_cast<GtkWidget*>(win_widget(c)), 490, 412); }));
}

TEST_F(WindowTest, ParentCentringUsesTheParentsFrame) {
  const int64_t parent = open(ANY_NUMBER, 0, 100, 100, 400, 300);
  auto* parent_widget = static_cast<GtkWidget*>(win_widget(parent));
  ASSERT_TRUE(pump_until([&] { return origin_is(parent_widget, 100, 100); }));
  const int64_t child = open(ANY_NUMBER, WINDOW_PARENT_CENTERED, 0, 0, 200, 100, parent_widget);
  auto* child_widget = static_cast<GtkWidget*>(win_widget(child));
  EXPECT_TRUE(pump_until([&] { return origin_is(child_widget, 200, 200); }));
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(child_widget)), GTK_WINDOW(parent_widget));
}

TEST_F(WindowTest, DecorationsFollowTheFlags) {
  GdkWMDecoration decorations{};
  const int64_t plain = open(ANY_NUMBER, WINDOW_SYSTEM_MENU | WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE_GADGET);
  ASSERT_TRUE(gdk_window_get_decorations(gtk_widget_get_window(static_cast<GtkWidget*>(win_widget(plain))),
                                         &decorations));
  EXPECT_EQ(decorations, GDK_DECOR_TITLE | GDK_DECOR_BORDER | GDK_DECOR_RESIZEH | GDK_DECOR_MINIMIZE |
                             GDK_DECOR_MAXIMIZE | GDK_DECOR_MENU);
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(win_widget(plain))));

  const int64_t borderless = open(ANY_NUMBER, WINDOW_BORDERLESS | WINDOW_SYSTEM_MENU);
  ASSERT_TRUE(gdk_window_get_decorations(
      gtk_widget_get_window(static_cast<GtkWidget*>(win_widget(borderless))), &decorations));
  EXPECT_EQ(decorations, 0);

  const int64_t tool = open(ANY_NUMBER, WINDOW_TOOL | WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE_GADGET | WINDOW_SYSTEM_MENU);
  auto* tool_widget = static_cast<GtkWidget*>(win_widget(tool));
  ASSERT_TRUE(gdk_window_get_decorations(gtk_widget_get_window(tool_widget), &decorations));
  EXPECT_EQ(decorations & (GDK_DECOR_MINIMIZE | GDK_DECOR_MAXIMIZE), 0);
  EXPECT_TRUE(decorations & GDK_DECOR_MENU);
  EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(tool_widget)), GDK_WINDOW_TYPE_HINT_UTILITY);
  // The resizable decision made before the tool flag stripped MAXIMIZE_GADGET stays.
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(tool_widget)));
}

TEST_F(WindowTest, RealResizeAndMovePostSizeAndMoveEvents) {
  const int64_t w = open(ANY_NUMBER, WINDOW_SIZE_GADGET, 0, 0, 200, 150);
  auto* window = static_cast<GtkWidget*>(win_widget(w));
  ASSERT_TRUE(pump_until([&] { return origin_is(window, 0, 0); }));
  log.clear();
  GdkWindow* gdk = gtk_widget_get_window(window);
  // Another X client's request, the way a window manager moves a window.
  Display* display = GDK_WINDOW_XDISPLAY(gdk);
  XMoveWindow(display, GDK_WINDOW_XID(gdk), 60, 70);
  XFlush(display);
  ASSERT_TRUE(log.wait_for(EVENT_MOVE_WINDOW, w));
  EXPECT_EQ(log.count(EVENT_SIZE_WINDOW, w), 0);
  EXPECT_EQ(reinterpret_cast<intptr_t>(g_object_get_data(G_OBJECT(window), "kt_previous_x")), 60);

  log.events.clear();
  XResizeWindow(display, GDK_WINDOW_XID(gdk), 320, 240);
  XFlush(display);
  ASSERT_TRUE(log.wait_for(EVENT_SIZE_WINDOW, w));
  EXPECT_EQ(log.count(EVENT_MOVE_WINDOW, w), 0);
  EXPECT_EQ(win_width(w, WINDOW_INNER_SIZE), 320);
  EXPECT_EQ(win_height(w, WINDOW_INNER_SIZE), 240);
}

TEST_F(WindowTest, CloseRequestsPostCloseEventsAndLeaveTheWindowOpen) {
  const int64_t w = open(ANY_NUMBER, 0);
  auto* window = static_cast<GtkWidget*>(win_widget(w));
  log.clear();
  zvd_test::send_wm_delete(window);
  ASSERT_TRUE(log.wait_for(EVENT_CLOSE_WINDOW, w));
  EXPECT_EQ(win_widget(w), window);
  log.events.clear();
  gtk_window_close(GTK_WINDOW(window));
  ASSERT_TRUE(log.wait_for(EVENT_CLOSE_WINDOW, w));
  EXPECT_EQ(win_widget(w), window);
}

TEST_F(WindowTest, ClicksOnTheGadgetAreaPostClickEvents) {
  const int64_t w = open(ANY_NUMBER, 0);
  GtkWidget* area = area_of(static_cast<GtkWidget*>(win_widget(w)));
  ASSERT_TRUE(pump_until([&] { return gdk_window_is_viewable(gtk_widget_get_window(area)); }));
  log.clear();
  zvd_test::click(area, 20, 20, 1);
  ASSERT_TRUE(log.wait_for(EVENT_LEFT_CLICK, w));
  zvd_test::click(area, 20, 20, 3);
  ASSERT_TRUE(log.wait_for(EVENT_RIGHT_CLICK, w));
  log.events.clear();
  zvd_test::click(area, 30, 30, 1);
  zvd_test::click(area, 30, 30, 1);
  ASSERT_TRUE(log.wait_for(EVENT_LEFT_DOUBLE_CLICK, w));
}

TEST_F(WindowTest, RepaintAndDelayedFocusForNoActivate) {
  const int64_t w = open(ANY_NUMBER, WINDOW_NO_ACTIVATE);
  auto* window = static_cast<GtkWidget*>(win_widget(w));
  EXPECT_TRUE(log.wait_for(EVENT_REPAINT, w));
  EXPECT_EQ(g_object_get_data(G_OBJECT(window), "kt_restore_focus"), nullptr);  // cleared by the draw
  EXPECT_TRUE(pump_until([&] { return gtk_window_get_accept_focus(GTK_WINDOW(window)); }));
}

TEST_F(WindowTest, NoActivateWindowClosedBeforeItsFocusTimeout) {
  const int64_t w = open(ANY_NUMBER, WINDOW_NO_ACTIVATE);
  ASSERT_TRUE(log.wait_for(EVENT_REPAINT, w));
  win_close(w);
  // The 50 ms timeout fires on a closed window; the sanitizer build checks it.
  bool fired = false;
  g_timeout_add(80, [](gpointer f) -> gboolean { *static_cast<bool*>(f) = true; return G_SOURCE_REMOVE; }, &fired);
  EXPECT_TRUE(pump_until([&] { return fired; }));
}

TEST_F(WindowTest, ClosingPurgesItsEventsAndReleasesItsRecord) {
  const int64_t a = open(ANY_NUMBER, 0);
  const int64_t b = open(5, 0);
  log.clear();
  event_post(EVENT_GADGET, 1, a, 0);
  event_post(EVENT_GADGET, 2, 5, 0);
  event_post(EVENT_GADGET, 3, a, 0);
  event_post(EVENT_GADGET, 4, 5, 0);
  win_close(a);
  EXPECT_EQ(win_width(a, WINDOW_INNER_SIZE), 0);
  EXPECT_EQ(win_widget(a), nullptr);
  EXPECT_EQ(obj_is_object(win_registry(), a), 0);
  log.collect();
  std::vector<int64_t> gadgets;
  for (const auto& e : log.events) {
    EXPECT_NE(e.window, a);
    if (e.type == EVENT_GADGET) gadgets.push_back(e.gadget);
  }
  EXPECT_EQ(gadgets, (std::vector<int64_t>{2, 4}));
  EXPECT_NE(b, 0);
  // Operations on a closed window do nothing.
  win_set_color(a, 0);
  win_set_state(a, WINDOW_MAXIMIZE);
  win_close(a);
  EXPECT_EQ(win_width(-2, WINDOW_INNER_SIZE), 0);
}

TEST_F(WindowTest, CloseAllDestroysNumbersAscendingThenHandlesOldestFirst) {
  std::vector<int64_t> order;
  auto track = [&](int64_t value) {
    GtkWidget* w = static_cast<GtkWidget*>(win_widget(value));
    g_object_set_data(G_OBJECT(w), "test_value", reinterpret_cast<gpointer>(value));
    g_signal_connect(w, "destroy", G_CALLBACK(+[](GtkWidget* widget, gpointer data) {
                       static_cast<std::vector<int64_t>*>(data)->push_back(
                           reinterpret_cast<intptr_t>(g_object_get_data(G_OBJECT(widget), "test_value")));
                     }),
                     &order);
  };
  const int64_t h1 = open(ANY_NUMBER, WINDOW_INVISIBLE);
  open(7, WINDOW_INVISIBLE);
  const int64_t h2 = open(ANY_NUMBER, WINDOW_INVISIBLE);
  open(1, WINDOW_INVISIBLE);
  for (int64_t v : {h1, int64_t{7}, h2, int64_t{1}}) track(v);
  win_close_all();
  EXPECT_EQ(order, (std::vector<int64_t>{1, 7, h1, h2}));
  EXPECT_EQ(win_widget(1), nullptr);
  EXPECT_EQ(win_widget(h2), nullptr);
}

TEST_F(WindowTest, BackgroundColourOfTheGadgetArea) {
  EXPECT_EQ(color_rgb(188, 216, 215), 188 + 216 * 256 + 215 * 65536);
  EXPECT_EQ(color_rgb(0, 0, 255), 255 * 65536);
  EXPECT_EQ(color_rgb(0, 0, 0x10000), 0);            // wraps in 32 bits
  EXPECT_EQ(color_rgb(-1, 0, 0), -1);
  const int64_t w = open(ANY_NUMBER, 0);
  GtkWidget* area = area_of(static_cast<GtkWidget*>(win_widget(w)));
  win_set_color(w, static_cast<int32_t>(color_rgb(188, 216, 215)));
  GdkRGBA bg{};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_style_context_get_background_color(gtk_widget_get_style_context(area), GTK_STATE_FLAG_NORMAL, &bg);
#pragma GCC diagnostic pop
  EXPECT_EQ(static_cast<int>(bg.red * 65535 + 0.5), 48128);
  EXPECT_EQ(static_cast<int>(bg.green * 65535 + 0.5), 55296);
  EXPECT_EQ(static_cast<int>(bg.blue * 65535 + 0.5), 55040);
  // And on screen: the area's pixels turn (188, 216, 215).
  auto pixel_is = [&] {
    GtkWidget* top = gtk_widget_get_toplevel(area);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(area, top, 10, 10, &x, &y);
    GdkWindow* gdk = gtk_widget_get_window(top);
    XImage* image = XGetImage(GDK_WINDOW_XDISPLAY(gdk), GDK_WINDOW_XID(gdk), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel == 0xBCD8D7;  // (188, 216, 215)
  };
  EXPECT_TRUE(pump_until(pixel_is));
}

TEST_F(WindowTest, StateFlagsAtOpeningKeepTheWindowUsable) {
  const int64_t min = open(ANY_NUMBER, WINDOW_MINIMIZE);
  const int64_t max = open(ANY_NUMBER, WINDOW_MAXIMIZE | WINDOW_MAXIMIZE_GADGET);
  EXPECT_NE(win_widget(min), nullptr);
  EXPECT_NE(win_widget(max), nullptr);
  win_set_state(max, 0);
  win_set_state(min, WINDOW_MINIMIZE);
}

TEST_F(WindowTest, GadgetListFollowsTheCurrentWindow) {
  const int64_t a = open(ANY_NUMBER, 0);
  auto* wa = static_cast<GtkWidget*>(win_widget(a));
  EXPECT_EQ(gadget_list_use(nullptr), wa);
  EXPECT_EQ(gadget_list_state()->current, area_of(wa));

  open(ANY_NUMBER, WINDOW_NO_GADGET_LIST);
  EXPECT_EQ(gadget_list_use(nullptr), wa);  // unchanged

  const int64_t b = open(ANY_NUMBER, 0);
  auto* wb = static_cast<GtkWidget*>(win_widget(b));
  EXPECT_EQ(gadget_list_use(nullptr), wb);
  // A container inside b is made current by hand, as a nested gadget list would.
  GtkWidget* inner = gtk_layout_new(nullptr, nullptr);
  g_object_ref_sink(inner);
  gadget_list_state()->current = inner;

  EXPECT_EQ(gadget_list_use(wa), wb);
  EXPECT_EQ(gadget_list_state()->current, area_of(wa));
  EXPECT_EQ(gadget_list_use(wb), wa);
  EXPECT_EQ(gadget_list_state()->current, inner);  // b's own list restored

  // Any other widget is its own gadget list.
  EXPECT_EQ(gadget_list_use(inner), wb);
  EXPECT_EQ(gadget_list_state()->current, inner);
  // Destroying the current owner clears the thread's state.
  g_object_unref(inner);
  EXPECT_EQ(gadget_list_use(nullptr), nullptr);
  EXPECT_EQ(gadget_list_state()->current, nullptr);
}

TEST_F(WindowTest, GadgetListForAPlainToolkitWindowMakesItsArea) {
  GtkWidget* plain = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gadget_list_use(plain);
  auto* area = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(plain), "kt_gadgetlist"));
  ASSERT_TRUE(GTK_IS_LAYOUT(area));
  EXPECT_EQ(gadget_list_state()->current, area);
  EXPECT_TRUE(GTK_IS_BOX(gtk_widget_get_parent(area)));
  gtk_widget_destroy(plain);
  EXPECT_EQ(gadget_list_use(nullptr), nullptr);
}

}  // namespace

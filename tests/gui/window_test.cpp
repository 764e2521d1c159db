// SPDX-License-Identifier: MIT
// Windows on a real X server (size, position, window events from real X traffic, closing),
// font sizes and handles, and the message requester's buttons and answers.
#include <pango/pango.h>

#include "runtime/gui/requester.h"
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
  // Opens a window and returns its value (a handle, or the number given).
  static int64_t open(ObjectValue value, int32_t flags, int x = 20, int y = 30, int w = 200, int h = 150,
                      int64_t parent = 0) {
    const int64_t result = win_open(value, x, y, w, h, u"Test window", flags, parent ? win_widget(parent) : nullptr);
    return value == ANY_NUMBER ? result : value;
  }
  static GtkWidget* widget(int64_t window) { return GTK_WIDGET(win_widget(window)); }
  static GtkWidget* area(int64_t w) { return GTK_WIDGET(g_object_get_data(G_OBJECT(widget(w)), "kt_gadgetlist")); }
  static std::string inner(int64_t w) {
    return std::to_string(win_width(w, WINDOW_INNER_SIZE)) + "x" + std::to_string(win_height(w, WINDOW_INNER_SIZE));
  }
  static bool origin_is(int64_t window, int x, int y) {
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget(window)), &ox, &oy);
    return ox == x && oy == y;
  }
  // Pumps until an event of the type for the window is posted; the others are dropped.
  static bool posted(int64_t type, int64_t window) {
    return pump_until([&] {
      for (const Event& e : drain_events())
        if (e.type == type && e.window == window) return true;
      return false;
    });
  }
};

TEST_F(Windows, ExactSizePositionAndCentring) {
  const int64_t opened = win_open(2, 20, 30, 200, 150, u"Test window", WINDOW_SYSTEM_MENU, nullptr);
  EXPECT_EQ(opened, reinterpret_cast<int64_t>(win_widget(2)));  // a number gives the widget back
  GtkWidget* first = widget(2);
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(first)));
  EXPECT_TRUE(pump_until([&] { return origin_is(2, 20, 30); }));
  // Reopening a live number replaces the window.
  g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
  open(2, WINDOW_INVISIBLE, 20, 30, 120, 90);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(inner(2), "120x90");
  EXPECT_FALSE(gtk_widget_get_visible(widget(2)));
  // Negative sizes reach the toolkit as "unset" and are stored as given.
  open(3, WINDOW_INVISIBLE, 20, 30, -1, -5);
  EXPECT_EQ(inner(3), "-1x-5");
  // On the 1280 x 1024 screen, a 300 x 200 window centred sits at (490, 412); the screen
  // wins over the parent. A 200 x 100 child of a 400 x 300 parent at (100, 100): (200, 200).
  const int64_t parent = open(ANY_NUMBER, 0, 100, 100, 400, 300);
  const struct { int32_t flags; int x; int64_t parent; int w, h, ox, oy; } places[] = {
      {WINDOW_SCREEN_CENTERED, 5, 0, 300, 200, 490, 412},
      {WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED, 5, parent, 300, 200, 490, 412},
      {WINDOW_PARENT_CENTERED, 0, parent, 200, 100, 200, 200}};
  ASSERT_TRUE(pump_until([&] { return origin_is(parent, 100, 100); }));
  for (const auto& p : places) {
    const int64_t w = open(ANY_NUMBER, p.flags, p.x, 5, p.w, p.h, p.parent);
    EXPECT_TRUE(pump_until([&] { return origin_is(w, p.ox, p.oy); })) << p.flags;
  }
}

// The gadget area is exactly the requested size whatever the flags, also where the toolkit
// draws the title bar and shadow itself (this case runs on Wayland too).
TEST_F(Windows, GadgetAreaHasTheRequestedSizeWhateverTheFlags) {
  for (int32_t flags : std::initializer_list<int32_t>{
           0, WINDOW_SYSTEM_MENU | WINDOW_MINIMIZE_GADGET, 0x16C, WINDOW_SIZE_GADGET, WINDOW_BORDERLESS,
           WINDOW_MAXIMIZE_GADGET | WINDOW_SYSTEM_MENU, WINDOW_TOOL | WINDOW_SYSTEM_MENU,
           WINDOW_TOOL | WINDOW_SIZE_GADGET, WINDOW_NO_ACTIVATE | WINDOW_PARENT_CENTERED}) {
    const int64_t w = open(ANY_NUMBER, flags, 40, 40, 310, 190);
    GtkWidget* gadgets = area(w);
    EXPECT_TRUE(pump_until([&] {
      return gtk_widget_get_mapped(gadgets) && gtk_widget_get_allocated_width(gadgets) == 310 &&
             gtk_widget_get_allocated_height(gadgets) == 190;
    })) << "flags " << flags << ": " << gtk_widget_get_allocated_width(gadgets) << "x"
        << gtk_widget_get_allocated_height(gadgets);
    EXPECT_EQ(inner(w), "310x190") << flags;
    win_close(w);
  }
}

TEST_F(Windows, RealXTrafficPostsWindowEvents) {
  const int64_t w = open(ANY_NUMBER, WINDOW_SIZE_GADGET, 0, 0, 200, 150);
  ASSERT_TRUE(pump_until([&] { return origin_is(w, 0, 0); }));
  drain_events();
  // Another X client's requests, the way a window manager moves and resizes a window.
  const Window xid = GDK_WINDOW_XID(gtk_widget_get_window(widget(w)));
  XMoveWindow(x_display(), xid, 60, 70);
  XFlush(x_display());
  ASSERT_TRUE(posted(EVENT_MOVE_WINDOW, w));
  XResizeWindow(x_display(), xid, 320, 240);
  XFlush(x_display());
  ASSERT_TRUE(posted(EVENT_SIZE_WINDOW, w));
  EXPECT_EQ(inner(w), "320x240");
  for (auto [button, count, type] : {std::tuple{1u, 1, EVENT_LEFT_CLICK}, {3u, 1, EVENT_RIGHT_CLICK},
                                     {1u, 2, EVENT_LEFT_DOUBLE_CLICK}}) {
    click(area(w), button, count, 10 + 10 * count, 10 + 10 * count);
    ASSERT_TRUE(posted(type, w)) << button << " x" << count;
  }
  // Closing as a window manager does posts a request only.
  gtk_window_close(GTK_WINDOW(widget(w)));
  ASSERT_TRUE(posted(EVENT_CLOSE_WINDOW, w));
  EXPECT_NE(win_widget(w), nullptr);
}

TEST_F(Windows, ClosingPurgesItsEventsAndReleasesItsRecord) {
  const int64_t a = open(ANY_NUMBER, WINDOW_NO_ACTIVATE);
  open(5, 0);
  settle();
  drain_events();
  for (int64_t gadget : {1, 2, 3, 4}) event_post(EVENT_GADGET, gadget, gadget % 2 ? a : 5, 0);
  win_close(a);  // before its 50 ms activation timeout, which the sanitizer build watches
  EXPECT_EQ(obj_is_object(win_registry(), a), 0);
  EXPECT_EQ(drain_events(true), (std::vector<Event>{{EVENT_GADGET, 2, 5, 0}, {EVENT_GADGET, 4, 5, 0}}));
  // Operations on a closed window or a bogus value do nothing.
  win_set_color(a, 0);
  win_set_state(a, WINDOW_MAXIMIZE);
  win_close(a);
  EXPECT_EQ(win_width(a, WINDOW_INNER_SIZE) + win_width(-2, WINDOW_INNER_SIZE), 0);
  bool fired = false;
  g_timeout_add(80, [](gpointer f) -> gboolean { *static_cast<bool*>(f) = true; return G_SOURCE_REMOVE; }, &fired);
  EXPECT_TRUE(pump_until([&] { return fired; }));
}

// Text without a colour of its own is fitted to the colour the gadget area shows (-1 shows
// white) where the theme's would not stand out; a window being torn down lets no style change reach it.
TEST_F(Windows, AreaTextFitsTheAppliedColour) {
  const int64_t w = open(ANY_NUMBER, 0);
  const int64_t theme = style_rgb(area(w), GTK_STATE_FLAG_NORMAL, "color");
  for (auto [color, text] : {std::pair{0x808080, int64_t{0}}, {0, 0xFFFFFF}, {-1, theme}}) {
    win_set_color(w, color);
    EXPECT_EQ(style_rgb(area(w), GTK_STATE_FLAG_NORMAL, "color"), text) << color;
  }
  static bool handled = true;  // asked while the window is torn down, once its gadget area has gone
  g_object_weak_ref(G_OBJECT(gtk_bin_get_child(GTK_BIN(widget(w)))), [](gpointer top, GObject*) {
    handled = g_signal_has_handler_pending(top, g_signal_lookup("style-updated", GTK_TYPE_WIDGET), 0, TRUE);
  }, widget(w));
  win_close(w);
  EXPECT_FALSE(handled);
}

// The application loads its fonts by number; here, sizes that do not fit Pango's units
// (clamped instead of overflowing) and a handle, which cannot be loaded over.
TEST_F(Windows, FontSizesAreClampedAndHandlesKept) {
  auto size = [](int64_t id) { return pango_font_description_get_size(reinterpret_cast<PangoFontDescription*>(id)); };
  EXPECT_EQ(size(font_load_plain(3, u"Sans", -5)), 0);
  EXPECT_EQ(size(font_load_plain(4, u"Sans", 1 << 30)), INT32_MAX);
  const int64_t handle = font_load(ANY_NUMBER, u"Sans", 9, FONT_ITALIC);
  EXPECT_EQ(font_load(handle, u"Serif", 8, 0), 0);
  font_free(ANY_NUMBER);
  EXPECT_EQ(font_id(3) + font_id(handle), 0);
}

TEST_F(Windows, RequesterButtonsResultsAndLiteralText) {
  const struct { int32_t flags; int response; int64_t result; const char* buttons; GtkMessageType type; } cases[] = {
      {0, GTK_RESPONSE_OK, 6, "ok", GTK_MESSAGE_OTHER},
      {REQUESTER_YES_NO, GTK_RESPONSE_YES, REQUESTER_RESULT_YES, "yes no", GTK_MESSAGE_OTHER},
      {REQUESTER_YES_NO_CANCEL, GTK_RESPONSE_CANCEL, REQUESTER_RESULT_CANCEL, "yes no cancel", GTK_MESSAGE_OTHER},
      {REQUESTER_YES_NO | REQUESTER_YES_NO_CANCEL, GTK_RESPONSE_NO, REQUESTER_RESULT_NO, "yes no", GTK_MESSAGE_OTHER},
      {REQUESTER_INFO | REQUESTER_ERROR, 0, 0, "ok", GTK_MESSAGE_INFO},  // closed by the window manager
      {REQUESTER_ERROR | REQUESTER_WARNING, GTK_RESPONSE_OK, 6, "ok", GTK_MESSAGE_WARNING},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags << " response " << c.response);
    DialogWatcher watcher(c.response);
    EXPECT_EQ(requester_message(u"100% %s", u"50% off %s %d <b>bold</b> & \u00e9t\u00e9", c.flags), c.result);
    ASSERT_EQ(watcher.seen.size(), 1u);
    const DialogWatcher::Seen& s = watcher.seen[0];
    EXPECT_EQ(s.buttons, c.buttons);
    EXPECT_EQ(s.type, c.type);
    EXPECT_EQ(s.title + "|" + s.text, "100% %s|50% off %s %d <b>bold</b> & \u00e9t\u00e9");
    EXPECT_FALSE(s.markup);
  }
}

}  // namespace

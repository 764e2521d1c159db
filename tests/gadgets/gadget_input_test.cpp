// Gadget events from real pointer and keyboard input: changes, focus, clicks, merged
// clicks, the close-window rule, choosing a ComboBox item, the case filters on typed
// text, and the Image gadget's clicks and drags.
#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/image_gadget.h"
#include "tests/support/gui.h"

namespace {

using namespace zvd_test;

// Counts a signal's emissions so a test can wait until its input has arrived.
struct SignalCounter {
  int count = 0;
  SignalCounter(GtkWidget* widget, const char* signal) {
    g_signal_connect_after(widget, signal, G_CALLBACK(+[](GtkWidget*, gpointer self) {
                             ++static_cast<SignalCounter*>(self)->count;
                           }), this);
  }
};

GtkWidget* entry_of(ObjectValue combo) { return as_widget(record_of(combo)->b); }

// The visible popup menu of a ComboBox, if one is open.
GtkWidget* open_popup_menu() {
  GtkWidget* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l; l = l->next) {
    GtkWidget* w = GTK_WIDGET(l->data);
    if (gtk_window_get_window_type(GTK_WINDOW(w)) != GTK_WINDOW_POPUP || !gtk_widget_get_visible(w)) continue;
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(w));
    if (child && GTK_IS_MENU(child) && widget_ready(child)) found = child;
  }
  g_list_free(toplevels);
  return found;
}

// The arrow button of a ComboBox, an internal child of the combo box.
GtkWidget* combo_button(GtkWidget* widget) {
  if (GTK_IS_TOGGLE_BUTTON(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GtkWidget* found = nullptr;
  gtk_container_forall(GTK_CONTAINER(widget), [](GtkWidget* child, gpointer data) {
    auto* f = static_cast<GtkWidget**>(data);
    if (!*f) *f = combo_button(child);
  }, &found);
  return found;
}

class GadgetInput : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    focus_window(toplevel_);
    settle();
    drain_events();
  }
  void focus_by_click(GtkWidget* widget) {
    click(widget);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_has_focus(widget); }));
  }
  // Types keys and waits until the gadget's text has the given length.
  void type(ObjectValue gadget, const char* text, size_t length) {
    ASSERT_TRUE(xdotool({"type", "--delay", "20", text}));
    ASSERT_TRUE(pump_until([&] { return text_of(gadget).size() == length; })) << text_of(gadget);
  }
};

TEST_F(GadgetInput, TypingPostsChangesProgramChangesDoNotAndFocusMovesPostFocusAndLostFocus) {
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 10, 200, 40);
  const int64_t combo = 7;
  combobox_gadget_create(combo, 10, 60, 120, 30, COMBOBOX_EDITABLE);
  const int64_t second = editor_gadget_create(ANY_NUMBER, 10, 110, 150, 30);
  gadget_add_item(editor, -1, u"year");
  gadget_set_text(editor, u"2024");
  gadget_add_item(combo, -1, u"1");
  gadget_set_text(combo, u"1");
  gadget_set_text(combo, u"07");
  settle();
  EXPECT_TRUE(drain_events(true).empty());

  focus_by_click(widget_of(editor));
  type(editor, "5", 5);
  focus_by_click(entry_of(combo));
  type(combo, "3", 3);
  focus_by_click(widget_of(second));
  settle();
  const std::vector<Event> events = drain_events();
  EXPECT_EQ(count_events(events, EVENT_GADGET, editor, GADGET_EVENT_CHANGE), 1);
  EXPECT_EQ(count_events(events, EVENT_GADGET, combo, GADGET_EVENT_CHANGE), 1);
  std::vector<Event> focus;
  for (const Event& e : events) {
    EXPECT_TRUE(e.type != EVENT_GADGET || e.window == window_);
    if (e.type == EVENT_GADGET && (e.subtype == GADGET_EVENT_FOCUS || e.subtype == GADGET_EVENT_LOST_FOCUS))
      focus.push_back(e);
  }
  const std::vector<Event> expected = {
      {EVENT_GADGET, editor, window_, 256}, {EVENT_GADGET, editor, window_, 512}, {EVENT_GADGET, combo, window_, 256},
      {EVENT_GADGET, combo, window_, 512},  {EVENT_GADGET, second, window_, 256},
  };
  EXPECT_EQ(focus, expected);
}

TEST_F(GadgetInput, ButtonClickPostsLeftClickAndQuickClicksMerge) {
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 10, 100, 40, u"push");
  GtkWidget* widget = widget_of(button);
  SignalCounter clicked(widget, "clicked");
  const std::vector<Event> one_click = {{EVENT_GADGET, button, window_, GADGET_EVENT_LEFT_CLICK}};
  click(widget);
  ASSERT_TRUE(pump_until([&] { return clicked.count == 1; }));
  settle();
  EXPECT_EQ(drain_events(true), one_click);

  // The window's own handlers on the gadget area post repaints and the clicks that
  // bubble up from the button; they would sit between the two gadget events.
  auto window_handlers = [&](auto block_or_unblock) {
    for (const char* name : {"draw", "button-press-event", "button-release-event"})
      ASSERT_EQ(block_or_unblock(gtk_widget_get_parent(widget), GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_DATA),
                                 g_signal_lookup(name, GTK_TYPE_WIDGET), 0, nullptr, nullptr,
                                 gadget_value_data(window_)), 1u);
  };
  window_handlers(g_signal_handlers_block_matched);
  click(widget, 1, 2);
  ASSERT_TRUE(pump_until([&] { return clicked.count == 3; }));
  settle();
  window_handlers(g_signal_handlers_unblock_matched);
  EXPECT_EQ(drain_events(true), one_click);
}

TEST_F(GadgetInput, AWaitingCloseRequestSilencesClicksAndEditorChangesOnly) {
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 10, 100, 40, u"push");
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 60, 150, 30);
  const int64_t combo = combobox_gadget_create(ANY_NUMBER, 10, 110, 120, 30, COMBOBOX_EDITABLE);
  const int64_t calendar = calendar_gadget_create(ANY_NUMBER, 300, 10, 260, 200);
  SignalCounter clicked(widget_of(button), "clicked"), selected(widget_of(calendar), "day-selected");
  settle();
  drain_events();

  event_post(EVENT_CLOSE_WINDOW, 0, window_, 0);
  click(widget_of(button));
  ASSERT_TRUE(pump_until([&] { return clicked.count == 1; }));
  click(widget_of(calendar), 1, 1, 130, 130);
  ASSERT_TRUE(pump_until([&] { return selected.count >= 1; }));
  focus_by_click(widget_of(editor));
  type(editor, "x", 1);
  focus_by_click(entry_of(combo));
  type(combo, "y", 1);
  settle();
  std::vector<Event> events = drain_events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), (Event{EVENT_CLOSE_WINDOW, 0, window_, 0}));
  EXPECT_EQ(count_events(events, EVENT_GADGET, button), 0);
  EXPECT_EQ(count_events(events, EVENT_GADGET, calendar), 0);
  EXPECT_EQ(count_events(events, EVENT_GADGET, editor, GADGET_EVENT_CHANGE), 0);
  EXPECT_EQ(count_events(events, EVENT_GADGET, combo, GADGET_EVENT_CHANGE), 1);
  EXPECT_EQ(count_events(events, EVENT_GADGET, editor, GADGET_EVENT_FOCUS), 1);  // focus is posted regardless

  // Once the close request has been fetched, clicks and day selections are posted again.
  click(widget_of(button));
  ASSERT_TRUE(pump_until([&] { return clicked.count == 2; }));
  const int days = selected.count;
  click(widget_of(calendar), 1, 1, 70, 130);
  ASSERT_TRUE(pump_until([&] { return selected.count > days; }));
  settle();
  events = drain_events();
  EXPECT_EQ(count_events(events, EVENT_GADGET, button, GADGET_EVENT_LEFT_CLICK), 1);
  EXPECT_EQ(count_events(events, EVENT_GADGET, calendar, GADGET_EVENT_LEFT_CLICK), 1);
}

TEST_F(GadgetInput, ChoosingAComboBoxItemWithThePointerPostsOneChange) {
  for (int32_t flags : {0, int32_t{COMBOBOX_EDITABLE}}) {
    SCOPED_TRACE(flags);
    const int64_t combo = combobox_gadget_create(ANY_NUMBER, 10, 10, 120, 30, flags);
    for (const char16_t* t : {u"1", u"2", u"3", u"4", u"5", u"6"}) gadget_add_item(combo, -1, t);
    settle();
    drain_events();
    click(combo_button(widget_of(combo)));
    GtkWidget* menu = nullptr;
    ASSERT_TRUE(pump_until([&] { return (menu = open_popup_menu()) != nullptr; }));
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
    ASSERT_EQ(g_list_length(items), 6u);
    GtkWidget* item = GTK_WIDGET(g_list_nth_data(items, 4));
    g_list_free(items);
    settle();
    click(item);
    ASSERT_TRUE(pump_until([&] { return gadget_get_state(combo) == 4 && !open_popup_menu(); }));
    settle();
    EXPECT_EQ(count_events(drain_events(), EVENT_GADGET, combo, GADGET_EVENT_CHANGE), 1);
    EXPECT_EQ(text_of(combo), "5");
    gadget_free(combo);
  }
}

TEST_F(GadgetInput, TypedTextPassesThroughTheCaseFilterWhole) {
  const int64_t lower = combobox_gadget_create(ANY_NUMBER, 10, 10, 150, 30, COMBOBOX_EDITABLE | COMBOBOX_LOWER_CASE);
  const int64_t upper = combobox_gadget_create(ANY_NUMBER, 10, 60, 150, 30, COMBOBOX_EDITABLE | COMBOBOX_UPPER_CASE);
  focus_by_click(entry_of(lower));
  type(lower, "QaZ", 3);
  focus_by_click(entry_of(upper));
  type(upper, "qAz", 3);
  // Multi-byte characters go through the same filter whole, however the text arrives.
  for (ObjectValue g : {lower, upper}) {
    gint position = 0;
    gtk_editable_insert_text(GTK_EDITABLE(entry_of(g)), "Äö-x", -1, &position);
    EXPECT_EQ(position, 4);
  }
  EXPECT_EQ(text_of(lower), "Äö-xqaz");
  EXPECT_EQ(text_of(upper), "Äö-XQAZ");
}

// --- Image gadget ---------------------------------------------------------------------

class ImageGadgetInput : public GadgetInput {
 protected:
  void SetUp() override {
    GadgetInput::SetUp();
    logo_ = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 100, 49);
    gdk_pixbuf_fill(logo_, 0x3366CCFF);
  }
  void TearDown() override {
    GadgetInput::TearDown();
    g_object_unref(logo_);
  }
  // Pumps until at least count gadget events arrived; returns their subtypes.
  std::vector<int64_t> subtypes(size_t count, ObjectValue gadget) {
    std::vector<int64_t> seen;
    auto collect = [&] {
      for (const Event& e : drain_events(true)) {
        EXPECT_EQ(e.gadget, gadget);
        seen.push_back(e.subtype);
      }
    };
    pump_until([&] {
      collect();
      return seen.size() >= count;
    });
    settle();
    collect();
    return seen;
  }
  // Presses at one point of the gadget, moves through the others and releases at the last.
  void drag(ObjectValue gadget, std::vector<std::pair<int, int>> points) {
    ASSERT_TRUE(pump_until([&] { return widget_ready(outer_of(gadget)); }));
    pointer_to(screen_point(outer_of(gadget), points[0].first, points[0].second));
    pointer_button(1, true);
    for (auto [x, y] : points) pointer_to(screen_point(outer_of(gadget), x, y));
    pointer_button(1, false);
  }
  GdkPixbuf* logo_ = nullptr;
};

TEST_F(ImageGadgetInput, ClicksArePostedOnReleaseByButton) {
  const int64_t g = image_gadget_create(ANY_NUMBER, 20, 20, 0, 0, logo_);
  using V = std::vector<int64_t>;
  const struct { unsigned button; int count; V expected; } clicks[] = {{1, 1, {GADGET_EVENT_LEFT_CLICK}},
                {3, 1, {GADGET_EVENT_RIGHT_CLICK}},
                {1, 2, {GADGET_EVENT_LEFT_CLICK, GADGET_EVENT_LEFT_DOUBLE_CLICK}},
                {3, 2, {GADGET_EVENT_RIGHT_CLICK, GADGET_EVENT_RIGHT_DOUBLE_CLICK}}};
  for (const auto& c : clicks) {
    click(outer_of(g), c.button, c.count);
    EXPECT_EQ(subtypes(c.expected.size(), g), c.expected) << "button " << c.button << " x" << c.count;
  }
  // A middle click posts nothing: the right click after it proves it was handled.
  click(outer_of(g), 2);
  click(outer_of(g), 3, 1, 50, 20);
  EXPECT_EQ(subtypes(1, g), V{GADGET_EVENT_RIGHT_CLICK});
}

TEST_F(ImageGadgetInput, DragsPastTheThresholdAndClicksNeedPressAndReleaseOnTheGadget) {
  const int64_t g = image_gadget_create(ANY_NUMBER, 20, 20, 0, 0, logo_);
  drag(g, {{50, 20}, {50, 250}});  // out onto the window below the gadget
  drag(g, {{50, 250}, {50, 20}});
  click(outer_of(g), 3, 1, 50, 20);
  EXPECT_EQ(subtypes(2, g), (std::vector<int64_t>{GADGET_EVENT_DRAG_START, GADGET_EVENT_RIGHT_CLICK}))
      << "leaving the gadget with the button held is a drag, but no click";

  gint threshold = 0;
  g_object_get(gtk_settings_get_default(), "gtk-dnd-drag-threshold", &threshold, nullptr);
  ASSERT_LT(threshold + 30, 100);
  drag(g, {{10, 20}, {20 + threshold, 20}, {35 + threshold, 22}});
  EXPECT_EQ(subtypes(2, g), (std::vector<int64_t>{GADGET_EVENT_DRAG_START, GADGET_EVENT_LEFT_CLICK}))
      << "one drag start per press; the release inside is still a click";
  // A move within the threshold is no drag (on a second gadget, so that the press does
  // not count as the second half of a double click).
  const int64_t other = image_gadget_create(ANY_NUMBER, 20, 100, 0, 0, logo_);
  drag(other, {{10, 20}, {11, 20}});
  EXPECT_EQ(subtypes(1, other), std::vector<int64_t>{GADGET_EVENT_LEFT_CLICK});
}

TEST_F(ImageGadgetInput, PictureSizeWinsAndEmptyingKeepsIt) {
  const int64_t g = image_gadget_create(ANY_NUMBER, 20, 20, 600, 50, logo_, IMAGE_BORDER);
  EXPECT_EQ(gadget_width(g), 100);
  EXPECT_EQ(gadget_height(g), 49);
  EXPECT_EQ(gadget_get_state(g), reinterpret_cast<int64_t>(logo_));
  GtkRequisition before{};
  gtk_widget_get_preferred_size(outer_of(g), &before, nullptr);
  record_of(g)->ops->set_state(record_of(g), 0);
  EXPECT_EQ(gadget_get_state(g), 0);
  EXPECT_EQ(gtk_image_get_pixbuf(GTK_IMAGE(widget_of(g))), nullptr);
  EXPECT_EQ(gadget_width(g), before.width);
  EXPECT_EQ(gadget_height(g), before.height);
  // Without a picture the requested size is used.
  const int64_t empty = image_gadget_create(ANY_NUMBER, 300, 20, 70, 30, nullptr);
  EXPECT_EQ(gadget_width(empty), 70);
  EXPECT_EQ(gadget_height(empty), 30);
}

}  // namespace

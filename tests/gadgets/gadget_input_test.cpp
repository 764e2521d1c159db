// Gadget events from real pointer and keyboard input: changes, focus, clicks,
// merged clicks, the close-window rule and choosing a ComboBox item.
#include <algorithm>

#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "tests/gadgets/gadget_test_support.h"

namespace {

using namespace zvd_test;

int count_of(const std::vector<QueuedEvent>& events, int64_t gadget, int64_t subtype) {
  return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const QueuedEvent& e) {
    return e.type == EVENT_GADGET && e.gadget == gadget && e.subtype == subtype;
  }));
}

// Counts a signal's emissions so a test can wait until its input has arrived.
struct SignalCounter {
  int count = 0;
  static void on_signal(GtkWidget*, gpointer self) { ++static_cast<SignalCounter*>(self)->count; }
  void watch(GtkWidget* widget, const char* signal) {
    g_signal_connect_after(widget, signal, G_CALLBACK(on_signal), this);
  }
};

GtkWidget* entry_of(ObjectValue combo) {
  return GTK_WIDGET(reinterpret_cast<void*>(static_cast<intptr_t>(record_of(combo)->b)));
}

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
  struct Search {
    GtkWidget** found;
  } search{&found};
  gtk_container_forall(
      GTK_CONTAINER(widget),
      [](GtkWidget* child, gpointer data) {
        auto* s = static_cast<Search*>(data);
        if (!*s->found) *s->found = combo_button(child);
      },
      &search);
  return found;
}

class GadgetInput : public GadgetWindowTest {
 protected:
  // Type text and wait until the gadget holds that many characters.
  void type_text(ObjectValue gadget, const char* text, size_t length) {
    ASSERT_TRUE(xdotool({"type", "--delay", "20", text}));
    ASSERT_TRUE(pump_until([&] { return text_of(gadget).size() == length; }));
  }

  void SetUp() override {
    GadgetWindowTest::SetUp();
    if (HasFatalFailure()) return;
    // No window manager runs under the test server: give the window the input focus directly.
    gdk_window_focus(gtk_widget_get_window(toplevel_), GDK_CURRENT_TIME);
    ASSERT_TRUE(pump_until([&] { return gtk_window_is_active(GTK_WINDOW(toplevel_)); }));
    settle();
    drain_events();
  }

  // Click a widget and wait until it holds the keyboard focus.
  void focus_by_click(GtkWidget* widget) {
    click_widget(widget);
    ASSERT_TRUE(pump_until([&] { return gtk_widget_has_focus(widget); }));
  }

  // Type one key and wait until the gadget's text has changed.
  void type_key(ObjectValue gadget, const char* keysym) {
    const std::u16string before = text_of(gadget);
    press_key(keysym);
    ASSERT_TRUE(pump_until([&] { return text_of(gadget) != before; }));
  }
};

TEST_F(GadgetInput, TypingIntoAnEditorPostsChangesButProgramChangesDoNot) {
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 10, 200, 40);
  const int64_t combo = combobox_gadget_create(ANY_NUMBER, 10, 60, 120, 30, COMBOBOX_EDITABLE);
  gadget_add_item(editor, -1, u"year");
  gadget_set_text(editor, u"2024");
  gadget_add_item(combo, -1, u"1");
  gadget_add_item(combo, -1, u"2");
  gadget_set_text(combo, u"2");
  gadget_set_text(combo, u"07");
  settle();
  EXPECT_TRUE(gadget_events(drain_events()).empty());

  focus_by_click(widget_of(editor));
  type_key(editor, "5");
  settle();
  std::vector<QueuedEvent> events = drain_events();
  EXPECT_EQ(count_of(events, editor, GADGET_EVENT_CHANGE), 1);
  EXPECT_EQ(count_of(events, editor, GADGET_EVENT_FOCUS), 1);
  for (const QueuedEvent& e : gadget_events(events)) EXPECT_EQ(e.window, window_);
  EXPECT_NE(text_of(editor).find(u'5'), std::u16string::npos);
  EXPECT_EQ(text_of(editor).size(), 5u);

  // Typing into the ComboBox's entry changes the ComboBox.
  focus_by_click(entry_of(combo));
  type_key(combo, "3");
  settle();
  events = drain_events();
  EXPECT_EQ(count_of(events, combo, GADGET_EVENT_CHANGE), 1);
  EXPECT_EQ(count_of(events, editor, GADGET_EVENT_CHANGE), 0);
}

TEST_F(GadgetInput, FocusMovingBetweenGadgetsPostsFocusAndLostFocus) {
  const int64_t first = editor_gadget_create(ANY_NUMBER, 10, 10, 150, 30);
  const int64_t combo = combobox_gadget_create(7, 10, 60, 120, 30, COMBOBOX_EDITABLE);
  const int64_t second = editor_gadget_create(ANY_NUMBER, 10, 110, 150, 30);
  ASSERT_NE(combo, 0);
  focus_by_click(widget_of(first));
  focus_by_click(entry_of(7));
  focus_by_click(widget_of(second));
  settle();
  std::vector<QueuedEvent> focus;
  for (const QueuedEvent& e : gadget_events(drain_events()))
    if (e.subtype == GADGET_EVENT_FOCUS || e.subtype == GADGET_EVENT_LOST_FOCUS) focus.push_back(e);
  const std::vector<QueuedEvent> expected = {
      {EVENT_GADGET, first, window_, GADGET_EVENT_FOCUS},  {EVENT_GADGET, first, window_, GADGET_EVENT_LOST_FOCUS},
      {EVENT_GADGET, 7, window_, GADGET_EVENT_FOCUS},      {EVENT_GADGET, 7, window_, GADGET_EVENT_LOST_FOCUS},
      {EVENT_GADGET, second, window_, GADGET_EVENT_FOCUS},
  };
  EXPECT_EQ(focus, expected);
}

TEST_F(GadgetInput, ButtonClickPostsLeftClickAndQuickClicksMerge) {
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 10, 100, 40, u"push", 8);
  GtkWidget* widget = widget_of(button);
  SignalCounter clicked;
  clicked.watch(widget, "clicked");
  click_widget(widget);
  ASSERT_TRUE(pump_until([&] { return clicked.count == 1; }));
  settle();
  std::vector<QueuedEvent> events = gadget_events(drain_events());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (QueuedEvent{EVENT_GADGET, button, window_, GADGET_EVENT_LEFT_CLICK}));

  // The window's own handlers on the gadget area post repaints and the clicks that
  // bubble up from the button; they would sit between the two gadget events.
  GtkWidget* area = gtk_widget_get_parent(widget);
  const auto match = GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_DATA);
  const char* area_signals[] = {"draw", "button-press-event", "button-release-event"};
  for (const char* name : area_signals)
    ASSERT_EQ(g_signal_handlers_block_matched(area, match, g_signal_lookup(name, GTK_TYPE_WIDGET), 0, nullptr,
                                              nullptr, gadget_value_data(window_)),
              1u);
  click_widget(widget, 1, 0, 0, 2);
  ASSERT_TRUE(pump_until([&] { return clicked.count == 3; }));
  settle();
  for (const char* name : area_signals)
    g_signal_handlers_unblock_matched(area, match, g_signal_lookup(name, GTK_TYPE_WIDGET), 0, nullptr, nullptr,
                                      gadget_value_data(window_));
  events = gadget_events(drain_events());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (QueuedEvent{EVENT_GADGET, button, window_, GADGET_EVENT_LEFT_CLICK}));
}

TEST_F(GadgetInput, CalendarDaySelectionPostsLeftClick) {
  calendar_gadget_create(3, 10, 10, 260, 200);
  SignalCounter selected;
  selected.watch(widget_of(3), "day-selected");
  click_widget(widget_of(3), 1, 0, 30);
  ASSERT_TRUE(pump_until([&] { return selected.count >= 1; }));
  settle();
  EXPECT_EQ(count_of(drain_events(), 3, GADGET_EVENT_LEFT_CLICK), 1);
}

TEST_F(GadgetInput, AWaitingCloseRequestSilencesClicksAndEditorChangesOnly) {
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 10, 100, 40, u"push");
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 60, 150, 30);
  const int64_t combo = combobox_gadget_create(ANY_NUMBER, 10, 110, 120, 30, COMBOBOX_EDITABLE);
  const int64_t calendar = calendar_gadget_create(ANY_NUMBER, 300, 10, 260, 200);
  SignalCounter clicked, selected;
  clicked.watch(widget_of(button), "clicked");
  selected.watch(widget_of(calendar), "day-selected");
  settle();
  drain_events();

  event_post(EVENT_CLOSE_WINDOW, 0, window_, 0);
  click_widget(widget_of(button));
  ASSERT_TRUE(pump_until([&] { return clicked.count == 1; }));
  click_widget(widget_of(calendar), 1, 0, 30);
  ASSERT_TRUE(pump_until([&] { return selected.count >= 1; }));
  focus_by_click(widget_of(editor));
  type_key(editor, "x");
  focus_by_click(entry_of(combo));
  type_key(combo, "y");
  settle();

  const std::vector<QueuedEvent> events = drain_events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), (QueuedEvent{EVENT_CLOSE_WINDOW, 0, window_, 0}));
  EXPECT_EQ(count_of(events, button, GADGET_EVENT_LEFT_CLICK), 0);
  EXPECT_EQ(count_of(events, calendar, GADGET_EVENT_LEFT_CLICK), 0);
  EXPECT_EQ(count_of(events, editor, GADGET_EVENT_CHANGE), 0);
  EXPECT_EQ(count_of(events, combo, GADGET_EVENT_CHANGE), 1);
  EXPECT_EQ(count_of(events, editor, GADGET_EVENT_FOCUS), 1);  // focus is posted regardless

  // Once the close request has been fetched, clicks are posted again.
  click_widget(widget_of(button));
  ASSERT_TRUE(pump_until([&] { return clicked.count == 2; }));
  settle();
  EXPECT_EQ(count_of(drain_events(), button, GADGET_EVENT_LEFT_CLICK), 1);
}

TEST_F(GadgetInput, ChoosingAComboBoxItemWithThePointerPostsOneChange) {
  for (int32_t flags : {0, int32_t{COMBOBOX_EDITABLE}}) {
    SCOPED_TRACE(flags);
    const int64_t combo = combobox_gadget_create(ANY_NUMBER, 10, 10, 120, 30, flags);
    for (const char16_t* t : {u"1", u"2", u"3", u"4", u"5", u"6"}) gadget_add_item(combo, -1, t);
    settle();
    drain_events();

    GtkWidget* button = combo_button(widget_of(combo));
    ASSERT_NE(button, nullptr);
    click_widget(button);
    GtkWidget* menu = nullptr;
    ASSERT_TRUE(pump_until([&] { return (menu = open_popup_menu()) != nullptr; }));
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
    ASSERT_EQ(g_list_length(items), 6u);
    GtkWidget* item = GTK_WIDGET(g_list_nth_data(items, 4));
    g_list_free(items);
    ASSERT_TRUE(pump_until([&] { return widget_ready(item); }));
    settle();
    click_widget(item);
    ASSERT_TRUE(pump_until([&] { return gadget_get_state(combo) == 4 && !open_popup_menu(); }));
    settle();
    const std::vector<QueuedEvent> events = drain_events();
    EXPECT_EQ(count_of(events, combo, GADGET_EVENT_CHANGE), 1);
    EXPECT_EQ(text_of(combo), u"5");
    gadget_free(combo);
  }
}

TEST_F(GadgetInput, TypedTextPassesThroughTheCaseFilter) {
  const int64_t lower = combobox_gadget_create(ANY_NUMBER, 10, 10, 150, 30, COMBOBOX_EDITABLE | COMBOBOX_LOWER_CASE);
  const int64_t upper = combobox_gadget_create(ANY_NUMBER, 10, 60, 150, 30, COMBOBOX_EDITABLE | COMBOBOX_UPPER_CASE);
  focus_by_click(entry_of(lower));
  type_text(lower, "QaZ", 3);
  EXPECT_EQ(text_of(lower), u"qaz");
  focus_by_click(entry_of(upper));
  type_text(upper, "qAz", 3);
  EXPECT_EQ(text_of(upper), u"QAZ");
  // Multi-byte characters go through the same filter whole, however the text arrives.
  for (ObjectValue g : {lower, upper}) {
    gint position = 0;
    gtk_editable_insert_text(GTK_EDITABLE(entry_of(g)), "Äö-x", -1, &position);
    EXPECT_EQ(position, 4);
  }
  EXPECT_EQ(text_of(lower), u"Äö-xqaz");
  EXPECT_EQ(text_of(upper), u"Äö-XQAZ");
}

}  // namespace

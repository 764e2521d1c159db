// Gadget accessibility through the toolkit's ATK objects: names and descriptions,
// label relations, decorations, missing gadgets, and that none of it changes a
// pixel or an event.
#include "runtime/gadgets/gadget_access.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/image_gadget.h"
#include "runtime/gadgets/text_gadget.h"
#include "tests/support/gui.h"

namespace {

using namespace zvd_test;

AtkObject* accessible(GtkWidget* widget) { return gtk_widget_get_accessible(widget); }
AtkObject* accessible_of(ObjectValue gadget) { return accessible(widget_of(gadget)); }
AtkObject* entry_accessible_of(ObjectValue combo) { return accessible(gtk_bin_get_child(GTK_BIN(widget_of(combo)))); }

std::string or_empty(const char* text) { return text ? text : ""; }
std::string name_of(AtkObject* object) { return or_empty(atk_object_get_name(object)); }
std::string description_of(AtkObject* object) { return or_empty(atk_object_get_description(object)); }

// The targets of one relation type in an object's relation set.
std::vector<AtkObject*> related(AtkObject* object, AtkRelationType type) {
  std::vector<AtkObject*> targets;
  AtkRelationSet* set = atk_object_ref_relation_set(object);
  if (AtkRelation* relation = atk_relation_set_get_relation_by_type(set, type)) {
    GPtrArray* array = atk_relation_get_target(relation);
    for (guint i = 0; i < array->len; ++i) targets.push_back(static_cast<AtkObject*>(g_ptr_array_index(array, i)));
  }
  g_object_unref(set);
  return targets;
}

bool contains(const std::vector<AtkObject*>& objects, AtkObject* object) {
  return std::find(objects.begin(), objects.end(), object) != objects.end();
}

class GadgetAccess : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // A blinking caret would make two pictures of the same window differ.
    g_object_set(gtk_settings_get_default(), "gtk-cursor-blink", FALSE, nullptr);
  }
};

TEST_F(GadgetAccess, NamesAndDescriptionsReachEveryGadgetTypeAndTheEditableEntry) {
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 10, 100, 40, u"push");
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 60, 100, 30);
  const int64_t calendar = calendar_gadget_create(ANY_NUMBER, 300, 10, 200, 170);
  const int64_t image = image_gadget_create(ANY_NUMBER, 10, 300, 100, 50, nullptr, IMAGE_BORDER);
  const int64_t editable = combobox_gadget_create(ANY_NUMBER, 10, 100, 100, 30, COMBOBOX_EDITABLE);
  const int64_t plain = combobox_gadget_create(ANY_NUMBER, 10, 140, 100, 30);

  gadget_set_accessible(button, u"push", u"Compute the date N days after");
  gadget_set_accessible(editor, u"Date N days after", nullptr);
  gadget_set_accessible(calendar, u"Today", u"");
  gadget_set_accessible(image, u"About", u"Show the maker\u2019s address");
  gadget_set_accessible(editable, u"Month", u"Start month");
  gadget_set_accessible(plain, u"Jahr \u2013 \u00fcber \U0001F4C5", u"\u65e5\u4ed8");

  const std::tuple<AtkObject*, std::string, std::string> expected[] = {
      {accessible_of(button), "push", "Compute the date N days after"},
      {accessible_of(editor), "Date N days after", ""},
      {accessible_of(calendar), "Today", ""},
      {accessible_of(image), "About", "Show the maker\u2019s address"},
      {accessible_of(editable), "Month", "Start month"},
      {entry_accessible_of(editable), "Month", "Start month"},
      {accessible_of(plain), "Jahr \u2013 \u00fcber \U0001F4C5", "\u65e5\u4ed8"},
  };
  for (const auto& [object, name, description] : expected) {
    EXPECT_EQ(name_of(object), name);
    EXPECT_EQ(description_of(object), description) << name;
  }
  EXPECT_EQ(atk_object_get_role(accessible_of(image)), ATK_ROLE_ICON);  // the toolkit's role for a picture
  // A null text keeps what is there; a later text of the button does not undo its name.
  gadget_set_accessible(button, nullptr, u"second");
  gadget_set_accessible(editor, u"renamed", nullptr);
  gadget_set_text(button, u"other");
  EXPECT_EQ(name_of(accessible_of(button)), "push");
  EXPECT_EQ(description_of(accessible_of(button)), "second");
  EXPECT_EQ(name_of(accessible_of(editor)), "renamed");
  EXPECT_EQ(description_of(accessible_of(editor)), "");
}

TEST_F(GadgetAccess, LabelRelationsPointBothWaysOncePerPair) {
  const int64_t label = text_gadget_create(ANY_NUMBER, 10, 10, 60, 20, u"Year");
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 80, 10, 100, 30);
  const int64_t day_label = text_gadget_create(ANY_NUMBER, 10, 60, 60, 20, u"Day", TEXT_BORDER);
  const int64_t combo = combobox_gadget_create(ANY_NUMBER, 80, 60, 100, 30, COMBOBOX_EDITABLE);

  gadget_set_label_for(label, editor);
  gadget_set_label_for(label, editor);  // a repeat adds nothing
  gadget_set_label_for(day_label, combo);

  AtkObject* year = accessible_of(label);
  EXPECT_EQ(related(year, ATK_RELATION_LABEL_FOR), std::vector<AtkObject*>{accessible_of(editor)});
  EXPECT_EQ(related(accessible_of(editor), ATK_RELATION_LABELLED_BY), std::vector<AtkObject*>{year});

  AtkObject* day = accessible_of(day_label);
  const std::vector<AtkObject*> day_targets = related(day, ATK_RELATION_LABEL_FOR);
  EXPECT_EQ(day_targets.size(), 2u);
  EXPECT_TRUE(contains(day_targets, accessible_of(combo)));
  EXPECT_TRUE(contains(day_targets, entry_accessible_of(combo)));
  EXPECT_EQ(related(accessible_of(combo), ATK_RELATION_LABELLED_BY), std::vector<AtkObject*>{day});
  EXPECT_EQ(related(entry_accessible_of(combo), ATK_RELATION_LABELLED_BY), std::vector<AtkObject*>{day});
  // The label's own text stays its name.
  EXPECT_EQ(name_of(day), "Day");
}

TEST_F(GadgetAccess, MissingGadgetsAndNonTextLabelsAreIgnored) {
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 80, 10, 100, 30);
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 60, 100, 40, u"push");
  const int64_t label = text_gadget_create(ANY_NUMBER, 10, 10, 60, 20, u"Year");
  const int64_t gone = text_gadget_create(ANY_NUMBER, 10, 120, 60, 20, u"gone");
  gadget_free(gone);
  ASSERT_EQ(record_of(gone), nullptr);

  gadget_set_accessible(77, u"nobody", u"nothing");
  gadget_set_accessible(gone, u"nobody", u"nothing");
  gadget_set_decorative(77);
  gadget_set_label_for(77, editor);
  gadget_set_label_for(gone, editor);
  gadget_set_label_for(label, 77);
  gadget_set_label_for(label, gone);
  gadget_set_label_for(button, editor);  // only a Text gadget can be a label
  gadget_set_label_for(label, label);

  EXPECT_TRUE(related(accessible_of(editor), ATK_RELATION_LABELLED_BY).empty());
  EXPECT_TRUE(related(accessible_of(button), ATK_RELATION_LABEL_FOR).empty());
  EXPECT_TRUE(related(accessible_of(label), ATK_RELATION_LABEL_FOR).empty());
  EXPECT_TRUE(related(accessible_of(label), ATK_RELATION_LABELLED_BY).empty());
}

TEST_F(GadgetAccess, ADecorationIsPassedOverAtEveryLevelOfItsTree) {
  const int64_t banner = image_gadget_create(ANY_NUMBER, 10, 10, 300, 50, nullptr, IMAGE_BORDER);
  const int64_t logo = image_gadget_create(ANY_NUMBER, 320, 10, 100, 50, nullptr, IMAGE_BORDER);
  gadget_set_decorative(banner);

  int levels = 0;
  for (GtkWidget* w = widget_of(banner); w != gtk_widget_get_parent(outer_of(banner)); w = gtk_widget_get_parent(w)) {
    EXPECT_EQ(atk_object_get_role(accessible(w)), ATK_ROLE_REDUNDANT_OBJECT) << G_OBJECT_TYPE_NAME(w);
    ++levels;
  }
  EXPECT_EQ(levels, 3);  // picture, frame, event box
  // Nothing above the gadget, nor another gadget, is touched.
  EXPECT_NE(atk_object_get_role(accessible(gtk_widget_get_parent(outer_of(banner)))), ATK_ROLE_REDUNDANT_OBJECT);
  EXPECT_EQ(atk_object_get_role(accessible_of(logo)), ATK_ROLE_ICON);
}

// Tab visits the gadgets given, in their order, each once, a missing one left out; only the
// flagged Editor passes Tab on, and only the flagged picture takes the focus and a click action.
TEST_F(GadgetAccess, FocusOrderAndKeyboardFlags) {
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 10, 100, 40, u"push");
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 60, 100, 30);
  const int64_t passing = editor_gadget_create(ANY_NUMBER, 10, 100, 100, 30, EDITOR_TAB_MOVES_FOCUS);
  const int64_t logo = image_gadget_create(ANY_NUMBER, 10, 300, 100, 50, nullptr, IMAGE_BORDER | IMAGE_KEYBOARD);
  const int64_t banner = image_gadget_create(ANY_NUMBER, 120, 300, 100, 50, nullptr, IMAGE_BORDER);
  const int64_t gone = button_gadget_create(ANY_NUMBER, 10, 200, 100, 40, u"gone");
  gadget_free(gone);

  const ObjectValue order[] = {logo, 77, gone, editor, logo, button};
  gadget_set_focus_order(order, int32_t(std::size(order)));
  GList* chain = nullptr;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  ASSERT_TRUE(gtk_container_get_focus_chain(GTK_CONTAINER(gtk_widget_get_parent(outer_of(logo))), &chain));
  G_GNUC_END_IGNORE_DEPRECATIONS
  std::vector<GtkWidget*> tops;
  for (GList* l = chain; l; l = l->next) tops.push_back(GTK_WIDGET(l->data));
  g_list_free(chain);
  EXPECT_EQ(tops, (std::vector<GtkWidget*>{outer_of(logo), outer_of(editor), outer_of(button)}));

  EXPECT_TRUE(gtk_text_view_get_accepts_tab(GTK_TEXT_VIEW(widget_of(editor))));
  EXPECT_FALSE(gtk_text_view_get_accepts_tab(GTK_TEXT_VIEW(widget_of(passing))));
  EXPECT_FALSE(gtk_widget_get_can_focus(widget_of(banner)));
  EXPECT_FALSE(ATK_IS_ACTION(accessible_of(banner)));
  EXPECT_TRUE(gtk_widget_get_can_focus(widget_of(logo)));
  ASSERT_TRUE(ATK_IS_ACTION(accessible_of(logo)));
  drain_events();
  EXPECT_FALSE(atk_action_do_action(ATK_ACTION(accessible_of(logo)), 1));
  EXPECT_TRUE(atk_action_do_action(ATK_ACTION(accessible_of(logo)), 0));
  EXPECT_EQ(drain_events(true), (std::vector<Event>{{EVENT_GADGET, logo, window_, GADGET_EVENT_LEFT_CLICK}}));
}

bool same_pixels(GdkPixbuf* a, GdkPixbuf* b) {
  if (gdk_pixbuf_get_width(a) != gdk_pixbuf_get_width(b) || gdk_pixbuf_get_height(a) != gdk_pixbuf_get_height(b) ||
      gdk_pixbuf_get_rowstride(a) != gdk_pixbuf_get_rowstride(b))
    return false;
  const gsize length = gdk_pixbuf_get_byte_length(a);
  return length == gdk_pixbuf_get_byte_length(b) &&
         std::equal(gdk_pixbuf_read_pixels(a), gdk_pixbuf_read_pixels(a) + length, gdk_pixbuf_read_pixels(b));
}

// A picture of the window as the X server shows it, once drawing has come to rest:
// two pictures taken a frame apart agree.
GdkPixbuf* snapshot(GtkWidget* toplevel) {
  GdkWindow* window = gtk_widget_get_window(toplevel);
  auto take = [&] {
    settle();
    return gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window));
  };
  GdkPixbuf* previous = take();
  for (int attempt = 0; previous && attempt < 50; ++attempt) {
    pump_until([] { return false; }, 20);
    GdkPixbuf* current = take();
    if (!current || same_pixels(previous, current)) {
      if (current) g_object_unref(current);
      return previous;
    }
    g_object_unref(previous);
    previous = current;
  }
  return previous;
}

TEST_F(GadgetAccess, NothingIsDrawnDifferentlyAndNoEventIsAddedOrLost) {
  const int64_t label = text_gadget_create(ANY_NUMBER, 10, 10, 60, 20, u"Day");
  const int64_t combo = combobox_gadget_create(ANY_NUMBER, 80, 10, 100, 30, COMBOBOX_EDITABLE);
  gadget_add_item(combo, -1, u"1");
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 80, 60, 100, 30);
  gadget_set_text(editor, u"2024");
  const int64_t button = button_gadget_create(ANY_NUMBER, 200, 10, 100, 40, u"push");
  const int64_t banner = image_gadget_create(ANY_NUMBER, 10, 120, 300, 50, nullptr, IMAGE_BORDER);
  const int64_t calendar = calendar_gadget_create(ANY_NUMBER, 320, 60, 200, 170);
  ASSERT_TRUE(pump_until([&] { return widget_ready(widget_of(calendar)); }));
  GdkPixbuf* before = snapshot(toplevel_);
  ASSERT_NE(before, nullptr);
  drain_events();

  gadget_set_accessible(combo, u"Day", u"Start day");
  gadget_set_accessible(editor, u"Year", u"Start year");
  gadget_set_accessible(button, u"push", u"Compute");
  gadget_set_accessible(calendar, u"Today", nullptr);
  gadget_set_label_for(label, combo);
  gadget_set_decorative(banner);
  settle();
  EXPECT_TRUE(drain_events(true).empty());

  GdkPixbuf* after = snapshot(toplevel_);
  ASSERT_NE(after, nullptr);
  EXPECT_TRUE(same_pixels(before, after));
  g_object_unref(before);
  g_object_unref(after);
  EXPECT_EQ(text_of(editor), "2024");
  EXPECT_EQ(text_of(button), "push");

  // A named button still posts exactly one click for a pointer click, and one for the
  // action a screen reader invokes.
  const std::vector<Event> one_click = {{EVENT_GADGET, button, window_, GADGET_EVENT_LEFT_CLICK}};
  auto clicks_after = [&](const std::function<void()>& act) {
    act();
    std::vector<Event> clicks;
    EXPECT_TRUE(wait_for_event(&clicks, EVENT_GADGET, button));
    settle();
    for (const Event& e : drain_events()) clicks.push_back(e);
    std::erase_if(clicks, [](const Event& e) { return e.type != EVENT_GADGET; });
    return clicks;
  };
  EXPECT_EQ(clicks_after([&] { click(widget_of(button)); }), one_click);
  AtkObject* push = accessible_of(button);
  ASSERT_TRUE(ATK_IS_ACTION(push));
  EXPECT_EQ(clicks_after([&] { atk_action_do_action(ATK_ACTION(push), 0); }), one_click);
}

}  // namespace

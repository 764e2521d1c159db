// SPDX-License-Identifier: MIT
// Gadgets in a real window: each type's events from real pointer and keyboard input and none
// from the program's own changes or accessibility settings, the close-window rule, the common
// operations and the type slots.
#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/gadget_access.h"
#include "runtime/gadgets/image_gadget.h"
#include "runtime/gadgets/text_gadget.h"
#include "tests/support/gui.h"

namespace {

using namespace zvd_test;
using Posted = std::vector<std::pair<int64_t, int64_t>>;  // gadget, subtype

const GadgetOps& ops(ObjectValue g) { return *record_of(g)->ops; }
GtkWidget* entry_of(ObjectValue combo) { return gtk_bin_get_child(GTK_BIN(widget_of(combo))); }

// Clicks into a gadget's text widget and types one key at the end, waiting until it shows.
void type_key(ObjectValue gadget, GtkWidget* target, const char* key) {
  click(target);
  ASSERT_TRUE(pump_until([&] { return gtk_widget_has_focus(target); }));
  const size_t length = text_of(gadget).size();
  ASSERT_TRUE(xdotool({"key", "End", "type", key}));
  ASSERT_TRUE(pump_until([&] { return text_of(gadget).size() > length; }));
}

// Presses at the first point of a widget, moves through the others and releases at the last.
void drag(GtkWidget* widget, std::vector<std::pair<int, int>> points) {
  ASSERT_TRUE(pump_until([&] { return widget_ready(widget); }));
  pointer_to(widget, points[0].first, points[0].second);
  pointer_button(1, true);
  for (auto [x, y] : points) pointer_to(widget, x, y);
  pointer_button(1, false);
}

// Every test gets a fresh window that is the current gadget list, closed with all in it.
class Gadgets : public ::testing::Test {
 protected:
  void SetUp() override {
    start_runtime();
    window_ = win_open(ANY_NUMBER, 0, 0, 640, 480, u"gadgets", 0, nullptr);
    ASSERT_TRUE(window_ && pump_until([&] { return widget_ready(GTK_WIDGET(win_widget(window_))); }));
    settle();
    drain_events();
  }
  void TearDown() override {
    win_close_all();
    settle();
    drain_events();
  }
  int64_t window_ = 0;
};

AtkObject* atk(GtkWidget* widget) { return gtk_widget_get_accessible(widget); }

// How many targets a widget's accessible relation of the type has.
int relations(GtkWidget* widget, AtkRelationType type) {
  AtkRelationSet* set = atk_object_ref_relation_set(atk(widget));
  AtkRelation* relation = atk_relation_set_get_relation_by_type(set, type);
  const int n = relation ? int(atk_relation_get_target(relation)->len) : 0;
  g_object_unref(set);
  return n;
}

TEST_F(Gadgets, EveryTypePostsItsEventsFromRealInputAndNoneFromTheProgram) {
  focus_window(GTK_WIDGET(win_widget(window_)));
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 10, 200, 40);
  const int64_t combo = 7;  // by number
  combobox_gadget_create(combo, 10, 70, 120, 30, COMBOBOX_EDITABLE | COMBOBOX_UPPER_CASE);
  const int64_t plain = combobox_gadget_create(ANY_NUMBER, 10, 120, 120, 30);
  const int64_t button = button_gadget_create(ANY_NUMBER, 10, 170, 100, 40, u"push");
  const int64_t label = text_gadget_create(ANY_NUMBER, 10, 230, 100, 20, u"label");
  const int64_t passing = editor_gadget_create(ANY_NUMBER, 10, 260, 100, 30,
                                               EDITOR_TAB_MOVES_FOCUS | EDITOR_SINGLE_LINE | EDITOR_ASCII_DIGITS);
  editor_gadget_set_return_button(passing, button);
  const int64_t calendar = calendar_gadget_create(ANY_NUMBER, 300, 10, 260, 200, 951825600);
  GdkPixbuf* logo = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 100, 49);
  gdk_pixbuf_fill(logo, 0x3366CCFF);
  const int64_t image = image_gadget_create(ANY_NUMBER, 300, 260, 0, 0, logo, IMAGE_KEYBOARD);
  const int64_t other = image_gadget_create(ANY_NUMBER, 420, 260, 0, 0, logo);
  const int64_t gone = text_gadget_create(ANY_NUMBER, 10, 300, 60, 20, u"gone");
  gadget_free(gone);  // last: a later creation could take its record's address and so revive its handle
  for (const char16_t* t : {u"1", u"2", u"3", u"4", u"5", u"6"}) gadget_add_item(plain, -1, t);
  GtkWidget* picture = outer_of(image);
  gint threshold = 0;
  g_object_get(gtk_settings_get_default(), "gtk-dnd-drag-threshold", &threshold, nullptr);
  ASSERT_LT(threshold + 30, 100);

  const struct { const char* what; std::function<void()> act; Posted expected; } steps[] = {
      {"program changes and accessibility settings, misused ones too", [&] {
         gadget_add_item(editor, -1, u"year");
         for (const char16_t* line : {u"a", u"\uFF11"}) gadget_add_item(passing, -1, line);  // the program's lines stay
         gadget_add_item(combo, -1, u"1");
         for (auto [g, text] : {std::pair{editor, "2024"}, {combo, "1"}, {combo, "07"}, {plain, "3"}, {button, "push"}})
           set_text(g, text);
         gadget_set_accessible(combo, u"Tag \u2013 \U0001F4C5", u"Start day");
         gadget_set_accessible(combo, nullptr, u"\u65e5");  // a null name keeps the name
         gadget_set_accessible(gone, u"nobody", u"nothing");
         for (auto [l, target] : {std::pair{label, combo}, {label, combo}, {gone, combo}, {77, combo},
                                  {button, combo}, {label, gone}, {label, 77}, {label, label}})
           gadget_set_label_for(l, target);
         gadget_set_decorative(other);
         gadget_set_decorative(77);
         const ObjectValue order[] = {image, 77, gone, editor, image, button};
         gadget_set_focus_order(order, int32_t(std::size(order)));
       }, {}},
      {"typing into the editor", [&] { type_key(editor, widget_of(editor), "5"); },
       {{editor, GADGET_EVENT_FOCUS}, {editor, GADGET_EVENT_CHANGE}}},
      {"typing into the chooser's entry", [&] { type_key(combo, entry_of(combo), "q"); },
       {{editor, GADGET_EVENT_LOST_FOCUS}, {combo, GADGET_EVENT_FOCUS}, {combo, GADGET_EVENT_CHANGE}}},
      {"a button click", [&] { click(widget_of(button)); }, {{combo, GADGET_EVENT_LOST_FOCUS}, {button, 0}}},
      {"a day click", [&] { click(widget_of(calendar), 1, 1, 130, 130); }, {{calendar, 0}}},
      {"choosing an item with the pointer", [&] {
         click(widget_of(plain));
         GList* menus = gtk_menu_get_for_attach_widget(widget_of(plain));
         ASSERT_TRUE(menus && pump_until([&] { return widget_ready(GTK_WIDGET(menus->data)); }));
         GList* items = gtk_container_get_children(GTK_CONTAINER(menus->data));
         GtkWidget* item = GTK_WIDGET(g_list_nth_data(items, 4));
         g_list_free(items);
         settle();
         click(item);
       }, {{plain, GADGET_EVENT_CHANGE}}},
      // With a close request first in the queue, clicks and Editor changes post nothing.
      {"input while a close request waits", [&] {
         event_post(EVENT_CLOSE_WINDOW, 0, window_, 0);
         click(widget_of(button));  // handled in order, before the typed text shows
         click(widget_of(calendar), 1, 1, 70, 130);
         type_key(editor, widget_of(editor), "x");
         type_key(combo, entry_of(combo), "y");
       }, {{editor, GADGET_EVENT_FOCUS}, {editor, GADGET_EVENT_LOST_FOCUS}, {combo, GADGET_EVENT_FOCUS},
           {combo, GADGET_EVENT_CHANGE}}},
      {"a button click once it was fetched", [&] { click(widget_of(button)); },
       {{combo, GADGET_EVENT_LOST_FOCUS}, {button, 0}}},
      {"accessible actions (the picture has one only)", [&] {
         atk_action_do_action(ATK_ACTION(atk(widget_of(button))), 0);
         EXPECT_FALSE(atk_action_do_action(ATK_ACTION(atk(widget_of(image))), 1));
         EXPECT_TRUE(atk_action_do_action(ATK_ACTION(atk(widget_of(image))), 0));
       }, {{button, 0}, {image, GADGET_EVENT_LEFT_CLICK}}},
      {"picture: left", [&] { click(picture, 1); }, {{image, GADGET_EVENT_LEFT_CLICK}}},
      {"right", [&] { click(picture, 3); }, {{image, GADGET_EVENT_RIGHT_CLICK}}},
      {"left double", [&] { click(picture, 1, 2); },
       {{image, GADGET_EVENT_LEFT_CLICK}, {image, GADGET_EVENT_LEFT_DOUBLE_CLICK}}},
      {"right double", [&] { click(picture, 3, 2); },
       {{image, GADGET_EVENT_RIGHT_CLICK}, {image, GADGET_EVENT_RIGHT_DOUBLE_CLICK}}},
      {"middle (nothing), then right", [&] { click(picture, 2); click(picture, 3, 1, 50, 20); },
       {{image, GADGET_EVENT_RIGHT_CLICK}}},
      {"a drag that ends outside: no click", [&] { drag(picture, {{50, 20}, {50, 150}}); },
       {{image, GADGET_EVENT_DRAG_START}}},
      {"a drag past the threshold, released inside", [&] {
         drag(picture, {{10, 20}, {20 + threshold, 20}, {35 + threshold, 22}});
       }, {{image, GADGET_EVENT_DRAG_START}, {image, GADGET_EVENT_LEFT_CLICK}}},
      {"a move within the threshold (a decoration)", [&] { drag(outer_of(other), {{10, 20}, {11, 20}}); },
       {{other, GADGET_EVENT_LEFT_CLICK}}},
      {"a press into a one-line editor selects nothing; Return ends the input method's composition", [&] {
         pointer_to(widget_of(passing));
         pointer_button(1, true);
         ASSERT_TRUE(pump_until([&] { return gtk_widget_has_focus(widget_of(passing)); }));
         EXPECT_FALSE(gtk_text_buffer_get_has_selection(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget_of(passing)))));
         pointer_button(1, false);
         ASSERT_TRUE(xdotool({"key", "ctrl+shift+u", "3", "1", "Return"}));  // types "1"
       }, {{passing, GADGET_EVENT_FOCUS}, {passing, GADGET_EVENT_CHANGE}}},
      {"Return to an insensitive, a hidden, a shown button", [&] {
         for (auto change : {gtk_widget_set_sensitive, gtk_widget_set_visible}) {
           change(widget_of(button), FALSE);
           ASSERT_TRUE(xdotool({"key", "Return"}));
           settle();  // a button pressed looks so until its click
           ASSERT_TRUE(pump_until([&] { return !(gtk_widget_get_state_flags(widget_of(button)) & GTK_STATE_FLAG_ACTIVE); }));
           change(widget_of(button), TRUE);
         }
         ASSERT_TRUE(xdotool({"key", "Return"}));
       }, {{button, 0}}},
      {"Return, then at once a click into the editor and keys: none lost", [&] {
         ASSERT_TRUE(xdotool({"key", "Return"}));
         click(widget_of(editor), 1, 1, 150, 30);  // away from the centre: no double click
         ASSERT_TRUE(xdotool({"type", "77"}));
       }, {{button, 0}, {passing, GADGET_EVENT_LOST_FOCUS}, {editor, GADGET_EVENT_FOCUS}, {editor, GADGET_EVENT_CHANGE},
           {editor, GADGET_EVENT_CHANGE}}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    Posted posted;
    auto all_posted = [&] {  // an event for another window shows as gadget -1
      for (const Event& e : drain_events(true)) posted.emplace_back(e.window == window_ ? e.gadget : -1, e.subtype);
      return posted.size() >= step.expected.size();
    };
    pump_until(all_posted);
    settle();
    all_posted();
    EXPECT_EQ(posted, step.expected);
  }
  EXPECT_EQ(text_of(editor), "20245x77");
  EXPECT_EQ(text_of(combo), "07QY");  // typed letters pass the case filter
  EXPECT_EQ(text_of(plain), "5");
  EXPECT_EQ(text_of(passing), "a1\n\uFF11");  // typed at the click; the program's full-width line kept

  // The chooser and its entry are labelled once each, named and described; Tab visits the gadgets
  // given, in order, each once, missing ones left out; only the flagged Editor passes Tab on, and
  // only the flagged picture takes the focus and offers an action (the real logo's are the app test's).
  EXPECT_STREQ(atk_object_get_name(atk(entry_of(combo))), "Tag \u2013 \U0001F4C5");
  EXPECT_STREQ(atk_object_get_description(atk(widget_of(combo))), "\u65e5");
  const AtkRelationType label_for = ATK_RELATION_LABEL_FOR, labelled_by = ATK_RELATION_LABELLED_BY;
  EXPECT_EQ(std::make_tuple(relations(widget_of(label), label_for), relations(widget_of(label), labelled_by),
                            relations(widget_of(button), label_for), relations(entry_of(combo), labelled_by)),
            std::make_tuple(2, 0, 0, 1));
  GList* chain = nullptr;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  ASSERT_TRUE(gtk_container_get_focus_chain(GTK_CONTAINER(gtk_widget_get_parent(outer_of(image))), &chain));
  G_GNUC_END_IGNORE_DEPRECATIONS
  std::vector<GtkWidget*> tops;
  for (GList* l = chain; l; l = l->next) tops.push_back(GTK_WIDGET(l->data));
  g_list_free(chain);
  EXPECT_EQ(tops, (std::vector<GtkWidget*>{outer_of(image), outer_of(editor), outer_of(button)}));
  EXPECT_TRUE(gtk_text_view_get_accepts_tab(GTK_TEXT_VIEW(widget_of(editor))));
  EXPECT_FALSE(gtk_text_view_get_accepts_tab(GTK_TEXT_VIEW(widget_of(passing))));
  EXPECT_FALSE(gtk_widget_get_can_focus(widget_of(other)) || ATK_IS_ACTION(atk(widget_of(other))));
  gadget_free(ANY_NUMBER);
  g_object_unref(logo);
}

TEST_F(Gadgets, LifetimeItemsAndRows) {
  ASSERT_NE(editor_gadget_create(5, 10, 10, 100, 30), 0);
  GtkWidget* old_scroller = outer_of(5);
  g_object_add_weak_pointer(G_OBJECT(old_scroller), reinterpret_cast<gpointer*>(&old_scroller));
  // Re-created under a live number: the old widgets go; a number gives the widget back.
  const int64_t created = button_gadget_create(5, 10, 10, 80, 30, u"new", BUTTON_TOGGLE);
  EXPECT_EQ(created, reinterpret_cast<intptr_t>(widget_of(5)));
  EXPECT_EQ(old_scroller, nullptr);
  ops(5).set_state(record_of(5), 1);
  EXPECT_EQ(gadget_get_state(5), 1);  // a toggle button keeps its state

  // Editor lines: before a line; the index of the last line, or any beyond it, appends;
  // below -1 goes before the last line.
  editor_gadget_create(1, 10, 50, 200, 100);
  const struct { const char* text; int32_t position; const char16_t* item; const char* expected; } lines[] = {
      {"", -1, u"year", "year"}, {"year", -1, nullptr, "year\n"}, {"a\nb\nc", 1, u"x", "a\nx\nb\nc"},
      {"a\nb\nc", 2, u"x", "a\nb\nc\nx"}, {"a\nb\nc", 9, u"x", "a\nb\nc\nx"}, {"a\nb\nc", -7, u"x", "a\nb\nx\nc"},
  };
  for (const auto& l : lines) {
    set_text(1, l.text);
    gadget_add_item(1, l.position, l.item);
    EXPECT_EQ(text_of(1), l.expected) << l.text << " at " << l.position;
  }
  ops(1).remove_item(record_of(1), 3);
  ops(1).remove_item(record_of(1), 2);  // the last line takes the break before it along
  EXPECT_EQ(text_of(1), "a\nb");

  // The real window's choosers select matching rows; here, the case filters on ASCII letters
  // only, an unknown text that a plain chooser cannot show, and a row inserted before another.
  combobox_gadget_create(2, 10, 160, 100, 30, COMBOBOX_EDITABLE | COMBOBOX_LOWER_CASE);
  combobox_gadget_create(3, 10, 200, 100, 30, COMBOBOX_UPPER_CASE);
  gadget_add_item(2, -1, u"ÄBÇ Déf");
  for (const char16_t* t : {u"straße ÿ", u"blue"}) gadget_add_item(3, -1, t);
  gadget_add_item(3, 1, u"yellow");
  const struct { ObjectValue gadget; const char* text; int64_t state; const char* shown; } rows[] = {
      {2, "ÄBÇ DÉF", -1, "ÄbÇ dÉf"}, {2, "ÄBÇ déf", 0, "ÄbÇ déf"}, {3, "STRAßE ÿ", 0, "STRAßE ÿ"},
      {3, "YELLOW", 1, "YELLOW"}, {3, "purple", -1, ""}};
  for (const auto& r : rows) {
    set_text(r.gadget, r.text);
    EXPECT_EQ(gadget_get_state(r.gadget), r.state) << r.text;
    EXPECT_EQ(text_of(r.gadget), r.shown);
  }
  // Multi-byte characters pass the case filter whole, however the text arrives.
  gint position = 0;
  gtk_editable_insert_text(GTK_EDITABLE(entry_of(2)), "Äö-X", -1, &position);
  EXPECT_EQ(position, 4);
  EXPECT_EQ(text_of(2), "Äö-xÄbÇ déf");

  // Text the user adds to a one-line editor keeps its first line, whatever line break ends it.
  editor_gadget_create(6, 10, 240, 100, 30, EDITOR_SINGLE_LINE);
  for (const char* end : {"\r", "\n", "\r\n", "\v", "\f", "\u0085", "\u2028", "\u2029"}) {
    gtk_text_buffer_insert_interactive_at_cursor(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget_of(6))),
                                                 (std::string("1") + end + "2").c_str(), -1, TRUE);
    EXPECT_EQ(text_of(6), "1");
    set_text(6, "");
  }

  // A shown picture outlives its image (above factor 1 the toolkit keeps a surface only; the next factor draws
  // it again). Emptied, the gadget lets it go, keeps its size and reports none, as the emptied editor no line.
  GdkPixbuf* shown = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 10, 10);
  g_object_add_weak_pointer(G_OBJECT(shown), reinterpret_cast<gpointer*>(&shown));
  image_gadget_create(4, 300, 10, 0, 0, shown);
  gadget_set_font(1, font_load_plain(7, u"Sans", 9));  // the font goes too: the editor keeps a copy
  font_free(7);
  for (double factor : {1.5, 1.25, 1.0}) {
    if (factor == 1.25) g_object_unref(shown);
    g_object_set(gtk_settings_get_default(), "gtk-xft-dpi", int(96 * 1024 * factor), nullptr);
  }
  EXPECT_NE(shown, nullptr);
  ops(4).set_state(record_of(4), 0);
  EXPECT_EQ(std::tuple(shown, gadget_get_state(4), gadget_width(4), ops(6).count_items(record_of(6))),
            std::tuple(nullptr, 0, 10, 0));

  // Closing the window releases every record; operations on missing gadgets do nothing.
  win_close(window_);
  for (ObjectValue g : {1, 2, 3, 5}) EXPECT_EQ(record_of(g), nullptr);
  EXPECT_EQ(gadget_get_state(5) + gadget_add_item(5, -1, u"x") + gadget_width(5), 0);
  EXPECT_EQ(text_of(5), "");
  gadget_set_text(5, u"x");
  gadget_resize(5, 1, 1, 10, 10);
}

TEST_F(Gadgets, ColoursAndSizes) {
  text_gadget_create(1, 10, 10, 100, 20, u"label", TEXT_RIGHT | TEXT_CENTER);
  editor_gadget_create(2, 10, 40, 100, 30);
  GtkWidget *box = gtk_widget_get_parent(widget_of(1)), *view = widget_of(2), *scroller = outer_of(2);
  const GtkStateFlags normal = GTK_STATE_FLAG_NORMAL, selected = GTK_STATE_FLAG_SELECTED;
  const int64_t label_theme = style_rgb(box, normal, "color");
  const int64_t field_theme = style_rgb(view, normal, "background-color"),
                selected_theme = style_rgb(view, selected, "background-color");
  // Each step sets one colour and reads one style colour back.
  const struct { ObjectValue g; int32_t kind, color; GtkWidget* w; GtkStateFlags state; const char* property;
                 int64_t rgb; } steps[] = {
      {1, COLOR_FRONT, 0x464646, box, normal, "color", 0x464646},
      {1, COLOR_BACK, 0xD7D8BC, box, normal, "background-color", 0xD7D8BC},
      {1, COLOR_FRONT, -1, box, normal, "color", label_theme},
      // A background brings its contrast colour for selections, on both of an Editor's widgets.
      {2, COLOR_BACK, 0x808080, view, selected, "background-color", 0x666666},
      {2, COLOR_BACK, 0x808080, scroller, selected, "background-color", 0x666666},
      {2, COLOR_BACK, 0x808080, view, selected, "color", 0x808080},
      {2, COLOR_BACK, -1, view, selected, "background-color", selected_theme},
      // Text the theme's field would swallow (grey or light on white) brings a fitted background (black
      // where its inverse would not do) and its caret colour, until the field has a background or readable text.
      {2, COLOR_FRONT, 0x808080, view, normal, "background-color", 0},
      {2, COLOR_FRONT, 0x808080, view, normal, "caret-color", 0x808080},
      {2, COLOR_FRONT, 0xF0F0F0, view, normal, "background-color", 0x0F0F0F},
      {2, COLOR_BACK, 0x0000FF, view, normal, "background-color", 0x0000FF},
      {2, COLOR_BACK, -1, view, normal, "background-color", 0x0F0F0F},
      {2, COLOR_FRONT, 0x000000, view, normal, "background-color", field_theme},
  };
  for (const auto& c : steps) {
    gadget_set_color(c.g, c.kind, c.color);
    EXPECT_EQ(style_rgb(c.w, c.state, c.property), c.rgb) << c.g << " " << c.kind << " " << std::hex << c.color;
  }
  // Flags 3 align to the right (bit 1 wins) and the top; a font is applied, not only remembered.
  gadget_set_font(1, font_load_plain(9, u"Sans", 9));
  g_autoptr(PangoFontDescription) font = nullptr;
  gtk_style_context_get(gtk_widget_get_style_context(widget_of(1)), normal, "font", &font, nullptr);
  EXPECT_EQ(std::tuple(gtk_label_get_xalign(GTK_LABEL(widget_of(1))), gtk_label_get_yalign(GTK_LABEL(widget_of(1))),
                       pango_font_description_get_size(font)), std::tuple(1.0f, 0.0f, 9 * PANGO_SCALE));
  gadget_set_color(1, 3, 0x00FF00);  // an unknown kind changes nothing
  EXPECT_EQ(ops(1).get_color(record_of(1), COLOR_BACK), 0xD7D8BC);
  gadget_set_color(1, COLOR_BACK, -1);
  EXPECT_EQ(ops(1).get_color(record_of(1), COLOR_BACK), -1);

  auto where = [&] {  // place, requested size, and a vertical scrollbar only where the field has room for it
    gint x = 0, y = 0;
    GtkPolicyType vertical = GTK_POLICY_NEVER;
    gtk_container_child_get(GTK_CONTAINER(gtk_widget_get_parent(scroller)), scroller, "x", &x, "y", &y, nullptr);
    gtk_scrolled_window_get_policy(GTK_SCROLLED_WINDOW(scroller), nullptr, &vertical);
    return std::tuple<int, int, int64_t, int64_t, GtkPolicyType>(x, y, gadget_width(2), gadget_height(2), vertical);
  };
  gadget_resize(2, KEEP_VALUE, KEEP_VALUE, 200, KEEP_VALUE);
  gadget_resize(2, 50, KEEP_VALUE, KEEP_VALUE, KEEP_VALUE);
  gadget_resize(2, KEEP_VALUE, KEEP_VALUE, 0, -5);  // sizes below 1 are kept too
  EXPECT_EQ(where(), std::make_tuple(50, 40, 200, 30, GTK_POLICY_EXTERNAL));  // not a scrollbar's minimum
  gadget_resize(2, KEEP_VALUE, KEEP_VALUE, KEEP_VALUE, 120);
  EXPECT_EQ(where(), std::make_tuple(50, 40, 200, 120, GTK_POLICY_AUTOMATIC));
  gtk_widget_hide(scroller);
  gadget_resize(2, 5, 6, 120, 45);
  EXPECT_EQ(where(), std::make_tuple(5, 6, 120, 45, GTK_POLICY_EXTERNAL));
  EXPECT_FALSE(gtk_widget_get_visible(scroller));
  gadget_resize(2, 2147483000, 10, 1000, 20);  // its far edge past the int32_t range
  EXPECT_EQ(where(), std::make_tuple(2147483000, 10, 1000, 20, GTK_POLICY_EXTERNAL));

}

}  // namespace

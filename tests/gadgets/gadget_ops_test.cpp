// The gadget types through the common operations and their slots: lifetime in the
// registry, texts and items, colours, sizes, fonts, case filters and calendar dates.
#include <ctime>
#include <thread>

#include "runtime/date/date.h"
#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/text_gadget.h"
#include "tests/support/gui.h"

namespace {

using namespace zvd_test;

const GadgetOps& ops(ObjectValue g) { return *record_of(g)->ops; }

int live_gadgets() {
  int count = 0;
  ObjectValue value = 0;
  obj_enum_begin(gadget_registry());
  while (obj_enum_next(gadget_registry(), &value)) ++count;
  return count;
}

// A ComboBox row's text as stored in its model.
std::string row_text(ObjectValue g, int row) {
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget_of(g)));
  GtkTreeIter iter;
  if (!gtk_tree_model_iter_nth_child(model, &iter, nullptr, row)) return "<none>";
  gchar* text = nullptr;
  gtk_tree_model_get(model, &iter, 1, &text, -1);
  std::string result = text ? text : "<null>";
  g_free(text);
  return result;
}

GdkRGBA style_color(GtkWidget* widget, GtkStateFlags state, const char* property) {
  GdkRGBA* color = nullptr;
  GtkStyleContext* context = gtk_widget_get_style_context(widget);
  gtk_style_context_save(context);
  gtk_style_context_set_state(context, state);
  gtk_style_context_get(context, state, property, &color, nullptr);
  gtk_style_context_restore(context);
  GdkRGBA result = *color;
  gdk_rgba_free(color);
  return result;
}

// Whether a style colour is the 8-bit colour r, g, b.
::testing::AssertionResult is_rgb(const GdkRGBA& c, int r, int g, int b) {
  if (std::abs(c.red * 255 - r) < 1e-4 && std::abs(c.green * 255 - g) < 1e-4 && std::abs(c.blue * 255 - b) < 1e-4)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << c.red * 255 << "," << c.green * 255 << "," << c.blue * 255;
}

int32_t get_color(ObjectValue gadget, int32_t kind) { return ops(gadget).get_color(record_of(gadget), kind); }

using Gadgets = WindowTest;

TEST_F(Gadgets, RecreatingUnderALiveNumberDestroysTheOldWidgets) {
  ASSERT_NE(editor_gadget_create(5, 10, 10, 100, 30), 0);
  GtkWidget* old_view = widget_of(5);
  GtkWidget* old_scroller = outer_of(5);
  g_object_add_weak_pointer(G_OBJECT(old_view), reinterpret_cast<gpointer*>(&old_view));
  g_object_add_weak_pointer(G_OBJECT(old_scroller), reinterpret_cast<gpointer*>(&old_scroller));
  // A number gives the widget's address back, a handle the record's.
  const int64_t created = button_gadget_create(5, 10, 10, 80, 30, u"new");
  EXPECT_EQ(created, reinterpret_cast<intptr_t>(widget_of(5)));
  EXPECT_EQ(old_view, nullptr);
  EXPECT_EQ(old_scroller, nullptr);
  EXPECT_EQ(ops(5).type, GADGET_BUTTON);
  EXPECT_EQ(text_of(5), "new");
  const int64_t handle = button_gadget_create(ANY_NUMBER, 10, 50, 100, 30, u"toggle", BUTTON_TOGGLE);
  EXPECT_EQ(reinterpret_cast<intptr_t>(record_of(handle)), handle);
  EXPECT_EQ(live_gadgets(), 2);
  // A push button keeps no state; a toggle button keeps the one it is given.
  for (int64_t state : {1, 0}) {
    ops(5).set_state(record_of(5), state);
    ops(handle).set_state(record_of(handle), state);
    EXPECT_EQ(gadget_get_state(5), 0);
    EXPECT_EQ(gadget_get_state(handle), state);
  }
}

TEST_F(Gadgets, FreeAndClosingTheWindowReleaseEveryRecord) {
  combobox_gadget_create(7, 10, 10, 100, 30, COMBOBOX_EDITABLE);
  const int64_t editor = editor_gadget_create(ANY_NUMBER, 10, 50, 100, 30);
  calendar_gadget_create(ANY_NUMBER, 200, 10, 200, 160);
  ASSERT_EQ(live_gadgets(), 3);
  gadget_free(7);
  EXPECT_EQ(record_of(7), nullptr);
  gadget_free(7);  // no longer live: nothing happens
  set_text(editor, "still here");
  EXPECT_EQ(text_of(editor), "still here");
  gadget_free(ANY_NUMBER);
  EXPECT_EQ(live_gadgets(), 0);

  text_gadget_create(0, 10, 10, 100, 20, u"t");
  editor_gadget_create(1, 10, 40, 100, 30);
  combobox_gadget_create(ANY_NUMBER, 10, 80, 100, 30);
  button_gadget_create(ANY_NUMBER, 10, 160, 100, 30, u"b", BUTTON_TOGGLE);
  calendar_gadget_create(2, 200, 10, 200, 160);
  ASSERT_EQ(live_gadgets(), 5);
  win_close(window_);
  EXPECT_EQ(live_gadgets(), 0);
  // With no window open there is nowhere to put a gadget.
  EXPECT_EQ(text_gadget_create(0, 0, 0, 10, 10, u"x"), 0);
  // Operations on missing gadgets do nothing.
  EXPECT_EQ(gadget_get_state(1), 0);
  EXPECT_EQ(text_of(1), "");
  EXPECT_EQ(gadget_add_item(1, -1, u"x"), 0);
  EXPECT_EQ(gadget_width(1), 0);
  gadget_set_text(1, u"x");
  gadget_set_color(1, COLOR_FRONT, 0);
  gadget_resize(1, 1, 1, 10, 10);
}

TEST_F(Gadgets, EditorLinesAreAddedJoinedAndRemoved) {
  editor_gadget_create(1, 10, 10, 200, 100);
  EXPECT_EQ(gadget_add_item(1, -1, u"year"), 0);
  EXPECT_EQ(text_of(1), "year");
  gadget_add_item(1, -1, u"month");
  gadget_add_item(1, -1, nullptr);
  gadget_add_item(1, -1, u"day");
  EXPECT_EQ(text_of(1), "year\nmonth\n\nday");
  EXPECT_EQ(ops(1).count_items(record_of(1)), 4);
  // Before a line; the index of the last line, or any beyond it, appends; below -1 goes
  // before the last line.
  set_text(1, "a\nb\nc");
  gadget_add_item(1, 1, u"x");
  gadget_add_item(1, 3, u"last");
  gadget_add_item(1, -7, u"end");
  EXPECT_EQ(text_of(1), "a\nx\nb\nc\nend\nlast");
  GadgetRecord* r = record_of(1);
  set_text(1, "one\ntwo\nthree");
  ops(1).remove_item(r, 3);
  ops(1).remove_item(r, 2);  // the last line takes the break before it along
  ops(1).set_item_text(r, 0, "Ünï", 0);
  EXPECT_EQ(text_of(1), "Ünï\ntwo");
  gadget_set_text(1, nullptr);
  EXPECT_EQ(text_of(1), "");
  EXPECT_EQ(ops(1).count_items(r), 0);
}

TEST_F(Gadgets, ComboBoxTextSelectsAMatchingRowOrStaysInTheEntry) {
  combobox_gadget_create(1, 10, 10, 100, 30, COMBOBOX_EDITABLE);
  for (int i = 1; i <= 31; ++i) {
    const std::string digits = std::to_string(i);
    gadget_add_item(1, -1, std::u16string(digits.begin(), digits.end()).c_str());
  }
  EXPECT_EQ(ops(1).count_items(record_of(1)), 31);
  EXPECT_EQ(row_text(1, 30), "31");
  set_text(1, "12");
  EXPECT_EQ(gadget_get_state(1), 11);
  set_text(1, "01");
  EXPECT_EQ(text_of(1), "01");
  EXPECT_EQ(gadget_get_state(1), -1);
  // Without an entry, an unknown text clears the selection.
  combobox_gadget_create(2, 10, 50, 100, 30);
  for (const char16_t* t : {u"red", u"green", u"blue"}) gadget_add_item(2, -1, t);
  gadget_add_item(2, 1, u"yellow");
  EXPECT_EQ(row_text(2, 2), "green");
  set_text(2, "blue");
  EXPECT_EQ(gadget_get_state(2), 3);
  set_text(2, "purple");
  EXPECT_EQ(gadget_get_state(2), -1);
  EXPECT_EQ(text_of(2), "");
  ops(2).remove_item(record_of(2), 0);
  EXPECT_EQ(row_text(2, 0), "yellow");
}

TEST_F(Gadgets, CaseFlagsMapOnlyAsciiLetters) {
  combobox_gadget_create(1, 10, 10, 150, 30, COMBOBOX_EDITABLE | COMBOBOX_LOWER_CASE);
  combobox_gadget_create(2, 10, 50, 150, 30, COMBOBOX_UPPER_CASE);
  combobox_gadget_create(3, 10, 90, 150, 30, COMBOBOX_LOWER_CASE | COMBOBOX_UPPER_CASE);
  gadget_add_item(1, -1, u"ÄBÇ Déf");
  gadget_add_item(2, -1, u"straße ÿ");
  gadget_add_item(3, -1, u"MiXeD");
  EXPECT_EQ(row_text(1, 0), "ÄbÇ déf");
  EXPECT_EQ(row_text(2, 0), "STRAßE ÿ");
  EXPECT_EQ(row_text(3, 0), "mixed");  // lower case wins for added texts
  set_text(1, "ÄBÇ DÉF");  // "ÄbÇ dÉf" matches no row
  EXPECT_EQ(text_of(1), "ÄbÇ dÉf");
  EXPECT_EQ(gadget_get_state(1), -1);
  set_text(1, "ÄBÇ déf");
  EXPECT_EQ(gadget_get_state(1), 0);

  char lower[256], upper[256], none[256];
  for (int i = 0; i < 256; ++i) lower[i] = upper[i] = none[i] = static_cast<char>(i);
  combobox_case_map(COMBOBOX_LOWER_CASE, lower, 256);
  combobox_case_map(COMBOBOX_UPPER_CASE, upper, 256);
  combobox_case_map(COMBOBOX_EDITABLE | COMBOBOX_PICTURES, none, 256);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(static_cast<unsigned char>(lower[i]), (i >= 'A' && i <= 'Z') ? i + 32 : i) << i;
    EXPECT_EQ(static_cast<unsigned char>(upper[i]), (i >= 'a' && i <= 'z') ? i - 32 : i) << i;
    EXPECT_EQ(static_cast<unsigned char>(none[i]), i) << i;
  }
}

TEST_F(Gadgets, ColoursTheirResetAndTheSelectionContrast) {
  text_gadget_create(1, 10, 10, 100, 20, u"label");
  GtkWidget* box = as_widget(record_of(1)->d);
  ASSERT_TRUE(GTK_IS_EVENT_BOX(box));
  const GdkRGBA theme = style_color(box, GTK_STATE_FLAG_NORMAL, "color");
  const struct { int32_t kind; const char* property; int r, g, b; } colours[] = {{COLOR_FRONT, "color", 70, 70, 70}, {COLOR_BACK, "background-color", 188, 216, 215}};
  for (const auto& c : colours) {
    EXPECT_EQ(get_color(1, c.kind), -1);
    gadget_set_color(1, c.kind, static_cast<int32_t>(color_rgb(c.r, c.g, c.b)));
  }
  gadget_set_color(1, 3, 0x00FF00);  // unknown kind: nothing changes
  EXPECT_TRUE(gtk_event_box_get_visible_window(GTK_EVENT_BOX(box)));
  for (const auto& c : colours) {
    EXPECT_EQ(get_color(1, c.kind), color_rgb(c.r, c.g, c.b));
    EXPECT_TRUE(is_rgb(style_color(box, GTK_STATE_FLAG_NORMAL, c.property), c.r, c.g, c.b));
    gadget_set_color(1, c.kind, -1);
    EXPECT_EQ(get_color(1, c.kind), -1);
  }
  EXPECT_FALSE(gtk_event_box_get_visible_window(GTK_EVENT_BOX(box)));
  const GdkRGBA restored = style_color(box, GTK_STATE_FLAG_NORMAL, "color");
  EXPECT_TRUE(gdk_rgba_equal(&restored, &theme));

  // The background sets the contrast colour for selections, on both of an Editor's widgets.
  struct Contrast { int r, g, b, cr, cg, cb; };
  for (const Contrast& c : {Contrast{128, 128, 128, 102, 102, 102}, Contrast{0, 0, 0, 255, 255, 255},
                            Contrast{255, 255, 255, 0, 0, 0}, Contrast{255, 0, 128, 0, 255, 102},
                            Contrast{51, 100, 140, 204, 155, 102}}) {
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b);
    const GadgetRgba contrast = gadget_contrast_color(static_cast<int32_t>(color_rgb(c.r, c.g, c.b)));
    EXPECT_TRUE(is_rgb(GdkRGBA{contrast.red, contrast.green, contrast.blue, 1}, c.cr, c.cg, c.cb));
  }
  editor_gadget_create(2, 10, 40, 100, 30);
  const GdkRGBA selected_theme = style_color(widget_of(2), GTK_STATE_FLAG_SELECTED, "background-color");
  gadget_set_color(2, COLOR_BACK, static_cast<int32_t>(color_rgb(128, 128, 128)));
  for (GtkWidget* w : {widget_of(2), outer_of(2)}) {
    EXPECT_TRUE(is_rgb(style_color(w, GTK_STATE_FLAG_SELECTED, "background-color"), 102, 102, 102));
    EXPECT_TRUE(is_rgb(style_color(w, GTK_STATE_FLAG_SELECTED, "color"), 128, 128, 128));
  }
  gadget_set_color(2, COLOR_BACK, -1);
  const GdkRGBA selected = style_color(widget_of(2), GTK_STATE_FLAG_SELECTED, "background-color");
  EXPECT_TRUE(gdk_rgba_equal(&selected, &selected_theme));

  // A text colour that the theme's field would swallow (light on white) brings its contrast
  // colour as the field's background and caret, until the field has a background of its
  // own or a readable text colour; r -1 stands for the theme's background.
  const GdkRGBA field = style_color(widget_of(2), GTK_STATE_FLAG_NORMAL, "background-color");
  struct Step { int32_t kind, color; int r, g, b; };
  for (const Step& s : {Step{COLOR_FRONT, 0xFFFFFF, 0, 0, 0}, Step{COLOR_FRONT, 0xF0F0F0, 15, 15, 15},
                        Step{COLOR_BACK, 0x0000FF, 255, 0, 0}, Step{COLOR_BACK, -1, 15, 15, 15},
                        Step{COLOR_FRONT, 0x000000, -1, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << s.kind << " " << std::hex << s.color);
    gadget_set_color(2, s.kind, s.color);
    const GdkRGBA back = style_color(widget_of(2), GTK_STATE_FLAG_NORMAL, "background-color");
    EXPECT_TRUE(s.r < 0 ? gdk_rgba_equal(&back, &field) : is_rgb(back, s.r, s.g, s.b));
  }
  gadget_set_color(2, COLOR_FRONT, 0xFFFFFF);
  EXPECT_TRUE(is_rgb(style_color(widget_of(2), GTK_STATE_FLAG_NORMAL, "caret-color"), 255, 255, 255));
}

TEST_F(Gadgets, ResizeKeepsWhatItIsAskedToKeep) {
  editor_gadget_create(1, 10, 20, 100, 30);
  GtkWidget* scroller = outer_of(1);
  auto position = [&] {
    gint x = 0, y = 0;
    gtk_container_child_get(GTK_CONTAINER(gtk_widget_get_parent(scroller)), scroller, "x", &x, "y", &y, nullptr);
    return std::pair<int, int>(x, y);
  };
  gadget_resize(1, KEEP_VALUE, KEEP_VALUE, 200, KEEP_VALUE);
  gadget_resize(1, 50, KEEP_VALUE, KEEP_VALUE, KEEP_VALUE);
  EXPECT_EQ(position(), std::make_pair(50, 20));
  EXPECT_EQ(gadget_width(1), 200);
  EXPECT_EQ(gadget_height(1), 30);  // the kept height is the field's own, not a scrollbar's minimum
  gadget_resize(1, KEEP_VALUE, 60, 0, -5);  // sizes below 1 are kept too
  EXPECT_EQ(position(), std::make_pair(50, 60));
  EXPECT_EQ(gadget_width(1), 200);
  gtk_widget_hide(scroller);
  gadget_resize(1, 5, 6, 120, 45);
  EXPECT_FALSE(gtk_widget_get_visible(scroller));
  EXPECT_EQ(position(), std::make_pair(5, 6));
  EXPECT_EQ(gadget_width(1), 120);
  EXPECT_EQ(gadget_height(1), 45);
}

TEST_F(Gadgets, DefaultFontAppliesToLaterGadgetsOfTheSameThread) {
  const int64_t sans10 = font_id(font_load_plain(ANY_NUMBER, u"Sans", 10));
  const int64_t sans8 = font_id(font_load_plain(ANY_NUMBER, u"Sans", 8));
  auto font_of = [](ObjectValue g) { return g_object_get_data(G_OBJECT(widget_of(g)), "kt_gadget_font"); };
  auto as_ptr = [](int64_t font) { return reinterpret_cast<void*>(static_cast<intptr_t>(font)); };
  button_gadget_create(1, 10, 10, 80, 30, u"before");
  gadget_set_font(ANY_NUMBER, sans10);
  calendar_gadget_create(2, 200, 10, 200, 160);
  EXPECT_EQ(font_of(1), nullptr);
  EXPECT_EQ(font_of(2), as_ptr(sans10));
  void* other_default = as_ptr(1);
  std::thread([&] { other_default = gadget_state()->default_font; }).join();
  EXPECT_EQ(other_default, nullptr);
  gadget_set_font(1, sans8);
  EXPECT_EQ(font_of(1), as_ptr(sans8));
  gadget_set_font(1, -1);
  EXPECT_EQ(font_of(1), nullptr);
  // A ComboBox carries its font on the entry as well.
  combobox_gadget_create(4, 10, 100, 100, 30, COMBOBOX_EDITABLE);
  gadget_set_font(4, sans8);
  EXPECT_EQ(g_object_get_data(G_OBJECT(as_widget(record_of(4)->b)), "kt_gadget_font"), as_ptr(sans8));
  font_free(ANY_NUMBER);
}

DateSeconds today_midnight() {
  const time_t now = time(nullptr);
  struct tm local{};
  localtime_r(&now, &local);
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  return timegm(&local);
}

TEST_F(Gadgets, CalendarDaysAndInvalidDateSelection) {
  const DateSeconds before = today_midnight();
  calendar_gadget_create(1, 10, 10, 220, 170, 0);
  const DateSeconds after = today_midnight();
  EXPECT_TRUE(gadget_get_state(1) == before || gadget_get_state(1) == after) << gadget_get_state(1);
  calendar_gadget_create(2, 240, 10, 220, 170, 951825600);  // 2000-02-29 12:00:00
  EXPECT_EQ(gadget_get_state(2), 951782400);                 // 2000-02-29 00:00:00
  EXPECT_TRUE(drain_events(true).empty());                   // creation posts nothing
  // Days outside the supported period read as invalid; setting one leaves the day alone.
  struct Day { int year, month, day; DateSeconds state; };
  for (const Day& d : {Day{1969, 11, 31, DATE_INVALID}, Day{2038, 0, 20, DATE_INVALID}, Day{2038, 0, 19, 2147472000}}) {
    gtk_calendar_select_month(GTK_CALENDAR(widget_of(2)), d.month, d.year);
    gtk_calendar_select_day(GTK_CALENDAR(widget_of(2)), d.day);
    EXPECT_EQ(gadget_get_state(2), d.state) << d.year << "-" << d.month + 1 << "-" << d.day;
  }
  ops(2).set_state(record_of(2), DATE_INVALID);
  EXPECT_EQ(gadget_get_state(2), 2147472000);
  ops(2).set_state(record_of(2), 86400 * 40);
  EXPECT_EQ(gadget_get_state(2), 86400 * 40);
}

}  // namespace

// The five gadget types through their slots and the common operations: widget
// trees and flags, Editor lines, ComboBox items and case filters, Button states
// and Calendar dates.
#include <ctime>

#include "runtime/date/date.h"
#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/text_gadget.h"
#include "tests/gadgets/gadget_test_support.h"

namespace {

using namespace zvd_test;

const GadgetOps& ops(ObjectValue g) { return *record_of(g)->ops; }

std::u16string item_text(ObjectValue g, int32_t n, int32_t column = 0) {
  const int64_t mark = ustr_stack_top();
  ops(g).get_item_text(record_of(g), n, column, mark);
  std::u16string text(ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  return text;
}

float xalign(GtkWidget* widget) {
  gfloat x = -1, y = -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gtk_misc_get_alignment(GTK_MISC(widget), &x, &y);
#pragma GCC diagnostic pop
  return x;
}

std::string store_text(ObjectValue g, int row) {
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget_of(g)));
  GtkTreeIter iter;
  if (!gtk_tree_model_iter_nth_child(model, &iter, nullptr, row)) return "<none>";
  gchar* text = nullptr;
  gtk_tree_model_get(model, &iter, 1, &text, -1);
  std::string result = text ? text : "<null>";
  g_free(text);
  return result;
}

class GadgetTypes : public GadgetWindowTest {};

// --- Text --------------------------------------------------------------------------

TEST_F(GadgetTypes, TextAlignmentAndBorderFlags) {
  struct Case {
    int32_t flags;
    float xalign;
  };
  int32_t number = 0;
  for (const Case& c : {Case{0, 0.0f}, Case{TEXT_RIGHT, 1.0f}, Case{TEXT_CENTER, 0.5f},
                        Case{TEXT_RIGHT | TEXT_CENTER, 1.0f}, Case{8, 0.0f}}) {
    SCOPED_TRACE(c.flags);
    text_gadget_create(number, 10, 10 + 30 * number, 100, 25, u"caption", c.flags);
    EXPECT_FLOAT_EQ(xalign(widget_of(number)), c.xalign);
    EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(widget_of(number))));
    EXPECT_TRUE(GTK_IS_EVENT_BOX(gtk_widget_get_parent(widget_of(number))));
    ++number;
  }
  text_gadget_create(9, 200, 10, 120, 40, u"framed", TEXT_BORDER);
  GtkWidget* frame = gtk_widget_get_parent(widget_of(9));
  ASSERT_TRUE(GTK_IS_FRAME(frame));
  EXPECT_EQ(gtk_frame_get_shadow_type(GTK_FRAME(frame)), GTK_SHADOW_IN);
  EXPECT_EQ(gtk_widget_get_parent(gtk_widget_get_parent(frame)), outer_of(9));
  EXPECT_EQ(gadget_width(9), 120);
  EXPECT_EQ(gadget_height(9), 40);
}

TEST_F(GadgetTypes, LongTextWrapsInsideTheRequestedWidth) {
  text_gadget_create(1, 10, 10, 100, 25, u"a rather long caption that cannot fit on one line of a hundred pixels");
  GtkWidget* box = outer_of(1);
  ASSERT_TRUE(pump_until([&] { return widget_ready(widget_of(1)); }));
  settle();
  EXPECT_EQ(gtk_widget_get_allocated_width(box), 100);
  EXPECT_LE(gtk_widget_get_allocated_width(widget_of(1)), 100);
  EXPECT_GT(gtk_widget_get_allocated_height(widget_of(1)), 25);
}

// --- Editor ----------------------------------------------------------------------

TEST_F(GadgetTypes, EditorAppendsLinesAndJoinsThemWithNewlines) {
  editor_gadget_create(1, 10, 10, 200, 100);
  EXPECT_EQ(ops(1).count_items(record_of(1)), 0);
  EXPECT_EQ(gadget_add_item(1, -1, u"year"), 0);
  EXPECT_EQ(text_of(1), u"year");
  EXPECT_EQ(ops(1).count_items(record_of(1)), 1);
  gadget_add_item(1, -1, u"month");
  EXPECT_EQ(text_of(1), u"year\nmonth");
  gadget_add_item(1, -1, nullptr);
  gadget_add_item(1, -1, u"day");
  EXPECT_EQ(text_of(1), u"year\nmonth\n\nday");
  EXPECT_EQ(ops(1).count_items(record_of(1)), 4);
  EXPECT_EQ(item_text(1, 0), u"year");
  EXPECT_EQ(item_text(1, 2), u"");
  EXPECT_EQ(item_text(1, 3), u"day");
  EXPECT_EQ(item_text(1, 4), u"");
  EXPECT_EQ(item_text(1, -1), u"");
}

TEST_F(GadgetTypes, EditorInsertsBeforeALineOrAppendsAtTheLast) {
  editor_gadget_create(1, 10, 10, 200, 100);
  gadget_add_item(1, 0, u"only");
  gadget_add_item(1, 0, u"first");  // one line: position 0 goes before it
  EXPECT_EQ(text_of(1), u"first\nonly");
  gadget_set_text(1, u"a\nb\nc");
  gadget_add_item(1, 1, u"x");
  EXPECT_EQ(text_of(1), u"a\nx\nb\nc");
  gadget_add_item(1, 3, u"last");  // the index of the last line appends
  EXPECT_EQ(text_of(1), u"a\nx\nb\nc\nlast");
  gadget_add_item(1, 99, u"end");
  gadget_add_item(1, -7, u"end2");
  EXPECT_EQ(text_of(1), u"a\nx\nb\nc\nlast\nend\nend2");
}

TEST_F(GadgetTypes, EditorRemovesAndReplacesLines) {
  editor_gadget_create(1, 10, 10, 200, 100);
  GadgetRecord* r = record_of(1);
  gadget_set_text(1, u"one\ntwo\nthree");
  ops(1).remove_item(r, 3);
  ops(1).remove_item(r, -1);
  EXPECT_EQ(text_of(1), u"one\ntwo\nthree");
  ops(1).remove_item(r, 2);  // the last line takes the break before it along
  EXPECT_EQ(text_of(1), u"one\ntwo");
  ops(1).remove_item(r, 0);
  EXPECT_EQ(text_of(1), u"two");
  ops(1).set_item_text(r, 0, "zwei", 0);
  ops(1).set_item_text(r, 5, "nothing", 0);
  EXPECT_EQ(text_of(1), u"zwei");
  gadget_set_text(1, u"a\nbb\nc");
  ops(1).set_item_text(r, 1, "Ünï", 0);
  EXPECT_EQ(text_of(1), u"a\nÜnï\nc");
  ops(1).remove_item(r, 0);
  ops(1).remove_item(r, 0);
  ops(1).remove_item(r, 0);
  EXPECT_EQ(text_of(1), u"");
  EXPECT_EQ(ops(1).count_items(r), 0);
  gadget_set_text(1, u"x\ny");
  ops(1).clear_items(r);
  EXPECT_EQ(text_of(1), u"");
}

TEST_F(GadgetTypes, EditorFlagsAndAttributes) {
  editor_gadget_create(1, 10, 10, 100, 30);
  editor_gadget_create(2, 10, 50, 100, 30, EDITOR_READ_ONLY | EDITOR_WORD_WRAP);
  GtkTextView* plain = GTK_TEXT_VIEW(widget_of(1));
  GtkTextView* both = GTK_TEXT_VIEW(widget_of(2));
  EXPECT_TRUE(gtk_text_view_get_editable(plain));
  EXPECT_EQ(gtk_text_view_get_wrap_mode(plain), GTK_WRAP_NONE);
  EXPECT_FALSE(gtk_text_view_get_editable(both));
  EXPECT_EQ(gtk_text_view_get_wrap_mode(both), GTK_WRAP_WORD);
  EXPECT_EQ(ops(2).get_attribute(record_of(2), EDITOR_ATTRIBUTE_READ_ONLY), 1);
  EXPECT_EQ(ops(2).get_attribute(record_of(2), EDITOR_ATTRIBUTE_WORD_WRAP), 1);
  EXPECT_EQ(ops(2).get_attribute(record_of(2), 7), 0);
  ops(2).set_attribute(record_of(2), EDITOR_ATTRIBUTE_READ_ONLY, 0);
  ops(2).set_attribute(record_of(2), EDITOR_ATTRIBUTE_WORD_WRAP, 0);
  EXPECT_TRUE(gtk_text_view_get_editable(both));
  EXPECT_EQ(gtk_text_view_get_wrap_mode(both), GTK_WRAP_NONE);
}

// --- ComboBox --------------------------------------------------------------------

TEST_F(GadgetTypes, ComboBoxItemsAndTextSelection) {
  combobox_gadget_create(1, 10, 10, 100, 30, COMBOBOX_EDITABLE);
  for (int i = 1; i <= 31; ++i) {
    const std::u16string text = [&] {
      std::u16string s;
      for (char c : std::to_string(i)) s += static_cast<char16_t>(c);
      return s;
    }();
    EXPECT_EQ(gadget_add_item(1, -1, text.c_str()), 1);
  }
  EXPECT_EQ(ops(1).count_items(record_of(1)), 31);
  for (int row = 0; row < 31; ++row) EXPECT_EQ(store_text(1, row), std::to_string(row + 1));
  EXPECT_EQ(item_text(1, 30), u"31");
  EXPECT_EQ(item_text(1, 31), u"");
  EXPECT_EQ(item_text(1, 0, 1), u"");
  EXPECT_EQ(item_text(1, 0, -1), u"");
  EXPECT_EQ(gadget_get_state(1), -1);

  gadget_set_text(1, u"12");
  EXPECT_EQ(gadget_get_state(1), 11);
  EXPECT_EQ(text_of(1), u"12");
  gadget_set_text(1, u"01");
  EXPECT_EQ(text_of(1), u"01");
  EXPECT_EQ(gadget_get_state(1), -1);
}

TEST_F(GadgetTypes, ComboBoxWithoutEntry) {
  combobox_gadget_create(1, 10, 10, 100, 30);
  EXPECT_EQ(record_of(1)->b, 0);
  for (const char16_t* t : {u"red", u"green", u"blue"}) gadget_add_item(1, -1, t);
  gadget_add_item(1, 1, u"yellow");
  EXPECT_EQ(store_text(1, 1), "yellow");
  EXPECT_EQ(store_text(1, 2), "green");
  gadget_set_text(1, u"blue");
  EXPECT_EQ(gadget_get_state(1), 3);
  EXPECT_EQ(text_of(1), u"blue");
  gadget_set_text(1, u"purple");
  EXPECT_EQ(gadget_get_state(1), -1);
  EXPECT_EQ(text_of(1), u"");
  ops(1).set_state(record_of(1), 0);
  EXPECT_EQ(text_of(1), u"red");
  ops(1).remove_item(record_of(1), 0);
  ops(1).remove_item(record_of(1), 10);
  EXPECT_EQ(ops(1).count_items(record_of(1)), 3);
  ops(1).set_item_text(record_of(1), 0, "gold", 0);
  ops(1).set_item_text(record_of(1), 0, "ignored", 1);
  EXPECT_EQ(store_text(1, 0), "gold");
  int marker = 0;
  ops(1).set_item_data(record_of(1), 2, &marker);
  EXPECT_EQ(ops(1).get_item_data(record_of(1), 2), &marker);
  EXPECT_EQ(ops(1).get_item_data(record_of(1), 0), nullptr);
  EXPECT_EQ(ops(1).get_item_data(record_of(1), 9), nullptr);
  ops(1).clear_items(record_of(1));
  EXPECT_EQ(ops(1).count_items(record_of(1)), 0);
}

TEST_F(GadgetTypes, ComboBoxCaseFlagsMapOnlyAsciiLetters) {
  combobox_gadget_create(1, 10, 10, 150, 30, COMBOBOX_EDITABLE | COMBOBOX_LOWER_CASE);
  combobox_gadget_create(2, 10, 50, 150, 30, COMBOBOX_UPPER_CASE);
  combobox_gadget_create(3, 10, 90, 150, 30, COMBOBOX_LOWER_CASE | COMBOBOX_UPPER_CASE);
  gadget_add_item(1, -1, u"X");
  gadget_add_item(1, -1, u"ÄBÇ Déf");
  gadget_add_item(2, -1, u"straße ÿ");
  gadget_add_item(3, -1, u"MiXeD");
  EXPECT_EQ(store_text(1, 0), "x");
  EXPECT_EQ(store_text(1, 1), "ÄbÇ déf");
  EXPECT_EQ(store_text(2, 0), "STRAßE ÿ");
  EXPECT_EQ(store_text(3, 0), "mixed");  // lower case wins for added texts
  gadget_set_text(1, u"ÄBÇ DÉF");  // "ÄbÇ dÉf" matches no row
  EXPECT_EQ(text_of(1), u"ÄbÇ dÉf");
  gadget_set_text(1, u"äbÇ déF");
  EXPECT_EQ(gadget_get_state(1), -1);
  gadget_set_text(1, u"ÄBÇ déf");
  EXPECT_EQ(gadget_get_state(1), 1);
  ops(1).set_item_text(record_of(1), 0, "NEW", 0);
  EXPECT_EQ(store_text(1, 0), "new");
}

TEST(ComboBoxCaseMap, EveryByteAboveAsciiPassesUnchanged) {
  char lower[256], upper[256], none[256];
  for (int i = 0; i < 256; ++i) lower[i] = upper[i] = none[i] = static_cast<char>(i);
  combobox_case_map(COMBOBOX_LOWER_CASE, lower, 256);
  combobox_case_map(COMBOBOX_UPPER_CASE, upper, 256);
  combobox_case_map(COMBOBOX_EDITABLE | COMBOBOX_PICTURES, none, 256);
  for (int i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    const int expect_lower = (i >= 'A' && i <= 'Z') ? i + 32 : i;
    const int expect_upper = (i >= 'a' && i <= 'z') ? i - 32 : i;
    EXPECT_EQ(static_cast<unsigned char>(lower[i]), expect_lower);
    EXPECT_EQ(static_cast<unsigned char>(upper[i]), expect_upper);
    EXPECT_EQ(static_cast<unsigned char>(none[i]), i);
  }
}

TEST_F(GadgetTypes, ComboBoxPicturesOnlyWithThePictureFlag) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 4, 4);
  combobox_gadget_create(1, 10, 10, 100, 30);
  combobox_gadget_create(2, 10, 50, 100, 30, COMBOBOX_PICTURES);
  gadget_add_item(1, -1, u"a", pixbuf);
  gadget_add_item(2, -1, u"a", pixbuf);
  gadget_add_item(2, -1, u"b");
  auto picture = [](ObjectValue g, int row) {
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget_of(g)));
    GtkTreeIter iter;
    gtk_tree_model_iter_nth_child(model, &iter, nullptr, row);
    GdkPixbuf* p = nullptr;
    gtk_tree_model_get(model, &iter, 2, &p, -1);
    if (p) g_object_unref(p);
    return p;
  };
  EXPECT_EQ(picture(1, 0), nullptr);
  EXPECT_EQ(picture(2, 0), pixbuf);
  EXPECT_EQ(picture(2, 1), nullptr);
  ops(2).set_item_image(record_of(2), 1, pixbuf);
  ops(1).set_item_image(record_of(1), 0, pixbuf);
  EXPECT_EQ(picture(2, 1), pixbuf);
  EXPECT_EQ(picture(1, 0), nullptr);
  g_object_unref(pixbuf);
}

TEST_F(GadgetTypes, ComboBoxEntryCarriesTheGadgetAndTakesFocus) {
  const int64_t handle = combobox_gadget_create(ANY_NUMBER, 10, 10, 100, 30, COMBOBOX_EDITABLE);
  GtkWidget* entry = GTK_WIDGET(reinterpret_cast<void*>(static_cast<intptr_t>(record_of(handle)->b)));
  ASSERT_TRUE(GTK_IS_ENTRY(entry));
  EXPECT_EQ(entry, gtk_bin_get_child(GTK_BIN(widget_of(handle))));
  EXPECT_EQ(gadget_data_value(g_object_get_data(G_OBJECT(entry), "kt_id")), handle + 1);
  ops(handle).activate(record_of(handle));
  EXPECT_TRUE(gtk_widget_is_focus(entry));
}

// --- Button ------------------------------------------------------------------------

TEST_F(GadgetTypes, ButtonTextFlagsAndToggleState) {
  button_gadget_create(0, 10, 10, 100, 40, u"push", 8);
  button_gadget_create(1, 10, 60, 100, 40, u"right", BUTTON_RIGHT | BUTTON_LEFT | BUTTON_WRAP);
  button_gadget_create(2, 10, 110, 100, 40, u"left", BUTTON_LEFT);
  button_gadget_create(3, 10, 160, 100, 40, u"toggle", BUTTON_TOGGLE);
  EXPECT_EQ(text_of(0), u"push");
  EXPECT_FALSE(GTK_IS_TOGGLE_BUTTON(widget_of(0)));
  GtkWidget* plain_label = gtk_bin_get_child(GTK_BIN(widget_of(0)));
  EXPECT_FLOAT_EQ(xalign(plain_label), 0.5f);
  EXPECT_FALSE(gtk_label_get_line_wrap(GTK_LABEL(plain_label)));
  EXPECT_FLOAT_EQ(xalign(gtk_bin_get_child(GTK_BIN(widget_of(1)))), 1.0f);
  EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(gtk_bin_get_child(GTK_BIN(widget_of(1))))));
  EXPECT_FLOAT_EQ(xalign(gtk_bin_get_child(GTK_BIN(widget_of(2)))), 0.0f);

  gadget_set_text(0, u"pushed ✓");
  EXPECT_EQ(text_of(0), u"pushed ✓");
  ops(0).set_state(record_of(0), 1);
  EXPECT_EQ(gadget_get_state(0), 0);
  EXPECT_EQ(gadget_get_state(3), 0);
  ops(3).set_state(record_of(3), 1);
  EXPECT_EQ(gadget_get_state(3), 1);
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget_of(3))));
  ops(3).set_state(record_of(3), 0);
  EXPECT_EQ(gadget_get_state(3), 0);
}

// --- Calendar ----------------------------------------------------------------------

DateSeconds today_midnight() {
  const time_t now = time(nullptr);
  struct tm local{};
  localtime_r(&now, &local);
  struct tm midnight{};
  midnight.tm_year = local.tm_year;
  midnight.tm_mon = local.tm_mon;
  midnight.tm_mday = local.tm_mday;
  return timegm(&midnight);
}

TEST_F(GadgetTypes, CalendarStartsOnTodayOrOnTheGivenDay) {
  const DateSeconds before = today_midnight();
  calendar_gadget_create(1, 10, 10, 220, 170);
  calendar_gadget_create(2, 240, 10, 220, 170, 0);
  const DateSeconds after = today_midnight();
  for (ObjectValue g : {1, 2}) {
    const int64_t state = gadget_get_state(g);
    EXPECT_TRUE(state == before || state == after) << state;
    EXPECT_EQ(state % 86400, 0);
  }
  const DateSeconds leap_noon = 951825600;  // 2000-02-29 12:00:00
  calendar_gadget_create(3, 10, 200, 220, 170, leap_noon);
  EXPECT_EQ(gadget_get_state(3), 951782400);  // 2000-02-29 00:00:00
  guint year = 0, month = 0, day = 0;
  gtk_calendar_get_date(GTK_CALENDAR(widget_of(3)), &year, &month, &day);
  EXPECT_EQ(year, 2000u);
  EXPECT_EQ(month, 1u);
  EXPECT_EQ(day, 29u);
  EXPECT_TRUE(gadget_events(drain_events()).empty());  // creation posts nothing
}

TEST_F(GadgetTypes, CalendarStateOutsideTheSupportedPeriod) {
  calendar_gadget_create(1, 10, 10, 220, 170, 951825600);
  GtkCalendar* calendar = GTK_CALENDAR(widget_of(1));
  gtk_calendar_select_month(calendar, 11, 1969);
  gtk_calendar_select_day(calendar, 31);
  EXPECT_EQ(gadget_get_state(1), DATE_INVALID);
  gtk_calendar_select_month(calendar, 0, 2038);
  gtk_calendar_select_day(calendar, 20);
  EXPECT_EQ(gadget_get_state(1), DATE_INVALID);
  gtk_calendar_select_day(calendar, 19);
  EXPECT_EQ(gadget_get_state(1), 2147472000);  // 2038-01-19 00:00:00

  // A value that names no day in the period leaves the selection alone.
  ops(1).set_state(record_of(1), DATE_INVALID);
  EXPECT_EQ(gadget_get_state(1), 2147472000);
  ops(1).set_state(record_of(1), 86400 * 40);  // 1970-02-10
  EXPECT_EQ(gadget_get_state(1), 86400 * 40);
  drain_events();
}

}  // namespace

// The gadget core through the common operations: creation results, lifetime in
// the registry, colours, sizes and fonts.
#include <thread>

#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/text_gadget.h"
#include "tests/gadgets/gadget_test_support.h"

namespace {

using namespace zvd_test;

int live_gadgets() {
  int count = 0;
  ObjectValue value = 0;
  obj_enum_begin(gadget_registry());
  while (obj_enum_next(gadget_registry(), &value)) ++count;
  return count;
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

void expect_rgb(const GdkRGBA& c, double red, double green, double blue) {
  EXPECT_NEAR(c.red, red, 1e-6);
  EXPECT_NEAR(c.green, green, 1e-6);
  EXPECT_NEAR(c.blue, blue, 1e-6);
}

int32_t get_color(ObjectValue gadget, int32_t kind) {
  GadgetRecord* record = record_of(gadget);
  return record->ops->get_color(record, kind);
}

class GadgetCore : public GadgetWindowTest {};

TEST_F(GadgetCore, CreationReturnsTheHandleOrTheWidgetAddress) {
  const int64_t handle = text_gadget_create(ANY_NUMBER, 10, 10, 100, 20, u"by handle");
  ASSERT_NE(handle, 0);
  ASSERT_NE(record_of(handle), nullptr);
  EXPECT_EQ(reinterpret_cast<intptr_t>(record_of(handle)), handle);
  EXPECT_EQ(text_of(handle), u"by handle");

  const int64_t widget = text_gadget_create(3, 10, 40, 100, 20, u"by number");
  EXPECT_EQ(widget, reinterpret_cast<intptr_t>(widget_of(3)));
  EXPECT_EQ(text_of(3), u"by number");
  EXPECT_EQ(gadget_data_value(g_object_get_data(G_OBJECT(widget_of(3)), "kt_id")), 4);
  EXPECT_EQ(gadget_window_of(widget_of(3)), window_);
}

TEST_F(GadgetCore, RecreatingUnderALiveNumberDestroysTheOldWidgets) {
  ASSERT_NE(editor_gadget_create(5, 10, 10, 100, 30), 0);
  GtkWidget* old_view = widget_of(5);
  GtkWidget* old_scroller = outer_of(5);
  g_object_add_weak_pointer(G_OBJECT(old_view), reinterpret_cast<gpointer*>(&old_view));
  g_object_add_weak_pointer(G_OBJECT(old_scroller), reinterpret_cast<gpointer*>(&old_scroller));
  GadgetRecord* old_record = record_of(5);

  ASSERT_NE(button_gadget_create(5, 10, 10, 80, 30, u"new"), 0);
  EXPECT_EQ(old_view, nullptr);
  EXPECT_EQ(old_scroller, nullptr);
  ASSERT_EQ(record_of(5), old_record);  // the numbered record is reused
  EXPECT_EQ(record_of(5)->ops->type, GADGET_BUTTON);
  EXPECT_EQ(record_of(5)->outer, nullptr);
  EXPECT_EQ(text_of(5), u"new");
  EXPECT_EQ(live_gadgets(), 1);
}

TEST_F(GadgetCore, FreeReleasesOneOrEveryGadget) {
  combobox_gadget_create(7, 10, 10, 100, 30, COMBOBOX_EDITABLE);
  const int64_t handle = editor_gadget_create(ANY_NUMBER, 10, 50, 100, 30);
  calendar_gadget_create(ANY_NUMBER, 200, 10, 200, 160);
  ASSERT_EQ(live_gadgets(), 3);
  gadget_free(7);
  EXPECT_EQ(record_of(7), nullptr);
  EXPECT_EQ(live_gadgets(), 2);
  gadget_free(7);  // no longer live: nothing happens
  gadget_set_text(handle, u"still here");
  EXPECT_EQ(text_of(handle), u"still here");
  gadget_free(ANY_NUMBER);
  EXPECT_EQ(live_gadgets(), 0);
}

TEST_F(GadgetCore, ClosingTheWindowReleasesEveryRecord) {
  text_gadget_create(0, 10, 10, 100, 20, u"t");
  editor_gadget_create(1, 10, 40, 100, 30);
  combobox_gadget_create(ANY_NUMBER, 10, 80, 100, 30, COMBOBOX_EDITABLE);
  combobox_gadget_create(ANY_NUMBER, 10, 120, 100, 30);
  button_gadget_create(ANY_NUMBER, 10, 160, 100, 30, u"b", BUTTON_TOGGLE);
  calendar_gadget_create(2, 200, 10, 200, 160);
  ASSERT_EQ(live_gadgets(), 6);
  win_close(window_);
  window_ = 0;
  EXPECT_EQ(live_gadgets(), 0);
  EXPECT_EQ(record_of(0), nullptr);
  EXPECT_EQ(record_of(1), nullptr);
  EXPECT_EQ(record_of(2), nullptr);
  // With no window open there is nowhere to put a gadget.
  EXPECT_EQ(text_gadget_create(0, 0, 0, 10, 10, u"x"), 0);
  EXPECT_EQ(live_gadgets(), 0);
}

TEST_F(GadgetCore, OperationsOnMissingGadgetsDoNothing) {
  EXPECT_EQ(gadget_get_state(42), 0);
  EXPECT_EQ(text_of(42), u"");
  EXPECT_EQ(gadget_add_item(42, -1, u"x"), 0);
  EXPECT_EQ(gadget_width(42), 0);
  EXPECT_EQ(gadget_height(42), 0);
  gadget_set_text(42, u"x");
  gadget_set_color(42, COLOR_FRONT, 0);
  gadget_set_font(42, 0);
  gadget_resize(42, 1, 1, 10, 10);
  gadget_free(42);
  EXPECT_EQ(live_gadgets(), 0);
  // A slot the type does not fill: a Button has no colours and no items.
  button_gadget_create(1, 10, 10, 80, 30, u"b");
  gadget_set_color(1, COLOR_FRONT, 0xFF);
  EXPECT_EQ(gadget_add_item(1, -1, u"x"), 0);
  EXPECT_EQ(text_of(1), u"b");
}

TEST_F(GadgetCore, SetTextWithNullSetsTheEmptyString) {
  text_gadget_create(1, 10, 10, 100, 20, u"before");
  editor_gadget_create(2, 10, 40, 100, 30);
  gadget_set_text(2, u"before");
  gadget_set_text(1, nullptr);
  gadget_set_text(2, nullptr);
  EXPECT_EQ(text_of(1), u"");
  EXPECT_EQ(text_of(2), u"");
  gadget_set_text(1, u"Ünïcödé ✓");
  EXPECT_EQ(text_of(1), u"Ünïcödé ✓");
}

TEST_F(GadgetCore, TextGadgetColoursAndTheirReset) {
  text_gadget_create(1, 10, 10, 100, 20, u"label");
  GtkWidget* event_box = GTK_WIDGET(reinterpret_cast<void*>(static_cast<intptr_t>(record_of(1)->d)));
  ASSERT_TRUE(GTK_IS_EVENT_BOX(event_box));
  const GdkRGBA theme_color = style_color(event_box, GTK_STATE_FLAG_NORMAL, "color");
  EXPECT_EQ(get_color(1, COLOR_FRONT), -1);
  EXPECT_EQ(get_color(1, COLOR_BACK), -1);
  EXPECT_FALSE(gtk_event_box_get_visible_window(GTK_EVENT_BOX(event_box)));

  gadget_set_color(1, COLOR_FRONT, static_cast<int32_t>(color_rgb(70, 70, 70)));
  gadget_set_color(1, COLOR_BACK, static_cast<int32_t>(color_rgb(188, 216, 215)));
  EXPECT_EQ(get_color(1, COLOR_FRONT), color_rgb(70, 70, 70));
  EXPECT_EQ(get_color(1, COLOR_BACK), color_rgb(188, 216, 215));
  EXPECT_EQ(get_color(1, 3), -1);
  EXPECT_TRUE(gtk_event_box_get_visible_window(GTK_EVENT_BOX(event_box)));
  expect_rgb(style_color(event_box, GTK_STATE_FLAG_NORMAL, "color"), 70 / 255.0, 70 / 255.0, 70 / 255.0);
  expect_rgb(style_color(event_box, GTK_STATE_FLAG_NORMAL, "background-color"), 188 / 255.0, 216 / 255.0,
             215 / 255.0);
  expect_rgb(style_color(outer_of(1), GTK_STATE_FLAG_NORMAL, "background-color"), 188 / 255.0, 216 / 255.0,
             215 / 255.0);

  gadget_set_color(1, 3, 0x00FF00);  // unknown kind: nothing changes
  EXPECT_EQ(get_color(1, COLOR_FRONT), color_rgb(70, 70, 70));

  gadget_set_color(1, COLOR_FRONT, -1);
  gadget_set_color(1, COLOR_BACK, -1);
  EXPECT_EQ(get_color(1, COLOR_FRONT), -1);
  EXPECT_EQ(get_color(1, COLOR_BACK), -1);
  EXPECT_FALSE(gtk_event_box_get_visible_window(GTK_EVENT_BOX(event_box)));
  const GdkRGBA restored = style_color(event_box, GTK_STATE_FLAG_NORMAL, "color");
  EXPECT_TRUE(gdk_rgba_equal(&restored, &theme_color));
}

TEST_F(GadgetCore, EditorBackgroundSetsTheContrastForSelections) {
  editor_gadget_create(1, 10, 10, 100, 30);
  const GdkRGBA theme_selected = style_color(widget_of(1), GTK_STATE_FLAG_SELECTED, "background-color");
  gadget_set_color(1, COLOR_BACK, static_cast<int32_t>(color_rgb(128, 128, 128)));
  EXPECT_EQ(get_color(1, COLOR_BACK), color_rgb(128, 128, 128));
  for (GtkWidget* w : {widget_of(1), outer_of(1)}) {
    expect_rgb(style_color(w, GTK_STATE_FLAG_NORMAL, "background-color"), 128 / 255.0, 128 / 255.0, 128 / 255.0);
    expect_rgb(style_color(w, GTK_STATE_FLAG_SELECTED, "background-color"), 0.4, 0.4, 0.4);
    expect_rgb(style_color(w, GTK_STATE_FLAG_SELECTED, "color"), 128 / 255.0, 128 / 255.0, 128 / 255.0);
  }
  gadget_set_color(1, COLOR_BACK, -1);
  EXPECT_EQ(get_color(1, COLOR_BACK), -1);
  const GdkRGBA selected = style_color(widget_of(1), GTK_STATE_FLAG_SELECTED, "background-color");
  EXPECT_TRUE(gdk_rgba_equal(&selected, &theme_selected));
}

TEST(GadgetColor, UnpackAndContrast) {
  const GadgetRgba unpacked = gadget_unpack_color(static_cast<int32_t>(color_rgb(255, 0, 128)));
  EXPECT_DOUBLE_EQ(unpacked.red, 1.0);
  EXPECT_DOUBLE_EQ(unpacked.green, 0.0);
  EXPECT_DOUBLE_EQ(unpacked.blue, 128 / 255.0);
  EXPECT_DOUBLE_EQ(unpacked.alpha, 1.0);

  struct Case {
    int r, g, b;
    double cr, cg, cb;
  };
  for (const Case& c : {Case{128, 128, 128, 0.4, 0.4, 0.4}, Case{0, 0, 0, 1, 1, 1}, Case{255, 255, 255, 0, 0, 0},
                        Case{255, 0, 128, 0, 1, 0.4}, Case{51, 100, 140, 0.8, 1 - 100 / 255.0, 0.4}}) {
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b);
    const GadgetRgba contrast = gadget_contrast_color(static_cast<int32_t>(color_rgb(c.r, c.g, c.b)));
    EXPECT_NEAR(contrast.red, c.cr, 1e-9);
    EXPECT_NEAR(contrast.green, c.cg, 1e-9);
    EXPECT_NEAR(contrast.blue, c.cb, 1e-9);
    EXPECT_DOUBLE_EQ(contrast.alpha, 1.0);
  }
}

TEST_F(GadgetCore, ResizeKeepsWhatItIsAskedToKeep) {
  editor_gadget_create(1, 10, 20, 100, 30);
  GtkWidget* scroller = outer_of(1);
  GtkWidget* layout = gtk_widget_get_parent(scroller);
  auto position = [&] {
    gint x = 0, y = 0;
    gtk_container_child_get(GTK_CONTAINER(layout), scroller, "x", &x, "y", &y, nullptr);
    return std::pair<int, int>(x, y);
  };
  GtkRequisition minimum;
  gtk_widget_get_preferred_size(scroller, &minimum, nullptr);

  gadget_resize(1, KEEP_VALUE, KEEP_VALUE, 200, KEEP_VALUE);
  EXPECT_EQ(gadget_width(1), 200);
  EXPECT_EQ(gadget_height(1), minimum.height);
  EXPECT_EQ(position(), std::make_pair(10, 20));

  gadget_resize(1, 50, KEEP_VALUE, KEEP_VALUE, KEEP_VALUE);
  EXPECT_EQ(position(), std::make_pair(50, 20));
  EXPECT_EQ(gadget_width(1), 200);

  gadget_resize(1, KEEP_VALUE, 60, 0, 40);
  gadget_resize(1, KEEP_VALUE, KEEP_VALUE, 120, -5);
  EXPECT_EQ(position(), std::make_pair(50, 60));
  EXPECT_EQ(gadget_width(1), 200);
  EXPECT_EQ(gadget_height(1), minimum.height);

  gtk_widget_hide(scroller);
  gadget_resize(1, 5, 6, 120, 45);
  EXPECT_FALSE(gtk_widget_get_visible(scroller));
  EXPECT_EQ(position(), std::make_pair(5, 6));
  EXPECT_EQ(gadget_width(1), 120);
  EXPECT_EQ(gadget_height(1), 45);
}

TEST_F(GadgetCore, SizeOfAGadgetWhoseRequestIsOnThePrimaryWidget) {
  combobox_gadget_create(1, 10, 10, 90, 28, COMBOBOX_EDITABLE);
  EXPECT_EQ(gadget_width(1), 90);
  EXPECT_EQ(gadget_height(1), 28);
  text_gadget_create(2, 10, 50, 70, 22, u"t");
  EXPECT_EQ(gadget_width(2), 70);
  EXPECT_EQ(gadget_height(2), 22);
}

TEST_F(GadgetCore, DefaultFontAppliesToLaterGadgetsOfTheSameThread) {
  ASSERT_NE(font_load_plain(0, u"Sans", 10), 0);
  ASSERT_NE(font_load_plain(1, u"Sans", 8), 0);
  const int64_t sans10 = font_id(0);
  const int64_t sans8 = font_id(1);
  auto font_of = [](ObjectValue g) { return g_object_get_data(G_OBJECT(widget_of(g)), "kt_gadget_font"); };
  auto as_ptr = [](int64_t font) { return reinterpret_cast<void*>(static_cast<intptr_t>(font)); };

  button_gadget_create(1, 10, 10, 80, 30, u"before");
  gadget_set_font(ANY_NUMBER, sans10);
  button_gadget_create(2, 10, 50, 80, 30, u"after");
  calendar_gadget_create(3, 200, 10, 200, 160);
  EXPECT_EQ(font_of(1), nullptr);
  EXPECT_EQ(font_of(2), as_ptr(sans10));
  EXPECT_EQ(font_of(3), as_ptr(sans10));

  // Another thread has a default font of its own.
  void* other_default = as_ptr(1);
  std::thread([&] { other_default = gadget_state()->default_font; }).join();
  EXPECT_EQ(other_default, nullptr);

  gadget_set_font(1, sans8);
  EXPECT_EQ(font_of(1), as_ptr(sans8));
  GadgetRecord* record = record_of(1);
  EXPECT_EQ(record->ops->get_font(record), as_ptr(sans8));
  gadget_set_font(1, -1);
  EXPECT_EQ(font_of(1), nullptr);
  EXPECT_NE(record->ops->get_font(record), nullptr);  // falls back to the style's font

  // A ComboBox carries its font on the combo box, the text cells and the entry.
  combobox_gadget_create(4, 10, 100, 100, 30, COMBOBOX_EDITABLE);
  gadget_set_font(4, sans8);
  GadgetRecord* combo = record_of(4);
  EXPECT_EQ(font_of(4), as_ptr(sans8));
  EXPECT_EQ(g_object_get_data(G_OBJECT(reinterpret_cast<void*>(static_cast<intptr_t>(combo->b))), "kt_gadget_font"),
            as_ptr(sans8));
  PangoFontDescription* cell_font = nullptr;
  g_object_get(G_OBJECT(reinterpret_cast<void*>(static_cast<intptr_t>(combo->d))), "font-desc", &cell_font, nullptr);
  ASSERT_NE(cell_font, nullptr);
  EXPECT_TRUE(pango_font_description_equal(cell_font, static_cast<PangoFontDescription*>(as_ptr(sans8))));
  pango_font_description_free(cell_font);
  font_free(ANY_NUMBER);
}

}  // namespace

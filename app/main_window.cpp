// SPDX-License-Identifier: MIT
// The main window: one fixed-size window with twenty gadgets at absolute positions.
#include "app/main_window.h"

#include <gtk/gtk.h>

#include "app/app.h"
#include "app/app_access.h"
#include "app/app_text.h"
#include "runtime/gadgets/button_gadget.h"
#include "runtime/gadgets/calendar_gadget.h"
#include "runtime/gadgets/combobox_gadget.h"
#include "runtime/gadgets/editor_gadget.h"
#include "runtime/gadgets/gadget.h"
#include "runtime/gadgets/image_gadget.h"
#include "runtime/gadgets/text_gadget.h"
#include "runtime/gui/color.h"
#include "runtime/gui/font.h"
#include "runtime/gui/registry.h"
#include "runtime/gui/window.h"
#include "runtime/image/image.h"
#include "runtime/strings/ustring.h"

int64_t app_main_window = 0;
int64_t app_year_field = 0;
int64_t app_month_chooser = 0;
int64_t app_day_chooser = 0;
int64_t app_after_count_field = 0;
int64_t app_after_result_field = 0;
int64_t app_before_count_field = 0;
int64_t app_before_result_field = 0;
int64_t app_calendar = 0;
int64_t app_after_button = 0;
int64_t app_logo_gadget = 0;
int64_t app_banner_gadget = 0;

namespace {

// System menu + bit 0x8 + minimise + screen-centred + parent-centred (0x16C): a fixed-size
// window with title bar, border, window menu, minimise and close, centred on the screen. Bit
// 0x8 has no meaning in the window library; it is kept because the window was designed with it.
constexpr int32_t APP_WINDOW_FLAGS = WINDOW_SYSTEM_MENU | 0x8 | WINDOW_MINIMIZE_GADGET |
                                     WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED;
// The creation flags value passed to both push buttons; the button gadget gives it no meaning.
constexpr int32_t APP_BUTTON_FLAGS = 8;
constexpr int32_t APP_IMAGE_SUNKEN = 1;  // the image gadget's sunken frame
// Every field of the window holds one line of text and no tab character: Tab leaves it.
constexpr int32_t APP_EDITOR_FLAGS = EDITOR_TAB_MOVES_FOCUS | EDITOR_SINGLE_LINE;
// The fields the user types numbers into take the full-width digits of an input method as ASCII.
constexpr int32_t APP_NUMBER_FLAGS = APP_EDITOR_FLAGS | EDITOR_ASCII_DIGITS;

int32_t rgb(int32_t red, int32_t green, int32_t blue) {
  return static_cast<int32_t>(color_rgb(red, green, blue));
}

// Creations at a place of app/main_window.h, with this window's flags for the type.
int64_t editor_at(const AppPlace& at, int32_t flags = APP_EDITOR_FLAGS) {
  return editor_gadget_create(ANY_NUMBER, at.x, at.y, at.width, at.height, flags);
}
int64_t chooser_at(const AppPlace& at) {
  return combobox_gadget_create(ANY_NUMBER, at.x, at.y, at.width, at.height, COMBOBOX_EDITABLE);
}
int64_t button_at(ObjectValue number, const AppPlace& at, UString text) {
  return button_gadget_create(number, at.x, at.y, at.width, at.height, text, APP_BUTTON_FLAGS);
}
int64_t image_at(const AppPlace& at, int64_t image, int32_t flags) {
  return image_gadget_create(ANY_NUMBER, at.x, at.y, at.width, at.height, image_pixbuf(image), flags);
}

void set_font(int64_t gadget, int64_t font_number) {
  gadget_set_font(gadget, font_id(font_number));
}

// Appends the texts "1" .. "last" to a chooser, in ascending order, without leading zeros.
void add_numbers(int64_t gadget, int32_t last) {
  UChar text[12];
  for (int32_t n = 1; n <= last; ++n) {
    ustr_from_int(n, text);
    gadget_add_item(gadget, -1, text);
  }
}

// Holds back the layout and painting of a shown window while its content is being built.
// Every gadget creation ends with a round of toolkit iterations, which would otherwise lay
// out and paint the window with the gadgets made so far, once per gadget. While the window's
// frame clock is held, those iterations still handle every pending event, but the window is
// laid out and painted only once, complete, after the freeze ends.
class FrameFreeze {
 public:
  explicit FrameFreeze(int64_t window) {
    void* widget = win_widget(window);
    GdkWindow* gdk_window = widget ? gtk_widget_get_window(GTK_WIDGET(widget)) : nullptr;
    if (!gdk_window) return;
    window_ = GDK_WINDOW(g_object_ref(gdk_window));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_window_freeze_toplevel_updates_libgtk_only(window_);
#pragma GCC diagnostic pop
  }
  ~FrameFreeze() {
    if (!window_) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!gdk_window_is_destroyed(window_)) gdk_window_thaw_toplevel_updates_libgtk_only(window_);
#pragma GCC diagnostic pop
    g_object_unref(window_);
  }
  FrameFreeze(const FrameFreeze&) = delete;
  FrameFreeze& operator=(const FrameFreeze&) = delete;

 private:
  GdkWindow* window_ = nullptr;
};

}  // namespace

void app_create_main_window(int32_t x, int32_t y, int32_t width, int32_t height) {
  ustr_stack_enter();
  // Steps 1 to 20 below create the gadgets in their designed order; each gets its font,
  // colours and items right after its creation, before the next one is made.
  app_main_window = win_open(ANY_NUMBER, x, y, width, height, u"ZoriviVudiDider", APP_WINDOW_FLAGS, nullptr);
  const FrameFreeze freeze(app_main_window);
  win_set_color(app_main_window, rgb(APP_BACKGROUND_RED, APP_BACKGROUND_GREEN, APP_BACKGROUND_BLUE));
  win_add_close_keys(app_main_window);

  // 1
  app_year_field = editor_at(APP_YEAR_FIELD_PLACE, APP_NUMBER_FLAGS);
  set_font(app_year_field, 0);
  // TRANSLATORS: the year field's text until today's year is copied in.
  gadget_add_item(app_year_field, -1, U_("year"));
  // 2
  app_after_count_field = editor_at(APP_AFTER_COUNT_PLACE, APP_NUMBER_FLAGS);
  set_font(app_after_count_field, 0);
  gadget_set_color(app_after_count_field, COLOR_FRONT, rgb(27, 15, 13));
  // 3
  app_after_result_field = editor_at(APP_AFTER_RESULT_PLACE);
  gadget_set_color(app_after_result_field, COLOR_FRONT, rgb(0, 0, 0));
  // 4
  text_gadget_create(ANY_NUMBER, 240, 165, 10, 20, u"=", TEXT_CENTER);
  // 5
  // TRANSLATORS: "<count field> days after = <result>"; at most 80 pixels wide in Sans 9.
  int64_t label = text_gadget_create(ANY_NUMBER, 150, 170, 80, 25, U_("days after"), TEXT_RIGHT);
  app_after_label = label;
  set_font(label, 1);
  gadget_set_color(label, COLOR_FRONT, rgb(70, 70, 70));
  gadget_set_color(label, COLOR_BACK, rgb(APP_BACKGROUND_RED, APP_BACKGROUND_GREEN, APP_BACKGROUND_BLUE));
  // 6
  // TRANSLATORS: the dates the calculator supports; keep the dates as they are.
  label = text_gadget_create(ANY_NUMBER, 40, 110, 380, 25, U_("valid period: 1970-01-01 <--> 2038-01-19"),
                             TEXT_CENTER);
  set_font(label, 1);
  // 7
  // TRANSLATORS: the labels above the start date's fields: "Day" and "Year" at most 40 pixels
  // wide, "Month" 60.
  label = text_gadget_create(ANY_NUMBER, 320, 40, 40, 25, U_("Day"), 0);
  app_day_label = label;
  set_font(label, 1);
  // 8
  label = text_gadget_create(ANY_NUMBER, 180, 40, 60, 25, U_("Month"), 0);
  app_month_label = label;
  set_font(label, 1);
  // 9
  app_day_chooser = chooser_at(APP_DAY_CHOOSER_PLACE);
  add_numbers(app_day_chooser, 31);
  // 10: under the fixed number 0 (APP_BEFORE_BUTTON), not ANY_NUMBER
  // TRANSLATORS: the word on both buttons that compute a result; a short verb, 100 pixels wide.
  button_at(APP_BEFORE_BUTTON, APP_BEFORE_BUTTON_PLACE, U_("push"));
  set_font(APP_BEFORE_BUTTON, 0);
  // 11
  app_before_count_field = editor_at(APP_BEFORE_COUNT_PLACE, APP_NUMBER_FLAGS);
  // 12
  // TRANSLATORS: "<count field> days before = <result>"; at most 90 pixels wide in Sans 8.
  label = text_gadget_create(ANY_NUMBER, 140, 230, 90, 25, U_("days before"), TEXT_RIGHT);
  app_before_label = label;
  set_font(label, 2);
  // 13
  text_gadget_create(ANY_NUMBER, 240, 225, 10, 20, u"=", TEXT_CENTER);
  // 14
  app_before_result_field = editor_at(APP_BEFORE_RESULT_PLACE);
  gadget_set_color(app_before_result_field, COLOR_FRONT, rgb(0, 0, 0));
  // 15
  app_calendar = calendar_gadget_create(ANY_NUMBER, 560, 10, 200, 170, 0);
  set_font(app_calendar, 1);
  // 16
  app_after_button = button_at(ANY_NUMBER, APP_AFTER_BUTTON_PLACE, U_("push"));
  set_font(app_after_button, 0);
  // Return in a count field presses its row's button; a failed creation (0) links nothing.
  if (app_after_button != 0) editor_gadget_set_return_button(app_after_count_field, app_after_button);
  editor_gadget_set_return_button(app_before_count_field, APP_BEFORE_BUTTON);
  // 17
  app_month_chooser = chooser_at(APP_MONTH_CHOOSER_PLACE);
  set_font(app_month_chooser, 0);
  add_numbers(app_month_chooser, 12);
  // 18
  app_banner_gadget = image_at(APP_BANNER_PLACE, app_banner_image, APP_IMAGE_SUNKEN);
  // 19
  // The logo is the only way to the about box, so the keyboard can reach and click it too.
  app_logo_gadget = image_at(APP_LOGO_PLACE, app_logo_image, APP_IMAGE_SUNKEN | IMAGE_KEYBOARD);
  // 20
  app_year_label = text_gadget_create(ANY_NUMBER, 40, 40, 40, 25, U_("Year"), 0);
}

// SPDX-License-Identifier: MIT
// Accessible names and keyboard order of the main window. Both push buttons keep the
// visible word "push" as their name, so that what a screen reader says matches what is
// shown; the description tells them apart. Naming changes no pixel and posts no event;
// the keyboard order only adds the caret of the field that has the focus at start-up.
#include "app/app_access.h"

#include <iterator>

#include "app/app_text.h"
#include "app/main_window.h"
#include "runtime/gadgets/gadget_access.h"

int64_t app_year_label = 0;
int64_t app_month_label = 0;
int64_t app_day_label = 0;
int64_t app_after_label = 0;
int64_t app_before_label = 0;

namespace {

// A failed creation leaves 0 in its variable, and 0 is also the number of the days-before
// button: such a link or name would land on the wrong gadget, so it is left out.
void label(int64_t text, int64_t field) {
  if (text != 0 && field != 0) gadget_set_label_for(text, field);
}

void describe(int64_t gadget, const char16_t* name, const char16_t* description) {
  if (gadget != 0) gadget_set_accessible(gadget, name, description);
}

}  // namespace

void app_describe_main_window() {
  label(app_year_label, app_year_field);
  label(app_month_label, app_month_chooser);
  label(app_day_label, app_day_chooser);
  label(app_after_label, app_after_count_field);
  label(app_before_label, app_before_count_field);

  // TRANSLATORS: what a screen reader says for the result fields and the two buttons, where N
  // is the number typed into the count field; the buttons' name is the word they show.
  describe(app_after_result_field, U_("Date N days after"), nullptr);
  describe(app_before_result_field, U_("Date N days before"), nullptr);
  describe(app_after_button, U_("push"), U_("Compute the date N days after"));
  gadget_set_accessible(APP_BEFORE_BUTTON, U_("push"), U_("Compute the date N days before"));
  describe(app_calendar, U_("Today"), nullptr);
  // TRANSLATORS: the logo, which opens the box with the maker's name and address.
  describe(app_logo_gadget, U_("About"), U_("Show the maker's address"));
  if (app_banner_gadget != 0) gadget_set_decorative(app_banner_gadget);
}

void app_set_keyboard_order() {
  // Reading order, the banner left out; Tab after the last wraps to the first. The days-before
  // button is known by its number (null below); a handle left 0 by a failed creation is skipped.
  const int64_t* const handles[] = {&app_year_field,         &app_month_chooser,      &app_day_chooser,
                                    &app_calendar,           &app_after_count_field,  &app_after_result_field,
                                    &app_after_button,       &app_before_count_field, &app_before_result_field,
                                    nullptr,                 &app_logo_gadget};
  ObjectValue order[std::size(handles)];
  int32_t count = 0;
  for (const int64_t* handle : handles) {
    if (!handle) order[count++] = APP_BEFORE_BUTTON;
    else if (*handle != 0) order[count++] = *handle;
  }
  gadget_set_focus_order(order, count);
  // The start date is already today's, so "the date N days from now" is N, Tab, Tab, Space.
  if (app_after_count_field != 0) gadget_set_focus(app_after_count_field);
}

// SPDX-License-Identifier: MIT
// The event procedure, the two date actions, the calendar copy, the resize handler and
// the about box. Every value is read from and written to gadgets as text.
#include "app/actions.h"

#include <cstdint>

#include "app/main_window.h"
#include "runtime/date/date.h"
#include "runtime/gadgets/gadget.h"
#include "runtime/gui/event.h"
#include "runtime/gui/requester.h"
#include "runtime/gui/window.h"
#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

namespace {

constexpr char16_t APP_ABOUT_TITLE[] = u"合同会社Zephra Corporation";
// A newline, the company line, two ideographic spaces and the postal address, the web
// address; no newline at the end.
constexpr char16_t APP_ABOUT_TEXT[] =
    u"\n"
    u"合同会社Zephra Corporation\n"
    u"\u3000\u3000〒000-0000 見本県架空市例町1丁目2番3号\n"
    u"https://zephra.example/";

// Reads a gadget's text into a string variable; the stack is left as it was.
void read_text(int64_t gadget, UStringVar* variable) {
  const int64_t mark = ustr_stack_top();
  gadget_get_text(gadget, mark);
  ustr_assign_from_stack(variable, mark);
}

// The date library takes signed 32-bit fields and counts; a parsed number outside that
// range must not reach it cut down to its low 32 bits (4294967297 days would move one day).
bool fits_int32(int64_t value) {
  return value >= INT32_MIN && value <= INT32_MAX;
}

// Start date from the year, month and day fields moved by `sign` times the count of
// count_field days, formatted into result_field. An invalid start date, or a count that
// cannot be moved by, shows 0000/00/00.
void move_start_date(int64_t count_field, int64_t sign, int64_t result_field) {
  ustr_stack_enter();
  UStringVar year_text = nullptr;
  UStringVar month_text = nullptr;
  UStringVar day_text = nullptr;
  UStringVar count_text = nullptr;
  UStringVar result_text = nullptr;
  read_text(app_year_field, &year_text);
  read_text(app_month_chooser, &month_text);
  read_text(app_day_chooser, &day_text);
  read_text(count_field, &count_text);

  const int64_t count = ustr_val(count_text);
  const int64_t day = ustr_val(day_text);
  const int64_t month = ustr_val(month_text);
  const int64_t year = ustr_val(year_text);

  DateSeconds start = DATE_INVALID;
  if (fits_int32(year) && fits_int32(month) && fits_int32(day)) {
    start = date_make(static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day), 0, 0, 0);
  }
  DateSeconds result = DATE_INVALID;
  if (fits_int32(count)) {
    const int64_t amount = sign * count;  // |count| <= 2^31, so this cannot overflow
    if (fits_int32(amount)) result = date_add(start, DATE_UNIT_DAY, static_cast<int32_t>(amount));
  }

  const int64_t mark = ustr_stack_top();
  date_format(APP_DATE_MASK, result, mark);
  ustr_assign_from_stack(&result_text, mark);
  gadget_set_text(result_field, result_text);

  ustr_free(year_text);
  ustr_free(month_text);
  ustr_free(day_text);
  ustr_free(count_text);
  ustr_free(result_text);
}

// Sets a gadget's text to length units of s from start (1-based), cut on the stack.
void set_text_to_part(int64_t gadget, UString s, int32_t start, int32_t length) {
  const int64_t mark = ustr_stack_top();
  ustr_mid(s, start, length, mark);
  ustr_stack_close();
  gadget_set_text(gadget, ustr_stack_string(mark));
  ustr_stack_set_top(mark);
}

}  // namespace

int64_t app_event_procedure(int64_t type) {
  if (type == EVENT_SIZE_WINDOW) {
    app_on_resize();
    return 1;
  }
  if (type == EVENT_CLOSE_WINDOW) return 0;
  if (type == EVENT_GADGET) {
    const int64_t gadget = event_gadget();
    if (gadget == APP_BEFORE_BUTTON) {
      app_days_before(event_subtype());
    } else if (gadget == app_after_button) {
      app_days_after(event_subtype());
    } else if (gadget == app_logo_gadget) {
      app_show_about(event_subtype());
    }
    return 1;
  }
  return 1;
}

int64_t app_days_after(int64_t) {
  move_start_date(app_after_count_field, 1, app_after_result_field);
  return 0;
}

// The count is parsed like the days-after count and then negated, so " 10" and "+10" go
// ten days back and "-5" goes five days forward.
int64_t app_days_before(int64_t) {
  move_start_date(app_before_count_field, -1, app_before_result_field);
  return 0;
}

int64_t app_sync_fields_from_calendar() {
  ustr_stack_enter();
  const DateSeconds date = gadget_get_state(app_calendar);
  if (date == 0) return 0;
  UStringVar text = nullptr;
  const int64_t mark = ustr_stack_top();
  date_format(APP_DATE_MASK, date, mark);
  ustr_assign_from_stack(&text, mark);
  set_text_to_part(app_year_field, text, 1, 4);
  set_text_to_part(app_month_chooser, text, 6, 2);
  set_text_to_part(app_day_chooser, text, 9, 2);
  ustr_free(text);
  return 0;
}

int64_t app_on_resize() {
  const int64_t width = win_width(app_main_window, WINDOW_INNER_SIZE);
  gadget_resize(app_after_result_field, 260, 160, static_cast<int32_t>(width - 630), 35);
  return 0;
}

int64_t app_show_about(int64_t subtype) {
  if (subtype == GADGET_EVENT_LEFT_CLICK) {
    ustr_stack_enter();
    requester_message_plain(APP_ABOUT_TITLE, APP_ABOUT_TEXT);
  }
  return 0;
}

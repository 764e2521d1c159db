// SPDX-License-Identifier: MIT
// Calendar gadget: a month calendar placed directly; its state is the selected day.
#include "runtime/gadgets/calendar_gadget.h"

#include <gtk/gtk.h>

#include <clocale>

namespace {

GtkCalendar* calendar_of(GadgetRecord* record) { return GTK_CALENDAR(record->widget); }

// Midnight of the selected day, or DATE_INVALID outside the supported period.
int64_t calendar_get_state(GadgetRecord* record) {
  guint year = 0, month = 0, day = 0;
  gtk_calendar_get_date(calendar_of(record), &year, &month, &day);
  return date_make(static_cast<int32_t>(year), static_cast<int32_t>(month) + 1, static_cast<int32_t>(day), 0, 0, 0);
}

// Select the day containing date; 0 means today.
void calendar_set_state(GadgetRecord* record, int64_t date) {
  if (date == 0) date = date_now();
  const int32_t year = date_year(date);
  const int32_t month = date_month(date);
  const int32_t day = date_day(date);
  // Only a value that names no day leaves the selection as it is: DATE_INVALID, a value
  // the date library cannot break down, or a year before 1. Any other day is selected,
  // also one outside the period that date_make accepts.
  if (year <= 0 || month < 1 || month > 12 || day < 1 || day > 31) return;
  gtk_calendar_select_month(calendar_of(record), static_cast<guint>(month - 1), static_cast<guint>(year));
  gtk_calendar_select_day(calendar_of(record), static_cast<guint>(day));
}

void calendar_set_font(GadgetRecord* record, void* font) { gadget_widget_set_font(record->widget, font); }

void* calendar_get_font(GadgetRecord* record) { return gadget_widget_get_font(record->widget); }

// A new calendar whose header reads left to right, as its grid does in the window's fixed
// direction. The toolkit takes the order of month and year from the message catalogue when
// the calendar is made; a right-to-left locale's order is meant to be read mirrored, so there
// the calendar is made under untranslated messages (for this thread alone) and keeps the
// left-to-right order. A left-to-right locale keeps its own order (year first in Japanese).
// Month and weekday names come from the time locale and stay translated.
GtkWidget* calendar_new_left_to_right() {
  if (gtk_get_locale_direction() != GTK_TEXT_DIR_RTL) return gtk_calendar_new();
  const locale_t current = duplocale(uselocale(locale_t{}));
  const locale_t untranslated = current ? newlocale(LC_MESSAGES_MASK, "C", current) : nullptr;
  if (!untranslated) {
    if (current) freelocale(current);
    return gtk_calendar_new();
  }
  const locale_t previous = uselocale(untranslated);
  GtkWidget* calendar = gtk_calendar_new();
  uselocale(previous);
  freelocale(untranslated);
  return calendar;
}

const GadgetOps& calendar_ops() {
  static const GadgetOps ops = [] {
    GadgetOps o{};
    o.type = GADGET_CALENDAR;
    o.get_state = calendar_get_state;
    o.set_state = calendar_set_state;
    o.set_font = calendar_set_font;
    o.get_font = calendar_get_font;
    return o;
  }();
  return ops;
}

}  // namespace

int64_t calendar_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h, DateSeconds date) {
  const GadgetOps& ops = calendar_ops();
  if (!gadget_list_ready()) return 0;
  GtkWidget* calendar = calendar_new_left_to_right();
  if (!calendar) return 0;
  ObjectValue value = 0;
  GadgetRecord* record = gadget_allocate(gadget, &value);
  if (!record) {
    gadget_discard(calendar);
    return 0;
  }
  gadget_place(calendar, x, y);
  gadget_set_size(calendar, w, h);
  record->widget = calendar;
  record->ops = &ops;
  ops.set_state(record, date);
  gtk_widget_show(calendar);
  // Connected after the initial selection, so creating the calendar posts nothing.
  g_signal_connect(calendar, "day-selected", G_CALLBACK(gadget_post_click), gadget_value_data(value));
  gadget_register(record, value);
  return gadget_creation_result(gadget, record, value);
}

int64_t calendar_gadget_create(ObjectValue gadget, int32_t x, int32_t y, int32_t w, int32_t h) {
  return calendar_gadget_create(gadget, x, y, w, h, 0);
}

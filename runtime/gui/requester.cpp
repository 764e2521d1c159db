// SPDX-License-Identifier: MIT
// The modal message requester: a GtkMessageDialog run to completion.

#include "runtime/gui/requester.h"

#include <gtk/gtk.h>

#include <memory>

namespace {

struct GFreeDeleter {
  void operator()(char* p) const { g_free(p); }
};
using Utf8 = std::unique_ptr<char, GFreeDeleter>;

// Results for the responses -9 (No) .. -5 (OK); every other response gives 0.
constexpr int64_t RESPONSE_RESULTS[5] = {REQUESTER_RESULT_NO, REQUESTER_RESULT_YES, 0, REQUESTER_RESULT_CANCEL,
                                         REQUESTER_RESULT_YES};

GtkMessageType message_type(int32_t flags) {
  if (flags & REQUESTER_INFO) return GTK_MESSAGE_INFO;
  if (flags & REQUESTER_WARNING) return GTK_MESSAGE_WARNING;
  if (flags & REQUESTER_ERROR) return GTK_MESSAGE_ERROR;
  return GTK_MESSAGE_OTHER;
}

// The application's window that has the keyboard focus, or null when none has.
GtkWindow* active_window() {
  GList* toplevels = gtk_window_list_toplevels();
  GtkWindow* active = nullptr;
  for (GList* l = toplevels; l && !active; l = l->next)
    if (gtk_window_is_active(GTK_WINDOW(l->data))) active = GTK_WINDOW(l->data);
  g_list_free(toplevels);
  return active;
}

}  // namespace

int64_t requester_result_for_response(int32_t response) {
  const int64_t index = int64_t{response} + 9;
  return index >= 0 && index < 5 ? RESPONSE_RESULTS[index] : 0;
}

int64_t requester_message(UString title, UString text, int32_t flags) {
  Utf8 body(ustr_to_utf8(text));
  Utf8 caption(ustr_to_utf8(title));
  const bool yes_no = flags & (REQUESTER_YES_NO | REQUESTER_YES_NO_CANCEL);
  // Transient for the active window, so that a window manager keeps the box above it, centred on
  // it: a box stacked below the window it blocks would leave the person with a window that
  // takes no input and no box in sight.
  GtkWindow* parent = active_window();
  // "%s" keeps the text literal: no format expansion, no markup.
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, message_type(flags),
                                             yes_no ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
                                             body ? body.get() : "");
  if (!(flags & REQUESTER_YES_NO) && (flags & REQUESTER_YES_NO_CANCEL)) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), "_Cancel", GTK_RESPONSE_CANCEL);
  }
  gtk_window_set_title(GTK_WINDOW(dialog), caption ? caption.get() : "");
  if (parent) gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
  // Our own reference keeps the dialog valid even if something destroys it while it runs.
  g_object_ref(dialog);
  const int64_t result = requester_result_for_response(gtk_dialog_run(GTK_DIALOG(dialog)));
  gtk_widget_destroy(dialog);
  g_object_unref(dialog);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return result;
}

int64_t requester_message_plain(UString title, UString text) { return requester_message(title, text, 0); }

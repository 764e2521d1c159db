// SPDX-License-Identifier: MIT
// Binding the program's text domain, and its translated texts for the runtime's strings.
#include "app/app_text.h"

#include "runtime/strings/ustring.h"

const char* app_locale_dir = nullptr;

// The default text domain is left as it is: while it names a domain without a catalogue for
// the locale's language, GLib keeps the toolkit's own texts English too, and a locale this
// program has no catalogue for (Hebrew, say) would lose the toolkit's translations and its
// right-to-left direction.
void app_bind_text_domain() {
  if (app_locale_dir) bindtextdomain(APP_TEXT_DOMAIN, app_locale_dir);
  bind_textdomain_codeset(APP_TEXT_DOMAIN, "UTF-8");
}

std::u16string app_utf16(const char* text) {
  const int32_t units = ustr_decode(CODEPAGE_UTF8, text, -1, nullptr, 0);  // with the terminator
  std::u16string result(static_cast<size_t>(units > 0 ? units : 0) + 1, u'\0');
  if (units > 0) ustr_decode(CODEPAGE_UTF8, text, -1, result.data(), units);
  result.resize(static_cast<size_t>(ustr_length(result.c_str())));
  return result;
}

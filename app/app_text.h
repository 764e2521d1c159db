// SPDX-License-Identifier: MIT
// The program's texts in the user's language: every text a person reads is an English
// message id looked up in the text domain's catalogue, so a locale without a catalogue
// (C, English, any language not translated) shows the English texts unchanged.
#pragma once

#include <libintl.h>

#include <string>

// app_bind_text_domain: look the program's texts up in the catalogues of app_locale_dir (or
//   the system's folder when null), in UTF-8 whatever the locale's codeset; after setlocale.
// app_utf16: a UTF-8 text as the runtime's UTF-16 string.

void app_bind_text_domain();
std::u16string app_utf16(const char* text);

inline constexpr char APP_TEXT_DOMAIN[] = "zorivivudidider";

// The folder holding <lang>/LC_MESSAGES/zorivivudidider.mo, or null for the system's own;
// the program points it at its catalogues before start-up (app/main.cpp).
extern const char* app_locale_dir;

// Marks for xgettext (po/CMakeLists.txt extracts with these keywords): _ translates a
// UTF-8 text; N_ only marks one that is translated later (the option table); U_ gives the
// translation as a UString that lives until the end of the full expression.
#define _(english) dgettext(APP_TEXT_DOMAIN, english)
#define N_(english) english
#define U_(english) app_utf16(dgettext(APP_TEXT_DOMAIN, english)).c_str()

// SPDX-License-Identifier: MIT
// Fonts: Pango font descriptions kept in the font registry by number or handle.

#include "runtime/gui/font.h"

#include <pango/pango.h>

#include <climits>
#include <memory>

namespace {

struct GFreeDeleter {
  void operator()(char* p) const { g_free(p); }
};
using Utf8 = std::unique_ptr<char, GFreeDeleter>;

ObjectRegistry* g_fonts = nullptr;

// size points in Pango units; a negative size is taken as 0 and a huge one is
// capped instead of overflowing.
int pango_size(int32_t points) {
  const int64_t units = int64_t{points} * PANGO_SCALE;
  if (units < 0) return 0;
  return units > INT_MAX ? INT_MAX : static_cast<int>(units);
}

}  // namespace

void font_library_init() {
  if (!g_fonts) g_fonts = obj_registry_new(sizeof(FontRecord), 16, font_free);
}

int64_t font_load(ObjectValue value, UString name, int32_t size, int32_t flags) {
  auto* record = static_cast<FontRecord*>(obj_allocate(g_fonts, value));
  if (!record) return 0;
  const ObjectValue fv = value == ANY_NUMBER ? static_cast<ObjectValue>(reinterpret_cast<intptr_t>(record)) : value;
  Utf8 text(ustr_to_utf8(name));
  PangoFontDescription* description = pango_font_description_from_string(text ? text.get() : "");
  if (!description) {
    obj_release(g_fonts, fv);
    return 0;
  }
  pango_font_description_set_size(description, pango_size(size));
  if (flags & FONT_BOLD) pango_font_description_set_weight(description, PANGO_WEIGHT_BOLD);
  if (flags & FONT_ITALIC) pango_font_description_set_style(description, PANGO_STYLE_ITALIC);
  record->description = description;
  return value == ANY_NUMBER ? fv : static_cast<int64_t>(reinterpret_cast<intptr_t>(description));
}

int64_t font_load_plain(ObjectValue value, UString name, int32_t size) { return font_load(value, name, size, 0); }

int64_t font_id(ObjectValue value) {
  auto* record = static_cast<FontRecord*>(obj_get(g_fonts, value));
  return record ? static_cast<int64_t>(reinterpret_cast<intptr_t>(record->description)) : 0;
}

void font_free(ObjectValue value) {
  if (value == ANY_NUMBER) {
    obj_free_all(g_fonts);
    return;
  }
  auto* record = static_cast<FontRecord*>(obj_get(g_fonts, value));
  if (!record) return;
  pango_font_description_free(static_cast<PangoFontDescription*>(record->description));
  obj_release(g_fonts, value);
}

void font_library_end() { obj_free_all(g_fonts); }
ObjectRegistry* font_registry() { return g_fonts; }

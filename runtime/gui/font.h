// SPDX-License-Identifier: MIT
// Fonts: Pango font descriptions named by number or handle.
#pragma once

#include <cstdint>
#include "runtime/gui/registry.h"
#include "runtime/strings/ustring.h"

// font_library_init: create the font registry.
// font_load: build a description; description for a number, handle for ANY_NUMBER, 0 on failure.
// font_load_plain: font_load with flags 0.
// font_id: the font's PangoFontDescription*, or 0.
// font_free: free one font (ANY_NUMBER: all).
// font_library_end: free every font.
// font_registry: the font registry (null before font_library_init).

constexpr int32_t FONT_BOLD = 1;
constexpr int32_t FONT_ITALIC = 2;

struct FontRecord {
  void* description;  // PangoFontDescription*; the record's liveness field
};

void font_library_init();
int64_t font_load(ObjectValue value, UString name, int32_t size, int32_t flags);
int64_t font_load_plain(ObjectValue value, UString name, int32_t size);
int64_t font_id(ObjectValue value);
void font_free(ObjectValue value);
void font_library_end();
ObjectRegistry* font_registry();

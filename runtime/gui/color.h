// SPDX-License-Identifier: MIT
// Colours: 24-bit values red + green*256 + blue*65536, their components, and the rule by
// which a colour is fitted against another so that text stays readable.
#pragma once

#include <cstdint>

// color_rgb: red + green*256 + blue*65536 (wrapped to 32 bits; components not clamped).
// color_unpack: the colour's components from 0 to 1, alpha 1; -1 reads as white.
// color_from_components: the colour of red, green and blue given from 0 to 1 (clamped, rounded).
// color_contrast: the selection contrast of a colour (inverted, mid tones pushed darker).
// color_contrast_ratio: the WCAG 2 contrast ratio of two colours, from 1 to 21.
// color_black_or_white: black or white, whichever stands out more from the given colour.
// color_fit: what replaces the theme's colour against a fixed one (readable, at least 4.5:1),
//   or COLOR_NONE where the theme's colour reads well already.
// color_word/color_from_word: a colour kept in a zero-filled word (0: none) and back.

// No colour of one's own: the theme's applies.
constexpr int32_t COLOR_NONE = -1;
// The least contrast ratio at which text counts as readable (WCAG 2, level AA).
constexpr double COLOR_READABLE_CONTRAST = 4.5;

// Components from 0 to 1, laid out like GdkRGBA.
struct ColorRgba {
  double red, green, blue, alpha;
};

int64_t color_rgb(int32_t red, int32_t green, int32_t blue);
ColorRgba color_unpack(int32_t color);
int32_t color_from_components(double red, double green, double blue);
int32_t color_contrast(int32_t color);
double color_contrast_ratio(int32_t a, int32_t b);
int32_t color_black_or_white(int32_t against);
int32_t color_fit(int32_t fixed, int32_t theme);
constexpr int64_t color_word(int32_t color) { return int64_t{color} + 1; }
constexpr int32_t color_from_word(int64_t word) { return static_cast<int32_t>(word - 1); }

// SPDX-License-Identifier: MIT
// Colour arithmetic shared by the windows and the gadgets.
#include "runtime/gui/color.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t BLACK = 0x000000;
constexpr int32_t WHITE = 0xFFFFFF;

int32_t red_of(int32_t color) { return color & 0xFF; }
int32_t green_of(int32_t color) { return (color >> 8) & 0xFF; }
int32_t blue_of(int32_t color) { return (color >> 16) & 0xFF; }

}  // namespace

int64_t color_rgb(int32_t red, int32_t green, int32_t blue) {
  // Computed in 64 bits and wrapped to 32, so out-of-range components cannot overflow.
  const int64_t sum = int64_t{red} + int64_t{green} * 256 + int64_t{blue} * 65536;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(sum)));
}

ColorRgba color_unpack(int32_t color) {
  return ColorRgba{red_of(color) / 255.0, green_of(color) / 255.0, blue_of(color) / 255.0, 1.0};
}

int32_t color_from_components(double red, double green, double blue) {
  auto byte = [](double v) { return static_cast<int32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return byte(red) + byte(green) * 256 + byte(blue) * 65536;
}

int32_t color_contrast(int32_t color) {
  auto invert = [](int32_t component) {
    const int32_t inverted = 255 - component;
    // A mid grey would not stand out from its own inverse, so it is pushed darker (0.4).
    return (inverted > 102 && inverted < 153) ? 102 : inverted;
  };
  return invert(red_of(color)) + invert(green_of(color)) * 256 + invert(blue_of(color)) * 65536;
}

double color_contrast_ratio(int32_t a, int32_t b) {
  auto luminance = [](int32_t color) {
    auto linear = [](int32_t component) {
      const double c = component / 255.0;
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(red_of(color)) + 0.7152 * linear(green_of(color)) + 0.0722 * linear(blue_of(color));
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

int32_t color_black_or_white(int32_t against) {
  return color_contrast_ratio(BLACK, against) >= color_contrast_ratio(WHITE, against) ? BLACK : WHITE;
}

// A theme colour that reads well against the fixed one stays. Otherwise the fixed colour's
// contrast colour replaces it where that reads well; mid tones do not (grey 128 against its
// contrast 102 is 1.45:1), and there black or white does, whichever stands out more: one of
// the two always reaches 4.58:1. So a fitted colour is never less readable than the theme's.
int32_t color_fit(int32_t fixed, int32_t theme) {
  if (color_contrast_ratio(theme, fixed) >= COLOR_READABLE_CONTRAST) return COLOR_NONE;
  const int32_t contrast = color_contrast(fixed);
  if (color_contrast_ratio(contrast, fixed) >= COLOR_READABLE_CONTRAST) return contrast;
  return color_black_or_white(fixed);
}

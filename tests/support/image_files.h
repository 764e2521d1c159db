// Fixture files of the image tests, written into a private temporary directory: BMP files
// byte by byte, PNG files through libpng's write interface; and pixel comparison against
// gdk-pixbuf's own loaders.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/gui.h"

namespace zvd_image_test {

using Bytes = std::vector<uint8_t>;

// A directory of its own per test program, removed with its files at exit.
inline std::string temp_dir() {
  static std::string dir = [] {
    static char pattern[] = "/tmp/zvd-image-test-XXXXXX";
    if (!mkdtemp(pattern)) return std::string("/tmp");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(pattern, ignored);
    });
    return std::string(pattern);
  }();
  return dir;
}

inline std::string write_file(const std::string& name, const Bytes& bytes) {
  const std::string path = temp_dir() + "/" + name;
  if (FILE* f = fopen(path.c_str(), "wb")) {
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  return path;
}

inline int64_t load(ObjectValue value, const std::string& path) {
  const std::u16string name(path.begin(), path.end());  // the test paths are ASCII
  return image_load(value, name.c_str());
}

// --- BMP files -----------------------------------------------------------------------------

// Appends the low `bytes` bytes of v, least significant first.
inline void put(Bytes& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

struct Bmp {
  int32_t width = 1, height = 1;
  uint16_t bpp = 24;
  int32_t compression = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB entries, written blue, green, red, 0
  int32_t colors_used = -1;       // -1: write palette.size()
  Bytes pixels;                   // pixel data exactly as stored in the file
  int64_t data_offset = -1;       // -1: right after the colour table
};

// A file header, a 40-byte info header, the colour table and the pixel data.
inline Bytes make_bmp(const Bmp& s) {
  const uint32_t table_end = 14 + 40 + 4 * uint32_t(s.palette.size());
  Bytes b = {'B', 'M'};
  for (uint32_t v : {table_end + uint32_t(s.pixels.size()), 0u,
                     s.data_offset >= 0 ? uint32_t(s.data_offset) : table_end, 40u, uint32_t(s.width),
                     uint32_t(s.height)})
    put(b, v, 4);
  put(b, 1, 2);
  put(b, s.bpp, 2);
  for (uint32_t v : {uint32_t(s.compression), uint32_t(s.pixels.size()), 2835u, 2835u,
                     uint32_t(s.colors_used >= 0 ? s.colors_used : int32_t(s.palette.size())), 0u})
    put(b, v, 4);
  for (uint32_t c : s.palette) put(b, c & 0xFFFFFF, 4);
  b.insert(b.end(), s.pixels.begin(), s.pixels.end());
  return b;
}

// Uncompressed pixel rows in file order (bottom image row first), each padded to 4 bytes.
// value(x, y) is an index for 1/4/8 bits, a raw 16-bit value, or 0xRRGGBB for 24/32 bits
// (32 bits adds a fourth byte 0x7F); y is the image row counted from the top.
inline Bytes pack_rows(int32_t w, int32_t h, int bpp, const std::function<uint32_t(int, int)>& value) {
  Bytes out;
  for (int y = h - 1; y >= 0; --y) {
    Bytes row;
    if (bpp < 8) row.assign((size_t(w) * bpp + 7) / 8, 0);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = value(x, y);
      if (bpp < 8) row[size_t(x * bpp / 8)] |= uint8_t(v << (8 - bpp - x * bpp % 8));
      else put(row, bpp == 32 ? (v & 0xFFFFFF) | 0x7F000000 : v, bpp / 8);
    }
    row.resize((row.size() + 3) / 4 * 4, 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// --- PNG files -----------------------------------------------------------------------------

struct Png {
  int32_t width = 4, height = 4;
  int color_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlaced = false, trns = false;
};

// Every colour type and bit depth, with every bit of the depth used; pixel (0, 0) has the
// colour that a tRNS chunk makes transparent.
inline Bytes make_png(const Png& p) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, [](png_structp s, png_bytep data, size_t n) {
    static_cast<Bytes*>(png_get_io_ptr(s))->insert(static_cast<Bytes*>(png_get_io_ptr(s))->end(), data, data + n);
  }, nullptr);
  png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), p.bit_depth, p.color_type,
               p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  std::vector<png_byte> alpha;
  for (int i = 0; p.color_type == PNG_COLOR_TYPE_PALETTE && i < (1 << p.bit_depth); ++i) {
    palette.push_back(png_color{png_byte(i * 53), png_byte(255 - i * 29), png_byte(i * 97 + 11)});
    alpha.push_back(png_byte(i * 71));
  }
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  png_color_16 trans{0, 1, 1, 1, 1};  // the colour of pixel (0, 0)
  if (p.trns) png_set_tRNS(png, info, alpha.data(), int(alpha.size()), palette.empty() ? &trans : nullptr);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const uint32_t max = (1u << p.bit_depth) - 1;
  std::vector<Bytes> rows(size_t(p.height), Bytes((size_t(p.width) * channels * p.bit_depth + 7) / 8, 0));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const bool alpha_channel = c == 3 || (c == 1 && p.color_type == PNG_COLOR_TYPE_GRAY_ALPHA);
        const uint32_t v = x == 0 && y == 0 ? (alpha_channel ? max / 2 : 1)
                                            : uint32_t(x * 37 + y * 101 + c * 59 + x * y * 13) % (max + 1);
        const size_t bit = (size_t(x) * channels + size_t(c)) * size_t(p.bit_depth);
        if (p.bit_depth == 16) {
          rows[size_t(y)][bit / 8] = uint8_t(v >> 8);
          rows[size_t(y)][bit / 8 + 1] = uint8_t(v);
        } else {
          rows[size_t(y)][bit / 8] |= uint8_t(v << (8 - p.bit_depth - int(bit % 8)));
        }
      }
    }
    pointers.push_back(rows[size_t(y)].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// --- Pixels --------------------------------------------------------------------------------

struct Pixel {
  int r, g, b, a;
  bool operator==(const Pixel&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Pixel& p) {
    return os << "(" << p.r << "," << p.g << "," << p.b << "," << p.a << ")";
  }
};

inline Pixel pixel_at(GdkPixbuf* pb, int x, int y) {
  const guchar* p = gdk_pixbuf_read_pixels(pb) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(pb)) +
                    size_t(x) * size_t(gdk_pixbuf_get_n_channels(pb));
  return Pixel{p[0], p[1], p[2], gdk_pixbuf_get_has_alpha(pb) ? p[3] : 255};
}

// Every pixel of ours equals gdk-pixbuf's decoding of the same file. Alpha is compared only
// when ours has an alpha channel; with compare_layout the channel counts must match too.
inline ::testing::AssertionResult same_as_reference(GdkPixbuf* ours, const std::string& path, bool compare_layout) {
  GdkPixbuf* ref = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!ref) return ::testing::AssertionFailure() << "the reference loader failed";
  const int w = gdk_pixbuf_get_width(ref), h = gdk_pixbuf_get_height(ref);
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  if (!ours || gdk_pixbuf_get_width(ours) != w || gdk_pixbuf_get_height(ours) != h) {
    result = ::testing::AssertionFailure() << "size differs from the reference " << w << "x" << h;
  } else if (compare_layout && gdk_pixbuf_get_has_alpha(ours) != gdk_pixbuf_get_has_alpha(ref)) {
    result = ::testing::AssertionFailure() << "alpha channel differs from the reference";
  }
  for (int i = 0; result && i < w * h; ++i) {
    Pixel a = pixel_at(ours, i % w, i / w), b = pixel_at(ref, i % w, i / w);
    if (!gdk_pixbuf_get_has_alpha(ours)) a.a = b.a = 255;
    if (!(a == b)) result = ::testing::AssertionFailure() << "pixel " << i % w << "," << i / w << " is " << a
                                                          << ", reference " << b;
  }
  g_object_unref(ref);
  return result;
}

inline GdkPixbuf* pixbuf_of(int64_t handle) { return static_cast<GdkPixbuf*>(image_pixbuf(handle)); }

inline const ImageRecord* image_record_of(ObjectValue value) {
  return static_cast<const ImageRecord*>(obj_get(image_registry(), value));
}

// Base of every image test: the runtime is started before the first test.
class ImageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { zvd_test::start_runtime(); }
};

}  // namespace zvd_image_test

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
#include <functional>
#include <string>
#include <vector>

#include "tests/support/gui.h"

namespace zvd_image_test {

using Bytes = std::vector<uint8_t>;

// A directory of its own per test program, removed with its files at exit.
inline std::string temp_dir() {
  static char dir[64] = "";
  if (!dir[0]) {
    char pattern[] = "/tmp/zvd-image-test-XXXXXX";
    snprintf(dir, sizeof dir, "%s", mkdtemp(pattern) ? pattern : "/tmp");
    std::atexit([] {
      if (std::string(dir) != "/tmp") std::system((std::string("rm -rf ") + dir).c_str());
    });
  }
  return dir;
}

inline std::string write_file(const std::string& name, const Bytes& bytes) {
  const std::string path = temp_dir() + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  return path;
}

// The path as a 16-bit string (the test paths are ASCII).
inline std::u16string u16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

inline int64_t load(ObjectValue value, const std::string& path) { return image_load(value, u16(path).c_str()); }

// --- BMP files -----------------------------------------------------------------------------

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

struct Bmp {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bpp = 24;
  int32_t compression = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB entries, written blue, green, red, 0
  int32_t colors_used = -1;       // -1: write palette.size()
  Bytes pixels;                   // pixel data exactly as stored in the file
  int64_t data_offset = -1;       // -1: right after the colour table
};

// A file header, a 40-byte info header, the colour table and the pixel data.
inline Bytes make_bmp(const Bmp& s) {
  Bytes b;
  const uint32_t table = 14 + 40;
  const uint32_t offset = s.data_offset >= 0 ? uint32_t(s.data_offset) : table + 4 * uint32_t(s.palette.size());
  b.push_back('B');
  b.push_back('M');
  put32(b, uint32_t(table + 4 * s.palette.size() + s.pixels.size()));
  put32(b, 0);
  put32(b, offset);
  put32(b, 40);
  put32(b, uint32_t(s.width));
  put32(b, uint32_t(s.height));
  put16(b, 1);
  put16(b, s.bpp);
  put32(b, uint32_t(s.compression));
  put32(b, uint32_t(s.pixels.size()));
  put32(b, 2835);
  put32(b, 2835);
  put32(b, uint32_t(s.colors_used >= 0 ? s.colors_used : int32_t(s.palette.size())));
  put32(b, 0);
  for (uint32_t c : s.palette) put32(b, c & 0xFFFFFF);  // bytes blue, green, red, 0
  b.insert(b.end(), s.pixels.begin(), s.pixels.end());
  return b;
}

// Uncompressed pixel rows in file order (bottom image row first), each padded to 4 bytes.
// value(x, y) is an index for 1/4/8 bits, a raw 16-bit value, or 0xRRGGBB for 24/32 bits;
// y is the image row counted from the top.
inline Bytes pack_rows(int32_t w, int32_t h, int bpp, const std::function<uint32_t(int, int)>& value) {
  Bytes out;
  for (int fy = 0; fy < h; ++fy) {
    const int y = h - 1 - fy;
    Bytes row;
    if (bpp < 8) {
      row.assign((size_t(w) * bpp + 7) / 8, 0);
      for (int x = 0; x < w; ++x) {
        const int bit = x * bpp;
        row[bit / 8] |= uint8_t(value(x, y) << (8 - bpp - bit % 8));
      }
    } else {
      for (int x = 0; x < w; ++x) {
        const uint32_t v = value(x, y);
        if (bpp == 8) row.push_back(uint8_t(v));
        if (bpp == 16) put16(row, v);
        if (bpp >= 24) {
          row.push_back(uint8_t(v));
          row.push_back(uint8_t(v >> 8));
          row.push_back(uint8_t(v >> 16));
        }
        if (bpp == 32) row.push_back(0x7F);
      }
    }
    while (row.size() % 4) row.push_back(0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// --- PNG files -----------------------------------------------------------------------------

struct Png {
  int32_t width = 4;
  int32_t height = 4;
  int color_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlaced = false;
  bool trns = false;
};

inline int png_channels(int color_type) {
  switch (color_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

// The sample value of pixel (x, y), channel c: a pattern that uses every bit of the depth
// and makes pixel (0, 0) equal to the transparent colour of a tRNS chunk.
inline uint32_t png_sample(const Png& p, int x, int y, int c) {
  const uint32_t max = (1u << p.bit_depth) - 1;
  if (x == 0 && y == 0) return c == 3 || (c == 1 && p.color_type == PNG_COLOR_TYPE_GRAY_ALPHA) ? max / 2 : 1;
  return (uint32_t(x) * 37u + uint32_t(y) * 101u + uint32_t(c) * 59u + uint32_t(x * y) * 13u) % (max + 1);
}

inline void png_write_to_vector(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

inline Bytes make_png(const Png& p) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, png_write_to_vector, nullptr);
  png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), p.bit_depth, p.color_type,
               p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  std::vector<png_byte> alpha;
  png_color_16 trans{};
  if (p.color_type == PNG_COLOR_TYPE_PALETTE) {
    const int n = 1 << p.bit_depth;
    for (int i = 0; i < n; ++i) {
      palette.push_back(png_color{png_byte(i * 53), png_byte(255 - i * 29), png_byte(i * 97 + 11)});
      alpha.push_back(png_byte(i * 71));
    }
    png_set_PLTE(png, info, palette.data(), n);
  }
  if (p.trns) {
    if (p.color_type == PNG_COLOR_TYPE_PALETTE) {
      png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
    } else {
      trans.gray = trans.red = trans.green = trans.blue = 1;  // the colour of pixel (0, 0)
      png_set_tRNS(png, info, nullptr, 0, &trans);
    }
  }
  png_write_info(png, info);
  const int channels = png_channels(p.color_type);
  const size_t row_bytes = (size_t(p.width) * channels * p.bit_depth + 7) / 8;
  std::vector<Bytes> rows(size_t(p.height), Bytes(row_bytes, 0));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < p.height; ++y) {
    Bytes& row = rows[size_t(y)];
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const uint32_t v = png_sample(p, x, y, c);
        const size_t bit = (size_t(x) * channels + size_t(c)) * size_t(p.bit_depth);
        if (p.bit_depth == 16) {
          row[bit / 8] = uint8_t(v >> 8);
          row[bit / 8 + 1] = uint8_t(v);
        } else {
          row[bit / 8] |= uint8_t(v << (8 - p.bit_depth - int(bit % 8)));
        }
      }
    }
    pointers.push_back(row.data());
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
};

inline Pixel pixel_at(GdkPixbuf* pb, int x, int y) {
  const guchar* p = gdk_pixbuf_read_pixels(pb) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(pb)) +
                    size_t(x) * size_t(gdk_pixbuf_get_n_channels(pb));
  return Pixel{p[0], p[1], p[2], gdk_pixbuf_get_has_alpha(pb) ? p[3] : 255};
}

inline std::ostream& operator<<(std::ostream& os, const Pixel& p) {
  return os << "(" << p.r << "," << p.g << "," << p.b << "," << p.a << ")";
}

// Every pixel of ours equals gdk-pixbuf's decoding of the same file. Alpha is compared only
// when ours has an alpha channel; with compare_layout the channel counts must match too.
inline ::testing::AssertionResult same_as_reference(GdkPixbuf* ours, const std::string& path, bool compare_layout) {
  GError* error = nullptr;
  GdkPixbuf* ref = gdk_pixbuf_new_from_file(path.c_str(), &error);
  if (!ref) {
    std::string message = error ? error->message : "no pixbuf";
    if (error) g_error_free(error);
    return ::testing::AssertionFailure() << "reference loader failed: " << message;
  }
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  const int w = gdk_pixbuf_get_width(ref);
  const int h = gdk_pixbuf_get_height(ref);
  if (!ours || gdk_pixbuf_get_width(ours) != w || gdk_pixbuf_get_height(ours) != h) {
    result = ::testing::AssertionFailure() << "size differs from the reference " << w << "x" << h;
  } else if (compare_layout && gdk_pixbuf_get_has_alpha(ours) != gdk_pixbuf_get_has_alpha(ref)) {
    result = ::testing::AssertionFailure() << "alpha channel differs from the reference";
  } else {
    const bool alpha = gdk_pixbuf_get_has_alpha(ours);
    for (int y = 0; y < h && result; ++y) {
      for (int x = 0; x < w && result; ++x) {
        Pixel a = pixel_at(ours, x, y);
        Pixel b = pixel_at(ref, x, y);
        if (!alpha) a.a = b.a = 255;
        if (!(a == b)) {
          result = ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << a << ", reference " << b;
        }
      }
    }
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

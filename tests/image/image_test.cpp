// SPDX-License-Identifier: MIT
// BMP files written byte by byte and PNG files from libpng's writer against gdk-pixbuf's loader; hostile BMP
// headers, sizes and run-length streams; numbers, handles, the buffer limit. tests/fuzz replays the corpora.
#include <png.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/support/gui.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Files live in a directory of this program's own, removed at exit.
std::string write_file(const std::string& name, const Bytes& bytes) {
  static char dir[] = "/tmp/zvd-image-test-XXXXXX";
  static const bool made = mkdtemp(dir) && std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }) == 0;
  const std::string path = std::string(made ? dir : "/tmp") + "/" + name;
  std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
  return path;
}

int64_t load(ObjectValue value, const std::string& path) {  // the paths are ASCII
  return image_load(value, std::u16string(path.begin(), path.end()).c_str());
}
GdkPixbuf* pixbuf_of(int64_t value) { return static_cast<GdkPixbuf*>(image_pixbuf(value)); }

// A pixel as 0xRRGGBBAA (alpha 0xFF without an alpha channel); rgb() makes an opaque one.
uint32_t pixel_at(GdkPixbuf* pb, int x, int y) {
  const guchar* p = gdk_pixbuf_read_pixels(pb) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(pb)) +
                    size_t(x) * size_t(gdk_pixbuf_get_n_channels(pb));
  return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | (gdk_pixbuf_get_has_alpha(pb) ? p[3] : 0xFF);
}
uint32_t pixel_at(int64_t image, int x, int y) { return pixel_at(pixbuf_of(image), x, y); }
constexpr uint32_t rgb(uint32_t c) { return c << 8 | 0xFF; }

// Every pixel equals gdk-pixbuf's decoding of the same file; alpha and the channel count
// count only where ours has an alpha channel or with_alpha asks for it.
::testing::AssertionResult same_as_reference(GdkPixbuf* ours, const std::string& path, bool with_alpha) {
  GdkPixbuf* ref = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!ref) return ::testing::AssertionFailure() << "the reference loader failed";
  const int w = gdk_pixbuf_get_width(ref), h = gdk_pixbuf_get_height(ref);
  auto result = ::testing::AssertionSuccess();
  if (!ours || gdk_pixbuf_get_width(ours) != w || gdk_pixbuf_get_height(ours) != h ||
      (with_alpha && gdk_pixbuf_get_has_alpha(ours) != gdk_pixbuf_get_has_alpha(ref)))
    result = ::testing::AssertionFailure() << "size or channels differ from the reference " << w << "x" << h;
  const uint32_t mask = gdk_pixbuf_get_has_alpha(ours) ? ~0u : ~0xFFu;
  for (int i = 0; result && i < w * h; ++i)
    if (const uint32_t a = pixel_at(ours, i % w, i / w), b = pixel_at(ref, i % w, i / w); (a & mask) != (b & mask))
      result = ::testing::AssertionFailure() << "pixel " << i % w << "," << i / w << ": " << std::hex << a
                                             << " vs reference " << b;
  g_object_unref(ref);
  return result;
}


void put(Bytes& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

struct Bmp {
  int32_t width = 1, height = 1;
  uint16_t bpp = 24;
  int32_t compression = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, written blue, green, red, 0
  Bytes pixels;                   // as stored in the file
  int32_t colors_used = -1;       // -1: palette.size()
  int64_t data_offset = -1;       // -1: right after the colour table
};

// A file header, a 40-byte info header, the colour table and the pixel data.
Bytes make_bmp(const Bmp& s) {
  const uint32_t table_end = 14 + 40 + 4 * uint32_t(s.palette.size());
  Bytes b = {'B', 'M'};
  const uint32_t data_offset = s.data_offset >= 0 ? uint32_t(s.data_offset) : table_end;
  const uint32_t colors = uint32_t(s.colors_used >= 0 ? s.colors_used : int32_t(s.palette.size()));
  for (uint32_t v : {table_end + uint32_t(s.pixels.size()), 0u, data_offset, 40u, uint32_t(s.width), uint32_t(s.height),
                     s.bpp * 65536u + 1, uint32_t(s.compression), uint32_t(s.pixels.size()), 2835u, 2835u, colors, 0u})
    put(b, v, 4);
  for (uint32_t c : s.palette) put(b, c & 0xFFFFFF, 4);
  b.insert(b.end(), s.pixels.begin(), s.pixels.end());
  return b;
}

// Uncompressed rows in file order (bottom row first), each padded to 4 bytes. value(x, y):
// an index up to 8 bits, a raw 16-bit value or 0xRRGGBB (32 bits adds a byte 0x7F).
Bytes pack_rows(int32_t w, int32_t h, int bpp, const std::function<uint32_t(int, int)>& value) {
  Bytes out;
  for (int y = h - 1; y >= 0; --y) {
    Bytes row(bpp < 8 ? (size_t(w) * bpp + 7) / 8 : 0, 0);
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

Bytes bmp24(int32_t w, int32_t h, uint32_t colour) {
  return make_bmp(Bmp{.width = w, .height = h, .pixels = pack_rows(w, h, 24, [&](int, int) { return colour; })});
}
int64_t load_bmp(const std::string& name, const Bmp& s) { return load(ANY_NUMBER, write_file(name, make_bmp(s))); }


// Every bit of the depth used; pixel (0, 0) has the colour a tRNS chunk makes transparent.
Bytes make_png(int w, int h, int color_type, int bit_depth, bool interlaced = false, bool trns = false) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, [](png_structp s, png_bytep data, size_t n) {
    auto* to = static_cast<Bytes*>(png_get_io_ptr(s));
    to->insert(to->end(), data, data + n);
  }, nullptr);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), bit_depth, color_type,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  std::vector<png_byte> alpha;
  for (int i = 0; color_type == PNG_COLOR_TYPE_PALETTE && i < (1 << bit_depth); ++i) {
    palette.push_back(png_color{png_byte(i * 53), png_byte(255 - i * 29), png_byte(i * 97 + 11)});
    alpha.push_back(png_byte(i * 71));
  }
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  png_color_16 trans{0, 1, 1, 1, 1};
  if (trns) png_set_tRNS(png, info, alpha.data(), int(alpha.size()), palette.empty() ? &trans : nullptr);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const uint32_t max = (1u << bit_depth) - 1;
  std::vector<Bytes> rows(size_t(h), Bytes((size_t(w) * channels * bit_depth + 7) / 8, 0));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        const bool alpha_channel = c == 3 || (c == 1 && color_type == PNG_COLOR_TYPE_GRAY_ALPHA);
        const uint32_t v = x == 0 && y == 0 ? (alpha_channel ? max / 2 : 1)
                                            : uint32_t(x * 37 + y * 101 + c * 59 + x * y * 13) % (max + 1);
        const size_t bit = (size_t(x) * channels + size_t(c)) * size_t(bit_depth);
        if (bit_depth == 16) rows[size_t(y)][bit / 8] = uint8_t(v >> 8), rows[size_t(y)][bit / 8 + 1] = uint8_t(v);
        else rows[size_t(y)][bit / 8] |= uint8_t(v << (8 - bit_depth - int(bit % 8)));
      }
    pointers.push_back(rows[size_t(y)].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct Images : ::testing::Test {
  static void SetUpTestSuite() { zvd_test::start_runtime(); }
  void TearDown() override { image_free(ANY_NUMBER); }
};


// Every converted depth at widths that need padding (24 bits also past the 16-pixel step, 1 bit
// also at 32, a row of whole words), with colour tables that are not black and white.
TEST_F(Images, BmpEveryDepthAndRunLengthDecodeLikeTheReference) {
  for (const auto& [bpp, width] : std::initializer_list<std::pair<uint16_t, int32_t>>{
           {1, 1}, {1, 9}, {1, 32}, {1, 33}, {4, 3}, {4, 6}, {8, 5}, {8, 8}, {24, 1}, {24, 2}, {24, 5}, {24, 37}, {32, 3}}) {
    Bmp desc{.width = width, .height = 3, .bpp = bpp};
    for (uint32_t i = 0; bpp <= 8 && i < 1u << bpp; ++i) desc.palette.push_back(0x3366CC ^ (i * 0x0B1D2F));
    desc.pixels = pack_rows(width, 3, bpp, [bpp = bpp](int x, int y) {
      const uint32_t v = uint32_t(x * 7 + y * 3 + x * y);
      return bpp <= 8 ? v % (1u << bpp) : v * 0x0B1D2F;
    });
    const std::string path = write_file("depth.bmp", make_bmp(desc));
    const int64_t handle = load(ANY_NUMBER, path);
    EXPECT_EQ(std::tuple(image_depth(handle), image_depth(handle, IMAGE_DEPTH_SOURCE)), std::tuple(24, bpp));
    EXPECT_TRUE(same_as_reference(pixbuf_of(handle), path, false)) << bpp << " bits, width " << width;
  }
  // Run-length 8 bits: runs, ends of line, a delta, an absolute run, the end of the bitmap.
  const Bmp rle8{.width = 8, .height = 4, .bpp = 8, .compression = 1,
                 .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                 .pixels = {3, 1, 2, 2, 0, 0,    // row 0: three red, two green, end of line
                            0, 3, 4, 3, 2, 0,    // row 1: absolute run white, blue, green (+ pad)
                            0, 2, 2, 1,          // delta: x += 2, y += 1
                            2, 4, 0, 0,          // row 2: two white at x 5, 6; end of line
                            8, 3, 0, 1}};        // row 3: eight blue; end of bitmap
  const std::string path = write_file("rle8.bmp", make_bmp(rle8));
  const int64_t rle = load(ANY_NUMBER, path);
  EXPECT_TRUE(same_as_reference(pixbuf_of(rle), path, false));
  EXPECT_EQ(pixel_at(rle, 5, 3), rgb(0)) << "after an early end of line: cleared";
  EXPECT_EQ(pixel_at(rle, 3, 1), rgb(0)) << "skipped by a delta: cleared";
  // One-row files checked pixel by pixel: 16 bits are plain shifts (5-5-5, or 5-6-5 with bit
  // fields); colours the table does not hold (past its count, or at or after the pixel data,
  // which the table's rewrite must leave alone) are black, or black and white at 1 bit.
  const uint32_t k = rgb(0), w = rgb(0xFFFFFF);
  for (const auto& [desc, row] : std::initializer_list<std::pair<Bmp, std::vector<uint32_t>>>{
           {{.width = 3, .bpp = 16, .pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x21, 0x04, 0, 0}},
            {rgb(0xF8F8F8), rgb(0xF80000), rgb(0x080808)}},
           {{.width = 3, .bpp = 16, .compression = 3, .pixels = {0xFF, 0xFF, 0xE0, 0x07, 0x21, 0x08, 0, 0}},
            {rgb(0xF8FCF8), rgb(0x00FC00), rgb(0x080408)}},
           {{.width = 4, .bpp = 8, .pixels = {0x10, 0, 0, 0}}, {k, k, k, k}},
           {{.width = 4, .bpp = 1, .palette = {0x000000}, .pixels = {0xA0, 0, 0, 0}}, {w, k, w, k}},
           {{.width = 4, .bpp = 1, .pixels = {0xA0, 0, 0, 0}}, {w, k, w, k}},
           {{.width = 4, .bpp = 4, .palette = {0xFFFFFF}, .pixels = {0x01, 0, 0, 0}}, {w, k, w, w}}}) {
    const int64_t handle = load_bmp("row.bmp", desc);
    for (size_t x = 0; x < row.size(); ++x)
      EXPECT_EQ(pixel_at(handle, int(x), 0), row[x]) << desc.bpp << " bits, x " << x;
  }
}

// Every colour type and bit depth, plain and interlaced, with and without tRNS: the depths
// reported and every pixel, alpha included, as the reference decodes them.
TEST_F(Images, PngEveryFormatDecodesLikeTheReference) {
  for (const auto& [color_type, bit_depth, trns, depth, source_depth] :
       std::initializer_list<std::tuple<int, int, bool, int, int>>{
           {0, 1, false, 24, 1}, {0, 2, false, 24, 2}, {0, 4, false, 24, 4}, {0, 8, false, 24, 8},
           {0, 16, false, 24, 16}, {0, 1, true, 32, 1}, {0, 4, true, 32, 4}, {0, 8, true, 32, 8},
           {0, 16, true, 32, 16}, {2, 8, false, 24, 24}, {2, 16, false, 24, 24}, {2, 8, true, 32, 32},
           {2, 16, true, 32, 32}, {3, 1, false, 24, 1}, {3, 2, false, 24, 2}, {3, 4, false, 24, 4},
           {3, 8, false, 24, 8}, {3, 1, true, 32, 32}, {3, 8, true, 32, 32}, {4, 8, false, 32, 8},
           {4, 16, false, 32, 16}, {6, 8, false, 32, 32}, {6, 16, false, 32, 32}}) {
    for (bool interlaced : {false, true}) {
      const std::string path = write_file("format.png", make_png(13, 7, color_type, bit_depth, interlaced, trns));
      const int64_t handle = load(ANY_NUMBER, path);
      const std::string name = "type " + std::to_string(color_type) + ", " + std::to_string(bit_depth) + " bits" +
                               (trns ? ", tRNS" : "") + (interlaced ? ", interlaced" : "");
      ASSERT_NE(handle, 0) << name;
      const auto depths = std::tuple(image_depth(handle), image_depth(handle, IMAGE_DEPTH_SOURCE));
      EXPECT_EQ(depths, std::tuple(depth, source_depth)) << name;
      EXPECT_TRUE(same_as_reference(pixbuf_of(handle), path, true)) << name;
    }
  }
}


// Failed loads leave the number empty, no file open and no decoder state behind.
TEST_F(Images, FilesThatFailLeaveNothingBehind) {
  const Bytes png = make_png(64, 64, PNG_COLOR_TYPE_RGB_ALPHA, 16);
  const Bytes adam7 = make_png(64, 64, PNG_COLOR_TYPE_RGB_ALPHA, 16, true);
  Bytes bad_crc = png;
  bad_crc[20] ^= 0x40;  // the height in IHDR, its CRC left as it was
  Bmp top_down{.width = 2, .height = -2, .pixels = Bytes(16, 0x55)};  // not supported
  for (const auto& [name, bytes] : std::initializer_list<std::pair<std::string, Bytes>>{
           {"empty.bmp", {}}, {"notes.txt", Bytes(14, 'h')},
           {"photo.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1}},
           {"top_down.bmp", make_bmp(top_down)}, {"crc.png", bad_crc},
           {"signature.png", Bytes(png.begin(), png.begin() + 8)}, {"short.png", Bytes(png.begin(), png.begin() + 5)},
           {"cut.png", Bytes(png.begin(), png.begin() + ptrdiff_t(png.size() / 2))},
           {"cut_adam7.png", Bytes(adam7.begin(), adam7.end() - 40)}, {"/nowhere/missing.png", {}}, {"/tmp", {}}}) {
    const std::string path = name[0] == '/' ? name : write_file(name, bytes);
    ASSERT_NE(load(4, write_file("good.bmp", bmp24(1, 1, 0))), 0);
    EXPECT_EQ(load(4, path), 0) << name;
    EXPECT_EQ(image_pixbuf(4), nullptr) << name << ": the old image is gone even though the load failed";
    EXPECT_EQ(load(ANY_NUMBER, path), 0) << name;
    const DecodeContext* context = decode_context();
    EXPECT_TRUE(!context->file && !context->decoder && !context->slots[0] && !context->slots[1]) << name;
  }
}

int64_t peak_rss_kib() {
  rusage usage{};
  return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

// Sizes above the 1 GiB pixel buffer are refused before any allocation; below it, a tiny
// file claiming a huge image decodes what it holds without touching the rest of the buffer.
TEST_F(Images, HugeSizesAndTheBufferLimit) {
  for (const auto& [w, h] : {std::pair{20000, 20000}, {INT32_MAX, INT32_MAX}, {INT32_MAX, 1}, {1, INT32_MAX}})
    EXPECT_EQ(load_bmp("huge.bmp", {.width = w, .height = h, .pixels = Bytes(12, 0xAB)}), 0) << w << "x" << h;
  const int64_t before = peak_rss_kib();
  const int64_t big = load_bmp("big.bmp", {.width = 15000, .height = 15000, .pixels = Bytes(12, 0xFF)});
  ASSERT_NE(big, 0);
  EXPECT_EQ(std::pair(pixel_at(big, 0, 14999), pixel_at(big, 4, 14999)), std::pair(rgb(0xFFFFFF), rgb(0)));
  image_free(big);
  EXPECT_LT(peak_rss_kib() - before, 200 * 1024) << "a 640 MiB image made from 12 bytes stays untouched";
  const int64_t wide = load(ANY_NUMBER, write_file("wide.bmp", bmp24(40000, 1, 0x00FF00)));
  EXPECT_EQ(std::pair(image_width(wide), pixel_at(wide, 39999, 0)), std::pair(int64_t{40000}, rgb(0x00FF00)));
  // Exactly 1 GiB of rows is the most; sizes that overflow are refused.
  int32_t stride = 0;
  int64_t size = 0;
  for (const auto& [w, h, depth, ok] : std::initializer_list<std::tuple<int32_t, int32_t, int32_t, bool>>{
           {16384, 16384, 32, true}, {16384, 16385, 32, false}, {0, 5, 24, false}, {5, -1, 24, false},
           {5, 5, 16, false}, {INT32_MAX, INT32_MAX, 32, false}})
    EXPECT_EQ(image_buffer_layout(w, h, depth, &stride, &size), ok) << w << "x" << h << "x" << depth;
  ASSERT_TRUE(image_buffer_layout(16384, 16384, 32, &stride, &size));
  EXPECT_EQ(size, (int64_t{1} << 30) + 65536) << "1 GiB of pixels and the spare row";
  image_set_buffer_limit(20000);
  EXPECT_TRUE(image_buffer_layout(100, 50, 32, &stride, &size));
  EXPECT_FALSE(image_buffer_layout(100, 51, 32, &stride, &size));
  image_set_buffer_limit(int64_t{1} << 40);  // never above the default
  EXPECT_FALSE(image_buffer_layout(16384, 16385, 32, &stride, &size));
}

// Pixel-data offsets and colour tables outside the file, short pixel data and run-length
// streams that leave the image: each loads, with only the file's own bytes shown.
TEST_F(Images, BmpHeadersAndStreamsPointingOutsideTheFile) {
  // Index 1 at (3, 1) and 200, beyond the table, at (0, 1); -1: any colour. A huge colour count
  // clips the table where the pixels start, so they stay intact.
  for (const auto& [name, data_offset, colors_used, info_size, at_3_1, at_0_1] :
       std::initializer_list<std::tuple<const char*, int64_t, int32_t, int32_t, int64_t, int64_t>>{
           {"offset_past_end", 0x7FFFFFF0, -1, 40, 0, -1}, {"negative_offset", 0x80000000, -1, 40, -1, -1},
           {"offset_in_header", 2, -1, 40, -1, -1}, {"huge_colour_count", -1, 0x7FFFFFFF, 40, 0x445566, 0},
           {"negative_colour_count", -1, -5, 40, -1, -1}, {"table_past_end", -1, -1, 0x7FFFFF00, -1, -1},
           {"table_before_start", -1, -1, -100, -1, -1}}) {
    Bytes file = make_bmp({.width = 9, .height = 3, .bpp = 8, .palette = {0x112233, 0x445566},
                           .pixels = pack_rows(9, 3, 8, [](int x, int) { return x ? 1u : 200u; }),
                           .colors_used = colors_used, .data_offset = data_offset});
    std::memcpy(&file[14], &info_size, 4);
    const int64_t handle = load(ANY_NUMBER, write_file("outside.bmp", file));
    ASSERT_NE(handle, 0) << name;
    EXPECT_TRUE(at_3_1 < 0 || pixel_at(handle, 3, 1) == rgb(uint32_t(at_3_1))) << name << " at 3,1";
    EXPECT_TRUE(at_0_1 < 0 || pixel_at(handle, 0, 1) == rgb(uint32_t(at_0_1))) << name << " at 0,1";
  }
  const Bytes rows = pack_rows(4, 4, 24, [](int, int) { return 0xFFFFFFu; });
  const int64_t cut = load_bmp("short.bmp", {.width = 4, .height = 4, .pixels = Bytes(&rows[0], &rows[17])});
  for (const auto& [x, y, expected] :  // a row and 5 bytes of the next
       {std::tuple{3, 3, 0xFFFFFFu}, {0, 2, 0xFFFFFFu}, {1, 2, 0x00FFFFu}, {2, 2, 0u}, {0, 0, 0u}})
    EXPECT_EQ(pixel_at(cut, x, y), rgb(expected)) << x << "," << y;
  Bmp rle{.width = 4, .height = 3, .bpp = 8, .compression = 1, .palette = {0x000000, 0xFFFFFF, 0xFF0000},
          .pixels = {255, 1, 0, 0,                   // a run far past the right edge; end of line
                     0, 2, 250, 0, 3, 2, 0, 0,       // delta far right, a run outside; end of line
                     2, 2,                           // row 2: two red
                     0, 7, 1, 1, 1, 1, 1, 1, 1, 0,   // absolute run of 7 crossing the edge, + pad
                     0, 2, 0, 200, 9, 1,             // delta above the image; a dropped run
                     0, 2}};                         // delta cut off by the end of the file
  const int64_t escape = load_bmp("rle_escape.bmp", rle);
  for (const auto& [x, y, expected] :
       {std::tuple{0, 2, 0xFFFFFFu}, {3, 2, 0xFFFFFFu}, {0, 1, 0u}, {0, 0, 0xFF0000u}, {3, 0, 0xFFFFFFu}})
    EXPECT_EQ(pixel_at(escape, x, y), rgb(expected)) << x << "," << y;
  rle.data_offset = 0xFFFFFF00;  // a stream that starts before the file
  EXPECT_NE(load_bmp("rle_before.bmp", rle), 0);
  rle.data_offset = -1;
  rle.pixels = Bytes(64, 0);  // one that never ends
  rle.pixels[0] = 4;
  EXPECT_NE(load_bmp("rle_no_end.bmp", rle), 0);
  // Formats not converted load as cleared pixels; compression 3 on 8 bits reads plain indices.
  for (const auto& [bpp, compression, expected] :
       {std::tuple<uint16_t, int32_t, uint32_t>{4, 2, 0}, {16, 1, 0}, {2, 0, 0}, {8, 3, 0xFFFFFF}}) {
    const int64_t handle = load_bmp("unconverted.bmp", {.width = 4, .height = 2, .bpp = bpp, .compression = compression,
                                                        .palette = std::vector<uint32_t>(4, 0xFFFFFF),
                                                        .pixels = Bytes(16, bpp == 8 ? 0x01 : 0xFF)});
    ASSERT_NE(handle, 0) << bpp;
    EXPECT_EQ(pixel_at(handle, 3, 1), rgb(expected)) << bpp;
  }
}


TEST_F(Images, NumbersAndHandlesNameImages) {
  const std::string red = write_file("red.bmp", bmp24(3, 2, 0xFF0000));
  const std::string logo = write_file("rgba.png", make_png(6, 5, PNG_COLOR_TYPE_RGB_ALPHA, 8));
  const int64_t by_number = load(5, red);
  EXPECT_EQ(by_number, reinterpret_cast<int64_t>(image_pixbuf(5))) << "a number load returns the pixbuf";
  const int64_t handle = load(ANY_NUMBER, logo);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(std::tuple(image_width(5), image_height(handle), image_depth(handle)), std::tuple(3, 5, 32));
  EXPECT_NE(load(5, logo), 0);  // replaced under a live number
  EXPECT_EQ(image_depth(5), 32);
  auto* kept = static_cast<GdkPixbuf*>(g_object_ref(pixbuf_of(5)));
  image_free(5);
  EXPECT_EQ(std::tuple(image_pixbuf(5), image_width(5), image_depth(5)), std::tuple(nullptr, 0, 0));
  EXPECT_EQ(pixel_at(kept, 5, 4), pixel_at(handle, 5, 4)) << "a pixbuf keeps its pixels";
  g_object_unref(kept);
  ASSERT_NE(load(7, red), 0);
  image_free(ANY_NUMBER);
  EXPECT_EQ(image_pixbuf(7), nullptr);
  EXPECT_EQ(obj_is_object(image_registry(), handle), 0) << "dynamic images are unlinked";
  image_free(7);  // freeing a freed number does nothing
  EXPECT_EQ(image_pixbuf(0), nullptr) << "a failed ANY_NUMBER load's 0 names no image";
}

}  // namespace

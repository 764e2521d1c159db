// The image layer: naming by number and handle, failure paths, the pixel-buffer layout,
// the hidden window, and hostile BMP files that must fail or clip cleanly.
#include <gdk/gdk.h>
#include <sys/resource.h>

#include "tests/support/image_files.h"

using namespace zvd_image_test;

namespace {

class ImageLayer : public ImageTest {
 protected:
  void TearDown() override { image_free(ANY_NUMBER); }
};

Bytes bmp24(int32_t w, int32_t h, uint32_t colour) {
  Bmp desc{.width = w, .height = h};
  desc.pixels = pack_rows(w, h, 24, [&](int, int) { return colour; });
  return make_bmp(desc);
}

TEST_F(ImageLayer, FilesThatNoDecoderTakesFailAndLeaveNothingOpen) {
  const std::string text = write_file("notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!'});
  const std::string jpeg = write_file("photo.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1});
  const std::string empty = write_file("empty.bmp", Bytes{});
  for (const std::string& path : {temp_dir() + "/missing.png", text, jpeg, empty, temp_dir()}) {
    EXPECT_EQ(load(ANY_NUMBER, path), 0) << path;
    EXPECT_EQ(load(2, path), 0) << path;
    EXPECT_EQ(image_pixbuf(2), nullptr);
    EXPECT_EQ(decode_context()->file, nullptr) << path;
  }
  EXPECT_EQ(image_pixbuf(0), nullptr) << "a failed ANY_NUMBER load's 0 names no image";
  EXPECT_EQ(image_width(0), 0);
  EXPECT_EQ(image_depth(0), 0);
}

TEST_F(ImageLayer, NumbersAndHandlesNameImages) {
  const std::string red = write_file("red.bmp", bmp24(3, 2, 0xFF0000));
  const std::string logo = write_file("rgba.png", make_png(Png{6, 5, PNG_COLOR_TYPE_RGB_ALPHA}));
  const int64_t by_number = load(5, red);
  EXPECT_EQ(by_number, reinterpret_cast<int64_t>(image_pixbuf(5))) << "a number load returns the pixbuf";
  const int64_t handle = load(ANY_NUMBER, logo);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(image_width(5), 3);
  EXPECT_EQ(image_height(handle), 5);
  EXPECT_EQ(image_depth(handle), 32);
  // Replacing under a live number, first with a good file, then with a failing one.
  EXPECT_NE(load(5, logo), 0);
  EXPECT_EQ(image_depth(5), 32);
  EXPECT_EQ(load(5, temp_dir() + "/missing.bmp"), 0);
  EXPECT_EQ(image_pixbuf(5), nullptr) << "the old image is gone even though the new load failed";
  EXPECT_EQ(image_width(5), 0);
  ASSERT_NE(load(7, red), 0);
  image_free(ANY_NUMBER);
  EXPECT_EQ(image_pixbuf(7), nullptr);
  EXPECT_EQ(obj_is_object(image_registry(), handle), 0) << "dynamic images are unlinked";
  image_free(7);  // freeing a freed number does nothing
}

TEST_F(ImageLayer, PixbufKeepsItsPixelsAfterTheImageIsFreed) {
  const int64_t handle = load(ANY_NUMBER, write_file("kept.bmp", bmp24(2, 2, 0x102030)));
  auto* pixbuf = static_cast<GdkPixbuf*>(g_object_ref(pixbuf_of(handle)));
  image_free(handle);
  EXPECT_EQ(pixel_at(pixbuf, 1, 1), (Pixel{0x10, 0x20, 0x30, 255}));
  g_object_unref(pixbuf);  // the last reference frees the pixel buffer
}

TEST_F(ImageLayer, StrideAndBufferRules) {
  for (const auto& [width, stride] : {std::pair{5, 16}, {4, 12}, {1, 4}, {2, 8}, {3, 12}}) {
    const int64_t handle = load(ANY_NUMBER, write_file("stride.bmp", bmp24(width, 2, 0xFFFFFF)));
    ASSERT_NE(handle, 0);
    EXPECT_EQ(gdk_pixbuf_get_rowstride(pixbuf_of(handle)), stride) << width;
  }
  int32_t stride = 0;
  int64_t size = 0;
  ASSERT_TRUE(image_buffer_layout(100, 49, 32, &stride, &size));
  EXPECT_EQ(stride, 400);
  EXPECT_EQ(size, 400 * 50) << "one spare row";
  ASSERT_TRUE(image_buffer_layout(5, 1, 24, &stride, &size));
  EXPECT_EQ(size, 32);
  EXPECT_FALSE(image_buffer_layout(0, 5, 24, &stride, &size));
  EXPECT_FALSE(image_buffer_layout(5, -1, 24, &stride, &size));
  EXPECT_FALSE(image_buffer_layout(5, 5, 16, &stride, &size));
  EXPECT_FALSE(image_buffer_layout(INT32_MAX, INT32_MAX, 32, &stride, &size)) << "overflowing sizes";
  EXPECT_FALSE(image_buffer_layout(16384, 16385, 32, &stride, &size)) << "above 1 GiB";
  ASSERT_TRUE(image_buffer_layout(16384, 16384, 32, &stride, &size)) << "exactly 1 GiB of pixels";
  EXPECT_EQ(size, (int64_t{1} << 30) + 65536) << "plus the spare row";
  image_set_buffer_limit(20000);
  EXPECT_TRUE(image_buffer_layout(100, 50, 32, &stride, &size));
  EXPECT_FALSE(image_buffer_layout(100, 51, 32, &stride, &size));
  image_set_buffer_limit(int64_t{1} << 40);  // never above the default
  EXPECT_FALSE(image_buffer_layout(16384, 16385, 32, &stride, &size));
}

TEST_F(ImageLayer, WidthsAbove32767AreReportedTruthfully) {
  const int64_t handle = load(ANY_NUMBER, write_file("wide.bmp", bmp24(40000, 1, 0x00FF00)));
  ASSERT_NE(handle, 0);
  EXPECT_EQ(image_width(handle), 40000);
  EXPECT_EQ(pixel_at(pixbuf_of(handle), 39999, 0), (Pixel{0, 255, 0, 255}));
}

// --- Hostile BMP files: every case fails or decodes what lies inside the file ------------

int64_t peak_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(ImageLayer, HugeDimensionsInATinyFile) {
  // Above the 1 GiB pixel-buffer cap: refused before anything is allocated.
  for (const auto& [w, h] : {std::pair{20000, 20000}, {INT32_MAX, INT32_MAX}, {INT32_MAX, 1}, {1, INT32_MAX}}) {
    Bmp desc{.width = w, .height = h, .pixels = Bytes(12, 0xAB)};
    EXPECT_EQ(load(ANY_NUMBER, write_file("huge.bmp", make_bmp(desc))), 0) << w << "x" << h;
  }
  // Below the cap: the image loads, black beyond the data, without touching its buffer.
  const int64_t before = peak_rss_kib();
  Bmp desc{.width = 15000, .height = 15000, .pixels = Bytes(12, 0xFF)};
  const int64_t handle = load(ANY_NUMBER, write_file("big.bmp", make_bmp(desc)));
  ASSERT_NE(handle, 0);
  EXPECT_EQ(image_height(handle), 15000);
  EXPECT_EQ(pixel_at(pixbuf_of(handle), 0, 14999), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(pixel_at(pixbuf_of(handle), 4, 14999), (Pixel{0, 0, 0, 255}));
  image_free(handle);
  EXPECT_LT(peak_rss_kib() - before, 200 * 1024) << "a 640 MiB image made from 12 bytes stays untouched";
}

TEST_F(ImageLayer, OffsetsAndTablesOutsideTheFile) {
  struct Case {
    const char* name;
    int64_t data_offset;
    int32_t colors_used;
    int32_t info_size;  // 0: keep 40
  };
  for (const Case& c : {Case{"offset_past_end", 0x7FFFFFF0, -1, 0}, Case{"negative_offset", 0x80000000, -1, 0},
                        Case{"offset_in_header", 2, -1, 0}, Case{"huge_colour_count", -1, 0x7FFFFFFF, 0},
                        Case{"negative_colour_count", -1, -5, 0}, Case{"table_past_end", -1, -1, 0x7FFFFF00},
                        Case{"table_before_start", -1, -1, -100}}) {
    Bmp desc{.width = 9, .height = 3, .bpp = 8, .palette = {0x112233, 0x445566}, .colors_used = c.colors_used,
             .data_offset = c.data_offset};
    desc.pixels = pack_rows(9, 3, 8, [](int x, int) { return x == 0 ? 200u : 1u; });  // 200: beyond the table
    Bytes file = make_bmp(desc);
    if (c.info_size) {
      for (int i = 0; i < 4; ++i) file[14 + size_t(i)] = uint8_t(uint32_t(c.info_size) >> (8 * i));
    }
    const int64_t handle = load(ANY_NUMBER, write_file(std::string(c.name) + ".bmp", file));
    ASSERT_NE(handle, 0) << c.name;
    if (std::string(c.name) == "offset_past_end") {
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 3, 1), (Pixel{0, 0, 0, 255}));
    }
    if (std::string(c.name) == "huge_colour_count") {
      // The table ends where the pixel data starts, so its rewrite leaves the pixels intact.
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 3, 1), (Pixel{0x44, 0x55, 0x66, 255}));
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 0, 1), (Pixel{0, 0, 0, 255})) << "index beyond the file is black";
    }
  }
}

TEST_F(ImageLayer, ShortPixelDataClipsToTheFile) {
  Bmp desc{.width = 4, .height = 4};
  const Bytes rows = pack_rows(4, 4, 24, [](int, int) { return 0xFFFFFFu; });
  desc.pixels.assign(rows.begin(), rows.begin() + 12 + 5);  // one row and 5 bytes of the next
  const int64_t handle = load(ANY_NUMBER, write_file("short.bmp", make_bmp(desc)));
  ASSERT_NE(handle, 0);
  GdkPixbuf* pb = pixbuf_of(handle);
  EXPECT_EQ(pixel_at(pb, 3, 3), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(pixel_at(pb, 0, 2), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(pixel_at(pb, 1, 2), (Pixel{0, 255, 255, 255})) << "the missing red byte reads as zero";
  EXPECT_EQ(pixel_at(pb, 2, 2), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(pixel_at(pb, 0, 0), (Pixel{0, 0, 0, 255}));
}

TEST_F(ImageLayer, Rle8StreamsThatLeaveTheImage) {
  Bmp desc{.width = 4, .height = 3, .bpp = 8, .compression = 1, .palette = {0x000000, 0xFFFFFF, 0xFF0000}};
  desc.pixels = {
      255, 1,                     // a run far past the right edge
      0, 0,                       // end of line
      0, 2, 250, 0,               // delta far to the right
      3, 2,                       // run entirely outside
      0, 0,                       // end of line (row 2)
      2, 2,                       // row 2: two red
      0, 7, 1, 1, 1, 1, 1, 1, 1, 0,  // absolute run of 7 crossing the edge, plus pad
      0, 2, 0, 200,               // delta above the image
      9, 1,                       // dropped
      0, 2,                       // delta cut off by the end of the file
  };
  const int64_t handle = load(ANY_NUMBER, write_file("rle_escape.bmp", make_bmp(desc)));
  ASSERT_NE(handle, 0);
  GdkPixbuf* pb = pixbuf_of(handle);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(pixel_at(pb, x, 2), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(pixel_at(pb, 0, 1), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(pixel_at(pb, 0, 0), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(pixel_at(pb, 3, 0), (Pixel{255, 255, 255, 255}));
  // A stream that starts before the file and one that never ends.
  desc.data_offset = 0xFFFFFF00;
  EXPECT_NE(load(ANY_NUMBER, write_file("rle_before.bmp", make_bmp(desc))), 0);
  desc.data_offset = -1;
  desc.pixels = Bytes(64, 0);
  desc.pixels[0] = 4;
  desc.pixels[1] = 1;
  EXPECT_NE(load(ANY_NUMBER, write_file("rle_no_end.bmp", make_bmp(desc))), 0);
}

}  // namespace

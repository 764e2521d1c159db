// BMP decoding through image_load: every converted depth, padding, RLE8, row order and the
// colour table, compared with gdk-pixbuf's own loader where the result is the ordinary one.
#include "tests/support/image_files.h"

using namespace zvd_image_test;

namespace {

const std::vector<uint32_t> kColours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFEDCBA,
                                        0x808080, 0x7F1020, 0x00A0B0, 0xC0C000, 0x102030, 0x405060,
                                        0x708090, 0xA0B0C0, 0xD0E0F0};

uint32_t pattern(int x, int y) { return uint32_t(x * 7 + y * 3 + x * y); }

struct BmpCase {
  uint16_t bpp;
  int32_t width;
};

class BmpDepth : public ImageTest, public ::testing::WithParamInterface<BmpCase> {};

// Uncompressed files of every palette-free and palette depth, at widths that need padding.
TEST_P(BmpDepth, DecodesLikeReference) {
  const BmpCase& c = GetParam();
  Bmp desc{.width = c.width, .height = 3, .bpp = c.bpp};
  if (c.bpp <= 8) {
    const size_t n = size_t(1) << c.bpp;
    for (size_t i = 0; i < n; ++i) desc.palette.push_back(i < kColours.size() ? kColours[i] : uint32_t(i * 0x010305));
  }
  desc.pixels = pack_rows(desc.width, desc.height, c.bpp, [&](int x, int y) {
    const uint32_t v = pattern(x, y);
    return c.bpp <= 8 ? v % (1u << c.bpp) : v * 0x0B1D2F;
  });
  const std::string path = write_file("depth" + std::to_string(c.bpp) + "_w" + std::to_string(c.width) + ".bmp",
                                      make_bmp(desc));
  const int64_t handle = load(ANY_NUMBER, path);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(image_depth(handle), 24);
  EXPECT_EQ(image_depth(handle, IMAGE_DEPTH_SOURCE), c.bpp);
  EXPECT_EQ(image_record_of(handle)->format, IMAGE_FORMAT_BMP);
  EXPECT_FALSE(gdk_pixbuf_get_has_alpha(pixbuf_of(handle)));
  EXPECT_TRUE(same_as_reference(pixbuf_of(handle), path, false));
  image_free(handle);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BmpDepth,
                         ::testing::Values(BmpCase{1, 1}, BmpCase{1, 9}, BmpCase{1, 33}, BmpCase{4, 1}, BmpCase{4, 3},
                                           BmpCase{4, 6}, BmpCase{8, 1}, BmpCase{8, 5}, BmpCase{8, 8},
                                           BmpCase{24, 1}, BmpCase{24, 2}, BmpCase{24, 5}, BmpCase{24, 8}, BmpCase{24, 37},
                                           BmpCase{32, 3}, BmpCase{32, 4}),
                         [](const ::testing::TestParamInfo<BmpCase>& info) {
                           return "bpp" + std::to_string(info.param.bpp) + "_width" +
                                  std::to_string(info.param.width);
                         });

class BmpDecoder : public ImageTest {};

TEST_F(BmpDecoder, OneBitFilesShowTheirOwnColours) {
  for (const auto& palette : {std::vector<uint32_t>{0xFFFFFF, 0x000000}, std::vector<uint32_t>{0x3366CC, 0xCC9933}}) {
    Bmp desc{.width = 10, .height = 2, .bpp = 1, .palette = palette};
    desc.pixels = pack_rows(10, 2, 1, [](int x, int y) { return uint32_t((x + y) & 1); });
    const std::string path = write_file("onebit.bmp", make_bmp(desc));
    const int64_t handle = load(ANY_NUMBER, path);
    ASSERT_NE(handle, 0);
    const auto rgb = [](uint32_t c) { return Pixel{int(c >> 16), int((c >> 8) & 0xFF), int(c & 0xFF), 255}; };
    EXPECT_EQ(pixel_at(pixbuf_of(handle), 0, 0), rgb(palette[0]));
    EXPECT_EQ(pixel_at(pixbuf_of(handle), 9, 0), rgb(palette[1]));
    EXPECT_TRUE(same_as_reference(pixbuf_of(handle), path, false));
    image_free(handle);
  }
}

// Colour-table entries the file does not hold: past the count, or at or after the pixel data
// (which the table rewrite must leave alone). They are black; 1-bit files fall back to black
// and white.
TEST_F(BmpDecoder, ColoursTheTableDoesNotHold) {
  const Pixel k{0, 0, 0, 255}, w{255, 255, 255, 255};
  struct Case { uint16_t bpp; std::vector<uint32_t> palette; int32_t colors_used; Bytes pixels; std::vector<Pixel> row; };
  for (const Case& c : {Case{8, {}, 0, {0x10, 0x20, 0x30, 0x40}, {k, k, k, k}},  // the table starts at the pixels
                        Case{1, {0x000000}, 1, {0xA0, 0, 0, 0}, {w, k, w, k}},   // a one-entry table
                        Case{1, {}, 0, {0xA0, 0, 0, 0}, {w, k, w, k}},           // no table at all
                        Case{4, {0xFFFFFF}, 1, {0x01, 0, 0, 0}, {w, k, w, w}}}) {  // index 1 past the count
    Bmp desc{.width = 4, .height = 1, .bpp = c.bpp, .palette = c.palette, .colors_used = c.colors_used,
             .pixels = c.pixels};
    const int64_t handle = load(ANY_NUMBER, write_file("table.bmp", make_bmp(desc)));
    ASSERT_NE(handle, 0);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixel_at(pixbuf_of(handle), x, 0), c.row[size_t(x)]) << c.bpp << " x " << x;
    image_free(handle);
  }
}

TEST_F(BmpDecoder, SixteenBitPixelsArePlainShifts) {
  struct Case {
    int32_t compression;
    uint16_t value;
    Pixel expected;
  };
  for (const Case& c : {Case{0, 0x7FFF, {248, 248, 248, 255}}, Case{0, 0x7C00, {248, 0, 0, 255}},
                        Case{0, 0x0421, {8, 8, 8, 255}}, Case{3, 0xFFFF, {248, 252, 248, 255}},
                        Case{3, 0x07E0, {0, 252, 0, 255}}, Case{3, 0x0821, {8, 4, 8, 255}}}) {
    // 6 bytes + 2 bytes of padding per row
    const Bmp desc{.width = 3, .height = 2, .bpp = 16, .compression = c.compression,
                   .pixels = pack_rows(3, 2, 16, [&](int x, int) { return x == 1 ? c.value : 0u; })};
    const int64_t handle = load(ANY_NUMBER, write_file("sixteen.bmp", make_bmp(desc)));
    ASSERT_NE(handle, 0);
    EXPECT_EQ(pixel_at(pixbuf_of(handle), 1, 1), c.expected) << "value " << c.value;
    EXPECT_EQ(pixel_at(pixbuf_of(handle), 2, 1), (Pixel{0, 0, 0, 255}));
    image_free(handle);
  }
}

TEST_F(BmpDecoder, Rle8RunsEndOfLineDeltaAndAbsoluteRuns) {
  Bmp desc{.width = 8, .height = 4, .bpp = 8, .compression = 1,
           .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  desc.pixels = {
      3, 1, 2, 2, 0, 0,           // file row 0: three red, two green, end of line
      0, 3, 4, 3, 2, 0,           // file row 1: absolute run of 3 (white, blue, green) + pad
      0, 2, 2, 1,                 // delta: x += 2, y += 1
      2, 4, 0, 0,                 // file row 2: two white at x 5, 6; end of line
      8, 3, 0, 1,                 // file row 3: eight blue; end of bitmap
  };
  const std::string path = write_file("rle8.bmp", make_bmp(desc));
  const int64_t handle = load(ANY_NUMBER, path);
  ASSERT_NE(handle, 0);
  GdkPixbuf* pb = pixbuf_of(handle);
  const Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, white{255, 255, 255, 255},
      black{0, 0, 0, 255};
  EXPECT_EQ(pixel_at(pb, 0, 3), red);
  EXPECT_EQ(pixel_at(pb, 4, 3), green);
  EXPECT_EQ(pixel_at(pb, 5, 3), black) << "pixels after an early end of line stay cleared";
  EXPECT_EQ(pixel_at(pb, 0, 2), white);
  EXPECT_EQ(pixel_at(pb, 2, 2), green);
  EXPECT_EQ(pixel_at(pb, 3, 1), black) << "pixels skipped by a delta stay cleared";
  EXPECT_EQ(pixel_at(pb, 5, 1), white);
  EXPECT_EQ(pixel_at(pb, 6, 1), white);
  EXPECT_EQ(pixel_at(pb, 7, 0), blue);
  EXPECT_TRUE(same_as_reference(pb, path, false));
  image_free(handle);
}

TEST_F(BmpDecoder, TopDownFileFailsToLoad) {
  Bmp desc{.width = 2, .height = -2, .pixels = Bytes(16, 0x55)};
  EXPECT_EQ(load(ANY_NUMBER, write_file("topdown.bmp", make_bmp(desc))), 0);
  EXPECT_EQ(decode_context()->slots[0], nullptr) << "the file data is freed";
}

TEST_F(BmpDecoder, UnconvertedFormatsLoadAsClearedPixels) {
  for (const auto& [bpp, compression] : {std::pair<uint16_t, int32_t>{4, 2}, {16, 1}, {2, 0}, {8, 3}}) {
    const Bmp desc{.width = 4, .height = 2, .bpp = bpp, .compression = compression,
                   .palette = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, .pixels = Bytes(16, bpp == 8 ? 0x01 : 0xFF)};
    const int64_t handle = load(ANY_NUMBER, write_file("unconverted.bmp", make_bmp(desc)));
    if (bpp == 8) {
      ASSERT_NE(handle, 0);  // compression 3 on 8 bits is converted as plain indices
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 0, 0), (Pixel{255, 255, 255, 255}));
    } else {
      ASSERT_NE(handle, 0) << bpp;
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 3, 1), (Pixel{0, 0, 0, 255})) << bpp;
    }
    image_free(handle);
  }
}

TEST_F(BmpDecoder, OtherFilesAreDeclinedAfterTheFileHeader) {
  const std::string png = write_file("declined.png", make_png(Png{}));
  Bytes thirteen = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Bytes reserved = make_bmp(Bmp{});
  reserved[7] = 1;
  for (const std::string& path : {png, write_file("thirteen.bmp", thirteen), write_file("reserved.bmp", reserved)}) {
    DecodeContext context{};
    context.file = fopen(path.c_str(), "rb");
    ASSERT_NE(context.file, nullptr);
    EXPECT_EQ(bmp_decoder_open(&context), 0) << path;
    for (void* slot : context.slots) EXPECT_EQ(slot, nullptr);
    fclose(context.file);
  }
  EXPECT_NE(load(ANY_NUMBER, png), 0) << "the PNG decoder still gets the file";
}

}  // namespace

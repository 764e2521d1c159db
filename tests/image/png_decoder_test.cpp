// PNG decoding through image_load: every colour type and bit depth, transparency chunks,
// interlacing and damaged files, compared with gdk-pixbuf's own loader.
#include <cstring>

#include "tests/support/image_files.h"

using namespace zvd_image_test;

namespace {

struct PngCase {
  int color_type;
  int bit_depth;
  bool trns;
  int depth;         // expected pixbuf depth
  int source_depth;  // expected file depth as reported
};

std::string case_name(const PngCase& c) {
  return "type" + std::to_string(c.color_type) + "_bits" + std::to_string(c.bit_depth) + (c.trns ? "_trns" : "");
}

class PngFormat : public ImageTest, public ::testing::WithParamInterface<PngCase> {};

// Each format decodes to the reference's pixels, with the depths of the format table.
TEST_P(PngFormat, DecodesLikeReference) {
  const PngCase& c = GetParam();
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "interlaced" : "plain");
    const Png desc{13, 7, c.color_type, c.bit_depth, interlaced, c.trns};
    const std::string path = write_file(case_name(c) + (interlaced ? "_i.png" : ".png"), make_png(desc));
    const int64_t handle = load(ANY_NUMBER, path);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(image_depth(handle), c.depth);
    EXPECT_EQ(image_depth(handle, IMAGE_DEPTH_SOURCE), c.source_depth);
    EXPECT_EQ(image_record_of(handle)->format, IMAGE_FORMAT_PNG);
    EXPECT_EQ(image_width(handle), 13);
    EXPECT_EQ(image_height(handle), 7);
    EXPECT_TRUE(same_as_reference(pixbuf_of(handle), path, true));
    if (c.trns && c.color_type != PNG_COLOR_TYPE_PALETTE) {
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 0, 0).a, 0) << "the transparent colour gets alpha 0";
      EXPECT_EQ(pixel_at(pixbuf_of(handle), 2, 0).a, 255);
    }
    image_free(handle);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllColourTypes, PngFormat,
    ::testing::Values(PngCase{0, 1, false, 24, 1}, PngCase{0, 2, false, 24, 2}, PngCase{0, 4, false, 24, 4},
                      PngCase{0, 8, false, 24, 8}, PngCase{0, 16, false, 24, 16}, PngCase{0, 1, true, 32, 1},
                      PngCase{0, 4, true, 32, 4}, PngCase{0, 8, true, 32, 8}, PngCase{0, 16, true, 32, 16},
                      PngCase{2, 8, false, 24, 24}, PngCase{2, 16, false, 24, 24}, PngCase{2, 8, true, 32, 32},
                      PngCase{2, 16, true, 32, 32}, PngCase{3, 1, false, 24, 1}, PngCase{3, 2, false, 24, 2},
                      PngCase{3, 4, false, 24, 4}, PngCase{3, 8, false, 24, 8}, PngCase{3, 1, true, 32, 32},
                      PngCase{3, 8, true, 32, 32}, PngCase{4, 8, false, 32, 8}, PngCase{4, 16, false, 32, 16},
                      PngCase{6, 8, false, 32, 32}, PngCase{6, 16, false, 32, 32}),
    [](const ::testing::TestParamInfo<PngCase>& info) { return case_name(info.param); });

class PngDecoder : public ImageTest {};

TEST_F(PngDecoder, Adam7DecodesToTheSamePixelsAsItsPlainTwin) {
  for (int type : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY}) {
    Png desc{37, 19, type, 8, false, false};
    const int64_t plain = load(ANY_NUMBER, write_file("twin_plain.png", make_png(desc)));
    desc.interlaced = true;
    const int64_t interlaced = load(ANY_NUMBER, write_file("twin_adam7.png", make_png(desc)));
    ASSERT_NE(plain, 0);
    ASSERT_NE(interlaced, 0);
    GdkPixbuf* a = pixbuf_of(plain);
    GdkPixbuf* b = pixbuf_of(interlaced);
    const size_t row = size_t(gdk_pixbuf_get_width(a)) * size_t(gdk_pixbuf_get_n_channels(a));
    for (int y = 0; y < 19; ++y) {
      EXPECT_EQ(memcmp(gdk_pixbuf_read_pixels(a) + y * gdk_pixbuf_get_rowstride(a),
                       gdk_pixbuf_read_pixels(b) + y * gdk_pixbuf_get_rowstride(b), row),
                0)
          << "row " << y << " of colour type " << type;
    }
    image_free(plain);
    image_free(interlaced);
  }
}

// CRC-32 of a chunk's type and data, to forge chunks that pass libpng's CRC test.
uint32_t chunk_crc(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TEST_F(PngDecoder, DamagedHeaderIsDeclined) {
  const Bytes good = make_png(Png{8, 8, PNG_COLOR_TYPE_RGB});
  // IHDR data starts at byte 16 (8 signature, 4 length, 4 type); its CRC follows at 29.
  Bytes bad_crc = good;
  bad_crc[20] ^= 0x40;  // height changed, CRC left as it was
  Bytes zero_width = good;
  zero_width[16] = zero_width[17] = zero_width[18] = zero_width[19] = 0;
  const uint32_t crc = chunk_crc(&zero_width[12], 17);
  for (int i = 0; i < 4; ++i) zero_width[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
  Bytes bad_type = good;
  bad_type[25] = 5;  // no such colour type
  const uint32_t crc2 = chunk_crc(&bad_type[12], 17);
  for (int i = 0; i < 4; ++i) bad_type[29 + size_t(i)] = uint8_t(crc2 >> (24 - 8 * i));
  const Bytes signature_only(good.begin(), good.begin() + 8);
  const Bytes short_signature(good.begin(), good.begin() + 5);
  for (const auto& [name, bytes] : {std::pair{"crc", bad_crc}, {"zero_width", zero_width}, {"bad_type", bad_type},
                                    {"signature_only", signature_only}, {"short", short_signature}}) {
    EXPECT_EQ(load(3, write_file(std::string("damaged_") + name + ".png", bytes)), 0) << name;
    EXPECT_EQ(image_pixbuf(3), nullptr) << name;
  }
}

TEST_F(PngDecoder, FileCutOffInsideImageDataFailsAndLeavesNoImage) {
  Png desc{64, 64, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false};
  const Bytes whole = make_png(desc);
  const Bytes cut(whole.begin(), whole.begin() + ptrdiff_t(whole.size() / 2));
  ASSERT_NE(load(4, write_file("whole.png", whole)), 0);
  EXPECT_EQ(load(4, write_file("cut.png", cut)), 0);
  EXPECT_EQ(image_pixbuf(4), nullptr) << "the failed load leaves the number empty";
  desc.interlaced = true;
  const Bytes whole_i = make_png(desc);
  EXPECT_EQ(load(ANY_NUMBER, write_file("cut_i.png", Bytes(whole_i.begin(), whole_i.end() - 40))), 0);
  DecodeContext* context = decode_context();
  EXPECT_EQ(context->file, nullptr);
  EXPECT_EQ(context->decoder, nullptr);
  EXPECT_EQ(context->slots[0], nullptr);
}

}  // namespace

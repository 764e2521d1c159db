// SPDX-License-Identifier: MIT
// PNG decoder over libpng's classic sequential read interface. libpng reports errors by
// longjmp to the setjmp of the operation in progress; the functions that call setjmp do
// nothing else, and the work runs in separate functions whose frames the jump discards.
// Everything the error path needs is read from the DecodeContext, never from locals.
#include "runtime/image/png_decoder.h"

#include <png.h>

#include <csetjmp>

namespace {

// Slots of the DecodeContext this decoder uses.
constexpr int SLOT_PNG = 0;   // png_structp
constexpr int SLOT_INFO = 1;  // png_infop, null until created
constexpr int SIGNATURE_BYTES = 8;

bool g_registered = false;

// Warnings (benign problems in ancillary chunks) are discarded; decoding goes on.
void png_ignore_warning(png_structp, png_const_charp) {}

// Errors return through the operation's setjmp without printing anything.
[[noreturn]] void png_silent_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void destroy_structs(DecodeContext* context) {
  auto png = static_cast<png_structp>(context->slots[SLOT_PNG]);
  auto info = static_cast<png_infop>(context->slots[SLOT_INFO]);
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  context->slots[SLOT_PNG] = nullptr;
  context->slots[SLOT_INFO] = nullptr;
}

// Bits per pixel of the file's own format as reported to the image layer.
int32_t source_depth_of(int color_type, int bit_depth, bool has_trns) {
  switch (color_type) {
    case PNG_COLOR_TYPE_RGB: return has_trns ? 32 : 24;
    case PNG_COLOR_TYPE_PALETTE: return has_trns ? 32 : bit_depth;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 32;
    default: return bit_depth;  // grey and grey + alpha
  }
}

// Reads the header chunks, requests the transformations and fills the context.
// Returns 1 when the output is 8-bit RGB or RGBA; a libpng error longjmps out of it.
int open_body(DecodeContext* context) {
  auto png = static_cast<png_structp>(context->slots[SLOT_PNG]);
  png_set_error_fn(png, png_get_error_ptr(png), png_silent_error, png_ignore_warning);
  png_init_io(png, context->file);
  png_set_sig_bytes(png, SIGNATURE_BYTES);
  png_infop info = png_create_info_struct(png);
  context->slots[SLOT_INFO] = info;
  if (!info) return 0;
  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int color_type = 0;
  int interlace = 0;
  int compression = 0;
  int filter = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, &interlace, &compression, &filter);
  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (has_trns) png_set_tRNS_to_alpha(png);
  const bool grey_or_palette = color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_PALETTE ||
                               color_type == PNG_COLOR_TYPE_GRAY_ALPHA;
  if (grey_or_palette && bit_depth < 8) png_set_expand(png);
  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (bit_depth == 16) png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  png_uint_32 out_width = 0;
  png_uint_32 out_height = 0;
  int out_depth = 0;
  int out_type = 0;
  png_get_IHDR(png, info, &out_width, &out_height, &out_depth, &out_type, &interlace, &compression, &filter);
  const int32_t depth = out_type == PNG_COLOR_TYPE_RGB ? 24 : 32;
  // The rows must match the layer's layout exactly, or they would not fit its buffer.
  const png_byte channels = png_get_channels(png, info);
  if (out_depth != 8 || channels != depth / 8 || png_get_rowbytes(png, info) != size_t{out_width} * channels) {
    return 0;
  }
  context->width = static_cast<int32_t>(out_width);
  context->height = static_cast<int32_t>(out_height);
  context->depth = depth;
  context->source_depth = source_depth_of(color_type, bit_depth, has_trns);
  return 1;
}

// Decodes every pass of every row; each pass puts its pixels at their final places.
void read_body(DecodeContext* context, uint8_t* buffer, int stride) {
  auto png = static_cast<png_structp>(context->slots[SLOT_PNG]);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    png_bytep row = buffer;
    for (int32_t y = 0; y < context->height; ++y) {
      png_read_rows(png, &row, nullptr, 1);
      row += stride;
    }
  }
}

const ImageDecoder PNG_DECODER = {png_decoder_open, png_decoder_read, png_decoder_close, IMAGE_FORMAT_PNG};

}  // namespace

const ImageDecoder* png_decoder() { return &PNG_DECODER; }

void png_decoder_register() {
  if (g_registered) return;
  decoder_register(&PNG_DECODER);
  g_registered = true;
}

int png_decoder_open(DecodeContext* context) {
  png_byte signature[SIGNATURE_BYTES];
  if (fread(signature, 1, SIGNATURE_BYTES, context->file) != SIGNATURE_BYTES) return 0;
  if (png_sig_cmp(signature, 0, SIGNATURE_BYTES) != 0) return 0;
  context->slots[SLOT_PNG] = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_silent_error, png_ignore_warning);
  context->slots[SLOT_INFO] = nullptr;
  if (!context->slots[SLOT_PNG]) return 0;
  auto png = static_cast<png_structp>(context->slots[SLOT_PNG]);
  if (setjmp(*png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)))) {
    destroy_structs(decode_context());
    return 0;
  }
  if (!open_body(context)) {
    destroy_structs(context);
    return 0;
  }
  return 1;
}

int png_decoder_read(DecodeContext* context, uint8_t* buffer, int stride) {
  auto png = static_cast<png_structp>(context->slots[SLOT_PNG]);
  if (!png) return 0;
  if (setjmp(*png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)))) return 0;
  read_body(context, buffer, stride);
  return 1;
}

void png_decoder_close(DecodeContext* context) { destroy_structs(context); }

// SPDX-License-Identifier: MIT
// Fuzz target: the BMP decoder on arbitrary bytes, opened from memory and, when it accepts,
// decoded into a pixel buffer of the layout the image layer would allocate.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime/image/bmp_decoder.h"
#include "runtime/image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Huge buffers cost the sanitizers far more than the decoder; 64 MiB still reaches every
  // clipping path, since the limit only decides whether a load is refused.
  static const bool limited = (image_set_buffer_limit(int64_t{64} << 20), true);
  (void)limited;
  if (size == 0) return 0;
  DecodeContext context{};
  context.file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!context.file) return 0;
  if (bmp_decoder_open(&context)) {
    int32_t stride = 0;
    int64_t bytes = 0;
    if (image_buffer_layout(context.width, context.height, context.depth, &stride, &bytes)) {
      auto* buffer = static_cast<uint8_t*>(calloc(static_cast<size_t>(bytes), 1));
      if (buffer) bmp_decoder_read(&context, buffer, stride);
      free(buffer);
    }
    bmp_decoder_close(&context);
  }
  fclose(context.file);
  return 0;
}

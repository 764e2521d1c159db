// SPDX-License-Identifier: MIT
// Fuzz target: image_load on arbitrary bytes through every registered decoder. The bytes
// are written to an in-memory file, which image_load opens by its /proc path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/image/bmp_decoder.h"
#include "runtime/image/image.h"
#include "runtime/image/png_decoder.h"

namespace {

// The decoders and the image registry, started as the program does but without a display.
int start() {
  decode_context_init();
  bmp_decoder_register();
  image_init();
  png_decoder_register();
  // Huge buffers cost the sanitizers far more than the decoders; 64 MiB still reaches every
  // clipping path, since the limit only decides whether a load is refused.
  image_set_buffer_limit(int64_t{64} << 20);
  return memfd_create("zvd-image-fuzz", 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = start();
  static const std::u16string path = [] {
    const std::string p = "/proc/self/fd/" + std::to_string(fd);
    return std::u16string(p.begin(), p.end());
  }();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  // Under a number and as a dynamic image, so that both record kinds are released.
  if (image_load(1, path.c_str()) != 0) {
    image_width(1);
    image_depth(1, IMAGE_DEPTH_SOURCE);
  }
  const int64_t handle = image_load(ANY_NUMBER, path.c_str());
  if (handle != 0) image_free(handle);
  image_free(ANY_NUMBER);
  return 0;
}

// SPDX-License-Identifier: MIT
// Image objects: files decoded through a table of decoders into GdkPixbufs, named by number
// or by handle in the image registry.
#pragma once

#include <cstdint>
#include <cstdio>

#include "runtime/gui/registry.h"
#include "runtime/strings/ustring.h"

// decode_context_init: empty the decoder table and register the per-thread DecodeContext.
// decoder_register: append a decoder to the table that image_load tries in order.
// image_init: create the image registry and the hidden 10x10 toolkit window.
// image_load: decode a file into an image; ANY_NUMBER -> handle, number -> pixbuf; 0 on failure.
// image_pixbuf: the image's GdkPixbuf, or null.
// image_width/image_height: the image's size in pixels, or 0 when there is no such image.
// image_depth: bits per pixel of the pixbuf (mode IMAGE_DEPTH_SOURCE: of the file), or 0.
// image_larger_pixbuf: the twice-size variant of the image showing pixbuf (its file name with
//   "@2x" before the extension), loaded on first request and kept with the image; null if none.
// image_free: free one image (ANY_NUMBER: every image).
// image_shutdown: free every image and destroy the hidden window.
// --- Used by the decoders and the tests ---------------------------------------------------
// decode_context: the calling thread's DecodeContext.
// image_registry: the image registry (null before image_init).
// image_hidden_window: the hidden GdkWindow (null before image_init / after image_shutdown).
// image_buffer_layout: row stride and pixel-buffer size for a decoded image; false if refused.
// image_set_buffer_limit: lower the largest image (row stride x height bytes) a load accepts (at most the default).
// image_alloc_zeroed: a zero-filled malloc block (free with free), backed by huge pages when large.

constexpr int32_t IMAGE_FORMAT_BMP = 0x504D42;  // "BMP" as a little-endian integer
constexpr int32_t IMAGE_FORMAT_PNG = 0x474E50;  // "PNG"
constexpr int32_t IMAGE_DEPTH_SOURCE = -2;
constexpr int32_t DECODER_TABLE_SIZE = 30;
constexpr int32_t DECODE_SLOT_COUNT = 8;
// Largest image, in bytes of its rows (row stride x height), a load accepts; bigger images fail
// to load. The pixel buffer holds one spare row beyond this.
constexpr int64_t IMAGE_MAX_BUFFER_BYTES = int64_t{1} << 30;

struct DecodeContext;

// One decoder: a static table of operations and the tag stored in the images it decodes.
struct ImageDecoder {
  int (*open)(DecodeContext* context);  // accept (non-zero, context filled) or decline (0)
  int (*read)(DecodeContext* context, uint8_t* buffer, int stride);  // rows top first
  void (*close)(DecodeContext* context);  // release the decoder's own state
  int32_t tag;
};

// The state of one load in progress; one per thread, cleared at the start of every load.
struct DecodeContext {
  const ImageDecoder* decoder;
  const char* path;  // UTF-8, owned by image_load
  FILE* file;
  int32_t width;
  int32_t height;
  int32_t depth;  // 24 (RGB) or 32 (RGBA)
  void* slots[DECODE_SLOT_COUNT];  // the accepting decoder's own state
  int32_t source_depth;
  int32_t frame_count;
  int32_t frame_delay;
};

// One image; owned by the image registry. The pixbuf is the liveness field.
struct ImageRecord {
  void* pixbuf;  // GdkPixbuf*, one reference held
  int32_t width;  // full 32-bit size, so sizes above 32767 are reported truthfully
  int32_t height;
  int16_t depth;
  int16_t source_depth;
  int32_t format;
  int32_t frame_count;
  void* frames;
  int32_t frame_delay;
  char* path;     // UTF-8 file name, malloc'ed: where the twice-size variant is looked for
  void* larger;   // GdkPixbuf* of that variant once loaded (one reference held), or null
  bool larger_tried;
};

void decode_context_init();
void decoder_register(const ImageDecoder* decoder);
void image_init();
int64_t image_load(ObjectValue value, UString path, int flags = 0);
void* image_pixbuf(ObjectValue value);
int64_t image_width(ObjectValue value);
int64_t image_height(ObjectValue value);
int64_t image_depth(ObjectValue value, int mode = 0);
void* image_larger_pixbuf(void* pixbuf);
void image_free(ObjectValue value);
void image_shutdown();

DecodeContext* decode_context();
ObjectRegistry* image_registry();
void* image_hidden_window();
bool image_buffer_layout(int32_t width, int32_t height, int32_t depth, int32_t* stride, int64_t* size);
void image_set_buffer_limit(int64_t bytes);
void* image_alloc_zeroed(size_t size);

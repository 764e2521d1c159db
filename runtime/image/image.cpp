// SPDX-License-Identifier: MIT
// Image objects and loading: the decoder table, the per-thread decode context, the image
// registry and the conversion of decoded rows into GdkPixbufs.
#include "runtime/image/image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/image/byte_reader.h"

namespace {

const ImageDecoder* g_decoders[DECODER_TABLE_SIZE];
int32_t g_decoder_count = 0;
int64_t g_context_offset = -1;
ObjectRegistry* g_images = nullptr;
GdkWindow* g_hidden_window = nullptr;
int64_t g_buffer_limit = IMAGE_MAX_BUFFER_BYTES;

// Destroy notification of every loaded pixbuf: the pixbuf owns its malloc'ed pixel buffer.
void pixel_buffer_free(guchar* pixels, gpointer) { free(pixels); }

// Closes the accepting decoder and the file; every successful decoder_open_file ends here.
void decoder_finish() {
  DecodeContext* context = decode_context();
  if (context->decoder) context->decoder->close(context);
  context->decoder = nullptr;
  if (context->file) fclose(context->file);
  context->file = nullptr;
}

// Opens the file and offers it to each decoder in registration order; the tag of the first
// that accepts it, with the file left open, or 0 with nothing left open.
int32_t decoder_open_file(const char* path) {
  DecodeContext* context = decode_context();
  if (!context) return 0;
  memset(context, 0, sizeof *context);
  context->path = path;
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  context->file = file;
  for (int32_t i = 0; i < g_decoder_count; ++i) {
    const ImageDecoder* decoder = g_decoders[i];
    if (fseek(file, 0, SEEK_SET) != 0) break;
    if (decoder->open(context)) {
      context->decoder = decoder;
      if (decoder->tag != 0) return decoder->tag;
      decoder_finish();
      return 0;
    }
  }
  fclose(file);
  context->file = nullptr;
  return 0;
}

int decoder_read_pixels(uint8_t* buffer, int stride) {
  DecodeContext* context = decode_context();
  return context->decoder->read(context, buffer, stride);
}

// Decodes the accepted file into a new pixbuf and fills the record; null on any failure.
// The decoder and the file are closed on every path.
GdkPixbuf* image_make_pixbuf(ImageRecord* record, int32_t width, int32_t height, int32_t tag) {
  DecodeContext* context = decode_context();
  GdkPixbuf* result = nullptr;
  const int32_t depth = context->depth;
  int32_t stride = 0;
  int64_t size = 0;
  if (image_buffer_layout(width, height, depth, &stride, &size)) {
    // Cleared, so pixels that no decoder writes are black (or transparent), never old heap.
    auto* buffer = static_cast<uint8_t*>(image_alloc_zeroed(static_cast<size_t>(size)));
    if (buffer) {
      GdkPixbuf* pixbuf = nullptr;
      if (decoder_read_pixels(buffer, stride)) {
        pixbuf = gdk_pixbuf_new_from_data(buffer, GDK_COLORSPACE_RGB, depth == 32, 8, width, height,
                                          stride, pixel_buffer_free, nullptr);
      }
      if (pixbuf) {
        record->pixbuf = pixbuf;
        record->width = width;
        record->height = height;
        record->depth = static_cast<int16_t>(depth);
        record->source_depth = static_cast<int16_t>(context->source_depth);
        record->format = tag;
        record->frame_count = context->frame_count;
        record->frame_delay = 0;
        record->frames = nullptr;
        result = pixbuf;
      } else {
        free(buffer);
      }
    }
  }
  decoder_finish();
  return result;
}

ImageRecord* live_record(ObjectValue value) {
  if (!g_images) return nullptr;
  return static_cast<ImageRecord*>(obj_get(g_images, value));
}

}  // namespace

void decode_context_init() {
  g_decoder_count = 0;
  // The segment is registered once per process even if start-up runs again.
  if (g_context_offset < 0) g_context_offset = tls_register_segment(sizeof(DecodeContext), nullptr, nullptr);
}

void decoder_register(const ImageDecoder* decoder) {
  if (!decoder || g_decoder_count >= DECODER_TABLE_SIZE) return;
  g_decoders[g_decoder_count++] = decoder;
}

DecodeContext* decode_context() {
  if (g_context_offset < 0) return nullptr;
  return static_cast<DecodeContext*>(tls_segment(g_context_offset));
}

ObjectRegistry* image_registry() { return g_images; }

void* image_hidden_window() { return g_hidden_window; }

bool image_buffer_layout(int32_t width, int32_t height, int32_t depth, int32_t* stride, int64_t* size) {
  if (width <= 0 || height <= 0 || (depth != 24 && depth != 32)) return false;
  const int64_t w = width;
  // 24-bit rows are padded to a multiple of 4 bytes: 3w + (w mod 4) is exactly that.
  const int64_t row = depth == 32 ? 4 * w : 3 * w + w % 4;
  if (row > INT32_MAX) return false;
  int64_t bytes = 0;
  // The limit applies to the image's own rows; the buffer holds one spare row beyond them.
  if (!checked_mul<int64_t>(row, int64_t{height}, &bytes) || bytes > g_buffer_limit) return false;
  bytes += row;
  *stride = static_cast<int32_t>(row);
  *size = bytes;
  return true;
}

void* image_alloc_zeroed(size_t size) {
  void* block = calloc(size, 1);
  // A large block is a fresh mapping that is filled once, front to back; asking for huge
  // pages turns thousands of page faults into a few dozen. Only a hint: failure is harmless.
  constexpr size_t HUGE_HINT_MIN = size_t{4} << 20;
  if (block && size >= HUGE_HINT_MIN) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + page - 1) / page * page;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) / page * page;
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
  return block;
}

void image_set_buffer_limit(int64_t bytes) {
  g_buffer_limit = bytes > 0 && bytes < IMAGE_MAX_BUFFER_BYTES ? bytes : IMAGE_MAX_BUFFER_BYTES;
}

void image_init() {
  if (!g_images) g_images = obj_registry_new(sizeof(ImageRecord), 16, image_free);
  if (!g_hidden_window && gdk_display_get_default()) {
    GdkWindowAttr attributes{};
    attributes.width = 10;
    attributes.height = 10;
    attributes.wclass = GDK_INPUT_OUTPUT;
    attributes.window_type = GDK_WINDOW_TOPLEVEL;
    g_hidden_window = gdk_window_new(nullptr, &attributes, 0);
  }
}

int64_t image_load(ObjectValue value, UString path, int /*flags*/) {
  if (!g_images) return 0;
  char* utf8 = ustr_to_utf8_malloc(path);
  if (!utf8) return 0;
  auto* record = static_cast<ImageRecord*>(obj_allocate(g_images, value));
  if (!record) {
    free(utf8);
    return 0;
  }
  const ObjectValue name = value == ANY_NUMBER ? reinterpret_cast<ObjectValue>(record) : value;
  GdkPixbuf* pixbuf = nullptr;
  const int32_t tag = decoder_open_file(utf8);
  if (tag != 0) {
    DecodeContext* context = decode_context();
    pixbuf = image_make_pixbuf(record, context->width, context->height, tag);
  }
  if (DecodeContext* context = decode_context()) context->path = nullptr;
  if (!pixbuf) {
    free(utf8);
    obj_release(g_images, name);
    return 0;
  }
  record->path = utf8;
  return value == ANY_NUMBER ? name : reinterpret_cast<int64_t>(pixbuf);
}

void* image_pixbuf(ObjectValue value) {
  ImageRecord* record = live_record(value);
  return record ? record->pixbuf : nullptr;
}

int64_t image_width(ObjectValue value) {
  ImageRecord* record = live_record(value);
  return record ? record->width : 0;
}

int64_t image_height(ObjectValue value) {
  ImageRecord* record = live_record(value);
  return record ? record->height : 0;
}

int64_t image_depth(ObjectValue value, int mode) {
  ImageRecord* record = live_record(value);
  if (!record) return 0;
  return mode == IMAGE_DEPTH_SOURCE ? record->source_depth : record->depth;
}

void* image_larger_pixbuf(void* pixbuf) {
  if (!g_images || !pixbuf) return nullptr;
  ImageRecord* record = nullptr;
  obj_enum_begin(g_images);
  ObjectValue value = 0;
  while (auto* r = static_cast<ImageRecord*>(obj_enum_next(g_images, &value)))
    if (r->pixbuf == pixbuf) record = r;
  if (!record || !record->path || record->larger_tried) return record ? record->larger : nullptr;
  record->larger_tried = true;
  // "name.png" -> "name@2x.png"; a name without an extension gets "@2x" at its end.
  const char* dot = strrchr(record->path, '.');
  const char* slash = strrchr(record->path, '/');
  const size_t stem = dot && (!slash || dot > slash) ? size_t(dot - record->path) : strlen(record->path);
  char* path = g_strdup_printf("%.*s@2x%s", int(stem), record->path, record->path + stem);
  ImageRecord larger{};
  const int32_t tag = decoder_open_file(path);
  if (tag != 0) image_make_pixbuf(&larger, decode_context()->width, decode_context()->height, tag);
  if (DecodeContext* context = decode_context()) context->path = nullptr;
  g_free(path);
  // Only an exact double fits where the picture is drawn at twice its size.
  if (larger.pixbuf && (larger.width != 2 * record->width || larger.height != 2 * record->height)) {
    g_object_unref(larger.pixbuf);
    larger.pixbuf = nullptr;
  }
  record->larger = larger.pixbuf;
  return record->larger;
}

void image_free(ObjectValue value) {
  if (!g_images) return;
  if (value == ANY_NUMBER) {
    obj_free_all(g_images);
    return;
  }
  ImageRecord* record = live_record(value);
  if (!record) return;
  g_object_unref(record->pixbuf);
  if (record->larger) g_object_unref(record->larger);
  free(record->path);
  obj_release(g_images, value);
}

void image_shutdown() {
  if (g_images) obj_free_all(g_images);
  if (g_hidden_window) gdk_window_destroy(g_hidden_window);
  g_hidden_window = nullptr;
}

// SPDX-License-Identifier: MIT
// BMP decoder. The whole file is read into one buffer, then converted row by row straight
// into the destination. Every read of file data goes through ByteReader (bytes outside the
// file read as zero) and every write is clipped to the image, so hostile headers, offsets,
// colour tables and run-length streams cannot reach outside either buffer. One exception:
// the rows of a plain 24-bit file that lie wholly inside it are left in the file by open and
// read in pieces through a small buffer by read, which converts each piece while it is still
// in the cache (a large picture then costs one pass over memory instead of three).
#include "runtime/image/bmp_decoder.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "runtime/image/byte_reader.h"

namespace {

constexpr int64_t FILE_HEADER_SIZE = 14;
constexpr uint16_t BMP_SIGNATURE = 0x4D42;  // "BM"

// Slots of the DecodeContext this decoder uses.
constexpr int SLOT_DATA = 0;    // the file data buffer, owned by the decoder
constexpr int SLOT_HEADER = 1;  // the same buffer, read as the headers
constexpr int SLOT_SIZE = 2;    // the buffer's size in bytes
constexpr int SLOT_STREAM = 3;  // non-null: the pixel rows are still in the file (24-bit)

constexpr int64_t INFO_HEADER_END = 54;       // file header and a 40-byte info header
constexpr int64_t STREAM_PIECE = 128 * 1024;  // bytes of rows read and converted at a time

struct BmpHeader {
  int32_t data_offset;
  int32_t info_size;
  int32_t width;
  int32_t height;
  uint16_t bpp;
  int32_t compression;
  int32_t colors_used;
};

struct Rgb {
  uint8_t r, g, b;
};

BmpHeader read_header(const ByteReader& file) {
  BmpHeader h;
  h.data_offset = file.i32le(10);
  h.info_size = file.i32le(14);
  h.width = file.i32le(18);
  h.height = file.i32le(22);
  h.bpp = file.u16le(28);
  h.compression = file.i32le(30);
  h.colors_used = file.i32le(46);
  return h;
}

// Rewrites the colour table in place from blue, green, red, reserved to red, green, blue, 0,
// then fills the lookup table of all 2^bpp indices from it. The table holds the entries that
// the count names, up to 2^bpp (no index reaches further), that lie wholly inside the file and
// end at or before the start of pixel data: the rewrite never alters pixels, and pixel bytes
// are never read as colours. Indices the table does not hold are black, except that a 1-bit
// file falls back to black and white.
void load_colour_table(uint8_t* data, const ByteReader& file, const BmpHeader& h, Rgb* palette) {
  const int64_t start = FILE_HEADER_SIZE + int64_t{h.info_size};
  const int64_t limit = int64_t{1} << h.bpp;
  int64_t count = h.colors_used > 0 ? h.colors_used : (h.colors_used == 0 ? limit : 0);
  if (count > limit) count = limit;
  const int64_t end = h.data_offset < file.size ? int64_t{h.data_offset} : file.size;
  for (int64_t i = 0; i < limit; ++i) palette[i] = Rgb{0, 0, 0};
  if (h.bpp == 1) palette[1] = Rgb{255, 255, 255};
  for (int64_t i = 0; i < count; ++i) {
    const int64_t at = start + 4 * i;
    if (at + 4 > end) break;
    if (at < 0) continue;
    uint8_t* entry = data + at;
    const uint8_t blue = entry[0];
    entry[0] = entry[2];
    entry[2] = blue;
    entry[3] = 0;
    palette[i] = Rgb{entry[0], entry[1], entry[2]};
  }
}

inline void put(uint8_t* d, Rgb c) {
  d[0] = c.r;
  d[1] = c.g;
  d[2] = c.b;
}

// A source row that lies only partly inside the file: missing bytes read as zero.
struct ClippedRow {
  const ByteReader* file;
  int64_t base;
  uint8_t operator[](int64_t i) const { return file->u8(base + i); }
};

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

inline void store32(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

// 24-bit rows straight from the file, four pixels (12 bytes) per step, reordered from
// blue, green, red to red, green, blue in three 32-bit words (byte order is little-endian).
void convert_bgr24_words(const uint8_t* s, uint8_t* d, int64_t w) {
  int64_t x = 0;
  for (; x + 4 <= w; x += 4, s += 12, d += 12) {
    const uint32_t a = load32(s);      // B0 G0 R0 B1
    const uint32_t b = load32(s + 4);  // G1 R1 B2 G2
    const uint32_t c = load32(s + 8);  // R2 B3 G3 R3
    store32(d, ((a >> 16) & 0xFF) | (a & 0xFF00) | ((a & 0xFF) << 16) | (((b >> 8) & 0xFF) << 24));
    store32(d + 4, (b & 0xFF) | ((a >> 24) << 8) | ((c & 0xFF) << 16) | (b & 0xFF000000u));
    store32(d + 8, ((b >> 16) & 0xFF) | ((c >> 24) << 8) | (c & 0xFF0000) | (((c >> 8) & 0xFF) << 24));
  }
  for (; x < w; ++x, s += 3, d += 3) {
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
  }
}

#if defined(__x86_64__)
// The same with byte shuffles: sixteen pixels (48 bytes, three vectors) per step. Output byte
// i takes source byte 3 * (i / 3) + 2 - i % 3; each output vector gathers its bytes from at
// most three source vectors (-1 selects nothing). Loads and stores stay inside the 48 bytes.
__attribute__((target("ssse3"))) void convert_bgr24_ssse3(const uint8_t* s, uint8_t* d, int64_t w) {
  const __m128i a0 = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, -1);
  const __m128i b0 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1);
  const __m128i a1 = _mm_setr_epi8(-1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i b1 = _mm_setr_epi8(0, -1, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, -1, 15);
  const __m128i c1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1);
  const __m128i b2 = _mm_setr_epi8(14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i c2 = _mm_setr_epi8(-1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
  int64_t x = 0;
  for (; x + 16 <= w; x += 16, s += 48, d += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
    const __m128i d0 = _mm_or_si128(_mm_shuffle_epi8(a, a0), _mm_shuffle_epi8(b, b0));
    const __m128i d1 =
        _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, a1), _mm_shuffle_epi8(b, b1)), _mm_shuffle_epi8(c, c1));
    const __m128i d2 = _mm_or_si128(_mm_shuffle_epi8(b, b2), _mm_shuffle_epi8(c, c2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), d0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), d1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), d2);
  }
  convert_bgr24_words(s, d, w - x);
}

bool has_ssse3() {
  static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
  return has;
}
#endif

void convert_bgr24(const uint8_t* s, uint8_t* d, int64_t w) {
#if defined(__x86_64__)
  if (has_ssse3()) {
    convert_bgr24_ssse3(s, d, w);
    return;
  }
#endif
  convert_bgr24_words(s, d, w);
}

// Converts one uncompressed source row of w pixels into 3-byte RGB destination pixels.
// Src is a raw pointer for rows inside the file, ClippedRow otherwise.
template <typename Src>
void convert_row(const Src& s, uint8_t* d, int64_t w, const BmpHeader& h, const Rgb* palette) {
  switch (h.bpp) {
    case 1:
      for (int64_t x = 0; x < w; ++x) put(d + 3 * x, palette[(s[x >> 3] >> (7 - (x & 7))) & 1]);
      break;
    case 4:
      for (int64_t x = 0; x < w; ++x) {
        const uint8_t byte = s[x >> 1];
        put(d + 3 * x, palette[(x & 1) ? (byte & 0x0F) : (byte >> 4)]);
      }
      break;
    case 8:
      for (int64_t x = 0; x < w; ++x) put(d + 3 * x, palette[s[x]]);
      break;
    case 16:
      for (int64_t x = 0; x < w; ++x) {
        const unsigned v = s[2 * x] | (s[2 * x + 1] << 8);
        if (h.compression == 0) {
          put(d + 3 * x, Rgb{uint8_t(((v >> 10) & 31) << 3), uint8_t(((v >> 5) & 31) << 3), uint8_t((v & 31) << 3)});
        } else {
          put(d + 3 * x, Rgb{uint8_t(((v >> 11) & 31) << 3), uint8_t(((v >> 5) & 63) << 2), uint8_t((v & 31) << 3)});
        }
      }
      break;
    case 24:
      for (int64_t x = 0; x < w; ++x) {
        d[3 * x] = s[3 * x + 2];
        d[3 * x + 1] = s[3 * x + 1];
        d[3 * x + 2] = s[3 * x];
      }
      break;
    case 32:
      for (int64_t x = 0; x < w; ++x) {
        d[3 * x] = s[4 * x + 2];
        d[3 * x + 1] = s[4 * x + 1];
        d[3 * x + 2] = s[4 * x];
      }
      break;
    default:
      break;
  }
}

// Bytes of pixel data in one source row before padding, or 0 for formats not converted.
int64_t used_row_bytes(const BmpHeader& h, int64_t w) {
  switch (h.bpp) {
    case 1: return (w + 7) / 8;
    case 4: return h.compression == 2 ? 0 : (w + 1) / 2;
    case 8: return h.compression == 1 ? 0 : w;
    case 16: return (h.compression == 0 || h.compression == 3) ? 2 * w : 0;
    case 24: return 3 * w;
    case 32: return 4 * w;
    default: return 0;
  }
}

void convert_rows(const ByteReader& file, const BmpHeader& h, uint8_t* buffer, int64_t stride,
                  int64_t w, int64_t height, const Rgb* palette) {
  const int64_t used = used_row_bytes(h, w);
  if (used == 0) return;
  const int64_t row_bytes = (used + 3) / 4 * 4;
  const int64_t bits = h.bpp;
  // Rows that end before the file starts are skipped without visiting them.
  const int64_t before = -int64_t{h.data_offset} - used;
  for (int64_t i = before >= 0 ? before / row_bytes + 1 : 0; i < height; ++i) {
    const int64_t offset = int64_t{h.data_offset} + i * row_bytes;
    // Later rows start further on, so once past the end nothing more is in the file.
    // Pixels whose bytes all lie outside the file are not written and stay as cleared,
    // so a small file that claims a huge image does not touch the whole buffer.
    if (offset >= file.size) break;
    uint8_t* d = buffer + (height - 1 - i) * stride;
    if (const uint8_t* s = file.range(offset, used)) {
      if (h.bpp == 24) {
        convert_bgr24(s, d, w);
      } else {
        convert_row(s, d, w, h, palette);
      }
    } else {
      const int64_t present = (file.size - offset) * 8;  // bits from the row start to the file end
      const int64_t pixels = (present + bits - 1) / bits;
      convert_row(ClippedRow{&file, offset}, d, pixels < w ? pixels : w, h, palette);
    }
  }
}

// Run-length-encoded 8-bit pixels. y counts source rows from the bottom; writes outside
// the image are dropped, and the stream ends at the end of the file data.
void decode_rle8(const ByteReader& file, const BmpHeader& h, uint8_t* buffer, int64_t stride,
                 int64_t w, int64_t height, const Rgb* palette) {
  int64_t pos = h.data_offset;
  int64_t x = 0;
  int64_t y = 0;
  auto row_of = [&](int64_t yy) { return buffer + (height - 1 - yy) * stride; };
  if (pos < 0) {
    // Bytes before the file read as zero, so each whole pair there is an end of line.
    const int64_t pairs = -pos / 2;
    y += pairs;
    pos += 2 * pairs;
  }
  while (y < height && pos < file.size) {
    const uint8_t n = file.u8(pos);
    const uint8_t v = file.u8(pos + 1);
    pos += 2;
    if (n > 0) {
      if (y >= 0 && x < w) {
        uint8_t* d = row_of(y);
        const int64_t end = x + n < w ? x + n : w;
        for (int64_t k = x; k < end; ++k) put(d + 3 * k, palette[v]);
      }
      x += n;
    } else if (v == 0) {
      ++y;
      x = 0;
    } else if (v == 1) {
      break;
    } else if (v == 2) {
      x += file.u8(pos);
      y += file.u8(pos + 1);
      pos += 2;
    } else {
      if (y >= 0 && x < w) {
        uint8_t* d = row_of(y);
        const int64_t end = x + v < w ? x + v : w;
        for (int64_t k = x; k < end; ++k) put(d + 3 * k, palette[file.u8(pos + (k - x))]);
      }
      x += v;
      pos += v + (v & 1);
    }
  }
}

// Whether the pixel rows can be read from the file by bmp_decoder_read: uncompressed 24-bit
// bottom-up rows behind a full info header, every one of them wholly inside the file.
bool streamable(const BmpHeader& h, int64_t size) {
  if (h.info_size < 40 || h.bpp != 24 || h.compression != 0 || h.width <= 0 || h.height <= 0) return false;
  if (h.data_offset < INFO_HEADER_END || h.data_offset > size) return false;
  const int64_t row_bytes = (3 * int64_t{h.width} + 3) / 4 * 4;
  return int64_t{h.height} <= (size - h.data_offset) / row_bytes;
}

// Reads the rows of a streamable file (see above) in pieces and converts them; rows that
// can no longer be read (the file shrank since it was opened) stay as cleared.
void stream_rows(FILE* file, const BmpHeader& h, uint8_t* buffer, int64_t stride, int64_t w, int64_t height) {
  const int64_t row_bytes = (3 * w + 3) / 4 * 4;
  const int64_t rows_per_piece = STREAM_PIECE / row_bytes > 0 ? STREAM_PIECE / row_bytes : 1;
  auto* piece = static_cast<uint8_t*>(malloc(static_cast<size_t>(rows_per_piece * row_bytes)));
  if (!piece || fseek(file, h.data_offset, SEEK_SET) != 0) {
    free(piece);
    return;
  }
  for (int64_t i = 0; i < height;) {
    const int64_t want = (height - i < rows_per_piece ? height - i : rows_per_piece) * row_bytes;
    const auto got = static_cast<int64_t>(fread(piece, 1, static_cast<size_t>(want), file));
    int64_t rows = got / row_bytes;
    if (got % row_bytes != 0) {  // a last, partial row: its missing bytes read as zero
      memset(piece + got, 0, static_cast<size_t>(row_bytes - got % row_bytes));
      ++rows;
    }
    for (int64_t r = 0; r < rows; ++r, ++i) convert_bgr24(piece + r * row_bytes, buffer + (height - 1 - i) * stride, w);
    if (got < want) break;
  }
  free(piece);
}

int decline(DecodeContext* context, void* data) {
  free(data);
  context->slots[SLOT_DATA] = nullptr;
  context->slots[SLOT_HEADER] = nullptr;
  context->slots[SLOT_SIZE] = nullptr;
  context->slots[SLOT_STREAM] = nullptr;
  return 0;
}

const ImageDecoder BMP_DECODER = {bmp_decoder_open, bmp_decoder_read, bmp_decoder_close, IMAGE_FORMAT_BMP};

}  // namespace

const ImageDecoder* bmp_decoder() { return &BMP_DECODER; }

void bmp_decoder_register() { decoder_register(&BMP_DECODER); }

int bmp_decoder_open(DecodeContext* context) {
  FILE* file = context->file;
  if (fseek(file, 0, SEEK_END) != 0) return decline(context, nullptr);
  const long size = ftell(file);
  if (size < 0 || fseek(file, 0, SEEK_SET) != 0) return decline(context, nullptr);
  if (size <= 13) return decline(context, nullptr);
  // The file header is tested before a buffer of the file's size is allocated, so files
  // of other formats cost no large allocation.
  uint8_t header[FILE_HEADER_SIZE];
  if (fread(header, 1, sizeof header, file) != sizeof header) return decline(context, nullptr);
  const ByteReader head{header, FILE_HEADER_SIZE};
  if (head.u16le(0) != BMP_SIGNATURE || head.u16le(6) != 0 || head.u16le(8) != 0) return decline(context, nullptr);
  auto* data = static_cast<uint8_t*>(image_alloc_zeroed(static_cast<size_t>(size)));
  if (!data) return decline(context, nullptr);
  memcpy(data, header, sizeof header);
  // The info header first: it tells whether the rows can stay in the file until read. The
  // buffer is a fresh mapping, so the part that is never filled costs nothing.
  const int64_t info_end = size < INFO_HEADER_END ? size : INFO_HEADER_END;
  int64_t have = FILE_HEADER_SIZE + static_cast<int64_t>(fread(data + FILE_HEADER_SIZE, 1,
                                                                static_cast<size_t>(info_end - FILE_HEADER_SIZE), file));
  BmpHeader h = read_header(ByteReader{data, size});
  const bool stream = have == INFO_HEADER_END && streamable(h, size);
  const int64_t end = stream ? int64_t{h.data_offset} : size;
  if (have == info_end && end > have) {
    // A short read (the file shrank) leaves the rest zero, which reads as missing data.
    have += static_cast<int64_t>(fread(data + have, 1, static_cast<size_t>(end - have), file));
    h = read_header(ByteReader{data, size});
  }
  context->width = h.width;
  context->height = h.height;
  context->depth = 24;
  context->source_depth = h.bpp;
  context->slots[SLOT_DATA] = data;
  context->slots[SLOT_HEADER] = data;
  context->slots[SLOT_SIZE] = reinterpret_cast<void*>(static_cast<intptr_t>(size));
  context->slots[SLOT_STREAM] = stream ? data : nullptr;
  return 1;
}

int bmp_decoder_read(DecodeContext* context, uint8_t* buffer, int stride) {
  auto* data = static_cast<uint8_t*>(context->slots[SLOT_DATA]);
  const ByteReader file{data, static_cast<int64_t>(reinterpret_cast<intptr_t>(context->slots[SLOT_SIZE]))};
  const BmpHeader h = read_header(file);
  const int64_t w = context->width;
  const int64_t height = context->height;
  if (!data || w <= 0 || height <= 0 || int64_t{stride} < 3 * w) return 1;
  if (context->slots[SLOT_STREAM]) {
    stream_rows(context->file, h, buffer, stride, w, height);
    return 1;
  }
  Rgb palette[256] = {};
  if (h.bpp >= 1 && h.bpp <= 8) load_colour_table(data, file, h, palette);
  if (h.bpp == 8 && h.compression == 1) {
    decode_rle8(file, h, buffer, stride, w, height, palette);
  } else {
    convert_rows(file, h, buffer, stride, w, height, palette);
  }
  return 1;
}

void bmp_decoder_close(DecodeContext* context) {
  free(context->slots[SLOT_DATA]);
  context->slots[SLOT_DATA] = nullptr;
  context->slots[SLOT_HEADER] = nullptr;
  context->slots[SLOT_SIZE] = nullptr;
  context->slots[SLOT_STREAM] = nullptr;
}

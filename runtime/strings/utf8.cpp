// SPDX-License-Identifier: MIT
// Conversion between the runtime's UTF-16 strings and UTF-8 text.
//
// Encoding follows the runtime's rules for unpaired surrogates: a lone low
// surrogate is written in the 3-byte form, a high surrogate without its low
// partner ends the text. Decoding never reads past the given byte count;
// every ill-formed part of the input (a stray continuation byte, a truncated
// or overlong sequence, a byte that never starts a sequence) becomes U+FFFD,
// one per maximal ill-formed part. A well-formed 4-byte pattern whose value
// lies above U+10FFFF ends the decoding.
#include <glib.h>

#include <cstdlib>
#include <cstring>

#include "runtime/strings/ustring.h"

namespace {

constexpr UChar REPLACEMENT = 0xFFFD;

constexpr bool is_high_surrogate(UChar u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool is_low_surrogate(UChar u) { return u >= 0xDC00 && u <= 0xDFFF; }
constexpr bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// UTF-16 -> UTF-8 over count units. dest == nullptr measures. When writing,
// a character that would not fit entirely in dest_size is not written.
// Returns -1 when writing meets a high surrogate followed by a non-low unit.
int64_t encode_utf8(const UChar* s, int64_t count, char* dest, int64_t dest_size) {
  int64_t written = 0;
  for (int64_t i = 0; i < count; ++i) {
    uint32_t cp = s[i];
    if (is_high_surrogate(s[i])) {
      if (i + 1 >= count) break;
      if (!is_low_surrogate(s[i + 1])) {
        if (dest == nullptr) break;
        return -1;
      }
      cp = 0x10000 + (((cp & 0x3FF) << 10) | (s[i + 1] & 0x3FFu));
      ++i;
    }
    int64_t size = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (dest == nullptr) {
      written += size;
      continue;
    }
    if (written + size > dest_size) break;
    auto* out = reinterpret_cast<unsigned char*>(dest + written);
    switch (size) {
      case 1:
        out[0] = static_cast<unsigned char>(cp);
        break;
      case 2:
        out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        break;
      case 3:
        out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        break;
      default:
        out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        break;
    }
    written += size;
    if (written >= dest_size) break;
  }
  return written;
}

// Length of the sequence a lead byte starts and the allowed range of its
// second byte; 0 for a byte that starts no sequence. Leads F4..F7 accept any
// continuation so that values above U+10FFFF are recognised (and end the
// text) instead of being replaced. Encoded surrogates (ED A0..BF) are decoded
// to their unit, which is how the encoder writes a lone low surrogate.
struct LeadInfo {
  int length;
  unsigned char second_low;
  unsigned char second_high;
};

constexpr LeadInfo lead_info(unsigned char b) {
  if (b < 0x80) return {1, 0, 0};
  if (b < 0xC2) return {0, 0, 0};
  if (b < 0xE0) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b < 0xF0) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b < 0xF8) return {4, 0x80, 0xBF};
  return {0, 0, 0};
}

// UTF-8 -> UTF-16 over size bytes. dest == nullptr measures. A surrogate
// pair is written only whole.
int64_t decode_utf8(const unsigned char* bytes, int64_t size, UChar* dest, int64_t dest_size) {
  int64_t units = 0;
  int64_t i = 0;
  while (i < size) {
    unsigned char lead = bytes[i];
    LeadInfo info = lead_info(lead);
    int consumed = 1;
    bool valid = false;
    if (info.length == 1) {
      valid = true;
    } else if (info.length > 1 && i + 1 < size && bytes[i + 1] >= info.second_low &&
               bytes[i + 1] <= info.second_high) {
      consumed = 2;
      while (consumed < info.length && i + consumed < size && is_continuation(bytes[i + consumed])) {
        ++consumed;
      }
      valid = consumed == info.length;
    }
    uint32_t cp = REPLACEMENT;
    if (valid) {
      static constexpr unsigned char LEAD_MASK[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
      cp = lead & LEAD_MASK[info.length];
      for (int k = 1; k < info.length; ++k) cp = (cp << 6) | (bytes[i + k] & 0x3Fu);
      if (cp > 0x10FFFF) break;
    }
    int need = cp > 0xFFFF ? 2 : 1;
    if (dest != nullptr) {
      if (units + need > dest_size) break;
      if (need == 2) {
        dest[units] = static_cast<UChar>(0xD800 | ((cp - 0x10000) >> 10));
        dest[units + 1] = static_cast<UChar>(0xDC00 | (cp & 0x3FF));
      } else {
        dest[units] = static_cast<UChar>(cp);
      }
    }
    units += need;
    i += consumed;
  }
  return units;
}

int64_t units_through_terminator(UString s) { return s == nullptr ? 1 : ustr_length(s) + 1; }

constexpr UChar EMPTY[1] = {0};

// Shared body of ustr_to_utf8 and ustr_to_utf8_malloc.
char* to_utf8(UString s, void* (*allocate)(size_t)) {
  if (s == nullptr) s = EMPTY;
  int64_t count = units_through_terminator(s);
  int64_t n = encode_utf8(s, count, nullptr, 0);
  auto* text = static_cast<char*>(allocate(static_cast<size_t>(n) + 1));
  if (text == nullptr) return nullptr;
  int64_t written = n == 0 ? 0 : encode_utf8(s, count, text, n);
  text[written < 0 ? 0 : written] = '\0';
  return text;
}

void* glib_allocate(size_t n) { return g_malloc(n); }
void* libc_allocate(size_t n) { return std::malloc(n); }

}  // namespace

char* ustr_to_utf8(UString s) { return to_utf8(s, glib_allocate); }

char* ustr_to_utf8_malloc(UString s) { return to_utf8(s, libc_allocate); }

void ustr_push_utf8(const char* text, int64_t position) {
  if (text == nullptr) text = "";
  auto length = static_cast<int64_t>(std::strlen(text));
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  // UTF-8 never takes fewer bytes than UTF-16 takes units, so a reservation
  // of one unit per byte holds the text: decode once, give back the rest.
  // The terminator is written here, so the result ends properly even when
  // the decoding stops early.
  UChar* dest = ustr_stack_reserve(length, position);
  int64_t units = decode_utf8(bytes, length, dest, length);
  dest[units] = 0;
  ustr_stack_release(length - units);
}

int32_t ustr_encode(int32_t codepage, UString s, int32_t count, char* dest, int32_t dest_size) {
  if (codepage != CODEPAGE_UTF8 || count < -1) return 0;
  if (dest != nullptr && dest_size <= 0) return 0;
  int64_t units = count;
  if (s == nullptr) {
    s = EMPTY;
    if (units > 1) units = 1;
  }
  if (units == -1) units = units_through_terminator(s);
  int64_t result = encode_utf8(s, units, dest, dest_size);
  if (result < 0 || result > INT32_MAX) return 0;
  return static_cast<int32_t>(result);
}

int32_t ustr_decode(int32_t codepage, const char* bytes, int32_t size, UChar* dest, int32_t dest_size) {
  if (codepage != CODEPAGE_UTF8 || bytes == nullptr || size < -1) return 0;
  if (dest != nullptr && dest_size <= 0) return 0;
  int64_t length = size == -1 ? static_cast<int64_t>(std::strlen(bytes)) + 1 : size;
  int64_t result = decode_utf8(reinterpret_cast<const unsigned char*>(bytes), length, dest, dest_size);
  return result > INT32_MAX ? 0 : static_cast<int32_t>(result);
}

// SPDX-License-Identifier: MIT
// Bounds-checked reads from an in-memory copy of a file, and overflow-checked size arithmetic.
// Every field the decoders take from file data goes through ByteReader, so no input can make
// them read outside the data: bytes outside it read as zero.
#pragma once

#include <cstddef>
#include <cstdint>

// ByteReader::contains: whether [offset, offset + length) lies inside the data.
// ByteReader::range: address of [offset, offset + length) when it lies inside the data, else null.
// ByteReader::u8/u16le/i32le: the value at offset; bytes outside the data read as zero.
// checked_mul/checked_add: the exact result in *out, false when it does not fit.

struct ByteReader {
  const uint8_t* data;
  int64_t size;

  constexpr bool contains(int64_t offset, int64_t length) const {
    return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
  }
  constexpr const uint8_t* range(int64_t offset, int64_t length) const {
    return contains(offset, length) ? data + offset : nullptr;
  }
  constexpr uint8_t u8(int64_t offset) const {
    return offset >= 0 && offset < size ? data[offset] : 0;
  }
  constexpr uint16_t u16le(int64_t offset) const {
    return static_cast<uint16_t>(u8(offset) | (u8(offset + 1) << 8));
  }
  constexpr int32_t i32le(int64_t offset) const {
    const uint32_t v = static_cast<uint32_t>(u8(offset)) | (static_cast<uint32_t>(u8(offset + 1)) << 8) |
                       (static_cast<uint32_t>(u8(offset + 2)) << 16) |
                       (static_cast<uint32_t>(u8(offset + 3)) << 24);
    return static_cast<int32_t>(v);
  }
};

template <typename T>
constexpr bool checked_mul(T a, T b, T* out) {
  return !__builtin_mul_overflow(a, b, out);
}

template <typename T>
constexpr bool checked_add(T a, T b, T* out) {
  return !__builtin_add_overflow(a, b, out);
}

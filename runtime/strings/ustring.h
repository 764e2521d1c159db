// SPDX-License-Identifier: MIT
// Strings of 16-bit code units, string variables, the per-thread temporary-string
// stack, UTF-16 <-> UTF-8 conversion, heap blocks with a size word and the
// per-thread clean-up list.
#pragma once

#include <cstddef>
#include <cstdint>

// --- Temporary-string stack (acts on the calling thread's stack) -------------
// ustr_stack_startup: create the thread-local key and the main thread's stack.
// ustr_stack_enter: make sure the calling thread has a stack.
// ustr_stack_shutdown: delete the thread-local key.
// ustr_stack_top: current top, the mark of the stack protocol (byte offset).
// ustr_stack_base: address of the stack's buffer (moves when the stack grows).
// ustr_stack_reserve: room for count units at position (-1 = top); top = position + 2*count.
// ustr_stack_release: top -= 2*count.
// ustr_stack_set_top: pop back to a mark.
// ustr_stack_close: top += 2, keeping the terminator of the string just built.
// ustr_stack_offset_of: 0 if address is outside [buffer, buffer+top], else byte offset + 1.
// ustr_stack_address_of: buffer + (offset_plus_1 - 1); the inverse of ustr_stack_offset_of.
// ustr_stack_push: append a copy of s; top ends on its terminator.
// ustr_stack_live_count: number of stacks currently allocated in the process.
// --- String variables and conversion -----------------------------------------
// ustr_assign: copy s into the variable (null s frees it); returns 2*length+2.
// ustr_assign_from_stack: move the units between mark and top into the variable; top = mark.
// ustr_free: free a variable's block.
// ustr_to_utf8: g_malloc'ed UTF-8 copy (free with g_free).
// ustr_to_utf8_malloc: malloc'ed UTF-8 copy (free with free).
// ustr_push_utf8: decode UTF-8 into a string result at position.
// ustr_encode: UTF-16 -> UTF-8 bytes; measures when dest is null.
// ustr_decode: UTF-8 bytes -> UTF-16 units; measures when dest is null.
// --- Elementary routines ------------------------------------------------------
// ustr_from_int: decimal digits of value and a terminator at dest.
// ustr_length: units before the terminator.
// ustr_copy: copy units and terminator; returns dest.
// ustr_compare_nocase_n: compare the first n units after towlower.
// --- Heap blocks and per-thread clean-up ----------------------------------------
// mem_alloc: zeroed block of n bytes with a hidden size word, or null.
// mem_resize: resize, zeroing the added bytes; null on failure.
// mem_free: free a non-null block.
// thread_cleanup_add: run fn(arg) when the calling thread ends.

typedef char16_t UChar;
// A string argument: NUL-terminated UTF-16 units; null reads as "".
typedef const UChar* UString;
// A string variable: owns one heap block, or is null for the empty string.
typedef UChar* UStringVar;

constexpr int32_t CODEPAGE_UTF8 = 65001;

void ustr_stack_startup();
void ustr_stack_enter();
void ustr_stack_shutdown();
int64_t ustr_stack_top();
unsigned char* ustr_stack_base();
UChar* ustr_stack_reserve(int64_t count, int64_t position);
void ustr_stack_release(int64_t count);
void ustr_stack_set_top(int64_t offset);
void ustr_stack_close();
int32_t ustr_stack_offset_of(const void* address);
UChar* ustr_stack_address_of(int32_t offset_plus_1);
void ustr_stack_push(UString s);
int64_t ustr_stack_live_count();

int64_t ustr_assign(UStringVar* variable, UString s);
void ustr_assign_from_stack(UStringVar* variable, int64_t mark);
void ustr_free(UStringVar variable);
char* ustr_to_utf8(UString s);
char* ustr_to_utf8_malloc(UString s);
void ustr_push_utf8(const char* text, int64_t position);
int32_t ustr_encode(int32_t codepage, UString s, int32_t count, char* dest, int32_t dest_size);
int32_t ustr_decode(int32_t codepage, const char* bytes, int32_t size, UChar* dest, int32_t dest_size);

void ustr_from_int(int32_t value, UChar* dest);
int64_t ustr_length(UString s);
UChar* ustr_copy(UChar* dest, UString src);
int32_t ustr_compare_nocase_n(UString a, UString b, int64_t n);

void* mem_alloc(size_t n);
void* mem_resize(void* block, size_t n);
void mem_free(void* block);
void thread_cleanup_add(void (*fn)(void*), void* arg);

// The address at which a string result written at mark can be read.
inline UString ustr_stack_string(int64_t mark) {
  return reinterpret_cast<UString>(ustr_stack_base() + mark);
}

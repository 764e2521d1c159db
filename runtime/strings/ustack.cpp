// SPDX-License-Identifier: MIT
// The per-thread temporary-string stack and string variables.
//
// Each thread owns one TempStringStack, reached through a process-wide
// thread-data key. Callers keep byte offsets into the stack because the buffer
// moves whenever it grows. Allocation failure here aborts the process: every
// caller writes through the returned addresses at once, and there is no way
// to report the failure through the void or address-returning operations.
#include "runtime/strings/ustring.h"

#include <malloc.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct TempStringStack {
  unsigned char* buffer;
  int64_t capacity;  // usable bytes; once grown the block holds capacity + 10
  int64_t top;       // first free byte
};

constexpr int64_t STACK_INITIAL_BYTES = 16;
constexpr int64_t STACK_GROWTH_SLACK = 16384;
constexpr int64_t STACK_SPARE_BYTES = 4;
constexpr int64_t STACK_BLOCK_EXTRA = 10;
constexpr size_t VARIABLE_EXTRA = 10;
// Offsets travel as signed 32-bit values (ustr_stack_offset_of), so the
// buffer never grows past what such an offset can address.
constexpr int64_t STACK_MAX_CAPACITY = INT32_MAX - STACK_GROWTH_SLACK - STACK_BLOCK_EXTRA;

pthread_key_t g_stack_key;
std::atomic<bool> g_stack_key_valid{false};
pthread_mutex_t g_stack_key_lock = PTHREAD_MUTEX_INITIALIZER;
// The stack made by ustr_stack_startup: it has no clean-up entry and lives
// until the process ends.
TempStringStack* g_startup_stack = nullptr;
std::atomic<int64_t> g_live_stacks{0};
// The calling thread's stack, as stored under the key: a cache that spares a
// key lookup in every stack operation.
thread_local TempStringStack* t_stack = nullptr;

[[noreturn]] void out_of_memory() { std::abort(); }

void* realloc_or_abort(void* block, size_t size) {
  void* p = std::realloc(block, size);
  if (p == nullptr) out_of_memory();
  return p;
}

TempStringStack* stack_new() {
  auto* st = static_cast<TempStringStack*>(std::malloc(sizeof(TempStringStack)));
  if (st == nullptr) out_of_memory();
  st->buffer = static_cast<unsigned char*>(std::malloc(STACK_INITIAL_BYTES));
  if (st->buffer == nullptr) out_of_memory();
  std::memset(st->buffer, 0, STACK_INITIAL_BYTES);
  st->capacity = STACK_INITIAL_BYTES;
  st->top = 0;
  g_live_stacks.fetch_add(1, std::memory_order_relaxed);
  return st;
}

// Clean-up entry of a thread's stack. It also clears the key's slot, so that a
// later thread-exit destructor that handles strings gets a fresh stack rather
// than this freed one.
void stack_destroy(void* arg) {
  auto* st = static_cast<TempStringStack*>(arg);
  if (t_stack == st) t_stack = nullptr;
  if (g_stack_key_valid.load(std::memory_order_acquire) &&
      pthread_getspecific(g_stack_key) == st) {
    pthread_setspecific(g_stack_key, nullptr);
  }
  std::free(st->buffer);
  std::free(st);
  g_live_stacks.fetch_sub(1, std::memory_order_relaxed);
}

// Creates the key once; safe when several threads arrive together.
void ensure_key() {
  if (g_stack_key_valid.load(std::memory_order_acquire)) return;
  pthread_mutex_lock(&g_stack_key_lock);
  if (!g_stack_key_valid.load(std::memory_order_relaxed)) {
    if (pthread_key_create(&g_stack_key, nullptr) != 0) out_of_memory();
    g_stack_key_valid.store(true, std::memory_order_release);
  }
  pthread_mutex_unlock(&g_stack_key_lock);
}

// Stores st as the calling thread's stack.
void set_thread_stack(TempStringStack* st) {
  pthread_setspecific(g_stack_key, st);
  t_stack = st;
}

TempStringStack* current_stack() {
  if (t_stack != nullptr) return t_stack;
  // A thread that skipped ustr_stack_enter gets its stack here rather than a
  // null dereference.
  ustr_stack_enter();
  return t_stack;
}

void stack_grow(TempStringStack* st, int64_t needed) {
  if (needed > STACK_MAX_CAPACITY) out_of_memory();
  int64_t capacity = needed + STACK_GROWTH_SLACK;
  st->buffer = static_cast<unsigned char*>(
      realloc_or_abort(st->buffer, static_cast<size_t>(capacity + STACK_BLOCK_EXTRA)));
  st->capacity = capacity;
}

bool address_in_block(const void* address, const void* block, size_t size) {
  auto a = reinterpret_cast<uintptr_t>(address);
  auto b = reinterpret_cast<uintptr_t>(block);
  return a >= b && a - b < size;
}

}  // namespace

// The calling thread's stack, if it has one, stored under the key (which may
// have been created anew since the stack was made).
bool thread_has_stack() {
  if (t_stack == nullptr) return false;
  if (pthread_getspecific(g_stack_key) != t_stack) pthread_setspecific(g_stack_key, t_stack);
  return true;
}

void ustr_stack_startup() {
  ensure_key();
  if (thread_has_stack()) return;
  TempStringStack* st = stack_new();
  pthread_mutex_lock(&g_stack_key_lock);
  g_startup_stack = st;  // no clean-up entry: it lives until the process ends
  pthread_mutex_unlock(&g_stack_key_lock);
  set_thread_stack(st);
}

void ustr_stack_enter() {
  ensure_key();
  if (thread_has_stack()) return;
  TempStringStack* st = stack_new();
  set_thread_stack(st);
  thread_cleanup_add(stack_destroy, st);
}

void ustr_stack_shutdown() {
  pthread_mutex_lock(&g_stack_key_lock);
  if (g_stack_key_valid.load(std::memory_order_relaxed)) {
    g_stack_key_valid.store(false, std::memory_order_release);
    pthread_key_delete(g_stack_key);
  }
  pthread_mutex_unlock(&g_stack_key_lock);
}

int64_t ustr_stack_live_count() { return g_live_stacks.load(std::memory_order_relaxed); }

int64_t ustr_stack_top() { return current_stack()->top; }

unsigned char* ustr_stack_base() { return current_stack()->buffer; }

UChar* ustr_stack_reserve(int64_t count, int64_t position) {
  TempStringStack* st = current_stack();
  if (count < 0) count = 0;
  if (count > STACK_MAX_CAPACITY / 2) out_of_memory();
  int64_t start = position < 0 ? st->top : position;
  if (start > STACK_MAX_CAPACITY) out_of_memory();
  int64_t end = start + 2 * count;
  // Room is measured from the higher of top and start, so that a reservation
  // above the top still leaves the spare bytes for a terminator.
  int64_t needed = (st->top > start ? st->top : start) + 2 * count;
  if (needed >= st->capacity - STACK_SPARE_BYTES) stack_grow(st, needed);
  st->top = end;
  return reinterpret_cast<UChar*>(st->buffer + start);
}

void ustr_stack_release(int64_t count) {
  TempStringStack* st = current_stack();
  if (count < 0) return;
  st->top = count > st->top / 2 ? 0 : st->top - 2 * count;
}

void ustr_stack_set_top(int64_t offset) {
  TempStringStack* st = current_stack();
  if (offset < 0) offset = 0;
  if (offset > st->capacity) offset = st->capacity;
  st->top = offset;
}

void ustr_stack_close() {
  TempStringStack* st = current_stack();
  if (st->top + 2 <= st->capacity) st->top += 2;
}

int32_t ustr_stack_offset_of(const void* address) {
  TempStringStack* st = current_stack();
  if (address == nullptr || !address_in_block(address, st->buffer, static_cast<size_t>(st->top) + 1)) {
    return 0;
  }
  auto offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(st->buffer);
  return static_cast<int32_t>(offset + 1);
}

UChar* ustr_stack_address_of(int32_t offset_plus_1) {
  if (offset_plus_1 <= 0) return nullptr;
  return reinterpret_cast<UChar*>(current_stack()->buffer + (offset_plus_1 - 1));
}

void ustr_stack_push(UString s) {
  int64_t length = s == nullptr ? 0 : ustr_length(s);
  // A string that itself lies on the stack is re-derived after the
  // reservation, which may move the buffer.
  int32_t offset = ustr_stack_offset_of(s);
  UChar* dest = ustr_stack_reserve(length, -1);
  if (offset != 0) s = ustr_stack_address_of(offset);
  if (length > 0) std::memmove(dest, s, static_cast<size_t>(length) * 2);
  dest[length] = 0;
}

int64_t ustr_assign(UStringVar* variable, UString s) {
  if (s == nullptr) {
    std::free(*variable);
    *variable = nullptr;
    return 2;
  }
  int64_t length = ustr_length(s);
  size_t bytes = static_cast<size_t>(length) * 2;
  UChar* block = *variable;
  // Assigning a variable (or a tail of it) to itself: move the text to the
  // front first, because resizing may shrink or move the block.
  bool from_self = block != nullptr && address_in_block(s, block, malloc_usable_size(block));
  if (from_self) std::memmove(block, s, bytes);
  block = static_cast<UChar*>(realloc_or_abort(block, bytes + VARIABLE_EXTRA));
  if (!from_self) std::memcpy(block, s, bytes);
  block[length] = 0;
  *variable = block;
  return static_cast<int64_t>(bytes) + 2;
}

void ustr_assign_from_stack(UStringVar* variable, int64_t mark) {
  TempStringStack* st = current_stack();
  if (mark < 0) mark = 0;
  if (mark > st->top) mark = st->top;
  auto bytes = static_cast<size_t>(st->top - mark);
  auto* block = static_cast<UChar*>(realloc_or_abort(*variable, bytes + VARIABLE_EXTRA));
  std::memcpy(block, st->buffer + mark, bytes);
  block[bytes / 2] = 0;
  *variable = block;
  st->top = mark;
}

void ustr_free(UStringVar variable) { std::free(variable); }

// SPDX-License-Identifier: MIT
// Per-thread data segments: one thread-data key whose value is a zero-filled block
// holding every registered segment back to back.
//
// Each block remembers its own size. A thread whose block was made before a later
// registration gets its block grown (and the new segments initialised) on its next
// tls_segment call, so no thread ever reads past the end of its block.

#include "runtime/gui/registry.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

struct TlsSegmentDesc {
  TlsSegmentDesc* next;
  int64_t offset;
  TlsSegmentFn init;
  TlsSegmentFn destroy;
};

struct TlsBlock {
  int64_t size;     // bytes of segment data after the header
  int64_t padding;  // keeps the data 16-byte aligned
  unsigned char* data() { return reinterpret_cast<unsigned char*>(this + 1); }
};

pthread_mutex_t g_tls_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_key_t g_key;
bool g_key_created = false;   // guarded by g_tls_mutex
std::atomic<bool> g_key_ready{false};
bool g_any_registered = false;
std::atomic<int64_t> g_total{0};
std::atomic<TlsSegmentDesc*> g_segments{nullptr};  // newest first

class TlsMutex {
 public:
  TlsMutex() { pthread_mutex_lock(&g_tls_mutex); }
  ~TlsMutex() { pthread_mutex_unlock(&g_tls_mutex); }
  TlsMutex(const TlsMutex&) = delete;
  TlsMutex& operator=(const TlsMutex&) = delete;
};

// Runs the destroy operations of every segment inside the block, then frees it.
void destroy_block(void* value) {
  auto* block = static_cast<TlsBlock*>(value);
  if (!block) return;
  for (TlsSegmentDesc* d = g_segments.load(); d; d = d->next) {
    if (d->destroy && d->offset < block->size) d->destroy(block->data() + d->offset);
  }
  std::free(block);
}

bool ensure_key() {
  if (g_key_ready.load(std::memory_order_acquire)) return true;
  TlsMutex guard;
  if (!g_key_created) {
    if (pthread_key_create(&g_key, destroy_block) != 0) return false;
    g_key_created = true;
    g_key_ready.store(true, std::memory_order_release);
  }
  return true;
}

// Grows (or creates) the calling thread's block to `total` bytes, zero-filling the
// added bytes. Returns null if memory runs out.
TlsBlock* resize_block(TlsBlock* block, int64_t total) {
  const int64_t old_size = block ? block->size : 0;
  auto* grown = static_cast<TlsBlock*>(std::realloc(block, sizeof(TlsBlock) + static_cast<size_t>(total)));
  if (!grown) return nullptr;
  std::memset(grown->data() + old_size, 0, static_cast<size_t>(total - old_size));
  grown->size = total;
  grown->padding = 0;
  pthread_setspecific(g_key, grown);
  return grown;
}

}  // namespace

int64_t tls_register_segment(int64_t size, TlsSegmentFn init, TlsSegmentFn destroy) {
  if (size < 0 || size > (int64_t{1} << 30)) return -1;
  if (!ensure_key()) return -1;
  // Bring this thread's block up to date first, so segments registered earlier are
  // initialised even if the block predates them.
  if (g_total.load() > 0 && !tls_segment(0)) return -1;
  const int64_t rounded = (size + 7) & ~int64_t{7};
  TlsSegmentDesc* desc = nullptr;
  int64_t offset;
  {
    TlsMutex guard;
    offset = g_total.load();
    g_any_registered = true;
    // The registering thread's block is grown before the new total is published.
    auto* block = static_cast<TlsBlock*>(pthread_getspecific(g_key));
    if (!resize_block(block, offset + rounded)) return -1;
    if (init || destroy) {
      desc = static_cast<TlsSegmentDesc*>(std::calloc(1, sizeof(TlsSegmentDesc)));
      if (!desc) return -1;
      desc->offset = offset;
      desc->init = init;
      desc->destroy = destroy;
      desc->next = g_segments.load();
      g_segments.store(desc);
    }
    g_total.store(offset + rounded);
  }
  if (init) init(static_cast<unsigned char*>(tls_segment(offset)));
  return offset;
}

void* tls_segment(int64_t offset) {
  const int64_t total = g_total.load(std::memory_order_acquire);
  // offset == total is a zero-size segment registered last: it too is the block plus offset.
  if (offset < 0 || offset > total) return nullptr;
  if (!ensure_key()) return nullptr;
  auto* block = static_cast<TlsBlock*>(pthread_getspecific(g_key));
  if (block && block->size >= total) return block->data() + offset;
  // First use on this thread, or segments were registered since its block was made.
  const int64_t old_size = block ? block->size : 0;
  block = resize_block(block, total);
  if (!block) return nullptr;
  for (TlsSegmentDesc* d = g_segments.load(); d; d = d->next) {
    if (d->init && d->offset >= old_size && d->offset < total) d->init(block->data() + d->offset);
  }
  return block->data() + offset;
}

void tls_shutdown() {
  TlsMutex guard;
  if (!g_key_created || !g_any_registered) return;
  // The calling thread (the main thread at shutdown) never runs the thread-exit
  // destructor, so its block is destroyed here, as if the thread ended.
  void* block = pthread_getspecific(g_key);
  pthread_setspecific(g_key, nullptr);
  destroy_block(block);
  pthread_key_delete(g_key);
  g_key_created = false;
  g_key_ready.store(false, std::memory_order_release);
}

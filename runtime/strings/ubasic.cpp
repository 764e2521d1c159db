// SPDX-License-Identifier: MIT
// Elementary string routines, heap blocks with a size word and the
// per-thread clean-up list.
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "runtime/strings/ustring.h"

namespace {

constexpr size_t SIZE_WORD = 8;

unsigned char* block_base(void* block) { return static_cast<unsigned char*>(block) - SIZE_WORD; }

uint64_t block_size(void* block) {
  uint64_t n;
  std::memcpy(&n, block_base(block), SIZE_WORD);
  return n;
}

void set_block_size(unsigned char* base, uint64_t n) { std::memcpy(base, &n, SIZE_WORD); }

struct CleanupEntry {
  void (*fn)(void*);
  void* arg;
  CleanupEntry* next;
};

// One node per thread that registered clean-up work, linked into one
// process-wide list so that the process can see which threads hold work.
struct ThreadCleanupList {
  ThreadCleanupList* next;
  ThreadCleanupList* prev;
  CleanupEntry* entries;
};

pthread_once_t g_cleanup_once = PTHREAD_ONCE_INIT;
pthread_key_t g_cleanup_key;
pthread_mutex_t g_cleanup_lock;
ThreadCleanupList* g_cleanup_tail = nullptr;

// Key destructor: unlink the thread's node, then run its entries, most
// recently added first.
void run_thread_cleanup(void* arg) {
  auto* node = static_cast<ThreadCleanupList*>(arg);
  pthread_mutex_lock(&g_cleanup_lock);
  if (node->prev != nullptr) node->prev->next = node->next;
  if (node->next != nullptr) node->next->prev = node->prev;
  if (g_cleanup_tail == node) g_cleanup_tail = node->prev;
  pthread_mutex_unlock(&g_cleanup_lock);
  while (node->entries != nullptr) {
    CleanupEntry* entry = node->entries;
    node->entries = entry->next;
    entry->fn(entry->arg);
    mem_free(entry);
  }
  mem_free(node);
}

void create_cleanup_key() {
  if (pthread_key_create(&g_cleanup_key, run_thread_cleanup) != 0) std::abort();
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&g_cleanup_lock, &attr);
  pthread_mutexattr_destroy(&attr);
}

}  // namespace

void ustr_from_int(int32_t value, UChar* dest) {
  // The magnitude in 64 bits, so that INT32_MIN has one too.
  int64_t magnitude = value;
  if (magnitude < 0) {
    *dest++ = u'-';
    magnitude = -magnitude;
  }
  UChar digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<UChar>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count > 0) *dest++ = digits[--count];
  *dest = 0;
}

int64_t ustr_length(UString s) {
  if (s == nullptr) return 0;
  int64_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

UChar* ustr_copy(UChar* dest, UString src) {
  int64_t n = ustr_length(src);
  if (n > 0) std::memmove(dest, src, static_cast<size_t>(n) * 2);
  dest[n] = 0;
  return dest;
}

int32_t ustr_compare_nocase_n(UString a, UString b, int64_t n) {
  static constexpr UChar EMPTY[1] = {0};
  if (a == nullptr) a = EMPTY;
  if (b == nullptr) b = EMPTY;
  for (int64_t i = 0; i < n; ++i) {
    // Identical units lower identically; towlower (a locale lookup) is only
    // needed where they differ.
    if (a[i] == b[i]) {
      if (a[i] == 0) return 0;
      continue;
    }
    // Units are read as signed 16-bit values, so units from 0x8000 up reach
    // towlower as negative numbers (which it returns unchanged).
    int32_t ua = static_cast<int16_t>(a[i]);
    int32_t ub = static_cast<int16_t>(b[i]);
    auto la = static_cast<int32_t>(std::towlower(static_cast<wint_t>(ua)));
    auto lb = static_cast<int32_t>(std::towlower(static_cast<wint_t>(ub)));
    if (la != lb) {
      int64_t diff = static_cast<int64_t>(la) - lb;
      if (diff > INT32_MAX) return INT32_MAX;
      if (diff < INT32_MIN) return INT32_MIN;
      return static_cast<int32_t>(diff);
    }
    if (a[i] == 0) return 0;
  }
  return 0;
}

void* mem_alloc(size_t n) {
  if (n > SIZE_MAX - SIZE_WORD) return nullptr;
  auto* base = static_cast<unsigned char*>(std::malloc(n + SIZE_WORD));
  if (base == nullptr) return nullptr;
  std::memset(base + SIZE_WORD, 0, n);
  set_block_size(base, n);
  return base + SIZE_WORD;
}

void* mem_resize(void* block, size_t n) {
  if (block == nullptr) return mem_alloc(n);
  if (n > SIZE_MAX - SIZE_WORD) return nullptr;
  uint64_t old_size = block_size(block);
  auto* base = static_cast<unsigned char*>(std::realloc(block_base(block), n + SIZE_WORD));
  if (base == nullptr) return nullptr;
  if (n > old_size) std::memset(base + SIZE_WORD + old_size, 0, n - old_size);
  set_block_size(base, n);
  return base + SIZE_WORD;
}

void mem_free(void* block) {
  if (block != nullptr) std::free(block_base(block));
}

void thread_cleanup_add(void (*fn)(void*), void* arg) {
  pthread_once(&g_cleanup_once, create_cleanup_key);
  auto* node = static_cast<ThreadCleanupList*>(pthread_getspecific(g_cleanup_key));
  if (node == nullptr) {
    node = static_cast<ThreadCleanupList*>(mem_alloc(sizeof(ThreadCleanupList)));
    if (node == nullptr) std::abort();
    pthread_mutex_lock(&g_cleanup_lock);
    node->prev = g_cleanup_tail;
    if (g_cleanup_tail != nullptr) g_cleanup_tail->next = node;
    g_cleanup_tail = node;
    pthread_mutex_unlock(&g_cleanup_lock);
    pthread_setspecific(g_cleanup_key, node);
  }
  auto* entry = static_cast<CleanupEntry*>(mem_alloc(sizeof(CleanupEntry)));
  if (entry == nullptr) std::abort();
  entry->fn = fn;
  entry->arg = arg;
  entry->next = node->entries;
  node->entries = entry;
}

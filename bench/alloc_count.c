// SPDX-License-Identifier: MIT
// Counts heap calls of the whole process, shared libraries included.
//
// Normally the program defines the allocator's entry points itself, which
// the dynamic linker then binds for every library (GLib included), and
// forwards them to the C library's own allocator. Under AddressSanitizer the
// sanitizer owns those entry points, so its malloc and free hooks count
// instead (there a realloc that moves counts as one allocation).
#include "alloc_count.h"

#include <errno.h>
#include <stddef.h>

static unsigned long long g_allocations;
static unsigned long long g_reallocations;
static unsigned long long g_frees;

static void count(unsigned long long* counter) { __atomic_fetch_add(counter, 1, __ATOMIC_RELAXED); }

struct AllocCounts alloc_count_read(void) {
  struct AllocCounts c;
  c.allocations = __atomic_load_n(&g_allocations, __ATOMIC_RELAXED);
  c.reallocations = __atomic_load_n(&g_reallocations, __ATOMIC_RELAXED);
  c.frees = __atomic_load_n(&g_frees, __ATOMIC_RELAXED);
  return c;
}

#if defined(__SANITIZE_ADDRESS__)

// Part of the sanitizer runtime's interface; g++ ships no header for it.
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));

static void on_malloc(const volatile void* p, size_t n) {
  (void)p;
  (void)n;
  count(&g_allocations);
}

static void on_free(const volatile void* p) {
  if (p != NULL) count(&g_frees);
}

void alloc_count_start(void) { __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free); }

#else

extern void* __libc_malloc(size_t n);
extern void* __libc_calloc(size_t count, size_t n);
extern void* __libc_realloc(void* p, size_t n);
extern void __libc_free(void* p);
extern void* __libc_memalign(size_t alignment, size_t n);

void alloc_count_start(void) {}

void* malloc(size_t n) {
  count(&g_allocations);
  return __libc_malloc(n);
}

void* calloc(size_t count_, size_t n) {
  count(&g_allocations);
  return __libc_calloc(count_, n);
}

void* realloc(void* p, size_t n) {
  count(p == NULL ? &g_allocations : &g_reallocations);
  return __libc_realloc(p, n);
}

void free(void* p) {
  if (p != NULL) count(&g_frees);
  __libc_free(p);
}

void* memalign(size_t alignment, size_t n) {
  count(&g_allocations);
  return __libc_memalign(alignment, n);
}

void* aligned_alloc(size_t alignment, size_t n) { return memalign(alignment, n); }

int posix_memalign(void** out, size_t alignment, size_t n) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = memalign(alignment, n);
  if (p == NULL) return ENOMEM;
  *out = p;
  return 0;
}

#endif

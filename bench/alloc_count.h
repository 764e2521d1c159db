// SPDX-License-Identifier: MIT
// Process-wide counts of heap calls, for the benchmarks.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// alloc_count_start: begin counting (installs hooks where interposition is not used).
// alloc_count_read: the counts so far.

struct AllocCounts {
  unsigned long long allocations;  // malloc, calloc, aligned forms, realloc of null
  unsigned long long reallocations;  // realloc of an existing block
  unsigned long long frees;          // free of a non-null block
};

void alloc_count_start(void);
struct AllocCounts alloc_count_read(void);

#ifdef __cplusplus
}
#endif

// SPDX-License-Identifier: MIT
// BlockPool: fixed-size elements handed out from blocks that grow with the pool.
//
// Every element carries an 8-byte header: while handed out it points to its block,
// while free it links the block's free list. A block goes back to the heap as soon
// as every element it handed out has come back.

#include "runtime/gui/registry.h"

#include <pthread.h>

#include <cstdlib>
#include <initializer_list>

namespace {

struct Block {
  Block* next;
  Block* previous;
  void* free_list;        // first free element header
  int32_t capacity;
  int32_t handed_out;     // elements ever handed out fresh
  int32_t free_count;
  int32_t padding;
  unsigned char* element(int64_t stride, int64_t index) {
    return reinterpret_cast<unsigned char*>(this + 1) + stride * index;
  }
};

void push_front(Block** list, Block* block) {
  block->previous = nullptr;
  block->next = *list;
  if (*list) (*list)->previous = block;
  *list = block;
}

void unlink(Block** list, Block* block) {
  if (block->previous) block->previous->next = block->next;
  else *list = block->next;
  if (block->next) block->next->previous = block->previous;
  block->next = block->previous = nullptr;
}

}  // namespace

struct BlockPool {
  Block* full;
  Block* available;
  int64_t total;
  int64_t stride;
  int32_t initial;
  int32_t maximum;
  int32_t locked;
  pthread_mutex_t mutex;
};

namespace {

class PoolLock {
 public:
  explicit PoolLock(BlockPool* p) : p_(p) {
    if (p_->locked) pthread_mutex_lock(&p_->mutex);
  }
  ~PoolLock() {
    if (p_->locked) pthread_mutex_unlock(&p_->mutex);
  }
  PoolLock(const PoolLock&) = delete;
  PoolLock& operator=(const PoolLock&) = delete;

 private:
  BlockPool* p_;
};

Block* new_block(BlockPool* pool, int32_t capacity) {
  const size_t bytes = sizeof(Block) + static_cast<size_t>(pool->stride) * static_cast<size_t>(capacity);
  auto* block = static_cast<Block*>(std::calloc(1, bytes));
  if (block) block->capacity = capacity;
  return block;
}

}  // namespace

BlockPool* pool_new(int64_t element_size, int32_t initial_count, int32_t maximum_count, int32_t flags) {
  if (element_size < 0 || element_size > (int64_t{1} << 30)) return nullptr;
  auto* pool = static_cast<BlockPool*>(std::calloc(1, sizeof(BlockPool)));
  if (!pool) return nullptr;
  pool->stride = ((element_size + 7) & ~int64_t{7}) + 8;
  pool->initial = initial_count < 1 ? 1 : initial_count;
  pool->maximum = maximum_count < pool->initial ? pool->initial : maximum_count;
  pool->locked = (flags & POOL_UNLOCKED) ? 0 : 1;
  if (pool->locked) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&pool->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
  }
  return pool;
}

void* pool_alloc(BlockPool* pool) {
  if (!pool) return nullptr;
  PoolLock guard(pool);
  Block* block = pool->available;
  unsigned char* header;
  if (block) {
    if (block->free_count > 0) {
      header = static_cast<unsigned char*>(block->free_list);
      block->free_list = *reinterpret_cast<void**>(header);
      --block->free_count;
    } else {
      header = block->element(pool->stride, block->handed_out++);
    }
    if (block->free_count == 0 && block->handed_out >= block->capacity) {
      unlink(&pool->available, block);
      push_front(&pool->full, block);
    }
  } else {
    int64_t t = (pool->total / 16) & ~int64_t{15};
    int32_t capacity = t < pool->initial ? pool->initial : static_cast<int32_t>(t < pool->maximum ? t : pool->maximum);
    block = new_block(pool, capacity);
    if (!block && capacity > 1) block = new_block(pool, capacity = 1);
    if (!block) return nullptr;
    pool->total += capacity;
    block->handed_out = 1;
    block->free_count = 0;
    push_front(capacity >= 2 ? &pool->available : &pool->full, block);
    header = block->element(pool->stride, 0);
  }
  *reinterpret_cast<Block**>(header) = block;
  return header + 8;
}

void pool_free(BlockPool* pool, void* element) {
  if (!pool || !element) return;
  PoolLock guard(pool);
  unsigned char* header = static_cast<unsigned char*>(element) - 8;
  Block* block = *reinterpret_cast<Block**>(header);
  const bool was_full = block->free_count == 0 && block->handed_out >= block->capacity;
  *reinterpret_cast<void**>(header) = block->free_list;
  block->free_list = header;
  ++block->free_count;
  if (block->free_count == block->handed_out) {
    unlink(block->capacity == 1 || was_full ? &pool->full : &pool->available, block);
    pool->total -= block->capacity;
    std::free(block);
  } else if (was_full) {
    unlink(&pool->full, block);
    push_front(&pool->available, block);
  }
}

int64_t pool_total(BlockPool* pool) {
  if (!pool) return 0;
  PoolLock guard(pool);
  return pool->total;
}

int64_t pool_block_count(BlockPool* pool) {
  if (!pool) return 0;
  PoolLock guard(pool);
  int64_t n = 0;
  for (Block* b = pool->full; b; b = b->next) ++n;
  for (Block* b = pool->available; b; b = b->next) ++n;
  return n;
}

void pool_delete(BlockPool* pool) {
  if (!pool) return;
  for (Block* list : {pool->full, pool->available}) {
    while (list) {
      Block* next = list->next;
      std::free(list);
      list = next;
    }
  }
  if (pool->locked) pthread_mutex_destroy(&pool->mutex);
  std::free(pool);
}

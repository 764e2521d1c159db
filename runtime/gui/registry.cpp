// SPDX-License-Identifier: MIT
// Object registries: numbered slots plus a doubly linked list of dynamic records.
//
// A dynamic record is allocated with two links in front of it; its handle is the
// address just past the links. Beside the list a hash set holds every live handle,
// so a handle is looked up in O(1) and a value that the registry never handed out
// (or already took back) is never dereferenced.

#include "runtime/gui/registry.h"

#include <glib.h>
#include <pthread.h>

#include <cstdlib>
#include <cstring>

namespace {

struct DynamicLinks {
  DynamicLinks* next;      // older neighbour
  DynamicLinks* previous;  // newer neighbour
};

// Numbers at or above this never name an object: a larger value is far more likely
// a bogus value or a foreign address than a number, and growing the slot array to
// it would take gigabytes.
constexpr int64_t NUMBER_LIMIT = int64_t{1} << 24;

inline void* record_of(DynamicLinks* links) { return links + 1; }
inline DynamicLinks* links_of(void* record) { return static_cast<DynamicLinks*>(record) - 1; }
inline ObjectValue handle_of(DynamicLinks* links) {
  return static_cast<ObjectValue>(reinterpret_cast<uintptr_t>(record_of(links)));
}
inline bool is_live(const void* record) {
  void* primary = nullptr;
  std::memcpy(&primary, record, sizeof primary);
  return primary != nullptr;
}

}  // namespace

struct ObjectRegistry {
  int32_t record_size;
  int32_t increment;
  int64_t capacity;
  void** slots;
  DynamicLinks* dynamic_head;  // newest
  ObjectFreeFn free_fn;
  int64_t enum_slot;
  DynamicLinks* enum_dynamic;  // next dynamic record to yield (walks towards newer)
  pthread_mutex_t lock;
  DynamicLinks* dynamic_tail;  // oldest
  GHashTable* live_handles;    // record addresses of the dynamic list
  int32_t enum_depth;          // enumerations begun and not yet ended
};

namespace {

class RegistryLock {
 public:
  explicit RegistryLock(ObjectRegistry* r) : r_(r) { pthread_mutex_lock(&r_->lock); }
  ~RegistryLock() { pthread_mutex_unlock(&r_->lock); }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;

 private:
  ObjectRegistry* r_;
};

bool in_range(const ObjectRegistry* r, ObjectValue value) { return value >= 0 && value < r->capacity; }

// The dynamic record named by a handle, or null if the value is not a live handle.
DynamicLinks* find_handle(const ObjectRegistry* r, ObjectValue value) {
  if (value >= 0 && value < r->capacity) return nullptr;
  if (value == ANY_NUMBER || value == 0) return nullptr;
  void* key = reinterpret_cast<void*>(static_cast<uintptr_t>(value));
  if (!g_hash_table_contains(r->live_handles, key)) return nullptr;
  return links_of(key);
}

void unlink_dynamic(ObjectRegistry* r, DynamicLinks* links) {
  // An enumeration positioned on this record moves on to the next newer one.
  if (r->enum_dynamic == links) r->enum_dynamic = links->previous;
  if (links->previous) links->previous->next = links->next;
  else r->dynamic_head = links->next;
  if (links->next) links->next->previous = links->previous;
  else r->dynamic_tail = links->previous;
  g_hash_table_remove(r->live_handles, record_of(links));
  std::free(links);
}

bool grow_slots(ObjectRegistry* r, int64_t value) {
  const int64_t capacity = value + r->increment;
  void** slots = static_cast<void**>(std::realloc(r->slots, static_cast<size_t>(capacity) * sizeof(void*)));
  if (!slots) return false;
  for (int64_t i = r->capacity; i < capacity; ++i) slots[i] = nullptr;
  r->slots = slots;
  r->capacity = capacity;
  return true;
}

}  // namespace

ObjectRegistry* obj_registry_new(int32_t record_size, int32_t increment, ObjectFreeFn free_fn) {
  if (record_size < static_cast<int32_t>(sizeof(void*)) || increment < 1) return nullptr;
  auto* r = static_cast<ObjectRegistry*>(std::calloc(1, sizeof(ObjectRegistry)));
  if (!r) return nullptr;
  r->record_size = record_size;
  r->increment = increment;
  r->slots = static_cast<void**>(std::calloc(static_cast<size_t>(increment), sizeof(void*)));
  if (!r->slots) {
    std::free(r);
    return nullptr;
  }
  r->capacity = increment;
  r->free_fn = free_fn;
  r->live_handles = g_hash_table_new(g_direct_hash, g_direct_equal);
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&r->lock, &attr);
  pthread_mutexattr_destroy(&attr);
  return r;
}

void* obj_allocate(ObjectRegistry* r, ObjectValue value) {
  if (!r) return nullptr;
  RegistryLock guard(r);
  if (value == ANY_NUMBER) {
    auto* links = static_cast<DynamicLinks*>(std::calloc(1, sizeof(DynamicLinks) + static_cast<size_t>(r->record_size)));
    if (!links) return nullptr;
    links->next = r->dynamic_head;
    if (r->dynamic_head) r->dynamic_head->previous = links;
    else r->dynamic_tail = links;
    r->dynamic_head = links;
    g_hash_table_add(r->live_handles, record_of(links));
    return record_of(links);
  }
  // Only numbers can be (re)created; a handle or a bogus value names nothing new.
  if (value < 0 || value >= NUMBER_LIMIT) return nullptr;
  if (value >= r->capacity) {
    if (find_handle(r, value)) return nullptr;
    if (!grow_slots(r, value)) return nullptr;
  }
  if (r->slots[value]) {
    if (r->free_fn && is_live(r->slots[value])) r->free_fn(value);
    // The free operation may have grown the slot array, so read the slot again.
    return r->slots[value];
  }
  void* record = std::calloc(1, static_cast<size_t>(r->record_size));
  r->slots[value] = record;
  return record;
}

void* obj_get(ObjectRegistry* r, ObjectValue value) {
  if (!r) return nullptr;
  RegistryLock guard(r);
  void* record = nullptr;
  if (in_range(r, value)) {
    record = r->slots[value];
  } else if (DynamicLinks* links = find_handle(r, value)) {
    record = record_of(links);
  }
  return record && is_live(record) ? record : nullptr;
}

ObjectValue obj_is_object(ObjectRegistry* r, ObjectValue value) {
  if (!r) return 0;
  RegistryLock guard(r);
  if (in_range(r, value)) {
    void* record = r->slots[value];
    return record && is_live(record) ? static_cast<ObjectValue>(reinterpret_cast<uintptr_t>(record)) : 0;
  }
  return find_handle(r, value) ? value : 0;
}

void obj_release(ObjectRegistry* r, ObjectValue value) {
  if (!r) return;
  RegistryLock guard(r);
  if (in_range(r, value)) {
    if (r->slots[value]) std::memset(r->slots[value], 0, static_cast<size_t>(r->record_size));
  } else if (DynamicLinks* links = find_handle(r, value)) {
    unlink_dynamic(r, links);
  }
}

void obj_free_all(ObjectRegistry* r) {
  if (!r || !r->free_fn) return;
  RegistryLock guard(r);
  for (int64_t i = 0; i < r->capacity; ++i) {
    if (r->slots[i] && is_live(r->slots[i])) r->free_fn(i);
  }
  while (DynamicLinks* front = r->dynamic_head) {
    r->free_fn(handle_of(front));
    // A free operation leaves a record that is not live in place; take it off the
    // list here so that the loop always ends.
    if (r->dynamic_head == front) unlink_dynamic(r, front);
  }
}

void obj_enum_begin(ObjectRegistry* r) {
  if (!r) return;
  pthread_mutex_lock(&r->lock);
  ++r->enum_depth;
  r->enum_slot = 0;
  r->enum_dynamic = r->dynamic_tail;
}

void* obj_enum_next(ObjectRegistry* r, ObjectValue* value) {
  if (!r) return nullptr;
  RegistryLock guard(r);
  if (r->enum_depth == 0) return nullptr;
  while (r->enum_slot < r->capacity) {
    const int64_t i = r->enum_slot++;
    if (r->slots[i] && is_live(r->slots[i])) {
      if (value) *value = i;
      return r->slots[i];
    }
  }
  if (DynamicLinks* links = r->enum_dynamic) {
    r->enum_dynamic = links->previous;
    if (value) *value = handle_of(links);
    return record_of(links);
  }
  --r->enum_depth;
  pthread_mutex_unlock(&r->lock);  // the lock taken by obj_enum_begin
  if (value) *value = 0;
  return nullptr;
}

int64_t obj_registry_capacity(ObjectRegistry* r) {
  if (!r) return 0;
  RegistryLock guard(r);
  return r->capacity;
}

void obj_registry_delete(ObjectRegistry* r) {
  if (!r) return;
  for (int64_t i = 0; i < r->capacity; ++i) std::free(r->slots[i]);
  std::free(r->slots);
  while (DynamicLinks* links = r->dynamic_head) {
    r->dynamic_head = links->next;
    std::free(links);
  }
  g_hash_table_destroy(r->live_handles);
  pthread_mutex_destroy(&r->lock);
  std::free(r);
}

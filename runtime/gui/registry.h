// SPDX-License-Identifier: MIT
// Object registries (objects named by number or handle), per-thread data segments,
// the block pool and the per-thread current gadget list.
#pragma once

#include <cstddef>
#include <cstdint>

// obj_registry_new: new registry of record_size records, `increment` numbered slots at first.
// obj_allocate: the record for value (ANY_NUMBER = new dynamic record); frees a live object first.
// obj_get: the live record named by value, or null.
// obj_is_object: the live record for a number, the value itself for a listed handle, else 0.
// obj_release: zero a numbered record, or unlink and free a dynamic one.
// obj_free_all: the free operation on every live numbered object, then on every dynamic one.
// obj_enum_begin: start an enumeration (holds the registry's lock until it ends).
// obj_enum_next: next record and its value, or null at the end (drops the lock).
// obj_registry_capacity: the current number of numbered slots.
// obj_registry_delete: free a registry and its records, freeing no objects (tests, tools).
// tls_register_segment: add a per-thread segment of size bytes; returns its offset.
// tls_segment: the calling thread's address of the segment at offset.
// tls_shutdown: delete the per-thread data key.
// pool_new: a pool of elements of size bytes.
// pool_alloc: one element, or null.
// pool_free: give an element back.
// pool_total/pool_block_count: the sum of the block capacities / the number of blocks.
// pool_delete: free a pool with every block, handed-out elements included.
// gadget_list_use: make widget's gadget list current (null = query); returns the previous owner.
// gadget_list_state: the calling thread's GadgetListState (the gadget layer's segment once set).

typedef int64_t ObjectValue;
constexpr ObjectValue ANY_NUMBER = -1;

typedef void (*ObjectFreeFn)(ObjectValue value);
typedef void (*TlsSegmentFn)(void* segment);

struct ObjectRegistry;
struct BlockPool;

constexpr int32_t POOL_UNLOCKED = 2;
constexpr int GADGET_LIST_STACK_SIZE = 100;

// The gadget layer's per-thread list state; the layer keeps it in its own segment.
struct GadgetListState {
  void* current;                          // GtkWidget*: container for the next gadget
  int32_t depth;
  void* stack[GADGET_LIST_STACK_SIZE];    // GtkWidget*
  void* default_font;                     // PangoFontDescription*
  void* owner;                            // GtkWidget* whose gadget list is current
};

ObjectRegistry* obj_registry_new(int32_t record_size, int32_t increment, ObjectFreeFn free_fn);
void* obj_allocate(ObjectRegistry* registry, ObjectValue value);
void* obj_get(ObjectRegistry* registry, ObjectValue value);
ObjectValue obj_is_object(ObjectRegistry* registry, ObjectValue value);
void obj_release(ObjectRegistry* registry, ObjectValue value);
void obj_free_all(ObjectRegistry* registry);
void obj_enum_begin(ObjectRegistry* registry);
void* obj_enum_next(ObjectRegistry* registry, ObjectValue* value);
int64_t obj_registry_capacity(ObjectRegistry* registry);
void obj_registry_delete(ObjectRegistry* registry);

int64_t tls_register_segment(int64_t size, TlsSegmentFn init, TlsSegmentFn destroy);
void* tls_segment(int64_t offset);
void tls_shutdown();

BlockPool* pool_new(int64_t element_size, int32_t initial_count, int32_t maximum_count, int32_t flags);
void* pool_alloc(BlockPool* pool);
void pool_free(BlockPool* pool, void* element);
int64_t pool_total(BlockPool* pool);
int64_t pool_block_count(BlockPool* pool);
void pool_delete(BlockPool* pool);

// The gadget layer registers the segment holding GadgetListState and tells the
// registry where it is, so that gadget_list_use can find it on every thread.
void gadget_list_set_segment(int64_t offset);
void* gadget_list_use(void* widget);
GadgetListState* gadget_list_state();

// SPDX-License-Identifier: MIT
// Event queue and object lookups.
//
// Peers, measured in the same run:
// - EventQueue/PostFetch against HeapQueue/PostFetch: the same FIFO with one
//   malloc/free per event under the same kind of recursive mutex.
// - ObjGet/Handle against ObjGet/Number.
// Heap allocations are counted by interposing malloc in this executable
// (not in sanitizer builds, whose runtime owns malloc).

#include <benchmark/benchmark.h>
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/gui/event.h"
#include "runtime/gui/registry.h"
#include "rotation.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZVD_COUNT_ALLOCATIONS 0
#else
#define ZVD_COUNT_ALLOCATIONS 1
#endif

namespace {
thread_local bool t_counting = false;
thread_local long t_allocations = 0;
}  // namespace

#if ZVD_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* malloc(size_t n) {
  if (t_counting) ++t_allocations;
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
  if (t_counting) ++t_allocations;
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
  if (t_counting) ++t_allocations;
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}
#endif

namespace {

// --- The heap-allocating peer queue ----------------------------------------------------

pthread_mutex_t g_heap_mutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
EventRecord* g_heap_head = nullptr;
EventRecord* g_heap_tail = nullptr;

void heap_post(int32_t type, int64_t gadget, int64_t window, int64_t subtype) {
  pthread_mutex_lock(&g_heap_mutex);
  auto* r = static_cast<EventRecord*>(std::malloc(sizeof(EventRecord)));
  *r = EventRecord{nullptr, type, gadget, window, subtype};
  if (g_heap_tail) g_heap_tail->next = r;
  else g_heap_head = r;
  g_heap_tail = r;
  pthread_mutex_unlock(&g_heap_mutex);
}

int64_t heap_fetch() {
  pthread_mutex_lock(&g_heap_mutex);
  int64_t type = 0;
  if (EventRecord* r = g_heap_head) {
    type = r->type;
    g_heap_head = r->next;
    if (r == g_heap_tail) g_heap_tail = nullptr;
    std::free(r);
  }
  pthread_mutex_unlock(&g_heap_mutex);
  return type;
}

void EventQueue_PostFetch(benchmark::State& state) {
  event_queue_init();
  int64_t i = 0;
  for (auto _ : state) {
    event_post(EVENT_GADGET, ++i, 1, 0);
    benchmark::DoNotOptimize(event_fetch());
  }
}
BENCHMARK(EventQueue_PostFetch);

void HeapQueue_PostFetch(benchmark::State& state) {
  int64_t i = 0;
  for (auto _ : state) {
    heap_post(EVENT_GADGET, ++i, 1, 0);
    benchmark::DoNotOptimize(heap_fetch());
  }
}
BENCHMARK(HeapQueue_PostFetch);

// Bursts of 64 events queued before they are fetched.
void EventQueue_Burst64(benchmark::State& state) {
  event_queue_init();
  for (auto _ : state) {
    for (int64_t i = 0; i < 64; ++i) event_post(EVENT_GADGET, i, 1, 0);
    for (int i = 0; i < 64; ++i) benchmark::DoNotOptimize(event_fetch());
  }
  state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(EventQueue_Burst64);

// --- Lookups ----------------------------------------------------------------------------

struct Rec {
  void* primary;
};

ObjectRegistry* lookup_registry() {
  static ObjectRegistry* r = [] {
    ObjectRegistry* reg = obj_registry_new(sizeof(Rec), 16, nullptr);
    for (int n = 0; n < 64; ++n) static_cast<Rec*>(obj_allocate(reg, n))->primary = reg;
    return reg;
  }();
  return r;
}

std::vector<ObjectValue>& handles() {
  static std::vector<ObjectValue> h = [] {
    std::vector<ObjectValue> v;
    for (int n = 0; n < 64; ++n) {
      auto* rec = static_cast<Rec*>(obj_allocate(lookup_registry(), ANY_NUMBER));
      rec->primary = rec;
      v.push_back(static_cast<ObjectValue>(reinterpret_cast<intptr_t>(rec)));
    }
    return v;
  }();
  return h;
}

void ObjGet_Number(benchmark::State& state) {
  ObjectRegistry* r = lookup_registry();
  handles();
  int64_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(obj_get(r, n));
    n = (n + 1) & 63;
  }
}
BENCHMARK(ObjGet_Number);

void ObjGet_Handle(benchmark::State& state) {
  ObjectRegistry* r = lookup_registry();
  const std::vector<ObjectValue>& h = handles();
  size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(obj_get(r, h[n]));
    n = (n + 1) & 63;
  }
}
BENCHMARK(ObjGet_Handle);

// --- Reporting --------------------------------------------------------------------------

// Alternating rounds of batches of each pair until the ratio's spread is within +-5 % (or
// 20 s pass); prints each median with its quartiles and the ratio with its spread.
void compare_in_rounds() {
  constexpr int kBatch = 100000;
  constexpr double kTolerance = 0.05;
  event_queue_init();
  ObjectRegistry* r = lookup_registry();
  const std::vector<ObjectValue>& h = handles();
  std::vector<rotation::Contender> contenders;
  contenders.push_back({"event_post + event_fetch", [] {
                          for (int64_t i = 0; i < kBatch; ++i) {
                            event_post(EVENT_GADGET, i, 1, 0);
                            benchmark::DoNotOptimize(event_fetch());
                          }
                        }, kBatch});
  contenders.push_back({"heap queue", [] {
                          for (int64_t i = 0; i < kBatch; ++i) {
                            heap_post(EVENT_GADGET, i, 1, 0);
                            benchmark::DoNotOptimize(heap_fetch());
                          }
                        }, kBatch});
  contenders.push_back({"obj_get by handle", [&] {
                          for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(obj_get(r, h[size_t(i) & 63]));
                        }, kBatch});
  contenders.push_back({"obj_get by number", [&] {
                          for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(obj_get(r, int64_t{i & 63}));
                        }, kBatch});
  const int rounds = rotation::run(contenders, {{0, 1}, {2, 3}}, 15, kTolerance, 20.0);
  std::printf("\n%d alternating rounds of %d operations, ns per operation, median [lowest .. highest quartile]:\n",
              rounds, kBatch);
  rotation::print_times(contenders, 1e9, "ns");
  rotation::print_ratio("event queue against a heap queue", contenders[0], contenders[1], -1, kTolerance);
  rotation::print_ratio("lookup by handle against by number", contenders[2], contenders[3], -1, kTolerance);
  const rotation::Spread post = rotation::spread(contenders[0].cpu);
  std::printf("event_post + event_fetch per event: %s ns cpu; goal <= 50 ns: %s\n", rotation::format(post, 1e9).c_str(),
              post.median * 1e9 <= 50 ? "MET" : "NOT MET");
}

// Heap allocations per event for `events` events posted and fetched in bursts of `burst`.
double allocations_per_event(int events, int burst) {
  t_allocations = 0;
  t_counting = true;
  for (int done = 0; done < events; done += burst) {
    for (int i = 0; i < burst; ++i) event_post(EVENT_GADGET, i, 1, 0);
    for (int i = 0; i < burst; ++i) event_fetch();
  }
  t_counting = false;
  return static_cast<double>(t_allocations) / events;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  compare_in_rounds();
#if ZVD_COUNT_ALLOCATIONS
  event_queue_init();
  allocations_per_event(4096, 256);  // grow the pool once
  const double one = allocations_per_event(100000, 1);
  const double fifteen = allocations_per_event(99990, 15);
  std::printf("heap allocations per event, one at a time:    %.4f\n", one);
  std::printf("heap allocations per event, bursts of 15:     %.4f\n", fifteen);
  std::printf("heap allocations per event, bursts of 64:     %.4f\n", allocations_per_event(99968, 64));
  std::printf("heap allocations per event once the pool has grown (one at a time, bursts of 15): goal 0: %s\n",
              one == 0 && fifteen == 0 ? "MET" : "NOT MET");
#else
  std::printf("heap allocations per event: not counted in a sanitizer build\n");
#endif
  return 0;
}

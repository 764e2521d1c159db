// Object registry, per-thread segments and the block pool.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include "runtime/gui/registry.h"

namespace {

struct TestRecord {
  void* primary;  // liveness field
  int64_t payload;
};

ObjectRegistry* g_reg = nullptr;
std::vector<ObjectValue> g_freed;

// The kind's free operation: records the order and releases the record.
void free_test_object(ObjectValue value) {
  if (!obj_get(g_reg, value)) return;
  g_freed.push_back(value);
  obj_release(g_reg, value);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reg = obj_registry_new(sizeof(TestRecord), 16, free_test_object);
    g_freed.clear();
  }
  void TearDown() override {
    obj_free_all(g_reg);
    obj_registry_delete(g_reg);
  }

  TestRecord* make(ObjectValue value) {
    auto* r = static_cast<TestRecord*>(obj_allocate(g_reg, value));
    if (r) r->primary = r;
    return r;
  }
  static ObjectValue handle(TestRecord* r) { return static_cast<ObjectValue>(reinterpret_cast<intptr_t>(r)); }
};

TEST_F(RegistryTest, NumbersIncludingZeroAndSlotGrowth) {
  TestRecord* zero = make(0);
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(obj_get(g_reg, 0), zero);
  EXPECT_EQ(obj_registry_capacity(g_reg), 16);
  ASSERT_NE(make(40), nullptr);
  EXPECT_EQ(obj_registry_capacity(g_reg), 56);
  EXPECT_EQ(obj_get(g_reg, 39), nullptr);
  EXPECT_EQ(obj_is_object(g_reg, 0), handle(zero));
  EXPECT_EQ(obj_is_object(g_reg, 1), 0);
}

TEST_F(RegistryTest, RecreatingALiveNumberFreesItAndReusesTheZeroedRecord) {
  TestRecord* first = make(3);
  first->payload = 77;
  auto* again = static_cast<TestRecord*>(obj_allocate(g_reg, 3));
  EXPECT_EQ(again, first);
  EXPECT_EQ(g_freed, std::vector<ObjectValue>{3});
  EXPECT_EQ(again->primary, nullptr);
  EXPECT_EQ(again->payload, 0);
  // A released number reads as no object and its record is reused without a free.
  obj_release(g_reg, 3);
  EXPECT_EQ(obj_get(g_reg, 3), nullptr);
  EXPECT_EQ(obj_is_object(g_reg, 3), 0);
  EXPECT_EQ(obj_allocate(g_reg, 3), first);
  EXPECT_EQ(g_freed.size(), 1u);
}

TEST_F(RegistryTest, DynamicHandlesAreDistinctAndOnlyListedWhileHeld) {
  TestRecord* a = make(ANY_NUMBER);
  TestRecord* b = make(ANY_NUMBER);
  ASSERT_NE(a, b);
  EXPECT_EQ(obj_get(g_reg, handle(a)), a);
  EXPECT_EQ(obj_is_object(g_reg, handle(b)), handle(b));
  obj_release(g_reg, handle(a));
  EXPECT_EQ(obj_get(g_reg, handle(a)), nullptr);
  EXPECT_EQ(obj_is_object(g_reg, handle(a)), 0);
  EXPECT_EQ(obj_get(g_reg, handle(b)), b);
  // A listed record that is not live is an object for obj_is_object but not for obj_get.
  b->primary = nullptr;
  EXPECT_EQ(obj_get(g_reg, handle(b)), nullptr);
  EXPECT_EQ(obj_is_object(g_reg, handle(b)), handle(b));
  obj_release(g_reg, handle(b));
}

TEST_F(RegistryTest, BogusValuesAreNeverDereferenced) {
  TestRecord* kept = make(ANY_NUMBER);
  TestRecord* stale = make(ANY_NUMBER);
  const ObjectValue stale_handle = handle(stale);
  obj_release(g_reg, stale_handle);
  int on_stack = 0;
  const ObjectValue bogus[] = {stale_handle,
                               -2,
                               INT64_MIN,
                               INT64_MAX,
                               static_cast<ObjectValue>(reinterpret_cast<intptr_t>(&on_stack)),
                               static_cast<ObjectValue>(0x7f3a12345678),
                               handle(kept) + 8};
  for (ObjectValue v : bogus) {
    EXPECT_EQ(obj_get(g_reg, v), nullptr) << v;
    EXPECT_EQ(obj_is_object(g_reg, v), 0) << v;
    EXPECT_EQ(obj_allocate(g_reg, v), nullptr) << v;
    obj_release(g_reg, v);
  }
  EXPECT_EQ(obj_registry_capacity(g_reg), 16);  // no slot growth from a bogus value
  EXPECT_EQ(obj_get(g_reg, handle(kept)), kept);
  // A live handle names an existing object; it cannot be re-created and stays intact.
  EXPECT_EQ(obj_allocate(g_reg, handle(kept)), nullptr);
  EXPECT_EQ(obj_get(g_reg, handle(kept)), kept);
  EXPECT_TRUE(g_freed.empty());
  EXPECT_EQ(obj_get(nullptr, 0), nullptr);
  EXPECT_EQ(obj_allocate(nullptr, 0), nullptr);
}

TEST_F(RegistryTest, FreeAllGoesAscendingThenNewestFirst) {
  make(5);
  make(1);
  make(9);
  TestRecord* h1 = make(ANY_NUMBER);
  TestRecord* h2 = make(ANY_NUMBER);
  TestRecord* h3 = make(ANY_NUMBER);
  obj_free_all(g_reg);
  EXPECT_EQ(g_freed, (std::vector<ObjectValue>{1, 5, 9, handle(h3), handle(h2), handle(h1)}));
  EXPECT_EQ(obj_get(g_reg, 1), nullptr);
}

TEST_F(RegistryTest, FreeAllEndsEvenIfAFreeOperationLeavesARecord) {
  TestRecord* dead = make(ANY_NUMBER);
  dead->primary = nullptr;  // a record whose creation did not finish
  make(ANY_NUMBER);
  obj_free_all(g_reg);
  EXPECT_EQ(g_freed.size(), 1u);
  obj_enum_begin(g_reg);
  ObjectValue v = 0;
  EXPECT_EQ(obj_enum_next(g_reg, &v), nullptr);
}

TEST_F(RegistryTest, EnumerationOrderWithFreesInsideTheLoop) {
  make(9);
  make(2);
  TestRecord* h1 = make(ANY_NUMBER);
  TestRecord* h2 = make(ANY_NUMBER);
  TestRecord* h3 = make(ANY_NUMBER);
  std::vector<ObjectValue> seen;
  obj_enum_begin(g_reg);
  ObjectValue v = 0;
  while (obj_enum_next(g_reg, &v)) {
    seen.push_back(v);
    free_test_object(v);  // the yielded object
    // Freeing the record the cursor points at next must not derail the walk.
    if (v == handle(h1)) free_test_object(handle(h2));
  }
  EXPECT_EQ(seen, (std::vector<ObjectValue>{2, 9, handle(h1), handle(h3)}));
  EXPECT_EQ(g_freed, (std::vector<ObjectValue>{2, 9, handle(h1), handle(h2), handle(h3)}));
  // The lock was dropped at the end: another thread gets in.
  auto other = std::async(std::launch::async, [] { return obj_get(g_reg, 2); });
  EXPECT_EQ(other.get(), nullptr);
  EXPECT_EQ(obj_enum_next(g_reg, &v), nullptr);  // no enumeration running
}

// --- Per-thread segments -------------------------------------------------------

struct SegmentLog {
  int inits = 0;
  int destroys = 0;
  std::set<void*> destroyed;
};
SegmentLog g_seg;

void segment_init(void* s) {
  ++g_seg.inits;
  *static_cast<int64_t*>(s) = 0x5eed;
}
void segment_destroy(void* s) {
  ++g_seg.destroys;
  g_seg.destroyed.insert(s);
}

TEST(TlsSegments, InitOnEveryThreadAndDestroyAtThreadExit) {
  g_seg = {};
  const int64_t offset = tls_register_segment(12, segment_init, segment_destroy);
  ASSERT_GE(offset, 0);
  EXPECT_EQ(g_seg.inits, 1);  // the registering thread's segment
  auto* main_seg = static_cast<int64_t*>(tls_segment(offset));
  ASSERT_NE(main_seg, nullptr);
  EXPECT_EQ(main_seg[0], 0x5eed);
  EXPECT_EQ(main_seg[1], 0);
  EXPECT_EQ(tls_register_segment(1, nullptr, nullptr), offset + 16);  // 12 rounds up to 16
  // Registering resizes (and may move) this thread's block: look the segment up again.
  main_seg = static_cast<int64_t*>(tls_segment(offset));
  EXPECT_EQ(main_seg[0], 0x5eed);

  void* thread_seg = nullptr;
  int64_t seen = 0;
  std::thread([&] {
    auto* s = static_cast<int64_t*>(tls_segment(offset));
    thread_seg = s;
    seen = s[0];
    s[0] = 1;
  }).join();
  EXPECT_NE(thread_seg, main_seg);
  EXPECT_EQ(seen, 0x5eed);
  EXPECT_EQ(g_seg.inits, 2);
  EXPECT_EQ(g_seg.destroys, 1);
  EXPECT_TRUE(g_seg.destroyed.count(thread_seg));
  EXPECT_EQ(main_seg[0], 0x5eed);  // each thread has its own block
}

TEST(TlsSegments, LaterRegistrationGrowsAnOlderThreadsBlock) {
  const int64_t first = tls_register_segment(8, nullptr, nullptr);
  std::promise<void> have_block, registered;
  std::shared_future<void> go = registered.get_future().share();
  int64_t second = -1;
  int64_t value = -1;
  std::thread t([&] {
    tls_segment(first);
    have_block.set_value();
    go.wait();
    auto* s = static_cast<int64_t*>(tls_segment(second));
    value = s ? s[0] : -2;
  });
  have_block.get_future().wait();
  g_seg = {};
  second = tls_register_segment(64, segment_init, nullptr);
  registered.set_value();
  t.join();
  EXPECT_EQ(value, 0x5eed);
  EXPECT_EQ(g_seg.inits, 2);  // main thread at registration, the other thread on growth
}

TEST(TlsSegments, ShutdownDestroysTheCallersBlockAndTheKeyComesBack) {
  g_seg = {};
  const int64_t offset = tls_register_segment(8, segment_init, segment_destroy);
  void* before = tls_segment(offset);
  tls_shutdown();
  EXPECT_TRUE(g_seg.destroyed.count(before));
  auto* after = static_cast<int64_t*>(tls_segment(offset));
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after[0], 0x5eed);  // a fresh block, initialised again
}

// --- Block pool -------------------------------------------------------------------

TEST(BlockPool, EventPoolBlockGrowth) {
  BlockPool* pool = pool_new(40, 16, 256, POOL_UNLOCKED);
  std::vector<void*> elements;
  auto alloc_until = [&](int64_t total_after) {
    while (pool_total(pool) < total_after || elements.size() < static_cast<size_t>(pool_total(pool))) {
      elements.push_back(pool_alloc(pool));
      ASSERT_NE(elements.back(), nullptr);
    }
  };
  alloc_until(16);
  EXPECT_EQ(pool_block_count(pool), 1);
  elements.push_back(pool_alloc(pool));
  EXPECT_EQ(pool_total(pool), 32);  // a second block of 16 once the first is full
  alloc_until(512);
  EXPECT_EQ(pool_total(pool), 512);
  EXPECT_EQ(pool_block_count(pool), 32);
  elements.push_back(pool_alloc(pool));
  EXPECT_EQ(pool_total(pool), 544);  // 512 / 16 = 32
  alloc_until(768);
  elements.push_back(pool_alloc(pool));
  EXPECT_EQ(pool_total(pool), 768 + 48);
  alloc_until(4096);
  const int64_t at = pool_total(pool);
  elements.push_back(pool_alloc(pool));
  EXPECT_EQ(pool_total(pool) - at, 256);  // capped at the maximum
  alloc_until(pool_total(pool));
  elements.push_back(pool_alloc(pool));
  EXPECT_EQ(pool_total(pool) - at, 512);

  std::set<void*> distinct(elements.begin(), elements.end());
  EXPECT_EQ(distinct.size(), elements.size());
  for (void* e : elements) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(e) % 8, 0u);
    std::memset(e, 0xAB, 40);  // the sanitizer build catches overlap or overrun
  }
  for (void* e : elements) pool_free(pool, e);
  EXPECT_EQ(pool_total(pool), 0);
  EXPECT_EQ(pool_block_count(pool), 0);
  pool_delete(pool);
}

TEST(BlockPool, BlocksComeBackWhenEveryElementIsFree) {
  BlockPool* pool = pool_new(8, 16, 256, 0);
  std::vector<void*> first;
  for (int i = 0; i < 16; ++i) first.push_back(pool_alloc(pool));
  void* extra = pool_alloc(pool);
  EXPECT_EQ(pool_block_count(pool), 2);
  pool_free(pool, extra);
  EXPECT_EQ(pool_block_count(pool), 1);
  EXPECT_EQ(pool_total(pool), 16);
  // A full block with one element back serves that element again, no new block.
  pool_free(pool, first[5]);
  EXPECT_EQ(pool_alloc(pool), first[5]);
  EXPECT_EQ(pool_block_count(pool), 1);
  for (void* e : first) pool_free(pool, e);
  EXPECT_EQ(pool_block_count(pool), 0);
  EXPECT_EQ(pool_total(pool), 0);
  pool_free(pool, nullptr);
  EXPECT_EQ(pool_alloc(nullptr), nullptr);
  pool_delete(pool);
}

TEST(BlockPool, LockedPoolSharedByThreads) {
  BlockPool* pool = pool_new(16, 16, 256, 0);
  auto worker = [pool] {
    std::vector<void*> mine;
    for (int round = 0; round < 200; ++round) {
      for (int i = 0; i < 20; ++i) mine.push_back(pool_alloc(pool));
      for (void* e : mine) pool_free(pool, e);
      mine.clear();
    }
  };
  std::thread a(worker), b(worker);
  a.join();
  b.join();
  EXPECT_EQ(pool_block_count(pool), 0);
  pool_delete(pool);
}

}  // namespace

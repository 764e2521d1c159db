// Object registry, per-thread segments and the block pool.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <map>
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
  static TestRecord* make(ObjectValue value) {
    auto* r = static_cast<TestRecord*>(obj_allocate(g_reg, value));
    if (r) r->primary = r;
    return r;
  }
  static ObjectValue handle(TestRecord* r) { return static_cast<ObjectValue>(reinterpret_cast<intptr_t>(r)); }
};

TEST_F(RegistryTest, NumberedSlotsGrowAndALiveNumberIsRecreatedZeroed) {
  TestRecord* zero = make(0);
  EXPECT_EQ(obj_is_object(g_reg, 0), handle(zero));
  EXPECT_EQ(obj_is_object(g_reg, 1), 0);
  ASSERT_NE(make(40), nullptr);
  EXPECT_EQ(obj_registry_capacity(g_reg), 56);
  EXPECT_EQ(obj_get(g_reg, 39), nullptr);

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
  EXPECT_EQ(obj_allocate(g_reg, 3), first);
  EXPECT_EQ(g_freed.size(), 1u);
}

TEST_F(RegistryTest, DynamicHandlesAreOnlyListedWhileHeld) {
  TestRecord* a = make(ANY_NUMBER);
  TestRecord* b = make(ANY_NUMBER);
  ASSERT_NE(a, b);
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
  const ObjectValue stale = handle(make(ANY_NUMBER));
  obj_release(g_reg, stale);
  int on_stack = 0;
  for (ObjectValue v : {stale, ObjectValue{-2}, INT64_MIN, INT64_MAX, handle(kept) + 8,
                        static_cast<ObjectValue>(reinterpret_cast<intptr_t>(&on_stack)), ObjectValue{0x7f3a12345678}}) {
    EXPECT_EQ(obj_get(g_reg, v), nullptr) << v;
    EXPECT_EQ(obj_is_object(g_reg, v), 0) << v;
    EXPECT_EQ(obj_allocate(g_reg, v), nullptr) << v;
    obj_release(g_reg, v);
  }
  EXPECT_EQ(obj_registry_capacity(g_reg), 16);  // no slot growth from a bogus value
  // A live handle names an existing object; it cannot be re-created and stays intact.
  EXPECT_EQ(obj_allocate(g_reg, handle(kept)), nullptr);
  EXPECT_EQ(obj_get(g_reg, handle(kept)), kept);
  EXPECT_TRUE(g_freed.empty());
  EXPECT_EQ(obj_get(nullptr, 0), nullptr);
  EXPECT_EQ(obj_allocate(nullptr, 0), nullptr);
}

TEST_F(RegistryTest, FreeAllGoesAscendingThenNewestFirstAndEndsOverUnfinishedRecords) {
  for (ObjectValue n : {5, 1, 9}) make(n);
  const ObjectValue h1 = handle(make(ANY_NUMBER)), h2 = handle(make(ANY_NUMBER));
  make(ANY_NUMBER)->primary = nullptr;  // a record whose creation did not finish
  obj_free_all(g_reg);
  EXPECT_EQ(g_freed, (std::vector<ObjectValue>{1, 5, 9, h2, h1}));
  obj_enum_begin(g_reg);
  ObjectValue v = 0;
  EXPECT_EQ(obj_enum_next(g_reg, &v), nullptr);
}

TEST_F(RegistryTest, EnumerationOrderWithFreesInsideTheLoop) {
  make(9);
  make(2);
  const ObjectValue h1 = handle(make(ANY_NUMBER)), h2 = handle(make(ANY_NUMBER)), h3 = handle(make(ANY_NUMBER));
  std::vector<ObjectValue> seen;
  obj_enum_begin(g_reg);
  ObjectValue v = 0;
  while (obj_enum_next(g_reg, &v)) {
    seen.push_back(v);
    free_test_object(v);  // the yielded object
    // Freeing the record the cursor points at next must not derail the walk.
    if (v == h1) free_test_object(h2);
  }
  EXPECT_EQ(seen, (std::vector<ObjectValue>{2, 9, h1, h3}));
  EXPECT_EQ(g_freed, (std::vector<ObjectValue>{2, 9, h1, h2, h3}));
  // The lock was dropped at the end: another thread gets in.
  EXPECT_EQ(std::async(std::launch::async, [] { return obj_get(g_reg, 2); }).get(), nullptr);
  EXPECT_EQ(obj_enum_next(g_reg, &v), nullptr);  // no enumeration running
}

// --- Per-thread segments -------------------------------------------------------

int g_inits = 0;
std::set<void*> g_destroyed;
void segment_init(void* s) {
  ++g_inits;
  *static_cast<int64_t*>(s) = 0x5eed;
}
void segment_destroy(void* s) { g_destroyed.insert(s); }

TEST(TlsSegments, InitOnEveryThreadAndDestroyAtThreadExit) {
  g_inits = 0;
  g_destroyed.clear();
  const int64_t offset = tls_register_segment(12, segment_init, segment_destroy);
  ASSERT_GE(offset, 0);
  EXPECT_EQ(g_inits, 1);  // the registering thread's segment
  EXPECT_EQ(tls_register_segment(1, nullptr, nullptr), offset + 16);  // 12 rounds up to 16
  const int64_t empty = tls_register_segment(0, nullptr, nullptr);   // registered last, zero size
  EXPECT_EQ(tls_segment(empty), static_cast<char*>(tls_segment(offset)) + 24);
  // Registering resizes (and may move) this thread's block: look the segment up again.
  auto* main_seg = static_cast<int64_t*>(tls_segment(offset));
  EXPECT_EQ(main_seg[0], 0x5eed);
  EXPECT_EQ(main_seg[1], 0);
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
  EXPECT_EQ(g_inits, 2);
  EXPECT_EQ(g_destroyed, std::set<void*>{thread_seg});
  EXPECT_EQ(main_seg[0], 0x5eed);  // each thread has its own block
}

TEST(TlsSegments, LateRegistrationGrowsAnOlderThreadsBlockAndShutdownComesBack) {
  const int64_t first = tls_register_segment(8, nullptr, nullptr);
  std::promise<void> have_block, registered;
  std::shared_future<void> go = registered.get_future().share();
  int64_t second = -1, value = -1;
  std::thread t([&] {
    tls_segment(first);
    have_block.set_value();
    go.wait();
    auto* s = static_cast<int64_t*>(tls_segment(second));
    value = s ? s[0] : -2;
  });
  have_block.get_future().wait();
  g_inits = 0;
  second = tls_register_segment(64, segment_init, segment_destroy);
  registered.set_value();
  t.join();
  EXPECT_EQ(value, 0x5eed);
  EXPECT_EQ(g_inits, 2);  // main thread at registration, the other thread on growth

  // Shutdown destroys the caller's block; a later look-up gets a fresh, initialised one.
  g_destroyed.clear();
  void* before = tls_segment(second);
  tls_shutdown();
  EXPECT_TRUE(g_destroyed.count(before));
  auto* after = static_cast<int64_t*>(tls_segment(second));
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after[0], 0x5eed);
}

// --- Block pool -------------------------------------------------------------------

TEST(BlockPool, BlocksGrowWithThePoolAndComeBackWhenEmpty) {
  BlockPool* pool = pool_new(40, 16, 256, POOL_UNLOCKED);
  std::vector<void*> elements;
  std::map<int64_t, int64_t> growth;  // total before a new block -> its size
  while (pool_total(pool) < 6000) {
    while (elements.size() < size_t(pool_total(pool))) elements.push_back(pool_alloc(pool));
    const int64_t before = pool_total(pool);
    elements.push_back(pool_alloc(pool));
    growth[before] = pool_total(pool) - before;
  }
  EXPECT_EQ(growth[0], 16);
  EXPECT_EQ(growth[496], 16);
  EXPECT_EQ(growth[512], 32);  // 512 / 16
  EXPECT_EQ(growth[768], 48);
  for (auto [total, size] : growth) EXPECT_LE(size, 256) << total;  // capped at the maximum
  EXPECT_EQ(std::prev(growth.end())->second, 256);

  EXPECT_EQ(std::set<void*>(elements.begin(), elements.end()).size(), elements.size());
  for (void* e : elements) {
    ASSERT_EQ(reinterpret_cast<uintptr_t>(e) % 8, 0u);
    std::memset(e, 0xAB, 40);  // the sanitizer build catches overlap or overrun
  }
  for (void* e : elements) pool_free(pool, e);
  EXPECT_EQ(pool_total(pool), 0);
  EXPECT_EQ(pool_block_count(pool), 0);
  pool_delete(pool);

  pool = pool_new(8, 16, 256, 0);
  std::vector<void*> first;
  for (int i = 0; i < 16; ++i) first.push_back(pool_alloc(pool));
  pool_free(pool, pool_alloc(pool));
  EXPECT_EQ(pool_block_count(pool), 1);
  // A full block with one element back serves that element again, no new block.
  pool_free(pool, first[5]);
  EXPECT_EQ(pool_alloc(pool), first[5]);
  EXPECT_EQ(pool_total(pool), 16);
  pool_free(pool, nullptr);
  EXPECT_EQ(pool_alloc(nullptr), nullptr);
  pool_delete(pool);  // with its elements still handed out
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

// SPDX-License-Identifier: MIT
// The GUI frame below the windows: the object registry (numbers, live, stale and bogus handles), per-thread
// segments and the event queue (merging, suppression, purging, waiting); the soak test holds the event pool.
#include <future>
#include <set>
#include <thread>
#include <tuple>

#include "tests/support/gui.h"

namespace {

using zvd_test::drain_events;
using zvd_test::Event;

struct TestRecord {  // primary: the liveness field
  void* primary;
  int64_t payload;
};

ObjectRegistry* g_reg = nullptr;
std::vector<ObjectValue> g_freed;

void free_test_object(ObjectValue value) {
  if (!obj_get(g_reg, value)) return;
  g_freed.push_back(value);
  obj_release(g_reg, value);
}

struct Registry : ::testing::Test {
  // 15 slots leave the word past the last to the allocator (never zero): a look-up there crashes.
  void SetUp() override {
    g_reg = obj_registry_new(sizeof(TestRecord), 15, free_test_object);
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

TEST_F(Registry, NumbersGrowTheSlotsAndALiveNumberIsFreedBeforeReuse) {
  const ObjectValue zero = handle(make(0));  // made first: argument order is unspecified
  EXPECT_EQ(obj_is_object(g_reg, 0), zero);
  ASSERT_NE(make(40), nullptr);
  EXPECT_EQ(obj_registry_capacity(g_reg), 55);
  EXPECT_EQ(obj_get(g_reg, 39), nullptr);
  TestRecord* first = make(3);
  first->payload = 77;
  EXPECT_EQ(obj_allocate(g_reg, 3), first);
  EXPECT_EQ(g_freed, std::vector<ObjectValue>{3});
  EXPECT_TRUE(!first->primary && !first->payload) << "the record comes back zeroed";
  obj_release(g_reg, 3);  // a released number is no object, and is reused without a free
  EXPECT_EQ(obj_get(g_reg, 3), nullptr);
  EXPECT_EQ(obj_allocate(g_reg, 3), first);
  EXPECT_EQ(g_freed.size(), 1u);
}

TEST_F(Registry, StaleAndBogusHandlesAreNeverDereferencedAndLiveOnesNotRecreated) {
  TestRecord* kept = make(ANY_NUMBER);
  TestRecord* unfinished = make(ANY_NUMBER);
  unfinished->primary = nullptr;  // listed but not live: an object, yet no record to use
  EXPECT_EQ(obj_get(g_reg, handle(unfinished)), nullptr);
  EXPECT_EQ(obj_is_object(g_reg, handle(unfinished)), handle(unfinished));
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
  obj_release(g_reg, 15);  // one past the last slot: no slot, no handle
  EXPECT_EQ(obj_get(g_reg, 15), nullptr);
  EXPECT_EQ(obj_registry_capacity(g_reg), 15);
  EXPECT_EQ(obj_allocate(g_reg, handle(kept)), nullptr);
  EXPECT_EQ(obj_get(g_reg, handle(kept)), kept);
  EXPECT_TRUE(g_freed.empty());
  EXPECT_EQ(obj_get(nullptr, 0), nullptr);
}

// Numbers ascending, then handles newest first; freeing inside an enumeration, even the
// record the cursor points at next, does not derail it, and its end drops the lock.
TEST_F(Registry, FreeAllAndEnumerationOrder) {
  for (ObjectValue n : {9, 2}) make(n);
  const ObjectValue h1 = handle(make(ANY_NUMBER)), h2 = handle(make(ANY_NUMBER)), h3 = handle(make(ANY_NUMBER));
  std::vector<ObjectValue> seen;
  ObjectValue v = 0;
  for (obj_enum_begin(g_reg); obj_enum_next(g_reg, &v);) {
    seen.push_back(v);
    if (v == h1) free_test_object(h2);
  }
  EXPECT_EQ(seen, (std::vector<ObjectValue>{2, 9, h1, h3}));
  EXPECT_EQ(std::async(std::launch::async, [] { return obj_get(g_reg, 2) != nullptr; }).get(), true);
  make(ANY_NUMBER)->primary = nullptr;  // a record whose creation did not finish
  obj_free_all(g_reg);
  EXPECT_EQ(g_freed, (std::vector<ObjectValue>{h2, 2, 9, h3, h1}));
}

int g_inits = 0;
std::set<void*> g_destroyed;
void segment_init(void* s) {
  ++g_inits;
  *static_cast<int64_t*>(s) = 0x5eed;
}
void segment_destroy(void* s) { g_destroyed.insert(s); }

// Each thread's block is initialised on first use (or grown by a later registration) and
// destroyed when the thread ends; shutdown destroys the caller's, a look-up makes it anew.
TEST(Segments, InitialisedPerThreadAndDestroyedAtExit) {
  const int64_t first = tls_register_segment(12, nullptr, nullptr);
  std::promise<void> have_block, registered;
  std::shared_future<void> go = registered.get_future().share();
  int64_t second = -1, value = -1;
  void* thread_seg = nullptr;
  std::thread t([&] {
    tls_segment(first);
    have_block.set_value();
    go.wait();
    auto* s = static_cast<int64_t*>(thread_seg = tls_segment(second));
    value = s[0];
    s[0] = 1;
  });
  have_block.get_future().wait();
  second = tls_register_segment(64, segment_init, segment_destroy);
  EXPECT_EQ(second, first + 16);  // 12 rounds up to 16
  EXPECT_EQ(g_inits, 1);
  registered.set_value();
  t.join();
  EXPECT_EQ(value, 0x5eed);
  EXPECT_EQ(g_inits, 2);
  EXPECT_EQ(g_destroyed, std::set<void*>{thread_seg});
  const int64_t empty = tls_register_segment(0, nullptr, nullptr);  // zero size, registered last
  EXPECT_EQ(tls_segment(empty), static_cast<char*>(tls_segment(second)) + 64);
  auto* main_seg = static_cast<int64_t*>(tls_segment(second));
  EXPECT_EQ(main_seg[0], 0x5eed);
  tls_shutdown();
  EXPECT_TRUE(g_destroyed.count(main_seg));
  EXPECT_EQ(static_cast<int64_t*>(tls_segment(second))[0], 0x5eed);
}

struct Events : ::testing::Test {
  void SetUp() override {
    zvd_test::start_runtime();
    zvd_test::pump_pending();
    event_queue_clear();
  }
};

// Only an event identical to the queue's tail merges; types above 65535 never do.
TEST_F(Events, IdenticalTailEventsMergeAndNothingElse) {
  for (const Event& e : std::initializer_list<Event>{
           {EVENT_REPAINT, 0, 1, 0}, {EVENT_REPAINT, 0, 1, 0}, {EVENT_LEFT_CLICK, 0, 1, 0}, {EVENT_REPAINT, 0, 1, 0},
           {EVENT_REPAINT, 0, 2, 0}, {EVENT_REPAINT, 5, 2, 0}, {EVENT_REPAINT, 5, 2, 1}, {70000, 0, 1, 0},
           {70000, 0, 1, 0}})
    event_post(int32_t(e.type), e.gadget, e.window, e.subtype);
  EXPECT_EQ(event_queue_length(), 8);
  drain_events();
  event_post(EVENT_GADGET, 11, 22, 33);
  EXPECT_EQ(event_fetch(), EVENT_GADGET);
  event_post(EVENT_GADGET, 11, 22, 33);  // a fetched event is no longer there to merge with
  EXPECT_EQ(drain_events(), (std::vector<Event>{{EVENT_GADGET, 11, 22, 33}}));
  EXPECT_EQ(std::tuple(event_type(), event_subtype(), event_gadget(), event_window()), std::tuple(0, -1, 11, 22))
      << "an empty fetch keeps the gadget and window";
}

TEST_F(Events, SuppressionNestsAndPurgeKeepsOtherWindowsInOrder) {
  event_suppress_begin();
  event_post(EVENT_GADGET, 1, 1, 0);
  event_suppress_begin();
  event_suppress_end();
  event_post(EVENT_GADGET, 2, 1, 0);
  event_suppress_end();
  event_suppress_end();  // unmatched: must not suppress for good
  for (int64_t w : {2, 1, 3, 2, 1}) event_post(EVENT_GADGET, 3 + w, w, 0);
  event_purge_window(1);
  event_post(EVENT_GADGET, 9, 3, 0);  // the purged tail: must append after the last kept
  EXPECT_EQ(drain_events(), (std::vector<Event>{{EVENT_GADGET, 5, 2, 0}, {EVENT_GADGET, 6, 3, 0},
                                                {EVENT_GADGET, 5, 2, 0}, {EVENT_GADGET, 9, 3, 0}}));
  event_post(EVENT_GADGET, 1, 9, 0);
  event_purge_window(9);  // the whole queue
  event_post(EVENT_GADGET, 2, 9, 0);
  EXPECT_EQ(drain_events().size(), 1u);
}

// Waiting without a timeout or for ever is the real program's main loop, run by all of its tests.
TEST_F(Events, WaitWithATimeoutAndOneIteration) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event_wait(100), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  g_timeout_add(10, [](gpointer) -> gboolean {
    event_post(EVENT_GADGET, 8, 1, 0);
    return G_SOURCE_REMOVE;
  }, nullptr);
  int64_t type = 0;
  ASSERT_TRUE(zvd_test::pump_until([&] { return (type = event_wait(1000)) > 0; }));
  EXPECT_EQ(std::tuple(type, event_gadget()), std::tuple(EVENT_GADGET, 8));
  g_idle_add([](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
  EXPECT_EQ(event_wait(-1), -1) << "an iteration without an event";
}

}  // namespace

// A thread other than the main thread gets its own stack and loses it at exit.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "runtime/strings/ustring.h"

namespace {

TEST(ThreadStackTest, SecondThreadGetsItsOwnStackFreedAtExit) {
  ustr_stack_startup();
  int64_t main_mark = ustr_stack_top();
  ustr_stack_push(u"main");
  unsigned char* main_base = ustr_stack_base();
  int64_t live_before = ustr_stack_live_count();

  unsigned char* thread_base = nullptr;
  int64_t live_inside = 0;
  std::u16string seen;
  std::thread worker([&] {
    ustr_stack_enter();
    thread_base = ustr_stack_base();
    live_inside = ustr_stack_live_count();
    int64_t mark = ustr_stack_top();
    ustr_stack_push(u"worker");
    ustr_stack_reserve(50000, -1);  // grow the thread's own buffer
    seen = std::u16string(ustr_stack_string(mark));
  });
  worker.join();

  EXPECT_NE(thread_base, main_base);
  EXPECT_EQ(live_inside, live_before + 1);
  EXPECT_EQ(seen, u"worker");
  EXPECT_EQ(ustr_stack_live_count(), live_before);
  EXPECT_EQ(std::u16string(ustr_stack_string(main_mark)), u"main");
  ustr_stack_set_top(main_mark);
}

// A clean-up registered before the stack runs after the stack is gone; if it
// handles strings it must get a fresh stack, which is freed in turn.
TEST(ThreadStackTest, CleanupThatUsesStringsAfterStackIsFreed) {
  ustr_stack_startup();
  int64_t live_before = ustr_stack_live_count();
  static std::u16string late;
  std::thread worker([] {
    thread_cleanup_add(
        [](void*) {
          int64_t mark = ustr_stack_top();
          ustr_stack_push(u"late");
          late = ustr_stack_string(mark);
        },
        nullptr);
    ustr_stack_enter();
    ustr_stack_push(u"early");
  });
  worker.join();
  EXPECT_EQ(late, u"late");
  EXPECT_EQ(ustr_stack_live_count(), live_before);
}

TEST(ThreadCleanupTest, EntriesRunMostRecentFirstAtThreadEnd) {
  static std::vector<int> order;
  order.clear();
  static int one = 1, two = 2, three = 3;
  std::thread worker([] {
    auto record = [](void* arg) { order.push_back(*static_cast<int*>(arg)); };
    thread_cleanup_add(record, &one);
    thread_cleanup_add(record, &two);
    thread_cleanup_add(record, &three);
    EXPECT_TRUE(order.empty());
  });
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
}

}  // namespace

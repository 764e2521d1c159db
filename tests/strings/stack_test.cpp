// The temporary-string stack, its protocol, string variables and the per-thread stacks.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "runtime/strings/ustring.h"

namespace {

std::u16string at(int64_t mark) { return std::u16string(ustr_stack_string(mark)); }

class StackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ustr_stack_startup();
    ustr_stack_enter();
    mark_ = ustr_stack_top();
  }
  void TearDown() override {
    ustr_free(var_);
    ustr_stack_set_top(mark_);
  }
  int64_t mark_ = 0;
  UStringVar var_ = nullptr;
};

TEST_F(StackTest, ConsecutivePushesJoinAndResetRestoresTop) {
  ustr_stack_push(u"-");
  ustr_stack_push(u"10");
  ustr_stack_push(nullptr);  // a null string pushes nothing
  EXPECT_EQ(at(mark_), u"-10");
  EXPECT_EQ(ustr_stack_top(), mark_ + 6);  // top lies on the terminator
  ustr_stack_close();
  EXPECT_EQ(ustr_stack_top(), mark_ + 8);
  ustr_stack_release(int64_t{1} << 62);  // never below the bottom
  EXPECT_EQ(ustr_stack_top(), 0);
}

TEST_F(StackTest, GrowthMovesBufferWhileOffsetsStayValid) {
  ustr_stack_push(u"kept below");
  ustr_stack_close();
  const int64_t nested = ustr_stack_top();
  ustr_stack_push(u"nested");
  ustr_stack_close();
  const int64_t inner = ustr_stack_top();
  unsigned char* before = ustr_stack_base();
  bool moved = false;
  // Growth adds 16 KiB of slack each time; keep reserving until the buffer
  // has moved at least once (large blocks always move).
  for (int64_t count = 1024; count <= (int64_t{1} << 22) && !moved; count *= 4) {
    UChar* room = ustr_stack_reserve(count, inner);
    // The whole reservation and the terminator above it are writable.
    room[0] = u'x';
    room[count - 1] = u'y';
    room[count] = 0;
    moved = ustr_stack_base() != before;
    EXPECT_EQ(ustr_stack_top(), inner + 2 * count);
  }
  EXPECT_TRUE(moved);
  EXPECT_EQ(at(mark_), u"kept below");
  EXPECT_EQ(at(nested), u"nested");
  // Step across the growth threshold unit by unit: the terminator written at the new
  // top must always lie inside the block (the sanitizer build checks).
  for (int64_t count = 0; count < 9000; count += 7) {
    UChar* room = ustr_stack_reserve(count, mark_);
    room[count] = room[count + 1] = 0;
  }
}

TEST_F(StackTest, PushOfStringFromTheStackSurvivesGrowth) {
  const std::u16string long_text(9000, u'q');
  ustr_stack_push(long_text.c_str());
  ustr_stack_close();
  const int64_t copy_mark = ustr_stack_top();
  ustr_stack_push(ustr_stack_string(mark_));
  EXPECT_EQ(at(copy_mark), long_text);
}

TEST_F(StackTest, VariablesAssignCopiesFromThemselvesAndFromTheStack) {
  EXPECT_EQ(ustr_assign(&var_, u"a fairly long text to shrink"), 58);
  ustr_assign(&var_, var_);
  EXPECT_EQ(std::u16string(var_), u"a fairly long text to shrink");
  ustr_assign(&var_, var_ + 19);  // its own tail
  EXPECT_EQ(std::u16string(var_), u"to shrink");
  EXPECT_EQ(ustr_assign(&var_, u""), 2);
  EXPECT_EQ(std::u16string(var_), u"");
  EXPECT_EQ(ustr_assign(&var_, nullptr), 2);
  EXPECT_EQ(var_, nullptr);
  ustr_free(var_);  // freeing the empty variable is harmless

  ustr_stack_push(u"2024");
  ustr_stack_push(u"/03");
  ustr_assign_from_stack(&var_, mark_);
  EXPECT_EQ(std::u16string(var_), u"2024/03");
  EXPECT_EQ(ustr_stack_top(), mark_);
  // An empty result gives an empty (not null) variable.
  ustr_assign_from_stack(&var_, ustr_stack_top());
  ASSERT_NE(var_, nullptr);
  EXPECT_EQ(var_[0], 0);
}

// --- Threads ------------------------------------------------------------------------

TEST(ThreadStackTest, SecondThreadGetsItsOwnStackFreedAtExit) {
  ustr_stack_startup();
  const int64_t main_mark = ustr_stack_top();
  ustr_stack_push(u"main");
  unsigned char* thread_base = nullptr;
  const int64_t live_before = ustr_stack_live_count();
  int64_t live_inside = 0;
  std::u16string seen;
  std::thread([&] {
    ustr_stack_enter();
    thread_base = ustr_stack_base();
    live_inside = ustr_stack_live_count();
    const int64_t mark = ustr_stack_top();
    ustr_stack_push(u"worker");
    ustr_stack_reserve(50000, -1);  // grow the thread's own buffer
    seen = ustr_stack_string(mark);
  }).join();
  EXPECT_NE(thread_base, ustr_stack_base());
  EXPECT_EQ(live_inside, live_before + 1);
  EXPECT_EQ(seen, u"worker");
  EXPECT_EQ(ustr_stack_live_count(), live_before);
  EXPECT_EQ(at(main_mark), u"main");
  ustr_stack_set_top(main_mark);
}

// Clean-ups run most recent first; one registered before the stack runs after the stack
// is gone, and if it handles strings it gets a fresh stack, which is freed in turn.
TEST(ThreadStackTest, CleanupsRunNewestFirstAndMayStillUseStrings) {
  ustr_stack_startup();
  const int64_t live_before = ustr_stack_live_count();
  static std::vector<int> order;
  static std::u16string late;
  std::thread([] {
    thread_cleanup_add([](void*) {
      const int64_t mark = ustr_stack_top();
      ustr_stack_push(u"late");
      late = ustr_stack_string(mark);
      order.push_back(0);
    }, nullptr);
    ustr_stack_enter();
    ustr_stack_push(u"early");
    for (intptr_t i = 1; i <= 2; ++i)
      thread_cleanup_add([](void* arg) { order.push_back(int(reinterpret_cast<intptr_t>(arg))); },
                         reinterpret_cast<void*>(i));
    EXPECT_TRUE(order.empty());
  }).join();
  EXPECT_EQ(order, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(late, u"late");
  EXPECT_EQ(ustr_stack_live_count(), live_before);
}

}  // namespace

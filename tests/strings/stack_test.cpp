// The temporary-string stack, its protocol and string variables.
#include <gtest/gtest.h>

#include <string>

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
  void TearDown() override { ustr_stack_set_top(mark_); }
  int64_t mark_ = 0;
};

TEST_F(StackTest, ConsecutivePushesJoinAndResetRestoresTop) {
  ustr_stack_push(u"-");
  ustr_stack_push(u"10");
  EXPECT_EQ(at(mark_), u"-10");
  EXPECT_EQ(ustr_stack_top(), mark_ + 6);  // top lies on the terminator
  ustr_stack_push(nullptr);                // a null string pushes nothing
  EXPECT_EQ(ustr_stack_top(), mark_ + 6);
  ustr_stack_close();
  EXPECT_EQ(ustr_stack_top(), mark_ + 8);
  ustr_stack_release(int64_t{1} << 62);  // never below the bottom
  EXPECT_EQ(ustr_stack_top(), 0);
  ustr_stack_set_top(mark_);
  EXPECT_EQ(ustr_stack_top(), mark_);
}

TEST_F(StackTest, GrowthMovesBufferWhileOffsetsStayValid) {
  ustr_stack_push(u"kept below");
  ustr_stack_close();
  int64_t nested = ustr_stack_top();
  ustr_stack_push(u"nested");
  ustr_stack_close();
  int64_t inner = ustr_stack_top();

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
  ustr_stack_set_top(nested);
  EXPECT_EQ(ustr_stack_top(), nested);
}

TEST_F(StackTest, EveryReservationLeavesRoomForTerminator) {
  // Step across the growth threshold unit by unit: the terminator written at
  // the new top must always lie inside the block (the sanitizer build checks).
  for (int64_t count = 0; count < 9000; count += 7) {
    UChar* room = ustr_stack_reserve(count, mark_);
    room[count] = 0;
    room[count + 1] = 0;
    ustr_stack_set_top(mark_);
  }
}

TEST_F(StackTest, PushOfStringFromTheStackSurvivesGrowth) {
  std::u16string long_text(9000, u'q');
  ustr_stack_push(long_text.c_str());
  ustr_stack_close();
  int64_t copy_mark = ustr_stack_top();
  ustr_stack_push(ustr_stack_string(mark_));
  EXPECT_EQ(at(copy_mark), long_text);
}

class VariableTest : public StackTest {
 protected:
  void TearDown() override {
    ustr_free(var_);
    StackTest::TearDown();
  }
  UStringVar var_ = nullptr;
};

TEST_F(VariableTest, AssignCopiesAndNullFrees) {
  EXPECT_EQ(ustr_assign(&var_, u"hello"), 12);
  EXPECT_EQ(std::u16string(var_), u"hello");
  EXPECT_EQ(ustr_assign(&var_, u""), 2);
  EXPECT_EQ(std::u16string(var_), u"");
  EXPECT_EQ(ustr_assign(&var_, nullptr), 2);
  EXPECT_EQ(var_, nullptr);
  ustr_free(var_);  // freeing the empty variable is harmless
}

TEST_F(VariableTest, AssignFromItselfOrItsTail) {
  ustr_assign(&var_, u"a fairly long text to shrink");
  ustr_assign(&var_, var_);
  EXPECT_EQ(std::u16string(var_), u"a fairly long text to shrink");
  ustr_assign(&var_, var_ + 19);
  EXPECT_EQ(std::u16string(var_), u"to shrink");
}

TEST_F(VariableTest, AssignFromStackTakesResultAndRestoresTop) {
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

}  // namespace

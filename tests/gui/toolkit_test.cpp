// Toolkit start-up and shutdown: no display, option handling, the recursive lock.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "runtime/gui/toolkit.h"

namespace {

void enter() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gdk_threads_enter();
#pragma GCC diagnostic pop
}
void leave() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  gdk_threads_leave();
#pragma GCC diagnostic pop
}

// Death tests run before every other test, so the toolkit is not started yet here.
TEST(ToolkitDeathTest, WithoutADisplayGtkInitEndsTheProgramItself) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        toolkit_init();
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "");
}

TEST(Toolkit, EndBeforeInitDoesNothing) {
  toolkit_end();
  EXPECT_FALSE(toolkit_is_initialised());
}

TEST(Toolkit, InitOnceConsumesToolkitOptionsAndHoldsARecursiveLock) {
  static char a0[] = "prog", a1[] = "--name=zvd-test", a2[] = "--keep", a3[] = "--class=Zvd";
  static char* argv[] = {a0, a1, a2, a3, nullptr};
  toolkit_set_args(4, argv);
  runtime_set_locale();
  toolkit_init();
  ASSERT_TRUE(toolkit_is_initialised());
  ASSERT_EQ(toolkit_argc(), 2);
  EXPECT_STREQ(toolkit_argv()[1], "--keep");
  toolkit_init();  // a second call changes nothing
  EXPECT_EQ(toolkit_argc(), 2);

  // The main thread holds the lock; re-entering it does not deadlock.
  enter();
  enter();
  leave();
  leave();

  toolkit_end();
  toolkit_end();  // only the first call leaves the lock
  std::atomic<bool> got{false};
  std::thread other([&] {
    enter();
    got = true;
    leave();
  });
  other.join();
  EXPECT_TRUE(got);
}

}  // namespace

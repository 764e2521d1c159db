// The event queue: merging, suppression, purging, the current event and waiting.
#include <chrono>

#include "tests/support/gui.h"

namespace {

using zvd_test::Event;

class EventQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zvd_test::start_runtime();
    zvd_test::pump_pending();
    event_queue_clear();
  }
  void TearDown() override { event_queue_clear(); }
};

TEST_F(EventQueueTest, IdenticalTailEventsMergeAndNothingElse) {
  event_post(EVENT_REPAINT, 0, 1, 0);
  event_post(EVENT_REPAINT, 0, 1, 0);
  EXPECT_EQ(event_queue_length(), 1);
  event_post(EVENT_LEFT_CLICK, 0, 1, 0);
  event_post(EVENT_REPAINT, 0, 1, 0);
  EXPECT_EQ(event_queue_length(), 3);  // A, B, A
  // Differing in any field is a different event; types above 65535 never merge.
  event_post(EVENT_REPAINT, 0, 2, 0);
  event_post(EVENT_REPAINT, 5, 2, 0);
  event_post(EVENT_REPAINT, 5, 2, 1);
  event_post(70000, 0, 1, 0);
  event_post(70000, 0, 1, 0);
  EXPECT_EQ(event_queue_length(), 8);
  zvd_test::drain_events();
  // A fetched event is no longer there to merge with.
  event_post(EVENT_GADGET, 7, 1, 2);
  EXPECT_EQ(event_fetch(), EVENT_GADGET);
  event_post(EVENT_GADGET, 7, 1, 2);
  EXPECT_EQ(event_queue_length(), 1);
}

TEST_F(EventQueueTest, AnEmptyFetchKeepsGadgetAndWindow) {
  event_post(EVENT_GADGET, 11, 22, 33);
  EXPECT_EQ(event_peek_type(), EVENT_GADGET);
  EXPECT_EQ(event_fetch(), EVENT_GADGET);
  EXPECT_EQ(event_menu(), 11);
  EXPECT_EQ(event_subtype(), 33);
  EXPECT_EQ(event_fetch(), 0);
  EXPECT_EQ(event_type(), 0);
  EXPECT_EQ(event_subtype(), -1);
  EXPECT_EQ(event_gadget(), 11);
  EXPECT_EQ(event_window(), 22);
}

TEST_F(EventQueueTest, NestedSuppressionHoldsUntilTheOutermostEnd) {
  event_suppress_begin();
  event_post(EVENT_GADGET, 1, 1, 0);
  event_suppress_begin();
  event_post(EVENT_GADGET, 2, 1, 0);
  event_suppress_end();
  event_post(EVENT_GADGET, 3, 1, 0);
  event_suppress_end();
  event_post(EVENT_GADGET, 4, 1, 0);
  EXPECT_EQ(zvd_test::drain_events(), (std::vector<Event>{{EVENT_GADGET, 4, 1, 0}}));
  // An unmatched end does not turn suppression on for good.
  event_suppress_end();
  event_post(EVENT_GADGET, 5, 1, 0);
  EXPECT_EQ(event_queue_length(), 1);
}

TEST_F(EventQueueTest, PurgeRemovesOneWindowAndKeepsTheOthersInOrder) {
  event_post(EVENT_REPAINT, 0, 1, 0);
  event_post(EVENT_GADGET, 1, 2, 0);
  event_post(EVENT_GADGET, 2, 1, 0);
  event_post(EVENT_GADGET, 3, 3, 0);
  event_post(EVENT_GADGET, 4, 2, 0);
  event_post(EVENT_GADGET, 5, 1, 0);
  event_purge_window(1);
  // The tail was purged too: a new event must append after the last kept one.
  event_post(EVENT_GADGET, 6, 3, 0);
  EXPECT_EQ(zvd_test::drain_events(), (std::vector<Event>{{EVENT_GADGET, 1, 2, 0},
                                                          {EVENT_GADGET, 3, 3, 0},
                                                          {EVENT_GADGET, 4, 2, 0},
                                                          {EVENT_GADGET, 6, 3, 0}}));
  event_post(EVENT_GADGET, 1, 9, 0);
  event_purge_window(9);
  event_post(EVENT_GADGET, 2, 9, 0);
  EXPECT_EQ(zvd_test::drain_events().size(), 1u);
}

TEST_F(EventQueueTest, WaitWithZeroATimeoutAndForever) {
  EXPECT_EQ(event_wait(0), 0);
  event_post(EVENT_MENU, 4, 1, 0);
  EXPECT_EQ(event_wait(0), EVENT_MENU);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event_wait(100), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  g_timeout_add(10, [](gpointer) -> gboolean {
    event_post(EVENT_GADGET, 8, 1, 0);
    return G_SOURCE_REMOVE;
  }, nullptr);
  int64_t type = 0;
  ASSERT_TRUE(zvd_test::pump_until([&] { return (type = event_wait(1000)) > 0; }));
  EXPECT_EQ(type, EVENT_GADGET);
  EXPECT_EQ(event_gadget(), 8);

  // Blocking: an iteration of the toolkit without an event reports -1.
  g_idle_add([](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
  EXPECT_EQ(event_wait(-1), -1);
  g_idle_add([](gpointer) -> gboolean {
    event_post(EVENT_CLOSE_WINDOW, 0, 3, 0);
    return G_SOURCE_REMOVE;
  }, nullptr);
  EXPECT_EQ(event_wait_forever(), EVENT_CLOSE_WINDOW);
  EXPECT_EQ(event_window(), 3);
}

}  // namespace

// SPDX-License-Identifier: MIT
// The calculator's main window under 100,000 days-after and days-before actions over changing inputs, then
// 1,000 bursts of events. Resident memory may settle in the first thousand actions (the toolkit's caches, the
// string stack's working size), then must stay within 1 MiB; the event pool must shrink back to one block.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using zvd_test::set_text;
using zvd_test::text_of;

int64_t resident_bytes() {
  long size = 0, resident = -1;
  std::ifstream("/proc/self/statm") >> size >> resident;
  return int64_t{resident} * sysconf(_SC_PAGESIZE);
}

// Hands every queued event to the event procedure, as the main loop would between actions.
void run_pending() {
  zvd_test::pump_pending();
  for (int64_t type = event_fetch(); type != 0; type = event_fetch()) app_event_procedure(type);
}

struct Soak : ::testing::Test {
  static void SetUpTestSuite() {
    zvd_test::start_app();
    run_pending();
  }
  static void TearDownTestSuite() { app_shutdown(); }
};

void set_start(const std::string& ymd) {
  set_text(app_year_field, ymd.substr(0, 4));
  set_text(app_month_chooser, ymd.substr(5, 2));
  set_text(app_day_chooser, ymd.substr(8, 2));
}

TEST_F(Soak, DateActionsKeepMemoryFlat) {
  std::minstd_rand next(12345);  // every run sees the same inputs
  int64_t settled = -1;
  int checked = 0;
  char start[32] = "";
  for (int i = 0; i < 100000; ++i) {
    // Start dates mostly inside the period, some outside it or impossible (month 0 or 13,
    // day 0 or 32), changed every fourth action; counts of every size and sign, some no number.
    if (i % 4 == 0) {
      const unsigned y = 1965 + next() % 78, m = next() % 14, d = next() % 33;
      std::snprintf(start, sizeof start, "%04u/%02u/%02u", y, m, d);
      set_start(start);
    }
    const int n = int(next() % 40001) - 20000;
    const unsigned kind = next() % 16;
    const std::string odd[] = {"junk", std::string("$").append(std::to_string(std::abs(n))), "99999999999", ""};
    const std::string count = kind < 4 ? odd[kind] : std::to_string(n);
    const bool after = i % 2 == 0;
    set_text(after ? app_after_count_field : app_before_count_field, count);
    after ? app_days_after(0) : app_days_before(0);
    if (i % 97 == 0) {
      // Every result has the fixed form; going back by a decimal count from a result inside
      // the period returns to the start date.
      const std::string result = text_of(after ? app_after_result_field : app_before_result_field);
      ASSERT_TRUE(g_regex_match_simple("^[0-9]{4}/[0-9]{2}/[0-9]{2}$", result.c_str(), GRegexCompileFlags(0),
                                       GRegexMatchFlags(0)))
          << "action " << i << " wrote \"" << result << "\"";
      const int result_year = std::atoi(result.c_str());
      if (after && kind >= 4 && result_year >= 1970 && result_year <= 2037) {
        set_start(result);
        set_text(app_before_count_field, count);
        app_days_before(0);
        EXPECT_EQ(text_of(app_before_result_field), start) << "action " << i;
        ++checked;
        set_start(start);
      }
    }
    if (i % 500 == 0) run_pending();
    if (i + 1 == 1000) settled = resident_bytes();
  }
  run_pending();
  const int64_t growth = resident_bytes() - settled;
  EXPECT_GT(checked, 100);
  RecordProperty("resident_growth_bytes", std::to_string(growth));
#ifndef ZVD_SOAK_SANITIZED
  EXPECT_LT(growth, int64_t{1} << 20);
#endif
}

TEST_F(Soak, EventBurstsGiveThePoolBack) {
  run_pending();
  BlockPool* pool = event_pool();
  const int64_t first_block = pool_total(pool);
  ASSERT_EQ(pool_block_count(pool), 1);
  std::minstd_rand next(777);
  int64_t most_blocks = 0;
  for (int burst = 0; burst < 1000; ++burst) {
    // 1 to 3000 events; consecutive events differ, so none merge, and come out in order.
    const int size = 1 + int(next() % 3000);
    for (int k = 0; k < size; ++k) event_post(EVENT_GADGET, k % 7, app_main_window, burst * 4096 + k);
    most_blocks = std::max(most_blocks, pool_block_count(pool));
    for (int64_t k = 0; k < size; ++k)
      ASSERT_EQ((std::pair{event_fetch(), event_subtype()}), std::pair(int64_t{EVENT_GADGET}, burst * 4096 + k));
    ASSERT_EQ(event_fetch(), 0);
    ASSERT_EQ(pool_block_count(pool), 1) << "burst " << burst << " left blocks behind";
  }
  EXPECT_GT(most_blocks, 3);
  EXPECT_EQ(pool_total(pool), first_block);
}

}  // namespace

// The calculator's main window under a long run: 100,000 days-after and days-before
// actions over changing inputs, then 1,000 bursts of posted and fetched events.
//
// Resident memory may settle during the first thousand actions (the toolkit's caches,
// glyphs, the temporary-string stack reaching its working size); after that it must stay
// within 1 MiB. The event pool must give back every block it grew, down to its first one.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "runtime/date/date.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using zvd_test::set_text;
using zvd_test::text_of;

constexpr int ACTIONS = 100000;
constexpr int SETTLING_ACTIONS = 1000;
constexpr int BURSTS = 1000;
constexpr int64_t MEMORY_GROWTH_LIMIT = int64_t{1} << 20;

int64_t resident_bytes() {
  long size = 0, resident = -1;
  std::ifstream("/proc/self/statm") >> size >> resident;
  return static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE);
}

// Hands every queued event to the event procedure and lets the toolkit catch up, the
// way the main loop would between the user's actions.
void run_pending() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  for (int64_t type = event_fetch(); type != 0; type = event_fetch()) app_event_procedure(type);
}

std::string padded(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

// A cheap deterministic sequence, so that every run sees the same inputs.
uint32_t next_random(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

// Inputs of action i: mostly dates inside the supported period, some outside it or
// impossible, counts of every size and sign, and now and then text that is no number.
struct Inputs {
  std::string year, month, day, count;
};

Inputs inputs_for(uint32_t* state) {
  Inputs in;
  in.year = std::to_string(1965 + next_random(state) % 78);
  in.month = padded(static_cast<int>(next_random(state) % 14));  // 0 and 13 are invalid
  in.day = padded(static_cast<int>(next_random(state) % 33));    // 0 and 32 are invalid
  const uint32_t kind = next_random(state) % 16;
  const int count = static_cast<int>(next_random(state) % 40001) - 20000;
  if (kind == 0) in.count = "junk";
  else if (kind == 1) in.count = "$" + std::to_string(count < 0 ? -count : count);
  else if (kind == 2) in.count = "99999999999";
  else if (kind == 3) in.count = "";
  else in.count = std::to_string(count);
  return in;
}

class Soak : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    zvd_test::start_app();
    run_pending();
  }
  static void TearDownTestSuite() { app_shutdown(); }
};

}  // namespace

TEST_F(Soak, DateActionsKeepMemoryFlat) {
  const std::regex date_form("[0-9]{4}/[0-9]{2}/[0-9]{2}");
  uint32_t state = 12345;
  int64_t settled = -1;
  int checked = 0;
  Inputs in;
  for (int i = 0; i < ACTIONS; ++i) {
    // The count changes with every action, the start date with every fourth.
    const Inputs next = inputs_for(&state);
    if (i % 4 == 0) {
      in = next;
      set_text(app_year_field, in.year);
      set_text(app_month_chooser, in.month);
      set_text(app_day_chooser, in.day);
    }
    in.count = next.count;
    const bool after = (i % 2) == 0;
    set_text(after ? app_after_count_field : app_before_count_field, in.count);
    if (after) app_days_after(0);
    else app_days_before(0);

    if (i % 97 == 0) {
      // Every result has the fixed form, and going back by the same count from a valid
      // result of a plain decimal count returns to the start date.
      const std::string result = text_of(after ? app_after_result_field : app_before_result_field);
      ASSERT_TRUE(std::regex_match(result, date_form)) << "action " << i << " wrote \"" << result << "\"";
      const bool decimal = !in.count.empty() && in.count != "junk" && in.count[0] != '$' && in.count.size() < 8;
      const int result_year = std::atoi(result.substr(0, 4).c_str());
      if (after && decimal && result_year >= 1970 && result_year <= 2037) {
        set_text(app_year_field, result.substr(0, 4));
        set_text(app_month_chooser, result.substr(5, 2));
        set_text(app_day_chooser, result.substr(8, 2));
        set_text(app_before_count_field, in.count);
        app_days_before(0);
        EXPECT_EQ(text_of(app_before_result_field), in.year + "/" + in.month + "/" + in.day) << "action " << i;
        ++checked;
        set_text(app_year_field, in.year);
        set_text(app_month_chooser, in.month);
        set_text(app_day_chooser, in.day);
      }
    }
    if (i % 500 == 0) run_pending();
    if (i + 1 == SETTLING_ACTIONS) settled = resident_bytes();
  }
  run_pending();
  const int64_t end = resident_bytes();
  ASSERT_TRUE(settled > 0 && end > 0);
  EXPECT_GT(checked, 100);
  const int64_t growth = end - settled;
  RecordProperty("resident_growth_bytes", std::to_string(growth));
  std::printf("resident memory after %d actions: %lld KiB, after %d: %lld KiB, growth %lld bytes\n", SETTLING_ACTIONS,
              static_cast<long long>(settled / 1024), ACTIONS, static_cast<long long>(end / 1024),
              static_cast<long long>(growth));
#ifndef ZVD_SOAK_SANITIZED
  EXPECT_LT(growth, MEMORY_GROWTH_LIMIT);
#endif
}

TEST_F(Soak, EventBurstsGiveThePoolBack) {
  run_pending();
  BlockPool* pool = event_pool();
  ASSERT_NE(pool, nullptr);
  const int64_t first_block = pool_total(pool);
  ASSERT_EQ(pool_block_count(pool), 1);
  uint32_t state = 777;
  int64_t most_blocks = 0;
  for (int burst = 0; burst < BURSTS; ++burst) {
    // Bursts of 1 to 3000 events; consecutive events differ, so none are merged.
    const int size = 1 + static_cast<int>(next_random(&state) % 3000);
    for (int k = 0; k < size; ++k) event_post(EVENT_GADGET, k % 7, app_main_window, burst * 4096 + k);
    ASSERT_EQ(event_queue_length(), size);
    const int64_t blocks = pool_block_count(pool);
    if (blocks > most_blocks) most_blocks = blocks;
    int fetched = 0;
    while (event_fetch() != 0) {
      ASSERT_EQ(event_subtype(), burst * 4096 + fetched) << "events came out of order";
      ++fetched;
    }
    ASSERT_EQ(fetched, size);
    ASSERT_EQ(pool_block_count(pool), 1) << "burst " << burst << " left blocks behind";
  }
  EXPECT_GT(most_blocks, 3);  // the bursts did grow the pool
  EXPECT_EQ(pool_total(pool), first_block);
  EXPECT_EQ(event_queue_length(), 0);
}

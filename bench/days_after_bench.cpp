// SPDX-License-Identifier: MIT
// The days-after computation from four texts to a result text: through the
// runtime's strings and dates as the application does it, and the same with
// GLib's GDateTime. Prints the time ratio and heap calls per iteration.
#include <benchmark/benchmark.h>
#include <glib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/alloc_count.h"
#include "runtime/date/date.h"
#include "runtime/strings/strfuncs.h"
#include "runtime/strings/ustring.h"

namespace {

// Texts as the toolkit delivers them (UTF-8): year, month, day, count.
struct Input {
  const char* year;
  const char* month;
  const char* day;
  const char* count;
};

constexpr Input INPUTS[8] = {
    {"2024", "01", "31", "29"},  {"1999", "12", "31", "1"},   {"2038", "01", "18", "1"},
    {"1970", "1", "1", "24855"}, {"2000", "02", "29", "-366"}, {"2013", "07", "04", "10000"},
    {"1985", "10", "26", "-5000"}, {"2024", "3", " 5", "$10"},
};
constexpr size_t INPUT_MASK = 7;
constexpr const char16_t* DATE_MASK = u"%yyyy/%mm/%dd";

// A gadget text read into a local string variable (gadget_get_text then
// ustr_assign_from_stack in the application).
void read_text(const char* text, UStringVar* variable) {
  int64_t mark = ustr_stack_top();
  ustr_push_utf8(text, mark);
  ustr_assign_from_stack(variable, mark);
}

// One days-after action; the result text is left in *result.
void days_after_runtime(const Input& in, UStringVar* result) {
  ustr_stack_enter();
  UStringVar year = nullptr, month = nullptr, day = nullptr, count = nullptr;
  read_text(in.year, &year);
  read_text(in.month, &month);
  read_text(in.day, &day);
  read_text(in.count, &count);
  int64_t c = ustr_val(count);
  int64_t d = ustr_val(day);
  int64_t m = ustr_val(month);
  int64_t y = ustr_val(year);
  DateSeconds start = date_make(static_cast<int32_t>(y), static_cast<int32_t>(m), static_cast<int32_t>(d), 0, 0, 0);
  DateSeconds r = date_add(start, DATE_UNIT_DAY, static_cast<int32_t>(c));
  int64_t mark = ustr_stack_top();
  date_format(DATE_MASK, r, mark);
  ustr_assign_from_stack(result, mark);
  ustr_free(year);
  ustr_free(month);
  ustr_free(day);
  ustr_free(count);
}

// The same computation with every intermediate string kept on the stack
// (each text closed at its own mark), dropped at the end by resetting the top.
void days_after_stack_only(const Input& in, std::u16string* out) {
  int64_t base = ustr_stack_top();
  int64_t marks[4];
  const char* texts[4] = {in.year, in.month, in.day, in.count};
  for (int i = 0; i < 4; ++i) {
    marks[i] = ustr_stack_top();
    ustr_push_utf8(texts[i], marks[i]);
    ustr_stack_close();
  }
  int64_t c = ustr_val(ustr_stack_string(marks[3]));
  int64_t d = ustr_val(ustr_stack_string(marks[2]));
  int64_t m = ustr_val(ustr_stack_string(marks[1]));
  int64_t y = ustr_val(ustr_stack_string(marks[0]));
  DateSeconds start = date_make(static_cast<int32_t>(y), static_cast<int32_t>(m), static_cast<int32_t>(d), 0, 0, 0);
  DateSeconds r = date_add(start, DATE_UNIT_DAY, static_cast<int32_t>(c));
  int64_t mark = ustr_stack_top();
  date_format(DATE_MASK, r, mark);
  if (out != nullptr) *out = ustr_stack_string(mark);
  benchmark::DoNotOptimize(ustr_stack_string(mark)[0]);
  ustr_stack_set_top(base);
}

// GLib's "$10" hexadecimal form is not part of its parser; both sides read
// the same numbers for the inputs above apart from that one, which the check
// below skips.
gchar* days_after_glib(const Input& in) {
  gint64 y = g_ascii_strtoll(in.year, nullptr, 10);
  gint64 m = g_ascii_strtoll(in.month, nullptr, 10);
  gint64 d = g_ascii_strtoll(in.day, nullptr, 10);
  gint64 c = g_ascii_strtoll(in.count, nullptr, 10);
  GDateTime* start = g_date_time_new_utc(static_cast<gint>(y), static_cast<gint>(m), static_cast<gint>(d), 0, 0, 0);
  if (start == nullptr) return g_strdup("0000/00/00");
  GDateTime* result = g_date_time_add_days(start, static_cast<gint>(c));
  g_date_time_unref(start);
  if (result == nullptr) return g_strdup("0000/00/00");
  gchar* text = g_date_time_format(result, "%Y/%m/%d");
  g_date_time_unref(result);
  return text;
}

class HeapCounter {
 public:
  HeapCounter() : start_(alloc_count_read()) {}
  void report(benchmark::State& state) const {
    AllocCounts end = alloc_count_read();
    using benchmark::Counter;
    state.counters["allocs/iter"] = Counter(static_cast<double>(end.allocations - start_.allocations), Counter::kAvgIterations);
    state.counters["reallocs/iter"] = Counter(static_cast<double>(end.reallocations - start_.reallocations), Counter::kAvgIterations);
    state.counters["frees/iter"] = Counter(static_cast<double>(end.frees - start_.frees), Counter::kAvgIterations);
  }

 private:
  AllocCounts start_;
};

void BM_DaysAfter_Runtime(benchmark::State& state) {
  UStringVar result = nullptr;
  days_after_runtime(INPUTS[0], &result);  // the stack has grown from here on
  ustr_free(result);
  size_t k = 0;
  HeapCounter heap;
  for (auto _ : state) {
    UStringVar out = nullptr;
    days_after_runtime(INPUTS[k++ & INPUT_MASK], &out);
    benchmark::DoNotOptimize(out[0]);
    ustr_free(out);
  }
  heap.report(state);
}
BENCHMARK(BM_DaysAfter_Runtime);

void BM_DaysAfter_RuntimeStackOnly(benchmark::State& state) {
  ustr_stack_enter();
  days_after_stack_only(INPUTS[0], nullptr);
  size_t k = 0;
  HeapCounter heap;
  for (auto _ : state) days_after_stack_only(INPUTS[k++ & INPUT_MASK], nullptr);
  heap.report(state);
}
BENCHMARK(BM_DaysAfter_RuntimeStackOnly);

void BM_DaysAfter_GDateTime(benchmark::State& state) {
  g_free(days_after_glib(INPUTS[0]));
  size_t k = 0;
  HeapCounter heap;
  for (auto _ : state) {
    gchar* text = days_after_glib(INPUTS[k++ & INPUT_MASK]);
    benchmark::DoNotOptimize(text[0]);
    g_free(text);
  }
  heap.report(state);
}
BENCHMARK(BM_DaysAfter_GDateTime);

// Keeps each benchmark's CPU time per iteration (the median when repetitions
// are asked for) for the ratio printed at the end. CPU time is compared
// because the wall clock also counts time the machine gave to other work.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration && medians_.count(name) == 0) {
        times_[name] = run.GetAdjustedCPUTime();
        auto a = run.counters.find("allocs/iter");
        if (a != run.counters.end()) allocs_[name] = a->second.value;
      } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_.insert(name);
        times_[name] = run.GetAdjustedCPUTime();
        auto a = run.counters.find("allocs/iter");
        if (a != run.counters.end()) allocs_[name] = a->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void print_ratio(const char* peer, const char* ours) const {
    auto p = times_.find(peer);
    auto o = times_.find(ours);
    if (p == times_.end() || o == times_.end() || o->second <= 0) return;
    std::printf("ratio %s / %s = %.2f (CPU %.1f ns vs %.1f ns per computation)\n", peer, ours,
                p->second / o->second, p->second, o->second);
  }
  void print_allocations() const {
    for (const auto& [name, value] : allocs_) std::printf("allocations per iteration, %s: %.2f\n", name.c_str(), value);
  }

 private:
  std::map<std::string, double> times_;
  std::set<std::string> medians_;
  std::map<std::string, double> allocs_;
};

// Both computations must agree before their times mean anything.
bool results_agree() {
  bool ok = true;
  for (size_t i = 0; i < INPUT_MASK + 1; ++i) {
    if (std::strchr(INPUTS[i].count, '$') != nullptr) continue;
    UStringVar ours = nullptr;
    days_after_runtime(INPUTS[i], &ours);
    char* ours_utf8 = ustr_to_utf8_malloc(ours);
    gchar* theirs = days_after_glib(INPUTS[i]);
    if (std::strcmp(ours_utf8, theirs) != 0) {
      std::printf("mismatch for input %zu: %s vs %s\n", i, ours_utf8, theirs);
      ok = false;
    }
    g_free(theirs);
    std::free(ours_utf8);
    ustr_free(ours);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  alloc_count_start();
  ustr_stack_startup();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!results_agree()) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("BM_DaysAfter_GDateTime", "BM_DaysAfter_Runtime");
  reporter.print_ratio("BM_DaysAfter_GDateTime", "BM_DaysAfter_RuntimeStackOnly");
  reporter.print_allocations();
  benchmark::Shutdown();
  ustr_stack_shutdown();
  return 0;
}

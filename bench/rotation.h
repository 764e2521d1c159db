// SPDX-License-Identifier: MIT
// Alternating measurement of several contenders (this layer's code, its peer, a floor): each
// round runs one batch of every contender in turn and records the batch's wall time and the
// thread's processor time, so a change in the machine's load falls on all of them alike. The
// ratio of two contenders is taken round by round; rounds go on until the middle half of
// those ratios lies within a tolerance of their median (at least min_rounds) or the time
// limit passes. Medians are printed with their lowest and highest quartile.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace rotation {

struct Contender {
  std::string name;
  std::function<void()> run;  // one batch
  double per_batch = 1;       // operations per batch, to print time per operation
  std::vector<double> wall;   // seconds per operation, one value per round
  std::vector<double> cpu;
};

struct Spread {
  double q1 = 0, median = 0, q3 = 0;
  // Whether the middle half lies within tolerance (0.05 for +-5 %) of the median.
  bool within(double tolerance) const {
    return median > 0 && q1 >= median * (1 - tolerance) && q3 <= median * (1 + tolerance);
  }
};

inline Spread spread(std::vector<double> v) {
  Spread s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  auto at = [&](double q) {  // linear interpolation between the closest ranks
    const double pos = q * static_cast<double>(v.size() - 1);
    const size_t lo = static_cast<size_t>(pos);
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
  };
  s.q1 = at(0.25);
  s.median = at(0.5);
  s.q3 = at(0.75);
  return s;
}

inline double seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Ratio of contender a's time to b's, round by round.
inline std::vector<double> ratios(const Contender& a, const Contender& b, bool cpu) {
  const std::vector<double>& x = cpu ? a.cpu : a.wall;
  const std::vector<double>& y = cpu ? b.cpu : b.wall;
  std::vector<double> r;
  for (size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (y[i] > 0) r.push_back(x[i] / y[i]);
  return r;
}

struct Pair {
  size_t ours, peer;  // indices into the contenders
};

// Runs rounds until every pair's processor-time ratio is within tolerance (and at least
// min_rounds were run) or max_seconds have passed. Returns the number of rounds.
inline int run(std::vector<Contender>& contenders, const std::vector<Pair>& pairs, int min_rounds, double tolerance,
               double max_seconds) {
  const double start = seconds(CLOCK_MONOTONIC);
  int rounds = 0;
  for (;;) {
    for (Contender& c : contenders) {
      const double w0 = seconds(CLOCK_MONOTONIC), c0 = seconds(CLOCK_THREAD_CPUTIME_ID);
      c.run();
      const double c1 = seconds(CLOCK_THREAD_CPUTIME_ID), w1 = seconds(CLOCK_MONOTONIC);
      c.wall.push_back((w1 - w0) / c.per_batch);
      c.cpu.push_back((c1 - c0) / c.per_batch);
    }
    ++rounds;
    if (seconds(CLOCK_MONOTONIC) - start >= max_seconds) break;
    if (rounds < min_rounds) continue;
    bool steady = true;
    for (const Pair& p : pairs) steady = steady && spread(ratios(contenders[p.ours], contenders[p.peer], true)).within(tolerance);
    if (steady) break;
  }
  return rounds;
}

// "median [q1 .. q3]" of values scaled by scale.
inline std::string format(const Spread& s, double scale, const char* number = "%.2f") {
  char buf[160];
  const std::string f = std::string(number) + " [" + number + " .. " + number + "]";
  std::snprintf(buf, sizeof buf, f.c_str(), s.median * scale, s.q1 * scale, s.q3 * scale);
  return buf;
}

// One line per contender: wall and processor time per operation, median and quartiles.
inline void print_times(const std::vector<Contender>& contenders, double scale, const char* unit) {
  for (const Contender& c : contenders) {
    std::printf("  %-26s wall %s %s   cpu %s %s\n", c.name.c_str(), format(spread(c.wall), scale).c_str(), unit,
                format(spread(c.cpu), scale).c_str(), unit);
  }
}

// The ratio of a pair, wall and processor time, with the spread of the round-by-round ratios,
// and whether the median processor-time ratio meets goal (a negative goal is only reported).
// Returns the median processor-time ratio.
inline double print_ratio(const char* label, const Contender& a, const Contender& b, double goal,
                          double tolerance) {
  const Spread w = spread(ratios(a, b, false));
  const Spread c = spread(ratios(a, b, true));
  std::printf("%s: %s / %s = %.3f cpu [%.3f .. %.3f], %.3f wall [%.3f .. %.3f], cpu spread %s +-%.0f %%", label,
              a.name.c_str(), b.name.c_str(), c.median, c.q1, c.q3, w.median, w.q1, w.q3,
              c.within(tolerance) ? "within" : "NOT within", tolerance * 100);
  if (goal > 0) std::printf("; goal <= %.2f: %s", goal, c.median <= goal ? "MET" : "NOT MET");
  std::printf("\n");
  return c.median;
}

}  // namespace rotation

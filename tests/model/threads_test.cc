// The model on several threads against the model on one: every result must
// be the same bits, whatever the size of the cycle relative to the blocks
// of terms and steps and to the size from which threads are used.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/support.h"
#include "cycle.h"
#include "model/control.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/tof.h"

namespace kinex::testing {
namespace {

using test::kInf;
using test::kNaN;

enum class Given { every, some, one, none };
enum class Energies { plain, with_nan, with_inf, overflowing };

Cycle make_cycle(int64_t n, Given given, Energies energies, uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> energy(-10.0, 10.0), conc(0.5, 2.0), pick(0.0, 1.0);
  Cycle c;
  c.DeltaG = -10.0;
  for (int64_t i = 0; i < n; ++i) {
    c.G_int.push_back(std::round(energy(engine) * 10.0) / 10.0);
    c.G_ts.push_back(std::round((energy(engine) + 20.0) * 10.0) / 10.0);
    const bool has = given == Given::every || (given == Given::some && pick(engine) < 0.5) ||
                     (given == Given::one && i == n / 2);
    // Now and then exactly 1.0, which the products pass over, or 0.0.
    const double r = pick(engine) < 0.1 ? 1.0 : pick(engine) < 0.05 ? 0.0 : conc(engine);
    const double p = pick(engine) < 0.1 ? 1.0 : conc(engine);
    c.reac.push_back(has ? std::optional<double>(r) : std::nullopt);
    c.prod.push_back(has ? std::optional<double>(p) : std::nullopt);
  }
  if (n > 1) {
    const auto at = static_cast<std::size_t>(n - 2);
    if (energies == Energies::with_nan) c.G_ts[at] = kNaN;
    if (energies == Energies::with_inf) c.G_int[at] = -kInf, c.G_ts[0] = kInf;
    if (energies == Energies::overflowing) c.G_ts[at] = 800.0;
  }
  return c;
}

kinex::Run model_on(const Cycle& cycle, int threads) {
  kinex::Run run = make_run(cycle);
  compute_profile(run.cycle, run.profile);
  compute_tof(run.cycle, run.profile, run.terms, run.results, threads);
  compute_control(run.cycle, run.profile, run.terms, run.results, threads);
  return run;
}

// Compares element by element and stops at the first difference.
void expect_same_vector(const std::vector<double>& got, const std::vector<double>& want,
                        const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (std::bit_cast<uint64_t>(got[k]) == std::bit_cast<uint64_t>(want[k])) continue;
    ADD_FAILURE() << what << " [" << k << "]: got " << got[k] << ", want " << want[k];
    return;
  }
}

void expect_same_results(const kinex::Run& got, const kinex::Run& want, const std::string& name) {
  EXPECT_SAME_BITS(got.results.TOF, want.results.TOF, name + " TOF");
  EXPECT_SAME_BITS(got.results.denominator, want.results.denominator, name + " denominator");
  EXPECT_EQ(got.results.TDI, want.results.TDI) << name;
  EXPECT_EQ(got.results.TDTS, want.results.TDTS) << name;
  expect_same_vector(got.results.xtof_int, want.results.xtof_int, name + " xtof_int");
  expect_same_vector(got.results.xtof_ts, want.results.xtof_ts, name + " xtof_ts");
  expect_same_vector(got.results.sum_reac, want.results.sum_reac, name + " sum_reac");
  expect_same_vector(got.results.sum_prod, want.results.sum_prod, name + " sum_prod");
  expect_same_vector(got.results.xtof_reac, want.results.xtof_reac, name + " xtof_reac");
  expect_same_vector(got.results.xtof_prod, want.results.xtof_prod, name + " xtof_prod");
  const int64_t n = want.cycle.n;
  const double* got_terms = got.terms.complete_matrix.get();
  const double* want_terms = want.terms.complete_matrix.get();
  expect_same_vector(std::vector<double>(got_terms, got_terms + n * n),
                     std::vector<double>(want_terms, want_terms + n * n),
                     name + " complete_matrix");
}

// Sizes around the blocks of 64 terms or steps and around 200 steps, where
// the model starts to use threads of its own accord.
TEST(Threads, SameBitsAsOneThread) {
  const struct {
    int64_t n;
    Given given;
    Energies energies;
  } cases[] = {
      {1, Given::every, Energies::plain},         {2, Given::every, Energies::with_nan},
      {3, Given::some, Energies::plain},          {17, Given::every, Energies::with_inf},
      {63, Given::every, Energies::plain},        {64, Given::every, Energies::plain},
      {65, Given::some, Energies::overflowing},   {65, Given::every, Energies::plain},
      {127, Given::one, Energies::plain},         {128, Given::every, Energies::with_nan},
      {129, Given::every, Energies::plain},       {199, Given::some, Energies::plain},
      {200, Given::every, Energies::with_inf},    {201, Given::none, Energies::plain},
      {201, Given::every, Energies::overflowing}, {260, Given::every, Energies::plain},
      {260, Given::one, Energies::with_nan},
  };
  for (const auto& c : cases) {
    const Cycle cycle = make_cycle(c.n, c.given, c.energies, 1000 + c.n);
    const kinex::Run one = model_on(cycle, 1);
    for (int threads : {0, 2, 3}) {
      const std::string name = "n = " + std::to_string(c.n) + ", given " +
                               std::to_string(static_cast<int>(c.given)) + ", energies " +
                               std::to_string(static_cast<int>(c.energies)) + ", threads " +
                               std::to_string(threads);
      expect_same_results(model_on(cycle, threads), one, name);
    }
  }
}

// The progress hook: called on the calling thread, rising from 0 to exactly
// 1 over the two phases, not too often; a cycle without concentrations
// reports as well.
TEST(Threads, Progress) {
  for (const Given given : {Given::every, Given::none}) {
    const std::string name = given == Given::every ? "every concentration" : "none";
    kinex::Run run = make_run(make_cycle(300, given, Energies::plain, 7));
    std::vector<double> shares;
    bool other_thread = false;
    const std::thread::id caller = std::this_thread::get_id();
    run.progress = [&](double share) {
      shares.push_back(share);
      other_thread = other_thread || std::this_thread::get_id() != caller;
    };
    compute_profile(run.cycle, run.profile);
    compute_tof(run.cycle, run.profile, run.terms, run.results, 2, run.progress);
    const std::size_t after_tof = shares.size();
    compute_control(run.cycle, run.profile, run.terms, run.results, 2, run.progress);
    EXPECT_FALSE(other_thread) << name;
    ASSERT_GT(after_tof, 0u) << name;
    ASSERT_GT(shares.size(), after_tof) << name;
    EXPECT_LE(shares.size(), 210u) << name;
    EXPECT_LT(shares[after_tof - 1], 1.0) << name;
    EXPECT_EQ(shares.back(), 1.0) << name;
    for (std::size_t k = 0; k < shares.size(); ++k) {
      EXPECT_GE(shares[k], 0.0) << name;
      if (k > 0) {
        EXPECT_GT(shares[k], shares[k - 1]) << name << " call " << k;
      }
    }
  }
}

// for_each_task runs every task once on one thread or on several; on one,
// in order with done after each, and done hears the whole count last.
TEST(Threads, ForEachTask) {
  const struct {
    const char* name;
    int64_t count;
    int threads;
  } cases[] = {
      {"one thread", 5, 1}, {"two threads", 40, 2}, {"one task on two", 1, 2}, {"no task", 0, 1}};
  for (const auto& c : cases) {
    std::vector<int> runs(static_cast<std::size_t>(c.count), 0);
    std::vector<int64_t> order, done;
    for_each_task(
        c.count, c.threads,
        [&](int64_t k) {
          ++runs[static_cast<std::size_t>(k)];
          if (c.threads == 1) order.push_back(k);
        },
        [&](int64_t finished) { done.push_back(finished); });
    EXPECT_EQ(runs, std::vector<int>(runs.size(), 1)) << c.name;
    ASSERT_FALSE(done.empty()) << c.name;
    EXPECT_EQ(done.back(), c.count) << c.name;
    if (c.threads == 1) {
      std::vector<int64_t> in_order, after_each;
      for (int64_t k = 0; k < c.count; ++k) in_order.push_back(k), after_each.push_back(k + 1);
      after_each.push_back(c.count);
      EXPECT_EQ(order, in_order) << c.name;
      EXPECT_EQ(done, after_each) << c.name;
    }
  }
}

TEST(Threads, ThreadCount) {
  const unsigned hardware = std::thread::hardware_concurrency();
  const struct {
    const char* name;
    int requested;
    int64_t n, tasks;
    int want;  // -1: what the machine runs at once
  } cases[] = {
      {"small cycle: one thread", 0, 50, 50, 1},
      {"large cycle: the machine's", 0, 3000, 3000, -1},
      {"no more than tasks", 8, 3000, 3, 3},
      {"no tasks: still one", 0, 3000, 0, 1},
      {"asked for", 3, 10, 10, 3},
  };
  for (const auto& c : cases) {
    const int want = c.want >= 0 ? c.want : hardware == 0 ? 1 : static_cast<int>(hardware);
    EXPECT_EQ(thread_count(c.requested, c.n, c.tasks), want) << c.name;
  }
}

}  // namespace
}  // namespace kinex::testing

#include "model/tof.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <vector>

#include "model/parallel.h"
#include "model/profile.h"
#include "model/small_array.h"

namespace kinex {
namespace {

// Terms whose concentration products are formed side by side; a block of
// them stays in registers while the rate constants go by.
constexpr int64_t kTermBlock = 64;

// How the concentration factors of a term combine: multiplied, for the
// terms themselves, or added as their logarithms, for the log-space
// evaluation. The identity is the factor of a step without a concentration.
struct Product {
  static constexpr double identity = 1.0;
  static double combine(double x, double y) { return x * y; }
};
struct LogSum {
  static constexpr double identity = 0.0;
  static double combine(double x, double y) { return x + y; }
};

// The reactant factors along two turns of the cycle: at[s], s = 1..2n-1, is
// that of step ((s-1) mod n) + 1. Combining with the identity leaves a
// product (a sum) unchanged bit for bit, so `other` lists only the other
// values, in order of s, and other_before[s] counts those before position
// s; the long inner loops then run without a test.
struct ReactantFactors {
  explicit ReactantFactors(int64_t n)
      : at(static_cast<std::size_t>(2 * n)),
        other(static_cast<std::size_t>(2 * n)),
        other_before(static_cast<std::size_t>(2 * n + 1)) {}
  SmallArray<double> at;
  SmallArray<double> other;  // the first `others` elements
  int64_t others = 0;
  SmallArray<int64_t> other_before;  // 1..2n
};

// `factor` (1..n) of each step, the identity of Op where the step has none.
template <class Op>
void fill_reactant_factors(int64_t n, const double* factor, ReactantFactors& f) {
  for (int64_t s = 1; s <= 2 * n - 1; ++s) {
    f.at[s] = factor[s <= n ? s : s - n];  // step ((s-1) mod n) + 1
    f.other_before[s] = f.others;
    if (f.at[s] != Op::identity) f.other[f.others++] = f.at[s];
  }
  f.other_before[2 * n] = f.others;
}

// Combines the reactant factors into terms b0 .. b0+W-1 of row a. Term b
// takes those of the forward rate constants at positions k = b..n-1, that
// is of steps a+b, ..., a+n-1, one at a time in this order.
template <int64_t W, class Op>
[[gnu::always_inline]] inline void combine_reactants(int64_t n, int64_t a, int64_t b0,
                                                     const ReactantFactors& f, double* row) {
  double* terms = row + (b0 - 1);
  // Until position b0+W-1 only the first terms of the block take part.
  for (int64_t k = b0; k < b0 + W - 1; ++k) {
    const double r = f.at[a + k];
    for (int64_t j = 0; j <= k - b0; ++j) terms[j] = Op::combine(terms[j], r);
  }
  double acc[W];
  for (int64_t j = 0; j < W; ++j) acc[j] = terms[j];
  const double* r = f.other.data();
  const int64_t first = f.other_before[a + b0 + W - 1], end = f.other_before[a + n];
  for (int64_t m = first; m < end; ++m) {
    for (int64_t j = 0; j < W; ++j) acc[j] = Op::combine(acc[j], r[m]);
  }
  for (int64_t j = 0; j < W; ++j) terms[j] = acc[j];
}

// combine_reactants of the blocks of kTermBlock terms that fit into row a,
// from term 1 on; returns the first term left over.
template <class Op>
[[gnu::always_inline]] inline int64_t combine_whole_blocks(int64_t n, int64_t a,
                                                           const ReactantFactors& f, double* row) {
  int64_t b0 = 1;
  for (; b0 + kTermBlock - 1 <= n; b0 += kTermBlock) {
    combine_reactants<kTermBlock, Op>(n, a, b0, f, row);
  }
  return b0;
}

KINEX_VECTOR_CLONES int64_t multiply_whole_blocks(int64_t n, int64_t a, const ReactantFactors& f,
                                                  double* row) {
  return combine_whole_blocks<Product>(n, a, f, row);
}

KINEX_VECTOR_CLONES int64_t add_whole_blocks(int64_t n, int64_t a, const ReactantFactors& f,
                                             double* row) {
  return combine_whole_blocks<LogSum>(n, a, f, row);
}

// The concentration products (sums of logarithms) of the n terms of
// intermediate a-1, left in row[b-1]. Term b holds the backward rate
// constants of steps a .. a+b-2 and then the forward ones of steps a+b ..
// a+n-1 (step numbers cyclic); its product starts from the identity and
// takes their factors one at a time, left to right, so that it rounds
// exactly like the term-by-term definition. The backward part of every
// term is a prefix of one running product, which is therefore formed once;
// the forward part differs from term to term. prod[s], s = 1..2n-1, holds
// the product factor of step ((s-1) mod n) + 1.
template <class Op>
void concentration_row(int64_t n, int64_t a, const ReactantFactors& reac, const double* prod,
                       double* row) {
  double start = Op::identity;
  for (int64_t b = 1; b <= n; ++b) {
    row[b - 1] = start;
    if (b < n) start = Op::combine(start, prod[a + b - 1]);
  }
  if (reac.others == 0) return;
  int64_t b0 = std::is_same_v<Op, Product> ? multiply_whole_blocks(n, a, reac, row)
                                           : add_whole_blocks(n, a, reac, row);
  for (; b0 <= n; ++b0) combine_reactants<1, Op>(n, a, b0, reac, row);
}

// The product factors along two turns: element s = 1..2n-1 holds that of
// step ((s-1) mod n) + 1.
void fill_product_factors(int64_t n, const double* factor, SmallArray<double>& prod) {
  for (int64_t s = 1; s <= 2 * n - 1; ++s) prod[s] = factor[s <= n ? s : s - n];
}

// Fills every row of the matrix: the concentration part of Op, then the
// energies through `energy(concentration part, g_ts - g_int)`.
template <class Op, class Done, class Energy>
void fill_terms(const Cycle& cycle, const Profile& profile, const double* reac_factor,
                const double* prod_factor, Terms& terms, int threads, const Done& done,
                Energy energy) {
  const int64_t n = cycle.n;
  ReactantFactors reac(n);
  fill_reactant_factors<Op>(n, reac_factor, reac);
  SmallArray<double> prod(static_cast<std::size_t>(2 * n));
  fill_product_factors(n, prod_factor, prod);
  const double* g_ts = profile.g_ts.data();
  // The rows are independent of each other; threads share them.
  auto fill_row = [&](int64_t k) {
    const int64_t a = k + 1;
    double* row = terms.complete_matrix.get() + (a - 1) * n;
    concentration_row<Op>(n, a, reac, prod.data(), row);
    // Term b crosses transition state a+b-1 (cyclic). When that comes at
    // or after step a, the term's intermediate a-1 is taken from the next
    // turn of the cycle.
    const double g_next = profile.g_int[a - 1 + n];
    const double g_this = profile.g_int[a - 1];
    for (int64_t b = 1; b <= n - a + 1; ++b) {
      row[b - 1] = energy(row[b - 1], g_ts[a + b - 1] - g_next);
    }
    for (int64_t b = n - a + 2; b <= n; ++b) {
      row[b - 1] = energy(row[b - 1], g_ts[a + b - 1 - n] - g_this);
    }
  };
  for_each_task(n, thread_count(threads, n, n), fill_row, done);
}

}  // namespace

void compute_tof(const Cycle& cycle, const Profile& profile, Terms& terms, Results& results,
                 int threads, const std::function<void(double)>& progress) {
  const int64_t n = cycle.n;
  results.prefactor = (cycle.T * k_B) / h_Planck;

  double denominator = 0.0;
  if (n >= 1) {
    ModelProgress meter(progress, cycle, ModelProgress::Phase::tof);
    fill_terms<Product>(
        cycle, profile, cycle.conc_reac.data(), cycle.conc_prod.data(), terms, threads,
        [&](int64_t rows) { meter.report(static_cast<double>(rows) / static_cast<double>(n)); },
        [](double concentrations, double g) { return concentrations * std::exp(g); });
    // The denominator runs over a outer, b inner: row by row, on one thread.
    const double* matrix = terms.complete_matrix.get();
    for (int64_t k = 0; k < n * n; ++k) denominator = denominator + matrix[k];
  }
  results.denominator = denominator;
  // The numerator of the TOF is the driving force.
  results.TOF = (profile.driving_force * results.prefactor) / results.denominator;
}

void compute_log_terms(const Cycle& cycle, const Profile& profile, Terms& terms, int threads) {
  const int64_t n = cycle.n;
  SmallArray<double> ln_reac(static_cast<std::size_t>(n + 1)),
      ln_prod(static_cast<std::size_t>(n + 1));
  for (int64_t i = 1; i <= n; ++i) {
    ln_reac[i] = cycle.has_reac[i] ? std::log(cycle.conc_reac[i]) : 0.0;
    ln_prod[i] = cycle.has_prod[i] ? std::log(cycle.conc_prod[i]) : 0.0;
  }
  fill_terms<LogSum>(
      cycle, profile, ln_reac.data(), ln_prod.data(), terms, threads, [](int64_t) {},
      [](double concentrations, double g) { return g + concentrations; });
}

}  // namespace kinex

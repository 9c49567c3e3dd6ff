#include "model/control.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/parallel.h"
#include "model/small_array.h"

namespace kinex {
namespace {

// Steps whose concentration sums are formed side by side; a block of them
// stays in registers while the terms go by.
constexpr int64_t kStepBlock = 64;

// How many steps step i lies after step a along the cycle: (i - a) mod n.
int64_t offset(int64_t n, int64_t a, int64_t i) {
  const int64_t d = i - a;
  return d < 0 ? d + n : d;
}

// Term (a,b) holds the forward rate constant of step i exactly when step i
// lies 1 .. n-1 steps after step a and at least b steps after it, and the
// backward one exactly when it lies at most b-2 steps after step a. So with
// J = offset(a, i): sum_reac(i) takes terms b = 1..J of every row a, and
// sum_prod(i) terms b = J+2..n; each sum runs over a outer, b inner.
//
// The sums of W consecutive steps are formed side by side. Their offsets
// from step a are consecutive, so nearly all terms of a row go to every sum
// of the block: those are added in registers, the few others one by one.

// Adds row[b-1] for b = first_b..last_b to every sums[j], b ascending.
template <int64_t W>
[[gnu::always_inline]] inline void add_to_all(const double* row, int64_t first_b, int64_t last_b,
                                              double* sums) {
  double acc[W];
  for (int64_t j = 0; j < W; ++j) acc[j] = sums[j];
  for (int64_t b = first_b; b <= last_b; ++b) {
    for (int64_t j = 0; j < W; ++j) acc[j] = acc[j] + row[b - 1];
  }
  for (int64_t j = 0; j < W; ++j) sums[j] = acc[j];
}

// add_to_all of a whole block. Kept out of line (as every multiversioned
// function is): inlined into its callers, the accumulators no longer stay
// in registers.
KINEX_VECTOR_CLONES void add_to_block(const double* row, int64_t first_b, int64_t last_b,
                                      double* sums) {
  add_to_all<kStepBlock>(row, first_b, last_b, sums);
}

// Adds row[b-1] for b = first_b..last_b, ascending, to those sums[j] of a
// whole block with lower[j] <= b <= upper[j]; the others are left alone.
KINEX_VECTOR_CLONES void add_to_block_where(const double* row, int64_t first_b, int64_t last_b,
                                            const int64_t* lower, const int64_t* upper,
                                            double* sums) {
  double acc[kStepBlock];
  for (int64_t j = 0; j < kStepBlock; ++j) acc[j] = sums[j];
  for (int64_t b = first_b; b <= last_b; ++b) {
    const double x = row[b - 1];
    for (int64_t j = 0; j < kStepBlock; ++j) {
      acc[j] = lower[j] <= b && b <= upper[j] ? acc[j] + x : acc[j];
    }
  }
  for (int64_t j = 0; j < kStepBlock; ++j) sums[j] = acc[j];
}

// Adds row[b-1] for b = first[j]..last[j] to sums[j], b ascending, for
// every j. The sums j in [shared_begin, shared_end) take the terms their
// ranges have in common together, the few before and after those of a
// whole block side by side as well; the others are set aside meanwhile.
template <int64_t W>
void add_row(const double* row, const int64_t* first, const int64_t* last, int64_t shared_begin,
             int64_t shared_end, double* sums) {
  int64_t lo = 1, hi = INT64_MAX;
  for (int64_t j = shared_begin; j < shared_end; ++j) {
    lo = first[j] > lo ? first[j] : lo;
    hi = last[j] < hi ? last[j] : hi;
  }
  const bool together = shared_begin < shared_end && lo <= hi;
  auto is_shared = [&](int64_t j) { return together && shared_begin <= j && j < shared_end; };
  double aside[W] = {};
  for (int64_t j = 0; j < W; ++j) {
    if (is_shared(j)) continue;
    double sum = sums[j];
    for (int64_t b = first[j]; b <= last[j]; ++b) sum = sum + row[b - 1];
    aside[j] = sum;
  }
  if constexpr (W == kStepBlock) {
    if (together) {
      int64_t lower[W], upper[W];
      int64_t head = lo, tail = hi;
      for (int64_t j = 0; j < W; ++j) {
        lower[j] = is_shared(j) ? first[j] : INT64_MAX;
        upper[j] = is_shared(j) ? last[j] : INT64_MIN;
        if (is_shared(j)) {
          head = first[j] < head ? first[j] : head;
          tail = last[j] > tail ? last[j] : tail;
        }
      }
      add_to_block_where(row, head, lo - 1, lower, upper, sums);
      add_to_block(row, lo, hi, sums);
      add_to_block_where(row, hi + 1, tail, lower, upper, sums);
    }
  } else {
    if (together) {
      for (int64_t j = shared_begin; j < shared_end; ++j) {
        double sum = sums[j];
        for (int64_t b = first[j]; b < lo; ++b) sum = sum + row[b - 1];
        sums[j] = sum;
      }
      add_to_all<W>(row, lo, hi, sums);
      for (int64_t j = shared_begin; j < shared_end; ++j) {
        double sum = sums[j];
        for (int64_t b = hi + 1; b <= last[j]; ++b) sum = sum + row[b - 1];
        sums[j] = sum;
      }
    }
  }
  for (int64_t j = 0; j < W; ++j) {
    if (!is_shared(j)) sums[j] = aside[j];
  }
}

// sum_reac (reactants) or sum_prod of steps i0 .. i0+W-1 (no wrap-around
// at step n) into sums[0..W-1].
template <int64_t W>
void sum_block(int64_t n, int64_t i0, bool reactants, const double* terms, double* sums) {
  for (int64_t j = 0; j < W; ++j) sums[j] = 0.0;
  int64_t first[W], last[W];
  for (int64_t a = 1; a <= n; ++a) {
    const int64_t j0 = offset(n, a, i0);
    // When the block holds step a, the offsets restart at 0 from sum p on;
    // the long ranges are then those of the sums before p (reactants) or
    // from p on (products).
    const int64_t p = j0 + W - 1 >= n ? n - j0 : W;
    for (int64_t j = 0; j < W; ++j) {
      const int64_t J = j < p ? j0 + j : j0 + j - n;
      first[j] = reactants ? 1 : J + 2;
      last[j] = reactants ? J : n;
    }
    const double* row = terms + (a - 1) * n;
    if (reactants) {
      add_row<W>(row, first, last, 0, p, sums);
    } else {
      add_row<W>(row, first, last, p < W ? p : 0, W, sums);
    }
  }
}

// A share of the sums of compute_control: sum_reac (reactants) or
// sum_prod of the `width` steps from i0 on, of which those from step
// `from` on are stored.
// (Left uninitialised where it is not given: a SmallArray of them then
// costs nothing to create.)
struct StepBlock {
  int64_t i0, from, width;
  bool reactants;
};

// The most blocks add_step_blocks gives for n steps, reactants and
// products together.
int64_t most_step_blocks(int64_t n) {
  return n < kStepBlock ? 2 * n : 2 * ((n + kStepBlock - 1) / kStepBlock);
}

// Appends to blocks[0..count) the blocks that hold every step i with
// wanted[i]. The last block is moved back to end at step n; the steps it
// shares with the block before would come out the same again and are
// stored by that one only.
void add_step_blocks(int64_t n, bool reactants, const std::vector<bool>& wanted, StepBlock* blocks,
                     int64_t& count) {
  if (n < kStepBlock) {
    for (int64_t i = 1; i <= n; ++i) {
      if (wanted[i]) blocks[count++] = {i, i, 1, reactants};
    }
    return;
  }
  for (int64_t start = 1; start <= n; start += kStepBlock) {
    const int64_t i0 = start + kStepBlock - 1 <= n ? start : n - kStepBlock + 1;
    bool any = false;
    for (int64_t i = start; i < i0 + kStepBlock; ++i) any = any || wanted[i];
    if (any) blocks[count++] = {i0, start, kStepBlock, reactants};
  }
}

// Fills sum_reac or sum_prod of the wanted steps of one block; the other
// elements are left alone.
void sum_step_block(const Cycle& cycle, const Terms& matrix, Results& results,
                    const StepBlock& block) {
  const int64_t n = cycle.n;
  const double* terms = matrix.complete_matrix.get();
  const std::vector<bool>& wanted = block.reactants ? cycle.has_reac : cycle.has_prod;
  std::vector<double>& sums = block.reactants ? results.sum_reac : results.sum_prod;
  double result[kStepBlock];
  if (block.width == 1) {
    sum_block<1>(n, block.i0, block.reactants, terms, result);
  } else {
    sum_block<kStepBlock>(n, block.i0, block.reactants, terms, result);
  }
  for (int64_t i = block.from; i < block.i0 + block.width; ++i) {
    if (wanted[i]) sums[i] = result[i - block.i0];
  }
}

// The larger of `top` and x, `top` where x is NaN.
double largest(double top, double x) { return x > top ? x : top; }

// The largest of values[0..n) that is not NaN (of equal ones any), -inf
// where there is none: four running maxima side by side, which do not
// wait for each other.
double largest_of(const double* values, int64_t n) {
  double top[4] = {-INFINITY, -INFINITY, -INFINITY, -INFINITY};
  int64_t k = 0;
  for (; k + 4 <= n; k += 4) {
    for (int64_t j = 0; j < 4; ++j) top[j] = largest(top[j], values[k + j]);
  }
  for (; k < n; ++k) top[0] = largest(top[0], values[k]);
  return largest(largest(top[0], top[1]), largest(top[2], top[3]));
}

// The dominant term is the one a column-major scan (a fastest) finds when it
// starts from term (1,1) and moves only to a strictly greater term: the
// largest value that is not NaN, the smallest b and then the smallest a
// among equal ones; NaN at (1,1) is never replaced. DominantScan takes the
// rows one at a time, in any order of a, each with its largest term that
// is not NaN (-inf where there is none). Within a row the scan ends on the
// first column that holds that largest, and it leaves the row's
// predecessor only for a larger term or an equal one earlier in column
// order; a row whose largest lies below the best so far has nothing to
// take and is passed over.
struct DominantScan {
  double best = 0.0;
  int64_t a = 1, b = 1;
  bool keep_first = false;

  explicit DominantScan(double first) : best(first), keep_first(std::isnan(first)) {}

  void take_row(int64_t row_a, const double* row, int64_t n, double top) {
    if (keep_first || top < best) return;
    // Without branches: the terms come in no order a branch could learn.
    // n + 1 where no term equals `top` (every term NaN, the best -inf).
    int64_t col = n + 1;
    for (int64_t c = n; c >= 1; --c) col = row[c - 1] == top ? c : col;
    const bool take = (top > best) | (col < b) | ((col == b) & (row_a < a));
    best = largest(best, top);
    a = take ? row_a : a;
    b = take ? col : b;
  }
};

// One pass over the terms, row by row: the dominant term (when
// `find_dominant`), the row sums (intermediates), the per-transition-state
// sums and the share of the terms of the next turn, each in the order the
// degrees of control prescribe, over `denominator`.
void scan_terms(const Cycle& cycle, const Terms& matrix, double denominator, bool find_dominant,
                Results& results) {
  const int64_t n = cycle.n;
  const double* terms = matrix.complete_matrix.get();
  DominantScan dominant(terms[0]);
  double next_turn = 0.0;

  double* ts = results.xtof_ts.data();
  for (int64_t a = 1; a <= n; ++a) {
    const double* row = terms + (a - 1) * n;
    // Terms b = 1..n-a+1 take their intermediate from the next turn; the
    // row sum passes through their sum on its way.
    // The row's largest term goes along for the dominant term.
    double row_sum = 0.0, top = -INFINITY;
    for (int64_t b = 1; b <= n - a + 1; ++b) {
      row_sum = row_sum + row[b - 1];
      top = largest(top, row[b - 1]);
    }
    next_turn = next_turn + row_sum;
    for (int64_t b = n - a + 2; b <= n; ++b) {
      row_sum = row_sum + row[b - 1];
      top = largest(top, row[b - 1]);
    }
    results.xtof_int[a - 1] = row_sum;
    if (find_dominant) dominant.take_row(a, row, n, top);

    // Term b of row a crosses transition state a+b-1 (cyclic); each
    // transition state receives one term per row, rows ascending, its sum
    // starting from 0.0 with row 1 (which crosses every one, in order).
    if (a == 1) {
      for (int64_t b = 1; b <= n; ++b) ts[b] = 0.0 + row[b - 1];
    } else {
      for (int64_t b = 1; b <= n - a + 1; ++b) ts[a + b - 1] = ts[a + b - 1] + row[b - 1];
      for (int64_t b = n - a + 2; b <= n; ++b) {
        ts[a + b - 1 - n] = ts[a + b - 1 - n] + row[b - 1];
      }
    }
  }
  if (find_dominant) {
    results.dominant_a = dominant.a;
    results.dominant_b = dominant.b;
  }
  results.next_turn_share = next_turn / denominator;
  for (int64_t i = 1; i <= n; ++i) {
    results.xtof_int[i - 1] = results.xtof_int[i - 1] / denominator;
    results.xtof_ts[i] = results.xtof_ts[i] / denominator;
  }
}

// The steps from the TDI through span_len steps (cyclic) that have the
// concentration, ascending by number, into `steps` (its storage kept).
void span_steps(int64_t n, int64_t tdi, int64_t span_len, const std::vector<bool>& has,
                std::vector<int64_t>& steps) {
  steps.clear();
  for (int64_t i = 1; i <= n; ++i) {
    if (offset(n, tdi, i) < span_len && has[i]) steps.push_back(i);
  }
}

}  // namespace

void set_determining_states(const Cycle& cycle, int64_t a, int64_t b, Results& results) {
  const int64_t n = cycle.n;
  results.TDI = a;
  results.TDTS = (a + b - 2) % n + 1;

  const int64_t d = results.TDTS - results.TDI;
  const int64_t span_len = d >= 0 ? d + 1 : d + n + 1;
  span_steps(n, results.TDI, span_len, cycle.has_reac, results.reac_steps);
  span_steps(n, results.TDI, span_len - 1, cycle.has_prod, results.prod_steps);
}

namespace {

// From the dominant term on: TDI, TDTS, the advice's steps and the
// degrees of control of the concentrations, each the share of its step
// (reac_share, prod_share) less its sum of terms over `denominator`.
void finish_control(const Cycle& cycle, const Terms& terms, double denominator, double reac_share,
                    double prod_share, Results& results, int threads,
                    const std::function<void(double)>& progress) {
  const int64_t n = cycle.n;
  set_determining_states(cycle, results.dominant_a, results.dominant_b, results);

  // The blocks of steps are independent of each other; threads share them.
  SmallArray<StepBlock, 128> blocks(static_cast<std::size_t>(most_step_blocks(n)));
  int64_t count = 0;
  add_step_blocks(n, true, cycle.has_reac, blocks.data(), count);
  add_step_blocks(n, false, cycle.has_prod, blocks.data(), count);
  ModelProgress meter(progress, cycle, ModelProgress::Phase::control);
  const auto sum_block_k = [&](int64_t k) { sum_step_block(cycle, terms, results, blocks[k]); };
  for_each_task(count, thread_count(threads, n, count), sum_block_k, [&](int64_t done) {
    meter.report(count == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(count));
  });

  for (int64_t i = 1; i <= n; ++i) {
    if (cycle.has_reac[i]) results.xtof_reac[i] = reac_share - (results.sum_reac[i] / denominator);
    if (cycle.has_prod[i]) results.xtof_prod[i] = prod_share - (results.sum_prod[i] / denominator);
  }
}

}  // namespace

void find_dominant_term(int64_t n, const double* matrix, int64_t& a, int64_t& b) {
  DominantScan dominant(matrix[0]);
  for (int64_t row = 1; row <= n; ++row) {
    const double* terms = matrix + (row - 1) * n;
    dominant.take_row(row, terms, n, largest_of(terms, n));
  }
  a = dominant.a;
  b = dominant.b;
}

TiedTerms earliest_tied_term(int64_t n, const double* matrix) {
  TiedTerms tied;
  double largest = -INFINITY;
  for (int64_t k = 0; k < n * n; ++k) largest = matrix[k] > largest ? matrix[k] : largest;
  if (!(std::isfinite(largest) && largest > 0.0)) return tied;
  const double threshold = largest * (1.0 - kTieTolerance);
  auto tdts_of = [n](int64_t a, int64_t b) { return (a + b - 2) % n + 1; };
  int64_t count = 0;
  for (int64_t a = 1; a <= n; ++a) {
    const double* row = matrix + (a - 1) * n;
    for (int64_t b = 1; b <= n; ++b) {
      if (!(row[b - 1] >= threshold)) continue;
      ++count;
      if (tied.a == 0 || (a == tied.a && tdts_of(a, b) < tdts_of(a, tied.b))) {
        tied.a = a;
        tied.b = b;
      }
    }
  }
  if (count == 1) return tied;  // the term alone: its own states are no ties
  SmallArray<char> tdi(static_cast<std::size_t>(n + 1), 0),
      tdts(static_cast<std::size_t>(n + 1), 0);
  for (int64_t a = 1; a <= n; ++a) {
    const double* row = matrix + (a - 1) * n;
    for (int64_t b = 1; b <= n; ++b) {
      if (!(row[b - 1] >= threshold)) continue;
      tdi[static_cast<std::size_t>(a)] = true;
      tdts[static_cast<std::size_t>(tdts_of(a, b))] = true;
    }
  }
  const int64_t TDTS = tdts_of(tied.a, tied.b);
  for (int64_t i = 1; i <= n; ++i) {
    if (tdi[static_cast<std::size_t>(i)] && i != tied.a) tied.TDI_ties.push_back(i);
    if (tdts[static_cast<std::size_t>(i)] && i != TDTS) tied.TDTS_ties.push_back(i);
  }
  return tied;
}

void resolve_ties(const Cycle& cycle, const Terms& terms, Results& results) {
  if (cycle.n < 1) return;
  TiedTerms tied = earliest_tied_term(cycle.n, terms.complete_matrix.get());
  if (tied.a == 0) return;
  if (tied.a != results.TDI || (tied.a + tied.b - 2) % cycle.n + 1 != results.TDTS) {
    set_determining_states(cycle, tied.a, tied.b, results);
  }
  results.TDI_ties = std::move(tied.TDI_ties);
  results.TDTS_ties = std::move(tied.TDTS_ties);
}

void compute_control(const Cycle& cycle, const Profile& profile, const Terms& terms,
                     Results& results, int threads, const std::function<void(double)>& progress) {
  if (cycle.n < 1) return;
  scan_terms(cycle, terms, results.denominator, true, results);
  // The quotients are grouped as the degrees of control are defined; the
  // shorter exp(-dG) * concproduct_reac / driving_force would round differently.
  const double reac_share =
      (profile.driving_force + profile.concproduct_prod) / profile.driving_force;
  const double prod_share = -(profile.concproduct_prod / profile.driving_force);
  results.q = profile.concproduct_prod / profile.driving_force;
  finish_control(cycle, terms, results.denominator, reac_share, prod_share, results, threads,
                 progress);
}

void compute_control_of(const Cycle& cycle, const Terms& terms, double denominator,
                        double reac_share, double prod_share, Results& results, int threads) {
  if (cycle.n < 1) return;
  scan_terms(cycle, terms, denominator, false, results);
  finish_control(cycle, terms, denominator, reac_share, prod_share, results, threads, {});
}

}  // namespace kinex

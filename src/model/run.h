// The values of one run of KINEX, one per concern, carried from phase to
// phase. Each phase fills its own value once and only reads those of the
// phases before it.
//
// Index conventions (they follow the formulas of the model, not C++):
//   steps i = 1..n; step i leads from intermediate i-1 over transition state i
//   to intermediate i; intermediates n..2n-1 are intermediates 0..n-1 of the
//   next turn of the cycle, raised by DeltaG.
//   A per-step vector has n+1 elements and index 0 is unused, so that
//   `G_ts[i]` is the transition state of step i. A vector over intermediates
//   starts at index 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "kinex/run.h"
#include "kinex/types.h"
#include "model/names.h"

namespace kinex {

// Where the conditions of two cycles first differ: the number of steps, the
// temperature, then step by step whether a reactant and then a product
// concentration is given and its value. `step` names the step of a
// concentration.
struct ConditionDifference {
  enum class What { none, steps, temperature, reactant, product } what = What::none;
  int64_t step = 0;
};

inline ConditionDifference condition_difference(const Cycle& a, const Cycle& b) {
  using What = ConditionDifference::What;
  if (a.n != b.n) return {What::steps, 0};
  if (a.T != b.T) return {What::temperature, 0};
  for (int64_t i = 1; i <= a.n; ++i) {
    const auto I = static_cast<std::size_t>(i);
    if (a.has_reac[I] != b.has_reac[I] || (a.has_reac[I] && a.conc_reac[I] != b.conc_reac[I])) {
      return {What::reactant, i};
    }
    if (a.has_prod[I] != b.has_prod[I] || (a.has_prod[I] && a.conc_prod[I] != b.conc_prod[I])) {
      return {What::product, i};
    }
  }
  return {};
}

}  // namespace kinex

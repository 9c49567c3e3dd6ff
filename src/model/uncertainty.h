// How the uncertainty of the Gibbs energies carries into the TOF, the TDI
// and TDTS and the degrees of TOF control: a Monte Carlo over the energies
// of one cycle, the first-order estimate of the spread of log10 TOF, and the
// distribution over an ensemble of cycles (the same cycle from several
// methods).
//
// Every sample is evaluated over the logarithms of the terms (as
// compute_log_space forms them), by a dedicated evaluation for small cycles
// whose results agree with evaluate_cycle(run, 1, Use::outputs) on the
// perturbed cycle: log10 TOF to about 1e-15 relative, the X_TOF of the
// states to about 1e-14 absolute and those of the reactants and products to
// about 1e-13 (1 + |q|), TDI and TDTS exactly (but for exact ties of terms).
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kinex/uncertainty.h"
#include "model/run.h"

namespace kinex {

// The largest number of samples a model may ask for.
constexpr int64_t kMaxUncertaintySamples = 100'000'000;

// "" when `model` fits a cycle of n steps, else the reason, naming the
// value ("sigma of state 3 is -1 kcal/mol, below 0", "correlation 1.5 is
// outside 0..1", "samples 0: at least 1").
std::string check_uncertainty_model(const UncertaintyModel& model, int64_t n);

// "" when the cycle can be sampled, else the reason: n >= 1 with arrays of
// its size, T finite and above 0, every energy and DeltaG finite, every
// given concentration finite and above 0 (the logarithms of the terms must
// exist in every sample).
std::string check_uncertainty_cycle(const Cycle& cycle);

// "" when the samples of `model` (which passed check_uncertainty_model)
// over `cycle` (which passed check_uncertainty_cycle) stay within the range
// of numbers, every energy of every sample in units of RT far from
// overflow; else the reason, naming the first sigma too large and the
// largest that can be sampled there.
std::string check_sigma_range(const Cycle& cycle, const UncertaintyModel& model);

// The quantiles at the ascending shares `p` of `values` (at least one; they
// are reordered): each interpolated linearly between the order statistics
// x[floor h] and x[floor h + 1], h = (N-1) p, as a full sort would give
// them.
std::vector<double> quantiles(std::vector<double>& values, const std::vector<double>& p);

// Monte Carlo over the energies: sample k perturbs state s by
//   e_s = σ_s * ( sqrt(RHO) * w_0 + sqrt(1-RHO) * w_s ),
//   w = sqrt(shared) * u + sqrt(1-shared) * v
// where u (shared by all catalysts) and v (this stream's own) are
// independent standard normals drawn from counter-based generators keyed by
// (seed, k, s) and (seed, stream, k, s), so each sample depends only on the
// seed, its number and the stream: bitwise the same results on any number
// of `threads` (0: as many as the machine runs at once). G_int[k] +=
// e_{2k}, G_ts[i] += e_{2i-1}, DeltaG += e_{2n} - e_0 (see
// perturbed_cycle).
//
// Every sample is evaluated in log space, so no sample is NaN, Inf or a
// false 0; the cycle must pass check_uncertainty_cycle (T > 0, every given
// concentration > 0). A cycle without a net driving force that the model
// cannot move (u = v, see compute_log_space, with e_{2n} - e_0 = 0 in every
// sample) is refused: its TOF is 0 in every sample. (A single sample that
// meets u = v exactly, a chance of about 1e-16, counts log10 TOF -inf and
// NaN X_TOF of reactants and products.) The X_TOF sums are formed per
// block of 4096 samples, about the central values, and the blocks added
// in order.
//
// Fails (false, reason in `error`, `out` emptied) on a bad model or cycle,
// or when the storage of the samples (24 bytes each while they are summed
// up) exceeds what the machine has room for, as allocate_storage judges
// it, or cannot be had. `stop`, when set, is asked on the calling thread
// after each of its blocks; true ends the sampling early (false, "stopped"
// in `error`, `out` emptied).
bool sample_uncertainty(const Cycle& cycle, const UncertaintyModel& model, int threads,
                        Distribution& out, std::string& error,
                        const std::function<bool()>& stop = {});

// An ensemble (e.g. the energies from several density functionals): each
// member is a whole cycle (same n, T and concentrations as members[0], own
// energies), evaluated with evaluate_cycle(run, 1, Use::outputs), i.e.
// exactly a single evaluation's numbers, bit for bit; the distribution over
// the members as above (first_order_sd NaN; central_* of members[0]).
// False with the reason (`out` emptied) when there are no members, a member fails
// check_uncertainty_cycle ("member Pd-A: ..."), the members differ in n, T or
// concentrations (given ones, compared exactly), or storage fails. The
// reasons name a member by `names` (a table row's name) where every member
// has a name of its own, else by its place counted from 1.
bool ensemble_uncertainty(const std::vector<Cycle>& members, Distribution& out, std::string& error,
                          const std::vector<std::string>& names = {});

// ---- The pieces of the Monte Carlo, for callers that want one sample -------

// The errors e_s (kcal/mol, uncertainty_states(n) values) of sample k of
// `model` (which must pass check_uncertainty_model), exactly as
// sample_uncertainty draws them.
std::vector<double> sample_errors(const UncertaintyModel& model, int64_t n, int64_t k);

// `cycle` with the errors applied as the Monte Carlo applies them:
// G_int[k] + e_{2k}, G_ts[i] + e_{2i-1}, DeltaG + (e_{2n} - e_0).
Cycle perturbed_cycle(const Cycle& cycle, const std::vector<double>& errors);

// One sample's results from the fast evaluation.
struct SampleResult {
  double log10_TOF = Results::kNone;
  int TOF_sign = 0;  // +1 forward, -1 backward, 0 no net flux
  int64_t TDI = 0, TDTS = 0;
  double q = Results::kNone;
  double next_turn_share = Results::kNone;
  std::vector<double> xtof_int;              // 0..n-1
  std::vector<double> xtof_ts;               // 1..n
  std::vector<double> xtof_reac, xtof_prod;  // 1..n; NaN where the step has no concentration
};

// perturbed_cycle(cycle, errors) evaluated by the dedicated log-space
// evaluation of the samples. False with the reason when the cycle fails
// check_uncertainty_cycle or `errors` has not 2n+1 finite values.
bool evaluate_sample(const Cycle& cycle, const std::vector<double>& errors, SampleResult& out,
                     std::string& error);

// g_s = ∂ ln TOF / ∂ G_s (mol/kcal), s = 0..2n, of the cycle at its own
// energies, in closed form from its degrees of control: a transition state
// -X_TOF/RT; intermediate k > 0 +X_TOF/RT; the final state moves DeltaG,
// g_2n = (next_turn_share - (1 + q))/RT; intermediate 0 also moves DeltaG
// by minus its error, g_0 = X_TOF(I0)/RT - g_2n. The g_s add up to 0 (a
// common shift of every energy changes nothing). False with the reason as
// evaluate_sample.
bool first_order_gradient(const Cycle& cycle, std::vector<double>& g, std::string& error);

}  // namespace kinex

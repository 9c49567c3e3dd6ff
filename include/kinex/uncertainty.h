// The uncertainty of a cycle's energies carried into its TOF, TDI, TDTS and
// degrees of TOF control: the model of a Monte Carlo, the distribution it
// or an ensemble of cycles gives, the sigmas as a user gives them, and the
// outputs of kinex uncertainty.
//
// State numbering: s = 2k is intermediate k (k = 0..n-1), s = 2i-1 the
// transition state of step i (i = 1..n), s = 2n the final state.
#pragma once

#include <kinex/json.h>
#include <kinex/run.h>
#include <kinex/types.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kinex {

// Whether `sigma` is the sigma of a Gibbs energy: a finite number of
// kcal/mol, at least 0. The one rule for every sigma kinex takes, from a
// command line, a file of sigmas, a table's column or Python.
inline bool is_sigma(double sigma) { return std::isfinite(sigma) && sigma >= 0.0; }

// State numbering of the uncertainty model: s = 2k is intermediate k (k = 0..n-1),
// s = 2i-1 the transition state of step i (i = 1..n), s = 2n the final state
// (the first intermediate of the next turn, at G_int[0] + DeltaG).
inline int64_t uncertainty_states(int64_t n) { return 2 * n + 1; }

struct UncertaintyModel {
  // kcal/mol, uncertainty_states(n) values, each finite and >= 0.
  std::vector<double> sigma;
  // RHO in [0, 1]: the share of each state's variance common to all states.
  double correlation = 0.0;
  int64_t samples = 10000;  // 1 .. 100'000'000
  uint64_t seed = 0;
  // [0, 1]: the share of each state's error common to all catalysts of a
  // screening (state s of one catalyst with state s of another).
  double shared = 0.0;
  // Which catalyst of a screening: its own (not shared) errors come from
  // this stream.
  uint64_t stream = 0;
};

struct Distribution {
  int64_t samples = 0;
  std::vector<double> log10_TOF;   // every sample's log10 |TOF| (TOF in 1/s), in sample order
  std::vector<int32_t> TDI, TDTS;  // every sample's, steps 1..n
  // Every sample's direction: +1 forward, -1 backward (a negative TOF: the
  // products favoured), 0 without a net flux; and the share of the samples
  // that run backward. log10_TOF is of |TOF| either way.
  std::vector<int8_t> TOF_sign;
  double backward_share = Results::kNone;
  // Of log10 TOF (sd with N-1; 0 for one sample).
  double mean = Results::kNone, sd = Results::kNone;
  // Quantiles of log10 TOF at 50 %, 15.8655 %, 84.1345 %, 2.5 % and 97.5 %:
  // of the sorted values x[0..N-1], the one at h = (N-1) p, interpolated
  // linearly between x[floor h] and x[floor h + 1] (x[floor h] where h is
  // whole).
  double median = Results::kNone, low68 = Results::kNone, high68 = Results::kNone;
  double low95 = Results::kNone, high95 = Results::kNone;
  std::vector<double> TDI_probability, TDTS_probability;  // 1..n (index 0 unused): share of samples
  std::vector<double> xtof_int_mean, xtof_int_sd;         // 0..n-1
  std::vector<double> xtof_ts_mean, xtof_ts_sd;           // 1..n
  // 1..n, NaN where the step has no reactant (product) concentration.
  std::vector<double> xtof_reac_mean, xtof_reac_sd;
  std::vector<double> xtof_prod_mean, xtof_prod_sd;
  // The first-order estimate at the central (unperturbed) energies: the sd of log10 TOF
  // = sqrt((1-RHO) Σ (g_s σ_s)^2 + RHO (Σ g_s σ_s)^2) / ln 10 with g_s = ∂ ln TOF / ∂ G_s
  // (see first_order_gradient). NaN for an ensemble, and where the central cycle has no net
  // driving force.
  double first_order_sd = Results::kNone;
  // Of the unperturbed cycle, by the same evaluation as the samples.
  double central_log10_TOF = Results::kNone;
  int64_t central_TDI = 0, central_TDTS = 0;
  int central_TOF_sign = 0;
};

// The sigmas the user gives: one for every state (--sigma), and per state
// by name (a file of name-sigma pairs); a state named in the file takes its
// own, every other one the common sigma.
struct SigmaSpec {
  bool has_common = false;
  double common = 0.0;  // kcal/mol
  struct Named {
    std::string name;
    double sigma = 0.0;
    int64_t line = 0;  // in `file`
  };
  std::vector<Named> named;
  std::string file;  // the file of the pairs, for the diagnostics
};

// What an output says about where a distribution comes from.
struct UncertaintySource {
  std::string name;                         // the cycle's (FILE, FILE:NAME) or the ensemble's table
  const Run* central = nullptr;             // the cycle at its own energies (names, concentrations)
  const UncertaintyModel* model = nullptr;  // the Monte Carlo's; nullptr for an ensemble
  std::vector<std::string> members;         // an ensemble's member names (its rows)
};

namespace features {

// "" when `model` fits a cycle of n steps, else the reason, naming the
// value ("correlation 1.5 is outside 0..1").
std::string check_uncertainty_model(const UncertaintyModel& model, int64_t n);

// The Monte Carlo over the energies of `cycle` as kinex uncertainty runs
// it: bitwise the same on any number of `threads` (0: as many as the
// machine runs at once). False with the reason in `error` (`out` emptied)
// on a bad model or cycle or when the storage cannot be had; `stop`, when
// set, is asked on the calling thread now and then, and true ends it
// early (false, "stopped").
bool sample_uncertainty(const Cycle& cycle, const UncertaintyModel& model, int threads,
                        Distribution& out, std::string& error,
                        const std::function<bool()>& stop = {});

// The distribution over an ensemble of cycles (the same conditions, their
// own energies), each member exactly a single evaluation's numbers. False
// with the reason when there are none, a member cannot be evaluated or the
// members differ in n, T or concentrations; a member is named by `names`
// where every member has a name, else by its place counted from 1.
bool ensemble_uncertainty(const std::vector<Cycle>& members, Distribution& out, std::string& error,
                          const std::vector<std::string>& names = {});

// The sigma of every state of a cycle of n steps named `names`
// (uncertainty_states(n) values): its own of spec.named, else the common
// one. The final state answers to its name and to "final". False with the
// reason when a name is no state of the cycle or a state has no sigma.
bool resolve_sigmas(const SigmaSpec& spec, const StateNames& names, int64_t n,
                    std::vector<double>& sigma, std::string& error);

// The names of a cycle's states in the model's order (I0, TS1, I1, ...,
// TSn, the final state), by `names` where they fit n steps, else I0.., TS1..
std::vector<std::string> uncertainty_state_names(const StateNames& names, int64_t n);

// The share `p` (steps 1..n) of the samples in which each intermediate
// (`intermediates`) or transition state is the TDI or the TDTS, an object
// keyed by the names of `states` (uncertainty_state_names), in cycle order.
void state_probabilities(const std::vector<std::string>& states, const std::vector<double>& p,
                         bool intermediates, JsonVisitor& to);

// The document of kinex uncertainty --json for one distribution, the same
// keys and numbers (non-finite numbers null).
void uncertainty_json(const UncertaintySource& source, const Distribution& d, JsonVisitor& to);

// The text of kinex uncertainty.
std::string uncertainty_text(const UncertaintySource& source, const Distribution& d);

}  // namespace features

}  // namespace kinex

#include "model/evaluate.h"

#include <cmath>
#include <utility>

#include "model/control.h"
#include "model/figures.h"
#include "model/log_space.h"
#include "model/profile.h"
#include "model/tof.h"

namespace kinex {

void evaluate_cycle(Run& run, int threads, Use use) {
  const Cycle& cycle = run.cycle;
  Results& results = run.results;
  // The record may hold the results of an earlier evaluation (a scan).
  results.evaluation = EvaluationMethod::direct;
  results.ln_TOF = results.log10_TOF = Results::kNone;
  results.TOF_sign = 0;
  results.TDI_ties.clear();
  results.TDTS_ties.clear();
  results.effective_span = results.apparent_barrier = Results::kNone;
  results.apparent_activation_energy = Results::kNone;

  compute_profile(cycle, run.profile);
  compute_tof(cycle, run.profile, run.terms, results, threads, run.progress);
  compute_control(cycle, run.profile, run.terms, results, threads, run.progress);

  const bool logarithms = logarithms_exist(cycle, run.profile);
  const bool sound = direct_results_sound(cycle, run.profile, results);
  // The logarithms the figures would form again, where they were formed.
  FormedLogarithms formed;
  if (logarithms && !sound) {
    Results other = results;
    if (compute_log_space(cycle, run.profile, run.terms, other, threads)) {
      results = std::move(other);
      results.evaluation = EvaluationMethod::log_space;
    } else if (std::isfinite(other.ln_TOF)) {
      results.ln_TOF = other.ln_TOF;
      results.TOF_sign = other.TOF_sign;
    }
  } else if (logarithms && use == Use::outputs) {
    // The TOF's logarithm, even where the direct results stand: the first
    // part of the log-space evaluation, whose degrees of control would not
    // be kept. Only what it gives is read back.
    LogTof log_tof;
    if (compute_log_tof(cycle, run.profile, results.prefactor, run.terms, log_tof, threads) &&
        std::isfinite(log_tof.ln_TOF)) {
      results.ln_TOF = log_tof.ln_TOF;
      results.TOF_sign = log_tof.TOF_sign;
    }
    formed = {log_tof.ln_prefactor, log_tof.LR};
  }
  if (use == Use::outputs) resolve_ties(cycle, run.terms, results);
  compute_figures(cycle, logarithms, results, formed);
}

}  // namespace kinex

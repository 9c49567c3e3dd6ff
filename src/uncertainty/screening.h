// kinex uncertainty: the uncertainty of a cycle's energies carried into its
// TOF, TDI, TDTS and degrees of TOF control (model/uncertainty.h), with the
// sigmas of the states from the command line or a file, and its outputs as
// text, JSON and CSV.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "model/run.h"
#include "model/uncertainty.h"
#include "outputs/format.h"
#include "outputs/json_output.h"
#include "platform/output.h"
#include "platform/progress.h"

namespace kinex {

// Reads a file of name-sigma pairs into spec.named: a pair a line, the name
// and the sigma (kcal/mol) separated by a comma, a tab or blanks (the name
// may hold blanks when a comma or tab separates, and may be in double
// quotes), the sigma last; empty lines and lines starting with '#' are
// skipped, and a first line whose last field is no number is a header.
// False with "FILE:LINE: reason" in `error` for a line that does not read, a
// sigma that is not a finite number of at least 0, or a name given twice.
bool read_sigma_file(const std::string& path, SigmaSpec& spec, std::string& error);

// The sigma of every state of a cycle of n steps named `names`
// (uncertainty_states(n) values in the model's order). A state takes its
// own sigma from spec.named, else the common one. The final state answers
// to its name (final_state_name) and to "final"; a name may stand for
// several states of the same name. False with the reason when a name of
// the file is no state of the cycle (the states are listed), or a state has
// no sigma and there is no common one ("no sigma for TS1, I1").
bool resolve_sigmas(const SigmaSpec& spec, const StateNames& names, int64_t n,
                    std::vector<double>& sigma, std::string& error);

// The sigmas of `source` when it is a table's row with sigma columns: its
// column "sigma" replaces the common one of `given`, its "sigma(NAME)"
// columns give the states `given` does not name. Else `given`.
SigmaSpec with_table_sigmas(const SigmaSpec& given, const Source& source);

// The sigmas of the cycle `run` read from `source`: `given` with the
// table's sigma columns (with_table_sigmas), resolved (resolve_sigmas);
// false with the reason and how to give the missing ones.
bool source_sigmas(const SigmaSpec& given, const Source& source, const Run& run,
                   std::vector<double>& sigma, std::string& reason);

// The names of a cycle's states in the model's order (I0, TS1, I1, ...,
// TSn, the final state), by `names` where they fit n steps, else I0.., TS1..
std::vector<std::string> uncertainty_state_names(const StateNames& names, int64_t n);

// The share `p` (steps 1..n) of the samples in which each intermediate
// (`intermediates`) or transition state is the TDI or the TDTS, keyed by the
// names of `states` (uncertainty_state_names), in cycle order.
Json state_probabilities(const std::vector<std::string>& states, const std::vector<double>& p,
                         bool intermediates);

// The "uncertainty" document of one distribution (document_head first):
// "file", "method" ("monte-carlo" or "ensemble"), the model (samples, seed,
// correlation, "sigma" {state: kcal/mol}) or the "members"; the cycle itself
// ("central_member" of an ensemble, "central_log10_tof", "central_tof_sign",
// "central_tdi", "central_tdts", "central_warning"); "backward_share";
// "log10_tof_median", "_mean", "_sd", "_first_order_sd", "_interval_68" and
// "_interval_95" ([low, high]); "tof_per_s_median" and its two intervals;
// the probabilities "tdi_probability" and "tdts_probability" {state: share}
// (every state, in cycle order); and "xtof_int", "xtof_ts" {state: {mean,
// sd}}, "xtof_reactant", "xtof_product" {step: {mean, sd}} where given.
// Non-finite numbers are null, as in kinex json.
Json uncertainty_json(const UncertaintySource& source, const Distribution& d);

// The text for people: the spread of log10 TOF and the TOF, the sampled
// against the first-order sd, the states most likely TDI and TDTS with their
// probabilities, and every X_TOF as mean ± sd.
std::string uncertainty_text(const UncertaintySource& source, const Distribution& d);

// The CSV for screening, a header and a row per distribution.
std::string uncertainty_csv_header();
std::string uncertainty_csv_row(const UncertaintySource& source, const Distribution& d,
                                CsvNames& names);

}  // namespace kinex

// kinex volcano: a table of catalysts (input/table.h) turned into a volcano.
// Every state's Gibbs energy is fitted as a straight line of one descriptor
// (a linear free-energy scaling relation); the cycle of the fitted energies
// is then evaluated along the descriptor: log10 TOF, the spans, the most
// endergonic step, TDI and TDTS, the regions where they hold, and a 95 %
// band from the uncertainty of the fitted lines.
//
// The states fitted are the table's state columns in cycle order: each
// intermediate, each transition state of its own column, and the final
// state (for a DeltaG column: the first intermediate plus DeltaG, named
// with a prime). An implied transition state "TS(A->B)" is not fitted: at
// every descriptor value it is the higher of A's and B's fitted energies,
// as the table reader makes it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "input/table.h"
#include "kinex/map.h"
#include "kinex/volcano.h"
#include "model/run.h"
#include "outputs/format.h"
#include "outputs/json_output.h"
#include "platform/output.h"
#include "platform/progress.h"

namespace kinex {

// Fits the good rows of a table. `descriptor`: the header of a Descriptor
// column or of a state column; "auto" the state column (varying over the
// rows) against which the other varying states fit best by mean r2, the
// first in cycle order of equal ones; empty: the table's only Descriptor
// column, else "auto". A row without a value of a Descriptor column is left
// out (with a warning naming it). False with a clear reason when a row is
// bad (its own diagnostic), the descriptor names no column, fewer than two
// rows remain, the descriptor is the same in every row, or the rows differ
// in their states, number of steps, temperature or concentrations (a volcano
// is for one set of conditions). The reasons say what the fits are for by
// `subject` ("a volcano", "a map").
bool fit_volcano(const std::vector<TableRow>& rows, const std::string& descriptor,
                 VolcanoFits& fits, std::string& error, const std::string& subject = "a volcano");

// The fits of the states' lines as the planes of a map over the
// temperature: slope_y 0, the rest as the lines have it.
std::vector<PlaneFit> planes_of(const VolcanoFits& fits);

// The cycle of the fitted energies at descriptor value x (T and
// concentrations of the rows); an implied transition state is the higher
// of its two neighbours.
Cycle fitted_cycle(const VolcanoFits& fits, double x);

// The cycle of energies E (one per fitted state, in the fits' order) under
// the fits' conditions.
Cycle cycle_of(const VolcanoFits& fits, const std::vector<double>& E);

// A descriptor value as the text and the picture show it: to a thousandth
// of the range from .. to, however far from 0 it lies (fixed decimals;
// from 1e7 on in magnitude as exponent_form).
std::string descriptor_text(double x, double from, double to);

// The top's descriptor value: as descriptor_text, but to three significant
// digits where the range is so wide that a thousandth of it shows fewer
// (the top at -6.96 of a range of 1e100).
std::string top_descriptor_text(double x, double from, double to);

// P(|T| >= |t|) for T Student's t with nu >= 1 degrees of freedom, from the
// finite series of integer nu (to about 1e-15 absolute; 0 for infinite t,
// NaN for NaN t or nu < 1).
double student_t_two_sided(double t, int64_t nu);

// The largest |t| whose two-sided probability under Student's t with nu
// degrees of freedom is not below `level`: student_t_two_sided(t, nu) <
// level exactly when |t| > critical_t(nu, level) (the probability falls as
// |t| grows). Infinity where no t reaches below the level. Costs some 70
// evaluations of the probability, each O(nu), so that a test of m
// residuals costs O(m) instead of O(m^2).
double critical_t(int64_t nu, double level);

// The most endergonic step's free energy: the largest G(intermediate k) -
// G(intermediate k-1) over the steps k = 1..n, the final state taking the
// place of intermediate n (kcal/mol).
double most_endergonic_step(const Cycle& cycle);

// The whole volcano of a table's rows; a warning when the range reaches
// beyond the rows' descriptor values by more than the default margin (the
// curve there is extrapolated). False with the reason as fit_volcano,
// for a bad range (FROM not below TO, not finite), points or samples, or
// when the storage of a cycle cannot be had.
bool build_volcano(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                   Volcano& volcano, std::string& error);

// A number of a document, null where it is not finite; a list of them.
Json json_real(double x);
Json json_reals(const std::vector<double>& v);

// The "conditions" of a document of fits: "T", and "reactant_concentrations"
// and "product_concentrations" by step (null where a step has none).
Json conditions_json(const Cycle& conditions);

// The fits as the text shows them: `header` and a row per state in
// `rows`, the first column padded to the widest (at least "State"), two
// blanks, then each column but the last padded to 11 and a blank.
std::string fits_table(const std::vector<std::string>& header,
                       const std::vector<std::vector<std::string>>& rows);

// The "volcano" document (document_head first): "file", "descriptor" {name,
// is_state, chosen_by}, "rows", "conditions", "fits" [{state, slope,
// intercept, r2, mae, residual_sd, covariance [[var_i, cov], [cov, var_s]],
// warning}], "curve" {x, log10_tof, energetic_span, effective_span,
// most_endergonic_step, tdi, tdts, no_driving_force}, "band" {samples, seed,
// level 0.95, log10_tof, energetic_span, most_endergonic_step: {low, high}},
// "regions" [{tdi, tdts, from, to, tdi_ties, tdts_ties}], "top" {x,
// log10_tof, energetic_span, most_endergonic_step, inside, band}, "points"
// [{name, x, log10_tof, energetic_span, effective_span, most_endergonic_step,
// tdi, tdts, no_driving_force, outlier, outlier_states, tdi_ties,
// tdts_ties}], "warnings". States by name; non-finite numbers are null.
Json volcano_json(const std::string& file, const Volcano& volcano);

// The CSV of the curve, a header and a row per point: x (the descriptor),
// log10_tof, log10_tof_low, log10_tof_high, energetic_span,
// energetic_span_low, energetic_span_high, effective_span,
// most_endergonic_step, most_endergonic_step_low, most_endergonic_step_high,
// tdi, tdts; reals as shortest().
std::string volcano_csv(const Volcano& volcano, CsvNames& names);
std::string volcano_csv(const Volcano& volcano);  // names as they are

// The text for people: the descriptor and how it was chosen, the fits, the
// regions, the top of the volcano, the catalysts and the warnings.
std::string volcano_text(const std::string& file, const Volcano& volcano);

}  // namespace kinex

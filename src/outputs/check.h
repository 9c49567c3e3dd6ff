// What to look at in a cycle before it goes into a screening or a paper:
// the reader's warnings and what the evaluated cycle shows (a temperature or
// concentration that cannot be meant, a negative barrier, a TOF above
// k_B T/h, no driving force, results that are not finite). `kinex check`
// lists them; json and csv state them, and --strict refuses a file that has
// any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/warnings.h"
#include "model/run.h"
#include "outputs/json_output.h"
#include "text/shown_name.h"

namespace kinex {

// Codes of the findings about the evaluated cycle, as the outputs of kinex
// name them (those of the reader are in input/warnings.h).
inline constexpr const char* kTemperatureNotPositive = "temperature-not-positive";
inline constexpr const char* kConcentrationNotPositive = "concentration-not-positive";
inline constexpr const char* kConcentrationNotFinite = "concentration-not-finite";
inline constexpr const char* kNegativeBarrier = "negative-barrier";
inline constexpr const char* kTofAboveLimit = "TOF-above-limit";
inline constexpr const char* kNoDrivingForce = "no-driving-force";
inline constexpr const char* kResultNotFinite = "result-not-finite";
inline constexpr const char* kTemperatureLooksCelsius = "temperature-looks-celsius";
inline constexpr const char* kEnergiesLookKilojoules = "energies-look-kJ";

// Below this temperature (K) a finding asks whether it is in degrees
// Celsius; from this energetic span (kcal/mol) on, whether the energies are
// in kJ/mol.
inline constexpr double kLowestLikelyTemperature = 200.0;
inline constexpr double kLargestLikelySpan = 60.0;

// The tests behind the findings about the model's results, for callers
// that want the flags without the texts (kinex::features::
// evaluate_cycle_arrays):
// - whether T (above 0) looks like degrees Celsius: below 200 K;
// - whether step i's transition state lies below the intermediate before
//   or after it (a negative barrier);
// - whether the TOF lies above k_B T/h (its log10 beyond a rounding);
// - whether the energetic span looks like energies in kJ/mol (60 kcal/mol
//   or more, finite);
// - whether the TOF or a degree of TOF control (of the intermediates,
//   transition states and given concentrations) is not finite.
bool temperature_looks_celsius(double T);
bool negative_barrier(const Cycle& cycle, int64_t i);
bool tof_above_limit(const Results& results);
// The same with log10(results.prefactor) given as `log10_limit`, for
// callers that evaluate many cycles at one temperature.
bool tof_above_limit(const Results& results, double log10_limit);
bool span_looks_kilojoules(double span);
bool results_not_finite(const Cycle& cycle, const Results& results);

// Every finding about the cycle `evaluated` (read with `notes`, then taken
// through evaluate_cycle with Use::outputs):
// - the reading warnings of `notes`, as they are;
// - temperature-not-positive: T not above 0 K (NaN included), on T's line;
// - temperature-looks-celsius: T above 0 but below 200 K (a temperature in
//   degrees Celsius without its unit), on T's line, unless the reader's
//   celsius-temperature warning names it already;
// - energies-look-kJ: an energetic span of 60 kcal/mol or more (energies in
//   kJ/mol by mistake), on the TDTS's step's line;
// - concentration-not-positive (NaN included) and concentration-not-finite:
//   one per given reactant or product concentration, on its step's line;
// - negative-barrier: one per transition state below the intermediate
//   before it (that of its own step) or after it (that of the next step; for
//   the last step the first intermediate of the next turn, G_int[0] +
//   DeltaG), on the step's line; "TS2 (8.0 kcal/mol) lies below I2
//   (10.0 kcal/mol) after it: a negative barrier";
// - TOF-above-limit: log10 TOF above log10 k_B T/h with a forward TOF;
// - no-driving-force: the report's warning, its lines joined, on DeltaG's line;
// - result-not-finite: one for a TOF that is not finite, one for all the
//   degrees of TOF control (intermediates, transition states, given
//   reactants and products) that are not finite.
// Ordered by line, those without a line (0) last; the model's findings have
// no shown line. Empty for a clean cycle. States are named by the run's
// names (I0.., TS1.. where it has none; the final state I0′ "of the next
// turn"), control characters escaped as text::shown_name() does;
// concentrations by their step.
std::vector<InputWarning> findings(const Run& evaluated, const ReadNotes& notes);

// One finding as `kinex check` lists it: "FILE:LINE: warning: TEXT\n" (no
// ":LINE" where none applies), without the shown line. `file` as the
// diagnostics show it.
std::string finding_line(const std::string& file, const InputWarning& finding);

// "no warnings", "1 warning", "2 warnings", ...
std::string warning_count(std::size_t count);

// The "check" document of one file (document_head first): "file" (`name`),
// "read" (false when it could not be read), "warnings" (`found`, as
// warnings_json() writes them).
Json check_json(const std::string& name, bool read, const std::vector<InputWarning>& found);

}  // namespace kinex

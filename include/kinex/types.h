// The values of KINEX's library: a cycle, what the model finds for it, and
// what reading it and failing to can tell. Plain data, the standard library
// only; <kinex/kinex.h> gives the functions over them.
//
// Index conventions (they follow the formulas of the model, not C++):
//   steps i = 1..n; step i leads from intermediate i-1 over transition state i
//   to intermediate i; intermediates n..2n-1 are intermediates 0..n-1 of the
//   next turn of the cycle, raised by DeltaG.
//   A per-step vector has n+1 elements and index 0 is unused, so that
//   `G_ts[i]` is the transition state of step i. A vector over intermediates
//   starts at index 0.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace kinex {

// The cycle as read from the input file.
struct Cycle {
  double T = 0.0;                 // kelvin
  int64_t n = 0;                  // number of steps
  double DeltaG = 0.0;            // kcal/mol, one turn of the cycle
  std::vector<double> G_int;      // kcal/mol, intermediates 0..n-1
  std::vector<double> G_ts;       // kcal/mol, 1..n
  std::vector<double> conc_reac;  // 1..n; 1.0 where the step has none
  std::vector<double> conc_prod;  // 1..n; 1.0 where the step has none
  std::vector<bool> has_reac;     // 1..n; true when a concentration is given
  std::vector<bool> has_prod;     // 1..n
};

// The energy profile in units of RT and the driving force.
struct Profile {
  // kcal/mol, intermediates 0..2n-1: those of the cycle, then those of the
  // next turn (n..2n-1), raised by DeltaG.
  std::vector<double> G_int;
  double inv_RT = 0.0;        // mol/kcal
  double dG = 0.0;            // DeltaG * inv_RT
  std::vector<double> g_int;  // 0..2n-1, energies in units of RT
  std::vector<double> g_ts;   // 1..n
  double concproduct_reac = 1.0;
  double concproduct_prod = 1.0;
  double driving_force = 0.0;
};

// Which evaluation gave the TOF, the degrees of TOF control, TDI and TDTS:
// the direct one over the terms themselves, or the one over their
// logarithms, which takes over where the direct numbers overflow or
// underflow (see compute_log_space).
enum class EvaluationMethod { direct, log_space };

// "direct" or "log-space", as the outputs of kinex name them.
inline const char* evaluation_name(EvaluationMethod evaluation) {
  return evaluation == EvaluationMethod::direct ? "direct" : "log-space";
}

// What the model finds: the TOF, the degrees of TOF control, TDI and TDTS
// and the steps of the advice.
struct Results {
  double prefactor = 0.0;  // s^-1
  double denominator = 0.0;
  double TOF = 0.0;        // s^-1
  int64_t dominant_a = 0;  // position (a,b) of the largest term
  int64_t dominant_b = 0;
  int64_t TDI = 0;                // step whose starting intermediate is the TDI
  int64_t TDTS = 0;               // step whose transition state is the TDTS
  std::vector<double> xtof_int;   // 0..n-1
  std::vector<double> xtof_ts;    // 1..n
  std::vector<double> sum_reac;   // 1..n; only steps with a reactant
  std::vector<double> sum_prod;   // 1..n; only steps with a product
  std::vector<double> xtof_reac;  // 1..n; meaningful where has_reac is 1
  std::vector<double> xtof_prod;  // 1..n; meaningful where has_prod is 1
  // The steps the advice names, ascending: those with a reactant from the
  // TDI through the TDTS, those with a product from the TDI up to the step
  // before the TDTS (cyclic).
  std::vector<int64_t> reac_steps;
  std::vector<int64_t> prod_steps;
  // The steps of the other intermediates and transition states whose terms
  // tie with the dominant one (see resolve_ties), ascending; empty in the
  // report's evaluation, which takes the single largest term.
  std::vector<int64_t> TDI_ties;
  std::vector<int64_t> TDTS_ties;

  EvaluationMethod evaluation = EvaluationMethod::direct;
  // The share of the denominator held by the terms whose intermediate lies
  // in the next turn of the cycle (their transition state comes at or after
  // their intermediate's step).
  double next_turn_share = 0.0;
  // The backward over the net flux of the numerator: concproduct_prod over
  // the driving force. X_TOF of a reactant is 1 + q less its share of the
  // terms, that of a product -q less its share.
  double q = 0.0;

  // Figures from the logarithms of the cycle (see compute_figures); NaN
  // where they are not defined.
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  // ln and log10 of the TOF's magnitude: from the logarithms of the terms
  // whenever they exist, so right far beyond the range of doubles; else
  // from the TOF itself (-inf for a TOF of 0).
  double ln_TOF = kNone;
  double log10_TOF = kNone;
  // The sign of the TOF: +1 forward, -1 backward, 0 without a net flux or
  // when it is not known.
  int TOF_sign = 0;
  // kcal/mol: the effective span, DeltaG + RT (l - LR) with l the
  // logarithm of the dominant term and LR the sum of the logarithms of the
  // given reactant concentrations, which counts the concentrations (the
  // energetic span without them; NaN where the logarithms do not exist);
  // the apparent barrier -RT ln(TOF h / (k_B T)) where the TOF is
  // positive; and the apparent activation energy RT^2 d ln TOF / dT.
  double effective_span = kNone;
  double apparent_barrier = kNone;
  double apparent_activation_energy = kNone;
};

// The names of a cycle's states: from a table's header, or the defaults
// I0 .. I(n-1) and TS1 .. TSn.
struct StateNames {
  std::vector<std::string> intermediate;  // 0..n-1: the intermediate that starts step i+1
  std::vector<std::string> transition;    // 1..n; element 0 unused
  // The first intermediate of the next turn (a table's last column, often
  // "Product"); empty: the first intermediate's name with a prime (I0′).
  std::string final_state;
};

// A descriptor of a table's row: its column's header and its value.
struct Descriptor {
  std::string name;
  double value = 0.0;
};

// Everything was read, computed and written (and --help or --version).
constexpr int kExitOk = 0;
// The storage of the run could not be had.
constexpr int kExitNoMemory = 1;
// A bad command line, or an input or output that failed (the usage included).
constexpr int kExitFailed = 2;
// kinex check: every file was read, and some have findings. (A file whose
// storage cannot be had counts there as one that cannot be read.)
constexpr int kExitWarned = 1;

// Where an input went wrong, for callers that present it their own way: the
// file as named, the 1-based line and column (0 where none applies) and the
// reason alone (the words after "FILE:LINE: " of the diagnostic's first line,
// without a trailing line feed). In a screening table the column counts
// cells, as its diagnostic does.
struct ErrorPlace {
  std::string file;
  int64_t line = 0;
  int64_t column = 0;
  std::string reason;
};

// A failure that ends the run: the text for standard error (every line ended
// by a line feed; the program puts its name in front of the first) and the
// exit status (kExitNoMemory or kExitFailed).
struct Failure {
  int status = kExitOk;
  std::string message;
  // Where it went wrong, when it is a bad or unreadable input (else empty);
  // `message` says the same in words.
  ErrorPlace place;
};

// A warning about an input file that reads, but perhaps not as its author
// meant: `code` is leftover-values, values-after-DeltaG or
// celsius-temperature.
struct InputWarning {
  std::string code;
  int64_t line = 0;   // 1-based; 0 where no line applies
  std::string text;   // for a chemist, saying what to check; no file or line
  std::string shown;  // the line with a caret under the place, each ended by
                      // a line feed; empty when the line is not kept
};

// Where the values of the file stand, for naming them in later findings.
struct InputLines {
  int64_t T = 0;
  int64_t n = 0;
  int64_t DeltaG = 0;
  std::vector<int64_t> step;  // 1..n: the line on which step i's record begins
};

// What the reader notes beside the cycle.
struct ReadNotes {
  std::vector<InputWarning> warnings;
  InputLines lines;
};

// One step of a cycle built in memory: the Gibbs energies (kcal/mol) of the
// intermediate that starts it and of its transition state, and the
// concentrations of the reactant that enters and the product that leaves in
// it, where there are any.
struct StepInput {
  double G_int = 0.0;
  double G_ts = 0.0;
  std::optional<double> reactant;
  std::optional<double> product;
};

// A cycle with everything the model finds for it.
struct Evaluation {
  Cycle cycle;
  Profile profile;  // energies in units of RT, the driving force
  Results results;  // TOF (s^-1), TDI, TDTS, every X_TOF, the advice's steps
};

namespace report {

// The parts of the report to write; the option letters of the command line
// clear them (i, d, a, t, h, l in this order).
struct Switches {
  bool input = true;     // the repeat of the input
  bool degrees = true;   // the degrees of TOF control
  bool analysis = true;  // the analysis of the cycle
  bool tof = true;       // the calculated TOF
  bool headings = true;  // the boxed heading of each of those four sections
  bool banner = true;    // the banner at the head of the report
};

}  // namespace report

}  // namespace kinex

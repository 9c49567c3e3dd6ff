// KINEX as a library, for C++ programs and language bindings: read an input
// file or build a cycle in memory, evaluate it, and get every number behind
// the report (the same code as KINEX.exe, so the same bits).
//
//   kinex::Cycle cycle;
//   std::string error;
//   if (!kinex::build_cycle(298.15, {{0.0, 15.2}, {-5.1, 20.3, 0.5}}, -10.0, cycle, error)) ...
//   kinex::Evaluation result;
//   kinex::Failure failure;
//   if (kinex::evaluate(cycle, result, failure)) std::cout << result.results.TOF;
//
// Per-step vectors of Cycle and Results are one-based (element i is step i,
// element 0 unused); intermediates start at 0 (see model/run.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/warnings.h"
#include "model/failure.h"
#include "model/run.h"
#include "report/sections.h"

namespace kinex {

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

// Builds the cycle of `steps` (step 1 first) at the temperature T (K) with
// the reaction Gibbs energy DeltaG (kcal/mol) of one turn. Checks it as it
// is built: at least one step, T finite and above 0, every energy finite,
// every concentration given finite and above 0. Otherwise returns false
// with the reason in `error`, naming the value and its step ("step 2:
// reactant concentration -1 is not above 0").
bool build_cycle(double T, const std::vector<StepInput>& steps, double DeltaG, Cycle& cycle,
                 std::string& error);

// Reads the input file `path` into `cycle`, as KINEX.exe reads it. A file
// that cannot be opened or read fills `failure` (kExitFailed, or
// kExitNoMemory when the cycle is too large to hold) with the diagnostic,
// "path:line: reason" and the line with a caret, without a program's name,
// and with its parts in failure.place (see input/failure.h).
bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure);

// The same, with the warnings about a file that reads, but perhaps not as
// meant (values left over on a line, numbers after DeltaG, a temperature in
// degrees Celsius; see input/warnings.h) in `warnings`, empty when it fails.
bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure,
                std::vector<InputWarning>& warnings);

// The same, with all the reader's notes: the warnings and the lines on
// which the values stand (for naming them in later findings).
bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure, ReadNotes& notes);

// A cycle with everything the model finds for it.
struct Evaluation {
  Cycle cycle;
  Profile profile;  // energies in units of RT, the driving force
  Results results;  // TOF (s^-1), TDI, TDTS, every X_TOF, the advice's steps
};

// Evaluates `cycle` on at most `threads` threads (0: as many as pay off;
// the numbers do not depend on it). Fails only when the storage for the
// cycle cannot be had (kExitNoMemory in `failure`).
bool evaluate(const Cycle& cycle, Evaluation& evaluation, Failure& failure, int threads = 0);

// The report of KINEX.exe for `evaluation`, headed with `name` as the input
// file's name, with the driving-force warning ahead of it when there is one.
std::string report_text(const std::string& name, const Evaluation& evaluation,
                        const report::Switches& show = {});

}  // namespace kinex

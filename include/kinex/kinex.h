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
// element 0 unused); intermediates start at 0 (see kinex/types.h).
#pragma once

#include <kinex/types.h>

#include <string>
#include <vector>

namespace kinex {

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
// and with its parts in failure.place (see kinex/types.h).
bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure);

// The same, with the warnings about a file that reads, but perhaps not as
// meant (values left over on a line, numbers after DeltaG, a temperature in
// degrees Celsius; see kinex/types.h) in `warnings`, empty when it fails.
bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure,
                std::vector<InputWarning>& warnings);

// The same, with all the reader's notes: the warnings and the lines on
// which the values stand (for naming them in later findings).
bool read_cycle(const std::string& path, Cycle& cycle, Failure& failure, ReadNotes& notes);

// Evaluates `cycle` on at most `threads` threads (0: as many as pay off;
// the numbers do not depend on it). Fails only when the storage for the
// cycle cannot be had (kExitNoMemory in `failure`).
bool evaluate(const Cycle& cycle, Evaluation& evaluation, Failure& failure, int threads = 0);

// The report of KINEX.exe for `evaluation`, headed with `name` as the input
// file's name, with the driving-force warning ahead of it when there is one.
std::string report_text(const std::string& name, const Evaluation& evaluation,
                        const report::Switches& show = {});

}  // namespace kinex

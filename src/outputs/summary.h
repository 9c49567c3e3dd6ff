// Figures derived from a finished run that the kinex outputs share, so that
// every output states them alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/run.h"

namespace kinex {

// The energetic span of the run in kcal/mol, as model/figures.h forms it
// (after compute_control, n >= 1).
double energetic_span(const Run& run);

// The driving-force warning as the report words it, its lines joined by one
// blank ("WARNING! There is no positive driving force. That's because ...");
// empty when the driving force is positive. Needs compute_profile.
std::string warning_text(const Run& run);

// The advice of the report's analysis of the cycle, its lines joined by one
// blank; empty when it names no step. Needs compute_control.
std::string advice_text(const Run& run);

// The step numbers the advice names, ascending: reactants to give in high
// concentration, products to remove. Needs compute_control.
std::vector<int64_t> advice_reactant_steps(const Run& run);
std::vector<int64_t> advice_product_steps(const Run& run);

}  // namespace kinex

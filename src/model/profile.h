// The energy profile: the next turn of the cycle, the scaling into units of
// RT, the concentration products and the driving force.
#pragma once

#include "model/run.h"

namespace kinex {

// Physical constants: single-precision literals widened to double, as the
// published results of the program were computed with them.
inline const double k_B = static_cast<double>(1.380658e-23f);        // J/K
inline const double N_A = static_cast<double>(6.0221367e23f);        // 1/mol
inline const double h_Planck = static_cast<double>(6.6260755e-34f);  // J s
inline const double kcal_to_kJ = static_cast<double>(4.184f);
inline const double kJ_to_J = 1000.0;
inline const double R_gas = k_B * N_A;  // J/(mol K)

// 1/RT in mol/kcal at the temperature T (K).
inline double inverse_RT(double T) { return (kcal_to_kJ * kJ_to_J) / (T * R_gas); }

// The driving force exp(-dG) * reac - prod, where reac and prod are the
// products of the reactant and of the product concentrations. Where the
// two terms are finite, above 0 and agree to within a relative 2^-20 (their
// difference has lost 20 or more of its 53 bits), it is formed without that
// cancellation as prod * expm1(ln(reac / prod) - dG); everywhere else it is
// the direct difference, bit for bit.
double driving_force_of(double dG, double reac, double prod);

// The profile of `cycle` (n >= 1, its arrays allocated): G_int over both
// turns, inv_RT, dG, g_int, g_ts, concproduct_reac, concproduct_prod and
// driving_force, into `profile` (allocated for n). Pure arithmetic; never
// fails.
void compute_profile(const Cycle& cycle, Profile& profile);

// True when the driving force is zero or negative (NaN counts as positive).
inline bool needs_driving_force_warning(const Profile& profile) {
  return profile.driving_force <= 0.0;
}

}  // namespace kinex

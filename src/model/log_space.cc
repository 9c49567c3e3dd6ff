#include "model/log_space.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/control.h"
#include "model/parallel.h"
#include "model/small_array.h"
#include "model/tof.h"

namespace kinex {
namespace {

bool finite_from(const std::vector<double>& values, int64_t first, int64_t last) {
  for (int64_t k = first; k <= last; ++k) {
    if (!std::isfinite(values[k])) return false;
  }
  return true;
}

bool finite_where(const std::vector<double>& values, const std::vector<bool>& given, int64_t n) {
  for (int64_t i = 1; i <= n; ++i) {
    if (given[i] && !std::isfinite(values[i])) return false;
  }
  return true;
}

bool every_control_finite(const Cycle& cycle, const Results& results) {
  const int64_t n = cycle.n;
  return finite_from(results.xtof_int, 0, n - 1) && finite_from(results.xtof_ts, 1, n) &&
         finite_where(results.xtof_reac, cycle.has_reac, n) &&
         finite_where(results.xtof_prod, cycle.has_prod, n);
}

double ln_given(const std::vector<double>& conc, const std::vector<bool>& given, int64_t n) {
  double sum = 0.0;
  for (int64_t i = 1; i <= n; ++i) {
    if (given[i]) sum = sum + std::log(conc[i]);
  }
  return sum;
}

}  // namespace

double ln_one_minus_exp(double d) {
  const double ln2 = std::log(2.0);
  return d > -ln2 ? std::log(-std::expm1(d)) : std::log1p(-std::exp(d));
}

double ln_concentration_ratio(const Cycle& cycle) {
  const auto n = static_cast<std::size_t>(cycle.n);
  SmallArray<double> reac(n), prod(n), reac_left(n), prod_left(n);
  double *reac_end = reac.data(), *prod_end = prod.data();
  for (int64_t i = 1; i <= cycle.n; ++i) {
    if (cycle.has_reac[i]) *reac_end++ = cycle.conc_reac[i];
    if (cycle.has_prod[i]) *prod_end++ = cycle.conc_prod[i];
  }
  std::sort(reac.data(), reac_end);
  std::sort(prod.data(), prod_end);
  const double* reac_left_end =
      std::set_difference(reac.data(), reac_end, prod.data(), prod_end, reac_left.data());
  const double* prod_left_end =
      std::set_difference(prod.data(), prod_end, reac.data(), reac_end, prod_left.data());
  double sum = 0.0;
  for (const double* c = prod_left.data(); c != prod_left_end; ++c) sum = sum + std::log(*c);
  for (const double* c = reac_left.data(); c != reac_left_end; ++c) sum = sum - std::log(*c);
  return sum;
}

NetFlux net_flux(double dG, double LR, double LP, double ln_ratio) {
  const double d = ln_ratio + dG;
  if (!(d != 0.0) || std::isnan(d)) return {};
  if (d < 0.0) return {1, (-dG + LR) + ln_one_minus_exp(d)};
  return {-1, LP + ln_one_minus_exp(-d)};
}

bool direct_results_sound(const Cycle& cycle, const Profile& profile, const Results& results) {
  if (!std::isfinite(results.TOF)) return false;
  if (results.TOF == 0.0 && profile.driving_force != 0.0) return false;
  return every_control_finite(cycle, results);
}

bool logarithms_exist(const Cycle& cycle, const Profile& profile) {
  const int64_t n = cycle.n;
  if (!(std::isfinite(profile.inv_RT) && profile.inv_RT > 0.0)) return false;
  if (!std::isfinite(profile.dG)) return false;
  if (!finite_from(profile.g_int, 0, 2 * n - 1) || !finite_from(profile.g_ts, 1, n)) return false;
  for (int64_t i = 1; i <= n; ++i) {
    if (cycle.has_reac[i] && !(std::isfinite(cycle.conc_reac[i]) && cycle.conc_reac[i] > 0.0)) {
      return false;
    }
    if (cycle.has_prod[i] && !(std::isfinite(cycle.conc_prod[i]) && cycle.conc_prod[i] > 0.0)) {
      return false;
    }
  }
  return true;
}

double ln_reactant_product(const Cycle& cycle) {
  return ln_given(cycle.conc_reac, cycle.has_reac, cycle.n);
}

double ln_product_product(const Cycle& cycle) {
  return ln_given(cycle.conc_prod, cycle.has_prod, cycle.n);
}

double term_concentration_logarithm(const Cycle& cycle, int64_t a, int64_t b) {
  const int64_t n = cycle.n;
  auto step = [n](int64_t s) { return (s - 1) % n + 1; };
  // The backward rate constants of steps a .. a+b-2, then the forward ones
  // of steps a+b .. a+n-1, as compute_tof multiplies their factors.
  double sum = 0.0;
  for (int64_t s = a; s <= a + b - 2; ++s) {
    if (cycle.has_prod[step(s)]) sum = sum + std::log(cycle.conc_prod[step(s)]);
  }
  for (int64_t s = a + b; s <= a + n - 1; ++s) {
    if (cycle.has_reac[step(s)]) sum = sum + std::log(cycle.conc_reac[step(s)]);
  }
  return sum;
}

bool compute_log_tof(const Cycle& cycle, const Profile& profile, double prefactor, Terms& terms,
                     LogTof& parts, int threads) {
  const int64_t n = cycle.n;
  if (n < 1) return false;

  // The numerator, from the logarithms of its forward and backward parts.
  const double LR = ln_reactant_product(cycle), LP = ln_product_product(cycle);
  parts.LR = LR;
  if (!std::isfinite(-profile.dG + LR) || !std::isfinite(LP)) return false;
  const NetFlux flux = net_flux(profile.dG, LR, LP, ln_concentration_ratio(cycle));
  if (flux.sign == 0) return false;
  const int sign = flux.sign;
  const double lnN = flux.ln;

  compute_log_terms(cycle, profile, terms, threads);
  double* matrix = terms.complete_matrix.get();
  find_dominant_term(n, matrix, parts.a, parts.b);
  const double m = matrix[(parts.a - 1) * n + (parts.b - 1)];
  if (!std::isfinite(m)) return false;

  const auto shift_row = [&](int64_t k) {
    double* row = matrix + k * n;
    for (int64_t b = 0; b < n; ++b) row[b] = std::exp(row[b] - m);
  };
  for_each_task(n, thread_count(threads, n, n), shift_row, [](int64_t) {});
  double S = 0.0;
  for (int64_t k = 0; k < n * n; ++k) S = S + matrix[k];
  if (!std::isfinite(S)) return false;

  parts.ln_prefactor = std::log(prefactor);
  parts.ln_TOF = ((parts.ln_prefactor + lnN) - m) - std::log(S);
  parts.TOF_sign = sign;
  parts.S = S;
  parts.LP = LP;
  parts.lnN = lnN;
  return true;
}

bool compute_log_space(const Cycle& cycle, const Profile& profile, Terms& terms, Results& results,
                       int threads) {
  LogTof parts;
  if (!compute_log_tof(cycle, profile, results.prefactor, terms, parts, threads)) return false;
  results.dominant_a = parts.a;
  results.dominant_b = parts.b;
  results.ln_TOF = parts.ln_TOF;
  const int sign = results.TOF_sign = parts.TOF_sign;
  results.TOF = sign * std::exp(results.ln_TOF);
  results.q = sign * std::exp(parts.LP - parts.lnN);
  compute_control_of(cycle, terms, parts.S, 1.0 + results.q, -results.q, results, threads);
  return std::isfinite(results.ln_TOF) && std::isfinite(results.TOF) && std::isfinite(results.q) &&
         every_control_finite(cycle, results);
}

}  // namespace kinex

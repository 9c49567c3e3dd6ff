#include "literal_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kinex::testing {
namespace {

// The constants by their exact double values, not by the production code's
// widened literals.
constexpr double kBoltzmann = 1.380658045430573e-23;
constexpr double kAvogadro = 6.022136680382177e+23;
constexpr double kPlanck = 6.626075688705515e-34;
constexpr double kKcalToKJ = 4.184000015258789;

// An array indexed from 1 in each dimension: a and b in 1..n, k in 1..depth.
template <typename T>
struct Grid {
  int64_t n, depth;
  std::vector<T> v;
  Grid(int64_t n_, int64_t depth_) : n(n_), depth(depth_), v(n_ * n_ * depth_, T{}) {}
  T& operator()(int64_t a, int64_t b, int64_t k = 1) {
    return v[((a - 1) * n + (b - 1)) * depth + (k - 1)];
  }
};

std::vector<int64_t> extract_ascending(std::vector<int64_t>& span, int64_t count, int64_t n) {
  std::vector<int64_t> steps;
  for (int64_t c = 1; c <= count; ++c) {
    int64_t m = std::numeric_limits<int64_t>::max();
    for (int64_t s : span) m = s < m ? s : m;
    steps.push_back(m);
    *std::find(span.begin(), span.end(), m) = n + 1;
  }
  return steps;
}

// The degrees of TOF control, TDI, TDTS and the advice's steps from the
// terms `complete` and r.denominator, the dominant term the largest of
// `rank`; X_TOF of a reactant (product) is
// reac_share (prod_share) less its terms' share.
void degrees_of_control(const kinex::Run& run, Grid<double>& complete, Grid<double>& rank,
                        Grid<int64_t>& pm, Grid<int64_t>& rem_int, Grid<int64_t>& rem_ts,
                        double reac_share, double prod_share, LiteralResult& r) {
  const int64_t n = run.cycle.n;
  r.n_reac_in_span = r.n_prod_in_span = 0;
  double best = rank(1, 1);
  r.dominant_a = r.dominant_b = 1;
  for (int64_t b = 1; b <= n; ++b)
    for (int64_t a = 1; a <= n; ++a)
      if (rank(a, b) > best) {
        best = rank(a, b);
        r.dominant_a = a;
        r.dominant_b = b;
      }
  r.TDI = (rem_int(r.dominant_a, r.dominant_b) % n) + 1;
  r.TDTS = rem_ts(r.dominant_a, r.dominant_b);

  r.xtof_int.assign(n, 0.0);
  r.xtof_ts.assign(n + 1, 0.0);
  for (int64_t K = 1; K <= n; ++K)
    for (int64_t a = 1; a <= n; ++a)
      for (int64_t b = 1; b <= n; ++b) {
        if (rem_int(a, b) == K - 1 || rem_int(a, b) - n == K - 1)
          r.xtof_int[K - 1] = r.xtof_int[K - 1] + complete(a, b);
        if (rem_ts(a, b) == K) r.xtof_ts[K] = r.xtof_ts[K] + complete(a, b);
      }
  for (int64_t i = 1; i <= n; ++i) {
    r.xtof_int[i - 1] = r.xtof_int[i - 1] / r.denominator;
    r.xtof_ts[i] = r.xtof_ts[i] / r.denominator;
  }

  const int64_t d = r.TDTS - r.TDI;
  const int64_t span_len = d - n * ((d - n + 1) / n) + 1;
  const int64_t span_len_prod = span_len - 1;
  std::vector<int64_t> span_reac(span_len), span_prod(span_len_prod);
  for (int64_t c = 1; c <= span_len; ++c) span_reac[c - 1] = ((r.TDI + c - 2) % n) + 1;
  for (int64_t c = 1; c <= span_len_prod; ++c) span_prod[c - 1] = span_reac[c - 1];
  for (int64_t& s : span_reac) {
    if (run.cycle.has_reac[s])
      ++r.n_reac_in_span;
    else
      s = n + 1;
  }
  for (int64_t& s : span_prod) {
    if (run.cycle.has_prod[s])
      ++r.n_prod_in_span;
    else
      s = n + 1;
  }
  r.reac_steps = extract_ascending(span_reac, r.n_reac_in_span, n);
  r.prod_steps = extract_ascending(span_prod, r.n_prod_in_span, n);

  r.sum_reac.assign(n + 1, 0.0);
  r.sum_prod.assign(n + 1, 0.0);
  // The terms holding the forward (reactant) or backward (product) rate
  // constant of step i.
  for (std::vector<double>* sum : {&r.sum_reac, &r.sum_prod})
    for (int64_t i = 1; i <= n; ++i)
      for (int64_t a = 1; a <= n; ++a)
        for (int64_t b = 1; b <= n; ++b) {
          bool holds = false;
          for (int64_t k = 1; k <= n - 1; ++k)
            holds = holds || pm(a, b, k) == (sum == &r.sum_reac ? i : -i);
          if (holds) (*sum)[i] = (*sum)[i] + complete(a, b);
        }
  r.xtof_reac.assign(n + 1, 0.0);
  r.xtof_prod.assign(n + 1, 0.0);
  for (int64_t i = 1; i <= n; ++i) {
    r.xtof_reac[i] = reac_share - (r.sum_reac[i] / r.denominator);
    r.xtof_prod[i] = prod_share - (r.sum_prod[i] / r.denominator);
  }
}

}  // namespace

LiteralResult literal_model(const kinex::Run& run, bool log_space) {
  const int64_t n = run.cycle.n;
  LiteralResult r;

  // Energy profile.
  r.G_int.assign(2 * n, 0.0);
  for (int64_t k = 0; k < n; ++k) r.G_int[k] = run.cycle.G_int[k];
  for (int64_t k = n; k <= 2 * n - 1; ++k) r.G_int[k] = run.cycle.DeltaG + r.G_int[k - n];
  const double R_gas = kBoltzmann * kAvogadro;
  r.inv_RT = (kKcalToKJ * 1000.0) / (run.cycle.T * R_gas);
  r.dG = run.cycle.DeltaG * r.inv_RT;
  r.g_ts.assign(n + 1, 0.0);
  for (int64_t i = 1; i <= n; ++i) r.g_ts[i] = run.cycle.G_ts[i] * r.inv_RT;
  r.g_int.assign(2 * n, 0.0);
  for (int64_t k = 0; k <= 2 * n - 1; ++k) r.g_int[k] = r.G_int[k] * r.inv_RT;
  r.concproduct_reac = 1.0;
  r.concproduct_prod = 1.0;
  for (int64_t i = 1; i <= n; ++i) {
    r.concproduct_reac = r.concproduct_reac * run.cycle.conc_reac[i];
    r.concproduct_prod = r.concproduct_prod * run.cycle.conc_prod[i];
  }
  // The direct difference, but where its two terms agree within a relative
  // 2^-20: there the difference through expm1 of the logarithms.
  const double forward = std::exp(-r.dG) * r.concproduct_reac;
  r.driving_force = forward - r.concproduct_prod;
  if (std::isfinite(forward) && std::isfinite(r.concproduct_prod) && forward > 0.0 &&
      r.concproduct_prod > 0.0 &&
      std::fabs(r.driving_force) <= std::ldexp(std::max(forward, r.concproduct_prod), -20)) {
    r.driving_force =
        r.concproduct_prod * std::expm1(std::log(r.concproduct_reac / r.concproduct_prod) - r.dG);
  }

  // Partition matrix.
  Grid<int64_t> pm(n, n - 1), pint(n, n - 1), pts(n, n - 1);
  if (n >= 2) {
    pm(1, 1, 1) = 2;
    for (int64_t k = 2; k <= n - 1; ++k) pm(1, 1, k) = pm(1, 1, k - 1) + 1;
  }
  for (int64_t a = 2; a <= n; ++a)
    for (int64_t k = 1; k <= n - 1; ++k) pm(a, 1, k) = (pm(a - 1, 1, k) % n) + 1;
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 2; b <= n; ++b)
      for (int64_t k = 1; k <= n - 1; ++k) {
        const int64_t m = pm(a, 1, k);
        pm(a, b, k) = k < b ? -(((m + n - 2) % n) + 1) : m;
      }
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b)
      for (int64_t k = 1; k <= n - 1; ++k) {
        const int64_t v = pm(a, b, k);
        pint(a, b, k) = v < 0 ? -v : v - 1;
        pts(a, b, k) = v < 0 ? -v : v;
      }
  int64_t total = 0;
  for (int64_t i = 1; i <= n; ++i) total += i;
  Grid<int64_t> rem_int(n, 1), rem_ts(n, 1);
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) {
      int64_t si = 0, st = 0;
      for (int64_t k = 1; k <= n - 1; ++k) {
        si += pint(a, b, k);
        st += pts(a, b, k);
      }
      rem_int(a, b) = total - si;
      rem_ts(a, b) = total - st;
    }
  Grid<double> energy(n, 1), conc(n, 1), complete(n, 1);
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b)
      energy(a, b) = std::exp(r.g_ts[rem_ts(a, b)] - r.g_int[rem_int(a, b)]);
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) {
      conc(a, b) = 1.0;
      for (int64_t k = 1; k <= n - 1; ++k) {
        const int64_t v = pm(a, b, k);
        conc(a, b) = conc(a, b) * (v > 0 ? run.cycle.conc_reac[v] : run.cycle.conc_prod[-v]);
      }
    }
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) complete(a, b) = conc(a, b) * energy(a, b);
  r.denominator = 0.0;
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) r.denominator = r.denominator + complete(a, b);
  r.prefactor = (run.cycle.T * kBoltzmann) / kPlanck;
  r.numerator = r.driving_force;
  r.TOF = (r.numerator * r.prefactor) / r.denominator;
  r.complete = complete.v;

  degrees_of_control(run, complete, complete, pm, rem_int, rem_ts,
                     (r.numerator + r.concproduct_prod) / r.numerator,
                     -(r.concproduct_prod / r.numerator), r);
  if (!log_space) return r;

  // The evaluation over the logarithms of the terms.
  Grid<double> ln_term(n, 1);
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) {
      double ln_conc = 0.0;
      for (int64_t k = 1; k <= n - 1; ++k) {
        const int64_t v = pm(a, b, k);
        const double c = v > 0 ? run.cycle.conc_reac[v] : run.cycle.conc_prod[-v];
        ln_conc = ln_conc + std::log(c);
      }
      ln_term(a, b) = (r.g_ts[rem_ts(a, b)] - r.g_int[rem_int(a, b)]) + ln_conc;
    }
  double m = ln_term(1, 1);
  for (int64_t b = 1; b <= n; ++b)
    for (int64_t a = 1; a <= n; ++a) m = ln_term(a, b) > m ? ln_term(a, b) : m;
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) complete(a, b) = std::exp(ln_term(a, b) - m);
  r.denominator = 0.0;
  for (int64_t a = 1; a <= n; ++a)
    for (int64_t b = 1; b <= n; ++b) r.denominator = r.denominator + complete(a, b);
  double LR = 0.0, LP = 0.0;
  for (int64_t i = 1; i <= n; ++i) {
    if (run.cycle.has_reac[i]) LR = LR + std::log(run.cycle.conc_reac[i]);
    if (run.cycle.has_prod[i]) LP = LP + std::log(run.cycle.conc_prod[i]);
  }
  const double u = -r.dG + LR, v = LP;
  auto ln_one_minus_exp = [](double d) {
    return d > -std::log(2.0) ? std::log(-std::expm1(d)) : std::log1p(-std::exp(d));
  };
  const double sign = u > v ? 1.0 : -1.0;
  const double lnN = u > v ? u + ln_one_minus_exp(v - u) : v + ln_one_minus_exp(u - v);
  r.ln_TOF = ((std::log(r.prefactor) + lnN) - m) - std::log(r.denominator);
  r.TOF = sign * std::exp(r.ln_TOF);
  const double q = sign * std::exp(LP - lnN);
  r.complete = complete.v;
  degrees_of_control(run, complete, ln_term, pm, rem_int, rem_ts, 1.0 + q, -q, r);
  return r;
}

}  // namespace kinex::testing

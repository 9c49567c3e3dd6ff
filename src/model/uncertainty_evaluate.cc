// The fast evaluation of one sample of the Monte Carlo, over the logarithms
// of the terms, and what callers that want one sample get from it.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/control.h"
#include "model/log_space.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/uncertainty.h"
#include "model/uncertainty_internal.h"

namespace kinex {

namespace uncertainty_detail {
namespace {

// e^x for x <= 0 to about 2 ulp; below -708 that of -708 (about 3e-308:
// such a term is lost next to the largest, which is 1). Only +, * and a
// select of doubles and integer bit work, so the loops over it vectorise.
// ln(1 - kTieTolerance): how far below the largest a tied term's logarithm
// may lie.
const double kLogTieFactor = std::log1p(-kTieTolerance);

inline double exp_nonpositive(double x) {
  x = x < -708.0 ? -708.0 : x;
  const double shifter = 0x1.8p52;
  const double kf = x * 1.4426950408889634 + shifter;
  const double k = kf - shifter;
  const double r = (x - k * 0x1.62e42fee00000p-1) - k * 0x1.a39ef35793c76p-33;
  // The Taylor polynomial of degree 13 (its remainder below 1e-17 for
  // |r| <= ln(2)/2) by Estrin's scheme: short chains of dependent
  // operations, so that many terms are in flight at once.
  const double r2 = r * r, r4 = r2 * r2, r8 = r4 * r4;
  const double p01 = 1.0 + r;
  const double p23 = 1.0 / 2.0 + r * (1.0 / 6.0);
  const double p45 = 1.0 / 24.0 + r * (1.0 / 120.0);
  const double p67 = 1.0 / 720.0 + r * (1.0 / 5040.0);
  const double p89 = 1.0 / 40320.0 + r * (1.0 / 362880.0);
  const double p1011 = 1.0 / 3628800.0 + r * (1.0 / 39916800.0);
  const double p1213 = 1.0 / 479001600.0 + r * (1.0 / 6227020800.0);
  const double p03 = p01 + r2 * p23, p47 = p45 + r2 * p67;
  const double p811 = p89 + r2 * p1011;
  const double p07 = p03 + r4 * p47, p813 = p811 + r4 * p1213;
  const double p = p07 + r8 * p813;
  // The low bits of kf hold k; shifted into the exponent field with the
  // bias they give 2^k (the shifter's own bits leave at the top).
  const double scale = std::bit_cast<double>((std::bit_cast<uint64_t>(kf) + 1023) << 52);
  return p * scale;
}

// The largest of x[0..count-1] (no NaN among them), in eight lanes.
inline double largest(const double* x, int64_t count) {
  double lane[8];
  for (int j = 0; j < 8; ++j) lane[j] = x[0];
  int64_t k = 0;
  for (; k + 8 <= count; k += 8) {
    for (int j = 0; j < 8; ++j) lane[j] = x[k + j] > lane[j] ? x[k + j] : lane[j];
  }
  for (; k < count; ++k) lane[0] = x[k] > lane[0] ? x[k] : lane[0];
  double m = lane[0];
  for (int j = 1; j < 8; ++j) m = lane[j] > m ? lane[j] : m;
  return m;
}

}  // namespace

FastCycle prepare(const Cycle& cycle) {
  FastCycle f;
  const int64_t n = cycle.n;
  f.n = n;
  f.inv_RT = inverse_RT(cycle.T);
  f.ln_prefactor = std::log((cycle.T * k_B) / h_Planck);
  f.LR = ln_reactant_product(cycle);
  f.LP = ln_product_product(cycle);
  f.ln_ratio = ln_concentration_ratio(cycle);
  f.DeltaG = cycle.DeltaG;
  f.G_int.assign(cycle.G_int.begin(), cycle.G_int.begin() + n);
  f.G_ts.assign(cycle.G_ts.begin(), cycle.G_ts.begin() + n + 1);
  f.C.resize(n * n);
  for (int64_t a = 1; a <= n; ++a) {
    for (int64_t b = 1; b <= n; ++b)
      f.C[(a - 1) * n + (b - 1)] = term_concentration_logarithm(cycle, a, b);
  }
  for (int64_t i = 1; i <= n; ++i) {
    if (cycle.has_reac[i]) f.reac.push_back(i);
    if (cycle.has_prod[i]) f.prod.push_back(i);
  }
  return f;
}

KINEX_VECTOR_CLONES FastResult evaluate_fast(const FastCycle& f, Scratch& w) {
  const int64_t n = f.n;
  const double* e = w.e.data();
  const double inv_RT = f.inv_RT;
  // The profile as compute_profile forms it from the perturbed cycle.
  const double DeltaG = f.DeltaG + (e[2 * n] - e[0]);
  for (int64_t k = 0; k < n; ++k) {
    const double G = f.G_int[k] + e[2 * k];
    w.this_turn[k] = G * inv_RT;
    w.next_turn[k] = (DeltaG + G) * inv_RT;
  }
  for (int64_t i = 1; i <= n; ++i) w.ts[i] = (f.G_ts[i] + e[2 * i - 1]) * inv_RT;
  const double dG = DeltaG * inv_RT;

  FastResult r;
  const NetFlux flux = net_flux(dG, f.LR, f.LP, f.ln_ratio);
  r.sign = flux.sign;
  const double lnN = flux.sign == 0 ? 0.0 : flux.ln;

  // l(a,b): term b of row a crosses transition state a+b-1 (cyclic; ts
  // holds two turns), from intermediate a-1 of the next turn while that
  // comes at or after step a.
  double* l = w.l.data();
  const double* C = f.C.data();
  double* ts = w.ts.data();
  for (int64_t i = 1; i < n; ++i) ts[n + i] = ts[i];
  for (int64_t a = 1; a <= n; ++a) {
    double* row = l + (a - 1) * n;
    const double* c = C + (a - 1) * n;
    const double* t = ts + a;  // t[b-1]: transition state a+b-1
    const double g_next = w.next_turn[a - 1], g_this = w.this_turn[a - 1];
    const int64_t last_next = n - a + 1;
    for (int64_t b = 1; b <= n; ++b) {
      row[b - 1] = (t[b - 1] - (b <= last_next ? g_next : g_this)) + c[b - 1];
    }
  }
  const double m = largest(l, n * n);
  // The dominant term: the earliest of the terms tied with the largest
  // (within a relative kTieTolerance: l >= m + ln(1 - kTieTolerance)), the
  // smallest TDI and then the smallest TDTS, as resolve_ties names it.
  const double tied_from = m + kLogTieFactor;
  for (int64_t a = 1; a <= n; ++a) {
    const double* row = l + (a - 1) * n;
    int64_t best = 0, best_ts = n + 1;
    for (int64_t b = 1; b <= n; ++b) {
      if (!(row[b - 1] >= tied_from)) continue;
      const int64_t ts = (a + b - 2) % n + 1;
      if (ts < best_ts) best_ts = ts, best = b;
    }
    if (best != 0) {
      r.a = a;
      r.b = best;
      break;
    }
  }
  for (int64_t k = 0; k < n * n; ++k) l[k] = exp_nonpositive(l[k] - m);

  // Running sums along each row: prefix[(a-1)(n+1) + J] is the sum of
  // terms b = 1..J of row a. Four rows at a time, so that their chains of
  // additions overlap.
  double* P = w.prefix.data();
  int64_t a0 = 1;
  for (; a0 + 3 <= n; a0 += 4) {
    const double* row = l + (a0 - 1) * n;
    double* p = P + (a0 - 1) * (n + 1);
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    p[0] = p[n + 1] = p[2 * (n + 1)] = p[3 * (n + 1)] = 0.0;
    for (int64_t b = 1; b <= n; ++b) {
      s0 = s0 + row[b - 1];
      s1 = s1 + row[n + b - 1];
      s2 = s2 + row[2 * n + b - 1];
      s3 = s3 + row[3 * n + b - 1];
      p[b] = s0;
      p[(n + 1) + b] = s1;
      p[2 * (n + 1) + b] = s2;
      p[3 * (n + 1) + b] = s3;
    }
  }
  for (; a0 <= n; ++a0) {
    const double* row = l + (a0 - 1) * n;
    double* p = P + (a0 - 1) * (n + 1);
    double sum = 0.0;
    p[0] = 0.0;
    for (int64_t b = 1; b <= n; ++b) {
      sum = sum + row[b - 1];
      p[b] = sum;
    }
  }
  double S = 0.0, next = 0.0;
  for (int64_t a = 1; a <= n; ++a) {
    const double* p = P + (a - 1) * (n + 1);
    S = S + p[n];
    next = next + p[n - a + 1];
  }
  r.ln_TOF = ((f.ln_prefactor + lnN) - m) - std::log(S);
  r.next_turn_share = next / S;
  r.q = r.sign == 0 ? Results::kNone : r.sign * std::exp(f.LP - lnN);
  if (r.sign == 0) r.ln_TOF = -INFINITY;

  double* x = w.control.data();
  for (int64_t a = 1; a <= n; ++a) x[a - 1] = P[(a - 1) * (n + 1) + n] / S;
  // Sums over the rows a, ascending, into fixed positions i = 1..n: the
  // terms of transition state i, the running sums at J = (i - a) mod n (the
  // terms of row a that hold the forward rate constant of step i: b <= J)
  // and the rest of the row after J + 1 (those with its backward one:
  // b >= J + 2). Each row reads both candidates of every i and keeps one,
  // so the loops run over whole rows (the arrays have a row to spare).
  double* acc = w.acc.data();  // 1..n, three arrays
  double* reac_acc = acc + (n + 1);
  double* prod_acc = acc + 2 * (n + 1);
  for (int64_t k = 0; k < 3 * (n + 1); ++k) acc[k] = 0.0;
  const bool concentrations = !f.reac.empty() || !f.prod.empty();
  for (int64_t a = 1; a <= n; ++a) {
    // Term b of row a crosses transition state a+b-1 (cyclic): i >= a
    // takes b = i - a + 1, i < a takes b = i - a + n + 1.
    const double* row = l + (a - 1) * n;
    for (int64_t i = 1; i <= n; ++i) {
      acc[i] = acc[i] + (i >= a ? row[i - a] : row[i - a + n]);
    }
    if (!concentrations) continue;
    const double* p = P + (a - 1) * (n + 1);  // p[J]: the running sum at J
    const double total = p[n];
    for (int64_t i = 1; i <= n; ++i) {
      const bool later = i >= a;
      reac_acc[i] = reac_acc[i] + (later ? p[i - a] : p[i - a + n]);
      prod_acc[i] = prod_acc[i] + (total - (later ? p[i - a + 1] : p[i - a + n + 1]));
    }
  }
  double* xts = x + n - 1;  // 1..n
  for (int64_t i = 1; i <= n; ++i) xts[i] = acc[i] / S;
  double* xc = x + 2 * n;
  const double reac_share = 1.0 + r.q, prod_share = -r.q;
  for (const int64_t i : f.reac) *xc++ = reac_share - reac_acc[i] / S;
  for (const int64_t i : f.prod) *xc++ = prod_share - prod_acc[i] / S;
  return r;
}

// g_s from a sample's X_TOF (see first_order_gradient).
std::vector<double> gradient(const FastCycle& f, const Scratch& w, const FastResult& r) {
  const int64_t n = f.n;
  const double* x = w.control.data();
  std::vector<double> g(uncertainty_states(n));
  g[2 * n] = (r.next_turn_share - (1.0 + r.q)) * f.inv_RT;
  for (int64_t k = 0; k < n; ++k) g[2 * k] = x[k] * f.inv_RT;
  for (int64_t i = 1; i <= n; ++i) g[2 * i - 1] = -x[n + i - 1] * f.inv_RT;
  g[0] = g[0] - g[2 * n];
  return g;
}

}  // namespace uncertainty_detail

using namespace uncertainty_detail;

namespace {

void fill_sample_result(const FastCycle& f, const Scratch& w, const FastResult& r,
                        SampleResult& out) {
  const int64_t n = f.n;
  out.log10_TOF = r.ln_TOF / std::log(10.0);
  out.TOF_sign = r.sign;
  out.TDI = r.a;
  out.TDTS = (r.a + r.b - 2) % n + 1;
  out.q = r.q;
  out.next_turn_share = r.next_turn_share;
  const double* x = w.control.data();
  out.xtof_int.assign(x, x + n);
  out.xtof_ts.assign(n + 1, Results::kNone);
  for (int64_t i = 1; i <= n; ++i) out.xtof_ts[i] = x[n + i - 1];
  out.xtof_reac.assign(n + 1, Results::kNone);
  out.xtof_prod.assign(n + 1, Results::kNone);
  int64_t j = 2 * n;
  for (const int64_t i : f.reac) out.xtof_reac[i] = x[j++];
  for (const int64_t i : f.prod) out.xtof_prod[i] = x[j++];
}

bool check_errors(const Cycle& cycle, const std::vector<double>& errors, std::string& error) {
  error = check_uncertainty_cycle(cycle);
  if (!error.empty()) return false;
  if (static_cast<int64_t>(errors.size()) != uncertainty_states(cycle.n)) {
    error = std::to_string(errors.size());
    error += " errors for a cycle of ";
    error += std::to_string(uncertainty_states(cycle.n));
    error += " states";
    return false;
  }
  for (std::size_t s = 0; s < errors.size(); ++s) {
    if (std::isfinite(errors[s])) continue;
    error = "the error of state ";
    error += std::to_string(s);
    error += " is not a finite number";
    return false;
  }
  return true;
}

}  // namespace

bool evaluate_sample(const Cycle& cycle, const std::vector<double>& errors, SampleResult& out,
                     std::string& error) {
  if (!check_errors(cycle, errors, error)) return false;
  const FastCycle f = prepare(cycle);
  Scratch w(f);
  w.e = errors;
  const FastResult r = evaluate_fast(f, w);
  fill_sample_result(f, w, r, out);
  return true;
}

bool first_order_gradient(const Cycle& cycle, std::vector<double>& g, std::string& error) {
  if (!check_errors(cycle, std::vector<double>(uncertainty_states(cycle.n > 0 ? cycle.n : 0), 0.0),
                    error)) {
    return false;
  }
  const FastCycle f = prepare(cycle);
  Scratch w(f);
  const FastResult r = evaluate_fast(f, w);
  g = gradient(f, w, r);
  return true;
}

}  // namespace kinex

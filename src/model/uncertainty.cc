#include "model/uncertainty.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kinex/types.h"
#include "model/control.h"
#include "model/evaluate.h"
#include "model/log_space.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/storage.h"

namespace kinex {
namespace {

// Samples whose sums of X_TOF are formed together; the blocks are added in
// their order, so the sums do not depend on the number of threads.
constexpr int64_t kBlock = 4096;

std::string number(double x) {
  std::ostringstream text;
  text << x;
  return text.str();
}

// ---- Random numbers --------------------------------------------------------

constexpr uint64_t kGamma = 0x9e3779b97f4a7c15ULL;

// A bijective 64-bit mixer: consecutive inputs give independent-looking
// outputs.
inline uint64_t mix64(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// The keys of the two generators: u from (seed), v from (seed, stream).
struct StreamKeys {
  uint64_t shared = 0, own = 0;
  StreamKeys(uint64_t seed, uint64_t stream) {
    const uint64_t root = mix64(seed ^ 0x6a09e667f3bcc909ULL);
    shared = mix64(root + kGamma);
    own = mix64(mix64(root + 2 * kGamma) + mix64(stream ^ 0x3c6ef372fe94f82bULL));
  }
};

// The key of sample k under a generator's key.
inline uint64_t sample_key(uint64_t key, int64_t k) {
  return mix64(key + static_cast<uint64_t>(k) * kGamma);
}

// The words of normal j of a sample: word i (i = 1, 2, ...) depends only on
// the sample's key, j and i.
struct Words {
  uint64_t base;
  uint64_t i = 0;
  Words(uint64_t key, int64_t j) : base(key + (static_cast<uint64_t>(j) << 32) * kGamma) {}
  uint64_t next() { return mix64(base + (++i) * kGamma); }
};

// Standard normals by the ziggurat method over 256 layers of equal area.
// Layer 0 is the base (width x[0] = V / f(R), holding the tail beyond R);
// layer i >= 1 spans the heights f(x[i]) .. f(x[i+1]) at width x[i].
class Ziggurat {
 public:
  Ziggurat() {
    x_[0] = kV / f(kR);
    x_[1] = kR;
    for (int i = 1; i < 255; ++i) x_[i + 1] = std::sqrt(-2.0 * std::log(kV / x_[i] + f(x_[i])));
    x_[256] = 0.0;
    for (int i = 0; i <= 256; ++i) f_[i] = f(x_[i]);
  }

  // The uniform on [0, 1) in the top 52 bits of a word.
  static double unit(uint64_t bits) {
    return std::bit_cast<double>((bits >> 12) | 0x3ff0000000000000ULL) - 1.0;
  }

  const double* widths() const { return x_.data(); }

  // The normal whose first word is `bits` (word 1 of `words`); further
  // words, when the first is rejected, come from `words`.
  double normal(uint64_t bits, Words& words) const {
    for (;;) {
      const int i = static_cast<int>(bits & 255);
      const bool negative = (bits & 256) != 0;
      const double x = unit(bits) * x_[i];
      if (x < x_[i + 1]) return negative ? -x : x;
      if (i == 0) {
        // The tail beyond R (Marsaglia's method).
        for (;;) {
          const double a = -std::log(open_uniform(words)) / kR;
          const double b = -std::log(open_uniform(words));
          if (b + b >= a * a) return negative ? -(kR + a) : kR + a;
        }
      }
      const double y = f_[i] + open_uniform(words) * (f_[i + 1] - f_[i]);
      if (y < f(x)) return negative ? -x : x;
      bits = words.next();
    }
  }

 private:
  static constexpr double kR = 3.6541528853610088;
  static constexpr double kV = 0.00492867323399;
  static double f(double x) { return std::exp(-0.5 * x * x); }
  // Uniform on (0, 1].
  static double open_uniform(Words& words) {
    return static_cast<double>((words.next() >> 11) + 1) * 0x1p-53;
  }
  std::array<double, 257> x_{}, f_{};
};

// The first words of the normals j[0..count-1] under a sample's key.
KINEX_VECTOR_CLONES void first_words(uint64_t key, const int64_t* __restrict j, int64_t count,
                                     uint64_t* __restrict bits) {
  for (int64_t t = 0; t < count; ++t) {
    bits[t] = mix64(key + ((static_cast<uint64_t>(j[t]) << 32) + 1) * kGamma);
  }
}

// The normal each first word gives when the ziggurat takes it at once (in
// the rectangle of its layer), and margin[t] > 0 exactly where it does.
// `widths` are the ziggurat's x[0..256]. The same bits on every vector width.
KINEX_VECTOR_CLONES void first_normals(const uint64_t* __restrict bits, int64_t count,
                                       const double* __restrict widths, double* __restrict out,
                                       double* __restrict margin) {
  for (int64_t t = 0; t < count; ++t) {
    const uint64_t word = bits[t];
    const uint64_t i = word & 255;
    const double x = Ziggurat::unit(word) * widths[i];
    margin[t] = widths[i + 1] - x;
    // +1 or -1 by bit 8.
    const double sign = std::bit_cast<double>(((word & 256) << 55) | 0x3ff0000000000000ULL);
    out[t] = x * sign;
  }
}

// The working arrays of a drawer on one thread.
struct Draws {
  std::vector<uint64_t> bits;
  std::vector<double> margin, u, v, w;
};

// What a model draws: the factors of e_s = σ_s (sqrt(RHO) w_0 + sqrt(1-RHO)
// w_s) and w = sqrt(shared) u + sqrt(1-shared) v, and which normals it needs.
struct Drawer {
  int64_t states = 0;
  std::vector<double> sigma;
  double common = 0.0, own_state = 0.0;  // sqrt(RHO), sqrt(1-RHO)
  double from_shared = 0.0, from_own = 0.0;
  StreamKeys keys;
  Ziggurat zig;
  // The normals a sample needs: w_j with j = 0 the common one and j = 1 + s
  // that of state s, except those whose factor is 0.
  std::vector<int64_t> needed;

  Drawer(const UncertaintyModel& model, int64_t n)
      : states(uncertainty_states(n)),
        sigma(model.sigma),
        common(std::sqrt(model.correlation)),
        own_state(std::sqrt(1.0 - model.correlation)),
        from_shared(std::sqrt(model.shared)),
        from_own(std::sqrt(1.0 - model.shared)),
        keys(model.seed, model.stream) {
    if (common != 0.0) needed.push_back(0);
    for (int64_t s = 0; s < states && own_state != 0.0; ++s) {
      if (sigma[s] != 0.0) needed.push_back(1 + s);
    }
  }

  Draws draws() const {
    Draws d;
    d.bits.resize(needed.size());
    d.margin.resize(needed.size());
    d.u.assign(needed.size(), 0.0);
    d.v.assign(needed.size(), 0.0);
    d.w.assign(states + 1, 0.0);
    return d;
  }

  // The standard normals of every needed j under a sample's key, into
  // `out`: the first words side by side, then the ziggurat's other cases
  // one by one.
  void normals(uint64_t key, Draws& d, std::vector<double>& out) const {
    const auto count = static_cast<int64_t>(needed.size());
    first_words(key, needed.data(), count, d.bits.data());
    first_normals(d.bits.data(), count, zig.widths(), out.data(), d.margin.data());
    for (int64_t t = 0; t < count; ++t) {
      if (d.margin[t] > 0.0) continue;
      Words words(key, needed[t]);
      words.i = 1;
      out[t] = zig.normal(d.bits[t], words);
    }
  }

  void errors(int64_t k, Draws& d, double* e) const {
    if (from_shared != 0.0) normals(sample_key(keys.shared, k), d, d.u);
    if (from_own != 0.0) normals(sample_key(keys.own, k), d, d.v);
    const auto count = static_cast<int64_t>(needed.size());
    for (int64_t t = 0; t < count; ++t) d.w[needed[t]] = from_shared * d.u[t] + from_own * d.v[t];
    const double w0 = d.w[0];
    for (int64_t s = 0; s < states; ++s) {
      e[s] = sigma[s] * (common * w0 + own_state * d.w[1 + s]);
    }
  }
};

// ---- The evaluation of one sample -------------------------------------------

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

// What does not change from sample to sample.
struct FastCycle {
  int64_t n = 0;
  double inv_RT = 0.0, ln_prefactor = 0.0, LR = 0.0, LP = 0.0, ln_ratio = 0.0, DeltaG = 0.0;
  std::vector<double> G_int, G_ts;  // 0..n-1, 1..n
  std::vector<double> C;            // the terms' concentration logarithms, (a-1)*n + (b-1)
  std::vector<int64_t> reac, prod;  // the steps with the concentration
  // The X_TOF a sample gives, in this order: intermediates 0..n-1,
  // transition states 1..n, the reactants then the products of `reac`
  // and `prod`.
  int64_t controls() const { return 2 * n + static_cast<int64_t>(reac.size() + prod.size()); }
};

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

// The working arrays of one thread.
struct Scratch {
  std::vector<double> e, ts, this_turn, next_turn, l, prefix, acc, control;
  explicit Scratch(const FastCycle& f)
      : e(uncertainty_states(f.n), 0.0),
        ts(2 * f.n),
        this_turn(f.n),
        next_turn(f.n),
        l(f.n * f.n + f.n, 0.0),
        prefix(f.n * (f.n + 1) + f.n + 1, 0.0),
        acc(3 * (f.n + 1)),
        control(f.controls()) {}
};

struct FastResult {
  double ln_TOF = 0.0;
  int sign = 0;
  int64_t a = 1, b = 1;
  double q = 0.0, next_turn_share = 0.0;
};

// The cycle with the errors scratch.e, over the logarithms of its terms as
// compute_log_space forms them; the X_TOF into scratch.control. Compiled
// for several vector widths, each giving the same bits.
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

// ---- Summing up ----------------------------------------------------------------

// The sums of a block: of the X_TOF less their central values, and of the
// squares of those, and the counts of the TDI and TDTS.
struct BlockSums {
  std::vector<double> sum, square;
  std::vector<int64_t> TDI, TDTS;
  BlockSums(int64_t controls, int64_t n)
      : sum(controls, 0.0), square(controls, 0.0), TDI(n + 1, 0), TDTS(n + 1, 0) {}
  void add(const double* x, const double* centre, int64_t tdi, int64_t tdts) {
    const auto K = static_cast<int64_t>(sum.size());
    for (int64_t j = 0; j < K; ++j) {
      const double d = x[j] - centre[j];
      sum[j] = sum[j] + d;
      square[j] = square[j] + d * d;
    }
    ++TDI[tdi];
    ++TDTS[tdts];
  }
  void add(const BlockSums& other) {
    for (std::size_t j = 0; j < sum.size(); ++j) {
      sum[j] = sum[j] + other.sum[j];
      square[j] = square[j] + other.square[j];
    }
    for (std::size_t i = 0; i < TDI.size(); ++i) {
      TDI[i] += other.TDI[i];
      TDTS[i] += other.TDTS[i];
    }
  }
};

// Everything of `out` but the central values and first_order_sd, from the
// samples already in it, the summed block and the central X_TOF.
void summarise(int64_t n, const std::vector<int64_t>& reac, const std::vector<int64_t>& prod,
               const BlockSums& total, const std::vector<double>& centre, Distribution& out) {
  const int64_t N = out.samples;
  const auto Nd = static_cast<double>(N);
  double sum = 0.0;
  for (const double x : out.log10_TOF) sum = sum + x;
  out.mean = sum / Nd;
  double squares = 0.0;
  for (const double x : out.log10_TOF) squares = squares + (x - out.mean) * (x - out.mean);
  out.sd = N > 1 ? std::sqrt(squares / (Nd - 1.0)) : 0.0;
  out.backward_share =
      static_cast<double>(std::count(out.TOF_sign.begin(), out.TOF_sign.end(), int8_t{-1})) / Nd;
  std::vector<double> values = out.log10_TOF;
  const std::vector<double> q = quantiles(values, {0.025, 0.158655, 0.5, 0.841345, 0.975});
  out.low95 = q[0];
  out.low68 = q[1];
  out.median = q[2];
  out.high68 = q[3];
  out.high95 = q[4];

  out.TDI_probability.assign(n + 1, 0.0);
  out.TDTS_probability.assign(n + 1, 0.0);
  for (int64_t i = 1; i <= n; ++i) {
    out.TDI_probability[i] = static_cast<double>(total.TDI[i]) / Nd;
    out.TDTS_probability[i] = static_cast<double>(total.TDTS[i]) / Nd;
  }
  auto moments = [&](int64_t j, double& mean, double& sd) {
    const double s1 = total.sum[j], s2 = total.square[j];
    mean = centre[j] + s1 / Nd;
    const double var = N > 1 ? (s2 - s1 * (s1 / Nd)) / (Nd - 1.0) : 0.0;
    sd = var > 0.0 ? std::sqrt(var) : (std::isnan(var) ? var : 0.0);
  };
  out.xtof_int_mean.assign(n, 0.0);
  out.xtof_int_sd.assign(n, 0.0);
  out.xtof_ts_mean.assign(n + 1, Results::kNone);
  out.xtof_ts_sd.assign(n + 1, Results::kNone);
  out.xtof_reac_mean.assign(n + 1, Results::kNone);
  out.xtof_reac_sd.assign(n + 1, Results::kNone);
  out.xtof_prod_mean.assign(n + 1, Results::kNone);
  out.xtof_prod_sd.assign(n + 1, Results::kNone);
  for (int64_t k = 0; k < n; ++k) moments(k, out.xtof_int_mean[k], out.xtof_int_sd[k]);
  for (int64_t i = 1; i <= n; ++i) moments(n + i - 1, out.xtof_ts_mean[i], out.xtof_ts_sd[i]);
  int64_t j = 2 * n;
  for (const int64_t i : reac) moments(j++, out.xtof_reac_mean[i], out.xtof_reac_sd[i]);
  for (const int64_t i : prod) moments(j++, out.xtof_prod_mean[i], out.xtof_prod_sd[i]);
}

// Bytes a distribution of `samples` takes while it is formed: log10 TOF,
// TDI, TDTS and the direction of each, and the copy the quantiles are
// selected from.
constexpr std::size_t kBytesPerSample = 2 * sizeof(double) + 2 * sizeof(int32_t) + sizeof(int8_t);

// `v` grown to `size` zeros 32 MB at a time; false, part-grown, as soon as
// `stop` asks for it.
template <class T>
bool grown(std::vector<T>& v, int64_t size, const std::function<bool()>& stop) {
  constexpr int64_t kPart = (int64_t{32} << 20) / static_cast<int64_t>(sizeof(T));
  v.reserve(static_cast<std::size_t>(size));
  for (int64_t have = 0; have < size;) {
    have = std::min(size, have + kPart);
    v.resize(static_cast<std::size_t>(have));
    if (stop && stop()) return false;
  }
  return true;
}

bool reserve_samples(int64_t samples, Distribution& out, std::string& error,
                     const std::function<bool()>& stop) {
  const std::size_t bytes = static_cast<std::size_t>(samples) * kBytesPerSample;
  // Asked of the system only for a large distribution, as the run's storage.
  if (bytes > (std::size_t{16} << 20)) {
    const std::size_t room = storage_limit(current_memory_room());
    if (bytes > room) {
      out = Distribution{};
      error = std::to_string(samples);
      error += " samples take ";
      error += std::to_string(bytes >> 20);
      error += " MB, more than the ";
      error += std::to_string(room >> 20);
      error += " MB there is room for";
      return false;
    }
  }
  try {
    out = Distribution{};
    out.samples = samples;
    // Filled a part at a time, asking `stop` between parts: a large
    // distribution takes seconds only to be paged in.
    const bool whole = grown(out.log10_TOF, samples, stop) && grown(out.TDI, samples, stop) &&
                       grown(out.TDTS, samples, stop) && grown(out.TOF_sign, samples, stop);
    if (!whole) {
      out = Distribution{};
      error = "stopped";
      return false;
    }
  } catch (const std::bad_alloc&) {
    out = Distribution{};
    error = "the storage of ";
    error += std::to_string(samples);
    error += " samples cannot be had";
    return false;
  }
  return true;
}

bool sizes_fit(const Cycle& cycle) {
  const auto n = static_cast<std::size_t>(cycle.n);
  return cycle.G_int.size() >= n && cycle.G_ts.size() >= n + 1 && cycle.conc_reac.size() >= n + 1 &&
         cycle.conc_prod.size() >= n + 1 && cycle.has_reac.size() >= n + 1 &&
         cycle.has_prod.size() >= n + 1;
}

}  // namespace

std::vector<double> quantiles(std::vector<double>& values, const std::vector<double>& p) {
  std::vector<double> q;
  const std::size_t N = values.size();
  std::size_t from = 0;  // the order statistics below `from` are in place
  for (const double share : p) {
    const double h = static_cast<double>(N - 1) * share;
    const auto lo = static_cast<std::size_t>(std::floor(h));
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(lo);
    std::nth_element(values.begin() + static_cast<std::ptrdiff_t>(from), at, values.end());
    const double low = *at;
    const double frac = h - static_cast<double>(lo);
    if (frac == 0.0 || lo + 1 >= N) {
      q.push_back(low);
    } else {
      const double high = *std::min_element(at + 1, values.end());
      q.push_back(low + frac * (high - low));
    }
    from = lo;
  }
  return q;
}

std::string check_uncertainty_model(const UncertaintyModel& model, int64_t n) {
  std::string reason;
  const int64_t states = uncertainty_states(n);
  if (static_cast<int64_t>(model.sigma.size()) != states) {
    reason = std::to_string(model.sigma.size());
    reason += " sigmas for a cycle of ";
    reason += std::to_string(n);
    reason += " steps: it has ";
    reason += std::to_string(states);
    reason += " states";
    return reason;
  }
  for (int64_t s = 0; s < states; ++s) {
    const double sigma = model.sigma[s];
    if (is_sigma(sigma)) continue;
    reason = "sigma of state ";
    reason += std::to_string(s);
    reason += " is ";
    reason += number(sigma);
    reason += " kcal/mol";
    reason += std::isfinite(sigma) ? ", below 0" : ", not a finite number";
    return reason;
  }
  if (!(model.correlation >= 0.0 && model.correlation <= 1.0)) {
    reason = "correlation ";
    reason += number(model.correlation);
    reason += " is outside 0..1";
    return reason;
  }
  if (!(model.shared >= 0.0 && model.shared <= 1.0)) {
    reason = "shared ";
    reason += number(model.shared);
    reason += " is outside 0..1";
    return reason;
  }
  if (model.samples < 1) {
    reason = "samples ";
    reason += std::to_string(model.samples);
    reason += ": at least 1";
    return reason;
  }
  if (model.samples > kMaxUncertaintySamples) {
    reason = "samples ";
    reason += std::to_string(model.samples);
    reason += ": at most ";
    reason += std::to_string(kMaxUncertaintySamples);
    return reason;
  }
  return reason;
}

std::string check_uncertainty_cycle(const Cycle& cycle) {
  std::string reason;
  if (cycle.n < 1) {
    reason = "the cycle has ";
    reason += std::to_string(cycle.n);
    reason += " steps: at least 1";
    return reason;
  }
  if (!sizes_fit(cycle)) return "the cycle's arrays are shorter than its steps";
  if (!(std::isfinite(cycle.T) && cycle.T > 0.0)) {
    reason = "T ";
    reason += number(cycle.T);
    reason += " K: the samples need a temperature above 0";
    return reason;
  }
  if (!std::isfinite(inverse_RT(cycle.T))) {
    reason = "T ";
    reason += number(cycle.T);
    reason += " K is too small for energies in units of RT";
    return reason;
  }
  if (!std::isfinite(cycle.DeltaG)) {
    reason = "DeltaG ";
    reason += number(cycle.DeltaG);
    reason += " kcal/mol is not a finite number";
    return reason;
  }
  for (int64_t i = 1; i <= cycle.n; ++i) {
    const double energies[2] = {cycle.G_int[i - 1], cycle.G_ts[i]};
    for (int which = 0; which < 2; ++which) {
      if (std::isfinite(energies[which])) continue;
      reason = which == 0 ? "the energy of intermediate "
                          : "the energy of the transition state of step ";
      reason += std::to_string(which == 0 ? i - 1 : i);
      reason += " is ";
      reason += number(energies[which]);
      return reason;
    }
    const bool given[2] = {cycle.has_reac[i], cycle.has_prod[i]};
    const double conc[2] = {cycle.conc_reac[i], cycle.conc_prod[i]};
    for (int which = 0; which < 2; ++which) {
      if (!given[which] || (std::isfinite(conc[which]) && conc[which] > 0.0)) continue;
      reason =
          which == 0 ? "the reactant concentration of step " : "the product concentration of step ";
      reason += std::to_string(i);
      reason += " is ";
      reason += number(conc[which]);
      reason += ": the samples need every given concentration finite and above 0";
      return reason;
    }
  }
  return reason;
}

std::vector<double> sample_errors(const UncertaintyModel& model, int64_t n, int64_t k) {
  const Drawer drawer(model, n);
  Draws draws = drawer.draws();
  std::vector<double> e(uncertainty_states(n));
  drawer.errors(k, draws, e.data());
  return e;
}

Cycle perturbed_cycle(const Cycle& cycle, const std::vector<double>& errors) {
  Cycle c = cycle;
  const int64_t n = cycle.n;
  for (int64_t k = 0; k < n; ++k) c.G_int[k] = cycle.G_int[k] + errors[2 * k];
  for (int64_t i = 1; i <= n; ++i) c.G_ts[i] = cycle.G_ts[i] + errors[2 * i - 1];
  c.DeltaG = cycle.DeltaG + (errors[2 * n] - errors[0]);
  return c;
}

namespace {

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

std::string check_sigma_range(const Cycle& cycle, const UncertaintyModel& model) {
  // A standard normal of the generator lies within 13.8 (its tail ends where
  // the uniform's 53 bits do); mixed with the shared and common parts, one
  // state's error within 28 sigma, DeltaG's (two states') within 56.
  constexpr double kErrorBound = 96.0;
  // Every sample's logarithms stay within a few times this, so that the
  // sums of their squares over 1e8 samples stay finite.
  constexpr double kLargestScaled = 1e145;
  double energy = std::fabs(cycle.DeltaG);
  for (int64_t k = 0; k < cycle.n; ++k) energy = std::fmax(energy, std::fabs(cycle.G_int[k]));
  for (int64_t i = 1; i <= cycle.n; ++i) energy = std::fmax(energy, std::fabs(cycle.G_ts[i]));
  const double inv_RT = inverse_RT(cycle.T);
  const double largest = (kLargestScaled / inv_RT - 2.0 * energy) / kErrorBound;
  for (std::size_t s = 0; s < model.sigma.size(); ++s) {
    if (model.sigma[s] <= largest) continue;
    std::string reason = "sigma of state ";
    reason += std::to_string(s);
    reason += " is ";
    reason += number(model.sigma[s]);
    reason += " kcal/mol: at T ";
    reason += number(cycle.T);
    reason +=
        " K its samples would leave the range of numbers; the largest sigma that can be "
        "sampled here is ";
    reason += number(largest > 0.0 ? largest : 0.0);
    reason += " kcal/mol";
    return reason;
  }
  return {};
}

bool sample_uncertainty(const Cycle& cycle, const UncertaintyModel& model, int threads,
                        Distribution& out, std::string& error, const std::function<bool()>& stop) {
  out = Distribution{};
  error = check_uncertainty_cycle(cycle);
  if (error.empty()) error = check_uncertainty_model(model, cycle.n);
  if (error.empty()) error = check_sigma_range(cycle, model);
  if (!error.empty()) return false;
  const int64_t n = cycle.n;
  const FastCycle f = prepare(cycle);

  // The central cycle: the values the sums are taken about, and the
  // first-order estimate.
  Scratch central(f);
  const FastResult c = evaluate_fast(f, central);
  const std::vector<double>& sigma = model.sigma;
  const bool driving_force_fixed =
      sigma[0] == sigma[2 * n] && (model.correlation == 1.0 || sigma[0] == 0.0);
  if (c.sign == 0 && driving_force_fixed) {
    error =
        "the cycle has no net driving force and the uncertainty model leaves DeltaG unchanged: "
        "the TOF is 0 in every sample";
    return false;
  }
  if (!reserve_samples(model.samples, out, error, stop)) return false;
  out.central_log10_TOF = c.ln_TOF / std::log(10.0);
  out.central_TOF_sign = c.sign;
  out.central_TDI = c.a;
  out.central_TDTS = (c.a + c.b - 2) % n + 1;
  {
    const std::vector<double> g = gradient(f, central, c);
    double squares = 0.0, sum = 0.0;
    for (std::size_t s = 0; s < g.size(); ++s) {
      const double gs = g[s] * sigma[s];
      squares = squares + gs * gs;
      sum = sum + gs;
    }
    const double rho = model.correlation;
    out.first_order_sd = std::sqrt((1.0 - rho) * squares + rho * (sum * sum)) / std::log(10.0);
  }
  const std::vector<double> centre = central.control;
  const int64_t controls = f.controls();

  const Drawer drawer(model, n);
  const int64_t blocks = (model.samples + kBlock - 1) / kBlock;
  std::vector<BlockSums> sums;
  try {
    sums.assign(blocks, BlockSums(controls, n));
  } catch (const std::bad_alloc&) {
    out = Distribution{};
    error = "the storage of the sums of the samples cannot be had";
    return false;
  }
  const double ln10 = std::log(10.0);
  std::atomic<bool> stopped{false};
  auto block = [&](int64_t index) {
    if (stopped.load(std::memory_order_relaxed)) return;
    Scratch w(f);
    Draws draws = drawer.draws();
    BlockSums& s = sums[index];
    const int64_t first = index * kBlock, end = std::min(first + kBlock, model.samples);
    for (int64_t k = first; k < end; ++k) {
      drawer.errors(k, draws, w.e.data());
      const FastResult r = evaluate_fast(f, w);
      const int64_t tdi = r.a, tdts = (r.a + r.b - 2) % n + 1;
      out.log10_TOF[k] = r.ln_TOF / ln10;
      out.TOF_sign[k] = static_cast<int8_t>(r.sign);
      out.TDI[k] = static_cast<int32_t>(tdi);
      out.TDTS[k] = static_cast<int32_t>(tdts);
      s.add(w.control.data(), centre.data(), tdi, tdts);
    }
  };
  int count = threads;
  if (count <= 0) {
    const unsigned hardware = std::thread::hardware_concurrency();
    count = hardware == 0 ? 1 : static_cast<int>(hardware);
  }
  if (count > blocks) count = static_cast<int>(blocks);
  parallel_for(blocks, count, block, [&](int64_t) {
    if (stop && !stopped.load(std::memory_order_relaxed) && stop()) stopped.store(true);
  });
  if (stopped.load()) {
    out = Distribution{};
    error = "stopped";
    return false;
  }

  BlockSums total(controls, n);
  for (const BlockSums& s : sums) total.add(s);
  summarise(n, f.reac, f.prod, total, centre, out);
  return true;
}

bool ensemble_uncertainty(const std::vector<Cycle>& members, Distribution& out, std::string& error,
                          const std::vector<std::string>& names) {
  out = Distribution{};
  if (members.empty()) {
    error = "an ensemble needs at least one member";
    return false;
  }
  // A member by its name where every member has a name of its own, else by
  // its place counted from 1.
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const bool named = names.size() == members.size() &&
                     std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end() &&
                     std::none_of(names.begin(), names.end(),
                                  [](const std::string& name) { return name.empty(); });
  const auto member = [&](std::size_t m) {
    return "member " + (named ? names[m] : std::to_string(m + 1));
  };
  const std::string first_member = member(0);
  const Cycle& first = members[0];
  for (std::size_t m = 0; m < members.size(); ++m) {
    const Cycle& c = members[m];
    error = check_uncertainty_cycle(c);
    std::string which = member(m);
    if (!error.empty()) {
      which += ": ";
      which += error;
      error = which;
      return false;
    }
    std::string differs;
    const ConditionDifference difference = condition_difference(c, first);
    switch (difference.what) {
      case ConditionDifference::What::none:
        break;
      case ConditionDifference::What::steps:
        differs = " has ";
        differs += std::to_string(c.n);
        differs += " steps, " + first_member + " ";
        differs += std::to_string(first.n);
        break;
      case ConditionDifference::What::temperature:
        differs = " is at T ";
        differs += number(c.T);
        differs += " K, " + first_member + " at ";
        differs += number(first.T);
        break;
      case ConditionDifference::What::reactant:
      case ConditionDifference::What::product:
        differs = " differs from " + first_member + " in the ";
        differs += difference.what == ConditionDifference::What::product ? "product" : "reactant";
        differs += " concentration of step ";
        differs += std::to_string(difference.step);
        break;
    }
    if (!differs.empty()) {
      which += differs;
      error = which;
      return false;
    }
  }

  const int64_t n = first.n;
  const auto N = static_cast<int64_t>(members.size());
  if (!reserve_samples(N, out, error, {})) return false;
  FastCycle shape;  // the steps with concentrations
  shape.n = n;
  for (int64_t i = 1; i <= n; ++i) {
    if (first.has_reac[i]) shape.reac.push_back(i);
    if (first.has_prod[i]) shape.prod.push_back(i);
  }
  const int64_t controls = shape.controls();
  std::vector<double> x(controls), centre;
  BlockSums total(controls, n);
  for (int64_t m = 0; m < N; ++m) {
    Run run;
    run.cycle.n = n;
    Failure failure;
    if (!allocate_storage(run, failure)) {
      out = Distribution{};
      error = member(static_cast<std::size_t>(m));
      error += ": ";
      error += failure.message;
      while (!error.empty() && error.back() == '\n') error.pop_back();
      return false;
    }
    run.cycle = members[m];
    evaluate_cycle(run, 1, Use::outputs);
    const Results& r = run.results;
    for (int64_t k = 0; k < n; ++k) x[k] = r.xtof_int[k];
    for (int64_t i = 1; i <= n; ++i) x[n + i - 1] = r.xtof_ts[i];
    int64_t j = 2 * n;
    for (const int64_t i : shape.reac) x[j++] = r.xtof_reac[i];
    for (const int64_t i : shape.prod) x[j++] = r.xtof_prod[i];
    if (m == 0) {
      centre = x;
      out.central_log10_TOF = r.log10_TOF;
      out.central_TOF_sign = r.TOF_sign;
      out.central_TDI = r.TDI;
      out.central_TDTS = r.TDTS;
    }
    out.log10_TOF[m] = r.log10_TOF;
    out.TOF_sign[m] = static_cast<int8_t>(r.TOF_sign);
    out.TDI[m] = static_cast<int32_t>(r.TDI);
    out.TDTS[m] = static_cast<int32_t>(r.TDTS);
    total.add(x.data(), centre.data(), r.TDI, r.TDTS);
  }
  summarise(n, shape.reac, shape.prod, total, centre, out);
  out.first_order_sd = Results::kNone;
  return true;
}

}  // namespace kinex

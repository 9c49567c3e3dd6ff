// The pieces of the Monte Carlo over the energies, shared by its files: the
// random draws (uncertainty_draws.cc), the fast evaluation of one sample
// (uncertainty_evaluate.cc), the checks (uncertainty_checks.cc), the summing
// up (uncertainty_summary.cc), and the sampler and the ensemble
// (uncertainty.cc). Private to them: uncertainty.h is the interface.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/run.h"
#include "model/uncertainty.h"

namespace kinex::uncertainty_detail {

// `x` as the reasons write a number (an ostream's default).
std::string number(double x);

// ---- Random numbers --------------------------------------------------------

inline constexpr uint64_t kGamma = 0x9e3779b97f4a7c15ULL;

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
  Ziggurat();

  // The uniform on [0, 1) in the top 52 bits of a word.
  static double unit(uint64_t bits) {
    return std::bit_cast<double>((bits >> 12) | 0x3ff0000000000000ULL) - 1.0;
  }

  const double* widths() const { return x_.data(); }

  // The normal whose first word is `bits` (word 1 of `words`); further
  // words, when the first is rejected, come from `words`.
  double normal(uint64_t bits, Words& words) const;

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

  Drawer(const UncertaintyModel& model, int64_t n);

  Draws draws() const;

  // The standard normals of every needed j under a sample's key, into
  // `out`: the first words side by side, then the ziggurat's other cases
  // one by one.
  void normals(uint64_t key, Draws& d, std::vector<double>& out) const;

  // The errors e_s of sample k into e[0..states-1], as sample_errors gives
  // them.
  void errors(int64_t k, Draws& d, double* e) const;
};

// ---- The evaluation of one sample -------------------------------------------

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

// What `cycle` (which passed check_uncertainty_cycle) keeps in every sample.
FastCycle prepare(const Cycle& cycle);

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
FastResult evaluate_fast(const FastCycle& f, Scratch& w);

// g_s from a sample's X_TOF (see first_order_gradient).
std::vector<double> gradient(const FastCycle& f, const Scratch& w, const FastResult& r);

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
               const BlockSums& total, const std::vector<double>& centre, Distribution& out);

// `out` emptied and sized for `samples`; false with the reason (`out`
// emptied) when the machine has no room for them, they cannot be had, or
// `stop` asks for it while they are paged in ("stopped").
bool reserve_samples(int64_t samples, Distribution& out, std::string& error,
                     const std::function<bool()>& stop);

}  // namespace kinex::uncertainty_detail

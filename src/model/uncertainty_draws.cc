// The random draws of the Monte Carlo: counter-based generators of standard
// normals, and the errors of one sample.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "model/parallel.h"
#include "model/uncertainty.h"
#include "model/uncertainty_internal.h"

namespace kinex {

namespace uncertainty_detail {
namespace {

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

}  // namespace

Ziggurat::Ziggurat() {
  x_[0] = kV / f(kR);
  x_[1] = kR;
  for (int i = 1; i < 255; ++i) x_[i + 1] = std::sqrt(-2.0 * std::log(kV / x_[i] + f(x_[i])));
  x_[256] = 0.0;
  for (int i = 0; i <= 256; ++i) f_[i] = f(x_[i]);
}

double Ziggurat::normal(uint64_t bits, Words& words) const {
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

Drawer::Drawer(const UncertaintyModel& model, int64_t n)
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

Draws Drawer::draws() const {
  Draws d;
  d.bits.resize(needed.size());
  d.margin.resize(needed.size());
  d.u.assign(needed.size(), 0.0);
  d.v.assign(needed.size(), 0.0);
  d.w.assign(states + 1, 0.0);
  return d;
}

void Drawer::normals(uint64_t key, Draws& d, std::vector<double>& out) const {
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

void Drawer::errors(int64_t k, Draws& d, double* e) const {
  if (from_shared != 0.0) normals(sample_key(keys.shared, k), d, d.u);
  if (from_own != 0.0) normals(sample_key(keys.own, k), d, d.v);
  const auto count = static_cast<int64_t>(needed.size());
  for (int64_t t = 0; t < count; ++t) d.w[needed[t]] = from_shared * d.u[t] + from_own * d.v[t];
  const double w0 = d.w[0];
  for (int64_t s = 0; s < states; ++s) {
    e[s] = sigma[s] * (common * w0 + own_state * d.w[1 + s]);
  }
}

}  // namespace uncertainty_detail

using namespace uncertainty_detail;

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

}  // namespace kinex

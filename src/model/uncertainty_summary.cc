// The summing up of the Monte Carlo's samples: quantiles, moments and the
// probabilities of the TDI and TDTS, and the storage of the samples.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "model/storage.h"
#include "model/uncertainty.h"
#include "model/uncertainty_internal.h"

namespace kinex {

namespace uncertainty_detail {
namespace {

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

}  // namespace

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

}  // namespace uncertainty_detail

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

}  // namespace kinex

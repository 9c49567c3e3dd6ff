// The regions of equal TDI and TDTS along the curve, and its top.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/figures.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "outputs/state_names.h"
#include "volcano/volcano.h"
#include "volcano/volcano_internal.h"

namespace kinex {
namespace volcano_detail {
namespace {

// The fitted cycle at x, evaluated: log10 TOF and the TDI and TDTS by name,
// with the states tied with them.
struct Probe {
  double log10_TOF = 0.0;
  std::string TDI, TDTS;
  std::vector<std::string> TDI_ties, TDTS_ties;
};

bool probe(const VolcanoFits& fits, double x, Probe& out, std::string& error) {
  Evaluation run;
  if (!evaluated(fitted_cycle(fits, x), run, error)) return false;
  out = {run.results.log10_TOF, tdi_state(fits.names, run.results.TDI),
         tdts_state(fits.names, run.results.TDTS), tdi_tie_states(fits.names, run.results),
         tdts_tie_states(fits.names, run.results)};
  return true;
}

// TDI and TDTS of the fitted cycle at x, one text.
std::string label_at(const VolcanoFits& fits, double x, std::string& error) {
  Probe p;
  if (!probe(fits, x, p, error)) return {};
  return p.TDI + '\n' + p.TDTS;
}

// Where the label changes between a (label la) and b (lb, not la): every
// change in order, by bisection down to neighbouring doubles, each as the
// first x of the new label and the label. A change back and forth between
// a and b is found where a midpoint shows it. At most `probes` evaluations
// (counted down): tied terms no longer make labels flicker, but three terms
// within rounding of each other still could, and each real change costs
// some 50; once they are spent, the change is put at b.
bool changes(const VolcanoFits& fits, double a, const std::string& la, double b,
             const std::string& lb, int64_t& probes,
             std::vector<std::pair<double, std::string>>& out, std::string& error) {
  const double middle = a + 0.5 * (b - a);
  if (middle <= a || middle >= b || probes <= 0) {
    out.emplace_back(b, lb);
    return true;
  }
  --probes;
  const std::string lm = label_at(fits, middle, error);
  if (lm.empty()) return false;
  if (lm == la) return changes(fits, middle, lm, b, lb, probes, out, error);
  if (lm == lb) return changes(fits, a, la, middle, lm, probes, out, error);
  return changes(fits, a, la, middle, lm, probes, out, error) &&
         changes(fits, middle, lm, b, lb, probes, out, error);
}

}  // namespace

// The regions of equal TDI and TDTS over the range: the labels sampled at
// the curve's points and at kRegionSamples more evenly spaced values, every
// change between neighbouring samples found by bisection; each region's
// first and last curve point (none when it lies between two: first = last
// + 1).
bool find_regions(Volcano& volcano, int threads, std::string& error) {
  constexpr int64_t kRegionSamples = 2048;
  // Evaluations the bisection may spend between two neighbouring samples:
  // room for some ten changes there.
  constexpr int64_t kProbesPerChange = 512;
  const VolcanoFits& fits = volcano.fits;
  // The curve's points, whose labels are known, and the values between.
  std::vector<double> extra;
  for (int64_t k = 1; k < kRegionSamples; ++k) {
    extra.push_back(volcano.from + (volcano.to - volcano.from) * static_cast<double>(k) /
                                       static_cast<double>(kRegionSamples));
  }
  std::vector<std::string> extra_labels(extra.size()), errors(extra.size());
  parallel_for(
      static_cast<int64_t>(extra.size()), std::max(1, threads),
      [&](int64_t k) {
        const auto K = static_cast<std::size_t>(k);
        extra_labels[K] = label_at(fits, extra[K], errors[K]);
      },
      [](int64_t) {});
  std::vector<std::pair<double, std::string>> samples;
  for (std::size_t p = 0; p < volcano.x.size(); ++p) {
    samples.emplace_back(volcano.x[p], volcano.TDI[p] + '\n' + volcano.TDTS[p]);
  }
  for (std::size_t k = 0; k < extra.size(); ++k) {
    if (extra_labels[k].empty()) {
      error = errors[k];
      return false;
    }
    samples.emplace_back(extra[k], std::move(extra_labels[k]));
  }
  std::stable_sort(samples.begin(), samples.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  samples.erase(std::unique(samples.begin(), samples.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                samples.end());
  std::vector<std::pair<double, std::string>> starts{samples.front()};
  for (std::size_t k = 0; k + 1 < samples.size(); ++k) {
    const auto& [a, la] = samples[k];
    const auto& [b, lb] = samples[k + 1];
    int64_t probes = kProbesPerChange;
    if (la != lb && !changes(fits, a, la, b, lb, probes, starts, error)) return false;
  }
  volcano.regions.clear();
  std::size_t point = 0;
  for (std::size_t r = 0; r < starts.size(); ++r) {
    const std::string& label = starts[r].second;
    const std::size_t cut = label.find('\n');
    VolcanoRegion region;
    region.TDI = label.substr(0, cut);
    region.TDTS = label.substr(cut + 1);
    region.from = starts[r].first;
    region.to = r + 1 < starts.size() ? starts[r + 1].first : volcano.to;
    region.first = static_cast<int64_t>(point);
    while (point < volcano.x.size() && (r + 1 == starts.size() || volcano.x[point] < region.to)) {
      ++point;
    }
    region.last = static_cast<int64_t>(point) - 1;
    Probe middle;
    if (!probe(fits, region.from + 0.5 * (region.to - region.from), middle, error)) return false;
    region.TDI_ties = std::move(middle.TDI_ties);
    region.TDTS_ties = std::move(middle.TDTS_ties);
    volcano.regions.push_back(std::move(region));
  }
  return true;
}

// The top of the volcano: the highest log10 TOF of the fitted cycle, by
// golden-section search between the curve's neighbours of its highest
// point (the curve is taken as unimodal there), never below that point.
bool refine_top(Volcano& volcano, std::string& error) {
  const auto top = static_cast<std::size_t>(volcano.top);
  volcano.top_x = volcano.x[top];
  volcano.top_log10_TOF = volcano.log10_TOF[top];
  if (!std::isfinite(volcano.top_log10_TOF)) return true;
  double a = volcano.x[top == 0 ? 0 : top - 1];
  double b = volcano.x[std::min(top + 1, volcano.x.size() - 1)];
  // Golden-section search, both inner points placed anew from the ends at
  // every step (an inner point carried over drifts out of order when the
  // bracket shrinks by many orders of magnitude, as it does across a range
  // of 1e100), down to a relative 1e-12 of where the top is, not of where
  // the search began: some 500 steps there, two evaluations each.
  const double ratio = 0.5 * (std::sqrt(5.0) - 1.0);
  double c = 0.0, d = 0.0;
  Probe pc, pd;
  for (int step = 0; step < 4000; ++step) {
    c = b - ratio * (b - a);
    d = a + ratio * (b - a);
    if (!probe(volcano.fits, c, pc, error) || !probe(volcano.fits, d, pd, error)) return false;
    const double x = pc.log10_TOF >= pd.log10_TOF ? c : d;
    if (b - a <= 1e-12 * std::max(1.0, std::abs(x))) break;
    if (pc.log10_TOF >= pd.log10_TOF) {
      b = d;
    } else {
      a = c;
    }
  }
  const Probe& best = pc.log10_TOF >= pd.log10_TOF ? pc : pd;
  const bool between = best.log10_TOF > volcano.top_log10_TOF;
  if (between) {
    volcano.top_x = &best == &pc ? c : d;
    volcano.top_log10_TOF = best.log10_TOF;
  }
  volcano.top_inside = between || (top > 0 && top + 1 < volcano.x.size());
  Evaluation run;
  if (!evaluated(fitted_cycle(volcano.fits, volcano.top_x), run, error)) return false;
  volcano.top_energetic_span = energetic_span(run.cycle, run.results);
  volcano.top_endergonic_step = most_endergonic_step(run.cycle);
  return true;
}

}  // namespace volcano_detail
}  // namespace kinex

// The energy-profile picture in three steps: what is shown (plot_scene.h),
// where it goes (plot_layout.h), and the SVG document (plot_svg.h). Several
// cycles overlaid are plot_overlay.h's.
#include "figures/plot.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "figures/plot_layout.h"
#include "figures/plot_overlay.h"
#include "figures/plot_scene.h"
#include "figures/plot_svg.h"
#include "model/uncertainty.h"
#include "outputs/format.h"

namespace kinex {

namespace plot {

Fit fit_options(const PlotOptions& options) {
  Fit fit;
  const double points = options.font_size > 0 ? options.font_size
                        : options.width > 0 && options.width < kNarrowInches * kPxPerInch
                            ? kColumnFontSize
                            : kPageFontSize;
  fit.scale = points * kPxPerPoint / kLabelSize;
  if (options.width > 0) {
    fit.layout.width = options.width / fit.scale;
    if (fit.layout.width < kMinNarrowCanvas) {
      // The text shrinks rather than the picture growing past the width.
      fit.layout.width = kMinNarrowCanvas;
      fit.scale = options.width / kMinNarrowCanvas;
    }
  }
  // Larger text, not a wider picture: kMaxWidth on the page.
  fit.layout.max_width = kMaxWidth / fit.scale;
  if (options.height > 0) fit.layout.min_height = options.height / fit.scale;
  fit.layout.no_title = options.no_title;
  fit.layout.y_range = options.has_y_range;
  fit.layout.y_from = std::min(options.y_from, options.y_to);
  fit.layout.y_to = std::max(options.y_from, options.y_to);
  return fit;
}

void drop_span_unit(Texts& texts) {
  texts.span_unit = false;
  if (texts.effective_label.empty()) return;
  std::string& last = texts.effective_label.back().text;
  const std::string unit = kEnergyUnit;
  if (last.size() >= unit.size() && last.compare(last.size() - unit.size(), unit.size(), unit) == 0)
    last.resize(last.size() - unit.size());
}

// The Monte Carlo of options.sigmas over the run's cycle.
StateUncertainty state_uncertainty(const Run& run, const PlotOptions& options) {
  StateUncertainty u;
  UncertaintyModel model;
  model.sigma = options.sigmas;
  model.samples = options.sigma_samples;
  model.seed = options.sigma_seed;
  model.correlation = options.sigma_correlation;
  u.sigma = model.sigma;
  u.samples = model.samples;
  u.seed = model.seed;
  u.correlation = model.correlation;
  Distribution d;
  std::string reason;
  if (sample_uncertainty(run.cycle, model, 0, d, reason)) {
    u.TDI_probability = std::move(d.TDI_probability);
    u.TDTS_probability = std::move(d.TDTS_probability);
  } else {
    u.reason = "The probabilities of TDI and TDTS are not shown: " + reason + ".";
  }
  return u;
}

}  // namespace plot

std::string check_plot_sizes(const PlotOptions& options) {
  const struct {
    const char* what;
    double value, largest;
    const char* words;
  } sizes[] = {
      {"width", options.width, kMaxPictureSize, " px: a picture is at most 100000 px wide"},
      {"height", options.height, kMaxPictureSize, " px: a picture is at most 100000 px high"},
      {"font size", options.font_size, kMaxFontSize, " pt: a font is at most 750 pt"}};
  for (const auto& size : sizes) {
    if (std::isfinite(size.value) && size.value >= 0.0 && size.value <= size.largest) continue;
    return std::string(size.what) + " " + shortest(size.value) + size.words;
  }
  return {};
}

bool parse_paper_size(std::string_view text, PaperSize& size, std::string& error) {
  size = {};
  if (text == "column" || text == "page") {
    size.width = (text == "column" ? kColumnInches : kPageInches) * kPxPerInch;
    size.font_size = text == "column" ? kColumnFontSize : kPageFontSize;
    return true;
  }
  const bool mm = text.size() > 2 && text.substr(text.size() - 2) == "mm";
  const bool inches = text.size() > 2 && text.substr(text.size() - 2) == "in";
  const std::string_view numbers = text.substr(0, text.size() - (mm || inches ? 2 : 0));
  const std::size_t cross = numbers.find('x');
  double w = 0.0, h = 0.0;
  const auto number = [](std::string_view digits, double& value) {
    const char* end = digits.data() + digits.size();
    const auto [at, ec] = std::from_chars(digits.data(), end, value);
    return !digits.empty() && ec == std::errc() && at == end && std::isfinite(value) && value > 0;
  };
  bool ok = (mm || inches) && number(numbers.substr(0, cross), w) &&
            (cross == std::string_view::npos || number(numbers.substr(cross + 1), h));
  const double px = mm ? kPxPerInch / 25.4 : kPxPerInch;
  ok = ok && w * px <= kMaxPictureSize && h * px <= kMaxPictureSize;
  if (!ok) {
    error = "--size " + std::string(text) +
            ": give column, page, or a width and perhaps a height in in or mm (3.3in, 85x60mm)";
    return false;
  }
  size.width = w * px;
  size.height = h * px;
  size.font_size = size.width < kNarrowInches * kPxPerInch ? kColumnFontSize : kPageFontSize;
  return true;
}

std::string render_profile_svg(const Run& run, const std::string& file_name,
                               const PlotOptions& options) {
  const bool labelled = !options.labels.empty() && !options.labels.front().empty();
  plot::Scene scene = plot::make_scene(run, labelled ? options.labels.front() : file_name);
  if (options.has_title) scene.texts.title.text = options.title;
  scene.texts.x_title = options.xlabel;
  scene.texts.y_title = options.ylabel;
  if (!options.sigmas.empty()) {
    plot::add_uncertainty(run, plot::state_uncertainty(run, options), scene);
  }
  const plot::Fit fit = plot::fit_options(options);
  if (fit.layout.width > 0 && fit.layout.width < plot::kMinCanvas)
    plot::drop_span_unit(scene.texts);
  const plot::Layout layout = plot::lay_out(scene.states, scene.span, scene.texts, fit.layout);
  const plot::SpanDrawing span = plot::place_span(scene.states, layout, scene.span, scene.texts);
  return plot::write_svg(scene, layout, span, fit.scale);
}

std::string render_profiles_svg(const std::vector<const Run*>& runs, const PlotOptions& options) {
  if (runs.size() == 1) return render_profile_svg(*runs.front(), runs.front()->input_name, options);
  return plot::render_overlay(runs, options);
}

}  // namespace kinex

// The volcano's outputs: its JSON document, its CSV table and its text.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "outputs/format.h"
#include "outputs/state_names.h"
#include "platform/files.h"
#include "text/shown_name.h"
#include "text/strings.h"
#include "volcano/volcano.h"
#include "volcano/volcano_internal.h"

namespace kinex {

using namespace volcano_detail;

std::string descriptor_text(double x, double from, double to) {
  const double step = (to - from) / 1000.0;
  if (!std::isfinite(x) || std::abs(x) >= 1e7 || !(step > 0.0)) return significant(x);
  return with_decimals(x, std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 17));
}

std::string top_descriptor_text(double x, double from, double to) {
  return std::abs(x) < 100.0 * ((to - from) / 1000.0) ? significant(x)
                                                      : descriptor_text(x, from, to);
}

Json json_real(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json json_reals(const std::vector<double>& v) {
  Json array = Json::array();
  for (double x : v) array.push_back(json_real(x));
  return array;
}

Json conditions_json(const Cycle& c) {
  Json reactants = Json::array(), products = Json::array();
  for (int64_t i = 1; i <= c.n; ++i) {
    const auto I = static_cast<std::size_t>(i);
    reactants.push_back(c.has_reac[I] ? json_real(c.conc_reac[I]) : Json(nullptr));
    products.push_back(c.has_prod[I] ? json_real(c.conc_prod[I]) : Json(nullptr));
  }
  return Json{{"T", json_real(c.T)},
              {"reactant_concentrations", std::move(reactants)},
              {"product_concentrations", std::move(products)}};
}

std::string fits_table(const std::vector<std::string>& header,
                       const std::vector<std::vector<std::string>>& rows) {
  std::size_t width = shown_width(header[0]);
  for (const std::vector<std::string>& row : rows) width = std::max(width, shown_width(row[0]));
  const auto padded = [](std::string text, std::size_t to) {
    const std::size_t shown = shown_width(text);
    if (shown < to) text.append(to - shown, ' ');
    return text;
  };
  const auto line = [&](const std::vector<std::string>& row) {
    std::string text = padded(row[0], width) + "  ";
    for (std::size_t k = 1; k < row.size(); ++k) {
      text += k + 1 < row.size() ? padded(row[k], 11) + " " : row[k] + "\n";
    }
    return text;
  };
  std::string out = line(header);
  for (const std::vector<std::string>& row : rows) out += line(row);
  return out;
}

namespace {

Json band_json(const Band& band) {
  return Json{{"low", json_reals(band.low)}, {"high", json_reals(band.high)}};
}

}  // namespace

Json volcano_json(const std::string& file, const Volcano& volcano) {
  const VolcanoFits& fits = volcano.fits;
  Json doc = document_head("volcano");
  doc["program"] = "kinex";
  doc["file"] = file;
  doc["descriptor"] = Json{{"name", fits.descriptor},
                           {"is_state", fits.descriptor_is_state},
                           {"chosen_by", fits.chosen_by}};
  doc["rows"] = fits.rows;
  doc["conditions"] = conditions_json(fits.conditions);
  Json list = Json::array();
  for (const LineFit& fit : fits.fits) {
    list.push_back(
        Json{{"state", fit.state},
             {"slope", json_real(fit.slope)},
             {"intercept", json_real(fit.intercept)},
             {"r2", json_real(fit.r2)},
             {"mae", json_real(fit.mae)},
             {"residual_sd", json_real(fit.residual_sd)},
             {"covariance",
              Json::array(
                  {Json::array({json_real(fit.var_intercept), json_real(fit.cov_intercept_slope)}),
                   Json::array({json_real(fit.cov_intercept_slope), json_real(fit.var_slope)})})},
             {"warning", fit.warning.empty() ? Json(nullptr) : Json(fit.warning)}});
  }
  doc["fits"] = std::move(list);
  doc["curve"] = Json{{"x", json_reals(volcano.x)},
                      {"log10_tof", json_reals(volcano.log10_TOF)},
                      {"energetic_span", json_reals(volcano.energetic_span)},
                      {"effective_span", json_reals(volcano.effective_span)},
                      {"most_endergonic_step", json_reals(volcano.endergonic_step)},
                      {"tdi", volcano.TDI},
                      {"tdts", volcano.TDTS},
                      {"no_driving_force", volcano.no_driving_force}};
  doc["band"] = Json{{"samples", volcano.samples},
                     {"seed", volcano.seed},
                     {"level", 0.95},
                     {"log10_tof", band_json(volcano.log10_TOF_band)},
                     {"energetic_span", band_json(volcano.energetic_span_band)},
                     {"most_endergonic_step", band_json(volcano.endergonic_step_band)}};
  Json regions = Json::array();
  for (const VolcanoRegion& region : volcano.regions) {
    regions.push_back(Json{{"tdi", region.TDI},
                           {"tdts", region.TDTS},
                           {"from", json_real(region.from)},
                           {"to", json_real(region.to)},
                           {"tdi_ties", region.TDI_ties},
                           {"tdts_ties", region.TDTS_ties}});
  }
  doc["regions"] = std::move(regions);
  doc["top"] = Json{{"x", json_real(volcano.top_x)},
                    {"log10_tof", json_real(volcano.top_log10_TOF)},
                    {"energetic_span", json_real(volcano.top_energetic_span)},
                    {"most_endergonic_step", json_real(volcano.top_endergonic_step)},
                    {"inside", volcano.top_inside},
                    {"band", Json{{"low", json_real(volcano.top_band_low)},
                                  {"high", json_real(volcano.top_band_high)}}}};
  Json points = Json::array();
  for (const VolcanoPoint& point : volcano.points) {
    points.push_back(Json{{"name", point.name},
                          {"x", json_real(point.x)},
                          {"log10_tof", json_real(point.log10_TOF)},
                          {"energetic_span", json_real(point.energetic_span)},
                          {"effective_span", json_real(point.effective_span)},
                          {"most_endergonic_step", json_real(point.endergonic_step)},
                          {"tdi", point.TDI},
                          {"tdts", point.TDTS},
                          {"no_driving_force", point.no_driving_force},
                          {"outlier", point.outlier},
                          {"outlier_states", point.outlier_states},
                          {"tdi_ties", point.TDI_ties},
                          {"tdts_ties", point.TDTS_ties}});
  }
  doc["points"] = std::move(points);
  doc["warnings"] = volcano.warnings;
  return doc;
}

std::string volcano_csv(const Volcano& volcano) {
  CsvNames as_they_are;
  return volcano_csv(volcano, as_they_are);
}

std::string volcano_csv(const Volcano& volcano, CsvNames& guard) {
  std::string out =
      "x,log10_tof,log10_tof_low,log10_tof_high,energetic_span,energetic_span_low,"
      "energetic_span_high,effective_span,most_endergonic_step,most_endergonic_step_low,"
      "most_endergonic_step_high,tdi,tdts\n";
  for (std::size_t p = 0; p < volcano.x.size(); ++p) {
    for (double value :
         {volcano.x[p], volcano.log10_TOF[p], volcano.log10_TOF_band.low[p],
          volcano.log10_TOF_band.high[p], volcano.energetic_span[p],
          volcano.energetic_span_band.low[p], volcano.energetic_span_band.high[p],
          volcano.effective_span[p], volcano.endergonic_step[p],
          volcano.endergonic_step_band.low[p], volcano.endergonic_step_band.high[p]}) {
      if (std::isfinite(value)) out += shortest(value);  // no band: empty
      out += ',';
    }
    out += guard.field(volcano.TDI[p]);
    out += ',';
    out += guard.field(volcano.TDTS[p]);
    out += '\n';
  }
  return out;
}

namespace {

// A state and those tied with it, as the text shows them: "S0 = S1 = S2".
std::string with_ties(const std::string& state, const std::vector<std::string>& ties) {
  std::string text = state;
  for (const std::string& tied : ties) text += " = " + tied;
  return text;
}

}  // namespace

std::string volcano_text(const std::string& file, const Volcano& volcano) {
  const VolcanoFits& fits = volcano.fits;
  std::string out = "Volcano of ";
  out += text::shown_name(file);
  out += " (" + std::to_string(fits.rows.size()) +
         " catalysts, T = " + shortest(fits.conditions.T) + " K)\n";
  out += "Descriptor: " + fits.descriptor + (fits.descriptor_is_state ? " (a state)" : "") + ", " +
         fits.chosen_by + "\n\n";
  std::vector<std::vector<std::string>> rows;
  for (const LineFit& fit : fits.fits) {
    rows.push_back({fit.state, significant(fit.slope), significant(fit.intercept),
                    significant(fit.r2), significant(fit.mae), significant(fit.residual_sd)});
  }
  out += fits_table({"State", "slope", "intercept", "R2", "MAE", "sd"}, rows);
  // Descriptor values to a thousandth of the range, however far from 0.
  const auto at = [&](double x) { return descriptor_text(x, volcano.from, volcano.to); };
  out += "\nRegions (descriptor from .. to: TDI, TDTS):\n";
  for (const VolcanoRegion& region : volcano.regions) {
    out += "  " + at(region.from) + " .. " + at(region.to) + ": " +
           with_ties(region.TDI, region.TDI_ties) + ", " +
           with_ties(region.TDTS, region.TDTS_ties) + "\n";
  }
  if (volcano.top_inside) {
    out += "\nTop: log10 TOF " + significant(volcano.top_log10_TOF) + " at " + fits.descriptor +
           " = " + top_descriptor_text(volcano.top_x, volcano.from, volcano.to);
  } else {
    out += "\nTop: none inside the range; log10 TOF is highest at its " +
           std::string(volcano.top_x <= volcano.from ? "start" : "end") + ", " +
           significant(volcano.top_log10_TOF) + " at " + fits.descriptor + " = " +
           at(volcano.top_x);
  }
  if (std::isfinite(volcano.top_band_low)) {
    out += " (95 % band " + significant(volcano.top_band_low) + " .. " +
           significant(volcano.top_band_high) + ")";
  }
  out += "\n\nCatalysts (descriptor, log10 TOF, TDI, TDTS):\n";
  for (const VolcanoPoint& point : volcano.points) {
    out += "  " + text::shown_name(point.name) + ": " + at(point.x) + ", " +
           significant(point.log10_TOF) + ", " + with_ties(point.TDI, point.TDI_ties) + ", " +
           with_ties(point.TDTS, point.TDTS_ties);
    if (point.outlier) out += "  outlier in " + joined(point.outlier_states);
    out += "\n";
  }
  for (const std::string& warning : volcano.warnings) out += "Warning: " + warning + "\n";
  return out;
}

}  // namespace kinex

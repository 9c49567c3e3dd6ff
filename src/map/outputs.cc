// The outputs of a map: its JSON document, the CSV of its grid, and the
// text for people.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "map/map.h"
#include "outputs/state_names.h"
#include "text/shown_name.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

// The grid's values at each point as NY rows of NX.
template <class Value>
Json rows_of(const Map& map, const Value& value) {
  Json rows = Json::array();
  for (std::size_t j = 0; j < map.y.size(); ++j) {
    Json row = Json::array();
    for (std::size_t i = 0; i < map.x.size(); ++i) row.push_back(value(j * map.x.size() + i));
    rows.push_back(std::move(row));
  }
  return rows;
}

const std::string& tdi_of(const Map& map, std::size_t k) {
  return map.TDI_names[static_cast<std::size_t>(map.TDI[k])];
}

const std::string& tdts_of(const Map& map, std::size_t k) {
  return map.TDTS_names[static_cast<std::size_t>(map.TDTS[k])];
}

}  // namespace

Json map_json(const std::string& file, const Map& map) {
  Json doc = document_head("map");
  doc["program"] = "kinex";
  doc["file"] = file;
  doc["x"] = Json{{"name", map.x_name}};
  doc["y"] = Json{{"name", map.y_name}, {"temperature", map.over_temperature}};
  const char* quantity = quantity_name(map.quantity);
  const std::vector<double>& values = quantity_values(map);
  doc["quantity"] = quantity;
  doc["rows"] = map.rows;
  doc["conditions"] = conditions_json(map.conditions);
  Json fits = Json::array();
  for (const PlaneFit& fit : map.fits) {
    fits.push_back(Json{{"state", fit.state},
                        {"intercept", json_real(fit.intercept)},
                        {"slope_x", json_real(fit.slope_x)},
                        {"slope_y", json_real(fit.slope_y)},
                        {"r2", json_real(fit.r2)},
                        {"mae", json_real(fit.mae)},
                        {"residual_sd", json_real(fit.residual_sd)},
                        {"warning", fit.warning.empty() ? Json(nullptr) : Json(fit.warning)}});
  }
  doc["fits"] = std::move(fits);
  doc["grid"] = Json{{"x", json_reals(map.x)},
                     {"y", json_reals(map.y)},
                     {quantity, rows_of(map, [&](std::size_t k) { return json_real(values[k]); })},
                     {"tdi", rows_of(map, [&](std::size_t k) { return Json(tdi_of(map, k)); })},
                     {"tdts", rows_of(map, [&](std::size_t k) { return Json(tdts_of(map, k)); })},
                     {"no_driving_force", rows_of(map, [&](std::size_t k) {
                        return Json(static_cast<bool>(map.no_driving_force[k]));
                      })}};
  const auto top = static_cast<std::size_t>(map.top);
  doc["top"] = Json{{"x", json_real(map.x[top % map.x.size()])},
                    {"y", json_real(map.y[top / map.x.size()])},
                    {quantity, json_real(values[top])},
                    {"tdi", tdi_of(map, top)},
                    {"tdts", tdts_of(map, top)}};
  Json points = Json::array();
  for (const MapPoint& point : map.points) {
    points.push_back(Json{{"name", point.name},
                          {"x", json_real(point.x)},
                          {"y", json_real(point.y)},
                          {"log10_tof", json_real(point.log10_TOF)},
                          {"fitted_log10_tof", json_real(point.fitted_log10_TOF)},
                          {"tdi", point.TDI},
                          {"tdts", point.TDTS}});
  }
  doc["points"] = std::move(points);
  doc["warnings"] = map.warnings;
  return doc;
}

std::string map_csv(const Map& map, CsvNames& names) {
  std::string out = map.over_temperature ? "x,T," : "x,y,";
  out += quantity_name(map.quantity);
  out += ",tdi,tdts,no_driving_force\n";
  const std::vector<double>& values = quantity_values(map);
  for (std::size_t k = 0; k < values.size(); ++k) {
    out += shortest(map.x[k % map.x.size()]) + "," + shortest(map.y[k / map.x.size()]) + "," +
           shortest(values[k]) + "," + names.field(tdi_of(map, k)) + "," +
           names.field(tdts_of(map, k)) + "," + (map.no_driving_force[k] ? "true" : "false") + "\n";
  }
  return out;
}

std::string map_text(const std::string& file, const Map& map) {
  std::string out =
      "Map of " + text::shown_name(file) + " (" + std::to_string(map.rows.size()) + " catalysts";
  out += map.over_temperature ? ")\n" : ", T = " + shortest(map.conditions.T) + " K)\n";
  out += "Axes: " + map.x_name + " (x) and " +
         (map.over_temperature ? std::string("the temperature T (y, K)") : map.y_name + " (y)") +
         "\n\n";
  std::vector<std::string> header = {"State", "intercept", "slope x", "slope y", "R2", "MAE", "sd"};
  std::vector<std::vector<std::string>> rows;
  for (const PlaneFit& fit : map.fits) {
    rows.push_back({fit.state, significant(fit.intercept), significant(fit.slope_x),
                    significant(fit.slope_y), significant(fit.r2), significant(fit.mae),
                    significant(fit.residual_sd)});
  }
  if (map.over_temperature) {  // lines of x: no slope y
    header.erase(header.begin() + 3);
    for (std::vector<std::string>& row : rows) row.erase(row.begin() + 3);
  }
  out += fits_table(header, rows);
  // Values to a thousandth of their axis's range, however far from 0.
  const auto at_x = [&](double x) { return descriptor_text(x, map.x_from, map.x_to); };
  const auto at_y = [&](double y) { return descriptor_text(y, map.y_from, map.y_to); };
  out += "\nGrid: " + std::to_string(map.x.size()) + " x " + std::to_string(map.y.size()) +
         " points, " + map.x_name + " from " + at_x(map.x_from) + " to " + at_x(map.x_to) + ", " +
         map.y_name + " from " + at_y(map.y_from) + " to " + at_y(map.y_to) + "\n";
  const auto top = static_cast<std::size_t>(map.top);
  out += map.quantity == MapQuantity::energetic_span
             ? "Top: energetic span " + significant(map.energetic_span[top]) + " kcal/mol at "
             : "Top: log10 TOF " + significant(map.log10_TOF[top]) + " at ";
  out += map.x_name + " = " + at_x(map.x[top % map.x.size()]) + ", " + map.y_name + " = " +
         at_y(map.y[top / map.x.size()]) + " (TDI " + tdi_of(map, top) + ", TDTS " +
         tdts_of(map, top) + ")\n";
  // The regions by their share of the grid, in the order first met.
  std::vector<std::pair<std::string, std::size_t>> regions;
  for (std::size_t k = 0; k < map.log10_TOF.size(); ++k) {
    const std::string name = tdi_of(map, k) + ", " + tdts_of(map, k);
    const auto at = std::find_if(regions.begin(), regions.end(),
                                 [&](const auto& region) { return region.first == name; });
    if (at == regions.end()) {
      regions.emplace_back(name, 1);
    } else {
      ++at->second;
    }
  }
  out += "\nRegions (TDI, TDTS: share of the grid):\n";
  for (const auto& [name, count] : regions) {
    out += "  " + name + ": " +
           significant(100.0 * static_cast<double>(count) /
                       static_cast<double>(map.log10_TOF.size())) +
           " %\n";
  }
  out += "\nCatalysts (" + map.x_name + ", " + map.y_name +
         ", log10 TOF, fitted log10 TOF, TDI, TDTS):\n";
  for (const MapPoint& point : map.points) {
    out += "  " + text::shown_name(point.name) + ": " + at_x(point.x) + ", " + at_y(point.y) +
           ", " + significant(point.log10_TOF) + ", " + significant(point.fitted_log10_TOF) + ", " +
           point.TDI + ", " + point.TDTS + "\n";
  }
  for (const std::string& warning : map.warnings) out += "Warning: " + warning + "\n";
  return out;
}

}  // namespace kinex

// kinex.Map and its parts: the fits and the catalysts.
#include <kinex/map.h>
#include <kinex/pictures.h>
#include <kinex/table.h>

#include <memory>
#include <optional>

#include "binding.h"

namespace kinex::python {
namespace {

// The map of a table, as the Python object holds it.
struct MapHandle {
  std::shared_ptr<const MapData> data;  // the table's name, the map
  const Map& map() const { return data->map; }
};

// The map of the table `path` (rows without a temperature at T), as kinex
// map builds it, and the rows left out: with `warn` each bad row is left
// out (its kinex.InputError returned, not raised), else the first is
// raised. The GIL is released while the grid is evaluated.
py::tuple make_map(const std::string& path, double T, bool warn, const std::string& x,
                   const std::string& y, const std::optional<std::pair<double, double>>& T_range,
                   const std::optional<std::pair<double, double>>& x_range,
                   const std::optional<std::pair<double, double>>& y_range, int64_t nx, int64_t ny,
                   int threads, const std::string& quantity) {
  py::list left_out;
  const std::vector<TableRow> good = good_rows(path, T, warn, left_out);
  MapOptions options;
  options.x = x;
  options.y = y;
  if (T_range) options.T_from = T_range->first, options.T_to = T_range->second;
  if (x_range)
    options.has_x_range = true, options.x_from = x_range->first, options.x_to = x_range->second;
  if (y_range)
    options.has_y_range = true, options.y_from = y_range->first, options.y_to = y_range->second;
  options.nx = nx;
  options.ny = ny;
  options.threads = threads;
  if (!quantity_named(quantity, options.quantity))
    throw py::value_error("quantity: '" + quantity + "' is not 'log10_tof' or 'energetic_span'");
  auto data = std::make_shared<MapData>();
  data->file = path;
  build_released(path, [&](const std::function<bool()>& stop, std::string& error) {
    options.stop = stop;
    return features::build_map(good, options, data->map, error);
  });
  return py::make_tuple(MapHandle{std::move(data)}, left_out);
}

// The names of the TDI (TDTS) at every grid point, an (NY, NX) array of str.
py::object names_of(const Map& map, bool tdts) {
  py::list rows;
  for (std::size_t j = 0; j < map.y.size(); ++j) {
    py::list row;
    for (std::size_t i = 0; i < map.x.size(); ++i) {
      const std::size_t k = j * map.x.size() + i;
      row.append(tdts ? map.TDTS_names[static_cast<std::size_t>(map.TDTS[k])]
                      : map.TDI_names[static_cast<std::size_t>(map.TDI[k])]);
    }
    rows.append(row);
  }
  return py::module_::import("numpy").attr("array")(rows, "str");
}

void bind_map_parts(py::module_& m) {
  py::class_<PlaneFit>(m, "MapFit",
                       "The fit of one state of a map: G = intercept + slope_x x + slope_y y, by "
                       "least squares over the catalysts (slope_y 0 over the temperature).")
      .def_readonly("state", &PlaneFit::state, "The state fitted, by name.")
      .def_readonly("intercept", &PlaneFit::intercept, "The energy at x = y = 0 (kcal/mol).")
      .def_readonly("slope_x", &PlaneFit::slope_x, "kcal/mol per unit of x.")
      .def_readonly("slope_y", &PlaneFit::slope_y, "kcal/mol per unit of y (0 over T).")
      .def_readonly("r2", &PlaneFit::r2,
                    "R\u00b2 of the fit (1 for a state the same in every row).")
      .def_readonly("mae", &PlaneFit::mae, "The mean |residual| (kcal/mol).")
      .def_readonly("residual_sd", &PlaneFit::residual_sd,
                    "sqrt(SSE / (m - p)) over the m rows, p the coefficients fitted.")
      .def_property_readonly(
          "warning",
          [](const PlaneFit& f) -> py::object {
            return f.warning.empty() ? py::object(py::none()) : py::object(py::str(f.warning));
          },
          "Why the fit cannot be trusted (too few rows, R\u00b2 below 0.5), else None.")
      .def("__repr__", [](const PlaneFit& f) {
        return "<kinex.MapFit " + f.state + " = " + repr_number(f.intercept) + " + " +
               repr_number(f.slope_x) + " x + " + repr_number(f.slope_y) +
               " y, R2 = " + repr_number(f.r2) + ">";
      });

  py::class_<MapPoint>(m, "MapPoint", "A catalyst of a map at its own x and y.")
      .def_readonly("name", &MapPoint::name, "The catalyst (the table's column 1).")
      .def_readonly("x", &MapPoint::x, "Its x.")
      .def_readonly("y", &MapPoint::y, "Its y (its temperature over the temperature).")
      .def_readonly("log10_tof", &MapPoint::log10_TOF, "log10 TOF (1/s) of its own cycle.")
      .def_readonly("fitted_log10_tof", &MapPoint::fitted_log10_TOF,
                    "log10 TOF (1/s) of the fitted cycle at its x and y.")
      .def_readonly("tdi", &MapPoint::TDI, "Its TDI, by name.")
      .def_readonly("tdts", &MapPoint::TDTS, "Its TDTS, by name.")
      .def("__repr__", [](const MapPoint& p) {
        return "<kinex.MapPoint " + described(py::str(p.name)) + " at (" + repr_number(p.x) + ", " +
               repr_number(p.y) + "): log10 TOF " + repr_number(p.log10_TOF) + ">";
      });
}

}  // namespace

void bind_map(py::module_& m) {
  bind_map_parts(m);
  using M = const MapHandle&;
  py::class_<MapHandle>(
      m, "Map",
      "An activity map of a table of catalysts, as kinex map makes it "
      "(kinex.map()): log10 TOF (or the energetic span), TDI and TDTS of the fitted cycle "
      "over a grid. Immutable; pickles; kinex.to_dataframe(map) gives a row "
      "per grid point.")
      .def_property_readonly(
          "file", [](M v) { return v.data->file; }, "The table, as named.")
      .def_property_readonly(
          "x_name", [](M v) { return v.map().x_name; }, "The first axis's descriptor.")
      .def_property_readonly(
          "y_name", [](M v) { return v.map().y_name; },
          "The second axis's descriptor, or 'T' over the temperature.")
      .def_property_readonly(
          "over_temperature", [](M v) { return v.map().over_temperature; },
          "Whether the second axis is the temperature (K).")
      .def_property_readonly(
          "rows", [](M v) { return v.map().rows; }, "The catalysts fitted, in table order.")
      .def_property_readonly(
          "fits", [](M v) { return v.map().fits; },
          "The fit of every state (kinex.MapFit), in cycle order, the final state last.")
      .def_property_readonly(
          "x", [](M v) { return array_of(v.map().x); }, "The grid's x values, shape (NX,).")
      .def_property_readonly(
          "y", [](M v) { return array_of(v.map().y); }, "The grid's y values, shape (NY,).")
      .def_property_readonly(
          "log10_tof",
          [](M v) {
            const Map& map = v.map();
            py::array_t<double> out(
                {static_cast<py::ssize_t>(map.y.size()), static_cast<py::ssize_t>(map.x.size())});
            std::copy(map.log10_TOF.begin(), map.log10_TOF.end(), out.mutable_data());
            return out;
          },
          "log10 TOF (1/s) of the fitted cycle, shape (NY, NX): [j, i] at (x[i], y[j]).")
      .def_property_readonly(
          "quantity", [](M v) { return quantity_name(v.map().quantity); },
          "What the map shows: 'log10_tof' or 'energetic_span'.")
      .def_property_readonly(
          "energetic_span",
          [](M v) -> py::object {
            const Map& map = v.map();
            if (map.energetic_span.empty()) return py::none();
            py::array_t<double> out(
                {static_cast<py::ssize_t>(map.y.size()), static_cast<py::ssize_t>(map.x.size())});
            std::copy(map.energetic_span.begin(), map.energetic_span.end(), out.mutable_data());
            return out;
          },
          "The energetic span (kcal/mol) of the fitted cycle, shape (NY, NX), where the map "
          "shows it (quantity='energetic_span'); else None.")
      .def_property_readonly(
          "tdi", [](M v) { return names_of(v.map(), false); },
          "The TDI at every grid point by name, shape (NY, NX).")
      .def_property_readonly(
          "tdts", [](M v) { return names_of(v.map(), true); },
          "The TDTS at every grid point by name, shape (NY, NX).")
      .def_property_readonly(
          "no_driving_force",
          [](M v) {
            const Map& map = v.map();
            py::array_t<bool> out(
                {static_cast<py::ssize_t>(map.y.size()), static_cast<py::ssize_t>(map.x.size())});
            std::copy(map.no_driving_force.begin(), map.no_driving_force.end(), out.mutable_data());
            return out;
          },
          "Whether the fitted cycle has no positive driving force at each grid point (its log10 "
          "TOF then of |TOF|), shape (NY, NX).")
      .def_property_readonly(
          "points", [](M v) { return v.map().points; },
          "The catalysts at their own x and y (kinex.MapPoint), in table order.")
      .def_property_readonly(
          "warnings", [](M v) { return v.map().warnings; }, "The fits' and the grid's warnings.")
      .def(
          "to_dict",
          [](M v) {
            return python_of(
                [&](JsonVisitor& to) { features::map_json(v.data->file, v.map(), to); });
          },
          "to_dict() -> dict\n\nThe document of kinex map --json, the same keys and numbers.")
      .def(
          "csv", [](M v) { return features::map_csv(v.map()); },
          "csv() -> str\n\nThe text of kinex map --csv: a row per grid point.")
      .def(
          "text", [](M v) { return features::map_text(v.data->file, v.map()); },
          "text() -> str\n\nThe text of kinex map.")
      .def(
          "plot",
          [](M v, const std::optional<std::string>& title, const std::optional<std::string>& xlabel,
             const std::optional<std::string>& ylabel, const py::object& ax,
             const std::optional<std::string>& size, double font_size) {
            return table_picture_drawn(
                features::map_svg(v.data->file, v.map(),
                                  table_picture(title, xlabel, ylabel, size, font_size)),
                v.data->file, ax);
          },
          py::arg("title") = py::none(), py::arg("xlabel") = py::none(),
          py::arg("ylabel") = py::none(), py::arg("ax") = py::none(), py::arg("size") = py::none(),
          py::arg("font_size") = 0.0,
          "plot(title=None, xlabel=None, ylabel=None, ax=None, size=None, font_size=0.0) -> "
          "Picture\n\n"
          "The picture of kinex map -o: the heat map of its quantity, its regions and catalysts. "
          "title: None the default, '' none; xlabel, ylabel: the axes' titles (None: the "
          "descriptors' names and units); size: a paper size as kinex map --size takes it "
          "('column', 'page', '85x60mm'); font_size: pt (0: the size's); ax: a matplotlib "
          "Axes to draw it into (then returned).")
      .def(py::pickle([](M v) { return py::bytes(to_bytes(*v.data)); },
                      [](const py::bytes& state) { return unpickled<MapHandle, MapData>(state); }))
      .def("__repr__", [](M v) {
        const Map& map = v.map();
        return "<kinex.Map " + described(py::str(v.data->file)) + ": " +
               std::to_string(map.rows.size()) + " catalysts over " +
               described(py::str(map.x_name)) + " and " + described(py::str(map.y_name)) + ", " +
               std::to_string(map.x.size()) + " x " + std::to_string(map.y.size()) + " points>";
      });

  m.def("_map", &make_map, py::arg("path"), py::arg("T"), py::arg("warn"), py::arg("x"),
        py::arg("y"), py::arg("T_range"), py::arg("x_range"), py::arg("y_range"), py::arg("nx"),
        py::arg("ny"), py::arg("threads"), py::arg("quantity"));
}

}  // namespace kinex::python

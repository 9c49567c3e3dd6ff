// kinex.Volcano and its parts: fits, regions, points and the band.
#include <kinex/pictures.h>
#include <kinex/table.h>
#include <kinex/volcano.h>

#include <optional>

#include "binding.h"
#include "docs.h"

namespace kinex::python {
namespace {

// The volcano of the table `path` (rows without a temperature at T), as
// kinex volcano builds it, and the rows left out: with `warn` each bad row
// is left out (its kinex.InputError returned, not raised), else the first
// is raised. The GIL is released while the curve and its band are drawn.
py::tuple make_volcano(const std::string& path, double T, bool warn, const std::string& descriptor,
                       const std::optional<std::pair<double, double>>& range, int64_t points,
                       int64_t samples, uint64_t seed, int threads) {
  py::list left_out;
  const std::vector<TableRow> good = good_rows(path, T, warn, left_out);
  VolcanoOptions options;
  options.descriptor = descriptor;
  if (range) options.has_range = true, options.from = range->first, options.to = range->second;
  options.points = points;
  options.samples = samples;
  options.seed = seed;
  options.threads = threads;
  auto data = std::make_shared<VolcanoData>();
  data->file = path;
  build_released(path, [&](const std::function<bool()>& stop, std::string& error) {
    options.stop = stop;
    return features::build_volcano(good, options, data->volcano, error);
  });
  return py::make_tuple(VolcanoHandle{std::move(data)}, left_out);
}

py::tuple band_of(const Band& band) {
  return py::make_tuple(array_of(band.low), array_of(band.high));
}

VolcanoCurve volcano_curve(const std::string& curve) {
  if (curve == "tof") return VolcanoCurve::log10_TOF;
  if (curve == "span") return VolcanoCurve::energetic_span;
  if (curve == "step") return VolcanoCurve::endergonic_step;
  throw py::value_error("curve: " + described(py::str(curve)) +
                        " is none of 'tof' (log10 TOF), 'span' (the energetic span) and 'step' "
                        "(the most endergonic step)");
}

std::string volcano_repr(const VolcanoData& data) {
  const Volcano& v = data.volcano;
  return "<kinex.Volcano " + described(py::str(data.file)) + ": " +
         std::to_string(v.fits.rows.size()) + " catalysts along " +
         described(py::str(v.fits.descriptor)) + ", " + std::to_string(v.x.size()) +
         " points, top log10 TOF " + repr_number(v.top_log10_TOF) + " at " + repr_number(v.top_x) +
         ">";
}

// The parts of a volcano: the line of each state, the regions and the points.
void bind_volcano_parts(py::module_& m) {
  py::class_<LineFit>(m, "VolcanoFit", docs::kVolcanoFit)
      .def_readonly("state", &LineFit::state, "The state fitted, by name.")
      .def_readonly("slope", &LineFit::slope, "kcal/mol per unit of the descriptor.")
      .def_readonly("intercept", &LineFit::intercept, "The energy at descriptor 0 (kcal/mol).")
      .def_readonly("r2", &LineFit::r2,
                    "R\u00b2 of the line (1 for a state the same in every row).")
      .def_readonly("mae", &LineFit::mae, "The mean |residual| (kcal/mol).")
      .def_readonly("residual_sd", &LineFit::residual_sd,
                    "sqrt(SSE / (m - 2)) over the m rows (0 with two rows).")
      .def_property_readonly(
          "covariance",
          [](const LineFit& f) {
            py::array_t<double> c({py::ssize_t{2}, py::ssize_t{2}});
            c.mutable_at(0, 0) = f.var_intercept;
            c.mutable_at(0, 1) = c.mutable_at(1, 0) = f.cov_intercept_slope;
            c.mutable_at(1, 1) = f.var_slope;
            return c;
          },
          "The 2x2 covariance of (intercept, slope).")
      .def_property_readonly(
          "warning",
          [](const LineFit& f) -> py::object {
            return f.warning.empty() ? py::object(py::none()) : py::object(py::str(f.warning));
          },
          "Why the line cannot be trusted (too few rows, R\u00b2 below 0.5), else None.")
      .def("__repr__", [](const LineFit& f) {
        return "<kinex.VolcanoFit " + f.state + " = " + repr_number(f.intercept) + " + " +
               repr_number(f.slope) + " x, R2 = " + repr_number(f.r2) + ">";
      });

  py::class_<VolcanoRegion>(m, "VolcanoRegion", docs::kVolcanoRegion)
      .def_readonly("tdi", &VolcanoRegion::TDI, "The TDI throughout, by name.")
      .def_readonly("tdts", &VolcanoRegion::TDTS, "The TDTS throughout, by name.")
      .def_readonly("tdi_ties", &VolcanoRegion::TDI_ties,
                    "The intermediates tied with the TDI (in the region's middle), by name.")
      .def_readonly("tdts_ties", &VolcanoRegion::TDTS_ties,
                    "The transition states tied with the TDTS (in the region's middle), by name.")
      .def_readonly("from_", &VolcanoRegion::from, "The descriptor at its first point.")
      .def_readonly("to", &VolcanoRegion::to, "The descriptor at its last point.")
      .def_readonly("first", &VolcanoRegion::first, "The index of its first point.")
      .def_readonly("last", &VolcanoRegion::last, "The index of its last point.")
      .def("__repr__", [](const VolcanoRegion& r) {
        return "<kinex.VolcanoRegion " + repr_number(r.from) + " .. " + repr_number(r.to) +
               ": TDI " + r.TDI + ", TDTS " + r.TDTS + ">";
      });

  py::class_<VolcanoPoint> point(m, "VolcanoPoint", docs::kVolcanoPoint);
  def_renamed(point, "descriptor", "x");
  point.def_readonly("name", &VolcanoPoint::name, "The catalyst (the table's column 1).")
      .def_readonly("x", &VolcanoPoint::x, "Its descriptor value (the curve's x).")
      .def_readonly("log10_tof", &VolcanoPoint::log10_TOF, "log10 TOF (1/s) of its own cycle.")
      .def_readonly("energetic_span", &VolcanoPoint::energetic_span,
                    "The energetic span of its own cycle (kcal/mol).")
      .def_readonly("effective_span", &VolcanoPoint::effective_span,
                    "The effective span of its own cycle (kcal/mol).")
      .def_readonly("most_endergonic_step", &VolcanoPoint::endergonic_step,
                    "The free energy of its most endergonic step (kcal/mol).")
      .def_readonly("tdi", &VolcanoPoint::TDI, "Its TDI, by name.")
      .def_readonly("tdts", &VolcanoPoint::TDTS, "Its TDTS, by name.")
      .def_readonly("tdi_ties", &VolcanoPoint::TDI_ties,
                    "The intermediates tied with its TDI, by name.")
      .def_readonly("tdts_ties", &VolcanoPoint::TDTS_ties,
                    "The transition states tied with its TDTS, by name.")
      .def_readonly("outlier", &VolcanoPoint::outlier,
                    "Whether a state of it fails the outlier test: a residual of 1 kcal/mol or "
                    "more that the scatter of the other rows makes unlikely (Bonferroni, 5 %).")
      .def_readonly("outlier_states", &VolcanoPoint::outlier_states, "The states that do, by name.")
      .def_readonly("no_driving_force", &VolcanoPoint::no_driving_force,
                    "Whether its own energies give no positive driving force (log10_tof is then "
                    "of |TOF|).")
      .def("__repr__", [](const VolcanoPoint& p) {
        return "<kinex.VolcanoPoint " + described(py::str(p.name)) + " at " + repr_number(p.x) +
               ": log10 TOF " + repr_number(p.log10_TOF) + (p.outlier ? ", outlier" : "") + ">";
      });
}

// The band of a volcano: a view of it.
void bind_volcano_band(py::module_& m) {
  using B = const BandHandle&;
  py::class_<BandHandle>(m, "VolcanoBand", docs::kVolcanoBand)
      .def_property_readonly(
          "log10_tof", [](B b) { return band_of(b.data->volcano.log10_TOF_band); },
          "(low, high): the band of log10 TOF, one value per point.")
      .def_property_readonly(
          "energetic_span", [](B b) { return band_of(b.data->volcano.energetic_span_band); },
          "(low, high): the band of the energetic span (kcal/mol).")
      .def_property_readonly(
          "most_endergonic_step", [](B b) { return band_of(b.data->volcano.endergonic_step_band); },
          "(low, high): the band of the most endergonic step (kcal/mol).")
      .def_property_readonly(
          "samples", [](B b) { return b.data->volcano.samples; },
          "The draws of the lines (0: no band, low and high are the curve).")
      .def_property_readonly(
          "seed", [](B b) { return b.data->volcano.seed; }, "The seed of the draws.")
      .def_property_readonly(
          "level", [](B) { return 0.95; }, "The share of the draws between low and high.")
      .def("__repr__", [](B b) {
        const Volcano& v = b.data->volcano;
        if (v.samples == 0) return std::string("<kinex.VolcanoBand: none, low and high the curve>");
        return "<kinex.VolcanoBand 95 % of " + std::to_string(v.samples) + " draws, seed " +
               std::to_string(v.seed) + ">";
      });
}

}  // namespace

void bind_volcano(py::module_& m) {
  bind_volcano_parts(m);
  bind_volcano_band(m);
  using V = const VolcanoHandle&;
  py::class_<VolcanoHandle>(m, "Volcano", docs::kVolcano)
      .def_property_readonly(
          "file", [](V v) { return v.data->file; }, "The table, as named.")
      .def_property_readonly(
          "descriptor", [](V v) { return v.data->volcano.fits.descriptor; },
          "The descriptor, by its column's header.")
      .def_property_readonly(
          "descriptor_is_state", [](V v) { return v.data->volcano.fits.descriptor_is_state; },
          "Whether the descriptor is a state's energy rather than a Descriptor column.")
      .def_property_readonly(
          "chosen_by", [](V v) { return v.data->volcano.fits.chosen_by; },
          "How the descriptor was chosen, in words.")
      .def_property_readonly(
          "rows", [](V v) { return v.data->volcano.fits.rows; },
          "The catalysts fitted, in table order.")
      .def_property_readonly(
          "fits", [](V v) { return v.data->volcano.fits.fits; },
          "The line of every state (kinex.VolcanoFit), in cycle order, the final state last.")
      .def_property_readonly(
          "x", [](V v) { return array_of(v.data->volcano.x); },
          "The descriptor at every point of the curve.")
      .def_property_readonly(
          "log10_tof", [](V v) { return array_of(v.data->volcano.log10_TOF); },
          "log10 TOF (1/s) of the fitted cycle at every point.")
      .def_property_readonly(
          "energetic_span", [](V v) { return array_of(v.data->volcano.energetic_span); },
          "The energetic span (kcal/mol) at every point.")
      .def_property_readonly(
          "effective_span", [](V v) { return array_of(v.data->volcano.effective_span); },
          "The effective span (kcal/mol) at every point.")
      .def_property_readonly(
          "most_endergonic_step", [](V v) { return array_of(v.data->volcano.endergonic_step); },
          "The free energy of the most endergonic step (kcal/mol) at every point.")
      .def_property_readonly(
          "tdi", [](V v) { return v.data->volcano.TDI; }, "The TDI at every point, by name.")
      .def_property_readonly(
          "tdts", [](V v) { return v.data->volcano.TDTS; }, "The TDTS at every point, by name.")
      .def_property_readonly(
          "no_driving_force",
          [](V v) {
            const std::vector<bool>& flags = v.data->volcano.no_driving_force;
            py::array_t<bool> out(static_cast<py::ssize_t>(flags.size()));
            for (std::size_t k = 0; k < flags.size(); ++k) out.mutable_at(k) = flags[k];
            return out;
          },
          "Where the fitted cycle has no positive driving force (log10_tof is then of |TOF|), "
          "a bool array.")
      .def_property_readonly(
          "band", [](V v) { return BandHandle{v.data}; },
          "The 95 % band of the curves (kinex.VolcanoBand).")
      .def_property_readonly(
          "regions", [](V v) { return v.data->volcano.regions; },
          "The runs of points with the same TDI and TDTS (kinex.VolcanoRegion); from_ and "
          "to are where TDI or TDTS changes, found by bisection between two points.")
      .def_property_readonly(
          "top",
          [](V v) { return std::make_pair(v.data->volcano.top_x, v.data->volcano.top_log10_TOF); },
          "(x, log10_tof) of the top of the volcano: the highest log10 TOF of the fitted "
          "cycle, found between the neighbours of point top_index.")
      .def_property_readonly(
          "top_inside", [](V v) { return v.data->volcano.top_inside; },
          "False when log10 TOF still rises at an end of the range: top is then that end.")
      .def_property_readonly(
          "top_band",
          [](V v) {
            return std::make_pair(v.data->volcano.top_band_low, v.data->volcano.top_band_high);
          },
          "(low, high): the 95 % band of log10 TOF at the top (NaN without a band).")
      .def_property_readonly(
          "top_energetic_span", [](V v) { return v.data->volcano.top_energetic_span; },
          "The energetic span of the fitted cycle at the top (kcal/mol).")
      .def_property_readonly(
          "top_most_endergonic_step", [](V v) { return v.data->volcano.top_endergonic_step; },
          "The most endergonic step of the fitted cycle at the top (kcal/mol).")
      .def_property_readonly(
          "top_index", [](V v) { return v.data->volcano.top; },
          "The index of the point with the highest log10 TOF.")
      .def_property_readonly(
          "points", [](V v) { return v.data->volcano.points; },
          "The catalysts at their own descriptor values (kinex.VolcanoPoint), in table order.")
      .def_property_readonly(
          "warnings", [](V v) { return v.data->volcano.warnings; },
          "The fits' and the curve's warnings.")
      .def(
          "to_dict",
          [](V v) {
            return python_of([&](JsonVisitor& to) {
              features::volcano_json(v.data->file, v.data->volcano, to);
            });
          },
          "to_dict() -> dict\n\nThe document of kinex volcano --json, the same keys and numbers.")
      .def(
          "csv", [](V v) { return features::volcano_csv(v.data->volcano); },
          "csv() -> str\n\nThe text of kinex volcano --csv: the curve, a row per point.")
      .def(
          "text", [](V v) { return features::volcano_text(v.data->file, v.data->volcano); },
          "text() -> str\n\nThe text of kinex volcano.")
      .def(
          "plot",
          [](V v, const std::string& curve, const std::optional<std::string>& title,
             const std::optional<std::string>& xlabel, const std::optional<std::string>& ylabel,
             const py::object& ax, const std::optional<std::string>& size, double font_size) {
            VolcanoPicture picture = table_picture(title, xlabel, ylabel, size, font_size);
            picture.curve = volcano_curve(curve);
            return table_picture_drawn(
                features::volcano_svg(v.data->file, v.data->volcano, picture), v.data->file, ax);
          },
          py::arg("curve") = "tof", py::arg("title") = py::none(), py::arg("xlabel") = py::none(),
          py::arg("ylabel") = py::none(), py::arg("ax") = py::none(), py::arg("size") = py::none(),
          py::arg("font_size") = 0.0, docs::kVolcanoPlot)
      .def("__len__", [](V v) { return v.data->volcano.x.size(); })
      .def("__repr__", [](V v) { return volcano_repr(*v.data); })
      .def(
          "_repr_html_", [](const py::object& self) { return notebook_html("volcano_html", self); },
          docs::kVolcanoHtml)
      .def(py::pickle(
          [](V v) { return py::bytes(to_bytes(*v.data)); },
          [](const py::bytes& state) { return unpickled<VolcanoHandle, VolcanoData>(state); }));

  m.def("_volcano", &make_volcano, py::arg("path"), py::arg("T"), py::arg("warn"),
        py::arg("descriptor"), py::arg("range"), py::arg("points"), py::arg("samples"),
        py::arg("seed"), py::arg("threads"));
}

}  // namespace kinex::python

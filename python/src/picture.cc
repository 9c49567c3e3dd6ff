// Energy profiles as SVG, rendered as PDF or PNG, and writing a picture
// whole or not at all.
#include <kinex/outputs.h>
#include <kinex/pictures.h>
#include <kinex/render.h>
#include <kinex/uncertainty.h>

#include <cmath>
#include <optional>

#include "binding.h"

namespace kinex::python {
namespace {

PlotOptions plot_options(const std::optional<std::string>& title, bool no_title, double width,
                         double height, double font_size,
                         const std::optional<std::pair<double, double>>& y_range) {
  PlotOptions options;
  if (title) options.has_title = true, options.title = *title;
  options.no_title = no_title;
  auto positive = [](const char* what, double x) {
    if (!(x >= 0.0) || !std::isfinite(x)) {
      throw py::value_error(std::string(what) + ": " + std::to_string(x) +
                            " is not a size (a finite number above 0)");
    }
    return x;
  };
  options.width = positive("width", width);
  options.height = positive("height", height);
  options.font_size = positive("font_size", font_size);
  if (const std::string problem = features::check_plot_sizes(options); !problem.empty()) {
    throw py::value_error(problem);
  }
  if (y_range) {
    const auto [from, to] = *y_range;
    if (!std::isfinite(from) || !std::isfinite(to) || !(from < to)) {
      throw py::value_error("y_range: (" + std::to_string(from) + ", " + std::to_string(to) +
                            ") is not a range FROM < TO of finite energies (kcal/mol)");
    }
    options.has_y_range = true, options.y_from = from, options.y_to = to;
  }
  return options;
}

std::string plot_results(const std::vector<ResultHandle>& results, const PlotOptions& options) {
  std::vector<const Run*> runs;
  for (const ResultHandle& r : results) runs.push_back(&r.data->run);
  if (runs.size() == 1) return features::render_profile_svg(*runs[0], runs[0]->input_name, options);
  return features::render_profiles_svg(runs, options);
}

}  // namespace

py::object plot_method(const py::object& self, const py::object& title, const py::object& width,
                       const py::object& height, const py::object& font_size,
                       const py::object& y_range, const py::object& sigma,
                       const py::object& samples, const py::object& seed,
                       const py::object& correlation, const py::object& xlabel,
                       const py::object& ylabel, const py::object& ax, const py::object& size) {
  return py::module_::import("kinex").attr("plot")(
      self, py::arg("title") = title, py::arg("width") = width, py::arg("height") = height,
      py::arg("font_size") = font_size, py::arg("y_range") = y_range, py::arg("sigma") = sigma,
      py::arg("samples") = samples, py::arg("seed") = seed, py::arg("correlation") = correlation,
      py::arg("xlabel") = xlabel, py::arg("ylabel") = ylabel, py::arg("ax") = ax,
      py::arg("size") = size);
}

PaperSize paper_size(const std::string& text) {
  PaperSize size;
  std::string error;
  if (!features::parse_paper_size(text, size, error)) {
    throw py::value_error("size: " + text + ": give 'column', 'page', or a width and perhaps a " +
                          "height in in or mm ('3.3in', '85x60mm')");
  }
  return size;
}

void bind_pictures(py::module_& m) {
  m.def(
      "_paper_size",
      [](const std::string& text) {
        const PaperSize size = paper_size(text);
        return py::make_tuple(size.width, size.height, size.font_size);
      },
      py::arg("text"));
  m.def(
      "_replace_file",
      [](const std::string& path, const std::string& text) {
        std::string reason;
        bool ok = false;
        {
          py::gil_scoped_release unlocked;
          ok = features::replace_file(path, text, reason);
        }
        if (!ok) {
          PyErr_SetString(PyExc_OSError, (path + ": " + reason).c_str());
          throw py::error_already_set();
        }
      },
      py::arg("path"), py::arg("text"));
  m.def(
      "_render_picture",
      [](const std::string& svg, const std::string& format, double dpi) {
        PictureFormat chosen = PictureFormat::svg;
        if (!features::picture_format_of("." + format, chosen)) {
          throw py::value_error("format: '" + format + "': svg, pdf or png");
        }
        std::string bytes, error;
        bool ok = false;
        {
          py::gil_scoped_release unlocked;
          ok = features::render_picture(svg, chosen, dpi, bytes, error);
        }
        if (!ok) throw py::value_error(error);
        return py::bytes(bytes);
      },
      py::arg("svg"), py::arg("format"), py::arg("dpi"));
  m.def(
      "_plot",
      [](const std::vector<ResultHandle>& results, const std::optional<std::string>& title,
         bool no_title, double width, double height, double font_size,
         const std::optional<std::pair<double, double>>& y_range, const py::handle& sigma,
         int64_t samples, uint64_t seed, double correlation, const std::vector<std::string>& labels,
         const std::string& xlabel, const std::string& ylabel) {
        PlotOptions options = plot_options(title, no_title, width, height, font_size, y_range);
        if (labels.size() > results.size()) {
          throw py::value_error("labels: " + std::to_string(labels.size()) + " for " +
                                std::to_string(results.size()) + " cycles");
        }
        options.labels = labels;
        options.xlabel = xlabel;
        options.ylabel = ylabel;
        if (!sigma.is_none()) {
          if (results.size() != 1) {
            throw py::value_error("sigma: error bars are drawn for one cycle, and " +
                                  std::to_string(results.size()) + " are given");
          }
          options.sigmas = sigmas_of(sigma, *results[0].data->source);
          UncertaintyModel model;
          model.sigma = options.sigmas;
          model.samples = samples;
          model.correlation = correlation;
          const std::string error =
              features::check_uncertainty_model(model, results[0].data->run.cycle.n);
          if (!error.empty()) throw py::value_error(error);
          options.sigma_samples = samples;
          options.sigma_seed = seed;
          options.sigma_correlation = correlation;
        }
        return plot_results(results, options);
      },
      py::arg("results"), py::arg("title"), py::arg("no_title"), py::arg("width"),
      py::arg("height"), py::arg("font_size"), py::arg("y_range"), py::arg("sigma"),
      py::arg("samples"), py::arg("seed"), py::arg("correlation"), py::arg("labels"),
      py::arg("xlabel"), py::arg("ylabel"));
}

}  // namespace kinex::python

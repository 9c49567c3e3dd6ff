// Scans of a cycle over temperatures or one step's concentration.
#include <kinex/outputs.h>
#include <kinex/scan.h>

#include <cmath>

#include "binding.h"

namespace kinex::python {
namespace {

// The rows of a scan of `cycle` over `values` as a dict of numpy arrays and
// lists (see kinex.Scan).
py::dict scan(const CycleHandle& cycle, Sweep::Kind kind, int64_t step, const py::handle& given) {
  const int64_t n = cycle.data->cycle.n;
  const bool temperature = kind == Sweep::Kind::Temperature;
  const char* argument = temperature ? "T_values" : "values";
  if (!temperature && (step < 1 || step > n)) {
    throw py::value_error("step: " + std::to_string(step) + " is not one of the steps 1.." +
                          std::to_string(n));
  }
  std::vector<double> values;
  for (const py::object& item : items_of(given, argument)) {
    const std::size_t k = values.size();
    const double x = real_of(item, std::string(argument) + "[" + std::to_string(k) + "]");
    if (!std::isfinite(x) || !(x > 0.0)) {
      throw py::value_error(std::string(argument) + "[" + std::to_string(k) +
                            "]: " + described(item) + " is not a finite " +
                            (temperature ? "temperature" : "concentration") + " above 0");
    }
    values.push_back(x);
  }
  Sweep sweep;
  sweep.kind = kind;
  sweep.step = step;
  std::vector<ScanRow> rows;
  rows.reserve(values.size());
  Run run;
  Failure failure;
  bool ok = prepared_run(*cycle.data, run, failure);
  if (ok) {
    py::gil_scoped_release unlocked;
    ok = features::run_scan(
        run, sweep, values,
        [&rows](const ScanRow& row) {
          rows.push_back(row);
          return true;
        },
        failure);
  }
  if (!ok) raise_memory(failure);

  const StateNames names = features::run_names(run);
  const auto count = static_cast<py::ssize_t>(rows.size());
  py::array_t<double> tof(count), log10_tof(count), energetic(count), effective(count),
      barrier(count), activation(count);
  py::array_t<int64_t> tdi(count), tdts(count);
  py::array_t<bool> warning(count);
  py::list tdi_names, tdts_names, evaluation;
  for (py::ssize_t k = 0; k < count; ++k) {
    const ScanRow& row = rows[static_cast<std::size_t>(k)];
    tof.mutable_at(k) = row.TOF;
    log10_tof.mutable_at(k) = row.log10_TOF;
    energetic.mutable_at(k) = row.energetic_span;
    effective.mutable_at(k) = row.effective_span;
    barrier.mutable_at(k) = row.apparent_barrier;
    activation.mutable_at(k) = row.apparent_activation_energy;
    tdi.mutable_at(k) = row.TDI;
    tdts.mutable_at(k) = row.TDTS;
    warning.mutable_at(k) = row.warning;
    tdi_names.append(features::tdi_state(names, row.TDI));
    tdts_names.append(features::tdts_state(names, row.TDTS));
    evaluation.append(evaluation_name(row.evaluation));
  }
  py::dict columns;
  columns["quantity"] = temperature ? std::string("T")
                                    : (kind == Sweep::Kind::Reactant ? "reactant_" : "product_") +
                                          std::to_string(step);
  columns["values"] = array_of(values.data(), values.size());
  columns["tof_per_s"] = tof;
  columns["log10_tof"] = log10_tof;
  columns["tdi_step"] = tdi;
  columns["tdts_step"] = tdts;
  columns["tdi"] = tdi_names;
  columns["tdts"] = tdts_names;
  columns["energetic_span"] = energetic;
  columns["effective_span"] = effective;
  columns["apparent_barrier"] = barrier;
  columns["apparent_activation_energy"] = activation;
  columns["evaluation"] = evaluation;
  columns["warning"] = warning;
  return columns;
}

}  // namespace

void bind_scans(py::module_& m) {
  m.def(
      "_scan_temperature",
      [](const CycleHandle& c, const py::handle& values) {
        return scan(c, Sweep::Kind::Temperature, 0, values);
      },
      py::arg("cycle"), py::arg("T_values"));
  m.def(
      "_scan_concentration",
      [](const CycleHandle& c, int64_t step, const py::handle& values, const std::string& species) {
        if (species != "reactant" && species != "product") {
          throw py::value_error("species: '" + species + "' is neither 'reactant' nor 'product'");
        }
        return scan(c, species == "reactant" ? Sweep::Kind::Reactant : Sweep::Kind::Product, step,
                    values);
      },
      py::arg("cycle"), py::arg("step"), py::arg("values"), py::arg("species"));
}

}  // namespace kinex::python

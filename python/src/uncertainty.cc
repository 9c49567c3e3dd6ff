// kinex.Uncertainty: the Monte Carlo over the energies' errors, and ensembles.
#include <kinex/uncertainty.h>

#include <algorithm>

#include "binding.h"
#include "docs.h"

namespace kinex::python {
namespace {

// Refuses a sigma that is not a finite number of at least 0, naming the
// state (or none, when one number stands for all).
void checked_sigmas(const std::vector<double>& sigma, const CycleData& data, bool common) {
  for (std::size_t s = 0; s < sigma.size(); ++s) {
    if (is_sigma(sigma[s])) continue;
    const std::string state = features::uncertainty_state_names(data.names, data.cycle.n)[s];
    throw py::value_error(std::string("sigma") +
                          (common ? "" : "[" + std::to_string(s) + "] (" + state + ")") + ": " +
                          described(py::float_(sigma[s])) +
                          " kcal/mol is not a sigma (a finite number, at least 0)");
  }
}

UncertaintyHandle uncertainty(const CycleHandle& cycle, const py::handle& sigma, int64_t samples,
                              uint64_t seed, double correlation, double shared, uint64_t stream,
                              int threads) {
  auto data = std::make_shared<UncertaintyData>();
  data->model.sigma = sigmas_of(sigma, *cycle.data);
  data->model.samples = samples;
  data->model.seed = seed;
  data->model.correlation = correlation;
  data->model.shared = shared;
  data->model.stream = stream;
  std::string error = features::check_uncertainty_model(data->model, cycle.data->cycle.n);
  if (!error.empty()) throw py::value_error(error);
  auto central = std::make_shared<EvaluatedData>();
  Failure failure;
  bool ok = false;
  Interrupts interrupted;
  {
    py::gil_scoped_release unlocked;
    ok = evaluate_data(cycle.data, threads, *central, failure) &&
         features::sample_uncertainty(cycle.data->cycle, data->model, threads, data->d, error,
                                      std::ref(interrupted));
  }
  if (interrupted.raised()) throw py::error_already_set();
  if (!failure.message.empty()) raise_memory(failure);
  if (!ok) throw py::value_error(error);
  data->name = cycle.data->name;
  data->central = std::move(central);
  return {std::move(data)};
}

UncertaintyHandle ensemble(const py::handle& given) {
  std::vector<std::shared_ptr<const CycleData>> cycles;
  for (const py::object& item : items_of(given, "cycles")) {
    if (!py::isinstance<CycleHandle>(item)) {
      throw py::type_error("cycles[" + std::to_string(cycles.size()) + "]: " + described(item) +
                           " is not a kinex.Cycle");
    }
    cycles.push_back(item.cast<const CycleHandle&>().data);
  }
  if (cycles.empty()) throw py::value_error("cycles: an ensemble needs at least one member");
  auto data = std::make_shared<UncertaintyData>();
  data->monte_carlo = false;
  std::vector<Cycle> members;
  std::vector<std::string> row_names;  // the reasons name members by their rows
  for (const auto& c : cycles) {
    members.push_back(c->cycle);
    data->members.push_back(c->from_table ? c->table_row.name : c->name);
    row_names.push_back(c->from_table ? c->table_row.name : std::string());
  }
  auto central = std::make_shared<EvaluatedData>();
  Failure failure;
  std::string error;
  bool ok = false;
  {
    py::gil_scoped_release unlocked;
    ok = evaluate_data(cycles[0], 1, *central, failure) &&
         features::ensemble_uncertainty(members, data->d, error, row_names);
  }
  if (!failure.message.empty()) raise_memory(failure);
  if (!ok) throw py::value_error("cycles: " + error);
  // The table whose rows the members are, or what they are.
  data->name = "ensemble";
  if (std::all_of(cycles.begin(), cycles.end(), [&](const auto& c) {
        return c->from_table && c->table_file == cycles[0]->table_file;
      })) {
    data->name = cycles[0]->table_file;
  }
  data->central = std::move(central);
  return {std::move(data)};
}

UncertaintySource source_of(const UncertaintyData& u) {
  return UncertaintySource{u.name, &u.central->run, u.monte_carlo ? &u.model : nullptr, u.members};
}

// The share of samples in which each state is the TDI (or TDTS), by name in
// cycle order, as kinex uncertainty --json keys them.
py::object probability_by_state(const UncertaintyData& u, bool tdi) {
  const Run& run = u.central->run;
  return python_of([&](JsonVisitor& to) {
    features::state_probabilities(features::uncertainty_state_names(run.names, run.cycle.n),
                                  tdi ? u.d.TDI_probability : u.d.TDTS_probability, tdi, to);
  });
}

// How likely each state is the TDI and the TDTS, the X_TOF's spread, and
// the methods.
void bind_uncertainty_states(py::class_<UncertaintyHandle>& uncertainty_class) {
  using U = const UncertaintyHandle&;
  uncertainty_class
      .def_property_readonly(
          "tdi_probability", [](U u) { return probability_by_state(*u.data, true); },
          "How likely each intermediate is the TDI, {name: share}, in cycle order.")
      .def_property_readonly(
          "tdts_probability", [](U u) { return probability_by_state(*u.data, false); },
          "How likely each transition state is the TDTS, {name: share}, in cycle order.")
      .def_property_readonly(
          "xtof_int_mean",
          [](U u) {
            return array_of(u.data->d.xtof_int_mean.data(), u.data->d.xtof_int_mean.size());
          },
          "The mean X_TOF of each intermediate (I0 first).")
      .def_property_readonly(
          "xtof_int_sd",
          [](U u) { return array_of(u.data->d.xtof_int_sd.data(), u.data->d.xtof_int_sd.size()); },
          "The sd of the X_TOF of each intermediate.")
      .def_property_readonly(
          "xtof_ts_mean",
          [](U u) {
            return per_step(u.data->d.xtof_ts_mean, nullptr, u.data->central->run.cycle.n);
          },
          "The mean X_TOF of each transition state (TS1 first).")
      .def_property_readonly(
          "xtof_ts_sd",
          [](U u) { return per_step(u.data->d.xtof_ts_sd, nullptr, u.data->central->run.cycle.n); },
          "The sd of the X_TOF of each transition state.")
      .def_property_readonly(
          "xtof_reactant_mean",
          [](U u) {
            return per_step(u.data->d.xtof_reac_mean, nullptr, u.data->central->run.cycle.n);
          },
          "The mean X_TOF of each step's reactant concentration (NaN where none).")
      .def_property_readonly(
          "xtof_reactant_sd",
          [](U u) {
            return per_step(u.data->d.xtof_reac_sd, nullptr, u.data->central->run.cycle.n);
          },
          "The sd of the X_TOF of each step's reactant concentration (NaN where none).")
      .def_property_readonly(
          "xtof_product_mean",
          [](U u) {
            return per_step(u.data->d.xtof_prod_mean, nullptr, u.data->central->run.cycle.n);
          },
          "The mean X_TOF of each step's product concentration (NaN where none).")
      .def_property_readonly(
          "xtof_product_sd",
          [](U u) {
            return per_step(u.data->d.xtof_prod_sd, nullptr, u.data->central->run.cycle.n);
          },
          "The sd of the X_TOF of each step's product concentration (NaN where none).")
      .def_property_readonly(
          "sigma",
          [](U u) -> py::object {
            if (!u.data->monte_carlo) return py::none();
            return array_of(u.data->model.sigma.data(), u.data->model.sigma.size());
          },
          "The sigma of every state (I0, TS1, ..., TSn, the final state), None for an ensemble.")
      .def(
          "to_dict",
          [](U u) {
            return python_of([&](JsonVisitor& to) {
              features::uncertainty_json(source_of(*u.data), u.data->d, to);
            });
          },
          "to_dict() -> dict\n\nThe document of kinex uncertainty --json.")
      .def(
          "text", [](U u) { return features::uncertainty_text(source_of(*u.data), u.data->d); },
          "text() -> str\n\nThe text of kinex uncertainty.")
      .def("__repr__",
           [](U u) {
             return "<kinex.Uncertainty " + described(py::str(u.data->name)) + ": " +
                    std::to_string(u.data->d.samples) + " samples, log10 TOF median " +
                    repr_number(u.data->d.median) + ">";
           })
      .def(
          "_repr_html_",
          [](const py::object& self) { return notebook_html("uncertainty_html", self); },
          docs::kUncertaintyHtml)
      .def(py::pickle([](U u) { return py::bytes(to_bytes(*u.data)); },
                      [](const py::bytes& state) {
                        return unpickled<UncertaintyHandle, UncertaintyData>(state);
                      }));
}

}  // namespace

// The sigma of every state from `sigma`: one number for all, a sequence in
// the model's order (I0, TS1, I1, ..., TSn, the final state), or a mapping
// from state names ("final" for the final state) to sigmas.
std::vector<double> sigmas_of(const py::handle& sigma, const CycleData& data) {
  const int64_t n = data.cycle.n;
  const auto states = static_cast<std::size_t>(uncertainty_states(n));
  SigmaSpec spec;
  if (sigma.is_none()) {
    if (data.sigmas.empty()) {
      throw py::value_error(
          "sigma: give the sigmas (kcal/mol): one number, one per state, or a dict; only a "
          "table's row with sigma columns has its own");
    }
    for (const StateSigma& s : data.sigmas) {
      if (s.state.empty()) {
        spec.has_common = true;
        spec.common = s.sigma;
      } else {
        spec.named.push_back({s.state, s.sigma, 0});
      }
    }
  } else if (PyDict_Check(sigma.ptr())) {
    for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(sigma)) {
      if (!PyUnicode_Check(key.ptr())) {
        throw py::type_error("sigma: the keys are state names, not " + described(key));
      }
      const std::string name = key.cast<std::string>();
      spec.named.push_back({name, real_of(value, "sigma: " + name), 0});
    }
  } else if (PyUnicode_Check(sigma.ptr()) || !py::isinstance<py::iterable>(sigma)) {
    spec.has_common = true;
    spec.common = real_of(sigma, "sigma");
  } else {
    const std::vector<py::object> items = items_of(sigma, "sigma");
    if (items.size() != states) {
      throw py::value_error("sigma: " + std::to_string(items.size()) + " values for the " +
                            std::to_string(states) + " states of a cycle of " + std::to_string(n) +
                            " steps (I0, TS1, ..., TSn and the final state), or give one number "
                            "or a dict {state: sigma}");
    }
    std::vector<double> list;
    for (std::size_t s = 0; s < states; ++s) {
      list.push_back(real_of(items[s], "sigma[" + std::to_string(s) + "]"));
    }
    checked_sigmas(list, data, false);
    return list;
  }
  std::vector<double> list;
  std::string error;
  if (!features::resolve_sigmas(spec, data.names, n, list, error)) {
    throw py::value_error("sigma: " + error);
  }
  checked_sigmas(list, data, spec.named.empty() && spec.has_common);
  return list;
}

void bind_uncertainty(py::module_& m, py::class_<CycleHandle>& cycle_class) {
  // The counts are checked as kinex.uncertainty_many checks them.
  cycle_class.def(
      "uncertainty",
      [](const py::object& self, const py::object& sigma, const py::object& samples,
         const py::object& seed, const py::object& correlation, const py::object& threads) {
        const py::list counts =
            py::module_::import("kinex._checks").attr("counts")(samples, seed, threads);
        return py::module_::import("kinex._kinex")
            .attr("_uncertainty")(self, sigma, counts[0], counts[1], py::float_(correlation), 0.0,
                                  0, counts[2]);
      },
      py::arg("sigma") = py::none(), py::arg("samples") = 10000, py::arg("seed") = 0,
      py::arg("correlation") = 0.0, py::arg("threads") = 0, docs::kCycleUncertainty);
  using U = const UncertaintyHandle&;
  py::class_<UncertaintyHandle> uncertainty_class(m, "Uncertainty", docs::kUncertainty);
  uncertainty_class
      .def_property_readonly(
          "name", [](U u) { return u.data->name; },
          "The cycle's name; an ensemble's table (or 'ensemble').")
      .def_property_readonly(
          "method", [](U u) { return u.data->monte_carlo ? "monte-carlo" : "ensemble"; },
          "'monte-carlo', or 'ensemble' for kinex.ensemble().")
      .def_property_readonly(
          "samples", [](U u) { return u.data->d.samples; }, "The number of samples (members).")
      .def_property_readonly(
          "log10_tof",
          [](U u) { return array_of(u.data->d.log10_TOF.data(), u.data->d.log10_TOF.size()); },
          "Every sample's log10 TOF (1/s), in sample order.")
      .def_property_readonly(
          "tdi_steps", [](U u) { return int_array(u.data->d.TDI); },
          "Every sample's TDI (step 1..n).")
      .def_property_readonly(
          "tdts_steps", [](U u) { return int_array(u.data->d.TDTS); },
          "Every sample's TDTS (step 1..n).")
      .def_property_readonly(
          "log10_tof_median", [](U u) { return u.data->d.median; }, "The median of log10 TOF.")
      .def_property_readonly(
          "log10_tof_mean", [](U u) { return u.data->d.mean; }, "The mean of log10 TOF.")
      .def_property_readonly(
          "log10_tof_sd", [](U u) { return u.data->d.sd; }, "The sd of log10 TOF.")
      .def_property_readonly(
          "log10_tof_first_order_sd", [](U u) { return u.data->d.first_order_sd; },
          "The sd of log10 TOF from the degrees of TOF control at the energies as given "
          "(NaN for an ensemble).")
      .def_property_readonly(
          "log10_tof_interval_68",
          [](U u) { return std::make_pair(u.data->d.low68, u.data->d.high68); },
          "The central 68 % of log10 TOF (15.87 % and 84.13 % quantiles).")
      .def_property_readonly(
          "log10_tof_interval_95",
          [](U u) { return std::make_pair(u.data->d.low95, u.data->d.high95); },
          "The central 95 % of log10 TOF (2.5 % and 97.5 % quantiles).")
      .def_property_readonly(
          "backward_share", [](U u) { return u.data->d.backward_share; },
          "The share of the samples that run backward (a negative TOF); log10_tof is of |TOF|.")
      .def_property_readonly(
          "tof_signs",
          [](U u) {
            py::array_t<int8_t> a(static_cast<py::ssize_t>(u.data->d.TOF_sign.size()));
            std::copy(u.data->d.TOF_sign.begin(), u.data->d.TOF_sign.end(), a.mutable_data());
            return a;
          },
          "Every sample's direction: 1 forward, -1 backward, 0 without a net flux.")
      .def_property_readonly(
          "central_log10_tof", [](U u) { return u.data->d.central_log10_TOF; },
          "log10 TOF at the energies as given.");
  bind_uncertainty_states(uncertainty_class);
  for (const auto& [old_name, new_name] :
       {std::pair{"median", "log10_tof_median"}, std::pair{"mean", "log10_tof_mean"},
        std::pair{"sd", "log10_tof_sd"}, std::pair{"first_order_sd", "log10_tof_first_order_sd"},
        std::pair{"interval_68", "log10_tof_interval_68"},
        std::pair{"interval_95", "log10_tof_interval_95"}}) {
    def_renamed(uncertainty_class, old_name, new_name);
  }
  m.def("_uncertainty", &uncertainty, py::arg("cycle"), py::arg("sigma"), py::arg("samples"),
        py::arg("seed"), py::arg("correlation"), py::arg("shared"), py::arg("stream"),
        py::arg("threads"));
  m.def("ensemble", &ensemble, py::arg("cycles"), docs::kEnsemble);
}

}  // namespace kinex::python

// kinex.Result: a cycle evaluated, one at a time or many on all cores.
#include <kinex/kinex.h>
#include <kinex/outputs.h>
#include <kinex/run.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "binding.h"
#include "docs.h"

namespace kinex::python {
namespace {

std::vector<ResultHandle> evaluate_many(const py::handle& given, int threads) {
  threads_of(threads);
  if (!py::isinstance<py::iterable>(given)) {
    throw py::type_error("cycles: an iterable of kinex.Cycle, not " +
                         described(py::type::handle_of(given)));
  }
  std::vector<CycleHandle> cycles;
  for (const py::handle item : given) {
    if (!py::isinstance<CycleHandle>(item)) {
      throw py::type_error("cycles[" + std::to_string(cycles.size()) + "]: " + described(item) +
                           " is not a kinex.Cycle");
    }
    cycles.push_back(item.cast<const CycleHandle&>());
  }
  const std::size_t count = cycles.size();
  std::vector<std::shared_ptr<EvaluatedData>> done(count);
  std::vector<Failure> failures(count);
  std::vector<char> ok(count, 0);
  Interrupts interrupted;
  {
    py::gil_scoped_release unlocked;
    const auto machine = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // One thread a cycle: the cycles, not the steps, share the threads, and
    // no more run at once than the memory has room for.
    int64_t largest = 0;
    for (const CycleHandle& c : cycles) largest = std::max(largest, c.data->cycle.n);
    const int64_t room = features::runs_with_room(largest);
    const int wanted = threads > 0 ? threads : machine;
    const int at_once = room < wanted ? static_cast<int>(room) : wanted;
    std::atomic<bool> stop{false};
    const auto evaluate_one = [&](int64_t k) {
      if (stop.load(std::memory_order_relaxed)) return;
      done[k] = std::make_shared<EvaluatedData>();
      failures[k] = Failure{};
      ok[k] = evaluate_data(cycles[k].data, 1, *done[k], failures[k]) ? 1 : 0;
      if (!ok[k]) done[k].reset();
    };
    features::parallel_for(static_cast<int64_t>(count), at_once, evaluate_one, [&](int64_t) {
      if (interrupted()) stop.store(true);
    });
    // A cycle that found no room beside the others is tried again alone.
    for (std::size_t k = 0; k < count && !stop.load(); ++k) {
      if (!ok[k]) evaluate_one(static_cast<int64_t>(k));
    }
  }
  if (interrupted.raised()) throw py::error_already_set();  // nothing is kept
  std::vector<ResultHandle> results;
  results.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    if (!ok[k]) raise_memory(failures[k]);
    results.push_back({std::move(done[k])});
  }
  return results;
}

// The command line of KINEX.exe for the report: `name`, then the words of
// `options`.
std::vector<std::string> report_args(const std::string& name, const std::string& options) {
  std::vector<std::string> args{name};
  std::size_t at = 0;
  while (at < options.size()) {
    const std::size_t begin = options.find_first_not_of(" \t", at);
    if (begin == std::string::npos) break;
    const std::size_t end = std::min(options.find_first_of(" \t", begin), options.size());
    args.push_back(options.substr(begin, end - begin));
    at = end;
  }
  return args;
}

py::dict dict_of(const EvaluatedData& evaluated) {
  const CycleData& source = *evaluated.source;
  const std::vector<std::string> command_line{"kinex", "json",
                                              source.from_table ? source.table_file : source.name};
  return python_of([&](JsonVisitor& to) {
    if (source.from_table) {
      features::table_row_json(evaluated.run, command_line, evaluated.findings, source.table_file,
                               source.table_row, to);
    } else {
      features::cycle_json(evaluated.run, command_line, evaluated.findings, to);
    }
  });
}

std::string result_repr(const EvaluatedData& e) {
  const StateNames names = features::run_names(e.run);
  return "<kinex.Result " + described(py::str(e.run.input_name)) +
         ": TOF = " + repr_number(e.run.results.TOF) +
         " 1/s, TDI = " + features::tdi_state(names, e.run.results.TDI) +
         ", TDTS = " + features::tdts_state(names, e.run.results.TDTS) + ">";
}

// The degrees of TOF control, the advice and findings, and the methods.
void bind_result_control(py::class_<ResultHandle>& result_class) {
  result_class
      .def_property_readonly(
          "xtof_int",
          [](const ResultHandle& r) {
            return array_of(r.data->run.results.xtof_int.data(),
                            static_cast<std::size_t>(r.data->run.cycle.n));
          },
          "The degree of TOF control of each intermediate (I0 first).")
      .def_property_readonly(
          "xtof_ts",
          [](const ResultHandle& r) {
            return per_step(r.data->run.results.xtof_ts, nullptr, r.data->run.cycle.n);
          },
          "The degree of TOF control of each transition state (TS1 first).")
      .def_property_readonly(
          "xtof_reactant",
          [](const ResultHandle& r) {
            return per_step(r.data->run.results.xtof_reac, &r.data->run.cycle.has_reac,
                            r.data->run.cycle.n);
          },
          "The degree of TOF control of each step's reactant concentration (NaN where none).")
      .def_property_readonly(
          "xtof_product",
          [](const ResultHandle& r) {
            return per_step(r.data->run.results.xtof_prod, &r.data->run.cycle.has_prod,
                            r.data->run.cycle.n);
          },
          "The degree of TOF control of each step's product concentration (NaN where none).")
      .def_property_readonly(
          "advice", [](const ResultHandle& r) { return features::advice_text(r.data->run); },
          "The report's advice on concentrations ('' where it names no step).")
      .def_property_readonly(
          "advice_reactant_steps",
          [](const ResultHandle& r) { return features::advice_reactant_steps(r.data->run); },
          "The steps whose reactants the advice says to give in high concentration.")
      .def_property_readonly(
          "advice_product_steps",
          [](const ResultHandle& r) { return features::advice_product_steps(r.data->run); },
          "The steps whose products the advice says to remove.")
      .def_property_readonly(
          "warnings", [](const ResultHandle& r) { return r.data->findings; },
          "Everything kinex check finds (kinex.Finding): the reader's warnings and the cycle's.")
      .def_property_readonly(
          "input_warnings", [](const ResultHandle& r) { return r.data->source->notes.warnings; },
          "The reader's warnings about the input file alone.")
      .def(
          "to_dict", [](const ResultHandle& r) { return dict_of(*r.data); }, docs::kToDict)
      .def(
          "report",
          [](const ResultHandle& r, const std::string& options) {
            return report_of(*r.data, options);
          },
          py::arg("options") = "", docs::kReport)
      .def("__repr__", [](const ResultHandle& r) { return result_repr(*r.data); })
      .def(py::pickle(
          [](const ResultHandle& r) { return py::bytes(to_bytes(*r.data)); },
          [](const py::bytes& state) { return unpickled<ResultHandle, EvaluatedData>(state); }));
  def_profile_faces(result_class, [](const py::object& self) { return self; });
}

}  // namespace

std::string report_of(const EvaluatedData& evaluated, const std::string& options) {
  return features::report_of(evaluated.run, report_args(evaluated.run.input_name, options));
}

void bind_result(py::module_& m, py::class_<ResultHandle>& result_class) {
  result_class
      .def_property_readonly(
          "cycle", [](const ResultHandle& r) { return CycleHandle{r.data->source}; },
          "The cycle evaluated.")
      .def_property_readonly(
          "name", [](const ResultHandle& r) { return r.data->run.input_name; }, "The cycle's name.")
      .def_property_readonly(
          "tof_per_s", [](const ResultHandle& r) { return r.data->run.results.TOF; },
          "The TOF per second (1/s).")
      .def_property_readonly(
          "tof_per_h", [](const ResultHandle& r) { return r.data->run.results.TOF * 3600.0; },
          "The TOF per hour (1/h).")
      .def_property_readonly(
          "tof_per_day",
          [](const ResultHandle& r) { return r.data->run.results.TOF * 3600.0 * 24.0; },
          "The TOF per day (1/d), the hourly figure times 24 as the report forms it.")
      .def_property_readonly(
          "log10_tof", [](const ResultHandle& r) { return r.data->run.results.log10_TOF; },
          "log10 of |TOF| (1/s), from the logarithms of the terms: right far beyond the range "
          "of doubles.")
      .def_property_readonly(
          "evaluation",
          [](const ResultHandle& r) { return evaluation_name(r.data->run.results.evaluation); },
          "'direct', or 'log-space' where the direct numbers overflow or underflow.")
      .def_property_readonly(
          "tdi",
          [](const ResultHandle& r) {
            return features::tdi_state(features::run_names(r.data->run), r.data->run.results.TDI);
          },
          "The TOF-determining intermediate, by name.")
      .def_property_readonly(
          "tdts",
          [](const ResultHandle& r) {
            return features::tdts_state(features::run_names(r.data->run), r.data->run.results.TDTS);
          },
          "The TOF-determining transition state, by name.")
      .def_property_readonly(
          "tdi_ties",
          [](const ResultHandle& r) {
            return features::tdi_tie_states(features::run_names(r.data->run), r.data->run.results);
          },
          "The intermediates whose terms tie with the TDI's (within a relative 1e-12), by "
          "name; the TDI is the earliest of them in cycle order.")
      .def_property_readonly(
          "tdts_ties",
          [](const ResultHandle& r) {
            return features::tdts_tie_states(features::run_names(r.data->run), r.data->run.results);
          },
          "The transition states whose terms tie with the TDTS's (within a relative 1e-12), "
          "by name; the TDTS is the earliest of them in cycle order.")
      .def_property_readonly(
          "tdi_step", [](const ResultHandle& r) { return r.data->run.results.TDI; },
          "The step (1..n) the TDI starts.")
      .def_property_readonly(
          "tdts_step", [](const ResultHandle& r) { return r.data->run.results.TDTS; },
          "The step (1..n) whose transition state is the TDTS.")
      .def_property_readonly(
          "energetic_span",
          [](const ResultHandle& r) { return features::energetic_span(r.data->run); },
          "The energetic span (kcal/mol).")
      .def_property_readonly(
          "effective_span",
          [](const ResultHandle& r) { return r.data->run.results.effective_span; },
          "The effective span (kcal/mol), which counts the concentrations.")
      .def_property_readonly(
          "apparent_barrier",
          [](const ResultHandle& r) { return r.data->run.results.apparent_barrier; },
          "-RT ln(TOF h / (k_B T)) (kcal/mol), NaN where the TOF is not positive.")
      .def_property_readonly(
          "apparent_activation_energy",
          [](const ResultHandle& r) { return r.data->run.results.apparent_activation_energy; },
          "RT^2 d ln TOF / dT (kcal/mol).")
      .def_property_readonly(
          "driving_force", [](const ResultHandle& r) { return r.data->run.profile.driving_force; },
          "The driving force of the numerator, 1 - exp(DeltaG/RT) with the concentrations.")
      .def_property_readonly(
          "warning",
          [](const ResultHandle& r) { return !features::warning_text(r.data->run).empty(); },
          "True when the driving force is not positive (the report then warns).")
      .def_property_readonly(
          "warning_text",
          [](const ResultHandle& r) -> py::object {
            const std::string text = features::warning_text(r.data->run);
            return text.empty() ? py::object(py::none()) : py::object(py::str(text));
          },
          "The report's warning when there is no positive driving force, else None.");
  for (const auto& [old_name, new_name] :
       {std::pair{"tof", "tof_per_s"}, std::pair{"tof_per_second", "tof_per_s"},
        std::pair{"tof_per_hour", "tof_per_h"},
        std::pair{"driving_force_warning", "warning_text"}}) {
    def_renamed(result_class, old_name, new_name);
  }
  bind_result_control(result_class);
  m.def("evaluate_many", &evaluate_many, py::arg("cycles"), py::arg("threads") = 0,
        docs::kEvaluateMany);
}

}  // namespace kinex::python

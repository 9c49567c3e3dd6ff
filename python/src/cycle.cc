// kinex.Cycle: built from Python values or read from files and tables.
#include <kinex/kinex.h>
#include <kinex/table.h>
#include <kinex/uncertainty.h>

#include <cmath>
#include <optional>

#include "binding.h"
#include "docs.h"

namespace kinex::python {
namespace {

std::string step_word(std::size_t step) { return "step " + std::to_string(step); }

// The energies of G_int or G_ts, one per step.
std::vector<double> energies(const py::handle& sequence, const char* argument) {
  std::vector<double> values;
  std::size_t step = 0;
  for (const py::object& item : items_of(sequence, argument)) {
    values.push_back(real_of(item, std::string(argument) + ": " + step_word(++step)));
  }
  return values;
}

// The concentrations of `reactant` or `product`: None; a sequence with one
// item per step, None or NaN where the step has none; or a mapping from step
// (1..n) to concentration.
std::vector<std::optional<double>> concentrations(const py::handle& given, const char* argument,
                                                  std::size_t n) {
  std::vector<std::optional<double>> values(n);
  if (given.is_none()) return values;
  const std::string name(argument);
  if (PyDict_Check(given.ptr())) {
    for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(given)) {
      int overflow = 0;
      const long long k = PyLong_Check(key.ptr()) && !PyBool_Check(key.ptr())
                              ? PyLong_AsLongLongAndOverflow(key.ptr(), &overflow)
                              : 0;
      if (overflow != 0 || k < 1 || k > static_cast<long long>(n)) {
        throw py::value_error(name + ": step " + described(key) + " is not one of the steps 1.." +
                              std::to_string(n));
      }
      const auto step = static_cast<std::size_t>(k);
      if (!value.is_none()) values[step - 1] = real_of(value, name + ": " + step_word(step));
    }
    return values;
  }
  const std::vector<py::object> items = items_of(given, argument);
  if (items.size() != n) {
    throw py::value_error(name + ": " + std::to_string(items.size()) + " values for a cycle of " +
                          std::to_string(n) +
                          " steps: give one per step (None where a step has none), or a dict "
                          "{step: concentration}");
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (items[k].is_none()) continue;
    const double x = real_of(items[k], name + ": " + step_word(k + 1));
    if (!std::isnan(x)) values[k] = x;
  }
  return values;
}

CycleHandle make_cycle(const py::handle& T_given, const py::handle& G_int, const py::handle& G_ts,
                       const py::handle& DeltaG_given, const py::handle& reactant,
                       const py::handle& product, const py::handle& names,
                       const py::handle& name_given) {
  const double T = real_of(T_given, "T");
  const double DeltaG = real_of(DeltaG_given, "DeltaG");
  const std::string name = text_of(name_given, "name");
  if (!std::isfinite(T) || !(T > 0.0)) {
    throw py::value_error("T: " + described(py::float_(T)) +
                          " is not a temperature in K (finite and above 0)");
  }
  const std::vector<double> gi = energies(G_int, "G_int");
  const std::vector<double> gt = energies(G_ts, "G_ts");
  if (gi.size() != gt.size()) {
    throw py::value_error("G_ts: " + std::to_string(gt.size()) + " values, but G_int has " +
                          std::to_string(gi.size()) +
                          ": one intermediate and one transition state per step");
  }
  const std::size_t n = gi.size();
  const auto reac = concentrations(reactant, "reactant", n);
  const auto prod = concentrations(product, "product", n);
  std::vector<StepInput> steps(n);
  for (std::size_t k = 0; k < n; ++k) steps[k] = {gi[k], gt[k], reac[k], prod[k]};
  auto data = std::make_shared<CycleData>();
  std::string error;
  if (!build_cycle(T, steps, DeltaG, data->cycle, error)) throw py::value_error(error);
  data->names = state_names(names, n);
  data->name = name;
  return {std::move(data)};
}

// --- reading ----------------------------------------------------------------

CycleHandle read_file(const std::string& path) {
  auto data = std::make_shared<CycleData>();
  Failure failure;
  if (!read_cycle(path, data->cycle, failure, data->notes)) {
    if (failure.status == kExitNoMemory) raise_memory(failure);
    raise_input_error(failure.message, failure.place);
  }
  data->name = path;
  repair_texts(*data);
  return {std::move(data)};
}

// The rows of a table, read one at a time as Python iterates: a cycle for
// each good row, the diagnostic (an InputError, not raised) for each bad
// one. Opening reads the header (an unreadable table or a wrong header
// raises then); a table that fails part-way raises where it fails.
class TableRows {
 public:
  TableRows(const std::string& path, double T) : path_(path) {
    if (!reader_.open(path, T)) {
      raise_input_error(reader_.error(), reader_.place());
    }
  }

  py::object next() {
    TableRow row;
    if (!reader_.next(row)) {
      if (reader_.failed()) raise_input_error(reader_.error(), reader_.place());
      throw py::stop_iteration();
    }
    if (!row.ok) return input_error(row.error, row.place);
    auto data = std::make_shared<CycleData>();
    data->name = path_ + ":" + (row.name.empty() ? std::to_string(row.row) : row.name);
    data->cycle = std::move(row.cycle);
    data->names = std::move(row.names);
    data->descriptors = row.descriptors;
    data->sigmas = row.sigmas;
    data->from_table = true;
    data->table_file = path_;
    data->table_row.row = row.row;
    data->table_row.name = row.name;
    data->table_row.ok = true;
    data->table_row.descriptors = std::move(row.descriptors);
    repair_texts(*data);
    return py::cast(CycleHandle{std::move(data)});
  }

 private:
  std::string path_;
  features::TableRows reader_;
};

// --- the objects' faces -------------------------------------------------------

py::dict descriptors_of(const CycleData& data) {
  py::dict dict;
  for (const Descriptor& d : data.descriptors) dict[py::str(d.name)] = d.value;
  return dict;
}

std::string cycle_repr(const CycleData& data) {
  return "<kinex.Cycle " + described(py::str(data.name)) + ": " + std::to_string(data.cycle.n) +
         (data.cycle.n == 1 ? " step" : " steps") + " at " + described(py::float_(data.cycle.T)) +
         " K>";
}

}  // namespace

// The names of `names`: 2n states in cycle order (I0, TS1, I1, ..., TSn),
// or 2n + 1 with the final state last.
StateNames state_names(const py::handle& given, std::size_t n) {
  StateNames names;
  if (given.is_none()) return names;
  std::vector<std::string> list;
  if (PyUnicode_Check(given.ptr()) || !py::isinstance<py::iterable>(given)) {
    throw py::type_error("names: a sequence of state names, not " +
                         described(py::type::handle_of(given)));
  }
  for (const py::handle item : given) list.push_back(text_of(item, "names"));
  if (list.size() != 2 * n && list.size() != 2 * n + 1) {
    throw py::value_error(
        "names: " + std::to_string(list.size()) + " names for a cycle of " + std::to_string(n) +
        " steps: give " + std::to_string(2 * n) + " in cycle order (" +
        (n == 1 ? std::string("I0, TS1") : "I0, TS1, I1, ..., TS" + std::to_string(n)) + "), or " +
        std::to_string(2 * n + 1) + " with the final state last");
  }
  names.transition.emplace_back();
  for (std::size_t k = 0; k < n; ++k) {
    names.intermediate.push_back(list[2 * k]);
    names.transition.push_back(list[2 * k + 1]);
  }
  if (list.size() == 2 * n + 1) names.final_state = list.back();
  return names;
}

// --- evaluation -------------------------------------------------------------

ResultHandle evaluate(const CycleHandle& cycle, int given_threads) {
  const int threads = threads_of(given_threads);
  auto evaluated = std::make_shared<EvaluatedData>();
  Failure failure;
  bool ok = false;
  {
    py::gil_scoped_release unlocked;
    ok = evaluate_data(cycle.data, threads, *evaluated, failure);
  }
  if (!ok) raise_memory(failure);
  return {std::move(evaluated)};
}

void bind_finding(py::module_& m) {
  py::class_<InputWarning>(m, "Finding", docs::kFinding)
      .def_readonly("code", &InputWarning::code, "The finding's code, as kinex check names it.")
      .def_property_readonly(
          "line", [](const InputWarning& w) { return finding_line(w.line); },
          "The 1-based line of the input file it is about, or None.")
      .def_readonly("text", &InputWarning::text, "What to check, for a chemist.")
      .def("__repr__", [](const InputWarning& w) {
        return "<kinex.Finding " + w.code + (w.line > 0 ? " line " + std::to_string(w.line) : "") +
               ": " + w.text + ">";
      });
}

void bind_cycle(py::module_& m, py::class_<CycleHandle>& cycle_class) {
  cycle_class
      .def(py::init(&make_cycle), py::arg("T"), py::arg("G_int"), py::arg("G_ts"),
           py::arg("DeltaG"), py::arg("reactant") = py::none(), py::arg("product") = py::none(),
           py::arg("names") = py::none(), py::arg("name") = "cycle", docs::kCycleInit)
      .def_property_readonly(
          "T", [](const CycleHandle& c) { return c.data->cycle.T; }, "The temperature (K).")
      .def_property_readonly(
          "n", [](const CycleHandle& c) { return c.data->cycle.n; }, "The number of steps.")
      .def_property_readonly(
          "DeltaG", [](const CycleHandle& c) { return c.data->cycle.DeltaG; },
          "The reaction Gibbs energy of one turn (kcal/mol).")
      .def_property_readonly(
          "G_int",
          [](const CycleHandle& c) {
            return array_of(c.data->cycle.G_int.data(), c.data->cycle.G_int.size());
          },
          "The intermediates' Gibbs energies (kcal/mol), one per step: element i starts step i+1.")
      .def_property_readonly(
          "G_ts",
          [](const CycleHandle& c) {
            return per_step(c.data->cycle.G_ts, nullptr, c.data->cycle.n);
          },
          "The transition states' Gibbs energies (kcal/mol): element i is that of step i+1.")
      .def_property_readonly(
          "reactant",
          [](const CycleHandle& c) {
            return per_step(c.data->cycle.conc_reac, &c.data->cycle.has_reac, c.data->cycle.n);
          },
          "The concentration of the reactant entering each step (NaN where none).")
      .def_property_readonly(
          "product",
          [](const CycleHandle& c) {
            return per_step(c.data->cycle.conc_prod, &c.data->cycle.has_prod, c.data->cycle.n);
          },
          "The concentration of the product leaving each step (NaN where none).")
      .def_property_readonly(
          "names",
          [](const CycleHandle& c) {
            return features::uncertainty_state_names(c.data->names, c.data->cycle.n);
          },
          "The states in cycle order (I0, TS1, I1, ..., TSn), the final state last.")
      .def_property(
          "name", [](const CycleHandle& c) { return c.data->name; },
          [](CycleHandle& c, const py::handle& name) {
            // A copy renamed: the results of the cycle keep the name they were evaluated with.
            auto renamed = std::make_shared<CycleData>(*c.data);
            renamed->name = text_of(name, "name");
            c.data = std::move(renamed);
          },
          "The name the outputs show: the file, FILE:ROW for a table's row, or as given; set it "
          "to name the cycle otherwise.")
      .def_property_readonly(
          "descriptors", [](const CycleHandle& c) { return descriptors_of(*c.data); },
          "The descriptors of a table's row, {name: value}.")
      .def_property_readonly(
          "warnings", [](const CycleHandle& c) { return c.data->notes.warnings; },
          "The reader's warnings about the input file (kinex.Finding), in file order.")
      .def(
          "evaluate", [](const CycleHandle& c, int threads) { return evaluate(c, threads); },
          py::arg("threads") = 0, docs::kEvaluate)
      .def(
          "report",
          [](const CycleHandle& c, const std::string& options) {
            return report_of(*evaluate(c, 0).data, options);
          },
          py::arg("options") = "", docs::kReport)
      .def("__repr__", [](const CycleHandle& c) { return cycle_repr(*c.data); })
      .def(py::pickle(
          [](const CycleHandle& c) { return py::bytes(to_bytes(*c.data)); },
          [](const py::bytes& state) { return unpickled<CycleHandle, CycleData>(state); }));
  def_profile_faces(cycle_class, [](const py::object& self) { return self.attr("evaluate")(); });

  m.def("_read", &read_file, py::arg("path"));
  py::class_<TableRows>(m, "_TableRows")
      .def(py::init<const std::string&, double>(), py::arg("path"), py::arg("T"))
      .def("__iter__", [](TableRows& rows) -> TableRows& { return rows; })
      .def("__next__", &TableRows::next);
}

}  // namespace kinex::python

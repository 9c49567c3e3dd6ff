// kinex.evaluate_arrays and kinex.ResultArrays: many cycles of one number
// of steps held as numpy arrays, evaluated without a Python object per
// cycle; and the arrays of a table's rows for them.
#include <kinex/arrays.h>
#include <kinex/outputs.h>
#include <kinex/run.h>
#include <kinex/table.h>

#include <cmath>
#include <map>
#include <utility>

#include "binding.h"
#include "docs.h"

namespace kinex::python {
namespace {

using Reals = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::string shape_text(const py::array& a) {
  std::string text = "(";
  for (py::ssize_t d = 0; d < a.ndim(); ++d) {
    text += (d ? ", " : "") + std::to_string(a.shape(d));
  }
  return text + (a.ndim() == 1 ? ",)" : ")");
}

// `given` as a C-ordered array of doubles: any array-like of real numbers
// (floats or integers; bools and other kinds are refused), of `ndim`
// dimensions or, where `scalar`, a single number too.
Reals reals_of(const py::handle& given, const char* name, py::ssize_t ndim, bool scalar) {
  const py::array a = py::array::ensure(given);
  if (!a) {
    throw py::type_error(std::string(name) + ": an array of real numbers, not " +
                         described(py::type::handle_of(given)));
  }
  const char kind = a.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u') {
    throw py::type_error(std::string(name) + ": an array of real numbers, not one of dtype " +
                         std::string(py::str(a.dtype())));
  }
  if (a.ndim() != ndim && !(scalar && a.ndim() == 0)) {
    throw py::value_error(std::string(name) + ": an array of " + std::to_string(ndim) +
                          (ndim == 1 ? " dimension" : " dimensions") +
                          (scalar ? " or a single number" : "") + ", not one of shape " +
                          shape_text(a));
  }
  return Reals::ensure(a);
}

// T or DeltaG: one value for every cycle (stride 0), or one per cycle.
Reals per_cycle(const py::handle& given, const char* name, py::ssize_t N, int64_t& stride) {
  Reals a = reals_of(given, name, 1, true);
  stride = a.ndim() == 0 ? 0 : 1;
  if (stride == 1 && a.shape(0) != N) {
    throw py::value_error(std::string(name) + ": one value, or one per cycle (shape (" +
                          std::to_string(N) + ",), as G_int's rows), not shape " + shape_text(a));
  }
  return a;
}

// reactant or product: None, or an array of G_int's shape.
py::object concentrations_of(const py::handle& given, const char* name, const py::array& G_int) {
  if (given.is_none()) return py::none();
  Reals a = reals_of(given, name, 2, false);
  if (a.shape(0) != G_int.shape(0) || a.shape(1) != G_int.shape(1)) {
    throw py::value_error(std::string(name) + ": an array of G_int's shape " + shape_text(G_int) +
                          " (NaN where a step has none), not one of shape " + shape_text(a));
  }
  return a;
}

// The results, as evaluate_arrays made them.
struct ResultArraysHandle {
  py::dict columns;  // name -> read-only numpy array
  StateNames names;
  int64_t count = 0, n = 0;
  py::object cycles = py::none();
};

// The columns of ResultArrays, in the order of to_dict(), with their
// docstrings.
struct Column {
  const char* name;
  const char* doc;
};
constexpr Column kColumns[] = {
    {"tof_per_s", "The TOF per second (1/s) of each cycle."},
    {"log10_tof", "log10 of |TOF| (1/s), from the logarithms of the terms."},
    {"log_space",
     "True where the results are those of the log-space evaluation (see evaluation), where the "
     "direct numbers overflow or underflow."},
    {"tdi_step", "The step (1..n) the TDI starts."},
    {"tdts_step", "The step (1..n) whose transition state is the TDTS."},
    {"energetic_span", "The energetic span (kcal/mol)."},
    {"effective_span", "The effective span (kcal/mol), which counts the concentrations."},
    {"apparent_barrier", "-RT ln(TOF h / (k_B T)) (kcal/mol), NaN where the TOF is not positive."},
    {"apparent_activation_energy", "RT^2 d ln TOF / dT (kcal/mol)."},
    {"driving_force", "The driving force of the numerator."},
    {"xtof_int", "The degree of TOF control of each intermediate, shape (N, n), I0 first."},
    {"xtof_ts", "The degree of TOF control of each transition state, shape (N, n), TS1 first."},
    {"xtof_reactant",
     "The degree of TOF control of each step's reactant concentration, shape (N, n) (NaN where "
     "none)."},
    {"xtof_product",
     "The degree of TOF control of each step's product concentration, shape (N, n) (NaN where "
     "none)."},
    {"warning", "True where the driving force is not positive (the report then warns)."},
    {"negative_barrier", "True where a transition state lies below an intermediate next to it."},
    {"tof_above_limit", "True where the TOF lies above k_B T/h."},
    {"energies_look_kj", "True where the energetic span is 60 kcal/mol or more (kJ/mol?)."},
    {"temperature_looks_celsius", "True where T lies below 200 K (degrees Celsius?)."},
    {"result_not_finite", "True where the TOF or a degree of TOF control is not finite."},
};

// The result arrays carved out of one numpy allocation: numpy gives one
// of 4 MiB or more huge pages where the system offers them, so that the
// first writes into the results take a few page faults, not one per 4 KiB.
class Carver {
 public:
  Carver(py::dict& columns, py::ssize_t N, py::ssize_t n) : columns_(columns), N_(N), n_(n) {
    const auto per_cycle = static_cast<std::size_t>(7 * 8 + 2 * 8 + 4 * n * 8 + 7);
    block_ = py::array_t<uint8_t>(static_cast<py::ssize_t>(per_cycle * N + 20 * kAlign));
  }
  // Array `name` of one element per cycle (of n per cycle where `rows`).
  template <class T>
  T* take(const char* name, bool rows = false) {
    std::vector<py::ssize_t> shape{N_};
    if (rows) shape.push_back(n_);
    const auto count = static_cast<std::size_t>(N_ * (rows ? n_ : 1));
    T* at = reinterpret_cast<T*>(static_cast<char*>(block_.mutable_data()) + used_);
    used_ += (count * sizeof(T) + kAlign - 1) / kAlign * kAlign;
    columns_[name] = py::array_t<T>(shape, at, block_);
    return at;
  }

 private:
  static constexpr std::size_t kAlign = 64;
  py::dict& columns_;
  py::ssize_t N_, n_;
  py::array block_;
  std::size_t used_ = 0;
};

ResultArraysHandle evaluate_arrays(const py::handle& T_given, const py::handle& G_int_given,
                                   const py::handle& G_ts_given, const py::handle& DeltaG_given,
                                   const py::handle& reactant_given,
                                   const py::handle& product_given, int threads,
                                   const py::handle& names_given) {
  threads_of(threads);
  const Reals G_int = reals_of(G_int_given, "G_int", 2, false);
  const py::ssize_t N = G_int.shape(0), n = G_int.shape(1);
  if (n < 1 && N > 0) {
    throw py::value_error("G_int: a cycle needs at least one step, not shape (N, 0)");
  }
  const Reals G_ts = reals_of(G_ts_given, "G_ts", 2, false);
  if (G_ts.shape(0) != N || G_ts.shape(1) != n) {
    throw py::value_error("G_ts: an array of G_int's shape " + shape_text(G_int) +
                          ", not one of shape " + shape_text(G_ts));
  }
  features::CycleArrays in;
  const Reals T = per_cycle(T_given, "T", N, in.T_stride);
  const Reals DeltaG = per_cycle(DeltaG_given, "DeltaG", N, in.DeltaG_stride);
  const py::object reactant = concentrations_of(reactant_given, "reactant", G_int);
  const py::object product = concentrations_of(product_given, "product", G_int);
  ResultArraysHandle out;
  Run named;  // the names given, or the defaults I0.., TS1..
  named.names = state_names(names_given, static_cast<std::size_t>(n));
  named.cycle.n = n;
  out.names = features::run_names(named);
  out.count = N;
  out.n = n;
  in.count = N;
  in.steps = n;
  in.T = T.data();
  in.DeltaG = DeltaG.data();
  in.G_int = G_int.data();
  in.G_ts = G_ts.data();
  if (!reactant.is_none()) in.reactant = reactant.cast<Reals>().data();
  if (!product.is_none()) in.product = product.cast<Reals>().data();
  const std::string bad = features::check_cycle_arrays(in);
  if (!bad.empty()) throw py::value_error(bad);

  features::ResultArrays o;
  Carver carve(out.columns, N, n);
  o.tof_per_s = carve.take<double>("tof_per_s");
  o.log10_tof = carve.take<double>("log10_tof");
  o.log_space = carve.take<bool>("log_space");
  o.tdi_step = carve.take<int64_t>("tdi_step");
  o.tdts_step = carve.take<int64_t>("tdts_step");
  o.energetic_span = carve.take<double>("energetic_span");
  o.effective_span = carve.take<double>("effective_span");
  o.apparent_barrier = carve.take<double>("apparent_barrier");
  o.apparent_activation_energy = carve.take<double>("apparent_activation_energy");
  o.driving_force = carve.take<double>("driving_force");
  o.xtof_int = carve.take<double>("xtof_int", true);
  o.xtof_ts = carve.take<double>("xtof_ts", true);
  o.xtof_reactant = carve.take<double>("xtof_reactant", true);
  o.xtof_product = carve.take<double>("xtof_product", true);
  o.warning = carve.take<bool>("warning");
  o.negative_barrier = carve.take<bool>("negative_barrier");
  o.tof_above_limit = carve.take<bool>("tof_above_limit");
  o.energies_look_kj = carve.take<bool>("energies_look_kj");
  o.temperature_looks_celsius = carve.take<bool>("temperature_looks_celsius");
  o.result_not_finite = carve.take<bool>("result_not_finite");

  Interrupts interrupted;
  std::string error;
  bool ok = false;
  {
    py::gil_scoped_release unlocked;
    ok = features::evaluate_cycle_arrays(in, o, threads, std::ref(interrupted), error);
  }
  if (interrupted.raised()) throw py::error_already_set();
  if (!ok) {
    PyErr_SetString(PyExc_MemoryError, error.c_str());
    throw py::error_already_set();
  }
  py::dict ordered;
  for (const Column& column : kColumns) {
    const py::object array = out.columns[column.name];
    array.attr("setflags")(py::arg("write") = false);
    ordered[column.name] = array;
  }
  out.columns = ordered;
  return out;
}

// The rows of the table `path` as the inputs of evaluate_arrays, in a
// dict: file, rows (column 1, the line where it is empty), lines, T,
// G_int, G_ts, DeltaG, reactant and product (None where no row has any),
// names (the states in cycle order, the final state last), descriptors
// ({header: values}, NaN where a row has none) and left_out (the
// kinex.InputError of each bad row, when `warn`; else the first raises).
py::dict table_arrays(const std::string& path, double T, bool warn) {
  features::TableRows reader;
  if (!reader.open(path, T)) raise_input_error(reader.error(), reader.place());
  std::vector<double> Ts, DeltaGs, G_int, G_ts, reactant, product;
  std::vector<int64_t> lines;
  py::list rows, left_out;
  std::map<std::string, std::vector<double>> descriptors;
  std::vector<std::string> order;  // the descriptors in order of appearance
  StateNames names;
  bool any_reactant = false, any_product = false;
  int64_t n = 0;
  TableRow row;
  while (reader.next(row)) {
    if (!row.ok) {
      py::object error = input_error(row.error, row.place);
      if (!warn) raise_input_error(error);
      left_out.append(error);
      continue;
    }
    repair_texts(row);
    const Cycle& c = row.cycle;
    if (lines.empty()) {
      n = c.n;
      names = row.names;
    }
    for (const Descriptor& d : row.descriptors) {
      auto [at, added] = descriptors.try_emplace(d.name, lines.size(), kNaN);
      if (added) order.push_back(d.name);
      at->second.push_back(d.value);
    }
    lines.push_back(row.row);
    for (auto& [name, values] : descriptors) values.resize(lines.size(), kNaN);
    rows.append(row.name.empty() ? std::to_string(row.row) : row.name);
    Ts.push_back(c.T);
    DeltaGs.push_back(c.DeltaG);
    for (int64_t i = 1; i <= n; ++i) {
      G_int.push_back(c.G_int[i - 1]);
      G_ts.push_back(c.G_ts[i]);
      reactant.push_back(c.has_reac[i] ? c.conc_reac[i] : kNaN);
      product.push_back(c.has_prod[i] ? c.conc_prod[i] : kNaN);
      any_reactant = any_reactant || c.has_reac[i];
      any_product = any_product || c.has_prod[i];
    }
  }
  if (reader.failed()) raise_input_error(reader.error(), reader.place());
  const auto N = static_cast<py::ssize_t>(lines.size());
  const auto table = [&](const std::vector<double>& v) {
    py::array_t<double> a(std::vector<py::ssize_t>{N, static_cast<py::ssize_t>(n)});
    std::copy(v.begin(), v.end(), a.mutable_data());
    return a;
  };
  py::dict d;
  d["file"] = path;
  d["rows"] = rows;
  d["lines"] = py::array_t<int64_t>(N, lines.data());
  d["T"] = array_of(Ts);
  d["G_int"] = table(G_int);
  d["G_ts"] = table(G_ts);
  d["DeltaG"] = array_of(DeltaGs);
  d["reactant"] = any_reactant ? py::object(table(reactant)) : py::object(py::none());
  d["product"] = any_product ? py::object(table(product)) : py::object(py::none());
  py::list states;
  for (int64_t i = 1; i <= n; ++i) {
    states.append(names.intermediate[i - 1]);
    states.append(names.transition[i]);
  }
  if (!names.final_state.empty()) states.append(names.final_state);
  d["names"] = states;
  py::dict found;
  for (const std::string& name : order) found[py::str(name)] = array_of(descriptors[name]);
  d["descriptors"] = found;
  d["left_out"] = left_out;
  return d;
}

// The names of the states at `steps` (1..n), states[0] that of step 1: a
// numpy array of str, no Python object per cycle.
py::object named_states(const std::vector<std::string>& states, const py::object& steps) {
  const py::object shown = py::module_::import("numpy").attr("array")(py::cast(states));
  return shown.attr("__getitem__")(steps.attr("__sub__")(1));
}

// The TDI and the TDTS by name: the property, the column of steps it names
// and the name of the state of step i.
struct NamedState {
  const char* property;
  const char* steps;
  std::string (*state)(const StateNames& names, int64_t step);
  const char* doc;
};
const NamedState kNamedStates[] = {
    {"tdi", "tdi_step", features::tdi_state,
     "The TOF-determining intermediate of each cycle, by name (a numpy array of str)."},
    {"tdts", "tdts_step", features::tdts_state,
     "The TOF-determining transition state of each cycle, by name (a numpy array of str)."},
};

}  // namespace

void bind_arrays(py::module_& m) {
  py::class_<ResultArraysHandle> c(m, "ResultArrays", docs::kResultArrays);
  for (const Column& column : kColumns) {
    const std::string name = column.name;
    c.def_property_readonly(
        column.name, [name](const ResultArraysHandle& r) { return r.columns[name.c_str()]; },
        column.doc);
  }
  for (const NamedState& named : kNamedStates) {
    c.def_property_readonly(
        named.property,
        [named](const ResultArraysHandle& r) {
          std::vector<std::string> states;
          for (int64_t i = 1; i <= r.n; ++i) states.push_back(named.state(r.names, i));
          return named_states(states, r.columns[named.steps]);
        },
        named.doc);
  }
  c.def_property_readonly(
       "evaluation",
       [](const ResultArraysHandle& r) {
         return py::module_::import("numpy").attr("where")(r.columns["log_space"], "log-space",
                                                           "direct");
       },
       "'direct', or 'log-space' where the direct numbers overflow or underflow (a numpy "
       "array of str).")
      .def_property_readonly(
          "n", [](const ResultArraysHandle& r) { return r.n; },
          "The number of steps of each cycle.")
      .def_property_readonly(
          "cycles", [](const ResultArraysHandle& r) { return r.cycles; },
          "The kinex.CycleArrays evaluated (CycleArrays.evaluate()), else None.")
      .def("__len__", [](const ResultArraysHandle& r) { return r.count; })
      .def(
          "to_dict",
          [](const ResultArraysHandle& r) {
            py::dict copy;
            for (const auto& [key, value] : r.columns) copy[key] = value;
            return copy;
          },
          docs::kResultArraysToDict)
      .def(py::pickle(
          [](const ResultArraysHandle& r) {
            return py::make_tuple(r.columns, r.names.intermediate, r.names.transition,
                                  r.names.final_state, r.count, r.n, r.cycles);
          },
          [](const py::tuple& state) {
            ResultArraysHandle r;
            if (state.size() != 7) {
              throw py::value_error("not the state of a kinex.ResultArrays of this version");
            }
            r.columns = state[0].cast<py::dict>();
            for (const auto& column : r.columns) {
              column.second.attr("setflags")(py::arg("write") = false);
            }
            r.names.intermediate = state[1].cast<std::vector<std::string>>();
            r.names.transition = state[2].cast<std::vector<std::string>>();
            r.names.final_state = state[3].cast<std::string>();
            r.count = state[4].cast<int64_t>();
            r.n = state[5].cast<int64_t>();
            r.cycles = state[6];
            return r;
          }))
      .def("__repr__", [](const ResultArraysHandle& r) {
        return "<kinex.ResultArrays: " + std::to_string(r.count) + " cycles of " +
               std::to_string(r.n) + (r.n == 1 ? " step>" : " steps>");
      });
  m.def("evaluate_arrays", &evaluate_arrays, py::arg("T"), py::arg("G_int"), py::arg("G_ts"),
        py::arg("DeltaG"), py::arg("reactant") = py::none(), py::arg("product") = py::none(),
        py::arg("threads") = 0, py::arg("names") = py::none(), docs::kEvaluateArrays);
  m.def("_table_arrays", &table_arrays, py::arg("path"), py::arg("T"), py::arg("warn"));
  m.def(
      "_with_cycles",
      [](ResultArraysHandle r, const py::object& cycles) {
        r.cycles = cycles;
        return r;
      },
      "The results `r` with `cycles` as the CycleArrays they came from.");
}

}  // namespace kinex::python

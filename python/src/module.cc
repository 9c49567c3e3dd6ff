// The extension module kinex._kinex: cycles, their evaluation, reports,
// pictures and scans over the library of KINEX.exe and kinex, so that every
// number is the one behind the report. The package kinex (python/kinex)
// wraps it with what is plain Python.
#include <kinex/kinex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <thread>

#include "driver/driver.h"
#include "figures/plot.h"
#include "figures/volcano_svg.h"
#include "model/parallel.h"
#include "model/profile.h"
#include "model/storage.h"
#include "model/uncertainty.h"
#include "outputs/json_output.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"
#include "platform/files.h"
#include "python/src/cycle_data.h"
#include "python/src/docs.h"
#include "report/line_writer.h"
#include "scan/scan.h"
#include "text/strings.h"
#include "uncertainty/screening.h"
#include "volcano/volcano.h"

namespace py = pybind11;

namespace kinex::python {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct CycleHandle {
  std::shared_ptr<const CycleData> data;
};
struct ResultHandle {
  std::shared_ptr<const EvaluatedData> data;
};
struct UncertaintyHandle {
  std::shared_ptr<const UncertaintyData> data;
};
struct VolcanoHandle {
  std::shared_ptr<const VolcanoData> data;
};
// The band of a volcano, a view of it.
struct BandHandle {
  std::shared_ptr<const VolcanoData> data;
};

// --- errors -----------------------------------------------------------------

// A 1-based line or column, None for 0 (none applies).
py::object finding_line(int64_t line) {
  return line > 0 ? py::object(py::int_(line)) : py::object(py::none());
}

// A kinex.InputError (defined in python/kinex/_errors.py) for the input
// `place` names, with the whole diagnostic as its text.
py::object input_error(const std::string& message, const ErrorPlace& place) {
  // A file in another encoding (Latin-1) is quoted in the text: shown as
  // kinex's JSON shows it, U+FFFD for what is no UTF-8.
  std::string text = utf8_repaired(message);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const py::object type = py::module_::import("kinex._errors").attr("InputError");
  return type(text, utf8_repaired(place.file), finding_line(place.line), finding_line(place.column),
              utf8_repaired(place.reason));
}

[[noreturn]] void raise_input_error(const py::object& error) {
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

[[noreturn]] void raise_input_error(const std::string& message, const ErrorPlace& place) {
  raise_input_error(input_error(message, place));
}

[[noreturn]] void raise_memory(const Failure& failure) {
  std::string text = failure.message;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  PyErr_SetString(PyExc_MemoryError, text.c_str());
  throw py::error_already_set();
}

// --- numbers in and out -----------------------------------------------------

py::array_t<double> array_of(const double* begin, std::size_t count) {
  py::array_t<double> array(static_cast<py::ssize_t>(count));
  std::copy(begin, begin + count, array.mutable_data());
  return array;
}

// Steps 1..n of a per-step vector; NaN where `has` is false.
py::array_t<double> per_step(const std::vector<double>& values, const std::vector<bool>* has,
                             int64_t n) {
  py::array_t<double> array(static_cast<py::ssize_t>(n));
  double* out = array.mutable_data();
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    out[i - 1] = (has == nullptr || (*has)[at]) ? values[at] : kNaN;
  }
  return array;
}

std::string described(const py::handle& item) { return py::repr(item).cast<std::string>(); }

// `item` as a real number; TypeError naming `what` otherwise. A bool is
// no number here (True would be taken as 1 K, or 1 kcal/mol).
double real_of(const py::handle& item, const std::string& what) {
  if (PyBool_Check(item.ptr())) {
    throw py::type_error(what + ": " + described(item) + " is not a number");
  }
  if (PyFloat_Check(item.ptr()) || PyLong_Check(item.ptr()) || py::isinstance<py::float_>(item) ||
      PyNumber_Check(item.ptr())) {
    if (!PyUnicode_Check(item.ptr()) && !PyBytes_Check(item.ptr())) {
      const double x = PyFloat_AsDouble(item.ptr());
      if (!(x == -1.0 && PyErr_Occurred())) return x;
      PyErr_Clear();
    }
  }
  throw py::type_error(what + ": " + described(item) + " is not a number");
}

// The items of a sequence (a list, a tuple, a numpy array, ...), not a
// string or a mapping.
// `item` as text (UTF-8); TypeError when it is no str, ValueError when it
// holds what UTF-8 cannot (a lone surrogate).
std::string text_of(const py::handle& item, const std::string& what) {
  if (!PyUnicode_Check(item.ptr())) {
    throw py::type_error(what + ": " + described(item) + " is not a string");
  }
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(item.ptr(), &size);
  if (text == nullptr) {
    PyErr_Clear();
    throw py::value_error(what + ": " + described(item) +
                          " is no text that can be written (it holds a lone surrogate)");
  }
  return std::string(text, static_cast<std::size_t>(size));
}

// A number of threads: 0 (as many as pay off) or more; ValueError otherwise.
int threads_of(int threads) {
  if (threads < 0) throw py::value_error("threads: " + std::to_string(threads) + " is below 0");
  return threads;
}

// Whether Ctrl-C (or another signal Python handles) came in, asked from
// C++ work that released the GIL, on the thread that called it: at most
// every 0.1 s it takes the GIL and lets Python run its signal handlers.
// Once one raised, its exception stands until the caller, back under the
// GIL, raises it with py::error_already_set.
class Interrupts {
 public:
  bool operator()() {
    if (raised_) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(100)) return false;
    last_ = now;
    py::gil_scoped_acquire held;
    raised_ = PyErr_CheckSignals() != 0;
    return raised_;
  }
  bool raised() const { return raised_; }

 private:
  bool raised_ = false;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

std::vector<py::object> items_of(const py::handle& sequence, const char* argument) {
  if (PyUnicode_Check(sequence.ptr()) || PyBytes_Check(sequence.ptr()) ||
      PyDict_Check(sequence.ptr()) || !py::isinstance<py::iterable>(sequence)) {
    throw py::type_error(std::string(argument) + ": a sequence of numbers, one per step, not " +
                         described(py::type::handle_of(sequence)));
  }
  std::vector<py::object> items;
  for (const py::handle item : sequence) items.push_back(py::reinterpret_borrow<py::object>(item));
  return items;
}

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
    if (!reader_.open_file(path, T, kRowByRow)) {
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
  TableReader reader_;
};

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
    const int64_t room = runs_with_room(largest);
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
    parallel_for(static_cast<int64_t>(count), at_once, evaluate_one, [&](int64_t) {
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

report::Switches report_switches(const std::string& name, const std::string& options) {
  std::vector<std::string> args{name};
  std::size_t at = 0;
  while (at < options.size()) {
    const std::size_t begin = options.find_first_not_of(" \t", at);
    if (begin == std::string::npos) break;
    const std::size_t end = std::min(options.find_first_of(" \t", begin), options.size());
    args.push_back(options.substr(begin, end - begin));
    at = end;
  }
  return read_command_line(args).show;
}

std::string report_of(const EvaluatedData& evaluated, const std::string& options) {
  Evaluation evaluation;
  evaluation.cycle = evaluated.run.cycle;
  evaluation.profile = evaluated.run.profile;
  evaluation.results = evaluated.run.results;
  const std::string& name = evaluated.run.input_name;
  return report_text(std::string(text::trim_right(name)), evaluation,
                     report_switches(name, options));
}

// --- JSON to Python ---------------------------------------------------------

py::object python_of(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return py::none();
    case Json::value_t::boolean:
      return py::bool_(value.get<bool>());
    case Json::value_t::number_integer:
      return py::int_(value.get<int64_t>());
    case Json::value_t::number_unsigned:
      return py::int_(value.get<uint64_t>());
    case Json::value_t::number_float:
      return py::float_(value.get<double>());
    case Json::value_t::string: {
      const std::string& text = value.get_ref<const std::string&>();
      return py::reinterpret_steal<py::object>(
          PyUnicode_DecodeUTF8(text.data(), static_cast<py::ssize_t>(text.size()), "replace"));
    }
    case Json::value_t::array: {
      py::list list;
      for (const Json& item : value) list.append(python_of(item));
      return list;
    }
    case Json::value_t::object: {
      py::dict dict;
      for (auto it = value.begin(); it != value.end(); ++it) {
        dict[py::str(it.key())] = python_of(it.value());
      }
      return dict;
    }
    default:
      return py::none();
  }
}

py::dict dict_of(const EvaluatedData& evaluated) {
  const CycleData& source = *evaluated.source;
  Json doc = cycle_json(evaluated.run,
                        {"kinex", "json", source.from_table ? source.table_file : source.name},
                        evaluated.findings);
  if (source.from_table) doc = with_table(doc, source.table_file, source.table_row);
  return python_of(doc);
}

// --- uncertainty --------------------------------------------------------------

// Refuses a sigma that is not a finite number of at least 0, naming the
// state (or none, when one number stands for all).
void checked_sigmas(const std::vector<double>& sigma, const CycleData& data, bool common) {
  for (std::size_t s = 0; s < sigma.size(); ++s) {
    if (is_sigma(sigma[s])) continue;
    const std::string state = uncertainty_state_names(data.names, data.cycle.n)[s];
    throw py::value_error(std::string("sigma") +
                          (common ? "" : "[" + std::to_string(s) + "] (" + state + ")") + ": " +
                          described(py::float_(sigma[s])) +
                          " kcal/mol is not a sigma (a finite number, at least 0)");
  }
}

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
  if (!resolve_sigmas(spec, data.names, n, list, error)) {
    throw py::value_error("sigma: " + error);
  }
  checked_sigmas(list, data, spec.named.empty() && spec.has_common);
  return list;
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
  std::string error = check_uncertainty_model(data->model, cycle.data->cycle.n);
  if (!error.empty()) throw py::value_error(error);
  auto central = std::make_shared<EvaluatedData>();
  Failure failure;
  bool ok = false;
  Interrupts interrupted;
  {
    py::gil_scoped_release unlocked;
    ok = evaluate_data(cycle.data, threads, *central, failure) &&
         sample_uncertainty(cycle.data->cycle, data->model, threads, data->d, error,
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
         ensemble_uncertainty(members, data->d, error, row_names);
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
  return python_of(state_probabilities(uncertainty_state_names(run.names, run.cycle.n),
                                       tdi ? u.d.TDI_probability : u.d.TDTS_probability, tdi));
}

py::array_t<int32_t> int_array(const std::vector<int32_t>& v) {
  py::array_t<int32_t> array(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), array.mutable_data());
  return array;
}

// --- pictures and scans -----------------------------------------------------

PlotOptions plot_options(const std::optional<std::string>& title, bool no_title, double width,
                         double height, double font_size,
                         const std::optional<std::pair<double, double>>& y_range) {
  PlotOptions options;
  if (title) options.has_title = true, options.title = *title;
  options.no_title = no_title;
  auto positive = [](const char* what, double x) {
    if (!(x >= 0.0) || !std::isfinite(x)) {
      throw py::value_error(std::string(what) + ": " + std::to_string(x) +
                            " is not a size in px (a finite number above 0)");
    }
    return x;
  };
  options.width = positive("width", width);
  options.height = positive("height", height);
  options.font_size = positive("font_size", font_size);
  if (const std::string problem = check_plot_sizes(options); !problem.empty()) {
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
  if (runs.size() == 1) return render_profile_svg(*runs[0], runs[0]->input_name, options);
  return render_profiles_svg(runs, options);
}

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
    ok = run_scan(
        run, sweep, values,
        [&rows](const ScanRow& row) {
          rows.push_back(row);
          return true;
        },
        {}, failure);
  }
  if (!ok) raise_memory(failure);

  const StateNames names = run_names(run);
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
    tdi_names.append(tdi_state(names, row.TDI));
    tdts_names.append(tdts_state(names, row.TDTS));
    evaluation.append(evaluation_name(row.evaluation));
  }
  py::dict columns;
  columns["quantity"] = temperature ? std::string("T")
                                    : (kind == Sweep::Kind::Reactant ? "reactant_" : "product_") +
                                          std::to_string(step);
  columns["values"] = array_of(values.data(), values.size());
  columns["tof"] = tof;
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

// --- volcanoes ----------------------------------------------------------------

// The volcano of the table `path` (rows without a temperature at T), as
// kinex volcano builds it, and the rows left out: with `warn` each bad row
// is left out (its kinex.InputError returned, not raised), else the first
// is raised. The GIL is released while the curve and its band are drawn.
py::tuple make_volcano(const std::string& path, double T, bool warn, const std::string& descriptor,
                       const std::optional<std::pair<double, double>>& range, int64_t points,
                       int64_t samples, uint64_t seed, int threads) {
  std::vector<TableRow> rows;
  std::string error;
  ErrorPlace place;
  if (!read_table(path, T, rows, error, place)) raise_input_error(error, place);
  std::vector<TableRow> good;
  py::list left_out;
  for (TableRow& row : rows) {
    if (row.ok) {
      repair_texts(row);
      good.push_back(std::move(row));
      continue;
    }
    const py::object bad = input_error(row.error, row.place);
    if (!warn) raise_input_error(bad);
    left_out.append(bad);
  }
  VolcanoOptions options;
  options.descriptor = descriptor;
  if (range) options.has_range = true, options.from = range->first, options.to = range->second;
  options.points = points;
  options.samples = samples;
  options.seed = seed;
  options.threads = threads;
  auto data = std::make_shared<VolcanoData>();
  data->file = path;
  bool ok = false;
  Interrupts interrupted;
  options.stop = std::ref(interrupted);
  {
    py::gil_scoped_release unlocked;
    ok = build_volcano(good, options, data->volcano, error);
  }
  if (interrupted.raised()) throw py::error_already_set();
  if (!ok) {
    // Named by the table, as kinex volcano names it.
    std::string message;
    if (error.compare(0, path.size(), path) != 0) message = path + ": ";
    message += error;
    throw py::value_error(message);
  }
  return py::make_tuple(VolcanoHandle{std::move(data)}, left_out);
}

py::array_t<double> array_of(const std::vector<double>& values) {
  return array_of(values.data(), values.size());
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
         " points, top log10 TOF " + described(py::float_(v.top_log10_TOF)) + " at " +
         described(py::float_(v.top_x)) + ">";
}

// --- pickling ---------------------------------------------------------------

template <class Handle, class Data>
Handle unpickled(const py::bytes& state) {
  auto data = std::make_shared<Data>();
  if (!from_bytes(std::string(state), *data)) {
    throw py::value_error("not the state of a kinex object of this version");
  }
  return {std::move(data)};
}

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

std::string result_repr(const EvaluatedData& e) {
  const StateNames names = run_names(e.run);
  return "<kinex.Result " + described(py::str(e.run.input_name)) +
         ": TOF = " + described(py::float_(e.run.results.TOF)) +
         " 1/s, TDI = " + tdi_state(names, e.run.results.TDI) +
         ", TDTS = " + tdts_state(names, e.run.results.TDTS) + ">";
}

}  // namespace

void bind(py::module_& m) {
  m.doc() = docs::kModule;
  // The docstrings give the signatures in Python's terms.
  py::options options;
  options.disable_function_signatures();

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

  py::class_<CycleHandle> cycle_class(m, "Cycle", docs::kCycle);
  py::class_<ResultHandle> result_class(m, "Result", docs::kResult);
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
            return uncertainty_state_names(c.data->names, c.data->cycle.n);
          },
          "The states in cycle order (I0, TS1, I1, ..., TSn), the final state last.")
      .def_property_readonly(
          "name", [](const CycleHandle& c) { return c.data->name; },
          "The name the outputs show: the file, FILE:ROW for a table's row, or as given.")
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

  result_class
      .def_property_readonly(
          "cycle", [](const ResultHandle& r) { return CycleHandle{r.data->source}; },
          "The cycle evaluated.")
      .def_property_readonly(
          "name", [](const ResultHandle& r) { return r.data->run.input_name; }, "The cycle's name.")
      .def_property_readonly(
          "tof", [](const ResultHandle& r) { return r.data->run.results.TOF; },
          "The TOF per second (1/s); the same as tof_per_second.")
      .def_property_readonly(
          "tof_per_second", [](const ResultHandle& r) { return r.data->run.results.TOF; },
          "The TOF per second (1/s).")
      .def_property_readonly(
          "tof_per_hour", [](const ResultHandle& r) { return r.data->run.results.TOF * 3600.0; },
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
            return tdi_state(run_names(r.data->run), r.data->run.results.TDI);
          },
          "The TOF-determining intermediate, by name.")
      .def_property_readonly(
          "tdts",
          [](const ResultHandle& r) {
            return tdts_state(run_names(r.data->run), r.data->run.results.TDTS);
          },
          "The TOF-determining transition state, by name.")
      .def_property_readonly(
          "tdi_ties",
          [](const ResultHandle& r) {
            return tdi_tie_states(run_names(r.data->run), r.data->run.results);
          },
          "The intermediates whose terms tie with the TDI's (within a relative 1e-12), by "
          "name; the TDI is the earliest of them in cycle order.")
      .def_property_readonly(
          "tdts_ties",
          [](const ResultHandle& r) {
            return tdts_tie_states(run_names(r.data->run), r.data->run.results);
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
          "energetic_span", [](const ResultHandle& r) { return energetic_span(r.data->run); },
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
          "driving_force_warning",
          [](const ResultHandle& r) -> py::object {
            const std::string text = warning_text(r.data->run);
            return text.empty() ? py::object(py::none()) : py::object(py::str(text));
          },
          "The report's warning when there is no positive driving force, else None.")
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
          "advice", [](const ResultHandle& r) { return advice_text(r.data->run); },
          "The report's advice on concentrations ('' where it names no step).")
      .def_property_readonly(
          "advice_reactant_steps",
          [](const ResultHandle& r) { return advice_reactant_steps(r.data->run); },
          "The steps whose reactants the advice says to give in high concentration.")
      .def_property_readonly(
          "advice_product_steps",
          [](const ResultHandle& r) { return advice_product_steps(r.data->run); },
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

  using U = const UncertaintyHandle&;
  py::class_<UncertaintyHandle>(m, "Uncertainty", docs::kUncertainty)
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
          "median", [](U u) { return u.data->d.median; }, "The median of log10 TOF.")
      .def_property_readonly(
          "mean", [](U u) { return u.data->d.mean; }, "The mean of log10 TOF.")
      .def_property_readonly(
          "sd", [](U u) { return u.data->d.sd; }, "The sd of log10 TOF.")
      .def_property_readonly(
          "first_order_sd", [](U u) { return u.data->d.first_order_sd; },
          "The sd of log10 TOF from the degrees of TOF control at the energies as given "
          "(NaN for an ensemble).")
      .def_property_readonly(
          "interval_68", [](U u) { return std::make_pair(u.data->d.low68, u.data->d.high68); },
          "The central 68 % of log10 TOF (15.87 % and 84.13 % quantiles).")
      .def_property_readonly(
          "interval_95", [](U u) { return std::make_pair(u.data->d.low95, u.data->d.high95); },
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
          "log10 TOF at the energies as given.")
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
          "to_dict", [](U u) { return python_of(uncertainty_json(source_of(*u.data), u.data->d)); },
          "to_dict() -> dict\n\nThe document of kinex uncertainty --json.")
      .def(
          "text", [](U u) { return uncertainty_text(source_of(*u.data), u.data->d); },
          "text() -> str\n\nThe text of kinex uncertainty.")
      .def("__repr__",
           [](U u) {
             return "<kinex.Uncertainty " + described(py::str(u.data->name)) + ": " +
                    std::to_string(u.data->d.samples) + " samples, log10 TOF median " +
                    described(py::float_(u.data->d.median)) + ">";
           })
      .def(py::pickle([](U u) { return py::bytes(to_bytes(*u.data)); },
                      [](const py::bytes& state) {
                        return unpickled<UncertaintyHandle, UncertaintyData>(state);
                      }));

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
        return "<kinex.VolcanoFit " + f.state + " = " + described(py::float_(f.intercept)) + " + " +
               described(py::float_(f.slope)) + " x, R2 = " + described(py::float_(f.r2)) + ">";
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
        return "<kinex.VolcanoRegion " + described(py::float_(r.from)) + " .. " +
               described(py::float_(r.to)) + ": TDI " + r.TDI + ", TDTS " + r.TDTS + ">";
      });

  py::class_<VolcanoPoint>(m, "VolcanoPoint", docs::kVolcanoPoint)
      .def_readonly("name", &VolcanoPoint::name, "The catalyst (the table's column 1).")
      .def_readonly("descriptor", &VolcanoPoint::x, "Its descriptor value.")
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
        return "<kinex.VolcanoPoint " + described(py::str(p.name)) + " at " +
               described(py::float_(p.x)) + ": log10 TOF " + described(py::float_(p.log10_TOF)) +
               (p.outlier ? ", outlier" : "") + ">";
      });

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
          "to_dict", [](V v) { return python_of(volcano_json(v.data->file, v.data->volcano)); },
          "to_dict() -> dict\n\nThe document of kinex volcano --json, the same keys and numbers.")
      .def(
          "csv", [](V v) { return volcano_csv(v.data->volcano); },
          "csv() -> str\n\nThe text of kinex volcano --csv: the curve, a row per point.")
      .def(
          "text", [](V v) { return volcano_text(v.data->file, v.data->volcano); },
          "text() -> str\n\nThe text of kinex volcano.")
      .def(
          "_svg",
          [](V v, const std::string& curve) {
            return volcano_svg(v.data->file, v.data->volcano, VolcanoPicture{volcano_curve(curve)});
          },
          py::arg("curve"))
      .def("__len__", [](V v) { return v.data->volcano.x.size(); })
      .def("__repr__", [](V v) { return volcano_repr(*v.data); })
      .def(py::pickle(
          [](V v) { return py::bytes(to_bytes(*v.data)); },
          [](const py::bytes& state) { return unpickled<VolcanoHandle, VolcanoData>(state); }));

  m.def("_volcano", &make_volcano, py::arg("path"), py::arg("T"), py::arg("warn"),
        py::arg("descriptor"), py::arg("range"), py::arg("points"), py::arg("samples"),
        py::arg("seed"), py::arg("threads"));
  m.def("_uncertainty", &uncertainty, py::arg("cycle"), py::arg("sigma"), py::arg("samples"),
        py::arg("seed"), py::arg("correlation"), py::arg("shared"), py::arg("stream"),
        py::arg("threads"));
  m.def("ensemble", &ensemble, py::arg("cycles"), docs::kEnsemble);
  m.def("_read", &read_file, py::arg("path"));
  py::class_<TableRows>(m, "_TableRows")
      .def(py::init<const std::string&, double>(), py::arg("path"), py::arg("T"))
      .def("__iter__", [](TableRows& rows) -> TableRows& { return rows; })
      .def("__next__", &TableRows::next);
  m.def(
      "_replace_file",
      [](const std::string& path, const std::string& text) {
        std::string reason;
        bool ok = false;
        {
          py::gil_scoped_release unlocked;
          ok = replace_file(path, text, reason);
        }
        if (!ok) {
          PyErr_SetString(PyExc_OSError, (path + ": " + reason).c_str());
          throw py::error_already_set();
        }
      },
      py::arg("path"), py::arg("text"));
  m.def("evaluate_many", &evaluate_many, py::arg("cycles"), py::arg("threads") = 0,
        docs::kEvaluateMany);
  m.def(
      "_plot",
      [](const std::vector<ResultHandle>& results, const std::optional<std::string>& title,
         bool no_title, double width, double height, double font_size,
         const std::optional<std::pair<double, double>>& y_range, const py::handle& sigma,
         int64_t samples, uint64_t seed, double correlation) {
        PlotOptions options = plot_options(title, no_title, width, height, font_size, y_range);
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
          const std::string error = check_uncertainty_model(model, results[0].data->run.cycle.n);
          if (!error.empty()) throw py::value_error(error);
          options.sigma_samples = samples;
          options.sigma_seed = seed;
          options.sigma_correlation = correlation;
        }
        return plot_results(results, options);
      },
      py::arg("results"), py::arg("title"), py::arg("no_title"), py::arg("width"),
      py::arg("height"), py::arg("font_size"), py::arg("y_range"), py::arg("sigma"),
      py::arg("samples"), py::arg("seed"), py::arg("correlation"));
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

PYBIND11_MODULE(_kinex, m) { kinex::python::bind(m); }

// What the files of the extension module share: the handles the Python
// objects hold, errors raised as Python's, conversions between Python
// values and C++ ones, and one binder per class or group of functions.
#pragma once

#include <kinex/json.h>
#include <kinex/pictures.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cycle_data.h"
#include "docs.h"

namespace kinex::python {

namespace py = pybind11;

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
py::object finding_line(int64_t line);

// A kinex.InputError (defined in python/kinex/_errors.py) for the input
// `place` names, with the whole diagnostic as its text.
py::object input_error(const std::string& message, const ErrorPlace& place);

[[noreturn]] void raise_input_error(const py::object& error);
[[noreturn]] void raise_input_error(const std::string& message, const ErrorPlace& place);

// The good rows of the table `path` (rows without a temperature at T), their
// texts made UTF-8, as kinex volcano and kinex map read them: with `warn`
// each bad row is left out, its kinex.InputError appended to `left_out`,
// else the first is raised; a table that cannot be read raises.
std::vector<TableRow> good_rows(const std::string& path, double T, bool warn, py::list& left_out);

// `build` run with the GIL released, as kinex.volcano and kinex.map build
// theirs from the table `path`: it asks `stop` now and then, which answers
// true once Python's signal handlers raised; that exception is raised then,
// else ValueError, named by the table as kinex names it, when `build`
// fails with the reason in `error`.
void build_released(
    const std::string& path,
    const std::function<bool(const std::function<bool()>& stop, std::string& error)>& build);
// A MemoryError with the failure's message.
[[noreturn]] void raise_memory(const Failure& failure);

// --- numbers in and out -----------------------------------------------------

py::array_t<double> array_of(const double* begin, std::size_t count);
py::array_t<double> array_of(const std::vector<double>& values);
py::array_t<int32_t> int_array(const std::vector<int32_t>& v);

// Steps 1..n of a per-step vector; NaN where `has` is false.
py::array_t<double> per_step(const std::vector<double>& values, const std::vector<bool>* has,
                             int64_t n);

// The repr of `item`, for messages.
std::string described(const py::handle& item);

// `x` as a repr shows a result: four significant digits ("7.481e-07",
// "-6.096"), "nan" and "inf" as Python writes them. The objects keep every
// bit; to_dict() and the attributes give them.
std::string repr_number(double x);

// What a notebook shows of `object`: kinex._html's function `name` of it.
py::object notebook_html(const char* name, const py::object& object);

// `item` as a real number; TypeError naming `what` otherwise. A bool is
// no number here (True would be taken as 1 K, or 1 kcal/mol).
double real_of(const py::handle& item, const std::string& what);

// `item` as text (UTF-8); TypeError when it is no str, ValueError when it
// holds what UTF-8 cannot (a lone surrogate).
std::string text_of(const py::handle& item, const std::string& what);

// A number of threads: 0 (as many as pay off) or more; ValueError otherwise.
int threads_of(int threads);

// The items of a sequence (a list, a tuple, a numpy array, ...), not a
// string or a mapping; TypeError naming `argument` otherwise.
std::vector<py::object> items_of(const py::handle& sequence, const char* argument);

// Python values built from a document's values: None, bool, int, float,
// str (invalid UTF-8 replaced by U+FFFD), list and dict (in the document's
// order); `result` holds the document once it has been visited.
class PythonValues : public JsonVisitor {
 public:
  py::object result;

  void null() override;
  void boolean(bool value) override;
  void integer(int64_t value) override;
  void unsigned_integer(uint64_t value) override;
  void real(double value) override;
  void text(const std::string& value) override;
  void begin_array(std::size_t items) override;
  void end_array() override;
  void begin_object() override;
  void key(const std::string& name) override;
  void end_object() override;

 private:
  // A list (made with room for its items) or dict being filled: the place
  // of a list's next item, the key of a dict's next value.
  struct Open {
    py::object container;
    py::object key;
    bool dict;
    Py_ssize_t next = 0;
  };
  void add(py::object value);
  void close();

  std::vector<Open> open_;
};

// The JSON document `write(visitor)` hands to its visitor, as Python values.
template <class Write>
py::object python_of(const Write& write) {
  PythonValues values;
  write(values);
  return std::move(values.result);
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

template <class Handle, class Data>
Handle unpickled(const py::bytes& state) {
  auto data = std::make_shared<Data>();
  if (!from_bytes(std::string(state), *data)) {
    throw py::value_error("not the state of a kinex object of this version");
  }
  return {std::move(data)};
}

// --- shared by the classes ----------------------------------------------------

// The state names `given` for a cycle of n steps: None (the defaults I0..,
// TS1..), or 2n names in cycle order (I0, TS1, I1, ..., TSn), or 2n + 1
// with the final state last; TypeError or ValueError naming `names`
// otherwise.
StateNames state_names(const py::handle& given, std::size_t n);

// `cycle` evaluated on `threads` threads, the GIL released meanwhile.
ResultHandle evaluate(const CycleHandle& cycle, int threads);

// The report of KINEX.exe for `evaluated`, with `options` as its letters.
std::string report_of(const EvaluatedData& evaluated, const std::string& options);

// The sigma of every state from `sigma`: one number for all, a sequence in
// the model's order (I0, TS1, I1, ..., TSn, the final state), or a mapping
// from state names ("final" for the final state) to sigmas.
std::vector<double> sigmas_of(const py::handle& sigma, const CycleData& data);

// The energy profile of `self` (a Cycle or a Result), as kinex.plot draws it.
py::object plot_method(const py::object& self, const py::object& title, const py::object& width,
                       const py::object& height, const py::object& font_size,
                       const py::object& y_range, const py::object& sigma,
                       const py::object& samples, const py::object& seed,
                       const py::object& correlation, const py::object& xlabel,
                       const py::object& ylabel, const py::object& ax, const py::object& size);

// `text` as a paper size (kinex/pictures.h); ValueError naming `size`
// otherwise.
PaperSize paper_size(const std::string& text);

// The picture that Volcano.plot and Map.plot ask for: the title (None the
// default, '' none), the axes' titles (None the defaults), a paper size
// (paper_size) and the text's pt (0: the size's); ValueError for a font
// size not from 0 to 750.
VolcanoPicture table_picture(const std::optional<std::string>& title,
                             const std::optional<std::string>& xlabel,
                             const std::optional<std::string>& ylabel,
                             const std::optional<std::string>& size, double font_size);

// The picture `svg` of the table `file` as a kinex.Picture, which never
// saves over the table; drawn into the matplotlib Axes `ax` (and that
// returned) unless it is None.
py::object table_picture_drawn(const std::string& svg, const std::string& file,
                               const py::object& ax);

// Adds plot() and the notebook's HTML to the Cycle or Result class `c`;
// `evaluated` turns its object into a Result for the HTML.
template <class Class, class Evaluated>
void def_profile_faces(Class& c, Evaluated evaluated) {
  c.def("plot", &plot_method, py::arg("title") = py::none(), py::arg("width") = py::none(),
        py::arg("height") = py::none(), py::arg("font_size") = py::none(),
        py::arg("y_range") = py::none(), py::arg("sigma") = py::none(), py::arg("samples") = 10000,
        py::arg("seed") = 0, py::arg("correlation") = 0.0, py::arg("xlabel") = py::none(),
        py::arg("ylabel") = py::none(), py::arg("ax") = py::none(), py::arg("size") = py::none(),
        docs::kProfilePlot);
  c.def(
      "_repr_html_",
      [evaluated](const py::object& self) { return notebook_html("result_html", evaluated(self)); },
      docs::kHtml);
}

// A name an earlier version used, kept for old scripts: the property
// `old_name` gives `new_name` with a DeprecationWarning that says the new
// name. Its docstring starts with "Deprecated", which keeps it out of the
// stub and the docs.
py::object renamed_attribute(const py::object& self, const char* old_name, const char* new_name);
template <class Class>
void def_renamed(Class& c, const char* old_name, const char* new_name) {
  c.def_property_readonly(
      old_name,
      [old_name, new_name](const py::object& self) {
        return renamed_attribute(self, old_name, new_name);
      },
      (std::string("Deprecated: the old name of ") + new_name + ".").c_str());
}

// --- the binders, one per class or group ---------------------------------------

void bind_finding(py::module_& m);
void bind_cycle(py::module_& m, py::class_<CycleHandle>& cycle_class);
void bind_result(py::module_& m, py::class_<ResultHandle>& result_class);
void bind_uncertainty(py::module_& m, py::class_<CycleHandle>& cycle_class);
void bind_volcano(py::module_& m);
void bind_map(py::module_& m);
void bind_pictures(py::module_& m);
void bind_scans(py::module_& m);
void bind_arrays(py::module_& m);
void bind_network(py::module_& m);

}  // namespace kinex::python

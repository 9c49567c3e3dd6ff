// Python errors from the library's failures, and numbers, texts and JSON
// between Python and C++.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "binding.h"

namespace kinex::python {
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

std::vector<TableRow> good_rows(const std::string& path, double T, bool warn, py::list& left_out) {
  std::vector<TableRow> rows;
  std::string error;
  ErrorPlace place;
  if (!features::read_table(path, T, rows, error, place)) raise_input_error(error, place);
  std::vector<TableRow> good;
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
  return good;
}

VolcanoPicture table_picture(const std::optional<std::string>& title,
                             const std::optional<std::string>& xlabel,
                             const std::optional<std::string>& ylabel,
                             const std::optional<std::string>& size, double font_size) {
  VolcanoPicture picture;
  if (!(font_size >= 0.0) || !(font_size <= 750.0))
    throw py::value_error("font_size: " + std::to_string(font_size) +
                          " is not a size in pt (above 0, at most 750)");
  picture.font_size = font_size;
  if (size) {
    const PaperSize paper = paper_size(*size);
    picture.width = paper.width;
    picture.height = paper.height;
    if (!(font_size > 0)) picture.font_size = paper.font_size;
  }
  picture.has_title = title.has_value();
  picture.no_title = title && title->empty();
  picture.title = title.value_or("");
  picture.xlabel = xlabel.value_or("");
  picture.ylabel = ylabel.value_or("");
  return picture;
}

py::object table_picture_drawn(const std::string& svg, const std::string& file,
                               const py::object& ax) {
  py::object drawn =
      py::module_::import("kinex._picture").attr("Picture")(svg, py::make_tuple(file));
  return ax.is_none() ? drawn : drawn.attr("draw")(ax);
}

void build_released(
    const std::string& path,
    const std::function<bool(const std::function<bool()>& stop, std::string& error)>& build) {
  std::string error;
  bool ok = false;
  Interrupts interrupted;
  {
    py::gil_scoped_release unlocked;
    ok = build(std::ref(interrupted), error);
  }
  if (interrupted.raised()) throw py::error_already_set();
  if (ok) return;
  std::string message;
  if (error.compare(0, path.size(), path) != 0) message = path + ": ";
  message += error;
  throw py::value_error(message);
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

py::array_t<double> array_of(const std::vector<double>& values) {
  return array_of(values.data(), values.size());
}

py::array_t<int32_t> int_array(const std::vector<int32_t>& v) {
  py::array_t<int32_t> array(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), array.mutable_data());
  return array;
}

// --- JSON to Python ---------------------------------------------------------

void PythonValues::null() { add(py::none()); }
void PythonValues::boolean(bool value) { add(py::bool_(value)); }
void PythonValues::integer(int64_t value) { add(py::int_(value)); }
void PythonValues::unsigned_integer(uint64_t value) { add(py::int_(value)); }
void PythonValues::real(double value) { add(py::float_(value)); }
void PythonValues::text(const std::string& value) {
  add(py::reinterpret_steal<py::object>(
      PyUnicode_DecodeUTF8(value.data(), static_cast<py::ssize_t>(value.size()), "replace")));
}
void PythonValues::begin_array(std::size_t items) {
  open_.push_back({py::list(static_cast<py::ssize_t>(items)), py::object(), false});
}
void PythonValues::end_array() { close(); }
void PythonValues::begin_object() { open_.push_back({py::dict(), py::object(), true}); }
void PythonValues::key(const std::string& name) { open_.back().key = py::str(name); }
void PythonValues::end_object() { close(); }

void PythonValues::add(py::object value) {
  if (open_.empty()) {
    result = std::move(value);
    return;
  }
  Open& into = open_.back();
  PyObject* container = into.container.ptr();
  if (into.dict) {
    if (PyDict_SetItem(container, into.key.ptr(), value.ptr()) != 0) throw py::error_already_set();
  } else if (into.next < PyList_GET_SIZE(container)) {
    PyList_SET_ITEM(container, into.next++, value.release().ptr());  // the list takes it
  } else if (PyList_Append(container, value.ptr()) != 0) {
    throw py::error_already_set();
  }
}

void PythonValues::close() {
  Open& into = open_.back();
  // A list given fewer items than it was made for keeps only those.
  if (!into.dict && into.next < PyList_GET_SIZE(into.container.ptr()) &&
      PyList_SetSlice(into.container.ptr(), into.next, PyList_GET_SIZE(into.container.ptr()),
                      nullptr) != 0) {
    throw py::error_already_set();
  }
  py::object done = std::move(into.container);
  open_.pop_back();
  add(std::move(done));
}

py::object renamed_attribute(const py::object& self, const char* old_name, const char* new_name) {
  const std::string message = std::string("kinex: ") + old_name + " is now called " + new_name +
                              "; the old name will go in a later version";
  if (PyErr_WarnEx(PyExc_DeprecationWarning, message.c_str(), 2) != 0) {
    throw py::error_already_set();
  }
  return self.attr(new_name);
}

std::string repr_number(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x > 0 ? "inf" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", x);
  return text;
}

py::object notebook_html(const char* name, const py::object& object) {
  return py::module_::import("kinex._html").attr(name)(object);
}

}  // namespace kinex::python

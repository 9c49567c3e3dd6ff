// The extension module kinex._kinex: its classes and functions, each bound
// in its own file (see binding.h).
#include "binding.h"
#include "docs.h"

namespace kinex::python {
namespace {

void bind(py::module_& m) {
  m.doc() = docs::kModule;
  // The docstrings give the signatures in Python's terms.
  py::options options;
  options.disable_function_signatures();

  bind_finding(m);
  // Declared before either is bound, so that each one's signatures name the other.
  py::class_<CycleHandle> cycle_class(m, "Cycle", docs::kCycle);
  py::class_<ResultHandle> result_class(m, "Result", docs::kResult);
  bind_cycle(m, cycle_class);
  bind_result(m, result_class);
  bind_uncertainty(m, cycle_class);
  bind_volcano(m);
  bind_map(m);
  bind_pictures(m);
  bind_scans(m);
  bind_arrays(m);
  bind_network(m);
}

}  // namespace
}  // namespace kinex::python

PYBIND11_MODULE(_kinex, m) { kinex::python::bind(m); }

// The network functions under kinex.Network (python/kinex/_network.py): a
// network file read and evaluated into its document, and a cycle written
// as a network file.
#include <kinex/network.h>

#include "binding.h"

namespace kinex::python {

void bind_network(py::module_& m) {
  m.def(
      "_network_document",
      [](const std::string& text, const std::string& name) {
        Failure failure;
        py::object document;
        {
          PythonValues values;
          if (!features::network_document(text, name, values, failure)) {
            if (failure.place.line > 0 || !failure.place.file.empty()) {
              raise_input_error(failure.message, failure.place);
            }
            throw py::value_error(failure.message);
          }
          document = std::move(values.result);
        }
        return document;
      },
      py::arg("text"), py::arg("name"));
  m.def(
      "_cycle_network_file",
      [](const CycleHandle& cycle, const std::string& comment) {
        return features::cycle_network_file(cycle.data->cycle, comment);
      },
      py::arg("cycle"), py::arg("comment"));
}

}  // namespace kinex::python

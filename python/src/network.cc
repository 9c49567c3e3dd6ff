// The network functions under kinex.Network (python/kinex/_network.py): a
// network file read and evaluated into its document, and a cycle written
// as a network file.
#include <kinex/network.h>

#include "binding.h"

namespace kinex::python {

namespace {

// A document's values kept as they come, to be handed on later: so that
// the work that writes them can run without the GIL, and the Python
// objects be made under it.
class Recorded : public JsonVisitor {
 public:
  void null() override { add(Kind::null); }
  void boolean(bool value) override { add(Kind::boolean).flag = value; }
  void integer(int64_t value) override { add(Kind::integer).whole = value; }
  void unsigned_integer(uint64_t value) override { add(Kind::unsigned_integer).count = value; }
  void real(double value) override { add(Kind::real).number = value; }
  void text(const std::string& value) override { add(Kind::text).words = value; }
  void begin_array(std::size_t items) override { add(Kind::begin_array).count = items; }
  void end_array() override { add(Kind::end_array); }
  void begin_object() override { add(Kind::begin_object); }
  void key(const std::string& name) override { add(Kind::key).words = name; }
  void end_object() override { add(Kind::end_object); }

  // The values again, in the order they came, to `to`.
  void replay(JsonVisitor& to) const {
    for (const Event& e : events_) {
      switch (e.kind) {
        case Kind::null:
          to.null();
          break;
        case Kind::boolean:
          to.boolean(e.flag);
          break;
        case Kind::integer:
          to.integer(e.whole);
          break;
        case Kind::unsigned_integer:
          to.unsigned_integer(e.count);
          break;
        case Kind::real:
          to.real(e.number);
          break;
        case Kind::text:
          to.text(e.words);
          break;
        case Kind::begin_array:
          to.begin_array(e.count);
          break;
        case Kind::end_array:
          to.end_array();
          break;
        case Kind::begin_object:
          to.begin_object();
          break;
        case Kind::key:
          to.key(e.words);
          break;
        case Kind::end_object:
          to.end_object();
          break;
      }
    }
  }

 private:
  enum class Kind {
    null,
    boolean,
    integer,
    unsigned_integer,
    real,
    text,
    begin_array,
    end_array,
    begin_object,
    key,
    end_object
  };
  struct Event {
    Kind kind = Kind::null;
    bool flag = false;
    int64_t whole = 0;
    uint64_t count = 0;
    double number = 0.0;
    std::string words;
  };
  Event& add(Kind kind) {
    events_.emplace_back();
    events_.back().kind = kind;
    return events_.back();
  }
  std::vector<Event> events_;
};

}  // namespace

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
      "_network_uncertainty",
      [](const std::string& text, const std::string& name, double common,
         const std::vector<std::pair<std::string, double>>& named, int64_t samples, uint64_t seed,
         double correlation, int threads) {
        features::NetworkSigmas sigmas;
        sigmas.common = common;
        sigmas.named = named;
        sigmas.samples = samples;
        sigmas.seed = seed;
        sigmas.correlation = correlation;
        sigmas.threads = threads;
        Failure failure;
        Recorded recorded;
        bool ok = false;
        {
          py::gil_scoped_release unlocked;
          ok = features::network_uncertainty_document(text, name, sigmas, recorded, failure);
        }
        if (!ok) throw py::value_error(failure.message);
        PythonValues values;
        recorded.replay(values);
        return std::move(values.result);
      },
      py::arg("text"), py::arg("name"), py::arg("common"), py::arg("named"), py::arg("samples"),
      py::arg("seed"), py::arg("correlation"), py::arg("threads"));
  m.def(
      "_network_svg",
      [](const std::string& text, const std::string& name) {
        std::string svg;
        Failure failure;
        if (!features::network_picture(text, name, svg, failure)) {
          throw py::value_error(failure.message);
        }
        return svg;
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

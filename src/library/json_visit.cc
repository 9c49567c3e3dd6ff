#include "library/json_visit.h"

#include <cstdint>
#include <string>

namespace kinex::features {

void visit_json(const Json& doc, JsonVisitor& to) {
  switch (doc.type()) {
    case Json::value_t::boolean:
      to.boolean(doc.get<bool>());
      return;
    case Json::value_t::number_integer:
      to.integer(doc.get<int64_t>());
      return;
    case Json::value_t::number_unsigned:
      to.unsigned_integer(doc.get<uint64_t>());
      return;
    case Json::value_t::number_float:
      to.real(doc.get<double>());
      return;
    case Json::value_t::string:
      to.text(doc.get_ref<const std::string&>());
      return;
    case Json::value_t::array:
      to.begin_array(doc.size());
      for (const Json& item : doc) visit_json(item, to);
      to.end_array();
      return;
    case Json::value_t::object:
      to.begin_object();
      for (auto it = doc.begin(); it != doc.end(); ++it) {
        to.key(it.key());
        visit_json(it.value(), to);
      }
      to.end_object();
      return;
    default:
      to.null();
      return;
  }
}

}  // namespace kinex::features

// Volcanoes for callers of the public headers.
#include "volcano/volcano.h"

#include <kinex/volcano.h>

#include "library/json_visit.h"

namespace kinex::features {

bool build_volcano(const std::vector<TableRow>& rows, const VolcanoOptions& options,
                   Volcano& volcano, std::string& error) {
  return kinex::build_volcano(rows, options, volcano, error);
}

void volcano_json(const std::string& file, const Volcano& volcano, JsonVisitor& to) {
  visit_json(kinex::volcano_json(file, volcano), to);
}

std::string volcano_csv(const Volcano& volcano) { return kinex::volcano_csv(volcano); }

std::string volcano_text(const std::string& file, const Volcano& volcano) {
  return kinex::volcano_text(file, volcano);
}

}  // namespace kinex::features

// Maps for callers of the public headers.
#include "map/map.h"

#include <kinex/map.h>

#include "figures/map_svg.h"
#include "library/json_visit.h"

namespace kinex::features {

void map_json(const std::string& file, const Map& map, JsonVisitor& to) {
  visit_json(kinex::map_json(file, map), to);
}

std::string map_csv(const Map& map) {
  CsvNames as_they_are;
  return kinex::map_csv(map, as_they_are);
}

std::string map_text(const std::string& file, const Map& map) { return kinex::map_text(file, map); }

std::string map_svg(const std::string& file, const Map& map, const VolcanoPicture& picture) {
  return kinex::map_svg(file, map, picture);
}

}  // namespace kinex::features

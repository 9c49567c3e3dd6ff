// The box a flat text of a picture takes, read back as JSON {"text", "size",
// "anchor", "x", "y"}, by the layout's own width and line measures.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "figures/plot_geometry.h"
#include "figures/plot_style.h"
#include "figures/plot_text.h"

namespace kinex::test_figures {

inline plot::Box text_box(const nlohmann::json& t) {
  const std::string words = t["text"];
  const double size = t["size"], width = plot::text_width(words, size);
  const std::string anchor = t["anchor"];
  const double x = t["x"], y = t["y"];
  const double x0 = anchor == "start" ? x : anchor == "middle" ? x - width / 2 : x - width;
  return {x0, y + plot::kDescent * size - plot::kLineHeight * size, x0 + width,
          y + plot::kDescent * size};
}

}  // namespace kinex::test_figures

// The energy-profile picture in three steps: what is shown (plot_scene.h),
// where it goes (plot_layout.h), and the SVG document (plot_svg.h).
#include "kinex/plot.h"

#include "kinex/plot_layout.h"
#include "kinex/plot_scene.h"
#include "kinex/plot_svg.h"

namespace kinex {

std::string render_profile_svg(const Run& run, const std::string& file_name) {
  plot::Scene scene = plot::make_scene(run, file_name);
  const plot::Layout layout = plot::lay_out(scene.states, scene.span, scene.texts);
  const plot::SpanDrawing span = plot::place_span(scene.states, layout, scene.span, scene.texts);
  return plot::write_svg(scene, layout, span);
}

}  // namespace kinex

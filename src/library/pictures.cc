// Pictures for callers of the public headers.
#include <kinex/pictures.h>

#include "figures/plot.h"
#include "figures/volcano_svg.h"

namespace kinex::features {

std::string check_plot_sizes(const PlotOptions& options) {
  return kinex::check_plot_sizes(options);
}

bool parse_paper_size(std::string_view text, PaperSize& size, std::string& error) {
  return kinex::parse_paper_size(text, size, error);
}

std::string render_profile_svg(const Run& run, const std::string& file_name,
                               const PlotOptions& options) {
  return kinex::render_profile_svg(run, file_name, options);
}

std::string render_profiles_svg(const std::vector<const Run*>& runs, const PlotOptions& options) {
  return kinex::render_profiles_svg(runs, options);
}

std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture) {
  return kinex::volcano_svg(file, volcano, picture);
}

}  // namespace kinex::features

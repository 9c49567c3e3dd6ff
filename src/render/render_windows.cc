// Windows builds draw their pictures as SVG alone: Debian has no Windows
// build of librsvg and cairo to render PDF and PNG with.
#include <string>

#include "render/render.h"

namespace kinex {

bool render_picture(std::string_view svg, PictureFormat format, double, std::string& bytes,
                    std::string& error) {
  bytes.clear();
  if (format == PictureFormat::svg) {
    bytes.assign(svg);
    return true;
  }
  error =
      "this build of kinex draws SVG alone (the Windows build has no PDF or PNG "
      "renderer): give a name that ends in .svg";
  return false;
}

}  // namespace kinex

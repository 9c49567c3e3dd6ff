// The pictures as PDF and PNG for callers of the public headers.
#include "render/render.h"

#include <kinex/render.h>

namespace kinex::features {

bool picture_format_of(std::string_view name, PictureFormat& format) {
  return kinex::picture_format_of(name, format);
}

bool render_picture(std::string_view svg, PictureFormat format, double dpi, std::string& bytes,
                    std::string& error) {
  return kinex::render_picture(svg, format, dpi, bytes, error);
}

}  // namespace kinex::features

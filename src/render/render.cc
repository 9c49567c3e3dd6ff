#include "render/render.h"

#include <string>

#include "text/strings.h"

namespace kinex {

bool picture_format_of(std::string_view name, PictureFormat& format) {
  if (name.size() < 4) return false;
  const std::string extension = text::ascii_lower(name.substr(name.size() - 4));
  if (extension == ".svg") {
    format = PictureFormat::svg;
  } else if (extension == ".pdf") {
    format = PictureFormat::pdf;
  } else if (extension == ".png") {
    format = PictureFormat::png;
  } else {
    return false;
  }
  return true;
}

}  // namespace kinex

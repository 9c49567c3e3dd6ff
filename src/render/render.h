// SVG pictures rendered as PDF or PNG in process (librsvg over cairo), for
// kinex's -o and the library. Only kinex and the library link this: the
// report program does not.
#pragma once

#include <kinex/render.h>

#include <string>
#include <string_view>

namespace kinex {

// As features::picture_format_of (kinex/render.h).
bool picture_format_of(std::string_view name, PictureFormat& format);

// As features::render_picture (kinex/render.h).
bool render_picture(std::string_view svg, PictureFormat format, double dpi, std::string& bytes,
                    std::string& error);

}  // namespace kinex

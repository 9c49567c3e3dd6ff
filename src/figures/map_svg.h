// The picture of an activity map (kinex/map.h), a column wide.
#pragma once

#include <kinex/map.h>

#include <array>
#include <string>

#include "kinex/pictures.h"

namespace kinex {

// The SVG of a map: log10 TOF over the grid as a heat map whose colours
// grow lighter as it grows (map_colour), a colour bar titled
// "log10(TOF / s^-1)" with ticks, the boundaries of the regions of equal
// TDI and TDTS as lines with the regions named inside them where the names
// fit (numbered, or named in a key under the plot, where not), the
// catalysts as points with their names kept clear of each other, and the
// axes titled with the descriptors in kcal/mol (the temperature in K).
// Sizes as volcano_svg takes them from `picture` (width, height, font
// size; the title, no_title and the axes' titles; the curve is unused).
// Every text is escaped and no coordinate is non-finite.
std::string map_svg(const std::string& file, const Map& map, const VolcanoPicture& picture);

// The colour of share t (0..1, clamped) of the colour scale, as red, green
// and blue 0..255: from dark blue through green to yellow, its luminance
// growing with t, so that the scale reads in grey too.
std::array<int, 3> map_colour(double t);

}  // namespace kinex

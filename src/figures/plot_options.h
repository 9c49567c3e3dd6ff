// What the user may change about a profile picture, and the bounds of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kinex/pictures.h"

namespace kinex {

// The default widest picture (px): a longer cycle gets narrower columns,
// smaller or fewer labels instead.
inline constexpr double kMaxWidth = 1200.0;

// The largest width and height (px) and font size (px) a picture may be
// given: a poster is some 10,000 px wide; beyond these no picture is drawn.
inline constexpr double kMaxPictureSize = 100000.0;
inline constexpr double kMaxFontSize = 750.0;  // pt
// Pictures narrower than this get the column's font size unless one is
// asked for.
inline constexpr double kNarrowInches = 5.0;

}  // namespace kinex

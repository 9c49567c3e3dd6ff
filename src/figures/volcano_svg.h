// The picture of a volcano (volcano/volcano.h), a column wide.
#pragma once

#include <string>

#include "kinex/pictures.h"
#include "volcano/volcano.h"

namespace kinex {

// The SVG of a volcano: the curve with its band, the regions of equal TDI
// and TDTS shaded and labelled, the catalysts as labelled points (outliers
// of the fits marked), axes in the units of the descriptor and of the
// curve; sized for a paper's column (500 user units wide, text of 10 px
// and more). The title is `picture`'s, else "Volcano: " and the file name
// of `file` (none with no_title), with the temperature and the top of the
// volcano under it; the axes' titles are `picture`'s, else the descriptor
// in kcal/mol and the curve with its unit. Regions are parted by dashed
// lines. A region too narrow for its TDI and
// TDTS gets a number explained under the plot; a catalyst's name goes
// where it overlaps no other name, marker, leader line nor the curve
// (further out with a leader when it must), else it is named under the plot, as are the
// catalysts without a value of the curve. Every text is escaped and no
// coordinate is non-finite, whatever the volcano holds.
std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture);

}  // namespace kinex

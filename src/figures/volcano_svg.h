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
// and more). `file` names the table in the title, with the temperature and
// the top of the volcano under it. A region too narrow for its TDI and
// TDTS gets a number explained under the plot; a catalyst's name goes
// where it overlaps no other name, marker or leader line (further out with
// a leader when it must), else it is named under the plot, as are the
// catalysts without a value of the curve. Every text is escaped and no
// coordinate is non-finite, whatever the volcano holds.
std::string volcano_svg(const std::string& file, const Volcano& volcano,
                        const VolcanoPicture& picture);

}  // namespace kinex

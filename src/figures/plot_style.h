// The look of the energy-profile picture: the font, the colours and every
// size that both the layout (which measures text and reserves room for it)
// and the SVG writer (which writes it) use. A size named here is the one
// number for both, so the room reserved for a text always matches the text
// written. Lengths are in SVG user units (pixels); font sizes in pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kinex::plot {

// Typography. Text is measured with the widths of DejaVu Sans (plot_font.h).
inline constexpr const char* kFontFamily = "'DejaVu Sans', Helvetica, Arial, sans-serif";
inline constexpr double kLabelSize = 12.0;      // px: state names, energies, the span value
inline constexpr double kSmallSize = 10.5;      // px: concentrations, the TDI and TDTS tags
inline constexpr double kTitleSize = 15.0;      // px, bold
inline constexpr double kFiguresSize = 12.5;    // px: temperature, TOF and span under the title
inline constexpr double kExponentSize = 9.0;    // px: exponents and subscripts
inline constexpr double kExponentRise = 5.0;    // px an exponent is raised by
inline constexpr double kSubscriptDrop = 3.0;   // px a subscript is lowered by
inline constexpr double kWarningSize = 12.0;    // px, bold: the driving-force warning
inline constexpr double kWarningLine = 18.0;    // px between its baselines, and above the first
inline constexpr double kAxisTitleSize = 12.5;  // px: "Gibbs energy", "Reaction coordinate"
// The axes' titles unless the user names them.
inline constexpr const char* kEnergyAxisTitle = "Gibbs energy (kcal/mol)";
inline constexpr const char* kCoordinateAxisTitle = "Reaction coordinate \u2192";
inline constexpr double kTickLabelSize = 11.0;       // px: the energies at the axis ticks
inline constexpr double kLegendSize = 11.0;          // px
inline constexpr double kLegendSubscriptSize = 8.0;  // px: the "TOF" of X_TOF
inline constexpr double kLegendValueSize = 9.5;      // px: 0, 0.5, 1 under the sample bars
inline constexpr double kNoteSize = 11.0;            // px
inline constexpr double kNoteLine = 15.0;            // px between the baselines of notes

// Placing text relative to its box, in font sizes.
inline constexpr double kLineHeight = 1.2;         // height of a flat label's box
inline constexpr double kDescent = 0.26;           // baseline above the bottom of a flat box
inline constexpr double kUprightWidth = 1.1;       // width of an upright label's box
inline constexpr double kUprightShift = 0.36;      // baseline right of an upright label's centre
inline constexpr double kSpanLabelLine = 1.3;      // height of the span value's box
inline constexpr double kSpanLabelDescent = 0.28;  // of that box's height
inline constexpr double kSpanLabelHeight = kSpanLabelLine * kLabelSize;  // px
// The baseline of an 11 px text whose middle is at a given height.
inline constexpr double kMiddleToBaseline = 4.0;  // px

// Colours.
inline constexpr const char* kTextColour = "#000";
inline constexpr const char* kHighlight = "#c0392b";  // TDI, TDTS and the span
inline constexpr const char* kReactantColour = "#1e7b34";
inline constexpr const char* kProductColour = "#7b3294";
inline constexpr const char* kNextTurnColour = "#6b6b6b";
inline constexpr const char* kLegendColour = "#333";
inline constexpr const char* kWarningColour = "#b34700";
inline constexpr const char* kErrorBarColour = "#555";
inline constexpr double kErrorBarInset = 4.0;  // px from the bar's left end
inline constexpr double kErrorBarCap = 3.0;    // px, half the width of its caps

// Bars: thickness and colour follow the degree of TOF control, from 0 to 1.
inline constexpr double kThinnestBar = 2.5;       // px at degree 0
inline constexpr double kBarThickening = 3.5;     // px more at degree 1
inline constexpr int kBarGreyLevel = 165;         // of 255, each channel, at degree 0
inline constexpr int kBarBlue[3] = {8, 69, 148};  // red, green, blue at degree 1

// The degree of TOF control as drawn: NaN and values outside [0, 1] clamped
// (NaN to 0).
inline double shade_level(double xtof) {
  return std::isnan(xtof) ? 0.0 : std::clamp(xtof, 0.0, 1.0);
}
// The thickness of a bar in px, from kThinnestBar to kThinnestBar + kBarThickening.
inline double thickness(double xtof) { return kThinnestBar + kBarThickening * shade_level(xtof); }

// The span arrow, in the plot and in the legend.
inline constexpr double kSpanStrokeWidth = 1.5;     // px
inline constexpr double kArrowHeadLength = 8.0;     // px
inline constexpr double kArrowHeadHalfWidth = 4.0;  // px
// The effective span: a dashed arrow beside the span arrow, with a short
// level mark at its far end pointing away from the span arrow.
inline constexpr const char* kEffectiveDash = "5,3";
inline constexpr double kEffectiveLevelMark = 10.0;  // px long

// The page: margins and the rows above the plot.
inline constexpr double kMargin = 20.0;           // px left and right of everything
inline constexpr double kTitleBaseline = 28.0;    // px from the top
inline constexpr double kFiguresBaseline = 50.0;  // px from the top
// The warning's lines, when there is one, come under the figures and move
// the legend and the plot down by kWarningLine each.
inline constexpr double kLegendMiddle = 82.0;      // px from the top, without a warning
inline constexpr double kLegendWidth = 560.0;      // px, an upper estimate of the legend row
inline constexpr double kPlotTop = 118.0;          // px from the top, without a warning
inline constexpr std::size_t kMaxNameLength = 90;  // code points of the file name shown
inline constexpr std::size_t kMaxStateNameLength = 24;
// Lines of text across the canvas (title, figures, legend) take at most this
// share of the room, for faces wider than the estimate.
inline constexpr double kTextRoomShare = 0.9;  // code points of a state's name shown

// The axes.
inline constexpr double kAxisTitleBand = 34.0;     // px left of the tick labels, for the axis title
inline constexpr double kAxisTitleX = 18.0;        // px: the upright axis title's baseline
inline constexpr double kMinTickLabelRoom = 24.0;  // px reserved for the tick labels at least
inline constexpr double kTickLabelsToAxis = 10.0;  // px reserved between tick labels and axis
inline constexpr double kTickLength = 5.0;         // px
inline constexpr double kTickLabelGap = 8.0;       // px from the axis to a tick label's end
static_assert(kTickLabelGap <= kTickLabelsToAxis, "tick labels must fit their room");

// The columns: the single picture's and the overlay's.
inline constexpr double kColumnsStart = 20.0;  // px from the axis to the first column
inline constexpr double kColumnsEnd = 30.0;    // px from the last column to the canvas's margin

}  // namespace kinex::plot

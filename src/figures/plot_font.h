// The font the pictures are drawn in and measured with: DejaVu Sans
// (Debian's fonts-dejavu-core, which ./setup.sh installs), named first in
// every picture (kFontFamily, plot_style.h), and its advance widths, which
// the layout measures text with (plot_text.h), so that a text rendered in
// it fits the room kept.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kinex::plot {

// The font's units in an em.
inline constexpr double kFontUnitsPerEm = 2048.0;

// Code points first..last, which have the same advance widths: `regular` in
// DejaVu Sans and `bold` in DejaVu Sans Bold, in font units.
struct FontRun {
  uint32_t first;
  uint32_t last;
  uint16_t regular;
  uint16_t bold;
};

// The runs, ascending and disjoint, of the code points the font has in the
// blocks the pictures show (plot_font_widths.cc, written by
// tools/font_widths.py).
extern const std::span<const FontRun> kFontRuns;

// The widths of the printable ASCII code points, U+0020..U+007E, by
// cp - 0x20: those of kFontRuns, for looking them up at once.
struct FontAdvance {
  uint16_t regular;
  uint16_t bold;
};
extern const std::array<FontAdvance, 95> kAsciiAdvances;

}  // namespace kinex::plot

// Text for the energy-profile picture: reading bytes as UTF-8, escaping for
// XML, estimating how wide a text is drawn, and numbers as the picture
// writes them. Nothing here knows about the layout or SVG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kinex::plot {

// Appends the UTF-8 encoding of code point `cp` (at most U+10FFFF).
void append_utf8(std::string& out, uint32_t cp);

// The code points of `bytes`, read as UTF-8. A byte that does not start a
// well-formed sequence (overlong forms and surrogates included) becomes
// U+FFFD, and so does every code point XML does not allow in text or that
// would not show: control characters, U+FFFE and U+FFFF. File names are
// bytes, not text, so anything can arrive here.
std::vector<uint32_t> code_points(std::string_view bytes);

// `text` as XML character data or attribute value: well-formed UTF-8 with
// the five markup characters escaped. Any bytes give a valid result.
std::string xml_escape(std::string_view text);

// At most `limit` code points of `text` (limit >= 1); a longer text keeps its
// end, where the file name is, behind an ellipsis. A text that fits is
// returned as given, bytes and all.
std::string shorten(std::string_view text, std::size_t limit);

// At most `limit` code points of `text` (limit >= 1); a longer text keeps its
// start, followed by an ellipsis. A text that fits is returned as given.
std::string shorten_end(std::string_view text, std::size_t limit);

// `text` shortened (keeping its end, as shorten does, or its start when
// `keep_start`) until it is at most `width` pixels wide at `size`.
std::string fit_width(std::string_view text, double size, double width, bool bold = false,
                      bool keep_start = false);

// The width of `text` in pixels at font size `size` (pixels): the sum of
// the advance widths of its code points in DejaVu Sans, or DejaVu Sans Bold
// (plot_font.h), without kerning, which only narrows; one em for a code
// point the font lacks. Grows with every code point but the invisible
// ones the font gives no width (U+200B zero width space and the like); an
// empty text has width 0.
double text_width(std::string_view text, double size, bool bold = false);

// Numbers as the picture shows them: a true minus sign (U+2212), no negative
// zero, non-finite values spelled "NaN", "+Inf" and "\u2212Inf".
//
// `decimals` fixed decimals, or scientific with three beyond a billion.
std::string fixed_text(double x, int decimals);
// Energies: one decimal.
std::string energy_text(double x);
// The shortest text that reads back as `x` (temperatures as typed).
std::string shortest_text(double x);
// `digits` significant digits: "0.5", "0.001", "1e-05", "2.5e+07".
std::string significant_text(double x, int digits);
// Concentrations: three significant digits.
std::string concentration_text(double x);

// A number as a chemist writes it, mantissa \u00d7 10^exponent, in two texts:
// the mantissa ("8.05", "\u22122.46") and the exponent to be raised ("\u2212104",
// "5"). The exponent is empty when no power of ten is written: for exponent
// 0 ("2.46"), for 0 itself ("0.00") and for non-finite values ("NaN").
struct PowerOfTen {
  std::string mantissa;
  std::string exponent;
};

// `x` with `decimals` decimals in the mantissa, rounded as the report's ES
// fields round (a mantissa that rounds up to 10 raises the exponent); no
// negative zero.
PowerOfTen power_of_ten_text(double x, int decimals);

// The number of magnitude 10^log10_magnitude (finite, any size, far beyond
// the range of doubles), negative or not, with `decimals` decimals in the
// mantissa.
PowerOfTen power_of_ten_from_log10(double log10_magnitude, bool negative, int decimals);

}  // namespace kinex::plot

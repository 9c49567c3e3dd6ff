#include "figures/plot_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <utility>

#include "figures/plot_font.h"

namespace kinex::plot {
namespace {

// The width of a code point the font's table lacks, drawn in another
// font: one em, as wide as the widest glyphs.
constexpr double kOtherUnits = kFontUnitsPerEm;

// The advance width of `cp` in font units (plot_font.h).
double advance_units(uint32_t cp, bool bold) {
  if (cp >= 0x20 && cp < 0x7F) {
    const FontAdvance& a = kAsciiAdvances[cp - 0x20];
    return bold ? a.bold : a.regular;
  }
  const auto run = std::upper_bound(kFontRuns.begin(), kFontRuns.end(), cp,
                                    [](uint32_t c, const FontRun& r) { return c < r.first; });
  if (run == kFontRuns.begin() || cp > std::prev(run)->last) return kOtherUnits;
  return bold ? std::prev(run)->bold : std::prev(run)->regular;
}

constexpr uint32_t kReplacement = 0xFFFD;

// Removes the sign of a negative zero and writes a minus sign for '-'.
std::string with_minus(std::string digits) {
  if (!digits.empty() && digits[0] == '-') {
    if (digits.find_first_not_of("-0.") == std::string::npos) return digits.substr(1);
    return "\u2212" + digits.substr(1);
  }
  return digits;
}

std::string non_finite_text(double x) {
  if (std::isnan(x)) return "NaN";
  return x > 0 ? "+Inf" : "\u2212Inf";
}

}  // namespace

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::vector<uint32_t> code_points(std::string_view bytes) {
  std::vector<uint32_t> out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    uint32_t cp = kReplacement;
    std::size_t length = 1;
    std::size_t extra = 0;
    uint32_t min = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      extra = 1, min = 0x80, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      extra = 2, min = 0x800, cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      extra = 3, min = 0x10000, cp = b0 & 0x07;
    }
    if (extra > 0) {
      bool ok = i + extra < bytes.size();
      for (std::size_t k = 1; ok && k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (b & 0x3F);
      }
      if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
        length = extra + 1;
      } else {
        cp = kReplacement;
      }
    }
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF) cp = kReplacement;
    out.push_back(cp);
    i += length;
  }
  return out;
}

std::string xml_escape(std::string_view text) {
  std::string out;
  for (uint32_t cp : code_points(text)) {
    switch (cp) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        append_utf8(out, cp);
    }
  }
  return out;
}

std::string shorten(std::string_view text, std::size_t limit) {
  const std::vector<uint32_t> cps = code_points(text);
  if (cps.size() <= limit) return std::string(text);
  std::string out = "\u2026";
  for (std::size_t k = cps.size() - (limit - 1); k < cps.size(); ++k) append_utf8(out, cps[k]);
  return out;
}

std::string shorten_end(std::string_view text, std::size_t limit) {
  const std::vector<uint32_t> cps = code_points(text);
  if (cps.size() <= limit) return std::string(text);
  std::string out;
  for (std::size_t k = 0; k + 1 < limit; ++k) append_utf8(out, cps[k]);
  out += "\u2026";
  return out;
}

std::string fit_width(std::string_view text, double size, double width, bool bold,
                      bool keep_start) {
  if (text_width(text, size, bold) <= width) return std::string(text);
  std::size_t limit = code_points(text).size();
  std::string out;
  do {
    out = keep_start ? shorten_end(text, limit) : shorten(text, limit);
  } while (limit-- > 1 && text_width(out, size, bold) > width);
  return out;
}

double text_width(std::string_view text, double size, bool bold) {
  double units = 0.0;
  for (uint32_t cp : code_points(text)) units += advance_units(cp, bold);
  return units / kFontUnitsPerEm * size;
}

std::string fixed_text(double x, int decimals) {
  if (!std::isfinite(x)) return non_finite_text(x);
  char buffer[400];
  std::to_chars_result r;
  if (std::fabs(x) >= 1e9) {
    r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 3);
  } else {
    r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
  }
  return with_minus(std::string(buffer, r.ptr));
}

std::string energy_text(double x) { return fixed_text(x, 1); }

std::string shortest_text(double x) {
  if (!std::isfinite(x)) return non_finite_text(x);
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, x);
  return with_minus(std::string(buffer, r.ptr));
}

std::string significant_text(double x, int digits) {
  if (!std::isfinite(x)) return non_finite_text(x);
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, digits);
  return with_minus(std::string(buffer, r.ptr));
}

std::string concentration_text(double x) { return significant_text(x, 3); }

PowerOfTen power_of_ten_text(double x, int decimals) {
  if (!std::isfinite(x)) return {non_finite_text(x), ""};
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x),
                               std::chars_format::scientific, decimals);
  const std::string digits(buffer, r.ptr);
  const std::size_t e = digits.find('e');
  int exponent = 0;
  std::from_chars(digits.data() + e + 2, digits.data() + digits.size(), exponent);
  if (digits[e + 1] == '-') exponent = -exponent;
  std::string mantissa = x < 0 ? "-" : "";
  mantissa.append(digits, 0, e);
  PowerOfTen out{with_minus(std::move(mantissa)), ""};
  if (x != 0 && exponent != 0) out.exponent = with_minus(std::to_string(exponent));
  return out;
}

PowerOfTen power_of_ten_from_log10(double log10_magnitude, bool negative, int decimals) {
  if (!std::isfinite(log10_magnitude)) return {non_finite_text(log10_magnitude), ""};
  double exponent = std::floor(log10_magnitude);
  char buffer[400];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, std::pow(10.0, log10_magnitude - exponent),
                         std::chars_format::fixed, decimals);
  std::string digits(buffer, r.ptr);
  if (digits.rfind("10", 0) == 0) {  // rounded up to 10: 1 and the next power
    digits.erase(1, 1);
    exponent += 1;
  }
  std::string mantissa = negative ? "-" : "";
  mantissa += digits;
  PowerOfTen out{with_minus(std::move(mantissa)), ""};
  if (exponent != 0) {
    r = std::to_chars(buffer, buffer + sizeof buffer, exponent, std::chars_format::fixed, 0);
    out.exponent = with_minus(std::string(buffer, r.ptr));
  }
  return out;
}

}  // namespace kinex::plot

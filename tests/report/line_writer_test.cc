#include "report/line_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using kinex::report::field_A;
using kinex::report::field_ES;
using kinex::report::field_F;
using kinex::report::field_I;
using kinex::report::free_form;
using kinex::report::free_integer;
using kinex::report::free_real;
using kinex::report::Item;
using kinex::report::laid_out;
using kinex::report::trim_right;
using kinex::report::write_free;
using kinex::report::write_heading;
using kinex::report::write_laid_out;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------
// The rendering examples of the report layout.

struct RealCase {
  double x;
  const char* expected;
};

TEST(FreeReal, Examples) {
  const RealCase cases[] = {
      {300.0, "300."},
      {0.1, "0.1"},
      {1.0 / 3.0, "0.3333333333333333"},
      {1.0e6, "1000000."},
      {1.0e7, "1.E+7"},
      {1.0e-6, "0.000001"},
      {1.5e-7, "1.5E-7"},
      {0.0, "0."},
      {-2.5, "-2.5"},
      {-0.0, "-0."},
      {298.15, "298.15"},
      {298.0, "298."},
      {0.00123, "0.00123"},
      {0.5, "0.5"},
      {5.0, "5."},
      {123456789.0, "1.23456789E+8"},
      {1234567.0, "1234567."},
      {1234567.5, "1234567.5"},
      {9999999.0, "9999999."},
      {1.0e-7, "1.E-7"},
      {-1.5e300, "-1.5E+300"},
      {5e-324, "5.E-324"},
      // Exactly halfway between the two nearest shortest strings: the larger
      // (the shortest-digits routine alone gives the even one).
      {1606267781819445.25, "1.6062677818194453E+15"},
      {-1606267781819445.25, "-1.6062677818194453E+15"},
      {0x1.73c8fb1a5fa34p+47, "2.0439101008686563E+14"},
      {std::numeric_limits<double>::max(), "1.7976931348623157E+308"},
      {kNaN, "NaN"},
      {-kNaN, "NaN"},
      {kInf, "+Inf"},
      {-kInf, "-Inf"},
  };
  for (const RealCase& c : cases) EXPECT_EQ(free_real(c.x), c.expected) << c.x;
}

TEST(FreeInteger, Examples) {
  EXPECT_EQ(free_integer(0), "0");
  EXPECT_EQ(free_integer(-12), "-12");
  EXPECT_EQ(free_integer(5), "5");
  EXPECT_EQ(free_integer(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

// One value in a one-line layout, as the text cells are filled.
struct FieldCase {
  const char* layout;
  Item item;
  const char* expected;
};

TEST(LaidOutField, Examples) {
  const FieldCase cases[] = {
      // ES9.2
      {"(ES9.2)", 1234.5678, " 1.23E+03"},
      {"(ES9.2)", 0.0, " 0.00E+00"},
      {"(ES9.2)", -0.005, "-5.00E-03"},
      {"(ES9.2)", 1.0e150, " 1.00+150"},
      {"(ES9.2)", 1.0e-150, " 1.00-150"},
      {"(ES9.2)", 9.996, " 1.00E+01"},
      {"(ES9.2)", 1235.0, " 1.24E+03"},
      {"(ES9.2)", 1245.0, " 1.24E+03"},
      {"(ES9.2)", 1.0, " 1.00E+00"},
      {"(ES9.2)", 3600.0, " 3.60E+03"},
      {"(ES9.2)", 86400.0, " 8.64E+04"},
      {"(ES9.2)", -1.0e150, "-1.00+150"},
      {"(ES7.2)", 1.0e150, "*******"},
      {"(ES9.2)", -1.0e-100, "-1.00-100"},
      {"(ES9.2)", 9.9999e99, " 1.00+100"},
      {"(ES9.2)", kNaN, "      NaN"},
      {"(ES9.2)", -kInf, "     -Inf"},
      {"(ES9.2)", -0.0, "-0.00E+00"},
      // ES7.1
      {"(ES7.1)", 0.5, "5.0E-01"},
      {"(ES7.1)", 12.0, "1.2E+01"},
      {"(ES7.1)", 0.125, "1.2E-01"},
      {"(ES7.1)", 0.001, "1.0E-03"},
      {"(ES7.1)", -0.5, "*******"},
      // F9.2
      {"(F9.2)", -0.004, "    -0.00"},
      {"(F9.2)", -0.006, "    -0.01"},
      {"(F9.2)", 0.125, "     0.12"},
      {"(F9.2)", 0.375, "     0.38"},
      {"(F9.2)", 99.999, "   100.00"},
      {"(F9.2)", 123456.78, "123456.78"},
      {"(F9.2)", -123456.78, "*********"},
      {"(F9.2)", 1.0e10, "*********"},
      {"(F9.2)", kNaN, "      NaN"},
      {"(F9.2)", kInf, "     +Inf"},
      {"(F9.2)", -kInf, "     -Inf"},
      {"(F9.2)", 0.5, "     0.50"},
      {"(F9.2)", -0.5, "    -0.50"},
      {"(F9.2)", 999999.994, "999999.99"},
      {"(F9.2)", 999999.996, "*********"},
      {"(F9.2)", -99999.994, "-99999.99"},
      {"(F9.2)", -0.0, "    -0.00"},
      // F8.1
      {"(F8.1)", -12.34, "   -12.3"},
      {"(F8.1)", 0.05, "     0.1"},
      {"(F8.1)", 0.25, "     0.2"},
      {"(F8.1)", 0.35, "     0.3"},
      {"(F8.1)", 15.3, "    15.3"},
      {"(F8.1)", 999999.94, "999999.9"},
      {"(F8.1)", 999999.96, "********"},
      {"(F8.1)", -99999.94, "-99999.9"},
      // The dropped leading zero and the dropped "-0".
      {"(F3.2)", 0.5, ".50"},
      {"(F4.2)", -0.5, "-.50"},
      {"(F3.2)", -0.001, ".00"},
      {"(F3.2)", -0.5, "***"},
      {"(F3.2)", 1.5, "***"},
      {"(F3.0)", kInf, "Inf"},
      {"(F3.0)", -kInf, "***"},
      {"(F2.0)", kNaN, "**"},
      // I2
      {"(I2)", 7, " 7"},
      {"(I2)", 100, "**"},
      {"(I2)", -5, "-5"},
      {"(I2)", -10, "**"},
      // Aw
      {"(A10)", "x", "         x"},
      {"(A10)", "5.0E-01", "   5.0E-01"},
      {"(A10)", "", "          "},
      {"(A9)", "abcdefghijkl", "abcdefghi"},
      {"(A5)", " Step", " Step"},
      {"(A)", "as it stands ", "as it stands "},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(laid_out(c.layout, {c.item}), c.expected) << c.layout << " " << c.item.real;
  }
}

TEST(FreeFormLine, Examples) {
  EXPECT_EQ(free_form({"temperature =", 298.15, "K"}), " temperature = 298.15 K");
  EXPECT_EQ(free_form({"temperature =", 298.0, "K"}), " temperature = 298. K");
  EXPECT_EQ(free_form({"# of steps  =", 5}), " # of steps  = 5");
  EXPECT_EQ(free_form({"x"}), " x");
  EXPECT_EQ(free_form({"NAME OF THE INPUTFILE: ", "input.txt"}),
            " NAME OF THE INPUTFILE: input.txt");
  EXPECT_EQ(free_form({"a", 1, "b", "c", 2.5, int64_t{-3}}), " a 1 bc 2.5 -3");
  EXPECT_EQ(free_form({1, 2}), " 1 2");
  EXPECT_EQ(free_form({3}), " 3");
  EXPECT_EQ(free_form({""}), " ");
  EXPECT_EQ(free_form({"", ""}), " ");
  EXPECT_EQ(free_form({}), "");

  std::string out;
  write_free(out, {""});
  write_free(out, {});
  write_free(out, {"x"});
  EXPECT_EQ(out, " \n\n x\n");
}

TEST(LaidOutLines, ReportLayouts) {
  std::string out;
  write_laid_out(out, "(A5,I2,A1,2F8.1,A2,A10,A1,A10)",
                 {" Step", 1, " ", 0.0, 15.3, "  ", "x", " ", "5.0E-01"});
  EXPECT_EQ(out, " Step 1      0.0    15.3           x    5.0E-01\n");

  out.clear();
  write_laid_out(out, "(A7,F8.1,/)", {" Final ", -10.0});
  write_laid_out(out, "(A7,F8.1,/)", {" DeltaG", -10.0});
  EXPECT_EQ(out, " Final    -10.0\n\n DeltaG   -10.0\n\n");

  out.clear();
  write_laid_out(out, "(A5,I2,2F9.2,A3,2A9)", {" Step", 2, 0.97, 0.03, "   ", " x", "    -0.50"});
  EXPECT_EQ(out, " Step 2     0.97     0.03           x    -0.50\n");

  out.clear();
  write_laid_out(out, "(A12,ES9.2,A7)", {"      TOF = ", 7.4806e-7, " s^(-1)"});
  write_laid_out(out, "(A12,ES9.2,A7)", {"          = ", 7.4806e-7 * 3600.0, " h^(-1)"});
  EXPECT_EQ(out,
            "      TOF =  7.48E-07 s^(-1)\n"
            "          =  2.69E-03 h^(-1)\n");
}

TEST(LaidOutLines, SlashesAndFewerItems) {
  std::string out;
  write_laid_out(out, "(A2,/,A2)", {"a", "b"});
  EXPECT_EQ(out, " a\n b\n");

  out.clear();  // a "/" between items that the items never reach is not taken
  write_laid_out(out, "(A2,A2,/,A2)", {"a"});
  EXPECT_EQ(out, " a\n");

  out.clear();
  write_laid_out(out, "(A1,/,/)", {"a"});
  EXPECT_EQ(out, "a\n\n\n");

  out.clear();
  write_laid_out(out, "(2/,A1)", {"a"});
  EXPECT_EQ(out, "\n\na\n");

  out.clear();
  write_laid_out(out, "(A1)", {});
  EXPECT_EQ(out, "\n");

  out.clear();
  write_laid_out(out, "( 2I3 , F5.1 )", {1, 2, 2.25});
  EXPECT_EQ(out, "  1  2  2.2\n");
}

TEST(LaidOutLines, MalformedLayoutsAreProgrammingErrors) {
  const char* layouts[] = {"A5", "(A5", "(X5)", "(F9)", "(I)", "(0A2)", "(A2 A2)", "(A2,(A2))"};
  for (const char* layout : layouts) {
    EXPECT_THROW(laid_out(layout, {"a", "b"}), std::logic_error) << layout;
  }
  EXPECT_THROW(laid_out("(A2)", {"a", "b"}), std::logic_error);  // more items than fields
  EXPECT_THROW(laid_out("(F9.2)", {"a"}), std::logic_error);     // kind mismatch
  EXPECT_THROW(laid_out("(I2)", {1.0}), std::logic_error);
  EXPECT_THROW(laid_out("(A7,F8.1,/)", {"a", 1.0}), std::logic_error);  // two lines
}

TEST(Heading, SixLines) {
  std::string out;
  const std::string title = "!!                     REPEAT OF THE INPUT                        !!";
  write_heading(out, title);
  const std::string bangs(68, '!');
  const std::string box = "!!" + std::string(64, ' ') + "!!";
  EXPECT_EQ(out, " " + bangs + "\n " + box + "\n " + title + "\n " + box + "\n " + bangs + "\n \n");
}

TEST(TrimRight, Blanks) {
  EXPECT_EQ(trim_right(" x       "), " x");
  EXPECT_EQ(trim_right("   "), "");
  EXPECT_EQ(trim_right(""), "");
  EXPECT_EQ(trim_right("a b"), "a b");
}

// ---------------------------------------------------------------------------
// Differential tests against an independent reference: glibc's printf, which
// rounds the exact binary value (ties to even), with the field rules assembled
// here afresh; shortest digits checked by reading candidates back with strtod.

std::string stars(int w) { return std::string(static_cast<size_t>(w), '*'); }

std::string pad_or_stars(const std::string& s, int w) {
  if (static_cast<int>(s.size()) > w) return stars(w);
  return std::string(static_cast<size_t>(w) - s.size(), ' ') + s;
}

std::string reference_special(double x, int w) {
  std::string s = std::isnan(x) ? "NaN" : std::signbit(x) ? "-Inf" : "+Inf";
  if (w == 3 && s == "+Inf") s = "Inf";
  return pad_or_stars(s, w);
}

std::string reference_F(double x, int w, int d) {
  if (!std::isfinite(x)) return reference_special(x, w);
  static char buffer[1200];
  // "%#" keeps the point when d is 0; glibc keeps "-" on a negative zero.
  std::snprintf(buffer, sizeof buffer, "%#.*f", d, x);
  std::string s = buffer;
  if (static_cast<int>(s.size()) <= w) return pad_or_stars(s, w);
  const bool minus = s[0] == '-';
  const std::string magnitude = minus ? s.substr(1) : s;
  if (static_cast<int>(s.size()) == w + 1 && magnitude.rfind("0.", 0) == 0) {
    return (minus ? "-" : "") + magnitude.substr(1);
  }
  if (static_cast<int>(s.size()) == w + 2 && minus &&
      std::strspn(magnitude.c_str(), "0.") == magnitude.size()) {
    return magnitude.substr(1);
  }
  return stars(w);
}

std::string reference_ES(double x, int w, int d) {
  if (!std::isfinite(x)) return reference_special(x, w);
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%#.*e", d, x);
  const char* e = std::strchr(buffer, 'e');
  std::string s(static_cast<const char*>(buffer), e);
  const long exponent = std::strtol(e + 1, nullptr, 10);
  char tail[16];
  if (std::labs(exponent) <= 99) std::snprintf(tail, sizeof tail, "E%+03ld", exponent);
  else std::snprintf(tail, sizeof tail, "%+04ld", exponent);
  return pad_or_stars(s + tail, w);
}

std::string reference_I(int64_t v, int w) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v));
  return pad_or_stars(buffer, w);
}

// Digits d1..dm of |x| and exponent X with |x| = d1.d2...dm x 10^X; `exact`
// asks for the whole expansion (a double has at most 767 significant digits).
void decimal_expansion(double ax, bool exact, std::string& digits, int& exponent) {
  static char buffer[900];
  std::snprintf(buffer, sizeof buffer, "%.*e", exact ? 800 : 40, ax);
  const char* e = std::strchr(buffer, 'e');
  digits.assign(1, buffer[0]);
  digits.append(static_cast<const char*>(buffer) + 2, e);
  exponent = static_cast<int>(std::strtol(e + 1, nullptr, 10));
}

bool reads_back(const std::string& digits, int exponent, double ax) {
  std::string text = digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(exponent);
  return std::strtod(text.c_str(), nullptr) == ax;
}

std::string reference_free(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Inf" : "+Inf";
  const std::string sign = std::signbit(x) ? "-" : "";
  if (x == 0) return sign + "0.";
  const double ax = std::fabs(x);

  std::string all;
  int X = 0;
  decimal_expansion(ax, false, all, X);
  bool exact = false;
  std::string digits;
  int exponent = 0;
  for (size_t k = 1; k <= 17; ++k) {
    std::string rest = all.substr(k);
    const bool rest_zero = rest.find_first_not_of('0') == std::string::npos;
    const bool rest_half = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
    if (!exact && (rest_zero || rest_half)) {
      // The 41-digit rounding cannot tell these apart from nearby values.
      exact = true;
      decimal_expansion(ax, true, all, X);
      k = 0;
      continue;
    }
    // The k-digit decimals just below and just above |x|.
    const std::string lower = all.substr(0, k);
    std::string upper = lower;
    int upper_exponent = X;
    if (!rest_zero) {
      int i = static_cast<int>(k) - 1;
      while (i >= 0 && upper[static_cast<size_t>(i)] == '9') upper[static_cast<size_t>(i--)] = '0';
      if (i < 0) {
        upper = "1" + upper.substr(1);
        ++upper_exponent;
      } else {
        ++upper[static_cast<size_t>(i)];
      }
    }
    const bool lower_ok = reads_back(lower, X, ax);
    const bool upper_ok = reads_back(upper, upper_exponent, ax);
    if (!lower_ok && !upper_ok) continue;
    bool take_upper = upper_ok;
    if (lower_ok && upper_ok) {
      // The nearer one; on an exact tie the larger.
      const std::string half = "5" + std::string(rest.size() - 1, '0');
      take_upper = rest >= half;
    }
    digits = take_upper ? upper : lower;
    exponent = take_upper ? upper_exponent : X;
    break;
  }
  EXPECT_FALSE(digits.empty()) << x;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text;
  if (exponent < -6 || exponent > 6) {
    text = digits.substr(0, 1) + "." + digits.substr(1) + "E" + (exponent >= 0 ? "+" : "") +
           std::to_string(exponent);
  } else {
    // Write the digits as an integer of `digits.size()` places scaled by
    // 10^(exponent - places + 1), then place the point.
    const int shift = exponent - static_cast<int>(digits.size()) + 1;
    if (shift >= 0) {
      text = digits + std::string(static_cast<size_t>(shift), '0') + ".";
    } else {
      std::string padded = digits;
      const int fraction = -shift;
      if (static_cast<int>(padded.size()) <= fraction) {
        padded.insert(0, static_cast<size_t>(fraction - static_cast<int>(padded.size()) + 1), '0');
      }
      text = padded.substr(0, padded.size() - static_cast<size_t>(fraction)) + "." +
             padded.substr(padded.size() - static_cast<size_t>(fraction));
    }
  }
  return sign + text;
}

TEST(Reference, AgreesWithTheExamples) {
  // The reference itself must reproduce the hand-made examples.
  EXPECT_EQ(reference_free(300.0), "300.");
  EXPECT_EQ(reference_free(1.0 / 3.0), "0.3333333333333333");
  EXPECT_EQ(reference_free(1.0e-6), "0.000001");
  EXPECT_EQ(reference_free(1.5e-7), "1.5E-7");
  EXPECT_EQ(reference_free(123456789.0), "1.23456789E+8");
  EXPECT_EQ(reference_free(-0.0), "-0.");
  EXPECT_EQ(reference_free(0.00123), "0.00123");
  EXPECT_EQ(reference_F(-0.004, 9, 2), "    -0.00");
  EXPECT_EQ(reference_F(0.125, 9, 2), "     0.12");
  EXPECT_EQ(reference_F(-0.5, 4, 2), "-.50");
  EXPECT_EQ(reference_F(-0.001, 3, 2), ".00");
  EXPECT_EQ(reference_ES(1.0e150, 9, 2), " 1.00+150");
  EXPECT_EQ(reference_ES(1235.0, 9, 2), " 1.24E+03");
}

// Many thousands of doubles with a fixed seed: random bit patterns, ties,
// carries, powers of two and ten, tiny and huge exponents, subnormals and the
// special values.
std::vector<double> test_values() {
  std::mt19937_64 random(20240611);
  std::vector<double> values;
  auto from_bits = [](uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
  };
  auto with_neighbours = [&](double x) {
    values.push_back(x);
    values.push_back(std::nextafter(x, kInf));
    values.push_back(std::nextafter(x, -kInf));
  };
  for (int i = 0; i < 4000; ++i) values.push_back(from_bits(random()));
  for (int i = 0; i < 1000; ++i) {  // subnormals and the smallest normals
    values.push_back(from_bits((random() & 0x800FFFFFFFFFFFFFull) | ((random() % 3) << 52)));
  }
  for (int i = 0; i < 2000; ++i) {  // ordinary magnitudes of a report
    const int exponent = static_cast<int>(random() % 41) - 20;
    values.push_back(std::ldexp(static_cast<double>(random() >> 11) / 9007199254740992.0, exponent) *
                     ((random() & 1) ? 1 : -1));
  }
  for (int i = 0; i < 3000; ++i) {  // k / 2^j: exact binary ties for F fields
    const double k = static_cast<double>(random() % 2000000);
    const double x = std::ldexp(k, -static_cast<int>(random() % 13));
    with_neighbours((random() & 1) ? -x : x);
  }
  for (int i = 0; i < 2000; ++i) {  // m ending in 5, scaled by 2^j: ties for ES fields
    const uint64_t digits = 1 + random() % 16;
    uint64_t m = 1;
    for (uint64_t j = 1; j < digits; ++j) m = m * 10 + random() % 10;
    const double x = std::ldexp(static_cast<double>(m * 10 + 5), static_cast<int>(random() % 9) - 4);
    with_neighbours((random() & 1) ? -x : x);
  }
  for (int p = -12; p <= 22; ++p) {  // carries: 9.995, 99.999, 0.9999...
    for (int q = 1; q <= 17; ++q) {
      with_neighbours(std::pow(10.0, p) * (1.0 - std::pow(10.0, -q)));
      with_neighbours(-std::pow(10.0, p) * (1.0 - 0.5 * std::pow(10.0, -q)));
    }
  }
  for (int p = -330; p <= 310; ++p) with_neighbours(std::pow(10.0, p));
  for (int e = -1074; e <= 1023; ++e) with_neighbours(std::ldexp(1.0, e));
  const double specials[] = {0.0,   -0.0,   kNaN,  -kNaN,  kInf,  -kInf,  0.125, 0.375, 1235.0,
                             9.995, 99.999, 0.005, -0.004, -0.006, 0.05, 0.25,  0.35,  1e150,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min()};
  for (double x : specials) with_neighbours(x);
  return values;
}

TEST(Differential, FixedAndScientificFields) {
  struct Layout {
    char kind;
    int w, d;
  };
  const Layout layouts[] = {{'F', 9, 2},  {'F', 8, 1},   {'F', 3, 2},   {'F', 4, 2},  {'F', 5, 0},
                            {'F', 1, 0},  {'F', 14, 6},  {'F', 30, 17}, {'E', 9, 2},  {'E', 7, 1},
                            {'E', 3, 0},  {'E', 6, 0},   {'E', 13, 6},  {'E', 24, 16}, {'E', 30, 20}};
  int failures = 0;
  for (double x : test_values()) {
    for (const Layout& l : layouts) {
      const std::string got = l.kind == 'F' ? field_F(x, l.w, l.d) : field_ES(x, l.w, l.d);
      const std::string want = l.kind == 'F' ? reference_F(x, l.w, l.d) : reference_ES(x, l.w, l.d);
      if (got != want && ++failures <= 20) {
        ADD_FAILURE() << (l.kind == 'F' ? "F" : "ES") << l.w << "." << l.d << " of "
                      << std::hexfloat << x << ": got \"" << got << "\", want \"" << want << "\"";
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(Differential, FreeFormReals) {
  int failures = 0;
  for (double x : test_values()) {
    const std::string got = free_real(x);
    const std::string want = reference_free(x);
    if (got != want && ++failures <= 20) {
      ADD_FAILURE() << std::hexfloat << x << ": got \"" << got << "\", want \"" << want << "\"";
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(Differential, IntegerAndTextFields) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 5000; ++i) {
    const int64_t v = static_cast<int64_t>(random()) >> (random() % 64);
    const int w = 1 + static_cast<int>(random() % 22);
    ASSERT_EQ(field_I(v, w), reference_I(v, w)) << v << " I" << w;
  }
  const std::string text = "0123456789abcdef";
  for (size_t length = 0; length <= text.size(); ++length) {
    for (int w = 1; w <= 20; ++w) {
      const std::string t = text.substr(0, length);
      const std::string want = static_cast<int>(length) >= w
                                   ? t.substr(0, static_cast<size_t>(w))
                                   : std::string(static_cast<size_t>(w) - length, ' ') + t;
      ASSERT_EQ(field_A(t, w), want) << "A" << w << " of " << t;
    }
  }
}

}  // namespace

// The line writer: the rendering examples of the report layout, and every
// field and free-form real against an independent reference on many
// thousands of doubles.
#include "report/line_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/support.h"

namespace kinex::report {
namespace {

using test::kInf;
using test::kNaN;

// ---------------------------------------------------------------------------
// The reference: glibc's printf, which rounds the exact binary value (ties to
// even), with the field rules assembled here afresh; shortest digits found by
// reading candidates back with strtod.

std::string pad_or_stars(const std::string& s, int w) {
  const auto width = static_cast<std::size_t>(w);
  return s.size() > width ? std::string(width, '*') : std::string(width - s.size(), ' ') + s;
}

std::string reference_special(double x, int w) {
  const std::string s = std::isnan(x) ? "NaN" : std::signbit(x) ? "-Inf" : w == 3 ? "Inf" : "+Inf";
  return pad_or_stars(s, w);
}

std::string reference_F(double x, int w, int d) {
  if (!std::isfinite(x)) return reference_special(x, w);
  static char buffer[1200];
  // "%#" keeps the point when d is 0; glibc keeps "-" on a negative zero.
  std::snprintf(buffer, sizeof buffer, "%#.*f", d, x);
  const std::string s = buffer;
  const bool minus = s[0] == '-';
  const std::string magnitude = s.substr(minus ? 1 : 0);
  const auto width = static_cast<std::size_t>(w);
  if (s.size() == width + 1 && magnitude.rfind("0.", 0) == 0) {
    return std::string(minus ? "-" : "") += magnitude.substr(1);  // the leading zero dropped
  }
  if (s.size() == width + 2 && minus && magnitude.find_first_not_of("0.") == std::string::npos) {
    return magnitude.substr(1);  // "-0.00" as ".00"
  }
  return pad_or_stars(s, w);
}

std::string reference_ES(double x, int w, int d) {
  if (!std::isfinite(x)) return reference_special(x, w);
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%#.*e", d, x);
  const char* e = std::strchr(buffer, 'e');
  const long exponent = std::strtol(e + 1, nullptr, 10);
  char tail[16];
  std::snprintf(tail, sizeof tail, std::labs(exponent) <= 99 ? "E%+03ld" : "%+04ld", exponent);
  return pad_or_stars(std::string(static_cast<const char*>(buffer), e) + tail, w);
}

std::string reference_I(int64_t v, int w) {
  return pad_or_stars(std::to_string(static_cast<long long>(v)), w);
}

bool reads_back(const std::string& digits, int exponent, double ax) {
  const std::string text =
      digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(exponent);
#ifdef _WIN32
  // The Windows C library's strtod is not correctly rounded (it reads
  // 3.839223843572815E-239 as 2^-792): the standard library's reader.
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value == ax;
#else
  return std::strtod(text.c_str(), nullptr) == ax;
#endif
}

// The fewest digits that read back as x; of the two candidates of that
// length the nearer, on an exact tie the larger.
std::string reference_free(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Inf" : "+Inf";
  const std::string sign = std::signbit(x) ? "-" : "";
  if (x == 0) return sign + "0.";
  const double ax = std::fabs(x);
  // Every digit of |x| = d1.d2d3... x 10^X (a double has at most 767).
  static char buffer[900];
  std::snprintf(buffer, sizeof buffer, "%.800e", ax);
  const char* e = std::strchr(buffer, 'e');
  const std::string all = buffer[0] + std::string(static_cast<const char*>(buffer) + 2, e);
  const int X = std::atoi(e + 1);

  std::string digits;
  int exponent = X;
  for (std::size_t k = 1; k <= 17 && digits.empty(); ++k) {
    const std::string lower = all.substr(0, k), rest = all.substr(k);
    const bool exact = rest.find_first_not_of('0') == std::string::npos;
    std::string upper = lower;
    int upper_exponent = X;
    std::size_t i = k;
    while (i > 0 && upper[i - 1] == '9') upper[--i] = '0';
    if (i == 0) {
      upper[0] = '1';
      ++upper_exponent;
    } else {
      ++upper[i - 1];
    }
    const bool lower_ok = reads_back(lower, X, ax);
    const bool upper_ok = !exact && reads_back(upper, upper_exponent, ax);
    if (!lower_ok && !upper_ok) continue;
    const bool take_upper =
        upper_ok && (!lower_ok || rest >= std::string(1, '5').append(rest.size() - 1, '0'));
    digits = take_upper ? upper : lower;
    exponent = take_upper ? upper_exponent : X;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  if (exponent < -6 || exponent > 6) {
    return sign + digits.substr(0, 1) + "." + digits.substr(1) + "E" + (exponent >= 0 ? "+" : "") +
           std::to_string(exponent);
  }
  if (exponent < 0) return sign + "0." + std::string(-exponent - 1, '0') + digits;
  const auto point = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() < point) digits.append(point - digits.size(), '0');
  return sign + digits.substr(0, point) + "." + digits.substr(point);
}

// ---------------------------------------------------------------------------
// The rendering examples; the reference must give each of them too.

TEST(FreeReal, Examples) {
  const struct {
    double x;
    const char* expected;
  } cases[] = {{300.0, "300."},
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
               {-kInf, "-Inf"}};
  for (const auto& c : cases) {
    EXPECT_EQ(free_real(c.x), c.expected) << c.x;
    EXPECT_EQ(reference_free(c.x), c.expected) << "reference, " << c.x;
  }
  EXPECT_EQ(free_integer(-12), "-12");
  EXPECT_EQ(free_integer(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

// One value in a one-line layout, as the text cells are filled.
TEST(LaidOutField, Examples) {
  const struct {
    const char* layout;
    Item item;
    const char* expected;
  } cases[] = {{"(ES9.2)", 1234.5678, " 1.23E+03"},
               {"(ES9.2)", 0.0, " 0.00E+00"},
               {"(ES9.2)", -0.005, "-5.00E-03"},
               {"(ES9.2)", 1.0e150, " 1.00+150"},
               {"(ES9.2)", 1.0e-150, " 1.00-150"},
               {"(ES9.2)", 9.996, " 1.00E+01"},
               {"(ES9.2)", 1235.0, " 1.24E+03"},
               {"(ES9.2)", 1245.0, " 1.24E+03"},
               {"(ES9.2)", -1.0e150, "-1.00+150"},
               {"(ES7.2)", 1.0e150, "*******"},
               {"(ES9.2)", 9.9999e99, " 1.00+100"},
               {"(ES9.2)", kNaN, "      NaN"},
               {"(ES9.2)", -kInf, "     -Inf"},
               {"(ES9.2)", -0.0, "-0.00E+00"},
               {"(ES7.1)", 0.5, "5.0E-01"},
               {"(ES7.1)", 12.0, "1.2E+01"},
               {"(ES7.1)", 0.125, "1.2E-01"},
               {"(ES7.1)", 0.001, "1.0E-03"},
               {"(ES7.1)", -0.5, "*******"},
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
               {"(F9.2)", -0.5, "    -0.50"},
               {"(F9.2)", 999999.994, "999999.99"},
               {"(F9.2)", 999999.996, "*********"},
               {"(F9.2)", -99999.994, "-99999.99"},
               {"(F9.2)", -0.0, "    -0.00"},
               {"(F8.1)", -12.34, "   -12.3"},
               {"(F8.1)", 0.05, "     0.1"},
               {"(F8.1)", 0.25, "     0.2"},
               {"(F8.1)", 0.35, "     0.3"},
               {"(F8.1)", 15.3, "    15.3"},
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
               {"(I2)", 7, " 7"},
               {"(I2)", 100, "**"},
               {"(I2)", -5, "-5"},
               {"(I2)", -10, "**"},
               {"(A10)", "5.0E-01", "   5.0E-01"},
               {"(A10)", "", "          "},
               {"(A9)", "abcdefghijkl", "abcdefghi"},
               {"(A)", "as it stands ", "as it stands "}};
  for (const auto& c : cases) {
    EXPECT_EQ(laid_out(c.layout, {c.item}), c.expected) << c.layout << " " << c.item.real;
    int w = 0, d = 0;
    const double x = c.item.real;
    std::string reference = c.expected;
    if (std::sscanf(c.layout, "(F%d.%d)", &w, &d) == 2) reference = reference_F(x, w, d);
    if (std::sscanf(c.layout, "(ES%d.%d)", &w, &d) == 2) reference = reference_ES(x, w, d);
    if (std::sscanf(c.layout, "(I%d)", &w) == 1) reference = reference_I(c.item.integer, w);
    EXPECT_EQ(reference, c.expected) << "reference, " << c.layout << " " << c.item.real;
  }
}

TEST(FreeFormLine, Examples) {
  EXPECT_EQ(free_form({"temperature =", 298.15, "K"}), " temperature = 298.15 K");
  EXPECT_EQ(free_form({"temperature =", 298.0, "K"}), " temperature = 298. K");
  EXPECT_EQ(free_form({"NAME OF THE INPUTFILE: ", "input.txt"}),
            " NAME OF THE INPUTFILE: input.txt");
  EXPECT_EQ(free_form({"a", 1, "b", "c", 2.5, int64_t{-3}}), " a 1 bc 2.5 -3");
  EXPECT_EQ(free_form({1, 2}), " 1 2");
  EXPECT_EQ(free_form({"", ""}), " ");
  // The two empty lines: one blank, and none at all.
  std::string out;
  write_free(out, {""});
  write_free(out, {});
  write_free(out, {"x"});
  EXPECT_EQ(out, " \n\n x\n");
}

TEST(LaidOutLines, ReportLayoutsSlashesAndFewerItems) {
  const struct {
    const char* layout;
    std::initializer_list<Item> items;
    const char* expected;
  } cases[] = {
      {"(A5,I2,A1,2F8.1,A2,A10,A1,A10)",
       {" Step", 1, " ", 0.0, 15.3, "  ", "x", " ", "5.0E-01"},
       " Step 1      0.0    15.3           x    5.0E-01\n"},
      {"(A7,F8.1,/)", {" DeltaG", -10.0}, " DeltaG   -10.0\n\n"},
      {"(A5,I2,2F9.2,A3,2A9)",
       {" Step", 2, 0.97, 0.03, "   ", " x", "    -0.50"},
       " Step 2     0.97     0.03           x    -0.50\n"},
      {"(A12,ES9.2,A7)", {"      TOF = ", 7.4806e-7, " s^(-1)"}, "      TOF =  7.48E-07 s^(-1)\n"},
      {"(A2,/,A2)", {"a", "b"}, " a\n b\n"},
      {"(A1,/,/)", {"a"}, "a\n\n\n"},
      // A "/" between items that the items never reach is not taken.
      {"(A2,A2,/,A2)", {"a"}, " a\n"},
      {"(2/,A1)", {"a"}, "\n\na\n"},
      {"(A1)", {}, "\n"},
      {"( 2I3 , F5.1 )", {1, 2, 2.25}, "  1  2  2.2\n"}};
  for (const auto& c : cases) {
    std::string out;
    write_laid_out(out, c.layout, c.items);
    EXPECT_EQ(out, c.expected) << c.layout;
  }
}

// ---------------------------------------------------------------------------
// Many thousands of doubles with a fixed seed: random bit patterns, ties,
// carries, powers of two and ten, subnormals and the special values.
std::vector<double> test_values() {
  std::mt19937_64 random(20240611);
  std::vector<double> values;
  auto with_neighbours = [&](double x) {
    values.insert(values.end(), {x, std::nextafter(x, kInf), std::nextafter(x, -kInf)});
  };
  auto sign = [&](double x) { return (random() & 1) ? -x : x; };
  for (int i = 0; i < 4000; ++i) values.push_back(std::bit_cast<double>(random()));
  for (int i = 0; i < 1000; ++i) {  // subnormals and the smallest normals
    values.push_back(
        std::bit_cast<double>((random() & 0x800FFFFFFFFFFFFFull) | ((random() % 3) << 52)));
  }
  for (int i = 0; i < 2000; ++i) {  // ordinary magnitudes of a report
    const int exponent = static_cast<int>(random() % 41) - 20;
    values.push_back(sign(std::ldexp(static_cast<double>(random() >> 11), exponent - 53)));
  }
  for (int i = 0; i < 3000; ++i) {  // k / 2^j: exact binary ties for F fields
    const auto k = static_cast<double>(random() % 2000000);
    with_neighbours(sign(std::ldexp(k, -static_cast<int>(random() % 13))));
  }
  for (int i = 0; i < 2000; ++i) {  // m ending in 5, scaled by 2^j: ties for ES fields
    uint64_t m = 1;
    for (uint64_t j = random() % 16; j > 0; --j) m = m * 10 + random() % 10;
    const int scale = static_cast<int>(random() % 9) - 4;
    with_neighbours(sign(std::ldexp(static_cast<double>(m * 10 + 5), scale)));
  }
  for (int p = -12; p <= 22; ++p) {  // carries: 9.995, 99.999, 0.9999...
    for (int q = 1; q <= 17; ++q) {
      with_neighbours(std::pow(10.0, p) * (1.0 - std::pow(10.0, -q)));
      with_neighbours(-std::pow(10.0, p) * (1.0 - 0.5 * std::pow(10.0, -q)));
    }
  }
  for (int p = -330; p <= 310; ++p) with_neighbours(std::pow(10.0, p));
  for (int e = -1074; e <= 1023; ++e) with_neighbours(std::ldexp(1.0, e));
  for (double x : {0.0, -0.0, kNaN, -kNaN, kInf, -kInf, 0.125, 0.375, 1235.0, 9.995, 99.999, 0.005,
                   -0.004, 0.05, 0.35, 1e150, std::numeric_limits<double>::max()}) {
    with_neighbours(x);
  }
  return values;
}

TEST(Differential, FieldsAndFreeFormRealsAgreeWithTheReference) {
  const struct {
    char kind;
    int w, d;
  } layouts[] = {{'F', 9, 2}, {'F', 8, 1},  {'F', 3, 2},   {'F', 4, 2},   {'F', 5, 0},
                 {'F', 1, 0}, {'F', 14, 6}, {'F', 30, 17}, {'E', 9, 2},   {'E', 7, 1},
                 {'E', 3, 0}, {'E', 6, 0},  {'E', 13, 6},  {'E', 24, 16}, {'E', 30, 20}};
  int failures = 0;
  auto compare = [&](double x, const std::string& what, const std::string& got,
                     const std::string& want) {
    if (got != want && ++failures <= 20) {
      ADD_FAILURE() << what << " of " << std::hexfloat << x << ": got \"" << got << "\", want \""
                    << want << "\"";
    }
  };
  for (double x : test_values()) {
    compare(x, "free form", free_real(x), reference_free(x));
    for (const auto& l : layouts) {
      const std::string what =
          (l.kind == 'F' ? "F" : "ES") + std::to_string(l.w) + "." + std::to_string(l.d);
      if (l.kind == 'F') compare(x, what, field_F(x, l.w, l.d), reference_F(x, l.w, l.d));
      if (l.kind == 'E') compare(x, what, field_ES(x, l.w, l.d), reference_ES(x, l.w, l.d));
    }
  }
  EXPECT_EQ(failures, 0);

  std::mt19937_64 random(7);
  for (int i = 0; i < 5000; ++i) {
    const int64_t v = static_cast<int64_t>(random()) >> (random() % 64);
    const int w = 1 + static_cast<int>(random() % 22);
    ASSERT_EQ(field_I(v, w), reference_I(v, w)) << v << " I" << w;
  }
}

}  // namespace
}  // namespace kinex::report

// Text of the energy-profile picture: escaping of any bytes for XML, the
// shortened file name, width estimates and numbers as written.
#include "figures/plot_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>

#include "figures/plot_style.h"
#include "figures/plot_svg.h"

namespace kinex::plot {
namespace {

struct EscapeCase {
  const char* name;
  std::string bytes, escaped;
};

void PrintTo(const EscapeCase& c, std::ostream* out) { *out << c.name; }

class XmlEscape : public testing::TestWithParam<EscapeCase> {};

// What comes out must be well-formed UTF-8 with no markup and no character
// XML forbids, whatever went in.
TEST_P(XmlEscape, GivesWellFormedText) {
  EXPECT_EQ(xml_escape(GetParam().bytes), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    HostileText, XmlEscape,
    testing::Values(EscapeCase{"Markup", "<a href=\"x\">&'</a>",
                               "&lt;a href=&quot;x&quot;&gt;&amp;&apos;&lt;/a&gt;"},
                    EscapeCase{"EntityIsNotKept", "&amp;", "&amp;amp;"},
                    EscapeCase{"CdataEnd", "]]>", "]]&gt;"},
                    EscapeCase{"ControlCharacters", std::string("a\tb\nc") + '\0' + "\x1b\x7f",
                               "a\uFFFDb\uFFFDc\uFFFD\uFFFD\uFFFD"},
                    EscapeCase{"C1Controls", "\xc2\x85x\xc2\x9f", "\uFFFDx\uFFFD"},
                    EscapeCase{"Noncharacters", "\xef\xbf\xbe\xef\xbf\xbf", "\uFFFD\uFFFD"},
                    EscapeCase{"StrayBytes", "\x80\xff\xfe", "\uFFFD\uFFFD\uFFFD"},
                    EscapeCase{"OverlongSlash", "\xc0\xaf\xe0\x80\xaf",
                               "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
                    EscapeCase{"Surrogate", "\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},
                    EscapeCase{"BeyondUnicode", "\xf4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
                    EscapeCase{"CutAtTheEnd", "ok\xe2\x86", "ok\uFFFD\uFFFD"},
                    EscapeCase{"CutByMarkup", "\xe2<\x86", "\uFFFD&lt;\uFFFD"},
                    EscapeCase{"ValidTextKept", "k\xc3\xa4t \xe2\x86\x92 \xf0\x9f\x98\x80",
                               "k\xc3\xa4t \xe2\x86\x92 \xf0\x9f\x98\x80"},
                    EscapeCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

// The title keeps the end of a long name, where the file name is, and
// counts code points, not bytes.
TEST(PlotText, ShortenKeepsTheEndWithinTheLimit) {
  const struct {
    std::string text;
    std::size_t limit;
    std::string shortened;
  } cases[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "\u2026cd"},
      {std::string(40, 'x') + "/end.txt", 10, "\u2026x/end.txt"},
      // Nine code points in eighteen bytes fit a limit of nine.
      {"\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4", 9,
       "\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4"},
      // A broken byte counts as one code point and is cut whole.
      {"\xff\xc3\xa4\xe2\x86\x92z", 3, "\u2026\u2192z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string out = shorten(c.text, c.limit);
    EXPECT_EQ(out, c.shortened);
    EXPECT_LE(code_points(out).size(), c.limit);
  }
}

// Widths: 0 for nothing, more for every further character, wide letters
// wider than narrow ones, bold wider, and proportional to the font size.
TEST(PlotText, WidthEstimates) {
  EXPECT_EQ(text_width("", kLabelSize), 0.0);
  std::string text;
  double last = 0.0;
  for (char c : std::string("Ii1 .Mm-\xc3\xa4w")) {
    text += c;
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // inside a sequence
    const double w = text_width(text, kLabelSize);
    EXPECT_GT(w, last) << text;
    last = w;
  }
  EXPECT_GT(text_width("MMMM", 12), text_width("iiii", 12));
  EXPECT_GT(text_width("WW", 12), text_width("AA", 12));
  EXPECT_GT(text_width("TS12", 12, true), text_width("TS12", 12));
  EXPECT_DOUBLE_EQ(text_width("TS12 \u2212P 0.5", 24), 2 * text_width("TS12 \u2212P 0.5", 12));
  // Any bytes are measured: a stray byte like the replacement character.
  EXPECT_EQ(text_width("\xff", 12), text_width("\uFFFD", 12));
  // At least a third of the font size per digit, so that figures never
  // crowd: energies of eight digits at 12 px need more than 32 px.
  EXPECT_GT(text_width("12345678", 12), 32.0);
}

// The table of widths is what tools/font_widths.py writes from the font
// installed.
TEST(PlotText, TheWidthsTableIsTheFonts) {
  const std::string source = KINEX_EXAMPLES "/..";
  std::FILE* pipe = popen(("/usr/bin/python3 " + source + "/tools/font_widths.py").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string written;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    written.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << "fontTools (python3-fonttools) reads the font";
  std::ifstream committed(source + "/src/figures/plot_font_widths.cc", std::ios::binary);
  EXPECT_EQ(written, std::string(std::istreambuf_iterator<char>(committed), {}));
}

// Numbers as shown: true minus, no negative zero, scientific beyond a
// billion, non-finite values spelled out.
TEST(PlotText, NumbersAsShown) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::string got, expected;
  } cases[] = {
      {energy_text(25.44), "25.4"},
      {energy_text(-5.1), "\u22125.1"},
      {energy_text(-0.04), "0.0"},
      {energy_text(-0.0), "0.0"},
      {energy_text(1e9), "1.000e+09"},
      {energy_text(-2.5e12), "\u22122.500e+12"},
      {energy_text(std::nan("")), "NaN"},
      {energy_text(inf), "+Inf"},
      {energy_text(-inf), "\u2212Inf"},
      {fixed_text(0.25, 2), "0.25"},
      {shortest_text(298.15), "298.15"},
      {shortest_text(-1e-300), "\u22121e-300"},
      {concentration_text(0.001), "0.001"},
      {concentration_text(1e-5), "1e-05"},
      {concentration_text(12345), "1.23e+04"},
      {significant_text(-2.5e7, 3), "\u22122.5e+07"},
      {significant_text(-0.0, 3), "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

// Mantissa and exponent as a chemist writes them: the report's rounding
// (a carry raises the exponent), no "×10⁰", no "+" or leading zeros in the
// exponent, true minus signs; from a logarithm far beyond the doubles alike.
TEST(PlotText, PowersOfTen) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* what;
    PowerOfTen got;
    const char *mantissa, *exponent;
  } cases[] = {
      {"ordinary", power_of_ten_text(4.0712e-3, 2), "4.07", "\u22123"},
      {"exponent 0", power_of_ten_text(2.4649, 2), "2.46", ""},
      {"large", power_of_ten_text(1.7749e25, 2), "1.77", "25"},
      {"three-digit exponent", power_of_ten_text(8.0512e-104, 2), "8.05", "\u2212104"},
      {"below the normal doubles", power_of_ten_text(3.2e-310, 2), "3.20", "\u2212310"},
      {"carry", power_of_ten_text(9.996e-5, 2), "1.00", "\u22124"},
      {"carry to exponent 0", power_of_ten_text(0.99999, 2), "1.00", ""},
      {"negative", power_of_ten_text(-1.7512e3, 2), "\u22121.75", "3"},
      {"zero", power_of_ten_text(0.0, 2), "0.00", ""},
      {"negative zero", power_of_ten_text(-0.0, 2), "0.00", ""},
      {"other decimals", power_of_ten_text(123456.0, 4), "1.2346", "5"},
      {"NaN", power_of_ten_text(std::nan(""), 2), "NaN", ""},
      {"infinite", power_of_ten_text(-inf, 2), "\u2212Inf", ""},
      {"log10 far below", power_of_ten_from_log10(-400.3, false, 2), "5.01", "\u2212401"},
      {"log10 far above, negative", power_of_ten_from_log10(500.5, true, 2), "\u22123.16", "500"},
      {"log10 whole", power_of_ten_from_log10(-7.0, false, 2), "1.00", "\u22127"},
      {"log10 carry", power_of_ten_from_log10(-1e-4, false, 2), "1.00", ""},
      {"log10 between 0 and 1", power_of_ten_from_log10(0.39, false, 2), "2.45", ""},
      {"log10 not finite", power_of_ten_from_log10(-inf, false, 2), "\u2212Inf", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.got.mantissa, c.mantissa) << c.what;
    EXPECT_EQ(c.got.exponent, c.exponent) << c.what;
  }
}

// Coordinates: short, never "-0", and 0 for what only a bug can give.
TEST(PlotText, CoordinatesAsWritten) {
  const struct {
    double x;
    const char* written;
  } cases[] = {{3.0, "3"},
               {2.5, "2.5"},
               {-1.25, "-1.25"},
               {0.004, "0"},
               {-0.004, "0"},
               {-0.0, "0"},
               {123456.789, "123456.79"},
               {std::nan(""), "0"},
               {std::numeric_limits<double>::infinity(), "0"}};
  for (const auto& c : cases) EXPECT_EQ(num(c.x), c.written) << c.x;
}

// The bars' colour runs from grey at no control to deep blue at full
// control; what is not in [0, 1] is drawn as its nearest end.
TEST(PlotText, BarShadeAndThicknessFollowTheDegreeOfControl) {
  EXPECT_EQ(shade(0.0), "#a5a5a5");
  EXPECT_EQ(shade(1.0), "#084594");
  EXPECT_EQ(shade(0.5), "#57759d");
  EXPECT_EQ(shade(std::nan("")), shade(0.0));
  EXPECT_EQ(shade(-3.0), shade(0.0));
  EXPECT_EQ(shade(7.0), shade(1.0));
  EXPECT_EQ(thickness(0.0), kThinnestBar);
  EXPECT_EQ(thickness(2.0), kThinnestBar + kBarThickening);
  EXPECT_LT(thickness(0.3), thickness(0.6));
}

}  // namespace
}  // namespace kinex::plot

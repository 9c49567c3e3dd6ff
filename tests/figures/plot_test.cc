// The energy-profile picture, read back by a real XML parser (Python's
// xml.etree) and compared with the model.
#include "figures/plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "model/profile.h"
#include "outputs/summary.h"
#include "report/line_writer.h"
#include "text/strings.h"

namespace kinex {
namespace {

using cycle_files::have_python;
using nlohmann::json;

// Prints, as one JSON object, what the checks need (true minus signs turned
// into "-"): the bars, the labels of each state, the axis ticks, the span
// arrow and the title lines. Fails when the document is not well-formed XML.
constexpr const char* kProfileReader = R"PY(
import json, math, sys, xml.etree.ElementTree as ET
NS = '{http://www.w3.org/2000/svg}'
root = ET.parse(sys.argv[1]).getroot()
def text(e): return ''.join(e.itertext()).replace('\n', ' ').replace('\u2212', '-')
p = {'nonfinite': 0, 'bars': [], 'labels': {}, 'arrow': None, 'span': None}
for e in root.iter():
    for k in ('x', 'y', 'x1', 'x2', 'y1', 'y2', 'width', 'height'):
        if k in e.attrib and not math.isfinite(float(e.attrib[k])): p['nonfinite'] += 1
for g in root.iter(NS + 'g'):
    if 'state' not in g.get('class', '').split(): continue
    for e in g:
        if e.tag == NS + 'line' and e.get('class') == 'bar':
            p['bars'].append([g.get('id')] + [float(e.get(k)) for k in ('x1', 'x2', 'y1')])
        elif e.tag == NS + 'text':
            p['labels'].setdefault(g.get('id'), {})[e.get('class')] = text(e)
ticks = [float(e.get('y1')) for e in root.iter(NS + 'line') if e.get('class') == 'tick']
values = [float(text(e)) for e in root.iter(NS + 'text') if e.get('class') == 'tick-label']
p['ticks'] = list(zip(values, ticks))
for e in root.iter(NS + 'line'):
    if e.get('id') == 'span-arrow': p['arrow'] = [float(e.get(k)) for k in ('x1', 'y1', 'y2')]
for e in root.iter(NS + 'tspan'):
    if e.get('class') == 'value': p['span'] = text(e)
for e in root.iter(NS + 'text'):
    if e.get('id') == 'figures': p['figures'] = text(e)
# The title's lines, as one.
p['title'] = ' '.join(text(e) for e in root.iter(NS + 'text') if e.get('class') == 'title')
# Raised and lowered parts (a font size of their own) after '^' and '_'.
def shifted(e):
    out = e.text or ''
    for t in e:
        mark = '' if t.get('font-size') is None else '^' if float(t.get('dy', 0)) < 0 else '_'
        out += mark + (t.text or '') + (t.tail or '')
    return out.replace('\u2212', '-')
for e in root.iter(NS + 'text'):
    if e.get('id') == 'figures': p['figures'] = shifted(e)
    if e.get('class') == 'effective-span-value': p['effective'] = shifted(e)
p['warning'] = [text(e) for g in root.iter(NS + 'g') if g.get('id') == 'warning' for e in g]
p['notes'] = ' '.join(text(e) for g in root.iter(NS + 'g') if g.get('id') == 'notes' for e in g)
for e in root.iter(NS + 'line'):
    if e.get('id') == 'effective-span-arrow':
        p['effective_arrow'] = [float(e.get(k)) for k in ('x1', 'y1', 'y2')]
print(json.dumps(p))
)PY";

// The picture as the reader sees it; a test failure when it is not
// well-formed.
json read_profile(const std::string& svg) {
  return cycle_files::python_on_picture(kProfileReader, svg);
}

std::string label(const json& p, const std::string& id, const std::string& role) {
  const json::json_pointer at("/labels/" + id + "/" + role);
  return p.contains(at) ? p.at(at).get<std::string>() : "(none)";
}

// One decimal as the picture writes it, negative zero without its sign.
std::string one_decimal(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1f", x);
  return std::string(buffer) == "-0.0" ? "0.0" : buffer;
}

// The report's TOF as a chemist writes it, "7.48E-07" as "7.48×10^-7", or
// "2.46" for "2.46E+00" (the report leaves the E out of three-digit
// exponents: "1.25-115"); a TOF that underflowed to 0 from its logarithm.
std::string written_tof(const Run& run) {
  if (run.results.TOF == 0 && std::isfinite(run.results.log10_TOF)) {
    const double exponent = std::floor(run.results.log10_TOF);
    char mantissa[32];
    std::snprintf(mantissa, sizeof mantissa, "%s%.2f", run.results.TOF_sign < 0 ? "-" : "",
                  std::pow(10.0, run.results.log10_TOF - exponent));
    return mantissa + std::string("\u00d710^") + std::to_string(static_cast<int>(exponent));
  }
  std::string tof(text::trim_right(report::field_ES(run.results.TOF, 9, 2)));
  tof.erase(0, tof.find_first_not_of(' '));
  const std::size_t sign = tof.find_last_of("+-");
  if (sign == std::string::npos || sign == 0) return tof;  // NaN, +Inf
  const std::size_t mantissa_end = tof[sign - 1] == 'E' ? sign - 1 : sign;
  const int exponent = std::stoi(tof.substr(sign));
  std::string mantissa = tof.substr(0, mantissa_end);
  if (mantissa == "-0.00") mantissa = "0.00";
  if (exponent == 0 || mantissa == "0.00") return mantissa;
  return mantissa + "\u00d710^" + std::to_string(exponent);
}

// The states the picture must show, in order: one turn and the next turn's
// I0, then the next turn up to the TDTS when that precedes the TDI.
std::vector<std::pair<std::string, double>> expected_states(const Run& run) {
  std::vector<std::pair<std::string, double>> states;
  const int64_t n = run.cycle.n;
  for (int64_t i = 1; i <= n; ++i) {
    states.push_back({"int-" + std::to_string(i - 1), run.cycle.G_int[i - 1]});
    states.push_back({"ts-" + std::to_string(i), run.cycle.G_ts[i]});
  }
  states.push_back({"int-0-next", run.profile.G_int[n]});
  for (int64_t i = 1; run.results.TDTS < run.results.TDI && i <= run.results.TDTS; ++i) {
    if (i > 1)
      states.push_back({"int-" + std::to_string(i - 1) + "-next", run.profile.G_int[n + i - 1]});
    states.push_back({"ts-" + std::to_string(i) + "-next", run.cycle.G_ts[i] + run.cycle.DeltaG});
  }
  return states;
}

// The picture `p` of `run`, read back, against the model.
void check_picture(const kinex::Run& run, json& p) {
  p = read_profile(render_profile_svg(run, "cycle.txt"));
  EXPECT_EQ(p.value("nonfinite", -1), 0);

  const auto states = expected_states(run);
  const bool dense = p.value("notes", "").find("Too many states") != std::string::npos;
  const json& bars = p.at("bars");
  ASSERT_EQ(bars.size(), states.size());
  ASSERT_GE(p.at("ticks").size(), 2u);
  // The energy scale from the outermost ticks of the axis.
  const double v0 = p["ticks"].front()[0], y0 = p["ticks"].front()[1];
  const double v1 = p["ticks"].back()[0], y1 = p["ticks"].back()[1];
  const double per_pixel = (v1 - v0) / (y0 - y1);
  double lo = INFINITY, hi = -INFINITY;
  for (const auto& s : states) lo = std::min(lo, s.second), hi = std::max(hi, s.second);
  const double tolerance = 0.005 * std::max(hi - lo, 1.0);
  for (std::size_t c = 0; c < states.size(); ++c) {
    SCOPED_TRACE(states[c].first);
    EXPECT_EQ(bars[c][0], states[c].first);
    // Among crowded columns only the TDI and the TDTS have their energy
    // written, and a note says so.
    const std::string energy = label(p, states[c].first, "energy");
    if (energy != "(none)" || !dense) {
      EXPECT_EQ(energy, one_decimal(states[c].second));
    }
    EXPECT_NEAR(v0 + (y0 - bars[c][3].get<double>()) * per_pixel, states[c].second, tolerance);
    if (c > 0) {
      EXPECT_LT(bars[c - 1][2].get<double>(), bars[c][1].get<double>()) << "bars touch";
    }
  }

  const std::size_t tdi = 2 * (run.results.TDI - 1);
  const std::size_t tdts = run.results.TDTS >= run.results.TDI
                               ? 2 * run.results.TDTS - 1
                               : 2 * run.cycle.n + 2 * run.results.TDTS - 1;
  EXPECT_EQ(label(p, states[tdi].first, "tag"), "TDI");
  EXPECT_EQ(label(p, states[tdts].first, "tag"), "TDTS");
  // The arrow stands at the TDTS, from the TDI's level to the TDTS's, and its
  // value is the span every output states.
  const double span = energetic_span(run);
  EXPECT_EQ(p.at("span"), one_decimal(span));
  ASSERT_TRUE(p.at("arrow").is_array());
  const double arrow_x = p["arrow"][0], arrow_y1 = p["arrow"][1], arrow_y2 = p["arrow"][2];
  EXPECT_NEAR(arrow_x, (bars[tdts][1].get<double>() + bars[tdts][2].get<double>()) / 2, 0.02);
  EXPECT_NEAR(arrow_y1, bars[tdi][3].get<double>(), 0.02);
  EXPECT_NEAR(arrow_y2, bars[tdts][3].get<double>(), 0.02);
  EXPECT_NEAR((arrow_y1 - arrow_y2) * per_pixel, span, tolerance);

  const std::string figures = p.value("figures", "");
  EXPECT_NE(figures.find("TOF = " + written_tof(run) + " s^-1"), std::string::npos) << figures;
  char temperature[64];
  std::snprintf(temperature, sizeof temperature, "T = %g K", run.cycle.T);
  EXPECT_EQ(figures.rfind(temperature, 0), 0u) << figures;
  EXPECT_EQ(p.value("title", ""), "Gibbs energy profile: cycle.txt");

  // The effective span, where it differs from the span at one decimal: a
  // dashed arrow beside the span arrow from the TDI's level up (or down) by
  // the effective span, with its value.
  const double effective = run.results.effective_span;
  const bool differs = std::isfinite(effective) && std::fabs(effective - span) >= 0.05;
  // Not drawn among crowded or narrowed columns, where a note says so.
  const bool untold =
      p.value("notes", "").find("The effective span is not drawn here") != std::string::npos;
  EXPECT_EQ(p.contains("effective_arrow"), differs && !dense && !untold);
  EXPECT_EQ(figures.find("E_eff = ") != std::string::npos, differs) << figures;
  if (differs && p.contains("effective_arrow")) {
    const double x = p["effective_arrow"][0], y1 = p["effective_arrow"][1],
                 y2 = p["effective_arrow"][2];
    EXPECT_NE(x, arrow_x);
    EXPECT_NEAR(y1, bars[tdi][3].get<double>(), 0.02);
    EXPECT_NEAR((y1 - y2) * per_pixel, effective, tolerance);
    const std::string value = "\u03b4E_eff = " + one_decimal(effective) + " kcal/mol";
    EXPECT_EQ(p.value("effective", ""), value);
    EXPECT_NE(figures.find(value), std::string::npos) << figures;
  }
  // The report's warning, exactly when the driving force is not positive.
  std::string warning;
  for (const auto& line : p.at("warning")) {
    warning += (warning.empty() ? "" : " ") + line.get<std::string>();
  }
  EXPECT_EQ(warning, warning_text(run));
  EXPECT_EQ(warning.empty(), !needs_driving_force_warning(run.profile));
}

// The states, their bars and labels, the TDI and TDTS tags and the span
// arrow of cycles from one step to forty, small and wide energy ranges.
TEST(Plot, BarsLabelsAndSpanMatchTheModel) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  std::vector<json> pictures;
  for (const std::string& input :
       {test::read_file(KINEX_EXAMPLES "/three_step.txt"),
        test::read_file(KINEX_EXAMPLES "/five_step.txt"),  // the span wraps
        std::string("300\n1\n0.0 12.5 x x\n-3.0\n"),
        std::string("298.15\n2\n0 0 x x\n0 0 x x\n0\n"),
        // Transition states below their intermediates.
        std::string("298.15\n2\n0.0 -20 x x\n-5 -22 x x\n-5.0\n"),
        cycle_files::generated_cycle(3, 150.0, 2, 0.1),
        cycle_files::generated_cycle(12, 300.0, 3, 0.1),
        cycle_files::generated_cycle(30, 400.0, 4, 0.1),
        cycle_files::generated_cycle(40, 4.0, 5, 0.1),
        // The concentration moves the span by 4.1 kcal/mol.
        test::read_file(KINEX_EXAMPLES "/tdts_switch.txt"),
        // No positive driving force, the span into the next turn.
        std::string("298.15\n3\n0.0 15.0 x x\n-2.0 18.0 x x\n3.0 12.0 x x\n4.0\n"),
        // TOF below the range of doubles.
        std::string("298.15\n1\n0.0 560.0 x x\n-10.0\n")}) {
    SCOPED_TRACE(input);
    check_picture(cycle_files::evaluated_text(input), pictures.emplace_back());
  }
  // The three-step example's reactant and product, marked at their steps.
  EXPECT_EQ(label(pictures[0], "ts-2", "reactant"), "+R 0.5");
  EXPECT_EQ(label(pictures[0], "ts-3", "product"), "-P 0.001");
  EXPECT_EQ(label(pictures[0], "ts-1", "reactant"), "(none)");
  EXPECT_EQ(label(pictures[0], "ts-1", "product"), "(none)");
}

// Past the overflow boundary (T = 10 K) the direct TOF is not a number; the
// picture writes the one of the log-space evaluation.
TEST(Plot, TofPastTheOverflowBoundary) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const kinex::Run run = cycle_files::evaluated_text("10.0\n1\n0.0 0.5 x x\n-15.0\n");
  ASSERT_EQ(run.results.evaluation, EvaluationMethod::log_space)
      << "the case does not test what it says";
  json p;
  check_picture(run, p);
  EXPECT_NE(p.value("figures", "").find("TOF = 2.46 s^-1"), std::string::npos) << p["figures"];
  EXPECT_NE(render_profile_svg(run, "cycle.txt").find("from the log-space evaluation"),
            std::string::npos);
}

// File names are bytes: markup characters, the end of a CDATA section,
// control characters and broken UTF-8 must all leave a well-formed document.
TEST(Plot, HostileFileNamesAreEscaped) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const kinex::Run run =
      cycle_files::evaluated_text(test::read_file(KINEX_EXAMPLES "/three_step.txt"));
  const std::string long_name = std::string(200, 'a') + "/end.txt";
  const struct {
    std::string name, shown;  // shown: the title's text after "Gibbs energy profile: "
  } cases[] = {
      {"<svg onload=\"x\">&amp;'</svg>", "<svg onload=\"x\">&amp;'</svg>"},
      {"a]]>b.txt", "a]]>b.txt"},
      {"<!-- x -->.txt", "<!-- x -->.txt"},
      {std::string("tab\tnul") + '\0' + "\x1b[31m.txt", "tab\uFFFDnul\uFFFD\uFFFD[31m.txt"},
      {"caf\xc3 \xff\xfe \xed\xa0\x80.txt", "caf\uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD.txt"},
      {"k\xc3\xa4t\xe2\x86\x92lyse.txt", "k\xc3\xa4t\xe2\x86\x92lyse.txt"},
      {long_name, "\u2026" + long_name.substr(long_name.size() - 89)}};
  for (const auto& c : cases) {
    const json p = read_profile(render_profile_svg(run, c.name));
    EXPECT_EQ(p.value("title", ""), "Gibbs energy profile: " + c.shown);
  }
}

// Non-finite energies or TOF: a valid document, no bar for a state without
// a finite energy, its value written out instead.
TEST(Plot, NonFiniteValuesGiveAValidPicture) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const struct {
    const char* input;
    std::size_t bars;
    const char *missing_id, *missing_text;
  } cases[] = {
      {"298.15\n3\n0.0 NaN x x\n-5.1 20.3 0.5 x\n-2.0 12.0 x 1e-3\n-10\n", 6, "ts-1", "NaN"},
      {"298.15\n2\n0.0 10 x x\nInf 20 x x\n-10\n", 4, "int-1", "+Inf"},
      {"298.15\n2\n0.0 10 x x\n-4 20 x x\nNaN\n", 4, "int-0-next", "NaN"},
      {"298.15\n1\nNaN NaN x x\nNaN\n", 0, "ts-1", "NaN"},
      {"298.15\n2\n0 1e300 x x\n-1e300 5 x x\n-1e301\n", 5, nullptr, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const json p =
        read_profile(render_profile_svg(cycle_files::evaluated_text(c.input), "cycle.txt"));
    EXPECT_EQ(p.value("nonfinite", -1), 0);
    EXPECT_EQ(p.at("bars").size(), c.bars);
    if (c.missing_id != nullptr) {
      EXPECT_EQ(label(p, c.missing_id, "energy"), c.missing_text);
    }
    EXPECT_FALSE(p.value("figures", "").empty());
  }
}

}  // namespace
}  // namespace kinex

// The energy-profile picture, read back by a real XML parser (Python's
// xml.etree, and xmllint where installed) and compared with the model.
#include "kinex/plot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "kinex/summary.h"
#include "report/line_writer.h"

namespace kinex {
namespace {

// Prints what the checks need, one item a line, with true minus signs
// turned into "-": the bars, labels, axis ticks, the span arrow and the
// title lines. Exits non-zero when the document is not well-formed XML.
constexpr const char* kReader = R"PY(
import math, sys, xml.etree.ElementTree as ET
NS = '{http://www.w3.org/2000/svg}'
root = ET.parse(sys.argv[1]).getroot()
def out(*items):
    line = ' '.join(str(i) for i in items).replace('\u2212', '-')
    sys.stdout.buffer.write((line + '\n').encode('utf-8'))
def text(e): return ''.join(e.itertext()).replace('\n', ' ')
bad = 0
for e in root.iter():
    for k in ('x', 'y', 'x1', 'x2', 'y1', 'y2', 'width', 'height'):
        if k in e.attrib and not math.isfinite(float(e.attrib[k])): bad += 1
out('nonfinite', bad)
for g in root.iter(NS + 'g'):
    if 'state' not in g.get('class', '').split(): continue
    for e in g:
        if e.tag == NS + 'line' and e.get('class') == 'bar':
            out('bar', g.get('id'), e.get('x1'), e.get('x2'), e.get('y1'))
        elif e.tag == NS + 'text':
            out('label', g.get('id'), e.get('class'), text(e))
ticks = [float(e.get('y1')) for e in root.iter(NS + 'line') if e.get('class') == 'tick']
labels = [text(e) for e in root.iter(NS + 'text') if e.get('class') == 'tick-label']
for y, label in zip(ticks, labels): out('tick', label.replace('\u2212', '-'), y)
for e in root.iter(NS + 'line'):
    if e.get('id') == 'span-arrow': out('arrow', e.get('x1'), e.get('y1'), e.get('y2'))
for e in root.iter(NS + 'tspan'):
    if e.get('class') == 'value': out('span', text(e))
for e in root.iter(NS + 'text'):
    if e.get('id') in ('title', 'figures'): out(e.get('id'), text(e))
)PY";

struct Bar {
  std::string id;
  double x1, x2, y;
};

struct Picture {
  int nonfinite = -1;
  std::vector<Bar> bars;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> labels;
  std::vector<std::pair<double, double>> ticks;  // value, y
  bool arrow = false;
  double arrow_x = 0, arrow_y1 = 0, arrow_y2 = 0;
  std::string span, title, figures;

  std::string label(const std::string& id, const std::string& role) const {
    auto it = labels.find(id);
    if (it == labels.end()) return "(none)";
    for (const auto& [r, t] : it->second) {
      if (r == role) return t;
    }
    return "(none)";
  }
};

std::string temp_path(const std::string& stem) {
  static int counter = 0;
  return testing::TempDir() + "kinex_plot_" + std::to_string(::getpid()) + "_" +
         std::to_string(counter++) + stem;
}

bool have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string write_svg(const std::string& svg) {
  const std::string path = temp_path(".svg");
  std::ofstream(path, std::ios::binary) << svg;
  return path;
}

// Parses `svg` with Python; fails the test when it is not well-formed.
Picture read_picture(const std::string& svg) {
  Picture p;
  const std::string file = write_svg(svg);
  const std::string script = temp_path(".py");
  std::ofstream(script) << kReader;
  std::FILE* pipe = popen(("python3 " + script + " " + file + " 2>&1").c_str(), "r");
  std::string output;
  char buffer[4096];
  while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << "not well-formed:\n" << output;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    auto rest = [&] {
      std::string r;
      std::getline(in >> std::ws, r);
      return r;
    };
    if (kind == "nonfinite") {
      in >> p.nonfinite;
    } else if (kind == "bar") {
      Bar b;
      in >> b.id >> b.x1 >> b.x2 >> b.y;
      p.bars.push_back(b);
    } else if (kind == "label") {
      std::string id, role;
      in >> id >> role;
      p.labels[id].push_back({role, rest()});
    } else if (kind == "tick") {
      std::string value;
      double y;
      in >> value >> y;
      p.ticks.push_back({std::stod(value), y});
    } else if (kind == "arrow") {
      p.arrow = true;
      in >> p.arrow_x >> p.arrow_y1 >> p.arrow_y2;
    } else if (kind == "span") {
      p.span = rest();
    } else if (kind == "title") {
      p.title = rest();
    } else if (kind == "figures") {
      p.figures = rest();
    }
  }
  std::remove(file.c_str());
  std::remove(script.c_str());
  return p;
}

// A run through every phase of `input` (the input format).
Run evaluate(const std::string& input) {
  Run run;
  run.input_name = "cycle.txt";
  std::FILE* file = std::tmpfile();
  std::fputs(input.c_str(), file);
  std::rewind(file);
  std::string out;
  Failure failure;
  EXPECT_TRUE(run_phases(run, file, out, failure)) << failure.message;
  std::fclose(file);
  return run;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A cycle of n steps over energies of about +-scale kcal/mol, with a
// reactant or product at some steps; the same n and seed give the same cycle.
std::string generated_cycle(int n, double scale, unsigned seed) {
  unsigned state = seed;
  auto uniform = [&](double lo, double hi) {
    state = state * 1103515245u + 12345u;
    return lo + (hi - lo) * ((state >> 8) & 0xFFFF) / 65535.0;
  };
  std::ostringstream in;
  in << "298.15\n" << n << "\n";
  for (int i = 0; i < n; ++i) {
    const double g = i == 0 ? 0.0 : std::round(uniform(-scale, 0.3 * scale) * 10) / 10;
    const double ts = std::round((g + uniform(0.1 * scale, 0.8 * scale)) * 10) / 10;
    in << g << " " << ts << " " << (i % 3 == 1 ? "0.5" : "x") << " " << (i % 4 == 2 ? "1e-3" : "x")
       << "\n";
  }
  in << -std::round(uniform(0.1, 0.5) * scale) << "\n";
  return in.str();
}

// One decimal as the picture writes it, negative zero without its sign.
std::string one_decimal(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1f", x);
  std::string text = buffer;
  return text == "-0.0" ? "0.0" : text;
}

struct Expected {
  std::string id;
  double energy;
};

// The states the picture must show, in order: one turn and the next turn's
// I0, then the next turn up to the TDTS when that precedes the TDI.
std::vector<Expected> expected_states(const Run& run) {
  std::vector<Expected> states;
  const int64_t n = run.n;
  for (int64_t i = 1; i <= n; ++i) {
    states.push_back({"int-" + std::to_string(i - 1), run.G_int[i - 1]});
    states.push_back({"ts-" + std::to_string(i), run.G_ts[i]});
  }
  states.push_back({"int-0-next", run.G_int[n]});
  if (run.TDTS < run.TDI) {
    for (int64_t i = 1; i <= run.TDTS; ++i) {
      if (i > 1) states.push_back({"int-" + std::to_string(i - 1) + "-next", run.G_int[n + i - 1]});
      states.push_back({"ts-" + std::to_string(i) + "-next", run.G_ts[i] + run.DeltaG});
    }
  }
  return states;
}

struct CycleCase {
  const char* name;
  std::string input;
};

std::vector<CycleCase> cycle_cases() {
  return {
      {"three_step", read_file(std::string(KINEX_EXAMPLES) + "/three_step.txt")},
      {"five_step_span_wraps", read_file(std::string(KINEX_EXAMPLES) + "/five_step.txt")},
      {"one_step", "300\n1\n0.0 12.5 x x\n-3.0\n"},
      {"flat", "298.15\n2\n0 0 x x\n0 0 x x\n0\n"},
      {"transition_state_below_intermediate", "298.15\n2\n0.0 -20 x x\n-5 -22 x x\n-5.0\n"},
      {"three_steps_wide_range", generated_cycle(3, 150.0, 2)},
      {"twelve_steps", generated_cycle(12, 300.0, 3)},
      {"thirty_steps", generated_cycle(30, 400.0, 4)},
      {"forty_steps_small_range", generated_cycle(40, 4.0, 5)},
  };
}

void PrintTo(const CycleCase& c, std::ostream* os) { *os << c.name; }

class PlotCycle : public testing::TestWithParam<CycleCase> {};

TEST_P(PlotCycle, BarsLabelsAndSpanMatchTheModel) {
  if (!have("python3")) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const kinex::Run run = evaluate(GetParam().input);
  const Picture p = read_picture(render_profile_svg(run, "cycle.txt"));
  EXPECT_EQ(p.nonfinite, 0);

  const std::vector<Expected> states = expected_states(run);
  ASSERT_EQ(p.bars.size(), states.size());
  ASSERT_GE(p.ticks.size(), 2u);
  // The energy scale from the outermost ticks of the axis.
  const auto [v0, y0] = p.ticks.front();
  const auto [v1, y1] = p.ticks.back();
  const double per_pixel = (v1 - v0) / (y0 - y1);
  double lo = INFINITY, hi = -INFINITY;
  for (const Expected& s : states) lo = std::min(lo, s.energy), hi = std::max(hi, s.energy);
  const double tolerance = 0.005 * std::max(hi - lo, 1.0);
  for (std::size_t c = 0; c < states.size(); ++c) {
    SCOPED_TRACE(states[c].id);
    EXPECT_EQ(p.bars[c].id, states[c].id);
    EXPECT_EQ(p.label(states[c].id, "energy"), one_decimal(states[c].energy));
    EXPECT_NEAR(v0 + (y0 - p.bars[c].y) * per_pixel, states[c].energy, tolerance);
    if (c > 0) {
      EXPECT_LT(p.bars[c - 1].x2, p.bars[c].x1) << "bars touch";
    }
  }

  const std::size_t tdi = 2 * (run.TDI - 1);
  const std::size_t tdts = run.TDTS >= run.TDI ? 2 * run.TDTS - 1 : 2 * run.n + 2 * run.TDTS - 1;
  EXPECT_EQ(p.label(states[tdi].id, "tag"), "TDI");
  EXPECT_EQ(p.label(states[tdts].id, "tag"), "TDTS");
  const double span = energetic_span(run);
  EXPECT_EQ(p.span, one_decimal(span));
  ASSERT_TRUE(p.arrow);
  EXPECT_NEAR(p.arrow_x, (p.bars[tdts].x1 + p.bars[tdts].x2) / 2, 0.02);
  EXPECT_NEAR(p.arrow_y1, p.bars[tdi].y, 0.02);
  EXPECT_NEAR(p.arrow_y2, p.bars[tdts].y, 0.02);
  EXPECT_NEAR((p.arrow_y1 - p.arrow_y2) * per_pixel, span, tolerance);

  std::string tof(report::trim_right(report::field_ES(run.TOF, 9, 2)));
  tof.erase(0, tof.find_first_not_of(' '));
  EXPECT_NE(p.figures.find("TOF = " + tof + " s-1"), std::string::npos) << p.figures;
  char temperature[64];
  std::snprintf(temperature, sizeof temperature, "T = %g K", run.T);
  EXPECT_EQ(p.figures.rfind(temperature, 0), 0u) << p.figures;
  EXPECT_EQ(p.title, "Gibbs energy profile: cycle.txt");
}

INSTANTIATE_TEST_SUITE_P(Cycles, PlotCycle, testing::ValuesIn(cycle_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Plot, ConcentrationsAreMarkedAtTheirSteps) {
  if (!have("python3")) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const kinex::Run run = evaluate(read_file(std::string(KINEX_EXAMPLES) + "/three_step.txt"));
  const Picture p = read_picture(render_profile_svg(run, "three_step.txt"));
  EXPECT_EQ(p.label("ts-2", "reactant"), "+R 0.5");
  EXPECT_EQ(p.label("ts-3", "product"), "-P 0.001");
  EXPECT_EQ(p.label("ts-1", "reactant"), "(none)");
  EXPECT_EQ(p.label("ts-1", "product"), "(none)");
}

// File names are bytes: markup characters, the end of a CDATA section,
// control characters and broken UTF-8 must all leave a well-formed document.
struct NameCase {
  const char* what;
  std::string name;
  std::string shown;  // the title's text after "Gibbs energy profile: "
};

TEST(Plot, HostileFileNamesAreEscaped) {
  if (!have("python3")) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const kinex::Run run = evaluate(read_file(std::string(KINEX_EXAMPLES) + "/three_step.txt"));
  const std::string long_name = std::string(200, 'a') + "/end.txt";
  const std::vector<NameCase> cases = {
      {"markup", "<svg onload=\"x\">&amp;'</svg>", "<svg onload=\"x\">&amp;'</svg>"},
      {"cdata end", "a]]>b.txt", "a]]>b.txt"},
      {"comment", "<!-- x -->.txt", "<!-- x -->.txt"},
      {"control bytes", std::string("tab\tnul") + '\0' + "\x1b[31m.txt",
       "tab\uFFFDnul\uFFFD\uFFFD[31m.txt"},
      {"broken utf-8", "caf\xc3 \xff\xfe \xed\xa0\x80.txt",
       "caf\uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD.txt"},
      {"unicode", "k\xc3\xa4t\xe2\x86\x92lyse.txt", "k\xc3\xa4t\xe2\x86\x92lyse.txt"},
      {"long", long_name, "\u2026" + long_name.substr(long_name.size() - 89)},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string svg = render_profile_svg(run, c.name);
    const Picture p = read_picture(svg);
    EXPECT_EQ(p.title, "Gibbs energy profile: " + c.shown);
    if (have("xmllint")) {
      const std::string file = write_svg(svg);
      EXPECT_EQ(std::system(("xmllint --noout " + file).c_str()), 0);
      std::remove(file.c_str());
    }
  }
}

// Non-finite energies or TOF: a valid document, no bar for a state without
// a finite energy, its value written out instead.
TEST(Plot, NonFiniteValuesGiveAValidPicture) {
  if (!have("python3")) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const struct {
    const char* what;
    const char* input;
    std::size_t bars;
    const char* missing_id;
    const char* missing_text;
  } cases[] = {
      {"transition state NaN", "298.15\n3\n0.0 NaN x x\n-5.1 20.3 0.5 x\n-2.0 12.0 x 1e-3\n-10\n",
       6, "ts-1", "NaN"},
      {"intermediate infinite", "298.15\n2\n0.0 10 x x\nInf 20 x x\n-10\n", 4, "int-1", "+Inf"},
      {"DeltaG NaN", "298.15\n2\n0.0 10 x x\n-4 20 x x\nNaN\n", 4, "int-0-next", "NaN"},
      {"every energy NaN", "298.15\n1\nNaN NaN x x\nNaN\n", 0, "ts-1", "NaN"},
      {"huge energies", "298.15\n2\n0 1e300 x x\n-1e300 5 x x\n-1e301\n", 5, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const kinex::Run run = evaluate(c.input);
    const Picture p = read_picture(render_profile_svg(run, "cycle.txt"));
    EXPECT_EQ(p.nonfinite, 0);
    EXPECT_EQ(p.bars.size(), c.bars);
    if (c.missing_id != nullptr) {
      EXPECT_EQ(p.label(c.missing_id, "energy"), c.missing_text);
    }
    EXPECT_FALSE(p.figures.empty());
  }
}

}  // namespace
}  // namespace kinex

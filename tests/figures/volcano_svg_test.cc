// The picture of a volcano, read back by a real XML parser (Python's
// xml.etree) and compared with the volcano it draws; and kinex volcano -o.
#include "figures/volcano_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "figures/plot_geometry.h"
#include "figures/plot_text.h"
#include "figures/text_box.h"
#include "outputs/format.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using nlohmann::json;
using namespace cycle_files;

// Prints, as one JSON object: the markers (name from their title, class),
// the texts by class with their position, anchor and size, the curve's
// vertices, the band's polygons, the ticks and the count of non-finite
// coordinates. Fails when the document is not well-formed XML.
constexpr const char* kVolcanoReader = R"PY(
import json, math, re, sys, xml.etree.ElementTree as ET
NS = '{http://www.w3.org/2000/svg}'
root = ET.parse(sys.argv[1]).getroot()
def text(e): return ''.join(e.itertext()).replace('\u2212', '-')
def nums(s): return [float(v) for v in re.findall(r'-?[0-9.]+(?:e-?[0-9]+)?', s)]
p = {'nonfinite': 0, 'markers': [], 'texts': [], 'band': [], 'curve': []}
for e in root.iter():
    for k in ('x', 'y', 'x1', 'x2', 'y1', 'y2', 'cx', 'cy', 'r', 'width', 'height'):
        if k in e.attrib and not math.isfinite(float(e.attrib[k])): p['nonfinite'] += 1
for e in root.iter(NS + 'circle'):
    c = e.get('class', '').split()
    if 'point' in c:
        p['markers'].append({'name': text(e.find(NS + 'title')), 'outlier': 'outlier' in c,
                             'x': float(e.get('cx')), 'y': float(e.get('cy'))})
for e in root.iter(NS + 'text'):
    p['texts'].append({'class': e.get('class', e.get('id', '')), 'text': text(e),
                       'x': float(e.get('x', 0)), 'y': float(e.get('y', 0)),
                       'size': float(e.get('font-size', 0)),
                       'anchor': e.get('text-anchor', 'start')})
for e in root.iter(NS + 'polygon'):
    v = nums(e.get('points')); p['band'].append(list(zip(v[0::2], v[1::2])))
for e in root.iter(NS + 'path'):
    if e.get('id') == 'curve':
        v = nums(e.get('d').replace('M', ' ').replace('L', ' ').replace(',', ' '))
        p['curve'] = list(zip(v[0::2], v[1::2]))
p['ticks'] = {'x': [float(e.get('x1')) for e in root.iter(NS + 'line') if e.get('class') == 'x-tick'],
              'y': [float(e.get('y1')) for e in root.iter(NS + 'line') if e.get('class') == 'y-tick']}
p['leaders'] = [[float(e.get(k)) for k in ('x1', 'y1', 'x2', 'y2')]
                for e in root.iter(NS + 'line') if e.get('class') == 'leader']
p['title'] = text(root.find(NS + 'title'))
print(json.dumps(p))
)PY";

json read_volcano(const std::string& svg) { return python_on_picture(kVolcanoReader, svg); }

std::vector<json> texts_of(const json& p, const std::string& cls) {
  std::vector<json> found;
  for (const json& t : p["texts"])
    if (t["class"] == cls) found.push_back(t);
  return found;
}

// The linear map of values to pixels that the first and last tick of an
// axis give: their marks' positions and their labels' values.
struct Axis {
  double a = 0, b = 0;  // pixel = a + b * value
  double at(double v) const { return a + b * v; }
};

Axis axis_of(const json& p, const char* which) {
  const std::vector<json> labels = texts_of(p, std::string(which) + "-tick-label");
  const json& marks = p["ticks"][which];
  EXPECT_GE(labels.size(), 2u) << which;
  EXPECT_EQ(labels.size(), marks.size()) << which;
  if (labels.size() < 2 || labels.size() != marks.size()) return {};
  const double v0 = std::stod(labels.front()["text"].get<std::string>());
  const double v1 = std::stod(labels.back()["text"].get<std::string>());
  const double p0 = marks.front(), p1 = marks.back();
  Axis axis;
  axis.b = (p1 - p0) / (v1 - v0);
  axis.a = p0 - axis.b * v0;
  return axis;
}

using test_figures::text_box;

// No two boxes overlap.
void expect_apart(const std::vector<plot::Box>& boxes, const std::string& what) {
  for (std::size_t i = 0; i < boxes.size(); ++i)
    for (std::size_t j = i + 1; j < boxes.size(); ++j)
      EXPECT_EQ(plot::overlap(boxes[i], boxes[j]), 0.0) << what << " " << i << " and " << j;
}

// The screening table: a volcano over d with two regions, one catalyst
// far off its lines (an outlier), names needing escapes.
const char* kTable =
    "Catalyst,Descriptor d,I0,TS1,I1,TS2,I2,P\n"
    "\"A & <one>\",-4,0,10.8,-4,21.6,-4.8,-12\n"
    "B \"quoted\",-2.5,0,12,-2.5,21,-5.25,-12\n"
    "C,-1,0,13.2,-1,20.4,-6.3,-12\n"
    "D,0,0,14,0,20,-6,-12\n"
    "E,1.5,0,15.2,1.5,19.4,-5.55,-12\n"
    "F,3,0,19.4,3,18.8,-5.1,-12\n"
    "G,5,0,18,5,18,-4.5,-12\n"
    "H,2,0,15.6,2,19.2,-5.4,-12\n";

Volcano volcano_of(const std::string& text, int64_t samples = 300) {
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_TRUE(parse_table("t.csv", text, 298.15, rows, error)) << error;
  VolcanoOptions options;
  options.samples = samples;
  options.points = 120;
  Volcano v;
  EXPECT_TRUE(build_volcano(rows, options, v, error)) << error;
  return v;
}

struct CurveCase {
  const char* name;
  VolcanoCurve curve;
  double VolcanoPoint::*value;
  const char* y_title;
};

TEST(VolcanoSvg, EveryCatalystSitsAtItsValueWithALabelClearOfTheOthers) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const Volcano v = volcano_of(kTable);
  ASSERT_TRUE(std::any_of(v.points.begin(), v.points.end(),
                          [](const VolcanoPoint& p) { return p.outlier; }));
  for (const CurveCase& c :
       {CurveCase{"tof", VolcanoCurve::log10_TOF, &VolcanoPoint::log10_TOF, "TOF / s"},
        CurveCase{"span", VolcanoCurve::energetic_span, &VolcanoPoint::energetic_span,
                  "energetic span"},
        CurveCase{"step", VolcanoCurve::endergonic_step, &VolcanoPoint::endergonic_step,
                  "most endergonic step"}}) {
    SCOPED_TRACE(c.name);
    const json p = read_volcano(volcano_svg("screen & <co>.csv", v, {c.curve}));
    EXPECT_EQ(p["nonfinite"], 0);
    EXPECT_NE(p["title"].get<std::string>().find("screen & <co>.csv"), std::string::npos);
    ASSERT_EQ(texts_of(p, "y-title").size(), 1u);
    EXPECT_NE(texts_of(p, "y-title")[0]["text"].get<std::string>().find(c.y_title),
              std::string::npos);
    const Axis x = axis_of(p, "x"), y = axis_of(p, "y");
    ASSERT_EQ(p["markers"].size(), v.points.size());
    std::vector<plot::Box> taken;
    for (std::size_t k = 0; k < v.points.size(); ++k) {
      const json& m = p["markers"][k];
      const VolcanoPoint& point = v.points[k];
      EXPECT_EQ(m["name"].get<std::string>().rfind(point.name, 0), 0u);
      EXPECT_EQ(m["outlier"], point.outlier) << point.name;
      // Ticks are written to two decimals of a pixel.
      EXPECT_NEAR(m["x"].get<double>(), x.at(point.x), 0.02) << point.name;
      EXPECT_NEAR(m["y"].get<double>(), y.at(point.*c.value), 0.02) << point.name;
      const double cx = m["x"], cy = m["y"];
      taken.push_back({cx - 3, cy - 3, cx + 3, cy + 3});
    }
    const std::vector<json> labels = texts_of(p, "point-label");
    EXPECT_EQ(labels.size(), v.points.size());
    for (const json& l : labels) taken.push_back(text_box(l));
    expect_apart(taken, "marker or name");
  }
}

TEST(VolcanoSvg, TheBandEnclosesTheCurveAndIsLeftOutWithoutDraws) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  const Volcano v = volcano_of(kTable);
  for (VolcanoCurve curve : {VolcanoCurve::log10_TOF, VolcanoCurve::energetic_span}) {
    const json p = read_volcano(volcano_svg("t.csv", v, {curve}));
    ASSERT_EQ(p["band"].size(), 1u);
    const auto& polygon = p["band"][0];
    const std::size_t n = p["curve"].size();
    ASSERT_EQ(polygon.size(), 2 * n);
    for (std::size_t k = 0; k < n; ++k) {
      const double cy = p["curve"][k][1];
      const double upper = polygon[k][1], lower = polygon[2 * n - 1 - k][1];
      EXPECT_EQ(polygon[k][0], p["curve"][k][0]);
      EXPECT_LE(std::min(upper, lower), cy + 0.01) << k;
      EXPECT_GE(std::max(upper, lower), cy - 0.01) << k;
    }
  }
  const json none = read_volcano(volcano_svg("t.csv", volcano_of(kTable, 0), {}));
  EXPECT_TRUE(none["band"].empty());
}

// A volcano made by hand: regions as wide or as narrow as wanted, values
// missing.
Volcano hand_made(const std::vector<std::pair<int64_t, int64_t>>& runs,
                  const std::string& state_name) {
  Volcano v;
  v.fits.descriptor = "G(O*)";
  v.fits.descriptor_is_state = true;
  v.fits.conditions.T = 298.15;
  v.from = 0;
  v.to = 10;
  for (int k = 0; k <= 100; ++k) {
    const double x = k / 10.0;
    v.x.push_back(x);
    v.log10_TOF.push_back(5 - std::fabs(x - 5));
    v.log10_TOF_band.low.push_back(v.log10_TOF.back() - 1);
    v.log10_TOF_band.high.push_back(v.log10_TOF.back() + 1);
  }
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const std::string s = std::to_string(r);
    v.regions.push_back({state_name + s,
                         "TS " + state_name + s,
                         runs[r].first / 10.0,
                         runs[r].second / 10.0,
                         runs[r].first,
                         runs[r].second,
                         {},
                         {}});
  }
  v.top = 50;
  v.top_x = v.x[50];
  v.top_log10_TOF = v.log10_TOF[50];
  v.top_inside = true;
  return v;
}

TEST(VolcanoSvg, EveryRegionIsNamedInItsColumnOrInTheKey) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  struct Case {
    const char* name;
    std::vector<std::pair<int64_t, int64_t>> runs;
    std::string state;
    std::size_t in_columns;  // regions named in full above the plot
  };
  for (const Case& c : std::vector<Case>{
           {"two wide", {{0, 49}, {50, 100}}, "Int", 2},
           {"narrow ones between", {{0, 40}, {41, 41}, {42, 43}, {44, 44}, {45, 100}}, "Int", 2},
           {"names too long for any",
            {{0, 30}, {31, 60}, {61, 100}},
            "a & very <long> name of the state",
            0}}) {
    SCOPED_TRACE(c.name);
    const Volcano v = hand_made(c.runs, c.state);
    const json p = read_volcano(volcano_svg("t.csv", v, {}));
    const std::vector<json> full = texts_of(p, "region-label");
    const std::vector<json> numbers = texts_of(p, "region-number");
    EXPECT_EQ(full.size(), c.in_columns);
    std::string key;
    for (const json& t : texts_of(p, "key")) key += t["text"].get<std::string>() + " ";
    std::vector<plot::Box> boxes;
    for (const json& t : numbers) boxes.push_back(text_box(t));
    for (std::size_t r = 0; r < v.regions.size(); ++r) {
      const std::string words = "TDI " + v.regions[r].TDI;
      const bool labelled = std::any_of(full.begin(), full.end(), [&](const json& t) {
        return t["text"].get<std::string>().find(words) != std::string::npos;
      });
      EXPECT_TRUE(labelled || key.find(words + ",") != std::string::npos) << r << ": " << key;
    }
    // A full label's two lines are as wide as the wider; its column holds it.
    for (const json& t : full) {
      const double x = t["x"];
      const std::string words = t["text"];
      const std::size_t cut = words.find("TDTS");
      const double w = std::max(plot::text_width(words.substr(0, cut), 10),
                                plot::text_width(words.substr(cut), 10));
      boxes.push_back({x - w / 2, 0, x + w / 2, 1});
    }
    expect_apart(boxes, "region label");
  }
}

TEST(VolcanoSvg, CrowdedAndMissingValuesGiveAValidPictureWithoutOverlaps) {
  if (!have_python()) GTEST_SKIP() << "python3 is needed to read the SVG back";
  Volcano v = hand_made({{0, 100}}, "I");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int k = 0; k < 30; ++k) {
    VolcanoPoint point;
    point.name = "catalyst number " + std::to_string(k);
    point.x = 4.5 + 0.03 * k;
    point.log10_TOF = 4.0 + 0.02 * (k % 5);
    point.outlier = k % 7 == 0;
    v.points.push_back(point);
  }
  v.points[3].log10_TOF = nan;
  v.log10_TOF[10] = nan;
  v.log10_TOF_band.low[20] = nan;
  v.log10_TOF_band.high[21] = std::numeric_limits<double>::infinity();
  const json p = read_volcano(volcano_svg("t.csv", v, {}));
  EXPECT_EQ(p["nonfinite"], 0);
  EXPECT_EQ(p["markers"].size(), v.points.size() - 1);
  EXPECT_EQ(p["band"].size(), 2u);  // broken where a bound is missing
  std::vector<plot::Box> labels;
  for (const json& l : texts_of(p, "point-label")) labels.push_back(text_box(l));
  expect_apart(labels, "name");
  EXPECT_FALSE(p["leaders"].empty());
  for (const json& l : p["leaders"]) {  // a leader reaches its own name and runs past no other
    const plot::Segment line{l[0], l[1], l[2], l[3]};
    // (A leader may end on its name's edge: the boxes are taken half a
    // pixel larger.)
    EXPECT_EQ(std::count_if(
                  labels.begin(), labels.end(),
                  [&](const plot::Box& b) {
                    return plot::crosses(line, {b.x0 - 0.5, b.y0 - 0.5, b.x1 + 0.5, b.y1 + 0.5});
                  }),
              1)
        << l;
  }
  std::string key;
  for (const json& t : texts_of(p, "key")) key += t["text"].get<std::string>() + " ";
  // The catalyst without a value and those without room are named under the plot.
  EXPECT_NE(key.find("catalyst number 3"), std::string::npos) << key;
}

TEST(VolcanoSvg, OutputFileIsWrittenWholeAndNeverOverTheTable) {
  ScratchDir dir;
  const std::string table = dir.write("s.csv", kTable);
  const std::string svg = dir.file("v.svg");
  const test::Outcome made = kinex_run({"volcano", table, "-o", svg, "--curve", "step"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("Top: log10 TOF"), std::string::npos);  // the text as without -o
  const std::string written = read_file(svg);
  EXPECT_EQ(written.rfind("<?xml", 0), 0u);
  EXPECT_NE(written.find("most endergonic step"), std::string::npos);
  EXPECT_EQ(written.substr(written.size() - 7), "</svg>\n");

  const test::Outcome to_stdout = kinex_run({"volcano", table, "-o", "-"});
  ASSERT_EQ(to_stdout.status, 0) << to_stdout.err;
  EXPECT_EQ(to_stdout.out.rfind("<?xml", 0), 0u);

  std::filesystem::create_directory(dir.file("folder.svg"));
  dir.write("folder.svg/inside", "kept");
  struct Refusal {
    std::vector<std::string> args;
    const char* words;
  };
  for (const Refusal& r : std::vector<Refusal>{
           {{"volcano", table, "-o", table + ".svg", "--curve", "rate"}, "tof (log10 TOF)"},
           {{"volcano", table, "-o", svg, "--range=3:1"}, "FROM below TO"},
           {{"volcano", table, "-o", dir.file("v.eps")}, ".svg, .pdf or .png"},
           {{"volcano", table, "-o", "-", "--json"}, "--json and --csv"},
           {{"volcano", table, "-o", dir.file("no/such/dir/v.svg")}, "v.svg"},
           {{"volcano", table, "-o", dir.file("folder.svg")}, "folder.svg"}}) {
    const test::Outcome o = kinex_run(r.args);
    EXPECT_EQ(o.status, kExitFailed) << r.words;
    EXPECT_NE(o.err.find(r.words), std::string::npos) << o.err;
    EXPECT_TRUE(o.out.empty()) << r.words;
    EXPECT_EQ(read_file(svg), written) << r.words;  // the picture before left as it was
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
  EXPECT_EQ(read_file(dir.file("folder.svg/inside")), "kept");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 3);  // no leftovers

  // The table under another name (a link) is still the table.
  std::filesystem::create_symlink(table, dir.file("link.svg"));
  const test::Outcome over = kinex_run({"volcano", table, "-o", dir.file("link.svg")});
  EXPECT_EQ(over.status, kExitFailed);
  EXPECT_NE(over.err.find("not overwritten"), std::string::npos) << over.err;
  EXPECT_EQ(read_file(table), kTable);
}

}  // namespace
}  // namespace kinex

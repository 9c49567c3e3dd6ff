// The words of the figures and their small marks, read back by a real XML
// parser: titles and axis titles as the user gives them, the overlay's
// columns by the states' roles, the volcano's names off its curve, one
// minus sign in every text, and the span's and probabilities' marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "common/support.h"
#include "figures/plot.h"
#include "figures/plot_geometry.h"
#include "figures/plot_style.h"
#include "figures/plot_text.h"
#include "figures/text_box.h"
#include "figures/volcano_svg.h"
#include "input/table.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using nlohmann::json;

// Prints, as one JSON object: the document's title and description; every
// text with its id, class, enclosing group, position, size and anchor;
// the viewBox's width;
// every line with its id, class and group; the volcano's curve.
constexpr const char* kWordsReader = R"PY(
import json, re, sys, xml.etree.ElementTree as ET
NS = '{http://www.w3.org/2000/svg}'
root = ET.parse(sys.argv[1]).getroot()
def text(e): return ''.join(e.itertext())
p = {'title': text(root.find(NS + 'title')), 'desc': text(root.find(NS + 'desc')),
     'width': float(root.get('viewBox').split()[2]), 'texts': [], 'lines': [], 'curve': []}
def walk(e, group, size):
    size = float(e.get('font-size', size))
    if e.tag == NS + 'g': group = e.get('id', group)
    if e.tag == NS + 'text':
        p['texts'].append({'id': e.get('id', ''), 'class': e.get('class', ''), 'group': group,
                           'text': text(e), 'x': float(e.get('x', 0)), 'y': float(e.get('y', 0)),
                           'size': size, 'anchor': e.get('text-anchor', 'start'),
                           'upright': 'rotate' in e.get('transform', '')})
        return
    if e.tag == NS + 'line':
        p['lines'].append({'id': e.get('id', ''), 'class': e.get('class', ''), 'group': group,
                           'at': [float(e.get(k)) for k in ('x1', 'y1', 'x2', 'y2')]})
    if e.tag == NS + 'path' and e.get('id') == 'curve':
        v = [float(x) for x in re.findall(r'-?[0-9.]+', e.get('d'))]
        p['curve'] = list(zip(v[0::2], v[1::2]))
    for c in e: walk(c, group, size)
walk(root, '', 16.0)
print(json.dumps(p))
)PY";

json read_words(const std::string& svg) {
  return cycle_files::python_on_picture(kWordsReader, svg);
}

std::vector<json> where(const json& p, const char* kind,
                        const std::function<bool(const json&)>& f) {
  std::vector<json> found;
  for (const json& e : p[kind])
    if (f(e)) found.push_back(e);
  return found;
}

bool has_text(const json& p, const std::string& words) {
  return !where(p, "texts", [&](const json& t) { return t["text"] == words; }).empty();
}

using test_figures::text_box;

Run cycle_of(const char* example) {
  return cycle_files::evaluated_text(test::read_file(std::string(KINEX_EXAMPLES "/") + example));
}

Volcano volcano_from_file(const std::string& path) {
  std::vector<TableRow> rows;
  std::string error;
  EXPECT_TRUE(read_table(path, 298.15, rows, error)) << error;
  VolcanoOptions options;
  options.samples = 200;
  Volcano v;
  EXPECT_TRUE(build_volcano(rows, options, v, error)) << error;
  return v;
}

const std::string kHostile = "<Ni & Pd> \"2\" 'b' \u03b4E";

TEST(FigureWords, TitlesAndAxisTitlesAreTheUsersEscaped) {
  kinex::Run three = cycle_of("three_step.txt"), five = cycle_of("five_step.txt");
  three.input_name = "runs/old/three_step.txt";
  five.input_name = "five.step.txt";
  const Volcano volcano = volcano_from_file(KINEX_EXAMPLES "/volcano.csv");
  PlotOptions asked;
  asked.has_title = true;
  asked.title = kHostile + " title";
  asked.xlabel = kHostile + " x";
  asked.ylabel = kHostile + " y";
  VolcanoPicture volcano_asked;
  volcano_asked.has_title = true;
  volcano_asked.title = asked.title;
  volcano_asked.xlabel = asked.xlabel;
  volcano_asked.ylabel = asked.ylabel;
  PlotOptions labelled;
  labelled.labels = {kHostile, ""};  // the second keeps its file's stem
  const struct {
    const char* name;
    std::string svg;
    std::vector<std::string> shown, absent;
  } cases[] = {
      {"profile",
       render_profile_svg(three, three.input_name, asked),
       {asked.title, asked.xlabel, asked.ylabel},
       {"Gibbs energy (kcal/mol)"}},
      {"overlay",
       render_profiles_svg({&three, &five}, asked),
       {asked.title, asked.xlabel, asked.ylabel, "three_step", "five.step"},
       {"Reaction coordinate \u2192"}},
      {"overlay, labels",
       render_profiles_svg({&three, &five}, labelled),
       {kHostile, "five.step", "Reaction coordinate \u2192"},
       {"three_step"}},
      {"volcano",
       volcano_svg("/some/folder/volcano.csv", volcano, volcano_asked),
       {asked.title, asked.xlabel, asked.ylabel},
       {"Volcano: volcano.csv"}},
      {"volcano, defaults",
       volcano_svg("/some/folder/volcano.csv", volcano, {}),
       {"Volcano: volcano.csv", volcano.fits.descriptor + " (kcal/mol)"},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const json p = read_words(c.svg);
    for (const std::string& words : c.shown) EXPECT_TRUE(has_text(p, words)) << words;
    for (const std::string& words : c.absent) EXPECT_FALSE(has_text(p, words)) << words;
    // No separator or byte replaced in the description.
    EXPECT_EQ(p["desc"].get<std::string>().find("\ufffd"), std::string::npos) << p["desc"];
  }
}

// A three-step cycle drawn with a four-step one: the intermediates and
// transition states in the columns of their steps, both final states in
// the last column, under its label.
TEST(FigureWords, OverlaidCyclesStandInTheColumnsOfTheirStatesRoles) {
  kinex::Run three = cycle_of("three_step.txt");
  kinex::Run four = cycle_files::evaluated_text(cycle_files::generated_cycle(4, 8.0, 7, 0.1));
  const json p = read_words(render_profiles_svg({&three, &four}, {}));
  std::vector<std::vector<double>> middles(2);
  for (const json& l : p["lines"]) {
    const std::string cls = l["class"], group = l["group"];
    if (cls.rfind("level", 0) != 0) continue;
    middles[group == "cycle-1" ? 0 : 1].push_back(
        (l["at"][0].get<double>() + l["at"][2].get<double>()) / 2);
  }
  ASSERT_EQ(middles[0].size(), 7u);
  ASSERT_EQ(middles[1].size(), 9u);
  for (std::size_t s = 0; s + 1 < 7; ++s) EXPECT_NEAR(middles[0][s], middles[1][s], 0.01) << s;
  EXPECT_NEAR(middles[0].back(), middles[1].back(), 0.01);
  const auto columns = where(p, "texts", [](const json& t) { return t["class"] == "column"; });
  ASSERT_FALSE(columns.empty());
  EXPECT_NEAR(columns.back()["x"].get<double>(), middles[1].back(), 0.01);
  EXPECT_GT(middles[0].back(), middles[0][5] + 1.5 * (middles[0][5] - middles[0][4]));
}

TEST(FigureWords, VolcanoNamesKeepOffTheCurve) {
  const Volcano volcano = volcano_from_file(KINEX_EXAMPLES "/volcano.csv");
  const json p = read_words(volcano_svg("volcano.csv", volcano, {}));
  ASSERT_GE(p["curve"].size(), 2u);
  const auto names = where(p, "texts", [](const json& t) { return t["class"] == "point-label"; });
  EXPECT_FALSE(names.empty());
  for (const json& name : names) {
    const plot::Box b = text_box(name);
    for (std::size_t k = 1; k < p["curve"].size(); ++k) {
      const plot::Segment s{p["curve"][k - 1][0], p["curve"][k - 1][1], p["curve"][k][0],
                            p["curve"][k][1]};
      EXPECT_FALSE(plot::crosses(s, b)) << name["text"] << " over the curve at " << k;
    }
  }
}

// The hyphens of "-6.96", "(-3 to" and "1e-05": a number's sign written
// with a hyphen-minus instead of U+2212.
std::vector<std::string> hyphen_signs(const std::string& words) {
  std::vector<std::string> found;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto alnum = [&](char c) {
    return digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  for (std::size_t k = 0; k + 1 < words.size(); ++k) {
    if (words[k] != '-' || !(digit(words[k + 1]) || words[k + 1] == '.')) continue;
    const bool exponent = k >= 2 && words[k - 1] == 'e' && digit(words[k - 2]);
    if (exponent || k == 0 || !alnum(words[k - 1])) found.push_back(words);
  }
  return found;
}

TEST(FigureWords, EveryNegativeNumberHasATrueMinusSign) {
  const Volcano volcano = volcano_from_file(KINEX_EXAMPLES "/volcano.csv");
  const kinex::Run three = cycle_of("three_step.txt"), switched = cycle_of("tdts_switch.txt");
  const kinex::Run low = cycle_files::evaluated_text(cycle_files::generated_cycle(5, 9.0, 3, 0.1));
  PlotOptions ranged;
  ranged.has_y_range = true;
  ranged.y_from = -30;
  ranged.y_to = 30;
  ranged.sigmas.assign(7, 1.5);
  ranged.sigma_samples = 500;
  const std::vector<std::string> svgs = {
      render_profile_svg(three, "three.txt", ranged), render_profile_svg(low, "low.txt"),
      render_profiles_svg({&three, &switched, &low}), volcano_svg("volcano.csv", volcano, {})};
  for (std::size_t k = 0; k < svgs.size(); ++k) {
    const json picture = read_words(svgs[k]);  // alive while its texts are read
    for (const json& t : picture["texts"])
      EXPECT_TRUE(hyphen_signs(t["text"]).empty()) << "picture " << k << ": " << t["text"];
  }
}

// The effective span's arrow ends in its heads alone; no probability
// label lies on the TDI's dotted guide; every tick of a range asked for
// is labelled; the notes keep off the right edge.
TEST(FigureWords, SmallMarksStayWhereTheyBelong) {
  for (const char* example : {"three_step.txt", "five_step.txt", "tdts_switch.txt"}) {
    SCOPED_TRACE(example);
    const kinex::Run run = cycle_of(example);
    PlotOptions options;
    options.sigmas.assign(static_cast<std::size_t>(2 * run.cycle.n + 1), 2.0);
    options.sigma_samples = 2000;
    options.has_y_range = true;
    options.y_from = -30;
    options.y_to = 30;
    const json p = read_words(render_profile_svg(run, example, options));
    for (const json& l :
         where(p, "lines", [](const json& l) { return l["group"] == "effective-span"; })) {
      EXPECT_EQ(l["id"], "effective-span-arrow") << l.dump();
    }
    const auto guides = where(p, "lines", [](const json& l) { return l["group"] == "span-guide"; });
    for (const json& t : where(p, "texts", [](const json& t) {
           return t["class"] == "probability" && !t["upright"].get<bool>();
         })) {
      const plot::Box b = text_box(t);
      for (const json& g : guides) {
        const plot::Segment s{g["at"][0], g["at"][1], g["at"][2], g["at"][3]};
        EXPECT_FALSE(plot::crosses(s, b)) << t["text"] << " on the guide " << g.dump();
      }
    }
    const auto ticks = where(p, "lines", [](const json& l) { return l["class"] == "tick"; });
    const auto tick_labels =
        where(p, "texts", [](const json& t) { return t["class"] == "tick-label"; });
    EXPECT_EQ(ticks.size(), tick_labels.size());
    EXPECT_TRUE(has_text(p, "30")) << "the top of the range";
    for (const json& t : where(p, "texts", [](const json& t) { return t["group"] == "notes"; }))
      EXPECT_LE(text_box(t).x1, p["width"].get<double>() - plot::kMargin) << t["text"];
  }
}

}  // namespace
}  // namespace kinex

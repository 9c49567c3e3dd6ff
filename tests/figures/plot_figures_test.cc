// Figures for a paper, read back by a real XML parser: every text inside the
// picture and no two texts on top of each other, whatever the cycle, the
// number of cycles, the font size, the width and the title, measured with
// the font they are drawn in; rsvg-convert renders them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "figures/map_svg.h"
#include "figures/plot.h"
#include "figures/plot_overlay.h"
#include "figures/plot_svg.h"
#include "figures/volcano_svg.h"
#include "input/table.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using cycle_files::kinex_run;
using nlohmann::json;

// The box of every text, from its position, anchor, rotation, font size and
// weight (inherited from the groups too) and the advance widths of the font
// the pictures are drawn in, DejaVu Sans, read from the font itself:
// {"width", "height", "boxes": [[x0, y0, x1, y1, text], ...]}.
constexpr const char* kBoxes = R"PY(
import json, sys, re, xml.etree.ElementTree as ET
from fontTools.ttLib import TTFont
NS = '{http://www.w3.org/2000/svg}'
FACES = {bold: TTFont('/usr/share/fonts/truetype/dejavu/DejaVuSans%s.ttf' % ('-Bold' if bold else ''))
         for bold in (False, True)}
ADVANCES = {bold: (f.getBestCmap(), f['hmtx'], f['head'].unitsPerEm) for bold, f in FACES.items()}
def width(s, size, bold):
    cmap, hmtx, em = ADVANCES[bold]
    return sum(hmtx[cmap[ord(c)]][0] if ord(c) in cmap else em for c in s) * size / em
root = ET.parse(sys.argv[1]).getroot()
vb = [float(v) for v in root.get('viewBox').split()]
boxes = []
def walk(e, size, bold):
    size = float(e.get('font-size', size))
    bold = bold or e.get('font-weight') == 'bold'
    if e.tag == NS + 'text':
        # A tspan with its own x starts a line of its own (its y or dy below).
        lines, rows = [width(e.text or '', size, bold)], 0.0
        for t in e:
            if t.get('x') is not None:
                lines.append(0.0)
                rows = (float(t.get('y')) - float(e.get('y', 0)) if t.get('y') is not None
                        else rows + float(t.get('dy', 0)))
            lines[-1] += width(t.text or '', float(t.get('font-size', size)), bold)
            lines[-1] += width(t.tail or '', size, bold)
        w = max(lines)
        anchor = {'start': 0.0, 'middle': 0.5, 'end': 1.0}[e.get('text-anchor', 'start')]
        m = re.match(r'translate\(([-\d.]+),([-\d.]+)\) rotate\(-90\)', e.get('transform', ''))
        if m:
            x, y = float(m.group(1)), float(m.group(2))
            box = [x - 0.94 * size, y - (1 - anchor) * w, x + 0.26 * size, y + anchor * w]
        else:
            x, y = float(e.get('x')), float(e.get('y'))
            box = [x - anchor * w, y - 0.94 * size, x + (1 - anchor) * w, y + rows + 0.26 * size]
        boxes.append(box + [''.join(e.itertext())])
        return
    for c in e: walk(c, size, bold)
walk(root, 16.0, False)
print(json.dumps({'width': vb[2], 'height': vb[3], 'boxes': boxes}))
)PY";

bool have(const char* program) {
  return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

json boxes_of(const std::string& svg) { return cycle_files::python_on_picture(kBoxes, svg); }

// Every text inside the canvas, no two overlapping (by more than half a
// pixel either way, for rounding).
void expect_clear(const std::string& svg) {
  const json p = boxes_of(svg);
  if (!p.contains("boxes")) return;
  const double w = p["width"], h = p["height"];
  const json& b = p["boxes"];
  for (std::size_t i = 0; i < b.size(); ++i) {
    const double x0 = b[i][0], y0 = b[i][1], x1 = b[i][2], y1 = b[i][3];
    EXPECT_TRUE(x0 >= 0 && y0 >= 0 && x1 <= w && y1 <= h)
        << "outside " << w << "x" << h << ": " << b[i].dump();
    for (std::size_t j = i + 1; j < b.size(); ++j) {
      const double ox = std::min(x1, b[j][2].get<double>()) - std::max(x0, b[j][0].get<double>());
      const double oy = std::min(y1, b[j][3].get<double>()) - std::max(y0, b[j][1].get<double>());
      EXPECT_FALSE(ox > 0.5 && oy > 0.5) << "overlap: " << b[i].dump() << " " << b[j].dump();
    }
  }
}

struct Case {
  const char* name;
  PlotOptions options;
};

std::vector<Case> looks() {
  std::vector<Case> out = {{"default", {}}};
  out.push_back({"font 8", {}});
  out.back().options.font_size = 8;
  out.push_back({"font 20", {}});
  out.back().options.font_size = 20;
  out.push_back({"width 500", {}});
  out.back().options.width = 500;
  out.push_back({"width 1600, height 900", {}});
  out.back().options.width = 1600;
  out.back().options.height = 900;
  for (const char* paper : {"column", "page", "60x80mm"}) {
    PaperSize size;
    std::string error;
    EXPECT_TRUE(parse_paper_size(paper, size, error)) << error;
    out.push_back({paper, {}});
    out.back().options.width = size.width;
    out.back().options.height = size.height;
    out.back().options.font_size = size.font_size;
  }
  out.push_back({"y range cutting states off", {}});
  out.back().options.has_y_range = true;
  out.back().options.y_from = -3;
  out.back().options.y_to = 8;
  return out;
}

TEST(PlotFigures, OneCycleOfOneToFortyStepsKeepsItsTextsApart) {
  if (!have("/usr/bin/python3")) GTEST_SKIP() << "python3 reads the SVG back";
  unsigned seed = 40;
  for (int n : {1, 2, 3, 8, 21, 40}) {
    const kinex::Run run =
        cycle_files::evaluated_text(cycle_files::generated_cycle(n, 9.0, ++seed, 0.1));
    for (const Case& look : looks()) {
      SCOPED_TRACE(std::to_string(n) + " steps, " + look.name);
      const std::string svg = render_profile_svg(run, "cycle.txt", look.options);
      expect_clear(svg);
      if (look.options.width == 0 && look.options.font_size == 0 && n >= 21) {
        // A page's width at most, however many steps.
        EXPECT_NE(svg.find(" width=\"1200\""), std::string::npos) << svg.substr(0, 300);
      }
      if (look.options.has_y_range && n >= 3) {
        EXPECT_NE(svg.find("Outside the energy range drawn"), std::string::npos);
      }
    }
  }
}

TEST(PlotFigures, SeveralCyclesKeepTheirTextsApartAndEachItsLook) {
  if (!have("/usr/bin/python3")) GTEST_SKIP() << "python3 reads the SVG back";
  std::vector<kinex::Run> runs;
  for (unsigned k = 0; k < 8; ++k) {
    runs.push_back(cycle_files::evaluated_text(
        cycle_files::generated_cycle(2 + static_cast<int>(k % 4), 8.0, 90 + k, 0.1)));
    runs.back().input_name =
        k == 5 ? "/data/screening/2026/catalysts/ni_bipyridine_with_long_ligand_name.txt"
               : "cat" + std::to_string(k + 1) + ".txt";
  }
  for (std::size_t count : {2u, 3u, 8u}) {
    std::vector<const kinex::Run*> some;
    for (std::size_t k = 0; k < count; ++k) some.push_back(&runs[k]);
    for (const Case& look : looks()) {
      SCOPED_TRACE(std::to_string(count) + " cycles, " + look.name);
      const std::string svg = render_profiles_svg(some, look.options);
      expect_clear(svg);
      for (std::size_t k = 1; k <= count; ++k)
        EXPECT_NE(svg.find("id=\"cycle-" + std::to_string(k) + "\""), std::string::npos);
    }
  }
  // Colours, dashes and markers: no two of the first eight cycles alike in
  // any of them, so that greyscale and colour-blind readers tell them apart.
  for (std::size_t a = 0; a < 8; ++a) {
    for (std::size_t b = a + 1; b < 8; ++b) {
      EXPECT_STRNE(plot::look(a).colour, plot::look(b).colour);
      EXPECT_STRNE(plot::look(a).dash, plot::look(b).dash);
      EXPECT_NE(plot::look(a).marker, plot::look(b).marker);
    }
  }
}

TEST(PlotFigures, VolcanoesKeepTheirTextsApartAtEverySize) {
  if (!have("/usr/bin/python3")) GTEST_SKIP() << "python3 reads the SVG back";
  std::vector<TableRow> rows;
  std::string error;
  ASSERT_TRUE(read_table(KINEX_EXAMPLES "/volcano.csv", 298.15, rows, error)) << error;
  VolcanoOptions options;
  options.samples = 100;
  Volcano volcano;
  ASSERT_TRUE(build_volcano(rows, options, volcano, error)) << error;
  for (const Case& look : looks()) {
    SCOPED_TRACE(look.name);
    VolcanoPicture picture;
    picture.width = look.options.width;
    picture.height = look.options.height;
    picture.font_size = look.options.font_size;
    for (VolcanoCurve curve : {VolcanoCurve::log10_TOF, VolcanoCurve::endergonic_step}) {
      picture.curve = curve;
      const std::string svg = volcano_svg("volcano.csv", volcano, picture);
      expect_clear(svg);
      if (picture.width > 0) {  // as wide as asked, on paper
        EXPECT_NE(svg.find(" width=\"" + plot::num(picture.width) + "\""), std::string::npos)
            << svg.substr(0, 300);
      }
    }
  }
}

TEST(PlotFigures, MapsKeepTheirTextsApartAtEverySizeAndReadInGrey) {
  if (!have("/usr/bin/python3")) GTEST_SKIP() << "python3 reads the SVG back";
  std::vector<TableRow> rows;
  std::string error;
  ASSERT_TRUE(read_table(KINEX_EXAMPLES "/map.csv", 298.15, rows, error)) << error;
  // Each map with its y axis's title and its colour bar's.
  struct Mapped {
    MapOptions options;
    const char* y_title;
    const char* bar_title;
  };
  MapOptions two, temperature, span, long_titles;
  two.x = temperature.x = "Descriptor dG(OA)";
  two.y = "Descriptor dG(RE)";
  temperature.T_from = 250.0, temperature.T_to = 450.0;
  span = two;
  span.quantity = MapQuantity::energetic_span;
  long_titles = temperature;
  long_titles.quantity = MapQuantity::energetic_span;
  const std::string long_title(300, 'W');
  const Mapped maps[] = {
      {two, ">Descriptor dG(RE) (kcal/mol)<", "log\u2081\u2080(TOF / s\u207b\u00b9)"},
      {temperature, ">T (K)<", "log\u2081\u2080(TOF / s\u207b\u00b9)"},
      {span, ">Descriptor dG(RE) (kcal/mol)<", ">energetic span (kcal/mol)<"},
      {long_titles, "WWWW</text>", ">energetic span (kcal/mol)<"}};
  for (const Mapped& mapped : maps) {
    const MapOptions* options = &mapped.options;
    Map map;
    ASSERT_TRUE(features::build_map(rows, *options, map, error)) << error;
    for (const Case& look : looks()) {
      SCOPED_TRACE(options->y + ", " + quantity_name(options->quantity) + ", " + look.name);
      VolcanoPicture picture;
      picture.width = look.options.width;
      picture.height = look.options.height;
      picture.font_size = look.options.font_size;
      if (options == &maps[3].options) picture.xlabel = picture.ylabel = long_title;
      const std::string svg = map_svg("map.csv", map, picture);
      expect_clear(svg);
      EXPECT_NE(svg.find("class=\"region-label\""), std::string::npos);
      EXPECT_NE(svg.find("id=\"region-boundaries\""), std::string::npos);
      EXPECT_NE(svg.find(mapped.y_title), std::string::npos);
      EXPECT_NE(svg.find(mapped.bar_title), std::string::npos);
      if (picture.width > 0) {
        EXPECT_NE(svg.find(" width=\"" + plot::num(picture.width) + "\""), std::string::npos);
      }
    }
  }
  // The colour scale grows lighter all the way (Rec. 709 luminance, to
  // the rounding of a channel), from near black to near white, so that it
  // reads in grey.
  const auto luminance = [](double t) {
    const auto [r, g, b] = map_colour(t);
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
  };
  for (int k = 1; k <= 256; ++k) {
    EXPECT_GT(luminance(k / 256.0), luminance((k - 1) / 256.0) - 0.5) << k;
    if (k % 32 == 0) {
      EXPECT_GT(luminance(k / 256.0), luminance((k - 32) / 256.0) + 10.0) << k;
    }
  }
  EXPECT_LT(luminance(0.0), 30.0);
  EXPECT_GT(luminance(1.0), 200.0);
}

TEST(PlotFigures, LongAndHostileTitlesWrapOrShortenInsideThePicture) {
  if (!have("/usr/bin/python3")) GTEST_SKIP() << "python3 reads the SVG back";
  const kinex::Run run =
      cycle_files::evaluated_text(test::read_file(KINEX_EXAMPLES "/three_step.txt"));
  const std::string forty_five(45, 'n');
  const char* titles[] = {
      "<svg> & \"quotes\" 'apostrophes' ]]> <!-- not a comment -->",
      "Ni\u2013Pd \u00fcber \u03b4E \u2192 \u4e2d\u6587 \U0001F600 and \xff\xfe bytes",
      "A title long enough to need a second line and then a third one, which the picture "
      "shortens with an ellipsis rather than letting it run off the edge of the page",
      "no_blanks_at_all_in_this_very_long_title_that_cannot_be_broken_anywhere_at_all_ever"};
  for (const char* title : titles) {
    for (const Case& look : looks()) {
      SCOPED_TRACE(std::string(title) + ", " + look.name);
      PlotOptions options = look.options;
      options.has_title = true;
      options.title = title;
      expect_clear(render_profile_svg(run, "cycle.txt", options));
    }
  }
  // A long file name in the default title.
  expect_clear(render_profile_svg(run, "/home/someone/" + forty_five + ".txt"));
  PlotOptions none;
  none.no_title = true;
  EXPECT_EQ(render_profile_svg(run, "cycle.txt", none).find("id=\"title\""), std::string::npos);
}

// The run's names label the states, escaped, shortened when long, the
// final state's own name or the first intermediate's with a prime; names
// that do not fit the cycle give the defaults.
TEST(PlotFigures, StatesBearTheRunsNames) {
  if (!have("/usr/bin/python3")) GTEST_SKIP() << "python3 reads the SVG back";
  kinex::Run run = cycle_files::evaluated_text(test::read_file(KINEX_EXAMPLES "/three_step.txt"));
  const std::string long_name = "Ni(bipy)(OAc)-with-a-very-long-ligand-name";
  run.names.intermediate = {"Ni-OAc", "<I&1>", long_name};
  run.names.transition = {"", "TS-OA", "TS\u2013\u03b2", "\"TS3\""};
  const struct {
    const char* final_state;
    std::vector<std::string> expected;
  } cases[] = {{"Product",
                {"Ni-OAc", "TS-OA", "<I&1>", "TS\u2013\u03b2", "Ni(bipy)(OAc)-with-a-ve\u2026",
                 "\"TS3\"", "Product"}},
               {"", {"Ni-OAc", "TS-OA", "<I&1>"}}};
  for (const auto& c : cases) {
    run.names.final_state = c.final_state;
    for (const Case& look : looks()) {
      SCOPED_TRACE(std::string(c.final_state) + ", " + look.name);
      const std::string svg = render_profile_svg(run, "cycle.txt", look.options);
      expect_clear(svg);
      std::vector<std::string> texts;
      const json boxes = boxes_of(svg);
      for (const json& b : boxes.at("boxes")) texts.push_back(b[4]);
      for (const std::string& name : c.expected) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), name), texts.end()) << name;
      }
      if (*c.final_state == '\0') {
        EXPECT_NE(std::find(texts.begin(), texts.end(), "Ni-OAc\u2032"), texts.end());
      }
    }
  }
  run.names.transition.pop_back();  // no longer a cycle of three steps
  const std::string svg = render_profile_svg(run, "cycle.txt");
  EXPECT_NE(svg.find(">TS3<"), std::string::npos);
  EXPECT_EQ(svg.find("Ni-OAc"), std::string::npos);
}

// Standard output, and the y range.
TEST(PlotFigures, StandardOutputGetsSvgAndTheYRangeIsChecked) {
  test::ScratchDir dir;
  const std::string input =
      dir.write("cycle.txt", test::read_file(KINEX_EXAMPLES "/three_step.txt"));
  const test::Outcome out = kinex_run({"plot", input, "-o", "-"});
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.out.rfind("<?xml", 0), 0u);
  // Several files, a y range, and a y range that is not one.
  EXPECT_EQ(kinex_run({"plot", input, input, "--y-range=-5:10"}).status, 0);
  EXPECT_EQ(kinex_run({"plot", input, "--y-range", "10:5"}).status, 2);
  EXPECT_EQ(kinex_run({"plot", input, "--y-range", "x"}).status, 2);
}

TEST(PlotFigures, RsvgConvertRendersThem) {
  if (!have("rsvg-convert")) GTEST_SKIP() << "rsvg-convert is not installed";
  const kinex::Run run = cycle_files::evaluated_text(cycle_files::generated_cycle(40, 9.0, 5, 0.1));
  const kinex::Run other =
      cycle_files::evaluated_text(test::read_file(KINEX_EXAMPLES "/three_step.txt"));
  test::ScratchDir dir;
  for (const std::string& svg :
       {render_profile_svg(run, "forty.txt"), render_profiles_svg({&run, &other})}) {
    const std::string file = dir.write("p.svg", svg);
    EXPECT_EQ(std::system(("rsvg-convert -o " + dir.file("p.png") + " " + file).c_str()), 0);
  }
}

}  // namespace
}  // namespace kinex

// Placement in the energy-profile picture: labels clear of each other and
// of the bars, the TDTS's labels clear of the span arrow, the axis ticks,
// and the wrapped notes.
#include "figures/plot_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "common/cycle_files.h"
#include "figures/plot_scene.h"
#include "figures/plot_text.h"

namespace kinex::plot {
namespace {

struct Picture {
  Scene scene;
  Layout layout;
  SpanDrawing span;
};

Picture lay_out_cycle(const std::string& input, const LayoutOptions& options = {}) {
  Picture p{make_scene(cycle_files::evaluated_text(input), "cycle.txt"), {}, {}};
  p.layout = lay_out(p.scene.states, p.scene.span, p.scene.texts, options);
  p.span = place_span(p.scene.states, p.layout, p.scene.span, p.scene.texts);
  return p;
}

// The box a state's bar covers.
Box bar_box(const State& s, const Layout& L) {
  const double half = thickness(s.xtof) / 2;
  return {s.x - L.bar / 2, s.y - half, s.x + L.bar / 2, s.y + half};
}

// Cycles small and large (upright labels from about 25 steps on), narrow and
// wide energy ranges, the span wrapping into the next turn or not.
std::vector<std::string> sample_cycles() {
  std::vector<std::string> inputs = {test::read_file(KINEX_EXAMPLES "/three_step.txt"),
                                     test::read_file(KINEX_EXAMPLES "/five_step.txt"),
                                     test::read_file(KINEX_EXAMPLES "/tdts_switch.txt"),
                                     "298.15\n2\n0 0 x x\n0 0 x x\n0\n",
                                     // No positive driving force: the warning.
                                     "298.15\n3\n0 15 x x\n-2 18 0.01 x\n3 12 x x\n4\n"};
  unsigned seed = 7;
  for (int n : {1, 2, 3, 5, 8, 13, 21, 34, 60}) {
    for (double scale : {0.4, 6.0, 40.0, 900.0, 3e6})
      inputs.push_back(cycle_files::generated_cycle(n, scale, ++seed, 0.05));
  }
  return inputs;
}

// No label covers another label or any bar, in its own column or the next,
// and every bar with its labels stays inside the plot area.
TEST(PlotLayout, LabelsNeverOverlapLabelsOrBars) {
  for (const std::string& input : sample_cycles()) {
    SCOPED_TRACE(input);
    const Picture p = lay_out_cycle(input);
    const Layout& L = p.layout;
    std::vector<Box> labels, bars;
    for (const State& s : p.scene.states) {
      ASSERT_EQ(s.label_boxes.size(), s.above.size() + s.below.size());
      labels.insert(labels.end(), s.label_boxes.begin(), s.label_boxes.end());
      if (!finite(s)) continue;
      bars.push_back(bar_box(s, L));
      EXPECT_GT(bars.back().x0, L.axis_x) << s.id;
      EXPECT_LE(bars.back().x1, L.width - kMargin) << s.id;
      for (const Box& b : s.label_boxes) {
        EXPECT_GE(b.y0, L.top - 1e-6) << s.id;
        EXPECT_LE(b.y1, L.bottom + 1e-6) << s.id;
      }
    }
    for (std::size_t a = 0; a < labels.size(); ++a) {
      for (std::size_t b = a + 1; b < labels.size(); ++b) {
        ASSERT_EQ(overlap(labels[a], labels[b]), 0.0) << "labels " << a << " and " << b;
      }
      for (const Box& bar : bars) ASSERT_EQ(overlap(labels[a], bar), 0.0) << "label " << a;
    }
  }
}

// The TDTS carries all its labels on the side away from the TDI's level, so
// the span arrow, which runs from that level to the TDTS's bar, crosses
// none of them; with a TDI higher than the TDTS they go below the bar.
TEST(PlotLayout, TdtsLabelsStayOffTheSpanArrow) {
  const struct {
    const char* what;
    std::string input;
    bool below;
  } cases[] = {
      {"TDTS above the TDI", test::read_file(KINEX_EXAMPLES "/three_step.txt"), false},
      {"TDTS in the next turn", test::read_file(KINEX_EXAMPLES "/five_step.txt"), false},
      {"TDTS below the TDI", "298.15\n2\n0.0 -20 x x\n-5 -22 x x\n-5.0\n", true},
      {"TDTS level with the TDI", "298.15\n2\n0 0 x x\n0 0 x x\n0\n", false},
      {"many upright columns", cycle_files::generated_cycle(40, 30.0, 11, 0.05), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Picture p = lay_out_cycle(c.input);
    ASSERT_TRUE(p.scene.span.known && p.span.drawn);
    const State& tdts = p.scene.states[p.scene.span.tdts];
    const State& tdi = p.scene.states[p.scene.span.tdi];
    EXPECT_EQ(tdi.energy > tdts.energy, c.below) << "the case does not test what it says";
    const std::vector<Label>& side = c.below ? tdts.below : tdts.above;
    const std::vector<Label>& other = c.below ? tdts.above : tdts.below;
    EXPECT_TRUE(other.empty());
    ASSERT_FALSE(side.empty());
    EXPECT_EQ(side.back().text, "TDTS");
    const Segment arrow{p.span.x, p.span.from, p.span.x, p.span.to};
    for (const Box& b : tdts.label_boxes) {
      EXPECT_FALSE(crosses(arrow, b)) << b.x0 << "," << b.y0 << " " << b.x1 << "," << b.y1;
      if (c.below) {
        EXPECT_GT(b.y0, tdts.y);
      } else {
        EXPECT_LT(b.y1, tdts.y);
      }
    }
  }
}

// The figures line and the warning's lines fit the canvas, and the warning
// moves the legend and the plot down by its lines, so that it keeps the
// figures' distance to the legend and nothing under it moves up into it.
TEST(PlotLayout, HeadTextsFitAndTheWarningPushesTheRestDown) {
  bool warned = false;
  for (const std::string& input : sample_cycles()) {
    SCOPED_TRACE(input);
    const Picture p = lay_out_cycle(input);
    const Layout& L = p.layout;
    EXPECT_LE(width(p.scene.texts.figures, kFiguresSize), L.width - 2 * kMargin);
    EXPECT_EQ(L.warning_lines.empty(), p.scene.texts.warning.empty());
    for (const std::string& line : L.warning_lines) {
      EXPECT_LE(text_width(line, kWarningSize, true), L.width - 2 * kMargin) << line;
    }
    const double lines = static_cast<double>(L.warning_lines.size());
    EXPECT_DOUBLE_EQ(L.legend_y, kLegendMiddle + lines * kWarningLine);
    EXPECT_DOUBLE_EQ(L.top, kPlotTop + lines * kWarningLine);
    warned |= lines > 0;
  }
  EXPECT_TRUE(warned) << "no sample cycle has the warning";
}

// The effective span's arrow and level mark run through no label and stay
// inside the plot area; its value keeps off the span's value and, where the
// labels are flat, off the labels (among upright columns it takes, like the
// span's value, the place that covers the least).
TEST(PlotLayout, EffectiveSpanKeepsOffTheLabels) {
  int drawn = 0;
  for (const std::string& input : sample_cycles()) {
    SCOPED_TRACE(input);
    const Picture p = lay_out_cycle(input);
    const Layout& L = p.layout;
    const SpanDrawing& d = p.span;
    // Not among crowded or narrowed columns, where the note says so instead.
    EXPECT_EQ(d.effective_drawn,
              p.span.drawn && p.scene.span.effective_shown && !L.dense && L.pitch >= 30.0);
    if (!d.effective_drawn) continue;
    ++drawn;
    EXPECT_NE(d.effective_x, d.x);
    EXPECT_GE(std::min(d.from, d.effective_to), L.top - 1e-6);
    EXPECT_LE(std::max(d.from, d.effective_to), L.bottom + 1e-6);
    const Box arrow{d.effective_x - kArrowHeadHalfWidth, std::min(d.from, d.effective_to),
                    d.effective_x + kArrowHeadHalfWidth, std::max(d.from, d.effective_to)};
    const double mark_end = d.effective_x + d.effective_side * kEffectiveLevelMark;
    const Box mark{std::min(d.effective_x, mark_end), d.effective_to - 1,
                   std::max(d.effective_x, mark_end), d.effective_to + 1};
    const Box& value = d.effective_label;
    EXPECT_GE(value.x0, L.axis_x);
    EXPECT_LE(value.x1, L.width);
    EXPECT_EQ(overlap(value, d.label), 0.0);
    for (const State& s : p.scene.states) {
      for (const Box& b : s.label_boxes) {
        EXPECT_EQ(overlap(arrow, b), 0.0) << s.id;
        EXPECT_EQ(overlap(mark, b), 0.0) << s.id;
        if (!L.upright) {
          EXPECT_EQ(overlap(value, b), 0.0) << s.id;
        }
      }
    }
  }
  EXPECT_GE(drawn, 3) << "too few sample cycles move the span";
}

// Ticks step by 1, 2 or 5 times a power of ten, evenly, inside the plot
// area, at the height of their value, with texts that tell them apart.
TEST(PlotLayout, TicksAreOneTwoOrFiveTimesAPowerOfTen) {
  for (const std::string& input : sample_cycles()) {
    SCOPED_TRACE(input);
    const Picture p = lay_out_cycle(input);
    const Layout& L = p.layout;
    const std::vector<Tick> ticks = make_ticks(L);
    ASSERT_GE(ticks.size(), 3u);
    EXPECT_LE(ticks.size(), 2 + static_cast<std::size_t>((L.bottom - L.top) / kTickSpacing * 2));
    const double step = ticks[1].value - ticks[0].value;
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                std::fabs(mantissa - 5) < 1e-6)
        << "step " << step;
    for (std::size_t k = 0; k < ticks.size(); ++k) {
      const Tick& t = ticks[k];
      EXPECT_NEAR(t.y, to_y(L, t.value), 1e-9);
      EXPECT_GE(t.y, L.top - 0.5);
      EXPECT_LE(t.y, L.bottom + 0.5);
      EXPECT_NEAR(std::remainder(t.value, step), 0.0, 1e-6 * step);
      if (k > 0) {
        EXPECT_NEAR(t.value - ticks[k - 1].value, step, 1e-6 * step);
        EXPECT_LT(t.y, ticks[k - 1].y);  // upwards
        EXPECT_NE(t.text, ticks[k - 1].text);
      }
    }
  }
}

// Notes break at blanks into lines no wider than the canvas allows, and
// lose no word; a word too long for a line stands alone.
TEST(PlotLayout, WrapKeepsEveryWordWithinTheWidth) {
  const std::string long_word(80, 'W');
  const struct {
    std::string text;
    double width;
    std::size_t lines;
  } cases[] = {
      {"", 100, 0},
      {"short", 100, 1},
      {"Energies in kcal/mol. I0\u2032 is I0 of the next turn of the cycle.", 150, 3},
      {"a " + long_word + " b", 100, 3},
      {"one two three four five six seven eight nine ten", 1e6, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<std::string> lines = wrap(c.text, kNoteSize, c.width);
    EXPECT_EQ(lines.size(), c.lines);
    std::string joined;
    for (const std::string& line : lines) {
      if (line.find(' ') != std::string::npos) {
        EXPECT_LE(text_width(line, kNoteSize), c.width) << line;
      }
      joined += (joined.empty() ? "" : " ") + line;
    }
    EXPECT_EQ(joined, c.text);
  }
}

// At a column's width (356 px at the layout's font size) and a page's (672
// px): the columns fill the plot, none left empty at its end; every label
// that fits its column flat is flat (but beside the effective span's
// arrow); the labels keep clear as at any width.
TEST(PlotLayout, ColumnsFillThePlotAndFlatLabelsWhereTheyFit) {
  for (double width : {356.4, 672.0}) {
    for (const std::string& input : sample_cycles()) {
      SCOPED_TRACE(std::to_string(width) + " px\n" + input);
      LayoutOptions options;
      options.width = width;
      const Picture p = lay_out_cycle(input, options);
      const Layout& L = p.layout;
      const std::vector<State>& states = p.scene.states;
      // (Crowded, or packed to leave the effective span's arrow room.)
      if (L.dense || (L.upright && !L.mixed)) continue;
      const double plot_width = L.width - kMargin - L.axis_x;
      EXPECT_GT(states.back().x - L.axis_x, 0.8 * plot_width) << "columns end early";
      std::vector<Box> boxes;
      for (const State& s : states) {
        std::size_t k = 0;
        for (const auto* side : {&s.above, &s.below}) {
          for (const Label& l : *side) {
            const Box& b = s.label_boxes[k++];
            boxes.push_back(b);
            if (l.upright && !s.keep_upright) {  // (kept for the effective span's arrow)
              EXPECT_GT(text_width(l.text, l.size, l.bold), L.bar) << s.id << " " << l.text;
            }
          }
        }
      }
      for (std::size_t a = 0; a < boxes.size(); ++a)
        for (std::size_t b = a + 1; b < boxes.size(); ++b)
          ASSERT_EQ(overlap(boxes[a], boxes[b]), 0.0) << "labels " << a << " and " << b;
    }
  }
}

}  // namespace
}  // namespace kinex::plot

// What the energy-profile picture shows, before anything is placed: the
// states along the reaction coordinate with their labels, which of them are
// the TDI and the TDTS, and the texts around the plot. Where things go is
// plot_layout.h's business; the State keeps the fields it fills in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kinex/plot_geometry.h"
#include "kinex/plot_style.h"
#include "model/run.h"

namespace kinex::plot {

// The span's texts, the same in the title line, the notes and at the arrow.
inline constexpr const char* kSpanPrefix = "\u03b4E = ";
inline constexpr const char* kEnergyUnit = " kcal/mol";
// The exponent of the TOF's unit s^-1, with a true minus sign.
inline constexpr const char* kPerSecondExponent = "\u22121";

// One text at a state, or in the title.
struct Label {
  std::string text;  // UTF-8, not yet escaped
  double size = kLabelSize;
  bool bold = false;
  const char* role = "name";  // the class attribute
  const char* fill = kTextColour;
  bool italic = false;
};

// One column of the picture: an intermediate or a transition state.
struct State {
  std::string id;     // XML id: "int-0", "ts-1", "int-0-next", "ts-1-next"
  std::string name;   // "I0", "TS1", "I0′", "TS1′"
  int64_t index = 0;  // j of intermediate j, i of transition state i
  double energy = 0.0;
  double xtof = 0.0;
  bool transition = false;
  bool faded = false;        // drawn only to reach the TDTS of the next turn
  std::vector<Label> above;  // from the bar outwards
  std::vector<Label> below;
  // Filled by the layout.
  double x = 0.0;  // centre
  double y = 0.0;  // the bar, or the top of the labels when not drawn
  double above_extent = 0.0;
  double below_extent = 0.0;
  std::vector<Box> label_boxes;  // those of `above`, then those of `below`
};

// Whether the state has a bar: a finite energy. The others are listed under
// the plot.
bool finite(const State& s);

// The column of the TDI (intermediate TDI-1) and of the TDTS, the latter in
// the next turn when it precedes the TDI.
struct Span {
  bool known = false;  // TDI and TDTS are steps of the cycle
  bool wraps = false;  // the TDTS precedes the TDI
  std::size_t tdi = 0;
  std::size_t tdts = 0;
  double value = 0.0;  // kcal/mol
};

struct Texts {
  Label title;
  std::string figures;       // temperature and TOF up to "s", before the exponent
  std::string figures_tail;  // after the exponent: the span
  std::string span_value;    // "25.4", "NaN"
  bool span_finite = false;
  std::vector<std::string> notes;  // paragraphs under the plot, not yet wrapped
};

struct Scene {
  Span span;
  std::vector<State> states;
  Texts texts;
};

// The scene of `run` (through all phases up to the degrees of control).
// States in drawing order: I0, TS1, I1, ..., TSn, I0′ (intermediate 0 of the
// next turn), and when the TDTS precedes the TDI also the next turn's TS1′,
// I1′, ..., TSk′ up to the TDTS, so that the span can be drawn as the energy
// actually climbed. Labels, nearest the bar first: the energy above, the name
// and the reactant and product marks below, "TDI" last under the TDI. The
// TDTS keeps all its labels on one side, away from the span arrow that runs
// through its column from the TDI's level: above when the TDI is not higher,
// below when it is. A state without a finite energy has all its labels below.
Scene make_scene(const Run& run, const std::string& file_name);

}  // namespace kinex::plot

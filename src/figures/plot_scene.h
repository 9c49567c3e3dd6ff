// What the energy-profile picture shows, before anything is placed: the
// states along the reaction coordinate with their labels, which of them are
// the TDI and the TDTS, and the texts around the plot. Where things go is
// plot_layout.h's business; the State keeps the fields it fills in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "figures/plot_geometry.h"
#include "figures/plot_style.h"
#include "figures/plot_text.h"
#include "model/run.h"

namespace kinex::plot {

// The span's texts, the same in the title line, the notes and at the arrow.
inline constexpr const char* kSpanPrefix = "\u03b4E = ";
inline constexpr const char* kEnergyUnit = " kcal/mol";
// The exponent of the TOF's unit s^-1, with a true minus sign.
inline constexpr const char* kPerSecondExponent = "\u22121";
// The effective span, written \u03b4E with the subscript "eff".
inline constexpr const char* kEffectiveSymbol = "\u03b4E";
inline constexpr const char* kEffectiveSubscript = "eff";
// The TOF's mantissa has the decimals of the report's TOF line.
inline constexpr int kTofDecimals = 2;
// The effective span is marked when it differs from the energetic span by
// at least this much (kcal/mol), enough to show at one decimal.
inline constexpr double kEffectiveSpanShown = 0.05;

// A part of a line of text: on the baseline, raised as an exponent or
// lowered as a subscript (those at kExponentSize).
enum class Shift { none, up, down };
struct Piece {
  std::string text;  // UTF-8, not yet escaped
  Shift shift = Shift::none;
};

// The width of the line `pieces` at font size `size` (shifted pieces at
// kExponentSize), as text_width estimates it.
double width(const std::vector<Piece>& pieces, double size, bool bold = false);

// The text of all the pieces, a shifted piece after a '^' (up) or '_'
// (down): "s^\u22121", for the picture's description.
std::string plain(const std::vector<Piece>& pieces);

// One text at a state, or in the title.
struct Label {
  std::string text;  // UTF-8, not yet escaped
  double size = kLabelSize;
  bool bold = false;
  const char* role = "name";  // the class attribute
  const char* fill = kTextColour;
  bool italic = false;
  bool upright = false;    // turned by 90 degrees, by the layout
  bool keep_flat = false;  // flat among upright columns: the layout found it room
};

// One column of the picture: an intermediate or a transition state.
struct State {
  std::string id;     // XML id: "int-0", "ts-1", "int-0-next", "ts-1-next"
  std::string name;   // "I0", "TS1", "I0′", "TS1′"
  int64_t index = 0;  // j of intermediate j, i of transition state i
  double energy = 0.0;
  double xtof = 0.0;
  bool transition = false;
  bool faded = false;         // drawn only to reach the TDTS of the next turn
  bool off_range = false;     // outside the energy range asked for: listed under the plot
  bool keep_upright = false;  // set by the layout: labels upright in upright columns
  double sigma = 0.0;  // kcal/mol: an error bar from energy - sigma to energy + sigma; 0: none
  std::vector<Label> above;  // from the bar outwards
  std::vector<Label> below;
  // Filled by the layout.
  double x = 0.0;  // centre
  double y = 0.0;  // the bar, or the top of the labels when not drawn
  double above_extent = 0.0;
  double below_extent = 0.0;
  std::vector<Box> label_boxes;  // those of `above`, then those of `below`
};

// Whether the state has a bar: a finite energy within the range drawn. The
// others are listed under the plot.
bool finite(const State& s);

// The column of the TDI (intermediate TDI-1) and of the TDTS, the latter in
// the next turn when it precedes the TDI.
struct Span {
  bool known = false;  // TDI and TDTS are steps of the cycle
  bool wraps = false;  // the TDTS precedes the TDI
  std::size_t tdi = 0;
  std::size_t tdts = 0;
  double value = 0.0;  // kcal/mol
  // The effective span (kcal/mol), marked from the TDI's level to that
  // level plus `effective` when `effective_shown`: the span is known, both
  // are finite and they differ by at least kEffectiveSpanShown.
  double effective = 0.0;
  bool effective_shown = false;
};

inline constexpr std::size_t kNoNote = static_cast<std::size_t>(-1);

struct Texts {
  Label title;
  std::vector<Piece> figures;  // temperature, TOF and spans, in one line
  // The driving-force warning as the report words it, shown under the
  // figures; empty when the driving force is positive.
  std::string warning;
  std::string span_value;  // "25.4", "NaN"
  bool span_finite = false;
  // The unit after the values at the arrows; a narrow picture leaves it to
  // the energy axis.
  bool span_unit = true;
  // At the effective span's arrow, when it is shown: "\u03b4E_eff = 20.1 kcal/mol".
  std::vector<Piece> effective_label;
  std::vector<std::string> notes;  // paragraphs under the plot, not yet wrapped
  // The note on the effective span's dashed arrow, an index into `notes`;
  // kNoNote when there is none. Left out where the arrow is not drawn.
  std::size_t effective_note = kNoNote;
  // The note on the reactants' and products' marks; kNoNote when there is
  // none. Left out where the marks are not written.
  std::size_t marks_note = kNoNote;
  // The axes' titles as the user gave them; "": the defaults.
  std::string x_title, y_title;
};

// The TOF as the picture writes it: the report's TOF with kTofDecimals; when
// that is 0 or not finite but log10_TOF is finite, from log10_TOF with the
// sign of TOF_sign (that of the TOF where TOF_sign is 0), so that a TOF far
// beyond the range of doubles is still written as a number.
PowerOfTen tof_text(const Results& results);

// Appends `before` followed by the TOF as tof_text writes it and its unit,
// s with a raised -1, to `pieces`.
void append_tof(const std::string& before, const Results& results, std::vector<Piece>& pieces);

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
// The figures line states the temperature, the TOF (tof_text), the span and,
// when it is shown, the effective span; the warning is set exactly when
// needs_driving_force_warning holds for the profile.
Scene make_scene(const Run& run, const std::string& file_name);

// What the picture shows of the uncertainty of the energies: the sigma of
// every state (the model's order: I0, TS1, I1, ..., TSn, the final state)
// and how likely each intermediate is the TDI and each transition state the
// TDTS (1..n, index 0 unused; empty: not known, with `reason` saying why).
struct StateUncertainty {
  std::vector<double> sigma;
  std::vector<double> TDI_probability, TDTS_probability;
  int64_t samples = 0;
  uint64_t seed = 0;
  double correlation = 0.0;
  std::string reason;
};

// Error bars on every state of `scene` (of `run`), its next turn's
// included, the probabilities as labels at the states of the first turn
// where they are at least 0.5 % ("P(TDI) 93 %", the likeliest in the
// highlight colour), and a note saying what both are.
void add_uncertainty(const Run& run, const StateUncertainty& u, Scene& scene);

}  // namespace kinex::plot

#include "figures/plot_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "figures/plot_text.h"
#include "model/profile.h"
#include "outputs/summary.h"

namespace kinex::plot {
namespace {

// The next turn's states: "int-0-next", "I0′".
constexpr const char* kNextTurnId = "-next";
constexpr const char* kNextTurnMark = "\u2032";

// `prefix`, the number `k` and `suffix`: "ts-" 3 "-next" gives "ts-3-next".
std::string numbered(std::string_view prefix, int64_t k, std::string_view suffix) {
  std::string out(prefix);
  out += std::to_string(k);
  out += suffix;
  return out;
}

double at(const std::vector<double>& v, int64_t k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() ? v[k] : std::nan("");
}

bool flag(const std::vector<bool>& v, int64_t k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() && v[k];
}

std::vector<State> make_states(const Run& run, bool wraps) {
  std::vector<State> states;
  const int64_t n = run.cycle.n;
  const StateNames names = names_or_defaults(run.names, n);
  auto name_of = [&](const std::vector<std::string>& all, std::size_t k, bool next) {
    std::string name = k < all.size() ? all[k] : std::string("?");
    return shorten_end(next ? name + kNextTurnMark : name, kMaxStateNameLength);
  };
  auto add_intermediate = [&](int64_t j, bool next, bool faded) {
    State s;
    s.id = numbered("int-", j, next ? kNextTurnId : "");
    s.name = next && j == 0 ? shorten_end(final_state_name(names), kMaxStateNameLength)
                            : name_of(names.intermediate, static_cast<std::size_t>(j), next);
    s.energy = at(run.profile.G_int, next ? j + n : j);
    s.index = j;
    s.xtof = at(run.results.xtof_int, j);
    s.faded = faded;
    states.push_back(std::move(s));
  };
  auto add_transition = [&](int64_t i, bool next) {
    State s;
    s.id = numbered("ts-", i, next ? kNextTurnId : "");
    s.name = name_of(names.transition, static_cast<std::size_t>(i), next);
    s.energy = next ? at(run.cycle.G_ts, i) + run.cycle.DeltaG : at(run.cycle.G_ts, i);
    s.index = i;
    s.xtof = at(run.results.xtof_ts, i);
    s.transition = true;
    s.faded = next;
    states.push_back(std::move(s));
  };
  for (int64_t i = 1; i <= n; ++i) {
    add_intermediate(i - 1, false, false);
    add_transition(i, false);
  }
  if (n >= 1) add_intermediate(0, true, false);
  if (wraps) {
    for (int64_t i = 1; i <= run.results.TDTS; ++i) {
      if (i > 1) add_intermediate(i - 1, true, true);
      add_transition(i, true);
    }
  }
  return states;
}

Span find_span(const Run& run) {
  Span span;
  if (run.cycle.n < 1 || run.results.TDI < 1 || run.results.TDI > run.cycle.n ||
      run.results.TDTS < 1 || run.results.TDTS > run.cycle.n ||
      run.cycle.G_ts.size() <= static_cast<std::size_t>(run.cycle.n) ||
      run.cycle.G_int.size() < static_cast<std::size_t>(run.cycle.n)) {
    return span;
  }
  span.known = true;
  span.wraps = run.results.TDTS < run.results.TDI;
  span.tdi = static_cast<std::size_t>(2 * (run.results.TDI - 1));
  span.tdts = static_cast<std::size_t>(span.wraps ? 2 * run.cycle.n + 2 * run.results.TDTS - 1
                                                  : 2 * run.results.TDTS - 1);
  span.value = energetic_span(run);
  span.effective = run.results.effective_span;
  span.effective_shown = std::isfinite(span.value) && std::isfinite(span.effective) &&
                         std::fabs(span.effective - span.value) >= kEffectiveSpanShown;
  return span;
}

void make_labels(const Run& run, const Span& span, std::vector<State>& states) {
  for (std::size_t c = 0; c < states.size(); ++c) {
    State& s = states[c];
    const bool is_tdi = span.known && c == span.tdi;
    const bool is_tdts = span.known && c == span.tdts;
    const char* fill = is_tdi || is_tdts ? kHighlight : s.faded ? kNextTurnColour : kTextColour;
    Label energy{energy_text(s.energy), kLabelSize, is_tdi || is_tdts, "energy", fill, s.faded};
    Label name{s.name, kLabelSize, is_tdi || is_tdts, "name", fill, s.faded};
    std::vector<Label> marks;
    if (s.transition) {
      const int64_t i = s.index;
      if (flag(run.cycle.has_reac, i)) {
        marks.push_back({"+R " + concentration_text(at(run.cycle.conc_reac, i)), kSmallSize, false,
                         "reactant", kReactantColour, s.faded});
      }
      if (flag(run.cycle.has_prod, i)) {
        marks.push_back({"\u2212P " + concentration_text(at(run.cycle.conc_prod, i)), kSmallSize,
                         false, "product", kProductColour, s.faded});
      }
    }
    if (!finite(s)) {
      // Written under the plot at the foot of the column.
      s.below = {name, energy};
      s.below.insert(s.below.end(), marks.begin(), marks.end());
      continue;
    }
    if (is_tdts) {
      // The arrow runs from the TDI's level to this bar: keep clear of it.
      const double tdi_energy = states[span.tdi].energy;
      std::vector<Label>& side = tdi_energy > s.energy ? s.below : s.above;
      side = {energy, name};
      side.insert(side.end(), marks.begin(), marks.end());
      side.push_back({"TDTS", kSmallSize, true, "tag", kHighlight});
      continue;
    }
    s.above = {energy};
    s.below = {name};
    s.below.insert(s.below.end(), marks.begin(), marks.end());
    if (is_tdi) s.below.push_back({"TDI", kSmallSize, true, "tag", kHighlight});
  }
}

bool is_mark(const Label& l) {
  return l.role == std::string_view("reactant") || l.role == std::string_view("product");
}

Texts make_texts(const Run& run, const std::string& file_name, const Span& span,
                 const std::vector<State>& states) {
  Texts t;
  t.title = {"Gibbs energy profile: " + shorten(file_name, kMaxNameLength), kTitleSize, true,
             "title"};
  append_tof("T = " + shortest_text(run.cycle.T) + " K    TOF = ", run.results, t.figures);
  std::string span_words = "not known";
  std::string effective_words;
  if (span.known) {
    t.span_value = energy_text(span.value);
    t.span_finite = std::isfinite(span.value);
    span_words = t.span_finite ? t.span_value + kEnergyUnit : t.span_value;
    t.figures.push_back({"    " + std::string(kSpanPrefix) + span_words + "  (TDI " +
                         states[span.tdi].name + ", TDTS " + states[span.tdts].name + ")"});
    if (span.effective_shown) {
      effective_words = energy_text(span.effective) + kEnergyUnit;
      t.effective_label = {
          {kEffectiveSymbol}, {kEffectiveSubscript, Shift::down}, {" = " + effective_words}};
      t.figures.push_back({"    " + std::string(kEffectiveSymbol)});
      t.figures.push_back({kEffectiveSubscript, Shift::down});
      t.figures.push_back({" = " + effective_words});
    }
  }
  if (needs_driving_force_warning(run.profile)) t.warning = warning_text(run);

  if (!states.empty()) {
    const std::string& first = states.front().name;
    const std::string& last =
        states[std::min(states.size() - 1,
                        2 * static_cast<std::size_t>(std::max<int64_t>(run.cycle.n, 0)))]
            .name;
    t.notes.push_back(
        "Energies in kcal/mol. " + last + " is " + first + " of the next turn of the cycle, at G(" +
        first + ") + \u0394G with \u0394G = " + energy_text(run.cycle.DeltaG) + kEnergyUnit + ".");
  }
  if (span.known) {
    const std::string& tdi = states[span.tdi].name;
    const std::string& tdts = states[span.tdts].name;
    if (span.wraps) {
      const std::string same_turn = states[2 * states[span.tdts].index - 1].name;
      t.notes.push_back("The TDTS precedes the TDI in the cycle, so the span reaches " + tdts +
                        " of the next turn: \u03b4E = G(" + same_turn + ") \u2212 G(" + tdi +
                        ") + \u0394G = " + span_words + ".");
    } else {
      t.notes.push_back("Energetic span \u03b4E = G(" + tdts + ") \u2212 G(" + tdi +
                        ") = " + span_words + ".");
    }
  }
  if (run.results.evaluation == EvaluationMethod::log_space) {
    t.notes.push_back(
        "The TOF and the degrees of TOF control come from the log-space evaluation: the direct "
        "numbers overflow or underflow for this cycle.");
  }
  t.effective_note = t.notes.size();
  if (span.effective_shown) {
    t.notes.push_back("Dashed arrow: the effective span, " + effective_words + " from G(" +
                      states[span.tdi].name +
                      "), the span with the concentrations of the reactants and products "
                      "counted.");
  }
  bool marks = false, non_finite = false;
  for (const State& s : states) {
    for (const auto* side : {&s.above, &s.below})
      marks |= std::any_of(side->begin(), side->end(), is_mark);
    non_finite |= !finite(s);
  }
  if (marks) {
    t.marks_note = t.notes.size();
    t.notes.push_back(
        "+R c: a reactant of concentration c enters the step; \u2212P c: a product of "
        "concentration c leaves it.");
  }
  if (non_finite) t.notes.push_back("States with a non-finite energy are listed under the axis.");
  if (!span.effective_shown) t.effective_note = kNoNote;
  return t;
}

}  // namespace

bool finite(const State& s) { return std::isfinite(s.energy) && !s.off_range; }

double width(const std::vector<Piece>& pieces, double size, bool bold) {
  double w = 0.0;
  for (const Piece& p : pieces)
    w += text_width(p.text, p.shift == Shift::none ? size : kExponentSize, bold);
  return w;
}

std::string plain(const std::vector<Piece>& pieces) {
  std::string out;
  for (const Piece& p : pieces) {
    if (p.shift != Shift::none) out += p.shift == Shift::up ? '^' : '_';
    out += p.text;
  }
  return out;
}

PowerOfTen tof_text(const Results& results) {
  const double tof = results.TOF;
  if ((tof == 0.0 || !std::isfinite(tof)) && std::isfinite(results.log10_TOF)) {
    const bool negative = results.TOF_sign < 0 || (results.TOF_sign == 0 && tof < 0);
    return power_of_ten_from_log10(results.log10_TOF, negative, kTofDecimals);
  }
  return power_of_ten_text(tof, kTofDecimals);
}

void append_tof(const std::string& before, const Results& results, std::vector<Piece>& pieces) {
  const PowerOfTen tof = tof_text(results);
  std::string line = before + tof.mantissa;
  if (!tof.exponent.empty()) {
    pieces.push_back({line + "\u00d710"});
    pieces.push_back({tof.exponent, Shift::up});
    line.clear();
  }
  pieces.push_back({line + " s"});
  pieces.push_back({kPerSecondExponent, Shift::up});
}

Scene make_scene(const Run& run, const std::string& file_name) {
  Scene scene;
  scene.span = find_span(run);
  scene.states = make_states(run, scene.span.known && scene.span.wraps);
  if (scene.span.known && scene.span.tdts >= scene.states.size()) scene.span.known = false;
  make_labels(run, scene.span, scene.states);
  scene.texts = make_texts(run, file_name, scene.span, scene.states);
  return scene;
}

namespace {

std::string percent_text(double p) {
  if (p >= 0.995) return "100 %";
  if (p < 0.01) return "<1 %";
  char text[16];
  std::snprintf(text, sizeof text, "%.0f %%", 100.0 * p);
  return text;
}

}  // namespace

void add_uncertainty(const Run& run, const StateUncertainty& u, Scene& scene) {
  const int64_t n = run.cycle.n;
  if (static_cast<int64_t>(u.sigma.size()) != 2 * n + 1) return;
  const bool known = static_cast<int64_t>(u.TDI_probability.size()) == n + 1 &&
                     static_cast<int64_t>(u.TDTS_probability.size()) == n + 1;
  const auto largest = [](const std::vector<double>& p) {
    return p.empty() ? 0.0 : *std::max_element(p.begin() + 1, p.end());
  };
  const double top_tdi = known ? largest(u.TDI_probability) : 0.0;
  const double top_tdts = known ? largest(u.TDTS_probability) : 0.0;
  for (State& s : scene.states) {
    const bool final_state = !s.transition && s.id == "int-0-next";
    const int64_t model_state = s.transition ? 2 * s.index - 1 : final_state ? 2 * n : 2 * s.index;
    if (model_state < 0 || model_state > 2 * n) continue;
    s.sigma = u.sigma[static_cast<std::size_t>(model_state)];
    if (!known || s.faded || final_state || !finite(s)) continue;
    const int64_t step = s.transition ? s.index : s.index + 1;
    const double p =
        (s.transition ? u.TDTS_probability : u.TDI_probability)[static_cast<std::size_t>(step)];
    if (!(p >= 0.005)) continue;
    const bool likeliest = p == (s.transition ? top_tdts : top_tdi);
    Label label{std::string(s.transition ? "P(TDTS) " : "P(TDI) ") + percent_text(p), kSmallSize,
                likeliest, "probability", likeliest ? kHighlight : kTextColour};
    // Outermost under the bar with the name and the marks; the TDTS keeps
    // all its labels on one side.
    (s.below.empty() ? s.above : s.below).push_back(label);
  }
  std::string note = "Error bars: \u00b1\u03c3 of each state's Gibbs energy (";
  bool same = true;
  for (double x : u.sigma) same = same && x == u.sigma[0];
  note += same ? "\u03c3 = " + energy_text(u.sigma[0]) + " kcal/mol for every state"
               : std::string("\u03c3 per state");
  if (known) {
    note += "). P(TDI), P(TDTS): the share of " + std::to_string(u.samples) +
            " samples of the energies (correlation " + energy_text(u.correlation) + ", seed " +
            std::to_string(u.seed) +
            ") in which the state is the TDI or the TDTS; shown from 0.5 %.";
  } else {
    note += "). " + u.reason;
  }
  scene.texts.notes.push_back(note);
}

}  // namespace kinex::plot

#include "figures/network_svg.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <vector>

#include "figures/plot_overlay.h"
#include "figures/plot_style.h"
#include "figures/plot_text.h"

namespace kinex::plot {

namespace {

using network::Network;
using network::NetworkResults;

// One level of a path: a state or a transition state at its energy.
struct Level {
  std::string name;
  double energy = 0.0;
  bool transition = false;
};

struct Path {
  std::vector<Level> levels;
  std::vector<std::string> made;  // the species its steps release, once each
  bool closes = false;            // ends by closing a turn
};

// Where a walk stands: the resting state it set out from, the states it
// has been on in this turn and the next, and the paths found.
struct Walk {
  const Network& network;
  const NetworkResults& results;
  int64_t resting;
  std::vector<bool> on_path[2];
  std::vector<Path> paths;
};

// Every path on from `state`, depth first in the order of the steps, each
// step taken the way its net flux runs (a step without one either way), a
// step that closes a turn once; a path ends back at the resting state of
// the next turn, or at an off-cycle state where it can go no further. At most kMostNetworkPaths
// + 1 paths (one more tells that some are left out).
void walk(Walk& w, int64_t state, double offset, int turns, Path& path) {
  constexpr std::size_t kMostLevels = 81;
  if (turns == 1 && state == w.resting) {
    w.paths.push_back(path);
    return;
  }
  bool moved = false;
  for (std::size_t e = 0; e < w.network.steps.size(); ++e) {
    const network::Step& step = w.network.steps[e];
    const int sign = w.results.net_flux[e].sign;
    for (const bool ahead : {true, false}) {
      if (w.paths.size() > kMostNetworkPaths) return;
      if (ahead ? (step.from != state || sign < 0) : (step.to != state || sign > 0)) continue;
      const bool closing = step.closes_turn;
      if (closing && (!ahead || turns > 0)) continue;
      const int64_t next = ahead ? step.to : step.from;
      const int turn = turns + (closing ? 1 : 0);
      if (w.on_path[turn][static_cast<std::size_t>(next)] && !(turn == 1 && next == w.resting)) {
        continue;
      }
      if (path.levels.size() + 2 > kMostLevels) continue;
      moved = true;
      const double arrival = offset + (closing ? step.shift : 0.0);
      const network::State& to = w.network.states[static_cast<std::size_t>(next)];
      path.levels.push_back({step.name, offset + step.G_ts, true});
      path.levels.push_back({to.name, to.G + arrival, false});
      const std::size_t made = path.made.size();
      for (int64_t s : ahead ? step.releases : step.consumes) {
        const std::string& name = w.network.species[static_cast<std::size_t>(s)].name;
        if (std::find(path.made.begin(), path.made.end(), name) == path.made.end()) {
          path.made.push_back(name);
        }
      }
      const bool was_closed = path.closes;
      path.closes = path.closes || closing;
      w.on_path[turn][static_cast<std::size_t>(next)] = true;
      const std::size_t found = w.paths.size();
      walk(w, next, arrival, turn, path);
      // A turn that finds no way back to the resting state ends where it
      // closed.
      if (closing && w.paths.size() == found) w.paths.push_back(path);
      w.on_path[turn][static_cast<std::size_t>(next)] = false;
      path.closes = was_closed;
      path.made.resize(made);
      path.levels.resize(path.levels.size() - 2);
    }
  }
  // An off-cycle state ends a path; in the next turn a path that cannot
  // go on is dropped (the turn then ends where it closed).
  if (!moved && turns == 0 && path.levels.size() > 1) w.paths.push_back(path);
}

// A step of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double tick_step(double range, int ticks) {
  const double raw = range / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10.0 * power;
}

std::string one_decimal(double x) { return fixed_text(x, 1); }

std::string attribute(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", x);
  return text;
}

}  // namespace

std::string network_svg(const std::string& file, const Network& network,
                        const NetworkResults& results) {
  const auto resting =
      static_cast<int64_t>(std::max_element(results.population.begin(), results.population.end()) -
                           results.population.begin());
  Walk w{network, results, resting, {}, {}};
  for (std::vector<bool>& on : w.on_path) on.assign(network.states.size(), false);
  w.on_path[0][static_cast<std::size_t>(resting)] = true;
  Path path;
  path.levels.push_back({network.states[static_cast<std::size_t>(resting)].name,
                         network.states[static_cast<std::size_t>(resting)].G, false});
  walk(w, resting, 0.0, 0, path);
  std::vector<Path>& paths = w.paths;
  const bool more = paths.size() > kMostNetworkPaths;
  if (more) paths.resize(kMostNetworkPaths);
  if (paths.empty()) paths.push_back(path);  // a state alone

  const double width = 760.0, left = 78.0, right = 24.0, top = 64.0, plot_height = 360.0;
  const double legend_top = top + plot_height + 56.0, legend_line = 20.0;
  const double height = legend_top + legend_line * static_cast<double>(paths.size() + more) + 16.0;
  std::size_t slots = 1;
  double low = 0.0, high = 0.0;
  bool first = true;
  for (const Path& p : paths) {
    slots = std::max(slots, p.levels.size());
    for (const Level& level : p.levels) {
      low = first ? level.energy : std::min(low, level.energy);
      high = first ? level.energy : std::max(high, level.energy);
      first = false;
    }
  }
  if (high - low < 1.0) low -= 0.5, high += 0.5;
  const double pad = 0.12 * (high - low);
  low -= pad;
  high += pad;
  const double slot = (width - left - right) / static_cast<double>(slots);
  const double bar = std::min(48.0, 0.62 * slot);
  auto x_of = [&](std::size_t k) { return left + slot * (static_cast<double>(k) + 0.5); };
  auto y_of = [&](double G) { return top + plot_height * (high - G) / (high - low); };

  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + attribute(width) +
                    "\" height=\"" + attribute(height) + "\" viewBox=\"0 0 " + attribute(width) +
                    " " + attribute(height) + "\" font-family=\"" + kFontFamily + "\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += "<text x=\"" + attribute(left) + "\" y=\"24\" font-size=\"15\" font-weight=\"bold\">" +
         xml_escape(fit_width("Network: " + file, 15.0, width - left - right, true)) + "</text>\n";
  std::string figures = "T = " + shortest_text(network.T) + " K, resting state " +
                        network.states[static_cast<std::size_t>(resting)].name;
  if (results.has_turnover && results.turnover.tof.sign != 0) {
    figures += ", turnover: log10 TOF " + fixed_text(results.turnover.log10_TOF, 2);
  }
  svg += "<text x=\"" + attribute(left) + "\" y=\"44\" font-size=\"12\">" +
         xml_escape(fit_width(figures, 12.0, width - left - right)) + "</text>\n";

  // The energy axis.
  const double step = tick_step(high - low, 6);
  svg += "<g class=\"axis\" stroke=\"#000000\" stroke-width=\"1\">\n<line x1=\"" +
         attribute(left - 8) + "\" y1=\"" + attribute(top) + "\" x2=\"" + attribute(left - 8) +
         "\" y2=\"" + attribute(top + plot_height) + "\"/>\n";
  std::string tick_texts;
  for (double G = std::ceil(low / step) * step; G <= high + 1e-9 * step; G += step) {
    const double y = y_of(G);
    svg += "<line x1=\"" + attribute(left - 13) + "\" y1=\"" + attribute(y) + "\" x2=\"" +
           attribute(left - 8) + "\" y2=\"" + attribute(y) + "\"/>\n";
    tick_texts += "<text x=\"" + attribute(left - 16) + "\" y=\"" + attribute(y + 4) +
                  "\" font-size=\"11\" text-anchor=\"end\">" +
                  xml_escape(fixed_text(std::abs(G) < 1e-9 * step ? 0.0 : G, step < 1 ? 1 : 0)) +
                  "</text>\n";
  }
  svg += "</g>\n" + tick_texts;
  svg += "<text transform=\"translate(18 " + attribute(top + plot_height / 2) +
         ") rotate(-90)\" font-size=\"12\" text-anchor=\"middle\">G (kcal/mol)</text>\n";

  // The paths, the first drawn last so that it stands on top where they
  // share their start.
  for (std::size_t k = paths.size(); k-- > 0;) {
    const Look style = look(k);
    const std::vector<Level>& levels = paths[k].levels;
    svg += "<g class=\"path\" stroke=\"" + std::string(style.colour) + "\" fill=\"none\">\n";
    for (std::size_t i = 0; i < levels.size(); ++i) {
      const double x = x_of(i), y = y_of(levels[i].energy);
      svg += "<line x1=\"" + attribute(x - bar / 2) + "\" y1=\"" + attribute(y) + "\" x2=\"" +
             attribute(x + bar / 2) + "\" y2=\"" + attribute(y) + "\" stroke-width=\"3\"/>\n";
      if (i + 1 < levels.size()) {
        svg += "<line x1=\"" + attribute(x + bar / 2) + "\" y1=\"" + attribute(y) + "\" x2=\"" +
               attribute(x_of(i + 1) - bar / 2) + "\" y2=\"" +
               attribute(y_of(levels[i + 1].energy)) + "\" stroke-width=\"1.2\"" +
               (std::string(style.dash).empty()
                    ? std::string()
                    : " stroke-dasharray=\"" + std::string(style.dash) + "\"") +
               "/>\n";
      }
    }
    svg += "</g>\n";
  }
  // The names above the bars and the energies below, once for a level the
  // paths share. Where two levels of a column come closer than their
  // labels need, each gets one line beside its bar instead, kept apart.
  struct Shown {
    double y;
    const Level* level;
  };
  std::vector<std::vector<Shown>> columns(slots);
  std::set<std::tuple<std::size_t, long long, std::string>> written;
  for (const Path& p : paths) {
    for (std::size_t i = 0; i < p.levels.size(); ++i) {
      const Level& level = p.levels[i];
      if (written.insert({i, std::llround(level.energy * 100), level.name}).second) {
        columns[i].push_back({y_of(level.energy), &level});
      }
    }
  }
  constexpr double kRoom = 30.0, kLine = 12.0;
  const double label_room = std::max(slot - 2.0, 20.0);
  for (std::size_t i = 0; i < slots; ++i) {
    std::vector<Shown>& column = columns[i];
    std::sort(column.begin(), column.end(),
              [](const Shown& a, const Shown& b) { return a.y < b.y; });
    const double x = x_of(i);
    double beside_below = -1e9;  // the lowest baseline written beside so far
    for (std::size_t j = 0; j < column.size(); ++j) {
      const Level& level = *column[j].level;
      const double y = column[j].y;
      const bool close_above = j > 0 && y - column[j - 1].y < kRoom;
      const bool close_below = j + 1 < column.size() && column[j + 1].y - y < kRoom;
      const double size = level.transition ? 10.0 : 11.0;
      const std::string style = level.transition ? " font-style=\"italic\"" : "";
      const std::string both = fit_width(level.name + " " + one_decimal(level.energy), size,
                                         std::max(slot + bar, 40.0), false, true);
      if (close_above != close_below) {  // one line above the upper bar, below the lower
        svg += "<text x=\"" + attribute(x) + "\" y=\"" + attribute(close_below ? y - 6 : y + 14) +
               "\" font-size=\"" + attribute(size) + "\" text-anchor=\"middle\"" + style + ">" +
               xml_escape(both) + "</text>\n";
        continue;
      }
      if (close_above) {  // between two close ones: beside the bar
        const double baseline = std::max(y + 4.0, beside_below + kLine);
        beside_below = baseline;
        svg += "<text x=\"" + attribute(x + bar / 2 + 3) + "\" y=\"" + attribute(baseline) +
               "\" font-size=\"" + attribute(size) + "\"" + style + ">" + xml_escape(both) +
               "</text>\n";
        continue;
      }
      svg += "<text x=\"" + attribute(x) + "\" y=\"" + attribute(y - 6) + "\" font-size=\"" +
             attribute(size) + "\" text-anchor=\"middle\"" + style + ">" +
             xml_escape(fit_width(level.name, size, label_room, false, true)) + "</text>\n";
      svg += "<text x=\"" + attribute(x) + "\" y=\"" + attribute(y + 14) +
             "\" font-size=\"10\" text-anchor=\"middle\" fill=\"#444444\">" +
             xml_escape(one_decimal(level.energy)) + "</text>\n";
    }
  }
  // The legend: each path's colour and what it makes.
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const Look style = look(k);
    const double y = legend_top + legend_line * static_cast<double>(k);
    svg += "<line x1=\"" + attribute(left) + "\" y1=\"" + attribute(y - 4) + "\" x2=\"" +
           attribute(left + 30) + "\" y2=\"" + attribute(y - 4) + "\" stroke=\"" + style.colour +
           "\" stroke-width=\"3\"" +
           (std::string(style.dash).empty()
                ? std::string()
                : " stroke-dasharray=\"" + std::string(style.dash) + "\"") +
           "/>\n";
    std::string names;
    for (const Level& level : paths[k].levels) {
      if (level.transition) continue;
      names += (names.empty() ? "" : " \u2192 ") + level.name;
    }
    std::string made;
    for (const std::string& name : paths[k].made) made += (made.empty() ? "" : ", ") + name;
    const std::string ending = paths[k].closes ? (made.empty() ? ": a turn" : ": makes " + made)
                                               : (made.empty() ? ": off the cycle" : ": " + made);
    svg += "<text x=\"" + attribute(left + 38) + "\" y=\"" + attribute(y) + "\" font-size=\"11\">" +
           xml_escape(fit_width(names + ending, 11.0, width - left - right - 38, false, true)) +
           "</text>\n";
  }
  if (more) {
    svg += "<text x=\"" + attribute(left) + "\" y=\"" +
           attribute(legend_top + legend_line * static_cast<double>(paths.size())) +
           "\" font-size=\"11\" font-style=\"italic\">more paths than " +
           std::to_string(kMostNetworkPaths) + "; the first are drawn</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace kinex::plot

#include "figures/plot_overlay.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "figures/plot_scene.h"
#include "figures/plot_svg.h"
#include "figures/plot_text.h"
#include "outputs/summary.h"

namespace kinex::plot {
namespace {

// The Okabe-Ito colours, darkest first so that few cycles get the clearest;
// the yellow, faint on white, comes last.
constexpr const char* kColours[8] = {"#000000", "#e69f00", "#0072b2", "#009e73",
                                     "#d55e00", "#56b4e9", "#cc79a7", "#f0e442"};
constexpr const char* kDashes[8] = {"", "7,3", "2,2", "9,3,2,3", "4,4", "12,3", "5,2,1,2", "1,3"};

constexpr double kLegendLine = 19.0;        // px between the legend's rows
constexpr double kLegendSample = 44.0;      // px of the sample line
constexpr double kLegendTextGap = 10.0;     // px from the sample to the name
constexpr double kLegendFiguresGap = 14.0;  // px from the name to the figures
constexpr double kLegendIndent = kLegendSample + kLegendTextGap;
constexpr double kPlotGap = 18.0;    // px from the legend to the plot area
constexpr double kBoldSlack = 1.15;  // a legend name's width over its estimate
constexpr double kOverlayPlotHeight = 420.0;
// A narrow canvas's plot area, in proportion to its width.
constexpr double kNarrowOverlayShare = 0.75;
constexpr double kNarrowOverlayMin = 220.0;
constexpr double kPad = 12.0;              // px inside the plot area above and below the levels
constexpr double kMinPitch = 40.0;         // px between columns, wanted at least
constexpr double kLevelWidth = 3.0;        // px
constexpr double kMarkedWidth = 6.5;       // px: TDI and TDTS
constexpr double kConnectorWidth = 1.4;    // px
constexpr double kMarkerSize = 4.0;        // px from a marker's middle to its edge
constexpr double kColumnLabelSize = 11.0;  // px
constexpr double kMinColumnLabelSize = 7.0;
constexpr double kColumnLabelGap = 6.0;  // px from the axis to the column labels
constexpr double kAxisTitleGap = 22.0;   // px from the column labels to the axis title
constexpr double kNotesGap = 22.0;
constexpr double kBottom = 14.0;

std::string number(double x) { return num(x); }

// A marker shape centred at (x, y).
std::string marker(int shape, double x, double y, const char* colour) {
  const double r = kMarkerSize;
  const std::string fill = " fill=\"" + std::string(colour) + "\" stroke=\"" + colour + "\"";
  const std::string open =
      " fill=\"#fff\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"";
  auto poly = [&](std::initializer_list<std::pair<double, double>> pts, const std::string& style) {
    std::string d = "<polygon class=\"marker\" points=\"";
    bool first = true;
    for (const auto& [dx, dy] : pts) {
      d += first ? "" : " ";
      d += number(x + dx * r);
      d += ',';
      d += number(y + dy * r);
      first = false;
    }
    return d + "\"" + style + "/>\n";
  };
  switch (shape % kMarkers) {
    case 0:
      return "<circle class=\"marker\" cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"" +
             number(r) + "\"" + fill + "/>\n";
    case 1:
      return poly({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}, fill);
    case 2:
      return poly({{0, -1.2}, {1.1, 0.9}, {-1.1, 0.9}}, fill);
    case 3:
      return poly({{0, -1.3}, {1.3, 0}, {0, 1.3}, {-1.3, 0}}, fill);
    case 4:
      return "<circle class=\"marker\" cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"" +
             number(r) + "\"" + open + "/>\n";
    case 5:
      return poly({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}, open);
    case 6:
      return poly({{0, 1.2}, {1.1, -0.9}, {-1.1, -0.9}}, fill);
    default:
      return poly({{0, -1.3}, {1.3, 0}, {0, 1.3}, {-1.3, 0}}, open);
  }
}

struct Cycle {
  std::vector<std::string> names;  // I0, TS1, ..., I0′
  std::vector<double> energies;
  std::size_t tdi = 0, tdts = 0;  // columns; tdts in this turn
  bool span_known = false;
  std::string name;                  // the legend's
  std::vector<Piece> figures;        // TOF, span, TDI and TDTS
  std::vector<std::size_t> columns;  // per level: its column (name_columns sets it)
};

Cycle make_cycle(const Run& run) {
  Cycle c;
  const int64_t n = std::max<int64_t>(run.cycle.n, 0);
  const StateNames names = names_or_defaults(run.names, n);
  auto at = [](const std::vector<double>& v, int64_t k) {
    return k >= 0 && static_cast<std::size_t>(k) < v.size() ? v[k] : std::nan("");
  };
  for (int64_t i = 1; i <= n; ++i) {
    c.names.push_back(shorten_end(names.intermediate[i - 1], kMaxStateNameLength));
    c.energies.push_back(at(run.cycle.G_int, i - 1));
    c.names.push_back(shorten_end(names.transition[i], kMaxStateNameLength));
    c.energies.push_back(at(run.cycle.G_ts, i));
  }
  if (n >= 1) {
    c.names.push_back(shorten_end(final_state_name(names), kMaxStateNameLength));
    c.energies.push_back(at(run.profile.G_int, n));
  }
  append_tof("TOF = ", run.results, c.figures);
  if (run.results.TDI >= 1 && run.results.TDI <= n && run.results.TDTS >= 1 &&
      run.results.TDTS <= n) {
    c.span_known = true;
    c.tdi = static_cast<std::size_t>(2 * (run.results.TDI - 1));
    c.tdts = static_cast<std::size_t>(2 * run.results.TDTS - 1);
    const double span = energetic_span(run);
    c.figures.push_back({"   " + std::string(kSpanPrefix) + energy_text(span) +
                         (std::isfinite(span) ? kEnergyUnit : "") + " (TDI " + c.names[c.tdi] +
                         ", TDTS " + c.names[c.tdts] + ")"});
  }
  return c;
}

// The input's file name without its folder and extension: "runs/ni.txt" is
// "ni", a table's row "runs/screen.csv:Ni" is "screen:Ni".
std::string file_stem(const std::string& input_name) {
  const auto stem = [](std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) path = path.substr(0, dot);
    return std::string(path);
  };
  for (const char* table : {".csv:", ".tsv:", ".CSV:", ".TSV:"}) {
    const std::size_t at = input_name.find(table);
    if (at != std::string::npos) {
      return stem(std::string_view(input_name).substr(0, at + 4)) + input_name.substr(at + 4);
    }
  }
  const std::string s = stem(input_name);
  return s.empty() ? input_name : s;
}

// The cycles drawn, in the order given, each named by its label, else by
// its input file's stem.
std::vector<Cycle> make_cycles(const std::vector<const Run*>& runs,
                               const std::vector<std::string>& labels) {
  std::vector<Cycle> cycles;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    cycles.push_back(make_cycle(*runs[k]));
    cycles.back().name =
        k < labels.size() && !labels[k].empty() ? labels[k] : file_stem(runs[k]->input_name);
  }
  return cycles;
}

// The columns' labels: the names all cycles give a column, else (`differ`)
// the default names. As many as the longest cycle has levels.
struct Columns {
  std::vector<std::string> names;
  bool differ = false;
};

// Sets each cycle's columns: its intermediates and transition states by
// step, its final state in the last column, where every cycle's is.
Columns name_columns(std::vector<Cycle>& cycles) {
  std::size_t columns = 0;
  for (const Cycle& c : cycles) columns = std::max(columns, c.names.size());
  Columns result;
  std::vector<std::string>& column_names = result.names;
  column_names.resize(columns);
  bool differ = false;
  for (Cycle& c : cycles) {
    c.columns.resize(c.names.size());
    for (std::size_t s = 0; s < c.names.size(); ++s) {
      const std::size_t k = s + 1 == c.names.size() ? columns - 1 : s;
      c.columns[s] = k;
      if (column_names[k].empty()) column_names[k] = c.names[s];
      differ |= column_names[k] != c.names[s];
    }
  }
  if (differ) {
    const StateNames defaults = default_names(static_cast<int64_t>(columns / 2));
    for (std::size_t k = 0; k < columns; ++k) {
      column_names[k] = k + 1 == columns ? final_state_name(defaults)
                        : k % 2 == 0     ? defaults.intermediate[k / 2]
                                         : defaults.transition[(k + 1) / 2];
    }
  }
  result.differ = differ;
  return result;
}

// Sets the energy range (L.lo, L.hi: the finite energies, or the range
// asked for, at least 1 kcal/mol wide) and the axis's x, which leaves room
// for the tick labels. Returns the number of energies outside the range
// asked for.
std::size_t set_energy_range(const std::vector<Cycle>& cycles, const LayoutOptions& options,
                             Layout& L) {
  double lo = INFINITY, hi = -INFINITY;
  std::size_t outside = 0;
  for (const Cycle& c : cycles) {
    for (double e : c.energies) {
      if (!std::isfinite(e)) continue;
      if (options.y_range && (e < options.y_from || e > options.y_to)) {
        ++outside;
        continue;
      }
      lo = std::min(lo, e), hi = std::max(hi, e);
    }
  }
  if (options.y_range) lo = options.y_from, hi = options.y_to;
  if (lo > hi) lo = hi = 0.0;
  if (!(hi - lo >= 1.0)) {
    const double mid = lo / 2 + hi / 2;
    lo = mid - 0.5, hi = mid + 0.5;
  }
  L.lo = lo, L.hi = hi;
  const double tick_room = std::max(text_width(fixed_text(hi, 1), kTickLabelSize),
                                    text_width(fixed_text(lo, 1), kTickLabelSize));
  L.axis_x = kAxisTitleBand + std::max(kMinTickLabelRoom, tick_room) + kTickLabelsToAxis;
  return outside;
}

// How the columns' labels are written: at `size`, every `every`-th of
// them, reaching `extent` px under the axis.
struct ColumnLabels {
  double size = kColumnLabelSize;
  std::size_t every = 1;
  double extent = 0.0;
};

// Sets the canvas's width, the columns' pitch and bars, and whether their
// labels stand upright (L.axis_x set); the labels flat, upright and
// smaller, or only every `every`-th, so that none overlaps the next.
ColumnLabels size_columns(const std::vector<std::string>& column_names,
                          const LayoutOptions& options, Layout& L) {
  const std::size_t columns = column_names.size();
  double widest = 0.0;
  for (const std::string& name : column_names)
    widest = std::max(widest, text_width(name, kColumnLabelSize));
  const double cols = static_cast<double>(std::max<std::size_t>(columns, 1));
  const double wanted = std::max(kMinPitch, widest + 8.0);
  const double natural = L.axis_x + kColumnsStart + cols * wanted + kColumnsEnd;
  L.width = options.width > 0
                ? options.width
                : std::clamp(natural, kMinCanvas, std::max(kMinCanvas, options.max_width));
  L.pitch = (L.width - L.axis_x - kColumnsStart - kColumnsEnd) / cols;
  L.bar = L.pitch * 0.6;
  L.upright = L.pitch < widest + 6.0;
  ColumnLabels labels;
  if (L.upright) {
    labels.size =
        std::clamp((L.pitch - 2.0) / kUprightWidth, kMinColumnLabelSize, kColumnLabelSize);
    while (labels.size * kUprightWidth + 2.0 > L.pitch * static_cast<double>(labels.every))
      ++labels.every;
  }
  for (std::size_t k = 0; k < columns; k += labels.every) {
    labels.extent = std::max(labels.extent, L.upright ? text_width(column_names[k], labels.size)
                                                      : labels.size * kLineHeight);
  }
  return labels;
}

// The title in at most two lines of `line_room` px; none when not asked.
std::vector<std::string> title_lines(const PlotOptions& options, std::size_t cycles,
                                     double line_room) {
  std::vector<std::string> lines;
  if (options.no_title) return lines;
  const std::string title = options.has_title
                                ? options.title
                                : "Gibbs energy profiles of " + std::to_string(cycles) + " cycles";
  lines = wrap(title, kTitleSize, line_room, true);
  if (lines.size() > 2) {
    for (std::size_t k = 2; k < lines.size(); ++k) lines[1] += " " + lines[k];
    lines.resize(2);
  }
  for (std::string& line : lines) line = fit_width(line, kTitleSize, line_room, true);
  return lines;
}

// A cycle's row of the legend: its name's baseline, the name as written,
// and whether its figures go on a line of their own under it.
struct Row {
  double y;
  std::string name;
  bool figures_below;
  bool span_below = false;  // the span's figures on a further line
};

// The legend's rows, the first a line under `y`; moves `y` to the last
// line's baseline. A name that leaves the figures too little room is
// shortened, or gets the line to itself.
std::vector<Row> legend_rows(const std::vector<Cycle>& cycles, double line_room, double& y) {
  std::vector<Row> rows;
  const double text_room = line_room - kLegendIndent;
  for (const Cycle& c : cycles) {
    const double figures = width(c.figures, kLegendSize);
    y += kLegendLine;
    Row row{y, "", false};
    // The name is measured with kBoldSlack to spare: long bold names are
    // drawn wider than the estimate in some faces.
    const double name_room = (text_room - figures - kLegendFiguresGap) / kBoldSlack;
    if (name_room >= text_width("\u2026ab.txt", kLegendSize, true) &&
        text_width(shorten(c.name, kMaxNameLength), kLegendSize, true) <= name_room) {
      row.name = shorten(c.name, kMaxNameLength);
    } else if (name_room >= text_room / 2) {
      row.name = fit_width(shorten(c.name, kMaxNameLength), kLegendSize, name_room, true);
    } else {
      row.name = fit_width(shorten(c.name, kMaxNameLength), kLegendSize, text_room, true);
      row.figures_below = true;
      y += kLegendLine;
      // Figures too wide for the line: the span on a line of its own.
      if (width(c.figures, kLegendSize) > text_room && c.figures.size() > 1) {
        row.span_below = true;
        y += kLegendLine;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

// The notes under the plot, wrapped to `line_room` px: what the thick
// levels mean, then why the columns bear default names, why some are not
// named, and how many states lie outside the range drawn.
std::vector<std::string> note_lines(bool differ, std::size_t every, std::size_t outside,
                                    const Layout& L, double line_room) {
  std::vector<std::string> notes = {
      "Energies in kcal/mol. The thick levels are each cycle's TDI and TDTS, named in the "
      "legend; each cycle's last level, in the last column, is its first intermediate of the "
      "next turn."};
  if (differ)
    notes.push_back(
        "The cycles name their states differently; the columns bear the default names.");
  if (every > 1)
    notes.push_back("Only every " + std::to_string(every) +
                    "th column is named: too many for the width.");
  if (outside > 0) {
    notes.push_back(std::to_string(outside) + " state" + (outside == 1 ? "" : "s") +
                    " outside the energy range drawn (" + energy_text(L.lo) + " to " +
                    energy_text(L.hi) + " kcal/mol) cut off at the plot's edge.");
  }
  std::vector<std::string> lines;
  for (const std::string& note : notes)
    for (std::string& line : wrap(note, kNoteSize, line_room)) lines.push_back(line);
  return lines;
}

// Sets the plot area's bottom, the axis title's and the notes' baselines,
// the canvas's height (at least `min_height`; a taller canvas gets a
// taller plot area) and the energy scale, L.top set.
void set_heights(double label_extent, std::size_t note_lines, double min_height, Layout& L) {
  L.bottom = L.top + (L.width < kMinCanvas ? std::clamp(L.width * kNarrowOverlayShare,
                                                        kNarrowOverlayMin, kOverlayPlotHeight)
                                           : kOverlayPlotHeight);
  auto finish = [&]() {
    L.axis_title_y = L.bottom + kColumnLabelGap + label_extent + kAxisTitleGap;
    L.notes_y = L.axis_title_y + kNotesGap;
    L.height = L.notes_y + kNoteLine * static_cast<double>(note_lines) + kBottom;
  };
  finish();
  if (min_height > L.height) {
    L.bottom += min_height - L.height;
    finish();
  }
  L.base = L.bottom - kPad;
  L.scale = L.bottom - L.top - 2 * kPad;
}

// Everything the overlay draws, laid out.
struct Overlay {
  std::vector<Cycle> cycles;
  Columns columns;
  ColumnLabels column_labels;
  Layout L;
  std::vector<std::string> title_lines;
  std::vector<Row> rows;
  std::vector<std::string> note_lines;
  std::string x_title, y_title;  // as the user gave them
};

// The overlay of `runs` laid out: `asked` are the layout's options, `options`
// say what title it bears.
Overlay lay_out_overlay(const std::vector<const Run*>& runs, const PlotOptions& options,
                        const LayoutOptions& asked) {
  Overlay o;
  o.cycles = make_cycles(runs, options.labels);
  o.x_title = options.xlabel;
  o.y_title = options.ylabel;
  o.columns = name_columns(o.cycles);
  Layout& L = o.L;
  const std::size_t outside = set_energy_range(o.cycles, asked, L);
  o.column_labels = size_columns(o.columns.names, asked, L);
  // Head: the title, then a legend row per cycle.
  const double line_room = (L.width - 2 * kMargin) * kTextRoomShare;
  o.title_lines = title_lines(options, runs.size(), line_room);
  double y =
      o.title_lines.empty()
          ? kMargin
          : kTitleBaseline + kTitleLine * static_cast<double>(o.title_lines.size() - 1) + 8.0;
  o.rows = legend_rows(o.cycles, line_room, y);
  L.top = y + kPlotGap;
  o.note_lines = note_lines(o.columns.differ, o.column_labels.every, outside, L, line_room);
  set_heights(o.column_labels.extent, o.note_lines.size(), asked.min_height, L);
  return o;
}

std::string dash_attribute(const Look& lk) {
  return *lk.dash ? std::string(" stroke-dasharray=\"") + lk.dash + "\"" : std::string();
}

// The title's lines, the first with the id "title".
void write_title(std::string& out, const std::vector<std::string>& title_lines) {
  for (std::size_t k = 0; k < title_lines.size(); ++k) {
    out += "<text" + std::string(k == 0 ? " id=\"title\"" : "") + " class=\"title\" x=\"" +
           num(kMargin) + "\" y=\"" + num(kTitleBaseline + kTitleLine * static_cast<double>(k)) +
           "\" font-size=\"" + num(kTitleSize) + "\" font-weight=\"bold\">" +
           xml_escape(title_lines[k]) + "</text>\n";
  }
}

// The figures' text, exponents raised and smaller.
void write_pieces(std::string& out, const std::vector<Piece>& pieces) {
  double level = 0.0;
  for (const Piece& p : pieces) {
    const double target = p.shift == Shift::up ? -kExponentRise : 0.0;
    if (target == level && p.shift == Shift::none) {
      out += xml_escape(p.text);
      continue;
    }
    out += "<tspan";
    if (target != level) out += " dy=\"" + num(target - level) + "\"";
    if (p.shift != Shift::none) out += " font-size=\"" + num(kExponentSize) + "\"";
    out += '>';
    out += xml_escape(p.text);
    out += "</tspan>";
    level = target;
  }
}

// The legend: per cycle its sample line and marker, its name in bold and
// its figures, beside the name or under it.
void write_legend(std::string& out, const std::vector<Cycle>& cycles,
                  const std::vector<Row>& rows) {
  out += "<g id=\"legend\">\n";
  for (std::size_t k = 0; k < cycles.size(); ++k) {
    const Look lk = look(k);
    const Row& row = rows[k];
    const double mid = row.y - kMiddleToBaseline;
    out += "<line class=\"sample\" x1=\"" + num(kMargin) + "\" y1=\"" + num(mid) + "\" x2=\"" +
           num(kMargin + kLegendSample) + "\" y2=\"" + num(mid) + "\" stroke=\"" + lk.colour +
           "\" stroke-width=\"2\"" + dash_attribute(lk) + "/>\n";
    out += marker(lk.marker, kMargin + kLegendSample / 2, mid, lk.colour);
    const double x = kMargin + kLegendIndent;
    out += "<text class=\"legend-name\" x=\"" + num(x) + "\" y=\"" + num(row.y) +
           "\" font-size=\"" + num(kLegendSize) + "\" font-weight=\"bold\">" +
           xml_escape(row.name) + "</text>\n";
    const double fx = row.figures_below ? x
                                        : x + kBoldSlack * text_width(row.name, kLegendSize, true) +
                                              kLegendFiguresGap;
    const double fy = row.figures_below ? row.y + kLegendLine : row.y;
    out += "<text class=\"legend-figures\" x=\"" + num(fx) + "\" y=\"" + num(fy) +
           "\" font-size=\"" + num(kLegendSize) + "\" xml:space=\"preserve\" fill=\"" +
           kLegendColour + "\">";
    std::vector<Piece> figures = cycles[k].figures, span;
    if (row.span_below) {
      span.push_back(figures.back());
      figures.pop_back();
      span.front().text.erase(0, span.front().text.find_first_not_of(' '));
    }
    write_pieces(out, figures);
    out += "</text>\n";
    if (row.span_below) {
      out += "<text class=\"legend-figures\" x=\"" + num(fx) + "\" y=\"" + num(fy + kLegendLine) +
             "\" font-size=\"" + num(kLegendSize) + "\" fill=\"" + kLegendColour + "\">";
      write_pieces(out, span);
      out += "</text>\n";
    }
  }
  out += "</g>\n";
}

// The middle of column k.
double column_x(const Layout& L, std::size_t k) {
  return L.axis_x + kColumnsStart + L.pitch * (static_cast<double>(k) + 0.5);
}

// The column labels, every `every`-th, flat or upright.
void write_column_labels(std::string& out, const std::vector<std::string>& column_names,
                         const ColumnLabels& labels, const Layout& L) {
  for (std::size_t k = 0; k < column_names.size(); k += labels.every) {
    const double x = column_x(L, k);
    const double top = L.bottom + kColumnLabelGap;
    if (L.upright) {
      out += "<text class=\"column\" transform=\"translate(" +
             num(x + labels.size * kUprightShift) + "," + num(top) +
             ") rotate(-90)\" text-anchor=\"end\" font-size=\"" + num(labels.size) + "\">" +
             xml_escape(column_names[k]) + "</text>\n";
    } else {
      out += "<text class=\"column\" x=\"" + num(x) + "\" y=\"" +
             num(top + labels.size * (kLineHeight - kDescent)) +
             "\" text-anchor=\"middle\" font-size=\"" + num(labels.size) + "\">" +
             xml_escape(column_names[k]) + "</text>\n";
    }
  }
}

// The axes with their ticks and titles, and the column labels.
void write_axes(std::string& out, const Overlay& o) {
  const Layout& L = o.L;
  const std::string stroke = "stroke=\"#000\" stroke-width=\"1\"";
  out += "<g id=\"axis\" font-size=\"" + num(kTickLabelSize) + "\">\n";
  out += "<line x1=\"" + num(L.axis_x) + "\" y1=\"" + num(L.top) + "\" x2=\"" + num(L.axis_x) +
         "\" y2=\"" + num(L.bottom) + "\" " + stroke + "/>\n";
  out += "<line x1=\"" + num(L.axis_x) + "\" y1=\"" + num(L.bottom) + "\" x2=\"" +
         num(L.width - kMargin) + "\" y2=\"" + num(L.bottom) + "\" " + stroke + "/>\n";
  for (const Tick& t : make_ticks(L)) {
    out += "<line class=\"tick\" x1=\"" + num(L.axis_x - kTickLength) + "\" y1=\"" + num(t.y) +
           "\" x2=\"" + num(L.axis_x) + "\" y2=\"" + num(t.y) + "\" " + stroke + "/>\n";
    out += "<text class=\"tick-label\" x=\"" + num(L.axis_x - kTickLabelGap) + "\" y=\"" +
           num(t.y + kMiddleToBaseline) + "\" text-anchor=\"end\">" + xml_escape(t.text) +
           "</text>\n";
  }
  write_column_labels(out, o.columns.names, o.column_labels, L);
  out += axis_titles(L, o.x_title, o.y_title);
  out += "</g>\n";
}

// Cycle k of `n_cycles`: its connectors, then its levels (its TDI and TDTS
// thick), each with the cycle's marker, the markers of the cycles side by
// side along the level.
void write_cycle(std::string& out, const Cycle& c, std::size_t k, double n_cycles,
                 const Layout& L) {
  const Look lk = look(k);
  out += "<g class=\"cycle\" id=\"cycle-" + std::to_string(k + 1) + "\" stroke=\"" + lk.colour +
         "\">\n";
  for (std::size_t s = 0; s + 1 < c.energies.size(); ++s) {
    if (!std::isfinite(c.energies[s]) || !std::isfinite(c.energies[s + 1])) continue;
    out += "<line class=\"connector\" x1=\"" + num(column_x(L, c.columns[s]) + L.bar / 2) +
           "\" y1=\"" + num(to_y(L, c.energies[s])) + "\" x2=\"" +
           num(column_x(L, c.columns[s + 1]) - L.bar / 2) + "\" y2=\"" +
           num(to_y(L, c.energies[s + 1])) + "\" stroke-width=\"" + num(kConnectorWidth) + "\"" +
           dash_attribute(lk) + "/>\n";
  }
  for (std::size_t s = 0; s < c.energies.size(); ++s) {
    if (!std::isfinite(c.energies[s])) continue;
    const bool marked = c.span_known && (s == c.tdi || s == c.tdts);
    const double x = column_x(L, c.columns[s]), ys = to_y(L, c.energies[s]);
    out += "<line class=\"level" + std::string(marked ? " marked" : "") + "\" x1=\"" +
           num(x - L.bar / 2) + "\" y1=\"" + num(ys) + "\" x2=\"" + num(x + L.bar / 2) +
           "\" y2=\"" + num(ys) + "\" stroke-width=\"" + num(marked ? kMarkedWidth : kLevelWidth) +
           "\"/>\n";
    const double mx = x - L.bar / 2 + L.bar * (static_cast<double>(k) + 0.5) / n_cycles;
    out += marker(lk.marker, mx, ys, lk.colour);
  }
  out += "</g>\n";
}

// The profiles, clipped to the plot area.
void write_profiles(std::string& out, const std::vector<Cycle>& cycles, const Layout& L) {
  out += "<clipPath id=\"plot-area\"><rect x=\"" + num(L.axis_x) + "\" y=\"" + num(L.top) +
         "\" width=\"" + num(L.width - kMargin - L.axis_x) + "\" height=\"" +
         num(L.bottom - L.top) + "\"/></clipPath>\n";
  out += "<g id=\"profiles\" clip-path=\"url(#plot-area)\">\n";
  const double n_cycles = static_cast<double>(cycles.size());
  for (std::size_t k = 0; k < cycles.size(); ++k) write_cycle(out, cycles[k], k, n_cycles, L);
  out += "</g>\n";
}

void write_notes(std::string& out, const std::vector<std::string>& note_lines, const Layout& L) {
  out += "<g id=\"notes\" font-size=\"" + num(kNoteSize) + "\" fill=\"#444\">\n";
  double ny = L.notes_y;
  for (const std::string& line : note_lines) {
    out +=
        "<text x=\"" + num(kMargin) + "\" y=\"" + num(ny) + "\">" + xml_escape(line) + "</text>\n";
    ny += kNoteLine;
  }
  out += "</g>\n";
}

}  // namespace

Look look(std::size_t k) {
  return {kColours[k % 8], kDashes[(k + k / 8) % 8],
          static_cast<int>((k + 2 * (k / 8)) % kMarkers)};
}

std::string render_overlay(const std::vector<const Run*>& runs, const PlotOptions& options) {
  const Fit fit = fit_options(options);
  const Overlay o = lay_out_overlay(runs, options, fit.layout);
  std::string out;
  std::string description;
  for (const Cycle& c : o.cycles)
    description += (description.empty() ? "" : "; ") + c.name + ": " + plain(c.figures);
  write_document_head(
      out, o.L.width, o.L.height, fit.scale,
      o.title_lines.empty() ? std::string("Gibbs energy profiles") : o.title_lines[0], description);
  write_title(out, o.title_lines);
  write_legend(out, o.cycles, o.rows);
  write_axes(out, o);
  write_profiles(out, o.cycles, o.L);
  write_notes(out, o.note_lines, o.L);
  out += "</svg>\n";
  return out;
}

}  // namespace kinex::plot

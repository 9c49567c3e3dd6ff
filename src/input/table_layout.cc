// The layout of a table's columns, from its header, and the reading of a
// row under it.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

#include "input/table.h"
#include "input/table_internal.h"
#include "model/uncertainty.h"
#include "text/strings.h"

namespace kinex::table_detail {
namespace {

using text::trimmed;

// A sigma column's header: "sigma" or "\u03c3" (every state), or either
// followed by a state's name in parentheses, "sigma(TS1)" (blanks allowed
// before the parenthesis). Only these: "sigma-complex" names a state.
bool sigma_header(const std::string& header, std::string& state) {
  std::string rest;
  if (text::ascii_lower(header.substr(0, 5)) == "sigma") {
    rest = header.substr(5);
  } else if (header.compare(0, 2, "\xcf\x83") == 0) {
    rest = header.substr(2);
  } else {
    return false;
  }
  const std::size_t open = rest.find_first_not_of(' ');
  if (open == std::string::npos) {
    state.clear();
    return true;
  }
  if (rest[open] != '(' || rest.back() != ')' || rest.size() - open < 3) return false;
  state = trimmed(rest.substr(open + 1, rest.size() - open - 2));
  return !state.empty();
}

// "[Rk]" / "[Pk]" (R, P any case): k, else 0.
int64_t concentration_step(const std::string& header, char letter) {
  if (header.size() < 4 || header.front() != '[' || header.back() != ']') return 0;
  if (text::ascii_lower(header.substr(1, 1))[0] != letter) return 0;
  const std::string digits = header.substr(2, header.size() - 3);
  int64_t k = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
  if (ec != std::errc() || end != digits.data() + digits.size() || k < 1) return 0;
  return k;
}

Column classify(const std::string& raw) {
  const std::string header = trimmed(raw);
  const std::string low = text::ascii_lower(header);
  Column column{Kind::state, header, 0, {}};
  std::string unit_free = low;  // "t/k", "t (k)", "temperature [k]" -> the name alone
  unit_free.erase(std::remove(unit_free.begin(), unit_free.end(), ' '), unit_free.end());
  for (const char* unit : {"/k", "(k)", "[k]"}) {
    const std::string u = unit;
    if (unit_free.size() > u.size() && unit_free.ends_with(u)) {
      unit_free.resize(unit_free.size() - u.size());
    }
  }
  if (unit_free == "t" || unit_free == "temperature") {
    column.kind = Kind::temperature;
  } else if (sigma_header(header, column.state)) {
    column.kind = Kind::sigma;
  } else if (low.find("descriptor") != std::string::npos) {
    column.kind = Kind::descriptor;
  } else if ((column.step = concentration_step(header, 'r')) > 0) {
    column.kind = Kind::reactant;
  } else if ((column.step = concentration_step(header, 'p')) > 0) {
    column.kind = Kind::product;
  } else if (header.find("TS") != std::string::npos) {
    column.kind = Kind::transition;
  }
  return column;
}

}  // namespace

std::string located(const std::string& path, int64_t line, int64_t column,
                    const std::string& reason, ErrorPlace& place) {
  place = ErrorPlace{path, line, line > 0 ? column : 0, reason};
  std::string text = path;
  text += ':';
  if (line > 0) {
    text += std::to_string(line);
    text += ':';
    if (column > 0) {
      text += std::to_string(column);
      text += ':';
    }
  }
  text += ' ';
  text += reason;
  return text;
}

namespace {

// A text as a diagnostic quotes it: whole up to 60 bytes, else its first
// 60 (not cutting a UTF-8 character) and how long it is.
std::string excerpt(const std::string& text) {
  constexpr std::size_t kBytes = 60;
  if (text.size() <= kBytes) return text;
  std::size_t cut = kBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  std::string cut_text = text.substr(0, cut);
  cut_text += "... (";
  cut_text += std::to_string(text.size());
  cut_text += " bytes)";
  return cut_text;
}

std::string quoted_header(const std::string& header) {
  std::string text(1, '"');
  text += excerpt(header);
  text += '"';
  return text;
}

// The number in `cell`, or the reason it is none (for a chemist).
std::optional<double> number(const std::string& raw, const std::string& what, std::string& reason) {
  std::string cell = trimmed(raw);
  if (cell.empty()) {
    reason = what + " is empty; every value must be given";
    return std::nullopt;
  }
  if (cell.size() > 1 && cell[0] == '+' && cell[1] != '-') cell.erase(0, 1);
  double x = 0.0;
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), x);
  if (ec == std::errc() && end == cell.data() + cell.size()) {
    if (std::isfinite(x)) return x;
    reason = what + " '" + excerpt(cell) + "' is not a finite number";
    return std::nullopt;
  }
  if (ec == std::errc::result_out_of_range) {
    reason = what + " '" + excerpt(cell) + "' is out of the range of numbers";
    return std::nullopt;
  }
  std::string dotted = cell;
  std::replace(dotted.begin(), dotted.end(), ',', '.');
  if (dotted != cell && std::from_chars(dotted.data(), dotted.data() + dotted.size(), x).ptr ==
                            dotted.data() + dotted.size()) {
    reason = what + " '" + excerpt(cell) +
             "' has a decimal comma; write it with a decimal point (" + excerpt(dotted) + ")";
  } else {
    reason = what + " '" + excerpt(cell) + "' is not a number";
  }
  return std::nullopt;
}

}  // namespace

bool read_header(const std::string& path, const Record& header, Layout& layout, std::string& error,
                 ErrorPlace& place) {
  const auto fail = [&](std::size_t column, const std::string& reason) {
    error = located(path, header.line, static_cast<int64_t>(column) + 1, reason, place);
    return false;
  };
  if (header.cells.size() < 3) {
    error = located(path, header.line, 0,
                    "the header needs the catalyst's name and at least two states "
                    "(an intermediate and the final state)",
                    place);
    return false;
  }
  layout.columns.push_back(Column{Kind::name, trimmed(header.cells[0]), 0, {}});
  for (std::size_t c = 1; c < header.cells.size(); ++c) {
    Column column = classify(header.cells[c]);
    if (column.header.empty()) return fail(c, "the column has no header");
    if (column.kind == Kind::temperature) {
      if (layout.temperature) return fail(c, "a second temperature column");
      layout.temperature = c;
    }
    if (column.kind == Kind::state || column.kind == Kind::transition) layout.states.push_back(c);
    layout.columns.push_back(std::move(column));
  }
  if (layout.states.size() < 2) {
    return fail(header.cells.size() - 1,
                "the table needs at least two state columns (an intermediate and the final "
                "state)");
  }
  Column& last = layout.columns[layout.states.back()];
  if (text::ascii_lower(last.header) == "deltag") {
    last.kind = Kind::deltaG;
  } else if (last.kind == Kind::transition) {
    return fail(layout.states.back(), quoted_header(last.header) +
                                          " is a transition state, but the last state column is "
                                          "the final state (or DeltaG)");
  } else {
    last.kind = Kind::final_state;
  }
  if (layout.columns[layout.states.front()].kind == Kind::transition) {
    return fail(layout.states.front(),
                quoted_header(layout.columns[layout.states.front()].header) +
                    " is a transition state, but the cycle starts with an intermediate");
  }
  for (std::size_t k = 1; k + 1 < layout.states.size(); ++k) {
    const Column& a = layout.columns[layout.states[k - 1]];
    const Column& b = layout.columns[layout.states[k]];
    if (a.kind == Kind::transition && b.kind == Kind::transition) {
      return fail(layout.states[k], "two transition states in a row, " + quoted_header(a.header) +
                                        " (column " + std::to_string(layout.states[k - 1] + 1) +
                                        ") and " + quoted_header(b.header) + " (column " +
                                        std::to_string(layout.states[k] + 1) +
                                        "); an intermediate must come between them");
    }
  }
  for (std::size_t k = 0; k + 1 < layout.states.size(); ++k) {
    if (layout.columns[layout.states[k]].kind == Kind::state) ++layout.n;
  }
  for (std::size_t c = 1; c < layout.columns.size(); ++c) {
    const Column& column = layout.columns[c];
    if (column.kind != Kind::sigma || column.state.empty() || column.state == "final") continue;
    const bool named = std::any_of(layout.states.begin(), layout.states.end(), [&](std::size_t s) {
      return layout.columns[s].header == column.state && layout.columns[s].kind != Kind::deltaG;
    });
    if (!named) {
      return fail(c, quoted_header(column.header) + " is of " + quoted_header(column.state) +
                         ", which is no state column of the table (the final state also as "
                         "\"final\")");
    }
  }
  std::vector<bool> seen_r(static_cast<std::size_t>(layout.n) + 1, false);
  std::vector<bool> seen_p(seen_r);
  for (std::size_t c = 1; c < layout.columns.size(); ++c) {
    const Column& column = layout.columns[c];
    if (column.kind != Kind::reactant && column.kind != Kind::product) continue;
    if (column.step > layout.n) {
      return fail(c, quoted_header(column.header) + " names step " + std::to_string(column.step) +
                         ", but the cycle has " + std::to_string(layout.n) + " steps");
    }
    std::vector<bool>& seen = column.kind == Kind::reactant ? seen_r : seen_p;
    if (seen[static_cast<std::size_t>(column.step)]) {
      return fail(c, "a second column " + quoted_header(column.header));
    }
    seen[static_cast<std::size_t>(column.step)] = true;
  }
  return true;
}

// The row `record` under `layout`; false with the diagnostic in row.error.
bool read_row(const std::string& path, const Layout& layout, const Record& record, double default_T,
              TableRow& row) {
  row.row = record.line;
  const auto fail = [&](std::size_t column, const std::string& reason) {
    row.error = located(path, record.line, static_cast<int64_t>(column) + 1, reason, row.place);
    return false;
  };
  const std::size_t width = layout.columns.size();
  if (record.cells.size() < width) {
    return fail(record.cells.size(), "the row has " + std::to_string(record.cells.size()) +
                                         " cells, the header " + std::to_string(width) + " (" +
                                         quoted_header(layout.columns[record.cells.size()].header) +
                                         " and after are missing)");
  }
  if (record.cells.size() > width) {
    return fail(width, "the row has " + std::to_string(record.cells.size()) +
                           " cells, the header only " + std::to_string(width));
  }
  row.name = trimmed(record.cells[0]);
  if (row.name.empty()) return fail(0, "the catalyst has no name (column 1 is empty)");

  std::string reason;
  const auto value = [&](std::size_t c, const std::string& what) {
    return number(record.cells[c], what, reason);
  };
  const auto state_what = [&](std::size_t c) {
    return "the energy of " + quoted_header(layout.columns[c].header);
  };

  const auto n = static_cast<std::size_t>(layout.n);
  Cycle& cycle = row.cycle;
  cycle.n = layout.n;
  cycle.T = default_T;
  cycle.G_int.assign(n, 0.0);
  cycle.G_ts.assign(n + 1, 0.0);
  cycle.conc_reac.assign(n + 1, 1.0);
  cycle.conc_prod.assign(n + 1, 1.0);
  cycle.has_reac.assign(n + 1, false);
  cycle.has_prod.assign(n + 1, false);
  row.names.intermediate.clear();
  row.names.transition.assign(1, "");

  // The states in order: intermediates start the steps; a step's transition
  // state is its own or the higher of its two intermediates.
  bool has_ts = false;  // the step's own transition state came
  double pending_G = 0.0;
  std::string pending_name;
  std::size_t k = 0;
  for (std::size_t s = 0; s + 1 < layout.states.size(); ++s) {
    const std::size_t c = layout.states[s];
    const std::optional<double> G = value(c, state_what(c));
    if (!G) return fail(c, reason);
    const Column& column = layout.columns[c];
    if (column.kind == Kind::transition) {
      has_ts = true;
      pending_G = *G;
      pending_name = column.header;
      continue;
    }
    if (k > 0) {
      const double before = cycle.G_int[k - 1];
      cycle.G_ts[k] = has_ts ? pending_G : std::max(before, *G);
      row.names.transition.push_back(has_ts ? pending_name
                                            : "TS(" + row.names.intermediate[k - 1] + "->" +
                                                  column.header + ")");
    }
    has_ts = false;
    cycle.G_int[k] = *G;
    row.names.intermediate.push_back(column.header);
    ++k;
  }
  const std::size_t last = layout.states.back();
  const std::optional<double> end_value =
      value(last, layout.columns[last].kind == Kind::deltaG ? "DeltaG" : state_what(last));
  if (!end_value) return fail(last, reason);
  const double final_G =
      layout.columns[last].kind == Kind::deltaG ? cycle.G_int[0] + *end_value : *end_value;
  cycle.DeltaG = layout.columns[last].kind == Kind::deltaG ? *end_value : final_G - cycle.G_int[0];
  const std::string final_name = layout.columns[last].kind == Kind::deltaG
                                     ? row.names.intermediate[0] + "'"
                                     : layout.columns[last].header;
  cycle.G_ts[n] = has_ts ? pending_G : std::max(cycle.G_int[n - 1], final_G);
  row.names.transition.push_back(
      has_ts ? pending_name : "TS(" + row.names.intermediate[n - 1] + "->" + final_name + ")");
  if (layout.columns[last].kind == Kind::final_state) row.names.final_state = final_name;

  for (std::size_t c = 1; c < width; ++c) {
    const Column& column = layout.columns[c];
    const std::string cell = trimmed(record.cells[c]);
    if (column.kind == Kind::temperature) {
      const std::optional<double> T = value(c, "the temperature");
      if (!T) return fail(c, reason + " (in K)");
      cycle.T = *T;
    } else if (column.kind == Kind::reactant || column.kind == Kind::product) {
      if (cell.empty() || cell == "x" || cell == "X") continue;
      const bool reactant = column.kind == Kind::reactant;
      const std::optional<double> conc =
          value(c, std::string("the ") + (reactant ? "reactant" : "product") + " concentration " +
                       quoted_header(column.header));
      if (!conc) return fail(c, reason + " (or x for none)");
      const auto at = static_cast<std::size_t>(column.step);
      (reactant ? cycle.conc_reac : cycle.conc_prod)[at] = *conc;
      (reactant ? cycle.has_reac : cycle.has_prod)[at] = true;
    } else if (column.kind == Kind::descriptor) {
      if (cell.empty()) continue;
      const std::optional<double> d = value(c, "the descriptor " + quoted_header(column.header));
      if (!d) return fail(c, reason);
      row.descriptors.push_back(Descriptor{column.header, *d});
    } else if (column.kind == Kind::sigma) {
      if (cell.empty()) continue;
      const std::optional<double> sigma = value(c, "the sigma " + quoted_header(column.header));
      if (!sigma) return fail(c, reason + " (kcal/mol)");
      if (!is_sigma(*sigma)) {
        return fail(c, "the sigma " + quoted_header(column.header) + " is " + excerpt(cell) +
                           "; a sigma is at least 0 (kcal/mol)");
      }
      row.sigmas.push_back(StateSigma{column.state, *sigma});
    }
  }
  row.ok = true;
  return true;
}

}  // namespace kinex::table_detail

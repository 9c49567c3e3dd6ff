// The least-squares lines of the states against the descriptor: the
// descriptor chosen, the rows gathered, every state's line fitted, and the
// cycle the lines give at a value of the descriptor.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "outputs/format.h"
#include "outputs/state_names.h"
#include "text/strings.h"
#include "volcano/volcano.h"
#include "volcano/volcano_internal.h"

namespace kinex {
namespace volcano_detail {

std::string in_quotes(const std::string& text) {
  std::string q = "\"";
  q += text;
  q += '"';
  return q;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

namespace {

double mean_of(const std::vector<double>& v) {
  double sum = 0.0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

}  // namespace

Spread spread_of(const std::vector<double>& x) {
  Spread spread{mean_of(x), 0.0};
  for (double v : x) spread.sxx += (v - spread.mean) * (v - spread.mean);
  return spread;
}

}  // namespace volcano_detail

using namespace volcano_detail;

namespace {

// The final state as the table reader names it within an implied
// transition state (with an ASCII prime for a DeltaG column).
std::string final_name(const StateNames& names) {
  if (!names.final_state.empty()) return names.final_state;
  std::string name = names.intermediate.empty() ? std::string("I0") : names.intermediate[0];
  name += '\'';
  return name;
}

// The name the reader gives the implied transition state of step i.
std::string implied_name(const StateNames& names, std::size_t i) {
  std::string name = "TS(";
  name += names.intermediate[i - 1];
  name += "->";
  name += i < names.intermediate.size() ? names.intermediate[i] : final_name(names);
  name += ')';
  return name;
}

// The fitted states of a row's layout, in cycle order, with their names.
void layout_states(const StateNames& names, std::vector<FittedState>& states,
                   std::vector<std::string>& labels) {
  const std::size_t n = names.intermediate.size();
  for (std::size_t k = 0; k < n; ++k) {
    states.push_back({FittedState::Kind::intermediate, static_cast<int64_t>(k)});
    labels.push_back(names.intermediate[k]);
    if (names.transition[k + 1] != implied_name(names, k + 1)) {
      states.push_back({FittedState::Kind::transition, static_cast<int64_t>(k + 1)});
      labels.push_back(names.transition[k + 1]);
    }
  }
  states.push_back({FittedState::Kind::final_state, 0});
  labels.push_back(final_state_name(names));
}

double state_energy(const Cycle& cycle, const FittedState& state) {
  switch (state.kind) {
    case FittedState::Kind::intermediate:
      return cycle.G_int[static_cast<std::size_t>(state.step)];
    case FittedState::Kind::transition:
      return cycle.G_ts[static_cast<std::size_t>(state.step)];
    case FittedState::Kind::final_state:
      break;
  }
  return cycle.G_int[0] + cycle.DeltaG;
}

bool constant(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [&](double x) { return x == v[0]; });
}

LineFit fit_line(const std::string& state, const std::vector<double>& x,
                 const std::vector<double>& y) {
  const std::size_t m = x.size();
  const auto [mx, sxx] = spread_of(x);
  const double my = mean_of(y);
  double sxy = 0.0, syy = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    sxy += (x[r] - mx) * (y[r] - my);
    syy += (y[r] - my) * (y[r] - my);
  }
  LineFit fit;
  fit.state = state;
  fit.slope = sxy / sxx;
  fit.intercept = my - fit.slope * mx;
  double sse = 0.0, sae = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    const double e = y[r] - (fit.intercept + fit.slope * x[r]);
    sse += e * e;
    sae += std::abs(e);
  }
  fit.r2 = syy > 0.0 ? 1.0 - sse / syy : 1.0;
  fit.mae = sae / static_cast<double>(m);
  const double s2 = m > 2 ? sse / static_cast<double>(m - 2) : 0.0;
  fit.residual_sd = std::sqrt(s2);
  fit.var_slope = s2 / sxx;
  fit.var_intercept = s2 * (1.0 / static_cast<double>(m) + mx * mx / sxx);
  fit.cov_intercept_slope = -s2 * mx / sxx;
  const double sd_y = std::sqrt(syy / static_cast<double>(m));
  if (m < 3) {
    fit.warning =
        "only " + std::to_string(m) + " rows: the line passes through them and shows no scatter";
  } else if (fit.r2 < 0.5 && sd_y > 0.1) {
    fit.warning =
        "R\u00b2 " + significant(fit.r2) + " is below 0.5: the line does not describe " + state;
  }
  return fit;
}

std::vector<double> column(const Matrix& energies, std::size_t s) {
  std::vector<double> v;
  for (const auto& row : energies) v.push_back(row[s]);
  return v;
}

// Whether two rows are under the same conditions; else the reason.
std::string same_conditions(const Cycle& a, const Cycle& b) {
  const auto given = [](bool has, double c) { return has ? shortest(c) : std::string("none"); };
  const ConditionDifference difference = condition_difference(a, b);
  const auto I = static_cast<std::size_t>(difference.step);
  switch (difference.what) {
    case ConditionDifference::What::none:
    case ConditionDifference::What::steps:  // told apart with the states before
      break;
    case ConditionDifference::What::temperature:
      return "temperature " + shortest(b.T) + " K, not " + shortest(a.T) + " K as";
    case ConditionDifference::What::reactant:
      return "reactant concentration " + given(b.has_reac[I], b.conc_reac[I]) + " at step " +
             std::to_string(difference.step) + ", not " + given(a.has_reac[I], a.conc_reac[I]) +
             " as";
    case ConditionDifference::What::product:
      return "product concentration " + given(b.has_prod[I], b.conc_prod[I]) + " at step " +
             std::to_string(difference.step) + ", not " + given(a.has_prod[I], a.conc_prod[I]) +
             " as";
  }
  return "";
}

// Every row read well, and at least one; else the reason.
bool rows_usable(const std::vector<TableRow>& rows, std::string& error) {
  for (const TableRow& row : rows) {
    if (!row.ok) {
      error = row.error;
      return false;
    }
  }
  if (rows.empty()) {
    error = "the table has no rows";
    return false;
  }
  return true;
}

// The descriptor asked for, as the table has it.
struct DescriptorChoice {
  std::string wanted;      // a Descriptor column, a state, or "auto"
  bool by_column = false;  // `wanted` is a Descriptor column
  bool is_state = false;   // `wanted` names a state
};

// `descriptor` (empty: the table's only Descriptor column, else auto)
// among the table's Descriptor columns and the states `labels`, with why
// the table chose it in fits.chosen_by; false with the reason when it
// names neither.
bool resolve_descriptor(const std::vector<TableRow>& rows, const std::vector<std::string>& labels,
                        const std::string& descriptor, VolcanoFits& fits, DescriptorChoice& choice,
                        std::string& error) {
  std::vector<std::string> descriptor_columns;
  for (const TableRow& row : rows) {
    for (const Descriptor& d : row.descriptors) {
      if (std::find(descriptor_columns.begin(), descriptor_columns.end(), d.name) ==
          descriptor_columns.end()) {
        descriptor_columns.push_back(d.name);
      }
    }
  }
  std::string wanted = descriptor;
  const std::string first_name = labels.empty() ? std::string() : labels.front();
  if (rows[0].names.final_state.empty() && wanted == first_name + "'") {
    wanted = labels.back();  // the final state of a DeltaG column, typed with '
  }
  if (rows[0].names.final_state.empty() && text::ascii_lower(wanted) == "deltag") {
    error = "DeltaG is the reaction energy, no state; the final state of the DeltaG column is " +
            labels.back() + " (G(" + first_name + ") + DeltaG): --descriptor '" + labels.back() +
            "'";
    return false;
  }
  if (wanted.empty()) {
    wanted = descriptor_columns.size() == 1 ? descriptor_columns[0] : "auto";
    fits.chosen_by = descriptor_columns.size() == 1 ? "the table's only descriptor column"
                     : descriptor_columns.empty()
                         ? ""
                         : "the table has " + std::to_string(descriptor_columns.size()) +
                               " Descriptor columns (" + joined(descriptor_columns) +
                               "), so none was taken (name one with --descriptor)";
  }
  const bool by_column = std::find(descriptor_columns.begin(), descriptor_columns.end(), wanted) !=
                         descriptor_columns.end();
  const auto state_at = std::find(labels.begin(), labels.end(), wanted);
  if (!by_column && wanted != "auto" && state_at == labels.end()) {
    error = "the descriptor " + in_quotes(wanted) +
            " is neither a Descriptor column nor a state column of the table; the Descriptor "
            "columns: " +
            (descriptor_columns.empty() ? std::string("none") : joined(descriptor_columns)) +
            "; the states: " + joined(labels) + " (or auto)";
    return false;
  }
  choice.wanted = wanted;
  choice.by_column = by_column;
  choice.is_state = state_at != labels.end();
  return true;
}

// The rows used (all, or those with a value of the descriptor column) into
// `fits`: their names, places, descriptor values (0 for a state) and
// energies, and their conditions; false with the reason when a row has
// other states or conditions than the first, or fewer than two are left.
bool gather_rows(const std::vector<TableRow>& rows, const DescriptorChoice& choice,
                 const std::string& subject, VolcanoFits& fits, std::string& error) {
  const std::string& wanted = choice.wanted;
  const bool by_column = choice.by_column;
  const TableRow* first = nullptr;
  std::vector<std::string> left_out;
  for (std::size_t index = 0; index < rows.size(); ++index) {
    const TableRow& row = rows[index];
    double x = 0.0;
    if (by_column) {
      const auto found = std::find_if(row.descriptors.begin(), row.descriptors.end(),
                                      [&](const Descriptor& d) { return d.name == wanted; });
      if (found == row.descriptors.end()) {
        left_out.push_back(row.name);
        continue;
      }
      x = found->value;
    }
    if (first == nullptr) {
      first = &row;
    } else {
      const std::string where = "row " + std::to_string(row.row) + " (" + row.name + ")";
      const std::string other = "row " + std::to_string(first->row) + " (" + first->name + ")";
      if (row.cycle.n != first->cycle.n || row.names.intermediate != first->names.intermediate ||
          row.names.transition != first->names.transition ||
          row.names.final_state != first->names.final_state) {
        error = where + " has other states or another number of steps than " + other;
        return false;
      }
      const std::string differs = same_conditions(first->cycle, row.cycle);
      if (!differs.empty()) {
        error = where + " has " + differs + " " + other + "; " + subject +
                " is for one set of conditions";
        return false;
      }
    }
    fits.rows.push_back(row.name);
    fits.used.push_back(index);
    fits.x.push_back(x);
    std::vector<double> E;
    for (const FittedState& state : fits.states) E.push_back(state_energy(row.cycle, state));
    fits.energies.push_back(std::move(E));
  }
  if (!left_out.empty()) {
    fits.warnings.push_back("rows without a value of " + in_quotes(wanted) +
                            " are left out: " + joined(left_out));
  }
  const std::size_t m = fits.rows.size();
  if (m < 2) {
    error =
        subject + " needs at least two catalysts with a value of the descriptor; " +
        std::string(by_column ? "the column " + in_quotes(wanted) + " has " : "the table has ") +
        std::to_string(m);
    return false;
  }
  fits.conditions = first->cycle;
  return true;
}

// Under auto, the state against which the other states' lines fit best
// (the highest mean R\u00b2) into `wanted`, why in fits.chosen_by; false
// when no state varies over the rows.
bool choose_auto(const std::vector<std::string>& labels, VolcanoFits& fits, std::string& wanted,
                 std::string& error) {
  const std::size_t S = fits.states.size();
  double best = -INFINITY, second = -INFINITY;
  std::size_t chosen = S, runner_up = S;
  for (std::size_t c = 0; c < S; ++c) {
    const std::vector<double> x = column(fits.energies, c);
    if (constant(x)) continue;
    double sum = 0.0;
    int64_t count = 0;
    for (std::size_t s = 0; s < S; ++s) {
      const std::vector<double> y = column(fits.energies, s);
      if (s == c || constant(y)) continue;
      sum += fit_line(labels[s], x, y).r2;
      ++count;
    }
    const double mean_r2 = count > 0 ? sum / static_cast<double>(count) : 1.0;
    if (mean_r2 > best) {
      second = best, runner_up = chosen;
      best = mean_r2, chosen = c;
    } else if (mean_r2 > second) {
      second = mean_r2, runner_up = c;
    }
  }
  if (chosen == S) {
    error = "no state varies over the rows, so none can serve as the descriptor";
    return false;
  }
  wanted = labels[chosen];
  std::string why = fits.chosen_by.empty() ? std::string() : fits.chosen_by + "; ";
  fits.chosen_by = why + "auto: " + wanted +
                   ", against which the other states' lines fit best (mean R\u00b2 " +
                   significant(best) + ")";
  if (runner_up != S) {
    fits.chosen_by += "; next " + labels[runner_up] + " (" + significant(second) + ")";
  }
  return true;
}

// Every state's line against fits.x, the warnings of the lines, and the
// covariance of the residuals.
void fit_states(const std::vector<std::string>& labels, VolcanoFits& fits) {
  const std::size_t S = fits.states.size(), m = fits.rows.size();
  for (std::size_t s = 0; s < S; ++s) {
    fits.fits.push_back(fit_line(labels[s], fits.x, column(fits.energies, s)));
    if (!fits.fits.back().warning.empty()) {
      fits.warnings.push_back(labels[s] + ": " + fits.fits.back().warning);
    }
  }
  fits.residual_covariance.assign(S, std::vector<double>(S, 0.0));
  if (m > 2) {
    for (std::size_t s = 0; s < S; ++s) {
      for (std::size_t t = 0; t < S; ++t) {
        double sum = 0.0;
        for (std::size_t r = 0; r < m; ++r) {
          const LineFit& fs = fits.fits[s];
          const LineFit& ft = fits.fits[t];
          sum += (fits.energies[r][s] - (fs.intercept + fs.slope * fits.x[r])) *
                 (fits.energies[r][t] - (ft.intercept + ft.slope * fits.x[r]));
        }
        fits.residual_covariance[s][t] = sum / static_cast<double>(m - 2);
      }
    }
  }
}

}  // namespace

std::vector<PlaneFit> planes_of(const VolcanoFits& fits) {
  std::vector<PlaneFit> planes;
  for (const LineFit& line : fits.fits) {
    planes.push_back({line.state, line.intercept, line.slope, 0.0, line.r2, line.mae,
                      line.residual_sd, line.warning});
  }
  return planes;
}

Cycle cycle_of(const VolcanoFits& fits, const std::vector<double>& E) {
  Cycle cycle = fits.conditions;
  const auto n = static_cast<std::size_t>(cycle.n);
  std::vector<bool> own_ts(n + 1, false);
  double final_G = 0.0;
  for (std::size_t s = 0; s < fits.states.size(); ++s) {
    const FittedState& state = fits.states[s];
    const auto at = static_cast<std::size_t>(state.step);
    if (state.kind == FittedState::Kind::intermediate) {
      cycle.G_int[at] = E[s];
    } else if (state.kind == FittedState::Kind::transition) {
      cycle.G_ts[at] = E[s];
      own_ts[at] = true;
    } else {
      final_G = E[s];
    }
  }
  for (std::size_t i = 1; i <= n; ++i) {
    if (own_ts[i]) continue;
    cycle.G_ts[i] = std::max(cycle.G_int[i - 1], i < n ? cycle.G_int[i] : final_G);
  }
  cycle.DeltaG = final_G - cycle.G_int[0];
  return cycle;
}

Cycle fitted_cycle(const VolcanoFits& fits, double x) {
  std::vector<double> E;
  for (const LineFit& fit : fits.fits) E.push_back(fit.intercept + fit.slope * x);
  return cycle_of(fits, E);
}

bool fit_volcano(const std::vector<TableRow>& rows, const std::string& descriptor,
                 VolcanoFits& fits, std::string& error, const std::string& subject) {
  fits = VolcanoFits{};
  if (!rows_usable(rows, error)) return false;
  std::vector<std::string> labels;
  layout_states(rows[0].names, fits.states, labels);
  fits.names = rows[0].names;
  DescriptorChoice choice;
  if (!resolve_descriptor(rows, labels, descriptor, fits, choice, error) ||
      !gather_rows(rows, choice, subject, fits, error)) {
    return false;
  }
  std::string wanted = choice.wanted;
  const bool by_column = choice.by_column;
  if (wanted == "auto" && !by_column && !choice.is_state &&
      !choose_auto(labels, fits, wanted, error)) {
    return false;
  }
  const std::size_t m = fits.rows.size();
  const auto state = std::find(labels.begin(), labels.end(), wanted);
  fits.descriptor = wanted;
  fits.descriptor_is_state = !by_column;
  if (fits.chosen_by.empty()) fits.chosen_by = "--descriptor " + wanted;
  if (!by_column) {
    const auto s = static_cast<std::size_t>(state - labels.begin());
    for (std::size_t r = 0; r < m; ++r) fits.x[r] = fits.energies[r][s];
  }
  if (constant(fits.x)) {
    error = "the descriptor " + in_quotes(wanted) + " is " + shortest(fits.x[0]) +
            " in every row; " + subject + " needs it to vary";
    return false;
  }
  fit_states(labels, fits);
  return true;
}

}  // namespace kinex

#include "uncertainty/screening.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <sstream>

#include "input/table.h"
#include "kinex/types.h"
#include "model/evaluate.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"
#include "text/shown_name.h"
#include "text/strings.h"
#include "text/text_file.h"

namespace kinex {
namespace {

using text::trimmed;

bool read_real(std::string_view text, double& x) {
  const std::string t = trimmed(text);
  if (t.empty()) return false;
  const char* end = t.data() + t.size();
  const auto [at, ec] = std::from_chars(t.data(), end, x);
  return ec == std::errc() && at == end;
}

std::string unquoted(std::string name) {
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
    name = name.substr(1, name.size() - 2);
    std::string plain;
    for (std::size_t k = 0; k < name.size(); ++k) {
      plain += name[k];
      if (name[k] == '"' && k + 1 < name.size() && name[k + 1] == '"') ++k;
    }
    return plain;
  }
  return name;
}

// The name and the sigma of one line: split at its last comma or tab, else
// at its last run of blanks.
bool split_pair(const std::string& line, std::string& name, std::string& sigma) {
  std::size_t at = line.find_last_of(",\t");
  std::size_t next = at + 1;
  if (at == std::string::npos) {
    const std::size_t end = line.find_last_not_of(" ");
    at = line.find_last_of(' ', end);
    if (at == std::string::npos) return false;
    next = at + 1;
    at = line.find_last_not_of(' ', at);
    if (at == std::string::npos) return false;
    ++at;
  }
  name = unquoted(trimmed(std::string_view(line).substr(0, at)));
  sigma = trimmed(std::string_view(line).substr(next));
  return !name.empty();
}

}  // namespace

std::vector<std::string> uncertainty_state_names(const StateNames& given, int64_t n) {
  const StateNames names = names_or_defaults(given, n);
  std::vector<std::string> list(static_cast<std::size_t>(uncertainty_states(n)));
  for (int64_t k = 0; k < n; ++k) {
    list[static_cast<std::size_t>(2 * k)] = names.intermediate[static_cast<std::size_t>(k)];
    list[static_cast<std::size_t>(2 * k + 1)] = names.transition[static_cast<std::size_t>(k + 1)];
  }
  list.back() = final_state_name(names);
  return list;
}

namespace {

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += text::shown_name(name);
  }
  return text;
}

}  // namespace

bool read_sigma_file(const std::string& path, SigmaSpec& spec, std::string& error) {
  // A sigmas file holds a line per state: a line of 64 KiB or a file of
  // 16 MiB is none.
  std::string text;
  TextFault fault;
  if (!read_text_file(path, TextLimits{1 << 16, 1 << 24}, text, fault)) {
    error = text::shown_name(path) + ":" +
            (fault.line > 0 ? std::to_string(fault.line) + ":" : std::string()) + " " +
            fault.reason;
    return false;
  }
  spec.file = path;
  std::istringstream file(text);
  std::string line;
  int64_t number = 0;
  bool first = true;
  while (std::getline(file, line)) {
    ++number;
    if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const std::string text = trimmed(line);
    if (text.empty() || text[0] == '#') continue;
    const auto fail = [&](const std::string& reason) {
      error = text::shown_name(path) + ":" + std::to_string(number) + ": " + reason;
      return false;
    };
    std::string name, field;
    double sigma = 0.0;
    if (!split_pair(text, name, field)) {
      return fail("a state's name and its sigma (kcal/mol) are wanted, as in \"TS1 1.5\"");
    }
    if (!read_real(field, sigma)) {
      // A header holds no number; a line with one is a pair with more in it.
      std::string spaced = text, word;
      std::replace_if(
          spaced.begin(), spaced.end(), [](char c) { return c == ',' || c == '\t'; }, ' ');
      std::istringstream words(spaced);
      double x = 0.0;
      while (words >> word) {
        if (read_real(word, x)) {
          return fail(text::shown_name(text) + " is no pair of a state's name and its sigma: " +
                      text::shown_name(field) + " follows the number");
        }
      }
      if (first) {  // a header
        first = false;
        continue;
      }
      return fail("the sigma " + text::shown_name(field) + " of " + text::shown_name(name) +
                  " is no number (kcal/mol, with a decimal point)");
    }
    first = false;
    if (!is_sigma(sigma)) {
      return fail("the sigma of " + text::shown_name(name) + " is " + shortest(sigma) +
                  " kcal/mol; it must be finite and at least 0");
    }
    for (const SigmaSpec::Named& before : spec.named) {
      if (before.name == name) {
        return fail(text::shown_name(name) + " is given a sigma twice (first on line " +
                    std::to_string(before.line) + ")");
      }
    }
    spec.named.push_back({name, sigma, number});
  }
  if (file.bad()) {
    error = text::shown_name(path) + ": cannot be read";
    return false;
  }
  if (spec.named.empty()) {
    error = text::shown_name(path) +
            ": holds no state's sigma; a line each, the name and the sigma (kcal/mol), as in "
            "\"TS1 1.5\"";
    return false;
  }
  return true;
}

bool resolve_sigmas(const SigmaSpec& spec, const StateNames& names, int64_t n,
                    std::vector<double>& sigma, std::string& error) {
  const std::vector<std::string> states = uncertainty_state_names(names, n);
  // Which entry gave each state its sigma: the final state answers to two
  // names, so a state may be named twice under different ones.
  std::vector<const SigmaSpec::Named*> given(states.size(), nullptr);
  sigma.assign(states.size(), spec.common + 0.0);  // + 0.0: a sigma of -0 is 0
  for (const SigmaSpec::Named& named : spec.named) {
    bool found = false;
    for (std::size_t s = 0; s < states.size(); ++s) {
      if (!(states[s] == named.name || (s + 1 == states.size() && named.name == "final"))) {
        continue;
      }
      found = true;
      const SigmaSpec::Named* before = given[s];
      if (before != nullptr && named.line == 0) continue;  // a table's column: the file's stands
      if (before != nullptr) {
        error = text::shown_name(spec.file) + ":" + std::to_string(named.line) + ": " +
                text::shown_name(named.name) + " is given a sigma twice (first on line " +
                std::to_string(before->line) + " as " + text::shown_name(before->name) + ")";
        return false;
      }
      sigma[s] = named.sigma + 0.0;
      given[s] = &named;
    }
    if (!found) {
      error = spec.file.empty()
                  ? std::string()
                  : text::shown_name(spec.file) + ":" + std::to_string(named.line) + ": ";
      error += text::shown_name(named.name) + " is no state of the cycle; its states are " +
               joined(states) + " (the final state also as \"final\")";
      return false;
    }
  }
  if (!spec.has_common) {
    std::vector<std::string> missing;
    for (std::size_t s = 0; s < states.size(); ++s) {
      if (given[s] == nullptr) missing.push_back(states[s]);
    }
    if (!missing.empty()) {
      error = "no sigma for " + joined(missing);
      return false;
    }
  }
  return true;
}

// The sigmas of a table's row over those of the command line: its column
// "sigma" replaces --sigma, its "sigma(NAME)" columns give the states the
// file of pairs does not.
SigmaSpec with_table_sigmas(const SigmaSpec& given, const Source& source) {
  SigmaSpec spec = given;
  if (!source.from_table) return spec;
  for (const StateSigma& s : source.row.sigmas) {
    if (s.state.empty()) {
      spec.has_common = true;
      spec.common = s.sigma;
    } else if (std::none_of(spec.named.begin(), spec.named.end(),
                            [&](const SigmaSpec::Named& n) { return n.name == s.state; })) {
      spec.named.push_back({s.state, s.sigma, 0});
    }
  }
  return spec;
}

bool source_sigmas(const SigmaSpec& given, const Source& source, const Run& run,
                   std::vector<double>& sigma, std::string& reason) {
  if (resolve_sigmas(with_table_sigmas(given, source), run.names, run.cycle.n, sigma, reason)) {
    return true;
  }
  if (reason.rfind("no sigma for ", 0) != 0) return false;  // not a missing sigma
  reason += ": give --sigma S for every state without one of its own";
  if (!given.file.empty()) reason += ", or list them in " + text::shown_name(given.file);
  return false;
}

// ---- outputs ---------------------------------------------------------------

namespace {

Json real(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json pair_of(double a, double b) { return Json::array({real(a), real(b)}); }

// The TOF of a log10 TOF; NaN where it lies beyond the range of doubles
// (the JSON's null, never a false 0 or infinity).
double tof_of(double log10_TOF) {
  const double tof = std::pow(10.0, log10_TOF);
  return tof > 0.0 && std::isfinite(tof) ? tof : Results::kNone;
}

// The TOF of a log10 TOF for people, in exponent form with four significant
// digits, also beyond the range of doubles ("3.162e-958").
std::string tof_text(double log10_TOF) {
  if (!std::isfinite(log10_TOF)) return shortest(log10_TOF);
  const double tof = tof_of(log10_TOF);
  if (!std::isnan(tof)) return exponent_form(tof);
  double exponent = std::floor(log10_TOF);
  double mantissa = std::pow(10.0, log10_TOF - exponent);
  if (mantissa >= 9.9995) mantissa /= 10.0, exponent += 1.0;  // as it rounds
  char text[64];
  std::snprintf(text, sizeof text, "%.3fe%+.0f", mantissa, exponent);
  return text;
}

Json mean_sd(double mean, double sd) { return Json{{"mean", real(mean)}, {"sd", real(sd)}}; }

const std::vector<std::string> names_of(const UncertaintySource& source) {
  return uncertainty_state_names(source.central->names, source.central->cycle.n);
}

// The common sigma of the model, or NaN when the states differ.
double common_sigma(const UncertaintyModel& model) {
  for (double s : model.sigma) {
    if (s != model.sigma[0]) return std::nan("");
  }
  return model.sigma.empty() ? std::nan("") : model.sigma[0];
}

// The states of step 1..n (intermediates when `intermediates`) ordered by
// their probability, most likely first, those never met left out.
std::vector<std::pair<std::size_t, double>> likeliest(const std::vector<double>& p) {
  std::vector<std::pair<std::size_t, double>> list;
  for (std::size_t i = 1; i < p.size(); ++i) {
    if (p[i] > 0.0) list.emplace_back(i, p[i]);
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return list;
}

std::string percent(double p) {
  if (p < 0.0005) return "<0.1 %";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", 100.0 * p);
  return text;
}

}  // namespace

Json state_probabilities(const std::vector<std::string>& states, const std::vector<double>& p,
                         bool intermediates) {
  Json object = Json::object();
  for (std::size_t i = 1; i < p.size(); ++i) {
    const std::string& name = states[intermediates ? 2 * (i - 1) : 2 * i - 1];
    object[state_key(object, name, static_cast<int64_t>(i))] = real(p[i]);
  }
  return object;
}

Json uncertainty_json(const UncertaintySource& source, const Distribution& d) {
  const std::vector<std::string> states = names_of(source);
  const Cycle& cycle = source.central->cycle;
  const int64_t n = cycle.n;
  Json doc = document_head("uncertainty");
  doc["program"] = "kinex";
  doc["file"] = source.name;
  doc["method"] = source.model != nullptr ? "monte-carlo" : "ensemble";
  doc["samples"] = d.samples;
  if (source.model != nullptr) {
    doc["seed"] = source.model->seed;
    doc["correlation"] = real(source.model->correlation);
    Json sigma = Json::object();
    for (std::size_t s = 0; s < states.size(); ++s) {
      const std::string key =
          sigma.contains(states[s]) ? states[s] + " (state " + std::to_string(s) + ")" : states[s];
      sigma[key] = real(source.model->sigma[s]);
    }
    doc["sigma"] = std::move(sigma);
  } else {
    doc["members"] = source.members;
  }
  const StateNames names = run_names(*source.central);
  // The cycle at its own energies; of an ensemble, its first member.
  if (source.model == nullptr) {
    doc["central_member"] = source.members.empty() ? "" : source.members[0];
  }
  doc["central_log10_tof"] = real(d.central_log10_TOF);
  doc["central_tof_sign"] = d.central_TOF_sign;
  doc["central_tdi"] = tdi_state(names, d.central_TDI);
  doc["central_tdts"] = tdts_state(names, d.central_TDTS);
  const std::string warning = warning_text(*source.central);
  doc["central_warning"] = warning.empty() ? Json(nullptr) : Json(warning);
  doc["backward_share"] = real(d.backward_share);
  doc["log10_tof_median"] = real(d.median);
  doc["log10_tof_mean"] = real(d.mean);
  doc["log10_tof_sd"] = real(d.sd);
  doc["log10_tof_first_order_sd"] = real(d.first_order_sd);
  doc["log10_tof_interval_68"] = pair_of(d.low68, d.high68);
  doc["log10_tof_interval_95"] = pair_of(d.low95, d.high95);
  doc["tof_per_s_median"] = real(tof_of(d.median));
  doc["tof_per_s_interval_68"] = pair_of(tof_of(d.low68), tof_of(d.high68));
  doc["tof_per_s_interval_95"] = pair_of(tof_of(d.low95), tof_of(d.high95));
  doc["tdi_probability"] = state_probabilities(states, d.TDI_probability, true);
  doc["tdts_probability"] = state_probabilities(states, d.TDTS_probability, false);
  Json intermediates = Json::object(), transition_states = Json::object();
  Json reactants = Json::object(), products = Json::object();
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const std::string& in = states[2 * (at - 1)];
    const std::string& ts = states[2 * at - 1];
    intermediates[state_key(intermediates, in, i)] =
        mean_sd(d.xtof_int_mean[at - 1], d.xtof_int_sd[at - 1]);
    transition_states[state_key(transition_states, ts, i)] =
        mean_sd(d.xtof_ts_mean[at], d.xtof_ts_sd[at]);
    if (cycle.has_reac[at])
      reactants[std::to_string(i)] = mean_sd(d.xtof_reac_mean[at], d.xtof_reac_sd[at]);
    if (cycle.has_prod[at])
      products[std::to_string(i)] = mean_sd(d.xtof_prod_mean[at], d.xtof_prod_sd[at]);
  }
  doc["xtof_int"] = std::move(intermediates);
  doc["xtof_ts"] = std::move(transition_states);
  doc["xtof_reactant"] = std::move(reactants);
  doc["xtof_product"] = std::move(products);
  return doc;
}

std::string uncertainty_text(const UncertaintySource& source, const Distribution& d) {
  const std::vector<std::string> states = names_of(source);
  const Cycle& cycle = source.central->cycle;
  std::string text = text::shown_name(source.name) + ": ";
  if (source.model != nullptr) {
    const UncertaintyModel& model = *source.model;
    const double sigma = common_sigma(model);
    text += std::to_string(d.samples) + (d.samples == 1 ? " sample" : " samples") +
            " of the energies, sigma ";
    text += std::isnan(sigma) ? std::string("per state") : significant(sigma) + " kcal/mol";
    text += ", correlation " + shortest(model.correlation) + ", seed " + std::to_string(model.seed);
  } else {
    text +=
        "an ensemble of " + std::to_string(d.samples) + (d.samples == 1 ? " member" : " members");
  }
  text += "\n";
  text += "  log10 TOF    median " + significant(d.median) + "   68 % " + significant(d.low68) +
          " .. " + significant(d.high68) + "   95 % " + significant(d.low95) + " .. " +
          significant(d.high95) + "\n";
  text += "               mean " + significant(d.mean) + ", sd " + significant(d.sd);
  if (std::isfinite(d.first_order_sd)) {
    text += " (first-order estimate " + significant(d.first_order_sd) + ")";
  }
  text += "\n";
  text +=
      std::string(d.backward_share > 0.0 ? "  |TOF| (1/s)  median " : "  TOF (1/s)    median ") +
      tof_text(d.median) + "   68 % " + tof_text(d.low68) + " .. " + tof_text(d.high68) +
      "   95 % " + tof_text(d.low95) + " .. " + tof_text(d.high95) + "\n";
  const StateNames names = run_names(*source.central);
  text += source.model != nullptr
              ? std::string("  at the energies as given: log10 TOF ")
              : "  the first member, " +
                    text::shown_name(source.members.empty() ? std::string() : source.members[0]) +
                    ": log10 TOF ";
  text += significant(d.central_log10_TOF) + ", TDI " +
          text::shown_name(tdi_state(names, d.central_TDI)) + ", TDTS " +
          text::shown_name(tdts_state(names, d.central_TDTS)) + "\n";
  const std::string warning = warning_text(*source.central);
  if (!warning.empty()) text += "  " + warning + "\n";
  if (d.backward_share > 0.0) {
    text += "  backward (a negative TOF, the products favoured) in " + percent(d.backward_share) +
            " of the " + (source.model != nullptr ? "samples" : "members") +
            "; log10 TOF and the TOF are of |TOF|\n";
  }
  const auto line = [&](const char* head, const std::vector<double>& p, bool intermediates) {
    text += head;
    for (const auto& [i, share] : likeliest(p)) {
      text += "   " + text::shown_name(states[intermediates ? 2 * (i - 1) : 2 * i - 1]) + " " +
              percent(share);
    }
    text += "\n";
  };
  line("  TDI ", d.TDI_probability, true);
  line("  TDTS", d.TDTS_probability, false);
  text += "  X_TOF (mean +- sd)\n";
  std::size_t width = 0;
  for (const std::string& name : states) {
    width = std::max(width, shown_width(text::shown_name(name)));
  }
  width = std::max<std::size_t>(width, 11);  // "reactant 12"
  const auto row = [&](const std::string& name, double mean, double sd) {
    const std::string shown = text::shown_name(name);
    text += "    " + shown + std::string(width - std::min(width, shown_width(shown)), ' ') + "  " +
            significant(mean) + " +- " + significant(sd) + "\n";
  };
  const int64_t n = cycle.n;
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    row(states[2 * (at - 1)], d.xtof_int_mean[at - 1], d.xtof_int_sd[at - 1]);
    row(states[2 * at - 1], d.xtof_ts_mean[at], d.xtof_ts_sd[at]);
  }
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (cycle.has_reac[at]) {
      row("reactant " + std::to_string(i), d.xtof_reac_mean[at], d.xtof_reac_sd[at]);
    }
    if (cycle.has_prod[at]) {
      row("product " + std::to_string(i), d.xtof_prod_mean[at], d.xtof_prod_sd[at]);
    }
  }
  return text;
}

std::string uncertainty_csv_header() {
  return "file,method,samples,seed,correlation,sigma,central_log10_tof,log10_tof_median,"
         "log10_tof_interval_68_low,log10_tof_interval_68_high,log10_tof_interval_95_low,"
         "log10_tof_interval_95_high,log10_tof_mean,log10_tof_sd,log10_tof_first_order_sd,"
         "tdi_likeliest,tdi_likeliest_probability,tdts_likeliest,tdts_likeliest_probability,"
         "central_tdi,central_tdts,backward_share\n";
}

std::string uncertainty_csv_row(const UncertaintySource& source, const Distribution& d,
                                CsvNames& guard) {
  const std::vector<std::string> states = names_of(source);
  const StateNames names = run_names(*source.central);
  const auto number = [](double x) { return std::isfinite(x) ? shortest(x) : std::string(); };
  std::string row = guard.field(source.name);
  if (source.model != nullptr) {
    const double sigma = common_sigma(*source.model);
    row += ",monte-carlo,";
    row += std::to_string(d.samples);
    row += ',';
    row += std::to_string(source.model->seed);
    row += ',';
    row += shortest(source.model->correlation);
    row += ',';
    row += std::isnan(sigma) ? std::string("per-state") : shortest(sigma);
  } else {
    row += ",ensemble,";
    row += std::to_string(d.samples);
    row += ",,,";
  }
  for (double x : {d.central_log10_TOF, d.median, d.low68, d.high68, d.low95, d.high95, d.mean,
                   d.sd, d.first_order_sd}) {
    row += ',';
    row += number(x);
  }
  const auto top = [&](const std::vector<double>& p, bool intermediates) {
    const auto list = likeliest(p);
    if (list.empty()) return std::string(",");
    const std::size_t i = list.front().first;
    return guard.field(states[intermediates ? 2 * (i - 1) : 2 * i - 1]) + "," +
           shortest(list.front().second);
  };
  for (const std::string& field : {top(d.TDI_probability, true), top(d.TDTS_probability, false),
                                   guard.field(tdi_state(names, d.central_TDI)),
                                   guard.field(tdts_state(names, d.central_TDTS))}) {
    row += ',';
    row += field;
  }
  row += ',';
  row += number(d.backward_share);
  row += '\n';
  return row;
}

}  // namespace kinex

#include "network/outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "network/uncertainty.h"

namespace kinex::network {

namespace {

constexpr double kLn10 = 2.302585092994045684;

std::string rate_name(const Rate& rate) { return rate.species < 0 ? "turnover" : rate.name; }

Json number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

// A rate in another unit: `per` of them in a second.
SignedLog times(SignedLog rate, double per) { return scaled(rate, std::log(per)); }

Json name_or_null(const std::vector<std::string>& names, int64_t index) {
  return index < 0 ? Json(nullptr) : Json(names[static_cast<std::size_t>(index)]);
}

std::vector<std::string> state_names(const Network& network) {
  std::vector<std::string> names;
  for (const State& state : network.states) names.push_back(state.name);
  return names;
}
std::vector<std::string> ts_names(const Network& network) {
  std::vector<std::string> names;
  for (const Step& step : network.steps) names.push_back(step.name);
  return names;
}
std::vector<std::string> species_names(const Network& network) {
  std::vector<std::string> names;
  for (const Species& species : network.species) names.push_back(species.name);
  return names;
}

Json keyed(const std::vector<std::string>& names, const std::vector<double>& values) {
  Json object = Json::object();
  for (std::size_t i = 0; i < values.size(); ++i) object[names[i]] = number(values[i]);
  return object;
}

Json names_of(const std::vector<std::string>& names, const std::vector<int64_t>& indices) {
  Json list = Json::array();
  for (int64_t i : indices) list.push_back(names[static_cast<std::size_t>(i)]);
  return list;
}

// A column of the text's tables: `text` right-aligned in `width`.
std::string right(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}
std::string left(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string rate_text(SignedLog rate) {
  if (rate.sign == 0) return "0";
  const double log10 = rate.ln / kLn10;
  double power = std::floor(log10);
  double mantissa = std::pow(10.0, log10 - power);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.3f", mantissa);
  if (buffer[0] == '1' && buffer[1] == '0') {  // 9.9996 rounds up to 10.000
    power += 1.0;
    mantissa /= 10.0;
    std::snprintf(buffer, sizeof buffer, "%.3f", mantissa);
  }
  std::string text = rate.sign < 0 ? "-" : "";
  text += buffer;
  char exponent[32];
  std::snprintf(exponent, sizeof exponent, "e%c%02.0f", power < 0 ? '-' : '+', std::abs(power));
  return text + exponent;
}

std::string network_report(const std::string& file, const Network& network,
                           const NetworkResults& results) {
  const std::vector<const Rate*> rates = rates_of(results);
  const std::vector<std::string> states = state_names(network), ts = ts_names(network),
                                 species = species_names(network);
  std::size_t name_width = 12;
  for (const auto* names : {&states, &ts, &species}) {
    for (const std::string& name : *names) name_width = std::max(name_width, name.size() + 2);
  }
  std::string text = "Network " + file + ": " + std::to_string(network.states.size()) +
                     " states, " + std::to_string(network.steps.size()) + " steps, " +
                     std::to_string(network.species.size()) +
                     " species, T = " + shortest(network.T) + " K\n\n";
  text += left("State", name_width) + right("G (kcal/mol)", 14) + right("population", 14) + "\n";
  for (std::size_t s = 0; s < states.size(); ++s) {
    text += left(states[s], name_width) + right(significant(network.states[s].G), 14) +
            right(rate_text({1, results.ln_population[s]}), 14) + "\n";
  }
  text += '\n';
  text += left("Rate", name_width) + right("TOF (s^-1)", 13) + right("TOF (h^-1)", 13) +
          right("log10 TOF", 11) + right("selectivity", 13) + right("barrier", 10) +
          "  TDI, TDTS\n";
  for (const Rate* rate : rates) {
    std::string tdi = states[static_cast<std::size_t>(rate->TDI)];
    for (int64_t tie : rate->TDI_ties) tdi += "=" + states[static_cast<std::size_t>(tie)];
    std::string tdts = rate->TDTS < 0 ? "none" : ts[static_cast<std::size_t>(rate->TDTS)];
    for (int64_t tie : rate->TDTS_ties) tdts += "=" + ts[static_cast<std::size_t>(tie)];
    text += left(rate_name(*rate), name_width) + right(rate_text(rate->tof), 13) +
            right(rate_text(times(rate->tof, 3600.0)), 13) +
            right(rate->tof.sign == 0 ? "-inf" : significant(rate->log10_TOF), 11) +
            right(rate->species < 0 ? "" : significant(rate->selectivity), 13) +
            right(significant(rate->apparent_barrier), 10) + "  " + tdi + ", " + tdts + "\n";
  }
  text += "(barrier: the apparent barrier -RT ln(TOF h / (k_B T)) in kcal/mol; ties as A=B)\n";
  // A degree of control: four decimals, in exponent form from 1e4 on.
  auto control = [](double x) {
    return std::abs(x) < 1e4 ? with_decimals(x, 4) : exponent_form(x);
  };
  auto table = [&](const char* title, const std::vector<const Rate*>& rates, auto column) {
    text += "\n";
    text += title;
    text += '\n';
    text += left("", name_width);
    for (const Rate* rate : rates) text += right(rate_name(*rate), 13);
    text += "\n";
    auto rows = [&](const std::vector<std::string>& names, const char* kind, int which) {
      for (std::size_t i = 0; i < names.size(); ++i) {
        std::string line = left(names[i] + kind, name_width);
        bool any = false;
        for (const Rate* rate : rates) {
          const std::vector<double>* values = column(*rate, which);
          if (values == nullptr || values->empty()) {
            line += right("", 13);
            continue;
          }
          any = true;
          line += right(control((*values)[i]), 13);
        }
        if (any) text += line + "\n";
      }
    };
    rows(states, "", 0);
    rows(ts, "", 1);
    rows(species, " (c)", 2);
  };
  table("Degrees of TOF control (states, transition states, concentrations (c))", rates,
        [](const Rate& rate, int which) -> const std::vector<double>* {
          return which == 0 ? &rate.xtof_state : which == 1 ? &rate.xtof_ts : &rate.xtof_species;
        });
  if (results.products.size() > 1) {
    std::vector<const Rate*> products(rates.begin(), rates.begin() + results.products.size());
    table("Degrees of selectivity control", products,
          [](const Rate& rate, int which) -> const std::vector<double>* {
            if (which == 0) return nullptr;
            return which == 1 ? &rate.xsel_ts : &rate.xsel_species;
          });
  }
  return text;
}

Json network_json(const std::string& file, const Network& network, const NetworkResults& results) {
  Json doc = document_head("network");
  doc["program"] = "kinex";
  doc["version"] = KINEX_VERSION;
  doc["file"] = file;
  const std::vector<std::string> states = state_names(network), ts = ts_names(network),
                                 species = species_names(network);
  Json input = Json::object();
  input["T"] = network.T;
  Json species_list = Json::array();
  for (const Species& s : network.species)
    species_list.push_back({{"name", s.name}, {"conc", s.conc}});
  input["species"] = species_list;
  Json state_list = Json::array();
  for (const State& s : network.states) state_list.push_back({{"name", s.name}, {"G", s.G}});
  input["states"] = state_list;
  Json step_list = Json::array();
  for (const Step& step : network.steps) {
    Json item = Json::object();
    item["ts"] = step.name;
    item["from"] = states[static_cast<std::size_t>(step.from)];
    item["to"] = states[static_cast<std::size_t>(step.to)];
    item["G_ts"] = step.G_ts;
    item["consumes"] = names_of(species, step.consumes);
    item["releases"] = names_of(species, step.releases);
    item["shift"] = step.closes_turn ? Json(step.shift) : Json(nullptr);
    step_list.push_back(item);
  }
  input["steps"] = step_list;
  doc["input"] = input;
  Json out = Json::object();
  out["prefactor"] = results.prefactor;
  out["populations"] = keyed(states, results.population);
  Json fluxes = Json::object();
  for (std::size_t e = 0; e < network.steps.size(); ++e) {
    fluxes[ts[e]] = number(value_of(results.net_flux[e]));
  }
  out["net_flux"] = fluxes;
  auto rate_json = [&](const Rate& rate) {
    Json item = Json::object();
    item["name"] = rate_name(rate);
    item["tof_per_s"] = number(rate.TOF);
    item["tof_per_h"] = number(value_of(times(rate.tof, 3600.0)));
    item["tof_per_day"] = number(value_of(times(rate.tof, 86400.0)));
    item["log10_tof"] = number(rate.log10_TOF);
    item["tof_sign"] = rate.tof.sign;
    item["selectivity"] = number(rate.selectivity);
    item["apparent_barrier"] = number(rate.apparent_barrier);
    item["tdi"] = name_or_null(states, rate.TDI);
    item["tdts"] = name_or_null(ts, rate.TDTS);
    item["tdi_ties"] = names_of(states, rate.TDI_ties);
    item["tdts_ties"] = names_of(ts, rate.TDTS_ties);
    item["xtof_state"] = keyed(states, rate.xtof_state);
    item["xtof_ts"] = keyed(ts, rate.xtof_ts);
    item["xtof_species"] = keyed(species, rate.xtof_species);
    if (rate.species >= 0) {
      item["xsel_ts"] = keyed(ts, rate.xsel_ts);
      item["xsel_species"] = keyed(species, rate.xsel_species);
    }
    return item;
  };
  Json products = Json::array();
  for (const Rate& rate : results.products) products.push_back(rate_json(rate));
  out["products"] = products;
  out["turnover"] = results.has_turnover ? rate_json(results.turnover) : Json(nullptr);
  doc["results"] = out;
  return doc;
}

std::string network_csv(const std::string& file, const Network& network,
                        const NetworkResults& results, CsvNames& names) {
  const std::vector<std::string> states = state_names(network), ts = ts_names(network),
                                 species = species_names(network);
  std::string text =
      "file,rate,tof_per_s,tof_per_h,tof_per_day,log10_tof,selectivity,apparent_barrier,tdi,tdts";
  for (const auto* list : {&states, &ts, &species}) {
    for (const std::string& name : *list) text.append(",").append(names.field("xtof " + name));
  }
  for (const auto* list : {&ts, &species}) {
    for (const std::string& name : *list) text.append(",").append(names.field("xsel " + name));
  }
  text += "\n";
  for (const Rate* rate : rates_of(results)) {
    text += names.field(file) + "," + names.field(rate_name(*rate)) + "," + shortest(rate->TOF) +
            "," + shortest(value_of(times(rate->tof, 3600.0))) + "," +
            shortest(value_of(times(rate->tof, 86400.0))) + "," + shortest(rate->log10_TOF) + "," +
            shortest(rate->selectivity) + "," + shortest(rate->apparent_barrier) + "," +
            names.field(states[static_cast<std::size_t>(rate->TDI)]) + "," +
            (rate->TDTS < 0 ? "" : names.field(ts[static_cast<std::size_t>(rate->TDTS)]));
    for (const auto* values : {&rate->xtof_state, &rate->xtof_ts, &rate->xtof_species}) {
      for (double x : *values) text.append(",").append(shortest(x));
    }
    for (const auto* values : {&rate->xsel_ts, &rate->xsel_species}) {
      if (values->empty()) {
        text += std::string(rate == &results.turnover ? (ts.size() + species.size()) : 0, ',');
        break;
      }
      for (double x : *values) text.append(",").append(shortest(x));
    }
    text += "\n";
  }
  return text;
}

}  // namespace kinex::network

namespace kinex::network {

namespace {

std::string percent(double p) {
  if (p < 0.0005) return "<0.1 %";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", 100.0 * p);
  return text;
}

// "NAME 97.0 %   NAME 3.0 %" of the names with a share, the likeliest
// first.
std::string likeliest(const std::vector<std::string>& names, const std::vector<double>& p) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] > 0.0) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&p](std::size_t a, std::size_t b) { return p[a] > p[b]; });
  std::string text;
  for (std::size_t i : order) {
    if (!text.empty()) text += "   ";
    text += names[i] + " " + percent(p[i]);
  }
  return text.empty() ? "none" : text;
}

Json probabilities(const std::vector<std::string>& names, const std::vector<double>& p) {
  Json object = Json::object();
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] > 0.0) object[names[i]] = p[i];
  }
  return object;
}

}  // namespace

std::string spread_text(const std::string& file, const Network& network,
                        const NetworkSpread& spread, const std::string& sigma_text) {
  const std::vector<std::string> states = state_names(network), ts = ts_names(network);
  std::string text = file + ": " + std::to_string(spread.samples) + " samples of the energies, " +
                     sigma_text + ", correlation " + shortest(spread.correlation) + ", seed " +
                     std::to_string(spread.seed) + "\n";
  for (const RateSpread& rate : spread.rates) {
    text += "  " + rate.name + "\n";
    text += "    log10 TOF    median " + significant(rate.log10_tof_median) + "   68 % " +
            significant(rate.log10_tof_interval_68[0]) + " .. " +
            significant(rate.log10_tof_interval_68[1]) + "   95 % " +
            significant(rate.log10_tof_interval_95[0]) + " .. " +
            significant(rate.log10_tof_interval_95[1]) + "\n";
    text += "                 mean " + significant(rate.log10_tof_mean) + ", sd " +
            significant(rate.log10_tof_sd) + "; at the energies as given " +
            significant(rate.central_log10_tof) + "\n";
    if (std::isfinite(rate.selectivity_median)) {
      text += "    selectivity  median " + significant(rate.selectivity_median) + "   95 % " +
              significant(rate.selectivity_interval_95[0]) + " .. " +
              significant(rate.selectivity_interval_95[1]) + "\n";
    }
    if (rate.backward_share > 0.0) {
      text += "    backward (a negative TOF) in " + percent(rate.backward_share) +
              " of the samples; log10 TOF is of |TOF|\n";
    }
    text += "    TDI    " + likeliest(states, rate.tdi_probability) + "\n";
    text += "    TDTS   " + likeliest(ts, rate.tdts_probability) + "\n";
  }
  return text;
}

Json spread_json(const std::string& file, const Network& network, const NetworkSpread& spread,
                 const std::vector<double>& state_sigma, const std::vector<double>& ts_sigma) {
  const std::vector<std::string> states = state_names(network), ts = ts_names(network);
  Json doc = document_head("network_uncertainty");
  doc["program"] = "kinex";
  doc["version"] = KINEX_VERSION;
  doc["file"] = file;
  doc["method"] = "sampled";
  doc["samples"] = spread.samples;
  doc["seed"] = spread.seed;
  doc["correlation"] = spread.correlation;
  doc["sigma"] = keyed(states, state_sigma);
  doc["sigma_ts"] = keyed(ts, ts_sigma);
  Json rates = Json::array();
  for (const RateSpread& rate : spread.rates) {
    Json item = Json::object();
    item["name"] = rate.name;
    item["central_log10_tof"] = number(rate.central_log10_tof);
    item["log10_tof_median"] = number(rate.log10_tof_median);
    item["log10_tof_mean"] = number(rate.log10_tof_mean);
    item["log10_tof_sd"] = number(rate.log10_tof_sd);
    item["log10_tof_interval_68"] =
        Json::array({number(rate.log10_tof_interval_68[0]), number(rate.log10_tof_interval_68[1])});
    item["log10_tof_interval_95"] =
        Json::array({number(rate.log10_tof_interval_95[0]), number(rate.log10_tof_interval_95[1])});
    item["selectivity_median"] = number(rate.selectivity_median);
    item["selectivity_interval_95"] = Json::array(
        {number(rate.selectivity_interval_95[0]), number(rate.selectivity_interval_95[1])});
    item["backward_share"] = rate.backward_share;
    item["tdi_probability"] = probabilities(states, rate.tdi_probability);
    item["tdts_probability"] = probabilities(ts, rate.tdts_probability);
    rates.push_back(item);
  }
  doc["rates"] = rates;
  return doc;
}

}  // namespace kinex::network

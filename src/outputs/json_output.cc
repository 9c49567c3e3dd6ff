#include "outputs/json_output.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "model/profile.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"

namespace kinex {
namespace {

// Values of steps 1..n of a per-step vector; null where `has` is false.
Json per_step(const std::vector<double>& values, const std::vector<bool>* has, int64_t n) {
  Json list = Json::array();
  for (int64_t i = 1; i <= n; ++i) {
    if (has != nullptr && !(*has)[i]) {
      list.push_back(nullptr);
    } else {
      list.push_back(values[i]);
    }
  }
  return list;
}

Json first(const std::vector<double>& values, int64_t count) {
  return Json(std::vector<double>(values.begin(), values.begin() + count));
}

// A key as one reference token of a JSON pointer.
std::string pointer_token(const std::string& key) {
  std::string token;
  for (char c : key) {
    if (c == '~') {
      token += "~0";
    } else if (c == '/') {
      token += "~1";
    } else {
      token += c;
    }
  }
  return token;
}

// Replaces each non-finite number below `value` by null and records it.
void flag_non_finite(Json& value, const std::string& pointer, Json& flags) {
  if (value.is_number_float()) {
    const double x = value.get<double>();
    if (std::isfinite(x)) return;
    flags[pointer] = std::isnan(x) ? "NaN" : (x > 0 ? "Infinity" : "-Infinity");
    value = nullptr;
  } else if (value.is_object()) {
    for (auto& member : value.items()) {
      flag_non_finite(member.value(), pointer + "/" + pointer_token(member.key()), flags);
    }
  } else if (value.is_array()) {
    for (std::size_t k = 0; k < value.size(); ++k) {
      flag_non_finite(value[k], pointer + "/" + std::to_string(k), flags);
    }
  }
}

std::string escaped(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The states in cycle order, intermediates and transition states
// interleaved, then the final state, each with its energy.
Json states_json(const Run& run, const StateNames& names) {
  const int64_t n = run.cycle.n;
  Json list = Json::array();
  auto add = [&list](const std::string& name, const char* kind, Json step, double G) {
    list.push_back({{"name", name}, {"kind", kind}, {"step", std::move(step)}, {"G", G}});
  };
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    add(names.intermediate[at - 1], "intermediate", i, run.cycle.G_int[at - 1]);
    add(names.transition[at], "transition_state", i, run.cycle.G_ts[at]);
  }
  if (n > 0) add(final_state_name(names), "final", nullptr, run.cycle.G_int[0] + run.cycle.DeltaG);
  return list;
}

// The degrees of TOF control keyed by state name (reactants and products by
// step number); only given reactants and products.
Json xtof_by_state(const Run& run, const StateNames& names) {
  const int64_t n = run.cycle.n;
  const Results& results = run.results;
  // Filled apart and joined at the end: an ordered_json object moves its
  // members when it grows.
  Json intermediates = Json::object(), transition_states = Json::object();
  Json reactants = Json::object(), products = Json::object();
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const std::string& intermediate = names.intermediate[at - 1];
    intermediates[state_key(intermediates, intermediate, i)] = results.xtof_int[at - 1];
  }
  for (int64_t i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const std::string& ts = names.transition[at];
    transition_states[state_key(transition_states, ts, i)] = results.xtof_ts[at];
    if (run.cycle.has_reac[at]) reactants[std::to_string(i)] = results.xtof_reac[at];
    if (run.cycle.has_prod[at]) products[std::to_string(i)] = results.xtof_prod[at];
  }
  Json by_state;
  by_state["int"] = std::move(intermediates);
  by_state["ts"] = std::move(transition_states);
  by_state["reactant"] = std::move(reactants);
  by_state["product"] = std::move(products);
  return by_state;
}

Json name_or_null(const std::string& name, bool exists) {
  return exists ? Json(name) : Json(nullptr);
}

bool is_container(const Json& value) { return value.is_object() || value.is_array(); }

void write_value(const Json& value, int depth, std::string& out) {
  const std::string indent(2 * static_cast<std::size_t>(depth + 1), ' ');
  const std::string closing_indent(2 * static_cast<std::size_t>(depth), ' ');
  switch (value.type()) {
    case Json::value_t::object: {
      if (value.empty()) {
        out += "{}";
        return;
      }
      out += "{\n";
      bool first_member = true;
      for (const auto& member : value.items()) {
        if (!first_member) out += ",\n";
        first_member = false;
        out += indent + escaped(member.key()) + ": ";
        write_value(member.value(), depth + 1, out);
      }
      out += "\n" + closing_indent + "}";
      return;
    }
    case Json::value_t::array: {
      bool flat = true;
      for (const Json& element : value) flat = flat && !is_container(element);
      out += flat ? "[" : "[\n";
      for (std::size_t k = 0; k < value.size(); ++k) {
        if (k > 0) out += flat ? ", " : ",\n";
        if (!flat) out += indent;
        write_value(value[k], depth + 1, out);
      }
      out += flat ? "]" : "\n" + closing_indent + "]";
      return;
    }
    case Json::value_t::number_float: {
      const double x = value.get<double>();
      out += std::isfinite(x) ? shortest(x) : "null";
      return;
    }
    case Json::value_t::string:
      out += escaped(value.get_ref<const std::string&>());
      return;
    default:  // null, booleans and integers print alike everywhere
      out += value.dump();
      return;
  }
}

}  // namespace

Json cycle_json(const Run& run, const std::vector<std::string>& command_line,
                const std::vector<InputWarning>& warnings) {
  const int64_t n = run.cycle.n;
  Json doc = document_head("result");
  doc["program"] = "kinex";
  doc["version"] = KINEX_VERSION;
  doc["command_line"] = command_line;
  doc["file"] = run.input_name;

  Json& input = doc["input"];
  input["T"] = run.cycle.T;
  input["n"] = n;
  input["G_int"] = first(run.cycle.G_int, n);
  input["G_ts"] = per_step(run.cycle.G_ts, nullptr, n);
  input["reactant"] = per_step(run.cycle.conc_reac, &run.cycle.has_reac, n);
  input["product"] = per_step(run.cycle.conc_prod, &run.cycle.has_prod, n);
  input["DeltaG"] = run.cycle.DeltaG;
  const StateNames names = run_names(run);
  input["states"] = states_json(run, names);

  Json& constants = doc["constants"];
  constants["k_B"] = k_B;
  constants["h"] = h_Planck;
  constants["N_A"] = N_A;
  constants["R"] = R_gas;
  constants["inv_RT"] = run.profile.inv_RT;

  Json& results = doc["results"];
  // Scaled as the report scales them: the per-day figure is the per-hour
  // figure times 24.
  const double per_hour = run.results.TOF * 3600.0;
  results["tof_per_s"] = run.results.TOF;
  results["tof_per_h"] = per_hour;
  results["tof_per_day"] = per_hour * 24.0;
  results["log10_tof"] = run.results.log10_TOF;
  results["evaluation"] = evaluation_name(run.results.evaluation);
  results["driving_force"] = run.profile.driving_force;
  const bool warning = needs_driving_force_warning(run.profile);
  results["warning"] = warning;
  results["warning_text"] = warning ? Json(warning_text(run)) : Json(nullptr);
  const auto is_step = [n](int64_t i) { return i >= 1 && i <= n; };
  results["tdi"] = name_or_null(tdi_state(names, run.results.TDI), is_step(run.results.TDI));
  results["tdts"] = name_or_null(tdts_state(names, run.results.TDTS), is_step(run.results.TDTS));
  results["tdi_step"] = run.results.TDI;
  results["tdts_step"] = run.results.TDTS;
  // The states whose terms tie with the dominant one (they give the same
  // TOF share to within 1e-12); TDI and TDTS are the earliest of them.
  results["tdi_ties"] = tdi_tie_states(names, run.results);
  results["tdts_ties"] = tdts_tie_states(names, run.results);
  results["tdi_tie_steps"] = run.results.TDI_ties;
  results["tdts_tie_steps"] = run.results.TDTS_ties;
  const int64_t int_max = largest_xtof_intermediate(run.results, n);
  const int64_t ts_max = largest_xtof_transition_state(run.results, n);
  results["largest_xtof_int"] = name_or_null(tdi_state(names, int_max + 1), int_max >= 0);
  results["largest_xtof_ts"] = name_or_null(tdts_state(names, ts_max), ts_max > 0);
  results["energetic_span"] = energetic_span(run);
  results["effective_span"] = run.results.effective_span;
  results["apparent_barrier"] = run.results.apparent_barrier;
  results["xtof_int"] = first(run.results.xtof_int, n);
  results["xtof_ts"] = per_step(run.results.xtof_ts, nullptr, n);
  results["xtof_reactant"] = per_step(run.results.xtof_reac, &run.cycle.has_reac, n);
  results["xtof_product"] = per_step(run.results.xtof_prod, &run.cycle.has_prod, n);
  results["xtof_by_state"] = xtof_by_state(run, names);
  results["advice"] = advice_text(run);
  results["advice_reactant_steps"] = advice_reactant_steps(run);
  results["advice_product_steps"] = advice_product_steps(run);

  Json flags = Json::object();
  flag_non_finite(doc, "", flags);
  doc["non_finite"] = flags;
  doc["warnings"] = warnings_json(warnings);
  return doc;
}

Json document_head(std::string_view kind) {
  Json head;
  head["schema_version"] = kSchemaVersion;
  head["document"] = kind;
  return head;
}

std::string state_key(const Json& object, const std::string& name, int64_t step) {
  if (!object.contains(name)) return name;
  return name + " (step " + std::to_string(step) + ")";
}

Json with_table(const Json& doc, const std::string& file, const TableRow& row) {
  Json table;
  table["file"] = file;
  table["row"] = row.row;
  table["name"] = row.name;
  Json descriptors = Json::object();
  for (const Descriptor& d : row.descriptors) descriptors[d.name] = d.value;
  Json result;
  for (auto it = doc.begin(); it != doc.end(); ++it) {
    result[it.key()] = it.value();
    if (it.key() == "file") {
      result["table"] = std::move(table);
      result["descriptors"] = std::move(descriptors);
    }
  }
  return result;
}

Json warnings_json(const std::vector<InputWarning>& warnings) {
  Json list = Json::array();
  for (const InputWarning& warning : warnings) {
    Json entry;
    entry["code"] = warning.code;
    entry["line"] = warning.line > 0 ? Json(warning.line) : Json(nullptr);
    entry["text"] = warning.text;
    list.push_back(std::move(entry));
  }
  return list;
}

void write_json(const Json& doc, std::string& out) {
  write_value(doc, 0, out);
  out += '\n';
}

void write_json_element(const Json& doc, std::size_t index, std::string& out) {
  out += index == 0 ? "[\n  " : ",\n  ";
  write_value(doc, 1, out);
}

void end_json_array(std::size_t count, std::string& out) { out += count == 0 ? "[]\n" : "\n]\n"; }

}  // namespace kinex

#include "network/reader.h"

#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

#include "input/scanner.h"
#include "outputs/format.h"
#include "text/text_file.h"

namespace kinex::network {

namespace {

// A word of a line and the byte at which it starts.
struct Word {
  std::string_view text;
  int64_t column = 0;  // 0-based
};

struct Line {
  int64_t number = 0;
  std::string_view text;
  std::vector<Word> words;
};

std::vector<Word> words_of(std::string_view line) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
           line[i] != '#') {
      ++i;
    }
    words.push_back({line.substr(start, i - start), static_cast<int64_t>(start)});
  }
  return words;
}

// `text` in single quotes.
// `prefix` and the number `k`: "TS3".
std::string numbered(const char* prefix, std::size_t k) {
  std::string name = prefix;
  return name.append(std::to_string(k));
}

std::string quoted(std::string_view text) {
  std::string out = "'";
  out.append(text);
  return out.append("'");
}

// A name met in a step, resolved once the whole file is read.
struct NameUse {
  const Line* line;
  Word word;
};

struct PendingStep {
  const Line* line;
  Word from, to;
  std::vector<Word> consumes, releases;
  Word name;  // empty text: TS<k>
};

class Reader {
 public:
  Reader(std::string file, Failure& failure) : file_(std::move(file)), failure_(failure) {}

  bool fail(const Line& line, int64_t column, const std::string& reason) {
    failure_.status = kExitFailed;
    input::LineExcerpt excerpt;
    excerpt.line = line.number;
    excerpt.head = std::string(line.text);
    // A value missing at the end of the line: the caret just past it.
    if (column >= static_cast<int64_t>(excerpt.head.size())) excerpt.head += ' ';
    excerpt.length = static_cast<int64_t>(excerpt.head.size());
    excerpt.complete = true;
    failure_.message = file_ + ":" + std::to_string(line.number) + ": " + reason + "\n" +
                       input::show_column(excerpt, column);
    failure_.place = {file_, line.number, column + 1, reason};
    return false;
  }
  bool fail_file(const std::string& reason) {
    failure_.status = kExitFailed;
    failure_.message = file_ + ": " + reason + "\n";
    failure_.place = {file_, 0, 0, reason};
    return false;
  }

  // The byte after the line's last word.
  static int64_t end_column(const Line& line) {
    const Word& last = line.words.back();
    return last.column + static_cast<int64_t>(last.text.size());
  }

  // The real number of word `at` of `line`: finite, the whole word.
  bool number(const Line& line, std::size_t at, const char* what, double& value) {
    if (at >= line.words.size())
      return fail(line, end_column(line), std::string("missing ") + what);
    const Word& word = line.words[at];
    const char* first = word.text.data();
    const char* last = first + word.text.size();
    if (!word.text.empty() && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || end != last || !std::isfinite(value)) {
      return fail(line, word.column,
                  std::string("bad ") + what + " '" + std::string(word.text) + "'");
    }
    return true;
  }

  bool parse(std::string_view text, Network& network) {
    std::size_t start = 0;
    int64_t number_of_line = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      Line line;
      line.number = ++number_of_line;
      line.text = text.substr(start, end - start);
      if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
      line.words = words_of(line.text);
      lines_.push_back(std::move(line));
      if (end == text.size()) break;
      start = end + 1;
    }
    for (const Line& line : lines_) {
      if (line.words.empty()) continue;
      if (!statement(line, network)) return false;
    }
    if (!temperature_) return fail_file("no temperature: add a line 'temperature T' (K)");
    if (network.states.empty()) return fail_file("no state: add lines 'state NAME G' (kcal/mol)");
    return resolve(network);
  }

 private:
  bool statement(const Line& line, Network& network) {
    const std::string_view keyword = line.words[0].text;
    if (keyword == "temperature") {
      if (temperature_) {
        return fail(line, line.words[0].column,
                    "a second temperature (the first is on line " +
                        std::to_string(temperature_->number) + ")");
      }
      double T = 0.0;
      if (!number(line, 1, "temperature", T)) return false;
      if (!(T > 0.0)) return fail(line, line.words[1].column, "the temperature must be above 0 K");
      if (!end_of(line, 2)) return false;
      network.T = T;
      network.T_line = line.number;
      temperature_ = &line;
      return true;
    }
    if (keyword == "species" || keyword == "state") {
      const bool is_species = keyword == "species";
      if (line.words.size() < 2) return fail(line, end_column(line), "missing name");
      const Word& name = line.words[1];
      auto& seen = is_species ? species_ : states_;
      if (const auto found = seen.find(name.text); found != seen.end()) {
        return fail(line, name.column,
                    std::string(keyword) + " '" + std::string(name.text) +
                        "' is declared twice (first on line " +
                        std::to_string(found->second.line->number) + ")");
      }
      double value = 0.0;
      if (!number(line, 2, is_species ? "concentration" : "Gibbs energy", value)) return false;
      if (is_species && !(value > 0.0)) {
        return fail(line, line.words[2].column, "the concentration must be above 0 mol/L");
      }
      if (!end_of(line, 3)) return false;
      if (is_species) {
        species_.emplace(name.text, Declared{&line, static_cast<int64_t>(network.species.size())});
        network.species.push_back({std::string(name.text), value, line.number});
      } else {
        states_.emplace(name.text, Declared{&line, static_cast<int64_t>(network.states.size())});
        network.states.push_back({std::string(name.text), value, line.number});
      }
      return true;
    }
    if (keyword == "step") return step(line, network);
    return fail(line, line.words[0].column,
                "unknown statement '" + std::string(keyword) +
                    "'; a line is one of temperature, species, state, step");
  }

  bool end_of(const Line& line, std::size_t at) {
    if (at >= line.words.size()) return true;
    return fail(line, line.words[at].column,
                quoted(line.words[at].text) + " after the end of the statement");
  }

  bool step(const Line& line, Network& network) {
    const auto& w = line.words;
    PendingStep pending{&line, {}, {}, {}, {}, {}};
    Step step;
    step.line = line.number;
    if (w.size() < 3) return fail(line, end_column(line), "a step needs: step FROM TO ts G_TS");
    pending.from = w[1];
    pending.to = w[2];
    if (w.size() < 4 || w[3].text != "ts") {
      return fail(line, w.size() < 4 ? end_column(line) : w[3].column,
                  "expected 'ts G_TS' after the two states");
    }
    if (!number(line, 4, "Gibbs energy of the transition state", step.G_ts)) return false;
    std::vector<Word>* list = nullptr;
    bool shifted = false, named = false;
    for (std::size_t at = 5; at < w.size(); ++at) {
      const std::string_view word = w[at].text;
      if (word == "consumes" || word == "releases") {
        list = word == "consumes" ? &pending.consumes : &pending.releases;
        if (at + 1 >= w.size() || is_keyword(w[at + 1].text)) {
          return fail(line, w[at].column, "'" + std::string(word) + "' names no species");
        }
      } else if (word == "shift" || word == "name") {
        list = nullptr;
        bool& given = word == "shift" ? shifted : named;
        if (given) return fail(line, w[at].column, "'" + std::string(word) + "' given twice");
        given = true;
        if (word == "shift") {
          if (!number(line, at + 1, "shift", step.shift)) return false;
          step.closes_turn = true;
        } else {
          if (at + 1 >= w.size()) return fail(line, w[at].column, "'name' gives no name");
          pending.name = w[at + 1];
        }
        ++at;
      } else if (list != nullptr) {
        list->push_back(w[at]);
      } else {
        return fail(line, w[at].column,
                    "unexpected '" + std::string(word) +
                        "'; after 'ts G_TS' come consumes, releases, shift and name");
      }
    }
    network.steps.push_back(std::move(step));
    steps_.push_back(std::move(pending));
    return true;
  }

  static bool is_keyword(std::string_view word) {
    return word == "consumes" || word == "releases" || word == "shift" || word == "name";
  }

  bool resolve(Network& network) {
    std::map<std::string, const PendingStep*, std::less<>> ts_names;
    for (std::size_t e = 0; e < steps_.size(); ++e) {
      const PendingStep& pending = steps_[e];
      Step& step = network.steps[e];
      step.name = pending.name.text.empty() ? numbered("TS", static_cast<std::size_t>(e + 1))
                                            : std::string(pending.name.text);
      const auto [at, fresh] = ts_names.emplace(step.name, &pending);
      if (!fresh) {
        const Word& where = pending.name.text.empty() ? pending.line->words[0] : pending.name;
        return fail(*pending.line, where.column,
                    "transition state '" + step.name + "' is named twice (first on line " +
                        std::to_string(at->second->line->number) + ")");
      }
      if (!state_of(pending, pending.from, step.from) || !state_of(pending, pending.to, step.to)) {
        return false;
      }
      for (const Word& word : pending.consumes) {
        if (!species_of(pending, word, step.consumes)) return false;
      }
      for (const Word& word : pending.releases) {
        if (!species_of(pending, word, step.releases)) return false;
      }
    }
    std::string error;
    if (!check_network(network, error)) {
      // Left for check_network: a state that no step joins to the rest.
      for (const State& state : network.states) {
        if (error.rfind("state " + state.name + " is joined", 0) == 0) {
          const Line& line = *states_.find(state.name)->second.line;
          return fail(line, line.words[1].column,
                      "state '" + state.name + "' is joined by no step to state '" +
                          network.states[0].name + "': every state must belong to one network");
        }
      }
      return fail_file(error);
    }
    return true;
  }

  bool state_of(const PendingStep& pending, const Word& word, int64_t& index) {
    const auto found = states_.find(word.text);
    if (found == states_.end()) {
      return fail(*pending.line, word.column,
                  "unknown state '" + std::string(word.text) + "': declare it with 'state " +
                      std::string(word.text) + " G'");
    }
    index = found->second.index;
    return true;
  }

  bool species_of(const PendingStep& pending, const Word& word, std::vector<int64_t>& list) {
    const auto found = species_.find(word.text);
    if (found == species_.end()) {
      return fail(*pending.line, word.column,
                  "unknown species '" + std::string(word.text) + "': declare it with 'species " +
                      std::string(word.text) + " CONC'");
    }
    list.push_back(found->second.index);
    return true;
  }

  struct Declared {
    const Line* line;
    int64_t index;
  };
  std::string file_;
  Failure& failure_;
  std::vector<Line> lines_;
  const Line* temperature_ = nullptr;
  std::map<std::string, Declared, std::less<>> species_, states_;
  std::vector<PendingStep> steps_;
};

}  // namespace

bool parse_network(std::string_view text, const std::string& file, Network& network,
                   Failure& failure) {
  network = Network{};
  failure = Failure{};
  Reader reader(file, failure);
  return reader.parse(text, network);
}

bool read_network(const std::string& path, Network& network, Failure& failure) {
  std::string text;
  TextFault fault;
  if (!read_text_file(path, TextLimits{}, text, fault)) {
    failure = Failure{};
    failure.status = kExitFailed;
    failure.message = path;
    if (fault.line > 0) failure.message.append(":").append(std::to_string(fault.line));
    failure.message.append(": ").append(fault.reason).append("\n");
    failure.place = {path, fault.line, 0, fault.reason};
    return false;
  }
  return parse_network(text, path, network, failure);
}

Network cycle_network(const Cycle& cycle) {
  Network network;
  network.T = cycle.T;
  const int64_t n = cycle.n;
  std::vector<int64_t> reactant(n + 1, -1), product(n + 1, -1);
  for (int64_t i = 1; i <= n; ++i) {
    if (cycle.has_reac[i]) {
      reactant[i] = static_cast<int64_t>(network.species.size());
      network.species.push_back(
          {numbered("R", static_cast<std::size_t>(i)), cycle.conc_reac[i], 0});
    }
    if (cycle.has_prod[i]) {
      product[i] = static_cast<int64_t>(network.species.size());
      network.species.push_back(
          {numbered("P", static_cast<std::size_t>(i)), cycle.conc_prod[i], 0});
    }
  }
  for (int64_t j = 0; j < n; ++j)
    network.states.push_back({numbered("I", static_cast<std::size_t>(j)), cycle.G_int[j], 0});
  for (int64_t i = 1; i <= n; ++i) {
    Step step;
    step.name = numbered("TS", static_cast<std::size_t>(i));
    step.from = i - 1;
    step.to = i % n;
    step.G_ts = cycle.G_ts[i];
    if (reactant[i] >= 0) step.consumes.push_back(reactant[i]);
    if (product[i] >= 0) step.releases.push_back(product[i]);
    step.closes_turn = i == n;
    step.shift = i == n ? cycle.DeltaG : 0.0;
    network.steps.push_back(step);
  }
  return network;
}

std::string network_text(const Network& network, const std::string& comment) {
  std::string text;
  if (!comment.empty()) text += "# " + comment + "\n";
  text += "temperature " + shortest(network.T) + "\n";
  for (const Species& species : network.species) {
    text += "species " + species.name + " " + shortest(species.conc) + "\n";
  }
  for (const State& state : network.states)
    text += "state " + state.name + " " + shortest(state.G) + "\n";
  for (std::size_t e = 0; e < network.steps.size(); ++e) {
    const Step& step = network.steps[e];
    text += "step " + network.states[step.from].name + " " + network.states[step.to].name + " ts " +
            shortest(step.G_ts);
    if (!step.consumes.empty()) text += " consumes";
    for (int64_t s : step.consumes) text += " " + network.species[s].name;
    if (!step.releases.empty()) text += " releases";
    for (int64_t s : step.releases) text += " " + network.species[s].name;
    if (step.closes_turn) text += " shift " + shortest(step.shift);
    if (step.name != numbered("TS", static_cast<std::size_t>(e + 1))) text += " name " + step.name;
    text += "\n";
  }
  return text;
}

}  // namespace kinex::network

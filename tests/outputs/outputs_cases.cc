// The generated input files of the recorded outputs and the cases made of
// them (see outputs_cases.h).
#include "outputs_cases.h"

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kinex_outputs {
namespace {

// Random choices from the raw output of the engine only, so that every
// standard library draws the same files. Each expression below draws at most
// once (or in an order the language fixes), so that every compiler does too.
class Dice {
 public:
  explicit Dice(uint64_t seed) : engine_(seed) {}
  uint64_t below(uint64_t n) { return engine_() % n; }
  int64_t between(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(below(static_cast<uint64_t>(hi - lo + 1)));
  }
  bool percent(int p) { return below(100) < static_cast<uint64_t>(p); }
  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }

 private:
  std::mt19937_64 engine_;
};

// mantissa / 10^decimals written out, e.g. (-5, 2) -> "-0.05".
std::string decimal(int64_t mantissa, int decimals) {
  std::string digits = std::to_string(mantissa < 0 ? -mantissa : mantissa);
  if (decimals > 0) {
    if (digits.size() <= static_cast<std::size_t>(decimals)) {
      digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    }
    digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
  }
  return (mantissa < 0 ? "-" : "") + digits;
}

std::string energy(Dice& d, int64_t tenths_lo, int64_t tenths_hi, int decimals) {
  int64_t scale = 1;
  for (int k = 1; k < decimals; ++k) scale *= 10;
  return decimal(d.between(tenths_lo * scale, tenths_hi * scale), decimals);
}

std::string concentration(Dice& d) {
  const std::string digit = std::to_string(d.between(1, 9)),
                    exponent = std::to_string(d.between(0, 6));
  switch (d.below(12)) {
    case 0:
      return digit + ".0e-" + exponent;
    case 1:
      return digit + ".5E-" + exponent;
    case 2:
      return digit + ".0D-" + exponent;
    case 3:
      return digit + ".0d+" + exponent;
    case 4:
      return digit + ".0-" + exponent;  // exponent without a letter
    case 5:
      return "." + digit;
    case 6:
      return digit;
    case 7:
      return "'" + digit + ".0e-" + exponent + " mol/L'";
    case 8:
      return "\"0." + digit + " M\"";
    case 9:
      return std::string("1.0e").append(
          std::to_string(d.between(3, 12)));  // product-favoured when a product
    default:
      return "0." + digit + std::to_string(d.between(0, 9));
  }
}

std::string special_energy(Dice& d) {
  return d.pick(Strings{"Inf", "-Infinity", "NaN", "nan", "INF", "1.0e6", "-2.5D6", "1.0e300",
                        "-1.0D308", "1.0e-300", "99999.9", "0", "1.0D2", "1.0+2"});
}

// The records of a cycle file, each a list of values; `tags` gets the
// features drawn, for the case name.
std::vector<Strings> cycle_records(Dice& d, int64_t n, Strings& tags) {
  std::vector<Strings> records;
  const int decimals = d.percent(70) ? 1 : static_cast<int>(d.between(2, 4));
  if (decimals > 1) tags.push_back(std::string("dec").append(std::to_string(decimals)));
  std::string T = "298.15";
  if (d.percent(40)) T = decimal(d.between(1500, 8000), 1);
  if (d.percent(4)) {
    T = d.pick(Strings{"-298.15", "Inf", "NaN", "0.0", "1.0D3", "1e-300"});
    tags.push_back("T");
  }
  records.push_back({T});
  records.push_back({std::to_string(n)});
  const int conc_percent = static_cast<int>(d.pick(std::vector<int64_t>{0, 15, 40, 90}));
  const bool special = d.percent(6);
  if (special) tags.push_back("special");
  for (int64_t i = 0; i < n; ++i) {
    std::string g_int =
        i == 0 && d.percent(70) ? decimal(0, decimals) : energy(d, -300, 100, decimals);
    std::string g_ts = energy(d, -100, 350, decimals);
    if (special && d.percent(30)) {
      std::string& slot = d.percent(50) ? g_int : g_ts;
      slot = special_energy(d);
    }
    const std::string reac = d.percent(conc_percent) ? concentration(d) : d.pick(Strings{"x", "X"});
    const std::string prod = d.percent(conc_percent) ? concentration(d) : "x";
    records.push_back({g_int, g_ts, reac, prod});
  }
  std::string delta = energy(d, -400, -1, decimals);
  if (d.percent(8)) {
    delta = d.percent(30) ? decimal(0, decimals) : energy(d, 0, 200, decimals);
    tags.push_back("uphill");
  }
  records.push_back({delta});
  return records;
}

// The way a file is written out.
struct Layout {
  std::string eol = "\n";
  bool blank_lines = false, remarks = false, repeats = false, split = false, last_eol = true;
  std::string separator = " ";
};

Layout draw_layout(Dice& d, Strings& tags) {
  Layout l;
  auto feature = [&](int p, const char* tag) {
    const bool on = d.percent(p);
    if (on) tags.push_back(tag);
    return on;
  };
  if (feature(20, "crlf")) l.eol = "\r\n";
  l.blank_lines = feature(15, "blank");
  l.remarks = feature(20, "remarks");
  l.repeats = feature(15, "repeat");
  l.split = feature(10, "split");
  l.last_eol = !feature(10, "noeol");
  if (feature(25, "sep")) l.separator = d.pick(Strings{"\t", ", ", ",", "   ", " ,\t", " \t "});
  return l;
}

std::string render(const std::vector<Strings>& records, const Layout& l, Dice& d) {
  std::string text;
  for (std::size_t r = 0; r < records.size(); ++r) {
    Strings values = records[r];
    if (l.repeats && values.size() == 4 && d.percent(50)) {  // r*value for equal neighbours
      if (d.percent(30)) values[1] = values[0];
      if (values[2] == values[3])
        values = {values[0], values[1], "2*" + values[2]};
      else if (values[0] == values[1])
        values = {"2*" + values[0], values[2], values[3]};
    }
    if (l.blank_lines && d.percent(25)) text += d.pick(Strings{"", "   ", "\t"}) + l.eol;
    for (std::size_t k = 0; k < values.size(); ++k) {
      if (k > 0) text += l.split && k == 2 && d.percent(50) ? l.eol : l.separator;
      text += values[k];
    }
    if (l.remarks && d.percent(40)) {
      text += d.pick(Strings{" K", "   ! step", "\tkcal/mol", " remark, with a comma", "  'text",
                             " / done", " x"});
    }
    if (r + 1 < records.size() || l.last_eol) text += l.eol;
  }
  return text;
}

std::string valid_file(uint64_t seed, int64_t n, Strings& tags) {
  Dice d(seed);
  std::vector<Strings> records = cycle_records(d, n, tags);
  const Layout layout = draw_layout(d, tags);
  return render(records, layout, d);
}

// The faults put into broken files: a value replaced by a bad one, or one of
// the changes of kOtherFaults.
enum class Slot { Real, Field, Steps };  // a real number, a concentration, n
struct Replacement {
  const char* tag;
  Slot slot;
  Strings texts;
};
const std::vector<Replacement> kReplacements = {
    {"badreal", Slot::Real, {"298.15K", "1.2.3", "--1", "1e", "+", ".", "1.0E+", "0x10", "x"}},
    {"badfield", Slot::Field, {"xx", "'abc'", "'x'", "-", "1.0q", "'1.2.3'", "none", "'inf0'"}},
    {"badint", Slot::Steps, {"3.0", "3e0", "three", "+", "0x3", "1,5", "'3'", "x", "3*"}},
    {"intoverflow",
     Slot::Steps,
     {"99999999999999999999", "-99999999999999999999", "9223372036854775808"}},
    {"nsteps", Slot::Steps, {"0", "-1", "-9223372036854775808", "00"}},
    {"badinf", Slot::Real, {"infx", "Inferno", "i", "infinit", "INFINITY1"}},
    {"badnan", Slot::Real, {"none", "nan(1)", "N/A", "na", "NaNa"}},
    {"quote", Slot::Field, {"'0.5", "\"1e-3 mol", "''", "\"\"", "'"}},
    {"memory", Slot::Steps, {"10000000", "1000000000000", "9223372036854775807"}},
};
const char* const kOtherFaults[] = {"zerorepeat", "repeatoverflow", "novalue",
                                    "eof",        "control",        "longline"};
const int kFaultKinds = static_cast<int>(kReplacements.size() + std::size(kOtherFaults));

// A valid file with fault number `fault` (0 .. kFaultKinds-1) put in.
std::string broken_file(uint64_t seed, int fault, Strings& tags) {
  Dice d(seed);
  const int64_t n = d.between(1, 12);
  Strings ignored;
  std::vector<Strings> records = cycle_records(d, n, ignored);
  Layout layout;
  if (d.percent(25)) {
    layout.eol = "\r\n";
    tags.push_back("crlf");
  }
  if (d.percent(20)) layout.separator = ",";
  const std::size_t r = d.below(records.size());  // a record
  Strings& rec = records[r];
  const std::size_t k = d.below(rec.size());  // one of its values
  Strings& step = records[2 + d.below(static_cast<uint64_t>(n))];
  std::string& real = r == 1 ? records[0][0] : rec[rec.size() == 4 ? d.below(2) : 0];
  std::string& field = step[2 + d.below(2)];
  const std::size_t replacements = kReplacements.size();
  if (static_cast<std::size_t>(fault) < replacements) {
    const Replacement& by = kReplacements[static_cast<std::size_t>(fault)];
    tags.push_back(by.tag);
    (by.slot == Slot::Real    ? real
     : by.slot == Slot::Field ? field
                              : records[1][0]) = d.pick(by.texts);
    return render(records, layout, d);
  }
  const std::string other = kOtherFaults[static_cast<std::size_t>(fault) - replacements];
  tags.push_back(other);
  const uint64_t how = d.below(4);
  if (other == "zerorepeat") rec[k] = "0*" + rec[k];
  if (other == "repeatoverflow")
    rec[k] = (how < 2 ? "200000001*" : "99999999999999999999*") + rec[k];
  if (other == "novalue") {
    if (how == 0) rec[k] = "," + rec[k];  // a comma before the first value or two in a row
    if (how == 1) rec[k] = "2*";
    if (how >= 2) {  // a slash before the record has all its values
      rec.resize(k);
      rec.push_back("/");
    }
  }
  if (other == "eof") {  // an empty file, or a record or value missing at the end
    if (how == 0) return d.pick(Strings{"", "\n", "\r\n", "   \n\n"});
    if (how == 1) records.resize(1 + d.below(records.size() - 1));
    if (how == 2) step.pop_back();
    if (how == 3) {
      records.pop_back();
      layout.last_eol = d.percent(50);
    }
  }
  if (other == "control" || other == "longline") {  // a line worth cutting and escaping
    real = d.pick(Strings{"none", "1.2.3", "infx"});
    const std::size_t width = static_cast<std::size_t>(d.between(100, 400));
    if (other == "control") {
      rec.push_back(
          d.pick(Strings{"\x01\x02", "\x7f", "caf\xc3\xa9", "\x1b[31mred", "\t\v\f", "\xff"}));
    } else if (how < 2) {
      rec.push_back(std::string(width, '-'));
    } else {
      rec.insert(rec.begin(), std::string(width, ' ') + "   ");
    }
  }
  return render(records, layout, d);
}

// A valid file with a few bytes changed at random: whatever the reader then
// makes of it.
std::string mutated_file(uint64_t seed, Strings& tags) {
  Dice d(seed);
  Strings ignored;
  std::string text = valid_file(seed ^ 0x5bd1e995ull, d.between(1, 8), ignored);
  static const std::string kBytes = " \t,*/'\"xXeEdD.-+0123456789\r\ninfNa\x01\x80";
  const int64_t edits = d.between(1, 3);
  for (int64_t e = 0; e < edits && !text.empty(); ++e) {
    const std::size_t at = d.below(text.size());
    const char c = kBytes[d.below(kBytes.size())];
    const uint64_t edit = d.below(3);
    if (edit == 0) text.insert(at, 1, c);
    if (edit == 1) text.erase(at, 1);
    if (edit == 2) text[at] = c;
    tags.push_back(Strings{"ins", "del", "set"}[edit]);
  }
  return text;
}

// ---------------------------------------------------------------------------
// The cases: files to write and the runs to make over them.

Runspec exe(Strings args) { return {true, std::move(args)}; }
Runspec tool(Strings args) { return {false, std::move(args)}; }

// Every report option set and every subcommand that takes one file.
std::vector<Runspec> per_file_runs(const std::string& file) {
  // clang-format off
  return {exe({file}), exe({file, "l"}), exe({file, "idh"}),
          exe({file, "i", "d", "a", "t", "h", "l"}), exe({file, "-a", "t"}),
          tool({"json", file}), tool({"csv", file}), tool({"plot", file})};
  // clang-format on
}

std::string joined(const std::string& head, const Strings& tags) {
  std::string name = head;
  for (const std::string& tag : tags) name += "-" + tag;
  return name;
}

std::string numbered(const char* prefix, int k) {
  const std::string digits = std::to_string(k);
  std::string name = prefix;
  name.append(digits.size() < 4 ? 4 - digits.size() : 0, '0');
  return name.append(digits);
}

}  // namespace

std::vector<Case> valid_cases() {
  std::vector<Case> cases;
  for (int k = 0; k < 1250; ++k) {
    Dice d(7000 + static_cast<uint64_t>(k));
    const int64_t n = k % 250 == 249  ? d.between(100, 300)
                      : d.percent(30) ? d.between(1, 4)
                                      : d.between(1, 40);
    Strings tags{std::string("n").append(std::to_string(n))};
    const std::string file = numbered("v", k) + ".txt";
    const std::string text = valid_file(d.below(UINT64_MAX), n, tags);
    cases.push_back({joined(numbered("valid-", k), tags), {{file, text}}, per_file_runs(file)});
  }
  return cases;
}

std::vector<Case> broken_cases() {
  std::vector<Case> cases;
  for (int k = 0; k < 975; ++k) {
    Strings tags;
    const std::string file = numbered("b", k) + ".txt";
    const std::string text = broken_file(90000 + static_cast<uint64_t>(k), k % kFaultKinds, tags);
    cases.push_back({joined(numbered("broken-", k), tags), {{file, text}}, per_file_runs(file)});
  }
  return cases;
}

std::vector<Case> mutated_cases() {
  std::vector<Case> cases;
  for (int k = 0; k < 600; ++k) {
    Strings tags;
    const std::string file = numbered("m", k) + ".txt";
    const std::string text = mutated_file(300000 + static_cast<uint64_t>(k), tags);
    cases.push_back({joined(numbered("mutated-", k), tags), {{file, text}}, per_file_runs(file)});
  }
  return cases;
}

std::vector<Case> scan_cases() {
  std::vector<Case> cases;
  for (int k = 0; k < 60; ++k) {
    Dice d(500000 + static_cast<uint64_t>(k));
    const int64_t n = d.between(1, 12);
    Strings tags;
    const std::string file = numbered("s", k) + ".txt";
    const std::string text = valid_file(d.below(UINT64_MAX), n, tags);
    const int64_t from = d.between(150, 300), to = d.between(300, 700), by = d.between(50, 800);
    const std::string temperature =
        std::to_string(from) + ":" + std::to_string(to) + ":" + decimal(by, 1);
    const std::string step = std::to_string(d.between(1, n));
    const std::string range =
        d.pick(Strings{"1e-4:1e4:10", "0.001:1000:3.5", "1e-9:1:100", "2:2:2"});
    cases.push_back({numbered("scan-", k),
                     {{file, text}},
                     {tool({"scan", file, "--temperatures", temperature}),
                      tool({"scan", file, "--temperatures", temperature, "--csv"}),
                      tool({"scan", file, "--reactant", step + "=" + range}),
                      tool({"scan", file, "--product", step + "=" + range, "--csv"})}});
  }
  Strings ignored;
  const std::string cycle = valid_file(1, 3, ignored);
  std::vector<Runspec> refused;
  for (const char* sweep : {"400:300:10", "0:300:10", "250:400:0", "250:400:-1", "nan:400:10",
                            "250:inf:10", "1:100001:0.0005", "250:400", "250:400:10:1", "a:b:c",
                            "+250:400:10", " 250:400:10", "250:400:1e-300"}) {
    refused.push_back(tool({"scan", "sc.txt", "--temperatures", sweep}));
  }
  for (const char* sweep :
       {"4=1:10:10", "0=1:10:10", "1=1:10:1", "1=0:10:10", "1=1e-3:1e3", "=1:10:10", "1.5=1:10:10",
        "1=10:1:10", "99999999999999999999=1:10:10"}) {
    refused.push_back(tool({"scan", "sc.txt", "--reactant", sweep}));
    refused.push_back(tool({"scan", "sc.txt", "--product", sweep, "--csv"}));
  }
  refused.push_back(tool({"scan", "sc.txt"}));
  refused.push_back(
      tool({"scan", "sc.txt", "--temperatures", "250:400:10", "--reactant", "1=1:10:10"}));
  refused.push_back(tool({"scan", "--temperatures", "250:400:10"}));
  refused.push_back(tool({"scan", "missing.txt", "--temperatures", "250:400:10"}));
  refused.push_back(tool({"scan", "sc.txt", "--temperatures", "250:400:10", "extra"}));
  cases.push_back({"scan-refused", {{"sc.txt", cycle}}, refused});
  return cases;
}

std::vector<Case> batch_cases() {
  std::vector<Case> cases;
  for (int k = 0; k < 40; ++k) {
    Dice d(700000 + static_cast<uint64_t>(k));
    Case c{numbered("batch-", k), {}, {}};
    Strings names;
    const int64_t count = d.between(2, 6), bad = k % 4 == 0 ? -1 : d.between(0, count - 1);
    for (int64_t f = 0; f < count; ++f) {
      Strings tags;
      std::string name = numbered("f", k) + "-" + std::to_string(f);
      name += d.percent(80) ? ".txt"
                            : d.pick(Strings{"+plus.txt", "@at.txt", "a,b.txt", "q\"uote.txt",
                                             "tab\tname.txt", "line\nfeed.txt", "sp ace.txt"});
      if (d.percent(10)) name = d.pick(Strings{"=", "+", "-", "@", "\t"}) + name;
      const uint64_t seed = d.below(UINT64_MAX);
      const int64_t size = d.between(1, 10);
      const std::string text = f == bad
                                   ? broken_file(seed, static_cast<int>(size) % kFaultKinds, tags)
                                   : valid_file(seed, size, tags);
      c.files.push_back({name, text});
      names.push_back(name);
    }
    if (d.percent(20)) names.push_back("missing.txt");
    Strings json{"json"}, csv{"csv"}, sheet{"csv", "--spreadsheet", "--"};
    json.insert(json.end(), names.begin(), names.end());
    csv.insert(csv.end(), names.begin(), names.end());
    sheet.insert(sheet.end(), names.begin(), names.end());
    c.runs = {tool(json), tool(csv), tool(sheet)};
    cases.push_back(c);
  }
  return cases;
}

std::vector<Case> command_line_cases() {
  Strings ignored;
  const std::string cycle = valid_file(2, 3, ignored);
  Case c{"command-line", {}, {}};
  for (const char* name :
       {"c.txt", "-dash.txt", "=eq.txt", "tb.txt", "blank end.txt  ", "ctl\x1b[2J.txt"}) {
    c.files.push_back({name, cycle});
  }
  const std::string long_name(300, 'n');
  const std::string long_option = "xxxxxxxxxxxxxxxxxxxxl";  // the l is the 21st character
  // clang-format off
  for (const Strings& args : std::vector<Strings>{
           {}, {""}, {"missing.txt"}, {"dir"}, {"dir/"}, {"loop"}, {"nofolder/c.txt"},
           {"c.txt/x"}, {long_name}, {"tb.txt   "}, {"blank end.txt  "}, {"blank end.txt"},
           {"ctl\x1b[2J.txt"}, {"c.txt ", "l"}, {"c.txt", "", "l"}, {"c.txt", long_option},
           {"c.txt", "I", "D", "A", "T", "H", "L"}, {"c.txt", "x", "x", "x", "x", "x", "l"},
           {"c.txt", "a", "d", "t", "h", "i", "l"}, {"c.txt", "--", "-l"}}) {
    c.runs.push_back(exe(args));
  }
  for (const Strings& args : std::vector<Strings>{
           {}, {"--help"}, {"-h"}, {"--version"}, {"--version", "x"}, {"help"}, {"bogus"},
           {"--bogus"}, {"json\t"}, {"report", "--help"}, {"json", "--help"}, {"csv", "--help"},
           {"scan", "--help"}, {"plot", "--help"}, {"report"}, {"report", "c.txt", "l"},
           {"report", "c.txt", "--help"}, {"report", "missing.txt"}, {"json"}, {"csv"},
           {"csv", "--spreadsheet"}, {"json", "--bogus"}, {"json", "--", "-dash.txt"},
           {"csv", "--", "-dash.txt", "=eq.txt"}, {"csv", "--spreadsheet", "=eq.txt", "-dash.txt"},
           {"json", "dir", "c.txt"}, {"json", "c.txt", "c.txt"}, {"json", "\x1b[31m"},
           {"csv", "ctl\x1b[2J.txt"}, {"plot"}, {"plot", "c.txt", "-o", "-"},
           {"plot", "c.txt", "-o", "c.txt"}, {"plot", "c.txt", "-o", "./c.txt"},
           {"plot", "c.txt", "extra"}, {"plot", "missing.txt"}, {"plot", "c.txt", "--output"}}) {
    c.runs.push_back(tool(args));
  }
  // clang-format on
  return {c};
}

}  // namespace kinex_outputs

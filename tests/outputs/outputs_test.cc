// What KINEX.exe and kinex print, pinned byte for byte: a few thousand
// generated input files, valid and broken, run through every report option
// set and every kinex subcommand in-process, each run's exit status and the
// length and 64-bit FNV-1a hash of its standard output and standard error
// compared with tests/outputs/outputs.manifest. A change of one byte in any
// output fails the test, naming the cases and showing the first few outputs.
//
// The manifest is data, recorded from a tree whose outputs are known good:
//
//   KINEX_RECORD_OUTPUTS=1 ./outputs_tests --gtest_filter='*Record*'
//
// writes it anew (next to this file). Record only when an output is meant to
// change, or when the generator of the cases (outputs_cases.cc) changes: the
// generated files are part of the record, so a change to the generator needs
// a new manifest recorded from unchanged program code.
//
// With KINEX_JSON_DOCUMENTS_DIR set to a folder, every JSON document a run
// prints (kinex json, or a --json option) is also written there, one file
// per run named CASE-RUN.json, for the schema test (tests/schemas) to
// validate.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "common/support.h"
#include "driver/driver.h"
#include "outputs_cases.h"

#ifndef KINEX_OUTPUTS_MANIFEST
#error "KINEX_OUTPUTS_MANIFEST must name the manifest file"
#endif

namespace {

namespace fs = std::filesystem;
using kinex_outputs::Case;
using kinex_outputs::Runspec;
using kinex_outputs::Strings;

uint64_t fnv1a(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// ---------------------------------------------------------------------------
// Running the cases and comparing.

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome perform(const Runspec& run) {
  Outcome o;
  if (run.report_exe) {
    o.status = kinex::run_program(run.args, o.out, o.err);
  } else {
    Strings args = run.args;
    args.insert(args.begin(), "kinex");
    o.status = kinex::run_kinex(args, o.out, o.err);
  }
  return o;
}

std::string stream_token(const std::string& text) {
  if (text.empty()) return "-";
  static const char* const kHex = "0123456789abcdef";
  std::string hex(16, '0');
  uint64_t hash = fnv1a(text);
  for (int k = 15; k >= 0; --k, hash >>= 4) hex[static_cast<std::size_t>(k)] = kHex[hash & 15];
  return std::to_string(text.size()) + ":" + hex;
}

// "STATUS,STDOUT,STDERR", each stream "-" when empty, else "LENGTH:HASH".
std::string token(const Outcome& o) {
  return std::to_string(o.status) + "," + stream_token(o.out) + "," + stream_token(o.err);
}

// `text` with its control characters and other bytes escaped, cut after
// `limit` bytes.
std::string shown(const std::string& text, std::size_t limit = 4000) {
  std::string s;
  for (unsigned char c : std::string_view(text).substr(0, limit)) {
    if (c == '\n' || (c >= 0x20 && c < 0x7f)) {
      s += static_cast<char>(c);
    } else {
      static const char* const kHex = "0123456789abcdef";
      s += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    }
  }
  if (text.size() > limit) s += "\n[... " + std::to_string(text.size() - limit) + " bytes more]";
  return s;
}

std::string command_of(const Runspec& run) {
  std::string line = run.report_exe ? "KINEX.exe" : "kinex";
  for (const std::string& arg : run.args) line += " '" + shown(arg) + "'";
  return line;
}

// The files of the cases written into a directory of their own, which is the
// working directory while the runs are made (so that names stay relative).
class Scratch {
 public:
  explicit Scratch(const std::vector<Case>& cases) {
    path_ = kinex::test::make_scratch_directory("kinex-outputs-");
    if (path_.empty()) throw std::runtime_error("no scratch directory");
    home_ = fs::current_path();
    fs::current_path(path_);
    fs::create_directory("dir");
    // A link to itself; Windows may refuse to make one (its cases then
    // differ there).
    std::error_code no_link;
    fs::create_symlink("loop", "loop", no_link);
    for (const Case& c : cases) {
      for (const auto& [name, text] : c.files) std::ofstream(name, std::ios::binary) << text;
    }
  }
  ~Scratch() {
    std::error_code ignored;
    fs::current_path(home_, ignored);
    fs::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

 private:
  fs::path path_, home_;
};

// Whether a run asks kinex for JSON: the subcommand json or a --json
// option, and no help text.
bool prints_json(const Runspec& run) {
  if (run.report_exe) return false;
  bool json = false;
  for (const std::string& arg : run.args) {
    if (arg == "--help" || arg == "-h") return false;
    json = json || arg == "json" || arg == "--json";
  }
  return json;
}

// The folder KINEX_JSON_DOCUMENTS_DIR names, made absolute; empty when unset.
fs::path documents_dir() {
  const char* dir = std::getenv("KINEX_JSON_DOCUMENTS_DIR");
  return dir == nullptr || *dir == '\0' ? fs::path() : fs::absolute(dir);
}

// Case name -> one token per run.
using Record = std::map<std::string, Strings>;

std::vector<std::pair<std::string, Strings>> outcomes_of(const std::vector<Case>& cases) {
  const fs::path documents = documents_dir();
  Scratch scratch(cases);
  std::vector<std::pair<std::string, Strings>> lines;
  for (const Case& c : cases) {
    Strings tokens;
    for (std::size_t r = 0; r < c.runs.size(); ++r) {
      const Outcome o = perform(c.runs[r]);
      tokens.push_back(token(o));
      if (!documents.empty() && !o.out.empty() && prints_json(c.runs[r])) {
        const fs::path file = documents / (c.name + "-" + std::to_string(r) + ".json");
        std::ofstream(file, std::ios::binary) << o.out;
      }
    }
    lines.emplace_back(c.name, tokens);
  }
  return lines;
}

Record read_manifest(const char* path = KINEX_OUTPUTS_MANIFEST) {
  Record record;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    fields >> name;
    Strings& tokens = record[name];
    for (std::string t; fields >> t;)
      tokens.push_back(t == "=" && !tokens.empty() ? tokens.back() : t);
  }
  return record;
}

struct Group {
  const char* name;
  std::vector<Case> (*cases)();
};

void PrintTo(const Group& group, std::ostream* os) { *os << group.name; }

const Group kGroups[] = {
    {"valid", kinex_outputs::valid_cases},     {"broken", kinex_outputs::broken_cases},
    {"mutated", kinex_outputs::mutated_cases}, {"scan", kinex_outputs::scan_cases},
    {"batch", kinex_outputs::batch_cases},     {"command", kinex_outputs::command_line_cases}};

bool recording() {
  const char* flag = std::getenv("KINEX_RECORD_OUTPUTS");
  return flag != nullptr && std::string(flag) == "1";
}

// How many differing cases a failure lists, with their runs.
constexpr std::size_t kListed = 30;

class RecordedOutputs : public testing::TestWithParam<Group> {};

TEST_P(RecordedOutputs, MatchTheManifest) {
  if (recording()) GTEST_SKIP() << "recording";
  const Record record = read_manifest();
  ASSERT_FALSE(record.empty()) << "no manifest at " << KINEX_OUTPUTS_MANIFEST;
  const std::vector<Case> cases = GetParam().cases();
  auto lines = outcomes_of(cases);
#ifdef KINEX_OUTPUTS_WINDOWS_MANIFEST
  // The Windows build prints what the manifest holds, or what the Windows
  // manifest holds for the few cases that differ there.
  const Record windows = read_manifest(KINEX_OUTPUTS_WINDOWS_MANIFEST);
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const auto found = windows.find(cases[k].name);
    if (found != windows.end() && found->second == lines[k].second) {
      lines[k].second = record.count(cases[k].name) ? record.at(cases[k].name) : Strings{};
    }
  }
#endif

  std::size_t differing = 0, shown_outputs = 0;
  std::ostringstream report;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    const Strings& actual = lines[k].second;
    const auto found = record.find(c.name);
    if (found != record.end() && found->second == actual) continue;
    if (++differing > kListed) continue;
    if (found == record.end()) {
      report << c.name << ": not in the manifest\n";
      continue;
    }
    report << c.name << ":\n";
    for (std::size_t r = 0; r < c.runs.size(); ++r) {
      const std::string recorded = r < found->second.size() ? found->second[r] : "(none)";
      if (recorded == actual[r]) continue;
      report << "  " << command_of(c.runs[r]) << "\n    recorded " << recorded << "\n    now      "
             << actual[r] << "\n";
      if (shown_outputs++ < 3) {
        Scratch again({c});
        const Outcome o = perform(c.runs[r]);
        report << "    ---- exit status " << o.status << ", standard output:\n"
               << shown(o.out) << "\n    ---- standard error:\n"
               << shown(o.err) << "\n    ----\n";
      }
    }
  }
  if (differing > kListed) report << "... and " << differing - kListed << " more cases\n";
  std::size_t in_group = 0;
  const std::string prefix = std::string(GetParam().name) + "-";
  for (const auto& [name, tokens] : record) in_group += name.rfind(prefix, 0) == 0;
  EXPECT_EQ(differing, 0u) << differing << " of " << cases.size() << " cases print otherwise than "
                           << "recorded in " << KINEX_OUTPUTS_MANIFEST << ":\n"
                           << report.str();
  EXPECT_EQ(in_group, cases.size()) << "the manifest holds other " << prefix << " cases";
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordedOutputs, testing::ValuesIn(kGroups),
                         [](const testing::TestParamInfo<Group>& info) {
                           return std::string(info.param.name);
                         });

// Writes the manifest anew with KINEX_RECORD_OUTPUTS=1; otherwise skipped.
TEST(RecordedOutputsManifest, Record) {
  if (!recording()) GTEST_SKIP() << "set KINEX_RECORD_OUTPUTS=1 to record the manifest";
  std::string text =
      "# Outputs of KINEX.exe and kinex for the generated cases of outputs_test.cc.\n"
      "# One line per case: its name, then per run STATUS,STDOUT,STDERR with each\n"
      "# stream '-' when empty, else LENGTH:FNV-1a-64; '=' for a run that printed\n"
      "# exactly what the run before it printed. Recorded by the test with\n"
      "# KINEX_RECORD_OUTPUTS=1; do not edit by hand.\n";
  std::size_t count = 0;
#ifdef KINEX_OUTPUTS_WINDOWS_MANIFEST
  // The Windows build records the cases that differ from the manifest.
  const char* const path = KINEX_OUTPUTS_WINDOWS_MANIFEST;
  const Record record = read_manifest();
  text =
      "# The cases whose outputs differ in the Windows build from outputs.manifest,\n"
      "# and what the Windows build prints for them (the file names Windows cannot\n"
      "# hold, the symbolic links it cannot make, and the last digit of some\n"
      "# numbers printed in full: Windows' C library rounds exp and log otherwise\n"
      "# in a few last bits). Recorded under wine with KINEX_RECORD_OUTPUTS=1.\n";
#else
  const char* const path = KINEX_OUTPUTS_MANIFEST;
#endif
  for (const Group& group : kGroups) {
    for (const auto& [name, tokens] : outcomes_of(group.cases())) {
#ifdef KINEX_OUTPUTS_WINDOWS_MANIFEST
      if (record.count(name) && record.at(name) == tokens) continue;
#endif
      text += name;
      // A run that printed what the run before it printed (a broken file
      // under every option set) is written "=".
      for (std::size_t r = 0; r < tokens.size(); ++r) {
        text += " " + (r > 0 && tokens[r] == tokens[r - 1] ? std::string("=") : tokens[r]);
      }
      text += "\n";
      ++count;
    }
  }
  std::ofstream manifest(path, std::ios::binary);
  manifest << text;
  ASSERT_TRUE(manifest.flush()) << "cannot write " << path;
  std::cout << "recorded " << count << " cases into " << path << "\n";
}

}  // namespace

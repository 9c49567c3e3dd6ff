// The reference run that KINEX.exe makes of an input file, and a CSV reader
// for reading outputs back.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/cycle.h"
#include "cli/commands.h"
#include "common/support.h"
#include "driver/driver.h"
#include "model/run.h"

namespace kinex::cycle_files {

using test::bits;
using test::read_file;
using test::ScratchDir;

// `kinex ARGS...` in-process.
inline test::Outcome kinex_run(std::vector<std::string> args) {
  args.insert(args.begin(), "kinex");
  test::Outcome o;
  o.status = run_kinex(args, o.out, o.err);
  return o;
}

// The run KINEX.exe makes of the file: the driver's own phases, report and
// all. False (with a test failure) when the file cannot be read.
inline bool reference_run(const std::string& file, Run& run) {
  run.input_name = file;
  std::FILE* stream = std::fopen(file.c_str(), "r");
  if (stream == nullptr) {
    ADD_FAILURE() << "cannot open " << file;
    return false;
  }
  std::string report;
  Failure failure;
  const bool ok = run_phases(run, report::Switches{}, stream, report, failure);
  std::fclose(stream);
  if (!ok) ADD_FAILURE() << file << ": " << failure.message;
  return ok;
}

// The run kinex makes of the file: the same reader and model, the
// logarithms always evaluated. False (with a test failure) when the file
// cannot be read.
inline bool kinex_evaluation(const std::string& file, Run& run) {
  Failure failure;
  if (!load_cycle(file, run, failure)) {
    ADD_FAILURE() << file << ": " << failure.message;
    return false;
  }
  evaluate_cycle(run, 0, Use::outputs);
  return true;
}

// The run KINEX.exe makes of a file holding `input` (the input format).
inline Run evaluated_text(const std::string& input) {
  ScratchDir dir;
  Run run;
  EXPECT_TRUE(reference_run(dir.write("cycle.txt", input), run));
  return run;
}

// A cycle of n steps, energies with one decimal within about +-scale
// kcal/mol, each transition state at least min_rise * scale above its
// intermediate, reactants and products at some steps; the same arguments
// give the same cycle.
inline std::string generated_cycle(int n, double scale, unsigned seed, double min_rise) {
  auto uniform = [&](double lo, double hi) {
    seed = seed * 1103515245u + 12345u;
    return lo + (hi - lo) * ((seed >> 8) & 0xFFFF) / 65535.0;
  };
  std::ostringstream in;
  in << "298.15\n" << n << "\n";
  for (int i = 0; i < n; ++i) {
    const double g = i == 0 ? 0.0 : std::round(uniform(-scale, 0.3 * scale) * 10) / 10;
    const double ts = std::round((g + uniform(min_rise * scale, 0.8 * scale)) * 10) / 10;
    in << g << " " << ts << " " << (i % 3 == 1 ? "0.5" : "x") << " " << (i % 4 == 2 ? "1e-3" : "x")
       << "\n";
  }
  in << -std::round(uniform(0.0, 0.6) * scale * 10) / 10 << "\n";
  return in.str();
}

// Reads CSV as RFC 4180 has it: quoted fields with doubled quotes and line
// ends inside, records ended by LF or CR LF. Fails the test on a stray or
// unterminated quote, and on a carriage return outside quotes that does not
// end a record (many readers end the record there).
inline std::vector<std::vector<std::string>> read_csv(std::string_view text) {
  std::vector<std::vector<std::string>> records(1);
  std::string field;
  bool quoted = false, was_quoted = false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (k + 1 < text.size() && text[k + 1] == '"') {
        field += text[++k];
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      if (!field.empty() || was_quoted) ADD_FAILURE() << "stray quote at " << k;
      quoted = was_quoted = true;
    } else if (c == ',' || c == '\n' || (c == '\r' && text.substr(k, 2) == "\r\n")) {
      records.back().push_back(field);
      field.clear();
      was_quoted = false;
      if (c == '\r') ++k;
      if (c != ',') records.emplace_back();
    } else {
      if (was_quoted) ADD_FAILURE() << "text after a closing quote at " << k;
      if (c == '\r') ADD_FAILURE() << "carriage return outside quotes at " << k;
      field += c;
    }
  }
  if (quoted) ADD_FAILURE() << "unterminated quoted field";
  if (!field.empty() || !records.back().empty()) records.back().push_back(field);
  if (records.back().empty()) records.pop_back();
  return records;
}

// Whether a python3 is on the PATH.
inline bool have_python() { return std::system("command -v python3 >/dev/null 2>&1") == 0; }

// What the Python script `script` prints as JSON about the picture `svg`
// (given as its argument); a test failure when it fails, which it does when
// the picture is not well-formed XML.
inline nlohmann::json python_on_picture(const std::string& script, const std::string& svg) {
  test::ScratchDir dir;
  const std::string command = "/usr/bin/python3 " + dir.write("script.py", script) + " " +
                              dir.write("picture.svg", svg) + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  EXPECT_EQ(pclose(pipe), 0) << "not well-formed:\n" << output;
  const nlohmann::json p = nlohmann::json::parse(output, nullptr, false);
  EXPECT_FALSE(p.is_discarded()) << output;
  return p.is_discarded() ? nlohmann::json::object() : p;
}

}  // namespace kinex::cycle_files

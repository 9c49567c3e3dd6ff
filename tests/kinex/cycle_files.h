// Cycles written to files in a scratch directory, the reference run that
// KINEX.exe makes of them, and a CSV reader for reading outputs back.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver.h"
#include "driver/run.h"

namespace kinex::cycle_files {

// A directory of its own under the system's temporary directory, removed
// with everything in it at the end of the test.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kinex-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a scratch directory";
    path = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes `content` to the file `name` here and returns its path.
  std::string write(const std::string& name, const std::string& content) const {
    const std::string file = (path / name).string();
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }
};

inline std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint64_t bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// The run KINEX.exe makes of the file: the driver's own phases, report and
// all. False (with a test failure) when the file cannot be read.
inline bool reference_run(const std::string& file, Run& run) {
  read_command_line(run, {file});
  std::FILE* stream = std::fopen(file.c_str(), "r");
  if (stream == nullptr) {
    ADD_FAILURE() << "cannot open " << file;
    return false;
  }
  std::string report;
  Failure failure;
  const bool ok = run_phases(run, stream, report, failure);
  std::fclose(stream);
  if (!ok) ADD_FAILURE() << file << ": " << failure.message;
  return ok;
}

// Reads CSV as RFC 4180 has it (quoted fields, doubled quotes, line ends
// inside quotes); records end in LF or CR LF. Fails the test on a stray
// quote or an unterminated quoted field.
inline std::vector<std::vector<std::string>> read_csv(std::string_view text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  std::size_t k = 0;
  while (k < text.size()) {
    if (text[k] == '"') {
      if (!field.empty()) ADD_FAILURE() << "quote inside an unquoted field at " << k;
      ++k;
      for (;; ++k) {
        if (k >= text.size()) {
          ADD_FAILURE() << "unterminated quoted field";
          return records;
        }
        if (text[k] == '"') {
          if (k + 1 < text.size() && text[k + 1] == '"') {
            field += '"';
            ++k;
            continue;
          }
          ++k;
          break;
        }
        field += text[k];
      }
      if (k < text.size() && text[k] != ',' && text[k] != '\n' && text[k] != '\r') {
        ADD_FAILURE() << "text after a closing quote at " << k;
      }
      continue;
    }
    if (text[k] == ',') {
      record.push_back(field);
      field.clear();
    } else if (text[k] == '\n' || (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) {
      if (text[k] == '\r') ++k;
      record.push_back(field);
      field.clear();
      records.push_back(record);
      record.clear();
    } else {
      field += text[k];
    }
    ++k;
  }
  if (!field.empty() || !record.empty()) {
    record.push_back(field);
    records.push_back(record);
  }
  return records;
}

}  // namespace kinex::cycle_files

// Helpers the test programs share: files, scratch directories and whole
// runs of the program in-process.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/driver.h"

namespace kinex::test {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

// What KINEX.exe says when it cannot read its input file.
inline constexpr char kUsage[] =
    " The specified input file does not exist.\n"
    " Program usage: KINEX.exe inputfile [options]\n";

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline uint64_t bits(double x) { return std::bit_cast<uint64_t>(x); }

// `text` spelt as a test name, of [A-Za-z0-9_] only: letters and digits as
// they are, a blank as "_", every other byte by its name ("Dot", "Nl", ...)
// or its code ("x7F"); "Empty" for no text. Used to name the cases of
// parameterised tests after their input.
inline std::string spelt_as_name(std::string_view text) {
  static constexpr std::pair<char, const char*> kNames[] = {
      {'.', "Dot"},   {',', "Comma"}, {';', "Semicolon"}, {'\'', "Quote"},
      {'/', "Slash"}, {'*', "Star"},  {'+', "Plus"},      {'-', "Minus"},
      {'\n', "Nl"},   {'\r', "Cr"},   {'\t', "Tab"},      {'=', "Equals"}};
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (text.empty()) return "Empty";
  std::string name;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 && std::isalnum(byte) != 0) {
      name += c;
      continue;
    }
    if (c == ' ') {
      name += '_';
      continue;
    }
    const char* spelt = nullptr;
    for (const auto& [known, word] : kNames) spelt = known == c ? word : spelt;
    name +=
        spelt != nullptr ? std::string(spelt) : std::string{'x', kHex[byte >> 4], kHex[byte & 15]};
  }
  return name;
}

// An unnamed file holding `bytes`, positioned at its start.
inline std::FILE* file_with(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

// A new directory of its own under the system's folder for temporary
// files, named PREFIX and a random part; empty when none can be made.
inline std::filesystem::path make_scratch_directory(const std::string& prefix) {
#ifdef _WIN32
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path name =
        std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(name, error)) return name;
  }
  return {};
#else
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
#endif
}

// A directory of its own, removed with everything in it at the end.
struct ScratchDir {
  std::filesystem::path path = make_scratch_directory("kinex-test-");
  ScratchDir() {
    if (path.empty()) ADD_FAILURE() << "cannot make a scratch directory";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string file(const std::string& name) const { return (path / name).string(); }
  // Writes `content` to the file `name` here and returns its path.
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(file(name), std::ios::binary) << content;
    return file(name);
  }
};

struct Outcome {
  int status = -1;
  std::string out, err;
};

// KINEX.exe run in-process on `args` (the program name not included).
inline Outcome run_kinex_exe(const std::vector<std::string>& args, std::size_t memory_limit = 0) {
  Outcome o;
  o.status = run_program(args, o.out, o.err, memory_limit);
  return o;
}

#ifndef _WIN32
// Runs `command` with /bin/sh and collects what it writes (kept in the files
// "out" and "err" of `dir`) and its exit status (-1 when a signal ended it).
inline Outcome spawn_shell(const ScratchDir& dir, const std::string& command) {
  const std::string full =
      "{ " + command + "\n} >'" + dir.file("out") + "' 2>'" + dir.file("err") + "'";
  const int raw = std::system(full.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(dir.file("out")),
          read_file(dir.file("err"))};
}

// A word quoted for /bin/sh.
inline std::string shell_quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a program with `args` as a shell starts it.
inline Outcome spawn(const ScratchDir& dir, const std::string& program,
                     const std::vector<std::string>& args) {
  std::string command = shell_quoted(program);
  for (const std::string& arg : args) {
    command += ' ';
    command += shell_quoted(arg);
  }
  return spawn_shell(dir, command);
}
#endif

}  // namespace kinex::test

// `got` and `want` the same double, bit for bit (so NaN equals NaN, and 0.0
// differs from -0.0); `what` names it in the failure.
#define EXPECT_SAME_BITS(got, want, what)                                \
  EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want)) \
      << (what) << ": got " << (got) << ", want " << (want)

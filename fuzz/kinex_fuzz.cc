// Fuzzing one whole run of KINEX in process: the input bytes are the input
// file, the first byte picks the option strings. Every run must end with
// status 0, 1 or 2; a failed run leaves at most the driving-force warning on
// standard output and a diagnostic on standard error; every output line is
// printable ASCII ended by a line feed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver.h"
#include "model/run.h"

namespace {

// About 200 steps fit. Under the sanitizers the model's n^3 loops of a
// cycle with every concentration run some hundred times slower than in the
// program, so a larger cycle would break the fuzzer's one-second timeout
// without any fault; the memory check turns it into a status-1 failure
// instead. Larger cycles are covered by the large-cycle tests.
constexpr std::size_t kMemoryLimit = std::size_t{512} << 10;

const std::vector<std::string> kOptionSets[] = {
    {}, {"l"}, {"idh"}, {"l"}, {"at"}, {"h"}, {"idathl"}, {"-i", "d"}, {"a", "", "", "", "", "t"},
};
constexpr std::size_t kOptionSetCount = sizeof kOptionSets / sizeof kOptionSets[0];

const char kWarningDeltaG[] =
    "\n WARNING! There is no positive driving force.\n That's because DeltaG is not negative.\n";
const char kWarningConcentrations[] =
    "\n WARNING! There is no positive driving force.\n Maybe you should modify the "
    "concentrations.\n";

[[noreturn]] void fail(const char* what, const std::string& out, const std::string& err) {
  std::fprintf(stderr, "kinex_fuzz: %s\n--- standard output ---\n%s--- standard error ---\n%s",
               what, out.c_str(), err.c_str());
  std::abort();
}

// True when `text` is empty or lines of printable ASCII, each ended by a
// line feed.
bool plain_lines(std::string_view text) {
  for (char c : text) {
    if (c != '\n' && (c < ' ' || c > '~')) return false;
  }
  return text.empty() || text.back() == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // fmemopen refuses a buffer of size 0 on some C libraries; an empty file
  // is then /dev/null.
  std::vector<char> bytes(data, data + size);
  std::FILE* file = size > 0 ? fmemopen(bytes.data(), size, "r") : std::fopen("/dev/null", "r");
  if (file == nullptr) std::abort();

  std::vector<std::string> args{"fuzz.txt"};
  const std::vector<std::string>& options = kOptionSets[size > 0 ? data[0] % kOptionSetCount : 0];
  args.insert(args.end(), options.begin(), options.end());

  kinex::Run run;
  run.memory_limit = kMemoryLimit;
  const kinex::CommandLine line = kinex::read_command_line(args);
  run.input_name = line.input_name;
  std::string out;
  kinex::Failure failure;
  const bool ok = kinex::run_phases(run, line.show, file, out, failure);
  std::fclose(file);

  if (!plain_lines(out)) fail("standard output is not plain text lines", out, failure.message);
  if (ok) {
    if (failure.status != 0 || !failure.message.empty()) {
      fail("a successful run left a failure behind", out, failure.message);
    }
    if (out.find("NAME OF THE INPUTFILE: fuzz.txt\n") == std::string::npos) {
      fail("a successful run wrote no report", out, failure.message);
    }
    return 0;
  }
  if (failure.status != 1 && failure.status != 2)
    fail("exit status not 1 or 2", out, failure.message);
  if (failure.message.empty() || !plain_lines(failure.message)) {
    fail("the diagnostic is not plain text lines", out, failure.message);
  }
  if (!out.empty() && out != kWarningDeltaG && out != kWarningConcentrations) {
    fail("a failed run wrote more than the warning", out, failure.message);
  }
  return 0;
}

// The three-step example cycle built in memory, evaluated with the library
// behind KINEX.exe, and compared with the same cycle read from its file.
#include <kinex/kinex.h>

#include <cstdio>
#include <string>

int main() {
  kinex::Cycle cycle;
  std::string error;
  // Step: G_int, G_ts (kcal/mol), reactant and product concentrations.
  if (!kinex::build_cycle(298.15,
                          {{0.0, 15.2, {}, {}}, {-5.1, 20.3, 0.5, {}}, {-2.0, 12.0, {}, 1.0e-3}},
                          -10.0, cycle, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  kinex::Evaluation result;
  kinex::Failure failure;
  if (!kinex::evaluate(cycle, result, failure)) return 1;
  std::printf("TOF = %.4e s^-1, TDI %lld, TDTS %lld, X_TOF of the reactant of step 2 = %.2f\n",
              result.results.TOF, static_cast<long long>(result.results.TDI),
              static_cast<long long>(result.results.TDTS), result.results.xtof_reac[2]);

  kinex::Cycle read;
  kinex::Evaluation from_file;
  if (!kinex::read_cycle(KINEX_EXAMPLES "/three_step.txt", read, failure) ||
      !kinex::evaluate(read, from_file, failure)) {
    std::fprintf(stderr, "%s", failure.message.c_str());
    return 1;
  }
  std::printf("the same as from the file: %s\n",
              from_file.results.TOF == result.results.TOF ? "yes" : "no");
  return 0;
}

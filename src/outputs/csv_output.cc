#include "outputs/csv_output.h"

#include "model/profile.h"
#include "outputs/format.h"
#include "outputs/state_names.h"
#include "outputs/summary.h"

namespace kinex {
std::string csv_header() {
  return "file,T,n,DeltaG,tof_per_s,tdi_step,tdts_step,energetic_span,warning,log10_tof,"
         "evaluation,effective_span,apparent_barrier,warning_count,tdi,tdts,"
         "largest_xtof_int,largest_xtof_ts,tdi_tie_steps,tdts_tie_steps\n";
}

std::string csv_row(const Run& run, CsvNames& guard, std::size_t warnings) {
  const StateNames names = run_names(run);
  const int64_t n = run.cycle.n;
  std::string states;
  for (const std::string& state :
       {tdi_state(names, run.results.TDI), tdts_state(names, run.results.TDTS),
        tdi_state(names, largest_xtof_intermediate(run.results, n) + 1),
        tdts_state(names, largest_xtof_transition_state(run.results, n))}) {
    states += ',';
    states += guard.field(state);
  }
  return guard.field(run.input_name) + ',' + shortest(run.cycle.T) + ',' +
         std::to_string(run.cycle.n) + ',' + shortest(run.cycle.DeltaG) + ',' +
         shortest(run.results.TOF) + ',' + std::to_string(run.results.TDI) + ',' +
         std::to_string(run.results.TDTS) + ',' + shortest(energetic_span(run)) + ',' +
         csv_bool(needs_driving_force_warning(run.profile)) + ',' +
         shortest(run.results.log10_TOF) + ',' + evaluation_name(run.results.evaluation) + ',' +
         shortest(run.results.effective_span) + ',' + shortest(run.results.apparent_barrier) + ',' +
         std::to_string(warnings) + states + ',' + step_list(run.results.TDI_ties) + ',' +
         step_list(run.results.TDTS_ties) + '\n';
}

}  // namespace kinex

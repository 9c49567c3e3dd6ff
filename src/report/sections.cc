#include "report/sections.h"

#include <cstddef>
#include <string_view>
#include <vector>

#include "model/control.h"
#include "model/profile.h"
#include "report/banner.h"
#include "report/line_writer.h"
#include "text/shown_name.h"
#include "text/strings.h"

namespace kinex::report {
namespace {

// The title lines are printed as they stand; they are not all centred alike.
constexpr std::string_view kInputTitle =
    "!!                     REPEAT OF THE INPUT                        !!";
constexpr std::string_view kDegreesTitle =
    "!!                   THE DEGREES OF TOF CONTROL                   !!";
constexpr std::string_view kAnalysisTitle =
    "!!                     ANALYSIS OF THE CYCLE                      !!";
constexpr std::string_view kTofTitle =
    "!!                       THE CALCULATED TOF                       !!";

void write_head(const std::string& input_name, bool banner, std::string& out) {
  write_free(out, {""});
  if (banner) write_banner(out);
  write_free(out, {"NAME OF THE INPUTFILE: ", text::shown_name(text::trim_right(input_name))});
  write_free(out, {""});
}

void write_input_repeat(const Cycle& cycle, const Profile& profile, bool headings,
                        std::string& out) {
  if (headings) write_heading(out, kInputTitle);
  write_free(out, {"temperature =", cycle.T, "K"});
  write_free(out, {"# of steps  =", cycle.n});
  write_free(out, {""});
  write_free(out, {"             energies        concentrations"});
  write_free(out, {"            Int     TS     reactant    product"});
  for (int64_t i = 1; i <= cycle.n; ++i) {
    write_laid_out(out, "(A5,I2,A1,2F8.1,A2,A10,A1,A10)",
                   {" Step", i, " ", cycle.G_int[i - 1], cycle.G_ts[i], "  ",
                    concentration_text(cycle.has_reac[i], cycle.conc_reac[i]), " ",
                    concentration_text(cycle.has_prod[i], cycle.conc_prod[i])});
  }
  // The "/" ends each of these two writes with a line of zero characters.
  write_laid_out(out, "(A7,F8.1,/)", {" Final ", profile.G_int[cycle.n]});
  write_laid_out(out, "(A7,F8.1,/)", {" DeltaG", cycle.DeltaG});
}

void write_degrees(const Cycle& cycle, const Results& results, bool headings, std::string& out) {
  if (headings) write_heading(out, kDegreesTitle);
  write_free(out, {"          X_TOF(energies)   X_TOF(concentrations)"});
  write_free(out, {"            Int      TS       reactant  product"});
  for (int64_t i = 1; i <= cycle.n; ++i) {
    write_laid_out(out, "(A5,I2,2F9.2,A3,2A9)",
                   {" Step", i, results.xtof_int[i - 1], results.xtof_ts[i], "   ",
                    xtof_cell(cycle.has_reac[i], results.xtof_reac[i]),
                    xtof_cell(cycle.has_prod[i], results.xtof_prod[i])});
  }
  write_free(out, {""});
}

// " 1", " 1 and 2", " 1, 2, 4 and 5": each step free-form, so with its own
// leading blank.
std::string step_list(const std::vector<int64_t>& steps) {
  std::string list;
  for (std::size_t c = 0; c < steps.size(); ++c) {
    if (c > 0) list += c + 1 == steps.size() ? " and" : ",";
    list += ' ' + free_integer(steps[c]);
  }
  return list;
}

void write_analysis(const Results& results, bool headings, std::string& out) {
  if (headings) write_heading(out, kAnalysisTitle);
  const std::string tdi = free_form({results.TDI});
  const std::string tdts = free_form({results.TDTS});
  write_free(out, {"The TDI is the intermediate of step", tdi, "."});
  write_free(out, {"The TDTS is the transition state of step", tdts, "."});
  write_free(out, {""});
  write_advice(results, out);
  write_free(out, {""});
}

void write_tof(const Results& results, bool headings, std::string& out) {
  if (headings) write_heading(out, kTofTitle);
  // One working value scaled in place: the per-day figure is the per-hour
  // figure as stored times 24, not TOF times 86400.
  double tof = results.TOF;
  write_laid_out(out, "(A12,ES9.2,A7)", {"      TOF = ", tof, " s^(-1)"});
  tof *= 3600.0;
  write_laid_out(out, "(A12,ES9.2,A7)", {"          = ", tof, " h^(-1)"});
  tof *= 24.0;
  write_laid_out(out, "(A12,ES9.2,A7)", {"          = ", tof, " d^(-1)"});
  write_free(out, {""});
}

}  // namespace

void write_warning(const Profile& profile, std::string& out) {
  if (!needs_driving_force_warning(profile)) return;
  write_free(out, {});
  write_free(out, {"WARNING! There is no positive driving force."});
  // A NaN dG is not "not negative": the concentrations are blamed then.
  if (profile.dG >= 0.0) {
    write_free(out, {"That's because DeltaG is not negative."});
  } else {
    write_free(out, {"Maybe you should modify the concentrations."});
  }
}

std::string concentration_text(bool has_conc, double conc) {
  if (has_conc) return std::string(text::trim_right(laid_out("(ES7.1)", {conc})));
  return "x";
}

std::string xtof_cell(bool has_conc, double xtof) {
  if (has_conc) return std::string(text::trim_right(laid_out("(F9.2)", {xtof})));
  return std::string(text::trim_right(free_form({"x"})));
}

// The advice names the reactants to give in high concentration and the
// products to remove; the closing pair ends it once, after its last sentence.
void write_advice(const Results& results, std::string& out) {
  const auto R = results.reac_steps.size();
  const auto P = results.prod_steps.size();
  if (R >= 1) {
    const std::string sentence =
        (R == 1 ? "Using the reactant entering in step" : "Using the reactants entering in steps") +
        step_list(results.reac_steps) +
        (P == 0 ? " in high concentration" : " in high concentration and");
    write_free(out, {sentence});
  }
  if (P >= 1) {
    // Lower case when it continues the reactant sentence's "and".
    std::string opening = P == 1 ? "Removing the product released in step"
                                 : "Removing the products released in steps";
    if (R >= 1) opening[0] = 'r';
    write_free(out, {opening + step_list(results.prod_steps) + " from the reaction mixture"});
  }
  if (R + P >= 1) {
    write_free(out, {"will speed up the reaction more efficiently than manipulating the other"});
    write_free(out, {"concentrations."});
  }
}

void write_report(const std::string& input_name, const Cycle& cycle, const Profile& profile,
                  const Results& results, const Switches& show, std::string& out) {
  write_head(input_name, show.banner, out);
  if (show.input) write_input_repeat(cycle, profile, show.headings, out);
  if (show.degrees) write_degrees(cycle, results, show.headings, out);
  if (show.analysis) {
    if (results.TDI_ties.empty() && results.TDTS_ties.empty()) {
      write_analysis(results, show.headings, out);
    } else {
      // Results whose ties were resolved for the outputs of kinex: the
      // report names the states of the single largest term all the same.
      Results own = results;
      set_determining_states(cycle, own.dominant_a, own.dominant_b, own);
      write_analysis(own, show.headings, out);
    }
  }
  if (show.tof) write_tof(results, show.headings, out);
}

}  // namespace kinex::report

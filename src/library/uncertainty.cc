// The uncertainty of a cycle for callers of the public headers.
#include "model/uncertainty.h"

#include <kinex/uncertainty.h>

#include "library/json_visit.h"
#include "uncertainty/screening.h"

namespace kinex::features {

std::string check_uncertainty_model(const UncertaintyModel& model, int64_t n) {
  return kinex::check_uncertainty_model(model, n);
}

bool sample_uncertainty(const Cycle& cycle, const UncertaintyModel& model, int threads,
                        Distribution& out, std::string& error, const std::function<bool()>& stop) {
  return kinex::sample_uncertainty(cycle, model, threads, out, error, stop);
}

bool ensemble_uncertainty(const std::vector<Cycle>& members, Distribution& out, std::string& error,
                          const std::vector<std::string>& names) {
  return kinex::ensemble_uncertainty(members, out, error, names);
}

bool resolve_sigmas(const SigmaSpec& spec, const StateNames& names, int64_t n,
                    std::vector<double>& sigma, std::string& error) {
  return kinex::resolve_sigmas(spec, names, n, sigma, error);
}

std::vector<std::string> uncertainty_state_names(const StateNames& names, int64_t n) {
  return kinex::uncertainty_state_names(names, n);
}

void state_probabilities(const std::vector<std::string>& states, const std::vector<double>& p,
                         bool intermediates, JsonVisitor& to) {
  visit_json(kinex::state_probabilities(states, p, intermediates), to);
}

void uncertainty_json(const UncertaintySource& source, const Distribution& d, JsonVisitor& to) {
  visit_json(kinex::uncertainty_json(source, d), to);
}

std::string uncertainty_text(const UncertaintySource& source, const Distribution& d) {
  return kinex::uncertainty_text(source, d);
}

}  // namespace kinex::features

// The statistics of the volcano: Student's t distribution and its critical
// values.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "volcano/volcano.h"

namespace kinex {

double student_t_two_sided(double t, int64_t nu) {
  if (nu < 1 || std::isnan(t)) return NAN;
  if (std::isinf(t)) return 0.0;
  // With theta = atan(|t| / sqrt(nu)), P(|T| < |t|) is a finite series in
  // cos^2 theta: for odd nu, (2 / pi)(theta + sin cos (1 + 2/3 c^2 + 2 4 /
  // (3 5) c^4 + ...)), for even nu, sin (1 + 1/2 c^2 + 1 3 / (2 4) c^4 +
  // ...), both up to the power nu - 2.
  const double theta = std::atan(std::abs(t) / std::sqrt(static_cast<double>(nu)));
  const double sine = std::sin(theta), cosine = std::cos(theta), c2 = cosine * cosine;
  double sum = 1.0, term = 1.0;
  const bool odd = nu % 2 == 1;
  for (int64_t k = odd ? 3 : 2; k <= nu - 1; k += 2) {
    term *= c2 * static_cast<double>(k - 1) / static_cast<double>(k);
    sum += term;
  }
  const double inside = odd ? (nu == 1 ? 2.0 * theta / std::numbers::pi
                                       : 2.0 / std::numbers::pi * (theta + sine * cosine * sum))
                            : sine * sum;
  return std::max(0.0, 1.0 - inside);
}

double critical_t(int64_t nu, double level) {
  if (nu < 1 || !(level > 0.0)) return INFINITY;
  const auto below = [&](double t) { return student_t_two_sided(t, nu) < level; };
  if (below(0.0)) return 0.0;
  double high = 1.0;
  while (!below(high)) {
    if (high > 1e300) return INFINITY;
    high *= 2.0;
  }
  double low = 0.0;  // !below(low), below(high)
  for (;;) {
    const double middle = low + 0.5 * (high - low);
    if (middle <= low || middle >= high) return low;
    (below(middle) ? high : low) = middle;
  }
}

}  // namespace kinex

// Real numbers kept as a sign and the logarithm of the magnitude, so that
// rates and populations keep every digit far beyond the range of doubles,
// and their sums, formed without cancellation where the terms agree in
// sign.
#pragma once

#include <cmath>
#include <limits>
#include <utility>

namespace kinex::network {

inline constexpr double kMinusInf = -std::numeric_limits<double>::infinity();

// ln(e^a + e^b), exact for -inf arguments.
inline double log_add(double a, double b) {
  if (a < b) std::swap(a, b);
  if (b == kMinusInf) return a;
  return a + std::log1p(std::exp(b - a));
}

// A real number: zero is sign 0 with ln = -inf.
struct SignedLog {
  int sign = 0;
  double ln = kMinusInf;
};

// `x` times e^l.
inline SignedLog scaled(SignedLog x, double l) {
  return x.sign == 0 ? x : SignedLog{x.sign, x.ln + l};
}
inline SignedLog negated(SignedLog x) { return {-x.sign, x.ln}; }

// e^a - e^b: the larger times -expm1 of the difference.
inline SignedLog log_difference(double a, double b) {
  if (a == b) return {};
  if (a > b) return {1, a + std::log(-std::expm1(b - a))};
  return {-1, b + std::log(-std::expm1(a - b))};
}

// A sum of signed terms: the positive and the negative ones summed apart,
// then one taken from the other once.
class SignedSum {
 public:
  void add(SignedLog x) {
    if (x.sign > 0) positive_ = log_add(positive_, x.ln);
    if (x.sign < 0) negative_ = log_add(negative_, x.ln);
  }
  SignedLog total() const { return log_difference(positive_, negative_); }

 private:
  double positive_ = kMinusInf, negative_ = kMinusInf;
};

// The value as a double: 0 or infinite beyond the range of doubles.
inline double value_of(SignedLog x) { return x.sign == 0 ? 0.0 : x.sign * std::exp(x.ln); }

}  // namespace kinex::network

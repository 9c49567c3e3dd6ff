#include "network/elimination.h"

#include <algorithm>
#include <unordered_map>

namespace kinex::network {

namespace {

void drop(std::vector<int64_t>& list, int64_t rate) {
  list.erase(std::find(list.begin(), list.end(), rate));
}

}  // namespace

bool plan_elimination(int64_t states, const std::vector<std::pair<int64_t, int64_t>>& transitions,
                      Plan& plan, int64_t& stuck) {
  plan = Plan{};
  plan.states = states;
  std::vector<std::vector<int64_t>> out(states), in(states);
  std::unordered_map<int64_t, int64_t> index;
  auto add_rate = [&](int64_t from, int64_t to) {
    const auto rate = static_cast<int64_t>(plan.source.size());
    plan.source.push_back(from);
    plan.target.push_back(to);
    out[from].push_back(rate);
    in[to].push_back(rate);
    index.emplace(from * states + to, rate);
    return rate;
  };
  for (const auto& [from, to] : transitions) add_rate(from, to);
  plan.given = static_cast<int64_t>(transitions.size());
  std::vector<bool> left(states, true);
  for (int64_t round = 0; round + 1 < states; ++round) {
    int64_t best = -1;
    std::size_t best_fill = 0;
    for (int64_t s = 0; s < states; ++s) {
      if (!left[s]) continue;
      const std::size_t fill = out[s].size() * in[s].size();
      if (best < 0 || fill < best_fill) best = s, best_fill = fill;
    }
    if (out[best].empty() || in[best].empty()) {
      stuck = best;
      return false;
    }
    Plan::Elimination e{best, 0, 0, 0, 0, 0, 0};
    e.out_begin = static_cast<int64_t>(plan.outs.size());
    plan.outs.insert(plan.outs.end(), out[best].begin(), out[best].end());
    e.out_end = static_cast<int64_t>(plan.outs.size());
    e.in_begin = static_cast<int64_t>(plan.ins.size());
    plan.ins.insert(plan.ins.end(), in[best].begin(), in[best].end());
    e.in_end = static_cast<int64_t>(plan.ins.size());
    e.update_begin = static_cast<int64_t>(plan.updates.size());
    const std::vector<int64_t> ins = in[best], outs = out[best];
    for (int64_t r_in : ins) {
      const int64_t from = plan.source[r_in];
      for (int64_t r_out : outs) {
        const int64_t to = plan.target[r_out];
        if (from == to) continue;  // a way back to where it came from moves nothing
        const auto found = index.find(from * states + to);
        const int64_t rate = found != index.end() ? found->second : add_rate(from, to);
        plan.updates.push_back({rate, r_in, r_out});
      }
    }
    e.update_end = static_cast<int64_t>(plan.updates.size());
    plan.eliminations.push_back(e);
    for (int64_t r_in : ins) drop(out[plan.source[r_in]], r_in);
    for (int64_t r_out : outs) drop(in[plan.target[r_out]], r_out);
    out[best].clear();
    in[best].clear();
    left[best] = false;
  }
  for (int64_t s = 0; s < states; ++s) {
    if (left[s]) plan.root = s;
  }
  return true;
}

Reduced reduce(const Plan& plan, const std::vector<double>& ln_rates) {
  Reduced reduced;
  std::vector<double>& q = reduced.ln_rate;
  q.assign(plan.source.size(), kMinusInf);
  std::copy(ln_rates.begin(), ln_rates.end(), q.begin());
  for (const Plan::Elimination& e : plan.eliminations) {
    double total = kMinusInf;
    for (int64_t o = e.out_begin; o < e.out_end; ++o) total = log_add(total, q[plan.outs[o]]);
    reduced.ln_out_total.push_back(total);
    for (int64_t u = e.update_begin; u < e.update_end; ++u) {
      const Plan::Update& update = plan.updates[u];
      q[update.rate] = log_add(q[update.rate], (q[update.in] + q[update.out]) - total);
    }
  }
  std::vector<double>& ln_pi = reduced.ln_population;
  ln_pi.assign(plan.states, kMinusInf);
  ln_pi[plan.root] = 0.0;
  for (std::size_t k = plan.eliminations.size(); k-- > 0;) {
    const Plan::Elimination& e = plan.eliminations[k];
    double sum = kMinusInf;
    for (int64_t i = e.in_begin; i < e.in_end; ++i) {
      const int64_t rate = plan.ins[i];
      sum = log_add(sum, ln_pi[plan.source[rate]] + q[rate]);
    }
    ln_pi[e.state] = sum - reduced.ln_out_total[k];
  }
  double norm = kMinusInf;
  for (double x : ln_pi) norm = log_add(norm, x);
  for (double& x : ln_pi) x -= norm;
  return reduced;
}

std::vector<SignedLog> balance(const Plan& plan, const Reduced& reduced,
                               const std::vector<SignedLog>& inflow) {
  // Eliminating state n from y_n s_n = sum_i y_i q_in + F_n passes F_n on
  // as F_j += F_n q_nj / s_n; the root's equation is the redundant one.
  std::vector<SignedLog> F = inflow;
  const std::vector<double>& q = reduced.ln_rate;
  for (std::size_t k = 0; k < plan.eliminations.size(); ++k) {
    const Plan::Elimination& e = plan.eliminations[k];
    const SignedLog passed = scaled(F[e.state], -reduced.ln_out_total[k]);
    if (passed.sign == 0) continue;
    for (int64_t o = e.out_begin; o < e.out_end; ++o) {
      const int64_t rate = plan.outs[o];
      SignedSum sum;
      sum.add(F[plan.target[rate]]);
      sum.add(scaled(passed, q[rate]));
      F[plan.target[rate]] = sum.total();
    }
  }
  std::vector<SignedLog> y(plan.states);
  for (std::size_t k = plan.eliminations.size(); k-- > 0;) {
    const Plan::Elimination& e = plan.eliminations[k];
    SignedSum sum;
    sum.add(F[e.state]);
    for (int64_t i = e.in_begin; i < e.in_end; ++i) {
      const int64_t rate = plan.ins[i];
      sum.add(scaled(y[plan.source[rate]], q[rate]));
    }
    y[e.state] = scaled(sum.total(), -reduced.ln_out_total[k]);
  }
  // Of the solutions y + t p, the one summing to 0.
  SignedSum all;
  for (const SignedLog& x : y) all.add(x);
  const SignedLog shift = negated(all.total());
  if (shift.sign != 0) {
    for (std::size_t s = 0; s < y.size(); ++s) {
      SignedSum sum;
      sum.add(y[s]);
      sum.add(scaled(shift, reduced.ln_population[s]));
      y[s] = sum.total();
    }
  }
  return y;
}

}  // namespace kinex::network

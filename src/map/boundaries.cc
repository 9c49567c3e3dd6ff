// The boundaries between a map's regions of equal TDI and TDTS: where the
// region changes along an edge of the grid the switch is bisected on the
// edge (all edges at once, through the array path), the switches of each
// cell are joined (marching squares over the regions), and the joins are
// chained into lines.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "map/map.h"

namespace kinex::map_detail {
namespace {

// Halvings of an edge: the switch to 2^-40 of it, about 1e-12.
constexpr int kBisections = 40;

using Point = std::array<double, 2>;

// Segments between numbered points, chained into lines: from the ends
// (points met by one segment, or by three or more) first, then the loops.
std::vector<std::vector<Point>> chained(
    const std::vector<Point>& points,
    const std::vector<std::pair<std::size_t, std::size_t>>& joins) {
  std::vector<std::vector<std::size_t>> at(points.size());
  for (std::size_t s = 0; s < joins.size(); ++s) {
    at[joins[s].first].push_back(s);
    at[joins[s].second].push_back(s);
  }
  std::vector<bool> used(joins.size(), false);
  std::vector<std::vector<Point>> lines;
  const auto walk = [&](std::size_t start) {
    for (std::size_t first : at[start]) {
      if (used[first]) continue;
      std::vector<Point> line{points[start]};
      std::size_t node = start, join = first;
      while (true) {
        used[join] = true;
        node = joins[join].first == node ? joins[join].second : joins[join].first;
        line.push_back(points[node]);
        if (at[node].size() != 2) break;
        const std::size_t next = used[at[node][0]] ? at[node][1] : at[node][0];
        if (used[next]) break;
        join = next;
      }
      lines.push_back(std::move(line));
    }
  };
  for (std::size_t p = 0; p < points.size(); ++p) {
    if (at[p].size() != 2) walk(p);
  }
  for (std::size_t p = 0; p < points.size(); ++p) walk(p);
  return lines;
}

}  // namespace

bool trace_boundaries(const VolcanoFits& fits, int threads, Map& map, std::string& error) {
  const std::size_t nx = map.x.size(), ny = map.y.size();
  const auto region = [&](std::size_t k) { return std::pair{map.TDI[k], map.TDTS[k]}; };
  // Edges by number: along x from (i, j) j (nx - 1) + i, then along y
  // from (i, j) first_along_y + j nx + i.
  const std::size_t first_along_y = ny * (nx - 1);
  std::unordered_map<std::size_t, std::size_t> switch_on;  // edge -> switch
  std::vector<MapSwitch>& switches = map.switches;
  for (std::size_t j = 0; j < ny; ++j) {
    for (std::size_t i = 0; i < nx; ++i) {
      const std::size_t k = j * nx + i;
      if (i + 1 < nx && region(k) != region(k + 1)) {
        switch_on[j * (nx - 1) + i] = switches.size();
        switches.push_back({0.0, 0.0, static_cast<int64_t>(i), static_cast<int64_t>(j), true});
      }
      if (j + 1 < ny && region(k) != region(k + nx)) {
        switch_on[first_along_y + k] = switches.size();
        switches.push_back({0.0, 0.0, static_cast<int64_t>(i), static_cast<int64_t>(j), false});
      }
    }
  }
  // Bisection of every edge at once: its start's region at `low`, another
  // at `high` (shares of the edge).
  const std::size_t m = switches.size();
  std::vector<double> low(m, 0.0), high(m, 1.0), xs(m), ys(m);
  const auto place = [&](std::size_t s, double t) {
    const MapSwitch& w = switches[s];
    const auto i = static_cast<std::size_t>(w.i), j = static_cast<std::size_t>(w.j);
    xs[s] = w.along_x ? map.x[i] + t * (map.x[i + 1] - map.x[i]) : map.x[i];
    ys[s] = w.along_x ? map.y[j] : map.y[j] + t * (map.y[j + 1] - map.y[j]);
  };
  std::vector<int64_t> TDI, TDTS;
  for (int round = 0; round < kBisections && m > 0; ++round) {
    for (std::size_t s = 0; s < m; ++s) place(s, (low[s] + high[s]) / 2);
    if (!regions_at(map, fits, xs, ys, threads, TDI, TDTS, error)) {
      error = "the boundaries of the regions cannot be traced: " + error;
      return false;
    }
    for (std::size_t s = 0; s < m; ++s) {
      const auto start =
          static_cast<std::size_t>(switches[s].j) * nx + static_cast<std::size_t>(switches[s].i);
      const double middle = (low[s] + high[s]) / 2;
      (region(start) == std::pair{TDI[s], TDTS[s]} ? low[s] : high[s]) = middle;
    }
  }
  std::vector<Point> points;
  for (std::size_t s = 0; s < m; ++s) {
    place(s, (low[s] + high[s]) / 2);
    switches[s].x = xs[s], switches[s].y = ys[s];
    points.push_back({xs[s], ys[s]});
  }
  // Each cell's switches: two joined, three or four joined through its
  // centre.
  std::vector<std::pair<std::size_t, std::size_t>> joins;
  for (std::size_t j = 0; j + 1 < ny; ++j) {
    for (std::size_t i = 0; i + 1 < nx; ++i) {
      std::vector<std::size_t> around;
      for (const std::size_t edge : {j * (nx - 1) + i, first_along_y + j * nx + i + 1,
                                     (j + 1) * (nx - 1) + i, first_along_y + j * nx + i}) {
        const auto found = switch_on.find(edge);
        if (found != switch_on.end()) around.push_back(found->second);
      }
      if (around.size() == 2) {
        joins.emplace_back(around[0], around[1]);
      } else if (around.size() > 2) {
        points.push_back({(map.x[i] + map.x[i + 1]) / 2, (map.y[j] + map.y[j + 1]) / 2});
        for (std::size_t s : around) joins.emplace_back(s, points.size() - 1);
      }
    }
  }
  map.boundaries = chained(points, joins);
  return true;
}

}  // namespace kinex::map_detail

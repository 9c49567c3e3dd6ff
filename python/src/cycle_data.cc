#include "cycle_data.h"

#include <kinex/outputs.h>
#include <kinex/run.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace kinex::python {

bool prepared_run(const CycleData& data, Run& run, Failure& failure) {
  run.input_name = data.name;
  run.cycle.n = data.cycle.n;
  if (!features::allocate_storage(run, failure)) return false;
  run.cycle = data.cycle;
  run.names = data.names;
  run.descriptors = data.descriptors;
  return true;
}

bool evaluate_data(const std::shared_ptr<const CycleData>& data, int threads,
                   EvaluatedData& evaluated, Failure& failure) {
  evaluated.source = data;
  if (!prepared_run(*data, evaluated.run, failure)) return false;
  features::evaluate_for_outputs(evaluated.run, threads);
  evaluated.run.terms.complete_matrix.reset();  // n^2 numbers no output reads
  evaluated.findings = features::findings(evaluated.run, data->notes);
  return true;
}

namespace {

constexpr const char kMagic[] = "KINEXPY2";

// Plain values appended as their bytes; sizes before sequences.
class Writer {
 public:
  std::string bytes{kMagic};

  template <class T>
  requires std::is_arithmetic_v<T> || std::is_enum_v<T>
  void operator()(const T& x) { bytes.append(reinterpret_cast<const char*>(&x), sizeof x); }
  void operator()(const std::string& s) {
    (*this)(static_cast<uint64_t>(s.size()));
    bytes += s;
  }
  void operator()(const std::vector<bool>& v) {
    (*this)(static_cast<uint64_t>(v.size()));
    for (bool b : v) bytes += b ? '\1' : '\0';
  }
  template <class T>
  void operator()(const std::vector<T>& v) {
    (*this)(static_cast<uint64_t>(v.size()));
    for (const T& x : v) (*this)(x);
  }
};

// The length of the well-formed UTF-8 sequence at `p` (before `end`), or 0
// where none starts: a stray continuation byte, a sequence cut short,
// overlong or beyond U+10FFFF, a surrogate.
std::size_t sequence_at(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = *p;
  if (lead < 0x80) return 1;
  int more = 0;
  uint32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (end - p <= more) return 0;
  for (int k = 1; k <= more; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  const uint32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return static_cast<std::size_t>(more) + 1;
}

bool well_formed_utf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  for (std::size_t length = 0; p < end; p += length) {
    if ((length = sequence_at(p, end)) == 0) return false;
  }
  return true;
}

// The same values read back in the same order; `ok` turns false at the
// first that the bytes do not hold.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {
    ok = bytes.compare(0, sizeof kMagic - 1, kMagic) == 0;
    at_ = sizeof kMagic - 1;
  }
  bool ok = false;
  bool done() const { return ok && at_ == bytes_.size(); }
  // Whether `count` items of at least `least_bytes_each` bytes can follow.
  bool fits(uint64_t count, uint64_t least_bytes_each) const {
    return ok && count <= (bytes_.size() - at_) / least_bytes_each;
  }

  template <class T>
  requires std::is_arithmetic_v<T> || std::is_enum_v<T>
  void operator()(T& x) {
    if (!ok || bytes_.size() - at_ < sizeof x) {
      ok = false;
      return;
    }
    std::memcpy(&x, bytes_.data() + at_, sizeof x);
    at_ += sizeof x;
  }
  // A bool or the evaluation is one of its values, or the bytes are refused.
  void operator()(bool& x) {
    uint8_t byte = 2;
    (*this)(byte);
    ok = ok && byte <= 1;
    x = byte == 1;
  }
  void operator()(EvaluationMethod& x) {
    auto value = static_cast<std::underlying_type_t<EvaluationMethod>>(-1);
    (*this)(value);
    ok = ok && (value == static_cast<decltype(value)>(EvaluationMethod::direct) ||
                value == static_cast<decltype(value)>(EvaluationMethod::log_space));
    x = static_cast<EvaluationMethod>(value);
  }
  // Every text is well-formed UTF-8, as Python's str needs it to be.
  void operator()(std::string& s) {
    const uint64_t size = count(1);
    if (!ok) return;
    s.assign(bytes_, at_, size);
    at_ += size;
    ok = well_formed_utf8(s);
  }
  void operator()(std::vector<bool>& v) {
    const uint64_t size = count(1);
    v.assign(size, false);
    for (uint64_t k = 0; ok && k < size; ++k) {
      const char byte = bytes_[at_++];
      ok = byte == '\0' || byte == '\1';
      v[k] = byte == '\1';
    }
  }
  template <class T>
  void operator()(std::vector<T>& v) {
    // Each element takes at least one byte: a size beyond the bytes left is
    // refused before anything is allocated.
    const uint64_t size = count(std::is_arithmetic_v<T> ? sizeof(T) : 1);
    v.assign(size, T{});
    for (uint64_t k = 0; ok && k < size; ++k) (*this)(v[k]);
  }

 private:
  uint64_t count(uint64_t least_bytes_each) {
    uint64_t size = 0;
    (*this)(size);
    if (!fits(size, least_bytes_each)) ok = false;
    return ok ? size : 0;
  }
  const std::string& bytes_;
  std::size_t at_ = 0;
};

// Every field, in one order for writing and reading. `Archive` is a Writer
// over const values or a Reader over values to fill.
template <class Archive, class W>
void warning_fields(Archive& a, W& w) {
  a(w.code), a(w.line), a(w.text), a(w.shown);
}

template <class Archive, class V>
void vector_of(Archive& a, V& list, auto fields) {
  uint64_t size = list.size();
  a(size);
  if constexpr (!std::is_const_v<V>) {
    // Every item holds at least one size (8 bytes): a count beyond the
    // bytes left is refused before anything is allocated.
    if (!a.fits(size, sizeof(uint64_t))) size = 0, a.ok = false;
    list.resize(size);
  }
  for (auto& item : list) fields(a, item);
}

template <class Archive, class D>
void cycle_fields(Archive& a, D& d) {
  a(d.name);
  auto& c = d.cycle;
  a(c.T), a(c.n), a(c.DeltaG), a(c.G_int), a(c.G_ts), a(c.conc_reac), a(c.conc_prod);
  a(c.has_reac), a(c.has_prod);
  a(d.names.intermediate), a(d.names.transition), a(d.names.final_state);
  vector_of(a, d.descriptors, [](Archive& b, auto& x) { b(x.name), b(x.value); });
  vector_of(a, d.sigmas, [](Archive& b, auto& x) { b(x.state), b(x.sigma); });
  vector_of(a, d.notes.warnings, [](Archive& b, auto& w) { warning_fields(b, w); });
  auto& l = d.notes.lines;
  a(l.T), a(l.n), a(l.DeltaG), a(l.step);
  a(d.from_table), a(d.table_file);
  a(d.table_row.row), a(d.table_row.name), a(d.table_row.ok);
  vector_of(a, d.table_row.descriptors, [](Archive& b, auto& x) { b(x.name), b(x.value); });
}

template <class Archive, class P, class R>
void result_fields(Archive& a, P& p, R& r) {
  a(p.G_int), a(p.inv_RT), a(p.dG), a(p.g_int), a(p.g_ts);
  a(p.concproduct_reac), a(p.concproduct_prod), a(p.driving_force);
  a(r.prefactor), a(r.denominator), a(r.TOF), a(r.dominant_a), a(r.dominant_b);
  a(r.TDI), a(r.TDTS), a(r.xtof_int), a(r.xtof_ts), a(r.sum_reac), a(r.sum_prod);
  a(r.xtof_reac), a(r.xtof_prod), a(r.reac_steps), a(r.prod_steps), a(r.evaluation);
  a(r.next_turn_share), a(r.q), a(r.ln_TOF), a(r.log10_TOF), a(r.TOF_sign);
  a(r.effective_span), a(r.apparent_barrier), a(r.apparent_activation_energy);
}

template <class Archive, class U>
void uncertainty_fields(Archive& a, U& u) {
  a(u.name), a(u.monte_carlo), a(u.members);
  auto& m = u.model;
  a(m.sigma), a(m.correlation), a(m.samples), a(m.seed), a(m.shared), a(m.stream);
  auto& d = u.d;
  a(d.samples), a(d.log10_TOF), a(d.TDI), a(d.TDTS), a(d.TOF_sign), a(d.backward_share);
  a(d.mean), a(d.sd), a(d.median), a(d.low68), a(d.high68), a(d.low95), a(d.high95);
  a(d.TDI_probability), a(d.TDTS_probability), a(d.xtof_int_mean), a(d.xtof_int_sd);
  a(d.xtof_ts_mean), a(d.xtof_ts_sd), a(d.xtof_reac_mean), a(d.xtof_reac_sd);
  a(d.xtof_prod_mean), a(d.xtof_prod_sd), a(d.first_order_sd), a(d.central_log10_TOF);
  a(d.central_TDI), a(d.central_TDTS), a(d.central_TOF_sign);
}

// The tied states of the regions and the points, which came later: a
// volcano pickled before them ends without.
template <class Archive, class V>
void volcano_tie_fields(Archive& a, V& v) {
  for (auto& r : v.volcano.regions) a(r.TDI_ties), a(r.TDTS_ties);
  for (auto& p : v.volcano.points) a(p.TDI_ties), a(p.TDTS_ties);
}

template <class Archive, class V>
void volcano_fields(Archive& a, V& v) {
  a(v.file);
  auto& f = v.volcano.fits;
  a(f.descriptor), a(f.descriptor_is_state), a(f.chosen_by), a(f.rows), a(f.used), a(f.x);
  a(f.energies);
  vector_of(a, f.states, [](Archive& b, auto& s) { b(s.kind), b(s.step); });
  vector_of(a, f.fits, [](Archive& b, auto& l) {
    b(l.state), b(l.slope), b(l.intercept), b(l.r2), b(l.mae), b(l.residual_sd);
    b(l.var_intercept), b(l.var_slope), b(l.cov_intercept_slope), b(l.warning);
  });
  a(f.residual_covariance);
  auto& c = f.conditions;
  a(c.T), a(c.n), a(c.DeltaG), a(c.G_int), a(c.G_ts), a(c.conc_reac), a(c.conc_prod);
  a(c.has_reac), a(c.has_prod);
  a(f.names.intermediate), a(f.names.transition), a(f.names.final_state), a(f.warnings);
  auto& w = v.volcano;
  a(w.from), a(w.to), a(w.x), a(w.log10_TOF), a(w.energetic_span), a(w.effective_span);
  a(w.endergonic_step), a(w.TDI), a(w.TDTS), a(w.no_driving_force), a(w.samples), a(w.seed);
  a(w.log10_TOF_band.low), a(w.log10_TOF_band.high);
  a(w.energetic_span_band.low), a(w.energetic_span_band.high);
  a(w.endergonic_step_band.low), a(w.endergonic_step_band.high);
  vector_of(a, w.regions, [](Archive& b, auto& r) {
    b(r.TDI), b(r.TDTS), b(r.from), b(r.to), b(r.first), b(r.last);
  });
  vector_of(a, w.points, [](Archive& b, auto& p) {
    b(p.name), b(p.x), b(p.log10_TOF), b(p.energetic_span), b(p.effective_span);
    b(p.endergonic_step), b(p.TDI), b(p.TDTS), b(p.outlier), b(p.outlier_states);
    b(p.no_driving_force);
  });
  a(w.warnings), a(w.top), a(w.top_x), a(w.top_log10_TOF), a(w.top_energetic_span);
  a(w.top_endergonic_step), a(w.top_band_low), a(w.top_band_high), a(w.top_inside);
}

// Whether the arrays of a cycle read back have the sizes of its n steps, so
// that no later index runs past them.
bool sized(const Cycle& c) {
  if (c.n < 1 || c.n > (int64_t{1} << 31)) return false;
  const auto n = static_cast<std::size_t>(c.n);
  return c.G_int.size() == n && c.G_ts.size() == n + 1 && c.conc_reac.size() == n + 1 &&
         c.conc_prod.size() == n + 1 && c.has_reac.size() == n + 1 && c.has_prod.size() == n + 1;
}

bool sized(const Profile& p, const Results& r, int64_t steps) {
  const auto n = static_cast<std::size_t>(steps);
  const auto in_steps = [steps](int64_t i) { return i >= 1 && i <= steps; };
  return p.G_int.size() == 2 * n && p.g_int.size() == 2 * n && p.g_ts.size() == n + 1 &&
         r.xtof_int.size() == n && r.xtof_ts.size() == n + 1 && r.xtof_reac.size() == n + 1 &&
         r.xtof_prod.size() == n + 1 && r.sum_reac.size() == n + 1 && r.sum_prod.size() == n + 1 &&
         r.TDI >= 1 && r.TDI <= steps && r.TDTS >= 1 && r.TDTS <= steps &&
         std::all_of(r.TDI_ties.begin(), r.TDI_ties.end(), in_steps) &&
         std::all_of(r.TDTS_ties.begin(), r.TDTS_ties.end(), in_steps);
}

// Whether a distribution read back fits a cycle of n steps.
bool sized(const Distribution& d, int64_t steps) {
  const auto n = static_cast<std::size_t>(steps);
  const auto N = static_cast<std::size_t>(d.samples);
  const auto in_steps = [steps](int32_t i) { return i >= 1 && i <= steps; };
  return d.samples >= 1 && d.log10_TOF.size() == N && d.TDI.size() == N && d.TDTS.size() == N &&
         d.TOF_sign.size() == N && d.TDI_probability.size() == n + 1 &&
         d.TDTS_probability.size() == n + 1 && d.xtof_int_mean.size() == n &&
         d.xtof_int_sd.size() == n && d.xtof_ts_mean.size() == n + 1 &&
         d.xtof_ts_sd.size() == n + 1 && d.xtof_reac_mean.size() == n + 1 &&
         d.xtof_reac_sd.size() == n + 1 && d.xtof_prod_mean.size() == n + 1 &&
         d.xtof_prod_sd.size() == n + 1 && std::all_of(d.TDI.begin(), d.TDI.end(), in_steps) &&
         std::all_of(d.TDTS.begin(), d.TDTS.end(), in_steps) && d.central_TDI >= 1 &&
         d.central_TDI <= steps && d.central_TDTS >= 1 && d.central_TDTS <= steps;
}

// Whether a volcano read back is whole: its rows, states, fits and
// conditions of one size, every curve and band one value per point, the
// top, the regions and the states' steps within them.
bool sized(const Volcano& v) {
  const VolcanoFits& f = v.fits;
  if (!sized(f.conditions)) return false;
  const auto n = static_cast<std::size_t>(f.conditions.n);
  const auto& names = f.names;
  if (!(names.intermediate.size() == n && names.transition.size() == n + 1) &&
      !(names.intermediate.empty() && names.transition.empty())) {
    return false;
  }
  const std::size_t m = f.rows.size(), S = f.states.size(), P = v.x.size();
  const auto of_size = [](std::size_t size) {
    return [size](const auto& list) { return list.size() == size; };
  };
  if (m < 2 || f.used.size() != m || f.x.size() != m || f.energies.size() != m ||
      v.points.size() != m || !std::all_of(f.energies.begin(), f.energies.end(), of_size(S))) {
    return false;
  }
  if (S < 2 || f.fits.size() != S || f.residual_covariance.size() != S ||
      !std::all_of(f.residual_covariance.begin(), f.residual_covariance.end(), of_size(S))) {
    return false;
  }
  for (const FittedState& state : f.states) {
    const bool fits_cycle = (state.kind == FittedState::Kind::intermediate && state.step >= 0 &&
                             state.step < f.conditions.n) ||
                            (state.kind == FittedState::Kind::transition && state.step >= 1 &&
                             state.step <= f.conditions.n) ||
                            (state.kind == FittedState::Kind::final_state && state.step == 0);
    if (!fits_cycle) return false;
  }
  const auto points = static_cast<int64_t>(P);
  const std::vector<const std::vector<double>*> curves{&v.log10_TOF,
                                                       &v.energetic_span,
                                                       &v.effective_span,
                                                       &v.endergonic_step,
                                                       &v.log10_TOF_band.low,
                                                       &v.log10_TOF_band.high,
                                                       &v.energetic_span_band.low,
                                                       &v.energetic_span_band.high,
                                                       &v.endergonic_step_band.low,
                                                       &v.endergonic_step_band.high};
  return P >= 2 && v.TDI.size() == P && v.TDTS.size() == P && v.no_driving_force.size() == P &&
         std::all_of(curves.begin(), curves.end(), [P](const auto* c) { return c->size() == P; }) &&
         v.top >= 0 && v.top < points &&
         std::all_of(v.regions.begin(), v.regions.end(), [points](const VolcanoRegion& r) {
           return r.first >= 0 && r.first <= r.last + 1 && r.last < points;
         });
}

constexpr const char kVolcanoKind[] = "volcano";
constexpr const char kMapKind[] = "map";

template <class Archive, class D>
void map_fields(Archive& a, D& d) {
  a(d.file);
  auto& m = d.map;
  a(m.x_name), a(m.y_name), a(m.over_temperature), a(m.rows);
  vector_of(a, m.fits, [](Archive& b, auto& f) {
    b(f.state), b(f.intercept), b(f.slope_x), b(f.slope_y), b(f.r2), b(f.mae);
    b(f.residual_sd), b(f.warning);
  });
  auto& c = m.conditions;
  a(c.T), a(c.n), a(c.DeltaG), a(c.G_int), a(c.G_ts), a(c.conc_reac), a(c.conc_prod);
  a(c.has_reac), a(c.has_prod);
  a(m.x_from), a(m.x_to), a(m.y_from), a(m.y_to), a(m.x), a(m.y), a(m.log10_TOF);
  a(m.energetic_span), a(m.TDI), a(m.TDTS), a(m.TDI_names), a(m.TDTS_names);
  a(m.no_driving_force), a(m.top);
  vector_of(a, m.points, [](Archive& b, auto& p) {
    b(p.name), b(p.x), b(p.y), b(p.log10_TOF), b(p.fitted_log10_TOF), b(p.TDI), b(p.TDTS);
  });
  a(m.warnings), a(m.quantity);
  vector_of(a, m.switches,
            [](Archive& b, auto& s) { b(s.x), b(s.y), b(s.i), b(s.j), b(s.along_x); });
  vector_of(a, m.boundaries, [](Archive& b, auto& line) {
    vector_of(b, line, [](Archive& e, auto& point) { e(point[0]), e(point[1]); });
  });
}

// Whether a map read back has a grid of its x and y, steps within its
// names, and switches on its edges, so that no later index runs past them.
bool sized(const Map& m) {
  const std::size_t nx = m.x.size(), ny = m.y.size(), N = nx * ny;
  const auto steps_named = [](const std::vector<int64_t>& steps, std::size_t names) {
    return std::all_of(steps.begin(), steps.end(), [names](int64_t s) {
      return s >= 1 && static_cast<std::size_t>(s) < names;
    });
  };
  const bool span = m.quantity == MapQuantity::energetic_span;
  return (m.quantity == MapQuantity::log10_tof || span) && sized(m.conditions) && nx >= 2 &&
         ny >= 2 && N / nx == ny && m.log10_TOF.size() == N && m.TDI.size() == N &&
         m.TDTS.size() == N && m.no_driving_force.size() == N &&
         m.energetic_span.size() == (span ? N : 0) && m.top >= 0 &&
         static_cast<std::size_t>(m.top) < N && steps_named(m.TDI, m.TDI_names.size()) &&
         steps_named(m.TDTS, m.TDTS_names.size()) &&
         std::all_of(m.switches.begin(), m.switches.end(), [&](const MapSwitch& s) {
           return s.i >= 0 && s.j >= 0 &&
                  static_cast<std::size_t>(s.i) + (s.along_x ? 1 : 0) < nx &&
                  static_cast<std::size_t>(s.j) + (s.along_x ? 0 : 1) < ny;
         });
}

}  // namespace

std::string utf8_repaired(const std::string& text) {
  if (well_formed_utf8(text)) return text;
  std::string repaired;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    const std::size_t length = sequence_at(p, end);
    if (length == 0) {
      repaired += "\xEF\xBF\xBD";  // U+FFFD
      ++p;
    } else {
      repaired.append(reinterpret_cast<const char*>(p), length);
      p += length;
    }
  }
  return repaired;
}

namespace {

void repair(std::string& text) { text = utf8_repaired(text); }

void repair_names(StateNames& names) {
  std::for_each(names.intermediate.begin(), names.intermediate.end(), repair);
  std::for_each(names.transition.begin(), names.transition.end(), repair);
  repair(names.final_state);
}

}  // namespace

void repair_texts(TableRow& row) {
  repair(row.name);
  repair_names(row.names);
  for (Descriptor& d : row.descriptors) repair(d.name);
  for (StateSigma& s : row.sigmas) repair(s.state);
}

void repair_texts(CycleData& data) {
  repair(data.name);
  repair_names(data.names);
  for (Descriptor& d : data.descriptors) repair(d.name);
  for (StateSigma& s : data.sigmas) repair(s.state);
  for (InputWarning& w : data.notes.warnings) repair(w.text), repair(w.shown);
  repair(data.table_file);
  repair_texts(data.table_row);
}

std::string to_bytes(const UncertaintyData& u) {
  std::string bytes = to_bytes(*u.central);
  Writer w;
  uncertainty_fields(w, u);
  const uint64_t size = bytes.size();
  std::string framed(reinterpret_cast<const char*>(&size), sizeof size);
  return framed + bytes + w.bytes;
}

bool from_bytes(const std::string& bytes, UncertaintyData& u) {
  uint64_t size = 0;
  if (bytes.size() < sizeof size) return false;
  std::memcpy(&size, bytes.data(), sizeof size);
  if (size > bytes.size() - sizeof size) return false;
  auto central = std::make_shared<EvaluatedData>();
  if (!from_bytes(bytes.substr(sizeof size, size), *central)) return false;
  const std::string rest = bytes.substr(sizeof size + size);
  Reader r(rest);
  UncertaintyData read;
  uncertainty_fields(r, read);
  const int64_t n = central->run.cycle.n;
  if (!r.done() || !sized(read.d, n)) return false;
  if (read.monte_carlo && read.model.sigma.size() != static_cast<std::size_t>(2 * n + 1)) {
    return false;
  }
  read.central = std::move(central);
  u = std::move(read);
  return true;
}

std::string to_bytes(const CycleData& data) {
  Writer w;
  cycle_fields(w, data);
  return std::move(w.bytes);
}

bool from_bytes(const std::string& bytes, CycleData& data) {
  Reader r(bytes);
  CycleData read;
  cycle_fields(r, read);
  if (!r.done() || !sized(read.cycle)) return false;
  data = std::move(read);
  return true;
}

std::string to_bytes(const EvaluatedData& evaluated) {
  Writer w;
  cycle_fields(w, *evaluated.source);
  result_fields(w, evaluated.run.profile, evaluated.run.results);
  vector_of(w, evaluated.findings, [](Writer& b, auto& f) { warning_fields(b, f); });
  // The tied states came later; a state pickled before them ends here.
  w(evaluated.run.results.TDI_ties), w(evaluated.run.results.TDTS_ties);
  return std::move(w.bytes);
}

bool from_bytes(const std::string& bytes, EvaluatedData& evaluated) {
  Reader r(bytes);
  auto data = std::make_shared<CycleData>();
  EvaluatedData read;
  cycle_fields(r, *data);
  result_fields(r, read.run.profile, read.run.results);
  vector_of(r, read.findings, [](Reader& b, auto& f) { warning_fields(b, f); });
  if (r.ok && !r.done()) r(read.run.results.TDI_ties), r(read.run.results.TDTS_ties);
  if (!r.done() || !sized(data->cycle) || !sized(read.run.profile, read.run.results, data->cycle.n))
    return false;
  read.run.input_name = data->name;
  read.run.cycle = data->cycle;
  read.run.names = data->names;
  read.run.descriptors = data->descriptors;
  read.source = std::move(data);
  evaluated = std::move(read);
  return true;
}

std::string to_bytes(const VolcanoData& volcano) {
  Writer w;
  w(std::string(kVolcanoKind));
  volcano_fields(w, volcano);
  volcano_tie_fields(w, volcano);
  return std::move(w.bytes);
}

bool from_bytes(const std::string& bytes, VolcanoData& volcano) {
  Reader r(bytes);
  std::string kind;
  r(kind);
  if (!r.ok || kind != kVolcanoKind) return false;
  VolcanoData read;
  volcano_fields(r, read);
  if (r.ok && !r.done()) volcano_tie_fields(r, read);
  if (!r.done() || !sized(read.volcano)) return false;
  volcano = std::move(read);
  return true;
}

std::string to_bytes(const MapData& map) {
  Writer w;
  w(std::string(kMapKind));
  map_fields(w, map);
  return std::move(w.bytes);
}

bool from_bytes(const std::string& bytes, MapData& map) {
  Reader r(bytes);
  std::string kind;
  r(kind);
  if (!r.ok || kind != kMapKind) return false;
  MapData read;
  map_fields(r, read);
  if (!r.done() || !sized(read.map)) return false;
  map = std::move(read);
  return true;
}

}  // namespace kinex::python

#include "input/reader.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <string>
#include <string_view>

#include "input/failure.h"
#include "input/scanner.h"
#include "input/storage.h"
#include "report/line_writer.h"

namespace kinex {
namespace {

using input::Kind;
using input::ScanFailure;
using input::Source;

// The first concentration field that is not "x" and holds no number. It is
// reported only when the rest of the file reads well, as the fields are
// interpreted after the whole file has been read.
struct FieldFailure {
  bool found = false;
  ScanFailure scan;
  input::Place place;  // where the field stands in the file
  input::LineExcerpt excerpt;
};

std::string first_line(const Run& run, const ScanFailure& scan, int64_t line) {
  const bool has_line =
      scan.fault != input::Fault::EndOfFile && scan.fault != input::Fault::ReadError;
  std::string text = report::shown_name(run.input_name) + ":";
  if (has_line) text += std::to_string(line) + ":";
  return text + " " + input::reason(scan) + "\n";
}

bool fail(const Run& run, Source& source, const ScanFailure& scan, Failure& failure) {
  failure.status = kExitFailed;
  failure.message = first_line(run, scan, scan.place.line);
  if (scan.fault != input::Fault::EndOfFile && scan.fault != input::Fault::ReadError) {
    failure.message +=
        input::show_column(input::line_excerpt(source, scan.place.line), scan.place.column);
  }
  return false;
}

bool fail_read_error(const Run& run, const Source& source, Failure& failure) {
  ScanFailure scan;
  scan.fault = input::Fault::ReadError;
  scan.error_number = source.error_number;
  failure.status = kExitFailed;
  failure.message = first_line(run, scan, 0);
  return false;
}

// Reads one record of the given kinds; `last` leaves the rest of its line
// unread, as nothing is read after the last record.
template <std::size_t N>
bool read_record(const Run& run, Source& source, const std::array<Kind, N>& kinds,
                 std::array<input::Value, N>& values, bool last, Failure& failure) {
  ScanFailure scan;
  if (!input::read_list(source, kinds, values, scan)) return fail(run, source, scan, failure);
  if (!last && !input::skip_rest_of_line(source)) return fail_read_error(run, source, failure);
  return true;
}

// Turns a concentration field into its flag and value: "x" or "X" for none,
// else the first real of the field (read by the same free-form rules).
bool interpret_field(std::string_view text, bool& has, double& conc, ScanFailure& scan) {
  const std::string_view trimmed = report::trim_right(text);
  if (trimmed == "x" || trimmed == "X") {
    has = false;
    conc = 1.0;
    return true;
  }
  has = true;
  std::string field(trimmed);
  field.resize(input::kTextWidth, ' ');
  Source source = input::text_source(field);
  const std::array<Kind, 1> kinds{Kind::Real};
  std::array<input::Value, 1> values;
  if (!input::read_list(source, kinds, values, scan)) return false;
  conc = values[0].real;
  return true;
}

// Interprets the field into `has` and `conc`, unless an earlier field has
// failed; the first failure is kept in `pending`.
void check_field(Source& source, const input::Value& value, std::vector<bool>::reference has,
                 double& conc, FieldFailure& pending) {
  if (pending.found) return;
  bool given = false;
  const bool ok = interpret_field(value.text, given, conc, pending.scan);
  has = given;
  if (ok) return;
  pending.found = true;
  pending.place = value.place;
  pending.excerpt = input::line_excerpt(source, value.place.line);
}

bool fail_field(const Run& run, const FieldFailure& pending, Failure& failure) {
  failure.status = kExitFailed;
  failure.message = first_line(run, pending.scan, pending.place.line) +
                    input::show_column(pending.excerpt, pending.place.column);
  return false;
}

}  // namespace

bool read_input(Run& run, std::FILE* file, Failure& failure) {
  Source source = input::file_source(file);
  std::array<input::Value, 1> one;

  if (!read_record(run, source, std::array{Kind::Real}, one, false, failure)) return false;
  run.cycle.T = one[0].real;

  ScanFailure scan;
  if (!input::read_list(source, std::array{Kind::Integer}, one, scan)) {
    return fail(run, source, scan, failure);
  }
  run.cycle.n = one[0].integer;
  if (run.cycle.n < 1) {
    failure.status = kExitFailed;
    failure.message =
        report::shown_name(run.input_name) + ":" + std::to_string(one[0].place.line) +
        ": Number of steps must be at least 1 in item 1 of list input\n" +
        input::show_column(input::line_excerpt(source, one[0].place.line), one[0].place.column);
    return false;
  }
  // The storage comes before the step records, so that an absurd n fails at
  // once.
  if (!allocate_storage(run, failure)) return false;
  if (!input::skip_rest_of_line(source)) return fail_read_error(run, source, failure);

  FieldFailure pending;
  const std::array kinds{Kind::Real, Kind::Real, Kind::Text, Kind::Text};
  std::array<input::Value, 4> step;
  for (int64_t i = 1; i <= run.cycle.n; ++i) {
    if (!read_record(run, source, kinds, step, false, failure)) return false;
    const auto at = static_cast<std::size_t>(i);
    run.cycle.G_int[at - 1] = step[0].real;
    run.cycle.G_ts[at] = step[1].real;
    check_field(source, step[2], run.cycle.has_reac[at], run.cycle.conc_reac[at], pending);
    check_field(source, step[3], run.cycle.has_prod[at], run.cycle.conc_prod[at], pending);
  }

  if (!read_record(run, source, std::array{Kind::Real}, one, true, failure)) return false;
  run.cycle.DeltaG = one[0].real;

  if (pending.found) return fail_field(run, pending, failure);
  return true;
}

std::FILE* open_input(const std::string& path, int& error) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    error = errno;
    return nullptr;
  }
  struct stat opened;
  if (fstat(fileno(file), &opened) == 0 && S_ISDIR(opened.st_mode)) {
    std::fclose(file);
    error = EISDIR;
    return nullptr;
  }
  return file;
}

}  // namespace kinex

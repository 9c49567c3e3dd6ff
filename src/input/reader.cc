#include "input/reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <functional>
#include <string>
#include <string_view>

#include "input/remarks.h"
#include "input/scanner.h"
#include "input/warnings.h"
#include "kinex/types.h"
#include "model/storage.h"
#include "platform/names.h"
#include "text/shown_name.h"
#include "text/strings.h"

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

// Whether the diagnostic of `scan` names a line: not at the end of the file
// or after a read error.
bool names_line(const ScanFailure& scan) {
  return scan.fault != input::Fault::EndOfFile && scan.fault != input::Fault::ReadError;
}

// Starts `failure` (kExitFailed) with the diagnostic's first line,
// "FILE:LINE: reason" ("FILE: reason" where `line` is 0), and fills its
// place from the same values: `column` is the 0-based byte of the line that
// the caret is put under, 1-based in the place.
void begin_failure(const Run& run, int64_t line, int64_t column, const std::string& reason,
                   Failure& failure) {
  failure.status = kExitFailed;
  failure.message = text::shown_name(run.input_name);
  failure.message += ':';
  if (line > 0) {
    failure.message += std::to_string(line);
    failure.message += ':';
  }
  failure.message += ' ';
  failure.message += reason;
  failure.message += '\n';
  failure.place = ErrorPlace{run.input_name, line, line > 0 ? column + 1 : 0, reason};
}

// The same for a failure of the scanner at `place`.
void begin_failure(const Run& run, const ScanFailure& scan, const input::Place& place,
                   Failure& failure) {
  const int64_t line = names_line(scan) ? place.line : 0;
  begin_failure(run, line, place.column, input::reason(scan), failure);
}

// What a file saved with a UTF-8 byte-order mark gets after its diagnostic.
constexpr const char* kByteOrderMarkNote =
    "The file begins with a UTF-8 byte-order mark (the bytes \\xef\\xbb\\xbf), which some "
    "editors write when they save and do not show; KINEX reads plain text. Save the file as "
    "\"UTF-8\" without BOM, or as plain text (ASCII), and run again.\n";

// `ended` names what was being read, for a file that ends before it: a
// second line after "End of file".
bool fail(const Run& run, Source& source, const ScanFailure& scan, Failure& failure,
          const std::function<std::string(int64_t item)>& ended = {}) {
  begin_failure(run, scan, scan.place, failure);
  if (scan.fault == input::Fault::EndOfFile && ended) {
    failure.message += "The file ends before " + ended(scan.item) + ".\n";
  }
  if (names_line(scan)) {
    const input::LineExcerpt excerpt = input::line_excerpt(source, scan.place.line);
    failure.message += input::show_column(excerpt, scan.place.column);
    if (excerpt.line == 1 && excerpt.head.starts_with("\xef\xbb\xbf")) {
      failure.message += kByteOrderMarkNote;
    }
  }
  return false;
}

bool fail_read_error(const Run& run, const Source& source, Failure& failure) {
  ScanFailure scan;
  scan.fault = input::Fault::ReadError;
  scan.error_number = source.error_number;
  begin_failure(run, scan, input::Place{}, failure);
  return false;
}

// Where a record's values end: the rest of that line is ignored.
struct RecordEnd {
  int64_t line = 0;
  int64_t column = 0;
};

// Reads one record of the given kinds, noting in `end` where it ends;
// `last` leaves the rest of its line unread, as nothing is read after the
// last record.
template <std::size_t N>
bool read_record(const Run& run, Source& source, const std::array<Kind, N>& kinds,
                 std::array<input::Value, N>& values, bool last, RecordEnd& end, Failure& failure,
                 const std::function<std::string(int64_t item)>& ended) {
  ScanFailure scan;
  if (!input::read_list(source, kinds, values, scan)) {
    return fail(run, source, scan, failure, ended);
  }
  end = {source.line, source.column};
  if (!last && !input::skip_rest_of_line(source)) return fail_read_error(run, source, failure);
  return true;
}

// Item `item` (1..4) of a step record, in words.
std::string step_item(int64_t item) {
  static constexpr const char* kItems[] = {
      "the intermediate's Gibbs energy (item 1)", "the transition state's Gibbs energy (item 2)",
      "the reactant's concentration or x (item 3)", "the product's concentration or x (item 4)"};
  return item >= 1 && item <= 4 ? kItems[item - 1] : "item " + std::to_string(item);
}

// ---------------------------------------------------------------------------
// Warnings: what the ignored parts of the file hold.

// Bytes looked at past DeltaG: enough for many lines, bounded so that a file
// without end (a device) cannot keep the reader going.
constexpr std::size_t kLookPastDeltaG = std::size_t{1} << 16;

std::string quoted(std::string_view text) {
  std::string q(1, '`');
  q.append(text);
  q += '`';
  return q;
}

std::string shortest_number(double x) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, result.ptr);
}

// A warning when the ignored rest of `excerpt`'s line, from `column` on,
// begins with values: `record` names what the line holds.
void check_leftovers(const input::LineExcerpt& excerpt, int64_t column, std::string_view record,
                     int64_t step, ReadNotes& notes) {
  if (excerpt.line == 0 || column >= static_cast<int64_t>(excerpt.head.size())) return;
  const std::vector<input::Token> tokens =
      input::leading_tokens(excerpt.head, static_cast<std::size_t>(column));
  std::size_t count = 0;
  while (count < tokens.size() && input::value_like(tokens[count].text)) ++count;
  if (count == 0) return;
  std::string text = "the line goes on after ";
  text.append(record);
  if (step > 0) text += ' ' + std::to_string(step);
  text += count == 1 ? std::string(" with 1 more value")
                     : " with " + std::to_string(count) + " more values";
  text += " (the first is " + quoted(tokens[0].text) +
          "), which KINEX ignores. A decimal comma (write 298.15, not 298,15), a value too many "
          "or a record split across lines leaves this behind; check that the line holds the "
          "values meant.";
  notes.warnings.push_back({kLeftoverValues, excerpt.line, std::move(text),
                            input::show_column(excerpt, tokens[0].column)});
}

// A warning when the remark after the temperature names degrees Celsius.
void check_celsius(const input::LineExcerpt& excerpt, int64_t column, double T, ReadNotes& notes) {
  if (excerpt.line == 0 || column >= static_cast<int64_t>(excerpt.head.size())) return;
  const std::vector<input::Token> tokens =
      input::leading_tokens(excerpt.head, static_cast<std::size_t>(column));
  if (tokens.empty()) return;
  const std::string_view next = tokens.size() > 1 ? tokens[1].text : std::string_view();
  if (!input::celsius_unit(tokens[0].text, next)) return;
  notes.warnings.push_back({kCelsiusTemperature, excerpt.line,
                            "the temperature is read as " + shortest_number(T) +
                                " K, but its remark " + quoted(tokens[0].text) +
                                " names degrees Celsius. KINEX takes the temperature in "
                                "kelvin: for " +
                                shortest_number(T) +
                                " \xc2\xb0"
                                "C write " +
                                shortest_number(T + 273.15) + ".",
                            input::show_column(excerpt, tokens[0].column)});
}

// The rest of DeltaG's line and the lines after it, as far as they can be
// seen: values left over on DeltaG's line, and lines that begin with a
// number (a number of steps too small leaves step records behind).
void check_past_deltag(Source& source, const RecordEnd& end, bool may_read, const Run& run,
                       ReadNotes& notes) {
  const std::string ahead = input::take_ahead(source, kLookPastDeltaG, may_read);
  // Whether the end of the file is in sight.
  const bool whole = ahead.size() < kLookPastDeltaG && source.exhausted;
  std::string_view rest = ahead;
  // DeltaG's line: what was read of it, then the rest.
  std::size_t line_end = rest.find('\n');
  std::string_view tail = rest.substr(0, line_end);
  if (!tail.empty() && tail.back() == '\r') tail.remove_suffix(1);
  input::LineExcerpt own{end.line, source.head, 0, line_end != std::string_view::npos || whole};
  if (static_cast<int64_t>(own.head.size()) == end.column) {
    own.head.append(
        tail.substr(0, input::kHeadBytes - std::min(input::kHeadBytes, own.head.size())));
    own.length = end.column + static_cast<int64_t>(tail.size());
    check_leftovers(own, end.column, "DeltaG", 0, notes);
  }
  if (line_end == std::string_view::npos) return;

  int64_t line = end.line, count = 0;
  InputWarning first;
  bool cut = false;
  for (std::size_t at = line_end + 1; at < rest.size();) {
    ++line;
    const std::size_t next = rest.find('\n', at);
    cut = next == std::string_view::npos && !whole;
    std::string_view text = rest.substr(at, next == std::string_view::npos ? rest.npos : next - at);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    at = next == std::string_view::npos ? rest.size() : next + 1;
    if (cut) break;
    const std::vector<input::Token> tokens = input::leading_tokens(text, 0);
    if (tokens.empty() || !input::reads_as_number(tokens[0].text)) continue;
    if (count++ == 0) {
      const input::LineExcerpt excerpt{line, std::string(text.substr(0, input::kHeadBytes)),
                                       static_cast<int64_t>(text.size()), true};
      first.line = line;
      first.shown = input::show_column(excerpt, tokens[0].column);
    }
  }
  if (count == 0) return;
  const std::string lines =
      (cut || !whole ? "at least " : "") + std::to_string(count) +
      (count == 1 ? " line after DeltaG begins" : " lines after DeltaG begin");
  first.code = kValuesAfterDeltaG;
  first.text = lines +
               " with a number, this one first, but KINEX reads nothing after DeltaG. "
               "Is the number of steps (" +
               std::to_string(run.cycle.n) + ", line " + std::to_string(notes.lines.n) +
               ") too small? Then a step record was read as "
               "DeltaG; give each step a record of four values.";
  notes.warnings.push_back(first);
}

// Turns a concentration field into its flag and value: "x" or "X" for none,
// else the first real of the field (read by the same free-form rules).
bool interpret_field(std::string_view text, bool& has, double& conc, ScanFailure& scan) {
  const std::string_view trimmed = text::trim_right(text);
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
  begin_failure(run, pending.scan, pending.place, failure);
  failure.message += input::show_column(pending.excerpt, pending.place.column);
  return false;
}

}  // namespace

bool read_input(Run& run, std::FILE* file, Failure& failure) {
  ReadNotes notes;
  return read_input(run, file, failure, notes);
}

namespace {

bool read_file(Run& run, std::FILE* file, Failure& failure, ReadNotes& notes) {
  Source source = input::file_source(file);
  std::array<input::Value, 1> one;

  RecordEnd temperature_end;
  if (!read_record(run, source, std::array{Kind::Real}, one, false, temperature_end, failure,
                   [](int64_t) { return std::string("the temperature, its first value"); })) {
    return false;
  }
  run.cycle.T = one[0].real;
  notes.lines.T = one[0].place.line;
  const input::LineExcerpt temperature_line = input::line_excerpt(source, temperature_end.line);

  ScanFailure scan;
  if (!input::read_list(source, std::array{Kind::Integer}, one, scan)) {
    return fail(run, source, scan, failure,
                [](int64_t) { return std::string("the number of steps, its second value"); });
  }
  run.cycle.n = one[0].integer;
  notes.lines.n = one[0].place.line;
  if (run.cycle.n < 1) {
    const input::Place& at = one[0].place;
    begin_failure(run, at.line, at.column,
                  "Number of steps must be at least 1 in item 1 of list input", failure);
    failure.message += input::show_column(input::line_excerpt(source, at.line), at.column);
    return false;
  }
  // The storage comes before the step records, so that an absurd n fails at
  // once.
  if (!allocate_storage(run, failure)) return false;
  const RecordEnd steps_end{source.line, source.column};
  if (!input::skip_rest_of_line(source)) return fail_read_error(run, source, failure);
  // The rest of a line is looked at while it is still among the recent ones.
  check_leftovers(temperature_line, temperature_end.column, "the temperature", 0, notes);
  check_celsius(temperature_line, temperature_end.column, run.cycle.T, notes);
  check_leftovers(input::line_excerpt(source, steps_end.line), steps_end.column,
                  "the number of steps", 0, notes);

  FieldFailure pending;
  const std::array kinds{Kind::Real, Kind::Real, Kind::Text, Kind::Text};
  std::array<input::Value, 4> step;
  notes.lines.step.assign(static_cast<std::size_t>(run.cycle.n) + 1, 0);
  for (int64_t i = 1; i <= run.cycle.n; ++i) {
    RecordEnd end;
    if (!read_record(run, source, kinds, step, false, end, failure, [&](int64_t item) {
          return step_item(item) + " of the record of step " + std::to_string(i) + " of " +
                 std::to_string(run.cycle.n);
        })) {
      return false;
    }
    const auto at = static_cast<std::size_t>(i);
    notes.lines.step[at] = step[0].place.line;
    run.cycle.G_int[at - 1] = step[0].real;
    run.cycle.G_ts[at] = step[1].real;
    check_field(source, step[2], run.cycle.has_reac[at], run.cycle.conc_reac[at], pending);
    check_field(source, step[3], run.cycle.has_prod[at], run.cycle.conc_prod[at], pending);
    // The record's last line is the latest kept one; most lines end with
    // the record.
    const input::LineExcerpt& kept = source.recent.back();
    if (kept.line == end.line && kept.length > end.column) {
      check_leftovers(kept, end.column, "the record of step", i, notes);
    }
  }

  RecordEnd deltag_end;
  if (!read_record(run, source, std::array{Kind::Real}, one, true, deltag_end, failure,
                   [&](int64_t) {
                     return "DeltaG, the value after the " + std::to_string(run.cycle.n) +
                            (run.cycle.n == 1 ? " step record" : " step records");
                   })) {
    return false;
  }
  run.cycle.DeltaG = one[0].real;
  notes.lines.DeltaG = one[0].place.line;

  if (pending.found) return fail_field(run, pending, failure);
  // Past DeltaG the file is looked at only as far as it is a regular file;
  // of a pipe or a device only what has already been read.
  struct stat status;
  const bool regular = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
  check_past_deltag(source, deltag_end, regular, run, notes);
  return true;
}

}  // namespace

bool read_input(Run& run, std::FILE* file, Failure& failure, ReadNotes& notes) {
  notes = ReadNotes{};
  if (read_file(run, file, failure, notes)) return true;
  notes.warnings.clear();
  return false;
}

std::FILE* open_input(const std::string& path, int& error) {
  std::FILE* file = open_for_reading(path, error);
  if (file == nullptr) return nullptr;
  struct stat opened;
  if (fstat(fileno(file), &opened) == 0 && S_ISDIR(opened.st_mode)) {
    std::fclose(file);
    error = EISDIR;
    return nullptr;
  }
  return file;
}

}  // namespace kinex

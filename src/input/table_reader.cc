// The reader of a table's records: its byte source, the bounds of a text
// file, CSV or TSV records, and the tables read whole.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "input/table.h"
#include "input/table_internal.h"
#include "model/storage.h"
#include "platform/names.h"
#include "text/strings.h"

namespace kinex {

using namespace table_detail;
using text::trimmed;

bool is_table_name(const std::string& path) {
  if (path.size() < 4) return false;
  const std::string tail = text::ascii_lower(path.substr(path.size() - 4));
  return tail == ".csv" || tail == ".tsv";
}

// ---- the reader -------------------------------------------------------------

struct TableReader::State {
  std::string path;
  double default_T = 0.0;
  TextBounds bounds;     // the bounds of the bytes taken, and their line
  int fd = -1;           // the file; -1 for a text
  bool regular = false;  // the file is a regular file
  int64_t size = 0;      // its size when regular
  std::string buffer;    // bytes read and not yet taken, from `at`
  std::size_t at = 0;
  bool ended = false;  // nothing more to read
  bool tsv = false;
  Layout layout;
  std::vector<std::string> descriptors;
  bool any_row = false, done = false, has_failed = false;
  std::string error;
  ErrorPlace place;

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() {
    if (fd >= 0) ::close(fd);
  }

  bool fail(int64_t fault_line, int64_t column, const std::string& reason) {
    if (!has_failed) error = located(path, fault_line, column, reason, place);
    has_failed = done = true;
    return false;
  }

  // Appends what the file gives next to the buffer (the bytes already
  // taken dropped first); false at its end or when it cannot be read.
  bool read_more() {
    if (ended) return false;
    if (fd < 0) return ended = true, false;
    buffer.erase(0, at);
    at = 0;
    const std::size_t had = buffer.size();
    buffer.resize(had + kChunk);
    ssize_t got = 0;
    do {
      got = ::read(fd, buffer.data() + had, kChunk);
    } while (got < 0 && errno == EINTR);
    buffer.resize(had + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got < 0) fail(0, 0, "cannot be read");
    if (got <= 0) ended = true;
    return got > 0;
  }

  // The next byte without taking it; -1 at the end.
  int peek() {
    while (at >= buffer.size()) {
      if (!read_more()) return -1;
    }
    return static_cast<unsigned char>(buffer[at]);
  }

  // Takes the next byte; -1 at the end or where the file breaks a bound
  // (the table has then failed).
  int take() {
    const int c = peek();
    if (c < 0 || has_failed) return -1;
    ++at;
    TextFault fault;
    if (!bounds.take(static_cast<char>(c), fault)) return fail(fault.line, 0, fault.reason), -1;
    return c;
  }

  // Whether the first line holds a tab (the table is TSV): reads ahead to
  // the first line feed, the line limit or the end, taking nothing.
  bool first_line_has_tab() {
    std::size_t end = std::string::npos;
    while ((end = buffer.find('\n', at)) == std::string::npos &&
           static_cast<int64_t>(buffer.size() - at) <= bounds.limits().line_bytes && read_more()) {
    }
    return buffer.find('\t', at) < std::min(end, buffer.size());
  }

  // The next record that holds anything: CSV (RFC 4180: a quoted cell may
  // hold commas, line breaks and doubled quotes) or TSV (cells split at
  // tabs, no quoting). CR LF ends a line as LF does. False at the end or
  // when the table fails, a quote still open told as such.
  bool next_record(Record& record) {
    record = Record{};
    std::string cell;
    bool quoted = false, any = false;
    int64_t open_line = 0, open_column = 0, bytes = 0;
    const char separator = tsv ? '\t' : ',';
    record.line = bounds.line();
    for (;;) {
      const int c = take();
      if (c < 0) break;
      if (quoted) {
        if (++bytes > bounds.limits().line_bytes) break;
        if (c == '"' && peek() == '"') {
          take();
          cell += '"';
        } else if (c == '"') {
          quoted = false;
        } else {
          cell += static_cast<char>(c);
        }
        continue;
      }
      if (c == '\r' && peek() == '\n') continue;
      if (c == '\n') {
        if (any || !cell.empty() || !record.cells.empty()) break;
        record.line = bounds.line();  // an empty line: the record begins on the next
        continue;
      }
      if (!tsv && c == '"' && cell.empty()) {
        quoted = any = true;
        open_line = bounds.line();
        open_column = static_cast<int64_t>(record.cells.size()) + 1;
      } else if (c == separator) {
        record.cells.push_back(std::move(cell));
        cell.clear();
        any = true;
      } else {
        cell += static_cast<char>(c);
      }
    }
    if (quoted && !has_failed) {
      return fail(open_line, open_column,
                  "a quote opens a cell here and is never closed, so every later line would be "
                  "part of the cell; close it (a quote inside a cell is written twice, \"\")");
    }
    if (has_failed || !(any || !cell.empty() || !record.cells.empty())) return false;
    record.cells.push_back(std::move(cell));
    return true;
  }

  // Takes the byte-order mark, decides CSV or TSV and reads the header.
  bool start() {
    while (buffer.size() - at < 3 && read_more()) {
    }
    if (buffer.compare(at, 3, "\xEF\xBB\xBF") == 0) at += 3;
    tsv = first_line_has_tab();
    Record header;
    if (!next_record(header)) {
      if (has_failed) return false;
      return fail(0, 0, "the table is empty; it needs a header row and a row per catalyst");
    }
    if (!read_header(path, header, layout, error, place)) return has_failed = done = true, false;
    for (const Column& column : layout.columns) {
      if (column.kind == table_detail::Kind::descriptor &&
          std::find(descriptors.begin(), descriptors.end(), column.header) == descriptors.end()) {
        descriptors.push_back(column.header);
      }
    }
    return true;
  }

  static constexpr std::size_t kChunk = 1 << 16;
};

TableReader::TableReader() : state_(std::make_unique<State>()) {}
TableReader::~TableReader() = default;
TableReader::TableReader(TableReader&&) noexcept = default;
TableReader& TableReader::operator=(TableReader&&) noexcept = default;

bool TableReader::open_file(const std::string& path, double default_T, const TextLimits& limits) {
  state_ = std::make_unique<State>();
  State& s = *state_;
  s.path = path;
  s.default_T = default_T;
  s.bounds = TextBounds(limits);
  int error = 0;
  s.fd = open_descriptor_for_reading(path, error);
  if (s.fd < 0) return s.fail(0, 0, "cannot be opened");
  struct stat info {};
  if (::fstat(s.fd, &info) == 0 && S_ISREG(info.st_mode)) {
    s.regular = true;
    s.size = static_cast<int64_t>(info.st_size);
  }
  return s.start();
}

bool TableReader::open_text(const std::string& path, std::string text, double default_T) {
  state_ = std::make_unique<State>();
  State& s = *state_;
  s.path = path;
  s.default_T = default_T;
  s.bounds = TextBounds({std::numeric_limits<int64_t>::max(), 0});
  s.buffer = std::move(text);
  return s.start();
}

bool TableReader::next(TableRow& row) {
  State& s = *state_;
  row = TableRow{};
  if (s.done) return false;
  Record record;
  for (;;) {
    if (!s.next_record(record)) {
      if (!s.has_failed && !s.any_row) {
        return s.fail(0, 0, "the table has no rows under its header");
      }
      s.done = true;
      return false;
    }
    // A spreadsheet's empty rows (",,,") are no catalysts.
    if (!std::all_of(record.cells.begin(), record.cells.end(),
                     [](const std::string& cell) { return trimmed(cell).empty(); })) {
      break;
    }
  }
  s.any_row = true;
  if (!read_row(s.path, s.layout, record, s.default_T, row)) {
    TableRow bad;
    bad.row = row.row;
    bad.name = std::move(row.name);
    bad.error = std::move(row.error);
    bad.place = std::move(row.place);
    row = std::move(bad);
  }
  return true;
}

bool TableReader::failed() const { return state_->has_failed; }
const std::string& TableReader::error() const { return state_->error; }
const ErrorPlace& TableReader::place() const { return state_->place; }
const std::vector<std::string>& TableReader::descriptor_names() const {
  return state_->descriptors;
}
bool TableReader::regular_file() const { return state_->regular; }

double TableReader::fraction() const {
  const State& s = *state_;
  if (s.size <= 0) return 0.0;
  return std::min(1.0, static_cast<double>(s.bounds.bytes()) / static_cast<double>(s.size));
}

namespace {

// Every row of `reader`, or false with its failure.
bool all_rows(TableReader& reader, bool opened, std::vector<TableRow>& rows, std::string& error,
              ErrorPlace& place) {
  rows.clear();
  TableRow row;
  while (opened && reader.next(row)) rows.push_back(std::move(row));
  if (!reader.failed()) return true;
  rows.clear();
  error = reader.error();
  place = reader.place();
  return false;
}

}  // namespace

bool parse_table(const std::string& path, const std::string& text, double default_T,
                 std::vector<TableRow>& rows, std::string& error) {
  ErrorPlace place;
  return parse_table(path, text, default_T, rows, error, place);
}

bool parse_table(const std::string& path, const std::string& text, double default_T,
                 std::vector<TableRow>& rows, std::string& error, ErrorPlace& place) {
  TableReader reader;
  const bool opened = reader.open_text(path, text, default_T);
  return all_rows(reader, opened, rows, error, place);
}

bool read_table(const std::string& path, double default_T, std::vector<TableRow>& rows,
                std::string& error) {
  ErrorPlace place;
  return read_table(path, default_T, rows, error, place);
}

bool read_table(const std::string& path, double default_T, std::vector<TableRow>& rows,
                std::string& error, ErrorPlace& place) {
  TableReader reader;
  const bool opened = reader.open_file(path, default_T, TextLimits{});
  return all_rows(reader, opened, rows, error, place);
}

bool table_run(const std::string& path, TableRow&& row, Run& run, Failure& failure) {
  run.input_name = path + ":" + row.name;
  run.cycle.n = row.cycle.n;
  if (!allocate_storage(run, failure)) return false;
  run.cycle = std::move(row.cycle);
  run.names = std::move(row.names);
  run.descriptors = std::move(row.descriptors);
  return true;
}

}  // namespace kinex

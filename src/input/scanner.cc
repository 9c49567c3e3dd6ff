#include "input/scanner.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "text/shown_name.h"

namespace kinex::input {
namespace {

constexpr int kEnd = -1;
constexpr std::size_t kChunk = std::size_t{1} << 16;
// Lines on which values began, kept for diagnostics about concentration
// fields; a record has at most four values.
constexpr std::size_t kRecentLines = 8;
constexpr int64_t kMaxRepeat = 200000000;
// Correct rounding to double needs at most 767 significant decimal digits;
// beyond those only "is anything nonzero left" matters.
constexpr std::size_t kMaxDigits = 800;
// Exponents far beyond the range of double; saturating here keeps the
// arithmetic on them exact.
constexpr int64_t kExponentCap = int64_t{1} << 50;
// A line up to this long is shown whole; a longer or unprintable one as an
// escaped excerpt of its first kExcerptBytes bytes.
constexpr int64_t kShowWidth = 200;
constexpr std::size_t kExcerptBytes = 120;

// ---------------------------------------------------------------------------
// The byte stream.

bool refill(Source& s) {
  if (s.file == nullptr || s.exhausted) return false;
  if (s.pos > 0) {
    std::memmove(s.buffer.data(), s.buffer.data() + s.pos, s.end - s.pos);
    s.end -= s.pos;
    s.pos = 0;
  }
  const std::size_t got = std::fread(s.buffer.data() + s.end, 1, s.buffer.size() - s.end, s.file);
  if (got == 0) {
    if (std::ferror(s.file)) s.error_number = errno != 0 ? errno : EIO;
    s.exhausted = true;
    return false;
  }
  s.end += got;
  return true;
}

// The next character without taking it: a byte, '\n' for LF or CR LF, or
// kEnd.
int peek(Source& s) {
  if (s.pos == s.end && !refill(s)) return kEnd;
  const char c = s.buffer[s.pos];
  if (c != '\r') return static_cast<unsigned char>(c);
  if (s.pos + 1 == s.end) refill(s);
  if (s.pos + 1 < s.end && s.buffer[s.pos + 1] == '\n') return '\n';
  return '\r';
}

void keep_line(Source& s, bool complete) {
  s.recent.push_back(LineExcerpt{s.line, s.head, s.column, complete});
  if (s.recent.size() > kRecentLines) s.recent.pop_front();
}

void end_line(Source& s) {
  if (s.line_has_value) keep_line(s, true);
  ++s.line;
  s.column = 0;
  s.head.clear();
  s.line_has_value = false;
}

// Takes the character `c` that peek just returned.
void advance(Source& s, int c) {
  if (c == '\n') {
    s.pos += s.buffer[s.pos] == '\r' ? 2 : 1;
    end_line(s);
    return;
  }
  if (s.head.size() < kHeadBytes) s.head.push_back(static_cast<char>(c));
  ++s.column;
  ++s.pos;
}

Place here(const Source& s) { return Place{s.line, s.column}; }

bool is_separator(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == ',' || c == '/' || c == kEnd;
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// ---------------------------------------------------------------------------
// The number forms, fed one character at a time so that a value of any
// length is read in constant memory.

class RealForm {
 public:
  void feed(int c) {
    switch (state_) {
      case State::Start:
        if (c == '+' || c == '-') {
          negative_ = c == '-';
          state_ = State::Sign;
          return;
        }
        [[fallthrough]];
      case State::Sign:
        if (is_digit(c)) {
          whole_digit(c);
          state_ = State::Whole;
        } else if (c == '.') {
          state_ = State::Point;
        } else if (c == 'i' || c == 'I' || c == 'n' || c == 'N') {
          word_first_ = static_cast<char>(c | 0x20);
          state_ = State::Word;
          word_letter(c);
        } else {
          state_ = State::Bad;
        }
        return;
      case State::Whole:
        if (is_digit(c)) {
          whole_digit(c);
        } else if (c == '.') {
          state_ = State::Fraction;
        } else {
          exponent_start(c);
        }
        return;
      case State::Point:
        if (is_digit(c)) {
          fraction_digit(c);
          state_ = State::Fraction;
        } else {
          state_ = State::Bad;
        }
        return;
      case State::Fraction:
        if (is_digit(c)) {
          fraction_digit(c);
        } else {
          exponent_start(c);
        }
        return;
      case State::ExponentLetter:
        if (c == '+' || c == '-') {
          exponent_negative_ = c == '-';
          state_ = State::ExponentSign;
          return;
        }
        [[fallthrough]];
      case State::ExponentSign:
      case State::ExponentDigits:
        if (is_digit(c)) {
          exponent_ = std::min(exponent_ * 10 + (c - '0'), kExponentCap);
          state_ = State::ExponentDigits;
        } else {
          state_ = State::Bad;
        }
        return;
      case State::Word:
        word_letter(c);
        return;
      case State::Bad:
      case State::BadWord:
        return;
    }
  }

  // No further character can make the value good.
  bool dead() const { return state_ == State::Bad || state_ == State::BadWord; }

  bool finish(double& value, Fault& fault) const {
    switch (state_) {
      case State::Whole:
      case State::Fraction:
      case State::ExponentDigits:
        value = number();
        return true;
      case State::Word:
        if (word_ == "inf" || word_ == "infinity") {
          value = negative_ ? -std::numeric_limits<double>::infinity()
                            : std::numeric_limits<double>::infinity();
          return true;
        }
        if (word_ == "nan") {
          value = std::copysign(std::numeric_limits<double>::quiet_NaN(), negative_ ? -1.0 : 1.0);
          return true;
        }
        [[fallthrough]];
      case State::BadWord:
        fault = word_first_ == 'i' ? Fault::BadInfinity : Fault::BadNotANumber;
        return false;
      default:
        fault = Fault::BadReal;
        return false;
    }
  }

 private:
  enum class State {
    Start,
    Sign,
    Whole,
    Point,
    Fraction,
    ExponentLetter,
    ExponentSign,
    ExponentDigits,
    Word,
    Bad,
    BadWord
  };

  void keep_digit(int c) {
    if (digits_.size() < kMaxDigits) {
      digits_.push_back(static_cast<char>(c));
    } else if (c != '0') {
      dropped_nonzero_ = true;
    }
  }

  void whole_digit(int c) {
    if (digits_.empty() && c == '0') return;
    keep_digit(c);
    ++point_;
  }

  void fraction_digit(int c) {
    if (digits_.empty() && c == '0') {
      --point_;
      return;
    }
    keep_digit(c);
  }

  // After the digits: an exponent letter, or a sign standing for E.
  void exponent_start(int c) {
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
      state_ = State::ExponentLetter;
    } else if (c == '+' || c == '-') {
      exponent_negative_ = c == '-';
      state_ = State::ExponentSign;
    } else {
      state_ = State::Bad;
    }
  }

  void word_letter(int c) {
    const std::string_view whole = word_first_ == 'i' ? "infinity" : "nan";
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : static_cast<char>(c);
    if (word_.size() >= whole.size() || whole[word_.size()] != lower) {
      state_ = State::BadWord;
      return;
    }
    word_.push_back(lower);
  }

  // The value 0.<digits> x 10^(point + exponent), correctly rounded.
  double number() const {
    const double zero = negative_ ? -0.0 : 0.0;
    if (digits_.empty()) return zero;
    const double infinity = negative_ ? -std::numeric_limits<double>::infinity()
                                      : std::numeric_limits<double>::infinity();
    const int64_t scale = point_ + (exponent_negative_ ? -exponent_ : exponent_);
    if (scale > 400) return infinity;
    if (scale < -400) return zero;
    std::string text = "0." + digits_;
    if (dropped_nonzero_) text += '1';
    text += 'e';
    text += std::to_string(scale);
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) return scale > 0 ? infinity : zero;
    return negative_ ? -value : value;
  }

  State state_ = State::Start;
  bool negative_ = false;
  std::string digits_;  // significant digits, at most kMaxDigits
  bool dropped_nonzero_ = false;
  int64_t point_ = 0;  // position of the decimal point relative to digits_
  bool exponent_negative_ = false;
  int64_t exponent_ = 0;
  char word_first_ = 0;
  std::string word_;
};

class IntegerForm {
 public:
  void feed(int c) {
    if (bad_) return;
    if (!started_ && (c == '+' || c == '-')) {
      negative_ = c == '-';
      started_ = true;
      return;
    }
    started_ = true;
    if (!is_digit(c)) {
      bad_ = true;
      return;
    }
    any_digit_ = true;
    const auto d = static_cast<uint64_t>(c - '0');
    constexpr uint64_t kLimit = uint64_t{1} << 63;  // the magnitude of the most negative value
    if (overflow_ || magnitude_ > (kLimit - d) / 10) {
      overflow_ = true;
    } else {
      magnitude_ = magnitude_ * 10 + d;
    }
  }

  bool dead() const { return bad_; }

  // A character that does not belong outranks an overflow: the whole value
  // is looked at before it is converted.
  bool finish(int64_t& value, Fault& fault) const {
    if (bad_ || !any_digit_) {
      fault = Fault::BadInteger;
      return false;
    }
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (overflow_ || (!negative_ && magnitude_ > kMax)) {
      fault = Fault::IntegerOverflow;
      return false;
    }
    value = negative_ ? static_cast<int64_t>(0 - magnitude_) : static_cast<int64_t>(magnitude_);
    return true;
  }

 private:
  bool started_ = false;
  bool negative_ = false;
  bool any_digit_ = false;
  bool bad_ = false;
  bool overflow_ = false;
  uint64_t magnitude_ = 0;
};

// One value of the source with every reading the items of the read may ask
// of it; with a repeat count it serves several items.
struct ScannedValue {
  Place place;
  int64_t repeat = 1;
  bool null = false;
  bool quoted = false;
  RealForm real;
  IntegerForm integer;
  std::string text;
};

bool fail(ScanFailure& failure, Fault fault, int64_t item, Place place, int error_number = 0) {
  failure.fault = fault;
  failure.item = item;
  failure.place = place;
  failure.error_number = error_number;
  return false;
}

enum class Gap { Value, Null, Slash, End };

// Takes the separators ahead of the next value. `where` is the place of the
// comma or slash that ends the search.
Gap skip_separators(Source& s, bool first_of_read, Place& where) {
  // Ahead of the first value of a read, even one comma makes a null value.
  bool comma_seen = first_of_read;
  while (true) {
    const int c = peek(s);
    if (c == ' ' || c == '\t' || c == '\n') {
      advance(s, c);
    } else if (c == ',') {
      if (comma_seen) {
        where = here(s);
        return Gap::Null;
      }
      comma_seen = true;
      advance(s, c);
    } else if (c == '/') {
      where = here(s);
      return Gap::Slash;
    } else if (c == kEnd) {
      return Gap::End;
    } else {
      return Gap::Value;
    }
  }
}

// A quoted text; the source stands on the opening mark.
bool scan_quoted(Source& s, ScannedValue& t, int64_t item, ScanFailure& failure) {
  const int mark = peek(s);
  advance(s, mark);
  t.quoted = true;
  while (true) {
    const int c = peek(s);
    if (c == kEnd) {
      return fail(failure, s.error_number != 0 ? Fault::ReadError : Fault::EndOfFile, item, {},
                  s.error_number);
    }
    advance(s, c);
    if (c == '\n') continue;  // a line end inside the text is dropped
    if (c == mark) {
      if (peek(s) != mark) return true;
      advance(s, mark);
    }
    if (t.text.size() < kTextWidth) t.text.push_back(static_cast<char>(c));
  }
}

// Reads the value at the source (not a separator) for the items of `kinds`,
// of which the first is the current item `item`.
bool scan_token(Source& s, std::span<const Kind> kinds, int64_t item, ScannedValue& t,
                ScanFailure& failure) {
  t = ScannedValue{};
  t.place = here(s);
  s.line_has_value = true;
  bool want_real = false;
  bool want_integer = false;
  bool want_text = false;
  for (Kind kind : kinds) {
    want_real = want_real || kind == Kind::Real;
    want_integer = want_integer || kind == Kind::Integer;
    want_text = want_text || kind == Kind::Text;
  }
  const Kind first = kinds.front();
  auto starts_quote = [&](int c) { return first == Kind::Text && (c == '\'' || c == '"'); };
  if (starts_quote(peek(s))) return scan_quoted(s, t, item, failure);

  // Leading digits may be a repeat count; they count up to just past the
  // largest allowed one.
  bool may_repeat = true;
  int64_t count = 0;
  bool count_digits = false;
  while (true) {
    const int c = peek(s);
    if (is_separator(c)) return true;
    if (c == '*' && may_repeat && count_digits) {
      advance(s, c);
      if (count == 0) return fail(failure, Fault::ZeroRepeat, item, t.place);
      if (count > kMaxRepeat) return fail(failure, Fault::RepeatOverflow, item, t.place);
      t.repeat = count;
      t.real = RealForm{};
      t.integer = IntegerForm{};
      t.text.clear();
      may_repeat = false;
      const int next = peek(s);
      if (is_separator(next)) {
        t.null = true;
        return true;
      }
      if (starts_quote(next)) return scan_quoted(s, t, item, failure);
      continue;
    }
    if (may_repeat) {
      if (is_digit(c)) {
        count = std::min(count * 10 + (c - '0'), kMaxRepeat + 1);
        count_digits = true;
      } else {
        may_repeat = false;
      }
    }
    if (want_real) t.real.feed(c);
    if (want_integer) t.integer.feed(c);
    if (want_text && t.text.size() < kTextWidth) t.text.push_back(static_cast<char>(c));
    advance(s, c);
    // The current item fails whatever follows: no need to read on.
    if ((first == Kind::Real && t.real.dead()) || (first == Kind::Integer && t.integer.dead())) {
      return true;
    }
  }
}

// Gives the token's reading for an item of `kind`.
bool take(const ScannedValue& t, Kind kind, Value& value, Fault& fault) {
  switch (kind) {
    case Kind::Real:
      if (t.quoted) {
        fault = Fault::BadReal;
        return false;
      }
      return t.real.finish(value.real, fault);
    case Kind::Integer:
      if (t.quoted) {
        fault = Fault::BadInteger;
        return false;
      }
      return t.integer.finish(value.integer, fault);
    case Kind::Text:
      value.text = t.text;
      return true;
  }
  return false;
}

bool printable(char c) { return c >= 0x20 && c <= 0x7e; }

}  // namespace

Source file_source(std::FILE* file) {
  Source s;
  s.file = file;
  s.buffer.resize(kChunk);
  return s;
}

Source text_source(std::string_view text) {
  Source s;
  s.buffer.assign(text.begin(), text.end());
  s.end = s.buffer.size();
  s.exhausted = true;
  return s;
}

std::string reason(const ScanFailure& failure) {
  const std::string item = std::to_string(failure.item);
  switch (failure.fault) {
    case Fault::EndOfFile:
      return "End of file";
    case Fault::ReadError:
      return std::strerror(failure.error_number);
    case Fault::BadReal:
      return "Bad real number in item " + item + " of list input";
    case Fault::BadInteger:
      return "Bad integer for item " + item + " in list input";
    case Fault::IntegerOverflow:
      return "Integer overflow while reading item " + item;
    case Fault::ZeroRepeat:
      return "Zero repeat count in item " + item + " of list input";
    case Fault::RepeatOverflow:
      return "Repeat count overflow in item " + item + " of list input";
    case Fault::BadInfinity:
      return "Bad infinity in item " + item + " of list input";
    case Fault::BadNotANumber:
      return "Bad not-a-number in item " + item + " of list input";
    case Fault::NoValue:
      return "No value for item " + item + " of list input";
  }
  return "";
}

bool read_list(Source& s, std::span<const Kind> kinds, std::span<Value> values,
               ScanFailure& failure) {
  ScannedValue t;
  int64_t left = 0;  // items the current token still serves
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const auto item = static_cast<int64_t>(k + 1);
    if (left == 0) {
      Place where;
      switch (skip_separators(s, k == 0, where)) {
        case Gap::End:
          return fail(failure, s.error_number != 0 ? Fault::ReadError : Fault::EndOfFile, item, {},
                      s.error_number);
        case Gap::Null:
        case Gap::Slash:
          return fail(failure, Fault::NoValue, item, where);
        case Gap::Value:
          break;
      }
      if (!scan_token(s, kinds.subspan(k), item, t, failure)) return false;
      left = t.repeat;
    }
    --left;
    if (t.null) return fail(failure, Fault::NoValue, item, t.place);
    Fault fault = Fault::BadReal;
    if (!take(t, kinds[k], values[k], fault)) return fail(failure, fault, item, t.place);
    values[k].place = t.place;
  }
  // A read error may have cut the last value short.
  if (s.error_number != 0) return fail(failure, Fault::ReadError, 0, {}, s.error_number);
  return true;
}

bool skip_rest_of_line(Source& s) {
  while (true) {
    if (s.pos == s.end && !refill(s)) return s.error_number == 0;
    const char* begin = s.buffer.data() + s.pos;
    const std::size_t size = s.end - s.pos;
    const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', size));
    std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - begin) : size;
    std::size_t consumed = take;
    if (newline != nullptr) {
      consumed = take + 1;
      if (take > 0 && begin[take - 1] == '\r') --take;  // part of the line end
    } else if (begin[size - 1] == '\r') {
      // The CR may belong to a line end in the next chunk: look again after
      // reading more.
      if (size == 1) {
        if (!refill(s)) advance(s, '\r');
        continue;
      }
      take = consumed = size - 1;
    }
    if (s.head.size() < kHeadBytes) {
      s.head.append(begin, std::min(take, kHeadBytes - s.head.size()));
    }
    s.column += static_cast<int64_t>(take);
    s.pos += consumed;
    if (newline != nullptr) {
      end_line(s);
      return true;
    }
  }
}

std::string take_ahead(Source& s, std::size_t limit, bool may_read) {
  std::string ahead;
  while (ahead.size() < limit) {
    if (s.pos == s.end && !(may_read && refill(s))) break;
    const std::size_t take = std::min(s.end - s.pos, limit - ahead.size());
    ahead.append(s.buffer.data() + s.pos, take);
    s.pos += take;
  }
  return ahead;
}

LineExcerpt line_excerpt(Source& s, int64_t line) {
  if (line == s.line) {
    while (true) {
      const int c = peek(s);
      if (c == kEnd || c == '\n') return LineExcerpt{s.line, s.head, s.column, true};
      if (s.column >= static_cast<int64_t>(kHeadBytes)) {
        return LineExcerpt{s.line, s.head, s.column, false};
      }
      advance(s, c);
    }
  }
  for (auto it = s.recent.rbegin(); it != s.recent.rend(); ++it) {
    if (it->line == line) return *it;
  }
  return LineExcerpt{};
}

std::string show_column(const LineExcerpt& excerpt, int64_t column) {
  if (excerpt.line == 0 || column < 0) return "";
  const std::string& head = excerpt.head;
  bool plain = excerpt.complete && excerpt.length <= kShowWidth;
  for (char c : head) plain = plain && (printable(c) || c == '\t');
  if (plain) {
    if (column >= static_cast<int64_t>(head.size())) return "";
    // Tabs become blanks up to the next multiple of eight, so that the caret
    // stands under its value on any terminal.
    std::string line;
    std::size_t caret_at = 0;
    for (std::size_t i = 0; i < head.size(); ++i) {
      if (static_cast<int64_t>(i) == column) caret_at = line.size();
      if (head[i] == '\t') {
        line.append(8 - line.size() % 8, ' ');
      } else {
        line += head[i];
      }
    }
    return line + "\n" + std::string(caret_at, ' ') + "^\n";
  }
  const std::size_t shown = std::min(head.size(), kExcerptBytes);
  if (column >= static_cast<int64_t>(shown)) return "";
  std::string line;
  std::size_t caret_at = 0;
  for (std::size_t i = 0; i < shown; ++i) {
    if (static_cast<int64_t>(i) == column) caret_at = line.size();
    const char c = head[i];
    if (printable(c)) {
      line += c;
    } else {
      text::append_escaped(line, static_cast<unsigned char>(c));
    }
  }
  if (!excerpt.complete || excerpt.length > static_cast<int64_t>(shown)) line += "...";
  return line + "\n" + std::string(caret_at, ' ') + "^\n";
}

}  // namespace kinex::input

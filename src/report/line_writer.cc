#include "report/line_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace kinex::report {

namespace {

// One value field of a layout, or a line end ('/').
struct Field {
  char kind;  // 'A', 'I', 'F', 'S' (ES) or '/'
  int w;      // -1 for an A field without a width: the text as it stands
  int d;
};

[[noreturn]] void bad_layout(std::string_view layout, const char* why) {
  throw std::logic_error("line writer: layout \"" + std::string(layout) + "\": " + why);
}

// Reads a run of decimal digits at `pos`; -1 when there is none.
int read_number(std::string_view layout, size_t& pos) {
  if (pos >= layout.size() || layout[pos] < '0' || layout[pos] > '9') return -1;
  int value = 0;
  while (pos < layout.size() && layout[pos] >= '0' && layout[pos] <= '9') {
    value = value * 10 + (layout[pos] - '0');
    if (value > 100000) bad_layout(layout, "number too large");
    ++pos;
  }
  return value;
}

// Expands "(A5,I2,2F9.2,/)" into its fields, a repeat count standing for
// that many copies. Layouts are fixed texts of the program, so a malformed one
// is a programming error.
std::vector<Field> parse_layout(std::string_view layout) {
  std::vector<Field> fields;
  size_t pos = 0;
  auto skip_blanks = [&] {
    while (pos < layout.size() && layout[pos] == ' ') ++pos;
  };
  skip_blanks();
  if (pos >= layout.size() || layout[pos] != '(') bad_layout(layout, "no opening parenthesis");
  ++pos;
  bool closed = false;
  while (true) {
    skip_blanks();
    if (pos >= layout.size()) break;
    if (layout[pos] == ')') {
      closed = true;
      ++pos;
      break;
    }
    int repeat = read_number(layout, pos);
    if (repeat == 0) bad_layout(layout, "repeat count 0");
    if (repeat < 0) repeat = 1;
    if (pos >= layout.size()) bad_layout(layout, "field expected");
    Field field{0, 0, 0};
    const char c = layout[pos++];
    if (c == '/') {
      field.kind = '/';
    } else if (c == 'A') {
      field.kind = 'A';
      field.w = read_number(layout, pos);
    } else if (c == 'I' || c == 'F' || (c == 'E' && pos < layout.size() && layout[pos] == 'S')) {
      if (c == 'E') ++pos;
      field.kind = c == 'E' ? 'S' : c;
      field.w = read_number(layout, pos);
      if (field.w <= 0) bad_layout(layout, "field width expected");
      if (c != 'I') {
        if (pos >= layout.size() || layout[pos] != '.') bad_layout(layout, "decimals expected");
        ++pos;
        field.d = read_number(layout, pos);
        if (field.d < 0) bad_layout(layout, "decimals expected");
      }
    } else {
      bad_layout(layout, "unknown field");
    }
    fields.insert(fields.end(), static_cast<size_t>(repeat), field);
    skip_blanks();
    if (pos < layout.size() && layout[pos] == ',') {
      ++pos;
    } else if (field.kind != '/' && pos < layout.size() && layout[pos] != ')' &&
               layout[pos] != '/') {
      bad_layout(layout, "comma expected");
    }
  }
  skip_blanks();
  if (!closed || pos != layout.size()) bad_layout(layout, "unbalanced parentheses");
  return fields;
}

std::string right_justify(std::string_view text, int w) {
  if (static_cast<int>(text.size()) > w) return std::string(static_cast<size_t>(w), '*');
  std::string field(static_cast<size_t>(w) - text.size(), ' ');
  field += text;
  return field;
}

// NaN and infinities in F and ES fields.
std::string non_finite_field(double x, int w) {
  std::string_view text = std::isnan(x) ? "NaN" : (x < 0 ? "-Inf" : "+Inf");
  if (w == 3 && text == "+Inf") text = "Inf";
  return right_justify(text, w);
}

// The laid-out lines of `layout`, without line feeds.
std::vector<std::string> lay_out(std::string_view layout, std::initializer_list<Item> items) {
  const std::vector<Field> fields = parse_layout(layout);
  std::vector<std::string> lines(1);
  size_t next = 0;
  for (const Item& item : items) {
    while (next < fields.size() && fields[next].kind == '/') {
      lines.emplace_back();
      ++next;
    }
    if (next >= fields.size()) bad_layout(layout, "more items than value fields");
    const Field& field = fields[next++];
    std::string& line = lines.back();
    switch (field.kind) {
      case 'A':
        if (item.kind != Item::Kind::Text) bad_layout(layout, "A field needs a text");
        line += field.w < 0 ? std::string(item.text) : field_A(item.text, field.w);
        break;
      case 'I':
        if (item.kind != Item::Kind::Integer) bad_layout(layout, "I field needs an integer");
        line += field_I(item.integer, field.w);
        break;
      case 'F':
        if (item.kind != Item::Kind::Real) bad_layout(layout, "F field needs a real");
        line += field_F(item.real, field.w, field.d);
        break;
      default:  // 'S'
        if (item.kind != Item::Kind::Real) bad_layout(layout, "ES field needs a real");
        line += field_ES(item.real, field.w, field.d);
        break;
    }
  }
  // Line ends that follow the last item still count; the next value field
  // stops the write.
  while (next < fields.size() && fields[next].kind == '/') {
    lines.emplace_back();
    ++next;
  }
  return lines;
}

}  // namespace

std::string free_form(std::initializer_list<Item> items) {
  std::string line;
  bool first = true;
  bool last_was_text = false;
  for (const Item& item : items) {
    const bool is_text = item.kind == Item::Kind::Text;
    if (first || !(is_text && last_was_text)) line += ' ';
    if (is_text)
      line += item.text;
    else if (item.kind == Item::Kind::Integer)
      line += free_integer(item.integer);
    else
      line += free_real(item.real);
    first = false;
    last_was_text = is_text;
  }
  return line;
}

void write_free(std::string& out, std::initializer_list<Item> items) {
  out += free_form(items);
  out += '\n';
}

void write_laid_out(std::string& out, std::string_view layout, std::initializer_list<Item> items) {
  for (const std::string& line : lay_out(layout, items)) {
    out += line;
    out += '\n';
  }
}

std::string laid_out(std::string_view layout, std::initializer_list<Item> items) {
  std::vector<std::string> lines = lay_out(layout, items);
  if (lines.size() != 1) bad_layout(layout, "a one-line rendering cannot hold \"/\"");
  return std::move(lines.front());
}

std::string field_A(std::string_view text, int w) {
  if (static_cast<int>(text.size()) >= w)
    return std::string(text.substr(0, static_cast<size_t>(w)));
  return right_justify(text, w);
}

std::string field_I(int64_t value, int w) { return right_justify(free_integer(value), w); }

std::string field_F(double x, int w, int d) {
  if (!std::isfinite(x)) return non_finite_field(x, w);
  // |x| < 2^1024 has at most 309 integer digits.
  std::string text(static_cast<size_t>(d) + 320, '\0');
  text[0] = '-';
  char* first = text.data() + 1;
  // to_chars rounds the exact binary value to nearest, ties to even.
  const auto result =
      std::to_chars(first, text.data() + text.size(), std::fabs(x), std::chars_format::fixed, d);
  text.resize(static_cast<size_t>(result.ptr - text.data()));
  if (d == 0) text += '.';
  if (!std::signbit(x)) text.erase(0, 1);

  const int length = static_cast<int>(text.size());
  if (length <= w) return right_justify(text, w);
  const size_t zero = std::signbit(x) ? 1 : 0;
  // One character too long: a lone leading 0 of the integer part can go.
  if (length == w + 1 && text[zero] == '0' && text[zero + 1] == '.') {
    return text.erase(zero, 1);
  }
  // Two too long with nothing but zeros: "-0" can go ("-0.00" -> ".00").
  if (length == w + 2 && zero == 1 && text.find_first_not_of("-0.") == std::string::npos) {
    return text.erase(0, 2);
  }
  return std::string(static_cast<size_t>(w), '*');
}

std::string field_ES(double x, int w, int d) {
  if (!std::isfinite(x)) return non_finite_field(x, w);
  std::string digits(static_cast<size_t>(d) + 16, '\0');
  // to_chars rounds the exact binary value to d+1 significant digits, ties to
  // even, and raises the exponent on a carry ("9.996" -> "1.00e+01").
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), std::fabs(x),
                                    std::chars_format::scientific, d);
  digits.resize(static_cast<size_t>(result.ptr - digits.data()));
  const size_t e = digits.find('e');
  int exponent = 0;
  std::from_chars(digits.data() + e + 2, digits.data() + digits.size(), exponent);
  const bool negative_exponent = digits[e + 1] == '-';

  std::string text;
  if (std::signbit(x)) text += '-';
  text += digits[0];
  text += '.';
  if (d > 0) text.append(digits, 2, e - 2);
  if (exponent <= 99) text += 'E';
  text += negative_exponent ? '-' : '+';
  if (exponent <= 9) text += '0';
  text += std::to_string(exponent);
  return right_justify(text, w);
}

std::string free_integer(int64_t value) { return std::to_string(value); }

std::string free_real(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Inf" : "+Inf";
  std::string text = std::signbit(x) ? "-" : "";
  if (x == 0) return text + "0.";

  // The shortest digits that read back as |x|, the nearest of them when
  // several of that length qualify.
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x), std::chars_format::scientific);
  const std::string_view shortest(buffer, static_cast<size_t>(result.ptr - buffer));
  const size_t e = shortest.find('e');
  std::string digits(1, shortest[0]);
  if (e > 1) digits.append(shortest.substr(2, e - 2));
  int exponent = 0;
  std::from_chars(shortest.data() + e + 2, shortest.data() + shortest.size(), exponent);
  if (shortest[e + 1] == '-') exponent = -exponent;

  // to_chars breaks an exact tie between the two nearest shortest strings
  // towards the even last digit; the report takes the larger one. A tie needs
  // the next string up to read back as |x| too, and |x| to be exactly halfway,
  // which only the full expansion of |x| can tell.
  if ((digits.back() - '0') % 2 == 0) {
    std::string up = digits;
    ++up.back();  // an even digit never carries
    std::string up_text = up.substr(0, 1) + "." + up.substr(1) + "e" + std::to_string(exponent);
    double up_value = 0;
    std::from_chars(up_text.data(), up_text.data() + up_text.size(), up_value);
    if (up_value == std::fabs(x)) {
      // A double's exact expansion has at most 767 significant digits.
      char exact[800];
      const auto full = std::to_chars(exact, exact + sizeof exact, std::fabs(x),
                                      std::chars_format::scientific, 780);
      std::string_view mantissa(exact, static_cast<size_t>(full.ptr - exact));
      mantissa = mantissa.substr(0, mantissa.find('e'));
      const std::string halfway = digits.substr(0, 1) + "." + digits.substr(1) + "5";
      if (mantissa.substr(0, halfway.size()) == halfway &&
          mantissa.find_first_not_of('0', halfway.size()) == std::string_view::npos) {
        digits = up;
      }
    }
  }

  const int k = static_cast<int>(digits.size());
  if (exponent >= -6 && exponent <= -1) {
    text += "0.";
    text.append(static_cast<size_t>(-exponent - 1), '0');
    text += digits;
  } else if (exponent >= 0 && exponent <= 6) {
    if (k > exponent + 1) {
      text.append(digits, 0, static_cast<size_t>(exponent) + 1);
      text += '.';
      text.append(digits, static_cast<size_t>(exponent) + 1);
    } else {
      text += digits;
      text.append(static_cast<size_t>(exponent + 1 - k), '0');
      text += '.';
    }
  } else {
    text += digits[0];
    text += '.';
    text.append(digits, 1);
    text += 'E';
    if (exponent >= 0) text += '+';
    text += std::to_string(exponent);
  }
  return text;
}

void write_heading(std::string& out, std::string_view title_line) {
  const std::string bangs(68, '!');
  const std::string box = "!!" + std::string(64, ' ') + "!!";
  write_free(out, {bangs});
  write_free(out, {box});
  write_free(out, {title_line});
  write_free(out, {box});
  write_free(out, {bangs});
  write_free(out, {""});
}

}  // namespace kinex::report

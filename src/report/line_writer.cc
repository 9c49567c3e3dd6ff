#include "report/line_writer.h"

namespace kinex::report {

std::string free_form(std::initializer_list<Item> items) {
  std::string line;
  bool first = true;
  bool last_was_text = false;
  for (const Item& item : items) {
    const bool is_text = item.kind == Item::Kind::Text;
    if (first || !(is_text && last_was_text)) line += ' ';
    if (is_text) line += item.text;
    else if (item.kind == Item::Kind::Integer) line += free_integer(item.integer);
    else line += free_real(item.real);
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
  (void)layout; (void)items; out += '\n';
}

std::string laid_out(std::string_view layout, std::initializer_list<Item> items) {
  (void)layout; (void)items; return {};
}

std::string field_A(std::string_view text, int w) { (void)text; return std::string(w, ' '); }
std::string field_I(int64_t value, int w) { (void)value; return std::string(w, ' '); }
std::string field_F(double x, int w, int d) { (void)x; (void)d; return std::string(w, ' '); }
std::string field_ES(double x, int w, int d) { (void)x; (void)d; return std::string(w, ' '); }
std::string free_integer(int64_t value) { return std::to_string(value); }
std::string free_real(double x) { (void)x; return {}; }

void write_heading(std::string& out, std::string_view title_line) { (void)out; (void)title_line; }

std::string_view trim_right(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace kinex::report

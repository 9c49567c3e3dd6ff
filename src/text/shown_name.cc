#include "text/shown_name.h"

namespace kinex::text {

void append_escaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (byte == '\t') {
    out += "\\t";
    return;
  }
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

std::string shown_name(std::string_view name) {
  std::string shown;
  shown.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      append_escaped(shown, byte);
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace kinex::text

#include "platform/files.h"

namespace kinex {

std::string input_named_by(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    if (same_file(output, input)) return input;
  }
  return {};
}

}  // namespace kinex

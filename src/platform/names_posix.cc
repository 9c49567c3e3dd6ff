#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/names.h"

namespace kinex {

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

std::filesystem::path system_path(const std::string& name) { return name; }

bool name_exists(const std::string& name, int& error) {
  struct stat status;
  if (stat(name.c_str(), &status) == 0) return true;
  error = errno;
  return false;
}

std::FILE* open_for_reading(const std::string& name, int& error) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) error = errno;
  return file;
}

int open_descriptor_for_reading(const std::string& name, int& error) {
  int fd = -1;
  do {
    fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) error = errno;
  return fd;
}

}  // namespace kinex

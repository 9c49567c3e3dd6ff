#include <windows.h>
// shellapi.h needs windows.h first.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>

#include "platform/names.h"
#include "platform/wide.h"

namespace kinex {
namespace {

bool is_folder(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::vector<std::string> program_arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
  std::vector<std::string> arguments;
  for (int k = 0; k < count; ++k) arguments.push_back(utf8_of(wide[k]));
  LocalFree(wide);
  return arguments;
}

std::filesystem::path system_path(const std::string& name) { return wide_of(name); }

bool name_exists(const std::string& name, int& error) {
  const std::wstring wide = wide_of(name);
  if (name.empty()) {
    error = ENOENT;
    return false;
  }
  if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD code = GetLastError();
  error = errno_of(code);
  if (error == 0) error = code == ERROR_INVALID_PARAMETER ? ENOENT : EIO;
  return false;
}

std::FILE* open_for_reading(const std::string& name, int& error) {
  const std::wstring wide = wide_of(name);
  std::FILE* file = _wfopen(wide.c_str(), L"rb");
  if (file == nullptr) error = is_folder(wide) ? EISDIR : errno;
  return file;
}

int open_descriptor_for_reading(const std::string& name, int& error) {
  const std::wstring wide = wide_of(name);
  const int fd = _wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) error = is_folder(wide) ? EISDIR : errno;
  return fd;
}

}  // namespace kinex

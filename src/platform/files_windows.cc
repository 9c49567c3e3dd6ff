#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/files.h"
#include "platform/output.h"
#include "platform/wide.h"

namespace kinex {
namespace {

constexpr std::size_t kNameHead = 200;  // UTF-16 units; names may have 255

// A handle that closes itself.
struct Handle {
  HANDLE value = INVALID_HANDLE_VALUE;
  explicit Handle(HANDLE handle) : value(handle) {}
  ~Handle() {
    if (value != INVALID_HANDLE_VALUE) CloseHandle(value);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return value != INVALID_HANDLE_VALUE; }
  // Closes now; false when closing failed (a write the system had held back).
  bool close() {
    const bool ok = CloseHandle(value) != 0;
    value = INVALID_HANDLE_VALUE;
    return ok;
  }
};

// What `name` leads to (through symbolic links), opened to look at, not to
// read or write; folders too.
HANDLE open_to_look_at(const std::wstring& name) {
  return CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The descriptor of the process's own stream that `path` names; -1 for
// any other name.
int stream_descriptor(const std::string& path) {
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  return -1;
}

std::string reason_of_last_error() { return windows_error_text(GetLastError()); }

// Writes all of `text` through `handle`; false with the error left in
// GetLastError.
bool write_through(HANDLE handle, std::string_view text) {
  while (!text.empty()) {
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, text.data(), size, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

bool write_in_place(const std::wstring& path, std::string_view text, std::string& reason) {
  Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !write_through(file.value, text)) {
    reason = reason_of_last_error();
    return false;
  }
  return true;
}

// The file a write to `path` should replace: the target of a symbolic link
// (a reparse point), as far as it exists; `path` itself otherwise.
std::wstring final_target(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
  Handle file(open_to_look_at(path));
  if (!file.valid()) return path;
  std::wstring target(32768, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(file.value, target.data(), static_cast<DWORD>(target.size()), 0);
  if (length == 0 || length >= target.size()) return path;
  target.resize(length);
  return target;
}

// The temporary file of the replace_file under way, for the console
// control handler, which runs on a thread of its own: the one state shared
// with it (the flag is set after the name and cleared before it changes).
wchar_t pending_name[32768];
std::atomic<bool> pending{false};

BOOL WINAPI remove_pending(DWORD) {
  if (pending.load()) DeleteFileW(pending_name);
  return FALSE;  // the next handler, in the end the system's, ends the process
}

void set_pending(const std::wstring& name) {
  pending.store(false);
  if (name.size() >= sizeof pending_name / sizeof pending_name[0]) return;
  std::memcpy(pending_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  pending.store(true);
}

// A new temporary file beside `target`, of a name no other file has,
// opened for writing through to the disk; its name in `name`.
HANDLE create_temporary(const std::filesystem::path& target, std::wstring& name) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : L".";
  const std::wstring head = target.filename().wstring().substr(0, kNameHead);
  static const wchar_t kDigits[] = L"0123456789abcdef";
  unsigned long long seed = GetTickCount64() * 6364136223846793005ull + GetCurrentProcessId();
  for (int attempt = 0; attempt < 100; ++attempt) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    std::wstring suffix;
    for (int k = 0; k < 6; ++k) suffix += kDigits[(seed >> (40 + 4 * k)) & 15];
    name = (folder / (L"." + head + L".kinex-" + suffix)).wstring();
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Puts the temporary file `temporary` in the place of `target`: the old
// file's attributes and permissions stay with the name (ReplaceFileW);
// where the file system cannot do that, or there is no old file, a rename
// written through to the disk.
bool put_in_place(const std::wstring& temporary, const std::wstring& target, bool exists) {
  if (exists && ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return true;
  }
  const DWORD code = exists ? GetLastError() : ERROR_SUCCESS;
  if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) return false;
  return MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

bool same_file(const std::string& path, const std::string& other) {
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  Handle first(open_to_look_at(wide_of(path)));
  if (!first.valid() || !GetFileInformationByHandle(first.value, &a)) return false;
  Handle second(open_to_look_at(wide_of(other)));
  if (!second.valid() || !GetFileInformationByHandle(second.value, &b)) return false;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

void guard_temporary_files() { SetConsoleCtrlHandler(&remove_pending, TRUE); }

bool is_device_or_pipe(const std::string& path) {
  if (stream_descriptor(path) >= 0) return true;
  Handle file(open_to_look_at(wide_of(path)));
  return file.valid() && GetFileType(file.value) != FILE_TYPE_DISK;
}

bool replace_file(const std::string& path, std::string_view text, std::string& reason) {
  // The process's own streams, whatever they lead to: written to as they are.
  if (const int fd = stream_descriptor(path); fd >= 0) return write_all(fd, text, reason);
  const std::wstring name = wide_of(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = std::strerror(EISDIR);
    return false;
  }
  // A device or a pipe (NUL, CON) is written to as it is: it holds nothing
  // to lose, and renaming over it would fail or replace it.
  if (is_device_or_pipe(path)) return write_in_place(name, text, reason);
  // A read-only file would be replaced all the same; refuse as opening it
  // for writing would.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    reason = std::strerror(EACCES);
    return false;
  }
  const std::wstring target = exists ? final_target(name, attributes) : name;
  std::wstring temporary;
  Handle file(create_temporary(std::filesystem::path(target), temporary));
  if (!file.valid()) {
    reason = reason_of_last_error();
    return false;
  }
  set_pending(temporary);
  bool ok = write_through(file.value, text) && FlushFileBuffers(file.value) != 0;
  DWORD code = ok ? ERROR_SUCCESS : GetLastError();
  if (!file.close() && ok) {
    code = GetLastError();
    ok = false;
  }
  if (ok && !put_in_place(temporary, target, exists)) {
    code = GetLastError();
    ok = false;
  }
  if (!ok) DeleteFileW(temporary.c_str());
  pending.store(false);
  if (!ok) reason = windows_error_text(code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
  return ok;
}

}  // namespace kinex

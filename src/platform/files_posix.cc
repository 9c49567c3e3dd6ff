#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/files.h"
#include "platform/output.h"

namespace kinex {
namespace {

constexpr std::size_t kNameHead = 200;  // bytes; names may have 255

// The mode a new file gets from open(..., 0666): 0666 less the umask. The
// umask can only be read by setting it; it is set straight back.
mode_t default_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The file a write to `path` should replace: the target of a symbolic link,
// followed as far as it exists; `path` itself otherwise.
std::string final_target(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) return path;
  const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
  return error ? path : target.string();
}

// The descriptor a name of the process's own streams stands for
// (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N); -1 for any other.
int stream_descriptor(const std::string& path) {
  if (path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  for (const std::string head : {"/dev/fd/", "/proc/self/fd/"}) {
    if (path.size() <= head.size() || path.compare(0, head.size(), head) != 0) continue;
    int fd = -1;
    const char* end = path.data() + path.size();
    const auto [at, ec] = std::from_chars(path.data() + head.size(), end, fd);
    if (ec == std::errc() && at == end && fd >= 0 && fcntl(fd, F_GETFD) != -1) return fd;
  }
  return -1;
}

bool write_in_place(const std::string& path, std::string_view text, std::string& reason) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  int error = fd < 0 ? errno : 0;
  bool ok = fd >= 0 && write_all(fd, text, error);
  if (fd >= 0 && close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  if (!ok) reason = std::strerror(error != 0 ? error : EIO);
  return ok;
}

}  // namespace

bool same_file(const std::string& path, const std::string& other) {
  struct stat a, b;
  if (stat(path.c_str(), &a) != 0 || stat(other.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

namespace {

// The temporary file of the replace_file under way, for the signal handler:
// the one state shared with it, written only where no handler can run
// with it half-written (the flag is set after the name and cleared before
// it changes).
char pending_name[4096];
volatile std::sig_atomic_t pending = 0;

void remove_pending_and_die(int signal) {
  if (pending != 0) unlink(pending_name);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void set_pending(const std::string& name) {
  pending = 0;
  if (name.size() >= sizeof pending_name) return;
  std::memcpy(pending_name, name.c_str(), name.size() + 1);
  pending = 1;
}

}  // namespace

void guard_temporary_files() {
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = &remove_pending_and_die;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before {};
    // A signal ignored by whoever started the program stays ignored.
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

bool is_device_or_pipe(const std::string& path) {
  if (stream_descriptor(path) >= 0) return true;
  struct stat status;
  return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

bool replace_file(const std::string& path, std::string_view text, std::string& reason) {
  // The process's own streams, whatever they lead to (a terminal, a pipe,
  // a file opened by the shell, for appending too): written to as they are.
  if (const int fd = stream_descriptor(path); fd >= 0) return write_all(fd, text, reason);
  // What the name leads to, through any symbolic links.
  struct stat existing;
  const bool exists = stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    reason = std::strerror(EISDIR);
    return false;
  }
  // A device or a pipe (/dev/stdout, a FIFO) is written to as it is: it
  // holds nothing to lose, and renaming over it would replace it.
  if (exists && !S_ISREG(existing.st_mode)) return write_in_place(path, text, reason);
  // The file would be replaced even where it may not be written; refuse as
  // opening it for writing would.
  if (exists && access(path.c_str(), W_OK) != 0) {
    reason = std::strerror(errno);
    return false;
  }

  const std::string target = final_target(path);
  const std::filesystem::path place(target);
  const std::filesystem::path folder = place.has_parent_path() ? place.parent_path() : ".";
  // The name's head keeps the temporary file recognisable; cut, so that the
  // whole stays within the longest name a folder allows.
  const std::string head = place.filename().string().substr(0, kNameHead);
  std::string temporary = (folder / ("." + head + ".kinex-XXXXXX")).string();
  const mode_t mode = exists ? (existing.st_mode & 07777) : default_mode();

  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  set_pending(temporary);
  int error = 0;
  bool ok = fchmod(fd, mode) == 0 || (error = errno, false);
  ok = ok && write_all(fd, text, error);
  ok = ok && (fsync(fd) == 0 || (error = errno, false));
  if (close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  ok = ok && (std::rename(temporary.c_str(), target.c_str()) == 0 || (error = errno, false));
  if (!ok) unlink(temporary.c_str());
  pending = 0;
  if (!ok) reason = std::strerror(error != 0 ? error : EIO);
  return ok;
}

}  // namespace kinex

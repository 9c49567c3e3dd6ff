// Files that kinex writes: whole or not at all, and never over an input.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kinex {

// True when `path` names the same file as `other` (the same device and
// inode on Linux, the same volume serial number and file index on Windows,
// whatever the names, links or symbolic links); false when either does not
// exist.
bool same_file(const std::string& path, const std::string& other);

// The first of `inputs` (every file a command reads: cycle files, tables,
// sigmas files) that `output` names, by same_file; empty when it names
// none of them.
std::string input_named_by(const std::string& output, const std::vector<std::string>& inputs);

// True when `path` names one of the process's own streams (/dev/stdout,
// /dev/stderr, and on Linux /dev/fd/N, /proc/self/fd/N) or an existing file
// that is neither a regular file nor a folder (a device, a pipe; on Windows
// NUL, CON and the like): replace_file writes to those as they are.
bool is_device_or_pipe(const std::string& path);

// Puts `text` into the file `path`: writes a temporary file in the same
// folder, flushes it to disk and renames it into place (on Windows:
// written through to the disk, then ReplaceFileW, or MoveFileExW with
// write-through for a new file), so that a reader
// sees the old file or the whole new one and a failed write leaves the old
// file as it was. The new file keeps the permissions of the file it
// replaces (a new one gets the usual ones of the umask); a symbolic link
// stays and its target is replaced. The process's own streams, devices and
// pipes (is_device_or_pipe) are written to as they are. On failure removes
// the temporary file and returns false with the system's reason in `reason`.
bool replace_file(const std::string& path, std::string_view text, std::string& reason);

// For a program's main, once, before any replace_file: ignores SIGXFSZ, so
// that a write beyond the file-size limit (ulimit -f) fails with its error
// instead of killing the process; and on SIGINT, SIGTERM and SIGHUP removes
// the temporary file of a replace_file under way before the process dies of
// the signal as it would have. On Windows the same on Ctrl+C, Ctrl+Break
// and the console's closing, through a console control handler.
void guard_temporary_files();

}  // namespace kinex

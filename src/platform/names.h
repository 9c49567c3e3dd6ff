// File names and program arguments as the programs hold them: UTF-8 bytes.
// On Windows they reach the system through its wide (UTF-16) API, so that a
// chemist's folder "Katalyse/Übersicht" works; elsewhere the bytes are the
// name as they are.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace kinex {

// The program's arguments, argv[0] included, as UTF-8: argv itself on
// Linux; on Windows the command line's wide arguments, converted.
std::vector<std::string> program_arguments(int argc, char** argv);

// `name` as the standard library's path of this system.
std::filesystem::path system_path(const std::string& name);

// True when the system can tell the status of an object named `name` (of
// any kind, a folder too, following symbolic links); otherwise false with
// the reason in `error` (an errno value: ENOENT or ENOTDIR where nothing has
// that name).
bool name_exists(const std::string& name, int& error);

// Opens the file `name` for reading its bytes as they are, as
// std::fopen(name, "rb") does (no line-end conversion on any system). Null
// with the errno value in `error` on failure; EISDIR where Windows refuses
// to open a folder, which Linux opens (its reads then fail).
std::FILE* open_for_reading(const std::string& name, int& error);

// As open_for_reading, as a file descriptor (-1 on failure), not inherited
// by child processes.
int open_descriptor_for_reading(const std::string& name, int& error);

}  // namespace kinex

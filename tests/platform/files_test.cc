// The system's services under the programs, on Linux and on Windows alike:
// whole-or-nothing writes, file identity, UTF-8 names, the memory room.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/support.h"
#include "platform/memory.h"
#include "platform/names.h"

namespace kinex {
namespace {

namespace fs = std::filesystem;

// A chemist's folder and file, named in UTF-8.
const std::string kFolder = "Katalyse";
const std::string kSubfolder =
    "\xC3\x9C"
    "bersicht";                                                             // Übersicht
const std::string kFile = "Zyklus \xC3\xA4\xC3\xB6\xC3\xBC \xCE\x94G.txt";  // Zyklus äöü ΔG.txt

// The bytes of the file `name` (UTF-8), read through the system's own
// name of it.
std::string bytes_of(const std::string& name) {
  std::ifstream in(system_path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// How many files and folders the folder `name` (UTF-8) holds.
std::size_t entries_in(const std::string& name) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(system_path(name))) ++count;
  return count;
}

class PlatformFiles : public ::testing::Test {
 protected:
  test::ScratchDir scratch;
  std::string folder;  // scratch/Katalyse/Übersicht, UTF-8

  void SetUp() override {
    folder = scratch.path.string() + "/" + kFolder + "/" + kSubfolder;
    fs::create_directories(system_path(folder));
  }
  std::string in_folder(const std::string& name) const { return folder + "/" + name; }
};

TEST_F(PlatformFiles, ReplaceFileWritesWholeFilesUnderUtf8NamesAndLeavesNoTemporary) {
  const std::string name = in_folder(kFile);
  std::string reason;
  // New, then replaced by a longer text, then by a shorter one, LF kept.
  const std::string texts[] = {"first\n", std::string(100000, 'x') + "\n", "last\nline\n"};
  for (const std::string& text : texts) {
    ASSERT_TRUE(replace_file(name, text, reason)) << reason;
    EXPECT_EQ(bytes_of(name), text);
    EXPECT_EQ(entries_in(folder), 1u) << "a temporary file was left behind";
  }
}

TEST_F(PlatformFiles, ReplaceFileRefusesWhatItCannotReplaceAndKeepsTheFolderAsItWas) {
  std::string reason;
  ASSERT_TRUE(replace_file(in_folder("kept.txt"), "kept", reason)) << reason;
  struct Case {
    const char* what;
    std::string target;
  };
  const Case cases[] = {
      {"a folder", folder},
      {"a file in a folder that does not exist", in_folder("none/x.svg")},
  };
  for (const Case& c : cases) {
    reason.clear();
    EXPECT_FALSE(replace_file(c.target, "new", reason)) << c.what;
    EXPECT_FALSE(reason.empty()) << c.what;
    EXPECT_EQ(entries_in(folder), 1u) << c.what;
    EXPECT_EQ(bytes_of(in_folder("kept.txt")), "kept") << c.what;
  }
  reason.clear();
  replace_file(folder, "new", reason);
  EXPECT_EQ(reason, std::strerror(EISDIR));
}

TEST_F(PlatformFiles, SameFileKnowsAFileByAnyOfItsNames) {
  std::string reason;
  ASSERT_TRUE(replace_file(in_folder(kFile), "a", reason)) << reason;
  ASSERT_TRUE(replace_file(in_folder("other.txt"), "a", reason)) << reason;
  const std::string dotted = folder + "/./" + kFile;
  const std::string around = folder + "/../" + kSubfolder + "/" + kFile;
  struct Case {
    std::string a, b;
    bool same;
  };
  const Case cases[] = {
      {in_folder(kFile), in_folder(kFile), true},
      {in_folder(kFile), dotted, true},
      {in_folder(kFile), around, true},
      {in_folder(kFile), in_folder("other.txt"), false},  // the same bytes, another file
      {in_folder(kFile), in_folder("missing.txt"), false},
      {in_folder("missing.txt"), in_folder("missing.txt"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(same_file(c.a, c.b), c.same) << c.a << " / " << c.b;
  EXPECT_EQ(input_named_by(dotted, {in_folder("other.txt"), around}), around);
  EXPECT_EQ(input_named_by(in_folder("new.svg"), {in_folder(kFile)}), "");
}

TEST_F(PlatformFiles, Utf8NamesAreFoundAndOpenedAndFoldersAreNoFiles) {
  std::string reason;
  ASSERT_TRUE(replace_file(in_folder(kFile), "bytes\r\n\x1a as they are\n", reason)) << reason;
  int error = 0;
  EXPECT_TRUE(name_exists(in_folder(kFile), error));
  EXPECT_TRUE(name_exists(folder, error));
  EXPECT_FALSE(name_exists(in_folder("missing.txt"), error));
  EXPECT_EQ(error, ENOENT);

  std::FILE* file = open_for_reading(in_folder(kFile), error);
  ASSERT_NE(file, nullptr) << std::strerror(error);
  char buffer[64] = {};
  const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  EXPECT_EQ(std::string(buffer, got), "bytes\r\n\x1a as they are\n") << "no line-end conversion";

  const int fd = open_descriptor_for_reading(in_folder(kFile), error);
  EXPECT_GE(fd, 0) << std::strerror(error);
  if (fd >= 0) close(fd);
  EXPECT_EQ(open_for_reading(in_folder("missing.txt"), error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

TEST(PlatformMemory, TheMachinesMemoryIsKnownAndLimitsLeaveRoom) {
  const MemoryRoom room = current_memory_room();
  EXPECT_NE(room.physical, SIZE_MAX);
  EXPECT_NE(room.available, SIZE_MAX);
  EXPECT_GT(room.physical, std::size_t{64} << 20);
  EXPECT_LE(room.available, room.physical);
  if (room.address_limit != SIZE_MAX) {
    EXPECT_LE(room.address_used, room.address_limit);
  }
  if (room.group_limit != SIZE_MAX) {
    EXPECT_GT(room.group_used, 0u);
  }
}

}  // namespace
}  // namespace kinex

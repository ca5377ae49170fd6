// A throw-away Wine-style prefix for tests: a temporary folder with
// drive_c and a dosdevices folder, made the machine for the test's lifetime.
#pragma once

#include "platform/WindowsNamespace.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

class TestPrefix {
public:
  TestPrefix() {
    char pattern[] = "/tmp/fennick-prefix-XXXXXX";
    root = mkdtemp(pattern);
    std::filesystem::create_directories(root / "drive_c");
    std::filesystem::create_directories(root / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
    std::filesystem::create_directory_symlink("/", root / "dosdevices" / "z:");
    previous = platform::prefix();
    platform::setPrefix(root.string());
  }
  ~TestPrefix() {
    platform::setPrefix(previous);
    std::error_code ignored;
    std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root, ignored);
  }
  TestPrefix(const TestPrefix&) = delete;
  TestPrefix& operator=(const TestPrefix&) = delete;

  // The host path of a path under drive_c, given with forward slashes.
  std::filesystem::path driveC(const std::string& relative = "") const {
    return relative.empty() ? root / "drive_c" : root / "drive_c" / relative;
  }

  // Writes a file under drive_c, making its folders.
  void writeFile(const std::string& relative, const std::string& content = "x") const {
    std::filesystem::path path = driveC(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  std::filesystem::path root;

private:
  std::string previous;
};

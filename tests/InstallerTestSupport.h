// Helpers for the installer-database tests: a temporary host folder, SQLite
// databases built from SQL text, and a snapshot of a folder tree to prove
// that a scan left it as it was.
#pragma once

#include "platform/WindowsNamespace.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sqlite3.h>
#include <sstream>
#include <string>

namespace installer_test {

// A fresh folder under the host's temporary folder, removed with everything
// in it at the end of the test.
class TempFolder {
public:
  TempFolder() {
    std::random_device random;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      folder = base / ("fennick-db-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder));
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string host(const std::string& relative = "") const {
    return relative.empty() ? folder.string() : (folder / relative).string();
  }
  // The Windows path of a host path below this folder (through drive Z:
  // when no prefix maps it).
  std::u16string windows(const std::string& relative = "") const {
    return platform::toWindowsPath(host(relative));
  }

private:
  std::filesystem::path folder;
};

// The UTF-8 form of a Windows path, as the database layer takes it.
inline std::string utf8(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) {
    // Test paths are ASCII.
    out += static_cast<char>(unit);
  }
  return out;
}

// Creates the database file at hostPath (and its folders) and runs the SQL
// text in it. Empty result on success, else SQLite's message.
inline std::string makeDatabase(const std::string& hostPath, const std::string& sql) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(hostPath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                           nullptr);
  std::string error;
  char* message = nullptr;
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK)
    error = message ? message : (db ? sqlite3_errmsg(db) : "open failed");
  sqlite3_free(message);
  sqlite3_close(db);
  return error;
}

inline std::string readText(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every entry below root, by relative path: a folder as "dir", a file as
// its content and modification time.
inline std::map<std::string, std::string> snapshotTree(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string relative = std::filesystem::relative(entry.path(), root).string();
    if (entry.is_directory()) {
      tree[relative] = "dir";
    } else {
      auto time = std::filesystem::last_write_time(entry.path()).time_since_epoch().count();
      tree[relative] = readText(entry.path().string()) + "@" + std::to_string(time);
    }
  }
  return tree;
}

} // namespace installer_test

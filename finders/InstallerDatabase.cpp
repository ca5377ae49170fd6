// Read-only access to an installer database, with the busy handling of close.
#include "finders/InstallerDatabase.h"

#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <sqlite3.h>
#include <thread>

void InstallerDatabase::Release::operator()(sqlite3* connection) const {
  // The last resort after close has given up: SQLite frees the connection as
  // soon as nothing of it is in use any more.
  sqlite3_close_v2(connection);
}

InstallerDatabase::~InstallerDatabase() { close(); }

bool InstallerDatabase::open(const char* path) {
  if (!path || !*path)
    return false;
  if (!close())
    return false;
  utf8Path = path;
  std::u16string windowsPath;
  if (!utf8ToWide(utf8Path, windowsPath))
    return false;
  // SQLite opens the file itself, so it gets the host path; everything else
  // keeps the Windows path.
  std::optional<std::string> hostPath = platform::toHostPath(windowsPath);
  if (!hostPath || hostPath->empty())
    return false;
  sqlite3* connection = nullptr;
  int result = sqlite3_open_v2(hostPath->c_str(), &connection, SQLITE_OPEN_READONLY, nullptr);
  db.reset(connection);
  if (result != SQLITE_OK)
    return false;
  sqlite3_busy_timeout(connection, kBusyTimeoutMilliseconds);
  return true;
}

bool InstallerDatabase::close() {
  if (!db)
    return true;
  int result = sqlite3_close(db.get());
  for (int attempt = 1; result == SQLITE_BUSY && attempt < kCloseAttempts; ++attempt) {
    std::this_thread::sleep_for(kClosePause);
    result = sqlite3_close(db.get());
  }
  if (result != SQLITE_OK)
    return false;
  db.release(); // sqlite3_close has freed it
  return true;
}

// Read-only access to an installer database (through a private copy when it
// needs recovery), with the busy handling of close.
#include "finders/InstallerDatabase.h"

#include "platform/DatabaseReadLock.h"
#include "platform/Files.h"
#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <array>
#include <sqlite3.h>
#include <string_view>
#include <thread>
#include <vector>

namespace {

// The files SQLite keeps next to a database: the rollback journal of a
// write, the write-ahead log and its shared-memory index.
constexpr std::u16string_view kJournal = u"-journal";
constexpr std::u16string_view kLog = u"-wal";
constexpr std::u16string_view kSharedMemory = u"-shm";
constexpr std::array<std::u16string_view, 3> kSideFiles = {kJournal, kLog, kSharedMemory};
// The side files a copy takes along: the index is rebuilt from the log.
constexpr std::array<std::u16string_view, 2> kCopiedSideFiles = {kJournal, kLog};

// The database header's file format write and read versions (offsets 18 and
// 19) are 2 in WAL mode.
constexpr std::size_t kHeaderVersionOffset = 18;
constexpr std::uint8_t kWalVersion = 2;

// True when the journal is hot: SQLite would roll it back before reading,
// which a read-only connection cannot. A journal that is empty, or whose
// header is zeroed (a persistent or truncated journal between writes), is
// not.
bool hasHotJournal(const std::u16string& path) {
  std::vector<std::uint8_t> start;
  return platform::readFileStart(path + std::u16string(kJournal), 1, start) && start.size() == 1 &&
         start[0] != 0;
}

// True when reading the database where it lies would have SQLite roll back a
// journal left by an interrupted write, or go through a write-ahead log
// (a log beside it, or a database in WAL mode), which means creating or
// writing files next to the database.
bool needsRecovery(const std::u16string& path) {
  if (hasHotJournal(path) || platform::pathFileExists(path + std::u16string(kLog)))
    return true;
  std::vector<std::uint8_t> header;
  return platform::readFileStart(path, kHeaderVersionOffset + 2, header) &&
         header.size() == kHeaderVersionOffset + 2 &&
         (header[kHeaderVersionOffset] == kWalVersion ||
          header[kHeaderVersionOffset + 1] == kWalVersion);
}

// The states of the database and the side files a copy takes along.
std::array<platform::FileState, 3> databaseFileStates(const std::u16string& path) {
  return {platform::getFileState(path),
          platform::getFileState(path + std::u16string(kJournal)),
          platform::getFileState(path + std::u16string(kLog))};
}

// The last component of a Windows path.
std::u16string fileName(const std::u16string& path) {
  size_t separator = path.find_last_of(u"\\/");
  return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

} // namespace

void InstallerDatabase::Release::operator()(sqlite3* connection) const {
  // The last resort after close has given up: SQLite frees the connection as
  // soon as nothing of it is in use any more.
  sqlite3_close_v2(connection);
}

InstallerDatabase::~InstallerDatabase() {
  if (close())
    return;
  // SQLite frees the connection once it is no longer in use; the copy goes
  // now all the same (files still open are removed when they are closed).
  db.reset();
  removePrivateCopy();
}

bool InstallerDatabase::open(const char* path) { return open(path, std::u16string()); }

bool InstallerDatabase::open(const char* path, const std::u16string& scratchFolder) {
  if (!path || !*path)
    return false;
  if (!close())
    return false;
  utf8Path = path;
  std::u16string windowsPath;
  if (!utf8ToWide(utf8Path, windowsPath))
    return false;
  // SQLite would open whatever lies there, and a named pipe's open waits
  // for a writer: only a regular file is a database.
  if (!platform::getFileState(windowsPath).regular)
    return false;
  if (!scratchFolder.empty() && needsRecovery(windowsPath) &&
      openPrivateCopy(windowsPath, scratchFolder))
    return true;
  return openHost(windowsPath, SQLITE_OPEN_READONLY);
}

bool InstallerDatabase::openHost(const std::u16string& windowsPath, int flags) {
  // SQLite opens the file itself, so it gets the host path; everything else
  // keeps the Windows path.
  std::optional<std::string> hostPath = platform::toHostPath(windowsPath);
  if (!hostPath || hostPath->empty())
    return false;
  sqlite3* connection = nullptr;
  int result = sqlite3_open_v2(hostPath->c_str(), &connection, flags, platform::sqliteFileSystem());
  db.reset(connection);
  if (result != SQLITE_OK)
    return false;
  sqlite3_busy_timeout(connection, kBusyTimeoutMilliseconds);
  return true;
}

bool InstallerDatabase::openPrivateCopy(const std::u16string& windowsPath,
                                        const std::u16string& scratchFolder) {
  for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
    if (attempt > 0)
      std::this_thread::sleep_for(kCopyPause);
    if (!copyOneMoment(windowsPath, scratchFolder)) {
      removePrivateCopy();
      continue;
    }
    // Read-write, so that SQLite may roll the journal back or check the log
    // into the copy; never created, so a vanished original stays a failure.
    if (openHost(copyPath, SQLITE_OPEN_READWRITE))
      return true;
    db.reset();
    removePrivateCopy();
    return false;
  }
  return false;
}

bool InstallerDatabase::copyOneMoment(const std::u16string& windowsPath,
                                      const std::u16string& scratchFolder) {
  std::u16string guid;
  if (!newGuidString(guid))
    return false;
  copyFolder = scratchFolder + u"\\db" + guid;
  copyPath = copyFolder + u"\\" + fileName(windowsPath);
  // Under SQLite's own read lock no writer changes the files; the states
  // before and after show whether anything did all the same.
  platform::DatabaseReadLock lock(windowsPath);
  if (!lock.held())
    return false;
  const auto before = databaseFileStates(windowsPath);
  if (!before[0].exists || platform::shCreateDirectoryEx(copyFolder) != platform::kErrorSuccess ||
      !platform::copyFile(windowsPath, copyPath))
    return false;
  for (std::size_t i = 0; i < kCopiedSideFiles.size(); ++i) {
    const std::u16string suffix(kCopiedSideFiles[i]);
    if (before[i + 1].exists && !platform::copyFile(windowsPath + suffix, copyPath + suffix))
      return false;
  }
  return databaseFileStates(windowsPath) == before;
}

void InstallerDatabase::removePrivateCopy() {
  if (copyFolder.empty())
    return;
  // SQLite may have removed the journal or log after recovery; whatever is
  // left of the copy goes now.
  for (std::u16string_view suffix : kSideFiles) {
    if (platform::pathFileExists(copyPath + std::u16string(suffix)))
      platform::deleteFile(copyPath + std::u16string(suffix));
  }
  if (platform::pathFileExists(copyPath))
    platform::deleteFile(copyPath);
  platform::removeDirectory(copyFolder);
  copyFolder.clear();
  copyPath.clear();
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
  removePrivateCopy();
  return true;
}

// SQLite's read lock on Windows: byte-range locks with LockFileEx on the
// bytes SQLite's Windows locking uses.
#include "platform/DatabaseReadLock.h"

#include "platform/windows/FilePath.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {
namespace {

using namespace database_lock;

bool lockRange(HANDLE file, DWORD flags, DWORD start, DWORD length) {
  OVERLAPPED at{};
  at.Offset = start;
  return LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, length, 0, &at) != 0;
}

void unlockRange(HANDLE file, DWORD start, DWORD length) {
  OVERLAPPED at{};
  at.Offset = start;
  UnlockFileEx(file, 0, length, 0, &at);
}

// A regular file on a disk opened for reading, shared every way.
HANDLE openShared(const std::u16string& path) {
  HANDLE file = CreateFileW(win::filePath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

struct Handle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle); // the file's locks go with it
  }
};

} // namespace

struct DatabaseReadLock::State {
  Handle database;
  Handle sharedMemory;
};

DatabaseReadLock::DatabaseReadLock(const std::u16string& databasePath) {
  auto taken = std::make_unique<State>();
  taken->database.handle = openShared(databasePath);
  HANDLE database = taken->database.handle;
  if (database == INVALID_HANDLE_VALUE ||
      !lockRange(database, LOCKFILE_EXCLUSIVE_LOCK, kPendingByte, 1))
    return;
  const bool shared = lockRange(database, 0, kSharedFirst, kSharedSize);
  unlockRange(database, kPendingByte, 1);
  if (!shared)
    return;
  taken->sharedMemory.handle = openShared(databasePath + u"-shm");
  HANDLE sharedMemory = taken->sharedMemory.handle;
  if (sharedMemory != INVALID_HANDLE_VALUE &&
      (!lockRange(sharedMemory, 0, kShmCheckpointByte, 1) ||
       !lockRange(sharedMemory, 0, kShmFirstReaderSlot + 1, kShmReaderSlots - 1)))
    return;
  state = std::move(taken);
}

DatabaseReadLock::~DatabaseReadLock() = default;

} // namespace platform

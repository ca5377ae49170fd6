// SQLite's read lock on Linux: advisory record locks on the bytes SQLite's
// Unix locking uses, taken as open-file-description locks so that closing
// them never drops a lock another part of this process holds on the file.
#include "platform/DatabaseReadLock.h"

#include "platform/WindowsNamespace.h"
#include "platform/posix/RegularFile.h"

#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace platform {
namespace {

using namespace database_lock;

bool lockRange(int descriptor, short type, off_t start, off_t length) {
  struct flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return fcntl(descriptor, F_OFD_SETLK, &lock) == 0;
}

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0)
      ::close(fd); // the file's locks go with it
  }
};

} // namespace

struct DatabaseReadLock::State {
  Descriptor database;
  Descriptor sharedMemory;
};

DatabaseReadLock::DatabaseReadLock(const std::u16string& databasePath) {
  std::optional<std::string> host = toHostPath(databasePath);
  if (!host)
    return;
  auto taken = std::make_unique<State>();
  taken->database.fd = posix::openRegularFile(*host);
  const int database = taken->database.fd;
  if (database < 0 || !lockRange(database, F_RDLCK, kPendingByte, 1))
    return;
  const bool shared = lockRange(database, F_RDLCK, kSharedFirst, kSharedSize);
  lockRange(database, F_UNLCK, kPendingByte, 1);
  if (!shared)
    return;
  // Readers of a write-ahead log lock its shared-memory file; without one,
  // no connection has the log open. The checkpoint byte keeps the log out of
  // the database file, the reader slots keep a writer from starting the log
  // over.
  taken->sharedMemory.fd = posix::openRegularFile(*host + "-shm");
  const int sharedMemory = taken->sharedMemory.fd;
  if (sharedMemory >= 0 &&
      (!lockRange(sharedMemory, F_RDLCK, kShmCheckpointByte, 1) ||
       !lockRange(sharedMemory, F_RDLCK, kShmFirstReaderSlot + 1, kShmReaderSlots - 1)))
    return;
  state = std::move(taken);
}

DatabaseReadLock::~DatabaseReadLock() = default;

} // namespace platform

// A read lock on an SQLite database file, taken where SQLite's own file
// locking takes it, so that other programs' connections respect it: while
// it is held no writer can commit into the database file, no connection can
// roll back a journal left by an interrupted write, and no write-ahead log
// can be checked into the database or started over. Copying the database
// and its journal or log under it gives a copy of one moment.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Where SQLite's file locking takes its locks, the same on every host.
namespace database_lock {
// The database file's bytes: a reader holds the pending byte (which a writer
// holds while it waits to write) for a moment, takes the shared range, then
// lets the pending byte go.
inline constexpr std::uint32_t kPendingByte = 0x40000000;
inline constexpr std::uint32_t kSharedFirst = kPendingByte + 2;
inline constexpr std::uint32_t kSharedSize = 510;
// The shared-memory file's bytes from offset 120: the writer's, the
// checkpointer's, the recovery's, then five reader slots.
inline constexpr std::uint32_t kShmCheckpointByte = 120 + 1;
inline constexpr std::uint32_t kShmFirstReaderSlot = 120 + 3;
inline constexpr std::uint32_t kShmReaderSlots = 5;
} // namespace database_lock

class DatabaseReadLock {
public:
  // Takes the lock on the database at a Windows path without waiting: a
  // shared lock on the database's shared range, taken through its pending
  // byte as SQLite takes it; and, where the database has a write-ahead
  // log's shared-memory file beside it, shared locks on that file's
  // checkpoint and reader slots. Not held when the database is no regular
  // file or a writer holds what the lock needs.
  explicit DatabaseReadLock(const std::u16string& databasePath);
  ~DatabaseReadLock(); // releases the lock
  DatabaseReadLock(const DatabaseReadLock&) = delete;
  DatabaseReadLock& operator=(const DatabaseReadLock&) = delete;

  bool held() const { return state != nullptr; }

private:
  struct State;
  std::unique_ptr<State> state; // the open files that carry the lock
};

} // namespace platform

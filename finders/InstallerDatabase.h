// One of the vendor installer's SQLite databases, opened read-only where it
// lies (or, when it needs recovery, as a private copy in the scratch folder)
// and closed again with retries while SQLite reports it busy.
#pragma once

#include <chrono>
#include <memory>
#include <string>

struct sqlite3;

class InstallerDatabase {
public:
  // How long SQLite itself waits on a lock held by another connection.
  static constexpr int kBusyTimeoutMilliseconds = 1000;
  // close: calls of sqlite3_close in all while it answers busy, and the pause
  // between two calls.
  static constexpr int kCloseAttempts = 6;
  static constexpr std::chrono::milliseconds kClosePause{500};
  // Copying a database that needs recovery: copies made in all before
  // giving up, and the pause between two.
  static constexpr int kCopyAttempts = 5;
  static constexpr std::chrono::milliseconds kCopyPause{50};

  InstallerDatabase() = default;
  // Closes the connection (with its retries); a connection that still cannot
  // be closed is handed to SQLite to release once it is free.
  ~InstallerDatabase();
  InstallerDatabase(const InstallerDatabase&) = delete;
  InstallerDatabase& operator=(const InstallerDatabase&) = delete;

  // Opens the database at a Windows path given in UTF-8, read-only: a file
  // that does not exist is a failure and is never created. False for a null
  // or empty path, a path outside the mapped drives, or any open error (a
  // handle SQLite made anyway is kept for close to release). On success the
  // busy timeout is set. An open database is closed first.
  bool open(const char* utf8Path);

  // As open, but a database that SQLite could not read in place without
  // writing next to it (a hot rollback journal, left by an interrupted
  // write: not empty, its header not zeroed; a write-ahead log; a database
  // in WAL mode) is copied with its journal and log into a new folder under
  // scratchFolder, and the copy is opened for reading and writing, so SQLite
  // recovers the copy and the vendor's files stay untouched. The copy is of
  // one moment: it is made under SQLite's own read lock on the database,
  // and made again (kCopyAttempts in all, kCopyPause apart) when the files'
  // size, times or identity changed meanwhile. A persistent journal between
  // writes is no reason to copy. The copy goes again on every path out:
  // close, the destructor, a failed copy. Without a scratch folder, or when
  // no copy of one moment can be made (a writer busy all the while), the
  // database is opened in place as open does.
  bool open(const char* utf8Path, const std::u16string& scratchFolder);

  // True when nothing is open. Otherwise retries sqlite3_close while it
  // answers busy (kCloseAttempts calls, kClosePause between them); false,
  // connection kept, when it still does not succeed.
  bool close();

  sqlite3* handle() const { return db.get(); } // null when closed
  const std::string& path() const { return utf8Path; }

private:
  struct Release {
    void operator()(sqlite3* connection) const;
  };

  bool openHost(const std::u16string& windowsPath, int flags);
  bool openPrivateCopy(const std::u16string& windowsPath, const std::u16string& scratchFolder);
  // One copy into a new folder; false when it could not be made or is not
  // of one moment (what was made stays for removePrivateCopy).
  bool copyOneMoment(const std::u16string& windowsPath, const std::u16string& scratchFolder);
  void removePrivateCopy();

  std::unique_ptr<sqlite3, Release> db; // the connection, null when closed
  std::string utf8Path;                 // the Windows path given to open
  std::u16string copyFolder; // the folder of the private copy, empty when none
  std::u16string copyPath;   // the private copy of the database itself
};

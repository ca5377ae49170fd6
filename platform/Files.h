// File operations of the platform, on Windows paths: the stand-ins for
// PathFileExistsW, PathIsDirectoryW, FindFirstFileW/FindNextFileW/FindClose,
// GetFinalPathNameByHandleW,
// CreateFileW with CREATE_ALWAYS and WriteFile, CreateFileW with
// OPEN_EXISTING and ReadFile, CopyFileW, DeleteFileW,
// RemoveDirectoryW, SHCreateDirectoryExW, GetTempPathW and
// GetModuleFileNameW. The Windows read-only attribute is a file without its
// owner's write permission.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// Windows error codes the callers tell apart.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorDirNotEmpty = 145;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorDirectory = 267;

bool pathFileExists(const std::u16string& path);
bool pathIsDirectory(const std::u16string& path);

// Identity of a file on its volume (device and inode here), for cycle tests.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
  // Whether the identity says anything: some file systems and network
  // redirectors give every file the index 0, and an identity that could not
  // be read stays all zero.
  bool known() const { return index != 0; }
};

// The identity of what path leads to (GetFileInformationByHandle's volume
// serial number and file index); false when nothing is there.
bool getFileIdentity(const std::u16string& path, FileIdentity& identity);

// The path that path leads to with every link on the way followed, in the
// form GetFinalPathNameByHandleW gives it (without its "\\?\" lead), so
// that two paths to one file or folder give the same text; false when path
// leads nowhere.
bool getFinalPath(const std::u16string& path, std::u16string& finalPath);

// What the file system tells of a file's contents without reading them:
// which file it is, its size, and the times of its last write and last
// change (in units the host chooses). A file whose state is the same before
// and after it was read was not written in between, as far as the times'
// resolution lets that be seen.
struct FileState {
  bool exists = false;
  bool regular = false; // a regular file: no folder, named pipe or device
  FileIdentity identity;
  std::uint64_t size = 0;
  std::int64_t writeTime = 0;
  std::int64_t changeTime = 0;
  friend bool operator==(const FileState&, const FileState&) = default;
};

// The state of what path leads to; exists false when nothing is there.
FileState getFileState(const std::u16string& path);

// One entry of a directory enumeration.
struct FindData {
  std::u16string name;     // the host's name as it is
  bool isDirectory = false; // FILE_ATTRIBUTE_DIRECTORY (also a link to a folder)
  bool isLink = false;      // FILE_ATTRIBUTE_REPARSE_POINT: a symbolic link
  bool isSpecial = false;   // neither a folder nor a regular file: a named pipe, a
                            // socket or a device (never so on Windows)
  FileIdentity identity;    // of what the entry leads to
};

// A directory enumeration on a pattern "<folder>\*". Entries come in the
// order of their names folded to upper case, as an NTFS volume lists them,
// so that every machine lists a folder the same way. Closed by its
// destructor if not before.
class FileEnumeration {
public:
  FileEnumeration() = default;
  ~FileEnumeration();
  FileEnumeration(const FileEnumeration&) = delete;
  FileEnumeration& operator=(const FileEnumeration&) = delete;

  // Starts the enumeration and reads the first entry; false when the folder
  // cannot be enumerated (lastError tells why).
  bool findFirst(const std::u16string& pattern, FindData& data);
  // Reads the next entry; false at the end (lastError kErrorNoMoreFiles) or
  // on an error (another code).
  bool findNext(FindData& data);
  void close();
  std::uint32_t lastError() const { return error; }

private:
  // The folder of a pattern "<folder>\*", with its separator; false (and
  // the error set) for any other pattern.
  bool patternFolder(const std::u16string& pattern, std::u16string& folder);
  void sortEntries(); // the order findNext hands the entries out in

  std::vector<FindData> entries; // read whole by findFirst, sorted
  std::size_t next = 0;          // index of the entry findNext returns
  std::uint32_t endError = kErrorNoMoreFiles; // reported after the last entry
  std::uint32_t error = kErrorSuccess;
};

// A file opened for writing with CREATE_ALWAYS and FILE_SHARE_READ. A
// symbolic link in the file's place is not followed: the open fails.
class WriteHandle {
public:
  // Creates or truncates the file; invalid when that fails (a read-only
  // file, a missing folder, an unmapped drive).
  explicit WriteHandle(const std::u16string& path);
  ~WriteHandle();
  WriteHandle(const WriteHandle&) = delete;
  WriteHandle& operator=(const WriteHandle&) = delete;

  bool valid() const { return descriptor >= 0; }
  // Writes all bytes; false when the write fails.
  bool write(std::span<const std::uint8_t> bytes);

private:
  int descriptor = -1;
};

// Appends bytes to the end of a log file, creating it (for the user alone)
// when missing. A symbolic link or anything but a regular file in its place
// is neither followed nor written: false. False also when a write fails.
bool appendToFile(const std::u16string& path, std::span<const std::uint8_t> bytes);

// Reads the first count bytes of a regular file (fewer when it is shorter)
// into bytes. False, bytes empty, when there is no regular file to read:
// nothing else (a named pipe, a device) is ever opened for reading.
bool readFileStart(const std::u16string& path, std::size_t count, std::vector<std::uint8_t>& bytes);

// Whether a copy may replace a file that is there already.
enum class CopyTarget {
  MustBeNew, // CopyFileW with bFailIfExists
  Replace,   // CopyFileW without it: an existing file is overwritten
};

// Copies a regular file to to (the source is read while other programs may
// hold it open for writing). False when from is no regular file, to exists
// already and must be new, to cannot be written (a folder, a read-only
// file), or a read or write fails; a partly written copy is removed again.
bool copyFile(const std::u16string& from, const std::u16string& to,
              CopyTarget target = CopyTarget::MustBeNew);

// Deletes a file (or a symbolic link, never what it points to). Fails on a
// directory and on a read-only file.
bool deleteFile(const std::u16string& path);

// Removes an empty directory, or a symbolic link to one (the link only).
bool removeDirectory(const std::u16string& path);

// Creates the folder and its missing parents. Returns kErrorSuccess,
// kErrorAlreadyExists when the folder exists, or another Windows error code.
std::uint32_t shCreateDirectoryEx(const std::u16string& path);

// The user's temporary folder as a Windows path ending with a backslash, a
// folder private to the user as Windows gives each user one: fennick-<uid>
// inside $TMPDIR, else /tmp, made with permissions for the user alone, as a
// Windows path through the namespace (/tmp/fennick-0/ is Z:\tmp\fennick-0\).
// Empty when it cannot be made, or when it exists as a link, with another
// owner or with permissions for others.
std::u16string getTempPath();

// The Windows path of the running executable; false when it cannot be read.
bool getModuleFileName(std::u16string& path);

} // namespace platform

// File operations with the Win32 file and shell calls. Folder listings are
// read whole and sorted by their upper-cased names, so that a folder lists
// the same way on every volume (NTFS does so itself; other file systems,
// network shares and Wine's do not).
#include "platform/Files.h"

#include "platform/windows/WideText.h"
#include "util/Text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

// Closes a handle from CreateFileW when it goes.
struct FileHandle {
  HANDLE handle;
  explicit FileHandle(HANDLE h) : handle(h) {}
  ~FileHandle() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
};

// The identity of what path leads to; links are followed.
bool identityOf(const std::u16string& path, FileIdentity& identity) {
  FileHandle file(CreateFileW(win::wide(path), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.handle == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.handle, &info))
    return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Opens path for reading when it is a regular file on a disk: a named pipe
// or a device is closed again at once (a pipe's read would wait for a
// writer).
HANDLE openRegularFile(const std::u16string& path) {
  HANDLE file = CreateFileW(win::wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return file;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// Reads up to size bytes; the count read, or -1 on an error.
long long readFully(HANDLE file, std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    const DWORD piece = DWORD(std::min<std::size_t>(size - done, 1u << 30));
    if (!ReadFile(file, buffer + done, piece, &got, nullptr))
      return -1;
    if (got == 0)
      break;
    done += got;
  }
  return (long long)done;
}

} // namespace

bool readFileStart(const std::u16string& path, std::size_t count, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  FileHandle file(openRegularFile(path));
  if (file.handle == INVALID_HANDLE_VALUE)
    return false;
  bytes.resize(count);
  long long got = readFully(file.handle, bytes.data(), count);
  if (got < 0) {
    bytes.clear();
    return false;
  }
  bytes.resize(std::size_t(got));
  return true;
}

bool copyFile(const std::u16string& from, const std::u16string& to) {
  {
    // CopyFileW would also copy from a pipe or a device; only regular files count.
    FileHandle source(openRegularFile(from));
    if (source.handle == INVALID_HANDLE_VALUE)
      return false;
  }
  if (CopyFileW(win::wide(from), win::wide(to), TRUE))
    return true;
  // A failure after the target was created leaves no partial copy behind;
  // a target that was there before is not ours to remove.
  if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
    DeleteFileW(win::wide(to));
  return false;
}

bool pathFileExists(const std::u16string& path) {
  return !path.empty() && PathFileExistsW(win::wide(path));
}

bool pathIsDirectory(const std::u16string& path) {
  return !path.empty() && PathIsDirectoryW(win::wide(path));
}

bool getFileIdentity(const std::u16string& path, FileIdentity& identity) {
  return !path.empty() && identityOf(path, identity);
}

bool getFinalPath(const std::u16string& path, std::u16string& finalPath) {
  if (path.empty())
    return false;
  FileHandle file(CreateFileW(win::wide(path), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.handle == INVALID_HANDLE_VALUE)
    return false;
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = GetFinalPathNameByHandleW(file.handle, buffer.data(), DWORD(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFinalPathNameByHandleW(file.handle, buffer.data(), DWORD(buffer.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= buffer.size())
    return false;
  std::u16string result = win::fromWide(buffer.data(), length);
  // "\\?\UNC\server\share" is the share's path; "\\?\C:\x" is C:\x.
  if (result.rfind(u"\\\\?\\UNC\\", 0) == 0)
    result.replace(0, 8, u"\\\\");
  else if (result.rfind(u"\\\\?\\", 0) == 0)
    result.erase(0, 4);
  finalPath = std::move(result);
  return true;
}

FileState getFileState(const std::u16string& path) {
  FileState state;
  if (path.empty())
    return state;
  FileHandle file(CreateFileW(win::wide(path), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  FILE_BASIC_INFO basic;
  if (file.handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.handle, &info) ||
      !GetFileInformationByHandleEx(file.handle, FileBasicInfo, &basic, sizeof basic))
    return state;
  state.exists = true;
  state.regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                  GetFileType(file.handle) == FILE_TYPE_DISK;
  state.identity.volume = info.dwVolumeSerialNumber;
  state.identity.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  state.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  state.writeTime = basic.LastWriteTime.QuadPart;
  state.changeTime = basic.ChangeTime.QuadPart;
  return state;
}

bool FileEnumeration::findFirst(const std::u16string& pattern, FindData& data) {
  close();
  std::u16string folder; // with its separator
  if (!patternFolder(pattern, folder))
    return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(win::wide(pattern), &found);
  if (search == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  endError = kErrorNoMoreFiles;
  do {
    FindData entry;
    entry.name = win::fromWide(found.cFileName);
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Only folders are walked into, so only they need the identity that
    // guards a walk against link cycles; opening every file would cost a
    // handle per file.
    if (entry.isDirectory && entry.name != u"." && entry.name != u"..")
      identityOf(folder + entry.name, entry.identity);
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  const DWORD last = GetLastError();
  if (last != ERROR_NO_MORE_FILES)
    endError = last; // what was read so far still counts
  FindClose(search);
  sortEntries();
  error = kErrorSuccess;
  return findNext(data);
}

WriteHandle::WriteHandle(const std::u16string& path) {
  HANDLE file = CreateFileW(win::wide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  // The C runtime's descriptor owns the handle from here on.
  descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (descriptor < 0)
    CloseHandle(file);
}

WriteHandle::~WriteHandle() {
  if (descriptor >= 0)
    _close(descriptor);
}

bool WriteHandle::write(std::span<const std::uint8_t> bytes) {
  if (descriptor < 0)
    return false;
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  while (!bytes.empty()) {
    const DWORD piece = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0)
      return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

bool appendToFile(const std::u16string& path, std::span<const std::uint8_t> bytes) {
  // The reparse point itself is opened, never what it leads to, and refused.
  HANDLE file = CreateFileW(win::wide(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION information{};
  bool ok = GetFileInformationByHandle(file, &information) &&
            (information.dwFileAttributes &
             (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
            GetFileType(file) == FILE_TYPE_DISK;
  while (ok && !bytes.empty()) {
    const DWORD piece = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    ok = WriteFile(file, bytes.data(), piece, &written, nullptr) && written != 0;
    if (ok)
      bytes = bytes.subspan(written);
  }
  CloseHandle(file);
  return ok;
}

bool deleteFile(const std::u16string& path) { return DeleteFileW(win::wide(path)) != 0; }

bool removeDirectory(const std::u16string& path) {
  return RemoveDirectoryW(win::wide(path)) != 0;
}

std::uint32_t shCreateDirectoryEx(const std::u16string& path) {
  // The call wants a full path; a relative one would be taken from the
  // current folder, which is nothing the system names.
  std::vector<wchar_t> full(MAX_PATH * 4);
  DWORD length = GetFullPathNameW(win::wide(path), DWORD(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size())
    return ERROR_BAD_PATHNAME;
  return std::uint32_t(SHCreateDirectoryExW(nullptr, full.data(), nullptr));
}

std::u16string getTempPath() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH)
    return std::u16string();
  return win::fromWide(buffer, length);
}

bool getModuleFileName(std::u16string& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0)
      return false;
    if (length < buffer.size()) {
      path = win::fromWide(buffer.data(), length);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

} // namespace platform

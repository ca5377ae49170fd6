// File operations with the Win32 file and shell calls. Folder listings are
// read whole and sorted by their upper-cased names, so that a folder lists
// the same way on every volume (NTFS does so itself; other file systems,
// network shares and Wine's do not). Every path reaches the system through
// win::filePath (Sysnative under WoW64, the extended-length form when long),
// and every file opened for reading shares read, write and delete access,
// so that a file another program holds open for writing (a log, a database
// of a running installer, an archive being updated) is still read.
#include "platform/Files.h"

#include "platform/PathForms.h"
#include "platform/windows/FilePath.h"
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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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
  FileHandle file(CreateFileW(win::filePath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
  HANDLE file = CreateFileW(win::filePath(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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

bool copyFile(const std::u16string& from, const std::u16string& to, CopyTarget target) {
  // Read here rather than by CopyFileW, whose own open of the source may not
  // share write access with a program that holds the file open; and only
  // regular files count (CopyFileW would also copy from a pipe or a device).
  FileHandle source(openRegularFile(from));
  if (source.handle == INVALID_HANDLE_VALUE)
    return false;
  const std::wstring targetPath = win::filePath(to);
  FileHandle copy(CreateFileW(targetPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              target == CopyTarget::Replace ? CREATE_ALWAYS : CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (copy.handle == INVALID_HANDLE_VALUE)
    return false; // a target that was there before is not ours to remove
  std::vector<std::uint8_t> buffer(1 << 16);
  bool ok = true;
  while (ok) {
    const long long got = readFully(source.handle, buffer.data(), buffer.size());
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    DWORD written = 0;
    ok = WriteFile(copy.handle, buffer.data(), DWORD(got), &written, nullptr) &&
         written == DWORD(got);
  }
  if (!ok) {
    CloseHandle(copy.handle);
    copy.handle = INVALID_HANDLE_VALUE;
    DeleteFileW(targetPath.c_str()); // no partial copy is left behind
  }
  return ok;
}

// The shell's path tests take at most MAX_PATH units; longer paths are
// asked of the file system directly, which is what those tests do.
bool pathFileExists(const std::u16string& path) {
  if (path.empty())
    return false;
  const std::wstring asked = win::filePath(path);
  if (asked.size() < MAX_PATH)
    return PathFileExistsW(asked.c_str());
  return GetFileAttributesW(asked.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool pathIsDirectory(const std::u16string& path) {
  if (path.empty())
    return false;
  const std::wstring asked = win::filePath(path);
  if (asked.size() < MAX_PATH)
    return PathIsDirectoryW(asked.c_str());
  const DWORD attributes = GetFileAttributesW(asked.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
  FileHandle file(CreateFileW(win::filePath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
  HANDLE search = FindFirstFileW(win::filePath(pattern).c_str(), &found);
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
  HANDLE file = CreateFileW(win::filePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
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
  HANDLE file = CreateFileW(win::filePath(path).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
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

bool deleteFile(const std::u16string& path) {
  return DeleteFileW(win::filePath(path).c_str()) != 0;
}

bool removeDirectory(const std::u16string& path) {
  return RemoveDirectoryW(win::filePath(path).c_str()) != 0;
}

namespace {

// The length of the root of a full path that no folder is created for:
// "X:\" or "\\server\share\"; 0 for anything else.
std::size_t rootLength(const std::u16string& full) {
  if (full.size() >= 3 && full[1] == u':' && full[2] == u'\\')
    return 3;
  if (full.rfind(u"\\\\", 0) != 0)
    return 0;
  const std::size_t server = full.find(u'\\', 2);
  const std::size_t share = server == std::u16string::npos ? server : full.find(u'\\', server + 1);
  return share == std::u16string::npos ? 0 : share + 1;
}

// SHCreateDirectoryExW for a path beyond its 248 units: every missing
// folder made in turn with CreateDirectoryW on the extended-length form.
std::uint32_t createLongDirectory(const std::u16string& full) {
  const std::size_t root = rootLength(full);
  if (root == 0)
    return ERROR_BAD_PATHNAME;
  DWORD error = ERROR_SUCCESS;
  for (std::size_t end = full.find(u'\\', root);; end = full.find(u'\\', end + 1)) {
    const std::u16string folder = full.substr(0, end);
    if (!folder.empty() && folder.back() != u'\\') {
      const std::wstring asked = win::filePath(folder);
      error = CreateDirectoryW(asked.c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
    }
    if (end == std::u16string::npos)
      break;
  }
  return error;
}

} // namespace

std::uint32_t shCreateDirectoryEx(const std::u16string& path) {
  // The call wants a full path; a relative one would be taken from the
  // current folder, which is nothing the system names.
  std::u16string full;
  if (!win::fullPathName(path, full))
    return ERROR_BAD_PATHNAME;
  while (full.size() > rootLength(full) && full.back() == u'\\')
    full.pop_back();
  if (full.size() >= kLongPathLength)
    return createLongDirectory(full);
  const std::wstring asked = win::filePath(full);
  if (asked.size() >= kLongPathLength) // the Sysnative form of a path can be longer
    return createLongDirectory(full);
  return std::uint32_t(SHCreateDirectoryExW(nullptr, asked.c_str(), nullptr));
}

std::u16string getTempPath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = GetTempPathW(DWORD(buffer.size()), buffer.data());
  if (length >= buffer.size()) { // the size it needs, terminator included
    buffer.resize(length + 1);
    length = GetTempPathW(DWORD(buffer.size()), buffer.data());
  }
  if (length == 0 || length >= buffer.size())
    return std::u16string();
  return win::fromWide(buffer.data(), length);
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

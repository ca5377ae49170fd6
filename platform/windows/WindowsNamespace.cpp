// On Windows the machine's own paths are the Windows paths: there is no
// prefix to map through. What remains is handing paths to the libraries that
// open files themselves with narrow names (SQLite and the file streams of
// the command-line tools take UTF-8, in the form the system's file calls
// need: win::filePath), taking narrow paths from them back, and making the
// paths given on a command line absolute.
#include "platform/WindowsNamespace.h"

#include "platform/windows/FilePath.h"
#include "platform/windows/WideText.h"
#include "util/WindowsPath.h"

#include <windows.h>

#include <vector>

namespace platform {
namespace {

bool isAscii(const std::u16string& text) {
  for (char16_t unit : text)
    if (unit >= 0x80)
      return false;
  return true;
}

} // namespace

// The machine is the one the program runs on; a prefix names nothing here.
void setPrefix(const std::string&) {}

std::string prefix() { return std::string(); }

bool machineIsPrefix() { return false; }

bool isPrefixFolder(const std::string&) { return false; }

std::optional<std::string> toHostPath(const std::u16string& path) {
  const std::wstring asked = win::filePath(path);
  const std::u16string windowsPath = win::fromWide(asked.c_str(), asked.size());
  std::string narrow;
  if (isAscii(windowsPath)) {
    narrow.assign(windowsPath.begin(), windowsPath.end());
    return narrow;
  }
  // A name outside ASCII reads the same in UTF-8 and in the ANSI code page
  // only through its short (8.3) form, when the volume keeps one.
  DWORD length = GetShortPathNameW(win::wide(windowsPath), nullptr, 0);
  if (length > 0) {
    std::vector<wchar_t> buffer(length);
    DWORD written = GetShortPathNameW(win::wide(windowsPath), buffer.data(), length);
    if (written > 0 && written < length) {
      std::u16string shortPath = win::fromWide(buffer.data(), written);
      if (isAscii(shortPath)) {
        narrow.assign(shortPath.begin(), shortPath.end());
        return narrow;
      }
    }
  }
  if (!win::wideToNarrow(windowsPath, CP_UTF8, narrow))
    return std::nullopt;
  return narrow;
}

// SQLite's default layer cuts a full path at MAX_PATH units; this one takes
// the extended-length paths that toHostPath gives for long paths.
const char* sqliteFileSystem() { return "win32-longpath"; }

std::u16string toWindowsPath(const std::string& hostPath) {
  std::u16string path;
  if (!win::narrowToWide(hostPath, CP_UTF8, path))
    win::narrowToWide(hostPath, CP_ACP, path);
  for (char16_t& unit : path)
    if (unit == u'/')
      unit = u'\\';
  return path;
}

std::u16string absoluteWindowsPath(const std::string& path) {
  std::u16string given;
  if (!win::narrowToWide(path, CP_UTF8, given))
    win::narrowToWide(path, CP_ACP, given);
  if (given.empty())
    return given;
  // The system's own rules: "\\server\share\..." and "\\?\..." keep their
  // leading separators, "." and ".." are resolved, "/" becomes "\".
  std::u16string full;
  return win::fullPathName(given, full) ? full : given;
}

std::optional<std::string> driveRoot(char16_t letter) {
  if (!((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z')))
    return std::nullopt;
  const wchar_t root[] = {wchar_t(letter), L':', L'\\', L'\0'};
  if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR)
    return std::nullopt;
  return std::string{char(letter), ':', '\\'};
}

bool isWalkableFolder(const std::u16string& folder) {
  // What the path leads to, links and junctions followed, as the system
  // spells it: "\\?\C:\Apps" or "\\?\UNC\server\share\Apps".
  HANDLE handle = CreateFileW(win::filePath(folder).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION information{};
  std::vector<wchar_t> buffer(32768);
  const bool isFolder = GetFileInformationByHandle(handle, &information) &&
                        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), DWORD(buffer.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (!isFolder || length == 0 || length >= buffer.size())
    return false;
  std::u16string resolved = win::fromWide(buffer.data(), length);
  if (resolved.rfind(u"\\\\?\\", 0) == 0)
    resolved.erase(0, 4);
  if (resolved.rfind(u"UNC\\", 0) == 0) // a share's root is the root of its drive
    return normalizedComponents(std::u16string_view(resolved).substr(4)).size() > 2;
  return namesFolderBelowDriveRoot(resolved);
}

} // namespace platform

// Windows paths as the system's file calls take them.
#include "platform/windows/FilePath.h"

#include "platform/PathForms.h"
#include "platform/windows/WideText.h"

#include <windows.h>

#include <vector>

namespace platform::win {
namespace {

// The Windows folder of the system (not a terminal-server user's own).
const std::u16string& systemWindowsFolder() {
  static const std::u16string folder = [] {
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? std::u16string() : fromWide(buffer, length);
  }();
  return folder;
}

// GetFullPathNameW of path, or path itself when the call fails.
std::u16string fullPathName(const std::u16string& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFullPathNameW(wide(path), DWORD(buffer.size()), buffer.data(), nullptr);
    if (length == 0)
      break;
    if (length < buffer.size())
      return fromWide(buffer.data(), length);
    buffer.resize(length); // the size it needs, terminator included
  }
  return path;
}

} // namespace

bool fileSystemRedirected() {
  static const bool redirected = [] {
    if (sizeof(void*) != 4)
      return false;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
  }();
  return redirected;
}

std::wstring filePath(const std::u16string& path) {
  const bool redirected = fileSystemRedirected();
  if (path.empty() || (!redirected && path.size() < kLongPathLength))
    return std::wstring(wide(path));
  std::u16string full = fullPathName(path);
  if (redirected)
    full = throughSysnative(full, systemWindowsFolder());
  if (full.size() >= kLongPathLength)
    full = extendedLengthPath(full);
  return std::wstring(wide(full));
}

} // namespace platform::win

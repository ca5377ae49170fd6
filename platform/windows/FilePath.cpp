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

} // namespace

bool fullPathName(const std::u16string& path, std::u16string& full) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFullPathNameW(wide(path), DWORD(buffer.size()), buffer.data(), nullptr);
    if (length == 0)
      return false;
    if (length < buffer.size()) {
      full = fromWide(buffer.data(), length);
      return true;
    }
    buffer.resize(length); // the size it needs, terminator included
  }
  return false;
}

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
  std::u16string full = path;
  fullPathName(path, full); // a path the call refuses goes on as it is
  if (redirected)
    full = throughSysnative(full, systemWindowsFolder());
  if (full.size() >= kLongPathLength)
    full = extendedLengthPath(full);
  return std::wstring(wide(full));
}

} // namespace platform::win

// Shell special folders and the 32/64-bit question from the system itself:
// SHGetSpecialFolderPathW and IsWow64Process. The system gives a 32-bit
// process on a 64-bit Windows the "(x86)" program folders and SysWOW64, and
// the 64-bit helper the native ones.
#include "platform/SpecialFolders.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <shlobj.h>

namespace platform {
namespace {

bool isServed(int csidl) {
  switch (csidl) {
  case CSIDL_PERSONAL:
  case CSIDL_FAVORITES:
  case CSIDL_FONTS:
  case CSIDL_TEMPLATES:
  case CSIDL_COMMON_PROGRAMS:
  case CSIDL_APPDATA:
  case CSIDL_LOCAL_APPDATA:
  case CSIDL_COMMON_APPDATA:
  case CSIDL_SYSTEM:
  case CSIDL_PROGRAM_FILES:
  case CSIDL_MYPICTURES:
  case CSIDL_PROFILE:
  case CSIDL_PROGRAM_FILES_COMMON:
  case CSIDL_COMMON_DOCUMENTS:
    return true;
  default:
    return false;
  }
}

} // namespace

// The process is what it was built as; the helper's declaration changes nothing.
void setProcessBitness(ProcessBitness) {}

bool isWow64Process() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool isPrefix64Bit() { return sizeof(void*) == 8 || isWow64Process(); }

bool shGetSpecialFolderPath(int csidl, std::u16string& path) {
  if (!isServed(csidl))
    return false;
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
    return false;
  std::u16string found = win::fromWide(buffer);
  if (found.empty() || found.size() > kMaxFolderPath)
    return false;
  path = found;
  return true;
}

} // namespace platform

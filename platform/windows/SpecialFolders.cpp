// Shell special folders and the 32/64-bit question from the system itself:
// SHGetSpecialFolderPathW and IsWow64Process. The programs play the 32-bit
// program on every build: a 32-bit process on 64-bit Windows gets the
// "(x86)" program folders and SysWOW64 from the system, and the 64-bit
// build asks for the same folders by their 32-bit identifiers, so that both
// find the products where the 32-bit program would and both run the
// folder-token helper for the 64-bit folders. The helper declares itself
// the 64-bit program and gets the native folders.
#include "platform/SpecialFolders.h"

#include "platform/windows/FilePath.h"
#include "platform/windows/WideText.h"

#include <windows.h>

#include <shlobj.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<ProcessBitness> played{ProcessBitness::Bits32};

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

// The identifier under which this process gets the folder the 32-bit
// program sees: in a 64-bit process playing that program, the 32-bit
// program files folders and system folder have identifiers of their own.
int asThe32BitProgramSeesIt(int csidl) {
  if (sizeof(void*) != 8 || played.load() != ProcessBitness::Bits32)
    return csidl;
  switch (csidl) {
  case CSIDL_PROGRAM_FILES:
    return CSIDL_PROGRAM_FILESX86;
  case CSIDL_PROGRAM_FILES_COMMON:
    return CSIDL_PROGRAM_FILES_COMMONX86;
  case CSIDL_SYSTEM:
    return CSIDL_SYSTEMX86;
  default:
    return csidl;
  }
}

} // namespace

void setProcessBitness(ProcessBitness bitness) { played.store(bitness); }

bool isPrefix64Bit() { return sizeof(void*) == 8 || win::fileSystemRedirected(); }

bool isWow64Process() {
  return played.load() == ProcessBitness::Bits32 && isPrefix64Bit();
}

bool shGetSpecialFolderPath(int csidl, std::u16string& path) {
  if (!isServed(csidl))
    return false;
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, asThe32BitProgramSeesIt(csidl), FALSE))
    return false;
  std::u16string found = win::fromWide(buffer);
  if (found.empty() || found.size() > kMaxFolderPath)
    return false;
  path = found;
  return true;
}

} // namespace platform

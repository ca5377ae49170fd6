// Wine detection: Wine's ntdll exports wine_get_version, Windows' does not.
#include "platform/WineHost.h"

#include <windows.h>

namespace platform {

bool runningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace platform

// Windows Installer's product information through MsiGetProductInfoW.
#include "platform/WindowsInstaller.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <msi.h>

namespace platform {

std::uint32_t msiGetProductInfo(const std::u16string& productCode, const std::u16string& property,
                                char16_t* buffer, std::uint32_t& length) {
  DWORD size = length;
  UINT result = MsiGetProductInfoW(win::wide(productCode), win::wide(property),
                                   reinterpret_cast<wchar_t*>(buffer), &size);
  length = size;
  return result;
}

} // namespace platform

// Windows Installer's product information through MsiGetProductInfoW, and a
// product's components through MsiEnumComponentsW, MsiEnumClientsW and
// MsiGetComponentPathW.
#include "platform/WindowsInstaller.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <msi.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr DWORD kGuidBuffer = 39; // a braced GUID and its terminator

bool sameCode(const wchar_t* a, const std::u16string& b) {
  return CompareStringOrdinal(a, -1, win::wide(b), -1, TRUE) == CSTR_EQUAL;
}

// The key path Windows Installer records for component of product; empty
// when it records none.
std::u16string componentPath(const wchar_t* product, const wchar_t* component) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD length = DWORD(buffer.size());
    INSTALLSTATE state = MsiGetComponentPathW(product, component, buffer.data(), &length);
    if (state == INSTALLSTATE_MOREDATA) {
      buffer.resize(length + 1);
      continue;
    }
    if (state == INSTALLSTATE_UNKNOWN || state == INSTALLSTATE_INVALIDARG ||
        state == INSTALLSTATE_NOTUSED)
      return std::u16string();
    return win::fromWide(buffer.data(), std::min<std::size_t>(length, buffer.size() - 1));
  }
  return std::u16string();
}

} // namespace

std::uint32_t msiGetProductInfo(const std::u16string& productCode, const std::u16string& property,
                                char16_t* buffer, std::uint32_t& length) {
  DWORD size = length;
  UINT result = MsiGetProductInfoW(win::wide(productCode), win::wide(property),
                                   reinterpret_cast<wchar_t*>(buffer), &size);
  length = size;
  return result;
}

std::uint32_t msiProductComponentPaths(const std::u16string& productCode,
                                       std::vector<std::u16string>& keyPaths) {
  INSTALLSTATE product = MsiQueryProductStateW(win::wide(productCode));
  if (product == INSTALLSTATE_INVALIDARG)
    return kErrorInvalidParameter;
  if (product == INSTALLSTATE_UNKNOWN)
    return kErrorUnknownProduct;
  std::vector<std::u16string> found;
  wchar_t component[kGuidBuffer];
  for (DWORD index = 0; MsiEnumComponentsW(index, component) == ERROR_SUCCESS; ++index) {
    wchar_t client[kGuidBuffer];
    for (DWORD user = 0; MsiEnumClientsW(component, user, client) == ERROR_SUCCESS; ++user) {
      if (!sameCode(client, productCode))
        continue;
      std::u16string keyPath = componentPath(client, component);
      if (!keyPath.empty())
        found.push_back(keyPath);
      break;
    }
  }
  keyPaths.insert(keyPaths.end(), found.begin(), found.end());
  return 0;
}

} // namespace platform

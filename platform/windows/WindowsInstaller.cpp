// Windows Installer's product information through MsiGetProductInfoW, a
// component's key path through MsiGetComponentPathW, and all of a product's
// components through MsiEnumComponentsW and MsiEnumClientsW.
#include "platform/WindowsInstaller.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <msi.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace platform {
namespace {

constexpr DWORD kGuidBuffer = 39; // a braced GUID and its terminator
// An enumeration whose indexes keep failing is given up after this many in
// a row, so that an installer that never reports the end cannot hold the
// scan; a single broken entry is skipped.
constexpr DWORD kMaxFailuresInARow = 1024;

std::atomic<std::uint64_t> componentCalls{0};

void countCall() { componentCalls.fetch_add(1, std::memory_order_relaxed); }

bool sameCode(const wchar_t* a, const std::u16string& b) {
  return CompareStringOrdinal(a, -1, win::wide(b), -1, TRUE) == CSTR_EQUAL;
}

// MsiGetComponentPathW with a buffer that grows to the key path.
INSTALLSTATE componentPath(const wchar_t* product, const wchar_t* component,
                           std::u16string& keyPath) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD length = DWORD(buffer.size());
    countCall();
    INSTALLSTATE state = MsiGetComponentPathW(product, component, buffer.data(), &length);
    if (state == INSTALLSTATE_MOREDATA) {
      buffer.assign(std::size_t(length) + 1, L'\0');
      continue;
    }
    bool recorded = state == INSTALLSTATE_LOCAL || state == INSTALLSTATE_SOURCE ||
                    state == INSTALLSTATE_ABSENT;
    if (recorded && length > 0)
      keyPath = win::fromWide(buffer.data(), std::min<std::size_t>(length, buffer.size() - 1));
    return state;
  }
  return INSTALLSTATE_UNKNOWN;
}

// Calls enumerate(index) from 0 on until it answers ERROR_NO_MORE_ITEMS
// (the end, or all that was wanted), skipping the indexes it fails on (a
// broken registration, for one).
template <typename Enumerate>
void enumerateIndexes(Enumerate enumerate) {
  DWORD failures = 0;
  for (DWORD index = 0; failures < kMaxFailuresInARow; ++index) {
    UINT result = enumerate(index);
    if (result == ERROR_NO_MORE_ITEMS)
      return;
    failures = result == ERROR_SUCCESS ? 0 : failures + 1;
  }
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

int msiGetComponentPath(const std::u16string& productCode, const std::u16string& componentCode,
                        std::u16string& keyPath) {
  return componentPath(win::wide(productCode), win::wide(componentCode), keyPath);
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
  enumerateIndexes([&](DWORD index) {
    countCall();
    UINT result = MsiEnumComponentsW(index, component);
    if (result != ERROR_SUCCESS)
      return result;
    // The product among the component's clients.
    bool client = false;
    enumerateIndexes([&](DWORD user) -> UINT {
      if (client)
        return ERROR_NO_MORE_ITEMS;
      wchar_t code[kGuidBuffer];
      countCall();
      UINT answer = MsiEnumClientsW(component, user, code);
      if (answer == ERROR_SUCCESS && sameCode(code, productCode))
        client = true;
      return answer;
    });
    std::u16string keyPath;
    if (client &&
        componentPath(win::wide(productCode), component, keyPath) == INSTALLSTATE_LOCAL &&
        !keyPath.empty())
      found.push_back(keyPath);
    return result;
  });
  keyPaths.insert(keyPaths.end(), found.begin(), found.end());
  return 0;
}

std::uint64_t msiComponentCallCount() { return componentCalls.load(std::memory_order_relaxed); }

} // namespace platform

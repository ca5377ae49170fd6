// The registry of the machine through RegOpenKeyExW and RegQueryValueExW.
// A 32-bit program sees the 32-bit view of HKEY_LOCAL_MACHINE\Software, as
// the system gives it. The registry files of a prefix do not exist here, so
// there is no hive to load.
#include "platform/Registry.h"

#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

std::shared_ptr<const RegistryHive> loadRegistryHive(RegistryRoot) { return nullptr; }

bool readRegistryValue(RegistryRoot root, std::u16string_view keyPath,
                       std::u16string_view valueName, RegistryValue& value) {
  HKEY rootKey = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const std::u16string path(keyPath);
  const std::u16string name(valueName);
  HKEY key = nullptr;
  if (RegOpenKeyExW(rootKey, win::wide(path), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key, win::wide(name), nullptr, &type, nullptr, &size);
  std::vector<std::uint8_t> data;
  // The value may grow between the two calls; ask again with its new size.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    data.resize(size);
    status = RegQueryValueExW(key, win::wide(name), nullptr, &type,
                              data.empty() ? nullptr : data.data(), &size);
    if (status == ERROR_SUCCESS) {
      data.resize(size);
      break;
    }
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS)
    return false;
  value.type = type;
  value.data = std::move(data);
  return true;
}

} // namespace platform

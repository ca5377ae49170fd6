// Installed-product information read from the prefix's registry, where
// Windows Installer keeps one key per product under HKLM:
// Software\Microsoft\Windows\CurrentVersion\Installer\UserData\<SID>\Products
// then <packed code>\InstallProperties, and one key per component under
// ...\UserData\<SID>\Components\<packed component code>, holding one value
// per product that uses it: named by the packed product code, its data the
// component's key path.
#include "platform/WindowsInstaller.h"

#include "platform/Registry.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr std::u16string_view kUserData =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
constexpr std::u16string_view kMachineSid = u"S-1-5-18"; // per-machine installs

// Property names and the InstallProperties values that hold them.
constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 9> kProperties = {{
    {u"InstallLocation", u"InstallLocation"},
    {u"InstalledProductName", u"DisplayName"},
    {u"VersionString", u"DisplayVersion"},
    {u"Publisher", u"Publisher"},
    {u"InstallDate", u"InstallDate"},
    {u"InstallSource", u"InstallSource"},
    {u"LocalPackage", u"LocalPackage"},
    {u"HelpLink", u"HelpLink"},
    {u"URLInfoAbout", u"URLInfoAbout"},
}};

bool isHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The UserData subkeys (one per installing account), per-machine first.
std::vector<std::u16string> installingAccounts(const RegistryHive& machine) {
  std::vector<std::u16string> sids = machine.subkeys(kUserData);
  std::stable_partition(sids.begin(), sids.end(),
                        [](const std::u16string& sid) { return sid == kMachineSid; });
  return sids;
}

// The InstallProperties key of the packed product code, or empty when no
// account has installed it.
std::u16string productPropertiesKey(const RegistryHive& machine, const std::u16string& packed) {
  for (const std::u16string& sid : installingAccounts(machine)) {
    std::u16string key = std::u16string(kUserData) + u"\\" + sid + u"\\Products\\" + packed +
                         u"\\InstallProperties";
    if (machine.hasKey(key))
      return key;
  }
  return {};
}

} // namespace

bool packProductCode(const std::u16string& productCode, std::u16string& packed) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  constexpr size_t kLength = 38;
  if (productCode.size() != kLength || productCode.front() != u'{' || productCode.back() != u'}')
    return false;
  for (size_t i = 1; i < kLength - 1; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? productCode[i] != u'-' : !isHex(productCode[i]))
      return false;
  }
  std::u16string result;
  auto reversed = [&](size_t start, size_t count) {
    for (size_t i = 0; i < count; ++i)
      result.push_back(productCode[start + count - 1 - i]);
  };
  auto swappedPairs = [&](size_t start, size_t count) {
    for (size_t i = 0; i < count; i += 2) {
      result.push_back(productCode[start + i + 1]);
      result.push_back(productCode[start + i]);
    }
  };
  reversed(1, 8);
  reversed(10, 4);
  reversed(15, 4);
  swappedPairs(20, 4);
  swappedPairs(25, 12);
  packed = result;
  return true;
}

std::uint32_t msiGetProductInfo(const std::u16string& productCode, const std::u16string& property,
                                char16_t* buffer, std::uint32_t& length) {
  std::u16string packed;
  if (!packProductCode(productCode, packed))
    return kErrorInvalidParameter;

  std::shared_ptr<const RegistryHive> machine = loadRegistryHive(RegistryRoot::LocalMachine);
  if (!machine)
    return kErrorUnknownProduct;
  // Per-machine installs first, then those of any user.
  std::u16string properties = productPropertiesKey(*machine, packed);
  if (properties.empty())
    return kErrorUnknownProduct;

  auto entry = std::find_if(kProperties.begin(), kProperties.end(),
                            [&](const auto& row) { return row.first == property; });
  if (entry == kProperties.end())
    return kErrorUnknownProperty;

  std::u16string value;
  if (const RegistryValue* stored = machine->find(properties, entry->second)) {
    if (!stored->text(value))
      value.clear();
  }

  std::uint32_t capacity = length;
  length = std::uint32_t(value.size());
  if (!buffer)
    return 0;
  if (value.size() >= capacity) {
    if (capacity > 0) {
      std::copy_n(value.begin(), capacity - 1, buffer);
      buffer[capacity - 1] = 0;
    }
    return kErrorMoreData;
  }
  std::copy(value.begin(), value.end(), buffer);
  buffer[value.size()] = 0;
  return 0;
}

std::uint32_t msiProductComponentPaths(const std::u16string& productCode,
                                       std::vector<std::u16string>& keyPaths) {
  std::u16string packed;
  if (!packProductCode(productCode, packed))
    return kErrorInvalidParameter;
  std::shared_ptr<const RegistryHive> machine = loadRegistryHive(RegistryRoot::LocalMachine);
  if (!machine || productPropertiesKey(*machine, packed).empty())
    return kErrorUnknownProduct;

  std::vector<std::u16string> found;
  for (const std::u16string& sid : installingAccounts(*machine)) {
    std::u16string components = std::u16string(kUserData) + u"\\" + sid + u"\\Components";
    for (const std::u16string& component : machine->subkeys(components)) {
      const RegistryValue* client = machine->find(components + u"\\" + component, packed);
      std::u16string keyPath;
      if (client && client->text(keyPath) && !keyPath.empty())
        found.push_back(keyPath);
    }
  }
  keyPaths.insert(keyPaths.end(), found.begin(), found.end());
  return 0;
}

} // namespace platform

// Installed-product information read from the prefix's registry, where
// Windows Installer keeps one key per product under HKLM:
// Software\Microsoft\Windows\CurrentVersion\Installer\UserData\<SID>\Products
// then <packed code>\InstallProperties, and one key per component under
// ...\UserData\<SID>\Components\<packed component code>, holding one value
// per product that uses it: named by the packed product code, its data the
// component's key path.
#include "platform/WindowsInstaller.h"

#include "platform/Files.h"
#include "platform/Registry.h"

#include <algorithm>
#include <array>
#include <atomic>
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

std::u16string propertiesKey(const std::u16string& sid, const std::u16string& packed) {
  return std::u16string(kUserData) + u"\\" + sid + u"\\Products\\" + packed +
         u"\\InstallProperties";
}

// The account that installed the packed product code, per-machine first, or
// empty when none has. The per-machine key is looked up directly: listing
// the accounts passes every component key of the machine.
std::u16string installingAccount(const RegistryHive& machine, const std::u16string& packed) {
  if (machine.hasKey(propertiesKey(std::u16string(kMachineSid), packed)))
    return std::u16string(kMachineSid);
  for (const std::u16string& sid : installingAccounts(machine)) {
    if (machine.hasKey(propertiesKey(sid, packed)))
      return sid;
  }
  return {};
}

// The InstallProperties key of the packed product code, or empty when no
// account has installed it.
std::u16string productPropertiesKey(const RegistryHive& machine, const std::u16string& packed) {
  std::u16string sid = installingAccount(machine, packed);
  return sid.empty() ? std::u16string() : propertiesKey(sid, packed);
}

std::u16string componentsKey(const std::u16string& sid) {
  return std::u16string(kUserData) + u"\\" + sid + u"\\Components";
}

std::atomic<std::uint64_t> componentCalls{0};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The state a recorded key path stands for. Empty: absent. A registry key
// path ("02:\...", "22:\..." for a 64-bit key) is local; the key itself is
// not looked up. A file or folder path ("C:\...") is local while that file
// or folder exists, absent when it is gone. Anything else (a source path)
// runs from the source.
int keyPathState(const std::u16string& keyPath) {
  if (keyPath.empty())
    return kInstallStateAbsent;
  if (keyPath.size() >= 3 && isDigit(keyPath[0]) && isDigit(keyPath[1]) && keyPath[2] == u':')
    return kInstallStateLocal;
  if (keyPath.size() >= 3 && isDriveLetter(keyPath[0]) && keyPath[1] == u':' &&
      keyPath[2] == u'\\') {
    bool present = keyPath.back() == u'\\' ? pathIsDirectory(keyPath)
                                            : pathFileExists(keyPath) && !pathIsDirectory(keyPath);
    return present ? kInstallStateLocal : kInstallStateAbsent;
  }
  return kInstallStateSource;
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

int msiGetComponentPath(const std::u16string& productCode, const std::u16string& componentCode,
                        std::u16string& keyPath) {
  componentCalls.fetch_add(1, std::memory_order_relaxed);
  std::u16string product;
  std::u16string component;
  if (!packProductCode(productCode, product) || !packProductCode(componentCode, component))
    return kInstallStateInvalidArgument;
  std::shared_ptr<const RegistryHive> machine = loadRegistryHive(RegistryRoot::LocalMachine);
  if (!machine)
    return kInstallStateUnknown;
  std::u16string sid = installingAccount(*machine, product);
  if (sid.empty())
    return kInstallStateUnknown;
  const RegistryValue* client = machine->find(componentsKey(sid) + u"\\" + component, product);
  std::u16string recorded;
  if (!client || !client->text(recorded))
    return kInstallStateUnknown;
  if (!recorded.empty())
    keyPath = recorded;
  return keyPathState(recorded);
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
    std::u16string components = componentsKey(sid);
    for (const std::u16string& component : machine->subkeys(components)) {
      componentCalls.fetch_add(1, std::memory_order_relaxed);
      const RegistryValue* client = machine->find(components + u"\\" + component, packed);
      std::u16string keyPath;
      if (client && client->text(keyPath) && keyPathState(keyPath) == kInstallStateLocal)
        found.push_back(keyPath);
    }
  }
  keyPaths.insert(keyPaths.end(), found.begin(), found.end());
  return 0;
}

std::uint64_t msiComponentCallCount() { return componentCalls.load(std::memory_order_relaxed); }

} // namespace platform

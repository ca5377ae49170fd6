// The registry of the machine: the prefix's registry files (system.reg holds
// HKEY_LOCAL_MACHINE, user.reg the current user's HKEY_CURRENT_USER) read in
// their text format. Only reading is served; nothing is ever written back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Value types (REG_*).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

struct RegistryValue {
  std::uint32_t type = kRegNone;
  // The bytes as the registry keeps them: strings as UTF-16LE with their
  // terminating zero unit, a DWORD as four little-endian bytes.
  std::vector<std::uint8_t> data;

  // The text of a string value (REG_SZ, REG_EXPAND_SZ, or the first string of
  // REG_MULTI_SZ), up to its first zero unit; false for other types.
  bool text(std::u16string& out) const;
};

// One registry file in the text format ("WINE REGISTRY Version 2"): keys in
// brackets, relative to the hive root, followed by their values. Key paths
// and value names are looked up without regard to ASCII letter case, as the
// registry does.
class RegistryHive {
public:
  // Reads the text of a registry file. False, leaving the hive empty, when the
  // text does not begin with the format's header. Lines that are neither keys
  // nor values (comments, key metadata) are skipped, and so is a value line
  // that cannot be read.
  bool parse(std::string_view text);

  // True when the file declares a 64-bit machine ("#arch=win64").
  bool is64Bit() const { return win64; }

  // The value named valueName (empty for the default value "@") of the key at
  // keyPath ("Software\Microsoft\..."), or null.
  const RegistryValue* find(std::u16string_view keyPath, std::u16string_view valueName) const;
  bool hasKey(std::u16string_view keyPath) const;
  // The names of the direct subkeys of keyPath, as written, in folded order.
  std::vector<std::u16string> subkeys(std::u16string_view keyPath) const;

private:
  struct Key {
    std::u16string name; // the full path as written
    std::map<std::u16string, RegistryValue> values; // folded name -> value
  };
  std::map<std::u16string, Key> keys; // folded path -> key
  bool win64 = false;
};

// The hives of the prefix.
enum class RegistryRoot {
  LocalMachine, // <prefix>/system.reg
  CurrentUser,  // <prefix>/user.reg
};

// The parsed registry file of root, or null when the prefix has none that
// reads. The parse is kept while the file stays unchanged.
std::shared_ptr<const RegistryHive> loadRegistryHive(RegistryRoot root);

// Reads one value of the prefix's registry; false when the file, the key or
// the value is missing.
bool readRegistryValue(RegistryRoot root, std::u16string_view keyPath,
                       std::u16string_view valueName, RegistryValue& value);

} // namespace platform

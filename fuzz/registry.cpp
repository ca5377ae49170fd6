// Fuzz target: a prefix's registry file, parsed and queried.
#include "platform/Registry.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::RegistryHive hive;
  if (!hive.parse(std::string_view(reinterpret_cast<const char*>(data), size)))
    return 0;
  for (std::u16string_view key :
       {u"Software\\Microsoft\\Windows\\CurrentVersion",
        u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}) {
    for (std::u16string_view name : {u"ProgramFilesDir", u"CommonFilesDir", u"", u"Local AppData"}) {
      if (const platform::RegistryValue* value = hive.find(key, name)) {
        std::u16string text;
        value->text(text);
      }
    }
    hive.subkeys(key);
  }
  return 0;
}

// The text of a registry value, the same on every host: the registry keeps
// strings as UTF-16LE bytes.
#include "platform/Registry.h"

namespace platform {

bool RegistryValue::text(std::u16string& out) const {
  if (type != kRegSz && type != kRegExpandSz && type != kRegMultiSz)
    return false;
  out.clear();
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
    if (unit == 0)
      break;
    out.push_back(unit);
  }
  return true;
}

} // namespace platform

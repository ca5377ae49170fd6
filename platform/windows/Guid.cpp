// GUIDs from COM: CoCreateGuid and StringFromGUID2.
#include "platform/Guid.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <objbase.h>

#include <cstring>

namespace platform {

bool coCreateGuid(Guid& guid) {
  GUID created;
  if (FAILED(CoCreateGuid(&created)))
    return false;
  guid.data1 = created.Data1;
  guid.data2 = created.Data2;
  guid.data3 = created.Data3;
  std::memcpy(guid.data4, created.Data4, sizeof guid.data4);
  return true;
}

bool stringFromGuid2(const Guid& guid, std::u16string& text, std::size_t capacity) {
  GUID value;
  value.Data1 = guid.data1;
  value.Data2 = guid.data2;
  value.Data3 = guid.data3;
  std::memcpy(value.Data4, guid.data4, sizeof value.Data4);
  wchar_t buffer[39];
  // The call fails on a buffer too small for the text and its terminator.
  const int size = int(capacity < 39 ? capacity : 39);
  if (size <= 0 || StringFromGUID2(value, buffer, size) == 0)
    return false;
  text = win::fromWide(buffer);
  return true;
}

} // namespace platform

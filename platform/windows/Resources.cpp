// Resources of the executable: FindResourceW, LoadResource, SizeofResource
// and LockResource. A type of digits is a numeric type (23 for HTML, 301,
// 302); any other is a named type ("CSS", "PNG", "ZDCT").
#include "platform/Resources.h"

#include <windows.h>

#include <string>

namespace platform {

std::span<const std::uint8_t> findResource(std::string_view type, std::uint32_t id) {
  if (type.empty() || id > 0xFFFF)
    return {};
  bool numeric = true;
  for (char c : type)
    numeric = numeric && c >= '0' && c <= '9';
  std::wstring name;
  LPCWSTR typeName = nullptr;
  if (numeric) {
    if (type.size() > 5 || std::stoul(std::string(type)) == 0 ||
        std::stoul(std::string(type)) > 0xFFFF)
      return {};
    typeName = MAKEINTRESOURCEW(std::stoul(std::string(type)));
  } else {
    for (char c : type) {
      // A named type is an upper-case identifier; nothing else was compiled in.
      if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
        return {};
      name.push_back(wchar_t(c));
    }
    typeName = name.c_str();
  }
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), typeName);
  if (!found)
    return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  DWORD size = SizeofResource(nullptr, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes)
    return {};
  return {static_cast<const std::uint8_t*>(bytes), size};
}

} // namespace platform

// The path forms of the system's file calls, on the text alone.
#include "platform/PathForms.h"

namespace platform {
namespace {

constexpr std::u16string_view kExtendedPrefix = u"\\\\?\\";
constexpr std::u16string_view kObjectPrefix = u"\\??\\";
constexpr std::u16string_view kDevicePrefix = u"\\\\.\\";
constexpr std::u16string_view kSystem32 = u"System32";
constexpr std::u16string_view kSysnative = u"Sysnative";

bool isSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

char16_t foldAscii(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? char16_t(unit - 0x20) : unit;
}

// Whether text begins with part, ASCII letters folded and the two
// separators taken as one.
bool startsWithFolded(std::u16string_view text, std::u16string_view part) {
  if (text.size() < part.size())
    return false;
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char16_t a = text[i], b = part[i];
    if (isSeparator(a) && isSeparator(b))
      continue;
    if (foldAscii(a) != foldAscii(b))
      return false;
  }
  return true;
}

bool isDriveLetter(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

} // namespace

std::u16string throughSysnative(std::u16string_view path, std::u16string_view windowsFolder) {
  while (!windowsFolder.empty() && isSeparator(windowsFolder.back()))
    windowsFolder.remove_suffix(1);
  if (windowsFolder.empty())
    return std::u16string(path);
  std::u16string_view prefix;
  std::u16string_view rest = path;
  if (rest.starts_with(kExtendedPrefix) || rest.starts_with(kObjectPrefix)) {
    prefix = rest.substr(0, kExtendedPrefix.size());
    rest.remove_prefix(kExtendedPrefix.size());
  }
  if (!startsWithFolded(rest, windowsFolder))
    return std::u16string(path);
  // One separator or more after the Windows folder, then System32 as the
  // whole next component.
  std::size_t at = windowsFolder.size();
  if (at >= rest.size() || !isSeparator(rest[at]))
    return std::u16string(path);
  while (at < rest.size() && isSeparator(rest[at]))
    ++at;
  const std::u16string_view component = rest.substr(at);
  if (!startsWithFolded(component, kSystem32) ||
      (component.size() > kSystem32.size() && !isSeparator(component[kSystem32.size()])))
    return std::u16string(path);
  std::u16string mapped(prefix);
  mapped += rest.substr(0, at);
  mapped += kSysnative;
  mapped += component.substr(kSystem32.size());
  return mapped;
}

std::u16string extendedLengthPath(std::u16string_view fullPath) {
  if (fullPath.starts_with(kExtendedPrefix) || fullPath.starts_with(kObjectPrefix) ||
      fullPath.starts_with(kDevicePrefix))
    return std::u16string(fullPath);
  if (fullPath.size() >= 3 && isDriveLetter(fullPath[0]) && fullPath[1] == u':' &&
      fullPath[2] == u'\\')
    return std::u16string(kExtendedPrefix) + std::u16string(fullPath);
  // \\server\share...: a server name must follow the two separators.
  if (fullPath.size() >= 3 && fullPath[0] == u'\\' && fullPath[1] == u'\\' &&
      !isSeparator(fullPath[2]))
    return std::u16string(kExtendedPrefix) + u"UNC\\" + std::u16string(fullPath.substr(2));
  return std::u16string(fullPath);
}

} // namespace platform

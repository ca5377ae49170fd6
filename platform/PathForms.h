// The forms in which a Windows path is handed to the system's file calls,
// decided on the text alone so that every host's tests can drive them: the
// way a 32-bit process under WoW64 reaches the 64-bit system folder, and the
// extended-length form that lifts the MAX_PATH limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The length from which a path is handed over in its extended-length form:
// MAX_PATH (260) less the room the system keeps for an 8.3 file name in a
// folder path (12), the smallest limit of any of its file calls.
inline constexpr std::size_t kLongPathLength = 248;

// For a 32-bit process under WoW64, whose view of "<Windows folder>\System32"
// the system silently redirects to SysWOW64: path with that System32
// component replaced by "Sysnative", the alias under which the redirector
// leaves the 64-bit folder as it is. windowsFolder is the Windows folder
// ("C:\Windows", a trailing separator allowed). Letters compare without
// regard to ASCII case, "\" and "/" both separate, and a "\\?\" prefix is
// kept. Every other path, the Windows folder itself and names that merely
// begin with "System32" (System32x) come back unchanged.
std::u16string throughSysnative(std::u16string_view path, std::u16string_view windowsFolder);

// The extended-length form of a full path, which the system's file calls
// take up to 32,767 units long: "X:\..." becomes "\\?\X:\..." and
// "\\server\share\..." becomes "\\?\UNC\server\share\...". A path already in
// that form or naming a device ("\\.\"), and anything that is no full path
// (relative, drive-relative, empty), comes back unchanged. The path must be
// normalized already (no "." or ".." components, no "/"): the system takes
// an extended-length path literally.
std::u16string extendedLengthPath(std::u16string_view fullPath);

} // namespace platform

// The one place where a Windows path of the core becomes the path handed to
// the system's file calls: read through Sysnative in a 32-bit process under
// WoW64 (so that System32 means the 64-bit folder, as the paths that
// components and the folder-token helper record mean it, for walking,
// reading and trust checks alike, without switching the redirection off for
// a thread whose trust checks load libraries), and in the extended-length
// form when it is long. The core keeps its own form of every path for
// records, reports and the page.
#pragma once

#include <string>

namespace platform::win {

// True in a 32-bit process on 64-bit Windows, whose view of the system
// folder the system redirects (IsWow64Process).
bool fileSystemRedirected();

// The path as given when neither applies; otherwise made absolute with
// GetFullPathNameW first.
std::wstring filePath(const std::u16string& path);

// GetFullPathNameW of path, as long as it comes ("." and ".." resolved, "/"
// made "\", a relative path taken from the current folder); false when the
// call fails.
bool fullPathName(const std::u16string& path, std::u16string& full);

} // namespace platform::win

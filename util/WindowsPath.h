// Windows path text as the platform's path normaliser reads it: the
// components that remain once empty and "." components are dropped and ".."
// has climbed, and whether a path so read names a folder below a drive root.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The components of path, split at backslashes and slashes: empty and "."
// components vanish and ".." removes the component before it (never climbing
// above the start).
std::vector<std::u16string> normalizedComponents(std::u16string_view path);

// True for a drive letter, a colon and a separator followed by at least one
// component that normalisation leaves: "C:\Apps" and "C:\Apps\.\" are, "C:\",
// "C:\\", "C:\." and "C:\Apps\.." are not, nor is anything relative.
bool namesFolderBelowDriveRoot(std::u16string_view path);

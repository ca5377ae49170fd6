// The machine seen as a Windows namespace over a Wine-style prefix: drive
// letters map through <prefix>/dosdevices, path components match exactly
// first and then with the file system's case folding (the simple upper-case
// mapping of every UTF-16 unit, from a table of our own that is the same
// under every locale: util/FileNameCase.h), and host paths turn back into
// Windows paths through the drive that holds them.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The prefix that is the machine: set by --prefix; by default $WINEPREFIX,
// else ~/.wine. Set it before any other call of the platform layer.
// setPrefix also sets WINEPREFIX in this process's environment, so that the
// programs it starts (the folder-token helper) use the same prefix.
void setPrefix(const std::string& hostDirectory);
std::string prefix();

// True where the machine is a Wine-style prefix chosen when the program
// starts; false where it is the machine the program runs on, and the prefix
// functions do nothing.
bool machineIsPrefix();

// True when hostDirectory is a folder that holds drive_c or system.reg, as
// a Wine-style prefix does.
bool isPrefixFolder(const std::string& hostDirectory);

// The host path of a Windows path, or nothing when its drive is not mapped
// (or the path has a form this namespace does not serve, such as UNC). A
// path without a drive resolves against the current drive (C: when the
// prefix maps it, else Z:). Components that exist are matched exactly, then
// case-insensitively; the rest are kept as given, so a file still to be
// created gets a usable path.
std::optional<std::string> toHostPath(const std::u16string& windowsPath);

// The name of SQLite's file-system layer ("VFS") that opens the host paths
// toHostPath gives: on Windows the one that takes extended-length paths of
// any length ("win32-longpath"), elsewhere SQLite's default (null).
const char* sqliteFileSystem();

// The Windows path of an absolute host path, through the drive whose folder
// holds it (the deepest one), Z: for anything else. A trailing separator is
// kept.
std::u16string toWindowsPath(const std::string& hostPath);

// The Windows path of a file named on a command line (UTF-8), made absolute
// against the current folder. On Windows that is GetFullPathNameW, which
// keeps "\\server\share\..." and "\\?\..." paths as they are and resolves
// "." and ".."; here the host path is made absolute and turned into a
// Windows path through the namespace. An empty path stays empty.
std::u16string absoluteWindowsPath(const std::string& path);

// The host folder that drive letter maps to, or nothing.
std::optional<std::string> driveRoot(char16_t letter);

// True when folder is an existing folder whose walk covers no drive root:
// what the path resolves to (links followed) is strictly below a drive root,
// and, where the machine is a prefix, neither is nor holds any drive's root
// or the prefix folder. However a path is spelt ("C:\..", a link to a drive
// root), a folder that fails this would make a walk cover a whole drive.
bool isWalkableFolder(const std::u16string& folder);

} // namespace platform

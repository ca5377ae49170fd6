// The files a product's Windows Installer package installed: the File rows
// of its locally installed components, each in the folder Windows Installer
// reports for its component. The package is untrusted input, so a name is
// used only when it names a file directly inside that folder.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace platform {
struct InstallerPackage;
}

// The long name of a File table FileName: the part after the first "|"
// ("SHORT~1.DLL|long name.dll"), or the whole text without one.
std::u16string longFileName(const std::u16string& fileName);

// True when name, joined to a folder with one backslash, names an entry
// directly inside that folder on Windows and on a prefix alike: not empty;
// no separator, drive or stream colon, wildcard, quote, angle bracket, bar
// or control character; not made of dots and spaces only ("..") and not
// ending with a dot or space (which Windows drops); not a device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension).
bool isPlainFileName(const std::u16string& name);

// True for a registry key path: a two-digit root and a colon ("02:\Software\...").
bool isRegistryKeyPath(const std::u16string& keyPath);

// The folder a component's key path names, without a trailing backslash: a
// file key path ("C:\P\app.dll") its parent folder, a folder key path ("C:\P\")
// the folder itself. Empty for a registry key path ("02:\Software\...") and
// for anything that is no absolute path on a drive ("X:\...").
std::u16string componentFolder(const std::u16string& keyPath);

// The full paths of the files the package installed, given the key paths of
// its locally installed components (keyed by the Component table's key; a
// component not in the map is not installed here). Each component's files
// lie in the folder of its key path; a component whose key path is a
// registry key uses the folder of another listed component with the same
// Directory_ whose key path is a file or a folder, and is skipped when
// there is none. Rows whose name is not plain (isPlainFileName, of the long
// name) are skipped. Each path comes once (compared as the file system
// compares names), in the order of the paths so folded.
std::vector<std::u16string> packageFilePaths(
    const platform::InstallerPackage& package,
    const std::map<std::u16string, std::u16string>& localKeyPaths);

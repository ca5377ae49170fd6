// Reading a Windows Installer package (an .msi database) read-only: the rows
// of its Component and File tables, which say which files each component
// installs and into which folder. The stand-in for MsiOpenDatabaseW with
// MSIDBOPEN_READONLY and views over the two tables. A package is untrusted
// input: a damaged or hostile one gives false, never a crash, and its texts
// are handed on exactly as stored (the caller decides what a name may be).
#pragma once

#include <string>
#include <vector>

namespace platform {

// One row of the Component table.
struct PackageComponent {
  std::u16string component;   // Component: the row's key, named by File.Component_
  std::u16string componentId; // ComponentId: the component code (a braced GUID), or empty
  std::u16string directory;   // Directory_: the key of the folder it installs into
  friend bool operator==(const PackageComponent&, const PackageComponent&) = default;
};

// One row of the File table.
struct PackageFile {
  std::u16string component; // Component_: the component that installs the file
  std::u16string fileName;  // FileName: "SHORT~1.DLL|long name.dll" or a single name
  friend bool operator==(const PackageFile&, const PackageFile&) = default;
};

struct InstallerPackage {
  std::vector<PackageComponent> components; // in the order the table gives them
  std::vector<PackageFile> files;           // in the order the table gives them
};

// Reads the Component and File tables of the package at path (a Windows
// path), without changing the file. False, package unchanged, when the file
// is missing or no regular file, is no database that can be read, lacks
// either table or one of its columns, or holds a column named here with a
// type other than text.
bool readInstallerPackage(const std::u16string& path, InstallerPackage& package);

} // namespace platform

// The finder of a product installed by Windows Installer: a folder finder
// whose folders include the product's install location, or, when the
// installer recorded no usable location, exactly the files that the
// product's own package installed (or, when the package cannot be read, the
// files in the folders of its components).
#pragma once

#include "finders/FolderFinder.h"

#include <map>

struct MsiProductRecord;

class MsiFileFinder : public FolderFinder {
public:
  // Asks Windows Installer, once, for the install location and the installed
  // name of productCode (passed on exactly as given). A known location sets
  // msiInstalled; it joins the folders when, normalised and resolved, it is
  // an existing folder strictly below a drive root whose walk covers no
  // drive root, and otherwise (empty, relative, unformatted, missing, a bare
  // drive, "C:\..", a link to a drive root) the product's components are
  // listed instead during the scan, since walking such a location would
  // cover a whole drive. Nothing is asked about components here: preparing
  // a session stays as cheap as the two product questions. A failed question
  // leaves the record's location and name empty. product always holds a new
  // MsiProductRecord afterwards, id = UTF-8 of productCode.
  MsiFileFinder(std::u16string scratchFolder, std::vector<std::u16string> excludedSuffixes,
                std::u16string productCode);

  // Walks the folders as a folder finder does. When the components are to
  // be listed: reads the product's cached package (its LocalPackage) and
  // lists the files of its File table whose component Windows Installer
  // reports as installed locally, each in its component's folder, that
  // exist as files (one question per component of the package, none about
  // the machine's other components). When the package cannot be read, lists
  // the files directly in each folder of the product's locally installed
  // components instead (never their subfolders: a component folder may be
  // a shared one such as the system folder).
  bool findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) override;

  // True when Windows Installer knew the location, else the folder rule.
  bool isInstalled() override;
  // A new MsiFileValueObject for path, pointing at this finder's record.
  std::unique_ptr<FileValueObject> createValueObject(const std::u16string& path) override;

  MsiProductRecord& record();

  std::u16string productCode; // as configured
  bool msiInstalled = false;  // Windows Installer reported an install location
  // The recorded location is not usable: the scan lists the components.
  bool listsComponents = false;
  // The folders of the product's components that the scan listed because
  // the package could not be read: each once (compared as the file system
  // compares names), without a trailing backslash. Keyed by the folded path,
  // valued by the path as recorded. Empty until such a scan.
  std::map<std::u16string, std::u16string> componentFolders;

private:
  bool listPackageFiles(FileFilter& filter, std::vector<FileValueObject*>& files);
  void listComponentFolders(FileFilter& filter, std::vector<FileValueObject*>& files);
};

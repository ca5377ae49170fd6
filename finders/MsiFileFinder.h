// The finder of a product installed by Windows Installer: a folder finder
// whose folders include the product's install location.
#pragma once

#include "finders/FolderFinder.h"

struct MsiProductRecord;

class MsiFileFinder : public FolderFinder {
public:
  // Asks Windows Installer, once, for the install location and the installed
  // name of productCode (passed on exactly as given). A known location joins
  // the folders (also when it is empty) and sets msiInstalled; a failed
  // question leaves the record's location and name empty. product always
  // holds a new MsiProductRecord afterwards, id = UTF-8 of productCode.
  MsiFileFinder(std::u16string scratchFolder, std::vector<std::u16string> excludedSuffixes,
                std::u16string productCode);

  // True when Windows Installer knew the location, else the folder rule.
  bool isInstalled() override;
  // A new MsiFileValueObject for path, pointing at this finder's record.
  std::unique_ptr<FileValueObject> createValueObject(const std::u16string& path) override;

  MsiProductRecord& record();

  std::u16string productCode; // as configured
  bool msiInstalled = false;  // Windows Installer reported an install location
};

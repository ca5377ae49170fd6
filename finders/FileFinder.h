// The finder interface: lists the files of a product during the scan.
#pragma once

#include <string>
#include <vector>

class FileFilter;
class FileValueObject;

class FileFinder {
public:
  FileFinder(std::u16string scratchFolder, std::vector<std::u16string> excludedSuffixes)
      : scratchFolder(std::move(scratchFolder)),
        excludedSuffixes(std::move(excludedSuffixes)) {}
  FileFinder(const FileFinder&) = delete;
  FileFinder& operator=(const FileFinder&) = delete;
  virtual ~FileFinder() = default;

  // Appends one new entry for every file of the product that the filter
  // accepts and no excluded suffix removes, in discovery order. Never removes
  // or reorders what the list holds. True when the listing ran.
  virtual bool findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) = 0;

  std::u16string scratchFolder;                 // the session's scratch folder
  std::vector<std::u16string> excludedSuffixes; // in configuration order
};

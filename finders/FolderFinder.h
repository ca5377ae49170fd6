// The finder of a product that is a set of folders.
#pragma once

#include "finders/FileFinder.h"
#include "finders/WalkCycleGuard.h"

#include <memory>
#include <set>
#include <vector>

struct ProductRecord;

class FolderFinder : public FileFinder {
public:
  // The base part of a derived finder, which supplies the product itself.
  FolderFinder(std::u16string scratchFolder, std::vector<std::u16string> excludedSuffixes);
  // A folder product with a new record named displayName.
  FolderFinder(std::u16string scratchFolder, std::vector<std::u16string> excludedSuffixes,
               const std::u16string& displayName);
  ~FolderFinder() override;

  // Walks every folder in set order.
  bool findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) override;
  // True when some folder is an existing directory (tested in set order).
  virtual bool isInstalled();
  virtual std::unique_ptr<FileValueObject> createValueObject(const std::u16string& path);

  void addFolder(const std::u16string& folder);

  std::unique_ptr<ProductRecord> product;
  std::set<std::u16string> folders; // plain code-unit order, case-sensitive
  std::vector<std::unique_ptr<FileValueObject>> valueObjects; // in order made

  // Walks deeper than this are cut off (see WalkCycleGuard).
  static constexpr int kMaxWalkDepth = WalkCycleGuard::kMaxDepth;

  // Whether the walk enters the folder that entry leads to, at depth (1 for
  // a subfolder of a configured folder): the rule of WalkCycleGuard.
  static bool entersFolder(const platform::FindData& entry,
                           const std::vector<platform::FileIdentity>& path, int depth) {
    return WalkCycleGuard::entersFolder(entry, path, depth);
  }

protected:
  // Lists the files directly in folder, under the same exclusion and filter
  // rules as the walk, without entering any subfolder; false when the folder
  // cannot be enumerated.
  bool listFolder(FileFilter& filter, std::vector<FileValueObject*>& files,
                  const std::u16string& folder);
  // True when fullPath ends with one of the excluded suffixes.
  bool isExcluded(const std::u16string& fullPath) const;

private:
  void offerFile(FileFilter& filter, std::vector<FileValueObject*>& files,
                 const std::u16string& fullPath);
  bool walkFolder(FileFilter& filter, std::vector<FileValueObject*>& files,
                  const std::u16string& folder, WalkCycleGuard& guard);
};

// The finder of all products of the vendor's own installer: reads the media
// and install-state databases under the common-files folder into product
// records when it is made, and lists each payload's files from its uninstall
// database during the scan.
#pragma once

#include "finders/FileFinder.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QORBFileValueObject;
struct PayloadEntry;
struct ProductRecord;
struct QORBProductRecord;

class QORBFileFinder : public FileFinder {
public:
  // Asks the platform for the common-files folder and reads the installer's
  // databases: every product is known when the constructor returns. A
  // missing or unreadable database only leaves the finder with less.
  QORBFileFinder(std::vector<std::u16string> excludedCodes,
                 std::vector<std::u16string> excludedSuffixes, std::u16string scratchFolder);
  ~QORBFileFinder() override;

  // Lists the files of every payload, in payload id order. Always true.
  bool findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) override;

  // Appends every product record, in product id order.
  void appendProducts(std::vector<ProductRecord*>& list) const;
  std::vector<ProductRecord*> productRecords() const;

  // The files one payload's uninstall database names: each path the filter
  // accepts and no excluded suffix ends becomes a new entry of files and of
  // valueObjects. False when the database cannot be opened or read.
  bool listPayloadFiles(FileFilter& filter, std::vector<FileValueObject*>& files,
                        PayloadEntry& payload);

  std::set<std::u16string> excludedCodes; // plain code-unit order, case-sensitive
  std::u16string commonFilesFolder;       // empty when the platform gives none
  std::string commonFilesFolderUtf8;
  std::map<std::string, std::unique_ptr<QORBProductRecord>> products; // by ProductID
  std::map<std::string, std::unique_ptr<PayloadEntry>> payloads;      // by PayloadID
  std::vector<std::unique_ptr<QORBFileValueObject>> valueObjects;    // in order made

private:
  bool readInstallerDatabases();
  void linkParentProducts();
  void writeProductIcon(QORBProductRecord& record, const std::string& iconText) const;
};

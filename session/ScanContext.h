// Everything one session's configuration produced, with the session's
// scratch folder and folder tokens.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class AbstractValidatorFactory;
class FileFilter;
class FileFinder;
class ValidatorBase;
struct ProductRecord;

class ScanContext {
public:
  // Creates the scratch folder; scratchFolder stays empty when that fails.
  ScanContext();
  // Deletes factory, filter, finders (with their records and entries) and
  // validators in that order, then removes the scratch folder.
  ~ScanContext();
  ScanContext(const ScanContext&) = delete;
  ScanContext& operator=(const ScanContext&) = delete;

  std::map<std::u16string, std::u16string> updateLinks; // name substring -> URL
  std::unique_ptr<AbstractValidatorFactory> validatorFactory;
  std::vector<std::unique_ptr<ValidatorBase>> validators;
  std::unique_ptr<FileFilter> fileFilter;
  std::vector<std::unique_ptr<FileFinder>> finders; // configuration order
  std::vector<ProductRecord*> products;             // not owned; configuration order
  std::u16string scratchFolder; // full path, no trailing backslash; may be empty
  std::map<std::u16string, std::u16string> folderTokens; // "[Common]" -> folder
};

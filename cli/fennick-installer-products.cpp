// Lists what the installer-database finder reads from a prefix: every
// product of the vendor installer with its name, states, icon, dependencies
// and parents, every payload with its products, and the files the payloads'
// uninstall databases name. For checking a machine by hand and for tests.
//
//   fennick-installer-products [--prefix DIR] [--scratch DIR]
//       [--exclude CODE]... [--exclude-suffix SUFFIX]... [--ext .EXT]...
//
// --prefix     the Wine-style prefix to read (default $WINEPREFIX, ~/.wine)
// --scratch    host folder for the product icons (default: a scratch folder
//              of its own, removed again at the end)
// --exclude    an excluded product code (repeatable)
// --exclude-suffix  a path suffix whose files are not listed (repeatable)
// --ext        list only files with this extension (repeatable; without it
//              every named file is listed)
#include "finders/PayloadEntry.h"
#include "finders/ProductRecord.h"
#include "finders/QORBFileFinder.h"
#include "finders/ValueObject.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/WindowsNamespace.h"
#include "session/ScratchFolder.h"
#include "util/FileHelpers.h"
#include "util/Text.h"
#include "validation/FileFilter.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every file that the uninstall database names with a path.
class AcceptEveryFile : public FileFilter {
public:
  bool accept(const std::u16string& path) override { return !path.empty(); }
};

std::string narrow(const std::u16string& text) {
  std::string out;
  wideToUtf8(text, out);
  return out;
}

std::u16string wide(const std::string& text) {
  std::u16string out;
  utf8ToWide(text, out);
  return out;
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

// The icon as its name inside the scratch folder and its size.
std::string describeIcon(const std::u16string& iconPath, const std::u16string& scratch) {
  if (iconPath.empty())
    return "none";
  std::string name = narrow(iconPath);
  if (iconPath.size() > scratch.size() + 1 && iconPath.compare(0, scratch.size(), scratch) == 0)
    name = narrow(iconPath.substr(scratch.size() + 1));
  std::optional<std::string> host = platform::toHostPath(iconPath);
  std::error_code error;
  auto size = host ? std::filesystem::file_size(fsPath(*host), error) : 0;
  if (!host || error)
    return name + " (missing)";
  return name + " (" + std::to_string(size) + " bytes)";
}

int usage() {
  std::cerr << "usage: fennick-installer-products [--prefix DIR] [--scratch DIR] "
               "[--exclude CODE]... [--exclude-suffix SUFFIX]... [--ext .EXT]...\n";
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  platform::failCriticalErrorsSilently();
  std::vector<std::u16string> excludedCodes;
  std::vector<std::u16string> excludedSuffixes;
  std::vector<std::u16string> extensions;
  std::string scratchHost;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 >= argc)
      return usage();
    std::string value = argv[++i];
    if (option == "--prefix")
      platform::setPrefix(value);
    else if (option == "--scratch")
      scratchHost = value;
    else if (option == "--exclude")
      excludedCodes.push_back(wide(value));
    else if (option == "--exclude-suffix")
      excludedSuffixes.push_back(wide(value));
    else if (option == "--ext")
      extensions.push_back(wide(value));
    else
      return usage();
  }

  std::u16string scratch;
  bool ownScratch = scratchHost.empty();
  if (ownScratch) {
    if (!createScratchFolder(scratch)) {
      std::cerr << "cannot create a scratch folder\n";
      return 1;
    }
  } else {
    // Through the platform, under its wide name: a narrow name would be read
    // in the ANSI code page on Windows.
    scratch = platform::absoluteWindowsPath(scratchHost);
    platform::shCreateDirectoryEx(scratch);
  }

  std::unique_ptr<FileFilter> filter;
  if (extensions.empty()) {
    filter = std::make_unique<AcceptEveryFile>();
  } else {
    auto custom = std::make_unique<CustomFileFilter>();
    for (const std::u16string& extension : extensions)
      custom->addExtension(extension);
    filter = std::move(custom);
  }

  {
    QORBFileFinder finder(excludedCodes, excludedSuffixes, scratch);
    std::cout << "common files folder: " << narrow(finder.commonFilesFolder) << "\n";
    for (ProductRecord* base : finder.productRecords()) {
      auto* product = static_cast<QORBProductRecord*>(base);
      std::cout << "product " << product->id << "\n"
                << "  name: " << narrow(product->displayName) << "\n"
                << "  installed: " << yesNo(product->installed) << "\n"
                << "  excluded: " << yesNo(product->excluded) << "\n"
                << "  patch or language pack: " << yesNo(product->patchOrLangPack) << "\n"
                << "  icon: " << describeIcon(product->iconPath, scratch) << "\n"
                << "  dependencies:";
      for (const std::string& dependency : product->dependencyPayloadIds)
        std::cout << " " << dependency;
      std::cout << "\n  parents:";
      for (const QORBProductRecord* parent : product->parentProducts)
        std::cout << " " << parent->id;
      std::cout << "\n";
    }
    for (const auto& [id, payload] : finder.payloads) {
      std::cout << "payload " << id << ":";
      for (const QORBProductRecord* product : payload->products)
        std::cout << " " << product->id;
      std::cout << "\n";
    }
    std::vector<FileValueObject*> files;
    finder.findFiles(*filter, files);
    for (const FileValueObject* file : files) {
      auto* entry = dynamic_cast<const QORBFileValueObject*>(file);
      std::cout << "file " << (entry && entry->payload ? entry->payload->payloadId : "?") << " "
                << narrow(file->path) << "\n";
    }
  }

  if (ownScratch)
    removeFolderTree(scratch);
  return 0;
}

// Fuzz target: a Windows Installer package read as a product's cached
// package, and the file list made of it with every component installed.
// Whatever the package holds, each listed file lies directly inside the
// folder of its component; anything else stops the run.
#include "finders/PackageFiles.h"
#include "platform/InstallerPackage.h"
#include "util/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

namespace {

// The input goes to one file of this run, reached through drive Z:.
const std::string& packageFile() {
  static const std::string path = [] {
    char pattern[] = "/tmp/fennick-fuzz-package-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0)
      std::abort();
    close(fd);
    std::atexit([] { unlink(packageFile().c_str()); });
    return std::string(pattern);
  }();
  return path;
}

std::u16string windowsPath(const std::string& host) {
  std::u16string path;
  utf8ToWide(host, path);
  for (char16_t& unit : path) {
    if (unit == u'/')
      unit = u'\\';
  }
  return u"Z:" + path;
}

std::u16string number(std::size_t value) {
  std::u16string digits;
  utf8ToWide(std::to_string(value), digits);
  return digits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& host = packageFile();
  if (FILE* file = std::fopen(host.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  platform::InstallerPackage package;
  if (!platform::readInstallerPackage(windowsPath(host), package))
    return 0;

  // Component i lies in C:\Fuzz\<i>; every third one has a registry key path.
  std::map<std::u16string, std::u16string> local;
  for (std::size_t i = 0; i < package.components.size(); ++i) {
    std::u16string keyPath = i % 3 == 2 ? u"02:\\Software\\Fuzz"
                                        : u"C:\\Fuzz\\" + number(i) + u"\\key.dll";
    local.emplace(package.components[i].component, keyPath);
  }
  // Each path: C:\Fuzz\<digits>\<name>, the name free of separators,
  // drive and stream colons, and not made of dots and spaces alone.
  const std::u16string root = u"C:\\Fuzz\\";
  for (const std::u16string& path : packageFilePaths(package, local)) {
    std::size_t digits = path.find_first_not_of(u"0123456789", root.size());
    if (path.compare(0, root.size(), root) != 0 || digits == root.size() ||
        digits >= path.size() || path[digits] != u'\\')
      std::abort();
    std::u16string name = path.substr(digits + 1);
    if (name.empty() || name.find_first_of(u"\\/:") != std::u16string::npos ||
        name.find_first_not_of(u". ") == std::u16string::npos)
      std::abort();
  }
  return 0;
}

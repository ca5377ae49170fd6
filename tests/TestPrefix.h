// Throw-away Wine-style prefixes for tests, made the machine for the
// object's lifetime: a bare one (drive_c and the dosdevices links only), or a
// 32- or 64-bit machine with the usual folders and system.reg and user.reg in
// the registry text format. The previous prefix and WINEPREFIX are restored
// and the folder removed at the end.
#pragma once

#include "platform/WindowsInstaller.h"
#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>

// Sets one environment variable for a scope and restores it after.
class ScopedEnvironment {
public:
  ScopedEnvironment(const char* name, const std::string& value) : name(name) {
    if (const char* old = std::getenv(name))
      previous = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (previous)
      setenv(name, previous->c_str(), 1);
    else
      unsetenv(name);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
  const char* name;
  std::optional<std::string> previous;
};

class TestPrefix {
public:
  enum class Arch { Win32, Win64 };

  struct Options {
    Arch arch = Arch::Win64;
    bool driveC = true;        // drive_c and dosdevices/c: exist
    bool archLine = true;      // system.reg says "#arch=..."
    bool syswow64 = true;      // on Win64: drive_c/windows/syswow64 exists
    bool folderValues = true;  // system.reg carries the program files values
  };

  // A bare prefix: drive_c (empty) and dosdevices with c: and z:. Keys added
  // later go into registry files that declare no architecture.
  TestPrefix() {
    options.archLine = false;
    makeRoot();
    std::filesystem::create_directories(root / "drive_c");
    std::filesystem::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
    platform::setPrefix(root.string());
  }

  // A machine of the given kind.
  explicit TestPrefix(Arch arch) : TestPrefix(Options{arch}) {}
  explicit TestPrefix(const Options& options) : options(options), registryFiles(true) {
    makeRoot();
    if (options.driveC) {
      std::filesystem::create_directories(root / "drive_c" / "windows" / "system32");
      std::filesystem::create_directories(root / "drive_c" / "Program Files" / "Common Files");
      if (options.arch == Arch::Win64) {
        std::filesystem::create_directories(root / "drive_c" / "Program Files (x86)" /
                                            "Common Files");
        if (options.syswow64)
          std::filesystem::create_directories(root / "drive_c" / "windows" / "syswow64");
      }
      // The profiles wineboot makes: the user's own and the shared one.
      std::filesystem::create_directories(root / "drive_c" / "users" / "tester");
      std::filesystem::create_directories(root / "drive_c" / "users" / "Public");
      std::filesystem::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
    }
    if (options.folderValues) {
      machineKeys = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
                    "#time=1da0000000000000\n"
                    "\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\"\n"
                    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n";
      if (options.arch == Arch::Win64)
        machineKeys += "\"CommonFilesDir (x86)\"=\"C:\\\\Program Files (x86)\\\\Common Files\"\n"
                       "\"ProgramFilesDir (x86)\"=\"C:\\\\Program Files (x86)\"\n";
      machineKeys += "\n";
    }
    writeRegistry();
    platform::setPrefix(root.string());
  }

  ~TestPrefix() {
    platform::setPrefix(previousPrefix);
    if (previousWinePrefix)
      setenv("WINEPREFIX", previousWinePrefix->c_str(), 1);
    else
      unsetenv("WINEPREFIX");
    std::error_code ignored;
    std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root, ignored);
  }

  TestPrefix(const TestPrefix&) = delete;
  TestPrefix& operator=(const TestPrefix&) = delete;

  // The host path of a path under drive_c, given with forward slashes.
  std::filesystem::path driveC(const std::string& relative = "") const {
    return relative.empty() ? root / "drive_c" : root / "drive_c" / relative;
  }

  // Appends keys and values, written in the registry text format, to
  // system.reg (HKEY_LOCAL_MACHINE) or user.reg (HKEY_CURRENT_USER).
  // A bare prefix gets the files with the first keys.
  void addMachineKeys(const std::string& text) {
    machineKeys += text + "\n";
    registryFiles = true;
    writeRegistry();
  }
  void addUserKeys(const std::string& text) {
    userKeys += text + "\n";
    registryFiles = true;
    writeRegistry();
  }

  // A product installed by Windows Installer, in the registry where the
  // installer keeps it. Strings are written escaped as the format wants.
  void addInstalledProduct(const std::u16string& productCode,
                           const std::optional<std::u16string>& displayName,
                           const std::optional<std::u16string>& installLocation,
                           const std::string& sid = "S-1-5-18") {
    std::u16string packed;
    if (!platform::packProductCode(productCode, packed))
      std::abort();
    std::string key = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Installer\\\\"
                      "UserData\\\\" + sid + "\\\\Products\\\\" + utf8(packed) +
                      "\\\\InstallProperties] 1700000000\n";
    if (displayName)
      key += "\"DisplayName\"=\"" + escape(*displayName) + "\"\n";
    if (installLocation)
      key += "\"InstallLocation\"=\"" + escape(*installLocation) + "\"\n";
    addMachineKeys(key);
  }

  // The cached package of an installed product (its LocalPackage value).
  void addLocalPackage(const std::u16string& productCode, const std::u16string& packagePath) {
    std::u16string packed;
    if (!platform::packProductCode(productCode, packed))
      std::abort();
    addMachineKeys("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Installer\\\\"
                   "UserData\\\\S-1-5-18\\\\Products\\\\" + utf8(packed) +
                   "\\\\InstallProperties] 1700000000\n"
                   "\"LocalPackage\"=\"" + escape(packagePath) + "\"\n");
  }

  // A component that Windows Installer installed for productCode, with its
  // key path, in the registry where the installer keeps it.
  void addComponent(const std::u16string& componentCode, const std::u16string& productCode,
                    const std::u16string& keyPath) {
    std::u16string component;
    std::u16string product;
    if (!platform::packProductCode(componentCode, component) ||
        !platform::packProductCode(productCode, product))
      std::abort();
    addMachineKeys("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Installer\\\\"
                   "UserData\\\\S-1-5-18\\\\Components\\\\" + utf8(component) + "] 1700000000\n"
                   "\"" + utf8(product) + "\"=\"" + escape(keyPath) + "\"\n");
  }

  // Makes a folder or a file below drive_c (path relative to it, with "/").
  std::filesystem::path makeFolder(const std::string& relative) const {
    std::filesystem::path path = driveC() / relative;
    std::filesystem::create_directories(path);
    return path;
  }
  std::filesystem::path writeFile(const std::string& relative, const std::string& content = "x") const {
    std::filesystem::path path = driveC() / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  // A string in the registry text format's escapes.
  static std::string escape(const std::u16string& text) {
    std::string result;
    for (char16_t unit : text) {
      if (unit == u'\\' || unit == u'"') {
        result += '\\';
        result += char(unit);
      } else if (unit < 0x20 || unit > 0x7E) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%04x", unsigned(unit));
        result += buffer;
      } else {
        result += char(unit);
      }
    }
    return result;
  }

  static std::string utf8(const std::u16string& text) {
    std::string narrow;
    wideToUtf8(text, narrow);
    return narrow;
  }

  std::filesystem::path root;

private:
  void makeRoot() {
    char pattern[] = "/tmp/fennick-prefix-XXXXXX";
    if (!mkdtemp(pattern))
      std::abort();
    root = pattern;
    previousPrefix = platform::prefix();
    if (const char* wine = std::getenv("WINEPREFIX"))
      previousWinePrefix = wine;
    std::filesystem::create_directories(root / "dosdevices");
    std::filesystem::create_directory_symlink("/", root / "dosdevices" / "z:");
  }

  void writeRegistry() {
    if (!registryFiles)
      return;
    std::string arch = options.arch == Arch::Win64 ? "win64" : "win32";
    std::ofstream system(root / "system.reg", std::ios::binary | std::ios::trunc);
    system << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";
    if (options.archLine)
      system << "#arch=" << arch << "\n\n";
    system << machineKeys;
    std::ofstream user(root / "user.reg", std::ios::binary | std::ios::trunc);
    user << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n";
    if (options.archLine)
      user << "#arch=" << arch << "\n\n";
    user << userKeys;
  }

  Options options;
  bool registryFiles = false; // system.reg and user.reg are written
  std::string previousPrefix;
  std::optional<std::string> previousWinePrefix;
  std::string machineKeys;
  std::string userKeys;
};

// Windows path namespace over a Wine-style prefix.
#include "platform/WindowsNamespace.h"

#include "platform/posix/prefix/HostPath.h"

#include "util/FileNameCase.h"
#include "util/Text.h"
#include "util/WindowsPath.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

std::mutex prefixMutex;
std::optional<std::string> configuredPrefix;

std::string defaultPrefix() {
  if (const char* wine = std::getenv("WINEPREFIX"); wine && *wine)
    return wine;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/root") + "/.wine";
}

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// A file name folded as Windows and Wine compare file names (see
// util/FileNameCase.h). False for a name that is no UTF-8.
bool foldedName(const std::string& name, std::u16string& folded) {
  if (!utf8ToWide(name, folded))
    return false;
  toUpperFileName(folded);
  return true;
}

// The name of an entry of folder that matches name: exactly when it exists,
// else the first entry equal under case folding, else name itself.
std::string matchComponent(const std::string& folder, const std::string& name) {
  std::string joined = folder == "/" ? "/" + name : folder + "/" + name;
  if (exists(joined))
    return name;
  std::u16string wanted;
  if (!foldedName(name, wanted))
    return name;
  DIR* dir = opendir(folder.c_str());
  if (!dir)
    return name;
  std::string found = name;
  std::u16string candidate;
  while (dirent* entry = readdir(dir)) {
    if (foldedName(entry->d_name, candidate) && candidate == wanted) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

// The path with every link resolved, "." and ".." taken, or the path as it
// is when it cannot be resolved. The system names the file a descriptor
// opened on the path: three calls, where resolving component by component
// takes one per component.
std::string canonical(const std::string& path) {
  const int descriptor = open(path.c_str(), O_PATH | O_CLOEXEC);
  if (descriptor >= 0) {
    char resolved[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    const ssize_t length = readlink(link.c_str(), resolved, sizeof resolved);
    close(descriptor);
    if (length > 0 && length < ssize_t(sizeof resolved) && resolved[0] == '/')
      return std::string(resolved, std::size_t(length));
  }
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved))
    return resolved;
  return path;
}

// The canonical form of the folder a drive leads to. Every path the program
// touches starts with a drive, and resolving the folder walks each link of
// a long host path, so a resolved folder is kept per spelling: the folders
// a prefix's drives lead to do not move while it is in use (the drive's
// link itself is read each time, so a drive pointed elsewhere is seen).
std::string canonicalDriveFolder(const std::string& path) {
  static std::mutex cacheMutex;
  static std::map<std::string, std::string> cache;
  std::lock_guard lock(cacheMutex);
  auto known = cache.find(path);
  if (known != cache.end())
    return known->second;
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved))
    return path; // a missing folder is looked at again next time
  return cache.emplace(path, resolved).first->second;
}

char16_t currentDrive() { return driveRoot(u'C') ? u'C' : u'Z'; }

// The letters from A to Y that may have a root, in order: C, which may map
// to drive_c, and every letter with an entry in dosdevices. The folder is
// listed once rather than asked about each of the letters.
std::vector<char16_t> mappableDrives() {
  bool present[26] = {};
  present['c' - 'a'] = true;
  if (DIR* dir = opendir((prefix() + "/dosdevices").c_str())) {
    while (dirent* entry = readdir(dir)) {
      const char* name = entry->d_name;
      if (name[0] >= 'a' && name[0] <= 'y' && name[1] == ':' && name[2] == '\0')
        present[name[0] - 'a'] = true;
    }
    closedir(dir);
  }
  std::vector<char16_t> letters;
  for (int i = 0; i < 25; ++i) {
    if (present[i])
      letters.push_back(char16_t(u'A' + i));
  }
  return letters;
}

} // namespace

void setPrefix(const std::string& hostDirectory) {
  std::lock_guard lock(prefixMutex);
  configuredPrefix = hostDirectory;
  // Programs this process starts (the folder-token helper) find the same
  // machine through the variable they read first.
  setenv("WINEPREFIX", hostDirectory.c_str(), 1);
}

std::string prefix() {
  std::lock_guard lock(prefixMutex);
  if (!configuredPrefix)
    configuredPrefix = defaultPrefix();
  return *configuredPrefix;
}

bool machineIsPrefix() { return true; }

bool isPrefixFolder(const std::string& hostDirectory) {
  std::error_code error;
  const std::filesystem::path folder(hostDirectory);
  return std::filesystem::is_directory(folder, error) &&
         (std::filesystem::is_directory(folder / "drive_c", error) ||
          std::filesystem::is_regular_file(folder / "system.reg", error));
}

std::optional<std::string> driveRoot(char16_t letter) {
  if (letter >= u'A' && letter <= u'Z')
    letter = char16_t(letter + 0x20);
  if (letter < u'a' || letter > u'z')
    return std::nullopt;
  std::string root = prefix();
  std::string device = root + "/dosdevices/" + char(letter) + ":";
  char target[PATH_MAX];
  ssize_t length = readlink(device.c_str(), target, sizeof target - 1);
  if (length > 0) {
    std::string link(target, size_t(length));
    std::string resolved = link[0] == '/' ? link : root + "/dosdevices/" + link;
    return canonicalDriveFolder(resolved);
  }
  if (letter == u'c' && isDirectory(root + "/drive_c"))
    return canonicalDriveFolder(root + "/drive_c");
  if (letter == u'z')
    return std::string("/");
  return std::nullopt;
}

std::optional<std::string> toHostPath(const std::u16string& windowsPath) {
  HostPathLook look;
  return toHostPath(windowsPath, look);
}

bool statHostPath(const std::string& hostPath, const HostPathLook& look, struct stat& info) {
  if (look.looked && !S_ISLNK(look.info.st_mode)) {
    info = look.info;
    return true;
  }
  return stat(hostPath.c_str(), &info) == 0;
}

std::optional<std::string> toHostPath(const std::u16string& windowsPath, HostPathLook& look) {
  look = HostPathLook{};
  std::u16string path = windowsPath;
  bool longForm = path.rfind(u"\\\\?\\", 0) == 0;
  if (longForm)
    path.erase(0, 4);
  std::u16string head = path.substr(0, 4);
  toUpperAscii(head);
  if (path.rfind(u"\\\\", 0) == 0 || path.rfind(u"//", 0) == 0 || (longForm && head == u"UNC\\"))
    return std::nullopt; // UNC paths name no drive of this machine
  const bool hasDrive = path.size() >= 2 && path[1] == u':';
  const char16_t drive = hasDrive ? path[0] : currentDrive();
  const size_t start = hasDrive ? 2 : 0;
  std::optional<std::string> root = driveRoot(drive);
  if (!root)
    return std::nullopt;

  // Empty components and "." vanish and ".." climbs, as the Windows path
  // normaliser does.
  const std::vector<std::u16string> components =
      normalizedComponents(std::u16string_view(path).substr(start));

  // Most paths name a file that exists exactly as spelt: one look at the
  // whole path then stands for a look at every component, since each of
  // them was found on the way.
  std::string exact = *root;
  for (const std::u16string& component : components) {
    std::string name;
    wideToUtf8(component, name);
    exact += exact == "/" ? name : "/" + name;
  }
  if (lstat(exact.c_str(), &look.info) == 0) {
    look.looked = true;
    return exact;
  }

  std::string host = *root;
  for (const std::u16string& component : components) {
    std::string name;
    wideToUtf8(component, name);
    name = matchComponent(host, name);
    host = host == "/" ? "/" + name : host + "/" + name;
  }
  return host;
}

const char* sqliteFileSystem() { return nullptr; }

std::u16string toWindowsPath(const std::string& hostPath) {
  std::string path = hostPath;
  bool trailing = path.size() > 1 && path.back() == '/';
  std::string resolved = canonical(path);
  char16_t bestDrive = u'Z';
  std::string bestRoot = "/";
  for (char16_t letter : mappableDrives()) {
    std::optional<std::string> root = driveRoot(letter);
    if (!root || *root == "/" || root->size() <= bestRoot.size())
      continue;
    if (resolved == *root || resolved.rfind(*root + "/", 0) == 0) {
      bestDrive = letter;
      bestRoot = *root;
    }
  }
  std::string rest = bestRoot == "/" ? resolved : resolved.substr(bestRoot.size());
  std::u16string result;
  utf8ToWide(rest, result);
  for (char16_t& unit : result) {
    if (unit == u'/')
      unit = u'\\';
  }
  if (result.empty() || result[0] != u'\\')
    result.insert(result.begin(), u'\\');
  if (trailing && result.back() != u'\\')
    result.push_back(u'\\');
  return std::u16string{bestDrive, u':'} + result;
}

std::u16string absoluteWindowsPath(const std::string& path) {
  if (path.empty())
    return std::u16string();
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return toWindowsPath(error ? path : absolute.lexically_normal().string());
}

bool isWalkableFolder(const std::u16string& folder) {
  std::optional<std::string> host = toHostPath(folder);
  char resolved[PATH_MAX];
  if (!host || !realpath(host->c_str(), resolved) || !isDirectory(resolved))
    return false;
  const std::string walked = resolved;
  // True when the walk of walked would pass through place (or stand on it).
  auto reaches = [&walked](const std::string& place) {
    return place == walked || walked == "/" || place.rfind(walked + "/", 0) == 0;
  };
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    std::optional<std::string> root = driveRoot(letter);
    if (root && reaches(*root))
      return false;
  }
  return !reaches(canonical(prefix()));
}

} // namespace platform

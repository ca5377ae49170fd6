// Special folders of the prefix, in the view of a 32-bit or a 64-bit process.
#include "platform/SpecialFolders.h"

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<ProcessBitness> processBitness{ProcessBitness::Bits32};

constexpr std::u16string_view kCurrentVersion = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::u16string_view kWindowsNtCurrentVersion =
    u"Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::u16string_view kShellFolders =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

constexpr std::u16string_view kVolatileEnvironment = u"Volatile Environment";

bool isProfileName(const std::u16string& name) {
  std::u16string folded = name;
  toUpperAscii(folded);
  return folded != u"PUBLIC" && folded != u"DEFAULT" && folded != u"DEFAULT USER" &&
         folded != u"ALL USERS" && folded != u"." && folded != u"..";
}

// The user's profile folder as the prefix records it: USERPROFILE of the
// user's registry (which Wine writes at every start), else the one folder
// under C:\users that is no shared profile. Never the name of the account
// running this tool: the prefix may belong to someone else. Empty when the
// prefix has no user profile, or several and no record of which is the user's.
std::u16string profileFolder() {
  RegistryValue value;
  std::u16string text;
  if (readRegistryValue(RegistryRoot::CurrentUser, kVolatileEnvironment, u"USERPROFILE", value) &&
      value.text(text) && text.size() > 3 && text[1] == u':' && text[2] == u'\\') {
    while (text.size() > 3 && text.back() == u'\\')
      text.pop_back();
    return text;
  }
  FileEnumeration users;
  FindData entry;
  if (!users.findFirst(u"C:\\users\\*", entry))
    return {};
  // Only the one user's folder is the profile: of several, none is more
  // the user's than the others.
  std::u16string profile;
  do {
    if (!entry.isDirectory || entry.isLink || !isProfileName(entry.name))
      continue;
    if (!profile.empty())
      return {};
    profile = u"C:\\users\\" + entry.name;
  } while (users.findNext(entry));
  return profile;
}

std::u16string windowsFolder();

// Expands the variables a folder value may use; others stay as written.
std::u16string expandVariables(const std::u16string& text) {
  std::u16string result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = text.find(u'%', pos);
    size_t close = open == std::u16string::npos ? open : text.find(u'%', open + 1);
    if (close == std::u16string::npos) {
      result += text.substr(pos);
      break;
    }
    result += text.substr(pos, open - pos);
    std::u16string name = text.substr(open + 1, close - open - 1);
    toUpperAscii(name);
    if (name == u"SYSTEMDRIVE")
      result += u"C:";
    else if (name == u"SYSTEMROOT" || name == u"WINDIR")
      result += windowsFolder();
    else if (name == u"USERPROFILE" && !profileFolder().empty())
      result += profileFolder();
    else if (name == u"ALLUSERSPROFILE" || name == u"PROGRAMDATA")
      result += u"C:\\ProgramData";
    else if (name == u"PUBLIC")
      result += u"C:\\users\\Public";
    else {
      result += text.substr(open, close - open + 1);
    }
    pos = close + 1;
  }
  return result;
}

// A non-empty folder value of the registry, expanded and without a trailing
// backslash (a drive root keeps its own). With expand false, a value that
// names a variable counts as missing: the windows folder, which expansion
// itself needs, must not refer to anything.
bool registryFolder(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                    std::u16string& folder, bool expand = true) {
  RegistryValue value;
  std::u16string text;
  if (!readRegistryValue(root, key, name, value) || !value.text(text) || text.empty())
    return false;
  if (!expand && text.find(u'%') != std::u16string::npos)
    return false;
  if (value.type == kRegExpandSz)
    text = expandVariables(text);
  while (text.size() > 3 && text.back() == u'\\')
    text.pop_back();
  folder = text;
  return true;
}

std::u16string folderOr(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                        const std::u16string& fallback) {
  std::u16string folder;
  return registryFolder(root, key, name, folder) ? folder : fallback;
}

std::u16string windowsFolder() {
  std::u16string folder;
  if (registryFolder(RegistryRoot::LocalMachine, kWindowsNtCurrentVersion, u"SystemRoot", folder,
                     false))
    return folder;
  return u"C:\\windows";
}

std::u16string programFiles(bool wow) {
  if (wow)
    return folderOr(RegistryRoot::LocalMachine, kCurrentVersion, u"ProgramFilesDir (x86)",
                    u"C:\\Program Files (x86)");
  return folderOr(RegistryRoot::LocalMachine, kCurrentVersion, u"ProgramFilesDir",
                  u"C:\\Program Files");
}

std::u16string commonFiles(bool wow) {
  if (wow)
    return folderOr(RegistryRoot::LocalMachine, kCurrentVersion, u"CommonFilesDir (x86)",
                    programFiles(true) + u"\\Common Files");
  return folderOr(RegistryRoot::LocalMachine, kCurrentVersion, u"CommonFilesDir",
                  programFiles(false) + u"\\Common Files");
}

std::u16string machineShellFolder(std::u16string_view name, const std::u16string& fallback) {
  return folderOr(RegistryRoot::LocalMachine, kShellFolders, name, fallback);
}

std::u16string userShellFolder(std::u16string_view name, const std::u16string& fallback) {
  return folderOr(RegistryRoot::CurrentUser, kShellFolders, name, fallback);
}

// A folder of the user's profile: the registry's value, else the usual place
// under the profile folder; false when there is neither.
bool profileShellFolder(std::u16string_view name, std::u16string_view underProfile,
                        std::u16string& path) {
  if (registryFolder(RegistryRoot::CurrentUser, kShellFolders, name, path))
    return true;
  std::u16string profile = profileFolder();
  if (profile.empty())
    return false;
  path = profile + std::u16string(underProfile);
  return true;
}

bool resolveFolder(int csidl, bool wow, std::u16string& path) {
  switch (csidl) {
  case CSIDL_PROGRAM_FILES: path = programFiles(wow); return true;
  case CSIDL_PROGRAM_FILES_COMMON: path = commonFiles(wow); return true;
  case CSIDL_SYSTEM:
    path = windowsFolder() + (wow ? u"\\syswow64" : u"\\system32");
    return true;
  case CSIDL_COMMON_APPDATA:
    path = machineShellFolder(u"Common AppData", u"C:\\ProgramData");
    return true;
  case CSIDL_COMMON_DOCUMENTS:
    path = machineShellFolder(u"Common Documents", u"C:\\users\\Public\\Documents");
    return true;
  case CSIDL_COMMON_PROGRAMS:
    path = machineShellFolder(u"Common Programs",
                              u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
    return true;
  case CSIDL_FONTS: path = userShellFolder(u"Fonts", windowsFolder() + u"\\Fonts"); return true;
  case CSIDL_PERSONAL: return profileShellFolder(u"Personal", u"\\Documents", path);
  case CSIDL_APPDATA: return profileShellFolder(u"AppData", u"\\AppData\\Roaming", path);
  case CSIDL_LOCAL_APPDATA:
    return profileShellFolder(u"Local AppData", u"\\AppData\\Local", path);
  case CSIDL_PROFILE: path = profileFolder(); return !path.empty();
  case CSIDL_FAVORITES: return profileShellFolder(u"Favorites", u"\\Favorites", path);
  case CSIDL_MYPICTURES: return profileShellFolder(u"My Pictures", u"\\Pictures", path);
  case CSIDL_TEMPLATES: return profileShellFolder(u"Templates", u"\\Templates", path);
  default: return false;
  }
}

} // namespace

void setProcessBitness(ProcessBitness bitness) { processBitness = bitness; }

bool isPrefix64Bit() {
  if (!driveRoot(u'C'))
    return false;
  std::shared_ptr<const RegistryHive> machine = loadRegistryHive(RegistryRoot::LocalMachine);
  if (machine && machine->is64Bit())
    return true;
  return pathIsDirectory(u"C:\\windows\\syswow64");
}

bool isWow64Process() {
  return processBitness == ProcessBitness::Bits32 && isPrefix64Bit();
}

bool shGetSpecialFolderPath(int csidl, std::u16string& path) {
  if (!driveRoot(u'C'))
    return false;
  std::u16string folder;
  if (!resolveFolder(csidl, isWow64Process(), folder) || folder.size() > kMaxFolderPath)
    return false;
  path = folder;
  return true;
}

} // namespace platform

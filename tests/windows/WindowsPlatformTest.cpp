// The Windows platform layer on the machine's own file system, registry,
// resources and processes (under Wine in the test run): each test makes
// what it reads in a folder of its own under the temporary folder.
#include "platform/AnsiText.h"
#include "platform/ComLibrary.h"
#include "platform/Files.h"
#include "platform/Guid.h"
#include "platform/MappedFile.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/SpecialFolders.h"
#include "platform/WindowsInstaller.h"
#include "platform/WindowsNamespace.h"
#include "platform/windows/WideText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace platform;

// A fresh folder under the temporary folder, removed with its files.
class Scratch {
public:
  Scratch() {
    std::u16string name;
    newName(name);
    root = getTempPath() + u"fennick-wintest-" + name;
    EXPECT_EQ(shCreateDirectoryEx(root), kErrorSuccess);
  }
  ~Scratch() { removeTree(root); }
  std::u16string path(const std::u16string& relative) const { return root + u"\\" + relative; }
  std::u16string root;

private:
  static void newName(std::u16string& name) {
    Guid guid;
    ASSERT_TRUE(coCreateGuid(guid));
    ASSERT_TRUE(stringFromGuid2(guid, name, 39));
  }
  static void removeTree(const std::u16string& folder) {
    FileEnumeration listing;
    FindData entry;
    for (bool more = listing.findFirst(folder + u"\\*", entry); more;
         more = listing.findNext(entry)) {
      if (entry.name == u"." || entry.name == u"..")
        continue;
      const std::u16string full = folder + u"\\" + entry.name;
      if (entry.isDirectory && !entry.isLink)
        removeTree(full);
      else if (!deleteFile(full))
        removeDirectory(full);
    }
    listing.close();
    removeDirectory(folder);
  }
};

void writeFile(const std::u16string& path, const std::string& text) {
  WriteHandle file(path);
  ASSERT_TRUE(file.valid());
  ASSERT_TRUE(file.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
}

std::vector<FindData> listFolder(const std::u16string& folder) {
  std::vector<FindData> entries;
  FileEnumeration listing;
  FindData entry;
  for (bool more = listing.findFirst(folder + u"\\*", entry); more; more = listing.findNext(entry))
    if (entry.name != u"." && entry.name != u"..")
      entries.push_back(entry);
  EXPECT_EQ(listing.lastError(), kErrorNoMoreFiles);
  return entries;
}

TEST(WindowsFiles, ListingMarksFoldersWithTheIdentityOfWhatTheyAre) {
  Scratch scratch;
  writeFile(scratch.path(u"b.txt"), "b");
  writeFile(scratch.path(u"_under.txt"), "u");
  ASSERT_EQ(shCreateDirectoryEx(scratch.path(u"A\\deeper")), kErrorSuccess);
  writeFile(scratch.path(u"c"), "c");
  std::vector<FindData> entries = listFolder(scratch.root);
  ASSERT_EQ(entries.size(), 4u);
  // Upper-cased, "_" (0x5F) sorts after the letters.
  EXPECT_EQ(entries[0].name, u"A");
  EXPECT_EQ(entries[1].name, u"b.txt");
  EXPECT_EQ(entries[2].name, u"c");
  EXPECT_EQ(entries[3].name, u"_under.txt");
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_FALSE(entries[1].isDirectory);
  FileIdentity direct;
  ASSERT_TRUE(getFileIdentity(scratch.path(u"a"), direct));
  EXPECT_EQ(entries[0].identity, direct);
  EXPECT_NE(direct, FileIdentity{});
}

TEST(WindowsFiles, MissingFoldersAndPatterns) {
  Scratch scratch;
  FileEnumeration listing;
  FindData entry;
  EXPECT_FALSE(listing.findFirst(scratch.path(u"none\\*"), entry));
  EXPECT_EQ(listing.lastError(), kErrorPathNotFound);
  EXPECT_FALSE(listing.findFirst(scratch.path(u"*.txt"), entry));
  EXPECT_FALSE(pathFileExists(scratch.path(u"none")));
  EXPECT_FALSE(pathFileExists(u""));
  EXPECT_TRUE(pathIsDirectory(scratch.root));
}

TEST(WindowsFiles, WriteReplacesAndMappingReadsBack) {
  Scratch scratch;
  const std::u16string file = scratch.path(u"data.bin");
  writeFile(file, "a longer first content");
  writeFile(file, "short");
  std::optional<std::string> host = toHostPath(file);
  ASSERT_TRUE(host);
  MappedFile mapped;
  ASSERT_TRUE(mapped.open(*host));
  EXPECT_EQ(std::string(mapped.bytes().begin(), mapped.bytes().end()), "short");

  writeFile(scratch.path(u"empty"), "");
  MappedFile empty;
  EXPECT_TRUE(empty.open(*toHostPath(scratch.path(u"empty"))));
  EXPECT_TRUE(empty.bytes().empty());

  MappedFile missing;
  EXPECT_FALSE(missing.open(*toHostPath(scratch.path(u"none"))));
  EXPECT_EQ(missing.error(), MappedFile::Error::NotFound);
  MappedFile folder;
  EXPECT_FALSE(folder.open(*toHostPath(scratch.root)));
  EXPECT_EQ(folder.error(), MappedFile::Error::NotReadable);
}

TEST(WindowsFiles, ReadsAndCopiesOnlyRegularFiles) {
  Scratch scratch;
  writeFile(scratch.path(u"source"), "0123456789");
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(readFileStart(scratch.path(u"source"), 4, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");
  ASSERT_TRUE(readFileStart(scratch.path(u"source"), 100, bytes));
  EXPECT_EQ(bytes.size(), 10u);
  EXPECT_FALSE(readFileStart(scratch.root, 4, bytes));
  EXPECT_TRUE(bytes.empty());

  EXPECT_TRUE(copyFile(scratch.path(u"source"), scratch.path(u"copy")));
  ASSERT_TRUE(readFileStart(scratch.path(u"copy"), 100, bytes));
  EXPECT_EQ(bytes.size(), 10u);
  writeFile(scratch.path(u"other"), "kept");
  EXPECT_FALSE(copyFile(scratch.path(u"source"), scratch.path(u"other"))); // never overwrites
  ASSERT_TRUE(readFileStart(scratch.path(u"other"), 100, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "kept");

  // A named pipe with no writer: refused at once, never waited on.
  const std::u16string pipe = u"\\\\.\\pipe\\fennick-wintest-pipe";
  HANDLE server = CreateNamedPipeW(win::wide(pipe), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 4, 0, 0,
                                   0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(readFileStart(pipe, 4, bytes));
  EXPECT_FALSE(copyFile(pipe, scratch.path(u"piped")));
  EXPECT_FALSE(pathFileExists(scratch.path(u"piped")));
  MappedFile mapped;
  EXPECT_FALSE(mapped.open(*toHostPath(pipe)));
  CloseHandle(server);
}

TEST(WindowsFiles, CreatingFoldersReportsExistingOnes) {
  Scratch scratch;
  EXPECT_EQ(shCreateDirectoryEx(scratch.path(u"x\\y\\z")), kErrorSuccess);
  EXPECT_TRUE(pathIsDirectory(scratch.path(u"x\\y\\z")));
  EXPECT_EQ(shCreateDirectoryEx(scratch.path(u"x\\y")), kErrorAlreadyExists);
  const std::u16string temp = getTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
}

TEST(WindowsNamespace, NarrowPathsOfNonAsciiNamesOpenInTheLibraries) {
  Scratch scratch;
  const std::u16string file = scratch.path(u"Pr\u00FCfung \u03A9\u4E2D.xml");
  writeFile(file, "<a/>");
  std::optional<std::string> host = toHostPath(file);
  ASSERT_TRUE(host);
  // The C runtime (and the XML library on it) open narrow names in the ANSI
  // code page; the path must survive that.
  FILE* opened = std::fopen(host->c_str(), "rb");
  ASSERT_NE(opened, nullptr) << *host;
  std::fclose(opened);
  EXPECT_EQ(toWindowsPath("C:/a/b"), u"C:\\a\\b");
  std::string utf8;
  ASSERT_TRUE(win::wideToNarrow(file, CP_UTF8, utf8));
  EXPECT_EQ(toWindowsPath(utf8), file);
}

TEST(WindowsResources, CompiledResourcesAreFoundByTypeAndId) {
  std::span<const std::uint8_t> helper = findResource(kResourceTokenHelper, 141);
  ASSERT_GT(helper.size(), 2u);
  EXPECT_EQ(helper[0], 'M');
  EXPECT_EQ(helper[1], 'Z');
  EXPECT_FALSE(findResource(kResourceScanConfig, 171).empty());
  EXPECT_FALSE(findResource(kResourceCss, 161).empty());
  EXPECT_TRUE(findResource(kResourceTokenHelper, 142).empty());
  EXPECT_TRUE(findResource(kResourceScanConfig, 141).empty());
  EXPECT_TRUE(findResource("0", 141).empty());
  EXPECT_TRUE(findResource("", 141).empty());
  EXPECT_TRUE(findResource("css", 161).empty()); // types are matched as written
  EXPECT_TRUE(findResource("N O", 1).empty());
}

TEST(WindowsProcess, ChildExitCodeAndArgumentSplitting) {
  std::u16string system;
  ASSERT_TRUE(shGetSpecialFolderPath(CSIDL_SYSTEM, system));
  ChildProcess child;
  ASSERT_TRUE(child.start(system + u"\\cmd.exe", u"/c exit 7"));
  int code = -1;
  EXPECT_TRUE(child.wait(&code));
  EXPECT_EQ(code, 7);
  EXPECT_FALSE(child.wait());
  ChildProcess missing;
  EXPECT_FALSE(missing.start(system + u"\\no-such-program.exe", u""));

  std::vector<std::u16string> arguments =
      commandLineToArgv(u"\"C:\\a b\\x.exe\" /o \"a\\\\\" b\\\\\\\"c");
  ASSERT_EQ(arguments.size(), 4u);
  EXPECT_EQ(arguments[0], u"C:\\a b\\x.exe");
  EXPECT_EQ(arguments[2], u"a\\");
  EXPECT_EQ(arguments[3], u"b\\\"c");
}

TEST(WindowsRegistry, ValuesReadWithTheirTypes) {
  const std::u16string key = u"Software\\FennickWindowsTest";
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, win::wide(key), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &created, nullptr),
            ERROR_SUCCESS);
  const std::wstring text(400, L'x'); // longer than a first guess of any buffer
  RegSetValueExW(created, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD((text.size() + 1) * sizeof(wchar_t)));
  const DWORD number = 0x01020304;
  RegSetValueExW(created, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  RegCloseKey(created);

  RegistryValue value;
  ASSERT_TRUE(readRegistryValue(RegistryRoot::CurrentUser, key, u"text", value));
  std::u16string read;
  ASSERT_TRUE(value.text(read));
  EXPECT_EQ(read.size(), 400u);
  ASSERT_TRUE(readRegistryValue(RegistryRoot::CurrentUser, key, u"Number", value));
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data, (std::vector<std::uint8_t>{4, 3, 2, 1}));
  EXPECT_FALSE(value.text(read));
  EXPECT_FALSE(readRegistryValue(RegistryRoot::CurrentUser, key, u"None", value));
  EXPECT_FALSE(readRegistryValue(RegistryRoot::LocalMachine, key + u"\\None", u"", value));
  RegDeleteTreeW(HKEY_CURRENT_USER, win::wide(key));
}

TEST(WindowsGuid, FreshGuidsInRegistryForm) {
  Guid first, second;
  ASSERT_TRUE(coCreateGuid(first));
  ASSERT_TRUE(coCreateGuid(second));
  std::u16string a, b = u"unchanged";
  ASSERT_TRUE(stringFromGuid2(first, a, 39));
  EXPECT_FALSE(stringFromGuid2(second, b, 38));
  EXPECT_EQ(b, u"unchanged");
  ASSERT_TRUE(stringFromGuid2(second, b, 64));
  EXPECT_NE(a, b);
  ASSERT_EQ(a.size(), 38u);
  EXPECT_EQ(a.front(), u'{');
  EXPECT_EQ(a[14], u'-');
  EXPECT_EQ(a[15] , u'4'); // version 4: random
}

TEST(WindowsShell, FoldersOfThisProcess) {
  std::u16string programs;
  ASSERT_TRUE(shGetSpecialFolderPath(CSIDL_PROGRAM_FILES, programs));
  EXPECT_EQ(programs.find(u"(x86)") == std::u16string::npos, !isWow64Process());
  std::u16string unchanged = u"same";
  EXPECT_FALSE(shGetSpecialFolderPath(0x3F, unchanged));
  EXPECT_EQ(unchanged, u"same");
  EXPECT_TRUE(isPrefix64Bit() || sizeof(void*) == 4);
}

TEST(WindowsInstaller, UnknownAndMalformedProducts) {
  char16_t buffer[260];
  std::uint32_t length = 260;
  EXPECT_EQ(msiGetProductInfo(u"{00000000-1111-2222-3333-444444444444}", u"InstallLocation",
                              buffer, length),
            kErrorUnknownProduct);
  length = 260;
  EXPECT_EQ(msiGetProductInfo(u"not a guid", u"InstallLocation", buffer, length),
            kErrorInvalidParameter);
  std::vector<std::u16string> paths{u"kept"};
  EXPECT_EQ(msiProductComponentPaths(u"{00000000-1111-2222-3333-444444444444}", paths),
            kErrorUnknownProduct);
  EXPECT_EQ(msiProductComponentPaths(u"{0000", paths), kErrorInvalidParameter);
  EXPECT_EQ(paths, std::vector<std::u16string>{u"kept"});
  std::u16string keyPath = u"kept";
  EXPECT_EQ(msiGetComponentPath(u"{00000000-1111-2222-3333-444444444444}",
                                u"{00000000-1111-2222-3333-555555555555}", keyPath),
            kInstallStateUnknown);
  EXPECT_EQ(msiGetComponentPath(u"{0000", u"{0000", keyPath), kInstallStateInvalidArgument);
  EXPECT_EQ(keyPath, u"kept");
}

TEST(WindowsText, AnsiConversionsReportLoss) {
  std::string narrow;
  // No single-byte ANSI code page holds all three scripts.
  EXPECT_FALSE(win::wideToNarrow(u"\u00E9\u03A9\u4E2D", CP_ACP, narrow));
  std::u16string wide;
  EXPECT_FALSE(win::narrowToWide("\xC3(", CP_UTF8, wide));
  ASSERT_TRUE(win::narrowToWide("\xC3\xA9", CP_UTF8, wide));
  EXPECT_EQ(wide, u"\u00E9");
}

TEST(WindowsText, DictionaryRoundTripThroughTheAnsiCodePage) {
  // A character of the code page comes back; one it lacks comes back as the
  // code page's replacement, not as nothing and not as a failure.
  wchar_t inPage = 0;
  for (wchar_t candidate : {L'\u00E9', L'\u0436', L'\u03A9'}) {
    BOOL lost = FALSE;
    char byte[4];
    if (WideCharToMultiByte(CP_ACP, 0, &candidate, 1, byte, sizeof byte, nullptr, &lost) == 1 &&
        !lost) {
      inPage = candidate;
      break;
    }
  }
  ASSERT_NE(inPage, 0) << "the ANSI code page holds none of the candidates";
  const std::u16string text = u"key=" + std::u16string(1, char16_t(inPage)) + u"\u4E2D\u0F00";
  std::string ansi;
  ASSERT_TRUE(wideToAnsi(text, ansi));
  std::u16string back;
  ASSERT_TRUE(ansiToWide(ansi, back));
  ASSERT_EQ(back.size(), text.size());
  EXPECT_EQ(back.substr(0, 5), text.substr(0, 5));
  EXPECT_NE(back.substr(5), text.substr(5));
}

TEST(WindowsCom, ThreadsEnterASingleThreadedApartment) {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  std::thread([&] {
    initializeComLibrary();
    // A second apartment model on the same thread is refused: the first call
    // chose the single-threaded one.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
  }).join();
  // The first single-threaded apartment of a process is its main one.
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
}

} // namespace

// The Windows platform layer on the machine's own file system, registry,
// resources and processes (under Wine in the test run): each test makes
// what it reads in a folder of its own under the temporary folder.
#include "config/XmlDocument.h"
#include "finders/InstallerDatabase.h"
#include "platform/AnsiText.h"
#include "platform/ComLibrary.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/Guid.h"
#include "platform/MappedFile.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/SpecialFolders.h"
#include "platform/WindowsInstaller.h"
#include "platform/WindowsNamespace.h"
#include "platform/ZipFileFunctions.h"
#include "platform/windows/WideText.h"
#include "util/Text.h"
#include "util/WorkerPool.h"

#include <windows.h>

#include <minizip/unzip.h>
#include <sqlite3.h>

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

// A ZIP archive without members: its end-of-central-directory record after a
// prologue (the reader takes a record at offset 0 for no record at all).
const std::string kEmptyArchive("prologue" + std::string("PK\x05\x06") + std::string(18, '\0'));

// Whether the archive reader opens the archive at path.
bool opensAsArchive(const std::u16string& path) {
  zlib_filefunc64_def functions = windowsPathFileFunctions();
  unzFile archive = unzOpen2_64(path.c_str(), &functions);
  if (!archive)
    return false;
  unzClose(archive);
  return true;
}

// Holds a file open for writing, sharing every access, as a program that
// keeps its log, database or archive open does.
class HeldForWriting {
public:
  explicit HeldForWriting(const std::u16string& path)
      : handle(CreateFileW(win::wide(path), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr)) {}
  ~HeldForWriting() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
  bool held() const { return handle != INVALID_HANDLE_VALUE; }

private:
  HANDLE handle;
};

TEST(WindowsFiles, FilesHeldOpenForWritingAreStillRead) {
  Scratch scratch;
  const std::u16string data = scratch.path(u"in use.log");
  const std::u16string archive = scratch.path(u"in use.zip");
  const std::u16string document = scratch.path(u"in use.xml");
  writeFile(data, "0123456789");
  writeFile(archive, kEmptyArchive);
  writeFile(document, "<win64><Common>C:\\x</Common></win64>");
  HeldForWriting heldData(data), heldArchive(archive), heldDocument(document);
  ASSERT_TRUE(heldData.held() && heldArchive.held() && heldDocument.held());

  // Each way of reading on its own: one failing does not hide another.
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(readFileStart(data, 4, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");
  EXPECT_TRUE(copyFile(data, scratch.path(u"copy.log")));
  EXPECT_TRUE(pathFileExists(scratch.path(u"copy.log")));
  MappedFile mapped;
  EXPECT_TRUE(mapped.open(*toHostPath(data)));
  EXPECT_EQ(mapped.bytes().size(), 10u);
  EXPECT_TRUE(opensAsArchive(archive));
  XmlDocumentPtr loaded;
  EXPECT_TRUE(loadXmlFile(document, loaded));
  FileIdentity identity;
  EXPECT_TRUE(getFileIdentity(data, identity));
}

TEST(WindowsFiles, ACopyReplacesOnlyWhenAskedTo) {
  Scratch scratch;
  writeFile(scratch.path(u"report"), "new report");
  writeFile(scratch.path(u"kept"), "an earlier, longer report");
  EXPECT_FALSE(copyFile(scratch.path(u"report"), scratch.path(u"kept")));
  ASSERT_TRUE(copyFile(scratch.path(u"report"), scratch.path(u"kept"), CopyTarget::Replace));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(readFileStart(scratch.path(u"kept"), 100, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new report");
  // A target that a viewer holds open is replaced too; a folder is not.
  {
    HANDLE viewer = CreateFileW(win::wide(scratch.path(u"kept")), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(copyFile(scratch.path(u"report"), scratch.path(u"kept"), CopyTarget::Replace));
    CloseHandle(viewer);
  }
  ASSERT_EQ(shCreateDirectoryEx(scratch.path(u"folder")), kErrorSuccess);
  EXPECT_FALSE(copyFile(scratch.path(u"report"), scratch.path(u"folder"), CopyTarget::Replace));
  EXPECT_TRUE(pathIsDirectory(scratch.path(u"folder")));
}

TEST(WindowsFiles, PathsLongerThanMaxPathWorkInEveryCall) {
  Scratch scratch;
  std::u16string folder = scratch.root;
  while (folder.size() < 300)
    folder += u"\\a folder name of some length";
  ASSERT_EQ(shCreateDirectoryEx(folder), kErrorSuccess);
  EXPECT_EQ(shCreateDirectoryEx(folder), kErrorAlreadyExists);
  EXPECT_TRUE(pathIsDirectory(folder));
  const std::u16string file = folder + u"\\data.xml";
  ASSERT_GT(file.size(), std::size_t(MAX_PATH));
  writeFile(file, "<win64/>");
  EXPECT_TRUE(pathFileExists(file));
  EXPECT_FALSE(pathIsDirectory(file));
  std::vector<FindData> entries = listFolder(folder);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, u"data.xml");
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(readFileStart(file, 100, bytes));
  EXPECT_EQ(bytes.size(), 8u);
  {
    MappedFile mapped;
    ASSERT_TRUE(mapped.open(*toHostPath(file)));
    EXPECT_EQ(mapped.bytes().size(), 8u);
  }
  XmlDocumentPtr loaded;
  EXPECT_TRUE(loadXmlFile(file, loaded));
  ASSERT_TRUE(copyFile(file, folder + u"\\copy.zip"));
  writeFile(folder + u"\\copy.zip", kEmptyArchive);
  EXPECT_TRUE(opensAsArchive(folder + u"\\copy.zip"));
  FileIdentity identity;
  EXPECT_TRUE(getFileIdentity(folder, identity));
  EXPECT_TRUE(deleteFile(file));
  EXPECT_FALSE(pathFileExists(file));
}

// Makes a database at a Windows path with one table of one value.
void makeDatabase(const std::u16string& path) {
  std::optional<std::string> host = toHostPath(path);
  ASSERT_TRUE(host);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(host->c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            sqliteFileSystem()),
            SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "create table t(v); insert into t values('x')", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(db);
}

TEST(WindowsFiles, DatabasesOpenAtLongAndForeignPaths) {
  Scratch scratch;
  std::u16string folder = scratch.path(u"\u00E9\u4E2D");
  // Longer than the limit of SQLite's default layer (four bytes of UTF-8 for
  // each of MAX_PATH units).
  while (folder.size() < 1100)
    folder += u"\\a folder name of some length";
  ASSERT_EQ(shCreateDirectoryEx(folder), kErrorSuccess);
  for (const std::u16string& path :
       {scratch.path(u"\u4E2D\u6587.db"), folder + u"\\pdb.db"}) {
    makeDatabase(path);
    ASSERT_TRUE(pathFileExists(path));
    std::string utf8;
    ASSERT_TRUE(win::wideToNarrow(path, CP_UTF8, utf8));
    InstallerDatabase database;
    EXPECT_TRUE(database.open(utf8.c_str())) << utf8.size();
    EXPECT_TRUE(database.close());
  }
}

TEST(WindowsFiles, NamesOutsideTheAnsiCodePageOpenEverywhere) {
  Scratch scratch;
  const std::u16string folder = scratch.path(u"\u4E2D\u6587 \u03A9");
  ASSERT_EQ(shCreateDirectoryEx(folder), kErrorSuccess);
  const std::u16string file = folder + u"\\token.xml";
  writeFile(file, "<win64><Common>C:\\x</Common></win64>");
  XmlDocumentPtr loaded;
  ASSERT_TRUE(loadXmlFile(file, loaded));
  std::u16string text;
  EXPECT_TRUE(firstXPathText(loaded, u"//win64/Common", text));
  EXPECT_EQ(text, u"C:\\x");
  writeFile(folder + u"\\a.zip", kEmptyArchive);
  EXPECT_TRUE(opensAsArchive(folder + u"\\a.zip"));
  EXPECT_TRUE(copyFile(file, folder + u"\\\u00E9.xml"));
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

TEST(WindowsNamespace, CommandLinePathsBecomeAbsoluteAsTheSystemMakesThem) {
  // Shares and extended-length paths keep their leading separators.
  EXPECT_EQ(absoluteWindowsPath("\\\\server\\share\\dir\\file.exe"),
            u"\\\\server\\share\\dir\\file.exe");
  EXPECT_EQ(absoluteWindowsPath("//server/share/dir/../file.exe"), u"\\\\server\\share\\file.exe");
  EXPECT_EQ(absoluteWindowsPath("\\\\?\\C:\\x\\file.exe"), u"\\\\?\\C:\\x\\file.exe");
  EXPECT_EQ(absoluteWindowsPath("C:\\a\\.\\b\\..\\c.dll"), u"C:\\a\\c.dll");
  // A relative path is taken from the current folder, in UTF-8.
  wchar_t current[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
  ASSERT_GT(length, 0u);
  std::u16string expected = win::fromWide(current, length);
  if (expected.back() != u'\\')
    expected += u'\\';
  EXPECT_EQ(absoluteWindowsPath("sub\\Gr\xC3\xBC\xC3\x9F" "e.exe"), expected + u"sub\\Gr\u00FC\u00DFe.exe");
  EXPECT_EQ(absoluteWindowsPath(""), u"");
}

TEST(WindowsConsole, TextForAFileKeepsTheConsoleCodePage) {
  // Output that goes to a file or a pipe is text in the console's code page,
  // byte for byte what consoleText gives.
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\n";
  writeText(file, text);
  std::fflush(file);
  std::rewind(file);
  char read[64] = {};
  const std::size_t got = std::fread(read, 1, sizeof read, file);
  std::fclose(file);
  EXPECT_EQ(std::string(read, got), consoleText(text));
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
  // The system folder of this process's own bitness (the special folder is
  // the 32-bit program's, whose programs this machine cannot run).
  wchar_t systemFolder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(systemFolder, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::u16string system = win::fromWide(systemFolder, length);
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

TEST(WindowsProcess, CriticalErrorsComeBackToTheProgram) {
  const UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
  failCriticalErrorsSilently();
  // The flag is added; what was set stays.
  EXPECT_EQ(GetErrorMode(), UINT(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS));
  SetErrorMode(before);
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

// The 64-bit build plays the 32-bit program as the 32-bit build does: on a
// 64-bit Windows it sees the "(x86)" program folders and SysWOW64 and runs the
// folder-token helper; the helper, declared the 64-bit program, sees the
// native folders.
TEST(WindowsShell, EveryBuildSeesTheFoldersOfThe32BitProgram) {
  ASSERT_TRUE(isPrefix64Bit()) << "the tests run on a 64-bit Windows";
  auto folder = [](int csidl) {
    std::u16string path;
    EXPECT_TRUE(shGetSpecialFolderPath(csidl, path)) << csidl;
    toUpperAscii(path);
    return path;
  };
  EXPECT_TRUE(isWow64Process());
  EXPECT_NE(folder(CSIDL_PROGRAM_FILES).find(u"(X86)"), std::u16string::npos);
  EXPECT_NE(folder(CSIDL_PROGRAM_FILES_COMMON).find(u"(X86)"), std::u16string::npos);
  EXPECT_TRUE(endsWithNoCase(folder(CSIDL_SYSTEM), u"\\SYSWOW64"));
  setProcessBitness(ProcessBitness::Bits64);
  EXPECT_FALSE(isWow64Process());
  EXPECT_EQ(folder(CSIDL_PROGRAM_FILES).find(u"(X86)"), std::u16string::npos);
  EXPECT_EQ(folder(CSIDL_PROGRAM_FILES_COMMON).find(u"(X86)"), std::u16string::npos);
  EXPECT_TRUE(endsWithNoCase(folder(CSIDL_SYSTEM), u"\\SYSTEM32"));
  setProcessBitness(ProcessBitness::Bits32);
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

TEST(WindowsCom, EveryCheckingThreadWorksInAnApartmentOfItsOwn) {
  constexpr std::size_t kPieces = 16;
  std::vector<HRESULT> apartments(kPieces, E_FAIL);
  std::vector<APTTYPE> types(kPieces, APTTYPE_CURRENT);
  std::vector<DWORD> threads(kPieces, 0);
  runOnWorkers(
      kPieces, 4,
      [&](std::size_t i) {
        APTTYPEQUALIFIER qualifier;
        apartments[i] = CoGetApartmentType(&types[i], &qualifier);
        threads[i] = GetCurrentThreadId();
        Sleep(5); // every thread gets some of the work
      },
      [](std::size_t) {});
  for (std::size_t i = 0; i < kPieces; ++i) {
    EXPECT_EQ(apartments[i], S_OK) << i;
    EXPECT_TRUE(types[i] == APTTYPE_STA || types[i] == APTTYPE_MAINSTA) << i << " " << types[i];
    EXPECT_NE(threads[i], GetCurrentThreadId()) << i;
  }
}

TEST(WindowsCom, AnApartmentOfAThreadIsLeftWhenItGoes) {
  std::thread([] {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    {
      ComApartment apartment;
      EXPECT_TRUE(apartment.entered());
      ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
      EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
      // Entered twice, left twice: the inner one only counts.
      ComApartment inner;
      EXPECT_TRUE(inner.entered());
    }
    EXPECT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
    // A thread of the other model keeps its own and leaves nothing behind.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      ComApartment refused;
      EXPECT_FALSE(refused.entered());
    }
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
    CoUninitialize();
  }).join();
}

} // namespace

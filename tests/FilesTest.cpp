// File operations on Windows paths: existence, enumeration, writing,
// deleting (the read-only rule), folder creation codes and where links lead.
#include "platform/Files.h"
#include "platform/MappedFile.h"
#include "TestPrefix.h"
#include "util/FileHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(Files, ExistenceAndDirectoryTests) {
  TestPrefix prefix;
  prefix.writeFile("dir/file.txt");
  EXPECT_TRUE(platform::pathFileExists(u"C:\\dir\\file.txt"));
  EXPECT_TRUE(platform::pathFileExists(u"C:\\DIR"));
  EXPECT_TRUE(platform::pathIsDirectory(u"c:\\dir"));
  EXPECT_FALSE(platform::pathIsDirectory(u"C:\\dir\\file.txt"));
  EXPECT_FALSE(platform::pathFileExists(u"C:\\dir\\missing"));
  EXPECT_FALSE(platform::pathFileExists(u"Q:\\dir"));
  // Links are followed: what a link leads to decides, and a dangling link
  // is nothing.
  fs::create_directory_symlink(prefix.driveC("dir"), prefix.driveC("dirlink"));
  fs::create_symlink(prefix.driveC("dir/file.txt"), prefix.driveC("filelink.txt"));
  fs::create_symlink(prefix.driveC("nowhere"), prefix.driveC("dangling"));
  EXPECT_TRUE(platform::pathIsDirectory(u"C:\\dirlink"));
  EXPECT_TRUE(platform::pathFileExists(u"C:\\filelink.txt"));
  EXPECT_FALSE(platform::pathIsDirectory(u"C:\\filelink.txt"));
  EXPECT_FALSE(platform::pathFileExists(u"C:\\dangling"));
  EXPECT_FALSE(platform::pathIsDirectory(u"C:\\dangling"));
  platform::FileState file = platform::getFileState(u"C:\\filelink.txt");
  platform::FileState target = platform::getFileState(u"C:\\dir\\file.txt");
  EXPECT_TRUE(file.exists && file.regular);
  EXPECT_TRUE(file.identity == target.identity);
  EXPECT_FALSE(platform::getFileState(u"C:\\dangling").exists);
}

TEST(Files, EnumerationGivesNamesAndDirectoryAttributeLinksIncluded) {
  TestPrefix prefix;
  prefix.writeFile("top/a.dll");
  fs::create_directories(prefix.driveC("top/sub"));
  fs::create_directory_symlink(prefix.driveC("top/sub"), prefix.driveC("top/link"));
  platform::FileEnumeration enumeration;
  platform::FindData entry;
  ASSERT_TRUE(enumeration.findFirst(u"C:\\top\\*", entry));
  std::set<std::u16string> directories, files, links;
  do {
    (entry.isDirectory ? directories : files).insert(entry.name);
    if (entry.isLink)
      links.insert(entry.name);
  } while (enumeration.findNext(entry));
  EXPECT_EQ(enumeration.lastError(), platform::kErrorNoMoreFiles);
  EXPECT_EQ(files, (std::set<std::u16string>{u"a.dll"}));
  EXPECT_EQ(directories, (std::set<std::u16string>{u".", u"..", u"sub", u"link"}));
  EXPECT_EQ(links, (std::set<std::u16string>{u"link"}));

  platform::FileEnumeration missing;
  EXPECT_FALSE(missing.findFirst(u"C:\\nowhere\\*", entry));
  EXPECT_FALSE(missing.findFirst(u"C:\\top\\a.dll\\*", entry));
}

TEST(Files, WriteCreatesAlwaysButNeverOverwritesReadOnly) {
  TestPrefix prefix;
  const std::uint8_t first[] = {'o', 'n', 'e', '!'};
  const std::uint8_t second[] = {'t', 'w'};
  ASSERT_TRUE(writeFile(u"C:\\f.bin", first, sizeof first));
  ASSERT_TRUE(writeFile(u"C:\\f.bin", second, sizeof second));
  EXPECT_EQ(fs::file_size(prefix.driveC("f.bin")), 2u);
  fs::permissions(prefix.driveC("f.bin"), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_FALSE(writeFile(u"C:\\f.bin", first, sizeof first));
  EXPECT_FALSE(platform::deleteFile(u"C:\\f.bin"));
  EXPECT_TRUE(fs::exists(prefix.driveC("f.bin")));
  EXPECT_FALSE(writeFile(u"C:\\no\\such\\folder\\f.bin", first, sizeof first));
}

TEST(Files, WritesAndLogAppendsNeverFollowALinkInTheFilesPlace) {
  TestPrefix prefix;
  prefix.writeFile("victim.txt", "kept");
  fs::create_symlink(prefix.driveC("victim.txt"), prefix.driveC("written.bin"));
  fs::create_symlink(prefix.driveC("victim.txt"), prefix.driveC("appended.log"));
  const std::uint8_t bytes[] = {'x'};
  EXPECT_FALSE(writeFile(u"C:\\written.bin", bytes, sizeof bytes));
  EXPECT_FALSE(platform::appendToFile(u"C:\\appended.log", bytes));
  std::ifstream victim(prefix.driveC("victim.txt"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "kept");

  EXPECT_TRUE(platform::appendToFile(u"C:\\new.log", bytes));
  EXPECT_TRUE(platform::appendToFile(u"C:\\new.log", bytes));
  EXPECT_EQ(fs::file_size(prefix.driveC("new.log")), 2u);
  EXPECT_EQ(fs::status(prefix.driveC("new.log")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

namespace {

// The temporary folder getTempPath gives, as a host path, with $TMPDIR set
// to base.
std::string tempFolderIn(const fs::path& base) {
  ScopedEnvironment tmpdir("TMPDIR", base.string());
  std::u16string windows = platform::getTempPath();
  return windows.empty() ? std::string() : platform::toHostPath(windows).value_or("?");
}

} // namespace

TEST(Files, TemporaryFolderIsTheUsersOwnAndNeverOneSomeoneElsePlanted) {
  TestPrefix prefix;
  const fs::path shared = prefix.root / "shared-tmp";
  fs::create_directories(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  const fs::path own = shared / ("fennick-" + std::to_string(geteuid()));

  const mode_t oldMask = umask(0);
  EXPECT_EQ(tempFolderIn(shared), own.string());
  umask(oldMask);
  EXPECT_EQ(fs::status(own).permissions() & fs::perms::mask, fs::perms::owner_all);
  EXPECT_EQ(tempFolderIn(shared), own.string()); // found again as made

  fs::permissions(own, fs::perms::group_all | fs::perms::others_all, fs::perm_options::add);
  EXPECT_EQ(tempFolderIn(shared), ""); // open to others: not private
  fs::remove(own);

  // A link in its place, wherever it leads: refused, and nothing is made there.
  fs::create_directories(prefix.root / "elsewhere");
  fs::create_directory_symlink(prefix.root / "elsewhere", own);
  EXPECT_EQ(tempFolderIn(shared), "");
  fs::remove(own);
  fs::create_symlink(prefix.root / "missing", own);
  EXPECT_EQ(tempFolderIn(shared), "");
  EXPECT_FALSE(fs::exists(prefix.root / "missing"));
  fs::remove(own);

  // A file there, or a folder someone else owns (only the superuser can
  // plant one as another user here).
  std::ofstream(own) << "planted";
  EXPECT_EQ(tempFolderIn(shared), "");
  fs::remove(own);
  if (geteuid() == 0) {
    fs::create_directory(own);
    fs::permissions(own, fs::perms::owner_all, fs::perm_options::replace);
    ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(tempFolderIn(shared), "");
  } else {
    std::printf("not run as root: no folder of another owner can be planted\n");
  }
}

TEST(Files, DeleteAndRemoveNeverFollowLinks) {
  TestPrefix prefix;
  prefix.writeFile("outside/keep.txt");
  fs::create_directories(prefix.driveC("tree"));
  fs::create_directory_symlink(prefix.driveC("outside"), prefix.driveC("tree/dirlink"));
  fs::create_symlink(prefix.driveC("outside/keep.txt"), prefix.driveC("tree/filelink"));
  EXPECT_FALSE(platform::deleteFile(u"C:\\tree"));
  EXPECT_TRUE(platform::deleteFile(u"C:\\tree\\filelink"));
  EXPECT_TRUE(platform::removeDirectory(u"C:\\tree\\dirlink"));
  EXPECT_TRUE(fs::exists(prefix.driveC("outside/keep.txt")));
  EXPECT_FALSE(platform::removeDirectory(u"C:\\outside"));  // not empty
  EXPECT_TRUE(platform::removeDirectory(u"C:\\tree"));
}

TEST(Files, CreateDirectoryReportsWindowsCodes) {
  TestPrefix prefix;
  EXPECT_EQ(platform::shCreateDirectoryEx(u"C:\\a\\b\\c"), platform::kErrorSuccess);
  EXPECT_TRUE(fs::is_directory(prefix.driveC("a/b/c")));
  EXPECT_EQ(platform::shCreateDirectoryEx(u"C:\\A\\B\\C"), platform::kErrorAlreadyExists);
  prefix.writeFile("plain");
  // A file in the way is no folder: creation fails instead of claiming success.
  EXPECT_NE(platform::shCreateDirectoryEx(u"C:\\plain"), platform::kErrorAlreadyExists);
  EXPECT_NE(platform::shCreateDirectoryEx(u"C:\\plain\\sub"), platform::kErrorSuccess);
  EXPECT_NE(platform::shCreateDirectoryEx(u"Q:\\x"), platform::kErrorSuccess);
}

TEST(Files, Utf8PathHelpers) {
  TestPrefix prefix;
  prefix.writeFile("gone.db");
  EXPECT_TRUE(fileExists("C:\\gone.db"));
  EXPECT_TRUE(deleteFileIfExists("C:\\gone.db"));
  EXPECT_FALSE(fileExists("C:\\gone.db"));
  EXPECT_TRUE(deleteFileIfExists("C:\\gone.db"));
}

TEST(Files, EnumerationListsNamesInFoldedOrderOnEveryMachine) {
  TestPrefix prefix;
  for (const char* name : {"b.dll", "C.dll", "a.dll", "B.DLL", "_x", "Z"})
    prefix.writeFile(std::string("sorted/") + name);
  platform::FileEnumeration enumeration;
  platform::FindData entry;
  std::vector<std::u16string> names;
  ASSERT_TRUE(enumeration.findFirst(u"C:\\sorted\\*", entry));
  do {
    names.push_back(entry.name);
  } while (enumeration.findNext(entry));
  EXPECT_EQ(names, (std::vector<std::u16string>{u".", u"..", u"a.dll", u"B.DLL", u"b.dll",
                                                u"C.dll", u"Z", u"_x"}));
}

TEST(Files, EnumerationTellsSpecialFilesFromFilesAndFolders) {
  TestPrefix prefix;
  prefix.writeFile("mixed/file.exe");
  fs::create_directories(prefix.driveC("mixed/folder.exe"));
  ASSERT_EQ(mkfifo(prefix.driveC("mixed/pipe.exe").c_str(), 0600), 0);
  fs::create_symlink(prefix.driveC("mixed/pipe.exe"), prefix.driveC("mixed/pipelink.exe"));
  platform::FileEnumeration enumeration;
  platform::FindData entry;
  std::set<std::u16string> special;
  ASSERT_TRUE(enumeration.findFirst(u"C:\\mixed\\*", entry));
  do {
    if (entry.isSpecial)
      special.insert(entry.name);
  } while (enumeration.findNext(entry));
  EXPECT_EQ(special, (std::set<std::u16string>{u"pipe.exe", u"pipelink.exe"}));
}

TEST(Files, FinalPathFollowsEveryLinkToOneSpelling) {
  TestPrefix prefix;
  prefix.writeFile("real/sub/file.dll");
  fs::create_directory_symlink(prefix.driveC("real"), prefix.driveC("alias"));
  fs::create_symlink("sub/file.dll", prefix.driveC("real/filelink.dll"));
  fs::create_symlink(prefix.driveC("nowhere"), prefix.driveC("real/dangling"));
  std::u16string direct, throughLinks, folder;
  ASSERT_TRUE(platform::getFinalPath(u"C:\\real\\sub\\file.dll", direct));
  EXPECT_EQ(direct, u"C:\\real\\sub\\file.dll");
  ASSERT_TRUE(platform::getFinalPath(u"c:\\ALIAS\\filelink.dll", throughLinks));
  EXPECT_EQ(throughLinks, direct);
  ASSERT_TRUE(platform::getFinalPath(u"C:\\alias", folder));
  EXPECT_EQ(folder, u"C:\\real");
  EXPECT_FALSE(platform::getFinalPath(u"C:\\real\\dangling", folder));
  EXPECT_FALSE(platform::getFinalPath(u"C:\\missing", folder));
  EXPECT_EQ(folder, u"C:\\real");
}

TEST(Files, MappedFilesGiveTheSameBytesReadWholeOrMapped) {
  // Files up to the limit are read whole when opened, larger ones mapped;
  // either way the bytes, and the pieces of every range read, are the
  // file's.
  const fs::path folder = fs::path(::testing::TempDir()) / "mapped-files";
  fs::create_directories(folder);
  const std::size_t limit = platform::MappedFile::kWholeReadLimit;
  for (std::size_t size : {std::size_t(1), std::size_t(4097), limit - 1, limit, limit + 1,
                           3 * platform::MappedFile::kReadChunkSize + 7 + limit}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
      bytes[i] = char((i * 131 + size) % 251);
    const fs::path file = folder / ("file-" + std::to_string(size));
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(size));
    platform::MappedFile mapped;
    ASSERT_TRUE(mapped.open(file.string())) << size;
    ASSERT_EQ(mapped.bytes().size(), size);
    EXPECT_TRUE(std::equal(mapped.bytes().begin(), mapped.bytes().end(), bytes.begin(),
                           [](std::uint8_t a, char b) { return a == std::uint8_t(b); }))
        << size;
    const std::uint64_t from = size / 3, length = size - size / 3;
    std::string read;
    EXPECT_TRUE(mapped.readRange(from, length, [&](std::span<const std::uint8_t> piece) {
      EXPECT_LE(piece.size(), platform::MappedFile::kReadChunkSize);
      read.append(reinterpret_cast<const char*>(piece.data()), piece.size());
      return true;
    }));
    EXPECT_EQ(read, bytes.substr(from)) << size;
    EXPECT_FALSE(mapped.readRange(size - 1, 2, [](std::span<const std::uint8_t>) { return true; }));
    int pieces = 0;
    EXPECT_FALSE(mapped.readRange(0, size, [&](std::span<const std::uint8_t>) { return ++pieces < 1; }));
  }
  platform::MappedFile empty;
  std::ofstream(folder / "empty").close();
  ASSERT_TRUE(empty.open((folder / "empty").string()));
  EXPECT_TRUE(empty.bytes().empty());
  platform::MappedFile missing;
  EXPECT_FALSE(missing.open((folder / "missing").string()));
  EXPECT_EQ(missing.error(), platform::MappedFile::Error::NotFound);
  platform::MappedFile directory;
  EXPECT_FALSE(directory.open(folder.string()));
  EXPECT_EQ(directory.error(), platform::MappedFile::Error::NotReadable);
  fs::remove_all(folder);
}

// The ZIP reader opens archives named by Windows paths through the
// platform namespace.
#include "platform/ZipFileFunctions.h"

#include "Fixtures.h"
#include "platform/WindowsNamespace.h"
#include "validation/JarValidator.h"
#include "validation/ValidationResult.h"

#include <minizip/unzip.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class ZipFileFunctions : public ::testing::Test {
protected:
  void SetUp() override {
    prefix = fs::temp_directory_path() /
             ("fennick-zip-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(prefix);
    fs::create_directories(prefix / "drive_c/Program Files/Orvia");
    fs::copy_file(fixtures::folder("jar") + "/sha-digest.jar",
                  prefix / "drive_c/Program Files/Orvia/Signed.jar");
    platform::setPrefix(prefix.string());
  }
  void TearDown() override { fs::remove_all(prefix); }

  // The number of entries of the archive at path, or -1 when it does not open.
  static long entryCount(const std::u16string& path) {
    zlib_filefunc64_def files = platform::windowsPathFileFunctions();
    unzFile archive = unzOpen2_64(path.c_str(), &files);
    if (!archive)
      return -1;
    unz_global_info64 info{};
    long count = unzGetGlobalInfo64(archive, &info) == UNZ_OK ? long(info.number_entry) : -2;
    unzClose(archive);
    return count;
  }

  fs::path prefix;
};

} // namespace

TEST_F(ZipFileFunctions, OpensThroughDriveAndFoldedNames) {
  EXPECT_EQ(entryCount(u"C:\\Program Files\\Orvia\\Signed.jar"), 6);
  EXPECT_EQ(entryCount(u"c:\\PROGRAM FILES\\orvia\\signed.JAR"), 6);
  JarValidator validator;
  EXPECT_EQ(validator.validate(u"C:\\program files\\ORVIA\\Signed.jar"), ValidationResult::Verified);
}

TEST_F(ZipFileFunctions, MissingFilesAndUnmappedDrivesDoNotOpen) {
  EXPECT_EQ(entryCount(u"C:\\Program Files\\Orvia\\Missing.jar"), -1);
  EXPECT_EQ(entryCount(u"Q:\\Signed.jar"), -1);
  EXPECT_EQ(entryCount(u"C:\\Program Files\\Orvia"), -1);
  EXPECT_EQ(entryCount(u"\\\\server\\share\\Signed.jar"), -1);
}

TEST_F(ZipFileFunctions, SeeksAndReadsAsAFileDoes) {
  // The reader's own view of the file: reads from the place, moves from the
  // start, the place or the end, never before the start, and reads nothing
  // past the end.
  const std::u16string path = u"C:\\Program Files\\Orvia\\Signed.jar";
  const fs::path host = prefix / "drive_c/Program Files/Orvia/Signed.jar";
  const auto size = static_cast<ZPOS64_T>(fs::file_size(host));
  zlib_filefunc64_def files = platform::windowsPathFileFunctions();
  voidpf stream = files.zopen64_file(files.opaque, path.c_str(), ZLIB_FILEFUNC_MODE_READ |
                                                                    ZLIB_FILEFUNC_MODE_EXISTING);
  ASSERT_NE(stream, nullptr);
  char bytes[4] = {};
  EXPECT_EQ(files.zread_file(files.opaque, stream, bytes, 2), 2u);
  EXPECT_EQ(std::string(bytes, 2), "PK");
  EXPECT_EQ(files.ztell64_file(files.opaque, stream), 2u);
  EXPECT_EQ(files.zseek64_file(files.opaque, stream, ZPOS64_T(-2), ZLIB_FILEFUNC_SEEK_CUR), 0);
  EXPECT_EQ(files.ztell64_file(files.opaque, stream), 0u);
  EXPECT_EQ(files.zseek64_file(files.opaque, stream, ZPOS64_T(-1), ZLIB_FILEFUNC_SEEK_CUR), -1);
  // The end of central directory record ends the archive (no comment).
  EXPECT_EQ(files.zseek64_file(files.opaque, stream, ZPOS64_T(-22), ZLIB_FILEFUNC_SEEK_END), 0);
  EXPECT_EQ(files.ztell64_file(files.opaque, stream), size - 22);
  EXPECT_EQ(files.zread_file(files.opaque, stream, bytes, 4), 4u);
  EXPECT_EQ(std::string(bytes, 4), std::string("PK\x05\x06", 4));
  EXPECT_EQ(files.zseek64_file(files.opaque, stream, size - 1, ZLIB_FILEFUNC_SEEK_SET), 0);
  EXPECT_EQ(files.zread_file(files.opaque, stream, bytes, 4), 1u);
  EXPECT_EQ(files.zread_file(files.opaque, stream, bytes, 4), 0u);
  EXPECT_EQ(files.zseek64_file(files.opaque, stream, size + 10, ZLIB_FILEFUNC_SEEK_SET), 0);
  EXPECT_EQ(files.zread_file(files.opaque, stream, bytes, 4), 0u);
  EXPECT_EQ(files.zerror_file(files.opaque, stream), 0);
  EXPECT_EQ(files.zclose_file(files.opaque, stream), 0);
}

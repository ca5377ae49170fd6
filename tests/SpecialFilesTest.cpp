// Named pipes under a scanned folder: the validators and the platform's file
// reads give their unreadable-file result at once instead of waiting for a
// writer that never comes.
#include "platform/Files.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"
#include "validation/ValidationResult.h"

#include "TestPrefix.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Runs check on its own thread. Should it still wait after a few seconds,
// the test fails and the pipe gets a writer for a moment, which ends the
// wait, so that a regression shows as a failure rather than a hung suite.
template <typename Result>
Result withinSeconds(const std::filesystem::path& pipe, std::function<Result()> check) {
  std::future<Result> pending = std::async(std::launch::async, check);
  if (pending.wait_for(std::chrono::seconds(3)) == std::future_status::timeout) {
    ADD_FAILURE() << "still waiting on " << pipe;
    int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
      close(writer);
  }
  return pending.get();
}

} // namespace

TEST(SpecialFiles, NamedPipeIsUnreadableAtOnceForEveryReader) {
  TestPrefix machine;
  std::filesystem::path pipe = machine.driveC("Apps/pipe.dll");
  std::filesystem::create_directories(pipe.parent_path());
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::path archive = machine.driveC("Apps/pipe.zip");
  ASSERT_EQ(mkfifo(archive.c_str(), 0600), 0);

  PEValidator pe;
  EXPECT_EQ(withinSeconds<int>(pipe, [&] { return pe.validate(u"C:\\Apps\\pipe.dll"); }),
            ValidationResult::OtherTrustFailure);
  JarValidator jar;
  EXPECT_EQ(withinSeconds<int>(archive, [&] { return jar.validate(u"C:\\Apps\\pipe.zip"); }),
            ValidationResult::FileNotFound);

  std::vector<std::uint8_t> bytes{1};
  EXPECT_FALSE(withinSeconds<bool>(pipe, [&] {
    return platform::readFileStart(u"C:\\Apps\\pipe.dll", 16, bytes);
  }));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(withinSeconds<bool>(pipe, [&] {
    return platform::copyFile(u"C:\\Apps\\pipe.dll", u"C:\\Apps\\copy.dll");
  }));
  EXPECT_FALSE(std::filesystem::exists(machine.driveC("Apps/copy.dll")));
}

TEST(SpecialFiles, CopyingMakesANewFileOnly) {
  TestPrefix machine;
  machine.writeFile("Data/a.db", std::string("db\0bytes", 8));
  machine.writeFile("Data/taken.db", "keep");
  ASSERT_TRUE(platform::copyFile(u"C:\\Data\\a.db", u"C:\\Data\\b.db"));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(platform::readFileStart(u"C:\\Data\\b.db", 100, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("db\0bytes", 8));
  ASSERT_TRUE(platform::readFileStart(u"C:\\Data\\b.db", 2, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "db");
  // An existing target is never overwritten; a missing source copies nothing.
  EXPECT_FALSE(platform::copyFile(u"C:\\Data\\a.db", u"C:\\Data\\taken.db"));
  EXPECT_FALSE(platform::copyFile(u"C:\\Data\\none.db", u"C:\\Data\\c.db"));
  EXPECT_FALSE(std::filesystem::exists(machine.driveC("Data/c.db")));
  std::ifstream taken(machine.driveC("Data/taken.db"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "keep");
}

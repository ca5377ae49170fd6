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

TEST(SpecialFiles, NamedPipeIsUnreadableAtOnceForEveryReader) {
  TestPrefix machine;
  std::filesystem::path pipe = machine.makeFolder("Apps") / "pipe.dll";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Should a check still wait after a few seconds, the test fails and the
  // pipe gets a writer for a moment, which ends the wait: a regression shows
  // as a failure, not as a hung suite.
  auto promptly = [&](auto check) {
    auto pending = std::async(std::launch::async, check);
    if (pending.wait_for(std::chrono::seconds(3)) == std::future_status::timeout) {
      ADD_FAILURE() << "still waiting on the pipe";
      if (int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK); writer >= 0)
        close(writer);
    }
    return pending.get();
  };
  PEValidator pe;
  EXPECT_EQ(promptly([&] { return pe.validate(u"C:\\Apps\\pipe.dll"); }),
            ValidationResult::OtherTrustFailure);
  JarValidator jar;
  EXPECT_EQ(promptly([&] { return jar.validate(u"C:\\Apps\\pipe.dll"); }),
            ValidationResult::FileNotFound);
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(promptly([&] { return platform::readFileStart(u"C:\\Apps\\pipe.dll", 16, bytes); }));
  EXPECT_FALSE(promptly([&] { return platform::copyFile(u"C:\\Apps\\pipe.dll", u"C:\\Apps\\c"); }));
}

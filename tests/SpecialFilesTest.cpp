// Named pipes under a scanned folder: the validators and the platform's file
// reads give their unreadable-file result at once instead of waiting for a
// writer that never comes, and never open the pipe at all.
#include "finders/FolderFinder.h"
#include "finders/ValueObject.h"
#include "platform/Files.h"
#include "validation/FileFilter.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"
#include "validation/ValidationResult.h"

#include "TestPrefix.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

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

TEST(SpecialFiles, WriterBlockedOnAPipeInAProductFolderStaysBlockedThroughTheScan) {
  TestPrefix machine;
  std::filesystem::path folder = machine.makeFolder("Apps");
  std::filesystem::path pipe = folder / "pipe.dll";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::create_symlink(pipe, folder / "link.jar"); // the same pipe, as an archive
  // The writer's open returns only once a reader opens the pipe.
  std::atomic<bool> writerOpened{false};
  std::thread writer([&] {
    int descriptor = open(pipe.c_str(), O_WRONLY);
    writerOpened = true;
    if (descriptor >= 0)
      close(descriptor);
  });
  // Time for the writer to reach its open and wait there.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_FALSE(writerOpened);

  FolderFinder finder(u"", {}, u"Apps");
  finder.addFolder(u"C:\\Apps");
  CustomFileFilter filter;
  filter.addExtension(u".dll");
  filter.addExtension(u".jar");
  std::vector<FileValueObject*> files;
  finder.findFiles(filter, files);
  EXPECT_EQ(files.size(), 2u);
  PEValidator pe;
  JarValidator jar;
  std::vector<std::uint8_t> bytes;
  for (FileValueObject* file : files) {
    pe.validate(file->path);
    jar.validate(file->path);
    platform::readFileStart(file->path, 16, bytes);
    platform::copyFile(file->path, file->path + u".copy");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(writerOpened) << "a reader opened the pipe";

  // The test's own reader lets the writer go.
  int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (reader >= 0)
    close(reader);
}

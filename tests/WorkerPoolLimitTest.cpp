// The worker pool where the system refuses threads: a process of its own
// under a lowered limit on tasks (POSIX resource limits, so not part of the
// Windows build's tests).
#include "util/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// In a process of its own: lowers the limit on tasks so that the system
// makes at most extraThreads more, asks the pool for 16 threads, and ends
// with 0 when every piece still ran once, finished once on the caller, and
// no more threads took part than could be made; with another code if not.
// The superuser is exempt from the limit, so as root the process first
// becomes a user that runs nothing else and counts alone.
[[noreturn]] void runUnderTaskLimit(rlim_t extraThreads) {
  constexpr uid_t kUnusedId = 64999;
  const rlimit limit{extraThreads + 1, extraThreads + 1};
  if (setrlimit(RLIMIT_NPROC, &limit) != 0)
    std::_Exit(10);
  if (geteuid() == 0 && (setgid(kUnusedId) != 0 || setuid(kUnusedId) != 0))
    std::_Exit(11);
  constexpr std::size_t kCount = 200;
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::atomic<int>> runs(kCount);
  std::vector<int> finishedCount(kCount, 0);
  std::mutex mutex;
  std::set<std::thread::id> workers;
  bool finishedElsewhere = false;
  runOnWorkers(
      kCount, 16,
      [&](std::size_t i) {
        ++runs[i];
        std::lock_guard lock(mutex);
        workers.insert(std::this_thread::get_id());
      },
      [&](std::size_t i) {
        finishedElsewhere = finishedElsewhere || std::this_thread::get_id() != caller;
        ++finishedCount[i];
      });
  for (std::size_t i = 0; i < kCount; ++i) {
    if (runs[i] != 1 || finishedCount[i] != 1)
      std::_Exit(12);
  }
  if (finishedElsewhere)
    std::_Exit(13);
  if (extraThreads == 0 ? workers != std::set<std::thread::id>{caller}
                        : workers.size() > extraThreads || workers.count(caller) != 0)
    std::_Exit(14);
  std::_Exit(0);
}

} // namespace

TEST(WorkerPool, ThreadsTheSystemRefusesLeaveTheWorkToThoseMade) {
  // Each case runs in a fresh process started for it, whatever threads this
  // one has.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // No thread at all: the caller does the work.
  EXPECT_EXIT(runUnderTaskLimit(0), ::testing::ExitedWithCode(0), "");
  // Two of sixteen: they do it. Only the superuser can give the process a
  // user of its own whose tasks are counted alone.
  if (geteuid() == 0)
    EXPECT_EXIT(runUnderTaskLimit(2), ::testing::ExitedWithCode(0), "");
  else
    std::printf("not run as root: the case of a few threads made is left out\n");
}


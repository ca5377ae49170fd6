// The worker pool: where work and its completion run, and that each piece
// runs exactly once; the thread counts a command line may give.
#include "util/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

TEST(WorkerPool, WorkRunsOnceOnThePoolAndFinishesOnTheCaller) {
  constexpr std::size_t kCount = 500;
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::atomic<int>> runs(kCount);
  std::vector<int> values(kCount, 0);
  std::mutex mutex;
  std::set<std::thread::id> workers;
  std::vector<int> finishedCount(kCount, 0);
  bool finishedElsewhere = false;
  bool resultMissing = false;
  runOnWorkers(
      kCount, 4,
      [&](std::size_t i) {
        ++runs[i];
        values[i] = int(i) + 1;
        std::lock_guard lock(mutex);
        workers.insert(std::this_thread::get_id());
      },
      [&](std::size_t i) {
        finishedElsewhere = finishedElsewhere || std::this_thread::get_id() != caller;
        resultMissing = resultMissing || values[i] != int(i) + 1;
        ++finishedCount[i];
      });
  for (std::size_t i = 0; i < kCount; ++i) {
    EXPECT_EQ(runs[i].load(), 1) << i;
    EXPECT_EQ(finishedCount[i], 1) << i;
  }
  EXPECT_FALSE(finishedElsewhere);
  EXPECT_FALSE(resultMissing);
  EXPECT_EQ(workers.count(caller), 0u);
  EXPECT_LE(workers.size(), 4u);
}

TEST(WorkerPool, OneWorkerRunsEverythingInOrderOnTheCaller) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::string> steps;
  bool elsewhere = false;
  for (unsigned workers : {0u, 1u}) {
    steps.clear();
    runOnWorkers(
        3, workers,
        [&](std::size_t i) {
          elsewhere = elsewhere || std::this_thread::get_id() != caller;
          steps.push_back("work" + std::to_string(i));
        },
        [&](std::size_t i) { steps.push_back("done" + std::to_string(i)); });
    EXPECT_EQ(steps, (std::vector<std::string>{"work0", "done0", "work1", "done1", "work2",
                                               "done2"}));
  }
  EXPECT_FALSE(elsewhere);
  runOnWorkers(0, 4, [](std::size_t) { FAIL(); }, [](std::size_t) { FAIL(); });
}

TEST(WorkerPool, WorkThatThrowsFinishesAloneAndEndsNothingElse) {
  constexpr std::size_t kCount = 60;
  for (unsigned workers : {1u, 4u}) {
    SCOPED_TRACE(workers);
    std::vector<int> results(kCount, -1);
    std::vector<int> finishedCount(kCount, 0);
    runOnWorkers(
        kCount, workers,
        [&](std::size_t i) {
          if (i % 7 == 3)
            throw std::runtime_error("check failed");
          results[i] = int(i);
        },
        [&](std::size_t i) { ++finishedCount[i]; });
    for (std::size_t i = 0; i < kCount; ++i) {
      EXPECT_EQ(finishedCount[i], 1) << i;
      EXPECT_EQ(results[i], i % 7 == 3 ? -1 : int(i)) << i;
    }
  }
}

TEST(WorkerPool, CommandLineCountsAreWholeNumbersFromOneTo1024) {
  unsigned count = 7;
  for (const char* bad : {"", "0", "1025", "-1", "+2", "2x", " 2", "99999", "0x10"}) {
    EXPECT_FALSE(parseWorkerCount(bad, count)) << bad;
    EXPECT_EQ(count, 7u) << bad;
  }
  EXPECT_TRUE(parseWorkerCount("1", count));
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(parseWorkerCount("1024", count));
  EXPECT_EQ(count, 1024u);
  EXPECT_TRUE(parseWorkerCount("08", count));
  EXPECT_EQ(count, 8u);
  EXPECT_GE(defaultWorkerCount(), 1u);
}

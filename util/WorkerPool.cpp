// The worker pool: threads that take work by number from a shared counter
// and report finished numbers through a queue that the caller drains.
#include "util/WorkerPool.h"

#include "platform/ComLibrary.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

unsigned defaultWorkerCount() { return std::max(1u, std::thread::hardware_concurrency()); }

bool parseWorkerCount(std::string_view text, unsigned& count) {
  if (text.empty() || text.size() > 4)
    return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    value = value * 10 + unsigned(c - '0');
  }
  if (value < 1 || value > kMaxWorkerCount)
    return false;
  count = value;
  return true;
}

namespace {

// Runs one piece of work; an exception it throws stays here (see the header).
void runGuarded(const std::function<void(std::size_t)>& work, std::size_t i) {
  try {
    work(i);
  } catch (...) {
  }
}

// Joins every thread it holds when it goes, also when the caller leaves
// through an exception: a joinable std::thread must never be destroyed.
struct JoinGuard {
  std::vector<std::thread> threads;
  ~JoinGuard() {
    for (std::thread& thread : threads) {
      if (thread.joinable())
        thread.join();
    }
  }
};

void runOnCaller(std::size_t count, const std::function<void(std::size_t)>& work,
                 const std::function<void(std::size_t)>& finished) {
  for (std::size_t i = 0; i < count; ++i) {
    runGuarded(work, i);
    finished(i);
  }
}

} // namespace

void runOnWorkers(std::size_t count, unsigned workers,
                  const std::function<void(std::size_t)>& work,
                  const std::function<void(std::size_t)>& finished) {
  if (workers <= 1 || count < 2) {
    runOnCaller(count, work, finished);
    return;
  }

  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::size_t> done; // finished numbers not yet handed to the caller

  auto worker = [&] {
    // Every checking thread enters COM as the scan worker does: the trust
    // provider and the shell may need it on any thread that checks files.
    platform::ComApartment apartment;
    for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
      runGuarded(work, i);
      {
        std::lock_guard lock(mutex);
        done.push_back(i);
      }
      changed.notify_one();
    }
  };
  JoinGuard pool;
  const std::size_t threadCount = std::min<std::size_t>(workers, count);
  try {
    pool.threads.reserve(threadCount);
    for (std::size_t t = 0; t < threadCount; ++t)
      pool.threads.emplace_back(worker);
  } catch (...) {
    // The system made fewer threads than asked for (std::system_error), or
    // none could be noted (std::bad_alloc): those made do the work.
  }
  if (pool.threads.empty()) {
    runOnCaller(count, work, finished);
    return;
  }

  std::vector<std::size_t> taken;
  for (std::size_t handed = 0; handed < count;) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return !done.empty(); });
      taken.swap(done);
    }
    for (std::size_t i : taken)
      finished(i);
    handed += taken.size();
    taken.clear();
  }
}

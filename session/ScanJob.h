// The state the scan worker shares with the user-interface thread, and the
// scan driver that runs on the worker.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Defect;
class ScanContext;

class ScanJob {
public:
  ScanJob();
  // Joins a finished worker; the controller never discards a running job.
  ~ScanJob();
  ScanJob(const ScanJob&) = delete;
  ScanJob& operator=(const ScanJob&) = delete;

  // The scan: lists every finder's files, validates each, records Defects
  // and publishes progress (0..10 listing, 10..100 checking), then clears
  // running. Runs on the worker thread, which hands the checks to a pool of
  // checkWorkers threads and alone writes defects and progress.
  void run();

  // Starts the worker thread on this job (running and progress set before).
  void startWorker();

  // Waits until the scan has finished or limit has passed; true when it has
  // finished. A front end that waits for the end learns of it at once
  // rather than at its next look.
  bool waitUntilFinished(std::chrono::milliseconds limit);

  std::thread workerThread;
  // Threads that check files at the same time; 0 for one per processor, 1
  // to check every file on the worker thread itself. Set before the scan.
  unsigned checkWorkers = 0;
  std::vector<std::unique_ptr<Defect>> defects; // in the order found
  ScanContext* context = nullptr;               // not owned
  std::atomic<bool> running{false};
  // Stored with release, read with acquire: a reader that sees 100 sees
  // every Defect.
  std::atomic<std::int32_t> progress{0};
  // Counts for front ends that show more than the percentage.
  std::atomic<std::int32_t> filesListed{0};  // entries after the listing pass
  std::atomic<std::int32_t> filesChecked{0}; // entries that had a validator so far

private:
  // Clears running and wakes every waiter.
  void finish();

  std::mutex finishMutex;
  std::condition_variable finished;
};

// The worker thread's entry: runs the job and returns 0.
int scanThreadEntry(ScanJob* job);

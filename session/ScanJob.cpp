// The scan driver and the worker thread.
#include "session/ScanJob.h"

#include "finders/FileFinder.h"
#include "finders/ValueObject.h"
#include "platform/ComLibrary.h"
#include "session/Defect.h"
#include "session/ScanContext.h"
#include "util/WorkerPool.h"
#include "validation/FileFilter.h"
#include "validation/ValidationResult.h"
#include "validation/ValidatorBase.h"
#include "validation/ValidatorFactory.h"

ScanJob::ScanJob() = default;

ScanJob::~ScanJob() {
  if (workerThread.joinable())
    workerThread.join();
}

void ScanJob::startWorker() { workerThread = std::thread(scanThreadEntry, this); }

bool ScanJob::waitUntilFinished(std::chrono::milliseconds limit) {
  std::unique_lock lock(finishMutex);
  return finished.wait_for(lock, limit,
                           [this] { return !running.load(std::memory_order_acquire); });
}

void ScanJob::finish() {
  {
    // Cleared under the lock, so that a waiter between its look at running
    // and its sleep cannot miss the wake-up.
    std::lock_guard lock(finishMutex);
    running.store(false, std::memory_order_release);
  }
  finished.notify_all();
}

int scanThreadEntry(ScanJob* job) {
  // A single-threaded apartment for the thread's life, left when it ends.
  platform::ComApartment apartment;
  job->run();
  return 0;
}

void ScanJob::run() {
  std::vector<FileValueObject*> files;

  // Listing: the first tenth of the scale, one step per finder.
  double finderCount = double(context->finders.size());
  int listed = 0;
  for (const std::unique_ptr<FileFinder>& finder : context->finders) {
    if (context->fileFilter)
      finder->findFiles(*context->fileFilter, files);
    ++listed;
    progress.store(std::int32_t(double(listed) / finderCount * 10.0),
                   std::memory_order_release);
  }

  // Checking: the other nine tenths, one step per file that has a validator.
  // The validator of every file is chosen here, in list order; the checks
  // run on the pool, and this thread takes each finished check in hand. It
  // alone records Defects, in list order (a finished check waits until
  // every file before it has finished), and publishes one progress step per
  // finished check, so the steps are those of checking one file at a time.
  filesListed.store(std::int32_t(files.size()), std::memory_order_relaxed);
  struct Check {
    FileValueObject* file;
    ValidatorBase* validator;
    // A check that throws ends as a trust failure of its file alone.
    int result = ValidationResult::OtherTrustFailure;
    bool finished = false;
  };
  std::vector<Check> checks;
  for (FileValueObject* file : files) {
    ValidatorBase* validator =
        context->validatorFactory ? context->validatorFactory->getValidator(file->path)
                                  : nullptr;
    if (validator)
      checks.push_back({file, validator});
  }

  const double fileCount = double(files.size());
  std::size_t unrecorded = 0; // first check whose Defect is not yet decided
  int checked = 0;
  const unsigned workers = checkWorkers ? checkWorkers : defaultWorkerCount();
  runOnWorkers(
      checks.size(), workers,
      [&checks](std::size_t index) {
        Check& check = checks[index];
        check.result = check.validator->validate(check.file->path);
      },
      [&](std::size_t index) {
        checks[index].finished = true;
        for (; unrecorded < checks.size() && checks[unrecorded].finished; ++unrecorded) {
          if (checks[unrecorded].result == ValidationResult::Affected)
            defects.push_back(std::make_unique<Defect>(checks[unrecorded].file));
        }
        ++checked;
        filesChecked.store(checked, std::memory_order_relaxed);
        progress.store(std::int32_t(double(checked) / fileCount * 90.0 + 10.0),
                       std::memory_order_release);
      });

  progress.store(100, std::memory_order_release);
  finish();
}

// The scan driver and the worker thread.
#include "session/ScanJob.h"

#include "finders/FileFinder.h"
#include "finders/ValueObject.h"
#include "session/Defect.h"
#include "session/ScanContext.h"
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

int scanThreadEntry(ScanJob* job) {
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
  filesListed.store(std::int32_t(files.size()), std::memory_order_relaxed);
  double fileCount = double(files.size());
  int checked = 0;
  for (FileValueObject* file : files) {
    ValidatorBase* validator =
        context->validatorFactory ? context->validatorFactory->getValidator(file->path)
                                  : nullptr;
    if (!validator)
      continue;
    if (validator->validate(file->path) == ValidationResult::Affected)
      defects.push_back(std::make_unique<Defect>(file));
    ++checked;
    filesChecked.store(checked, std::memory_order_relaxed);
    progress.store(std::int32_t(double(checked) / fileCount * 90.0 + 10.0),
                   std::memory_order_release);
  }

  progress.store(100, std::memory_order_release);
  running.store(false, std::memory_order_release);
}

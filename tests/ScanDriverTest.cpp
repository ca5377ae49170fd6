// The scan driver on its worker thread: the progress it publishes, the
// Defects it records and the order of its last two stores.
#include "finders/FolderFinder.h"
#include "finders/ValueObject.h"
#include "session/Defect.h"
#include "session/ScanContext.h"
#include "session/ScanJob.h"
#include "TestPrefix.h"
#include "validation/FileFilter.h"
#include "validation/ValidationResult.h"
#include "validation/ValidatorBase.h"
#include "validation/ValidatorFactory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Records the progress visible when each step starts: together with the
// value at the end this is every value the driver published.
struct ProgressLog {
  ScanJob* job = nullptr;
  std::vector<std::int32_t> seen;
  void record() { seen.push_back(job->progress.load(std::memory_order_acquire)); }
};

class RecordingFinder : public FolderFinder {
public:
  RecordingFinder(ProgressLog& log, const std::u16string& name)
      : FolderFinder(u"", {}, name), log(log) {}
  bool findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) override {
    log.record();
    return FolderFinder::findFiles(filter, files);
  }
  ProgressLog& log;
};

// Affected for every path containing "bad", verified otherwise.
class RecordingValidator : public ValidatorBase {
public:
  explicit RecordingValidator(ProgressLog& log) : log(log) {}
  int validate(std::u16string path) override {
    log.record();
    checked.push_back(path);
    return path.find(u"bad") != std::u16string::npos ? ValidationResult::Affected
                                                     : ValidationResult::Verified;
  }
  ProgressLog& log;
  std::vector<std::u16string> checked;
};

struct Session {
  // One file at a time, on the worker thread itself, unless a test asks for
  // more: the recording validator sees each step as it was published.
  Session() {
    log.job = &job;
    job.checkWorkers = 1;
  }
  ~Session() {
    if (job.workerThread.joinable())
      job.workerThread.join();
  }

  // Adds one finder over C:\<folder>, which holds `files` .dll files (and a
  // .txt the filter refuses).
  void addFinder(TestPrefix& prefix, const std::string& folder, int files,
                 const std::string& badName = "") {
    for (int i = 0; i < files; ++i)
      prefix.writeFile(folder + "/f" + std::to_string(i) + ".dll");
    if (!badName.empty())
      prefix.writeFile(folder + "/" + badName);
    prefix.writeFile(folder + "/notes.txt");
    std::u16string name(folder.begin(), folder.end());
    auto finder = std::make_unique<RecordingFinder>(log, name);
    finder->addFolder(u"C:\\" + name);
    context.products.push_back(finder->product.get());
    context.finders.push_back(std::move(finder));
  }

  RecordingValidator* configure() {
    auto filter = std::make_unique<CustomFileFilter>();
    filter->addExtension(u".dll");
    auto factory = std::make_unique<CustomValidatorFactory>();
    auto validator = std::make_unique<RecordingValidator>(log);
    factory->registerValidator(u".dll", validator.get());
    RecordingValidator* raw = validator.get();
    context.validators.push_back(std::move(validator));
    context.fileFilter = std::move(filter);
    context.validatorFactory = std::move(factory);
    return raw;
  }

  // Starts the scan the way the controller does and waits for the end.
  void scan() {
    job.context = &context;
    job.progress = 0;
    job.running = true;
    job.startWorker();
    job.workerThread.join();
  }

  std::vector<std::int32_t> published() const {
    std::vector<std::int32_t> values(log.seen.begin() + 1, log.seen.end());
    values.push_back(job.progress.load());
    return values;
  }

  ScanContext context;
  ScanJob job;
  ProgressLog log;
};

} // namespace

TEST(ScanDriver, ListingPublishesTruncatedTenths) {
  TestPrefix prefix;
  for (int finders : {3, 7}) {
    Session session;
    session.configure();
    // The last finder lists one file, whose check makes the 10 visible.
    for (int i = 0; i < finders; ++i)
      session.addFinder(prefix, "L" + std::to_string(finders) + "_" + std::to_string(i),
                        i == finders - 1 ? 1 : 0);
    session.scan();
    std::vector<std::int32_t> expected =
        finders == 3 ? std::vector<std::int32_t>{3, 6, 10}
                     : std::vector<std::int32_t>{1, 2, 4, 5, 7, 8, 10};
    expected.push_back(100);
    EXPECT_EQ(session.published(), expected) << finders << " finders";
  }
}

TEST(ScanDriver, CheckingPublishesNinetiethsAfterTen) {
  TestPrefix prefix;
  const std::map<int, std::vector<std::int32_t>> worked = {
      {3, {40, 70, 100}},
      {7, {22, 35, 48, 61, 74, 87, 100}},
      {10, {19, 28, 37, 46, 55, 64, 73, 82, 91, 100}}};
  for (const auto& [count, values] : worked) {
    Session session;
    session.configure();
    session.addFinder(prefix, "N" + std::to_string(count), count);
    session.scan();
    std::vector<std::int32_t> expected{10};
    expected.insert(expected.end(), values.begin(), values.end());
    EXPECT_EQ(session.published(), expected) << count << " files";
    EXPECT_FALSE(session.job.running);
  }
}

TEST(ScanDriver, NoFindersGoesStraightToHundred) {
  Session session;
  session.configure();
  session.scan();
  EXPECT_EQ(session.job.progress, 100);
  EXPECT_TRUE(session.job.defects.empty());
  EXPECT_FALSE(session.job.running);
}

TEST(ScanDriver, DefectsFollowTheFileListAndPointAtItsEntries) {
  TestPrefix prefix;
  Session session;
  RecordingValidator* validator = session.configure();
  session.addFinder(prefix, "First", 2, "bad1.dll");
  session.addFinder(prefix, "Second", 1, "bad2.dll");
  // The same folder again: its files are listed and checked twice.
  static_cast<FolderFinder*>(session.context.finders.back().get())->addFolder(u"C:\\second");
  session.scan();
  ASSERT_EQ(validator->checked.size(), 3u + 2u * 2u);
  std::vector<std::u16string> defectPaths;
  for (const auto& defect : session.job.defects)
    defectPaths.push_back(defect->file->path);
  EXPECT_EQ(defectPaths, (std::vector<std::u16string>{u"C:\\First\\bad1.dll",
                                                      u"C:\\Second\\bad2.dll",
                                                      u"C:\\second\\bad2.dll"}));
  ASSERT_EQ(session.job.defects.size(), 3u);
  EXPECT_NE(session.job.defects[1]->file, session.job.defects[2]->file);
  EXPECT_EQ(session.job.defects[0]->file->product, session.context.products[0]);
}

TEST(ScanDriver, FilesWithoutValidatorDoNotAdvanceTheCount) {
  TestPrefix prefix;
  Session session;
  session.configure();
  static_cast<CustomFileFilter*>(session.context.fileFilter.get())->addExtension(u".txt");
  // Four listed files in name order: a.txt and notes.txt have no validator.
  // a.txt comes first, so a skipped file that advanced the count would show
  // in the progress of the checks after it.
  prefix.writeFile("Mixed/a.txt");
  session.addFinder(prefix, "Mixed", 2);
  session.scan();
  // The second check starts at 1/4 of the way (32.5, truncated) and the
  // scan ends at 100; two files were checked.
  EXPECT_EQ(session.published(), (std::vector<std::int32_t>{10, 32, 100}));
  EXPECT_EQ(session.job.filesListed.load(), 4);
  EXPECT_EQ(session.job.filesChecked.load(), 2);
}

TEST(ScanDriver, OnlyAffectedFilesBecomeDefects) {
  TestPrefix prefix;
  Session session;
  session.configure();
  // Every result a validator gives, by the file's name.
  struct ResultByName : ValidatorBase {
    int validate(std::u16string path) override {
      const std::size_t digit = path.find_last_of(u"0123456789");
      const int results[] = {ValidationResult::Verified,
                             ValidationResult::FileNotFound,
                             ValidationResult::NoSignature,
                             ValidationResult::BadSignature,
                             ValidationResult::Revoked,
                             ValidationResult::ExplicitlyDistrusted,
                             ValidationResult::Affected,
                             ValidationResult::OtherTrustFailure,
                             -1};
      return results[path[digit] - u'0'];
    }
  };
  auto validator = std::make_unique<ResultByName>();
  static_cast<CustomValidatorFactory*>(session.context.validatorFactory.get())
      ->registerValidator(u".dll", validator.get());
  session.context.validators.push_back(std::move(validator));
  session.addFinder(prefix, "All", 9);
  session.scan();
  EXPECT_EQ(session.job.filesChecked.load(), 9);
  ASSERT_EQ(session.job.defects.size(), 1u);
  EXPECT_EQ(session.job.defects[0]->file->path, u"C:\\All\\f6.dll");
}

TEST(ScanDriver, CheckThatThrowsFailsItsFileAloneAndTheScanGoesOn) {
  for (unsigned workers : {1u, 3u}) {
    SCOPED_TRACE(workers);
    TestPrefix prefix;
    Session session;
    session.configure();
    struct ThrowingValidator : ValidatorBase {
      int validate(std::u16string path) override {
        if (path.find(u"throws") != std::u16string::npos)
          throw std::bad_alloc();
        return path.find(u"bad") != std::u16string::npos ? ValidationResult::Affected
                                                         : ValidationResult::Verified;
      }
    };
    auto validator = std::make_unique<ThrowingValidator>();
    static_cast<CustomValidatorFactory*>(session.context.validatorFactory.get())
        ->registerValidator(u".dll", validator.get());
    session.context.validators.push_back(std::move(validator));
    session.addFinder(prefix, "A", 2, "bad-throws.dll");
    session.addFinder(prefix, "B", 1, "bad.dll");
    session.job.checkWorkers = workers;
    session.scan();
    EXPECT_EQ(session.job.progress.load(), 100);
    EXPECT_FALSE(session.job.running.load());
    EXPECT_EQ(session.job.filesChecked.load(), 5);
    ASSERT_EQ(session.job.defects.size(), 1u);
    EXPECT_EQ(session.job.defects[0]->file->path, u"C:\\B\\bad.dll");
  }
}

TEST(ScanDriver, FindersWithoutFilesEndAtHundred) {
  TestPrefix prefix;
  Session session;
  session.configure();
  session.addFinder(prefix, "Empty1", 0);
  session.addFinder(prefix, "Empty2", 0);
  session.scan();
  EXPECT_EQ(session.published(), (std::vector<std::int32_t>{5, 100}));
  EXPECT_TRUE(session.job.defects.empty());
}

TEST(ScanDriver, RunningTurnsFalseOnlyAfterHundred) {
  TestPrefix prefix;
  Session session;
  session.configure();
  session.addFinder(prefix, "Many", 200);
  session.job.context = &session.context;
  session.job.progress = 0;
  session.job.running = true;
  session.job.startWorker();
  std::int32_t last = 0;
  while (true) {
    bool running = session.job.running.load(std::memory_order_acquire);
    std::int32_t progress = session.job.progress.load(std::memory_order_acquire);
    ASSERT_GE(progress, last); // never goes back
    last = progress;
    if (!running) {
      ASSERT_EQ(progress, 100);
      break;
    }
  }
  session.job.workerThread.join();
}

TEST(ScanDriver, AWaiterLearnsOfTheEndWhenItComes) {
  TestPrefix prefix;
  Session session;
  session.configure();
  session.addFinder(prefix, "Waited", 3);
  // Not finished, and no scan running: the wait gives up at its limit.
  session.job.running = true;
  EXPECT_FALSE(session.job.waitUntilFinished(std::chrono::milliseconds(1)));
  session.job.context = &session.context;
  session.job.progress = 0;
  session.job.startWorker();
  // A limit far beyond the scan: the wait ends with the scan, woken by it,
  // and sees everything the scan published.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(session.job.waitUntilFinished(std::chrono::seconds(20)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(session.job.progress.load(std::memory_order_acquire), 100);
  EXPECT_EQ(session.job.filesChecked.load(), 3);
  // Finished already: the answer is at once.
  EXPECT_TRUE(session.job.waitUntilFinished(std::chrono::milliseconds(0)));
  session.job.workerThread.join();
}

namespace {

// Affected for every path containing "bad". A path containing "held" is
// not finished before release() is called, so the test decides the order
// in which checks finish. Safe to call from several threads at once.
class GatedValidator : public ValidatorBase {
public:
  int validate(std::u16string path) override {
    if (path.find(u"held") != std::u16string::npos) {
      std::unique_lock lock(mutex);
      released.wait(lock, [this] { return open; });
    }
    std::lock_guard lock(mutex);
    checked.push_back(path);
    return path.find(u"bad") != std::u16string::npos ? ValidationResult::Affected
                                                     : ValidationResult::Verified;
  }
  void release() {
    {
      std::lock_guard lock(mutex);
      open = true;
    }
    released.notify_all();
  }
  std::mutex mutex;
  std::condition_variable released;
  bool open = false;
  std::vector<std::u16string> checked; // in the order the checks finished
};

// Waits up to ten seconds for the job's progress to reach value.
bool progressReaches(const ScanJob& job, std::int32_t value) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (job.progress.load(std::memory_order_acquire) != value) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

} // namespace

TEST(ScanDriver, ChecksFinishingOutOfOrderKeepStepsAndDefectOrder) {
  // Three files, each in its finder so the list order is fixed; three
  // threads check them and the first is held back until the other two are
  // done. Progress counts finished checks (40, 70, then 100), and the
  // Defects still follow the list, not the order in which checks finished.
  TestPrefix prefix;
  Session session;
  session.configure();
  auto validator = std::make_unique<GatedValidator>();
  GatedValidator* gated = validator.get();
  static_cast<CustomValidatorFactory*>(session.context.validatorFactory.get())
      ->registerValidator(u".dll", gated);
  session.context.validators.push_back(std::move(validator));
  session.addFinder(prefix, "A", 0, "held-bad.dll");
  session.addFinder(prefix, "B", 0, "good.dll");
  session.addFinder(prefix, "C", 0, "late-bad.dll");
  session.job.checkWorkers = 3;
  session.job.context = &session.context;
  session.job.running = true;
  session.job.startWorker();

  const bool twoFinished = progressReaches(session.job, 70);
  EXPECT_TRUE(twoFinished);
  EXPECT_TRUE(session.job.running.load());
  EXPECT_EQ(session.job.filesChecked.load(), 2);
  gated->release();
  session.job.workerThread.join();

  EXPECT_EQ(session.job.progress.load(), 100);
  EXPECT_FALSE(session.job.running.load());
  EXPECT_EQ(gated->checked.back(), u"C:\\A\\held-bad.dll");
  std::vector<std::u16string> defectPaths;
  for (const auto& defect : session.job.defects)
    defectPaths.push_back(defect->file->path);
  EXPECT_EQ(defectPaths,
            (std::vector<std::u16string>{u"C:\\A\\held-bad.dll", u"C:\\C\\late-bad.dll"}));
}

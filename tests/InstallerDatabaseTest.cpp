// The installer-database layer: read-only opening, queries kept as text per
// requested column, quoting of values, the waits on a busy database, and
// databases left with a journal or a write-ahead log.
#include "InstallerTestSupport.h"

#include "finders/InstallerDatabase.h"
#include "finders/QueryResult.h"
#include "finders/SqlText.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace installer_test;
using Clock = std::chrono::steady_clock;
using Rows = std::vector<std::vector<std::string>>;
using Values = std::vector<std::string>;

namespace {

class InstallerDatabaseTest : public ::testing::Test {
protected:
  void SetUp() override {
    // No prefix: only drive Z: (the host root) is mapped.
    platform::setPrefix(temp.host("no-prefix"));
    ASSERT_EQ(makeDatabase(temp.host("data.db"),
                           "create table t(id integer, name text, note text, PayloadID text);"
                           "insert into t values (2, 'a', NULL, 'P1'), (10, 'b', 'x', 'P2');"
                           "create table people(name text);"
                           "insert into people values ('O''Neil'), ('Smith');"),
              "");
  }
  std::string path(const std::string& name) { return utf8(temp.windows(name)); }

  TempFolder temp;
};

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

TEST_F(InstallerDatabaseTest, RowsKeepRequestedColumnsAsTextInRowOrder) {
  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  QueryResult result{"name", "id", "note"};
  ASSERT_TRUE(executeQuery(result, db, "select id, name, note, PayloadID from t order by id"));
  EXPECT_EQ(result.rowCount, 2);
  EXPECT_EQ(result.columnCount, 3);
  // Integers arrive as decimal text, SQL NULL as empty, unrequested columns
  // are dropped.
  EXPECT_EQ(result.rows, (Rows{{"a", "2", ""}, {"b", "10", "x"}}));

  Values values{"kept"};
  EXPECT_TRUE(result.columnValues("id", values));
  EXPECT_EQ(values, (Values{"kept", "2", "10"}));
  EXPECT_FALSE(result.columnValues("PayloadID", values));
  EXPECT_EQ(values.size(), 3u);
}

TEST_F(InstallerDatabaseTest, ColumnNamesMatchByteForByte) {
  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  QueryResult result{"payloadID"};
  ASSERT_TRUE(executeQuery(result, db, "select PayloadID from t"));
  Values values;
  ASSERT_TRUE(result.columnValues("payloadID", values));
  EXPECT_EQ(values, (Values{"", ""})); // rows counted, column never matched

  QueryResult twice{"v", "v"};
  EXPECT_EQ(twice.columnIndex("v"), 0);
  EXPECT_EQ(twice.columnIndex("V"), -1);
  ASSERT_TRUE(executeQuery(twice, db, "select name as v from t where id = 2"));
  EXPECT_EQ(twice.rows, (Rows{{"a", ""}}));
}

TEST_F(InstallerDatabaseTest, EmptyResultSucceedsWithNothing) {
  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  QueryResult result{"name"};
  ASSERT_TRUE(executeQuery(result, db, "select name from t where id = 99"));
  EXPECT_EQ(result.rowCount, 0);
  Values values;
  EXPECT_TRUE(result.columnValues("name", values));
  EXPECT_TRUE(values.empty());
}

TEST_F(InstallerDatabaseTest, FailedStatementsReportFalseAndKeepCollectedRows) {
  InstallerDatabase db;
  QueryResult closed{"name"};
  EXPECT_FALSE(executeQuery(closed, db, "select 1 as name"));

  ASSERT_TRUE(db.open(path("data.db").c_str()));
  QueryResult syntax{"name"};
  EXPECT_FALSE(executeQuery(syntax, db, "selec name fro t"));
  QueryResult missing{"name"};
  EXPECT_FALSE(executeQuery(missing, db, "select name from suites"));
  EXPECT_EQ(missing.rowCount, 0);

  QueryResult partial{"name"};
  EXPECT_FALSE(executeQuery(partial, db, "select 'x' as name; select name from suites"));
  EXPECT_EQ(partial.rows, (Rows{{"x"}}));
}

TEST_F(InstallerDatabaseTest, OpenIsReadOnlyAndNeverCreatesTheFile) {
  auto before = snapshotTree(temp.host());
  {
    InstallerDatabase db;
    EXPECT_FALSE(db.open(path("missing.db").c_str()));
    EXPECT_TRUE(db.close());
    EXPECT_FALSE(db.open(path("absent-folder\\missing.db").c_str()));
  }
  {
    InstallerDatabase db;
    ASSERT_TRUE(db.open(path("data.db").c_str()));
    QueryResult write{"name"};
    EXPECT_FALSE(executeQuery(write, db, "insert into t(name) values ('new')"));
    EXPECT_FALSE(executeQuery(write, db, "create table extra(a)"));
    QueryResult read{"name"};
    EXPECT_TRUE(executeQuery(read, db, "select name from t"));
    EXPECT_EQ(read.rowCount, 2);
    EXPECT_TRUE(db.close());
    EXPECT_EQ(db.handle(), nullptr);
  }
  EXPECT_EQ(snapshotTree(temp.host()), before);
}

TEST_F(InstallerDatabaseTest, BadPathsFailToOpen) {
  InstallerDatabase db;
  EXPECT_FALSE(db.open(nullptr));
  EXPECT_FALSE(db.open(""));
  EXPECT_FALSE(db.open("Q:\\Orvia\\cdbx\\Media_db.db")); // drive not mapped
  QueryResult fromFolder{"name"};
  EXPECT_FALSE(db.open(path("").c_str()) &&
               executeQuery(fromFolder, db, "select name from sqlite_master"));

  // A named pipe in a database's place is never opened: a writer waiting on
  // it stays waiting.
  ASSERT_EQ(mkfifo(temp.host("pipe.db").c_str(), 0600), 0);
  std::atomic<bool> writerOpened{false};
  std::thread writer([&] {
    int descriptor = ::open(temp.host("pipe.db").c_str(), O_WRONLY);
    writerOpened = true;
    if (descriptor >= 0)
      ::close(descriptor);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(db.open(path("pipe.db").c_str()));
  EXPECT_FALSE(db.open(path("pipe.db").c_str(), temp.windows()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(writerOpened);
  int reader = ::open(temp.host("pipe.db").c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (reader >= 0)
    ::close(reader);

  std::ofstream(temp.host("text.db")) << "this is not a database, only some text\n";
  QueryResult result{"name"};
  EXPECT_FALSE(db.open(path("text.db").c_str()) &&
               executeQuery(result, db, "select name from sqlite_master"));
  EXPECT_TRUE(db.close());
}

TEST_F(InstallerDatabaseTest, WindowsPathComponentsMatchInAnyLetterCase) {
  ASSERT_EQ(makeDatabase(temp.host("Orvia/cdbx/Media_db.db"),
                         "create table suites(ProductID text); insert into suites values ('S');"),
            "");
  std::string windowsPath = path("") + "\\ORVIA\\CDBX\\media_DB.db";
  InstallerDatabase db;
  ASSERT_TRUE(db.open(windowsPath.c_str()));
  EXPECT_EQ(db.path(), windowsPath);
  QueryResult result{"ProductID"};
  ASSERT_TRUE(executeQuery(result, db, "select ProductID from suites"));
  EXPECT_EQ(result.rows, (Rows{{"S"}}));
}

TEST_F(InstallerDatabaseTest, QuotedValuesStayOneValue) {
  EXPECT_EQ(sqlQuoted(""), "''");
  EXPECT_EQ(sqlQuoted("O'Neil"), "'O''Neil'");
  EXPECT_EQ(sqlQuoted("''"), "''''''");

  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  auto lookup = [&](const std::string& name) {
    QueryResult result{"name"};
    Values values;
    EXPECT_TRUE(executeQuery(result, db, "select name from people where name=" + sqlQuoted(name)));
    result.columnValues("name", values);
    return values;
  };
  EXPECT_EQ(lookup("O'Neil"), (Values{"O'Neil"}));
  EXPECT_EQ(lookup("x' or '1'='1"), Values{});
  EXPECT_EQ(lookup("x' union select 'injected"), Values{});
  EXPECT_EQ(lookup("x'; select 'second"), Values{});
}

TEST_F(InstallerDatabaseTest, BusyDatabaseIsWaitedForThenReportedAsFailure) {
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(temp.host("data.db").c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);

  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  QueryResult result{"name"};
  auto start = Clock::now();
  EXPECT_FALSE(executeQuery(result, db, "select name from t"));
  double waited = secondsSince(start);
  // Six calls, each waiting out the busy timeout.
  EXPECT_GE(waited, 5.5);
  EXPECT_LT(waited, 20.0);
  EXPECT_EQ(result.rowCount, 0);

  ASSERT_EQ(sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(holder);
  EXPECT_TRUE(executeQuery(result, db, "select name from t"));
  EXPECT_EQ(result.rowCount, 2);
}

TEST_F(InstallerDatabaseTest, LockReleasedWhileWaitingLetsTheQuerySucceed) {
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(temp.host("data.db").c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread releaser([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    sqlite3_exec(holder, "commit", nullptr, nullptr, nullptr);
  });

  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  QueryResult result{"name"};
  auto start = Clock::now();
  EXPECT_TRUE(executeQuery(result, db, "select name from t"));
  EXPECT_GE(secondsSince(start), 1.0);
  EXPECT_EQ(result.rowCount, 2); // no rows from the attempts that were refused
  releaser.join();
  sqlite3_close(holder);
}

TEST_F(InstallerDatabaseTest, CloseRetriesWhileBusyThenKeepsTheConnection) {
  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("data.db").c_str()));
  // An unfinished statement keeps the connection busy for sqlite3_close.
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.handle(), "select name from t", -1, &statement, nullptr),
            SQLITE_OK);

  auto start = Clock::now();
  EXPECT_FALSE(db.close());
  double waited = secondsSince(start);
  EXPECT_GE(waited, 2.4); // five pauses of half a second
  EXPECT_LT(waited, 10.0);
  EXPECT_NE(db.handle(), nullptr);

  QueryResult result{"name"};
  EXPECT_TRUE(executeQuery(result, db, "select name from t")); // still usable
  sqlite3_finalize(statement);
  EXPECT_TRUE(db.close());
  EXPECT_EQ(db.handle(), nullptr);
  EXPECT_TRUE(db.close());
}

namespace {

// Runs sql in a child process that then ends without closing the database,
// as an installer that is killed mid-write does: with a rollback journal the
// open transaction leaves a hot journal (a tiny page cache has already
// spilled its changes into the database file); in WAL mode the committed
// rows stay in the write-ahead log.
void writeAndDie(const std::string& hostPath, const std::string& sql) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sqlite3* db = nullptr;
    if (sqlite3_open(hostPath.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      _exit(1);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

const std::string kSuites = "create table suites(ProductID text);"
                            "insert into suites values ('P1'), ('P2');";

} // namespace

TEST_F(InstallerDatabaseTest, DatabasesNeedingRecoveryAreReadFromAPrivateCopy) {
  std::filesystem::create_directories(temp.host("vendor"));
  std::filesystem::create_directories(temp.host("scratch"));
  // An interrupted write: the suites were being deleted.
  ASSERT_EQ(makeDatabase(temp.host("vendor/hot.db"), kSuites + "create table pad(x blob);"), "");
  writeAndDie(temp.host("vendor/hot.db"),
              "pragma cache_size=1; begin; delete from suites;"
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < 200) "
              "insert into pad select randomblob(4000) from n;");
  ASSERT_TRUE(std::filesystem::exists(temp.host("vendor/hot.db-journal")));
  // A write-ahead log never checked back into the database.
  writeAndDie(temp.host("vendor/wal.db"),
              "pragma journal_mode=wal; pragma wal_autocheckpoint=0;" + kSuites);
  ASSERT_TRUE(std::filesystem::exists(temp.host("vendor/wal.db-wal")));
  // WAL mode, closed cleanly: no log, yet reading it in place would make one.
  ASSERT_EQ(makeDatabase(temp.host("vendor/clean-wal.db"), "pragma journal_mode=wal;" + kSuites),
            "");
  ASSERT_FALSE(std::filesystem::exists(temp.host("vendor/clean-wal.db-wal")));

  auto vendor = snapshotTree(temp.host("vendor"));
  for (const char* name : {"hot.db", "wal.db", "clean-wal.db"}) {
    SCOPED_TRACE(name);
    InstallerDatabase db;
    ASSERT_TRUE(db.open(path(std::string("vendor\\") + name).c_str(), temp.windows("scratch")));
    QueryResult suites{"ProductID"};
    EXPECT_TRUE(executeQuery(suites, db, "select ProductID from suites"));
    EXPECT_EQ(suites.rows, (Rows{{"P1"}, {"P2"}}));
    EXPECT_EQ(db.path(), path(std::string("vendor\\") + name));
    EXPECT_TRUE(db.close());
    // The copy is gone with the connection; the vendor's files are as they were.
    EXPECT_TRUE(std::filesystem::is_empty(temp.host("scratch")));
    EXPECT_EQ(snapshotTree(temp.host("vendor")), vendor);
  }
}

TEST_F(InstallerDatabaseTest, PersistentJournalBetweenWritesIsReadInPlace) {
  std::filesystem::create_directories(temp.host("scratch"));
  // A journal kept on purpose: after the write its header is zeroed.
  ASSERT_EQ(makeDatabase(temp.host("vendor/persist.db"),
                         "pragma journal_mode=persist;" + kSuites + "delete from suites where 0;"),
            "");
  ASSERT_GT(std::filesystem::file_size(temp.host("vendor/persist.db-journal")), 0u);
  auto vendor = snapshotTree(temp.host("vendor"));
  InstallerDatabase db;
  ASSERT_TRUE(db.open(path("vendor\\persist.db").c_str(), temp.windows("scratch")));
  EXPECT_TRUE(std::filesystem::is_empty(temp.host("scratch"))); // no copy
  QueryResult suites{"ProductID"};
  EXPECT_TRUE(executeQuery(suites, db, "select ProductID from suites"));
  EXPECT_EQ(suites.rows, (Rows{{"P1"}, {"P2"}}));
  EXPECT_TRUE(db.close());
  EXPECT_EQ(snapshotTree(temp.host("vendor")), vendor);
}

TEST_F(InstallerDatabaseTest, CopyIsRemovedWhenTheConnectionCannotBeClosed) {
  std::filesystem::create_directories(temp.host("scratch"));
  writeAndDie(temp.host("wal.db"), "pragma journal_mode=wal; pragma wal_autocheckpoint=0;" + kSuites);
  sqlite3_stmt* statement = nullptr;
  {
    InstallerDatabase db;
    ASSERT_TRUE(db.open(path("wal.db").c_str(), temp.windows("scratch")));
    EXPECT_FALSE(std::filesystem::is_empty(temp.host("scratch")));
    // An unfinished statement keeps the connection from closing.
    ASSERT_EQ(sqlite3_prepare_v2(db.handle(), "select ProductID from suites", -1, &statement,
                                 nullptr),
              SQLITE_OK);
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp.host("scratch")));
  sqlite3_finalize(statement);
}

namespace {

constexpr int kPages = 400;

// A vendor installer writing: a process of its own that commits in a loop
// until it is killed. Every commit sets n of every row to the commit's
// number; each row fills a page of its own, so a commit changes pages all
// over the file, and a database holds a committed state exactly when all
// rows agree.
pid_t startWriter(const std::string& hostPath, const std::string& journalMode) {
  pid_t child = fork();
  if (child != 0)
    return child;
  sqlite3* db = nullptr;
  if (sqlite3_open(hostPath.c_str(), &db) != SQLITE_OK)
    _exit(1);
  sqlite3_busy_timeout(db, 10000);
  const std::string setup = "pragma journal_mode=" + journalMode +
                            "; pragma synchronous=off; pragma wal_autocheckpoint=50;";
  sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr);
  for (long n = 1;; ++n) {
    const std::string commit = "begin immediate; update pages set n=" + std::to_string(n) + "; commit;";
    if (sqlite3_exec(db, commit.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
  }
}

} // namespace

TEST_F(InstallerDatabaseTest, CopiesMadeWhileAWriterCommitsHoldOneCommittedState) {
  std::filesystem::create_directories(temp.host("scratch"));
  for (const char* mode : {"delete", "wal"}) {
    SCOPED_TRACE(mode);
    const std::string name = std::string("busy-") + mode + ".db";
    ASSERT_EQ(makeDatabase(temp.host(name),
                           "create table pages(id integer primary key, n integer, pad blob);"
                           "with recursive i(x) as (select 1 union all select x + 1 from i "
                           "where x < " + std::to_string(kPages) + ") "
                           "insert into pages select x, 0, randomblob(3000) from i;"),
              "");
    pid_t writer = startWriter(temp.host(name), mode);
    ASSERT_GT(writer, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int copies = 0;
    for (int round = 0; round < 15; ++round) {
      SCOPED_TRACE(round);
      InstallerDatabase db;
      ASSERT_TRUE(db.open(path(name).c_str(), temp.windows("scratch")));
      copies += std::filesystem::is_empty(temp.host("scratch")) ? 0 : 1;
      QueryResult states{"states", "rows"};
      EXPECT_TRUE(executeQuery(states, db, "select count(distinct n) as states, count(*) as rows "
                                           "from pages"));
      EXPECT_EQ(states.rows, (Rows{{"1", std::to_string(kPages)}}));
      EXPECT_TRUE(db.close());
      EXPECT_TRUE(std::filesystem::is_empty(temp.host("scratch")));
    }
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    std::printf("%s: %d of 15 opens read a private copy\n", mode, copies);
  }
}

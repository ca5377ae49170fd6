// Running one statement through sqlite3_exec and keeping the requested columns.
#include "finders/QueryResult.h"

#include "finders/InstallerDatabase.h"

#include <sqlite3.h>

namespace {
// Calls of sqlite3_exec in all while it answers busy.
constexpr int kExecuteAttempts = 6;
} // namespace

QueryResult::QueryResult(std::initializer_list<std::string_view> names) {
  for (std::string_view name : names)
    columnNames.emplace_back(name);
  rowCount = 0;
  columnCount = static_cast<std::int32_t>(columnNames.size());
}

std::int32_t QueryResult::addRow() {
  rows.emplace_back(static_cast<std::size_t>(columnCount));
  return rowCount++;
}

std::int32_t QueryResult::columnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columnNames.size(); ++i) {
    if (columnNames[i] == name)
      return static_cast<std::int32_t>(i);
  }
  return -1;
}

bool QueryResult::columnValues(std::string_view name, std::vector<std::string>& values) const {
  std::int32_t index = columnIndex(name);
  if (index < 0)
    return false;
  for (const std::vector<std::string>& row : rows)
    values.push_back(row[static_cast<std::size_t>(index)]);
  return true;
}

int collectRow(void* argument, int columns, char** values, char** names) {
  auto* result = static_cast<QueryResult*>(argument);
  try {
    std::int32_t rowIndex = result->addRow();
    std::vector<std::string>& row = result->rows[static_cast<std::size_t>(rowIndex)];
    for (int column = 0; column < columns; ++column) {
      std::int32_t index = result->columnIndex(names[column] ? names[column] : "");
      if (index >= 0)
        row[static_cast<std::size_t>(index)] = values[column] ? values[column] : "";
    }
  } catch (...) {
    // Nothing may unwind through SQLite: stop the statement instead.
    return 1;
  }
  return 0;
}

bool executeQuery(QueryResult& result, InstallerDatabase& database, const std::string& sql) {
  sqlite3* connection = database.handle();
  if (!connection)
    return false;
  int status = SQLITE_BUSY;
  for (int attempt = 0; status == SQLITE_BUSY && attempt < kExecuteAttempts; ++attempt) {
    char* message = nullptr;
    status = sqlite3_exec(connection, sql.c_str(), collectRow, &result, &message);
    sqlite3_free(message);
  }
  return status == SQLITE_OK;
}

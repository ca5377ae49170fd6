// The rows of one SQL statement on an installer database, kept as text for
// the columns the caller asked for.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class InstallerDatabase;

class QueryResult {
public:
  // The columns to keep, in the order given.
  QueryResult(std::initializer_list<std::string_view> names);

  // Appends a row of columnCount empty values; returns its index.
  std::int32_t addRow();

  // Index of the first requested column whose name equals name byte for
  // byte (letter case counts), or -1.
  std::int32_t columnIndex(std::string_view name) const;

  // Appends the named column's value of every row, in row order. False,
  // nothing appended, when the column was not requested.
  bool columnValues(std::string_view name, std::vector<std::string>& values) const;

  std::int32_t rowCount = 0;    // rows collected
  std::int32_t columnCount = 0; // names given at construction
  std::vector<std::string> columnNames;
  // In delivery order; each holds columnCount values, empty where the row
  // had no such column or SQL NULL.
  std::vector<std::vector<std::string>> rows;
};

// sqlite3_exec's row callback with a QueryResult as its argument: adds a row
// and stores each delivered column that was requested. Returns 0, so the
// statement runs to its end (non-zero only when storing failed).
int collectRow(void* result, int columns, char** values, char** names);

// Runs the statement on the open database, collecting rows into result. A
// busy answer is retried at once, six calls in all (each already waits for
// the busy timeout). False when the database is not open or the statement
// did not succeed; rows collected so far stay.
bool executeQuery(QueryResult& result, InstallerDatabase& database, const std::string& sql);

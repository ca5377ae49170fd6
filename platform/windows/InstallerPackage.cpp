// Windows Installer packages read with the system's database API:
// MsiOpenDatabaseW read-only, one view per table, each row fetched as a
// record and its fields taken as text.
#include "platform/InstallerPackage.h"

#include "platform/windows/WideText.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace platform {
namespace {

// A Windows Installer handle (database, view or record), closed when it
// leaves scope.
class MsiHandle {
public:
  MsiHandle() = default;
  ~MsiHandle() { reset(); }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;

  MSIHANDLE get() const { return handle; }
  // The slot a call fills, emptied first.
  MSIHANDLE* out() {
    reset();
    return &handle;
  }

private:
  void reset() {
    if (handle)
      MsiCloseHandle(handle);
    handle = 0;
  }
  MSIHANDLE handle = 0;
};

// The text of one field of record; a null field reads as empty text.
bool fieldText(MSIHANDLE record, UINT field, std::u16string& text) {
  std::vector<wchar_t> buffer(128);
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = DWORD(buffer.size());
    UINT result = MsiRecordGetStringW(record, field, buffer.data(), &length);
    if (result == ERROR_SUCCESS) {
      text = win::fromWide(buffer.data(), std::min<std::size_t>(length, buffer.size() - 1));
      return true;
    }
    if (result != ERROR_MORE_DATA)
      return false;
    buffer.assign(std::size_t(length) + 1, L'\0');
  }
  return false;
}

// Opens and runs a view of sql whose columns all hold text (a type "s",
// "S", "l" or "L" with its length): an integer or stream column where a
// name belongs makes the package unreadable.
bool openTextView(MSIHANDLE database, const wchar_t* sql, UINT columns, MsiHandle& view) {
  if (MsiDatabaseOpenViewW(database, sql, view.out()) != ERROR_SUCCESS)
    return false;
  MsiHandle types;
  if (MsiViewGetColumnInfo(view.get(), MSICOLINFO_TYPES, types.out()) != ERROR_SUCCESS ||
      MsiRecordGetFieldCount(types.get()) != columns)
    return false;
  for (UINT column = 1; column <= columns; ++column) {
    std::u16string type;
    if (!fieldText(types.get(), column, type) || type.empty() ||
        std::u16string_view(u"sSlL").find(type[0]) == std::u16string_view::npos)
      return false;
  }
  return MsiViewExecute(view.get(), 0) == ERROR_SUCCESS;
}

// Fetches every row of view, handing the texts of its N columns to add.
template <std::size_t N, typename Add>
bool fetchRows(MSIHANDLE view, Add add) {
  while (true) {
    MsiHandle record;
    UINT result = MsiViewFetch(view, record.out());
    if (result == ERROR_NO_MORE_ITEMS)
      return true;
    if (result != ERROR_SUCCESS)
      return false;
    std::array<std::u16string, N> fields;
    for (UINT field = 0; field < N; ++field) {
      if (!fieldText(record.get(), field + 1, fields[field]))
        return false;
    }
    add(fields);
  }
}

} // namespace

bool readInstallerPackage(const std::u16string& path, InstallerPackage& package) {
  MsiHandle database;
  if (MsiOpenDatabaseW(win::wide(path), MSIDBOPEN_READONLY, database.out()) != ERROR_SUCCESS)
    return false;
  InstallerPackage read;
  MsiHandle components;
  if (!openTextView(database.get(),
                    L"SELECT `Component`, `ComponentId`, `Directory_` FROM `Component`", 3,
                    components) ||
      !fetchRows<3>(components.get(), [&](const std::array<std::u16string, 3>& row) {
        read.components.push_back({row[0], row[1], row[2]});
      }))
    return false;
  MsiHandle files;
  if (!openTextView(database.get(), L"SELECT `Component_`, `FileName` FROM `File`", 2, files) ||
      !fetchRows<2>(files.get(), [&](const std::array<std::u16string, 2>& row) {
        read.files.push_back({row[0], row[1]});
      }))
    return false;
  package = std::move(read);
  return true;
}

} // namespace platform

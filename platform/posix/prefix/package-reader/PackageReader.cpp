// fennick-package-reader: reads the Component and File tables of the
// Windows Installer package open on its standard input with libmsi and
// writes them to its standard output as the listing of PackageRows.h. The
// scanner starts it for every package it reads, so that a damaged or
// hostile package, which may bring the database library down, ends this
// program and never the scanner. Exit status 0 with a complete listing,
// 1 when the package cannot be read (nothing, or an unfinished listing, is
// written then).
#include "platform/posix/prefix/PackageRows.h"

#include <libmsi.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The package is read through the descriptor the scanner handed over, so
// that the file read is the file it checked.
constexpr char kPackagePath[] = "/proc/self/fd/0";
// A listing larger than this is refused (the largest real packages list a
// few megabytes).
constexpr std::size_t kMaxListing = 64u << 20;
constexpr rlim_t kCpuSeconds = 30;

struct GObjectRelease {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using Database = std::unique_ptr<LibmsiDatabase, GObjectRelease>;
using Query = std::unique_ptr<LibmsiQuery, GObjectRelease>;
using Record = std::unique_ptr<LibmsiRecord, GObjectRelease>;

struct TextRelease {
  void operator()(gchar* text) const { g_free(text); }
};
using Text = std::unique_ptr<gchar, TextRelease>;

// The GError a call may leave, freed when it leaves scope.
struct ErrorSlot {
  GError* error = nullptr;
  ~ErrorSlot() { g_clear_error(&error); }
  GError** out() {
    g_clear_error(&error);
    return &error;
  }
};

// The text of one field; a null field reads as empty text.
std::string fieldText(const LibmsiRecord* record, guint field) {
  Text text(libmsi_record_get_string(record, field));
  return text ? std::string(text.get()) : std::string();
}

// Runs the query and checks that each of its columns holds text (a type
// "s", "S", "l" or "L" with its length): an integer or stream column where
// a name belongs makes the package unreadable.
Query openTextQuery(LibmsiDatabase* database, const char* sql, guint columns) {
  ErrorSlot error;
  Query query(libmsi_query_new(database, sql, error.out()));
  if (!query || !libmsi_query_execute(query.get(), nullptr, error.out()))
    return nullptr;
  Record types(libmsi_query_get_column_info(query.get(), LIBMSI_COL_INFO_TYPES, error.out()));
  if (!types || libmsi_record_get_field_count(types.get()) != columns)
    return nullptr;
  for (guint column = 1; column <= columns; ++column) {
    std::string type = fieldText(types.get(), column);
    if (type.empty() || std::string_view("sSlL").find(type[0]) == std::string_view::npos)
      return nullptr;
  }
  return query;
}

// Fetches every row of query, handing the texts of its columns to add.
// False when a fetch fails or the listing grows too large.
template <std::size_t N, typename Add>
bool fetchRows(LibmsiQuery* query, const std::string& listing, Add add) {
  ErrorSlot error;
  while (true) {
    Record record(libmsi_query_fetch(query, error.out()));
    if (!record)
      return error.error == nullptr; // the end of the rows, or a failure
    std::array<std::string, N> fields;
    for (guint field = 0; field < N; ++field)
      fields[field] = fieldText(record.get(), field + 1);
    add(fields);
    if (listing.size() > kMaxListing)
      return false;
  }
}

bool readPackage(std::string& listing) {
  ErrorSlot error;
  Database database(
      libmsi_database_new(kPackagePath, LIBMSI_DB_FLAGS_READONLY, nullptr, error.out()));
  if (!database)
    return false;
  Query components = openTextQuery(
      database.get(), "SELECT `Component`, `ComponentId`, `Directory_` FROM `Component`", 3);
  if (!components ||
      !fetchRows<3>(components.get(), listing, [&](const std::array<std::string, 3>& row) {
        platform::package_rows::appendComponent(listing, row[0], row[1], row[2]);
      }))
    return false;
  Query files = openTextQuery(database.get(), "SELECT `Component_`, `FileName` FROM `File`", 2);
  if (!files || !fetchRows<2>(files.get(), listing, [&](const std::array<std::string, 2>& row) {
        platform::package_rows::appendFile(listing, row[0], row[1]);
      }))
    return false;
  platform::package_rows::appendEnd(listing);
  return true;
}

// Bounds what one package may cost: processor time, address space (where
// the build sets a bound: the sanitizers' shadow memory needs more than any
// bound would allow) and no core file.
void limitResources() {
  struct rlimit cpu = {kCpuSeconds, kCpuSeconds};
  setrlimit(RLIMIT_CPU, &cpu);
#ifdef FENNICK_READER_ADDRESS_SPACE_MB
  constexpr rlim_t kAddressSpace = rlim_t(FENNICK_READER_ADDRESS_SPACE_MB) << 20;
  struct rlimit memory = {kAddressSpace, kAddressSpace};
  setrlimit(RLIMIT_AS, &memory);
#endif
  struct rlimit core = {0, 0};
  setrlimit(RLIMIT_CORE, &core);
}

bool writeAll(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (written <= 0)
      return false;
    done += std::size_t(written);
  }
  return true;
}

} // namespace

int main() {
  limitResources();
  std::string listing;
  if (!readPackage(listing))
    return 1;
  return writeAll(listing) ? 0 : 1;
}

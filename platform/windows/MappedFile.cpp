// A read-only view of a whole file: CreateFileW, CreateFileMappingW and
// MapViewOfFile. The mapping object is closed once the view exists; the view
// keeps it alive. The file is opened sharing read, write and delete access,
// so that a file another program holds open for writing is still read.
#include "platform/MappedFile.h"

#include "platform/windows/FilePath.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

MappedFile::~MappedFile() { close(); }

void MappedFile::close() {
  if (mapping)
    UnmapViewOfFile(mapping);
  mapping = nullptr;
  data = nullptr;
  size = 0;
}

bool MappedFile::open(const std::string& hostPath) {
  close();
  failure = Error::None;
  std::u16string path;
  if (!win::narrowToWide(hostPath, CP_UTF8, path) && !win::narrowToWide(hostPath, CP_ACP, path)) {
    failure = Error::NotFound;
    return false;
  }
  HANDLE file = CreateFileW(win::filePath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    failure = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) ? Error::NotFound
                                                                             : Error::NotReadable;
    return false;
  }
  LARGE_INTEGER length;
  BY_HANDLE_FILE_INFORMATION info;
  // Only a regular file on a disk is mapped: a pipe or a device is not.
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length) ||
      !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      std::uint64_t(length.QuadPart) > std::uint64_t(SIZE_MAX)) {
    CloseHandle(file);
    failure = Error::NotReadable;
    return false;
  }
  if (length.QuadPart == 0) { // an empty file cannot be mapped; it is an empty span
    CloseHandle(file);
    return true;
  }
  HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);
  if (!section) {
    failure = Error::NotReadable;
    return false;
  }
  mapping = MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(section);
  if (!mapping) {
    failure = Error::NotReadable;
    return false;
  }
  data = static_cast<const std::uint8_t*>(mapping);
  size = std::size_t(length.QuadPart);
  return true;
}

} // namespace platform

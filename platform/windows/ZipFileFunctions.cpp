// The ZIP reader's file functions on Windows: the archive is opened with
// CreateFileW under its wide path (through win::filePath), sharing read,
// write and delete access so that an archive another program holds open for
// writing is still read, and read with ReadFile and SetFilePointerEx. The
// table reads only; nothing is ever written.
#include "platform/ZipFileFunctions.h"

#include "platform/windows/FilePath.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

// One open archive.
struct ArchiveFile {
  HANDLE handle;
  int error = 0; // the last failed call's error, 0 while none failed
};

ArchiveFile* archive(voidpf stream) { return static_cast<ArchiveFile*>(stream); }

voidpf ZCALLBACK openArchive(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
    return nullptr;
  const std::u16string path(static_cast<const char16_t*>(filename));
  HANDLE handle = CreateFileW(win::filePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  if (GetFileType(handle) != FILE_TYPE_DISK) { // a pipe or a device is no archive
    CloseHandle(handle);
    return nullptr;
  }
  return new ArchiveFile{handle};
}

uLong ZCALLBACK readArchive(voidpf, voidpf stream, void* buffer, uLong size) {
  DWORD got = 0;
  if (!ReadFile(archive(stream)->handle, buffer, DWORD(size), &got, nullptr)) {
    archive(stream)->error = int(GetLastError());
    return 0;
  }
  return got;
}

uLong ZCALLBACK writeArchive(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellArchive(voidpf, voidpf stream) {
  LARGE_INTEGER none{}, position{};
  if (!SetFilePointerEx(archive(stream)->handle, none, &position, FILE_CURRENT)) {
    archive(stream)->error = int(GetLastError());
    return ZPOS64_T(-1);
  }
  return ZPOS64_T(position.QuadPart);
}

long ZCALLBACK seekArchive(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  DWORD method;
  switch (origin) {
  case ZLIB_FILEFUNC_SEEK_CUR:
    method = FILE_CURRENT;
    break;
  case ZLIB_FILEFUNC_SEEK_END:
    method = FILE_END;
    break;
  case ZLIB_FILEFUNC_SEEK_SET:
    method = FILE_BEGIN;
    break;
  default:
    return -1;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = LONGLONG(offset);
  if (!SetFilePointerEx(archive(stream)->handle, distance, nullptr, method)) {
    archive(stream)->error = int(GetLastError());
    return -1;
  }
  return 0;
}

int ZCALLBACK closeArchive(voidpf, voidpf stream) {
  const bool closed = CloseHandle(archive(stream)->handle);
  delete archive(stream);
  return closed ? 0 : -1;
}

int ZCALLBACK archiveError(voidpf, voidpf stream) { return archive(stream)->error; }

} // namespace

zlib_filefunc64_def windowsPathFileFunctions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = openArchive;
  functions.zread_file = readArchive;
  functions.zwrite_file = writeArchive;
  functions.ztell64_file = tellArchive;
  functions.zseek64_file = seekArchive;
  functions.zclose_file = closeArchive;
  functions.zerror_file = archiveError;
  functions.opaque = nullptr;
  return functions;
}

} // namespace platform

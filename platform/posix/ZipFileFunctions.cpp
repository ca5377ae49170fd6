// ZIP reader file functions over stdio, opened through the Windows namespace.
#include "platform/ZipFileFunctions.h"

#include "platform/WindowsNamespace.h"
#include "platform/posix/RegularFile.h"

#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>

namespace platform {
namespace {

voidpf ZCALLBACK openWindowsPath(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
    return nullptr;
  std::optional<std::string> host = toHostPath(static_cast<const char16_t*>(filename));
  if (!host)
    return nullptr;
  // Only a regular file is opened: a named pipe, socket or device has
  // effects of its own when opened (see RegularFile.h).
  int descriptor = posix::openRegularFile(*host);
  if (descriptor < 0)
    return nullptr;
  std::FILE* stream = fdopen(descriptor, "rb");
  if (!stream)
    ::close(descriptor);
  return stream;
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buffer, uLong size) {
  return uLong(std::fread(buffer, 1, size, static_cast<std::FILE*>(stream)));
}

uLong ZCALLBACK writeFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellFile(voidpf, voidpf stream) {
  off_t position = ftello(static_cast<std::FILE*>(stream));
  return position < 0 ? ZPOS64_T(-1) : ZPOS64_T(position);
}

long ZCALLBACK seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  int whence = SEEK_SET;
  switch (origin) {
  case ZLIB_FILEFUNC_SEEK_SET: whence = SEEK_SET; break;
  case ZLIB_FILEFUNC_SEEK_CUR: whence = SEEK_CUR; break;
  case ZLIB_FILEFUNC_SEEK_END: whence = SEEK_END; break;
  default: return -1;
  }
  return fseeko(static_cast<std::FILE*>(stream), off_t(offset), whence) == 0 ? 0 : -1;
}

int ZCALLBACK closeFile(voidpf, voidpf stream) {
  return std::fclose(static_cast<std::FILE*>(stream));
}

int ZCALLBACK fileError(voidpf, voidpf stream) {
  return std::ferror(static_cast<std::FILE*>(stream));
}

} // namespace

zlib_filefunc64_def windowsPathFileFunctions() {
  zlib_filefunc64_def table{};
  table.zopen64_file = &openWindowsPath;
  table.zread_file = &readFile;
  table.zwrite_file = &writeFile;
  table.ztell64_file = &tellFile;
  table.zseek64_file = &seekFile;
  table.zclose_file = &closeFile;
  table.zerror_file = &fileError;
  table.opaque = nullptr;
  return table;
}

} // namespace platform

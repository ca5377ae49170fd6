// ZIP reader file functions over a MappedFile, opened through the Windows
// namespace. The reader seeks back and forth in small reads (the central
// directory, then each member's local header and data); an archive read
// whole when opened serves them from memory, where a buffered stream would
// go back to the file at every seek.
#include "platform/ZipFileFunctions.h"

#include "platform/MappedFile.h"
#include "platform/WindowsNamespace.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace platform {
namespace {

struct ArchiveStream {
  MappedFile file;
  ZPOS64_T position = 0; // may lie past the end, as a file's may
  bool failed = false;   // a read of the file failed
};

ArchiveStream* streamOf(voidpf stream) { return static_cast<ArchiveStream*>(stream); }

voidpf ZCALLBACK openWindowsPath(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
    return nullptr;
  std::optional<std::string> host = toHostPath(static_cast<const char16_t*>(filename));
  if (!host)
    return nullptr;
  // MappedFile opens only a regular file: a named pipe, socket or device
  // has effects of its own when opened (see RegularFile.h).
  auto stream = std::make_unique<ArchiveStream>();
  if (!stream->file.open(*host))
    return nullptr;
  return stream.release();
}

uLong ZCALLBACK readFile(voidpf, voidpf opaque, void* buffer, uLong size) {
  ArchiveStream* stream = streamOf(opaque);
  const ZPOS64_T end = stream->file.bytes().size();
  if (stream->position >= end || size == 0)
    return 0;
  const ZPOS64_T length = std::min<ZPOS64_T>(size, end - stream->position);
  auto* out = static_cast<std::uint8_t*>(buffer);
  // From memory when the file was read whole; read from the file in
  // order otherwise (a long archive is never walked through its mapping).
  const bool read = stream->file.readRange(stream->position, length,
                                           [&out](std::span<const std::uint8_t> piece) {
                                             std::memcpy(out, piece.data(), piece.size());
                                             out += piece.size();
                                             return true;
                                           });
  if (!read) {
    stream->failed = true;
    return 0;
  }
  stream->position += length;
  return uLong(length);
}

uLong ZCALLBACK writeFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellFile(voidpf, voidpf opaque) { return streamOf(opaque)->position; }

long ZCALLBACK seekFile(voidpf, voidpf opaque, ZPOS64_T offset, int origin) {
  ArchiveStream* stream = streamOf(opaque);
  // The reader passes a ZPOS64_T; a move back from the current place or the
  // end comes as its two's complement.
  ZPOS64_T base = 0;
  switch (origin) {
  case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
  case ZLIB_FILEFUNC_SEEK_CUR: base = stream->position; break;
  case ZLIB_FILEFUNC_SEEK_END: base = stream->file.bytes().size(); break;
  default: return -1;
  }
  const ZPOS64_T target = base + offset;
  if (static_cast<std::int64_t>(target) < 0)
    return -1; // before the start of the file
  stream->position = target;
  return 0;
}

int ZCALLBACK closeFile(voidpf, voidpf opaque) {
  delete streamOf(opaque);
  return 0;
}

int ZCALLBACK fileError(voidpf, voidpf opaque) { return streamOf(opaque)->failed ? 1 : 0; }

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

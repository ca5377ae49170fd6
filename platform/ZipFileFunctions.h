// The file functions through which the ZIP reader opens an archive named by
// a Windows path: the reader hands the path on untouched, and the open
// function maps it to the host file through the platform namespace.
#pragma once

#include <minizip/ioapi.h>

namespace platform {

// A read-only table for unzOpen2_64 whose "file name" is a zero-terminated
// UTF-16 Windows path (a std::u16string's c_str()). Opening fails when the
// path has no host file (an unmapped drive, a missing file).
zlib_filefunc64_def windowsPathFileFunctions();

} // namespace platform

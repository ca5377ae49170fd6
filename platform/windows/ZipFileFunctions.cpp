// The ZIP reader's file functions on Windows: minizip's own Win32 functions
// with wide file names, so an archive path is handed to CreateFileW as it is.
#include "platform/ZipFileFunctions.h"

#include <minizip/iowin32.h>

namespace platform {

zlib_filefunc64_def windowsPathFileFunctions() {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  return functions;
}

} // namespace platform

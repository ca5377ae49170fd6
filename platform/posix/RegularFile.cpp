// Opening regular files only.
#include "platform/posix/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

int openRegularFile(const std::string& hostPath) {
  struct stat looked;
  if (stat(hostPath.c_str(), &looked) != 0)
    return -1;
  if (!S_ISREG(looked.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  // Should the path have become something else since the look, the open
  // still must not wait on it.
  int descriptor = ::open(hostPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
    return -1;
  struct stat opened;
  if (fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode) ||
      opened.st_dev != looked.st_dev || opened.st_ino != looked.st_ino) {
    ::close(descriptor);
    errno = EINVAL;
    return -1;
  }
  return descriptor;
}

} // namespace platform::posix

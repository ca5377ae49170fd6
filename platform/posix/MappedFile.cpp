// Read-only file mapping on POSIX mmap.
#include "platform/MappedFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Closes a descriptor when it leaves scope; the mapping outlives it.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0)
      ::close(fd);
  }
};

} // namespace

MappedFile::~MappedFile() { close(); }

void MappedFile::close() {
  if (mapping)
    munmap(mapping, size);
  mapping = nullptr;
  data = nullptr;
  size = 0;
}

bool MappedFile::open(const std::string& hostPath) {
  close();
  failure = Error::None;
  // Without O_NONBLOCK, opening a named pipe waits for a writer; whatever is
  // not a regular file is refused right after the open.
  Descriptor file{::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) {
    failure = (errno == ENOENT || errno == ENOTDIR) ? Error::NotFound : Error::NotReadable;
    return false;
  }
  struct stat info;
  if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    failure = Error::NotReadable;
    return false;
  }
  if (info.st_size == 0)
    return true;
  void* mapped = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE,
                      file.fd, 0);
  if (mapped == MAP_FAILED) {
    failure = Error::NotReadable;
    return false;
  }
  madvise(mapped, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
  mapping = mapped;
  data = static_cast<const std::uint8_t*>(mapped);
  size = static_cast<std::size_t>(info.st_size);
  return true;
}

} // namespace platform

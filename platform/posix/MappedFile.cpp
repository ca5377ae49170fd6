// Read-only file mapping on POSIX mmap, and sequential reads with pread.
#include "platform/MappedFile.h"

#include "platform/posix/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The read buffer of the calling thread: one per thread that reads, made at
// its first read and kept until the thread ends, so that reading many files
// never allocates (a block this large would be mapped and unmapped by the
// allocator at every file).
std::uint8_t* threadReadBuffer() {
  thread_local std::unique_ptr<std::uint8_t[]> buffer(
      new std::uint8_t[MappedFile::kReadChunkSize]);
  return buffer.get();
}

// Reads the first size bytes of the file into buffer; false when it cannot
// or ends early.
bool readWhole(int descriptor, std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t read = pread(descriptor, buffer + done, size - done, static_cast<off_t>(done));
    if (read < 0 && errno == EINTR)
      continue;
    if (read <= 0)
      return false;
    done += static_cast<std::size_t>(read);
  }
  return true;
}

} // namespace

MappedFile::~MappedFile() { close(); }

void MappedFile::close() {
  if (mapping)
    munmap(mapping, size);
  copy.reset();
  if (descriptor >= 0)
    ::close(descriptor);
  mapping = nullptr;
  descriptor = -1;
  data = nullptr;
  size = 0;
}

bool MappedFile::open(const std::string& hostPath) {
  close();
  failure = Error::None;
  // Only a regular file is opened: a named pipe or a device has effects of
  // its own when opened (see RegularFile.h).
  int file = posix::openRegularFile(hostPath);
  if (file < 0) {
    failure = (errno == ENOENT || errno == ENOTDIR) ? Error::NotFound : Error::NotReadable;
    return false;
  }
  descriptor = file;
  struct stat info;
  if (fstat(file, &info) != 0) {
    failure = Error::NotReadable;
    close();
    return false;
  }
  if (info.st_size == 0)
    return true;
  if (static_cast<std::uint64_t>(info.st_size) <= kWholeReadLimit) {
    const auto length = static_cast<std::size_t>(info.st_size);
    copy.reset(new std::uint8_t[length]);
    if (!readWhole(file, copy.get(), length)) {
      failure = Error::NotReadable;
      close();
      return false;
    }
    data = copy.get();
    size = length;
    return true;
  }
  void* mapped = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE,
                      file, 0);
  if (mapped == MAP_FAILED) {
    failure = Error::NotReadable;
    close();
    return false;
  }
  mapping = mapped;
  data = static_cast<const std::uint8_t*>(mapped);
  size = static_cast<std::size_t>(info.st_size);
  return true;
}

bool MappedFile::readRange(std::uint64_t offset, std::uint64_t length,
                           const std::function<bool(std::span<const std::uint8_t>)>& consume) const {
  if (offset > size || length > size - offset)
    return false;
  if (length == 0)
    return true;
  if (descriptor < 0)
    return false;
  if (copy) { // read whole already: the pieces come from memory
    while (length > 0) {
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(length, kReadChunkSize));
      if (!consume({data + offset, piece}))
        return false;
      offset += piece;
      length -= piece;
    }
    return true;
  }
  std::uint8_t* buffer = threadReadBuffer();
  while (length > 0) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, kReadChunkSize));
    const ssize_t read = pread(descriptor, buffer, wanted, static_cast<off_t>(offset));
    if (read < 0 && errno == EINTR)
      continue;
    if (read <= 0)
      return false;
    if (!consume({buffer, static_cast<std::size_t>(read)}))
      return false;
    offset += static_cast<std::uint64_t>(read);
    length -= static_cast<std::uint64_t>(read);
  }
  return true;
}

} // namespace platform

// A whole file mapped read-only into memory, for reading its parts in place
// wherever they lie, together with sequential reads of long ranges through
// a small buffer: hashing a file from the page cache by read() into a buffer
// that stays in the processor's cache is cheaper than walking the mapping,
// whose pages come cold from memory and must be faulted in and torn down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace platform {

class MappedFile {
public:
  enum class Error {
    None,
    NotFound,      // nothing at the path
    NotReadable,   // no permission, not a regular file, or a read error
  };

  // Bytes per sequential read: large enough that the system calls do not
  // count, small enough to stay in the processor's second-level cache.
  static constexpr std::size_t kReadChunkSize = 64 * 1024;
  // Files up to this size are read whole into memory when opened, where
  // the host maps files: for a small file, mapping it and tearing the
  // mapping down again costs more than one read of all its bytes.
  static constexpr std::size_t kWholeReadLimit = 1024 * 1024;

  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the host file; false (and error() tells why) when it cannot be.
  // An empty file maps to an empty span. The file stays open for
  // readRange until the object is destroyed or opens another file.
  bool open(const std::string& hostPath);

  std::span<const std::uint8_t> bytes() const { return {data, size}; }
  Error error() const { return failure; }

  // Reads [offset, offset + length) from the file in order, in pieces of at
  // most kReadChunkSize bytes, and hands each piece to consume; the piece
  // lives in a buffer of the calling thread, reused by its next read. False
  // when the range does not lie inside the file, when the file cannot be
  // read or ends early, or when consume returns false.
  bool readRange(std::uint64_t offset, std::uint64_t length,
                 const std::function<bool(std::span<const std::uint8_t>)>& consume) const;

private:
  void close();

  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  void* mapping = nullptr; // the mmap result, null for an empty file
  std::unique_ptr<std::uint8_t[]> copy; // the bytes of a file read whole
  int descriptor = -1;
  Error failure = Error::None;
};

} // namespace platform

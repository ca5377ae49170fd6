// A whole file mapped read-only into memory: the file is read once, by the
// pages the reader touches, and never copied onto the heap.
#pragma once

#include <cstddef>
#include <cstdint>
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

  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the host file; false (and error() tells why) when it cannot be.
  // An empty file maps to an empty span. Hints sequential reading.
  bool open(const std::string& hostPath);

  std::span<const std::uint8_t> bytes() const { return {data, size}; }
  Error error() const { return failure; }

private:
  void close();

  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  void* mapping = nullptr; // the mmap result, null for an empty file
  Error failure = Error::None;
};

} // namespace platform

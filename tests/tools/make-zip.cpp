// Writes a ZIP archive from a list of entries, in the order given, for the
// fixture scripts. Besides ordinary files it makes members that are costly
// or impossible to make with the zip command: a member of many zero bytes
// (Zip64 when needed) and a member whose headers declare a size other than
// what its data holds.
//
//   make-zip OUT ENTRY...
//     NAME=HOSTFILE        the file's bytes, deflated
//     NAME:zeros=COUNT     COUNT zero bytes, deflated
//     NAME:declares=COUNT  one MiB of zero bytes, deflated, whose headers
//                          declare COUNT bytes
#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull;
constexpr std::size_t kChunk = 1 << 20;

bool addBytes(zipFile zip, const std::string& name, const std::vector<char>& bytes) {
  zip_fileinfo info{};
  if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) != ZIP_OK)
    return false;
  bool written = bytes.empty() ||
                 zipWriteInFileInZip(zip, bytes.data(), unsigned(bytes.size())) == ZIP_OK;
  return zipCloseFileInZip(zip) == ZIP_OK && written;
}

bool addZeros(zipFile zip, const std::string& name, std::uint64_t count) {
  zip_fileinfo info{};
  if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_BEST_SPEED, count >= kZip64Threshold) != ZIP_OK)
    return false;
  std::vector<char> zeros(kChunk, 0);
  for (std::uint64_t left = count; left > 0;) {
    unsigned piece = unsigned(left < kChunk ? left : kChunk);
    if (zipWriteInFileInZip(zip, zeros.data(), piece) != ZIP_OK)
      return false;
    left -= piece;
  }
  return zipCloseFileInZip(zip) == ZIP_OK;
}

// Deflates one MiB of zeros by hand and stores the raw stream under
// headers that declare the given size.
bool addLyingMember(zipFile zip, const std::string& name, std::uint64_t declared) {
  std::vector<unsigned char> zeros(kChunk, 0);
  uLongf packedSize = compressBound(uLong(zeros.size()));
  std::vector<unsigned char> packed(packedSize);
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    return false;
  stream.next_in = zeros.data();
  stream.avail_in = uInt(zeros.size());
  stream.next_out = packed.data();
  stream.avail_out = uInt(packed.size());
  int status = deflate(&stream, Z_FINISH);
  packedSize = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END)
    return false;
  uLong crc = crc32(0L, zeros.data(), uInt(zeros.size()));

  zip_fileinfo info{};
  if (zipOpenNewFileInZip2_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, Z_BEST_COMPRESSION, 1,
                              declared >= kZip64Threshold) != ZIP_OK)
    return false;
  if (zipWriteInFileInZip(zip, packed.data(), unsigned(packedSize)) != ZIP_OK)
    return false;
  return zipCloseFileInZipRaw64(zip, declared, crc) == ZIP_OK;
}

bool addEntry(zipFile zip, const std::string& entry) {
  if (std::size_t at = entry.find(":zeros="); at != std::string::npos)
    return addZeros(zip, entry.substr(0, at), std::stoull(entry.substr(at + 7)));
  if (std::size_t at = entry.find(":declares="); at != std::string::npos)
    return addLyingMember(zip, entry.substr(0, at), std::stoull(entry.substr(at + 10)));
  std::size_t at = entry.find('=');
  if (at == std::string::npos)
    return false;
  std::ifstream in(entry.substr(at + 1), std::ios::binary);
  if (!in)
    return false;
  std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
  return addBytes(zip, entry.substr(0, at), bytes);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make-zip OUT ENTRY...\n");
    return 2;
  }
  zipFile zip = zipOpen64(argv[1], APPEND_STATUS_CREATE);
  if (!zip) {
    std::fprintf(stderr, "make-zip: cannot create %s\n", argv[1]);
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    if (!addEntry(zip, argv[i])) {
      std::fprintf(stderr, "make-zip: cannot add %s\n", argv[i]);
      zipClose(zip, nullptr);
      return 1;
    }
  }
  return zipClose(zip, nullptr) == ZIP_OK ? 0 : 1;
}

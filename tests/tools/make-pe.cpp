// make-pe: writes a small but well-formed PE32 or PE32+ image for the tests
// and the benchmark: DOS header, PE headers with sixteen data directories,
// one code section filled with bytes from a seeded generator.
//
//   make-pe [--pe32 | --pe32plus] [--size BYTES] [--seed N] OUT
//
// --size is the size of the image (rounded up to the 512-byte file
// alignment, at least 1024); --seed varies the section bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kNtHeaders = 0x80;

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
  out[at] = value & 0xFF;
  out[at + 1] = value >> 8;
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + i] = (value >> (8 * i)) & 0xFF;
}

void put64(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i)
    out[at + i] = (value >> (8 * i)) & 0xFF;
}

std::uint32_t alignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// The headers, one file-alignment unit long.
std::vector<std::uint8_t> headers(bool pe32Plus, std::uint32_t rawSize) {
  std::vector<std::uint8_t> out(kFileAlignment, 0);
  out[0] = 'M';
  out[1] = 'Z';
  put32(out, 0x3C, kNtHeaders);
  const char stub[] = "This program is a test fixture.";
  std::memcpy(&out[0x40], stub, sizeof stub - 1);

  std::size_t at = kNtHeaders;
  std::memcpy(&out[at], "PE\0\0", 4);
  const std::uint16_t optionalSize = pe32Plus ? 240 : 224;
  put16(out, at + 4, pe32Plus ? 0x8664 : 0x014C);  // Machine
  put16(out, at + 6, 1);                           // NumberOfSections
  put16(out, at + 20, optionalSize);               // SizeOfOptionalHeader
  put16(out, at + 22, pe32Plus ? 0x0022 : 0x0102); // executable image, 32-bit or large-address

  const std::size_t optional = at + 24;
  const std::uint32_t virtualSize = alignUp(rawSize, kSectionAlignment);
  put16(out, optional, pe32Plus ? 0x20B : 0x10B);
  out[optional + 2] = 14;                     // linker version
  put32(out, optional + 4, rawSize);          // SizeOfCode
  put32(out, optional + 16, 0x1000);          // AddressOfEntryPoint
  put32(out, optional + 20, 0x1000);          // BaseOfCode
  std::size_t rest;                           // offset of SectionAlignment
  if (pe32Plus) {
    put64(out, optional + 24, 0x140000000ULL); // ImageBase
    rest = optional + 32;
  } else {
    put32(out, optional + 24, 0x1000);         // BaseOfData
    put32(out, optional + 28, 0x400000);       // ImageBase
    rest = optional + 32;
  }
  put32(out, rest, kSectionAlignment);
  put32(out, rest + 4, kFileAlignment);
  put16(out, rest + 8, 6);                    // operating system version
  put16(out, rest + 16, 6);                   // subsystem version
  put32(out, rest + 24, 0x1000 + virtualSize); // SizeOfImage
  put32(out, rest + 28, kFileAlignment);      // SizeOfHeaders
  // CheckSum at rest + 32 stays zero.
  put16(out, rest + 36, 3);                   // Subsystem: console
  put16(out, rest + 38, 0x8140);              // DllCharacteristics
  std::size_t sizes = rest + 40;
  if (pe32Plus) {
    put64(out, sizes, 0x100000);
    put64(out, sizes + 8, 0x1000);
    put64(out, sizes + 16, 0x100000);
    put64(out, sizes + 24, 0x1000);
    put32(out, sizes + 36, 16);               // NumberOfRvaAndSizes
  } else {
    put32(out, sizes, 0x100000);
    put32(out, sizes + 4, 0x1000);
    put32(out, sizes + 8, 0x100000);
    put32(out, sizes + 12, 0x1000);
    put32(out, sizes + 20, 16);
  }

  const std::size_t section = optional + optionalSize;
  std::memcpy(&out[section], ".text", 5);
  put32(out, section + 8, rawSize);           // VirtualSize
  put32(out, section + 12, 0x1000);           // VirtualAddress
  put32(out, section + 16, rawSize);          // SizeOfRawData
  put32(out, section + 20, kFileAlignment);   // PointerToRawData
  put32(out, section + 36, 0x60000020);       // code, execute, read
  return out;
}

int usage() {
  std::fprintf(stderr, "usage: make-pe [--pe32 | --pe32plus] [--size BYTES] [--seed N] OUT\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  bool pe32Plus = false;
  std::uint64_t size = 4096;
  std::uint64_t seed = 1;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--pe32")
      pe32Plus = false;
    else if (argument == "--pe32plus")
      pe32Plus = true;
    else if (argument == "--size" && i + 1 < argc)
      size = std::strtoull(argv[++i], nullptr, 10);
    else if (argument == "--seed" && i + 1 < argc)
      seed = std::strtoull(argv[++i], nullptr, 10);
    else if (!argument.empty() && argument[0] != '-' && out.empty())
      out = argument;
    else
      return usage();
  }
  if (out.empty() || size > 0x7FFF0000)
    return usage();
  const std::uint32_t total = alignUp(static_cast<std::uint32_t>(size < 1024 ? 1024 : size),
                                      kFileAlignment);
  const std::uint32_t rawSize = total - kFileAlignment;

  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  std::vector<std::uint8_t> head = headers(pe32Plus, rawSize);
  file.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  // Section bytes: "ret" first, then a xorshift stream.
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
  std::vector<std::uint8_t> chunk(1 << 16);
  for (std::uint32_t written = 0; written < rawSize;) {
    const std::uint32_t n = std::min<std::uint32_t>(rawSize - written, chunk.size());
    for (std::uint32_t i = 0; i < n; i += 8) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      for (std::uint32_t b = 0; b < 8 && i + b < n; ++b)
        chunk[i + b] = static_cast<std::uint8_t>(state >> (8 * b));
    }
    if (written == 0)
      chunk[0] = 0xC3;
    file.write(reinterpret_cast<const char*>(chunk.data()), n);
    written += n;
  }
  return file.good() ? 0 : 1;
}

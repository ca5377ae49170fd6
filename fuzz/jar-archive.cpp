// Fuzz target: the whole archive check. Each input is written to a scratch
// file and checked through its Windows path, as the scan would check it.
#include "platform/WindowsNamespace.h"
#include "validation/JarValidator.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

const std::string& scratchFile() {
  static const std::string path =
      (std::filesystem::temp_directory_path() /
       ("fennick-jar-fuzz-" + std::to_string(std::random_device()()) + ".jar"))
          .string();
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = scratchFile();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  JarValidator validator;
  validator.certificateHash = u"BBCA7C15C27E00122C51451E9EF7B6A3EB56178D";
  int result = validator.validate(platform::toWindowsPath(path));
  if (result != 0 && result != 1 && result != 2 && result != 3 && result != 6)
    std::abort();
  std::filesystem::remove(path);
  return 0;
}

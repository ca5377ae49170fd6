// Where the generated fixtures and the shared samples lie, and reading them.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fixtures {

// The folder of one fixture script's output: $FENNICK_FIXTURES/<name>.
inline std::string folder(const std::string& name) {
  const char* root = std::getenv("FENNICK_FIXTURES");
  return std::string(root ? root : "fixtures") + "/" + name;
}

// The shared samples folder, $FENNICK_SAMPLES/<name> (may be absent).
inline std::string samples(const std::string& name) {
  const char* root = std::getenv("FENNICK_SAMPLES");
  return std::string(root ? root : "samples") + "/" + name;
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The first line of a text file, without its line end.
inline std::string readLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

} // namespace fixtures

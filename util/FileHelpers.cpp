// File and Base64 helpers.
#include "util/FileHelpers.h"

#include "platform/Files.h"
#include "util/Base64.h"
#include "util/Text.h"

#include <vector>

std::filesystem::path fsPath(const std::string& utf8Path) {
  return std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end()));
}

std::string utf8PathOf(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool fileExists(const std::string& utf8Path) {
  std::u16string path;
  if (!utf8ToWide(utf8Path, path))
    return false;
  return platform::pathFileExists(path);
}

bool deleteFileIfExists(const std::string& utf8Path) {
  std::u16string path;
  if (!utf8ToWide(utf8Path, path))
    return false;
  if (!platform::pathFileExists(path))
    return true;
  return platform::deleteFile(path);
}

bool writeFile(const std::u16string& path, const std::uint8_t* bytes, std::size_t count) {
  platform::WriteHandle file(path);
  if (!file.valid())
    return false;
  return file.write({bytes, count});
}

bool decodeBase64ToFile(std::size_t byteCount, const char* text, const std::u16string& path) {
  // Decoded data is never longer than its text.
  std::vector<std::uint8_t> decoded(byteCount ? byteCount : 1);
  std::size_t capacity = byteCount;
  if (!base64Decode(byteCount, text, decoded.data(), capacity))
    return false;
  return writeFile(path, decoded.data(), capacity);
}

bool writeBase64File(const std::u16string& folder, std::u16string& filePath,
                     const char* text, std::size_t byteCount, const std::u16string* fileName) {
  // Without a folder the file would land in the root of the current drive.
  if (folder.empty())
    return false;
  std::uint32_t created = platform::shCreateDirectoryEx(folder);
  if (created != platform::kErrorSuccess && created != platform::kErrorFileExists &&
      created != platform::kErrorAlreadyExists)
    return false;
  std::u16string target;
  if (fileName && !fileName->empty()) {
    target = folder + u"\\" + *fileName;
  } else {
    std::u16string guid;
    if (!newGuidString(guid))
      return false;
    target = folder + u"\\" + guid;
  }
  if (!decodeBase64ToFile(byteCount, text, target))
    return false;
  filePath = target;
  return true;
}

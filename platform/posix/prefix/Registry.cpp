// Reading the prefix's registry files in their text format.
//
// The format, as the registry server writes it:
//   WINE REGISTRY Version 2
//   ;; comment
//   #arch=win64
//   [Software\\Vendor\\Key] 1700000000        key, relative to the hive root
//   #time=1d9a...                              key metadata (skipped)
//   @="default value"                          REG_SZ
//   "Name"=str(2):"%SystemRoot%\\x"            typed string (type in hex)
//   "Count"=dword:0000002a                     REG_DWORD
//   "Blob"=hex(2):25,00,53,00,\                typed bytes; a trailing backslash
//     00,00                                    continues the line
// Strings and key names use C-like escapes: \\ \" \a \b \e \f \n \r \t \v,
// \x followed by up to four hex digits (one UTF-16 unit) and up to three
// octal digits; any other escaped character stands for itself. Text outside
// escapes is UTF-8.
#include "platform/Registry.h"

#include "platform/WindowsNamespace.h"
#include "util/Text.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/stat.h>

namespace platform {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

std::u16string folded(std::u16string_view text) {
  std::u16string copy(text);
  toUpperAscii(copy);
  return copy;
}

bool isSpace(char16_t c) { return c == u' ' || c == u'\t'; }

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

// Reads an escaped text from line at pos up to the unescaped terminator;
// pos ends just past the terminator. False when the terminator is missing.
bool readEscaped(const std::u16string& line, size_t& pos, char16_t terminator,
                 std::u16string& out) {
  out.clear();
  while (pos < line.size()) {
    char16_t c = line[pos++];
    if (c == terminator)
      return true;
    if (c != u'\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= line.size())
      return false;
    c = line[pos++];
    switch (c) {
    case u'a': out.push_back(u'\a'); break;
    case u'b': out.push_back(u'\b'); break;
    case u'e': out.push_back(char16_t(0x1B)); break;
    case u'f': out.push_back(u'\f'); break;
    case u'n': out.push_back(u'\n'); break;
    case u'r': out.push_back(u'\r'); break;
    case u't': out.push_back(u'\t'); break;
    case u'v': out.push_back(u'\v'); break;
    case u'x': {
      unsigned value = 0;
      int digits = 0;
      while (digits < 4 && pos < line.size() && hexDigit(line[pos]) >= 0) {
        value = value * 16 + unsigned(hexDigit(line[pos++]));
        ++digits;
      }
      out.push_back(digits ? char16_t(value) : u'x');
      break;
    }
    default:
      if (c >= u'0' && c <= u'7') {
        unsigned value = unsigned(c - u'0');
        for (int digits = 1; digits < 3 && pos < line.size() && line[pos] >= u'0' &&
                             line[pos] <= u'7';
             ++digits)
          value = value * 8 + unsigned(line[pos++] - u'0');
        out.push_back(char16_t(value));
      } else {
        out.push_back(c);
      }
    }
  }
  return false;
}

void skipSpaces(const std::u16string& line, size_t& pos) {
  while (pos < line.size() && isSpace(line[pos]))
    ++pos;
}

bool startsWith(const std::u16string& line, size_t pos, std::u16string_view word) {
  return line.compare(pos, word.size(), word) == 0;
}

// Reads a hexadecimal number up to the first non-digit.
bool readHexNumber(const std::u16string& line, size_t& pos, std::uint32_t& value) {
  size_t start = pos;
  value = 0;
  while (pos < line.size() && hexDigit(line[pos]) >= 0 && pos - start < 8)
    value = value * 16 + std::uint32_t(hexDigit(line[pos++]));
  return pos > start;
}

std::vector<std::uint8_t> utf16Bytes(const std::u16string& text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (char16_t unit : text) {
    bytes.push_back(std::uint8_t(unit & 0xFF));
    bytes.push_back(std::uint8_t(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

// Reads "xx,xx,..." (spaces and a trailing comma allowed) to the end of line.
bool readHexBytes(const std::u16string& line, size_t pos, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  while (true) {
    skipSpaces(line, pos);
    if (pos >= line.size())
      return true;
    if (pos + 1 >= line.size() || hexDigit(line[pos]) < 0 || hexDigit(line[pos + 1]) < 0)
      return false;
    bytes.push_back(std::uint8_t(hexDigit(line[pos]) * 16 + hexDigit(line[pos + 1])));
    pos += 2;
    skipSpaces(line, pos);
    if (pos >= line.size())
      return true;
    if (line[pos] != u',')
      return false;
    ++pos;
  }
}

// Reads the data after "=" into value; false when it has no form we know.
bool readData(const std::u16string& line, size_t pos, RegistryValue& value) {
  skipSpaces(line, pos);
  std::u16string text;
  if (pos < line.size() && line[pos] == u'"') {
    ++pos;
    if (!readEscaped(line, pos, u'"', text))
      return false;
    value.type = kRegSz;
    value.data = utf16Bytes(text);
    return true;
  }
  std::uint32_t type = 0;
  if (startsWith(line, pos, u"str(")) {
    pos += 4;
    if (!readHexNumber(line, pos, type) || !startsWith(line, pos, u"):\""))
      return false;
    pos += 3;
    if (!readEscaped(line, pos, u'"', text))
      return false;
    value.type = type;
    value.data = utf16Bytes(text);
    return true;
  }
  if (startsWith(line, pos, u"dword:")) {
    pos += 6;
    std::uint32_t number = 0;
    if (!readHexNumber(line, pos, number))
      return false;
    value.type = kRegDword;
    value.data = {std::uint8_t(number), std::uint8_t(number >> 8), std::uint8_t(number >> 16),
                  std::uint8_t(number >> 24)};
    return true;
  }
  if (startsWith(line, pos, u"hex:")) {
    value.type = kRegBinary;
    return readHexBytes(line, pos + 4, value.data);
  }
  if (startsWith(line, pos, u"hex(")) {
    pos += 4;
    if (!readHexNumber(line, pos, type) || !startsWith(line, pos, u"):"))
      return false;
    value.type = type;
    return readHexBytes(line, pos + 2, value.data);
  }
  return false;
}

// Whether a physical line goes on in the next one: it ends with a backslash
// outside a string (wrapped hex data) or with an escape inside an open string.
bool continues(const std::string& line) {
  if (!line.empty() && line.front() == '[')
    return false;
  bool inString = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (inString) {
      if (c == '\\') {
        if (i + 1 == line.size())
          return true;
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    }
  }
  if (inString)
    return false;
  size_t end = line.find_last_not_of(" \t");
  return end != std::string::npos && line[end] == '\\';
}

} // namespace

bool RegistryHive::parse(std::string_view text) {
  keys.clear();
  win64 = false;
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);
  if (text.substr(0, kHeader.size()) != kHeader)
    return false;

  Key* current = nullptr;
  auto process = [&](const std::string& narrow) {
    std::u16string line;
    utf8ToWide(narrow, line);
    size_t pos = 0;
    skipSpaces(line, pos);
    if (pos >= line.size())
      return;
    char16_t first = line[pos];
    if (first == u'#') {
      if (startsWith(line, pos, u"#arch="))
        win64 = line.compare(pos + 6, std::u16string::npos, u"win64") == 0;
      return;
    }
    if (first == u'[') {
      std::u16string name;
      ++pos;
      if (!readEscaped(line, pos, u']', name)) {
        current = nullptr;
        return;
      }
      Key& key = keys[folded(name)];
      if (key.name.empty())
        key.name = name;
      current = &key;
      return;
    }
    if (!current || (first != u'"' && first != u'@'))
      return;
    std::u16string name;
    ++pos;
    if (first == u'"' && !readEscaped(line, pos, u'"', name))
      return;
    skipSpaces(line, pos);
    if (pos >= line.size() || line[pos] != u'=')
      return;
    RegistryValue value;
    if (readData(line, pos + 1, value))
      current->values[folded(name)] = std::move(value);
  };

  std::string logical;
  bool joining = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    std::string physical(text.substr(start, end - start));
    start = end + 1;
    if (!physical.empty() && physical.back() == '\r')
      physical.pop_back();
    if (joining) {
      size_t first = physical.find_first_not_of(" \t");
      logical += first == std::string::npos ? std::string() : physical.substr(first);
    } else {
      logical = physical;
    }
    joining = continues(logical);
    if (joining) {
      // Drop the backslash that wraps the line (and any space after it).
      logical.erase(logical.find_last_of('\\'));
      if (start <= text.size())
        continue;
    }
    process(logical);
    logical.clear();
    joining = false;
  }
  return true;
}

const RegistryValue* RegistryHive::find(std::u16string_view keyPath,
                                        std::u16string_view valueName) const {
  auto key = keys.find(folded(keyPath));
  if (key == keys.end())
    return nullptr;
  auto value = key->second.values.find(folded(valueName));
  return value == key->second.values.end() ? nullptr : &value->second;
}

bool RegistryHive::hasKey(std::u16string_view keyPath) const {
  std::u16string path = folded(keyPath);
  if (keys.count(path))
    return true;
  auto next = keys.lower_bound(path + u"\\");
  return next != keys.end() && next->first.compare(0, path.size() + 1, path + u"\\") == 0;
}

std::vector<std::u16string> RegistryHive::subkeys(std::u16string_view keyPath) const {
  std::u16string parent = folded(keyPath) + u"\\";
  std::map<std::u16string, std::u16string> found;
  for (auto it = keys.lower_bound(parent);
       it != keys.end() && it->first.compare(0, parent.size(), parent) == 0; ++it) {
    size_t end = it->first.find(u'\\', parent.size());
    size_t length = (end == std::u16string::npos ? it->first.size() : end) - parent.size();
    std::u16string child = it->first.substr(parent.size(), length);
    if (!child.empty() && !found.count(child))
      found[child] = it->second.name.substr(parent.size(), length);
  }
  std::vector<std::u16string> names;
  for (auto& [key, name] : found)
    names.push_back(name);
  return names;
}

std::shared_ptr<const RegistryHive> loadRegistryHive(RegistryRoot root) {
  struct CachedHive {
    std::string path;
    struct timespec modified = {};
    off_t size = -1;
    std::shared_ptr<const RegistryHive> hive;
  };
  static std::mutex cacheMutex;
  static CachedHive cache[2];

  std::string path = prefix() + (root == RegistryRoot::LocalMachine ? "/system.reg" : "/user.reg");
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return nullptr;

  std::lock_guard lock(cacheMutex);
  CachedHive& cached = cache[root == RegistryRoot::LocalMachine ? 0 : 1];
  if (cached.hive && cached.path == path && cached.size == info.st_size &&
      cached.modified.tv_sec == info.st_mtim.tv_sec &&
      cached.modified.tv_nsec == info.st_mtim.tv_nsec)
    return cached.hive;

  std::ifstream file(path, std::ios::binary);
  if (!file)
    return nullptr;
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto hive = std::make_shared<RegistryHive>();
  if (!hive->parse(text))
    return nullptr;
  cached = {path, info.st_mtim, info.st_size, hive};
  return hive;
}

bool readRegistryValue(RegistryRoot root, std::u16string_view keyPath,
                       std::u16string_view valueName, RegistryValue& value) {
  std::shared_ptr<const RegistryHive> hive = loadRegistryHive(root);
  if (!hive)
    return false;
  const RegistryValue* found = hive->find(keyPath, valueName);
  if (!found)
    return false;
  value = *found;
  return true;
}

} // namespace platform

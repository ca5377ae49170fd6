// The console's character set: the output code page of the console the
// program writes to, else the ANSI code page; text converted with
// WideCharToMultiByte; and whether a stream is a console.
#include "platform/Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {
namespace {

// The code page a character set name stands for: "UTF-8", "CP<n>" and
// "ISO-8859-<n>" are known; 0 for any other name.
UINT codePageOf(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  if (name == "UTF8")
    return CP_UTF8;
  auto number = [&name](std::size_t from) -> UINT {
    if (from >= name.size() || name.size() - from > 5)
      return 0;
    for (std::size_t i = from; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9')
        return 0;
    }
    return UINT(std::strtoul(name.c_str() + from, nullptr, 10));
  };
  if (name.rfind("CP", 0) == 0)
    return number(2);
  if (name.rfind("ISO8859", 0) == 0) {
    const UINT part = number(7);
    return part >= 1 && part <= 15 ? 28590 + part : 0;
  }
  return 0;
}

} // namespace

std::string consoleCharset() {
  UINT codePage = GetConsoleOutputCP(); // 0 without a console
  if (codePage == 0)
    codePage = GetACP();
  return codePage == CP_UTF8 ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

std::string toCharset(std::string_view utf8, const std::string& charset) {
  const UINT codePage = codePageOf(charset);
  if (codePage == 0 || codePage == CP_UTF8 || utf8.empty() || !IsValidCodePage(codePage))
    return std::string(utf8);
  // A broken UTF-8 sequence becomes U+FFFD here and a question mark below.
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  if (units <= 0)
    return std::string(utf8);
  std::wstring wide(std::size_t(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), units);
  const wchar_t* source = wide.c_str();
  const int length =
      WideCharToMultiByte(codePage, 0, source, int(wide.size()), nullptr, 0, "?", nullptr);
  if (length <= 0)
    return std::string(utf8);
  std::string out(std::size_t(length), '\0');
  WideCharToMultiByte(codePage, 0, source, int(wide.size()), out.data(), length, "?", nullptr);
  return out;
}

std::string consoleText(std::string_view utf8) { return toCharset(utf8, consoleCharset()); }

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void setBinaryOutput(std::FILE* stream) {
  std::fflush(stream);
  _setmode(_fileno(stream), _O_BINARY);
}

} // namespace platform

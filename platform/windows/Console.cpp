// The console's character set: the output code page of the console the
// program writes to, else the ANSI code page; text converted with
// WideCharToMultiByte. Text for a console itself goes out as UTF-16 with
// WriteConsoleW, which no code page limits; and whether a stream is a
// console.
#include "platform/Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <io.h>

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

namespace {

// The console behind stream, or null when it goes elsewhere (a file, a pipe).
HANDLE consoleOf(std::FILE* stream) {
  const int descriptor = _fileno(stream);
  if (descriptor < 0)
    return nullptr;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
    return nullptr;
  return handle;
}

// Writes text to the console; the count of units written, all of them
// unless the console refuses.
std::size_t writeConsole(HANDLE console, const std::wstring& text) {
  // Pieces small enough for every console, never split inside a surrogate pair.
  constexpr std::size_t kPiece = 8192;
  std::size_t done = 0;
  while (done < text.size()) {
    std::size_t count = std::min(kPiece, text.size() - done);
    if (done + count < text.size() && IS_HIGH_SURROGATE(text[done + count - 1]))
      --count;
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data() + done, DWORD(count), &written, nullptr) ||
        written == 0)
      break;
    done += written;
  }
  return done;
}

} // namespace

void writeText(std::FILE* stream, std::string_view utf8) {
  std::string rest(utf8);
  if (HANDLE console = consoleOf(stream); console && !utf8.empty()) {
    // A broken UTF-8 sequence becomes U+FFFD.
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    if (units > 0) {
      std::wstring wide(std::size_t(units), L'\0');
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), units);
      std::fflush(stream); // what the stream holds goes first
      const std::size_t written = writeConsole(console, wide);
      if (written == wide.size())
        return;
      // What the console refused goes the other way, once.
      const std::wstring left = wide.substr(written);
      const int bytes = WideCharToMultiByte(CP_UTF8, 0, left.data(), int(left.size()), nullptr, 0,
                                            nullptr, nullptr);
      rest.assign(std::size_t(bytes > 0 ? bytes : 0), '\0');
      if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, left.data(), int(left.size()), rest.data(), bytes, nullptr,
                            nullptr);
    }
  }
  const std::string text = consoleText(rest);
  std::fwrite(text.data(), 1, text.size(), stream);
}

// A console, not the NUL device that _isatty also reports.
bool isTerminal(std::FILE* stream) { return consoleOf(stream) != nullptr; }

void setBinaryOutput(std::FILE* stream) {
  std::fflush(stream);
  _setmode(_fileno(stream), _O_BINARY);
}

} // namespace platform

// The console's character set through the C library's locales and iconv,
// and whether a stream is a terminal.
#include "platform/Console.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

constexpr const char* kUtf8 = "UTF-8";

bool isUtf8Name(std::string name) {
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return name == "UTF8";
}

// The charset of the locale the environment names, looked up afresh.
std::string charsetOfEnvironment() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (!locale)
    return kUtf8;
  std::string charset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  // The C locale's charset is plain ASCII ("ANSI_X3.4-1968").
  if (charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII" ||
      charset == "US-ASCII")
    return kUtf8;
  return charset;
}

// The variables that choose the locale's character set, and where locales
// are found.
std::string localeVariables() {
  std::string variables;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG", "LOCPATH"}) {
    const char* value = std::getenv(name);
    variables += value ? value : "";
    variables += '\0';
  }
  return variables;
}

} // namespace

std::string consoleCharset() {
  // Loading a locale reads its files; a program that writes a line per file
  // asks once for as long as the environment names the same locale.
  static std::mutex mutex;
  static std::string variables;
  static std::string charset;
  std::string current = localeVariables();
  std::lock_guard lock(mutex);
  if (charset.empty() || current != variables) {
    charset = charsetOfEnvironment();
    variables = std::move(current);
  }
  return charset;
}

std::string toCharset(std::string_view utf8, const std::string& charset) {
  if (isUtf8Name(charset) || utf8.empty())
    return std::string(utf8);
  iconv_t converter = iconv_open(charset.c_str(), kUtf8);
  if (converter == reinterpret_cast<iconv_t>(-1))
    return std::string(utf8);
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  while (inLeft > 0) {
    char* outPointer = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t done = iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    out.append(buffer, std::size_t(outPointer - buffer));
    if (done != std::size_t(-1) || errno == E2BIG)
      continue;
    // A character the set lacks (EILSEQ) or a broken sequence (EINVAL):
    // a question mark, then the next UTF-8 character.
    out.push_back('?');
    do {
      ++in;
      --inLeft;
    } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
  }
  char* outPointer = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(converter, nullptr, nullptr, &outPointer, &outLeft); // the shift back to the initial state
  out.append(buffer, std::size_t(outPointer - buffer));
  iconv_close(converter);
  return out;
}

std::string consoleText(std::string_view utf8) { return toCharset(utf8, consoleCharset()); }

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

void setBinaryOutput(std::FILE*) {}

void writeText(std::FILE* stream, std::string_view utf8) {
  const std::string text = consoleText(utf8);
  std::fwrite(text.data(), 1, text.size(), stream);
}

} // namespace platform

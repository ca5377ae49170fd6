// Text for the user's terminal: the character set the user's locale gives
// the terminal, text converted to it, and whether a stream is a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// The character set of the user's locale (LC_ALL, LC_CTYPE, LANG), as
// nl_langinfo(CODESET) names it; "UTF-8" for the C and POSIX locales, whose
// ASCII would lose every letter outside it, and when the locale cannot be
// loaded.
std::string consoleCharset();

// utf8 converted to charset; a character the set lacks becomes "?". utf8 as
// it is when charset is UTF-8 or cannot be converted to.
std::string toCharset(std::string_view utf8, const std::string& charset);

// utf8 converted to the console's character set.
std::string consoleText(std::string_view utf8);

// True when stream (stdout or stderr) writes to a terminal, not to a file
// or a pipe.
bool isTerminal(std::FILE* stream);

// Lets stream write its bytes as they are: no line end becomes CR LF on the
// way out (as Windows text streams make it). Nothing to do elsewhere.
void setBinaryOutput(std::FILE* stream);

// Writes UTF-8 text to stream (stdout or stderr) for the user to read. On
// Windows, where the stream is a console, through the console's own wide
// call (WriteConsoleW), so that every character its font has shows whatever
// the console's code page; everywhere else the text goes out converted with
// consoleText.
void writeText(std::FILE* stream, std::string_view utf8);

} // namespace platform

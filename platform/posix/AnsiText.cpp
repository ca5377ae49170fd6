// The ANSI code page of this host is UTF-8, so the conversions are the
// UTF-8 ones and lose nothing.
#include "platform/AnsiText.h"

#include "util/Text.h"

namespace platform {

bool wideToAnsi(const std::u16string& text, std::string& out) { return wideToUtf8(text, out); }

bool ansiToWide(const std::string& text, std::u16string& out) { return utf8ToWide(text, out); }

} // namespace platform

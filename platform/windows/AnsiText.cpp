// The system's ANSI code page through WideCharToMultiByte and
// MultiByteToWideChar: a character the code page lacks becomes the code
// page's default character, as the system converts it.
#include "platform/AnsiText.h"

#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

bool wideToAnsi(const std::u16string& text, std::string& out) {
  out.clear();
  if (text.empty())
    return true;
  const wchar_t* source = win::wide(text);
  const int length = WideCharToMultiByte(CP_ACP, 0, source, int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  if (length <= 0)
    return false;
  out.assign(std::size_t(length), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, source, int(text.size()), out.data(), length, nullptr,
                          nullptr) != length) {
    out.clear();
    return false;
  }
  return true;
}

bool ansiToWide(const std::string& text, std::u16string& out) {
  return win::narrowToWide(text, CP_ACP, out);
}

} // namespace platform

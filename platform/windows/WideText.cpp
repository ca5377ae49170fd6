// Conversions between UTF-16 and the narrow code pages of Windows.
#include "platform/windows/WideText.h"

namespace platform::win {

bool narrowToWide(const std::string& text, UINT codePage, std::u16string& out) {
  out.clear();
  if (text.empty())
    return true;
  const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  int length = MultiByteToWideChar(codePage, flags, text.data(), int(text.size()), nullptr, 0);
  if (length <= 0)
    return false;
  std::wstring buffer(std::size_t(length), L'\0');
  if (MultiByteToWideChar(codePage, flags, text.data(), int(text.size()), buffer.data(),
                          length) != length)
    return false;
  out = fromWide(buffer.data(), buffer.size());
  return true;
}

bool wideToNarrow(const std::u16string& text, UINT codePage, std::string& out) {
  out.clear();
  if (text.empty())
    return true;
  const wchar_t* source = wide(text);
  BOOL lossy = FALSE;
  // WC_ERR_INVALID_CHARS applies to UTF-8 only; for the ANSI code page the
  // default-character flag tells whether a character was lost.
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
  BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : &lossy;
  int length = WideCharToMultiByte(codePage, flags, source, int(text.size()), nullptr, 0,
                                   nullptr, usedDefault);
  if (length <= 0 || lossy)
    return false;
  out.assign(std::size_t(length), '\0');
  if (WideCharToMultiByte(codePage, flags, source, int(text.size()), out.data(), length,
                          nullptr, nullptr) != length) {
    out.clear();
    return false;
  }
  return true;
}

} // namespace platform::win

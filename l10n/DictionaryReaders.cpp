// Line readers of dictionary texts held in memory.
#include "l10n/DictionaryReaders.h"

#include "l10n/ZKErrException.h"
#include "platform/AnsiText.h"

#include <string>

namespace dravik_private {

namespace {

bool isUnicodeLineEnd(char16_t unit) {
  return unit == u'\n' || unit == u'\r' || unit == u'\u2028' || unit == u'\u2029';
}

} // namespace

DictionaryReader::DictionaryReader(std::span<const std::uint8_t> text)
    : start_(text.data()), position_(text.data()), end_(text.data() + text.size()) {}

std::u16string_view DictionaryReader::finishLine() {
  const std::size_t length = line_.size();
  line_.push_back(u'\0');
  return {line_.data(), length};
}

std::optional<std::u16string_view> UnicodeReader::nextLine() {
  line_.clear();
  char16_t unit;
  while (readUnit(unit)) {
    if (isUnicodeLineEnd(unit))
      return finishLine();
    line_.push_back(unit);
  }
  if (line_.size() == 0)
    return std::nullopt;
  return finishLine();
}

bool UnicodeReader::readUnit(char16_t& unit) {
  if (end_ - position_ < 2)
    return false;
  unit = littleEndianUnit(position_);
  position_ += 2;
  return unit != 0;
}

bool ByteSwapUnicodeReader::readUnit(char16_t& unit) {
  if (!UnicodeReader::readUnit(unit))
    return false;
  unit = static_cast<char16_t>((unit << 8) | (unit >> 8));
  return true;
}

std::optional<std::u16string_view> MultibyteReader::nextLine() {
  line_.clear();
  bytes_.clear();
  bool ended = false; // the line ended at a terminator rather than the text's end
  while (position_ < end_) {
    const char byte = static_cast<char>(*position_++);
    if (byte == '\0')
      break;
    if (byte == '\n' || byte == '\r') {
      ended = true;
      break;
    }
    bytes_.push_back(byte);
  }
  if (bytes_.size() == 0)
    return ended ? std::optional(finishLine()) : std::nullopt;

  std::u16string wide;
  if (!platform::ansiToWide(std::string(bytes_.data(), bytes_.size()), wide))
    throw ZKErrException(ZKErrException::kConversionFailed);
  line_.reserve(wide.size() + 1);
  for (char16_t unit : wide)
    line_.push_back(unit);
  return finishLine();
}

std::unique_ptr<DictionaryReader> readerFor(std::span<const std::uint8_t> text) {
  if (text.size() < 2)
    return nullptr;
  if (text[0] == 0xFF && text[1] == 0xFE)
    return std::make_unique<UnicodeReader>(text.subspan(2));
  if (text[0] == 0xFE && text[1] == 0xFF)
    return std::make_unique<ByteSwapUnicodeReader>(text.subspan(2));
  return std::make_unique<MultibyteReader>(text);
}

} // namespace dravik_private

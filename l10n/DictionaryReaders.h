// Line sources of a dictionary text held in memory: UTF-16 in either byte
// order, or 8-bit text in the ANSI code page. Each hands out one line at a
// time as UTF-16 units without its line terminator.
#pragma once

#include "l10n/GrowableBuffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace dravik_private {

// Initial capacity of the line buffers, in units.
inline constexpr std::size_t kInitialLineCapacity = 256;

// Reads lines from a memory range. The range stays owned by the caller and
// must outlive the reader; no read ever leaves it.
class DictionaryReader {
public:
  explicit DictionaryReader(std::span<const std::uint8_t> text);
  DictionaryReader(const DictionaryReader&) = delete;
  DictionaryReader& operator=(const DictionaryReader&) = delete;
  virtual ~DictionaryReader() = default;

  // The next line, or none at the end of the text. A line ends at a line
  // terminator (consumed; the line may be empty), at a 0 unit (consumed;
  // reading goes on after it) or at the end of the range. A 0 unit or the
  // end of the range where a line would begin ends the text. The view stays
  // valid until the next call; the units behind it are followed by a 0.
  virtual std::optional<std::u16string_view> nextLine() = 0;

protected:
  std::u16string_view finishLine();

  GrowableBuffer<char16_t> line_{kInitialLineCapacity}; // the current line
  const std::uint8_t* start_;    // first byte of the range
  const std::uint8_t* position_; // next byte to read
  const std::uint8_t* end_;      // one past the last byte
};

// UTF-16 little-endian text; LF, CR, U+2028 and U+2029 end lines.
class UnicodeReader : public DictionaryReader {
public:
  using DictionaryReader::DictionaryReader;

  std::optional<std::u16string_view> nextLine() override;

protected:
  // Reads the next two bytes as one unit. False at the end of the text: when
  // fewer than two bytes are left (a trailing odd byte is never a unit) or
  // the unit read is 0.
  virtual bool readUnit(char16_t& unit);

  static char16_t littleEndianUnit(const std::uint8_t* bytes) {
    return static_cast<char16_t>(bytes[0] | (bytes[1] << 8));
  }
};

// UTF-16 big-endian text: each unit's two bytes swapped.
class ByteSwapUnicodeReader : public UnicodeReader {
public:
  using UnicodeReader::UnicodeReader;

protected:
  bool readUnit(char16_t& unit) override;
};

// 8-bit text in the ANSI code page (UTF-8 on this platform); LF and CR end
// lines. Each line is converted to UTF-16 on its own, invalid sequences
// becoming U+FFFD. A conversion failure raises ZKErrException with
// kConversionFailed; the converter in use never fails on a non-empty line.
class MultibyteReader : public DictionaryReader {
public:
  using DictionaryReader::DictionaryReader;

  std::optional<std::u16string_view> nextLine() override;

private:
  GrowableBuffer<char> bytes_{kInitialLineCapacity}; // the current line's bytes
};

// The reader for a text by its byte-order mark: FF FE little-endian and
// FE FF big-endian UTF-16, both starting after the mark; any other start is
// 8-bit text from its first byte. None for fewer than two bytes.
std::unique_ptr<DictionaryReader> readerFor(std::span<const std::uint8_t> text);

} // namespace dravik_private

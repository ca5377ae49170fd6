// Drawing and erasing the progress line.
#include "cli/ProgressLine.h"

#include "platform/Console.h"
#include "util/Text.h"

namespace {

bool isWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6);
}

} // namespace

std::size_t terminalColumns(const std::string& utf8) {
  std::u16string units;
  if (!utf8ToWide(utf8, units))
    return utf8.size();
  std::size_t columns = 0;
  for (char16_t unit : units) {
    if (unit >= 0xDC00 && unit <= 0xDFFF)
      continue; // the second half of a pair: its character is counted at the first
    columns += isWide(unit) ? 2 : 1;
  }
  return columns;
}

ProgressLine::ProgressLine(std::FILE* to) : to_(to), enabled_(platform::isTerminal(to)) {}

ProgressLine::~ProgressLine() { erase(); }

void ProgressLine::show(const std::string& text) {
  if (!enabled_)
    return;
  const std::size_t columns = terminalColumns(text);
  // The new text, then blanks over whatever of the old one is longer.
  std::string line = "\r" + text;
  if (columns < columns_)
    line.append(columns_ - columns, ' ');
  platform::writeText(to_, line);
  std::fflush(to_);
  columns_ = columns;
}

void ProgressLine::erase() {
  if (!enabled_ || columns_ == 0)
    return;
  std::fprintf(to_, "\r%s\r", std::string(columns_, ' ').c_str());
  std::fflush(to_);
  columns_ = 0;
}

// Loading and looking up dictionary texts.
#include "l10n/StringDictionary.h"

#include "l10n/DictionaryReaders.h"
#include "l10n/EntrySyntax.h"
#include "l10n/ZKErrException.h"
#include "platform/AnsiText.h"
#include "util/Text.h"

#include <algorithm>
#include <limits>
#include <span>
#include <vector>

namespace dravik {

namespace {

using dravik_private::ByteRunKey;
using dravik_private::DictionaryEntry;
using dravik_private::ZKErrException;

// The entry with this key, or null.
const DictionaryEntry* findEntry(const StringDictionary& dictionary,
                                 std::span<const std::uint8_t> keyBytes) {
  const ByteRunKey key = ByteRunKey::borrowing(keyBytes);
  const DictionaryEntry* entry =
      dictionary.chains[key.hash(dravik_private::kHashTableSize)].get();
  for (; entry; entry = entry->nextEntry()) {
    if (entry->equals(key))
      return entry;
  }
  return nullptr;
}

// Unlinks and deletes the entry with this key from its chain, if any.
void removeEntry(StringDictionary& dictionary, std::span<const std::uint8_t> keyBytes) {
  const ByteRunKey key = ByteRunKey::borrowing(keyBytes);
  std::unique_ptr<DictionaryEntry>& head =
      dictionary.chains[key.hash(dravik_private::kHashTableSize)];
  if (!head)
    return;
  if (head->equals(key)) {
    std::unique_ptr<dravik_private::HashItem> rest = std::move(head->next);
    head.reset(static_cast<DictionaryEntry*>(rest.release()));
    return;
  }
  for (DictionaryEntry* previous = head.get(); previous->next;
       previous = previous->nextEntry()) {
    if (previous->next->equals(key)) {
      std::unique_ptr<dravik_private::HashItem> found = std::move(previous->next);
      previous->next = std::move(found->next);
      return;
    }
  }
}

// Adds the entry one line defines; a rejected line adds nothing.
void addLine(StringDictionary& dictionary, std::u16string_view line) {
  const auto parts = dravik_private::splitEntry(dravik_private::entryText(line));
  if (!parts || parts->key.size() > std::numeric_limits<std::uint32_t>::max())
    return;
  std::vector<std::uint8_t> keyBytes(parts->key.size());
  std::transform(parts->key.begin(), parts->key.end(), keyBytes.begin(),
                 [](char16_t unit) { return static_cast<std::uint8_t>(unit & 0xFF); });

  removeEntry(dictionary, keyBytes);
  auto entry = std::make_unique<DictionaryEntry>(keyBytes,
                                                 dravik_private::unescapeValue(parts->value));
  std::unique_ptr<DictionaryEntry>& head = dictionary.chains[entry->hash(dravik_private::kHashTableSize)];
  entry->next = std::move(head);
  head = std::move(entry);
}

std::u16string widenBytes(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char byte : text)
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
  return wide;
}

} // namespace

void destroyDictionary(StringDictionary* dictionary) {
  delete dictionary;
}

DictionaryHandle createDictionary() {
  return DictionaryHandle(new StringDictionary());
}

void loadDictionary(StringDictionary& dictionary, const void* text, std::size_t byteCount,
                    std::uint32_t /*options*/) {
  if (!text || byteCount == 0)
    return;
  const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(text), byteCount);
  const std::unique_ptr<dravik_private::DictionaryReader> reader =
      dravik_private::readerFor(bytes);
  if (!reader)
    return;
  for (;;) {
    std::optional<std::u16string_view> line;
    try {
      line = reader->nextLine();
    } catch (const ZKErrException&) {
      continue; // a line that cannot be converted is skipped like a malformed one
    }
    if (!line)
      break;
    if (!line->empty())
      addLine(dictionary, *line);
  }
}

LookupResult lookupString(const StringDictionary& dictionary, const char* lookup,
                          std::optional<CodePage> codePage) {
  if (!lookup || *lookup == '\0')
    return {};
  const auto parts = dravik_private::splitEntry(std::string_view(lookup));
  if (!parts)
    return {};
  const std::span<const std::uint8_t> keyBytes(
      reinterpret_cast<const std::uint8_t*>(parts->key.data()), parts->key.size());
  if (keyBytes.size() <= std::numeric_limits<std::uint32_t>::max()) {
    if (const DictionaryEntry* entry = findEntry(dictionary, keyBytes))
      return LookupResult(entry->value());
  }
  if (parts->value.empty())
    return {};
  if (!codePage)
    return LookupResult(widenBytes(parts->value));
  // The UTF-8 converter replaces invalid sequences and so never fails on a
  // non-empty text; the ANSI one is the host's.
  std::u16string wide;
  const std::string value(parts->value);
  const bool converted = *codePage == CodePage::Utf8 ? utf8ToWide(value, wide)
                                                     : platform::ansiToWide(value, wide);
  if (!converted)
    wide = widenBytes(parts->value);
  return LookupResult(std::move(wide));
}

void copyToBuffer(const LookupResult& result, char16_t* buffer, std::size_t capacity,
                  bool failIfTooSmall) {
  const std::u16string& text = result.text();
  const bool fits = capacity > text.size();
  if (buffer && capacity > 0) {
    const std::size_t count = std::min(text.size() + 1, capacity) - 1;
    std::copy_n(text.data(), count, buffer);
    buffer[count] = u'\0';
  }
  if (failIfTooSmall && !fits)
    throw ZKErrException(ZKErrException::kBufferTooSmall);
}

} // namespace dravik

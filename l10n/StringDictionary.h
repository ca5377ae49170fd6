// The string dictionary: one language's user-interface texts read from a
// dictionary text, kept in a fixed table of hash chains and answered by key.
//
// Calling order: createDictionary, loadDictionary, any number of
// lookupString (each result copied out with copyToBuffer), then the handle
// returned by createDictionary releases the dictionary through
// destroyDictionary.
#pragma once

#include "l10n/HashItems.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace dravik {

// One dictionary: kHashTableSize chain heads, each the newest entry of its
// chain or null. Owns its entries.
struct StringDictionary {
  std::array<std::unique_ptr<dravik_private::DictionaryEntry>,
             dravik_private::kHashTableSize> chains;
};

// The answer of one lookup; owns its text.
class LookupResult {
public:
  LookupResult() = default;
  explicit LookupResult(std::u16string text) : text_(std::move(text)) {}

  const std::u16string& text() const { return text_; }

private:
  std::u16string text_;
};

// Releases a dictionary made by createDictionary.
void destroyDictionary(StringDictionary* dictionary);

struct DictionaryDeleter {
  void operator()(StringDictionary* dictionary) const { destroyDictionary(dictionary); }
};
using DictionaryHandle = std::unique_ptr<StringDictionary, DictionaryDeleter>;

// Code pages a caller may name for 8-bit text: the system's ANSI code page
// (UTF-8 on Linux) or UTF-8.
enum class CodePage : std::uint32_t { Ansi = 0, Utf8 = 1 };

// A new, empty dictionary.
DictionaryHandle createDictionary();

// Adds the entries of a dictionary text of byteCount bytes at text: UTF-16
// with a byte-order mark (either order) or 8-bit text in the ANSI code page.
// Later lines replace earlier entries of the same key, also those of an
// earlier load. Lines that are rejected (a "$" prefix other than "$$$", a
// key too long to store, a line that cannot be converted) are skipped. A
// null text or a count of 0 adds nothing. options concerns only the binary
// dictionary form, which is not supported: it is accepted and ignored.
void loadDictionary(StringDictionary& dictionary, const void* text,
                    std::size_t byteCount, std::uint32_t options);

// Looks up a NUL-terminated 8-bit lookup string: "$$$" and the key,
// optionally followed by "=" and a default text (a string not beginning with
// "$" is the key itself). The entry's value when the key is present; else
// the default text, each byte widened to one unit (or converted from
// codePage when one is given); else an empty text. A null or empty string,
// or one beginning with "$" but not "$$$", gives an empty text.
LookupResult lookupString(const StringDictionary& dictionary, const char* lookup,
                          std::optional<CodePage> codePage = std::nullopt);

// Copies a result into buffer, which holds capacity units including the
// terminator: at most capacity - 1 units followed by a 0. When failIfTooSmall
// is set and the text did not fit, raises ZKErrException with
// kBufferTooSmall after copying what fits. A null buffer or a capacity of 0
// receives nothing (and raises the same exception when failIfTooSmall is set).
void copyToBuffer(const LookupResult& result, char16_t* buffer, std::size_t capacity,
                  bool failIfTooSmall);

} // namespace dravik

// Fuzz target: the dictionary reader and lookups over arbitrary bytes, in
// each of its encodings (the first bytes choose the reader).
#include "l10n/StringDictionary.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dravik::DictionaryHandle dictionary = dravik::createDictionary();
  dravik::loadDictionary(*dictionary, data, size, 1);
  for (const char* key : {"$$$/ZFNK/scanScreenTitle", "$$$/A", "$$$", "$$$/ZFNK/x=default"}) {
    dravik::LookupResult result = dravik::lookupString(*dictionary, key);
    char16_t buffer[16];
    dravik::copyToBuffer(result, buffer, 16, false);
  }
  return 0;
}

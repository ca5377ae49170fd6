// Hash chain items of the string dictionary and their hash.
#include "l10n/HashItems.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>

namespace dravik_private {

std::uint32_t keyHash(std::span<const std::uint8_t> key, std::uint32_t tableSize) {
  const std::size_t length = key.size();
  if (length == 0 || tableSize == 0)
    return 0;
  std::size_t step = length / 5;
  if (step == 0)
    step = 1;
  std::uint32_t h = 0;
  for (std::size_t pos = 0; pos < length; pos += step)
    h = (static_cast<std::uint32_t>(key[pos]) + 32u * h) % tableSize;
  return h;
}

HashItem::~HashItem() {
  // Moving each successor into `rest` destroys the previous one only after
  // its own link has been taken away, so no destructor recurses.
  std::unique_ptr<HashItem> rest = std::move(next);
  while (rest)
    rest = std::move(rest->next);
}

ByteRunKey::ByteRunKey(std::span<const std::uint8_t> bytes, bool copy)
    : bytes_(bytes.data()), length_(static_cast<std::uint32_t>(bytes.size())) {
  assert(bytes.size() <= std::numeric_limits<std::uint32_t>::max());
  if (copy) {
    owned_.reset(new std::uint8_t[length_ ? length_ : 1]);
    if (length_)
      std::memcpy(owned_.get(), bytes.data(), length_);
    bytes_ = owned_.get();
  }
}

ByteRunKey ByteRunKey::borrowing(std::span<const std::uint8_t> bytes) {
  return ByteRunKey(bytes, false);
}

std::uint32_t ByteRunKey::hash(std::uint32_t tableSize) const {
  return keyHash(bytes(), tableSize);
}

bool ByteRunKey::equals(const HashItem& other) const {
  const auto* key = dynamic_cast<const ByteRunKey*>(&other);
  if (!key || key->length_ != length_)
    return false;
  return length_ == 0 || std::equal(bytes_, bytes_ + length_, key->bytes_);
}

DictionaryEntry::DictionaryEntry(std::span<const std::uint8_t> key, std::u16string value)
    : ByteRunKey(key, true), value_(std::move(value)) {}

} // namespace dravik_private

// The items of the dictionary's hash chains: the chain link, a key made of a
// run of bytes, and a dictionary entry (a key with its UTF-16 value), plus
// the hash that picks a key's chain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace dravik_private {

// Number of chains of a dictionary's hash table.
inline constexpr std::uint32_t kHashTableSize = 1021;

// The chain of a key of bytes: at most six bytes take part, spread evenly
// over the key (every (n / 5)-th byte, or every byte when n < 5), each folded
// in as h = (byte + 32 * h) mod tableSize. An empty key (or a table size of
// 0) hashes to 0.
std::uint32_t keyHash(std::span<const std::uint8_t> key,
                      std::uint32_t tableSize = kHashTableSize);

// One link of a hash chain. An item owns the rest of its chain; releasing a
// chain unlinks it item by item, so that a long chain cannot exhaust the
// stack.
class HashItem {
public:
  HashItem() = default;
  HashItem(const HashItem&) = delete;
  HashItem& operator=(const HashItem&) = delete;
  virtual ~HashItem();

  virtual std::uint32_t hash(std::uint32_t tableSize) const = 0;
  virtual bool equals(const HashItem& other) const = 0;

  std::unique_ptr<HashItem> next; // the next item of the same chain
};

// A key of bytes. Keys made for a lookup borrow the caller's bytes; stored
// keys own a copy.
class ByteRunKey : public HashItem {
public:
  // A key that refers to bytes owned by the caller, who keeps them alive
  // for the key's lifetime.
  static ByteRunKey borrowing(std::span<const std::uint8_t> bytes);

  std::uint32_t hash(std::uint32_t tableSize) const override;
  // True when other is a key of the same length with the same bytes.
  bool equals(const HashItem& other) const override;

  std::span<const std::uint8_t> bytes() const { return {bytes_, length_}; }
  bool ownsBytes() const { return owned_ != nullptr; }

protected:
  // A key holding its own copy of bytes (at most 2^32 - 1 of them).
  explicit ByteRunKey(std::span<const std::uint8_t> bytes, bool copy);

private:
  std::unique_ptr<std::uint8_t[]> owned_; // the copy when the key owns one
  const std::uint8_t* bytes_;             // the key's bytes
  std::uint32_t length_;                  // number of bytes
};

// A stored key with its value.
class DictionaryEntry : public ByteRunKey {
public:
  // Keys longer than 2^32 - 1 bytes cannot be stored; callers reject them.
  DictionaryEntry(std::span<const std::uint8_t> key, std::u16string value);

  const std::u16string& value() const { return value_; }

  DictionaryEntry* nextEntry() const {
    return static_cast<DictionaryEntry*>(next.get());
  }

private:
  std::u16string value_;
};

} // namespace dravik_private

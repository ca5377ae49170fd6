// A contiguous buffer of trivially copyable units that grows by half its
// capacity (rounded down) until a request fits, as every buffer of the
// dictionary library does.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace dravik_private {

template <typename Unit>
class GrowableBuffer {
public:
  explicit GrowableBuffer(std::size_t initialCapacity)
      : units_(new Unit[initialCapacity ? initialCapacity : 1]),
        capacity_(initialCapacity ? initialCapacity : 1) {}

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  const Unit* data() const { return units_.get(); }
  Unit* data() { return units_.get(); }

  void clear() { size_ = 0; }

  void push_back(Unit unit) {
    reserve(size_ + 1);
    units_[size_++] = unit;
  }

  // Makes room for at least needed units, keeping the contents. The
  // capacity grows to floor(1.5 x capacity) as often as needed; a capacity
  // too small to grow that way grows by one, and a request the address space
  // cannot hold raises std::bad_alloc instead of wrapping around.
  void reserve(std::size_t needed) {
    if (needed <= capacity_)
      return;
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max() / sizeof(Unit);
    if (needed > kMax)
      throw std::bad_alloc();
    std::size_t capacity = capacity_;
    while (capacity < needed) {
      std::size_t step = capacity / 2 ? capacity / 2 : 1;
      capacity = capacity > kMax - step ? kMax : capacity + step;
    }
    std::unique_ptr<Unit[]> units(new Unit[capacity]);
    if (size_)
      std::memcpy(units.get(), units_.get(), size_ * sizeof(Unit));
    units_ = std::move(units);
    capacity_ = capacity;
  }

private:
  std::unique_ptr<Unit[]> units_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

} // namespace dravik_private

// A list of plain values that grows as items are appended, for the data of a run whose size is
// known only at its end (warning intervals, diagnostic reports, a run table's stimuli). It takes
// its memory from malloc and reports when there is none left, where a standard container would
// throw: the board build has no exceptions, and running out of its 4 MiB must show as an error
// rather than as a silently shorter list.
#ifndef SIMULATION_GROWING_LIST_H
#define SIMULATION_GROWING_LIST_H

#include <cstddef>
#include <cstdlib>
#include <type_traits>

namespace seatbelt_sim {

template <typename T>
class GrowingList {
  // Items are moved by realloc, so they must be copyable byte for byte.
  static_assert(std::is_trivially_copyable_v<T>, "GrowingList holds plain values only");

 public:
  GrowingList() = default;
  GrowingList(const GrowingList&) = delete;
  GrowingList& operator=(const GrowingList&) = delete;
  GrowingList(GrowingList&&) = delete;
  GrowingList& operator=(GrowingList&&) = delete;
  ~GrowingList() {
    std::free(items_);  // NOLINT(cppcoreguidelines-no-malloc): pairs with Reserve's realloc
  }

  // Appends item; false, with the list unchanged, when no memory is left.
  bool Append(const T& item) {
    if (size_ == capacity_ && !Reserve(capacity_ == 0u ? kFirstCapacity : capacity_ * 2u)) {
      return false;
    }
    items_[size_] = item;
    ++size_;
    return true;
  }

  // Makes room for capacity items in all; false when no memory is left.
  bool Reserve(std::size_t capacity) {
    if (capacity <= capacity_) {
      return true;
    }
    if (capacity > static_cast<std::size_t>(-1) / sizeof(T)) {
      return false;
    }
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): a failed allocation must be reported, not thrown
    void* const grown = std::realloc(items_, capacity * sizeof(T));
    if (grown == nullptr) {
      return false;
    }
    items_ = static_cast<T*>(grown);
    capacity_ = capacity;
    return true;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0u; }
  const T* data() const { return items_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }
  const T& operator[](std::size_t index) const { return items_[index]; }
  T& operator[](std::size_t index) { return items_[index]; }
  T& back() { return items_[size_ - 1u]; }

  // Keeps the first size items (at most the list's size).
  void Truncate(std::size_t size) {
    if (size < size_) {
      size_ = size;
    }
  }

 private:
  static constexpr std::size_t kFirstCapacity = 16u;

  T* items_ = nullptr;
  std::size_t size_ = 0u;
  std::size_t capacity_ = 0u;
};

}  // namespace seatbelt_sim

#endif  // SIMULATION_GROWING_LIST_H

// A sequence with a movable gap: inserting or erasing at the gap costs O(1)
// amortised, and moving the gap costs the distance moved. Editors edit at a
// cursor that moves little between edits, so keeping the gap at the cursor
// makes edits independent of the sequence's length. Indexing is O(1).
//
// T must be default-constructible and movable; slots inside the gap hold
// default-constructed values, so no resource outlives its element.
//
// The storage of the reading grid's columns and of the walk's per-position
// work (ReadingGrid.h, Walk.h); header-only, for the grid library itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace Palisar::Lattivor2 {

template <typename T>
class GapBuffer {
 public:
  std::size_t size() const { return storage_.size() - gapLength(); }
  bool empty() const { return size() == 0; }

  T& operator[](std::size_t i) { return storage_[i < gapBegin_ ? i : i + gapLength()]; }
  const T& operator[](std::size_t i) const { return storage_[i < gapBegin_ ? i : i + gapLength()]; }

  // REQUIRES: position <= size().
  void insert(std::size_t position, T value) {
    if (gapLength() == 0) grow();
    moveGap(position);
    storage_[gapBegin_++] = std::move(value);
  }

  // REQUIRES: position < size().
  void erase(std::size_t position) {
    moveGap(position);
    storage_[gapEnd_++] = T{};
  }

  void clear() {
    storage_.clear();
    gapBegin_ = gapEnd_ = 0;
  }

  // Moves the gap to just before element `position` without changing the
  // sequence. REQUIRES: position <= size().
  void moveGap(std::size_t position) {
    const std::size_t gap = gapLength();
    if (gap == 0) {
      gapBegin_ = gapEnd_ = position;
      return;
    }
    while (gapBegin_ > position) {
      --gapBegin_;
      --gapEnd_;
      storage_[gapEnd_] = std::move(storage_[gapBegin_]);
      storage_[gapBegin_] = T{};
    }
    while (gapBegin_ < position) {
      storage_[gapBegin_] = std::move(storage_[gapEnd_]);
      storage_[gapEnd_] = T{};
      ++gapBegin_;
      ++gapEnd_;
    }
  }

 private:
  std::size_t gapLength() const { return gapEnd_ - gapBegin_; }

  void grow() {
    const std::size_t count = storage_.size();  // the gap is empty here
    const std::size_t capacity = std::max<std::size_t>(16, count * 2);
    std::vector<T> bigger(capacity);
    const std::size_t tail = count - gapBegin_;
    std::move(storage_.begin(), storage_.begin() + gapBegin_, bigger.begin());
    std::move(storage_.begin() + gapBegin_, storage_.end(), bigger.end() - tail);
    storage_ = std::move(bigger);
    gapEnd_ = capacity - tail;
  }

  std::vector<T> storage_;
  std::size_t gapBegin_ = 0;
  std::size_t gapEnd_ = 0;
};

}  // namespace Palisar::Lattivor2

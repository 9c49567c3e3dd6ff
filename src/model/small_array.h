// Working arrays of the model that a small cycle holds in place: evaluating
// many small cycles one after the other (screenings, scans, maps) then
// takes no allocation for them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kinex {

// `count` values of T: in the object itself up to Local of them, else on
// the heap. Neither copied nor moved (it points into itself).
template <class T, std::size_t Local = 64>
class SmallArray {
 public:
  // Not initialised in the object (value-initialised on the heap): for
  // arrays whose every element read is first written.
  explicit SmallArray(std::size_t count) {
    if (count > Local) {
      heap_.resize(count);
      data_ = heap_.data();
    }
  }
  // Every element `value`.
  SmallArray(std::size_t count, T value) : SmallArray(count) { std::fill_n(data_, count, value); }
  SmallArray(const SmallArray&) = delete;
  SmallArray& operator=(const SmallArray&) = delete;

  T& operator[](std::size_t k) { return data_[k]; }
  const T& operator[](std::size_t k) const { return data_[k]; }
  T* data() { return data_; }
  const T* data() const { return data_; }

 private:
  T local_[Local];
  std::vector<T> heap_;
  T* data_ = local_;
};

}  // namespace kinex

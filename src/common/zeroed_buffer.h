// Byte buffers allocated at their full, fixed capacity and zero from the
// start. The memory comes from calloc, which hands out fresh pages of a large
// block already zeroed, so a 256 KB score buffer costs nothing until a reader
// writes into it (a zero-filled std::vector touches every page at creation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace mel {

// Value-initialisation is left out because calloc's memory is zero already.
// That holds for elements of a fresh allocation only: a buffer of this type
// is made at its size once and never shrunk and grown again.
template <class T>
struct CallocAllocator {
  using value_type = T;

  CallocAllocator() = default;
  template <class U>
  CallocAllocator(const CallocAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    void* p = std::calloc(n, sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }

  template <class U>
  void construct(U*) noexcept {}
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <class U>
  bool operator==(const CallocAllocator<U>&) const noexcept { return true; }
  template <class U>
  bool operator!=(const CallocAllocator<U>&) const noexcept { return false; }
};

using ZeroedBytes = std::vector<uint8_t, CallocAllocator<uint8_t>>;

}  // namespace mel

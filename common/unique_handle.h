// One move-only owner for every kind of handle (registry keys, sockets, GDI objects...).
// Each kind supplies a Traits with `handle_type`, `Invalid()` and `Close(h)`.
#pragma once

#include <utility>

namespace corvella {

template <class Traits>
class UniqueHandle {
 public:
  using handle_type = typename Traits::handle_type;

  UniqueHandle() = default;
  explicit UniqueHandle(handle_type h) : handle_(h) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  handle_type get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }

  handle_type release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(handle_type h = Traits::Invalid()) {
    handle_type old = std::exchange(handle_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  handle_type handle_ = Traits::Invalid();
};

}  // namespace corvella

// One move-only owner for every kind of handle (registry keys, sockets, GDI objects...).
// Each kind supplies a Traits with `handle_type`, `Invalid()` and `Close(h)`, and may name
// `kCounted`: the wrappers then keep a live count of that kind (common/live_counts.h).
#pragma once

#include <utility>

#include "common/live_counts.h"

namespace corvella {

template <class Traits>
class UniqueHandle {
 public:
  using handle_type = typename Traits::handle_type;

  UniqueHandle() = default;
  explicit UniqueHandle(handle_type h) : handle_(h) {
    if (h != Traits::Invalid()) Count(1);
  }
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, Traits::Invalid());
    }
    return *this;
  }

  handle_type get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }

  // The caller owns the handle from now on; it leaves the live count.
  handle_type release() {
    if (handle_ != Traits::Invalid()) Count(-1);
    return std::exchange(handle_, Traits::Invalid());
  }
  void reset(handle_type h = Traits::Invalid()) {
    if (h != Traits::Invalid()) Count(1);
    handle_type old = std::exchange(handle_, h);
    if (old != Traits::Invalid()) {
      Traits::Close(old);
      Count(-1);
    }
  }

 private:
  static void Count(long delta) {
    if constexpr (requires { Traits::kCounted; }) LiveCount(Traits::kCounted).fetch_add(delta, std::memory_order_relaxed);
  }

  handle_type handle_ = Traits::Invalid();
};

}  // namespace corvella

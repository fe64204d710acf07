// Runs an action when a scope ends, also when it ends by an exception.
#pragma once

#include <utility>

namespace corvella {

template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F action) : action_(std::move(action)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { action_(); }

 private:
  F action_;
};

}  // namespace corvella

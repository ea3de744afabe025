// One scope guard: runs its action when the scope it lives in ends, however
// it ends, unless it was dismissed first.
#pragma once

#include <utility>

namespace gorvane::base {

template <typename Action>
class [[nodiscard]] ScopeGuard {
 public:
  explicit ScopeGuard(Action action) : action_(std::move(action)) {}
  ~ScopeGuard() {
    if (armed_) action_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

  // The action will not run.
  void Dismiss() { armed_ = false; }

 private:
  Action action_;
  bool armed_ = true;
};

}  // namespace gorvane::base

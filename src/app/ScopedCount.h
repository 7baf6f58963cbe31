#pragma once

namespace vosta {

// A counter that is raised for the lifetime of a scope, however the scope is left: how many
// runs of something are under way, nested ones included.
class ScopedCount {
 public:
  explicit ScopedCount(int& count) : count_(count) { ++count_; }
  ~ScopedCount() { --count_; }
  ScopedCount(const ScopedCount&) = delete;
  ScopedCount& operator=(const ScopedCount&) = delete;

 private:
  int& count_;
};

}  // namespace vosta

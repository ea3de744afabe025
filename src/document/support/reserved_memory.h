// Address space reserved once and committed on demand, so that a growing
// array never moves (the line index, the undo buffer).
#pragma once

#include <cstddef>
#include <cstdint>

namespace gorvane::document {

class ReservedMemory {
 public:
  ReservedMemory() = default;
  ~ReservedMemory() { Release(); }
  ReservedMemory(const ReservedMemory&) = delete;
  ReservedMemory& operator=(const ReservedMemory&) = delete;

  // Reserves `bytes` of address space without access. False on failure.
  bool Reserve(std::size_t bytes);
  // Makes the first `bytes` usable (zero-filled when first committed). False
  // on failure or beyond the reservation; what was committed stays.
  bool Commit(std::size_t bytes);
  void Release();

  std::uint8_t* data() const { return base_; }
  std::size_t reserved() const { return reserved_; }
  std::size_t committed() const { return committed_; }
  // Tests: commits fail beyond this many bytes.
  void LimitCommitForTest(std::size_t bytes) { commitLimit_ = bytes; }

 private:
  std::uint8_t* base_ = nullptr;
  std::size_t reserved_ = 0, committed_ = 0;
  std::size_t commitLimit_ = static_cast<std::size_t>(-1);
};

}  // namespace gorvane::document

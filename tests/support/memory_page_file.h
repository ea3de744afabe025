// A page file held in memory, for tests of the temporary cache.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "companions/qorvetc/page_file.h"

namespace gvtest {

class MemoryPageFile : public gorvane::qorvetc::PageFile {
 public:
  explicit MemoryPageFile(bool* failWrites = nullptr, bool* failReads = nullptr)
      : failWrites_(failWrites), failReads_(failReads) {}
  bool Read(std::uint64_t pos, std::uint8_t* dst, std::uint32_t n) override {
    if (failReads_ != nullptr && *failReads_) return false;
    if (pos + n > bytes_.size()) return false;
    std::memcpy(dst, bytes_.data() + pos, n);
    return true;
  }
  bool Write(std::uint64_t pos, const std::uint8_t* src, std::uint32_t n) override {
    if (failWrites_ != nullptr && *failWrites_) return false;
    if (bytes_.size() < pos + n) bytes_.resize(pos + n);
    std::memcpy(bytes_.data() + pos, src, n);
    return true;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  bool* failWrites_;
  bool* failReads_;
};

inline gorvane::qorvetc::PageFileFactory MemoryPageFiles() {
  return [] { return std::make_unique<MemoryPageFile>(); };
}

}  // namespace gvtest

// Where cache pages live when they are not in memory: a temporary file that
// disappears when it is closed. A small interface so that tests can watch or
// break the I/O.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace gorvane::qorvetc {

class PageFile {
 public:
  virtual ~PageFile() = default;
  virtual bool Read(std::uint64_t pos, std::uint8_t* dst, std::uint32_t n) = 0;
  virtual bool Write(std::uint64_t pos, const std::uint8_t* src, std::uint32_t n) = 0;
};

using PageFileFactory = std::function<std::unique_ptr<PageFile>()>;

// A new temporary file in the system's temporary folder; null when none can be made.
std::unique_ptr<PageFile> CreateTemporaryPageFile();

}  // namespace gorvane::qorvetc

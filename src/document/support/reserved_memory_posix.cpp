// POSIX: mmap without access, mprotect to commit.
#include <sys/mman.h>
#include <unistd.h>

#include "document/support/reserved_memory.h"

namespace gorvane::document {

namespace {
std::size_t PageRound(std::size_t n) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (n + page - 1) / page * page;
}
}  // namespace

bool ReservedMemory::Reserve(std::size_t bytes) {
  Release();
  const std::size_t size = PageRound(bytes);
  void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return false;
  base_ = static_cast<std::uint8_t*>(p);
  reserved_ = bytes;
  committed_ = 0;
  return true;
}

bool ReservedMemory::Commit(std::size_t bytes) {
  if (base_ == nullptr || bytes > reserved_ || bytes > commitLimit_) return false;
  if (bytes <= committed_) return true;
  const std::size_t from = PageRound(committed_) , to = PageRound(bytes);
  if (to > from && mprotect(base_ + from, to - from, PROT_READ | PROT_WRITE) != 0) return false;
  committed_ = bytes;
  return true;
}

void ReservedMemory::Release() {
  if (base_ != nullptr) munmap(base_, PageRound(reserved_));
  base_ = nullptr;
  reserved_ = committed_ = 0;
}

}  // namespace gorvane::document

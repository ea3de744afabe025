// Win32: VirtualAlloc with MEM_RESERVE, then MEM_COMMIT on demand.
#include <windows.h>

#include "document/support/reserved_memory.h"

namespace gorvane::document {

bool ReservedMemory::Reserve(std::size_t bytes) {
  Release();
  void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
  if (p == nullptr) return false;
  base_ = static_cast<std::uint8_t*>(p);
  reserved_ = bytes;
  committed_ = 0;
  return true;
}

bool ReservedMemory::Commit(std::size_t bytes) {
  if (base_ == nullptr || bytes > reserved_ || bytes > commitLimit_) return false;
  if (bytes <= committed_) return true;
  if (VirtualAlloc(base_ + committed_, bytes - committed_, MEM_COMMIT, PAGE_READWRITE) == nullptr) return false;
  committed_ = bytes;
  return true;
}

void ReservedMemory::Release() {
  if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
  base_ = nullptr;
  reserved_ = committed_ = 0;
}

}  // namespace gorvane::document

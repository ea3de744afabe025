// Win32: the temporary page file lives in the temp folder and is deleted by
// the system when its handle closes.
#include <windows.h>

#include "page_file.h"

namespace gorvane::qorvetc {
namespace {

class Win32PageFile final : public PageFile {
 public:
  explicit Win32PageFile(HANDLE h) : h_(h) {}
  ~Win32PageFile() override { CloseHandle(h_); }
  bool Read(std::uint64_t pos, std::uint8_t* dst, std::uint32_t n) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(pos);
    at.OffsetHigh = static_cast<DWORD>(pos >> 32);
    DWORD got = 0;
    return ReadFile(h_, dst, n, &got, &at) && got == n;
  }
  bool Write(std::uint64_t pos, const std::uint8_t* src, std::uint32_t n) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(pos);
    at.OffsetHigh = static_cast<DWORD>(pos >> 32);
    DWORD put = 0;
    return WriteFile(h_, src, n, &put, &at) && put == n;
  }

 private:
  HANDLE h_;
};

}  // namespace

std::unique_ptr<PageFile> CreateTemporaryPageFile() {
  wchar_t dir[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH, dir) == 0 || GetTempFileNameW(dir, L"gvc", 0, path) == 0) return nullptr;
  HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileW(path);
    return nullptr;
  }
  return std::make_unique<Win32PageFile>(h);
}

}  // namespace gorvane::qorvetc

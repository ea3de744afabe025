// The file system of Windows: Shift-JIS paths are turned into UTF-16 with our
// own tables and handed to the wide functions only (never the ANSI code page).
#include "files/file_system.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/wide_text.h"

// <windows.h> maps these names to its A/W functions; here they are our methods.
#undef CopyFile
#undef DeleteFile
#undef ReplaceFile

namespace gorvane::files {
namespace {

namespace cc = gorvane::charcode;

// The UTF-16 form of a Shift-JIS path with "\" separators. Converting first
// keeps a trail byte 5C apart from a separator. False for an empty path, a NUL
// byte, or a character without a Unicode form (it could only name the wrong
// file, or be taken for a wildcard).
bool WidePath(const std::string& sjis, std::wstring* out) {
  bool exact = false;
  *out = sjis.find('\0') == std::string::npos ? cc::SjisToWide<wchar_t>(sjis, &exact) : std::wstring();
  if (sjis.empty() || !exact) {
    out->clear();
    return false;
  }
  for (wchar_t& c : *out)
    if (c == L'/') c = L'\\';
  return true;
}

std::uint64_t Join(DWORD high, DWORD low) { return static_cast<std::uint64_t>(high) << 32 | low; }

// A read-only file is never written, truncated or put in place of, not even
// where the system would let it be (Wine run by root).
bool ReadOnly(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return false;
  SetLastError(ERROR_ACCESS_DENIED);
  return true;
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The attributes that may be given back to a file after it was put in place.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class Win32File final : public File {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;
  ~Win32File() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }

  // Reads until n bytes are in or the end of the file is reached.
  bool Read(void* dst, std::uint32_t n, std::uint32_t* got) override {
    *got = 0;
    if (h_ == INVALID_HANDLE_VALUE) return false;
    auto* p = static_cast<std::uint8_t*>(dst);
    while (*got < n) {
      DWORD k = 0;
      if (!ReadFile(h_, p + *got, n - *got, &k, nullptr)) return false;
      if (k == 0) break;
      *got += k;
    }
    return true;
  }
  bool Write(const void* src, std::uint32_t n) override {
    if (h_ == INVALID_HANDLE_VALUE) return false;
    const auto* p = static_cast<const std::uint8_t*>(src);
    while (n > 0) {
      DWORD k = 0;
      if (!WriteFile(h_, p, n, &k, nullptr) || k == 0) return false;
      p += k;
      n -= k;
    }
    return true;
  }
  bool Seek(std::uint64_t position) override {
    if (h_ == INVALID_HANDLE_VALUE || position > static_cast<std::uint64_t>(INT64_MAX)) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(h_, at, nullptr, FILE_BEGIN) != 0;
  }
  bool Size(std::uint64_t* size) override {
    LARGE_INTEGER s;
    if (h_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(h_, &s)) return false;
    *size = static_cast<std::uint64_t>(s.QuadPart);
    return true;
  }
  bool LastWriteTime(FileTime* time) override {
    FILETIME t;
    if (h_ == INVALID_HANDLE_VALUE || !GetFileTime(h_, nullptr, nullptr, &t)) return false;
    *time = Join(t.dwHighDateTime, t.dwLowDateTime);
    return true;
  }
  bool SetEndOfFile() override { return h_ != INVALID_HANDLE_VALUE && ::SetEndOfFile(h_) != 0; }
  bool Flush() override { return h_ != INVALID_HANDLE_VALUE && FlushFileBuffers(h_) != 0; }
  bool Close() override {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != 0;
  }
  void* SystemHandle() override { return h_ != INVALID_HANDLE_VALUE ? h_ : nullptr; }

 private:
  HANDLE h_;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, Access access, Share share, Disposition disposition,
                             bool sequential) override {
    std::wstring wide;
    if (!WidePath(path, &wide)) return nullptr;
    const DWORD rights = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD sharing = share == Share::Read ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    DWORD how = OPEN_EXISTING;
    if (disposition == Disposition::CreateNew) how = CREATE_NEW;
    if (disposition == Disposition::CreateAlways) how = CREATE_ALWAYS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (access == Access::ReadWrite || how == CREATE_ALWAYS) {
      const DWORD old = GetFileAttributesW(wide.c_str());
      if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        if (ReadOnly(old)) return nullptr;
        // Truncating a hidden or system file is refused unless the open names
        // those attributes again.
        const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (how == CREATE_ALWAYS && kept != 0) attributes = kept;
      }
    }
    const DWORD flags = attributes | (sequential ? FILE_FLAG_SEQUENTIAL_SCAN : FILE_FLAG_RANDOM_ACCESS);
    HANDLE h = CreateFileW(wide.c_str(), rights, sharing, nullptr, how, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(h);
  }

  bool Info(const std::string& path, FileInfo* info) override {
    *info = {};
    std::wstring wide;
    if (!WidePath(path, &wide)) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return NotFound(GetLastError());
    info->exists = true;
    info->isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info->readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    info->size = info->isFolder ? 0 : Join(data.nFileSizeHigh, data.nFileSizeLow);
    info->lastWrite = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return true;
  }

  bool CreateFolder(const std::string& path) override {
    std::wstring wide;
    return WidePath(path, &wide) && CreateDirectoryW(wide.c_str(), nullptr) != 0;
  }

  bool CopyFile(const std::string& from, const std::string& to) override {
    std::wstring source, target;
    if (!WidePath(from, &source) || !WidePath(to, &target)) return false;
    const DWORD old = GetFileAttributesW(target.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && ReadOnly(old)) return false;
    return CopyFileW(source.c_str(), target.c_str(), FALSE) != 0;
  }

  bool ReplaceFile(const std::string& source, const std::string& target) override {
    std::wstring from, to;
    if (!WidePath(source, &from) || !WidePath(target, &to)) return false;
    const DWORD old = GetFileAttributesW(to.c_str());
    if (old == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
      return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (ReadOnly(old)) return false;
    if (old & FILE_ATTRIBUTE_DIRECTORY) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    if (!ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      // Some file systems (network shares among them) know no ReplaceFileW:
      // then a plain move, and the attributes given back by hand.
      const DWORD error = GetLastError();
      if (error != ERROR_NOT_SUPPORTED && error != ERROR_CALL_NOT_IMPLEMENTED && error != ERROR_INVALID_FUNCTION)
        return false;
      if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    }
    // ReplaceFileW keeps the attributes itself; where it did not (a plain move,
    // or Wine's ReplaceFileW, which drops the hidden one), they are put back.
    const DWORD now = GetFileAttributesW(to.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (now & kKeptAttributes) != (old & kKeptAttributes)) {
      DWORD want = (now & ~kKeptAttributes) | (old & kKeptAttributes);
      want &= FILE_ATTRIBUTE_READONLY | kKeptAttributes | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
      SetFileAttributesW(to.c_str(), want == 0 ? FILE_ATTRIBUTE_NORMAL : want);
    }
    return true;
  }

  bool DeleteFile(const std::string& path) override {
    std::wstring wide;
    return WidePath(path, &wide) && DeleteFileW(wide.c_str()) != 0;
  }
};

}  // namespace

std::unique_ptr<FileSystem> CreateSystemFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace gorvane::files

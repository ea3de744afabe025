// The kernel of Windows. Names arrive in Shift-JIS and are turned into UTF-16
// with our own tables for the wide functions (never the ANSI code page), so a
// trail byte 5C stays part of its character instead of becoming a namespace
// separator. Every failure leaves the system's error code for LastErrorText.
#include "ipc/kernel.h"
#include "ipc/messenger.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/wide_text.h"

// <windows.h> maps these names to its A/W functions; here they are our methods.
#undef CreateMutex
#undef OpenMutex
#undef CreateMailslot

namespace gorvane::ipc {
namespace {

namespace cc = gorvane::charcode;

// The UTF-16 form of a Shift-JIS name; false for an empty name, a NUL byte or
// a character without a Unicode form (it could only name some other object).
bool WideName(const std::string& sjis, std::wstring* out) {
  bool exact = false;
  *out = sjis.find('\0') == std::string::npos ? cc::SjisToWide<wchar_t>(sjis, &exact) : std::wstring();
  if (sjis.empty() || !exact) {
    out->clear();
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return true;
}

// UTF-16 text in Shift-JIS through our tables ("?" for what has no form).
std::string Narrow(const wchar_t* text, std::size_t length) { return cc::WideToSjis(std::wstring_view(text, length)); }

// Closing a handle after a failure keeps the failure's error code.
void CloseKeepingError(HANDLE h) {
  const DWORD error = GetLastError();
  CloseHandle(h);
  SetLastError(error);
}

class Win32Mutex final : public NamedMutex {
 public:
  explicit Win32Mutex(HANDLE h) : h_(h) {}
  ~Win32Mutex() override { CloseHandle(h_); }
  Win32Mutex(const Win32Mutex&) = delete;
  Win32Mutex& operator=(const Win32Mutex&) = delete;

  WaitResult Wait(std::uint32_t timeoutMs) override {
    switch (WaitForSingleObject(h_, timeoutMs)) {
      case WAIT_OBJECT_0:
        return WaitResult::Acquired;
      case WAIT_ABANDONED:
        return WaitResult::Abandoned;
      case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
      default:
        return WaitResult::Failed;
    }
  }
  bool Release() override { return ReleaseMutex(h_) != 0; }

 private:
  HANDLE h_;
};

class Win32View final : public MappedView {
 public:
  Win32View(void* base, std::size_t length) : base_(base), length_(length) {}
  ~Win32View() override { UnmapViewOfFile(base_); }
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;
  std::span<std::uint8_t> bytes() override { return {static_cast<std::uint8_t*>(base_), length_}; }

 private:
  void* base_;
  std::size_t length_;
};

// The size of the pages the view at base takes (all of one protection).
std::size_t RegionSize(const void* base) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(base, &info, sizeof info) != sizeof info) return 0;
  return info.RegionSize;
}

class Win32Mapping final : public SharedMapping {
 public:
  // size 0: not known (the mapping was opened), asked of the system when wanted.
  Win32Mapping(HANDLE h, std::uint64_t size) : h_(h), size_(size) {}
  ~Win32Mapping() override { CloseHandle(h_); }
  Win32Mapping(const Win32Mapping&) = delete;
  Win32Mapping& operator=(const Win32Mapping&) = delete;

  // For a mapping another process made, the system tells only the extent of a
  // whole view: the size rounded up to whole pages. 0 when it cannot be had.
  std::uint64_t size() const override {
    if (size_ == 0) {
      if (void* base = MapViewOfFile(h_, FILE_MAP_READ, 0, 0, 0)) {
        size_ = RegionSize(base);
        UnmapViewOfFile(base);
      }
    }
    return size_;
  }

  // Length 0 maps everything from offset to the end (in whole pages).
  std::unique_ptr<MappedView> Map(std::uint64_t offset, std::uint32_t length) override {
    void* base = MapViewOfFile(h_, FILE_MAP_ALL_ACCESS, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset & 0xFFFFFFFFu), length);
    if (base == nullptr) return nullptr;
    const std::size_t n = length != 0 ? length : RegionSize(base);
    return std::make_unique<Win32View>(base, n);
  }

 private:
  HANDLE h_;
  mutable std::uint64_t size_;
};

class Win32Mailslot final : public Mailslot {
 public:
  explicit Win32Mailslot(HANDLE h) : h_(h) {}
  ~Win32Mailslot() override { CloseHandle(h_); }
  Win32Mailslot(const Win32Mailslot&) = delete;
  Win32Mailslot& operator=(const Win32Mailslot&) = delete;

  NextMessage Next() override {
    DWORD next = 0;
    if (!GetMailslotInfo(h_, nullptr, &next, nullptr, nullptr)) return {NextMessage::State::kFailed, 0};
    if (next == MAILSLOT_NO_MESSAGE) return {};
    return {NextMessage::State::kWaiting, next};
  }
  // The size is checked first, so a message too large for dst stays waiting
  // whatever the system would do with a short read. The read then asks for
  // all of dst, never for nothing: an empty message is taken off only by a
  // read that has room for something (Wine reports that read as a broken
  // pipe, though it takes the message off), and Wine reports no size above
  // 64 KiB, so a larger message is read as far as dst reaches.
  std::int64_t Read(std::span<std::uint8_t> dst) override {
    const NextMessage next = Next();
    if (next.failed()) return -1;
    if (!next.waiting()) {
      SetLastError(ERROR_NO_DATA);
      return -1;
    }
    if (next.size > dst.size()) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return -1;
    }
    std::uint8_t spare = 0;
    std::uint8_t* into = dst.empty() ? &spare : dst.data();
    const auto room = static_cast<DWORD>(dst.empty() ? 1 : std::min<std::size_t>(dst.size(), 0x7FFFFFFF));
    DWORD read = 0;
    if (ReadFile(h_, into, room, &read, nullptr)) return dst.empty() ? 0 : static_cast<std::int64_t>(read);
    if (next.size == 0 && GetLastError() == ERROR_BROKEN_PIPE) return 0;
    return -1;
  }

 private:
  HANDLE h_;
};

class Win32Kernel final : public Kernel {
 public:
  std::unique_ptr<NamedMutex> CreateMutex(const std::string& name, bool initialOwner, Created* created) override {
    if (created != nullptr) created->existed = false;
    std::wstring wide;
    if (!WideName(name, &wide)) return nullptr;
    HANDLE h = CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, wide.c_str());
    if (h == nullptr) return nullptr;
    if (created != nullptr) created->existed = GetLastError() == ERROR_ALREADY_EXISTS;
    return std::make_unique<Win32Mutex>(h);
  }

  std::unique_ptr<NamedMutex> OpenMutex(const std::string& name) override {
    std::wstring wide;
    if (!WideName(name, &wide)) return nullptr;
    HANDLE h = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, wide.c_str());
    return h == nullptr ? nullptr : std::make_unique<Win32Mutex>(h);
  }

  std::unique_ptr<SharedMapping> CreateMapping(const std::string& name, std::uint64_t size, Created* created) override {
    if (created != nullptr) created->existed = false;
    std::wstring wide;
    if (!WideName(name, &wide)) return nullptr;
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                  static_cast<DWORD>(size & 0xFFFFFFFFu), wide.c_str());
    if (h == nullptr) return nullptr;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (created != nullptr) created->existed = existed;
    return std::make_unique<Win32Mapping>(h, existed ? 0 : size);  // an existing one keeps its own size
  }

  std::unique_ptr<SharedMapping> OpenMapping(const std::string& name) override {
    std::wstring wide;
    if (!WideName(name, &wide)) return nullptr;
    HANDLE h = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wide.c_str());
    return h == nullptr ? nullptr : std::make_unique<Win32Mapping>(h, 0);
  }

  std::unique_ptr<Mailslot> CreateMailslot(const std::string& name, std::uint32_t maxMessage) override {
    std::wstring wide;
    if (!WideName(name, &wide)) return nullptr;
    HANDLE h = CreateMailslotW(wide.c_str(), maxMessage, 0, nullptr);  // reads never wait
    return h == INVALID_HANDLE_VALUE ? nullptr : std::make_unique<Win32Mailslot>(h);
  }

  bool WriteMailslot(const std::string& name, std::span<const std::uint8_t> message) override {
    HANDLE h = OpenWriter(name);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
    CloseKeepingError(h);
    return ok && written == message.size();
  }

  bool MailslotExists(const std::string& name) override {
    HANDLE h = OpenWriter(name);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }

  std::uint32_t AllocationGranularity() override {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
  }

  bool UserName(std::string* name) override {
    wchar_t buffer[257];  // the longest user name and its NUL
    DWORD length = 257;
    if (!GetUserNameW(buffer, &length) || length == 0) return false;
    *name = Narrow(buffer, length - 1);  // the count includes the NUL
    return !name->empty();
  }

  std::uint32_t ProcessId() override { return GetCurrentProcessId(); }

  std::string LastErrorText() override {
    const DWORD error = GetLastError();
    wchar_t buffer[1024];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                             1024, nullptr);
    std::string text;
    if (n == 0) {
      text = "error " + std::to_string(error);
    } else {
      while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n')) --n;
      text = Narrow(buffer, n);
    }
    SetLastError(error);
    return text;
  }

 private:
  // A write handle to another process's inbox. Writers share write access
  // with each other, so a sender that keeps its handle open shuts nobody out.
  static HANDLE OpenWriter(const std::string& name) {
    std::wstring wide;
    if (!WideName(name, &wide)) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

}  // namespace

std::unique_ptr<Kernel> CreateSystemKernel() { return std::make_unique<Win32Kernel>(); }

namespace {

class SystemStarter final : public ProgramStarter {
 public:
  bool Start(const std::string& commandLine) override {
    std::wstring line = cc::SjisToWide<wchar_t>(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &si,
                        &pi))
      return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
  }
};

}  // namespace

std::unique_ptr<ProgramStarter> CreateSystemProgramStarter() { return std::make_unique<SystemStarter>(); }

}  // namespace gorvane::ipc

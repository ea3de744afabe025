// Win32 only: the editor's clipboard (see clipboard_win32.h).
#include "shell/clipboard_win32.h"

#include <cstring>
#include <cwchar>

#include "base/scope_guard.h"
#include "charcode/wide_text.h"

namespace gorvane::shell::win32 {

namespace {

constexpr int kOpenTries = 10;
constexpr DWORD kOpenRetryMs = 20;
constexpr LCID kJapanese = 0x0411;

// A movable, zero-filled block holding the bytes (and room for the NUL the
// zeroes give); null when it cannot be had.
HGLOBAL Block(const void* bytes, std::size_t n, std::size_t terminator) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n + terminator);
  if (block == nullptr) return nullptr;
  void* p = GlobalLock(block);
  if (p == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  if (n != 0) std::memcpy(p, bytes, n);
  GlobalUnlock(block);
  return block;
}

}  // namespace

bool ClipboardWin32::Open() {
  for (int i = 0; i < kOpenTries; ++i) {
    if (OpenClipboard(owner_ ? *owner_ : nullptr)) return true;
    Sleep(kOpenRetryMs);
  }
  return false;
}

Clipboard::Result ClipboardWin32::Write(std::string_view sjis) {
  const std::wstring wide = charcode::SjisToWide<wchar_t>(sjis);
  HGLOBAL unicode = Block(wide.data(), wide.size() * sizeof(wchar_t), sizeof(wchar_t));
  HGLOBAL text = Block(sjis.data(), sjis.size(), 1);
  const LCID locale = kJapanese;
  HGLOBAL lcid = Block(&locale, sizeof locale, 0);
  const base::ScopeGuard freeUnused([&] {
    // What the clipboard took is its own; the rest is given back.
    for (HGLOBAL b : {unicode, text, lcid})
      if (b) GlobalFree(b);
  });
  if (unicode == nullptr || text == nullptr) return Result::NoMemory;
  if (!Open()) return Result::Failed;
  EmptyClipboard();
  bool ok = true;
  if (SetClipboardData(CF_UNICODETEXT, unicode)) unicode = nullptr;
  else ok = false;
  if (SetClipboardData(CF_TEXT, text)) text = nullptr;
  else ok = false;
  if (lcid && SetClipboardData(CF_LOCALE, lcid)) lcid = nullptr;
  CloseClipboard();
  return ok ? Result::Ok : Result::Failed;
}

bool ClipboardWin32::Empty() {
  if (!Open()) return false;
  const bool emptied = EmptyClipboard() != 0;
  CloseClipboard();
  return emptied;
}

bool ClipboardWin32::HasText() {
  return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
}

std::optional<Clipboard::Text> ClipboardWin32::Read() {
  if (!HasText() || !Open()) return std::nullopt;
  const base::ScopeGuard closer([] { CloseClipboard(); });
  const bool unicode = IsClipboardFormatAvailable(CF_UNICODETEXT) != 0;
  HANDLE data = GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
  if (data == nullptr) return std::nullopt;
  const void* p = GlobalLock(data);
  if (p == nullptr) return std::nullopt;
  const base::ScopeGuard unlock([data] { GlobalUnlock(data); });
  const SIZE_T size = GlobalSize(data);
  Text out;
  if (unicode) {
    // Up to the NUL, never past the block.
    const auto* units = static_cast<const wchar_t*>(p);
    const std::size_t n = wcsnlen(units, size / sizeof(wchar_t));
    std::size_t replaced = 0;
    out.sjis = charcode::WideToSjis(std::wstring_view(units, n), &replaced);
    out.lossy = replaced != 0;
  } else {
    const auto* bytes = static_cast<const char*>(p);
    out.sjis.assign(bytes, strnlen(bytes, size));
  }
  return out;
}

}  // namespace gorvane::shell::win32

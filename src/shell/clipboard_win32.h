// Win32 only: the clipboard as the editor uses it. The editor's Shift-JIS
// text goes on it twice: as CF_UNICODETEXT, converted through our code page
// 932 conversions (never the system's ANSI code page), and as CF_TEXT, the
// Shift-JIS bytes themselves, with CF_LOCALE saying they are Japanese. Text
// is read from CF_UNICODETEXT when there is some (characters without a
// Shift-JIS code become "?"), else from CF_TEXT.
#pragma once

#include <windows.h>

#include "shell/editor.h"

namespace gorvane::shell::win32 {

class ClipboardWin32 final : public Clipboard {
 public:
  // The window that owns what is put on the clipboard (read when used).
  explicit ClipboardWin32(HWND* owner) : owner_(owner) {}
  Result Write(std::string_view sjis) override;
  bool Empty() override;
  bool HasText() override;
  std::optional<Text> Read() override;

 private:
  // Another program may hold the clipboard for a moment: a few tries.
  bool Open();
  HWND* owner_;
};

}  // namespace gorvane::shell::win32

// The host: every side effect the portable core has on the user (message
// boxes, status-bar texts, beeps). The Win32 shell implements it with real
// windows; tests use a recording fake. Texts are Shift-JIS, the editor's
// working encoding; the core's own texts live in the source as UTF-8 and are
// converted with our code page 932 tables (see Sjis()).
#pragma once

#include <string>
#include <string_view>

namespace gorvane::base {

enum class BoxIcon { None, Error, Warning, Information, Question };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
  std::string_view text;             // Shift-JIS
  std::string_view caption;          // Shift-JIS; "Gorvane" for most boxes
  BoxIcon icon = BoxIcon::None;
  BoxButtons buttons = BoxButtons::Ok;
  bool topMost = true;
};

class Host {
 public:
  virtual ~Host() = default;
  // Modal; owned by the main window once it exists.
  virtual BoxAnswer ShowMessageBox(const MessageBoxRequest& box) = 0;
  // The status bar's message field (cleared after a while by the shell).
  virtual void ShowStatus(std::string_view text) = 0;
  virtual void Beep() = 0;
};

// A UTF-8 text of the source as Shift-JIS; characters without a code become "?".
std::string Sjis(std::u8string_view utf8);
// Shift-JIS text as UTF-8 (for logs and tests).
std::string Utf8(std::string_view sjis);

inline constexpr std::u8string_view kCaption = u8"Gorvane";

// A top-most box with a text of the source (UTF-8), captioned "Gorvane"
// unless another caption is given.
BoxAnswer Tell(Host& host, std::u8string_view text, BoxIcon icon = BoxIcon::None,
               BoxButtons buttons = BoxButtons::Ok, std::u8string_view caption = kCaption);
// A status-bar text of the source.
void Status(Host& host, std::u8string_view text);

}  // namespace gorvane::base

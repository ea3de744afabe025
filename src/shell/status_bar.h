// The main window's status bar: nine fields, a message line followed by the
// editor's state (caret position, the code of the character at the caret,
// insert/overwrite/write-protect, Caps Lock, Num Lock, input method, search
// mode, remaining undo space).
//
// This is the model: it decides every field's text, width and tool tip and
// when the message field is cleared. The platform's status-bar control is
// behind StatusBarView; time comes from an injected clock, so that the
// 5-second auto-clear runs without real timers in tests. All texts are
// Shift-JIS.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "charcode/charcode.h"
#include "document/types.h"

namespace gorvane::shell {

inline constexpr int kStatusFieldCount = 9;
inline constexpr int kStatusClearTimerId = 7;          // the platform timer behind the auto-clear
inline constexpr int kStatusClearDelayMs = 5000;
inline constexpr std::size_t kStatusMessageLimit = 256;  // messages of this many bytes or more are ignored

enum StatusField : int {
  kFieldMessage = 0,
  kFieldCaret = 1,
  kFieldCharCode = 2,
  kFieldInsertMode = 3,
  kFieldCapsLock = 4,
  kFieldNumLock = 5,
  kFieldInputMode = 6,
  kFieldSearchMode = 7,
  kFieldUndoSpace = 8,
};

// What the keyboard search looks through.
enum class SearchScope { WholeFile, RangeLines };

// The editor's state as the status bar shows it.
struct StatusState {
  int encoding = charcode::kCodeSjis;  // the file's CharCode (kCodeUnknown counts as Shift-JIS)
  // The file's line end in its own encoding: "\r\n", "\r", "\n", or the
  // UTF-16 forms ("\0\r\0\n" big-endian, "\r\0\n\0" little-endian).
  std::string_view lineEnd = "\r\n";
  document::LineNo caretLine{1};
  document::CaretCol caretColumn{1};  // a byte column of the Shift-JIS text
  // The caret line's Shift-JIS text with its CR LF (none on the last line);
  // nullopt when the line's record is not available.
  std::optional<std::string_view> lineText;
  bool writeProtected = false;
  bool insertMode = true;
  bool capsLock = false;
  bool numLock = false;
  bool inputMethodOpen = false;
  SearchScope searchScope = SearchScope::WholeFile;
  bool undoAvailable = true;
  std::uint64_t undoUsed = 0;   // bytes of the undo buffer in use
  std::uint64_t undoTotal = 0;  // its size
};

// The platform's status-bar control.
class StatusBarView {
 public:
  virtual ~StatusBarView() = default;
  // Width in pixels of a Shift-JIS text in the status bar's font.
  virtual int TextWidth(std::string_view sjis) = 0;
  // The right edge of each field, left to right.
  virtual void SetFieldEdges(std::span<const int, kStatusFieldCount> rightEdges) = 0;
  virtual void SetFieldText(int field, std::string_view sjis) = 0;
  virtual void SetFieldTip(int field, std::string_view sjis) = 0;
  // (Re)starts timer kStatusClearTimerId to call StatusBar::Tick after ms
  // milliseconds; 0 stops it.
  virtual void SetClearTimer(int ms) = 0;
};

// ---- field texts (Shift-JIS) -------------------------------------------------

// "%d 行, %d ﾊﾞｲﾄ"
std::string CaretPositionText(document::LineNo line, int column);
// The column field 1 shows: the Shift-JIS byte column, or for UTF-8 and
// UTF-16 files 1 + the bytes the text before the caret takes in that encoding
// (a caret beyond the line end adds one character per column: 1 byte in UTF-8,
// 2 in UTF-16).
int DisplayedColumn(int encoding, std::string_view lineText, document::CaretCol caretColumn);
// Upper-case hexadecimal digits, two per byte, of the character at the caret
// in the file's encoding; the line end at the CR of the line's CR LF; empty
// past the end of the line.
std::string CharCodeText(int encoding, std::string_view lineText, document::CaretCol caretColumn,
                         std::string_view lineEnd);
// Remaining undo space in whole percent: 100 less the used share rounded half
// up; 0 when total is 0.
int UndoRemainingPercent(std::uint64_t used, std::uint64_t total);
// "%d%%", or "***%" when undo is not available (or the buffer has no size).
std::string UndoSpaceText(bool available, std::uint64_t used, std::uint64_t total);
std::string InsertModeText(bool writeProtected, bool insertMode);
std::string CapsLockText(bool on);
std::string NumLockText(bool on);
std::string InputModeText(bool open);
std::string SearchScopeText(SearchScope scope);
// The tool tip of a field; field 2's names the file's encoding.
std::string FieldTip(int field, int encoding);
// The text the start-up refresh shows in the message field.
std::string StartupMessage();

// ---- the bar ------------------------------------------------------------------

class StatusBar {
 public:
  StatusBar(StatusBarView& view, const base::Clock& clock) : view_(view), clock_(clock) {}

  // Sets the tool tips and does the first full refresh with "起動OK".
  void Start(const StatusState& state);

  // A null text, or one of 256 bytes or more, is ignored; an empty text shows
  // the persistent message. With autoClear and a non-empty text the field is
  // emptied 5 s later (each such call restarts the 5 s); any other message
  // shown in the meantime cancels that.
  void ShowStatusMessage(std::optional<std::string_view> sjis, bool autoClear);
  void SetPersistentMessage(std::string_view sjis);
  // ShowStatusMessage, then fields 1 to 8, each only when its text changed.
  void UpdateStatus(std::optional<std::string_view> sjis, bool autoClear, const StatusState& state);
  // The platform timer fired (or any time): clears the message when due.
  void Tick();

  void RefreshCaretPosition(const StatusState& state);
  void RefreshCharCode(const StatusState& state);
  void RefreshInsertMode(const StatusState& state);
  void RefreshCapsLock(const StatusState& state);
  void RefreshNumLock(const StatusState& state);
  void RefreshInputMode(const StatusState& state);
  void RefreshSearchMode(const StatusState& state);
  void RefreshUndoSpace(const StatusState& state);

  // Field widths for a frame client width; the rest of the width after fields
  // 1 to 8, the vertical scroll bar and 50 pixels goes to the message field.
  void Layout(int clientWidth, int scrollBarWidth);

  const std::string& Message() const { return message_; }
  const std::string& PersistentMessage() const { return persistent_; }
  // The unpadded text last put into a field (empty before the first).
  const std::string& FieldContent(int field) const { return content_[Index(field)]; }
  const std::array<int, kStatusFieldCount>& FieldWidths() const { return widths_; }
  std::optional<std::int64_t> ClearDeadline() const { return clearAt_; }

 private:
  static std::size_t Index(int field) { return static_cast<std::size_t>(field); }
  void ShowMessage(std::string_view sjis);
  // Puts a text into a field, padded with full-width blanks past its width;
  // with onlyChanged, nothing happens when the text is the one shown.
  void Put(int field, std::string_view sjis, bool onlyChanged);
  void Relayout();
  void SetEncoding(int encoding);

  StatusBarView& view_;
  const base::Clock& clock_;
  std::string message_;
  std::string persistent_;
  std::optional<std::int64_t> clearAt_;
  std::array<std::string, kStatusFieldCount> content_{};
  std::array<bool, kStatusFieldCount> shown_{};
  std::array<int, kStatusFieldCount> widths_{};
  int encoding_ = charcode::kCodeSjis;
  int lastColumn_ = 1;  // the caret column shown while the line's record is unavailable
  int clientWidth_ = 0;
  int scrollBarWidth_ = 0;
};

}  // namespace gorvane::shell

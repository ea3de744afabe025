#include "shell/status_bar.h"

#include <algorithm>
#include <vector>

#include "shell/host.h"

namespace gorvane::shell {

namespace cc = gorvane::charcode;

namespace {

constexpr std::string_view kFullWidthBlank = "\x81\x40";
constexpr int kFieldMargin = 10;       // pixels beside each sample text
constexpr int kMessageFieldSlack = 50;  // pixels the message field leaves free

int Normal(int encoding) {
  switch (encoding) {
    case cc::kCodeEuc:
    case cc::kCodeUtf8:
    case cc::kCodeUtf16BE:
    case cc::kCodeUtf16LE:
      return encoding;
    default:
      return cc::kCodeSjis;
  }
}

bool IsUtf16(int encoding) { return encoding == cc::kCodeUtf16BE || encoding == cc::kCodeUtf16LE; }

cc::Bytes AsBytes(std::string_view s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

// Length of a line's text without its CR LF.
std::size_t TextLength(std::string_view line) {
  return line.size() >= 2 && line.substr(line.size() - 2) == "\r\n" ? line.size() - 2 : line.size();
}

// The bytes of Shift-JIS text in a file encoding (UTF-16 always big-endian).
std::vector<std::uint8_t> Encode(int encoding, std::string_view sjis) {
  std::vector<std::uint8_t> out(sjis.size() * 3 + 4);
  cc::Converted c;
  switch (encoding) {
    case cc::kCodeEuc:
      c = cc::SjisToEuc(AsBytes(sjis), out, nullptr);
      break;
    case cc::kCodeUtf8:
      c = cc::SjisToUtf8(AsBytes(sjis), out, nullptr);
      break;
    case cc::kCodeUtf16BE:
    case cc::kCodeUtf16LE:
      c = cc::SjisToUtf16(AsBytes(sjis), out, true, nullptr);
      break;
    default:
      out.assign(sjis.begin(), sjis.end());
      return out;
  }
  out.resize(c.written);
  return out;
}

void AppendHex(std::string& out, std::uint8_t b) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out.push_back(kDigits[b >> 4]);
  out.push_back(kDigits[b & 0x0F]);
}

}  // namespace

// ---- field texts ----------------------------------------------------------------

std::string CaretPositionText(document::LineNo line, int column) {
  std::string s = std::to_string(line.value);
  s.append(Sjis(u8" 行, "));
  s.append(std::to_string(column));
  s.append(Sjis(u8" ﾊﾞｲﾄ"));
  return s;
}

int DisplayedColumn(int encoding, std::string_view lineText, document::CaretCol caret) {
  const int caretColumn = caret.value;
  encoding = Normal(encoding);
  if (encoding != cc::kCodeUtf8 && !IsUtf16(encoding)) return caretColumn;
  const std::size_t before = caretColumn > 1 ? static_cast<std::size_t>(caretColumn - 1) : 0;
  const std::size_t length = TextLength(lineText);
  const std::size_t inText = std::min(before, length);
  const std::size_t beyond = before - inText;
  const std::size_t unit = IsUtf16(encoding) ? 2 : 1;
  const std::size_t bytes = Encode(encoding, lineText.substr(0, inText)).size() + beyond * unit;
  return static_cast<int>(1 + bytes);
}

std::string CharCodeText(int encoding, std::string_view lineText, document::CaretCol caret, std::string_view lineEnd) {
  const int caretColumn = caret.value;
  encoding = Normal(encoding);
  std::string out;
  if (caretColumn < 1) return out;
  const std::size_t at = static_cast<std::size_t>(caretColumn - 1);
  const std::size_t length = TextLength(lineText);
  if (at < length) {
    const std::size_t n = cc::SjisCharBytes(lineText, at, length);
    for (std::uint8_t b : Encode(encoding, lineText.substr(at, n))) AppendHex(out, b);
  } else if (at == length && length < lineText.size()) {
    // The line end, as the file writes it; UTF-16 units with their high byte first.
    for (std::size_t i = 0; i < lineEnd.size(); ++i) {
      std::size_t k = i;
      if (encoding == cc::kCodeUtf16LE) k = i ^ 1;
      if (k < lineEnd.size()) AppendHex(out, static_cast<std::uint8_t>(lineEnd[k]));
    }
  }
  return out;
}

int UndoRemainingPercent(std::uint64_t used, std::uint64_t total) {
  if (total == 0) return 0;
  const auto usedPermille = static_cast<std::int64_t>(static_cast<double>(used) * 1000.0 / static_cast<double>(total));
  return static_cast<int>(100 - std::min<std::int64_t>(1000, 5 + usedPermille) / 10);
}

std::string UndoSpaceText(bool available, std::uint64_t used, std::uint64_t total) {
  if (!available || total == 0) return "***%";
  std::string s = std::to_string(UndoRemainingPercent(used, total));
  s.push_back('%');
  return s;
}

std::string InsertModeText(bool writeProtected, bool insertMode) {
  return Sjis(writeProtected ? u8"書禁" : insertMode ? u8"挿入" : u8"上書");
}
std::string CapsLockText(bool on) { return Sjis(on ? u8"大文字" : u8"小文字"); }
std::string NumLockText(bool on) { return on ? "Num" : ""; }
std::string InputModeText(bool open) { return Sjis(open ? u8"全角" : u8"半角"); }
std::string SearchScopeText(SearchScope scope) {
  return Sjis(scope == SearchScope::RangeLines ? u8"範囲内" : u8"ﾌｧｲﾙ内");
}

std::string FieldTip(int field, int encoding) {
  switch (field) {
    case kFieldMessage:
      return Sjis(u8"状況メッセージ");
    case kFieldCaret:
      return Sjis(u8"ｷｬﾚｯﾄ位置");
    case kFieldCharCode:
      switch (Normal(encoding)) {
        case cc::kCodeEuc:
          return Sjis(u8"文字ｺｰﾄﾞ(EUC)");
        case cc::kCodeUtf8:
          return Sjis(u8"文字ｺｰﾄﾞ(UTF8)");
        case cc::kCodeUtf16BE:
          return Sjis(u8"文字ｺｰﾄﾞ(UTF16BE)");
        case cc::kCodeUtf16LE:
          return Sjis(u8"文字ｺｰﾄﾞ(UTF16LE)");
        default:
          return Sjis(u8"文字ｺｰﾄﾞ(ｼﾌﾄJIS)");
      }
    case kFieldInsertMode:
      return Sjis(u8"上書/挿入/書禁");
    case kFieldCapsLock:
      return Sjis(u8"大文字/小文字");
    case kFieldNumLock:
      return "NumLock";
    case kFieldInputMode:
      return Sjis(u8"入力ﾓｰﾄﾞ");
    case kFieldSearchMode:
      return Sjis(u8"ｷｰﾎﾞｰﾄﾞ検索ﾓｰﾄﾞ");
    case kFieldUndoSpace:
      return Sjis(u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧ残りｻｲｽﾞ");
    default:
      return {};
  }
}

std::string StartupMessage() { return Sjis(u8"起動OK"); }

// ---- the bar ----------------------------------------------------------------------

void StatusBar::Start(const StatusState& state) {
  encoding_ = Normal(state.encoding);
  for (int f = 0; f < kStatusFieldCount; ++f) view_.SetFieldTip(f, FieldTip(f, encoding_));
  UpdateStatus(StartupMessage(), false, state);
}

void StatusBar::ShowStatusMessage(std::optional<std::string_view> sjis, bool autoClear) {
  if (!sjis || sjis->size() >= kStatusMessageLimit) return;
  if (sjis->empty()) {
    ShowMessage(persistent_);
    autoClear = false;
  } else {
    ShowMessage(*sjis);
  }
  if (autoClear) {
    clearAt_ = clock_.NowMs() + kStatusClearDelayMs;
    view_.SetClearTimer(kStatusClearDelayMs);
  } else if (clearAt_) {
    clearAt_.reset();
    view_.SetClearTimer(0);
  }
}

void StatusBar::SetPersistentMessage(std::string_view sjis) {
  if (sjis.size() < kStatusMessageLimit) persistent_.assign(sjis);
}

void StatusBar::UpdateStatus(std::optional<std::string_view> sjis, bool autoClear, const StatusState& state) {
  ShowStatusMessage(sjis, autoClear);
  RefreshCaretPosition(state);
  RefreshCharCode(state);
  RefreshInsertMode(state);
  RefreshCapsLock(state);
  RefreshNumLock(state);
  RefreshInputMode(state);
  RefreshSearchMode(state);
  RefreshUndoSpace(state);
}

void StatusBar::Tick() {
  if (!clearAt_) return;
  const std::int64_t now = clock_.NowMs();
  if (now < *clearAt_) {
    view_.SetClearTimer(static_cast<int>(*clearAt_ - now));
    return;
  }
  clearAt_.reset();
  view_.SetClearTimer(0);
  ShowMessage({});
}

void StatusBar::RefreshCaretPosition(const StatusState& state) {
  if (state.lineText) lastColumn_ = DisplayedColumn(state.encoding, *state.lineText, state.caretColumn);
  const std::string text = CaretPositionText(state.caretLine, lastColumn_);
  const std::size_t f = Index(kFieldCaret);
  if (shown_[f] && content_[f] == text) return;
  const bool relayout = !shown_[f] || content_[f].size() != text.size();
  content_[f] = text;   // the layout measures the new text
  shown_[f] = false;    // and leaves the field to the Put below
  if (relayout) Relayout();
  Put(kFieldCaret, text, false);
}

void StatusBar::RefreshCharCode(const StatusState& state) {
  SetEncoding(state.encoding);
  if (!state.lineText) return;  // keep the last code until the line is at hand
  Put(kFieldCharCode, CharCodeText(state.encoding, *state.lineText, state.caretColumn, state.lineEnd), true);
}

void StatusBar::RefreshInsertMode(const StatusState& state) {
  Put(kFieldInsertMode, InsertModeText(state.writeProtected, state.insertMode), true);
}
void StatusBar::RefreshCapsLock(const StatusState& state) { Put(kFieldCapsLock, CapsLockText(state.capsLock), true); }
void StatusBar::RefreshNumLock(const StatusState& state) { Put(kFieldNumLock, NumLockText(state.numLock), true); }
void StatusBar::RefreshInputMode(const StatusState& state) {
  Put(kFieldInputMode, InputModeText(state.inputMethodOpen), true);
}
void StatusBar::RefreshSearchMode(const StatusState& state) {
  Put(kFieldSearchMode, SearchScopeText(state.searchScope), true);
}
void StatusBar::RefreshUndoSpace(const StatusState& state) {
  Put(kFieldUndoSpace, UndoSpaceText(state.undoAvailable, state.undoUsed, state.undoTotal), true);
}

void StatusBar::Layout(int clientWidth, int scrollBarWidth) {
  clientWidth_ = clientWidth;
  scrollBarWidth_ = scrollBarWidth;
  Relayout();
}

void StatusBar::ShowMessage(std::string_view sjis) {
  message_.assign(sjis);
  Put(kFieldMessage, message_, false);
}

void StatusBar::Put(int field, std::string_view sjis, bool onlyChanged) {
  const std::size_t f = Index(field);
  if (onlyChanged && shown_[f] && content_[f] == sjis) return;
  content_[f].assign(sjis);
  shown_[f] = true;
  // Full-width blanks until the text is at least two blanks wider than the
  // field, so that nothing of a longer earlier text stays visible.
  std::string padded(sjis);
  const int blank = view_.TextWidth(kFullWidthBlank);
  if (blank > 0) {
    const int target = widths_[f] + 2 * blank;
    for (int width = view_.TextWidth(sjis); width < target; width += blank) padded.append(kFullWidthBlank);
  }
  view_.SetFieldText(field, padded);
}

void StatusBar::Relayout() {
  const std::array<int, kStatusFieldCount> old = widths_;
  const auto sample = [this](std::u8string_view text) { return view_.TextWidth(Sjis(text)); };
  int code = view_.TextWidth("WW00");
  if (encoding_ == cc::kCodeUtf8) code = code * 3 / 2;
  else if (IsUtf16(encoding_)) code *= 2;
  widths_[1] = view_.TextWidth(content_[Index(kFieldCaret)]);
  widths_[2] = code;
  widths_[3] = sample(u8"上書");
  widths_[4] = sample(u8"大文字");
  widths_[5] = view_.TextWidth("Num");
  widths_[6] = sample(u8"漢字");
  widths_[7] = sample(u8"ﾌｧｲﾙ内");
  widths_[8] = view_.TextWidth("***%");
  int others = 0;
  for (std::size_t f = 1; f < widths_.size(); ++f) others += widths_[f] += kFieldMargin;
  widths_[0] = std::max(0, clientWidth_ - others - scrollBarWidth_ - kMessageFieldSlack);

  std::array<int, kStatusFieldCount> edges{};
  int right = 0;
  for (std::size_t f = 0; f < edges.size(); ++f) edges[f] = right += widths_[f];
  view_.SetFieldEdges(edges);
  // Texts shown in a field of another width get their padding again.
  for (std::size_t f = 0; f < widths_.size(); ++f)
    if (shown_[f] && widths_[f] != old[f]) Put(static_cast<int>(f), std::string(content_[f]), false);
}

void StatusBar::SetEncoding(int encoding) {
  encoding = Normal(encoding);
  if (encoding == encoding_) return;
  encoding_ = encoding;
  view_.SetFieldTip(kFieldCharCode, FieldTip(kFieldCharCode, encoding_));
  Relayout();
}

}  // namespace gorvane::shell

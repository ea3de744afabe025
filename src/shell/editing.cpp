// The editor's commands that change text: typing, Enter, the deletes, the
// line commands, cut, copy and paste, block indent, moving a selection, the
// case and width conversions, and undo and redo over the undo buffer.
//
// Every change writes its record first; when the change then fails the
// record is taken back. Undo and redo find lines by number only.
#include <algorithm>
#include <array>
#include <cstring>

#include "charcode/sjis_case.h"
#include "document/caret_moves.h"
#include "document/conversions.h"
#include "shell/editor.h"

namespace gorvane::shell {

namespace cm = gorvane::commands;
using doc::CaretCol;
using doc::LineNo;
using doc::SelCol;
using doc::TextPos;

namespace {

constexpr std::int32_t kMaxLine = static_cast<std::int32_t>(doc::kMaxLineBytes);  // 15,360
constexpr std::int32_t kBlockLines = 400;

constexpr std::u8string_view kTooLongType = u8"1行の文字数が制限値を超えてしまいます。";
constexpr std::u8string_view kTooLongMove = u8"１行の文字数が制限値を超えてしまい移動できません。";
constexpr std::u8string_view kTooLongDelete = u8"1行の文字数が制限値を超えてしまいデリートできません。";
constexpr std::u8string_view kIndentCut =
    u8"ｵｰﾄｲﾝﾃﾞﾝﾄ処理実行時に１行当たりの文字数が制限値を超えてしまい正しく実行されませんでした。";
constexpr std::u8string_view kNoDeletedLine = u8"「行削除」されたﾃﾞｰﾀがありません。";
constexpr std::u8string_view kForcedLineEnd = u8"改行ｺｰﾄﾞを強制的に追加しました。";
constexpr std::u8string_view kForcedLineEndCut = u8"改行ｺｰﾄﾞ強制追加、行末のﾃﾞｰﾀが一部切り詰められました。";
constexpr std::u8string_view kNoSelection = u8"選択範囲がありません。";
constexpr std::u8string_view kCopyNoMemory = u8"クリップボードにコピーするだけの十分なﾒﾓﾘが確保できませんでした。";
constexpr std::u8string_view kPasteLineTooLong = u8"１行の文字列長が長すぎてペーストできません。";
constexpr std::u8string_view kPasteResultTooLong = u8"１行のデータサイズが大きくなりすぎてペーストできません。";
constexpr std::u8string_view kPasteTooManyLines = u8"編集可能行数(160万行)を超えてしまいますのでペーストできません。";
constexpr std::u8string_view kClipboardLossy =
    u8"シフトＪＩＳコードに変換できなかった文字があります。\n変換できなかった文字は'?'に置き換えられました。";
constexpr std::u8string_view kConfirm = u8"確認";
constexpr std::u8string_view kBlockTooWideTab = u8"選択範囲が広すぎます。\r\nTABコード挿入可能行数は最大 %d 行です。";
constexpr std::u8string_view kBlockTooWideBack = u8"選択範囲が広すぎます。\r\n空白文字削除が可能な行数は最大 %d 行です。";
constexpr std::u8string_view kBlockLineFull = u8"１行のデータサイズが %d に達している行があります。\r\nTABコードを挿入できません。";
constexpr std::u8string_view kUnindentNotBlank = u8"削除対象文字に空白文字以外の文字が含まれています。";
constexpr std::u8string_view kUnindentMixed = u8"削除対象文字に異なる文字が含まれています。削除できません。";
constexpr std::u8string_view kClearNotNeeded = u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱする必要はありません。";
constexpr std::u8string_view kClearAsk = u8"アンドゥバッファをクリアします。よろしいですか？";
constexpr std::u8string_view kCleared = u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱしました。";
constexpr std::u8string_view kClearFailed = u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧのｸﾘｱに失敗しました。";

bool IsLead(std::uint8_t b) { return charcode::IsSjisLead(b); }
bool IsTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool HasLineEnd(std::string_view line) { return line.size() >= 2 && line.substr(line.size() - 2) == "\r\n"; }
std::int32_t Size(std::string_view s) { return static_cast<std::int32_t>(s.size()); }
std::int32_t TextSize(std::string_view line) { return Size(doc::LineText(line)); }

std::string Leading(std::string_view line) {
  std::size_t n = 0;
  const std::string_view text = doc::LineText(line);
  while (n < text.size() && IsBlank(text[n])) ++n;
  return std::string(text.substr(0, n));
}

// "%d" in a text of the source filled in.
std::u8string WithNumber(std::u8string_view text, int n) {
  std::u8string out(text);
  const auto at = out.find(u8"%d");
  if (at != std::u8string::npos) {
    const std::string digits = std::to_string(n);
    out.replace(at, 2, std::u8string(digits.begin(), digits.end()));
  }
  return out;
}

// The pieces of a text split at its CR LF pairs (each piece with its CR LF).
std::vector<std::string_view> Pieces(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t p = 0;
  while (p < text.size()) {
    const std::size_t e = text.find("\r\n", p);
    if (e == std::string_view::npos) {
      out.push_back(text.substr(p));
      break;
    }
    out.push_back(text.substr(p, e + 2 - p));
    p = e + 2;
  }
  return out;
}

// A selection as it is written into records.
void PutSelection(doc::RecordBuilder& b, const doc::Selection& s, std::string_view first, std::string_view last) {
  b.I16(s.anchorCol.value).I32(s.anchorLine.value).I16(Size(first)).I16(s.otherCol.value).I32(s.otherLine.value).I16(Size(last));
}
doc::Selection GetSelection(doc::RecordReader& r) {
  doc::Selection s;
  s.anchorCol = SelCol(r.I16());
  s.anchorLine = LineNo(r.I32());
  r.I16();
  s.otherCol = SelCol(r.I16());
  s.otherLine = LineNo(r.I32());
  r.I16();
  s.exists = true;
  return s;
}

// A block indent's or unindent's record: the selection before it and the byte.
doc::Selection ReadBlock(doc::RecordReader& r, std::uint8_t code, std::uint8_t* byte) {
  if (code == doc::kUndoBlockUnindent) *byte = r.U8();
  doc::Selection s;
  s.anchorCol = SelCol(r.I16());
  s.otherCol = SelCol(r.I16());
  s.anchorLine = LineNo(r.I32());
  s.otherLine = LineNo(r.I32());
  s.exists = true;
  return s;
}

// A removed-text block read back: its text and the selection it was.
struct Removed {
  std::string text;
  doc::Selection selection;
  TextPos from() const { return {selection.anchorLine, CaretCol(selection.anchorCol.value + 1)}; }
  TextPos to() const { return doc::TextEdit::After(from(), text); }
};

std::optional<Removed> ReadRemoved(doc::RecordReader& r) {
  if (r.U8() != doc::kUndoRemovedText) return std::nullopt;
  const std::int32_t n = r.I32();
  r.I32();
  if (n < 1 || r.failed()) return std::nullopt;
  std::vector<std::string_view> chunks;
  for (std::int32_t i = 0; i < n && !r.failed(); ++i) {
    r.U32();
    const std::int32_t len = r.I16();
    chunks.push_back(r.Bytes(static_cast<std::size_t>(std::max(len, 0))));
    r.I16();
  }
  Removed out;
  // Middle lines first, then the last line's part, then the first line's.
  if (n == 1) {
    out.text = std::string(chunks[0]);
  } else {
    out.text = std::string(chunks[static_cast<std::size_t>(n - 1)]);
    for (std::int32_t i = 0; i < n - 2; ++i) out.text.append(chunks[static_cast<std::size_t>(i)]);
    out.text.append(chunks[static_cast<std::size_t>(n - 2)]);
  }
  out.selection.anchorLine = LineNo(r.I32());
  out.selection.anchorCol = SelCol(r.I16());
  out.selection.otherLine = LineNo(r.I32());
  out.selection.otherCol = SelCol(r.I16());
  out.selection.exists = true;
  r.I32();
  if (r.U8() != doc::kUndoRemovedText || r.failed()) return std::nullopt;
  return out;
}

// A nested removed-text block or its 0 byte.
bool ReadNested(doc::RecordReader& r, std::optional<Removed>* out, std::span<const std::uint8_t> bytes) {
  if (r.at() >= bytes.size()) return false;
  if (bytes[r.at()] == 0) {
    r.U8();
    out->reset();
    return true;
  }
  *out = ReadRemoved(r);
  return out->has_value();
}

}  // namespace

// ---- helpers ---------------------------------------------------------------------------------

bool Editor::StartUndo(std::uint32_t size, std::uint32_t deletedLineSlots) {
  return undo_.Start(size, deletedLineSlots);
}

Effects Editor::Edited(Effects fx) {
  pair_.reset();
  // The other pane keeps its place in the text when lines come or go above
  // it; both panes' first lines and carets stay inside the document.
  for (const doc::TextEdit::Shift& shift : text_.TakeShifts()) {
    PaneState& other = panes_[active_ == 0 ? 1 : 0];
    if (paneCount() < 2) continue;
    auto follow = [&](LineNo& line) {
      if (line < shift.from) return;
      line = shift.lines > 0 ? line + shift.lines : LineNo(std::max(shift.from.value + shift.lines, line.value + shift.lines));
    };
    follow(other.caret.line);
    const LineNo first = other.first;
    follow(other.first);
    if (other.first != first) store_.ShowFrom(active_ == 0 ? 1 : 0, LineNo(std::max(1, other.first.value)));
  }
  for (int p = 0; p < paneCount(); ++p) fx |= ClampPane(p);
  fx |= Effects::RepaintAll();
  fx.bits |= Effects::kCaret | Effects::kStatus | Effects::kScrollBars | Effects::kModified;
  return fx;
}

std::optional<std::uint32_t> Editor::Record(std::string record) {
  const std::string_view whole(record);
  return Record(std::span(&whole, 1));
}

std::optional<std::uint32_t> Editor::Record(std::span<const std::string_view> parts) {
  std::uint32_t at = 0;
  if (undo_.Write(parts, &at) != doc::UndoBuffer::Room::Ok) return std::nullopt;
  return at;
}

void Editor::Unrecord(std::optional<std::uint32_t> at) {
  if (at) undo_.Rollback(*at);
}

std::pair<TextPos, TextPos> Editor::SelectionRange() {
  const doc::Selection s = selection_.Normalised();
  const std::string first = Line(s.anchorLine);
  const TextPos from{s.anchorLine, doc::BoundaryColumn(first, CaretCol(std::max(s.anchorCol.value, 0) + 1))};
  const std::string last = s.otherLine == s.anchorLine ? first : Line(s.otherLine);
  TextPos to;
  if (s.otherCol.value >= TextSize(last) && HasLineEnd(last) && s.otherLine < LineNo(lineCount())) {
    to = {s.otherLine + 1, CaretCol(1)};
  } else {
    const CaretCol at = doc::BoundaryColumn(last, CaretCol(std::max(s.otherCol.value, 0) + 1));
    to = {s.otherLine, doc::NextColumn(last, at)};
  }
  if (to < from) to = from;
  return {from, to};
}

// The record of a removed range: its text in chunks (middle lines, then the
// last line's part, then the first line's), and the selection it was.
std::string Editor::RemovedBlock(TextPos from, TextPos to, std::string_view text) {
  const std::vector<std::string_view> pieces = Pieces(text);
  const std::int32_t n = to.line - from.line + 1;
  std::vector<std::string_view> parts(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < parts.size() && i < pieces.size(); ++i) parts[i] = pieces[i];
  doc::RecordBuilder b(doc::kUndoRemovedText);
  b.I32(n).I32(Size(text));
  auto chunk = [&](std::int32_t i) {
    const std::string_view p = parts[static_cast<std::size_t>(i)];
    b.U32(store_.LineOffsetOf(from.line + i)).I16(Size(p)).Bytes(p).I16(Size(p));
  };
  if (n == 1) {
    chunk(0);
  } else {
    for (std::int32_t i = 1; i < n - 1; ++i) chunk(i);
    chunk(n - 1);
    chunk(0);
  }
  // The selection: its last byte is the one before `to`.
  SelCol endCol(to.column.value - 2);
  LineNo endLine = to.line;
  if (to.column == CaretCol(1) && to.line > from.line) {
    endLine = to.line - 1;
    endCol = SelCol(Size(Line(endLine)) - 1);
  }
  b.I32(from.line.value).I16(from.column.value - 1).I32(endLine.value).I16(endCol.value).I32(n);
  return b.Finish();
}

bool Editor::LinePreconditions(std::u8string_view name, Effects* fx) {
  if (writeProtected_) return false;
  if (!OnScreenOrRefuse(name)) return false;
  if (selection_.exists) {
    const auto [from, to] = SelectionRange();
    *fx |= CancelSelection();
    *fx |= SetCaret(active_, from.line, from.column);
    return false;
  }
  return true;
}

// ---- typing --------------------------------------------------------------------------------

Effects Editor::ToggleInsertMode() {
  insertMode_ = !insertMode_;
  return Effects{Effects::kStatus};
}

Effects Editor::TypeText(std::string_view sjis) {
  if (sjis.empty()) return {};
  if (sjis.size() > 2 && insertMode_) {
    if (writeProtected_) return {};
    lead_.reset();
    std::string text(sjis);
    const doc::TextShape shape = doc::MakeWhole(text);
    return PasteText(std::move(text), shape, true);
  }
  Effects fx;
  for (char c : sjis) fx |= TypeChar(static_cast<std::uint8_t>(c));
  return fx;
}

Effects Editor::TypeChar(std::uint8_t b) {
  if (writeProtected_) return {};
  Effects fx = ClampPane(active_);
  if (lead_) {
    const std::uint8_t lead = *lead_;
    lead_.reset();
    if (IsTrail(b)) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(b)};
      return fx |= InsertCharacter(std::string_view(pair, 2));
    }
    // A lead byte without its second byte is dropped, never put in alone.
  }
  if (IsLead(b)) {
    lead_ = b;
    return fx;
  }
  if (b < 0x20 && b != 8 && b != 9 && b != 10 && b != 13 && b != 27) return fx;
  if (b == 0x7F || b == 0x80 || b == 0xA0 || b >= 0xFD) return fx;
  if (pendingBracket_) {
    pendingBracket_.reset();
    fx.bracketTimer = Effects::Timer::Stop;
  }
  if (selection_.exists && (b == 9 || b == 8)) {
    const doc::Selection s = selection_.Normalised();
    const bool wholeLine = s.anchorLine == s.otherLine && s.anchorCol == SelCol(0) &&
                           s.otherCol.value >= Size(Line(s.anchorLine)) - 1;
    if (s.SpansLines() || wholeLine) return fx |= BlockIndent(b == 9);
  }
  switch (b) {
    case 27: return fx |= CancelSelection();
    case 8: return fx |= Backspace();
    case 13: case 10: return fx |= Enter();
    default: {
      const char one = static_cast<char>(b);
      return fx |= InsertCharacter(std::string_view(&one, 1));
    }
  }
}

Effects Editor::InsertCharacter(std::string_view ch) {
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  const std::int32_t n = Size(ch);
  const bool overwrite = !insertMode_ && !selection_.exists;
  std::string replaced;  // what overwriting takes away
  std::int32_t result = Size(line) + n;
  if (selection_.exists) {
    const auto [from, to] = SelectionRange();
    const std::string last = to.line == from.line ? line : Line(to.line);
    result = (from.column.value - 1) + (Size(last) - (to.column.value - 1)) + n;
  } else if (overwrite) {
    const CaretCol at = caret.column;
    if (at.value - 1 < TextSize(line)) {
      const CaretCol next = doc::NextColumn(line, at);
      replaced = line.substr(static_cast<std::size_t>(at.value - 1), static_cast<std::size_t>(next - at));
      result = Size(line) - Size(replaced) + n;
    } else if (HasLineEnd(line) && caret.line < LineNo(lineCount())) {
      replaced = "\r\n";
      result = Size(line) - 2 + Size(Line(caret.line + 1)) + n;
    }
  }
  if (result > kMaxLine) return Beeped(kTooLongType);

  Effects fx;
  TextPos at = caret;
  std::string nested(1, '\0');
  std::pair<TextPos, TextPos> range;
  std::string removed;
  if (selection_.exists) {
    range = SelectionRange();
    if (!text_.Read(range.first, range.second, &removed)) return {};
    nested = RemovedBlock(range.first, range.second, removed);
    at = range.first;
  }
  doc::RecordBuilder rec(doc::kUndoTyping);
  rec.U8(0).Bytes(n == 2 ? ch : std::string(ch) + '\0');
  rec.Bytes(replaced.size() == 2 ? replaced : replaced.size() == 1 ? replaced + '\0' : std::string(2, '\0'));
  rec.I16(at.column.value).I32(at.line.value).Bytes(nested);
  const auto written = Record(rec.Finish());
  bool ok = true;
  if (selection_.exists) {
    ok = text_.Erase(range.first, range.second);
    fx |= CancelSelection();
  } else if (!replaced.empty()) {
    ok = text_.Erase(at, doc::TextEdit::After(at, replaced));
  }
  ok = ok && text_.Insert(at, ch);
  if (!ok) {
    Unrecord(written);
    return Edited(fx);
  }
  fx |= SetCaret(active_, at.line, at.column + n);
  return Edited(fx);
}

// Auto-indent: the line's leading blanks made the previous line's, recorded
// for undo; the copy is cut (and the user told) when the line would pass the
// limit. False when nothing changed.
bool Editor::Indent(LineNo line) {
  if (line <= LineNo(1)) return false;
  std::string want = Leading(Line(line - 1));
  const std::string text = Line(line);
  const std::string have = Leading(text);
  const std::int32_t room = kMaxLine - (Size(text) - Size(have));
  const bool cut = Size(want) > room;
  if (cut) want.resize(static_cast<std::size_t>(std::max(room, 0)));
  if (want == have) return false;
  doc::RecordBuilder b(doc::kUndoIndent);
  b.U8(0).I32(line.value).I16(Size(want)).I16(Size(have)).Bytes(want).Bytes(have).U32(undo_.used() + 1);
  const auto written = Record(b.Finish());
  if (!text_.SetLine(line, want + text.substr(have.size()))) {
    Unrecord(written);
    return false;
  }
  if (cut) {
    Status(host_, kIndentCut);
    host_.Beep();
  }
  return true;
}

Effects Editor::Enter() {
  Effects fx;
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  auto indent = [&](LineNo target) { return autoIndent_ && Indent(target); };

  if (!insertMode_ && !selection_.exists && caret.column.value - 1 == TextSize(line) && HasLineEnd(line)) {
    // Overwriting, on the line end: to the next line, as the Right key does.
    fx |= SetCaret(active_, caret.line + 1, CaretCol(1));
    if (autoIndent_ && !writeProtected_) {
      if (indent(caret.line + 1)) {
        fx |= SetCaret(active_, caret.line + 1, CaretCol(Size(Leading(Line(caret.line + 1))) + 1));
        return Edited(fx);
      }
    }
    return fx;
  }
  if (selection_.exists ? selection_.Normalised().anchorCol.value > kMaxLine - 2 : caret.column.value + 1 > kMaxLine)
    return Beeped(kTooLongMove);

  TextPos at = caret;
  std::string nested(1, '\0');
  std::pair<TextPos, TextPos> range;
  const bool hadSelection = selection_.exists;
  if (hadSelection) {
    range = SelectionRange();
    std::string removed;
    if (!text_.Read(range.first, range.second, &removed)) return {};
    nested = RemovedBlock(range.first, range.second, removed);
    at = range.first;
  }
  // The group brackets go round the line break and the indentation when
  // auto-indent changes the new line.
  bool grouped = false;
  if (autoIndent_) {
    const std::string last = hadSelection ? Line(range.second.line) : line;
    const CaretCol cut = hadSelection ? range.second.column : caret.column;
    const std::string upper = Line(at.line).substr(0, static_cast<std::size_t>(at.column.value - 1));
    const std::string rest = last.substr(std::min(last.size(), static_cast<std::size_t>(cut.value - 1)));
    grouped = Leading(upper) != Leading(rest);
  }
  std::optional<std::uint32_t> open;
  if (grouped) open = Record(std::string(1, static_cast<char>(doc::kUndoGroupStart)));
  doc::RecordBuilder rec(doc::kUndoTyping);
  rec.U8(hadSelection || !insertMode_ ? 1 : 0).Bytes("\r\n").Bytes(std::string(2, '\0'));
  rec.I16(at.column.value).I32(at.line.value).Bytes(nested);
  const auto written = Record(rec.Finish());
  bool ok = true;
  if (hadSelection) {
    ok = text_.Erase(range.first, range.second);
    fx |= CancelSelection();
  }
  if (!ok || !text_.Insert(at, "\r\n")) {
    Unrecord(written);
    Unrecord(open);
    return Edited(fx);
  }
  if (grouped) {
    indent(at.line + 1);
    if (open) Record(std::string(1, static_cast<char>(doc::kUndoGroupEnd)));
  }
  fx |= SetCaret(active_, at.line + 1, CaretCol(Size(Leading(Line(at.line + 1))) * (autoIndent_ ? 1 : 0) + 1));
  return Edited(fx);
}

Effects Editor::Backspace() {
  if (selection_.exists) return DeleteSelection();
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  TextPos from;
  std::string gone;
  if (caret.column == CaretCol(1)) {
    if (caret.line <= LineNo(1)) return {};
    const std::string prev = Line(caret.line - 1);
    if (Size(prev) + Size(line) > kMaxLine + 2) return Beeped(kTooLongDelete);
    from = {caret.line - 1, doc::EndColumn(prev)};
    gone = prev.substr(static_cast<std::size_t>(TextSize(prev)));
    if (gone.empty()) return {};
  } else {
    const CaretCol before = doc::PreviousColumn(line, caret.column);
    from = {caret.line, before};
    gone = line.substr(static_cast<std::size_t>(before.value - 1), static_cast<std::size_t>(caret.column - before));
  }
  doc::RecordBuilder rec(doc::kUndoDeleteChar);
  rec.U8(8).Bytes(gone.size() == 2 ? gone : gone + '\0').I16(from.column.value).I32(from.line.value);
  const auto written = Record(rec.Finish());
  if (!text_.Erase(from, doc::TextEdit::After(from, gone))) {
    Unrecord(written);
    return Edited();
  }
  return Edited(SetCaret(active_, from.line, from.column));
}

Effects Editor::DeleteKey() {
  if (writeProtected_) return {};
  if (selection_.exists) return DeleteSelection();
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  std::string gone;
  if (caret.column.value - 1 >= TextSize(line)) {
    if (!HasLineEnd(line) || caret.line >= LineNo(lineCount())) return {};
    if (Size(line) + Size(Line(caret.line + 1)) > kMaxLine + 2) return Beeped(kTooLongDelete);
    gone = "\r\n";
  } else {
    const CaretCol next = doc::NextColumn(line, caret.column);
    gone = line.substr(static_cast<std::size_t>(caret.column.value - 1), static_cast<std::size_t>(next - caret.column));
  }
  doc::RecordBuilder rec(doc::kUndoDeleteChar);
  rec.U8(46).Bytes(gone.size() == 2 ? gone : gone + '\0').I16(caret.column.value).I32(caret.line.value);
  const auto written = Record(rec.Finish());
  if (!text_.Erase(caret, doc::TextEdit::After(caret, gone))) {
    Unrecord(written);
    return Edited();
  }
  return Edited(SetCaret(active_, caret.line, caret.column));
}

// Backspace or Delete on a selection: removed as by Cut, without the clipboard.
Effects Editor::DeleteSelection() {
  const auto [from, to] = SelectionRange();
  const std::string first = Line(from.line);
  const std::string last = to.line == from.line ? first : Line(to.line);
  const std::int32_t left = (from.column.value - 1) + (Size(last) - (to.column.value - 1));
  if (left > kMaxLine) return Beeped(kTooLongDelete);
  std::string removed;
  if (!text_.Read(from, to, &removed)) return {};
  const auto written = Record(RemovedBlock(from, to, removed));
  Effects fx = CancelSelection();
  if (!text_.Erase(from, to)) {
    Unrecord(written);
    return Edited(fx);
  }
  return Edited(fx |= SetCaret(active_, from.line, from.column));
}

// ---- line commands ---------------------------------------------------------------------------

Effects Editor::InsertLine() {
  Effects fx;
  if (!LinePreconditions(u8"空行挿入", &fx)) return fx;
  const TextPos caret = panes_[active_].caret;
  std::string prefix = autoIndent_ ? Leading(Line(caret.line)) : std::string();
  bool cut = false;
  if (Size(prefix) + 2 > kMaxLine) {
    prefix.resize(static_cast<std::size_t>(kMaxLine - 2));
    cut = true;
  }
  doc::RecordBuilder rec(doc::kUndoBlankLine);
  rec.I16(caret.column.value).I32(caret.line.value);
  const auto written = Record(rec.Finish());
  if (!text_.Insert({caret.line, CaretCol(1)}, prefix + "\r\n")) {
    Unrecord(written);
    return Edited(fx);
  }
  if (cut) {
    Status(host_, kIndentCut);
    host_.Beep();
  }
  return Edited(fx |= SetCaret(active_, caret.line, CaretCol(Size(prefix) + 1)));
}

Effects Editor::CopyInsertLine() {
  Effects fx;
  if (!LinePreconditions(u8"行複写", &fx)) return fx;
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  const bool noLineEnd = !HasLineEnd(line);
  if (noLineEnd && Size(line) + 2 > kMaxLine) return Beeped(kTooLongType);
  doc::RecordBuilder rec(doc::kUndoCopyLine);
  rec.U8(noLineEnd ? 1 : 0).I16(caret.column.value).I32(caret.line.value);
  const auto written = Record(rec.Finish());
  const bool ok = noLineEnd ? text_.Insert({caret.line, doc::EndColumn(line)}, "\r\n" + line)
                            : text_.Insert({caret.line + 1, CaretCol(1)}, line);
  if (!ok) Unrecord(written);
  return Edited(fx |= SetCaret(active_, caret.line, caret.column));
}

Effects Editor::DeleteLineCommand() {
  Effects fx;
  if (!LinePreconditions(u8"行削除", &fx)) return fx;
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  if (line.empty()) return fx;
  doc::RecordBuilder rec(doc::kUndoDeleteLine);
  rec.I16(caret.column.value).I32(caret.line.value).U32(store_.LineOffsetOf(caret.line));
  rec.I16(Size(line)).Bytes(line).I16(Size(line));
  const auto written = Record(rec.Finish());
  const bool empties = !HasLineEnd(line) || caret.line >= LineNo(lineCount());
  const bool ok = empties ? text_.SetLine(caret.line, "") : text_.RemoveLine(caret.line);
  if (!ok) {
    Unrecord(written);
    return Edited(fx);
  }
  if (written) undo_.PushDeletedLine(*written + 11);
  const LineNo now(std::min(caret.line.value, lineCount()));
  return Edited(fx |= SetCaret(active_, now, caret.column));
}

// The text a ring slot gives back: its line end forced, the line cut when
// that would make it too long; *message says what was done.
std::string Editor::ReinsertText(std::uint32_t slot, std::u8string_view* message) {
  *message = {};
  const std::uint8_t* base = undo_.Bytes({slot, slot + 2}).data();
  const std::int32_t len = base[0] | (base[1] << 8);
  std::string text(reinterpret_cast<const char*>(undo_.Bytes({slot + 2, slot + 2 + static_cast<std::uint32_t>(len)}).data()),
                   static_cast<std::size_t>(len));
  if (!HasLineEnd(text)) {
    *message = kForcedLineEnd;
    if (Size(text) >= kMaxLine - 1) {
      std::size_t keep = static_cast<std::size_t>(kMaxLine - 2);
      // Never cut inside a double-byte character.
      std::size_t i = 0;
      while (i < keep) i += IsLead(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
      if (i > keep) keep -= 1;
      text.resize(keep);
      *message = kForcedLineEndCut;
    }
    text += "\r\n";
  }
  return text;
}

Effects Editor::InsDelLine() {
  Effects fx;
  if (!LinePreconditions(u8"削除した行を挿入", &fx)) return fx;
  const std::optional<std::uint32_t> slot = undo_.PopDeletedLine();
  if (!slot) return Beeped(kNoDeletedLine);
  const TextPos caret = panes_[active_].caret;
  std::u8string_view message;
  const std::string text = ReinsertText(*slot, &message);
  doc::RecordBuilder rec(doc::kUndoReinsertLine);
  rec.I32(caret.line.value).U32(*slot);
  const auto written = Record(rec.Finish());
  if (!text_.Insert({caret.line, CaretCol(1)}, text)) {
    Unrecord(written);
    undo_.PushDeletedLine(*slot);
    return Edited(fx);
  }
  if (!message.empty()) {
    Status(host_, message);
    host_.Beep();
  }
  return Edited(fx |= SetCaret(active_, caret.line, caret.column));
}

Effects Editor::BeforeDelete() {
  Effects fx;
  if (!LinePreconditions(u8"ｷｬﾚｯﾄより前の文字を削除", &fx)) return fx;
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  if (line.empty() || caret.column == CaretCol(1)) return fx;
  store_.WriteBack();
  fx |= SelectBytes(caret.line, SelCol(0), caret.line, SelCol(caret.column.value - 2));
  return fx |= DeleteSelection();
}

Effects Editor::AfterDelete() {
  Effects fx;
  if (!LinePreconditions(u8"ｷｬﾚｯﾄ以降の文字を削除", &fx)) return fx;
  const TextPos caret = panes_[active_].caret;
  const std::string line = Line(caret.line);
  if (line.empty() || caret.column.value - 1 >= TextSize(line)) return fx;
  store_.WriteBack();
  fx |= SelectBytes(caret.line, SelCol(caret.column.value - 1), caret.line, SelCol(TextSize(line) - 1));
  return fx |= DeleteSelection();
}

// ---- clipboard -------------------------------------------------------------------------------

Effects Editor::Copy() {
  if (clipboard_ == nullptr) return {};
  if (!selection_.exists) {
    clipboard_->Empty();
    return {};
  }
  store_.WriteBack();
  const auto [from, to] = SelectionRange();
  std::string text;
  if (!text_.Read(from, to, &text)) return {};
  if (clipboard_->Write(text) == Clipboard::Result::NoMemory) Tell(host_, kCopyNoMemory, BoxIcon::Error);
  return {};
}

Effects Editor::Cut() {
  if (writeProtected_) return {};
  if (!selection_.exists) {
    Status(host_, kNoSelection);
    return {};
  }
  if (clipboard_ == nullptr) return {};
  const auto [from, to] = SelectionRange();
  const std::string last = Line(to.line);
  if ((from.column.value - 1) + (Size(last) - (to.column.value - 1)) > kMaxLine) return Beeped(kTooLongDelete);
  store_.WriteBack();
  std::string text;
  if (!text_.Read(from, to, &text)) return {};
  const Clipboard::Result copied = clipboard_->Write(text);
  if (copied != Clipboard::Result::Ok) {
    // Nothing is deleted when the text did not reach the clipboard.
    if (copied == Clipboard::Result::NoMemory) Tell(host_, kCopyNoMemory, BoxIcon::Error);
    return {};
  }
  const auto written = Record(RemovedBlock(from, to, text));
  Effects fx = CancelSelection();
  if (!text_.Erase(from, to)) {
    Unrecord(written);
    return Edited(fx);
  }
  return Edited(fx |= SetCaret(active_, from.line, from.column));
}

Effects Editor::Paste() {
  Effects fx;
  if (writeProtected_) return fx;
  if (!OnScreenOrRefuse(u8"ペースト")) return fx;
  if (clipboard_ == nullptr) return fx;
  std::optional<Clipboard::Text> clip = clipboard_->Read();
  if (!clip || clip->sjis.empty()) return fx;
  std::string text = std::move(clip->sjis);
  const doc::TextShape shape = doc::MakeWhole(text);
  if (text.empty()) return fx;
  if (selection_.exists) {
    const auto [from, to] = SelectionRange();
    std::string selected;
    if (text_.Read(from, to, &selected) && selected == text) return fx;
  }
  return PasteText(std::move(text), shape, false, clip->lossy);
}

// The paste path: checks, the record, the selection replaced, the text put
// in. Silent: no message and no selection afterwards (input-method results).
Effects Editor::PasteText(std::string text, const doc::TextShape& shape, bool silent, bool lossy) {
  Effects fx;
  if (text.empty()) return fx;
  // Only CR LF breaks lines.
  const std::int32_t breaks = shape.breaks(), firstPiece = shape.FirstPiece(), lastPiece = shape.LastPiece();
  const std::int32_t longest = shape.LongestPiece();
  if (longest > kMaxLine) {
    if (!silent) {
      Status(host_, kPasteLineTooLong);
      host_.Beep();
    }
    return fx;
  }
  TextPos at = panes_[active_].caret;
  TextPos after = at;
  if (selection_.exists) std::tie(at, after) = SelectionRange();
  const std::string first = Line(at.line);
  const std::string last = after.line == at.line ? first : Line(after.line);
  const std::int32_t before = std::min(at.column.value - 1, TextSize(first));
  const std::int32_t rest = Size(last) - std::min(after.column.value - 1, TextSize(last));
  const bool tooLong = breaks == 0 ? before + Size(text) + rest > kMaxLine
                                   : before + firstPiece > kMaxLine || lastPiece + rest > kMaxLine;
  if (tooLong) {
    if (!silent) Tell(host_, kPasteResultTooLong, BoxIcon::Warning);
    return fx;
  }
  if (breaks > 0 && static_cast<std::int64_t>(lineCount()) + breaks - (after.line - at.line) > doc::kMaxLines) {
    if (!silent) Tell(host_, kPasteTooManyLines, BoxIcon::Error);
    return fx;
  }
  // Characters the clipboard's text could not give in Shift-JIS are told of
  // once the paste is sure to go in.
  if (lossy && !silent) Tell(host_, kClipboardLossy, BoxIcon::Information, BoxButtons::Ok, kConfirm);
  std::string nested(1, '\0');
  if (selection_.exists) {
    std::string removed;
    if (!text_.Read(at, after, &removed)) return fx;
    nested = RemovedBlock(at, after, removed);
  }
  const std::uint32_t sum = shape.sum;
  const TextPos end = shape.After(at);
  const std::uint8_t source = silent ? 1 : 0;
  // The text goes into the record between its fields, copied once.
  doc::RecordBuilder rec(doc::kUndoPaste);
  rec.U8(source).I32(Size(text)).U32(sum).Bytes(nested);
  const std::string head = rec.Take();
  rec.U8(0).I32(at.line.value).I16(at.column.value).I32(end.line.value).I16(end.column.value).I32(Size(text));
  const std::string tail = rec.U8(source).Finish();
  const std::string_view parts[] = {head, text, tail};
  const auto written = Record(parts);
  bool ok = true;
  if (selection_.exists) {
    ok = text_.Erase(at, after);
    fx |= CancelSelection();
  }
  if (!ok || !text_.Insert(at, text, shape.ends)) {
    Unrecord(written);
    return Edited(fx);
  }
  fx |= SetCaret(active_, end.line, end.column);
  if (!silent) fx |= SetSelection(at, end);
  return Edited(fx);
}

// ---- blocks ----------------------------------------------------------------------------------

// TAB (indent) or Backspace on lines before.anchorLine .. before.otherLine:
// each line gets or loses its first byte; *after is the selection then.
bool Editor::ApplyBlock(bool indent, const doc::Selection& before, std::uint8_t byte, doc::Selection* after) {
  const doc::Selection s = before.Normalised();
  for (LineNo l = s.anchorLine; l <= s.otherLine; ++l) {
    std::string text = Line(l);
    if (indent) text.insert(text.begin(), static_cast<char>(byte));
    else if (!text.empty()) text.erase(text.begin());
    if (!text_.SetLine(l, text)) return false;
  }
  *after = s;
  if (indent) {
    if (after->anchorCol != SelCol(0)) after->anchorCol += 1;
    after->otherCol += 1;
  } else {
    after->anchorCol = SelCol(std::max(0, after->anchorCol.value - 1));
    const bool onlyLineEnd = Line(s.otherLine) == "\r\n";
    after->otherCol = onlyLineEnd && s.otherCol.value >= 1 ? SelCol(1) : SelCol(std::max(0, after->otherCol.value - 1));
  }
  return true;
}

Effects Editor::BlockIndent(bool indent) {
  Effects fx;
  const doc::Selection s = selection_.Normalised();
  const std::int32_t count = s.otherLine - s.anchorLine + 1;
  if (count > kBlockLines) {
    Tell(host_, WithNumber(indent ? kBlockTooWideTab : kBlockTooWideBack, kBlockLines), BoxIcon::Error);
    return fx;
  }
  std::uint8_t byte = '\t';
  if (indent) {
    for (LineNo l = s.anchorLine; l <= s.otherLine; ++l)
      if (Size(Line(l)) >= kMaxLine) {
        Tell(host_, WithNumber(kBlockLineFull, kMaxLine), BoxIcon::Error);
        return fx;
      }
  } else {
    const std::string first = Line(s.anchorLine);
    if (first.empty() || !IsBlank(first[0])) return Beeped(kUnindentNotBlank);
    byte = static_cast<std::uint8_t>(first[0]);
    for (LineNo l = s.anchorLine + 1; l <= s.otherLine; ++l) {
      const std::string text = Line(l);
      if (text.empty() || static_cast<std::uint8_t>(text[0]) != byte) return Beeped(kUnindentMixed);
    }
  }
  doc::RecordBuilder rec(indent ? doc::kUndoBlockIndent : doc::kUndoBlockUnindent);
  if (!indent) rec.U8(byte);
  rec.I16(s.anchorCol.value).I16(s.otherCol.value).I32(s.anchorLine.value).I32(s.otherLine.value);
  const auto written = Record(rec.Finish());
  doc::Selection after;
  if (!ApplyBlock(indent, s, byte, &after)) {
    Unrecord(written);
    return Edited(fx);
  }
  fx |= SelectBytes(after.anchorLine, after.anchorCol, after.otherLine, after.otherCol);
  // The block in view, the end nearer the middle of the view first.
  PaneState& p = panes_[active_];
  const LineNo middle = p.first + p.rows / 2;
  const LineNo nearer = std::abs(after.anchorLine - middle) <= std::abs(after.otherLine - middle) ? after.anchorLine
                                                                                                    : after.otherLine;
  const LineNo other = nearer == after.anchorLine ? after.otherLine : after.anchorLine;
  fx |= ScrollTo(active_, std::clamp(p.first, other - p.rows + 1, other));
  fx |= ScrollTo(active_, std::clamp(p.first, nearer - p.rows + 1, nearer));
  return Edited(fx);
}

// ---- moving a selection with the mouse -------------------------------------------------------

Effects Editor::MoveSelectionTo(TextPos to) {
  const auto [from, end] = SelectionRange();
  to.column = doc::BoundaryColumn(Line(to.line), to.column);
  if (writeProtected_ || (from <= to && to <= end)) {
    // Dropped on itself: a plain click there.
    Effects fx = CancelSelection();
    return fx |= SetCaret(active_, to.line, to.column);
  }
  std::string text;
  if (!text_.Read(from, end, &text)) return {};
  const std::string first = Line(from.line), last = Line(end.line);
  if ((from.column.value - 1) + (Size(last) - (end.column.value - 1)) > kMaxLine) return Beeped(kTooLongMove);
  // Where the text goes once it is out: a drop below the selection moves up.
  TextPos target = to;
  if (target > end) {
    if (target.line == end.line) target = {from.line, from.column + (target.column - end.column)};
    else target.line -= end.line - from.line;
  }
  const doc::Selection s = selection_.Normalised();
  doc::RecordBuilder open(doc::kUndoDragStart);
  PutSelection(open, s, first, last);
  const auto openAt = Record(open.Finish());
  const auto removedAt = Record(RemovedBlock(from, end, text));
  if (!text_.Erase(from, end)) {
    Unrecord(removedAt);
    Unrecord(openAt);
    return Edited();
  }
  // The line that receives the text must stay within the limit.
  const std::string dropLine = Line(target.line);
  const std::vector<std::string_view> pieces = Pieces(text);
  const std::int32_t before = target.column.value - 1, rest = Size(dropLine) - before;
  const bool oneLine = pieces.size() == 1 && !HasLineEnd(text);
  const bool tooLong = oneLine ? Size(dropLine) + Size(text) > kMaxLine
                               : before + Size(pieces.front()) > kMaxLine ||
                                     (HasLineEnd(text) ? 0 : Size(pieces.back())) + rest > kMaxLine;
  if (tooLong) {
    text_.Insert(from, text);
    Unrecord(removedAt);
    Unrecord(openAt);
    return Beeped(kTooLongMove);
  }
  Effects fx = CancelSelection();
  const std::uint32_t sum = doc::ByteSum(text);
  const TextPos after = doc::TextEdit::After(target, text);
  doc::RecordBuilder ins(doc::kUndoReplaceRange);
  ins.I32(Size(text)).U32(sum).U8(0).Bytes(text).U8(0);
  ins.I32(target.line.value).I16(target.column.value).I32(after.line.value).I16(after.column.value).I32(Size(text));
  const auto insAt = Record(ins.Finish());
  if (!text_.Insert(target, text)) {
    Unrecord(insAt);
    text_.Insert(from, text);
    Unrecord(removedAt);
    Unrecord(openAt);
    return Edited(fx);
  }
  fx |= SetSelection(target, after);
  const doc::Selection moved = selection_.Normalised();
  doc::RecordBuilder close(doc::kUndoDragEnd);
  PutSelection(close, moved, Line(moved.anchorLine), Line(moved.otherLine));
  Record(close.Finish());
  fx |= SetCaret(active_, after.line, after.column);
  return Edited(fx);
}

// ---- a macro's replay -------------------------------------------------------------------------

void Editor::BeginMacroRun() { Record(std::string(1, static_cast<char>(doc::kUndoMacroStart))); }

void Editor::EndMacroRun() {
  // An empty replay leaves no step behind.
  if (undo_.CodeBefore() == doc::kUndoMacroStart && undo_.Before()) {
    undo_.Rollback(undo_.Before()->begin);
    return;
  }
  Record(std::string(1, static_cast<char>(doc::kUndoMacroEnd)));
}

// ---- the inserted file -----------------------------------------------------------------------

Effects Editor::FileInserted(TextPos from, TextPos to) {
  std::string text;
  if (to > from && text_.Read(from, to, &text)) {
    const std::uint32_t sum = doc::ByteSum(text);
    doc::RecordBuilder rec(doc::kUndoInsertFile);
    rec.I32(Size(text)).U32(sum).U8(0).Bytes(text).U8(0);
    rec.I32(from.line.value).I16(from.column.value).I32(to.line.value).I16(to.column.value).I32(Size(text));
    Record(rec.Finish());
  } else {
    undo_.ForgetSaved();
  }
  return Edited(DocumentChanged());
}

// ---- conversions -----------------------------------------------------------------------------

Effects Editor::Convert(int kind) {
  if (writeProtected_) return {};
  if (!selection_.exists) return Beeped(u8"選択されている文字列がありません");
  const auto conversion = static_cast<doc::Conversion>(kind);
  const bool caseOnly = conversion == doc::Conversion::Upper || conversion == doc::Conversion::Lower;
  const bool lengthens = conversion == doc::Conversion::FullHiragana || conversion == doc::Conversion::FullKatakana ||
                         conversion == doc::Conversion::HalfKanaToFull;
  store_.WriteBack();
  const doc::Selection s = selection_.Normalised();
  struct LineRuns {
    LineNo line;
    std::string text;  // with its line end
    std::vector<doc::ConvertedRun> runs;
  };
  std::vector<LineRuns> lines;
  for (LineNo l = s.anchorLine; l <= s.otherLine; ++l) {
    std::string text = Line(l);
    const std::int32_t from = l == s.anchorLine ? s.anchorCol.value : 0;
    const std::int32_t to = l == s.otherLine ? s.otherCol.value + 1 : Size(text);
    std::vector<doc::ConvertedRun> runs = doc::ConvertRuns(conversion, doc::LineText(text), from, to);
    if (runs.empty()) continue;
    if (lengthens) {
      std::int32_t size = Size(text);
      for (const doc::ConvertedRun& r : runs) size += Size(r.replacement) - r.length;
      if (size > kMaxLine) {
        std::u8string message = WithNumber(u8"行のデータ数が制限値を超えてしまい変換できません。\n  行番号 = %d, 制限値 = ", l.value);
        message = WithNumber(message + u8"%d ﾊﾞｲﾄ", kMaxLine);
        Tell(host_, message, BoxIcon::Error);
        return {};
      }
    }
    lines.push_back({l, std::move(text), std::move(runs)});
  }
  Effects fx = SetCaret(active_, s.anchorLine, CaretCol(s.anchorCol.value + 1));
  if (lines.empty()) return fx;
  auto bracket = [&](std::uint8_t code, const doc::Selection& sel) {
    doc::RecordBuilder b(code);
    PutSelection(b, sel, Line(sel.anchorLine), Line(sel.otherLine));
    return Record(b.Finish());
  };
  bracket(doc::kUndoConvertStart, s);
  doc::Selection after = s;
  for (const LineRuns& lr : lines) {
    std::string converted = doc::ApplyRuns(doc::LineText(lr.text), lr.runs);
    converted.append(lr.text, doc::LineText(lr.text).size());
    // Each run's column as it stands once the runs before it are changed, so
    // that undo (backwards) and redo (forwards) find it.
    std::int32_t shift = 0;
    for (const doc::ConvertedRun& r : lr.runs) {
      const std::string_view old = std::string_view(lr.text).substr(static_cast<std::size_t>(r.start), static_cast<std::size_t>(r.length));
      const std::int32_t column = r.start + shift + 1;
      shift += Size(r.replacement) - r.length;
      if (caseOnly) {
        doc::RecordBuilder b(doc::kUndoCaseRun);
        b.I16(column).I32(lr.line.value).I16(r.length).U8(conversion == doc::Conversion::Upper ? 0 : 1);
        Record(b.Finish());
      } else {
        doc::RecordBuilder b(doc::kUndoWidthRun);
        b.I16(column).I32(lr.line.value).I16(Size(old)).I16(Size(r.replacement)).Bytes(old).Bytes(r.replacement);
        b.U32(undo_.used() + 1);
        Record(b.Finish());
      }
      if (lr.line == s.otherLine) after.otherCol += Size(r.replacement) - r.length;
    }
    if (!text_.SetLine(lr.line, converted)) break;
  }
  bracket(doc::kUndoConvertEnd, after);
  fx |= SelectBytes(after.anchorLine, after.anchorCol, after.otherLine, after.otherCol);
  return Edited(fx);
}

// ---- undo and redo ---------------------------------------------------------------------------

namespace {

bool EndBracket(std::uint8_t c) {
  return c == doc::kUndoMacroEnd || c == doc::kUndoGroupEnd || c == doc::kUndoConvertEnd || c == doc::kUndoDragEnd;
}
bool StartBracket(std::uint8_t c) {
  return c == doc::kUndoMacroStart || c == doc::kUndoGroupStart || c == doc::kUndoConvertStart || c == doc::kUndoDragStart;
}
std::uint8_t Partner(std::uint8_t c) {
  switch (c) {
    case doc::kUndoMacroEnd: return doc::kUndoMacroStart;
    case doc::kUndoGroupEnd: return doc::kUndoGroupStart;
    case doc::kUndoConvertEnd: return doc::kUndoConvertStart;
    case doc::kUndoDragEnd: return doc::kUndoDragStart;
    case doc::kUndoMacroStart: return doc::kUndoMacroEnd;
    case doc::kUndoGroupStart: return doc::kUndoGroupEnd;
    case doc::kUndoConvertStart: return doc::kUndoConvertEnd;
    case doc::kUndoDragStart: return doc::kUndoDragEnd;
    default: return 0xFF;
  }
}

}  // namespace

Effects Editor::Undo() {
  if (writeProtected_ || !undo_.canUndo()) return {};
  Effects fx;
  const std::uint8_t code = undo_.CodeBefore();
  if (code < doc::kUndoCaseRun || code > doc::kUndoConvertEnd) fx |= CancelSelection();
  if (!Step(true, &fx)) host_.Beep();
  return Edited(fx);
}

Effects Editor::Redo() {
  if (writeProtected_ || !undo_.canRedo()) return {};
  Effects fx;
  const std::uint8_t code = undo_.CodeAt();
  if (code < doc::kUndoCaseRun || code > doc::kUndoConvertEnd) fx |= CancelSelection();
  if (!Step(false, &fx)) host_.Beep();
  return Edited(fx);
}

// One record, or a bracketed group walked to its partner, backwards (undo)
// or forwards (redo). A group's selection comes from its partner: the one
// before the change going back, the one after it going forward.
bool Editor::Step(bool back, Effects* fx) {
  auto next = [&] { return back ? undo_.Before() : undo_.After(); };
  auto over = [&](doc::UndoBuffer::Span span) { back ? undo_.StepBack(span) : undo_.StepForward(span); };
  const auto s = next();
  if (!s) return false;
  const std::span<const std::uint8_t> bytes = undo_.Bytes(*s);
  const std::uint8_t code = bytes[0];
  if (back ? EndBracket(code) : StartBracket(code)) {
    over(*s);
    while (const auto t = next()) {
      const std::span<const std::uint8_t> inner = undo_.Bytes(*t);
      if (inner[0] == Partner(code)) {
        over(*t);
        const std::uint8_t ends = back ? inner[0] : code;
        if (ends == doc::kUndoConvertStart || ends == doc::kUndoDragStart) {
          doc::RecordReader r(inner, 1);
          const doc::Selection sel = GetSelection(r);
          *fx |= SelectBytes(sel.anchorLine, sel.anchorCol, sel.otherLine, sel.otherCol);
        }
        break;
      }
      if (!Step(back, fx)) return false;
    }
    return true;
  }
  if (back ? StartBracket(code) : EndBracket(code)) {
    over(*s);
    return true;
  }
  if (!(back ? Revert(code, bytes, s->begin, fx) : Reapply(code, bytes, s->begin, fx))) return false;
  over(*s);
  return true;
}

bool Editor::Revert(std::uint8_t code, std::span<const std::uint8_t> bytes, std::uint32_t at, Effects* fx) {
  doc::RecordReader r(bytes, 1);
  auto caretTo = [&](TextPos p) { *fx |= SetCaret(active_, p.line, p.column); };
  auto restore = [&](const Removed& removed) {
    if (!text_.Insert(removed.from(), removed.text)) return false;
    const doc::Selection& sel = removed.selection;
    *fx |= SelectBytes(sel.anchorLine, sel.anchorCol, sel.otherLine, sel.otherCol);
    caretTo(removed.to());
    return true;
  };
  switch (code) {
    case doc::kUndoTyping: {
      r.U8();
      const std::string_view typed = r.Bytes(2), replaced = r.Bytes(2);
      const TextPos pos{LineNo(0), CaretCol(r.I16())};
      const TextPos p{LineNo(r.I32()), pos.column};
      std::optional<Removed> nested;
      if (r.failed() || !ReadNested(r, &nested, bytes)) return false;
      const std::string t(typed.substr(0, typed[1] == 0 ? 1 : 2));
      if (!text_.Erase(p, doc::TextEdit::After(p, t))) return false;
      if (replaced[0] != 0) {
        const std::string back(replaced.substr(0, replaced[1] == 0 ? 1 : 2));
        if (!text_.Insert(p, back)) return false;
      }
      caretTo(p);
      return !nested || restore(*nested);
    }
    case doc::kUndoDeleteChar: {
      const std::uint8_t key = r.U8();
      const std::string_view gone = r.Bytes(2);
      const CaretCol col(r.I16());
      const TextPos p{LineNo(r.I32()), col};
      const std::string g(gone.substr(0, gone[1] == 0 ? 1 : 2));
      if (r.failed() || !text_.Insert(p, g)) return false;
      caretTo(key == 46 ? p : doc::TextEdit::After(p, g));
      return true;
    }
    case doc::kUndoBlankLine: {
      const CaretCol col(r.I16());
      const LineNo line(r.I32());
      if (!text_.Erase({line, CaretCol(1)}, {line + 1, CaretCol(1)})) return false;
      caretTo({line, col});
      return true;
    }
    case doc::kUndoCopyLine: {
      const bool noLineEnd = r.U8() != 0;
      const CaretCol col(r.I16());
      const LineNo line(r.I32());
      bool ok;
      if (noLineEnd) {
        const std::string copy = Line(line + 1);
        ok = text_.Erase({line, doc::EndColumn(Line(line))}, {line + 1, doc::EndColumn(copy)});
      } else {
        ok = text_.Erase({line + 1, CaretCol(1)}, {line + 2, CaretCol(1)});
      }
      if (!ok) return false;
      caretTo({line, col});
      return true;
    }
    case doc::kUndoDeleteLine: {
      const CaretCol col(r.I16());
      const LineNo line(r.I32());
      r.U32();
      const std::int32_t len = r.I16();
      const std::string text(r.Bytes(static_cast<std::size_t>(std::max(len, 0))));
      if (r.failed()) return false;
      bool ok;
      if (HasLineEnd(text)) {
        ok = text_.InsertLine(line, text);
      } else {
        ok = text_.SetLine(line, text + Line(line));
      }
      if (!ok) return false;
      undo_.RemoveDeletedLine(at + 11);
      caretTo({line, col});
      return true;
    }
    case doc::kUndoRemovedText: {
      r = doc::RecordReader(bytes, 0);
      const std::optional<Removed> removed = ReadRemoved(r);
      return removed && restore(*removed);
    }
    case doc::kUndoPaste: case doc::kUndoReplaceRange: case doc::kUndoInsertFile: {
      if (code == doc::kUndoPaste) r.U8();
      const std::int32_t total = r.I32();
      r.U32();
      std::optional<Removed> nested;
      if (r.failed() || !ReadNested(r, &nested, bytes)) return false;
      r.Skip(static_cast<std::size_t>(std::max(total, 0)) + 1);
      const TextPos from{LineNo(r.I32()), CaretCol(r.I16())};
      const TextPos to{LineNo(r.I32()), CaretCol(r.I16())};
      if (r.failed() || !text_.Erase(from, to)) return false;
      caretTo(from);
      return !nested || restore(*nested);
    }
    case doc::kUndoIndent: {
      r.U8();
      const LineNo line(r.I32());
      const std::int32_t newLen = r.I16(), oldLen = r.I16();
      r.Skip(static_cast<std::size_t>(newLen));
      const std::string old(r.Bytes(static_cast<std::size_t>(oldLen)));
      if (r.failed()) return false;
      const std::string now = Line(line);
      if (Size(now) < newLen) return false;
      if (!text_.SetLine(line, old + now.substr(static_cast<std::size_t>(newLen)))) return false;
      caretTo({line, CaretCol(oldLen + 1)});
      return true;
    }
    case doc::kUndoCaseRun: case doc::kUndoWidthRun:
      return ChangeRun(code, bytes, true);
    case doc::kUndoReinsertLine: {
      const LineNo line(r.I32());
      const std::uint32_t slot = r.U32();
      if (r.failed() || !text_.Erase({line, CaretCol(1)}, {line + 1, CaretCol(1)})) return false;
      undo_.PushDeletedLine(slot);
      caretTo({line, CaretCol(1)});
      return true;
    }
    case doc::kUndoBlockIndent: case doc::kUndoBlockUnindent: {
      std::uint8_t byte = '\t';
      const doc::Selection before = ReadBlock(r, code, &byte);
      doc::Selection ignored;
      if (r.failed() || !ApplyBlock(code == doc::kUndoBlockUnindent, before, byte, &ignored)) return false;
      *fx |= SelectBytes(before.anchorLine, before.anchorCol, before.otherLine, before.otherCol);
      caretTo({before.anchorLine, CaretCol(1)});
      return true;
    }
    default:
      return false;
  }
}

bool Editor::Reapply(std::uint8_t code, std::span<const std::uint8_t> bytes, std::uint32_t at, Effects* fx) {
  doc::RecordReader r(bytes, 1);
  auto caretTo = [&](TextPos p) { *fx |= SetCaret(active_, p.line, p.column); };
  switch (code) {
    case doc::kUndoTyping: {
      r.U8();
      const std::string_view typed = r.Bytes(2), replaced = r.Bytes(2);
      const CaretCol col(r.I16());
      const TextPos p{LineNo(r.I32()), col};
      std::optional<Removed> nested;
      if (r.failed() || !ReadNested(r, &nested, bytes)) return false;
      if (nested && !text_.Erase(nested->from(), nested->to())) return false;
      if (replaced[0] != 0) {
        const std::string back(replaced.substr(0, replaced[1] == 0 ? 1 : 2));
        if (!text_.Erase(p, doc::TextEdit::After(p, back))) return false;
      }
      const std::string t(typed.substr(0, typed[1] == 0 ? 1 : 2));
      if (!text_.Insert(p, t)) return false;
      caretTo(doc::TextEdit::After(p, t));
      return true;
    }
    case doc::kUndoDeleteChar: {
      r.U8();
      const std::string_view gone = r.Bytes(2);
      const CaretCol col(r.I16());
      const TextPos p{LineNo(r.I32()), col};
      const std::string g(gone.substr(0, gone[1] == 0 ? 1 : 2));
      if (r.failed() || !text_.Erase(p, doc::TextEdit::After(p, g))) return false;
      caretTo(p);
      return true;
    }
    case doc::kUndoBlankLine: {
      r.I16();
      const LineNo line(r.I32());
      std::string prefix = autoIndent_ ? Leading(Line(line)) : std::string();
      if (Size(prefix) + 2 > kMaxLine) prefix.resize(static_cast<std::size_t>(kMaxLine - 2));
      if (!text_.Insert({line, CaretCol(1)}, prefix + "\r\n")) return false;
      caretTo({line, CaretCol(Size(prefix) + 1)});
      return true;
    }
    case doc::kUndoCopyLine: {
      const bool noLineEnd = r.U8() != 0;
      const CaretCol col(r.I16());
      const LineNo line(r.I32());
      const std::string text = Line(line);
      const bool ok = noLineEnd ? text_.Insert({line, doc::EndColumn(text)}, "\r\n" + text)
                                : text_.Insert({line + 1, CaretCol(1)}, text);
      if (!ok) return false;
      caretTo({line, col});
      return true;
    }
    case doc::kUndoDeleteLine: {
      const CaretCol col(r.I16());
      const LineNo line(r.I32());
      r.U32();
      const std::int32_t len = r.I16();
      const std::string text(r.Bytes(static_cast<std::size_t>(std::max(len, 0))));
      if (r.failed()) return false;
      const bool empties = lineCount() == 1 || !HasLineEnd(text) || line >= LineNo(lineCount());
      if (!(empties ? text_.SetLine(line, "") : text_.RemoveLine(line)))
        return false;
      undo_.PushDeletedLine(at + 11);
      caretTo({LineNo(std::min(line.value, lineCount())), col});
      return true;
    }
    case doc::kUndoRemovedText: {
      r = doc::RecordReader(bytes, 0);
      const std::optional<Removed> removed = ReadRemoved(r);
      if (!removed || !text_.Erase(removed->from(), removed->to())) return false;
      caretTo(removed->from());
      return true;
    }
    case doc::kUndoPaste: case doc::kUndoReplaceRange: case doc::kUndoInsertFile: {
      const std::uint8_t source = code == doc::kUndoPaste ? r.U8() : 1;
      const std::int32_t total = r.I32();
      r.U32();
      std::optional<Removed> nested;
      if (r.failed() || !ReadNested(r, &nested, bytes)) return false;
      const std::string text(r.Bytes(static_cast<std::size_t>(std::max(total, 0))));
      r.U8();
      const TextPos from{LineNo(r.I32()), CaretCol(r.I16())};
      const TextPos to{LineNo(r.I32()), CaretCol(r.I16())};
      if (r.failed()) return false;
      if (nested && !text_.Erase(nested->from(), nested->to())) return false;
      if (!text_.Insert(from, text)) return false;
      caretTo(to);
      if (code == doc::kUndoPaste && source == 0) *fx |= SetSelection(from, to);
      return true;
    }
    case doc::kUndoIndent: {
      r.U8();
      const LineNo line(r.I32());
      const std::int32_t newLen = r.I16(), oldLen = r.I16();
      const std::string want(r.Bytes(static_cast<std::size_t>(newLen)));
      if (r.failed()) return false;
      const std::string now = Line(line);
      if (Size(now) < oldLen) return false;
      if (!text_.SetLine(line, want + now.substr(static_cast<std::size_t>(oldLen)))) return false;
      caretTo({line, CaretCol(newLen + 1)});
      return true;
    }
    case doc::kUndoCaseRun: case doc::kUndoWidthRun:
      return ChangeRun(code, bytes, false);
    case doc::kUndoReinsertLine: {
      const LineNo line(r.I32());
      const std::uint32_t slot = r.U32();
      if (r.failed()) return false;
      std::u8string_view message;
      const std::string text = ReinsertText(slot, &message);
      if (!text_.Insert({line, CaretCol(1)}, text)) return false;
      undo_.RemoveDeletedLine(slot);
      caretTo({line, CaretCol(1)});
      return true;
    }
    case doc::kUndoBlockIndent: case doc::kUndoBlockUnindent: {
      std::uint8_t byte = '\t';
      const doc::Selection before = ReadBlock(r, code, &byte);
      doc::Selection after;
      if (r.failed() || !ApplyBlock(code == doc::kUndoBlockIndent, before, byte, &after)) return false;
      *fx |= SelectBytes(after.anchorLine, after.anchorCol, after.otherLine, after.otherCol);
      caretTo({after.otherLine, CaretCol(1)});
      return true;
    }
    default:
      return false;
  }
}

// A converted run changed back (undo) or again (redo).
bool Editor::ChangeRun(std::uint8_t code, std::span<const std::uint8_t> bytes, bool back) {
  doc::RecordReader r(bytes, 1);
  const std::int32_t col = r.I16();
  const LineNo line(r.I32());
  std::string text = Line(line);
  if (code == doc::kUndoCaseRun) {
    const std::int32_t count = r.I16();
    const bool upper = r.U8() == 0;
    if (r.failed() || col < 1 || col - 1 + count > TextSize(text)) return false;
    const auto at = static_cast<std::size_t>(col - 1), n = static_cast<std::size_t>(count);
    text.replace(at, n, doc::ChangeCase(std::string_view(text).substr(at, n), back ? !upper : upper));
  } else {
    const std::int32_t oldLen = r.I16(), newLen = r.I16();
    const std::string_view old = r.Bytes(static_cast<std::size_t>(std::max(oldLen, 0)));
    const std::string_view now = r.Bytes(static_cast<std::size_t>(std::max(newLen, 0)));
    const std::string_view from = back ? now : old, to = back ? old : now;
    if (r.failed() || col < 1 || std::string_view(text).substr(static_cast<std::size_t>(col - 1), from.size()) != from) return false;
    text.replace(static_cast<std::size_t>(col - 1), from.size(), to);
  }
  return text_.SetLine(line, text);
}

// ---- clearing --------------------------------------------------------------------------------

Effects Editor::ClearUndoCommand() {
  Effects fx{Effects::kStatus | Effects::kModified};
  if (!undo_.disabled()) {
    if (undo_.used() == 0 && !undo_.canRedo()) {
      Beeped(kClearNotNeeded);
      return {};
    }
    if (Tell(host_, kClearAsk, BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) return {};
  }
  if (undo_.Clear()) {
    Status(host_, kCleared);
  } else {
    Status(host_, kClearFailed);
    host_.Beep();
  }
  return fx;
}

}  // namespace gorvane::shell

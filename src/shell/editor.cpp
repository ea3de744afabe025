#include "shell/editor.h"

#include <algorithm>

#include "document/caret_moves.h"
#include "document/word_moves.h"

namespace gorvane::shell {

namespace cm = gorvane::commands;
using doc::CaretCol;
using doc::LineNo;
using doc::SelCol;
using doc::TextPos;

namespace {

constexpr std::uint8_t kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24, kVkLeft = 0x25,
                       kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kMaxBookmarks = 255;

constexpr std::uint8_t kVkInsert = 0x2D, kVkDelete = 0x2E;
bool CaretKey(std::uint8_t vk) { return vk >= kVkPrior && vk <= kVkDown; }

// A dialog's number field: digits after optional blanks and a sign; beyond
// the 32-bit range the value saturates. Nothing readable is 0.
std::int64_t FieldNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = std::min<std::int64_t>(v * 10 + (text[i] - '0'), 0x7fffffff);
  return negative ? -v : v;
}

// At most n bytes of a Shift-JIS text, never half a character.
std::string CutSjis(std::string_view s, std::size_t n) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    const std::size_t w = ((b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc)) && i + 1 < s.size() ? 2 : 1;
    if (i + w > n) break;
    i += w;
  }
  return std::string(s.substr(0, i));
}

}  // namespace

EditMetrics FixedCellMetrics() {
  EditMetrics m;
  m.textHeight = 14;
  m.lineHeight = 16;
  m.averageWidth = 8;
  m.wideMark = 12;
  m.columnWidth = 8;
  m.fixedPitch = true;
  m.doubleFixed = 16;
  m.singleWidth.fill(8);
  m.lineNumberHeight = 12;
  m.lineNumberDigitWidth = 7;
  m.lineNumberOffset = 2;
  return m;
}

Editor::Editor(Host& host, doc::LineStore& store, EditorDialogs& dialogs)
    : host_(host), store_(store), dialogs_(dialogs), lines_(store), metrics_(FixedCellMetrics()), text_(store),
      undo_(host) {
  // The store moves its line windows where these panes look.
  store_.SetPaneViews(this);
  undo_.Start();
}

Editor::~Editor() { store_.SetPaneViews(nullptr); }

void Editor::SetMetrics(const EditMetrics& metrics, int tabSize, int leftMargin) {
  metrics_ = metrics;
  tabSize_ = std::max(1, tabSize);
  leftMargin_ = leftMargin;
}

void Editor::SetWindowHandler(cm::CommandCode code, WindowHandler handler) {
  if (code >= 1 && code <= cm::kCommandCount) window_[code] = std::move(handler);
}

std::int32_t Editor::lineCount() const { return static_cast<std::int32_t>(std::max<std::uint32_t>(1, store_.lineCount())); }

std::string Editor::Line(LineNo line) {
  std::string text;
  if (!store_.ReadLine(line, &text)) text.clear();
  return text;
}

bool Editor::CaretOnScreen() const {
  const PaneState& p = panes_[active_];
  return p.caret.line >= p.first && p.caret.line < p.first + std::max(1, p.rows);
}

int Editor::XOfCaret(int pane) {
  const PaneState& p = panes_[pane];
  return XOfColumn(metrics_, Line(p.caret.line), p.caret.column, tabSize_);
}

// ---- the caret -----------------------------------------------------------------

Effects Editor::SetCaret(int pane, LineNo line, CaretCol column, bool keepWantedX) {
  PaneState& p = panes_[pane == 1 ? 1 : 0];
  const TextPos old = p.caret;
  line = LineNo(std::clamp(line.value, 1, lineCount()));
  const std::string text = Line(line);
  column = doc::BoundaryColumn(text, CaretCol(std::clamp(column.value, 1, kMaxCaretColumn)));
  p.caret = TextPos{line, column};
  if (!keepWantedX) p.wantedX = -1;
  Effects fx{Effects::kCaret | Effects::kStatus};
  // Into view: vertically, then sideways.
  const int rows = std::max(1, p.rows);
  if (line < p.first) fx |= ScrollTo(pane, line);
  else if (line >= p.first + rows) fx |= ScrollTo(pane, line - (rows - 1));
  const int x = XOfColumn(metrics_, text, column, tabSize_);
  const int room = std::max(metrics_.columnWidth, p.width - leftMargin_ - metrics_.columnWidth * 2);
  if (x < p.xOffset) fx |= ScrollSideways(pane, std::max(0, x - room / 4));
  else if (x > p.xOffset + room) fx |= ScrollSideways(pane, x - room * 3 / 4);
  if (old.line != line) fx |= Effects::Repaint(pane);  // the caret line's underline
  if (old != p.caret) {
    // A remembered pair belongs to the place it was found from.
    if (pair_) {
      pair_.reset();
      fx |= Effects::RepaintAll();
    }
    if (doc::BracketAt(text, column)) {
      pendingBracket_ = p.caret;
      fx.bracketTimer = Effects::Timer::Start;
    } else if (pendingBracket_) {
      pendingBracket_.reset();
      fx.bracketTimer = Effects::Timer::Stop;
    }
  }
  return fx;
}

Effects Editor::ClampPane(int pane) {
  PaneState& p = panes_[pane];
  Effects fx;
  if (p.first > LineNo(lineCount())) {
    p.first = LineNo(lineCount());
    store_.ShowFrom(pane, p.first);
    fx = Effects::Repaint(pane);
    fx.bits |= Effects::kScrollBars;
  }
  const LineNo line(std::clamp(p.caret.line.value, 1, lineCount()));
  const CaretCol column = doc::BoundaryColumn(Line(line), p.caret.column);
  if (line == p.caret.line && column == p.caret.column) return fx;
  p.caret = TextPos{line, column};
  fx.bits |= Effects::kCaret | Effects::kStatus;
  return fx;
}

Effects Editor::ScrollTo(int pane, LineNo first) {
  PaneState& p = panes_[pane == 1 ? 1 : 0];
  first = LineNo(std::clamp(first.value, 1, lineCount()));
  if (first == p.first) return {};
  p.first = first;
  store_.ShowFrom(pane, first);
  Effects fx = Effects::Repaint(pane);
  fx.bits |= Effects::kScrollBars | Effects::kCaret;
  return fx;
}

Effects Editor::ScrollSideways(int pane, int x) {
  PaneState& p = panes_[pane == 1 ? 1 : 0];
  x = std::max(0, x);
  if (x == p.xOffset) return {};
  p.xOffset = x;
  Effects fx = Effects::Repaint(pane);
  fx.bits |= Effects::kScrollBars | Effects::kCaret;
  return fx;
}

Effects Editor::Resize(int pane, int rows, int width) {
  PaneState& p = panes_[pane == 1 ? 1 : 0];
  p.rows = std::max(1, rows);
  p.width = std::max(1, width);
  return Effects{Effects::kScrollBars | Effects::kCaret};
}

Effects Editor::Activate(int pane) {
  pane = pane == 1 && split_ != 0 ? 1 : 0;
  Effects fx = ClampPane(pane);
  if (pane == active_) return fx;
  active_ = pane;
  fx |= Effects::RepaintAll();
  fx.bits |= Effects::kCaret | Effects::kStatus;
  return fx;
}

Effects Editor::SetSplit(int mode) {
  if (mode != 0 && mode != 47 && mode != 48) return {};
  if (mode == split_) return {};
  if (mode == 0) {
    store_.CloseSecondPane();
    active_ = 0;
  } else if (split_ == 0) {
    if (!store_.OpenSecondPane(panes_[0].first)) return {};
    panes_[1] = panes_[0];
  }
  split_ = mode;
  Effects fx = Effects::RepaintAll();
  fx.bits |= Effects::kLayout | Effects::kScrollBars | Effects::kCaret | Effects::kStatus | Effects::kFocus;
  return fx;
}

Effects Editor::UpDown(int pane, std::int64_t to) {
  PaneState& p = panes_[pane];
  const int x = p.wantedX >= 0 ? p.wantedX : XOfColumn(metrics_, Line(p.caret.line), p.caret.column, tabSize_);
  const LineNo line(static_cast<std::int32_t>(std::clamp<std::int64_t>(to, 1, lineCount())));
  Effects fx = SetCaret(pane, line, ColumnOfX(metrics_, Line(line), x, tabSize_), true);
  p.wantedX = x;
  return fx;
}

// The caret keys' moves, without touching the selection.
Effects Editor::MoveLikeKey(std::uint8_t vk, bool ctrl) {
  const int a = active_;
  PaneState& p = panes_[a];
  const std::string line = Line(p.caret.line);
  const std::int32_t count = lineCount();
  switch (vk) {
    case kVkLeft:
      if (p.caret.column > CaretCol(1)) return SetCaret(a, p.caret.line, doc::PreviousColumn(line, p.caret.column));
      if (p.caret.line > LineNo(1)) return SetCaret(a, p.caret.line - 1, doc::EndColumn(Line(p.caret.line - 1)));
      return {};
    case kVkRight:
      if (p.caret.column < doc::EndColumn(line)) return SetCaret(a, p.caret.line, doc::NextColumn(line, p.caret.column));
      if (p.caret.line < LineNo(count)) return SetCaret(a, p.caret.line + 1, CaretCol(1));
      return {};
    case kVkUp: return UpDown(a, std::int64_t{p.caret.line.value} - 1);
    case kVkDown: return UpDown(a, std::int64_t{p.caret.line.value} + 1);
    case kVkPrior: {
      const int rows = std::max(1, p.rows);
      Effects fx = ScrollTo(a, LineNo(std::max(1, p.first.value - rows)));
      return fx |= UpDown(a, std::int64_t{p.caret.line.value} - rows);
    }
    case kVkNext: {
      const int rows = std::max(1, p.rows);
      Effects fx = ScrollTo(a, LineNo(static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{p.first.value} + rows, count))));
      return fx |= UpDown(a, std::int64_t{p.caret.line.value} + rows);
    }
    case kVkHome: return SetCaret(a, ctrl ? LineNo(1) : p.caret.line, CaretCol(1));
    case kVkEnd:
      if (ctrl) return SetCaret(a, LineNo(count), doc::EndColumn(Line(LineNo(count))));
      return SetCaret(a, p.caret.line, doc::EndColumn(line));
    default: return {};
  }
}

// ---- inputs ------------------------------------------------------------------------

Effects Editor::KeyDown(const KeyPress& key) {
  const cm::ModifierState state = cm::ComputeModifierState(key.ctrl, key.shift, cm::DefaultShiftFlagged(key.vk));
  const cm::KeyDecision d = cm::DecideKey(keys_, state, key.vk, key.imeOpen, key.composing);
  if (d.action == cm::KeyAction::Command) return Run(d.command, CommandSource::Key);
  return PlainKey(key.vk, key.ctrl, key.shift);
}

bool Editor::TranslatesKey(const KeyPress& key) const {
  const cm::ModifierState state = cm::ComputeModifierState(key.ctrl, key.shift, cm::DefaultShiftFlagged(key.vk));
  return cm::DecideKey(keys_, state, key.vk, key.imeOpen, key.composing).translate;
}

Effects Editor::PlainKey(std::uint8_t vk, bool ctrl, bool shift) {
  Effects fx = ClampPane(active_);
  if (vk == kVkDelete && !ctrl) return fx |= DeleteKey();
  if (vk == kVkInsert && !ctrl && !shift) return fx |= ToggleInsertMode();
  if (!CaretKey(vk)) {
    // A keystroke cancels a pending bracket search.
    if (pendingBracket_) {
      pendingBracket_.reset();
      fx.bracketTimer = Effects::Timer::Stop;
    }
    return fx;
  }
  if (vk != kVkUp && vk != kVkDown) panes_[active_].wantedX = -1;
  if (shift) return fx |= ExtendTo(vk, ctrl);
  if (selection_.exists) fx |= CancelSelection();
  return fx |= MoveLikeKey(vk, ctrl);
}

Effects Editor::ExtendTo(std::uint8_t vk, bool ctrl) {
  Effects fx;
  if (!keyAnchorSet_) {
    if (selection_.exists) fx |= CancelSelection();
    keyAnchor_ = panes_[active_].caret;
    keyAnchorSet_ = true;
  }
  fx |= MoveLikeKey(vk, ctrl);
  return fx |= SetSelection(keyAnchor_, panes_[active_].caret);
}

bool Editor::Implemented(cm::CommandCode code) const {
  if (code < 1 || code > cm::kCommandCount) return false;
  return Handlers()[code] != nullptr || static_cast<bool>(window_[code]);
}

Effects Editor::Run(cm::CommandCode code, CommandSource) {
  if (code < 1 || code > cm::kCommandCount) return {};
  Effects fx = ClampPane(active_);
  switch (cm::MacroGuardOf(code)) {
    case cm::MacroGuard::Refuse:
    case cm::MacroGuard::Recording:
      if (macro_ == MacroState::Replaying) return fx;
      if (macro_ == MacroState::Recording) {
        Status(host_, cm::MacroGuardOf(code) == cm::MacroGuard::Refuse ? cm::kRefusedWhileMacro : cm::kRefusedWhileRecording);
        return fx;
      }
      break;
    case cm::MacroGuard::None: break;
  }
  if (pendingBracket_) {
    pendingBracket_.reset();
    fx.bracketTimer = Effects::Timer::Stop;
  }
  return fx |= Dispatch(code);
}

Effects Editor::Dispatch(cm::CommandCode code) {
  if (const Handler h = Handlers()[code]) return (this->*h)();
  if (window_[code]) return window_[code]();
  host_.Beep();  // bound in the key tables, carried out by nobody yet
  return {};
}

const std::array<Editor::Handler, cm::kCommandCount + 1>& Editor::Handlers() {
  static const std::array<Handler, cm::kCommandCount + 1> table = [] {
    std::array<Handler, cm::kCommandCount + 1> t{};
    t[cm::kSelectAll] = &Editor::SelectAll;
    t[cm::kSelectLineNumbers] = &Editor::SelectLineNumbers;
    t[cm::kSelectArea] = &Editor::SelectArea;
    t[cm::kSelectLine] = &Editor::SelectLine;
    t[cm::kSelectWord] = &Editor::SelectWord;
    t[cm::kSelectUp] = &Editor::SelectUp;
    t[cm::kSelectDown] = &Editor::SelectDown;
    t[cm::kSelectLeft] = &Editor::SelectLeft;
    t[cm::kSelectRight] = &Editor::SelectRight;
    t[cm::kMoveLineTop] = &Editor::LineTop;
    t[cm::kMoveLineLast] = &Editor::LineLast;
    t[cm::kPrevWord] = &Editor::PrevWord;
    t[cm::kNextWord] = &Editor::NextWord;
    t[cm::kScrollUpLine] = &Editor::ScrollUpLine;
    t[cm::kScrollDownLine] = &Editor::ScrollDownLine;
    t[cm::kScrollLeft] = &Editor::ScrollLeftColumn;
    t[cm::kScrollRight] = &Editor::ScrollRightColumn;
    t[cm::kBracketJump] = &Editor::BracketJump;
    t[cm::kJumpToLine] = &Editor::JumpDialog;
    t[cm::kPrevRangeLine] = &Editor::PrevRange;
    t[cm::kNextRangeLine] = &Editor::NextRange;
    t[cm::kPrevBookmark] = &Editor::PrevBookmark;
    t[cm::kNextBookmark] = &Editor::NextBookmark;
    t[cm::kSplitWindow] = &Editor::SplitWindow;
    t[cm::kBookmarkToggle] = &Editor::ToggleBookmark;
    t[cm::kInsertLine] = &Editor::InsertLine;
    t[cm::kCopyInsertLine] = &Editor::CopyInsertLine;
    t[cm::kDeleteLine] = &Editor::DeleteLineCommand;
    t[cm::kInsDelLine] = &Editor::InsDelLine;
    t[cm::kCut] = &Editor::Cut;
    t[cm::kCopy] = &Editor::Copy;
    t[cm::kPaste] = &Editor::Paste;
    t[cm::kBeforeDelete] = &Editor::BeforeDelete;
    t[cm::kAfterDelete] = &Editor::AfterDelete;
    t[cm::kUndo] = &Editor::Undo;
    t[cm::kRedo] = &Editor::Redo;
    t[cm::kToUpperCase] = &Editor::ToUpper;
    t[cm::kToLowerCase] = &Editor::ToLower;
    t[cm::kToHalfWidth] = &Editor::ToHalf;
    t[cm::kToFullHiragana] = &Editor::ToFullHiragana;
    t[cm::kToFullKatakana] = &Editor::ToFullKatakana;
    t[cm::kHalfKanaToFull] = &Editor::HalfKanaToFull;
    t[cm::kFullKanaToHalf] = &Editor::FullKanaToHalf;
    t[cm::kRangeLineToggle] = &Editor::ToggleRangeLine;
    t[cm::kSearchDown] = &Editor::SearchDown;
    t[cm::kSearchUp] = &Editor::SearchUp;
    t[cm::kSearchMode] = &Editor::SearchModeToggle;
    t[cm::kSearchWordSet] = &Editor::SearchWordSet;
    t[cm::kSearchSelectionSet] = &Editor::SearchSelectionSet;
    t[cm::kSearchDialog] = &Editor::SearchDialog;
    t[cm::kToggleCase] = &Editor::ToggleCase;
    t[cm::kToggleLeftWord] = &Editor::ToggleLeftWord;
    t[cm::kToggleRightWord] = &Editor::ToggleRightWord;
    t[cm::kToggleFuzzy] = &Editor::ToggleFuzzy;
    t[cm::kToggleWildcard] = &Editor::ToggleWildcard;
    t[cm::kToggleShortest] = &Editor::ToggleShortest;
    t[cm::kToggleRegExp] = &Editor::ToggleRegExp;
    t[cm::kRangeLineEdit] = &Editor::EditRangeLine;
    return t;
  }();
  return table;
}

Effects Editor::Beeped(std::u8string_view status) {
  Status(host_, status);
  host_.Beep();
  return {};
}

// Commands that work at the caret need it on screen; otherwise the view goes
// to the caret and says why nothing happened.
bool Editor::OnScreenOrRefuse(std::u8string_view name) {
  if (CaretOnScreen()) return true;
  const PaneState& p = panes_[active_];
  Late(SetCaret(active_, p.caret.line, p.caret.column, true));
  std::u8string text = u8"キャレットが画面内に無いため";
  text += name;
  text += u8"できませんでした。";
  Status(host_, text);
  return false;
}

// ---- selection -----------------------------------------------------------------------

Effects Editor::CancelSelection() {
  keyAnchorSet_ = false;
  if (!selection_.exists) return {};
  selection_.exists = false;
  return Effects::RepaintAll();
}

Effects Editor::SelectBytes(LineNo l1, SelCol c1, LineNo l2, SelCol c2) {
  selection_.anchorLine = l1;
  selection_.anchorCol = c1;
  selection_.otherLine = l2;
  selection_.otherCol = c2;
  selection_.exists = true;
  Effects fx = Effects::RepaintAll();
  fx.bits |= Effects::kStatus;
  return fx;
}

// The bytes between two caret positions (from the anchor to the caret).
Effects Editor::SetSelection(TextPos from, TextPos to) {
  if (from == to) {
    const bool had = selection_.exists;
    selection_.exists = false;
    return had ? Effects::RepaintAll() : Effects{};
  }
  auto lastBefore = [this](TextPos p) {  // the byte before a caret position
    if (p.column > CaretCol(1)) return std::pair{p.line, SelCol(p.column.value - 2)};
    const std::string prev = Line(p.line - 1);
    return std::pair{p.line - 1, SelCol(static_cast<std::int32_t>(prev.size()) - 1)};
  };
  if (from < to) {
    const auto [l, c] = lastBefore(to);
    return SelectBytes(from.line, SelCol(from.column.value - 1), l, c);
  }
  const auto [l, c] = lastBefore(from);
  return SelectBytes(l, c, to.line, SelCol(to.column.value - 1));
}

// Whole lines first..last; an empty last line ends the selection with the
// line end before it. The caret goes after the selected text.
Effects Editor::SelectLines(LineNo first, LineNo last, TextPos caretAfter) {
  const std::string lastText = Line(last);
  Effects fx;
  if (!lastText.empty()) {
    fx |= SelectBytes(first, SelCol(0), last, SelCol(static_cast<std::int32_t>(lastText.size()) - 1));
  } else if (last > first) {
    fx |= SelectBytes(first, SelCol(0), last - 1, SelCol(static_cast<std::int32_t>(Line(last - 1).size()) - 1));
  } else {
    return CancelSelection();
  }
  keyAnchorSet_ = false;
  return fx |= SetCaret(active_, caretAfter.line, caretAfter.column);
}

std::pair<int, int> Editor::SelectedBytes(LineNo line, std::string_view text) const {
  if (!selection_.exists) return {0, 0};
  const doc::Selection s = selection_.Normalised();
  if (line < s.anchorLine || line > s.otherLine) return {0, 0};
  const int size = static_cast<int>(text.size());
  const int from = line == s.anchorLine ? std::min(s.anchorCol.value, size) : 0;
  const int to = line == s.otherLine ? std::min(s.otherCol.value + 1, size) : size;
  return {from, std::max(from, to)};
}

namespace {
// The caret position after a line's last byte: the next line's start when it
// ends in a line end.
TextPos AfterLine(LineNo line, std::string_view text, std::int32_t count) {
  if (line < LineNo(count) && !text.empty() && text.back() == '\n') return {line + 1, CaretCol(1)};
  return {line, doc::EndColumn(text)};
}
}  // namespace

Effects Editor::SelectAll() {
  const std::int32_t count = lineCount();
  if (count == 1 && Line(LineNo(1)).empty())
    return Beeped(u8"選択できるデータがありません。");
  const std::string last = Line(LineNo(count));
  return SelectLines(LineNo(1), LineNo(count), AfterLine(LineNo(count), last, count));
}

Effects Editor::SelectLine() {
  if (!OnScreenOrRefuse(u8"1行選択")) return {};
  const LineNo line = panes_[active_].caret.line;
  const std::string text = Line(line);
  if (text.empty()) return Beeped(u8"選択できるデータがありません。");
  Effects fx = CancelSelection();
  return fx |= SelectLines(line, line, AfterLine(line, text, lineCount()));
}

Effects Editor::SelectLineNumbers() {
  std::vector<std::string> fields{"", ""};
  if (!dialogs_.Ask(DialogKind::SelectLines, fields) || fields.size() < 2) return {};
  const std::int32_t count = lineCount();
  auto clamp = [count](std::int64_t v) { return LineNo(static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 1, count))); };
  LineNo first = clamp(FieldNumber(fields[0])), last = clamp(FieldNumber(fields[1]));
  if (last < first) std::swap(first, last);
  if (Line(first).empty()) {
    Tell(host_, u8"選択できるデータはありません。", BoxIcon::Warning);
    return {};
  }
  Effects fx = CancelSelection();
  return fx |= SelectLines(first, last, AfterLine(last, Line(last), count));
}

Effects Editor::SelectArea() {
  if (!OnScreenOrRefuse(u8"範囲内選択")) return {};
  const LineNo caret = panes_[active_].caret.line;
  LineNo start(1);
  if (store_.RangeIndex(caret) != 0) start = caret;
  else if (auto above = store_.NextMarkedLine(caret, -1, doc::MarkKind::Range)) start = *above;
  if (Line(start).empty()) return {};
  const std::int32_t count = lineCount();
  LineNo end(count);
  if (auto below = store_.NextMarkedLine(caret, +1, doc::MarkKind::Range)) end = *below - 1;
  Effects fx = CancelSelection();
  return fx |= SelectLines(start, end, AfterLine(end, Line(end), count));
}

Effects Editor::SelectWord() {
  if (!OnScreenOrRefuse(u8"単語選択")) return {};
  return DoubleClick(active_, panes_[active_].caret);
}

Effects Editor::DoubleClick(int pane, TextPos at) {
  Effects fx = Activate(pane);
  fx |= CancelSelection();
  drag_ = Drag::None;
  const std::string text = Line(at.line);
  const auto word = doc::WordAt(text, SelCol(at.column.value - 1));
  if (!word) return fx |= SetCaret(active_, at.line, at.column);
  fx |= SelectBytes(at.line, word->first, at.line, word->second);
  return fx |= SetCaret(active_, at.line, CaretCol(word->second.value + 2));
}

Effects Editor::SelectUp() { return SelectMove(kVkUp); }
Effects Editor::SelectDown() { return SelectMove(kVkDown); }
Effects Editor::SelectLeft() { return SelectMove(kVkLeft); }
Effects Editor::SelectRight() { return SelectMove(kVkRight); }

Effects Editor::SelectMove(std::uint8_t vk) {
  if (!OnScreenOrRefuse(u8"ｷｰﾎﾞｰﾄﾞ選択")) return {};
  if (lineCount() == 1 && Line(LineNo(1)).empty()) return Beeped(u8"選択できません。");
  if (vk != kVkUp && vk != kVkDown) panes_[active_].wantedX = -1;
  return ExtendTo(vk, false);
}

// ---- mouse -------------------------------------------------------------------------------

LineNo Editor::LineAtY(int pane, int y) const {
  const PaneState& p = panes_[pane == 1 ? 1 : 0];
  const int row = y < 0 ? -1 - (-y - 1) / std::max(1, metrics_.lineHeight) : y / std::max(1, metrics_.lineHeight);
  return LineNo(static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{p.first.value} + row, 1, lineCount())));
}

TextPos Editor::PositionAt(int pane, int x, int y) {
  const LineNo line = LineAtY(pane, y);
  const PaneState& p = panes_[pane == 1 ? 1 : 0];
  return {line, ColumnOfX(metrics_, Line(line), x - leftMargin_ + p.xOffset, tabSize_)};
}

Effects Editor::Press(int pane, TextPos at, bool shift) {
  Effects fx = Activate(pane);
  if (pendingBracket_) fx.bracketTimer = Effects::Timer::Stop, pendingBracket_.reset();
  TextPos anchor = panes_[active_].caret;
  if (shift && keyAnchorSet_) anchor = keyAnchor_;
  if (!shift && selection_.exists && !writeProtected_) {
    // A press on the selection picks it up to be moved.
    const auto [from, to] = SelectionRange();
    if (from <= at && at < to) {
      drag_ = Drag::Move;
      dropAt_ = at;
      return fx;
    }
  }
  if (!shift) fx |= CancelSelection();
  fx |= SetCaret(active_, at.line, at.column);
  dragAnchor_ = shift ? anchor : panes_[active_].caret;
  drag_ = Drag::Text;
  if (shift) {
    keyAnchor_ = anchor;
    keyAnchorSet_ = true;
    fx |= SetSelection(anchor, panes_[active_].caret);
  }
  return fx;
}

Effects Editor::DragTo(int pane, TextPos at) {
  if (drag_ == Drag::LineNumbers) return LineNumberDragTo(pane, at.line);
  if (drag_ == Drag::Move) {
    dropAt_ = at;
    return SetCaret(active_, at.line, at.column);
  }
  if (drag_ != Drag::Text) return {};
  Effects fx = SetCaret(active_, at.line, at.column);
  keyAnchor_ = dragAnchor_;
  keyAnchorSet_ = true;
  return fx |= SetSelection(dragAnchor_, panes_[active_].caret);
}

Effects Editor::Release() {
  const Drag was = drag_;
  drag_ = Drag::None;
  if (was != Drag::Move) return {};
  return MoveSelectionTo(dropAt_);
}

Effects Editor::LineNumberPress(int pane, LineNo line, bool shift) {
  Effects fx = Activate(pane);
  if (!shift || !selection_.exists) lineAnchor_ = LineNo(std::clamp(line.value, 1, lineCount()));
  drag_ = Drag::LineNumbers;
  return fx |= LineNumberDragTo(pane, line);
}

Effects Editor::LineNumberDragTo(int, LineNo line) {
  line = LineNo(std::clamp(line.value, 1, lineCount()));
  const LineNo first = std::min(line, lineAnchor_), last = std::max(line, lineAnchor_);
  Effects fx = CancelSelection();
  const TextPos after = line >= lineAnchor_ ? AfterLine(last, Line(last), lineCount()) : TextPos{first, CaretCol(1)};
  fx |= SelectLines(first, last, after);
  if (!selection_.exists) fx |= SetCaret(active_, line, CaretCol(1));
  return fx;
}

// ---- caret commands --------------------------------------------------------------------------

Effects Editor::LineTop() {
  Effects fx = CancelSelection();
  return fx |= SetCaret(active_, panes_[active_].caret.line, CaretCol(1));
}

Effects Editor::LineLast() {
  Effects fx = CancelSelection();
  const LineNo line = panes_[active_].caret.line;
  return fx |= SetCaret(active_, line, doc::EndColumn(Line(line)));
}

Effects Editor::PrevWord() {
  if (!OnScreenOrRefuse(u8"前の単語、区切り記号へ移動")) return {};
  if (selection_.exists) {
    const doc::Selection s = selection_.Normalised();
    Effects fx = CancelSelection();
    return fx |= SetCaret(active_, s.anchorLine, CaretCol(s.anchorCol.value + 1));
  }
  const TextPos to = doc::PreviousWordPos(lines_, doc::DelimiterTable::Default(), panes_[active_].caret);
  return SetCaret(active_, to.line, to.column);
}

Effects Editor::NextWord() {
  if (!OnScreenOrRefuse(u8"次の単語、区切り記号へ移動")) return {};
  if (selection_.exists) {
    const doc::Selection s = selection_.Normalised();
    Effects fx = CancelSelection();
    const std::string text = Line(s.otherLine);
    const TextPos after = s.otherCol.value + 1 >= static_cast<std::int32_t>(text.size()) && !text.empty() && text.back() == '\n'
                              ? AfterLine(s.otherLine, text, lineCount())
                              : TextPos{s.otherLine, CaretCol(s.otherCol.value + 2)};
    return fx |= SetCaret(active_, after.line, after.column);
  }
  const TextPos to = doc::NextWordPos(lines_, doc::DelimiterTable::Default(), panes_[active_].caret);
  return SetCaret(active_, to.line, to.column);
}

Effects Editor::ScrollUpLine() { return ScrollTo(active_, panes_[active_].first - 1); }
Effects Editor::ScrollDownLine() { return ScrollTo(active_, panes_[active_].first + 1); }
Effects Editor::ScrollLeftColumn() {
  return ScrollSideways(active_, panes_[active_].xOffset - std::max(1, metrics_.columnWidth));
}
Effects Editor::ScrollRightColumn() {
  return ScrollSideways(active_, panes_[active_].xOffset + std::max(1, metrics_.columnWidth));
}

Effects Editor::SplitWindow() { return SetSplit(split_ == 0 ? 48 : 0); }

// ---- brackets ------------------------------------------------------------------------------------

Effects Editor::BracketTimerFired() {
  if (!pendingBracket_) return {};
  const TextPos at = *pendingBracket_;
  pendingBracket_.reset();
  if (at != panes_[active_].caret) return {};
  pair_ = doc::FindMatchingBracket(lines_, at, doc::kBracketSearchLines);
  return pair_ ? Effects::RepaintAll() : Effects{};
}

Effects Editor::BracketJump() {
  if (!pair_) return {};
  const doc::BracketPair swapped{pair_->partner, pair_->at};
  Effects fx = CancelSelection();
  fx |= SetCaret(active_, swapped.at.line, swapped.at.column);
  pendingBracket_.reset();
  fx.bracketTimer = Effects::Timer::Stop;
  pair_ = swapped;
  return fx |= Effects::RepaintAll();
}

// ---- jumps --------------------------------------------------------------------------------------

Effects Editor::JumpTo(LineNo line, std::optional<CaretCol> column, std::string_view text) {
  Effects fx = CancelSelection();
  PaneState& p = panes_[active_];
  line = LineNo(std::clamp(line.value, 1, lineCount()));
  if (line < p.first || line >= p.first + std::max(1, p.rows)) fx |= ScrollTo(active_, line - std::max(1, p.rows) / 2);
  fx |= SetCaret(active_, line, column.value_or(CaretCol(1)));
  const std::string bytes = Line(line);
  const auto at = static_cast<std::size_t>(p.caret.column.value - 1);
  if (!text.empty() && column && p.caret.column == *column && bytes.compare(at, text.size(), text) == 0) {
    fx |= SelectBytes(line, SelCol(static_cast<std::int32_t>(at)), line, SelCol(static_cast<std::int32_t>(at + text.size()) - 1));
    fx |= SetCaret(active_, line, CaretCol(static_cast<std::int32_t>(at + text.size()) + 1));
  }
  return fx;
}

Effects Editor::JumpDialog() {
  PaneState& p = panes_[active_];
  std::vector<std::string> fields{p.lastJump > 0 ? std::to_string(p.lastJump) : std::string()};
  while (dialogs_.Ask(DialogKind::Jump, fields) && !fields.empty()) {
    const std::int64_t value = FieldNumber(fields[0]);
    if (value <= 0) {
      Tell(host_, u8"ジャンプできません。", BoxIcon::Error);
      continue;
    }
    const LineNo line(static_cast<std::int32_t>(std::min<std::int64_t>(value, lineCount())));
    p.lastJump = line.value;
    Effects fx = CancelSelection();
    return fx |= SetCaret(active_, line, CaretCol(1));
  }
  return {};
}

Effects Editor::WalkMarks(doc::MarkKind kind, int step, std::u8string_view none) {
  const auto found = store_.NextMarkedLine(panes_[active_].caret.line, step, kind);
  if (!found) return Beeped(none);
  Effects fx = CancelSelection();
  fx |= SetCaret(active_, *found, CaretCol(1));
  fx.functionAt = *found;
  return fx;
}

Effects Editor::PrevBookmark() { return WalkMarks(doc::MarkKind::Bookmark, -1, u8"ﾌﾞｯｸﾏｰｸは見つかりませんでした。"); }
Effects Editor::NextBookmark() { return WalkMarks(doc::MarkKind::Bookmark, +1, u8"ﾌﾞｯｸﾏｰｸは見つかりませんでした。"); }
Effects Editor::PrevRange() {
  return WalkMarks(doc::MarkKind::Range, -1, u8"範囲設定行に設定されている行は見つかりませんでした。");
}
Effects Editor::NextRange() {
  return WalkMarks(doc::MarkKind::Range, +1, u8"範囲設定行に設定されている行は見つかりませんでした。");
}

Effects Editor::FunctionChosen(LineNo line) { return JumpTo(line, CaretCol(1)); }

// ---- bookmarks --------------------------------------------------------------------------------------

namespace {
std::optional<LineNo> LineOfBookmark(doc::LineStore& store, std::uint8_t mark) {
  if (mark == 0) return std::nullopt;
  if (store.Bookmark(LineNo(1)) == mark) return LineNo(1);
  LineNo at(1);
  while (auto next = store.NextMarkedLine(at, +1, doc::MarkKind::Bookmark)) {
    if (store.Bookmark(*next) == mark) return next;
    at = *next;
  }
  return std::nullopt;
}
}  // namespace

Effects Editor::ToggleBookmark() {
  if (!OnScreenOrRefuse(u8"ブックマークに設定／解除")) return {};
  if (!bookmarks_ || !bookmarks_->Available()) {
    Tell(host_, u8"情報ウィンドウが利用できないためブックマークできません。", BoxIcon::Warning);
    return {};
  }
  if (selection_.exists && selection_.Normalised().SpansLines()) return CancelSelection();
  const LineNo line = panes_[active_].caret.line;
  if (const std::uint8_t mark = store_.Bookmark(line); mark != 0) {
    store_.SetBookmark(line, 0);
    bookmarks_->Unregister(mark);
    return Effects::RepaintAll();
  }
  if (registering_) return Beeped(u8"現在ﾌﾞｯｸﾏｰｸ登録中のﾃﾞｰﾀがあります。");
  if (store_.BookmarkCount() >= kMaxBookmarks) {
    Tell(host_, u8"ブックマーク行に設定できるのは１つのファイルにつき255行までです。ブックマーク行として設定できません。",
         BoxIcon::Warning);
    return {};
  }
  // The name is asked modelessly: the registration is open until the info
  // window has answered.
  registering_ = true;
  const std::uint64_t generation = generation_;
  dialogs_.Open(DialogKind::BookmarkName, {""}, [this, line, generation](bool ok, std::vector<std::string> fields) {
    if (generation != generation_) return;
    if (!ok || fields.empty()) {
      registering_ = false;
      return;
    }
    SetBookmarkNamed(line, fields[0]);
  });
  return {};
}

void Editor::SetBookmarkNamed(LineNo line, std::string_view name) {
  line = LineNo(std::clamp(line.value, 1, lineCount()));
  const std::uint8_t mark = store_.FreeBookmarkNumber();
  // The line's entry first; the info window hears of it only once it exists.
  if (store_.Bookmark(line) != 0 || mark == 0 || !store_.SetBookmark(line, mark)) {
    registering_ = false;
    Beeped(u8"ﾌﾞｯｸﾏｰｸ設定に失敗しました。");
    return;
  }
  const std::uint64_t generation = generation_;
  bookmarks_->Register(mark, CutSjis(name, kMaxNameBytes), [this, mark, generation](bool ok) {
    if (generation != generation_) return;
    registering_ = false;
    if (!ok) {
      if (auto at = LineOfBookmark(store_, mark)) store_.SetBookmark(*at, 0);
      Status(host_, u8"ﾌﾞｯｸﾏｰｸ設定に失敗しました。");
    }
    Late(Effects::RepaintAll());
  });
  Late(Effects::RepaintAll());
}

Effects Editor::GoToBookmark(std::uint8_t mark) {
  const auto at = LineOfBookmark(store_, mark);
  if (!at) return {};
  Effects fx = JumpTo(*at, CaretCol(1));
  fx.functionAt = *at;
  return fx;
}

Effects Editor::BookmarkDeleted(std::uint8_t mark) {
  const auto at = LineOfBookmark(store_, mark);
  if (!at) return {};
  store_.SetBookmark(*at, 0);
  return Effects::RepaintAll();
}

// ---- range-setting lines ------------------------------------------------------------------------------

Effects Editor::RangeLabelAsk(DialogKind kind, LineNo line, std::string initial) {
  // Asked modelessly; the label goes to the line the dialog was opened for.
  const std::uint64_t generation = generation_;
  dialogs_.Open(kind, {std::move(initial)}, [this, line, generation](bool ok, std::vector<std::string> fields) {
    if (generation != generation_ || !ok || fields.empty() || fields[0].empty()) return;
    if (line > LineNo(lineCount())) return;
    if (!store_.SetRangeLabel(line, fields[0])) {
      Tell(host_, u8"範囲設定可能行数(1024)を超えました。\r\n設定できません。", BoxIcon::Warning);
      return;
    }
    Effects fx = Effects::RepaintAll();
    fx.bits |= Effects::kFunctionList;
    fx.functionAt = line;
    Late(fx);
  });
  return {};
}

Effects Editor::ToggleRangeLine() {
  if (!OnScreenOrRefuse(u8"範囲設定行に設定／解除")) return {};
  if (selection_.exists && selection_.Normalised().SpansLines()) return CancelSelection();
  const LineNo line = panes_[active_].caret.line;
  if (store_.RangeIndex(line) != 0) {
    store_.ClearRangeLabel(line);
    Effects fx = Effects::RepaintAll();
    fx.bits |= Effects::kFunctionList;
    return fx;
  }
  if (store_.RangeLabelCount() >= doc::kRangeLabelSlots) {
    Tell(host_, u8"範囲設定可能行数(1024)を超えました。\r\n設定できません。", BoxIcon::Warning);
    return {};
  }
  return RangeLabelAsk(DialogKind::RangeLabel, line, "");
}

Effects Editor::EditRangeLine() {
  const LineNo line = panes_[active_].caret.line;
  if (store_.RangeIndex(line) == 0) return Beeped(u8"範囲設定行ではありません。");
  return RangeLabelAsk(DialogKind::EditRangeLabel, line, store_.RangeLabel(line));
}

std::vector<std::pair<LineNo, std::string>> Editor::RangeLabels() { return store_.RangeLabels(); }

int Editor::LabelIndexAt(LineNo line) {
  const auto labels = store_.RangeLabels();
  int found = -1;
  for (std::size_t i = 0; i < labels.size() && labels[i].first <= line; ++i) found = static_cast<int>(i);
  return found;
}

// ---- documents ------------------------------------------------------------------------------------------

Effects Editor::DocumentReplaced(bool modified) {
  ++generation_;
  undo_.Clear();
  text_.TakeShifts();
  if (modified) undo_.ForgetSaved();
  else undo_.MarkSaved();
  lead_.reset();
  registering_ = false;
  for (int p = 0; p < 2; ++p) {
    PaneState& s = panes_[p];
    s.first = LineNo(1);
    s.caret = TextPos{LineNo(1), CaretCol(1)};
    s.xOffset = 0;
    s.wantedX = -1;
    s.lastJump = 0;
    if (p < paneCount()) store_.ShowFrom(p, LineNo(1));
  }
  selection_.exists = false;
  keyAnchorSet_ = false;
  drag_ = Drag::None;
  pair_.reset();
  Effects fx = Effects::RepaintAll();
  fx.bits |= Effects::kScrollBars | Effects::kCaret | Effects::kStatus | Effects::kFunctionList | Effects::kModified;
  if (pendingBracket_) {
    pendingBracket_.reset();
    fx.bracketTimer = Effects::Timer::Stop;
  }
  return fx;
}

Effects Editor::DocumentChanged() {
  Effects fx = Effects::RepaintAll();
  fx.bits |= Effects::kScrollBars | Effects::kCaret | Effects::kStatus | Effects::kFunctionList;
  for (int p = 0; p < paneCount(); ++p) {
    PaneState& s = panes_[p];
    const LineNo first(std::clamp(s.first.value, 1, lineCount()));
    if (first != s.first) {
      s.first = first;
      store_.ShowFrom(p, first);
    }
    fx |= ClampPane(p);
  }
  if (selection_.exists) {
    const doc::Selection n = selection_.Normalised();
    if (n.otherLine > LineNo(lineCount())) fx |= CancelSelection();
  }
  pair_.reset();
  if (pendingBracket_) {
    pendingBracket_.reset();
    fx.bracketTimer = Effects::Timer::Stop;
  }
  return fx;
}

}  // namespace gorvane::shell

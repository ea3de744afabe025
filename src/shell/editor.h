// The editor of one document, without a window: the two panes' view state, the
// split, the active pane, the caret and the selection, the remembered bracket
// pair, bookmarks and range-setting labels. It takes translated inputs (keys,
// command codes, clicks, scroll requests, sizes, focus) and answers with the
// effects the window has to apply; the window reads back what it paints.
//
// Side effects on the user go through the host (boxes, status texts, beeps),
// dialogs through EditorDialogs, the info window's bookmark list through
// BookmarkRegistry. Every caret move goes through SetCaret.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_table.h"
#include "commands/key_tables.h"
#include "document/brackets.h"
#include "document/delimiters.h"
#include "document/line_source.h"
#include "document/line_store.h"
#include "document/selection.h"
#include "document/text_edit.h"
#include "document/text_shape.h"
#include "document/types.h"
#include "document/undo_buffer.h"
#include "ipc/messages.h"
#include "search/search_strings.h"
#include "shell/host.h"
#include "shell/metrics.h"

namespace gorvane::shell {

namespace doc = gorvane::document;

// The highest caret column: one past the longest line the store keeps.
inline constexpr std::int32_t kMaxCaretColumn = 15361;
inline constexpr int kBracketDelayMs = 250;

// What the window has to do after an input. Merged with |=.
struct Effects {
  enum Bit : std::uint32_t {
    kRepaintPane0 = 1u << 0,   // the pane's view and its line-number column
    kRepaintPane1 = 1u << 1,
    kCaret = 1u << 2,          // the system caret's place
    kStatus = 1u << 3,         // the caret fields of the status bar
    kScrollBars = 1u << 4,     // ranges and positions of both panes' bars
    kLayout = 1u << 5,         // the split changed: place the panes again
    kFunctionList = 1u << 6,   // the range labels changed: fill the function box again
    kFocus = 1u << 7,          // give the active pane the keyboard focus
    kModified = 1u << 8,       // the text or its modified state changed: title, tool bar, undo field
    kSearchBar = 1u << 9,      // the search combo's text or list, or the option buttons, changed
  };
  enum class Timer : std::uint8_t { Keep, Start, Stop };
  constexpr Effects() = default;
  constexpr explicit Effects(std::uint32_t b) : bits(b) {}

  std::uint32_t bits = 0;
  Timer bracketTimer = Timer::Keep;  // the 250 ms bracket timer
  // The line whose nearest label at or above it the function box selects.
  std::optional<doc::LineNo> functionAt;

  bool Has(std::uint32_t b) const { return (bits & b) != 0; }
  Effects& operator|=(const Effects& o) {
    bits |= o.bits;
    if (o.bracketTimer != Timer::Keep) bracketTimer = o.bracketTimer;
    if (o.functionAt) functionAt = o.functionAt;
    return *this;
  }
  static Effects Repaint(int pane) { return Effects{pane == 1 ? kRepaintPane1 : kRepaintPane0}; }
  static Effects RepaintAll() { return Effects{kRepaintPane0 | kRepaintPane1}; }
};

// One pane's view of the document.
struct PaneState {
  doc::LineNo first{1};               // the first displayed line
  doc::TextPos caret{doc::LineNo(1), doc::CaretCol(1)};
  int xOffset = 0;                    // pixels scrolled to the left
  int wantedX = -1;                   // the caret's x kept over Up and Down
  int rows = 40;                      // whole rows the view shows
  int width = 960;                    // the text area's width in pixels
  std::int64_t lastJump = 0;          // the line last entered in the jump dialog
};

// The dialogs the editor asks: fields in, edited fields out; false is Cancel.
// Search: fields text, options (decimal), scope (0 file, 1 range, 2 files),
// share with the other editors (0/1); it is modeless.
enum class DialogKind { Jump, SelectLines, BookmarkName, RangeLabel, EditRangeLabel, Search };
// Jump and SelectLines are modal (Ask); the bookmark's name and the range
// labels are asked modelessly (Open): the editor goes on while the dialog is
// up, and done runs when the person closes it, OK (true) or Cancel; it may
// run before Open returns. A dialog that goes with its window calls nothing.
class EditorDialogs {
 public:
  using Done = std::function<void(bool ok, std::vector<std::string> fields)>;
  virtual ~EditorDialogs() = default;
  virtual bool Ask(DialogKind kind, std::vector<std::string>& fields) = 0;
  virtual void Open(DialogKind kind, std::vector<std::string> fields, Done done) {
    const bool ok = Ask(kind, fields);
    done(ok, std::move(fields));
  }
};

// The info window's list of this file's bookmarks.
class BookmarkRegistry {
 public:
  virtual ~BookmarkRegistry() = default;
  virtual bool Available() = 0;
  // done(true) once the info window has taken the bookmark; done(false) when
  // it refused or went away. done may run later, from another input.
  virtual void Register(std::uint8_t mark, std::string_view nameSjis, std::function<void(bool)> done) = 0;
  virtual void Unregister(std::uint8_t mark) = 0;
};

// The clipboard as the editor uses it: Shift-JIS text.
class Clipboard {
 public:
  enum class Result { Ok, NoMemory, Failed };
  struct Text {
    std::string sjis;
    bool lossy = false;  // characters without a Shift-JIS code became "?"
  };
  virtual ~Clipboard() = default;
  // Empties the clipboard and puts the text on it.
  virtual Result Write(std::string_view sjis) = 0;
  // Empties the clipboard.
  virtual bool Empty() = 0;
  virtual bool HasText() = 0;
  // The clipboard's text; nullopt when it has none or cannot be opened.
  virtual std::optional<Text> Read() = 0;
};

// What the search reads from the shared settings before each search.
struct SearchPrefs {
  std::string halfWidthDelimiters;  // the user's lists (Shift-JIS)
  std::string fullWidthDelimiters;
  int regexTimeoutSeconds = 3;      // 0 or less counts as 3
};

// Where the search settings of the dialog go: the info window (when there is
// one) and, when sharing is checked, the other editors attached to it.
class SearchSharing {
 public:
  virtual ~SearchSharing() = default;
  virtual void ShareSearch(const ipc::SearchSettings& settings, bool toOtherEditors) = 0;
};

enum class MacroState { None, Recording, Replaying };
enum class CommandSource { Key, Menu, Macro };

// A key-down as the window saw it.
struct KeyPress {
  std::uint8_t vk = 0;
  bool ctrl = false, shift = false;
  bool imeOpen = false, composing = false;
};

class Editor final : public doc::PaneViews {
 public:
  Editor(Host& host, doc::LineStore& store, EditorDialogs& dialogs);
  ~Editor() override;
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // ---- settings ----
  void SetMetrics(const EditMetrics& metrics, int tabSize, int leftMargin);
  void SetKeyTables(const commands::KeyTables& keys) { keys_ = keys; }
  void SetBookmarkRegistry(BookmarkRegistry* registry) { bookmarks_ = registry; }
  void SetMacroState(MacroState state) { macro_ = state; }
  void SetClipboard(Clipboard* clipboard) { clipboard_ = clipboard; }
  void SetAutoIndent(bool on) { autoIndent_ = on; }
  void SetWriteProtected(bool on) { writeProtected_ = on; }
  bool writeProtected() const { return writeProtected_; }
  // The undo buffer's size and the deleted-line ring's slots (start-up; the
  // buffer is emptied). False after telling the user when it cannot be had.
  bool StartUndo(std::uint32_t size = doc::kDefaultUndoBufferSize,
                 std::uint32_t deletedLineSlots = doc::kDefaultDeletedLineSlots);
  // Where effects of late answers (a bookmark registered) go.
  void SetLateEffects(std::function<void(const Effects&)> sink) { late_ = std::move(sink); }
  // A command the window carries out itself (files, the info window).
  using WindowHandler = std::function<Effects()>;
  void SetWindowHandler(commands::CommandCode code, WindowHandler handler);

  // ---- inputs ----
  // A key-down: a bound key runs its command, any other key moves the caret.
  Effects KeyDown(const KeyPress& key);
  // Whether the window turns the key-down into character messages (it runs
  // no command).
  bool TranslatesKey(const KeyPress& key) const;
  // A key with no command: caret movement (Shift extends the selection).
  Effects PlainKey(std::uint8_t vk, bool ctrl, bool shift);
  Effects Run(commands::CommandCode code, CommandSource source = CommandSource::Menu);
  // Whether a command has a handler (here or the window's).
  bool Implemented(commands::CommandCode code) const;

  // Mouse on the text: positions from PositionAt.
  Effects Press(int pane, doc::TextPos at, bool shift);
  Effects DragTo(int pane, doc::TextPos at);
  Effects Release();
  Effects DoubleClick(int pane, doc::TextPos at);
  // Mouse on the line-number column: whole lines.
  Effects LineNumberPress(int pane, doc::LineNo line, bool shift);
  Effects LineNumberDragTo(int pane, doc::LineNo line);
  bool dragging() const { return drag_ != Drag::None; }
  // The position under a point of a pane's text area (client pixels).
  doc::TextPos PositionAt(int pane, int x, int y);
  doc::LineNo LineAtY(int pane, int y) const;

  Effects ScrollTo(int pane, doc::LineNo first);
  Effects ScrollSideways(int pane, int x);
  Effects Resize(int pane, int rows, int width);
  Effects Activate(int pane);
  // 0 one pane, 47 side by side, 48 one above the other.
  Effects SetSplit(int mode);
  Effects BracketTimerFired();
  // A new document in the store (opened, new, reloaded): the undo buffer is
  // emptied; modified: the document already differs from its file.
  Effects DocumentReplaced(bool modified = false);
  // The document's lines changed (reloaded, inserted into): every pane's
  // lines and carets are brought back inside it; the bracket pair is forgotten.
  Effects DocumentChanged();
  // The caret to a line (and column) as "/j" and the info window ask.
  // A line out of view comes to the middle of the pane. With a text, the
  // text is selected when it stands at the column.
  Effects JumpTo(doc::LineNo line, std::optional<doc::CaretCol> column = std::nullopt, std::string_view text = {});
  // The info window asks for the line of one of its bookmarks.
  Effects GoToBookmark(std::uint8_t mark);
  // The info window deleted a bookmark.
  Effects BookmarkDeleted(std::uint8_t mark);
  // The function box chose the label of a line.
  Effects FunctionChosen(doc::LineNo line);

  // ---- typing and editing ----
  // A byte from the window's character messages (Shift-JIS; a lead byte is
  // held until its second byte comes).
  Effects TypeChar(std::uint8_t byte);
  // Text that arrives at once (a character converted from the window's
  // UTF-16, an input-method result): up to two bytes are typed, longer
  // strings in insert mode go in silently through the paste path.
  Effects TypeText(std::string_view sjis);
  Effects ToggleInsertMode();
  bool insertMode() const { return insertMode_; }
  // "ｱﾝﾄﾞｩﾊﾞｯﾌｧｸﾘｱ" from the menu.
  Effects ClearUndoCommand();
  // A keyboard macro's replay is undone and redone as one step: its edits go
  // between these two marks.
  void BeginMacroRun();
  void EndMacroRun();
  // The inserted file's text [from, to) is recorded as one undoable change.
  Effects FileInserted(doc::TextPos from, doc::TextPos to);
  // The document was saved: this state is the file's.
  void MarkSaved() { undo_.MarkSaved(); }
  bool modified() const { return !undo_.AtSaved(); }
  const doc::UndoBuffer& undo() const { return undo_; }
  bool CanUndo() const { return undo_.canUndo(); }
  bool CanRedo() const { return undo_.canRedo(); }
  std::size_t deletedLines() const { return undo_.deletedLines(); }
  // The selected text (caret positions [from, to)).
  std::pair<doc::TextPos, doc::TextPos> SelectionRange();

  // ---- search ----
  void SetSearchPrefs(std::function<SearchPrefs()> source) { searchPrefs_ = std::move(source); }
  void SetSearchSharing(SearchSharing* sharing) { sharing_ = sharing; }
  // The search combo's edit text as the person typed it (Shift-JIS).
  Effects EditSearchText(std::string_view sjis);
  // A history item chosen from the combo's list.
  Effects ChooseSearchItem(int index);
  const std::string& searchText() const { return barText_; }
  // The option buttons' checked state as option bits; which may be clicked
  // follows search::ButtonsFor.
  std::uint8_t searchButtons() const { return buttons_; }
  const search::SEARCHSTR& searchStrings() const { return strings_; }
  int searchMode() const { return searchMode_; }
  const std::string& searchFileTypes() const { return searchFileTypes_; }
  // Search settings applied in another editor's dialog.
  Effects SearchSettingsReceived(const ipc::SearchSettings& settings);

  // ---- what the window reads ----
  const PaneState& pane(int p) const { return panes_[p == 1 ? 1 : 0]; }
  int activePane() const override { return active_; }
  doc::LineNo firstDisplayed(int pane) const override { return panes_[pane == 1 ? 1 : 0].first; }
  int split() const { return split_; }
  int paneCount() const { return split_ == 0 ? 1 : 2; }
  const doc::Selection& selection() const { return selection_; }
  bool hasSelection() const { return selection_.exists; }
  // The [from, to) bytes of a line's text selected; to = from for none.
  std::pair<int, int> SelectedBytes(doc::LineNo line, std::string_view text) const;
  // The remembered bracket pair, if any.
  const std::optional<doc::BracketPair>& brackets() const { return pair_; }
  std::int32_t lineCount() const;
  std::string Line(doc::LineNo line);
  bool CaretOnScreen() const;
  // The range labels in line order, and the index among them of the nearest
  // label at or above a line (-1 for none).
  std::vector<std::pair<doc::LineNo, std::string>> RangeLabels();
  int LabelIndexAt(doc::LineNo line);
  const EditMetrics& metrics() const { return metrics_; }
  int tabSize() const { return tabSize_; }
  int leftMargin() const { return leftMargin_; }
  int XOfCaret(int pane);

  // The one operation through which every caret move goes: clamps the line to
  // the document, the column to 1..15361 and a character boundary, scrolls the
  // pane to show it.
  Effects SetCaret(int pane, doc::LineNo line, doc::CaretCol column, bool keepWantedX = false);

 private:
  enum class Drag { None, Text, LineNumbers, Move };
  using Handler = Effects (Editor::*)();

  Effects Dispatch(commands::CommandCode code);
  Effects Beeped(std::u8string_view status);
  Effects CancelSelection();
  Effects SetSelection(doc::TextPos from, doc::TextPos to);  // caret positions, from anchor to caret
  Effects SelectBytes(doc::LineNo l1, doc::SelCol c1, doc::LineNo l2, doc::SelCol c2);
  Effects SelectLines(doc::LineNo first, doc::LineNo last, doc::TextPos caretAfter);
  Effects MoveLikeKey(std::uint8_t vk, bool ctrl);
  Effects ExtendTo(std::uint8_t vk, bool ctrl);
  Effects ClampPane(int pane);
  Effects UpDown(int pane, std::int64_t to);
  bool OnScreenOrRefuse(std::u8string_view name);
  Effects RangeLabelAsk(DialogKind kind, doc::LineNo line, std::string initial);
  void SetBookmarkNamed(doc::LineNo line, std::string_view name);
  void Late(const Effects& fx) {
    if (late_) late_(fx);
  }

  // handlers
  Effects SelectAll();
  Effects SelectLineNumbers();
  Effects SelectArea();
  Effects SelectLine();
  Effects SelectWord();
  Effects SelectUp();
  Effects SelectDown();
  Effects SelectLeft();
  Effects SelectRight();
  Effects SelectMove(std::uint8_t vk);
  Effects LineTop();
  Effects LineLast();
  Effects PrevWord();
  Effects NextWord();
  Effects ScrollUpLine();
  Effects ScrollDownLine();
  Effects ScrollLeftColumn();
  Effects ScrollRightColumn();
  Effects BracketJump();
  Effects JumpDialog();
  Effects PrevRange();
  Effects NextRange();
  Effects PrevBookmark();
  Effects NextBookmark();
  Effects SplitWindow();
  Effects ToggleBookmark();
  Effects ToggleRangeLine();
  Effects EditRangeLine();
  Effects WalkMarks(doc::MarkKind kind, int step, std::u8string_view none);

  // editing (editing.cpp)
  Effects Edited(Effects fx = {});
  std::optional<std::uint32_t> Record(std::string record);
  // A record given as consecutive parts (a long text is then copied once).
  std::optional<std::uint32_t> Record(std::span<const std::string_view> parts);
  void Unrecord(std::optional<std::uint32_t> at);
  std::string RemovedBlock(doc::TextPos from, doc::TextPos to, std::string_view text);
  Effects InsertCharacter(std::string_view ch);
  Effects Enter();
  Effects Backspace();
  Effects DeleteKey();
  Effects DeleteSelection();
  Effects BlockIndent(bool indent);
  bool ApplyBlock(bool indent, const doc::Selection& before, std::uint8_t byte, doc::Selection* after);
  Effects PasteText(std::string text, const doc::TextShape& shape, bool silent, bool lossy = false);
  bool Indent(doc::LineNo line);
  bool LinePreconditions(std::u8string_view name, Effects* fx);
  Effects InsertLine();
  Effects CopyInsertLine();
  Effects DeleteLineCommand();
  Effects InsDelLine();
  Effects Cut();
  Effects Copy();
  Effects Paste();
  Effects BeforeDelete();
  Effects AfterDelete();
  Effects Undo();
  Effects Redo();
  Effects Convert(int kind);
  Effects ToUpper() { return Convert(0); }
  Effects ToLower() { return Convert(1); }
  Effects ToHalf() { return Convert(2); }
  Effects ToFullHiragana() { return Convert(3); }
  Effects ToFullKatakana() { return Convert(4); }
  Effects HalfKanaToFull() { return Convert(5); }
  Effects FullKanaToHalf() { return Convert(6); }
  Effects MoveSelectionTo(doc::TextPos to);
  // One record (or a bracketed group) reverted or re-applied; false when
  // there was none or it could not be read.
  bool Step(bool back, Effects* fx);
  bool Revert(std::uint8_t code, std::span<const std::uint8_t> bytes, std::uint32_t at, Effects* fx);
  bool Reapply(std::uint8_t code, std::span<const std::uint8_t> bytes, std::uint32_t at, Effects* fx);
  std::string ReinsertText(std::uint32_t slot, std::u8string_view* message);
  bool ChangeRun(std::uint8_t code, std::span<const std::uint8_t> bytes, bool back);

  // search (searching.cpp)
  Effects SearchDown();
  Effects SearchUp();
  Effects SearchModeToggle();
  Effects SearchWordSet();
  Effects SearchSelectionSet();
  Effects SearchDialog();
  Effects Toggle(int bit);
  Effects ToggleCase() { return Toggle(0); }
  Effects ToggleLeftWord() { return Toggle(1); }
  Effects ToggleRightWord() { return Toggle(2); }
  Effects ToggleFuzzy() { return Toggle(3); }
  Effects ToggleWildcard() { return Toggle(4); }
  Effects ToggleShortest() { return Toggle(5); }
  Effects ToggleRegExp() { return Toggle(6); }
  bool CommitSearch();
  void PutSearchFirst(const search::SearchEntry& entry);
  void RebuildDelimiters();
  Effects SetPending(std::string_view text, Effects fx);
  std::string SelectedSearchText();
  Effects RegexDown(bool hadSelection);
  Effects ShowHit(doc::LineNo line, std::int32_t offset, std::int32_t length, bool upward);
  Effects ApplySearchDialog(std::vector<std::string> fields);
  std::pair<doc::LineNo, doc::LineNo> SearchSpan(doc::LineNo from);

  static const std::array<Handler, commands::kCommandCount + 1>& Handlers();

  Host& host_;
  doc::LineStore& store_;
  EditorDialogs& dialogs_;
  doc::StoreLines lines_;
  BookmarkRegistry* bookmarks_ = nullptr;
  std::function<void(const Effects&)> late_;
  std::array<WindowHandler, commands::kCommandCount + 1> window_{};
  commands::KeyTables keys_{};
  EditMetrics metrics_;
  int tabSize_ = 8;
  int leftMargin_ = 2;
  std::array<PaneState, 2> panes_{};
  int active_ = 0;
  int split_ = 0;
  MacroState macro_ = MacroState::None;
  doc::Selection selection_;
  bool keyAnchorSet_ = false;
  doc::TextPos keyAnchor_{};
  Drag drag_ = Drag::None;
  doc::TextPos dragAnchor_{};
  doc::LineNo lineAnchor_{1};
  std::optional<doc::BracketPair> pair_;
  std::optional<doc::TextPos> pendingBracket_;
  bool registering_ = false;   // a bookmark registration is open (its name asked, or the info window's answer awaited)
  std::uint64_t generation_ = 0;  // counts documents, so a late answer for an old one is dropped
  doc::TextEdit text_;
  doc::UndoBuffer undo_;
  Clipboard* clipboard_ = nullptr;
  bool insertMode_ = true;
  bool autoIndent_ = true;
  bool writeProtected_ = false;
  std::optional<std::uint8_t> lead_;  // a lead byte waiting for its second byte
  doc::TextPos dropAt_{};             // where a dragged selection would go
  // search
  search::SEARCHSTR strings_{};
  std::string barText_;               // the search combo's edit text
  std::uint8_t buttons_ = 0;          // the option buttons' checked state
  int searchMode_ = 0;                // 0 the file, 1 the caret's range
  int dialogScope_ = 0;               // the dialog's scope (2: in files, kept for the listing)
  bool shareSearch_ = false;          // the dialog's "share with the other editors"
  std::string searchFileTypes_;       // the file types of a search in files, as shared
  bool searchDialogOpen_ = false;
  bool regexStartInclusive_ = false;
  std::optional<doc::TextPos> emptyMatchAt_;  // where the last regular-expression search matched empty
  std::optional<doc::TextPos> wordSetEnd_;    // where the pending word of SCHWORDSET ends
  std::unique_ptr<std::array<std::uint8_t, 65536>> delimiters_;  // with the search bits
  std::function<SearchPrefs()> searchPrefs_;
  SearchSharing* sharing_ = nullptr;
};

// Metrics of a fixed-pitch font of 8 × 16 pixel cells for runs without a
// window (scripts, tests): single bytes 8 pixels wide, double-byte 16.
EditMetrics FixedCellMetrics();

}  // namespace gorvane::shell

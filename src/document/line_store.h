// The document: a chain of line records in the paged temporary cache, the two
// panes' line windows (at most 400 editable in-memory lines each) and the
// sparse line index. Every reader and writer of text goes through here.
#pragma once

#include <cstdint>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/host.h"
#include "companions/qorvetc/cache_layout.h"
#include "companions/qorvetc/records.h"
#include "document/support/reserved_memory.h"
#include "companions/qorvetc/temp_cache.h"
#include "document/types.h"

namespace gorvane::document {

// Buffer size for a line of n bytes: the first class above n of 128, 512,
// 1,024, 2,048, 8,192; 15,360 from 8,192 to 15,360; 30,720 above.
std::uint32_t LineCapacity(std::uint32_t n);

// The two kinds of marked lines the index carries.
enum class MarkKind { Bookmark, Range };
inline constexpr int kMaxBookmarks = 255;      // per file, numbered 1 .. 255
inline constexpr int kRangeLabelSlots = 1024;  // range-setting labels, rangeIndex 1 .. 1,024

struct LineStoreSettings {
  qorvetc::CacheSettings cache;  // page size (a sane minimum applies), pages in memory
};

// The page-size setting as the editor reads it: at least large enough for a
// longest line's record.
std::uint32_t SanePageSize(std::uint32_t setting);

// The panes that show a document, as their editor keeps them: which one is
// active and which line each shows first. The store reads them when it moves
// its line windows; without an editor (tools, tests) it keeps its own.
class PaneViews {
 public:
  virtual ~PaneViews() = default;
  virtual int activePane() const = 0;
  virtual LineNo firstDisplayed(int pane) const = 0;
};

class LineStore {
 public:
  // The cache is told of the store's records at once (SetStructPointer).
  LineStore(base::Host& host, TempCache& cache);
  ~LineStore();
  LineStore(const LineStore&) = delete;
  LineStore& operator=(const LineStore&) = delete;

  // Start-up: the cache, the index reservation and an empty document. False
  // (after telling the user) when the editor cannot go on.
  bool Start(const LineStoreSettings& settings, qorvetc::PageFileFactory pageFiles = {});
  // One empty line.
  bool NewDocument();

  // ---- loading: the chain is built by appending lines in order ----
  bool BeginLoad();
  // Appends line n (1-based, in order) with its bytes (its own CR LF included).
  bool CreateOneLineTmpCache(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t lineNo);
  // Ends loading with the number of lines appended; pane 0 shows line 1.
  bool EndLoad(std::uint32_t lines);

  // ---- reading ----
  std::uint32_t lineCount() const { return lineCount_; }
  // The current text of a line; false when the line does not exist or its page
  // cannot be read.
  bool ReadLine(LineNo line, std::string* out);
  // Cache offset of a line (0 when none); *record the window record if the
  // line is in a window.
  std::uint32_t LineOffsetOf(LineNo line, LINEDATA_STRC** record = nullptr);
  // The window record holding the line at offset, or null (the sorted offset
  // list is rebuilt first when the windows changed since it was made).
  LINEDATA_STRC* FindMemLine(std::uint32_t offset);
  // Visits lines from `from` on, forward (step 1) or backward (step -1), with
  // their current text, until visit returns false or the document ends.
  // False when a page could not be read. The text is valid during the call
  // only, and visit must not change the document.
  bool WalkLines(LineNo from, int step, const std::function<bool(LineNo, std::string_view)>& visit);
  // The window record of a line in the pane's window, or null.
  LINEDATA_STRC* WindowLine(int pane, LineNo line) const;
  LineNo WindowFirst(int pane) const;
  int WindowSize(int pane) const;
  bool divided() const { return divided_; }

  // ---- changing ----
  // Edits take a line's window record: a record that no window holds (the
  // line was never brought in, or its window has moved on) is refused.
  bool InWindow(const LINEDATA_STRC* line) const;
  // Makes sure the pane's window holds the line (moving it as scrolling would).
  LINEDATA_STRC* BringIntoWindow(int pane, LineNo line);
  // Replaces a window line's bytes (line end included); false beyond 15,360 bytes.
  bool SetLineText(LINEDATA_STRC* line, std::string_view bytes);
  // Splits line L before byte `column` (1-based). upper: new bytes for the
  // upper part (else it keeps bytes 1 .. column - 1); marksFollowText: the
  // bookmark and label move to the lower line (text put above a line).
  // Returns the new lower line's record, or null.
  LINEDATA_STRC* SplitLine(LINEDATA_STRC* line, CaretCol column, const std::string_view* upper = nullptr,
                           bool marksFollowText = false);
  // Appends line L to the previous line (the line end between them is
  // deleted). Returns the previous line's record, or null.
  LINEDATA_STRC* JoinLineWithPrevious(LINEDATA_STRC* line);
  // Deletes a whole line; the last line's deletion also removes the line end
  // before it. The document keeps at least one (empty) line.
  bool DeleteLine(LineNo line);
  // Puts complete lines (each with its CR LF, at most 15,360 bytes) above
  // line `before` (1 .. lineCount); the line's bookmark and label stay with
  // it. False when nothing or only part could be inserted (the lines that
  // went in stay, in order, above `before`): a line too long, the document at
  // 1,600,000 lines, a cache page that cannot be had (told).
  bool InsertLines(LineNo before, std::span<const std::string_view> lines);
  // Removes lines first .. first + count - 1 whole, leaving their neighbours'
  // text alone; at least one line of the document must stay. The lines' marks
  // and labels go with them. False with nothing removed when the run or the
  // lines that would enter the windows cannot be read.
  bool RemoveLines(LineNo first, std::int32_t count);
  void MoveLineWindow(int pane, LineNo wanted);
  // The pane's view now starts at firstDisplayed: its window follows in
  // 66-line steps.
  void ShowFrom(int pane, LineNo firstDisplayed);
  LineNo firstDisplayed(int pane) const;
  // First line a pane's window should start at for a first displayed line.
  static LineNo WindowStartFor(LineNo firstDisplayed, std::uint32_t lineCount);
  bool OpenSecondPane(LineNo first);
  void CloseSecondPane();
  bool WriteBack() { return cache_.WriteBackLineListToTmpCache(); }
  void ReleaseLineWindows();
  // The pane the editor works in (0 unless the view is divided).
  int activePane() const { return divided_ ? views_->activePane() : 0; }
  // The editor whose panes show the document (nullptr: the store's own).
  void SetPaneViews(const PaneViews* views) { views_ = views ? views : &own_; }
  // Without an editor: the pane to work in.
  void SetActivePane(int pane) { own_.active = pane == 1 ? 1 : 0; }

  // ---- the index's marks ----
  bool SetBookmark(LineNo line, std::uint8_t mark);
  std::uint8_t Bookmark(LineNo line) const;
  bool SetRangeIndex(LineNo line, std::uint16_t index);
  std::uint16_t RangeIndex(LineNo line);
  // The nearest marked line strictly after (step +1) or before (step -1)
  // `from`, found by walking the index from its entry at or before `from`.
  std::optional<LineNo> NextMarkedLine(LineNo from, int step, MarkKind kind) const;
  int BookmarkCount() const;
  // The smallest number 1 .. 255 that no bookmark of the file has; 0 when
  // all are taken.
  std::uint8_t FreeBookmarkNumber() const;
  // Range-setting labels, kept in the index's label table at the line's
  // rangeIndex; they follow their lines as rangeIndex does and are released
  // with a deleted line. A slot is free when no line refers to it, so a
  // reload that puts the same rangeIndex values back finds the labels again.
  std::string RangeLabel(LineNo line) const;
  // Sets or replaces the line's label; false when the line does not exist,
  // its index entry cannot be had, or all 1,024 labels are in use.
  bool SetRangeLabel(LineNo line, std::string_view label);
  // False when the line has no label.
  bool ClearRangeLabel(LineNo line);
  int RangeLabelCount() const;
  // Every labelled line with its label, in line order.
  std::vector<std::pair<LineNo, std::string>> RangeLabels() const;
  // Colour state at the start of a line, where the index has an entry there.
  bool ColourState(LineNo line, std::uint16_t* state) const;
  void SetColourState(LineNo line, std::uint16_t state);
  void InvalidateColourStates(LineNo from);

  // ---- cache record operations ----
  std::uint32_t CreateOneLineTmpCache3(const std::uint8_t* bytes, std::int32_t length, std::uint8_t flags,
                                       std::uint16_t rangeIndex, std::uint32_t prev, std::uint32_t next);
  std::uint32_t RelocateLine(std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t length);
  void MergeCandidatePages();
  bool CompactPage(std::uint32_t destination, std::uint32_t source);

  // Everything consistent: "" or a description of the first fault found.
  std::string CheckInvariants();

  const TMPOFFSET_MNG& index() const { return index_; }
  // Tests: committing index entries fails beyond this many bytes.
  void LimitIndexCommitForTest(std::size_t bytes) { indexMemory_.LimitCommitForTest(bytes); }
  const MARGEDATA& marge() const { return marge_; }
  int liveRecords() const { return liveRecords_; }
  TempCache& cache() { return cache_; }

 private:
  struct Memo {
    std::uint32_t line = 0, offset = 0;
    std::uint64_t moves = 0;  // the cache's move count when remembered
  };

  // A cache record's header and text in its page image (null when the page
  // cannot be had); valid until the next call of the cache.
  const std::uint8_t* RecordAt(std::uint32_t offset, RecordHeader* header);
  // Sets a record's next and/or prev link (offset 0: nothing); marks its page dirty.
  bool StoreLinks(std::uint32_t offset, const std::uint32_t* next, const std::uint32_t* prev);
  // A new record linked between prev and next (bytes null: space only); 0 on failure.
  std::uint32_t AppendRecord(const std::uint8_t* bytes, std::uint32_t length, std::uint8_t flags,
                             std::uint16_t rangeIndex, std::uint32_t prev, std::uint32_t next);
  // A record's text replaced, relocated when it has outgrown its space; the
  // offset afterwards, 0 on failure.
  std::uint32_t RewriteRecord(std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t length,
                              std::uint8_t attributes, std::uint16_t rangeIndex);
  LINEDATA_STRC* NewRecord(std::uint32_t lineNo, std::uint32_t capacity);
  bool FreeRecord(LINEDATA_STRC* record);
  LINEDATA_STRC* LoadRecord(std::uint32_t lineNo, std::uint32_t offset);
  bool Reconcile(LineNo first0, LineNo first1, std::span<LINEDATA_STRC* const> entering = {});
  bool ReadLinesEnteringAfterRemove(std::uint32_t from, std::uint32_t count, const LineNo* newFirsts,
                                    std::vector<LINEDATA_STRC*>* entering);
  // Every record held in memory, each once.
  std::vector<LINEDATA_STRC*> HeldRecords() const;
  void Renumber(std::int32_t after, std::int32_t delta);
  void Forget(LINEDATA_STRC* record);  // out of every slot, then freed
  // The held records of lines from .. last, out of every slot and freed.
  void ForgetLines(std::uint32_t from, std::uint32_t last);
  void Invalidate() { marge_.listValid = false; }
  bool ResizeTmpOffset(std::int32_t add);
  bool InsertIndexEntry(std::uint32_t at, const TMPOFFSET& entry);
  void RemoveIndexEntry(std::uint32_t at);
  std::int64_t IndexEntryOf(std::uint32_t line) const;
  // Where the entry of a line is or would go: the first entry at or after it.
  std::uint32_t IndexPositionOf(std::uint32_t line) const;
  TMPOFFSET* EnsureIndexEntry(LineNo line);
  void IndexAfterSplit(std::uint32_t splitLine);
  template <typename Field>
  bool SetIndexMark(LineNo line, Field TMPOFFSET::*field, Field value);
  void IndexAfterDelete(std::uint32_t line, std::uint32_t nextOffset);
  void IndexAfterRemove(std::uint32_t from, std::uint32_t count, std::uint32_t nextOffset);
  void ReleaseLabel(std::uint16_t rangeIndex);
  bool UnlinkLine(std::uint32_t lineNo, std::uint32_t offset);
  void WarnLineLimit();
  void Fail(std::u8string_view text);
  bool ResetIndex();

  base::Host& host_;
  TempCache& cache_;
  TPALLCACHE_MNG chain_;
  MEMDATA windows_;
  MARGEDATA marge_;
  TMPOFFSET_MNG index_;
  std::array<std::string, kRangeLabelSlots + 1> labels_;    // by rangeIndex; 0 unused
  std::array<void*, kRangeLabelSlots + 1> labelTable_{};    // the labels' texts, as index_.rangeLabels
  ReservedMemory indexMemory_;
  SETTINGDATA settings_;  // the cache settings, read once at start-up
  APPDATA app_;
  std::uint32_t& lineCount_ = app_.lineCount;
  bool divided_ = false;
  int liveRecords_ = 0;
  Memo memo_;
  std::vector<LINEDATA_STRC*> stranded_;  // left every window, write-back failed
  bool limitWarned_ = false;
  std::uint32_t invalidFrom_ = 2;  // index entries (after the first) from this line on hold no colour state
  struct OwnViews final : PaneViews {
    int active = 0;
    LineNo first[2] = {LineNo(1), LineNo(1)};
    int activePane() const override { return active; }
    LineNo firstDisplayed(int pane) const override { return first[pane == 1 ? 1 : 0]; }
  } own_;
  const PaneViews* views_ = &own_;
};

}  // namespace gorvane::document

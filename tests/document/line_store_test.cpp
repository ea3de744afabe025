// The line store: its documented edge cases, and a model-based random test
// that runs splits, joins, edits, deletions, window moves and second-pane
// opens and closes against a plain vector of lines, with small pages and a
// tiny page pool so that eviction, relocation, compaction and merging happen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "support/fake_host.h"
#include "support/line_store_model.h"
#include "support/memory_page_file.h"
#include "support/position_printers.h"

namespace doc = gorvane::document;
namespace qv = gorvane::qorvetc;
using doc::LineNo;

namespace {

TEST(LineCapacity, Classes) {
  struct {
    std::uint32_t n, capacity;
  } cases[] = {{0, 128},      {127, 128},     {128, 512},     {511, 512},     {1023, 1024},  {2047, 2048},
               {2048, 8192},  {8191, 8192},   {8192, 15360},  {15360, 15360}, {15361, 30720}};
  for (const auto& c : cases) EXPECT_EQ(doc::LineCapacity(c.n), c.capacity) << c.n;
}

TEST(PageSizeSetting, HasASaneMinimum) {
  EXPECT_EQ(doc::SanePageSize(65536), 65536u);
  EXPECT_EQ(doc::SanePageSize(100), 32768u);
  EXPECT_EQ(doc::SanePageSize(0), 32768u);
}

class LineStoreTest : public ::testing::Test {
 protected:
  void Start(std::uint32_t pageSize = 1024, std::uint32_t pages = 3) {
    doc::LineStoreSettings settings;
    settings.cache = qv::CacheSettings{pageSize, pages};
    ASSERT_TRUE(store.Start(settings, gvtest::MemoryPageFiles()));
  }
  void Load(const std::vector<std::string>& lines) {
    ASSERT_TRUE(store.BeginLoad());
    for (std::size_t i = 0; i < lines.size(); ++i)
      ASSERT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(lines[i].data()),
                                              static_cast<std::uint32_t>(lines[i].size()),
                                              static_cast<std::uint32_t>(i + 1)));
    ASSERT_TRUE(store.EndLoad(static_cast<std::uint32_t>(lines.size())));
  }
  static std::vector<std::string> Numbered(int n) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i) lines.push_back("line " + std::to_string(i) + (i < n ? "\r\n" : ""));
    return lines;
  }
  std::string Line(int n) {
    std::string s;
    EXPECT_TRUE(store.ReadLine(LineNo(n), &s)) << n;
    return s;
  }
  void ExpectConsistent() { ASSERT_EQ(store.CheckInvariants(), ""); }

  gvtest::FakeHost host;
  qv::TmpCache cache;
  doc::LineStore store{host, cache};
};

TEST_F(LineStoreTest, NewDocumentHasOneEmptyLine) {
  Start();
  EXPECT_EQ(store.lineCount(), 1u);
  EXPECT_EQ(Line(1), "");
  ASSERT_NE(store.WindowLine(0, LineNo(1)), nullptr);
  EXPECT_EQ(store.WindowLine(0, LineNo(1))->length, 0);
  ExpectConsistent();
}

TEST_F(LineStoreTest, LoadedDocumentReadsBackAndIndexesEveryHundredthLine) {
  Start();
  const auto lines = Numbered(1000);
  Load(lines);
  ExpectConsistent();
  for (int i = 1; i <= 1000; i += 37) EXPECT_EQ(Line(i), lines[static_cast<std::size_t>(i - 1)]);
  EXPECT_EQ(Line(1000), "line 1000");
  EXPECT_EQ(store.index().used, 10u);  // 1, 101, ..., 901
  EXPECT_EQ(store.WindowSize(0), 400);
  EXPECT_EQ(store.liveRecords(), 400);
}

TEST_F(LineStoreTest, FourHundredLinesStayInOneWindowAndTheFourHundredFirstEvictsOne) {
  Start();
  Load(Numbered(400));
  store.MoveLineWindow(0, LineNo(50));
  EXPECT_EQ(store.WindowFirst(0), LineNo(1));
  EXPECT_EQ(store.liveRecords(), 400);
  doc::LINEDATA_STRC* l = store.WindowLine(0, LineNo(10));
  ASSERT_NE(store.SplitLine(l, doc::CaretCol(3)), nullptr);
  EXPECT_EQ(store.lineCount(), 401u);
  EXPECT_EQ(store.liveRecords(), 400);
  EXPECT_EQ(Line(10), "li");
  EXPECT_EQ(Line(11), "ne 10\r\n");
  EXPECT_EQ(Line(401), "line 400");
  ExpectConsistent();
}

TEST_F(LineStoreTest, SplitLeavesTheOldRecordWithTheLowerHalf) {
  Start();
  Load(Numbered(150));
  doc::LINEDATA_STRC* l = store.WindowLine(0, LineNo(101));
  const std::uint32_t before = l->cacheOffset;
  doc::LINEDATA_STRC* lower = store.SplitLine(l, doc::CaretCol(6));
  ASSERT_NE(lower, nullptr);
  EXPECT_EQ(lower->cacheOffset, before);
  EXPECT_NE(store.WindowLine(0, LineNo(101))->cacheOffset, before);
  // The index entry of line 101 follows the upper half's new record.
  EXPECT_EQ(store.index().entries[1].line, 101u);
  EXPECT_EQ(store.index().entries[1].offset, store.WindowLine(0, LineNo(101))->cacheOffset);
  ExpectConsistent();
}

TEST_F(LineStoreTest, SplitOfTheWindowsLastLineKeepsTheNewLineInTheWindow) {
  Start();
  Load(Numbered(800));
  doc::LINEDATA_STRC* last = store.WindowLine(0, LineNo(400));
  ASSERT_NE(last, nullptr);
  doc::LINEDATA_STRC* lower = store.SplitLine(last, doc::CaretCol(5));
  ASSERT_NE(lower, nullptr);
  EXPECT_EQ(lower->lineNo, 401);
  EXPECT_NE(store.WindowLine(0, LineNo(401)), nullptr);
  EXPECT_EQ(store.WindowFirst(0), LineNo(2));
  ExpectConsistent();
}

// Which record leaves a full window when a line is split: the window's first
// line after the split says whether it moved down by one.
TEST_F(LineStoreTest, SplitChoosesWhichRecordLeavesTheWindow) {
  struct Case {
    const char* what;
    int lines, shownFrom, split;
    bool replacement;
    int firstAfter;
  } cases[] = {
      {"middle line: the last slot goes", 800, 1, 200, false, 1},
      {"the last slot's line: the first goes", 800, 1, 400, false, 2},
      {"window ends at the document's end above the view", 450, 200, 300, false, 52},
      {"same with replacement bytes: the last slot goes", 450, 200, 300, true, 51},
      {"window ends at the document's end, not above the view", 450, 40, 300, false, 1},
      {"window above the view, document continues", 900, 300, 300, false, 197},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto lines = Numbered(c.lines);
    Load(lines);
    store.ShowFrom(0, LineNo(c.shownFrom));
    const LineNo first = store.WindowFirst(0);
    doc::LINEDATA_STRC* l = store.BringIntoWindow(0, LineNo(c.split));
    ASSERT_NE(l, nullptr);
    ASSERT_EQ(store.WindowFirst(0), first);
    const std::string_view upper = "up\r\n";
    ASSERT_NE(store.SplitLine(l, doc::CaretCol(3), c.replacement ? &upper : nullptr), nullptr);
    EXPECT_EQ(store.WindowFirst(0), LineNo(c.firstAfter));
    EXPECT_EQ(store.WindowSize(0), 400);
    EXPECT_EQ(store.liveRecords(), 400);
    EXPECT_EQ(Line(c.lines + 1), lines.back());
    ExpectConsistent();
  }
}

TEST_F(LineStoreTest, DeletingLineOneKeepsItsEntryAndReleasesItsMarks) {
  Start();
  Load(Numbered(300));
  ASSERT_TRUE(store.SetBookmark(LineNo(1), 3));
  ASSERT_TRUE(store.SetBookmark(LineNo(2), 5));
  ASSERT_TRUE(store.DeleteLine(LineNo(1)));
  EXPECT_EQ(Line(1), "line 2\r\n");
  EXPECT_EQ(store.index().entries[0].line, 1u);
  EXPECT_EQ(store.Bookmark(LineNo(1)), 5);  // the former line 2's own mark
  ASSERT_TRUE(store.DeleteLine(LineNo(1)));
  EXPECT_EQ(store.Bookmark(LineNo(1)), 0);  // the deleted line's mark went with it
  ExpectConsistent();
}

TEST_F(LineStoreTest, MarksFollowTextPutAboveALine) {
  Start();
  Load(Numbered(20));
  ASSERT_TRUE(store.SetBookmark(LineNo(5), 2));
  ASSERT_TRUE(store.SetRangeLabel(LineNo(5), "five"));
  const std::uint16_t label = store.RangeIndex(LineNo(5));
  ASSERT_NE(label, 0);
  const std::string_view upper = "new\r\n";
  ASSERT_NE(store.SplitLine(store.WindowLine(0, LineNo(5)), doc::CaretCol(6), &upper, true), nullptr);
  EXPECT_EQ(Line(5), "new\r\n");
  EXPECT_EQ(Line(6), "line 5\r\n");
  EXPECT_EQ(store.Bookmark(LineNo(6)), 2);
  EXPECT_EQ(store.RangeIndex(LineNo(6)), label);
  EXPECT_EQ(store.RangeLabel(LineNo(6)), "five");
  EXPECT_EQ(store.Bookmark(LineNo(5)), 0);
  EXPECT_EQ(store.RangeIndex(LineNo(5)), 0);
  ExpectConsistent();
}

TEST_F(LineStoreTest, NextMarkedLineWalksTheIndexEitherWay) {
  Start();
  Load(Numbered(1000));
  for (int line : {5, 250, 700}) ASSERT_TRUE(store.SetBookmark(LineNo(line), static_cast<std::uint8_t>(line % 200)));
  for (int line : {150, 900}) ASSERT_TRUE(store.SetRangeLabel(LineNo(line), "l"));
  const auto bookmark = doc::MarkKind::Bookmark, range = doc::MarkKind::Range;
  struct {
    int from, step;
    doc::MarkKind kind;
    int found;  // 0: none
  } cases[] = {
      {1, 1, bookmark, 5},     {4, 1, bookmark, 5},      {5, 1, bookmark, 250},  // strictly after
      {300, 1, bookmark, 700}, {700, 1, bookmark, 0},    {0, 1, bookmark, 5},    // from above line 1
      {1000, -1, bookmark, 700}, {250, -1, bookmark, 5}, {5, -1, bookmark, 0},
      {2000, -1, bookmark, 700},                                                  // from below the end
      {1, 1, range, 150},      {150, 1, range, 900},     {900, -1, range, 150},  {149, -1, range, 0},
      {5, 1, range, 150},      {901, 1, range, 0},
  };
  for (const auto& c : cases) {
    const auto got = store.NextMarkedLine(LineNo(c.from), c.step, c.kind);
    EXPECT_EQ(got.value_or(LineNo(0)), LineNo(c.found)) << c.from << " step " << c.step;
  }
}

TEST_F(LineStoreTest, BookmarkNumbersAreAtMost255) {
  Start();
  Load(Numbered(300));
  EXPECT_EQ(store.FreeBookmarkNumber(), 1);
  for (int n = 1; n <= 255; ++n) ASSERT_TRUE(store.SetBookmark(LineNo(n), static_cast<std::uint8_t>(n)));
  EXPECT_EQ(store.BookmarkCount(), 255);
  EXPECT_EQ(store.FreeBookmarkNumber(), 0);  // a 256th is refused
  ASSERT_TRUE(store.SetBookmark(LineNo(40), 0));
  EXPECT_EQ(store.BookmarkCount(), 254);
  EXPECT_EQ(store.FreeBookmarkNumber(), 40);
  ExpectConsistent();
}

TEST_F(LineStoreTest, RangeLabelsAreAtMost1024AndSlotsAreReused) {
  Start();
  Load(Numbered(1100));
  for (int line = 1; line <= doc::kRangeLabelSlots; ++line)
    ASSERT_TRUE(store.SetRangeLabel(LineNo(line), "label " + std::to_string(line))) << line;
  EXPECT_EQ(store.RangeLabelCount(), 1024);
  EXPECT_FALSE(store.SetRangeLabel(LineNo(1050), "one too many"));
  EXPECT_EQ(store.RangeIndex(LineNo(1050)), 0);
  // Renaming a labelled line needs no slot.
  ASSERT_TRUE(store.SetRangeLabel(LineNo(7), "renamed"));
  EXPECT_EQ(store.RangeLabel(LineNo(7)), "renamed");
  EXPECT_TRUE(store.ClearRangeLabel(LineNo(500)));
  EXPECT_FALSE(store.ClearRangeLabel(LineNo(500)));
  EXPECT_EQ(store.RangeLabel(LineNo(500)), "");
  ASSERT_TRUE(store.SetRangeLabel(LineNo(1050), "now there is room"));
  EXPECT_EQ(store.RangeIndex(LineNo(1050)), 500);  // the freed slot
  EXPECT_EQ(store.RangeLabelCount(), 1024);
  ExpectConsistent();
}

TEST_F(LineStoreTest, RangeLabelsFollowTheirLines) {
  Start();
  Load(Numbered(300));
  for (int line : {1, 2, 10, 20, 30, 250}) ASSERT_TRUE(store.SetRangeLabel(LineNo(line), "at " + std::to_string(line)));
  ASSERT_TRUE(store.DeleteLine(LineNo(1)));  // line 1's label goes; line 2's becomes line 1's
  ASSERT_TRUE(store.DeleteLine(LineNo(9)));  // the former line 10
  ASSERT_NE(store.SplitLine(store.WindowLine(0, LineNo(18)), doc::CaretCol(3)), nullptr);  // Enter: the label stays above
  ASSERT_NE(store.JoinLineWithPrevious(store.WindowLine(0, LineNo(29))), nullptr);  // the former line 30 joins 28
  using Labels = std::vector<std::pair<LineNo, std::string>>;
  EXPECT_EQ(store.RangeLabels(), (Labels{{LineNo(1), "at 2"}, {LineNo(18), "at 20"}, {LineNo(248), "at 250"}}));
  EXPECT_EQ(store.RangeLabelCount(), 3);
  ExpectConsistent();
  // A reload that puts the same label indexes back finds the labels again.
  std::vector<std::pair<std::uint32_t, std::uint16_t>> kept;
  for (std::uint32_t i = 0; i < store.index().used; ++i)
    if (store.index().entries[i].rangeIndex != 0) kept.emplace_back(store.index().entries[i].line, store.index().entries[i].rangeIndex);
  Load(Numbered(300));
  EXPECT_EQ(store.RangeLabelCount(), 0);
  for (const auto& [line, index] : kept) ASSERT_TRUE(store.SetRangeIndex(LineNo(static_cast<int>(line)), index));
  EXPECT_EQ(store.RangeLabel(LineNo(18)), "at 20");
  ExpectConsistent();
}

TEST_F(LineStoreTest, SharedLineIsWrittenBackWhenTheLastWindowLetsItGo) {
  Start();
  Load(Numbered(2000));
  ASSERT_TRUE(store.OpenSecondPane(LineNo(200)));
  doc::LINEDATA_STRC* shared = store.WindowLine(1, LineNo(300));
  ASSERT_EQ(shared, store.WindowLine(0, LineNo(300)));
  ASSERT_TRUE(store.SetLineText(shared, "changed\r\n"));
  const std::uint32_t offset = shared->cacheOffset;
  store.MoveLineWindow(1, LineNo(1000));  // pane 0 still holds it: not written back
  doc::RecordHeader h;
  cache.RecordAt(offset, &h);
  EXPECT_EQ(h.length, std::string("line 300\r\n").size());
  store.MoveLineWindow(0, LineNo(1500));  // now nobody does
  EXPECT_EQ(Line(300), "changed\r\n");
  doc::LINEDATA_STRC* none = nullptr;
  const std::uint32_t now = store.LineOffsetOf(LineNo(300), &none);
  EXPECT_EQ(none, nullptr);
  const std::uint8_t* text = cache.RecordAt(now, &h);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text), h.length), "changed\r\n");
  store.CloseSecondPane();
  ExpectConsistent();
}

TEST_F(LineStoreTest, LineLimitWarnsOnceByBoxThenByStatus) {
  Start(65536, 8);
  const std::string text = "x\r\n";
  ASSERT_TRUE(store.BeginLoad());
  for (std::uint32_t i = 1; i <= doc::kMaxLines; ++i)
    ASSERT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(text.data()), 3, i));
  ASSERT_TRUE(store.EndLoad(doc::kMaxLines));
  ASSERT_NE(store.SplitLine(store.WindowLine(0, LineNo(1)), doc::CaretCol(2)), nullptr);
  ASSERT_NE(store.SplitLine(store.WindowLine(0, LineNo(1)), doc::CaretCol(1)), nullptr);
  EXPECT_EQ(store.lineCount(), doc::kMaxLines + 2);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text,
            "編集可能行数を超えました。\nプログラムが異常終了する可能性がありますので編集を中止して下さい。");
  EXPECT_EQ(host.boxes[0].caption, "Gorvane");
  ASSERT_EQ(host.statuses.size(), 1u);
  EXPECT_EQ(host.statuses[0], "編集可能行数を超えました。編集を中止して下さい。");
  EXPECT_EQ(host.beeps, 1);
  EXPECT_EQ(Line(static_cast<int>(doc::kMaxLines + 2)), "x\r\n");
}

TEST_F(LineStoreTest, FullIndexRefusesMarksButStaysValid) {
  Start();
  Load(Numbered(500));
  store.LimitIndexCommitForTest(8 * sizeof(doc::TMPOFFSET));  // the loaded entries and a little more
  int set = 0;
  for (int line = 2; line < 100; ++line) set += store.SetBookmark(LineNo(line), 1) ? 1 : 0;
  EXPECT_LT(set, 98);
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_EQ(host.boxes[0].caption, "Gorvanedebug");
  EXPECT_EQ(host.boxes[0].text,
            "テンポラリオフセット配列の再コミットに失敗しました。\nバグの可能性が大きいです。\nResizeTmpOffset関数 (file = le_memory)");
  ExpectConsistent();
  // Splits still work; the index only stays sparser.
  ASSERT_NE(store.SplitLine(store.WindowLine(0, LineNo(50)), doc::CaretCol(2)), nullptr);
  ExpectConsistent();
}

// A line whose write-back cannot reach the cache (the page file refuses
// writes) keeps its text in memory and reaches the cache later.
TEST_F(LineStoreTest, FailedWriteBackNeverLosesTheLine) {
  bool failWrites = false;
  doc::LineStoreSettings settings;
  settings.cache = qv::CacheSettings{1024, 2};
  ASSERT_TRUE(store.Start(settings, [&] { return std::make_unique<gvtest::MemoryPageFile>(&failWrites); }));
  Load(Numbered(2000));
  const std::string grown(300, 'g');
  ASSERT_TRUE(store.SetLineText(store.WindowLine(0, LineNo(10)), grown + "\r\n"));
  failWrites = true;
  store.MoveLineWindow(0, LineNo(1500));  // line 10 leaves the window; its page cannot be written
  EXPECT_EQ(Line(10), grown + "\r\n");
  failWrites = false;
  store.MoveLineWindow(0, LineNo(800));
  EXPECT_EQ(Line(10), grown + "\r\n");
  doc::LINEDATA_STRC* inWindow = nullptr;
  const std::uint32_t offset = store.LineOffsetOf(LineNo(10), &inWindow);
  EXPECT_EQ(inWindow, nullptr);
  doc::RecordHeader h;
  const std::uint8_t* text = cache.RecordAt(offset, &h);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text), h.length), grown + "\r\n");
  ExpectConsistent();
}

// A window move whose entering lines cannot be read leaves the windows as
// they were, modified lines included.
TEST_F(LineStoreTest, FailedReadKeepsTheOldWindow) {
  bool failReads = false;
  doc::LineStoreSettings settings;
  settings.cache = qv::CacheSettings{1024, 2};
  ASSERT_TRUE(store.Start(settings, [&] { return std::make_unique<gvtest::MemoryPageFile>(nullptr, &failReads); }));
  const auto lines = Numbered(2000);
  Load(lines);
  ASSERT_TRUE(store.SetLineText(store.WindowLine(0, LineNo(10)), "edited\r\n"));
  store.MoveLineWindow(0, LineNo(600));
  store.MoveLineWindow(0, LineNo(1));  // the pool now holds pages near line 600 and the start
  ASSERT_TRUE(store.SetLineText(store.WindowLine(0, LineNo(20)), "edited too\r\n"));
  failReads = true;
  store.MoveLineWindow(0, LineNo(1500));
  EXPECT_EQ(store.WindowFirst(0), LineNo(1));
  EXPECT_EQ(store.WindowSize(0), 400);
  ASSERT_NE(store.WindowLine(0, LineNo(20)), nullptr);
  EXPECT_EQ(store.WindowLine(0, LineNo(20))->flags & doc::kModified, doc::kModified);
  failReads = false;
  ExpectConsistent();
  store.MoveLineWindow(0, LineNo(1500));
  EXPECT_EQ(store.WindowFirst(0), LineNo(1500));
  EXPECT_EQ(Line(10), "edited\r\n");
  EXPECT_EQ(Line(20), "edited too\r\n");
  EXPECT_EQ(Line(1999), lines[1998]);
  ExpectConsistent();
}

// Edits go through the line's window record; a copy or a line outside every
// window is refused and changes nothing.
TEST_F(LineStoreTest, EditsNeedTheLinesWindowRecord) {
  Start();
  const auto lines = Numbered(1000);
  Load(lines);
  doc::LINEDATA_STRC stranger = *store.WindowLine(0, LineNo(5));
  EXPECT_FALSE(store.SetLineText(&stranger, "x\r\n"));
  EXPECT_EQ(store.SplitLine(&stranger, doc::CaretCol(2)), nullptr);
  EXPECT_EQ(store.JoinLineWithPrevious(&stranger), nullptr);
  EXPECT_EQ(store.WindowLine(0, LineNo(900)), nullptr);
  doc::LINEDATA_STRC* far = store.BringIntoWindow(0, LineNo(900));
  ASSERT_NE(far, nullptr);
  EXPECT_TRUE(store.SetLineText(far, "far\r\n"));
  EXPECT_EQ(store.lineCount(), 1000u);
  EXPECT_EQ(Line(5), lines[4]);
  EXPECT_EQ(Line(900), "far\r\n");
  ExpectConsistent();
}

// Every window line is found by its cache offset, never a freed record.
TEST_F(LineStoreTest, FindMemLineFindsEveryWindowLine) {
  Start();
  Load(Numbered(1200));
  ASSERT_TRUE(store.OpenSecondPane(LineNo(300)));
  for (int round = 0; round < 3; ++round) {
    for (int pane = 0; pane < 2; ++pane)
      for (int i = 0; i < store.WindowSize(pane); ++i) {
        doc::LINEDATA_STRC* r = store.WindowLine(pane, store.WindowFirst(pane) + i);
        ASSERT_EQ(store.FindMemLine(r->cacheOffset), r);
      }
    store.MoveLineWindow(1, LineNo(700 + 100 * round));
    ASSERT_NE(store.SplitLine(store.WindowLine(0, LineNo(5)), doc::CaretCol(2)), nullptr);
  }
  ExpectConsistent();
}

// Runs of whole lines put in or taken out: bookmarks and range labels stay
// with their lines' text, and go with the lines taken out.
TEST_F(LineStoreTest, BulkLinesKeepMarksWithTheirText) {
  struct Case {
    const char* what;
    bool insert;
    int at, count;
    std::vector<int> now;  // where the marked lines 1, 300, 301 and 1000 are afterwards (0: gone)
  } cases[] = {
      {"250 put above line 1", true, 1, 250, {251, 550, 551, 1250}},
      {"250 put above a marked line", true, 300, 250, {1, 550, 551, 1250}},
      {"3 put above the last line", true, 1000, 3, {1, 300, 301, 1003}},
      {"one more than the window put in the middle", true, 500, 401, {1, 300, 301, 1401}},
      {"lines 1 .. 299 taken out: line 300's marks become line 1's", false, 1, 299, {0, 1, 2, 701}},
      {"lines 300 .. 999 taken out", false, 300, 700, {1, 0, 0, 300}},
      {"all but line 1 taken out", false, 2, 999, {1, 0, 0, 0}},
      {"all but the last line taken out", false, 1, 999, {0, 0, 0, 1}},
  };
  const std::vector<int> marked = {1, 300, 301, 1000};
  const std::vector<int> labelled = {1, 300, 1000};
  Start();
  const auto lines = Numbered(1000);
  std::vector<std::string> put;
  for (int i = 0; i < 401; ++i) put.push_back("new " + std::to_string(i) + "\r\n");
  const std::vector<std::string_view> views(put.begin(), put.end());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(lines);
    ASSERT_TRUE(store.OpenSecondPane(LineNo(280)));  // both windows hold marked lines
    for (std::size_t m = 0; m < marked.size(); ++m)
      ASSERT_TRUE(store.SetBookmark(LineNo(marked[m]), static_cast<std::uint8_t>(m + 1)));
    for (int line : labelled) ASSERT_TRUE(store.SetRangeLabel(LineNo(line), "at " + std::to_string(line)));
    if (c.insert) {
      ASSERT_TRUE(store.InsertLines(LineNo(c.at), std::span(views).first(static_cast<std::size_t>(c.count))));
      EXPECT_EQ(Line(c.at), put[0]);
      EXPECT_EQ(Line(c.at + c.count - 1), put[static_cast<std::size_t>(c.count - 1)]);
    } else {
      ASSERT_TRUE(store.RemoveLines(LineNo(c.at), c.count));
    }
    std::vector<std::pair<LineNo, std::string>> labels;
    int bookmarks = 0;
    for (std::size_t m = 0; m < marked.size(); ++m) {
      const int now = c.now[m];
      if (now == 0) continue;
      ++bookmarks;
      EXPECT_EQ(Line(now), lines[static_cast<std::size_t>(marked[m] - 1)]);
      EXPECT_EQ(store.Bookmark(LineNo(now)), m + 1) << "line " << now;
      if (std::find(labelled.begin(), labelled.end(), marked[m]) != labelled.end())
        labels.emplace_back(LineNo(now), "at " + std::to_string(marked[m]));
    }
    EXPECT_EQ(store.BookmarkCount(), bookmarks);
    EXPECT_EQ(store.RangeLabels(), labels);
    // The labels of the lines taken out are free again.
    EXPECT_EQ(store.RangeLabelCount(), static_cast<int>(labels.size()));
    ExpectConsistent();
    store.CloseSecondPane();
  }
}

TEST_F(LineStoreTest, InsertLinesStopsAtTheLineLimitAndAtATooLongLine) {
  Start(65536, 8);
  const std::string text = "x\r\n";
  ASSERT_TRUE(store.BeginLoad());
  for (std::uint32_t i = 1; i <= doc::kMaxLines - 5; ++i)
    ASSERT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(text.data()), 3, i));
  ASSERT_TRUE(store.EndLoad(doc::kMaxLines - 5));
  const std::vector<std::string_view> ten = {"0\r\n", "1\r\n", "2\r\n", "3\r\n", "4\r\n",
                                             "5\r\n", "6\r\n", "7\r\n", "8\r\n", "9\r\n"};
  const int at = 800000;
  EXPECT_FALSE(store.InsertLines(LineNo(at), ten));
  EXPECT_EQ(store.lineCount(), doc::kMaxLines);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Line(at + i), ten[static_cast<std::size_t>(i)]);
  EXPECT_EQ(Line(at + 5), text);
  EXPECT_FALSE(store.InsertLines(LineNo(1), std::span(ten).first(1)));
  EXPECT_EQ(store.lineCount(), doc::kMaxLines);
  EXPECT_EQ(Line(1), text);
  EXPECT_TRUE(host.boxes.empty());

  // A line too long for a record ends what goes in.
  Load(Numbered(50));
  const std::string tooLong(doc::kMaxLineBytes + 1, 'l');
  const std::vector<std::string_view> lines = {"a\r\n", "b\r\n", tooLong, "c\r\n"};
  EXPECT_FALSE(store.InsertLines(LineNo(10), lines));
  EXPECT_EQ(store.lineCount(), 52u);
  EXPECT_EQ(Line(10), "a\r\n");
  EXPECT_EQ(Line(11), "b\r\n");
  EXPECT_EQ(Line(12), "line 10\r\n");
  ExpectConsistent();
}

TEST_F(LineStoreTest, BulkLinesRefuseRunsOutsideTheDocument) {
  Start();
  const auto lines = Numbered(100);
  Load(lines);
  const std::vector<std::string_view> one = {"new\r\n"};
  EXPECT_FALSE(store.InsertLines(LineNo(0), one));
  EXPECT_FALSE(store.InsertLines(LineNo(101), one));  // below the last line: not a place above a line
  EXPECT_TRUE(store.InsertLines(LineNo(5), {}));
  struct {
    int first, count;
    bool done;
  } removals[] = {{1, 100, false},  // the document keeps a line
                  {0, 1, false},    {100, 2, false}, {101, 1, false},
                  {5, 0, true},     {5, -3, true}};  // nothing to take out
  for (const auto& r : removals) EXPECT_EQ(store.RemoveLines(LineNo(r.first), r.count), r.done) << r.first << " " << r.count;
  EXPECT_EQ(store.lineCount(), 100u);
  for (int i = 1; i <= 100; ++i) ASSERT_EQ(Line(i), lines[static_cast<std::size_t>(i - 1)]);
  ExpectConsistent();
}

// A cache that cannot take more pages part-way through a run: what went in
// stays, in order, and the store stays whole; a run whose pages cannot be read
// is not taken out at all.
TEST_F(LineStoreTest, BulkLinesFailingPartWayLeaveTheStoreWhole) {
  bool failWrites = false, failReads = false;
  doc::LineStoreSettings settings;
  settings.cache = qv::CacheSettings{1024, 2};
  ASSERT_TRUE(store.Start(settings, [&] { return std::make_unique<gvtest::MemoryPageFile>(&failWrites, &failReads); }));
  const auto lines = Numbered(1000);
  Load(lines);
  std::vector<std::string> put;
  for (int i = 0; i < 200; ++i) put.push_back("new " + std::to_string(i) + "\r\n");
  const std::vector<std::string_view> views(put.begin(), put.end());

  failWrites = true;  // a new append page needs a page written out
  EXPECT_FALSE(store.InsertLines(LineNo(380), views));
  failWrites = false;
  const int in = static_cast<int>(store.lineCount()) - 1000;
  ASSERT_GT(in, 0);
  ASSERT_LT(in, 200);
  ASSERT_FALSE(host.boxes.empty());
  ExpectConsistent();
  ASSERT_TRUE(store.InsertLines(LineNo(380 + in), std::span(views).subspan(static_cast<std::size_t>(in))));
  for (int i = 0; i < 200; ++i) ASSERT_EQ(Line(380 + i), put[static_cast<std::size_t>(i)]);
  EXPECT_EQ(Line(580), lines[379]);
  ExpectConsistent();

  // Lines are taken out only once every record of the run and every line
  // that then enters a window could be read.
  store.MoveLineWindow(0, LineNo(700));  // the pool holds only pages of lines near 1100
  ASSERT_TRUE(store.SetLineText(store.WindowLine(0, LineNo(1090)), "edited\r\n"));
  failReads = true;
  EXPECT_FALSE(store.RemoveLines(LineNo(600), 500));
  failReads = false;
  EXPECT_EQ(store.lineCount(), 1200u);
  EXPECT_EQ(Line(1090), "edited\r\n");
  ExpectConsistent();
  ASSERT_TRUE(store.RemoveLines(LineNo(600), 500));
  EXPECT_EQ(Line(599), lines[398]);
  EXPECT_EQ(Line(600), lines[899]);
  EXPECT_EQ(store.lineCount(), 700u);
  ExpectConsistent();
}

// ---- the model-based test -------------------------------------------------------------------

using gvtest::ModelRun;

class LineStoreModel : public ::testing::TestWithParam<ModelRun> {};

TEST_P(LineStoreModel, AgreesWithAVectorOfLines) {
  qv::TmpCache cache;
  gvtest::RunLineStoreModel(cache, GetParam(), gvtest::MemoryPageFiles());
}

ModelRun LongRunFromEnvironment() {
  const char* steps = std::getenv("GV_MODEL_STEPS");
  return ModelRun{12345, steps ? std::atoi(steps) : 0, 1024, 2};
}

INSTANTIATE_TEST_SUITE_P(Seeds, LineStoreModel,
                         ::testing::Values(ModelRun{1, 1500, 1024, 2}, ModelRun{2, 1500, 1024, 3},
                                           ModelRun{3, 1500, 2048, 4}, ModelRun{4, 1500, 512, 2}));

// GV_MODEL_STEPS=100000 runs a long one.
INSTANTIATE_TEST_SUITE_P(Long, LineStoreModel, ::testing::Values(LongRunFromEnvironment()));

}  // namespace

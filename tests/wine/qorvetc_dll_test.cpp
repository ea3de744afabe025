// QORVetc.dll as the editor uses it: loaded by name, the records registered
// once, a chain of lines built and read back through the exports while the
// library pages to its real temporary file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "companions/qorvetc/qorvetc_win32.h"
#include "companions/qorvetc/cache_layout.h"

namespace doc = gorvane::document;

namespace {

class QorvetcDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dll_ = LoadLibraryW(L"QORVetc.dll"); }
  static void TearDownTestSuite() {
    if (dll_) FreeLibrary(dll_);
  }
  template <typename F>
  static F Get(const char* name) {
    FARPROC p = GetProcAddress(dll_, name);
    EXPECT_NE(p, nullptr) << name;
    return reinterpret_cast<F>(reinterpret_cast<void*>(p));
  }

  // Registers fresh records and starts a cache of small pages, two in memory.
  void SetUp() override {
    ASSERT_NE(dll_, nullptr);
    settings_.pageSize = 4096;
    settings_.memoryPages = 2;
    indexEntries_.assign(64, doc::TMPOFFSET{});
    index_.entries = indexEntries_.data();
    index_.committed = static_cast<std::uint32_t>(indexEntries_.size());
    Get<SetStructPointer_t>("SetStructPointer")(&chain_, &settings_, nullptr, nullptr, nullptr, &app_, &windows_,
                                                &marge_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &index_,
                                                nullptr);
    ASSERT_TRUE(Get<TmpCacheInit_t>("TmpCacheInit")());
    ASSERT_TRUE(Get<CreateTmpCache_t>("CreateTmpCache")());
    ASSERT_TRUE(Get<CreateTmpHdMem_t>("CreateTmpHdMem")());
  }
  void TearDown() override {
    if (dll_ == nullptr) return;
    Get<DeleteTmpCacheAll_t>("DeleteTmpCacheAll")();
    Get<DestroyTmpHdMem_t>("DestroyTmpHdMem")();
  }

  static std::string LineText(std::uint32_t n) {
    return "line " + std::to_string(n) + std::string(n % 37, 'x') + "\x82\xa0\r\n";
  }

  // Appends lines 1..n at the chain's end with an index entry every 100 lines.
  void Build(std::uint32_t n) {
    auto append = Get<CreateOneLineTmpCache2_t>("CreateOneLineTmpCache2");
    std::uint32_t prev = 0, used = 0;
    for (std::uint32_t i = 1; i <= n; ++i) {
      std::string t = LineText(i);
      doc::LINEDATA_STRC line;
      line.lineNo = static_cast<std::int32_t>(i);
      line.text = reinterpret_cast<std::uint8_t*>(t.data());
      line.length = static_cast<std::uint16_t>(t.size());
      const DWORD at = append(&line, prev, 0);
      ASSERT_NE(at, 0u) << i;
      if (i % 100 == 1) indexEntries_[used++] = doc::TMPOFFSET{i, at, 0, 0, 0, 0, {0, 0}};
      prev = at;
    }
    index_.used = used;
    app_.lineCount = n;
  }

  // The text of the record at offset, read through its page.
  std::string RecordText(DWORD offset) {
    BYTE* page = Get<GetTmpCachePage_t>("GetTmpCachePage")(1, offset, 0);
    if (page == nullptr) return "<no page>";
    std::uint32_t base;
    std::memcpy(&base, page, 4);
    const doc::RecordHeader h = doc::LoadRecordHeader(page + (offset - base));
    return std::string(reinterpret_cast<const char*>(page + (offset - base) + doc::kRecordHeaderSize), h.length);
  }

  static HMODULE dll_;
  doc::TPALLCACHE_MNG chain_;
  doc::SETTINGDATA settings_;
  doc::APPDATA app_;
  doc::MEMDATA windows_;
  doc::MARGEDATA marge_;
  doc::TMPOFFSET_MNG index_;
  std::vector<doc::TMPOFFSET> indexEntries_;
};
HMODULE QorvetcDll::dll_ = nullptr;

TEST_F(QorvetcDll, ExportsEveryFunctionByName) {
  for (const char* name :
       {"GetQORVetc_version", "SetStructPointer", "TmpCacheInit", "CreateTmpCache", "CreateTmpHdMem",
        "DestroyTmpHdMem", "DeleteTmpCacheAll", "GetTmpCachePage", "CreateNewTmpCachePage", "GetLDataSpace",
        "CreateOneLineTmpCache2", "OverWriteOneLineToTmpCache", "WriteBackLineListToTmpCache",
        "EntryEmptyTmpCachePage", "EntryMargePage", "DeleteMargeArray", "GetTmpCacheOffset", "GetTmpCacheOffset2",
        "SearchOffsetArrArea", "MakeOffsetList", "CoordinationOffset", "CoordinationOffset2", "GetTmpCacheMoveCount",
        "PinTmpCachePage", "UnpinTmpCachePage", "UnlinkTmpCacheRecord"})
    EXPECT_NE(GetProcAddress(dll_, name), nullptr) << name;
  EXPECT_GE(Get<GetQORVetc_version_t>("GetQORVetc_version")(), 372);
  auto space = Get<GetLDataSpace_t>("GetLDataSpace");
  EXPECT_EQ(space(0), 16);
  EXPECT_EQ(space(17), 32);
  EXPECT_EQ(space(4096), 0);  // cannot fit in a 4,096-byte page
}

TEST_F(QorvetcDll, ChainPagedThroughTheTemporaryFile) {
  constexpr std::uint32_t kLines = 3000;  // about 30 pages, two in memory
  Build(kLines);
  auto offsetOf = Get<GetTmpCacheOffset_t>("GetTmpCacheOffset");
  auto walk = Get<GetTmpCacheOffset2_t>("GetTmpCacheOffset2");
  for (std::uint32_t line : {1u, 2u, 100u, 101u, 1234u, 2999u, 3000u, 777u, 1u})
    EXPECT_EQ(RecordText(offsetOf(line)), LineText(line)) << line;
  EXPECT_EQ(offsetOf(kLines + 1), 0u);
  EXPECT_EQ(offsetOf(0), 0u);
  EXPECT_EQ(walk(offsetOf(500), -250), offsetOf(250));
  EXPECT_EQ(walk(offsetOf(2990), 10), offsetOf(3000));
  EXPECT_EQ(walk(offsetOf(2990), 11), 0u);
  EXPECT_EQ(chain_.firstOffset, offsetOf(1));
  EXPECT_EQ(chain_.lastOffset, offsetOf(kLines));

  BOOL last = FALSE;
  doc::TMPOFFSET* e = Get<SearchOffsetArrArea_t>("SearchOffsetArrArea")(250, &last);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->line, 201u);
  EXPECT_FALSE(last);
  e = Get<SearchOffsetArrArea_t>("SearchOffsetArrArea")(2950, &last);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->line, 2901u);
  EXPECT_TRUE(last);
}

TEST_F(QorvetcDll, OverwriteRelocatesAGrownLineAndTheIndexFollows) {
  Build(400);
  auto offsetOf = Get<GetTmpCacheOffset_t>("GetTmpCacheOffset");
  const DWORD before = offsetOf(101);
  std::string grown = std::string(600, 'y') + "\r\n";
  doc::LINEDATA_STRC line;
  line.lineNo = 101;
  line.text = reinterpret_cast<std::uint8_t*>(grown.data());
  line.length = static_cast<std::uint16_t>(grown.size());
  line.cacheOffset = before;
  line.flags = doc::kModified | doc::kInPane0;
  windows_.slots[0][0] = &line;
  ASSERT_TRUE(Get<OverWriteOneLineToTmpCache_t>("OverWriteOneLineToTmpCache")(&line));
  EXPECT_NE(line.cacheOffset, before);
  EXPECT_EQ(line.flags & doc::kModified, 0);
  EXPECT_EQ(offsetOf(101), line.cacheOffset);  // the index entry of line 101 followed
  EXPECT_EQ(RecordText(offsetOf(101)), grown);
  EXPECT_EQ(RecordText(offsetOf(100)), LineText(100));
  EXPECT_EQ(RecordText(offsetOf(102)), LineText(102));

  // A shorter text is written in place by the write-back of all window lines.
  grown = "short\r\n";
  line.length = static_cast<std::uint16_t>(grown.size());
  line.flags |= doc::kModified;
  const DWORD moved = line.cacheOffset;
  ASSERT_TRUE(Get<WriteBackLineListToTmpCache_t>("WriteBackLineListToTmpCache")());
  EXPECT_EQ(line.cacheOffset, moved);
  EXPECT_EQ(RecordText(offsetOf(101)), "short\r\n");

  Get<MakeOffsetList_t>("MakeOffsetList")();
  EXPECT_EQ(marge_.listCount, 1u);
  EXPECT_EQ(marge_.list[0].line, &line);
  windows_.slots[0][0] = nullptr;
}

TEST_F(QorvetcDll, ThePinnedPageStaysInMemory) {
  Build(3000);
  auto page = Get<GetTmpCachePage_t>("GetTmpCachePage");
  auto offsetOf = Get<GetTmpCacheOffset_t>("GetTmpCacheOffset");
  const DWORD at = offsetOf(10);
  chain_.pinnedPage = at - at % settings_.pageSize;
  BYTE* pinned = page(1, at, 0);
  ASSERT_NE(pinned, nullptr);
  for (std::uint32_t line = 500; line <= 3000; line += 250) EXPECT_EQ(RecordText(offsetOf(line)), LineText(line));
  EXPECT_EQ(page(1, at, 0), pinned);  // still the same image
  std::uint32_t base;
  std::memcpy(&base, pinned, 4);
  EXPECT_EQ(base, chain_.pinnedPage);
  chain_.pinnedPage = -1;
  for (std::uint32_t line = 500; line <= 3000; line += 250) EXPECT_EQ(RecordText(offsetOf(line)), LineText(line));
  EXPECT_EQ(RecordText(offsetOf(10)), LineText(10));
}

// The calls the line store makes besides those above: unlinking a record,
// pinning pages, reporting a move with the line's number, the move count.
TEST_F(QorvetcDll, UnlinkPinAndMovesForTheLineStore) {
  Build(3000);
  auto offsetOf = Get<GetTmpCacheOffset_t>("GetTmpCacheOffset");
  auto walk = Get<GetTmpCacheOffset2_t>("GetTmpCacheOffset2");
  auto moves = Get<GetTmpCacheMoveCount_t>("GetTmpCacheMoveCount");

  // Line 150 out of the chain: 149 and 151 are neighbours now.
  const DWORD gone = offsetOf(150), before = offsetOf(149), after = offsetOf(151);
  ASSERT_TRUE(Get<UnlinkTmpCacheRecord_t>("UnlinkTmpCacheRecord")(gone));
  EXPECT_EQ(walk(before, 1), after);
  EXPECT_EQ(walk(after, -1), before);
  BYTE* page = Get<GetTmpCachePage_t>("GetTmpCachePage")(1, gone, 0);
  ASSERT_NE(page, nullptr);
  EXPECT_NE(page[gone % settings_.pageSize + 14] & 0x01, 0) << "marked deleted";
  EXPECT_FALSE(Get<UnlinkTmpCacheRecord_t>("UnlinkTmpCacheRecord")(0));

  // A pinned page keeps its image while many others are read (two in memory).
  auto pin = Get<PinTmpCachePage_t>("PinTmpCachePage");
  auto unpin = Get<UnpinTmpCachePage_t>("UnpinTmpCachePage");
  const DWORD at = offsetOf(10);
  ASSERT_TRUE(pin(at));
  BYTE* pinned = Get<GetTmpCachePage_t>("GetTmpCachePage")(1, at, 0);
  for (std::uint32_t line = 500; line <= 3000; line += 250) EXPECT_EQ(RecordText(offsetOf(line)), LineText(line));
  EXPECT_EQ(Get<GetTmpCachePage_t>("GetTmpCachePage")(1, at, 0), pinned);
  unpin(at);

  // A move reported with the line's number: its index entry follows, and the
  // move count changes.
  const DWORD count = moves();
  const DWORD line201 = offsetOf(201), line202 = offsetOf(202);
  Get<CoordinationOffset2_t>("CoordinationOffset2")(line201, line202, 201);
  EXPECT_EQ(indexEntries_[2].line, 201u);
  EXPECT_EQ(indexEntries_[2].offset, line202);
  EXPECT_NE(moves(), count);
  Get<CoordinationOffset2_t>("CoordinationOffset2")(line202, line201, 201);
  EXPECT_EQ(offsetOf(202), line202);
}

TEST_F(QorvetcDll, MergeCandidatesAndNewPages) {
  auto entry = Get<EntryMargePage_t>("EntryMargePage");
  auto remove = Get<DeleteMargeArray_t>("DeleteMargeArray");
  entry(4096);
  entry(8192);
  entry(4096);
  EXPECT_EQ(marge_.candidateCount, 2u);
  EXPECT_TRUE(marge_.mergePending);
  remove(4096);
  EXPECT_EQ(marge_.candidateCount, 1u);
  EXPECT_EQ(marge_.candidates[0], 8192);
  EXPECT_FALSE(marge_.mergePending);

  BYTE* fresh = Get<CreateNewTmpCachePage_t>("CreateNewTmpCachePage")(2);
  ASSERT_NE(fresh, nullptr);
  const doc::PageHeader h = doc::LoadPageHeader(fresh);
  EXPECT_EQ(h.freeBytes, 4096u - 16);
  EXPECT_EQ(h.nextFree, h.baseOffset + 16);
  EXPECT_EQ(app_.creatingPage, 0);
}

// ---- the search exports by name ----

template <typename F>
F Export(HMODULE dll, const char* name) {
  FARPROC p = GetProcAddress(dll, name);
  EXPECT_NE(p, nullptr) << name;
  return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

TEST(QorvetcSearchExports, SearchFoldAndWildcardByName) {
  HMODULE dll = LoadLibraryW(L"QORVetc.dll");
  ASSERT_NE(dll, nullptr);
  // 表 (0x95 0x5C) and a backslash: the hit is the backslash, not 表's second byte.
  const char line[] = "\x95\x5C\x5C" "ab";
  const int length = static_cast<int>(sizeof line - 1);
  auto bm = Export<BmStrSearch_t>(dll, "BmStrSearch");
  auto back = Export<BmStrSearch_t>(dll, "BmStrBackSearch");
  EXPECT_EQ(bm("\\", 1, 0, line, length, 0), line + 2);
  EXPECT_EQ(back("\\", 1, -1, line, length, 0), line + 2);
  EXPECT_EQ(bm("x", 1, 0, line, length, 1), nullptr);
  EXPECT_EQ(Export<CheckSiftJisCode_t>(dll, "CheckSiftJisCode")(line + 1, line), 0);
  EXPECT_EQ(Export<CheckCharType_t>(dll, "CheckCharType")(0x815B), 7);

  char upper[] = "AB\x83\x41";  // AB ア
  Export<StrCnv_t>(dll, "StrCnvUpperToLower")(upper);
  EXPECT_STREQ(upper, "ab\x83\x41");

  // が folds to ｶﾞ; the folded hit of both bytes maps back to it.
  char text[] = "x\x82\xAA";
  BYTE map[3] = {};
  EXPECT_EQ(Export<FoldText_t>(dll, "FoldText")(text, 3, map), 0);
  EXPECT_EQ(map[1], 33);
  EXPECT_EQ(map[2], 1);
  int offset = -1;
  auto size = Export<GetSchStrSize_t>(dll, "GetSchStrSize");
  EXPECT_EQ(size(map, nullptr, 3, 1, 2, &offset, nullptr), 2);
  EXPECT_EQ(offset, 1);
  EXPECT_LT(size(map, nullptr, 3, 1, 1, &offset, nullptr), 0);
  EXPECT_EQ(Export<GetSchCaretPos_t>(dll, "GetSchCaretPos")(map, 3), 3);

  // a*c: two segments in a movable block, matched over a line with CR LF.
  char pattern[8] = "a*c";
  int patternLength = 3;
  HGLOBAL words = Export<CreateWildcardString_t>(dll, "CreateWildcardString")(pattern, &patternLength, 0, 0);
  ASSERT_NE(words, nullptr);
  EXPECT_EQ(patternLength, 4);
  const auto* w = static_cast<const WORD*>(GlobalLock(words));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w[0], 2);
  EXPECT_EQ(w[1], 0x8001);
  EXPECT_EQ(w[2], 1);
  std::vector<BYTE> table(65536);
  Export<MakeSearchDelimiterTable_t>(dll, "MakeSearchDelimiterTable")(table.data(), "", "");
  int start = -1, matched = -1;
  EXPECT_TRUE(Export<MatchWildcardInLine_t>(dll, "MatchWildcardInLine")(pattern, w, "xabcabc\r\n", 9, 0, 0x01,
                                                                         table.data(), &start, &matched));
  EXPECT_EQ(start, 1);
  EXPECT_EQ(matched, 6);
  EXPECT_TRUE(Export<IsWordMatch_t>(dll, "IsWordMatch")("x abc", 5, "x abc" + 2, 3, 0x06, table.data()));
  GlobalUnlock(words);
  GlobalFree(words);

  char escaped[] = "a\\*b";
  int escapedLength = 4;
  Export<DeleteEscapeChar_t>(dll, "DeleteEscapeChar")(escaped, &escapedLength);
  EXPECT_EQ(escapedLength, 3);
  EXPECT_STREQ(escaped, "a*b");
  FreeLibrary(dll);
}

}  // namespace


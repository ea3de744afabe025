#include "document/line_store.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace gorvane::document {

namespace {

constexpr std::u8string_view kAllocFailed = u8"メモリアロケートに失敗しました。";
constexpr std::u8string_view kLimitBox =
    u8"編集可能行数を超えました。\nプログラムが異常終了する可能性がありますので編集を中止して下さい。";
constexpr std::u8string_view kLimitStatus = u8"編集可能行数を超えました。編集を中止して下さい。";
constexpr std::u8string_view kIndexCommitFailed =
    u8"テンポラリオフセット配列の再コミットに失敗しました。\nバグの可能性が大きいです。\nResizeTmpOffset関数 (file = le_memory)";
constexpr std::u8string_view kIndexReserveFailed =
    u8"メモリ確保に失敗しました。\nこのまま実行を継続することはできませんので終了します。";
constexpr std::u8string_view kIndexFirstCommitFailed =
    u8"メモリ確保に失敗しました\nこのまま実行を継続することはできませんので終了します。";
constexpr std::u8string_view kNoAppendPage3 =
    u8"新しいテンポラリキャッシュページの確保に失敗しました。\nメモリ＆ハードディスクの容量が不足しているようです。\n"
    u8"ハードディスクの空き領域が編集ファイルより十分大きくなるようにしてください。\nファイルの読み込みを中止します。"
    u8"（CreateOneLineTmpCache3関数)";
constexpr std::u8string_view kNoAppendPage =
    u8"新しいテンポラリキャッシュページの確保に失敗しました。\nメモリ＆ハードディスクの容量が不足しているようです。\n"
    u8"ハードディスクの空き領域が編集ファイルより十分大きくなるようにしてください。\nファイルの読み込みを中止します。"
    u8"（CreateOneLineTmpCache関数)";
constexpr std::u8string_view kDebugCaption = u8"Gorvanedebug";

constexpr std::uint32_t kIndexSpacing = 100;

bool ByLine(const LINEDATA_STRC* a, const LINEDATA_STRC* b) { return a->lineNo < b->lineNo; }
constexpr std::uint32_t kIndexInsertAt = 50;

}  // namespace

std::uint32_t LineCapacity(std::uint32_t n) {
  for (std::uint32_t c : {128u, 512u, 1024u, 2048u, 8192u})
    if (n < c) return c;
  return n <= kMaxLineBytes ? kMaxLineBytes : 2 * kMaxLineBytes;
}

std::uint32_t SanePageSize(std::uint32_t setting) {
  // A page holds its header and at least one record of the longest line.
  constexpr std::uint32_t kMinimum = 32768;
  return std::max(kMinimum, std::min(setting, 1u << 24) / 16 * 16);
}

LineStore::LineStore(base::Host& host, TempCache& cache) : host_(host), cache_(cache) {
  index_.rangeLabels = labelTable_.data();
  cache_.SetStructPointer(SharedRecords{&chain_, &settings_, &app_, &windows_, &marge_, &index_});
}

LineStore::~LineStore() {
  for (LINEDATA_STRC* r : HeldRecords()) {
    delete[] r->text;
    delete r;
  }
}

void LineStore::Fail(std::u8string_view text) { base::Tell(host_, text, base::BoxIcon::Error); }

// ---- cache records in their pages -------------------------------------------------------

const std::uint8_t* LineStore::RecordAt(std::uint32_t offset, RecordHeader* header) {
  if (offset == 0) return nullptr;
  std::uint8_t* page = cache_.GetTmpCachePage(1, offset, 0);
  if (page == nullptr) return nullptr;
  const std::uint8_t* r = page + (offset - LoadPageHeader(page).baseOffset);
  if (header != nullptr) *header = LoadRecordHeader(r);
  return r + kRecordHeaderSize;
}

bool LineStore::StoreLinks(std::uint32_t offset, const std::uint32_t* next, const std::uint32_t* prev) {
  if (offset == 0) return true;
  std::uint8_t* page = cache_.GetTmpCachePage(1, offset, 0);
  if (page == nullptr) return false;
  std::uint8_t* r = page + (offset - LoadPageHeader(page).baseOffset);
  if (next != nullptr) StoreNextOffset(r, *next);
  if (prev != nullptr) StorePrevOffset(r, *prev);
  MarkPageDirty(page);
  return true;
}

// Appending and rewriting go through the library's calls for a window line,
// with a record made for the call.
std::uint32_t LineStore::AppendRecord(const std::uint8_t* bytes, std::uint32_t length, std::uint8_t flags,
                                      std::uint16_t rangeIndex, std::uint32_t prev, std::uint32_t next) {
  if (length > 0xFFFF) return 0;
  LINEDATA_STRC line{};
  line.text = const_cast<std::uint8_t*>(bytes);  // only read
  line.length = static_cast<std::uint16_t>(length);
  line.rangeIndex = static_cast<std::int16_t>(rangeIndex);
  line.flags = flags;
  return cache_.CreateOneLineTmpCache2(&line, prev, next);
}

std::uint32_t LineStore::RewriteRecord(std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t length,
                                       std::uint8_t attributes, std::uint16_t rangeIndex) {
  if (length > 0xFFFF) return 0;
  LINEDATA_STRC line{};
  line.text = const_cast<std::uint8_t*>(bytes);  // only read
  line.cacheOffset = offset;
  line.length = static_cast<std::uint16_t>(length);
  line.rangeIndex = static_cast<std::int16_t>(rangeIndex);
  line.flags = attributes;
  return cache_.OverWriteOneLineToTmpCache(&line) ? line.cacheOffset : 0;
}

LINEDATA_STRC* LineStore::FindMemLine(std::uint32_t offset) {
  if (offset == 0) return nullptr;
  if (!marge_.listValid) cache_.MakeOffsetList();
  const auto end = marge_.list.begin() + marge_.listCount;
  const auto it = std::lower_bound(marge_.list.begin(), end, offset,
                                   [](const OffsetPair& p, std::uint32_t o) { return p.offset < o; });
  return it != end && it->offset == offset ? it->line : nullptr;
}

// ---- records -----------------------------------------------------------------------------

LINEDATA_STRC* LineStore::NewRecord(std::uint32_t lineNo, std::uint32_t capacity) {
  auto* r = new (std::nothrow) LINEDATA_STRC{};
  std::uint8_t* text = r ? new (std::nothrow) std::uint8_t[capacity]() : nullptr;
  if (r == nullptr || text == nullptr) {
    delete r;
    Fail(kAllocFailed);
    return nullptr;
  }
  r->lineNo = static_cast<std::int32_t>(lineNo);
  r->text = text;
  ++liveRecords_;
  return r;
}

bool LineStore::FreeRecord(LINEDATA_STRC* r) {
  if (r == nullptr) return true;
  if (r->prev != nullptr && r->prev->next == r) r->prev->next = nullptr;
  if (r->next != nullptr && r->next->prev == r) r->next->prev = nullptr;
  delete[] r->text;
  delete r;
  --liveRecords_;
  Invalidate();
  return true;
}

LINEDATA_STRC* LineStore::LoadRecord(std::uint32_t lineNo, std::uint32_t offset) {
  RecordHeader h;
  const std::uint8_t* text = RecordAt(offset, &h);
  if (text == nullptr) return nullptr;
  LINEDATA_STRC* r = NewRecord(lineNo, LineCapacity(h.length));
  if (r == nullptr) return nullptr;
  text = RecordAt(offset, &h);  // the allocation may not evict, but be safe
  if (h.length) std::memcpy(r->text, text, h.length);
  r->cacheOffset = offset;
  r->length = h.length;
  r->rangeIndex = static_cast<std::int16_t>(h.rangeIndex);
  r->flags = static_cast<std::uint8_t>(h.recFlags & kLineAttributeBits);
  return r;
}

// ---- start-up and new documents ----------------------------------------------------------------

bool LineStore::ResetIndex() {
  if (indexMemory_.data() == nullptr) {
    if (!indexMemory_.Reserve(kIndexReserveEntries * sizeof(TMPOFFSET))) {
      Fail(kIndexReserveFailed);
      return false;
    }
    if (!indexMemory_.Commit(sizeof(TMPOFFSET))) {
      Fail(kIndexFirstCommitFailed);
      return false;
    }
    index_.committed = 1;
  }
  index_.entries = reinterpret_cast<TMPOFFSET*>(indexMemory_.data());
  std::memset(index_.entries, 0, index_.committed * sizeof(TMPOFFSET));
  index_.used = 0;
  invalidFrom_ = 2;
  return true;
}

bool LineStore::Start(const LineStoreSettings& settings, qorvetc::PageFileFactory pageFiles) {
  const qorvetc::CacheSettings& cs = settings.cache;
  settings_.pageSize = cs.pageSize;
  settings_.memoryPages = cs.memoryPages;
  cache_.TmpCacheInit(cs, std::move(pageFiles));
  if (!ResetIndex()) return false;
  if (!cache_.CreateTmpCache()) {
    Fail(kNoAppendPage3);
    return false;
  }
  return NewDocument();
}

bool LineStore::BeginLoad() {
  ReleaseLineWindows();
  cache_.DeleteTmpCacheAll();
  if (!cache_.CreateTmpCache() || !ResetIndex()) return false;
  chain_ = TPALLCACHE_MNG{};
  lineCount_ = 0;
  memo_ = Memo{};
  divided_ = false;
  own_ = OwnViews{};
  // The default page is the first append page.
  std::uint8_t* page = cache_.GetTmpCachePage(2, 0, 0);
  if (page == nullptr) return false;
  const PageHeader h = LoadPageHeader(page);
  chain_.appendImage = page;
  chain_.appendBase = h.baseOffset;
  chain_.appendNext = h.nextFree;
  chain_.appendFree = h.freeBytes;
  return true;
}

bool LineStore::CreateOneLineTmpCache(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t lineNo) {
  if (length > kMaxLineBytes) return false;
  const std::uint32_t offset = AppendRecord(bytes, length, 0, 0, chain_.lastAppended, 0);
  if (offset == 0) {
    Fail(kNoAppendPage);
    return false;
  }
  chain_.lastAppended = offset;
  if (lineNo % kIndexSpacing == 1) {
    TMPOFFSET e{};
    e.line = lineNo;
    e.offset = offset;
    e.stateValid = lineNo == 1 ? 1 : 0;
    InsertIndexEntry(index_.used, e);
  }
  return true;
}

bool LineStore::EndLoad(std::uint32_t lines) {
  if (lines == 0) {
    if (!CreateOneLineTmpCache(nullptr, 0, 1)) return false;
    lines = 1;
  }
  lineCount_ = lines;
  return Reconcile(LineNo(1), LineNo(1));
}

bool LineStore::NewDocument() {
  if (!BeginLoad()) return false;
  return EndLoad(0);
}

// ---- reading -----------------------------------------------------------------------------------

LineNo LineStore::WindowFirst(int pane) const {
  const LINEDATA_STRC* r = windows_.slots[static_cast<std::size_t>(pane)][0];
  return LineNo(r ? r->lineNo : 0);
}

int LineStore::WindowSize(int pane) const {
  if (pane == 1 && !divided_) return 0;
  return static_cast<int>(std::min<std::uint32_t>(lineCount_, kWindowLines));
}

LINEDATA_STRC* LineStore::WindowLine(int pane, LineNo line) const {
  if (pane == 1 && !divided_) return nullptr;
  const auto& slots = windows_.slots[static_cast<std::size_t>(pane)];
  if (slots[0] == nullptr) return nullptr;
  const std::int32_t i = line.value - slots[0]->lineNo;
  if (i < 0 || i >= WindowSize(pane)) return nullptr;
  return slots[static_cast<std::size_t>(i)];
}

std::uint32_t LineStore::LineOffsetOf(LineNo line, LINEDATA_STRC** record) {
  if (record != nullptr) *record = nullptr;
  if (line.value < 1 || static_cast<std::uint32_t>(line.value) > lineCount_) return 0;
  for (int pane = 0; pane < 2; ++pane) {
    if (LINEDATA_STRC* r = WindowLine(pane, line)) {
      if (record != nullptr) *record = r;
      memo_ = Memo{static_cast<std::uint32_t>(line.value), r->cacheOffset, cache_.moves()};
      return r->cacheOffset;
    }
  }
  const auto n = static_cast<std::uint32_t>(line.value);
  if (memo_.moves != cache_.moves()) memo_ = Memo{};  // a record moved since
  if (memo_.line == n && memo_.offset != 0) return memo_.offset;
  std::uint32_t offset;
  const std::uint32_t distance = memo_.line > n ? memo_.line - n : n - memo_.line;
  if (memo_.line == 0 || memo_.offset == 0 || distance >= 50) {
    offset = cache_.GetTmpCacheOffset(n);
  } else {
    offset = cache_.GetTmpCacheOffset(memo_.offset, static_cast<std::int32_t>(n) - static_cast<std::int32_t>(memo_.line));
  }
  memo_ = offset != 0 ? Memo{n, offset, cache_.moves()} : Memo{};
  return offset;
}

bool LineStore::ReadLine(LineNo line, std::string* out) {
  LINEDATA_STRC* r = nullptr;
  const std::uint32_t offset = LineOffsetOf(line, &r);
  if (r != nullptr) {
    out->assign(reinterpret_cast<const char*>(r->text), r->length);
    return true;
  }
  if (offset == 0) return false;
  RecordHeader h;
  const std::uint8_t* text = RecordAt(offset, &h);
  if (text == nullptr) return false;
  out->assign(reinterpret_cast<const char*>(text), h.length);
  return true;
}

bool LineStore::WalkLines(LineNo from, int step, const std::function<bool(LineNo, std::string_view)>& visit) {
  std::uint32_t offset = LineOffsetOf(from);
  LineNo line = from;
  while (offset != 0) {
    RecordHeader h;
    const std::uint8_t* bytes = RecordAt(offset, &h);
    if (bytes == nullptr) return false;
    // A window line's text may be newer than its record's. The text is shown
    // in place: the visitor reads it and leaves the document alone.
    std::string_view text(reinterpret_cast<const char*>(bytes), h.length);
    if (const LINEDATA_STRC* r = FindMemLine(offset)) text = std::string_view(reinterpret_cast<const char*>(r->text), r->length);
    if (!visit(line, text)) return true;
    offset = step > 0 ? h.nextOffset : h.prevOffset;
    line += step > 0 ? 1 : -1;
  }
  return true;
}

// ---- windows -------------------------------------------------------------------------------------

LineNo LineStore::WindowStartFor(LineNo firstDisplayed, std::uint32_t lineCount) {
  if (lineCount < kWindowLines || firstDisplayed.value < 132) return LineNo(1);
  return LineNo(66 * ((firstDisplayed.value - 66) / 66) - 1);
}

// Brings both windows to the wanted first lines: records that no window
// needs any more are written back (when modified) and freed, lines that enter
// are read from the cache (or shared with the other pane, or among the
// records made for them: `entering`), and the slot arrays, pane bits and
// in-memory links are rebuilt.
bool LineStore::Reconcile(LineNo first0, LineNo first1, std::span<LINEDATA_STRC* const> entering) {
  const auto size = static_cast<std::int32_t>(std::min<std::uint32_t>(lineCount_, kWindowLines));
  const auto maxFirst = static_cast<std::int32_t>(lineCount_) - size + 1;
  LineNo first[2] = {LineNo(std::clamp(first0.value, 1, maxFirst)), LineNo(std::clamp(first1.value, 1, maxFirst))};
  const LineNo before[2] = {WindowFirst(0), WindowFirst(1)};
  const bool panes[2] = {true, divided_};
  auto byLineNo = [](const LINEDATA_STRC* r, std::int32_t l) { return r->lineNo < l; };
  auto find = [&](const std::vector<LINEDATA_STRC*>& v, std::int32_t line) -> LINEDATA_STRC* {
    const auto it = std::lower_bound(v.begin(), v.end(), line, byLineNo);
    return it != v.end() && (*it)->lineNo == line ? *it : nullptr;
  };

  // Every record held now (and any whose write-back failed earlier), by line number.
  std::vector<LINEDATA_STRC*> held = HeldRecords();
  if (!entering.empty()) {
    std::vector<LINEDATA_STRC*> in(entering.begin(), entering.end()), both(held.size() + entering.size());
    std::sort(in.begin(), in.end(), ByLine);
    std::merge(held.begin(), held.end(), in.begin(), in.end(), both.begin(), ByLine);
    held.swap(both);
  }

  // First read every line that enters a window (a missing line's record is
  // the previous line's next in the chain). Nothing has changed yet, so when a
  // page cannot be read the windows stay where they were.
  std::vector<LINEDATA_STRC*> loaded;
  bool ok = true;
  for (int p = 0; p < 2 && ok; ++p) {
    if (!panes[p]) continue;
    for (std::int32_t line = first[p].value; line < first[p].value + size; ++line) {
      if (find(held, line) != nullptr || find(loaded, line) != nullptr) continue;
      const LINEDATA_STRC* previous = find(held, line - 1);
      if (previous == nullptr) previous = find(loaded, line - 1);
      RecordHeader h;
      std::uint32_t offset = 0;
      if (previous != nullptr) offset = RecordAt(previous->cacheOffset, &h) != nullptr ? h.nextOffset : 0;
      else offset = cache_.GetTmpCacheOffset(static_cast<std::uint32_t>(line));
      LINEDATA_STRC* r = offset != 0 ? LoadRecord(static_cast<std::uint32_t>(line), offset) : nullptr;
      if (r == nullptr) {
        ok = false;
        break;
      }
      loaded.insert(std::upper_bound(loaded.begin(), loaded.end(), r, ByLine), r);
    }
  }
  if (!ok) {
    for (LINEDATA_STRC* r : loaded) FreeRecord(r);
    loaded.clear();
    for (int p = 0; p < 2; ++p)
      if (before[p].value >= 1) first[p] = before[p];
  }
  std::vector<LINEDATA_STRC*> all(held.size() + loaded.size());
  std::merge(held.begin(), held.end(), loaded.begin(), loaded.end(), all.begin(), ByLine);

  // The slots: each window's run of lines (after a failed read, as much of
  // the old run as is held, never with a gap).
  std::vector<bool> placed(all.size(), false);
  for (auto& pane : windows_.slots) pane.fill(nullptr);
  for (int p = 0; p < 2; ++p) {
    if (!panes[p]) continue;
    for (std::int32_t i = 0; i < size; ++i) {
      const auto it = std::lower_bound(all.begin(), all.end(), first[p].value + i, byLineNo);
      if (it == all.end() || (*it)->lineNo != first[p].value + i) break;
      windows_.slots[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)] = *it;
      placed[static_cast<std::size_t>(it - all.begin())] = true;
    }
  }

  // Let go of what no window holds; a modified line whose text the cache
  // cannot take yet stays in memory.
  stranded_.clear();
  std::vector<LINEDATA_STRC*> kept;
  for (std::size_t i = 0; i < all.size(); ++i) {
    LINEDATA_STRC* r = all[i];
    if (placed[i]) {
      kept.push_back(r);
      continue;
    }
    r->prev = r->next = nullptr;
    r->flags = static_cast<std::uint8_t>(r->flags & ~(kInPane0 | kInPane1));
    if ((r->flags & kModified) && !cache_.OverWriteOneLineToTmpCache(r)) {
      stranded_.push_back(r);
      continue;
    }
    FreeRecord(r);
  }

  // Pane bits and the in-memory runs: consecutive lines are linked.
  for (std::size_t i = 0; i < kept.size(); ++i) {
    LINEDATA_STRC* r = kept[i];
    r->flags = static_cast<std::uint8_t>(r->flags & ~(kInPane0 | kInPane1));
    r->prev = (i > 0 && kept[i - 1]->lineNo + 1 == r->lineNo) ? kept[i - 1] : nullptr;
    r->next = (i + 1 < kept.size() && kept[i + 1]->lineNo == r->lineNo + 1) ? kept[i + 1] : nullptr;
  }
  for (int p = 0; p < 2; ++p)
    for (LINEDATA_STRC* r : windows_.slots[static_cast<std::size_t>(p)])
      if (r != nullptr) r->flags |= PaneBit(p);
  Invalidate();
  return ok && stranded_.empty();
}

// Each record once, by line number: pane 0's slots, pane 1's that pane 0
// does not hold, and the stranded ones.
std::vector<LINEDATA_STRC*> LineStore::HeldRecords() const {
  std::vector<LINEDATA_STRC*> held;
  held.reserve(2 * kWindowLines + stranded_.size());
  for (LINEDATA_STRC* r : windows_.slots[0])
    if (r != nullptr) held.push_back(r);
  const auto middle = held.size();
  for (LINEDATA_STRC* r : windows_.slots[1])
    if (r != nullptr && !(r->flags & kInPane0)) held.push_back(r);
  std::inplace_merge(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(middle), held.end(), ByLine);
  for (LINEDATA_STRC* r : stranded_) held.insert(std::upper_bound(held.begin(), held.end(), r, ByLine), r);
  return held;
}

void LineStore::Renumber(std::int32_t after, std::int32_t delta) {
  for (LINEDATA_STRC* r : HeldRecords())
    if (r->lineNo > after) r->lineNo += delta;
}

void LineStore::Forget(LINEDATA_STRC* record) {
  for (auto& pane : windows_.slots)
    for (LINEDATA_STRC*& s : pane)
      if (s == record) s = nullptr;
  stranded_.erase(std::remove(stranded_.begin(), stranded_.end(), record), stranded_.end());
  FreeRecord(record);
}

void LineStore::ForgetLines(std::uint32_t from, std::uint32_t last) {
  auto gone = [from, last](const LINEDATA_STRC* r) {
    return r != nullptr && static_cast<std::uint32_t>(r->lineNo) >= from && static_cast<std::uint32_t>(r->lineNo) <= last;
  };
  std::vector<LINEDATA_STRC*> records = HeldRecords();
  std::erase_if(records, [&](const LINEDATA_STRC* r) { return !gone(r); });
  for (auto& pane : windows_.slots)
    for (LINEDATA_STRC*& s : pane)
      if (gone(s)) s = nullptr;
  std::erase_if(stranded_, gone);
  for (LINEDATA_STRC* r : records) FreeRecord(r);
}

void LineStore::MoveLineWindow(int pane, LineNo wanted) {
  if (lineCount_ <= static_cast<std::uint32_t>(kWindowLines) || (pane == 1 && !divided_)) return;
  const LineNo w(std::clamp(wanted.value, 1, static_cast<std::int32_t>(lineCount_) - kWindowLines + 1));
  if (w == WindowFirst(pane)) return;
  Reconcile(pane == 0 ? w : WindowFirst(0), pane == 1 ? w : WindowFirst(1));
  MergeCandidatePages();
}

void LineStore::ShowFrom(int pane, LineNo first) {
  if (pane == 1 && !divided_) pane = 0;
  const std::int32_t top = std::max<std::int32_t>(1, static_cast<std::int32_t>(lineCount_));
  first = LineNo(std::clamp(first.value, 1, top));
  own_.first[pane] = first;
  MoveLineWindow(pane, WindowStartFor(first, lineCount_));
}

LineNo LineStore::firstDisplayed(int pane) const {
  const std::int32_t top = std::max<std::int32_t>(1, static_cast<std::int32_t>(lineCount_));
  return LineNo(std::clamp(views_->firstDisplayed(pane == 1 ? 1 : 0).value, 1, top));
}

LINEDATA_STRC* LineStore::BringIntoWindow(int pane, LineNo line) {
  if (pane == 1 && !divided_) pane = 0;
  if (LINEDATA_STRC* r = WindowLine(pane, line)) return r;
  if (line.value < 1 || static_cast<std::uint32_t>(line.value) > lineCount_) return nullptr;
  MoveLineWindow(pane, WindowStartFor(line, lineCount_));
  if (LINEDATA_STRC* r = WindowLine(pane, line)) return r;
  MoveLineWindow(pane, line - kWindowLines / 2);
  return WindowLine(pane, line);
}

bool LineStore::OpenSecondPane(LineNo first) {
  divided_ = true;
  own_.first[1] = first;
  return Reconcile(WindowFirst(0), first);
}

void LineStore::CloseSecondPane() {
  if (!divided_) return;
  divided_ = false;
  own_.active = 0;
  Reconcile(WindowFirst(0), WindowFirst(0));
}

void LineStore::ReleaseLineWindows() {
  for (LINEDATA_STRC* r : HeldRecords()) {
    if (r->flags & kModified) cache_.OverWriteOneLineToTmpCache(r);
    Forget(r);
  }
  for (auto& pane : windows_.slots) pane.fill(nullptr);
  stranded_.clear();
  Invalidate();
}

// ---- editing --------------------------------------------------------------------------------------

bool LineStore::InWindow(const LINEDATA_STRC* line) const {
  if (line == nullptr) return false;
  for (int p = 0; p < 2; ++p)
    if (WindowLine(p, LineNo(line->lineNo)) == line) return true;
  return false;
}

bool LineStore::SetLineText(LINEDATA_STRC* line, std::string_view bytes) {
  if (!InWindow(line) || bytes.size() > kMaxLineBytes) return false;
  const auto n = static_cast<std::uint32_t>(bytes.size());
  if (LineCapacity(n) > LineCapacity(line->length)) {
    auto* bigger = new (std::nothrow) std::uint8_t[LineCapacity(n)]();
    if (bigger == nullptr) {
      Fail(kAllocFailed);
      return false;
    }
    delete[] line->text;
    line->text = bigger;
  }
  if (n) std::memmove(line->text, bytes.data(), n);
  line->length = static_cast<std::uint16_t>(n);
  line->flags |= kModified;
  InvalidateColourStates(LineNo(line->lineNo));
  return true;
}

void LineStore::WarnLineLimit() {
  if (!limitWarned_) {
    limitWarned_ = true;
    base::Tell(host_, kLimitBox, base::BoxIcon::Warning);
  } else {
    base::Status(host_, kLimitStatus);
    host_.Beep();
  }
}

LINEDATA_STRC* LineStore::SplitLine(LINEDATA_STRC* line, CaretCol at, const std::string_view* upper,
                                    bool marksFollowText) {
  const int column = at.value;
  if (!InWindow(line) || line->cacheOffset == 0) return nullptr;
  if (lineCount_ > kMaxLines - 1) WarnLineLimit();
  const std::uint32_t lineNo = static_cast<std::uint32_t>(line->lineNo);
  // Column c cuts the line, or with replacement bytes says how many of them the upper part takes.
  const int limit = upper != nullptr ? static_cast<int>(upper->size()) : line->length;
  const std::size_t c = static_cast<std::size_t>(std::clamp(column, 1, limit + 1)) - 1;
  const std::string oldText(reinterpret_cast<const char*>(line->text), line->length);
  const std::string lower = upper != nullptr ? oldText : oldText.substr(c);
  const std::string upperText = upper != nullptr ? std::string(upper->substr(0, c)) : oldText.substr(0, c);
  if (lower.size() > kMaxLineBytes) return nullptr;

  RecordHeader h;
  if (RecordAt(line->cacheOffset, &h) == nullptr) return nullptr;
  LINEDATA_STRC* lowerLine = NewRecord(lineNo + 1, LineCapacity(static_cast<std::uint32_t>(lower.size())));
  if (lowerLine == nullptr) return nullptr;
  if (!lower.empty()) std::memcpy(lowerLine->text, lower.data(), lower.size());
  lowerLine->length = static_cast<std::uint16_t>(lower.size());
  lowerLine->flags = kModified;

  // The upper part gets a new record in front of the old one, which the lower
  // part keeps.
  const std::uint32_t oldOffset = line->cacheOffset;
  const std::uint8_t oldFlags = line->flags;
  if (!SetLineText(line, upperText)) {
    FreeRecord(lowerLine);
    return nullptr;
  }
  const std::uint32_t upperOffset = cache_.CreateOneLineTmpCache2(line, h.prevOffset, oldOffset);
  if (upperOffset == 0) {
    SetLineText(line, oldText);
    line->flags = oldFlags;
    FreeRecord(lowerLine);
    Fail(kNoAppendPage3);
    return nullptr;
  }
  cache_.CoordinationOffset(oldOffset, upperOffset, lineNo);  // the line's index entry and window record follow
  line->cacheOffset = upperOffset;
  line->flags = static_cast<std::uint8_t>(line->flags & ~kModified);
  lowerLine->cacheOffset = oldOffset;

  // Lines below move down by one. A full window that holds the split line
  // lets one record go: normally its last one, but its first one (the window
  // moves down by one) when the split line is its last, so that the new line
  // enters it; and in the active pane also when a plain split happens while
  // the window reaches above the view and ends at the document's end, so
  // that the end stays in memory.
  LineNo firsts[2] = {WindowFirst(0), WindowFirst(1)};
  for (int p = 0; p < 2; ++p) {
    if (lineCount_ < static_cast<std::uint32_t>(kWindowLines) || WindowLine(p, LineNo(line->lineNo)) == nullptr)
      continue;
    const std::int32_t last = WindowFirst(p).value + WindowSize(p) - 1;
    const bool keepsEnd = p == activePane() && upper == nullptr && WindowFirst(p) < firstDisplayed(p) &&
                          static_cast<std::uint32_t>(last) == lineCount_;
    if (line->lineNo == last || keepsEnd) firsts[p] += 1;
  }
  Renumber(static_cast<std::int32_t>(lineNo), 1);
  ++lineCount_;
  memo_ = Memo{};
  IndexAfterSplit(lineNo);
  InvalidateColourStates(LineNo(static_cast<std::int32_t>(lineNo)));

  // Windows that start below the split line follow their records down.
  for (LineNo& f : firsts)
    if (f.value > static_cast<std::int32_t>(lineNo)) f += 1;
  const LineNo lowerNo(lowerLine->lineNo);
  const std::int16_t movingLabel = marksFollowText ? line->rangeIndex : 0;
  if (marksFollowText) {
    line->rangeIndex = 0;
    line->flags |= kModified;
    lowerLine->rangeIndex = movingLabel;
  }
  if (!Reconcile(firsts[0], firsts[1], {&lowerLine, 1})) return nullptr;
  if (marksFollowText) {
    // Text put above a line: the line's bookmark and label stay with its text.
    const std::int64_t upperEntry = IndexEntryOf(lineNo);
    const std::uint8_t mark = upperEntry >= 0 ? index_.entries[upperEntry].bookmarkMark : 0;
    if (upperEntry >= 0) index_.entries[upperEntry].bookmarkMark = 0, index_.entries[upperEntry].rangeIndex = 0;
    if (mark != 0 || movingLabel != 0) {
      if (TMPOFFSET* e = EnsureIndexEntry(lowerNo)) {
        e->bookmarkMark = mark;
        e->rangeIndex = static_cast<std::uint16_t>(movingLabel);
      }
    }
  }
  LINEDATA_STRC* held = WindowLine(0, lowerNo);
  return held != nullptr ? held : WindowLine(1, lowerNo);
}

LINEDATA_STRC* LineStore::JoinLineWithPrevious(LINEDATA_STRC* line) {
  if (!InWindow(line) || line->lineNo <= 1) return nullptr;
  const LineNo at(line->lineNo);
  int pane = WindowLine(activePane(), at) ? activePane() : 0;
  LINEDATA_STRC* prev = WindowLine(pane, at - 1);
  if (prev == nullptr) {
    // Bring the previous line in, keeping this one.
    MoveLineWindow(pane, at - 1);
    prev = WindowLine(pane, at - 1);
    line = WindowLine(pane, at);
    if (prev == nullptr || line == nullptr) return nullptr;
  }
  std::string joined(reinterpret_cast<const char*>(prev->text), prev->length);
  if (joined.size() >= 2 && joined.compare(joined.size() - 2, 2, "\r\n") == 0) joined.resize(joined.size() - 2);
  joined.append(reinterpret_cast<const char*>(line->text), line->length);
  if (joined.size() > kMaxLineBytes) return nullptr;
  if (!UnlinkLine(static_cast<std::uint32_t>(at.value), line->cacheOffset)) return nullptr;
  const LineNo firsts[2] = {WindowFirst(0), WindowFirst(1)};
  Forget(line);
  SetLineText(prev, joined);
  Renumber(at.value, -1);
  --lineCount_;
  memo_ = Memo{};
  LineNo f0 = firsts[0].value > at.value ? firsts[0] - 1 : firsts[0];
  LineNo f1 = firsts[1].value > at.value ? firsts[1] - 1 : firsts[1];
  Reconcile(f0, f1);
  return WindowLine(pane, at - 1) ? WindowLine(pane, at - 1) : prev;
}

bool LineStore::DeleteLine(LineNo line) {
  if (line.value < 1 || static_cast<std::uint32_t>(line.value) > lineCount_) return false;
  if (lineCount_ == 1) return SetLineText(BringIntoWindow(activePane(), line), "");
  if (static_cast<std::uint32_t>(line.value) == lineCount_) {
    // The line end before the last line goes with it.
    LINEDATA_STRC* prev = BringIntoWindow(activePane(), line - 1);
    if (prev == nullptr) return false;
    std::string text(reinterpret_cast<const char*>(prev->text), prev->length);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    if (!SetLineText(prev, text)) return false;
  }
  LINEDATA_STRC* record = nullptr;
  const std::uint32_t offset = LineOffsetOf(line, &record);
  if (offset == 0 || !UnlinkLine(static_cast<std::uint32_t>(line.value), offset)) return false;
  const LineNo firsts[2] = {WindowFirst(0), WindowFirst(1)};
  if (record != nullptr) Forget(record);
  Renumber(line.value, -1);
  --lineCount_;
  memo_ = Memo{};
  LineNo f0 = firsts[0].value > line.value ? firsts[0] - 1 : firsts[0];
  LineNo f1 = firsts[1].value > line.value ? firsts[1] - 1 : firsts[1];
  return Reconcile(f0, f1);
}

// The lines go in as a run of new records appended to the cache, each linked
// between the one before it and line `before`, so that the chain is whole
// after every record; the index, the held records and the windows then follow
// once for the whole run.
bool LineStore::InsertLines(LineNo before, std::span<const std::string_view> lines) {
  if (before.value < 1 || static_cast<std::uint32_t>(before.value) > lineCount_) return false;
  if (lines.empty()) return true;
  // What can go in: the lines up to one that is too long, as many as the line limit leaves room for.
  std::size_t wanted = 0;
  while (wanted < lines.size() && lines[wanted].size() <= kMaxLineBytes) ++wanted;
  wanted = std::min<std::size_t>(wanted, lineCount_ < kMaxLines ? kMaxLines - lineCount_ : 0);
  if (wanted == 0) return false;
  const auto at = static_cast<std::uint32_t>(before.value);
  const std::uint32_t beforeOffset = LineOffsetOf(before);
  RecordHeader h;
  if (beforeOffset == 0 || RecordAt(beforeOffset, &h) == nullptr) return false;

  // The run gets an index entry every 100 lines from the last entry above it,
  // as a loaded document has (line 1 always has one). Their room is had
  // before anything changes; without it the run goes in with none but line 1's.
  const std::uint32_t pos = IndexPositionOf(at);
  const std::uint32_t firstEntry = pos == 0 ? 1 : std::max(at, index_.entries[pos - 1].line + kIndexSpacing);
  const std::uint32_t runEnd = at + static_cast<std::uint32_t>(wanted);
  std::uint32_t planned = firstEntry < runEnd ? (runEnd - firstEntry + kIndexSpacing - 1) / kIndexSpacing : 0;
  auto room = [this](std::uint32_t entries) {
    const std::uint32_t need = index_.used + entries + 1;  // with the terminator
    return need <= index_.committed || ResizeTmpOffset(static_cast<std::int32_t>(need - index_.committed));
  };
  if (!room(planned)) {
    planned = at == 1 ? 1 : 0;
    if (!room(planned)) return false;
  }

  std::vector<TMPOFFSET> entries;
  entries.reserve(planned);
  std::vector<std::uint32_t> offsets;
  offsets.reserve(wanted);
  std::uint32_t prev = h.prevOffset, nextEntry = firstEntry, inserted = 0;
  for (; inserted < wanted; ++inserted) {
    const std::string_view text = lines[inserted];
    const std::uint32_t offset = CreateOneLineTmpCache3(reinterpret_cast<const std::uint8_t*>(text.data()),
                                                        static_cast<std::int32_t>(text.size()), 0, 0, prev, beforeOffset);
    if (offset == 0) break;  // told; the lines so far stay
    offsets.push_back(offset);
    const std::uint32_t lineNo = at + inserted;
    if (lineNo == nextEntry && entries.size() < planned) {
      TMPOFFSET e{};
      e.line = lineNo;
      e.offset = offset;
      e.stateValid = lineNo == 1 ? 1 : 0;
      entries.push_back(e);
      nextEntry += kIndexSpacing;
    }
    prev = offset;
  }
  if (inserted == 0) return false;

  // The entries from line `before` on move down with their lines (the line's
  // bookmark and label stay with its text); the run's go in above them.
  const auto added = static_cast<std::uint32_t>(entries.size());
  std::memmove(index_.entries + pos + added, index_.entries + pos, (index_.used + 1 - pos) * sizeof(TMPOFFSET));
  if (added != 0) std::memcpy(index_.entries + pos, entries.data(), added * sizeof(TMPOFFSET));
  index_.used += added;
  for (std::uint32_t i = pos + added; i < index_.used; ++i) index_.entries[i].line += inserted;
  // The moved entries no longer hold a state (those past the mark held none).
  for (std::uint32_t i = std::max<std::uint32_t>(pos + added, 1);
       i < index_.used && index_.entries[i].line < invalidFrom_ + inserted; ++i)
    index_.entries[i].stateValid = 0;

  // Windows that start below line `before` follow their records down.
  LineNo firsts[2] = {WindowFirst(0), WindowFirst(1)};
  for (LineNo& f : firsts)
    if (f.value > before.value) f += static_cast<std::int32_t>(inserted);
  Renumber(before.value - 1, static_cast<std::int32_t>(inserted));
  lineCount_ += inserted;
  memo_ = Memo{};
  InvalidateColourStates(before);

  // The new lines that enter a window are made from the text at hand: the
  // windows move without reading a page. A window that holds line `before`
  // takes them from there on.
  const auto size = static_cast<std::int32_t>(std::min<std::uint32_t>(lineCount_, kWindowLines));
  std::int32_t end = before.value;  // the new lines before..end - 1 enter
  for (int p = 0; p < 2; ++p)
    if ((p == 0 || divided_) && firsts[p] <= before)
      end = std::max(end, std::min(firsts[p].value + size, before.value + static_cast<std::int32_t>(inserted)));
  std::vector<LINEDATA_STRC*> entering;
  for (std::int32_t line = before.value; line < end; ++line) {
    const auto i = static_cast<std::size_t>(line - before.value);
    const auto length = static_cast<std::uint32_t>(lines[i].size());
    LINEDATA_STRC* r = NewRecord(static_cast<std::uint32_t>(line), LineCapacity(length));
    if (r == nullptr) break;  // told; Reconcile reads the rest
    if (length != 0) std::memcpy(r->text, lines[i].data(), length);
    r->length = static_cast<std::uint16_t>(length);
    r->cacheOffset = offsets[i];
    entering.push_back(r);
  }
  return Reconcile(firsts[0], firsts[1], entering) && inserted == lines.size();
}

// The run's records are read first and the lines that will enter the
// windows with them (a page that cannot be read leaves the document as it
// was); then they are taken out of the chain one after the other, each unlink
// leaving the chain whole, and the index, the held records and the windows
// follow once for the lines that went.
bool LineStore::RemoveLines(LineNo first, std::int32_t count) {
  if (count <= 0) return true;
  if (first.value < 1 || static_cast<std::int64_t>(first.value) + count - 1 > lineCount_ ||
      static_cast<std::uint32_t>(count) >= lineCount_)
    return false;
  const auto from = static_cast<std::uint32_t>(first.value);
  const auto wanted = static_cast<std::uint32_t>(count);
  std::vector<std::uint32_t> run(wanted);
  std::uint32_t after = LineOffsetOf(first);  // the record after the run
  for (std::uint32_t& offset : run) {
    RecordHeader h;
    if (after == 0 || RecordAt(after, &h) == nullptr) return false;
    offset = after;
    after = h.nextOffset;
  }
  const LineNo firsts[2] = {WindowFirst(0), WindowFirst(1)};
  // Windows below the run move up with their records; one that started
  // inside it starts where the run did.
  auto windowsAfter = [&](std::uint32_t removed, LineNo* f) {
    const std::uint32_t last = from + removed - 1;
    for (int p = 0; p < 2; ++p) {
      const auto s = static_cast<std::uint32_t>(std::max(firsts[p].value, 0));
      f[p] = s > last ? firsts[p] - static_cast<std::int32_t>(removed) : s >= from ? first : firsts[p];
    }
  };
  LineNo f[2];
  windowsAfter(wanted, f);
  std::vector<LINEDATA_STRC*> entering;
  if (!ReadLinesEnteringAfterRemove(from, wanted, f, &entering)) return false;

  std::uint32_t removed = 0;
  while (removed < wanted && cache_.UnlinkRecord(run[removed])) ++removed;
  if (removed < wanted) windowsAfter(removed, f);
  const std::uint32_t last = from + removed - 1;
  if (removed != 0) {
    IndexAfterRemove(from, removed, removed < wanted ? run[removed] : after);
    InvalidateColourStates(first);
    ForgetLines(from, last);
    Renumber(static_cast<std::int32_t>(last), -static_cast<std::int32_t>(removed));
    for (LINEDATA_STRC* r : entering)
      if (static_cast<std::uint32_t>(r->lineNo) > last) r->lineNo -= static_cast<std::int32_t>(removed);
    lineCount_ -= removed;
    memo_ = Memo{};
  }
  return Reconcile(f[0], f[1], entering) && removed == wanted;
}

// The records of the lines that the windows starting at newFirsts will show
// once lines from .. from + count - 1 are gone and no record holds yet,
// read with their present line numbers. False (nothing kept) when one
// cannot be read.
bool LineStore::ReadLinesEnteringAfterRemove(std::uint32_t from, std::uint32_t count, const LineNo* newFirsts,
                                             std::vector<LINEDATA_STRC*>* entering) {
  const std::uint32_t lines = lineCount_ - count;
  const auto size = static_cast<std::int32_t>(std::min<std::uint32_t>(lines, kWindowLines));
  const std::vector<LINEDATA_STRC*> held = HeldRecords();
  auto isHeld = [&](std::uint32_t line) {
    const auto n = static_cast<std::int32_t>(line);
    const auto it = std::lower_bound(held.begin(), held.end(), n, [](const LINEDATA_STRC* r, std::int32_t l) { return r->lineNo < l; });
    return it != held.end() && (*it)->lineNo == n;
  };
  std::vector<std::uint32_t> wanted;  // present line numbers
  for (int p = 0; p < 2; ++p) {
    if (p == 1 && !divided_) continue;
    const std::int32_t start = std::clamp(newFirsts[p].value, 1, static_cast<std::int32_t>(lines) - size + 1);
    for (std::int32_t i = 0; i < size; ++i) {
      const auto line = static_cast<std::uint32_t>(start + i);
      const std::uint32_t now = line < from ? line : line + count;
      if (!isHeld(now)) wanted.push_back(now);
    }
  }
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  for (std::uint32_t line : wanted) {
    const std::uint32_t offset = LineOffsetOf(LineNo(static_cast<std::int32_t>(line)));
    LINEDATA_STRC* r = offset != 0 ? LoadRecord(line, offset) : nullptr;
    if (r == nullptr) {
      for (LINEDATA_STRC* loaded : *entering) FreeRecord(loaded);
      entering->clear();
      return false;
    }
    entering->push_back(r);
  }
  return true;
}

// ---- the index ------------------------------------------------------------------------------------

bool LineStore::ResizeTmpOffset(std::int32_t add) {
  if (add <= 0) return true;  // committed entries are never given back
  const std::uint64_t want = std::uint64_t{index_.committed} + static_cast<std::uint64_t>(add);
  if (want > kIndexReserveEntries || !indexMemory_.Commit(static_cast<std::size_t>(want) * sizeof(TMPOFFSET))) {
    base::Tell(host_, kIndexCommitFailed, base::BoxIcon::None, base::BoxButtons::Ok, kDebugCaption);
    return false;
  }
  std::memset(index_.entries + index_.committed, 0, static_cast<std::size_t>(add) * sizeof(TMPOFFSET));
  index_.committed = static_cast<std::uint32_t>(want);
  return true;
}

bool LineStore::InsertIndexEntry(std::uint32_t at, const TMPOFFSET& entry) {
  // Room for the entries in use, the new one and the terminator.
  if (index_.used + 2 > index_.committed && !ResizeTmpOffset(static_cast<std::int32_t>(index_.used + 2 - index_.committed)))
    return false;
  std::memmove(index_.entries + at + 1, index_.entries + at, (index_.used + 1 - at) * sizeof(TMPOFFSET));
  index_.entries[at] = entry;
  ++index_.used;
  return true;
}

void LineStore::RemoveIndexEntry(std::uint32_t at) {
  std::memmove(index_.entries + at, index_.entries + at + 1, (index_.used - at) * sizeof(TMPOFFSET));
  --index_.used;
  std::memset(index_.entries + index_.used, 0, sizeof(TMPOFFSET));
}

std::int64_t LineStore::IndexEntryOf(std::uint32_t line) const {
  const TMPOFFSET* begin = index_.entries;
  const TMPOFFSET* end = index_.entries + index_.used;
  const TMPOFFSET* it = std::lower_bound(begin, end, line, [](const TMPOFFSET& e, std::uint32_t l) { return e.line < l; });
  return it != end && it->line == line ? it - begin : -1;
}

std::uint32_t LineStore::IndexPositionOf(std::uint32_t line) const {
  const TMPOFFSET* begin = index_.entries;
  return static_cast<std::uint32_t>(
      std::lower_bound(begin, begin + index_.used, line, [](const TMPOFFSET& e, std::uint32_t l) { return e.line < l; }) -
      begin);
}

TMPOFFSET* LineStore::EnsureIndexEntry(LineNo line) {
  const auto n = static_cast<std::uint32_t>(line.value);
  const std::int64_t have = IndexEntryOf(n);
  if (have >= 0) return &index_.entries[have];
  const std::uint32_t offset = LineOffsetOf(line);
  if (offset == 0) return nullptr;
  const TMPOFFSET* begin = index_.entries;
  const auto at = static_cast<std::uint32_t>(
      std::lower_bound(begin, begin + index_.used, n, [](const TMPOFFSET& e, std::uint32_t l) { return e.line < l; }) -
      begin);
  TMPOFFSET e{};
  e.line = n;
  e.offset = offset;
  return InsertIndexEntry(at, e) ? &index_.entries[at] : nullptr;
}

void LineStore::IndexAfterSplit(std::uint32_t splitLine) {
  std::uint32_t i = 0;
  for (; i < index_.used && index_.entries[i].line <= splitLine; ++i) {
  }
  for (std::uint32_t k = i; k < index_.used; ++k) ++index_.entries[k].line;
  if (i == 0) return;
  // The entry at or above the split line; a gap past 100 lines gets an entry at +50.
  TMPOFFSET& e = index_.entries[i - 1];
  const std::uint32_t next = i < index_.used ? index_.entries[i].line : lineCount_;
  if (next - e.line > kIndexSpacing) {
    TMPOFFSET added{};
    added.line = e.line + kIndexInsertAt;
    added.offset = cache_.GetTmpCacheOffset(e.offset, static_cast<std::int32_t>(kIndexInsertAt));
    if (added.offset != 0) InsertIndexEntry(i, added);
  }
}

void LineStore::IndexAfterDelete(std::uint32_t line, std::uint32_t nextOffset) {
  bool removed = false;
  std::uint32_t i = 0;
  for (; i < index_.used && index_.entries[i].line < line; ++i) {
  }
  if (line == 1 && index_.used > 0) {
    // Line 1's entry stays and points at the following line; the deleted
    // line's own marks go with it.
    TMPOFFSET& first = index_.entries[0];
    ReleaseLabel(first.rangeIndex);
    first.offset = nextOffset;
    first.bookmarkMark = 0;
    first.rangeIndex = 0;
    first.stateValid = 1;
    first.colourState = 0;
    if (index_.used > 1 && index_.entries[1].line == 2) {
      first.bookmarkMark = index_.entries[1].bookmarkMark;
      first.rangeIndex = index_.entries[1].rangeIndex;
      RemoveIndexEntry(1);
      removed = true;
    }
    i = 1;
  } else if (i < index_.used && index_.entries[i].line == line) {
    ReleaseLabel(index_.entries[i].rangeIndex);
    RemoveIndexEntry(i);
    removed = true;
  }
  for (std::uint32_t k = i; k < index_.used; ++k) --index_.entries[k].line;
  if (removed || index_.used < 3) return;
  // Thin out one entry near the deleted line when its neighbours are close.
  std::uint32_t e = i > 0 ? i - 1 : 0;
  if (e == 0) e = 1;
  if (e + 1 >= index_.used) return;
  const TMPOFFSET& entry = index_.entries[e];
  if (entry.bookmarkMark != 0 || entry.rangeIndex != 0) return;
  const std::uint32_t p = index_.entries[e - 1].line, n = index_.entries[e + 1].line, en = entry.line;
  const bool keep = (n - en > 49 && en - p > 49) || n - p > 99;
  if (!keep) RemoveIndexEntry(e);
}

// The index after lines from .. from + count - 1 went (nextOffset: the
// record that follows them): their entries go, with their range labels; the
// entries below move up. Line 1's entry stays, as after a single deletion.
void LineStore::IndexAfterRemove(std::uint32_t from, std::uint32_t count, std::uint32_t nextOffset) {
  const std::uint32_t last = from + count - 1;
  std::uint32_t keep = IndexPositionOf(from), resume = IndexPositionOf(last + 1);
  for (std::uint32_t i = keep; i < resume; ++i) ReleaseLabel(index_.entries[i].rangeIndex);
  if (from == 1) {
    TMPOFFSET& first = index_.entries[0];
    first.offset = nextOffset;
    first.bookmarkMark = 0;
    first.rangeIndex = 0;
    first.stateValid = 1;
    first.colourState = 0;
    if (resume < index_.used && index_.entries[resume].line == last + 1) {
      // The new line 1 had an entry of its own: its marks go to line 1's.
      first.bookmarkMark = index_.entries[resume].bookmarkMark;
      first.rangeIndex = index_.entries[resume].rangeIndex;
      ++resume;
    }
    keep = 1;
  }
  const std::uint32_t gone = resume - keep;
  std::memmove(index_.entries + keep, index_.entries + resume, (index_.used + 1 - resume) * sizeof(TMPOFFSET));
  index_.used -= gone;
  std::memset(index_.entries + index_.used + 1, 0, gone * sizeof(TMPOFFSET));
  for (std::uint32_t i = keep; i < index_.used; ++i) index_.entries[i].line -= count;
}

bool LineStore::UnlinkLine(std::uint32_t lineNo, std::uint32_t offset) {
  RecordHeader h;
  if (RecordAt(offset, &h) == nullptr) return false;
  if (!cache_.UnlinkRecord(offset)) return false;
  IndexAfterDelete(lineNo, h.nextOffset);
  InvalidateColourStates(LineNo(static_cast<std::int32_t>(lineNo)));
  return true;
}

// Sets one mark field of a line's index entry: a mark needs an entry, clearing
// one only touches an entry that exists.
template <typename Field>
bool LineStore::SetIndexMark(LineNo line, Field TMPOFFSET::*field, Field value) {
  if (value == 0) {
    const std::int64_t at = IndexEntryOf(static_cast<std::uint32_t>(line.value));
    if (at >= 0) index_.entries[at].*field = 0;
    return true;
  }
  TMPOFFSET* e = EnsureIndexEntry(line);
  if (e == nullptr) return false;
  e->*field = value;
  return true;
}

bool LineStore::SetBookmark(LineNo line, std::uint8_t mark) { return SetIndexMark(line, &TMPOFFSET::bookmarkMark, mark); }

std::uint8_t LineStore::Bookmark(LineNo line) const {
  const std::int64_t at = IndexEntryOf(static_cast<std::uint32_t>(line.value));
  return at >= 0 ? index_.entries[at].bookmarkMark : 0;
}

bool LineStore::SetRangeIndex(LineNo line, std::uint16_t rangeIndex) {
  LINEDATA_STRC* r = nullptr;
  const std::uint32_t offset = LineOffsetOf(line, &r);
  if (offset == 0) return false;
  if (r != nullptr) {
    r->rangeIndex = static_cast<std::int16_t>(rangeIndex);
    r->flags |= kModified;
  } else {
    RecordHeader h;
    const std::uint8_t* text = RecordAt(offset, &h);
    if (text == nullptr) return false;
    const std::string copy(reinterpret_cast<const char*>(text), h.length);
    if (RewriteRecord(offset, reinterpret_cast<const std::uint8_t*>(copy.data()), h.length, h.recFlags,
                             rangeIndex) == 0)
      return false;
  }
  return SetIndexMark(line, &TMPOFFSET::rangeIndex, rangeIndex);
}

std::uint16_t LineStore::RangeIndex(LineNo line) {
  LINEDATA_STRC* r = nullptr;
  const std::uint32_t offset = LineOffsetOf(line, &r);
  if (r != nullptr) return static_cast<std::uint16_t>(r->rangeIndex);
  RecordHeader h;
  return offset != 0 && RecordAt(offset, &h) != nullptr ? h.rangeIndex : 0;
}

std::optional<LineNo> LineStore::NextMarkedLine(LineNo from, int step, MarkKind kind) const {
  auto marked = [kind](const TMPOFFSET& e) { return kind == MarkKind::Bookmark ? e.bookmarkMark != 0 : e.rangeIndex != 0; };
  const std::int64_t n = from.value;
  const TMPOFFSET* begin = index_.entries;
  const TMPOFFSET* end = begin + index_.used;
  // The entry at or before the line (-1: the line lies above line 1).
  const std::int64_t at =
      std::upper_bound(begin, end, n, [](std::int64_t l, const TMPOFFSET& e) { return l < std::int64_t{e.line}; }) -
      begin - 1;
  if (step > 0) {
    for (std::int64_t i = std::max<std::int64_t>(at, 0); i < index_.used; ++i)
      if (index_.entries[i].line > n && marked(index_.entries[i]))
        return LineNo(static_cast<std::int32_t>(index_.entries[i].line));
  } else {
    for (std::int64_t i = at; i >= 0; --i)
      if (index_.entries[i].line < n && marked(index_.entries[i]))
        return LineNo(static_cast<std::int32_t>(index_.entries[i].line));
  }
  return std::nullopt;
}

int LineStore::BookmarkCount() const {
  return static_cast<int>(std::count_if(index_.entries, index_.entries + index_.used,
                                        [](const TMPOFFSET& e) { return e.bookmarkMark != 0; }));
}

std::uint8_t LineStore::FreeBookmarkNumber() const {
  std::array<bool, kMaxBookmarks + 1> taken{};
  for (std::uint32_t i = 0; i < index_.used; ++i) taken[index_.entries[i].bookmarkMark] = true;
  for (int n = 1; n <= kMaxBookmarks; ++n)
    if (!taken[static_cast<std::size_t>(n)]) return static_cast<std::uint8_t>(n);
  return 0;
}

std::string LineStore::RangeLabel(LineNo line) const {
  const std::int64_t at = IndexEntryOf(static_cast<std::uint32_t>(line.value));
  const std::uint16_t r = at >= 0 ? index_.entries[at].rangeIndex : 0;
  return r >= 1 && r <= kRangeLabelSlots ? labels_[r] : std::string();
}

bool LineStore::SetRangeLabel(LineNo line, std::string_view label) {
  if (line.value < 1 || static_cast<std::uint32_t>(line.value) > lineCount_) return false;
  std::uint16_t r = RangeIndex(line);
  if (r < 1 || r > kRangeLabelSlots) {
    // The smallest slot no line refers to.
    std::array<bool, kRangeLabelSlots + 1> taken{};
    for (std::uint32_t i = 0; i < index_.used; ++i)
      if (index_.entries[i].rangeIndex <= kRangeLabelSlots) taken[index_.entries[i].rangeIndex] = true;
    r = 1;
    while (r <= kRangeLabelSlots && taken[r]) ++r;
    if (r > kRangeLabelSlots) return false;
    if (!SetRangeIndex(line, r)) {
      SetRangeIndex(line, 0);  // the record may have taken it before the index refused
      return false;
    }
  }
  labels_[r].assign(label);
  labelTable_[r] = labels_[r].data();
  return true;
}

bool LineStore::ClearRangeLabel(LineNo line) {
  const std::uint16_t r = RangeIndex(line);
  if (r == 0 || !SetRangeIndex(line, 0)) return false;
  ReleaseLabel(r);
  return true;
}

void LineStore::ReleaseLabel(std::uint16_t r) {
  if (r < 1 || r > kRangeLabelSlots) return;
  std::string().swap(labels_[r]);
  labelTable_[r] = nullptr;
}

int LineStore::RangeLabelCount() const {
  return static_cast<int>(std::count_if(index_.entries, index_.entries + index_.used,
                                        [](const TMPOFFSET& e) { return e.rangeIndex != 0; }));
}

std::vector<std::pair<LineNo, std::string>> LineStore::RangeLabels() const {
  std::vector<std::pair<LineNo, std::string>> all;
  for (std::uint32_t i = 0; i < index_.used; ++i) {
    const TMPOFFSET& e = index_.entries[i];
    if (e.rangeIndex != 0)
      all.emplace_back(LineNo(static_cast<std::int32_t>(e.line)), e.rangeIndex <= kRangeLabelSlots ? labels_[e.rangeIndex] : "");
  }
  return all;
}

bool LineStore::ColourState(LineNo line, std::uint16_t* state) const {
  const std::int64_t at = IndexEntryOf(static_cast<std::uint32_t>(line.value));
  if (at < 0 || !index_.entries[at].stateValid) return false;
  *state = index_.entries[at].colourState;
  return true;
}

void LineStore::SetColourState(LineNo line, std::uint16_t state) {
  const std::int64_t at = IndexEntryOf(static_cast<std::uint32_t>(line.value));
  if (at < 0) return;
  index_.entries[at].colourState = state;
  index_.entries[at].stateValid = 1;
  const auto l = static_cast<std::uint32_t>(line.value);
  if (at > 0 && l >= invalidFrom_) invalidFrom_ = l + 1;
}

// Every entry after the first from line invalidFrom_ on holds no state, so an
// edit only clears the entries between its line and that mark (not the whole
// index on every keystroke). Entries move up past the mark only after an
// invalidation at or above them.
void LineStore::InvalidateColourStates(LineNo from) {
  const auto f = static_cast<std::uint32_t>(std::max(from.value, 1));
  if (f >= invalidFrom_) return;
  TMPOFFSET* const end = index_.entries + index_.used;
  TMPOFFSET* it = std::lower_bound(index_.entries + std::min<std::uint32_t>(1, index_.used), end, f,
                                   [](const TMPOFFSET& e, std::uint32_t l) { return e.line < l; });
  for (; it != end && it->line < invalidFrom_; ++it) it->stateValid = 0;
  invalidFrom_ = std::max<std::uint32_t>(f, 2);
}

// ---- cache records ---------------------------------------------------------------------------------

std::uint32_t LineStore::CreateOneLineTmpCache3(const std::uint8_t* bytes, std::int32_t length, std::uint8_t flags,
                                                std::uint16_t rangeIndex, std::uint32_t prev, std::uint32_t next) {
  const std::uint32_t n = static_cast<std::uint32_t>(length < 0 ? -length : length);
  const std::uint32_t offset = AppendRecord(length < 0 ? nullptr : bytes, n, flags, rangeIndex, prev, next);
  if (offset == 0) Fail(kNoAppendPage3);
  return offset;
}

std::uint32_t LineStore::RelocateLine(std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t length) {
  RecordHeader h;
  if (RecordAt(offset, &h) == nullptr) return 0;
  const std::uint32_t moved = RewriteRecord(offset, bytes, length, h.recFlags, h.rangeIndex);
  if (moved == 0) Fail(kNoAppendPage3);
  return moved;
}

void LineStore::MergeCandidatePages() {
  while (marge_.candidateCount >= 2) {
    const auto first = static_cast<std::uint32_t>(marge_.candidates[0]);
    const auto second = static_cast<std::uint32_t>(marge_.candidates[1]);
    cache_.DeleteMargeArray(first);
    cache_.DeleteMargeArray(second);
    if (!CompactPage(first, first) || !CompactPage(first, second)) break;
  }
  marge_.mergePending = marge_.candidateCount >= 2;
}

// Packs the live records of `source` into `destination` (the same page:
// compaction in place). Every moved line is followed by its neighbours' links,
// the index and the window records.
bool LineStore::CompactPage(std::uint32_t destination, std::uint32_t source) {
  const std::uint32_t size = cache_.pageSize();
  if (size == 0) return false;
  const std::uint32_t dstBase = destination - destination % size, srcBase = source - source % size;
  if (dstBase == chain_.appendBase || srcBase == chain_.appendBase) return false;  // never the append page
  PagePin pinDst(cache_, dstBase), pinSrc(cache_, srcBase);
  if (!pinDst.ok() || !pinSrc.ok()) return false;
  std::uint8_t* dst = cache_.GetTmpCachePage(0, dstBase, 0);
  std::uint8_t* src = cache_.GetTmpCachePage(0, srcBase, 0);
  if (dst == nullptr || src == nullptr) return false;
  const PageHeader srcHeader = LoadPageHeader(src);
  PageHeader dstHeader = LoadPageHeader(dst);
  std::uint32_t put = dstBase == srcBase ? dstBase + kPageHeaderSize : dstHeader.nextFree;
  for (std::uint32_t at = srcBase + kPageHeaderSize; at < srcHeader.nextFree;) {
    const RecordHeader h = LoadRecordHeader(src + (at - srcBase));
    const std::uint32_t recordBytes = kRecordHeaderSize + h.space;
    if (!(h.recFlags & kRecordDeleted)) {
      const std::uint16_t space = std::min<std::uint16_t>(h.space, cache_.GetLDataSpace(h.length));
      const std::uint32_t movedBytes = kRecordHeaderSize + space;
      if (put + movedBytes > dstBase + size) return false;  // cannot happen for two half-free pages
      if (put == at) {
        if (space != h.space) {  // stays, but gives up the space it no longer needs
          RecordHeader kept = h;
          kept.space = space;
          StoreRecordHeader(dst + (put - dstBase), kept);
        }
      } else {
        // Neighbours first: their pages must be at hand before anything moves.
        PagePin pinPrev(cache_, h.prevOffset ? h.prevOffset : dstBase);
        PagePin pinNext(cache_, h.nextOffset ? h.nextOffset : dstBase);
        if (!pinPrev.ok() || !pinNext.ok()) return false;
        RecordHeader moved = h;
        moved.space = space;
        std::memmove(dst + (put - dstBase) + kRecordHeaderSize, src + (at - srcBase) + kRecordHeaderSize, h.length);
        StoreRecordHeader(dst + (put - dstBase), moved);
        std::uint32_t self = put;
        StoreLinks(h.prevOffset, &self, nullptr);
        StoreLinks(h.nextOffset, nullptr, &self);
        if (h.prevOffset == 0) chain_.firstOffset = put;
        if (h.nextOffset == 0) chain_.lastOffset = put;
        cache_.CoordinationOffset(at, put, 0);
      }
      put += movedBytes;
    }
    at += recordBytes;
  }
  const std::uint32_t used = put - dstBase;
  std::memset(dst + used, 0, size - used);
  dstHeader = LoadPageHeader(dst);
  dstHeader.freeBytes = size - used;
  dstHeader.nextFree = put;
  dstHeader.pageFlags = kPageDirty;
  StorePageHeader(dst, dstHeader);
  if (srcBase != dstBase) {
    std::memset(src + kPageHeaderSize, 0, size - kPageHeaderSize);
    StorePageHeader(src, PageHeader{srcBase, size - kPageHeaderSize, srcBase + kPageHeaderSize,
                                    static_cast<std::uint8_t>(kPageEntirelyFree | kPageDirty), {0, 0, 0}});
    cache_.EntryEmptyTmpCachePage(srcBase, 0);
  }
  return true;
}

// ---- consistency -------------------------------------------------------------------------------------

std::string LineStore::CheckInvariants() {
  auto fail = [](const std::string& what) { return what; };
  // The chain: links both ways, its length, head and tail.
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint16_t> ranges;  // each line's rangeIndex
  std::uint32_t prev = 0;
  for (std::uint32_t at = chain_.firstOffset; at != 0;) {
    RecordHeader h;
    if (RecordAt(at, &h) == nullptr) return fail("chain: unreadable record " + std::to_string(at));
    if (h.recFlags & kRecordDeleted) return fail("chain: deleted record " + std::to_string(at));
    if (h.prevOffset != prev) return fail("chain: prev link of " + std::to_string(at));
    if (h.length > h.space) return fail("chain: length beyond space at " + std::to_string(at));
    offsets.push_back(at);
    ranges.push_back(h.rangeIndex);
    if (offsets.size() > lineCount_) return fail("chain: longer than lineCount");
    prev = at;
    at = h.nextOffset;
  }
  if (offsets.size() != lineCount_) return fail("chain: " + std::to_string(offsets.size()) + " records, lineCount " + std::to_string(lineCount_));
  if (chain_.lastOffset != prev) return fail("chain: tail");
  // The index: sorted, line 1 first, every entry finding its line.
  if (index_.used == 0 || index_.entries[0].line != 1) return fail("index: no entry for line 1");
  if (index_.entries[index_.used].line != 0) return fail("index: terminator");
  for (std::uint32_t i = 0; i < index_.used; ++i) {
    const TMPOFFSET& e = index_.entries[i];
    if (i > 0 && e.line <= index_.entries[i - 1].line) return fail("index: not sorted at " + std::to_string(i));
    if (e.line > lineCount_) return fail("index: entry past the last line");
    if (e.offset != offsets[e.line - 1]) return fail("index: entry for line " + std::to_string(e.line) + " misses");
  }
  // The windows: contiguous, full, pane bits, offsets matching the chain.
  for (int p = 0; p < 2; ++p) {
    const int size = WindowSize(p);
    const auto& slots = windows_.slots[static_cast<std::size_t>(p)];
    for (int i = 0; i < kWindowLines; ++i) {
      const LINEDATA_STRC* r = slots[static_cast<std::size_t>(i)];
      if (i >= size) {
        if (r != nullptr) return fail("window " + std::to_string(p) + ": slot past the window in use");
        continue;
      }
      if (r == nullptr) return fail("window " + std::to_string(p) + ": empty slot " + std::to_string(i));
      if (r->lineNo != slots[0]->lineNo + i) return fail("window " + std::to_string(p) + ": not contiguous");
      if (!(r->flags & PaneBit(p))) return fail("window " + std::to_string(p) + ": pane bit");
      if (r->cacheOffset != offsets[static_cast<std::size_t>(r->lineNo - 1)])
        return fail("window " + std::to_string(p) + ": line " + std::to_string(r->lineNo) + " has a stale offset");
      if (i > 0 && r->prev != slots[static_cast<std::size_t>(i - 1)]) return fail("window: in-memory links");
    }
  }
  const std::vector<LINEDATA_STRC*> held = HeldRecords();
  if (static_cast<int>(held.size()) != liveRecords_) return fail("records: live count");
  // Range-setting lines: a line's label index (a held record's being newer
  // than its cache record's) is its index entry's, and refers to a label of
  // its own.
  for (const LINEDATA_STRC* r : held)
    if (r->lineNo >= 1 && static_cast<std::uint32_t>(r->lineNo) <= lineCount_)
      ranges[static_cast<std::size_t>(r->lineNo - 1)] = static_cast<std::uint16_t>(r->rangeIndex);
  std::array<bool, kRangeLabelSlots + 1> referred{};
  std::size_t labelled = 0;
  for (std::uint32_t i = 0; i < index_.used; ++i) {
    const TMPOFFSET& e = index_.entries[i];
    const std::string line = std::to_string(e.line);
    if (e.rangeIndex != ranges[e.line - 1]) return fail("marks: line " + line + "'s record and index entry differ in rangeIndex");
    if (e.rangeIndex == 0) continue;
    ++labelled;
    if (e.rangeIndex > kRangeLabelSlots) return fail("marks: rangeIndex of line " + line + " beyond the label table");
    if (referred[e.rangeIndex]) return fail("marks: label " + std::to_string(e.rangeIndex) + " on two lines");
    referred[e.rangeIndex] = true;
    if (labelTable_[e.rangeIndex] != labels_[e.rangeIndex].data()) return fail("marks: line " + line + " has no label");
  }
  if (static_cast<std::size_t>(std::count_if(ranges.begin(), ranges.end(), [](std::uint16_t r) { return r != 0; })) != labelled)
    return fail("marks: a range-setting line without an index entry");
  if (index_.rangeLabels != labelTable_.data()) return fail("marks: the label table is not the index's");
  if (held.size() > 2 * static_cast<std::size_t>(kWindowLines)) return fail("records: more than two windows");
  // Page free counts: every page's free bytes are its size less its live records.
  std::vector<std::uint32_t> liveBytes(cache_.pageCount(), 0);
  const std::uint32_t size = cache_.pageSize();
  for (std::uint32_t at : offsets) {
    RecordHeader h;
    RecordAt(at, &h);
    liveBytes[at / size] += kRecordHeaderSize + h.space;
  }
  std::vector<std::uint32_t> sorted = offsets;
  std::sort(sorted.begin(), sorted.end());
  for (std::uint32_t page = 0; page < liveBytes.size(); ++page) {
    const std::uint8_t* image = cache_.GetTmpCachePage(0, page * size, 0);
    if (image == nullptr) return fail("pages: unreadable page");
    const PageHeader h = LoadPageHeader(image);
    const bool isAppend = chain_.appendImage != nullptr && page * size == chain_.appendBase;
    // Records lie back to back up to the first unused byte: every live one is a line of the chain.
    const std::uint32_t end = isAppend ? chain_.appendNext : h.nextFree;
    std::uint32_t walked = 0;
    for (std::uint32_t at = h.baseOffset + kPageHeaderSize; liveBytes[page] != 0 && at < end;) {
      const RecordHeader r = LoadRecordHeader(image + (at - h.baseOffset));
      if (!(r.recFlags & kRecordDeleted)) {
        if (!std::binary_search(sorted.begin(), sorted.end(), at))
          return fail("pages: live record " + std::to_string(at) + " in no line");
        walked += kRecordHeaderSize + r.space;
      }
      at += kRecordHeaderSize + r.space;
    }
    if (walked != liveBytes[page]) return fail("pages: records of page " + std::to_string(page) + " overlap");
    const std::uint32_t free = isAppend ? chain_.appendFree : h.freeBytes;
    if (liveBytes[page] == 0 && !isAppend) continue;  // given back or never used since
    if (free != size - kPageHeaderSize - liveBytes[page])
      return fail("pages: free count of page " + std::to_string(page) + " is " + std::to_string(free) + ", live " +
                  std::to_string(liveBytes[page]));
  }
  for (std::uint32_t i = 1; i < index_.used; ++i)
    if (index_.entries[i].line >= invalidFrom_ && index_.entries[i].stateValid)
      return fail("index: entry of line " + std::to_string(index_.entries[i].line) + " holds a colour state past line " +
                  std::to_string(invalidFrom_));
  return {};
}

}  // namespace gorvane::document

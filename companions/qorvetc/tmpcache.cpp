#include "tmpcache.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace gorvane::qorvetc {

namespace doc = gorvane::document;
using doc::kPageHeaderSize;
using doc::kRecordHeaderSize;

void TmpCache::TmpCacheInit(const CacheSettings& settings, PageFileFactory factory) {
  settings_ = settings;
  factory_ = factory ? std::move(factory) : PageFileFactory(CreateTemporaryPageFile);
  pool_.reset();
  recordPin_ = -1;
}

bool TmpCache::CreateTmpCache() {
  if (!factory_) TmpCacheInit(settings_);
  if (!pool_ || !pool_->usable()) {
    std::unique_ptr<PageFile> file = factory_();
    if (file == nullptr) return false;
    pool_ = std::make_unique<PagePool>(settings_, std::move(file));
  }
  if (pool_->pageCount() == 0 && pool_->NewPage() == nullptr) return false;  // the default page
  return true;
}

void TmpCache::DeleteTmpCacheAll() {
  if (pool_) pool_->Reset();
  recordPin_ = -1;
  if (rec_.cache != nullptr) *rec_.cache = TPALLCACHE_MNG{};
  if (rec_.marge != nullptr) {
    rec_.marge->candidates.fill(-1);
    rec_.marge->candidateCount = 0;
    rec_.marge->mergePending = false;
  }
}

void TmpCache::HonourRecordPin() {
  if (!pool_ || rec_.cache == nullptr) return;
  const std::int64_t wanted = rec_.cache->pinnedPage;
  if (wanted == recordPin_) return;
  if (recordPin_ >= 0) pool_->Unpin(static_cast<std::uint32_t>(recordPin_));
  recordPin_ = -1;
  if (wanted >= 0 && wanted <= 0xFFFFFFFF && pool_->Pin(static_cast<std::uint32_t>(wanted))) recordPin_ = wanted;
}

std::uint8_t* TmpCache::GetTmpCachePage(int mode, std::uint32_t offset, int /*pane*/) {
  if (!pool_) return nullptr;
  return pool_->Page(mode == 2 ? 0 : offset);
}

std::uint8_t* TmpCache::CreateNewTmpCachePage(int /*mode*/) { return pool_ ? pool_->NewPage() : nullptr; }

std::uint16_t TmpCache::GetLDataSpace(std::uint32_t length) const {
  const std::uint32_t space = std::max<std::uint32_t>(16, (length + 15) / 16 * 16);
  const std::uint32_t limit = pageSize() - kPageHeaderSize - kRecordHeaderSize;
  if (!pool_ || space > limit || space > 0xFFF0) return 0;
  return static_cast<std::uint16_t>(space);
}

std::uint8_t* TmpCache::RecordPointer(std::uint32_t offset) {
  if (offset == 0 || !pool_) return nullptr;
  std::uint8_t* page = pool_->Page(offset);
  return page ? page + (offset - pool_->PageBase(offset)) : nullptr;
}

const std::uint8_t* TmpCache::RecordAt(std::uint32_t offset, RecordHeader* header) {
  const std::uint8_t* r = RecordPointer(offset);
  if (r == nullptr) return nullptr;
  if (header != nullptr) *header = doc::LoadRecordHeader(r);
  return r + kRecordHeaderSize;
}

// ---- the append page ------------------------------------------------------------------

bool TmpCache::CloseAppendPage() {
  TPALLCACHE_MNG& c = *rec_.cache;
  if (c.appendImage == nullptr) return true;
  std::uint8_t* page = pool_->Page(c.appendBase);
  if (page == nullptr) return false;
  doc::PageHeader h = doc::LoadPageHeader(page);
  h.freeBytes = c.appendFree;
  h.nextFree = c.appendNext;
  h.pageFlags = doc::kPageDirty;
  const bool entirelyFree = c.appendFree >= pageSize() - kPageHeaderSize;
  if (entirelyFree) h.pageFlags |= doc::kPageEntirelyFree;
  doc::StorePageHeader(page, h);
  const std::uint32_t base = c.appendBase;
  c.appendImage = nullptr;
  c.appendFree = 0;
  c.appendNext = 0;
  if (entirelyFree) {
    DeleteMargeArray(base);
    EntryEmptyTmpCachePage(base, 0);
  }
  return true;
}

bool TmpCache::OpenAppendPage() {
  if (rec_.creatingPage != nullptr) *rec_.creatingPage = 1;
  std::uint8_t* page = CreateNewTmpCachePage(2);
  if (rec_.creatingPage != nullptr) *rec_.creatingPage = 0;
  if (page == nullptr) return false;
  const doc::PageHeader h = doc::LoadPageHeader(page);
  TPALLCACHE_MNG& c = *rec_.cache;
  c.appendImage = page;
  c.appendBase = h.baseOffset;
  c.appendNext = h.nextFree;
  c.appendFree = h.freeBytes;
  return true;
}

std::uint32_t TmpCache::AppendRecord(const std::uint8_t* bytes, std::uint32_t length, std::uint8_t flags,
                                     std::uint16_t rangeIndex, std::uint32_t prev, std::uint32_t next) {
  const std::uint16_t space = GetLDataSpace(length);
  if (space == 0 || length > space || rec_.cache == nullptr) return 0;
  TPALLCACHE_MNG& c = *rec_.cache;
  const std::uint32_t need = kRecordHeaderSize + space;
  // The room that counts is the never-used tail: deleted records inside the
  // page are free but not where the next record goes.
  const bool fits = c.appendImage != nullptr && c.appendBase + pageSize() - c.appendNext >= need;
  if (!fits) {
    if (!CloseAppendPage() || !OpenAppendPage()) return 0;
  }
  // All the pages touched in memory at once before anything is written, so
  // that a failure leaves the chain as it was. While loading, the previous
  // line is mostly in the append page itself: then nothing needs pinning.
  const std::uint32_t base = c.appendBase;
  const bool prevHere = prev == 0 || pool_->PageBase(prev) == base;
  const bool nextHere = next == 0 || pool_->PageBase(next) == base;
  const bool several = !prevHere || !nextHere;
  std::optional<PagePin> pins[3];
  if (several) {
    pins[0].emplace(*this, base);
    pins[1].emplace(*this, prevHere ? base : prev);
    pins[2].emplace(*this, nextHere ? base : next);
    for (const auto& pin : pins)
      if (!pin->ok()) return 0;
  }

  const std::uint32_t offset = c.appendNext;
  std::uint8_t* page = pool_->Page(base);
  if (page == nullptr) return 0;
  std::uint8_t* r = page + (offset - base);
  doc::StoreRecordHeader(r, RecordHeader{next, prev, static_cast<std::uint16_t>(length), space, rangeIndex,
                                         static_cast<std::uint8_t>(flags & ~doc::kRecordDeleted), 0});
  if (bytes != nullptr && length != 0) std::memcpy(r + kRecordHeaderSize, bytes, length);
  c.appendNext += need;
  c.appendFree -= need;
  doc::PageHeader h = doc::LoadPageHeader(page);
  h.nextFree = c.appendNext;
  h.freeBytes = c.appendFree;
  h.pageFlags = static_cast<std::uint8_t>((h.pageFlags & ~doc::kPageEntirelyFree) | doc::kPageDirty);
  doc::StorePageHeader(page, h);
  c.appendImage = page;

  std::uint32_t head = offset, tail = offset;
  if (prev != 0 && prevHere) doc::StoreNextOffset(page + (prev - base), offset);
  else StoreLinks(prev, &head, nullptr);
  if (next != 0 && nextHere) doc::StorePrevOffset(page + (next - base), offset);
  else StoreLinks(next, nullptr, &tail);
  if (prev == 0) c.firstOffset = offset;
  if (next == 0) c.lastOffset = offset;
  return offset;
}

// Sets a record's next and/or prev link (0 offset: nothing); marks its page dirty.
bool TmpCache::StoreLinks(std::uint32_t offset, std::uint32_t* next, std::uint32_t* prev) {
  if (offset == 0) return true;
  std::uint8_t* page = pool_->Page(offset);
  if (page == nullptr) return false;
  std::uint8_t* r = page + (offset - pool_->PageBase(offset));
  if (next != nullptr) doc::StoreNextOffset(r, *next);
  if (prev != nullptr) doc::StorePrevOffset(r, *prev);
  doc::MarkPageDirty(page);
  return true;
}

std::uint32_t TmpCache::CreateOneLineTmpCache2(LINEDATA_STRC* line, std::uint32_t prev, std::uint32_t next) {
  if (line == nullptr) return 0;
  return AppendRecord(line->text, line->length, line->flags & doc::kLineAttributeBits,
                      static_cast<std::uint16_t>(line->rangeIndex), prev, next);
}

// ---- rewriting, unlinking, reclaiming --------------------------------------------------

std::uint32_t TmpCache::RewriteRecord(std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t length,
                                      std::uint8_t attributes, std::uint16_t rangeIndex, std::uint32_t lineHint) {
  RecordHeader h;
  if (RecordAt(offset, &h) == nullptr) return 0;
  attributes &= doc::kRecordAttributeBits;
  if (length <= h.space) {
    std::uint8_t* page = pool_->Page(offset);
    std::uint8_t* r = page + (offset - pool_->PageBase(offset));
    h.length = static_cast<std::uint16_t>(length);
    h.rangeIndex = rangeIndex;
    h.recFlags = static_cast<std::uint8_t>((h.recFlags & ~doc::kRecordAttributeBits) | attributes);
    doc::StoreRecordHeader(r, h);
    if (length != 0) std::memcpy(r + kRecordHeaderSize, bytes, length);
    doc::MarkPageDirty(page);
    return offset;
  }
  // Relocate: the new record is appended and linked first; only then is the
  // old one let go, so the line is never lost.
  const std::uint32_t moved = AppendRecord(bytes, length, attributes, rangeIndex, h.prevOffset, h.nextOffset);
  if (moved == 0) return 0;
  std::uint8_t* old = RecordPointer(offset);
  if (old != nullptr) {
    old[14] |= doc::kRecordDeleted;
    doc::MarkPageDirty(pool_->Page(offset));
    ReclaimSpace(offset, kRecordHeaderSize + h.space);
  }
  CoordinationOffset(offset, moved, lineHint);
  return moved;
}

bool TmpCache::UnlinkRecord(std::uint32_t offset) {
  RecordHeader h;
  if (RecordAt(offset, &h) == nullptr) return false;
  PagePin pinSelf(*this, offset);
  PagePin pinPrev(*this, h.prevOffset != 0 ? h.prevOffset : offset);
  PagePin pinNext(*this, h.nextOffset != 0 ? h.nextOffset : offset);
  if (!pinSelf.ok() || !pinPrev.ok() || !pinNext.ok()) return false;
  TPALLCACHE_MNG& c = *rec_.cache;
  StoreLinks(h.prevOffset, &h.nextOffset, nullptr);
  StoreLinks(h.nextOffset, nullptr, &h.prevOffset);
  if (h.prevOffset == 0) c.firstOffset = h.nextOffset;
  if (h.nextOffset == 0) c.lastOffset = h.prevOffset;
  std::uint8_t* r = RecordPointer(offset);
  r[14] |= doc::kRecordDeleted;
  doc::MarkPageDirty(pool_->Page(offset));
  ReclaimSpace(offset, kRecordHeaderSize + h.space);
  return true;
}

void TmpCache::ReclaimSpace(std::uint32_t offset, std::uint32_t bytes) {
  TPALLCACHE_MNG& c = *rec_.cache;
  const std::uint32_t base = pool_->PageBase(offset);
  std::uint8_t* page = pool_->Page(base);
  if (page == nullptr) return;
  doc::PageHeader h = doc::LoadPageHeader(page);
  h.freeBytes += bytes;
  h.pageFlags |= doc::kPageDirty;
  const std::uint32_t usable = pageSize() - kPageHeaderSize;
  if (c.appendImage != nullptr && base == c.appendBase) {
    c.appendFree = h.freeBytes;
    doc::StorePageHeader(page, h);
    return;
  }
  if (h.freeBytes >= usable) {
    h.freeBytes = usable;
    h.pageFlags |= doc::kPageEntirelyFree;
    doc::StorePageHeader(page, h);
    DeleteMargeArray(base);
    EntryEmptyTmpCachePage(base, 0);
    return;
  }
  doc::StorePageHeader(page, h);
  if (h.freeBytes >= usable / 2) EntryMargePage(base);
}

bool TmpCache::OverWriteOneLineToTmpCache(LINEDATA_STRC* line) {
  if (line == nullptr || line->cacheOffset == 0) return false;
  const std::uint32_t at = RewriteRecord(line->cacheOffset, line->text, line->length, line->flags,
                                         static_cast<std::uint16_t>(line->rangeIndex),
                                         static_cast<std::uint32_t>(line->lineNo));
  if (at == 0) return false;
  line->cacheOffset = at;
  line->flags = static_cast<std::uint8_t>(line->flags & ~doc::kModified);
  return true;
}

bool TmpCache::WriteBackLineListToTmpCache() {
  bool ok = true;
  for (auto& pane : rec_.windows->slots)
    for (LINEDATA_STRC* line : pane)
      if (line != nullptr && (line->flags & doc::kModified)) ok = OverWriteOneLineToTmpCache(line) && ok;
  return ok;
}

// ---- the index -------------------------------------------------------------------------

TMPOFFSET* TmpCache::SearchOffsetArrArea(std::uint32_t line, bool* isLast) {
  TMPOFFSET_MNG& idx = *rec_.index;
  if (idx.used == 0 || idx.entries == nullptr || line < idx.entries[0].line) return nullptr;
  std::uint32_t lo = 0, hi = idx.used;  // the answer is in [lo, hi)
  while (hi - lo > 1) {
    const std::uint32_t mid = lo + (hi - lo) / 2;
    if (idx.entries[mid].line <= line) lo = mid;
    else hi = mid;
  }
  if (isLast != nullptr) *isLast = lo + 1 == idx.used;
  return &idx.entries[lo];
}

std::uint32_t TmpCache::GetTmpCacheOffset(std::uint32_t offset, std::int32_t n) {
  while (offset != 0 && n != 0) {
    RecordHeader h;
    if (RecordAt(offset, &h) == nullptr) return 0;
    offset = n > 0 ? h.nextOffset : h.prevOffset;
    n += n > 0 ? -1 : 1;
  }
  return offset;
}

std::uint32_t TmpCache::GetTmpCacheOffset(std::uint32_t line) {
  if (line == 0 || (rec_.lineCount != nullptr && line > *rec_.lineCount)) return 0;
  const TMPOFFSET* e = SearchOffsetArrArea(line, nullptr);
  if (e == nullptr) return 0;
  return GetTmpCacheOffset(e->offset, static_cast<std::int32_t>(line - e->line));
}

void TmpCache::MakeOffsetList() {
  MARGEDATA& m = *rec_.marge;
  std::uint32_t n = 0;
  for (int pane = 0; pane < 2; ++pane)
    for (LINEDATA_STRC* line : rec_.windows->slots[static_cast<std::size_t>(pane)]) {
      // A record both windows hold is listed once (under pane 0).
      if (line == nullptr || (pane == 1 && (line->flags & doc::kInPane0))) continue;
      m.list[n++] = doc::OffsetPair{line->cacheOffset, line};
    }
  std::sort(m.list.begin(), m.list.begin() + n, [](const doc::OffsetPair& a, const doc::OffsetPair& b) {
    return a.offset < b.offset;
  });
  m.listCount = n;
  m.listValid = true;
}

LINEDATA_STRC* TmpCache::FindMemLine(std::uint32_t offset) {
  if (offset == 0) return nullptr;
  MARGEDATA& m = *rec_.marge;
  if (!m.listValid) MakeOffsetList();
  const auto end = m.list.begin() + m.listCount;
  const auto it = std::lower_bound(m.list.begin(), end, offset,
                                   [](const doc::OffsetPair& p, std::uint32_t o) { return p.offset < o; });
  return it != end && it->offset == offset ? it->line : nullptr;
}

void TmpCache::CoordinationOffset(std::uint32_t oldOffset, std::uint32_t newOffset, std::uint32_t lineHint) {
  ++moves_;
  if (rec_.index != nullptr && rec_.index->entries != nullptr) {
    TMPOFFSET* e = lineHint != 0 ? SearchOffsetArrArea(lineHint, nullptr) : nullptr;
    if (e != nullptr && e->line == lineHint) {
      if (e->offset == oldOffset) e->offset = newOffset;
    } else if (lineHint == 0) {
      for (std::uint32_t i = 0; i < rec_.index->used; ++i)
        if (rec_.index->entries[i].offset == oldOffset) rec_.index->entries[i].offset = newOffset;
    }
  }
  if (rec_.windows != nullptr)
    for (auto& pane : rec_.windows->slots)
      for (LINEDATA_STRC* line : pane)
        if (line != nullptr && line->cacheOffset == oldOffset) line->cacheOffset = newOffset;
  if (rec_.marge != nullptr) rec_.marge->listValid = false;
  if (rec_.cache != nullptr && rec_.cache->lastAppended == oldOffset) rec_.cache->lastAppended = newOffset;
}

// ---- page lists --------------------------------------------------------------------------

void TmpCache::EntryEmptyTmpCachePage(std::uint32_t page, int /*mode*/) {
  if (pool_) pool_->GiveBack(pool_->PageBase(page));
}

void TmpCache::EntryMargePage(std::uint32_t page) {
  MARGEDATA& m = *rec_.marge;
  const auto end = m.candidates.begin() + m.candidateCount;
  if (std::find(m.candidates.begin(), end, page) != end || m.candidateCount >= m.candidates.size()) return;
  m.candidates[m.candidateCount++] = page;
  m.mergePending = m.candidateCount >= 2;
}

void TmpCache::DeleteMargeArray(std::uint32_t page) {
  MARGEDATA& m = *rec_.marge;
  const auto end = m.candidates.begin() + m.candidateCount;
  const auto it = std::find(m.candidates.begin(), end, page);
  if (it == end) return;
  std::move(it + 1, end, it);
  m.candidates[--m.candidateCount] = -1;
  m.mergePending = m.candidateCount >= 2;
}

}  // namespace gorvane::qorvetc

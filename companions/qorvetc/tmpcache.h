// The temporary-cache half of the support library: pages paged to a
// temporary file, record appending and linking, space reclaiming with the
// empty-page and merge-candidate lists, write-back of window lines, and the
// sparse line index over the editor's registered records.
//
// One TmpCache serves one editor process (the DLL holds one instance; tests
// make as many as they like). Every call runs on the editor's window thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "companions/qorvetc/cache_layout.h"
#include "companions/qorvetc/records.h"
#include "companions/qorvetc/temp_cache.h"
#include "page_pool.h"

namespace gorvane::qorvetc {

using document::LINEDATA_STRC;
using document::MARGEDATA;
using document::MEMDATA;
using document::RecordHeader;
using document::TMPOFFSET;
using document::TMPOFFSET_MNG;
using document::TPALLCACHE_MNG;

// The editor's records the library reads and writes in place.
struct RegisteredRecords {
  TPALLCACHE_MNG* cache = nullptr;
  MEMDATA* windows = nullptr;
  MARGEDATA* marge = nullptr;
  TMPOFFSET_MNG* index = nullptr;
  std::uint32_t* lineCount = nullptr;
  std::uint8_t* creatingPage = nullptr;  // set while a new append page is made
};

class TmpCache final : public document::TempCache {
 public:
  TmpCache() = default;
  TmpCache(const TmpCache&) = delete;
  TmpCache& operator=(const TmpCache&) = delete;

  void SetStructPointer(const RegisteredRecords& records) { rec_ = records; }
  void SetStructPointer(const document::SharedRecords& r) override {
    rec_ = RegisteredRecords{r.cache, r.windows, r.marge, r.index, r.app != nullptr ? &r.app->lineCount : nullptr,
                             r.app != nullptr ? &r.app->creatingPage : nullptr};
  }
  const RegisteredRecords& records() const { return rec_; }

  // Settings, read once; the page file comes from factory (default: a real
  // temporary file).
  void TmpCacheInit(const CacheSettings& settings, PageFileFactory factory = {}) override;
  // The temporary file and the default page (offset 0). False on failure.
  bool CreateTmpCache() override;
  // Every page discarded (a new document follows with CreateTmpCache).
  void DeleteTmpCacheAll() override;
  bool CreateTmpHdMem() { return true; }
  void DestroyTmpHdMem() override {
    pool_.reset();
    recordPin_ = -1;
  }

  // mode 0/1: the page that holds offset; 2: the default page. Null on
  // failure. Valid until the next call unless the page is pinned.
  std::uint8_t* GetTmpCachePage(int mode, std::uint32_t offset, int pane) override;
  // A fresh page (2 editing, 3 new document); null when none can be had.
  std::uint8_t* CreateNewTmpCachePage(int mode);
  bool PinPage(std::uint32_t offset) override { return pool_ && pool_->Pin(offset); }
  void UnpinPage(std::uint32_t offset) override {
    if (pool_) pool_->Unpin(offset);
  }
  // Callers that hold page pointers across calls name the page in the chain
  // record's pinnedPage (-1: none); this makes the pool keep that page.
  void HonourRecordPin();
  std::uint32_t pageSize() const override { return pool_ ? pool_->pageSize() : 0; }
  std::uint32_t pageCount() override { return pool_ ? pool_->pageCount() : 0; }
  PagePool* pool() { return pool_.get(); }

  // Record space for a line of `length` bytes: at least length, a multiple of
  // 16, kept inside one page; 0 when the line cannot fit in a page.
  std::uint16_t GetLDataSpace(std::uint32_t length) const override;

  // Appends a record at the append page (a new one when it is too full) and
  // links it between prev and next (0: it becomes the chain's head or tail).
  // bytes null: space is only reserved. Returns its offset, 0 on failure (the
  // chain is then unchanged).
  std::uint32_t AppendRecord(const std::uint8_t* bytes, std::uint32_t length, std::uint8_t flags,
                             std::uint16_t rangeIndex, std::uint32_t prev, std::uint32_t next);
  // A new record holding a window line, linked between prev and next.
  std::uint32_t CreateOneLineTmpCache2(LINEDATA_STRC* line, std::uint32_t prev, std::uint32_t next) override;
  // The cache holds the window line's current text afterwards (relocating the
  // record when it has outgrown its space; line->cacheOffset follows).
  bool OverWriteOneLineToTmpCache(LINEDATA_STRC* line) override;
  // Every modified window line of both panes written back.
  bool WriteBackLineListToTmpCache() override;
  // Rewrites a record's text in place, or relocates it when it has outgrown
  // its space. Returns the line's offset afterwards (0 on failure, the old
  // record then intact).
  std::uint32_t RewriteRecord(std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t length,
                              std::uint8_t attributes, std::uint16_t rangeIndex, std::uint32_t lineHint = 0);
  // Takes a record out of the chain: its neighbours are linked to each other,
  // it is marked deleted and its space reclaimed. False on failure (nothing
  // changed).
  bool UnlinkRecord(std::uint32_t offset) override;
  // Returns a record's space to its page (deleted or relocated record).
  void ReclaimSpace(std::uint32_t offset, std::uint32_t bytes);

  // The line index.
  std::uint32_t GetTmpCacheOffset(std::uint32_t line) override;
  std::uint32_t GetTmpCacheOffset(std::uint32_t offset, std::int32_t n) override;
  TMPOFFSET* SearchOffsetArrArea(std::uint32_t line, bool* isLast);
  void MakeOffsetList() override;
  // The window record holding the line at offset, or null (the list is
  // rebuilt first when the windows changed since it was made).
  LINEDATA_STRC* FindMemLine(std::uint32_t offset);
  // A record moved (or, in a split, its line got a new record): index entries
  // and window records follow. The chain's head and tail are the linking
  // code's business.
  // lineHint: the line's number when known (its index entry is then found
  // directly instead of by a scan).
  void CoordinationOffset(std::uint32_t oldOffset, std::uint32_t newOffset, std::uint32_t lineHint = 0) override;
  // Counts the moves reported so far: an offset remembered across a change of
  // this count may be stale.
  std::uint64_t moves() const override { return moves_; }

  // Page lists.
  void EntryEmptyTmpCachePage(std::uint32_t page, int mode) override;
  void EntryMargePage(std::uint32_t page);
  void DeleteMargeArray(std::uint32_t page) override;

  // A record's header and text (null when its page cannot be had).
  const std::uint8_t* RecordAt(std::uint32_t offset, RecordHeader* header);
  bool StoreLinks(std::uint32_t offset, std::uint32_t* next, std::uint32_t* prev);

 private:
  bool OpenAppendPage();
  bool CloseAppendPage();
  std::uint8_t* RecordPointer(std::uint32_t offset);

  CacheSettings settings_;
  PageFileFactory factory_;
  std::unique_ptr<PagePool> pool_;
  RegisteredRecords rec_;
  std::uint64_t moves_ = 0;
  std::int64_t recordPin_ = -1;  // the page pinned for the chain record's pinnedPage
};

using document::PagePin;

}  // namespace gorvane::qorvetc

// The temporary cache of the support library as the line store calls it: one
// call per library function (the program calls QORVetc.dll's exports, the
// native builds and tests the portable TmpCache directly), over the records
// the editor registers. Everything else the line store does with cache
// records it does itself in the page images GetTmpCachePage hands out.
#pragma once

#include <cstdint>

#include "companions/qorvetc/page_file.h"
#include "companions/qorvetc/page_pool.h"
#include "companions/qorvetc/records.h"

namespace gorvane::document {

// The editor's records the library reads and writes in place.
struct SharedRecords {
  TPALLCACHE_MNG* cache = nullptr;
  SETTINGDATA* settings = nullptr;
  APPDATA* app = nullptr;
  MEMDATA* windows = nullptr;
  MARGEDATA* marge = nullptr;
  TMPOFFSET_MNG* index = nullptr;
};

class TempCache {
 public:
  virtual ~TempCache() = default;

  virtual void SetStructPointer(const SharedRecords& records) = 0;
  // The settings are the ones registered in SETTINGDATA; pageFiles: where the
  // pages go (tests; empty: a real temporary file).
  virtual void TmpCacheInit(const qorvetc::CacheSettings& settings, qorvetc::PageFileFactory pageFiles) = 0;
  virtual bool CreateTmpCache() = 0;
  virtual void DeleteTmpCacheAll() = 0;
  virtual void DestroyTmpHdMem() = 0;

  // mode 0/1: the page image that holds offset; 2: the default page. Null on
  // failure. Valid until the next call unless the page is pinned.
  virtual std::uint8_t* GetTmpCachePage(int mode, std::uint32_t offset, int pane) = 0;
  virtual bool PinPage(std::uint32_t offset) = 0;
  virtual void UnpinPage(std::uint32_t offset) = 0;
  virtual std::uint32_t pageSize() const = 0;
  // Pages of the cache space in use.
  virtual std::uint32_t pageCount() = 0;
  virtual std::uint16_t GetLDataSpace(std::uint32_t length) const = 0;

  // A new record with the window line's text, linked between prev and next.
  virtual std::uint32_t CreateOneLineTmpCache2(LINEDATA_STRC* line, std::uint32_t prev, std::uint32_t next) = 0;
  // The cache holds the line's text afterwards; line->cacheOffset follows a
  // relocation.
  virtual bool OverWriteOneLineToTmpCache(LINEDATA_STRC* line) = 0;
  virtual bool WriteBackLineListToTmpCache() = 0;
  // Takes a record out of the chain and reclaims its space.
  virtual bool UnlinkRecord(std::uint32_t offset) = 0;

  virtual std::uint32_t GetTmpCacheOffset(std::uint32_t line) = 0;
  virtual std::uint32_t GetTmpCacheOffset(std::uint32_t offset, std::int32_t n) = 0;
  virtual void MakeOffsetList() = 0;
  // lineHint: the moved line's number when known.
  virtual void CoordinationOffset(std::uint32_t oldOffset, std::uint32_t newOffset, std::uint32_t lineHint) = 0;
  // Changes whenever a record moves: an offset remembered across a change may be stale.
  virtual std::uint64_t moves() const = 0;

  virtual void EntryEmptyTmpCachePage(std::uint32_t page, int mode) = 0;
  virtual void DeleteMargeArray(std::uint32_t page) = 0;
};

// Keeps a page in memory (its pointers valid) for a scope.
class PagePin {
 public:
  PagePin(TempCache& cache, std::uint32_t offset) : cache_(cache), offset_(offset), ok_(cache.PinPage(offset)) {}
  ~PagePin() {
    if (ok_) cache_.UnpinPage(offset_);
  }
  PagePin(const PagePin&) = delete;
  PagePin& operator=(const PagePin&) = delete;
  bool ok() const { return ok_; }

 private:
  TempCache& cache_;
  std::uint32_t offset_;
  bool ok_;
};

}  // namespace gorvane::document

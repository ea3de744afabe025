// Win32 only: the line store's temporary cache over QORVetc.dll's exports, for
// the editor program (which links this instead of the cache's code). The
// records the store registers are handed to the library's SetStructPointer as
// soon as the library is bound; until then every call fails or does nothing.
#pragma once

#include <windows.h>

#include "companions/qorvetc/qorvetc_win32.h"
#include "companions/qorvetc/temp_cache.h"

namespace gorvane::qorvetc {

class DllTmpCache final : public document::TempCache {
 public:
  // Binds the exports the line store uses and registers the records known so
  // far; false (nothing bound) when one of them is missing.
  bool Bind(HMODULE library);
  bool bound() const { return bound_; }

  void SetStructPointer(const document::SharedRecords& records) override;
  void TmpCacheInit(const CacheSettings& settings, PageFileFactory pageFiles) override;
  bool CreateTmpCache() override;
  void DeleteTmpCacheAll() override;
  void DestroyTmpHdMem() override;
  std::uint8_t* GetTmpCachePage(int mode, std::uint32_t offset, int pane) override;
  bool PinPage(std::uint32_t offset) override;
  void UnpinPage(std::uint32_t offset) override;
  std::uint32_t pageSize() const override { return pageSize_; }
  std::uint32_t pageCount() override;
  std::uint16_t GetLDataSpace(std::uint32_t length) const override;
  std::uint32_t CreateOneLineTmpCache2(document::LINEDATA_STRC* line, std::uint32_t prev, std::uint32_t next) override;
  bool OverWriteOneLineToTmpCache(document::LINEDATA_STRC* line) override;
  bool WriteBackLineListToTmpCache() override;
  bool UnlinkRecord(std::uint32_t offset) override;
  std::uint32_t GetTmpCacheOffset(std::uint32_t line) override;
  std::uint32_t GetTmpCacheOffset(std::uint32_t offset, std::int32_t n) override;
  void MakeOffsetList() override;
  void CoordinationOffset(std::uint32_t oldOffset, std::uint32_t newOffset, std::uint32_t lineHint) override;
  std::uint64_t moves() const override;
  void EntryEmptyTmpCachePage(std::uint32_t page, int mode) override;
  void DeleteMargeArray(std::uint32_t page) override;

 private:
  void Register();

  struct Exports {
    SetStructPointer_t setStructPointer = nullptr;
    TmpCacheInit_t tmpCacheInit = nullptr;
    CreateTmpCache_t createTmpCache = nullptr;
    DeleteTmpCacheAll_t deleteTmpCacheAll = nullptr;
    DestroyTmpHdMem_t destroyTmpHdMem = nullptr;
    GetTmpCachePage_t getTmpCachePage = nullptr;
    PinTmpCachePage_t pinPage = nullptr;
    UnpinTmpCachePage_t unpinPage = nullptr;
    GetLDataSpace_t getLDataSpace = nullptr;
    CreateOneLineTmpCache2_t createOneLineTmpCache2 = nullptr;
    OverWriteOneLineToTmpCache_t overWriteOneLineToTmpCache = nullptr;
    WriteBackLineListToTmpCache_t writeBackLineListToTmpCache = nullptr;
    UnlinkTmpCacheRecord_t unlinkRecord = nullptr;
    GetTmpCacheOffset_t getTmpCacheOffset = nullptr;
    GetTmpCacheOffset2_t getTmpCacheOffset2 = nullptr;
    MakeOffsetList_t makeOffsetList = nullptr;
    CoordinationOffset_t coordinationOffset = nullptr;
    CoordinationOffset2_t coordinationOffset2 = nullptr;
    GetTmpCacheMoveCount_t moveCount = nullptr;
    EntryEmptyTmpCachePage_t entryEmptyTmpCachePage = nullptr;
    DeleteMargeArray_t deleteMargeArray = nullptr;
  };
  Exports x_;
  bool bound_ = false;
  document::SharedRecords records_;
  std::uint32_t pageSize_ = 0;
};

}  // namespace gorvane::qorvetc

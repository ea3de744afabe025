// Win32 only: the line store's temporary cache through QORVetc.dll's exports.
#include "companions/qorvetc/qorvetc_binding_win32.h"

#include "companions/qorvetc/search_binding_win32.h"

namespace gorvane::qorvetc {

namespace {

template <typename F>
bool Take(HMODULE m, const char* name, F* to) {
  *to = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  return *to != nullptr;
}

}  // namespace

bool DllTmpCache::Bind(HMODULE m) {
  Exports e;
  const bool all =
      m != nullptr && Take(m, "SetStructPointer", &e.setStructPointer) && Take(m, "TmpCacheInit", &e.tmpCacheInit) &&
      Take(m, "CreateTmpCache", &e.createTmpCache) && Take(m, "DeleteTmpCacheAll", &e.deleteTmpCacheAll) &&
      Take(m, "DestroyTmpHdMem", &e.destroyTmpHdMem) && Take(m, "GetTmpCachePage", &e.getTmpCachePage) &&
      Take(m, "PinTmpCachePage", &e.pinPage) && Take(m, "UnpinTmpCachePage", &e.unpinPage) &&
      Take(m, "GetLDataSpace", &e.getLDataSpace) && Take(m, "CreateOneLineTmpCache2", &e.createOneLineTmpCache2) &&
      Take(m, "OverWriteOneLineToTmpCache", &e.overWriteOneLineToTmpCache) &&
      Take(m, "WriteBackLineListToTmpCache", &e.writeBackLineListToTmpCache) &&
      Take(m, "UnlinkTmpCacheRecord", &e.unlinkRecord) && Take(m, "GetTmpCacheOffset", &e.getTmpCacheOffset) &&
      Take(m, "GetTmpCacheOffset2", &e.getTmpCacheOffset2) && Take(m, "MakeOffsetList", &e.makeOffsetList) &&
      Take(m, "CoordinationOffset", &e.coordinationOffset) && Take(m, "CoordinationOffset2", &e.coordinationOffset2) &&
      Take(m, "GetTmpCacheMoveCount", &e.moveCount) && Take(m, "EntryEmptyTmpCachePage", &e.entryEmptyTmpCachePage) &&
      Take(m, "DeleteMargeArray", &e.deleteMargeArray) && BindSearchExports(m);
  if (!all) return false;
  x_ = e;
  bound_ = true;
  Register();
  return true;
}

void DllTmpCache::SetStructPointer(const document::SharedRecords& records) {
  records_ = records;
  Register();
}

// The editor's records in the library's argument order; those the editor has
// no part of yet go as null.
void DllTmpCache::Register() {
  if (!bound_ || records_.cache == nullptr) return;
  x_.setStructPointer(records_.cache, records_.settings, nullptr, nullptr, nullptr, records_.app, records_.windows,
                      records_.marge, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, records_.index, nullptr);
}

void DllTmpCache::TmpCacheInit(const CacheSettings& settings, PageFileFactory) {
  // The library reads the settings from the registered SETTINGDATA.
  pageSize_ = PoolPageSize(settings.pageSize);
  if (bound_) x_.tmpCacheInit();
}

bool DllTmpCache::CreateTmpCache() { return bound_ && x_.createTmpCache() != FALSE; }
void DllTmpCache::DeleteTmpCacheAll() {
  if (bound_) x_.deleteTmpCacheAll();
}
void DllTmpCache::DestroyTmpHdMem() {
  if (bound_) x_.destroyTmpHdMem();
}

std::uint8_t* DllTmpCache::GetTmpCachePage(int mode, std::uint32_t offset, int pane) {
  return bound_ ? x_.getTmpCachePage(mode, offset, pane) : nullptr;
}
bool DllTmpCache::PinPage(std::uint32_t offset) { return bound_ && x_.pinPage(offset) != FALSE; }
void DllTmpCache::UnpinPage(std::uint32_t offset) {
  if (bound_) x_.unpinPage(offset);
}

// The pages in use: the library hands out the image of every one of them and
// none past them (for consistency checks only).
std::uint32_t DllTmpCache::pageCount() {
  if (!bound_ || pageSize_ == 0) return 0;
  std::uint32_t n = 0;
  while (static_cast<std::uint64_t>(n + 1) * pageSize_ <= 0xFFFFFFFFull && x_.getTmpCachePage(0, n * pageSize_, 0))
    ++n;
  return n;
}

std::uint16_t DllTmpCache::GetLDataSpace(std::uint32_t length) const { return bound_ ? x_.getLDataSpace(length) : 0; }

std::uint32_t DllTmpCache::CreateOneLineTmpCache2(document::LINEDATA_STRC* line, std::uint32_t prev, std::uint32_t next) {
  return bound_ ? x_.createOneLineTmpCache2(line, prev, next) : 0;
}
bool DllTmpCache::OverWriteOneLineToTmpCache(document::LINEDATA_STRC* line) {
  return bound_ && x_.overWriteOneLineToTmpCache(line) != FALSE;
}
bool DllTmpCache::WriteBackLineListToTmpCache() { return bound_ && x_.writeBackLineListToTmpCache() != FALSE; }
bool DllTmpCache::UnlinkRecord(std::uint32_t offset) { return bound_ && x_.unlinkRecord(offset) != FALSE; }

std::uint32_t DllTmpCache::GetTmpCacheOffset(std::uint32_t line) { return bound_ ? x_.getTmpCacheOffset(line) : 0; }
std::uint32_t DllTmpCache::GetTmpCacheOffset(std::uint32_t offset, std::int32_t n) {
  return bound_ ? x_.getTmpCacheOffset2(offset, n) : 0;
}
void DllTmpCache::MakeOffsetList() {
  if (bound_) x_.makeOffsetList();
}
void DllTmpCache::CoordinationOffset(std::uint32_t oldOffset, std::uint32_t newOffset, std::uint32_t lineHint) {
  if (!bound_) return;
  if (lineHint != 0) x_.coordinationOffset2(oldOffset, newOffset, lineHint);
  else x_.coordinationOffset(oldOffset, newOffset);
}
std::uint64_t DllTmpCache::moves() const { return bound_ ? x_.moveCount() : 0; }

void DllTmpCache::EntryEmptyTmpCachePage(std::uint32_t page, int mode) {
  if (bound_) x_.entryEmptyTmpCachePage(page, mode);
}
void DllTmpCache::DeleteMargeArray(std::uint32_t page) {
  if (bound_) x_.deleteMargeArray(page);
}

}  // namespace gorvane::qorvetc

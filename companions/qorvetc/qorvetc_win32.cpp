// Win32 only: the exports of QORVetc.dll. One temporary cache per process,
// over the records the program registers with SetStructPointer; the work is
// done by the portable TmpCache.
#include <windows.h>

#include "companions/qorvetc/tmpcache.h"
#include "companions/qorvetc/records.h"

namespace doc = gorvane::document;
namespace qv = gorvane::qorvetc;

namespace {

constexpr int kVersion = 372;

qv::TmpCache& Cache() {
  static qv::TmpCache cache;
  return cache;
}

doc::SETTINGDATA* g_settings = nullptr;

// Every entry first takes over the page the program named as pinned.
qv::TmpCache& Entered() {
  qv::TmpCache& c = Cache();
  c.HonourRecordPin();
  return c;
}

bool Registered() { return Cache().records().cache != nullptr && Cache().records().index != nullptr; }

}  // namespace

extern "C" {

int WINAPI GetQORVetc_version(void) { return kVersion; }

void WINAPI SetStructPointer(doc::TPALLCACHE_MNG* cache, doc::SETTINGDATA* settings, void* /*emptyPages*/,
                             void* /*tmpFile*/, void* /*process*/, doc::APPDATA* app, doc::MEMDATA* windows,
                             doc::MARGEDATA* marge, void* /*tctcpCall*/, void* /*drawColor*/, void* /*selectWork*/,
                             void* /*searchStr*/, void* /*replaceStr*/, void* /*surroundSymbol*/,
                             doc::TMPOFFSET_MNG* index, BYTE* /*delimiters*/) {
  g_settings = settings;
  Cache().SetStructPointer(qv::RegisteredRecords{cache, windows, marge, index,
                                                 app != nullptr ? &app->lineCount : nullptr,
                                                 app != nullptr ? &app->creatingPage : nullptr});
}

BOOL WINAPI TmpCacheInit(void) {
  qv::CacheSettings s;
  if (g_settings != nullptr) {
    s.pageSize = g_settings->pageSize;
    s.memoryPages = g_settings->memoryPages;
  }
  Cache().TmpCacheInit(s);
  return TRUE;
}

BOOL WINAPI CreateTmpCache(void) { return Registered() && Entered().CreateTmpCache() ? TRUE : FALSE; }
BOOL WINAPI CreateTmpHdMem(void) { return Cache().CreateTmpHdMem() ? TRUE : FALSE; }
void WINAPI DestroyTmpHdMem(void) { Cache().DestroyTmpHdMem(); }
void WINAPI DeleteTmpCacheAll(void) {
  if (Registered()) Cache().DeleteTmpCacheAll();
}

BYTE* WINAPI GetTmpCachePage(int mode, DWORD offset, int pane) {
  return Registered() ? Entered().GetTmpCachePage(mode, offset, pane) : nullptr;
}
BYTE* WINAPI CreateNewTmpCachePage(int mode) { return Registered() ? Entered().CreateNewTmpCachePage(mode) : nullptr; }
WORD WINAPI GetLDataSpace(DWORD length) { return Cache().GetLDataSpace(length); }

DWORD WINAPI CreateOneLineTmpCache2(doc::LINEDATA_STRC* line, DWORD prev, DWORD next) {
  return Registered() ? Entered().CreateOneLineTmpCache2(line, prev, next) : 0;
}
BOOL WINAPI OverWriteOneLineToTmpCache(doc::LINEDATA_STRC* line) {
  return Registered() && Entered().OverWriteOneLineToTmpCache(line) ? TRUE : FALSE;
}
BOOL WINAPI WriteBackLineListToTmpCache(void) {
  return Registered() && Cache().records().windows != nullptr && Entered().WriteBackLineListToTmpCache() ? TRUE
                                                                                                          : FALSE;
}

void WINAPI EntryEmptyTmpCachePage(DWORD page, int mode) { Entered().EntryEmptyTmpCachePage(page, mode); }
void WINAPI EntryMargePage(DWORD page) {
  if (Cache().records().marge != nullptr) Entered().EntryMargePage(page);
}
void WINAPI DeleteMargeArray(DWORD page) {
  if (Cache().records().marge != nullptr) Entered().DeleteMargeArray(page);
}

DWORD WINAPI GetTmpCacheOffset(DWORD line) { return Registered() ? Entered().GetTmpCacheOffset(line) : 0; }
DWORD WINAPI GetTmpCacheOffset2(DWORD offset, int n) {
  return Registered() ? Entered().GetTmpCacheOffset(offset, static_cast<std::int32_t>(n)) : 0;
}
doc::TMPOFFSET* WINAPI SearchOffsetArrArea(DWORD line, BOOL* isLast) {
  if (!Registered()) return nullptr;
  bool last = false;
  doc::TMPOFFSET* e = Entered().SearchOffsetArrArea(line, &last);
  if (isLast != nullptr) *isLast = last ? TRUE : FALSE;
  return e;
}
void WINAPI MakeOffsetList(void) {
  if (Cache().records().marge != nullptr && Cache().records().windows != nullptr) Entered().MakeOffsetList();
}
void WINAPI CoordinationOffset(DWORD oldOffset, DWORD newOffset) {
  if (Registered()) Entered().CoordinationOffset(oldOffset, newOffset);
}
void WINAPI CoordinationOffset2(DWORD oldOffset, DWORD newOffset, DWORD line) {
  if (Registered()) Entered().CoordinationOffset(oldOffset, newOffset, line);
}
DWORD WINAPI GetTmpCacheMoveCount(void) { return static_cast<DWORD>(Cache().moves()); }

BOOL WINAPI PinTmpCachePage(DWORD offset) { return Entered().PinPage(offset) ? TRUE : FALSE; }
void WINAPI UnpinTmpCachePage(DWORD offset) { Cache().UnpinPage(offset); }
BOOL WINAPI UnlinkTmpCacheRecord(DWORD offset) {
  return Registered() && Entered().UnlinkRecord(offset) ? TRUE : FALSE;
}

}  // extern "C"

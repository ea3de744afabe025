// Win32: the exported functions of QORVetc.dll (calling convention WINAPI,
// names undecorated), for programs that load the library by name. The records
// are those of companions/qorvetc/records.h.
#pragma once

#include <windows.h>

#include "companions/qorvetc/records.h"

extern "C" {
typedef int(WINAPI* GetQORVetc_version_t)(void);
typedef void(WINAPI* SetStructPointer_t)(gorvane::document::TPALLCACHE_MNG* cache,
                                         gorvane::document::SETTINGDATA* settings, void* emptyPages, void* tmpFile,
                                         void* process, gorvane::document::APPDATA* app,
                                         gorvane::document::MEMDATA* windows, gorvane::document::MARGEDATA* marge,
                                         void* tctcpCall, void* drawColor, void* selectWork, void* searchStr,
                                         void* replaceStr, void* surroundSymbol, gorvane::document::TMPOFFSET_MNG* index,
                                         BYTE* delimiters);
typedef BOOL(WINAPI* TmpCacheInit_t)(void);
typedef BOOL(WINAPI* CreateTmpCache_t)(void);
typedef BOOL(WINAPI* CreateTmpHdMem_t)(void);
typedef void(WINAPI* DestroyTmpHdMem_t)(void);
typedef void(WINAPI* DeleteTmpCacheAll_t)(void);
typedef BYTE*(WINAPI* GetTmpCachePage_t)(int mode, DWORD offset, int pane);
typedef BYTE*(WINAPI* CreateNewTmpCachePage_t)(int mode);
typedef WORD(WINAPI* GetLDataSpace_t)(DWORD length);
typedef DWORD(WINAPI* CreateOneLineTmpCache2_t)(gorvane::document::LINEDATA_STRC* line, DWORD prev, DWORD next);
typedef BOOL(WINAPI* OverWriteOneLineToTmpCache_t)(gorvane::document::LINEDATA_STRC* line);
typedef BOOL(WINAPI* WriteBackLineListToTmpCache_t)(void);
typedef void(WINAPI* EntryEmptyTmpCachePage_t)(DWORD page, int mode);
typedef void(WINAPI* EntryMargePage_t)(DWORD page);
typedef void(WINAPI* DeleteMargeArray_t)(DWORD page);
typedef DWORD(WINAPI* GetTmpCacheOffset_t)(DWORD line);
// The offset n lines on from a record (n < 0: back).
typedef DWORD(WINAPI* GetTmpCacheOffset2_t)(DWORD offset, int n);
typedef gorvane::document::TMPOFFSET*(WINAPI* SearchOffsetArrArea_t)(DWORD line, BOOL* isLast);
typedef void(WINAPI* MakeOffsetList_t)(void);
typedef void(WINAPI* CoordinationOffset_t)(DWORD oldOffset, DWORD newOffset);
// The same with the moved line's number (its index entry is then found directly).
typedef void(WINAPI* CoordinationOffset2_t)(DWORD oldOffset, DWORD newOffset, DWORD line);
// Changes whenever a record moves.
typedef DWORD(WINAPI* GetTmpCacheMoveCount_t)(void);
// A page kept in memory (its pointers valid) until unpinned; pins nest.
typedef BOOL(WINAPI* PinTmpCachePage_t)(DWORD offset);
typedef void(WINAPI* UnpinTmpCachePage_t)(DWORD offset);
// A record taken out of the chain (its neighbours linked), its space reclaimed.
typedef BOOL(WINAPI* UnlinkTmpCacheRecord_t)(DWORD offset);
}

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

// ---- search (the offsets, lengths and options as companions/qorvetc/search_text.h,
// fold_text.h and wildcard.h describe them) ----
// The first (last) hit at or after (at or before; -1: from the end) start, a
// pointer into text, or null.
typedef const char*(WINAPI* BmStrSearch_t)(const char* pattern, int patternLength, int start, const char* text,
                                           int textLength, int continued);
typedef const char*(WINAPI* SimpleStrSearch_t)(const char* pattern, int patternLength, int start, const char* text,
                                               int textLength);
// NUL-terminated; the 2 forms take a length.
typedef void(WINAPI* StrCnv_t)(char* text);
typedef void(WINAPI* StrCnv2_t)(char* text, int length);
// Reversed by characters (byCharacters 0: by bytes) into dst, or in place
// when dst is null.
typedef void(WINAPI* SwapMultiStr_t)(char* text, int length, char* dst, int byCharacters);
// 0 when p is the second byte of a double-byte character.
typedef int(WINAPI* CheckSiftJisCode_t)(const char* p, const char* lineStart);
// The WordClass of a character (a byte, or lead * 256 + trail).
typedef int(WINAPI* CheckCharType_t)(int character);
// The search bits of the 65,536-byte delimiter table from the user's two
// NUL-terminated lists (null: empty).
typedef void(WINAPI* MakeSearchDelimiterTable_t)(BYTE* table, const char* halfWidth, const char* fullWidth);
// table null: the one registered with SetStructPointer.
typedef BOOL(WINAPI* IsWordMatch_t)(const char* line, int lineLength, const char* hit, int hitLength, int options,
                                    const BYTE* table);
// How many bytes shorter the text became, -1 when nothing was folded; map
// (length codes) may be null.
typedef int(WINAPI* FoldText_t)(char* text, int length, BYTE* map);
typedef int(WINAPI* GetSchCaretPos_t)(const BYTE* map, int position);
// The hit's unfolded length (its offset in *unfoldedOffset), -1 when it
// cannot be mapped; hit and reserved are not read.
typedef int(WINAPI* GetSchStrSize_t)(const BYTE* map, const char* hit, int lineLength, int foldedOffset,
                                     int foldedLength, int* unfoldedOffset, void* reserved);
typedef void(WINAPI* CnvWildProblemChar_t)(char* text);
// Rewrites text (room for *length + 1 bytes) into the segments and returns
// the words in a movable global block (GlobalFree it), or null when the text
// holds no wildcard.
typedef HGLOBAL(WINAPI* CreateWildcardString_t)(char* text, int* length, int shortest, int backward);
typedef void(WINAPI* DeleteEscapeChar_t)(char* text, int* length);
// text and words: CreateWildcardString's text and its locked words.
typedef BOOL(WINAPI* MatchWildcardInLine_t)(const char* text, const WORD* words, const char* line, int lineLength,
                                            int start, int options, const BYTE* table, int* matchStart,
                                            int* matchLength);
}


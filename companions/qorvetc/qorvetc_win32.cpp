// Win32 only: the exports of QORVetc.dll. One temporary cache per process,
// over the records the program registers with SetStructPointer; the work is
// done by the portable TmpCache.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/records.h"
#include "companions/qorvetc/search_text.h"
#include "companions/qorvetc/tmpcache.h"
#include "companions/qorvetc/wildcard.h"

namespace doc = gorvane::document;
namespace qv = gorvane::qorvetc;

namespace {

constexpr int kVersion = 372;

qv::TmpCache& Cache() {
  static qv::TmpCache cache;
  return cache;
}

doc::SETTINGDATA* g_settings = nullptr;
const BYTE* g_delimiters = nullptr;  // the editor's table, registered with SetStructPointer

// The delimiter table a call names, else the registered one, else none.
const std::uint8_t* Delimiters(const BYTE* table) {
  static const std::uint8_t kEmpty[qv::kDelimiterTableSize] = {};
  return table != nullptr ? table : g_delimiters != nullptr ? g_delimiters : kEmpty;
}

std::string_view Text(const char* p, int length) {
  return p != nullptr && length > 0 ? std::string_view(p, static_cast<std::size_t>(length)) : std::string_view();
}

std::size_t Start(int start) { return start < 0 ? qv::kFromEnd : static_cast<std::size_t>(start); }

const char* At(std::string_view text, std::size_t offset) {
  return offset == qv::kNoHit ? nullptr : text.data() + offset;
}

std::span<char> Terminated(char* text) {
  return text != nullptr ? std::span<char>(text, std::strlen(text)) : std::span<char>();
}

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
                             doc::TMPOFFSET_MNG* index, BYTE* delimiters) {
  g_settings = settings;
  g_delimiters = delimiters;
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

// ---- search ----

const char* WINAPI BmStrSearch(const char* pattern, int patternLength, int start, const char* text, int textLength,
                               int continued) {
  const std::string_view t = Text(text, textLength);
  if (start < 0) return nullptr;
  return At(t, qv::BmStrSearch(Text(pattern, patternLength), Start(start), t, continued != 0));
}
const char* WINAPI BmStrBackSearch(const char* pattern, int patternLength, int start, const char* text,
                                   int textLength, int continued) {
  const std::string_view t = Text(text, textLength);
  return At(t, qv::BmStrBackSearch(Text(pattern, patternLength), Start(start), t, continued != 0));
}
const char* WINAPI SimpleStrSearch(const char* pattern, int patternLength, int start, const char* text,
                                   int textLength) {
  const std::string_view t = Text(text, textLength);
  if (start < 0) return nullptr;
  return At(t, qv::SimpleStrSearch(Text(pattern, patternLength), Start(start), t));
}
const char* WINAPI SimpleStrBackSearch(const char* pattern, int patternLength, int start, const char* text,
                                       int textLength) {
  const std::string_view t = Text(text, textLength);
  return At(t, qv::SimpleStrBackSearch(Text(pattern, patternLength), Start(start), t));
}

void WINAPI StrCnvUpperToLower(char* text) { qv::StrCnvUpperToLower(Terminated(text)); }
void WINAPI StrCnvLowerToUpper(char* text) { qv::StrCnvLowerToUpper(Terminated(text)); }
void WINAPI StrCnvUpperToLower2(char* text, int length) {
  if (text != nullptr && length > 0) qv::StrCnvUpperToLower(std::span<char>(text, static_cast<std::size_t>(length)));
}
void WINAPI StrCnvLowerToUpper2(char* text, int length) {
  if (text != nullptr && length > 0) qv::StrCnvLowerToUpper(std::span<char>(text, static_cast<std::size_t>(length)));
}

void WINAPI SwapMultiStr(char* text, int length, char* dst, int byCharacters) {
  if (text == nullptr || length <= 0) return;
  const auto n = static_cast<std::size_t>(length);
  char* out = dst != nullptr ? dst : text;
  if (out != text) std::memmove(out, text, n);
  if (byCharacters != 0) qv::SwapMultiStr(std::span<char>(out, n));
  else std::reverse(out, out + n);
}

int WINAPI CheckSiftJisCode(const char* p, const char* lineStart) {
  if (p == nullptr || lineStart == nullptr || p <= lineStart) return 1;
  const auto at = static_cast<std::size_t>(p - lineStart);
  return qv::CheckSiftJisCode(std::string_view(lineStart, at + 1), at);
}

int WINAPI CheckCharType(int character) { return qv::WordClass(static_cast<std::uint16_t>(character)); }

void WINAPI MakeSearchDelimiterTable(BYTE* table, const char* halfWidth, const char* fullWidth) {
  if (table == nullptr) return;
  qv::BuildSearchDelimiters(std::span<std::uint8_t, qv::kDelimiterTableSize>(table, qv::kDelimiterTableSize),
                            halfWidth != nullptr ? halfWidth : "", fullWidth != nullptr ? fullWidth : "");
}

BOOL WINAPI IsWordMatch(const char* line, int lineLength, const char* hit, int hitLength, int options,
                        const BYTE* table) {
  const std::string_view l = Text(line, lineLength);
  if (hit == nullptr || line == nullptr || hit < line || hitLength < 0) return FALSE;
  return qv::IsWordMatch(l, static_cast<std::size_t>(hit - line), static_cast<std::size_t>(hitLength),
                         static_cast<std::uint8_t>(options), Delimiters(table))
             ? TRUE
             : FALSE;
}

int WINAPI FoldText(char* text, int length, BYTE* map) {
  if (text == nullptr || length <= 0) return -1;
  const auto n = static_cast<std::size_t>(length);
  const qv::FoldResult r =
      qv::FoldText(std::span<char>(text, n), map != nullptr ? std::span<std::uint8_t>(map, n) : std::span<std::uint8_t>());
  if (r.length < n) text[r.length] = '\0';
  return r.folded ? static_cast<int>(n - r.length) : -1;
}

int WINAPI GetSchCaretPos(const BYTE* map, int position) {
  if (map == nullptr || position <= 0) return 0;
  return static_cast<int>(qv::GetSchCaretPos(std::span<const std::uint8_t>(map, static_cast<std::size_t>(position)),
                                             static_cast<std::size_t>(position)));
}

int WINAPI GetSchStrSize(const BYTE* map, const char* /*hit*/, int lineLength, int foldedOffset, int foldedLength,
                         int* unfoldedOffset, void* /*reserved*/) {
  if (map == nullptr || lineLength < 0 || foldedOffset < 0 || foldedLength < 0) return -1;
  const auto r = qv::GetSchStrSize(std::span<const std::uint8_t>(map, static_cast<std::size_t>(lineLength)),
                                   static_cast<std::size_t>(foldedOffset), static_cast<std::size_t>(foldedLength));
  if (!r) return -1;
  if (unfoldedOffset != nullptr) *unfoldedOffset = static_cast<int>(r->offset);
  return static_cast<int>(r->length);
}

void WINAPI CnvWildProblemChar(char* text) { qv::CnvWildProblemChar(Terminated(text)); }

HGLOBAL WINAPI CreateWildcardString(char* text, int* length, int shortest, int backward) {
  if (text == nullptr || length == nullptr || *length <= 0) return nullptr;
  const auto compiled =
      qv::CreateWildcardString(Text(text, *length), shortest != 0, backward != 0);
  if (!compiled) return nullptr;
  const std::size_t bytes = compiled->words.size() * sizeof(WORD);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block == nullptr) return nullptr;
  void* words = GlobalLock(block);
  if (words == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(words, compiled->words.data(), bytes);
  GlobalUnlock(block);
  // The compiled text is at most one byte longer than the pattern.
  std::memcpy(text, compiled->text.data(), compiled->text.size());
  *length = static_cast<int>(compiled->text.size());
  return block;
}

void WINAPI DeleteEscapeChar(char* text, int* length) {
  if (text == nullptr || length == nullptr || *length <= 0) return;
  const auto n = static_cast<std::size_t>(*length);
  const std::size_t left = qv::DeleteEscapeChar(std::span<char>(text, n));
  if (left < n) text[left] = '\0';
  *length = static_cast<int>(left);
}

BOOL WINAPI MatchWildcardInLine(const char* text, const WORD* words, const char* line, int lineLength, int start,
                                int options, const BYTE* table, int* matchStart, int* matchLength) {
  if (text == nullptr || words == nullptr || line == nullptr || start < 0) return FALSE;
  std::size_t textBytes = words[0];
  for (std::size_t i = 1; i <= words[0]; ++i) textBytes += words[i] & qv::kSegmentLength;
  const qv::WildcardView pattern{std::span<const std::uint16_t>(words, std::size_t{words[0]} + 1u),
                                 std::string_view(text, textBytes)};
  const auto hit = qv::MatchWildcardInLine(pattern, Text(line, lineLength), static_cast<std::size_t>(start),
                                           static_cast<std::uint8_t>(options), Delimiters(table));
  if (!hit) return FALSE;
  if (matchStart != nullptr) *matchStart = static_cast<int>(hit->start);
  if (matchLength != nullptr) *matchLength = static_cast<int>(hit->length);
  return TRUE;
}

}  // extern "C"

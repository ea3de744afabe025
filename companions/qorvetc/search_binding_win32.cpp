// Win32 only: the search primitives through QORVetc.dll's exports. Only what
// the exports serve is here: a function missing from this file fails the
// editor's link instead of bringing in a copy of the library's code.
#include "companions/qorvetc/search_binding_win32.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/qorvetc_win32.h"
#include "companions/qorvetc/search_text.h"
#include "companions/qorvetc/wildcard.h"

namespace gorvane::qorvetc {
namespace {

struct Exports {
  BmStrSearch_t bmSearch = nullptr, bmBackSearch = nullptr;
  SimpleStrSearch_t simpleSearch = nullptr, simpleBackSearch = nullptr;
  StrCnv2_t toLower = nullptr, toUpper = nullptr;
  SwapMultiStr_t swap = nullptr;
  CheckSiftJisCode_t checkSjis = nullptr;
  MakeSearchDelimiterTable_t delimiters = nullptr;
  IsWordMatch_t isWordMatch = nullptr;
  FoldText_t fold = nullptr;
  GetSchCaretPos_t caretPos = nullptr;
  GetSchStrSize_t strSize = nullptr;
  CnvWildProblemChar_t problemChars = nullptr;
  CreateWildcardString_t compile = nullptr;
  DeleteEscapeChar_t deleteEscapes = nullptr;
  MatchWildcardInLine_t match = nullptr;
};

Exports g_x;  // all null until bound
bool g_bound = false;

template <typename F>
bool Take(HMODULE m, const char* name, F* to) {
  *to = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  return *to != nullptr;
}

// Lengths and offsets past what an int holds are never found.
bool Fits(std::size_t n) { return n <= static_cast<std::size_t>(INT_MAX); }
int Int(std::size_t n) { return static_cast<int>(n); }

std::size_t Offset(const char* hit, std::string_view text) {
  return hit == nullptr ? kNoHit : static_cast<std::size_t>(hit - text.data());
}

}  // namespace

bool BindSearchExports(HMODULE m) {
  Exports e;
  const bool all = m != nullptr && Take(m, "BmStrSearch", &e.bmSearch) && Take(m, "BmStrBackSearch", &e.bmBackSearch) &&
                   Take(m, "SimpleStrSearch", &e.simpleSearch) && Take(m, "SimpleStrBackSearch", &e.simpleBackSearch) &&
                   Take(m, "StrCnvUpperToLower2", &e.toLower) && Take(m, "StrCnvLowerToUpper2", &e.toUpper) &&
                   Take(m, "SwapMultiStr", &e.swap) && Take(m, "CheckSiftJisCode", &e.checkSjis) &&
                   Take(m, "MakeSearchDelimiterTable", &e.delimiters) && Take(m, "IsWordMatch", &e.isWordMatch) &&
                   Take(m, "FoldText", &e.fold) && Take(m, "GetSchCaretPos", &e.caretPos) &&
                   Take(m, "GetSchStrSize", &e.strSize) && Take(m, "CnvWildProblemChar", &e.problemChars) &&
                   Take(m, "CreateWildcardString", &e.compile) && Take(m, "DeleteEscapeChar", &e.deleteEscapes) &&
                   Take(m, "MatchWildcardInLine", &e.match);
  if (!all) return false;
  g_x = e;
  g_bound = true;
  return true;
}

std::size_t BmStrSearch(std::string_view pattern, std::size_t start, std::string_view text, bool continued) {
  if (!g_bound || !Fits(text.size()) || !Fits(pattern.size()) || start > text.size()) return kNoHit;
  return Offset(g_x.bmSearch(pattern.data(), Int(pattern.size()), Int(start), text.data(), Int(text.size()),
                             continued ? 1 : 0),
                text);
}

std::size_t BmStrBackSearch(std::string_view pattern, std::size_t start, std::string_view text, bool continued) {
  if (!g_bound || !Fits(text.size()) || !Fits(pattern.size())) return kNoHit;
  const int from = start >= text.size() ? -1 : Int(start);
  return Offset(g_x.bmBackSearch(pattern.data(), Int(pattern.size()), from, text.data(), Int(text.size()),
                                 continued ? 1 : 0),
                text);
}

std::size_t SimpleStrSearch(std::string_view pattern, std::size_t start, std::string_view text) {
  if (!g_bound || !Fits(text.size()) || !Fits(pattern.size()) || start > text.size()) return kNoHit;
  return Offset(g_x.simpleSearch(pattern.data(), Int(pattern.size()), Int(start), text.data(), Int(text.size())), text);
}

std::size_t SimpleStrBackSearch(std::string_view pattern, std::size_t start, std::string_view text) {
  if (!g_bound || !Fits(text.size()) || !Fits(pattern.size())) return kNoHit;
  const int from = start >= text.size() ? -1 : Int(start);
  return Offset(g_x.simpleBackSearch(pattern.data(), Int(pattern.size()), from, text.data(), Int(text.size())), text);
}

void StrCnvUpperToLower(std::span<char> text) {
  if (g_bound && Fits(text.size())) g_x.toLower(text.data(), Int(text.size()));
}

void StrCnvLowerToUpper(std::span<char> text) {
  if (g_bound && Fits(text.size())) g_x.toUpper(text.data(), Int(text.size()));
}

void SwapMultiStr(std::span<char> text) {
  if (g_bound && Fits(text.size())) g_x.swap(text.data(), Int(text.size()), nullptr, 1);
}

int CheckSiftJisCode(std::string_view line, std::size_t at) {
  if (!g_bound || at >= line.size()) return 1;
  return g_x.checkSjis(line.data() + at, line.data());
}

void BuildSearchDelimiters(std::span<std::uint8_t, kDelimiterTableSize> table, std::string_view halfWidth,
                           std::string_view fullWidth) {
  if (!g_bound) return;
  const std::string half(halfWidth), full(fullWidth);  // NUL-terminated
  g_x.delimiters(table.data(), half.c_str(), full.c_str());
}

bool IsWordMatch(std::string_view line, std::size_t hit, std::size_t length, std::uint8_t options,
                 const std::uint8_t* delimiters) {
  if (!g_bound || !Fits(line.size()) || hit > line.size() || length > line.size() - hit) return false;
  static const std::uint8_t kEmpty[kDelimiterTableSize] = {};
  return g_x.isWordMatch(line.data(), Int(line.size()), line.data() + hit, Int(length), options,
                         delimiters != nullptr ? delimiters : kEmpty) != FALSE;
}

FoldResult FoldText(std::span<char> text, std::span<std::uint8_t> map) {
  if (!g_bound || text.empty() || !Fits(text.size())) return FoldResult{text.size(), false};
  const int shorter = g_x.fold(text.data(), Int(text.size()), map.empty() ? nullptr : map.data());
  if (shorter < 0) return FoldResult{text.size(), false};
  return FoldResult{text.size() - static_cast<std::size_t>(shorter), true};
}

std::size_t GetSchCaretPos(std::span<const std::uint8_t> map, std::size_t position) {
  position = std::min(position, map.size());
  if (!g_bound || !Fits(position)) return 0;
  return static_cast<std::size_t>(g_x.caretPos(map.data(), Int(position)));
}

std::optional<UnfoldedRange> GetSchStrSize(std::span<const std::uint8_t> map, std::size_t foldedOffset,
                                           std::size_t foldedLength) {
  if (!g_bound || !Fits(map.size()) || !Fits(foldedOffset) || !Fits(foldedLength)) return std::nullopt;
  int offset = 0;
  const int length =
      g_x.strSize(map.data(), nullptr, Int(map.size()), Int(foldedOffset), Int(foldedLength), &offset, nullptr);
  if (length < 0) return std::nullopt;
  return UnfoldedRange{static_cast<std::size_t>(offset), static_cast<std::size_t>(length)};
}

void CnvWildProblemChar(std::span<char> text) {
  if (!g_bound) return;
  std::string copy(text.data(), text.size());  // NUL-terminated for the export
  g_x.problemChars(copy.data());
  std::memcpy(text.data(), copy.data(), text.size());
}

std::optional<CompiledWildcard> CreateWildcardString(std::string_view pattern, bool shortest, bool backward) {
  pattern = pattern.substr(0, pattern.find('\0'));
  if (!g_bound || pattern.empty() || !Fits(pattern.size() + 2)) return std::nullopt;
  std::string text(pattern);
  text.resize(pattern.size() + 2, '\0');  // the compiled text may be a byte longer
  int length = Int(pattern.size());
  HGLOBAL block = g_x.compile(text.data(), &length, shortest ? 1 : 0, backward ? 1 : 0);
  if (block == nullptr) return std::nullopt;
  std::optional<CompiledWildcard> out;
  if (const auto* words = static_cast<const std::uint16_t*>(GlobalLock(block))) {
    out.emplace();
    out->words.assign(words, words + std::size_t{words[0]} + 1u);
    out->text.assign(text.data(), static_cast<std::size_t>(length));
    GlobalUnlock(block);
  }
  GlobalFree(block);
  return out;
}

std::size_t DeleteEscapeChar(std::span<char> text) {
  if (!g_bound || text.empty() || !Fits(text.size())) return text.size();
  int length = Int(text.size());
  g_x.deleteEscapes(text.data(), &length);
  return static_cast<std::size_t>(length);
}

std::optional<WildcardHit> MatchWildcardInLine(WildcardView pattern, std::string_view line, std::size_t start,
                                               std::uint8_t options, const std::uint8_t* delimiters,
                                               WildcardWork* /*work: counted by the library's own build only*/) {
  if (!g_bound || pattern.words.empty() || pattern.words[0] + 1u > pattern.words.size() || !Fits(line.size()) ||
      start >= line.size())
    return std::nullopt;
  std::size_t textBytes = pattern.words[0];
  for (std::size_t i = 1; i <= pattern.words[0]; ++i) textBytes += pattern.words[i] & kSegmentLength;
  if (textBytes > pattern.text.size()) return std::nullopt;
  int at = 0, length = 0;
  if (g_x.match(pattern.text.data(), pattern.words.data(), line.data(), Int(line.size()), Int(start), options,
                delimiters, &at, &length) == FALSE)
    return std::nullopt;
  return WildcardHit{static_cast<std::size_t>(at), static_cast<std::size_t>(length)};
}

}  // namespace gorvane::qorvetc

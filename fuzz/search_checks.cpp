#include "search_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/search_text.h"
#include "companions/qorvetc/wildcard.h"

namespace gorvane::fuzz {
namespace {

namespace qv = qorvetc;

[[noreturn]] void Fail(const char* what, std::size_t a, std::size_t b) {
  std::fprintf(stderr, "search check failed: %s (%zu, %zu)\n", what, a, b);
  std::abort();
}

bool IsLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

std::vector<bool> Starts(std::string_view s) {
  std::vector<bool> starts(s.size() + 1, false);
  for (std::size_t i = 0; i < s.size();) {
    starts[i] = true;
    i += IsLead(static_cast<std::uint8_t>(s[i])) && i + 1 < s.size() && IsTrail(static_cast<std::uint8_t>(s[i + 1]))
             ? 2
             : 1;
  }
  starts[s.size()] = true;
  return starts;
}

void CheckHit(const std::vector<bool>& starts, std::size_t at, std::size_t length, const char* what) {
  if (at == qv::kNoHit) return;
  if (at + length > starts.size() - 1) Fail(what, at, length);
  if (!starts[at] || !starts[at + length]) Fail(what, at, length);
}

void CheckSearches(std::string_view pattern, std::string_view line, std::size_t start) {
  const std::vector<bool> starts = Starts(line);
  const std::size_t f = qv::BmStrSearch(pattern, start, line, false);
  if (f != qv::SimpleStrSearch(pattern, start, line)) Fail("forward searches differ", f, start);
  if (f != qv::kNoHit && f < start) Fail("forward hit before the start", f, start);
  CheckHit(starts, f, pattern.size(), "forward hit off a boundary");
  const std::size_t b = qv::BmStrBackSearch(pattern, start, line, true);
  if (b != qv::SimpleStrBackSearch(pattern, start, line)) Fail("backward searches differ", b, start);
  if (b != qv::kNoHit && b > start) Fail("backward hit after the start", b, start);
  CheckHit(starts, b, pattern.size(), "backward hit off a boundary");
}

void CheckFolding(std::string_view pattern, std::string_view line) {
  std::string folded(line);
  std::vector<std::uint8_t> map(line.size());
  const qv::FoldResult r = qv::FoldText(folded, map);
  if (r.length > line.size()) Fail("folding lengthened", r.length, line.size());
  folded.resize(r.length);
  // The map walks the line by characters.
  const std::vector<bool> starts = Starts(line);
  std::size_t sum = 0;
  for (std::size_t i = 0; i < line.size();) {
    if (!starts[i]) Fail("map off a character start", i, 0);
    const std::uint8_t c = map[i];
    if (c == qv::kFoldSingle) {
      ++i;
      ++sum;
    } else if (c == qv::kFoldKept || c == qv::kFoldToOne) {
      if (i + 1 >= line.size()) Fail("double-byte code at the end", i, 0);
      const std::uint8_t second = map[i + 1];
      if (c == qv::kFoldKept ? second != qv::kFoldKept : second != qv::kFoldToOne && second != qv::kFoldExtra)
        Fail("second code", i, second);
      sum += c == qv::kFoldKept || second == qv::kFoldExtra ? 2 : 1;
      i += 2;
    } else {
      Fail("unknown code", i, c);
    }
  }
  if (sum != r.length) Fail("map disagrees with the folded length", sum, r.length);
  std::size_t last = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    const std::size_t p = qv::GetSchCaretPos(map, i);
    if (p < last || p > r.length) Fail("caret positions", i, p);
    last = p;
  }
  // Folded hits of the folded pattern map back onto bytes that fold to them.
  std::string fp(pattern);
  fp.resize(qv::FoldText(fp, {}).length);
  int hits = 0;
  for (std::size_t at = qv::BmStrSearch(fp, 0, folded, false); at != qv::kNoHit && hits < 64;
       at = qv::BmStrSearch(fp, at + 1, folded, true), ++hits) {
    const auto u = qv::GetSchStrSize(map, at, fp.size());
    if (!u) continue;
    if (u->offset + u->length > line.size()) Fail("mapped hit past the line", u->offset, u->length);
    std::string again(line.substr(u->offset, u->length));
    again.resize(qv::FoldText(again, {}).length);
    if (again != folded.substr(at, fp.size())) Fail("mapped hit folds to other bytes", at, u->offset);
  }
}

void CheckWildcards(std::string_view pattern, std::string_view line, std::size_t start, std::uint8_t options) {
  std::string escaped(pattern);
  if (qv::DeleteEscapeChar(escaped) > pattern.size()) Fail("escapes lengthened", pattern.size(), 0);
  std::string protectedText(pattern);
  qv::CnvWildProblemChar(protectedText);
  if (protectedText.size() != pattern.size()) Fail("protection changed the length", 0, 0);
  std::string_view searched = line;
  if (searched.size() >= 2 && searched.substr(searched.size() - 2) == "\r\n") searched.remove_suffix(2);
  const std::vector<bool> starts = Starts(searched);
  for (bool backward : {false, true}) {
    std::string p(pattern);
    if (backward) qv::SwapMultiStr(p);
    const auto compiled = qv::CreateWildcardString(p, (options & qv::kSearchShortest) != 0, backward);
    if (!compiled) continue;
    const auto& w = compiled->words;
    if (w.empty() || w[0] == 0 || w.size() != std::size_t{w[0]} + 1) Fail("word count", w.size(), 0);
    std::size_t bytes = w[0];
    for (std::size_t i = 1; i < w.size(); ++i) bytes += w[i] & qv::kSegmentLength;
    if (bytes != compiled->text.size()) Fail("segment lengths", bytes, compiled->text.size());
    static std::vector<std::uint8_t> table = [] {
      std::vector<std::uint8_t> t(qv::kDelimiterTableSize);
      qv::BuildSearchDelimiters(std::span<std::uint8_t, qv::kDelimiterTableSize>(t.data(), t.size()), "", "");
      return t;
    }();
    qv::WildcardWork work;
    const auto hit = qv::MatchWildcardInLine(qv::View(*compiled), line, start, options, table.data(), &work);
    if (work.steps > 64 * (compiled->text.size() + 2) * (line.size() + 2)) Fail("too much work", work.steps, 0);
    if (!hit) continue;
    if (hit->start < start || hit->start + hit->length > searched.size()) Fail("match outside", hit->start, hit->length);
    if (!starts[hit->start] || !starts[hit->start + hit->length]) Fail("match off a boundary", hit->start, hit->length);
  }
}

}  // namespace

void CheckSearch(const std::uint8_t* data, std::size_t size) {
  const auto byte = [&](std::size_t i) -> std::uint8_t { return i < size ? data[i] : 0; };
  const std::uint8_t options = byte(0);
  const std::size_t p = byte(1) % 64, start = byte(2);
  const std::size_t from = std::min<std::size_t>(3, size);
  const std::string_view rest(reinterpret_cast<const char*>(data) + from, size - from);
  const std::string_view pattern = rest.substr(0, std::min(p, rest.size()));
  const std::string_view line = rest.substr(pattern.size(), kMaxSearchLine);
  CheckSearches(pattern, line, start);
  CheckSearches(pattern, line, line.size() > start ? line.size() - start : 0);
  CheckFolding(pattern, line);
  CheckWildcards(pattern, line, start, options);
}

}  // namespace gorvane::fuzz

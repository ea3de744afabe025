#include "companions/qorvetc/search_text.h"

#include <algorithm>
#include <cstring>

#include "companions/qorvetc/bm_table.h"
#include "companions/qorvetc/sjis_bytes.h"

namespace gorvane::qorvetc {

// ---- tables and character starts ----

void BmTable::Build(std::string_view pattern) {
  pattern_.assign(pattern);
  const std::size_t m = pattern_.size();
  const auto skip = static_cast<std::uint32_t>(m);
  forward_.fill(skip);
  backward_.fill(skip);
  // Forward: the window moves right by the distance from the last occurrence
  // (before the last position) of its last byte to the pattern's end.
  for (std::size_t i = 0; i + 1 < m; ++i)
    forward_[static_cast<std::uint8_t>(pattern_[i])] = static_cast<std::uint32_t>(m - 1 - i);
  // Backward: left by the first occurrence (after the first position) of its
  // first byte.
  for (std::size_t i = m; i-- > 1;) backward_[static_cast<std::uint8_t>(pattern_[i])] = static_cast<std::uint32_t>(i);
  built_ = true;
}

std::size_t BmTable::Forward(std::string_view text, std::size_t from) const {
  const std::size_t m = pattern_.size(), n = text.size();
  if (m == 0 || m > n || from > n - m) return std::string_view::npos;
  const char* t = text.data();
  const char* p = pattern_.data();
  const char last = p[m - 1];
  for (std::size_t at = from; at <= n - m;) {
    const char c = t[at + m - 1];
    if (c == last && std::memcmp(t + at, p, m - 1) == 0) return at;
    at += forward_[static_cast<std::uint8_t>(c)];
  }
  return std::string_view::npos;
}

std::size_t BmTable::Backward(std::string_view text, std::size_t latest) const {
  const std::size_t m = pattern_.size(), n = text.size();
  if (m == 0 || m > n) return std::string_view::npos;
  std::size_t at = std::min(latest, n - m);
  const char* t = text.data();
  const char* p = pattern_.data();
  for (;;) {
    const char c = t[at];
    if (c == p[0] && std::memcmp(t + at + 1, p + 1, m - 1) == 0) return at;
    const std::uint32_t skip = backward_[static_cast<std::uint8_t>(c)];
    if (at < skip) return std::string_view::npos;
    at -= skip;
  }
}

bool CharStarts::IsStart(std::size_t at) {
  const std::size_t n = text_.size();
  if (at == 0 || at >= n) return true;
  if (!marks_.empty()) return marks_[at] != 0;
  // A byte that is not a lead byte ends a character: the offset after it is
  // a start. Walk back to one over the lead bytes before at.
  std::size_t from = at, run = 0;
  while (from > 0 && sjis::IsLead(sjis::At(text_, from - 1)) && run < kRunLimit) {
    --from;
    ++run;
  }
  const bool boundary = from == 0 || !sjis::IsLead(sjis::At(text_, from - 1));
  if (boundary) {
    if (known_ > from && known_ <= at) from = known_;
  } else if (known_ <= at) {
    from = known_;  // forward searches: the walks add up to one pass
  } else {
    marks_.assign(n + 1, 0);
    for (std::size_t i = 0; i < n; i += sjis::CharBytes(text_, i)) marks_[i] = 1;
    marks_[n] = 1;
    return marks_[at] != 0;
  }
  while (from < at) from += sjis::CharBytes(text_, from);
  known_ = from;
  return from == at;
}

std::size_t FindForward(const BmTable& table, std::string_view text, std::size_t start, CharStarts& starts) {
  const std::size_t m = table.pattern().size();
  for (std::size_t at = table.Forward(text, start); at != std::string_view::npos; at = table.Forward(text, at + 1))
    if (starts.IsStart(at) && starts.IsStart(at + m)) return at;
  return kNoHit;
}

std::size_t FindBackward(const BmTable& table, std::string_view text, std::size_t start, CharStarts& starts) {
  const std::size_t m = table.pattern().size();
  for (std::size_t at = table.Backward(text, start); at != std::string_view::npos;) {
    if (starts.IsStart(at) && starts.IsStart(at + m)) return at;
    if (at == 0) break;
    at = table.Backward(text, at - 1);
  }
  return kNoHit;
}

// ---- searches ----

namespace {

BmTable& ForwardTable() {
  static BmTable table;
  return table;
}
BmTable& BackwardTable() {
  static BmTable table;
  return table;
}

const BmTable& Prepared(BmTable& table, std::string_view pattern, bool continued) {
  if (!continued || !table.Holds(pattern)) table.Build(pattern);
  return table;
}

bool HitAt(std::string_view pattern, std::string_view text, std::size_t at) {
  return at + pattern.size() <= text.size() && std::memcmp(text.data() + at, pattern.data(), pattern.size()) == 0;
}

}  // namespace

std::size_t BmStrSearch(std::string_view pattern, std::size_t start, std::string_view text, bool continued) {
  if (pattern.empty() || pattern.size() > text.size() || start > text.size() - pattern.size()) return kNoHit;
  CharStarts starts(text);
  return FindForward(Prepared(ForwardTable(), pattern, continued), text, start, starts);
}

std::size_t BmStrBackSearch(std::string_view pattern, std::size_t start, std::string_view text, bool continued) {
  if (pattern.empty() || pattern.size() > text.size()) return kNoHit;
  CharStarts starts(text);
  return FindBackward(Prepared(BackwardTable(), pattern, continued), text, start, starts);
}

std::size_t SimpleStrSearch(std::string_view pattern, std::size_t start, std::string_view text) {
  if (pattern.empty()) return kNoHit;
  for (std::size_t at = 0; at < text.size(); at += sjis::CharBytes(text, at)) {
    if (at < start || !HitAt(pattern, text, at)) continue;
    const std::size_t end = at + pattern.size();
    // The hit must end where a character ends: walk the hit's characters.
    std::size_t i = at;
    while (i < end) i += sjis::CharBytes(text, i);
    if (i == end) return at;
  }
  return kNoHit;
}

std::size_t SimpleStrBackSearch(std::string_view pattern, std::size_t start, std::string_view text) {
  if (pattern.empty()) return kNoHit;
  std::size_t found = kNoHit;
  for (std::size_t at = 0; at < text.size() && at <= start; at += sjis::CharBytes(text, at)) {
    if (!HitAt(pattern, text, at)) continue;
    const std::size_t end = at + pattern.size();
    std::size_t i = at;
    while (i < end) i += sjis::CharBytes(text, i);
    if (i == end) found = at;
  }
  return found;
}

// ---- strings ----

namespace {

template <typename Change>
void EachSingleByte(std::span<char> text, Change change) {
  const std::string_view view(text.data(), text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t w = sjis::CharBytes(view, i);
    if (w == 1) text[i] = change(text[i]);
    i += w;
  }
}

}  // namespace

void StrCnvUpperToLower(std::span<char> text) {
  EachSingleByte(text, [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; });
}

void StrCnvLowerToUpper(std::span<char> text) {
  EachSingleByte(text, [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; });
}

void SwapMultiStr(std::span<char> text) {
  // Reverse the bytes, then put each double-byte character (now trail, lead)
  // back in order, walking the original characters from the end.
  const std::string_view view(text.data(), text.size());
  std::vector<std::uint8_t> widths;
  widths.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t w = sjis::CharBytes(view, i);
    widths.push_back(static_cast<std::uint8_t>(w));
    i += w;
  }
  std::reverse(text.begin(), text.end());
  std::size_t at = 0;
  for (auto it = widths.rbegin(); it != widths.rend(); ++it) {
    if (*it == 2) std::swap(text[at], text[at + 1]);
    at += *it;
  }
}

int CheckSiftJisCode(std::string_view line, std::size_t at) {
  if (at == 0 || at >= line.size()) return 1;
  CharStarts starts(line);
  if (starts.IsStart(at)) return 1;
  return 0;
}

// ---- words ----

void BuildSearchDelimiters(std::span<std::uint8_t, kDelimiterTableSize> table, std::string_view halfWidth,
                           std::string_view fullWidth) {
  for (std::uint8_t& e : table) e &= 0x0F;
  const auto mark = [&](unsigned first, unsigned last, std::uint8_t bit) {
    for (unsigned c = first; c <= last; ++c) table[c] |= bit;
  };
  // 1. the user's half-width delimiters
  halfWidth = halfWidth.substr(0, std::min(halfWidth.find('\0'), kMaxHalfWidthDelimiters));
  for (char c : halfWidth) table[static_cast<std::uint8_t>(c)] |= kHalfWidthDelimiter;
  // 2. the fixed symbols (not the underscore), 3. control bytes and space
  for (auto [first, last] : {std::pair{0x21u, 0x2Fu}, {0x3Au, 0x40u}, {0x5Bu, 0x5Eu}, {0x60u, 0x60u}, {0x7Bu, 0x7Eu},
                             {0xA1u, 0xA4u}, {0x00u, 0x20u}})
    mark(first, last, kHalfWidthDelimiter);
  // 4. the user's full-width delimiters
  fullWidth = fullWidth.substr(0, fullWidth.find('\0'));
  std::size_t taken = 0;
  for (std::size_t i = 0; i < fullWidth.size() && taken < kMaxFullWidthDelimiters;) {
    const std::size_t w = sjis::CharBytes(fullWidth, i);
    if (w == 2) {
      table[sjis::CharCode(fullWidth, i, 2)] |= kFullWidthDelimiter;
      ++taken;
    }
    i += w;
  }
  // 5. the fixed full-width symbols (not the prolonged sound mark)
  mark(0x8140, 0x81FF, kFullWidthDelimiter);
  table[0x815B] &= static_cast<std::uint8_t>(~kFullWidthDelimiter);
  for (auto [first, last] : {std::pair{0x849Fu, 0x84BFu}, {0x8740u, 0x8753u}, {0x875Fu, 0x8775u}, {0x877Eu, 0x879Cu},
                             {0xF040u, 0xF44Fu}, {0xFA55u, 0xFA57u}})
    mark(first, last, kFullWidthDelimiter);
}

namespace {

struct Char {
  std::size_t at = 0, bytes = 0;
  std::uint16_t code = 0;
};

Char CharAt(std::string_view line, std::size_t at) {
  const std::size_t w = sjis::CharBytes(line, at);
  return Char{at, w, sjis::CharCode(line, at, w)};
}

// The character that ends at the boundary `end` (0 < end <= line.size()).
Char CharBefore(std::string_view line, std::size_t end) {
  std::size_t from = end - 1;
  while (from > 0 && sjis::IsLead(sjis::At(line, from - 1))) --from;
  Char c = CharAt(line, from);
  while (c.at + c.bytes < end) c = CharAt(line, c.at + c.bytes);
  return c;
}

bool IsDelimiter(const Char& c, const std::uint8_t* table) {
  return (table[c.code] & (c.bytes == 2 ? kFullWidthDelimiter : kHalfWidthDelimiter)) != 0;
}

bool IsKana(int wordClass) { return wordClass == 2 || wordClass == 3; }

bool LeftEdge(std::string_view line, std::size_t hit, const std::uint8_t* table) {
  if (hit == 0) return true;
  const Char before = CharBefore(line, hit), first = CharAt(line, hit);
  if (IsDelimiter(before, table) || before.bytes != first.bytes) return true;
  return WordClass(before.code) != WordClass(first.code);
}

bool RightEdge(std::string_view line, std::size_t end, const std::uint8_t* table) {
  if (end >= line.size() || line.substr(end, 2) == "\r\n") return true;
  const Char next = CharAt(line, end);
  if (IsDelimiter(next, table)) return true;
  const Char last = CharBefore(line, end);
  const int lastClass = WordClass(last.code), nextClass = WordClass(next.code);
  if (last.bytes == 2) {
    // A single byte at the very end is a character like any other (the same
    // test holds on the last line, which has no CR LF, as on every other).
    if (next.bytes == 2) return lastClass != nextClass && !(IsKana(lastClass) && nextClass == 7);
    return !(IsKana(lastClass) && next.code == 0xB0);
  }
  if (next.bytes == 2) return !(lastClass == 11 && next.code == 0x815B);
  return lastClass != nextClass;
}

}  // namespace

bool IsWordMatch(std::string_view line, std::size_t hit, std::size_t length, std::uint8_t options,
                 const std::uint8_t* delimiters) {
  if (hit > line.size() || length > line.size() - hit) return false;
  if ((options & kSearchLeftWord) && hit < line.size() && !LeftEdge(line, hit, delimiters)) return false;
  if ((options & kSearchRightWord) && length > 0 && !RightEdge(line, hit + length, delimiters)) return false;
  return true;
}

}  // namespace gorvane::qorvetc

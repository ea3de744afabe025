#include "search/finder.h"

#include <algorithm>

#include "charcode/class_tables.h"
#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/search_text.h"
#include "companions/qorvetc/wildcard.h"
#include "document/caret_moves.h"

namespace gorvane::search {

namespace qv = gorvane::qorvetc;
using document::CaretCol;
using document::LineNo;
using document::TextPos;

namespace {

// Whether text holds an ASCII letter as a character of its own.
bool HasLetter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (charcode::SjisCharBytes(text, i, text.size()) == 2) ++i;  // a double-byte character
    else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  }
  return false;
}

}  // namespace

struct Finder::Prepared {
  std::uint8_t options = 0;
  const std::uint8_t* delimiters = nullptr;
  std::string pattern;  // prepared: folded, lower-cased
  std::string work;     // scratch: the line folded and/or lower-cased
  std::vector<std::uint8_t> map;  // the fold's codes of the line's bytes
  bool continued = false;
  std::optional<qv::CompiledWildcard> wild;  // the pattern compiled, when it is a wildcard pattern

  bool letters = false;  // the prepared pattern holds an ASCII letter as a character of its own
  bool Case() const { return options & qv::kSearchCase; }
  // Lower-casing a line can change a match only when the pattern has a letter.
  bool Lower() const { return !Case() && letters; }
  bool Fuzzy() const { return options & qv::kSearchFuzzy; }
  bool Words() const { return options & (qv::kSearchLeftWord | qv::kSearchRightWord); }

  // The text a line is searched in: the line itself, or its folded and/or
  // lower-cased copy.
  std::string_view Searched(std::string_view text) {
    if (!Lower() && !Fuzzy()) return text;
    work.assign(text);
    if (Fuzzy()) {
      map.resize(work.size());
      work.resize(qv::FoldText(work, map).length);
    }
    if (Lower()) qv::StrCnvUpperToLower(work);
    return work;
  }
  // A position of the line in the searched text.
  std::size_t Searched(std::size_t position) const {
    return Fuzzy() ? qv::GetSchCaretPos(map, std::min(position, map.size())) : position;
  }
  // A hit of the searched text as bytes of the line; none when it begins or
  // ends inside a folded character.
  std::optional<std::pair<std::size_t, std::size_t>> Unfolded(std::size_t hit) const {
    if (!Fuzzy()) return std::pair{hit, pattern.size()};
    const auto r = qv::GetSchStrSize(map, hit, pattern.size());
    if (!r) return std::nullopt;
    return std::pair{r->offset, r->length};
  }

  bool Accept(std::string_view line, std::size_t at, std::size_t length) const {
    return !Words() || qv::IsWordMatch(line, at, length, options, delimiters);
  }
};

Finder::Finder(std::string_view pattern, std::uint8_t options, const std::uint8_t* delimiters, bool upward)
    : p_(std::make_unique<Prepared>()) {
  Prepared& p = *p_;
  p.options = options;
  p.delimiters = delimiters;
  p.pattern.assign(pattern);
  auto foldAndLower = [&p](std::string& t) {
    if (p.Fuzzy()) {
      qv::CnvWildProblemChar(t);
      t.resize(qv::FoldText(t, {}).length);
    }
    if (!p.Case()) qv::StrCnvUpperToLower(t);
  };
  if (options & qv::kSearchWildcard) {
    // Upward the pattern is compiled reversed, to be matched forward in
    // reversed lines.
    std::string given = p.pattern;
    if (upward) qv::SwapMultiStr(p.pattern);
    foldAndLower(p.pattern);
    p.wild = qv::CreateWildcardString(p.pattern, (options & qv::kSearchShortest) != 0, upward);
    if (!p.wild) {
      // No wildcard in it: a plain search for the text without its escapes.
      p.pattern = given;
      foldAndLower(p.pattern);
      p.pattern.resize(qv::DeleteEscapeChar(p.pattern));
      p.letters = HasLetter(p.pattern);
    }
    return;
  }
  if (p.Fuzzy()) p.pattern.resize(qv::FoldText(p.pattern, {}).length);
  if (!p.Case()) qv::StrCnvUpperToLower(p.pattern);
  p.letters = HasLetter(p.pattern);
}

Finder::~Finder() = default;

bool Finder::empty() const { return !p_->wild && p_->pattern.empty(); }

std::optional<std::pair<std::int32_t, std::int32_t>> Finder::InLine(std::string_view line, std::int32_t start) {
  Prepared& p = *p_;
  if (p.wild) {
    const auto hit = qv::MatchWildcardInLine(qv::View(*p.wild), line, static_cast<std::size_t>(std::max(start, 0)),
                                             p.options, p.delimiters);
    if (!hit) return std::nullopt;
    return std::pair{static_cast<std::int32_t>(hit->start), static_cast<std::int32_t>(hit->length)};
  }
  const std::string_view text = p.Searched(document::LineText(line));
  std::size_t from = p.Searched(static_cast<std::size_t>(std::max(start, 0)));
  while (from < text.size()) {
    const std::size_t hit = qv::BmStrSearch(p.pattern, from, text, p.continued);
    p.continued = true;
    if (hit == qv::kNoHit) break;
    from = hit + 1;
    const auto u = p.Unfolded(hit);
    if (u && p.Accept(line, u->first, u->second))
      return std::pair{static_cast<std::int32_t>(u->first), static_cast<std::int32_t>(u->second)};
  }
  return std::nullopt;
}

std::optional<Hit> Finder::Down(document::LineSource& lines, TextPos caret, LineNo last) {
  if (empty()) return std::nullopt;
  last = std::min(last, LineNo(lines.LineCount()));
  for (LineNo l = caret.line; l <= last; ++l) {
    const std::string line = lines.Line(l);
    const std::int32_t start = l == caret.line ? caret.column.value - 1 : 0;
    if (const auto h = InLine(line, start)) return Hit{l, h->first, h->second};
  }
  return std::nullopt;
}

std::optional<Hit> Finder::Up(document::LineSource& lines, TextPos caret, LineNo first) {
  if (empty()) return std::nullopt;
  Prepared& p = *p_;
  first = std::max(first, LineNo(1));
  if (p.wild) return WildUp(lines, caret, first);
  for (LineNo l = std::min(caret.line, LineNo(lines.LineCount())); l >= first; --l) {
    const std::string line = lines.Line(l);
    const std::string_view text = p.Searched(document::LineText(line));
    // On the caret's line a hit must begin before the caret.
    std::size_t from = qv::kFromEnd;
    if (l == caret.line) {
      const std::size_t at = p.Searched(static_cast<std::size_t>(std::max(caret.column.value - 1, 0)));
      if (at == 0) continue;
      from = at - 1;
    }
    while (true) {
      const std::size_t hit = qv::BmStrBackSearch(p.pattern, from, text, p.continued);
      p.continued = true;
      if (hit == qv::kNoHit) break;
      const auto u = p.Unfolded(hit);
      if (u && p.Accept(line, u->first, u->second))
        return Hit{l, static_cast<std::int32_t>(u->first), static_cast<std::int32_t>(u->second)};
      if (hit == 0) break;
      from = hit - 1;
    }
  }
  return std::nullopt;
}

// Upward wildcard search: each line reversed by characters and the reversed
// pattern matched forward in it; the word edges are tested on the line itself.
std::optional<Hit> Finder::WildUp(document::LineSource& lines, TextPos caret, LineNo first) {
  Prepared& p = *p_;
  const auto options = static_cast<std::uint8_t>(p.options & ~(qv::kSearchLeftWord | qv::kSearchRightWord));
  std::string reversed;
  for (LineNo l = std::min(caret.line, LineNo(lines.LineCount())); l >= first; --l) {
    const std::string line = lines.Line(l);
    const std::string_view text = document::LineText(line);
    reversed.assign(text);
    qv::SwapMultiStr(reversed);
    const std::size_t length = text.size();
    std::size_t from = 0;
    if (l == caret.line) from = length - std::min<std::size_t>(length, static_cast<std::size_t>(caret.column.value - 1));
    while (from <= length) {
      const auto hit = qv::MatchWildcardInLine(qv::View(*p.wild), reversed, from, options, nullptr);
      if (!hit) break;
      const std::size_t start = length - hit->start - hit->length;
      if (p.Accept(line, start, hit->length))
        return Hit{l, static_cast<std::int32_t>(start), static_cast<std::int32_t>(hit->length)};
      // On from the next character of the reversed line.
      from = hit->start + charcode::SjisCharBytes(reversed, hit->start, length);
    }
  }
  return std::nullopt;
}

}  // namespace gorvane::search

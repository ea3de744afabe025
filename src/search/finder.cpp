#include "search/finder.h"

#include <algorithm>

#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/search_text.h"

namespace gorvane::search {

namespace qv = gorvane::qorvetc;
using document::CaretCol;
using document::LineNo;
using document::TextPos;

namespace {

std::string_view WithoutLineEnd(std::string_view line) {
  if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") return line.substr(0, line.size() - 2);
  return line;
}

}  // namespace

struct Finder::Prepared {
  std::uint8_t options = 0;
  const std::uint8_t* delimiters = nullptr;
  bool upward = false;
  std::string pattern;  // prepared: folded, lower-cased
  std::string work;     // scratch: the line folded and/or lower-cased
  std::vector<std::uint8_t> map;  // the fold's codes of the line's bytes
  bool continued = false;

  bool Case() const { return options & qv::kSearchCase; }
  bool Fuzzy() const { return options & qv::kSearchFuzzy; }
  bool Words() const { return options & (qv::kSearchLeftWord | qv::kSearchRightWord); }

  // The text a line is searched in: the line itself, or its folded and/or
  // lower-cased copy.
  std::string_view Searched(std::string_view text) {
    if (Case() && !Fuzzy()) return text;
    work.assign(text);
    if (Fuzzy()) {
      map.resize(work.size());
      work.resize(qv::FoldText(work, map).length);
    }
    if (!Case()) qv::StrCnvUpperToLower(work);
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
  p_->options = options;
  p_->delimiters = delimiters;
  p_->upward = upward;
  p_->pattern.assign(pattern);
  if (p_->Fuzzy()) p_->pattern.resize(qv::FoldText(p_->pattern, {}).length);
  if (!p_->Case()) qv::StrCnvUpperToLower(p_->pattern);
}

Finder::~Finder() = default;

bool Finder::empty() const { return p_->pattern.empty(); }
bool Finder::wildcard() const { return false; }

std::optional<std::pair<std::int32_t, std::int32_t>> Finder::InLine(std::string_view line, std::int32_t start) {
  Prepared& p = *p_;
  const std::string_view text = p.Searched(WithoutLineEnd(line));
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
  for (LineNo l = std::min(caret.line, LineNo(lines.LineCount())); l >= first; --l) {
    const std::string line = lines.Line(l);
    const std::string_view text = p.Searched(WithoutLineEnd(line));
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

}  // namespace gorvane::search

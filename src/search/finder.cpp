#include "search/finder.h"

#include <algorithm>

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
  std::string lowered;  // scratch: the line lower-cased
  bool continued = false;

  bool Case() const { return options & qv::kSearchCase; }
  bool Words() const { return options & (qv::kSearchLeftWord | qv::kSearchRightWord); }

  // The text a line is searched in: the line itself or its lower-cased copy.
  std::string_view Searched(std::string_view text) {
    if (Case()) return text;
    lowered.assign(text);
    qv::StrCnvUpperToLower(lowered);
    return lowered;
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
  if (!p_->Case()) qv::StrCnvUpperToLower(p_->pattern);
}

Finder::~Finder() = default;

bool Finder::empty() const { return p_->pattern.empty(); }
bool Finder::wildcard() const { return false; }

std::optional<std::pair<std::int32_t, std::int32_t>> Finder::InLine(std::string_view line, std::int32_t start) {
  Prepared& p = *p_;
  const std::string_view text = p.Searched(WithoutLineEnd(line));
  std::size_t from = static_cast<std::size_t>(std::max(start, 0));
  while (from < text.size()) {
    const std::size_t hit = qv::BmStrSearch(p.pattern, from, text, p.continued);
    p.continued = true;
    if (hit == qv::kNoHit) break;
    if (p.Accept(line, hit, p.pattern.size()))
      return std::pair{static_cast<std::int32_t>(hit), static_cast<std::int32_t>(p.pattern.size())};
    from = hit + 1;
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
      if (caret.column.value - 2 < 0) continue;
      from = static_cast<std::size_t>(caret.column.value - 2);
    }
    while (true) {
      const std::size_t hit = qv::BmStrBackSearch(p.pattern, from, text, p.continued);
      p.continued = true;
      if (hit == qv::kNoHit) break;
      if (p.Accept(line, hit, p.pattern.size()))
        return Hit{l, static_cast<std::int32_t>(hit), static_cast<std::int32_t>(p.pattern.size())};
      if (hit == 0) break;
      from = hit - 1;
    }
  }
  return std::nullopt;
}

}  // namespace gorvane::search

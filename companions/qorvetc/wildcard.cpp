#include "companions/qorvetc/wildcard.h"

#include <algorithm>
#include <cstring>

#include "companions/qorvetc/bm_table.h"
#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/search_text.h"
#include "companions/qorvetc/sjis_bytes.h"

namespace gorvane::qorvetc {

// ---- the pattern ----

namespace {

bool IsMeta(char c) { return c == '*' || c == '?' || c == '\\'; }

enum class Kind : std::uint8_t { kLiteral, kAny, kRun };

struct Token {
  Kind kind = Kind::kLiteral;
  std::string_view bytes;  // a literal character
};

}  // namespace

void CnvWildProblemChar(std::span<char> text) {
  const std::string_view view(text.data(), text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t w = sjis::CharBytes(view, i);
    if (w == 2) {
      const std::uint16_t code = sjis::CharCode(view, i, 2);
      const char meta = code == 0x8196 ? '*' : code == 0x8148 ? '?' : code == 0x818F ? '\\' : '\0';
      if (meta != '\0') {
        text[i] = kWildcardProtect;
        text[i + 1] = meta;
      }
    }
    i += w;
  }
}

std::optional<CompiledWildcard> CreateWildcardString(std::string_view pattern, bool /*shortest*/, bool backward) {
  pattern = pattern.substr(0, pattern.find('\0'));
  // The characters, protected ones (after 0x80) marked literal.
  struct Char {
    std::string_view bytes;
    bool literal;
  };
  std::vector<Char> chars;
  for (std::size_t i = 0; i < pattern.size();) {
    const std::size_t w = sjis::CharBytes(pattern, i);
    if (w == 1 && pattern[i] == kWildcardProtect && i + 1 < pattern.size() && IsMeta(pattern[i + 1])) {
      chars.push_back({pattern.substr(i + 1, 1), true});
      i += 2;
      continue;
    }
    chars.push_back({pattern.substr(i, w), false});
    i += w;
  }
  // Escapes and wildcards in the pattern's own order (a reversed pattern's
  // from its end), the tokens then put in the order of the text.
  std::vector<Token> tokens;
  const auto meta = [](const Char& c, char m) { return !c.literal && c.bytes.size() == 1 && c.bytes[0] == m; };
  const std::size_t n = chars.size();
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = backward ? n - 1 - k : k;
    const Char& c = chars[i];
    if (meta(c, '\\') && k + 1 < n) {
      tokens.push_back({Kind::kLiteral, chars[backward ? i - 1 : i + 1].bytes});
      ++k;
    } else if (meta(c, '*')) {
      if (tokens.empty() || tokens.back().kind != Kind::kRun) tokens.push_back({Kind::kRun, {}});
    } else if (meta(c, '?')) {
      tokens.push_back({Kind::kAny, {}});
    } else {
      tokens.push_back({Kind::kLiteral, c.bytes});
    }
  }
  if (backward) std::reverse(tokens.begin(), tokens.end());
  if (std::none_of(tokens.begin(), tokens.end(), [](const Token& t) { return t.kind != Kind::kLiteral; }))
    return std::nullopt;

  CompiledWildcard out;
  out.words.push_back(0);
  std::size_t segmentStart = 0;
  const auto close = [&](bool run) {
    const std::size_t length = out.text.size() - segmentStart;
    out.words.push_back(static_cast<std::uint16_t>(std::min<std::size_t>(length, kSegmentLength) | (run ? kRunFollows : 0)));
    out.text += '\0';
    segmentStart = out.text.size();
  };
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].kind == Kind::kRun) close(true);
    else if (tokens[t].kind == Kind::kAny) out.text += kAnyCharacter;
    else out.text += tokens[t].bytes;
  }
  if (tokens.back().kind != Kind::kRun) close(false);
  out.words[0] = static_cast<std::uint16_t>(out.words.size() - 1);
  return out;
}

std::size_t DeleteEscapeChar(std::span<char> text) {
  const std::string_view view(text.data(), text.size());
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t w = sjis::CharBytes(view, i);
    if (w == 1 && i + 1 < text.size() &&
        ((text[i] == '\\') || (text[i] == kWildcardProtect && IsMeta(text[i + 1])))) {
      ++i;  // the character after it stays, whatever it is
      const std::size_t next = sjis::CharBytes(view, i);
      for (std::size_t b = 0; b < next; ++b) text[out++] = text[i + b];
      i += next;
      continue;
    }
    for (std::size_t b = 0; b < w; ++b) text[out++] = text[i + b];
    i += w;
  }
  return out;
}

// ---- the matcher ----

namespace {

struct Segment {
  std::string bytes;  // kAnyCharacter for "?"
  bool runAfter = false;
  bool hasAny = false;
  BmTable table;  // literal segments
};

// The segments of a compiled pattern, consecutive segments without a run
// between them joined. Kept from one line to the next while the pattern is
// the same (the window thread's one search at a time).
struct Prepared {
  std::vector<std::uint16_t> words;
  std::string text;
  std::vector<Segment> segments;
  bool valid = false;
};

bool SamePattern(const Prepared& p, WildcardView v) {
  return p.words.size() == v.words.size() && std::equal(v.words.begin(), v.words.end(), p.words.begin()) &&
         p.text == v.text;
}

const Prepared& Prepare(WildcardView v) {
  static Prepared p;
  if (SamePattern(p, v)) return p;
  p = Prepared{};
  p.words.assign(v.words.begin(), v.words.end());
  p.text.assign(v.text);
  if (v.words.empty() || v.words[0] == 0 || v.words[0] >= v.words.size()) return p;
  std::size_t at = 0;
  bool joinNext = false;
  for (std::size_t i = 1; i <= v.words[0]; ++i) {
    const std::size_t length = v.words[i] & kSegmentLength;
    if (at + length > v.text.size()) return p;
    if (!joinNext) p.segments.emplace_back();
    Segment& s = p.segments.back();
    s.bytes.append(v.text.substr(at, length));
    s.runAfter = (v.words[i] & kRunFollows) != 0;
    joinNext = !s.runAfter;
    at += length + 1;
  }
  for (Segment& s : p.segments) {
    s.hasAny = s.bytes.find(kAnyCharacter) != std::string::npos;
    if (!s.hasAny && !s.bytes.empty()) s.table.Build(s.bytes);
  }
  p.valid = true;
  return p;
}

class LineMatcher {
 public:
  LineMatcher(const std::vector<Segment>& segments, std::string_view text, WildcardWork& work)
      : segs_(segments), text_(text), starts_(text.size() + 1, 0), work_(work), earliest_(segments.size()) {
    for (std::size_t i = 0; i < text.size(); i += sjis::CharBytes(text, i)) starts_[i] = 1;
    starts_[text.size()] = 1;
    work_.steps += text.size();
  }

  bool IsStart(std::size_t at) const { return at <= text_.size() && starts_[at] != 0; }

  std::size_t NextStart(std::size_t at) const {
    do ++at;
    while (at < text_.size() && !starts_[at]);
    return at;
  }

  // The end of segment k matched at the character start at, or npos.
  std::size_t EndAt(std::size_t k, std::size_t at) {
    const std::string& seg = segs_[k].bytes;
    std::size_t q = at;
    for (std::size_t i = 0; i < seg.size();) {
      ++work_.steps;
      if (q >= text_.size()) return std::string_view::npos;
      const std::size_t w = sjis::CharBytes(text_, q);
      if (seg[i] == kAnyCharacter) {
        q += w;
        ++i;
        continue;
      }
      if (i + w > seg.size() || std::memcmp(seg.data() + i, text_.data() + q, w) != 0) return std::string_view::npos;
      for (std::size_t b = 1; b < w; ++b)
        if (seg[i + b] == kAnyCharacter) return std::string_view::npos;
      i += w;
      q += w;
    }
    return q;
  }

  // The first occurrence of segment k at or after from.
  std::size_t First(std::size_t k, std::size_t from) {
    const Segment& s = segs_[k];
    if (s.bytes.empty()) return from;
    if (!s.hasAny) {
      for (std::size_t at = s.table.Forward(text_, from); at != std::string_view::npos;
           at = s.table.Forward(text_, at + 1)) {
        ++work_.steps;
        if (starts_[at] && starts_[at + s.bytes.size()]) return at;
      }
      return std::string_view::npos;
    }
    for (std::size_t at = from; at < text_.size(); at = NextStart(at))
      if (starts_[at] && EndAt(k, at) != std::string_view::npos) return at;
    return std::string_view::npos;
  }

  // The same, for a sequence of calls whose from never decreases: the answer
  // of the last call stands as long as from has not passed it.
  std::size_t FirstMonotone(std::size_t k, std::size_t from) {
    Earliest& e = earliest_[k];
    if (e.known && from >= e.from && (e.at == std::string_view::npos || from <= e.at)) return e.at;
    e = Earliest{true, from, First(k, from)};
    return e.at;
  }

  // The last occurrence of segment k that ends at or before bound.
  std::size_t Last(std::size_t k, std::size_t bound) {
    const Segment& s = segs_[k];
    if (s.bytes.empty()) return bound;
    if (!s.hasAny) {
      if (bound < s.bytes.size()) return std::string_view::npos;
      for (std::size_t at = s.table.Backward(text_, bound - s.bytes.size()); at != std::string_view::npos;) {
        ++work_.steps;
        if (starts_[at] && starts_[at + s.bytes.size()]) return at;
        if (at == 0) break;
        at = s.table.Backward(text_, at - 1);
      }
      return std::string_view::npos;
    }
    for (std::size_t at = std::min(bound, text_.size());; --at) {
      ++work_.steps;
      if (starts_[at]) {
        const std::size_t end = EndAt(k, at);
        if (end != std::string_view::npos && end <= bound) return at;
      }
      if (at == 0) return std::string_view::npos;
    }
  }

 private:
  struct Earliest {
    bool known = false;
    std::size_t from = 0, at = 0;
  };
  const std::vector<Segment>& segs_;
  std::string_view text_;
  std::vector<std::uint8_t> starts_;
  WildcardWork& work_;
  std::vector<Earliest> earliest_;
};

std::string_view WithoutCrLf(std::string_view line) {
  if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") line.remove_suffix(2);
  return line;
}

}  // namespace

std::optional<WildcardHit> MatchWildcardInLine(WildcardView pattern, std::string_view line, std::size_t start,
                                               std::uint8_t options, const std::uint8_t* delimiters,
                                               WildcardWork* work) {
  WildcardWork ownWork;
  WildcardWork& counted = work != nullptr ? *work : ownWork;
  line = WithoutCrLf(line);
  // A start column inside a double-byte character starts after it.
  std::size_t first = 0;
  while (first < start && first < line.size()) first += sjis::CharBytes(line, first);
  start = first;
  if (start >= line.size()) return std::nullopt;
  const Prepared& prepared = Prepare(pattern);
  if (!prepared.valid) return std::nullopt;
  const std::vector<Segment>& segs = prepared.segments;
  const std::size_t count = segs.size();
  const bool wordTest = (options & (kSearchLeftWord | kSearchRightWord)) != 0 && delimiters != nullptr;

  // A lone run: everything from the start column.
  if (count == 1 && segs[0].bytes.empty()) {
    if (!segs[0].runAfter) return std::nullopt;
    const WildcardHit hit{start, line.size() - start};
    if (wordTest && !IsWordMatch(line, hit.start, hit.length, options, delimiters)) return std::nullopt;
    return hit;
  }

  // The text searched: folded and lower-cased as the options say.
  const bool fuzzy = (options & kSearchFuzzy) != 0, lower = (options & kSearchCase) == 0;
  std::string work_text;
  std::vector<std::uint8_t> map;
  std::string_view text = line;
  std::size_t from = start;
  if (fuzzy || lower) {
    work_text.assign(line);
    if (fuzzy) {
      map.resize(line.size());
      work_text.resize(FoldText(work_text, map).length);
      from = GetSchCaretPos(map, start);
    }
    if (lower) StrCnvUpperToLower(work_text);
    text = work_text;
  }

  LineMatcher m(segs, text, counted);
  if (!m.IsStart(from)) from = m.NextStart(from);
  const bool shortest = (options & kSearchShortest) != 0;
  const std::size_t npos = std::string_view::npos;

  // Longest runs: the latest start of every segment after the first such that
  // the segments after it still fit, computed once from the right.
  std::vector<std::size_t> latest(count, npos);
  std::size_t longestEnd = npos;
  if (!shortest && count > 1) {
    std::size_t bound = text.size();
    for (std::size_t k = count; k-- > 1;) {
      latest[k] = m.Last(k, bound);
      if (latest[k] == npos) return std::nullopt;
      bound = latest[k];
    }
    longestEnd = segs.back().runAfter ? text.size() : m.EndAt(count - 1, latest[count - 1]);
  }

  while (from < text.size()) {
    const std::size_t s = m.First(0, from);
    if (s == npos || s >= text.size()) return std::nullopt;
    std::size_t end = m.EndAt(0, s);
    if (end == npos) return std::nullopt;
    if (count == 1) {
      if (segs[0].runAfter) end = text.size();
    } else if (!shortest) {
      if (end > latest[1]) return std::nullopt;  // later starts leave even less room
      end = longestEnd;
    } else {
      for (std::size_t k = 1; k < count; ++k) {
        const std::size_t at = m.FirstMonotone(k, end);
        if (at == npos) return std::nullopt;  // later starts leave even less room
        end = m.EndAt(k, at);
      }
      if (segs.back().runAfter) end = text.size();
    }
    std::optional<WildcardHit> hit = WildcardHit{s, end - s};
    if (fuzzy) {
      const auto unfolded = GetSchStrSize(map, s, end - s);
      hit = unfolded ? std::optional<WildcardHit>(WildcardHit{unfolded->offset, unfolded->length}) : std::nullopt;
    }
    if (hit && (!wordTest || IsWordMatch(line, hit->start, hit->length, options, delimiters))) return hit;
    from = m.NextStart(s);
  }
  return std::nullopt;
}

}  // namespace gorvane::qorvetc

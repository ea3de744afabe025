#include "document/word_moves.h"

#include <algorithm>
#include <string>
#include <vector>

#include "charcode/class_tables.h"
#include "document/caret_moves.h"

namespace gorvane::document {

namespace {

enum class Kind { Blank, SingleDelimiter, Single, DoubleDelimiter, Double };

struct Char {
  std::int32_t at;       // first byte
  std::int32_t bytes;    // 1 or 2
  std::uint16_t code;    // the byte, or lead * 256 + trail
  Kind kind;
};

// The characters of a line's text (its CR LF left out), as painting and the
// caret step through them.
std::vector<Char> Characters(std::string_view text, const DelimiterTable& delimiters) {
  std::vector<Char> chars;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = charcode::SjisCharBytes(text, i, text.size());
    const auto b = static_cast<std::uint8_t>(text[i]);
    Char c{static_cast<std::int32_t>(i), static_cast<std::int32_t>(n), b, Kind::Single};
    if (n == 2) {
      const auto trail = static_cast<std::uint8_t>(text[i + 1]);
      c.code = static_cast<std::uint16_t>(b * 256 + trail);
      c.kind = delimiters.DoubleDelimiter(b, trail) ? Kind::DoubleDelimiter : Kind::Double;
    } else if (b == ' ' || b == '\t') {
      c.kind = Kind::Blank;
    } else if (delimiters.SingleDelimiter(b)) {
      c.kind = Kind::SingleDelimiter;
    }
    chars.push_back(c);
    i += n;
  }
  return chars;
}

// Whether c continues the run that `first` starts for a word move: blanks
// with blanks, a delimiter with the same delimiter, other characters with
// others of their width.
bool SameRun(const Char& first, const Char& c) {
  if (first.kind != c.kind) return false;
  const bool delimiter = first.kind == Kind::SingleDelimiter || first.kind == Kind::DoubleDelimiter;
  return !delimiter || first.code == c.code;
}

// The index of the character that starts at byte `at` (chars.size() at the
// text's end).
std::size_t IndexAt(const std::vector<Char>& chars, std::int32_t at) {
  return static_cast<std::size_t>(
      std::lower_bound(chars.begin(), chars.end(), at, [](const Char& c, std::int32_t a) { return c.at < a; }) -
      chars.begin());
}

CaretCol ColumnOf(const std::vector<Char>& chars, std::size_t i, std::string_view text) {
  return CaretCol((i < chars.size() ? chars[i].at : static_cast<std::int32_t>(text.size())) + 1);
}

// The position clamped into the document and onto a character boundary.
TextPos Normalised(LineSource& lines, TextPos pos, std::string* line) {
  const std::int32_t count = std::max(1, lines.LineCount());
  pos.line = LineNo(std::clamp(pos.line.value, 1, count));
  *line = lines.Line(pos.line);
  pos.column = BoundaryColumn(*line, pos.column);
  return pos;
}

}  // namespace

TextPos NextWordPos(LineSource& lines, const DelimiterTable& delimiters, TextPos from) {
  std::string line;
  TextPos pos = Normalised(lines, from, &line);
  std::string_view text = LineText(line);
  std::vector<Char> chars = Characters(text, delimiters);
  std::size_t i = IndexAt(chars, pos.column.value - 1);
  if (i >= chars.size()) {
    if (pos.line.value >= lines.LineCount()) return pos;
    ++pos.line;
    line = lines.Line(pos.line);
    text = LineText(line);
    chars = Characters(text, delimiters);
    i = 0;
    while (i < chars.size() && chars[i].kind == Kind::Blank) ++i;
  } else {
    const Char first = chars[i];
    while (i < chars.size() && SameRun(first, chars[i])) ++i;
  }
  pos.column = ColumnOf(chars, i, text);
  return pos;
}

TextPos PreviousWordPos(LineSource& lines, const DelimiterTable& delimiters, TextPos from) {
  std::string line;
  TextPos pos = Normalised(lines, from, &line);
  if (pos.column.value <= 1) {
    if (pos.line.value <= 1) return pos;
    --pos.line;
    pos.column = EndColumn(lines.Line(pos.line));
    return pos;
  }
  const std::string_view text = LineText(line);
  const std::vector<Char> chars = Characters(text, delimiters);
  std::size_t i = IndexAt(chars, pos.column.value - 1);
  const Char first = chars[i - 1];
  while (i > 0 && SameRun(first, chars[i - 1])) --i;
  pos.column = ColumnOf(chars, i, text);
  return pos;
}

std::optional<std::pair<SelCol, SelCol>> WordAt(std::string_view line, SelCol at, const DelimiterTable& delimiters) {
  const std::string_view text = LineText(line);
  if (at.value < 0 || static_cast<std::size_t>(at.value) >= text.size()) return std::nullopt;
  const std::vector<Char> chars = Characters(text, delimiters);
  // The character holding the byte: the last one starting at or before it.
  std::size_t k = IndexAt(chars, at.value + 1) - 1;
  std::size_t first = k, last = k;
  const Kind kind = chars[k].kind;
  if (kind != Kind::Single && kind != Kind::Double) {
    while (first > 0 && SameRun(chars[k], chars[first - 1])) --first;
    while (last + 1 < chars.size() && SameRun(chars[k], chars[last + 1])) ++last;
  } else {
    // Word classes, a prolonged sound mark taking the class of the kana before it.
    std::vector<int> classes(chars.size(), -1);
    for (std::size_t i = 0; i < chars.size(); ++i) {
      if (chars[i].kind != Kind::Single && chars[i].kind != Kind::Double) continue;
      classes[i] = WordClass(chars[i].code);
      if (classes[i] == 7 && i > 0 && chars[i - 1].kind == Kind::Double && (classes[i - 1] == 2 || classes[i - 1] == 3))
        classes[i] = classes[i - 1];
    }
    auto together = [&](std::size_t i) { return chars[i].kind == kind && classes[i] == classes[k]; };
    while (first > 0 && together(first - 1)) --first;
    while (last + 1 < chars.size() && together(last + 1)) ++last;
  }
  return std::pair{SelCol(chars[first].at), SelCol(chars[last].at + chars[last].bytes - 1)};
}

}  // namespace gorvane::document

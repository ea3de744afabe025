#include "document/brackets.h"

#include <algorithm>
#include <string>
#include <vector>

#include "charcode/class_tables.h"
#include "document/caret_moves.h"

namespace gorvane::document {

namespace {

constexpr std::string_view kOpening = "([{", kClosing = ")]}";

// The columns at which the line's single-byte characters stand.
std::vector<std::int32_t> SingleByteColumns(std::string_view text) {
  std::vector<std::int32_t> columns;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = charcode::SjisCharBytes(text, i, text.size());
    if (n == 1) columns.push_back(static_cast<std::int32_t>(i) + 1);
    i += n;
  }
  return columns;
}

}  // namespace

bool BracketAt(std::string_view line, CaretCol column) {
  const std::string_view text = LineText(line);
  if (column.value < 1 || static_cast<std::size_t>(column.value) > text.size()) return false;
  if (BoundaryColumn(line, column) != column) return false;  // inside a double-byte character
  const auto i = static_cast<std::size_t>(column.value - 1);
  if (charcode::SjisCharBytes(text, i, text.size()) != 1) return false;
  return kOpening.find(text[i]) != std::string_view::npos || kClosing.find(text[i]) != std::string_view::npos;
}

std::optional<BracketPair> FindMatchingBracket(LineSource& lines, TextPos at, std::int32_t lineLimit,
                                               std::function<bool(TextPos)> ignored) {
  const std::int32_t count = lines.LineCount();
  if (at.line.value < 1 || at.line.value > count) return std::nullopt;
  std::string line = lines.Line(at.line);
  if (!BracketAt(line, at.column)) return std::nullopt;
  const char self = line[static_cast<std::size_t>(at.column.value - 1)];
  const std::size_t opening = kOpening.find(self);
  const bool forward = opening != std::string_view::npos;
  const char partner = forward ? kClosing[opening] : kOpening[kClosing.find(self)];
  const int step = forward ? 1 : -1;

  int depth = 1;
  LineNo l = at.line;
  for (std::int32_t searched = 0; searched < std::max(lineLimit, 1) && l.value >= 1 && l.value <= count;
       ++searched, l += step) {
    if (l != at.line) line = lines.Line(l);
    const std::string_view text = LineText(line);
    const std::vector<std::int32_t> columns = SingleByteColumns(text);
    const auto n = static_cast<std::ptrdiff_t>(columns.size());
    for (std::ptrdiff_t k = forward ? 0 : n - 1; k >= 0 && k < n; k += step) {
      const CaretCol column(columns[static_cast<std::size_t>(k)]);
      if (l == at.line && (forward ? column <= at.column : column >= at.column)) continue;
      const char c = text[static_cast<std::size_t>(column.value - 1)];
      if (c != self && c != partner) continue;
      if (ignored && ignored(TextPos{l, column})) continue;
      depth += c == self ? 1 : -1;
      if (depth == 0) return BracketPair{at, TextPos{l, column}};
    }
  }
  return std::nullopt;
}

}  // namespace gorvane::document

// The document's selection: from an anchor to the other end, each a line and
// a 0-based byte column, the end column inclusive (the last selected byte).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

#include "document/caret_moves.h"
#include "document/types.h"

namespace gorvane::document {

struct Selection {
  LineNo anchorLine, otherLine;
  SelCol anchorCol, otherCol;
  bool exists = false;

  // The same selection with its start first (lines compared first, then
  // columns): anchor is the start, other the end.
  Selection Normalised() const {
    Selection s = *this;
    if (std::pair(otherLine, otherCol) < std::pair(anchorLine, anchorCol)) {
      std::swap(s.anchorLine, s.otherLine);
      std::swap(s.anchorCol, s.otherCol);
    }
    return s;
  }
  // A selection that exists and ends on another line than it starts.
  bool SpansLines() const { return exists && anchorLine != otherLine; }
  // Whether the byte at the column of the line is selected.
  bool Contains(LineNo line, SelCol column) const {
    const Selection s = Normalised();
    const auto at = std::pair(line, column);
    return exists && std::pair(s.anchorLine, s.anchorCol) <= at && at <= std::pair(s.otherLine, s.otherCol);
  }
};

// The bytes [first, second) of a line (its CR LF included) that the
// selection covers, for painting; empty (0, 0) when none. Lines inside the
// selection are covered with their line end; a selection that ends within a
// line's CR LF (normally on its "\n") covers all of it. Columns beyond the
// line count as its end.
inline std::pair<SelCol, SelCol> SelectedBytes(std::string_view line, LineNo lineNo, const Selection& selection) {
  const Selection s = selection.Normalised();
  if (!s.exists || lineNo < s.anchorLine || lineNo > s.otherLine) return {SelCol(0), SelCol(0)};
  const auto size = static_cast<std::int32_t>(line.size());
  const std::int32_t from = lineNo == s.anchorLine ? std::clamp(s.anchorCol.value, 0, size) : 0;
  std::int32_t to = lineNo == s.otherLine ? std::clamp(s.otherCol.value + 1, 0, size) : size;
  if (to > static_cast<std::int32_t>(LineText(line).size())) to = size;
  return {SelCol(from), SelCol(std::max(from, to))};
}

}  // namespace gorvane::document

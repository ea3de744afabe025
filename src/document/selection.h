// The document's selection: from an anchor to the other end, as byte columns
// (0-based) of their lines, the end inclusive (the last selected byte). A
// selection that ends on a line's "\n" includes the line end.
#pragma once

#include <utility>

#include "document/types.h"

namespace gorvane::document {

struct Selection {
  LineNo anchorLine{1}, otherLine{1};
  SelCol anchorCol{0}, otherCol{0};
  bool exists = false;

  // A copy whose start (the anchor fields) comes first: lines compared first,
  // then columns.
  Selection Normalised() const {
    Selection s = *this;
    if (otherLine < anchorLine || (otherLine == anchorLine && otherCol < anchorCol)) {
      std::swap(s.anchorLine, s.otherLine);
      std::swap(s.anchorCol, s.otherCol);
    }
    return s;
  }
  bool SpansLines() const { return exists && anchorLine != otherLine; }
  bool Contains(LineNo line, SelCol col) const {
    if (!exists) return false;
    const Selection s = Normalised();
    if (line < s.anchorLine || line > s.otherLine) return false;
    if (line == s.anchorLine && col < s.anchorCol) return false;
    if (line == s.otherLine && col > s.otherCol) return false;
    return true;
  }
};

}  // namespace gorvane::document

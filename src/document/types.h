// Positions in a document. Line numbers and caret columns are 1-based;
// selection columns are 0-based byte indexes. Each is its own type so that one
// cannot be passed where another is meant.
#pragma once

#include <compare>
#include <cstdint>

namespace gorvane::document {

template <typename Tag>
struct Position {
  std::int32_t value = 0;
  constexpr Position() = default;
  constexpr explicit Position(std::int32_t v) : value(v) {}
  constexpr auto operator<=>(const Position&) const = default;
  constexpr Position operator+(std::int32_t d) const { return Position(value + d); }
  constexpr Position operator-(std::int32_t d) const { return Position(value - d); }
  constexpr std::int32_t operator-(Position o) const { return value - o.value; }
  constexpr Position& operator+=(std::int32_t d) { return value += d, *this; }
  constexpr Position& operator-=(std::int32_t d) { return value -= d, *this; }
  constexpr Position& operator++() { return ++value, *this; }
  constexpr Position& operator--() { return --value, *this; }
};

using LineNo = Position<struct LineNoTag>;        // 1-based line number
using CaretCol = Position<struct CaretColTag>;    // 1-based byte column of the caret
using SelCol = Position<struct SelColTag>;        // 0-based byte index of a selection end

// A caret position: ordered by line, then column.
struct TextPos {
  LineNo line;
  CaretCol column;
  constexpr auto operator<=>(const TextPos&) const = default;
};

}  // namespace gorvane::document

#include "shell/caret_moves.h"

#include <cstdint>

#include "charcode/class_tables.h"

namespace gorvane::shell {

std::string_view LineText(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

int EndColumn(std::string_view line) { return static_cast<int>(LineText(line).size()) + 1; }

int BoundaryColumn(std::string_view line, int column) {
  const std::string_view text = LineText(line);
  const int end = static_cast<int>(text.size()) + 1;
  if (column >= end) return end;
  if (column <= 1) return 1;
  // Walk from the start: the last character start at or before the column.
  int at = 1;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t next = i + charcode::SjisCharBytes(text, i, text.size());
    if (static_cast<int>(next) + 1 > column) break;
    at = static_cast<int>(next) + 1;
    i = next;
  }
  return at;
}

int NextColumn(std::string_view line, int column) {
  const std::string_view text = LineText(line);
  column = BoundaryColumn(line, column);
  const auto i = static_cast<std::size_t>(column - 1);
  if (i >= text.size()) return column;
  return column + static_cast<int>(charcode::SjisCharBytes(text, i, text.size()));
}

int PreviousColumn(std::string_view line, int column) {
  column = BoundaryColumn(line, column);
  if (column <= 1) return 1;
  return BoundaryColumn(line, column - 1);
}

}  // namespace gorvane::shell

#include "document/caret_moves.h"

#include <cstdint>

#include "charcode/class_tables.h"

namespace gorvane::document {

std::string_view LineText(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

CaretCol EndColumn(std::string_view line) { return CaretCol(static_cast<std::int32_t>(LineText(line).size()) + 1); }

CaretCol BoundaryColumn(std::string_view line, CaretCol column) {
  const std::string_view text = LineText(line);
  const CaretCol end = EndColumn(line);
  if (column >= end) return end;
  if (column.value <= 1) return CaretCol(1);
  // Walk from the start: the last character start at or before the column.
  std::int32_t at = 1;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t next = i + charcode::SjisCharBytes(text, i, text.size());
    if (static_cast<std::int32_t>(next) + 1 > column.value) break;
    at = static_cast<std::int32_t>(next) + 1;
    i = next;
  }
  return CaretCol(at);
}

CaretCol NextColumn(std::string_view line, CaretCol column) {
  const std::string_view text = LineText(line);
  column = BoundaryColumn(line, column);
  const auto i = static_cast<std::size_t>(column.value - 1);
  if (i >= text.size()) return column;
  return column + static_cast<std::int32_t>(charcode::SjisCharBytes(text, i, text.size()));
}

CaretCol PreviousColumn(std::string_view line, CaretCol column) {
  column = BoundaryColumn(line, column);
  if (column.value <= 1) return CaretCol(1);
  return BoundaryColumn(line, column - 1);
}

}  // namespace gorvane::document

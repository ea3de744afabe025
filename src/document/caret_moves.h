// Caret columns within one Shift-JIS line: a column c (1-based) sits before
// byte c - 1. A caret never stands inside a double-byte character nor past the
// line's text (its line end, CR LF, is not text).
#pragma once

#include <string_view>

#include "document/types.h"

namespace gorvane::document {

// The line without its CR LF (or lone CR).
std::string_view LineText(std::string_view line);
// The column after the line's last character.
CaretCol EndColumn(std::string_view line);
// The column after the character at column (the end column stays).
CaretCol NextColumn(std::string_view line, CaretCol column);
// The column before the character left of column (column 1 stays).
CaretCol PreviousColumn(std::string_view line, CaretCol column);
// The nearest column at or left of column that is a character boundary, and
// at most the end column; at least 1.
CaretCol BoundaryColumn(std::string_view line, CaretCol column);

}  // namespace gorvane::document

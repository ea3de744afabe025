// Caret columns within one Shift-JIS line: a column c (1-based) sits before
// byte c - 1. A caret never stands inside a double-byte character nor past the
// line's text (its line end, CR LF, is not text).
#pragma once

#include <string_view>

namespace gorvane::shell {

// The line without its CR LF (or lone CR).
std::string_view LineText(std::string_view line);
// The column after the line's last character.
int EndColumn(std::string_view line);
// The column after the character at column (the end column stays).
int NextColumn(std::string_view line, int column);
// The column before the character left of column (column 1 stays).
int PreviousColumn(std::string_view line, int column);
// The nearest column at or left of column that is a character boundary, and
// at most the end column; at least 1.
int BoundaryColumn(std::string_view line, int column);

}  // namespace gorvane::shell

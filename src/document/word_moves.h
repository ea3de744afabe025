// Word by word: the caret moves of the word commands across lines, and the
// word around a byte that a double click (or "select word") selects.
#pragma once

#include <optional>
#include <string_view>
#include <utility>

#include "document/delimiters.h"
#include "document/line_source.h"
#include "document/types.h"

namespace gorvane::document {

// From the character at the caret: at the line end to the next line, past
// its leading spaces and TABs; over a run of spaces and TABs; over a run of
// the same single-byte delimiter; over single-byte characters up to a
// double-byte character or a single-byte delimiter; over a run of the same
// double-byte delimiter; over double-byte characters that are not
// delimiters. At the end of the last line the caret stays. A caret inside a
// double-byte character counts from that character's start, one past the
// text as the line end; a line outside the document is clamped to it.
TextPos NextWordPos(LineSource& lines, const DelimiterTable& delimiters, TextPos from);
// The same backwards, by the character left of the caret; at column 1 to the
// previous line's end (line 1 stays).
TextPos PreviousWordPos(LineSource& lines, const DelimiterTable& delimiters, TextPos from);

// The run of characters around byte `at` of the line that belongs together,
// as the first and the last byte (inclusive): a run of spaces and TABs; a run
// of one and the same delimiter character; else the neighbours that are no
// delimiters and share the character's width and WordClass, a prolonged
// sound mark after hiragana or katakana counting as that kana (so a word
// like "コーヒー" is one run). `at` on a trail byte means its character.
// Nothing on an empty line, or at or past the line's text (its CR LF is no
// word).
std::optional<std::pair<SelCol, SelCol>> WordAt(std::string_view line, SelCol at,
                                                const DelimiterTable& delimiters = DelimiterTable::Default());

}  // namespace gorvane::document

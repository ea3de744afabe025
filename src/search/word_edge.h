// Word edges for \b and \B: the whole-word search's rules for where a word
// may begin (left edge) and end (right edge), applied at one position.
#pragma once

#include <cstdint>
#include <string_view>

#include "companions/qorvetc/search_text.h"

namespace gorvane::search {

// The search's delimiter bits in the 65,536-entry table (indexed by a byte or
// by lead * 256 + trail): 0x10 a half-width delimiter, 0x20 a full-width one.
inline constexpr std::uint8_t kHalfWidthDelimiter = qorvetc::kHalfWidthDelimiter;
inline constexpr std::uint8_t kFullWidthDelimiter = qorvetc::kFullWidthDelimiter;

// The fixed delimiters alone (control bytes, space, ASCII and half-width
// punctuation but "_", the full-width symbols but the prolonged sound mark),
// for searches given no table.
const std::uint8_t* FixedSearchDelimiters();

// Whether a word may end and another begin at byte pos of a line's text (no
// CR LF): always at the text's start and end and next to a delimiter;
// elsewhere when a match could begin there by the left-edge rule (the two
// characters differ in width or in word class) and end there by the
// right-edge rule (likewise, except that hiragana and katakana go on with the
// prolonged sound mark, full-width or half-width, and half-width katakana
// with the full-width one).
// prevStart is the byte where the character before pos begins.
bool WordEdge(std::string_view text, std::size_t prevStart, std::size_t pos, const std::uint8_t* delimiters);

}  // namespace gorvane::search

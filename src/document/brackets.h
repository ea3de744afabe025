// Matching brackets: "(", "[" and "{" with ")", "]" and "}", each a
// single-byte character (a trail byte that looks like one is none).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "document/line_source.h"
#include "document/types.h"

namespace gorvane::document {

// Lines searched for a partner by default, the bracket's own line included.
inline constexpr std::int32_t kBracketSearchLines = 3000;

// Whether the character at the column is one of the six brackets.
bool BracketAt(std::string_view line, CaretCol column);

struct BracketPair {
  TextPos at, partner;
};

// The partner of the bracket at `at`: forwards for an opening bracket,
// backwards for a closing one, over at most lineLimit lines (the bracket's own
// included). Each further occurrence of the same bracket nests one deeper,
// each of its partner one less; the one that closes the nesting is the
// match. Brackets for which `ignored` says so (inside a comment or a string)
// do not count; it is not asked about the bracket at `at`. Nothing when no
// bracket is at `at` or no partner is found.
std::optional<BracketPair> FindMatchingBracket(LineSource& lines, TextPos at, std::int32_t lineLimit,
                                               std::function<bool(TextPos)> ignored = {});

}  // namespace gorvane::document

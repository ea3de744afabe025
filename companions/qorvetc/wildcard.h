// Wildcard patterns: their syntax, the compiled form the matcher reads, and
// the matcher over one line.
//
// Syntax (Shift-JIS, a character at a time, so a second byte 0x5C or 0x2A of
// a double-byte character is never taken for "\" or "*"):
//   *   a run of any characters, possibly empty ("**" is one run)
//   ?   exactly one character (a double-byte character is one)
//   \   the next character stands for itself ("\*", "\?", "\\"); a "\" at the
//       end stands for itself
//   0x80 before *, ? or \ (what CnvWildProblemChar leaves in place of the
//       full-width forms that fold to them) makes that character literal too
// Anything else stands for itself. A pattern to be searched backward is given
// reversed by characters (SwapMultiStr): there a "\" follows the character it
// makes literal, and 0x80 still comes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gorvane::qorvetc {

inline constexpr char kWildcardProtect = '\x80';
inline constexpr std::uint16_t kRunFollows = 0x8000;   // bit 15 of a segment word
inline constexpr std::uint16_t kSegmentLength = 0x7FFF;
inline constexpr char kAnyCharacter = '\0';  // "?" inside a segment's text

// The compiled form. words[0] is the number of segments n; words[1..n] each
// segment's byte length (bits 0-14) and kRunFollows when a run follows it. A
// pattern that begins with a run starts with the word 0x8000 (an empty
// segment and the run); one that ends with a run has the bit on its last
// segment. text holds the segments in order, each followed by one NUL; a "?"
// is the byte kAnyCharacter inside a segment; literal bytes are as given.
struct CompiledWildcard {
  std::vector<std::uint16_t> words;
  std::string text;
};

// The same form in memory the caller keeps (the library's exports).
struct WildcardView {
  std::span<const std::uint16_t> words;
  std::string_view text;
};
inline WildcardView View(const CompiledWildcard& c) { return {c.words, c.text}; }

// Before folding a pattern: the full-width "＊" 0x8196, "？" 0x8148 and "￥"
// 0x818F, which fold to "*", "?" and "\", become 0x80 and that byte (the same
// length), so that they stay literal. Not for a pattern that is not folded.
void CnvWildProblemChar(std::span<char> text);

// The compiled pattern, or none when the pattern holds no "*" or "?" of its
// own (then search for DeleteEscapeChar's text instead). backward: the pattern
// is reversed (see above); the segments come out in the order of the given
// text. shortest is the caller's choice of run, kept for the matcher's
// options (the compiled form does not depend on it). A NUL ends the pattern.
std::optional<CompiledWildcard> CreateWildcardString(std::string_view pattern, bool shortest, bool backward);

// Takes the escapes out of a pattern that is not reversed: "\x" becomes "x",
// 0x80 before "*", "?" or "\" goes; returns the new length (text is changed
// in place, bytes after the new length are left as they were).
std::size_t DeleteEscapeChar(std::span<char> text);

struct WildcardHit {
  std::size_t start = 0, length = 0;  // bytes of the line as given
};

// Work counted by the matcher (for tests).
struct WildcardWork {
  std::uint64_t steps = 0;
};

// The first match that begins at or after start (0-based) in line; a
// trailing CR LF is not searched. options: kSearchCase clear compares the line
// lower-cased (the pattern is expected lower-cased already); kSearchFuzzy
// folds the line (the pattern folded already), a match that begins or ends
// inside a folded character is passed over; kSearchShortest takes the
// shortest runs, else the longest; kSearchLeftWord / kSearchRightWord test
// the match with IsWordMatch on the unfolded line against delimiters (which
// may be null without them).
//
// Runs end where a backtracking search would put them (the latest occurrence
// of the segment after a run for the longest run, the earliest for the
// shortest, a segment that fails making the runs before it retry), but in
// bounded time: because a later segment only
// loses room when a run before it grows, the latest placement of every
// segment after the first is computed once per line from the right (longest)
// and the earliest is searched monotonically (shortest), so a line costs at
// most a few passes per segment, never an exponential backtracking.
// Candidate starts that fail the word test or the folded mapping go on from
// the next character.
std::optional<WildcardHit> MatchWildcardInLine(WildcardView pattern, std::string_view line, std::size_t start,
                                               std::uint8_t options, const std::uint8_t* delimiters,
                                               WildcardWork* work = nullptr);

}  // namespace gorvane::qorvetc

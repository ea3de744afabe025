// The byte-level search primitives of the support library over Shift-JIS
// lines: Boyer-Moore and simple search forward and backward, ASCII case,
// reversal by characters, the character-start test, the search bits of the
// delimiter table and the whole-word test.
//
// Every search counts a hit only where it begins at a character start (never
// on the second byte of a double-byte character) and ends on a character
// boundary; a byte hit that does not is passed over and the search goes on
// (forward from the next byte, backward from the byte before). Character
// starts follow the editor's rule: a lead byte (0x81-0x9F, 0xE0-0xFC)
// followed, within the text, by a trail byte (0x40-0x7E, 0x80-0xFC) is one
// character, every other byte a character of its own.
//
// Offsets are 0-based byte offsets into the text given; kNoHit means none.
// The functions keep no pointer to their arguments. BmStrSearch and
// BmStrBackSearch keep the skip table of their last pattern between calls
// (one table per direction, for the window thread); every other function here
// holds no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "companions/qorvetc/word_class.h"

namespace gorvane::qorvetc {

inline constexpr std::size_t kNoHit = std::string_view::npos;
// BmStrBackSearch / SimpleStrBackSearch: start at the end of the text.
inline constexpr std::size_t kFromEnd = std::string_view::npos;

// The search options byte, saved with every search string.
inline constexpr std::uint8_t kSearchCase = 0x01;       // distinguish upper and lower case
inline constexpr std::uint8_t kSearchLeftWord = 0x02;   // a hit begins at a word boundary
inline constexpr std::uint8_t kSearchRightWord = 0x04;  // a hit ends at a word boundary
inline constexpr std::uint8_t kSearchFuzzy = 0x08;      // pattern and text compared after FoldText
inline constexpr std::uint8_t kSearchWildcard = 0x10;   // the pattern is a wildcard pattern
inline constexpr std::uint8_t kSearchShortest = 0x20;   // with 0x10: a run takes the shortest run
inline constexpr std::uint8_t kSearchRegex = 0x40;      // a regular expression

// ---- searches ----

// The first hit of pattern in text that begins at or after start, or kNoHit
// (an empty pattern, a pattern longer than the text, start past the end).
// continued: the pattern is the one of the previous call, whose skip table is
// used again; the table is rebuilt anyway when the pattern differs, so a
// wrong flag costs time, never a wrong answer. Horspool's skips over the
// bytes; the character-start test of a hit walks back only over the lead
// bytes before it (or once over the text when that run is long), so a search
// stays linear in the text.
std::size_t BmStrSearch(std::string_view pattern, std::size_t start, std::string_view text, bool continued);
// The last hit of pattern in text that begins at or before start (kFromEnd:
// anywhere), or kNoHit.
std::size_t BmStrBackSearch(std::string_view pattern, std::size_t start, std::string_view text, bool continued);

// The same answers as BmStrSearch and BmStrBackSearch, by trying every
// character start in turn (no table, no state).
std::size_t SimpleStrSearch(std::string_view pattern, std::size_t start, std::string_view text);
std::size_t SimpleStrBackSearch(std::string_view pattern, std::size_t start, std::string_view text);

// ---- strings ----

// ASCII capitals to small letters (and back) in place, character by
// character: neither byte of a double-byte character is touched (the trail
// byte of "ア" is 0x41).
void StrCnvUpperToLower(std::span<char> text);
void StrCnvLowerToUpper(std::span<char> text);

// Reverses text in place character by character; each double-byte character
// keeps its byte order ("aあb" becomes "bあa").
void SwapMultiStr(std::span<char> text);

// 0 when line[at] is the second byte of a double-byte character, else 1
// (at < line.size(); line begins at a character start).
int CheckSiftJisCode(std::string_view line, std::size_t at);

// ---- words ----

// The search bits of the delimiter table (65,536 entries, indexed by a single
// byte or by lead * 256 + trail); the low four bits belong to the editor's
// word moves.
inline constexpr std::uint8_t kHalfWidthDelimiter = 0x10;
inline constexpr std::uint8_t kFullWidthDelimiter = 0x20;
inline constexpr std::size_t kDelimiterTableSize = 65536;
inline constexpr std::size_t kMaxHalfWidthDelimiters = 256;  // bytes of the user's list that count
inline constexpr std::size_t kMaxFullWidthDelimiters = 200;  // double-byte characters that count

// Clears the high four bits of every entry and sets them again from the
// user's lists: halfWidth (up to its first NUL, at most 256 bytes, each byte
// 0x10), the fixed bytes 0x21-0x2F, 0x3A-0x40, 0x5B-0x5E, 0x60, 0x7B-0x7E,
// 0xA1-0xA4 and 0x00-0x20 (0x10), fullWidth (Shift-JIS up to its first NUL:
// its first 200 double-byte characters, 0x20; single bytes in it are passed
// over) and the fixed full-width ranges 0x8140-0x81FF but 0x815B, 0x849F-0x84BF,
// 0x8740-0x8753, 0x875F-0x8775, 0x877E-0x879C, 0xF040-0xF44F and 0xFA55-0xFA57
// (0x20). The low four bits stay.
void BuildSearchDelimiters(std::span<std::uint8_t, kDelimiterTableSize> table, std::string_view halfWidth,
                           std::string_view fullWidth);

// Whether the hit line[hit, hit + length) passes the word-boundary options
// (kSearchLeftWord, kSearchRightWord; other bits are ignored) against the
// delimiter table's high bits. The line may end in CR LF; hit is a character
// start and hit + length a character boundary within the line.
//  - Left edge, tested only when the hit does not start the line: passes when
//    the character before it is a delimiter (0x10 single byte, 0x20 double
//    byte), or the two characters differ in width or in WordClass.
//  - Right edge: passes at the line's end, before CR LF or a delimiter. Else,
//    the hit's last character double-byte: a double-byte character next fails
//    with the same WordClass or after hiragana or katakana when it is the
//    prolonged sound mark 0x815B; a single byte next (the line's last byte
//    too) fails only after hiragana or katakana when it is 0xB0. The last
//    character single-byte: a double-byte character next fails only after
//    half-width katakana when it is 0x815B; a single byte next fails with the
//    same WordClass.
bool IsWordMatch(std::string_view line, std::size_t hit, std::size_t length, std::uint8_t options,
                 const std::uint8_t* delimiters);

}  // namespace gorvane::qorvetc

// The seven case and width conversions of Shift-JIS text, as pure functions
// over one line's text: which runs of characters a conversion changes and
// what each run becomes.
//
// Single-byte and double-byte forms pair as JIS X 0201 against JIS X 0208:
// the space and ASCII punctuation with row-1 symbols (" and ' with ” and ’,
// \ with ＼, ~ with ～), digits and Latin letters with row 3, the kana
// symbols ｡｢｣､･ｰﾞﾟ with 。「」、・ー゛゜ and the katakana with row 5 (hiragana,
// row 4, through their katakana). A character without a counterpart stays.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gorvane::document {

enum class Conversion {
  Upper,           // single-byte and double-byte Latin, Greek and Cyrillic letters to upper case
  Lower,           // the same letters to lower case
  Half,            // everything that has a single-byte form to it (kana to half-width katakana)
  FullHiragana,    // printable single bytes to double-byte form, katakana to hiragana
  FullKatakana,    // printable single bytes to double-byte form, hiragana to katakana
  HalfKanaToFull,  // half-width katakana and kana symbols (0xA1-0xDF) only, to double-byte katakana
  FullKanaToHalf,  // double-byte katakana and 、。・ー「」 only, to single-byte form
};

struct ConvertedRun {
  std::int32_t start = 0;   // 0-based byte index in the text
  std::int32_t length = 0;  // bytes replaced
  std::string replacement;  // Shift-JIS
  friend bool operator==(const ConvertedRun&, const ConvertedRun&) = default;
};

// The maximal runs of whole characters inside bytes [from, to) of a line's
// text (without its line end) that the conversion changes, each replaced as
// one unit, in text order. from and to are clamped to the text and widened to
// character boundaries: a range that starts or ends inside a double-byte
// character covers all of it. A lead byte without a trail byte is a character
// of its own that no conversion changes.
//
// For the conversions to double-byte form a half-width katakana followed by
// "ﾞ" or "ﾟ" becomes one voiced or semi-voiced character when it has one
// (else each of the two converts on its own); for FullKatakana hiragana U
// followed by "゛" becomes katakana VU. Both characters of such a pair must lie
// in the range. The conversions to single-byte form write a voiced or
// semi-voiced kana as two bytes, its letter and "ﾞ" or "ﾟ".
std::vector<ConvertedRun> ConvertRuns(Conversion kind, std::string_view text, std::int32_t from, std::int32_t to);

// The text with the runs (sorted, not overlapping, as ConvertRuns gives them)
// applied.
std::string ApplyRuns(std::string_view text, const std::vector<ConvertedRun>& runs);

// Every letter of the run that Upper or Lower knows in upper (or lower) case;
// never changes the length, leaves other bytes as they are. Undoing and redoing
// a case conversion use it on the run's recorded bytes.
std::string ChangeCase(std::string_view run, bool upper);

}  // namespace gorvane::document

// Fuzzy search's folding of Shift-JIS text: full-width letters, digits and
// the symbols that have a one-byte form become single bytes, hiragana and
// katakana become half-width katakana (voiced and semi-voiced ones the base
// letter and 0xDE or 0xDF), everything else stays; and the mapping of
// positions between a line and its folded form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace gorvane::qorvetc {

// One code per byte of the unfolded text, walked a character at a time: a
// single byte is kFoldSingle; a double-byte character folded to one byte is
// kFoldToOne on both bytes; one folded to two bytes (a voiced or semi-voiced
// kana) is kFoldToOne on its first byte and kFoldExtra on its second; one
// left as it was is kFoldKept on both bytes.
inline constexpr std::uint8_t kFoldSingle = 17;
inline constexpr std::uint8_t kFoldToOne = 33;
inline constexpr std::uint8_t kFoldExtra = 1;
inline constexpr std::uint8_t kFoldKept = 34;

struct FoldResult {
  std::size_t length = 0;  // of the folded text, always a length to use
  bool folded = false;     // some character was folded (the text may be as long as before)
};

// Folds text in place (the folded text is never longer) and, when map is not
// empty (it then holds text.size() codes at least), writes the codes. Only
// characters with lead byte 0x81-0x83 fold: 0x824F-0x8258, 0x8260-0x8279 and
// 0x8281-0x829A to ASCII digits and letters (not lower-cased), hiragana
// 0x829F-0x82F1 and katakana 0x8340-0x8396 to half-width katakana (small
// ones to small ones, ゎ ヮ to ﾜ, ゐ ヰ to ｲ, ゑ ヱ to ｴ, ヵ to ｶ, ヶ to ｹ, ヴ to
// ｳﾞ), and the 43 symbols with a one-byte form ("　" to " ", "ー" to "ｰ", "＊"
// to "*", ...).
FoldResult FoldText(std::span<char> text, std::span<std::uint8_t> map);

// The folded offset of the unfolded offset `position` (a character start of
// the unfolded text, at most map.size(); map is the text's codes).
std::size_t GetSchCaretPos(std::span<const std::uint8_t> map, std::size_t position);

struct UnfoldedRange {
  std::size_t offset = 0, length = 0;
};

// The unfolded bytes of a hit at foldedOffset of foldedLength bytes in the
// folded text, or none when the hit begins or ends inside what one unfolded
// character became (ﾞ of a folded が), or lies past the text.
std::optional<UnfoldedRange> GetSchStrSize(std::span<const std::uint8_t> map, std::size_t foldedOffset,
                                           std::size_t foldedLength);

}  // namespace gorvane::qorvetc

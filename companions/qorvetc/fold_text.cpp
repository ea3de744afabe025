#include "companions/qorvetc/fold_text.h"

#include <array>
#include <utility>

#include "companions/qorvetc/sjis_bytes.h"

namespace gorvane::qorvetc {

namespace {

// The half-width form of a kana: one byte, or the base letter and 0xDE or 0xDF.
struct KanaFold {
  std::uint8_t first, second;
};

// ァ 0x8340 to ヶ 0x8396 without 0x837F; the hiragana ぁ 0x829F to ん 0x82F1
// are the first 83 in the same order (ゎ ゐ ゑ as ヮ ヰ ヱ).
constexpr KanaFold kKana[86] = {
  {0xA7, 0x00}, {0xB1, 0x00}, {0xA8, 0x00}, {0xB2, 0x00}, {0xA9, 0x00}, {0xB3, 0x00}, {0xAA, 0x00}, {0xB4, 0x00},
  {0xAB, 0x00}, {0xB5, 0x00}, {0xB6, 0x00}, {0xB6, 0xDE}, {0xB7, 0x00}, {0xB7, 0xDE}, {0xB8, 0x00}, {0xB8, 0xDE},
  {0xB9, 0x00}, {0xB9, 0xDE}, {0xBA, 0x00}, {0xBA, 0xDE}, {0xBB, 0x00}, {0xBB, 0xDE}, {0xBC, 0x00}, {0xBC, 0xDE},
  {0xBD, 0x00}, {0xBD, 0xDE}, {0xBE, 0x00}, {0xBE, 0xDE}, {0xBF, 0x00}, {0xBF, 0xDE}, {0xC0, 0x00}, {0xC0, 0xDE},
  {0xC1, 0x00}, {0xC1, 0xDE}, {0xAF, 0x00}, {0xC2, 0x00}, {0xC2, 0xDE}, {0xC3, 0x00}, {0xC3, 0xDE}, {0xC4, 0x00},
  {0xC4, 0xDE}, {0xC5, 0x00}, {0xC6, 0x00}, {0xC7, 0x00}, {0xC8, 0x00}, {0xC9, 0x00}, {0xCA, 0x00}, {0xCA, 0xDE},
  {0xCA, 0xDF}, {0xCB, 0x00}, {0xCB, 0xDE}, {0xCB, 0xDF}, {0xCC, 0x00}, {0xCC, 0xDE}, {0xCC, 0xDF}, {0xCD, 0x00},
  {0xCD, 0xDE}, {0xCD, 0xDF}, {0xCE, 0x00}, {0xCE, 0xDE}, {0xCE, 0xDF}, {0xCF, 0x00}, {0xD0, 0x00}, {0xD1, 0x00},
  {0xD2, 0x00}, {0xD3, 0x00}, {0xAC, 0x00}, {0xD4, 0x00}, {0xAD, 0x00}, {0xD5, 0x00}, {0xAE, 0x00}, {0xD6, 0x00},
  {0xD7, 0x00}, {0xD8, 0x00}, {0xD9, 0x00}, {0xDA, 0x00}, {0xDB, 0x00}, {0xDC, 0x00}, {0xDC, 0x00}, {0xB2, 0x00},
  {0xB4, 0x00}, {0xA6, 0x00}, {0xDD, 0x00}, {0xB3, 0xDE}, {0xB6, 0x00}, {0xB9, 0x00},
};

// The one-byte forms of the full-width symbols 0x8140-0x8197 (0: none).
constexpr std::array<std::uint8_t, 0x58> kSymbols = [] {
  std::array<std::uint8_t, 0x58> t{};
  const std::pair<int, int> forms[] = {
      {0x40, 0x20}, {0x41, 0xA4}, {0x42, 0xA1}, {0x43, 0x2C}, {0x44, 0x2E}, {0x45, 0xA5}, {0x46, 0x3A}, {0x47, 0x3B},
      {0x48, 0x3F}, {0x49, 0x21}, {0x4A, 0xDE}, {0x4B, 0xDF}, {0x4F, 0x5E}, {0x51, 0x5F}, {0x5B, 0xB0}, {0x5E, 0x2F},
      {0x60, 0x7E}, {0x62, 0x7C}, {0x65, 0x60}, {0x66, 0x27}, {0x67, 0x22}, {0x68, 0x22}, {0x69, 0x28}, {0x6A, 0x29},
      {0x6D, 0x5B}, {0x6E, 0x5D}, {0x6F, 0x7B}, {0x70, 0x7D}, {0x75, 0xA2}, {0x76, 0xA3}, {0x7B, 0x2B}, {0x7C, 0x2D},
      {0x81, 0x3D}, {0x83, 0x3C}, {0x84, 0x3E}, {0x8B, 0xDF}, {0x8F, 0x5C}, {0x90, 0x24}, {0x93, 0x25}, {0x94, 0x23},
      {0x95, 0x26}, {0x96, 0x2A}, {0x97, 0x40},
  };
  for (auto [trail, form] : forms) t[static_cast<std::size_t>(trail - 0x40)] = static_cast<std::uint8_t>(form);
  return t;
}();

// The folded form of the double-byte character code: {first, second}, second
// 0 for one byte; {0, 0} when it does not fold.
KanaFold Fold(std::uint16_t code) {
  if (code >= 0x824F && code <= 0x8258) return {static_cast<std::uint8_t>(code - 0x824F + '0'), 0};
  if (code >= 0x8260 && code <= 0x8279) return {static_cast<std::uint8_t>(code - 0x8260 + 'A'), 0};
  if (code >= 0x8281 && code <= 0x829A) return {static_cast<std::uint8_t>(code - 0x8281 + 'a'), 0};
  if (code >= 0x829F && code <= 0x82F1) return kKana[code - 0x829F];
  if (code >= 0x8340 && code <= 0x8396 && code != 0x837F) return kKana[code - 0x8340 - (code > 0x837F ? 1 : 0)];
  if (code >= 0x8140 && code < 0x8140 + kSymbols.size()) return {kSymbols[code - 0x8140], 0};
  return {0, 0};
}

// The unfolded and folded bytes of the character whose codes begin at map[at].
struct Step {
  std::size_t unfolded, folded;
};

Step StepAt(std::span<const std::uint8_t> map, std::size_t at) {
  const std::uint8_t c = map[at];
  if ((c != kFoldToOne && c != kFoldKept) || at + 1 >= map.size()) return {1, 1};
  if (c == kFoldKept) return {2, 2};
  return {2, map[at + 1] == kFoldExtra ? std::size_t{2} : std::size_t{1}};
}

}  // namespace

FoldResult FoldText(std::span<char> text, std::span<std::uint8_t> map) {
  const std::string_view view(text.data(), text.size());
  FoldResult r;
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t w = sjis::CharBytes(view, i);
    if (w == 1) {
      if (!map.empty()) map[i] = kFoldSingle;
      text[out++] = text[i++];
      continue;
    }
    const KanaFold f = sjis::At(view, i) <= 0x83 ? Fold(sjis::CharCode(view, i, 2)) : KanaFold{0, 0};
    if (f.first == 0) {
      if (!map.empty()) map[i] = map[i + 1] = kFoldKept;
      text[out++] = text[i];
      text[out++] = text[i + 1];
    } else {
      r.folded = true;
      if (!map.empty()) {
        map[i] = kFoldToOne;
        map[i + 1] = f.second != 0 ? kFoldExtra : kFoldToOne;
      }
      text[out++] = static_cast<char>(f.first);
      if (f.second != 0) text[out++] = static_cast<char>(f.second);
    }
    i += 2;
  }
  r.length = out;
  return r;
}

std::size_t GetSchCaretPos(std::span<const std::uint8_t> map, std::size_t position) {
  std::size_t folded = 0;
  for (std::size_t at = 0; at < map.size();) {
    const Step s = StepAt(map, at);
    if (at + s.unfolded > position) break;
    at += s.unfolded;
    folded += s.folded;
  }
  return folded;
}

std::optional<UnfoldedRange> GetSchStrSize(std::span<const std::uint8_t> map, std::size_t foldedOffset,
                                           std::size_t foldedLength) {
  const std::size_t foldedEnd = foldedOffset + foldedLength;
  if (foldedEnd < foldedOffset) return std::nullopt;
  std::size_t at = 0, folded = 0;
  std::optional<std::size_t> begin;
  for (;;) {
    if (folded == foldedOffset && !begin) begin = at;
    if (begin && folded == foldedEnd) return UnfoldedRange{*begin, at - *begin};
    if (folded > foldedEnd || at >= map.size()) return std::nullopt;  // inside a character, or past the text
    if (!begin && folded > foldedOffset) return std::nullopt;
    const Step s = StepAt(map, at);
    at += s.unfolded;
    folded += s.folded;
  }
}

}  // namespace gorvane::qorvetc

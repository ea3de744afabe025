// The two byte-class tables of the detection scans and the converters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gorvane::charcode {
namespace detail {

struct ClassRange {
  int first, last;
  std::uint16_t word;
};

template <typename T, std::size_t N>
constexpr std::array<T, 256> ExpandClasses(const ClassRange (&ranges)[N]) {
  std::array<T, 256> table{};
  for (const ClassRange& r : ranges)
    for (int b = r.first; b <= r.last; ++b) table[static_cast<std::size_t>(b)] = static_cast<T>(r.word);
  return table;
}

// Shift-JIS: 0x0001 lead, 0x0002 trail, 0x0004 control, 0x0400 printable
// single byte, 0x2000 half-width katakana (the other bits are character
// classes used by the search code).
inline constexpr ClassRange kSjisRanges[] = {
    {0x00, 0x08, 0x0004}, {0x09, 0x09, 0x0404}, {0x0A, 0x1F, 0x0004}, {0x20, 0x21, 0x0400},
    {0x22, 0x23, 0x4400}, {0x24, 0x24, 0x0400}, {0x25, 0x25, 0x4400}, {0x26, 0x2B, 0x0400},
    {0x2C, 0x2F, 0x0480}, {0x30, 0x39, 0x07C0}, {0x3A, 0x3B, 0x0480}, {0x3C, 0x3C, 0x4400},
    {0x3D, 0x3D, 0x0400}, {0x3E, 0x3E, 0x4400}, {0x3F, 0x3F, 0x0400}, {0x40, 0x40, 0x0482},
    {0x41, 0x5A, 0x06C2}, {0x5B, 0x5E, 0x4482}, {0x5F, 0x5F, 0x0402}, {0x60, 0x60, 0x4402},
    {0x61, 0x7A, 0x0602}, {0x7B, 0x7E, 0x4402}, {0x7F, 0x7F, 0x0000}, {0x80, 0x80, 0x0002},
    {0x81, 0x9F, 0x0003}, {0xA0, 0xA0, 0x0002}, {0xA1, 0xDF, 0x2402}, {0xE0, 0xFC, 0x0003},
    {0xFD, 0xFF, 0x0000},
};

// EUC-JP: 0x01 lead, 0x02 trail, 0x04 single-shift 2 (0x8E), 0x08
// single-shift 3 (0x8F), 0x40 never in EUC-JP text (0x90-0x9F).
inline constexpr ClassRange kEucRanges[] = {
    {0x00, 0x8D, 0x00}, {0x8E, 0x8E, 0x04}, {0x8F, 0x8F, 0x08}, {0x90, 0x9F, 0x40}, {0xA0, 0xA0, 0x00},
    {0xA1, 0xDF, 0x83}, {0xE0, 0xEF, 0x03}, {0xF0, 0xFE, 0x83}, {0xFF, 0xFF, 0x00},
};

}  // namespace detail

inline constexpr std::array<std::uint16_t, 256> kSjisClass = detail::ExpandClasses<std::uint16_t>(detail::kSjisRanges);
inline constexpr std::array<std::uint8_t, 256> kEucClass = detail::ExpandClasses<std::uint8_t>(detail::kEucRanges);

inline constexpr std::uint16_t kSjisLead = 0x0001, kSjisTrail = 0x0002, kSjisControl = 0x0004,
                               kSjisPrintable = 0x0400, kSjisKana = 0x2000;
// The bytes the Shift-JIS character at text[at] takes (at < limit <=
// text.size()): 2 for a lead byte followed, before limit, by a trail byte;
// else 1. Painting, caret columns and the status bar step by this one rule.
constexpr std::size_t SjisCharBytes(std::string_view text, std::size_t at, std::size_t limit) {
  return (kSjisClass[static_cast<std::uint8_t>(text[at])] & kSjisLead) && at + 1 < limit &&
                 (kSjisClass[static_cast<std::uint8_t>(text[at + 1])] & kSjisTrail)
             ? 2
             : 1;
}

inline constexpr std::uint8_t kEucLead = 0x01, kEucTrail = 0x02, kEucSs2 = 0x04, kEucSs3 = 0x08, kEucNever = 0x40;

}  // namespace gorvane::charcode

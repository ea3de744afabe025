// Code page 932 tables (generated data, see scripts/gen_cp932.py) and the
// small inline look-ups over them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace gorvane::charcode::cp932 {

extern const std::uint16_t kSingle[256];
extern const std::uint16_t kDouble[60 * 192];
extern const std::uint8_t kEncodeIndex[256];
extern const std::uint16_t kEncodePages[][256];
extern const std::uint16_t kIbmToNec[3 * 192];

// Lead bytes 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// Trail bytes 0x40-0x7E and 0x80-0xFC.
constexpr bool IsTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
constexpr int LeadIndex(std::uint8_t lead) { return lead < 0xA0 ? lead - 0x81 : lead - 0xE0 + 31; }

// Start of each lead byte's row in kDouble (0 for other bytes).
inline constexpr std::array<std::uint16_t, 256> kDoubleRow = [] {
  std::array<std::uint16_t, 256> rows{};
  for (int b = 0; b < 256; ++b) {
    const auto lead = static_cast<std::uint8_t>(b);
    if (IsLead(lead)) rows[lead] = static_cast<std::uint16_t>(LeadIndex(lead) * 192);
  }
  return rows;
}();

// Index in kDouble of a lead/trail pair (both must be valid).
inline std::size_t PairIndex(std::uint8_t lead, std::uint8_t trail) { return kDoubleRow[lead] + (trail - 0x40u); }

// Unicode of a lead/trail pair (both must be valid); 0 when the code is undefined.
inline std::uint16_t DecodePair(std::uint8_t lead, std::uint8_t trail) { return kDouble[PairIndex(lead, trail)]; }

// Code of a UTF-16 unit: below 0x100 a single byte, else lead << 8 | trail;
// 0 when not encodable (U+0000 itself encodes as 0: test the unit first).
inline std::uint16_t Encode(std::uint16_t unit) {
  return kEncodePages[kEncodeIndex[unit >> 8]][unit & 0xFF];
}

// NEC code (JIS X 0208, NEC row 13 or NEC-selected) for an IBM extension code.
inline std::uint16_t IbmToNec(std::uint8_t lead, std::uint8_t trail) {
  return kIbmToNec[(lead - 0xFA) * 192 + (trail - 0x40)];
}

}  // namespace gorvane::charcode::cp932

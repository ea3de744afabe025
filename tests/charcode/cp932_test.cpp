// Properties of the code page 932 tables that Windows' conversions have.
#include <gtest/gtest.h>

#include "charcode/cp932_tables.h"

namespace cp = gorvane::charcode::cp932;

namespace {

TEST(Cp932, StraySingleBytesDecodeToWindowsValues) {
  EXPECT_EQ(cp::kSingle[0x80], 0x0080);
  EXPECT_EQ(cp::kSingle[0xA0], 0xF8F0);
  EXPECT_EQ(cp::kSingle[0xFD], 0xF8F1);
  EXPECT_EQ(cp::kSingle[0xFE], 0xF8F2);
  EXPECT_EQ(cp::kSingle[0xFF], 0xF8F3);
  EXPECT_EQ(cp::kSingle[0x5C], 0x005C);
  EXPECT_EQ(cp::kSingle[0xA1], 0xFF61);
  EXPECT_EQ(cp::kSingle[0xDF], 0xFF9F);
}

TEST(Cp932, SharedCharactersEncodeToPreferredCode) {
  struct {
    std::uint16_t unit, code;
  } cases[] = {
      {0x2252, 0x81E0},  // JIS X 0208 row 2 before NEC row 13
      {0x2160, 0x8754},  // NEC row 13 before the IBM extension
      {0xFFE2, 0x81CA},  // JIS X 0208 before NEC-selected and IBM
      {0x2170, 0xFA40},  // IBM extension before NEC-selected
      {0x7E8A, 0xFA5C},
      {0x9ED1, 0xFC4B},
      {0x0080, 0x0080},
      {0xF8F0, 0x00A0},
      {0xE000, 0xF040},  // user-defined area
      {0xE757, 0xF9FC},
      {0xFF5E, 0x8160},
  };
  for (const auto& c : cases) EXPECT_EQ(cp::Encode(c.unit), c.code) << std::hex << c.unit;
}

TEST(Cp932, CharactersWithoutCodeAreNotEncodable) {
  for (std::uint16_t u : {0x301C, 0x2212, 0x2016, 0x00A2, 0x00A3, 0x00AC, 0x00A5, 0x00A6, 0x203E, 0xFFFD, 0xD800})
    EXPECT_EQ(cp::Encode(u), 0) << std::hex << u;
}

// Encoding is the inverse of decoding wherever a character has one code.
TEST(Cp932, EveryDecodedCharacterEncodesToACodeOfItself) {
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!cp::IsLead(static_cast<std::uint8_t>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!cp::IsTrail(static_cast<std::uint8_t>(trail))) continue;
      const std::uint16_t u = cp::DecodePair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
      if (u == 0) continue;
      const std::uint16_t code = cp::Encode(u);
      ASSERT_NE(code, 0) << std::hex << lead << trail;
      ASSERT_EQ(cp::DecodePair(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)), u);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 9604);  // the defined double-byte codes of code page 932
}

TEST(Cp932, IbmExtensionHasNecEquivalents) {
  for (int lead = 0xFA; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const auto l = static_cast<std::uint8_t>(lead), t = static_cast<std::uint8_t>(trail);
      if (!cp::IsTrail(t) || cp::DecodePair(l, t) == 0) continue;
      const std::uint16_t nec = cp::IbmToNec(l, t);
      ASSERT_NE(nec, 0);
      ASSERT_LT(nec >> 8, 0xF0);
      EXPECT_EQ(cp::DecodePair(static_cast<std::uint8_t>(nec >> 8), static_cast<std::uint8_t>(nec)), cp::DecodePair(l, t));
    }
  }
}

}  // namespace

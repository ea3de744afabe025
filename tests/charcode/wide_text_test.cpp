#include "charcode/wide_text.h"

#include <gtest/gtest.h>

namespace cc = gorvane::charcode;

// 表 (95 5C: a 5C second byte), ｱ (B1), あ (82 A0), ① (87 40, NEC row 13).
TEST(WideText, BothWaysThroughOurTables) {
  bool exact = false;
  const std::u16string w = cc::SjisToWide(std::string_view("a\x95\x5c\xb1\x82\xa0\x87\x40"), &exact);
  EXPECT_TRUE(exact);
  EXPECT_EQ(w, u"a\u8868\uff71\u3042\u2460");
  EXPECT_EQ(cc::WideToSjis(std::u16string_view(w)), "a\x95\x5c\xb1\x82\xa0\x87\x40");

  // A lone lead byte at the end, and a character without a Shift-JIS code.
  cc::SjisToWide(std::string_view("ab\x82"), &exact);
  EXPECT_FALSE(exact);
  std::size_t replaced = 0;
  EXPECT_EQ(cc::WideToSjis(std::u16string_view(u"x\u301cy"), &replaced), "x?y");
  EXPECT_EQ(replaced, 1u);
  EXPECT_EQ(cc::SjisToWide(std::string_view("")), u"");
}

#include <gtest/gtest.h>

#include "charcode/charcode.h"
#include "test_util.h"

namespace cc = gorvane::charcode;
using gvtest::B;
using gvtest::ByteVec;
using gvtest::S;

namespace {

struct Case {
  const char* name;
  ByteVec data;
  int code;
  ByteVec crlf;  // all six bytes
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class JudgmentCodeTest : public ::testing::TestWithParam<Case> {};

TEST_P(JudgmentCodeTest, ClassifiesSampleAndLineEnd) {
  const Case& c = GetParam();
  std::uint8_t crlf[6];
  std::fill(std::begin(crlf), std::end(crlf), 0xCC);
  EXPECT_EQ(cc::JudgmentCode(c.data.data(), static_cast<int>(c.data.size()), crlf), c.code);
  EXPECT_EQ(gvtest::Hex(crlf, 6), gvtest::Hex(c.crlf));
}

const ByteVec kCrLf = B({0x0D, 0x0A, 0, 0, 0, 0});
const ByteVec kCr = B({0x0D, 0, 0, 0, 0, 0});
const ByteVec kLf = B({0x0A, 0, 0, 0, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    Samples, JudgmentCodeTest,
    ::testing::Values(
        Case{"empty", {}, 0, kCrLf},
        Case{"utf8_mark_alone", B({0xEF, 0xBB, 0xBF}), -4, kCrLf},
        Case{"utf8_mark_lf", B({0xEF, 0xBB, 0xBF, 0x61, 0x0A}), -4, kLf},
        Case{"utf8_mark_cr_last", B({0xEF, 0xBB, 0xBF, 0x61, 0x0D}), -4, kCr},
        Case{"utf8_mark_invalid_rest", B({0xEF, 0xBB, 0xBF, 0xFF, 0x0D, 0x0A}), -4, kCrLf},
        Case{"utf16le_mark", B({0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00}), -6, B({0x0D, 0, 0x0A, 0, 0, 0})},
        Case{"utf16be_mark_alone", B({0xFE, 0xFF}), -5, B({0, 0x0D, 0, 0x0A, 0, 0})},
        Case{"utf16be_mark_lf", B({0xFE, 0xFF, 0, 0x61, 0, 0x0A}), -5, B({0, 0x0A, 0, 0, 0, 0})},
        Case{"utf16le_mark_cr_last_unit", B({0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00}), -6, B({0x0D, 0, 0, 0, 0, 0})},
        Case{"utf16le_by_score", B({0x61, 0, 0x62, 0}), 6, B({0x0D, 0, 0x0A, 0, 0, 0})},
        Case{"utf16be_by_score", B({0, 0x61, 0, 0x62}), 5, B({0, 0x0D, 0, 0x0A, 0, 0})},
        Case{"score_zero_goes_on", B({0x61, 0, 0, 0x62}), 1, kCrLf},
        Case{"odd_length_never_utf16", B({0x61, 0, 0x62, 0, 0x63}), 1, kCrLf},
        Case{"ascii_crlf", S("abc\r\ndef"), 1, kCrLf},
        Case{"ascii_lf", S("abc\ndef"), 4, kLf},
        Case{"ascii_cr", S("abc\rdef"), 4, kCr},
        Case{"ascii_cr_last", S("abc\r"), 1, kCr},
        Case{"ascii_alone", S("abc"), 1, kCrLf},
        Case{"ascii_with_del", S("a\x7f" "b\r\nc"), 1, kCrLf},
        Case{"utf8_direct", B({0xE3, 0x81, 0x82, 0x0D, 0x0A}), 4, kCrLf},
        Case{"utf8_by_tie", B({0xE3, 0x81, 0x82, 0xE3, 0x81, 0x84, 0x0A}), 4, kLf},
        Case{"euc_lf", B({0xA4, 0xA2, 0x0A}), 2, kLf},
        Case{"euc_crlf_undetermined", B({0xA4, 0xA2, 0x0D, 0x0A}), 0, kCrLf},
        Case{"sjis_crlf", B({0x82, 0xA0, 0x0D, 0x0A}), 1, kCrLf},
        Case{"sjis_lead_at_end_of_short_sample", B({0x82, 0xA0, 0x82}), 0, kCrLf},
        // JIS X 0212 in EUC-JP is three bytes: 8F B0 A1 then A4 A2 is valid EUC.
        Case{"euc_jisx0212_three_bytes", B({0x8F, 0xB0, 0xA1, 0xA4, 0xA2, 0x0A}), 2, kLf},
        // 8F followed by only one trail byte is not EUC-JP (but is Shift-JIS).
        Case{"euc_ss3_short", B({0x8F, 0xB0, 0x0A}), 1, kLf},
        Case{"euc_never_byte", B({0x90, 0xA1, 0x0A}), 1, kLf},
        Case{"nothing_valid", B({0xFF, 0xFE - 1, 0x0A}), 0, kLf}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(JudgmentCode, NegativeCountIsEmptyAndCrlfIsZeroFilled) {
  std::uint8_t data[] = {'a'};
  std::uint8_t crlf[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(cc::JudgmentCode(data, -5, crlf), 0);
  EXPECT_EQ(gvtest::Hex(crlf, 6), "0d 0a 00 00 00 00");
}

// A full 262144-byte sample is cut off by the sample size, which relaxes the
// end-of-data tests; a shorter one is not.
TEST(JudgmentCode, FullSampleEndIsRelaxed) {
  std::uint8_t crlf[6];
  ByteVec sjis(cc::kSampleSize, 'a');
  for (std::size_t i = 0; i + 1 < 1000; i += 2) sjis[i] = 0x82, sjis[i + 1] = 0xA0;
  sjis[100000] = '\r', sjis[100001] = '\n';
  sjis.back() = 0x82;  // a lead byte whose trail byte lies beyond the sample
  EXPECT_EQ(cc::JudgmentCode(sjis.data(), static_cast<int>(sjis.size()), crlf), 1);
  const ByteVec shorter(sjis.begin() + 1, sjis.end());
  EXPECT_NE(cc::JudgmentCode(shorter.data(), static_cast<int>(shorter.size()), crlf), 1);

  ByteVec euc(cc::kSampleSize, 'a');
  euc[0] = 0xA4, euc[1] = 0xA2, euc[2] = 0x0A;
  euc.back() = 0xA4;
  EXPECT_EQ(cc::JudgmentCode(euc.data(), static_cast<int>(euc.size()), crlf), 2);
  euc[euc.size() - 2] = 0x8F, euc.back() = 0xB0;  // a JIS X 0212 character cut after two bytes
  EXPECT_EQ(cc::JudgmentCode(euc.data(), static_cast<int>(euc.size()), crlf), 2);

  // UTF-8: no character is judged to start in the last three bytes.
  ByteVec utf8(cc::kSampleSize, 'a');
  utf8[0] = 0xE3, utf8[1] = 0x81, utf8[2] = 0x82;
  utf8[cc::kSampleSize - 2] = 0xFF;
  EXPECT_EQ(cc::JudgmentCode(utf8.data(), static_cast<int>(utf8.size()), crlf), 4);
}

TEST(CheckStrCode, EndsInBareLf) {
  struct {
    const char* s;
    int len, want;
  } cases[] = {{"", 0, 0}, {"a", -1, 0}, {"\n", 1, 1}, {"a\n", 2, 1}, {"a\r\n", 3, -1}, {"abc", 3, -1}, {"\r", 1, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(cc::CheckStrCode(reinterpret_cast<const std::uint8_t*>(c.s), c.len), c.want) << c.s;
}

TEST(SetCrlfChar, EveryCodeAndKind) {
  struct {
    int code, kind;
    const char* hex;
  } cases[] = {
      {1, 0, "0d 0a 00 00 00 00"}, {1, 1, "0d 0a 00 00 00 00"}, {2, 2, "0d 00 00 00 00 00"},
      {4, 3, "0a 00 00 00 00 00"}, {5, 0, "00 0d 00 0a 00 00"}, {5, 2, "00 0d 00 00 00 00"},
      {5, 3, "00 0a 00 00 00 00"}, {6, 1, "0d 00 0a 00 00 00"}, {6, 2, "0d 00 00 00 00 00"},
      {6, 3, "0a 00 00 00 00 00"}, {0, 9, "0d 0a 00 00 00 00"},
  };
  for (const auto& c : cases) {
    std::uint8_t out[6] = {7, 7, 7, 7, 7, 7};
    cc::SetCrlfChar(c.code, c.kind, out);
    EXPECT_EQ(gvtest::Hex(out, 6), c.hex) << c.code << "/" << c.kind;
  }
}

}  // namespace

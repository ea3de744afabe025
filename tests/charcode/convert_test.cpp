// Line conversions in both directions, through the library's exported argument
// lists and result convention (bytes written, negated on replacement, 0 when
// nothing was converted or it did not fit).
#include <gtest/gtest.h>

#include <functional>

#include "charcode/charcode.h"
#include "charcode/library_api.h"
#include "test_util.h"

namespace cc = gorvane::charcode;
namespace api = gorvane::charcode::api;
using gvtest::B;
using gvtest::ByteVec;
using gvtest::S;

namespace {

using Fn = std::function<int(const ByteVec& in, std::uint8_t* dst, int cap)>;

const std::uint8_t kCrLf[6] = {0x0D, 0x0A, 0, 0, 0, 0};
const std::uint8_t kLf[6] = {0x0A, 0, 0, 0, 0, 0};
const std::uint8_t kLeCrLf[6] = {0x0D, 0, 0x0A, 0, 0, 0};
const std::uint8_t kBeCrLf[6] = {0, 0x0D, 0, 0x0A, 0, 0};
const std::uint8_t kBeLf[6] = {0, 0x0A, 0, 0, 0, 0};

int Len(const ByteVec& v) { return static_cast<int>(v.size()); }

const Fn kEucToSjis = [](const ByteVec& in, std::uint8_t* d, int) { return api::EUC2ShiftJis(in.data(), Len(in), d, cc::kEucClass.data()); };
const Fn kUtf8ToSjis = [](const ByteVec& in, std::uint8_t* d, int cap) { return api::UTF8toSJis(d, cap, in.data(), Len(in)); };
const Fn kUtf16LeToSjis = [](const ByteVec& in, std::uint8_t* d, int cap) { return api::UTF16LEtoSJis(d, cap, in.data(), Len(in)); };
const Fn kUtf16BeToSjis = [](const ByteVec& in, std::uint8_t* d, int cap) { return api::UTF16BEtoSJis(d, cap, in.data(), Len(in)); };
const Fn kUtf7ToSjis = [](const ByteVec& in, std::uint8_t* d, int cap) { return api::UTF7toSJis(d, cap, in.data(), Len(in)); };
Fn SjisToEuc(const std::uint8_t* crlf) { return [crlf](const ByteVec& in, std::uint8_t* d, int) { return api::ShiftJis2EUC(in.data(), Len(in), d, crlf); }; }
Fn SjisToSjis(const std::uint8_t* crlf) { return [crlf](const ByteVec& in, std::uint8_t* d, int) { return api::ShiftJis2ShiftJis(in.data(), Len(in), d, crlf); }; }
Fn SjisToUtf8(const std::uint8_t* crlf) { return [crlf](const ByteVec& in, std::uint8_t* d, int cap) { return api::SJistoUTF8(d, cap, in.data(), Len(in), crlf); }; }
Fn SjisToUtf16Le(const std::uint8_t* crlf) { return [crlf](const ByteVec& in, std::uint8_t* d, int cap) { return api::SJistoUTF16LE(d, cap, in.data(), Len(in), crlf); }; }
Fn SjisToUtf16Be(const std::uint8_t* crlf) { return [crlf](const ByteVec& in, std::uint8_t* d, int cap) { return api::SJistoUTF16BE(d, cap, in.data(), Len(in), crlf); }; }
const Fn kSjisToUtf7 = [](const ByteVec& in, std::uint8_t* d, int cap) { return api::SJistoUTF7(d, cap, in.data(), Len(in)); };

struct Case {
  const char* name;
  Fn fn;
  ByteVec in;
  ByteVec out;     // expected bytes
  bool lossy;      // result negated
  int cap = 4096;  // capacity handed over
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ConvertTest : public ::testing::TestWithParam<Case> {};

TEST_P(ConvertTest, Converts) {
  const Case& c = GetParam();
  ByteVec dst(8192, 0xEE);
  const int r = c.fn(c.in, dst.data(), c.cap);
  const int n = static_cast<int>(c.out.size());
  EXPECT_EQ(r, c.lossy ? -n : n);
  EXPECT_EQ(gvtest::Hex(dst.data(), c.out.size()), gvtest::Hex(c.out));
  // Nothing is written past what the result counts, beyond the capacity.
  const std::size_t limit = static_cast<std::size_t>(std::min(c.cap, 8192));
  for (std::size_t i = std::max<std::size_t>(static_cast<std::size_t>(r < 0 ? -r : r), limit); i < dst.size(); ++i)
    ASSERT_EQ(dst[i], 0xEE) << "written at " << i;
}

INSTANTIATE_TEST_SUITE_P(
    IntoShiftJis, ConvertTest,
    ::testing::Values(
        Case{"euc_kana_rows", kEucToSjis, B({0xA4, 0xA2, 0xA4, 0xA4, 0x61}), B({0x82, 0xA0, 0x82, 0xA2, 0x61}), false},
        Case{"euc_first_and_last_rows", kEucToSjis, B({0xA1, 0xA1, 0xDF, 0xA1, 0xFE, 0xFE}), B({0x81, 0x40, 0xE0, 0x40, 0xEF, 0xFC}), false},
        Case{"euc_nec_row13", kEucToSjis, B({0xAD, 0xA1}), B({0x87, 0x40}), false},
        Case{"euc_halfwidth_kana", kEucToSjis, B({0x8E, 0xB1}), B({0xB1}), false},
        Case{"euc_ss2_bad_follower", kEucToSjis, B({0x8E, 0xE0, 0xA1}), B({0x3F, 0xE0, 0x9F}), true},
        Case{"euc_jisx0212_one_question_mark", kEucToSjis, B({0x8F, 0xA1, 0xA1, 0xA4, 0xA2}), B({0x3F, 0x82, 0xA0}), true},
        Case{"euc_stray_lead", kEucToSjis, B({0xA4, 0x41}), B({0x3F, 0x41}), true},
        Case{"euc_never_byte", kEucToSjis, B({0x90, 0x41}), B({0x3F, 0x41}), true},
        Case{"euc_line_end_normalised", kEucToSjis, S("a\n"), S("a\r\n"), false},
        Case{"euc_lone_cr", kEucToSjis, S("\r"), S("\r\n"), false},
        Case{"utf8_hiragana", kUtf8ToSjis, B({0xE3, 0x81, 0x82, 0x61}), B({0x82, 0xA0, 0x61}), false},
        Case{"utf8_wave_dash_not_encodable", kUtf8ToSjis, B({0xE3, 0x80, 0x9C}), B({0x3F}), true},
        Case{"utf8_fullwidth_tilde", kUtf8ToSjis, B({0xEF, 0xBD, 0x9E}), B({0x81, 0x60}), false},
        Case{"utf8_yen_not_encodable", kUtf8ToSjis, B({0xC2, 0xA5}), B({0x3F}), true},
        Case{"utf8_private_use", kUtf8ToSjis, B({0xEE, 0x80, 0x80}), B({0xF0, 0x40}), false},
        Case{"utf8_beyond_bmp_one_mark", kUtf8ToSjis, B({0xF0, 0x9F, 0x98, 0x80, 0x61}), B({0x3F, 0x61}), true},
        Case{"utf8_overlong", kUtf8ToSjis, B({0xC0, 0xAF, 0x61}), B({0x3F, 0x3F, 0x61}), true},
        Case{"utf8_surrogate", kUtf8ToSjis, B({0xED, 0xA0, 0x80}), B({0x3F, 0x3F, 0x3F}), true},
        Case{"utf8_truncated_at_end", kUtf8ToSjis, B({0x61, 0xE3, 0x81}), B({0x61, 0x3F}), true},
        Case{"utf8_does_not_fit", kUtf8ToSjis, B({0xE3, 0x81, 0x82}), {}, false, 1},
        Case{"utf16le_text", kUtf16LeToSjis, B({0x42, 0x30, 0x61, 0x00}), B({0x82, 0xA0, 0x61}), false},
        Case{"utf16le_lone_surrogate", kUtf16LeToSjis, B({0x00, 0xD8, 0x61, 0x00}), B({0x3F, 0x61}), true},
        Case{"utf16le_pair_one_mark", kUtf16LeToSjis, B({0x3D, 0xD8, 0x00, 0xDE}), B({0x3F}), true},
        Case{"utf16le_stray_single_bytes", kUtf16LeToSjis, B({0x80, 0x00, 0xF0, 0xF8, 0xF3, 0xF8}), B({0x80, 0xA0, 0xFF}), false},
        Case{"utf16be_text", kUtf16BeToSjis, B({0x30, 0x42, 0xFF, 0x71}), B({0x82, 0xA0, 0xB1}), false},
        Case{"utf16be_odd_byte", kUtf16BeToSjis, B({0x00, 0x61, 0x00}), B({0x61, 0x3F}), true},
        Case{"utf7_text", kUtf7ToSjis, S("Hi +MEIwRA-!+-"), B({'H', 'i', ' ', 0x82, 0xA0, 0x82, 0xA2, '!', '+'}), false}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FromShiftJis, ConvertTest,
    ::testing::Values(
        Case{"euc_kana_with_crlf", SjisToEuc(kLf), B({0x82, 0xA0, 0x0D, 0x0A}), B({0xA4, 0xA2, 0x0A}), false},
        Case{"euc_halfwidth_kana", SjisToEuc(nullptr), B({0xB1}), B({0x8E, 0xB1}), false},
        Case{"euc_last_jis_row", SjisToEuc(nullptr), B({0xEF, 0xFC}), B({0xFE, 0xFE}), false},
        Case{"euc_nec_selected_row", SjisToEuc(nullptr), B({0xED, 0x40}), B({0xF9, 0xA1}), false},
        // IBM extension: the same character's NEC code before the arithmetic.
        Case{"euc_ibm_kanji", SjisToEuc(nullptr), B({0xFA, 0x5C}), B({0xF9, 0xA1}), false},
        Case{"euc_ibm_roman_numeral", SjisToEuc(nullptr), B({0xFA, 0x4A}), B({0xAD, 0xB5}), false},
        Case{"euc_ibm_not_sign", SjisToEuc(nullptr), B({0xFA, 0x54}), B({0xA2, 0xCC}), false},
        Case{"euc_user_defined", SjisToEuc(nullptr), B({0xF0, 0x40, 0x61}), B({0x3F, 0x61}), true},
        Case{"euc_stray_single_bytes", SjisToEuc(nullptr), B({0x80, 0xA0, 0xFD}), B({0x3F, 0x3F, 0x3F}), true},
        Case{"euc_lead_without_trail", SjisToEuc(nullptr), B({0x82, 0x0D, 0x0A}), B({0x3F, 0x0D, 0x0A}), true},
        Case{"euc_only_line_end", SjisToEuc(kCrLf), S("\r\n"), S("\r\n"), false},
        Case{"sjis_line_end_replaced", SjisToSjis(kLf), S("ab\r\n"), S("ab\n"), false},
        Case{"sjis_lf_replaced", SjisToSjis(kCrLf), S("ab\n"), S("ab\r\n"), false},
        Case{"sjis_one_byte_lf_kept", SjisToSjis(kCrLf), S("\n"), S("\n"), false},
        Case{"sjis_no_line_end", SjisToSjis(kCrLf), S("ab"), S("ab"), false},
        Case{"utf8_with_crlf", SjisToUtf8(kLf), B({0x82, 0xA0, 0x0D, 0x0A}), B({0xE3, 0x81, 0x82, 0x0A}), false},
        Case{"utf8_without_crlf_arg", SjisToUtf8(nullptr), B({0x61, 0x0D, 0x0A}), B({0x61, 0x0D, 0x0A}), false},
        Case{"utf8_only_line_end", SjisToUtf8(kCrLf), S("\r\n"), S("\r\n"), false},
        Case{"utf8_stray_singles", SjisToUtf8(nullptr), B({0x80, 0xA0}), B({0xC2, 0x80, 0xEF, 0xA3, 0xB0}), false},
        Case{"utf8_undefined_code", SjisToUtf8(nullptr), B({0x85, 0x40, 0x61}), B({0x3F, 0x61}), true},
        Case{"utf8_lead_keeps_next_byte", SjisToUtf8(kCrLf), B({0x61, 0x82, 0x0D, 0x0A}), B({0x61, 0x3F, 0x0D, 0x0A}), true},
        Case{"utf8_lead_at_end", SjisToUtf8(nullptr), B({0x61, 0x82}), B({0x61, 0x3F}), true},
        Case{"utf8_does_not_fit", SjisToUtf8(nullptr), B({0x82, 0xA0}), {}, false, 2},
        Case{"utf16le_text", SjisToUtf16Le(kLeCrLf), B({0x82, 0xA0, 0x0D, 0x0A}), B({0x42, 0x30, 0x0D, 0x00, 0x0A, 0x00}), false},
        Case{"utf16be_only_line_end", SjisToUtf16Be(kBeCrLf), S("\r\n"), B({0, 0x0D, 0, 0x0A}), false},
        Case{"utf16be_lf", SjisToUtf16Be(kBeLf), B({0xB1, 0x0D, 0x0A}), B({0xFF, 0x71, 0x00, 0x0A}), false},
        Case{"utf7_text", kSjisToUtf7, B({'H', 'i', ' ', 0x82, 0xA0, '+', '!'}), S("Hi +MEIAKwAh-"), false}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// Every code that decodes converts to UTF-8 and UTF-16 and back unchanged
// (the preferred code of a character shared by several codes aside).
TEST(ConvertRoundTrip, EveryShiftJisCharacterThroughUtf8AndUtf16) {
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0x40; trail < 0x100; ++trail) {
      ByteVec in = cc::kSjisClass[lead] & cc::kSjisLead ? B({lead, trail}) : B({lead});
      if (in.size() == 1 && trail > 0x40) break;
      std::uint8_t mid[16], back[16];
      const int m = api::SJistoUTF8(mid, 16, in.data(), Len(in), nullptr);
      if (m <= 0) continue;  // undefined codes are covered above
      const int r = api::UTF8toSJis(back, 16, mid, m);
      ASSERT_GT(r, 0) << gvtest::Hex(in);
      std::uint8_t mid16[16], back16[16];
      const int m16 = api::SJistoUTF16BE(mid16, 16, in.data(), Len(in), nullptr);
      ASSERT_GT(m16, 0);
      ASSERT_EQ(api::UTF16BEtoSJis(back16, 16, mid16, m16), r);
      ASSERT_EQ(gvtest::Hex(back, static_cast<std::size_t>(r)), gvtest::Hex(back16, static_cast<std::size_t>(r)));
      // Round trips either exactly or to the preferred code of the same character.
      std::uint8_t again[16];
      ASSERT_EQ(api::SJistoUTF8(again, 16, back, r, nullptr), m);
      ASSERT_EQ(gvtest::Hex(again, static_cast<std::size_t>(m)), gvtest::Hex(mid, static_cast<std::size_t>(m)));
    }
  }
}

TEST(ConvertRoundTrip, EveryEucCharacterThroughShiftJis) {
  for (int lead = 0xA1; lead <= 0xFE; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const ByteVec in = B({lead, trail});
      std::uint8_t sjis[4], euc[8];
      ASSERT_EQ(api::EUC2ShiftJis(in.data(), 2, sjis, cc::kEucClass.data()), 2);
      ASSERT_EQ(api::ShiftJis2EUC(sjis, 2, euc, nullptr), 2) << gvtest::Hex(in);
      ASSERT_EQ(gvtest::Hex(euc, 2), gvtest::Hex(in));
    }
  }
}

}  // namespace

// Line conversions in both directions, through the library's exported argument
// lists and result convention (bytes written, negated on replacement, 0 when
// nothing was converted or it did not fit).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>
#include <vector>

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
// A class table under which 0x8E is a lead byte as well as single shift 2.
constexpr std::array<std::uint8_t, 256> kSs2LeadClass = [] {
  std::array<std::uint8_t, 256> t = cc::kEucClass;
  t[0x8E] |= cc::kEucLead;
  return t;
}();
const Fn kEucSs2LeadToSjis = [](const ByteVec& in, std::uint8_t* d, int) { return api::EUC2ShiftJis(in.data(), Len(in), d, kSs2LeadClass.data()); };
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
        Case{"euc_single_shift_2_before_lead", kEucSs2LeadToSjis, B({0x8E, 0xB1, 0xA4, 0xA2, 0x8E, 0xB2}), B({0xB1, 0x82, 0xA0, 0xB2}), false},
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


// ---- many lines at once, and outputs too short for everything --------------------

// A from-Shift-JIS form: its line converter and its converter of working text.
struct FromSjisForm {
  const char* name;
  int code;
  std::function<cc::Converted(cc::Bytes, cc::MutBytes, const std::uint8_t*)> line;
  std::function<cc::TextConverted(cc::Bytes, cc::MutBytes, const std::uint8_t*)> text;
};

const FromSjisForm kFromSjisForms[] = {
    {"utf8", cc::kCodeUtf8, cc::SjisToUtf8, cc::SjisTextToUtf8},
    {"utf16le", cc::kCodeUtf16LE, [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* c) { return cc::SjisToUtf16(s, d, false, c); },
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* c) { return cc::SjisTextToUtf16(s, d, false, c); }},
    {"utf16be", cc::kCodeUtf16BE, [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* c) { return cc::SjisToUtf16(s, d, true, c); },
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* c) { return cc::SjisTextToUtf16(s, d, true, c); }},
    {"eucjp", cc::kCodeEuc, cc::SjisToEuc, cc::SjisTextToEuc},
    {"sjis", cc::kCodeSjis, cc::SjisLineEnd, cc::SjisTextLineEnds},
};

// A long line of every kind of character, ASCII runs of every length among them.
ByteVec MixedLine() {
  ByteVec v;
  for (int k = 0; k < 40; ++k) {
    for (int a = 0; a < k % 11; ++a) v.push_back(static_cast<std::uint8_t>('a' + a));
    v.insert(v.end(), {0x88, static_cast<std::uint8_t>(0x9F + k % 60), 0x82, 0xA0});  // kanji, hiragana
    if (k % 3 == 0) v.push_back(static_cast<std::uint8_t>(0xB1 + k % 40));         // half-width katakana
    if (k % 7 == 0) v.insert(v.end(), {0x85, 0x40});                                 // undefined
    if (k % 13 == 0) v.insert(v.end(), {0xF0, 0x40, 0xFA, 0x40});                    // user-defined, IBM
  }
  return v;
}

// Working texts (and lines) with the awkward cases at line ends and elsewhere.
const std::vector<ByteVec>& TrickyTexts() {
  static const std::vector<ByteVec> texts = [] {
    std::vector<ByteVec> t = {
        {},
        S("abc"),
        S("a\r\nb\r\n"),
        S("\n"),
        S("\r\n\r\n"),
        S("a\nb\r\nc\rd\r"),
        S("\r\r\n\n\r"),
        B({0x82, 0x0D, 0x0A, 0x61}),                    // a lead byte before CR LF
        B({0x82, 0x0A, 0x82}),                          // before a bare LF; at the very end
        B({0x61, 0x62, 0x0D, 0x0A, 0x85, 0x40, 0x0D, 0x0A, 0x80, 0xA0, 0xFD, 0x0D, 0x0A}),  // replacements on lines 1 and 2
        B({0x0D, 0x0A, 0x0D, 0x0A, 0xF0, 0x40, 0x0D, 0x0A}),  // a user-defined character on line 2
        B({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0x82, 0xA0, 'j', 0x82, 0xA2, 0x0D, 0x0A}),  // ASCII up to a kanji
        B({0xB1, 0xB2, 0xDF, 0x0D, 0x0A, 0xA1}),
    };
    ByteVec mixed = MixedLine();
    t.push_back(mixed);
    mixed.insert(mixed.end(), {0x0D, 0x0A});
    ByteVec many;
    for (int k = 0; k < 5; ++k) many.insert(many.end(), mixed.begin(), mixed.end() - k);
    t.push_back(many);
    return t;
  }();
  return texts;
}

// Each line (up to and including its LF) converted on its own.
struct LineByLine {
  ByteVec out;
  std::size_t lines = 0, replaced = 0;
  std::int64_t firstLossyLine = -1;
  std::vector<std::pair<std::size_t, std::size_t>> ends;  // consumed and written after each line
};

LineByLine ConvertLines(const FromSjisForm& form, const ByteVec& text, const std::uint8_t* crlf) {
  LineByLine r;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n') ++end;
    if (end < text.size()) ++end;
    ByteVec out(3 * (end - start) + cc::kCrlfBytesSize);
    const cc::Converted c = form.line(cc::Bytes(text.data() + start, end - start), out, crlf);
    EXPECT_TRUE(c.complete);
    if (c.replaced && r.firstLossyLine < 0) r.firstLossyLine = static_cast<std::int64_t>(r.ends.size());
    r.out.insert(r.out.end(), out.begin(), out.begin() + static_cast<long>(c.written));
    r.replaced += c.replaced;
    r.lines += text[end - 1] == '\n';
    r.ends.emplace_back(end, r.out.size());
    start = end;
  }
  return r;
}

// The line-end forms of each target: CR LF, LF, CR, and none (null).
std::vector<std::array<std::uint8_t, cc::kCrlfBytesSize>> LineEndsOf(int code) {
  std::vector<std::array<std::uint8_t, cc::kCrlfBytesSize>> ends;
  for (int kind : {cc::kCrlfCrLf, cc::kCrlfLf, cc::kCrlfCr}) {
    ends.emplace_back();
    cc::SetCrlfChar(code, kind, ends.back().data());
  }
  return ends;
}

// Capacities to try for an output of up to n bytes: all of the small ones,
// then enough of the rest to cover every kind of character at the end.
std::vector<std::size_t> Capacities(std::size_t n) {
  std::vector<std::size_t> caps;
  for (std::size_t cap = 0; cap <= n; cap += cap < 300 || cap + 16 > n ? 1 : 7) caps.push_back(cap);
  return caps;
}

TEST(TextConversion, MatchesLineByLine) {
  for (const FromSjisForm& form : kFromSjisForms) {
    auto ends = LineEndsOf(form.code);
    std::vector<const std::uint8_t*> crlfs = {nullptr};
    for (auto& e : ends) crlfs.push_back(e.data());
    for (const std::uint8_t* crlf : crlfs) {
      for (const ByteVec& text : TrickyTexts()) {
        SCOPED_TRACE(std::string(form.name) + " crlf " + (crlf ? gvtest::Hex(crlf, 4) : "null") + " text " + gvtest::Hex(text));
        const LineByLine want = ConvertLines(form, text, crlf);
        ByteVec dst(3 * text.size() + 16, 0xEE);
        const cc::TextConverted got = form.text(text, cc::MutBytes(dst.data(), 3 * text.size()), crlf);
        EXPECT_TRUE(got.complete);
        EXPECT_EQ(got.consumed, text.size());
        ASSERT_EQ(got.written, want.out.size());
        EXPECT_EQ(gvtest::Hex(dst.data(), got.written), gvtest::Hex(want.out));
        EXPECT_EQ(got.lines, want.lines);
        EXPECT_EQ(got.replaced, want.replaced);
        EXPECT_EQ(got.firstLossyLine, want.firstLossyLine);
        for (std::size_t i = 3 * text.size(); i < dst.size(); ++i) ASSERT_EQ(dst[i], 0xEE) << "written at " << i;
      }
    }
  }
}

// Too little room: the lines that fit, whole, and nothing written past the end.
TEST(TextConversion, ConvertsWholeLinesWhileTheyFit) {
  for (const FromSjisForm& form : kFromSjisForms) {
    const auto crlf = LineEndsOf(form.code)[form.code == cc::kCodeSjis ? 1 : 0];
    for (const ByteVec& text : TrickyTexts()) {
      SCOPED_TRACE(std::string(form.name) + " text " + gvtest::Hex(text));
      const LineByLine want = ConvertLines(form, text, crlf.data());
      for (std::size_t cap : Capacities(want.out.size() + 1)) {
        SCOPED_TRACE("cap " + std::to_string(cap));
        std::size_t lines = 0;  // how many lines fit
        while (lines < want.ends.size() && want.ends[lines].second <= cap) ++lines;
        const std::size_t consumed = lines ? want.ends[lines - 1].first : 0, written = lines ? want.ends[lines - 1].second : 0;
        ByteVec dst(cap + 8, 0xEE);
        const cc::TextConverted got = form.text(text, cc::MutBytes(dst.data(), cap), crlf.data());
        EXPECT_EQ(got.complete, lines == want.ends.size());
        EXPECT_EQ(got.consumed, consumed);
        ASSERT_EQ(got.written, written);
        EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + static_cast<long>(written), want.out.begin()));
        EXPECT_EQ(got.lines, std::count(text.begin(), text.begin() + static_cast<long>(consumed), '\n'));
        EXPECT_EQ(got.firstLossyLine, want.firstLossyLine < static_cast<std::int64_t>(lines) ? want.firstLossyLine : -1);
        for (std::size_t i = cap; i < dst.size(); ++i) ASSERT_EQ(dst[i], 0xEE) << "written at " << i;
      }
    }
  }
}

// A converter handed ever larger capacities: each result is the greedy one,
// whole characters while they fit. Where the room is plenty the converters
// take a path without checks; these results hold the two paths to each other.
void ExpectGreedyAtEveryCapacity(const std::function<cc::Converted(cc::MutBytes)>& convert, std::size_t srcSize,
                                 std::size_t maxCap) {
  const std::vector<std::size_t> caps = Capacities(maxCap);
  std::vector<cc::Converted> at;
  std::vector<ByteVec> outs;
  for (std::size_t cap : caps) {
    ByteVec dst(cap + 8, 0xEE);
    at.push_back(convert(cc::MutBytes(dst.data(), cap)));
    ASSERT_LE(at.back().written, cap);
    for (std::size_t i = cap; i < dst.size(); ++i) ASSERT_EQ(dst[i], 0xEE) << "cap " << cap << " written at " << i;
    outs.emplace_back(dst.begin(), dst.begin() + static_cast<long>(at.back().written));
  }
  const cc::Converted& whole = at.back();
  ASSERT_TRUE(whole.complete) << "maxCap too small";
  ASSERT_EQ(whole.consumed, srcSize);
  std::size_t fits = 0;  // the last result whose output would fit in the capacity at hand
  for (std::size_t k = 0; k < caps.size(); ++k) {
    const cc::Converted& r = at[k];
    SCOPED_TRACE(testing::Message() << "cap " << caps[k]);
    // A prefix of the whole output, complete exactly when all of it fits.
    EXPECT_TRUE(std::equal(outs[k].begin(), outs[k].end(), outs.back().begin()));
    EXPECT_EQ(r.complete, r.consumed == srcSize);
    if (r.complete) {
      EXPECT_EQ(r.written, whole.written);
      EXPECT_EQ(r.replaced, whole.replaced);
    }
    if (k > 0) {
      ASSERT_GE(r.consumed, at[k - 1].consumed);
      ASSERT_GE(r.written, at[k - 1].written);
    }
    // Greedy: a larger capacity whose result would fit here gives the same.
    while (fits + 1 < caps.size() && at[fits + 1].written <= caps[k]) ++fits;
    if (fits > k) {
      EXPECT_EQ(r.consumed, at[fits].consumed) << "vs cap " << caps[fits];
      EXPECT_EQ(r.written, at[fits].written) << "vs cap " << caps[fits];
      EXPECT_EQ(r.replaced, at[fits].replaced) << "vs cap " << caps[fits];
    }
  }
}

TEST(LineConversion, ShortOutputTakesWholeCharacters) {
  for (const FromSjisForm& form : kFromSjisForms) {
    const auto crlf = LineEndsOf(form.code)[1];  // LF: a final CR LF becomes shorter
    for (const ByteVec& text : TrickyTexts()) {
      SCOPED_TRACE(std::string(form.name) + " text " + gvtest::Hex(text));
      ExpectGreedyAtEveryCapacity([&](cc::MutBytes d) { return form.line(text, d, crlf.data()); }, text.size(),
                                  3 * text.size() + cc::kCrlfBytesSize);
    }
  }
}

TEST(IntoShiftJisConversion, ShortOutputTakesWholeCharacters) {
  // EUC-JP and UTF-8 texts of JIS X 0208 runs, ASCII runs ending right before
  // a multibyte character, half-width katakana, replacements, and characters
  // cut by the end of the text.
  const ByteVec euc = B({'a', 'b', 'c', 0xA4, 0xA2, 0xB0, 0xA1, 0xA4, 0xA4, 0x8E, 0xB1, 'x', 0x8F, 0xA1, 0xA1, 0xA4,
                         0xA2, 0x90, 0xA4, 0x41, 0xA1, 0xA1, 0xA1, 0xA1, 0xA1, 0xA1, 0xDF, 0xFE, '\r', '\n', 0xA4});
  const ByteVec utf8 = B({'a', 'b', 0xE3, 0x81, 0x82, 0xE4, 0xBA, 0x9C, 0xEF, 0xBD, 0xB1, 'c', 0xE3, 0x80, 0x9C, 0xC2,
                          0xA5, 0xE3, 0x81, 0xE3, 0x81, 0x84, 0xF0, 0x9F, 0x98, 0x80, 0xED, 0xA0, 0x80, 0xE0, 0x80,
                          0xAF, 0xE0, 0xA0, 0x80, 0xE3, 0x81, 0x82, '\n', 0xE3, 0x81});
  for (bool srcEnds : {true, false}) {
    SCOPED_TRACE(srcEnds ? "text ends" : "more text follows");
    ByteVec out(utf8.size());
    const cc::Converted eucWhole = cc::EucToSjis(euc, out, cc::kEucClass.data(), srcEnds);
    const cc::Converted utf8Whole = cc::Utf8ToSjis(utf8, out, srcEnds);
    ExpectGreedyAtEveryCapacity([&](cc::MutBytes d) { return cc::EucToSjis(cc::Bytes(euc).first(eucWhole.consumed), d, cc::kEucClass.data(), srcEnds); },
                                eucWhole.consumed, euc.size());
    ExpectGreedyAtEveryCapacity([&](cc::MutBytes d) { return cc::Utf8ToSjis(cc::Bytes(utf8).first(utf8Whole.consumed), d, srcEnds); },
                                utf8Whole.consumed, utf8.size());
    EXPECT_EQ(eucWhole.consumed, srcEnds ? euc.size() : euc.size() - 1);
    EXPECT_EQ(utf8Whole.consumed, srcEnds ? utf8.size() : utf8.size() - 2);
  }
}

// Long texts of every code convert as each code does alone: the runs of
// common characters take their own loops.
TEST(IntoShiftJisConversion, LongRunsMatchSingleCharacters) {
  ByteVec euc, eucWant, utf8, utf8Want;
  for (int lead = 0xA1; lead <= 0xFE; ++lead) {
    if (lead % 5 == 0) euc.push_back('a'), eucWant.push_back('a');  // runs starting at odd offsets too
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const ByteVec one = B({lead, trail});
      std::uint8_t sjis[2];
      ASSERT_EQ(api::EUC2ShiftJis(one.data(), 2, sjis, cc::kEucClass.data()), 2);
      euc.insert(euc.end(), one.begin(), one.end());
      eucWant.insert(eucWant.end(), sjis, sjis + 2);
    }
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!(cc::kSjisClass[lead] & cc::kSjisLead)) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const ByteVec one = B({lead, trail});
      std::uint8_t mid[4], back[2];
      const int m = api::SJistoUTF8(mid, 4, one.data(), 2, nullptr);
      if (m <= 0) continue;
      const int r = api::UTF8toSJis(back, 2, mid, m);
      ASSERT_GT(r, 0);
      utf8.insert(utf8.end(), mid, mid + m);
      utf8Want.insert(utf8Want.end(), back, back + r);
    }
  }
  ByteVec out(utf8.size());
  cc::Converted c = cc::EucToSjis(euc, out);
  EXPECT_TRUE(c.complete);
  EXPECT_EQ(c.replaced, 0u);
  EXPECT_EQ(gvtest::Hex(out.data(), c.written), gvtest::Hex(eucWant));
  c = cc::Utf8ToSjis(utf8, out);
  EXPECT_TRUE(c.complete);
  EXPECT_EQ(c.replaced, 0u);
  EXPECT_EQ(gvtest::Hex(out.data(), c.written), gvtest::Hex(utf8Want));
}

}  // namespace

namespace {

// Whatever a caller's class table says, a byte below 0x80 is ASCII: it never
// starts or ends a two-byte character, and a CR or LF is never swallowed.
TEST(EucClassTable, BytesBelow80AreAlwaysAscii) {
  std::array<std::uint8_t, 256> table = cc::kEucClass;
  table[0x43] |= cc::kEucLead | cc::kEucTrail;
  table[0x0D] |= cc::kEucTrail;
  const ByteVec in = B({0xA4, 0xA2, 0x43, 0xB3, 0x43, 0xA4, 0x0D});
  for (int cap = 7; cap <= 16; ++cap) {
    ByteVec out(static_cast<std::size_t>(cap));
    const cc::Converted c = cc::EucToSjis(in, out, table.data());
    ASSERT_TRUE(c.complete) << cap;
    EXPECT_EQ(gvtest::Hex(out.data(), c.written), "82 a0 43 3f 43 3f 0d") << cap;
  }
}

}  // namespace

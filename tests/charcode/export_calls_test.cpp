// The conversions as the editor program makes them of the library's exported
// converters (export_calls.h, over library_api's functions here, over
// QORVchar.dll's in the program), against the direct functions on random
// working text and random room: the same bytes, lines and lossy line, whole
// lines while they fit.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/export_calls.h"
#include "charcode/library_api.h"
#include "test_util.h"

namespace cc = gorvane::charcode;
namespace api = gorvane::charcode::api;
namespace ex = gorvane::charcode::exports;

namespace {

using Text = cc::TextConverted (*)(cc::Bytes, cc::MutBytes, const std::uint8_t*);

// Lines of ASCII, kanji, half-width katakana, undefined codes, lone lead
// bytes and bare CR, ending in CR LF or LF; the last one maybe without.
std::string RandomWorkingText(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::string s;
  const int lines = pick(0, 12);
  for (int l = 0; l < lines; ++l) {
    for (int n = pick(0, 20); n > 0; --n) {
      switch (pick(0, 9)) {
        case 0: s += "\x93\xfa"; break;     // 日
        case 1: s += "\x82\xa0"; break;     // あ
        case 2: s += '\xb1'; break;         // half-width ア
        case 3: s += "\x85\x40"; break;     // undefined code
        case 4: s += '\x82'; break;         // a lead byte alone
        case 5: s += '\r'; break;           // a bare CR inside the line
        default: s += static_cast<char>('a' + pick(0, 25)); break;
      }
    }
    if (l + 1 < lines || pick(0, 1)) s += pick(0, 3) ? "\r\n" : "\n";
  }
  return s;
}

struct Target {
  const char* name;
  Text direct;
  Text viaExports;
  std::vector<std::vector<std::uint8_t>> lineEnds;  // crlf values of the target's form
};

const Target kTargets[] = {
    {"EUC-JP", cc::SjisTextToEuc,
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) {
       return ex::PerLine(s, d, [crlf](cc::Bytes line, cc::MutBytes out) {
         return ex::FromSjisUncapped(api::ShiftJis2EUC, line, out, crlf, ex::EucRoom(line.size()));
       });
     },
     {{'\r', '\n', 0}, {'\n', 0}, {'\r', 0}}},
    {"UTF-8", cc::SjisTextToUtf8,
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) {
       return ex::PerLine(s, d, [crlf](cc::Bytes line, cc::MutBytes out) {
         return ex::FromSjis(api::SJistoUTF8, line, out, crlf);
       });
     },
     {{'\r', '\n', 0}, {'\n', 0}}},
    {"UTF-16LE",
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) { return cc::SjisTextToUtf16(s, d, false, crlf); },
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) {
       return ex::PerLine(s, d, [crlf](cc::Bytes line, cc::MutBytes out) {
         return ex::FromSjis(api::SJistoUTF16LE, line, out, crlf);
       });
     },
     {{'\r', 0, '\n', 0, 0, 0}, {'\n', 0, 0, 0}}},
    {"UTF-16BE",
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) { return cc::SjisTextToUtf16(s, d, true, crlf); },
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) {
       return ex::PerLine(s, d, [crlf](cc::Bytes line, cc::MutBytes out) {
         return ex::FromSjis(api::SJistoUTF16BE, line, out, crlf);
       });
     },
     {{0, '\r', 0, '\n', 0, 0}, {0, '\r', 0, 0}}},
    {"Shift-JIS", cc::SjisTextLineEnds,
     [](cc::Bytes s, cc::MutBytes d, const std::uint8_t* crlf) {
       return ex::PerLine(s, d, [crlf](cc::Bytes line, cc::MutBytes out) {
         return ex::FromSjisUncapped(api::ShiftJis2ShiftJis, line, out, crlf, ex::SjisRoom(line.size()));
       });
     },
     {{'\r', '\n', 0}, {'\n', 0}, {'\r', 0}}},
};

TEST(ExportCalls, WorkingTextAsTheDirectConverters) {
  std::mt19937 rng(20261210);
  for (const Target& t : kTargets) {
    for (int round = 0; round < 400; ++round) {
      const std::string text = RandomWorkingText(rng);
      const cc::Bytes src(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
      const auto& crlf = t.lineEnds[static_cast<std::size_t>(round) % t.lineEnds.size()];
      // Room for all of it, or a random part of that.
      const std::size_t room = round % 2 ? 3 * text.size() + 8 : std::uniform_int_distribution<std::size_t>(0, 3 * text.size())(rng);
      std::vector<std::uint8_t> a(room), b(room);
      const cc::TextConverted direct = t.direct(src, a, crlf.data());
      const cc::TextConverted via = t.viaExports(src, b, crlf.data());
      SCOPED_TRACE(std::string(t.name) + " round " + std::to_string(round) + ": " + gvtest::Hex(gvtest::S(text)));
      ASSERT_EQ(via.complete, direct.complete);
      ASSERT_EQ(via.consumed, direct.consumed);
      ASSERT_EQ(via.written, direct.written);
      ASSERT_EQ(gvtest::Hex(b.data(), via.written), gvtest::Hex(a.data(), direct.written));
      ASSERT_EQ(via.lines, direct.lines);
      ASSERT_EQ(via.firstLossyLine, direct.firstLossyLine);
      ASSERT_EQ(via.replaced > 0, direct.replaced > 0);
    }
  }
}

// Into Shift-JIS, and the Windows boundary's conversions: the same text, and
// a lossy call is reported; no room is a failure, never a partial result.
TEST(ExportCalls, IntoShiftJisAsTheDirectConverters) {
  struct Case {
    std::string utf8, utf16le;
  } const cases[] = {
      {"abc", std::string("a\0b\0c\0", 6)},
      {"\xE6\x97\xA5\xE6\x9C\xAC", std::string("\xE5\x65\x2C\x67", 4)},  // 日本
      {"x\xE3\x80\x9Cy", std::string("x\0\x1C\x30y\0", 6)},              // U+301C has no code
      {"\xFF", std::string("\x00\xD8", 2)},                               // ill-formed, a lone surrogate
  };
  for (const Case& c : cases) {
    for (const bool utf16 : {false, true}) {
      const std::string& in = utf16 ? c.utf16le : c.utf8;
      const cc::Bytes src(reinterpret_cast<const std::uint8_t*>(in.data()), in.size());
      std::vector<std::uint8_t> a(in.size() + 4), b(in.size() + 4);
      const cc::Converted direct = utf16 ? cc::Utf16ToSjis(src, a, false) : cc::Utf8ToSjis(src, a);
      const cc::Converted via = utf16 ? ex::IntoSjis(api::UTF16LEtoSJis, src, b) : ex::IntoSjis(api::UTF8toSJis, src, b);
      SCOPED_TRACE(gvtest::Hex(gvtest::S(in)));
      EXPECT_TRUE(via.complete);
      EXPECT_EQ(via.consumed, in.size());
      EXPECT_EQ(gvtest::Hex(b.data(), via.written), gvtest::Hex(a.data(), direct.written));
      EXPECT_EQ(via.replaced > 0, direct.replaced > 0);

      std::vector<std::uint8_t> none(0);
      const cc::Converted full = utf16 ? ex::IntoSjis(api::UTF16LEtoSJis, src, none) : ex::IntoSjis(api::UTF8toSJis, src, none);
      EXPECT_FALSE(full.complete);
      EXPECT_EQ(full.written, 0u);
    }
  }
  // Nothing to convert is complete; an unbound converter fails.
  EXPECT_TRUE(ex::IntoSjis(api::UTF8toSJis, cc::Bytes(), cc::MutBytes()).complete);
  using Fn = int (*)(std::uint8_t*, int, const std::uint8_t*, int);
  std::vector<std::uint8_t> out(8);
  EXPECT_FALSE(ex::IntoSjis(Fn{nullptr}, cc::Bytes(reinterpret_cast<const std::uint8_t*>("a"), 1), out).complete);
}

}  // namespace

// The case and width conversions: what each makes of a line, the runs it
// reports, the range it works in.
#include "document/conversions.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/host.h"

namespace doc = gorvane::document;
using doc::Conversion;
using doc::ConvertedRun;
using gorvane::base::Sjis;
using gorvane::base::Utf8;

namespace gorvane::document {
void PrintTo(const ConvertedRun& r, std::ostream* os) {
  *os << "{" << r.start << ", " << r.length << ", \"" << Utf8(r.replacement) << "\"}";
}
}  // namespace gorvane::document

namespace {

const char* Name(Conversion kind) {
  switch (kind) {
    case Conversion::Upper:
      return "Upper";
    case Conversion::Lower:
      return "Lower";
    case Conversion::Half:
      return "Half";
    case Conversion::FullHiragana:
      return "FullHiragana";
    case Conversion::FullKatakana:
      return "FullKatakana";
    case Conversion::HalfKanaToFull:
      return "HalfKanaToFull";
    case Conversion::FullKanaToHalf:
      return "FullKanaToHalf";
  }
  return "?";
}

// The whole text converted.
std::string Converted(Conversion kind, std::string_view text) {
  return doc::ApplyRuns(text, doc::ConvertRuns(kind, text, 0, static_cast<std::int32_t>(text.size())));
}

TEST(ConvertRuns, EachConversionChangesWhatItKnows) {
  struct {
    Conversion kind;
    std::u8string_view in, out;
  } cases[] = {
      {Conversion::Upper, u8"abCd xyz ｱ", u8"ABCD XYZ ｱ"},
      {Conversion::Upper, u8"ａｚＢ１", u8"ＡＺＢ１"},
      {Conversion::Upper, u8"αωΣ", u8"ΑΩΣ"},
      {Conversion::Upper, u8"абнопяЖ", u8"АБНОПЯЖ"},  // н and о either side of the gap at 0x847F
      {Conversion::Upper, u8"ヂゃ", u8"ヂゃ"},        // trail bytes "a" and "s" are no letters
      {Conversion::Lower, u8"ABcD ＡＺｂ", u8"abcd ａｚｂ"},
      {Conversion::Lower, u8"ΑΩ АНОЯ", u8"αω аноя"},
      {Conversion::Lower, u8"アチ", u8"アチ"},  // trail bytes "A" and "`"

      {Conversion::Half, u8"０９ＡＺａｚ", u8"09AZaz"},
      {Conversion::Half, u8"あがぱんアガパンヴ", u8"ｱｶﾞﾊﾟﾝｱｶﾞﾊﾟﾝｳﾞ"},
      {Conversion::Half, u8"ぁゃっァャッ", u8"ｧｬｯｧｬｯ"},
      {Conversion::Half, u8"ゎゐゑヮヰヱヵヶ", u8"ゎゐゑヮヰヱヵヶ"},  // no single-byte form
      {Conversion::Half, u8"　！”’＼～－＿｀｜", u8" !\"'\\~-_`|"},
      {Conversion::Half, u8"。「」、・ー゛゜", u8"｡｢｣､･ｰﾞﾟ"},
      {Conversion::Half, u8"漢字①“‘Ωж", u8"漢字①“‘Ωж"},

      {Conversion::FullHiragana, u8"ｱｶﾞﾊﾟﾝｦｧ", u8"あがぱんをぁ"},
      {Conversion::FullHiragana, u8"ｳﾞｱﾞﾞ", u8"ヴあ゛゛"},  // VU has no hiragana; ｱ no voiced form
      {Conversion::FullHiragana, u8"アミムンヴヵヶ", u8"あみむんヴヵヶ"},
      {Conversion::FullHiragana, u8"Az09 !\"'~\\", u8"Ａｚ０９　！”’～＼"},
      {Conversion::FullHiragana, u8"｡｢｣､･ｰ", u8"。「」、・ー"},
      {Conversion::FullHiragana, u8"\t漢あ", u8"\t漢あ"},

      {Conversion::FullKatakana, u8"ｱｶﾞﾊﾟﾎﾟｳﾞ", u8"アガパポヴ"},
      {Conversion::FullKatakana, u8"ぁあみむんが", u8"ァアミムンガ"},
      {Conversion::FullKatakana, u8"う゛う", u8"ヴウ"},
      {Conversion::FullKatakana, u8"a-b ﾞ", u8"ａ－ｂ　゛"},

      {Conversion::HalfKanaToFull, u8"ｱA1 ｶﾞ!", u8"アA1 ガ!"},
      {Conversion::HalfKanaToFull, u8"｡｢｣､･ｰﾞﾟ", u8"。「」、・ー゛゜"},
      {Conversion::HalfKanaToFull, u8"あアＡ", u8"あアＡ"},

      {Conversion::FullKanaToHalf, u8"アガパヴ、。・ー「」", u8"ｱｶﾞﾊﾟｳﾞ､｡･ｰ｢｣"},
      {Conversion::FullKanaToHalf, u8"あＡ１　！゛ヵ", u8"あＡ１　！゛ヵ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(Name(c.kind)) + " " +
                 std::string(reinterpret_cast<const char*>(c.in.data()), c.in.size()));
    EXPECT_EQ(Utf8(Converted(c.kind, Sjis(c.in))), Utf8(Sjis(c.out)));
  }
}

// What FullKatakana makes of each printable single byte; Half takes it back.
TEST(ConvertRuns, SingleBytesAndTheirDoubleByteFormsPair) {
  const std::u8string_view fullAscii =
      u8"　！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷ"
      u8"ＸＹＺ"
      u8"［＼］＾＿｀ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝～";
  const std::u8string_view fullKana =
      u8"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラ"
      u8"リルレロワン゛゜";
  std::string ascii, kana;
  for (int b = 0x20; b <= 0x7E; ++b) ascii += static_cast<char>(b);
  for (int b = 0xA1; b <= 0xDF; ++b) kana += static_cast<char>(b);
  // Each byte on its own: ﾞ and ﾟ after a kana would voice it.
  std::string fullOfAscii, fullOfKana;
  for (const char b : ascii) fullOfAscii += Converted(Conversion::FullKatakana, std::string(1, b));
  for (const char b : kana) fullOfKana += Converted(Conversion::FullKatakana, std::string(1, b));
  EXPECT_EQ(Utf8(fullOfAscii), Utf8(Sjis(fullAscii)));
  EXPECT_EQ(Utf8(fullOfKana), Utf8(Sjis(fullKana)));
  EXPECT_EQ(Converted(Conversion::Half, fullOfAscii), ascii);
  EXPECT_EQ(Converted(Conversion::Half, fullOfKana), kana);
  EXPECT_EQ(Converted(Conversion::HalfKanaToFull, kana.substr(0, 0xDE - 0xA1)),
            Sjis(fullKana).substr(0, 2 * (0xDE - 0xA1)));
  EXPECT_EQ(Converted(Conversion::FullKanaToHalf, Sjis(fullKana).substr(0, 2 * (0xDE - 0xA1))),
            kana.substr(0, 0xDE - 0xA1));
}

TEST(ConvertRuns, HalfUndoesFullKatakanaOnEveryHalfWidthKana) {
  const char marks[] = {'\0', '\xDE', '\xDF'};
  for (int b = 0xA1; b <= 0xDF; ++b) {
    for (const char mark : marks) {
      std::string in(1, static_cast<char>(b));
      if (mark != '\0') in += mark;
      const std::string full = Converted(Conversion::FullKatakana, in);
      EXPECT_EQ(Converted(Conversion::Half, full), in) << Utf8(in) << " -> " << Utf8(full);
    }
  }
}

struct ExpectedRun {
  int start, length;
  std::u8string_view replacement;
};

// The runs, their replacements as UTF-8.
std::vector<ConvertedRun> Runs(const std::vector<ExpectedRun>& runs) {
  std::vector<ConvertedRun> out;
  for (const ExpectedRun& r : runs) out.push_back({r.start, r.length, Sjis(r.replacement)});
  return out;
}

TEST(ConvertRuns, RunsAreMaximalAndInTextOrder) {
  struct {
    Conversion kind;
    std::u8string_view in;
    std::vector<ExpectedRun> runs;
  } cases[] = {
      {Conversion::Upper, u8"abCd", {{0, 2, u8"AB"}, {3, 1, u8"D"}}},
      {Conversion::Upper, u8"ABC", {}},
      // a ｱ 漢 ｶﾞ あ: single and double bytes in one run, the voiced pair one unit
      {Conversion::FullKatakana, u8"aｱ漢ｶﾞあ", {{0, 2, u8"ａア"}, {4, 4, u8"ガア"}}},
      {Conversion::Half, u8"xＡあ漢ガ", {{1, 4, u8"Aｱ"}, {7, 2, u8"ｶﾞ"}}},
      {Conversion::FullKatakana, u8"う゛漢", {{0, 4, u8"ヴ"}}},
  };
  for (const auto& c : cases) {
    const std::string in = Sjis(c.in);
    SCOPED_TRACE(std::string(Name(c.kind)) + " " + Utf8(in));
    EXPECT_EQ(doc::ConvertRuns(c.kind, in, 0, static_cast<std::int32_t>(in.size())), Runs(c.runs));
  }
}

TEST(ConvertRuns, RangeIsClampedAndCoversWholeCharacters) {
  const std::string text = Sjis(u8"aあbｶﾞう゛");  // a 0, あ 1-2, b 3, ｶ 4, ﾞ 5, う 6-7, ゛ 8-9
  struct {
    int from, to;
    std::vector<ExpectedRun> runs;
  } cases[] = {
      {0, 10, {{0, 10, u8"ａアｂガヴ"}}},
      {-5, 100, {{0, 10, u8"ａアｂガヴ"}}},
      {2, 3, {{1, 2, u8"ア"}}},    // from inside あ
      {0, 2, {{0, 3, u8"ａア"}}},  // to inside あ
      {2, 2, {{1, 2, u8"ア"}}},    // both inside あ
      {3, 1, {}},                  // to before from
      {4, 5, {{4, 1, u8"カ"}}},    // the voicing mark outside the range
      {5, 6, {{5, 1, u8"゛"}}},
      {6, 7, {{6, 2, u8"ウ"}}},  // to inside う: ゛ stays outside
      {6, 9, {{6, 4, u8"ヴ"}}},  // to inside ゛
      {10, 12, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
    EXPECT_EQ(doc::ConvertRuns(Conversion::FullKatakana, text, c.from, c.to), Runs(c.runs));
  }
}

TEST(ConvertRuns, LeadByteWithoutTrailIsLeftAlone) {
  // At the end of the text, and before a byte that is no trail byte.
  const std::string end = "a\x82", inside = "\x82 b";
  EXPECT_EQ(Converted(Conversion::Upper, end), "A\x82");
  EXPECT_EQ(Converted(Conversion::FullKatakana, end), Sjis(u8"ａ") + "\x82");
  EXPECT_EQ(Converted(Conversion::Half, end), end);
  EXPECT_EQ(doc::ConvertRuns(Conversion::FullKatakana, end, 1, 2), std::vector<ConvertedRun>{});
  EXPECT_EQ(Converted(Conversion::FullKatakana, inside), std::string("\x82") + Sjis(u8"　ｂ"));
}

TEST(ChangeCase, ChangesEveryLetterAndKeepsTheLength) {
  struct {
    std::u8string_view in, upper, lower;
  } cases[] = {
      {u8"aZ1ａＺαΩжЖнО", u8"AZ1ＡＺΑΩЖЖНО", u8"az1ａｚαωжжно"},
      {u8"ヂアチ漢ｱ", u8"ヂアチ漢ｱ", u8"ヂアチ漢ｱ"},  // trail bytes "a", "A", "`"
  };
  for (const auto& c : cases) {
    const std::string in = Sjis(c.in);
    SCOPED_TRACE(Utf8(in));
    EXPECT_EQ(Utf8(doc::ChangeCase(in, true)), Utf8(Sjis(c.upper)));
    EXPECT_EQ(Utf8(doc::ChangeCase(in, false)), Utf8(Sjis(c.lower)));
  }
  // A converted run changes back: what undoing a case conversion relies on.
  const std::string text = Sjis(u8"xабв yαβ");
  for (const ConvertedRun& r : doc::ConvertRuns(Conversion::Upper, text, 0, static_cast<std::int32_t>(text.size())))
    EXPECT_EQ(doc::ChangeCase(r.replacement, false),
              text.substr(static_cast<std::size_t>(r.start), static_cast<std::size_t>(r.length)));
}

}  // namespace

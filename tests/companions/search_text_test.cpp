// The search primitives over Shift-JIS lines: hits only at character starts
// and boundaries, forward and backward, the case and reversal helpers, the
// delimiter table's search bits and the whole-word test.
#include "companions/qorvetc/search_text.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "base/host.h"

namespace qv = gorvane::qorvetc;
using gorvane::base::Sjis;

namespace {

constexpr std::size_t N = qv::kNoHit;

// 表 is 0x95 0x5C (a backslash as second byte), ソ 0x83 0x5C, ア 0x83 0x41,
// ぁ 0x82 0x9F (a lead byte as second byte).
struct SearchCase {
  const char* name;
  std::string pattern, text;
  std::size_t start;
  std::size_t forward;   // first hit at or after start
  std::size_t backward;  // last hit beginning at or before start
};

std::vector<SearchCase> SearchCases() {
  return {
      {"ascii", "abc", "xxabcxabc", 0, 2, N},
      {"ascii from the middle", "abc", "xxabcxabc", 3, 6, 2},
      {"ascii at start", "abc", "xxabcxabc", 2, 2, 2},
      {"to the end", "abc", "xxabcxabc", qv::kFromEnd, 2, 6},
      {"backslash as trail byte skipped", "\\", Sjis(u8"表\\"), 0, 2, N},
      {"backslash as trail byte, backward", "\\", Sjis(u8"表\\表"), qv::kFromEnd, 2, 2},
      {"A as trail byte of ア", "A", Sjis(u8"アA"), 0, 2, N},
      {"trail+lead across characters", "\x5C\x83", Sjis(u8"表ア"), 0, N, N},
      {"double-byte pattern", Sjis(u8"ソ"), Sjis(u8"表ソ表ソ"), 0, 2, N},
      {"double-byte pattern backward", Sjis(u8"ソ"), Sjis(u8"表ソ表ソ"), qv::kFromEnd, 2, 6},
      // ぁぁ is 82 9F 82 9F: the bytes 9F 82 occur at 1, inside both characters.
      {"lead byte as second byte", "\x9F\x82", Sjis(u8"ぁぁ"), 0, N, N},
      {"hit ending inside a character", "a\x83", Sjis(u8"aア"), 0, N, N},
      {"lone lead at the pattern end, text end", "a\x83", "a\x83", 0, 0, 0},
      {"pattern longer than text", "abcd", "abc", 0, N, N},
      {"empty pattern", "", "abc", 0, N, N},
      {"start past the end", "a", "aaa", 3, N, 2},
  };
}

TEST(Search, TableOfCasesAllFourSearches) {
  for (const SearchCase& c : SearchCases()) {
    SCOPED_TRACE(c.name);
    const std::size_t fwdStart = c.start == qv::kFromEnd ? 0 : c.start;
    EXPECT_EQ(qv::BmStrSearch(c.pattern, fwdStart, c.text, false), c.forward);
    EXPECT_EQ(qv::SimpleStrSearch(c.pattern, fwdStart, c.text), c.forward);
    EXPECT_EQ(qv::BmStrBackSearch(c.pattern, c.start, c.text, false), c.backward);
    EXPECT_EQ(qv::SimpleStrBackSearch(c.pattern, c.start, c.text), c.backward);
  }
}

// A continued probe with a different pattern still answers for that pattern;
// consecutive probes on one line find the hits in turn.
TEST(Search, ContinuedProbesWalkTheLine) {
  const std::string line = Sjis(u8"表ソ表ソ表ソ");
  std::vector<std::size_t> hits;
  bool continued = false;
  for (std::size_t at = qv::BmStrSearch(Sjis(u8"ソ"), 0, line, continued); at != N;
       at = qv::BmStrSearch(Sjis(u8"ソ"), at + 1, line, continued)) {
    hits.push_back(at);
    continued = true;
  }
  EXPECT_EQ(hits, (std::vector<std::size_t>{2, 6, 10}));
  EXPECT_EQ(qv::BmStrSearch("\\", 0, line, true), N);  // another pattern, table rebuilt
  hits.clear();
  for (std::size_t at = qv::BmStrBackSearch(Sjis(u8"表"), qv::kFromEnd, line, false); at != N && at > 0;
       at = qv::BmStrBackSearch(Sjis(u8"表"), at - 1, line, true))
    hits.push_back(at);
  EXPECT_EQ(hits, (std::vector<std::size_t>{8, 4}));
}

// Random texts of a few problem bytes: the Boyer-Moore searches give what
// trying every character start gives, from every start.
TEST(Search, BoyerMooreAgreesWithSimpleSearch) {
  const char alphabet[] = {'a', '\\', 'A', '\x83', '\x82', '\x9F', '\x95', '\xB0'};
  std::uint32_t seed = 12345;
  const auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 400; ++round) {
    std::string text, pattern;
    for (std::uint32_t i = 0, n = next() % 40; i < n; ++i) text += alphabet[next() % sizeof alphabet];
    for (std::uint32_t i = 0, n = 1 + next() % 3; i < n; ++i) pattern += alphabet[next() % sizeof alphabet];
    for (std::size_t start = 0; start <= text.size() + 1; ++start) {
      ASSERT_EQ(qv::BmStrSearch(pattern, start, text, start > 0), qv::SimpleStrSearch(pattern, start, text))
          << round << " " << start;
      ASSERT_EQ(qv::BmStrBackSearch(pattern, start, text, start > 0), qv::SimpleStrBackSearch(pattern, start, text))
          << round << " " << start;
    }
  }
}

// A long run of lead bytes (ぁ repeated) with a false hit at every other byte
// is still answered right, both ways.
TEST(Search, LongRunsOfLeadBytes) {
  std::string line;
  for (int i = 0; i < 3000; ++i) line += Sjis(u8"ぁ");
  line += "x";
  EXPECT_EQ(qv::BmStrSearch("\x9F\x82", 0, line, false), N);
  EXPECT_EQ(qv::BmStrBackSearch("\x9F\x82", qv::kFromEnd, line, false), N);
  EXPECT_EQ(qv::BmStrSearch("\x9Fx", 0, line, false), N);
  EXPECT_EQ(qv::BmStrBackSearch(Sjis(u8"ぁx"), qv::kFromEnd, line, false), 5998u);
  EXPECT_EQ(qv::BmStrSearch(Sjis(u8"ぁx"), 1, line, false), 5998u);
}

TEST(Strings, CaseTouchesSingleBytesOnly) {
  std::string s = Sjis(u8"AbアZｱ表z");
  qv::StrCnvUpperToLower(s);
  EXPECT_EQ(s, Sjis(u8"abアzｱ表z"));
  qv::StrCnvLowerToUpper(s);
  EXPECT_EQ(s, Sjis(u8"ABアZｱ表Z"));
}

TEST(Strings, SwapMultiStrReversesCharacters) {
  const struct {
    std::string in, out;
    bool twiceIsSame = true;
  } cases[] = {
      {Sjis(u8"aあb"), Sjis(u8"bあa")},
      {Sjis(u8"表\\ソ"), Sjis(u8"ソ\\表")},
      // A lone lead byte at the end is a byte of its own; in front it pairs.
      {"ab\x83", "\x83" "ba", false},
      {"", ""},
      {Sjis(u8"ｶﾞー"), Sjis(u8"ーﾞｶ")},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    qv::SwapMultiStr(s);
    EXPECT_EQ(s, c.out) << gorvane::base::Utf8(c.in);
    qv::SwapMultiStr(s);
    if (c.twiceIsSame) {
      EXPECT_EQ(s, c.in);
    }
  }
}

TEST(Strings, CheckSiftJisCodeTellsSecondBytes) {
  const std::string line = Sjis(u8"aぁぁ表\\");
  const int expected[] = {1, 1, 0, 1, 0, 1, 0, 1};
  for (std::size_t i = 0; i < line.size(); ++i) EXPECT_EQ(qv::CheckSiftJisCode(line, i), expected[i]) << i;
}

// ---- delimiters and words ----

struct Table {
  std::unique_ptr<std::array<std::uint8_t, qv::kDelimiterTableSize>> t =
      std::make_unique<std::array<std::uint8_t, qv::kDelimiterTableSize>>();
  std::uint8_t operator[](std::size_t i) const { return (*t)[i]; }
};

TEST(Delimiters, FiveStepsAndTheLowBitsKept) {
  Table table;
  table.t->fill(0xFF);
  qv::BuildSearchDelimiters(*table.t, "_a", Sjis(u8"漢x字"));
  EXPECT_EQ(table['_'], 0x1F);  // the user's list
  EXPECT_EQ(table['a'], 0x1F);
  EXPECT_EQ(table['b'], 0x0F);
  EXPECT_EQ(table['+'], 0x1F);
  EXPECT_EQ(table['?'], 0x1F);
  EXPECT_EQ(table[0x00], 0x1F);
  EXPECT_EQ(table[' '], 0x1F);
  EXPECT_EQ(table[0xA4], 0x1F);
  EXPECT_EQ(table[0xA5], 0x0F);
  EXPECT_EQ(table[0x8ABF], 0x2F);  // 漢
  EXPECT_EQ(table[0x8E9A], 0x2F);  // 字
  EXPECT_EQ(table[0x8140], 0x2F);
  EXPECT_EQ(table[0x815B], 0x0F);  // ー is part of words
  EXPECT_EQ(table[0x81FF], 0x2F);
  EXPECT_EQ(table[0x8754], 0x0F);
  EXPECT_EQ(table[0x879C], 0x2F);
  EXPECT_EQ(table[0xF44F], 0x2F);
  EXPECT_EQ(table[0xFA58], 0x0F);
  EXPECT_EQ(table[0x82A0], 0x0F);  // あ
}

TEST(Delimiters, ListLimits) {
  Table table;
  std::string half(300, 'q');
  half[256] = 'r';
  std::string full;
  for (int i = 0; i < 201; ++i) full += i == 200 ? Sjis(u8"字") : Sjis(u8"漢");
  qv::BuildSearchDelimiters(*table.t, half, full);
  EXPECT_EQ(table['q'], 0x10);
  EXPECT_EQ(table['r'], 0x00);  // byte 257
  EXPECT_EQ(table[0x8ABF], 0x20);
  EXPECT_EQ(table[0x8E9A], 0x00);  // character 201
  qv::BuildSearchDelimiters(*table.t, std::string_view("s\0t", 3), "");
  EXPECT_EQ(table['s'], 0x10);
  EXPECT_EQ(table['t'], 0x00);  // after the NUL
  EXPECT_EQ(table['q'], 0x00);  // rebuilt from scratch
}

TEST(WordClass, OfEachKind) {
  EXPECT_EQ(qv::WordClass('_'), 9);
  EXPECT_EQ(qv::WordClass(0xB0), 11);
  EXPECT_EQ(qv::WordClass(0x82A0), 2);
  EXPECT_EQ(qv::WordClass(0x8341), 3);
  EXPECT_EQ(qv::WordClass(0x815B), 7);
  EXPECT_EQ(qv::WordClass(0x8260), 0);  // full-width capital
}

TEST(IsWordMatch, EdgesByTheRules) {
  Table table;
  qv::BuildSearchDelimiters(*table.t, "", "");
  const std::uint8_t L = qv::kSearchLeftWord, R = qv::kSearchRightWord;
  struct Case {
    const char* name;
    std::string before, hit, after;
    std::uint8_t options;
    bool match;
  };
  const Case cases[] = {
      {"start of line", "", "abc", "", L, true},
      {"inside a word", "x", "abc", "", L, false},
      {"after a space", " ", "abc", "", L, true},
      {"after (", "(", "abc", "", L, true},
      {"after a kanji (other width)", Sjis(u8"漢"), "abc", "", L, true},
      {"kana after kanji (other class)", Sjis(u8"漢"), Sjis(u8"あ"), "", L, true},
      {"kana after kana", Sjis(u8"い"), Sjis(u8"あ"), "", L, false},
      {"after a full-width delimiter", Sjis(u8"、"), Sjis(u8"あ"), "", L, true},
      {"other bits ignored", "x", "abc", "", qv::kSearchFuzzy, true},
      {"end of line", "", "abc", "", R, true},
      {"before CR LF", "", "abc", "\r\n", R, true},
      {"before a letter", "", "abc", "d", R, false},
      {"before a delimiter", "", "abc", ".", R, true},
      {"before kanji", "", "abc", Sjis(u8"漢"), R, true},
      {"katakana before ー", "", Sjis(u8"カタ"), Sjis(u8"ーx"), R, false},
      {"katakana before ｰ", "", Sjis(u8"カタ"), Sjis(u8"ｰx"), R, false},
      {"katakana before katakana", "", Sjis(u8"カタ"), Sjis(u8"カx"), R, false},
      {"katakana before hiragana", "", Sjis(u8"カタ"), Sjis(u8"かx"), R, true},
      {"double-byte, one byte left", "", Sjis(u8"カタ"), "x", R, true},
      {"double-byte before a letter", "", Sjis(u8"カタ"), "xy", R, true},
      {"half-width kana before ー", "", Sjis(u8"ｶﾀ"), Sjis(u8"ー"), R, false},
      {"half-width kana before ｰ", "", Sjis(u8"ｶﾀ"), Sjis(u8"ｰ"), R, false},
      {"half-width kana before kanji", "", Sjis(u8"ｶﾀ"), Sjis(u8"漢"), R, true},
      {"letter before a kana", "", "abc", Sjis(u8"ｶ"), R, true},
      {"both edges", " ", "abc", " ", static_cast<std::uint8_t>(L | R), true},
      {"both edges, right fails", " ", "abc", "_", static_cast<std::uint8_t>(L | R), false},
  };
  for (const Case& c : cases) {
    const std::string line = c.before + c.hit + c.after;
    EXPECT_EQ(qv::IsWordMatch(line, c.before.size(), c.hit.size(), c.options, table.t->data()), c.match) << c.name;
  }
}

}  // namespace

// Wildcard patterns: the compiled form, escapes, and the matcher over lines
// (longest and shortest runs, folding, case, word edges, backward use on
// reversed text) in bounded work.
#include "companions/qorvetc/wildcard.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/host.h"
#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/search_text.h"

namespace qv = gorvane::qorvetc;
using gorvane::base::Sjis;
using gorvane::base::Utf8;
using namespace std::string_literals;

namespace {

std::string Reversed(std::string s) {
  qv::SwapMultiStr(s);
  return s;
}

TEST(CreateWildcardString, CompiledForms) {
  const struct {
    const char* name;
    std::string pattern;
    bool backward;
    bool compiled;
    std::vector<std::uint16_t> words;
    std::string text;
  } cases[] = {
      {"a run between", "a*b", false, true, {2, 0x8001, 1}, "a\0b\0"s},
      {"leading run", "*a", false, true, {2, 0x8000, 1}, "\0a\0"s},
      {"trailing run", "a*", false, true, {1, 0x8001}, "a\0"s},
      {"a lone run", "*", false, true, {1, 0x8000}, "\0"s},
      {"two stars are one run", "a**b", false, true, {2, 0x8001, 1}, "a\0b\0"s},
      {"one character", "a?c", false, true, {1, 3}, "a\0c\0"s},
      {"no wildcard", "abc", false, false, {}, ""},
      {"escaped star", "a\\*b", false, false, {}, ""},
      {"escaped backslash before a run", "a\\\\*", false, true, {1, 0x8002}, "a\\\0"s},
      {"0x5C second byte is no escape", Sjis(u8"表*"), false, true, {1, 0x8002}, Sjis(u8"表") + '\0'},
      {"0x2A second byte? none here", Sjis(u8"ｱ*ｲ"), false, true, {2, 0x8001, 1}, Sjis(u8"ｱ") + '\0' + Sjis(u8"ｲ") + '\0'},
      {"protected star", "\x80*a*", false, true, {1, 0x8002}, "*a\0"s},
      {"backward: escape follows", Reversed("a\\*b*c"), true, true, {2, 0x8001, 3}, "c\0b*a\0"s},
      {"backward: leading run reversed", Reversed("*ab"), true, true, {1, 0x8002}, "ba\0"s},
      {"backward: double-byte kept", Reversed(Sjis(u8"表*ソ")), true, true, {2, 0x8002, 2},
       Sjis(u8"ソ") + '\0' + Sjis(u8"表") + '\0'},
      {"a NUL ends the pattern", "ab\0*"s, false, false, {}, ""},
  };
  for (const auto& c : cases) {
    const auto compiled = qv::CreateWildcardString(c.pattern, false, c.backward);
    ASSERT_EQ(compiled.has_value(), c.compiled) << c.name;
    if (!compiled) continue;
    EXPECT_EQ(compiled->words, c.words) << c.name;
    EXPECT_EQ(compiled->text, c.text) << c.name;
  }
}

TEST(CreateWildcardString, ProblemCharactersStayLiteralAfterFolding) {
  std::string pattern = Sjis(u8"＊ａ？＊");
  qv::CnvWildProblemChar(pattern);
  EXPECT_EQ(pattern, "\x80*" + Sjis(u8"ａ") + "\x80?" + "\x80*");
  pattern.resize(qv::FoldText(pattern, {}).length);
  EXPECT_EQ(pattern, "\x80*a\x80?\x80*");
  EXPECT_FALSE(qv::CreateWildcardString(pattern, false, false).has_value());
  pattern.resize(qv::DeleteEscapeChar(pattern));
  EXPECT_EQ(pattern, "*a?*");
}

TEST(DeleteEscapeChar, TakesEscapesOut) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"a\\*b\\\\c", "a*b\\c"},
      {"a\\", "a\\"},
      {Sjis(u8"\\表"), Sjis(u8"表")},
      {Sjis(u8"表\\"), Sjis(u8"表\\")},  // 表's own 0x5C is no escape; a final "\\" stands for itself
      {"\x80*x", "*x"},
      {"\x80y", "\x80y"},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    s.resize(qv::DeleteEscapeChar(s));
    EXPECT_EQ(s, c.out) << Utf8(c.in);
  }
}

struct Delimiters {
  std::unique_ptr<std::array<std::uint8_t, qv::kDelimiterTableSize>> t =
      std::make_unique<std::array<std::uint8_t, qv::kDelimiterTableSize>>();
  Delimiters() { qv::BuildSearchDelimiters(*t, "", ""); }
};

struct MatchCase {
  const char* name;
  std::string pattern, line;
  std::size_t start;
  std::uint8_t options;
  bool found;
  std::size_t at, length;
};

std::string Folded(std::string s) {
  qv::CnvWildProblemChar(s);
  s.resize(qv::FoldText(s, {}).length);
  return s;
}

TEST(MatchWildcardInLine, TableOfCases) {
  const Delimiters delimiters;
  constexpr std::uint8_t C = qv::kSearchCase, S = qv::kSearchShortest, F = qv::kSearchFuzzy,
                         L = qv::kSearchLeftWord, R = qv::kSearchRightWord;
  const MatchCase cases[] = {
      {"longest", "a*c", "abcabc", 0, C, true, 0, 6},
      {"shortest", "a*c", "abcabc", 0, C | S, true, 0, 3},
      {"from a start column", "a*c", "abcabc", 1, C, true, 3, 3},
      {"leading run, longest", "*c", "abcabc", 0, C, true, 0, 6},
      {"leading run, shortest", "*c", "abcabc", 0, C | S, true, 0, 3},
      {"trailing run to the end", "b*", "abcabc\r\n", 0, C, true, 1, 5},
      {"a lone run", "*", "abc\r\n", 1, C, true, 1, 2},
      {"a lone run on nothing", "*", "abc\r\n", 3, C, false, 0, 0},
      {"CR LF is not searched", "c*\n", "abc\r\n", 0, C, false, 0, 0},
      {"one double-byte character", "a?c", Sjis(u8"a表c"), 0, C, true, 0, 4},
      {"? takes a whole character", "?", Sjis(u8"表"), 0, C, true, 0, 2},
      {"no hit on a second byte", "\\\\*", Sjis(u8"表x\\y"), 0, C, true, 3, 2},
      {"three segments", "a*b*c", "aXbYc", 0, C, true, 0, 5},
      {"segments out of order", "a*b*c", "aXcYb", 0, C, false, 0, 0},
      {"the runs retry", "a*b*c", "abXbYc", 0, C | S, true, 0, 6},
      {"case folded", "ab*", "xAB", 0, 0, true, 1, 2},
      {"case kept", "ab*", "xAB", 0, C, false, 0, 0},
      {"fuzzy kana", Folded(Sjis(u8"カ*タ")), Sjis(u8"かいた"), 0, C | F, true, 0, 6},
      {"fuzzy ? over a voiced kana", Folded(Sjis(u8"ｶ?")), Sjis(u8"xが"), 0, C | F, true, 1, 2},
      {"fuzzy hit ending inside a character", Folded(Sjis(u8"x*カ")), Sjis(u8"xが"), 0, C | F, false, 0, 0},
      {"fuzzy start column mapped", Folded(Sjis(u8"ア*")), Sjis(u8"アいア"), 2, C | F, true, 4, 2},
      {"fuzzy protected star", Folded(Sjis(u8"＊*")), Sjis(u8"a＊b"), 0, C | F, true, 1, 3},
      {"left word", "ab*", "xab ab", 0, C | L, true, 4, 2},
      {"right word, shortest", "a*c", "abcd ac", 0, C | S | R, true, 5, 2},
      {"right word, longest", "a*c", "abcd ac", 0, C | R, true, 0, 7},
      {"past the end", "a*", "ab", 2, C, false, 0, 0},
  };
  for (const MatchCase& c : cases) {
    const auto compiled = qv::CreateWildcardString(c.pattern, (c.options & S) != 0, false);
    ASSERT_TRUE(compiled.has_value()) << c.name;
    const auto hit = qv::MatchWildcardInLine(qv::View(*compiled), c.line, c.start, c.options, delimiters.t->data());
    ASSERT_EQ(hit.has_value(), c.found) << c.name;
    if (!hit) continue;
    EXPECT_EQ(hit->start, c.at) << c.name;
    EXPECT_EQ(hit->length, c.length) << c.name;
  }
}

// Searching upward: the reversed pattern over the reversed line, the hit
// turned back into the unreversed line.
TEST(MatchWildcardInLine, BackwardOnReversedText) {
  const std::string line = Sjis(u8"表abcソabc");
  const auto compiled = qv::CreateWildcardString(Reversed("a*c"), true, true);
  ASSERT_TRUE(compiled.has_value());
  const std::string reversed = Reversed(line);
  const auto hit = qv::MatchWildcardInLine(qv::View(*compiled), reversed, 0, qv::kSearchCase | qv::kSearchShortest,
                                           nullptr);
  ASSERT_TRUE(hit.has_value());
  const std::size_t begin = line.size() - hit->start - hit->length;
  EXPECT_EQ(line.substr(begin, hit->length), "abc");
  EXPECT_EQ(begin, 7u);
}

// A 15,000-byte line with many runs and segments that almost match: the work
// stays within a few passes over the line per segment, in both modes.
TEST(MatchWildcardInLine, WorkIsBoundedOnLongLines) {
  const std::string line(15000, 'a');
  std::string literal, anyChars;
  for (int i = 0; i < 40; ++i) literal += "a*", anyChars += "?a*";
  literal += "b";
  anyChars += "?b";
  const auto started = std::chrono::steady_clock::now();
  for (const std::string& pattern : {literal, anyChars}) {
    const auto compiled = qv::CreateWildcardString(pattern, false, false);
    ASSERT_TRUE(compiled.has_value());
    const std::size_t segments = compiled->words[0];
    for (std::uint8_t options : {qv::kSearchCase, static_cast<std::uint8_t>(qv::kSearchCase | qv::kSearchShortest)}) {
      qv::WildcardWork work;
      EXPECT_FALSE(qv::MatchWildcardInLine(qv::View(*compiled), line, 0, options, nullptr, &work).has_value());
      EXPECT_LT(work.steps, 8 * segments * line.size()) << pattern.size() << " " << int(options);
      // With the last segment present, the first start gives the match.
      const std::string hitLine = line + "b";
      work = {};
      const auto hit = qv::MatchWildcardInLine(qv::View(*compiled), hitLine, 0, options, nullptr, &work);
      ASSERT_TRUE(hit.has_value());
      EXPECT_EQ(hit->start, 0u);
      EXPECT_EQ(hit->length, hitLine.size());
      EXPECT_LT(work.steps, 8 * segments * hitLine.size());
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

// Compiled words that do not fit their text, or no segments, match nothing.
TEST(MatchWildcardInLine, MalformedCompiledFormsMatchNothing) {
  const std::string text = "ab\0"s;
  const std::vector<std::vector<std::uint16_t>> forms = {{}, {0}, {2, 0x8001}, {1, 0x8009}};
  for (const auto& words : forms)
    EXPECT_FALSE(qv::MatchWildcardInLine({words, text}, "ab ab", 0, qv::kSearchCase, nullptr).has_value());
}

}  // namespace

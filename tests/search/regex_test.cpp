// The regular-expression syntax, its errors and its Shift-JIS rules, each
// case run through both paths (filters with the Pike VM, the Pike VM alone)
// and, for one-line texts, through the line-by-line matcher.
#include "search/regex.h"

#include <gtest/gtest.h>

#include <string>

#include "base/host.h"
#include "search/regex_program.h"

namespace gs = gorvane::search;
using gorvane::base::Sjis;

namespace {

std::string Span(const gs::RegexMatch& m) {
  if (!m.found) return "-";
  if (m.start.line == m.end.line && m.start.line.value == 1)
    return std::to_string(m.start.col) + "," + std::to_string(m.end.col);
  return std::to_string(m.start.line.value) + ":" + std::to_string(m.start.col) + "-" +
         std::to_string(m.end.line.value) + ":" + std::to_string(m.end.col);
}

// The match as "start,end" (or "line:col-line:col" beyond line 1), "-" for
// none, "error N" for a pattern refused at character N; both paths must agree.
std::string Find(const std::string& pattern, const std::string& text, bool distinguishCase = true, int from = 0,
                 bool inclusive = true) {
  gs::RegexError error;
  auto re = gs::Regex::Compile(pattern, distinguishCase, &error);
  if (!re) return "error " + std::to_string(error.position);
  gs::RegexMatch full, pike;
  EXPECT_TRUE(gs::SearchText(*re, text, from, inclusive, &full, &error));
  EXPECT_TRUE(gs::SearchText(*re, text, from, inclusive, &pike, &error, true));
  EXPECT_EQ(Span(full), Span(pike)) << pattern;
  // Line by line (a text of one line searched whole): whether it holds a match.
  if (from == 0 && inclusive && text.find_first_of("\r\n") == std::string::npos) {
    EXPECT_EQ(gs::LineMatcher(*re, nullptr).Matches(text), full.found) << pattern;
  }
  return Span(full);
}

struct Case {
  const char8_t* pattern;
  const char8_t* text;
  const char* expected;
};

void RunTable(const std::vector<Case>& cases, bool distinguishCase) {
  for (const Case& c : cases)
    EXPECT_EQ(Find(Sjis(c.pattern), Sjis(c.text), distinguishCase), c.expected)
        << gorvane::base::Utf8(Sjis(c.pattern)) << " in " << gorvane::base::Utf8(Sjis(c.text));
}

TEST(RegexSyntax, OperatorsQuantifiersAndClasses) {
  RunTable({{u8"abc", u8"xabcx", "1,4"},
            {u8"a|ab", u8"ab", "0,1"},  // leftmost-first, not longest
            {u8"ab|a", u8"ab", "0,2"},
            {u8"a*", u8"baaa", "0,0"},
            {u8"a+", u8"baaa", "1,4"},
            {u8"a+?", u8"baaa", "1,2"},
            {u8"a??b", u8"ab", "0,2"},
            {u8"a{2}", u8"aaaa", "0,2"},
            {u8"a{2,}", u8"aaaaa", "0,5"},
            {u8"a{1,3}?", u8"aaaa", "0,1"},
            {u8"x{2,3}y", u8"xxxxy", "1,5"},
            {u8"a{,2}", u8"a{,2}", "0,5"},  // not a count: itself
            {u8"a{2", u8"a{2", "0,3"},
            {u8"(a|aa)*b", u8"aaab", "0,4"},
            {u8"(a*)*b", u8"aab", "0,3"},
            {u8"^b", u8"ab", "-"},
            {u8"b$", u8"ab", "1,2"},
            {u8"^$", u8"", "0,0"},
            {u8"[a-c]+", u8"xxbcay", "2,5"},
            {u8"[^a-c]+", u8"abxyc", "2,4"},
            {u8"[]a]+", u8"x]a]", "1,4"},
            {u8"[a-]+", u8"x-a-", "1,4"},
            {u8"[\\d_]+", u8"a1_2", "1,4"},
            {u8"[\\]]", u8"a]", "1,2"},
            {u8"\\d+", u8"ab123", "2,5"},
            {u8"\\w+", u8" foo_1 ", "1,6"},
            {u8"\\s+", u8"a \t b", "1,4"},
            {u8"\\D+", u8"12ab3", "2,4"},
            {u8"\\W", u8"ab-", "2,3"},
            {u8"\\S+", u8"  ab ", "2,4"},
            {u8"a\\.b", u8"axb a.b", "4,7"},
            {u8"\\t", u8"a\tb", "1,2"},
            {u8"\\x41", u8"zA", "1,2"},
            {u8"(?:ab)+", u8"ababa", "0,4"},
            {u8"a.c", u8"abc", "0,3"},
            {u8"", u8"abc", "0,0"},
            {u8"a|", u8"b", "0,0"},
            {u8"()", u8"b", "0,0"}},
           true);
}

TEST(RegexSyntax, CaseFoldsAsciiLettersOnly) {
  RunTable({{u8"ABC", u8"xabc", "1,4"},
            {u8"[a-c]+", u8"xABC", "1,4"},
            {u8"[^a]", u8"Ab", "1,2"},
            {u8"\\x61", u8"A", "0,1"},
            // The trail byte of ア (83 41) is an "A" byte and of ソ (83 5C) a backslash.
            {u8"a", u8"ア", "-"},
            {u8"[@-z]", u8"アソ", "-"}},
           false);
  EXPECT_EQ(Find("ABC", "abc", true), "-");
}

TEST(RegexSyntax, DoubleByteCharactersAreWhole) {
  RunTable({{u8"ソ", u8"アソ", "2,4"},
            {u8"\\\\", u8"ソ表\\", "4,5"},  // 83 5C and 95 5C hold no backslash
            {u8"[\\\\]", u8"ソ表\\", "4,5"},
            {u8"\\\\", u8"ソ表", "-"},
            {u8"A", u8"ア", "-"},
            {u8"@", u8"\u3000@", "2,3"},  // the trail of the full-width space 81 40
            {u8"[@-~]+", u8"ア表ソ", "-"},
            {u8"[ぁ-ん]+", u8"カタかなab", "4,8"},
            {u8"[ァ-ヶ]+", u8"ひらカタ", "4,8"},
            {u8"[０-９]+", u8"ab１２3", "2,6"},
            {u8"[^あ]", u8"あい", "2,4"},
            {u8"[^a]", u8"漢", "0,2"},
            {u8".", u8"漢a", "0,2"},
            {u8"..", u8"漢字", "0,4"},
            {u8"^.$", u8"漢", "0,2"},
            {u8"a.b", u8"a漢b", "0,4"},
            {u8"漢+", u8"漢漢字", "0,4"},
            {u8"漢{2}", u8"漢漢漢", "0,4"},
            {u8"(漢|字)+", u8"ab字漢", "2,6"},
            {u8"\\漢", u8"漢", "0,2"},
            {u8"ｱ+", u8"ｱｱア", "0,2"},  // half-width kana are single bytes
            {u8"\\w", u8"漢a", "2,3"}},
           true);
  // A lead byte without its trail byte is a character of its own.
  EXPECT_EQ(Find(".", "a\x81"), "0,1");
  EXPECT_EQ(Find(".", "a\x81", true, 1), "1,2");
  EXPECT_EQ(Find(".", "\x81" "a"), "0,2");  // "a" is a trail byte: one character
  EXPECT_EQ(Find("..", "\x81" "a"), "-");
  EXPECT_EQ(Find("\\x81\\x20", "\x81 "), "0,2");
  EXPECT_EQ(Find("\\x81", Sjis(u8"\u3000")), "-");
}

TEST(RegexSyntax, NoMatchBeginsOnATrailByte) {
  // ソ is 83 5C: searching from its trail byte begins at the next character.
  EXPECT_EQ(Find("\\\\|x", Sjis(u8"ソx"), true, 1), "2,3");
  EXPECT_EQ(Find("", Sjis(u8"ソ"), true, 1), "2,2");
  EXPECT_EQ(Find("[\\x5C]", Sjis(u8"ソ\\")), "2,3");
}

TEST(RegexSyntax, WordEdges) {
  RunTable({{u8"\\babc", u8"xabc", "-"},
            {u8"\\babc", u8"x abc", "2,5"},
            {u8"\\babc", u8"(abc", "1,4"},
            {u8"\\babc", u8"abc", "0,3"},
            {u8"abc\\b", u8"abcd", "-"},
            {u8"abc\\b", u8"abc漢", "0,3"},  // the width changes
            {u8"\\bカタ", u8"ひらカタ", "4,8"},  // the word class changes
            {u8"カ\\b", u8"カー", "-"},  // katakana goes on with the prolonged sound mark
            {u8"か\\b", u8"かｰ", "-"},
            {u8"ｶ\\b", u8"ｶー", "-"},
            {u8"ｶ\\b", u8"ｶa", "0,1"},
            {u8"漢\\b", u8"漢字", "-"},  // kanji are one class
            {u8"漢\\b", u8"漢、", "0,2"},  // a full-width delimiter
            {u8"\\Bb", u8"ab", "1,2"},
            {u8"\\Bb", u8"b", "-"},
            {u8"a\\B", u8"a b", "-"}},
           true);
}

TEST(RegexSyntax, LineBreaks) {
  EXPECT_EQ(Find("a\\nb", "xa\r\nbx"), "1:1-2:1");
  EXPECT_EQ(Find("a$\\n^b", "a\r\nb"), "1:0-2:1");
  EXPECT_EQ(Find("a.b", "a\r\nb"), "-");
  EXPECT_EQ(Find("a[^x]b", "a\r\nb"), "-");
  EXPECT_EQ(Find("a\\sb", "a\r\nb"), "-");
  EXPECT_EQ(Find("a\\Wb", "a\r\nb"), "-");
  EXPECT_EQ(Find("(a\\n)+", "a\r\na\r\nb"), "1:0-3:0");
  EXPECT_EQ(Find("\\n", "ab"), "-");
  EXPECT_EQ(Find("$", "ab\r\ncd"), "2,2");
}

TEST(RegexSyntax, GroupsAreNumberedByTheirOpeningParenthesis) {
  gs::RegexError error;
  auto re = gs::Regex::Compile("(a(b)?)(c)|(d)", true, &error);
  ASSERT_TRUE(re);
  EXPECT_EQ(re->groups(), 4);
  gs::RegexMatch m;
  ASSERT_TRUE(gs::SearchText(*re, "xac", 0, true, &m, &error));
  ASSERT_TRUE(m.found);
  EXPECT_EQ(std::pair(m.groups[1].start.col, m.groups[1].end.col), std::pair(1, 2));
  EXPECT_FALSE(m.groups[2].set);
  EXPECT_EQ(std::pair(m.groups[3].start.col, m.groups[3].end.col), std::pair(2, 3));
  EXPECT_FALSE(m.groups[4].set);
  // The last iteration of a repeated group is kept.
  re = gs::Regex::Compile("(?:(a)|(b))+", true, &error);
  ASSERT_TRUE(gs::SearchText(*re, "ab", 0, true, &m, &error));
  EXPECT_EQ(m.groups[2].start.col, 1);
  EXPECT_TRUE(m.groups[1].set);
  // Groups past the ninth are not captured.
  re = gs::Regex::Compile("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", true, &error);
  ASSERT_TRUE(re);
  EXPECT_EQ(re->groups(), 9);
  ASSERT_TRUE(gs::SearchText(*re, "abcdefghij", 0, true, &m, &error));
  EXPECT_EQ(m.groups[9].start.col, 8);
  EXPECT_EQ(m.end.col, 10);
}

TEST(RegexSyntax, EmptyMatchAtTheStartIsRefusedWhenNotInclusive) {
  EXPECT_EQ(Find("a*", "baa", true, 0, false), "1,3");
  EXPECT_EQ(Find("a*", "aab", true, 0, false), "0,2");  // non-empty at the start is fine
  EXPECT_EQ(Find("a*?", "aab", true, 0, false), "0,1");
  EXPECT_EQ(Find("a*", "aab", true, 2, false), "3,3");
  EXPECT_EQ(Find("", Sjis(u8"漢字"), true, 0, false), "2,2");  // the next character, never its trail byte
  EXPECT_EQ(Find("$", "ab\r\ncd", true, 2, false), "2:2-2:2");  // past the line end, not between CR and LF
}

TEST(RegexErrors, PlaceAndKind) {
  struct E {
    const char8_t* pattern;
    int position;
  };
  for (const E& e : std::vector<E>{{u8"(ab", 1},
                                   {u8"ab)", 3},
                                   {u8"a**", 3},
                                   {u8"a*+", 3},
                                   {u8"*a", 1},
                                   {u8"a|?", 3},
                                   {u8"^*", 2},
                                   {u8"(?=a)", 1},
                                   {u8"(?!a)", 1},
                                   {u8"(?<=a)", 1},
                                   {u8"(?<!a)", 1},
                                   {u8"(?i)a", 1},
                                   {u8"(?P<n>a)", 1},
                                   {u8"\\1", 1},
                                   {u8"(a)\\1", 4},
                                   {u8"[\\1]", 2},
                                   {u8"a{1001}", 2},
                                   {u8"a{3,2}", 2},
                                   {u8"[a", 1},
                                   {u8"[]", 1},
                                   {u8"[b-a]", 2},
                                   {u8"[a-\\d]", 2},
                                   {u8"[a-漢]", 2},
                                   {u8"[\\n]", 2},
                                   {u8"\\q", 1},
                                   {u8"\\r", 1},
                                   {u8"\\x0D", 1},
                                   {u8"\\x4", 1},
                                   {u8"a\r", 2},
                                   {u8"ab\\", 3},
                                   {u8"漢字(", 3}}) {
    gs::RegexError error;
    const std::string pattern = Sjis(e.pattern);
    EXPECT_FALSE(gs::Regex::Compile(pattern, true, &error)) << gorvane::base::Utf8(pattern);
    EXPECT_EQ(error.kind, gs::kRegexSyntax) << gorvane::base::Utf8(pattern);
    EXPECT_EQ(error.position, e.position) << gorvane::base::Utf8(pattern);
  }
  gs::RegexError error;
  gs::Regex::Compile("(a)\\1", true, &error);
  EXPECT_EQ(gorvane::base::Utf8(error.message), "正規表現の誤り (4 文字目): 後方参照は使えません");
  gs::Regex::Compile("(?=a)", true, &error);
  EXPECT_EQ(gorvane::base::Utf8(error.message), "正規表現の誤り (1 文字目): 先読み・後読みは使えません");
}

TEST(RegexErrors, LimitsOfNestingAndSize) {
  gs::RegexError error;
  std::string deep = std::string(gs::kMaxNesting, '(') + "a" + std::string(gs::kMaxNesting, ')');
  EXPECT_TRUE(gs::Regex::Compile(deep, true, &error));
  deep = "(" + deep + ")";
  EXPECT_FALSE(gs::Regex::Compile(deep, true, &error));
  EXPECT_EQ(error.kind, gs::kRegexSyntax);
  EXPECT_EQ(error.position, gs::kMaxNesting + 1);
  // Far too deep to parse by recursion: refused all the same.
  EXPECT_FALSE(gs::Regex::Compile(std::string(100000, '('), true, &error));
  EXPECT_EQ(error.kind, gs::kRegexSyntax);
  EXPECT_FALSE(gs::Regex::Compile("(a{1000}){1000}", true, &error));
  EXPECT_EQ(error.kind, gs::kRegexSyntax);
  EXPECT_FALSE(gs::Regex::Compile("[ぁ-ん]{1000}[ァ-ヶ]{1000}", true, &error));
  auto re = gs::Regex::Compile("a{1000}", true, &error);
  ASSERT_TRUE(re);
  EXPECT_LE(re->size(), gs::kMaxProgram);
}

}  // namespace

// Random patterns from a small grammar and random Shift-JIS lines, matched
// here and by Oniguruma in its Shift-JIS mode (a backtracking engine with the
// same leftmost-first rules): the match spans must agree. Skipped where the
// library is not installed (libonig-dev, test-only).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/host.h"
#include "search/regex.h"

#ifdef GV_HAVE_ONIGURUMA
#include "oniguruma_reference.h"
#endif

namespace gs = gorvane::search;

namespace {

#ifdef GV_HAVE_ONIGURUMA

// The characters of the texts: ASCII, a backslash, and double-byte
// characters whose trail bytes are "A", "\" and "@", hiragana, half-width kana.
const std::vector<std::string>& Alphabet() {
  static const std::vector<std::string> chars = [] {
    std::vector<std::string> v = {"a", "b", "c", "A", "\\", "@", " ", "-"};
    for (const char8_t* c : {u8"ア", u8"ソ", u8"表", u8"あ", u8"い", u8"ｱ", u8"漢", u8"\u3000"})
      v.push_back(gorvane::base::Sjis(c));
    return v;
  }();
  return chars;
}

// Patterns of literals, classes, anchors, groups, alternatives and greedy and
// lazy quantifiers. A group that can match the empty string is never
// quantified: engines differ in how an empty iteration ends a loop.
class Grammar {
 public:
  explicit Grammar(std::mt19937& rng) : rng_(rng) {}

  std::string Pattern(int depth, bool* nullable = nullptr) {
    bool n1 = false, n2 = false;
    std::string p = Sequence(depth, &n1);
    if (depth < 2 && Pick(5) == 0) {
      p += "|" + Sequence(depth, &n2);
      n1 = n1 || n2;
    }
    if (nullable != nullptr) *nullable = n1;
    return p;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  std::string Sequence(int depth, bool* nullable) {
    std::string s;
    *nullable = true;
    const int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) {
      bool pieceNullable = false;
      s += Piece(depth, &pieceNullable);
      *nullable = *nullable && pieceNullable;
    }
    return s;
  }

  std::string Piece(int depth, bool* nullable) {
    std::string atom = Atom(depth, nullable);
    if (*nullable) return atom;  // anchors and groups that may be empty stay as they are
    static const char* const quantifiers[] = {"", "", "", "*", "+", "?", "*?", "+?", "??", "{1,2}", "{2}", "{0,2}?"};
    const std::string q = quantifiers[Pick(12)];
    *nullable = q.find_first_of("*?") != std::string::npos || q == "{0,2}?";
    if (q == "+" || q == "+?") *nullable = false;
    return atom + q;
  }

  std::string Atom(int depth, bool* nullable) {
    static const std::vector<std::string> atoms = [] {
      std::vector<std::string> v = {"a", "b", "A", "\\\\", "@", ".", "[ab]", "[^a]", "[a-c]", "^", "$", " "};
      for (const char8_t* c : {u8"ア", u8"ソ", u8"表", u8"あ", u8"ｱ", u8"漢", u8"[ぁ-ん]", u8"[ァ-ヶ]", u8"[^あ]",
                               u8"[ソ表]"})
        v.push_back(gorvane::base::Sjis(c));
      return v;
    }();
    if (depth < 3 && Pick(5) == 0) return (Pick(2) ? "(" : "(?:") + Pattern(depth + 1, nullable) + ")";
    const std::string& a = atoms[static_cast<std::size_t>(Pick(static_cast<int>(atoms.size())))];
    *nullable = a == "^" || a == "$";
    return a;
  }

  std::mt19937& rng_;
};

TEST(OnigurumaDifferential, RandomPatternsOnRandomShiftJisLines) {
  OnigurumaSession onig;
  std::mt19937 rng(20261211);
  Grammar grammar(rng);
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string pattern = grammar.Pattern(0);
    const bool distinguishCase = round % 3 != 0;
    gs::RegexError error;
    auto re = gs::Regex::Compile(pattern, distinguishCase, &error);
    ASSERT_TRUE(re) << gorvane::base::Utf8(pattern) << ": " << gorvane::base::Utf8(error.message);
    gs::LineMatcher lines(*re, nullptr);  // one for all the lines: its DFA states carry over
    for (int t = 0; t < 6; ++t) {
      std::string text;
      const int length = std::uniform_int_distribution<int>(0, 12)(rng);
      for (int i = 0; i < length; ++i)
        text += Alphabet()[std::uniform_int_distribution<std::size_t>(0, Alphabet().size() - 1)(rng)];
      const std::string theirs = OnigFind(pattern, text, distinguishCase);
      if (theirs == "refused") break;  // e.g. a quantified group of anchors: we take it, it does not
      gs::RegexMatch m;
      ASSERT_TRUE(gs::SearchText(*re, text, 0, true, &m, &error));
      const std::string ours = m.found ? std::to_string(m.start.col) + "," + std::to_string(m.end.col) : "-";
      ASSERT_EQ(ours, theirs) << "/" << gorvane::base::Utf8(pattern) << "/ on \"" << gorvane::base::Utf8(text) << "\""
                              << (distinguishCase ? "" : " without case");
      EXPECT_EQ(lines.Matches(text), m.found) << "/" << gorvane::base::Utf8(pattern) << "/ line by line on \""
                                              << gorvane::base::Utf8(text) << "\"";
      ++compared;
    }
  }
  EXPECT_GT(compared, 15000);
}

#else

TEST(OnigurumaDifferential, RandomPatternsOnRandomShiftJisLines) {
  GTEST_SKIP() << "Oniguruma (libonig-dev) is not installed";
}

#endif

}  // namespace

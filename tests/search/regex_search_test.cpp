// Searching through lines: the scope, going on after a match, the time
// limit, and the work the search does (the filters, linear time).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/automaton.h"
#include "search/regex.h"
#include "support/text_lines.h"

namespace gs = gorvane::search;
namespace doc = gorvane::document;

namespace {

std::unique_ptr<gs::Regex> Compile(const std::string& pattern) {
  gs::RegexError error;
  auto re = gs::Regex::Compile(pattern, true, &error);
  EXPECT_TRUE(re) << pattern << ": " << error.message;
  return re;
}

std::string At(gs::TextPoint p) { return std::to_string(p.line.value) + ":" + std::to_string(p.col); }

// Every match from the start, going on as the editor does: after a non-empty
// match from its end (inclusive), after an empty one from its place (not).
std::vector<std::string> All(const std::string& pattern, const std::vector<std::string>& texts) {
  auto re = Compile(pattern);
  gvtest::TextLines lines(texts);
  std::vector<std::string> found;
  gs::RegexSearch search;
  search.from = {doc::LineNo(1), 0};
  for (int guard = 0; guard < 100; ++guard) {
    gs::RegexMatch m;
    gs::RegexError error;
    EXPECT_TRUE(gs::SearchLines(*re, lines, search, &m, &error));
    if (!m.found) break;
    found.push_back(m.empty() ? At(m.start) : At(m.start) + "-" + At(m.end));
    search.from = m.end;
    search.startInclusive = !m.empty();
  }
  return found;
}

TEST(RegexSearch, GoingOnFindsEveryMatchOnceAndNeverStopsBetweenCrAndLf) {
  using V = std::vector<std::string>;
  EXPECT_EQ(All("a*", {"baaab", "", "x"}), (V{"1:0", "1:1-1:4", "1:4", "1:5", "2:0", "3:0", "3:1"}));
  EXPECT_EQ(All("a|b", {"ab", "ba"}), (V{"1:0-1:1", "1:1-1:2", "2:0-2:1", "2:1-2:2"}));
  EXPECT_EQ(All("$", {"ab", "c"}), (V{"1:2", "2:1"}));
  EXPECT_EQ(All("b\\n", {"ab", "b", "c"}), (V{"1:1-2:0", "2:0-3:0"}));
  EXPECT_EQ(All("\\n", {"", "", ""}), (V{"1:0-2:0", "2:0-3:0"}));
}

TEST(RegexSearch, ScopeEndsAtTheLastLineOrARangeLine) {
  auto re = Compile("x");
  gvtest::TextLines lines({"a", "b", "x", "x"});
  gs::RegexSearch search;
  search.from = {doc::LineNo(1), 0};
  gs::RegexMatch m;
  gs::RegexError error;
  search.last = doc::LineNo(2);
  ASSERT_TRUE(gs::SearchLines(*re, lines, search, &m, &error));
  EXPECT_FALSE(m.found);
  search.last = doc::LineNo(3);
  ASSERT_TRUE(gs::SearchLines(*re, lines, search, &m, &error));
  EXPECT_EQ(At(m.start), "3:0");
  // A range-setting line ends the scope before it; the start line is never asked.
  std::vector<int> asked;
  search.last = {};
  search.endsScopeAt = [&](doc::LineNo n) {
    asked.push_back(n.value);
    return n.value == 3;
  };
  ASSERT_TRUE(gs::SearchLines(*re, lines, search, &m, &error));
  EXPECT_FALSE(m.found);
  EXPECT_EQ(asked, (std::vector<int>{2, 3}));
  // A match may not run on into a line past the scope.
  auto across = Compile("b\\nx");
  ASSERT_TRUE(gs::SearchLines(*across, lines, search, &m, &error));
  EXPECT_FALSE(m.found);
  search.endsScopeAt = {};
  ASSERT_TRUE(gs::SearchLines(*across, lines, search, &m, &error));
  EXPECT_EQ(At(m.start) + "-" + At(m.end), "2:0-3:1");
  // A start past the line's text begins at its end; one inside a character at its next one.
  search.from = {doc::LineNo(1), 7};
  auto end = Compile("$");
  ASSERT_TRUE(gs::SearchLines(*end, lines, search, &m, &error));
  EXPECT_EQ(At(m.start), "1:1");
}

class StepClock final : public gorvane::base::Clock {
 public:
  std::int64_t NowMs() const override { return now += 1000; }
  mutable std::int64_t now = 0;
};

TEST(RegexSearch, TimeLimit) {
  auto re = Compile("(a|aa)*b");
  gvtest::TextLines lines(std::vector<std::string>(2000, std::string(200, 'a')));
  StepClock clock;
  gs::RegexSearch search;
  search.from = {doc::LineNo(1), 0};
  search.clock = &clock;
  search.deadlineMs = 5000;
  gs::RegexMatch m;
  gs::RegexError error;
  EXPECT_FALSE(gs::SearchLines(*re, lines, search, &m, &error));
  EXPECT_EQ(error.kind, gs::kRegexTimeout);
  EXPECT_FALSE(m.found);
  EXPECT_GE(clock.now, 5000);
  EXPECT_LT(clock.now, 20000);  // it stopped soon after the deadline
  search.clock = nullptr;
  EXPECT_TRUE(gs::SearchLines(*re, lines, search, &m, &error));
  EXPECT_FALSE(m.found);
}

// The hard cases for backtracking engines, on a 15,000-byte line: the Pike VM
// moves at most one thread per instruction and byte, and the DFA passes over
// the line without it.
TEST(RegexSearch, TimeIsLinearInTheText) {
  const std::string line(15000, 'a');
  for (const char* pattern : {"(a|aa)*b", "(a*)*b", "(.*){10}x", "(a?){30}a{30}b", "(?:a+)+$b"}) {
    auto re = Compile(pattern);
    for (bool pikeOnly : {true, false}) {
      gs::RegexStats stats;
      gs::RegexMatch m;
      gs::RegexError error;
      ASSERT_TRUE(gs::SearchText(*re, line, 0, true, &m, &error, pikeOnly, &stats));
      EXPECT_FALSE(m.found) << pattern;
      EXPECT_LE(stats.pikeSteps, std::int64_t(line.size() + 1) * re->size()) << pattern;
      if (!pikeOnly) {
        EXPECT_EQ(stats.pikeLines, 0) << pattern;
        EXPECT_LT(stats.dfaStates, 200) << pattern;
      }
    }
  }
  // Found at the end after the whole line: still one pass.
  auto re = Compile("(a|aa)*$");
  gs::RegexStats stats;
  gs::RegexMatch m;
  gs::RegexError error;
  ASSERT_TRUE(gs::SearchText(*re, line, 0, true, &m, &error, false, &stats));
  EXPECT_EQ(m.end.col, 15000);
  EXPECT_LE(stats.pikeSteps, std::int64_t(line.size() + 1) * re->size());
}

TEST(RegexSearch, OnlyTheLineThatMayMatchIsRunOnThePikeVm) {
  std::vector<std::string> texts(1000, "the quick brown fox 12 jumps");
  texts.back() = "the quick brown fox 123 leaps";
  gvtest::TextLines lines(texts);
  struct Want {
    const char* pattern;
    bool literal;
  };
  for (const Want& w : {Want{"fox 123", true}, Want{"\\d{3}", false}, Want{"[0-9]+ leaps", true},
                        Want{"(?:x|y) \\d\\d\\d", false}}) {
    auto re = Compile(w.pattern);
    gs::RegexSearch search;
    search.from = {doc::LineNo(1), 0};
    gs::RegexStats stats;
    gs::RegexMatch m;
    gs::RegexError error;
    ASSERT_TRUE(gs::SearchLines(*re, lines, search, &m, &error, &stats));
    EXPECT_EQ(At(m.start).substr(0, 5), "1000:") << w.pattern;
    EXPECT_EQ(stats.pikeLines, 1) << w.pattern;
    EXPECT_EQ(stats.linesRead, 1000) << w.pattern;
    EXPECT_EQ(stats.prefilterSkips, w.literal ? 999 : 0) << w.pattern;
    EXPECT_EQ(stats.dfaSkips, w.literal ? 0 : 999) << w.pattern;
  }
}

TEST(Automaton, SearchSelectionAndGroups) {
  gvtest::TextLines lines({"int main(void)", "{", "  return 0;", "}"});
  gs::RegexError error;
  auto a = gs::InitAndCreateAutomaton("(\\w+)\\((\\w*)\\)\\n\\{", -1, {}, &error);
  ASSERT_TRUE(a);
  gs::RegexSelection found;
  ASSERT_EQ(gs::RegularExpression(*a, lines, doc::CaretCol(1), doc::LineNo(1), true, false, {}, &found, &error), 1);
  EXPECT_EQ(found.flags, gs::kRegexFound | gs::kRegexGoesOn);
  EXPECT_TRUE(found.selection.exists);
  EXPECT_EQ(found.selection.anchorLine.value, 1);
  EXPECT_EQ(found.selection.anchorCol.value, 4);
  EXPECT_EQ(found.selection.otherLine.value, 2);
  EXPECT_EQ(found.selection.otherCol.value, 0);
  auto data = gs::GetRegExpEnData(*a, lines);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->count, 2);
  EXPECT_EQ(data->groups[0].text, "main(void)\r\n{");
  EXPECT_EQ(data->groups[1].text, "main");
  EXPECT_EQ(data->groups[2].text, "void");
  EXPECT_FALSE(data->groups[3].set);
  gs::ReleaseRegExpEnData(data);
  EXPECT_FALSE(data);

  // A match that ends with its line break ends on that line's LF.
  auto b = gs::InitAndCreateAutomaton("N\\(VOID\\)\\n", 0, {}, &error);
  ASSERT_TRUE(b);
  ASSERT_EQ(gs::RegularExpression(*b, lines, doc::CaretCol(1), doc::LineNo(1), true, false, {}, &found, &error), 1);
  EXPECT_EQ(found.selection.otherLine.value, 1);
  EXPECT_EQ(found.selection.otherCol.value, 15);
  // Nothing past the caret.
  ASSERT_EQ(gs::RegularExpression(*b, lines, doc::CaretCol(9), doc::LineNo(1), true, false, {}, &found, &error), 1);
  EXPECT_EQ(found.flags, 0u);
  EXPECT_FALSE(gs::GetRegExpEnData(*b, lines));
  gs::FreeAutomaton(b);
  EXPECT_FALSE(b);
}

TEST(Automaton, EmptyMatchesRangesAndFailures) {
  gvtest::TextLines lines({"ab", "cd", "ef"});
  gs::RegexError error;
  auto a = gs::InitAndCreateAutomaton("^", -1, {}, &error);
  gs::RegexSelection found;
  ASSERT_EQ(gs::RegularExpression(*a, lines, doc::CaretCol(2), doc::LineNo(1), true, false, {}, &found, &error), 1);
  EXPECT_EQ(found.flags, gs::kRegexEmpty);
  EXPECT_FALSE(found.selection.exists);
  EXPECT_EQ(found.selection.anchorLine.value, 2);
  EXPECT_EQ(found.selection.anchorCol.value, 0);
  // After an empty match the next search from its place, not inclusive, moves on.
  ASSERT_EQ(gs::RegularExpression(*a, lines, doc::CaretCol(1), doc::LineNo(2), false, false, {}, &found, &error), 1);
  EXPECT_EQ(found.selection.anchorLine.value, 3);
  // Within the range: line 3 sets a range and ends the caret's.
  auto isRange = [](doc::LineNo n) { return n.value == 3; };
  ASSERT_EQ(gs::RegularExpression(*a, lines, doc::CaretCol(1), doc::LineNo(2), false, true, isRange, &found, &error), 1);
  EXPECT_EQ(found.flags, 0u);
  // Refused patterns and the time limit.
  EXPECT_FALSE(gs::InitAndCreateAutomaton("(?=x)", -1, {}, &error));
  EXPECT_EQ(error.kind, gs::kRegexSyntax);
  StepClock clock;
  gs::AutomatonSettings settings;
  settings.clock = &clock;
  settings.timeoutSeconds = 0;  // counts as 3
  gvtest::TextLines big(std::vector<std::string>(3000, std::string(100, 'a')));
  auto slow = gs::InitAndCreateAutomaton("(a|aa)*b", 0, settings, &error);
  EXPECT_EQ(gs::RegularExpression(*slow, big, doc::CaretCol(1), doc::LineNo(1), true, false, {}, &found, &error), 0);
  EXPECT_EQ(error.kind, gs::kRegexTimeout);
  EXPECT_EQ(found.flags, 0u);
}

}  // namespace

// Brackets at a column and their partners, written as texts with markers:
// "^" before the bracket at the caret, "@" before the expected partner (none:
// no partner).
#include "document/brackets.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/host.h"
#include "support/marked_text.h"
#include "support/position_printers.h"

namespace doc = gorvane::document;
using doc::CaretCol;
using doc::LineNo;
using doc::TextPos;
using gorvane::shell::Sjis;

namespace {

TEST(BracketAt, OnlySingleByteBrackets) {
  struct {
    std::string line;
    int column;
    bool bracket;
  } cases[] = {
      {"(", 1, true},   {"a)", 2, true},  {"[]", 2, true},  {"{}", 1, true},  {"a)", 1, false},
      {"()", 3, false}, {"()", 0, false}, {"x\r\n", 2, false},
      {Sjis(u8"ゼ"), 2, false},   // 0x83 0x5B: its trail byte is "["
      {Sjis(u8"ボ}"), 2, false},  // 0x83 0x7B, then "}" at column 3
      {Sjis(u8"ボ}"), 3, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(doc::BracketAt(c.line, CaretCol(c.column)), c.bracket) << gorvane::shell::Utf8(c.line) << " " << c.column;
}

TEST(FindMatchingBracket, NestsAndStepsOverDoubleByteCharacters) {
  const std::u8string_view cases[] = {
      u8"^(a(b)c@)d)",
      u8"(@(a(b)c^)d",               // a closing bracket looks backwards
      u8"^[(@])",                    // other kinds do not nest
      u8"^{\n  x{}\n@}",             // across lines
      u8"@{\n{}\n  ^}",
      u8"^[ゼ@]",                    // the trail byte "[" of ゼ does not nest
      u8"@{ボ^}",                    // nor that "{" of ボ backwards
      u8"^(abc\n(",                  // no partner
      u8"x^y)",                      // no bracket at the caret
  };
  for (std::u8string_view c : cases) {
    const gvtest::MarkedText m = gvtest::ParseMarked(c, u8"^@");
    SCOPED_TRACE(gorvane::shell::Utf8(m.lines[0]));
    gvtest::TextLines lines = m.Source();
    const auto got = doc::FindMatchingBracket(lines, m.At('^'), doc::kBracketSearchLines);
    if (!m.Has('@')) {
      EXPECT_FALSE(got.has_value());
      continue;
    }
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->at, m.At('^'));
    EXPECT_EQ(got->partner, m.At('@'));
  }
}

TEST(FindMatchingBracket, SearchesAtMostTheLineLimit) {
  // The partner on line 4: found with four lines searched, not with three.
  gvtest::TextLines down({"x", "(", "", "", ")"});
  EXPECT_TRUE(doc::FindMatchingBracket(down, {LineNo(2), CaretCol(1)}, 4).has_value());
  EXPECT_FALSE(doc::FindMatchingBracket(down, {LineNo(2), CaretCol(1)}, 3).has_value());
  down.reads = 0;
  EXPECT_FALSE(doc::FindMatchingBracket(down, {LineNo(5), CaretCol(1)}, 2).has_value());
  EXPECT_EQ(down.reads, 2);
  // Under one: the bracket's own line only.
  gvtest::TextLines one({"()", ")"});
  EXPECT_TRUE(doc::FindMatchingBracket(one, {LineNo(1), CaretCol(1)}, 0).has_value());
  EXPECT_FALSE(doc::FindMatchingBracket(one, {LineNo(2), CaretCol(1)}, 1).has_value());
}

TEST(FindMatchingBracket, IgnoredBracketsDoNotCount) {
  // The brackets between the quotes are in a string.
  const gvtest::MarkedText m = gvtest::ParseMarked(u8"^(\")(\"@)\n\"(\"", u8"^@");
  std::set<TextPos> asked;
  auto inString = [&](TextPos p) {
    asked.insert(p);
    return p.column.value == 3 || p.column.value == 4 || p.line.value == 2;
  };
  gvtest::TextLines lines = m.Source();
  const auto got = doc::FindMatchingBracket(lines, m.At('^'), doc::kBracketSearchLines, inString);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->partner, m.At('@'));
  EXPECT_EQ(asked.count(m.At('^')), 0u);  // never asked about the bracket it starts from
}

}  // namespace

// Word moves and the word around a byte, written as texts with markers:
// "^" is the caret (or the clicked byte), "[" and "]" enclose the expected
// word.
#include "document/word_moves.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/host.h"
#include "support/marked_text.h"
#include "support/position_printers.h"

namespace doc = gorvane::document;
using doc::CaretCol;
using doc::LineNo;
using doc::SelCol;
using doc::TextPos;

namespace {

struct Move {
  std::u8string_view from, to;
};

void ExpectMoves(const Move* begin, const Move* end, bool forward) {
  for (const Move* m = begin; m != end; ++m) {
    const gvtest::MarkedText from = gvtest::ParseMarked(m->from), to = gvtest::ParseMarked(m->to);
    SCOPED_TRACE(gorvane::shell::Utf8(from.lines[0]));
    ASSERT_EQ(from.lines, to.lines) << "the case's texts differ";
    gvtest::TextLines lines = from.Source();
    const auto& table = doc::DelimiterTable::Default();
    const TextPos got = forward ? doc::NextWordPos(lines, table, from.At('^')) : doc::PreviousWordPos(lines, table, from.At('^'));
    EXPECT_EQ(got, to.At('^'));
  }
}

TEST(WordMoves, Forward) {
  const Move cases[] = {
      {u8"^foo bar", u8"foo^ bar"},               // single-byte characters up to a delimiter
      {u8"^foo_bar9 x", u8"foo_bar9^ x"},         // the underscore is no delimiter
      {u8"foo^ \t bar", u8"foo \t ^bar"},         // spaces and TABs
      {u8"a^===b", u8"a===^b"},                   // a run of one delimiter
      {u8"a^=-b", u8"a=^-b"},                     // ... and only of that one
      {u8"ab^c漢字", u8"abc^漢字"},               // up to a double-byte character
      {u8"^abｱｲ,x", u8"abｱｲ^,x"},                 // half-width katakana are single-byte characters
      {u8"ab^｡｡c", u8"ab｡｡^c"},                   // ... but 0xA1 to 0xA4 are delimiters
      {u8"^漢字かなabc", u8"漢字かな^abc"},       // double-byte characters that are no delimiters
      {u8"^ソソ\\x", u8"ソソ^\\x"},               // a trail byte 0x5C is no backslash
      {u8"漢字^「「」", u8"漢字「「^」"},         // a run of one double-byte delimiter
      {u8"字^　　x", u8"字　　^x"},               // the full-width space is one
      {u8"abc^\n \t def", u8"abc\n \t ^def"},     // at the line end: past the next line's blanks
      {u8"a^\n\nb", u8"a\n^\nb"},                 // to an empty line
      {u8"a^\n  ", u8"a\n  ^"},                   // to a blank line's end
      {u8"x\nabc^", u8"x\nabc^"},                 // the last line's end stays
      {u8"^", u8"^"},
  };
  ExpectMoves(std::begin(cases), std::end(cases), true);
}

TEST(WordMoves, Backward) {
  const Move cases[] = {
      {u8"foo bar^", u8"foo ^bar"},
      {u8"foo \t ^bar", u8"foo^ \t bar"},
      {u8"a===^b", u8"a^===b"},
      {u8"abc漢字^", u8"abc^漢字"},
      {u8"x漢字かな^abc", u8"x^漢字かなabc"},
      {u8"x「「^」", u8"x^「「」"},
      {u8"ソ\\\\^x", u8"ソ^\\\\x"},  // the backslash run ends at ソ, whose trail is 0x5C
      {u8"\\ソソ^", u8"\\^ソソ"},
      {u8"abc\n^def", u8"abc^\ndef"},  // at column 1: the previous line's end
      {u8"^abc", u8"^abc"},            // line 1 stays
  };
  ExpectMoves(std::begin(cases), std::end(cases), false);
}

TEST(WordMoves, StartFromAnyColumnAndLine) {
  gvtest::TextLines lines({gorvane::shell::Sjis(u8"漢字 x"), "ab"});
  const auto& table = doc::DelimiterTable::Default();
  // Inside 漢 counts from its start; past the text is the line end.
  EXPECT_EQ(doc::NextWordPos(lines, table, {LineNo(1), CaretCol(2)}), (TextPos{LineNo(1), CaretCol(5)}));
  EXPECT_EQ(doc::NextWordPos(lines, table, {LineNo(1), CaretCol(40)}), (TextPos{LineNo(2), CaretCol(1)}));
  EXPECT_EQ(doc::PreviousWordPos(lines, table, {LineNo(1), CaretCol(40)}), (TextPos{LineNo(1), CaretCol(6)}));
  // A line beyond the document is its last.
  EXPECT_EQ(doc::PreviousWordPos(lines, table, {LineNo(9), CaretCol(3)}), (TextPos{LineNo(2), CaretCol(1)}));
}

TEST(WordMoves, FollowTheDelimiterSettings) {
  doc::DelimiterTable table;
  table.Compile("-", "");
  gvtest::TextLines lines({"a-b=c"});
  EXPECT_EQ(doc::NextWordPos(lines, table, {LineNo(1), CaretCol(1)}), (TextPos{LineNo(1), CaretCol(2)}));
  EXPECT_EQ(doc::NextWordPos(lines, table, {LineNo(1), CaretCol(3)}), (TextPos{LineNo(1), CaretCol(6)}));
}

TEST(WordAt, SelectsTheRunAroundTheByte) {
  const std::u8string_view cases[] = {
      u8"foo [ba^r] baz",
      u8"[fo^o_bar9]-x",
      u8"foo[ ^\t ]bar",        // spaces and TABs
      u8"a[=^==]-b",            // one delimiter's run
      u8"ab[^、、]。",          // the same for a double-byte one
      u8"[漢^字]かな",          // kanji, not the hiragana after them
      u8"漢字[か^な]カナ",
      u8"[コ^ーヒー]を",        // the prolonged sound mark belongs to the kana word
      u8"[コーヒ^ー]を",
      u8"漢[^ーー]",            // after a kanji it is a word of its own
      u8"[ab^c]漢字",           // width separates
      u8"ab[１２^３]ｃ",        // full-width digits, not the small letter after them
      u8"[ｱｲ^ｳｰ]ab",            // half-width katakana with their prolonged sound mark
      u8"abc^\n",               // the line end: nothing
      u8"abc^",
      u8"^",
  };
  for (std::u8string_view c : cases) {
    const gvtest::MarkedText m = gvtest::ParseMarked(c);
    SCOPED_TRACE(gorvane::shell::Utf8(m.lines[0]));
    const std::string line = m.Source().Line(LineNo(1));
    const auto got = doc::WordAt(line, SelCol(m.Byte('^')));
    if (!m.Has('[')) {
      EXPECT_FALSE(got.has_value());
      continue;
    }
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->first, SelCol(m.Byte('[')));
    EXPECT_EQ(got->second, SelCol(m.Byte(']') - 1));
  }
}

TEST(WordAt, ByteInsideACharacterAndOutsideTheLine) {
  const std::string line = gorvane::shell::Sjis(u8"ab漢字x\r\n");
  EXPECT_EQ(doc::WordAt(line, SelCol(3)), (std::pair{SelCol(2), SelCol(5)}));  // the trail byte of 漢
  EXPECT_EQ(doc::WordAt(line, SelCol(7)), std::nullopt);                      // CR
  EXPECT_EQ(doc::WordAt(line, SelCol(-1)), std::nullopt);
}

}  // namespace

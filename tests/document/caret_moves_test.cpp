#include "document/caret_moves.h"

#include <gtest/gtest.h>

#include "support/position_printers.h"

namespace gorvane::document {
namespace {

// "aあb" in Shift-JIS: a (col 1), あ (cols 2-3), b (col 4), end col 5.
constexpr std::string_view kMixed = "a\x82\xa0" "b\r\n";
// A trail byte that looks like a lead: "ソ" is 0x83 0x5C, then "x".
constexpr std::string_view kSo = "\x83\x5cx";
// A lead byte before a byte that cannot trail it is a character of its own,
// as the text is painted: 0x82, blank, "b".
constexpr std::string_view kLoneLead = "\x82 b";

struct Move {
  std::string_view line;
  int from, next, previous, boundary;
};

TEST(CaretMoves, StepOverWholeCharacters) {
  const Move cases[] = {
      {kMixed, 1, 2, 1, 1},  {kMixed, 2, 4, 1, 2},  {kMixed, 3, 4, 1, 2},  // inside あ: back to its start
      {kMixed, 4, 5, 2, 4},  {kMixed, 5, 5, 4, 5},  {kMixed, 9, 5, 4, 5},  // past the end: the end column
      {kSo, 2, 3, 1, 1},     {kSo, 3, 4, 1, 3},     {kSo, 4, 4, 3, 4},
      {kLoneLead, 1, 2, 1, 1}, {kLoneLead, 2, 3, 1, 2},  {kLoneLead, 3, 4, 2, 3},
      {"", 1, 1, 1, 1},      {"\r\n", 3, 1, 1, 1},  {"\x82", 2, 2, 1, 2},  // a lone lead byte at the end is one byte
  };
  for (const Move& m : cases) {
    SCOPED_TRACE(testing::Message() << "line size " << m.line.size() << " from " << m.from);
    EXPECT_EQ(NextColumn(m.line, CaretCol(m.from)), CaretCol(m.next));
    EXPECT_EQ(PreviousColumn(m.line, CaretCol(m.from)), CaretCol(m.previous));
    EXPECT_EQ(BoundaryColumn(m.line, CaretCol(m.from)), CaretCol(m.boundary));
  }
}

TEST(CaretMoves, TheLineEndIsNotText) {
  EXPECT_EQ(EndColumn("abc\r\n"), CaretCol(4));
  EXPECT_EQ(EndColumn("abc"), CaretCol(4));
  EXPECT_EQ(EndColumn("abc\r"), CaretCol(4));
  EXPECT_EQ(LineText("x\r\n"), "x");
}

}  // namespace
}  // namespace gorvane::document

// The selection's normalised form, what it contains and the bytes it covers
// on each line.
#include "document/selection.h"

#include <gtest/gtest.h>

#include <string>

#include "support/position_printers.h"

namespace doc = gorvane::document;
using doc::LineNo;
using doc::SelCol;
using doc::Selection;

namespace {

Selection Sel(int anchorLine, int anchorCol, int otherLine, int otherCol) {
  return Selection{LineNo(anchorLine), LineNo(otherLine), SelCol(anchorCol), SelCol(otherCol), true};
}

TEST(Selection, NormalisedComparesLinesThenColumns) {
  struct {
    Selection in;
    int startLine, startCol, endLine, endCol;
  } cases[] = {
      {Sel(1, 2, 3, 0), 1, 2, 3, 0},
      {Sel(3, 0, 1, 2), 1, 2, 3, 0},  // the other end above: swapped with its column
      {Sel(2, 0, 1, 5), 1, 5, 2, 0},  // lines first, whatever the columns
      {Sel(1, 5, 1, 2), 1, 2, 1, 5},
  };
  for (const auto& c : cases) {
    const Selection s = c.in.Normalised();
    EXPECT_EQ(s.anchorLine, LineNo(c.startLine));
    EXPECT_EQ(s.anchorCol, SelCol(c.startCol));
    EXPECT_EQ(s.otherLine, LineNo(c.endLine));
    EXPECT_EQ(s.otherCol, SelCol(c.endCol));
    EXPECT_TRUE(s.exists);
  }
}

TEST(Selection, ContainsBothEndsAndSpansLines) {
  const Selection s = Sel(3, 1, 1, 2);
  struct {
    int line, col;
    bool in;
  } cases[] = {{1, 1, false}, {1, 2, true}, {2, 0, true}, {2, 99, true}, {3, 1, true}, {3, 2, false}, {4, 0, false}};
  for (const auto& c : cases) EXPECT_EQ(s.Contains(LineNo(c.line), SelCol(c.col)), c.in) << c.line << " " << c.col;
  EXPECT_TRUE(s.SpansLines());
  EXPECT_FALSE(Sel(2, 0, 2, 4).SpansLines());
  Selection none = s;
  none.exists = false;
  EXPECT_FALSE(none.Contains(LineNo(2), SelCol(0)));
  EXPECT_FALSE(none.SpansLines());
}

TEST(SelectedBytes, PerLine) {
  const std::string lines[] = {"abc\r\n", "defg\r\n", "hi"};
  Selection none = Sel(1, 0, 3, 1);
  none.exists = false;
  struct {
    const char* what;
    Selection s;
    int ranges[3][2];
  } cases[] = {
      {"none", none, {{0, 0}, {0, 0}, {0, 0}}},
      {"inside one line", Sel(1, 1, 1, 2), {{1, 3}, {0, 0}, {0, 0}}},
      {"backwards over two lines", Sel(2, 2, 1, 1), {{1, 5}, {0, 3}, {0, 0}}},
      {"ending on the line's \\n", Sel(1, 0, 1, 4), {{0, 5}, {0, 0}, {0, 0}}},
      {"ending on its \\r: the whole line end", Sel(1, 3, 1, 1), {{1, 5}, {0, 0}, {0, 0}}},
      {"everything", Sel(1, 0, 3, 1), {{0, 5}, {0, 6}, {0, 2}}},
      {"columns past the line", Sel(3, 0, 3, 9), {{0, 0}, {0, 0}, {0, 2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < 3; ++i) {
      const auto [from, to] = doc::SelectedBytes(lines[i], LineNo(i + 1), c.s);
      EXPECT_EQ(from, SelCol(c.ranges[i][0])) << "line " << i + 1;
      EXPECT_EQ(to, SelCol(c.ranges[i][1])) << "line " << i + 1;
    }
  }
}

}  // namespace

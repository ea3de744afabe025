#include "shell/metrics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "charcode/class_tables.h"
#include "shell/host.h"

namespace gorvane::shell {
using gorvane::document::CaretCol;

namespace {

namespace cc = gorvane::charcode;

bool IsLead(std::uint8_t b) { return (cc::kSjisClass[b] & cc::kSjisLead) != 0; }
bool IsTrail(std::uint8_t b) { return (cc::kSjisClass[b] & cc::kSjisTrail) != 0; }

// A font of fixed advances: one per byte, one per pair (or a default).
struct FakeFont : GlyphMeasurer {
  int TextWidth(std::string_view sjis) override {
    int w = 0;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
      const auto b = static_cast<std::uint8_t>(sjis[i]);
      if (IsLead(b) && i + 1 < sjis.size() && IsTrail(static_cast<std::uint8_t>(sjis[i + 1]))) {
        w += DoubleWidth(b, static_cast<std::uint8_t>(sjis[++i]));
      } else {
        w += SingleWidth(b);
      }
    }
    return w;
  }
  int SingleWidth(std::uint8_t byte) override { return single[byte]; }
  int DoubleWidth(std::uint8_t lead, std::uint8_t trail) override {
    ++doubleCalls;
    const auto it = doubles.find(lead << 8 | trail);
    return it == doubles.end() ? doubleDefault : it->second;
  }
  int TextHeight() override { return height; }
  int AverageWidth() override { return average; }

  std::array<int, 256> single{};
  int doubleDefault = 0;
  std::map<int, int> doubles;
  int height = 16;
  int average = 8;
  int doubleCalls = 0;
};

constexpr std::uint16_t kA = 0x82A0;     // あ
constexpr std::uint16_t kAji = 0x889F;   // 亜

// Every byte 8 pixels; the pairs report 17, which a fixed-pitch font never uses.
FakeFont FixedFont() {
  FakeFont f;
  f.single.fill(8);
  f.doubleDefault = 17;
  return f;
}

// Column width 12 (from "m"); "i" 3, "W" 11, most bytes 7, あ 15, 亜 wider than a
// table entry holds.
FakeFont ProportionalFont() {
  FakeFont f;
  f.single.fill(7);
  f.single['i'] = 3;
  f.single['W'] = 11;
  f.single['m'] = 12;
  f.single['1'] = 4;
  f.single[0x01] = 30;  // control: not a column candidate
  f.single[0x7F] = 40;  // not a printable byte
  f.single['\r'] = 0;
  f.single[0xB1] = 5;   // ｱ
  f.doubleDefault = 14;
  f.doubles[kA] = 15;
  f.doubles[kAji] = 300;
  f.average = 7;
  return f;
}

FakeFont LineNumberFontOf(int height) {
  FakeFont f = ProportionalFont();
  f.height = height;
  return f;
}

EditMetrics Fixed() {
  FakeFont edit = FixedFont(), numbers = LineNumberFontOf(11);
  return BuildEditMetrics(edit, numbers, 2);
}
EditMetrics Proportional() {
  FakeFont edit = ProportionalFont(), numbers = LineNumberFontOf(11);
  return BuildEditMetrics(edit, numbers, 2);
}

std::string S(std::u8string_view utf8) { return Sjis(utf8); }

// ---- fonts -------------------------------------------------------------------------

TEST(Fonts, HeightsFromPointSizes) {
  struct Case {
    int points, dpi, height;
  } cases[] = {{10, 96, -13}, {9, 96, -12}, {11, 96, -15}, {12, 96, -16}, {10, 120, -17}, {8, 96, -11}, {30, 96, -40}};
  for (const Case& c : cases) EXPECT_EQ(FontHeightForPoints(c.points, c.dpi), c.height) << c.points << "@" << c.dpi;
  EXPECT_EQ(MulDivRounded(-5, 3, 2), -8);  // halves away from zero
  EXPECT_EQ(MulDivRounded(5, -3, 2), -8);
  EXPECT_EQ(MulDivRounded(5, 3, 2), 8);
  EXPECT_EQ(MulDivRounded(1 << 30, 4, 8), 1 << 29);  // no overflow in between
  EXPECT_EQ(MulDivRounded(1, 1, 0), -1);
}

TEST(Fonts, EditHeavyAndLineNumberFonts) {
  const std::string gothic = S(u8"ＭＳ ゴシック");
  EXPECT_EQ(DefaultEditFace(), gothic);
  EXPECT_EQ(EditFont("", 10, 96), (FontSpec{gothic, -13, 400, 128}));
  EXPECT_EQ(EditFont("Courier", 12, 96), (FontSpec{"Courier", -16, 400, 128}));
  EXPECT_EQ(HeavyEditFont("", 10, 96), (FontSpec{gothic, -13, 900, 128}));
  EXPECT_EQ(LineNumberFont("Courier", 96), (FontSpec{"Courier", -11, 700, 128}));
  EXPECT_EQ(ClampFontPoints(7), 8);
  EXPECT_EQ(ClampFontPoints(31), 30);
  EXPECT_EQ(ClampFontPoints(14), 14);
}

// ---- metrics ------------------------------------------------------------------------

TEST(Metrics, FixedPitchTest) {
  struct Case {
    int iW, i, W;
    bool fixed;
  } cases[] = {
      {16, 8, 8, true},
      {14, 3, 11, false},
      {200, 100, 109, true},   // 100 - 109
      {200, 100, 110, false},  // 100 - 110
      {200, 109, 100, true},
      {200, 110, 100, false},
      {17, 8, 9, false},       // h = 8: 100 - 112
      {23, 11, 12, true},      // h = 11: 100 - 109
      {1, 5, 9, true},         // nothing measurable
  };
  for (const Case& c : cases) EXPECT_EQ(IsFixedPitch(c.iW, c.i, c.W), c.fixed) << c.iW << " " << c.i << " " << c.W;
}

TEST(Metrics, FixedPitchFontUsesOneWidthForEverything) {
  FakeFont edit = FixedFont(), numbers = LineNumberFontOf(11);
  const EditMetrics m = BuildEditMetrics(edit, numbers, 2);
  EXPECT_TRUE(m.fixedPitch);
  EXPECT_EQ(m.columnWidth, 8);
  EXPECT_EQ(m.doubleFixed, 16);
  EXPECT_TRUE(m.doubleWidth.empty());
  EXPECT_EQ(edit.doubleCalls, 0);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(m.singleWidth[static_cast<std::size_t>(b)], 8) << b;
  // Every double-byte character is two columns, whatever the font reports.
  EXPECT_EQ(m.PairWidth(0x82, 0xA0), 16);
  EXPECT_EQ(m.PairWidth(0x88, 0x9F), 16);
}

TEST(Metrics, ProportionalFontMeasuresTables) {
  const EditMetrics m = Proportional();
  EXPECT_FALSE(m.fixedPitch);
  EXPECT_EQ(m.doubleFixed, 0);
  EXPECT_EQ(m.columnWidth, 12);  // the widest printable byte, not the control or 0x7F
  EXPECT_EQ(m.singleWidth[0x01], 30);
  EXPECT_EQ(m.singleWidth[0x7F], 40);
  EXPECT_EQ(m.singleWidth['i'], 3);
  EXPECT_EQ(m.singleWidth['\r'], 12);  // the line end takes a column
  ASSERT_EQ(m.doubleWidth.size(), 65536u);
  struct Case {
    int index, width;
  } cases[] = {
      {kA, 15}, {0x8140, 14}, {0xFC40, 14}, {0xE0FC, 14},
      {kAji, 255},   // wider than an entry holds
      {0x817F, 0},   // 0x7F is no trail byte
      {0x8130, 0},
      {0xA0A0, 0},   // 0xA0 is no lead byte
      {0x4141, 0},
      {0xFD40, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(m.doubleWidth[static_cast<std::size_t>(c.index)], c.width) << std::hex << c.index;
}

TEST(Metrics, LineHeightAndCentring) {
  struct Case {
    int textHeight, spacing, numberHeight;
    int lineHeight, numberOffset, textOffset;
  } cases[] = {
      {16, 4, 11, 20, 4, 0},  // numbers move down by half the difference
      {16, 0, 11, 17, 3, 0},  // spacing is at least 1
      {16, -3, 11, 17, 3, 0},
      {12, 1, 18, 13, 0, 2},  // text rows move down instead
      {12, 1, 13, 13, 0, 0},
  };
  for (const Case& c : cases) {
    FakeFont edit = ProportionalFont(), numbers = LineNumberFontOf(c.numberHeight);
    edit.height = c.textHeight;
    const EditMetrics m = BuildEditMetrics(edit, numbers, c.spacing);
    EXPECT_EQ(m.textHeight, c.textHeight);
    EXPECT_EQ(m.lineHeight, c.lineHeight) << c.textHeight << "+" << c.spacing;
    EXPECT_EQ(m.lineNumberHeight, c.numberHeight);
    EXPECT_EQ(m.lineNumberOffset, c.numberOffset) << c.textHeight << "+" << c.spacing;
    EXPECT_EQ(m.textOffset, c.textOffset) << c.textHeight << "+" << c.spacing;
  }
  const EditMetrics m = Proportional();
  EXPECT_EQ(m.averageWidth, 7);
  EXPECT_EQ(m.wideMark, 10);
  EXPECT_EQ(m.lineNumberDigitWidth, 7);  // the widest of "0" to "9" (the "1" is narrow)
}

TEST(Metrics, TabStops) {
  struct Case {
    int x, column, tabSize, stop;
  } cases[] = {
      {0, 8, 4, 32},   // from the start: a whole tab
      {24, 8, 4, 32},  // one column before a stop
      {25, 8, 4, 64},  // less than a column before a stop: the next one
      {31, 8, 4, 64},
      {23, 8, 4, 32},
      {32, 8, 4, 64},
      {5, 8, 1, 16},
      {5, 8, 0, 16},   // a tab size below 1 counts as 1
      {5, 0, 4, 5},    // no column width: no movement
  };
  for (const Case& c : cases) EXPECT_EQ(NextTabStop(c.x, c.column, c.tabSize), c.stop) << c.x;
}

TEST(Metrics, XOfColumn) {
  const EditMetrics fixed = Fixed(), prop = Proportional();
  const std::string a = S(u8"あい"), kana = S(u8"ｱｲｳ"), mixed = S(u8"aあ\tｱ");
  const std::string ajiA = S(u8"あ亜");
  struct Case {
    const EditMetrics* m;
    std::string_view line;
    int column, tabSize, x;
  } cases[] = {
      {&fixed, "abc", 1, 4, 0},
      {&fixed, "abc", 0, 4, 0},
      {&fixed, "abc", 4, 4, 24},
      {&fixed, "abc", 9, 4, 24},        // past the end: the end
      {&fixed, kana, 3, 4, 16},         // half-width katakana: single bytes
      {&fixed, a, 3, 4, 16},            // two columns each
      {&fixed, a, 5, 4, 32},
      {&fixed, a, 2, 4, 8},             // a lead byte without its trail byte counts alone
      {&fixed, "\tx", 2, 4, 32},
      {&fixed, "abc\tx", 5, 4, 32},
      {&fixed, "abcd\tx", 6, 4, 64},    // a stop right here: the next one
      {&fixed, "abc\tx", 5, 8, 64},
      {&fixed, mixed, 5, 4, 32},        // a, あ, tab
      {&fixed, mixed, 6, 4, 40},
      {&fixed, "ab\r\n", 3, 4, 16},     // at the CR
      {&fixed, "ab\r\n", 4, 4, 24},     // just after the line end: one column more
      {&fixed, "ab\r\n", 5, 4, 24},
      {&prop, "iW", 3, 4, 14},
      {&prop, kana, 2, 4, 5},
      {&prop, ajiA, 3, 4, 15},
      {&prop, ajiA, 5, 4, 15 + 255},
      {&prop, "i\t", 3, 4, 48},         // column 12: stops every 48
      {&prop, "mmW\t", 5, 4, 48},       // x 35: the stop at 48 is a column away
      {&prop, "mmmW\t", 6, 4, 96},      // x 47: one pixel before a stop
      {&prop, "i\t", 3, 0, 24},
      {&prop, "ab\r\n", 4, 4, 14 + 12},
      {&prop, "\x81\x7F", 3, 4, 7 + 40},  // a lead byte before a non-trail byte
  };
  for (const Case& c : cases)
    EXPECT_EQ(XOfColumn(*c.m, c.line, CaretCol(c.column), c.tabSize), c.x)
        << Utf8(c.line) << " column " << c.column << (c.m == &fixed ? " fixed" : " proportional");
}

TEST(Metrics, ColumnOfX) {
  const EditMetrics fixed = Fixed();
  const std::string line = S(u8"aあb");  // boundaries at 0, 8, 24, 32
  struct Case {
    std::string_view line;
    int x, column;
  } cases[] = {
      {line, -5, 1}, {line, 0, 1},  {line, 3, 1},   {line, 4, 2},  // the middle of "a" on: after it
      {line, 15, 2}, {line, 16, 4}, {line, 27, 4},  {line, 28, 5}, {line, 500, 5},
      {"ab\r\n", 500, 3},  // never past the line end
      {"a\tb", 19, 2}, {"a\tb", 20, 3}, {"a\tb", 35, 3}, {"a\tb", 36, 4},
      {"", 40, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ColumnOfX(fixed, c.line, c.x, 4).value, c.column) << Utf8(c.line) << " x " << c.x;
}

// Byte columns where a character starts, and the line end.
std::vector<int> Boundaries(std::string_view line) {
  std::vector<int> columns;
  std::size_t i = 0;
  for (; i < line.size() && line[i] != '\r'; ++i) {
    columns.push_back(static_cast<int>(i) + 1);
    if (IsLead(static_cast<std::uint8_t>(line[i])) && i + 1 < line.size() &&
        IsTrail(static_cast<std::uint8_t>(line[i + 1])))
      ++i;
  }
  columns.push_back(static_cast<int>(i) + 1);
  return columns;
}

TEST(Metrics, ColumnOfXIsTheNearestCharacterBoundary) {
  const EditMetrics fixed = Fixed(), prop = Proportional();
  const std::string lines[] = {
      S(u8"aあ\tｱ亜 i\tW表\r\n"),
      S(u8"\t\tあ\t"),
      std::string("x\x81"),  // a lead byte at the end
      S(u8"ソ\\ﾞ\r\n"),
  };
  for (const EditMetrics* m : {&fixed, &prop}) {
    for (const std::string& line : lines) {
      const std::vector<int> columns = Boundaries(line);
      for (int k : columns) {
        const int x = XOfColumn(*m, line, CaretCol(k), 4);
        EXPECT_EQ(XOfColumn(*m, line, ColumnOfX(*m, line, x, 4), 4), x) << Utf8(line) << " column " << k;
      }
      const int end = XOfColumn(*m, line, CaretCol(columns.back()), 4);
      for (int x = -10; x <= end + 40; ++x) {
        const int column = ColumnOfX(*m, line, x, 4).value;
        ASSERT_NE(std::find(columns.begin(), columns.end(), column), columns.end())
            << Utf8(line) << " x " << x << " gave " << column;
        const int distance = std::abs(x - XOfColumn(*m, line, CaretCol(column), 4));
        for (int k : columns) EXPECT_LE(distance, std::abs(x - XOfColumn(*m, line, CaretCol(k), 4))) << Utf8(line) << " x " << x;
      }
    }
  }
}

TEST(Metrics, LineNumberColumnWidth) {
  struct Case {
    int lines, digitWidth, minDigits, width;
  } cases[] = {
      {1, 8, 4, 4 * 8 + 4 + 5},
      {9999, 8, 4, 4 * 8 + 4 + 5},
      {10000, 8, 4, 5 * 8 + 4 + 5},
      {1600000, 7, 4, 7 * 7 + 3 + 5},
      {9, 9, 1, 9 + 4 + 5},
      {0, 9, 1, 9 + 4 + 5},
  };
  for (const Case& c : cases) EXPECT_EQ(LineNumberColumnWidth(c.lines, c.digitWidth, c.minDigits), c.width) << c.lines;
}

}  // namespace
}  // namespace gorvane::shell

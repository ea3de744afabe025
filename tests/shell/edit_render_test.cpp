#include "shell/edit_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "shell/host.h"

namespace gorvane::shell {
namespace {

// What the painter asked for, in order.
struct Op {
  enum Kind { Clip, Fill, Glyphs, Poly, Round, Number } kind;
  Rect rect{};
  int x = 0;
  int y = 0;
  std::string text{};
  Colour colour = 0;
  std::vector<Point> pts{};
  int corner = 0;
};

struct Recorder : DrawTarget {
  void Clip(const Rect& r) override { ops.push_back({.kind = Op::Clip, .rect = r}); }
  void FillRect(const Rect& r, Colour c) override { ops.push_back({.kind = Op::Fill, .rect = r, .colour = c}); }
  void Glyphs(int x, int y, std::string_view s, Colour c) override {
    ops.push_back({.kind = Op::Glyphs, .x = x, .y = y, .text = std::string(s), .colour = c});
  }
  void Polyline(const Point* p, int n, Colour c) override {
    ops.push_back({.kind = Op::Poly, .colour = c, .pts = std::vector<Point>(p, p + n)});
  }
  void RoundRect(const Rect& r, int corner, Colour c) override {
    ops.push_back({.kind = Op::Round, .rect = r, .colour = c, .corner = corner});
  }
  void TextRight(const Rect& r, std::string_view s, Colour c) override {
    ops.push_back({.kind = Op::Number, .rect = r, .text = std::string(s), .colour = c});
  }
  std::vector<Op> Of(Op::Kind k) const {
    std::vector<Op> out;
    std::copy_if(ops.begin(), ops.end(), std::back_inserter(out), [k](const Op& o) { return o.kind == k; });
    return out;
  }
  // The glyphs as "text@x,y" in drawing order.
  std::vector<std::string> Drawn() const {
    std::vector<std::string> out;
    for (const Op& o : Of(Op::Glyphs)) out.push_back(o.text + "@" + std::to_string(o.x) + "," + std::to_string(o.y));
    return out;
  }
  std::vector<Op> PolysIn(Colour c) const {
    std::vector<Op> out;
    for (const Op& o : Of(Op::Poly))
      if (o.colour == c) out.push_back(o);
    return out;
  }
  std::vector<Op> ops;
};

// Runs given by the test, the same for every line.
struct FixedColourer : LineColourer {
  void ColourLine(int, std::string_view text, bool, std::vector<std::uint32_t>& out) override {
    out = runs;
    out.push_back(PackRun(static_cast<int>(text.size()) + 1, 0, 0, 0));
  }
  std::vector<std::uint32_t> runs;
};

constexpr int kM = 2;  // left margin
constexpr int kLh = 16;

// A fixed-pitch font: bytes 8 pixels, double-byte characters 16, text 14
// high in rows of 16.
EditMetrics FixedMetrics() {
  EditMetrics m;
  m.textHeight = 14;
  m.lineHeight = kLh;
  m.averageWidth = 8;
  m.columnWidth = 8;
  m.fixedPitch = true;
  m.doubleFixed = 16;
  m.singleWidth.fill(8);
  return m;
}

class EditRenderTest : public ::testing::Test {
 protected:
  EditRenderTest() {
    view.width = 400;
    view.height = 160;
    view.leftMargin = kM;
  }

  LineSource Source() {
    return [this](int n, LineInfo& out) {
      if (n < 1 || n > static_cast<int>(lines.size())) return false;
      out.text = lines[static_cast<std::size_t>(n - 1)];
      out.rangeLine = range.count(n) != 0;
      out.bookmark = bookmarks.count(n) != 0;
      return true;
    };
  }
  void Paint(Rect update = {0, 0, 400, 160}) {
    rec.ops.clear();
    view.lineCount = static_cast<int>(lines.size());
    PaintEditView(rec, m, settings, colours, view, update, Source(), *colourer);
  }
  void PaintNumbers(Rect update = {0, 0, 40, 80}) {
    rec.ops.clear();
    PaintLineNumbers(rec, m, settings, colours, 1, static_cast<int>(lines.size()), 40, 80, update, Source());
  }

  EditMetrics m = FixedMetrics();
  RenderSettings settings;
  DrawColours colours;
  PaneView view;
  std::vector<std::string> lines;
  std::set<int> range, bookmarks;
  PlainColourer plain;
  LineColourer* colourer = &plain;
  Recorder rec;
};

TEST_F(EditRenderTest, EndOfFileMarkFollowsTheLastLine) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    Rect update;
    bool drawn;
    int x, row;
    bool underline;
  };
  const Rect all{0, 0, 400, 160};
  const Case cases[] = {
      {"empty document", {""}, all, true, kM, 0, false},
      {"after CR LF: own row", {"ab\r\n"}, all, true, kM, 1, true},
      {"no CR LF: after the text", {"ab\r\n", "cd"}, all, true, kM + 16, 1, false},
      {"own row painted alone", {"ab\r\n"}, {0, 16, 400, 32}, true, kM, 1, true},
      {"own row outside the update", {"ab\r\n"}, {0, 0, 400, 16}, false, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lines = c.lines;
    Paint(c.update);
    const auto eof = std::count_if(rec.ops.begin(), rec.ops.end(),
                                   [](const Op& o) { return o.kind == Op::Glyphs && o.text == "[EOF]"; });
    ASSERT_EQ(eof, c.drawn ? 1 : 0);
    const auto underlines = rec.PolysIn(colours.Text(kSlotUnderline));
    if (!c.drawn) continue;
    const Op mark = *std::find_if(rec.ops.begin(), rec.ops.end(), [](const Op& o) { return o.text == "[EOF]"; });
    EXPECT_EQ(mark.x, c.x);
    EXPECT_EQ(mark.y, c.row * kLh);
    EXPECT_EQ(mark.colour, colours.Text(kSlotEof));
    if (c.underline) {
      ASSERT_EQ(underlines.size(), 1u);
      const int y = c.row * kLh + 14;
      EXPECT_EQ(underlines[0].pts, (std::vector<Point>{{c.x, y}, {c.x + 39, y}}));
    } else {
      EXPECT_TRUE(underlines.empty());
    }
  }
}

TEST_F(EditRenderTest, EndOfFileMarkHasPlainTextBackgroundAndCanBeOff) {
  colours.entry[BackIndex(kSlotText)] = Rgb(250, 0, 0);
  lines = {"ab"};
  Paint();
  const auto fills = rec.Of(Op::Fill);
  EXPECT_TRUE(std::any_of(fills.begin(), fills.end(), [&](const Op& o) {
    return o.rect == Rect{kM + 16, 0, kM + 56, kLh} && o.colour == Rgb(250, 0, 0);
  }));

  settings.eofMark = false;
  Paint();
  EXPECT_EQ(rec.Drawn(), (std::vector<std::string>{"a@2,0", "b@10,0"}));
}

TEST_F(EditRenderTest, TabsAdvanceToTheNextStop) {
  struct Case {
    std::string text;
    int tabSize, xOffset, x;  // x of the "x" from the line's start
  };
  const Case cases[] = {
      {"\tx", 8, 0, 64},          {"a\tx", 8, 0, 64},  {"abcdefg\tx", 8, 0, 64},  // one column before a stop
      {"abcdefgh\tx", 8, 0, 128},                                                 // on a stop: a whole stop on
      {"abc\tx", 4, 0, 32},       {"\t\tx", 4, 0, 64}, {Sjis(u8"あ\tx"), 8, 0, 64},
      {"abcdefg\tx", 8, 8, 64},  // scrolled: stops stay on the text's columns
  };
  settings.tabMarks = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    lines = {c.text + "\r\n"};
    settings.tabSize = c.tabSize;
    view.xOffset = c.xOffset;
    Paint();
    const auto glyphs = rec.Of(Op::Glyphs);
    const auto x = std::find_if(glyphs.begin(), glyphs.end(), [](const Op& o) { return o.text == "x"; });
    ASSERT_NE(x, glyphs.end());
    EXPECT_EQ(x->x, kM - c.xOffset + c.x);
    // Where the caret code puts the column of the "x".
    EXPECT_EQ(XOfColumn(m, c.text, gorvane::document::CaretCol(static_cast<std::int32_t>(c.text.find('x')) + 1), c.tabSize), c.x);
  }
}

TEST_F(EditRenderTest, RangeLineTakesOverTextBackgroundsButNotTheSelection) {
  FixedColourer runs;
  runs.runs = {PackRun(0, kSlotText), PackRun(2, kSlotSelection), PackRun(4, kRunKeywordO)};
  colourer = &runs;
  colours.entry[TextIndex(kSlotRangeLine)] = Rgb(10, 20, 30);
  colours.entry[BackIndex(kSlotKeyword)] = Rgb(200, 255, 200);
  lines = {"abcdef\r\n", "abcdef\r\n"};
  range = {1};
  Paint();

  auto fillsInRow = [&](int row) {
    std::vector<std::pair<Rect, Colour>> out;
    for (const Op& o : rec.Of(Op::Fill))
      if (o.rect.top == row * kLh && o.rect.bottom == (row + 1) * kLh) out.push_back({o.rect, o.colour});
    return out;
  };
  const Colour sel = colours.Back(kSlotSelection), kw = colours.Back(kSlotKeyword);
  EXPECT_EQ(fillsInRow(0), (std::vector<std::pair<Rect, Colour>>{{{kM, 0, 400, 16}, colours.Back(kSlotRangeLine)},
                                                                 {{kM + 16, 0, kM + 32, 16}, sel}}));
  EXPECT_EQ(fillsInRow(1), (std::vector<std::pair<Rect, Colour>>{{{kM + 16, 16, kM + 32, 32}, sel},
                                                                 {{kM + 32, 16, kM + 56, 32}, kw}}));  // and the CR

  std::vector<Colour> row0, row1;
  for (const Op& o : rec.Of(Op::Glyphs)) {
    if (o.y == 0) row0.push_back(o.colour);
    if (o.y == kLh) row1.push_back(o.colour);
  }
  const Colour text = colours.Text(kSlotText), selText = colours.Text(kSlotSelection),
               kwText = colours.Text(kSlotKeyword), rangeText = Rgb(10, 20, 30);
  EXPECT_EQ(row0, (std::vector<Colour>{rangeText, rangeText, selText, selText, kwText, kwText}));
  EXPECT_EQ(row1, (std::vector<Colour>{text, text, selText, selText, kwText, kwText}));
}

TEST_F(EditRenderTest, CaretLineUnderlinedOnlyInTheActivePaneWithoutSelection) {
  struct Case {
    bool setting, active, selecting, underlined;
  };
  const Case cases[] = {
      {true, true, false, true}, {true, false, false, false}, {true, true, true, false}, {false, true, false, false}};
  lines = {"a\r\n", "b\r\n", "c"};
  view.caretLine = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.setting << c.active << c.selecting);
    settings.caretUnderline = c.setting;
    view.active = c.active;
    view.selecting = c.selecting;
    Paint();
    const auto marks = rec.PolysIn(colours.Text(kSlotUnderline));
    if (!c.underlined) {
      EXPECT_TRUE(marks.empty());
      continue;
    }
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].pts, (std::vector<Point>{{kM, 16 + 14}, {399, 16 + 14}}));
  }
}

TEST_F(EditRenderTest, OnlyCharactersInTheUpdateRectangleAreDrawn) {
  lines = {"abcdefghij\r\n", "abcdefghij\r\n", "abcdefghij\r\n"};
  // Row 1 from the middle of "c" to the end of "f".
  Paint({kM + 20, 16, kM + 48, 32});
  EXPECT_EQ(rec.ops.front().kind, Op::Fill);
  EXPECT_EQ(rec.Of(Op::Clip).at(0).rect, (Rect{kM + 20, 16, kM + 48, 32}));
  EXPECT_EQ(rec.Drawn(), (std::vector<std::string>{"c@18,16", "d@26,16", "e@34,16", "f@42,16"}));

  // Only the margin: nothing but the background.
  Paint({0, 0, kM, 160});
  ASSERT_EQ(rec.ops.size(), 1u);
  EXPECT_EQ(rec.ops[0].rect, (Rect{0, 0, kM, 160}));
  EXPECT_EQ(rec.ops[0].colour, colours.Back(kSlotBackground));

  // A picture behind the text: no background fills at all.
  settings.backgroundDrawnElsewhere = true;
  Paint();
  EXPECT_TRUE(rec.Of(Op::Fill).empty());
  EXPECT_EQ(rec.Of(Op::Glyphs).size(), 31u);  // three lines and the mark
}

TEST_F(EditRenderTest, OverlongLineEndsThePainting) {
  lines = {"a\r\n", std::string(15358, 'x') + "\r\n", std::string(15359, 'y') + "\r\n", "b"};
  Paint();
  const auto glyphs = rec.Of(Op::Glyphs);
  EXPECT_EQ(glyphs.front().text, "a");
  // The 15,360-byte line, up to the right edge.
  EXPECT_EQ(std::count_if(glyphs.begin(), glyphs.end(), [](const Op& o) { return o.text == "x"; }), 50);
  EXPECT_TRUE(std::none_of(glyphs.begin(), glyphs.end(), [](const Op& o) { return o.text != "a" && o.text != "x"; }));
}

TEST_F(EditRenderTest, MarksOnlyWhenTheirSettingIsOn) {
  struct Case {
    const char* name;
    std::string text;
    bool RenderSettings::*setting;
    bool italic;
    int polylines;
    Rect box;  // the points' bounds, edges included
  };
  const Case cases[] = {
      {"tab arrow", "\tx", &RenderSettings::tabMarks, false, 2, {kM, 5, kM + 6, 9}},
      {"blank box", " x", &RenderSettings::spaceMarks, false, 1, {kM + 1, 11, kM + 6, 13}},
      {"full-width blank", "\x81\x40x", &RenderSettings::wideSpaceMarks, false, 1, {kM + 4, 3, kM + 11, 10}},
      {"line end arrow", "x\r\n", &RenderSettings::lineEndMarks, false, 2, {kM + 9, 1, kM + 15, 11}},
      {"italic line end", "x\r\n", &RenderSettings::lineEndMarks, true, 2, {kM + 10, 1, kM + 16, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lines = {c.text};
    settings = RenderSettings{};
    settings.eofMark = false;
    settings.tabMarks = settings.spaceMarks = settings.wideSpaceMarks = settings.lineEndMarks = false;
    settings.italic = c.italic;
    Paint();
    EXPECT_TRUE(rec.Of(Op::Poly).empty());

    settings.*c.setting = true;
    Paint();
    const auto polys = rec.Of(Op::Poly);
    ASSERT_EQ(polys.size(), static_cast<std::size_t>(c.polylines));
    Rect box{1000, 1000, -1000, -1000};
    for (const Op& o : polys) {
      EXPECT_EQ(o.colour, colours.Text(kSlotText));
      for (const Point& p : o.pts)
        box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x), std::max(box.bottom, p.y)};
    }
    EXPECT_EQ(box, c.box);
    // Blanks have no glyph; the "x" is drawn either way.
    EXPECT_EQ(rec.Of(Op::Glyphs).size(), 1u);
  }
}

TEST_F(EditRenderTest, LineEndMarkTakesTheColourOfTheRunAtTheCr) {
  FixedColourer runs;
  runs.runs = {PackRun(0, kSlotText), PackRun(2, kSlotSelection)};
  colourer = &runs;
  lines = {"ab\r\n"};
  settings.eofMark = false;
  Paint();
  const auto polys = rec.Of(Op::Poly);
  ASSERT_EQ(polys.size(), 2u);
  for (const Op& o : polys) EXPECT_EQ(o.colour, colours.Text(kSlotSelection));
}

TEST_F(EditRenderTest, DoubleByteCharacterIsOneGlyph) {
  // A lead byte without its trail byte at the end is a single byte.
  lines = {Sjis(u8"あい") + "x\x82"};
  Paint();
  EXPECT_EQ(rec.Drawn(), (std::vector<std::string>{Sjis(u8"あ") + "@2,0", Sjis(u8"い") + "@18,0", "x@34,0", "\x82@42,0",
                                                   "[EOF]@50,0"}));
}

TEST_F(EditRenderTest, LineNumbersWithBookmarks) {
  lines = {"a\r\n", "b\r\n", "c"};
  bookmarks = {2};
  settings.bookmarkCorner = 7;
  PaintNumbers();
  const Colour back = colours.Back(kSlotBackground), text = colours.Text(kSlotText);
  const auto numbers = rec.Of(Op::Number);
  ASSERT_EQ(numbers.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(numbers[i].text, std::to_string(i + 1));
    EXPECT_EQ(numbers[i].rect, (Rect{0, 16 * i, 40 - kLineNumberRightGap, 16 * i + 16}));
    EXPECT_EQ(numbers[i].colour, i == 1 ? colours.Text(kSlotBookmark) : text);
  }
  const auto rounds = rec.Of(Op::Round);
  ASSERT_EQ(rounds.size(), 1u);
  EXPECT_EQ(rounds[0].rect, (Rect{0, 16, 40, 32}));
  EXPECT_EQ(rounds[0].corner, 7);
  EXPECT_EQ(rounds[0].colour, colours.Back(kSlotBookmark));
  // The rows below the document.
  const auto fills = rec.Of(Op::Fill);
  ASSERT_FALSE(fills.empty());
  EXPECT_EQ(fills.back().rect, (Rect{0, 48, 40, 80}));
  EXPECT_EQ(fills.back().colour, back);

  // Only the rows in the update rectangle; no numbers, no row fills.
  settings.showLineNumbers = false;
  settings.fillLineNumberBack = false;
  PaintNumbers({0, 20, 40, 30});
  ASSERT_EQ(rec.ops.size(), 1u);
  EXPECT_EQ(rec.ops[0].kind, Op::Round);

  settings.showLineNumbers = true;
  PaintNumbers({0, 40, 40, 80});
  EXPECT_EQ(rec.Of(Op::Number).size(), 1u);
  EXPECT_EQ(rec.Of(Op::Number)[0].text, "3");
  EXPECT_EQ(rec.Of(Op::Fill).size(), 1u);  // below the document only
}

}  // namespace
}  // namespace gorvane::shell

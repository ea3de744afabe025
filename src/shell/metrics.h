// Fonts and character metrics of the edit panes.
//
// The edit font is measured once per font change into width tables: one width
// per single byte, one per double-byte Shift-JIS pair (or one fixed width for
// fixed-pitch fonts), a column width and a line height. Every conversion
// between a byte column and an x position (caret, mouse, completion list)
// walks these tables, so drawing and caret placement never measure text.
//
// The measuring itself is the platform's (GlyphMeasurer); everything else is
// here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/types.h"


namespace gorvane::shell {

// One font selected for measuring, as the platform measures it.
class GlyphMeasurer {
 public:
  virtual ~GlyphMeasurer() = default;
  // Advance in pixels of a Shift-JIS text drawn as one piece.
  virtual int TextWidth(std::string_view sjis) = 0;
  // Advance of one single byte.
  virtual int SingleWidth(std::uint8_t byte) = 0;
  // Advance of one double-byte pair (a lead byte and a trail byte).
  virtual int DoubleWidth(std::uint8_t lead, std::uint8_t trail) = 0;
  // The font's text height and average character width.
  virtual int TextHeight() = 0;
  virtual int AverageWidth() = 0;
};

// ---- fonts ---------------------------------------------------------------------

inline constexpr int kMinFontPoints = 8;  // the sizes the font dialog offers
inline constexpr int kMaxFontPoints = 30;
inline constexpr int kLineNumberPoints = 8;
inline constexpr int kNormalWeight = 400;
inline constexpr int kHeavyWeight = 900;
inline constexpr int kLineNumberWeight = 700;
inline constexpr int kShiftJisCharset = 128;

// A logical font: face (Shift-JIS), height (negative: character height in
// pixels), weight; always the Shift-JIS character set.
struct FontSpec {
  std::string face;
  int height = 0;
  int weight = kNormalWeight;
  int charset = kShiftJisCharset;
  bool operator==(const FontSpec&) const = default;
};

// The edit font's face when the settings name none: "ＭＳ ゴシック".
std::string DefaultEditFace();
// a × b ÷ c rounded to the nearest integer, halves away from zero; -1 when c is 0.
int MulDivRounded(int a, int b, int c);
// The logical height of a point size: −points × dpi ÷ 72, rounded.
int FontHeightForPoints(int points, int dotsPerInchY);
int ClampFontPoints(int points);
// An empty face stands for the default face.
FontSpec EditFont(std::string_view face, int points, int dotsPerInchY);
FontSpec HeavyEditFont(std::string_view face, int points, int dotsPerInchY);
FontSpec LineNumberFont(std::string_view face, int dotsPerInchY);

// ---- metrics -------------------------------------------------------------------

struct EditMetrics {
  int textHeight = 0;
  int lineHeight = 0;    // text height + line spacing (at least 1)
  int averageWidth = 0;
  int wideMark = 0;      // averageWidth × 3 ÷ 2
  int columnWidth = 0;   // one text column: tab stops and the line-end cell
  bool fixedPitch = false;
  int doubleFixed = 0;   // width of every double-byte character; 0: use doubleWidth
  std::array<int, 256> singleWidth{};
  // lead × 256 + trail → width (widths above 255 are kept as 255); empty for
  // fixed-pitch fonts.
  std::vector<std::uint8_t> doubleWidth;

  int lineNumberHeight = 0;      // the line-number font's text height
  int lineNumberDigitWidth = 0;  // the width of its widest digit
  // Vertical centring of the two fonts in a row: one of them is 0.
  int lineNumberOffset = 0;  // the numbers move down by this
  int textOffset = 0;        // the text rows move down by this

  // Width of the double-byte character lead, trail.
  int PairWidth(std::uint8_t lead, std::uint8_t trail) const {
    if (doubleFixed != 0) return doubleFixed;
    return doubleWidth.empty() ? 0 : doubleWidth[static_cast<std::size_t>(lead) * 256 + trail];
  }
};

// Whether a font counts as fixed pitch from the widths of "iW", "i" and "W".
bool IsFixedPitch(int widthIW, int widthI, int widthW);

// Measures the edit font into the tables and the line-number font's metrics.
EditMetrics BuildEditMetrics(GlyphMeasurer& editFont, GlyphMeasurer& lineNumberFont, int lineSpacing);

// The next tab stop at least one column right of x: the smallest multiple of
// tabSize × columnWidth that is at least x + columnWidth.
int NextTabStop(int x, int columnWidth, int tabSize);

// The x position (from the line's start) of a 1-based byte column of a
// Shift-JIS line. The walk over the bytes before the column stops at a CR,
// which takes one column; a lead byte whose trail byte is not before the
// column counts as a single byte.
int XOfColumn(const EditMetrics& m, std::string_view line, document::CaretCol column, int tabSize);

// The 1-based byte column nearest to x: a hit left of a character's middle is
// before it, from the middle on after it. Never inside a double-byte
// character, never past the line end (the CR, or the end of a line without
// one).
document::CaretCol ColumnOfX(const EditMetrics& m, std::string_view line, int x, int tabSize);

// The line-number column: as many digits as the line count has (at least
// minDigits), half a digit before them and 5 pixels after them (the numbers
// are right-aligned 5 pixels from the column's right edge).
inline constexpr int kLineNumberRightGap = 5;
int LineNumberColumnWidth(int lineCount, int digitWidth, int minDigits = 4);

}  // namespace gorvane::shell

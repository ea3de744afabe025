#include "shell/metrics.h"

#include <algorithm>
#include <cstdlib>

#include "charcode/class_tables.h"
#include "shell/host.h"

namespace gorvane::shell {

namespace cc = gorvane::charcode;

namespace {

bool IsLead(std::uint8_t b) { return (cc::kSjisClass[b] & cc::kSjisLead) != 0; }
bool IsTrail(std::uint8_t b) { return (cc::kSjisClass[b] & cc::kSjisTrail) != 0; }

// One step of the walk over a line: the bytes a character takes and its
// advance at x. A CR ends the line.
struct Step {
  std::size_t bytes;
  int width;
  bool lineEnd;
};

Step StepAt(const EditMetrics& m, std::string_view line, std::size_t i, std::size_t limit, int x, int tabSize) {
  const auto b = static_cast<std::uint8_t>(line[i]);
  if (b == '\r') return {1, m.columnWidth, true};
  if (b == '\t') return {1, NextTabStop(x, m.columnWidth, tabSize) - x, false};
  if (cc::SjisCharBytes(line, i, limit) == 2)
    return {2, m.PairWidth(b, static_cast<std::uint8_t>(line[i + 1])), false};
  return {1, m.singleWidth[b], false};
}

}  // namespace

// ---- fonts -----------------------------------------------------------------------

std::string DefaultEditFace() { return Sjis(u8"ＭＳ ゴシック"); }

int MulDivRounded(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  const std::int64_t q = std::llabs(c);
  const std::int64_t n = (std::llabs(p) + q / 2) / q;
  return static_cast<int>((p < 0) != (c < 0) ? -n : n);
}

int FontHeightForPoints(int points, int dotsPerInchY) { return -MulDivRounded(points, dotsPerInchY, 72); }

int ClampFontPoints(int points) { return std::clamp(points, kMinFontPoints, kMaxFontPoints); }

FontSpec EditFont(std::string_view face, int points, int dotsPerInchY) {
  return FontSpec{face.empty() ? DefaultEditFace() : std::string(face), FontHeightForPoints(points, dotsPerInchY),
                  kNormalWeight, kShiftJisCharset};
}

FontSpec HeavyEditFont(std::string_view face, int points, int dotsPerInchY) {
  FontSpec f = EditFont(face, points, dotsPerInchY);
  f.weight = kHeavyWeight;
  return f;
}

FontSpec LineNumberFont(std::string_view face, int dotsPerInchY) {
  FontSpec f = EditFont(face, kLineNumberPoints, dotsPerInchY);
  f.weight = kLineNumberWeight;
  return f;
}

// ---- metrics ------------------------------------------------------------------------

bool IsFixedPitch(int widthIW, int widthI, int widthW) {
  const int h = widthIW / 2;
  if (h == 0) return true;  // nothing measurable: treat every character alike
  const int d = widthI * 100 / h - widthW * 100 / h;
  return std::abs(d) <= 9;
}

EditMetrics BuildEditMetrics(GlyphMeasurer& editFont, GlyphMeasurer& lineNumberFont, int lineSpacing) {
  EditMetrics m;
  m.textHeight = editFont.TextHeight();
  m.lineHeight = m.textHeight + std::max(1, lineSpacing);
  m.averageWidth = editFont.AverageWidth();
  m.wideMark = m.averageWidth * 3 / 2;

  const int wW = editFont.TextWidth("W");
  m.fixedPitch = IsFixedPitch(editFont.TextWidth("iW"), editFont.TextWidth("i"), wW);
  if (m.fixedPitch) {
    m.singleWidth.fill(wW);
    m.columnWidth = wW;
    m.doubleFixed = 2 * wW;
  } else {
    int column = 0;
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<std::uint8_t>(b);
      m.singleWidth[byte] = editFont.SingleWidth(byte);
      if (cc::kSjisClass[byte] & cc::kSjisPrintable) column = std::max(column, m.singleWidth[byte]);
    }
    m.columnWidth = column;
    m.singleWidth['\r'] = column;
    m.doubleFixed = 0;
    m.doubleWidth.assign(65536, 0);
    for (int lead = 0; lead < 256; ++lead) {
      if (!IsLead(static_cast<std::uint8_t>(lead))) continue;
      for (int trail = 0; trail < 256; ++trail) {
        if (!IsTrail(static_cast<std::uint8_t>(trail))) continue;
        const int w = editFont.DoubleWidth(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
        m.doubleWidth[static_cast<std::size_t>(lead * 256 + trail)] = static_cast<std::uint8_t>(std::clamp(w, 0, 255));
      }
    }
  }

  m.lineNumberHeight = lineNumberFont.TextHeight();
  // The widest digit: a number of n digits never needs more than n of them
  // (an average would cut the first digit of "9999999" in a proportional font).
  for (char d = '0'; d <= '9'; ++d)
    m.lineNumberDigitWidth = std::max(m.lineNumberDigitWidth, lineNumberFont.TextWidth(std::string_view(&d, 1)));
  if (m.lineHeight > m.lineNumberHeight) m.lineNumberOffset = (m.lineHeight - m.lineNumberHeight) / 2;
  else m.textOffset = (m.lineNumberHeight - m.lineHeight) / 2;
  return m;
}

int NextTabStop(int x, int columnWidth, int tabSize) {
  const int stop = std::max(1, tabSize) * columnWidth;
  const int least = x + columnWidth;
  if (stop <= 0) return least;
  if (least <= 0) return least / stop * stop;  // rounds towards zero: up for negatives
  return (least + stop - 1) / stop * stop;
}

int XOfColumn(const EditMetrics& m, std::string_view line, document::CaretCol caret, int tabSize) {
  const int column = caret.value;
  const std::size_t limit = column > 1 ? std::min(line.size(), static_cast<std::size_t>(column - 1)) : 0;
  int x = 0;
  for (std::size_t i = 0; i < limit;) {
    const Step s = StepAt(m, line, i, limit, x, tabSize);
    x += s.width;
    if (s.lineEnd) break;
    i += s.bytes;
  }
  return x;
}

document::CaretCol ColumnOfX(const EditMetrics& m, std::string_view line, int x, int tabSize) {
  int left = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    const Step s = StepAt(m, line, i, line.size(), left, tabSize);
    if (s.lineEnd) break;
    // Left of the character's middle: before it.
    if (2 * static_cast<std::int64_t>(x) < 2 * static_cast<std::int64_t>(left) + s.width) break;
    left += s.width;
    i += s.bytes;
  }
  return document::CaretCol(static_cast<std::int32_t>(i) + 1);
}

int LineNumberColumnWidth(int lineCount, int digitWidth, int minDigits) {
  int digits = 1;
  for (int n = lineCount; n >= 10; n /= 10) ++digits;
  digits = std::max(digits, minDigits);
  return digits * digitWidth + digitWidth / 2 + kLineNumberRightGap;
}

}  // namespace gorvane::shell

#include "shell/edit_render.h"

#include <algorithm>
#include <charconv>

#include "charcode/class_tables.h"

namespace gorvane::shell {

namespace cc = gorvane::charcode;

namespace {

constexpr std::array<Colour, kColourEntries> kDefaultColours = {
    Rgb(0, 0, 0),       Rgb(255, 255, 255),  // 0 background
    Rgb(0, 0, 0),       Rgb(255, 255, 255),  // 1 plain text
    Rgb(255, 255, 255), Rgb(51, 102, 204),   // 2 selection
    Rgb(0, 0, 0),       Rgb(255, 255, 96),   // 3 search hits
    Rgb(0, 0, 255),     Rgb(255, 255, 255),  // 4 keywords
    Rgb(128, 0, 128),   Rgb(255, 255, 255),  // 5
    Rgb(0, 128, 0),     Rgb(255, 255, 255),  // 6
    Rgb(160, 32, 32),   Rgb(255, 255, 255),  // 7
    Rgb(0, 0, 0),       Rgb(236, 244, 255),  // 8 range lines
    Rgb(0, 128, 128),   Rgb(255, 255, 255),  // 9
    Rgb(128, 64, 0),    Rgb(255, 255, 255),  // 10
    Rgb(192, 0, 0),     Rgb(255, 255, 255),  // 11
    Rgb(0, 0, 0),       Rgb(160, 200, 255),  // 12 bookmarks
    Rgb(0, 64, 255),    Rgb(255, 255, 255),  // 13 end-of-file mark
    Rgb(128, 128, 128), Rgb(255, 255, 255),  // 14
    Rgb(255, 255, 255), Rgb(192, 0, 0),      // 15
    Rgb(0, 0, 160),     Rgb(255, 255, 255),  // 16 caret-line underline
    Rgb(96, 96, 96),    Rgb(236, 236, 236),  // 17
};

bool EndsWithLineEnd(std::string_view text) { return text.size() >= 2 && text.substr(text.size() - 2) == "\r\n"; }

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}
bool IsEmpty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

enum class CharKind { Other, Tab, LineEnd, Blank, WideBlank };
struct Char {
  std::size_t bytes;
  int width;
  CharKind kind;
};

// The character at byte i of a line drawn from x = origin, now at x. The same
// walk as XOfColumn's, so the caret lands where the text is drawn.
Char CharAt(const EditMetrics& m, std::string_view text, std::size_t i, int x, int origin, int tabSize) {
  const auto b = static_cast<std::uint8_t>(text[i]);
  if (b == '\r') return {1, m.columnWidth, CharKind::LineEnd};
  if (b == '\t') return {1, origin + NextTabStop(x - origin, m.columnWidth, tabSize) - x, CharKind::Tab};
  if (b == ' ') return {1, m.singleWidth[b], CharKind::Blank};
  if (cc::SjisCharBytes(text, i, text.size()) == 2) {
    const auto trail = static_cast<std::uint8_t>(text[i + 1]);
    return {2, m.PairWidth(b, trail), b == 0x81 && trail == 0x40 ? CharKind::WideBlank : CharKind::Other};
  }
  return {1, m.singleWidth[b], CharKind::Other};
}

// Paints lines into one update rectangle of the view.
class LinePainter {
 public:
  LinePainter(DrawTarget& target, const EditMetrics& m, const RenderSettings& settings, const DrawColours& colours,
              const Rect& clip)
      : target_(target), m_(m), settings_(settings), colours_(colours), clip_(clip) {
    runs_.reserve(64);
  }

  void Fill(const Rect& r, Colour c) {
    const Rect v = Intersect(r, clip_);
    if (!IsEmpty(v)) target_.FillRect(v, c);
  }

  void Line(Point a, Point b, Colour c) {
    const Point pts[2] = {a, b};
    target_.Polyline(pts, 2, c);
  }

  int UnderlineY(int rowTop) const {
    return std::min(rowTop + m_.textOffset + m_.textHeight, rowTop + m_.lineHeight - 1);
  }

  // Draws a line in a row with the background rowBack already painted;
  // true when it has no line end (the end-of-file mark follows its text).
  bool DrawLine(int lineNo, const LineInfo& info, int rowTop, int origin, Colour rowBack, LineColourer& colourer) {
    const std::string_view text = info.text;
    const bool hasLineEnd = EndsWithLineEnd(text);
    runs_.clear();
    colourer.ColourLine(lineNo, text, info.rangeLine, runs_);
    PrepareRuns(text.size(), info.rangeLine);
    if (info.selectTo > info.selectFrom)
      OverlayRun(runs_, info.selectFrom, info.selectTo, kSlotSelection, TextIndex(kSlotSelection), BackIndex(kSlotSelection));
    if (settings_.bracketHighlight)
      for (const int b : info.brackets)
        if (b >= 0) OverlayRun(runs_, b, b + 1, kSlotBracket, TextIndex(kSlotBracket), BackIndex(kSlotBracket));
    const std::size_t last = runs_.size() - 1;  // the terminating entry
    const int textTop = rowTop + m_.textOffset;
    const int tabSize = settings_.tabSize;

    // Backgrounds: one rectangle per run.
    int x = origin;
    std::size_t i = 0;
    std::size_t r = 0;
    int runX = x;
    while (i < text.size() && x < clip_.right) {
      while (r + 1 < last && static_cast<std::size_t>(RunStart(runs_[r + 1])) <= i) {
        FillRun(runs_[r], runX, x, rowTop, rowBack, info.rangeLine);
        ++r;
        runX = x;
      }
      const Char c = CharAt(m_, text, i, x, origin, tabSize);
      x += c.width;
      i += c.bytes;
      if (c.kind == CharKind::LineEnd) break;
    }
    FillRun(runs_[r], runX, x, rowTop, rowBack, info.rangeLine);

    // Characters and marks.
    x = origin;
    i = 0;
    r = 0;
    Colour colour = colours_.At(RunText(runs_[0]));
    while (i < text.size()) {
      bool moved = false;
      while (r + 1 < last && static_cast<std::size_t>(RunStart(runs_[r + 1])) <= i) {
        ++r;
        moved = true;
      }
      if (moved) colour = colours_.At(RunText(runs_[r]));
      if (x >= clip_.right) return !hasLineEnd;  // the rest is out of sight
      const Char c = CharAt(m_, text, i, x, origin, tabSize);
      if (c.kind == CharKind::LineEnd) break;
      if (x + c.width > clip_.left) DrawChar(c, text.substr(i, c.bytes), x, textTop, colour);
      x += c.width;
      i += c.bytes;
    }
    if (x >= clip_.right) return !hasLineEnd;
    if (!hasLineEnd) {
      DrawEof(x, rowTop, rowBack, false);
      return true;
    }
    if (settings_.lineEndMarks && x + m_.columnWidth > clip_.left) LineEndMark(x, textTop, colour);
    return false;
  }

  void DrawEof(int x, int rowTop, Colour rowBack, bool underline) {
    if (!settings_.eofMark) return;
    const int w = EofMarkWidth(m_, settings_.eofText);
    if (w <= 0 || x >= clip_.right || x + w <= clip_.left) return;
    const Colour back = colours_.Back(kSlotText);
    if (back != rowBack) Fill(Rect{x, rowTop, x + w, rowTop + m_.lineHeight}, back);
    if (underline) {
      const int y = UnderlineY(rowTop);
      Line({x, y}, {x + w - 1, y}, colours_.Text(kSlotUnderline));
    }
    target_.Glyphs(x, rowTop + m_.textOffset, settings_.eofText, colours_.Text(kSlotEof));
  }

 private:
  // Completes the colourer's runs: at least one run and the terminating
  // entry; on range lines text-like runs take the range lines' colours.
  void PrepareRuns(std::size_t length, bool rangeLine) {
    if (runs_.empty()) runs_.push_back(PackRun(0, kSlotText));
    if (static_cast<std::size_t>(RunStart(runs_.back())) <= length)
      runs_.push_back(PackRun(static_cast<int>(length) + 1, 0, 0, 0));
    if (!rangeLine) return;
    for (std::size_t k = 0; k + 1 < runs_.size(); ++k) {
      const std::uint32_t run = runs_[k];
      const int kind = RunKind(run);
      if (!IsTextLikeKind(kind)) continue;
      const int text = kind == kSlotText ? TextIndex(kSlotRangeLine) : RunText(run);
      runs_[k] = PackRun(RunStart(run), kind, text, BackIndex(kSlotRangeLine));
    }
  }

  void FillRun(std::uint32_t run, int from, int to, int rowTop, Colour rowBack, bool rangeLine) {
    if (from >= to) return;
    if (rangeLine && RunBack(run) == BackIndex(kSlotRangeLine)) return;
    const Colour back = colours_.At(RunBack(run));
    if (back == rowBack) return;
    Fill(Rect{from, rowTop, to, rowTop + m_.lineHeight}, back);
  }

  void DrawChar(const Char& c, std::string_view bytes, int x, int textTop, Colour colour) {
    switch (c.kind) {
      case CharKind::Tab:
        if (settings_.tabMarks) TabMark(x, textTop, colour);
        return;
      case CharKind::Blank:
        if (settings_.spaceMarks) BlankMark(x, c.width, textTop, colour);
        return;
      case CharKind::WideBlank:
        if (settings_.wideSpaceMarks) WideBlankMark(x, c.width, textTop, colour);
        return;
      case CharKind::LineEnd:
        return;
      case CharKind::Other:
        target_.Glyphs(x, textTop, bytes, colour);
        return;
    }
  }

  // A right-pointing arrow at mid-height.
  void TabMark(int x, int textTop, Colour colour) {
    const int length = std::max(1, std::min((m_.textHeight - 2) * 2 / 3, m_.columnWidth - 1));
    const int y = textTop + m_.textHeight / 2;
    const int tip = x + length - 1;
    const int head = std::max(1, length / 3);
    Line({x, y}, {tip, y}, colour);
    const Point pts[3] = {{tip - head, y - head}, {tip, y}, {tip - head, y + head}};
    target_.Polyline(pts, 3, colour);
  }

  // A small open box at the foot of a half-width blank.
  void BlankMark(int x, int width, int textTop, Colour colour) {
    if (width < 3) return;
    const int top = textTop + m_.textHeight * 4 / 5;
    const int bottom = textTop + m_.textHeight - 1;
    const int left = x + 1;
    const int right = x + width - 2;
    const Point pts[4] = {{left, top}, {left, bottom}, {right, bottom}, {right, top}};
    target_.Polyline(pts, 4, colour);
  }

  // A square outline centred in a full-width blank's cell.
  void WideBlankMark(int x, int width, int textTop, Colour colour) {
    const int side = std::min(m_.textHeight * 60 / 100, width * 60 / 100);
    if (side < 2) return;
    const int left = x + (width - side) / 2;
    const int top = textTop + (m_.textHeight - side) / 2;
    const int right = left + side - 1;
    const int bottom = top + side - 1;
    const Point pts[5] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
    target_.Polyline(pts, 5, colour);
  }

  // A downward arrow in the line-end cell.
  void LineEndMark(int x, int textTop, Colour colour) {
    const int length = std::max(1, m_.textHeight * 4 / 5);
    const int top = textTop + (m_.textHeight - length) / 2;
    const int foot = top + length - 1;
    const int head = std::max(1, std::min(length / 3, m_.columnWidth / 2 - 1));
    int cx = x + m_.columnWidth / 2;
    if (settings_.italic) cx += (2 * head + 1) / 4;
    Line({cx, top}, {cx, foot}, colour);
    const Point pts[3] = {{cx - head, foot - head}, {cx, foot}, {cx + head, foot - head}};
    target_.Polyline(pts, 3, colour);
  }

  DrawTarget& target_;
  const EditMetrics& m_;
  const RenderSettings& settings_;
  const DrawColours& colours_;
  Rect clip_;
  std::vector<std::uint32_t> runs_;
};

}  // namespace

void OverlayRun(std::vector<std::uint32_t>& runs, int from, int to, int kind, int textIndex, int backIndex) {
  if (runs.size() < 2) return;
  const std::uint32_t terminator = runs.back();
  to = std::min(to, RunStart(terminator));
  from = std::max(from, 0);
  if (from >= to) return;
  std::vector<std::uint32_t> out;
  out.reserve(runs.size() + 2);
  bool laid = false;
  for (std::size_t k = 0; k + 1 < runs.size(); ++k) {
    const std::uint32_t run = runs[k];
    const int start = RunStart(run), end = RunStart(runs[k + 1]);
    if (start < from) out.push_back(run);
    if (!laid && end > from) {
      out.push_back(PackRun(from, kind, textIndex, backIndex));
      laid = true;
    }
    if (end > to) out.push_back(PackRun(std::max(start, to), RunKind(run), RunText(run), RunBack(run)));
  }
  out.push_back(terminator);
  runs = std::move(out);
}

bool IsTextLikeKind(int kind) {
  return kind == kSlotText || (kind >= 4 && kind <= 7) || (kind >= 9 && kind <= 11) || kind == kRunKeywordO;
}

DrawColours::DrawColours() : entry(kDefaultColours) {}

void PlainColourer::ColourLine(int, std::string_view text, bool, std::vector<std::uint32_t>& runs) {
  runs.push_back(PackRun(0, kSlotText, TextIndex(kSlotText), BackIndex(kSlotText)));
  runs.push_back(PackRun(static_cast<int>(text.size()) + 1, 0, 0, 0));
}

int EofMarkWidth(const EditMetrics& m, std::string_view text) {
  int w = 0;
  for (const char c : text) w += m.singleWidth[static_cast<std::uint8_t>(c)];
  return w;
}

void PaintEditView(DrawTarget& target, const EditMetrics& m, const RenderSettings& settings, const DrawColours& colours,
                   const PaneView& view, Rect update, const LineSource& lines, LineColourer& colourer) {
  update = Intersect(update, Rect{0, 0, view.width, view.height});
  if (IsEmpty(update) || m.lineHeight <= 0) return;
  if (!settings.backgroundDrawnElsewhere) target.FillRect(update, colours.Back(kSlotBackground));
  const Rect clip{std::max(update.left, view.leftMargin), update.top, update.right, update.bottom};
  if (IsEmpty(clip)) return;
  target.Clip(clip);

  LinePainter painter(target, m, settings, colours, clip);
  const int lh = m.lineHeight;
  const int firstRow = update.top / lh;
  const int lastRow = std::min((update.bottom - 1) / lh, kMaxPaneRows - 1);
  const int origin = view.leftMargin - view.xOffset;
  const bool underlineCaret = settings.caretUnderline && view.active && !view.selecting;

  LineInfo info;
  int lastHasLineEnd = -1;  // unknown until the last line is read
  for (int row = firstRow; row <= lastRow; ++row) {
    const int lineNo = view.firstLine + row;
    if (lineNo > view.lineCount) break;
    info = LineInfo{};
    if (!lines(lineNo, info)) return;
    if (info.text.size() > static_cast<std::size_t>(kMaxPaintedLine)) return;
    const int rowTop = row * lh;
    Colour rowBack = colours.Back(kSlotBackground);
    if (info.rangeLine) {
      rowBack = colours.Back(kSlotRangeLine);
      painter.Fill(Rect{clip.left, rowTop, clip.right, rowTop + lh}, rowBack);
    }
    const bool noLineEnd = painter.DrawLine(lineNo, info, rowTop, origin, rowBack, colourer);
    if (lineNo == view.lineCount) lastHasLineEnd = noLineEnd ? 0 : 1;
    if (underlineCaret && lineNo == view.caretLine) {
      const int y = painter.UnderlineY(rowTop);
      if (y >= clip.top && y < clip.bottom)
        painter.Line({clip.left, y}, {clip.right - 1, y}, colours.Text(kSlotUnderline));
    }
  }

  // The row after the document: the end-of-file mark when the last line ends
  // with CR LF (or when there are no lines at all).
  const int eofRow = std::max(view.lineCount, 0) + 1 - view.firstLine;
  if (eofRow < firstRow || eofRow > lastRow) return;
  if (view.lineCount < 1) {
    painter.DrawEof(origin, eofRow * lh, colours.Back(kSlotBackground), false);
    return;
  }
  if (lastHasLineEnd < 0) {
    info = LineInfo{};
    if (!lines(view.lineCount, info)) return;
    lastHasLineEnd = EndsWithLineEnd(info.text) ? 1 : 0;
  }
  if (lastHasLineEnd == 1) painter.DrawEof(origin, eofRow * lh, colours.Back(kSlotBackground), true);
}

void PaintLineNumbers(DrawTarget& target, const EditMetrics& m, const RenderSettings& settings,
                      const DrawColours& colours, int firstLine, int lineCount, int columnWidth, int height,
                      Rect update, const LineSource& lines) {
  update = Intersect(update, Rect{0, 0, columnWidth, height});
  if (IsEmpty(update) || m.lineHeight <= 0) return;
  const int lh = m.lineHeight;
  const Colour back = colours.Back(kSlotBackground);
  const bool paintBack = !settings.backgroundDrawnElsewhere;
  const bool fillRows = paintBack && settings.fillLineNumberBack;
  const int firstRow = update.top / lh;
  const int lastRow = (update.bottom - 1) / lh;

  LineInfo info;
  for (int row = firstRow; row <= lastRow; ++row) {
    const int lineNo = firstLine + row;
    const int top = row * lh;
    if (lineNo > lineCount || row >= kMaxPaneRows) {
      // Below the document.
      if (paintBack) target.FillRect(Intersect(update, Rect{0, top, columnWidth, update.bottom}), back);
      return;
    }
    info = LineInfo{};
    const bool bookmark = lines(lineNo, info) && info.bookmark;
    const Rect rowRect{0, top, columnWidth, top + lh};
    if (fillRows) target.FillRect(Intersect(update, rowRect), back);
    Colour text = colours.Text(kSlotText);
    if (bookmark) {
      target.RoundRect(rowRect, settings.bookmarkCorner, colours.Back(kSlotBookmark));
      text = colours.Text(kSlotBookmark);
    }
    if (settings.showLineNumbers) {
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, lineNo).ptr;
      target.TextRight(Rect{0, top + m.lineNumberOffset, columnWidth - kLineNumberRightGap, top + lh},
                       std::string_view(digits, static_cast<std::size_t>(end - digits)), text);
    }
  }
}

}  // namespace gorvane::shell

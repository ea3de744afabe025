// Painting the edit view and the line-number column.
//
// The painter decides what goes where: row and character positions from the
// metrics tables, colours from the run list a LineColourer makes, the marks
// for tabs, blanks, line ends and the end of the file. The shell only carries
// out the drawing primitives of a DrawTarget (with GDI); tests record them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/metrics.h"

namespace gorvane::shell {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};
struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// 0x00BBGGRR, as a COLORREF.
using Colour = std::uint32_t;
constexpr Colour Rgb(int r, int g, int b) {
  return static_cast<Colour>(r & 0xFF) | static_cast<Colour>(g & 0xFF) << 8 | static_cast<Colour>(b & 0xFF) << 16;
}

// What the painter draws with. Coordinates are the window's client
// coordinates.
class DrawTarget {
 public:
  virtual ~DrawTarget() = default;
  // Later primitives draw only inside r (until the paint ends).
  virtual void Clip(const Rect& r) = 0;
  virtual void FillRect(const Rect& r, Colour fill) = 0;
  // Shift-JIS text drawn as one piece with its top left at x, y, without a
  // background: one character (a byte or a double-byte pair), or the whole
  // end-of-file mark.
  virtual void Glyphs(int x, int y, std::string_view sjis, Colour text) = 0;
  // A one-pixel line through the points, both end points included.
  virtual void Polyline(const Point* pts, int n, Colour pen) = 0;
  // A rounded rectangle filled (and outlined) in one colour.
  virtual void RoundRect(const Rect& r, int cornerDiameter, Colour fill) = 0;
  // A line number: right-aligned in r, vertically at r.top, no background.
  virtual void TextRight(const Rect& r, std::string_view ascii, Colour text) = 0;
};

// ---- colours --------------------------------------------------------------------

// 18 colour slots, each a text and a background colour. Slots 3-7, 9-11, 14,
// 15 and 17 belong to the colouring of keywords and the like.
inline constexpr int kColourSlots = 18;
inline constexpr int kColourEntries = 2 * kColourSlots;
inline constexpr int kSlotBackground = 0;  // the view's background
inline constexpr int kSlotText = 1;        // plain text (its background: the end-of-file mark's)
inline constexpr int kSlotSelection = 2;
inline constexpr int kSlotKeyword = 4;
inline constexpr int kSlotRangeLine = 8;   // lines inside the range setting
inline constexpr int kSlotBracket = 9;     // the matching bracket pair's background
inline constexpr int kSlotBookmark = 12;   // bookmarked line numbers
inline constexpr int kSlotEof = 13;        // the end-of-file mark's text
inline constexpr int kSlotUnderline = 16;  // the caret line's underline (text colour)
// A run kind beyond the slots: a keyword with the option "o", in the
// keyword slot's colours.
inline constexpr int kRunKeywordO = 18;

constexpr int TextIndex(int slot) { return 2 * slot; }
constexpr int BackIndex(int slot) { return 2 * slot + 1; }
// The slot whose colours a run kind is drawn with.
constexpr int SlotOfKind(int kind) { return kind == kRunKeywordO ? kSlotKeyword : kind; }
// Plain text and the colouring's kinds: on range lines their background is
// the range lines'. The selection and the marking slots keep theirs.
bool IsTextLikeKind(int kind);

// Entry 2k is slot k's text colour, 2k+1 its background.
struct DrawColours {
  std::array<Colour, kColourEntries> entry;
  DrawColours();
  // Out-of-range indexes read as plain text's colours.
  Colour At(int index) const {
    if (index >= 0 && index < kColourEntries) return entry[static_cast<std::size_t>(index)];
    return entry[static_cast<std::size_t>(index % 2 == 0 ? TextIndex(kSlotText) : BackIndex(kSlotText))];
  }
  Colour Text(int slot) const { return At(TextIndex(slot)); }
  Colour Back(int slot) const { return At(BackIndex(slot)); }
};

// ---- runs -------------------------------------------------------------------------

// A colour run, packed: bits 17-31 the 0-based byte it starts at, 12-16 its
// kind (a colour slot or kRunKeywordO), 6-11 its text colour index, 0-5 its
// background colour index. A line's runs are sorted by start; one more entry
// after them starts at the line's length + 1 (its CR LF included).
constexpr std::uint32_t PackRun(int start, int kind, int textIndex, int backIndex) {
  return static_cast<std::uint32_t>(start & 0x7FFF) << 17 | static_cast<std::uint32_t>(kind & 0x1F) << 12 |
         static_cast<std::uint32_t>(textIndex & 0x3F) << 6 | static_cast<std::uint32_t>(backIndex & 0x3F);
}
// A run in its kind's own colours.
constexpr std::uint32_t PackRun(int start, int kind) {
  return PackRun(start, kind, TextIndex(SlotOfKind(kind)), BackIndex(SlotOfKind(kind)));
}
constexpr int RunStart(std::uint32_t run) { return static_cast<int>(run >> 17); }
constexpr int RunKind(std::uint32_t run) { return static_cast<int>(run >> 12 & 0x1F); }
constexpr int RunText(std::uint32_t run) { return static_cast<int>(run >> 6 & 0x3F); }
constexpr int RunBack(std::uint32_t run) { return static_cast<int>(run & 0x3F); }

// Lays a run of one style over the bytes [from, to) of a line's runs (sorted,
// starting at 0, ending with the terminating entry), cutting the runs it meets.
void OverlayRun(std::vector<std::uint32_t>& runs, int from, int to, int kind, int textIndex, int backIndex);

// Splits a line into colour runs; runs arrives empty.
class LineColourer {
 public:
  virtual ~LineColourer() = default;
  virtual void ColourLine(int lineNo, std::string_view text, bool rangeLine, std::vector<std::uint32_t>& runs) = 0;
};

// No colouring: the whole line is plain text.
class PlainColourer : public LineColourer {
 public:
  void ColourLine(int lineNo, std::string_view text, bool rangeLine, std::vector<std::uint32_t>& runs) override;
};

// ---- what is painted ------------------------------------------------------------

struct RenderSettings {
  bool tabMarks = true;
  bool spaceMarks = false;
  bool wideSpaceMarks = true;  // the full-width blank
  bool lineEndMarks = true;
  bool eofMark = true;
  bool caretUnderline = true;
  bool showLineNumbers = true;
  bool fillLineNumberBack = true;
  int tabSize = 8;
  std::string eofText = "[EOF]";
  bool italic = false;     // the edit font is italic
  int bookmarkCorner = 6;  // corner diameter of a bookmarked line number's box
  // The shell draws the background (a picture) before the painter: the fills
  // in slot 0's background are left out.
  bool backgroundDrawnElsewhere = false;
  bool bracketHighlight = true;  // the matching bracket pair in slot 9's colours
};

struct PaneView {
  int firstLine = 1;  // 1-based line in the top row
  int lineCount = 0;  // lines of the document
  int width = 0;      // the view's client size in pixels
  int height = 0;
  int leftMargin = 0;  // text starts this far right
  int xOffset = 0;     // horizontal scroll in pixels
  int caretLine = 1;
  bool active = false;     // the pane with the caret
  bool selecting = false;  // a selection is active
};

// One line as the shell's line window has it.
struct LineInfo {
  std::string_view text;  // Shift-JIS, with its CR LF when it has one; valid until the next call
  bool rangeLine = false;
  bool bookmark = false;
  // The selected bytes [selectFrom, selectTo) of the text (the CR LF
  // included when the selection runs over the line end).
  int selectFrom = 0, selectTo = 0;
  // The bytes of a matching bracket pair on this line (-1: none).
  std::array<int, 2> brackets{-1, -1};
};
// Fills a line's info; false when the line cannot be read.
using LineSource = std::function<bool(int lineNo, LineInfo& out)>;

inline constexpr int kMaxPaneRows = 400;       // lines of a pane's window
inline constexpr int kMaxPaintedLine = 15360;  // a longer line ends the painting

// The end-of-file mark's width: its bytes' single widths.
int EofMarkWidth(const EditMetrics& m, std::string_view text);

// Paints the rows of the edit view that meet `update`.
void PaintEditView(DrawTarget& target, const EditMetrics& m, const RenderSettings& settings, const DrawColours& colours,
                   const PaneView& view, Rect update, const LineSource& lines, LineColourer& colourer);

// Paints the rows of a pane's line-number column (columnWidth × height, its
// top row showing firstLine of lineCount lines) that meet `update`. The
// column's background is the view's (slot 0).
void PaintLineNumbers(DrawTarget& target, const EditMetrics& m, const RenderSettings& settings,
                      const DrawColours& colours, int firstLine, int lineCount, int columnWidth, int height,
                      Rect update, const LineSource& lines);

}  // namespace gorvane::shell

// Text changed between caret positions: the one place where bytes go into
// and out of the line store's lines for editing. CR LF pairs in inserted
// text break lines; a range that spans lines joins what is left around it.
// Nothing here records undo or checks limits: callers check first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/line_store.h"
#include "document/types.h"

namespace gorvane::document {

class TextEdit {
 public:
  explicit TextEdit(LineStore& store) : store_(store) {}

  // A line's bytes with its line end; "" past the end.
  std::string Line(LineNo line);
  // The position after `text` put in at `at`.
  static TextPos After(TextPos at, std::string_view text);
  // Inserts `text` at the caret position (a column past the text counts as
  // its end). False when a line could not be changed or would exceed
  // 15,360 bytes (nothing is changed then, unless the store failed).
  bool Insert(TextPos at, std::string_view text);
  // The same with the text's CR LF ends already known (TextShape::ends).
  bool Insert(TextPos at, std::string_view text, std::span<const std::uint32_t> ends);
  // The bytes of [from, to); false when a line cannot be read.
  bool Read(TextPos from, TextPos to, std::string* out);
  // Removes [from, to).
  bool Erase(TextPos from, TextPos to);
  // Replaces a line's whole text (line end included).
  bool SetLine(LineNo line, std::string_view bytes);
  // A whole line (with its CR LF) put above `before`, or one taken out.
  bool InsertLine(LineNo before, std::string_view bytes);
  bool RemoveLine(LineNo line);

  // Where lines came or went since the last call: (first line after the
  // place, lines added, negative when removed), in order.
  struct Shift {
    LineNo from;
    std::int32_t lines;
  };
  std::vector<Shift> TakeShifts() { return std::exchange(shifts_, {}); }

  LineStore& store() { return store_; }

 private:
  LINEDATA_STRC* Held(LineNo line) { return store_.BringIntoWindow(store_.activePane(), line); }
  void Shifted(LineNo from, std::int32_t lines) {
    if (lines != 0) shifts_.push_back({from, lines});
  }
  LineStore& store_;
  std::vector<Shift> shifts_;
};

}  // namespace gorvane::document

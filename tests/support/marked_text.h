// Texts with markers for tests of moves and matches: each marker character
// (by default "^", "[", "]" and "@", none of which the texts may otherwise
// hold) is taken out and its position remembered. Lines are separated by
// "\n"; each line but the last gets CR LF. The text is UTF-8 and becomes
// Shift-JIS piece by piece, so a marker never meets a trail byte.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "document/types.h"
#include "shell/host.h"
#include "support/text_lines.h"

namespace gvtest {

struct MarkedText {
  std::vector<std::string> lines;  // Shift-JIS, without line ends
  std::map<char, gorvane::document::TextPos> marks;  // the caret column before which each marker stood

  bool Has(char marker) const { return marks.count(marker) != 0; }
  gorvane::document::TextPos At(char marker) const { return marks.at(marker); }
  // The byte before which the marker stood, on its line.
  std::int32_t Byte(char marker) const { return marks.at(marker).column.value - 1; }
  TextLines Source() const { return TextLines(lines); }
};

inline MarkedText ParseMarked(std::u8string_view text, std::u8string_view markers = u8"^[]@") {
  namespace doc = gorvane::document;
  MarkedText m;
  std::u8string piece;
  m.lines.emplace_back();
  auto flush = [&] {
    m.lines.back() += gorvane::shell::Sjis(piece);
    piece.clear();
  };
  for (char8_t c : text) {
    if (c == u8'\n') {
      flush();
      m.lines.emplace_back();
    } else if (markers.find(c) != std::u8string_view::npos) {
      flush();
      m.marks[static_cast<char>(c)] = doc::TextPos{doc::LineNo(static_cast<std::int32_t>(m.lines.size())),
                                                   doc::CaretCol(static_cast<std::int32_t>(m.lines.back().size()) + 1)};
    } else {
      piece += c;
    }
  }
  flush();
  return m;
}

}  // namespace gvtest

// Finding the search string in the document from the caret, upward or
// downward, by the option byte's plain ways of matching (case, word edges,
// fuzzy, wildcard): the pattern prepared once per search, every line read in
// turn, a hit checked and mapped back to the line's own bytes. Regular
// expressions go through the automaton calls (automaton.h) instead.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/line_source.h"
#include "document/types.h"

namespace gorvane::search {

// A hit: the bytes [offset, offset + length) of a line.
struct Hit {
  document::LineNo line{1};
  std::int32_t offset = 0;
  std::int32_t length = 0;
  constexpr bool operator==(const Hit&) const = default;
};

class Finder {
 public:
  // pattern: the search string's bytes; options: its option byte (the regular
  // expression bit is not this class's); delimiters: the 65,536-entry table
  // with the search bits (0x10, 0x20) set. Upward needs its own Finder, as
  // the pattern is prepared for the direction.
  Finder(std::string_view pattern, std::uint8_t options, const std::uint8_t* delimiters, bool upward);
  ~Finder();
  Finder(const Finder&) = delete;
  Finder& operator=(const Finder&) = delete;

  // Whether there is anything to look for once the pattern is prepared.
  bool empty() const;

  // The first hit at or after the caret (0-based start = column - 1) on the
  // caret's line, then on each line below it down to `last`.
  std::optional<Hit> Down(document::LineSource& lines, document::TextPos caret, document::LineNo last);
  // The last hit that begins before the caret on its line, then on each line
  // above it up to `first`.
  std::optional<Hit> Up(document::LineSource& lines, document::TextPos caret, document::LineNo first);

  // The first hit that begins at or after `start` in one line (with or
  // without its CR LF), for the replace and listing code.
  std::optional<std::pair<std::int32_t, std::int32_t>> InLine(std::string_view line, std::int32_t start);

 private:
  std::optional<Hit> WildUp(document::LineSource& lines, document::TextPos caret, document::LineNo first);
  struct Prepared;
  std::unique_ptr<Prepared> p_;
};

}  // namespace gorvane::search

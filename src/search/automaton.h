// The regular-expression calls the editor's search, replace and function-name
// labels make, one search at a time:
//
//   auto automaton = InitAndCreateAutomaton(pattern, caseFlag, settings, &error);   // null: error (kind 1)
//   int r = RegularExpression(*automaton, lines, caretColumn, caretLine, startInclusive,
//                             inRange, isRangeLine, &found, &error);
//   r > 0: the search ran; found.flags tells what it found (none of 0x04, 0x08: nothing)
//   r <= 0: it failed: error.kind 2 time limit, 3 memory
//   auto groups = GetRegExpEnData(*automaton, lines);   // the last match's groups and their text
//   ReleaseRegExpEnData(groups); FreeAutomaton(automaton);
//
// The search goes downward from the caret (1-based column and line) through
// the document, or with inRange only through the caret's range: down to, not
// including, the next line for which isRangeLine answers true.
//
// Searching on. startInclusive 1: a match may begin at the caret, empty or
// not (a search without a selection). startInclusive 0: a match that begins at
// the caret must not be empty. So that every match is found once and a
// search always moves on:
//   - after a non-empty match (0x04), search from the caret after its last
//     byte with startInclusive 1 (0x10 says so: it is set with every 0x04);
//   - after an empty match (0x08), search from the caret at its place with
//     startInclusive 0 (then the search moves on by a whole character, and
//     from the end of a line to the start of the next, never between CR and LF).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "document/line_source.h"
#include "document/selection.h"
#include "document/types.h"
#include "search/regex.h"

namespace gorvane::search {

inline constexpr std::uint32_t kRegexFound = 0x04;      // a non-empty match: the selection holds it
inline constexpr std::uint32_t kRegexEmpty = 0x08;      // an empty match at the selection's anchor
inline constexpr std::uint32_t kRegexGoesOn = 0x10;     // with 0x04: search on from its end with startInclusive 1

// What RegularExpression found (SELECTDATA): the selection record with the
// match, its end column the last byte (a match that takes a line break ends on
// that line's LF); for an empty match anchor and other are its place and the
// selection does not exist.
struct RegexSelection {
  document::Selection selection;
  std::uint32_t flags = 0;
};

struct AutomatonSettings {
  int timeoutSeconds = 3;                  // the settings' value; 0 or less counts as 3
  const base::Clock* clock = nullptr;      // null: the system's clock
  const std::uint8_t* delimiters = nullptr;  // the search delimiter table (bits 0x10, 0x20); null: the fixed ones
};

// One compiled pattern and what its last search found; only these calls use it.
class Automaton {
 public:
  std::unique_ptr<Regex> regex;
  AutomatonSettings settings;
  RegexMatch last;
};

// Compiles the pattern; caseFlag -1 distinguishes case, 0 folds ASCII letters.
// Null with *error (kind 1, the place and the message) when it is refused.
std::unique_ptr<Automaton> InitAndCreateAutomaton(std::string_view pattern, int caseFlag,
                                                  const AutomatonSettings& settings, RegexError* error);

// One search (see above). Returns 1 when it ran, 0 (with *error) when it failed.
int RegularExpression(Automaton& automaton, document::LineSource& lines, document::CaretCol caretColumn,
                      document::LineNo caretLine, bool startInclusive, bool inRange,
                      const std::function<bool(document::LineNo)>& isRangeLine, RegexSelection* out,
                      RegexError* error);

void FreeAutomaton(std::unique_ptr<Automaton>& automaton);

// The last match's groups (0 the whole match, 1-9): whether each took part,
// its place, and its bytes (CR LF where it takes a line break).
struct RegExpEnData {
  struct Group {
    bool set = false;
    TextPoint start, end;
    std::string text;
  };
  std::array<Group, kGroups> groups{};
  int count = 0;  // the pattern's capturing groups
};
// Null when the last search found nothing.
std::unique_ptr<RegExpEnData> GetRegExpEnData(const Automaton& automaton, document::LineSource& lines);
void ReleaseRegExpEnData(std::unique_ptr<RegExpEnData>& data);

// The bytes from start to end (end just after the last one) across lines.
std::string TextBetween(document::LineSource& lines, TextPoint start, TextPoint end);

}  // namespace gorvane::search

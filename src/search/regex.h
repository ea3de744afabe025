// Regular expressions over Shift-JIS text, matched in time linear in the text
// (no backtracking): a pattern is parsed, compiled to a byte program, and run
// by a lazy DFA that tells which lines can hold a match and a Pike VM that
// finds the match and its groups on those lines only.
//
// Syntax. A double-byte character is one character everywhere.
//   x            a character stands for itself (ASCII, half-width kana, double-byte)
//   .            any character but a line end
//   [abc] [^abc] a class; ranges a-z, ぁ-ん, ァ-ヶ, ０-９ (both ends of one width);
//                "]" first and "-" first or last are themselves; a negated class
//                never holds a line end; \d \w \s \D \W \S and the escapes below work inside
//   \d \w \s     ASCII only: [0-9], [0-9A-Za-z_], space TAB FF VT (line ends are never \s)
//   \D \W \S     any character but a line end that is not \d, \w, \s
//   \t \f \v     TAB, form feed, vertical tab; \xHH the single byte HH (not CR or LF)
//   \n           the line break between two lines (their CR LF): the one way a
//                match goes on to the next line
//   \\ \. \* ... an escaped ASCII symbol (or double-byte character) is itself
//   ^ $          the start and the end of a line's text
//   \b \B        at a word edge, not at a word edge: where a word may end and
//                another begin by the whole-word search's rules (WordEdge in
//                word_edge.h); the start and end of a line are edges
//   (x)          group, captured as 1 to 9 in order of "(" (later groups are not captured)
//   (?:x)        group without capture
//   x|y          x, else y (leftmost-first: the first alternative that matches wins)
//   x* x+ x?     greedy: as many as possible; x*? x+? x?? lazy: as few as possible
//   x{n} x{n,} x{n,m} and their lazy forms x{n,}? x{n,m}?; n, m at most 1000;
//                a "{" that does not start a count is itself
// Refused (syntax errors): back-references \1-\9, look-around (?= (?! (?<= (?<!,
// other (? forms, escapes of letters not listed, \r and raw line-end bytes,
// quantifiers on nothing or on a quantifier, groups nested deeper than
// kMaxNesting, programs larger than kMaxProgram instructions.
// Without case distinction ASCII letters match both cases; bytes of
// double-byte characters never fold.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "document/line_source.h"
#include "document/types.h"

namespace gorvane::search {

// What went wrong (REGEXP_ERRCODE): kind 1 the pattern (syntax or size), 2 the
// time limit, 3 memory; 0 no error.
inline constexpr int kRegexOk = 0, kRegexSyntax = 1, kRegexTimeout = 2, kRegexMemory = 3;
struct RegexError {
  int kind = kRegexOk;
  int position = 0;     // kind 1: the 1-based character of the pattern where it was found
  std::string message;  // Shift-JIS, for the status bar
};

inline constexpr int kMaxNesting = 100;      // groups inside groups
inline constexpr int kMaxCount = 1000;       // n and m of {n,m}
inline constexpr int kMaxProgram = 100000;   // compiled instructions
inline constexpr int kGroups = 10;           // 0 (the whole match) to 9

struct Program;

class Regex {
 public:
  // The compiled pattern, or null with *error filled (kind 1).
  static std::unique_ptr<Regex> Compile(std::string_view pattern, bool distinguishCase, RegexError* error);
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // Capturing groups in the pattern (at most 9).
  int groups() const;
  // Whether the pattern can match a line break (holds \n).
  bool spansLines() const;
  // The instructions of the program (for limits and tests).
  int size() const;
  const Program& program() const { return *program_; }

 private:
  explicit Regex(std::unique_ptr<Program> program);
  std::unique_ptr<Program> program_;
};

// A place in the document: a line and a 0-based byte column.
struct TextPoint {
  document::LineNo line;
  std::int32_t col = 0;
  constexpr auto operator<=>(const TextPoint&) const = default;
};

struct Capture {
  bool set = false;  // the group took part in the match
  TextPoint start, end;  // end: just after the last byte
};

struct RegexMatch {
  bool found = false;
  TextPoint start, end;  // end just after the match (on a later line when it took a line break)
  bool empty() const { return start == end; }
  std::array<Capture, kGroups> groups{};  // 0 is the whole match
};

// What a search looks through and how long it may take.
struct RegexSearch {
  // The first place a match may begin (on a character boundary of its line).
  TextPoint from;
  // True: a match may begin at `from`, empty or not. False: one that begins
  // exactly at `from` must not be empty (the previous search found an empty
  // match there), so the search always moves on.
  bool startInclusive = true;
  // The last line a match may begin or run on (0 or past the end: the document's end).
  document::LineNo last;
  // When set, asked for each line after from.line before it is read: true ends
  // the scope before that line (a range-setting line).
  std::function<bool(document::LineNo)> endsScopeAt;
  // The word delimiters (bits 0x10, 0x20 of the 65,536-entry search table) for
  // \b and \B; null: the fixed delimiters only.
  const std::uint8_t* delimiters = nullptr;
  // The time limit: the search gives up with kind 2 once clock->NowMs() reaches
  // deadlineMs (checked every few thousand steps). No clock: no limit.
  const base::Clock* clock = nullptr;
  std::int64_t deadlineMs = 0;
};

// Searches downward through the lines for the leftmost-first match. False with
// *error filled (kind 2, 3) when it gave up; true otherwise, with out->found
// telling whether a match was found.
bool SearchLines(const Regex& regex, document::LineSource& lines, const RegexSearch& search, RegexMatch* out,
                 RegexError* error);

// Counts of the work a search did, for tests and benchmarks.
struct RegexStats {
  std::int64_t linesRead = 0;     // lines taken from the source
  std::int64_t prefilterSkips = 0;  // lines passed over by the required literal
  std::int64_t dfaSkips = 0;      // lines the DFA found no match in
  std::int64_t pikeLines = 0;     // lines the Pike VM ran on
  std::int64_t pikeSteps = 0;     // threads the Pike VM moved over a byte
  std::int64_t dfaStates = 0;     // DFA states made
};
bool SearchLines(const Regex& regex, document::LineSource& lines, const RegexSearch& search, RegexMatch* out,
                 RegexError* error, RegexStats* stats);

// Whether lines hold a match, one line at a time and each on its own (a match
// never goes on into another line), for listings of matching lines: the
// required literal and the lazy DFA are kept from one line to the next, and
// the Pike VM runs only where the DFA cannot decide alone (word edges, a full
// state cache).
class LineMatcher {
 public:
  // delimiters: as RegexSearch's (null: the fixed delimiters only). The regex
  // must outlive the matcher.
  LineMatcher(const Regex& regex, const std::uint8_t* delimiters);
  ~LineMatcher();
  LineMatcher(const LineMatcher&) = delete;
  LineMatcher& operator=(const LineMatcher&) = delete;

  // text: a line's text without its line end.
  bool Matches(std::string_view text);
  // A text that every line with a match holds (ASCII letters compared without
  // case when literalFolded), or empty: lets a caller pass over many lines at once.
  const std::string& literal() const;
  bool literalFolded() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// One text (a line, or several joined by CR LF) searched from byte `from`:
// the leftmost-first match, on the Pike VM alone when pikeOnly (tests compare
// the two paths). Positions are lines of the text.
bool SearchText(const Regex& regex, std::string_view text, std::int32_t from, bool startInclusive, RegexMatch* out,
                RegexError* error, bool pikeOnly = false, RegexStats* stats = nullptr);

}  // namespace gorvane::search

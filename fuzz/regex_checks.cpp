#include "regex_checks.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "charcode/class_tables.h"
#include "search/regex.h"

namespace gorvane::fuzz {

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_regex: %s\n", what);
  std::abort();
}

void Require(bool ok, const char* what) {
  if (!ok) Fail(what);
}

std::string Describe(const search::RegexMatch& m) {
  if (!m.found) return "-";
  std::string s;
  for (const search::Capture& c : m.groups) {
    s += c.set ? std::to_string(c.start.line.value) + ":" + std::to_string(c.start.col) + "-" +
                     std::to_string(c.end.line.value) + ":" + std::to_string(c.end.col) + " "
               : "- ";
  }
  return s;
}

// Whether byte col of the line (the text without its CR LF, or its end) is a
// character boundary.
bool Boundary(std::string_view line, std::int32_t col) {
  std::string_view text = line;
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") text.remove_suffix(2);
  if (col < 0 || static_cast<std::size_t>(col) > text.size()) return false;
  std::size_t b = 0;
  while (b < static_cast<std::size_t>(col)) b += charcode::SjisCharBytes(text, b, text.size());
  return b == static_cast<std::size_t>(col);
}

}  // namespace

void CheckRegex(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  const bool distinguishCase = (data[0] & 1) != 0;
  const std::size_t n = std::min<std::size_t>(data[1], size - 2);
  const std::string pattern(reinterpret_cast<const char*>(data + 2), n);
  std::string text(reinterpret_cast<const char*>(data + 2 + n), size - 2 - n);
  if (text.size() > kMaxRegexText) text.resize(kMaxRegexText);

  search::RegexError error;
  auto re = search::Regex::Compile(pattern, distinguishCase, &error);
  if (!re) {
    Require(error.kind == search::kRegexSyntax, "a refused pattern is not a syntax error");
    Require(error.position >= 1 && static_cast<std::size_t>(error.position) <= pattern.size() + 1,
            "the error's place is outside the pattern");
    Require(!error.message.empty(), "an error without a message");
    return;
  }
  Require(re->size() <= search::kMaxProgram, "the program is larger than the limit");

  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end + 2 - start));
    start = end + 2;
  }
  // The start as a byte offset in the text, for the search on one text.
  std::vector<std::int64_t> lineStart{0};
  for (const std::string& l : lines) lineStart.push_back(lineStart.back() + static_cast<std::int64_t>(l.size()));

  search::TextPoint from{document::LineNo(1), 0};
  bool inclusive = true;
  for (int k = 0; k < kMaxRegexMatches; ++k) {
    // SearchText starts on line 1: give it the text from the start's line on.
    const std::size_t first = static_cast<std::size_t>(from.line.value - 1);
    if (first >= lines.size()) break;
    const std::string rest = text.substr(static_cast<std::size_t>(lineStart[first]));
    search::RegexMatch full, pike;
    Require(search::SearchText(*re, rest, from.col, inclusive, &full, &error), "a search without a limit gave up");
    Require(search::SearchText(*re, rest, from.col, inclusive, &pike, &error, true), "the Pike VM gave up");
    if (Describe(full) != Describe(pike)) {
      std::fprintf(stderr, "with the DFA: %s\nPike VM alone: %s\n", Describe(full).c_str(), Describe(pike).c_str());
      Fail("the two paths disagree");
    }
    if (!full.found) break;
    const auto shift = [&](search::TextPoint p) {
      return search::TextPoint{p.line + static_cast<std::int32_t>(first), p.col};
    };
    const search::TextPoint s = shift(full.start), e = shift(full.end);
    Require(s.line.value >= 1 && static_cast<std::size_t>(s.line.value) <= lines.size(), "a match outside the text");
    Require(!(s < from) && !(e < s), "a match before its start, or ending before it begins");
    Require(inclusive || !(s == from && e == from), "an empty match at a start that is not inclusive");
    Require(Boundary(lines[static_cast<std::size_t>(s.line.value - 1)], s.col), "a match begins inside a character");
    // The end: a boundary of its line, or the start of the line after a line break.
    if (static_cast<std::size_t>(e.line.value) <= lines.size())
      Require(Boundary(lines[static_cast<std::size_t>(e.line.value - 1)], e.col) ||
                  (e.col == 0 && e.line > s.line),
              "a match ends inside a character or between CR and LF");
    from = e;
    inclusive = !full.empty();
  }
}

}  // namespace gorvane::fuzz

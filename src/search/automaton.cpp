#include "search/automaton.h"

#include <algorithm>

namespace gorvane::search {

std::unique_ptr<Automaton> InitAndCreateAutomaton(std::string_view pattern, int caseFlag,
                                                  const AutomatonSettings& settings, RegexError* error) {
  *error = RegexError{};
  auto regex = Regex::Compile(pattern, caseFlag != 0, error);
  if (!regex) return nullptr;
  auto automaton = std::make_unique<Automaton>();
  automaton->regex = std::move(regex);
  automaton->settings = settings;
  return automaton;
}

int RegularExpression(Automaton& automaton, document::LineSource& lines, document::CaretCol caretColumn,
                      document::LineNo caretLine, bool startInclusive, bool inRange,
                      const std::function<bool(document::LineNo)>& isRangeLine, RegexSelection* out,
                      RegexError* error) {
  *out = RegexSelection{};
  automaton.last = RegexMatch{};
  static const base::SystemClock systemClock;
  const base::Clock& clock = automaton.settings.clock != nullptr ? *automaton.settings.clock : systemClock;
  const int seconds = automaton.settings.timeoutSeconds > 0 ? automaton.settings.timeoutSeconds : 3;

  RegexSearch search;
  search.from = {caretLine, std::max(0, caretColumn.value - 1)};
  search.startInclusive = startInclusive;
  if (inRange && isRangeLine) search.endsScopeAt = isRangeLine;
  search.delimiters = automaton.settings.delimiters;
  search.clock = &clock;
  search.deadlineMs = clock.NowMs() + std::int64_t(seconds) * 1000;
  RegexMatch m;
  if (!SearchLines(*automaton.regex, lines, search, &m, error)) return 0;
  if (!m.found) return 1;
  automaton.last = m;
  document::Selection& s = out->selection;
  s.anchorLine = m.start.line;
  s.anchorCol = document::SelCol(m.start.col);
  if (m.empty()) {
    s.otherLine = m.start.line;
    s.otherCol = s.anchorCol;
    s.exists = false;
    out->flags = kRegexEmpty;
    return 1;
  }
  if (m.end.col > 0) {
    s.otherLine = m.end.line;
    s.otherCol = document::SelCol(m.end.col - 1);
  } else {  // the match ends with a line break: on the LF of the line before
    s.otherLine = m.end.line - 1;
    s.otherCol = document::SelCol(static_cast<std::int32_t>(lines.Line(s.otherLine).size()) - 1);
  }
  s.exists = true;
  out->flags = kRegexFound | kRegexGoesOn;
  return 1;
}

void FreeAutomaton(std::unique_ptr<Automaton>& automaton) { automaton.reset(); }

std::string TextBetween(document::LineSource& lines, TextPoint start, TextPoint end) {
  std::string text;
  for (document::LineNo n = start.line; n <= end.line; ++n) {
    const std::string line = lines.Line(n);
    const auto size = static_cast<std::int32_t>(line.size());
    const std::int32_t from = n == start.line ? std::clamp(start.col, 0, size) : 0;
    const std::int32_t to = n == end.line ? std::clamp(end.col, from, size) : size;
    text.append(line, static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
  }
  return text;
}

std::unique_ptr<RegExpEnData> GetRegExpEnData(const Automaton& automaton, document::LineSource& lines) {
  if (!automaton.last.found) return nullptr;
  auto data = std::make_unique<RegExpEnData>();
  data->count = automaton.regex->groups();
  for (std::size_t g = 0; g < kGroups; ++g) {
    const Capture& c = automaton.last.groups[g];
    if (!c.set) continue;
    data->groups[g] = {true, c.start, c.end, TextBetween(lines, c.start, c.end)};
  }
  return data;
}

void ReleaseRegExpEnData(std::unique_ptr<RegExpEnData>& data) { data.reset(); }

}  // namespace gorvane::search

#include "search/search_strings.h"

#include <algorithm>
#include <cstring>

#include "charcode/class_tables.h"

namespace gorvane::search {

std::string_view CutAtCharacter(std::string_view text, std::size_t max) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t step = charcode::SjisCharBytes(text, i, text.size());
    if (i + step > max) break;
    i += step;
  }
  return text.substr(0, i);
}

SearchEntry MakeEntry(std::string_view text, std::uint8_t options) {
  SearchEntry e;
  text = CutAtCharacter(text.substr(0, text.find('\0')), kMaxEntryText);
  std::memcpy(e.text.data(), text.data(), text.size());
  e.length = static_cast<std::uint16_t>(text.size());
  e.options = options;
  return e;
}

void PutFirst(SEARCHSTR& strings, const SearchEntry& given) {
  const SearchEntry entry = given;  // it may be one of the history's own entries
  if (entry.length == 0) return;
  auto& h = strings.history;
  int at = kHistoryEntries - 1;  // the place that is given up
  for (int i = 0; i < kHistoryEntries && h[i].length != 0; ++i)
    if (TextOf(h[i]) == TextOf(entry)) {
      at = i;
      break;
    }
  for (int i = at; i > 0; --i) h[i] = h[i - 1];
  h[0] = entry;
}

int HistoryCount(const SEARCHSTR& strings) {
  int n = 0;
  while (n < kHistoryEntries && strings.history[n].length != 0) ++n;
  return n;
}

OptionButtons ButtonsFor(std::uint8_t options) {
  OptionButtons b;
  for (int i = 0; i < kOptionButtons; ++i) {
    b.checked[i] = (options >> i) & 1;
    b.enabled[i] = true;
  }
  const bool regex = options & kRegex, wild = options & kWildcard;
  b.enabled[1] = b.enabled[2] = b.enabled[3] = b.enabled[4] = !regex;  // 左単 右単 曖昧 WILD
  b.enabled[5] = wild && !regex;                                      // 最短
  b.enabled[6] = !wild;                                               // 正規
  return b;
}

std::uint8_t Effective(std::uint8_t options) {
  if (options & kRegex) return options & (kRegex | kCase);
  if (!(options & kWildcard)) options &= static_cast<std::uint8_t>(~kShortest);
  return options & 0x7F;
}

}  // namespace gorvane::search

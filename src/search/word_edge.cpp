#include "search/word_edge.h"

#include <array>

#include "charcode/class_tables.h"
#include "companions/qorvetc/search_text.h"

namespace gorvane::search {

const std::uint8_t* FixedSearchDelimiters() {
  static const std::array<std::uint8_t, 65536> table = [] {
    std::array<std::uint8_t, 65536> t{};
    qorvetc::BuildSearchDelimiters(t, {}, {});
    return t;
  }();
  return table.data();
}

namespace {

bool Delimiter(std::string_view text, std::size_t at, std::size_t bytes, const std::uint8_t* table) {
  const auto b = static_cast<std::uint8_t>(text[at]);
  if (bytes == 2) return (table[b * 256 + static_cast<std::uint8_t>(text[at + 1])] & kFullWidthDelimiter) != 0;
  return (table[b] & kHalfWidthDelimiter) != 0;
}

}  // namespace

// An edge where a word may both end and begin: next to a delimiter, or where
// the whole-word test passes on both sides.
bool WordEdge(std::string_view text, std::size_t prevStart, std::size_t pos, const std::uint8_t* delimiters) {
  if (pos == 0 || pos >= text.size()) return true;
  const std::uint8_t* table = delimiters != nullptr ? delimiters : FixedSearchDelimiters();
  const std::size_t nextBytes = charcode::SjisCharBytes(text, pos, text.size());
  if (Delimiter(text, prevStart, pos - prevStart, table) || Delimiter(text, pos, nextBytes, table)) return true;
  return qorvetc::IsWordMatch(text, pos, nextBytes, qorvetc::kSearchLeftWord, table) &&
         qorvetc::IsWordMatch(text, prevStart, pos - prevStart, qorvetc::kSearchRightWord, table);
}

}  // namespace gorvane::search

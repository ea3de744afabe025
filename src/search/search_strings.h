// The search string and its history as the search bar, the search dialog and
// the other editors share them: the option byte, the 262-byte entries, the
// record of the pending entry and the 20 most recent ones, the rule by which
// an entry goes to the front, and which of the seven option buttons may be
// used with which options.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "companions/qorvetc/search_text.h"

namespace gorvane::search {

// The option byte, saved with every history entry (the library's bits).
inline constexpr std::uint8_t kCase = qorvetc::kSearchCase;            // "区別"
inline constexpr std::uint8_t kLeftWord = qorvetc::kSearchLeftWord;    // "左単"
inline constexpr std::uint8_t kRightWord = qorvetc::kSearchRightWord;  // "右単"
inline constexpr std::uint8_t kFuzzy = qorvetc::kSearchFuzzy;          // "曖昧"
inline constexpr std::uint8_t kWildcard = qorvetc::kSearchWildcard;    // "WILD"
inline constexpr std::uint8_t kShortest = qorvetc::kSearchShortest;    // "最短": with kWildcard, the shortest run
inline constexpr std::uint8_t kRegex = qorvetc::kSearchRegex;          // "正規"
inline constexpr int kOptionButtons = 7;  // the bits above in order, buttons 2064 .. 2070
inline constexpr int kFirstOptionButtonId = 2064;

inline constexpr std::size_t kEntryTextBytes = 258;  // NUL-terminated text
inline constexpr std::size_t kMaxEntryText = 257;    // what the search bar takes
inline constexpr std::size_t kMaxSetText = 256;      // what the dialog and the commands take
inline constexpr int kHistoryEntries = 20;

#pragma pack(push, 1)
struct SearchEntry {
  std::uint16_t length = 0;  // bytes; 0 = empty
  std::array<char, kEntryTextBytes> text{};
  std::uint8_t options = 0;
  std::uint8_t reserved = 0;
};
struct SEARCHSTR {
  std::uint32_t committed = 1;  // 0 while `pending` waits to go into the history
  SearchEntry pending;
  std::array<SearchEntry, kHistoryEntries> history{};  // most recent first; length 0 ends the list
};
#pragma pack(pop)
static_assert(sizeof(SearchEntry) == 262);
static_assert(sizeof(SEARCHSTR) == 4 + 21 * 262);

// At most max bytes of text, never half a double-byte character.
std::string_view CutAtCharacter(std::string_view text, std::size_t max);

// An entry of text (cut to kMaxEntryText bytes at a character) and options.
SearchEntry MakeEntry(std::string_view text, std::uint8_t options);
inline std::string_view TextOf(const SearchEntry& e) { return {e.text.data(), e.length}; }

// The entry goes to the front: an entry with the same bytes moves up from its
// place (taking the new options), else every entry moves down one and the
// last is dropped. An empty entry changes nothing.
void PutFirst(SEARCHSTR& strings, const SearchEntry& entry);
// The history's texts up to the first empty entry.
int HistoryCount(const SEARCHSTR& strings);

// The seven buttons: which are checked and which may be clicked.
struct OptionButtons {
  std::array<bool, kOptionButtons> checked{};
  std::array<bool, kOptionButtons> enabled{};
};
OptionButtons ButtonsFor(std::uint8_t options);
// Options as a search uses them: with kRegex only kCase counts, and
// kShortest needs kWildcard.
std::uint8_t Effective(std::uint8_t options);

}  // namespace gorvane::search

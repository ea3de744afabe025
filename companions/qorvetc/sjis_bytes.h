// The Shift-JIS byte rules of the search code: the same as the editor's
// (a lead byte followed, before the end, by a trail byte is one character;
// any other byte is one on its own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gorvane::qorvetc::sjis {

constexpr bool IsLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

inline std::uint8_t At(std::string_view s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

// The bytes of the character at text[at] (at < text.size()).
inline std::size_t CharBytes(std::string_view text, std::size_t at) {
  return IsLead(At(text, at)) && at + 1 < text.size() && IsTrail(At(text, at + 1)) ? 2 : 1;
}

// The character at text[at] as WordClass and the delimiter table index it.
inline std::uint16_t CharCode(std::string_view text, std::size_t at, std::size_t bytes) {
  return bytes == 2 ? static_cast<std::uint16_t>(At(text, at) << 8 | At(text, at + 1)) : At(text, at);
}

}  // namespace gorvane::qorvetc::sjis

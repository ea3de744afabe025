// Word-at-a-time scan of byte text for its next CR or LF. Eight bytes are
// tested at once with plain integer arithmetic (no processor-specific
// instructions), then the word that holds a candidate is read byte by byte, so
// the result never depends on the byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace gorvane::charcode::scan {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

inline std::uint64_t Load8(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// Nonzero when some byte of w is below k (k <= 128). It may flag bytes above the
// first low one, never miss one: enough to say that a word needs a closer look.
constexpr std::uint64_t AnyBelow(std::uint64_t w, std::uint8_t k) { return (w - kOnes * k) & ~w & kHighBits; }

constexpr bool IsLineEnd(std::uint8_t b) { return b == '\r' || b == '\n'; }

// Offset of the first CR or LF in s[from, n), or n.
inline std::size_t FindLineEnd(const std::uint8_t* s, std::size_t from, std::size_t n) {
  std::size_t i = from;
  while (true) {
    for (; i + 8 <= n; i += 8)
      if (AnyBelow(Load8(s + i), '\r' + 1)) break;
    const std::size_t stop = i + 8 <= n ? i + 8 : n;
    for (; i < stop; ++i)
      if (IsLineEnd(s[i])) return i;
    if (i == n) return n;
  }
}

}  // namespace gorvane::charcode::scan

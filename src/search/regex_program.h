// The compiled form of a pattern: instructions over bytes, shared by the
// lazy DFA and the Pike VM (regex_exec.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace gorvane::search {

enum class Op : std::uint8_t {
  kBytes,   // consume one byte in sets[arg]; then x
  kSplit,   // go on at x, else at y (x first)
  kJump,    // go on at x
  kSave,    // capture slot arg := position; then x
  kAssert,  // an empty-width test (Assertion arg); then x
  kMatch,
};

enum Assertion : std::uint8_t {
  kLineStart,    // ^
  kLineEnd,      // $
  kWordEdge,     // \b
  kNotWordEdge,  // \B
  kNotTrailNext, // the next byte does not complete a double-byte character (a lone lead byte)
};

struct Inst {
  Op op;
  std::uint8_t arg = 0;
  std::int32_t x = -1, y = -1;
};

struct ByteSet {
  std::array<std::uint64_t, 4> bits{};
  bool Has(std::uint8_t b) const { return (bits[b >> 6] >> (b & 63)) & 1; }
  void Add(std::uint8_t b) { bits[b >> 6] |= std::uint64_t(1) << (b & 63); }
  void AddRange(int lo, int hi) {
    for (int b = lo; b <= hi; ++b) Add(static_cast<std::uint8_t>(b));
  }
  bool operator==(const ByteSet&) const = default;
};

struct Program {
  std::vector<Inst> insts;
  std::vector<ByteSet> sets;
  std::int32_t start = 0;       // the anchored start (a match begins here)
  std::int32_t unanchored = 0;  // start after any number of whole characters of a line's text (the DFA's)
  int groups = 0;               // capturing groups (slots 2..2*groups+1)
  bool hasWordAssertions = false;
  bool spansLines = false;
  // A byte string every match holds on the line it begins on (empty: none);
  // literalFolded: compare ASCII letters without case.
  std::string literal;
  bool literalFolded = false;
};

}  // namespace gorvane::search

// Properties of the search primitives on arbitrary bytes: the libFuzzer
// target fuzz_search runs them on generated inputs, qorvetc_tests on the seeds
// (fuzz/corpus/fuzz_search/) and on every input kept in
// fuzz/regressions/fuzz_search/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gorvane::fuzz {

// Input layout: [options] [pattern length p] [start] [p pattern bytes] [line...]
// (missing bytes count as 0; at most kMaxSearchLine line bytes).
// - Boyer-Moore and simple search agree forward and backward, and every hit
//   begins at a character start and ends on a boundary.
// - Folding never lengthens the line, its map walks the line a character at
//   a time, folded positions never decrease, and every folded hit that maps
//   back covers unfolded bytes that fold to exactly the hit.
// - The pattern compiles (forward, and reversed backward) into words whose
//   lengths fit the text with one NUL after each segment; a match lies in the
//   line without its CR LF, at or after the start, on character boundaries;
//   a 0x80 marker and escapes leave DeleteEscapeChar's text no longer.
// A broken property is written to stderr and aborts.
inline constexpr std::size_t kMaxSearchLine = 4096;
void CheckSearch(const std::uint8_t* data, std::size_t size);

}  // namespace gorvane::fuzz

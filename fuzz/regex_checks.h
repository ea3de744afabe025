// Properties of the regular-expression engine for any pattern and any text:
// the libFuzzer target fuzz_regex runs them on generated inputs, search_tests
// on the seeds (fuzz/corpus/fuzz_regex/) and on every input kept in
// fuzz/regressions/fuzz_regex/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gorvane::fuzz {

// Input layout: [flags] [pattern length n] [n pattern bytes] [text...].
//   flags bit 0: distinguish case; the pattern (at most 255 bytes) and the
//   text (at most kMaxRegexText bytes, lines cut at CR LF) are arbitrary bytes.
// A pattern that compiles is searched for from every start the editor's
// going-on rules give (at most kMaxRegexMatches matches): the DFA with the
// Pike VM and the Pike VM alone find the same match and groups; a match
// begins and ends on character boundaries (never between CR and LF), inside
// the text, after the start; each search moves on. A refused pattern has kind
// 1 and a place inside it. A broken property is written to stderr and aborts.
inline constexpr std::size_t kMaxRegexText = 2048;
inline constexpr int kMaxRegexMatches = 64;
void CheckRegex(const std::uint8_t* data, std::size_t size);

}  // namespace gorvane::fuzz

// Properties of the editor that must hold after any script of steps on any
// document: the libFuzzer target fuzz_script runs them on generated inputs,
// editor_tests on the seeds (fuzz/corpus/fuzz_script/) and on every input kept
// in fuzz/regressions/fuzz_script/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gorvane::fuzz {

// Input layout: [document bytes...] NUL [script...].
//   The document is Shift-JIS text (at most kMaxDocumentBytes of it), split
//   into lines at LF (CR is dropped), each line but the last given CR LF. The
//   script is UTF-8 text in the vocabulary of shell/script.h; one that does
//   not parse is dropped, one that does is played (at most kMaxSteps steps)
//   against an editor over a line store in memory.
// After every step (a drag is played with the step it extends): in each pane
// the caret stands on a line of the document, at a column 1 .. its end column
// that is a character boundary; the first displayed line is 1 .. lineCount; a
// selection lies inside the document, its ends within their lines' bytes;
// at most 255 bookmarks and 1,024 range labels; the store's invariants hold
// (on a long document checked only every few steps, and at the end).
// A broken property is written to stderr and aborts.
inline constexpr std::size_t kMaxDocumentBytes = 4096;
inline constexpr std::size_t kMaxSteps = 2000;
void CheckScript(const std::uint8_t* data, std::size_t size);

}  // namespace gorvane::fuzz

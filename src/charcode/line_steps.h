// Line steps of the piece readers: a converter pass into Shift-JIS that stops
// at the first line end, so that a line is found and converted in one pass.
// Internal to the character-code library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "charcode/charcode.h"

namespace gorvane::charcode::detail {

enum class StepEnd {
  LineEnd,  // stopped at a CR or LF: src[consumed]
  SrcEnd,   // src has no line end (what was written is to be thrown away)
  Full,     // the line does not fit in dst (likewise)
};

struct LineStep {
  std::size_t consumed = 0, written = 0, replaced = 0;
  StepEnd end = StepEnd::SrcEnd;
  // Lines the step went on past (their CR LF kept as it is, as the reader
  // writes it), the first of them with a replacement (-1: none), and where
  // the last of them ended: the line the step stopped in began there.
  std::size_t lines = 0;
  std::int64_t firstLossyLine = -1;
  std::size_t linesConsumed = 0, linesWritten = 0, linesReplaced = 0;
};

// Converts a line of src into Shift-JIS in one pass with the converter of its
// form (EucToSjis, Utf8ToSjis, SjisToSjis): on LineEnd, consumed, written and
// replaced are what that converter gives for src cut before its line end. In
// EUC-JP this holds for class tables under which CR and LF are no trail bytes
// (eucClass is used by EUC-JP only). A step may go on past CR LF pairs as a
// reader would take the lines one by one, while its output after the pair is
// below goOnBelow (0: it stops at every line end); the fields above then say
// so, and the others count those lines too.
using LineStepFn = LineStep (*)(Bytes src, MutBytes dst, const std::uint8_t* eucClass, std::size_t goOnBelow);
// Our EUC-JP class table for null or a copy of it (the converters take a
// faster path under it), else eucClass.
const std::uint8_t* OurEucClassIfSame(const std::uint8_t* eucClass);
LineStep EucLineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass, std::size_t goOnBelow);
LineStep Utf8LineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass, std::size_t goOnBelow);
LineStep SjisLineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass, std::size_t goOnBelow);

}  // namespace gorvane::charcode::detail

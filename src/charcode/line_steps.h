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
};

// Converts a line of src into Shift-JIS in one pass with the converter of its
// form (EucToSjis, Utf8ToSjis, SjisToSjis): on LineEnd, consumed, written and
// replaced are what that converter gives for src cut before its line end. In
// EUC-JP this holds for class tables under which CR and LF are no trail bytes
// (eucClass is used by EUC-JP only).
using LineStepFn = LineStep (*)(Bytes src, MutBytes dst, const std::uint8_t* eucClass);
// Our EUC-JP class table for null or a copy of it (the converters take a
// faster path under it), else eucClass.
const std::uint8_t* OurEucClassIfSame(const std::uint8_t* eucClass);
LineStep EucLineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass);
LineStep Utf8LineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass);
LineStep SjisLineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass);

}  // namespace gorvane::charcode::detail

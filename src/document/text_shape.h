// What the editing code needs to know of a text before it goes in: where its
// CR LF pairs end and the sum of its bytes, found in one fast pass; and the
// mending of text from outside (the clipboard, an input method) so that no
// line gets a bare CR, a bare LF, a NUL or half a character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/types.h"

namespace gorvane::document {

struct TextShape {
  std::vector<std::uint32_t> ends;  // offset just past each CR LF, in order
  std::uint32_t sum = 0;            // the bytes' values added up (modulo 2^32)
  std::uint32_t size = 0;

  std::int32_t breaks() const { return static_cast<std::int32_t>(ends.size()); }
  // Bytes of the first piece (up to and with its CR LF), of the last one (after
  // the last CR LF), and of the longest; the whole text when it has no break.
  std::int32_t FirstPiece() const { return static_cast<std::int32_t>(ends.empty() ? size : ends.front()); }
  std::int32_t LastPiece() const { return static_cast<std::int32_t>(size - (ends.empty() ? 0 : ends.back())); }
  std::int32_t LongestPiece() const;
  // The position after the text put in at `at`.
  TextPos After(TextPos at) const;
};

// The sum of a text's byte values (modulo 2^32).
std::uint32_t ByteSum(std::string_view text);
// The offset just past each CR LF pair of a text, in order.
std::vector<std::uint32_t> CrLfEnds(std::string_view text);

// The shape of any text (only CR LF pairs break it).
TextShape ShapeOf(std::string_view text);

// Makes text whole and returns its shape: it ends at its first NUL, a lead
// byte without a valid second byte becomes "?", and a CR or LF that is not
// part of a CR LF pair becomes CR LF. Text that is already whole (the usual
// case) is checked in one pass over 16-byte blocks and left as it is.
TextShape MakeWhole(std::string& text);

}  // namespace gorvane::document

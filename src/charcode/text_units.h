// Character steps over Shift-JIS and UTF-8 text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "charcode/cp932_tables.h"

namespace gorvane::charcode {

struct SjisChar {
  std::uint16_t unit;  // UTF-16 unit ("?" when replaced)
  std::uint8_t len;    // bytes taken
  bool replaced;       // undefined code, or a lead byte without its trail byte
};

// One character at s (left >= 1). A lead byte not followed by a trail byte is
// replaced alone: the next byte is read afresh.
inline SjisChar DecodeSjis(const std::uint8_t* s, std::size_t left) {
  const std::uint8_t b = s[0];
  if (b < 0x80) return {b, 1, false};
  if (cp932::IsLead(b)) {
    if (left >= 2 && cp932::IsTrail(s[1])) {
      const std::uint16_t u = cp932::DecodePair(b, s[1]);
      return u ? SjisChar{u, 2, false} : SjisChar{'?', 2, true};
    }
    return {'?', 1, true};
  }
  return {cp932::kSingle[b], 1, false};
}

struct Utf8Seq {
  std::uint32_t cp;  // code point when valid
  std::uint8_t len;  // bytes taken: the sequence, or the maximal ill-formed part
  bool valid;
  bool cut;  // ill-formed only because src ends inside it
};

// One UTF-8 sequence at s (left >= 1, s[0] >= 0x80). Overlong forms,
// surrogates and code points above U+10FFFF are ill-formed; each maximal
// ill-formed part counts as one character.
inline Utf8Seq DecodeUtf8(const std::uint8_t* s, std::size_t left) {
  const std::uint8_t b = s[0];
  std::size_t need;
  std::uint8_t lo = 0x80, hi = 0xBF;
  std::uint32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2, cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    else if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3, cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    else if (b == 0xF4) hi = 0x8F;
  } else {
    return {0, 1, false, false};
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (k >= left) return {0, static_cast<std::uint8_t>(k), false, true};
    const std::uint8_t c = s[k];
    if (c < lo || c > hi) return {0, static_cast<std::uint8_t>(k), false, false};
    lo = 0x80, hi = 0xBF;
    cp = cp << 6 | (c & 0x3Fu);
  }
  return {cp, static_cast<std::uint8_t>(need + 1), true, false};
}

}  // namespace gorvane::charcode

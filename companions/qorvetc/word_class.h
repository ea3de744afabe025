// The word class of a Shift-JIS character, which selecting a word and the
// whole-word test of search go by (one definition for the library and the
// editor's document layer).
#pragma once

#include <cstdint>

namespace gorvane::qorvetc {

// character: a single byte, or lead * 256 + trail. 9 ASCII letters, digits,
// "_" and "`"; 11 half-width katakana 0xA6-0xDF; 2 hiragana; 3 katakana; 4
// full-width small letters; 5 full-width digits; 7 the prolonged sound mark
// 0x815B; 0 everything else (kanji, full-width capitals, symbols, CR and LF).
constexpr int WordClass(std::uint16_t c) {
  if (c < 0x100) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '`') return 9;
    if (c >= 0xA6 && c <= 0xDF) return 11;
    return 0;
  }
  if (c >= 0x829F && c <= 0x82F1) return 2;
  if (c >= 0x8340 && c <= 0x8396) return 3;
  if (c >= 0x8281 && c <= 0x829A) return 4;
  if (c >= 0x824F && c <= 0x8258) return 5;
  if (c == 0x815B) return 7;
  return 0;
}

}  // namespace gorvane::qorvetc

// Case folding of Shift-JIS text: ASCII letters change, the bytes of a
// double-byte character never do (its second byte may look like a letter).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gorvane::charcode {

constexpr bool IsSjisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

inline std::string SjisToLower(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(out[i]);
    if (IsSjisLead(b)) {
      ++i;  // the pair stays as it is
    } else if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + ('a' - 'A'));
    }
  }
  return out;
}

inline std::string SjisToUpper(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(out[i]);
    if (IsSjisLead(b)) {
      ++i;
    } else if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - ('a' - 'A'));
    }
  }
  return out;
}

}  // namespace gorvane::charcode

// Shift-JIS text and 16-bit wide strings (UTF-16 code units, as the Windows
// W functions take them), both ways through our code page 932 tables. Char is
// char16_t, or wchar_t on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "charcode/charcode.h"

namespace gorvane::charcode {

// *exact: every byte was part of a character with a UTF-16 form.
template <typename Char = char16_t>
std::basic_string<Char> SjisToWide(std::string_view sjis, bool* exact = nullptr) {
  static_assert(sizeof(Char) == 2);
  std::vector<std::uint8_t> units(sjis.size() * 2 + 2);
  const Converted c = SjisToUtf16(Bytes(reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size()),
                                  MutBytes(units.data(), units.size()), false, nullptr);
  if (exact != nullptr) *exact = c.complete && c.replaced == 0 && c.consumed == sjis.size();
  std::basic_string<Char> out(c.written / 2, Char{});
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<Char>(units[2 * i] | units[2 * i + 1] << 8);
  return out;
}

// *replaced: characters that had no Shift-JIS code (written as "?").
template <typename Char>
std::string WideToSjis(std::basic_string_view<Char> wide, std::size_t* replaced = nullptr) {
  static_assert(sizeof(Char) == 2);
  std::vector<std::uint8_t> units(wide.size() * 2), out(wide.size() * 2 + 2);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    units[2 * i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(wide[i]) & 0xFF);
    units[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(wide[i]) >> 8);
  }
  const Converted c = Utf16ToSjis(units, out, false);
  if (replaced != nullptr) *replaced = c.replaced;
  return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(c.written));
}

}  // namespace gorvane::charcode

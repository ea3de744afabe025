// What separates words in Shift-JIS text: the delimiter table that word moves
// read (and the support library is handed), and the word classes that
// selecting a word and whole-word search go by.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "companions/qorvetc/word_class.h"

namespace gorvane::document {

// 65,536 entries, indexed by a single byte or by lead * 256 + trail. The low
// four bits are the word delimiters compiled here; the high four belong to
// search, which sets them on the same table.
class DelimiterTable {
 public:
  static constexpr std::uint8_t kSingleDelimiter = 0x01;  // on a single byte (control bytes always)
  static constexpr std::uint8_t kDoubleDelimiter = 0x04;  // on lead * 256 + trail

  // The defaults of the settings, compiled once.
  static const DelimiterTable& Default();

  // Rebuilds the low four bits from the settings: singles is a list of bytes,
  // doubles a Shift-JIS list of double-byte characters (single bytes in it
  // and a lead byte without its trail are passed over). The high bits stay.
  void Compile(std::string_view singles, std::string_view doubles);

  // A word move treats a single byte with bit 0 or 1 as a delimiter.
  bool SingleDelimiter(std::uint8_t byte) const { return (entries_[byte] & 0x03) != 0; }
  bool DoubleDelimiter(std::uint8_t lead, std::uint8_t trail) const {
    return (entries_[static_cast<std::size_t>(lead) * 256 + trail] & kDoubleDelimiter) != 0;
  }

  // The table in place, as the support library reads it.
  const std::uint8_t* data() const { return entries_.data(); }
  std::uint8_t* data() { return entries_.data(); }

 private:
  std::array<std::uint8_t, 65536> entries_{};
};

// The settings' defaults: ASCII punctuation but the underscore, the four
// half-width symbols 0xA1 to 0xA4, space and TAB; and the full-width symbols
// with the full-width space (Shift-JIS).
std::string DefaultSingleDelimiters();
std::string DefaultDoubleDelimiters();

// The word class of a character (a byte, or lead * 256 + trail), as the
// support library defines it for whole-word search.
using qorvetc::WordClass;

}  // namespace gorvane::document

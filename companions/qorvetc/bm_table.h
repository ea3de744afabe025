// Inside the library: Horspool's skip tables of one pattern for both
// directions, and the character-start test of hits, shared by the searches
// and the wildcard matcher.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gorvane::qorvetc {

class BmTable {
 public:
  void Build(std::string_view pattern);
  bool Holds(std::string_view pattern) const { return built_ && pattern == pattern_; }
  std::string_view pattern() const { return pattern_; }

  // The first byte occurrence at p >= from, or npos (the pattern is not empty).
  std::size_t Forward(std::string_view text, std::size_t from) const;
  // The last byte occurrence at p <= latest, or npos.
  std::size_t Backward(std::string_view text, std::size_t latest) const;

 private:
  std::string pattern_;
  std::array<std::uint32_t, 256> forward_{}, backward_{};
  bool built_ = false;
};

// Which offsets of a text are character starts (0 and text.size() always
// are). A query walks back over the lead bytes before the offset to a byte
// that ends a character, then forward; a long run of lead bytes (kanji whose
// second bytes are lead bytes too) makes it mark the whole text once.
class CharStarts {
 public:
  explicit CharStarts(std::string_view text) : text_(text) {}
  bool IsStart(std::size_t at);

 private:
  static constexpr std::size_t kRunLimit = 64;
  std::string_view text_;
  std::vector<std::uint8_t> marks_;  // empty until needed
  std::size_t known_ = 0;            // a character start found before
};

// The hit searches over a table: character starts and boundaries checked.
std::size_t FindForward(const BmTable& table, std::string_view text, std::size_t start, CharStarts& starts);
std::size_t FindBackward(const BmTable& table, std::string_view text, std::size_t start, CharStarts& starts);

}  // namespace gorvane::qorvetc

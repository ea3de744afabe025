#include "document/delimiters.h"

#include "charcode/class_tables.h"
#include "base/host.h"

namespace gorvane::document {

namespace {

bool IsLead(std::uint8_t b) { return (charcode::kSjisClass[b] & charcode::kSjisLead) != 0; }
bool IsTrail(std::uint8_t b) { return (charcode::kSjisClass[b] & charcode::kSjisTrail) != 0; }

}  // namespace

std::string DefaultSingleDelimiters() {
  std::string bytes = " \t";
  for (auto [first, last] : {std::pair{0x21, 0x2F}, {0x3A, 0x40}, {0x5B, 0x5E}, {0x60, 0x60}, {0x7B, 0x7E}, {0xA1, 0xA4}})
    for (int b = first; b <= last; ++b) bytes += static_cast<char>(b);
  return bytes;
}

std::string DefaultDoubleDelimiters() {
  return base::Sjis(
      u8"☆★○●◇◇◆□■△▲▽▼※→←↑↓、，（）｛｝「」［］【】『』〈〉《》〔〕。・”’．～＋－×÷＊／＝？！；：＃＄％＆￥＠"
      u8"　");
}

const DelimiterTable& DelimiterTable::Default() {
  static const DelimiterTable table = [] {
    DelimiterTable t;
    t.Compile(DefaultSingleDelimiters(), DefaultDoubleDelimiters());
    return t;
  }();
  return table;
}

void DelimiterTable::Compile(std::string_view singles, std::string_view doubles) {
  for (std::uint8_t& e : entries_) e &= 0xF0;
  for (int b = 0; b < 0x20; ++b) entries_[static_cast<std::size_t>(b)] |= kSingleDelimiter;
  for (char c : singles) entries_[static_cast<std::uint8_t>(c)] |= kSingleDelimiter;
  for (std::size_t i = 0; i < doubles.size(); ++i) {
    const auto lead = static_cast<std::uint8_t>(doubles[i]);
    if (!IsLead(lead) || i + 1 >= doubles.size()) continue;
    const auto trail = static_cast<std::uint8_t>(doubles[i + 1]);
    if (!IsTrail(trail)) continue;
    entries_[static_cast<std::size_t>(lead) * 256 + trail] |= kDoubleDelimiter;
    ++i;
  }
}

}  // namespace gorvane::document

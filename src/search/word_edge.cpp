#include "search/word_edge.h"

#include <array>

#include "charcode/class_tables.h"
#include "document/delimiters.h"

namespace gorvane::search {

const std::uint8_t* FixedSearchDelimiters() {
  static const std::array<std::uint8_t, 65536> table = [] {
    std::array<std::uint8_t, 65536> t{};
    auto half = [&](int lo, int hi) {
      for (int c = lo; c <= hi; ++c) t[static_cast<std::size_t>(c)] |= kHalfWidthDelimiter;
    };
    auto full = [&](int lo, int hi) {
      for (int c = lo; c <= hi; ++c) t[static_cast<std::size_t>(c)] |= kFullWidthDelimiter;
    };
    half(0x00, 0x20), half(0x21, 0x2F), half(0x3A, 0x40), half(0x5B, 0x5E), half(0x60, 0x60);
    half(0x7B, 0x7E), half(0xA1, 0xA4);
    full(0x8140, 0x815A), full(0x815C, 0x81FF), full(0x849F, 0x84BF), full(0x8740, 0x8753);
    full(0x875F, 0x8775), full(0x877E, 0x879C), full(0xF040, 0xF44F), full(0xFA55, 0xFA57);
    return t;
  }();
  return table.data();
}

namespace {

struct Char {
  std::uint16_t code;
  bool wide;
};

Char CharAt(std::string_view text, std::size_t at) {
  const auto b = static_cast<std::uint8_t>(text[at]);
  if (charcode::SjisCharBytes(text, at, text.size()) == 2)
    return {static_cast<std::uint16_t>(b * 256 + static_cast<std::uint8_t>(text[at + 1])), true};
  return {b, false};
}

bool Delimiter(Char c, const std::uint8_t* table) {
  return (table[c.code] & (c.wide ? kFullWidthDelimiter : kHalfWidthDelimiter)) != 0;
}

bool Kana(int wordClass) { return wordClass == 2 || wordClass == 3; }

// A match may begin at `next` after `prev`.
bool LeftEdge(Char prev, Char next, const std::uint8_t* table) {
  return Delimiter(prev, table) || prev.wide != next.wide ||
         document::WordClass(prev.code) != document::WordClass(next.code);
}

// A match whose last character is `last` may end before `next`.
bool RightEdge(Char last, Char next, const std::uint8_t* table) {
  if (Delimiter(next, table)) return true;
  const int a = document::WordClass(last.code), b = document::WordClass(next.code);
  if (last.wide) {
    if (next.wide) return !(a == b || (Kana(a) && b == 7));
    return !(Kana(a) && next.code == 0xB0);
  }
  if (next.wide) return !(a == 11 && b == 7);
  return a != b;
}

}  // namespace

bool WordEdge(std::string_view text, std::size_t prevStart, std::size_t pos, const std::uint8_t* delimiters) {
  if (pos == 0 || pos >= text.size()) return true;
  const std::uint8_t* table = delimiters != nullptr ? delimiters : FixedSearchDelimiters();
  const Char prev = CharAt(text, prevStart), next = CharAt(text, pos);
  if (Delimiter(prev, table) || Delimiter(next, table)) return true;
  return LeftEdge(prev, next, table) && RightEdge(prev, next, table);
}

}  // namespace gorvane::search

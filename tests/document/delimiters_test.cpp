// The delimiter table's defaults, a table compiled from other settings, and
// the word classes.
#include "document/delimiters.h"

#include <gtest/gtest.h>

#include "shell/host.h"

namespace doc = gorvane::document;
using gorvane::shell::Sjis;

namespace {

// A character as a code: a byte, or lead * 256 + trail.
bool Delimiter(const doc::DelimiterTable& t, std::uint16_t c) {
  return c < 0x100 ? t.SingleDelimiter(static_cast<std::uint8_t>(c))
                   : t.DoubleDelimiter(static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c & 0xFF));
}

TEST(DelimiterTable, Defaults) {
  struct {
    std::uint16_t c;
    bool delimiter;
  } cases[] = {
      {' ', true},     {'\t', true},    {0x01, true},    {0x1F, true},  // control bytes always
      {'!', true},     {'/', true},     {'0', false},    {':', true},   {'@', true},    {'A', false},
      {'[', true},     {'^', true},     {'_', false},    {'`', true},   {'a', false},   {'{', true},
      {'~', true},     {0x7F, false},   {0xA1, true},    {0xA4, true},  {0xA5, false},  {0xB1, false},
      {0x8140, true},  // full-width space
      {0x8175, true},  {0x8176, true},  {0x8160, true},  {0x818F, true}, {0x8168, true},  // 「 」 ～ ￥ ”
      {0x819A, true},  {0x81A6, true},  {0x8142, true},  {0x8145, true},                  // ★ ※ 。 ・
      {0x815B, false}, {0x82A0, false}, {0x8341, false}, {0x889F, false}, {0x8260, false}, // ー あ ア 亜 Ａ
      {0x8158, false},                                                                    // 〇 is not in the set
  };
  for (const auto& c : cases) EXPECT_EQ(Delimiter(doc::DelimiterTable::Default(), c.c), c.delimiter) << std::hex << c.c;
  // Every default double-byte delimiter has its code (none became "?").
  const std::string doubles = doc::DefaultDoubleDelimiters();
  EXPECT_EQ(doubles.size(), 124u);
  for (std::size_t i = 0; i + 1 < doubles.size(); i += 2)
    EXPECT_TRUE(doc::DelimiterTable::Default().DoubleDelimiter(static_cast<std::uint8_t>(doubles[i]),
                                                               static_cast<std::uint8_t>(doubles[i + 1])))
        << i;
}

TEST(DelimiterTable, CompiledFromSettingsKeepsTheSearchBits) {
  doc::DelimiterTable t;
  t.data()[0x8175] = 0x20;  // search's full-width delimiter bit on 「
  t.data()['#'] = 0x10;
  std::string doubles = Sjis(u8"＃");
  doubles.insert(doubles.begin(), 'x');  // a stray byte and a lone lead are passed over
  doubles.push_back('\x82');
  t.Compile("#", doubles);
  EXPECT_TRUE(t.SingleDelimiter('#'));
  EXPECT_FALSE(t.SingleDelimiter('!'));
  EXPECT_FALSE(t.SingleDelimiter('x'));
  EXPECT_TRUE(t.SingleDelimiter('\r'));
  EXPECT_TRUE(t.DoubleDelimiter(0x81, 0x94));  // ＃
  EXPECT_FALSE(t.DoubleDelimiter(0x81, 0x75));
  EXPECT_EQ(t.data()[0x8175], 0x20);
  EXPECT_EQ(t.data()['#'], 0x11);
  // Compiling again starts the low bits afresh.
  t.Compile("!", "");
  EXPECT_FALSE(t.SingleDelimiter('#'));
  EXPECT_FALSE(t.DoubleDelimiter(0x81, 0x94));
  EXPECT_EQ(t.data()['#'], 0x10);
}

TEST(WordClass, OfEachKind) {
  struct {
    std::uint16_t c;
    int wordClass;
  } cases[] = {
      {'0', 9},     {'9', 9},     {'A', 9},     {'z', 9},     {'_', 9},     {'`', 9},     {'!', 0},
      {' ', 0},     {'\r', 0},    {0xA5, 0},    {0xA6, 11},   {0xDF, 11},   {0x829E, 0},  {0x829F, 2},
      {0x82F1, 2},  {0x82F2, 0},  {0x8340, 3},  {0x8396, 3},  {0x8397, 0},  {0x8280, 0},  {0x8281, 4},
      {0x829A, 4},  {0x824F, 5},  {0x8258, 5},  {0x8260, 0},  {0x815B, 7},  {0x889F, 0},  {0x8140, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(doc::WordClass(c.c), c.wordClass) << std::hex << c.c;
}

}  // namespace

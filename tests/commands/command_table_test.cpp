#include "commands/command_table.h"

#include <gtest/gtest.h>

#include <string>

#include "base/host.h"

namespace gorvane::commands {
namespace {

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

TEST(CommandTable, EveryNameFindsItsCode) {
  for (int c = 1; c <= kCommandCount; ++c) {
    const auto code = static_cast<CommandCode>(c);
    const std::string_view name = CommandName(code);
    ASSERT_FALSE(name.empty()) << c;
    EXPECT_EQ(FindCommand(name), code) << name;  // also fails for a name used twice
  }
  EXPECT_EQ(CommandName(kNoCommand), "");
  EXPECT_EQ(CommandName(82), "");
  EXPECT_EQ(FindCommandRow(82), nullptr);
}

TEST(CommandTable, NamesMatchExactly) {
  const struct {
    const char* name;
    int code;
  } cases[] = {
      {"INSERTLINE", 1},        {"SELECTLNUM", 11},   {"HAIKEIENJOY_ONOFF", 32}, {"HAIKEIENJOY", 67},
      {"CS_HARF", 62},          {"DIVIDEWINDOW", 78}, {"AREAEDIT", 81},          {"insertline", 0},
      {"INSERTLINE ", 0},       {" INSERTLINE", 0},   {"INSERT", 0},             {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FindCommand(c.name), c.code) << '"' << c.name << '"';
}

TEST(CommandTable, DescriptionsAreExactShiftJis) {
  const struct {
    int code;
    std::u8string_view text;
  } cases[] = {
      {1, u8"空行挿入"},
      {15, u8"選択しつつ１行上に移動"},
      {26, u8"ﾌｫｰｶｽを検索ｺﾝﾎﾞﾎﾞｯｸｽへ移動"},
      {32, u8"「最短」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
      {44, u8"前の領域設定行へ"},
      {63, u8"→全角かな変換"},
      {78, u8"編集ｳｨﾝﾄﾞｳを分割&元に戻す"},
      {79, u8"ブックマークに設定／解除"},
      {81, u8"範囲設定行編集"},
  };
  for (const auto& c : cases) {
    const std::string sjis = CommandDescription(static_cast<CommandCode>(c.code));
    EXPECT_EQ(sjis, base::Sjis(c.text)) << c.code;
    EXPECT_EQ(base::Utf8(sjis), U8(c.text)) << c.code;  // nothing was lost on the way
  }
  EXPECT_EQ(CommandDescription(0), "");
  EXPECT_EQ(DescriptionResource(1), base::Sjis(u8"001空行挿入"));
  EXPECT_EQ(DescriptionResource(81), base::Sjis(u8"081範囲設定行編集"));
  EXPECT_EQ(DescriptionResource(0), "");
}

TEST(CommandTable, ListHasEachCommandOnceUnderItsHeading) {
  std::u8string_view heading;
  int next = 1, headings = 0;
  std::u8string_view headingOf[kCommandCount + 1];
  for (const CommandListRow& row : CommandList()) {
    if (row.code == kNoCommand) {
      EXPECT_TRUE(row.text.starts_with(u8"// ■ ")) << U8(row.text);
      heading = row.text;
      ++headings;
      continue;
    }
    ASSERT_EQ(row.code, next);
    EXPECT_EQ(row.text, FindCommandRow(row.code)->description);
    headingOf[next++] = heading;
  }
  EXPECT_EQ(next, kCommandCount + 1);
  EXPECT_EQ(headings, 11);
  EXPECT_EQ(headingOf[1], u8"// ■ 編集");
  EXPECT_EQ(headingOf[18], u8"// ■ 選択");
  EXPECT_EQ(headingOf[33], u8"// ■ 検索");
  EXPECT_EQ(headingOf[54], u8"// ■ アンドゥ＆リドゥ");
  EXPECT_EQ(headingOf[73], u8"// ■ 背景画像");
  EXPECT_EQ(headingOf[74], u8"// ■ その他");
}

TEST(CommandTable, MacroRules) {
  const struct {
    int code;
    MacroGuard guard;
    bool recordedFromKey;
  } cases[] = {
      {1, MacroGuard::None, true},       {20, MacroGuard::None, true},       {21, MacroGuard::Refuse, true},
      {22, MacroGuard::Refuse, true},    {42, MacroGuard::None, true},       {43, MacroGuard::Refuse, true},
      {47, MacroGuard::None, true},      {48, MacroGuard::Refuse, true},     {55, MacroGuard::Refuse, true},
      {56, MacroGuard::None, false},     {59, MacroGuard::None, true},       {67, MacroGuard::None, true},
      {68, MacroGuard::None, false},     {73, MacroGuard::None, false},      {74, MacroGuard::Recording, true},
      {75, MacroGuard::Recording, false}, {78, MacroGuard::None, false},     {79, MacroGuard::Refuse, false},
      {81, MacroGuard::Refuse, false},   {0, MacroGuard::None, false},
  };
  for (const auto& c : cases) {
    const auto code = static_cast<CommandCode>(c.code);
    EXPECT_EQ(MacroGuardOf(code), c.guard) << c.code;
    EXPECT_EQ(RecordedFromKey(code), c.recordedFromKey) << c.code;
  }
}

TEST(MenuIds, CodeOfEachId) {
  const struct {
    int id, code;
  } cases[] = {
      {1, 48},     {2, 53},     {4, 0},      {5, 49},     {6, 5},      {7, 6},      {8, 7},      {9, 54},
      {10, 55},    {11, 10},    {12, 0},     {13, 21},    {14, 22},    {15, 0},     {17, 75},    {18, 0},
      {36, 0},     {37, 51},    {38, 50},    {39, 52},    {40, 68},    {45, 73},    {46, 0},     {50, 67},
      {51, 0},     {52, 76},    {53, 77},    {54, 0},     {57, 74},    {58, 0},     {60, 20},    {61, 0},
      {62, 60},    {68, 66},    {72, 1},     {73, 2},     {74, 3},     {75, 4},     {76, 8},     {77, 9},
      {78, 14},    {79, 13},    {80, 12},    {81, 11},    {82, 42},    {83, 43},    {84, 44},    {85, 45},
      {86, 46},    {87, 47},    {88, 79},    {89, 79},    {92, 0},     {95, 59},    {96, 56},    {97, 56},
      {98, 57},    {99, 58},    {101, 0},    {102, 0},    {106, 0},    {107, 38},   {108, 39},   {113, 0},
      {114, 40},   {115, 41},   {116, 23},   {117, 24},   {119, 25},   {120, 25},   {121, 80},   {122, 80},
      {123, 81},   {140, 0},    {1000, 53},  {1001, 48},  {1002, 51},  {1003, 5},   {1005, 7},   {1006, 54},
      {1007, 55},  {1008, 21},  {1009, 23},  {1010, 24},  {1011, 22},  {1012, 46},  {1013, 47},  {1014, 44},
      {1015, 45},  {1016, 75},  {1017, 59},  {1018, 78},  {1019, 0},   {1020, 0},   {2055, 0},   {2063, 0},
      {2064, 27},  {2067, 30},  {2070, 33},  {2071, 0},   {0, 0},      {-1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(MenuIdToCode(c.id), c.code) << "id " << c.id;
}

TEST(MenuIds, RecordedIds) {
  const struct {
    int id;
    bool recorded;
  } cases[] = {
      {1, false},    {5, false},    {6, true},     {8, true},     {9, false},    {11, true},    {13, false},
      {60, true},    {61, false},   {62, true},    {68, true},    {69, false},   {72, true},    {77, true},
      {80, true},    {81, false},   {83, false},   {84, true},    {87, true},    {88, false},   {95, false},
      {107, false},  {116, true},   {117, true},   {119, false},  {1002, false}, {1003, true},  {1005, true},
      {1006, false}, {1009, true},  {1011, false}, {1012, true},  {1015, true},  {1016, false}, {2064, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecordedFromMenu(c.id), c.recorded) << "id " << c.id;
    // What is recorded is the id's code: a recorded id always has one.
    if (c.recorded) {
      EXPECT_NE(MenuIdToCode(c.id), kNoCommand) << "id " << c.id;
    }
  }
}

}  // namespace
}  // namespace gorvane::commands

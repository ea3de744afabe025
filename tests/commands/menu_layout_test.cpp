#include "commands/menu_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/host.h"

namespace gorvane::commands {
namespace {

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

// The ids of a menu and its sub-menus, in menu order.
void CollectIds(std::span<const MenuItem> items, std::vector<int>& out) {
  for (const MenuItem& item : items) {
    if (item.separator) continue;
    out.push_back(item.id);
    CollectIds(item.subMenu, out);
  }
}
std::vector<int> Ids(std::span<const MenuItem> items) {
  std::vector<int> ids;
  CollectIds(items, ids);
  return ids;
}

const MenuItem* Find(std::span<const MenuItem> items, int id) {
  for (const MenuItem& item : items) {
    if (!item.separator && item.id == id) return &item;
    if (const MenuItem* sub = Find(item.subMenu, id)) return sub;
  }
  return nullptr;
}
const MenuItem* FindInMainMenu(int id) {
  for (const MenuBarEntry& menu : MainMenu()) {
    if (const MenuItem* item = Find(menu.items, id)) return item;
  }
  return nullptr;
}

TEST(MainMenu, TitlesInRuleOrder) {
  std::vector<std::string> titles;
  for (const MenuBarEntry& m : MainMenu()) titles.push_back(U8(m.title));
  EXPECT_EQ(titles, (std::vector<std::string>{"ファイル(&F)", "編集(&E)", "検索(&S)", "ジャンプ(&J)", "マクロ(&M)",
                                              "コンパイル(&C)", "設定(&O)", "ウィンドウ(&W)", "ヘルプ(&H)"}));
}

TEST(MainMenu, HoldsEveryMenuIdOnce) {
  std::vector<int> all;
  for (const MenuBarEntry& m : MainMenu()) CollectIds(m.items, all);
  std::vector<int> expected;
  for (const auto& [first, last] : std::vector<std::pair<int, int>>{
           {1, 2}, {4, 15}, {17, 33}, {36, 68}, {72, 93}, {95, 101}, {116, 123}}) {
    for (int id = first; id <= last; ++id) expected.push_back(id);
  }
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, expected);  // a missing, stray or doubled id shows here
}

TEST(MainMenu, FileMenuAndSubMenus) {
  EXPECT_EQ(Ids(MainMenu()[kFileMenu].items), (std::vector<int>{1, 2, 4, 37, 38, 39, 12, 57, 58, 59, 5}));
  EXPECT_EQ(Ids(MainMenu()[kMacroMenu].items), (std::vector<int>{95, 96, 97, 98, 99}));
  EXPECT_EQ(Ids(MainMenu()[kCompileMenu].items), (std::vector<int>{17, 18}));
  EXPECT_EQ(Ids(MainMenu()[kHelpMenu].items), (std::vector<int>{100, 36}));
  EXPECT_EQ(Ids(FindInMainMenu(15)->subMenu), (std::vector<int>{116, 117, 118, 119, 120}));
  EXPECT_EQ(Ids(FindInMainMenu(118)->subMenu), (std::vector<int>{119, 120}));
  EXPECT_EQ(Ids(FindInMainMenu(61)->subMenu), (std::vector<int>{62, 63, 64, 65, 66, 67, 68}));
  EXPECT_EQ(Ids(FindInMainMenu(46)->subMenu), (std::vector<int>{47, 48, 49}));
  const std::vector<int> window = Ids(MainMenu()[kWindowMenu].items);
  for (int id : {40, 45, 50, 51, 52, 53, 54, 56}) EXPECT_NE(std::find(window.begin(), window.end(), id), window.end()) << id;
}

TEST(MainMenu, ExactTexts) {
  const std::map<int, std::u8string_view> cases = {
      {1, u8"開く"},
      {12, u8"書き込み禁止"},
      {15, u8"ｷｰﾎﾞｰﾄﾞ検索"},
      {33, u8"wi1ﾌｧｲﾙ格納ﾌｫﾙﾀﾞを開く"},
      {39, u8"文字ｺｰﾄﾞを変更して保存"},
      {45, u8"ﾃﾞﾌｫﾙﾄ背景に設定(仮)"},
      {49, u8"分割しない"},
      {65, u8"→全角(かな)"},
      {79, u8"1行選択"},
      {99, u8"保存"},
      {101, u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧｸﾘｱ"},
      {118, u8"検索ﾓｰﾄﾞ"},
      {120, u8"ﾌｧｲﾙ内検索"},
  };
  for (const auto& [id, text] : cases) {
    const MenuItem* item = FindInMainMenu(id);
    ASSERT_NE(item, nullptr) << id;
    EXPECT_EQ(U8(item->text), U8(text)) << id;
  }
}

TEST(PopupMenus, Ids) {
  std::vector<int> lineNumbers = Ids(LineNumberPopupMenu());
  std::sort(lineNumbers.begin(), lineNumbers.end());
  EXPECT_EQ(lineNumbers, (std::vector<int>{6, 7, 8, 55, 88, 89, 121, 122, 123}));
  const std::vector<int> editView = Ids(EditViewPopupMenu());
  for (int id : {6, 7, 8, 9, 10, 11, 12, 13, 14, 60, 61, 72, 77, 78, 81, 119, 120}) {
    EXPECT_NE(std::find(editView.begin(), editView.end(), id), editView.end()) << id;
  }
  EXPECT_EQ(Ids(VerticalScrollMenu()), (std::vector<int>{102, 103, 104, 105, 106, 107, 108}));
  EXPECT_EQ(Ids(HorizontalScrollMenu()), (std::vector<int>{109, 110, 111, 112, 113, 114, 115}));
  EXPECT_EQ(U8(Find(HorizontalScrollMenu(), 110)->text), "左の端");
}

TEST(MenuLabels, TextTabAndBoundKey) {
  KeyTables tables;
  const OemKeyTable oem = DefaultOemKeys();
  tables.Set(kStateCtrl, 'X', kCut);
  tables.Set(kStateCtrlShift, 'M', kMacroStartEnd);
  tables.Set(kStateShift, kVkDown, kScrollDownLine);
  tables.Set(kStateNone, 0x72, kSearchDown);  // F3
  const struct {
    const MenuItem* item;
    std::string expected;
  } cases[] = {
      {FindInMainMenu(6), base::Sjis(u8"カット") + "\tCtrl+X"},
      {FindInMainMenu(7), base::Sjis(u8"コピー")},  // no key for its command
      {FindInMainMenu(12), base::Sjis(u8"書き込み禁止") + "\tPause Break"},
      {FindInMainMenu(96), base::Sjis(u8"記録開始") + "\tCtrl+Shift+M"},
      {FindInMainMenu(97), base::Sjis(u8"記録終了") + "\tCtrl+Shift+M"},
      {FindInMainMenu(117), base::Sjis(u8"下方向検索") + "\tF3"},
      {FindInMainMenu(15), base::Sjis(u8"ｷｰﾎﾞｰﾄﾞ検索")},
      {Find(VerticalScrollMenu(), 108), base::Sjis(u8"下にスクロール") + "\tShift+Down"},
      {Find(LineNumberPopupMenu(), 6), base::Sjis(u8"カット") + "\tCtrl+X"},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.item, nullptr);
    EXPECT_EQ(MenuLabel(*c.item, tables, oem), c.expected) << c.item->id;
  }
}

TEST(ToolBar, ButtonsInIdOrder) {
  const auto buttons = ToolBarButtons();
  ASSERT_EQ(buttons.size(), 21u);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const ToolButton& b = buttons[i];
    EXPECT_EQ(b.id, kFirstToolButtonId + static_cast<int>(i));
    EXPECT_FALSE(b.tip.empty()) << b.id;
    EXPECT_EQ(b.check, b.id == kToolButtonTopMost) << b.id;
  }
  EXPECT_EQ(U8(buttons[2].tip), "保存");
  EXPECT_EQ(U8(buttons[20].tip), "最上位");
}

TEST(Bands, Controls) {
  std::map<int, BandControl> controls;
  std::vector<int> bands;
  for (const Band& band : ControlBands()) {
    bands.push_back(band.id);
    for (const BandControl& c : band.controls) controls.emplace(c.id, c);
  }
  EXPECT_EQ(bands, (std::vector<int>{kFunctionBandId, kSearchBandId, kFontBandId}));
  const struct {
    int id;
    ControlKind kind;
    std::u8string_view text;
    std::string_view windowName;
    int width;
  } cases[] = {
      {2063, ControlKind::Static, u8"関数名", "", 0},
      {2058, ControlKind::ComboBox, u8"", "MT_FunctionCombo", 250},
      {2059, ControlKind::Button, u8"設定", "", 35},
      {2060, ControlKind::Button, u8"解除", "", 35},
      {2061, ControlKind::Static, u8"検索", "", 0},
      {2055, ControlKind::ComboBox, u8"", "MT_SearchCombo", 290},
      {2064, ControlKind::CheckButton, u8"区別", "", 0},
      {2068, ControlKind::CheckButton, u8"WILD", "", 0},
      {2070, ControlKind::CheckButton, u8"正規", "", 0},
      {2062, ControlKind::Static, u8"ﾌｫﾝﾄ", "", 0},
      {2056, ControlKind::ComboBox, u8"", "MT_FontCombo", 0},
      {2057, ControlKind::ComboBox, u8"", "MT_FontCombo", 0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(controls.contains(c.id)) << c.id;
    const BandControl& got = controls.at(c.id);
    EXPECT_EQ(got.kind, c.kind) << c.id;
    EXPECT_EQ(U8(got.text), U8(c.text)) << c.id;
    EXPECT_EQ(got.windowName, c.windowName) << c.id;
    EXPECT_EQ(got.width, c.width) << c.id;
  }
  EXPECT_EQ(controls.size(), 16u);
}

TEST(Bands, SearchFlagButtons) {
  const std::u8string_view texts[] = {u8"区別", u8"左単", u8"右単", u8"曖昧", u8"WILD", u8"最短", u8"正規"};
  for (int i = 0; i < 7; ++i) {
    const int id = kFirstSearchFlagButtonId + i;
    EXPECT_EQ(SearchFlagOfButton(id), 1 << i) << id;
    EXPECT_EQ(MenuIdToCode(id), kToggleCase + i) << id;
  }
  for (const BandControl& c : ControlBands()[1].controls) {
    if (c.kind == ControlKind::CheckButton) {
      EXPECT_EQ(U8(c.text), U8(texts[c.id - kFirstSearchFlagButtonId]));
    }
  }
  EXPECT_EQ(SearchFlagOfButton(2063), 0);
  EXPECT_EQ(SearchFlagOfButton(2071), 0);
  EXPECT_EQ(FontSizeText(12), "12");
}

}  // namespace
}  // namespace gorvane::commands

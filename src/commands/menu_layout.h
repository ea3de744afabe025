// The main menu, the pop-up menus, the tool bar and the band controls as data.
// The shell builds the platform's menus and controls from these; the enable
// and check marks come from menu_rules.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "commands/key_tables.h"

namespace gorvane::commands {

// ---- menus ---------------------------------------------------------------------------

struct MenuItem {
  int id = 0;                         // 0 for a separator
  std::u8string_view text{};            // UTF-8
  std::span<const MenuItem> subMenu{};  // non-empty: the item opens this sub-menu
  bool separator = false;
  std::u8string_view fixedKey{};        // a key the label always names ("Pause Break")
};

struct MenuBarEntry {
  std::u8string_view title;  // with its accelerator, "ファイル(&F)"
  std::span<const MenuItem> items;
};

// The main menu's top-level menus by position; 0 to 7 carry enable rules.
enum MainMenuIndex : int {
  kFileMenu = 0,
  kEditMenu = 1,
  kSearchMenu = 2,
  kJumpMenu = 3,
  kMacroMenu = 4,
  kCompileMenu = 5,
  kSettingsMenu = 6,
  kWindowMenu = 7,
  kHelpMenu = 8,
};
inline constexpr int kRuledMenuCount = 8;

std::span<const MenuBarEntry> MainMenu();
// The edit view's right-click menu.
std::span<const MenuItem> EditViewPopupMenu();
// The line-number column's right-click menu.
std::span<const MenuItem> LineNumberPopupMenu();
// The scroll bars' menus (ids 102 to 108, 109 to 115).
std::span<const MenuItem> VerticalScrollMenu();
std::span<const MenuItem> HorizontalScrollMenu();

// The item's label in Shift-JIS: its text, and after a tab the key bound to
// its command (or its fixed key) when there is one.
std::string MenuLabel(const MenuItem& item, const KeyTables& tables, const OemKeyTable& oem);

// ---- tool bar --------------------------------------------------------------------------

struct ToolButton {
  int id;
  std::u8string_view tip;  // the tool tip, UTF-8
  bool check;              // a button that stays pressed while its state is on
};
inline constexpr int kFirstToolButtonId = 1000;
inline constexpr int kToolButtonCount = 21;
inline constexpr int kToolButtonTopMost = 1020;
// The 21 buttons, ids 1000 to 1020 in order.
std::span<const ToolButton> ToolBarButtons();

// ---- rebar bands -------------------------------------------------------------------------

inline constexpr int kRebarId = 2050;
inline constexpr int kToolBarId = 2051;
inline constexpr int kFunctionBandId = 2052;
inline constexpr int kSearchBandId = 2053;
inline constexpr int kFontBandId = 2054;
inline constexpr int kSearchComboId = 2055;
inline constexpr int kFontNameComboId = 2056;
inline constexpr int kFontSizeComboId = 2057;
inline constexpr int kFunctionComboId = 2058;
inline constexpr int kFindFunctionsButtonId = 2059;
inline constexpr int kClearRangeLinesButtonId = 2060;
inline constexpr int kSearchLabelId = 2061;
inline constexpr int kFontLabelId = 2062;
inline constexpr int kFunctionLabelId = 2063;
inline constexpr int kFirstSearchFlagButtonId = 2064;  // to 2070

enum class ControlKind { Static, ComboBox, Button, CheckButton };

struct BandControl {
  int id;
  ControlKind kind;
  std::u8string_view text;      // the caption of statics and buttons
  std::string_view windowName;  // the combo boxes' window names
  int width;                    // pixels; 0 where the shell sizes the control
};

struct Band {
  int id;  // the band's tool bar
  std::span<const BandControl> controls;
};
// The function band, the search band and the font band.
std::span<const Band> ControlBands();

// The search flag a search band button toggles (0x01 "区別" to 0x40 "正規");
// 0 for other ids.
std::uint8_t SearchFlagOfButton(int id);
// An entry of the font-size combo box ("%d").
std::string FontSizeText(int points);

}  // namespace gorvane::commands

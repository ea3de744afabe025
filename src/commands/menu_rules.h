// Which menu items are greyed or checked, worked out from the editor's state
// each time a menu opens.
#pragma once

#include <span>
#include <vector>

#include "commands/menu_layout.h"

namespace gorvane::commands {

enum class SplitState { None, Vertical, Horizontal };

// What the rules read; the shell fills it when a menu opens.
struct MenuState {
  bool writeProtected = false;
  bool hasSelection = false;
  bool selectionSpansLines = false;
  bool clipboardHasText = false;
  bool undoData = false;
  bool redoData = false;
  bool replayingMacro = false;        // this editor replays a keyboard macro
  bool thisEditorRecords = false;     // this editor records a keyboard macro
  bool anotherEditorRecords = false;  // some other editor of the machine does
  bool macroDefined = false;          // a recorded or loaded macro exists
  bool searchDialogOpen = false;
  bool caretLineEmpty = false;
  bool caretLineHasSuccessor = true;
  bool caretLineEndsWithCrLf = true;
  int caretColumn = 1;                // 1-based
  bool caretAtLineEnd = false;        // at or past the end of the line's text
  bool deletedLineBufferEmpty = true;
  bool documentIsOneEmptyLine = false;
  bool compileRunning = false;
  bool inputSupportDataExists = false;  // for the file's extension
  bool infoWindowInUse = true;
  bool caretLineIsRangeLine = false;
  bool searchModeRange = false;       // searching range lines only (else the whole file)
  bool topMost = false;
  SplitState split = SplitState::None;
};

// Where a menu is shown: the rules of the main menu and of the edit view's
// pop-up differ.
enum class MenuPlace { MainMenu, EditViewPopup, LineNumberPopup, ScrollBar };

struct ItemState {
  int id = 0;
  bool enabled = true;
  bool checked = false;
  bool radio = false;  // the check is drawn as a radio mark
  friend bool operator==(const ItemState&, const ItemState&) = default;
};

// The state of one item id shown in `place`.
ItemState EvaluateItem(const MenuState& state, MenuPlace place, int id);
// The states of every item with an id in the items and their sub-menus, in
// menu order (sub-menu items after their sub-menu's own item).
std::vector<ItemState> EvaluateMenu(const MenuState& state, MenuPlace place, std::span<const MenuItem> items);
// Top-level menu 0 to 8 of the main menu (8, Help, has no rules).
std::vector<ItemState> EvaluateMainMenu(const MenuState& state, int menuIndex);

}  // namespace gorvane::commands

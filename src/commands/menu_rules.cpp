#include "commands/menu_rules.h"

#include <algorithm>
#include <initializer_list>

namespace gorvane::commands {

namespace {

bool OneOf(int id, std::initializer_list<int> ids) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

// Always greyed in the edit view's pop-up menu, and in the main menu while
// this editor records a macro: undo, search, replace, line-number selection
// and write protection.
bool PopupGreyed(int id) { return OneOf(id, {9, 13, 14, 81, 12}); }

// Greyed while this editor records a macro: file operations, jumps and
// range-line and bookmark changes, compiling and the settings dialogs.
bool GreyedWhileRecording(int id) {
  return OneOf(id, {1, 2, 4, 37, 38, 39, 57, 58, 59, 5}) || OneOf(id, {82, 83, 88, 89, 92, 93, 121, 122}) ||
         OneOf(id, {17, 18}) || (id >= 19 && id <= 30) || id == 101;
}

// The macro menu (95 play, 96 record start, 97 record stop, 98 load, 99 save).
bool MacroItemGreyed(const MenuState& s, int id) {
  if (s.thisEditorRecords) return id != 97;
  if (s.anotherEditorRecords || s.writeProtected) return true;
  switch (id) {
    case 95:
    case 99: return !s.macroDefined;
    case 97: return true;
    default: return false;
  }
}

}  // namespace

ItemState EvaluateItem(const MenuState& s, MenuPlace place, int id) {
  ItemState r{.id = id};
  const bool wp = s.writeProtected, sel = s.hasSelection;
  bool grey = false;
  switch (id) {
    // Editing and selection.
    case 6: grey = wp || !sel; break;
    case 8: grey = wp || !s.clipboardHasText; break;
    case 9: grey = !s.undoData || s.replayingMacro; break;
    case 10: grey = !s.redoData || s.replayingMacro; break;
    case 11: grey = s.documentIsOneEmptyLine; break;
    case 12: r.checked = wp; break;
    case 60: grey = !sel; break;
    case 61: grey = !sel || wp; break;
    case 72: grey = wp || sel; break;
    case 73: grey = wp || sel || !s.caretLineEndsWithCrLf; break;
    case 74: grey = wp || sel || (s.caretLineEmpty && !s.caretLineHasSuccessor); break;
    case 75: grey = wp || s.deletedLineBufferEmpty; break;
    case 76: grey = sel || s.caretColumn <= 1; break;
    case 77: grey = sel || s.caretAtLineEnd; break;
    case 78:
    case 79: grey = s.caretLineEmpty; break;
    case 80:
    case 81: grey = s.documentIsOneEmptyLine; break;
    // Search.
    case 13: grey = s.searchDialogOpen; break;
    case 14: grey = wp || s.searchDialogOpen; break;
    case 119:
    case 120:
      r.radio = true;
      r.checked = (id == 119) == s.searchModeRange;
      break;
    // File.
    case 4:
    case 37:
    case 39: grey = wp; break;
    // Jump.
    case 86:
    case 87: grey = !s.infoWindowInUse; break;
    case 121: grey = s.caretLineIsRangeLine || s.searchDialogOpen || s.selectionSpansLines; break;
    case 122:
    case 123: grey = !s.caretLineIsRangeLine; break;
    // Macro.
    case 95:
    case 96:
    case 97:
    case 98:
    case 99: grey = MacroItemGreyed(s, id); break;
    // Compile and settings.
    case 17: grey = s.compileRunning; break;
    case 27: grey = !s.inputSupportDataExists; break;
    // Window.
    case 47:
    case 48:
    case 49: {
      r.radio = true;
      const SplitState mine = id == 47 ? SplitState::Vertical : id == 48 ? SplitState::Horizontal : SplitState::None;
      r.checked = s.split == mine;
      break;
    }
    case 54: r.checked = s.topMost; break;
    default: break;
  }
  if (place == MenuPlace::EditViewPopup && PopupGreyed(id)) grey = true;
  if (s.thisEditorRecords && (PopupGreyed(id) || GreyedWhileRecording(id))) grey = true;
  r.enabled = !grey;
  return r;
}

std::vector<ItemState> EvaluateMenu(const MenuState& state, MenuPlace place, std::span<const MenuItem> items) {
  std::vector<ItemState> out;
  for (const MenuItem& item : items) {
    if (item.separator) continue;
    out.push_back(EvaluateItem(state, place, item.id));
    if (!item.subMenu.empty()) {
      const std::vector<ItemState> sub = EvaluateMenu(state, place, item.subMenu);
      out.insert(out.end(), sub.begin(), sub.end());
    }
  }
  return out;
}

std::vector<ItemState> EvaluateMainMenu(const MenuState& state, int menuIndex) {
  const auto menus = MainMenu();
  if (menuIndex < 0 || static_cast<std::size_t>(menuIndex) >= menus.size()) return {};
  return EvaluateMenu(state, MenuPlace::MainMenu, menus[static_cast<std::size_t>(menuIndex)].items);
}

}  // namespace gorvane::commands

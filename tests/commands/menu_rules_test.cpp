#include "commands/menu_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace gorvane::commands {
namespace {

// A writable document with a caret in the middle of a non-empty line (no
// selection), something to undo, redo, paste and re-insert, and a macro.
MenuState Editing() {
  MenuState s;
  s.clipboardHasText = true;
  s.undoData = s.redoData = true;
  s.caretColumn = 3;
  s.deletedLineBufferEmpty = false;
  s.macroDefined = true;
  s.inputSupportDataExists = true;
  return s;
}

using Change = void (*)(MenuState&);

struct Case {
  const char* what;
  Change change;
  int id;
  bool enabled;
  MenuPlace place = MenuPlace::MainMenu;
};

void RunCases(std::span<const Case> cases) {
  for (const Case& c : cases) {
    MenuState s = Editing();
    if (c.change) c.change(s);
    EXPECT_EQ(EvaluateItem(s, c.place, c.id).enabled, c.enabled) << c.what << ", id " << c.id;
  }
}

const Change kAsIs = nullptr;
void Protect(MenuState& s) { s.writeProtected = true; }
void Select(MenuState& s) { s.hasSelection = true; }

TEST(MenuRules, EditItems) {
  const Case cases[] = {
      {"cut without selection", kAsIs, 6, false},
      {"cut with selection", Select, 6, true},
      {"cut protected", +[](MenuState& s) { Select(s); Protect(s); }, 6, false},
      {"paste", kAsIs, 8, true},
      {"paste, clipboard without text", +[](MenuState& s) { s.clipboardHasText = false; }, 8, false},
      {"paste protected", Protect, 8, false},
      {"undo", kAsIs, 9, true},
      {"undo, nothing to undo", +[](MenuState& s) { s.undoData = false; }, 9, false},
      {"undo while replaying", +[](MenuState& s) { s.replayingMacro = true; }, 9, false},
      {"redo", kAsIs, 10, true},
      {"redo, nothing to redo", +[](MenuState& s) { s.redoData = false; }, 10, false},
      {"redo while replaying", +[](MenuState& s) { s.replayingMacro = true; }, 10, false},
      {"search", kAsIs, 13, true},
      {"search, dialog open", +[](MenuState& s) { s.searchDialogOpen = true; }, 13, false},
      {"replace", kAsIs, 14, true},
      {"replace protected", Protect, 14, false},
      {"replace, dialog open", +[](MenuState& s) { s.searchDialogOpen = true; }, 14, false},
      {"set as search text without selection", kAsIs, 60, false},
      {"set as search text", Select, 60, true},
      {"set as search text protected", +[](MenuState& s) { Select(s); Protect(s); }, 60, true},
      {"conversions", Select, 61, true},
      {"conversions without selection", kAsIs, 61, false},
      {"conversions protected", +[](MenuState& s) { Select(s); Protect(s); }, 61, false},
      {"insert empty line", kAsIs, 72, true},
      {"insert empty line protected", Protect, 72, false},
      {"insert empty line with selection", Select, 72, false},
      {"duplicate line", kAsIs, 73, true},
      {"duplicate the last line (no CR LF)", +[](MenuState& s) { s.caretLineEndsWithCrLf = false; }, 73, false},
      {"duplicate line protected", Protect, 73, false},
      {"duplicate line with selection", Select, 73, false},
      {"delete line", kAsIs, 74, true},
      {"delete an empty line with a successor", +[](MenuState& s) { s.caretLineEmpty = true; }, 74, true},
      {"delete the empty last line",
       +[](MenuState& s) { s.caretLineEmpty = true, s.caretLineHasSuccessor = false; }, 74, false},
      {"delete line protected", Protect, 74, false},
      {"delete line with selection", Select, 74, false},
      {"insert deleted line", kAsIs, 75, true},
      {"insert deleted line, buffer empty", +[](MenuState& s) { s.deletedLineBufferEmpty = true; }, 75, false},
      {"insert deleted line protected", Protect, 75, false},
      {"delete before caret", kAsIs, 76, true},
      {"delete before caret in column 1", +[](MenuState& s) { s.caretColumn = 1; }, 76, false},
      {"delete before caret with selection", Select, 76, false},
      {"delete after caret", kAsIs, 77, true},
      {"delete after caret at the line end", +[](MenuState& s) { s.caretAtLineEnd = true; }, 77, false},
      {"delete after caret with selection", Select, 77, false},
      {"word selection on an empty line", +[](MenuState& s) { s.caretLineEmpty = true; }, 78, false},
      {"line selection on an empty line", +[](MenuState& s) { s.caretLineEmpty = true; }, 79, false},
      {"line selection", kAsIs, 79, true},
      {"range selection", kAsIs, 80, true},
      {"range selection, one empty line", +[](MenuState& s) { s.documentIsOneEmptyLine = true; }, 80, false},
      {"line-number selection, one empty line", +[](MenuState& s) { s.documentIsOneEmptyLine = true; }, 81, false},
      {"select all", kAsIs, 11, true},
      {"select all, one empty line", +[](MenuState& s) { s.documentIsOneEmptyLine = true; }, 11, false},
      {"write protection while protected", Protect, 12, true},
  };
  RunCases(cases);
}

TEST(MenuRules, OtherMenus) {
  const Case cases[] = {
      {"insert file", kAsIs, 4, true},
      {"insert file protected", Protect, 4, false},
      {"save protected", Protect, 37, false},
      {"save as protected", Protect, 38, true},
      {"save with another code protected", Protect, 39, false},
      {"open protected", Protect, 1, true},
      {"compile", kAsIs, 17, true},
      {"compile while one runs", +[](MenuState& s) { s.compileRunning = true; }, 17, false},
      {"compile settings while one runs", +[](MenuState& s) { s.compileRunning = true; }, 18, true},
      {"input-support settings", kAsIs, 27, true},
      {"input-support settings without data", +[](MenuState& s) { s.inputSupportDataExists = false; }, 27, false},
      {"bookmark jump", kAsIs, 86, true},
      {"bookmark jump without info window", +[](MenuState& s) { s.infoWindowInUse = false; }, 87, false},
      {"range-line jump without info window", +[](MenuState& s) { s.infoWindowInUse = false; }, 84, true},
      {"set range line", kAsIs, 121, true},
      {"set range line, selection in one line", Select, 121, true},
      {"set range line, already one", +[](MenuState& s) { s.caretLineIsRangeLine = true; }, 121, false},
      {"set range line, search dialog open", +[](MenuState& s) { s.searchDialogOpen = true; }, 121, false},
      {"set range line, selection over lines",
       +[](MenuState& s) { s.hasSelection = s.selectionSpansLines = true; }, 121, false},
      {"clear range line, none here", kAsIs, 122, false},
      {"clear range line", +[](MenuState& s) { s.caretLineIsRangeLine = true; }, 122, true},
      {"edit range line, none here", kAsIs, 123, false},
      {"edit range line", +[](MenuState& s) { s.caretLineIsRangeLine = true; }, 123, true},
      {"range line in the line-number menu", +[](MenuState& s) { s.caretLineIsRangeLine = true; }, 121, false,
       MenuPlace::LineNumberPopup},
      {"cut in the line-number menu", kAsIs, 6, false, MenuPlace::LineNumberPopup},
  };
  RunCases(cases);
}

TEST(MenuRules, EditViewPopupGreysSomeItemsAlways) {
  const Case cases[] = {
      {"undo", kAsIs, 9, false, MenuPlace::EditViewPopup},
      {"search", kAsIs, 13, false, MenuPlace::EditViewPopup},
      {"replace", kAsIs, 14, false, MenuPlace::EditViewPopup},
      {"line-number selection", kAsIs, 81, false, MenuPlace::EditViewPopup},
      {"write protection", kAsIs, 12, false, MenuPlace::EditViewPopup},
      {"redo", kAsIs, 10, true, MenuPlace::EditViewPopup},
      {"range selection", kAsIs, 80, true, MenuPlace::EditViewPopup},
      {"paste", kAsIs, 8, true, MenuPlace::EditViewPopup},
      {"paste protected", Protect, 8, false, MenuPlace::EditViewPopup},
      {"line-number selection in the main menu", kAsIs, 81, true},
  };
  RunCases(cases);
}

TEST(MenuRules, RecordingEditor) {
  constexpr Change kRecording = +[](MenuState& s) { s.thisEditorRecords = true; };
  const Case cases[] = {
      // The edit menu follows the pop-up menu's rules.
      {"undo", kRecording, 9, false},
      {"search", kRecording, 13, false},
      {"line-number selection", kRecording, 81, false},
      {"write protection", kRecording, 12, false},
      {"redo", kRecording, 10, true},
      {"insert empty line", kRecording, 72, true},
      // Other menus.
      {"open", kRecording, 1, false},
      {"new", kRecording, 2, false},
      {"save as", kRecording, 38, false},
      {"print preview", kRecording, 59, false},
      {"exit", kRecording, 5, false},
      {"bracket jump", kRecording, 82, false},
      {"jump to line", kRecording, 83, false},
      {"set bookmark", kRecording, 88, false},
      {"clear all range lines", kRecording, 93, false},
      {"set range line", kRecording, 121, false},
      {"clear range line",
       +[](MenuState& s) { s.thisEditorRecords = s.caretLineIsRangeLine = true; }, 122, false},
      {"edit range line", +[](MenuState& s) { s.thisEditorRecords = s.caretLineIsRangeLine = true; }, 123, true},
      {"bookmark jump", kRecording, 86, true},
      {"range-line jump", kRecording, 84, true},
      {"compile", kRecording, 17, false},
      {"compile settings", kRecording, 18, false},
      {"screen settings", kRecording, 19, false},
      {"delete extension", kRecording, 30, false},
      {"undo buffer clear", kRecording, 101, false},
      {"open settings folder", kRecording, 31, true},
      {"info window to front", kRecording, 52, true},
      {"version", kRecording, 36, true},
      // Another editor's recording changes nothing here but the macro menu.
      {"open, another records", +[](MenuState& s) { s.anotherEditorRecords = true; }, 1, true},
  };
  RunCases(cases);
}

TEST(MenuRules, MacroMenu) {
  struct MacroCase {
    const char* what;
    Change change;
    std::vector<bool> enabled;  // 95 play, 96 record start, 97 record stop, 98 load, 99 save
  };
  const MacroCase cases[] = {
      {"idle with a macro", kAsIs, {true, true, false, true, true}},
      {"idle without a macro", +[](MenuState& s) { s.macroDefined = false; }, {false, true, false, true, false}},
      {"this editor records", +[](MenuState& s) { s.thisEditorRecords = true; }, {false, false, true, false, false}},
      {"another editor records", +[](MenuState& s) { s.anotherEditorRecords = true; },
       {false, false, false, false, false}},
      {"write-protected", Protect, {false, false, false, false, false}},
  };
  for (const MacroCase& c : cases) {
    MenuState s = Editing();
    if (c.change) c.change(s);
    std::vector<int> ids;
    std::vector<bool> enabled;
    for (const ItemState& item : EvaluateMainMenu(s, kMacroMenu)) {
      ids.push_back(item.id);
      enabled.push_back(item.enabled);
    }
    ASSERT_EQ(ids, (std::vector<int>{95, 96, 97, 98, 99}));
    EXPECT_EQ(enabled, c.enabled) << c.what;
  }
}

// The item states of one id in a main menu's evaluation.
ItemState InMainMenu(const MenuState& s, int menu, int id) {
  for (const ItemState& item : EvaluateMainMenu(s, menu)) {
    if (item.id == id) return item;
  }
  ADD_FAILURE() << "no item " << id << " in menu " << menu;
  return {};
}

TEST(MenuRules, Checks) {
  MenuState s = Editing();
  EXPECT_FALSE(InMainMenu(s, kFileMenu, 12).checked);
  s.writeProtected = true;
  EXPECT_EQ(InMainMenu(s, kFileMenu, 12), (ItemState{.id = 12, .enabled = true, .checked = true}));
  EXPECT_EQ(EvaluateItem(s, MenuPlace::EditViewPopup, 12), (ItemState{.id = 12, .enabled = false, .checked = true}));

  // Radio marks in sub-menus.
  EXPECT_EQ(InMainMenu(s, kSearchMenu, 119), (ItemState{.id = 119, .checked = false, .radio = true}));
  EXPECT_EQ(InMainMenu(s, kSearchMenu, 120), (ItemState{.id = 120, .checked = true, .radio = true}));
  s.searchModeRange = true;
  EXPECT_TRUE(InMainMenu(s, kSearchMenu, 119).checked);
  EXPECT_FALSE(InMainMenu(s, kSearchMenu, 120).checked);

  const struct {
    SplitState split;
    int checkedId;
  } splits[] = {{SplitState::None, 49}, {SplitState::Vertical, 47}, {SplitState::Horizontal, 48}};
  for (const auto& c : splits) {
    s.split = c.split;
    for (int id : {47, 48, 49}) EXPECT_EQ(InMainMenu(s, kWindowMenu, id).checked, id == c.checkedId) << id;
  }
  EXPECT_FALSE(InMainMenu(s, kWindowMenu, 54).checked);
  s.topMost = true;
  EXPECT_TRUE(InMainMenu(s, kWindowMenu, 54).checked);

  EXPECT_TRUE(EvaluateMainMenu(s, 9).empty());
  EXPECT_TRUE(EvaluateMainMenu(s, -1).empty());
}

}  // namespace
}  // namespace gorvane::commands

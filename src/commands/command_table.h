// The editor's commands: the 81 command codes with their names (the words of
// the key definition file) and descriptions (the key customisation dialog's
// list), the keyboard-macro rules that depend on the code, and the menu,
// tool-bar and band-control ids that run a command.
//
// Texts live here as UTF-8; the functions returning std::string give
// Shift-JIS, the editor's working encoding.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace gorvane::commands {

// 1 to 81; 0 is no command. A key table entry holds one.
using CommandCode = std::uint8_t;
inline constexpr CommandCode kNoCommand = 0;
inline constexpr CommandCode kCommandCount = 81;

enum Command : CommandCode {
  // 編集
  kInsertLine = 1, kCopyInsertLine = 2, kDeleteLine = 3, kInsDelLine = 4, kCut = 5, kCopy = 6, kPaste = 7,
  kBeforeDelete = 8, kAfterDelete = 9,
  // 選択
  kSelectAll = 10, kSelectLineNumbers = 11, kSelectArea = 12, kSelectLine = 13, kSelectWord = 14,
  kSelectUp = 15, kSelectDown = 16, kSelectLeft = 17, kSelectRight = 18,
  // 検索
  kSearchWordSet = 19, kSearchSelectionSet = 20, kSearchDialog = 21, kReplaceDialog = 22, kSearchUp = 23,
  kSearchDown = 24, kSearchMode = 25, kFocusSearchCombo = 26, kToggleCase = 27, kToggleLeftWord = 28,
  kToggleRightWord = 29, kToggleFuzzy = 30, kToggleWildcard = 31, kToggleShortest = 32, kToggleRegExp = 33,
  // キャレット移動
  kMoveLineTop = 34, kMoveLineLast = 35, kPrevWord = 36, kNextWord = 37, kScrollUpLine = 38,
  kScrollDownLine = 39, kScrollLeft = 40, kScrollRight = 41,
  // ジャンプ
  kBracketJump = 42, kJumpToLine = 43, kPrevRangeLine = 44, kNextRangeLine = 45, kPrevBookmark = 46,
  kNextBookmark = 47,
  // ファイル入出力
  kFileOpen = 48, kFileClose = 49, kFileSaveAs = 50, kFileSave = 51, kFileSaveWithCode = 52, kFileNew = 53,
  // アンドゥ＆リドゥ
  kUndo = 54, kRedo = 55,
  // マクロ
  kMacroStartEnd = 56, kMacroRead = 57, kMacroWrite = 58, kMacroGo = 59,
  // 文字列変換
  kToUpperCase = 60, kToLowerCase = 61, kToHalfWidth = 62, kToFullHiragana = 63, kToFullKatakana = 64,
  kHalfKanaToFull = 65, kFullKanaToHalf = 66,
  // 背景画像
  kBackgroundView = 67, kBackgroundDefault = 68, kBackgroundRedraw = 69, kBackgroundPrev = 70,
  kBackgroundNext = 71, kSlideShowStop = 72, kBackgroundSetDefault = 73,
  // その他
  kPrint = 74, kCompile = 75, kInfoWindowFront = 76, kInfoWindowHide = 77, kSplitWindow = 78,
  kBookmarkToggle = 79, kRangeLineToggle = 80, kRangeLineEdit = 81,
};

// ---- the command table ----------------------------------------------------------

struct CommandRow {
  CommandCode code;
  std::string_view name;           // upper-case ASCII, as in the key definition file
  std::u8string_view description;  // UTF-8
};

// The row of a code 1 to 81; nullptr for 0 and anything above 81.
const CommandRow* FindCommandRow(CommandCode code);
// The name of a code ("" for none).
std::string_view CommandName(CommandCode code);
// The code of a name, matched exactly (case and all); kNoCommand when none.
CommandCode FindCommand(std::string_view name);
// The description in Shift-JIS ("" for none).
std::string CommandDescription(CommandCode code);
// The description resource text: the code as three digits, then the
// description ("001空行挿入"), Shift-JIS; "" for none.
std::string DescriptionResource(CommandCode code);
// A further description resource with no command code.
inline constexpr std::u8string_view kExtraDescriptionResource = u8"082範囲設定行に設定／解除";

// The command list as the key customisation dialog shows it: group headings
// ("// ■ 編集", code 0) each followed by its commands, all 81 in code order.
struct CommandListRow {
  CommandCode code;         // kNoCommand for a heading
  std::u8string_view text;  // the heading, or the command's description
};
std::span<const CommandListRow> CommandList();

// ---- keyboard-macro rules ---------------------------------------------------------

// How a command behaves while this editor records or replays a keyboard macro.
enum class MacroGuard {
  None,       // runs as usual
  Refuse,     // replaying: returns silently; recording: kRefusedWhileMacro in the status bar
  Recording,  // the same, with kRefusedWhileRecording
};
MacroGuard MacroGuardOf(CommandCode code);
inline constexpr std::u8string_view kRefusedWhileMacro = u8"マクロ記録／再生中は実行できません。";
inline constexpr std::u8string_view kRefusedWhileRecording = u8"マクロ記録中には実行できません。";

// Whether a key that runs the command records the code into the macro being
// recorded (codes 56, 68 to 73 and 75 to 81 are not recorded).
bool RecordedFromKey(CommandCode code);

// ---- menu, tool-bar and band-control ids ------------------------------------------------

// The command code a menu item, tool-bar button or search-flag button runs;
// kNoCommand for ids with a handler of their own. Ids 119 and 120 set the
// search mode that code 25 toggles.
CommandCode MenuIdToCode(int id);
// Whether choosing the id records its code into the macro being recorded.
bool RecordedFromMenu(int id);

}  // namespace gorvane::commands

// Scripts of editor steps: what a person does at the keyboard and the mouse,
// one step a line, played against an Editor. The same vocabulary serves the
// behaviour tests, `gvtool edit` and, later, keyboard macros.
//
//   # a comment (also after a step, when preceded by a blank)
//   SELECTALL                 a command by its name in the command table
//   key Ctrl+Shift+End        a key with modifiers (Left Right Up Down Home End
//                             PageUp PageDown Enter Tab Backspace Delete Escape
//                             Insert F1-F12, a letter or a digit)
//   type TEXT                 typed characters, one at a time ("..." keeps
//                             blanks at the ends)
//   ime TEXT                  an input method's result: the text at once
//   clipboard TEXT|none|fail  what the clipboard holds (\r \n \t \\ escapes), or
//                             nothing, or a clipboard that cannot be written
//   clearundo                 "ｱﾝﾄﾞｩﾊﾞｯﾌｧｸﾘｱ" from the menu
//   save                      the document is saved as it is now
//   writeprotect on|off, autoindent on|off, undobuffer BYTES
//   report                    writes "undo: INDICATOR undo=N redo=N used=BYTES
//                             ring=N insert|overwrite" into the transcript
//   searchtext TEXT           typed into the search combo ("" empties it)
//   searchitem N              the combo's history item N (0 the first) chosen
//   searchreport              writes "search: text=TEXT options=0xNN mode=N
//                             history=N pending=TEXT|-" into the transcript
//   caret LINE COLUMN         a click there; drag LINE COLUMN extends it
//   shiftclick LINE COLUMN    a click with Shift held
//   dblclick LINE COLUMN      a double click
//   lineclick LINE            a click in the line-number column; linedrag LINE extends it
//   pane 0|1                  the pane that gets the focus
//   input TEXT...             the fields the next dialog gets ("" quotes a field)
//   answer ok|cancel|yes|no   the answer to the next message box
//
// The transcript is one line per event, in order: "status: TEXT",
// "box: CAPTION | TEXT -> ANSWER", "beep", "clipboard: TEXT" (texts UTF-8; CR and LF in a text
// are written as \r and \n), and Summary() gives the final line
// "caret=LINE:COLUMN sel=L1:C1-L2:C2 lines=N modified=0|1".
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "shell/editor.h"
#include "shell/host.h"

namespace gorvane::shell {

struct ScriptStep {
  enum class Kind {
    Command, Key, Click, Drag, ShiftClick, DoubleClick, LineClick, LineDrag, Pane, Input, Answer,
    Type, Ime, Clipboard, ClearUndo, Save, WriteProtect, AutoIndent, UndoBuffer, Report,
    SearchText, SearchItem, SearchReport,
  };
  Kind kind = Kind::Command;
  int line = 0;                      // in the script, for messages
  commands::CommandCode code = 0;    // Command
  KeyPress key;                      // Key (alt: no effect)
  bool alt = false;
  std::int32_t a = 0, b = 0;         // positions, the pane
  std::vector<std::string> fields;   // Input (Shift-JIS); Type, Ime, Clipboard: the text
  bool on = false;                   // WriteProtect, AutoIndent; Clipboard: it has text
  BoxAnswer answer = BoxAnswer::Ok;  // Answer
};

struct ScriptError {
  int line = 0;
  std::string message;
};

// Parses a script (UTF-8). On a step it cannot read, returns false with the
// line and the reason; lines are numbered from firstLine.
bool ParseScript(std::string_view text, std::vector<ScriptStep>* steps, ScriptError* error, int firstLine = 1);

// The fake world a script runs in: the host and the dialogs are answered from
// the script's own input and answer steps, and every message is written down.
class ScriptWorld final : public Host, public EditorDialogs, public BookmarkRegistry, public Clipboard {
 public:
  Result Write(std::string_view sjis) override;
  bool Empty() override;
  bool HasText() override { return clipboardText.has_value(); }
  std::optional<Text> Read() override;
  BoxAnswer ShowMessageBox(const MessageBoxRequest& box) override;
  void ShowStatus(std::string_view text) override;
  void Beep() override;
  bool Ask(DialogKind kind, std::vector<std::string>& fields) override;
  bool Available() override { return bookmarksAvailable; }
  void Register(std::uint8_t mark, std::string_view name, std::function<void(bool)> done) override;
  void Unregister(std::uint8_t mark) override;

  std::vector<std::string> transcript;
  std::deque<std::vector<std::string>> inputs;
  std::deque<BoxAnswer> answers;
  bool bookmarksAvailable = true;
  bool acceptBookmarks = true;
  std::vector<std::pair<std::uint8_t, std::string>> registered;  // the info window's list
  std::optional<std::string> clipboardText;  // Shift-JIS
  bool clipboardFails = false;
  bool clipboardLossy = false;  // its text had characters without a Shift-JIS code
};

// Runs the steps; a pending bracket timer fires after each step, as if the
// person paused. The fixed view: 40 rows of 120 columns in each pane.
void PlayScript(Editor& editor, ScriptWorld& world, const std::vector<ScriptStep>& steps);
void SetScriptView(Editor& editor);

// The final line of a run.
std::string Summary(Editor& editor, bool modified);

}  // namespace gorvane::shell

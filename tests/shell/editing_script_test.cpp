// Editing through scripts: a document in, the steps, the transcript and the
// final line, and the text out ("\n" stands for CR LF).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/editor_session.h"

namespace {

using gvtest::Session;
using gvtest::SjisOf;
using gvtest::TextOf;

struct Case {
  const char* name;
  const char* in;
  const char* script;
  const char* transcript;  // with the final line
  const char* out;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Session s(c.in);
    EXPECT_EQ(s.Play(c.script), c.transcript) << c.name;
    EXPECT_EQ(TextOf(s.store), c.out) << c.name;
    EXPECT_EQ(s.store.CheckInvariants(), "") << c.name;
  }
}

TEST(Editing, Typing) {
  RunCases({
      {"three characters, three records", "xyz", "type abc\nreport", "undo: 100% undo=3 redo=0 used=42 ring=0 insert\ncaret=1:4 sel=none lines=1 modified=1", "abcxyz"},
      {"double-byte characters", "xyz", "key End\ntype あい\nreport", "undo: 100% undo=2 redo=0 used=28 ring=0 insert\ncaret=1:8 sel=none lines=1 modified=1", "xyzあい"},
      {"input-method result at once", "xyz", "caret 1 2\nime 日本語\nreport", "undo: 100% undo=1 redo=0 used=36 ring=0 insert\ncaret=1:8 sel=none lines=1 modified=1", "x日本語yz"},
      {"overwrite", "abc\ndef", "key Insert\ntype X\nreport\nkey End\ntype Y", "undo: 100% undo=1 redo=0 used=14 ring=0 overwrite\ncaret=1:5 sel=none lines=1 modified=1", "XbcYdef"},
      {"overwrite a double-byte character", "あいう", "key Insert\ntype ab\nUNDO\nUNDO", "caret=1:1 sel=none lines=1 modified=0", "あいう"},
      {"typing replaces the selection", "one\ntwo", "caret 1 2\ndrag 2 2\ntype Q\nreport\nUNDO", "undo: 100% undo=1 redo=0 used=60 ring=0 insert\ncaret=2:2 sel=1:1-2:0 lines=2 modified=0", "one\ntwo"},
      {"Escape cancels the selection", "one", "SELECTALL\nkey Escape\ntype x", "caret=1:5 sel=none lines=1 modified=1", "onex"},
      {"write protection", "one", "writeprotect on\ntype x\nkey Enter\nkey Delete\nPASTE\nDELETELINE", "caret=1:1 sel=none lines=1 modified=0", "one"},
  });
}

TEST(Editing, EnterAndDeletes) {
  RunCases({
      {"Enter with auto-indent is one step", "\tabc", "key End\nkey Enter\nreport\ntype x\nUNDO\nUNDO\nreport",
       "undo: 100% undo=4 redo=0 used=32 ring=0 insert\nundo: 100% undo=0 redo=5 used=0 ring=0 insert\ncaret=1:5 sel=none lines=1 modified=0", "\tabc"},
      {"Enter redone with its indent", "\tabc", "key End\nkey Enter\nUNDO\nREDO", "caret=2:2 sel=none lines=2 modified=1", "\tabc\n\t"},
      {"Enter without auto-indent", "\tabc", "autoindent off\ncaret 1 3\nkey Enter\nreport", "undo: 100% undo=1 redo=0 used=14 ring=0 insert\ncaret=2:1 sel=none lines=2 modified=1", "\ta\nbc"},
      {"Enter in overwrite mode on the line end moves on", "ab\ncd", "key Insert\nkey End\nkey Enter", "caret=2:1 sel=none lines=2 modified=0", "ab\ncd"},
      {"Backspace joins lines", "one\ntwo", "caret 2 1\nkey Backspace\nreport\nUNDO", "undo: 100% undo=1 redo=0 used=11 ring=0 insert\ncaret=2:1 sel=none lines=2 modified=0", "one\ntwo"},
      {"Backspace removes a double-byte character", "aあb", "caret 1 4\nkey Backspace", "caret=1:2 sel=none lines=1 modified=1", "ab"},
      {"Delete joins and is redone", "one\ntwo", "key End\nkey Delete\nUNDO\nREDO", "caret=1:4 sel=none lines=1 modified=1", "onetwo"},
      {"Backspace at the start of the document", "one", "key Backspace", "caret=1:1 sel=none lines=1 modified=0", "one"},
      {"Delete on a selection", "one\ntwo\nthree", "caret 1 2\ndrag 3 3\nkey Delete\nUNDO\nREDO", "caret=1:2 sel=none lines=1 modified=1", "oree"},
      {"before and after the caret", "abcdef\nxyz", "caret 1 3\nBEFOREDELETE\nkey Right\nAFTERDELETE\nUNDO\nUNDO",
       "caret=1:3 sel=1:0-1:1 lines=2 modified=0", "abcdef\nxyz"},
      {"after the caret keeps the line end", "abcdef\nxyz", "caret 1 3\nAFTERDELETE", "caret=1:3 sel=none lines=2 modified=1", "ab\nxyz"},
  });
}

TEST(Editing, LineCommands) {
  RunCases({
      {"blank line takes the indent", "\tabc", "INSERTLINE\nreport", "undo: 100% undo=1 redo=0 used=8 ring=0 insert\ncaret=1:2 sel=none lines=2 modified=1", "\t\n\tabc"},
      {"line copy of the last line", "one\ntwo", "key Down\nCOPYINSERTLINE\nreport\nUNDO", "undo: 100% undo=1 redo=0 used=9 ring=0 insert\ncaret=2:1 sel=none lines=2 modified=0", "one\ntwo"},
      {"line copy", "one\ntwo", "COPYINSERTLINE\nUNDO\nREDO", "caret=1:1 sel=none lines=3 modified=1", "one\none\ntwo"},
      {"the only line is emptied", "one", "DELETELINE\nreport", "undo: 100% undo=1 redo=0 used=19 ring=1 insert\ncaret=1:1 sel=none lines=1 modified=1", ""},
      {"deleted lines come back last first", "one\ntwo\nthree", "DELETELINE\nDELETELINE\nINSDELLINE\nINSDELLINE\nINSDELLINE",
       "status: 「行削除」されたﾃﾞｰﾀがありません。\nbeep\ncaret=1:1 sel=none lines=3 modified=1", "one\ntwo\nthree"},
      {"a last line comes back with a line end", "one\ntwo", "key Down\nDELETELINE\nINSDELLINE",
       "status: 改行ｺｰﾄﾞを強制的に追加しました。\nbeep\ncaret=2:1 sel=none lines=3 modified=1", "one\ntwo\n"},
      {"undoing a delete takes its line out of the ring", "one\ntwo", "DELETELINE\nUNDO\nINSDELLINE\nREDO\nreport\nINSDELLINE",
       "status: 「行削除」されたﾃﾞｰﾀがありません。\nbeep\nundo: 100% undo=1 redo=0 used=21 ring=1 insert\ncaret=1:1 sel=none lines=2 modified=1", "one\ntwo"},
      {"undoing a re-insert puts the line back in the ring", "one\ntwo", "DELETELINE\nINSDELLINE\nUNDO\nreport\nINSDELLINE",
       "undo: 100% undo=1 redo=1 used=21 ring=1 insert\ncaret=1:1 sel=none lines=2 modified=1", "one\ntwo"},
      {"a new record drops the ring's undone lines", "one\ntwo\nthree", "DELETELINE\nUNDO\ntype x\nINSDELLINE",
       "status: 「行削除」されたﾃﾞｰﾀがありません。\nbeep\ncaret=1:2 sel=none lines=3 modified=1", "xone\ntwo\nthree"},
      {"a selection only moves the caret", "one\ntwo", "caret 2 2\ndrag 2 3\nDELETELINE", "caret=2:2 sel=none lines=2 modified=0", "one\ntwo"},
  });
}

TEST(Editing, Clipboard) {
  RunCases({
      {"copy without a selection empties it", "one", "clipboard abc\nCOPY", "clipboard: (empty)\ncaret=1:1 sel=none lines=1 modified=0", "one"},
      {"cut without a selection", "one", "CUT", "status: 選択範囲がありません。\ncaret=1:1 sel=none lines=1 modified=0", "one"},
      {"cut and undo", "one\ntwo", "caret 1 2\ndrag 2 2\nCUT\nreport\nUNDO",
       "clipboard: ne\\r\\nt\nundo: 100% undo=1 redo=0 used=47 ring=0 insert\ncaret=2:2 sel=1:1-2:0 lines=2 modified=0", "one\ntwo"},
      {"a cut the clipboard refused deletes nothing", "one", "SELECTALL\nclipboard fail\nCUT", "caret=1:4 sel=1:0-1:2 lines=1 modified=0", "one"},
      {"two lines pasted into a line", "xyz", "clipboard A\\r\\nB\ncaret 1 3\nPASTE\nreport",
       "undo: 100% undo=1 redo=0 used=34 ring=0 insert\ncaret=2:2 sel=1:2-2:0 lines=2 modified=1", "xyA\nBz"},
      {"paste undone and redone", "xyz", "clipboard A\\r\\nB\ncaret 1 3\nPASTE\nUNDO\nREDO", "caret=2:2 sel=1:2-2:0 lines=2 modified=1", "xyA\nBz"},
      {"pasting the selected text does nothing", "abc", "clipboard b\ncaret 1 2\ndrag 1 3\nPASTE\nreport",
       "undo: 100% undo=0 redo=0 used=0 ring=0 insert\ncaret=1:3 sel=1:1-1:1 lines=1 modified=0", "abc"},
      {"paste over a selection", "abcdef", "clipboard XY\ncaret 1 2\ndrag 1 5\nPASTE\nUNDO", "caret=1:5 sel=1:1-1:3 lines=1 modified=0", "abcdef"},
      {"lone CR and LF become line breaks", "", "clipboard a\\rb\\nc\nPASTE", "caret=3:2 sel=1:0-3:0 lines=3 modified=1", "a\nb\nc"},
  });
}

TEST(Editing, Blocks) {
  RunCases({
      {"TAB indents the lines of a block", "a\nb\nc", "lineclick 1\nlinedrag 2\nkey Tab\nreport",
       "undo: 100% undo=1 redo=0 used=14 ring=0 insert\ncaret=3:1 sel=1:0-2:3 lines=3 modified=1", "\ta\n\tb\nc"},
      {"Backspace unindents, undo indents again", "\ta\n\tb\nc", "lineclick 1\nlinedrag 2\nkey Backspace\nreport\nUNDO",
       "undo: 100% undo=1 redo=0 used=15 ring=0 insert\ncaret=1:1 sel=1:0-2:3 lines=3 modified=0", "\ta\n\tb\nc"},
      {"unindent of mixed blanks", "\ta\n b", "SELECTALL\nkey Backspace",
       "status: 削除対象文字に異なる文字が含まれています。削除できません。\nbeep\ncaret=2:3 sel=1:0-2:1 lines=2 modified=0", "\ta\n b"},
      {"unindent of text", "a\n b", "SELECTALL\nkey Backspace",
       "status: 削除対象文字に空白文字以外の文字が含まれています。\nbeep\ncaret=2:3 sel=1:0-2:1 lines=2 modified=0", "a\n b"},
      {"TAB in one line's middle is a character", "abc", "caret 1 2\ndrag 1 3\nkey Tab", "caret=1:3 sel=none lines=1 modified=1", "a\tc"},
  });
}

TEST(Editing, Conversions) {
  RunCases({
      {"upper case, runs as records, one undo", "abc あか\nxyz", "SELECTALL\nCS_UPPERCASE\nreport\nUNDO",
       "undo: 100% undo=4 redo=0 used=58 ring=0 insert\ncaret=1:1 sel=1:0-2:2 lines=2 modified=0", "abc あか\nxyz"},
      {"lower case inside the selection only", "ABCD", "caret 1 2\ndrag 1 4\nCS_LOWERCASE", "caret=1:2 sel=1:1-1:2 lines=1 modified=1", "AbcD"},
      {"full-width katakana, the selection grows", "abc あか\nxyz", "SELECTALL\nCS_EMKATAKANA\nreport",
       "undo: 100% undo=4 redo=0 used=97 ring=0 insert\ncaret=1:1 sel=1:0-2:5 lines=2 modified=1", "ａｂｃ　アカ\nｘｙｚ"},
      {"half width undone and redone", "ａｂ　アカ", "SELECTALL\nCS_HARF\nUNDO\nREDO", "caret=1:1 sel=1:0-1:4 lines=1 modified=1", "ab ｱｶ"},
      {"half-width kana with voicing marks", "ｶﾞｷﾞabc", "SELECTALL\nCS_HARFKANA2EMKANA", "caret=1:1 sel=1:0-1:6 lines=1 modified=1", "ガギabc"},
      {"hiragana from everything", "ｶﾞカa", "SELECTALL\nCS_EMHIRAGANA\nUNDO", "caret=1:1 sel=1:0-1:4 lines=1 modified=0", "ｶﾞカa"},
      {"full-width kana to half width", "カ、a", "SELECTALL\nCS_EMKANA2HARFKANA", "caret=1:1 sel=1:0-1:2 lines=1 modified=1", "ｶ､a"},
      {"runs of one line undone and redone", "ｶaｶﾞbｶ", "SELECTALL\nCS_HARFKANA2EMKANA\nUNDO\nREDO\nUNDO", "caret=1:1 sel=1:0-1:5 lines=1 modified=0", "ｶaｶﾞbｶ"},
      {"no selection", "abc", "CS_UPPERCASE", "status: 選択されている文字列がありません\nbeep\ncaret=1:1 sel=none lines=1 modified=0", "abc"},
  });
}

TEST(Editing, ConversionBeyondTheLineLimit) {
  // 7,681 bytes of "a" widen to 15,362.
  Session s(std::string(7681, 'a') + "\nb", 32768);
  EXPECT_EQ(s.Play("SELECTALL\nCS_EMKATAKANA"),
            "box: Gorvane | 行のデータ数が制限値を超えてしまい変換できません。\\n  行番号 = 1, 制限値 = 15360 ﾊﾞｲﾄ -> ok\n"
            "caret=2:2 sel=1:0-2:0 lines=2 modified=0");
}

TEST(Editing, UndoBufferAndSavedPoint) {
  RunCases({
      {"back to the saved point", "one", "type a\nsave\ntype b\nUNDO", "caret=1:2 sel=none lines=1 modified=0", "aone"},
      {"past the saved point and back", "one", "type a\nsave\nUNDO\nREDO", "caret=1:2 sel=none lines=1 modified=0", "aone"},
      {"a new edit after undoing the saved state", "one", "type a\nsave\nUNDO\ntype b\nUNDO", "caret=1:1 sel=none lines=1 modified=1", "one"},
      {"no redo after a new edit", "one", "type ab\nUNDO\ntype c\nREDO\nreport", "undo: 100% undo=2 redo=0 used=28 ring=0 insert\ncaret=1:3 sel=none lines=1 modified=1", "acone"},
      {"undo and redo refused while write-protected", "one", "type a\nwriteprotect on\nUNDO\nREDO", "caret=1:2 sel=none lines=1 modified=1", "aone"},
      {"clearing an empty buffer", "one", "clearundo", "status: ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱする必要はありません。\nbeep\ncaret=1:1 sel=none lines=1 modified=0", "one"},
      {"clearing asks", "one", "type a\nanswer no\nclearundo\nanswer yes\nclearundo\nreport\nUNDO",
       "box: Gorvane | アンドゥバッファをクリアします。よろしいですか？ -> no\nbox: Gorvane | アンドゥバッファをクリアします。よろしいですか？ -> yes\n"
       "status: ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱしました。\nundo: 100% undo=0 redo=0 used=0 ring=0 insert\ncaret=1:2 sel=none lines=1 modified=1", "aone"},
  });
}

TEST(Editing, AMacroRunIsOneStep) {
  Session s("one\ntwo");
  s.editor.BeginMacroRun();
  s.Play("type ab\nkey Enter\nDELETELINE\nCOPYINSERTLINE");
  s.editor.EndMacroRun();
  s.editor.BeginMacroRun();
  s.editor.EndMacroRun();  // nothing replayed: no step
  EXPECT_EQ(s.Play("UNDO\nreport"), "undo: 100% undo=0 redo=7 used=0 ring=0 insert\ncaret=1:1 sel=none lines=2 modified=0");
  EXPECT_EQ(TextOf(s.store), "one\ntwo");
  EXPECT_EQ(s.Play("REDO\nreport"), "undo: 100% undo=7 redo=0 used=74 ring=1 insert\ncaret=2:1 sel=none lines=3 modified=1");
  EXPECT_EQ(TextOf(s.store), "ab\ntwo\ntwo");
}

TEST(Editing, TheOtherPaneKeepsItsPlaceInTheText) {
  Session s("a\nb\nc\nd\ne\nf");
  s.Play("DIVIDEWINDOW\npane 1\ncaret 5 1\npane 0\ncaret 1 2\nkey Enter\nkey Enter");
  EXPECT_EQ(s.editor.pane(1).caret.line.value, 7) << TextOf(s.store);
  s.Play("caret 2 1\ndrag 4 1\nkey Delete");
  EXPECT_EQ(s.editor.pane(1).caret.line.value, 5) << TextOf(s.store);
  EXPECT_EQ(s.Play("pane 1\ntype x"), "caret=5:2 sel=none lines=6 modified=1");
  EXPECT_EQ(TextOf(s.store), "a\nb\nc\nd\nxe\nf");
}

TEST(Editing, TheLossIsToldOnlyForAPasteThatGoesIn) {
  Session s(std::string(15300, 'a'), 32768);
  s.world.clipboardLossy = true;
  s.world.clipboardText = std::string(100, '?');
  EXPECT_EQ(s.Play("PASTE"), "box: Gorvane | １行のデータサイズが大きくなりすぎてペーストできません。 -> ok\ncaret=1:1 sel=none lines=1 modified=0");
  s.world.clipboardText = "?";
  EXPECT_EQ(s.Play("PASTE"),
            "box: 確認 | シフトＪＩＳコードに変換できなかった文字があります。\\n変換できなかった文字は'?'に置き換えられました。 -> ok\n"
            "caret=1:2 sel=1:0-1:0 lines=1 modified=1");
}

TEST(Editing, ClearingWithOnlyRedoLeft) {
  Session s("one");
  EXPECT_EQ(s.Play("type a\nUNDO\nclearundo\nREDO"),
            "box: Gorvane | アンドゥバッファをクリアします。よろしいですか？ -> yes\nstatus: ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱしました。\n"
            "caret=1:1 sel=none lines=1 modified=0");
}

TEST(Editing, LineCommandsNeedTheCaretOnScreen) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line\n";
  Session s(text);
  EXPECT_EQ(s.Play("SCROLLDOWNLINE\nDELETELINE"),
            "status: キャレットが画面内に無いため行削除できませんでした。\ncaret=1:1 sel=none lines=101 modified=0");
}

TEST(Editing, OverflowSwitchesUndoOff) {
  // 14 bytes a character: the 293rd would bring the buffer within 4,096 bytes of its end.
  Session s("");
  const std::string typed(300, 'a');
  EXPECT_EQ(s.Play("undobuffer 8192\ntype " + typed + "\nreport\nUNDO\nclearundo\nreport"),
            "status: アンドゥバッファオーバーフローによりアンドゥ・リドゥ機能が無効になりました。\nbeep\n"
            "undo: ***% undo=292 redo=0 used=4088 ring=0 insert\n"
            "status: ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱしました。\nundo: 100% undo=0 redo=0 used=0 ring=0 insert\n"
            "caret=1:301 sel=none lines=1 modified=1");
  EXPECT_EQ(TextOf(s.store), typed);
}

TEST(Editing, MovingASelection) {
  RunCases({
      {"dragged to the line's end", "abc def", "caret 1 1\ndrag 1 4\ncaret 1 2\ndrag 1 8\nreport",
       "undo: 100% undo=4 redo=0 used=104 ring=0 insert\ncaret=1:8 sel=1:4-1:6 lines=1 modified=1", " defabc"},
      {"moved and undone in one step", "abc\ndef", "caret 1 1\ndrag 1 3\ncaret 1 1\ndrag 2 4\nUNDO", "caret=1:3 sel=1:0-1:1 lines=2 modified=0", "abc\ndef"},
      {"dropped on itself", "abc def", "caret 1 1\ndrag 1 4\ncaret 1 2", "caret=1:2 sel=none lines=1 modified=0", "abc def"},
  });
}

}  // namespace

namespace {

// Long lines at the limits: a line of n bytes of c (the store takes lines up
// to 15,360 bytes with their line end).
std::string Repeat(std::size_t n, char c) { return std::string(n, c); }

struct Limit {
  const char* name;
  std::string in;
  std::string script;
  std::string transcript;
};

TEST(EditingLimits, AtTheirBoundaries) {
  const std::string tooLongType = "status: 1行の文字数が制限値を超えてしまいます。\nbeep\n";
  const std::string tooLongMove = "status: １行の文字数が制限値を超えてしまい移動できません。\nbeep\n";
  const std::string tooLongDelete = "status: 1行の文字数が制限値を超えてしまいデリートできません。\nbeep\n";
  const Limit limits[] = {
      {"the 15,360th byte fits", Repeat(15357, 'a') + "\nb", "key End\ntype x", "caret=1:15359 sel=none lines=2 modified=1"},
      {"the 15,361st does not", Repeat(15358, 'a') + "\nb", "key End\ntype x", (tooLongType + "caret=1:15359 sel=none lines=2 modified=0")},
      {"a double-byte character needs two", Repeat(15357, 'a') + "\nb", "key End\ntype あ", (tooLongType + "caret=1:15358 sel=none lines=2 modified=0")},
      {"Enter at column 15,359", Repeat(15358, 'a'), "key End\nkey Enter", "caret=2:1 sel=none lines=2 modified=1"},
      {"Enter at column 15,360", Repeat(15359, 'a'), "key End\nkey Enter", (tooLongMove + "caret=1:15360 sel=none lines=1 modified=0")},
      {"Backspace joins up to 15,360", Repeat(7680, 'a') + "\n" + Repeat(7680, 'b'), "caret 2 1\nkey Backspace", "caret=1:7681 sel=none lines=1 modified=1"},
      {"Backspace refuses 15,361", Repeat(7680, 'a') + "\n" + Repeat(7681, 'b'), "caret 2 1\nkey Backspace", (tooLongDelete + "caret=2:1 sel=none lines=2 modified=0")},
      {"Delete refuses 15,361", Repeat(7680, 'a') + "\n" + Repeat(7681, 'b'), "key End\nkey Delete", (tooLongDelete + "caret=1:7681 sel=none lines=2 modified=0")},
      {"a selection deleted leaving 15,360", Repeat(10000, 'a') + "\n" + Repeat(5360, 'c'), "caret 1 10001\ndrag 2 1\nkey Delete", "caret=1:10001 sel=none lines=1 modified=1"},
      {"a selection deleted leaving 15,361", Repeat(10000, 'a') + "\n" + Repeat(5361, 'c'), "caret 1 10001\ndrag 2 1\nkey Delete", (tooLongDelete + "caret=2:1 sel=1:10000-1:10001 lines=2 modified=0")},
      {"line copy of a last line of 15,358", "a\n" + Repeat(15358, 'b'), "key Down\nCOPYINSERTLINE", "caret=2:1 sel=none lines=3 modified=1"},
      {"line copy of a last line of 15,359", "a\n" + Repeat(15359, 'b'), "key Down\nCOPYINSERTLINE", (tooLongType + "caret=2:1 sel=none lines=2 modified=0")},
      {"blank line under a line of blanks", Repeat(15360, ' '), "INSERTLINE",
       "status: ｵｰﾄｲﾝﾃﾞﾝﾄ処理実行時に１行当たりの文字数が制限値を超えてしまい正しく実行されませんでした。\nbeep\ncaret=1:15359 sel=none lines=2 modified=1"},
      {"TAB into a block with a full line", "a\n" + Repeat(15358, 'b') + "\nc", "lineclick 1\nlinedrag 2\nkey Tab",
       "box: Gorvane | １行のデータサイズが 15360 に達している行があります。\\r\\nTABコードを挿入できません。 -> ok\ncaret=3:1 sel=1:0-2:15359 lines=3 modified=0"},
      {"paste making a line too long", Repeat(15100, 'a'), "clipboard " + Repeat(300, 'b') + "\nPASTE",
       "box: Gorvane | １行のデータサイズが大きくなりすぎてペーストできません。 -> ok\ncaret=1:1 sel=none lines=1 modified=0"},
      {"paste filling a line to 15,360", Repeat(15060, 'a'), "clipboard " + Repeat(300, 'b') + "\nPASTE", "caret=1:301 sel=1:0-1:299 lines=1 modified=1"},
  };

  for (const Limit& l : limits) {
    Session s(l.in, 32768);
    EXPECT_EQ(s.Play(l.script), l.transcript) << l.name;
    EXPECT_EQ(s.store.CheckInvariants(), "") << l.name;
  }
}

TEST(EditingLimits, BlocksOf400Lines) {
  std::string text;
  for (int i = 0; i < 401; ++i) text += "x\n";
  for (const auto& [last, transcript] : std::vector<std::pair<int, std::string>>{
           {400, "caret=401:1 sel=1:0-400:3 lines=402 modified=1"},
           {401, "box: Gorvane | 選択範囲が広すぎます。\\r\\nTABコード挿入可能行数は最大 400 行です。 -> ok\ncaret=402:1 sel=1:0-401:2 lines=402 modified=0"}}) {
    Session s(text);
    EXPECT_EQ(s.Play("lineclick 1\nlinedrag " + std::to_string(last) + "\nkey Tab"), transcript) << last;
  }
}

TEST(EditingLimits, ALeadByteIsNeverPutInAlone) {
  Session s("");
  s.editor.TypeChar(0x82);
  s.editor.TypeChar(' ');   // not a second byte: the lead byte goes
  s.editor.TypeChar(0x82);
  s.editor.TypeChar(0xA0);  // あ
  s.editor.TypeChar(0x82);
  s.editor.TypeText("\x82\xa9\x82");  // a string that ends in a lead byte
  EXPECT_EQ(TextOf(s.store), " あか?");
  EXPECT_EQ(s.store.CheckInvariants(), "");
}

}  // namespace

namespace {

// A paste that would pass 1,600,000 lines is refused; one that reaches it
// goes in.
TEST(EditingLimits, PasteUpToTheLineLimit) {
  std::vector<std::string> lines(1599999, "x\r\n");
  lines.back() = "x";
  Session s(lines);
  EXPECT_EQ(s.Play("clipboard a\\r\\nb\\r\\nc\nPASTE"),
            "box: Gorvane | 編集可能行数(160万行)を超えてしまいますのでペーストできません。 -> ok\n"
            "caret=1:1 sel=none lines=1599999 modified=0");
  EXPECT_EQ(s.Play("clipboard a\\r\\nb\nPASTE"), "caret=2:2 sel=1:0-2:0 lines=1600000 modified=1");
}

}  // namespace

// The editor's behaviour as scripts of steps: a document in, the steps, then
// the transcript of status texts, boxes and beeps and the final line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "shell/editor.h"
#include "shell/script.h"
#include "support/editor_session.h"

namespace doc = gorvane::document;
namespace sh = gorvane::shell;
namespace qv = gorvane::qorvetc;

namespace {

using gvtest::Session;
using gvtest::SjisOf;

std::string Lines(int n) {
  std::string text;
  for (int i = 1; i <= n; ++i) text += "line " + std::to_string(i) + (i < n ? "\n" : "");
  return text;
}

struct Case {
  const char* name;
  std::string text;
  const char* script;
  const char* expected;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Session s(c.text);
    EXPECT_EQ(s.Play(c.script), c.expected) << c.name;
  }
}

TEST(EditorScript, CaretMoves) {
  RunCases({
      {"a line of 0 and a column of 0 are line 1, column 1", "ab\ncd\nef", "caret 0 0", "caret=1:1 sel=none lines=3 modified=0"},
      {"past the end: the last line, after its text", "ab\ncd\nef", "caret 99 99", "caret=3:3 sel=none lines=3 modified=0"},
      {"a column inside a double-byte character goes before it", "aあb", "caret 1 3", "caret=1:2 sel=none lines=1 modified=0"},
      {"right steps over a double-byte character whole", "aあb", "key Right\nkey Right", "caret=1:4 sel=none lines=1 modified=0"},
      {"left from column 1 ends the previous line", "ab\ncd", "caret 2 1\nkey Left", "caret=1:3 sel=none lines=2 modified=0"},
      {"right at a line end starts the next line", "ab\ncd", "caret 1 3\nkey Right", "caret=2:1 sel=none lines=2 modified=0"},
      {"left on line 1 and right at the end stay", "ab\ncd", "key Left\ncaret 2 3\nkey Right", "caret=2:3 sel=none lines=2 modified=0"},
      {"up and down keep the x position over a shorter line", "abcdef\nあ\nabcdef", "caret 1 5\nkey Down\nkey Down",
       "caret=3:5 sel=none lines=3 modified=0"},
      {"down onto a double-byte line lands on a boundary", "abcdef\nあいう", "caret 1 4\nkey Down", "caret=2:5 sel=none lines=2 modified=0"},
      {"home and end, and with Ctrl the document's ends", "abc\ndef\nghij", "caret 2 2\nkey End\nkey Home\nkey Ctrl+End",
       "caret=3:5 sel=none lines=3 modified=0"},
      {"ctrl+home", "abc\ndef", "caret 2 3\nkey Ctrl+Home", "caret=1:1 sel=none lines=2 modified=0"},
      {"line end on the last line (no line end) is after its last byte", "ab\ncdef", "caret 2 1\nMOVELINELAST",
       "caret=2:5 sel=none lines=2 modified=0"},
      {"line start", "abc", "caret 1 3\nMOVELINETOP", "caret=1:1 sel=none lines=1 modified=0"},
      {"page down moves the caret by a page of 40 rows", Lines(100), "key PageDown\nkey PageDown",
       "caret=81:1 sel=none lines=100 modified=0"},
      {"page up from the end keeps the x position", Lines(100), "key Ctrl+End\nkey PageUp", "caret=60:8 sel=none lines=100 modified=0"},
      {"scrolling by a line leaves the caret", Lines(100), "SCROLLDOWNLINE\nSCROLLDOWNLINE\nSCROLLUPLINE",
       "caret=1:1 sel=none lines=100 modified=0"},
  });
}

TEST(EditorScript, ScrollingKeepsTheView) {
  Session s(Lines(100));
  s.Play("SCROLLDOWNLINE\nSCROLLDOWNLINE");
  EXPECT_EQ(s.editor.pane(0).first, doc::LineNo(3));
  s.Play("key Down");  // the caret comes back into view
  EXPECT_EQ(s.editor.pane(0).first, doc::LineNo(2));
  s.Play("key Ctrl+End");
  EXPECT_EQ(s.editor.pane(0).first, doc::LineNo(61));
}

TEST(EditorScript, Selections) {
  RunCases({
      {"select all ends with the line end before an empty last line", "ab\ncd\n", "SELECTALL",
       "caret=3:1 sel=1:0-2:3 lines=3 modified=0"},
      {"select all on one line", "abc", "SELECTALL", "caret=1:4 sel=1:0-1:2 lines=1 modified=0"},
      {"select all on an empty document", "", "SELECTALL",
       "status: 選択できるデータがありません。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"the current line with its line end", "ab\ncd", "caret 1 2\nSELECTLINE", "caret=2:1 sel=1:0-1:3 lines=2 modified=0"},
      {"the current line when it is empty", "ab\n", "caret 2 1\nSELECTLINE",
       "status: 選択できるデータがありません。\nbeep\ncaret=2:1 sel=none lines=2 modified=0"},
      {"lines by number", Lines(5), "input 2 3\nSELECTLNUM", "caret=4:1 sel=2:0-3:7 lines=5 modified=0"},
      {"lines by number: swapped", Lines(5), "input 4 2\nSELECTLNUM", "caret=5:1 sel=2:0-4:7 lines=5 modified=0"},
      {"lines by number: both clamped, then swapped", Lines(5), "input 0 99\nSELECTLNUM",
       "caret=5:7 sel=1:0-5:5 lines=5 modified=0"},
      {"lines by number: a first line beyond the end is the last", Lines(5), "input 9 2\nSELECTLNUM",
       "caret=5:7 sel=2:0-5:5 lines=5 modified=0"},
      {"lines by number: an empty first line", "ab\ncd\n", "input 3 3\nSELECTLNUM",
       "box: Gorvane | 選択できるデータはありません。 -> ok\ncaret=1:1 sel=none lines=3 modified=0"},
      {"lines by number: cancelled", Lines(5), "SELECTLNUM", "caret=1:1 sel=none lines=5 modified=0"},
      {"keyboard selection over a double-byte character", "aあb", "SELECTRIGHT\nSELECTRIGHT",
       "caret=1:4 sel=1:0-1:2 lines=1 modified=0"},
      {"keyboard selection down and back", "abc\ndef", "caret 1 2\nSELECTDOWN\nSELECTLEFT",
       "caret=2:1 sel=1:1-1:4 lines=2 modified=0"},
      {"keyboard selection to the left of the anchor", "abcd", "caret 1 4\nSELECTLEFT\nSELECTLEFT",
       "caret=1:2 sel=1:1-1:2 lines=1 modified=0"},
      {"keyboard selection on an empty document", "", "SELECTRIGHT",
       "status: 選択できません。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"shift with the caret keys", "abc\ndef", "key Shift+End\nkey Shift+Down", "caret=2:4 sel=1:0-2:2 lines=2 modified=0"},
      {"an arrow cancels the selection", "abc", "key Shift+Right\nkey Right", "caret=1:3 sel=none lines=1 modified=0"},
      {"the word at the caret", "foo bar", "caret 1 6\nSELECTWORD", "caret=1:8 sel=1:4-1:6 lines=1 modified=0"},
      {"a double click", "foo,bar", "dblclick 1 2", "caret=1:4 sel=1:0-1:2 lines=1 modified=0"},
      {"a mouse drag", "abcd\nefgh", "caret 1 2\ndrag 2 3", "caret=2:3 sel=1:1-2:1 lines=2 modified=0"},
      {"a drag back over the anchor", "abcd", "caret 1 4\ndrag 1 2", "caret=1:2 sel=1:1-1:2 lines=1 modified=0"},
      {"shift and a click", "abcd\nefgh", "caret 1 2\nshiftclick 2 2", "caret=2:2 sel=1:1-2:0 lines=2 modified=0"},
      {"a click cancels the selection", "abcd", "SELECTALL\ncaret 1 2", "caret=1:2 sel=none lines=1 modified=0"},
      {"whole lines in the line-number column", Lines(5), "lineclick 2\nlinedrag 3", "caret=4:1 sel=2:0-3:7 lines=5 modified=0"},
      {"whole lines dragged upwards", Lines(5), "lineclick 4\nlinedrag 2", "caret=2:1 sel=2:0-4:7 lines=5 modified=0"},
  });
}

TEST(EditorScript, CommandsAtTheCaretNeedItOnScreen) {
  RunCases({
      {"the current line", Lines(100), "SCROLLDOWNLINE\nSELECTLINE",
       "status: キャレットが画面内に無いため1行選択できませんでした。\ncaret=1:1 sel=none lines=100 modified=0"},
      {"keyboard selection", Lines(100), "SCROLLDOWNLINE\nSELECTDOWN",
       "status: キャレットが画面内に無いためｷｰﾎﾞｰﾄﾞ選択できませんでした。\ncaret=1:1 sel=none lines=100 modified=0"},
      {"the range block", Lines(100), "SCROLLDOWNLINE\nSELECTAREA",
       "status: キャレットが画面内に無いため範囲内選択できませんでした。\ncaret=1:1 sel=none lines=100 modified=0"},
  });
  // The refusal brings the caret back into view.
  Session s(Lines(100));
  s.Play("SCROLLDOWNLINE\nSELECTLINE");
  EXPECT_EQ(s.editor.pane(0).first, doc::LineNo(1));
}

TEST(EditorScript, Words) {
  RunCases({
      {"forward over a word, blanks and a run of one delimiter", "foo  bar,,baz",
       "NEXTWORD\nNEXTWORD\nNEXTWORD\nNEXTWORD", "caret=1:11 sel=none lines=1 modified=0"},
      {"at the line end to the next line past its indent", "ab\n   cd", "caret 1 3\nNEXTWORD", "caret=2:4 sel=none lines=2 modified=0"},
      {"kanji and kana runs", "漢字かな", "NEXTWORD", "caret=1:9 sel=none lines=1 modified=0"},
      {"a double-byte delimiter run", "あ、、い", "caret 1 3\nNEXTWORD", "caret=1:7 sel=none lines=1 modified=0"},
      {"backward", "foo bar", "caret 1 8\nPREVWORD", "caret=1:5 sel=none lines=1 modified=0"},
      {"with a selection: to its end, cancelled", "foo bar baz", "caret 1 2\ndrag 1 6\nNEXTWORD",
       "caret=1:6 sel=none lines=1 modified=0"},
      {"with a selection: to its start, cancelled", "foo bar baz", "caret 1 2\ndrag 1 6\nPREVWORD",
       "caret=1:2 sel=none lines=1 modified=0"},
  });
}

TEST(EditorScript, Brackets) {
  RunCases({
      {"to the partner", "(a[b]c)", "key Right\nkey Left\nKAKKO_JUMP", "caret=1:7 sel=none lines=1 modified=0"},
      {"to the partner and back", "(a[b]c)", "key Right\nkey Left\nKAKKO_JUMP\nKAKKO_JUMP", "caret=1:1 sel=none lines=1 modified=0"},
      {"an inner pair", "(a[b]c)", "caret 1 3\nKAKKO_JUMP", "caret=1:5 sel=none lines=1 modified=0"},
      {"a closing bracket searches backwards over lines", "{\n(x)\n}", "caret 3 1\nKAKKO_JUMP",
       "caret=1:1 sel=none lines=3 modified=0"},
      {"a trail byte 0x5B is not a bracket", "(ゼ)", "key Right\nkey Left\nKAKKO_JUMP", "caret=1:4 sel=none lines=1 modified=0"},
      {"without a remembered pair nothing happens", "(a)", "caret 1 2\nKAKKO_JUMP", "caret=1:2 sel=none lines=1 modified=0"},
      {"a caret move forgets the pair", "(a)", "key Right\nkey Left\nkey Right\nKAKKO_JUMP",
       "caret=1:2 sel=none lines=1 modified=0"},
      {"no partner", "(a", "key Right\nkey Left\nKAKKO_JUMP", "caret=1:1 sel=none lines=1 modified=0"},
  });
  // The remembered pair is what the view highlights.
  Session s("x(a)");
  s.Play("caret 1 2");
  ASSERT_TRUE(s.editor.brackets().has_value());
  EXPECT_EQ(s.editor.brackets()->partner.column, doc::CaretCol(4));
  s.Play("key Right");
  EXPECT_FALSE(s.editor.brackets().has_value());
}

TEST(EditorScript, JumpToALine) {
  RunCases({
      {"the line's first column", Lines(10), "input 7\nJUMP", "caret=7:1 sel=none lines=10 modified=0"},
      {"beyond the end: the last line", Lines(10), "input 99\nJUMP", "caret=10:1 sel=none lines=10 modified=0"},
      {"beyond 2^31-1: saturated, then the last line", Lines(10), "input 99999999999\nJUMP",
       "caret=10:1 sel=none lines=10 modified=0"},
      {"0 is refused and the dialog asks again", Lines(10), "input 0\ninput 4\nJUMP",
       "box: Gorvane | ジャンプできません。 -> ok\ncaret=4:1 sel=none lines=10 modified=0"},
      {"cancelled", Lines(10), "caret 3 2\nJUMP", "caret=3:2 sel=none lines=10 modified=0"},
      {"the selection is cancelled", Lines(10), "SELECTALL\ninput 2\nJUMP", "caret=2:1 sel=none lines=10 modified=0"},
  });
}

// The dialog is filled with the pane's last line.
TEST(EditorScript, JumpRemembersTheLine) {
  struct Recorder final : sh::EditorDialogs {
    bool Ask(sh::DialogKind, std::vector<std::string>& fields) override {
      seen.push_back(fields.empty() ? "" : fields[0]);
      if (answers.empty()) return false;
      fields[0] = answers.front();
      answers.erase(answers.begin());
      return true;
    }
    std::vector<std::string> seen, answers;
  } dialogs;
  Session s(Lines(10));
  sh::Editor editor(s.world, s.store, dialogs);
  sh::SetScriptView(editor);
  editor.DocumentReplaced();
  dialogs.answers = {"30"};
  editor.Run(43);
  editor.Run(43);
  EXPECT_EQ(dialogs.seen, (std::vector<std::string>{"", "10"}));
}

TEST(EditorScript, Bookmarks) {
  RunCases({
      {"set, then next and previous", Lines(10), "caret 5 1\ninput here\nBOOKMARK\ncaret 1 1\nNEXTBOOKMARK\nNEXTBOOKMARK",
       "status: ﾌﾞｯｸﾏｰｸは見つかりませんでした。\nbeep\ncaret=5:1 sel=none lines=10 modified=0"},
      {"previous from below", Lines(10), "caret 3 1\ninput a\nBOOKMARK\ncaret 9 2\nPREVBOOKMARK",
       "caret=3:1 sel=none lines=10 modified=0"},
      {"toggled off again", Lines(10), "caret 3 1\ninput a\nBOOKMARK\nBOOKMARK\ncaret 1 1\nNEXTBOOKMARK",
       "status: ﾌﾞｯｸﾏｰｸは見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=10 modified=0"},
      {"cancelled naming sets nothing", Lines(10), "caret 3 1\nBOOKMARK\ncaret 1 1\nNEXTBOOKMARK",
       "status: ﾌﾞｯｸﾏｰｸは見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=10 modified=0"},
      {"a selection over lines is only cancelled", Lines(10), "SELECTALL\ninput a\nBOOKMARK",
       "caret=10:8 sel=none lines=10 modified=0"},
  });
}

TEST(EditorScript, BookmarksWithTheInfoWindow) {
  {
    Session s(Lines(3));
    s.world.bookmarksAvailable = false;
    EXPECT_EQ(s.Play("input a\nBOOKMARK"),
              "box: Gorvane | 情報ウィンドウが利用できないためブックマークできません。 -> ok\ncaret=1:1 sel=none lines=3 modified=0");
  }
  {
    // The info window refuses: the mark goes again.
    Session s(Lines(3));
    s.world.acceptBookmarks = false;
    EXPECT_EQ(s.Play("caret 2 1\ninput a\nBOOKMARK"), "status: ﾌﾞｯｸﾏｰｸ設定に失敗しました。\ncaret=2:1 sel=none lines=3 modified=0");
    EXPECT_EQ(s.store.Bookmark(doc::LineNo(2)), 0);
  }
  {
    // The info window hears of the name (at most 255 bytes) and of the removal.
    Session s(Lines(3));
    s.Play("caret 2 1\ninput " + std::string(300, 'n') + "\nBOOKMARK");
    ASSERT_EQ(s.world.registered.size(), 1u);
    EXPECT_EQ(s.world.registered[0].second, std::string(255, 'n'));
    EXPECT_NE(s.store.Bookmark(doc::LineNo(2)), 0);
    s.Play("BOOKMARK");
    EXPECT_TRUE(s.world.registered.empty());
    // The info window deletes one.
    s.Play("input b\nBOOKMARK");
    const std::uint8_t mark = s.store.Bookmark(doc::LineNo(2));
    s.editor.BookmarkDeleted(mark);
    EXPECT_EQ(s.store.Bookmark(doc::LineNo(2)), 0);
  }
}

// An answer that comes later: a second toggle meanwhile is refused.
TEST(EditorScript, BookmarkRegistrationStillOpen) {
  struct Late final : sh::BookmarkRegistry {
    bool Available() override { return true; }
    void Register(std::uint8_t, std::string_view, std::function<void(bool)> d) override { done = std::move(d); }
    void Unregister(std::uint8_t) override {}
    std::function<void(bool)> done;
  } late;
  Session s(Lines(5));
  s.editor.SetBookmarkRegistry(&late);
  EXPECT_EQ(s.Play("caret 2 1\ninput a\nBOOKMARK\ncaret 3 1\nBOOKMARK"),
            "status: 現在ﾌﾞｯｸﾏｰｸ登録中のﾃﾞｰﾀがあります。\nbeep\ncaret=3:1 sel=none lines=5 modified=0");
  ASSERT_TRUE(late.done);
  late.done(true);
  EXPECT_NE(s.store.Bookmark(doc::LineNo(2)), 0);
  // Answers for a document that has gone are dropped.
  s.Play("caret 4 1\ninput b\nBOOKMARK");
  s.editor.DocumentReplaced();
  late.done(false);
  EXPECT_EQ(s.world.transcript, std::vector<std::string>{});
}

TEST(EditorScript, AtMost255BookmarksAFile) {
  Session s(Lines(300));
  std::string script;
  for (int line = 1; line <= 255; ++line) script += "input " + std::to_string(line) + "\nJUMP\ninput m\nBOOKMARK\n";
  EXPECT_EQ(s.Play(script), "caret=255:1 sel=none lines=300 modified=0");
  EXPECT_EQ(s.Play("input 256\nJUMP\ninput m\nBOOKMARK"),
            "box: Gorvane | ブックマーク行に設定できるのは１つのファイルにつき255行までです。ブックマーク行として設定できません。 -> ok\n"
            "caret=256:1 sel=none lines=300 modified=0");
  // One removed makes room again.
  s.world.inputs.clear();  // the refused toggle asked for no name
  EXPECT_EQ(s.Play("input 10\nJUMP\nBOOKMARK\ninput 256\nJUMP\ninput m\nBOOKMARK"), "caret=256:1 sel=none lines=300 modified=0");
  EXPECT_NE(s.store.Bookmark(doc::LineNo(256)), 0);
}

TEST(EditorScript, MacrosGuardTheToggles) {
  Session s(Lines(3));
  s.editor.SetMacroState(sh::MacroState::Recording);
  EXPECT_EQ(s.Play("input a\nBOOKMARK\ninput 2\nJUMP"),
            "status: マクロ記録／再生中は実行できません。\nstatus: マクロ記録／再生中は実行できません。\ncaret=1:1 sel=none lines=3 modified=0");
  s.editor.SetMacroState(sh::MacroState::Replaying);
  s.world.inputs.clear();
  EXPECT_EQ(s.Play("input a\nAREASEL"), "caret=1:1 sel=none lines=3 modified=0");
  EXPECT_EQ(s.store.RangeIndex(doc::LineNo(1)), 0);
}

TEST(EditorScript, RangeLines) {
  RunCases({
      {"set, next, previous", Lines(10), "caret 4 1\ninput f\nAREASEL\ncaret 8 1\ninput g\nAREASEL\ncaret 1 1\nNEXTAREA\nNEXTAREA\nPREVAREA",
       "caret=4:1 sel=none lines=10 modified=0"},
      {"none found", Lines(10), "NEXTAREA",
       "status: 範囲設定行に設定されている行は見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=10 modified=0"},
      {"editing a line without a label", Lines(10), "AREAEDIT", "status: 範囲設定行ではありません。\nbeep\ncaret=1:1 sel=none lines=10 modified=0"},
      {"the block around the caret", Lines(10), "caret 3 1\ninput f\nAREASEL\ncaret 6 1\ninput g\nAREASEL\ncaret 4 2\nSELECTAREA",
       "caret=6:1 sel=3:0-5:7 lines=10 modified=0"},
      {"the last block runs to the end", Lines(5), "caret 3 1\ninput f\nAREASEL\ncaret 4 2\nSELECTAREA",
       "caret=5:7 sel=3:0-5:5 lines=5 modified=0"},
      {"without range lines: from line 1", Lines(3), "caret 2 2\nSELECTAREA", "caret=3:7 sel=1:0-3:5 lines=3 modified=0"},
  });
  Session s(Lines(10));
  s.Play("caret 4 1\ninput first\nAREASEL");
  EXPECT_EQ(s.store.RangeLabel(doc::LineNo(4)), "first");
  s.Play("input second\nAREAEDIT");
  EXPECT_EQ(s.store.RangeLabel(doc::LineNo(4)), "second");
  EXPECT_EQ(s.editor.LabelIndexAt(doc::LineNo(9)), 0);
  EXPECT_EQ(s.editor.LabelIndexAt(doc::LineNo(2)), -1);
  s.Play("AREASEL");
  EXPECT_EQ(s.store.RangeIndex(doc::LineNo(4)), 0);
  EXPECT_TRUE(s.editor.RangeLabels().empty());
}

TEST(EditorScript, AtMost1024RangeLines) {
  Session s(Lines(1100));
  std::string script;
  for (int line = 1; line <= 1024; ++line) script += "input " + std::to_string(line) + "\nJUMP\ninput l\nAREASEL\n";
  EXPECT_EQ(s.Play(script), "caret=1024:1 sel=none lines=1100 modified=0");
  EXPECT_EQ(s.Play("input 1025\nJUMP\ninput l\nAREASEL"),
            "box: Gorvane | 範囲設定可能行数(1024)を超えました。\\r\\n設定できません。 -> ok\ncaret=1025:1 sel=none lines=1100 modified=0");
}

TEST(EditorScript, Panes) {
  Session s(Lines(100));
  s.Play("DIVIDEWINDOW");
  ASSERT_EQ(s.editor.paneCount(), 2);
  EXPECT_EQ(s.Play("pane 1\ninput 50\nJUMP"), "caret=50:1 sel=none lines=100 modified=0");
  // Each pane keeps its own caret.
  EXPECT_EQ(s.Play("pane 0"), "caret=1:1 sel=none lines=100 modified=0");
  EXPECT_EQ(s.Play("pane 1"), "caret=50:1 sel=none lines=100 modified=0");
  s.Play("DIVIDEWINDOW");
  EXPECT_EQ(s.editor.paneCount(), 1);
  EXPECT_EQ(s.editor.activePane(), 0);
}

// A pane whose caret stands on a line that is gone is brought back onto the
// document before a command runs in it.
TEST(EditorScript, APaneCaretIsClampedBeforeCommands) {
  Session s(Lines(100));
  s.Play("input 90\nJUMP\ncaret 90 6");
  // The document shrinks under the editor's feet.
  ASSERT_TRUE(s.store.BeginLoad());
  for (const std::string_view line : {std::string_view("one\r\n"), std::string_view("two")})
    ASSERT_TRUE(s.store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(line.data()),
                                              static_cast<std::uint32_t>(line.size()), line == "two" ? 2 : 1));
  ASSERT_TRUE(s.store.EndLoad(2));
  EXPECT_EQ(s.Play("SELECTLINE"), "caret=2:4 sel=2:0-2:2 lines=2 modified=0");
}

TEST(EditorScript, Parsing) {
  struct Bad {
    const char* script;
    int line;
  } bad[] = {{"NOSUCHCOMMAND", 1}, {"# fine\nkey Ctrl+Nothing", 2}, {"caret 1", 1}, {"answer maybe", 1},
             {"\n\ntype", 3},       {"pane 2", 1},                   {"input \"open", 1}, {"SELECTALL now", 1}};
  for (const Bad& b : bad) {
    std::vector<sh::ScriptStep> steps;
    sh::ScriptError e;
    EXPECT_FALSE(sh::ParseScript(b.script, &steps, &e)) << b.script;
    EXPECT_EQ(e.line, b.line) << b.script;
  }
  std::vector<sh::ScriptStep> steps;
  sh::ScriptError e;
  ASSERT_TRUE(sh::ParseScript("key Ctrl+Shift+F12  # a comment\ninput \"two words\" \"\"\nanswer no\n", &steps, &e));
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_TRUE(steps[0].key.ctrl && steps[0].key.shift);
  EXPECT_EQ(steps[0].key.vk, 0x7b);
  EXPECT_EQ(steps[1].fields, (std::vector<std::string>{"two words", ""}));
  EXPECT_EQ(steps[2].answer, sh::BoxAnswer::No);
}

TEST(EditorScript, BoxesTakeTheScriptedAnswerOrTheirDefault) {
  sh::ScriptWorld world;
  world.answers.push_back(sh::BoxAnswer::No);
  EXPECT_EQ(sh::Tell(world, u8"保存しますか？", sh::BoxIcon::Question, sh::BoxButtons::YesNo), sh::BoxAnswer::No);
  EXPECT_EQ(sh::Tell(world, u8"もう一度", sh::BoxIcon::Question, sh::BoxButtons::YesNoCancel), sh::BoxAnswer::Yes);
  EXPECT_EQ(world.transcript, (std::vector<std::string>{"box: Gorvane | 保存しますか？ -> no", "box: Gorvane | もう一度 -> yes"}));
}

}  // namespace

namespace {

// Dialogs that stay open until the test answers them.
struct OpenDialogs final : sh::EditorDialogs {
  bool Ask(sh::DialogKind, std::vector<std::string>&) override { return false; }
  void Open(sh::DialogKind kind, std::vector<std::string> fields, Done d) override {
    kinds.push_back(kind);
    first = fields.empty() ? "" : fields[0];
    done = std::move(d);
  }
  std::vector<sh::DialogKind> kinds;
  std::string first;
  Done done;
};

// The bookmark's name and the range labels are asked while the editor goes
// on: the mark or label goes to the line the dialog was opened for, once it
// is answered; a second bookmark waits until the first is registered.
TEST(EditorScript, NamesAreAskedWhileTheEditorGoesOn) {
  Session s(Lines(10));
  OpenDialogs dialogs;
  sh::Editor editor(s.world, s.store, dialogs);
  editor.SetBookmarkRegistry(&s.world);
  sh::SetScriptView(editor);
  editor.DocumentReplaced();
  editor.SetCaret(0, doc::LineNo(3), doc::CaretCol(1));
  editor.Run(79);
  ASSERT_TRUE(dialogs.done);
  EXPECT_EQ(s.store.Bookmark(doc::LineNo(3)), 0);
  editor.SetCaret(0, doc::LineNo(6), doc::CaretCol(1));
  editor.Run(79);  // refused: the first is still being named
  EXPECT_EQ(s.world.transcript, (std::vector<std::string>{"status: 現在ﾌﾞｯｸﾏｰｸ登録中のﾃﾞｰﾀがあります。", "beep"}));
  dialogs.done(true, {"third"});
  EXPECT_NE(s.store.Bookmark(doc::LineNo(3)), 0);
  ASSERT_EQ(s.world.registered.size(), 1u);
  EXPECT_EQ(s.world.registered[0].second, "third");
  // Cancelled: nothing set, and the next one may be named.
  editor.Run(79);
  dialogs.done(false, {});
  EXPECT_EQ(s.store.Bookmark(doc::LineNo(6)), 0);
  editor.Run(79);
  EXPECT_EQ(dialogs.kinds.size(), 3u);

  // A range label: the dialog starts with the line's label when editing.
  editor.SetCaret(0, doc::LineNo(8), doc::CaretCol(1));
  editor.Run(80);
  editor.SetCaret(0, doc::LineNo(2), doc::CaretCol(1));
  dialogs.done(true, {"eight"});
  EXPECT_EQ(s.store.RangeLabel(doc::LineNo(8)), "eight");
  EXPECT_EQ(s.store.RangeIndex(doc::LineNo(2)), 0);
  editor.SetCaret(0, doc::LineNo(8), doc::CaretCol(1));
  editor.Run(81);
  EXPECT_EQ(dialogs.first, "eight");
  EXPECT_EQ(dialogs.kinds.back(), sh::DialogKind::EditRangeLabel);
  // An answer for a document that has gone is dropped.
  editor.DocumentReplaced();
  dialogs.done(true, {"late"});
  EXPECT_EQ(s.store.RangeLabel(doc::LineNo(8)), "eight");
}

}  // namespace

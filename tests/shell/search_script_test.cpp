// Searching through scripts: the search string from the combo, the dialog and
// the text, the option buttons, and the searches down and up in every way of
// matching. "\n" stands for CR LF in documents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/editor_session.h"

namespace {

using gvtest::Session;

struct Case {
  const char* name;
  const char* in;
  const char* script;
  const char* transcript;  // with the final line
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Session s(c.in);
    EXPECT_EQ(s.Play(c.script), c.transcript) << c.name;
  }
}

TEST(Search, PlainDownAndUp) {
  RunCases({
      {"down twice finds the hits in turn", "abc abc abc", "searchtext abc\nSCHDOWN\nSCHDOWN",
       "status: \nstatus: \ncaret=1:5 sel=1:4-1:6 lines=1 modified=0"},
      {"up twice finds earlier hits", "abc abc abc", "key End\nsearchtext abc\nSCHUP\nSCHUP",
       "status: \nstatus: \ncaret=1:8 sel=1:4-1:6 lines=1 modified=0"},
      {"on to the next lines, case folded", "x\nyy\nzABCz", "searchtext abc\nSCHDOWN", "status: \ncaret=3:2 sel=3:1-3:3 lines=3 modified=0"},
      {"case distinguished", "ABC abc", "searchtext abc\nDIST_ONOFF\nSCHDOWN", "status: \ncaret=1:5 sel=1:4-1:6 lines=1 modified=0"},
      {"never across a line break", "ab\ncd", "searchtext bc\nSCHDOWN",
       "status: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=2 modified=0"},
      {"not found upward puts the caret back", "abc xyz", "caret 1 5\ndrag 1 8\nsearchtext abc\nSCHUP\nSCHUP",
       "status: \nstatus: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:4 sel=none lines=1 modified=0"},
      {"no search string", "abc", "SCHDOWN", "status: \nstatus: 検索文字列が設定されていません。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"never on a trail byte", "ソ表\\", "searchtext \\\nSCHDOWN", "status: \ncaret=1:5 sel=1:4-1:4 lines=1 modified=0"},
      {"a double-byte pattern", "アイウ ウ", "key End\nsearchtext ウ\nSCHUP\nSCHUP", "status: \nstatus: \ncaret=1:7 sel=1:4-1:5 lines=1 modified=0"},
  });
}

TEST(Search, WordEdges) {
  RunCases({
      {"left edge: not inside a word", "xabc", "searchtext abc\nLEFTWORD_ONOFF\nSCHDOWN",
       "status: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"left edge: after a parenthesis, then at a line start", "xabc (abc\nabc", "searchtext abc\nLEFTWORD_ONOFF\nSCHDOWN\nSCHDOWN",
       "status: \nstatus: \ncaret=2:1 sel=2:0-2:2 lines=2 modified=0"},
      {"right edge: katakana before the prolonged sound mark", "カナー カナ", "searchtext カナ\nRIGHTWORD_ONOFF\nSCHDOWN",
       "status: \ncaret=1:8 sel=1:7-1:10 lines=1 modified=0"},
      {"right edge: half-width katakana before its sound mark", "ｶﾅｰ ｶﾅ", "searchtext ｶﾅ\nRIGHTWORD_ONOFF\nSCHDOWN",
       "status: \ncaret=1:5 sel=1:4-1:5 lines=1 modified=0"},
      {"right edge: the sound mark ends the last line", "ひらがなｰ", "searchtext ひらがな\nRIGHTWORD_ONOFF\nSCHDOWN",
       "status: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"both edges upward", "abcd abc", "key End\nsearchtext abc\nLEFTWORD_ONOFF\nRIGHTWORD_ONOFF\nSCHUP\nSCHUP",
       "status: \nstatus: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:9 sel=none lines=1 modified=0"},
  });
}

TEST(Search, Fuzzy) {
  RunCases({
      {"half-width, hiragana and katakana alike", "ｶﾞ が ガ", "searchtext ガ\nAIMAI_ONOFF\nSCHDOWN\nSCHDOWN\nSCHDOWN",
       "status: \nstatus: \nstatus: \ncaret=1:7 sel=1:6-1:7 lines=1 modified=0"},
      {"the selection covers the half-width pair", "xｶﾞ", "searchtext が\nAIMAI_ONOFF\nSCHDOWN",
       "status: \ncaret=1:2 sel=1:1-1:2 lines=1 modified=0"},
      {"never half of a folded character", "ガ", "searchtext ｶ\nAIMAI_ONOFF\nSCHDOWN",
       "status: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"full-width letters in either case", "ａｂｃ", "searchtext ABC\nAIMAI_ONOFF\nSCHDOWN", "status: \ncaret=1:1 sel=1:0-1:5 lines=1 modified=0"},
      {"upward", "ガ xｶﾞ", "key End\nsearchtext が\nAIMAI_ONOFF\nSCHUP", "status: \ncaret=1:7 sel=1:4-1:5 lines=1 modified=0"},
  });
}

TEST(Search, Wildcards) {
  RunCases({
      {"the longest run", "abcabc", "searchtext a*c\nWILDCARD_ONOFF\nSCHDOWN", "status: \ncaret=1:1 sel=1:0-1:5 lines=1 modified=0"},
      {"the shortest run", "abcabc", "searchtext a*c\nWILDCARD_ONOFF\nHAIKEIENJOY_ONOFF\nSCHDOWN",
       "status: \ncaret=1:1 sel=1:0-1:2 lines=1 modified=0"},
      {"upward", "abcabc", "key End\nsearchtext a?c\nWILDCARD_ONOFF\nSCHUP", "status: \ncaret=1:7 sel=1:3-1:5 lines=1 modified=0"},
      {"upward twice", "abcabc", "key End\nsearchtext a?c\nWILDCARD_ONOFF\nSCHUP\nSCHUP", "status: \nstatus: \ncaret=1:4 sel=1:0-1:2 lines=1 modified=0"},
      {"without a wildcard: escapes go", "xa*c", "searchtext a\\*c\nWILDCARD_ONOFF\nSCHDOWN",
       "status: \ncaret=1:2 sel=1:1-1:3 lines=1 modified=0"},
      {"without a wildcard, case folded", "xABC", "searchtext abc\nWILDCARD_ONOFF\nSCHDOWN", "status: \ncaret=1:2 sel=1:1-1:3 lines=1 modified=0"},
      {"one double-byte character", "aあc", "searchtext a?c\nWILDCARD_ONOFF\nSCHDOWN", "status: \ncaret=1:1 sel=1:0-1:3 lines=1 modified=0"},
      {"words upward are tested on the line itself", "xab ab", "key End\nsearchtext a?\nWILDCARD_ONOFF\nLEFTWORD_ONOFF\nSCHUP\nSCHUP",
       "status: \nstatus: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:7 sel=none lines=1 modified=0"},
      {"fuzzy wildcard", "xｶﾞｷ", "searchtext ガ?\nWILDCARD_ONOFF\nAIMAI_ONOFF\nSCHDOWN", "status: \ncaret=1:2 sel=1:1-1:3 lines=1 modified=0"},
  });
}

TEST(Search, RegularExpressions) {
  RunCases({
      {"a match across lines", "ab\ncd", "searchtext b\\nc\nREGEXP_ONOFF\nSCHDOWN", "status: \ncaret=1:2 sel=1:1-2:0 lines=2 modified=0"},
      {"one after another", "a1 b22", "searchtext [0-9]+\nREGEXP_ONOFF\nSCHDOWN\nSCHDOWN", "status: \nstatus: \ncaret=1:5 sel=1:4-1:5 lines=1 modified=0"},
      {"double-byte classes", "abcあいう", "searchtext [ぁ-ん]+\nREGEXP_ONOFF\nSCHDOWN", "status: \ncaret=1:4 sel=1:3-1:8 lines=1 modified=0"},
      {"nothing matches", "abc", "searchtext x+\nREGEXP_ONOFF\nSCHDOWN",
       "status: \nstatus: マッチする文字列は見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"not upward", "abc", "key End\nsearchtext b\nREGEXP_ONOFF\nSCHUP",
       "status: \nstatus: 正規表現検索は上方向検索できません。\nbeep\ncaret=1:4 sel=none lines=1 modified=0"},
      {"empty matches move on", "ab", "searchtext x*\nREGEXP_ONOFF\nSCHDOWN\nSCHDOWN\nSCHDOWN",
       "status: \nstatus: \nstatus: \ncaret=1:3 sel=none lines=1 modified=0"},
  });
}

TEST(Search, RangeMode) {
  RunCases({
      {"down stops before the next range line", "x\nr\nabc", "caret 2 1\ninput r\nAREASEL\ncaret 1 1\nSCHMODE\nsearchtext abc\nSCHDOWN",
       "status: 範内検索ﾓｰﾄﾞに変更しました\nstatus: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=3 modified=0"},
      {"up stops at the range's own line", "abc\nr\nx", "caret 2 1\ninput r\nAREASEL\ncaret 3 1\nSCHMODE\nsearchtext abc\nSCHUP",
       "status: 範内検索ﾓｰﾄﾞに変更しました\nstatus: \nstatus: 検索文字列が見つかりませんでした。\nbeep\ncaret=3:1 sel=none lines=3 modified=0"},
      {"back to the whole file", "abc\nr\nx", "caret 2 1\ninput r\nAREASEL\ncaret 3 1\nSCHMODE\nSCHMODE\nsearchtext abc\nSCHUP",
       "status: 範内検索ﾓｰﾄﾞに変更しました\nstatus: ﾌｧｲﾙ内検索ﾓｰﾄﾞに変更しました\nstatus: \ncaret=1:4 sel=1:0-1:2 lines=3 modified=0"},
      {"regular expressions keep to the range", "x\nr\nabc", "caret 2 1\ninput r\nAREASEL\ncaret 1 1\nSCHMODE\nsearchtext abc\nREGEXP_ONOFF\nSCHDOWN",
       "status: 範内検索ﾓｰﾄﾞに変更しました\nstatus: \nstatus: マッチする文字列は見つかりませんでした。\nbeep\ncaret=1:1 sel=none lines=3 modified=0"},
  });
}

TEST(Search, TheSearchString) {
  RunCases({
      {"history: a known text moves to the front with the new options", "abc",
       "searchtext a\nSCHDOWN\nsearchtext b\nSCHDOWN\nsearchtext a\nDIST_ONOFF\nSCHDOWN\nsearchreport",
       "status: \nstatus: \nstatus: \nstatus: 検索文字列が見つかりませんでした。\nbeep\n"
       "search: text=a options=0x01 mode=0 history=2 pending=-\ncaret=1:3 sel=none lines=1 modified=0"},
      {"an item of the list", "abc", "searchtext a\nSCHDOWN\nsearchtext c\nSCHDOWN\nsearchitem 1\nsearchreport",
       "status: \nstatus: \nsearch: text=a options=0x00 mode=0 history=2 pending=-\ncaret=1:3 sel=1:2-1:2 lines=1 modified=0"},
      {"the selection", "hello world hello", "caret 1 1\ndrag 1 6\nSCHSELECTSET\nsearchreport\nSCHDOWN",
       "status: 検索文字列 = hello\nsearch: text= options=0x00 mode=0 history=0 pending=hello\nstatus: \ncaret=1:13 sel=1:12-1:16 lines=1 modified=0"},
      {"the selection: tabs shown as blanks, cut at a line end", "a\tb\ncd", "caret 1 1\ndrag 2 2\nSCHSELECTSET",
       "status: 検索文字列 = a b\ncaret=2:2 sel=1:0-2:0 lines=2 modified=0"},
      {"no selection", "abc", "SCHSELECTSET", "status: 選択されている文字列がありません\nbeep\ncaret=1:1 sel=none lines=1 modified=0"},
      {"words one after another", "foo_bar baz", "SCHWORDSET\nSCHWORDSET\nSCHWORDSET\nsearchreport",
       "status: 検索文字列 = foo_bar\nstatus: 検索文字列 = foo_bar \nstatus: 検索文字列 = foo_bar baz\n"
       "search: text= options=0x00 mode=0 history=0 pending=foo_bar baz\ncaret=1:1 sel=none lines=1 modified=0"},
      {"a word of kana", "ひらがなカタカナ", "SCHWORDSET", "status: 検索文字列 = ひらがな\ncaret=1:1 sel=none lines=1 modified=0"},
      {"no word past the line end", "ab", "key End\nSCHWORDSET", "status: 検索文字列に設定できる文字列がありません。\nbeep\ncaret=1:3 sel=none lines=1 modified=0"},
      {"a word with a selection only moves the caret", "abc def", "caret 1 5\ndrag 1 8\nSCHWORDSET", "caret=1:5 sel=none lines=1 modified=0"},
  });
}

TEST(Search, LimitsKeepWholeCharacters) {
  auto repeat = [](std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  // The combo takes 257 bytes, the selection and the words 256, never half a character.
  struct Row {
    const char* name;
    std::string in, script, pending, text;
  };
  const Row rows[] = {
      {"combo: even start", "x", "searchtext " + repeat("あ", 150) + "\nsearchreport", "-", repeat("あ", 128)},
      {"combo: odd start", "x", "searchtext a" + repeat("あ", 150) + "\nsearchreport", "-", "a" + repeat("あ", 128)},
      {"selection: even start", repeat("あ", 200), "caret 1 1\nkey Shift+End\nSCHSELECTSET\nsearchreport", repeat("あ", 128), ""},
      {"selection: odd start", "a" + repeat("あ", 200), "caret 1 1\nkey Shift+End\nSCHSELECTSET\nsearchreport", "a" + repeat("あ", 127), ""},
      {"words grow up to the limit", "a" + repeat("あ", 200), "SCHWORDSET\nSCHWORDSET\nSCHWORDSET\nsearchreport", "a" + repeat("あ", 127), ""},
  };
  for (const Row& r : rows) {
    Session s(r.in);
    const std::string transcript = s.Play(r.script);
    const std::string want = "search: text=" + r.text + " options=0x00 mode=0 history=0 pending=" + r.pending;
    EXPECT_NE(transcript.find(want + "\n"), std::string::npos) << r.name << "\n" << transcript;
  }
}

TEST(Search, SettingsFromAnotherEditorAreHeldToTheLimits) {
  Session s("abc");
  gorvane::ipc::SearchSettings in;
  in.scope = 7;
  in.options = 0xFF;
  in.text = "a";
  for (int i = 0; i < 200; ++i) in.text += "\x82\xA0";  // あ
  in.fileTypes = "x";
  for (int i = 0; i < 40; ++i) in.fileTypes += "\x82\xA0";
  const auto fx = s.editor.SearchSettingsReceived(in);
  EXPECT_TRUE(fx.Has(gorvane::shell::Effects::kSearchBar));
  const auto& front = s.editor.searchStrings().history[0];
  EXPECT_EQ(front.length, 257);  // "a" and 128 double-byte characters
  EXPECT_EQ(front.options, 0x7F);
  EXPECT_EQ(s.editor.searchFileTypes().size(), 47u);  // "x" and 23 double-byte characters
  EXPECT_EQ(s.editor.searchMode(), 0);  // scope 7 is no scope: the dialog's scope is held to 2 (in files)
  in.text.clear();
  EXPECT_FALSE(s.editor.SearchSettingsReceived(in).Has(gorvane::shell::Effects::kSearchBar));  // nothing to take
}

TEST(Search, OptionButtons) {
  // Which buttons may be clicked follows the options.
  struct Row {
    std::uint8_t options;
    const char* enabled;  // 区別 左単 右単 曖昧 WILD 最短 正規
  };
  const Row rows[] = {
      {0x00, "1111101"},
      {0x10, "1111110"},
      {0x40, "1000001"},
      {0x50, "1000000"},
  };
  for (const Row& r : rows) {
    const auto b = gorvane::search::ButtonsFor(r.options);
    std::string got;
    for (bool e : b.enabled) got += e ? '1' : '0';
    EXPECT_EQ(got, r.enabled) << int(r.options);
  }
}

TEST(Search, Dialog) {
  RunCases({
      {"applied, then searched", "xABC abc", "input abc 1 0 0\nSCHWINDOWOPEN\nsearchreport\nSCHDOWN",
       "status: 検索文字列 = abc\nsearch: text=abc options=0x01 mode=0 history=1 pending=-\nstatus: \ncaret=1:6 sel=1:5-1:7 lines=1 modified=0"},
      {"the range scope", "abc", "input abc 0 1 0\nSCHWINDOWOPEN\nsearchreport",
       "status: 検索文字列 = abc\nsearch: text=abc options=0x00 mode=1 history=1 pending=-\ncaret=1:1 sel=none lines=1 modified=0"},
      {"it starts with the selected text and the buttons' options", "abc abc", "caret 1 1\ndrag 1 4\nDIST_ONOFF\ninput\nSCHWINDOWOPEN\nsearchreport",
       "status: 検索文字列 = abc\nsearch: text=abc options=0x01 mode=0 history=1 pending=-\ncaret=1:4 sel=1:0-1:2 lines=1 modified=0"},
      {"it starts with the combo's text", "abc", "searchtext xyz\ninput\nSCHWINDOWOPEN\nsearchreport",
       "status: 検索文字列 = xyz\nsearch: text=xyz options=0x00 mode=0 history=1 pending=-\ncaret=1:1 sel=none lines=1 modified=0"},
      {"an empty text is refused and the dialog stays", "abc", "input \"\" 0 0 0\nSCHWINDOWOPEN",
       "box: Gorvane | 検索文字列が設定されていません。 -> ok\ncaret=1:1 sel=none lines=1 modified=0"},
  });
}

}  // namespace

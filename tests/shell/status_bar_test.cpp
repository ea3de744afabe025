#include "shell/status_bar.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "shell/host.h"

namespace gorvane::shell {
using gorvane::document::CaretCol;
using gorvane::document::LineNo;

namespace {

namespace cc = gorvane::charcode;

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

// A status bar font where a single byte is 6 pixels and a double-byte
// character (also the full-width blank) 12.
int FakeWidth(std::string_view sjis) {
  int w = 0;
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(sjis[i]);
    if ((cc::kSjisClass[b] & cc::kSjisLead) && i + 1 < sjis.size()) {
      w += 12;
      ++i;
    } else {
      w += 6;
    }
  }
  return w;
}

constexpr std::string_view kBlank = "\x81\x40";

std::string Unpadded(std::string s) {
  while (s.size() >= 2 && std::string_view(s).substr(s.size() - 2) == kBlank) s.resize(s.size() - 2);
  return s;
}

struct FakeView : StatusBarView {
  int TextWidth(std::string_view sjis) override { return FakeWidth(sjis); }
  void SetFieldEdges(std::span<const int, kStatusFieldCount> rightEdges) override {
    edges.assign(rightEdges.begin(), rightEdges.end());
    ++layouts;
  }
  void SetFieldText(int field, std::string_view sjis) override {
    texts[field] = std::string(sjis);
    writes.push_back(field);
  }
  void SetFieldTip(int field, std::string_view sjis) override { tips[field] = std::string(sjis); }
  void SetClearTimer(int ms) override { timers.push_back(ms); }

  // The field's text as UTF-8, without its padding.
  std::string Text(int field) { return Utf8(Unpadded(texts[field])); }

  std::map<int, std::string> texts, tips;
  std::vector<int> writes, timers, edges;
  int layouts = 0;
};

struct FakeClock : base::Clock {
  std::int64_t NowMs() const override { return now; }
  std::int64_t now = 100000;
};

// ---- field texts ------------------------------------------------------------------

TEST(StatusTexts, FixedFieldTexts) {
  struct Case {
    std::string sjis;
    std::u8string_view expected;
  } cases[] = {
      {CaretPositionText(LineNo(12), 345), u8"12 行, 345 ﾊﾞｲﾄ"},
      {InsertModeText(true, true), u8"書禁"},
      {InsertModeText(true, false), u8"書禁"},
      {InsertModeText(false, true), u8"挿入"},
      {InsertModeText(false, false), u8"上書"},
      {CapsLockText(true), u8"大文字"},
      {CapsLockText(false), u8"小文字"},
      {NumLockText(true), u8"Num"},
      {NumLockText(false), u8""},
      {InputModeText(true), u8"全角"},
      {InputModeText(false), u8"半角"},
      {SearchScopeText(SearchScope::WholeFile), u8"ﾌｧｲﾙ内"},
      {SearchScopeText(SearchScope::RangeLines), u8"範囲内"},
      {StartupMessage(), u8"起動OK"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8(c.sjis), U8(c.expected));
  // Half-width katakana are single bytes in the field.
  EXPECT_EQ(CaretPositionText(LineNo(1), 1).size(), std::string("1 ").size() + 2 + 2 + 2 + 4);
}

TEST(StatusTexts, ToolTips) {
  struct Case {
    int field, encoding;
    std::u8string_view expected;
  } cases[] = {
      {kFieldMessage, cc::kCodeSjis, u8"状況メッセージ"},
      {kFieldCaret, cc::kCodeSjis, u8"ｷｬﾚｯﾄ位置"},
      {kFieldCharCode, cc::kCodeSjis, u8"文字ｺｰﾄﾞ(ｼﾌﾄJIS)"},
      {kFieldCharCode, cc::kCodeUnknown, u8"文字ｺｰﾄﾞ(ｼﾌﾄJIS)"},
      {kFieldCharCode, cc::kCodeEuc, u8"文字ｺｰﾄﾞ(EUC)"},
      {kFieldCharCode, cc::kCodeUtf8, u8"文字ｺｰﾄﾞ(UTF8)"},
      {kFieldCharCode, cc::kCodeUtf16BE, u8"文字ｺｰﾄﾞ(UTF16BE)"},
      {kFieldCharCode, cc::kCodeUtf16LE, u8"文字ｺｰﾄﾞ(UTF16LE)"},
      {kFieldInsertMode, cc::kCodeSjis, u8"上書/挿入/書禁"},
      {kFieldCapsLock, cc::kCodeSjis, u8"大文字/小文字"},
      {kFieldNumLock, cc::kCodeSjis, u8"NumLock"},
      {kFieldInputMode, cc::kCodeSjis, u8"入力ﾓｰﾄﾞ"},
      {kFieldSearchMode, cc::kCodeSjis, u8"ｷｰﾎﾞｰﾄﾞ検索ﾓｰﾄﾞ"},
      {kFieldUndoSpace, cc::kCodeUtf8, u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧ残りｻｲｽﾞ"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8(FieldTip(c.field, c.encoding)), U8(c.expected)) << c.field << " " << c.encoding;
}

TEST(StatusTexts, UndoSpaceRoundsTheUsedShareHalfUp) {
  struct Case {
    bool available;
    std::uint64_t used, total;
    const char* expected;
  } cases[] = {
      {true, 0, 1000, "100%"},
      {true, 4, 1000, "100%"},   // 0.4 % used rounds down
      {true, 5, 1000, "99%"},    // 0.5 % used rounds up
      {true, 1, 2, "50%"},
      {true, 994, 1000, "1%"},
      {true, 995, 1000, "0%"},
      {true, 1000, 1000, "0%"},
      {true, 5000, 1000, "0%"},  // never below 0
      {true, 1, 3, "67%"},       // 333.3 per mille used
      {true, 3'000'000'000ull, 4'000'000'000ull, "25%"},
      {false, 0, 1000, "***%"},
      {true, 0, 0, "***%"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UndoSpaceText(c.available, c.used, c.total), c.expected) << c.used << "/" << c.total;
}

TEST(StatusTexts, DisplayedColumnCountsBytesInTheFileEncoding) {
  const std::string kana = Sjis(u8"あいｱ\r\n");  // 82A0 82A2 B1 CR LF
  struct Case {
    int encoding;
    std::string line;
    int caret, expected;
  } cases[] = {
      {cc::kCodeSjis, kana, 5, 5},
      {cc::kCodeEuc, kana, 5, 5},  // EUC files show the working column
      {cc::kCodeUtf8, kana, 1, 1},
      {cc::kCodeUtf8, kana, 3, 4},        // after あ: 3 bytes
      {cc::kCodeUtf8, kana, 6, 10},       // after あいｱ: 3 + 3 + 3
      {cc::kCodeUtf16LE, kana, 3, 3},     // one unit
      {cc::kCodeUtf16BE, kana, 6, 7},     // three units
      {cc::kCodeUtf8, "ab\r\n", 5, 5},    // beyond the end: a byte per column
      {cc::kCodeUtf16LE, "ab\r\n", 5, 9}, // beyond the end: a unit per column
      {cc::kCodeUtf8, "", 1, 1},
      {cc::kCodeSjis, "ab", 9, 9},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DisplayedColumn(c.encoding, c.line, CaretCol(c.caret)), c.expected)
        << Utf8(c.line) << " " << c.encoding << " " << c.caret;
}

TEST(StatusTexts, CharCodeAtTheCaret) {
  const std::string line = Sjis(u8"あAｱ\r\n");  // 82A0 41 B1 CR LF
  const std::string lone = "a\x82\r\n";          // a lead byte without its trail byte
  struct Case {
    int encoding;
    std::string_view line, lineEnd;
    int caret;
    const char* expected;
  } cases[] = {
      {cc::kCodeSjis, line, "\r\n", 1, "82A0"},
      {cc::kCodeEuc, line, "\r\n", 1, "A4A2"},
      {cc::kCodeUtf8, line, "\r\n", 1, "E38182"},
      {cc::kCodeUtf16BE, line, "\r\n", 1, "3042"},
      {cc::kCodeUtf16LE, line, "\r\n", 1, "3042"},  // digits high byte first for both kinds
      {cc::kCodeSjis, line, "\r\n", 3, "41"},
      {cc::kCodeUtf16LE, line, "\r\n", 3, "0041"},
      {cc::kCodeSjis, line, "\r\n", 4, "B1"},
      {cc::kCodeEuc, line, "\r\n", 4, "8EB1"},
      {cc::kCodeUtf8, line, "\r\n", 4, "EFBDB1"},
      {cc::kCodeUtf16BE, line, "\r\n", 4, "FF71"},
      // At the line end: the file's own line end.
      {cc::kCodeSjis, line, "\r\n", 5, "0D0A"},
      {cc::kCodeSjis, line, "\n", 5, "0A"},
      {cc::kCodeUtf8, line, "\r", 5, "0D"},
      {cc::kCodeUtf16BE, line, std::string_view("\0\r\0\n", 4), 5, "000D000A"},
      {cc::kCodeUtf16LE, line, std::string_view("\r\0\n\0", 4), 5, "000D000A"},
      // Past the end of the line.
      {cc::kCodeSjis, line, "\r\n", 6, ""},
      {cc::kCodeSjis, line, "\r\n", 40, ""},
      {cc::kCodeSjis, "ab", "\r\n", 3, ""},  // the last line has no line end
      {cc::kCodeSjis, "", "\r\n", 1, ""},
      {cc::kCodeSjis, lone, "\r\n", 2, "82"},
      {cc::kCodeSjis, line, "\r\n", 0, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CharCodeText(c.encoding, c.line, CaretCol(c.caret), c.lineEnd), c.expected)
        << Utf8(c.line) << " " << c.encoding << " " << c.caret;
}

// ---- the bar ---------------------------------------------------------------------

class StatusBarTest : public ::testing::Test {
 protected:
  StatusBarTest() {
    state.lineText = line;
    bar.Layout(2000, 17);
  }
  void Restart() {
    bar.Start(state);
    view.writes.clear();
    view.timers.clear();
  }

  std::string line = Sjis(u8"あいう\r\n");
  FakeView view;
  FakeClock clock;
  StatusBar bar{view, clock};
  StatusState state;
};

TEST_F(StatusBarTest, StartSetsTipsAndEveryField) {
  state.caretLine = LineNo(3);
  state.caretColumn = CaretCol(3);
  state.numLock = true;
  state.undoTotal = 100;
  bar.Start(state);
  EXPECT_EQ(view.tips.size(), 9u);
  EXPECT_EQ(Utf8(view.tips[kFieldCharCode]), U8(u8"文字ｺｰﾄﾞ(ｼﾌﾄJIS)"));
  const std::pair<int, std::u8string_view> expected[] = {
      {kFieldMessage, u8"起動OK"}, {kFieldCaret, u8"3 行, 3 ﾊﾞｲﾄ"}, {kFieldCharCode, u8"82A2"},
      {kFieldInsertMode, u8"挿入"}, {kFieldCapsLock, u8"小文字"},    {kFieldNumLock, u8"Num"},
      {kFieldInputMode, u8"半角"},  {kFieldSearchMode, u8"ﾌｧｲﾙ内"},  {kFieldUndoSpace, u8"100%"},
  };
  for (const auto& [field, text] : expected) EXPECT_EQ(view.Text(field), U8(text)) << field;
  EXPECT_EQ(bar.Message(), StartupMessage());
}

TEST_F(StatusBarTest, RefreshWritesOnlyFieldsWhoseTextChanged) {
  Restart();
  bar.UpdateStatus(std::nullopt, false, state);
  EXPECT_TRUE(view.writes.empty());

  state.capsLock = true;
  bar.UpdateStatus(std::nullopt, false, state);
  EXPECT_EQ(view.writes, std::vector<int>{kFieldCapsLock});
  EXPECT_EQ(view.Text(kFieldCapsLock), U8(u8"大文字"));

  // Toggled on and off again between two refreshes: nothing to show.
  view.writes.clear();
  bar.UpdateStatus(std::nullopt, false, state);
  EXPECT_TRUE(view.writes.empty());

  state.caretColumn = CaretCol(5);  // onto う: position and code
  state.writeProtected = true;
  bar.UpdateStatus(std::nullopt, false, state);
  EXPECT_EQ(view.writes, (std::vector<int>{kFieldCaret, kFieldCharCode, kFieldInsertMode}));
  EXPECT_EQ(view.Text(kFieldCharCode), "82A4");
  EXPECT_EQ(view.Text(kFieldInsertMode), U8(u8"書禁"));
}

TEST_F(StatusBarTest, MessageTextsAcceptedAndIgnored) {
  Restart();
  bar.SetPersistentMessage(Sjis(u8"記録中"));
  const std::string limit(kStatusMessageLimit, 'x');
  const std::string below(kStatusMessageLimit - 1, 'y');

  bar.ShowStatusMessage(limit, false);  // 256 bytes: not shown
  EXPECT_EQ(view.Text(kFieldMessage), U8(u8"起動OK"));
  bar.ShowStatusMessage(std::nullopt, false);
  EXPECT_EQ(view.Text(kFieldMessage), U8(u8"起動OK"));
  bar.ShowStatusMessage(below, false);
  EXPECT_EQ(view.Text(kFieldMessage), below);
  bar.ShowStatusMessage("", false);  // the persistent message comes back
  EXPECT_EQ(view.Text(kFieldMessage), U8(u8"記録中"));

  bar.SetPersistentMessage(limit);  // too long: the old one stays
  EXPECT_EQ(Utf8(bar.PersistentMessage()), U8(u8"記録中"));
  bar.SetPersistentMessage("");
  bar.ShowStatusMessage(Sjis(u8"保存しました"), false);
  bar.ShowStatusMessage("", false);
  EXPECT_EQ(view.Text(kFieldMessage), "");

  // UpdateStatus with no text keeps the message.
  bar.ShowStatusMessage("kept", false);
  bar.UpdateStatus(std::nullopt, false, state);
  EXPECT_EQ(view.Text(kFieldMessage), "kept");
  bar.UpdateStatus(std::string_view("new"), false, state);
  EXPECT_EQ(view.Text(kFieldMessage), "new");
}

TEST_F(StatusBarTest, AutoClearRestartsWithEveryAutoClearingMessage) {
  Restart();
  bar.ShowStatusMessage("first", true);
  clock.now += 3000;
  bar.ShowStatusMessage("second", true);
  EXPECT_EQ(view.timers, (std::vector<int>{kStatusClearDelayMs, kStatusClearDelayMs}));

  clock.now += 2000;  // 5 s after the first
  bar.Tick();
  EXPECT_EQ(view.Text(kFieldMessage), "second");
  EXPECT_EQ(view.timers.back(), 3000);  // woken early: the rest of the wait
  clock.now += 2999;
  bar.Tick();
  EXPECT_EQ(view.Text(kFieldMessage), "second");
  clock.now += 1;  // 5 s after the second
  bar.Tick();
  EXPECT_EQ(view.Text(kFieldMessage), "");
  EXPECT_EQ(bar.Message(), "");
  EXPECT_EQ(view.timers.back(), 0);
  EXPECT_FALSE(bar.ClearDeadline());

  // Nothing pending: a late tick changes nothing.
  bar.ShowStatusMessage("stays", false);
  clock.now += 10000;
  bar.Tick();
  EXPECT_EQ(view.Text(kFieldMessage), "stays");
}

TEST_F(StatusBarTest, AMessageWithoutAutoClearIsNotClearedByAnEarlierOne) {
  Restart();
  bar.ShowStatusMessage("transient", true);
  clock.now += 1000;
  bar.ShowStatusMessage("lasting", false);
  EXPECT_EQ(view.timers.back(), 0);
  clock.now += 10000;
  bar.Tick();
  EXPECT_EQ(view.Text(kFieldMessage), "lasting");

  // Ignored texts leave the pending clear alone.
  bar.ShowStatusMessage("again", true);
  bar.ShowStatusMessage(std::string(kStatusMessageLimit, 'x'), false);
  bar.ShowStatusMessage(std::nullopt, false);
  clock.now += kStatusClearDelayMs;
  bar.Tick();
  EXPECT_EQ(view.Text(kFieldMessage), "");
}

TEST(StatusBarLayout, FieldWidthsFromSampleTexts) {
  // Samples in the fake font: "WW00" 24, "上書" 24, "大文字" 36, "Num" 18,
  // "漢字" 24, "ﾌｧｲﾙ内" 4 × 6 + 12 = 36, "***%" 24; each field 10 wider.
  struct Case {
    int encoding, codeWidth;
  } cases[] = {
      {cc::kCodeSjis, 24 + 10}, {cc::kCodeEuc, 24 + 10}, {cc::kCodeUtf8, 36 + 10},
      {cc::kCodeUtf16BE, 48 + 10}, {cc::kCodeUtf16LE, 48 + 10},
  };
  for (const Case& c : cases) {
    FakeView view;
    FakeClock clock;
    StatusBar bar(view, clock);
    StatusState state;
    state.encoding = c.encoding;
    state.caretLine = LineNo(12);
    state.caretColumn = CaretCol(1);
    const std::string line = "x\r\n";
    state.lineText = line;
    bar.Layout(1000, 17);
    bar.Start(state);
    const int caret = FakeWidth(CaretPositionText(LineNo(12), 1)) + 10;
    const std::array<int, 9> expected{0, caret, c.codeWidth, 34, 46, 28, 34, 46, 34};
    int others = 0;
    for (int f = 1; f < 9; ++f) {
      EXPECT_EQ(bar.FieldWidths()[static_cast<std::size_t>(f)], expected[static_cast<std::size_t>(f)])
          << c.encoding << " field " << f;
      others += expected[static_cast<std::size_t>(f)];
    }
    EXPECT_EQ(bar.FieldWidths()[0], 1000 - others - 17 - 50);
    // Laid out left to right from the message field.
    ASSERT_EQ(view.edges.size(), 9u);
    int right = 0;
    for (std::size_t f = 0; f < 9; ++f) EXPECT_EQ(view.edges[f], right += bar.FieldWidths()[f]);
    EXPECT_EQ(view.edges.back(), 1000 - 17 - 50);

    bar.Layout(100, 17);  // too narrow: the message field has no room left
    EXPECT_EQ(bar.FieldWidths()[0], 0);
  }
}

TEST_F(StatusBarTest, CaretTextOfANewLengthLaysTheFieldsOutAgain) {
  state.caretLine = LineNo(9);
  Restart();
  const int layouts = view.layouts;
  const int width = bar.FieldWidths()[kFieldCaret];

  state.caretColumn = CaretCol(3);  // same length
  bar.RefreshCaretPosition(state);
  EXPECT_EQ(view.layouts, layouts);

  state.caretLine = LineNo(10);  // one digit more
  bar.RefreshCaretPosition(state);
  EXPECT_EQ(view.layouts, layouts + 1);
  EXPECT_EQ(bar.FieldWidths()[kFieldCaret], width + 6);
  EXPECT_EQ(view.Text(kFieldCaret), U8(u8"10 行, 3 ﾊﾞｲﾄ"));
}

TEST_F(StatusBarTest, TextsArePaddedPastTheirFieldByTwoBlanks) {
  Restart();
  const auto check = [this](const char* when) {
    for (int field : {kFieldMessage, kFieldCaret, kFieldInsertMode, kFieldNumLock, kFieldUndoSpace}) {
      const std::string& shown = view.texts[field];
      const int width = FakeWidth(shown);
      const int fieldWidth = bar.FieldWidths()[static_cast<std::size_t>(field)];
      EXPECT_GE(width, fieldWidth + 24) << when << " " << field;
      // Not one blank more than needed.
      EXPECT_LT(width - 12, fieldWidth + 24) << when << " " << field;
      EXPECT_EQ(Unpadded(shown), bar.FieldContent(field)) << when << " " << field;
    }
  };
  check("started");
  bar.Layout(3000, 17);
  check("wider frame");
  state.caretLine = LineNo(100);
  bar.RefreshCaretPosition(state);
  check("longer caret text");
  // Num Lock off is an empty text: all blanks.
  EXPECT_EQ(view.texts[kFieldNumLock].size() % 2, 0u);
  EXPECT_EQ(view.Text(kFieldNumLock), "");
}

TEST_F(StatusBarTest, UnavailableLineRecordKeepsTheLastColumnAndCode) {
  state.encoding = cc::kCodeUtf8;
  state.caretColumn = CaretCol(3);  // after あ
  Restart();
  EXPECT_EQ(view.Text(kFieldCaret), U8(u8"1 行, 4 ﾊﾞｲﾄ"));
  EXPECT_EQ(view.Text(kFieldCharCode), "E38184");

  state.lineText.reset();
  state.caretLine = LineNo(2);
  state.caretColumn = CaretCol(1);
  bar.UpdateStatus(std::nullopt, false, state);
  EXPECT_EQ(view.Text(kFieldCaret), U8(u8"2 行, 4 ﾊﾞｲﾄ"));
  EXPECT_EQ(view.Text(kFieldCharCode), "E38184");
}

TEST_F(StatusBarTest, AnotherEncodingRenamesAndWidensTheCodeField) {
  Restart();
  const int layouts = view.layouts;
  state.encoding = cc::kCodeUtf16LE;
  bar.RefreshCharCode(state);
  EXPECT_EQ(Utf8(view.tips[kFieldCharCode]), U8(u8"文字ｺｰﾄﾞ(UTF16LE)"));
  EXPECT_EQ(view.layouts, layouts + 1);
  EXPECT_EQ(bar.FieldWidths()[kFieldCharCode], 48 + 10);
  EXPECT_EQ(view.Text(kFieldCharCode), "3042");
}

}  // namespace
}  // namespace gorvane::shell

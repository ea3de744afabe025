#include "commands/command_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/host.h"

namespace gorvane::commands {

namespace {

// Headings and commands in the order of the key customisation list.
struct Entry {
  CommandCode code;
  std::string_view name;
  std::u8string_view text;
};

constexpr Entry kEntries[] = {
    {0, "", u8"// ■ 編集"},
    {1, "INSERTLINE", u8"空行挿入"},
    {2, "COPYINSERTLINE", u8"行複写"},
    {3, "DELETELINE", u8"行削除"},
    {4, "INSDELLINE", u8"削除行挿入"},
    {5, "CUT", u8"カット"},
    {6, "COPY", u8"コピー"},
    {7, "PASTE", u8"ペースト"},
    {8, "BEFOREDELETE", u8"キャレットより前を削除"},
    {9, "AFTERDELETE", u8"キャレット以降を削除"},
    {0, "", u8"// ■ 選択"},
    {10, "SELECTALL", u8"全行選択"},
    {11, "SELECTLNUM", u8"行指定選択"},
    {12, "SELECTAREA", u8"範囲選択"},
    {13, "SELECTLINE", u8"1行選択"},
    {14, "SELECTWORD", u8"単語選択"},
    {15, "SELECTUP", u8"選択しつつ１行上に移動"},
    {16, "SELECTDOWN", u8"選択しつつ１行下に移動"},
    {17, "SELECTLEFT", u8"選択しつつ１文字左に移動"},
    {18, "SELECTRIGHT", u8"選択しつつ１文字右に移動"},
    {0, "", u8"// ■ 検索"},
    {19, "SCHWORDSET", u8"検索単語セット"},
    {20, "SCHSELECTSET", u8"検索文字列としてセット"},
    {21, "SCHWINDOWOPEN", u8"検索ダイアログオープン"},
    {22, "REPWINDOWOPEN", u8"置換ダイアログオープン"},
    {23, "SCHUP", u8"上方向検索"},
    {24, "SCHDOWN", u8"下方向検索"},
    {25, "SCHMODE", u8"検索モード切替"},
    {26, "FOCUSSCHCOMBO", u8"ﾌｫｰｶｽを検索ｺﾝﾎﾞﾎﾞｯｸｽへ移動"},
    {27, "DIST_ONOFF", u8"「区別」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {28, "LEFTWORD_ONOFF", u8"「左側単語」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {29, "RIGHTWORD_ONOFF", u8"「右側単語」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {30, "AIMAI_ONOFF", u8"「曖昧」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {31, "WILDCARD_ONOFF", u8"「WILD」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {32, "HAIKEIENJOY_ONOFF", u8"「最短」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {33, "REGEXP_ONOFF", u8"「正規」ﾁｪｯｸﾎﾞｯｸｽON/OFF"},
    {0, "", u8"// ■ キャレット移動"},
    {34, "MOVELINETOP", u8"行頭へ移動"},
    {35, "MOVELINELAST", u8"行末へ移動"},
    {36, "PREVWORD", u8"前の単語、区切り記号へ移動"},
    {37, "NEXTWORD", u8"次の単語、区切り記号へ移動"},
    {38, "SCROLLUPLINE", u8"１行上にスクロール"},
    {39, "SCROLLDOWNLINE", u8"１行下にスクロール"},
    {40, "SCROLLLEFT", u8"１文字分左にスクロール"},
    {41, "SCROLLRIGHT", u8"１文字分右にスクロール"},
    {0, "", u8"// ■ ジャンプ"},
    {42, "KAKKO_JUMP", u8"対応する括弧へジャンプ"},
    {43, "JUMP", u8"指定行へジャンプ"},
    {44, "PREVAREA", u8"前の領域設定行へ"},
    {45, "NEXTAREA", u8"次の領域設定行へ"},
    {46, "PREVBOOKMARK", u8"前のブックマーク行へ"},
    {47, "NEXTBOOKMARK", u8"次のブックマーク行へ"},
    {0, "", u8"// ■ ファイル入出力"},
    {48, "FILEOPEN", u8"オープン"},
    {49, "FILECLOSE", u8"クローズ"},
    {50, "FILENAMEWRITE", u8"名前を付けて保存"},
    {51, "FILEOVERWRITE", u8"上書き保存"},
    {52, "FILECHARWRITE", u8"文字ｺｰﾄﾞを変更して保存"},
    {53, "FILENEW", u8"新規ファイルを開く"},
    {0, "", u8"// ■ アンドゥ＆リドゥ"},
    {54, "UNDO", u8"アンドゥ"},
    {55, "REDO", u8"リドゥ"},
    {0, "", u8"// ■ マクロ"},
    {56, "MACROSTART_END", u8"マクロ定義開始＆終了"},
    {57, "MACROREAD", u8"マクロファイル読み込み"},
    {58, "MACROWRITE", u8"マクロファイル書き込み"},
    {59, "MACROGO", u8"マクロ実行"},
    {0, "", u8"// ■ 文字列変換"},
    {60, "CS_UPPERCASE", u8"→大文字変換"},
    {61, "CS_LOWERCASE", u8"→小文字変換"},
    {62, "CS_HARF", u8"→半角変換"},
    {63, "CS_EMHIRAGANA", u8"→全角かな変換"},
    {64, "CS_EMKATAKANA", u8"→全角カナ変換"},
    {65, "CS_HARFKANA2EMKANA", u8"半角カナ→全角カナ"},
    {66, "CS_EMKANA2HARFKANA", u8"全角カナ→半角カナ"},
    {0, "", u8"// ■ 背景画像"},
    {67, "HAIKEIENJOY", u8"背景鑑賞"},
    {68, "BGIMAGE_DEFAULT", u8"ﾃﾞﾌｫﾙﾄ背景"},
    {69, "BGIMAGE_REDRAW", u8"背景再表示"},
    {70, "BGIMAGE_PREV", u8"前の背景"},
    {71, "BGIMAGE_NEXT", u8"次の背景"},
    {72, "BGIMAGE_TSTOP", u8"ｽﾗｲﾄﾞｼｮｰ停止"},
    {73, "BGIMAGE_SETDEFAULT", u8"ﾃﾞﾌｫﾙﾄ背景に設定"},
    {0, "", u8"// ■ その他"},
    {74, "PRINT", u8"印刷"},
    {75, "COMPILE", u8"コンパイル実行"},
    {76, "INFOWINDOW", u8"情報ｳｨﾝﾄﾞｳを手前に表示"},
    {77, "HIDEINFOWINDOW", u8"情報ｳｨﾝﾄﾞｳを非表示"},
    {78, "DIVIDEWINDOW", u8"編集ｳｨﾝﾄﾞｳを分割&元に戻す"},
    {79, "BOOKMARK", u8"ブックマークに設定／解除"},
    {80, "AREASEL", u8"範囲設定行に設定／解除"},
    {81, "AREAEDIT", u8"範囲設定行編集"},
};

constexpr std::size_t kEntryCount = std::size(kEntries);

// The command rows indexed by code - 1, and the list rows, built from kEntries.
struct Tables {
  std::array<CommandRow, kCommandCount> rows{};
  std::array<CommandListRow, kEntryCount> list{};
};

constexpr Tables MakeTables() {
  Tables t{};
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    const Entry& e = kEntries[i];
    t.list[i] = CommandListRow{e.code, e.text};
    if (e.code != kNoCommand) t.rows[e.code - 1u] = CommandRow{e.code, e.name, e.text};
  }
  return t;
}

constexpr Tables kTables = MakeTables();

constexpr bool EveryCodeOnceInOrder() {
  CommandCode next = 1;
  for (const Entry& e : kEntries) {
    if (e.code == kNoCommand) continue;
    if (e.code != next) return false;
    ++next;
  }
  return next == kCommandCount + 1;
}
static_assert(EveryCodeOnceInOrder());

bool Between(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

const CommandRow* FindCommandRow(CommandCode code) {
  if (code == kNoCommand || code > kCommandCount) return nullptr;
  return &kTables.rows[code - 1u];
}

std::string_view CommandName(CommandCode code) {
  const CommandRow* row = FindCommandRow(code);
  return row ? row->name : std::string_view();
}

CommandCode FindCommand(std::string_view name) {
  if (name.empty()) return kNoCommand;
  const auto it = std::find_if(kTables.rows.begin(), kTables.rows.end(),
                               [name](const CommandRow& r) { return r.name == name; });
  return it == kTables.rows.end() ? kNoCommand : it->code;
}

std::string CommandDescription(CommandCode code) {
  const CommandRow* row = FindCommandRow(code);
  return row ? base::Sjis(row->description) : std::string();
}

std::string DescriptionResource(CommandCode code) {
  const CommandRow* row = FindCommandRow(code);
  if (!row) return {};
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(code));
  return digits + base::Sjis(row->description);
}

std::span<const CommandListRow> CommandList() { return kTables.list; }

MacroGuard MacroGuardOf(CommandCode code) {
  const int c = code;
  if (c == 21 || c == 22 || c == 43 || Between(c, 48, 55) || Between(c, 79, 81)) return MacroGuard::Refuse;
  if (c == 74 || c == 75) return MacroGuard::Recording;
  return MacroGuard::None;
}

bool RecordedFromKey(CommandCode code) {
  const int c = code;
  if (code == kNoCommand || code > kCommandCount) return false;
  return !(c == 56 || Between(c, 68, 73) || Between(c, 75, 81));
}

CommandCode MenuIdToCode(int id) {
  struct Span {
    int firstId, lastId;
    CommandCode firstCode;  // the ids map to consecutive codes from here
  };
  static constexpr Span kSpans[] = {
      {1, 1, kFileOpen},
      {2, 2, kFileNew},
      {5, 5, kFileClose},
      {6, 8, kCut},  // cut, copy, paste
      {9, 10, kUndo},
      {11, 11, kSelectAll},
      {13, 14, kSearchDialog},
      {17, 17, kCompile},
      {37, 37, kFileSave},
      {38, 38, kFileSaveAs},
      {39, 39, kFileSaveWithCode},
      {40, 45, kBackgroundDefault},
      {50, 50, kBackgroundView},
      {52, 53, kInfoWindowFront},
      {57, 57, kPrint},
      {60, 60, kSearchSelectionSet},
      {62, 68, kToUpperCase},
      {72, 75, kInsertLine},
      {76, 76, kBeforeDelete},
      {77, 77, kAfterDelete},
      {78, 78, kSelectWord},
      {79, 79, kSelectLine},
      {80, 80, kSelectArea},
      {81, 81, kSelectLineNumbers},
      {82, 83, kBracketJump},
      {84, 87, kPrevRangeLine},
      {88, 88, kBookmarkToggle},
      {89, 89, kBookmarkToggle},
      {95, 95, kMacroGo},
      {96, 96, kMacroStartEnd},
      {97, 97, kMacroStartEnd},
      {98, 99, kMacroRead},
      {107, 108, kScrollUpLine},
      {114, 115, kScrollLeft},
      {116, 117, kSearchUp},
      {119, 119, kSearchMode},
      {120, 120, kSearchMode},
      {121, 121, kRangeLineToggle},
      {122, 122, kRangeLineToggle},
      {123, 123, kRangeLineEdit},
      // Tool-bar buttons.
      {1000, 1000, kFileNew},
      {1001, 1001, kFileOpen},
      {1002, 1002, kFileSave},
      {1003, 1005, kCut},
      {1006, 1007, kUndo},
      {1008, 1008, kSearchDialog},
      {1009, 1010, kSearchUp},
      {1011, 1011, kReplaceDialog},
      {1012, 1013, kPrevBookmark},
      {1014, 1015, kPrevRangeLine},
      {1016, 1016, kCompile},
      {1017, 1017, kMacroGo},
      {1018, 1018, kSplitWindow},
      // The search band's flag buttons.
      {2064, 2070, kToggleCase},
  };
  for (const Span& s : kSpans) {
    if (Between(id, s.firstId, s.lastId)) return static_cast<CommandCode>(s.firstCode + (id - s.firstId));
  }
  return kNoCommand;
}

bool RecordedFromMenu(int id) {
  return id == 6 || id == 7 || id == 8 || id == 11 || id == 60 || Between(id, 62, 68) || Between(id, 72, 80) ||
         Between(id, 84, 87) || id == 116 || id == 117 || Between(id, 1003, 1005) || id == 1009 || id == 1010 ||
         Between(id, 1012, 1015);
}

}  // namespace gorvane::commands

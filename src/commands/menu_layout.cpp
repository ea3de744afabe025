#include "commands/menu_layout.h"

#include "base/host.h"

namespace gorvane::commands {

namespace {

constexpr MenuItem Item(int id, std::u8string_view text) { return MenuItem{.id = id, .text = text}; }
constexpr MenuItem Separator() { return MenuItem{.separator = true}; }
constexpr MenuItem Sub(int id, std::u8string_view text, std::span<const MenuItem> items) {
  return MenuItem{.id = id, .text = text, .subMenu = items};
}

// ---- sub-menus ----

constexpr MenuItem kSearchModeMenu[] = {
    Item(119, u8"範囲内検索"),
    Item(120, u8"ﾌｧｲﾙ内検索"),
};

constexpr MenuItem kKeyboardSearchMenu[] = {
    Item(116, u8"上方向検索"),
    Item(117, u8"下方向検索"),
    Separator(),
    Sub(118, u8"検索ﾓｰﾄﾞ", kSearchModeMenu),
};

constexpr MenuItem kConversionMenu[] = {
    Item(62, u8"→大文字"),
    Item(63, u8"→小文字"),
    Item(64, u8"→半角"),
    Item(65, u8"→全角(かな)"),
    Item(66, u8"→全角(カナ)"),
    Separator(),
    Item(67, u8"半角カナ→全角カナ"),
    Item(68, u8"全角カナ→半角カナ"),
};

constexpr MenuItem kSplitMenu[] = {
    Item(47, u8"縦"),
    Item(48, u8"横"),
    Item(49, u8"分割しない"),
};

constexpr MenuItem kWriteProtectItem{.id = 12, .text = u8"書き込み禁止", .fixedKey = u8"Pause Break"};

// ---- the main menu ----

constexpr MenuItem kFileItems[] = {
    Item(1, u8"開く"),
    Item(2, u8"新規作成"),
    Item(4, u8"挿入"),
    Separator(),
    Item(37, u8"保存"),
    Item(38, u8"名前を付けて保存"),
    Item(39, u8"文字ｺｰﾄﾞを変更して保存"),
    Separator(),
    kWriteProtectItem,
    Separator(),
    Item(57, u8"印刷"),
    Item(58, u8"印刷設定"),
    Item(59, u8"印刷ﾌﾟﾚﾋﾞｭｰ"),
    Separator(),
    Item(5, u8"終了"),
};

constexpr MenuItem kEditItems[] = {
    Item(9, u8"アンドゥ"),
    Item(10, u8"リドゥ"),
    Separator(),
    Item(6, u8"カット"),
    Item(7, u8"コピー"),
    Item(8, u8"ペースト"),
    Separator(),
    Item(11, u8"全て選択"),
    Item(78, u8"単語選択"),
    Item(79, u8"1行選択"),
    Item(80, u8"範囲内選択"),
    Item(81, u8"行指定選択"),
    Separator(),
    Item(72, u8"空行挿入"),
    Item(73, u8"行複写"),
    Item(74, u8"行削除"),
    Item(75, u8"削除行挿入"),
    Item(76, u8"ｷｬﾚｯﾄより前を削除"),
    Item(77, u8"ｷｬﾚｯﾄ以降を削除"),
    Separator(),
    Sub(61, u8"文字種変換", kConversionMenu),
    Separator(),
    Item(55, u8"入力支援ｷｰﾜｰﾄﾞ追加"),
};

constexpr MenuItem kSearchItems[] = {
    Item(13, u8"検索"),
    Item(14, u8"置換"),
    Separator(),
    Item(60, u8"検索文字列に設定"),
    Sub(15, u8"ｷｰﾎﾞｰﾄﾞ検索", kKeyboardSearchMenu),
};

constexpr MenuItem kJumpItems[] = {
    Item(82, u8"対応する括弧へ"),
    Item(83, u8"指定行へ"),
    Separator(),
    Item(84, u8"前の範囲設定行へ"),
    Item(85, u8"次の範囲設定行へ"),
    Item(121, u8"範囲設定行に設定"),
    Item(122, u8"範囲設定行解除"),
    Item(123, u8"範囲設定行編集"),
    Item(93, u8"範囲設定をすべて解除"),
    Separator(),
    Item(86, u8"前のﾌﾞｯｸﾏｰｸ行へ"),
    Item(87, u8"次のﾌﾞｯｸﾏｰｸ行へ"),
    Item(88, u8"ﾌﾞｯｸﾏｰｸ設定"),
    Item(89, u8"ﾌﾞｯｸﾏｰｸ解除"),
    Item(92, u8"ﾌﾞｯｸﾏｰｸをすべて解除"),
    Separator(),
    Item(90, u8"ﾌﾞﾗｳｻﾞで開く"),
    Item(91, u8"ﾒｰﾗｰを開く"),
};

constexpr MenuItem kMacroItems[] = {
    Item(95, u8"再生"),
    Separator(),
    Item(96, u8"記録開始"),
    Item(97, u8"記録終了"),
    Separator(),
    Item(98, u8"読み込み"),
    Item(99, u8"保存"),
};

constexpr MenuItem kCompileItems[] = {
    Item(17, u8"実行"),
    Item(18, u8"設定"),
};

constexpr MenuItem kSettingsItems[] = {
    Item(19, u8"画面・動作"),
    Item(20, u8"情報ウィンドウ"),
    Item(21, u8"検索・置換"),
    Item(22, u8"関数名検索文字列"),
    Item(23, u8"キー割り当て"),
    Item(24, u8"コマンドプロンプト設定"),
    Item(25, u8"フォルダ設定"),
    Item(26, u8"背景画像設定"),
    Item(27, u8"入力支援設定"),
    Item(28, u8"その他"),
    Separator(),
    Item(29, u8"有効な拡張子登録"),
    Item(30, u8"登録拡張子を削除"),
    Separator(),
    Item(101, u8"ｱﾝﾄﾞｩﾊﾞｯﾌｧｸﾘｱ"),
    Separator(),
    Item(31, u8"設定ﾌｧｲﾙ格納ﾌｫﾙﾀﾞを開く"),
    Item(32, u8"ｲﾝｽﾄｰﾙﾌｫﾙﾀﾞを開く"),
    Item(33, u8"wi1ﾌｧｲﾙ格納ﾌｫﾙﾀﾞを開く"),
};

constexpr MenuItem kWindowItems[] = {
    Sub(46, u8"分割", kSplitMenu),
    Separator(),
    Item(50, u8"背景鑑賞"),
    Item(40, u8"ﾃﾞﾌｫﾙﾄ背景"),
    Item(41, u8"背景再表示"),
    Item(42, u8"前の背景"),
    Item(43, u8"次の背景"),
    Item(44, u8"ｽﾗｲﾄﾞｼｮｰ停止"),
    Item(45, u8"ﾃﾞﾌｫﾙﾄ背景に設定(仮)"),
    Item(51, u8"背景設定"),
    Separator(),
    Item(52, u8"情報ｳｨﾝﾄﾞｳを手前に表示"),
    Item(53, u8"情報ｳｨﾝﾄﾞｳを非表示"),
    Separator(),
    Item(54, u8"最上位"),
    Separator(),
    Item(56, u8"色替設定"),
};

constexpr MenuItem kHelpItems[] = {
    Item(100, u8"ヘルプ"),
    Separator(),
    Item(36, u8"ﾊﾞｰｼﾞｮﾝ情報"),
};

constexpr MenuBarEntry kMainMenu[] = {
    {u8"ファイル(&F)", kFileItems},   {u8"編集(&E)", kEditItems},          {u8"検索(&S)", kSearchItems},
    {u8"ジャンプ(&J)", kJumpItems},   {u8"マクロ(&M)", kMacroItems},       {u8"コンパイル(&C)", kCompileItems},
    {u8"設定(&O)", kSettingsItems},   {u8"ウィンドウ(&W)", kWindowItems}, {u8"ヘルプ(&H)", kHelpItems},
};

// ---- pop-up menus ----

constexpr MenuItem kEditViewPopup[] = {
    Item(9, u8"アンドゥ"),
    Item(10, u8"リドゥ"),
    Separator(),
    Item(6, u8"カット"),
    Item(7, u8"コピー"),
    Item(8, u8"ペースト"),
    Separator(),
    Item(11, u8"全て選択"),
    Item(78, u8"単語選択"),
    Item(79, u8"1行選択"),
    Item(80, u8"範囲内選択"),
    Item(81, u8"行指定選択"),
    Separator(),
    Item(13, u8"検索"),
    Item(14, u8"置換"),
    Item(60, u8"検索文字列に設定"),
    Sub(15, u8"ｷｰﾎﾞｰﾄﾞ検索", kKeyboardSearchMenu),
    Separator(),
    Item(72, u8"空行挿入"),
    Item(73, u8"行複写"),
    Item(74, u8"行削除"),
    Item(75, u8"削除行挿入"),
    Item(76, u8"ｷｬﾚｯﾄより前を削除"),
    Item(77, u8"ｷｬﾚｯﾄ以降を削除"),
    Separator(),
    Sub(61, u8"文字種変換", kConversionMenu),
    Separator(),
    kWriteProtectItem,
};

constexpr MenuItem kLineNumberPopup[] = {
    Item(6, u8"カット"),
    Item(7, u8"コピー"),
    Item(8, u8"ペースト"),
    Separator(),
    Item(88, u8"ﾌﾞｯｸﾏｰｸ設定"),
    Item(89, u8"ﾌﾞｯｸﾏｰｸ解除"),
    Separator(),
    Item(121, u8"範囲設定行に設定"),
    Item(122, u8"範囲設定行解除"),
    Item(123, u8"範囲設定行編集"),
    Separator(),
    Item(55, u8"入力支援ｷｰﾜｰﾄﾞ追加"),
};

constexpr MenuItem kVerticalScrollMenu[] = {
    Item(102, u8"ここにスクロール"),
    Separator(),
    Item(103, u8"最上部"),
    Item(104, u8"最下部"),
    Separator(),
    Item(105, u8"前のページ"),
    Item(106, u8"次のページ"),
    Separator(),
    Item(107, u8"上にスクロール"),
    Item(108, u8"下にスクロール"),
};

constexpr MenuItem kHorizontalScrollMenu[] = {
    Item(109, u8"ここにスクロール"),
    Separator(),
    Item(110, u8"左の端"),
    Item(111, u8"右の端"),
    Separator(),
    Item(112, u8"左のページ"),
    Item(113, u8"右のページ"),
    Separator(),
    Item(114, u8"左にスクロール"),
    Item(115, u8"右にスクロール"),
};

// ---- tool bar and bands ----

constexpr ToolButton kToolButtons[] = {
    {1000, u8"新規作成", false},
    {1001, u8"開く", false},
    {1002, u8"保存", false},
    {1003, u8"カット", false},
    {1004, u8"コピー", false},
    {1005, u8"ペースト", false},
    {1006, u8"アンドゥ", false},
    {1007, u8"リドゥ", false},
    {1008, u8"検索", false},
    {1009, u8"上方向検索", false},
    {1010, u8"下方向検索", false},
    {1011, u8"置換", false},
    {1012, u8"前のﾌﾞｯｸﾏｰｸ行へ", false},
    {1013, u8"次のﾌﾞｯｸﾏｰｸ行へ", false},
    {1014, u8"前の範囲設定行へ", false},
    {1015, u8"次の範囲設定行へ", false},
    {1016, u8"コンパイル実行", false},
    {1017, u8"マクロ実行", false},
    {1018, u8"分割", false},
    {1019, u8"コマンドプロンプト", false},
    {1020, u8"最上位", true},
};
static_assert(std::size(kToolButtons) == kToolButtonCount);

constexpr BandControl kFunctionBand[] = {
    {kFunctionLabelId, ControlKind::Static, u8"関数名", "", 0},
    {kFunctionComboId, ControlKind::ComboBox, u8"", "MT_FunctionCombo", 250},
    {kFindFunctionsButtonId, ControlKind::Button, u8"設定", "", 35},
    {kClearRangeLinesButtonId, ControlKind::Button, u8"解除", "", 35},
};

constexpr BandControl kSearchBand[] = {
    {kSearchLabelId, ControlKind::Static, u8"検索", "", 0},
    {kSearchComboId, ControlKind::ComboBox, u8"", "MT_SearchCombo", 290},
    {2064, ControlKind::CheckButton, u8"区別", "", 0},
    {2065, ControlKind::CheckButton, u8"左単", "", 0},
    {2066, ControlKind::CheckButton, u8"右単", "", 0},
    {2067, ControlKind::CheckButton, u8"曖昧", "", 0},
    {2068, ControlKind::CheckButton, u8"WILD", "", 0},
    {2069, ControlKind::CheckButton, u8"最短", "", 0},
    {2070, ControlKind::CheckButton, u8"正規", "", 0},
};

constexpr BandControl kFontBand[] = {
    {kFontLabelId, ControlKind::Static, u8"ﾌｫﾝﾄ", "", 0},
    {kFontNameComboId, ControlKind::ComboBox, u8"", "MT_FontCombo", 0},
    {kFontSizeComboId, ControlKind::ComboBox, u8"", "MT_FontCombo", 0},
};

constexpr Band kBands[] = {
    {kFunctionBandId, kFunctionBand},
    {kSearchBandId, kSearchBand},
    {kFontBandId, kFontBand},
};

}  // namespace

std::span<const MenuBarEntry> MainMenu() { return kMainMenu; }
std::span<const MenuItem> EditViewPopupMenu() { return kEditViewPopup; }
std::span<const MenuItem> LineNumberPopupMenu() { return kLineNumberPopup; }
std::span<const MenuItem> VerticalScrollMenu() { return kVerticalScrollMenu; }
std::span<const MenuItem> HorizontalScrollMenu() { return kHorizontalScrollMenu; }

std::string MenuLabel(const MenuItem& item, const KeyTables& tables, const OemKeyTable& oem) {
  std::string label = base::Sjis(item.text);
  if (item.separator || !item.subMenu.empty()) return label;
  std::string key = item.fixedKey.empty() ? KeyLabel(tables, oem, MenuIdToCode(item.id)) : base::Sjis(item.fixedKey);
  if (!key.empty()) label += "\t" + key;
  return label;
}

std::span<const ToolButton> ToolBarButtons() { return kToolButtons; }
std::span<const Band> ControlBands() { return kBands; }

std::uint8_t SearchFlagOfButton(int id) {
  if (id < kFirstSearchFlagButtonId || id > kFirstSearchFlagButtonId + 6) return 0;
  return static_cast<std::uint8_t>(1u << (id - kFirstSearchFlagButtonId));
}

std::string FontSizeText(int points) { return std::to_string(points); }

}  // namespace gorvane::commands

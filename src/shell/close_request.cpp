#include "shell/close_request.h"

namespace gorvane::shell {

namespace {

constexpr std::u8string_view kBusyGroup = u8"何らかの処理中です。\n処理が完了してから再度閉じて下さい。";
constexpr std::u8string_view kAskSave = u8"ファイルが編集されています。\n保存しますか？";
constexpr std::u8string_view kCloseCaption = u8"Gorvane　終了";
constexpr std::u8string_view kNoChange = u8"ﾃﾞｰﾀに変更はありません。";

}  // namespace

std::string BusyMessage(bool searchingInFiles, bool compiling, bool activating) {
  if (!searchingInFiles && !compiling && !activating) return {};
  std::u8string text;
  if (searchingInFiles) text += u8"『検索or置換中』";
  if (compiling) text += u8"『ｺﾝﾊﾟｲﾙ中』";
  if (activating) text += u8"『ｱｸﾃｨﾍﾞｰﾄ中』";
  text += u8"のため終了できません。\nｺﾝﾊﾟｲﾙ中に終了させる場合は情報ｳｨﾝﾄﾞｳを終了させて下さい。";
  return Sjis(text);
}

CloseOutcome RequestClose(Host& host, const CloseSituation& s, const std::function<bool()>& save) {
  CloseOutcome out;
  if (!s.groupLockFree) {
    Tell(host, kBusyGroup);
    return out;
  }
  if (s.loading) return out;
  const std::string busy = BusyMessage(s.searchingInFiles, s.compiling, s.activating);
  if (!busy.empty()) {
    host.ShowMessageBox({busy, Sjis(kCaption), BoxIcon::Warning, BoxButtons::Ok, true});
    return out;
  }
  if (!s.modified) {
    Status(host, kNoChange);
    out.close = true;
    return out;
  }
  switch (Tell(host, kAskSave, BoxIcon::Question, BoxButtons::YesNoCancel, kCloseCaption)) {
    case BoxAnswer::Yes:
      out.close = save && save();
      break;
    case BoxAnswer::No:
      out.close = true;
      out.statusFlag = 0;
      break;
    default:
      break;
  }
  return out;
}

}  // namespace gorvane::shell

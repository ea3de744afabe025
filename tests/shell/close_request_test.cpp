#include "shell/close_request.h"

#include <gtest/gtest.h>

#include "support/fake_host.h"

namespace sh = gorvane::shell;
using sh::BoxAnswer;

TEST(CloseRequest, EveryWayItEnds) {
  struct Case {
    const char* what;
    sh::CloseSituation situation;
    BoxAnswer answer;
    bool saveWorks;
    bool close;
    int flag;
    std::string box, status;
    int saves;
  } cases[] = {
      {"another editor's work holds the group", {false, false, false, false, false, true}, BoxAnswer::Yes, true, false, -1,
       "何らかの処理中です。\n処理が完了してから再度閉じて下さい。", "", 0},
      {"still loading", {true, true, false, false, false, true}, BoxAnswer::Yes, true, false, -1, "", "", 0},
      {"a build and an activation run", {true, false, false, true, true, true}, BoxAnswer::Yes, true, false, -1,
       "『ｺﾝﾊﾟｲﾙ中』『ｱｸﾃｨﾍﾞｰﾄ中』のため終了できません。\nｺﾝﾊﾟｲﾙ中に終了させる場合は情報ｳｨﾝﾄﾞｳを終了させて下さい。", "", 0},
      {"unmodified", {}, BoxAnswer::Yes, true, true, -1, "", "ﾃﾞｰﾀに変更はありません。", 0},
      {"modified, yes", {true, false, false, false, false, true}, BoxAnswer::Yes, true, true, -1,
       "ファイルが編集されています。\n保存しますか？", "", 1},
      {"modified, yes, the save fails", {true, false, false, false, false, true}, BoxAnswer::Yes, false, false, -1,
       "ファイルが編集されています。\n保存しますか？", "", 1},
      {"modified, no", {true, false, false, false, false, true}, BoxAnswer::No, true, true, 0,
       "ファイルが編集されています。\n保存しますか？", "", 0},
      {"modified, cancel", {true, false, false, false, false, true}, BoxAnswer::Cancel, true, false, -1,
       "ファイルが編集されています。\n保存しますか？", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gvtest::FakeHost host;
    host.answers = {c.answer};
    int saves = 0;
    const sh::CloseOutcome out = sh::RequestClose(host, c.situation, [&] {
      ++saves;
      return c.saveWorks;
    });
    EXPECT_EQ(out.close, c.close);
    EXPECT_EQ(out.statusFlag, c.flag);
    EXPECT_EQ(saves, c.saves);
    if (c.box.empty()) EXPECT_TRUE(host.boxes.empty());
    else {
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].text, c.box);
    }
    if (!c.status.empty()) {
      ASSERT_EQ(host.statuses.size(), 1u);
      EXPECT_EQ(host.statuses[0], c.status);
    }
  }
  EXPECT_EQ(sh::BusyMessage(false, false, false), "");
  EXPECT_EQ(sh::Utf8(sh::BusyMessage(true, true, true)).rfind("『検索or置換中』『ｺﾝﾊﾟｲﾙ中』『ｱｸﾃｨﾍﾞｰﾄ中』のため", 0), 0u);
}

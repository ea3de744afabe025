#include "ipc/object_names.h"

#include <gtest/gtest.h>

#include <string>

namespace ipc = gorvane::ipc;

TEST(ObjectNames, EveryNameAsBuilt) {
  const ipc::ObjectNames n("tester");
  const std::string project = "C:\\Proj\\App.qvp";
  const std::string sum = ipc::GroupChecksum("tester", project);
  struct Case {
    std::string got, expected;
  } cases[] = {
      {n.MainLock(), "$QORV$mutex$V1.74$tester$"},
      {n.MainFile(), "$QORV$mMFile$V1.74$tester$"},
      {n.FileNameFile(), "$QORV$mMFile$V1.74$tester$ExtFileName"},
      {n.SettingsFile(), "$QORV$mMFile$V1.74$tester$ExtSettingData"},
      {n.GroupLock(project), "$QORV$V1.74$testerApp.qvp" + sum},
      {n.GroupLock(""), "$QORV$V1.74$tester" + ipc::GroupChecksum("tester", "")},
      {n.SearchLock(project), "$QORV$V1.74$testerApp.qvp" + sum + "SCH"},
      {n.CompileLock(project), "$QORV$V1.74$COMPILE$testerApp.qvp" + sum},
      {ipc::ObjectNames::StartupMutex(), "GorvaneStartErrorMutex"},
      {n.FileMutex("C:\\Work\\A.TXT"), "c:$work$a.txt_tester0174"},
      {n.MacroLock(), "kbdmacro_v1.74_tester0174"},
      {ipc::ObjectNames::MacroFile(), "QV1.60_kbdmacro"},
      {n.ExtensionLock(".TXT"), "GorvaneExtMutex0174tester.txt"},
      {n.ExtensionFile(".Cpp"), "GorvaneExtMMFile0174tester.cpp"},
      {ipc::ObjectNames::EditPositionLock(project), "C:$Proj$App.qvpEditPos0174"},
      {ipc::ObjectNames::EditPositionFile(project), "C:$Proj$App.qvpEditPosM0174"},
      {ipc::ObjectNames::MarkJumpFile("C:\\Work\\a.txt"), "$QORV$MJDATA$V1.74C$$Work$a.txt"},
      {n.EditorInbox(3), "\\\\.\\mailslot\\QV174w3tester"},
      {n.InfoWindowInbox(0), "\\\\.\\mailslot\\QV174i0tester"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// The checksum by hand: "a0174" is 97 48 49 55 52; (97+0)+(48+1)+(49+2)+(55+3)+(52+4) = 311, times 26.
TEST(ObjectNames, ChecksumAndFileNamePart) {
  EXPECT_EQ(ipc::GroupChecksum("a", ""), "8086");
  EXPECT_EQ(ipc::FileNamePart("C:\\a\\b.qvp"), "b.qvp");
  EXPECT_EQ(ipc::FileNamePart("C:\\\x95\x5c.qvp"), "\x95\x5c.qvp");  // 表: its second byte is no separator
  EXPECT_EQ(ipc::FileNamePart(""), "");
}

// Double-byte characters keep their bytes: neither "\" nor case folding may
// touch a second byte (表 = 95 5C, ア = 83 41).
TEST(ObjectNames, PathsWithDoubleByteCharacters) {
  const ipc::ObjectNames n("\x83\x41user");
  EXPECT_EQ(n.FileMutex("C:\\\x95\x5c\\X.txt"), "c:$\x95\x5c$x.txt_\x83\x41user0174");
  EXPECT_EQ(ipc::ReplaceSeparators("\\\x95\x5c\\"), "$\x95\x5c$");
  EXPECT_EQ(ipc::ObjectNames::MarkJumpFile("D:\\\x95\x5c"), "$QORV$MJDATA$V1.74D$$\x95\x5c");
}

// Names Windows would refuse are shortened the same way every time.
TEST(ObjectNames, LongNamesFitDeterministically) {
  const ipc::ObjectNames n("tester");
  const std::string deep = "C:\\" + std::string(300, 'd') + "\\file.txt";
  const std::string a = n.FileMutex(deep), b = n.FileMutex(deep);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.size(), ipc::kMaxObjectNameChars);
  EXPECT_EQ(a.substr(0, 4), "c:$d");
  EXPECT_NE(a, n.FileMutex("C:\\" + std::string(300, 'd') + "\\other.txt"));
  // Double-byte characters count once and are never cut in half.
  const std::string kanji = ipc::FitObjectName(std::string(2 * 300, '\x88'));
  EXPECT_EQ(kanji.size(), 2 * (ipc::kMaxObjectNameChars - 17) + 17);
  // The mark-jump name stays under 260 bytes.
  const std::string mj = ipc::ObjectNames::MarkJumpFile("C:\\" + std::string(2 * 200, '\x88'));
  EXPECT_LE(mj.size(), 259u);
  EXPECT_EQ((mj.size() - 17 - std::string("$QORV$MJDATA$V1.74C$$").size()) % 2, 0u);  // whole pairs only
  const std::string shortName = n.MainLock();
  EXPECT_EQ(ipc::FitObjectName(shortName), shortName);
}

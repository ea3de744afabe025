#include "shell/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace sh = gorvane::shell;

TEST(CommandLine, FilesAndSwitches) {
  struct Case {
    const char* line;
    std::string file;
    int code, lineEnd;
    long long jump;  // -1: none
    bool project, byInfo, plain;
    int infoWindow, fileNumber;
  } cases[] = {
      {"", "", 0, 0, -1, false, false, false, -1, 1},
      {"C:\\work\\a.txt", "C:\\work\\a.txt", 0, 0, -1, false, false, false, -1, 1},
      {"  \"C:\\my work\\a b.txt\"  ", "C:\\my work\\a b.txt", 0, 0, -1, false, false, false, -1, 1},
      {"\"C:\\odd.txt", "", 0, 0, -1, false, false, false, -1, 1},
      {"C:\\my work\\a b.txt", "C:\\my work\\a b.txt", 0, 0, -1, false, false, false, -1, 1},
      {"/e C:\\a.txt", "C:\\a.txt", 2, 3, -1, false, false, false, -1, 1},
      {"/S\tC:\\a.txt", "C:\\a.txt", 1, 1, -1, false, false, false, -1, 1},
      {"/U8 /ub /ul C:\\a.txt", "C:\\a.txt", 6, 1, -1, false, false, false, -1, 1},
      {"/j120 C:\\a.txt", "C:\\a.txt", 0, 0, 120, false, false, false, -1, 1},
      {"/J=45 C:\\a.txt", "C:\\a.txt", 0, 0, 45, false, false, false, -1, 1},
      // The jump number comes from the option word only, never from the file name.
      {"/j C:\\2024\\a.txt", "C:\\2024\\a.txt", 0, 0, -1, false, false, false, -1, 1},
      {"C:\\p\\app.QVP", "C:\\p\\app.QVP", 0, 0, -1, true, false, false, -1, 1},
      {"/p C:\\p\\app.qvp", "C:\\p\\app.qvp", 0, 0, -1, false, false, true, -1, 1},
      {"\"C:\\w\\a.txt\" /MS 3 /FN 7", "C:\\w\\a.txt", 0, 0, -1, false, true, false, 3, 7},
      {"C:\\w\\a.txt  /FN 0 /MS 12", "C:\\w\\a.txt", 0, 0, -1, false, true, false, 12, 1},
      {"C:\\w\\p.qvp /MS 1", "C:\\w\\p.qvp", 0, 0, -1, false, true, false, 1, 1},
      {"C:\\w\\x/MS.txt", "C:\\w\\x/MS.txt", 0, 0, -1, false, false, false, -1, 1},  // not an option inside a name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const sh::StartupArguments a = sh::ParseCommandLine(c.line);
    EXPECT_EQ(a.error, sh::CommandLineError::kNone);
    EXPECT_EQ(a.fileName, c.file);
    EXPECT_EQ(a.isNewFile, c.file.empty());
    EXPECT_EQ(a.codeOverride, c.code);
    EXPECT_EQ(a.lineEndOverride, c.lineEnd);
    EXPECT_EQ(a.jumpLine ? static_cast<long long>(*a.jumpLine) : -1, c.jump);
    EXPECT_EQ(a.isProject, c.project);
    EXPECT_EQ(a.startedByInfoWindow, c.byInfo);
    EXPECT_EQ(a.plainOption, c.plain);
    EXPECT_EQ(a.infoWindow, c.infoWindow);
    EXPECT_EQ(a.fileNumber, c.fileNumber);
  }
}

TEST(CommandLine, BadNumbersAndOwner) {
  EXPECT_EQ(sh::ParseCommandLine("C:\\a.txt /MS x1").error, sh::CommandLineError::kBadInfoWindowNumber);
  EXPECT_EQ(sh::ParseCommandLine("C:\\a.txt /MS").error, sh::CommandLineError::kBadInfoWindowNumber);
  EXPECT_EQ(sh::ParseCommandLine("C:\\a.txt /MS 1 /FN -2").error, sh::CommandLineError::kBadFileNumber);
  const sh::StartupArguments owner = sh::ParseCommandLine("/PA:1A2b C:\\a.txt");
  ASSERT_TRUE(owner.ownerWindow.has_value());
  EXPECT_EQ(*owner.ownerWindow, 0x1A2Bu);
  EXPECT_FALSE(sh::ParseCommandLine("/PA:zz C:\\a.txt").ownerWindow.has_value());
  EXPECT_EQ(sh::ParseCommandLine("/PA:zz C:\\a.txt").fileName, "C:\\a.txt");
}

TEST(CommandLine, SizeValueFromTheScreenHeight) {
  const std::pair<int, int> cases[] = {{480, 9}, {600, 9}, {601, 10}, {800, 10}, {801, 11}, {1024, 11}, {1025, 12}, {2160, 12}};
  for (const auto& [height, value] : cases) EXPECT_EQ(sh::SizeValueForScreen(height), value) << height;
}

TEST(CommandLine, ProgramFolderAndTitle) {
  EXPECT_EQ(sh::ProgramFolderOf("\"C:\\Program Files\\Gv\\Gorvane.exe\" a.txt"), "C:\\Program Files\\Gv\\");
  EXPECT_EQ(sh::ProgramFolderOf("C:\\Gv\\Gorvane.exe a.txt"), "C:\\Gv\\");
  EXPECT_EQ(sh::ProgramFolderOf("C:\\\x95\x5c\\Gorvane.exe"), "C:\\\x95\x5c\\");  // 表: a whole character
  EXPECT_EQ(sh::ProgramFolderOf("Gorvane.exe"), "");
  EXPECT_EQ(sh::ArgumentsOf("\"C:\\P F\\Gorvane.exe\"  /j3 a.txt"), "/j3 a.txt");
  EXPECT_EQ(sh::ArgumentsOf("Gorvane.exe"), "");
  EXPECT_EQ(sh::FrameTitle("a.txt", "C:\\work\\", false), "a.txt [ C:\\work\\ ]");
  EXPECT_EQ(sh::FrameTitle("a.txt", "", true), "a.txt *");
}

// The editor program as a person starts it: it opens the file named on its
// command line, shows it with its title and status text, hands a second start
// for the same file to the first editor, and ends on WM_CLOSE. Every wait is
// bounded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_driver.h"

namespace {

using gvdrive::EditorProcess;
using gvdrive::ProgramFolder;
using gvdrive::ReadFileBytes;
using gvdrive::TempFile;

constexpr DWORD kWaitMs = gvdrive::kWaitMs;

std::vector<HWND> Frames(DWORD pid) { return gvdrive::TopWindows(pid, L"Gorvane"); }
std::wstring Text(HWND w) { return gvdrive::WindowText(w); }
HWND Child(HWND parent, const wchar_t* cls) { return gvdrive::ChildByClass(parent, cls); }

TEST(EditorWindows, OpensShowsHandsOverAndCloses) {
  // "見本.txt" in Shift-JIS: two lines.
  const std::wstring file = TempFile(L"\u898b\u672c.txt", "\x8c\xa9\x96\x7b\r\nsecond");
  EditorProcess first;
  ASSERT_TRUE(first.Start(file));
  HWND frame = gvdrive::WaitForFrame(first.pid());
  ASSERT_NE(frame, nullptr);
  const std::wstring title = Text(frame);
  EXPECT_EQ(title.rfind(L"\u898b\u672c.txt [ ", 0), 0u) << title.size();
  ASSERT_NE(Child(frame, L"QVChild"), nullptr);
  ASSERT_NE(Child(frame, L"QVLineNum"), nullptr);
  HWND status = Child(frame, L"msctls_statusbar32");
  ASSERT_NE(status, nullptr);
  // "ファイルを読み込みました。" (13 characters, with padding) in the first field; nine fields.
  EXPECT_GE(LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, 0, 0)), 13);
  EXPECT_EQ(SendMessageW(status, SB_GETPARTS, 0, 0), 9);

  // The installation's registry values.
  wchar_t value[MAX_PATH];
  DWORD size = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\tolbane\\Gorvane ver1.74", L"VERSION", RRF_RT_REG_SZ, nullptr,
                         value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), L"0174");
  size = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\tolbane\\Gorvane ver1.74", L"INSTALL", RRF_RT_REG_SZ, nullptr,
                         value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), ProgramFolder());

  // A second start for the same file (another case) hands it over and ends.
  std::wstring upper = file;
  for (auto& c : upper)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  EditorProcess second;
  ASSERT_TRUE(second.Start(upper));
  EXPECT_EQ(second.Wait(), 0);
  EXPECT_EQ(Frames(second.pid()).size(), 0u);
  EXPECT_EQ(Frames(first.pid()).size(), 1u);

  // The info window's close request ("@CLOSED@ 0") ends an unmodified editor.
  wchar_t user[256];
  DWORD userLength = 256;
  ASSERT_TRUE(GetUserNameW(user, &userLength));
  const std::wstring inbox = L"\\\\.\\mailslot\\QV174w1" + std::wstring(user);
  HANDLE slot = CreateFileW(inbox.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(slot, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(slot, "@CLOSED@ 0", 11, &written, nullptr);
  CloseHandle(slot);
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_TRUE(Frames(first.pid()).empty());
  DeleteFileW(file.c_str());
}

// A UTF-8 file saved in Shift-JIS through the save-in-another-code dialog.
TEST(EditorWindows, SavesInAnotherCodeThroughTheDialog) {
  const std::wstring file = TempFile(L"utf8-doc.txt", "\xE3\x81\x82\xE3\x81\x84\r\nabc");  // "あい", "abc"
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(file));
  HWND frame = gvdrive::WaitForFrame(editor.pid());
  ASSERT_NE(frame, nullptr);
  PostMessageW(frame, WM_COMMAND, 39, 0);
  HWND dialog = nullptr;
  for (DWORD waited = 0; waited < kWaitMs && !dialog; waited += 50) {
    Sleep(50);
    dialog = FindWindowW(L"#32770", L"\u6587\u5b57\u30b3\u30fc\u30c9\u3092\u6307\u5b9a\u3057\u3066\u4fdd\u5b58");
  }
  ASSERT_NE(dialog, nullptr);
  // The dialog is shown once it has filled its lists and chosen the file's
  // own code: only then are the choices made (and checked).
  for (DWORD waited = 0; waited < kWaitMs && !IsWindowVisible(dialog); waited += 20) Sleep(20);
  ASSERT_TRUE(IsWindowVisible(dialog));
  for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
    SendDlgItemMessageW(dialog, 1001, CB_SETCURSEL, 0, 0);  // ｼﾌﾄJIS
    SendDlgItemMessageW(dialog, 1002, CB_SETCURSEL, 0, 0);  // 変更しない
    if (SendDlgItemMessageW(dialog, 1001, CB_GETCURSEL, 0, 0) == 0 &&
        SendDlgItemMessageW(dialog, 1002, CB_GETCURSEL, 0, 0) == 0)
      break;
    Sleep(50);
  }
  ASSERT_EQ(SendDlgItemMessageW(dialog, 1001, CB_GETCURSEL, 0, 0), 0);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  std::string bytes;
  for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
    Sleep(50);
    bytes = ReadFileBytes(file);
    if (bytes == "\x82\xa0\x82\xa2\r\nabc") break;
  }
  EXPECT_EQ(bytes, "\x82\xa0\x82\xa2\r\nabc") << "the editor's title: " << Text(frame).size() << " characters, "
                                                  << (IsWindow(dialog) ? "the dialog is still open" : "the dialog closed");

  // Divided into two panes one above the other, then one again.
  SendMessageW(frame, WM_COMMAND, 48, 0);
  HWND second = FindWindowExW(frame, nullptr, L"QVChild", L"QVChildWindow2");
  ASSERT_NE(second, nullptr);
  RECT top{}, bottom{};
  GetWindowRect(FindWindowExW(frame, nullptr, L"QVChild", L"QVChildWindow1"), &top);
  GetWindowRect(second, &bottom);
  EXPECT_LT(top.bottom, bottom.top + 1);
  EXPECT_NE(FindWindowExW(frame, nullptr, L"QVLineNum", L"QVLineNumWindow2"), nullptr);
  SendMessageW(frame, WM_COMMAND, 49, 0);
  EXPECT_EQ(FindWindowExW(frame, nullptr, L"QVChild", L"QVChildWindow2"), nullptr);
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
  DeleteFileW(file.c_str());
}

// Started by an info window for a file it cannot open: the user is told, and
// the info window hears "@CANTOPEN@".
TEST(EditorWindows, AFileThatCannotBeOpenedIsReported) {
  wchar_t user[256];
  DWORD userLength = 256;
  ASSERT_TRUE(GetUserNameW(user, &userLength));
  HANDLE inbox = CreateMailslotW((L"\\\\.\\mailslot\\QV174i57" + std::wstring(user)).c_str(), 0, 0, nullptr);
  ASSERT_NE(inbox, INVALID_HANDLE_VALUE);
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(L"Z:\\no\\such\\folder\\x.txt", L" /MS 57 /FN 3"));
  HWND box = nullptr;
  for (DWORD waited = 0; waited < kWaitMs && !box; waited += 50) {
    Sleep(50);
    box = FindWindowW(L"#32770", L"Gorvane");
  }
  ASSERT_NE(box, nullptr);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(editor.Wait(), 0);
  DWORD next = 0, count = 0;
  ASSERT_TRUE(GetMailslotInfo(inbox, nullptr, &next, &count, nullptr));
  ASSERT_NE(next, static_cast<DWORD>(MAILSLOT_NO_MESSAGE));
  char buf[64] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(inbox, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(std::string(buf, got), std::string("@CANTOPEN@", 11));
  CloseHandle(inbox);
}

// A project file is not opened by the editor: it starts the info window with
// the project and ends without a window of its own.
TEST(EditorWindows, AProjectStartsItsInfoWindow) {
  const std::wstring project = TempFile(L"app.qvp", "project\r\n");
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(project));
  EXPECT_EQ(editor.Wait(), 0);
  EXPECT_TRUE(Frames(editor.pid()).empty());
  HWND info = nullptr;
  for (DWORD waited = 0; waited < kWaitMs && !info; waited += 50) {
    Sleep(50);
    info = FindWindowW(L"VantrelInfoWindow", nullptr);
  }
  EXPECT_NE(info, nullptr);
  if (info) PostMessageW(info, WM_CLOSE, 0, 0);
  Sleep(300);
  DeleteFileW(project.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int r = RUN_ALL_TESTS();
  // Info windows the editors started are not ours to keep.
  for (HWND w = FindWindowW(L"VantrelInfoWindow", nullptr); w; w = FindWindowW(L"VantrelInfoWindow", nullptr)) {
    PostMessageW(w, WM_CLOSE, 0, 0);
    Sleep(200);
    if (FindWindowW(L"VantrelInfoWindow", nullptr) == w) break;
  }
  return r;
}

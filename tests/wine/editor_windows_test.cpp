// The editor program as a person starts it: it opens the file named on its
// command line, shows it with its title and status text, hands a second start
// for the same file to the first editor, and ends on WM_CLOSE. Every wait is
// bounded.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
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

// The paths of the modules a process has loaded, lower-cased.
std::vector<std::wstring> Modules(DWORD pid) {
  std::vector<std::wstring> paths;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return paths;
  MODULEENTRY32W m{};
  m.dwSize = sizeof m;
  for (BOOL more = Module32FirstW(snapshot, &m); more; more = Module32NextW(snapshot, &m)) {
    std::wstring path = m.szExePath;
    for (auto& c : path) c = static_cast<wchar_t>(towlower(c));
    paths.push_back(path);
  }
  CloseHandle(snapshot);
  return paths;
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

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

  // The character-code library and the temporary cache stay loaded from the
  // program folder: the editor works through them (it has no copy of their code).
  const std::vector<std::wstring> modules = Modules(first.pid());
  for (const wchar_t* library : {L"qorvchar.dll", L"qorvetc.dll", L"qorvimage.dll"}) {
    const std::wstring wanted = Lower(ProgramFolder()) + library;
    EXPECT_NE(std::find(modules.begin(), modules.end(), wanted), modules.end()) << modules.size() << " modules";
  }

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

// ---- the libraries at start-up ----

// An installation of the editor in a folder of its own, removed at the end.
class Installation {
 public:
  Installation() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"gv-libraries-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  ~Installation() {
    for (const wchar_t* f : kFiles) DeleteFileW((folder_ + f).c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  // Every file as it is built; then each replaced one by a stand-in from the
  // program folder, or left out (stand-in null).
  bool Install(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& replaced) {
    for (const wchar_t* f : kFiles) {
      DeleteFileW((folder_ + f).c_str());
      const wchar_t* from = f;
      bool leftOut = false;
      for (const auto& [file, standIn] : replaced)
        if (std::wstring(file) == f) from = standIn, leftOut = standIn == nullptr;
      if (!leftOut && !CopyFileW((ProgramFolder() + from).c_str(), (folder_ + f).c_str(), FALSE)) return false;
    }
    return true;
  }
  const std::wstring& folder() const { return folder_; }

 private:
  static constexpr const wchar_t* kFiles[] = {L"Gorvane_0174.exe", L"qvres.dll", L"QORVchar.dll", L"QORVetc.dll",
                                              L"QORVimage.dll"};
  std::wstring folder_;
};

// The pixels of a message box's icon that are clearly red and clearly yellow
// (the error icon is red, the warning icon yellow).
std::pair<int, int> RedAndYellowOfIcon(HWND box) {
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    if (Lower(cls) != L"static" || (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !IsWindowVisible(c))
      continue;
    const gvdrive::Image image = gvdrive::Screenshot(c);
    int red = 0, yellow = 0;
    for (std::uint32_t p : image.pixels) {
      const int r = static_cast<int>(p >> 16 & 0xFF), g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
      if (r > 160 && g < 110 && b < 110) ++red;
      if (r > 160 && g > 160 && b < 110) ++yellow;
    }
    return {red, yellow};
  }
  return {0, 0};
}

// A library that is missing, reports 371, or lacks the calls the editor makes
// stops the start with its text (QORVchar first, then QORVetc, then QORVimage;
// the resource library before them all): an error box captioned "Gorvane"
// without owner, no window of the editor, exit code 0.
TEST(EditorLibraries, AMissingOrOldLibraryStopsTheStart) {
  // "…のバージョンが古いです。\n起動できません。"
  const std::wstring tooOld = L"\u306e\u30d0\u30fc\u30b8\u30e7\u30f3\u304c\u53e4\u3044\u3067\u3059\u3002\n\u8d77\u52d5\u3067"
                              L"\u304d\u307e\u305b\u3093\u3002";
  const std::wstring qorvchar = L"QORVchar.dll" + tooOld, qorvetc = L"QORVetc.dll" + tooOld,
                     qorvimage = L"QORVimage.dll" + tooOld;
  // "qvres.dllが見つかりません。\n終了します。"
  const std::wstring qvres = L"qvres.dll\u304c\u898b\u3064\u304b\u308a\u307e\u305b\u3093\u3002\n\u7d42\u4e86\u3057\u307e\u3059\u3002";
  const wchar_t* old = L"stand_in_library_371.dll";
  const wchar_t* callsMissing = L"stand_in_library_372.dll";
  struct Case {
    const char* what;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> replaced;  // file, stand-in (null: missing)
    std::wstring text;
  } const cases[] = {
      {"QORVchar missing", {{L"QORVchar.dll", nullptr}}, qorvchar},
      {"QORVchar 371", {{L"QORVchar.dll", old}}, qorvchar},
      {"QORVchar without its calls", {{L"QORVchar.dll", callsMissing}}, qorvchar},
      {"QORVetc missing", {{L"QORVetc.dll", nullptr}}, qorvetc},
      {"QORVetc 371", {{L"QORVetc.dll", old}}, qorvetc},
      {"QORVetc without its calls", {{L"QORVetc.dll", callsMissing}}, qorvetc},
      {"QORVimage missing", {{L"QORVimage.dll", nullptr}}, qorvimage},
      {"QORVimage 371", {{L"QORVimage.dll", old}}, qorvimage},
      {"all three 371", {{L"QORVchar.dll", old}, {L"QORVetc.dll", old}, {L"QORVimage.dll", old}}, qorvchar},
      {"QORVetc and QORVimage missing", {{L"QORVetc.dll", nullptr}, {L"QORVimage.dll", nullptr}}, qorvetc},
      {"qvres and QORVchar missing", {{L"qvres.dll", nullptr}, {L"QORVchar.dll", nullptr}}, qvres},
  };
  const std::wstring file = TempFile(L"libraries.txt", "text\r\n");
  Installation installation;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(installation.Install(c.replaced));
    EditorProcess editor;
    ASSERT_TRUE(editor.StartIn(installation.folder(), file));
    HWND box = gvdrive::WaitForDialog(editor.pid(), L"Gorvane");
    ASSERT_NE(box, nullptr);
    const std::vector<std::wstring> texts = gvdrive::ChildTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), c.text), texts.end()) << texts.size() << " texts";
    // Once painted, the icon is the red error icon.
    std::pair<int, int> ink;
    gvdrive::WaitUntil([&] { return (ink = RedAndYellowOfIcon(box)).first > 20; }, 5000);
    EXPECT_GT(ink.first, 20) << "the error icon";
    EXPECT_LT(ink.second, ink.first);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_TRUE(Frames(editor.pid()).empty());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(editor.Wait(), 0);
  }
  DeleteFileW(file.c_str());
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

// The editor driven as a person drives it: keys through SendInput, commands
// through WM_COMMAND, answers to its boxes; what it shows read from its title,
// its status bar and screenshots of its windows. Every wait is bounded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/record_codec.h"
#include "ipc/instance_group.h"
#include "ipc/kernel.h"
#include "ipc/object_names.h"
#include "editor_fixture.h"
#include "ui_driver.h"

namespace {

using gvdrive::EditorProcess;

constexpr std::uint32_t kWhite = 0xFFFFFF;

// The ink (non-white pixels) of each row band of a window's screenshot.
std::vector<int> InkPerRow(const gvdrive::Image& image, int rowHeight, int rows, int left = 0) {
  std::vector<int> ink;
  for (int r = 0; r < rows; ++r)
    ink.push_back(image.CountOtherThan(kWhite, left, r * rowHeight, image.width, (r + 1) * rowHeight));
  return ink;
}

// The row height of a line-number column's screenshot: from the first
// number's first ink to the second number's (0 when there are not two).
int RowHeight(const gvdrive::Image& column) {
  auto ink = [&](int y) { return column.CountOtherThan(kWhite, 0, y, column.width, y + 1) > 0; };
  int y = 0;
  while (y < column.height && !ink(y)) ++y;
  const int first = y;
  while (y < column.height && ink(y)) ++y;
  while (y < column.height && !ink(y)) ++y;
  return y < column.height ? y - first : 0;
}

using gvdrive::CaretText;
using gvdrive::StatusField;
using gvdrive::StatusFieldBecomes;

class EditorUi : public gvdrive::EditorTest {
 protected:
  // Starts the editor and waits for its frame, in front, settled.
  HWND Open(EditorProcess& editor, const std::wstring& file) { return OpenInFront(editor, file); }
};

// A Shift-JIS file: its lines' glyphs and numbers are painted, the end-of-file
// mark after the last line, nothing below.
TEST_F(EditorUi, PaintsTheLinesAndTheirNumbers) {
  // "日本語の行", "abc", "" , "最後" (no line end).
  const std::wstring file = File(L"ui-paint.txt", "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8d\x73\r\nabc\r\n\r\n\x8d\xc5\x8c\xe3");
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  HWND view = gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow1");
  HWND numbers = gvdrive::ChildByClass(frame, L"QVLineNum", L"QVLineNumWindow1");
  ASSERT_NE(view, nullptr);
  ASSERT_NE(numbers, nullptr);
  gvdrive::BringToFront(frame);
  gvdrive::Settle(frame);
  Sleep(300);
  const gvdrive::Image text = gvdrive::ClientScreenshot(view);
  const gvdrive::Image column = gvdrive::ClientScreenshot(numbers);
  text.SaveBmp(gvdrive::ScreenshotPath(L"editor-view.bmp"));
  column.SaveBmp(gvdrive::ScreenshotPath(L"editor-line-numbers.bmp"));
  ASSERT_GT(text.height, 100);

  const int rowHeight = RowHeight(column);
  ASSERT_GT(rowHeight, 8);
  // Numbers on the four rows and none below; text on rows 1, 2 and 4 (the
  // empty third line shows only its line-end mark, the fourth its text and
  // "[EOF]"), nothing below the document.
  const std::vector<int> numberInk = InkPerRow(column, rowHeight, 8);
  for (int row = 0; row < 4; ++row) EXPECT_GT(numberInk[static_cast<std::size_t>(row)], 5) << "number row " << row;
  for (int row = 5; row < 8; ++row) EXPECT_EQ(numberInk[static_cast<std::size_t>(row)], 0) << "number row " << row;
  const std::vector<int> textInk = InkPerRow(text, rowHeight, 8);
  EXPECT_GT(textInk[0], textInk[1]) << "five kanji and kana make more ink than abc";
  EXPECT_GT(textInk[1], 20);
  EXPECT_GT(textInk[3], textInk[1]) << "two kanji and [EOF]";
  for (int row = 5; row < 8; ++row) EXPECT_EQ(textInk[static_cast<std::size_t>(row)], 0) << "text row " << row;
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// A document of 1,600,000 lines: its lines live in the temporary cache (the
// editor's is QORVetc.dll's), paged to its file; Ctrl+End reaches the last one.
TEST_F(EditorUi, TheLongestDocumentReachesItsLastLine) {
  std::string lines;
  lines.reserve(1600000u * 15);
  for (int i = 1; i < 1600000; ++i) lines.append("line ").append(std::to_string(i)).append("\r\n");
  lines += "last \x82\xa0";  // "last あ"
  const std::wstring file = File(L"ui-longest.txt", lines);
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  gvdrive::PressKeyIn(frame, VK_END, {VK_CONTROL});
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1600000, 8)));
  gvdrive::PressKeyIn(frame, VK_HOME, {VK_CONTROL});
  gvdrive::PressKeyIn(frame, VK_END);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 7)));  // after "line 1"
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// Keys typed into the edit view move the caret; the status bar follows.
TEST_F(EditorUi, KeysMoveTheCaret) {
  std::string lines;
  for (int i = 1; i <= 300; ++i) lines += "line " + std::to_string(i) + "\r\n";
  lines += "\x82\xa0\x82\xa2x";  // "あいx", the last line
  const std::wstring file = File(L"ui-keys.txt", lines);
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1))) << StatusField(frame, 1).size();

  gvdrive::PressKeyIn(frame, VK_DOWN);
  gvdrive::PressKeyIn(frame, VK_DOWN);
  gvdrive::PressKeyIn(frame, VK_END);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(3, 7)));  // after "line 3"
  gvdrive::PressKeyIn(frame, VK_END, {VK_CONTROL});
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(301, 6)));  // after "あいx"
  gvdrive::PressKeyIn(frame, VK_LEFT);
  gvdrive::PressKeyIn(frame, VK_LEFT);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(301, 3))) << "a double-byte character is one step";
  gvdrive::PressKeyIn(frame, VK_HOME, {VK_CONTROL});
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  gvdrive::PressKeyIn(frame, VK_NEXT);
  gvdrive::Settle(frame);
  const std::wstring paged = StatusField(frame, 1);
  EXPECT_NE(paged, CaretText(1, 1)) << "a page down moves the caret a page";
  EXPECT_TRUE(paged.ends_with(L", 1 \uff8a\uff9e\uff72\uff84"));

  // The left button on the line-number column selects the line (the caret
  // after it); the right button puts the caret at the line's start.
  HWND numbers = gvdrive::ChildByClass(frame, L"QVLineNum", L"QVLineNumWindow1");
  gvdrive::PressKeyIn(frame, VK_HOME, {VK_CONTROL});
  ASSERT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  PostMessageW(numbers, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
  PostMessageW(numbers, WM_LBUTTONUP, 0, MAKELPARAM(5, 2));
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(2, 1)));
  PostMessageW(numbers, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 2));
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  gvdrive::PressKeyIn(frame, VK_ESCAPE);  // the right button's menu

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// How many pixels of two shots of one window differ.
int Differing(const gvdrive::Image& a, const gvdrive::Image& b) {
  if (a.width != b.width || a.height != b.height) return a.width * a.height;
  int n = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
  return n;
}

// The dialog with this caption once it is up (5 s at most), or null.
HWND DialogCaptioned(const wchar_t* caption) {
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !dialog; ++i) {
    dialog = FindWindowW(L"#32770", caption);
    if (!dialog) Sleep(25);
  }
  return dialog;
}

// Menu commands and the mouse reach the editor: a selection is painted and
// taken away again, a drag selects, the jump dialog puts the caret on a line.
TEST_F(EditorUi, SelectionsAreMadeAndPainted) {
  std::string lines;
  for (int i = 1; i <= 300; ++i) lines += "line number " + std::to_string(i) + "\r\n";
  const std::wstring file = File(L"ui-select.txt", lines);
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  HWND view = gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow1");
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  gvdrive::Settle(frame);
  const gvdrive::Image plain = gvdrive::ClientScreenshot(view);

  // 全行選択 from the menu: every row's text on the selection's background.
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(11, 0), 0);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(301, 1)));
  gvdrive::PressKeyIn(frame, VK_HOME, {VK_CONTROL, VK_SHIFT});  // back up, still selecting
  gvdrive::Settle(frame);
  Sleep(200);
  const gvdrive::Image selected = gvdrive::ClientScreenshot(view);
  EXPECT_GT(Differing(plain, selected), 2000) << "the selection is painted";
  // An arrow key takes it away again.
  gvdrive::PressKeyIn(frame, VK_RIGHT);
  gvdrive::PressKeyIn(frame, VK_LEFT);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  gvdrive::Settle(frame);
  Sleep(200);
  EXPECT_LT(Differing(plain, gvdrive::ClientScreenshot(view)), 200) << "the selection is gone";

  // A drag with the left button from the first row down to the third.
  PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 40));
  PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(40, 40));
  gvdrive::Settle(frame);
  Sleep(200);
  const std::wstring dragged = StatusField(frame, 1);
  EXPECT_FALSE(dragged.starts_with(L"1 ")) << "the caret follows the drag";
  EXPECT_GT(Differing(plain, gvdrive::ClientScreenshot(view)), 300) << "the dragged selection is painted";

  // 指定行へジャンプ: the dialog takes the line number.
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(83, 0), 0);
  HWND dialog = DialogCaptioned(L"\u6307\u5b9a\u884c\u3078\u30b8\u30e3\u30f3\u30d7");
  ASSERT_NE(dialog, nullptr) << "the jump dialog opens";
  SetDlgItemTextW(dialog, 1006, L"250");
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(250, 1)));

  // 範囲設定行に設定 (the line-number menu's id 121): the modeless dialog takes
  // the label, which the function box then lists.
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(121, 0), 0);
  HWND labels = DialogCaptioned(L"\u7bc4\u56f2\u8a2d\u5b9a\u884c\u306b\u8a2d\u5b9a");
  ASSERT_NE(labels, nullptr) << "the label dialog opens";
  SetDlgItemTextW(labels, 1006, L"main");
  PostMessageW(labels, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  HWND functions = GetDlgItem(GetDlgItem(GetDlgItem(frame, 2050), 2052), 2058);
  ASSERT_NE(functions, nullptr);
  for (int i = 0; i < 200 && SendMessageW(functions, CB_GETCOUNT, 0, 0) != 1; ++i) Sleep(25);
  ASSERT_EQ(SendMessageW(functions, CB_GETCOUNT, 0, 0), 1);
  wchar_t item[64] = {};
  SendMessageW(functions, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"main:250");

  gvdrive::Screenshot(frame).SaveBmp(gvdrive::ScreenshotPath(L"editor-selection.bmp"));
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// A size chosen in the font band makes the rows taller.
TEST_F(EditorUi, TheFontBandChangesTheFont) {
  const std::wstring file = File(L"ui-font.txt", "one\r\ntwo\r\nthree\r\n");
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  HWND numbers = gvdrive::ChildByClass(frame, L"QVLineNum", L"QVLineNumWindow1");
  HWND band = GetDlgItem(GetDlgItem(frame, 2050), 2054);
  ASSERT_NE(band, nullptr);
  HWND sizes = GetDlgItem(band, 2057);
  ASSERT_NE(sizes, nullptr);
  const int before = RowHeight(gvdrive::ClientScreenshot(numbers));
  ASSERT_GT(before, 8);
  const LRESULT big = SendMessageW(sizes, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"24"));
  ASSERT_NE(big, CB_ERR);
  SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(big), 0);
  SendMessageW(frame, WM_COMMAND, MAKEWPARAM(2057, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
  gvdrive::BringToFront(frame);
  gvdrive::Settle(frame);
  Sleep(300);
  const int after = RowHeight(gvdrive::ClientScreenshot(numbers));
  EXPECT_GT(after, before + 8) << before << " -> " << after;
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// A key bound in the key tables the group publishes runs its command in an
// editor started after they were published (an editor started before keeps
// its own copy). Ctrl+E is bound to "MOVELINELAST" (code 35): the caret goes to
// the line's end.
TEST_F(EditorUi, AKeyBoundInTheGroupsTablesRunsItsCommand) {
  const std::wstring file = File(L"ui-bound.txt", "abcdef\r\nxy\r\n");
  const std::wstring other = File(L"ui-bound-first.txt", "first\r\n");
  EditorProcess first;
  HWND firstFrame = Open(first, other);  // makes the group
  ASSERT_NE(firstFrame, nullptr);
  const auto kernel = gorvane::ipc::CreateSystemKernel();
  std::string user;
  ASSERT_TRUE(kernel->UserName(&user));
  {
    auto mapping = kernel->OpenMapping(gorvane::ipc::ObjectNames(user).MainFile());
    ASSERT_TRUE(mapping);
    auto view = mapping->Map(0, 0x40000);
    ASSERT_TRUE(view);
    gorvane::base::RecordView page0(view->bytes());
    page0.Put<std::uint8_t>(gorvane::ipc::header::kKeyTables + 0 * 256 + 'E', 35);  // Ctrl+E: line end
  }
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  gvdrive::PressKeyIn(frame, 'E', {VK_CONTROL});
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 7)));
  gvdrive::PressKeyIn(firstFrame, 'E', {VK_CONTROL});  // handled (settled) before the field is read
  EXPECT_EQ(StatusField(firstFrame, 1), CaretText(1, 1));
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
  PostMessageW(firstFrame, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(), 0);
}

// A document with changes asks before it closes: Cancel keeps it open and
// changed, No closes without saving.
TEST_F(EditorUi, ClosingAModifiedDocumentAsks) {
  const std::string original = "first\r\nsecond";
  const std::wstring file = File(L"ui-close.txt", original);
  const std::wstring extra = File(L"ui-extra.txt", "inserted\r\n");
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);

  // Insert a file at the caret through the insert dialog.
  ASSERT_TRUE(gvdrive::InsertFileThroughDialog(editor.pid(), frame, extra)) << gvdrive::DescribeWindows(editor.pid());

  // Close: "ファイルが編集されています。\n保存しますか？" under "Gorvane　終了".
  const std::wstring caption = L"Gorvane\u3000\u7d42\u4e86";
  PostMessageW(frame, WM_CLOSE, 0, 0);
  HWND box = gvdrive::WaitForDialog(editor.pid(), caption.c_str());
  ASSERT_NE(box, nullptr);
  bool sawQuestion = false;
  for (const std::wstring& t : gvdrive::ChildTexts(box))
    if (t == L"\u30d5\u30a1\u30a4\u30eb\u304c\u7de8\u96c6\u3055\u308c\u3066\u3044\u307e\u3059\u3002\n\u4fdd\u5b58\u3057\u307e\u3059\u304b\uff1f")
      sawQuestion = true;
  EXPECT_TRUE(sawQuestion);
  PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(gvdrive::WaitUntil([&] { return !IsWindow(box); }, 5000));
  EXPECT_EQ(editor.Wait(500), -1) << "Cancel keeps the editor";
  EXPECT_TRUE(IsWindow(frame));

  PostMessageW(frame, WM_CLOSE, 0, 0);
  box = gvdrive::WaitForDialog(editor.pid(), caption.c_str());
  ASSERT_NE(box, nullptr);
  PostMessageW(box, WM_COMMAND, IDNO, 0);
  EXPECT_EQ(editor.Wait(), 0);
  EXPECT_EQ(gvdrive::ReadFileBytes(file), original) << "No closes without saving";
}

// A second start for the same file brings the first editor to the front and ends.
TEST_F(EditorUi, ASecondStartBringsTheFirstForward) {
  const std::wstring file = File(L"ui-twice.txt", "text\r\n");
  EditorProcess first;
  HWND frame = Open(first, file);
  ASSERT_NE(frame, nullptr);
  // Another window takes the front.
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(gvdrive::BringToFront(other));
  EditorProcess second;
  ASSERT_TRUE(second.Start(file));
  EXPECT_EQ(second.Wait(), 0);
  EXPECT_TRUE(gvdrive::TopWindows(second.pid(), L"Gorvane").empty());
  EXPECT_TRUE(gvdrive::WaitUntil([&] {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    return GetForegroundWindow() == frame;
  }, 5000)) << gvdrive::WindowText(GetForegroundWindow()) << " / " << IsIconic(frame);
  DestroyWindow(other);
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(), 0);
}

// The split button divides the edit area and makes it one again; each pane
// has its own caret line.
TEST_F(EditorUi, TheSplitButtonDividesTheView) {
  const std::wstring file = File(L"ui-split.txt", "one\r\ntwo\r\nthree\r\n");
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  HWND rebar = GetDlgItem(frame, 2050);
  ASSERT_NE(rebar, nullptr);
  HWND toolBar = GetDlgItem(rebar, 2051);
  ASSERT_NE(toolBar, nullptr);
  EXPECT_EQ(SendMessageW(toolBar, TB_BUTTONCOUNT, 0, 0), 21);
  for (int id : {2052, 2053, 2054}) EXPECT_NE(GetDlgItem(rebar, id), nullptr) << id;

  // Sent: it returns when the view is divided and laid out.
  SendMessageW(frame, WM_COMMAND, 1018, reinterpret_cast<LPARAM>(toolBar));
  HWND second = gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow2");
  ASSERT_NE(second, nullptr);
  RECT a{}, b{};
  GetWindowRect(gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow1"), &a);
  GetWindowRect(second, &b);
  EXPECT_LE(a.bottom, b.top);
  // The lower pane's caret goes to line 3; the upper one stays on line 1.
  SetForegroundWindow(frame);
  PostMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 2));
  gvdrive::Settle(frame);
  gvdrive::PressKeyIn(frame, VK_DOWN);
  gvdrive::PressKeyIn(frame, VK_DOWN);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(3, 1)));
  const gvdrive::Image shot = gvdrive::Screenshot(frame);
  shot.SaveBmp(gvdrive::ScreenshotPath(L"editor-split.bmp"));

  // The bar between the panes is dragged down by 60 pixels; it stops where
  // the lower pane would keep no more than 100.
  HWND bar = gvdrive::ChildByClass(frame, L"SeparateWindowClass");
  ASSERT_NE(bar, nullptr);
  auto topHeight = [&] {
    RECT r{};
    GetWindowRect(gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow1"), &r);
    return static_cast<int>(r.bottom - r.top);
  };
  const int before = topHeight();
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2));
  SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 62));
  SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 62));
  EXPECT_EQ(topHeight(), before + 60);
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2));
  SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 2000));
  SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 2000));
  RECT lower{};
  GetWindowRect(second, &lower);
  EXPECT_GT(lower.bottom - lower.top, 100);

  PostMessageW(frame, WM_COMMAND, 1018, reinterpret_cast<LPARAM>(toolBar));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow2") == nullptr; }));
  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// Start-ups never wait for good: a start-up mutex left by a thread that died
// is taken at once, and an info window that never comes up costs its bounded
// wait and a warning, after which the next editor starts too.
DWORD WINAPI TakeAndDie(LPVOID) {
  CreateMutexW(nullptr, TRUE, L"GorvaneStartErrorMutex");
  return 0;  // ends owning it: the mutex is abandoned
}

TEST_F(EditorUi, StartUpsNeverWaitForGood) {
  HANDLE thread = CreateThread(nullptr, 0, TakeAndDie, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  const std::wstring first = File(L"ui-abandoned.txt", "x\r\n");
  EditorProcess editor;
  const ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(editor.Start(first));
  ASSERT_NE(gvdrive::WaitForFrame(editor.pid(), 15000), nullptr);
  EXPECT_LT(GetTickCount64() - started, 15000u);
  for (HWND w : gvdrive::TopWindows(editor.pid(), L"Gorvane")) PostMessageW(w, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
  for (HWND w : gvdrive::TopWindows(0, L"VantrelInfoWindow")) PostMessageW(w, WM_CLOSE, 0, 0);
  ASSERT_TRUE(gvdrive::WaitUntil([] { return gvdrive::TopWindows(0, L"VantrelInfoWindow").empty(); }));

  // An installation whose info window ends at once (a program that is not
  // one, under its name).
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"gv-no-info-window\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* f : {L"Gorvane_0174.exe", L"QORVchar.dll", L"QORVetc.dll", L"QORVimage.dll", L"qvres.dll"})
    ASSERT_TRUE(CopyFileW((gvdrive::ProgramFolder() + f).c_str(), (folder + f).c_str(), FALSE)) << f;
  ASSERT_TRUE(CopyFileW((gvdrive::ProgramFolder() + L"gvtool.exe").c_str(), (folder + L"Vantrel.exe").c_str(), FALSE));
  // "情報ウィンドウのオープンに失敗しました。\n情報ウィンドウを利用する機能を利用することができません。"
  const std::wstring failed =
      L"\u60c5\u5831\u30a6\u30a3\u30f3\u30c9\u30a6\u306e\u30aa\u30fc\u30d7\u30f3\u306b\u5931\u6557\u3057\u307e\u3057"
      L"\u305f\u3002\n\u60c5\u5831\u30a6\u30a3\u30f3\u30c9\u30a6\u3092\u5229\u7528\u3059\u308b\u6a5f\u80fd\u3092\u5229"
      L"\u7528\u3059\u308b\u3053\u3068\u304c\u3067\u304d\u307e\u305b\u3093\u3002";
  EditorProcess lonely[2];
  for (int i = 0; i < 2; ++i) {
    const std::wstring file = File(L"ui-lonely" + std::to_wstring(i) + L".txt", "y\r\n");
    const ULONGLONG at = GetTickCount64();
    ASSERT_TRUE(lonely[i].StartIn(folder, file));
    HWND box = gvdrive::WaitForDialog(lonely[i].pid(), L"Gorvane", 20000);
    ASSERT_NE(box, nullptr) << "editor " << i;
    EXPECT_LT(GetTickCount64() - at, 15000u);
    bool said = false;
    for (const std::wstring& t : gvdrive::ChildTexts(box)) said = said || t == failed;
    EXPECT_TRUE(said) << "editor " << i;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(gvdrive::WaitForFrame(lonely[i].pid()), nullptr);
  }
  for (EditorProcess& e : lonely) {
    for (HWND w : gvdrive::TopWindows(e.pid(), L"Gorvane")) PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(e.Wait(), 0);
  }
  for (const wchar_t* f : {L"Gorvane_0174.exe", L"QORVchar.dll", L"QORVetc.dll", L"QORVimage.dll", L"qvres.dll", L"Vantrel.exe"})
    DeleteFileW((folder + f).c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

// The editor among its peers: requests from the info window that started it
// (saves, saves in another code, close), what it tells that info window, the
// modified byte the other editors read, a new document named when it is
// closed, the line-number column, and where frames and the info window
// stand. The test plays the info window where it needs to read what the
// editor sends. Every wait is bounded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/host.h"
#include "charcode/wide_text.h"
#include "ipc/instance_group.h"
#include "ipc/kernel.h"
#include "editor_fixture.h"
#include "ui_driver.h"

namespace {

using gvdrive::EditorProcess;
using gvdrive::InfoInbox;

class NoBoxes final : public gorvane::base::Host {
 public:
  gorvane::base::BoxAnswer ShowMessageBox(const gorvane::base::MessageBoxRequest&) override {
    return gorvane::base::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view) override {}
  void Beep() override {}
};

std::string Sjis(const std::wstring& w) { return gorvane::charcode::WideToSjis(std::wstring_view(w)); }
std::string Z(const std::string& s) { return s + std::string(1, '\0'); }

// The entry of the open-file table for a path (instance 0 when there is none).
gorvane::ipc::OpenFileEntry EntryFor(const std::wstring& path) {
  const auto kernel = gorvane::ipc::CreateSystemKernel();
  NoBoxes host;
  gorvane::ipc::InstanceGroup group(*kernel, host);
  std::string lower = Sjis(path);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (group.Observe())
    for (const gorvane::ipc::OpenFileEntry& e : group.OpenFiles())
      if (e.path == lower) return e;
  return {};
}

std::wstring StatusMessage(HWND frame) {
  const std::vector<std::wstring> fields = gvdrive::StatusFields(gvdrive::ChildByClass(frame, STATUSCLASSNAMEW));
  return fields.empty() ? L"" : fields[0];
}

using gvdrive::TitleModified;

using EditorRequests = gvdrive::EditorTest;

// Started by an info window: its saves, its save in another code and its
// autosave answer; the modified byte follows the document; the project check
// after a save; "@CLOSED@" with the file's number.
TEST_F(EditorRequests, AnEditorAnswersItsInfoWindow) {
  InfoInbox info(61);
  ASSERT_TRUE(info.ok());
  const std::wstring file = File(L"req-answers.txt", "one\r\ntwo");
  const std::wstring extra = File(L"req-extra.txt", "added\r\n");
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(file, L" /MS 61 /FN 5"));
  HWND frame = gvdrive::WaitForFrame(editor.pid());
  ASSERT_NE(frame, nullptr);
  gorvane::ipc::OpenFileEntry entry = EntryFor(file);
  ASSERT_NE(entry.instance, 0);
  EXPECT_EQ(entry.infoWindow, 61);
  EXPECT_FALSE(entry.modified);
  const int me = entry.instance;

  ASSERT_TRUE(gvdrive::InsertFileThroughDialog(editor.pid(), frame, extra));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return EntryFor(file).modified; }, 5000)) << "the modified byte is set";

  // "@SAVE@": saved, the modified byte and the title follow; the info window
  // is asked to check the project's options for the file.
  ASSERT_TRUE(InfoInbox::SendToEditor(me, "@SAVE@"));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return gvdrive::ReadFileBytes(file) == "added\r\none\r\ntwo"; }));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return !TitleModified(frame); }, 5000));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return !EntryFor(file).modified; }, 5000)) << "the modified byte is cleared";
  EXPECT_EQ(info.WaitFor("@CHECKPROJOPT@"), Z("@CHECKPROJOPT@ 1 " + std::to_string(me) + " " + Sjis(file)));

  // "@BULKCRLF@": UTF-8 with LF, answered to the info window named.
  ASSERT_TRUE(InfoInbox::SendToEditor(me, "@BULKCRLF@ 61 4 3"));
  EXPECT_EQ(info.WaitFor("@BULKCRLFRETURN@"), Z("@BULKCRLFRETURN@ 1"));
  EXPECT_EQ(gvdrive::ReadFileBytes(file), "added\none\ntwo");

  // "@AUTOSAVE@" from another editor, with nothing to save.
  const std::wstring asker = L"\\\\.\\mailslot\\QV174w7000" + gvdrive::UserName();
  HANDLE answers = CreateMailslotW(asker.c_str(), 0, 0, nullptr);
  ASSERT_NE(answers, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(InfoInbox::SendToEditor(me, "@AUTOSAVE@ 7000"));
  std::string answer;
  gvdrive::WaitUntil([&] {
    DWORD next = 0;
    if (!GetMailslotInfo(answers, nullptr, &next, nullptr, nullptr) || next == MAILSLOT_NO_MESSAGE) return false;
    answer.resize(next);
    DWORD got = 0;
    ReadFile(answers, answer.data(), next, &got, nullptr);
    answer.resize(got);
    return answer != std::string("@TEST@", 7);
  });
  CloseHandle(answers);
  EXPECT_EQ(answer, Z("@ANSAUTOSAVE@ 1"));
  EXPECT_EQ(StatusMessage(frame).rfind(L"\uff83\uff9e\uff70\uff80\u306b\u5909\u66f4\u306f\u3042\u308a\u307e\u305b\u3093\u3002", 0), 0u)
      << "ﾃﾞｰﾀに変更はありません。";

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
  EXPECT_EQ(info.WaitFor("@CLOSED@"), Z("@CLOSED@ 5"));
}

// A "/FN" that is not a number ends the editor at once, but the info window
// that started it hears "@CANTOPEN@".
TEST_F(EditorRequests, ABadFileNumberStillTellsTheInfoWindow) {
  InfoInbox info(62);
  ASSERT_TRUE(info.ok());
  const std::wstring file = File(L"req-badfn.txt", "x");
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(file, L" /MS 62 /FN 3x"));
  EXPECT_EQ(editor.Wait(), 0);
  EXPECT_TRUE(gvdrive::TopWindows(editor.pid(), L"Gorvane").empty());
  EXPECT_EQ(info.WaitFor("@CANTOPEN@", 2000), Z("@CANTOPEN@"));
}

// Closing a changed document that has no file yet: Yes leads to the Save As
// dialog; its Cancel keeps the editor, a name saves the document and closes.
TEST_F(EditorRequests, ClosingANewDocumentNamesItFirst) {
  const std::wstring extra = File(L"req-new-extra.txt", "added\r\n");
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring target = std::wstring(folder) + L"req-named.txt";
  DeleteFileW(target.c_str());
  files_.push_back(target);
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(L""));
  HWND frame = gvdrive::WaitForFrame(editor.pid());
  ASSERT_NE(frame, nullptr);
  gvdrive::BringEditorForward(frame);
  ASSERT_TRUE(gvdrive::InsertFileThroughDialog(editor.pid(), frame, extra));

  const std::wstring caption = L"Gorvane\u3000\u7d42\u4e86";              // "Gorvane　終了"
  const std::wstring saveAs = L"\u540d\u524d\u3092\u4ed8\u3051\u3066\u4fdd\u5b58";  // "名前を付けて保存"
  for (int round = 0; round < 2; ++round) {
    PostMessageW(frame, WM_CLOSE, 0, 0);
    HWND box = gvdrive::WaitForDialog(editor.pid(), caption.c_str());
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    HWND dialog = gvdrive::WaitForDialog(editor.pid(), saveAs.c_str());
    ASSERT_NE(dialog, nullptr) << gvdrive::DescribeWindows(editor.pid());
    if (round == 0) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      ASSERT_TRUE(gvdrive::WaitUntil([&] { return !IsWindow(dialog); }, 5000));
      EXPECT_EQ(editor.Wait(500), -1) << "Cancel keeps the editor";
      EXPECT_TRUE(TitleModified(frame));
      continue;
    }
    Sleep(300);
    ASSERT_TRUE(SetDlgItemTextW(dialog, 0x47c, target.c_str()) || SetDlgItemTextW(dialog, 0x480, target.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
  EXPECT_EQ(editor.Wait(), 0);
  EXPECT_EQ(gvdrive::ReadFileBytes(target), "added\r\n");
}

// The line-number column is as wide as the largest number needs, and widens
// as the line count passes 99,999; the second pane's column is as wide.
TEST_F(EditorRequests, LineNumbersWidenPastAPowerOfTen) {
  std::string text;
  for (int i = 1; i < 99999; ++i) text += "x\r\n";
  text += "x";
  const std::wstring file = File(L"req-99999.txt", text);
  const std::wstring extra = File(L"req-one-line.txt", "y\r\n");
  const std::wstring small = File(L"req-small.txt", "a\r\nb");
  auto widthIn = [](HWND frame, const wchar_t* name) {
    RECT r{};
    GetWindowRect(FindWindowExW(frame, nullptr, L"QVLineNum", name), &r);
    return static_cast<int>(r.right - r.left);
  };
  // A small file's column, for four digits.
  int four = 0;
  {
    EditorProcess editor;
    ASSERT_TRUE(editor.Start(small));
    HWND frame = gvdrive::WaitForFrame(editor.pid());
    ASSERT_NE(frame, nullptr);
    four = widthIn(frame, L"QVLineNumWindow1");
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(editor.Wait(), 0);
  }
  EditorProcess editor;
  ASSERT_TRUE(editor.Start(file));
  HWND frame = gvdrive::WaitForFrame(editor.pid());
  ASSERT_NE(frame, nullptr);
  gvdrive::BringEditorForward(frame);
  auto width = [&](const wchar_t* name) { return widthIn(frame, name); };
  const int five = width(L"QVLineNumWindow1");
  EXPECT_GE(five - four, 4) << "a file of 99,999 lines opens with room for five digits: " << four << " " << five;
  ASSERT_TRUE(gvdrive::InsertFileThroughDialog(editor.pid(), frame, extra));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return width(L"QVLineNumWindow1") > five; }, 5000)) << five;
  const int six = width(L"QVLineNumWindow1");
  // One digit more (a digit is some pixels wide).
  EXPECT_GE(six - five, 4) << five << " " << six;
  SendMessageW(frame, WM_COMMAND, 47, 0);
  EXPECT_EQ(width(L"QVLineNumWindow2"), six);

  PostMessageW(frame, WM_CLOSE, 0, 0);
  HWND box = gvdrive::WaitForDialog(editor.pid(), L"Gorvane\u3000\u7d42\u4e86");
  ASSERT_NE(box, nullptr);
  PostMessageW(box, WM_COMMAND, IDNO, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// Editors started one after another do not stand on each other; each is in
// front after its start, above the info window, which is started with the
// file's short name.
TEST_F(EditorRequests, FramesStandApartAndInFront) {
  const std::wstring a = File(L"req-first-of-two.txt", "a\r\n"), b = File(L"req-second-of-two.txt", "b\r\n");
  EditorProcess first, second;
  ASSERT_TRUE(first.Start(a));
  HWND frameA = gvdrive::WaitForFrame(first.pid());
  ASSERT_NE(frameA, nullptr);
  HWND info = nullptr;
  ASSERT_TRUE(gvdrive::WaitUntil([&] {
    for (HWND w : gvdrive::TopWindows(0, L"VantrelInfoWindow"))
      if (IsWindowVisible(w)) info = w;
    return info != nullptr;
  }));
  wchar_t shortName[MAX_PATH];
  const DWORD n = GetShortPathNameW(a.c_str(), shortName, MAX_PATH);
  ASSERT_GT(n, 0u);
  const std::wstring title = gvdrive::WindowText(info);
  EXPECT_NE(title.find(std::wstring(shortName, n)), std::wstring::npos) << Sjis(title);
  // Above its info window: nothing before the frame in the z-order is the info window.
  EXPECT_TRUE(gvdrive::WaitUntil([&] {
    for (HWND w = GetWindow(frameA, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
      if (w == info) return false;
    return true;
  }, 3000));

  ASSERT_TRUE(second.Start(b));
  HWND frameB = gvdrive::WaitForFrame(second.pid());
  ASSERT_NE(frameB, nullptr);
  Sleep(500);
  RECT ra{}, rb{};
  GetWindowRect(frameA, &ra);
  GetWindowRect(frameB, &rb);
  EXPECT_TRUE(ra.left != rb.left || ra.top != rb.top) << ra.left << "," << ra.top;
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return GetForegroundWindow() == frameB; }, 3000));

  PostMessageW(frameB, WM_CLOSE, 0, 0);
  EXPECT_EQ(second.Wait(), 0);
  PostMessageW(frameA, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(), 0);
}

// Editors started at the same moment come to one info window: each holds the
// start-up mutex until its info window's first message reaches it, and none
// holds it for long.
TEST_F(EditorRequests, EditorsStartedTogetherShareOneInfoWindow) {
  const std::wstring a = File(L"req-together-a.txt", "a\r\n"), b = File(L"req-together-b.txt", "b\r\n");
  EditorProcess first, second;
  ASSERT_TRUE(first.Start(a));
  ASSERT_TRUE(second.Start(b));
  HWND frameA = gvdrive::WaitForFrame(first.pid()), frameB = gvdrive::WaitForFrame(second.pid());
  ASSERT_NE(frameA, nullptr);
  ASSERT_NE(frameB, nullptr);
  // Both up: the start-up mutex is free again (well before its time limit).
  HANDLE startup = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"GorvaneStartErrorMutex");
  if (startup) {
    const DWORD got = WaitForSingleObject(startup, 3000);
    EXPECT_TRUE(got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) << got;
    ReleaseMutex(startup);
    CloseHandle(startup);
  }
  const gorvane::ipc::OpenFileEntry ea = EntryFor(a), eb = EntryFor(b);
  EXPECT_EQ(ea.infoWindow, eb.infoWindow);
  Sleep(500);
  int shown = 0;
  for (HWND w : gvdrive::TopWindows(0, L"VantrelInfoWindow"))
    if (IsWindowVisible(w)) ++shown;
  EXPECT_EQ(shown, 1);
  // One after the other: a close refuses while another editor of the group
  // is at document-changing work (closing is).
  PostMessageW(frameA, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(), 0);
  PostMessageW(frameB, WM_CLOSE, 0, 0);
  EXPECT_EQ(second.Wait(), 0);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The search band and the search dialog in the editor's windows: a word typed
// into the search combo and Enter select the word in the document, an option
// button changes what is found and which buttons may be used, the dialog's
// text is what the next search finds (an empty one is refused and the dialog
// stays), and the dialog's settings reach the info window and, shared, a
// second editor's search band. The info window is played by the test. Every
// wait is bounded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "editor_fixture.h"
#include "ui_driver.h"

namespace {

using gvdrive::CaretText;
using gvdrive::EditorProcess;
using gvdrive::InfoInbox;
using gvdrive::Narrow;
using gvdrive::StatusField;
using gvdrive::StatusFieldBecomes;

constexpr int kCopy = 7, kSearchDialog = 13, kSearchUpButton = 1009, kSearchDownButton = 1010;
constexpr int kCaseButton = 2064, kFuzzyButton = 2067, kRegexButton = 2070;
// The dialog's controls.
constexpr int kDialogText = 1003, kDialogFuzzy = 1005, kDialogShare = 1033, kDialogApply = 1027;
constexpr int kDialogInFiles = 1008, kDialogTypeFilter = 1028;

std::string Z(const std::string& s) { return s + std::string(1, '\0'); }

void Command(HWND frame, int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_BLOCK, 10000, &result);
}

HWND SearchBand(HWND frame) { return GetDlgItem(GetDlgItem(frame, 2050), 2053); }
HWND SearchCombo(HWND frame) { return GetDlgItem(SearchBand(frame), 2055); }

// A window's text, asked of its own process.
std::wstring TextOf(HWND w) {
  wchar_t text[600] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &got);
  return text;
}

testing::AssertionResult ComboTextBecomes(HWND frame, const std::wstring& wanted) {
  if (gvdrive::WaitUntil([&] { return TextOf(SearchCombo(frame)) == wanted; }, 5000))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the search combo shows \"" << Narrow(TextOf(SearchCombo(frame))) << "\"";
}

bool Checked(HWND frame, int button) {
  return SendMessageW(GetDlgItem(SearchBand(frame), button), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool Enabled(HWND frame, int button) { return IsWindowEnabled(GetDlgItem(SearchBand(frame), button)) != 0; }

// The person clicks an option button.
void Click(HWND button) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_BLOCK, 5000, &result);
}

// The person replaces the search combo's text by typing, and presses Enter.
void TypeIntoCombo(HWND frame, const std::wstring& units) {
  HWND edit = GetWindow(SearchCombo(frame), GW_CHILD);
  PostMessageW(edit, EM_SETSEL, 0, -1);
  for (wchar_t u : units) PostMessageW(edit, WM_CHAR, u, 1);
}
void PressEnterInCombo(HWND frame) {
  HWND edit = GetWindow(SearchCombo(frame), GW_CHILD);
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
}

// The selected text, copied by the editor and read from the clipboard.
std::wstring Selected(HWND frame) {
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  EmptyClipboard();
  CloseClipboard();
  Command(frame, kCopy);
  std::wstring out;
  gvdrive::WaitUntil([&] {
    if (!OpenClipboard(nullptr)) return false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      const auto* units = static_cast<const wchar_t*>(GlobalLock(data));
      out.assign(units, wcsnlen(units, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return !out.empty();
  }, 5000);
  return out;
}

// The search dialog of the editor, opened from the menu.
HWND OpenSearchDialog(EditorProcess& editor, HWND frame) {
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(kSearchDialog, 0), 0);
  return gvdrive::WaitForDialog(editor.pid(), L"\u691c\u7d22", 10000);  // "検索"
}

class EditorSearch : public gvdrive::EditorTest {
 protected:
  // An editor started by the test's info window, with its search band.
  HWND Open(EditorProcess& editor, const std::wstring& file, int infoWindow, int fileNumber) {
    if (!editor.Start(file, L" /MS " + std::to_wstring(infoWindow) + L" /FN " + std::to_wstring(fileNumber)))
      return nullptr;
    HWND frame = gvdrive::WaitForFrame(editor.pid());
    if (!frame || !StatusFieldBecomes(frame, 1, CaretText(1, 1))) return nullptr;
    return gvdrive::WaitUntil([&] { return SearchCombo(frame) != nullptr; }, 5000) ? frame : nullptr;
  }
};

// The search band: a Japanese word typed and Enter select it; "区別" checked
// finds the upper-case text upward instead of the nearer lower-case one, and
// "正規" disables the buttons that do not go with it.
TEST_F(EditorSearch, TheSearchBandFindsWhatIsTyped) {
  InfoInbox info(71);
  ASSERT_TRUE(info.ok());
  // "ABC abc" / "検索 テスト end"
  const std::wstring file = File(L"search-band.txt", "ABC abc\r\n\x8c\x9f\x8d\xf5 \x83\x65\x83\x58\x83\x67 end\r\n");
  EditorProcess editor;
  HWND frame = Open(editor, file, 71, 1);
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(IsWindowEnabled(SearchCombo(frame)));

  TypeIntoCombo(frame, L"\u30c6\u30b9\u30c8");  // "テスト"
  PressEnterInCombo(frame);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(2, 6)));
  EXPECT_EQ(Selected(frame), L"\u30c6\u30b9\u30c8");
  EXPECT_TRUE(ComboTextBecomes(frame, L"\u30c6\u30b9\u30c8"));

  TypeIntoCombo(frame, L"ABC");
  EXPECT_TRUE(ComboTextBecomes(frame, L"ABC"));
  EXPECT_FALSE(Checked(frame, kCaseButton));
  Click(GetDlgItem(SearchBand(frame), kCaseButton));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return Checked(frame, kCaseButton); }, 5000));
  Command(frame, kSearchUpButton);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 4))) << "the upper-case ABC, not the nearer abc";
  EXPECT_EQ(Selected(frame), L"ABC");
  // The history: the latest first.
  HWND combo = SearchCombo(frame);
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
  wchar_t item[16] = {};
  SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_EQ(std::wstring(item), L"\u30c6\u30b9\u30c8");

  EXPECT_TRUE(Enabled(frame, kFuzzyButton));
  Click(GetDlgItem(SearchBand(frame), kRegexButton));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return !Enabled(frame, kFuzzyButton); }, 5000)) << "曖昧 goes with 正規";
  EXPECT_TRUE(Enabled(frame, kCaseButton));
  Click(GetDlgItem(SearchBand(frame), kRegexButton));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return Enabled(frame, kFuzzyButton); }, 5000));

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// The dialog: an empty text is told in a box and the dialog stays; a text
// applied is in the search band and the next search down finds it.
TEST_F(EditorSearch, TheDialogsTextIsFoundNext) {
  InfoInbox info(72);
  ASSERT_TRUE(info.ok());
  const std::wstring file = File(L"search-dialog.txt", "one end\r\ntwo end\r\n");
  EditorProcess editor;
  HWND frame = Open(editor, file, 72, 1);
  ASSERT_NE(frame, nullptr);

  HWND dialog = OpenSearchDialog(editor, frame);
  ASSERT_NE(dialog, nullptr) << Narrow(gvdrive::DescribeWindows(editor.pid()));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kDialogInFiles))) << "the info window is there";
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kDialogTypeFilter)));
  SendMessageW(GetDlgItem(dialog, kDialogText), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kDialogApply, BN_CLICKED), 0);
  HWND box = gvdrive::WaitForDialog(editor.pid(), L"Gorvane", 10000);
  ASSERT_NE(box, nullptr);
  // "検索文字列が設定されていません。"
  const std::vector<std::wstring> texts = gvdrive::ChildTexts(box);
  bool told = false;
  for (const std::wstring& t : texts)
    told = told || t == L"\u691c\u7d22\u6587\u5b57\u5217\u304c\u8a2d\u5b9a\u3055\u308c\u3066\u3044\u307e\u305b\u3093\u3002";
  EXPECT_TRUE(told);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(gvdrive::WaitUntil([&] { return !IsWindow(box); }, 5000));
  EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays";

  SendMessageW(GetDlgItem(dialog, kDialogText), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"end"));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kDialogApply, BN_CLICKED), 0);
  ASSERT_TRUE(gvdrive::WaitUntil([&] { return !IsWindow(dialog); }, 5000));
  EXPECT_TRUE(ComboTextBecomes(frame, L"end"));
  EXPECT_EQ(StatusField(frame, 0), L"\u691c\u7d22\u6587\u5b57\u5217 = end");  // "検索文字列 = end"
  Command(frame, kSearchDownButton);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 5)));
  EXPECT_EQ(Selected(frame), L"end");
  Command(frame, kSearchDownButton);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(2, 5)));
  // Not shared: only the info window heard of it.
  EXPECT_EQ(info.WaitFor("@SETSCHDATA@"), Z("@SETSCHDATA@ 0 0 0 0  end"));

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// Shared: the info window and the other editor of the same info window take
// the dialog's text and options; the other editor's band shows them.
TEST_F(EditorSearch, SharedSettingsReachTheOtherEditor) {
  InfoInbox info(73);
  ASSERT_TRUE(info.ok());
  const std::wstring a = File(L"search-share-a.txt", "a\r\n"), b = File(L"search-share-b.txt", "b\r\n");
  EditorProcess first, second;
  HWND frameA = Open(first, a, 73, 1);
  ASSERT_NE(frameA, nullptr);
  HWND frameB = Open(second, b, 73, 2);
  ASSERT_NE(frameB, nullptr);

  HWND dialog = OpenSearchDialog(first, frameA);
  ASSERT_NE(dialog, nullptr);
  SendMessageW(GetDlgItem(dialog, kDialogText), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\u5171\u6709 x"));  // "共有 x"
  Click(GetDlgItem(dialog, kDialogFuzzy));
  Click(GetDlgItem(dialog, kDialogShare));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(gvdrive::WaitUntil([&] { return !IsWindow(dialog); }, 5000));

  EXPECT_EQ(info.WaitFor("@SETSCHDATA@"), Z("@SETSCHDATA@ 0 8 0 1  \x8b\xa4\x97\x4c x"));
  EXPECT_TRUE(ComboTextBecomes(frameB, L"\u5171\u6709 x"));
  EXPECT_TRUE(gvdrive::WaitUntil([&] { return Checked(frameB, kFuzzyButton); }, 5000));
  EXPECT_FALSE(Checked(frameB, kCaseButton));

  PostMessageW(frameB, WM_CLOSE, 0, 0);
  EXPECT_EQ(second.Wait(), 0);
  PostMessageW(frameA, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(), 0);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

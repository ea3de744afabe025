// Typing, the clipboard, undo and saving in the editor's windows: characters
// as the window gets them (UTF-16 units), an input-method result, a clipboard
// shared with this program, the undo commands from the menu, and the bytes a
// save writes. Every wait is bounded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "editor_fixture.h"
#include "ui_driver.h"

namespace {

using gvdrive::EditorProcess;

// WM_COPYDATA with this tag gives an edit view's input method a text as its
// composition and completes it (the tests cannot type into an input method):
// the result comes back to the view as the input method's result.
constexpr ULONG_PTR kCompositionResultData = 0x47565245;

// The menu and tool-bar ids.
constexpr int kCut = 6, kCopy = 7, kPaste = 8, kUndo = 9, kRedo = 10, kSelectAll = 11, kSave = 37, kToUpper = 62;
constexpr int kClearUndo = 101, kUndoButton = 1006, kRedoButton = 1007;

using gvdrive::CaretText;
using gvdrive::StatusField;
using gvdrive::StatusFieldBecomes;
using gvdrive::Narrow;
using gvdrive::TitleModified;

testing::AssertionResult ModifiedBecomes(HWND frame, bool modified) {
  if (gvdrive::WaitUntil([&] { return TitleModified(frame) == modified; }, 5000)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the title is \"" << Narrow(gvdrive::WindowText(frame)) << "\"";
}

testing::AssertionResult FileBecomes(const std::wstring& path, const std::string& bytes) {
  if (gvdrive::WaitUntil([&] { return gvdrive::ReadFileBytes(path) == bytes; }, 5000)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the file holds \"" << gvdrive::ReadFileBytes(path) << "\"";
}

// A menu command that asks nothing, carried out before this returns.
void Command(HWND frame, int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_BLOCK, 10000, &result);
}

bool ButtonEnabled(HWND frame, int id) {
  HWND toolBar = GetDlgItem(GetDlgItem(frame, 2050), 2051);
  return SendMessageW(toolBar, TB_ISBUTTONENABLED, static_cast<WPARAM>(id), 0) != 0;
}

// Characters as the window gets them from the keyboard: UTF-16 units
// (posted; the caret field tells when they are in).
void Type(HWND view, const std::wstring& units) {
  for (wchar_t u : units) PostMessageW(view, WM_CHAR, u, 1);
}

bool TypeInputMethodResult(HWND view, const std::wstring& text) {
  COPYDATASTRUCT data{kCompositionResultData, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                      const_cast<wchar_t*>(text.data())};
  return SendMessageW(view, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != 0;
}

// The system caret of the view's thread: its window and rectangle.
GUITHREADINFO Caret(HWND view) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(view, nullptr), &info);
  return info;
}

bool PutOnClipboard(const std::wstring& text) {
  for (int i = 0; i < 50; ++i) {
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
      if (block) {
        std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(block);
        if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
      }
      CloseClipboard();
      return block != nullptr;
    }
    Sleep(20);
  }
  return false;
}

// What another program reads from the clipboard in a format ("" when none).
std::string FromClipboard(UINT format) {
  std::string out;
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  if (HANDLE data = GetClipboardData(format)) {
    const char* p = static_cast<const char*>(GlobalLock(data));
    const SIZE_T size = GlobalSize(data);
    if (format == CF_UNICODETEXT) {
      const auto* units = reinterpret_cast<const wchar_t*>(p);
      const std::size_t n = wcsnlen(units, size / sizeof(wchar_t));
      out.assign(p, n * sizeof(wchar_t));
    } else {
      out.assign(p, strnlen(p, size));
    }
    GlobalUnlock(data);
  }
  CloseClipboard();
  return out;
}

std::string Utf16Bytes(const std::wstring& w) { return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2); }

class EditorEditing : public gvdrive::EditorTest {
 protected:
  // Starts the editor and waits for its frame, in front, with its caret.
  HWND Open(EditorProcess& editor, const std::wstring& file) {
    HWND frame = OpenInFront(editor, file);
    return frame && StatusFieldBecomes(frame, 1, CaretText(1, 1)) ? frame : nullptr;
  }
  static HWND View(HWND frame) { return gvdrive::ChildByClass(frame, L"QVChild", L"QVChildWindow1"); }
};

// Typed characters go in as Shift-JIS, wherever the system's code page: a
// key, ASCII and Japanese as UTF-16 units, a character beyond code page 932
// (a surrogate pair) as "?", an input-method result at once; the caret is
// shown after them; Insert switches to overwriting; a save writes the bytes.
TEST_F(EditorEditing, TypedTextGoesInAsShiftJis) {
  const std::wstring file = File(L"edit-typing.txt", "end\r\n");
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  HWND view = View(frame);
  ASSERT_NE(view, nullptr);
  const GUITHREADINFO before = Caret(view);
  EXPECT_EQ(before.hwndCaret, view) << "the focused view has the caret";
  EXPECT_TRUE(StatusFieldBecomes(frame, 3, L"\u633f\u5165"));  // "挿入"
  EXPECT_FALSE(TitleModified(frame));
  EXPECT_FALSE(ButtonEnabled(frame, kUndoButton));

  gvdrive::PressKeyIn(frame, 'Q');  // through the keyboard: "q"
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 2)));
  Type(view, L"b\u3042");  // "b", "あ"
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 5)));
  const GUITHREADINFO after = Caret(view);
  EXPECT_EQ(after.hwndCaret, view);
  EXPECT_GT(after.rcCaret.left, before.rcCaret.left) << "the caret follows the text";
  EXPECT_TRUE(ModifiedBecomes(frame, true));
  EXPECT_TRUE(ButtonEnabled(frame, kUndoButton));
  EXPECT_FALSE(ButtonEnabled(frame, kRedoButton));
  EXPECT_EQ(StatusField(frame, 8), L"100%");

  Type(view, L"\xd842\xdfb7");  // U+20BB7: one character, no Shift-JIS code
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 6)));
  // "シフトＪＩＳコードに無い文字は ? に置き換えられました。"
  EXPECT_EQ(StatusField(frame, 0),
            L"\u30b7\u30d5\u30c8\uff2a\uff29\uff33\u30b3\u30fc\u30c9\u306b\u7121\u3044\u6587\u5b57\u306f ? \u306b"
            L"\u7f6e\u304d\u63db\u3048\u3089\u308c\u307e\u3057\u305f\u3002");
  ASSERT_TRUE(TypeInputMethodResult(view, L"\u65e5\u672c\u8a9e"));  // "日本語" at once, and once
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 12)));

  // Insert: overwriting, with a wider caret; "X" takes the place of "e".
  gvdrive::PressKeyIn(frame, VK_INSERT);
  EXPECT_TRUE(StatusFieldBecomes(frame, 3, L"\u4e0a\u66f8"));  // "上書"
  const GUITHREADINFO wide = Caret(view);
  EXPECT_GT(wide.rcCaret.right - wide.rcCaret.left, after.rcCaret.right - after.rcCaret.left);
  Type(view, L"X");
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 13)));

  Command(frame, kSave);
  EXPECT_TRUE(ModifiedBecomes(frame, false));
  const std::string typed = "qb\x82\xa0?\x93\xfa\x96\x7b\x8c\xea";
  EXPECT_TRUE(FileBecomes(file, typed + "Xnd\r\n"));
  EXPECT_TRUE(ButtonEnabled(frame, kUndoButton)) << "a save keeps what can be undone";

  // Undo from the menu: "e" is back, and the document differs from its file.
  Command(frame, kUndo);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 12)));
  EXPECT_TRUE(ModifiedBecomes(frame, true));
  EXPECT_TRUE(ButtonEnabled(frame, kRedoButton));
  Command(frame, kSave);
  EXPECT_TRUE(FileBecomes(file, typed + "end\r\n"));
  EXPECT_TRUE(ModifiedBecomes(frame, false));

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0) << "a saved document closes without a question";
}

// The clipboard is shared with this program: what it puts there is pasted
// (a character without a Shift-JIS code as "?", after a box), what the editor
// copies it reads as UTF-16 and as Shift-JIS; undo takes the paste back to the
// saved state, redo brings it again, a conversion and a cut from the menu.
TEST_F(EditorEditing, TheClipboardGoesBothWays) {
  const std::string original = "one\r\ntwo\r\n";
  const std::wstring file = File(L"edit-clipboard.txt", original);
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);

  // "貼り付け" CR LF "X", pasted before "one": the caret after "X".
  ASSERT_TRUE(PutOnClipboard(L"\u8cbc\u308a\u4ed8\u3051\r\nX"));
  Command(frame, kPaste);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(2, 2)));
  EXPECT_TRUE(ModifiedBecomes(frame, true));
  const std::string pasted = "\x93\x5c\x82\xe8\x95\x74\x82\xaf\r\nX";

  // Select all and copy: both forms of the whole text.
  Command(frame, kSelectAll);
  Command(frame, kCopy);
  EXPECT_EQ(FromClipboard(CF_UNICODETEXT), Utf16Bytes(L"\u8cbc\u308a\u4ed8\u3051\r\nXone\r\ntwo\r\n"));
  EXPECT_EQ(FromClipboard(CF_TEXT), pasted + original);

  // Undo from the menu: back to the file as it was (the title says so too).
  Command(frame, kUndo);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  EXPECT_TRUE(ModifiedBecomes(frame, false));
  EXPECT_FALSE(ButtonEnabled(frame, kUndoButton));
  EXPECT_TRUE(ButtonEnabled(frame, kRedoButton));
  Command(frame, kRedo);
  EXPECT_TRUE(ModifiedBecomes(frame, true));
  Command(frame, kSave);
  EXPECT_TRUE(FileBecomes(file, pasted + original));

  // "→大文字" on everything, then cut it all; the clipboard holds it.
  const std::string upper = pasted + "ONE\r\nTWO\r\n";
  Command(frame, kSelectAll);
  Command(frame, kToUpper);
  Command(frame, kSave);
  EXPECT_TRUE(FileBecomes(file, upper));
  Command(frame, kSelectAll);
  Command(frame, kCut);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 1)));
  EXPECT_EQ(FromClipboard(CF_TEXT), upper);

  // "é" has no Shift-JIS code: the box says so, "?" goes in.
  ASSERT_TRUE(PutOnClipboard(L"a\u00e9"));
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(kPaste, 0), 0);
  HWND box = gvdrive::WaitForDialog(editor.pid(), L"\u78ba\u8a8d");  // "確認"
  ASSERT_NE(box, nullptr) << gvdrive::DescribeWindows(editor.pid());
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(StatusFieldBecomes(frame, 1, CaretText(1, 3)));
  Command(frame, kSave);
  EXPECT_TRUE(FileBecomes(file, "a?"));

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

// An inserted file is one change: undo takes all of it out again and the
// document is its file's once more; clearing the undo buffer asks first.
TEST_F(EditorEditing, AnInsertedFileIsUndoneInOneStep) {
  const std::string original = "first\r\nsecond";
  const std::wstring file = File(L"edit-insert.txt", original);
  const std::wstring extra = File(L"edit-insert-extra.txt", "inserted\r\nlines\r\nend");
  EditorProcess editor;
  HWND frame = Open(editor, file);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(gvdrive::InsertFileThroughDialog(editor.pid(), frame, extra)) << gvdrive::DescribeWindows(editor.pid());
  EXPECT_TRUE(ButtonEnabled(frame, kUndoButton));

  Command(frame, kUndo);
  EXPECT_TRUE(ModifiedBecomes(frame, false));
  Command(frame, kRedo);
  EXPECT_TRUE(ModifiedBecomes(frame, true));
  Command(frame, kSave);
  EXPECT_TRUE(FileBecomes(file, "inserted\r\nlines\r\nendfirst\r\nsecond"));

  // "アンドゥバッファをクリアします。よろしいですか？" Yes.
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(kClearUndo, 0), 0);
  HWND box = gvdrive::WaitForDialog(editor.pid(), L"Gorvane");
  ASSERT_NE(box, nullptr);
  PostMessageW(box, WM_COMMAND, IDYES, 0);
  EXPECT_TRUE(StatusFieldBecomes(frame, 0, L"\uff71\uff9d\uff84\uff9e\uff69\uff8a\uff9e\uff6f\uff8c\uff67\u3092\uff78\uff98"
                                     L"\uff71\u3057\u307e\u3057\u305f\u3002"));  // "ｱﾝﾄﾞｩﾊﾞｯﾌｧをｸﾘｱしました。"
  EXPECT_FALSE(ButtonEnabled(frame, kUndoButton));
  EXPECT_FALSE(ButtonEnabled(frame, kRedoButton));

  PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

}  // namespace

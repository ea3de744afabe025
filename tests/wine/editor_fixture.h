// What the editor's window tests share: files made for a test and removed
// after it, and the info windows the editors started closed after it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_driver.h"

namespace gvdrive {

// A field of a frame's status bar without its padding ("<none>" when the bar
// has no such field).
inline std::wstring StatusField(HWND frame, std::size_t field) {
  const std::vector<std::wstring> fields = StatusFields(ChildByClass(frame, STATUSCLASSNAMEW));
  if (field >= fields.size()) return L"<none>";
  std::wstring f = fields[field];
  while (!f.empty() && (f.back() == L'\u3000' || f.back() == L' ')) f.pop_back();
  return f;
}

// A wide text for a failure message: ASCII as it is, the rest as \uXXXX.
inline std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[12];
      wsprintfA(hex, "\\u%04x", static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out;
}

inline testing::AssertionResult StatusFieldBecomes(HWND frame, std::size_t field, const std::wstring& wanted) {
  if (WaitUntil([&] { return StatusField(frame, field) == wanted; }, 5000)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "field " << field << " shows \"" << Narrow(StatusField(frame, field))
                                     << "\", not \"" << Narrow(wanted) << "\"";
}

// The caret field's text, "%d 行, %d ﾊﾞｲﾄ".
inline std::wstring CaretText(int line, int column) {
  return std::to_wstring(line) + L" \u884c, " + std::to_wstring(column) + L" \uff8a\uff9e\uff72\uff84";
}

// The frame's title ends in " *" while the document is modified.
inline bool TitleModified(HWND frame) {
  const std::wstring t = WindowText(frame);
  return t.size() > 2 && t.substr(t.size() - 2) == L" *";
}

class EditorTest : public ::testing::Test {
 protected:
  // Starts the editor on a file and waits for its frame, in front, settled.
  HWND OpenInFront(EditorProcess& editor, const std::wstring& file) {
    if (!editor.Start(file)) return nullptr;
    HWND frame = WaitForFrame(editor.pid());
    if (!frame) return nullptr;
    BringEditorForward(frame);
    return frame;
  }
  void TearDown() override {
    for (HWND w : TopWindows(0, L"VantrelInfoWindow")) PostMessageW(w, WM_CLOSE, 0, 0);
    Sleep(200);
    for (const std::wstring& f : files_) DeleteFileW(f.c_str());
  }
  // A file in the temporary folder with the bytes, removed after the test.
  std::wstring File(const std::wstring& name, const std::string& bytes) {
    files_.push_back(TempFile(name, bytes));
    return files_.back();
  }
  std::vector<std::wstring> files_;
};

}  // namespace gvdrive

// What the editor's window tests share: files made for a test and removed
// after it, and the info windows the editors started closed after it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_driver.h"

namespace gvdrive {

class EditorTest : public ::testing::Test {
 protected:
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

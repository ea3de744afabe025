// gvdrive: drives the editor from outside, as a person would.
//   gvdrive shot OUT.bmp FILE [EXTRA-ARGS]   start the editor on FILE, wait for
//                                            its window, bring it to the front,
//                                            save a screenshot, close it
// Exit code 0 on success.
#include <cstdio>
#include <string>

#include "ui_driver.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || std::wstring(argv[1]) != L"shot") {
    std::fprintf(stderr, "usage: gvdrive shot OUT.bmp FILE [EXTRA-ARGS]\n");
    return 2;
  }
  const std::wstring out = argv[2], file = argv[3];
  std::wstring more;
  for (int i = 4; i < argc; ++i) more += std::wstring(L" ") + argv[i];
  gvdrive::EditorProcess editor;
  if (!editor.Start(file, more)) {
    std::fprintf(stderr, "gvdrive: the editor could not be started\n");
    return 1;
  }
  HWND frame = gvdrive::WaitForFrame(editor.pid());
  if (!frame) {
    std::fprintf(stderr, "gvdrive: no editor window appeared\n");
    return 1;
  }
  gvdrive::BringEditorForward(frame);
  Sleep(500);
  const gvdrive::Image shot = gvdrive::Screenshot(frame);
  const bool saved = shot.width > 0 && shot.SaveBmp(out);
  PostMessageW(frame, WM_CLOSE, 0, 0);
  editor.Wait(10000);
  for (HWND w : gvdrive::TopWindows(0, L"VantrelInfoWindow")) PostMessageW(w, WM_CLOSE, 0, 0);
  if (!saved) {
    std::fprintf(stderr, "gvdrive: the screenshot could not be saved\n");
    return 1;
  }
  return 0;
}

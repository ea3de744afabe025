// Win32 only: a held Down key on an editor. Starts the editor on a file, waits
// for its first page, then sends PRESSES key-downs of Down to its edit view at
// the keyboard's repeat rate (INTERVAL_MS apart, as a held key repeats) and
// prints the milliseconds from the last key-down until the status bar's caret
// field shows the line the caret must have reached, then ends the editor.
//   held_key.exe PROGRAM FILE [PRESSES] [INTERVAL_MS]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "process_window.h"

namespace {

// A status-bar field of another process: the text is read through memory of
// that process.
std::wstring FieldText(HANDLE process, HWND bar, int field) {
  const SIZE_T bytes = 512 * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (!remote) return {};
  std::wstring text;
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(field), 0, SMTO_ABORTIFHUNG, 1000, &length) &&
      LOWORD(length) < 500 &&
      SendMessageTimeoutW(bar, SB_GETTEXTW, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(remote),
                          SMTO_ABORTIFHUNG, 1000, nullptr)) {
    wchar_t local[512] = {};
    SIZE_T got = 0;
    if (ReadProcessMemory(process, remote, local, bytes, &got)) text.assign(local, LOWORD(length));
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: held_key PROGRAM FILE [PRESSES] [INTERVAL_MS]\n");
    return 2;
  }
  const int presses = argc > 3 ? _wtoi(argv[3]) : 50;
  const int interval = argc > 4 ? _wtoi(argv[4]) : 33;
  PROCESS_INFORMATION pi{};
  if (!gvbench::StartOn(argv[1], argv[2], &pi)) return 2;
  HWND frame = nullptr;
  const ULONGLONG start = GetTickCount64();
  bool gone = false;
  while (!frame && !gone && GetTickCount64() - start < 120000) {
    if ((frame = gvbench::FindProcessWindow(pi.dwProcessId, L"Gorvane"))) break;
    // An editor that cannot start says so in a message box, or has ended.
    if (HWND box = gvbench::FindProcessWindow(pi.dwProcessId, L"#32770")) {
      wchar_t text[512] = {};
      SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          1000, nullptr);
      // In UTF-8, for the terminal of the host that runs Wine.
      char utf8[1536] = {};
      WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
      std::fprintf(stderr, "held_key: the editor shows a message box: \"%s\"\n", utf8);
      PostMessageW(box, WM_CLOSE, 0, 0);
      gone = true;
    } else if (WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0) {
      std::fprintf(stderr, "held_key: the editor ended before its window came up\n");
      gone = true;
    }
  }
  HWND view = frame ? FindWindowExW(frame, nullptr, L"QVChild", nullptr) : nullptr;
  HWND bar = frame ? FindWindowExW(frame, nullptr, L"msctls_statusbar32", nullptr) : nullptr;
  int status = 0;
  if (!view || !bar) {
    if (!gone) std::fprintf(stderr, "held_key: the editor's window did not come up\n");
    status = 3;
  } else {
    // Let the first page and the info window settle.
    Sleep(1500);
    SetForegroundWindow(frame);
    ULONGLONG last = 0;
    for (int i = 0; i < presses; ++i) {
      // Repeats carry the previous-state bit, as a held key's do.
      const LPARAM lp = 1 | (static_cast<LPARAM>(MapVirtualKeyW(VK_DOWN, 0)) << 16) | (i > 0 ? (1L << 30) : 0);
      PostMessageW(view, WM_KEYDOWN, VK_DOWN, lp);
      last = GetTickCount64();
      if (i + 1 < presses) Sleep(static_cast<DWORD>(interval));
    }
    PostMessageW(view, WM_KEYUP, VK_DOWN, 1 | (1L << 30) | (1L << 31));
    const std::wstring wanted = std::to_wstring(1 + presses) + L" ";
    std::wstring seen;
    ULONGLONG done = 0;
    while (GetTickCount64() - last < 30000) {
      seen = FieldText(pi.hProcess, bar, 1);
      if (seen.rfind(wanted, 0) == 0) {
        done = GetTickCount64();
        break;
      }
      Sleep(1);
    }
    if (done) {
      std::printf("presses=%d interval_ms=%d behind_ms=%llu\n", presses, interval,
                  static_cast<unsigned long long>(done - last));
    } else {
      std::fprintf(stderr, "held_key: the caret field still shows \"%ls\"\n", seen.c_str());
      status = 4;
    }
  }
  if (frame) PostMessageW(frame, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return status;
}

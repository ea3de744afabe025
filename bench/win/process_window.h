// Win32 only: starting a program on a file and finding its window, for the
// benchmarks that drive the editor from outside.
#pragma once

#include <windows.h>

#include <string>

namespace gvbench {

// Starts "PROGRAM" "FILE"; false when it cannot be started.
inline bool StartOn(const wchar_t* program, const wchar_t* file, PROCESS_INFORMATION* pi) {
  std::wstring line = L"\"" + std::wstring(program) + L"\" \"" + file + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  *pi = PROCESS_INFORMATION{};
  return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != 0;
}

struct WindowSearch {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

inline BOOL CALLBACK FindWindowOf(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<WindowSearch*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  wchar_t name[128];
  if (owner == q->pid && IsWindowVisible(w) && GetClassNameW(w, name, 128) && lstrcmpiW(name, q->cls) == 0) {
    q->found = w;
    return FALSE;
  }
  return TRUE;
}

// The first visible top-level window of the class that belongs to the
// process, or null.
inline HWND FindProcessWindow(DWORD pid, const wchar_t* cls) {
  WindowSearch s{pid, cls, nullptr};
  EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// That window, looked for every few milliseconds until `since` + limit (ms).
inline HWND WaitForWindow(DWORD pid, const wchar_t* cls, ULONGLONG since, ULONGLONG limit) {
  HWND found = nullptr;
  while (!(found = FindProcessWindow(pid, cls)) && GetTickCount64() - since < limit) Sleep(5);
  return found;
}

}  // namespace gvbench

// Win32 only: starts a program on a file and prints the milliseconds until a
// visible top-level window of the given class belongs to it (it has painted
// its first page), then the process's peak working set, then ends it.
//   first_paint.exe PROGRAM CLASS FILE [TIMEOUT_SECONDS]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK Find(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  wchar_t cls[128];
  if (owner == s->pid && IsWindowVisible(w) && GetClassNameW(w, cls, 128) && lstrcmpiW(cls, s->cls) == 0) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: first_paint PROGRAM CLASS FILE [TIMEOUT_SECONDS]\n");
    return 2;
  }
  const DWORD limit = argc > 4 ? static_cast<DWORD>(_wtoi(argv[4])) * 1000 : 120000;
  std::wstring line = L"\"" + std::wstring(argv[1]) + L"\" \"" + argv[3] + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const ULONGLONG start = GetTickCount64();
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
  Search s{pi.dwProcessId, argv[2], nullptr};
  while (!s.found && GetTickCount64() - start < limit) {
    EnumWindows(Find, reinterpret_cast<LPARAM>(&s));
    if (!s.found) Sleep(5);
  }
  const ULONGLONG elapsed = GetTickCount64() - start;
  if (s.found) {
    // Let the first paint finish, then read the working set.
    SendMessageTimeoutW(s.found, WM_NULL, 0, 0, SMTO_BLOCK, 30000, nullptr);
  }
  const ULONGLONG painted = GetTickCount64() - start;
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc);
  std::printf("%s first_paint_ms=%llu peak_working_set_kib=%llu\n", s.found ? "ok" : "timeout",
              static_cast<unsigned long long>(s.found ? painted : elapsed),
              static_cast<unsigned long long>(pmc.PeakWorkingSetSize / 1024));
  (void)elapsed;
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return s.found ? 0 : 1;
}

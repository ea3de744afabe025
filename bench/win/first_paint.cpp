// Win32 only: starts a program on a file and prints the milliseconds until a
// visible top-level window of the given class belongs to it (it has painted
// its first page), then the process's peak working set, then ends it.
//   first_paint.exe PROGRAM CLASS FILE [TIMEOUT_SECONDS]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "process_window.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: first_paint PROGRAM CLASS FILE [TIMEOUT_SECONDS]\n");
    return 2;
  }
  const DWORD limit = argc > 4 ? static_cast<DWORD>(_wtoi(argv[4])) * 1000 : 120000;
  PROCESS_INFORMATION pi{};
  const ULONGLONG start = GetTickCount64();
  if (!gvbench::StartOn(argv[1], argv[3], &pi)) return 2;
  const HWND found = gvbench::WaitForWindow(pi.dwProcessId, argv[2], start, limit);
  const ULONGLONG elapsed = GetTickCount64() - start;
  if (found) {
    // Let the first paint finish, then read the working set.
    SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_BLOCK, 30000, nullptr);
  }
  const ULONGLONG painted = GetTickCount64() - start;
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc);
  std::printf("%s first_paint_ms=%llu peak_working_set_kib=%llu\n", found ? "ok" : "timeout",
              static_cast<unsigned long long>(found ? painted : elapsed),
              static_cast<unsigned long long>(pmc.PeakWorkingSetSize / 1024));
  (void)elapsed;
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return found ? 0 : 1;
}

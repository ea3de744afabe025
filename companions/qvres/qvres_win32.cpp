// qvres.dll holds only dialog templates (qvres.rc): it has no code to run.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD /*reason*/, LPVOID /*reserved*/) { return TRUE; }

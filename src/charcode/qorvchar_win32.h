// Win32: the exported functions of QORVchar.dll (calling convention WINAPI,
// names undecorated), for programs that load the library by name.
#pragma once

#include <windows.h>

extern "C" {
typedef int(WINAPI* GetQORVchar_version_t)(void);
typedef int(WINAPI* JudgmentCode_t)(const BYTE* data, int count, BYTE* crlf);
typedef int(WINAPI* ReadCheckStrCode_t)(const char* fileName);
typedef int(WINAPI* CheckStrCode_t)(const BYTE* str, int len);
typedef void(WINAPI* SetCrlfChar_t)(int code, int kind, BYTE* dst);
typedef void(WINAPI* MemoryRoutine_t)(void* dst, const void* src, int len);
typedef void(WINAPI* FillMemoryNew_t)(void* dst, int value, int len);
typedef int(WINAPI* EUC2ShiftJis_t)(const BYTE* src, int len, BYTE* dst, const BYTE* eucClass);
typedef int(WINAPI* ToSjis_t)(BYTE* dst, int cap, const BYTE* src, int len);
typedef int(WINAPI* SjisLine_t)(const BYTE* src, int len, BYTE* dst, const BYTE* crlf);
typedef int(WINAPI* FromSjis_t)(BYTE* dst, int cap, const BYTE* src, int len, const BYTE* crlf);
typedef int(WINAPI* SJistoUTF7_t)(BYTE* dst, int cap, const BYTE* src, int len);
typedef int(WINAPI* ReadFileToWork_t)(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final);
typedef int(WINAPI* ReadFileToWorkEUC_t)(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed,
                                         int final, const BYTE* eucClass);
}

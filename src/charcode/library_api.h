// The QORVchar library functions with their exported argument lists and
// result conventions, in portable form. The Windows DLL exports these names
// (qorvchar_win32.cpp adds only the file access of the readers); the editor
// calls the same functions through the static library.
#pragma once

#include <cstdint>

#include "charcode/charcode.h"

namespace gorvane::charcode::api {

using Byte = std::uint8_t;

int GetQORVchar_version();

void CopyMemoryNew(void* dst, const void* src, int len);
void FillMemoryNew(void* dst, int value, int len);
void MoveMemoryNew(void* dst, const void* src, int len);
void UTF16BEexUTF16LE(void* dst, const void* src, int len);

// Into Shift-JIS: bytes written, negated when a character became "?", 0 when
// nothing was converted or the output did not fit.
int EUC2ShiftJis(const Byte* src, int len, Byte* dst, const Byte* eucClass);  // dst holds len + 1
int UTF8toSJis(Byte* dst, int cap, const Byte* src, int len);
int UTF7toSJis(Byte* dst, int cap, const Byte* src, int len);
int UTF16LEtoSJis(Byte* dst, int cap, const Byte* src, int len);
int UTF16BEtoSJis(Byte* dst, int cap, const Byte* src, int len);

// From Shift-JIS; crlf: the target line end (CrlfBytes) or null.
int ShiftJis2ShiftJis(const Byte* src, int len, Byte* dst, const Byte* crlf);  // dst holds len + 6
int ShiftJis2EUC(const Byte* src, int len, Byte* dst, const Byte* crlf);       // dst holds 2 * len + 6
int SJistoUTF8(Byte* dst, int cap, const Byte* src, int len, const Byte* crlf);
int SJistoUTF16LE(Byte* dst, int cap, const Byte* src, int len, const Byte* crlf);
int SJistoUTF16BE(Byte* dst, int cap, const Byte* src, int len, const Byte* crlf);
int SJistoUTF7(Byte* dst, int cap, const Byte* src, int len);

}  // namespace gorvane::charcode::api

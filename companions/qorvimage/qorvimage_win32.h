// Win32: the exported functions of QORVimage.dll (calling convention WINAPI,
// names undecorated), for programs that load the library by name.
#pragma once

#include <windows.h>

extern "C" {
// The library's version; the editor refuses 371 or less.
typedef int(WINAPI* GetQORVimage_version_t)(void);
}

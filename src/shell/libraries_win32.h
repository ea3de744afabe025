// Win32 only: the editor's libraries at start-up. QORVchar.dll, QORVetc.dll and
// QORVimage.dll are loaded by path from the program folder, each must report a
// version above 371 (a library that is missing, or lacks its version or one of
// the exports the editor calls, counts as too old), and the character-code
// work and the temporary cache are bound to them. Before that nothing can
// convert text, so these boxes take their texts straight from UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "companions/qorvetc/qorvetc_binding_win32.h"

namespace gorvane::shell::win32 {

// The folder of the running program from the command line's first word (up
// to its closing quote, or its first blank), ending in its last separator.
std::wstring ProgramFolderOfCommandLine(const wchar_t* commandLine);

// A start-up failure: a top-most error box captioned "Gorvane", with no owner.
void ShowStartupError(std::u8string_view text);

// The three libraries of `folder`, checked in the order QORVchar, QORVetc,
// QORVimage, and bound; false after the box of the first that fails. The
// libraries stay loaded for the life of the process.
bool LoadLibraries(const std::wstring& folder, qorvetc::DllTmpCache& cache);

}  // namespace gorvane::shell::win32

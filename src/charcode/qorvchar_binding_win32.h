// Win32 only: the character-code API of charcode.h for a program that takes
// the work from QORVchar.dll instead of linking the code: every function below
// calls the library's export through a pointer bound at start-up. Until
// BindQORVchar has succeeded every conversion fails (nothing written) and
// detection finds nothing.
#pragma once

#include <windows.h>

namespace gorvane::charcode {

// Binds the exports the program uses; false (nothing bound) when one of them
// is missing.
bool BindQORVchar(HMODULE library);

}  // namespace gorvane::charcode

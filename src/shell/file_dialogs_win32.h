// Win32 only: the file dialogs of the editor over our dialog templates.
#pragma once

#include "files/file_system.h"

#include <windows.h>

#include <memory>

#include "files/file_commands.h"

namespace gorvane::shell {

// owner: where the frame's handle will be (it may not exist yet); resources:
// qvres.dll.
std::unique_ptr<files::FileDialogs> CreateWin32FileDialogs(HWND* owner, HMODULE resources);

}  // namespace gorvane::shell

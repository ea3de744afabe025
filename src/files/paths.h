// Shift-JIS path helpers: a backslash or slash counts as a separator only as
// a whole character, never as the second byte of a double-byte character
// (0x5C is a valid trail byte).
#pragma once

#include <string>
#include <string_view>

namespace gorvane::files {

// Offset of the file name: just after the last separator (0 when none).
std::size_t FileNameStart(std::string_view path);
// The folder with its final separator ("" when none) and the file name.
std::string FolderOf(std::string_view path);
std::string FileNameOf(std::string_view path);
// The separator the path already uses ("\" when it has none).
char SeparatorOf(std::string_view path);
// Paths compared as Windows does for names: ASCII letters without case, every
// double-byte character as it is.
bool SamePath(std::string_view a, std::string_view b);

}  // namespace gorvane::files

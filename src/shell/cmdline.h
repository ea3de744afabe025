// The editor's command line: the file to edit and the switches, parsed from
// the text after the program name (Shift-JIS). Tabs count as blanks.
//   /j<n>        line to jump to (the number is taken from this word only)
//   /e /s /u8 /ub /ul   read as EUC-JP, Shift-JIS, UTF-8, UTF-16BE, UTF-16LE
//   /p           a project file is opened as plain text
//   /PA?<hex>    owner window handle
//   FILE /MS <n> /FN <n>   started by info window n, file number n in its list
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gorvane::shell {

enum class CommandLineError {
  kNone,
  kBadInfoWindowNumber,  // "/MS" not followed by digits: told to the user
  kBadFileNumber,        // "/FN" not followed by digits: ends quietly
};

struct StartupArguments {
  std::string fileName;                 // as given, quotes removed; "" for a new file
  std::optional<std::string> infoMailslotText;
  std::optional<std::string> fileNumberText;
  std::uint16_t fileNumber = 1;         // from "/FN"; 1 when absent or 0
  bool isProject = false;               // ".qvp" without "/p" and without "/MS"
  bool startedByInfoWindow = false;     // "/MS"
  bool plainOption = false;             // "/p"
  bool isNewFile = true;                // no file name
  std::optional<std::uint32_t> jumpLine;  // "/j"
  int codeOverride = 0;                 // CharCode forced by /e /s /u8 /ub /ul, 0 none
  int lineEndOverride = 0;              // the line-end code that goes with it
  std::optional<std::uint64_t> ownerWindow;  // "/PA"
  int infoWindow = -1;                  // the number after "/MS"
  CommandLineError error = CommandLineError::kNone;
};

// Parses the text after the program name.
StartupArguments ParseCommandLine(std::string_view line);
// The whole command line's first word (the program's path): its folder,
// ending in a backslash ("" when there is none).
std::string ProgramFolderOf(std::string_view fullCommandLine);
// The text after the program's path in a full command line.
std::string_view ArgumentsOf(std::string_view fullCommandLine);

// The default size value of a screen of this height in pixels: 9 up to 600,
// 10 up to 800, 11 up to 1024, 12 above. The editor takes it as the default
// point size of its font.
int SizeValueForScreen(int screenHeight);

// The frame's title: the file name, " [ folder ]" when a folder is known,
// " *" while modified.
std::string FrameTitle(std::string_view fileName, std::string_view folder, bool modified);

}  // namespace gorvane::shell

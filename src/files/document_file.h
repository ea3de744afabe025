// The open document's file: its path and encoding, its state against the
// file on disk, and the watch on the file's last-write time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/host.h"
#include "document/line_store.h"
#include "files/file_system.h"
#include "files/open_file_registry.h"

namespace gorvane::files {

using document::LINEDATA_STRC;
using document::LineNo;

inline constexpr std::size_t kMaxPathBytes = 260;  // plus the terminator: 261
inline constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFF;  // sizes from here on are refused
inline constexpr std::string_view kNewFileFolder = "NO FolderName\\";

struct DocumentFile {
  std::string path;               // Shift-JIS; a new document: kNewFileFolder + "新規ﾌｧｲﾙ1"
  int code = 0;                   // the encoding read and, by default, written; 0 for a new document
  int forcedCode = 0;             // chosen by the user; 0 = detect
  int forcedLineEnd = 0;          // CrlfKind given with the forced code on the command line; 0 none
  std::array<std::uint8_t, 6> crlf{'\r', '\n', 0, 0, 0, 0};  // first line end found, in the file's encoding
  bool readOnly = false;          // read-only file, opened for reading only, or write-protected
  bool writeProtectMode = false;  // write protection switched on by command
  bool modified = false;
  FileTime lastWriteTime = 0;
  bool watchArmed = false;
  int changedOnDisk = 0;          // 0 none seen, 1 seen and not reported, -1 question on screen

  bool isNew() const { return path.rfind(kNewFileFolder, 0) == 0; }
};

// Settings of the document's extension that govern writing.
struct WriteSettings {
  bool saveWithBom = false;
  bool appendEofCode = false;
  bool makeBackup = false;
};

// What the loader and the writer work on.
struct FileContext {
  base::Host& host;
  document::LineStore& store;
  FileSystem& fs;
  OpenFileRegistry& registry;
  DocumentFile& file;
  WriteSettings& settings;
};

}  // namespace gorvane::files

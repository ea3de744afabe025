// The open document's file: its path and encoding, its state against the
// file on disk, and the watch on the file's last-write time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "document/line_store.h"
#include "files/file_system.h"
#include "base/host.h"

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

// The other editors of the group and the info window, as far as the
// document's file is concerned. An editor alone has only the first two.
class OpenFileRegistry {
 public:
  virtual ~OpenFileRegistry() = default;
  // Another editor edits this path.
  virtual bool HeldElsewhere(std::string_view path) = 0;
  // In one step: false when another editor edits path, else path becomes
  // this editor's file (its previous one is let go).
  virtual bool Claim(std::string_view path) = 0;

  // The group lock: document-changing work of the editors of one info window
  // takes turns. wait false: only tries. A lock held already is not taken
  // again (and groupLockHeld says so), so that only its taker releases it.
  virtual bool LockGroup(bool wait) {
    static_cast<void>(wait);
    return true;
  }
  virtual void UnlockGroup() {}
  virtual bool groupLockHeld() const { return false; }

  // The info window: whether this editor is connected to it; after a save
  // under the file's own name, the project-options check ("@CHECKPROJOPT@",
  // false when it could not be sent); after a save under a new name, the
  // news of it ("@ADDFILEITEM@" when asked to add it to the list, else the
  // mark-jump mapping; "@CHANGEEDITFILE@").
  virtual bool connectedToInfoWindow() { return false; }
  virtual bool CheckProjectOptions(int code, std::string_view path) {
    static_cast<void>(code);
    static_cast<void>(path);
    return true;
  }
  virtual void FileRenamed(int code, std::string_view path, bool addToInfoWindow) {
    static_cast<void>(code);
    static_cast<void>(path);
    static_cast<void>(addToInfoWindow);
  }
};

// The group lock for a scope: released at its end only when taken here.
class GroupTurn {
 public:
  GroupTurn(OpenFileRegistry& registry, bool wait)
      : registry_(registry), taken_(!registry.groupLockHeld()), ok_(registry.LockGroup(wait)) {
    taken_ = taken_ && ok_;
  }
  ~GroupTurn() {
    if (taken_) registry_.UnlockGroup();
  }
  GroupTurn(const GroupTurn&) = delete;
  GroupTurn& operator=(const GroupTurn&) = delete;
  bool ok() const { return ok_; }

 private:
  OpenFileRegistry& registry_;
  bool taken_;
  bool ok_;
};

// An editor alone.
class SoleEditor final : public OpenFileRegistry {
 public:
  bool HeldElsewhere(std::string_view) override { return false; }
  bool Claim(std::string_view) override { return true; }
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

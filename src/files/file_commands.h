// The file commands as the user starts them: Open, New, Insert file, Save,
// Save As, Save with another code and write protection, with the question to
// save a modified document first. Dialogs are an interface: the Win32 shell
// shows the real ones, tests answer as scripted.
#pragma once

#include <string>

#include "files/document_file.h"
#include "files/loader.h"
#include "files/writer.h"

namespace gorvane::files {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // "ファイルを開く": the file, the encoding chosen (0 detect, 1, 2, 4, 5, 6,
  // preset from presetCode) and the read-only box. False: cancelled.
  virtual bool ChooseFileToOpen(int presetCode, OpenEntry* chosen) = 0;
  // "ファイル挿入": the file and its encoding (0 detect).
  virtual bool ChooseFileToInsert(OpenEntry* chosen) = 0;
  // "名前を付けて保存": the name, the encoding and line end, and the box that
  // announces the file to the info window (offered and ticked when
  // allowAddBox, else disabled).
  virtual bool ChooseSaveAsName(const DocumentFile& file, bool allowAddBox, std::string* path,
                                SaveOptions* options) = 0;
  // The encoding and line end to save in. False: cancelled.
  virtual bool ChooseCodeAndLineEnd(const DocumentFile& file, SaveOptions* options) = 0;
};

// What an editor does when its info window asks it to close.
struct CloseDecision {
  bool close = true;     // false: a save failed, the document stays open
  int statusFlag = -1;   // the flag for the file's status record, -1: none
};
// Modes 1 and 3 save a modified, writable document; 0 and 2 discard it.
// The flag is 1 for modes 0 and 1, 0 for modes 2 and 3, none after mode 1
// saved. Other modes change nothing (the caller never passes them).
CloseDecision CloseOnRequest(FileContext& ctx, int mode);

// Each command takes the group lock without waiting and is refused with
// "何らかの処理中です。" on the status bar while another editor of the group
// holds it.
class FileCommands {
 public:
  FileCommands(FileContext& ctx, Loader& loader, FileDialogs& dialogs)
      : ctx_(ctx), loader_(loader), dialogs_(dialogs) {}

  // mode 0: the Open command (entry null: the dialog asks; given: a file
  // dropped on the window); 1: the file named at start-up; -1: the file again
  // after it changed on disk. 1 on success, 0 otherwise.
  int OpenFileCommand(int mode, const OpenEntry* entry = nullptr);
  bool NewFileCommand();
  // Inserts a chosen file above the current line, or above the first line
  // of the selection when there is one. 1 inserted, 0 not.
  int InsertFileCommand(LineNo currentLine, bool hasSelection, LineNo selectionFirst);
  int SaveCommand();
  int SaveAsCommand();
  int SaveWithCodeCommand();
  // busyWithMacro: a keyboard macro is being recorded or played.
  void ToggleWriteProtect(bool busyWithMacro);

  // A modified document: asks whether to save it first. False: the command
  // that asked stops (cancelled, or the save failed).
  bool SaveBeforeReplacing();

 private:
  class Turn;
  FileContext& ctx_;
  Loader& loader_;
  FileDialogs& dialogs_;
};

}  // namespace gorvane::files

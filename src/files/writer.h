// Writing the document back to disk: the writer that turns the Shift-JIS
// lines into the target encoding and line end, the backup copy made before a
// file is overwritten, and the saves built on them (Save, Save As once a name
// is chosen, the quiet saves other editors ask for).
//
// A save never writes into the file itself: the whole document goes into a
// temporary file in the same folder, which then replaces the file in one
// step. A save that fails at any point leaves the file as it was and the
// document's state (path, code, line end, modified) unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/document_file.h"

namespace gorvane::files {

// How a save writes the document.
struct SaveOptions {
  int addToInfoWindow = 0;  // the save-as check box: announce the new name to the info window
  int code = 0;             // target CharCode; 0, 1 and 3 (and anything unknown) are written as Shift-JIS
  int crlfKind = 0;         // target CrlfKind; 0 keeps the document's own line end
  int allowAddBox = 0;      // the save-as dialog offers that check box
};

// A plain save: the document's own code, its own line end.
SaveOptions DefaultSaveOptions(const DocumentFile& file);

// What a write did besides writing.
struct WriteReport {
  std::size_t replaced = 0;         // characters written as "?" for want of an equivalent
  std::uint32_t firstLossyLine = 0;  // 1-based line of the first of them; 0 when none
};

// Results of SaveFile, SaveAsPath and SaveCommand.
inline constexpr int kSaveFailed = 0;     // not saved: failed, refused or cancelled (the user was told)
inline constexpr int kSaved = 1;
inline constexpr int kSaveNeedsName = 2;  // the document has no file: the caller asks for a name

// Writes the whole document at the file's current position (0 for a freshly
// opened file) and cuts the file after it: byte-order mark (saveWithBom, for
// UTF-8 and UTF-16), the lines converted to options.code with the chosen line
// end (the last line has none), the end-of-file code (appendEofCode). Then the
// document is the file's: modified cleared, crlf the line end used, code and
// forcedCode the target. 1 on success, 0 when a write failed (the document's
// state is left as it was). The caller writes the line windows back first
// (LineStore::WriteBack). report may be null.
int WriteDocument(FileContext& ctx, File& file, const SaveOptions& options, WriteReport* report);

// Copies the file at path into the backup folder ("backup_Gorvane" beside it,
// or "backup_Gorvane(1)" ... "(99)" when that cannot be used), replacing an
// earlier backup. 1 when the backup exists afterwards or backups are off, 0
// otherwise (told to the user unless quiet).
int MakeBackup(FileContext& ctx, const std::string& path, bool quiet);

// Saves the document to its own path. quiet: no dialog or message box (the
// saves other editors and the build ask for); the outcome goes to the status
// bar. statusFlag is for the status-file update. options null: a plain save.
// Returns kSaved, kSaveFailed, or kSaveNeedsName when not quiet and the
// document has no file (a new document, or a path that is a folder or whose
// folder is gone); quiet, such a document gives kSaveFailed.
int SaveFile(FileContext& ctx, bool quiet, int statusFlag, const SaveOptions* options);

// Save As once a name has been chosen: the same name saves in place; a name
// another editor edits or a read-only file is refused; an existing file is
// overwritten after the user agrees (and after its backup). On success the
// document is named newPath and is no longer write-protected. kSaved or
// kSaveFailed.
int SaveAsPath(FileContext& ctx, const std::string& newPath, const SaveOptions& options);

// The Save command: refused on the status bar while write-protected, else a
// plain SaveFile.
int SaveCommand(FileContext& ctx);

}  // namespace gorvane::files

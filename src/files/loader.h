// Loading: a file on disk becomes the document in the line store. The file is
// sampled, its encoding detected (or forced), its byte-order mark skipped, and
// it is read in 256 KiB pieces through the matching reader; the Shift-JIS
// working text is cut into lines (at most 15,360 bytes each) that are appended
// to the line store. Also inserting a file above a line, new documents, and
// the watch on the file's last-write time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "document/types.h"
#include "files/document_file.h"

namespace gorvane::files {

inline constexpr std::uint32_t kWorkBufferBytes = 262144;
inline constexpr std::uint32_t kCarryBytes = 15360;

// What a load did besides storing lines.
struct LoadReport {
  std::uint32_t lines = 0;             // lines stored
  bool cut = false;                    // a line was longer than 15,360 bytes
  std::int64_t firstCutLine = -1;      // 1-based
  bool replaced = false;               // characters had no Shift-JIS code
  std::int64_t firstReplacedLine = -1; // 1-based
  bool partial = false;                // the file was not read to its end
  std::uint32_t markBytes = 0;         // byte-order mark skipped at the start
};

// An open request: the file, the encoding chosen by the user (0: detect) and
// the dialog's read-only box.
struct OpenEntry {
  std::string path;
  int forcedCode = 0;
  bool readOnly = false;
};

class Loader {
 public:
  explicit Loader(FileContext& ctx);
  ~Loader();
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  // Fills the line store from an open file of `size` bytes: 1 lines loaded,
  // -1 the file yields no line (empty, only a mark or an end-of-file code, or
  // a line that cannot be stored), 0 failure. *modified: lines were cut or
  // characters replaced.
  int LoadFile(File& file, std::uint64_t size, bool* modified);
  const LoadReport& report() const { return report_; }

  // Opens a file into the document (after any save question and dialog):
  // mode 0 a file the user chose (entry), 1 the file already named by the
  // document (start-up), -1 the document's file again after it changed on
  // disk. 1 on success, 0 otherwise.
  int OpenPath(int mode, const OpenEntry& entry);

  // Replaces the document by an empty one named "新規ﾌｧｲﾙN".
  bool NewDocument();
  // The name for a new document: the lowest number no other editor uses.
  std::string NewFileName();

  // Inserts a file's lines above `above` (the last line of a file without a
  // final line end is joined to the front of that line when it fits). The
  // caller has asked the user already. 1 inserted, 0 refused or failed.
  int InsertFile(const std::string& path, int forcedCode, LineNo above);
  // The text the last InsertFile put in, caret positions [from, to): from
  // is column 1 of the line it was inserted above, to just after the
  // inserted text; a failure part of the way gives what went in before it.
  // Taken once: empty (from == to) when nothing went in since the last take.
  struct Inserted {
    document::TextPos from, to;
    bool empty() const { return from == to; }
  };
  Inserted TakeInserted() { return std::exchange(inserted_, Inserted{}); }

  // How many times the document has been replaced (opened, read again, made
  // new), whether its file then loaded or not: what was known about the
  // document before (carets, undo) belongs to another text.
  std::uint64_t replacements() const { return replacements_; }

  // ---- the watch on the file's last-write time ----
  void ArmFileWatch(bool skipTime);
  void DisarmFileWatch() { ctx_.file.watchArmed = false; }
  void PollFileWatch();
  // On activation and mouse input: asks once whether to read a file that
  // changed on disk. busy: a macro or another busy state defers the question.
  // Returns true when the file was read again.
  bool CheckFileChanged(bool busy);

  // The work area: allocated on first use and kept; false (after telling the
  // user) when it cannot be had.
  bool EnsureWorkArea();

 private:
  bool ReadFully(File& file, std::uint8_t* dst, std::uint32_t n, std::uint32_t* got);
  void ProtectPartialLoad();
  void Message(std::u8string_view text, base::BoxIcon icon, std::u8string_view caption = u8"");

  FileContext& ctx_;
  std::unique_ptr<std::uint8_t[]> work_;     // the reader's output, kWorkBufferBytes
  std::unique_ptr<std::uint8_t[]> staging_;  // the file's bytes, kWorkBufferBytes
  bool lastEndedWithCrlf_ = false;
  bool limitReached_ = false;
  LoadReport report_;
  Inserted inserted_;
  std::uint64_t replacements_ = 0;
};

// The number of bytes of a line that may be kept when it is cut: 15,358, or
// 15,357 when a double-byte character would be split (line starts at bytes).
std::uint32_t CutLength(const std::uint8_t* bytes, std::uint32_t length);

}  // namespace gorvane::files

// Vantrel, the info window of a group of editors: what it knows and how it
// answers, apart from any window. Editors write messages into its inbox; each
// message goes through Receive(), which keeps the lists (files, editors,
// bookmarks, search listings and their hits, build output) and returns what to write
// back to which editor inbox and what the window should show. Nothing here
// touches the system: the session (vantrel_session.h) reads the inbox and
// writes the answers, the window draws the lists.
//
// Rules every message passes:
// - a text that begins with "@" is a message only when it matches its layout
//   exactly; otherwise it is counted and nothing at all is done with it;
// - a text that does not begin with "@" is build output while a build runs
//   (and is ignored otherwise); output lines that begin with "@" travel as
//   "@@..." and are shown as text, never read as a message;
// - every number is checked before it picks anything (file numbers against
//   the list, instances 1..7700 or the forwarder's 7702, hit indexes).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gorvane::vantrel {

inline constexpr int kMaxInstance = 7700;       // editors' instance numbers are 1..7700
inline constexpr int kForwarderInstance = 7702;  // a transient editor handing a file to its owner
inline constexpr int kMaxInfoWindow = 65535;
// The editor program, started from Vantrel's own folder.
inline constexpr std::string_view kEditorProgram = "Gorvane_0174.exe";

// Limits that keep a flood of messages from eating the memory.
inline constexpr std::size_t kMaxFiles = 4096;
inline constexpr std::size_t kMaxHits = 200000;
inline constexpr std::size_t kMaxHitTextBytes = 64u << 20;
inline constexpr std::size_t kMaxOutputLines = 50000;
inline constexpr std::size_t kMaxOutputLineBytes = 4096;  // a longer line is cut into pieces this long
inline constexpr std::size_t kMaxMarksPerFile = 255;  // as in the editor: a 256th is refused
inline constexpr std::size_t kMaxMarks = 65536;

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadCommandLine = 2;
inline constexpr int kExitNoUser = 3;
inline constexpr int kExitInboxTaken = 4;
inline constexpr int kExitNoWindow = 5;
inline constexpr int kExitNoLog = 6;

// ---- the command line ----------------------------------------------------

// Editors start us with
//   "<folder>Vantrel.exe" L T R B n p /MI k "file"
// (the editor's frame rectangle, the document's character code, 1 for a
// project, our number, the edited file), a project opened directly with
//   "<folder>Vantrel.exe" 1 1 0 0 n 1 /MI k "file".
// Tests may add, at the end, /LOG "path": every message read is appended to
// that file (see LogRecord).
struct StartArguments {
  int left = 0, top = 0, right = 0, bottom = 0;
  int charCode = 0;  // -6..6
  bool project = false;
  int infoWindow = 0;  // 0..65535
  std::string file;     // Shift-JIS, without its quotes
  std::string logPath;  // empty without /LOG
};

// The whole command line, the program's own name first (quoted or not),
// Shift-JIS. nullopt for anything but the forms above: a missing or extra
// word, a number with other characters or out of range, p other than 0 or
// 1, "/MI" spelt otherwise, a file name without its quotes.
std::optional<StartArguments> ParseCommandLine(std::string_view line);

// ---- where the window stands ----------------------------------------------

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
};
inline constexpr int kDefaultWidth = 560, kDefaultHeight = 420;
// The window's place: the remembered rectangle when there is one (kept on
// the work area, and no larger than it), else the default size at the work
// area's centre. It never stands where the editor's frame put it.
ScreenRect InfoWindowPlace(const ScreenRect& remembered, const ScreenRect& workArea);

// ---- the test log ----------------------------------------------------------

// One record per message read, in the order read: the message's byte count
// in decimal, ":", the bytes exactly as read (NULs and line breaks
// included), "\n". The count makes the record unambiguous whatever the
// message holds.
std::string LogRecord(std::span<const std::uint8_t> message);
// The messages of a log; false when the text is not a sequence of whole records.
bool ReadLog(std::string_view log, std::vector<std::string>* messages);

// ---- what the model hands out ----------------------------------------------

// One write into an editor's inbox.
struct Outgoing {
  std::string inbox;               // the mailslot's name
  std::vector<std::uint8_t> bytes;  // the whole message, its NUL included
  bool operator==(const Outgoing&) const = default;
};

// The first byte of an editor's mark-jump mapping, which it waits for: 2 =
// we keep no marks, close it again.
struct MarkFileAnswer {
  std::string mapping;
  std::uint8_t value = 2;
  bool operator==(const MarkFileAnswer&) const = default;
};

enum class EventKind {
  kBringToFront,  // thread: the editor's; come to the front (attached to its input)
  kAttachInput,   // thread: attach to the editor's input so that it may come to the front
  kHide,
  kShowSearchPage,
  kShowBuildPage,
  kHitsChanged,
  kOutputChanged,
  kFilesChanged,
  kMarksChanged,
  kStatus,  // text: Shift-JIS, for the status line
};

struct Event {
  EventKind kind = EventKind::kStatus;
  std::uint32_t thread = 0;
  std::string text;
  bool operator==(const Event&) const = default;
};

// What became of one received text.
enum class Disposition {
  kHandled,        // a message, acted on
  kOutput,         // build output
  kNotTagged,      // does not begin with "@" and no build runs: ignored
  kUnknown,        // a tag not in the catalogue of what editors send us: ignored
  kMalformed,      // a known tag whose fields do not match: ignored
  kOutOfRange,     // well-formed, but a number names nothing we know: ignored
  kOutOfSequence,  // well-formed, but nothing it could end or continue is open: ignored
};

struct Effects {
  Disposition disposition = Disposition::kHandled;
  std::vector<MarkFileAnswer> markFiles;  // first
  std::vector<Event> events;              // then
  std::vector<Outgoing> send;             // last
};

struct Counters {
  std::uint64_t received = 0;
  std::uint64_t handled = 0;
  std::uint64_t outputPieces = 0;
  std::uint64_t notTagged = 0;
  std::uint64_t unknown = 0;
  std::uint64_t malformed = 0;
  std::uint64_t outOfRange = 0;
  std::uint64_t outOfSequence = 0;
  std::uint64_t droppedHits = 0;         // over kMaxHits or kMaxHitTextBytes
  std::uint64_t droppedOutputLines = 0;  // the oldest, over kMaxOutputLines
  std::uint64_t badClicks = 0;           // a double click (or a delete) on no hit or bookmark
  bool operator==(const Counters&) const = default;
};

// A file an editor registered with us, or one we started an editor for.
struct FileEntry {
  int number = 0;    // 1.. : its number in our list (what "/FN" gives an editor)
  std::string path;  // Shift-JIS
  int charCode = 0;
  int instance = 0;  // the editor that has it; 0 none
};

// A bookmark an editor registered ("@SETMARKJUMP@", or "@CHECKMARKJUMP@"
// for one it restored with its file): kept for that editor and file until
// either is gone.
struct MarkEntry {
  int instance = 0;  // the editor that has the file
  int file = 0;      // the file's number in our list
  int mark = 0;      // 0..255, the bookmark's number in that file
  std::string note;  // its name (Shift-JIS)
  bool operator==(const MarkEntry&) const = default;
};

struct EditorInfo {
  std::uint32_t thread = 0;  // its user-interface thread, 0 unknown
  int file = 0;              // the number of its file, 0 none
};

// The matches of one document an editor listed.
struct Listing {
  std::string path;   // empty: the editor did not say (a replace-all report)
  bool range = false;  // only the range around the caret was searched
  int owner = 0;      // the editor that sent it; 0 unknown or gone
  bool ended = false;
  std::int64_t count = 0;  // the count or negative code of the end report
  std::size_t firstHit = 0, hitCount = 0;
};

struct Hit {
  std::size_t listing = 0;
  std::int64_t line = 1;
  std::uint32_t column = 1;  // 1-based byte column
  std::uint32_t span = 1;    // lines the match covers
  std::uint32_t length = 0;  // bytes
  std::string text;          // the line(s), without the final CR LF
};

// What a double click on a hit asks for.
struct JumpAction {
  enum class Kind { kNone, kSend, kStart };
  Kind kind = Kind::kNone;
  int instance = 0;          // kSend: the editor asked to jump
  Outgoing message;          // kSend
  std::string commandLine;   // kStart: the editor to start (Shift-JIS)
  std::string file;          // kStart
  std::string status;        // what to tell the user (Shift-JIS), "" nothing
};

struct ModelConfig {
  int infoWindow = 0;
  std::string user;            // Shift-JIS; part of every inbox name
  std::uint32_t threadId = 0;  // our user-interface thread, sent with tag jumps
  std::string programFolder;   // ends with "\"; editors are started from it
};

class VantrelModel {
 public:
  explicit VantrelModel(ModelConfig config);

  const ModelConfig& config() const { return config_; }
  std::string InboxName() const;
  std::string EditorInboxName(int instance) const;

  // One text read from the inbox (the whole read).
  Effects Receive(std::span<const std::uint8_t> received);

  // A double click on hit `index`: a tag jump for the editor that listed it,
  // or, when no editor has the file any more, an editor to start for it.
  JumpAction DoubleClickHit(std::size_t index);
  // A double click on bookmark `index`: a mark jump for its editor.
  JumpAction DoubleClickMark(std::size_t index);
  // The user deletes bookmark `index`: it is forgotten, and its editor told.
  Effects DeleteMark(std::size_t index);
  // The editor's inbox could not be written: it is gone.
  void EditorGone(int instance);
  // Starting an editor for `file` failed; returns the status text.
  std::string StartFailed(std::string_view file);

  void ClearHits();
  void ClearOutput();

  const std::vector<FileEntry>& files() const { return files_; }
  const std::map<int, EditorInfo>& editors() const { return editors_; }
  // By file number, then by mark.
  const std::vector<MarkEntry>& marks() const { return marks_; }
  const FileEntry* FindFile(int number) const;
  const std::vector<Listing>& listings() const { return listings_; }
  const std::vector<Hit>& hits() const { return hits_; }
  // Build output: whole lines, then the line still being received (if any).
  const std::deque<std::string>& outputLines() const { return outputLines_; }
  const std::string& partialOutputLine() const { return partial_; }
  // Lines dropped at the front so far (the index of outputLines()[0] overall).
  std::uint64_t outputLinesDropped() const { return counters_.droppedOutputLines; }
  bool building() const { return builds_ > 0; }
  const Counters& counters() const { return counters_; }
  const std::string& pendingStart() const { return pendingStart_; }

 private:
  Effects Dispatch(std::span<const std::uint8_t> received);
  void Send(Effects& fx, int instance, const std::optional<std::string>& message);
  FileEntry* FileByNumber(std::int64_t number);
  FileEntry* FileByPath(std::string_view path);
  FileEntry* AddFile(std::string_view path, int charCode);
  void ForgetInstance(int instance);
  // Registers a bookmark (a name given again replaces the old one); false
  // when it cannot be had, *d says why.
  bool PutMark(int instance, std::int64_t file, std::int64_t mark, std::string_view note, Disposition* d);
  int OwnerFor(std::string_view path) const;
  void CloseListing();
  void AddHit(std::uint32_t column, std::uint32_t span, std::uint32_t length, std::int64_t line, std::string_view text);
  void AppendOutput(std::string_view text);
  void PushOutputLine(std::string line);
  void FlushPartial();

  ModelConfig config_;
  std::vector<FileEntry> files_;
  int nextFileNumber_ = 1;
  std::map<int, EditorInfo> editors_;
  std::vector<MarkEntry> marks_;
  int lastAnnounced_ = 0;  // the editor of the latest "@ACTIVE@"
  int pendingJump_ = 0;    // the editor we last asked to jump
  std::string pendingStart_;  // the file of an editor we started that has not registered yet
  std::vector<Listing> listings_;
  bool listingOpen_ = false;
  std::vector<Hit> hits_;
  std::size_t hitTextBytes_ = 0;
  std::deque<std::string> outputLines_;
  std::string partial_;
  int builds_ = 0;
  Counters counters_;
};

// The command line that starts an editor for one of our files.
std::string EditorCommandLine(std::string_view programFolder, std::string_view file, int infoWindow, int fileNumber);
// Shift-JIS paths compared without regard to ASCII case (double-byte
// characters compared as they are).
bool SamePath(std::string_view a, std::string_view b);

}  // namespace gorvane::vantrel

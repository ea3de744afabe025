// The texts editors and info windows send each other through their
// mailslots: the catalogue of every message with the layout of its fields,
// a builder per message and one strict parser.
//
// A message is one Shift-JIS text per mailslot write, sent with its
// terminating NUL (only the end reports of a listing may leave it off). It
// begins with a tag, an upper-case word between two "@" ("@REPLACEERROR"
// alone has no closing "@"); fields follow, each after one blank unless the
// layout says otherwise (a "@SCHLINE@" line, texts after 0x01 or 0x08). A
// trailing text keeps its blanks.
//
// Parsing is all or nothing: a text that does not match its layout exactly,
// or carries a number out of its range, gives nullopt. The same tag may mean
// different things in different directions, so the parser is told who sent
// the message.
//
// Build output a build sends to the info window is not a tagged message: it
// travels as raw text (BuildCompileOutput / ParseCompileOutput).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace gorvane::ipc {

// The longest message, its NUL included: a "@SCHLINE@" of a long line stays
// below 0x8000 bytes (longer lines are replaced by a short notice).
inline constexpr std::size_t kMaxMessageBytes = 0x7FFF;
// The longest message an editor takes: its inbox reads into a buffer of this
// size, and nothing sent to an editor comes near it.
inline constexpr std::size_t kMaxEditorMessageBytes = 15876;

enum class Direction : std::uint8_t {
  kEditorToInfoWindow,  // an editor to its (or another) info window
  kInfoWindowToEditor,  // an info window to one of its editors
  kEditorToEditor,      // between editors (broadcasts, activation, autosave)
};

// The largest message (NUL included) that may travel in a direction.
constexpr std::size_t MaxMessageBytes(Direction d) {
  return d == Direction::kEditorToInfoWindow ? kMaxMessageBytes : kMaxEditorMessageBytes;
}

// Every message, one entry per tag and direction. The fields are listed in
// the order they are sent.
enum class MessageId : std::uint8_t {
  // ---- editor to info window ----
  kTestToInfoWindow,           // "@TEST@": probe
  kCantOpen,                   // "@CANTOPEN@"
  kClosedToInfoWindow,         // "@CLOSED@" fileNumber
  kCloseOk,                    // "@CLOSEOK@"
  kActiveToInfoWindow,         // "@ACTIVE@" instance threadId
  kMoveWindowToInfoWindow,     // "@MOVEWINDOW@" left top right bottom side
  kHideInfoWindow,             // "@HIDEINFOWIN@"
  kMarkJumpFile,               // "@MJMMFILE@" fileNumber path
  kChangeEditFile,             // "@CHANGEEDITFILE@" charCode fileNumber path
  kAddFileItemToInfoWindow,    // "@ADDFILEITEM@" charCode instance "path" "second"
  kCheckProjectOptions,        // "@CHECKPROJOPT@" charCode instance path
  kEditPos,                    // "@EDITPOS@"
  kSetMarkJumpToInfoWindow,    // "@SETMARKJUMP@" instance fileNumber mark noteLength note
  kCheckMarkJumpToInfoWindow,  // "@CHECKMARKJUMP@" instance fileNumber mark noteLength note
  kCheckEndMarkJump,           // "@CHECKENDMARKJUMP@" fileNumber
  kDeleteMarkJumpToInfoWindow, // "@DELETEMARKJUMP@" fileNumber mark
  kSaveMarkJumpData,           // "@SAVEMARKJUMPDATA@" instance fileNumber path
  kSetSearchDataToInfoWindow,  // "@SETSCHDATA@" scope options filter share fileTypes text
  kSetReplaceDataToInfoWindow, // "@SETREPDATA@" scope options filter fileTypes search 0x01 replace
  kProjectSearchToInfoWindow,  // "@PROJECTSCH@" instance
  kProjectReplaceToInfoWindow, // "@PROJECTREP@" instance
  kSearchCancel,               // "@SCHCANCEL@"
  kReplaceCancel,              // "@REPCANCEL@"
  kDisplaySearch,              // "@DISPSEARCH@"
  kSearchFile,                 // "@SCHFILE@" range path
  kSearchLine,                 // "@SCHLINE@" column(4 hex)lines(8 hex)length(4 hex) (line): text
  kSearchEnd,                  // "@SEARCHEND@" count
  kReplaceEnd,                 // "@REPLACEEND@" count
  kReplaceStop,                // "@REPLACESTOP@" count
  kReplaceError,               // "@REPLACEERROR" count
  kTelnetText,                 // "@CONNTELNETSTR@" flag text
  kDisplayCompile,             // "@DISPCOMPILE@"
  kCompileEnd,                 // "@COMPILEEND@"
  kReadTagFile,                // "@READTAGFILE@" path
  kRemoteReadTagFile,          // "@TREADTAGFILE@" 1 path, or "@TREADTAGFILE@ 0"
  kRemoteCompileStart,         // "@TELNETCOMPILESTART@" instance command arguments
  kTidToInfoWindow,            // "@TID@" infoWindow threadId
  kTidSetOkToInfoWindow,       // "@TIDSETOK@" infoWindow
  kActiveOkToInfoWindow,       // "@ACTIVEOK@" instance
  kBulkCrlfReturn,             // "@BULKCRLFRETURN@" result
  kInfoDestroy,                // "@INFODESTROY@"
  // ---- info window to editor ----
  kTestToEditor,               // "@TEST@"
  kDeadUnlock,                 // "@DEADUNLOCK@"
  kClosedToEditor,             // "@CLOSED@" mode (0..3)
  kSave,                       // "@SAVE@"
  kActiveToEditor,             // "@ACTIVE@" line column(hex) length(hex) threadId infoWindow text
  kExecMarkJump,               // "@EXECMJRET@" mark threadId infoWindow
  kTidToEditor,                // "@TID@" infoWindow threadId
  kTidSetOkToEditor,           // "@TIDSETOK@"
  kActiveOkToEditor,           // "@ACTIVEOK@"
  kSetMarkJumpResult,          // "@SETMARKJUMP@" ok
  kCheckMarkJumpResult,        // "@CHECKMARKJUMP@" ok
  kSaveMarkJumpDataOk,         // "@SAVEMJDATA_OK@"
  kDeleteMarkJumpToEditor,     // "@DELETEMARKJUMP@" mark
  kAddFileItemReturn,          // "@ADDFIRET@" fileNumber
  kDeleteFileItem,             // "@DELFILEITEM@"
  kAddFileItemToEditor,        // "@ADDFILEITEM@" infoWindow
  kMoveWindowToEditor,         // "@MOVEWINDOW@" left top right bottom side
  kProjectSearchToEditor,      // "@PROJECTSCH@" infoWindow options searchData
  kProjectReplaceToEditor,     // "@PROJECTREP@" infoWindow flags search 0x01 replace
  kProjectSearchEnd,           // "@PROJSCHEND@"
  kProjectReplaceEnd,          // "@PROJREPEND@"
  kRemoteCompileEnd,           // "@TELNETCOMPILEEND@" code
  kBackgroundViewEnter,        // "@BULKHAIKEIENJOY@"
  kBackgroundViewLeave,        // "@BULKHAIKEIEND@"
  kBulkCrlf,                   // "@BULKCRLF@" replyTo charCode lineEnd
  // ---- editor to editor ----
  kTestToOtherEditor,          // "@TEST@"
  kInstanceActive,             // "@INSTACTIVE@" threadId senderInstance
  kTidInstance,                // "@TIDINST@" instance threadId
  kTidSetOkToOtherEditor,      // "@TIDSETOK@"
  kActiveOkToOtherEditor,      // "@ACTIVEOK@"
  kAutoSave,                   // "@AUTOSAVE@" instance
  kAutoSaveAnswer,             // "@ANSAUTOSAVE@" ok
  kRedraw,                     // "@REDRAW@" reload
  kAutoSetAreaSel,             // "@AUTOSETAREASEL@"
  kKeyCustom,                  // "@KEYCUSTOM@"
  kWindowMenu,                 // "@WINDOWMENU@"
  kCreateIsData,               // "@CREATEISDATA@"
  kCompileData,                // "@COMPILEDATA@" flags environment 0x08 compiler 0x08 arguments 0x08 tagFile 0x08 extensions
  kSetSearchDataToOtherEditor, // "@SETSCHDATA@" scope options filter share fileTypes text
  kSetReplaceDataToOtherEditor,// "@SETREPDATA@" confirm scope options filter fileTypes search 0x01 replace
  kCount
};

enum class FieldKind : std::uint8_t {
  kDecimal,   // [-]digits, no leading zeros, within [min, max]
  kInstance,  // an instance number: 1..7700, or 7702 (a forwarder)
  kHex,       // exactly `width` lower-case hexadecimal digits
  kHexLead,   // 4 to 16 hexadecimal digits: the value is that of the first 4
  kToken,     // a text without blanks; its length within [min, max]
  kQuoted,    // a text between double quotes (none inside); length within [min, max]
  kText,      // the rest of the message, or up to the next field's separator; keeps its blanks
};

struct FieldSpec {
  std::string_view name;
  std::string_view before = " ";  // the literal text in front of the field
  FieldKind kind = FieldKind::kDecimal;
  std::int64_t min = 0, max = 0;  // the number's range; a text's length in bytes
  int width = 0;                  // kHex
};

// Checks over several fields of one message.
enum class MessageRule : std::uint8_t {
  kNone,
  kNoteLength,     // the last number but one is the byte length of the final text
  kTextAfterOne,   // the final text (and its blank) is there exactly when the number before it is 1
  kLineText,       // the final text ends with CR LF
};

inline constexpr std::size_t kMaxFields = 7;

struct MessageSpec {
  MessageId id = MessageId::kCount;
  std::string_view tag;
  Direction direction = Direction::kEditorToInfoWindow;
  std::array<FieldSpec, kMaxFields> fieldArray{};
  std::uint8_t fieldCount = 0;
  MessageRule rule = MessageRule::kNone;

  std::span<const FieldSpec> fields() const { return {fieldArray.data(), fieldCount}; }
};

// The whole catalogue, in MessageId order.
std::span<const MessageSpec> Catalogue();
const MessageSpec& SpecOf(MessageId id);
// The entry for a tag in a direction; nullptr when there is none.
const MessageSpec* FindMessage(std::string_view tag, Direction direction);

// A field's value: numbers (hexadecimal ones too) as std::int64_t, texts as
// std::string.
using FieldValue = std::variant<std::int64_t, std::string>;

struct ParsedMessage {
  MessageId id = MessageId::kCount;
  std::vector<FieldValue> fields;

  const MessageSpec& spec() const { return SpecOf(id); }
  // The field at index (in the order of the catalogue); 0 or "" when that
  // field is not a number, not a text, or not there.
  std::int64_t Number(std::size_t index) const;
  std::string_view Text(std::size_t index) const;
  bool operator==(const ParsedMessage&) const = default;
};

// The tag a received message begins with ("@SAVE@", "@REPLACEERROR"), or ""
// when it does not begin with "@" or has no tag. The text ends at the first
// NUL or at the end of the bytes.
std::string_view TagOf(std::span<const std::uint8_t> received);
std::string_view TagOf(std::string_view received);

// The message in the bytes received (the whole read; a NUL inside ends its
// text), sent in the given direction; nullopt for anything that does not
// match its catalogue entry exactly.
std::optional<ParsedMessage> ParseMessage(std::span<const std::uint8_t> received, Direction direction);
std::optional<ParsedMessage> ParseMessage(std::string_view received, Direction direction);
// What an editor's inbox receives: a message of its info window or of
// another editor (the tags both send have the same layout).
std::optional<ParsedMessage> ParseForEditor(std::span<const std::uint8_t> received);

// ---- building ----

// Whether the NUL that ends a message is sent (only the end reports of a
// listing written from the timer leave it off).
enum class Nul : bool { kAppend, kOmit };

// Any message from its fields, checked against the catalogue: the number and
// kind of the values, ranges, lengths, and texts that could not be read back
// (a blank inside a token, a quote inside a quoted text, a separator inside
// the text before it, a NUL anywhere). nullopt when a check fails or the
// message would be longer than its direction allows.
std::optional<std::string> BuildMessage(MessageId id, std::span<const FieldValue> fields, Nul nul = Nul::kAppend);

// The typed builders below return the message with its NUL (nullopt when a
// value is out of range or a text cannot be carried, as for BuildMessage).
// Names: ...ToInfoWindow from an editor to an info window, ...ToEditor from
// an info window to an editor, ...ToOtherEditor between editors.

struct FrameRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
enum class DockSide : int { kEditorLeft = 1, kEditorRight = 2 };

// The search settings shared through "@SETSCHDATA@".
struct SearchSettings {
  int scope = 0;    // 0 whole file, 1 range, 2 in files
  int options = 0;  // the search option byte
  bool fileFilter = false;
  bool share = false;
  std::string fileTypes;  // blank-free list, at most 48 bytes
  std::string text;       // 1..256 bytes
};
// The replace settings shared through "@SETREPDATA@".
struct ReplaceSettings {
  bool confirm = false;  // only between editors: which record takes them
  int scope = 0;
  int options = 0;
  bool fileFilter = false;
  std::string fileTypes;
  std::string search;   // 1..256 bytes, no 0x01
  std::string replace;  // 0..256 bytes
};
// One match of a listing.
struct MatchPlace {
  int column = 1;           // 1-based byte column of the match
  std::uint32_t lines = 1;  // lines the match spans
  int length = 0;           // bytes
  int line = 1;             // 1-based line the match begins on
};
// The tag jump an info window asks of an editor.
struct TagJump {
  int line = 1;
  int column = 1;  // byte column, 0..0xFFFF
  int length = 0;  // of the text to select, 0..0xFFFF
  std::uint32_t threadId = 0;
  int infoWindow = 0;  // the sender, to be answered
  std::string text;    // the text expected at the column (may be empty)
};
// The compile settings another editor takes over.
struct CompileSettingsData {
  int flags = 0;  // bit 0 first, 11 bits
  std::string environment, compiler, arguments, tagFile;  // each under 260 bytes, no 0x08
  std::string extensions;                                 // under 100 bytes
};

// -- editor to info window --
[[nodiscard]] std::string BuildTestToInfoWindow();
[[nodiscard]] std::string BuildCantOpen();
[[nodiscard]] std::optional<std::string> BuildClosedToInfoWindow(int fileNumber);
[[nodiscard]] std::string BuildCloseOk();
[[nodiscard]] std::optional<std::string> BuildActiveToInfoWindow(int instance, std::uint32_t threadId);
[[nodiscard]] std::optional<std::string> BuildMoveWindowToInfoWindow(const FrameRect& frame, DockSide side);
[[nodiscard]] std::string BuildHideInfoWindow();
[[nodiscard]] std::optional<std::string> BuildMarkJumpFile(int fileNumber, std::string_view path);
[[nodiscard]] std::optional<std::string> BuildChangeEditFile(int charCode, int fileNumber, std::string_view path);
[[nodiscard]] std::optional<std::string> BuildAddFileItemToInfoWindow(int charCode, int instance, std::string_view path,
                                                                      std::string_view second);
[[nodiscard]] std::optional<std::string> BuildCheckProjectOptions(int charCode, int instance, std::string_view path);
[[nodiscard]] std::string BuildEditPos();
// The note's length is sent in front of it.
[[nodiscard]] std::optional<std::string> BuildSetMarkJumpToInfoWindow(int instance, int fileNumber, int mark,
                                                                      std::string_view note);
[[nodiscard]] std::optional<std::string> BuildCheckMarkJumpToInfoWindow(int instance, int fileNumber, int mark,
                                                                        std::string_view note);
[[nodiscard]] std::optional<std::string> BuildCheckEndMarkJump(int fileNumber);
[[nodiscard]] std::optional<std::string> BuildDeleteMarkJumpToInfoWindow(int fileNumber, int mark);
[[nodiscard]] std::optional<std::string> BuildSaveMarkJumpData(int instance, int fileNumber, std::string_view path);
[[nodiscard]] std::optional<std::string> BuildSetSearchDataToInfoWindow(const SearchSettings& s);
// settings.confirm is not sent to the info window.
[[nodiscard]] std::optional<std::string> BuildSetReplaceDataToInfoWindow(const ReplaceSettings& s);
[[nodiscard]] std::optional<std::string> BuildProjectSearchToInfoWindow(int instance);
[[nodiscard]] std::optional<std::string> BuildProjectReplaceToInfoWindow(int instance);
[[nodiscard]] std::string BuildSearchCancel();
[[nodiscard]] std::string BuildReplaceCancel();
[[nodiscard]] std::string BuildDisplaySearch();
[[nodiscard]] std::optional<std::string> BuildSearchFile(bool range, std::string_view path);
// CR LF is added to a text that does not end with it. A text of 0x8000 - 523
// bytes or more is replaced by a short notice (lines 1, length 0).
[[nodiscard]] std::optional<std::string> BuildSearchLine(const MatchPlace& match, std::string_view text);
[[nodiscard]] std::optional<std::string> BuildSearchEnd(int count, Nul nul = Nul::kAppend);
[[nodiscard]] std::optional<std::string> BuildReplaceEnd(int count, Nul nul = Nul::kAppend);
[[nodiscard]] std::optional<std::string> BuildReplaceStop(int count);
[[nodiscard]] std::optional<std::string> BuildReplaceError(int count);
[[nodiscard]] std::optional<std::string> BuildTelnetText(int flag, std::string_view text);
[[nodiscard]] std::string BuildDisplayCompile();
[[nodiscard]] std::string BuildCompileEnd();
[[nodiscard]] std::optional<std::string> BuildReadTagFile(std::string_view path);
// With a path: "1 path"; without: "0".
[[nodiscard]] std::optional<std::string> BuildRemoteReadTagFile(std::optional<std::string_view> path);
[[nodiscard]] std::optional<std::string> BuildRemoteCompileStart(int instance, std::string_view command,
                                                                 std::string_view arguments);
[[nodiscard]] std::optional<std::string> BuildTidToInfoWindow(int infoWindow, std::uint32_t threadId);
[[nodiscard]] std::optional<std::string> BuildTidSetOkToInfoWindow(int infoWindow);
[[nodiscard]] std::optional<std::string> BuildActiveOkToInfoWindow(int instance);
[[nodiscard]] std::string BuildBulkCrlfReturn(bool saved);
[[nodiscard]] std::string BuildInfoDestroy();

// A piece of build output for the info window: raw text, not a message. A
// piece that begins with "@" gets one more "@" in front, so that no output
// line ("@CLOSED@ 0") can pass for a message; NUL bytes of the output are
// left out. nullopt when it would be too long.
[[nodiscard]] std::optional<std::string> BuildCompileOutput(std::string_view output);
// The info window's side: the build output in a received text (the doubled
// "@" taken off), or nullopt when the text is a message (or empty).
std::optional<std::string> ParseCompileOutput(std::span<const std::uint8_t> received);
std::optional<std::string> ParseCompileOutput(std::string_view received);

// -- info window to editor --
[[nodiscard]] std::string BuildTestToEditor();
[[nodiscard]] std::string BuildDeadUnlock();
// mode 0..3: 1 and 3 save a modified document, 0 and 2 discard it.
[[nodiscard]] std::optional<std::string> BuildClosedToEditor(int mode);
[[nodiscard]] std::string BuildSave();
[[nodiscard]] std::optional<std::string> BuildActiveToEditor(const TagJump& jump);
[[nodiscard]] std::optional<std::string> BuildExecMarkJump(int mark, std::uint32_t threadId, int infoWindow);
[[nodiscard]] std::optional<std::string> BuildTidToEditor(int infoWindow, std::uint32_t threadId);
[[nodiscard]] std::string BuildTidSetOkToEditor();
[[nodiscard]] std::string BuildActiveOkToEditor();
[[nodiscard]] std::string BuildSetMarkJumpResult(bool ok);
[[nodiscard]] std::string BuildCheckMarkJumpResult(bool ok);
[[nodiscard]] std::string BuildSaveMarkJumpDataOk();
[[nodiscard]] std::optional<std::string> BuildDeleteMarkJumpToEditor(int mark);
[[nodiscard]] std::optional<std::string> BuildAddFileItemReturn(int fileNumber);
[[nodiscard]] std::string BuildDeleteFileItem();
[[nodiscard]] std::optional<std::string> BuildAddFileItemToEditor(int infoWindow);
[[nodiscard]] std::optional<std::string> BuildMoveWindowToEditor(const FrameRect& frame, DockSide side);
[[nodiscard]] std::optional<std::string> BuildProjectSearchToEditor(int infoWindow, int options,
                                                                    std::string_view searchData);
[[nodiscard]] std::optional<std::string> BuildProjectReplaceToEditor(int infoWindow, int flags, std::string_view search,
                                                                     std::string_view replace);
[[nodiscard]] std::string BuildProjectSearchEnd();
[[nodiscard]] std::string BuildProjectReplaceEnd();
[[nodiscard]] std::optional<std::string> BuildRemoteCompileEnd(int code);
[[nodiscard]] std::string BuildBackgroundViewEnter();
[[nodiscard]] std::string BuildBackgroundViewLeave();
[[nodiscard]] std::optional<std::string> BuildBulkCrlf(int replyTo, int charCode, int lineEnd);

// -- editor to editor --
[[nodiscard]] std::string BuildTestToOtherEditor();
[[nodiscard]] std::optional<std::string> BuildInstanceActive(std::uint32_t threadId, int senderInstance);
[[nodiscard]] std::optional<std::string> BuildTidInstance(int instance, std::uint32_t threadId);
[[nodiscard]] std::string BuildTidSetOkToOtherEditor();
[[nodiscard]] std::string BuildActiveOkToOtherEditor();
[[nodiscard]] std::optional<std::string> BuildAutoSave(int instance);
[[nodiscard]] std::string BuildAutoSaveAnswer(bool ok);
[[nodiscard]] std::string BuildRedraw(bool reloadColouring);
[[nodiscard]] std::string BuildAutoSetAreaSel();
[[nodiscard]] std::string BuildKeyCustom();
[[nodiscard]] std::string BuildWindowMenu();
[[nodiscard]] std::string BuildCreateIsData();
[[nodiscard]] std::optional<std::string> BuildCompileData(const CompileSettingsData& data);
[[nodiscard]] std::optional<std::string> BuildSetSearchDataToOtherEditor(const SearchSettings& s);
[[nodiscard]] std::optional<std::string> BuildSetReplaceDataToOtherEditor(const ReplaceSettings& s);

}  // namespace gorvane::ipc

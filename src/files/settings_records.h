// The editor settings as the editors of one user share them: a global block
// of 9,160 bytes followed by per-extension records of 2,892 bytes (the first
// one, ".???", holds the defaults). The same bytes go unchanged into the .wi1
// status file after its magic.
//
// Layout of the shared settings memory (and of the .wi1 body):
//
//   0          global block, 9,160 bytes. Its first 50 bytes are the file
//              header: u16 value 3, then the ident text NUL-padded to 48
//              bytes (like the other shared files' idents at offset 2). The
//              header is part of the block, not in front of it: offset 50 of
//              the block is the record count, and the .wi1 file stores these
//              9,160 bytes as they are, header included.
//   9160       record 0: the defaults (".???")
//   9160+2892  records 1..n, one per extension with settings of its own
//
// Records never reach past the first 2,097,152 bytes of the memory (nor past
// the end of the span given to SettingsArea, whichever comes first).
//
// Everything here is read from memory another process may have written:
// every count and offset is checked before use, and garbage gives a clamped
// or invalid result, never an access outside the span.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/host.h"
#include "base/record_codec.h"

namespace gorvane::files {

// --- Sizes -----------------------------------------------------------------

inline constexpr std::size_t kSettingsGlobalBytes = 9160;
inline constexpr std::size_t kSettingsRecordBytes = 2892;
// The size of the shared settings memory; records stay within it.
inline constexpr std::size_t kSettingsMemoryBytes = 2097152;

inline constexpr std::uint16_t kSettingsFileKind = 3;
inline constexpr std::string_view kSettingsIdent = "$QORV$SettingDataMMFileIdentStr$V1.74";
inline constexpr std::string_view kDefaultsRecordName = ".???";

// --- Global block --------------------------------------------------------

inline constexpr std::size_t kGlobalFileKind = 0;        // u16, 3
inline constexpr std::size_t kGlobalIdent = 2;           // 48 bytes, NUL-padded
inline constexpr std::size_t kGlobalIdentBytes = 48;
inline constexpr std::size_t kGlobalRecordCount = 50;    // i16 n: records after the defaults record
// i32: records that fit in one page-sized view, (page size - 9160) / 2892,
// counting the defaults record; written when the memory is initialised.
inline constexpr std::size_t kGlobalCapacity = 52;
inline constexpr std::size_t kGlobalPrintMargins = 1100; // 4 x i32 left, top, right, bottom, 0.01 mm
inline constexpr std::size_t kGlobalPrintHeader = 1116;  // 33, print header format
inline constexpr std::size_t kGlobalPrintFooter = 1149;  // 33, print footer format
inline constexpr std::size_t kPrintFormatBytes = 33;
// Folders set by the first editor: the settings folder (key definition and
// keyword files; program folder + "settingfile") and the macro folder
// (program folder + "kbdmacrofile"), kGlobalFolderBytes each, NUL-terminated.
inline constexpr std::size_t kGlobalSettingsFolder = 1200;
inline constexpr std::size_t kGlobalMacroFolder = 1461;
inline constexpr std::size_t kGlobalFolderBytes = 261;
inline constexpr std::size_t kGlobalSearchHitLimit = 1724;  // i32: hits sent to the info window, 30000
inline constexpr std::size_t kGlobalSettingsLimit = 1728;   // i32: 1,048,576
// The info window's place: 4 x i32 left, top, right, bottom in screen
// pixels; all 0 (the default) places it at the screen's centre.
inline constexpr std::size_t kGlobalInfoWindowRect = 1732;
inline constexpr std::int32_t kDefaultSearchHitLimit = 30000;
inline constexpr std::int32_t kDefaultSettingsLimit = 1048576;

// --- Per-extension record ------------------------------------------------

inline constexpr std::size_t kRecName = 0;  // extension with its period, lower case
inline constexpr std::size_t kRecNameBytes = 16;
inline constexpr std::size_t kRecDisplayOptions = 23;  // 13 bytes of screen options
inline constexpr std::size_t kRecDisplayOptionBytes = 13;
inline constexpr std::size_t kRecTabWidth = 34;     // u8, columns
inline constexpr std::size_t kRecLineSpacing = 35;  // u8, extra pixels between lines
// For colour slot k (18 slots): the palette index of its text colour at
// 2k and of its background colour at 2k + 1.
inline constexpr std::size_t kRecColourSlots = 36;
inline constexpr std::size_t kColourSlotCount = 18;
inline constexpr std::size_t kRecPalette = 72;  // 16 x red, green, blue
inline constexpr std::size_t kPaletteColours = 16;
inline constexpr std::size_t kRecLineNumberFont = 120;  // font description, kFontBytes
inline constexpr std::size_t kRecEditFont = 180;        // font description, kFontBytes
inline constexpr std::size_t kRecDisplayOption240 = 240;
inline constexpr std::size_t kRecDisplayOption241 = 241;
inline constexpr std::size_t kRecDisplayText = 242;  // 102
inline constexpr std::size_t kRecDisplayTextBytes = 102;
inline constexpr std::size_t kRecPrintCharHeight = 344;  // i32
inline constexpr std::size_t kRecPrintCharWidth = 348;   // i32
inline constexpr std::size_t kRecPrintWeight = 352;      // i32: 0, 1, 2
// 10 x u8: two columns, no wrap, no line numbers, justify wrapped rows, hide
// tab marks, hide line-end mark, hide end-of-file mark, hide full-width blank
// marks, hide half-width blank marks, no colours.
inline constexpr std::size_t kRecPrintFlags = 356;
inline constexpr std::size_t kPrintFlagCount = 10;
inline constexpr std::size_t kRecDisplayOptions2 = 366;  // 5 x u8
inline constexpr std::size_t kRecPrintFontFace = 372;    // 34
inline constexpr std::size_t kRecPrintFontFaceBytes = 34;
inline constexpr std::size_t kRecPrintHeader = 406;      // kPrintFormatBytes
inline constexpr std::size_t kRecPrintFooter = 439;      // kPrintFormatBytes
inline constexpr std::size_t kRecPrintColourSource = 472;     // u8
inline constexpr std::size_t kRecPrintColourOwnKeywords = 473;  // u8
inline constexpr std::size_t kRecPrintColourExtension = 474;  // 100
inline constexpr std::size_t kRecBackgroundOn = 574;
inline constexpr std::size_t kRecBackgroundSecondPercent = 576;
inline constexpr std::size_t kRecSlideShowOn = 578;
inline constexpr std::size_t kRecCentreTiled = 580;
inline constexpr std::size_t kRecFitToPicture = 581;
inline constexpr std::size_t kRecRandomOrder = 582;
inline constexpr std::size_t kRecIntervalUnit = 583;  // 0 hours, 1 minutes, 2 seconds
inline constexpr std::size_t kRecFadeIn = 584;
inline constexpr std::size_t kRecFadeOut = 585;
inline constexpr std::size_t kRecPauseInactive = 586;
inline constexpr std::size_t kRecSlideShowFolder = 587;     // kPathBytes
inline constexpr std::size_t kRecDefaultPicture = 848;      // kPathBytes
inline constexpr std::size_t kPathBytes = 261;
inline constexpr std::size_t kRecPictureLayout = 1109;      // u8: 0..3 corners, 4 centre
inline constexpr std::size_t kRecSlideInterval = 1110;      // i16 seconds
inline constexpr std::size_t kRecMaxPictureWidth = 1112;    // i16
inline constexpr std::size_t kRecMaxPictureHeight = 1114;   // i16
inline constexpr std::size_t kRecDimmingPercent = 1116;     // i16
inline constexpr std::size_t kRecBackgroundOption = 1118;   // u8
inline constexpr std::size_t kRecBackgroundRestrict = 1119; // u8
inline constexpr std::size_t kRecBackgroundExtensions = 1120;  // 100
inline constexpr std::size_t kExtensionListBytes = 100;
inline constexpr std::size_t kRecFunctionDefs = 1220;  // kFunctionDefCount x kFunctionDefBytes
inline constexpr std::size_t kFunctionDefCount = 3;
inline constexpr std::size_t kFunctionDefBytes = 523;
inline constexpr std::size_t kRecFunctionOptions = 2789;  // 3 x u8, the first: run after opening
inline constexpr std::size_t kRecFunctionText = 2792;     // 100

// Inside a function-name definition (at kRecFunctionDefs + i * kFunctionDefBytes).
inline constexpr std::size_t kFnEnabled = 0;
inline constexpr std::size_t kFnRegex = 1;  // kFnPatternBytes
inline constexpr std::size_t kFnPatternBytes = 257;
inline constexpr std::size_t kFnRegexCase = 258;
inline constexpr std::size_t kFnNameGroup = 259;  // 0 whole match, 1..9
inline constexpr std::size_t kFnSearchUpward = 260;
inline constexpr std::size_t kFnSecondary = 261;  // kFnPatternBytes
// 5 x u8: case, left word boundary, right word boundary, fuzzy, wildcard.
inline constexpr std::size_t kFnSecondaryOptions = 518;

// Inside a font description (the system's logical-font layout).
inline constexpr std::size_t kFontBytes = 60;
inline constexpr std::size_t kFontHeight = 0;  // i32
inline constexpr std::size_t kFontWidth = 4;   // i32
inline constexpr std::size_t kFontEscapement = 8;
inline constexpr std::size_t kFontOrientation = 12;
inline constexpr std::size_t kFontWeight = 16;  // i32
inline constexpr std::size_t kFontItalic = 20;  // u8 from here on
inline constexpr std::size_t kFontUnderline = 21;
inline constexpr std::size_t kFontStrikeOut = 22;
inline constexpr std::size_t kFontCharSet = 23;
inline constexpr std::size_t kFontOutPrecision = 24;
inline constexpr std::size_t kFontClipPrecision = 25;
inline constexpr std::size_t kFontQuality = 26;
inline constexpr std::size_t kFontPitchAndFamily = 27;
inline constexpr std::size_t kFontFace = 28;  // 32
inline constexpr std::size_t kFontFaceBytes = 32;

// --- Settings groups -----------------------------------------------------

// The settings a dialog changes together, as byte ranges [begin, end) of a
// record: 0 display and colours, 1 print, 2 background, 3 function names.
// Bytes 0..22 (the name and spare bytes) and 371 belong to no group.
struct ByteRange {
  std::size_t begin, end;
};
inline constexpr int kSettingsGroupCount = 4;
inline constexpr std::array<std::array<ByteRange, 2>, kSettingsGroupCount> kSettingsGroupRanges{{
    {{{23, 344}, {366, 371}}},
    {{{344, 366}, {372, 574}}},
    {{{574, 1220}, {0, 0}}},
    {{{1220, 2892}, {0, 0}}},
}};

// The current settings as a whole record image (the values of the record
// being edited, changed by a settings dialog).
struct SettingsGroupValues {
  std::array<std::uint8_t, kSettingsRecordBytes> record{};
};

struct PrintMargins {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct StoreResult {
  bool done = false;     // false: the area is not valid or the group unknown
  int updated = 0;       // existing records that got the group's values
  int appended = 0;      // new records
  bool outOfRoom = false;  // some names got no record (the user was told)
};

// The shared settings memory (or a copy of it) seen through a span.
class SettingsArea {
 public:
  explicit SettingsArea(std::span<std::uint8_t> memory) : memory_(memory) {}

  // Fresh settings: the header, the global defaults and the defaults record
  // ".???" with the built-in values; no extension records. The capacity is
  // (pageSize - 9160) / 2892 records, never more than the memory holds.
  // False when the memory or the page cannot hold the block and one record.
  bool Initialise(std::uint32_t pageSize);

  // The ident is ours, the defaults record and the n records of the count
  // lie inside the memory, and the capacity is one this memory holds (a bare
  // copy of another memory's image reads fine but is not Valid: Load() it).
  // StoreSettingsGroup and Image need a valid area.
  bool Valid();

  // Records including the defaults record (n + 1). A negative count reads as
  // 0 (only the defaults record), a count past the memory as the records
  // that fit; 0 when not even the defaults record fits.
  int RecordCount();
  // Record i (0 = defaults); an empty view when i is out of range.
  base::RecordView Record(int i);
  // A copy of record i (zeros when out of range).
  SettingsGroupValues Values(int i);

  // The record named `extension` (with its period; ASCII letters without
  // case, double-byte characters as they are; "" finds a record named ""),
  // -1 when there is none.
  int FindRecord(std::string_view extension);
  // The record for a file: that of its extension (from the last period of the
  // file name; "" when there is none), else the defaults record 0. A file
  // without a name gets the defaults record.
  int RecordFor(std::string_view fileName);

  // A settings dialog was closed: copies the bytes of `group` from `current`
  // into the record of every extension in `extensionList` (names each
  // starting with a period, written one after another; an empty list names
  // the record named ""). A name without a record gets a new one with the
  // values of all four groups, while the records stay within the memory;
  // past that the user is told and no more records are appended. The caller
  // holds the settings lock and rewrites the .wi1 file afterwards.
  StoreResult StoreSettingsGroup(int group, std::string_view extensionList, const SettingsGroupValues& current,
                                 base::Host& host);

  // The used bytes (block and records), as the .wi1 file stores them; empty
  // when the area is not valid.
  std::span<const std::uint8_t> Image();
  // Takes over an image saved from another area (block and records, as a
  // .wi1 file holds them) and writes this memory's capacity for pageSize.
  // False, with the memory untouched, when the image is not ours, is cut
  // short or holds more records than fit.
  bool Load(std::span<const std::uint8_t> image, std::uint32_t pageSize);

  // Global block fields.
  base::RecordView Global();
  int StoredCount();  // the raw count at offset 50
  int Capacity();
  PrintMargins Margins();
  void SetMargins(const PrintMargins& m);
  // The settings and macro folders below the program folder (ending in a
  // backslash); a folder too long for its field is left empty.
  void SetFolders(std::string_view programFolder);
  std::string SettingsFolder();
  std::string MacroFolder();
  std::int32_t SearchHitLimit();
  // The info window's remembered place; all 0: the screen's centre.
  struct WindowRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
  };
  WindowRect InfoWindowRect();
  void SetInfoWindowRect(const WindowRect& r);

  // Where records may lie: min(memory size, kSettingsMemoryBytes).
  std::size_t Limit() const;
  // How many records fit below Limit() (0 when not even the block fits).
  int MaxRecords() const;

 private:
  std::span<std::uint8_t> memory_;
};

// The names of an extension list, each as stored in a record: lower case,
// cut to 15 bytes at a character boundary, without duplicates.
std::vector<std::string> SplitExtensionList(std::string_view list);
// An extension as a record stores it.
std::string RecordName(std::string_view extension);

}  // namespace gorvane::files

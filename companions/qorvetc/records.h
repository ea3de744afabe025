// The editor's long-lived records that the support library reads and writes in
// place (registered once with SetStructPointer): the chain and append-page
// state, the two line windows, the sorted offset list with the merge
// candidates, and the sparse line index.
#pragma once

#include <array>
#include <cstdint>

namespace gorvane::document {

inline constexpr int kWindowLines = 400;           // lines per pane's window
inline constexpr std::uint32_t kMaxLines = 1600000;
inline constexpr std::uint32_t kMaxLineBytes = 15360;
inline constexpr std::uint32_t kIndexReserveEntries = 33279;  // 532,464 bytes
inline constexpr int kMaxMergeCandidates = 256;

// One line held in a line window.
struct LINEDATA_STRC {
  std::int32_t lineNo = 0;         // 1-based
  std::uint8_t* text = nullptr;    // LineCapacity(length) bytes
  LINEDATA_STRC* prev = nullptr;   // previous record of the same run
  LINEDATA_STRC* next = nullptr;   // next record of the same run
  std::uint32_t cacheOffset = 0;   // the line's cache record
  std::uint16_t length = 0;        // bytes, line end included
  std::int16_t rangeIndex = 0;     // copy of the record's range-setting label
  std::uint8_t flags = 0;          // kInPane0, kInPane1, kModified, attribute bits
};

inline constexpr std::uint8_t kInPane0 = 0x01;
inline constexpr std::uint8_t kInPane1 = 0x02;
inline constexpr std::uint8_t kModified = 0x04;
inline constexpr std::uint8_t kLineAttributeBits = 0xE0;
inline constexpr std::uint8_t PaneBit(int pane) { return pane == 0 ? kInPane0 : kInPane1; }

// The chain and the append page.
struct TPALLCACHE_MNG {
  std::uint32_t firstOffset = 0;   // first line's record
  std::uint32_t lastOffset = 0;    // last line's record
  std::uint32_t appendFree = 0;    // free bytes left in the append page
  std::uint32_t appendNext = 0;    // its next free byte
  std::uint8_t* appendImage = nullptr;
  std::uint32_t appendBase = 0;    // its base offset
  std::uint32_t lastAppended = 0;  // the record appended last while loading
  std::int64_t pinnedPage = -1;    // the page being worked in, -1 when none
};

// The two panes' line windows: slot i holds line first + i.
struct MEMDATA {
  std::array<std::array<LINEDATA_STRC*, kWindowLines>, 2> slots{};
};

struct OffsetPair {
  std::uint32_t offset;
  LINEDATA_STRC* line;
};

// Merge candidates and the sorted offset list of the window records.
struct MARGEDATA {
  bool mergePending = false;
  std::uint32_t candidateCount = 0;
  std::array<std::int64_t, kMaxMergeCandidates> candidates;  // page offsets, -1 past the count
  bool listValid = false;                                   // cleared whenever the windows change
  std::uint32_t listCount = 0;
  std::array<OffsetPair, 2 * kWindowLines> list;             // ascending offsets

  MARGEDATA() { candidates.fill(-1); }
};

// One entry of the sparse line index.
struct TMPOFFSET {
  std::uint32_t line;         // 1-based; 0 ends the array
  std::uint32_t offset;       // that line's cache record
  std::uint16_t colourState;  // keyword-colouring state at the start of the line
  std::uint8_t stateValid;
  std::uint8_t bookmarkMark;  // 0 = none
  std::uint16_t rangeIndex;   // 0 = none
  std::uint8_t reserved[2];
};
static_assert(sizeof(TMPOFFSET) == 16);

// The settings the support library reads: the first fields of the editor's
// settings record (the rest belongs to the editor).
struct SETTINGDATA {
  std::uint32_t pageSize = 65536;  // bytes per cache page, read once at start-up
  std::uint32_t memoryPages = 8;   // cache pages held in memory
};

// The application state the support library reads and writes: the first
// fields of the editor's application record.
struct APPDATA {
  std::uint32_t lineCount = 0;       // lines of the document
  std::uint8_t creatingPage = 0;     // set while a new append page is being made
};

struct TMPOFFSET_MNG {
  std::uint32_t committed = 0;  // entries committed
  std::uint32_t used = 0;       // entries in use, the terminator not counted
  TMPOFFSET* entries = nullptr;
  void** rangeLabels = nullptr; // labels by rangeIndex
};

}  // namespace gorvane::document

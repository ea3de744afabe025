// The byte layouts of the temporary cache: page headers and line records, as
// the editor and the support library both read and write them in page images.
// All fields are little-endian; records are packed one after the other from
// a page's base + 16 and never cross a page.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace gorvane::document {

static_assert(std::endian::native == std::endian::little, "cache pages are little-endian images");

inline constexpr std::uint32_t kPageHeaderSize = 16;
inline constexpr std::uint32_t kRecordHeaderSize = 16;

struct PageHeader {
  std::uint32_t baseOffset;  // offset of the page itself in the cache space
  std::uint32_t freeBytes;   // free bytes of the page, deleted records included
  std::uint32_t nextFree;    // offset of the first never-used byte
  std::uint8_t pageFlags;    // kPageEntirelyFree, kPageDirty
  std::uint8_t reserved[3];
};
static_assert(sizeof(PageHeader) == kPageHeaderSize);

inline constexpr std::uint8_t kPageEntirelyFree = 0x01;
inline constexpr std::uint8_t kPageDirty = 0x02;

struct RecordHeader {
  std::uint32_t nextOffset;  // next line's record, 0 for the last line
  std::uint32_t prevOffset;  // previous line's record, 0 for the first line
  std::uint16_t length;      // bytes of text, line end included
  std::uint16_t space;       // bytes reserved for the text
  std::uint16_t rangeIndex;  // range-setting label, 0 = none
  std::uint8_t recFlags;     // kRecordDeleted, attribute bits 5 to 7
  std::uint8_t reserved;
};
static_assert(sizeof(RecordHeader) == kRecordHeaderSize);

inline constexpr std::uint8_t kRecordDeleted = 0x01;
inline constexpr std::uint8_t kRecordAttributeBits = 0xE0;

inline PageHeader LoadPageHeader(const std::uint8_t* page) {
  PageHeader h;
  std::memcpy(&h, page, sizeof h);
  return h;
}
inline void StorePageHeader(std::uint8_t* page, const PageHeader& h) { std::memcpy(page, &h, sizeof h); }
inline void MarkPageDirty(std::uint8_t* page) { page[12] |= kPageDirty; }

inline RecordHeader LoadRecordHeader(const std::uint8_t* record) {
  RecordHeader h;
  std::memcpy(&h, record, sizeof h);
  return h;
}
inline void StoreRecordHeader(std::uint8_t* record, const RecordHeader& h) { std::memcpy(record, &h, sizeof h); }

// Field writers for the link updates that touch one field of a neighbour.
inline void StoreNextOffset(std::uint8_t* record, std::uint32_t v) { std::memcpy(record, &v, 4); }
inline void StorePrevOffset(std::uint8_t* record, std::uint32_t v) { std::memcpy(record + 4, &v, 4); }

}  // namespace gorvane::document

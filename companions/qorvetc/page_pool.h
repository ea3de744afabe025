// The page pool of the temporary cache: one linear space of 32-bit offsets cut
// into pages, of which at most `memoryPages` images are held in memory (more
// only while that many are pinned); the others live in a temporary file. A page
// image is written out when it is evicted and its dirty bit is set.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "page_file.h"

namespace gorvane::qorvetc {

struct CacheSettings {
  std::uint32_t pageSize = 65536;  // bytes per page
  std::uint32_t memoryPages = 8;   // page images held in memory
  std::uint64_t spaceLimit = std::uint64_t{1} << 32;  // the 32-bit offsets' space (smaller in tests)
};

inline constexpr std::uint32_t kMinPageSize = 256;
inline constexpr std::uint32_t kMinMemoryPages = 2;
// The page size a pool makes of the setting: a multiple of 16, at least kMinPageSize.
constexpr std::uint32_t PoolPageSize(std::uint32_t setting) {
  return setting / 16 * 16 > kMinPageSize ? setting / 16 * 16 : kMinPageSize;
}

class PagePool {
 public:
  // pageSize is rounded down to a multiple of 16 and raised to kMinPageSize.
  PagePool(CacheSettings settings, std::unique_ptr<PageFile> file);
  PagePool(const PagePool&) = delete;
  PagePool& operator=(const PagePool&) = delete;

  std::uint32_t pageSize() const { return pageSize_; }
  std::uint32_t pageCount() const { return pageCount_; }
  std::uint32_t memoryPages() const { return memoryPages_; }
  bool usable() const { return file_ != nullptr; }

  // The image of the page that holds offset; null when the offset lies beyond
  // the cache space in use or the page cannot be read. Valid until the next
  // call, or for as long as the page is pinned.
  std::uint8_t* Page(std::uint32_t offset);
  // A fresh page with its header set (base, free bytes, next free, dirty):
  // a page given back earlier, else a new one at the end of the space. Null
  // when the 32-bit space is used up or the page cannot be had.
  std::uint8_t* NewPage();
  // An entirely free page: NewPage hands it out again.
  void GiveBack(std::uint32_t base);
  // A pinned page stays in memory (its pointers stay valid) until unpinned.
  bool Pin(std::uint32_t offset);
  void Unpin(std::uint32_t offset);
  // Every page discarded; the space starts empty again.
  void Reset();

  std::uint32_t PageBase(std::uint32_t offset) const { return offset - offset % pageSize_; }
  std::size_t framesInMemory() const { return frames_.size(); }
  std::size_t givenBackPages() const { return givenBack_.size(); }
  std::uint64_t pageReads() const { return reads_; }
  std::uint64_t pageWrites() const { return writes_; }

 private:
  struct Frame {
    std::uint32_t page;
    int pins = 0;
    std::uint64_t lastUse = 0;
    std::unique_ptr<std::uint8_t[]> image;
  };
  static constexpr std::int32_t kNotInMemory = -1;

  Frame* FrameFor(std::uint32_t page, bool readFromFile);
  bool WriteOut(Frame& f);
  void DropFrame(std::size_t index);
  Frame* FindFreeFrame();

  std::uint32_t pageSize_;
  std::uint32_t memoryPages_;
  std::uint32_t maxPages_;
  std::uint32_t pageCount_ = 0;
  std::unique_ptr<PageFile> file_;
  std::vector<Frame> frames_;
  std::vector<std::int32_t> frameOfPage_;  // frame index per page, or kNotInMemory
  std::vector<std::uint32_t> givenBack_;   // page numbers
  std::uint64_t clock_ = 0, reads_ = 0, writes_ = 0;
};

}  // namespace gorvane::qorvetc

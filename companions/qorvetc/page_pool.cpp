#include "page_pool.h"

#include <algorithm>
#include <cstring>

#include "companions/qorvetc/cache_layout.h"

namespace gorvane::qorvetc {

namespace doc = gorvane::document;

PagePool::PagePool(CacheSettings settings, std::unique_ptr<PageFile> file)
    : pageSize_(PoolPageSize(settings.pageSize)),
      memoryPages_(std::max(kMinMemoryPages, settings.memoryPages)),
      maxPages_(static_cast<std::uint32_t>(std::min(settings.spaceLimit, std::uint64_t{1} << 32) / pageSize_)),
      file_(std::move(file)) {}

PagePool::Frame* PagePool::FrameFor(std::uint32_t page, bool readFromFile) {
  const std::int32_t known = frameOfPage_[page];
  if (known != kNotInMemory) {
    Frame& f = frames_[static_cast<std::size_t>(known)];
    f.lastUse = ++clock_;
    return &f;
  }
  Frame* f = FindFreeFrame();
  if (f == nullptr) return nullptr;
  if (readFromFile) {
    if (!file_->Read(std::uint64_t{page} * pageSize_, f->image.get(), pageSize_)) {
      DropFrame(static_cast<std::size_t>(f - frames_.data()));
      return nullptr;
    }
    ++reads_;
  }
  f->page = page;
  f->pins = 0;
  f->lastUse = ++clock_;
  frameOfPage_[page] = static_cast<std::int32_t>(f - frames_.data());
  return f;
}

// A frame to load a page into: a new one while under the budget (or while
// every frame is pinned), else the least recently used unpinned one, written
// out first when dirty.
PagePool::Frame* PagePool::FindFreeFrame() {
  Frame* victim = nullptr;
  if (frames_.size() >= memoryPages_) {
    for (Frame& f : frames_)
      if (f.pins == 0 && (victim == nullptr || f.lastUse < victim->lastUse)) victim = &f;
  }
  if (victim != nullptr) {
    if (!WriteOut(*victim)) return nullptr;
    frameOfPage_[victim->page] = kNotInMemory;
    return victim;
  }
  frames_.push_back(Frame{0, 0, 0, std::make_unique_for_overwrite<std::uint8_t[]>(pageSize_)});
  return &frames_.back();
}

bool PagePool::WriteOut(Frame& f) {
  std::uint8_t* image = f.image.get();
  if (!(image[12] & doc::kPageDirty)) return true;
  image[12] = static_cast<std::uint8_t>(image[12] & ~doc::kPageDirty);
  if (file_ == nullptr || !file_->Write(std::uint64_t{f.page} * pageSize_, image, pageSize_)) {
    image[12] |= doc::kPageDirty;
    return false;
  }
  ++writes_;
  return true;
}

void PagePool::DropFrame(std::size_t index) {
  if (index + 1 != frames_.size()) {
    std::swap(frames_[index], frames_.back());
    if (frameOfPage_.size() > frames_[index].page && frameOfPage_[frames_[index].page] != kNotInMemory)
      frameOfPage_[frames_[index].page] = static_cast<std::int32_t>(index);
  }
  frames_.pop_back();
}

std::uint8_t* PagePool::Page(std::uint32_t offset) {
  const std::uint32_t page = offset / pageSize_;
  if (page >= pageCount_ || file_ == nullptr) return nullptr;
  Frame* f = FrameFor(page, true);
  return f ? f->image.get() : nullptr;
}

std::uint8_t* PagePool::NewPage() {
  if (file_ == nullptr) return nullptr;
  std::uint32_t page;
  if (!givenBack_.empty()) {
    page = givenBack_.back();
    givenBack_.pop_back();
  } else {
    if (pageCount_ >= maxPages_) return nullptr;
    page = pageCount_++;
    frameOfPage_.push_back(kNotInMemory);
  }
  Frame* f = FrameFor(page, false);
  if (f == nullptr) {
    if (page + 1 == pageCount_ && frameOfPage_[page] == kNotInMemory) {
      --pageCount_;
      frameOfPage_.pop_back();
    } else {
      givenBack_.push_back(page);
    }
    return nullptr;
  }
  // Only the header needs setting: records are read up to the page's next
  // free byte, never beyond.
  std::uint8_t* image = f->image.get();
  const std::uint32_t base = page * pageSize_;
  doc::StorePageHeader(image, doc::PageHeader{base, pageSize_ - doc::kPageHeaderSize, base + doc::kPageHeaderSize,
                                              doc::kPageDirty, {0, 0, 0}});
  return image;
}

void PagePool::GiveBack(std::uint32_t base) {
  const std::uint32_t page = base / pageSize_;
  if (page >= pageCount_ || std::find(givenBack_.begin(), givenBack_.end(), page) != givenBack_.end()) return;
  givenBack_.push_back(page);
}

bool PagePool::Pin(std::uint32_t offset) {
  const std::uint32_t page = offset / pageSize_;
  if (page >= pageCount_ || file_ == nullptr) return false;
  Frame* f = FrameFor(page, true);
  if (f == nullptr) return false;
  ++f->pins;
  return true;
}

void PagePool::Unpin(std::uint32_t offset) {
  const std::uint32_t page = offset / pageSize_;
  if (page >= pageCount_ || frameOfPage_[page] == kNotInMemory) return;
  const auto index = static_cast<std::size_t>(frameOfPage_[page]);
  Frame& f = frames_[index];
  if (f.pins > 0) --f.pins;
  // Back within the budget once the extra pinned frames are let go.
  if (f.pins == 0 && frames_.size() > memoryPages_ && WriteOut(f)) {
    frameOfPage_[page] = kNotInMemory;
    DropFrame(index);
  }
}

void PagePool::Reset() {
  frames_.clear();
  frameOfPage_.clear();
  givenBack_.clear();
  pageCount_ = 0;
}

}  // namespace gorvane::qorvetc

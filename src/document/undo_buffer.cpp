#include "document/undo_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace gorvane::document {

namespace {

constexpr std::u8string_view kReserveFailed = u8"アンドゥバッファの確保に失敗しました。";
constexpr std::u8string_view kCommitFailed = u8"アンドゥバッファのコミットに失敗しました。";
constexpr std::u8string_view kDecommitFailed = u8"アンドゥバッファのコミット解除に失敗しました。";
constexpr std::u8string_view kOverflow = u8"アンドゥバッファオーバーフローによりアンドゥ・リドゥ機能が無効になりました。";

std::uint32_t Le(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return v;
}

// Fixed sizes of the records without variable parts.
constexpr std::uint32_t FixedSize(std::uint8_t code) {
  switch (code) {
    case kUndoDeleteChar: return 11;
    case kUndoBlankLine: return 8;
    case kUndoCopyLine: return 9;
    case kUndoMacroStart: case kUndoMacroEnd: case kUndoGroupStart: case kUndoGroupEnd: return 1;
    case kUndoCaseRun: return 11;
    case kUndoConvertStart: case kUndoConvertEnd: case kUndoDragStart: case kUndoDragEnd: return 18;
    case kUndoReinsertLine: return 10;
    case kUndoBlockIndent: return 14;
    case kUndoBlockUnindent: return 15;
    default: return 0;
  }
}

}  // namespace

bool UndoBuffer::Start(std::uint32_t size, std::uint32_t deletedLineSlots) {
  size_ = std::max<std::uint32_t>(size, 2 * kUndoCommitSlack);
  ringSlots_ = std::max<std::uint32_t>(deletedLineSlots, 1);
  if (!memory_.Reserve(size_)) {
    base::Tell(host_, kReserveFailed, base::BoxIcon::Error);
    return false;
  }
  position_ = top_ = 0;
  undoCount_ = redoCount_ = 0;
  disabled_ = false;
  saved_ = 0;
  savedValid_ = true;
  ring_.clear();
  return true;
}

void UndoBuffer::Stop() {
  memory_.Release();
  position_ = top_ = 0;
  undoCount_ = redoCount_ = 0;
  ring_.clear();
}

void UndoBuffer::SwitchOff(bool beep) {
  disabled_ = true;
  base::Status(host_, kOverflow);
  if (beep) host_.Beep();
}

UndoBuffer::Room UndoBuffer::Write(std::string_view record, std::uint32_t* at) {
  return Write(std::span<const std::string_view>(&record, 1), at);
}

UndoBuffer::Room UndoBuffer::Write(std::span<const std::string_view> parts, std::uint32_t* at) {
  std::size_t bytes = 0;
  for (const std::string_view part : parts) bytes += part.size();
  if (disabled_ || memory_.data() == nullptr) {
    savedValid_ = false;  // the change goes ahead without a record
    return Room::Full;
  }
  const std::uint64_t need = std::uint64_t{position_} + bytes + kUndoCommitSlack;
  if (need >= size_) {
    SwitchOff(true);
    savedValid_ = false;
    return Room::Full;
  }
  if (!memory_.Commit(static_cast<std::size_t>(need))) {
    disabled_ = true;
    savedValid_ = false;
    base::Tell(host_, kCommitFailed, base::BoxIcon::Error);
    return Room::CommitFailed;
  }
  // What could have been redone is gone, and so are the ring's slots in it
  // and a saved point beyond this one.
  DropAfter(position_);
  if (savedValid_ && saved_ > position_) savedValid_ = false;
  std::size_t put = position_;
  for (const std::string_view part : parts) {
    if (!part.empty()) std::memcpy(memory_.data() + put, part.data(), part.size());
    put += part.size();
  }
  if (at != nullptr) *at = position_;
  position_ += static_cast<std::uint32_t>(bytes);
  top_ = position_;
  ++undoCount_;
  redoCount_ = 0;
  return Room::Ok;
}

void UndoBuffer::Rollback(std::uint32_t at) {
  if (at >= position_ || undoCount_ == 0) return;
  DropAfter(at);
  position_ = top_ = at;
  --undoCount_;
  redoCount_ = 0;
}

std::optional<UndoBuffer::Span> UndoBuffer::EndingAt(std::uint32_t end) const {
  const std::uint8_t* m = memory_.data();
  if (m == nullptr || end == 0 || end > top_) return std::nullopt;
  const std::uint8_t code = m[end - 1];
  auto span = [&](std::int64_t begin) -> std::optional<Span> {
    if (begin < 0 || begin >= end || m[begin] != code) return std::nullopt;
    return Span{static_cast<std::uint32_t>(begin), end};
  };
  auto field = [&](std::int64_t at, int n) -> std::int64_t {
    if (at < 0 || at + n > end) return -1;
    return Le(m + at, n);
  };
  // A nested removed-text block or its 0 byte, ending at p: where it begins.
  auto nestedBegin = [&](std::int64_t p) -> std::int64_t {
    if (p < 1) return -1;
    if (m[p - 1] == 0) return p - 1;
    if (m[p - 1] != kUndoRemovedText) return -1;
    const auto inner = EndingAt(static_cast<std::uint32_t>(p));
    return inner ? static_cast<std::int64_t>(inner->begin) : -1;
  };
  if (const std::uint32_t fixed = FixedSize(code)) return span(static_cast<std::int64_t>(end) - fixed);
  switch (code) {
    case kUndoTyping: {
      const std::int64_t n = nestedBegin(static_cast<std::int64_t>(end) - 1);
      return n < 0 ? std::nullopt : span(n - 12);
    }
    case kUndoDeleteLine: {
      const std::int64_t len = field(static_cast<std::int64_t>(end) - 3, 2);
      return len < 0 ? std::nullopt : span(static_cast<std::int64_t>(end) - 16 - len);
    }
    case kUndoRemovedText: {
      const std::int64_t n = field(static_cast<std::int64_t>(end) - 5, 4);
      if (n < 1) return std::nullopt;
      std::int64_t p = static_cast<std::int64_t>(end) - 17;
      for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t len = field(p - 2, 2);
        if (len < 0) return std::nullopt;
        p -= 8 + len;
      }
      return span(p - 9);
    }
    case kUndoPaste: case kUndoReplaceRange: case kUndoInsertFile: {
      // closing: i32 start line, i16, i32 end line, i16, i32 total, [u8 flag], code
      const int tail = code == kUndoPaste ? 18 : 17;
      const std::int64_t total = field(static_cast<std::int64_t>(end) - tail + 12, 4);
      if (total < 0) return std::nullopt;
      const std::int64_t n = nestedBegin(static_cast<std::int64_t>(end) - tail - total - 1);
      return n < 0 ? std::nullopt : span(n - (code == kUndoPaste ? 10 : 9));
    }
    case kUndoIndent: case kUndoWidthRun: {
      const std::int64_t second = field(static_cast<std::int64_t>(end) - 5, 4);
      return second < 1 ? std::nullopt : span(second - 1);
    }
    default:
      return std::nullopt;
  }
}

std::optional<UndoBuffer::Span> UndoBuffer::StartingAt(std::uint32_t begin) const {
  const std::uint8_t* m = memory_.data();
  if (m == nullptr || begin >= top_) return std::nullopt;
  const std::uint8_t code = m[begin];
  auto span = [&](std::int64_t end) -> std::optional<Span> {
    if (end <= begin || end > top_ || m[end - 1] != code) return std::nullopt;
    return Span{begin, static_cast<std::uint32_t>(end)};
  };
  auto field = [&](std::int64_t at, int n) -> std::int64_t {
    if (at + n > top_) return -1;
    return Le(m + at, n);
  };
  auto nestedEnd = [&](std::int64_t p) -> std::int64_t {
    if (p >= top_) return -1;
    if (m[p] == 0) return p + 1;
    if (m[p] != kUndoRemovedText) return -1;
    const auto inner = StartingAt(static_cast<std::uint32_t>(p));
    return inner ? static_cast<std::int64_t>(inner->end) : -1;
  };
  if (const std::uint32_t fixed = FixedSize(code)) return span(std::int64_t{begin} + fixed);
  switch (code) {
    case kUndoTyping: {
      const std::int64_t n = nestedEnd(std::int64_t{begin} + 12);
      return n < 0 ? std::nullopt : span(n + 1);
    }
    case kUndoDeleteLine: {
      const std::int64_t len = field(std::int64_t{begin} + 11, 2);
      return len < 0 ? std::nullopt : span(std::int64_t{begin} + 16 + len);
    }
    case kUndoRemovedText: {
      const std::int64_t n = field(std::int64_t{begin} + 1, 4);
      if (n < 1) return std::nullopt;
      std::int64_t p = std::int64_t{begin} + 9;
      for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t len = field(p + 4, 2);
        if (len < 0) return std::nullopt;
        p += 8 + len;
      }
      return span(p + 17);
    }
    case kUndoPaste: case kUndoReplaceRange: case kUndoInsertFile: {
      const int head = code == kUndoPaste ? 10 : 9;
      const std::int64_t total = field(std::int64_t{begin} + head - 8, 4);
      if (total < 0) return std::nullopt;
      const std::int64_t n = nestedEnd(std::int64_t{begin} + head);
      if (n < 0) return std::nullopt;
      return span(n + total + 1 + (code == kUndoPaste ? 18 : 17));
    }
    case kUndoIndent: {
      const std::int64_t a = field(std::int64_t{begin} + 6, 2), b = field(std::int64_t{begin} + 8, 2);
      return a < 0 || b < 0 ? std::nullopt : span(std::int64_t{begin} + 15 + a + b);
    }
    case kUndoWidthRun: {
      const std::int64_t a = field(std::int64_t{begin} + 7, 2), b = field(std::int64_t{begin} + 9, 2);
      return a < 0 || b < 0 ? std::nullopt : span(std::int64_t{begin} + 16 + a + b);
    }
    default:
      return std::nullopt;
  }
}

std::optional<UndoBuffer::Span> UndoBuffer::Before() const {
  if (undoCount_ == 0) return std::nullopt;
  return EndingAt(position_);
}

std::optional<UndoBuffer::Span> UndoBuffer::After() const {
  if (redoCount_ == 0) return std::nullopt;
  return StartingAt(position_);
}

void UndoBuffer::StepBack(Span s) {
  position_ = s.begin;
  if (undoCount_ > 0) --undoCount_;
  ++redoCount_;
}

void UndoBuffer::StepForward(Span s) {
  position_ = s.end;
  if (redoCount_ > 0) --redoCount_;
  ++undoCount_;
}

bool UndoBuffer::Clear() {
  const bool wasAtSaved = AtSaved();
  ring_.clear();
  position_ = top_ = 0;
  undoCount_ = redoCount_ = 0;
  disabled_ = false;
  saved_ = 0;
  savedValid_ = wasAtSaved;
  // Giving the committed pages back: the region is reserved afresh.
  memory_.Release();
  if (!memory_.Reserve(size_)) {
    disabled_ = true;
    base::Tell(host_, kDecommitFailed, base::BoxIcon::Error);
    return false;
  }
  return true;
}

std::string UndoBuffer::Indicator() const {
  if (disabled_) return "***%";
  const std::uint64_t share = size_ ? 1000ull * position_ / size_ : 0;
  const std::uint64_t remaining = 100 - std::min<std::uint64_t>(1000, 5 + share) / 10;
  return std::to_string(remaining) + "%";
}

void UndoBuffer::MarkSaved() {
  saved_ = position_;
  savedValid_ = true;
}

void UndoBuffer::PushDeletedLine(std::uint32_t offset) {
  if (disabled_) return;
  ring_.push_back(offset);
  while (ring_.size() > ringSlots_) ring_.pop_front();
}

std::optional<std::uint32_t> UndoBuffer::PopDeletedLine() {
  if (ring_.empty()) return std::nullopt;
  const std::uint32_t v = ring_.back();
  ring_.pop_back();
  return v;
}

bool UndoBuffer::RemoveDeletedLine(std::uint32_t offset) {
  const auto it = std::find(ring_.rbegin(), ring_.rend(), offset);
  if (it == ring_.rend()) return false;
  ring_.erase(std::next(it).base());
  return true;
}

void UndoBuffer::DropAfter(std::uint32_t offset) {
  ring_.erase(std::remove_if(ring_.begin(), ring_.end(), [offset](std::uint32_t v) { return v >= offset; }), ring_.end());
}

}  // namespace gorvane::document

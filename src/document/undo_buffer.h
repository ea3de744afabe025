// The undo buffer: one reserved region, committed as it fills, holding the
// records of every change in order. A record starts and ends with its code
// byte so that the buffer can be walked both ways; multi-byte fields are
// little-endian and unaligned. Fields that point into the region hold
// offsets from its start, never addresses, so records are the same in the
// 32- and 64-bit programs.
//
// Undo moves the position back over one record, redo forward; a new record
// overwrites what could have been redone. When a record does not fit, undo is
// switched off until the buffer is cleared.
//
// The deleted-line ring lives here too: its slots point (as offsets) at the
// text of line-delete records, so it is kept in step with the position.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/host.h"
#include "document/support/reserved_memory.h"

namespace gorvane::document {

inline constexpr std::uint32_t kDefaultUndoBufferSize = 5120000;
inline constexpr std::uint32_t kDefaultDeletedLineSlots = 1000;
inline constexpr std::uint32_t kUndoCommitSlack = 4096;

// Record codes.
enum UndoCode : std::uint8_t {
  kUndoTyping = 0,          // a character or Enter typed
  kUndoDeleteChar = 1,      // Backspace or Delete
  kUndoBlankLine = 2,
  kUndoCopyLine = 3,
  kUndoDeleteLine = 4,
  kUndoRemovedText = 5,     // a selection or part of a line removed
  kUndoPaste = 6,
  kUndoReplace = 7,         // owned by replace
  kUndoReplaceEnd = 8,
  kUndoReplaceMany = 9,
  kUndoInsertFile = 10,
  kUndoDragStart = 11,      // a selection moved by dragging: 11 ... 12
  kUndoDragEnd = 12,
  kUndoIndent = 13,         // auto-indent's change of a line's leading blanks
  kUndoMacroStart = 14,
  kUndoMacroEnd = 15,
  kUndoGroupStart = 16,
  kUndoGroupEnd = 17,
  kUndoCaseRun = 18,
  kUndoWidthRun = 19,
  kUndoConvertStart = 20,
  kUndoConvertEnd = 21,
  kUndoReinsertLine = 22,
  kUndoReplaceRange = 23,   // a range replaced with a string (search and replace)
  kUndoBlockIndent = 24,
  kUndoBlockUnindent = 25,
};

// Little-endian fields appended to a record being built.
class RecordBuilder {
 public:
  explicit RecordBuilder(std::uint8_t code) : code_(code) { bytes_.push_back(static_cast<char>(code)); }
  RecordBuilder& U8(std::uint8_t v) { return Put(v, 1); }
  RecordBuilder& I16(std::int32_t v) { return Put(static_cast<std::uint32_t>(v), 2); }
  RecordBuilder& I32(std::int64_t v) { return Put(static_cast<std::uint32_t>(v), 4); }
  RecordBuilder& U32(std::uint32_t v) { return Put(v, 4); }
  RecordBuilder& Bytes(std::string_view b) { return bytes_.append(b), *this; }
  void Reserve(std::size_t n) { bytes_.reserve(n); }
  std::size_t size() const { return bytes_.size(); }
  // The bytes so far, taken out: what follows is the record's next part.
  std::string Take() { return std::exchange(bytes_, std::string()); }
  // The record (or its last part) with its closing code byte.
  std::string Finish() {
    bytes_.push_back(static_cast<char>(code_));
    return std::move(bytes_);
  }

 private:
  RecordBuilder& Put(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  std::uint8_t code_;
  std::string bytes_;
};

// Bounds-checked little-endian reads from a record; a read past its end
// gives 0 and sets failed().
class RecordReader {
 public:
  explicit RecordReader(std::span<const std::uint8_t> bytes, std::size_t at = 0) : bytes_(bytes), at_(at) {}
  std::uint8_t U8() { return static_cast<std::uint8_t>(Get(1)); }
  std::int32_t I16() { return static_cast<std::int16_t>(static_cast<std::uint16_t>(Get(2))); }
  std::int32_t I32() { return static_cast<std::int32_t>(Get(4)); }
  std::uint32_t U32() { return Get(4); }
  std::string_view Bytes(std::size_t n) {
    if (n > bytes_.size() - std::min(at_, bytes_.size())) return failed_ = true, std::string_view{};
    std::string_view v(reinterpret_cast<const char*>(bytes_.data() + at_), n);
    at_ += n;
    return v;
  }
  void Skip(std::size_t n) { Bytes(n); }
  std::size_t at() const { return at_; }
  bool failed() const { return failed_; }

 private:
  std::uint32_t Get(int n) {
    if (at_ + static_cast<std::size_t>(n) > bytes_.size()) return failed_ = true, 0;
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(bytes_[at_ + static_cast<std::size_t>(i)]) << (8 * i);
    at_ += static_cast<std::size_t>(n);
    return v;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t at_;
  bool failed_ = false;
};

class UndoBuffer {
 public:
  explicit UndoBuffer(base::Host& host) : host_(host) {}
  UndoBuffer(const UndoBuffer&) = delete;
  UndoBuffer& operator=(const UndoBuffer&) = delete;

  // Start-up: reserves the region (nothing committed). False after telling
  // the user when the reservation fails.
  bool Start(std::uint32_t size = kDefaultUndoBufferSize, std::uint32_t deletedLineSlots = kDefaultDeletedLineSlots);
  // Shut-down: the region is given back.
  void Stop();

  enum class Room { Ok, Full, CommitFailed };
  // Writes a complete record (its code byte at both ends) at the position.
  // Full: undo has been switched off (status text and beep); CommitFailed:
  // switched off after a box. While switched off nothing is written (Full).
  // *at: the record's offset in the region.
  Room Write(std::string_view record, std::uint32_t* at = nullptr);
  // The same for a record given as consecutive parts (a long text between
  // its fields is then copied once).
  Room Write(std::span<const std::string_view> parts, std::uint32_t* at = nullptr);
  // Takes back the record just written at `at` (its change could not be made).
  void Rollback(std::uint32_t at);

  // The record before the position (what Undo reverts) and at it (what Redo
  // re-applies), as offsets [begin, end); nullopt when there is none or the
  // bytes do not frame a record.
  struct Span {
    std::uint32_t begin = 0, end = 0;
  };
  std::optional<Span> Before() const;
  std::optional<Span> After() const;
  // The record that ends at `end` / starts at `begin`.
  std::optional<Span> EndingAt(std::uint32_t end) const;
  std::optional<Span> StartingAt(std::uint32_t begin) const;
  std::span<const std::uint8_t> Bytes(Span s) const { return {memory_.data() + s.begin, s.end - s.begin}; }
  std::uint8_t CodeBefore() const { return position_ > 0 ? memory_.data()[position_ - 1] : 0xFF; }
  std::uint8_t CodeAt() const { return position_ < top_ ? memory_.data()[position_] : 0xFF; }
  // Moves the position over one record.
  void StepBack(Span s);
  void StepForward(Span s);

  // Empties the buffer (and the ring). False (and switched off) when the
  // committed memory could not be given back.
  bool Clear();
  // Switches undo off: the status text, toolbar and indicator follow.
  void SwitchOff(bool beep);

  // "%d%%" remaining, or "***%" while switched off.
  std::string Indicator() const;
  std::uint32_t used() const { return position_; }
  std::uint32_t size() const { return size_; }
  std::uint32_t undoCount() const { return undoCount_; }
  std::uint32_t redoCount() const { return redoCount_; }
  bool disabled() const { return disabled_; }
  bool canUndo() const { return !disabled_ && undoCount_ > 0; }
  bool canRedo() const { return !disabled_ && redoCount_ > 0; }

  // ---- the saved point: where the document equals its file ----
  void MarkSaved();
  // The document changed without a record (or its file state is unknown).
  void ForgetSaved() { savedValid_ = false; }
  bool AtSaved() const { return savedValid_ && position_ == saved_; }

  // ---- the deleted-line ring ----
  // Offsets of line-delete records' first length field, newest last.
  void PushDeletedLine(std::uint32_t offset);
  // The newest slot, taken out; nullopt when empty.
  std::optional<std::uint32_t> PopDeletedLine();
  // Takes a slot out wherever it is (false when it is not there).
  bool RemoveDeletedLine(std::uint32_t offset);
  std::size_t deletedLines() const { return ring_.size(); }

  // Tests: committing fails beyond this many bytes.
  void LimitCommitForTest(std::size_t bytes) { memory_.LimitCommitForTest(bytes); }

 private:
  void DropAfter(std::uint32_t offset);  // ring slots at or beyond offset

  base::Host& host_;
  ReservedMemory memory_;
  std::uint32_t size_ = 0;
  std::uint32_t position_ = 0;  // == used
  std::uint32_t top_ = 0;       // end of the last record that can be redone
  std::uint32_t undoCount_ = 0, redoCount_ = 0;
  bool disabled_ = false;
  std::uint32_t saved_ = 0;
  bool savedValid_ = true;
  std::uint32_t ringSlots_ = kDefaultDeletedLineSlots;
  std::deque<std::uint32_t> ring_;
};

}  // namespace gorvane::document

// The editor's bookmarks as its info window lists them. A bookmark is set
// in the document only after the info window took it ("@SETMARKJUMP@",
// answered "1" or "0"); a removed one is reported with "@DELETEMARKJUMP@",
// and a report that cannot be written waits and is written again from a
// 10 ms timer (the shell's timer 13), so that the list loses no delete to a
// busy moment. The user may also delete a bookmark in the info window's
// list: it tells the editor with "@DELETEMARKJUMP@" and the mark number.
//
// Malformed messages are counted and never acted on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ipc/instance_group.h"
#include "ipc/messages.h"
#include "ipc/messenger.h"

namespace gorvane::ipc {

// The shell's timer that writes the waiting deletes again.
inline constexpr unsigned kMarkDeleteTimerId = 13;
inline constexpr std::uint32_t kMarkDeleteRetryMs = 10;
// Deletes that wait at most; a delete of a mark that waits already is not
// added twice.
inline constexpr std::size_t kMarkDeleteQueueLimit = 1024;

class BookmarkLink {
 public:
  BookmarkLink(Messenger& messenger, InstanceGroup& group, std::uint32_t replyMs = kDefaultReplyMs);
  ~BookmarkLink();
  BookmarkLink(const BookmarkLink&) = delete;
  BookmarkLink& operator=(const BookmarkLink&) = delete;

  // Whether bookmarks can be set: this editor's info window takes a probe
  // now (connected on first use).
  bool MarksAvailable();

  // Registers bookmark `mark` of the file numbered `fileNumber` in the info
  // window's list, with its name (Shift-JIS, at most 256 bytes).
  // done(true) when the info window answered "1"; done(false) when it
  // answered "0", could not be written to, did not answer in time, while
  // another registration still waits, or while deletes still wait to be
  // written (they must reach the info window first).
  void SetMark(std::int32_t fileNumber, std::uint8_t mark, std::string_view noteSjis,
               std::function<void(bool ok)> done);
  // A registration waits for its answer.
  bool settingMark() const { return pending_ != nullptr; }

  // Tells the info window that bookmark `mark` of the file is gone. When
  // that cannot be written now, the delete waits for RetryDeletes.
  void DeleteMark(std::int32_t fileNumber, std::uint8_t mark);
  // The deletes waiting to be written: the shell runs its timer
  // kMarkDeleteTimerId every kMarkDeleteRetryMs while this is not 0 and
  // calls RetryDeletes from it.
  std::size_t pendingDeletes() const { return deletes_.size(); }
  // Writes the waiting deletes in order until one fails. An info window
  // that has taken none for kSendAttempts calls is gone, and its list with
  // it: the deletes are dropped then.
  void RetryDeletes();

  // The user deleted the bookmark in the info window's list: the editor
  // clears it from its line and redraws.
  std::function<void(std::uint8_t mark)> onMarkDeleted;

  std::uint64_t malformed() const { return malformed_; }
  std::uint64_t droppedDeletes() const { return droppedDeletes_; }

 private:
  struct Delete {
    std::int32_t fileNumber;
    std::uint8_t mark;
    std::string message;
  };
  struct Pending {
    std::function<void(bool)> done;
  };
  std::optional<ParsedMessage> Parse(std::string_view message);
  void Settle(bool ok);

  Messenger& messenger_;
  InstanceGroup& group_;
  std::uint32_t replyMs_;
  // The registration waiting for its answer; the reply handlers hold it
  // weakly, so that an answer after this link is gone does nothing.
  std::shared_ptr<Pending> pending_;
  std::deque<Delete> deletes_;
  int failedRetries_ = 0;
  std::uint64_t malformed_ = 0, droppedDeletes_ = 0;
};

}  // namespace gorvane::ipc

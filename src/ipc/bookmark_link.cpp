#include "ipc/bookmark_link.h"

#include <algorithm>
#include <span>
#include <utility>

namespace gorvane::ipc {

namespace {

constexpr std::string_view kDeleteTag = "@DELETEMARKJUMP@";
constexpr std::string_view kSetTag = "@SETMARKJUMP@";

}  // namespace

BookmarkLink::BookmarkLink(Messenger& messenger, InstanceGroup& group, std::uint32_t replyMs)
    : messenger_(messenger), group_(group), replyMs_(replyMs) {
  messenger_.On(kDeleteTag, [this](std::string_view m) {
    if (auto p = Parse(m); p && p->id == MessageId::kDeleteMarkJumpToEditor && onMarkDeleted)
      onMarkDeleted(static_cast<std::uint8_t>(p->Number(0)));
  });
}

BookmarkLink::~BookmarkLink() { messenger_.On(kDeleteTag, nullptr); }

std::optional<ParsedMessage> BookmarkLink::Parse(std::string_view message) {
  auto p = ParseForEditor(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(message.data()),
                                                        message.size()));
  if (!p) ++malformed_;
  return p;
}

// Probed each time: a connection made earlier says nothing about now.
bool BookmarkLink::MarksAvailable() { return messenger_.SendToInfoWindow(BuildTestToInfoWindow()); }

void BookmarkLink::Settle(bool ok) {
  const std::shared_ptr<Pending> pending = std::exchange(pending_, nullptr);  // done may set the next one
  if (pending && pending->done) pending->done(ok);
}

void BookmarkLink::SetMark(std::int32_t fileNumber, std::uint8_t mark, std::string_view noteSjis,
                           std::function<void(bool)> done) {
  const auto refuse = [&done] {
    if (done) done(false);
  };
  if (pending_) return refuse();
  // A delete still waiting would reach the info window after this mark and
  // take it away again.
  RetryDeletes();
  if (!deletes_.empty()) return refuse();
  const auto m = BuildSetMarkJumpToInfoWindow(group_.instance(), fileNumber, mark, noteSjis);
  if (!m || !messenger_.SendToInfoWindow(*m)) return refuse();

  pending_ = std::make_shared<Pending>(Pending{std::move(done)});
  const std::weak_ptr<Pending> waiting = pending_;
  messenger_.ExpectReply(
      kSetTag, replyMs_,
      [this, waiting](std::string_view reply) {
        if (waiting.expired()) return;
        const auto p = Parse(reply);
        Settle(p && p->id == MessageId::kSetMarkJumpResult && p->Number(0) == 1);
      },
      [this, waiting] {
        if (!waiting.expired()) Settle(false);
      });
}

void BookmarkLink::DeleteMark(std::int32_t fileNumber, std::uint8_t mark) {
  if (group_.infoWindow() < 0) return;  // no info window: no list to tell
  const auto m = BuildDeleteMarkJumpToInfoWindow(fileNumber, mark);
  if (!m) {
    ++droppedDeletes_;
    return;
  }
  // Behind the ones already waiting, which the timer writes first.
  if (deletes_.empty() && messenger_.SendToInfoWindow(*m)) return;
  const bool waiting = std::any_of(deletes_.begin(), deletes_.end(), [&](const Delete& d) {
    return d.fileNumber == fileNumber && d.mark == mark;
  });
  if (waiting) return;
  if (deletes_.size() >= kMarkDeleteQueueLimit) {
    ++droppedDeletes_;
    return;
  }
  deletes_.push_back({fileNumber, mark, *m});
}

void BookmarkLink::RetryDeletes() {
  while (!deletes_.empty()) {
    if (!messenger_.SendToInfoWindow(deletes_.front().message)) {
      if (++failedRetries_ < kSendAttempts) return;
      droppedDeletes_ += deletes_.size();
      deletes_.clear();
      break;
    }
    deletes_.pop_front();
    failedRetries_ = 0;
  }
  failedRetries_ = 0;
}

}  // namespace gorvane::ipc

#include "companions/vantrel/vantrel_session.h"

#include <algorithm>
#include <new>

#include "base/host.h"
#include "ipc/messages.h"

namespace gorvane::vantrel {

bool VantrelSession::Open() {
  inbox_ = kernel_.CreateMailslot(model_.InboxName(), 0);
  return inbox_ != nullptr;
}

int VantrelSession::Poll(const EventSink& onEvent, int limit) {
  if (!inbox_) return -1;
  int read = 0;
  while (read < limit) {
    const ipc::NextMessage next = inbox_->Next();
    if (next.failed()) return -1;
    if (!next.waiting()) break;
    // Room for the largest message an editor sends, and more when one is
    // larger: every message is read whole, an empty one too, so that none
    // stays in front of later ones.
    try {
      buffer_.resize(std::max<std::size_t>(ipc::kMaxMessageBytes + 1, next.size));
    } catch (const std::bad_alloc&) {
      return -1;
    }
    const std::int64_t n = inbox_->Read(buffer_);
    if (n < 0) return -1;
    ++read;
    const std::span<const std::uint8_t> message(buffer_.data(), static_cast<std::size_t>(n));
    if (log_) log_(LogRecord(message));
    Apply(model_.Receive(message), onEvent);
  }
  return read;
}

void VantrelSession::Apply(const Effects& fx, const EventSink& onEvent) {
  for (const MarkFileAnswer& mark : fx.markFiles) {
    bool done = false;
    if (auto mapping = kernel_.OpenMapping(mark.mapping)) {
      if (auto view = mapping->Map(0, 1); view && !view->bytes().empty()) {
        view->bytes()[0] = mark.value;
        done = true;
      }
    }
    if (!done) ++failedMarkFiles_;
  }
  if (onEvent)
    for (const Event& e : fx.events) onEvent(e);
  for (const Outgoing& out : fx.send)
    if (!kernel_.WriteMailslot(out.inbox, out.bytes)) ++failedWrites_;
}

std::string VantrelSession::Jump(std::size_t index, EditorStarter& starter) {
  JumpAction a = model_.DoubleClickHit(index);
  if (a.kind == JumpAction::Kind::kSend) {
    if (kernel_.WriteMailslot(a.message.inbox, a.message.bytes)) return {};
    // The editor is gone: start one for the file instead.
    ++failedWrites_;
    model_.EditorGone(a.instance);
    a = model_.DoubleClickHit(index);
  }
  if (a.kind == JumpAction::Kind::kStart) {
    if (!starter.Start(a.commandLine)) return model_.StartFailed(a.file);
    std::string s = base::Sjis(u8"エディタを起動しています: ");
    s.append(a.file);
    return s;
  }
  return a.status;
}

std::string VantrelSession::JumpToMark(std::size_t index) {
  const JumpAction a = model_.DoubleClickMark(index);
  if (a.kind != JumpAction::Kind::kSend) return a.status;
  if (kernel_.WriteMailslot(a.message.inbox, a.message.bytes)) return {};
  // The editor is gone, and its bookmarks with it.
  ++failedWrites_;
  model_.EditorGone(a.instance);
  return base::Sjis(u8"このブックマークのエディタは終了しています。");
}

void VantrelSession::DeleteMark(std::size_t index, const EventSink& onEvent) { Apply(model_.DeleteMark(index), onEvent); }

}  // namespace gorvane::vantrel

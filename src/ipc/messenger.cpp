#include "ipc/messenger.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gorvane::ipc {

using base::BoxButtons;
using base::BoxIcon;

namespace {

constexpr std::string_view kTest{"@TEST@\0", 7};
constexpr std::u8string_view kQueueFullOwn = u8"再送信バッファオーバーフロー(EntrySendInfoWinMailslot関数)";
constexpr std::u8string_view kQueueFullOther = u8"再送信バッファオーバーフロー(EntrySendDifferentInfoWinMailslot関数)";
constexpr std::u8string_view kUndeliverable =
    u8"情報ウィンドウにメッセージを送信できませんでした。\n情報ウィンドウが終了している可能性があります。";

std::span<const std::uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace


namespace {

template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}

}  // namespace

std::string InfoWindowCommandLine(std::string_view programFolder, const FrameRect& frame, int charCode, bool project,
                                  int infoWindow, std::string_view file) {
  using std::to_string;
  return Cat("\"", programFolder, "Vantrel.exe\" ", to_string(frame.left), " ", to_string(frame.top), " ",
             to_string(frame.right), " ", to_string(frame.bottom), " ", to_string(charCode), " ",
             to_string(project ? 1 : 0), " /MI ", to_string(infoWindow), " \"", file, "\"");
}

FrameRect InfoWindowFrame(const FrameRect& frame, const FrameRect& restored, const FrameRect& screen) {
  const bool onScreen = frame.left >= screen.left && frame.top >= screen.top && frame.right <= screen.right &&
                        frame.bottom <= screen.bottom;
  return onScreen || restored.right <= restored.left || restored.bottom <= restored.top ? frame : restored;
}

std::string ProjectInfoWindowCommandLine(std::string_view programFolder, int charCode, int infoWindow,
                                         std::string_view file) {
  using std::to_string;
  return Cat("\"", programFolder, "Vantrel.exe\" 1 1 0 0 ", to_string(charCode), " 1 /MI ", to_string(infoWindow),
             " \"", file, "\"");
}

Messenger::Messenger(Kernel& kernel, base::Host& host, InstanceGroup& group, Clock clock)
    : kernel_(kernel), host_(host), group_(group), clock_(std::move(clock)), buffer_(kInboxBufferBytes) {}

bool Messenger::CreateInbox(int instance, const SleepFor& sleep) {
  const std::string name = group_.names().EditorInbox(instance);
  if (TakeInbox(CreateEditorInbox(kernel_, name, sleep))) return true;
  TellNoInbox(host_, name, kernel_.LastErrorText());
  return false;
}

// ---- receiving ----

void Messenger::On(std::string_view tag, Handler handler) { handlers_[std::string(tag)] = std::move(handler); }

PollResult Messenger::InboxFailed() {
  ++failures_;
  if (!failureTold_) {
    failureTold_ = true;
    const std::string reason = kernel_.LastErrorText();
    host_.ShowMessageBox({reason, base::Sjis(base::kCaption), BoxIcon::Error, BoxButtons::Ok, true});
  }
  return PollResult::kFailed;
}

PollResult Messenger::Poll(int limit) {
  if (stopped_) return PollResult::kStopped;
  if (!inbox_) return PollResult::kFailed;
  for (int read = 0; read < limit; ++read) {
    const NextMessage next = inbox_->Next();
    if (next.failed()) return InboxFailed();
    if (!next.waiting()) return PollResult::kIdle;
    if (firstMessage_) {
      const std::function<void()> first = std::move(firstMessage_);
      firstMessage_ = nullptr;
      first();
    }
    // Read whole whatever its size: a message left waiting would stand in
    // front of every later one.
    std::vector<std::uint8_t> large;
    std::span<std::uint8_t> into(buffer_);
    if (next.size > buffer_.size()) {
      try {
        large.resize(std::size_t{next.size} + kLargeMessageRoom);
      } catch (const std::bad_alloc&) {
        return InboxFailed();
      }
      into = large;
    }
    const std::int64_t got = inbox_->Read(into);
    if (got < 0) return InboxFailed();
    Dispatch(std::string_view(reinterpret_cast<const char*>(into.data()), static_cast<std::size_t>(got)));
    if (stopped_) return PollResult::kStopped;
  }
  return inbox_->Next().waiting() ? PollResult::kMore : PollResult::kIdle;
}

void Messenger::Dispatch(std::string_view received) {
  // Handlers get a copy: one may send, poll or replace handlers.
  const std::string text(received);
  const std::string_view tag = MessageTag(text);
  if (tag.empty()) {
    ++dropped_;
    return;
  }
  // A reply someone waits for goes to them.
  const auto waiting = std::find_if(replies_.begin(), replies_.end(), [&](const Reply& r) { return r.tag == tag; });
  if (waiting != replies_.end()) {
    Handler onReply = std::move(waiting->onReply);
    replies_.erase(waiting);
    ++delivered_;
    if (onReply) onReply(text);
    return;
  }
  const auto h = handlers_.find(tag);
  if (h == handlers_.end() || !h->second) {
    ++dropped_;
    return;
  }
  ++delivered_;
  const Handler handler = h->second;  // it may replace itself
  handler(text);
}

// ---- sending ----

bool Messenger::Write(const std::string& inbox, std::string_view message) {
  return kernel_.WriteMailslot(inbox, AsBytes(message));
}

bool Messenger::Probe(const std::string& inbox) { return Write(inbox, kTest); }

bool Messenger::SendToEditor(int instance, std::string_view message) {
  const std::string inbox = group_.names().EditorInbox(instance);
  return Probe(inbox) && Write(inbox, message);
}

bool Messenger::OpenInfoWindow() {
  if (connected_) return true;
  if (group_.infoWindow() < 0) return false;
  connected_ = Probe(group_.names().InfoWindowInbox(group_.infoWindow()));
  return connected_;
}

bool Messenger::SendToInfoWindow(std::string_view message) {
  if (!OpenInfoWindow()) return false;
  if (Write(group_.names().InfoWindowInbox(group_.infoWindow()), message)) return true;
  connected_ = false;  // it went away: connect again next time
  return false;
}

bool Messenger::SendToOtherInfoWindow(int number, std::string_view message) {
  if (number == group_.infoWindow()) return SendToInfoWindow(message);
  const std::string inbox = group_.names().InfoWindowInbox(number);
  return Probe(inbox) && Write(inbox, message);
}

bool Messenger::QueueToInfoWindow(std::string_view message) {
  if (own_.size() >= kQueueLimit) {
    base::Tell(host_, kQueueFullOwn, BoxIcon::Error);
    return false;
  }
  own_.push_back({-1, std::string(message), 0});  // written by the next Tick
  return true;
}

bool Messenger::QueueToOtherInfoWindow(int number, std::string_view message) {
  if (other_.size() >= kQueueLimit) {
    base::Tell(host_, kQueueFullOther, BoxIcon::Error);
    return false;
  }
  other_.push_back({number, std::string(message), 0});
  return true;
}

void Messenger::TellUndeliverable() {
  if (failureShown_) return;
  failureShown_ = true;
  base::Tell(host_, kUndeliverable, BoxIcon::Warning);
}

// Writes entries in order until one fails; that one stays (counting its
// failure) unless it has failed too often, then it is dropped.
bool Messenger::FlushQueue(std::deque<Queued>& queue) {
  while (!queue.empty()) {
    Queued& q = queue.front();
    const bool ok = q.number < 0 ? SendToInfoWindow(q.text) : SendToOtherInfoWindow(q.number, q.text);
    if (ok) {
      queue.pop_front();
      failureShown_ = false;
      continue;
    }
    if (++q.failures >= kSendAttempts) {
      queue.pop_front();
      ++dropped_;
      TellUndeliverable();
      continue;
    }
    return false;
  }
  return true;
}

int Messenger::BroadcastToEditors(std::string_view message, bool sameInfoWindowOnly) {
  // The list under the main lock, the writes after it.
  std::vector<int> targets;
  for (const OpenFileEntry& e : group_.OpenFiles())
    if (e.instance != group_.instance() && (!sameInfoWindowOnly || e.infoWindow == group_.infoWindow()))
      targets.push_back(e.instance);
  int sent = 0;
  for (int instance : targets)
    if (SendToEditor(instance, message)) ++sent;
  return sent;
}

// ---- replies and timers ----

void Messenger::ExpectReply(std::string_view tag, std::uint32_t timeoutMs, Handler onReply,
                            std::function<void()> onTimeout) {
  replies_.push_back({std::string(tag), clock_() + timeoutMs, std::move(onReply), std::move(onTimeout)});
}

void Messenger::Tick() {
  FlushQueue(own_);
  FlushQueue(other_);
  if (stopped_) {
    replies_.clear();  // nobody is left to act on them
    return;
  }
  const std::uint64_t now = clock_();
  std::vector<std::function<void()>> expired;
  for (auto it = replies_.begin(); it != replies_.end();) {
    if (now >= it->deadline) {
      expired.push_back(std::move(it->onTimeout));
      it = replies_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& f : expired)
    if (f) f();
}

bool Messenger::LaunchInfoWindow(ProgramStarter& starter, const std::string& commandLine) {
  if (OpenInfoWindow()) return true;
  return starter.Start(commandLine);
}

bool Messenger::WaitForInfoWindow(const std::function<void(std::uint32_t)>& sleep, std::uint32_t waitMs,
                                  std::uint32_t stepMs) {
  stepMs = std::max<std::uint32_t>(1, stepMs);
  for (std::uint32_t waited = 0; waited <= waitMs; waited += stepMs) {
    if (connectedToInfoWindow() || OpenInfoWindow()) return true;
    if (sleep) sleep(stepMs);
  }
  return false;
}

bool Messenger::StartInfoWindow(ProgramStarter& starter, const std::string& commandLine,
                                const std::function<void(std::uint32_t)>& sleep, std::uint32_t waitMs) {
  return LaunchInfoWindow(starter, commandLine) && WaitForInfoWindow(sleep, waitMs);
}

}  // namespace gorvane::ipc

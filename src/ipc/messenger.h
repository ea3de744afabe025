// Messages between editors and info windows: this editor's inbox, polled
// every 2 ms by the shell's timer, a registry of handlers by tag (each
// subsystem adds its own), sending to another editor or an info window, the
// two re-send queues, broadcasts to the group, waits for replies with a time
// limit, and starting or connecting to the info window.
//
// Nothing here blocks: the shell calls Poll() from its 2 ms timer and Tick()
// from its queue timer; replies arrive through handlers or end in a timeout.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/host.h"
#include "ipc/instance_group.h"
#include "ipc/kernel.h"
#include "ipc/messages.h"

namespace gorvane::ipc {

inline constexpr std::size_t kQueueLimit = 200;
inline constexpr int kSendAttempts = 200;          // a queued message is dropped after this many failed writes
inline constexpr std::uint32_t kDefaultReplyMs = 10000;
inline constexpr std::size_t kInboxBufferBytes = 15876;
inline constexpr std::size_t kLargeMessageRoom = 520;  // a larger message is read into its size + this
inline constexpr int kPollBatch = 256;                 // messages read by one Poll at most

// What a Poll came to. Only kStopped ends polling: after the others the
// shell polls again at its next tick.
enum class PollResult {
  kIdle,     // every waiting message was read
  kMore,     // the batch was read and more wait
  kFailed,   // the inbox could not be read this time (the user was told once)
  kStopped,  // dispatching was stopped (the editor is closing)
};

// Starts a program (the info window); the shell's job on Windows.
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  virtual bool Start(const std::string& commandLine) = 0;
};

// The system's: the command line (Shift-JIS) started in a new process group
// (Win32 only).
std::unique_ptr<ProgramStarter> CreateSystemProgramStarter();

class Messenger {
 public:
  using Handler = std::function<void(std::string_view message)>;
  using Clock = std::function<std::uint64_t()>;  // milliseconds

  Messenger(Kernel& kernel, base::Host& host, InstanceGroup& group, Clock clock);

  // The inbox the group created at joining (or a fresh one for instance).
  bool TakeInbox(std::unique_ptr<Mailslot> inbox) {
    inbox_ = std::move(inbox);
    failureTold_ = false;
    return inbox_ != nullptr;
  }
  // Creates this editor's inbox (CreateEditorInbox: tried again every
  // 100 ms up to 100 times, sleep is the shell's); on failure tells the user
  // (TellNoInbox) and returns false.
  bool CreateInbox(int instance, const SleepFor& sleep);

  // ---- receiving ----
  // A handler for a tag (exactly as it stands, e.g. "@SAVE@"); a later
  // registration for the same tag replaces the earlier one.
  void On(std::string_view tag, Handler handler);
  // Reads the waiting messages, at most `limit` of them, each whole (one
  // larger than the 15,876-byte buffer into one of its size + 520), and
  // hands each to the reply waited for or the handler of its tag. Empty
  // messages, messages that do not begin with "@" and those nobody handles
  // are read and dropped (counted): nothing stays in front of later ones.
  // An inbox that fails is reported once (the system's text in a box) and
  // read again at the next poll. Once a handler stopped dispatching, nothing
  // more is read or handled.
  PollResult Poll(int limit = kPollBatch);
  std::uint64_t dropped() const { return dropped_; }
  std::uint64_t delivered() const { return delivered_; }
  std::uint64_t failures() const { return failures_; }  // polls that found the inbox failing
  // Called once, when the next message is found waiting and before it is
  // read (the editor lets go of the start-up mutex then).
  void OnFirstMessage(std::function<void()> f) { firstMessage_ = std::move(f); }
  // The editor is closing (its main window is being destroyed): no message
  // is handled after this one, and no reply or its timeout is called.
  void StopDispatching() { stopped_ = true; }
  bool stopped() const { return stopped_; }

  // ---- sending ----
  // Opens the editor's inbox, writes, closes; true when all was written.
  bool SendToEditor(int instance, std::string_view message);
  // The own info window: connected on first use (probed with "@TEST@").
  bool SendToInfoWindow(std::string_view message);
  bool connectedToInfoWindow() const { return connected_; }
  bool OpenInfoWindow();
  // Another info window: probed with "@TEST@", then written.
  bool SendToOtherInfoWindow(int number, std::string_view message);
  // The re-send queues: entries are written in order by Tick() (the shell
  // calls it from a 5 ms timer while queued() is not 0); one is removed only
  // when written, or dropped after kSendAttempts failed ticks.
  bool QueueToInfoWindow(std::string_view message);
  bool QueueToOtherInfoWindow(int number, std::string_view message);
  std::size_t queued() const { return own_.size() + other_.size(); }
  // Every editor of the group but this one (or only those of the same info
  // window): the list is taken under the main lock, the messages are sent
  // after it is released. Returns how many were written.
  int BroadcastToEditors(std::string_view message, bool sameInfoWindowOnly);

  // ---- replies ----
  // Calls onReply with the first message of tag that arrives, or onTimeout
  // when none has come after timeoutMs. The handler registered for the tag
  // (if any) is not called for that message.
  void ExpectReply(std::string_view tag, std::uint32_t timeoutMs, Handler onReply, std::function<void()> onTimeout);
  std::size_t pendingReplies() const { return replies_.size(); }

  // The queue timer and the reply deadlines.
  void Tick();

  // ---- the info window ----
  // Starts it with the command line made for this editor (nothing to start
  // when its inbox already answers). False: it could not be started.
  bool LaunchInfoWindow(ProgramStarter& starter, const std::string& commandLine);
  // Waits (probing every stepMs, at most waitMs) until its inbox takes "@TEST@".
  bool WaitForInfoWindow(const std::function<void(std::uint32_t)>& sleep, std::uint32_t waitMs = 3000,
                         std::uint32_t stepMs = 100);
  // Both: starts it and waits (every 100 ms, at most waitMs).
  bool StartInfoWindow(ProgramStarter& starter, const std::string& commandLine,
                       const std::function<void(std::uint32_t)>& sleep, std::uint32_t waitMs = 3000);

 private:
  struct Queued {
    int number;  // info window (-1: the own one)
    std::string text;
    int failures = 0;
  };
  struct Reply {
    std::string tag;
    std::uint64_t deadline;
    Handler onReply;
    std::function<void()> onTimeout;
  };
  bool Write(const std::string& inbox, std::string_view message);
  bool Probe(const std::string& inbox);
  bool FlushQueue(std::deque<Queued>& queue);
  void TellUndeliverable();
  PollResult InboxFailed();
  void Dispatch(std::string_view text);

  Kernel& kernel_;
  base::Host& host_;
  InstanceGroup& group_;
  Clock clock_;
  std::unique_ptr<Mailslot> inbox_;
  std::map<std::string, Handler, std::less<>> handlers_;
  std::function<void()> firstMessage_;
  std::vector<Reply> replies_;
  std::deque<Queued> own_, other_;
  std::vector<std::uint8_t> buffer_;
  bool connected_ = false;
  bool failureShown_ = false;  // one box per burst of failures
  bool failureTold_ = false;   // the inbox's failure has been reported
  bool stopped_ = false;
  std::uint64_t dropped_ = 0, delivered_ = 0, failures_ = 0;
};

// The command line that starts the info window for an editor: its frame
// rectangle, the document's character code, whether the file is a project,
// the info-window number and the file's (short) path.
std::string InfoWindowCommandLine(std::string_view programFolder, const FrameRect& frame, int charCode, bool project,
                                  int infoWindow, std::string_view file);
// The frame rectangle the info window is told: the frame's own, or the one
// it had when last restored while the frame lies partly off the screen.
FrameRect InfoWindowFrame(const FrameRect& frame, const FrameRect& restored, const FrameRect& screen);
// The same for a project opened directly.
std::string ProjectInfoWindowCommandLine(std::string_view programFolder, int charCode, int infoWindow,
                                         std::string_view file);

// The tag of a received message ("" when it does not begin with "@").
inline std::string_view MessageTag(std::string_view message) { return TagOf(message); }

}  // namespace gorvane::ipc

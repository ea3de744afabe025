// The editor's side of the conversations with other editors and its info
// window: the activation handshake (bringing a window to the front across
// processes, for tag jumps, mark jumps and a second start of an open file),
// the autosave round before a build, close and save requests. Every wait for
// a reply ends after a time limit; malformed messages are counted and never
// acted on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ipc/messages.h"
#include "ipc/messenger.h"

namespace gorvane::ipc {

// What the shell does to bring its window to the front from another
// process's request (input queues attached to the requester's thread).
class WindowActivator {
 public:
  virtual ~WindowActivator() = default;
  virtual std::uint32_t ThreadId() = 0;
  virtual bool AttachTo(std::uint32_t threadId) = 0;
  virtual void Detach() = 0;
  virtual void BringToFront() = 0;
};

struct EditorCallbacks {
  // Still loading its file or checking its marks: requests are answered at
  // once, without moving anything.
  std::function<bool()> startingUp;
  // A tag jump or mark jump, after the window came forward.
  std::function<void(const TagJump&)> jumpTo;
  std::function<void(int mark)> jumpToMark;
  // Saves a modified document without asking: true when saved or nothing
  // to save.
  std::function<bool()> saveQuietly;
  // The info window asks this editor to close; mode 0..3 (checked).
  std::function<void(int mode)> closeRequested;
  // The info window asks this editor to save ("@SAVE@").
  std::function<void()> saveRequested;
  // The info window asks this editor to save its file in another code and
  // line end ("@BULKCRLF@"): true when saved (a write-protected document is
  // not saved).
  std::function<bool(int charCode, int lineEnd)> saveInCode;
};

class EditorProtocol {
 public:
  EditorProtocol(Messenger& messenger, InstanceGroup& group, WindowActivator& activator, EditorCallbacks callbacks,
                 std::uint32_t replyMs = kDefaultReplyMs);

  // A forwarder (a second start for a file another editor has) asks that
  // editor to come forward; done(true) when it answered, done(false) when it
  // did not within the time limit.
  bool AskEditorForward(int owner, std::function<void(bool answered)> done);
  // Asks every other editor of this info window to save; done(all saved,
  // editors asked) once every answer is in or the time is up. Returns how
  // many were asked (0: done has been called already).
  int StartAutosave(std::function<void(bool allSaved, int asked)> done);

  // Asks this editor's info window to come to the front; done(true) on its
  // "@ACTIVEOK@", done(false) when none came in time.
  bool AskInfoWindowForward(std::function<void(bool answered)> done);
  // Adds the document's file to the info window's list; done(file number)
  // with the number it gave, 0 when it refused, -1 when no answer came in
  // time.
  bool AddFileToInfoWindow(int charCode, std::string_view path, std::string_view second,
                           std::function<void(int fileNumber)> done);
  bool activationPending() const { return activationPending_; }

  bool waitingForAttach() const { return waiting_.has_value(); }
  std::uint64_t malformed() const { return malformed_; }

 private:
  enum class Kind { kInstanceActive, kTagJump, kMarkJump };
  struct Pending {
    Kind kind = Kind::kInstanceActive;
    int sender = 0;  // editor instance, or info-window number
    TagJump jump{};
    int mark = 0;
  };
  std::optional<ParsedMessage> Parse(std::string_view message);
  void Activate(const Pending& request, std::uint32_t threadId);
  void Finish(const Pending& request);
  void Answer(const Pending& request);

  Messenger& messenger_;
  InstanceGroup& group_;
  WindowActivator& activator_;
  EditorCallbacks callbacks_;
  std::uint32_t replyMs_;
  std::optional<Pending> waiting_;
  bool activationPending_ = false;
  std::uint64_t malformed_ = 0;
};

}  // namespace gorvane::ipc

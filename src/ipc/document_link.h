// What the document's file commands need of the editor's group and its info
// window: the open-file table and the group lock of the instance group, and
// the messages that tell the info window about a save (the project-options
// check after a save under the file's own name; the new name, the mark-jump
// mapping or the request to add the file to the list after Save As).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/host.h"
#include "files/open_file_registry.h"
#include "ipc/editor_protocol.h"
#include "ipc/instance_group.h"
#include "ipc/kernel.h"
#include "ipc/messenger.h"

namespace gorvane::ipc {

inline constexpr std::uint32_t kMarkJumpPollMs = 100;
inline constexpr std::uint32_t kMarkJumpWaitMs = 3000;  // the info window's answer, at most

// What the shell does for the link.
struct DocumentLinkHooks {
  // The frame is disabled while the info window adds the file to its list.
  std::function<void(bool enabled)> enableFrame;
  // The info window refused the file: the editor closes.
  std::function<void()> close;
  // Waits while the info window fills the mark-jump mapping.
  std::function<void(std::uint32_t ms)> sleep;
};

class DocumentLink final : public files::OpenFileRegistry {
 public:
  DocumentLink(Kernel& kernel, InstanceGroup& group, Messenger& messenger, base::Host& host)
      : kernel_(kernel), group_(group), messenger_(messenger), host_(host) {}
  DocumentLink(const DocumentLink&) = delete;
  DocumentLink& operator=(const DocumentLink&) = delete;

  // The protocol (made after the link) sends "@ADDFILEITEM@" and waits for
  // its answer.
  void SetProtocol(EditorProtocol* protocol) { protocol_ = protocol; }
  void SetHooks(DocumentLinkHooks hooks) { hooks_ = std::move(hooks); }
  // The document's number in its info window's list ("/FN", then the number
  // "@ADDFIRET@" gave).
  int fileNumber() const { return fileNumber_; }
  void SetFileNumber(int number) { fileNumber_ = number; }
  // The info window is adding the file to its list (the frame is disabled).
  bool adding() const { return adding_; }

  // files::OpenFileRegistry
  bool HeldElsewhere(std::string_view path) override { return group_.HeldElsewhere(path); }
  bool Claim(std::string_view path) override { return group_.Claim(path); }
  bool LockGroup(bool wait) override { return group_.LockGroup(wait); }
  void UnlockGroup() override { group_.UnlockGroup(); }
  bool groupLockHeld() const override { return group_.groupLockHeld(); }
  bool connectedToInfoWindow() override { return messenger_.connectedToInfoWindow(); }
  bool CheckProjectOptions(int code, std::string_view path) override;
  void FileRenamed(int code, std::string_view path, bool addToInfoWindow) override;

  // The mark-jump mapping of a file: made zeroed, announced with
  // "@MJMMFILE@", and kept while the info window's answer (its first byte)
  // is other than 2. False when it could not be made or no answer came.
  bool ShareMarkJumpFile(std::string_view path);
  bool holdsMarkJumpFile() const { return markJump_ != nullptr; }

 private:
  Kernel& kernel_;
  InstanceGroup& group_;
  Messenger& messenger_;
  base::Host& host_;
  EditorProtocol* protocol_ = nullptr;
  DocumentLinkHooks hooks_;
  int fileNumber_ = 1;
  bool adding_ = false;
  std::unique_ptr<SharedMapping> markJump_;
};

}  // namespace gorvane::ipc

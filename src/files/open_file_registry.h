// What the file commands need of the other editors of the group and of the
// info window: who edits which file, the group lock and the news of a save.
#pragma once

#include <string_view>

namespace gorvane::files {

// The other editors of the group and the info window, as far as the
// document's file is concerned. An editor alone has only the first two.
class OpenFileRegistry {
 public:
  virtual ~OpenFileRegistry() = default;
  // Another editor edits this path.
  virtual bool HeldElsewhere(std::string_view path) = 0;
  // In one step: false when another editor edits path, else path becomes
  // this editor's file (its previous one is let go).
  virtual bool Claim(std::string_view path) = 0;

  // The group lock: document-changing work of the editors of one info window
  // takes turns. wait false: only tries. A lock held already is not taken
  // again (and groupLockHeld says so), so that only its taker releases it.
  virtual bool LockGroup(bool wait) {
    static_cast<void>(wait);
    return true;
  }
  virtual void UnlockGroup() {}
  virtual bool groupLockHeld() const { return false; }

  // The info window: whether this editor is connected to it; after a save
  // under the file's own name, the project-options check ("@CHECKPROJOPT@",
  // false when it could not be sent); after a save under a new name, the
  // news of it ("@ADDFILEITEM@" when asked to add it to the list, else the
  // mark-jump mapping; "@CHANGEEDITFILE@").
  virtual bool connectedToInfoWindow() { return false; }
  virtual bool CheckProjectOptions(int code, std::string_view path) {
    static_cast<void>(code);
    static_cast<void>(path);
    return true;
  }
  virtual void FileRenamed(int code, std::string_view path, bool addToInfoWindow) {
    static_cast<void>(code);
    static_cast<void>(path);
    static_cast<void>(addToInfoWindow);
  }
};

// The group lock for a scope: released at its end only when taken here.
class GroupTurn {
 public:
  GroupTurn(OpenFileRegistry& registry, bool wait)
      : registry_(registry), taken_(!registry.groupLockHeld()), ok_(registry.LockGroup(wait)) {
    taken_ = taken_ && ok_;
  }
  ~GroupTurn() {
    if (taken_) registry_.UnlockGroup();
  }
  GroupTurn(const GroupTurn&) = delete;
  GroupTurn& operator=(const GroupTurn&) = delete;
  bool ok() const { return ok_; }

 private:
  OpenFileRegistry& registry_;
  bool taken_;
  bool ok_;
};

// An editor alone.
class SoleEditor final : public OpenFileRegistry {
 public:
  bool HeldElsewhere(std::string_view) override { return false; }
  bool Claim(std::string_view) override { return true; }
};

}  // namespace gorvane::files

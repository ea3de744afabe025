// The editors of one user as a group: the shared main file (header page,
// info-window table), the table of open files with each editor's instance
// number, the shared settings, and the named locks around them. The first
// editor creates and initialises everything; later ones map it and check it.
// Every wait is bounded, a lock found abandoned counts as taken (the data it
// guards is checked before use), everything read from shared memory is
// bounds-checked, and the slot of an editor that no longer exists (its inbox
// is gone) is taken back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/record_codec.h"
#include "commands/key_tables.h"
#include "files/open_file_registry.h"
#include "files/settings_records.h"
#include "ipc/kernel.h"
#include "ipc/object_names.h"

namespace gorvane::ipc {

inline constexpr int kMaxInstances = 7700;
inline constexpr int kTransientInstance = 7702;  // forwards a request to another editor and ends
inline constexpr int kMainFilePages = 124;
inline constexpr std::uint32_t kSharedFileBytes = 2097152;
inline constexpr std::uint32_t kFileEntryBytes = 268;
inline constexpr std::uint32_t kFileEntriesAt = 50;
inline constexpr std::uint32_t kInfoEntryBytes = 264;
inline constexpr std::uint32_t kPathField = 261;
inline constexpr std::uint32_t kDefaultLockWaitMs = 10000;

// Offsets in the header page of the main file.
namespace header {
inline constexpr std::size_t kIdent = 2, kIdentBytes = 48;
inline constexpr std::size_t kVersionWord = 50, kPagesInUse = 52;
inline constexpr std::size_t kOemKeys = 54, kOemKeyBytes = 20;
inline constexpr std::size_t kKeyTables = 74, kKeyTableBytes = 1024;
static_assert(kOemKeyBytes == sizeof(commands::OemKeyTable) && kKeyTableBytes == sizeof(commands::KeyTables));
inline constexpr std::size_t kEditorCount = 1098, kHighWater = 1100, kPageSize = 1104;
}  // namespace header

inline constexpr std::string_view kMainIdent = "$QORV$mmFileIdentStr$V1.74";
inline constexpr std::string_view kFileNameIdent = "$QORV$FileNameMMFileIdentStr$V1.74";

// How an editor's inbox is made: tried again every kInboxRetryMs, up to
// kInboxRetries times after the first try.
inline constexpr int kInboxRetries = 100;
inline constexpr std::uint32_t kInboxRetryMs = 100;
using SleepFor = std::function<void(std::uint32_t ms)>;

// An editor's inbox of this name. While the name is taken (an editor that
// had this number may still be closing) or the system refuses, it is tried
// again after sleep(kInboxRetryMs) (no sleep: at once). Null when every try
// failed; the kernel's LastErrorText then tells why.
std::unique_ptr<Mailslot> CreateEditorInbox(Kernel& kernel, const std::string& name, const SleepFor& sleep);
// Tells the user that the inbox could not be made: its name
// ("MailSlotName = ...") and then the system's reason, both as error boxes.
void TellNoInbox(base::Host& host, const std::string& name, const std::string& reason);

// The size of a view of the main file: 256 KiB, or the allocation
// granularity when larger, rounded up to a multiple of it.
std::uint32_t SharedPageSize(std::uint32_t granularity);

// One named lock and whether this code holds it: a request for a lock held
// already does nothing, and only what was taken is released.
class SharedLock {
 public:
  SharedLock() = default;
  SharedLock(Kernel* kernel, std::string name) : kernel_(kernel), name_(std::move(name)) {}
  // Takes the lock, waiting at most timeoutMs; abandoned counts as taken
  // (*abandoned says so). False when it could not be had in time.
  bool Take(std::uint32_t timeoutMs, bool* abandoned = nullptr);
  void Drop();
  bool held() const { return held_; }
  const std::string& name() const { return name_; }
  // Adopts a mutex this process created owned.
  void AdoptOwned(std::unique_ptr<NamedMutex> mutex);

 private:
  Kernel* kernel_ = nullptr;
  std::string name_;
  std::unique_ptr<NamedMutex> mutex_;
  bool held_ = false;
};

struct JoinRequest {
  std::string path;            // the file to edit (Shift-JIS, full path), or a new document's name
  bool newDocument = false;    // an unnamed document: its number moves on while another editor has it
  bool projectFile = false;    // a project file: one info window per project
  bool projectOption = false;  // started with "/p"
  int infoWindow = -1;         // the info window that started this editor ("/MS"); -1: take a free one
};

struct JoinResult {
  int code = 0;          // 1 first editor of the user, -1 joined a running group, 0 failed or handed over
  int instance = 0;      // this editor's instance number (kTransientInstance when handed over)
  int infoWindow = -1;
  std::string path;      // as registered (a new document's name may have moved on)
  int owner = 0;         // handed over: the editor that has the file
};

// How a request is handed to the editor or info window that has the file
// or project already; true when it was delivered.
struct Handover {
  std::function<bool(int instance)> bringEditorForward;
  std::function<bool(int infoWindow)> activateInfoWindow;
};

struct OpenFileEntry {
  int instance = 0;
  int infoWindow = 0;
  bool modified = false;
  std::string path;  // lower case
};

struct InfoWindowEntry {
  int number = 0;
  bool holdsProject = false;
  std::string projectPath;
};

class InstanceGroup final : public files::OpenFileRegistry {
 public:
  InstanceGroup(Kernel& kernel, base::Host& host);
  ~InstanceGroup() override;
  InstanceGroup(const InstanceGroup&) = delete;
  InstanceGroup& operator=(const InstanceGroup&) = delete;

  JoinResult Join(const JoinRequest& request, const Handover& handover = {});
  // Opens a running group to look at it (diagnosis) without joining it:
  // false when there is none or it is not ours.
  bool Observe();
  // Gives the slot back (at exit).
  void ReleaseSlot();

  int instance() const { return instance_; }
  int infoWindow() const { return infoWindow_; }
  bool first() const { return first_; }
  std::uint32_t pageSize() const { return pageSize_; }
  const ObjectNames& names() const { return names_; }
  base::Host& host() { return host_; }
  // The inbox created at joining (CreateEditorInbox; the messaging layer
  // takes it over).
  std::unique_ptr<Mailslot> TakeInbox() { return std::move(inbox_); }

  // ---- the open-file table ----
  // The live editor that has the path open (any case), 0 when none.
  int FindOpenFile(std::string_view path);
  // This editor's file is now path (after Save As); false when another live
  // editor has it.
  bool RegisterFile(std::string_view path);
  void SetModified(bool modified);
  std::vector<OpenFileEntry> OpenFiles();
  // files::OpenFileRegistry
  bool HeldElsewhere(std::string_view path) override { return FindOpenFile(path) != 0; }
  bool Claim(std::string_view path) override { return RegisterFile(path); }

  // ---- the info-window table ----
  int FreeInfoWindowNumber();
  std::string InfoWindowProjectPath(int number);
  std::vector<InfoWindowEntry> InfoWindows();

  // ---- the settings ----
  // Runs work on the shared settings under the main lock; false when they
  // cannot be mapped.
  bool WithSettings(const std::function<void(files::SettingsArea&)>& work);

  // ---- locks ----
  bool LockMain();
  void UnlockMain() { main_.Drop(); }
  // The OEM key table (20 bytes) and the four key tables (1,024 bytes) of the
  // header page, copied under the main lock; false (both untouched) when they
  // cannot be had.
  bool ReadKeyTables(commands::OemKeyTable* oem, commands::KeyTables* tables);
  // wait false: only tries.
  bool LockGroup(bool wait) override;
  void UnlockGroup() override { group_.Drop(); }
  bool groupLockHeld() const override { return group_.held(); }
  bool LockSearch(bool wait);
  void UnlockSearch() { search_.Drop(); }
  bool LockCompile(bool wait);
  void UnlockCompile() { compile_.Drop(); }
  bool LockMacro();
  void UnlockMacro() { macro_.Drop(); }
  // The shared input-support data of a file extension, under its lock: the
  // first editor of the extension creates and initialises it. Null (after
  // telling the user) when it cannot be had; the lock is then not held.
  SharedMapping* LockExtension(std::string_view extension);
  void UnlockExtension() { extension_.Drop(); }
  void SetLockWait(std::uint32_t ms) { lockWaitMs_ = ms; }
  // How joining waits between tries of the inbox (none: no waiting).
  void SetSleep(SleepFor sleep) { sleep_ = std::move(sleep); }

  // The raw bytes of a main-file page, a file's table or the settings, for
  // diagnosis (under the main lock); empty when they cannot be mapped.
  std::vector<std::uint8_t> Dump(int file, std::uint64_t offset, std::uint32_t length);

 private:
  bool CreateShared();
  bool OpenShared();
  bool ValidHeader(base::RecordView& page0);
  std::unique_ptr<MappedView> MapMain(int page);
  std::unique_ptr<MappedView> MapFileNames();
  std::unique_ptr<MappedView> MapSettingsView();
  int LookUp(base::RecordView& table, std::string_view lowerPath, bool reclaimDead);
  int Register(base::RecordView& page0, base::RecordView& table, std::string_view lowerPath);
  bool Alive(int instance);
  void WriteEntry(base::RecordView& table, int instance, std::string_view lowerPath);
  int CountUsed(base::RecordView& table);
  void Fail(std::u8string_view text, std::u8string_view caption = base::kCaption);
  void FailWithSystemText(std::u8string_view caption);
  void TellLockTimeout();

  Kernel& kernel_;
  base::Host& host_;
  ObjectNames names_{""};
  std::uint32_t pageSize_ = 0;
  std::unique_ptr<SharedMapping> mainFile_, fileNames_, settings_;
  SharedLock main_, startup_, group_, search_, compile_, macro_, extension_;
  std::string extensionName_;
  std::unique_ptr<SharedMapping> extensionFile_;
  std::unique_ptr<Mailslot> inbox_;
  int instance_ = 0;
  int infoWindow_ = -1;
  std::string projectPath_;
  bool first_ = false;
  std::uint32_t lockWaitMs_ = kDefaultLockWaitMs;
  SleepFor sleep_;
};

}  // namespace gorvane::ipc

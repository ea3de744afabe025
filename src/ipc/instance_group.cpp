#include "ipc/instance_group.h"

#include <algorithm>
#include <cstring>

#include "base/scope_guard.h"
#include "charcode/sjis_case.h"
#include "ipc/extension_file.h"

namespace gorvane::ipc {

using base::BoxButtons;
using base::BoxIcon;
using base::RecordView;

namespace {

constexpr std::u8string_view kNoUserName = u8"ユーザー名の取得に失敗しました。";
constexpr std::u8string_view kNoMutex =
    u8"ミューテックスオブジェクトの作成に失敗しました。\nこのまま処理を続けることはできませんので終了します。";
constexpr std::u8string_view kNoMapping =
    u8"メモリマップドファイルの作成に失敗しました。\nこのまま処理を続けることはできませんので終了します。";
constexpr std::u8string_view kForeignMapping =
    u8"メモリマップドファイルをオープンできましたが異なるアプリケーションで作成したものの様です。\nこのまま処理を続けることは出来ませんので終了します。";
constexpr std::u8string_view kNoFileNames = u8"ファイル名ページのメモリマップドファイルのオープンに失敗しました。";
constexpr std::u8string_view kNoSettings = u8"設定データページのメモリマップドファイルのオープンに失敗しました。";
constexpr std::u8string_view kProjectOpenP = u8"このプロジェクトは既に開かれていますのでｵｰﾌﾟﾝできません。";
constexpr std::u8string_view kProjectRunning = u8"このプロジェクトは既に起動しています。";
constexpr std::u8string_view kFileOpenElsewhere = u8"このファイルは既に開かれています。";
constexpr std::u8string_view kTooMany = u8"オープンできる最大数を超えてしまいました。エディタを強制終了します。";
constexpr std::u8string_view kLockTimeout =
    u8"他のエディタが共有データを使用したまま応答しません。\n処理を中止しました。しばらくしてからもう一度実行してください。";
constexpr std::u8string_view kNoExtensionFile = u8"拡張子別ﾒﾓﾘﾏｯﾌﾟﾄﾞﾌｧｲﾙの作成に失敗しました。";
constexpr std::u8string_view kCaptionExtensionView = u8"Gorvane 初期化エラー(CreateExtMMFileView)";
constexpr std::u8string_view kCaptionMainView = u8"Gorvane 初期化エラー(CreateMMFileView)";
constexpr std::u8string_view kCaptionFileNameView = u8"Gorvane 初期化エラー(CreateFileNameMMFileView)";
constexpr std::u8string_view kCaptionSettingsView = u8"Gorvane 初期化エラー(CreateSettingDataMMFileView)";
constexpr std::string_view kInboxNamePrefix = "MailSlotName = ";


std::size_t EntryAt(int instance) { return kFileEntriesAt + static_cast<std::size_t>(instance - 1) * kFileEntryBytes; }

// The trailing decimal number of a new document's name, one up.
std::string NextNumbered(const std::string& name) {
  std::size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  const std::string stem = name.substr(0, digits);
  const std::string number = name.substr(digits);
  const unsigned long n = number.empty() ? 1 : std::stoul(number.size() > 9 ? number.substr(number.size() - 9) : number);
  return stem + std::to_string(n + 1);
}

}  // namespace

std::uint32_t SharedPageSize(std::uint32_t granularity) {
  const std::uint32_t g = granularity == 0 ? 65536 : granularity;
  const std::uint32_t size = std::max<std::uint32_t>(0x40000, g);
  return (size + g - 1) / g * g;
}

std::unique_ptr<Mailslot> CreateEditorInbox(Kernel& kernel, const std::string& name, const SleepFor& sleep) {
  for (int attempt = 0;; ++attempt) {
    if (auto inbox = kernel.CreateMailslot(name, 0)) return inbox;
    if (attempt == kInboxRetries) return nullptr;
    if (sleep) sleep(kInboxRetryMs);
  }
}

void TellNoInbox(base::Host& host, const std::string& name, const std::string& reason) {
  const std::string caption = base::Sjis(base::kCaption);
  host.ShowMessageBox({std::string(kInboxNamePrefix) + name, caption, BoxIcon::Error, BoxButtons::Ok, true});
  host.ShowMessageBox({reason, caption, BoxIcon::Error, BoxButtons::Ok, true});
}

// ---- locks ----

bool SharedLock::Take(std::uint32_t timeoutMs, bool* abandoned) {
  if (abandoned != nullptr) *abandoned = false;
  if (held_) return true;
  if (kernel_ == nullptr) return false;
  if (!mutex_) {
    Created created;
    mutex_ = kernel_->CreateMutex(name_, false, &created);
    if (!mutex_) return false;
  }
  const WaitResult r = mutex_->Wait(timeoutMs);
  if (r == WaitResult::Abandoned && abandoned != nullptr) *abandoned = true;
  held_ = r == WaitResult::Acquired || r == WaitResult::Abandoned;
  return held_;
}

void SharedLock::Drop() {
  if (!held_) return;
  if (mutex_) mutex_->Release();
  held_ = false;
}

void SharedLock::AdoptOwned(std::unique_ptr<NamedMutex> mutex) {
  mutex_ = std::move(mutex);
  held_ = mutex_ != nullptr;
}

// ---- the group ----

InstanceGroup::InstanceGroup(Kernel& kernel, base::Host& host) : kernel_(kernel), host_(host) {}

InstanceGroup::~InstanceGroup() {
  main_.Drop();
  group_.Drop();
  search_.Drop();
  compile_.Drop();
  macro_.Drop();
  startup_.Drop();
}

void InstanceGroup::Fail(std::u8string_view text, std::u8string_view caption) {
  base::Tell(host_, text, BoxIcon::Error, BoxButtons::Ok, caption);
}

// The system's text for the last failure (already Shift-JIS) in an error box.
void InstanceGroup::FailWithSystemText(std::u8string_view caption) {
  const std::string text = kernel_.LastErrorText(), c = base::Sjis(caption);
  host_.ShowMessageBox({text, c, BoxIcon::Error, BoxButtons::Ok, true});
}

void InstanceGroup::TellLockTimeout() { base::Tell(host_, kLockTimeout, BoxIcon::Warning); }

bool InstanceGroup::LockMain() {
  bool abandoned = false;
  if (main_.held()) return true;
  if (!mainFile_) return false;  // not in a group
  if (!main_.Take(lockWaitMs_, &abandoned)) {
    TellLockTimeout();
    return false;
  }
  if (abandoned && mainFile_) {
    // Its last holder died: the header must still be ours before anything
    // relies on it.
    auto view = MapMain(0);
    if (view) {
      RecordView page0(view->bytes());
      if (!ValidHeader(page0)) {
        main_.Drop();
        Fail(kForeignMapping);
        return false;
      }
    }
  }
  return true;
}

bool InstanceGroup::ReadKeyTables(commands::OemKeyTable* oem, commands::KeyTables* tables) {
  if (!mainFile_ || !LockMain()) return false;
  bool ok = false;
  if (auto view = MapMain(0)) {
    RecordView page0(view->bytes());
    if (ValidHeader(page0) && page0.size() >= header::kKeyTables + header::kKeyTableBytes) {
      std::memcpy(oem->data(), page0.data() + header::kOemKeys, oem->size());
      std::memcpy(tables->bytes.data(), page0.data() + header::kKeyTables, tables->bytes.size());
      ok = true;
    }
  }
  UnlockMain();
  return ok;
}

bool InstanceGroup::LockGroup(bool wait) {
  if (group_.name().empty()) group_ = SharedLock(&kernel_, names_.GroupLock(projectPath_));
  return group_.Take(wait ? lockWaitMs_ : 0);
}
bool InstanceGroup::LockSearch(bool wait) {
  if (search_.name().empty()) search_ = SharedLock(&kernel_, names_.SearchLock(projectPath_));
  return search_.Take(wait ? lockWaitMs_ : 0);
}
bool InstanceGroup::LockCompile(bool wait) {
  if (compile_.name().empty()) compile_ = SharedLock(&kernel_, names_.CompileLock(projectPath_));
  return compile_.Take(wait ? lockWaitMs_ : 0);
}
bool InstanceGroup::LockMacro() {
  if (macro_.name().empty()) macro_ = SharedLock(&kernel_, names_.MacroLock());
  return macro_.Take(lockWaitMs_);
}

SharedMapping* InstanceGroup::LockExtension(std::string_view extension) {
  const std::string lower = charcode::SjisToLower(extension);
  if (lower != extensionName_) {
    extension_.Drop();
    extension_ = SharedLock(&kernel_, names_.ExtensionLock(lower));
    extensionFile_.reset();
    extensionName_ = lower;
  }
  if (!extension_.Take(lockWaitMs_)) {
    TellLockTimeout();
    return nullptr;
  }
  if (!extensionFile_) {
    Created created;
    extensionFile_ = kernel_.CreateMapping(names_.ExtensionFile(lower), kExtensionFileBytes, &created);
    std::unique_ptr<MappedView> view;
    if (extensionFile_ && extensionFile_->size() >= kExtensionFileBytes) view = extensionFile_->Map(0, kExtensionFirstBlock);
    if (!view) {
      const bool made = extensionFile_ != nullptr;
      extensionFile_.reset();
      extension_.Drop();
      if (made) FailWithSystemText(kCaptionExtensionView);
      else Fail(kNoExtensionFile);
      return nullptr;
    }
    // The first editor of the extension (or one after a holder died before
    // it was set up) writes the header.
    if (!created.existed || !ValidExtensionFile(view->bytes())) InitialiseExtensionFile(view->bytes());
  }
  return extensionFile_.get();
}

// ---- views ----

std::unique_ptr<MappedView> InstanceGroup::MapMain(int page) {
  if (!mainFile_) return nullptr;
  auto view = mainFile_->Map(static_cast<std::uint64_t>(page) * pageSize_, pageSize_);
  if (!view) FailWithSystemText(kCaptionMainView);
  return view;
}

std::unique_ptr<MappedView> InstanceGroup::MapFileNames() {
  if (!fileNames_) return nullptr;
  auto view = fileNames_->Map(0, kSharedFileBytes);
  if (!view) FailWithSystemText(kCaptionFileNameView);
  return view;
}

std::unique_ptr<MappedView> InstanceGroup::MapSettingsView() {
  if (!settings_) return nullptr;
  auto view = settings_->Map(0, kSharedFileBytes);
  if (!view) FailWithSystemText(kCaptionSettingsView);
  return view;
}

// The header is ours when it carries our ident; its counts are never trusted
// as they stand (they are recounted from the table where they matter).
bool InstanceGroup::ValidHeader(RecordView& page0) {
  return page0.Text(header::kIdent, header::kIdentBytes) == kMainIdent && !page0.faulted();
}

// ---- joining ----

bool InstanceGroup::CreateShared() {
  Created created;
  mainFile_ = kernel_.CreateMapping(names_.MainFile(), std::uint64_t{kMainFilePages} * pageSize_, &created);
  if (!mainFile_) {
    Fail(kNoMapping);
    return false;
  }
  fileNames_ = kernel_.CreateMapping(names_.FileNameFile(), kSharedFileBytes, &created);
  const bool fileNamesExisted = created.existed;
  settings_ = kernel_.CreateMapping(names_.SettingsFile(), kSharedFileBytes, &created);
  const bool settingsExisted = created.existed;
  if (!fileNames_ || !settings_ || fileNames_->size() < kSharedFileBytes || settings_->size() < kSharedFileBytes) {
    Fail(kNoMapping);
    return false;
  }

  auto page0View = MapMain(0);
  auto tableView = MapFileNames();
  auto settingsView = MapSettingsView();
  if (!page0View || !tableView || !settingsView) return false;
  RecordView page0(page0View->bytes()), table(tableView->bytes());
  if ((fileNamesExisted && table.Text(2, 48) != kFileNameIdent)) {
    Fail(kNoMapping);
    return false;
  }
  files::SettingsArea settings(settingsView->bytes());
  if (settingsExisted && !settings.Valid()) {
    Fail(kNoMapping);
    return false;
  }

  page0.Fill(0, page0.size(), 0);
  page0.Put<std::uint16_t>(0, 0);
  page0.PutText(header::kIdent, header::kIdentBytes, kMainIdent);
  page0.Put<std::uint16_t>(header::kVersionWord, 0);
  page0.Put<std::uint16_t>(header::kPagesInUse, 4);
  const commands::OemKeyTable oem = commands::DefaultOemKeys();
  for (std::size_t i = 0; i < oem.size(); ++i) page0.Put<std::uint8_t>(header::kOemKeys + i, oem[i]);
  page0.Put<std::uint16_t>(header::kEditorCount, 0);
  page0.Put<std::uint16_t>(header::kHighWater, 0);
  page0.Put<std::uint32_t>(header::kPageSize, pageSize_);
  if (!fileNamesExisted) {
    table.Put<std::uint16_t>(0, 1);
    table.PutText(2, 48, kFileNameIdent);
  }
  if (!settingsExisted) settings.Initialise(pageSize_);
  return true;
}

bool InstanceGroup::OpenShared() {
  Created created;
  mainFile_ = kernel_.CreateMapping(names_.MainFile(), std::uint64_t{kMainFilePages} * pageSize_, &created);
  if (!mainFile_) {
    Fail(kNoMapping);
    return false;
  }
  auto page0View = MapMain(0);
  if (!page0View) return false;
  RecordView page0(page0View->bytes());
  if (!ValidHeader(page0)) {
    Fail(kForeignMapping);
    return false;
  }
  fileNames_ = kernel_.OpenMapping(names_.FileNameFile());
  auto tableView = fileNames_ && fileNames_->size() >= kSharedFileBytes ? fileNames_->Map(0, kSharedFileBytes) : nullptr;
  if (!tableView || RecordView(tableView->bytes()).Text(2, 48) != kFileNameIdent) {
    Fail(kNoFileNames);
    return false;
  }
  settings_ = kernel_.OpenMapping(names_.SettingsFile());
  auto settingsView = settings_ && settings_->size() >= kSharedFileBytes ? settings_->Map(0, kSharedFileBytes) : nullptr;
  if (!settingsView || !files::SettingsArea(settingsView->bytes()).Valid()) {
    Fail(kNoSettings);
    return false;
  }
  return true;
}

JoinResult InstanceGroup::Join(const JoinRequest& request, const Handover& handover) {
  JoinResult result;
  std::string user;
  if (!kernel_.UserName(&user)) {
    Fail(kNoUserName);
    return result;
  }
  names_ = ObjectNames(user);
  pageSize_ = SharedPageSize(kernel_.AllocationGranularity());

  // Two editors never join at the same moment.
  startup_ = SharedLock(&kernel_, ObjectNames::StartupMutex());
  if (!startup_.Take(lockWaitMs_)) {
    TellLockTimeout();
    return result;
  }
  const base::ScopeGuard releaseStartup([this] { startup_.Drop(); });

  // Created owned, or opened when it exists: never both editors initialise.
  Created created;
  std::unique_ptr<NamedMutex> mutex = kernel_.CreateMutex(names_.MainLock(), true, &created);
  if (!mutex) {
    Fail(kNoMutex);
    return result;
  }
  main_ = SharedLock(&kernel_, names_.MainLock());
  bool initialise = !created.existed;
  if (initialise) {
    main_.AdoptOwned(std::move(mutex));
  } else {
    bool abandoned = false;
    if (!main_.Take(lockWaitMs_, &abandoned)) {
      TellLockTimeout();
      return result;
    }
    if (abandoned) {
      // The editor that held it died, perhaps while it set everything up.
      Created probe;
      auto existing = kernel_.CreateMapping(names_.MainFile(), std::uint64_t{kMainFilePages} * pageSize_, &probe);
      if (existing) {
        auto view = existing->Map(0, pageSize_);
        if (view) {
          RecordView page0(view->bytes());
          initialise = page0.Text(header::kIdent, header::kIdentBytes) != kMainIdent;
        }
      }
    }
  }
  const base::ScopeGuard releaseMain([this] { main_.Drop(); });

  if (initialise ? !CreateShared() : !OpenShared()) return result;
  first_ = initialise;

  auto page0View = MapMain(0);
  auto tableView = MapFileNames();
  if (!page0View || !tableView) return result;
  RecordView page0(page0View->bytes()), table(tableView->bytes());

  // The info window: the one that started this editor, else the first free.
  infoWindow_ = request.infoWindow >= 0 ? request.infoWindow : FreeInfoWindowNumber();

  std::string path = request.path;
  if (request.projectFile) {
    const std::string lower = charcode::SjisToLower(path);
    for (const InfoWindowEntry& e : InfoWindows()) {
      if (charcode::SjisToLower(e.projectPath) != lower) continue;
      result.instance = kTransientInstance;
      if (request.projectOption) Fail(kProjectOpenP);
      const bool delivered = handover.activateInfoWindow && handover.activateInfoWindow(e.number);
      if (!delivered && !request.projectOption) Fail(kProjectRunning);
      return result;
    }
    projectPath_ = path;
  }

  // Look the file up and take a slot in one step: two editors can never
  // open the same file.
  for (;;) {
    const std::string lower = charcode::SjisToLower(path);
    const int owner = LookUp(table, lower, true);
    if (owner == 0) break;
    if (request.newDocument) {
      path = NextNumbered(path);
      continue;
    }
    result.instance = kTransientInstance;
    result.owner = owner;
    main_.Drop();
    const bool delivered = handover.bringEditorForward && handover.bringEditorForward(owner);
    if (!delivered) Fail(kFileOpenElsewhere);
    return result;
  }
  const int number = Register(page0, table, charcode::SjisToLower(path));
  if (number == 0) return result;

  // The inbox: an editor is alive exactly while it exists. When it cannot
  // be made the slot is given back, and the main lock let go before the user
  // is told, so that no other editor waits for it while the boxes are up.
  const std::string inboxName = names_.EditorInbox(number);
  inbox_ = CreateEditorInbox(kernel_, inboxName, sleep_);
  if (!inbox_) {
    const std::string reason = kernel_.LastErrorText();
    table.Fill(EntryAt(number), 8, 0);
    page0.Put<std::uint16_t>(header::kEditorCount, static_cast<std::uint16_t>(CountUsed(table)));
    main_.Drop();
    TellNoInbox(host_, inboxName, reason);
    return result;
  }
  instance_ = number;
  result.code = first_ ? 1 : -1;
  result.instance = number;
  result.infoWindow = infoWindow_;
  result.path = path;
  return result;
}

bool InstanceGroup::Observe() {
  std::string user;
  if (!kernel_.UserName(&user)) return false;
  names_ = ObjectNames(user);
  pageSize_ = SharedPageSize(kernel_.AllocationGranularity());
  if (!kernel_.OpenMutex(names_.MainLock())) return false;
  main_ = SharedLock(&kernel_, names_.MainLock());
  mainFile_ = kernel_.OpenMapping(names_.MainFile());
  fileNames_ = kernel_.OpenMapping(names_.FileNameFile());
  settings_ = kernel_.OpenMapping(names_.SettingsFile());
  if (!mainFile_ || !fileNames_ || !settings_ || fileNames_->size() < kSharedFileBytes ||
      settings_->size() < kSharedFileBytes || !LockMain())
    return false;
  bool ours = false;
  if (auto view = mainFile_->Map(0, pageSize_)) {
    RecordView page0(view->bytes());
    ours = ValidHeader(page0);
  }
  UnlockMain();
  return ours;
}

bool InstanceGroup::Alive(int instance) { return kernel_.MailslotExists(names_.EditorInbox(instance)); }

// The editor that has lowerPath, 0 when none. Slots of editors that no
// longer exist are taken back on the way when reclaimDead is set.
int InstanceGroup::LookUp(RecordView& table, std::string_view lowerPath, bool reclaimDead) {
  for (int n = 1; n <= kMaxInstances; ++n) {
    const std::size_t at = EntryAt(n);
    const std::uint16_t length = table.Get<std::uint16_t>(at);
    if (length == 0 || length >= kPathField || length != lowerPath.size() || n == instance_) continue;
    if (table.Text(at + 7, kPathField) != lowerPath) continue;
    if (Alive(n)) return n;
    if (reclaimDead) table.Fill(at, 8, 0);
  }
  return 0;
}

int InstanceGroup::CountUsed(RecordView& table) {
  int used = 0;
  for (int n = 1; n <= kMaxInstances; ++n)
    if (table.Get<std::uint16_t>(EntryAt(n)) != 0) ++used;
  return used;
}

void InstanceGroup::WriteEntry(RecordView& table, int instance, std::string_view lowerPath) {
  const std::size_t at = EntryAt(instance);
  const std::string_view stored = lowerPath.substr(0, kPathField - 1);
  table.Put<std::uint16_t>(at, static_cast<std::uint16_t>(stored.size()));
  table.Put<std::uint16_t>(at + 2, static_cast<std::uint16_t>(instance));
  table.Put<std::uint16_t>(at + 4, static_cast<std::uint16_t>(infoWindow_ < 0 ? 0 : infoWindow_));
  table.Put<std::uint8_t>(at + 6, 0);
  table.PutText(at + 7, kPathField, stored);
}

int InstanceGroup::Register(RecordView& page0, RecordView& table, std::string_view lowerPath) {
  // The table is the truth: the stored count may be stale (an editor died)
  // or garbage.
  int count = CountUsed(table);
  int high = std::min<int>(page0.Get<std::uint16_t>(header::kHighWater), kMaxInstances);
  if (count > kMaxInstances - 1 && high > kMaxInstances - 1) {
    // Editors that died without giving their slot back do not count.
    for (int n = 1; n <= kMaxInstances; ++n)
      if (table.Get<std::uint16_t>(EntryAt(n)) != 0 && !Alive(n)) table.Fill(EntryAt(n), 8, 0);
    count = CountUsed(table);
    if (count > kMaxInstances - 1) {
      Fail(kTooMany);
      return 0;
    }
  }
  const int newCount = count + 1;
  int number = newCount;
  if (count < high || table.Get<std::uint16_t>(EntryAt(newCount)) != 0) {
    number = 0;
    for (int n = 1; n <= kMaxInstances && number == 0; ++n) {
      if (table.Get<std::uint16_t>(EntryAt(n)) == 0) number = n;
      else if (!Alive(n)) {  // a slot left behind by an editor that died
        table.Fill(EntryAt(n), 8, 0);
        number = n;
      }
    }
    if (number == 0) {
      Fail(kTooMany);
      return 0;
    }
  }
  WriteEntry(table, number, lowerPath);
  const int used = CountUsed(table);
  page0.Put<std::uint16_t>(header::kEditorCount, static_cast<std::uint16_t>(used));
  page0.Put<std::uint16_t>(header::kHighWater, static_cast<std::uint16_t>(std::max({high, used, number})));
  return number;
}

void InstanceGroup::ReleaseSlot() {
  if (instance_ == 0 || !LockMain()) return;
  auto page0View = MapMain(0);
  auto tableView = MapFileNames();
  if (page0View && tableView) {
    RecordView page0(page0View->bytes()), table(tableView->bytes());
    table.Fill(EntryAt(instance_), 8, 0);
    page0.Put<std::uint16_t>(header::kEditorCount, static_cast<std::uint16_t>(CountUsed(table)));
  }
  UnlockMain();
  instance_ = 0;
  inbox_.reset();
}

// ---- the open-file table ----

int InstanceGroup::FindOpenFile(std::string_view path) {
  if (!LockMain()) return 0;
  int owner = 0;
  if (auto view = MapFileNames()) {
    RecordView table(view->bytes());
    owner = LookUp(table, charcode::SjisToLower(path), true);
  }
  UnlockMain();
  return owner;
}

bool InstanceGroup::RegisterFile(std::string_view path) {
  if (instance_ == 0) return true;  // not in a group
  if (!LockMain()) return false;
  bool ok = false;
  if (auto view = MapFileNames()) {
    RecordView table(view->bytes());
    const std::string lower = charcode::SjisToLower(path);
    if (LookUp(table, lower, true) == 0) {
      WriteEntry(table, instance_, lower);
      ok = true;
    }
  }
  UnlockMain();
  return ok;
}

void InstanceGroup::SetModified(bool modified) {
  if (instance_ == 0 || !LockMain()) return;
  if (auto view = MapFileNames()) RecordView(view->bytes()).Put<std::uint8_t>(EntryAt(instance_) + 6, modified ? 1 : 0);
  UnlockMain();
}

std::vector<OpenFileEntry> InstanceGroup::OpenFiles() {
  std::vector<OpenFileEntry> out;
  if (!LockMain()) return out;
  if (auto view = MapFileNames()) {
    RecordView table(view->bytes());
    for (int n = 1; n <= kMaxInstances; ++n) {
      const std::size_t at = EntryAt(n);
      const std::uint16_t length = table.Get<std::uint16_t>(at);
      if (length == 0) continue;
      OpenFileEntry e;
      e.instance = table.Get<std::uint16_t>(at + 2);
      e.infoWindow = table.Get<std::uint16_t>(at + 4);
      e.modified = table.Get<std::uint8_t>(at + 6) != 0;
      e.path = table.Text(at + 7, std::min<std::uint32_t>(length, kPathField - 1));
      out.push_back(e);
    }
  }
  UnlockMain();
  return out;
}

// ---- the info-window table ----

std::vector<InfoWindowEntry> InstanceGroup::InfoWindows() {
  std::vector<InfoWindowEntry> out;
  const bool took = !main_.held();
  if (took && !LockMain()) return out;
  if (auto view = MapMain(2)) {
    RecordView info(view->bytes());
    const std::uint32_t capacity = (pageSize_ - 4) / kInfoEntryBytes;
    const std::uint32_t entries = std::min<std::uint32_t>(info.Get<std::uint32_t>(0) >> 16, capacity);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::size_t at = 4 + i * kInfoEntryBytes;
      const std::uint16_t length = info.Get<std::uint16_t>(at + 1);
      if (length == 0) continue;
      out.push_back({static_cast<int>(i), info.Get<std::uint8_t>(at) != 0,
                     info.Text(at + 3, std::min<std::uint32_t>(length, kPathField - 1))});
    }
  }
  if (took) UnlockMain();
  return out;
}

int InstanceGroup::FreeInfoWindowNumber() {
  const bool took = !main_.held();
  if (took && !LockMain()) return 0;
  int number = 0;
  if (auto view = MapMain(2)) {
    RecordView info(view->bytes());
    const std::uint32_t capacity = (pageSize_ - 4) / kInfoEntryBytes;
    const std::uint32_t entries = std::min<std::uint32_t>(info.Get<std::uint32_t>(0) >> 16, capacity);
    number = static_cast<int>(entries);
    for (std::uint32_t i = 0; i < entries; ++i)
      if (info.Get<std::uint16_t>(4 + i * kInfoEntryBytes + 1) == 0) {
        number = static_cast<int>(i);
        break;
      }
  }
  if (took) UnlockMain();
  return number;
}

std::string InstanceGroup::InfoWindowProjectPath(int number) {
  for (const InfoWindowEntry& e : InfoWindows())
    if (e.number == number) return e.projectPath;
  return {};
}

// ---- the settings and diagnosis ----

bool InstanceGroup::WithSettings(const std::function<void(files::SettingsArea&)>& work) {
  if (!LockMain()) return false;
  auto view = MapSettingsView();
  bool ok = false;
  if (view) {
    files::SettingsArea area(view->bytes());
    if (area.Valid()) {
      work(area);
      ok = true;
    }
  }
  UnlockMain();
  return ok;
}

std::vector<std::uint8_t> InstanceGroup::Dump(int file, std::uint64_t offset, std::uint32_t length) {
  std::vector<std::uint8_t> out;
  if (!LockMain()) return out;
  std::unique_ptr<MappedView> view;
  std::uint64_t base = 0;
  if (file == 0 && mainFile_) {
    base = offset / pageSize_ * pageSize_;
    view = mainFile_->Map(base, pageSize_);
  } else if (file == 1) {
    view = MapFileNames();
  } else if (file == 2) {
    view = MapSettingsView();
  }
  if (view) {
    const auto bytes = view->bytes();
    const std::uint64_t from = offset - base;
    if (from < bytes.size()) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, bytes.size() - from));
      out.assign(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + n));
    }
  }
  UnlockMain();
  return out;
}

}  // namespace gorvane::ipc

// Several processes sharing one kernel, simulated in one test process.
//
//   gvtest::FakeWorld world;
//   auto first = world.NewProcess();   // pid 1000, user "tester"
//   auto second = world.NewProcess();  // pid 1001
//   first->Die();                      // its locks are abandoned, its objects closed
//
// Named mutexes follow Windows: an owner may wait again (and must release as
// often); a lock whose owner died is handed to the next waiter as Abandoned.
// Nothing runs concurrently, so a wait for a lock another live process holds
// times out at once (world.lastWaitTimeout records what was asked for).
// A mutex or mapping lives while any handle to it exists, views included; the
// last handle closing frees the name. A mailslot lives until its Mailslot
// object is destroyed or its process dies; a message written to it may be
// empty and then waits like any other. A dead process's kernel fails
// everything; destroying a FakeProcess is its death.
//
// The world must outlive its processes and every object they handed out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ipc/kernel.h"

namespace gvtest {

class FakeWorld;

namespace fake_kernel_detail {

namespace ipc = gorvane::ipc;

// Anything a process holds that its death closes.
struct Handle {
  virtual ~Handle() = default;
  virtual void Close() = 0;
};

struct ProcessState {
  FakeWorld* world = nullptr;
  std::uint32_t pid = 0;
  bool alive = true;
  std::string userName = "tester";  // Shift-JIS
  std::uint32_t granularity = 65536;
  bool failUserName = false;
  std::set<Handle*> handles;
};

struct MutexObject {
  std::uint32_t owner = 0;  // pid, 0 when free
  std::uint32_t count = 0;
  bool abandoned = false;  // the owner died holding it; the next waiter is told
};

// Zeroed by calloc: large mappings then come as fresh zero pages, which keeps
// tests that make many groups fast.
struct MappingObject {
  struct Free {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<std::uint8_t, Free> data;
  std::size_t size = 0;
  std::span<std::uint8_t> bytes() { return {data.get(), size}; }
};

struct MailslotObject {
  std::uint32_t maxMessage = 0;
  std::deque<std::vector<std::uint8_t>> messages;
};

// A handle registered with its process, so that the process's death closes it.
template <class Object>
class HandleOf : public Handle {
 public:
  HandleOf(std::shared_ptr<ProcessState> process, std::shared_ptr<Object> object)
      : process_(std::move(process)), object_(std::move(object)) {
    process_->handles.insert(this);
  }
  ~HandleOf() override { process_->handles.erase(this); }
  HandleOf(const HandleOf&) = delete;
  HandleOf& operator=(const HandleOf&) = delete;
  void Close() override { object_.reset(); }

 protected:
  std::shared_ptr<ProcessState> process_;
  std::shared_ptr<Object> object_;  // null once closed
};

class FakeMutex final : public ipc::NamedMutex, HandleOf<MutexObject> {
 public:
  FakeMutex(std::shared_ptr<ProcessState> process, std::shared_ptr<MutexObject> object, FakeWorld* world)
      : HandleOf(std::move(process), std::move(object)), world_(world) {}
  ipc::WaitResult Wait(std::uint32_t timeoutMs) override;
  bool Release() override {
    if (!object_ || object_->owner != process_->pid) return false;
    if (--object_->count == 0) object_->owner = 0;
    return true;
  }

 private:
  FakeWorld* world_;
};

class FakeView final : public ipc::MappedView, HandleOf<MappingObject> {
 public:
  FakeView(std::shared_ptr<ProcessState> process, std::shared_ptr<MappingObject> object, std::size_t offset,
           std::size_t length)
      : HandleOf(std::move(process), std::move(object)), offset_(offset), length_(length) {}
  std::span<std::uint8_t> bytes() override {
    if (!object_) return {};
    return object_->bytes().subspan(offset_, length_);
  }

 private:
  std::size_t offset_, length_;
};

class FakeMapping final : public ipc::SharedMapping, HandleOf<MappingObject> {
 public:
  FakeMapping(std::shared_ptr<ProcessState> process, std::shared_ptr<MappingObject> object, bool* failMap)
      : HandleOf(std::move(process), std::move(object)), failMap_(failMap) {}
  std::uint64_t size() const override { return object_ ? object_->size : 0; }
  // As on Windows, length 0 maps everything from offset to the end.
  std::unique_ptr<ipc::MappedView> Map(std::uint64_t offset, std::uint32_t length) override {
    if (!object_ || std::exchange(*failMap_, false)) return nullptr;
    const std::uint64_t size = object_->size;
    if (offset % process_->granularity != 0 || offset >= size) return nullptr;
    const std::uint64_t n = length == 0 ? size - offset : length;
    if (n > size - offset) return nullptr;
    return std::make_unique<FakeView>(process_, object_, static_cast<std::size_t>(offset), static_cast<std::size_t>(n));
  }

 private:
  bool* failMap_;
};

class FakeMailslot final : public ipc::Mailslot, HandleOf<MailslotObject> {
 public:
  FakeMailslot(std::shared_ptr<ProcessState> process, std::shared_ptr<MailslotObject> object, std::string name,
               std::map<std::string, std::shared_ptr<MailslotObject>>* names, int* failQueries, bool* failRead)
      : HandleOf(std::move(process), std::move(object)),
        name_(std::move(name)),
        names_(names),
        failQueries_(failQueries),
        failRead_(failRead) {}
  ~FakeMailslot() override { FakeMailslot::Close(); }
  void Close() override {
    auto it = names_->find(name_);
    if (object_ && it != names_->end() && it->second == object_) names_->erase(it);
    object_.reset();
  }
  ipc::NextMessage Next() override {
    if (!object_ || Failing()) return {ipc::NextMessage::State::kFailed, 0};
    if (object_->messages.empty()) return {};
    return {ipc::NextMessage::State::kWaiting, static_cast<std::uint32_t>(object_->messages.front().size())};
  }
  std::int64_t Read(std::span<std::uint8_t> dst) override {
    if (!object_ || std::exchange(*failRead_, false) || Failing() || object_->messages.empty() ||
        object_->messages.front().size() > dst.size())
      return -1;
    const std::vector<std::uint8_t> message = std::move(object_->messages.front());
    object_->messages.pop_front();
    std::copy(message.begin(), message.end(), dst.begin());
    return static_cast<std::int64_t>(message.size());
  }

 private:
  bool Failing() {
    if (*failQueries_ <= 0) return false;
    --*failQueries_;
    return true;
  }
  std::string name_;
  std::map<std::string, std::shared_ptr<MailslotObject>>* names_;
  int* failQueries_;
  bool* failRead_;
};

}  // namespace fake_kernel_detail

class FakeProcess;

class FakeWorld {
 public:
  FakeWorld() = default;
  FakeWorld(const FakeWorld&) = delete;
  FakeWorld& operator=(const FakeWorld&) = delete;

  // A new live process: pids 1000, 1001, ...
  std::unique_ptr<FakeProcess> NewProcess();
  void Kill(FakeProcess& process);

  // Each makes the next call of its kind fail, then clears itself.
  bool failCreateMutex = false;
  bool failCreateMapping = false;
  bool failMap = false;
  bool failInboxRead = false;  // the next Mailslot::Read of any inbox
  // So many of the next questions to any inbox (Next, or the one a Read asks
  // first) fail; counts down.
  int failInboxQueries = 0;
  // How often a process asked for a mailslot, whether it got one or not.
  int mailslotRequests = 0;
  // The timeout of the latest NamedMutex::Wait of any process, -1 before any.
  std::int64_t lastWaitTimeout = -1;

  // What a test may look at.
  bool HasMutex(const std::string& name) const { return Find(mutexes_, name) != nullptr; }
  bool HasMapping(const std::string& name) const { return Find(mappings_, name) != nullptr; }
  bool HasMailslot(const std::string& name) const { return mailslots_.count(name) != 0; }
  // The pid owning the named mutex; 0 when free or missing.
  std::uint32_t MutexOwner(const std::string& name) const {
    const auto m = Find(mutexes_, name);
    return m ? m->owner : 0;
  }

 private:
  friend class FakeProcess;
  using MutexObject = fake_kernel_detail::MutexObject;
  using MappingObject = fake_kernel_detail::MappingObject;
  using MailslotObject = fake_kernel_detail::MailslotObject;

  template <class Object>
  static std::shared_ptr<Object> Find(const std::map<std::string, std::weak_ptr<Object>>& names,
                                      const std::string& name) {
    const auto it = names.find(name);
    return it == names.end() ? nullptr : it->second.lock();
  }

  std::uint32_t nextPid_ = 1000;
  // Mutexes and mappings share one namespace; an entry whose object is gone is a free name.
  std::map<std::string, std::weak_ptr<MutexObject>> mutexes_;
  std::map<std::string, std::weak_ptr<MappingObject>> mappings_;
  std::map<std::string, std::shared_ptr<MailslotObject>> mailslots_;
};

class FakeProcess final : public gorvane::ipc::Kernel {
  std::shared_ptr<fake_kernel_detail::ProcessState> state_;  // first: the settings below refer into it

 public:
  explicit FakeProcess(FakeWorld* world, std::uint32_t pid)
      : state_(std::make_shared<fake_kernel_detail::ProcessState>()),
        userName(state_->userName),
        granularity(state_->granularity),
        failUserName(state_->failUserName) {
    state_->world = world;
    state_->pid = pid;
  }
  ~FakeProcess() override { Die(); }
  FakeProcess(const FakeProcess&) = delete;
  FakeProcess& operator=(const FakeProcess&) = delete;

  // Settable at any time.
  std::string& userName;       // Shift-JIS, "tester" unless set
  std::uint32_t& granularity;  // 65536 unless set
  bool& failUserName;          // UserName fails while set

  std::uint32_t pid() const { return state_->pid; }
  bool alive() const { return state_->alive; }

  // The process ends: the mutexes it owns are abandoned, its handles and
  // views closed, its mailslots removed.
  void Die() {
    if (!state_->alive) return;
    state_->alive = false;
    for (auto& [name, weak] : world().mutexes_) {
      if (const auto m = weak.lock(); m && m->owner == state_->pid) *m = {0, 0, true};
    }
    const std::set<fake_kernel_detail::Handle*> handles = std::move(state_->handles);
    state_->handles.clear();
    for (auto* h : handles) h->Close();
  }

  std::unique_ptr<gorvane::ipc::NamedMutex> CreateMutex(const std::string& name, bool initialOwner,
                                                        gorvane::ipc::Created* created) override {
    if (created != nullptr) created->existed = false;
    if (!alive() || std::exchange(world().failCreateMutex, false) || world().HasMapping(name)) return nullptr;
    auto m = FakeWorld::Find(world().mutexes_, name);
    if (m) {
      if (created != nullptr) created->existed = true;
    } else {
      m = std::make_shared<FakeWorld::MutexObject>();
      if (initialOwner) *m = {state_->pid, 1, false};
      world().mutexes_[name] = m;
    }
    return std::make_unique<fake_kernel_detail::FakeMutex>(state_, m, state_->world);
  }
  std::unique_ptr<gorvane::ipc::NamedMutex> OpenMutex(const std::string& name) override {
    auto m = FakeWorld::Find(world().mutexes_, name);
    if (!alive() || !m) return nullptr;
    return std::make_unique<fake_kernel_detail::FakeMutex>(state_, m, state_->world);
  }

  std::unique_ptr<gorvane::ipc::SharedMapping> CreateMapping(const std::string& name, std::uint64_t size,
                                                             gorvane::ipc::Created* created) override {
    if (created != nullptr) created->existed = false;
    if (!alive() || std::exchange(world().failCreateMapping, false) || world().HasMutex(name)) return nullptr;
    auto m = FakeWorld::Find(world().mappings_, name);
    if (m) {
      if (created != nullptr) created->existed = true;
    } else {
      if (size == 0) return nullptr;
      m = std::make_shared<FakeWorld::MappingObject>();
      m->data.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size), 1)));
      if (!m->data) return nullptr;
      m->size = static_cast<std::size_t>(size);
      world().mappings_[name] = m;
    }
    return std::make_unique<fake_kernel_detail::FakeMapping>(state_, m, &world().failMap);
  }
  std::unique_ptr<gorvane::ipc::SharedMapping> OpenMapping(const std::string& name) override {
    auto m = FakeWorld::Find(world().mappings_, name);
    if (!alive() || !m) return nullptr;
    return std::make_unique<fake_kernel_detail::FakeMapping>(state_, m, &world().failMap);
  }

  std::unique_ptr<gorvane::ipc::Mailslot> CreateMailslot(const std::string& name, std::uint32_t maxMessage) override {
    ++world().mailslotRequests;
    if (!alive() || world().HasMailslot(name)) return nullptr;
    auto slot = std::make_shared<FakeWorld::MailslotObject>();
    slot->maxMessage = maxMessage;
    world().mailslots_[name] = slot;
    return std::make_unique<fake_kernel_detail::FakeMailslot>(state_, slot, name, &world().mailslots_,
                                                              &world().failInboxQueries, &world().failInboxRead);
  }
  bool WriteMailslot(const std::string& name, std::span<const std::uint8_t> message) override {
    const auto it = world().mailslots_.find(name);
    if (!alive() || it == world().mailslots_.end()) return false;
    if (it->second->maxMessage != 0 && message.size() > it->second->maxMessage) return false;
    it->second->messages.emplace_back(message.begin(), message.end());
    return true;
  }
  bool MailslotExists(const std::string& name) override { return alive() && world().HasMailslot(name); }

  std::uint32_t AllocationGranularity() override { return state_->granularity; }
  bool UserName(std::string* name) override {
    if (!alive() || state_->failUserName) return false;
    *name = state_->userName;
    return true;
  }
  std::uint32_t ProcessId() override { return state_->pid; }
  std::string LastErrorText() override { return errorText; }
  std::string errorText = "simulated failure";  // Shift-JIS, as the system's texts are handed on

 private:
  FakeWorld& world() const { return *state_->world; }
};

inline std::unique_ptr<FakeProcess> FakeWorld::NewProcess() { return std::make_unique<FakeProcess>(this, nextPid_++); }

inline void FakeWorld::Kill(FakeProcess& process) { process.Die(); }

inline gorvane::ipc::WaitResult fake_kernel_detail::FakeMutex::Wait(std::uint32_t timeoutMs) {
  world_->lastWaitTimeout = timeoutMs;
  if (!object_) return ipc::WaitResult::Failed;
  MutexObject& m = *object_;
  if (m.owner == process_->pid) {
    ++m.count;
    return ipc::WaitResult::Acquired;
  }
  if (m.owner != 0) return ipc::WaitResult::TimedOut;  // only a live process owns a lock
  const bool abandoned = std::exchange(m.abandoned, false);
  m.owner = process_->pid;
  m.count = 1;
  return abandoned ? ipc::WaitResult::Abandoned : ipc::WaitResult::Acquired;
}

// The messages waiting in a mailslot, in order, without the "@TEST@" probes
// a messenger sends before its messages.
inline std::vector<std::string> MessagesIn(gorvane::ipc::Mailslot* inbox) {
  std::vector<std::string> out;
  std::vector<std::uint8_t> buf(70000);
  const std::string probe("@TEST@", 7);  // with its NUL
  while (inbox != nullptr && inbox->Next().waiting()) {
    const auto n = inbox->Read(buf);
    std::string m(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
    if (m != probe) out.push_back(std::move(m));
  }
  return out;
}

}  // namespace gvtest

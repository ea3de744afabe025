#include "inbox_checks.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "companions/vantrel/vantrel_model.h"
#include "companions/vantrel/vantrel_session.h"
#include "ipc/bookmark_link.h"
#include "ipc/editor_protocol.h"
#include "ipc/instance_group.h"
#include "ipc/messages.h"
#include "ipc/messenger.h"
#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace gorvane::fuzz {
namespace {

constexpr int kPartner = 2;      // an editor that only listens: answers come to it
constexpr int kInfoWindow = 5;   // the Vantrel under test
constexpr int kDrainPolls = 100000;
constexpr int kLargeMessages = 12;  // per script

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
std::string Z(std::string_view s) {
  std::string out(s);
  out.push_back('\0');
  return out;
}

// The editor's kernel, noting every message it writes into the info
// window's inbox (in the order of all writes there).
class NotingKernel final : public ipc::Kernel {
 public:
  NotingKernel(ipc::Kernel& inner, std::string watched, std::vector<std::string>* noted)
      : inner_(inner), watched_(std::move(watched)), noted_(noted) {}
  std::unique_ptr<ipc::NamedMutex> CreateMutex(const std::string& n, bool owner, ipc::Created* c) override {
    return inner_.CreateMutex(n, owner, c);
  }
  std::unique_ptr<ipc::NamedMutex> OpenMutex(const std::string& n) override { return inner_.OpenMutex(n); }
  std::unique_ptr<ipc::SharedMapping> CreateMapping(const std::string& n, std::uint64_t size,
                                                    ipc::Created* c) override {
    return inner_.CreateMapping(n, size, c);
  }
  std::unique_ptr<ipc::SharedMapping> OpenMapping(const std::string& n) override { return inner_.OpenMapping(n); }
  std::unique_ptr<ipc::Mailslot> CreateMailslot(const std::string& n, std::uint32_t max) override {
    return inner_.CreateMailslot(n, max);
  }
  bool WriteMailslot(const std::string& n, std::span<const std::uint8_t> m) override {
    const bool ok = inner_.WriteMailslot(n, m);
    if (ok && n == watched_) noted_->emplace_back(reinterpret_cast<const char*>(m.data()), m.size());
    return ok;
  }
  bool MailslotExists(const std::string& n) override { return inner_.MailslotExists(n); }
  std::uint32_t AllocationGranularity() override { return inner_.AllocationGranularity(); }
  bool UserName(std::string* name) override { return inner_.UserName(name); }
  std::uint32_t ProcessId() override { return inner_.ProcessId(); }
  std::string LastErrorText() override { return inner_.LastErrorText(); }

 private:
  ipc::Kernel& inner_;
  std::string watched_;
  std::vector<std::string>* noted_;
};

// Attaching always works; nothing to bring forward.
struct Activator final : ipc::WindowActivator {
  std::uint32_t ThreadId() override { return 9; }
  bool AttachTo(std::uint32_t) override { return true; }
  void Detach() override {}
  void BringToFront() override {}
};

// The requests a script can pick (step 3).
std::vector<std::string> Requests() {
  ipc::TagJump jump;
  jump.line = 5;
  jump.column = 1;
  jump.length = 2;
  jump.threadId = 9;
  jump.infoWindow = kInfoWindow;
  jump.text = "text with blanks";
  return {Z("@SAVE@"),
          Z("@CLOSED@ 0"),
          Z("@CLOSED@ 3"),
          Z("@AUTOSAVE@ 2"),
          Z("@AUTOSAVE@ 1"),
          Z("@TIDINST@ 2 9"),
          Z("@INSTACTIVE@ 9 2"),
          *ipc::BuildActiveToEditor(jump),
          Z("@EXECMJRET@ 3 9 5"),
          Z("@TID@ 0 9"),
          Z("@TIDSETOK@"),
          Z("@ACTIVEOK@"),
          Z("@TEST@"),
          Z("@ACTIVE@ 2 777"),
          Z("@ACTIVE@ 1 777"),
          Z("@ADDFILEITEM@ 1 2 \"C:\\a.txt\" \"\""),
          Z("@DISPCOMPILE@"),
          Z("@COMPILEEND@"),
          Z("@SCHFILE@ 0 C:\\a.txt"),
          Z("@SCHLINE@ 0001000000010003 (3): foo\r\n"),
          "@SEARCHEND@ 1",
          Z("@PROJECTSCH@ 2")};
}

// What lasts from one script to the next: the processes and the editor's
// group (joining it is the slow part); each script gets a fresh messenger
// with the editor's handlers, a fresh info window and empty inboxes.
struct Stage {
  Stage()
      : editorProcess(world.NewProcess()),
        writer(world.NewProcess()),
        partnerProcess(world.NewProcess()),
        infoProcess(world.NewProcess()),
        names("tester"),
        editorKernel(*editorProcess, names.InfoWindowInbox(kInfoWindow), &toInfoWindow),
        group(editorKernel, host) {
    ipc::JoinRequest request;
    request.path = "C:\\a.txt";
    request.infoWindow = 0;
    joined = group.Join(request).code != 0 && group.instance() == 1;
    group.TakeInbox();  // each script makes the editor's inbox anew
    partner = partnerProcess->CreateMailslot(names.EditorInbox(kPartner), 0);
  }
  gvtest::FakeWorld world;
  std::unique_ptr<gvtest::FakeProcess> editorProcess, writer, partnerProcess, infoProcess;
  ipc::ObjectNames names;
  std::vector<std::string> toInfoWindow;  // everything written into the info window's inbox, in order
  NotingKernel editorKernel;
  gvtest::FakeHost host;
  ipc::InstanceGroup group;
  std::unique_ptr<ipc::Mailslot> partner;
  bool joined = false;
};

Stage& TheStage() {
  static Stage stage;
  return stage;
}

class Script {
 public:
  explicit Script(Stage& stage)
      : stage_(stage),
        world_(stage.world),
        names_(stage.names),
        host_(stage.host),
        toInfoWindow_(stage.toInfoWindow),
        messenger_(stage.editorKernel, stage.host, stage.group, [this] { return now_; }),
        model_(vantrel::ModelConfig{kInfoWindow, "tester", 77, "C:\\Tools\\"}),
        session_(*stage.infoProcess, model_) {
    world_.failInboxQueries = 0;
    world_.failInboxRead = false;
    host_.boxes.clear();
    toInfoWindow_.clear();
  }

  std::string Run(const std::uint8_t* data, std::size_t size) {
    if (std::string fault = SetUp(); !fault.empty()) return fault;
    const std::vector<std::string> requests = Requests();
    std::size_t i = 0;
    auto byte = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
    while (i < size) {
      switch (byte() & 7) {
        case 0:
          Write("");
          break;
        case 1: {
          const std::size_t n = std::min<std::size_t>(byte(), size - i);
          Write(std::string(reinterpret_cast<const char*>(data + i), n));
          i += n;
          break;
        }
        case 2: {
          std::size_t length = 15860 + (std::size_t{byte()} | std::size_t{byte()} << 8);
          if (++large_ > kLargeMessages) length %= 64;  // a few large ones are as good as many
          const std::size_t n = std::min<std::size_t>(byte() % 16 + 1, size - i);
          const std::string pattern = n == 0 ? std::string("@") : std::string(reinterpret_cast<const char*>(data + i), n);
          i += n;
          std::string m;
          while (m.size() < length) m.append(pattern);
          m.resize(length);
          Write(m);
          break;
        }
        case 3:
          Write(requests[byte() % requests.size()]);
          break;
        case 4:
          world_.failInboxQueries = byte() % 4;
          break;
        case 5:
          world_.failInboxRead = true;
          break;
        case 6:
          if (std::string fault = PollBoth(byte() + 1); !fault.empty()) return fault;
          break;
        default:
          now_ += std::uint64_t{byte()} * 50;
          messenger_.Tick();
          break;
      }
      if (!fault_.empty()) return fault_;
    }
    return Finish();
  }

 private:
  std::string SetUp() {
    if (!stage_.joined || !stage_.partner) return "the editor could not join";
    if (!messenger_.TakeInbox(stage_.editorProcess->CreateMailslot(names_.EditorInbox(1), 0)) || !session_.Open())
      return "no inboxes";
    Drain(*stage_.partner);
    session_.SetLog([this](std::string_view record) { log_.append(record); });
    ipc::EditorCallbacks cb;
    cb.startingUp = [] { return false; };
    cb.jumpTo = [this](const ipc::TagJump&) { Acted("a jump"); };
    cb.jumpToMark = [this](int) { Acted("a mark jump"); };
    cb.saveQuietly = [this] {
      Acted("an autosave");
      return true;
    };
    cb.saveRequested = [this] {
      Acted("a save");
      ++saves_;
    };
    cb.closeRequested = [this](int) {
      Acted("a close");
      ++closes_;
      messenger_.StopDispatching();  // as the window's destruction does
    };
    protocol_ = std::make_unique<ipc::EditorProtocol>(messenger_, stage_.group, activator_, cb, 3000);
    marks_ = std::make_unique<ipc::BookmarkLink>(messenger_, stage_.group, 3000);
    marks_->onMarkDeleted = [this](std::uint8_t) { Acted("a bookmark delete"); };
    return "";
  }

  void Acted(const char* what) {
    if (messenger_.stopped() && fault_.empty()) fault_ = std::string(what) + " after the editor closed";
  }

  // Into both inboxes; what the editor will make of it is noted.
  void Write(const std::string& m) {
    if (!stage_.writer->WriteMailslot(names_.EditorInbox(1), Bytes(m)) ||
        !stage_.writer->WriteMailslot(names_.InfoWindowInbox(kInfoWindow), Bytes(m))) {
      fault_ = "an inbox refused a message";
      return;
    }
    toInfoWindow_.push_back(m);
    if (closing_) return;
    const auto p = ipc::ParseForEditor(Bytes(m));
    if (p && p->id == ipc::MessageId::kSave) ++expectedSaves_;
    if (p && p->id == ipc::MessageId::kClosedToEditor) closing_ = true;
  }

  std::string PollBoth(int limit) {
    const std::uint64_t before = messenger_.delivered() + messenger_.dropped();
    const ipc::PollResult r = messenger_.Poll(limit);
    const std::uint64_t read = messenger_.delivered() + messenger_.dropped() - before;
    if (read > static_cast<std::uint64_t>(limit)) return "the editor read more than its limit";
    if (r == ipc::PollResult::kStopped && closes_ == 0) return "the editor stopped polling without closing";
    if (r == ipc::PollResult::kMore && read != static_cast<std::uint64_t>(limit))
      return "the editor stopped short of its limit with more waiting";
    const int got = session_.Poll({}, limit);
    if (got > limit) return "the info window read more than its limit";
    return "";
  }

  std::string Finish() {
    world_.failInboxQueries = 0;
    world_.failInboxRead = false;
    // The info window reads everything, in order (what it answers the
    // editor is read by the editor next).
    for (int n = 0, got = 1; n < kDrainPolls && got != 0; ++n) got = session_.Poll({});
    std::vector<std::string> logged;
    if (!vantrel::ReadLog(log_, &logged)) return "the info window's log is broken";
    if (logged != toInfoWindow_) return "the info window read otherwise than written";
    if (model_.counters().received != toInfoWindow_.size()) return "the info window's count is off";
    // The editor reads everything (unless it closed).
    ipc::PollResult r = ipc::PollResult::kMore;
    for (int n = 0; n < kDrainPolls && (r == ipc::PollResult::kMore || r == ipc::PollResult::kFailed); ++n)
      r = messenger_.Poll();
    if (!fault_.empty()) return fault_;
    if (r != ipc::PollResult::kIdle && r != ipc::PollResult::kStopped) return "the editor's inbox did not drain";
    if ((r == ipc::PollResult::kStopped) != closing_) return "the editor closed without a valid close request";
    if (saves_ != expectedSaves_) return "the editor saved otherwise than asked";
    if (closes_ != (closing_ ? 1 : 0)) return "the editor closed otherwise than asked";
    const auto told = std::count_if(host_.boxes.begin(), host_.boxes.end(),
                                    [this](const gvtest::FakeHost::Box& b) { return b.text == stage_.editorProcess->errorText; });
    if (told != (messenger_.failures() > 0 ? 1 : 0)) return "a failing inbox told otherwise than once";

    // Both still answer.
    Drain(*stage_.partner);
    if (!closing_) {
      if (!stage_.writer->WriteMailslot(names_.EditorInbox(1), Bytes(Z("@AUTOSAVE@ 2")))) return "the editor's inbox is gone";
      if (messenger_.Poll() != ipc::PollResult::kIdle) return "the editor's inbox failed at the end";
      if (Drain(*stage_.partner) != std::vector<std::string>{Z("@TEST@"), Z("@ANSAUTOSAVE@ 1")})
        return "the editor did not answer after the script";
    }
    if (!stage_.writer->WriteMailslot(names_.InfoWindowInbox(kInfoWindow), Bytes(Z("@PROJECTSCH@ 2"))))
      return "the info window's inbox is gone";
    if (session_.Poll({}) != 1) return "the info window did not read the last request";
    if (Drain(*stage_.partner) != std::vector<std::string>{Z("@PROJSCHEND@")})
      return "the info window did not answer after the script";
    return "";
  }

  static std::vector<std::string> Drain(ipc::Mailslot& inbox) {
    std::vector<std::string> out;
    std::vector<std::uint8_t> buffer;
    for (ipc::NextMessage next = inbox.Next(); next.waiting(); next = inbox.Next()) {
      buffer.resize(next.size);
      const std::int64_t n = inbox.Read(buffer);
      if (n < 0) break;
      out.emplace_back(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
    }
    return out;
  }

  Stage& stage_;
  gvtest::FakeWorld& world_;
  const ipc::ObjectNames& names_;
  gvtest::FakeHost& host_;
  std::vector<std::string>& toInfoWindow_;
  std::uint64_t now_ = 1000;
  ipc::Messenger messenger_;
  Activator activator_;
  std::unique_ptr<ipc::EditorProtocol> protocol_;
  std::unique_ptr<ipc::BookmarkLink> marks_;
  vantrel::VantrelModel model_;
  vantrel::VantrelSession session_;
  std::string log_, fault_;
  int saves_ = 0, closes_ = 0, expectedSaves_ = 0, large_ = 0;
  bool closing_ = false;
};

}  // namespace

std::string CheckInboxes(const std::uint8_t* data, std::size_t size) {
  Script script(TheStage());
  return script.Run(data, size);
}

}  // namespace gorvane::fuzz

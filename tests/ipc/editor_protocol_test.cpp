// The editor's conversations, between simulated editors and a scripted info
// window.
#include "ipc/editor_protocol.h"

#include "ipc/document_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace ipc = gorvane::ipc;

namespace {

// Attaching succeeds or not as scripted; what happened is recorded.
struct ScriptedActivator : ipc::WindowActivator {
  std::uint32_t thread = 0;
  bool attachWorks = true;
  std::vector<std::string> events;
  std::uint32_t ThreadId() override { return thread; }
  bool AttachTo(std::uint32_t t) override {
    events.push_back("attach " + std::to_string(t));
    return attachWorks;
  }
  void Detach() override { events.push_back("detach"); }
  void BringToFront() override { events.push_back("front"); }
};

struct Editor {
  Editor(gvtest::FakeWorld& world, std::uint64_t* clock, const std::string& path, std::uint32_t thread,
         int infoWindow = 0)
      : process(world.NewProcess()), group(*process, host), messenger(*process, host, group, [clock] { return *clock; }) {
    activator.thread = thread;
    ipc::JoinRequest r;
    r.path = path;
    r.infoWindow = infoWindow;
    group.Join(r);
    messenger.TakeInbox(group.TakeInbox());
    ipc::EditorCallbacks cb;
    cb.startingUp = [this] { return starting; };
    cb.jumpTo = [this](const ipc::TagJump& j) { jumps.push_back(j); };
    cb.jumpToMark = [this](int mark) { marks.push_back(mark); };
    cb.saveQuietly = [this] { return saveWorks; };
    cb.closeRequested = [this](int mode) {
      closeModes.push_back(mode);
      if (closesOnRequest) messenger.StopDispatching();  // as the window's destruction does
    };
    cb.saveRequested = [this] { ++saveRequests; };
    cb.saveInCode = [this](int code, int lineEnd) {
      codeSaves.push_back({code, lineEnd});
      return saveWorks;
    };
    protocol = std::make_unique<ipc::EditorProtocol>(messenger, group, activator, cb, 3000);
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  gvtest::FakeHost host;
  ipc::InstanceGroup group;
  ipc::Messenger messenger;
  ScriptedActivator activator;
  std::unique_ptr<ipc::EditorProtocol> protocol;
  bool starting = false, saveWorks = true, deaf = false, closesOnRequest = false;
  std::vector<ipc::TagJump> jumps;
  std::vector<int> marks, closeModes;
  int saveRequests = 0;
  std::vector<std::pair<int, int>> codeSaves;
};

struct InfoWindow {
  InfoWindow(gvtest::FakeWorld& world, int n) : process(world.NewProcess()), number(n) {
    inbox = process->CreateMailslot(ipc::ObjectNames("tester").InfoWindowInbox(n), 0);
  }
  void Send(int instance, const std::string& message) {
    process->WriteMailslot(ipc::ObjectNames("tester").EditorInbox(instance),
                           std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(message.data()),
                                                         message.size()));
  }
  // What arrived, "@TEST@" probes left out.
  std::vector<std::string> Received() {
    std::vector<std::string> out;
    std::vector<std::uint8_t> buf(70000);
    while (inbox->Next().waiting()) {
      const auto n = inbox->Read(buf);
      std::string m(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
      if (m != std::string("@TEST@", 7)) out.push_back(m);
    }
    return out;
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  int number;
  std::unique_ptr<ipc::Mailslot> inbox;
};

std::string Z(const std::string& s) { return s + std::string(1, '\0'); }

class EditorProtocolTest : public ::testing::Test {
 protected:
  Editor& Start(const std::string& path, std::uint32_t thread, int infoWindow = 0) {
    return *editors.emplace_back(std::make_unique<Editor>(world, &now, path, thread, infoWindow));
  }
  void Run(int rounds = 3) {
    for (int i = 0; i < rounds; ++i)
      for (auto& e : editors) {
        if (!e->deaf) e->messenger.Poll();
        e->messenger.Tick();
      }
  }
  gvtest::FakeWorld world;
  std::uint64_t now = 0;
  std::vector<std::unique_ptr<Editor>> editors;
};

// A tag jump from the info window: the editor comes forward, jumps and
// answers; while starting up it only answers.
TEST_F(EditorProtocolTest, TagJumpFromTheInfoWindow) {
  InfoWindow info(world, 0);
  Editor& a = Start("C:\\a.txt", 11);
  ipc::TagJump jump;
  jump.line = 120;
  jump.column = 5;
  jump.length = 3;
  jump.threadId = 77;
  jump.infoWindow = 0;
  jump.text = "abc def";
  info.Send(1, *ipc::BuildActiveToEditor(jump));
  Run();
  ASSERT_EQ(a.jumps.size(), 1u);
  EXPECT_EQ(a.jumps[0].line, 120);
  EXPECT_EQ(a.jumps[0].text, "abc def");
  EXPECT_EQ(a.activator.events, (std::vector<std::string>{"attach 77", "front", "detach"}));
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@ACTIVEOK@ 1")});

  a.starting = true;
  info.Send(1, *ipc::BuildActiveToEditor(jump));
  Run();
  EXPECT_EQ(a.jumps.size(), 1u);  // the caret does not move
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@ACTIVEOK@ 1")});
}

// When attaching fails, the partner is asked to attach; its "@TIDSETOK@"
// completes the activation, and without it the requester still gets its
// answer after the time limit.
TEST_F(EditorProtocolTest, TheHandshakeWhenAttachingFails) {
  InfoWindow info(world, 0);
  Editor& a = Start("C:\\a.txt", 11);
  a.activator.attachWorks = false;
  info.Send(1, *ipc::BuildExecMarkJump(4, 77, 0));
  Run();
  EXPECT_TRUE(a.protocol->waitingForAttach());
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@TID@ 0 11")});
  info.Send(1, ipc::BuildTidSetOkToEditor());
  Run();
  EXPECT_FALSE(a.protocol->waitingForAttach());
  EXPECT_EQ(a.marks, std::vector<int>{4});
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@ACTIVEOK@ 1")});

  info.Send(1, *ipc::BuildExecMarkJump(5, 77, 0));
  Run();
  EXPECT_TRUE(a.protocol->waitingForAttach());
  info.Received();
  now += 3000;
  Run();
  EXPECT_FALSE(a.protocol->waitingForAttach());
  EXPECT_EQ(a.marks, std::vector<int>{4});
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@ACTIVEOK@ 1")});
}

// A second start of an open file asks its editor forward; the handshake
// between two editors, with the partner attaching when we cannot.
TEST_F(EditorProtocolTest, AForwarderBringsTheOwnerForward) {
  Editor& owner = Start("C:\\a.txt", 11);
  Editor& forwarder = Start("C:\\x.txt", 22);
  owner.activator.attachWorks = false;
  bool answered = false, called = false;
  ASSERT_TRUE(forwarder.protocol->AskEditorForward(1, [&](bool a) {
    called = true;
    answered = a;
  }));
  Run(4);
  EXPECT_TRUE(called);
  EXPECT_TRUE(answered);
  EXPECT_EQ(owner.activator.events, (std::vector<std::string>{"attach 22", "front", "detach"}));
  EXPECT_EQ(forwarder.activator.events, (std::vector<std::string>{"attach 11"}));

  // An owner that never answers: the wait ends.
  called = false;
  world.Kill(*owner.process);
  EXPECT_FALSE(forwarder.protocol->AskEditorForward(1, [&](bool a) {
    called = true;
    answered = a;
  }));
  EXPECT_TRUE(called);
  EXPECT_FALSE(answered);
}

TEST_F(EditorProtocolTest, TheAutosaveRound) {
  Editor& a = Start("C:\\a.txt", 11, 0);
  Editor& b = Start("C:\\b.txt", 12, 0);
  Editor& c = Start("C:\\c.txt", 13, 0);
  Start("C:\\d.txt", 14, 1);  // another info window: not asked
  c.saveWorks = false;
  int asked = -1;
  bool allSaved = true;
  EXPECT_EQ(a.protocol->StartAutosave([&](bool ok, int n) {
    allSaved = ok;
    asked = n;
  }),
            2);
  Run();
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(allSaved);

  c.saveWorks = true;
  asked = -1;
  a.protocol->StartAutosave([&](bool ok, int n) {
    allSaved = ok;
    asked = n;
  });
  Run();
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(allSaved);

  // An editor that never answers: the round ends after the time limit.
  c.deaf = true;
  asked = -1;
  a.protocol->StartAutosave([&](bool ok, int n) {
    allSaved = ok;
    asked = n;
  });
  Run();
  EXPECT_EQ(asked, -1);
  now += 3000;
  Run();
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(allSaved);
  // One that is gone is not asked at all.
  world.Kill(*c.process);
  a.protocol->StartAutosave([&](bool ok, int n) {
    allSaved = ok;
    asked = n;
  });
  Run();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(allSaved);
  (void)b;
}

// Requests to the info window wait for its answer, but not for ever.
TEST_F(EditorProtocolTest, AnswersFromTheInfoWindowOrTheTimeLimit) {
  InfoWindow info(world, 0);
  Editor& a = Start("C:\\a.txt", 11);
  int answered = -2;
  ASSERT_TRUE(a.protocol->AskInfoWindowForward([&](bool ok) { answered = ok; }));
  EXPECT_TRUE(a.protocol->activationPending());
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@ACTIVE@ 1 11")});
  info.Send(1, ipc::BuildActiveOkToEditor());
  Run();
  EXPECT_EQ(answered, 1);
  EXPECT_FALSE(a.protocol->activationPending());

  int number = -2;
  ASSERT_TRUE(a.protocol->AddFileToInfoWindow(1, "C:\\a.txt", "", [&](int n) { number = n; }));
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@ADDFILEITEM@ 1 1 \"C:\\a.txt\" \"\"")});
  info.Send(1, *ipc::BuildAddFileItemReturn(7));
  Run();
  EXPECT_EQ(number, 7);

  // No answer: both waits end.
  answered = number = -2;
  a.protocol->AskInfoWindowForward([&](bool ok) { answered = ok; });
  a.protocol->AddFileToInfoWindow(1, "C:\\a.txt", "", [&](int n) { number = n; });
  now += 3000;
  Run();
  EXPECT_EQ(answered, 0);
  EXPECT_EQ(number, -1);
  EXPECT_FALSE(a.protocol->activationPending());
}

// Close requests with a mode outside 0..3 are never acted on.
TEST_F(EditorProtocolTest, CloseAndSaveRequests) {
  InfoWindow info(world, 0);
  Editor& a = Start("C:\\a.txt", 11);
  for (const char* m : {"@CLOSED@ 1", "@CLOSED@ -1", "@CLOSED@ 4", "@CLOSED@", "@CLOSED@ 2 x", "@CLOSED@ 3", "@SAVE@"})
    info.Send(1, Z(m));
  Run();
  EXPECT_EQ(a.closeModes, (std::vector<int>{1, 3}));
  EXPECT_EQ(a.saveRequests, 1);
  EXPECT_EQ(a.protocol->malformed(), 4u);
}

// What the info window hears of saves: the project-options check, and
// after Save As the new name with the mark-jump mapping, or the request to
// add the file to its list (the frame waits for the answer).
TEST_F(EditorProtocolTest, TheInfoWindowHearsOfSaves) {
  InfoWindow info(world, 0);
  Editor& a = Start("C:\\a.txt", 11);
  ASSERT_TRUE(a.messenger.OpenInfoWindow());
  info.Received();
  ipc::DocumentLink link(*a.process, a.group, a.messenger, a.host);
  link.SetProtocol(a.protocol.get());
  link.SetFileNumber(3);
  std::vector<std::string> frame;
  int answerValue = 1, sleeps = 0;
  const std::string mapping = ipc::ObjectNames::MarkJumpFile("C:\\new.txt");
  link.SetHooks({[&](bool enabled) { frame.push_back(enabled ? "enabled" : "disabled"); },
                 [&] { frame.push_back("closed"); },
                 [&](std::uint32_t ms) {
                   EXPECT_EQ(ms, 100u);
                   // The info window answers on its second look.
                   if (++sleeps == 2 && answerValue != 0)
                     if (auto m = info.process->OpenMapping(mapping))
                       if (auto v = m->Map(0, 1)) v->bytes()[0] = static_cast<std::uint8_t>(answerValue);
                 }});

  EXPECT_TRUE(link.connectedToInfoWindow());
  EXPECT_TRUE(link.CheckProjectOptions(4, "C:\\a.txt"));
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@CHECKPROJOPT@ 4 1 C:\\a.txt")});

  // Renamed without adding: the mapping is filled (kept unless the answer is 2).
  struct Mark {
    int answer;
    bool kept;
    int sleeps;
  } marks[] = {{1, true, 2}, {2, false, 2}, {0, false, 31}};
  for (const Mark& m : marks) {
    answerValue = m.answer;
    sleeps = 0;
    link.FileRenamed(4, "C:\\new.txt", false);
    EXPECT_EQ(info.Received(), (std::vector<std::string>{Z("@MJMMFILE@ 3 C:\\new.txt"),
                                                         Z("@CHANGEEDITFILE@ 4 3 C:\\new.txt")}));
    EXPECT_EQ(link.holdsMarkJumpFile(), m.kept) << m.answer;
    EXPECT_EQ(sleeps, m.sleeps) << m.answer;
  }
  EXPECT_TRUE(frame.empty());

  // Renamed and added: the answer gives the file its number.
  link.FileRenamed(4, "C:\\new.txt", true);
  EXPECT_EQ(info.Received(), (std::vector<std::string>{Z("@CHANGEEDITFILE@ 4 3 C:\\new.txt"),
                                                       Z("@ADDFILEITEM@ 4 1 \"C:\\new.txt\" \"\"")}));
  EXPECT_TRUE(link.adding());
  EXPECT_EQ(frame, std::vector<std::string>{"disabled"});
  info.Send(1, *ipc::BuildAddFileItemReturn(9));
  Run();
  EXPECT_EQ(link.fileNumber(), 9);
  EXPECT_FALSE(link.adding());
  EXPECT_EQ(frame, (std::vector<std::string>{"disabled", "enabled"}));

  // No answer in time: the frame comes back, nothing else changes.
  frame.clear();
  link.FileRenamed(4, "C:\\new.txt", true);
  now += 3000;
  Run();
  EXPECT_EQ(frame, (std::vector<std::string>{"disabled", "enabled"}));
  EXPECT_EQ(link.fileNumber(), 9);
  EXPECT_TRUE(a.host.boxes.empty());

  // Refused: the user is told and the editor closes.
  frame.clear();
  info.Received();
  link.FileRenamed(4, "C:\\new.txt", true);
  info.Send(1, *ipc::BuildAddFileItemReturn(0));
  Run();
  EXPECT_EQ(frame, (std::vector<std::string>{"disabled", "enabled", "closed"}));
  ASSERT_EQ(a.host.boxes.size(), 1u);
  EXPECT_EQ(a.host.boxes[0].text, "情報ウィンドウのファイル一覧に登録できませんでした。\nエディタを終了します。");

  // The info window gone: the check cannot be sent.
  info.inbox.reset();
  EXPECT_FALSE(link.CheckProjectOptions(4, "C:\\a.txt"));
}

// A save asked for by another editor waits for the group lock; one that does
// not come in time is answered as not saved, and a lock this editor held
// already stays held.
TEST_F(EditorProtocolTest, AutosaveTakesTurnsWithTheGroup) {
  Editor& a = Start("C:\\a.txt", 11, 0);
  Editor& b = Start("C:\\b.txt", 12, 0);
  int saves = 0;
  b.saveWorks = true;
  bool allSaved = false;
  ASSERT_TRUE(a.group.LockGroup(false));  // a works on its document
  a.protocol->StartAutosave([&](bool ok, int) {
    allSaved = ok;
    ++saves;
  });
  Run();
  EXPECT_EQ(saves, 1);
  EXPECT_FALSE(allSaved);
  a.group.UnlockGroup();

  ASSERT_TRUE(b.group.LockGroup(false));
  a.protocol->StartAutosave([&](bool ok, int) { allSaved = ok; });
  Run();
  EXPECT_TRUE(allSaved);
  EXPECT_TRUE(b.group.groupLockHeld());
}

// "@BULKCRLF@": the file saved in the code and line end asked for, and the
// result to the info window that asked (which need not be this editor's).
TEST_F(EditorProtocolTest, SaveInAnotherCodeOnRequest) {
  InfoWindow own(world, 0), other(world, 5);
  Editor& a = Start("C:\\a.txt", 11);
  own.Send(1, *ipc::BuildBulkCrlf(5, 4, 3));
  Run();
  EXPECT_EQ(a.codeSaves, (std::vector<std::pair<int, int>>{{4, 3}}));
  EXPECT_EQ(other.Received(), std::vector<std::string>{Z("@BULKCRLFRETURN@ 1")});
  a.saveWorks = false;
  own.Send(1, *ipc::BuildBulkCrlf(0, 6, 1));
  own.Send(1, Z("@BULKCRLF@ 0 9 1"));  // no such code: not acted on
  Run();
  EXPECT_EQ(a.codeSaves.size(), 2u);
  EXPECT_EQ(own.Received(), std::vector<std::string>{Z("@BULKCRLFRETURN@ 0")});
}

// A close request ends the batch: what came after it in the same poll (a
// save, a tag jump, an autosave request) is not handled by an editor that
// is going away, and nothing is answered.
TEST_F(EditorProtocolTest, NothingAfterACloseIsHandled) {
  InfoWindow info(world, 0);
  Editor& a = Start("C:\\a.txt", 11);
  Editor& b = Start("C:\\b.txt", 12);
  a.closesOnRequest = true;
  int answers = 0;
  b.messenger.On("@ANSAUTOSAVE@", [&](std::string_view) { ++answers; });
  ipc::TagJump jump;
  jump.line = 3;
  jump.threadId = 77;
  jump.text = "x";
  info.Send(1, Z("@CLOSED@ 0"));
  info.Send(1, Z("@SAVE@"));
  info.Send(1, *ipc::BuildActiveToEditor(jump));
  info.Send(1, *ipc::BuildAutoSave(2));
  EXPECT_EQ(a.messenger.Poll(), ipc::PollResult::kStopped);
  Run();
  EXPECT_EQ(a.closeModes, std::vector<int>{0});
  EXPECT_EQ(a.saveRequests, 0);
  EXPECT_TRUE(a.jumps.empty());
  EXPECT_TRUE(a.activator.events.empty());
  EXPECT_EQ(answers, 0);
  EXPECT_TRUE(info.Received().empty());
}

}  // namespace

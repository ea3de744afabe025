// Bookmarks between a simulated editor and an info window: a scripted one
// (its inbox read by the test) and the real one (Vantrel's model and session
// in a process of their own).
#include "ipc/bookmark_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "companions/vantrel/vantrel_model.h"
#include "companions/vantrel/vantrel_session.h"
#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace ipc = gorvane::ipc;
namespace vt = gorvane::vantrel;

namespace {

using namespace std::string_literals;

constexpr std::uint32_t kReplyMs = 3000;

std::string Z(const std::string& s) { return s + std::string(1, '\0'); }
std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct Editor {
  Editor(gvtest::FakeWorld& world, std::uint64_t* clock)
      : process(world.NewProcess()), group(*process, host), messenger(*process, host, group, [clock] { return *clock; }) {
    ipc::JoinRequest r;
    r.path = "C:\\a.txt";
    r.infoWindow = 0;
    group.Join(r);
    messenger.TakeInbox(group.TakeInbox());
    link = std::make_unique<ipc::BookmarkLink>(messenger, group, kReplyMs);
    link->onMarkDeleted = [this](std::uint8_t mark) { deleted.push_back(mark); };
  }
  void Run() {
    messenger.Poll();
    messenger.Tick();
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  gvtest::FakeHost host;
  ipc::InstanceGroup group;
  ipc::Messenger messenger;
  std::unique_ptr<ipc::BookmarkLink> link;
  std::vector<int> deleted;
};

// An info window whose inbox the test reads, and which may go away and come
// back.
struct ScriptedInfoWindow {
  explicit ScriptedInfoWindow(gvtest::FakeWorld& world) : process(world.NewProcess()) { Open(); }
  void Open() { inbox = process->CreateMailslot(ipc::ObjectNames("tester").InfoWindowInbox(0), 0); }
  void Close() { inbox.reset(); }
  void Send(const std::string& message) {
    process->WriteMailslot(ipc::ObjectNames("tester").EditorInbox(1), Bytes(message));
  }
  // What arrived, "@TEST@" probes left out.
  std::vector<std::string> Received() { return gvtest::MessagesIn(inbox.get()); }
  std::unique_ptr<gvtest::FakeProcess> process;
  std::unique_ptr<ipc::Mailslot> inbox;
};

class BookmarkLinkTest : public ::testing::Test {
 protected:
  gvtest::FakeWorld world;
  std::uint64_t now = 1000;
  ScriptedInfoWindow info{world};
  Editor editor{world, &now};
};

// The registration is done with the info window's answer: "1" sets the mark,
// "0", a malformed answer or none in time do not.
TEST_F(BookmarkLinkTest, ARegistrationEndsWithTheAnswer) {
  struct Case {
    const char* what;
    std::optional<std::string> answer;  // nullopt: none comes
    bool ok;
  } cases[] = {
      {"taken", ipc::BuildSetMarkJumpResult(true), true},
      {"refused", ipc::BuildSetMarkJumpResult(false), false},
      {"malformed", Z("@SETMARKJUMP@ 2"), false},
      {"no answer", std::nullopt, false},
  };
  ASSERT_TRUE(editor.link->MarksAvailable());
  info.Received();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<bool> done;
    editor.link->SetMark(3, 7, "two words", [&](bool ok) { done.push_back(ok); });
    EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@SETMARKJUMP@ 1 3 7 9 two words")});
    EXPECT_TRUE(editor.link->settingMark());
    editor.Run();
    EXPECT_TRUE(done.empty());
    if (c.answer) info.Send(*c.answer);
    else now += kReplyMs;
    editor.Run();
    EXPECT_EQ(done, std::vector<bool>{c.ok});
    EXPECT_FALSE(editor.link->settingMark());
  }
  EXPECT_EQ(editor.link->malformed(), 1u);
}

// A registration that cannot be made is refused at once, and nothing is
// sent: while another one waits, with a name too long to carry, and when the
// info window is gone.
TEST_F(BookmarkLinkTest, ARegistrationThatCannotBeSentIsRefusedAtOnce) {
  std::vector<bool> first, second;
  editor.link->SetMark(3, 7, "", [&](bool ok) { first.push_back(ok); });
  info.Received();
  editor.link->SetMark(3, 8, "", [&](bool ok) { second.push_back(ok); });
  EXPECT_EQ(second, std::vector<bool>{false});
  EXPECT_TRUE(info.Received().empty());
  info.Send(ipc::BuildSetMarkJumpResult(true));
  editor.Run();
  EXPECT_EQ(first, std::vector<bool>{true});  // the answer is the first one's

  second.clear();
  editor.link->SetMark(3, 8, std::string(257, 'n'), [&](bool ok) { second.push_back(ok); });
  editor.link->SetMark(-1, 8, "n", [&](bool ok) { second.push_back(ok); });
  EXPECT_EQ(second, (std::vector<bool>{false, false}));

  info.Close();
  second.clear();
  EXPECT_FALSE(editor.link->MarksAvailable());
  editor.link->SetMark(3, 9, "n", [&](bool ok) { second.push_back(ok); });
  EXPECT_EQ(second, std::vector<bool>{false});
  EXPECT_FALSE(editor.link->settingMark());
}

// A delete that cannot be written waits and is written by the timer once the
// info window takes messages again, in order and each mark once; while one
// waits, no mark is registered (the delete would follow and undo it).
TEST_F(BookmarkLinkTest, ADeleteThatCannotBeWrittenIsWrittenLater) {
  editor.link->DeleteMark(3, 7);
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@DELETEMARKJUMP@ 3 7")});
  EXPECT_EQ(editor.link->pendingDeletes(), 0u);

  info.Close();
  editor.link->DeleteMark(3, 8);
  editor.link->DeleteMark(3, 9);
  editor.link->DeleteMark(3, 8);
  EXPECT_EQ(editor.link->pendingDeletes(), 2u);
  editor.link->RetryDeletes();
  EXPECT_EQ(editor.link->pendingDeletes(), 2u);
  std::vector<bool> done;
  editor.link->SetMark(3, 10, "n", [&](bool ok) { done.push_back(ok); });
  EXPECT_EQ(done, std::vector<bool>{false});

  info.Open();
  editor.link->RetryDeletes();
  EXPECT_EQ(editor.link->pendingDeletes(), 0u);
  EXPECT_EQ(info.Received(), (std::vector<std::string>{Z("@DELETEMARKJUMP@ 3 8"), Z("@DELETEMARKJUMP@ 3 9")}));
  EXPECT_EQ(editor.link->droppedDeletes(), 0u);
}

// An info window that takes nothing for long is gone with its list: the
// waiting deletes are dropped, and later ones are tried anew.
TEST_F(BookmarkLinkTest, DeletesForAnInfoWindowThatStaysAwayAreDropped) {
  info.Close();
  editor.link->DeleteMark(3, 8);
  editor.link->DeleteMark(3, 9);
  for (int i = 1; i < ipc::kSendAttempts; ++i) editor.link->RetryDeletes();
  EXPECT_EQ(editor.link->pendingDeletes(), 2u);
  editor.link->RetryDeletes();
  EXPECT_EQ(editor.link->pendingDeletes(), 0u);
  EXPECT_EQ(editor.link->droppedDeletes(), 2u);

  editor.link->DeleteMark(3, 10);
  EXPECT_EQ(editor.link->pendingDeletes(), 1u);
  info.Open();
  editor.link->RetryDeletes();
  EXPECT_EQ(info.Received(), std::vector<std::string>{Z("@DELETEMARKJUMP@ 3 10")});
}

// The user deleted bookmarks in the info window's list; malformed deletes are
// counted, never acted on, and never stop the inbox.
TEST_F(BookmarkLinkTest, TheInfoWindowDeletesMarks) {
  for (const std::string& m : {*ipc::BuildDeleteMarkJumpToEditor(7), Z("@DELETEMARKJUMP@ 256"),
                               Z("@DELETEMARKJUMP@ -1"), Z("@DELETEMARKJUMP@ 3 4"), Z("@DELETEMARKJUMP@"),
                               Z("@DELETEMARKJUMP@ 07"), "@DELETEMARKJUMP@ 9\0 1"s, Z("@DELETEMARKJUMP@ 255")})
    info.Send(m);
  editor.Run();
  EXPECT_EQ(editor.deleted, (std::vector<int>{7, 9, 255}));
  EXPECT_EQ(editor.link->malformed(), 5u);
  EXPECT_EQ(editor.messenger.Poll(), ipc::PollResult::kIdle);

  // Gone with its link, a registration still waiting: nobody is called.
  bool called = false;
  editor.link->SetMark(3, 7, "n", [&](bool) { called = true; });
  editor.link.reset();
  info.Send(ipc::BuildSetMarkJumpResult(true));
  info.Send(*ipc::BuildDeleteMarkJumpToEditor(8));
  editor.Run();
  EXPECT_FALSE(called);
  EXPECT_EQ(editor.deleted.size(), 3u);
}

// With the real info window: the editor's file registered, its bookmarks set
// (or refused) there, deleted by the user there, and deleted by the editor
// while the info window's inbox is away for a moment.
TEST(BookmarksWithVantrel, SetDeletedAndDeletedAgainLater) {
  gvtest::FakeWorld world;
  std::uint64_t now = 1000;
  auto vantrelProcess = world.NewProcess();
  vt::VantrelModel model(vt::ModelConfig{0, "tester", 4242, "C:\\Tools\\"});
  auto session = std::make_unique<vt::VantrelSession>(*vantrelProcess, model);
  ASSERT_TRUE(session->Open());
  Editor editor(world, &now);
  const auto exchange = [&] {
    session->Poll({});
    editor.Run();
  };
  ASSERT_TRUE(editor.messenger.SendToInfoWindow(*ipc::BuildAddFileItemToInfoWindow(1, 1, "C:\\a.txt", "")));
  exchange();
  ASSERT_EQ(model.files().size(), 1u);

  std::vector<bool> done;
  const auto note = [&](bool ok) { done.push_back(ok); };
  ASSERT_TRUE(editor.link->MarksAvailable());
  editor.link->SetMark(1, 5, "first", note);
  exchange();
  editor.link->SetMark(1, 6, "second", note);
  exchange();
  editor.link->SetMark(2, 7, "not ours", note);
  exchange();
  EXPECT_EQ(done, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(model.marks(), (std::vector<vt::MarkEntry>{{1, 1, 5, "first"}, {1, 1, 6, "second"}}));

  session->DeleteMark(0, {});
  exchange();
  EXPECT_EQ(editor.deleted, std::vector<int>{5});

  // The inbox is away: the delete waits, and reaches the info window once it is back.
  session.reset();
  editor.link->DeleteMark(1, 6);
  editor.link->RetryDeletes();
  EXPECT_EQ(editor.link->pendingDeletes(), 1u);
  session = std::make_unique<vt::VantrelSession>(*vantrelProcess, model);
  ASSERT_TRUE(session->Open());
  editor.link->RetryDeletes();
  EXPECT_EQ(editor.link->pendingDeletes(), 0u);
  exchange();
  EXPECT_TRUE(model.marks().empty());
}

}  // namespace

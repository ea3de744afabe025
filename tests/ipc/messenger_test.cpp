// Simulated editors and info windows exchanging messages.
#include "ipc/messenger.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace ipc = gorvane::ipc;

namespace {

std::string Msg(const std::string& text) { return text + std::string(1, '\0'); }

struct Editor {
  Editor(gvtest::FakeWorld& world, std::uint64_t* clock, const std::string& path, int infoWindow = -1)
      : process(world.NewProcess()), group(*process, host), messenger(*process, host, group, [clock] { return *clock; }) {
    ipc::JoinRequest r;
    r.path = path;
    r.infoWindow = infoWindow;
    joined = group.Join(r);
    messenger.TakeInbox(group.TakeInbox());
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  gvtest::FakeHost host;
  ipc::InstanceGroup group;
  ipc::Messenger messenger;
  ipc::JoinResult joined;
};

// An info window: just its inbox, read by the test.
struct InfoWindow {
  InfoWindow(gvtest::FakeWorld& world, int number) : process(world.NewProcess()) {
    inbox = process->CreateMailslot(ipc::ObjectNames("tester").InfoWindowInbox(number), 0);
  }
  std::vector<std::string> Received() {
    std::vector<std::string> out;
    std::vector<std::uint8_t> buf(70000);
    while (inbox && inbox->Next().waiting()) {
      const auto n = inbox->Read(buf);
      out.emplace_back(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
    }
    return out;
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  std::unique_ptr<ipc::Mailslot> inbox;
};

class MessengerTest : public ::testing::Test {
 protected:
  Editor& Start(const std::string& path, int infoWindow = -1) {
    return *editors.emplace_back(std::make_unique<Editor>(world, &now, path, infoWindow));
  }
  gvtest::FakeWorld world;
  std::uint64_t now = 1000;
  std::vector<std::unique_ptr<Editor>> editors;
};

TEST(MessageTag, TagsAsTheyStand) {
  struct Case {
    std::string text, tag;
  } cases[] = {
      {Msg("@SAVE@"), "@SAVE@"},          {Msg("@CLOSED@ 1"), "@CLOSED@"},
      {"@REPLACEERROR -3", "@REPLACEERROR"}, {"no tag", ""},
      {"@", ""},                           {std::string("\0@X@", 4), ""},
      {"@A@rest", "@A@"},
  };
  for (const Case& c : cases) EXPECT_EQ(ipc::MessageTag(c.text), c.tag) << c.text;
}

// Messages reach their handlers whole; others are read and dropped.
TEST_F(MessengerTest, PollHandsMessagesToTheirHandlers) {
  Editor& a = Start("C:\\a.txt");
  Editor& b = Start("C:\\b.txt");
  std::vector<std::string> got;
  a.messenger.On("@SETSCHDATA@", [&](std::string_view m) { got.emplace_back(m); });
  a.messenger.On("@SAVE@", [&](std::string_view m) { got.emplace_back(m); });
  const std::string withBlanks = Msg("@SETSCHDATA@ 0 1 2 3 tok a text  with   blanks");
  ASSERT_TRUE(b.messenger.SendToEditor(1, withBlanks));
  ASSERT_TRUE(b.messenger.SendToEditor(1, Msg("no tag at all")));
  ASSERT_TRUE(b.messenger.SendToEditor(1, Msg("@UNKNOWN@ 1")));
  ASSERT_TRUE(b.messenger.SendToEditor(1, std::string(20000, '@')));  // larger than the inbox buffer
  ASSERT_TRUE(b.messenger.SendToEditor(1, Msg("@SAVE@")));
  EXPECT_EQ(a.messenger.Poll(), ipc::PollResult::kIdle);
  EXPECT_EQ(got, (std::vector<std::string>{withBlanks, Msg("@SAVE@")}));
  // Each send was probed with "@TEST@", which nobody handles here.
  EXPECT_EQ(a.messenger.dropped(), 5u + 3u);
  EXPECT_FALSE(b.messenger.SendToEditor(7, Msg("@SAVE@")));  // no such editor
}

// The first message to arrive is heard of once, before anything is handled
// (a poll of an empty inbox does not count).
TEST_F(MessengerTest, TheFirstMessageIsHeardOfOnce) {
  Editor& a = Start("C:\\a.txt");
  Editor& b = Start("C:\\b.txt");
  std::vector<std::string> events;
  a.messenger.OnFirstMessage([&] { events.push_back("first"); });
  a.messenger.On("@SAVE@", [&](std::string_view) { events.push_back("save"); });
  EXPECT_EQ(a.messenger.Poll(), ipc::PollResult::kIdle);
  EXPECT_TRUE(events.empty());
  ASSERT_TRUE(b.messenger.SendToEditor(1, Msg("@SAVE@")));  // its "@TEST@" probe comes first
  ASSERT_TRUE(b.messenger.SendToEditor(1, Msg("@SAVE@")));
  a.messenger.Poll();
  EXPECT_EQ(events, (std::vector<std::string>{"first", "save", "save"}));
}

// The queue takes 200 messages; the 201st is refused, the 200 arrive in order
// once the info window is there.
TEST_F(MessengerTest, TheQueueHoldsTwoHundred) {
  Editor& a = Start("C:\\a.txt", 0);
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(a.messenger.QueueToInfoWindow(Msg("@MOVEWINDOW@ " + std::to_string(i))));
  EXPECT_FALSE(a.messenger.QueueToInfoWindow(Msg("@MOVEWINDOW@ 200")));
  ASSERT_EQ(a.host.boxes.size(), 1u);
  EXPECT_EQ(a.host.boxes[0].text, "再送信バッファオーバーフロー(EntrySendInfoWinMailslot関数)");
  InfoWindow info(world, 0);
  a.messenger.Tick();
  EXPECT_EQ(a.messenger.queued(), 0u);
  std::vector<std::string> got = info.Received();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front(), Msg("@TEST@"));
  got.erase(got.begin());
  ASSERT_EQ(got.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(got[static_cast<std::size_t>(i)], Msg("@MOVEWINDOW@ " + std::to_string(i)));
}

// Messages to an info window that is gone are dropped after a bounded number
// of tries, and the whole burst shows one box.
TEST_F(MessengerTest, UndeliverableMessagesAreDroppedWithOneBox) {
  Editor& a = Start("C:\\a.txt", 0);
  for (int i = 0; i < 3; ++i) a.messenger.QueueToOtherInfoWindow(5, Msg("@SCHLINE@ x"));
  for (int t = 0; t < 3 * ipc::kSendAttempts && a.messenger.queued() > 0; ++t) a.messenger.Tick();
  EXPECT_EQ(a.messenger.queued(), 0u);
  ASSERT_EQ(a.host.boxes.size(), 1u);
  EXPECT_EQ(a.host.boxes[0].text,
            "情報ウィンドウにメッセージを送信できませんでした。\n情報ウィンドウが終了している可能性があります。");
}

TEST_F(MessengerTest, BroadcastsGoToTheOthersOfTheGroup) {
  Editor& a = Start("C:\\a.txt", 0);
  Editor& b = Start("C:\\b.txt", 1);
  Editor& c = Start("C:\\c.txt", 0);
  int bGot = 0, cGot = 0;
  b.messenger.On("@REDRAW@", [&](std::string_view) { ++bGot; });
  c.messenger.On("@REDRAW@", [&](std::string_view) { ++cGot; });
  a.messenger.On("@REDRAW@", [&](std::string_view) { ADD_FAILURE() << "sent to itself"; });
  EXPECT_EQ(a.messenger.BroadcastToEditors(Msg("@REDRAW@ 0"), /*sameInfoWindowOnly=*/true), 1);
  EXPECT_EQ(a.messenger.BroadcastToEditors(Msg("@REDRAW@ 1"), false), 2);
  for (Editor* e : {&a, &b, &c}) e->messenger.Poll();
  EXPECT_EQ(bGot, 1);
  EXPECT_EQ(cGot, 2);
}

// A reply someone waits for goes to them; without one the wait ends.
TEST_F(MessengerTest, RepliesComeOrTheWaitEnds) {
  Editor& a = Start("C:\\a.txt");
  Editor& b = Start("C:\\b.txt");
  int handled = 0, replied = 0, timedOut = 0;
  a.messenger.On("@ACTIVEOK@", [&](std::string_view) { ++handled; });
  a.messenger.ExpectReply("@ACTIVEOK@", 5000, [&](std::string_view) { ++replied; }, [&] { ++timedOut; });
  b.messenger.SendToEditor(1, Msg("@ACTIVEOK@"));
  a.messenger.Poll();
  EXPECT_EQ(replied, 1);
  EXPECT_EQ(handled, 0);

  a.messenger.ExpectReply("@ANSAUTOSAVE@", 5000, [&](std::string_view) { ++replied; }, [&] { ++timedOut; });
  now += 4999;
  a.messenger.Tick();
  EXPECT_EQ(timedOut, 0);
  now += 1;
  a.messenger.Tick();
  EXPECT_EQ(timedOut, 1);
  EXPECT_EQ(a.messenger.pendingReplies(), 0u);
  b.messenger.SendToEditor(1, Msg("@ANSAUTOSAVE@ 1"));  // too late: nobody waits any more
  a.messenger.Poll();
  EXPECT_EQ(replied, 1);
}

TEST_F(MessengerTest, StartingTheInfoWindow) {
  Editor& a = Start("C:\\a.txt", 3);
  auto sleep = [&](std::uint32_t ms) { now += ms; };
  struct Starter : ipc::ProgramStarter {
    std::function<bool(const std::string&)> start;
    bool Start(const std::string& commandLine) override { return start(commandLine); }
  };
  Starter fails;
  fails.start = [](const std::string&) { return false; };
  EXPECT_FALSE(a.messenger.StartInfoWindow(fails, "\"C:\\\\Vantrel.exe\"", sleep));

  Starter silent;  // starts, but its inbox never appears
  silent.start = [](const std::string&) { return true; };
  const std::uint64_t before = now;
  EXPECT_FALSE(a.messenger.StartInfoWindow(silent, "x", sleep, 2000));
  EXPECT_GE(now - before, 2000u);
  EXPECT_LE(now - before, 2200u);

  std::unique_ptr<InfoWindow> info;
  std::string line;
  Starter works;
  works.start = [&](const std::string& commandLine) {
    line = commandLine;
    info = std::make_unique<InfoWindow>(world, 3);
    return true;
  };
  EXPECT_TRUE(a.messenger.StartInfoWindow(works, "\"C:\\\\Vantrel.exe\" 1 2 3 4 1 0 /MI 3 \"C:\\\\a.txt\"", sleep));
  EXPECT_EQ(line, "\"C:\\\\Vantrel.exe\" 1 2 3 4 1 0 /MI 3 \"C:\\\\a.txt\"");
  EXPECT_TRUE(a.messenger.connectedToInfoWindow());
  EXPECT_TRUE(a.messenger.SendToInfoWindow(Msg("@EDITPOS@")));
  EXPECT_EQ(info->Received(), (std::vector<std::string>{Msg("@TEST@"), Msg("@EDITPOS@")}));
}

// Started early and waited for later: the inbox that appears while the editor
// goes on with its own start-up is found by a short probe, and hears "@TEST@"
// once.
TEST_F(MessengerTest, TheInfoWindowLaunchedEarlyIsWaitedForLater) {
  Editor& a = Start("C:\\a.txt", 3);
  struct Starter : ipc::ProgramStarter {
    int started = 0;
    bool Start(const std::string&) override { return ++started > 0; }
  } starter;
  ASSERT_TRUE(a.messenger.LaunchInfoWindow(starter, "x"));
  EXPECT_EQ(starter.started, 1);
  std::unique_ptr<InfoWindow> info;
  int probes = 0;
  auto sleep = [&](std::uint32_t ms) {
    now += ms;
    if (++probes == 7) info = std::make_unique<InfoWindow>(world, 3);  // comes up after 70 ms
  };
  const std::uint64_t before = now;
  EXPECT_TRUE(a.messenger.WaitForInfoWindow(sleep, 3000, 10));
  EXPECT_LE(now - before, 80u);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Received(), (std::vector<std::string>{Msg("@TEST@")}));
  // Connected: launching again starts nothing.
  EXPECT_TRUE(a.messenger.LaunchInfoWindow(starter, "x"));
  EXPECT_EQ(starter.started, 1);
}

TEST(InfoWindowCommandLine, AsTheEditorStartsIt) {
  EXPECT_EQ(ipc::InfoWindowCommandLine("C:\\Gv\\", ipc::FrameRect{10, 20, 810, 620}, 6, false, 2, "C:\\w\\A~1.TXT"),
            "\"C:\\Gv\\Vantrel.exe\" 10 20 810 620 6 0 /MI 2 \"C:\\w\\A~1.TXT\"");
  EXPECT_EQ(ipc::InfoWindowCommandLine("C:\\Gv\\", ipc::FrameRect{-5, 0, 100, 90}, 1, true, 0, "p.qvp"),
            "\"C:\\Gv\\Vantrel.exe\" -5 0 100 90 1 1 /MI 0 \"p.qvp\"");
  EXPECT_EQ(ipc::ProjectInfoWindowCommandLine("C:\\Gv\\", 4, 3, "C:\\p\\APP.QVP"),
            "\"C:\\Gv\\Vantrel.exe\" 1 1 0 0 4 1 /MI 3 \"C:\\p\\APP.QVP\"");
}

// A frame partly off the screen (dragged there, or minimised) is told as the
// rectangle it had when last restored.
TEST(InfoWindowCommandLine, TheFrameItIsTold) {
  const ipc::FrameRect screen{0, 0, 1024, 768}, restored{100, 50, 900, 650};
  struct Case {
    ipc::FrameRect frame;
    int left;
  } cases[] = {
      {{10, 20, 810, 620}, 10},            // on the screen: as it is
      {{0, 0, 1024, 768}, 0},              // the whole screen
      {{-32000, -32000, -31840, -31970}, 100},  // minimised
      {{600, 20, 1400, 620}, 100},         // partly off to the right
  };
  for (const Case& c : cases) EXPECT_EQ(ipc::InfoWindowFrame(c.frame, restored, screen).left, c.left) << c.frame.left;
  // Nothing remembered: the frame as it is.
  EXPECT_EQ(ipc::InfoWindowFrame({-5, 0, 100, 90}, {}, screen).left, -5);
}

TEST_F(MessengerTest, AnInboxThatCannotBeMade) {
  Editor& a = Start("C:\\a.txt");
  ipc::Messenger second(*a.process, a.host, a.group, [this] { return now; });
  std::vector<std::uint32_t> sleeps;
  EXPECT_FALSE(second.CreateInbox(a.group.instance(), [&](std::uint32_t ms) { sleeps.push_back(ms); }));  // a's own name
  EXPECT_EQ(sleeps, std::vector<std::uint32_t>(100, 100u));
  ASSERT_EQ(a.host.boxes.size(), 2u);
  EXPECT_EQ(a.host.boxes[0].text, "MailSlotName = \\\\.\\mailslot\\QV174w1tester");
  EXPECT_EQ(a.host.boxes[1].text, "simulated failure");
}

// Another process writes into an editor's inbox; the editor polls it.
class InboxTest : public MessengerTest {
 protected:
  void SetUp() override {
    editor = &Start("C:\\a.txt");
    writer = world.NewProcess();
    for (const char* tag : {"@SAVE@", "@SETSCHDATA@", "@REDRAW@"})
      editor->messenger.On(tag, [this](std::string_view m) { handled.emplace_back(m); });
  }
  void Write(const std::string& bytes) {
    ASSERT_TRUE(writer->WriteMailslot(ipc::ObjectNames("tester").EditorInbox(1),
                                      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                                    bytes.size())));
  }
  Editor* editor = nullptr;
  std::unique_ptr<gvtest::FakeProcess> writer;
  std::vector<std::string> handled;
};

// An empty message is a message: it is read and dropped, and the ones after
// it are handled.
TEST_F(InboxTest, EmptyMessagesAreReadAndWhatFollowsIsHandled) {
  Write("");
  Write(Msg("@SAVE@"));
  Write("");
  Write("");
  Write(Msg("@REDRAW@ 1"));
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kIdle);
  EXPECT_EQ(handled, (std::vector<std::string>{Msg("@SAVE@"), Msg("@REDRAW@ 1")}));
  EXPECT_EQ(editor->messenger.dropped(), 3u);
  Write("");
  Write(Msg("@SAVE@"));
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kIdle);
  EXPECT_EQ(handled.size(), 3u);
}

// Messages larger than the usual buffer are delivered whole.
TEST_F(InboxTest, LargeMessagesAreDeliveredWhole) {
  const std::string head = "@SETSCHDATA@ 0 1 2 3 tok ";
  std::vector<std::string> sent;
  for (std::size_t size : {std::size_t{15875}, std::size_t{15876}, std::size_t{15877}, std::size_t{70000}}) {
    sent.push_back(head + std::string(size - head.size() - 1, 'x') + std::string(1, '\0'));
    Write(sent.back());
  }
  Write(Msg("@SAVE@"));
  sent.push_back(Msg("@SAVE@"));
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kIdle);
  EXPECT_EQ(handled, sent);
}

// A failing inbox is told once, with the system's text, and polled again;
// once it answers again nothing waiting was lost.
TEST_F(InboxTest, AFailingInboxIsToldOnceAndPolledAgain) {
  Write(Msg("@SAVE@"));
  Write(Msg("@REDRAW@ 0"));
  editor->process->errorText = "the inbox is unwell";
  world.failInboxQueries = 3;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kFailed);
  ASSERT_EQ(editor->host.boxes.size(), 1u);
  EXPECT_EQ(editor->host.boxes[0].text, "the inbox is unwell");
  EXPECT_EQ(editor->host.boxes[0].icon, gorvane::base::BoxIcon::Error);
  world.failInboxRead = true;
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kFailed);
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kIdle);
  EXPECT_EQ(handled, (std::vector<std::string>{Msg("@SAVE@"), Msg("@REDRAW@ 0")}));
  EXPECT_EQ(editor->messenger.failures(), 4u);
  EXPECT_EQ(editor->host.boxes.size(), 1u);
}

// A burst of empty, malformed and large messages is read in bounded batches
// (the window keeps answering between them), and a request after it is
// handled.
TEST_F(InboxTest, ABurstOfGarbageIsReadInBatches) {
  constexpr int kBurst = 3000;
  for (int i = 0; i < kBurst; ++i) {
    switch (i % 5) {
      case 0: Write(""); break;
      case 1: Write(Msg("@SAVE@ extra")); break;         // malformed, still handed to the handler
      case 2: Write(std::string(61000 + i, '@')); break;  // no tag
      case 3: Write(std::string("\0@SAVE@", 8)); break;  // does not begin with "@"
      default: Write(Msg("@NOSUCHTAG@ 1")); break;
    }
  }
  Write(Msg("@REDRAW@ 1"));
  int polls = 0;
  ipc::PollResult r = ipc::PollResult::kMore;
  while (r == ipc::PollResult::kMore && polls < 100) {
    r = editor->messenger.Poll();
    ++polls;
  }
  EXPECT_EQ(r, ipc::PollResult::kIdle);
  EXPECT_EQ(polls, (kBurst + 1 + ipc::kPollBatch - 1) / ipc::kPollBatch);
  ASSERT_FALSE(handled.empty());
  EXPECT_EQ(handled.back(), Msg("@REDRAW@ 1"));
  EXPECT_EQ(editor->messenger.delivered() + editor->messenger.dropped(), static_cast<std::uint64_t>(kBurst + 1));
  EXPECT_TRUE(editor->host.boxes.empty());
}

// A handler that stops dispatching (the editor closes) is the last one
// called: nothing after it in the batch or later is handled, and no reply
// or timeout is called.
TEST_F(InboxTest, NothingIsHandledOnceDispatchingStopped) {
  editor->messenger.On("@CLOSED@", [this](std::string_view m) {
    handled.emplace_back(m);
    editor->messenger.StopDispatching();
  });
  int replies = 0;
  editor->messenger.ExpectReply("@ANSAUTOSAVE@", 100, [&](std::string_view) { ++replies; }, [&] { ++replies; });
  Write(Msg("@CLOSED@ 0"));
  Write(Msg("@SAVE@"));
  Write(Msg("@ANSAUTOSAVE@ 1"));
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kStopped);
  EXPECT_EQ(editor->messenger.Poll(), ipc::PollResult::kStopped);
  now += 1000;
  editor->messenger.Tick();
  EXPECT_EQ(handled, std::vector<std::string>{Msg("@CLOSED@ 0")});
  EXPECT_EQ(replies, 0);
}

}  // namespace

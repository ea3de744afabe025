// The search dialog's settings between simulated editors and a scripted info
// window: who hears of them, what the receiving editor is handed, and what
// is never acted on.
#include "ipc/search_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace ipc = gorvane::ipc;

namespace {

std::string Z(const std::string& s) { return s + std::string(1, '\0'); }

struct Editor {
  Editor(gvtest::FakeWorld& world, std::uint64_t* clock, const std::string& path, int infoWindow)
      : process(world.NewProcess()), group(*process, host), messenger(*process, host, group, [clock] { return *clock; }) {
    ipc::JoinRequest r;
    r.path = path;
    r.infoWindow = infoWindow;
    group.Join(r);
    messenger.TakeInbox(group.TakeInbox());
    link = std::make_unique<ipc::SearchLink>(messenger);
    link->onReceived = [this](const ipc::SearchSettings& s) { received.push_back(s); };
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  gvtest::FakeHost host;
  ipc::InstanceGroup group;
  ipc::Messenger messenger;
  std::unique_ptr<ipc::SearchLink> link;
  std::vector<ipc::SearchSettings> received;
};

struct InfoWindow {
  InfoWindow(gvtest::FakeWorld& world, int number) : process(world.NewProcess()) {
    inbox = process->CreateMailslot(ipc::ObjectNames("tester").InfoWindowInbox(number), 0);
  }
  // What arrived, "@TEST@" probes left out.
  std::vector<std::string> Received() { return gvtest::MessagesIn(inbox.get()); }
  std::unique_ptr<gvtest::FakeProcess> process;
  std::unique_ptr<ipc::Mailslot> inbox;
};

bool Same(const ipc::SearchSettings& a, const ipc::SearchSettings& b) {
  return a.scope == b.scope && a.options == b.options && a.fileFilter == b.fileFilter && a.share == b.share &&
         a.fileTypes == b.fileTypes && a.text == b.text;
}

class SearchLinkTest : public ::testing::Test {
 protected:
  gvtest::FakeWorld world;
  std::uint64_t now = 1000;
  InfoWindow info{world, 3};
  // a and b belong to info window 3, c to another one.
  Editor a{world, &now, "C:\\a.txt", 3};
  Editor b{world, &now, "C:\\b.txt", 3};
  Editor c{world, &now, "C:\\c.txt", 4};
  void PollAll() {
    for (Editor* e : {&a, &b, &c}) e->messenger.Poll();
  }
};

// The info window hears of every apply; the editors of the same info window
// only when sharing, and they are handed the settings as they were sent
// (blanks in the text kept).
TEST_F(SearchLinkTest, SettingsReachTheInfoWindowAndTheEditorsOfItsGroup) {
  const ipc::SearchSettings settings{1, 0x11, false, true, "", "\x8c\x9f\x8d\xf5  two words"};
  const std::string wire = Z("@SETSCHDATA@ 1 17 0 1  \x8c\x9f\x8d\xf5  two words");

  ipc::SearchShared sent = a.link->Share(settings, false);
  EXPECT_TRUE(sent.toInfoWindow);
  EXPECT_EQ(sent.editors, 0);
  EXPECT_EQ(info.Received(), std::vector<std::string>{wire});
  PollAll();
  EXPECT_TRUE(b.received.empty());

  sent = a.link->Share(settings, true);
  EXPECT_TRUE(sent.toInfoWindow);
  EXPECT_EQ(sent.editors, 1);
  EXPECT_EQ(info.Received(), std::vector<std::string>{wire});
  PollAll();
  ASSERT_EQ(b.received.size(), 1u);
  EXPECT_TRUE(Same(b.received[0], settings));
  EXPECT_TRUE(a.received.empty()) << "not to itself";
  EXPECT_TRUE(c.received.empty()) << "not to another info window's editors";
}

// Without an info window the other editors still hear; settings that cannot
// be carried go nowhere; a malformed message is counted and dropped.
TEST_F(SearchLinkTest, WhatCannotGoIsNotSentAndWhatIsMalformedIsDropped) {
  info.inbox.reset();
  ipc::SearchShared sent = a.link->Share({0, 1, false, true, "", "x"}, true);
  EXPECT_FALSE(sent.toInfoWindow);
  EXPECT_EQ(sent.editors, 1);
  PollAll();
  ASSERT_EQ(b.received.size(), 1u);
  EXPECT_EQ(b.received[0].text, "x");

  for (const ipc::SearchSettings& bad : {ipc::SearchSettings{0, 1, false, true, "", ""},
                                         ipc::SearchSettings{0, 1, false, true, "", std::string(257, 'x')},
                                         ipc::SearchSettings{0, 1, false, true, "*.c *.h", "x"}}) {
    sent = a.link->Share(bad, true);
    EXPECT_FALSE(sent.toInfoWindow);
    EXPECT_EQ(sent.editors, 0);
  }
  for (const char* m : {"@SETSCHDATA@ 3 1 0 0  x", "@SETSCHDATA@ 0 1 0 0 ", "@SETSCHDATA@ 0 x 0 0  t"})
    ASSERT_TRUE(a.messenger.SendToEditor(b.group.instance(), Z(m)));
  PollAll();
  EXPECT_EQ(b.received.size(), 1u);
  EXPECT_EQ(b.link->malformed(), 3u);
}

}  // namespace

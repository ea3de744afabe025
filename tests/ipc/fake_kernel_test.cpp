// The simulated kernel behaves like the real one where the instance group
// depends on it: abandoned locks, objects that go with their last handle,
// shared views, and inboxes that vanish with their owner.
#include "support/fake_kernel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace ipc = gorvane::ipc;
using gorvane::ipc::Created;
using gorvane::ipc::WaitResult;

class FakeKernelTest : public ::testing::Test {
 protected:
  gvtest::FakeWorld world;
  std::unique_ptr<gvtest::FakeProcess> a = world.NewProcess();
  std::unique_ptr<gvtest::FakeProcess> b = world.NewProcess();
};

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(FakeKernelTest, ProcessesHaveTheirOwnIdentity) {
  EXPECT_EQ(a->ProcessId(), 1000u);
  EXPECT_EQ(b->ProcessId(), 1001u);
  std::string user;
  ASSERT_TRUE(a->UserName(&user));
  EXPECT_EQ(user, "tester");
  b->userName = "\x95\x5c";
  ASSERT_TRUE(b->UserName(&user));
  EXPECT_EQ(user, "\x95\x5c");
  b->failUserName = true;
  EXPECT_FALSE(b->UserName(&user));
  EXPECT_EQ(a->AllocationGranularity(), 65536u);
  EXPECT_FALSE(a->LastErrorText().empty());
}

TEST_F(FakeKernelTest, MutexIsRecursiveForItsOwnerAndTimesOutForOthers) {
  Created c;
  auto ma = a->CreateMutex("m", true, &c);
  EXPECT_FALSE(c.existed);
  auto mb = b->CreateMutex("m", true, &c);  // opened, not owned
  ASSERT_TRUE(ma && mb);
  EXPECT_TRUE(c.existed);
  EXPECT_EQ(world.MutexOwner("m"), a->pid());
  EXPECT_EQ(ma->Wait(0), WaitResult::Acquired);
  EXPECT_EQ(mb->Wait(5000), WaitResult::TimedOut);
  EXPECT_EQ(world.lastWaitTimeout, 5000);
  EXPECT_FALSE(mb->Release());
  EXPECT_TRUE(ma->Release());
  EXPECT_EQ(mb->Wait(0), WaitResult::TimedOut);  // still held once
  EXPECT_TRUE(ma->Release());
  EXPECT_FALSE(ma->Release());
  EXPECT_EQ(mb->Wait(0), WaitResult::Acquired);
  EXPECT_EQ(world.MutexOwner("m"), b->pid());
  EXPECT_EQ(b->OpenMutex("missing"), nullptr);
}

TEST_F(FakeKernelTest, DeathAbandonsOwnedMutexesEvenWithTheirHandleClosed) {
  auto ma = a->CreateMutex("m", true, nullptr);
  auto mb = b->OpenMutex("m");
  ASSERT_TRUE(ma && mb);
  ma.reset();  // closing the handle releases nothing
  EXPECT_EQ(mb->Wait(0), WaitResult::TimedOut);
  a->Die();
  EXPECT_EQ(mb->Wait(100), WaitResult::Abandoned);
  EXPECT_EQ(mb->Wait(100), WaitResult::Acquired);  // told once; now held twice
  auto third = world.NewProcess();
  EXPECT_EQ(third->OpenMutex("m")->Wait(0), WaitResult::TimedOut);
  // A dead process's kernel fails everything.
  std::string user;
  EXPECT_EQ(a->CreateMutex("n", true, nullptr), nullptr);
  EXPECT_EQ(a->OpenMutex("m"), nullptr);
  EXPECT_EQ(a->CreateMapping("n", 10, nullptr), nullptr);
  EXPECT_EQ(a->CreateMailslot("n", 0), nullptr);
  EXPECT_FALSE(a->UserName(&user));
}

// Each kind of object: a second process opens it (existed), it outlives its
// creator's death while another handle is open, and the last handle frees the name.
TEST_F(FakeKernelTest, ObjectsLiveWhileAnyHandleDoes) {
  using Open = std::function<std::shared_ptr<void>(gvtest::FakeProcess&, Created*)>;
  const struct {
    const char* what;
    Open open;
    std::function<bool(const gvtest::FakeWorld&)> exists;
  } cases[] = {
      {"mutex", [](auto& p, Created* c) { return std::shared_ptr<void>(p.CreateMutex("o", true, c)); },
       [](auto& w) { return w.HasMutex("o"); }},
      {"mapping", [](auto& p, Created* c) { return std::shared_ptr<void>(p.CreateMapping("o", 100, c)); },
       [](auto& w) { return w.HasMapping("o"); }},
      {"view of a closed mapping",
       [](auto& p, Created* c) { return std::shared_ptr<void>(p.CreateMapping("o", 100, c)->Map(0, 100)); },
       [](auto& w) { return w.HasMapping("o"); }},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.what);
    gvtest::FakeWorld w;
    auto p1 = w.NewProcess(), p2 = w.NewProcess(), p3 = w.NewProcess();
    Created c1, c2, c3;
    auto h1 = t.open(*p1, &c1);
    auto h2 = t.open(*p2, &c2);
    ASSERT_TRUE(h1 && h2);
    EXPECT_FALSE(c1.existed);
    EXPECT_TRUE(c2.existed);
    p1->Die();
    EXPECT_TRUE(t.exists(w));
    h2.reset();
    EXPECT_FALSE(t.exists(w));
    EXPECT_TRUE(t.open(*p3, &c3));
    EXPECT_FALSE(c3.existed);
  }
}

TEST_F(FakeKernelTest, ViewsShareBytesAcrossProcessesUntilTheLastHandleGoes) {
  Created c;
  auto first = a->CreateMapping("f", 3 * 65536 + 100, &c);
  auto second = b->CreateMapping("f", 16, &c);  // the existing size stands
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(c.existed);
  EXPECT_EQ(second->size(), 3u * 65536 + 100);
  auto va = first->Map(65536, 200), vb = second->Map(0, 0);
  ASSERT_TRUE(va && vb);
  EXPECT_EQ(vb->bytes().size(), 3u * 65536 + 100);
  va->bytes()[5] = 0x42;
  EXPECT_EQ(vb->bytes()[65536 + 5], 0x42);
  first.reset(), second.reset(), vb.reset();
  EXPECT_EQ(b->OpenMapping("f")->Map(65536, 10)->bytes()[5], 0x42);  // va keeps it
  va.reset();
  EXPECT_EQ(b->OpenMapping("f"), nullptr);
  auto fresh = b->CreateMapping("f", 65536 + 100, &c);
  EXPECT_FALSE(c.existed);
  EXPECT_EQ(fresh->Map(65536, 10)->bytes()[5], 0);
  EXPECT_EQ(b->CreateMutex("f", true, nullptr), nullptr);  // one namespace for both kinds
}

TEST_F(FakeKernelTest, MapChecksAlignmentAndRange) {
  const std::uint64_t size = 3 * 65536 + 100;
  auto m = a->CreateMapping("f", size, nullptr);
  const struct {
    std::uint64_t offset;
    std::uint32_t length;
    bool ok;
  } cases[] = {
      {0, 0, true},      {0, size, true},        {0, size + 1, false},    {65536, 100, true},    {1, 10, false},
      {4096, 10, false}, {3 * 65536, 100, true}, {3 * 65536, 101, false}, {4 * 65536, 1, false}, {3 * 65536, 0, true},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(testing::Message() << t.offset << "+" << t.length);
    EXPECT_EQ(m->Map(t.offset, t.length) != nullptr, t.ok);
  }
  a->granularity = 4096;
  EXPECT_NE(m->Map(4096, 10), nullptr);
}

// What waits at the head of an inbox: "none", "failed" or its size.
std::string Head(ipc::Mailslot& slot) {
  const ipc::NextMessage next = slot.Next();
  if (next.failed()) return "failed";
  return next.waiting() ? std::to_string(next.size) : "none";
}

TEST_F(FakeKernelTest, MailslotQueuesWholeMessagesForItsOwner) {
  EXPECT_FALSE(b->WriteMailslot("slot", Bytes("x")));
  auto slot = a->CreateMailslot("slot", 0);
  ASSERT_TRUE(slot);
  EXPECT_EQ(b->CreateMailslot("slot", 0), nullptr);
  EXPECT_TRUE(b->MailslotExists("slot"));
  EXPECT_EQ(Head(*slot), "none");
  std::vector<std::uint8_t> buf(8);
  EXPECT_EQ(slot->Read(buf), -1);
  ASSERT_TRUE(b->WriteMailslot("slot", Bytes("@TEST@")));
  ASSERT_TRUE(b->WriteMailslot("slot", {}));
  ASSERT_TRUE(a->WriteMailslot("slot", Bytes("@CLOSED@ 3")));
  EXPECT_EQ(Head(*slot), "6");
  EXPECT_EQ(slot->Read(buf), 6);
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + 6), "@TEST@");
  EXPECT_EQ(Head(*slot), "0");  // an empty message waits like any other
  EXPECT_EQ(slot->Read(std::span<std::uint8_t>()), 0);
  EXPECT_EQ(slot->Read(buf), -1);  // too large for the buffer: stays waiting
  EXPECT_EQ(Head(*slot), "10");
  buf.resize(10);
  EXPECT_EQ(slot->Read(buf), 10);
  EXPECT_EQ(Head(*slot), "none");
  slot.reset();
  EXPECT_FALSE(b->MailslotExists("slot"));
  EXPECT_FALSE(b->WriteMailslot("slot", Bytes("x")));

  auto limited = a->CreateMailslot("small", 4);
  EXPECT_TRUE(b->WriteMailslot("small", Bytes("1234")));
  EXPECT_FALSE(b->WriteMailslot("small", Bytes("12345")));
  a->Die();
  EXPECT_FALSE(b->MailslotExists("small"));
  EXPECT_FALSE(b->WriteMailslot("small", Bytes("1")));
  EXPECT_EQ(Head(*limited), "failed");
  EXPECT_NE(b->CreateMailslot("small", 0), nullptr);  // the name is free again
}

TEST_F(FakeKernelTest, InboxFailuresAsInjected) {
  auto slot = a->CreateMailslot("slot", 0);
  ASSERT_TRUE(b->WriteMailslot("slot", Bytes("one")));
  std::vector<std::uint8_t> buf(8);
  world.failInboxQueries = 2;
  EXPECT_EQ(Head(*slot), "failed");
  EXPECT_EQ(slot->Read(buf), -1);
  EXPECT_EQ(Head(*slot), "3");
  world.failInboxRead = true;
  EXPECT_EQ(slot->Read(buf), -1);
  EXPECT_EQ(slot->Read(buf), 3);  // nothing was lost
}

TEST_F(FakeKernelTest, InjectedFailuresHitOnlyTheNextCall) {
  world.failCreateMutex = true;
  EXPECT_EQ(a->CreateMutex("m", true, nullptr), nullptr);
  EXPECT_NE(a->CreateMutex("m", true, nullptr), nullptr);
  world.failCreateMapping = true;
  EXPECT_EQ(a->CreateMapping("f", 100, nullptr), nullptr);
  auto m = a->CreateMapping("f", 100, nullptr);
  ASSERT_NE(m, nullptr);
  world.failMap = true;
  EXPECT_EQ(m->Map(0, 100), nullptr);
  EXPECT_NE(m->Map(0, 100), nullptr);
}

}  // namespace

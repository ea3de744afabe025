// Several simulated editors of one user in one group.
#include "ipc/instance_group.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace ipc = gorvane::ipc;
using gorvane::base::RecordView;

namespace {

// One editor process: its kernel, its host and its view of the group.
struct Editor {
  explicit Editor(gvtest::FakeWorld& world) : process(world.NewProcess()), group(*process, host) {}
  ipc::JoinResult Join(const std::string& path, bool newDocument = false, ipc::Handover handover = {}) {
    ipc::JoinRequest r;
    r.path = path;
    r.newDocument = newDocument;
    return group.Join(r, handover);
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  gvtest::FakeHost host;
  ipc::InstanceGroup group;
};

class InstanceGroupTest : public ::testing::Test {
 protected:
  Editor& Start() { return *editors.emplace_back(std::make_unique<Editor>(world)); }
  // The shared bytes as another process sees them.
  std::vector<std::uint8_t> Shared(const std::string& name, std::uint64_t offset, std::uint32_t length) {
    auto probe = world.NewProcess();
    auto mapping = probe->OpenMapping(name);
    if (!mapping) return {};
    auto view = mapping->Map(offset, length);
    auto b = view->bytes();
    return std::vector<std::uint8_t>(b.begin(), b.end());
  }
  template <typename Work>
  void EditShared(const std::string& name, std::uint64_t offset, std::uint32_t length, Work work) {
    auto probe = world.NewProcess();
    auto mapping = probe->OpenMapping(name);
    ASSERT_TRUE(mapping);
    auto view = mapping->Map(offset, length);
    ASSERT_TRUE(view);
    RecordView r(view->bytes());
    work(r);
  }
  int EditorCount() {
    auto page0 = Shared(ipc::ObjectNames("tester").MainFile(), 0, 0x40000);
    return RecordView(page0).Get<std::uint16_t>(ipc::header::kEditorCount);
  }

  gvtest::FakeWorld world;
  std::vector<std::unique_ptr<Editor>> editors;
};

TEST_F(InstanceGroupTest, FirstEditorCreatesLaterOnesJoin) {
  Editor& a = Start();
  const ipc::JoinResult ra = a.Join("C:\\Work\\A.txt");
  EXPECT_EQ(ra.code, 1);
  EXPECT_EQ(ra.instance, 1);
  EXPECT_TRUE(a.host.boxes.empty());
  Editor& b = Start();
  const ipc::JoinResult rb = b.Join("C:\\Work\\B.txt");
  EXPECT_EQ(rb.code, -1);
  EXPECT_EQ(rb.instance, 2);
  EXPECT_EQ(EditorCount(), 2);

  // The header page as laid out.
  auto page0v = Shared(ipc::ObjectNames("tester").MainFile(), 0, 0x40000);
  RecordView page0(page0v);
  EXPECT_EQ(page0.Text(2, 48), "$QORV$mmFileIdentStr$V1.74");
  EXPECT_EQ(page0.Get<std::uint32_t>(50), 0x40000u);
  EXPECT_EQ(page0.Get<std::uint8_t>(54), 0xE2);
  EXPECT_EQ(page0.Get<std::uint8_t>(65), 0xBF);
  EXPECT_EQ(page0.Get<std::uint32_t>(1104), 0x40000u);
  // The open-file table: lower-case paths, instance numbers.
  const auto files = b.group.OpenFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].path, "c:\\work\\a.txt");
  EXPECT_EQ(files[1].instance, 2);
  auto table = Shared(ipc::ObjectNames("tester").FileNameFile(), 0, 2097152);
  EXPECT_EQ(RecordView(table).Text(2, 48), "$QORV$FileNameMMFileIdentStr$V1.74");
  EXPECT_EQ(RecordView(table).Get<std::uint16_t>(50 + 268 + 2), 2);
  // The settings came with the first editor.
  bool sawSettings = false;
  EXPECT_TRUE(b.group.WithSettings([&](gorvane::files::SettingsArea& s) { sawSettings = s.RecordCount() >= 1; }));
  EXPECT_TRUE(sawSettings);
}

// A second editor for the same file (any case) brings the first forward and
// takes no slot; when that cannot be delivered it says so.
TEST_F(InstanceGroupTest, TheSameFileIsNeverOpenedTwice) {
  Start().Join("C:\\Work\\A.txt");
  for (bool delivered : {true, false}) {
    Editor& b = Start();
    int asked = 0;
    ipc::Handover h;
    h.bringEditorForward = [&](int owner) {
      asked = owner;
      return delivered;
    };
    const ipc::JoinResult r = b.Join("c:\\WORK\\a.TXT", false, h);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.instance, ipc::kTransientInstance);
    EXPECT_EQ(r.owner, 1);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(EditorCount(), 1);
    if (delivered) EXPECT_TRUE(b.host.boxes.empty());
    else {
      ASSERT_EQ(b.host.boxes.size(), 1u);
      EXPECT_EQ(b.host.boxes[0].text, "このファイルは既に開かれています。");
    }
  }
}

TEST_F(InstanceGroupTest, UnnamedDocumentsAndFreedNumbers) {
  const std::string unnamed = "NO FolderName\\x1";
  EXPECT_EQ(Start().Join(unnamed, true).path, "NO FolderName\\x1");
  EXPECT_EQ(Start().Join(unnamed, true).path, "NO FolderName\\x2");
  EXPECT_EQ(Start().Join(unnamed, true).path, "NO FolderName\\x3");
  // Editor 2 closes: the next one gets its number.
  editors[1]->group.ReleaseSlot();
  EXPECT_EQ(EditorCount(), 2);
  EXPECT_EQ(Start().Join("C:\\d.txt").instance, 2);
  EXPECT_EQ(Start().Join("C:\\e.txt").instance, 4);
}

TEST_F(InstanceGroupTest, AForeignMappingIsRefusedUntouched) {
  // Something else made a mapping of the main file's name.
  auto other = world.NewProcess();
  ipc::Created created;
  ipc::ObjectNames names("tester");
  auto foreignLock = other->CreateMutex(names.MainLock(), false, &created);
  auto foreign = other->CreateMapping(names.MainFile(), 124 * 0x40000ull, &created);
  {
    auto view = foreign->Map(0, 0x40000);
    RecordView(view->bytes()).PutText(2, 48, "SomethingElse");
  }
  const auto before = Shared(names.MainFile(), 0, 0x40000);
  Editor& e = Start();
  EXPECT_EQ(e.Join("C:\\a.txt").code, 0);
  ASSERT_EQ(e.host.boxes.size(), 1u);
  EXPECT_EQ(e.host.boxes[0].text,
            "メモリマップドファイルをオープンできましたが異なるアプリケーションで作成したものの様です。\n"
            "このまま処理を続けることは出来ませんので終了します。");
  EXPECT_EQ(Shared(names.MainFile(), 0, 0x40000), before);
}

// An editor that died without giving anything back: its file can be opened,
// its slot is taken again, and a lock it held counts as taken.
TEST_F(InstanceGroupTest, DeadEditorsLeaveNothingStuck) {
  Start().Join("C:\\keep.txt");
  Editor& dying = Start();
  ASSERT_EQ(dying.Join("C:\\a.txt").instance, 2);
  ASSERT_TRUE(dying.group.LockMain());  // and dies holding the main lock
  world.Kill(*dying.process);

  Editor& next = Start();
  const ipc::JoinResult r = next.Join("C:\\A.TXT");
  EXPECT_EQ(r.code, -1);
  EXPECT_EQ(r.instance, 2);
  EXPECT_TRUE(next.host.boxes.empty());
  EXPECT_EQ(next.group.FindOpenFile("c:\\a.txt"), 0);  // it is our own now
  EXPECT_EQ(editors[0]->group.FindOpenFile("c:\\a.txt"), 2);
}

// The first editor died while it set the group up: the next one starts over.
TEST_F(InstanceGroupTest, AHalfMadeGroupIsMadeAgain) {
  ipc::ObjectNames names("tester");
  auto early = world.NewProcess();
  ipc::Created created;
  auto lock = early->CreateMutex(names.MainLock(), true, &created);
  auto mapping = early->CreateMapping(names.MainFile(), 124 * 0x40000ull, &created);
  Editor& waiting = Start();  // opens the lock and the mapping while the first is alive
  world.Kill(*early);
  const ipc::JoinResult r = waiting.Join("C:\\a.txt");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.instance, 1);
  EXPECT_TRUE(waiting.host.boxes.empty());
}

// No wait is unbounded: a lock another live editor keeps gives up after the
// time limit with a message; the held flags make nested locking harmless.
TEST_F(InstanceGroupTest, LocksAreBoundedAndKeepTrackOfWhatTheyHold) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  Editor& b = Start();
  b.Join("C:\\b.txt");
  b.group.SetLockWait(1500);

  ASSERT_TRUE(a.group.LockMain());
  EXPECT_TRUE(a.group.LockMain());  // held already: nothing happens
  EXPECT_EQ(b.group.FindOpenFile("c:\\a.txt"), 0);
  EXPECT_EQ(world.lastWaitTimeout, 1500);
  ASSERT_EQ(b.host.boxes.size(), 1u);
  EXPECT_EQ(b.host.boxes[0].text,
            "他のエディタが共有データを使用したまま応答しません。\n処理を中止しました。しばらくしてからもう一度実行してください。");
  a.group.UnlockMain();
  a.group.UnlockMain();  // not held: nothing happens
  EXPECT_EQ(b.group.FindOpenFile("c:\\a.txt"), 1);

  // The group lock: tried without waiting, or waited for.
  ASSERT_TRUE(a.group.LockGroup(true));
  EXPECT_FALSE(b.group.LockGroup(false));
  EXPECT_EQ(world.lastWaitTimeout, 0);
  EXPECT_FALSE(b.group.LockGroup(true));
  EXPECT_EQ(world.lastWaitTimeout, 1500);
  a.group.UnlockGroup();
  EXPECT_TRUE(b.group.LockGroup(false));
  b.group.UnlockGroup();
}

// Save As: the new name is taken in one step, never one another editor has.
TEST_F(InstanceGroupTest, RegisteringAnotherFile) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  Editor& b = Start();
  b.Join("C:\\b.txt");
  EXPECT_FALSE(b.group.Claim("C:\\A.txt"));
  EXPECT_TRUE(b.group.HeldElsewhere("c:\\a.TXT"));
  EXPECT_TRUE(b.group.Claim("C:\\c.txt"));
  EXPECT_EQ(a.group.FindOpenFile("C:\\C.TXT"), 2);
  EXPECT_EQ(a.group.FindOpenFile("C:\\b.txt"), 0);
  b.group.SetModified(true);
  EXPECT_TRUE(a.group.OpenFiles()[1].modified);
}

// Whatever another process wrote into the tables: counts, lengths and
// numbers are checked before they are used.
TEST_F(InstanceGroupTest, GarbageInTheTablesIsHarmless) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  ipc::ObjectNames names("tester");
  EditShared(names.FileNameFile(), 0, 2097152, [](RecordView& t) {
    for (int n = 2; n <= 40; ++n) {
      const std::size_t at = 50 + static_cast<std::size_t>(n - 1) * 268;
      t.Put<std::uint16_t>(at, static_cast<std::uint16_t>(n * 1000));  // lengths past the field
      t.Put<std::uint16_t>(at + 2, 65535);
      t.Fill(at + 7, 261, 'x');                                          // no terminator
    }
  });
  EditShared(names.MainFile(), 0, 0x40000, [](RecordView& h) { h.Put<std::uint16_t>(1100, 65535); });
  EditShared(names.MainFile(), 2 * 0x40000ull, 0x40000, [](RecordView& i) { i.Put<std::uint32_t>(0, 0xFFFF0000u); });
  Editor& b = Start();
  const ipc::JoinResult r = b.Join("C:\\b.txt");
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(b.group.FindOpenFile("C:\\a.txt"), 1);
  b.group.InfoWindows();
  EXPECT_GE(b.group.FreeInfoWindowNumber(), 0);
}

// A diagnosing tool looks at the tables without taking a slot.
TEST_F(InstanceGroupTest, ObservingWithoutJoining) {
  Editor& idle = Start();
  EXPECT_FALSE(idle.group.Observe());  // nothing running
  Start().Join("C:\\a.txt");
  Start().Join("C:\\b.txt");
  Editor& observer = Start();
  ASSERT_TRUE(observer.group.Observe());
  const auto files = observer.group.OpenFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].path, "c:\\b.txt");
  EXPECT_EQ(EditorCount(), 2);
  const auto header = observer.group.Dump(0, 0, 64);
  ASSERT_EQ(header.size(), 64u);
  EXPECT_EQ(std::string(header.begin() + 2, header.begin() + 28), "$QORV$mmFileIdentStr$V1.74");
}

// The input-support data of an extension: made by the first editor that
// needs it, shared under its own lock.
TEST_F(InstanceGroupTest, ExtensionDataIsSharedUnderItsLock) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  Editor& b = Start();
  b.Join("C:\\b.txt");
  b.group.SetLockWait(100);

  ipc::SharedMapping* mine = a.group.LockExtension(".TXT");
  ASSERT_NE(mine, nullptr);
  auto header = mine->Map(0, 0);
  RecordView h(header->bytes());
  EXPECT_EQ(h.Text(0, 116), "$QORV$ExtMMFileIdentStr$V1.74");
  EXPECT_EQ(h.Get<std::uint32_t>(116), 4224u);
  EXPECT_EQ(h.Get<std::uint32_t>(116 + 4), 4224u + 16367u);
  EXPECT_EQ(h.Get<std::uint32_t>(116 + 4 * 256), 4194176u);
  EXPECT_EQ(h.Get<std::uint32_t>(116 + 4 * 257), 0u);
  EXPECT_EQ(h.Get<std::uint16_t>(116 + 4096 + 2), 75);
  EXPECT_EQ(h.Get<std::uint16_t>(116 + 4096 + 6), 2000);
  h.Put<std::uint8_t>(4224, 0x5A);  // a word list

  EXPECT_EQ(b.group.LockExtension(".txt"), nullptr);  // a holds it
  a.group.UnlockExtension();
  ipc::SharedMapping* theirs = b.group.LockExtension(".txt");
  ASSERT_NE(theirs, nullptr);
  EXPECT_EQ(theirs->Map(0, 0)->bytes()[4224], 0x5A);  // the same data, not made again
  b.group.UnlockExtension();

  world.failCreateMapping = true;
  b.host.boxes.clear();
  EXPECT_EQ(b.group.LockExtension(".cpp"), nullptr);
  ASSERT_EQ(b.host.boxes.size(), 1u);
  EXPECT_EQ(b.host.boxes[0].text, "拡張子別ﾒﾓﾘﾏｯﾌﾟﾄﾞﾌｧｲﾙの作成に失敗しました。");
  EXPECT_NE(a.group.LockExtension(".cpp"), nullptr);  // its lock was not left held
}

// A view that cannot be mapped shows the system's own text (Shift-JIS,
// passed on unchanged) under the caption of the file concerned.
TEST_F(InstanceGroupTest, AFailedViewShowsTheSystemsText) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  a.process->errorText = "\x83\x81\x83\x82\x83\x8a";  // メモリ
  world.failMap = true;
  EXPECT_EQ(a.group.FindOpenFile("C:\\a.txt"), 0);
  ASSERT_EQ(a.host.boxes.size(), 1u);
  EXPECT_EQ(a.host.boxes[0].text, "メモリ");
  EXPECT_EQ(a.host.boxes[0].caption, "Gorvane 初期化エラー(CreateFileNameMMFileView)");
}

TEST_F(InstanceGroupTest, InfoWindowsAndProjects) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  ipc::ObjectNames names("tester");
  // Two info windows: 0 holds a project, 1 is free.
  EditShared(names.MainFile(), 2 * 0x40000ull, 0x40000, [](RecordView& i) {
    i.Put<std::uint32_t>(0, 2u << 16);
    i.Put<std::uint8_t>(4, 1);
    i.Put<std::uint16_t>(5, 12);
    i.PutText(7, 261, "C:\\p\\app.qvp");
  });
  EXPECT_EQ(a.group.FreeInfoWindowNumber(), 1);
  EXPECT_EQ(a.group.InfoWindowProjectPath(0), "C:\\p\\app.qvp");

  for (bool withP : {false, true}) {
    Editor& p = Start();
    ipc::JoinRequest r;
    r.path = "c:\\P\\APP.qvp";
    r.projectFile = true;
    r.projectOption = withP;
    int activated = -1;
    ipc::Handover h;
    h.activateInfoWindow = [&](int n) {
      activated = n;
      return false;
    };
    const ipc::JoinResult res = p.group.Join(r, h);
    EXPECT_EQ(res.code, 0);
    EXPECT_EQ(res.instance, ipc::kTransientInstance);
    EXPECT_EQ(activated, 0);
    ASSERT_EQ(p.host.boxes.size(), 1u);
    EXPECT_EQ(p.host.boxes[0].text, withP ? "このプロジェクトは既に開かれていますのでｵｰﾌﾟﾝできません。"
                                          : "このプロジェクトは既に起動しています。");
  }
}

// The inbox's name may still be held for a moment by an editor that had the
// same number and is closing: joining tries again every 100 ms, 100 times
// after the first try, and only then gives up with two boxes, giving the
// slot back.
TEST_F(InstanceGroupTest, TheInboxIsTriedAgainWhileItsNameIsTaken) {
  const std::string inboxName = ipc::ObjectNames("tester").EditorInbox(1);
  struct Case {
    const char* what;
    int freedAfter;  // sleeps until the closing editor lets go of the name; -1 never, 0 not taken
    int code;
  } cases[] = {{"free at once", 0, 1}, {"taken for three tries", 3, 1}, {"taken throughout", -1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gvtest::FakeWorld w;
    auto closing = w.NewProcess();
    auto held = c.freedAfter != 0 ? closing->CreateMailslot(inboxName, 0) : nullptr;
    Editor e(w);
    std::vector<std::uint32_t> sleeps;
    e.group.SetSleep([&](std::uint32_t ms) {
      sleeps.push_back(ms);
      if (static_cast<int>(sleeps.size()) == c.freedAfter) held.reset();
    });
    const int requestsBefore = w.mailslotRequests;
    const ipc::JoinResult r = e.Join("C:\\a.txt");
    EXPECT_EQ(r.code, c.code);
    const int tries = w.mailslotRequests - requestsBefore;
    if (c.code != 0) {
      EXPECT_EQ(r.instance, 1);
      EXPECT_EQ(tries, c.freedAfter + 1);
      EXPECT_EQ(sleeps, std::vector<std::uint32_t>(static_cast<std::size_t>(c.freedAfter), 100u));
      EXPECT_TRUE(e.host.boxes.empty());
      EXPECT_NE(e.group.TakeInbox(), nullptr);
      continue;
    }
    EXPECT_EQ(tries, 101);
    EXPECT_EQ(sleeps, std::vector<std::uint32_t>(100, 100u));
    ASSERT_EQ(e.host.boxes.size(), 2u);
    EXPECT_EQ(e.host.boxes[0].text, "MailSlotName = \\\\.\\mailslot\\QV174w1tester");
    EXPECT_EQ(e.host.boxes[1].text, "simulated failure");
    for (const auto& box : e.host.boxes) {
      EXPECT_EQ(box.caption, "Gorvane");
      EXPECT_EQ(box.icon, gorvane::base::BoxIcon::Error);
    }
    // The slot was given back and the main lock let go: the next editor
    // joins with the number once the name is free.
    held.reset();
    Editor next(w);
    EXPECT_EQ(next.Join("C:\\b.txt").instance, 1);
  }
}

TEST_F(InstanceGroupTest, TheLimitOfEditors) {
  Editor& a = Start();
  a.Join("C:\\a.txt");
  ipc::ObjectNames names("tester");
  // 7,699 more slots taken by editors that are alive (their inboxes exist).
  auto others = world.NewProcess();
  std::vector<std::unique_ptr<ipc::Mailslot>> inboxes;
  EditShared(names.FileNameFile(), 0, 2097152, [&](RecordView& t) {
    for (int n = 2; n <= ipc::kMaxInstances; ++n) {
      const std::size_t at = 50 + static_cast<std::size_t>(n - 1) * 268;
      const std::string path = "c:\\f" + std::to_string(n);
      t.Put<std::uint16_t>(at, static_cast<std::uint16_t>(path.size()));
      t.Put<std::uint16_t>(at + 2, static_cast<std::uint16_t>(n));
      t.PutText(at + 7, 261, path);
      inboxes.push_back(others->CreateMailslot(names.EditorInbox(n), 0));
    }
  });
  EditShared(names.MainFile(), 0, 0x40000, [](RecordView& h) {
    h.Put<std::uint16_t>(1098, ipc::kMaxInstances);
    h.Put<std::uint16_t>(1100, ipc::kMaxInstances);
  });
  Editor& full = Start();
  EXPECT_EQ(full.Join("C:\\b.txt").code, 0);
  ASSERT_EQ(full.host.boxes.size(), 1u);
  EXPECT_EQ(full.host.boxes[0].text, "オープンできる最大数を超えてしまいました。エディタを強制終了します。");

  // Once those editors are gone (without giving their slots back), the
  // slots are taken again.
  world.Kill(*others);
  Editor& later = Start();
  const ipc::JoinResult r = later.Join("C:\\b.txt");
  EXPECT_EQ(r.code, -1);
  EXPECT_EQ(r.instance, 2);
}

}  // namespace

// A later editor copies the key tables another editor published in the header.
TEST(InstanceGroupKeys, LaterEditorsCopyThePublishedKeyTables) {
  gvtest::FakeWorld world;
  Editor a(world);
  ASSERT_EQ(a.Join("C:\\Work\\A.txt").code, 1);
  {
    auto probe = world.NewProcess();
    auto mapping = probe->OpenMapping(ipc::ObjectNames("tester").MainFile());
    ASSERT_TRUE(mapping);
    auto view = mapping->Map(0, 0x40000);
    RecordView page0(view->bytes());
    page0.Put<std::uint8_t>(ipc::header::kKeyTables + 0 * 256 + 'S', 51);    // Ctrl+S
    page0.Put<std::uint8_t>(ipc::header::kKeyTables + 3 * 256 + 0x72, 24);   // F3
    page0.Put<std::uint8_t>(ipc::header::kOemKeys + 12, 0x99);
  }
  Editor b(world);
  ASSERT_EQ(b.Join("C:\\Work\\B.txt").code, -1);
  gorvane::commands::OemKeyTable oem{};
  gorvane::commands::KeyTables tables;
  ASSERT_TRUE(b.group.ReadKeyTables(&oem, &tables));
  EXPECT_EQ(oem[0], 0xE2);
  EXPECT_EQ(oem[11], 0xBF);
  EXPECT_EQ(oem[12], 0x99);
  EXPECT_EQ(tables.At(gorvane::commands::kStateCtrl, 'S'), 51);
  EXPECT_EQ(tables.At(gorvane::commands::kStateNone, 0x72), 24);
  EXPECT_EQ(tables.At(gorvane::commands::kStateCtrlShift, 'S'), 0);

  // Without a group there is nothing to copy, and nothing is changed.
  Editor c(world);
  oem.fill(7);
  EXPECT_FALSE(c.group.ReadKeyTables(&oem, &tables));
  EXPECT_EQ(oem[0], 7);
}

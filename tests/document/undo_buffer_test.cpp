// The undo buffer: the remaining-space indicator, the overflow and commit
// failures, taking a record back, the saved point and the deleted-line ring.
#include <gtest/gtest.h>

#include <string>

#include "document/undo_buffer.h"
#include "support/fake_host.h"

namespace {

namespace doc = gorvane::document;

std::string Fixed(std::uint8_t code, std::size_t payload) {
  doc::RecordBuilder b(code);
  b.Bytes(std::string(payload, 'x'));
  return b.Finish();
}

TEST(UndoBuffer, IndicatorShowsTheRemainingShare) {
  // 100 - min(1000, 5 + 1000 * used / size) / 10, in whole percent.
  struct Case {
    std::uint32_t used;
    const char* shown;
  } cases[] = {{0, "100%"}, {4, "100%"}, {5, "99%"}, {14, "99%"}, {15, "98%"}, {500, "50%"}, {994, "1%"}, {995, "0%"}};
  for (const Case& c : cases) {
    gvtest::FakeHost host;
    doc::UndoBuffer u(host);
    ASSERT_TRUE(u.Start(1000 * 1000));
    if (c.used) {
      ASSERT_EQ(u.Write(Fixed(doc::kUndoBlankLine, c.used * 1000 - 2)), doc::UndoBuffer::Room::Ok) << c.used;
    }
    EXPECT_EQ(u.Indicator(), c.shown) << c.used;
  }
}

TEST(UndoBuffer, FullWhenARecordComesWithin4096BytesOfTheEnd) {
  gvtest::FakeHost host;
  doc::UndoBuffer u(host);
  ASSERT_TRUE(u.Start(10000));
  // 10000 - 4096 - 1 bytes fit; one more does not.
  ASSERT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 5903 - 2 - 100)), doc::UndoBuffer::Room::Ok);
  ASSERT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 98)), doc::UndoBuffer::Room::Ok);
  EXPECT_EQ(u.used(), 5903u);
  EXPECT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 0)), doc::UndoBuffer::Room::Full);
  EXPECT_TRUE(u.disabled());
  EXPECT_EQ(u.Indicator(), "***%");
  EXPECT_FALSE(u.canUndo());
  EXPECT_EQ(host.statuses, std::vector<std::string>{"アンドゥバッファオーバーフローによりアンドゥ・リドゥ機能が無効になりました。"});
  EXPECT_EQ(host.beeps, 1);
  // Switched off: nothing more is written, silently, and no line is kept.
  EXPECT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 0)), doc::UndoBuffer::Room::Full);
  u.PushDeletedLine(7);
  EXPECT_EQ(u.deletedLines(), 0u);
  EXPECT_EQ(host.beeps, 1);
  EXPECT_TRUE(u.Clear());
  EXPECT_FALSE(u.disabled());
  EXPECT_EQ(u.Indicator(), "100%");
}

TEST(UndoBuffer, CommitFailureSwitchesOffWithABox) {
  gvtest::FakeHost host;
  doc::UndoBuffer u(host);
  ASSERT_TRUE(u.Start(1 << 20));
  u.LimitCommitForTest(8192);
  ASSERT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 3000)), doc::UndoBuffer::Room::Ok);
  EXPECT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 3000)), doc::UndoBuffer::Room::CommitFailed);
  EXPECT_TRUE(u.disabled());
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "アンドゥバッファのコミットに失敗しました。");
  EXPECT_EQ(host.beeps, 0);
}

TEST(UndoBuffer, RecordsWalkBothWaysAndRollBack) {
  gvtest::FakeHost host;
  doc::UndoBuffer u(host);
  ASSERT_TRUE(u.Start());
  std::uint32_t first = 0, second = 0;
  ASSERT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 6), &first), doc::UndoBuffer::Room::Ok);
  ASSERT_EQ(u.Write(std::string(1, static_cast<char>(doc::kUndoGroupStart)), &second), doc::UndoBuffer::Room::Ok);
  auto before = u.Before();
  ASSERT_TRUE(before);
  EXPECT_EQ(before->begin, second);
  EXPECT_EQ(before->end, second + 1);
  u.StepBack(*before);
  ASSERT_TRUE(u.Before());
  EXPECT_EQ(u.Before()->begin, first);
  EXPECT_EQ(u.Before()->end, 8u);
  ASSERT_TRUE(u.After());
  EXPECT_EQ(u.After()->begin, second);
  EXPECT_EQ(u.redoCount(), 1u);
  // A record whose change failed is taken back; what could be redone is gone.
  std::uint32_t third = 0;
  ASSERT_EQ(u.Write(Fixed(doc::kUndoBlankLine, 6), &third), doc::UndoBuffer::Room::Ok);
  EXPECT_EQ(u.redoCount(), 0u);
  u.Rollback(third);
  EXPECT_EQ(u.used(), 8u);
  EXPECT_EQ(u.undoCount(), 1u);
  EXPECT_FALSE(u.After());
}

TEST(UndoBuffer, SavedPointAndRing) {
  gvtest::FakeHost host;
  doc::UndoBuffer u(host);
  ASSERT_TRUE(u.Start(1 << 20, 2));
  EXPECT_TRUE(u.AtSaved());
  std::uint32_t a = 0, b = 0;
  u.Write(Fixed(doc::kUndoBlankLine, 6), &a);
  u.PushDeletedLine(a + 1);
  u.Write(Fixed(doc::kUndoBlankLine, 6), &b);
  u.PushDeletedLine(b + 1);
  u.PushDeletedLine(b + 2);  // two slots: the oldest goes
  EXPECT_EQ(u.deletedLines(), 2u);
  EXPECT_FALSE(u.AtSaved());
  u.MarkSaved();
  EXPECT_TRUE(u.AtSaved());
  u.StepBack(*u.Before());
  EXPECT_FALSE(u.AtSaved());
  // A record written where b was drops the slots at or beyond it, and the
  // saved point beyond it can never come back.
  u.Write(Fixed(doc::kUndoBlankLine, 2));
  EXPECT_EQ(u.deletedLines(), 0u);
  EXPECT_FALSE(u.AtSaved());
  EXPECT_FALSE(u.PopDeletedLine());
}

}  // namespace

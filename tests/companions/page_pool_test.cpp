// The temporary cache's page pool: a bounded number of page images in memory,
// the rest written to and read back from the page file.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "companions/qorvetc/page_pool.h"
#include "companions/qorvetc/cache_layout.h"
#include "support/memory_page_file.h"

namespace qv = gorvane::qorvetc;
namespace doc = gorvane::document;

namespace {

using gvtest::MemoryPageFile;

qv::PagePool MakePool(std::uint32_t pageSize, std::uint32_t pages, bool* failWrites = nullptr) {
  return qv::PagePool(qv::CacheSettings{pageSize, pages}, std::make_unique<MemoryPageFile>(failWrites));
}

TEST(PagePool, NewPagesHaveFreshHeaders) {
  qv::PagePool pool = MakePool(1024, 2);
  for (std::uint32_t i = 0; i < 3; ++i) {
    std::uint8_t* p = pool.NewPage();
    ASSERT_NE(p, nullptr);
    const doc::PageHeader h = doc::LoadPageHeader(p);
    EXPECT_EQ(h.baseOffset, i * 1024);
    EXPECT_EQ(h.freeBytes, 1024u - 16);
    EXPECT_EQ(h.nextFree, i * 1024 + 16);
    EXPECT_TRUE(h.pageFlags & doc::kPageDirty);
  }
  EXPECT_EQ(pool.pageCount(), 3u);
}

TEST(PagePool, KeepsAtMostTheBudgetAndPagesSurviveEviction) {
  qv::PagePool pool = MakePool(512, 3);
  for (std::uint32_t i = 0; i < 20; ++i) {
    std::uint8_t* p = pool.NewPage();
    ASSERT_NE(p, nullptr);
    std::memset(p + 16, static_cast<int>(i + 1), 100);
    EXPECT_LE(pool.framesInMemory(), 3u);
  }
  for (std::uint32_t i = 0; i < 20; ++i) {
    std::uint8_t* p = pool.Page(i * 512 + 100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[16], i + 1) << i;
    EXPECT_EQ(doc::LoadPageHeader(p).baseOffset, i * 512);
  }
  EXPECT_LE(pool.framesInMemory(), 3u);
  EXPECT_GT(pool.pageWrites(), 0u);
  EXPECT_EQ(pool.Page(20 * 512), nullptr);  // beyond the space in use
}

TEST(PagePool, CleanPagesAreNotWrittenAgain) {
  qv::PagePool pool = MakePool(512, 2);
  for (int i = 0; i < 4; ++i) pool.NewPage();
  const auto writes = pool.pageWrites();
  for (int round = 0; round < 3; ++round)
    for (std::uint32_t i = 0; i < 4; ++i) ASSERT_NE(pool.Page(i * 512), nullptr);
  EXPECT_EQ(pool.pageWrites(), writes + 2);  // the two still dirty from creation
}

TEST(PagePool, PinnedPagesStayWhileMorePagesAreTouched) {
  qv::PagePool pool = MakePool(512, 2);
  for (int i = 0; i < 5; ++i) pool.NewPage();
  std::uint8_t* a = pool.Page(0);
  ASSERT_TRUE(pool.Pin(0));
  ASSERT_TRUE(pool.Pin(512));
  ASSERT_TRUE(pool.Pin(1024));  // three pinned with a budget of two
  std::uint8_t* c = pool.Page(1024);
  a[100] = 42;
  c[100] = 43;
  for (std::uint32_t i = 0; i < 5; ++i) ASSERT_NE(pool.Page(i * 512), nullptr);
  EXPECT_EQ(pool.Page(0), a);
  EXPECT_EQ(pool.Page(1024), c);
  EXPECT_EQ(a[100], 42);
  pool.Unpin(0);
  pool.Unpin(512);
  pool.Unpin(1024);
  EXPECT_LE(pool.framesInMemory(), 2u);
}

TEST(PagePool, GivenBackPagesAreReused) {
  qv::PagePool pool = MakePool(512, 2);
  for (int i = 0; i < 3; ++i) pool.NewPage();
  pool.GiveBack(512);
  pool.GiveBack(512);  // once only
  std::uint8_t* p = pool.NewPage();
  EXPECT_EQ(doc::LoadPageHeader(p).baseOffset, 512u);
  EXPECT_EQ(pool.pageCount(), 3u);
  EXPECT_EQ(pool.givenBackPages(), 0u);
}

TEST(PagePool, FailedWriteKeepsThePageInMemory) {
  bool fail = false;
  qv::PagePool pool = MakePool(512, 2, &fail);
  pool.NewPage()[20] = 7;
  pool.NewPage();
  fail = true;
  EXPECT_EQ(pool.NewPage(), nullptr);  // no frame can be freed
  fail = false;
  ASSERT_NE(pool.NewPage(), nullptr);
  EXPECT_EQ(pool.Page(0)[20], 7);
}

TEST(PagePool, RefusesPagesBeyondTheOffsetSpace) {
  qv::PagePool pool(qv::CacheSettings{512, 2, 4 * 512 + 100}, std::make_unique<MemoryPageFile>());
  for (int i = 0; i < 4; ++i) ASSERT_NE(pool.NewPage(), nullptr) << i;
  EXPECT_EQ(pool.NewPage(), nullptr);
  pool.GiveBack(1024);
  EXPECT_NE(pool.NewPage(), nullptr);
}

}  // namespace

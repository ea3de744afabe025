// The store as a line source.
#include "document/line_source.h"

#include <gtest/gtest.h>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "support/fake_host.h"
#include "support/memory_page_file.h"

namespace doc = gorvane::document;
using doc::LineNo;

namespace {

TEST(StoreLines, ReadsTheCurrentTextAndNothingPastTheEnds) {
  gvtest::FakeHost host;
  gorvane::qorvetc::TmpCache cache;
  doc::LineStore store(host, cache);
  doc::LineStoreSettings settings;
  settings.cache = gorvane::qorvetc::CacheSettings{1024, 3};
  ASSERT_TRUE(store.Start(settings, gvtest::MemoryPageFiles()));
  const std::string lines[] = {"one\r\n", "two\r\n", "three"};
  ASSERT_TRUE(store.BeginLoad());
  for (std::uint32_t i = 0; i < 3; ++i)
    ASSERT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(lines[i].data()),
                                            static_cast<std::uint32_t>(lines[i].size()), i + 1));
  ASSERT_TRUE(store.EndLoad(3));
  ASSERT_TRUE(store.SetLineText(store.WindowLine(0, LineNo(2)), "edited\r\n"));

  doc::StoreLines source(store);
  EXPECT_EQ(source.LineCount(), 3);
  EXPECT_EQ(source.Line(LineNo(1)), "one\r\n");
  EXPECT_EQ(source.Line(LineNo(2)), "edited\r\n");
  EXPECT_EQ(source.Line(LineNo(3)), "three");
  EXPECT_EQ(source.Line(LineNo(0)), "");
  EXPECT_EQ(source.Line(LineNo(4)), "");
}

}  // namespace

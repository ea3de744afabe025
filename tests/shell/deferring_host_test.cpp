#include "shell/deferring_host.h"

#include <gtest/gtest.h>

#include "support/fake_host.h"

namespace sh = gorvane::shell;

// A box asked for while painting waits for the paint to end, in order, and
// wakes the shell once.
TEST(DeferringHost, NoBoxInsidePainting) {
  gvtest::FakeHost inner;
  int wakes = 0;
  sh::DeferringHost host(inner, [&] { ++wakes; });
  sh::Tell(host, u8"before");
  {
    sh::DeferringHost::Painting painting(host);
    EXPECT_EQ(sh::Tell(host, u8"first", sh::BoxIcon::Warning), sh::BoxAnswer::Ok);
    sh::Tell(host, u8"second");
    sh::Status(host, u8"status passes");
    EXPECT_EQ(inner.boxes.size(), 1u);
  }
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(host.waiting(), 2u);
  host.ShowDeferred();
  ASSERT_EQ(inner.boxes.size(), 3u);
  EXPECT_EQ(inner.boxes[1].text, "first");
  EXPECT_EQ(inner.boxes[1].icon, sh::BoxIcon::Warning);
  EXPECT_EQ(inner.boxes[2].text, "second");
  EXPECT_EQ(inner.statuses, std::vector<std::string>{"status passes"});
  EXPECT_EQ(host.waiting(), 0u);
}
